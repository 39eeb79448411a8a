// The four operations: addition and subtraction with alignment and re-normalisation, sign
// change, multiplication, division, reciprocal and square, in both formats; their messages,
// indicators and assertion reports; allocation failures; and a cross-check of floating
// products and quotients against Python's decimal module (decimal_cases.h).
#include "decimal_cases.h"
#include "failalloc.h"
#include "number.h"
#include "numctx.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A Number from test text. Integer format: exactly `length` digits, the stored pattern
// ("9998"). Floating: "[-]digits[.digits][e<exponent>]" in the Number's radix, the exponent in
// decimal counting powers of the radix ("-0.00045", "1.5", "1e-100"); "-0" keeps its sign.
Number *numberFrom(const char *text, int length, int radix, int format) {
    Number *n = numCreate(length, radix, format);
    if (!n)
        return nullptr;
    if (format == kNumInteger) {
        EXPECT_EQ(static_cast<size_t>(length), strlen(text)) << text;
        for (int i = 0; i < length && text[i]; i++)
            n->digits[i] = static_cast<unsigned char>(digitValue(text[i]));
        return n;
    }
    const char *p = text;
    if (*p == '-') {
        n->negative = 1;
        p++;
    }
    std::vector<int> digits;
    int beforePoint = -1;
    for (; *p && *p != 'e'; p++) {
        if (*p == '.') {
            beforePoint = static_cast<int>(digits.size());
            continue;
        }
        EXPECT_TRUE(digitValue(*p) >= 0 && digitValue(*p) < radix) << text;
        digits.push_back(digitValue(*p));
    }
    if (beforePoint < 0)
        beforePoint = static_cast<int>(digits.size());
    long exponent = beforePoint + (*p == 'e' ? strtol(p + 1, nullptr, 10) : 0);
    size_t first = 0;
    while (first < digits.size() && digits[first] == 0) {
        first++;
        exponent--;
    }
    while (digits.size() > first && digits.back() == 0)
        digits.pop_back();
    if (first == digits.size())
        return n; // zero: all digits 0, exponent 0
    EXPECT_LE(digits.size() - first, static_cast<size_t>(length)) << text << " is too long";
    for (size_t i = first; i < digits.size() && i - first < static_cast<size_t>(length); i++)
        n->digits[i - first] = static_cast<unsigned char>(digits[i]);
    n->exponent = static_cast<int32_t>(exponent);
    return n;
}

// Every field that matters, so one string comparison checks them all: "-0.1234e5" for a
// floating value, the digit pattern for an integer (plus any stray exponent or sign).
std::string spell(const Number *n) {
    std::string s;
    if (n->format == kNumFloating)
        s += n->negative ? "-0." : "+0.";
    for (int i = 0; i < n->length; i++)
        s += kDigitTable[n->digits[i] & 15];
    if (n->format == kNumFloating)
        s += "e" + std::to_string(n->exponent);
    else if (n->exponent || n->negative)
        s +=
            " exponent " + std::to_string(n->exponent) + " negative " + std::to_string(n->negative);
    return s;
}

typedef int (*BinaryOp)(Number *, Number *, Number *, NumContext *);
typedef int (*UnaryOp)(Number *, Number *, NumContext *);

BinaryOp binaryOp(char op) {
    switch (op) {
    case '+':
        return numAdd;
    case '-':
        return numSub;
    case '*':
        return numMul;
    default:
        return numDiv;
    }
}

UnaryOp unaryOp(char op) {
    switch (op) {
    case 'n':
        return numNegate;
    case 's':
        return numSquare;
    default:
        return reciproc;
    }
}

// Operands and result of one operation, released with the calculator's temporaries.
struct Operation {
    NumContext calc;
    Number *a = nullptr;
    Number *b = nullptr;
    Number *result = nullptr;

    Operation(int radix, int length, int format, const char *aText, const char *bText) {
        a = numberFrom(aText, length, radix, format);
        b = bText ? numberFrom(bText, length, radix, format) : nullptr;
        result = numCreate(length, radix, format);
    }
    ~Operation() {
        numFreeTemps(&calc.temporaries);
        numFree(a);
        numFree(b);
        numFree(result);
    }
    int run(char op) {
        return b ? binaryOp(op)(a, b, result, &calc) : unaryOp(op)(a, result, &calc);
    }
};

std::string expectedSpell(const char *text, int radix, int length, int format) {
    Number *n = numberFrom(text, length, radix, format);
    std::string s = spell(n);
    numFree(n);
    return s;
}

// ---- floating format ------------------------------------------------------------------------

struct FloatCase {
    int radix;
    int length;
    const char *a;
    char op;
    const char *b;
    const char *expected;
};

const FloatCase kFloatCases[] = {
    // Addition and subtraction, radix 10, length 4.
    {10, 4, "9.999", '+', "0.001", "10.00"}, // carry out: shift, 0.1000 x 10^2
    {10, 4, "1", '+', "0.00045", "1.001"},   // alignment rounds at every place it shifts
    {10, 4, "1", '+', "0.00004", "1.000"},
    {10, 4, "1", '+', "0.00005", "1.000"}, // rounds up to 0.0001 one place early, then away
    {10, 4, "0", '+', "0.005", "0.005"},   // zero takes the other operand's exponent
    {10, 4, "0.005", '+', "0", "0.005"},
    {10, 4, "5", '-', "5", "0"}, // zero: exponent 0, negative 0
    {10, 4, "-3", '-', "-5", "2"},
    {10, 4, "-3", '-', "5", "-8"},
    {10, 4, "3", '-', "5", "-2"},
    {10, 4, "-3", '+', "5", "2"},
    {10, 4, "3", '+', "-5", "-2"},
    {10, 4, "-3", '+', "-5", "-8"},
    {10, 4, "0.9999", '+', "0.9999", "2.000"}, // carry, and the rounding reaches the front
    {10, 4, "1234", '+', "0.5", "1235"},       // half rounds up
    {10, 4, "1234", '+', "0.4999", "1235"},    // 0.4999 -> 0.0500 -> 0.0050 -> 0.0005 -> 0.0001
    {10, 4, "1234", '+', "0.4444", "1234"},
    {10, 4, "1", '-', "0.001", "0.999"}, // borrow through every digit, then justify
    {10, 4, "1000", '-', "999", "1"},
    {10, 4, "1", '-', "0.0001", "1"}, // no guard digit: the subtrahend rounds away
    {10, 4, "-0", '+', "-0", "0"},
    {10, 4, "-0", '-', "0", "0"},
    {10, 4, "7", '-', "-0", "7"},
    {10, 4, "1", '+', "1e-2000000000", "1"}, // a huge exponent gap costs nothing
    {10, 4, "0.1e2147483647", '-', "0.1e2147483646", "0.09e2147483647"},
    // Multiplication.
    {10, 4, "0.9999", '*', "0.9999", "0.9998"}, // 0.99980001 rounded once
    {10, 4, "1.5", '*', "1.5", "2.250"},
    {10, 4, "0", '*', "7", "0"},
    {10, 4, "-2", '*', "3", "-6"},
    {10, 4, "-2", '*', "-3", "6"},
    {10, 4, "-0", '*', "3", "0"},
    {10, 4, "1.001", '*', "9.990", "10.00"}, // 9.99999: the rounding carries into a new digit
    {10, 4, "9999", '*', "9999", "99980000"},
    {10, 4, "0.001", '*', "0.001", "0.000001"},
    // Division.
    {10, 4, "1", '/', "3", "0.3333"},
    {10, 4, "2", '/', "3", "0.6667"},
    {10, 4, "1", '/', "8", "0.1250"}, // stops early: the remainder is zero
    {10, 4, "22", '/', "7", "3.143"},
    {10, 10, "2", '/', "3", "0.6666666667"},
    {10, 4, "0", '/', "5", "0"},
    {10, 4, "-6", '/', "3", "-2"},
    {10, 4, "6", '/', "-3", "-2"},
    {10, 4, "-6", '/', "-3", "2"},
    {10, 4, "9999", '/', "0.0001", "99990000"},
    {10, 4, "1", '/', "9999", "0.0001000"}, // 0.00010001...: the first digit needs a shift
    {10, 4, "9999", '/', "1", "9999"},
    // Radix 16.
    {16, 4, "0.FFFF", '+', "0.0001", "1"},
    {16, 4, "1", '+', "0.0008", "1.001"}, // 8 is the half threshold
    {16, 4, "1", '+', "0.0007", "1.000"},
    {16, 4, "1.8", '*', "1.8", "2.4"},
    {16, 4, "1", '/', "3", "0.5555"},
    {16, 4, "2", '/', "3", "0.AAAB"},
    // Radix 8.
    {8, 4, "7.777", '+', "0.001", "10.00"},
    {8, 4, "1", '/', "3", "0.2525"},
    {8, 4, "2", '/', "3", "0.5253"}, // 4 is the half threshold
    {8, 4, "0.7", '*', "0.7", "0.61"},
    // Radix 2: every dropped 1 is exactly half and rounds up.
    {2, 4, "0.1101", '*', "0.1101", "0.1011"}, // 0.10101001 rounded up
    {2, 4, "0.11", '*', "0.11", "0.1001"},
    {2, 8, "1", '/', "11", "0.010101011"},
    {2, 8, "10", '/', "11", "0.10101011"},
    {2, 4, "1", '+', "1e-100", "1.001"}, // so a tiny addend never vanishes
    {2, 4, "1", '-', "1e-100", "0.111"},
};

TEST(FloatArithmetic, Cases) {
    for (const FloatCase &c : kFloatCases) {
        SCOPED_TRACE(std::string("radix ") + std::to_string(c.radix) + ": " + c.a + " " + c.op +
                     " " + c.b);
        Operation o(c.radix, c.length, kNumFloating, c.a, c.b);
        ASSERT_EQ(0, o.run(c.op));
        EXPECT_EQ(expectedSpell(c.expected, c.radix, c.length, kNumFloating), spell(o.result));
        EXPECT_EQ(0, o.calc.carry); // the indicators belong to the integer format
        EXPECT_EQ(0, o.calc.overflow);
    }
}

TEST(FloatArithmetic, AlignmentRoundsOnePlaceAtATime) {
    // 0.45 x 10^-3 against 0.1 x 10^1: 0.0450 -> 0.0045 -> 0.0005 -> 0.0001.
    NumContext calc;
    Number *a = numberFrom("1", 4, 10, kNumFloating);
    Number *b = numberFrom("0.00045", 4, 10, kNumFloating);
    EXPECT_EQ(0, normalize(a, b, &calc));
    EXPECT_EQ("+0.1000e1", spell(a));
    EXPECT_EQ("+0.0001e1", spell(b));
    numFree(a);
    numFree(b);
}

TEST(FloatArithmetic, JustifyRemovesLeadingZerosAndSettlesZero) {
    Number *n = numCreate(5, 10, kNumFloating);
    const unsigned char digits[5] = {0, 0, 4, 5, 6};
    memcpy(n->digits, digits, 5);
    n->exponent = 3;
    EXPECT_EQ(0, justify(n));
    EXPECT_EQ("+0.45600e1", spell(n));
    memset(n->digits, 0, 5);
    n->exponent = INT32_MIN;
    n->negative = 1;
    EXPECT_EQ(0, justify(n));
    EXPECT_EQ("+0.00000e0", spell(n));
    n->digits[1] = 1;
    n->exponent = INT32_MIN;
    EXPECT_EQ(1, justify(n)); // exponent underflow
    numFree(n);
}

// ---- integer format -------------------------------------------------------------------------

struct IntCase {
    int radix;
    int length;
    const char *a;
    char op;
    const char *b;
    const char *expected;
    int carryIn, overflowIn;   // the indicators before the operation
    int carryOut, overflowOut; // and after it
};

const IntCase kIntCases[] = {
    // Radix 10, length 4: the range is -5000 .. 4999.
    {10, 4, "4999", '+', "0001", "5000", 0, 0, 0, 1},
    {10, 4, "9999", '+', "0001", "0000", 0, 0, 1, 0},
    {10, 4, "5000", '+', "5000", "0000", 0, 0, 1, 1},
    {10, 4, "9999", '+', "9999", "9998", 0, 0, 1, 0},
    {10, 4, "0001", '+', "0001", "0002", 1, 1, 1, 1}, // additions only ever set the indicators
    {10, 4, "0005", '-', "0003", "0002", 0, 0, 1, 0},
    {10, 4, "0003", '-', "0005", "9998", 0, 0, 0, 0},
    {10, 4, "0005", '-', "0000", "0005", 0, 0, 1, 0}, // nothing borrowed from zero
    {10, 4, "0000", '-', "0000", "0000", 0, 0, 1, 0},
    {10, 4, "0000", '-', "5000", "5000", 0, 0, 0, 1}, // 0 - -5000 = +5000 does not fit
    {10, 4, "0001", '-', "5000", "5001", 0, 0, 0, 1},
    {10, 4, "9999", '-', "5000", "4999", 0, 0, 1, 0}, // -1 - -5000 = 4999 fits
    {10, 4, "5000", '-', "0001", "4999", 0, 0, 1, 1},
    {10, 4, "0012", '*', "9999", "9988", 0, 0, 0, 0},
    {10, 4, "0100", '*', "0100", "0000", 0, 0, 0, 1}, // 10000 wraps around
    {10, 4, "0123", '*', "0456", "6088", 0, 0, 0, 1}, // 56088 keeps its last digits
    {10, 4, "0003", '*', "9998", "9994", 1, 0, 0, 0}, // multiplication clears the carry
    {10, 4, "9999", '*', "9999", "0001", 0, 0, 0, 0},
    {10, 4, "0050", '*', "0100", "5000", 0, 0, 0, 1}, // +5000 does not fit
    {10, 4, "0002", '*', "7500", "5000", 0, 0, 0, 0}, // -5000 does
    {10, 4, "5000", '*', "9999", "5000", 0, 0, 0, 1}, // -5000 x -1
    {10, 4, "9999", '/', "0002", "4999", 0, 0, 0, 0}, // unsigned pattern, truncated
    {10, 4, "0007", '/', "0002", "0003", 0, 0, 0, 0},
    {10, 4, "0001", '/', "0003", "0000", 0, 0, 0, 0},
    {10, 4, "0000", '/', "0007", "0000", 0, 0, 0, 0},
    {10, 4, "9999", '/', "0001", "9999", 0, 0, 0, 0},
    {10, 4, "1234", '/', "1234", "0001", 0, 0, 0, 0},
    {10, 4, "9999", '/', "0010", "0999", 0, 0, 0, 0},
    {10, 10, "0000000100", '/', "0000000007", "0000000014", 0, 0, 0, 0},
    // Radix 16.
    {16, 4, "7FFF", '+', "0001", "8000", 0, 0, 0, 1},
    {16, 4, "FFFF", '+', "0001", "0000", 0, 0, 1, 0},
    {16, 4, "0003", '-', "0005", "FFFE", 0, 0, 0, 0},
    {16, 4, "FFFF", '*', "FFFF", "0001", 0, 0, 0, 0},
    {16, 4, "0100", '*', "0100", "0000", 0, 0, 0, 1},
    {16, 4, "FFFF", '/', "0010", "0FFF", 0, 0, 0, 0},
    // Radix 8.
    {8, 4, "3777", '+', "0001", "4000", 0, 0, 0, 1},
    {8, 4, "0002", '*', "6000", "4000", 0, 0, 0, 0}, // 2 x -1024 is the most negative value
    {8, 4, "7777", '/', "0007", "1111", 0, 0, 0, 0},
    // Radix 2, length 8.
    {2, 8, "01111111", '+', "00000001", "10000000", 0, 0, 0, 1},
    {2, 8, "00000000", '-', "10000000", "10000000", 0, 0, 0, 1},
    {2, 8, "00000011", '*', "11111110", "11111010", 0, 0, 0, 0},
    {2, 8, "11111111", '/', "00000011", "01010101", 0, 0, 0, 0},
};

TEST(IntegerArithmetic, Cases) {
    for (const IntCase &c : kIntCases) {
        SCOPED_TRACE(std::string("radix ") + std::to_string(c.radix) + ": " + c.a + " " + c.op +
                     " " + c.b);
        Operation o(c.radix, c.length, kNumInteger, c.a, c.b);
        o.calc.carry = c.carryIn;
        o.calc.overflow = c.overflowIn;
        ASSERT_EQ(0, o.run(c.op));
        EXPECT_EQ(c.expected, spell(o.result));
        EXPECT_EQ(c.carryOut, o.calc.carry) << "carry";
        EXPECT_EQ(c.overflowOut, o.calc.overflow) << "overflow";
    }
}

TEST(IntegerArithmetic, IndicatorsReachTheDisplay) {
    Operation o(10, 4, kNumInteger, "9999", "0001");
    static int redraws;
    redraws = 0;
    static const NumHooks hooks = {[](NumContext *) { redraws++; }, nullptr};
    o.calc.numHooks = &hooks;
    ASSERT_EQ(0, o.run('+'));
    EXPECT_EQ(1, redraws);
}

// ---- one-operand operations -----------------------------------------------------------------

struct UnaryCase {
    int radix;
    int length;
    int format;
    char op; // 'n' negate, 's' square, 'r' reciprocal
    const char *x;
    const char *expected;
    int overflowOut;
};

const UnaryCase kUnaryCases[] = {
    {10, 4, kNumFloating, 'n', "0", "0", 0},
    {10, 4, kNumFloating, 'n', "-0", "0", 0},
    {10, 4, kNumFloating, 'n', "3", "-3", 0},
    {10, 4, kNumFloating, 'n', "-0.0025", "0.0025", 0},
    {10, 4, kNumInteger, 'n', "0000", "0000", 0},
    {10, 4, kNumInteger, 'n', "0001", "9999", 0},
    {10, 4, kNumInteger, 'n', "5000", "5000", 0}, // the most negative value is its own negation
    {16, 4, kNumInteger, 'n', "0001", "FFFF", 0},
    {10, 4, kNumFloating, 's', "-1.5", "2.250", 0},
    {10, 4, kNumFloating, 's', "0.9999", "0.9998", 0},
    {10, 4, kNumInteger, 's', "9998", "0004", 0}, // the square of a negative is positive
    {10, 4, kNumInteger, 's', "0070", "4900", 0},
    {10, 4, kNumInteger, 's', "0071", "5041", 1},
    {10, 4, kNumInteger, 's', "5000", "0000", 1},
    {8, 4, kNumInteger, 's', "7777", "0001", 0},
    {10, 4, kNumFloating, 'r', "4", "0.2500", 0},
    {10, 4, kNumFloating, 'r', "-3", "-0.3333", 0},
    {10, 4, kNumFloating, 'r', "0.0008", "1250", 0},
    {16, 4, kNumFloating, 'r', "3", "0.5555", 0},
    {10, 4, kNumInteger, 'r', "0004", "0000", 0},
    {10, 4, kNumInteger, 'r', "0001", "0001", 0},
    {2, 8, kNumInteger, 'r', "00000001", "00000001", 0},
};

TEST(UnaryArithmetic, Cases) {
    for (const UnaryCase &c : kUnaryCases) {
        SCOPED_TRACE(std::string("radix ") + std::to_string(c.radix) + ": " + c.op + " " + c.x);
        Operation o(c.radix, c.length, c.format, c.x, nullptr);
        ASSERT_EQ(0, o.run(c.op));
        EXPECT_EQ(expectedSpell(c.expected, c.radix, c.length, c.format), spell(o.result));
        EXPECT_EQ(c.overflowOut, o.calc.overflow);
    }
}

// ---- failures -------------------------------------------------------------------------------

struct ErrorCase {
    int format;
    const char *a;
    char op;
    const char *b;
    const char *message;
};

const ErrorCase kErrorCases[] = {
    {kNumFloating, "5", '/', "0", "div - divide by zero"},
    {kNumFloating, "0", '/', "0", "div - divide by zero"},
    {kNumInteger, "0005", '/', "0000", "div - divide by zero"},
    {kNumFloating, "0.5e2147483647", '/', "0.5e-1", "div - exponent overflow"},
    {kNumFloating, "0.5e-2147483648", '/', "0.5e1", "div - exponent overflow"},
    {kNumFloating, "0.5e2147483647", '*', "0.5e1", "mul - exponent overflow"},
    {kNumFloating, "0.5e-2147483648", '*', "0.5e-1", "mul - exponent overflow"},
    {kNumFloating, "0.1e-2147483648", '*', "0.1", "mul - exponent overflow"}, // normalising shift
    {kNumFloating, "0.9999e2147483647", '+', "0.9999e2147483647", "add - carry insert failed"},
    {kNumFloating, "-0.9999e2147483647", '-', "0.9999e2147483647", "add - carry insert failed"},
};

TEST(ArithmeticErrors, ReportTheirMessage) {
    for (const ErrorCase &c : kErrorCases) {
        SCOPED_TRACE(std::string(c.a) + " " + c.op + " " + c.b);
        Operation o(10, 4, c.format, c.a, c.b);
        static std::string tape;
        tape.clear();
        static const NumHooks hooks = {nullptr, [](const char *text, NumContext *) {
                                           tape += text;
                                           return 0;
                                       }};
        o.calc.numHooks = &hooks;
        testing::internal::CaptureStderr();
        EXPECT_NE(0, o.run(c.op));
        EXPECT_EQ(std::string("Error: ") + c.message + "\n",
                  testing::internal::GetCapturedStderr());
        EXPECT_EQ(std::string("\n") + c.message + "\n", tape);
    }
}

TEST(ArithmeticErrors, ADifferenceThatCannotBeJustifiedFailsWithoutMessage) {
    Operation o(10, 4, kNumFloating, "0.5e-2147483648", "0.4999e-2147483648");
    testing::internal::CaptureStderr();
    EXPECT_NE(0, o.run('-'));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

// ---- assertion report -----------------------------------------------------------------------

std::vector<std::string> gReports;

void recordReport(const char *file, int line) {
    gReports.push_back(std::string(file) + " Line " + std::to_string(line));
}

struct FaultCase {
    const char *what;
    int (*run)(Operation &o);
    int format;
};

Number *other(int length, int radix, int format, NumContext *calc) {
    return numCreateTemp(length, radix, format, &calc->temporaries);
}

const FaultCase kFaultCases[] = {
    {"add without a", [](Operation &o) { return numAdd(nullptr, o.b, o.result, &o.calc); }, 0},
    {"add without result", [](Operation &o) { return numAdd(o.a, o.b, nullptr, &o.calc); }, 0},
    {"sub radix mismatch",
     [](Operation &o) { return numSub(o.a, other(4, 16, 0, &o.calc), o.result, &o.calc); }, 0},
    {"mul length mismatch",
     [](Operation &o) { return numMul(o.a, o.b, other(5, 10, 0, &o.calc), &o.calc); }, 0},
    {"div format mismatch",
     [](Operation &o) { return numDiv(o.a, other(4, 10, 1, &o.calc), o.result, &o.calc); }, 0},
    {"div without calculator", [](Operation &o) { return numDiv(o.a, o.b, o.result, nullptr); }, 0},
    {"integer add with an exponent",
     [](Operation &o) {
         o.b->exponent = 2;
         return numAdd(o.a, o.b, o.result, &o.calc);
     },
     1},
    {"integer mul with an exponent",
     [](Operation &o) {
         o.a->exponent = -1;
         return numMul(o.a, o.b, o.result, &o.calc);
     },
     1},
    {"magnitudeSub of a negative",
     [](Operation &o) {
         o.b->negative = 1;
         return magnitudeSub(o.a, o.b, o.result, &o.calc);
     },
     0},
    {"justify of an integer", [](Operation &o) { return justify(o.a); }, 1},
    {"normalize of integers", [](Operation &o) { return normalize(o.a, o.b, &o.calc); }, 1},
    {"negate without x", [](Operation &o) { return numNegate(nullptr, o.result, &o.calc); }, 0},
    {"reciproc without result", [](Operation &o) { return reciproc(o.a, nullptr, &o.calc); }, 0},
    {"square length mismatch",
     [](Operation &o) { return numSquare(o.a, other(3, 10, 1, &o.calc), &o.calc); }, 1},
};

TEST(AssertionReport, InternalFaultsNameTheSourceAndLine) {
    numSetAssertReport(recordReport);
    for (const FaultCase &c : kFaultCases) {
        SCOPED_TRACE(c.what);
        Operation o(10, 4, c.format, c.format ? "0003" : "3", c.format ? "0002" : "2");
        gReports.clear();
        EXPECT_NE(0, c.run(o));
        ASSERT_EQ(1u, gReports.size());
        EXPECT_EQ(0u, gReports[0].find("calclib\\src\\domath Line ")) << gReports[0];
        EXPECT_GT(atoi(gReports[0].c_str() + strlen("calclib\\src\\domath Line ")), 0);
    }
    numSetAssertReport(nullptr);
}

TEST(AssertionReport, DefaultWritesToStandardError) {
    numSetAssertReport(recordReport);
    gReports.clear();
    NumContext calc;
    EXPECT_NE(0, numAdd(nullptr, nullptr, nullptr, &calc));
    numSetAssertReport(nullptr);
    ASSERT_EQ(1u, gReports.size());
    testing::internal::CaptureStderr();
    EXPECT_NE(0, numAdd(nullptr, nullptr, nullptr, &calc));
    EXPECT_EQ("ASSERT Failed: " + gReports[0] + "\n", testing::internal::GetCapturedStderr());
}

// ---- allocation failures --------------------------------------------------------------------

struct FailCase {
    int radix;
    int format;
    const char *a;
    char op;
    const char *b; // null for reciproc and square
    const char *expected;
    std::vector<const char *> messages; // in the order the allocations are made
};

const FailCase kFailCases[] = {
    // clang-format off
    {10, kNumFloating, "1.5", '*', "1.5", "2.25", {"mul - temp create failed"}},
    {10, kNumInteger, "9999", '*', "0012", "9988", {"mul - temp create failed"}},
    {10, kNumFloating, "-1", 's', nullptr, "1", {"mul - temp create failed"}},
    {10, kNumFloating, "22", '/', "7", "3.143", {"div - temp create failed", "div - table create failed"}},
    {16, kNumInteger, "FFFF", '/', "0010", "0FFF", {"div - temp create failed", "div - table create failed"}},
    {10, kNumFloating, "4", 'r', nullptr, "0.25", {"reciproc - temp create failed", "div - temp create failed", "div - table create failed"}},
    // clang-format on
};

class AllocationFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        failAllocReset(0);
        ASSERT_EQ(0, numSetAllocator(failAllocate, failRelease));
    }
    void TearDown() override { numSetAllocator(malloc, free); }
};

TEST_F(AllocationFailure, EveryFailingAllocationIsReportedAndNothingLeaks) {
    for (const FailCase &c : kFailCases) {
        size_t stage = 0; // messages[stage] is the latest one seen
        bool succeeded = false;
        for (long k = 1; k < 100 && !succeeded; k++) {
            SCOPED_TRACE(std::string(c.a) + " " + c.op + " failing allocation " +
                         std::to_string(k));
            failAllocReset(0);
            Operation o(c.radix, 4, c.format, c.a, c.b);
            std::string expected = expectedSpell(c.expected, c.radix, 4, c.format);
            failAllocReset(k);
            testing::internal::CaptureStderr();
            int r = o.run(c.op);
            std::string err = testing::internal::GetCapturedStderr();
            if (!failAllocTriggered()) {
                EXPECT_EQ(0, r);
                EXPECT_EQ(expected, spell(o.result));
                succeeded = true;
            } else {
                EXPECT_NE(0, r);
                while (stage < c.messages.size() &&
                       err != std::string("Error: ") + c.messages[stage] + "\n")
                    stage++;
                EXPECT_LT(stage, c.messages.size()) << "unexpected report: " << err;
                if (k == 1) {
                    EXPECT_EQ(0u, stage) << err;
                }
            }
            numFreeTemps(&o.calc.temporaries);
            EXPECT_EQ(0, failAllocOutstanding());
        }
        EXPECT_TRUE(succeeded) << c.a << " " << c.op;
        EXPECT_EQ(c.messages.size() - 1, stage) << "not every allocation stage was failed";
    }
}

// ---- cross-check against Python's decimal ---------------------------------------------------

// "<sign><length digits>e<exponent>": the Number's own fields.
Number *fieldsFrom(const char *text, int length) {
    Number *n = numCreate(length, 10, kNumFloating);
    n->negative = text[0] == '-';
    for (int i = 0; i < length; i++)
        n->digits[i] = static_cast<unsigned char>(text[1 + i] - '0');
    n->exponent = static_cast<int32_t>(strtol(text + 2 + length, nullptr, 10));
    return n;
}

std::string fieldsOf(const Number *n) {
    std::string s(1, n->negative ? '-' : '+');
    for (int i = 0; i < n->length; i++)
        s += static_cast<char>('0' + n->digits[i]);
    return s + "e" + std::to_string(n->exponent);
}

TEST(DecimalCrossCheck, ProductsAndQuotientsMatchRoundHalfUp) {
    int checked[31][2] = {};
    int mismatches = 0;
    NumContext calc;
    for (const DecimalCase &c : kDecimalCases) {
        Number *a = fieldsFrom(c.a, c.length);
        Number *b = fieldsFrom(c.b, c.length);
        Number *result = numCreate(c.length, 10, kNumFloating);
        int r = c.op == '*' ? numMul(a, b, result, &calc) : numDiv(a, b, result, &calc);
        numFreeTemps(&calc.temporaries);
        if (r != 0 || fieldsOf(result) != c.expected) {
            if (++mismatches <= 10)
                ADD_FAILURE() << c.a << " " << c.op << " " << c.b << " gave " << fieldsOf(result)
                              << " (" << r << "), decimal says " << c.expected;
        }
        checked[c.length][c.op == '/']++;
        numFree(a);
        numFree(b);
        numFree(result);
    }
    EXPECT_EQ(0, mismatches);
    for (int length : {4, 10, 30})
        for (int op : {0, 1})
            EXPECT_GE(checked[length][op], 500) << "length " << length;
}

} // namespace
