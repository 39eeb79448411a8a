// The floating bridge: floatConv's cut at the length, floatValue through radix 10 and the
// floating format, floatConst round trips, the functions in both angle modes through the
// calculator's entries, their domain errors, and results in the integer format.
#include "failalloc.h"
#include "number.h"
#include "numctx.h"
#include "numtest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int F = kNumFloating, I = kNumInteger;

struct Value {
    const char *digits;
    int exponent, negative;
};

struct EntryCase {
    const char *label;
    int code;
    Value x, y; // y.digits null when the entry takes X alone
    int radix, format, radians;
    int failed;
    Value expected;
    const char *diagnostics;
};

void check(const EntryCase &c) {
    NumContext calc;
    calc.radians = c.radians;
    Number *x = numFrom(c.x.digits, c.x.exponent, c.x.negative, c.radix, c.format);
    Number *y =
        c.y.digits ? numFrom(c.y.digits, c.y.exponent, c.y.negative, c.radix, c.format) : nullptr;
    Number *result = numCreate(x->length, c.radix, c.format);
    testing::internal::CaptureStderr();
    int r = floatEntry(c.code, x, y, result, &calc);
    std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.failed, r != 0) << c.label << ": " << diagnostics;
    EXPECT_EQ(c.diagnostics, diagnostics) << c.label;
    if (!c.failed && r == 0) {
        EXPECT_EQ(c.expected.digits, digitsOf(result)) << c.label;
        EXPECT_EQ(c.expected.exponent, result->exponent) << c.label;
        EXPECT_EQ(c.expected.negative, result->negative) << c.label;
        EXPECT_EQ(c.format, result->format) << c.label;
        EXPECT_EQ(c.radix, result->radix) << c.label;
    }
    numFreeTemps(&calc.temporaries);
    numFree(x);
    numFree(y);
    numFree(result);
}

const Value kNone = {nullptr, 0, 0};

TEST(FloatEntry, Functions) {
    const EntryCase cases[] = {
        // clang-format off
        // The inexact degree factor shows at twelve digits, as it always has.
        {"sin 30 degrees", 's', {"3000000000", 2, 0}, kNone, 10, F, 0, 0, {"5000000000", 0, 0}, ""},
        {"sin 30 degrees at 12 digits", 's', {"300000000000", 2, 0}, kNone, 10, F, 0, 0, {"500000000001", 0, 0}, ""},
        {"cos 60 degrees", 'o', {"6000000000", 2, 0}, kNone, 10, F, 0, 0, {"5000000000", 0, 0}, ""},
        {"tan 45 degrees", 't', {"4500000000", 2, 0}, kNone, 10, F, 0, 0, {"1000000000", 1, 0}, ""},
        {"asin 1 degrees", 'S', {"1000000000", 1, 0}, kNone, 10, F, 0, 0, {"9000000000", 2, 0}, ""},
        {"asin -0.5 degrees", 'S', {"5000000000", 0, 1}, kNone, 10, F, 0, 0, {"3000000000", 2, 1}, ""},
        {"acos -1 degrees", 'O', {"1000000000", 1, 1}, kNone, 10, F, 0, 0, {"1800000000", 3, 0}, ""},
        {"atan 1 degrees", 'T', {"1000000000", 1, 0}, kNone, 10, F, 0, 0, {"4500000000", 2, 0}, ""},
        {"sin pi/2 radians", 's', {"1570796327", 1, 0}, kNone, 10, F, 1, 0, {"1000000000", 1, 0}, ""},
        {"ln e cut, not rounded", 'l', {"2718281828", 1, 0}, kNone, 10, F, 0, 0, {"9999999998", 0, 0}, ""},
        {"log 1000", 'g', {"1000000000", 4, 0}, kNone, 10, F, 0, 0, {"3000000000", 1, 0}, ""},
        {"e^1 cut", 'e', {"1000000000", 1, 0}, kNone, 10, F, 0, 0, {"2718281828", 1, 0}, ""},
        {"10^3", 'n', {"3000000000", 1, 0}, kNone, 10, F, 0, 0, {"1000000000", 4, 0}, ""},
        {"2^10", 'p', {"1000000000", 2, 0}, {"2000000000", 1, 0}, 10, F, 0, 0, {"1024000000", 4, 0}, ""},
        {"(-2)^3", 'p', {"3000000000", 1, 0}, {"2000000000", 1, 1}, 10, F, 0, 0, {"8000000000", 1, 1}, ""},
        {"hex sqrt via power", 'p', {"8000", 0, 0}, {"1000", 2, 0}, 16, F, 0, 0, {"4000", 1, 0}, ""},
        // In the integer format the answer is rounded into the calculator's format.
        {"integer 2^10", 'p', {"0000000010", 0, 0}, {"0000000002", 0, 0}, 10, I, 0, 0, {"0000001024", 0, 0}, ""},
        {"integer sin 30 rounds to 1", 's', {"0030", 0, 0}, kNone, 10, I, 0, 0, {"0001", 0, 0}, ""},
        {"integer asin -1", 'S', {"9999999999", 0, 0}, kNone, 10, I, 0, 0, {"9999999910", 0, 0}, ""},
        {"hex integer 10^2", 'n', {"0002", 0, 0}, kNone, 16, I, 0, 0, {"0064", 0, 0}, ""},
        {"integer result too large", 'n', {"0009", 0, 0}, kNone, 10, I, 0, 1, kNone, "Error: floatConv - format conversion failed\n"},
        // Domain errors.
        {"asin 1.5", 'S', {"1500000000", 1, 0}, kNone, 10, F, 0, 1, kNone, "Error: asin - domain error\n"},
        {"acos -1.0000001", 'O', {"1000000100", 1, 1}, kNone, 10, F, 0, 1, kNone, "Error: acos - domain error\n"},
        {"integer asin 2", 'S', {"0002", 0, 0}, kNone, 10, I, 0, 1, kNone, "Error: asin - domain error\n"},
        {"ln 0", 'l', {"0000000000", 0, 0}, kNone, 10, F, 0, 1, kNone, "Error: ln - domain error\n"},
        {"log -1", 'g', {"1000000000", 1, 1}, kNone, 10, F, 0, 1, kNone, "Error: log - domain error\n"},
        {"tan 90 degrees", 't', {"9000000000", 2, 0}, kNone, 10, F, 0, 1, kNone, "Error: tan - domain error\n"},
        {"tan -270 degrees", 't', {"2700000000", 3, 1}, kNone, 10, F, 0, 1, kNone, "Error: tan - domain error\n"},
        {"(-8)^(1/3)", 'p', {"3333333333", 0, 0}, {"8000000000", 1, 1}, 10, F, 0, 1, kNone, "Error: power - domain error\n"},
        {"0^-1", 'p', {"1000000000", 1, 1}, {"0000000000", 0, 0}, 10, F, 0, 1, kNone, "Error: power - domain error\n"},
        {"e^1000 is no double", 'e', {"1000000000", 4, 0}, kNone, 10, F, 0, 1, kNone, "Error: floatConv - range error\n"},
        {"argument beyond the double", 's', {"1000000000", 400, 0}, kNone, 10, F, 0, 1, kNone, "Error: floatConv - range error\n"},
        // clang-format on
    };
    for (const EntryCase &c : cases)
        check(c);
}

TEST(FloatConv, KeepsTheFirstDigitsAndDropsTheNext) {
    struct Case {
        double d;
        int length, radix;
        const char *digits;
        int exponent, negative;
    } cases[] = {
        {1.0 / 3, 10, 10, "3333333333", 0, 0},
        {2.0 / 3, 10, 10, "6666666666", 0, 0}, // printed ...667: the eleventh digit is cut
        {-1234.5, 6, 10, "123450", 4, 1},
        {0.0, 4, 10, "0000", 0, 0},
        {1e-300, 4, 10, "1000", -299, 0},
        {255.0, 4, 16, "FF00", 2, 0},
        {0.5, 4, 2, "1000", 0, 0},
    };
    for (const Case &c : cases) {
        NumContext calc;
        Number *n = numCreate(c.length, c.radix, kNumInteger);
        EXPECT_EQ(0, floatConv(c.d, n, &calc)) << c.d;
        EXPECT_EQ(c.digits, digitsOf(n)) << c.d;
        EXPECT_EQ(c.exponent, n->exponent) << c.d;
        EXPECT_EQ(c.negative, n->negative) << c.d;
        EXPECT_EQ(kNumFloating, n->format) << c.d;
        numFreeTemps(&calc.temporaries);
        numFree(n);
    }
}

TEST(FloatValue, ReadsThroughDecimalText) {
    NumContext calc;
    double d = 0;
    Number *hex = numFrom("1F8", 2, 1, 16, kNumFloating); // -31.5
    EXPECT_EQ(0, floatValue(hex, &d, &calc));
    EXPECT_EQ(-31.5, d);
    Number *integer = numFrom("9995", 0, 0, 10, kNumInteger); // -5, made floating in place
    EXPECT_EQ(0, floatValue(integer, &d, &calc));
    EXPECT_EQ(-5.0, d);
    EXPECT_EQ(kNumFloating, integer->format);
    EXPECT_EQ("5000", digitsOf(integer));
    Number *binary = numFrom("00001010", 0, 0, 2, kNumInteger);
    EXPECT_EQ(0, floatValue(binary, &d, &calc));
    EXPECT_EQ(10.0, d);
    EXPECT_EQ(0, floatValue(binary, nullptr, &calc));
    numFreeTemps(&calc.temporaries);
    numFree(hex);
    numFree(integer);
    numFree(binary);
}

// floatConst then floatValue gives back the double the text reads as, at a length that holds
// every digit a double needs.
TEST(FloatConst, RoundTripsThroughTheDouble) {
    const char *texts[] = {"0",
                           "1",
                           "-2.5",
                           "3.14159265358979",
                           "1e-300",
                           "6.02214076e23",
                           "-1.5e100",
                           "0.1",
                           "123456789012345678",
                           "2.2250738585072014e-308",
                           "1.7976931348623157e308"};
    for (const char *text : texts) {
        NumContext calc;
        Number *n = floatConst(text, 20, 10, &calc);
        ASSERT_NE(nullptr, n) << text;
        double d = -7;
        EXPECT_EQ(0, floatValue(n, &d, &calc)) << text;
        EXPECT_EQ(strtod(text, nullptr), d) << text;
        numFreeTemps(&calc.temporaries);
    }
    NumContext calc;
    Number *pi = floatConst("3.14159265358979", 10, 16, &calc);
    ASSERT_NE(nullptr, pi);
    EXPECT_EQ(16, pi->radix);
    EXPECT_EQ("3243F6A860", digitsOf(pi)); // 3.141592653 (the cut at ten digits) in hex
    EXPECT_EQ(1, pi->exponent);
    numFreeTemps(&calc.temporaries);
}

TEST(FloatFunc, ResultCodes) {
    NumContext calc;
    Number *a = numFrom("5000", 0, 0, 10, kNumFloating);
    Number *r = numCreate(4, 10, kNumFloating);
    testing::internal::CaptureStderr();
    EXPECT_EQ(2, floatFunc(a, nullptr, r, 11, &calc));
    Number *huge = numFrom("1000", 500, 0, 10, kNumFloating);
    EXPECT_EQ(1, floatFunc(huge, nullptr, r, 1, &calc));
    EXPECT_EQ(2, floatFunc(a, huge, r, 9, &calc));
    EXPECT_EQ(0, floatFunc(a, nullptr, r, 7, &calc)); // ln 0.5
    Number *zero = numCreate(4, 10, kNumFloating);
    EXPECT_EQ(3, floatFunc(zero, nullptr, r, 7, &calc));
    testing::internal::GetCapturedStderr();
    numFreeTemps(&calc.temporaries);
    numFree(a);
    numFree(r);
    numFree(huge);
    numFree(zero);
}

// Fail allocation k = 1, 2, ... of an entry whose length needs a larger conversion buffer than
// any before in this test binary: every failure is reported and leaves nothing behind once the
// chain is freed.
TEST(FloatEntry, AllocationFailuresAreReportedAndReleased) {
    numSetAllocator(failAllocate, failRelease);
    std::string digits = "8" + std::string(99, '0');
    for (long k = 1;; k++) {
        NumContext calc;
        failAllocReset(0);
        Number *x = numFrom(digits.c_str(), 0, 0, 16, kNumFloating); // 0x0.8 = 0.5
        Number *result = numCreate(100, 16, kNumFloating);
        failAllocReset(k);
        testing::internal::CaptureStderr();
        int r = floatEntry('S', x, nullptr, result, &calc);
        std::string diagnostics = testing::internal::GetCapturedStderr();
        numFreeTemps(&calc.temporaries);
        bool failed = failAllocTriggered();
        if (failed) {
            EXPECT_NE(0, r) << "failing allocation " << k;
            EXPECT_NE(std::string::npos, diagnostics.find("Error: ")) << "failing allocation " << k;
        }
        failAllocReset(0);
        numFree(x);
        numFree(result);
        if (!failed) {
            EXPECT_EQ(0, r) << diagnostics;
            break;
        }
    }
    numSetAllocator(malloc, free);
}

} // namespace
