// The programmer's operations: bitwise AND, OR, XOR and NOT digit by digit in a power-of-two
// radix (decimal integers go through hexadecimal), shifts as repeated doubling and halving,
// integer and fractional part, modulus and factorial. Built from the record's primitives and
// the four operations; operands may be consumed, scratch goes on the temporaries chain.
#include "number.h"
#include "numctx.h"

#include <cstdint>
#include <cstring>

static const char kSourceName[] = "calclib\\src\\intops";

// Loops that repeat a multiplication or division once per unit of a count (a floating shift,
// the factorial, a floating radix conversion's exponent) are bounded, so a few keys cannot
// block the calculator for minutes. The budget is in digit operations, each step costed from
// measurements (bench_radix): a multiplication by a short operand walks its L digits plus a
// fixed overhead; a division builds its multiples table and does L quotient digits; a
// factorial step adds, compares and multiplies. The budget keeps the worst case near 0.2 s.
static const int64_t kRepeatBudget = 20000000;

int numRepeatsAllowed(int64_t repeats, int length, int kind) {
    int64_t L = length > 0 ? length : 1;
    int64_t cost = kind == kRepeatDiv         ? 8 * (L + L * L / 100)
                   : kind == kRepeatFactorial ? 3 * L + 30
                                              : L + 10;
    return repeats <= kRepeatBudget / cost;
}

int numScratchStep(NumBinaryOp op, Number *a, Number *b, Number *result, NumContext *ctx) {
    Number *outer = ctx->temporaries;
    ctx->temporaries = nullptr;
    int r = op(a, b, result, ctx);
    numFreeTemps(&ctx->temporaries);
    ctx->temporaries = outer;
    return r;
}

// Sets n to a small value: the integer's last digit, or a floating first digit and exponent.
static void numSetSmall(Number *n, int digit, int exponent) {
    numSetZero(n);
    if (n->format == kNumInteger) {
        n->digits[n->length - 1] = static_cast<unsigned char>(digit);
    } else {
        n->digits[0] = static_cast<unsigned char>(digit);
        n->exponent = exponent;
    }
}

// ---- logical operations -------------------------------------------------------------------

// The digit-wise operation in radix 2, 8 or 16; 0, or 1 after reporting an unknown operation.
static int logicDigits(const Number *a, const Number *b, Number *result, int operation,
                       NumContext *ctx) {
    for (int i = 0; i < a->length; i++) {
        int x = a->digits[i], y = b ? b->digits[i] : 0, d;
        switch (operation) {
        case '&':
            d = x & y;
            break;
        case '|':
            d = x | y;
            break;
        case '^':
            d = x ^ y;
            break;
        case '~':
            d = a->radix - 1 - x;
            break;
        default:
            return numError("logicop - unhandled", ctx);
        }
        result->digits[i] = static_cast<unsigned char>(d);
    }
    return 0;
}

static int logicInteger(Number *a, Number *b, Number *result, int operation, NumContext *ctx) {
    if (b && a->exponent != b->exponent)
        return numError("logicop - exponents don't match", ctx);
    result->exponent = a->exponent;
    result->negative = 0;
    if (a->radix != 10)
        return logicDigits(a, b, result, operation, ctx);

    const int L = a->length;
    Number **chain = &ctx->temporaries;
    Number *ha = numCreateTemp(L, 16, kNumInteger, chain);
    Number *hb = b ? numCreateTemp(L, 16, kNumInteger, chain) : nullptr;
    Number *hr = numCreateTemp(L, 16, kNumInteger, chain);
    if (!ha || (b && !hb) || !hr)
        return numError("logicop - temp create failed", ctx);
    if (radixConv(a, ha, ctx) || (b && radixConv(b, hb, ctx)))
        return numError("logicop - radix conversion failed", ctx);
    if (logicDigits(ha, hb, hr, operation, ctx))
        return 1;
    if (radixConv(hr, result, ctx))
        return numError("logicop - radix conversion failed", ctx);
    result->exponent = 0;
    result->negative = 0;
    return 0;
}

int logicop(Number *a, Number *b, Number *result, int operation, const char *name,
            NumContext *ctx) {
    (void)name; // the messages name the operation family, not the key
    if (!NUM_CHECK(a && result))
        return 1;
    if (a->format == kNumInteger)
        return logicInteger(a, b, result, operation, ctx);

    if (!NUM_CHECK(result->format == kNumFloating && (!b || b->format == kNumFloating)))
        return 1;
    const int L = a->length;
    Number **chain = &ctx->temporaries;
    Number *ia = numCreateTemp(L, a->radix, kNumInteger, chain);
    Number *ib = b ? numCreateTemp(L, a->radix, kNumInteger, chain) : nullptr;
    Number *ir = numCreateTemp(L, a->radix, kNumInteger, chain);
    if (!ia || (b && !ib) || !ir)
        return numError("logicop - temp create failed", ctx);
    if (numConvertFormat(a, ia) || (b && numConvertFormat(b, ib)))
        return numError("logicop - format failed", ctx);
    if (logicInteger(ia, ib, ir, operation, ctx))
        return 2;
    if (numConvertFormat(ir, result))
        return numError("logicop - format failed", ctx);
    return 0;
}

// ---- shifts -------------------------------------------------------------------------------

// Two in y's shape: integer binary 10, other integers 2, floating 0.1 * 2^2 or 0.2 * r^1.
static void shiftSetTwo(Number *two) {
    if (two->format == kNumInteger && two->radix == 2) {
        numSetZero(two);
        two->digits[two->length - 2] = 1;
    } else if (two->radix == 2) {
        numSetSmall(two, 1, 2);
    } else {
        numSetSmall(two, 2, 1);
    }
}

// Makes the constant two and reads the count; 0, or 1 after reporting.
static int shiftPrepare(Number *y, Number *x, Number **two, int32_t *count, int kind,
                        NumContext *ctx) {
    if (y->format == kNumInteger && y->radix == 2 && y->length < 2)
        return numError("shift - not enough digits", ctx);
    *two = numCreateTemp(y->length, y->radix, y->format, &ctx->temporaries);
    if (!*two)
        return numError("shift:Two - temp create failed", ctx);
    shiftSetTwo(*two);
    if (numToInt(x, count))
        return numError("shift - count conversion failed", ctx);
    if (*count < 0 || (y->format == kNumInteger && *count >= y->length) ||
        !numRepeatsAllowed(*count, y->length, kind))
        return numError("shift - bad count", ctx);
    return 0;
}

// y doubled (left) or halved, count times: each step multiplies or divides by a fresh two,
// since the operations may leave their operands changed (integer division normalises them).
static int shiftBy(Number *y, Number *x, Number *result, bool left, NumContext *ctx) {
    Number *two = nullptr;
    int32_t count = 0;
    if (shiftPrepare(y, x, &two, &count, left ? kRepeatMul : kRepeatDiv, ctx))
        return 1;
    Number *work = numCreateTemp(y->length, y->radix, y->format, &ctx->temporaries);
    if (!work)
        return numError("shift:Two - temp create failed", ctx);
    numCopy(y, result);
    for (int32_t k = 0; k < count; k++) {
        numCopy(result, work);
        shiftSetTwo(two);
        int r = numScratchStep(left ? numMul : numDiv, work, two, result, ctx);
        if (r)
            return r;
    }
    return 0;
}

int shiftLeft(Number *y, Number *x, Number *result, NumContext *ctx) {
    return shiftBy(y, x, result, true, ctx);
}

int shiftRight(Number *y, Number *x, Number *result, NumContext *ctx) {
    return shiftBy(y, x, result, false, ctx);
}

static int shiftOne(Number *y, Number *result, int left, NumContext *ctx) {
    Number *one = numCreateTemp(y->length, y->radix, y->format, &ctx->temporaries);
    if (!one)
        return numError("left one - temp create failed", ctx);
    numSetSmall(one, 1, 1);
    return left ? shiftLeft(y, one, result, ctx) : shiftRight(y, one, result, ctx);
}

int shiftLeftOne(Number *y, Number *result, NumContext *ctx) { return shiftOne(y, result, 1, ctx); }
int shiftRightOne(Number *y, Number *result, NumContext *ctx) {
    return shiftOne(y, result, 0, ctx);
}

// ---- integer part and fraction ------------------------------------------------------------

int numTrunc(Number *x, Number *result, NumContext *ctx) {
    if (x->format == kNumInteger)
        return numCopy(x, result) ? numError("trunc - copy failed", ctx) : 0;
    if (expAdd(&x->exponent, x->exponent, -x->length))
        return numError("trunc - exponent overflow", ctx);
    while (x->exponent < 0) {
        if (numIsZero(x)) { // nothing left to drop; don't walk a huge negative exponent
            x->exponent = 0;
            break;
        }
        if (digitShiftRight(x))
            return numError("trunc - shift error", ctx);
    }
    if (expAdd(&x->exponent, x->exponent, x->length))
        return numError("trunc - exponent overflow", ctx);
    if (justify(x))
        return numError("trunc - conversion failed", ctx);
    numCopy(x, result);
    return 0;
}

int numFrac(Number *x, Number *result, NumContext *ctx) {
    if (x->format == kNumInteger) {
        numSetZero(result);
        result->radix = x->radix;
        result->format = kNumInteger;
        return 0;
    }
    Number **chain = &ctx->temporaries;
    Number *whole = numCreateTemp(x->length, x->radix, x->format, chain);
    Number *value = numCreateTemp(x->length, x->radix, x->format, chain);
    if (!whole || !value)
        return numError("trunc - temp create failed", ctx);
    numCopy(x, value);
    if (numTrunc(x, whole, ctx))
        return 1;
    return numSub(value, whole, result, ctx) ? 2 : 0;
}

// ---- remainders ---------------------------------------------------------------------------
//
// Both moduli keep only the remainder of a long division, on digit strings of n places
// (n = L + 1) whose first place is 0 between steps: the divisor d has it 0, so a remainder
// r < d shifted one place still fits.

// Places of the quotient digit's estimate: enough that it is never more than one below the
// digit in any radix, few enough that radix^places fits the integers it is made in.
constexpr int kEstimatePlaces = 12;

// r -= q * d on n places; q * d <= r.
static void subtractMultiple(unsigned char *r, const unsigned char *d, int n, int radix, int q) {
    int borrow = 0;
    for (int i = n - 1; i >= 0; i--) {
        int v = r[i] - q * d[i] - borrow;
        borrow = v < 0 ? (radix - 1 - v) / radix : 0;
        r[i] = static_cast<unsigned char>(v + borrow * radix);
    }
}

// One step of the division: r = (r * radix + digit) mod d, for r < d. `top` is d's first
// non-zero place (at least 1). Since r < radix * d, r has nothing before place top - 1; the
// quotient digit is estimated from the places top - 1 on of both, from below (d's window rounded
// up), and made exact by at most two more subtractions: a step costs a few passes over n places
// whatever the radix.
static void remainderStep(unsigned char *r, const unsigned char *d, int n, int top, int radix,
                          int digit) {
    memmove(r, r + 1, static_cast<size_t>(n - 1));
    r[n - 1] = static_cast<unsigned char>(digit);
    const int end = top - 1 + kEstimatePlaces < n ? top - 1 + kEstimatePlaces : n;
    int64_t rw = 0, dw = 0;
    for (int i = top - 1; i < end; i++) {
        rw = rw * radix + r[i];
        dw = dw * radix + d[i];
    }
    // The whole of d in the window: the estimate is the digit itself.
    const int64_t q = end == n ? rw / dw : rw / (dw + 1);
    if (q > 0)
        subtractMultiple(r, d, n, radix, static_cast<int>(q));
    while (memcmp(r, d, static_cast<size_t>(n)) >= 0)
        subtractMultiple(r, d, n, radix, 1);
}

// The first non-zero place of d, or 0 when d is zero.
static int firstDigit(const unsigned char *d, int n) {
    for (int i = 0; i < n; i++)
        if (d[i])
            return i;
    return 0;
}

// x = x * y mod d, x and y below d on n places; `product` has 2 n places of scratch. The exact
// product first (x may be y), then its places fed through the division.
static void multiplyModulo(unsigned char *x, const unsigned char *y, const unsigned char *d, int n,
                           int top, int radix, unsigned char *product) {
    for (int i = 0; i < 2 * n; i++)
        product[i] = 0;
    for (int i = n - 1; i >= 0; i--) {
        int carry = 0;
        for (int j = n - 1; j >= 0; j--) {
            int t = product[i + j + 1] + x[i] * y[j] + carry;
            product[i + j + 1] = static_cast<unsigned char>(t % radix);
            carry = t / radix;
        }
        product[i] = static_cast<unsigned char>(carry);
    }
    for (int i = 0; i < n; i++)
        x[i] = 0;
    for (int i = 0; i < 2 * n; i++)
        remainderStep(x, d, n, top, radix, product[i]);
}

// a mod b on the unsigned digit patterns: the same reading of the operands as integer
// division, and no indicator changes.
static int modInteger(const Number *a, const Number *b, Number *result, NumContext *ctx) {
    const int L = a->length, n = L + 1;
    if (numIsZero(b))
        return numError("div - divide by zero", ctx);
    Number **chain = &ctx->temporaries;
    Number *r = numCreateTemp(n, a->radix, kNumInteger, chain);
    Number *d = numCreateTemp(n, a->radix, kNumInteger, chain);
    if (!r || !d)
        return numError("trunc - temp create failed", ctx);
    memcpy(d->digits + 1, b->digits, static_cast<size_t>(L));
    const int top = firstDigit(d->digits, n);
    for (int i = 0; i < L; i++)
        remainderStep(r->digits, d->digits, n, top, a->radix, a->digits[i]);
    memcpy(result->digits, r->digits + 1, static_cast<size_t>(L));
    result->exponent = 0;
    result->negative = 0;
    result->radix = a->radix;
    result->format = kNumInteger;
    return 0;
}

// A gap between the exponents up to this many times the places is gone through a place at a
// time; a wider one costs less as powers (two products cost about four places' steps).
constexpr int kDirectGap = 4;

// a mod b = a - b * trunc(a / b), exactly. With a = A * R^(ea - L) and b = B * R^(eb - L) for
// L-digit integers A and B, a smaller exponent than b's makes |a| < |b|, a its own remainder;
// otherwise the remainder is (A * R^(ea - eb) mod B) * R^(eb - L): below B at b's last place,
// so it fits the length exactly and no rounding is left to do. A wide gap takes R^(ea - eb)
// modulo B by squaring, so even 2^32 places cost about 64 products, not a step per place.
static int modFloating(Number *a, Number *b, Number *result, NumContext *ctx) {
    const int L = a->length, n = L + 1, radix = a->radix;
    if (!NUM_CHECK(b->length == L && result->length == L))
        return 1;
    if (numIsZero(b))
        return numError("div - divide by zero", ctx);
    if (justify(a) || justify(b))
        return numError("trunc - exponent overflow", ctx);
    if (numIsZero(a) || a->exponent < b->exponent)
        return numCopy(a, result) ? numError("trunc - copy failed", ctx) : 0;
    Number **chain = &ctx->temporaries;
    Number *r = numCreateTemp(n, radix, kNumInteger, chain);
    Number *d = numCreateTemp(n, radix, kNumInteger, chain);
    Number *power = numCreateTemp(n, radix, kNumInteger, chain);
    Number *product = numCreateTemp(2 * n, radix, kNumInteger, chain);
    if (!r || !d || !power || !product)
        return numError("trunc - temp create failed", ctx);
    memcpy(d->digits + 1, b->digits, static_cast<size_t>(L));
    const int top = firstDigit(d->digits, n);
    for (int i = 0; i < L; i++)
        remainderStep(r->digits, d->digits, n, top, radix, a->digits[i]);
    int64_t gap = static_cast<int64_t>(a->exponent) - b->exponent;
    if (gap <= kDirectGap * n) { // the long division goes on through the gap's zeros
        for (; gap > 0; gap--)
            remainderStep(r->digits, d->digits, n, top, radix, 0);
    }
    remainderStep(power->digits, d->digits, n, top, radix, 1); // R mod B
    remainderStep(power->digits, d->digits, n, top, radix, 0);
    for (; gap > 0; gap >>= 1) {
        if (gap & 1)
            multiplyModulo(r->digits, power->digits, d->digits, n, top, radix, product->digits);
        if (gap > 1)
            multiplyModulo(power->digits, power->digits, d->digits, n, top, radix, product->digits);
    }
    memcpy(result->digits, r->digits + 1, static_cast<size_t>(L));
    result->exponent = b->exponent;
    result->negative = a->negative;
    result->radix = radix;
    result->format = kNumFloating;
    return justify(result) ? numError("trunc - exponent overflow", ctx) : 0;
}

int numMod(Number *a, Number *b, Number *result, NumContext *ctx) {
    return a->format == kNumInteger ? modInteger(a, b, result, ctx)
                                    : modFloating(a, b, result, ctx);
}

// ---- factorial ----------------------------------------------------------------------------

// Whether the factorial takes a floating argument with whole part n: within the repetition
// budget, and small enough that the counter stays exact at this length (a counter that stops
// growing would never pass the argument).
static bool factorialAllowed(int32_t n, const Number *x) {
    int64_t power = 1; // radix^length, capped just above n
    for (int i = 0; i < x->length && power <= static_cast<int64_t>(n) + 2; i++)
        power *= x->radix;
    return n <= power - 2 && numRepeatsAllowed(n, x->length, kRepeatFactorial);
}

int factorial(Number *x, Number *result, NumContext *ctx) {
    Number **chain = &ctx->temporaries;
    Number *k = numCreateTemp(x->length, x->radix, x->format, chain);
    Number *one = numCreateTemp(x->length, x->radix, x->format, chain);
    Number *sum = numCreateTemp(x->length, x->radix, x->format, chain);
    Number *whole = numCreateTemp(x->length, x->radix, x->format, chain);
    if (!k || !one || !sum || !whole)
        return numError("factorial - temp create failed", ctx);
    if (x->format == kNumFloating) {
        int32_t n;
        numCopy(x, whole);
        whole->negative = 0;
        if (numToInt(whole, &n) || !factorialAllowed(n, x))
            return numError("factorial - argument too large", ctx);
    }
    numSetSmall(one, 1, 1);
    if (numCopy(one, k) || numCopy(one, result))
        return numError("fact - copy failed", ctx);
    calcClearOverflow(ctx);
    for (;;) {
        // The addition aligns its operands in place: add a fresh one each time.
        numSetSmall(one, 1, 1);
        if (numAdd(one, k, sum, ctx))
            return numError("factorial - failed", ctx);
        numCopy(sum, k);
        if (numCompare(x, k) < 0)
            return 0;
        // k is the short operand: its few digits are the ones the multiplication walks.
        if (numScratchStep(numMul, result, k, sum, ctx))
            return numError("factorial - failed", ctx);
        numCopy(sum, result);
        if (x->format == kNumInteger && ctx->overflow)
            return numError("factorial - overflow", ctx);
    }
}
