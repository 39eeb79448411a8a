// Operands for the number engine's benchmarks: every digit significant, from a fixed linear
// congruential sequence, so every run and every benchmark program measures the same numbers.
#pragma once

#include "number.h"

#include <cstdint>

inline Number *benchOperand(int length, int radix, int exponent, int negative, uint32_t seed) {
    Number *n = numCreate(length, radix, kNumFloating);
    uint32_t state = seed;
    for (int i = 0; i < length; i++) {
        state = state * 1664525u + 1013904223u;
        n->digits[i] = static_cast<unsigned char>((state >> 24) % static_cast<uint32_t>(radix));
    }
    if (n->digits[0] == 0)
        n->digits[0] = 1;
    n->exponent = exponent;
    n->negative = negative;
    return n;
}
