// The text forms: AtoNumber's character rules, end-of-text steps and messages, and numToText's
// cell layouts in the three notations, checked cell by cell.
#include "failalloc.h"
#include "number.h"
#include "numtest.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct NumDeleter {
    void operator()(Number *n) const { numFree(n); }
};
using NumPtr = std::unique_ptr<Number, NumDeleter>;

// ---- AtoNumber ----------------------------------------------------------------------------

struct ParseCase {
    const char *text;
    int presetRadix, format, length;
    const char *digits;
    int exponent, negative, radix;
};

TEST(AtoNumber, Parses) {
    const ParseCase cases[] = {
        {"123.45", 10, kNumFloating, 6, "123450", 3, 0, 10},
        {"-0.00125 -3", 10, kNumFloating, 6, "125000", -5, 1, 10},
        {"1234567", 10, kNumFloating, 6, "123457", 7, 0, 10}, // the seventh digit rounds up
        {"1234564", 10, kNumFloating, 6, "123456", 7, 0, 10},
        {"99999999", 10, kNumFloating, 6, "100000", 9, 0, 10}, // rounding carries out
        {"x1F", 0, kNumFloating, 6, "1F0000", 2, 0, 16},
        {"0x1F", -1, kNumFloating, 6, "1F0000", 2, 0, 16},
        {"1f", 0, kNumFloating, 4, "1F00", 2, 0, 16},
        {"19", 0, kNumFloating, 4, "1900", 2, 0, 10}, // an open radix defaults to 10
        {"ff", 16, kNumFloating, 4, "FF00", 2, 0, 16},
        {"5-", 10, kNumFloating, 6, "500000", 1, 1, 10}, // the sign may stand anywhere
        {"1.5 -2", 10, kNumFloating, 6, "150000", -1, 0, 10},
        {"1.5 2-", 10, kNumFloating, 6, "150000", -1, 0, 10},
        {"1p3", 10, kNumFloating, 4, "1000", 4, 0, 10},
        {"2P-1", 10, kNumFloating, 4, "2000", 0, 0, 10},
        {"101.1", 2, kNumFloating, 6, "101100", 3, 0, 2},
        {"1 11", 2, kNumFloating, 4, "1000", 4, 0, 2}, // exponent digits in the radix
        {"0.017", 8, kNumFloating, 4, "1700", -1, 0, 8},
        {"\n12\r", 10, kNumFloating, 4, "1200", 2, 0, 10},
        {"100.5", 10, kNumFloating, 4, "1005", 3, 0, 10},
        {".5", 10, kNumFloating, 4, "5000", 0, 0, 10},
        {".", 10, kNumFloating, 4, "0000", 0, 0, 10},
        {"", 10, kNumFloating, 4, "0000", 0, 0, 10},
        {"-0", 10, kNumFloating, 4, "0000", 0, 1, 10},
        {"0.000 5", 10, kNumFloating, 4, "0000", 0, 0, 10},
        {"1 -2147483647", 10, kNumFloating, 4, "1000", -2147483646, 0, 10},
        {"1 -2147483648", 10, kNumFloating, 4, "1000", -2147483647, 0, 10},
        {"123", 10, kNumInteger, 6, "000123", 0, 0, 10},
        {"-42", 10, kNumInteger, 6, "000042", 0, 1, 10},
        {"007", 10, kNumInteger, 3, "007", 0, 0, 10},
        {"7FFF", 16, kNumInteger, 4, "7FFF", 0, 0, 16},
        {"1010", 2, kNumInteger, 8, "00001010", 0, 0, 2},
        {"", 10, kNumInteger, 3, "000", 0, 0, 10},
    };
    for (const ParseCase &c : cases) {
        NumPtr n(numCreate(c.length, c.presetRadix, c.format));
        n->exponent = 77;
        testing::internal::CaptureStderr();
        Number *r = AtoNumber(n.get(), c.text);
        std::string diagnostics = testing::internal::GetCapturedStderr();
        ASSERT_EQ(n.get(), r) << c.text << ": " << diagnostics;
        EXPECT_EQ("", diagnostics) << c.text;
        EXPECT_EQ(c.digits, digitsOf(n.get())) << c.text;
        EXPECT_EQ(c.exponent, n->exponent) << c.text;
        EXPECT_EQ(c.negative, n->negative) << c.text;
        EXPECT_EQ(c.radix, n->radix) << c.text;
        EXPECT_EQ(c.format, n->format) << c.text;
    }
}

TEST(AtoNumber, FormatFollowsTheSignOfThePresetFormat) {
    NumPtr n(numCreate(4, 10, 5)); // any positive format means integer
    ASSERT_NE(nullptr, AtoNumber(n.get(), "12"));
    EXPECT_EQ(kNumInteger, n->format);
    EXPECT_EQ("0012", digitsOf(n.get()));
    NumPtr m(numCreate(4, 10, -1));
    ASSERT_NE(nullptr, AtoNumber(m.get(), "12"));
    EXPECT_EQ(kNumFloating, m->format);
}

struct FailCase {
    const char *text;
    int presetRadix, format, length;
    const char *diagnostics;
};

TEST(AtoNumber, Fails) {
    const FailCase cases[] = {
        {"5.5.5", 10, kNumFloating, 6, "AtoNumber: Too many radix points"},
        {"1 5.", 10, kNumFloating, 6, "AtoNumber: Too many radix points"},
        {"1.5", 10, kNumInteger, 6, "AtoNumber: Too many radix points"},
        {"1 2 3", 10, kNumFloating, 6, "AtoNumber: Exponent format error"},
        {"1p2P3", 10, kNumFloating, 6, "AtoNumber: Exponent format error"},
        {"--5", 10, kNumFloating, 6, "AtoNumber: Too many \"-\"'s"},
        {"1 -5-", 10, kNumFloating, 6, "AtoNumber: Too many \"-\"'s"},
        {"1x2", 0, kNumFloating, 6, "AtoNumber: Illegal radix specifier format"},
        {"+5", 10, kNumFloating, 6, "AtoNumber: Illegal Digit: + (2B)"},
        {"1\t", 10, kNumFloating, 6, "AtoNumber: Illegal Digit: \t (09)"},
        {"1G", 0, kNumFloating, 6, "AtoNumber: Illegal Digit: G (47)"},
        // Digits the radix cannot hold are refused rather than stored.
        {"1A", 10, kNumFloating, 6, "radix 16 chars not allowedAtoNumber: Illegal Digit: A (41)"},
        {"c", 8, kNumInteger, 6, "radix 16 chars not allowedAtoNumber: Illegal Digit: c (63)"},
        {"102", 2, kNumFloating, 6, "AtoNumber: Illegal Digit: 2 (32)"},
        {"78", 8, kNumInteger, 6, "AtoNumber: Illegal Digit: 8 (38)"},
        {"1 9", 8, kNumFloating, 6, "AtoNumber: Illegal Digit: 9 (39)"},
        // The exponent must stay within the signed 32-bit range, however it leaves it.
        {"1 99999999999", 10, kNumFloating, 6, "AtoNumber: Exponent overflow"},
        {"1 2147483648", 10, kNumFloating, 6, "AtoNumber: Exponent overflow"},
        {"1 -2147483649", 10, kNumFloating, 6, "AtoNumber: Exponent overflow"},
        {"1 2147483647", 10, kNumFloating, 6, "AtoNumber: Exponent overflow"}, // + point position
        {"0.001 -2147483647", 10, kNumFloating, 6, "AtoNumber: Exponent overflow"},
        // An integer too long for the Number is refused rather than rounded to another value.
        {"1234567", 10, kNumInteger, 6, "AtoNumber: Too many digits"},
    };
    for (const FailCase &c : cases) {
        NumPtr n(numCreate(c.length, c.presetRadix, c.format));
        testing::internal::CaptureStderr();
        EXPECT_EQ(nullptr, AtoNumber(n.get(), c.text)) << c.text;
        EXPECT_EQ(c.diagnostics, testing::internal::GetCapturedStderr()) << c.text;
    }
}

TEST(AtoNumber, HexadecimalPrefixWarnsInAPresetRadixButParses) {
    NumPtr n(numCreate(4, 10, kNumFloating));
    testing::internal::CaptureStderr();
    ASSERT_EQ(n.get(), AtoNumber(n.get(), "x12"));
    EXPECT_EQ("radix 16 chars not allowed", testing::internal::GetCapturedStderr());
    EXPECT_EQ("1200", digitsOf(n.get()));
    EXPECT_EQ(10, n->radix);
}

// ---- numToText ----------------------------------------------------------------------------

// The cells in readable form: a cell carrying the radix point is followed by '.', so 0xB0
// reads "0." and '4' | 0x80 reads "4.". No cell holds a plain '.', so the form is exact.
std::string cells(const char *mantissa) {
    std::string s;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(mantissa); *p; p++) {
        s += static_cast<char>(*p & 0x7F);
        if (*p & kPointBit)
            s += '.';
    }
    return s;
}

struct LayoutCase {
    const char *label;
    const char *digits; // the value: digits, exponent, sign, radix, format
    int exponent, negative, radix, format;
    int width, exponentWidth, fixedPlaces, notation;
    int result;
    const char *mantissa;
    const char *exponentText;
    char sign, exponentSign;
};

constexpr int F = kNumFloating, I = kNumInteger;
constexpr int DEC = 1, SCI = 2, ENG = 3;

TEST(NumToText, Layouts) {
    const LayoutCase cases[] = {
        // clang-format off
        // The worked examples: radix 10, width 10, exponent width 2, zero limit 2.
        {"1234.5", "12345", 4, 0, 10, F, 10, 2, -1, DEC, 0, "1234.5", "", '+', '+'},
        {"0.00123", "123", -2, 0, 10, F, 10, 2, -1, DEC, 0, "0.00123", "", '+', '+'},
        {"0.000123 past zero limit", "123", -3, 0, 10, F, 10, 2, -1, DEC, 0, "1.23", "4", '+', '-'},
        {"12345 scientific", "12345", 5, 0, 10, F, 10, 2, -1, SCI, 0, "1.2345", "4", '+', '+'},
        {"12345 engineering", "12345", 5, 0, 10, F, 10, 2, -1, ENG, 0, "12.345", "3", '+', '+'},
        {"10^12 decimal", "1", 13, 0, 10, F, 10, 2, -1, DEC, 0, "1", "12", '+', '+'},
        {"1.5 fixed 2", "15", 1, 0, 10, F, 10, 2, 2, DEC, 0, "1.50", "", '+', '+'},
        {"1.23456 fixed 2", "123456", 1, 0, 10, F, 10, 2, 2, DEC, 0, "1234.56", "3", '+', '-'},
        {"binary 2^-5", "1", -4, 0, 2, F, 10, 3, -1, SCI, 0, "1", "101", '+', '-'},
        {"binary 2^-5 too wide", "1", -4, 0, 2, F, 10, 2, -1, SCI, 3, nullptr, nullptr, 0, 0},
        // Decimal notation.
        {"0.5", "5", 0, 0, 10, F, 10, 2, -1, DEC, 0, "0.5", "", '+', '+'},
        {"-1234.5", "12345", 4, 1, 10, F, 10, 2, -1, DEC, 0, "1234.5", "", '-', '+'},
        {"point after the last cell", "123456789", 9, 0, 10, F, 10, 2, -1, DEC, 0, "123456789", "", '+', '+'},
        {"exponent at the width", "1234567891", 10, 0, 10, F, 10, 2, -1, DEC, 0, "1.234567891", "9", '+', '+'},
        {"rounds into the cells", "12345678912", -1, 0, 10, F, 10, 2, -1, DEC, 0, "0.012345679", "", '+', '+'},
        {"copy rounds up to 10^10", "99999999996", 10, 0, 10, F, 10, 2, -1, DEC, 0, "1", "10", '+', '+'},
        {"too small for the zeros", "1234567891", -3, 0, 10, F, 10, 2, -1, DEC, 0, "0.123456789", "3", '+', '-'},
        {"hex 31.5", "1F8", 2, 0, 16, F, 10, 2, -1, DEC, 0, "1F.8", "", '+', '+'},
        {"octal exponent", "1", 11, 0, 8, F, 10, 2, -1, DEC, 0, "1", "12", '+', '+'},
        {"hex exponent", "1", 27, 0, 16, F, 10, 2, -1, SCI, 0, "1", "1A", '+', '+'},
        {"fixed 2 of 123456789", "123456789", 9, 0, 10, F, 10, 2, 2, DEC, 0, "1234567.89", "2", '+', '+'},
        {"fixed 0", "15", 2, 0, 10, F, 10, 2, 0, DEC, 0, "15", "", '+', '+'},
        {"width 4", "31415", 1, 0, 10, F, 4, 2, -1, DEC, 0, "3.142", "", '+', '+'},
        // Zero shows no exponent and the sign '+' in every notation.
        {"zero", "0", 0, 0, 10, F, 10, 2, -1, DEC, 0, "", "", '+', '+'},
        {"-0", "0", 0, 1, 10, F, 10, 2, -1, DEC, 0, "", "", '+', '+'},
        {"zero fixed 2", "0", 0, 0, 10, F, 10, 2, 2, DEC, 0, "0.00", "", '+', '+'},
        {"zero scientific", "0", 0, 0, 10, F, 10, 2, -1, SCI, 0, "", "", '+', '+'},
        {"zero fixed scientific", "0", 0, 0, 10, F, 10, 2, 2, SCI, 0, "0.00", "", '+', '+'},
        {"-0 fixed engineering", "0", 0, 1, 10, F, 10, 2, 2, ENG, 0, "0.00", "", '+', '+'},
        // A value that is not zero keeps its '-' even when every shown digit rounds to 0.
        {"-1.45E-6 in 6 cells", "145", -5, 1, 10, F, 6, 2, -1, DEC, 0, "0.00000", "", '-', '+'},
        {"-0.6 * 8^-5 in 4 cells", "6", -5, 1, 8, F, 4, 2, -1, DEC, 0, "0.000", "", '-', '+'},
        // Scientific and engineering notation.
        {"1/3 scientific", "3333333333", 0, 0, 10, F, 10, 2, -1, SCI, 0, "3.333333333", "1", '+', '-'},
        {"0.000123 engineering", "123", -3, 0, 10, F, 10, 2, -1, ENG, 0, "123", "6", '+', '-'},
        {"1234567 engineering", "1234567", 7, 0, 10, F, 10, 2, -1, ENG, 0, "1.234567", "6", '+', '+'},
        {"0.5 engineering", "5", 0, 1, 10, F, 10, 2, -1, ENG, 0, "500", "3", '-', '-'},
        {"12345 fixed 2 scientific", "12345", 5, 0, 10, F, 10, 2, 2, SCI, 0, "123.45", "2", '+', '+'},
        {"12345 fixed 2 engineering", "12345", 5, 0, 10, F, 10, 2, 2, ENG, 0, "12345.00", "", '+', '+'},
        {"engineering needs 3 cells", "12345", 5, 0, 10, F, 2, 2, -1, ENG, 0, "1.2", "4", '+', '+'},
        // Integer format: the digit pattern without leading zeros.
        {"integer 123", "0000000123", 0, 0, 10, I, 10, 2, -1, DEC, 0, "123", "", '+', '+'},
        {"integer -5", "9999999995", 0, 0, 10, I, 10, 2, 2, SCI, 0, "9999999995", "", '+', '+'},
        {"integer 0", "0000000000", 0, 0, 10, I, 10, 2, -1, ENG, 0, "", "", '+', '+'},
        {"integer hex", "00FF", 0, 0, 16, I, 4, 2, -1, DEC, 0, "FF", "", '+', '+'},
        // Failures.
        {"unknown notation", "1", 0, 0, 10, F, 10, 2, -1, 4, 4, nullptr, nullptr, 0, 0},
        {"notation 0", "1", 0, 0, 10, F, 10, 2, -1, 0, 4, nullptr, nullptr, 0, 0},
        {"no cells", "1", 0, 0, 10, F, 0, 2, -1, DEC, 1, nullptr, nullptr, 0, 0},
        {"copy overflows", "99999999996", INT32_MAX, 0, 10, F, 10, 2, -1, SCI, 2, nullptr, nullptr, 0, 0},
        {"shown exponent overflows", "1", INT32_MIN, 0, 10, F, 10, 2, 3, SCI, 5, nullptr, nullptr, 0, 0},
        {"exponent too wide", "1", 200, 0, 10, F, 10, 2, -1, SCI, 3, nullptr, nullptr, 0, 0},
        {"shift overflows", "1", INT32_MAX, 0, 10, F, 10, 2, -1, SCI, 6, nullptr, nullptr, 0, 0},
        {"shown exponent falls past the range", "1", INT32_MIN, 0, 10, F, 10, 2, -1, SCI, 9, nullptr, nullptr, 0, 0},
        // clang-format on
    };
    for (const LayoutCase &c : cases) {
        NumPtr n(numFrom(c.digits, c.exponent, c.negative, c.radix, c.format));
        std::string before = digitsOf(n.get());
        char mantissa[64], exponent[64], sign = 0, exponentSign = 0;
        int r = numToText(mantissa, exponent, c.width, c.exponentWidth, &sign, &exponentSign,
                          c.fixedPlaces, c.notation, 2, n.get());
        EXPECT_EQ(c.result, r) << c.label;
        EXPECT_EQ(before, digitsOf(n.get())) << c.label << ": the value is not changed";
        EXPECT_EQ(c.exponent, n->exponent) << c.label;
        if (c.result != 0 || r != 0)
            continue;
        EXPECT_EQ(c.mantissa, cells(mantissa)) << c.label;
        EXPECT_LE(strlen(mantissa), static_cast<size_t>(c.width)) << c.label;
        EXPECT_EQ(c.exponentText, std::string(exponent)) << c.label;
        EXPECT_EQ(c.sign, sign) << c.label;
        EXPECT_EQ(c.exponentSign, exponentSign) << c.label;
    }
}

TEST(NumToText, PointBeforeEveryDigitIsTheByteB0) {
    NumPtr n(numFrom("123", -2, 0, 10, kNumFloating));
    char mantissa[16], exponent[8], sign, exponentSign;
    ASSERT_EQ(0, numToText(mantissa, exponent, 10, 2, &sign, &exponentSign, -1, DEC, 2, n.get()));
    EXPECT_EQ(std::string("\xB0"
                          "00123"),
              std::string(mantissa));
    // 1234.5: the point rides on the 4.
    NumPtr m(numFrom("12345", 4, 0, 10, kNumFloating));
    ASSERT_EQ(0, numToText(mantissa, exponent, 10, 2, &sign, &exponentSign, -1, DEC, 2, m.get()));
    EXPECT_EQ(std::string("123\xB4"
                          "5"),
              std::string(mantissa));
}

TEST(NumToText, ZeroLimitDecidesBetweenDecimalAndScientific) {
    NumPtr n(numFrom("123", -2, 0, 10, kNumFloating)); // 0.00123: two zeros after the point
    char mantissa[16], exponent[8], sign, exponentSign;
    ASSERT_EQ(0, numToText(mantissa, exponent, 10, 2, &sign, &exponentSign, -1, DEC, 1, n.get()));
    EXPECT_EQ("1.23", cells(mantissa));
    EXPECT_STREQ("3", exponent);
    EXPECT_EQ('-', exponentSign);
}

TEST(NumToText, ReleasesTheWorkingCopyOnEveryPath) {
    numSetAllocator(failAllocate, failRelease);
    NumPtr n(numFrom("123", -3, 0, 10, kNumFloating)); // restarts in scientific notation
    char mantissa[16], exponent[8], sign, exponentSign;
    for (long k = 1;; k++) {
        failAllocReset(k);
        int r = numToText(mantissa, exponent, 10, 2, &sign, &exponentSign, -1, DEC, 2, n.get());
        EXPECT_EQ(0, failAllocOutstanding()) << "failing allocation " << k;
        if (!failAllocTriggered()) {
            EXPECT_EQ(0, r);
            EXPECT_EQ("1.23", cells(mantissa));
            break;
        }
        EXPECT_EQ(1, r) << "failing allocation " << k;
    }
    failAllocReset(0);
    EXPECT_EQ(3, numToText(mantissa, exponent, 10, 0, &sign, &exponentSign, -1, SCI, 2, n.get()));
    EXPECT_EQ(0, failAllocOutstanding());
    n.reset();
    numSetAllocator(malloc, free);
}

} // namespace
