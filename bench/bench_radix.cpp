// Radix conversion and the programmer's operations: decimal to hexadecimal and binary and back
// at 10, 100 and 1000 digits in both formats, logical operations on decimal integers, the
// factorial, and the operations at their repetition bounds (the worst a few keys can ask for).
#include "number.h"
#include "numctx.h"

#include <benchmark/benchmark.h>

#include <string>

// A decimal value of `length` non-trivial digits: an integer below half the range, or a
// floating value with a fraction.
static Number *decimalValue(int length, int format) {
    Number *n = numCreate(length, 10, format);
    for (int i = 0; i < length; i++)
        n->digits[i] = static_cast<unsigned char>((i * 7 + 3) % 10);
    if (format == kNumInteger)
        n->digits[0] = 0; // positive, and narrow enough for the binary length
    else
        n->exponent = length / 3;
    return n;
}

// Converts a copy of `value` into the radix of `out`, as the calculator does when the radix
// changes.
static int convert(const Number *value, Number *out, NumContext *calc) {
    Number *source = numCreate(value->length, value->radix, value->format);
    numCopy(value, source);
    int r = radixConv(source, out, calc);
    numFreeTemps(&calc->temporaries);
    numFree(source);
    return r;
}

static void BM_RadixConv(benchmark::State &state) {
    int length = static_cast<int>(state.range(0)), to = static_cast<int>(state.range(1));
    int format = static_cast<int>(state.range(2)), back = static_cast<int>(state.range(3));
    NumContext calc;
    Number *value = decimalValue(length, format);
    if (format == kNumInteger && to == 2) // keep the value within the binary length
        for (int i = 0; i < length - length * 3 / 10 + 1 && i < length; i++)
            value->digits[i] = 0;
    Number *there = numCreate(length, to, format);
    if (convert(value, there, &calc))
        state.SkipWithError("conversion failed");
    Number *out = numCreate(length, back ? 10 : to, format);
    const Number *from = back ? there : value;
    for (auto _ : state)
        benchmark::DoNotOptimize(convert(from, out, &calc));
    numFree(value);
    numFree(there);
    numFree(out);
}
// length, target radix, format, back to decimal
BENCHMARK(BM_RadixConv)
    ->ArgNames({"L", "to", "int", "back"})
    ->ArgsProduct({{10, 100, 1000}, {16, 2}, {kNumFloating, kNumInteger}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

static void BM_LogicopDecimal(benchmark::State &state) {
    NumContext calc;
    for (auto _ : state) {
        Number *a = decimalValue(10, kNumInteger), *b = decimalValue(10, kNumInteger);
        Number *r = numCreate(10, 10, kNumInteger);
        b->digits[9] = 1;
        benchmark::DoNotOptimize(logicop(a, b, r, '^', "XOr", &calc));
        numFreeTemps(&calc.temporaries);
        numFree(a);
        numFree(b);
        numFree(r);
    }
}
BENCHMARK(BM_LogicopDecimal);

static Number *smallFloat(int length, int value) {
    Number *n = numCreate(length, 10, kNumFloating);
    std::string text = std::to_string(value);
    AtoNumber(n, text.c_str());
    return n;
}

static void BM_Factorial(benchmark::State &state) {
    int length = static_cast<int>(state.range(0)), n = static_cast<int>(state.range(1));
    NumContext calc;
    for (auto _ : state) {
        Number *x = smallFloat(length, n), *r = numCreate(length, 10, kNumFloating);
        benchmark::DoNotOptimize(factorial(x, r, &calc));
        numFreeTemps(&calc.temporaries);
        numFree(x);
        numFree(r);
    }
}
// 69! at the default length, and the largest arguments the repetition bound admits.
BENCHMARK(BM_Factorial)
    ->Args({10, 69})
    ->Args({10, 333333})
    ->Args({1000, 6600})
    ->Unit(benchmark::kMillisecond);

static void BM_ShiftAtBound(benchmark::State &state) {
    int length = static_cast<int>(state.range(0)), count = static_cast<int>(state.range(1));
    NumContext calc;
    for (auto _ : state) {
        Number *y = decimalValue(length, kNumFloating), *x = smallFloat(length, count);
        Number *r = numCreate(length, 10, kNumFloating);
        benchmark::DoNotOptimize(shiftRight(y, x, r, &calc));
        numFreeTemps(&calc.temporaries);
        numFree(y);
        numFree(x);
        numFree(r);
    }
}
BENCHMARK(BM_ShiftAtBound)->Args({10, 227272})->Args({1000, 227})->Unit(benchmark::kMillisecond);

static void BM_RadixConvExponentAtBound(benchmark::State &state) {
    int length = static_cast<int>(state.range(0)), exponent = static_cast<int>(state.range(1));
    NumContext calc;
    Number *value = decimalValue(length, kNumFloating);
    value->exponent = exponent;
    Number *out = numCreate(length, 16, kNumFloating);
    for (auto _ : state)
        benchmark::DoNotOptimize(convert(value, out, &calc));
    numFree(value);
    numFree(out);
}
BENCHMARK(BM_RadixConvExponentAtBound)
    ->Args({10, 999000})
    ->Args({1000, 19000})
    ->Unit(benchmark::kMillisecond);
