// Small helpers for number-engine tests: build a Number from a digit string and read one back.
#pragma once

#include "number.h"

#include <string>

// A Number whose digits are spelled in `digits` ("00FF"); its length is the text's length.
inline Number *numFrom(const char *digits, int exponent, int negative, int radix, int format) {
    std::string d(digits);
    Number *n = numCreate(static_cast<int>(d.size()), radix, format);
    for (size_t i = 0; n && i < d.size(); i++) {
        char c = d[i];
        n->digits[i] = static_cast<unsigned char>(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    if (n) {
        n->exponent = exponent;
        n->negative = negative;
    }
    return n;
}

// The digits spelled from the digit table.
inline std::string digitsOf(const Number *n) {
    std::string s;
    for (int i = 0; i < n->length; i++)
        s += n->digits[i] < 16 ? kDigitTable[n->digits[i]] : '?';
    return s;
}
