// The four operations' digit work on machine words, held to the digit-by-digit reference: every
// row of the table runs one operation on seeded random operands, once with the words and once
// with the digits, and requires the same result code, result fields, operands afterwards,
// carry and overflow indicators, messages (as the tape receives them) and assertion reports.
#include "failalloc.h"
#include "number.h"
#include "numctx.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// ---- operands -------------------------------------------------------------------------------

// What a random operand looks like. Runs of zeros and of radix - 1 reach the carries, the
// borrows and the rare corrections of the division that uniform digits almost never do.
enum Shape { kUniform, kRuns, kShort, kAllTop, kZero, kUnnormalised, kShapeCount };

std::string spellFields(const Number *n) {
    std::string s = n->negative ? "-" : "+";
    for (int i = 0; i < n->length; i++)
        s += kDigitTable[n->digits[i] & 15];
    return s + " e" + std::to_string(n->exponent) + " f" + std::to_string(n->format) + " r" +
           std::to_string(n->radix);
}

struct Draw {
    std::mt19937_64 rng;
    explicit Draw(uint64_t seed) : rng(seed) {}
    int below(int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); }
};

void fillDigits(Number *n, Shape shape, Draw &draw) {
    const int radix = n->radix, length = n->length;
    switch (shape) {
    case kUniform:
    case kUnnormalised:
        for (int i = 0; i < length; i++)
            n->digits[i] = static_cast<unsigned char>(draw.below(radix));
        break;
    case kRuns:
        for (int i = 0; i < length;) {
            int run = 1 + draw.below(length < 40 ? length : 40), kind = draw.below(3);
            for (; run > 0 && i < length; run--, i++)
                n->digits[i] = static_cast<unsigned char>(kind == 0   ? 0
                                                          : kind == 1 ? radix - 1
                                                                      : draw.below(radix));
        }
        break;
    case kShort:
        for (int i = 0, used = 1 + draw.below(3); i < length; i++)
            n->digits[i] = static_cast<unsigned char>(i < used ? draw.below(radix) : 0);
        break;
    case kAllTop:
        for (int i = 0; i < length; i++)
            n->digits[i] = static_cast<unsigned char>(radix - 1);
        break;
    default:
        break;
    }
}

// A floating operand: normalised (or zero) except for the rare unnormalised shape, a sign, and
// an exponent that is now and then near the ends of its range, where the operations overflow.
void drawFloating(Number *n, Shape shape, Draw &draw) {
    fillDigits(n, shape, draw);
    if (shape == kZero)
        return;
    if (shape == kUnnormalised) {
        for (int i = 0, zeros = 1 + draw.below(n->length); i < zeros; i++)
            n->digits[i] = 0;
    } else if (n->digits[0] == 0) {
        n->digits[0] = static_cast<unsigned char>(1 + draw.below(n->radix - 1));
    }
    n->negative = draw.below(2);
    int where = draw.below(10);
    n->exponent = where == 0   ? INT32_MAX - draw.below(3)
                  : where == 1 ? INT32_MIN + draw.below(3)
                               : draw.below(41) - 20;
}

// An integer operand: any digit pattern, so about half are negative.
void drawInteger(Number *n, Shape shape, Draw &draw) {
    fillDigits(n, shape == kUnnormalised ? kUniform : shape, draw);
}

// ---- one operation, both ways -----------------------------------------------------------------

// What an operation leaves behind that anyone can see.
struct Outcome {
    int status;
    std::string result, a, b, tape, reports;
    int carry, overflow;
};

std::string gTape, gReports;
const NumHooks kTapeHooks = {nullptr, [](const char *text, NumContext *) {
                                 gTape += text;
                                 return 0;
                             }};

Outcome run(char op, const Number *a, const Number *b, int carry, int overflow, int method,
            int karatsubaWords) {
    NumContext calc;
    calc.carry = carry;
    calc.overflow = overflow;
    calc.numHooks = &kTapeHooks;
    gTape.clear();
    gReports.clear();
    numSetAssertReport([](const char *file, int line) {
        gReports += std::string(file) + " Line " + std::to_string(line) + "\n";
    });
    Number *x = numCreate(a->length, a->radix, a->format);
    Number *y = numCreate(b->length, b->radix, b->format);
    Number *result = numCreate(a->length, a->radix, a->format);
    numCopy(a, x);
    numCopy(b, y);
    numSetDigitWork(method, karatsubaWords);
    int status = op == '+'   ? numAdd(x, y, result, &calc)
                 : op == '-' ? numSub(x, y, result, &calc)
                 : op == '*' ? numMul(x, y, result, &calc)
                 : op == '/' ? numDiv(x, y, result, &calc)
                 : op == 's' ? numSquare(x, result, &calc)
                             : reciproc(x, result, &calc);
    Outcome o{status,   spellFields(result), spellFields(x), spellFields(y), gTape,
              gReports, calc.carry,          calc.overflow};
    numSetDigitWork(kDigitWorkWords, 0);
    numSetAssertReport(nullptr);
    numFreeTemps(&calc.temporaries);
    numFree(x);
    numFree(y);
    numFree(result);
    return o;
}

// ---- the table --------------------------------------------------------------------------------

struct Row {
    int radix;
    int format;
    char op;            // '+', '-', '*', '/', 's' square, 'r' reciprocal
    int karatsubaWords; // 0: the default; small values send short operands through Karatsuba
};

const Row kRows[] = {
    {10, kNumFloating, '*', 0}, {10, kNumInteger, '*', 0},  {16, kNumFloating, '*', 0},
    {16, kNumInteger, '*', 0},  {8, kNumFloating, '*', 0},  {8, kNumInteger, '*', 0},
    {2, kNumFloating, '*', 0},  {2, kNumInteger, '*', 0},   {10, kNumFloating, '/', 0},
    {10, kNumInteger, '/', 0},  {16, kNumFloating, '/', 0}, {16, kNumInteger, '/', 0},
    {8, kNumFloating, '/', 0},  {8, kNumInteger, '/', 0},   {2, kNumFloating, '/', 0},
    {2, kNumInteger, '/', 0},   {10, kNumFloating, 's', 0}, {10, kNumInteger, 's', 0},
    {2, kNumInteger, 's', 0},   {16, kNumFloating, 'r', 0}, {10, kNumInteger, 'r', 0},
    {10, kNumFloating, '*', 2}, {10, kNumInteger, 's', 3},  {16, kNumFloating, '*', 2},
    {8, kNumInteger, '*', 3},   {2, kNumFloating, '*', 2},  {2, kNumInteger, '*', 5},
    {10, kNumFloating, '+', 0}, {10, kNumInteger, '+', 0},  {10, kNumFloating, '-', 0},
    {10, kNumInteger, '-', 0},  {16, kNumFloating, '+', 0}, {16, kNumInteger, '-', 0},
    {8, kNumFloating, '-', 0},  {8, kNumInteger, '+', 0},   {2, kNumFloating, '+', 0},
    {2, kNumInteger, '-', 0},   {16, kNumFloating, 's', 2}, {8, kNumFloating, 's', 0},
    {2, kNumFloating, 's', 3},  {10, kNumFloating, 's', 2},
};

// Lengths from 2 to 1100 (past the longest the settings allow), many short ones: every length
// up to two words of each radix, then a spread, with fewer draws where the reference is slow.
struct Lengths {
    int from, to, step, draws;
};
const Lengths kLengths[] = {
    {2, 40, 1, 12},
    {41, 130, 7, 4},
    {150, 450, 100, 2},
    {600, 1100, 250, 1},
};

// Counts of what the draws reached.
struct Tally {
    int compared, failures, overflows;
};

// Runs every row both ways; stops at the first disagreement, one is enough to read.
void compareRows(Tally *tally) {
    int rowIndex = 0;
    for (const Row &row : kRows) {
        Draw draw(0x5EED0000u + static_cast<uint64_t>(rowIndex++));
        for (const Lengths &span : kLengths) {
            for (int length = span.from; length <= span.to; length += span.step) {
                for (int k = 0; k < span.draws; k++) {
                    Number *a = numCreate(length, row.radix, row.format);
                    Number *b = numCreate(length, row.radix, row.format);
                    for (Number *n : {a, b}) {
                        Shape shape = static_cast<Shape>(draw.below(kShapeCount));
                        if (row.format == kNumFloating)
                            drawFloating(n, shape, draw);
                        else
                            drawInteger(n, shape, draw);
                    }
                    int carry = draw.below(2), overflow = draw.below(2);
                    Outcome words =
                        run(row.op, a, b, carry, overflow, kDigitWorkWords, row.karatsubaWords);
                    Outcome digits =
                        run(row.op, a, b, carry, overflow, kDigitWorkDigits, row.karatsubaWords);
                    SCOPED_TRACE(std::string("radix ") + std::to_string(row.radix) + " format " +
                                 std::to_string(row.format) + " op " + row.op + " length " +
                                 std::to_string(length) + "\na " + spellFields(a) + "\nb " +
                                 spellFields(b));
                    EXPECT_EQ(digits.status, words.status);
                    EXPECT_EQ(digits.result, words.result);
                    EXPECT_EQ(digits.a, words.a);
                    EXPECT_EQ(digits.b, words.b);
                    EXPECT_EQ(digits.carry, words.carry);
                    EXPECT_EQ(digits.overflow, words.overflow);
                    EXPECT_EQ(digits.tape, words.tape);
                    EXPECT_EQ(digits.reports, words.reports);
                    numFree(a);
                    numFree(b);
                    tally->compared++;
                    tally->failures += words.status != 0;
                    tally->overflows += words.overflow && !overflow;
                    if (testing::Test::HasFailure())
                        return;
                }
            }
        }
    }
}

TEST(WordMath, MatchesTheDigitByDigitReference) {
    // Thousands of "Error: ..." lines would bury the test's own output; the tape sees each one.
    fflush(stderr);
    int savedStderr = dup(2), quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 2);
    close(quiet);
    Tally tally = {};
    compareRows(&tally);
    dup2(savedStderr, 2);
    close(savedStderr);
    // The draws reach the failures and the overflow indicator, not only plain results.
    EXPECT_GT(tally.compared, 10000);
    EXPECT_GT(tally.failures, 100);
    EXPECT_GT(tally.overflows, 100);
}

// ---- allocation failures on the words -----------------------------------------------------------

// Long operands, whose words do not fit the stack: failing each allocation of the operation in
// turn gives the messages in this order, never a leak, and then the answer.
struct SweepRow {
    char op;
    int length;
    int allocations; // that can fail before the answer comes
    std::vector<const char *> messages;
};

const SweepRow kSweepRows[] = {
    {'*', 400, 3, {"mul - temp create failed"}}, // the product's record and digits, the words
    {'/', 400, 2, {"div - temp create failed", "div - table create failed"}},
};

TEST(WordMath, EveryAllocationOfTheWordsCanFail) {
    for (const SweepRow &row : kSweepRows) {
        SCOPED_TRACE(std::string(1, row.op));
        Draw draw(7);
        Number *a = numCreate(row.length, 10, kNumFloating);
        Number *b = numCreate(row.length, 10, kNumFloating);
        drawFloating(a, kUniform, draw);
        drawFloating(b, kUniform, draw);
        a->exponent = b->exponent = 0;
        const Outcome expected = run(row.op, a, b, 0, 0, kDigitWorkWords, 0);
        ASSERT_EQ(0, expected.status);
        ASSERT_EQ(0, numSetAllocator(failAllocate, failRelease));
        std::vector<std::string> seen;
        int failed = 0;
        bool succeeded = false;
        for (long k = 1; k < 20 && !succeeded; k++) {
            failAllocReset(0);
            Number *x = numCreate(row.length, 10, kNumFloating);
            Number *y = numCreate(row.length, 10, kNumFloating);
            Number *result = numCreate(row.length, 10, kNumFloating);
            numCopy(a, x);
            numCopy(b, y);
            NumContext calc;
            calc.numHooks = &kTapeHooks;
            gTape.clear();
            failAllocReset(k);
            testing::internal::CaptureStderr();
            int status = row.op == '*' ? numMul(x, y, result, &calc) : numDiv(x, y, result, &calc);
            testing::internal::GetCapturedStderr();
            numFreeTemps(&calc.temporaries);
            EXPECT_EQ(0, failAllocOutstanding()) << "failing allocation " << k;
            if (failAllocTriggered()) {
                EXPECT_NE(0, status) << "failing allocation " << k;
                failed++;
                if (seen.empty() || seen.back() != gTape)
                    seen.push_back(gTape);
            } else {
                EXPECT_EQ(0, status);
                EXPECT_EQ(expected.result, spellFields(result));
                succeeded = true;
            }
            failAllocReset(0);
            numFree(x);
            numFree(y);
            numFree(result);
        }
        numSetAllocator(malloc, free);
        EXPECT_TRUE(succeeded);
        EXPECT_EQ(row.allocations, failed);
        std::vector<std::string> wanted;
        for (const char *m : row.messages)
            wanted.push_back(std::string("\n") + m + "\n");
        EXPECT_EQ(wanted, seen);
        numFree(a);
        numFree(b);
    }
}

} // namespace
