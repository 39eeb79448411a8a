// The digit work of multiplication and division done on machine words: digits are packed into
// words of radix^k (10^18 for radix 10, 2^60 for radix 2, 8 and 16), multiplied exactly
// (schoolbook, Karatsuba above a threshold) or divided exactly (Knuth vol. 2, 4.3.1,
// algorithm D), and unpacked again. numMul and numDiv keep their digit records, placement,
// rounding and messages; only the integer arithmetic in the middle comes from here, and it is
// exact, so the results are those of the digit-by-digit routines. Start reading at numWordMul.
#include "number.h"

#include <cstring>

typedef unsigned __int128 Wide; // a product of two words, or a column sum of products

// One radix's word: `digits` digits of `radix` make a word below `base`. Every base is at most
// 2^60, so the sum of two words never leaves 64 bits and a column of up to 255 products of
// words (below 2^120 each) plus its carry stays below 2^128.
struct WordBase {
    int radix;
    int digits; // digits per word
    int bits;   // bits per digit for the binary radices, 0 for radix 10
    uint64_t base;
};

static const uint64_t kDecimalBase = 1000000000000000000ull; // 10^18
static const WordBase kDecimalWords = {10, 18, 0, kDecimalBase};
static const WordBase kWords8 = {8, 20, 3, 1ull << 60};
static const WordBase kWords2 = {2, 60, 1, 1ull << 60};
static const WordBase kWords16 = {16, 15, 4, 1ull << 60};

static const WordBase *wordBase(int radix) {
    switch (radix) {
    case 2:
        return &kWords2;
    case 8:
        return &kWords8;
    case 10:
        return &kDecimalWords;
    case 16:
        return &kWords16;
    default:
        return nullptr;
    }
}

// ---- tuning ---------------------------------------------------------------------------------

// Operands of this many words or more are multiplied by Karatsuba's method, shorter ones by
// the schoolbook, whose column sums are cheap. Measured with bench_arith N mul K karatsuba=W
// (radix 10, N = 1000, 2000, 4000, the least of 15 runs): every threshold from 32 to 80 words
// gave the same times within the noise, 24 and 200 were 10 to 15 % slower; 48 sits between.
static const int kKaratsubaDefault = 48;
// The schoolbook's column sums hold at most this many products (see WordBase).
static const int kSchoolbookMost = 200;

static int gDigitWork = kDigitWorkWords;
static int gKaratsubaWords = kKaratsubaDefault;

void numSetDigitWork(int method, int karatsubaWords) {
    gDigitWork = method == kDigitWorkDigits ? kDigitWorkDigits : kDigitWorkWords;
    if (karatsubaWords <= 0)
        karatsubaWords = kKaratsubaDefault;
    gKaratsubaWords = karatsubaWords < 2                 ? 2
                      : karatsubaWords > kSchoolbookMost ? kSchoolbookMost
                                                         : karatsubaWords;
}

int numWordsServe(int radix) { return gDigitWork == kDigitWorkWords && wordBase(radix); }

// ---- dividing by the base -------------------------------------------------------------------

// 10^18 shifted to its top bit, and its reciprocal floor((2^128 - 1) / d) - 2^64, for division
// by an invariant word (Moeller and Granlund, "Improved division by invariant integers",
// IEEE Trans. Computers 60 (2011), algorithm 4).
static const int kDecimalShift = 4;
static const uint64_t kDecimalNorm = kDecimalBase << kDecimalShift;
static const uint64_t kDecimalInverse =
    static_cast<uint64_t>(~static_cast<Wide>(0) / kDecimalNorm - (static_cast<Wide>(1) << 64));

// v / base, the remainder in *rest. v must be below base * 2^64, so the quotient is a word.
static inline uint64_t divBase(Wide v, uint64_t *rest, const WordBase *w) {
    if (w->bits) {
        *rest = static_cast<uint64_t>(v) & (w->base - 1);
        return static_cast<uint64_t>(v >> 60);
    }
    uint64_t high = static_cast<uint64_t>(v >> 64), low = static_cast<uint64_t>(v);
    uint64_t u1 = high << kDecimalShift | low >> (64 - kDecimalShift);
    uint64_t u0 = low << kDecimalShift;
    Wide q = static_cast<Wide>(kDecimalInverse) * u1 + (static_cast<Wide>(u1) << 64 | u0);
    uint64_t q1 = static_cast<uint64_t>(q >> 64) + 1, q0 = static_cast<uint64_t>(q);
    uint64_t r = u0 - q1 * kDecimalNorm;
    if (r > q0) {
        q1--;
        r += kDecimalNorm;
    }
    if (r >= kDecimalNorm) {
        q1++;
        r -= kDecimalNorm;
    }
    *rest = r >> kDecimalShift;
    return q1;
}

// A column sum (any value below 2^128) split into its word, returned, and the carry to the
// next column, which may be wider than a word.
static inline uint64_t splitColumn(Wide column, Wide *carry, const WordBase *w) {
    if (w->bits) {
        *carry = column >> 60;
        return static_cast<uint64_t>(column) & (w->base - 1);
    }
    // The high word's own multiple of the base first, so what is left has a one-word quotient.
    uint64_t high = static_cast<uint64_t>(column >> 64);
    uint64_t over = high / kDecimalBase, word;
    uint64_t q =
        divBase(static_cast<Wide>(high - over * kDecimalBase) << 64 | static_cast<uint64_t>(column),
                &word, w);
    *carry = static_cast<Wide>(over) << 64 | q;
    return word;
}

// ---- packing --------------------------------------------------------------------------------

// The word that holds digit position `pos` (0 the units digit). A division by each constant
// apart, which the compiler turns into a multiplication: a hardware division would cost as
// much as a whole ten-digit product's words.
static inline int wordOf(int pos, const WordBase *w) {
    switch (w->digits) {
    case 18:
        return pos / 18;
    case 20:
        return pos / 20;
    case 60:
        return pos / 60;
    default:
        return pos / 15;
    }
}

static int wordCount(int digits, const WordBase *w) { return wordOf(digits - 1, w) + 1; }

// The binary radices' digits in and out of a word, with the shift a constant of the loop.
template <int kBits> static inline uint64_t packBits(const unsigned char *digits, int count) {
    uint64_t v = 0;
    for (int j = 0; j < count; j++)
        v = v << kBits | digits[j];
    return v;
}

// Writes the word's digits from..to - 1 (0 its units digit) to at[-from], at[-from - 1], ...
template <int kBits> static inline void spellBits(uint64_t v, int from, int to, unsigned char *at) {
    v >>= kBits * from;
    for (int j = from; j < to; j++, v >>= kBits)
        at[-j] = static_cast<unsigned char>(v & ((1u << kBits) - 1));
}

// Packs the integer written by digits[0 .. count) followed by `zeros` zero digits into words,
// least significant first. Returns the number of words written, at least one.
static int packWords(const unsigned char *digits, int count, int zeros, uint64_t *words,
                     const WordBase *w) {
    const int k = w->digits, total = count + zeros, n = wordCount(total, w);
    for (int i = 0; i < n; i++) {
        // The word holds the positions [k i, k i + k) counted from the units digit: the digits
        // at indices [end - k, end) of the written string, then its zero positions times radix.
        int end = count + zeros - i * k, first = end - k > 0 ? end - k : 0;
        int zerosBelow = end <= count ? 0 : end - count < k ? end - count : k;
        end = end < count ? end : count;
        uint64_t v = 0;
        if (w->bits) {
            v = w->bits == 4   ? packBits<4>(digits + first, end - first)
                : w->bits == 3 ? packBits<3>(digits + first, end - first)
                               : packBits<1>(digits + first, end - first);
            v <<= w->bits * zerosBelow;
        } else {
            for (int j = first; j < end; j++)
                v = v * 10 + digits[j];
            for (int j = 0; j < zerosBelow; j++)
                v *= 10;
        }
        words[i] = v;
    }
    return n;
}

// The digits of 0 .. 99, tens first.
struct DigitPairs {
    unsigned char pair[100][2];
    constexpr DigitPairs() : pair() {
        for (int i = 0; i < 100; i++) {
            pair[i][0] = static_cast<unsigned char>(i / 10);
            pair[i][1] = static_cast<unsigned char>(i % 10);
        }
    }
};
static constexpr DigitPairs kPairTable;
static const unsigned char (*const kDigitPairs)[2] = kPairTable.pair;

// Writes the digits at positions [skip, skip + count) of the integer in words[0 .. n), counted
// from the units digit, to out[0 .. count), most significant first; absent words read as 0.
static void unpackWords(const uint64_t *words, int n, int skip, int count, unsigned char *out,
                        const WordBase *w) {
    const int k = w->digits, end = skip + count;
    for (int i = wordOf(skip, w); i * k < end; i++) {
        uint64_t v = i < n ? words[i] : 0;
        // The word's positions that are asked for, and where they go.
        int from = skip > i * k ? skip - i * k : 0, to = end - i * k < k ? end - i * k : k;
        unsigned char *at = out + end - 1 - i * k;
        if (!w->bits && from == 0 && to == k) {
            // A whole decimal word: two nine-digit halves, two digits at a time from a table,
            // each pair stored tens first as the string reads.
            uint32_t half[2] = {static_cast<uint32_t>(v % 1000000000u),
                                static_cast<uint32_t>(v / 1000000000u)};
            for (int h = 0; h < 2; h++, at -= 9) {
                uint32_t x = half[h];
                for (int j = 0; j < 8; j += 2, x /= 100)
                    memcpy(at - j - 1, kDigitPairs[x % 100], 2);
                at[-8] = static_cast<unsigned char>(x);
            }
            continue;
        }
        if (w->bits) {
            if (w->bits == 4)
                spellBits<4>(v, from, to, at);
            else if (w->bits == 3)
                spellBits<3>(v, from, to, at);
            else
                spellBits<1>(v, from, to, at);
            continue;
        }
        for (int j = 0; j < from; j++)
            v /= 10;
        for (int j = from; j < to; j++, v /= 10)
            at[-j] = static_cast<unsigned char>(v % 10);
    }
}

// ---- addition and subtraction of words ------------------------------------------------------

// r = x + y over n words; returns the carry out.
static uint64_t addWords(uint64_t *r, const uint64_t *x, const uint64_t *y, int n,
                         const WordBase *w) {
    uint64_t carry = 0;
    for (int i = 0; i < n; i++) {
        uint64_t s = x[i] + y[i] + carry;
        carry = s >= w->base;
        r[i] = carry ? s - w->base : s;
    }
    return carry;
}

// r = x - y over n words; returns the borrow out.
static uint64_t subWords(uint64_t *r, const uint64_t *x, const uint64_t *y, int n,
                         const WordBase *w) {
    uint64_t borrow = 0;
    for (int i = 0; i < n; i++) {
        uint64_t d = x[i] - y[i] - borrow; // wraps when negative
        borrow = x[i] < y[i] + borrow;
        r[i] = borrow ? d + w->base : d;
    }
    return borrow;
}

// Adds a carry into r[0 .. n) from its first word on.
static void carryWords(uint64_t *r, int n, uint64_t carry, const WordBase *w) {
    for (int i = 0; carry && i < n; i++) {
        uint64_t s = r[i] + carry;
        carry = s >= w->base;
        r[i] = carry ? s - w->base : s;
    }
}

// -1, 0 or 1 as x[0 .. n) compares with y[0 .. n).
static int compareWords(const uint64_t *x, const uint64_t *y, int n) {
    for (int i = n - 1; i >= 0; i--)
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    return 0;
}

// ---- multiplication -------------------------------------------------------------------------

// r[0 .. na + nb) = a * b, by columns: every product of a column is summed before one split,
// so the base is divided na + nb times, not na nb times. The shorter operand has at most
// kSchoolbookMost words.
static void mulSchoolbook(const uint64_t *a, int na, const uint64_t *b, int nb, uint64_t *r,
                          const WordBase *w) {
    // A square's column holds each product a_i a_j (i != j) twice: take it once and double.
    const bool square = a == b && na == nb;
    Wide carry = 0;
    for (int column = 0; column < na + nb - 1; column++) {
        Wide sum = 0;
        int first = column < nb ? 0 : column - nb + 1, last = column < na ? column : na - 1;
        if (square) {
            for (int i = first; i < column - i; i++)
                sum += static_cast<Wide>(a[i]) * a[column - i];
            sum <<= 1;
            if (column % 2 == 0)
                sum += static_cast<Wide>(a[column / 2]) * a[column / 2];
        } else {
            for (int i = first; i <= last; i++)
                sum += static_cast<Wide>(a[i]) * b[column - i];
        }
        r[column] = splitColumn(sum + carry, &carry, w);
    }
    r[na + nb - 1] = static_cast<uint64_t>(carry); // the product has na + nb words
}

// Words of scratch mulWords needs for n-word operands.
static size_t mulScratch(int n) {
    if (n < gKaratsubaWords)
        return 0;
    size_t m = static_cast<size_t>(n - n / 2), inner = mulScratch(static_cast<int>(m));
    return 4 * m + (inner > 2 * m + 1 ? inner : 2 * m + 1);
}

// r[0 .. 2n) = a * b; scratch holds mulScratch(n) words. Karatsuba's method in its
// subtractive form (Knuth vol. 2, 4.3.3): with a = a1 B^h + a0 and b = b1 B^h + b0,
// a b = a1 b1 B^2h + (a1 b1 + a0 b0 - (a1 - a0)(b1 - b0)) B^h + a0 b0, and |a1 - a0| needs no
// carry word, so the three half products are of equal size.
static void mulWords(const uint64_t *a, const uint64_t *b, int n, uint64_t *r, uint64_t *scratch,
                     const WordBase *w) {
    if (n < gKaratsubaWords) {
        mulSchoolbook(a, n, b, n, r, w);
        return;
    }
    const int h = n / 2, m = n - h; // low halves h words, high halves m >= h words
    uint64_t *da = scratch, *db = scratch + m, *t = scratch + 2 * m, *rest = scratch + 4 * m;
    // |a1 - a0| and |b1 - b0| in m words, with the signs of the differences. A square needs
    // one, and its three half products are squares again.
    const bool square = a == b;
    uint64_t *diffs[2] = {da, square ? da : db};
    const uint64_t *ops[2] = {a, b};
    int negative[2] = {0, 0};
    for (int k = 0; k < (square ? 1 : 2); k++) {
        uint64_t *low = rest; // the low half widened to m words
        memcpy(low, ops[k], static_cast<size_t>(h) * sizeof(uint64_t));
        if (h < m)
            low[h] = 0;
        negative[k] = compareWords(ops[k] + h, low, m) < 0;
        if (negative[k])
            subWords(diffs[k], low, ops[k] + h, m, w);
        else
            subWords(diffs[k], ops[k] + h, low, m, w);
    }
    mulWords(a, b, h, r, rest, w);                 // a0 b0 in r[0 .. 2h)
    mulWords(a + h, b + h, m, r + 2 * h, rest, w); // a1 b1 in r[2h .. 2n)
    mulWords(diffs[0], diffs[1], m, t, rest, w);   // |a1 - a0| |b1 - b0|
    // The middle term in 2m + 1 words; never negative, since it equals a0 b1 + a1 b0.
    uint64_t *middle = rest;
    memcpy(middle, r + 2 * h, static_cast<size_t>(2 * m) * sizeof(uint64_t));
    middle[2 * m] = 0;
    carryWords(middle + 2 * h, 2 * m + 1 - 2 * h, addWords(middle, middle, r, 2 * h, w), w);
    if (square || negative[0] == negative[1])
        middle[2 * m] -= subWords(middle, middle, t, 2 * m, w);
    else
        middle[2 * m] += addWords(middle, middle, t, 2 * m, w);
    // r[h ..] += middle: the whole product has 2n words, so the carry ends inside r.
    uint64_t carry = addWords(r + h, r + h, middle, 2 * m + 1, w);
    carryWords(r + h + 2 * m + 1, 2 * n - h - 2 * m - 1, carry, w);
}

size_t numWordMulScratch(int length, int radix) {
    const WordBase *w = wordBase(radix);
    int n = wordCount(length, w);
    return (4 * static_cast<size_t>(n) + mulScratch(n)) * sizeof(uint64_t);
}

// Zero words at the ends of x[0 .. n): *low below the first non-zero word; returns the count
// of words from there to the last non-zero one (0 for zero).
static int significantWords(const uint64_t *x, int n, int *low) {
    int top = n;
    while (top > 0 && x[top - 1] == 0)
        top--;
    *low = 0;
    while (*low < top && x[*low] == 0)
        (*low)++;
    return top - *low;
}

void numWordMul(const unsigned char *a, const unsigned char *b, int length, int radix,
                unsigned char *product, uint64_t *scratch) {
    const WordBase *w = wordBase(radix);
    const int n = packWords(a, length, 0, scratch, w);
    const uint64_t *wa = scratch, *wb = scratch; // a square packs its operand once
    if (b != a)
        packWords(b, length, 0, scratch + n, w), wb = scratch + n;
    uint64_t *wr = scratch + 2 * n;
    // Zero words at either end cost nothing: the step of a radix conversion multiplies by a
    // value of one digit, and small integers have long runs of leading zeros.
    int lowA, lowB, na = significantWords(wa, n, &lowA), nb = significantWords(wb, n, &lowB);
    memset(wr, 0, 2 * static_cast<size_t>(n) * sizeof(uint64_t));
    if (na && nb) {
        if (na < gKaratsubaWords || nb < gKaratsubaWords)
            mulSchoolbook(wa + lowA, na, wb + lowB, nb, wr + lowA + lowB, w);
        else
            mulWords(wa, wb, n, wr, scratch + 4 * n, w);
    }
    unpackWords(wr, 2 * n, 0, 2 * length, product, w);
}

// ---- division -------------------------------------------------------------------------------

// x[0 .. n) *= d in place; returns the word carried out.
static uint64_t scaleWords(uint64_t *x, int n, uint64_t d, const WordBase *w) {
    uint64_t carry = 0;
    for (int i = 0; i < n; i++)
        carry = divBase(static_cast<Wide>(x[i]) * d + carry, &x[i], w);
    return carry;
}

// q[0 .. un - vn] = floor(u / v) for u of un words (room for un + 1, destroyed) and v of vn
// words (changed) whose top word is not 0, un >= vn. Knuth vol. 2, 4.3.1, algorithm D: v is
// scaled until its top word is at least half the base, which makes the quotient word guessed
// from the top words at most one too large; that rare case is repaired by adding v back.
static void divideWords(uint64_t *u, int un, uint64_t *v, int vn, uint64_t *q, const WordBase *w) {
    const uint64_t base = w->base;
    if (vn == 1) {
        uint64_t rest = 0;
        for (int i = un - 1; i >= 0; i--) {
            Wide current = static_cast<Wide>(rest) * base + u[i];
            q[i] = static_cast<uint64_t>(current / v[0]);
            rest = static_cast<uint64_t>(current - static_cast<Wide>(q[i]) * v[0]);
        }
        return;
    }
    const uint64_t d = base / (v[vn - 1] + 1);
    u[un] = scaleWords(u, un, d, w);
    scaleWords(v, vn, d, w); // carries nothing out: v's top word stays below the base
    const uint64_t top = v[vn - 1], second = v[vn - 2];
    for (int j = un - vn; j >= 0; j--) {
        Wide head = static_cast<Wide>(u[j + vn]) * base + u[j + vn - 1];
        Wide guess = head / top;
        if (guess >= base)
            guess = base - 1;
        Wide rest = head - guess * top;
        while (rest < base && guess * second > rest * base + u[j + vn - 2]) {
            guess--;
            rest += top;
        }
        // u[j .. j + vn] -= guess * v
        uint64_t carry = 0, borrow = 0;
        for (int i = 0; i < vn; i++) {
            uint64_t low;
            carry = divBase(guess * v[i] + carry, &low, w);
            uint64_t x = u[i + j], taken = low + borrow;
            borrow = x < taken;
            u[i + j] = borrow ? x - taken + base : x - taken;
        }
        uint64_t x = u[j + vn], taken = carry + borrow;
        if (x < taken) {
            // One too large: the difference is negative. Adding v back carries one out of the
            // low words, which brings the top word back from -1 to 0.
            guess--;
            x += addWords(u + j, u + j, v, vn, w);
        }
        u[j + vn] = x - taken;
        q[j] = static_cast<uint64_t>(guess);
    }
}

void numWordDivScratch(int length, int shift, int radix, size_t *working, size_t *divisor) {
    const WordBase *w = wordBase(radix);
    int un = wordCount(2 * length + shift, w), vn = wordCount(length, w);
    *working = static_cast<size_t>(un + 1 + un - vn + 1) * sizeof(uint64_t);
    *divisor = static_cast<size_t>(vn) * sizeof(uint64_t);
}

int numWordDiv(const unsigned char *a, int shift, const unsigned char *b, int length, int radix,
               unsigned char *quotient, uint64_t *working, uint64_t *divisor) {
    const WordBase *w = wordBase(radix);
    const int un = packWords(a, length, length + shift, working, w);
    const int vn = packWords(b, length, 0, divisor, w);
    uint64_t *q = working + un + 1;
    divideWords(working, un, divisor, vn, q, w);
    unpackWords(q, un - vn + 1, 1, length, quotient, w);
    return static_cast<int>(w->bits ? q[0] & static_cast<uint64_t>(radix - 1) : q[0] % 10);
}
