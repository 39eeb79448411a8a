// The clipboard's number text without a window: the display row read back as a number, and a
// pasted text taken as one number or refused, in each radix and format.
#include "calc.h"
#include "clipnum.h"
#include "display.h"
#include "number.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A calculator in `radix` (pressed as the switch, so 16, 8 and 2 are integers) with `keys`
// typed.
struct Calc {
    Calculator calc;
    explicit Calc(int radix, const char *keys = "", int digits = 10, int format = -1) {
        CalcSessionOptions o;
        o.radix = radix;
        o.digits = digits;
        o.format = format;
        calcSessionStart(calcSessionRead(nullptr, &o, &calc, nullptr), &o, &calc);
        type(keys);
    }
    ~Calc() { calcSessionEnd(&calc); }
    void type(const char *keys) {
        for (const char *k = keys; *k; k++)
            calcKey(static_cast<unsigned char>(*k), &calc);
    }
    std::string x() const { return calc.operands ? numRawText(calc.operands) : "EMPTY"; }
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

// A pasted text is one number in the radix, entered whole, or refused with its reason and
// nothing changed.
TEST(ClipPaste, TakesOneNumberOrRefusesTheText) {
    constexpr int F = 0, I = 1;
    struct Case {
        int radix, format;
        const char *text;
        const char *x; // X afterwards as the register list shows it, or the refusal
    } cases[] = {
        // clang-format off
        {10, F, "-1.5e-3", "-0.1500000000 X 10 ** -2"},
        {10, F, "  2500.25\n", "+0.2500250000 X 10 ** 4"},     // white space trimmed
        {10, F, "+7", "+0.7000000000 X 10 ** 1"},
        {10, F, "-0", "+0.0000000000 X 10 ** 0"},             // no negative zero
        {10, F, ".5", "+0.5000000000 X 10 ** 0"},
        {10, F, "5.", "+0.5000000000 X 10 ** 1"},
        {10, F, "1_000_000", "+0.1000000000 X 10 ** 7"},       // digit groups
        {10, F, "1\xA0" "000.5", "+0.1000500000 X 10 ** 4"},   // thin spaces come as no-break
        {10, F, "1E5", "+0.1000000000 X 10 ** 6"},
        {10, F, "1e+05", "+0.1000000000 X 10 ** 6"},
        {10, F, "2.5e0", "+0.2500000000 X 10 ** 1"},
        {10, F, "1e-99", "+0.1000000000 X 10 ** -98"},
        {10, F, "0.12345678905", "+0.1234567891 X 10 ** 0"},   // rounded half up to the length
        {10, F, "123456789012345", "+0.1234567890 X 10 ** 15"},
        {16, I, "0x1f", "001F HEX"},
        {16, I, "0X1F", "001F HEX"},
        {16, I, "-1", "FFFF HEX"},                             // the complement, as typed
        {16, I, "0b1", "00B1 HEX"},                            // b is a hexadecimal digit
        {16, I, "1e5", "01E5 HEX"},                            // and so is e: no exponent
        {16, F, "0x1.8", "+0.1800 X 16 ** 1"},
        {8, I, "0o17", "00000000000000000017 OCT"},
        {2, I, "0b1_0110", "00000000000000000000000000000000010110 BIN"},
        {10, I, "0000000000000000042", "0000000042 DEC"},      // leading zeros are no digits
        // Refused: X stays 0.
        {10, F, "3,5", "not a number in radix 10"},
        {10, F, "12abc", "not a number in radix 10"},
        {10, F, "\x01\xFF\x80", "not a number in radix 10"},
        {10, F, "1e99999", "exponent wider than the display's exponent cells"},
        {10, F, "1e100", "exponent wider than the display's exponent cells"},
        {10, F, "--5", "not a number in radix 10"},
        {10, F, "+-5", "not a number in radix 10"},
        {10, F, "0xFF", "not a number in radix 10"},
        {10, F, "0b101", "not a number in radix 10"},
        {10, F, "1.2.3", "not a number in radix 10"},
        {10, F, "", "not a number in radix 10"},
        {10, F, " \t\n", "not a number in radix 10"},
        {10, F, ".", "not a number in radix 10"},
        {10, F, "-", "not a number in radix 10"},
        {10, F, "12 34", "not a number in radix 10"},          // two numbers, or one? neither
        {10, F, "_1", "not a number in radix 10"},
        {10, F, "1_", "not a number in radix 10"},
        {10, F, "1__0", "not a number in radix 10"},
        {10, F, "1_.5", "not a number in radix 10"},
        {10, F, "1e", "not a number in radix 10"},
        {10, F, "1e5x", "not a number in radix 10"},
        {10, F, "1e_5", "not a number in radix 10"},
        {10, F, "\xA0" "1", "not a number in radix 10"},
        {16, I, "0x", "not a number in radix 16"},
        {16, I, "0x_1", "not a number in radix 16"},
        {16, I, "0o17", "not a number in radix 16"},
        {16, I, "1.8", "no radix point in the integer format"},
        {16, I, "12345", "too many digits for the integer format"},
        {8, I, "0o178", "not a number in radix 8"},
        {8, F, "1e3", "not a number in radix 8"},            // an exponent only in decimal
        {2, I, "0b1021", "not a number in radix 2"},
        {10, I, "1e3", "no exponent in the integer format"},
        {10, I, "12345678901", "too many digits for the integer format"},
        // clang-format on
    };
    for (const Case &c : cases) {
        int digits = c.radix == 16 ? 4 : c.radix == 8 ? 20 : c.radix == 2 ? 38 : 10;
        Calc k(c.radix, "", digits, c.format);
        const std::string label = std::to_string(c.radix) + " \"" + c.text + "\"";
        const char *why = calcClipPaste(c.text, static_cast<int>(strlen(c.text)), &k.calc);
        if (why) {
            EXPECT_EQ(c.x, std::string(why)) << label;
            EXPECT_EQ(ENTRY_MANTISSA, k.calc.state) << label;
            EXPECT_EQ(nullptr, k.calc.operands) << label;
        } else {
            EXPECT_EQ(c.x, k.x()) << label;
            EXPECT_EQ(OPERAND_ENTERED, k.calc.state) << label;
        }
    }
}

// The pasted number is entered as a constant is: it replaces a number being typed, starts a new
// calculation after a result, is the operand after an operator; a refused text changes nothing.
TEST(ClipPaste, EntersTheNumberAsAConstantIs) {
    struct Case {
        const char *before, *text, *after, *shown;
    } cases[] = {
        {"7+", "5", "=", " 12"},        // the operand after an operator
        {"7+12", "5", "=", " 12"},      // the 12 being typed is replaced
        {"2=", "5", "+1=", " 6"},       // a new calculation after a result
        {"42=", "12abc", "", " 42"},    // refused: X stays
        {"42=", "12abc", "+1=", " 43"}, // ... and the calculation goes on
        {"7+", "1e99999", "1=", " 8"},  // refused after an operator: the operator waits
        {"(2+", "3", ")X2=", " 10"},    // inside a parenthesis
    };
    for (const Case &c : cases) {
        Calc k(10, c.before);
        calcClipPaste(c.text, static_cast<int>(strlen(c.text)), &k.calc);
        k.type(c.after);
        EXPECT_EQ(c.shown, k.shown()) << c.before << " [" << c.text << "] " << c.after;
    }
}

TEST(ClipPaste, NothingInTheErrorState) {
    Calc k(10, "5/0=");
    EXPECT_STREQ("the calculator is in its error state", calcClipPaste("12", 2, &k.calc));
    EXPECT_EQ(CALC_ERROR, k.calc.state);
    EXPECT_NE(nullptr, calcClipPaste(nullptr, 0, &k.calc));
}

// While a program is recorded, a pasted number is recorded as a constant, and the tape gets
// its line.
TEST(ClipPaste, IsRecordedAndWrittenOnTheTape) {
    Calc k(10);
    static std::string heard;
    heard.clear();
    k.calc.hooks.recordConstant = [](Calculator *) { heard += "[constant]"; };
    k.calc.hooks.tapeWrite = [](const char *text, Calculator *) {
        heard += text;
        return 0;
    };
    k.calc.recorderMode = 1;
    EXPECT_EQ(nullptr, calcClipPaste("2.5", 3, &k.calc));
    EXPECT_EQ("[constant]           2.5 \n", heard);
    heard.clear();
    EXPECT_NE(nullptr, calcClipPaste("2,5", 3, &k.calc));
    EXPECT_EQ("", heard);
}

// A copied number pasted back is the same number, in every radix.
TEST(ClipText, PastedBackItIsTheSameNumber) {
    for (int radix : {10, 16, 8, 2}) {
        Calc from(radix, radix == 10 ? "1.5x3v=" : "101");
        std::string text = calcClipText(&from.calc);
        Calc to(radix);
        EXPECT_EQ(nullptr, calcClipPaste(text.c_str(), static_cast<int>(text.size()), &to.calc))
            << radix << " " << text;
        EXPECT_EQ(text, calcClipText(&to.calc)) << radix;
        if (radix == 10) {
            EXPECT_EQ(from.x(), to.x());
        }
    }
}

} // namespace
