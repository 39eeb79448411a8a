// The programmer's operations: logical operations in every radix and both formats, shifts,
// integer and fractional part, modulus and factorial, their messages and bounds, and
// allocation-failure sweeps.
#include "failalloc.h"
#include "number.h"
#include "numctx.h"
#include "numtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>

namespace {

constexpr int F = kNumFloating, I = kNumInteger;

struct Value {
    const char *digits;
    int exponent, negative;
};

struct Outcome {
    int status;
    std::string digits;
    int exponent, negative;
    std::string diagnostics;
};

// Runs one operation on fresh operands in the given radix and format, as the calculator does,
// and releases everything afterwards. `b` may be null for one-operand operations.
Outcome run(const std::function<int(Number *, Number *, Number *, NumContext *)> &op,
            const Value &a, const Value *b, int radix, int format, NumContext *calc) {
    Number *na = numFrom(a.digits, a.exponent, a.negative, radix, format);
    Number *nb = b ? numFrom(b->digits, b->exponent, b->negative, radix, format) : nullptr;
    Number *result = numCreate(na->length, radix, format);
    testing::internal::CaptureStderr();
    int status = op(na, nb, result, calc);
    Outcome o{status, digitsOf(result), result->exponent, result->negative,
              testing::internal::GetCapturedStderr()};
    numFreeTemps(&calc->temporaries);
    numFree(na);
    numFree(nb);
    numFree(result);
    return o;
}

struct Case {
    const char *label;
    int operation; // logical operation character, or a key code for the others below
    Value a, b;    // b.digits null for one-operand operations
    int radix, format;
    int status;
    Value expected;
    const char *diagnostics;
};

int apply(int operation, Number *a, Number *b, Number *result, NumContext *calc) {
    switch (operation) {
    case 'L':
        return shiftLeft(a, b, result, calc);
    case 'R':
        return shiftRight(a, b, result, calc);
    case '<':
        return shiftLeftOne(a, result, calc);
    case '>':
        return shiftRightOne(a, result, calc);
    case 'I':
        return numTrunc(a, result, calc);
    case 'i':
        return numFrac(a, result, calc);
    case 'M':
        return numMod(a, b, result, calc);
    case '!':
        return factorial(a, result, calc);
    default:
        return logicop(a, b, result, operation, "op", calc);
    }
}

void check(const Case &c) {
    NumContext calc;
    auto op = [&](Number *a, Number *b, Number *r, NumContext *k) {
        return apply(c.operation, a, b, r, k);
    };
    Outcome o = run(op, c.a, c.b.digits ? &c.b : nullptr, c.radix, c.format, &calc);
    EXPECT_EQ(c.status, o.status != 0) << c.label << ": " << o.diagnostics;
    EXPECT_EQ(c.diagnostics, o.diagnostics) << c.label;
    if (c.status == 0) {
        EXPECT_EQ(c.expected.digits, o.digits) << c.label;
        EXPECT_EQ(c.expected.exponent, o.exponent) << c.label;
        EXPECT_EQ(c.expected.negative, o.negative) << c.label;
    }
}

const Value kNone = {nullptr, 0, 0};

TEST(Logicop, DigitWise) {
    const Case cases[] = {
        // clang-format off
        {"hex and", '&', {"00F0", 0, 0}, {"0FF0", 0, 0}, 16, I, 0, {"00F0", 0, 0}, ""},
        {"hex or", '|', {"00F0", 0, 0}, {"0F00", 0, 0}, 16, I, 0, {"0FF0", 0, 0}, ""},
        {"hex xor", '^', {"00FF", 0, 0}, {"0F0F", 0, 0}, 16, I, 0, {"0FF0", 0, 0}, ""},
        {"hex not", '~', {"00FF", 0, 0}, kNone, 16, I, 0, {"FF00", 0, 0}, ""},
        {"hex not zero", '~', {"0000", 0, 0}, kNone, 16, I, 0, {"FFFF", 0, 0}, ""},
        {"binary xor", '^', {"0110", 0, 0}, {"0011", 0, 0}, 2, I, 0, {"0101", 0, 0}, ""},
        {"octal or", '|', {"0017", 0, 0}, {"0060", 0, 0}, 8, I, 0, {"0077", 0, 0}, ""},
        {"decimal and", '&', {"00000012", 0, 0}, {"00000010", 0, 0}, 10, I, 0, {"00000008", 0, 0}, ""},
        {"decimal not zero is -1", '~', {"00000000", 0, 0}, kNone, 10, I, 0, {"99999999", 0, 0}, ""},
        {"decimal -1 and 5", '&', {"99999999", 0, 0}, {"00000005", 0, 0}, 10, I, 0, {"00000005", 0, 0}, ""},
        {"floating 5.6 and 3", '&', {"5600", 1, 0}, {"3000", 1, 0}, 10, F, 0, {"2000", 1, 0}, ""},
        {"floating -1 xor 1", '^', {"1000", 1, 1}, {"1000", 1, 0}, 10, F, 0, {"2000", 1, 1}, ""},
        {"floating hex not", '~', {"F000", 1, 0}, kNone, 16, F, 0, {"1000", 2, 1}, ""},
        {"exponents differ", '&', {"0001", 0, 0}, {"0001", 1, 0}, 16, I, 1, kNone, "Error: logicop - exponents don't match\n"},
        {"unknown operation", '%', {"0001", 0, 0}, {"0001", 0, 0}, 16, I, 1, kNone, "Error: logicop - unhandled\n"},
        {"unknown operation, floating", '%', {"1000", 1, 0}, {"1000", 1, 0}, 16, F, 1, kNone, "Error: logicop - unhandled\n"},
        // clang-format on
    };
    for (const Case &c : cases)
        check(c);
}

TEST(Shift, DoublesAndHalves) {
    const Case cases[] = {
        // clang-format off
        {"3 << 2", 'L', {"0003", 0, 0}, {"0002", 0, 0}, 10, I, 0, {"0012", 0, 0}, ""},
        {"-2 << 1", 'L', {"9998", 0, 0}, {"0001", 0, 0}, 10, I, 0, {"9996", 0, 0}, ""},
        {"5 >> 1", 'R', {"0005", 0, 0}, {"0001", 0, 0}, 10, I, 0, {"0002", 0, 0}, ""},
        {"-2 >> 1 is logical", 'R', {"9998", 0, 0}, {"0001", 0, 0}, 10, I, 0, {"4999", 0, 0}, ""},
        {"8 >> 2 halves twice", 'R', {"0008", 0, 0}, {"0002", 0, 0}, 10, I, 0, {"0002", 0, 0}, ""},
        {"binary >> 2", 'R', {"01110000", 0, 0}, {"00000010", 0, 0}, 2, I, 0, {"00011100", 0, 0}, ""},
        {"hex << 3", 'L', {"0011", 0, 0}, {"0003", 0, 0}, 16, I, 0, {"0088", 0, 0}, ""},
        {"count 0 returns y", 'R', {"1234", 0, 0}, {"0000", 0, 0}, 10, I, 0, {"1234", 0, 0}, ""},
        {"floating 5 >> 1", 'R', {"5000", 1, 0}, {"1000", 1, 0}, 10, F, 0, {"2500", 1, 0}, ""},
        {"floating 1 << 10", 'L', {"1000", 1, 0}, {"1000", 2, 0}, 10, F, 0, {"1024", 4, 0}, ""},
        {"floating binary 1 << 3", 'L', {"1000", 1, 0}, {"1100", 2, 0}, 2, F, 0, {"1000", 4, 0}, ""},
        {"count of the length", 'L', {"0003", 0, 0}, {"0004", 0, 0}, 10, I, 1, kNone, "Error: shift - bad count\n"},
        {"negative count", 'R', {"3000", 1, 0}, {"1000", 1, 1}, 10, F, 1, kNone, "Error: shift - bad count\n"},
        {"count past the repetition bound", 'L', {"1000000000", 1, 0}, {"1000000000", 10, 0}, 10, F, 1, kNone, "Error: shift - bad count\n"},
        {"count beyond 32 bits", 'L', {"1000", 1, 0}, {"1000", 13, 0}, 10, F, 1, kNone, "Error: shift - count conversion failed\n"},
        {"binary needs two digits", 'L', {"1", 0, 0}, {"0", 0, 0}, 2, I, 1, kNone, "Error: shift - not enough digits\n"},
        {"3 < 1", '<', {"0003", 0, 0}, kNone, 10, I, 0, {"0006", 0, 0}, ""},
        {"binary 0101 > 1", '>', {"0101", 0, 0}, kNone, 2, I, 0, {"0010", 0, 0}, ""},
        {"floating 5 > 1", '>', {"5000", 1, 0}, kNone, 10, F, 0, {"2500", 1, 0}, ""},
        // clang-format on
    };
    for (const Case &c : cases)
        check(c);
}

TEST(TruncFracMod, WholeAndFractionalParts) {
    const Case cases[] = {
        // clang-format off
        {"trunc -2.7", 'I', {"2700", 1, 1}, kNone, 10, F, 0, {"2000", 1, 1}, ""},
        {"trunc 0.5", 'I', {"5000", 0, 0}, kNone, 10, F, 0, {"0000", 0, 0}, ""},
        {"trunc 123.456", 'I', {"123456", 3, 0}, kNone, 10, F, 0, {"123000", 3, 0}, ""},
        {"trunc of a whole number", 'I', {"1200", 9, 0}, kNone, 10, F, 0, {"1200", 9, 0}, ""},
        {"trunc of a tiny number", 'I', {"1200", -2000000000, 0}, kNone, 10, F, 0, {"0000", 0, 0}, ""},
        {"trunc of an integer", 'I', {"9995", 0, 0}, kNone, 10, I, 0, {"9995", 0, 0}, ""},
        {"frac -2.75", 'i', {"2750", 1, 1}, kNone, 10, F, 0, {"7500", 0, 1}, ""},
        {"frac 2.5", 'i', {"2500", 1, 0}, kNone, 10, F, 0, {"5000", 0, 0}, ""},
        {"frac of an integer", 'i', {"0007", 0, 0}, kNone, 10, I, 0, {"0000", 0, 0}, ""},
        {"integer 10 mod 3", 'M', {"0010", 0, 0}, {"0003", 0, 0}, 10, I, 0, {"0001", 0, 0}, ""},
        {"integer patterns are unsigned", 'M', {"9999", 0, 0}, {"0010", 0, 0}, 10, I, 0, {"0009", 0, 0}, ""},
        {"hex mod", 'M', {"FFFF", 0, 0}, {"0100", 0, 0}, 16, I, 0, {"00FF", 0, 0}, ""},
        {"integer mod by zero", 'M', {"0010", 0, 0}, {"0000", 0, 0}, 10, I, 1, kNone, "Error: div - divide by zero\n"},
        {"floating mod by zero", 'M', {"1000", 2, 0}, {"0000", 0, 0}, 10, F, 1, kNone, "Error: div - divide by zero\n"},
        // clang-format on
    };
    for (const Case &c : cases)
        check(c);
}

// The floating modulus is the exact remainder a - b * trunc(a / b), with the sign of a: no
// rounding of the quotient leaks into it, however far apart the exponents are.
TEST(TruncFracMod, TheFloatingModulusIsTheExactRemainder) {
    const Case cases[] = {
        // clang-format off
        {"10 mod 3 is 1, not 0.999999999", 'M', {"1000000000", 2, 0}, {"3000000000", 1, 0}, 10, F, 0, {"1000000000", 1, 0}, ""},
        {"7.5 mod 2", 'M', {"7500000000", 1, 0}, {"2000000000", 1, 0}, 10, F, 0, {"1500000000", 1, 0}, ""},
        {"-7.5 mod 2 has the sign of a", 'M', {"7500000000", 1, 1}, {"2000000000", 1, 0}, 10, F, 0, {"1500000000", 1, 1}, ""},
        {"7.5 mod -2 has the sign of a, not b", 'M', {"7500000000", 1, 0}, {"2000000000", 1, 1}, 10, F, 0, {"1500000000", 1, 0}, ""},
        {"-7 mod 3", 'M', {"7000000000", 1, 1}, {"3000000000", 1, 0}, 10, F, 0, {"1000000000", 1, 1}, ""},
        {"1E20 mod 3", 'M', {"1000000000", 21, 0}, {"3000000000", 1, 0}, 10, F, 0, {"1000000000", 1, 0}, ""},
        {"5 mod 0.3", 'M', {"5000000000", 1, 0}, {"3000000000", 0, 0}, 10, F, 0, {"2000000000", 0, 0}, ""},
        {"6 mod 3 is zero", 'M', {"6000000000", 1, 0}, {"3000000000", 1, 0}, 10, F, 0, {"0000000000", 0, 0}, ""},
        {"-6 mod 3 is zero, not -0", 'M', {"6000000000", 1, 1}, {"3000000000", 1, 0}, 10, F, 0, {"0000000000", 0, 0}, ""},
        {"3E20 mod 3 is zero", 'M', {"3000000000", 21, 0}, {"3000000000", 1, 0}, 10, F, 0, {"0000000000", 0, 0}, ""},
        {"2 mod 3: a is its own remainder", 'M', {"2000000000", 1, 0}, {"3000000000", 1, 0}, 10, F, 0, {"2000000000", 1, 0}, ""},
        {"-0.5 mod 3: a smaller exponent", 'M', {"5000000000", 0, 1}, {"3000000000", 1, 0}, 10, F, 0, {"5000000000", 0, 1}, ""},
        {"0 mod 3", 'M', {"0000000000", 0, 0}, {"3000000000", 1, 0}, 10, F, 0, {"0000000000", 0, 0}, ""},
        {"0.7 mod 0.25 keeps every digit", 'M', {"7000000000", 0, 0}, {"2500000000", 0, 0}, 10, F, 0, {"2000000000", 0, 0}, ""},
        {"1E99 mod 7", 'M', {"1000000000", 100, 0}, {"7000000000", 1, 0}, 10, F, 0, {"6000000000", 1, 0}, ""},
        {"10^1999999999 mod 7", 'M', {"1000000000", 2000000000, 0}, {"7000000000", 1, 0}, 10, F, 0, {"3000000000", 1, 0}, ""},
        {"a gap past 32 bits", 'M', {"1000000000", 2000000000, 0}, {"7000000000", -2000000000, 0}, 10, F, 0, {"4000000000", -2000000000, 0}, ""},
        {"twenty digits", 'M', {"12345678901234567890", 20, 0}, {"98765432100000000000", 10, 0}, 10, F, 0, {"72530864100000000000", 10, 0}, ""},
        {"hex 0x100 mod 7", 'M', {"1000", 3, 0}, {"7000", 1, 0}, 16, F, 0, {"4000", 1, 0}, ""},
        {"hex 16^1999999999 mod 0xABC", 'M', {"1000", 2000000000, 0}, {"ABC0", 3, 0}, 16, F, 0, {"7540", 3, 0}, ""},
        {"binary 13 mod 5", 'M', {"1101", 4, 0}, {"1010", 3, 0}, 2, F, 0, {"1100", 2, 0}, ""},
        {"octal 0.7 mod 0.3", 'M', {"7000", 0, 0}, {"3000", 0, 0}, 8, F, 0, {"1000", 0, 0}, ""},
        {"a remainder below the smallest exponent", 'M', {"1000000001", -2147483640, 0}, {"1000000000", -2147483640, 0}, 10, F, 1, kNone, "Error: trunc - exponent overflow\n"},
        // clang-format on
    };
    for (const Case &c : cases)
        check(c);
}

// Against an independent computation: a - b * trunc(a / b) with the division, truncation,
// product and difference at three times the length, where each is exact for these operands (the
// quotient's rounding cannot reach its integer part).
TEST(TruncFracMod, TheFloatingModulusAgreesWithTheLongDivision) {
    constexpr int L = 8, W = 3 * L;
    std::mt19937 random(35);
    for (int radix : {10, 16, 2, 8}) {
        for (int k = 0; k < 300; k++) {
            NumContext calc;
            Number *a = numCreate(L, radix, F), *b = numCreate(L, radix, F);
            for (Number *n : {a, b})
                for (int i = 0; i < L; i++)
                    n->digits[i] = static_cast<unsigned char>(random() % radix);
            a->digits[0] = static_cast<unsigned char>(1 + random() % (radix - 1));
            b->digits[0] = static_cast<unsigned char>(1 + random() % (radix - 1));
            b->exponent = static_cast<int>(random() % 7) - 3;
            a->exponent = b->exponent + static_cast<int>(random() % (L + 2)) - 2; // gap -2 .. L - 1
            a->negative = static_cast<int>(random() % 2);
            b->negative = static_cast<int>(random() % 2);
            std::string label = std::to_string(radix) + ": " + numRawText(a);
            label += " mod " + std::string(numRawText(b));
            Number **chain = &calc.temporaries;
            Number *a3 = numCreateTemp(W, radix, F, chain), *b3 = numCreateTemp(W, radix, F, chain);
            Number *q = numCreateTemp(W, radix, F, chain), *t = numCreateTemp(W, radix, F, chain);
            Number *p = numCreateTemp(W, radix, F, chain), *r = numCreateTemp(W, radix, F, chain);
            Number *want = numCreateTemp(L, radix, F, chain);
            ASSERT_EQ(0, numCopy(a, a3) + numCopy(b, b3));
            ASSERT_EQ(0, numDiv(a3, b3, q, &calc)) << label;
            ASSERT_EQ(0, numTrunc(q, t, &calc)) << label;
            ASSERT_EQ(0, numCopy(b, b3) + numCopy(a, a3));
            ASSERT_EQ(0, numMul(t, b3, p, &calc)) << label;
            ASSERT_EQ(0, numSub(a3, p, r, &calc)) << label;
            ASSERT_EQ(0, numCopy(r, want)) << label;
            std::string expected = numRawText(want);
            Number *got = numCreate(L, radix, F);
            ASSERT_EQ(0, numMod(a, b, got, &calc)) << label;
            EXPECT_EQ(expected, numRawText(got)) << label;
            numFreeTemps(chain);
            numFree(a);
            numFree(b);
            numFree(got);
        }
    }
}

TEST(TruncFracMod, IntegerModulusLeavesTheIndicators) {
    NumContext calc;
    calc.carry = 1;
    calc.overflow = 1;
    Value a = {"9999", 0, 0}, b = {"0007", 0, 0};
    Outcome o =
        run([](Number *x, Number *y, Number *r, NumContext *k) { return numMod(x, y, r, k); }, a,
            &b, 10, I, &calc);
    EXPECT_EQ(0, o.status);
    EXPECT_EQ("0003", o.digits); // 9999 = 1428 * 7 + 3
    EXPECT_EQ(1, calc.carry);
    EXPECT_EQ(1, calc.overflow);
}

TEST(Factorial, Products) {
    const Case cases[] = {
        // clang-format off
        {"5!", '!', {"5000000000", 1, 0}, kNone, 10, F, 0, {"1200000000", 3, 0}, ""},
        {"3.5! ignores the fraction", '!', {"3500000000", 1, 0}, kNone, 10, F, 0, {"6000000000", 1, 0}, ""},
        {"-3! ignores the sign", '!', {"3000000000", 1, 1}, kNone, 10, F, 0, {"6000000000", 1, 0}, ""},
        {"0!", '!', {"0000000000", 0, 0}, kNone, 10, F, 0, {"1000000000", 1, 0}, ""},
        {"1!", '!', {"1000000000", 1, 0}, kNone, 10, F, 0, {"1000000000", 1, 0}, ""},
        {"20! exact", '!', {"20000000000000000000", 2, 0}, kNone, 10, F, 0, {"24329020081766400000", 19, 0}, ""},
        {"integer 6!", '!', {"0006", 0, 0}, kNone, 10, I, 0, {"0720", 0, 0}, ""},
        {"binary integer 3!", '!', {"0011", 0, 0}, kNone, 2, I, 0, {"0110", 0, 0}, ""},
        {"integer 7! overflows", '!', {"0007", 0, 0}, kNone, 10, I, 1, kNone, "Error: factorial - overflow\n"},
        {"10^12! is refused", '!', {"1000000000", 13, 0}, kNone, 10, F, 1, kNone, "Error: factorial - argument too large\n"},
        {"a counter that cannot grow is refused", '!', {"20", 3, 0}, kNone, 10, F, 1, kNone, "Error: factorial - argument too large\n"},
        // clang-format on
    };
    for (const Case &c : cases)
        check(c);
}

TEST(Factorial, ClearsTheOverflowIndicatorFirst) {
    NumContext calc;
    calc.overflow = 1;
    Value x = {"0004", 0, 0};
    Outcome o =
        run([](Number *a, Number *, Number *r, NumContext *k) { return factorial(a, r, k); }, x,
            nullptr, 10, I, &calc);
    EXPECT_EQ(0, o.status);
    EXPECT_EQ("0024", o.digits);
    EXPECT_EQ(0, calc.overflow);
}

// Fail allocation k = 1, 2, ... of an operation: it reports and fails, or succeeds with the
// right value, and every temporary is released with the chain.
TEST(AllocationFailure, EveryTemporaryIsReleased) {
    struct Sweep {
        const char *label;
        Case c;
    } sweeps[] = {
        // clang-format off
        {"decimal and", {"", '&', {"00000012", 0, 0}, {"00000010", 0, 0}, 10, I, 0, {"00000008", 0, 0}, ""}},
        {"floating xor", {"", '^', {"5600", 1, 0}, {"3000", 1, 0}, 10, F, 0, {"5000", 1, 0}, ""}},
        {"floating shift right", {"", 'R', {"5000", 1, 0}, {"2000", 1, 0}, 10, F, 0, {"1250", 1, 0}, ""}},
        {"floating mod", {"", 'M', {"1000", 2, 0}, {"3000", 1, 0}, 10, F, 0, {"1000", 1, 0}, ""}},
        {"floating mod, a large gap", {"", 'M', {"1000", 40, 0}, {"7000", 1, 0}, 10, F, 0, {"6000", 1, 0}, ""}},
        {"factorial", {"", '!', {"6000", 1, 0}, kNone, 10, F, 0, {"7200", 3, 0}, ""}},
        // clang-format on
    };
    numSetAllocator(failAllocate, failRelease);
    for (const Sweep &s : sweeps) {
        const Case &c = s.c;
        for (long k = 1;; k++) {
            NumContext calc;
            failAllocReset(0);
            Number *a = numFrom(c.a.digits, c.a.exponent, c.a.negative, c.radix, c.format);
            Number *b = c.b.digits
                            ? numFrom(c.b.digits, c.b.exponent, c.b.negative, c.radix, c.format)
                            : nullptr;
            Number *result = numCreate(a->length, c.radix, c.format);
            failAllocReset(k);
            testing::internal::CaptureStderr();
            int status = apply(c.operation, a, b, result, &calc);
            std::string diagnostics = testing::internal::GetCapturedStderr();
            numFreeTemps(&calc.temporaries);
            EXPECT_EQ(0, failAllocOutstanding()) << s.label << ", failing allocation " << k;
            bool failed = failAllocTriggered();
            if (failed) {
                EXPECT_NE(0, status) << s.label << ", failing allocation " << k;
                EXPECT_NE(std::string::npos, diagnostics.find("Error: "))
                    << s.label << ", failing allocation " << k;
            } else {
                EXPECT_EQ(0, status) << s.label << ": " << diagnostics;
                EXPECT_EQ(c.expected.digits, digitsOf(result)) << s.label;
            }
            numFree(a);
            numFree(b);
            numFree(result);
            if (!failed)
                break;
        }
    }
    numSetAllocator(malloc, free);
}

} // namespace
