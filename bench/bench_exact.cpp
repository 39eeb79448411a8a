// The exact functions in-process: every function key, pi and a constant at 20, 100 and 1000
// digits in radix 10 (and 1000 in radix 16), each iteration what the calculator does for one
// key: a working copy of X, a new result, the entry with its scratch, and the release of it all.
// The arguments have every digit significant, as a computed X has. The bridge's entry at the
// same length is the peer (BM_BridgeLn).
#include "benchnumber.h"
#include "number.h"
#include "numctx.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

typedef int (*Entry)(int, Number *, Number *, Number *, NumContext *);

// code of X (and Y for 'p'): arguments inside every function's domain (0.1 to 1 for the arcs).
void runEntry(benchmark::State &state, Entry entry, int code, int radix, int radians) {
    const int length = static_cast<int>(state.range(0));
    Number *a = benchOperand(length, radix, code == 'S' || code == 'O' ? 0 : 1, 0, 4242u);
    Number *b = benchOperand(length, radix, 1, 0, 777u);
    NumContext calc;
    calc.radians = radians;
    for (auto _ : state) {
        Number *x = numCreateTemp(length, radix, kNumFloating, &calc.temporaries);
        Number *y = numCreateTemp(length, radix, kNumFloating, &calc.temporaries);
        Number *result = numCreate(length, radix, kNumFloating);
        numCopy(a, x);
        numCopy(b, y);
        if (entry(code, x, code == 'p' ? y : nullptr, result, &calc))
            state.SkipWithError("entry failed");
        benchmark::DoNotOptimize(result->digits);
        numFreeTemps(&calc.temporaries);
        numFree(result);
    }
    numFree(a);
    numFree(b);
}

void BM_ExactSin(benchmark::State &s) { runEntry(s, exactEntry, 's', 10, 1); }
void BM_ExactSinDegrees(benchmark::State &s) { runEntry(s, exactEntry, 's', 10, 0); }
void BM_ExactCos(benchmark::State &s) { runEntry(s, exactEntry, 'o', 10, 1); }
void BM_ExactTan(benchmark::State &s) { runEntry(s, exactEntry, 't', 10, 1); }
void BM_ExactAsin(benchmark::State &s) { runEntry(s, exactEntry, 'S', 10, 1); }
void BM_ExactAcos(benchmark::State &s) { runEntry(s, exactEntry, 'O', 10, 1); }
void BM_ExactAtan(benchmark::State &s) { runEntry(s, exactEntry, 'T', 10, 1); }
void BM_ExactLn(benchmark::State &s) { runEntry(s, exactEntry, 'l', 10, 1); }
void BM_ExactLog(benchmark::State &s) { runEntry(s, exactEntry, 'g', 10, 1); }
void BM_ExactExp(benchmark::State &s) { runEntry(s, exactEntry, 'e', 10, 1); }
void BM_ExactTenTo(benchmark::State &s) { runEntry(s, exactEntry, 'n', 10, 1); }
void BM_ExactPower(benchmark::State &s) { runEntry(s, exactEntry, 'p', 10, 1); }
void BM_ExactLnHex(benchmark::State &s) { runEntry(s, exactEntry, 'l', 16, 1); }
void BM_ExactSinHex(benchmark::State &s) { runEntry(s, exactEntry, 's', 16, 1); }
void BM_BridgeLn(benchmark::State &s) { runEntry(s, floatEntry, 'l', 10, 1); }

void BM_ExactPi(benchmark::State &state) {
    const int length = static_cast<int>(state.range(0));
    NumContext calc;
    for (auto _ : state) {
        benchmark::DoNotOptimize(exactPi(length, 10, &calc));
        numFreeTemps(&calc.temporaries);
    }
}

void BM_ExactConstant(benchmark::State &state) {
    const int length = static_cast<int>(state.range(0));
    NumContext calc;
    for (auto _ : state) {
        benchmark::DoNotOptimize(exactConst("6.02E23", length, 16, &calc));
        numFreeTemps(&calc.temporaries);
    }
}

} // namespace

#define LENGTHS Arg(20)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_ExactSin)->LENGTHS;
BENCHMARK(BM_ExactSinDegrees)->LENGTHS;
BENCHMARK(BM_ExactCos)->LENGTHS;
BENCHMARK(BM_ExactTan)->LENGTHS;
BENCHMARK(BM_ExactAsin)->LENGTHS;
BENCHMARK(BM_ExactAcos)->LENGTHS;
BENCHMARK(BM_ExactAtan)->LENGTHS;
BENCHMARK(BM_ExactLn)->LENGTHS;
BENCHMARK(BM_ExactLog)->LENGTHS;
BENCHMARK(BM_ExactExp)->LENGTHS;
BENCHMARK(BM_ExactTenTo)->LENGTHS;
BENCHMARK(BM_ExactPower)->LENGTHS;
BENCHMARK(BM_ExactLnHex)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExactSinHex)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExactPi)->LENGTHS;
BENCHMARK(BM_ExactConstant)->LENGTHS;
BENCHMARK(BM_BridgeLn)->LENGTHS;
