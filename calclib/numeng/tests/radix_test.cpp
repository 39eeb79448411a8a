// Radix conversion: regrouping and expansion of bits, radixGen for every pair with 10 and
// between octal and hexadecimal, signs across radices, the failure messages, and a generated
// cross-check of decimal integers against bc.
#include "number.h"
#include "numctx.h"
#include "numtest.h"
#include "radix_cases.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

struct ConvertResult {
    int status;
    std::string digits;
    int exponent, negative;
    std::string diagnostics;
};

// Converts the value into `to` at the same length, as the calculator does.
ConvertResult convert(const char *digits, int exponent, int negative, int from, int format, int to,
                      NumContext *calc) {
    Number *source = numFrom(digits, exponent, negative, from, format);
    Number *destination = numCreate(source->length, to, format);
    testing::internal::CaptureStderr();
    int status = radixConv(source, destination, calc);
    ConvertResult r{status, digitsOf(destination), destination->exponent, destination->negative,
                    testing::internal::GetCapturedStderr()};
    numFreeTemps(&calc->temporaries);
    numFree(source);
    numFree(destination);
    return r;
}

constexpr int F = kNumFloating, I = kNumInteger;

struct Case {
    const char *label;
    const char *digits;
    int exponent, negative, from, format, to;
    const char *expected;
    int expectedExponent, expectedNegative;
};

TEST(RadixConv, Converts) {
    const Case cases[] = {
        {"binary 2.5 to octal", "101", 2, 0, 2, F, 8, "240", 1, 0},
        {"binary 0.25 to hex", "1000", -1, 0, 2, F, 16, "4000", 0, 0},
        {"binary -1 to hex", "11111111", 0, 0, 2, I, 16, "FFFFFFFF", 0, 0},
        {"hex 255 to binary reads -1", "000000FF", 0, 0, 16, I, 2, "11111111", 0, 0},
        {"octal 15 to binary", "00000017", 0, 0, 8, I, 2, "00001111", 0, 0},
        {"decimal 255 to hex", "00000255", 0, 0, 10, I, 16, "000000FF", 0, 0},
        {"decimal -1 to binary", "99999999", 0, 0, 10, I, 2, "11111111", 0, 0},
        {"decimal 0.1 to binary", "10000000", 0, 0, 10, F, 2, "11001101", -3, 0},
        {"decimal 0.1 to hex", "10000000", 0, 0, 10, F, 16, "1999999A", 0, 0},
        {"hex 1 to binary normalises", "1000", 1, 0, 16, F, 2, "1000", 1, 0},
        {"27.02 too wide for 4 bits", "2702", 2, 0, 10, F, 2, "1111", 5, 0},
        {"decimal -2.5 to binary", "2500", 1, 1, 10, F, 2, "1010", 2, 1},
        {"decimal -5 to hex", "99999995", 0, 0, 10, I, 16, "FFFFFFFB", 0, 0},
        {"hex -5 to decimal", "FFFFFFFB", 0, 0, 16, I, 10, "99999995", 0, 0},
        {"octal -5 to binary", "77777773", 0, 0, 8, I, 2, "11111011", 0, 0},
        {"binary -5 to octal", "11111011", 0, 0, 2, I, 8, "77777773", 0, 0},
        {"decimal zero to hex", "00000000", 0, 0, 10, I, 16, "00000000", 0, 0},
        {"floating zero to octal", "0000", 0, 0, 10, F, 8, "0000", 0, 0},
        {"binary 1/16 to decimal", "1000", -3, 0, 2, F, 10, "6250", -1, 0},
        {"hex fraction to decimal", "8000", 0, 0, 16, F, 10, "5000", 0, 0},
        {"same radix copies", "1234", 7, 1, 10, F, 10, "1234", 7, 1},
    };
    for (const Case &c : cases) {
        NumContext calc;
        ConvertResult r = convert(c.digits, c.exponent, c.negative, c.from, c.format, c.to, &calc);
        EXPECT_EQ(0, r.status) << c.label << ": " << r.diagnostics;
        EXPECT_EQ(c.expected, r.digits) << c.label;
        EXPECT_EQ(c.expectedExponent, r.exponent) << c.label;
        EXPECT_EQ(c.expectedNegative, r.negative) << c.label;
        EXPECT_EQ(0, calc.overflow) << c.label;
        EXPECT_EQ(nullptr, calc.temporaries) << c.label;
    }
}

// 100, -100 and 12.5 in each radix at length 8: every pair converts each into the other.
TEST(RadixConv, EveryPairInBothFormats) {
    const int radices[] = {2, 8, 10, 16};
    struct Form {
        int format;
        const char *digits[4]; // in radix 2, 8, 10, 16
        int exponents[4];
    } forms[] = {
        {I, {"01100100", "00000144", "00000100", "00000064"}, {0, 0, 0, 0}},
        {I, {"10011100", "77777634", "99999900", "FFFFFF9C"}, {0, 0, 0, 0}},
        {F, {"11001000", "14400000", "12500000", "C8000000"}, {4, 2, 2, 1}},
    };
    for (const Form &form : forms) {
        for (int i = 0; i < 4; i++) {
            for (int j = 0; j < 4; j++) {
                if (i == j)
                    continue;
                NumContext calc;
                ConvertResult r = convert(form.digits[i], form.exponents[i], 0, radices[i],
                                          form.format, radices[j], &calc);
                std::string label = std::string(form.digits[i]) + " radix " +
                                    std::to_string(radices[i]) + " to " +
                                    std::to_string(radices[j]);
                EXPECT_EQ(0, r.status) << label << ": " << r.diagnostics;
                EXPECT_EQ(form.digits[j], r.digits) << label;
                EXPECT_EQ(form.exponents[j], r.exponent) << label;
            }
        }
    }
}

struct FailCase {
    const char *label;
    const char *digits;
    int exponent, from, format, to;
    const char *message;
    int overflow;
};

TEST(RadixConv, Fails) {
    const FailCase cases[] = {
        // clang-format off
        {"hex 256 loses a bit", "00000100", 0, 16, I, 2, "radix conv - digit loss", 1},
        {"octal 256 loses a bit", "00000400", 0, 8, I, 2, "radix conv - digit loss", 1},
        {"floating hex too long", "FFF", 0, 16, F, 2, "radix conv - digit loss", 1},
        {"decimal 256 in 8 bits", "00000256", 0, 10, I, 2, "radix conv - range error", 0},
        {"decimal 49999999 in 8 bits", "49999999", 0, 10, I, 2, "radix conv - range error", 0},
        {"decimal 4999 in 4 octal digits", "4999", 0, 10, I, 8, "radix conv - range error", 0},
        {"too few digits for ten", "100", 1, 10, F, 2, "radix conv - too few digits", 0},
        {"too few digits for sixteen", "1", 1, 16, F, 10, "radix conv - too few digits", 0},
        {"octal exponent", "1000", INT32_MAX / 2, 8, F, 2, "radix conv - expoenent overflow", 1},
        {"hex exponent", "1000", INT32_MIN / 3, 16, F, 2, "radix conv - exponent overflow", 1},
        {"exponent beyond the repetition bound", "1000", 100000000, 10, F, 2, "radix conv - exponent overflow", 0},
        {"fraction beyond the repetition bound", "1000", -100000000, 10, F, 16, "radix conv - exponent overflow", 0},
        // clang-format on
    };
    for (const FailCase &c : cases) {
        NumContext calc;
        ConvertResult r = convert(c.digits, c.exponent, 0, c.from, c.format, c.to, &calc);
        EXPECT_NE(0, r.status) << c.label;
        EXPECT_EQ(std::string("Error: ") + c.message + "\n", r.diagnostics) << c.label;
        EXPECT_EQ(c.overflow, calc.overflow) << c.label;
    }
}

TEST(RadixConv, ConsumesTheSourceButNotTheDestinationShape) {
    NumContext calc;
    Number *source = numFrom("99999995", 0, 0, 10, I);
    Number *destination = numCreate(8, 16, I);
    ASSERT_EQ(0, radixConv(source, destination, &calc));
    EXPECT_EQ(16, destination->radix);
    EXPECT_EQ(I, destination->format);
    EXPECT_EQ("FFFFFFFB", digitsOf(destination));
    numFreeTemps(&calc.temporaries);
    numFree(source);
    numFree(destination);
}

// The exact integer conversions agree with bc, both ways.
TEST(RadixConv, AgreesWithBc) {
    struct Table {
        const RadixCase *rows;
        size_t count;
        int radix;
    } tables[] = {
        {kDecimalToHex, sizeof kDecimalToHex / sizeof kDecimalToHex[0], 16},
        {kDecimalToBinary, sizeof kDecimalToBinary / sizeof kDecimalToBinary[0], 2},
    };
    NumContext calc;
    for (const Table &t : tables) {
        for (size_t i = 0; i < t.count; i++) {
            const RadixCase &c = t.rows[i];
            ConvertResult there = convert(c.decimal, 0, 0, 10, I, t.radix, &calc);
            EXPECT_EQ(0, there.status) << c.decimal << ": " << there.diagnostics;
            EXPECT_EQ(c.other, there.digits) << c.decimal << " to radix " << t.radix;
            ConvertResult back = convert(c.other, 0, 0, t.radix, I, 10, &calc);
            EXPECT_EQ(0, back.status) << c.other << ": " << back.diagnostics;
            EXPECT_EQ(c.decimal, back.digits) << c.other << " to decimal";
        }
    }
}

} // namespace
