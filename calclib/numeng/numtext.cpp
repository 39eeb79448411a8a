// The two text forms of a Number: AtoNumber parses a typed entry ("-1.5 -3", "x1F"), and
// numToText lays a value out for the display's digit cells in decimal, scientific or
// engineering notation. The cell encoding (the radix point riding on a character) is shared
// with the display's entry fields.
#include "number.h"

#include <cstdio>
#include <cstring>

// ---- AtoNumber --------------------------------------------------------------------------

static void numDiagnosticDefault(const char *text) { fputs(text, stderr); }

static NumDiagnosticFn gDiagnostic = numDiagnosticDefault;

void numSetDiagnostic(NumDiagnosticFn write) { gDiagnostic = write ? write : numDiagnosticDefault; }

// The caller turns the null result into the calculator's error state.
static Number *atoFail(const char *message) {
    gDiagnostic(message);
    return nullptr;
}

static Number *atoIllegalDigit(int c) {
    char message[64];
    snprintf(message, sizeof message, "AtoNumber: Illegal Digit: %c (%02X)", c, c);
    return atoFail(message);
}

// The value of a digit character, or -1.
static int atoDigitValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A letter digit or the 'x' prefix: a text whose radix is open becomes hexadecimal. With a
// preset radix below 16 the warning is written; 0 lets parsing go on.
static void atoRadixRule(int presetRadix, int *parseRadix) {
    if (presetRadix <= 0)
        *parseRadix = 16;
    else if (presetRadix < 16)
        gDiagnostic("radix 16 chars not allowed");
}

Number *AtoNumber(Number *n, const char *text) {
    const int presetRadix = n->radix;
    const bool integer = n->format > 0;
    int parseRadix = presetRadix > 0 ? presetRadix : 10;
    bool mantissaMinus = false, exponentMinus = false, inExponent = false;
    int pointAt = -1;         // mantissa digits taken before the radix point; -1 none yet
    bool significant = false; // a significant mantissa digit has been seen
    int32_t zerosAfterPoint = 0;
    int position = 0; // mantissa digits taken so far
    bool roundUp = false;
    int64_t exponentValue = 0; // magnitude; the sign is applied at the end

    n->exponent = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++) {
        int c = *p;
        if (c == '\n' || c == '\r')
            continue;
        if (c == ' ' || c == 'P' || c == 'p') {
            if (inExponent)
                return atoFail("AtoNumber: Exponent format error");
            inExponent = true;
            continue;
        }
        if (c == '-') {
            bool &minus = inExponent ? exponentMinus : mantissaMinus;
            if (minus)
                return atoFail("AtoNumber: Too many \"-\"'s");
            minus = true;
            continue;
        }
        if (c == '.') {
            if (pointAt >= 0 || inExponent || integer)
                return atoFail("AtoNumber: Too many radix points");
            pointAt = position;
            continue;
        }
        if (c == 'X' || c == 'x') {
            if (significant)
                return atoFail("AtoNumber: Illegal radix specifier format");
            atoRadixRule(presetRadix, &parseRadix);
            continue;
        }
        int digit = atoDigitValue(c);
        if (digit < 0)
            return atoIllegalDigit(c);
        if (digit >= 10)
            atoRadixRule(presetRadix, &parseRadix);
        // A digit the radix cannot hold would poison every later operation: refuse it.
        if (digit >= parseRadix)
            return atoIllegalDigit(c);

        if (inExponent) {
            exponentValue = exponentValue * parseRadix + digit;
            if (exponentValue > 2147483648LL)
                return atoFail("AtoNumber: Exponent overflow");
            continue;
        }
        if (digit == 0 && !significant) {
            if (pointAt >= 0)
                zerosAfterPoint++;
            continue;
        }
        significant = true;
        if (position < n->length)
            n->digits[position] = static_cast<unsigned char>(digit);
        else if (position == n->length && digit >= numHalf(parseRadix))
            roundUp = true;
        position++; // digits past length + 1 are dropped; the count still places the point
    }

    if (pointAt < 0)
        pointAt = position;
    if (exponentValue > (exponentMinus ? 2147483648LL : 2147483647LL))
        return atoFail("AtoNumber: Exponent overflow");
    int32_t exponent = static_cast<int32_t>(exponentMinus ? -exponentValue : exponentValue);
    if (presetRadix <= 0)
        n->radix = parseRadix;
    n->format = integer ? kNumInteger : kNumFloating;
    n->negative = mantissaMinus ? 1 : 0;
    int stored = position < n->length ? position : n->length;

    if (!integer) {
        memset(n->digits + stored, 0, static_cast<size_t>(n->length - stored));
        if (!significant) {
            n->exponent = 0;
            return n;
        }
        if (expAdd(&exponent, exponent, -zerosAfterPoint) ||
            expAdd(&n->exponent, exponent, pointAt))
            return atoFail("AtoNumber: Exponent overflow");
    } else {
        // An integer that has more digits than the Number cannot be held; rounding it would
        // silently give a different value.
        if (position > n->length)
            return atoFail("AtoNumber: Too many digits");
        memmove(n->digits + (n->length - stored), n->digits, static_cast<size_t>(stored));
        memset(n->digits, 0, static_cast<size_t>(n->length - stored));
        n->exponent = 0;
    }
    if (roundUp && numIncrement(n))
        return nullptr;
    return n;
}

// ---- numToText --------------------------------------------------------------------------

// Result codes of the layout steps.
enum {
    kTextNoMemory = 1,
    kTextCopyFailed = 2,
    kTextExponentWide = 3,
    kTextBadNotation = 4,
    kTextExponentOverflow = 5,
    kTextShiftFailed = 6,
    kTextRaiseFailed = 7,
    kTextRoundFailed = 8,
    kTextLowerFailed = 9,
};

// The working copy and the shown exponent E. While the layout runs, E is T's exponent less the
// digits before the point, so every shift of T moves E with it.
struct TextLayout {
    Number *t;
    int32_t e; // shown exponent
    int p;     // digits before the radix point
};

static int layoutShiftRight(TextLayout *l) {
    if (digitShiftRight(l->t))
        return kTextShiftFailed;
    return expIncrement(&l->e) ? kTextRaiseFailed : 0;
}

static int layoutShiftLeft(TextLayout *l) {
    if (digitShiftLeft(l->t))
        return kTextShiftFailed;
    return expDecrement(&l->e) ? kTextLowerFailed : 0;
}

static int layoutRoundShiftRight(TextLayout *l) {
    int r = numRoundShiftRight(l->t);
    if (r)
        return r == 1 ? kTextShiftFailed : kTextRoundFailed;
    return expIncrement(&l->e) ? kTextRaiseFailed : 0;
}

// The point moves one digit right (E falls) or left (E rises).
static int layoutPointRight(TextLayout *l) {
    l->p++;
    return expDecrement(&l->e) ? kTextLowerFailed : 0;
}

static int layoutPointLeft(TextLayout *l) {
    l->p--;
    return expIncrement(&l->e) ? kTextRaiseFailed : 0;
}

static int lastDigit(const Number *t) { return t->digits[t->length - 1]; }

// Decimal notation. Sets *scientific when the value must be laid out scientifically instead:
// already when T's exponent reaches the width, or, with *restart, after the layout showed that
// more than zeroLimit zeros would follow the point (T must then be copied afresh).
static int layoutDecimal(TextLayout *l, int width, int fixedPlaces, int zeroLimit, bool *restart,
                         bool *scientific) {
    Number *t = l->t;
    if (t->exponent >= width) {
        *scientific = true;
        return 0;
    }
    bool fixed = fixedPlaces >= 0 && fixedPlaces <= width;
    l->p = fixed ? width - fixedPlaces : width;
    if (expAdd(&l->e, t->exponent, -l->p))
        return kTextExponentOverflow;
    int r, s = 0;
    for (; l->e != 0 && lastDigit(t) == 0 && s < width; s++)
        if ((r = layoutShiftRight(l)))
            return r;
    if (s == width) { // every digit was 0
        l->e = 0;
        return 0;
    }
    if (fixed)
        return 0;
    while (l->e < 0 && l->p > 0)
        if ((r = layoutPointLeft(l)))
            return r;
    if (l->e >= -zeroLimit && l->e < 0)
        while (l->e < 0)
            if ((r = layoutRoundShiftRight(l)))
                return r;
    if (l->e == 0 && l->p == 0) { // keep a zero in front of the point
        if ((r = layoutRoundShiftRight(l)) || (r = layoutPointRight(l)))
            return r;
    }
    if (s - l->p > zeroLimit)
        *restart = *scientific = true;
    return 0;
}

// Scientific (3 == false) and engineering notation.
static int layoutScientific(TextLayout *l, int width, int fixedPlaces, bool engineering) {
    Number *t = l->t;
    bool fixed = fixedPlaces >= 0 && fixedPlaces <= width;
    l->p = fixed ? width - fixedPlaces : 0;
    if (expAdd(&l->e, t->exponent, -l->p))
        return kTextExponentOverflow;
    int r, shifts = 0;
    if (!fixed) {
        for (; lastDigit(t) == 0 && shifts < width; shifts++)
            if ((r = layoutShiftRight(l)))
                return r;
        for (int i = 0; i < width && t->digits[i] == 0; i++)
            if ((r = layoutPointRight(l)))
                return r;
        if ((r = layoutPointRight(l))) // the point after the first significant digit
            return r;
    }
    // A zero value shows no exponent; the layout above leaves only zeros behind.
    if (numIsZero(t)) {
        l->e = 0;
        return 0;
    }
    int z = 0;
    while (z < l->p && z < width && t->digits[z] == 0)
        z++;
    int q = l->p - z; // significant digits before the point
    if (fixed)
        for (; lastDigit(t) == 0 && shifts < width && q > 1; shifts++, q--)
            if ((r = layoutShiftRight(l)))
                return r;
    if (!engineering || width <= 2)
        return 0;
    // E % 3 keeps the sign of E, as the layout expects.
    if (fixed) {
        while (t->digits[0] == 0 && l->e % 3 != 0)
            if ((r = layoutShiftLeft(l)))
                return r;
        while (l->e % 3 != 0)
            if ((r = layoutRoundShiftRight(l)))
                return r;
        return 0;
    }
    while (l->p < width && l->e % 3 != 0)
        if ((r = layoutPointRight(l)))
            return r;
    while (l->e % 3 != 0 && l->p >= width && t->digits[0] == 0)
        if ((r = layoutShiftLeft(l)))
            return r;
    while (l->e % 3 != 0 && l->p > 0)
        if ((r = layoutPointLeft(l)))
            return r;
    if (l->e % 3 != 0)
        fputs("I really screwed up somehow!\n", stdout);
    return 0;
}

// Writes T's digits into the cells: leading zeros suppressed, the point riding on the last
// written character, or 0xB0 when nothing was written before it. A 0xB0 in the first cell
// takes one cell from the digits, so the last digit of T is then not shown.
static void layoutMantissa(const TextLayout *l, int width, char *mantissa) {
    int cells = 0, budget = width;
    for (int j = 0; j < budget; j++) {
        if (j == l->p) {
            if (cells > 0) {
                mantissa[cells - 1] = static_cast<char>(mantissa[cells - 1] | kPointBit);
            } else {
                mantissa[cells++] = static_cast<char>(kPointFirst);
                if (j == 0 && --budget == 0)
                    break;
            }
        }
        int d = l->t->digits[j];
        if (d != 0 || cells > 0)
            mantissa[cells++] = kDigitTable[d];
    }
    mantissa[cells] = 0;
}

// |e| spelled in the radix, upper-case hexadecimal; 0 or kTextExponentWide.
static int layoutExponent(int32_t e, int radix, int exponentWidth, char *exponent) {
    char text[40];
    uint32_t v = e < 0 ? 0u - static_cast<uint32_t>(e) : static_cast<uint32_t>(e);
    if (e == 0) {
        text[0] = 0;
    } else if (radix == 2) {
        char reversed[33];
        int k = 0;
        for (; v; v >>= 1)
            reversed[k++] = static_cast<char>('0' + (v & 1));
        for (int i = 0; i < k; i++)
            text[i] = reversed[k - 1 - i];
        text[k] = 0;
    } else {
        snprintf(text, sizeof text, radix == 8 ? "%o" : radix == 16 ? "%X" : "%u", v);
    }
    if (static_cast<int>(strlen(text)) > exponentWidth)
        return kTextExponentWide;
    strcpy(exponent, text);
    return 0;
}

static int layoutInto(TextLayout *l, char *mantissa, char *exponent, int width, int exponentWidth,
                      int fixedPlaces, int notation, int zeroLimit, bool *restart) {
    Number *t = l->t;
    l->e = 0;
    l->p = width;
    if (t->format == kNumInteger) {
        int cells = 0;
        for (int j = 0; j < width; j++)
            if (t->digits[j] != 0 || cells > 0)
                mantissa[cells++] = kDigitTable[t->digits[j]];
        mantissa[cells] = 0;
        exponent[0] = 0;
        return 0;
    }
    int r;
    bool scientific = notation != 1;
    if (notation == 1) {
        if ((r = layoutDecimal(l, width, fixedPlaces, zeroLimit, restart, &scientific)))
            return r;
        if (*restart)
            return 0;
    }
    if (scientific && (r = layoutScientific(l, width, fixedPlaces, notation == 3)))
        return r;
    layoutMantissa(l, width, mantissa);
    return layoutExponent(l->e, t->radix, exponentWidth, exponent);
}

int numToText(char *mantissa, char *exponent, int width, int exponentWidth, char *sign,
              char *exponentSign, int fixedPlaces, int notation, int zeroLimit, const Number *n) {
    if (notation < 1 || notation > 3)
        return kTextBadNotation;
    for (;;) {
        TextLayout l = {numCreate(width, n->radix, n->format), 0, 0};
        if (!l.t)
            return kTextNoMemory;
        bool restart = false;
        int r = numCopy(n, l.t) ? kTextCopyFailed
                                : layoutInto(&l, mantissa, exponent, width, exponentWidth,
                                             fixedPlaces, notation, zeroLimit, &restart);
        // Only a value that is zero shows '+' whatever sign was typed; a negative value whose
        // shown digits all round to 0 keeps its '-', so "-0.00000" still says it is below zero.
        *sign = n->negative && !numIsZero(n) ? '-' : '+';
        *exponentSign = l.e < 0 ? '-' : '+';
        numFree(l.t);
        if (r || !restart)
            return r;
        notation = 2; // too many zeros after the point: start again in scientific notation
    }
}
