// The Number record and its primitives: creation and the temporaries chain, copying with
// rounding, shifts, increment, exponent arithmetic, comparison, complement, format conversion,
// reading an integer, the raw text and the error reporter.
#include "failalloc.h"
#include "number.h"
#include "numctx.h"
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

NumPtr make(const char *digits, int exponent = 0, int negative = 0, int radix = 10,
            int format = kNumFloating) {
    return NumPtr(numFrom(digits, exponent, negative, radix, format));
}

// Every test that installs the failing allocator goes back to malloc and free.
class FailAllocTest : public ::testing::Test {
  protected:
    void SetUp() override {
        failAllocReset(0);
        ASSERT_EQ(0, numSetAllocator(failAllocate, failRelease));
    }
    void TearDown() override { numSetAllocator(malloc, free); }
};

TEST(NumCreate, RejectsNonPositiveLengths) {
    EXPECT_EQ(nullptr, numCreate(0, 10, kNumFloating));
    EXPECT_EQ(nullptr, numCreate(-3, 10, kNumFloating));
}

TEST(NumCreate, GivesAZeroedRecord) {
    NumPtr n(numCreate(5, 16, kNumInteger));
    ASSERT_NE(nullptr, n);
    EXPECT_EQ("00000", digitsOf(n.get()));
    EXPECT_EQ(5, n->length);
    EXPECT_EQ(0, n->exponent);
    EXPECT_EQ(0, n->negative);
    EXPECT_EQ(16, n->radix);
    EXPECT_EQ(kNumInteger, n->format);
    EXPECT_EQ(nullptr, n->next);
}

TEST(NumSetAllocator, MissingCallbackChangesNothing) {
    EXPECT_EQ(1, numSetAllocator(nullptr, free));
    EXPECT_EQ(1, numSetAllocator(malloc, nullptr));
}

TEST_F(FailAllocTest, CreateReleasesTheRecordWhenTheDigitsFail) {
    for (long k = 1; k <= 2; k++) {
        failAllocReset(k);
        EXPECT_EQ(nullptr, numCreate(8, 10, kNumFloating)) << "failing allocation " << k;
        EXPECT_EQ(0, failAllocOutstanding()) << "failing allocation " << k;
    }
    failAllocReset(3);
    NumPtr n(numCreate(8, 10, kNumFloating));
    EXPECT_NE(nullptr, n);
    EXPECT_EQ(2, failAllocCount());
}

TEST_F(FailAllocTest, TemporariesChainLinksAtTheHeadAndFreesWhole) {
    Number *chain = nullptr;
    Number *a = numCreateTemp(4, 10, kNumFloating, &chain);
    Number *b = numCreateTemp(4, 10, kNumFloating, &chain);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(b, chain);
    EXPECT_EQ(a, b->next);
    EXPECT_EQ(nullptr, a->next);
    EXPECT_EQ(4, failAllocOutstanding());
    numFreeTemps(&chain);
    EXPECT_EQ(nullptr, chain);
    EXPECT_EQ(0, failAllocOutstanding());

    failAllocReset(2); // a temporary that cannot be made leaves the chain as it was
    EXPECT_EQ(nullptr, numCreateTemp(4, 10, kNumFloating, &chain));
    EXPECT_EQ(nullptr, chain);
    EXPECT_EQ(0, failAllocOutstanding());
}

struct CopyCase {
    const char *source;
    int sourceExponent;
    int destinationLength;
    int format;
    int result;
    const char *digits;
    int exponent;
};

TEST(NumCopy, RoundsHalfUpIntoShorterAndPadsLonger) {
    const CopyCase cases[] = {
        {"123456", 0, 3, kNumFloating, 0, "123", 0},
        {"123556", 0, 3, kNumFloating, 0, "124", 0},
        {"123499", 0, 3, kNumFloating, 0, "123", 0},
        {"999", 4, 2, kNumFloating, 0, "10", 5}, // carry renormalises
        {"12", -3, 5, kNumFloating, 0, "12000", -3},
        {"999", INT32_MAX, 2, kNumFloating, 1, "00", INT32_MIN}, // exponent overflow
        {"9996", 0, 3, kNumInteger, 1, "000", 0},                // carry out of an integer
    };
    for (const CopyCase &c : cases) {
        NumPtr src = make(c.source, c.sourceExponent, 1, 10, c.format);
        NumPtr dst(numCreate(c.destinationLength, 2, 1 - c.format));
        EXPECT_EQ(c.result, numCopy(src.get(), dst.get())) << c.source;
        EXPECT_EQ(c.digits, digitsOf(dst.get())) << c.source;
        EXPECT_EQ(c.exponent, dst->exponent) << c.source;
        EXPECT_EQ(1, dst->negative);
        EXPECT_EQ(10, dst->radix);
        EXPECT_EQ(c.format, dst->format);
    }
}

TEST(NumIncrement, CarriesAndRenormalises) {
    struct Case {
        const char *digits;
        int exponent, radix, format, result;
        const char *after;
        int exponentAfter;
    } cases[] = {
        {"1299", 0, 10, kNumFloating, 0, "1300", 0},
        {"9999", 3, 10, kNumFloating, 0, "1000", 4},
        {"9999", 0, 10, kNumInteger, 1, "0000", 0},
        {"00FF", 0, 16, kNumInteger, 0, "0100", 0},
        {"0111", 0, 2, kNumInteger, 0, "1000", 0},
        {"777", -1, 8, kNumFloating, 0, "100", 0},
        {"99", INT32_MAX, 10, kNumFloating, 1, "00", INT32_MIN},
    };
    for (const Case &c : cases) {
        NumPtr n = make(c.digits, c.exponent, 0, c.radix, c.format);
        EXPECT_EQ(c.result, numIncrement(n.get())) << c.digits;
        EXPECT_EQ(c.after, digitsOf(n.get())) << c.digits;
        EXPECT_EQ(c.exponentAfter, n->exponent) << c.digits;
    }
}

TEST(DigitShift, MovesDigitsAndExponentWithoutRounding) {
    NumPtr n = make("1239", 5);
    EXPECT_EQ(0, digitShiftRight(n.get()));
    EXPECT_EQ("0123", digitsOf(n.get()));
    EXPECT_EQ(6, n->exponent);
    EXPECT_EQ(0, digitShiftLeft(n.get()));
    EXPECT_EQ(0, digitShiftLeft(n.get()));
    EXPECT_EQ("2300", digitsOf(n.get()));
    EXPECT_EQ(4, n->exponent);
}

TEST(DigitShift, ExponentOverflowFails) {
    NumPtr high = make("12", INT32_MAX);
    EXPECT_EQ(1, digitShiftRight(high.get()));
    NumPtr low = make("12", INT32_MIN);
    EXPECT_EQ(1, digitShiftLeft(low.get()));
}

TEST(RoundShift, RoundsOnEachDroppedDigitInTurn) {
    // 0.45 shifted by two places: the first step rounds 4 up to 5, the second rounds on that 5.
    NumPtr n = make("45");
    EXPECT_EQ(0, numRoundShiftRight(n.get()));
    EXPECT_EQ("05", digitsOf(n.get()));
    EXPECT_EQ(0, numRoundShiftRight(n.get()));
    EXPECT_EQ("01", digitsOf(n.get()));
    EXPECT_EQ(2, n->exponent);
    NumPtr hex = make("A7", 0, 0, 16); // 7 is below the hexadecimal half threshold 8
    EXPECT_EQ(0, numRoundShiftRight(hex.get()));
    EXPECT_EQ("0A", digitsOf(hex.get()));
}

TEST(ExpAdd, DetectsSigned32BitOverflow) {
    struct Case {
        int32_t a, b;
        int result;
        int32_t sum;
    } cases[] = {
        {-5, 3, 0, -2},
        {INT32_MAX, INT32_MIN, 0, -1},
        {INT32_MAX, 1, 1, INT32_MIN},
        {INT32_MIN, -1, 1, INT32_MAX},
        {INT32_MIN, INT32_MIN, 1, 0},
    };
    for (const Case &c : cases) {
        int32_t sum = 7;
        EXPECT_EQ(c.result, expAdd(&sum, c.a, c.b)) << c.a << " + " << c.b;
        EXPECT_EQ(c.sum, sum) << c.a << " + " << c.b;
    }
    int32_t e = INT32_MAX - 1;
    EXPECT_EQ(0, expIncrement(&e));
    EXPECT_EQ(1, expIncrement(&e));
    e = INT32_MIN + 1;
    EXPECT_EQ(0, expDecrement(&e));
    EXPECT_EQ(1, expDecrement(&e));
}

TEST(NumCompare, ComparesMagnitudes) {
    struct Case {
        const char *a;
        int ea;
        const char *b;
        int eb;
        int result;
    } cases[] = {
        {"1000", 1, "9999", 0, 1}, {"9999", -2, "1000", -1, -1}, {"1234", 2, "1235", 2, -1},
        {"1240", 2, "1235", 2, 1}, {"1234", 2, "1234", 2, 0},
    };
    for (const Case &c : cases) {
        NumPtr a = make(c.a, c.ea, 1), b = make(c.b, c.eb);
        EXPECT_EQ(c.result, numCompare(a.get(), b.get())) << c.a << " vs " << c.b;
    }
    NumPtr hex1 = make("F0", 0, 0, 16, kNumInteger), hex2 = make("0F", 0, 0, 16, kNumInteger);
    EXPECT_EQ(1, numCompare(hex1.get(), hex2.get())); // integer patterns compare unsigned
}

TEST(NumIsZero, AllDigitsZero) {
    EXPECT_EQ(1, numIsZero(make("0000").get()));
    EXPECT_EQ(0, numIsZero(make("0001").get()));
    EXPECT_EQ(0, numIsZero(make("1000", 0, 0, 2).get()));
}

TEST(NumComplement, NegatesIntegerPatterns) {
    struct Case {
        const char *digits;
        int radix;
        const char *complement;
    } cases[] = {
        {"0001", 10, "9999"}, {"0000", 10, "0000"}, {"5000", 10, "5000"},
        {"0110", 2, "1010"},  {"00FF", 16, "FF01"}, {"0017", 8, "7761"},
    };
    for (const Case &c : cases) {
        NumPtr src = make(c.digits, 0, 0, c.radix, kNumInteger);
        NumPtr dst(numCreate(4, 10, kNumFloating));
        dst->exponent = 9;
        dst->negative = 1;
        EXPECT_EQ(0, numComplement(src.get(), dst.get())) << c.digits;
        EXPECT_EQ(c.complement, digitsOf(dst.get())) << c.digits;
        EXPECT_EQ(c.digits, digitsOf(src.get())) << "source kept";
        EXPECT_EQ(0, dst->exponent);
        EXPECT_EQ(0, dst->negative);
        EXPECT_EQ(kNumInteger, dst->format);
        EXPECT_EQ(c.radix, dst->radix);
        EXPECT_EQ(0, numComplement(src.get(), nullptr));
        EXPECT_EQ(c.complement, digitsOf(src.get())) << "in place";
    }
}

TEST(NumComplement, RefusesWhatIsNotAnInteger) {
    NumPtr floating = make("1234", 2);
    EXPECT_EQ(-1, numComplement(floating.get(), nullptr));
    EXPECT_EQ("1234", digitsOf(floating.get()));
    NumPtr shifted = make("1234", 1, 0, 10, kNumInteger);
    EXPECT_EQ(-1, numComplement(shifted.get(), nullptr));
    NumPtr src = make("0012", 0, 0, 10, kNumInteger);
    NumPtr shorter(numCreate(3, 10, kNumInteger));
    EXPECT_EQ(-1, numComplement(src.get(), shorter.get()));
    EXPECT_EQ("000", digitsOf(shorter.get()));
}

struct ConvertCase {
    const char *label;
    const char *digits;
    int exponent, negative, radix, format;
    int result;
    const char *after;
    int exponentAfter, negativeAfter;
};

TEST(NumConvertFormat, BetweenIntegerAndFloating) {
    const ConvertCase cases[] = {
        {"-5 to floating", "9995", 0, 0, 10, kNumInteger, 0, "5000", 1, 1},
        {"1234 to floating", "1234", 0, 0, 10, kNumInteger, 0, "1234", 4, 0},
        {"7 to floating", "0007", 0, 0, 10, kNumInteger, 0, "7000", 1, 0},
        {"0 to floating", "0000", 0, 0, 10, kNumInteger, 0, "0000", 0, 0},
        {"-5000 to floating", "5000", 0, 0, 10, kNumInteger, 0, "5000", 4, 1},
        {"hex -1 to floating", "FFFF", 0, 0, 16, kNumInteger, 0, "1000", 1, 1},
        {"-2.5 to integer", "2500", 1, 1, 10, kNumFloating, 0, "9997", 0, 0},
        {"2.5 to integer", "2500", 1, 0, 10, kNumFloating, 0, "0003", 0, 0},
        {"12345 too large", "1234", 5, 0, 10, kNumFloating, -2, nullptr, 0, 0},
        {"0.45 cascades", "4500", 0, 0, 10, kNumFloating, 0, "0001", 0, 0},
        {"0.0004 rounds to 0", "4000", -3, 0, 10, kNumFloating, 0, "0000", 0, 0},
        {"tiny is zero", "1000", INT32_MIN + 5, 0, 10, kNumFloating, 0, "0000", 0, 0},
        {"5000 flips sign", "5000", 4, 0, 10, kNumFloating, 0, "5000", 0, 0},
        {"binary 2.5", "1010", 2, 0, 2, kNumFloating, 0, "0011", 0, 0},
    };
    for (const ConvertCase &c : cases) {
        NumPtr src = make(c.digits, c.exponent, c.negative, c.radix, c.format);
        NumPtr dst(numCreate(4, c.radix, 1 - c.format));
        EXPECT_EQ(c.result, numConvertFormat(src.get(), dst.get())) << c.label;
        if (c.result != 0)
            continue;
        EXPECT_EQ(c.after, digitsOf(dst.get())) << c.label;
        EXPECT_EQ(c.exponentAfter, dst->exponent) << c.label;
        EXPECT_EQ(c.negativeAfter, dst->negative) << c.label;
        EXPECT_EQ(1 - c.format, dst->format) << c.label;
        EXPECT_EQ(c.digits, digitsOf(src.get())) << c.label << ": source kept";
    }
}

TEST(NumConvertFormat, LengthTwoRoundingCascade) {
    NumPtr src = make("45");
    NumPtr dst(numCreate(2, 10, kNumInteger));
    EXPECT_EQ(0, numConvertFormat(src.get(), dst.get()));
    EXPECT_EQ("01", digitsOf(dst.get()));
}

TEST(NumConvertFormat, SameFormatIsACopy) {
    NumPtr src = make("123456", 2, 1);
    NumPtr dst(numCreate(4, 10, kNumFloating));
    EXPECT_EQ(0, numConvertFormat(src.get(), dst.get()));
    EXPECT_EQ("1235", digitsOf(dst.get()));
    EXPECT_EQ(2, dst->exponent);
    EXPECT_EQ(1, dst->negative);
}

TEST(NumToInt, ReadsTheSigned32BitRange) {
    struct Case {
        const char *label;
        const char *digits;
        int exponent, negative, radix, format;
        int result;
        int32_t value;
    } cases[] = {
        {"-12", "1200000000", 2, 1, 10, kNumFloating, 0, -12},
        {"2147483647", "2147483647", 10, 0, 10, kNumFloating, 0, INT32_MAX},
        {"2147483648", "2147483648", 10, 0, 10, kNumFloating, 1, 0},
        {"-2147483648", "2147483648", 10, 1, 10, kNumFloating, 0, INT32_MIN},
        {"-2147483649", "2147483649", 10, 1, 10, kNumFloating, 1, 0},
        {"4294967300 does not wrap", "4294967300", 10, 0, 10, kNumFloating, 1, 0},
        {"2.5 rounds", "2500000000", 1, 0, 10, kNumFloating, 0, 3},
        {"-0.5 rounds away", "5000000000", 0, 1, 10, kNumFloating, 0, -1},
        {"hex 00FF", "00FF", 0, 0, 16, kNumInteger, 0, 255},
        {"pattern read unsigned", "9995", 0, 0, 10, kNumInteger, 0, 9995},
        {"binary 0x80000000", "10000000000000000000000000000000", 0, 0, 2, kNumInteger, 1, 0},
        {"too large to convert", "1000", 5, 0, 10, kNumFloating, -2, 0},
    };
    for (const Case &c : cases) {
        NumPtr n = make(c.digits, c.exponent, c.negative, c.radix, c.format);
        int32_t value = 42;
        EXPECT_EQ(c.result, numToInt(n.get(), &value)) << c.label;
        if (c.result == 0) {
            EXPECT_EQ(c.value, value) << c.label;
        }
    }
    NumPtr n = make("3000", 1);
    EXPECT_EQ(0, numToInt(n.get(), nullptr));
}

TEST(NumRawText, SpellsTheRecord) {
    struct Case {
        const char *digits;
        int exponent, negative, radix, format;
        const char *text;
    } cases[] = {
        {"00FF", 0, 0, 16, kNumInteger, "00FF HEX"},
        {"5000", 0, 1, 10, kNumFloating, "-0.5000 X 10 ** 0"},
        {"31415", 1, 0, 10, kNumFloating, "+0.31415 X 10 ** 1"},
        {"0101", 0, 0, 2, kNumInteger, "0101 BIN"},
        {"0017", 0, 0, 8, kNumInteger, "0017 OCT"},
        {"9995", 0, 0, 10, kNumInteger, "9995 DEC"},
        {"1A", -12, 0, 16, kNumFloating, "+0.1A X 16 ** -12"},
    };
    for (const Case &c : cases) {
        NumPtr n = make(c.digits, c.exponent, c.negative, c.radix, c.format);
        EXPECT_STREQ(c.text, numRawText(n.get()));
    }
    // The buffer grows for a long number.
    std::string wide(200, '7');
    NumPtr big = make(wide.c_str(), INT32_MIN, 1, 8, kNumFloating);
    EXPECT_EQ("-0." + wide + " X 8 ** -2147483648", std::string(numRawText(big.get())));
}

// The text's room counts its sign, point and exponent as well as the digits: a number a few
// digits longer than the last one fits too.
TEST(NumRawText, ANumberSomewhatLongerThanTheLastFits) {
    ASSERT_EQ(0, numSetAllocator(malloc, free)); // the kept text goes: the next one is sized anew
    NumPtr shortOne = make("5000", 0, 1, 10, kNumFloating);
    EXPECT_STREQ("-0.5000 X 10 ** 0", numRawText(shortOne.get()));
    std::string digits(30, '3');
    NumPtr longer = make(digits.c_str(), INT32_MIN, 1, 10, kNumFloating);
    EXPECT_EQ("-0." + digits + " X 10 ** -2147483648", std::string(numRawText(longer.get())));
}

TEST_F(FailAllocTest, RawTextReportsMemError) {
    NumPtr n(numCreate(5000, 10, kNumInteger)); // longer than any earlier call
    failAllocReset(1);
    EXPECT_STREQ("mem error", numRawText(n.get()));
    failAllocReset(0);
    EXPECT_EQ(std::string(5000, '0') + " DEC", numRawText(n.get()));
}

std::string gTape;
int recordTape(const char *text, NumContext *) {
    gTape += text;
    return 0;
}
int gRedraws;
void countRedraw(NumContext *) { gRedraws++; }

TEST(NumError, WritesStandardErrorAndTheTape) {
    NumContext calc;
    const NumHooks hooks = {nullptr, recordTape};
    calc.numHooks = &hooks;
    gTape.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, numError("div - divide by zero", &calc));
    EXPECT_EQ("Error: div - divide by zero\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ("\ndiv - divide by zero\n", gTape);
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, numError("no tape attached", nullptr));
    EXPECT_EQ("Error: no tape attached\n", testing::internal::GetCapturedStderr());
}

TEST(Indicators, SetTheFieldAndRedrawOnChange) {
    NumContext calc;
    calcSetCarry(&calc); // nothing listens: only the field changes
    EXPECT_EQ(1, calc.carry);
    const NumHooks hooks = {countRedraw, nullptr};
    calc.numHooks = &hooks;
    gRedraws = 0;
    calcSetOverflow(&calc);
    calcSetOverflow(&calc);
    calcClearCarry(&calc);
    EXPECT_EQ(1, calc.overflow);
    EXPECT_EQ(0, calc.carry);
    EXPECT_EQ(2, gRedraws);
    calcClearOverflow(&calc);
    EXPECT_EQ(0, calc.overflow);
}

} // namespace
