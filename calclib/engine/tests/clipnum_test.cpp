// The clipboard's number text without a window: the display row read back as a number, and a
// pasted text typed as keys, in each radix.
#include "calc.h"
#include "clipnum.h"
#include "display.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A calculator in `radix` (pressed as the switch, so 16, 8 and 2 are integers) with `keys`
// typed.
struct Calc {
    Calculator calc;
    explicit Calc(int radix, const char *keys = "", int digits = 10) {
        CalcSessionOptions o;
        o.radix = radix;
        o.digits = digits;
        calcSessionStart(calcSessionRead(nullptr, &o, &calc, nullptr), &o, &calc);
        type(keys);
    }
    ~Calc() { calcSessionEnd(&calc); }
    void type(const char *keys) {
        for (const char *k = keys; *k; k++)
            calcKey(static_cast<unsigned char>(*k), &calc);
    }
    std::string shown() const {
        std::string s = displayShownText();
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }
};

TEST(ClipText, WhatTheDisplayShows) {
    struct Case {
        int radix;
        const char *keys;
        const char *text;
    } cases[] = {
        // clang-format off
        {10, "1234.5=", "1234.5"},
        {10, "12v", "-12"},
        {10, ".000123=", "1.23e-4"},       // shown with an exponent
        {10, "1.5x3v", "1.5e-3"},          // typed with a negative exponent
        {10, "2/3=", "0.666666667"},     // the digits the row shows
        {10, "0", "0"},
        {16, "ff", "0xFF"},
        {16, "0-1=", "0xFFFFFFFFFF"},      // an integer's complement, as shown
        {8, "17", "0o17"},
        {2, "101", "0b101"},
        {10, "5/0=", ""},                  // the error state copies nothing
        // clang-format on
    };
    for (const Case &c : cases) {
        Calc k(c.radix, c.keys);
        EXPECT_EQ(c.text, calcClipText(&k.calc)) << c.radix << " " << c.keys;
    }
}

TEST(ClipPaste, TypesTheNumber) {
    struct Case {
        int radix;
        const char *text;
        const char *shown; // the display afterwards
    } cases[] = {
        // clang-format off
        {10, "-1.5e-3", "-1.5-3"},
        {10, "  2,500.25\n", " 2500.25"},   // blanks and separators passed over
        {10, "+7", " 7"},
        {10, "1.2.3", " 1.23"},             // one point
        {10, "abc", " 0"},                  // nothing that is a digit here
        {16, "0x1f", " 1F"},
        {8, "0o178", " 17"},                // 8 is no octal digit
        {2, "0b1021", " 101"},
        {10, "1e5", " 1 5"},
        {16, "1e5", " 1E5"},                // 'e' is a digit in hexadecimal, not an exponent
        // clang-format on
    };
    for (const Case &c : cases) {
        Calc k(c.radix);
        calcClipPaste(c.text, static_cast<int>(strlen(c.text)), &k.calc);
        EXPECT_EQ(c.shown, k.shown()) << c.radix << " " << c.text;
    }
}

TEST(ClipPaste, NothingInTheErrorState) {
    Calc k(10, "5/0=");
    calcClipPaste("12", 2, &k.calc);
    EXPECT_EQ(CALC_ERROR, k.calc.state);
    calcClipPaste(nullptr, 0, &k.calc);
}

// A copied number pasted back is the same number, in every radix.
TEST(ClipText, PastedBackItIsTheSameNumber) {
    for (int radix : {10, 16, 8, 2}) {
        Calc from(radix, radix == 10 ? "1.5x3v" : "101");
        std::string text = calcClipText(&from.calc);
        Calc to(radix);
        calcClipPaste(text.c_str(), static_cast<int>(text.size()), &to.calc);
        EXPECT_EQ(text, calcClipText(&to.calc)) << radix;
    }
}

} // namespace
