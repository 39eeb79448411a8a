// The exact functions: every function key, pi and the constants against an independent
// reference (scripts/gen_exact_cases.py, Python's decimal module) at 20 to 1000 digits in every
// radix, the results that must come out exact (sin 30 degrees, midpoints of integer powers), the
// domain and range errors with their messages, results in the integer format, and allocation
// failures.
#include "exact_cases.h"
#include "failalloc.h"
#include "number.h"
#include "numctx.h"
#include "numtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// A floating Number of `length` digits from a case's spelling: "-" first when negative, at most
// `length` digits, padded with zeros.
Number *caseNumber(const char *text, int32_t exponent, int length, int radix) {
    bool negative = text[0] == '-';
    std::string digits = negative ? text + 1 : text;
    digits.resize(static_cast<size_t>(length), '0');
    Number *n = numFrom(digits.c_str(), exponent, negative, radix, kNumFloating);
    if (n && digits.find_first_not_of('0') == std::string::npos)
        numSetZero(n);
    return n;
}

std::string spelled(const Number *n) { return (n->negative ? "-" : "") + digitsOf(n); }

// What one exact entry gave on a case's operands (y null but for 'p').
struct Outcome {
    int r;                   // the entry's result code
    std::string diagnostics; // what it wrote to standard error
    std::string digits;      // the result spelled as the cases spell it
    int32_t exponent;
    int format;
};

Outcome runEntry(int code, int radians, const char *x, int32_t xExponent, const char *y,
                 int32_t yExponent, int radix, int length) {
    NumContext ctx;
    ctx.radians = radians;
    Number *a = caseNumber(x, xExponent, length, radix);
    Number *b = y ? caseNumber(y, yExponent, length, radix) : nullptr;
    Number *result = numCreate(length, radix, kNumFloating);
    testing::internal::CaptureStderr();
    Outcome o;
    o.r = exactEntry(code, a, b, result, &ctx);
    o.diagnostics = testing::internal::GetCapturedStderr();
    o.digits = spelled(result);
    o.exponent = result->exponent;
    o.format = result->format;
    numFreeTemps(&ctx.temporaries);
    numFree(a);
    numFree(b);
    numFree(result);
    return o;
}

TEST(ExactEntry, AgreesWithTheReferenceToTheLastDigit) {
    int checked = 0;
    for (const ExactCase &c : kExactCases) {
        Outcome o =
            runEntry(c.code, c.radians, c.x, c.xExponent, c.y, c.yExponent, c.radix, c.length);
        std::string label = std::string(1, static_cast<char>(c.code)) +
                            (c.radians ? " rad" : " deg") + " radix " + std::to_string(c.radix) +
                            " length " + std::to_string(c.length) + " x " + c.x + "E" +
                            std::to_string(c.xExponent) + (c.y ? std::string(" y ") + c.y : "");
        EXPECT_EQ(0, o.r) << label << ": " << o.diagnostics;
        if (o.r == 0) {
            EXPECT_EQ(c.digits, o.digits) << label;
            EXPECT_EQ(c.exponent, o.exponent) << label;
            EXPECT_EQ(kNumFloating, o.format) << label;
        }
        checked++;
    }
    EXPECT_GT(checked, 100);
}

struct Shown {
    const char *label;
    int code;
    const char *x; // digits of 0.x × radix^xExponent, "-" first when negative
    int32_t xExponent;
    const char *y;
    int32_t yExponent;
    int radix, length, radians;
    const char *digits;
    int32_t exponent;
};

// Results that are exact rationals: the interval around them never leaves a rounding midpoint
// or zero, so they must be recognised, and a wrong one would show at once.
TEST(ExactEntry, ExactResultsComeOutExact) {
    // clang-format off
    const Shown cases[] = {
        {"sin 30 degrees", 's', "3", 2, nullptr, 0, 10, 30, 0, "5", 0},
        {"sin -30 degrees", 's', "-3", 2, nullptr, 0, 10, 30, 0, "-5", 0},
        {"sin 1E20 + 110 degrees", 's', "10000000000000000011", 21, nullptr, 0, 10, 21, 0, "5", 0},
        {"cos 60 degrees", 'o', "6", 2, nullptr, 0, 10, 30, 0, "5", 0},
        {"cos 90 degrees is zero", 'o', "9", 2, nullptr, 0, 10, 30, 0, "0", 0},
        {"cos -120 degrees", 'o', "-12", 3, nullptr, 0, 10, 12, 0, "-5", 0},
        {"sin 720 degrees is zero", 's', "72", 3, nullptr, 0, 10, 12, 0, "0", 0},
        {"tan 45 degrees", 't', "45", 2, nullptr, 0, 10, 30, 0, "1", 1},
        {"tan 135 degrees", 't', "135", 3, nullptr, 0, 10, 30, 0, "-1", 1},
        {"tan 0x12C = 300 degrees is not rational", 't', "12C", 3, nullptr, 0, 16, 8, 0, "-1BB67AE8", 1},
        {"asin 0.5 is 30 degrees", 'S', "5", 0, nullptr, 0, 10, 30, 0, "3", 2},
        {"acos 0.5 is 60 degrees", 'O', "5", 0, nullptr, 0, 10, 30, 0, "6", 2},
        {"acos -1 is 180 degrees", 'O', "-1", 1, nullptr, 0, 10, 30, 0, "18", 3},
        {"atan 1 is 45 degrees", 'T', "1", 1, nullptr, 0, 10, 30, 0, "45", 2},
        {"asin 0.5 in hex is 0x1E degrees", 'S', "8", 0, nullptr, 0, 16, 20, 0, "1E", 2},
        {"ln 1", 'l', "1", 1, nullptr, 0, 10, 30, 1, "0", 0},
        {"log 1000", 'g', "1", 4, nullptr, 0, 10, 30, 0, "3", 1},
        {"log 1E-7", 'g', "1", -6, nullptr, 0, 10, 30, 0, "-7", 1},
        {"log 1000 in binary (1111101000)", 'g', "1111101", 10, nullptr, 0, 2, 20, 0, "11", 2},
        {"10^3", 'n', "3", 1, nullptr, 0, 10, 30, 0, "1", 4},
        {"10^-2", 'n', "-2", 1, nullptr, 0, 10, 30, 0, "1", -1},
        {"10^3 in hex at 2 digits: 0x3E8 rounds half up", 'n', "3", 1, nullptr, 0, 16, 2, 0, "3F", 3},
        {"2^10", 'p', "1", 2, "2", 1, 10, 30, 0, "1024", 4},
        {"1.5^2 at 2 digits: 2.25 rounds half up", 'p', "2", 1, "15", 1, 10, 2, 0, "23", 1},
        {"-1.5^2 at 2 digits", 'p', "2", 1, "-15", 1, 10, 2, 0, "23", 1},
        {"-1.5^3 at 3 digits: -3.375", 'p', "3", 1, "-15", 1, 10, 3, 0, "-338", 1},
        {"2.25^1.5 at 3 digits: 3.375 rounds half up", 'p', "15", 1, "225", 1, 10, 3, 0, "338", 1},
        {"2^-1 in octal", 'p', "-1", 1, "2", 1, 8, 10, 0, "4", 0},
        {"0^0", 'p', "0", 0, "0", 0, 10, 10, 0, "1", 1},
        {"0^2", 'p', "2", 1, "0", 0, 10, 10, 0, "0", 0},
    };
    // clang-format on
    for (const Shown &c : cases) {
        Outcome o =
            runEntry(c.code, c.radians, c.x, c.xExponent, c.y, c.yExponent, c.radix, c.length);
        ASSERT_EQ(0, o.r) << c.label << ": " << o.diagnostics;
        Number *expected = caseNumber(c.digits, c.exponent, c.length, c.radix);
        EXPECT_EQ(spelled(expected), o.digits) << c.label;
        EXPECT_EQ(expected->exponent, o.exponent) << c.label;
        numFree(expected);
    }
}

// The bridge's messages, also where the bridge itself gives none (a tangent pole typed in
// radix 16, a result beyond the Number's exponent range rather than the double's).
TEST(ExactEntry, DomainAndRangeErrorsKeepTheirMessages) {
    // clang-format off
    const Shown cases[] = {
        {"ln 0", 'l', "0", 0, nullptr, 0, 10, 10, 0, "Error: ln - domain error\n", 0},
        {"ln -2", 'l', "-2", 1, nullptr, 0, 10, 10, 0, "Error: ln - domain error\n", 0},
        {"log 0", 'g', "0", 0, nullptr, 0, 10, 10, 0, "Error: log - domain error\n", 0},
        {"log -1E-5", 'g', "-1", -4, nullptr, 0, 10, 10, 0, "Error: log - domain error\n", 0},
        {"asin 2", 'S', "2", 1, nullptr, 0, 10, 10, 0, "Error: asin - domain error\n", 0},
        {"acos -1.5", 'O', "-15", 1, nullptr, 0, 10, 10, 0, "Error: acos - domain error\n", 0},
        {"tan 90 degrees", 't', "9", 2, nullptr, 0, 10, 10, 0, "Error: tan - domain error\n", 0},
        {"tan -270 degrees", 't', "-27", 3, nullptr, 0, 10, 10, 0, "Error: tan - domain error\n", 0},
        {"tan 0x10E = 270 degrees", 't', "10E", 3, nullptr, 0, 16, 10, 0, "Error: tan - domain error\n", 0},
        {"tan 1E20 + 170 degrees", 't', "10000000000000000017", 21, nullptr, 0, 10, 21, 0, "Error: tan - domain error\n", 0},
        {"0^-1", 'p', "-1", 1, "0", 0, 10, 10, 0, "Error: power - domain error\n", 0},
        {"-8^0.5", 'p', "5", 0, "-8", 1, 10, 10, 0, "Error: power - domain error\n", 0},
        {"e^1E10", 'e', "1", 11, nullptr, 0, 10, 10, 0, "Error: floatConv - range error\n", 0},
        {"e^-1E10", 'e', "-1", 11, nullptr, 0, 10, 10, 0, "Error: floatConv - range error\n", 0},
        {"10^1E10", 'n', "1", 11, nullptr, 0, 10, 10, 0, "Error: floatConv - range error\n", 0},
        {"2^-1E12", 'p', "-1", 13, "2", 1, 10, 10, 0, "Error: floatConv - range error\n", 0},
        {"sin 1E30000 radians", 's', "1", 30001, nullptr, 0, 10, 10, 1, "Error: floatConv - range error\n", 0},
    };
    // clang-format on
    for (const Shown &c : cases) {
        Outcome o =
            runEntry(c.code, c.radians, c.x, c.xExponent, c.y, c.yExponent, c.radix, c.length);
        EXPECT_NE(0, o.r) << c.label;
        EXPECT_EQ(c.digits, o.diagnostics) << c.label;
    }
}

// Integer operands are read as the signed values they are; results are brought into the
// integer format as the bridge brings them.
TEST(ExactEntry, IntegerFormatOperandsAndResults) {
    NumContext ctx;
    Number *x = numFrom("000A", 0, 0, 16, kNumInteger); // 10
    Number *y = numFrom("FFFE", 0, 0, 16, kNumInteger); // -2
    Number *result = numCreate(4, 16, kNumInteger);
    ASSERT_EQ(0, exactEntry('p', x, y, result, &ctx)); // (-2)^10
    EXPECT_EQ("0400", digitsOf(result));
    EXPECT_EQ(kNumInteger, result->format);
    Number *angle = numFrom("001E", 0, 0, 16, kNumInteger); // 30 degrees
    ASSERT_EQ(0, exactEntry('s', angle, nullptr, result, &ctx));
    EXPECT_EQ("0001", digitsOf(result)); // 0.5 rounds half up
    EXPECT_EQ(kNumInteger, angle->format) << "the argument is not consumed";
    numFreeTemps(&ctx.temporaries);
    numFree(x);
    numFree(y);
    numFree(angle);
    numFree(result);
}

TEST(ExactPi, IsPiRoundedHalfUpInEveryRadix) {
    // clang-format off
    const struct {
        int radix, length;
        const char *digits;
    } cases[] = {
        {10, 34, "3141592653589793238462643383279503"}, // ...9502|88
        {10, 2, "31"},
        {16, 20, "3243F6A8885A308D3132"},               // ...3131|98A
        {2, 16, "1100100100010000"},                    // 11.00100100001111|11 rounds up
        {8, 12, "311037552421"},                        // ...2421|02
    };
    // clang-format on
    for (const auto &c : cases) {
        NumContext ctx;
        Number *pi = exactPi(c.length, c.radix, &ctx);
        ASSERT_NE(nullptr, pi);
        EXPECT_EQ(c.digits, digitsOf(pi)) << "radix " << c.radix;
        EXPECT_EQ(c.radix == 2 ? 2 : 1, pi->exponent) << "radix " << c.radix;
        numFreeTemps(&ctx.temporaries);
    }
}

// Constants enter with every digit of their text, whatever the radix; text the double would
// read otherwise (hexadecimal, an infinity) still goes that way.
TEST(ExactConst, KeepsEveryDigitOfTheText) {
    // clang-format off
    const struct {
        const char *text;
        int radix, length;
        const char *digits;
        int32_t exponent;
        const char *diagnostics;
    } cases[] = {
        {"3.14159265358979323846264338327950", 10, 40, "3141592653589793238462643383279500000000", 1, ""},
        {"6.02E23", 10, 20, "60200000000000000000", 24, ""},
        {"6.02E23", 16, 20, "7F7A7C42A34D84400000", 20, ""},
        {"-0.1", 16, 20, "-1999999999999999999A", 0, ""},
        {"2.718281828", 2, 8, "10101110", 2, ""},   // 10.101101|11... rounds up
        {" 3.01E08 and more", 10, 10, "3010000000", 9, ""},
        {"1E-2147483650", 10, 10, "1000000000", 0, "Error: floatConv - range error\n"},
        {"1E99999999999", 10, 10, "1000000000", 0, "Error: floatConv - range error\n"},
        {"0x10", 10, 10, "1600000000", 2, ""},
        {"close", 10, 10, "0000000000", 0, ""},
    };
    // clang-format on
    for (const auto &c : cases) {
        NumContext ctx;
        testing::internal::CaptureStderr();
        Number *n = exactConst(c.text, c.length, c.radix, &ctx);
        std::string diagnostics = testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.diagnostics, diagnostics) << c.text;
        if (c.diagnostics[0] == 0) {
            ASSERT_NE(nullptr, n) << c.text;
            EXPECT_EQ(c.digits, spelled(n)) << c.text;
            EXPECT_EQ(c.exponent, n->exponent) << c.text;
        } else {
            EXPECT_EQ(nullptr, n) << c.text;
        }
        numFreeTemps(&ctx.temporaries);
    }
}

// Fail allocation k = 1, 2, ... of an exact call at 100 digits, MPFR's own memory included:
// every failure is reported, nothing is left allocated once the chain is freed, and the next
// call computes as if nothing had happened.
TEST(ExactEntry, AllocationFailuresAreReportedAndReleased) {
    numSetAllocator(failAllocate, failRelease);
    std::string expected;
    for (long k = 1;; k++) {
        NumContext ctx;
        failAllocReset(0);
        Number *x = caseNumber("2", 1, 100, 10);
        Number *result = numCreate(100, 10, kNumFloating);
        failAllocReset(k);
        testing::internal::CaptureStderr();
        int r = exactEntry('l', x, nullptr, result, &ctx);
        std::string diagnostics = testing::internal::GetCapturedStderr();
        numFreeTemps(&ctx.temporaries);
        bool failed = failAllocTriggered();
        EXPECT_EQ(0, failAllocOutstanding()) << "failing allocation " << k;
        if (failed) {
            EXPECT_NE(0, r) << "failing allocation " << k;
            EXPECT_TRUE(diagnostics == "Error: ln - out of memory\n" ||
                        diagnostics == "Error: floatConv - temp create failed\n")
                << "failing allocation " << k << ": " << diagnostics;
        }
        failAllocReset(0);
        if (!failed) {
            EXPECT_EQ(0, r) << diagnostics;
            EXPECT_EQ("69314718055", digitsOf(result).substr(0, 11));
            EXPECT_GT(k, 10) << "MPFR's allocations go through the engine's allocator";
        }
        numFree(x);
        numFree(result);
        if (!failed)
            break;
    }
    numSetAllocator(malloc, free);
}

} // namespace
