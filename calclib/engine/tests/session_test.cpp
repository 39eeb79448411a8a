// The calculator session both programs start from: what the settings file sets, what the
// command line's options change over it, and a calculator that computes afterwards.
#include "calc.h"
#include "display.h"
#include "session.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class Session : public TempDirTest {
  protected:
    std::string file;
    void SetUp() override {
        TempDirTest::SetUp();
        file = dir + "/torva.ini";
    }
    void write(const char *text) { std::ofstream(file) << text; }
    // Builds the session, types the keys and returns what the display shows.
    std::string run(const char *settings, const CalcSessionOptions *options, const char *keys,
                    Calculator *calc) {
        if (settings)
            write(settings);
        int registers = calcSessionRead(settings ? file.c_str() : nullptr, options, calc, nullptr);
        calcSessionStart(registers, options, calc);
        for (const char *k = keys; *k; k++)
            calcKey(static_cast<unsigned char>(*k), calc);
        std::string shown = calcIsError(calc) ? "ERR" : displayShownText();
        while (!shown.empty() && shown.back() == ' ')
            shown.pop_back();
        return shown;
    }
};

TEST_F(Session, TheFileAndTheOptions) {
    CalcSessionOptions radians;
    radians.radians = 1;
    CalcSessionOptions degrees;
    degrees.radians = 0;
    CalcSessionOptions hex;
    hex.radix = 16;
    CalcSessionOptions sci;
    sci.notation = 2;
    sci.digits = 6;
    CalcSessionOptions exact;
    exact.exactFunctions = 1;
    CalcSessionOptions bridge;
    bridge.exactFunctions = 0;
    CalcSessionOptions hexFloat; // the radix switch would choose integers
    hexFloat.radix = 16;
    hexFloat.format = 0;
    CalcSessionOptions decimalInteger;
    decimalInteger.radix = 10;
    decimalInteger.format = 1;
    CalcSessionOptions floating;
    floating.format = 0;
    struct Case {
        const char *label;
        const char *settings; // null: no file
        const CalcSessionOptions *options;
        const char *keys;
        const char *shown;
        int radians, radix, format, exact;
    } cases[] = {
        // clang-format off
        {"defaults without a file", nullptr, nullptr, "90s", " 1", 0, 10, 0, 0},
        {"the angle mode of the file", "[nv]\nANGLE_FORMAT=1\n", nullptr, "90s", " 0.893996664", 1, 10, 0, 0},
        {"an option over the file's angle mode", "[nv]\nANGLE_FORMAT=1\n", &degrees, "90s", " 1", 0, 10, 0, 0},
        {"radians by option", nullptr, &radians, "1s", " 0.841470985", 1, 10, 0, 0},
        {"the file's radix keeps the file's format", "[nv]\nRADIX=16\nNUMBER_FORMAT=0\n", nullptr, "ff+1=", " 100", 0, 16, 0, 0},
        {"the radix option is pressed: auto format", nullptr, &hex, "ff+1=", " 100", 0, 16, 1, 0},
        {"a format option wins over the radix option's", nullptr, &hexFloat, "1/7=", " 0.249249249", 0, 16, 0, 0},
        {"an integer format option in decimal", nullptr, &decimalInteger, "5/2=", " 2", 0, 10, 1, 0},
        {"a format option over the file's", "[nv]\nNUMBER_FORMAT=1\n", &floating, "1/4=", " 0.25", 0, 10, 0, 0},
        {"a format option with the file's radix", "[nv]\nRADIX=16\nNUMBER_FORMAT=1\n", &floating, "1/8=", " 0.2", 0, 16, 0, 0},
        {"notation and digits by option", nullptr, &sci, "12345=", " 1.2345 4", 0, 10, 0, 0},
        {"digits of the file", "[nv]\nMANTISSA_DIGITS=4\n", nullptr, "2/3=", " 0.667", 0, 10, 0, 0},
        {"the bridge's sin 30 at 12 digits is 0.500000000001", "[nv]\nMANTISSA_DIGITS=12\n", nullptr, "30s", " 0.50000000000", 0, 10, 0, 0},
        {"exact functions of the file", "[nv]\nMANTISSA_DIGITS=12\nEXACT_FUNCTIONS=1\n", nullptr, "30s", " 0.5", 0, 10, 0, 1},
        {"the bridge by option over the file", "[nv]\nMANTISSA_DIGITS=12\nEXACT_FUNCTIONS=1\n", &bridge, "30s", " 0.50000000000", 0, 10, 0, 0},
        {"exact functions by option", "[nv]\nMANTISSA_DIGITS=12\n", &exact, "30s", " 0.5", 0, 10, 0, 1},
        // clang-format on
    };
    for (const Case &c : cases) {
        Calculator calc;
        EXPECT_EQ(c.shown, run(c.settings, c.options, c.keys, &calc)) << c.label;
        EXPECT_EQ(c.radians, calc.radians) << c.label;
        EXPECT_EQ(c.radix, calc.radix) << c.label;
        EXPECT_EQ(c.format, calc.format) << c.label;
        EXPECT_EQ(c.exact, calc.exactFunctions) << c.label;
        calcSessionEnd(&calc);
    }
}

// The realm is the program window's and torva-cli's plots' alike.
TEST_F(Session, ThePlotRealmAndTheRegisters) {
    Calculator calc;
    run("[nv]\nPLOT_REALM_MINX=-5.5\nPLOT_REALM_DELTA=2\nNUM_STORABLE_NUMBERS=3\nPROGRAM_MODE=2\n",
        nullptr, "", &calc);
    EXPECT_DOUBLE_EQ(-5.5, calc.plotMinX);
    EXPECT_EQ(2, calc.plotDelta);
    EXPECT_EQ(3, calc.registerCount);
    EXPECT_EQ(2, calc.programMode);
    calcSessionEnd(&calc);
    EXPECT_EQ(0, calc.registerCount);
}

// Without a file nothing is read or written: torva-cli without --settings leaves no file.
TEST_F(Session, NoFileNothingWritten) {
    Calculator calc;
    EXPECT_EQ(" 5", run(nullptr, nullptr, "2+3=", &calc));
    EXPECT_NE(0, access(file.c_str(), F_OK));
    calcSessionEnd(&calc);
}

} // namespace
