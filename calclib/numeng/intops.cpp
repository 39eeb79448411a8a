// The programmer's operations: bitwise AND, OR, XOR and NOT digit by digit in a power-of-two
// radix (decimal integers go through hexadecimal), shifts as repeated doubling and halving,
// integer and fractional part, modulus and factorial. Built from the record's primitives and
// the four operations; operands may be consumed, scratch goes on the temporaries chain.
#include "number.h"
#include "numctx.h"

#include <cstdint>

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

// ---- integer part, fraction, modulus ------------------------------------------------------

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

// a mod b on the unsigned digit patterns, by long division keeping only the remainder: the
// same reading of the operands as integer division, and no indicator changes.
static int modInteger(const Number *a, const Number *b, Number *result, NumContext *ctx) {
    const int L = a->length;
    if (numIsZero(b))
        return numError("div - divide by zero", ctx);
    Number **chain = &ctx->temporaries;
    Number *r = numCreateTemp(L + 1, a->radix, kNumInteger, chain);
    Number *d = numCreateTemp(L + 1, a->radix, kNumInteger, chain);
    if (!r || !d)
        return numError("trunc - temp create failed", ctx);
    for (int i = 0; i < L; i++)
        d->digits[i + 1] = b->digits[i];
    for (int i = 0; i < L; i++) {
        // r < d <= radix^L, so its first digit is 0 and the shift loses nothing.
        for (int k = 0; k < L; k++)
            r->digits[k] = r->digits[k + 1];
        r->digits[L] = a->digits[i];
        while (numCompare(r, d) >= 0) {
            int borrow = 0;
            for (int k = L; k >= 0; k--) {
                int v = r->digits[k] - d->digits[k] - borrow;
                borrow = v < 0;
                r->digits[k] = static_cast<unsigned char>(v + (borrow ? a->radix : 0));
            }
        }
    }
    for (int i = 0; i < L; i++)
        result->digits[i] = r->digits[i + 1];
    result->exponent = 0;
    result->negative = 0;
    result->radix = a->radix;
    result->format = kNumInteger;
    return 0;
}

int numMod(Number *a, Number *b, Number *result, NumContext *ctx) {
    if (a->format == kNumInteger)
        return modInteger(a, b, result, ctx);
    Number **chain = &ctx->temporaries;
    Number *quotient = numCreateTemp(a->length, a->radix, a->format, chain);
    Number *fraction = numCreateTemp(a->length, a->radix, a->format, chain);
    if (!quotient || !fraction)
        return numError("trunc - temp create failed", ctx);
    if (numDiv(a, b, quotient, ctx))
        return 1;
    if (numFrac(quotient, fraction, ctx))
        return 2;
    return numMul(fraction, b, result, ctx);
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
