// The number engine's internal faults reach the toolkit's assertion box while it is up.
#include "calc.h"
#include "headless.h"
#include "number.h"
#include "startup.h"
#include "wind.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// An internal fault of the engine: operands of different lengths.
void mismatchedAddition() {
    Calculator calc;
    Number *a = numCreate(4, 10, kNumFloating), *b = numCreate(5, 10, kNumFloating);
    Number *r = numCreate(4, 10, kNumFloating);
    EXPECT_NE(0, numAdd(a, b, r, &calc));
    numFree(a);
    numFree(b);
    numFree(r);
}

TEST(Startup, EngineFaultsGoToTheAssertionBoxWhileTheToolkitIsUp) {
    setenv("TORVA_HOST", "headless", 1);
    char name[] = "torva";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(0, calcStartToolkit(1, argv));
    HeadlessBoxClear();
    testing::internal::CaptureStderr();
    mismatchedAddition();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("ASSERT Failed", HeadlessBoxCaption(0));
    EXPECT_EQ(0u, std::string(HeadlessBoxText(0)).find("calclib\\src\\domath Line "));
    calcStopToolkit();

    testing::internal::CaptureStderr();
    mismatchedAddition();
    EXPECT_EQ(0u, testing::internal::GetCapturedStderr().find(
                      "ASSERT Failed: calclib\\src\\domath Line "));
}

// The toolkit gets at most 128 words, always ended by a null.
TEST(Startup, ArgumentWordsAreCutAt128) {
    struct Case {
        int given, passed;
    } cases[] = {{0, 0}, {1, 1}, {3, 3}, {128, 128}, {129, 128}, {200, 128}};
    for (const Case &c : cases) {
        std::vector<std::string> text;
        for (int i = 0; i < c.given; i++)
            text.push_back("w" + std::to_string(i));
        std::vector<char *> argv;
        for (std::string &word : text)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        CalcArguments args;
        for (char *&word : args.words)
            word = text.empty() ? nullptr : text[0].data(); // anything but what is expected
        calcTakeArguments(c.given, argv.data(), &args);
        ASSERT_EQ(c.passed, args.count) << c.given << " words";
        for (int i = 0; i < c.passed; i++)
            EXPECT_EQ(argv[i], args.words[i]) << c.given << " words, word " << i;
        EXPECT_EQ(nullptr, args.words[c.passed]) << c.given << " words";
    }
}

TEST(Startup, NoArgumentVectorGivesNoWords) {
    CalcArguments args;
    calcTakeArguments(3, nullptr, &args);
    EXPECT_EQ(0, args.count);
    EXPECT_EQ(nullptr, args.words[0]);
}

// Without TORVA_HOST the calculator wants a display; it never falls back to the headless host.
TEST(Startup, NoHostNamedAndNoDisplayFails) {
    const char *display = getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    for (const char *host : {"", static_cast<const char *>(nullptr)}) {
        if (host)
            setenv("TORVA_HOST", host, 1);
        else
            unsetenv("TORVA_HOST");
        char name[] = "torva";
        char *argv[] = {name, nullptr};
        testing::internal::CaptureStderr();
        EXPECT_NE(0, calcStartToolkit(1, argv)) << (host ? "empty" : "unset");
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(nullptr, WindowHost()) << (host ? "empty" : "unset");
        EXPECT_NE(std::string::npos, said.find("cannot open display")) << said;
    }
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    setenv("TORVA_HOST", "headless", 1);
}

} // namespace
