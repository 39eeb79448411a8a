// The Number record and the primitives every arithmetic operation is written in: creation and
// the temporaries chain, copying with rounding, one-digit shifts, increment in the last place,
// comparison, radix complement, format conversion, reading a small integer, the raw text form
// and the error reporter. Digits are bytes in every record; the operations pack them into
// machine words only for the time of their digit work (domath, wordmath).
#include "number.h"

#include "numctx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char kDigitTable[17] = "0123456789ABCDEF";

static NumAllocFn gAllocate = malloc;
static NumReleaseFn gRelease = free;

static void releaseRawText();

int numSetAllocator(NumAllocFn allocate, NumReleaseFn release) {
    if (!allocate || !release)
        return 1;
    // The text buffers kept between calls were made by the old pair and go back to it.
    releaseRawText();
    floatReleaseBuffer();
    gAllocate = allocate;
    gRelease = release;
    return 0;
}

void *numAllocate(size_t size) { return gAllocate(size); }

void numRelease(void *memory) {
    if (memory)
        gRelease(memory);
}

Number *numCreate(int length, int radix, int format) {
    if (length <= 0)
        return nullptr;
    Number *n = static_cast<Number *>(gAllocate(sizeof(Number)));
    if (!n)
        return nullptr;
    n->digits = static_cast<unsigned char *>(gAllocate(static_cast<size_t>(length)));
    if (!n->digits) {
        gRelease(n);
        return nullptr;
    }
    memset(n->digits, 0, static_cast<size_t>(length));
    n->length = length;
    n->exponent = 0;
    n->negative = 0;
    n->radix = radix;
    n->format = format;
    n->next = nullptr;
    return n;
}

void numFree(Number *n) {
    if (!n)
        return;
    gRelease(n->digits);
    gRelease(n);
}

Number *numCreateTemp(int length, int radix, int format, Number **chain) {
    Number *n = numCreate(length, radix, format);
    if (n && chain) {
        n->next = *chain;
        *chain = n;
    }
    return n;
}

void numFreeChain(Number *first) {
    while (first) {
        Number *next = first->next;
        numFree(first);
        first = next;
    }
}

void numFreeTemps(Number **chain) {
    if (!chain)
        return;
    numFreeChain(*chain);
    *chain = nullptr;
}

// ---- exponent arithmetic --------------------------------------------------------------

int expAdd(int32_t *result, int32_t a, int32_t b) {
    int64_t sum = static_cast<int64_t>(a) + b;
    *result = static_cast<int32_t>(static_cast<uint32_t>(sum)); // wrapped, as the hardware would
    return sum < INT32_MIN || sum > INT32_MAX;
}

int expIncrement(int32_t *e) { return expAdd(e, *e, 1); }
int expDecrement(int32_t *e) { return expAdd(e, *e, -1); }

// ---- primitives -----------------------------------------------------------------------

int numIsZero(const Number *n) {
    for (int i = 0; i < n->length; i++)
        if (n->digits[i])
            return 0;
    return 1;
}

void numSetZero(Number *n) {
    memset(n->digits, 0, static_cast<size_t>(n->length));
    n->exponent = 0;
    n->negative = 0;
}

int numCompare(const Number *a, const Number *b) {
    if (a->exponent < b->exponent)
        return -1;
    if (a->exponent > b->exponent)
        return 1;
    // Operands normally share one length; a missing digit of the shorter one reads as 0.
    int len = a->length > b->length ? a->length : b->length;
    for (int i = 0; i < len; i++) {
        int da = i < a->length ? a->digits[i] : 0;
        int db = i < b->length ? b->digits[i] : 0;
        if (da != db)
            return da < db ? -1 : 1;
    }
    return 0;
}

int digitShiftRight(Number *n) {
    if (expIncrement(&n->exponent))
        return 1;
    memmove(n->digits + 1, n->digits, static_cast<size_t>(n->length - 1));
    n->digits[0] = 0;
    return 0;
}

int digitShiftLeft(Number *n) {
    if (expDecrement(&n->exponent))
        return 1;
    memmove(n->digits, n->digits + 1, static_cast<size_t>(n->length - 1));
    n->digits[n->length - 1] = 0;
    return 0;
}

int numIncrement(Number *n) {
    for (int i = n->length - 1; i >= 0; i--) {
        if (++n->digits[i] < n->radix)
            return 0;
        n->digits[i] = 0;
    }
    // The carry left the first digit: every digit was radix - 1 and is now 0.
    if (n->format == kNumInteger)
        return 1;
    if (digitShiftRight(n))
        return 1;
    n->digits[0] = 1;
    return 0;
}

int numRoundShiftRight(Number *n) {
    int dropped = n->digits[n->length - 1];
    if (digitShiftRight(n))
        return 1;
    if (dropped >= numHalf(n->radix) && numIncrement(n))
        return 2;
    return 0;
}

int numCopy(const Number *source, Number *destination) {
    destination->exponent = source->exponent;
    destination->negative = source->negative;
    destination->radix = source->radix;
    destination->format = source->format;
    int common = source->length < destination->length ? source->length : destination->length;
    memcpy(destination->digits, source->digits, static_cast<size_t>(common));
    if (destination->length > common)
        memset(destination->digits + common, 0, static_cast<size_t>(destination->length - common));
    if (source->length > common && source->digits[common] >= numHalf(source->radix))
        return numIncrement(destination) ? 1 : 0;
    return 0;
}

int numComplement(const Number *source, Number *destination) {
    if (!destination)
        destination = const_cast<Number *>(source);
    if (source->format != kNumInteger || source->exponent != 0 ||
        destination->length != source->length)
        return -1;
    for (int i = 0; i < source->length; i++)
        destination->digits[i] = static_cast<unsigned char>(source->radix - 1 - source->digits[i]);
    destination->radix = source->radix;
    destination->format = kNumInteger;
    destination->negative = 0;
    destination->exponent = 0;
    // The only carry out of this increment is the complement of zero, which is zero.
    if (numIncrement(destination) && !numIsZero(destination))
        return 1;
    return 0;
}

// Turns a floating value into its integer digit pattern in place: the digits read as an integer
// are the magnitude rounded half up. Keeps `format` and `negative`; the caller finishes the
// conversion. 0, 2 shift failed, 3 exponent overflow or rounding failed, -2 does not fit.
static int numFloatToPattern(Number *n) {
    if (expAdd(&n->exponent, n->exponent, -n->length))
        return 3;
    while (n->exponent > 0) {
        if (n->digits[0] != 0)
            return -2;
        if (numIsZero(n)) { // shifting zeros changes nothing; don't walk a huge exponent
            n->exponent = 0;
            break;
        }
        if (digitShiftLeft(n))
            return 2;
    }
    while (n->exponent < 0) {
        if (numIsZero(n)) { // every further rounding shift would drop a 0
            n->exponent = 0;
            break;
        }
        int r = numRoundShiftRight(n);
        if (r)
            return r == 1 ? 2 : 3;
    }
    return 0;
}

int numConvertFormat(const Number *source, Number *destination) {
    int target = destination->format;
    if (numCopy(source, destination))
        return 1;
    if (source->format == target)
        return 0;
    if (target == kNumFloating) {
        destination->negative = 0;
        if (destination->digits[0] >= numHalf(destination->radix)) {
            if (numComplement(destination, nullptr))
                return 1;
            destination->negative = 1;
        }
        destination->format = kNumFloating;
        destination->exponent = destination->length;
        for (int shifts = 0; destination->digits[0] == 0 && shifts < destination->length; shifts++)
            if (digitShiftLeft(destination))
                return 2;
        return 0;
    }
    int r = numFloatToPattern(destination);
    if (r)
        return r;
    destination->negative = 0;
    destination->format = kNumInteger;
    if (source->negative && numComplement(destination, nullptr))
        return 4;
    return 0;
}

int numToInt(Number *n, int32_t *result) {
    if (n->format != kNumInteger) {
        int r = numFloatToPattern(n);
        if (r)
            return r;
    }
    // The magnitude may reach 2^31 only for the most negative value.
    int64_t limit = n->negative ? 2147483648LL : 2147483647LL;
    int64_t value = 0;
    for (int i = 0; i < n->length; i++) {
        value = value * n->radix + n->digits[i];
        if (value > limit)
            return 1;
    }
    if (result)
        *result = static_cast<int32_t>(n->negative ? -value : value);
    return 0;
}

// ---- raw text and errors --------------------------------------------------------------

static char *gRawText;   // shared by every numRawText call
static int32_t gRawSize; // bytes allocated for it

static void releaseRawText() {
    numRelease(gRawText);
    gRawText = nullptr;
    gRawSize = 0;
}

// Room for the digits and, around them, the sign, "0.", the radix and the longest exponent.
constexpr int32_t kRawTextFrame = 36;

const char *numRawText(const Number *n) {
    if (n->length + kRawTextFrame > gRawSize) {
        numRelease(gRawText);
        gRawText = static_cast<char *>(gAllocate(static_cast<size_t>(n->length) + kRawTextFrame));
        if (!gRawText) {
            gRawSize = 0;
            return "mem error";
        }
        gRawSize = n->length + kRawTextFrame;
    }
    char *p = gRawText;
    if (n->format == kNumInteger) {
        for (int i = 0; i < n->length; i++)
            *p++ = kDigitTable[n->digits[i] & 15];
        const char *suffix = n->radix == 2    ? " BIN"
                             : n->radix == 8  ? " OCT"
                             : n->radix == 16 ? " HEX"
                                              : " DEC";
        strcpy(p, suffix);
        return gRawText;
    }
    *p++ = n->negative ? '-' : '+';
    *p++ = '0';
    *p++ = '.';
    for (int i = 0; i < n->length; i++)
        *p++ = kDigitTable[n->digits[i] & 15];
    snprintf(p, static_cast<size_t>(gRawSize - (p - gRawText)), " X %d ** %-d", n->radix,
             n->exponent);
    return gRawText;
}

int numError(const char *message, NumContext *ctx) {
    fprintf(stderr, "Error: %s\n", message);
    calcTapeMessage(message, ctx);
    return 1;
}
