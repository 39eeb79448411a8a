// Number entry text and display layout: AtoNumber parses a text into a Number of a length,
// radix and format taken from the input, numToText lays the value out, and the value the cells
// show must agree with the value parsed: the same sign, and a difference below one unit in the
// last shown place (the layout rounds half up, shift by shift), read back independently from
// the cells, the exponent text and the two signs.
#include "number.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void quiet(const char *) {}

int digitValue(char c) {
    c = static_cast<char>(c & 0x7F);
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A value as digits in one radix: 0.d1 d2 ... * radix^top (digits without leading zeros, or
// none for zero).
struct Value {
    bool negative;
    std::vector<int> digits;
    int64_t top;
};

void trim(Value *v) {
    size_t lead = 0;
    while (lead < v->digits.size() && v->digits[lead] == 0)
        lead++;
    v->digits.erase(v->digits.begin(), v->digits.begin() + static_cast<long>(lead));
    v->top -= static_cast<int64_t>(lead);
    while (!v->digits.empty() && v->digits.back() == 0)
        v->digits.pop_back();
}

// The value a Number holds (an integer-format one read as the magnitude AtoNumber gives).
Value parsed(const Number *n) {
    Value v{n->negative != 0, std::vector<int>(n->digits, n->digits + n->length),
            n->format == kNumInteger ? n->length : static_cast<int64_t>(n->exponent)};
    trim(&v);
    return v;
}

// The value the layout shows; false when the cells or the exponent text are malformed.
bool shown(const char *mantissa, const char *exponent, char sign, char exponentSign, int radix,
           Value *v, int64_t *lastPlace) {
    v->negative = sign == '-';
    v->digits.clear();
    int64_t point = -1;
    for (const char *c = mantissa; *c; c++) {
        int d = digitValue(*c);
        if (d < 0 || d >= radix)
            return false;
        v->digits.push_back(d);
        if (static_cast<unsigned char>(*c) & kPointBit) {
            if (point >= 0)
                return false; // two points
            point = static_cast<int64_t>(v->digits.size());
        }
    }
    if (point < 0)
        point = static_cast<int64_t>(v->digits.size()); // after the last cell, not drawn
    int64_t e = 0;
    for (const char *c = exponent; *c; c++) {
        int d = digitValue(*c);
        if (d < 0 || d >= radix || e > (int64_t{1} << 40))
            return false;
        e = e * radix + d;
    }
    if (exponentSign == '-')
        e = -e;
    v->top = point + e;
    *lastPlace = v->top - static_cast<int64_t>(v->digits.size()); // radix^lastPlace is one unit
    trim(v);
    return true;
}

// |a - b| < radix^place, both non-negative magnitudes: the digits aligned at a common place.
bool closeEnough(const Value &a, const Value &b, int64_t place, int radix) {
    int64_t high = place + 2;
    for (const Value *v : {&a, &b})
        if (!v->digits.empty() && v->top > high)
            high = v->top;
    int64_t low = place;
    for (const Value *v : {&a, &b})
        if (!v->digits.empty() && v->top - static_cast<int64_t>(v->digits.size()) < low)
            low = v->top - static_cast<int64_t>(v->digits.size());
    if (high - low > 20000)
        return false; // wildly apart: no layout shifts that far
    // Digit k of the span stands for radix^(high - 1 - k).
    auto spread = [&](const Value &v) {
        std::vector<int> out(static_cast<size_t>(high - low), 0);
        for (size_t i = 0; i < v.digits.size(); i++)
            out[static_cast<size_t>(high - v.top) + i] = v.digits[i];
        return out;
    };
    std::vector<int> x = spread(a), y = spread(b);
    if (x < y)
        std::swap(x, y);
    for (size_t k = x.size(); k-- > 0;) { // x -= y
        x[k] -= y[k];
        if (x[k] < 0) {
            x[k] += radix;
            x[k - 1]--;
        }
    }
    // The difference is below radix^place when every digit at or above that place is 0.
    size_t unitIndex = static_cast<size_t>(high - 1 - place);
    for (size_t k = 0; k <= unitIndex && k < x.size(); k++)
        if (x[k] != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4)
        return 0;
    static const int kRadix[] = {2, 8, 10, 16};
    const int radix = kRadix[data[0] & 3];
    const int format = (data[0] >> 2) & 1;
    const int notation = 1 + (data[0] >> 3) % 3;
    const int length = 2 + data[1] % 40;
    const int fixedPlaces = (data[2] & 0x80) ? data[2] % (length + 1) : -1;
    const int zeroLimit = data[3] % 4;
    std::string text(reinterpret_cast<const char *>(data + 4), size - 4);
    text = text.c_str(); // AtoNumber reads to the first NUL

    numSetDiagnostic(quiet);
    Number *n = numCreate(length, radix, format);
    if (!n)
        abort();
    if (!AtoNumber(n, text.c_str())) {
        numFree(n);
        return 0;
    }
    const Value value = parsed(n);
    const bool zero = value.digits.empty();
    char mantissa[64], exponent[64], sign = 0, exponentSign = 0;
    int r = numToText(mantissa, exponent, length, 40, &sign, &exponentSign, fixedPlaces, notation,
                      zeroLimit, n);
    // Only a shown exponent past the 32-bit range may fail the layout.
    const bool extreme = n->exponent > INT32_MAX - 200 || n->exponent < INT32_MIN + 200;
    if (r != 0) {
        if (!extreme || !(r == 5 || r == 6 || r == 7 || r == 8 || r == 9)) {
            fprintf(stderr, "numToText failed with %d\n", r);
            abort();
        }
        numFree(n);
        return 0;
    }
    if (strlen(mantissa) > static_cast<size_t>(length)) {
        fprintf(stderr, "%zu cells for a width of %d\n", strlen(mantissa), length);
        abort();
    }
    Value view;
    int64_t lastPlace;
    if (!shown(mantissa, exponent, sign, exponentSign, radix, &view, &lastPlace)) {
        fprintf(stderr, "malformed layout \"%s\" \"%s\"\n", mantissa, exponent);
        abort();
    }
    // The sign says whether the value is below zero; only zero shows '+' whatever was typed.
    if ((sign == '-') != (value.negative && !zero)) {
        fprintf(stderr, "sign %c for a %s value\n", sign,
                zero             ? "zero"
                : value.negative ? "negative"
                                 : "positive");
        abort();
    }
    // When the point stands before every cell the last digit is dropped, not rounded.
    const bool dropped = static_cast<unsigned char>(mantissa[0]) == kPointFirst &&
                         strlen(mantissa) == static_cast<size_t>(length);
    if (!closeEnough(value, view, lastPlace + (dropped ? 1 : 0), radix)) {
        fprintf(stderr, "shown \"%s\" %c%s does not agree with the value parsed from \"%s\"\n",
                mantissa, exponentSign, exponent, text.c_str());
        abort();
    }
    numFree(n);
    return 0;
}
