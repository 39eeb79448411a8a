// The bridge between digit strings and the hardware double, always by way of decimal text, and
// the functions computed through it: trigonometric functions in degrees or radians, logarithms,
// exponentials and powers. Results carry double precision at most, cut (not rounded) to the
// Number's length: the printed digit after the last kept one is dropped.
#include "number.h"
#include "numctx.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

static const char kSourceName[] = "calclib\\src\\dotrig";

// The angle factors exactly as the calculator has always used them, not pi/180 and 180/pi:
// sin 30 at twelve digits is 0.500000000001, and that is the answer users have seen.
static const double kDegreesToRadians = 0.01745329252;
static const double kRadiansToDegrees = 57.2957795131;

// One conversion text buffer shared by both directions; a larger need replaces it.
static char *gText;
static size_t gTextSize;

static char *floatBuffer(size_t need) {
    if (need > gTextSize) {
        numRelease(gText);
        gText = static_cast<char *>(numAllocate(need));
        gTextSize = gText ? need : 0;
    }
    return gText;
}

void floatReleaseBuffer() {
    numRelease(gText);
    gText = nullptr;
    gTextSize = 0;
}

int floatValue(Number *x, double *value, NumContext *ctx) {
    Number *t = x;
    if (x->format == kNumInteger || x->radix != 10) {
        t = numCreateTemp(x->length, x->radix, kNumFloating, &ctx->temporaries);
        if (!t)
            return numError("floatConv - temp create failed", ctx);
        if (x->format == kNumInteger) {
            if (numConvertFormat(x, t))
                return numError("floatConv - format conversion failed", ctx);
            numCopy(t, x);
            if (!NUM_CHECK(x->format == kNumFloating))
                return 1;
        }
        t->radix = 10;
        if (radixConv(x, t, ctx))
            return numError("floatConv - radix conversion failed", ctx);
    }
    size_t size = static_cast<size_t>(t->length) + 64;
    char *text = floatBuffer(size);
    if (!text)
        return numError("floatConv - convert buffer alloc", ctx);
    char *p = text;
    if (t->negative)
        *p++ = '-';
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < t->length; i++)
        *p++ = kDigitTable[t->digits[i] & 15];
    snprintf(p, size - static_cast<size_t>(p - text), "E%d", t->exponent);
    double d = strtod(text, nullptr);
    // A value beyond the double's range has no double to stand for it.
    if (!std::isfinite(d))
        return numError("floatConv - range error", ctx);
    if (value)
        *value = d;
    return 0;
}

int floatConv(double d, Number *destination, NumContext *ctx) {
    const int L = destination->length;
    Number *t = numCreateTemp(L, 10, kNumFloating, &ctx->temporaries);
    if (!t)
        return numError("floatConv - temp create failed", ctx);
    size_t size = 2 * static_cast<size_t>(L) + 64;
    char *text = floatBuffer(size);
    if (!text)
        return numError("floatConv - convert buffer alloc", ctx);
    // The standard library prints "inf" and "nan" for these: no digits to scan.
    if (!std::isfinite(d))
        return numError("floatConv - range error", ctx);
    char format[32];
    snprintf(format, sizeof format, "%c%d.%de", '%', L, L);
    snprintf(text, size, format, d);

    // One digit, the point, L digits, the exponent: the first L digits are kept and the next
    // one is dropped without rounding.
    int stored = 0, integerDigits = 0;
    bool point = false, significant = false;
    long exponent = 0;
    for (const char *p = text; *p; p++) {
        char c = *p;
        if (c == '-') {
            t->negative = 1;
        } else if (c == '.') {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (c == '0' && !significant && !point)
                continue;
            significant = significant || c != '0';
            if (stored < L) {
                t->digits[stored++] = static_cast<unsigned char>(c - '0');
                if (!point)
                    integerDigits++;
            }
        } else if (c == 'e' || c == 'E') {
            exponent = strtol(p + 1, nullptr, 10);
            break;
        }
    }
    int32_t e;
    if (exponent < INT32_MIN || exponent > INT32_MAX ||
        expAdd(&e, static_cast<int32_t>(exponent), integerDigits))
        return numError("floatConv - exponent overflow", ctx);
    t->exponent = e;
    if (justify(t))
        return numError("floatConv - justfy failed", ctx);
    if (radixConv(t, destination, ctx))
        return numError("floatConv - radix conversion failed", ctx);
    return 0;
}

Number *floatConst(const char *text, int length, int radix, NumContext *ctx) {
    Number *t = numCreateTemp(length, radix, kNumFloating, &ctx->temporaries);
    if (!t) {
        numError("floatConst - temp create failed", ctx);
        return nullptr;
    }
    if (floatConv(strtod(text, nullptr), t, ctx))
        return nullptr;
    return t;
}

// The value of function 1 to 10 at y (z is the base of a power) into *value; 1 after reporting
// a domain error, where the double functions would give an infinity or not a number.
static int floatCompute(int function, double y, double z, double *value, NumContext *ctx) {
    switch (function) {
    case 1:
        *value = sin(y);
        break;
    case 2:
        *value = cos(y);
        break;
    case 3:
        *value = tan(y);
        if (!std::isfinite(*value))
            return numError("tan - domain error", ctx);
        break;
    case 4:
        *value = asin(y);
        break;
    case 5:
        *value = acos(y);
        break;
    case 6:
        *value = atan(y);
        break;
    case 7:
        if (y <= 0)
            return numError("ln - domain error", ctx);
        *value = log(y);
        break;
    case 8:
        if (y <= 0)
            return numError("log - domain error", ctx);
        *value = log10(y);
        break;
    case 9:
        if ((z < 0 && y != floor(y)) || (z == 0 && y < 0))
            return numError("power - domain error", ctx);
        *value = pow(z, y);
        break;
    default:
        *value = exp(y);
        break;
    }
    return 0;
}

// An odd multiple of 90 degrees: a pole of the tangent. Typed in degrees these are exact, and
// the inexact degree factor would otherwise turn them into huge finite numbers.
static bool tangentPole(double degrees) { return fmod(fabs(degrees), 180.0) == 90.0; }

int floatFunc(Number *a, Number *b, Number *result, int function, NumContext *ctx) {
    double y, z = 0, value = 0;
    if (floatValue(a, &y, ctx))
        return 1;
    if (b && floatValue(b, &z, ctx))
        return 2;
    if (function < 1 || function > 10)
        return 2;
    const bool degrees = ctx->radians == 0;
    if (function == 3 && degrees && tangentPole(y)) {
        numError("tan - domain error", ctx);
        return 3;
    }
    if (function <= 3 && degrees)
        y *= kDegreesToRadians;
    if (floatCompute(function, y, z, &value, ctx))
        return 3;
    if (function >= 4 && function <= 6 && degrees)
        value *= kRadiansToDegrees;
    return floatConv(value, result, ctx) ? 3 : 0;
}

int floatUnitDomain(Number *x, const char *message, NumContext *ctx) {
    Number *value = numCreateTemp(x->length, x->radix, kNumFloating, &ctx->temporaries);
    Number *minusOne = floatConst("-1", x->length, x->radix, ctx);
    Number *one = floatConst("1", x->length, x->radix, ctx);
    if (!value || !minusOne || !one)
        return numError("floatConst - temp create failed", ctx);
    if (numConvertFormat(x, value))
        return numError("floatConv - format conversion failed", ctx);
    // Signed comparison: equal signs compare magnitudes, reversed for negatives.
    bool aboveMinusOne = !value->negative || numCompare(value, minusOne) <= 0;
    bool belowOne = value->negative || numCompare(value, one) <= 0;
    return aboveMinusOne && belowOne ? 0 : numError(message, ctx);
}

int floatEntry(int code, Number *x, Number *y, Number *result, NumContext *ctx) {
    const int format = result->format;
    Number *base = nullptr;
    int function;
    switch (code) {
    case 's':
        function = 1;
        break;
    case 'o':
        function = 2;
        break;
    case 't':
        function = 3;
        break;
    case 'S':
        function = 4;
        break;
    case 'O':
        function = 5;
        break;
    case 'T':
        function = 6;
        break;
    case 'l':
        function = 7;
        break;
    case 'g':
        function = 8;
        break;
    case 'e':
        function = 10;
        break;
    case 'p':
        function = 9;
        base = y;
        break;
    case 'n':
        function = 9;
        base = numCreateTemp(x->length, 10, kNumFloating, &ctx->temporaries);
        if (!base)
            return numError("power - temp create failed", ctx);
        if (floatConv(10.0, base, ctx))
            return 1;
        break;
    default:
        return NUM_CHECK(false) ? 0 : 1;
    }
    if (!NUM_CHECK(function != 9 || base))
        return 1;
    if ((code == 'S' && floatUnitDomain(x, "asin - domain error", ctx)) ||
        (code == 'O' && floatUnitDomain(x, "acos - domain error", ctx)))
        return 1;
    int r = floatFunc(x, base, result, function, ctx);
    return r ? r : floatResultFormat(format, result, ctx);
}

int floatResultFormat(int format, Number *result, NumContext *ctx) {
    if (format != kNumInteger)
        return 0;
    // In the integer format the floating answer is rounded into the calculator's format, as
    // the format switch does for the stack.
    Number *whole = numCreateTemp(result->length, result->radix, kNumInteger, &ctx->temporaries);
    if (!whole)
        return numError("floatConv - temp create failed", ctx);
    if (numConvertFormat(result, whole))
        return numError("floatConv - format conversion failed", ctx);
    numCopy(whole, result);
    return 0;
}
