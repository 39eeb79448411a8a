// The number engine's internal faults reach the toolkit's assertion box while it is up.
#include "calc.h"
#include "filesys.h"
#include "headless.h"
#include "number.h"
#include "startup.h"
#include "wind.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
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
    char name[] = "torva";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(0, calcStartToolkitOn("headless", 1, argv));
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

std::string gWorkingFile; // the temporary file made while the panel ran

// While the panel runs with a working file in the temporary directory, the signal arrives as the
// x11 host hands it on: a quit message to a top window.
void SignalArrives(void *signal) {
    if (const char *name = fTempName("tmq")) {
        gWorkingFile = name;
        std::ofstream(gWorkingFile) << "1+2=\n";
    }
    if (Window *top = FirstTopWindow())
        WindowHost()->postMessage(top->host, kHostMsgQuit, (int)(intptr_t)signal);
}

int Entries(const std::string &dir) {
    DIR *d = opendir(dir.c_str());
    if (!d)
        return -1;
    int n = 0;
    while (dirent *e = readdir(d))
        n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

// A termination signal closes the calculator down as Quit does (settings written, the temporary
// directory removed) and ends it with the status of a program killed by that signal.
TEST(Startup, ATerminationSignalClosesDownAsQuitDoes) {
    struct Case {
        int signal, status;
    } cases[] = {{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}};
    for (const Case &c : cases) {
        char dir[] = "/tmp/torva-startup-test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        std::string tmp = std::string(dir) + "/tmp", config = std::string(dir) + "/config";
        ASSERT_EQ(0, mkdir(tmp.c_str(), 0700));
        setenv("TMPDIR", tmp.c_str(), 1);
        setenv("TORVA_CONFIG_DIR", config.c_str(), 1);
        setenv("TORVA_HOST", "headless", 1);
        gWorkingFile.clear();
        HeadlessAt(1000, SignalArrives, (void *)(intptr_t)c.signal);
        char name[] = "torva";
        char *argv[] = {name, nullptr};
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.status, calcMain(1, argv)) << c.signal;
        testing::internal::GetCapturedStderr();
        EXPECT_NE("", gWorkingFile) << c.signal;
        EXPECT_EQ(0, Entries(tmp)) << c.signal << ": the temporary directory is left";
        std::stringstream settings;
        settings << std::ifstream(config + "/torva.ini").rdbuf();
        EXPECT_NE(std::string::npos, settings.str().find("\nRADIX=10\n")) << c.signal;
        unsetenv("TMPDIR");
        unsetenv("TORVA_CONFIG_DIR");
        EXPECT_EQ(0, system(("rm -rf " + std::string(dir)).c_str()));
    }
}

} // namespace
