// The calculator's settings: the file name rule, the keys read with the panel and their
// defaults written on the first run, and out-of-range values falling back to sound ones.
#include "calc.h"
#include "calcsettings.h"
#include "settings.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class CalcSettings : public TempDirTest {
  protected:
    std::string file;
    void SetUp() override {
        TempDirTest::SetUp();
        file = dir + "/torva.ini";
        setenv("TORVA_CONFIG_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TORVA_CONFIG_DIR");
        TempDirTest::TearDown();
    }
    std::string text() const {
        std::ifstream in(file);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

TEST_F(CalcSettings, FileName) {
    struct Case {
        const char *argv0;
        const char *base;
    } cases[] = {
        {nullptr, "default.ini"},
        {"/usr/bin/torva", "torva.ini"},
        {"./build/app/torva", "torva.ini"},
        {"/opt/tools.d/calc.exe", "calc.ini"},
        {"C:\\tools\\calc.exe", "calc.ini"},
        {"calc.exe", "calc.exe.ini"}, // a bare word keeps its extension
        {"/usr/bin/", "default.ini"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dir + "/" + c.base, calcSettingsFileName(c.argv0))
            << (c.argv0 ? c.argv0 : "null");
    std::string longPath = "/" + std::string(5000, 'x') + "/torva";
    EXPECT_EQ(dir + "/torva.ini", calcSettingsFileName(longPath.c_str()));
}

TEST_F(CalcSettings, FirstRunWritesTheDefaults) {
    Calculator calc;
    CalcPanelSettings panel;
    EXPECT_EQ(16, calcReadSettings(file.c_str(), &calc, &panel));
    std::string t = text();
    EXPECT_EQ(0u, t.find("[nv]\nAPPLICATION_ULX=20\nAPPLICATION_ULY=20\nAPPLICATION_FRG_RED=0\n"));
    // The number-key font follows the five key styles; the engine's keys follow the font.
    EXPECT_LT(t.find("PROGRAM_KEY_BKG_BLU=190"), t.find("NUMBER_KEY_FONTFACE=helvetica"));
    EXPECT_NE(std::string::npos, t.find("NUMBER_KEY_FONTITAL=0\nMANTISSA_DIGITS=10\n"
                                        "EXPONENT_DIGITS=2\nNUMBER_FORMAT=0\nNUMBER_FORMAT_AUTO=1\n"
                                        "RADIX=10\nFIXED_RADIX_PLACE=-1\nDISPLAY_FORMAT=1\n"));
    EXPECT_NE(std::string::npos, t.find("DIGIT_BKG_GRN=0\nDIGIT_NKG_BLU=0\n"));
    EXPECT_NE(std::string::npos, t.find("PLOT_COLOR_4_BLU=255\n"));
    EXPECT_NE(std::string::npos, t.find("PLOT_ABCISSA_MODE=7\n"));
    EXPECT_EQ(10, calc.digits);
    EXPECT_EQ(7, calc.plotAbscissaMode);
    EXPECT_EQ(90, panel.numberKeyBack.red);
    EXPECT_EQ("helvetica", panel.numberKeyFontFace);
    EXPECT_EQ(63, panel.radixStatusText.red);
    // A second run reads the same and leaves the file as it is.
    Calculator again;
    calcReadSettings(file.c_str(), &again, nullptr);
    EXPECT_EQ(t, text());
}

TEST_F(CalcSettings, OutOfRangeValuesFallBack) {
    {
        std::ofstream out(file);
        out << "[nv]\nRADIX=7\nMANTISSA_DIGITS=-5\nEXPONENT_DIGITS=99\nNUM_STORABLE_NUMBERS="
               "1000000000\nFIXED_RADIX_PLACE=500\nDISPLAY_FORMAT=23\nNUMBER_FORMAT=3\n"
               "PROGRAM_MODE=9\nDIGIT_FRG_RED=300\nNUMBER_KEY_FONTSIZE=0\n";
    }
    Calculator calc;
    CalcPanelSettings panel;
    EXPECT_EQ(kMaxRegisters, calcReadSettings(file.c_str(), &calc, &panel));
    EXPECT_EQ(10, calc.radix);
    EXPECT_EQ(2, calc.digits);
    EXPECT_EQ(kMaxExponentDigits, calc.exponentDigits);
    EXPECT_EQ(2, calc.fixedPlaces);
    EXPECT_EQ(0x11, calc.displayFormat);
    EXPECT_EQ(0, calc.format);
    EXPECT_EQ(2, calc.programMode);
    EXPECT_EQ(255, panel.digitText.red);
    EXPECT_EQ(1, panel.numberKeyFontSize);
    // What the user wrote stays as written.
    std::string t = text();
    EXPECT_NE(std::string::npos, t.find("RADIX=7\n"));
    EXPECT_NE(std::string::npos, t.find("MANTISSA_DIGITS=-5\n"));
}

// The rate picks a paint threshold and one of three buttons: a rate outside them is Maximum.
TEST_F(CalcSettings, RefreshRateOutsideItsThreeValuesIsMaximum) {
    struct Case {
        const char *written;
        int rate;
    } cases[] = {{"0", 0}, {"2", 2}, {"7", 2}, {"-1", 2}, {"x", 0}};
    for (const Case &c : cases) {
        {
            std::ofstream out(file);
            out << "[nv]\nPLOT_REFRESH_RATE=" << c.written << "\n";
        }
        Calculator calc;
        calcReadSettings(file.c_str(), &calc, nullptr);
        EXPECT_EQ(c.rate, calc.plotRefreshRate) << c.written;
    }
}

} // namespace
