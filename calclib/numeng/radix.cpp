// Radix conversion between 2, 8, 10 and 16 at a fixed number of digits. Binary regroups
// directly into octal and hexadecimal and expands back; every pair that involves 10, and octal
// with hexadecimal, goes through radixGen, which evaluates the source digits with the engine's
// own arithmetic in the target radix (exact for integers that fit, one rounding for fractions).
#include "number.h"
#include "numctx.h"

#include <cstdint>

static const char kSourceName[] = "calclib\\src\\radix";

// ---- binary with octal and hexadecimal ----------------------------------------------------

// Packs the bits of binary `source` into digits of 2^g in t.
static void groupBits(const Number *source, int g, Number *t) {
    const int L = source->length;
    if (source->format == kNumInteger) {
        int out = L - 1, weight = 1, digit = 0;
        for (int i = L - 1; i >= 0; i--) {
            digit += source->digits[i] * weight;
            weight <<= 1;
            if (weight == 1 << g) {
                t->digits[out--] = static_cast<unsigned char>(digit);
                digit = 0;
                weight = 1;
            }
        }
        if (weight != 1)
            t->digits[out] = static_cast<unsigned char>(digit);
        t->exponent = 0;
        return;
    }
    // E = ceil(e / g); the first digit is padded in front by z = g*E - e zero bits.
    int64_t e = source->exponent;
    int64_t E = e >= 0 ? (e + g - 1) / g : -((-e) / g);
    int z = static_cast<int>(g * E - e);
    int out = 0, weight = 1 << (g - 1 - z), digit = 0;
    for (int i = 0; i < L; i++) {
        digit += source->digits[i] * weight;
        weight >>= 1;
        if (weight == 0) {
            t->digits[out++] = static_cast<unsigned char>(digit);
            digit = 0;
            weight = 1 << (g - 1);
        }
    }
    if (weight != 1 << (g - 1))
        t->digits[out] = static_cast<unsigned char>(digit);
    t->exponent = static_cast<int32_t>(E);
}

// Expands octal (g = 3) or hexadecimal (g = 4) `source` into the bits of binary t. The source
// digits that were written are cleared, so what is left non-zero is what did not fit.
static int expandBits(Number *source, int g, Number *t, NumContext *ctx) {
    const int L = source->length;
    int written = 0; // bits written into t
    if (source->format == kNumInteger) {
        for (int i = L - 1; i >= 0 && written < L; i--) {
            int d = source->digits[i], k = 0;
            for (; k < g && written < L; k++)
                t->digits[L - 1 - written++] = static_cast<unsigned char>((d >> k) & 1);
            source->digits[i] = static_cast<unsigned char>(d >> k);
        }
    } else {
        for (int i = 0; i < L && written < L; i++) {
            int d = source->digits[i], k = 0;
            for (; k < g && written < L; k++)
                t->digits[written++] = static_cast<unsigned char>((d >> (g - 1 - k)) & 1);
            source->digits[i] = static_cast<unsigned char>(d & ((1 << (g - k)) - 1));
        }
    }
    if (!numIsZero(source)) {
        calcSetOverflow(ctx);
        return numError("radix conv - digit loss", ctx);
    }
    if (source->format == kNumInteger) {
        t->exponent = 0;
        return 0;
    }
    int64_t e = static_cast<int64_t>(g) * source->exponent;
    if (e < INT32_MIN || e > INT32_MAX) {
        calcSetOverflow(ctx);
        return numError(
            g == 3 ? "radix conv - expoenent overflow" : "radix conv - exponent overflow", ctx);
    }
    t->exponent = static_cast<int32_t>(e);
    return justify(t) ? numError("radix conv - exponent overflow", ctx) : 0;
}

// ---- radixGen -----------------------------------------------------------------------------

// Writes r in radix t into b (floating, zero on entry); 0, or 1 after reporting.
static int radixStep(int r, int t, Number *b, NumContext *ctx) {
    static const struct {
        int from, to, digitCount;
        unsigned char digits[4];
    } kSteps[] = {
        {2, 10, 1, {2}},    {8, 10, 1, {8}},   {8, 16, 1, {8}},    {10, 2, 4, {1, 0, 1, 0}},
        {10, 8, 2, {1, 2}}, {10, 16, 1, {10}}, {16, 8, 2, {2, 0}}, {16, 10, 2, {1, 6}},
    };
    for (const auto &step : kSteps) {
        if (step.from != r || step.to != t)
            continue;
        if (b->length < step.digitCount)
            return numError("radix conv - too few digits", ctx);
        for (int i = 0; i < step.digitCount; i++)
            b->digits[i] = step.digits[i];
        b->exponent = step.digitCount;
        return 0;
    }
    return numError("radix - gen: radix not handled", ctx);
}

int radixGen(Number *source, Number *target, NumContext *ctx) {
    const int L = source->length, t = target->radix;
    int32_t ePrime = 0;
    if (source->format == kNumFloating) {
        if (expAdd(&source->exponent, source->exponent, -L))
            return numError("radix conv - exponent overflow", ctx);
        for (int shifts = 0; shifts < L && source->digits[L - 1] == 0; shifts++)
            if (digitShiftRight(source))
                return numError("radix conv - exponent overflow", ctx);
        ePrime = source->exponent;
    }
    Number **chain = &ctx->temporaries;
    Number *p = numCreateTemp(L, t, kNumFloating, chain);
    Number *b = numCreateTemp(L, t, kNumFloating, chain);
    Number *addend = numCreateTemp(L, t, kNumFloating, chain);
    Number *work = numCreateTemp(L, t, kNumFloating, chain);
    if (!p || !b || !addend || !work)
        return numError("radix conv - temp create failed", ctx);
    if (radixStep(source->radix, t, b, ctx))
        return 1;
    p->digits[0] = 1;
    p->exponent = 1;
    target->format = kNumFloating;
    target->exponent = 0;
    target->negative = 0;

    // The integer value of the digits, by adding the powers of the source radix. The addition
    // aligns (and so rounds) its operands in place: add a copy of the power, never the power.
    for (int i = L - 1; i >= 0; i--) {
        for (int k = source->digits[i]; k > 0; k--) {
            numCopy(p, addend);
            if (numAdd(target, addend, work, ctx))
                return 4;
            numCopy(work, target);
        }
        if (i == 0)
            break;
        // The power is the walked operand's partner: the step's few digits are walked.
        if (numScratchStep(numMul, p, b, work, ctx))
            return 5;
        numCopy(work, p);
    }

    if (source->format == kNumInteger) {
        Number *integer = numCreateTemp(L, t, kNumInteger, chain);
        if (!integer)
            return numError("radix conv - temp create failed", ctx);
        if (numConvertFormat(target, integer) || numCopy(integer, target))
            return numError("radix conv - range error", ctx);
        return 0;
    }
    // Each unit of the exponent is one multiplication by the step: bounded, so a huge
    // exponent fails at once instead of blocking the calculator.
    int64_t repeats = ePrime < 0 ? -static_cast<int64_t>(ePrime) : ePrime;
    if (!numRepeatsAllowed(repeats, L, kRepeatMul))
        return numError("radix conv - exponent overflow", ctx);
    if (ePrime >= 0) {
        for (int64_t k = 0; k < repeats; k++) {
            if (numScratchStep(numMul, target, b, work, ctx))
                return 11;
            numCopy(work, target);
        }
        return 0;
    }
    numSetZero(p);
    p->digits[0] = 1;
    p->exponent = 1;
    for (int64_t k = 0; k < repeats; k++) {
        if (numScratchStep(numMul, p, b, work, ctx))
            return 11;
        numCopy(work, p);
    }
    if (numDiv(target, p, work, ctx))
        return 12;
    numCopy(work, target);
    return 0;
}

// ---- radixConv ----------------------------------------------------------------------------

static bool radixKnown(int r) { return r == 2 || r == 8 || r == 10 || r == 16; }

int radixConv(Number *source, Number *destination, NumContext *ctx) {
    if (!NUM_CHECK(source && destination && source->length > 0 &&
                   source->length == destination->length))
        return 1;
    if (source->radix == destination->radix)
        return numCopy(source, destination);

    bool negative = false;
    if (source->format == kNumInteger) {
        if (source->digits[0] >= numHalf(source->radix)) {
            if (numComplement(source, nullptr))
                return numError("radix conv - sign inversion failed", ctx);
            negative = true;
        }
    } else {
        negative = source->negative != 0;
        source->negative = 0;
    }

    Number *t =
        numCreateTemp(source->length, destination->radix, source->format, &ctx->temporaries);
    if (!t)
        return numError("radix conv - temp create failed", ctx);
    const int from = source->radix, to = destination->radix;
    int status = 0;
    if (!radixKnown(from) || !radixKnown(to))
        ; // an unknown radix leaves T zero
    else if (from == 2 && to != 10)
        groupBits(source, to == 8 ? 3 : 4, t);
    else if (to == 2 && from != 10)
        status = expandBits(source, from == 8 ? 3 : 4, t, ctx);
    else
        status = radixGen(source, t, ctx);
    if (status)
        return status;

    if (t->format == kNumFloating)
        t->negative = negative ? 1 : 0;
    else if (negative && numComplement(t, nullptr))
        return numError("radix conv - sign inversion failed", ctx);
    return numCopy(t, destination);
}
