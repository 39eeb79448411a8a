// The four operations on Numbers: addition and subtraction with alignment and re-normalisation,
// sign change, schoolbook multiplication into a double-length product, long division by a table
// of the divisor's multiples, reciprocal and square. Also the engine's assertion report.
// Start reading at numAdd.
//
// Rounding is round half up on the magnitude, always one dropped digit at a time: alignment
// rounds at every place it shifts, a product is rounded once, a quotient on its next digit.
// Integer-format additions behave like a processor's adder and only ever raise the carry and
// overflow indicators; the calculator clears them with the entry (indicators latch over a chain
// of operations, so an overflow half-way through a + b + c stays visible on the answer).
#include "number.h"

#include "numctx.h"

#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>

// ---- assertion report ---------------------------------------------------------------------

static void numAssertToStderr(const char *file, int line) {
    fprintf(stderr, "ASSERT Failed: %s Line %d\n", file, line);
}

static AssertReportFn gAssertReport = numAssertToStderr;

void numSetAssertReport(AssertReportFn report) {
    gAssertReport = report ? report : numAssertToStderr;
}

void numAssertReport(const char *file, int line) { gAssertReport(file, line); }

// The file text the assertion report names: the system cites its sources this way.
static const char kSourceName[] = "calclib\\src\\domath";

// Operands of one operation: present, one radix, one length (> 0), one format, and integer operands
// held with exponent 0. `b` may be null for one-operand operations.
static bool numAgree(const Number *a, const Number *b, const Number *result) {
    if (!a || !result || a->length <= 0)
        return false;
    if (result->radix != a->radix || result->length != a->length || result->format != a->format)
        return false;
    if (a->format == kNumInteger && a->exponent != 0)
        return false;
    if (!b)
        return true;
    if (b->radix != a->radix || b->length != a->length || b->format != a->format)
        return false;
    return b->format != kNumInteger || b->exponent == 0;
}

// ---- digit helpers ---------------------------------------------------------------------------

// Eight digits as one machine word, the group's last digit in the low byte, so that the
// word's own carries and borrows run from digit to digit the way the string's do.
static inline uint64_t loadGroup(const unsigned char *p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return std::endian::native == std::endian::little ? __builtin_bswap64(v) : v;
}

static inline void storeGroup(unsigned char *p, uint64_t v) {
    if (std::endian::native == std::endian::little)
        v = __builtin_bswap64(v);
    memcpy(p, &v, sizeof v);
}

static const uint64_t kEveryByte = 0x0101010101010101ull;

// result = a + b over the digits of equal-length Numbers (result may be a or b); returns the
// carry out of the first digit.
static int addDigits(const Number *a, const Number *b, Number *result) {
    // Digit pointers in locals: a store through unsigned char may alias any field, and
    // reloading the pointers per digit triples the cost of the loop.
    const unsigned char *pa = a->digits;
    const unsigned char *pb = b->digits;
    unsigned char *pr = result->digits;
    const int radix = a->radix;
    const uint64_t bias = static_cast<uint64_t>(256 - radix);
    int i = a->length;
    uint64_t carry = 0;
    if (numWordsServe(radix)) {
        // Eight digits per word addition: each byte of b is biased by 256 - radix, so a byte
        // carries into the next exactly when its digit sum reaches the radix, and then holds
        // the sum less the radix; the bytes that did not carry give the bias back.
        for (; i >= 8; i -= 8) {
            uint64_t x = loadGroup(pa + i - 8), y = loadGroup(pb + i - 8) + bias * kEveryByte;
            uint64_t s = x + y, t = s + carry;
            uint64_t out = (s < x) | (t < s);
            uint64_t carried = ((x ^ y ^ t) >> 8 & kEveryByte) | out << 56;
            storeGroup(pr + i - 8, t - bias * (~carried & kEveryByte));
            carry = out;
        }
    }
    for (i--; i >= 0; i--) {
        int s = pa[i] + pb[i] + static_cast<int>(carry);
        carry = s >= radix;
        pr[i] = static_cast<unsigned char>(carry ? s - radix : s);
    }
    return static_cast<int>(carry);
}

// result = a - b over the digits of equal-length Numbers (result may be a); returns the borrow
// left after the first digit. *nonZero (when given) tells whether any result digit is non-zero.
static int subDigits(const Number *a, const Number *b, Number *result, int *nonZero) {
    const unsigned char *pa = a->digits;
    const unsigned char *pb = b->digits;
    unsigned char *pr = result->digits;
    const int radix = a->radix;
    const uint64_t bias = static_cast<uint64_t>(256 - radix);
    int i = a->length;
    uint64_t borrow = 0, any = 0;
    if (numWordsServe(radix)) {
        // Eight digits per word subtraction: a byte that borrows holds its difference plus 256
        // and gives back 256 - radix, leaving the difference plus the radix.
        for (; i >= 8; i -= 8) {
            uint64_t x = loadGroup(pa + i - 8), y = loadGroup(pb + i - 8);
            uint64_t s = x - y, t = s - borrow;
            uint64_t out = (x < y) | (s < borrow);
            uint64_t borrowed = ((x ^ y ^ t) >> 8 & kEveryByte) | out << 56;
            t -= bias * (borrowed & kEveryByte);
            any |= t;
            storeGroup(pr + i - 8, t);
            borrow = out;
        }
    }
    for (i--; i >= 0; i--) {
        int d = pa[i] - pb[i] - static_cast<int>(borrow);
        borrow = d < 0;
        d += static_cast<int>(borrow) * radix; // no branch: random borrows defeat the predictor
        any |= static_cast<uint64_t>(d);
        pr[i] = static_cast<unsigned char>(d);
    }
    if (nonZero)
        *nonZero = any != 0;
    return static_cast<int>(borrow);
}

static int trailingZeros(const Number *n) {
    int k = 0;
    while (k < n->length && n->digits[n->length - 1 - k] == 0)
        k++;
    return k;
}

static int leadingZeros(const Number *n) {
    int k = 0;
    while (k < n->length && n->digits[k] == 0)
        k++;
    return k;
}

// The same as k digitShiftLefts in one move: digits k places toward the front, zeros at the
// end, exponent lowered by k. 1 (nothing moved) when the exponent would leave the 32-bit range.
static int shiftLeftBy(Number *n, int k) {
    if (k <= 0)
        return 0;
    int32_t lowered;
    if (expAdd(&lowered, n->exponent, -k))
        return 1;
    n->exponent = lowered;
    memmove(n->digits, n->digits + k, static_cast<size_t>(n->length - k));
    memset(n->digits + n->length - k, 0, static_cast<size_t>(k));
    return 0;
}

// ---- normalisation -------------------------------------------------------------------------

int justify(Number *n) {
    if (!NUM_CHECK(n && n->format == kNumFloating))
        return 1;
    int k = leadingZeros(n);
    if (k == n->length) {
        // Zero is zero whatever exponent it came with: it never fails to justify.
        numSetZero(n);
        return 0;
    }
    return shiftLeftBy(n, k);
}

int normalize(Number *a, Number *b, NumContext *ctx) {
    if (!NUM_CHECK(a && b && a->format == kNumFloating && b->format == kNumFloating &&
                   a->radix == b->radix && a->length == b->length))
        return 1;
    if (a->exponent == b->exponent)
        return 0;
    Number *big = a->exponent > b->exponent ? a : b;
    Number *small = big == a ? b : a;
    if (numIsZero(big)) {
        big->exponent = small->exponent;
        return 0;
    }
    // After length + 2 rounding shifts every original digit is gone and the digits sit at a
    // fixed point of the shift: all zero, or in radix 2 a lone 1 in the last place (a dropped 1
    // is exactly half and always rounds back up). Further shifts change only the exponent, so
    // a huge exponent gap costs no more than a small one.
    for (int shifts = 0; small->exponent < big->exponent; shifts++) {
        if (shifts > small->length + 1) {
            small->exponent = big->exponent;
            break;
        }
        int r = numRoundShiftRight(small);
        if (r == 1)
            return numError("normalize - shift", ctx);
        if (r)
            return numError("normalize - round", ctx);
    }
    return 0;
}

// ---- addition and subtraction --------------------------------------------------------------

// Integer-format sum a + b as a processor's adder forms it, without touching the indicators:
// *carry is the carry out of the first digit, the result's sign is read from its first digit.
static void intAdd(const Number *a, const Number *b, Number *result, int *carry) {
    *carry = addDigits(a, b, result);
    result->exponent = 0;
    result->negative = 0;
}

static int intIsNegative(const Number *n) { return n->digits[0] >= numHalf(n->radix); }

int numAdd(Number *a, Number *b, Number *result, NumContext *ctx) {
    if (!NUM_CHECK(numAgree(a, b, result)))
        return 1;
    if (a->format == kNumInteger) {
        int signA = intIsNegative(a);
        int signB = intIsNegative(b);
        int carry;
        intAdd(a, b, result, &carry);
        if (carry)
            calcSetCarry(ctx);
        if (signA == signB && intIsNegative(result) != signA)
            calcSetOverflow(ctx);
        a->negative = 0;
        b->negative = 0;
        return 0;
    }

    if (normalize(a, b, ctx))
        return numError("add - normalize failed", ctx);
    if (!a->negative && b->negative) {
        b->negative = 0;
        return magnitudeSub(a, b, result, ctx);
    }
    if (a->negative && !b->negative) {
        a->negative = 0;
        return magnitudeSub(b, a, result, ctx);
    }
    result->exponent = a->exponent;
    result->negative = a->negative; // both operands share this sign
    if (addDigits(a, b, result)) {
        // The sum has length + 1 digits: drop the last one with rounding and put the carry in
        // front. The first digit ends at most 2, and at most 1 in radix 2: the largest sum,
        // 2 * (radix^L - 1), ends in the digit radix - 2, which never rounds up in radix 2.
        if (numRoundShiftRight(result))
            return numError("add - carry insert failed", ctx);
        result->digits[0]++;
    }
    if (justify(result))
        return numError("add - rejustify failed", ctx);
    return 0;
}

int magnitudeSub(Number *a, Number *b, Number *result, NumContext *ctx) {
    if (!NUM_CHECK(numAgree(a, b, result)) || !NUM_CHECK(!a->negative && !b->negative))
        return 1;
    if (numCompare(a, b) < 0) {
        int r = magnitudeSub(b, a, result, ctx);
        result->negative = 1; // |b| > |a|: never zero
        return r;
    }
    result->exponent = a->exponent;
    result->negative = 0;
    if (!NUM_CHECK(subDigits(a, b, result, nullptr) == 0))
        return 1;
    // A failing re-normalisation here is returned without a message of its own.
    if (result->format == kNumFloating)
        return justify(result);
    return 0;
}

int numSub(Number *a, Number *b, Number *result, NumContext *ctx) {
    if (!NUM_CHECK(numAgree(a, b, result)))
        return 1;
    if (a->format == kNumInteger) {
        // Subtraction by adding the complement, with the flags a processor gives a subtraction:
        // carry exactly when no borrow occurs (a >= b unsigned), overflow when the signed result
        // leaves the range. The adder alone gets two patterns wrong: the complement of zero is
        // zero (no carry out, yet nothing was borrowed), and the most negative value is its own
        // complement (its true negation does not fit), so both flags are decided here.
        int noBorrow = numCompare(a, b) >= 0;
        int signA = intIsNegative(a);
        int signB = intIsNegative(b);
        if (numComplement(b, nullptr))
            return numError("sub - complement failed", ctx);
        int carry;
        intAdd(a, b, result, &carry);
        if (noBorrow)
            calcSetCarry(ctx);
        if (signA != signB && intIsNegative(result) != signA)
            calcSetOverflow(ctx);
        a->negative = 0;
        b->negative = 0;
        return 0;
    }

    if (!a->negative) {
        b->negative = !b->negative;
        return numAdd(a, b, result, ctx);
    }
    if (b->negative) {
        b->negative = 0; // -|a| + |b|
        return numAdd(a, b, result, ctx);
    }
    a->negative = 0; // -(|a| + b)
    int r = numAdd(a, b, result, ctx);
    if (r == 0 && !numIsZero(result))
        result->negative = 1;
    return r;
}

int numNegate(Number *x, Number *result, NumContext *ctx) {
    (void)ctx;
    if (!NUM_CHECK(numAgree(x, nullptr, result)))
        return 1;
    if (x->format == kNumInteger) {
        x->negative = 0;
        result->negative = 0;
        return numComplement(x, result); // the complement of zero is zero
    }
    if (numCopy(x, result))
        return 1; // equal lengths: the copy never rounds
    if (numIsZero(x))
        numSetZero(result);
    else
        result->negative = !x->negative;
    return 0;
}

// ---- multiplication ------------------------------------------------------------------------

// Words of product scratch kept on the stack: operands up to 16 words (288 decimal digits).
static const int kMulStackWords = 64;

// The schoolbook product of the digit strings into product's digits: b's digit e places from
// the end (e = 1 for its last digit) multiplies into a partial product whose last digit lands
// on product index 2L + 1 - e. The partial sums never reach product index 0, which only keeps
// the room. The reference the word product is held to.
static void mulDigits(const Number *a, const Number *b, Number *product, Number *partial) {
    const int length = a->length;
    const int radix = a->radix;
    const unsigned char *da = a->digits;
    unsigned char *p = product->digits;
    unsigned char *q = partial->digits;
    for (int e = 1; e <= length; e++) {
        int d = b->digits[length - e];
        if (d == 0)
            continue;
        int carry = 0;
        for (int i = length - 1; i >= 0; i--) {
            int f = carry + da[i] * d;
            q[i + 1] = static_cast<unsigned char>(f % radix);
            carry = f / radix;
        }
        q[0] = static_cast<unsigned char>(carry);
        const int last = 2 * length + 1 - e;
        carry = 0;
        for (int i = length; i >= 0; i--) {
            int s = p[last - length + i] + q[i] + carry;
            carry = s >= radix;
            p[last - length + i] = static_cast<unsigned char>(carry ? s - radix : s);
        }
        if (carry)
            p[last - length - 1] = 1;
    }
}

int numMul(Number *a, Number *b, Number *result, NumContext *ctx) {
    if (!NUM_CHECK(ctx && numAgree(a, b, result)))
        return 1;
    const int length = a->length;
    const int radix = a->radix;
    const int words = numWordsServe(radix);
    Number *product = numCreateTemp(2 * length + 1, radix, a->format, &ctx->temporaries);
    Number *partial = nullptr;
    // Short operands' words fit on the stack: an allocation would cost more than the product.
    uint64_t near[kMulStackWords];
    uint64_t *scratch = nullptr;
    const size_t scratchSize = words ? numWordMulScratch(length, radix) : 0;
    if (product && words)
        scratch =
            scratchSize <= sizeof near ? near : static_cast<uint64_t *>(numAllocate(scratchSize));
    else if (product)
        partial = numCreateTemp(length + 1, radix, a->format, &ctx->temporaries);
    if (!scratch && !partial)
        return numError("mul - temp create failed", ctx);

    if (a->format == kNumInteger) {
        // Signed multiplication on magnitudes. With a and b the same Number (a square) the
        // second test sees the complemented value and the one scratch sign settles at 0.
        a->negative = 0;
        if (intIsNegative(a)) {
            numComplement(a, nullptr);
            a->negative = 1;
        }
        b->negative = 0;
        if (intIsNegative(b)) {
            numComplement(b, nullptr);
            b->negative = 1;
        }
    }

    if (words) {
        numWordMul(a->digits, b->digits, length, radix, product->digits + 1, scratch);
        if (scratch != near)
            numRelease(scratch);
    } else {
        mulDigits(a, b, product, partial);
    }
    product->negative = a->negative ^ b->negative;
    unsigned char *p = product->digits;

    if (a->format == kNumInteger) {
        calcClearCarry(ctx);
        // The result keeps the product's last L digits; a product that does not fit wraps
        // around as an integer sum does, and raises the overflow indicator. The signed range
        // holds one more negative value than positive ones, so a negative product whose
        // magnitude is exactly half the digit range still fits.
        int high = 0;
        for (int i = 0; i <= length; i++)
            high |= p[i];
        for (int i = 0; i < length; i++)
            result->digits[i] = p[length + 1 + i];
        result->exponent = 0;
        result->negative = 0;
        int fits = !high;
        if (fits && intIsNegative(result))
            fits = product->negative && result->digits[0] == numHalf(radix) &&
                   trailingZeros(result) == length - 1;
        if (!fits)
            calcSetOverflow(ctx);
        if (product->negative)
            numComplement(result, nullptr);
        a->negative = 0;
        b->negative = 0;
        return 0;
    }

    if (expAdd(&product->exponent, a->exponent, b->exponent) || expIncrement(&product->exponent))
        return numError("mul - exponent overflow", ctx);
    int zeros = leadingZeros(product);
    if (zeros == product->length)
        numSetZero(product);
    else if (shiftLeftBy(product, zeros))
        return numError("mul - exponent overflow", ctx);
    if (numCopy(product, result)) // rounds once, half up, on the product's digit L + 1
        return numError("mul - final round failed", ctx);
    return 0;
}

int numSquare(Number *x, Number *result, NumContext *ctx) { return numMul(x, x, result, ctx); }

// ---- division ------------------------------------------------------------------------------

// Brings an integer operand into floating form in place without changing its digit pattern:
// exponent L, leading zeros shifted out (zero stays all zeros with exponent 0).
static int intToFraction(Number *n) {
    n->exponent = n->length;
    return shiftLeftBy(n, leadingZeros(n));
}

// The quotient digits of a / b, where b's first digit is not 0: Q = floor(a r^(L + s) / b) in
// the digit strings read as integers, with s the smallest shift that makes a r^s >= b (0 or 1
// for a normalised a), has exactly L + 1 digits. Its first L go to the result's digits, its
// last to *roundDigit, and -s to *firstShift. A zero a leaves every digit 0 and s 0. Both ways
// of finding Q return 0, or 1 after reporting.
//
// The reference, digit by digit: a table of the divisor's multiples 1 to radix - 1, each
// quotient digit the largest multiple that does not exceed the remainder.
static int divDigits(const Number *a, const Number *b, Number *result, int *roundDigit,
                     int *firstShift, NumContext *ctx) {
    const int length = a->length;
    const int radix = a->radix;
    // Remainder and divisor one digit longer than the operands, with a leading 0, so that a
    // remainder shifted one place left still fits beside the divisor's multiples.
    Number *rest = numCreateTemp(length + 1, radix, kNumFloating, &ctx->temporaries);
    Number *divisor =
        rest ? numCreateTemp(length + 1, radix, kNumFloating, &ctx->temporaries) : nullptr;
    if (!divisor)
        return numError("div - temp create failed", ctx);
    if (numCopy(a, rest) || numCopy(b, divisor))
        return numError("div - copy failed", ctx);
    rest->exponent = divisor->exponent = 0;
    rest->negative = divisor->negative = 0;
    rest->format = divisor->format = kNumFloating;
    if (digitShiftRight(rest) || digitShiftRight(divisor))
        return numError("div - copy failed", ctx);
    rest->exponent = divisor->exponent = 0;

    Number *multiple[16]; // multiple[k] = k * divisor, k = 1 .. radix - 1
    multiple[1] = divisor;
    for (int k = 2; k < radix; k++) {
        multiple[k] = numCreateTemp(length + 1, radix, kNumFloating, &ctx->temporaries);
        if (!multiple[k])
            return numError("div - table create failed", ctx);
        if (addDigits(multiple[k - 1], divisor, multiple[k]))
            return numError("div = table create failed - carry", ctx);
    }

    // Long division: quotient digit p (0 first) is the largest k with k * divisor <= remainder;
    // digit L is only looked at to round. The first digit may need one extra shift of the
    // remainder (its dividend mantissa below the divisor's): that shift moves the exponent.
    int p = 0;
    int first = 1;
    for (;;) {
        while (p <= length && numCompare(rest, divisor) < 0) {
            if (digitShiftLeft(rest))
                return numError("div - top shift", ctx);
            rest->exponent = 0;
            p++;
        }
        if (p > length)
            break;
        if (first) {
            *firstShift = -p;
            p = 0;
            first = 0;
        }
        int j = radix - 1;
        for (int k = 1; k < radix; k++) {
            int c = numCompare(multiple[k], rest);
            if (c >= 0) {
                j = c == 0 ? k : k - 1;
                break;
            }
        }
        if (j == 0)
            return numError("div - doubtfull digit", ctx);
        if (p == length) {
            *roundDigit = j;
            break;
        }
        int nonZero;
        if (subDigits(rest, multiple[j], rest, &nonZero))
            return numError("div sequence error", ctx);
        result->digits[p] = static_cast<unsigned char>(j);
        if (!nonZero)
            break; // exact: every later digit, the rounding one included, is 0
    }

    return 0;
}

// The same quotient from the machine words. The working block is the remainder's and
// quotient's, the divisor block the scaled divisor's, which takes the multiples table's place.
static int divWords(const Number *a, const Number *b, Number *result, int *roundDigit,
                    int *firstShift, NumContext *ctx) {
    const int length = a->length;
    // s: a's leading zeros, and one more when a's digits moved up to the front stay below b's.
    const int zeros = leadingZeros(a);
    int shift = zeros;
    for (int i = 0; zeros < length && i < length; i++) {
        int da = i + zeros < length ? a->digits[i + zeros] : 0;
        if (da != b->digits[i]) {
            shift += da < b->digits[i];
            break;
        }
    }
    size_t workingSize, divisorSize;
    numWordDivScratch(length, shift, a->radix, &workingSize, &divisorSize);
    uint64_t *working = static_cast<uint64_t *>(numAllocate(workingSize));
    if (!working)
        return numError("div - temp create failed", ctx);
    uint64_t *divisor = static_cast<uint64_t *>(numAllocate(divisorSize));
    if (!divisor) {
        numRelease(working);
        return numError("div - table create failed", ctx);
    }
    if (zeros < length) {
        *roundDigit = numWordDiv(a->digits, shift, b->digits, length, a->radix, result->digits,
                                 working, divisor);
        *firstShift = -shift;
    }
    numRelease(working);
    numRelease(divisor);
    return 0;
}

int numDiv(Number *a, Number *b, Number *result, NumContext *ctx) {
    if (!NUM_CHECK(ctx && numAgree(a, b, result)) || !NUM_CHECK(a->radix >= 2 && a->radix <= 16))
        return 1;
    const int length = a->length;
    const int radix = a->radix;
    const int integer = a->format == kNumInteger;
    if (integer) {
        // Integer division divides the digit patterns as unsigned numbers: no complement.
        if (intToFraction(a))
            return numError("div - justify src A", ctx);
        if (intToFraction(b))
            return numError("div - justify src B", ctx);
    }
    if (b->digits[0] == 0)
        return numError("div - divide by zero", ctx);

    int64_t exponent = static_cast<int64_t>(a->exponent) - b->exponent;
    if (exponent < INT32_MIN || exponent > INT32_MAX)
        return numError("div - exponent overflow", ctx);
    memset(result->digits, 0, static_cast<size_t>(length));
    result->exponent = static_cast<int32_t>(exponent);
    result->negative = a->negative ^ b->negative;

    int roundDigit = 0, firstShift = 0;
    int r = numWordsServe(radix) ? divWords(a, b, result, &roundDigit, &firstShift, ctx)
                                 : divDigits(a, b, result, &roundDigit, &firstShift, ctx);
    if (r)
        return r;
    if (!integer && roundDigit >= numHalf(radix) && numIncrement(result))
        return numError("div - rounding failed", ctx);

    if (expAdd(&result->exponent, result->exponent, 1 + firstShift))
        return numError("div - exponent overflow", ctx);
    if (!integer) {
        if (justify(result))
            return numError("div - exponent overflow", ctx);
        return 0;
    }

    // Back to the units position: the quotient digits read as an integer, fraction truncated.
    result->negative = 0;
    if (expAdd(&result->exponent, result->exponent, -length))
        return numError("div - exponent overflow", ctx);
    int shifts = 0;
    while (result->exponent > 0 && shifts < length) {
        if (result->digits[0] != 0) {
            calcSetOverflow(ctx);
            return numError("div - exponent overflow", ctx);
        }
        digitShiftLeft(result);
        shifts++;
    }
    if (result->exponent < 0) {
        int drop = -static_cast<int64_t>(result->exponent) < length ? -result->exponent : length;
        memmove(result->digits + drop, result->digits, static_cast<size_t>(length - drop));
        memset(result->digits, 0, static_cast<size_t>(drop));
        shifts = drop;
    }
    if (shifts >= length || numIsZero(result))
        numSetZero(result);
    result->exponent = 0;
    return 0;
}

int reciproc(Number *x, Number *result, NumContext *ctx) {
    if (!NUM_CHECK(ctx && numAgree(x, nullptr, result)))
        return 1;
    Number *one = numCreateTemp(x->length, x->radix, x->format, &ctx->temporaries);
    if (!one)
        return numError("reciproc - temp create failed", ctx);
    if (x->format == kNumInteger) {
        one->digits[one->length - 1] = 1;
    } else {
        one->digits[0] = 1;
        one->exponent = 1;
    }
    return numDiv(one, x, result, ctx);
}
