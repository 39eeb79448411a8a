// The text forms at display widths 10, 100 and 1000: parsing a typed entry and laying a value
// out for the cells, each with the allocation of its Number as the calculator does it.
#include "number.h"

#include <benchmark/benchmark.h>

#include <string>

// A text of `digits` non-trivial digits with a point and an exponent: "31415...92.65 -7".
static std::string entryText(int digits) {
    std::string s;
    for (int i = 0; i < digits; i++) {
        if (i == digits / 3)
            s += '.';
        s += static_cast<char>('0' + (i * 7 + 3) % 10);
    }
    s += " -7";
    return s;
}

static void BM_AtoNumber(benchmark::State &state) {
    int length = static_cast<int>(state.range(0));
    std::string text = entryText(length);
    for (auto _ : state) {
        Number *n = numCreate(length, 10, kNumFloating);
        benchmark::DoNotOptimize(AtoNumber(n, text.c_str()));
        numFree(n);
    }
}
BENCHMARK(BM_AtoNumber)->Arg(10)->Arg(100)->Arg(1000);

static void BM_NumToText(benchmark::State &state) {
    int length = static_cast<int>(state.range(0));
    int notation = static_cast<int>(state.range(1));
    Number *n = numCreate(length, 10, kNumFloating);
    AtoNumber(n, entryText(length).c_str());
    std::string mantissa(static_cast<size_t>(length) + 1, ' '), exponent(16, ' ');
    char sign, exponentSign;
    for (auto _ : state)
        benchmark::DoNotOptimize(numToText(mantissa.data(), exponent.data(), length, 10, &sign,
                                           &exponentSign, -1, notation, 2, n));
    numFree(n);
}
BENCHMARK(BM_NumToText)->ArgsProduct({{10, 100, 1000}, {1, 2, 3}});
