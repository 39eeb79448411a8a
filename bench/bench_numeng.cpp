// The number engine's four operations, the reciprocal and the modulus on floating operands:
// radix 10 at 10, 100 and 1000 digits and radix 16 at 10 digits. Each iteration does what the
// calculator does per operation: fresh working copies of the operands (the operations consume
// them), a new result, the operation with its scratch Numbers, and the release of all of it.
// BM_Overhead is that frame without the operation, the peer to quote the others against.
// BM_numMod_widest is the exact modulus at its worst, the widest gap between the exponents.
#include "benchnumber.h"
#include "number.h"
#include "numctx.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

typedef int (*BinaryOp)(Number *, Number *, Number *, NumContext *);

// a and b as the calculator would hold them: different exponents, so addition aligns; for
// subtraction both signs equal, so the magnitudes are subtracted.
void runBinary(benchmark::State &state, BinaryOp op, int radix, int exponentA = 3,
               int exponentB = 1) {
    const int length = static_cast<int>(state.range(0));
    Number *a = benchOperand(length, radix, exponentA, 0, 12345u);
    Number *b = benchOperand(length, radix, exponentB, 0, 67890u);
    NumContext calc;
    for (auto _ : state) {
        Number *x = numCreateTemp(length, radix, kNumFloating, &calc.temporaries);
        Number *y = numCreateTemp(length, radix, kNumFloating, &calc.temporaries);
        Number *result = numCreate(length, radix, kNumFloating);
        numCopy(a, x);
        numCopy(b, y);
        if (op && op(x, y, result, &calc))
            state.SkipWithError("operation failed");
        benchmark::DoNotOptimize(result->digits);
        numFreeTemps(&calc.temporaries);
        numFree(result);
    }
    numFree(a);
    numFree(b);
}

int reciprocOp(Number *, Number *y, Number *result, NumContext *calc) {
    return reciproc(y, result, calc);
}

void BM_Overhead(benchmark::State &state) { runBinary(state, nullptr, 10); }
void BM_numAdd(benchmark::State &state) { runBinary(state, numAdd, 10); }
void BM_numSub(benchmark::State &state) { runBinary(state, numSub, 10); }
void BM_numMul(benchmark::State &state) { runBinary(state, numMul, 10); }
void BM_numDiv(benchmark::State &state) { runBinary(state, numDiv, 10); }
void BM_reciproc(benchmark::State &state) { runBinary(state, reciprocOp, 10); }
void BM_numMod(benchmark::State &state) { runBinary(state, numMod, 10); }
void BM_numMod_widest(benchmark::State &state) {
    runBinary(state, numMod, 10, 2147483647, -2147483647);
}
void BM_Overhead_hex(benchmark::State &state) { runBinary(state, nullptr, 16); }
void BM_numAdd_hex(benchmark::State &state) { runBinary(state, numAdd, 16); }
void BM_numSub_hex(benchmark::State &state) { runBinary(state, numSub, 16); }
void BM_numMul_hex(benchmark::State &state) { runBinary(state, numMul, 16); }
void BM_numDiv_hex(benchmark::State &state) { runBinary(state, numDiv, 16); }
void BM_reciproc_hex(benchmark::State &state) { runBinary(state, reciprocOp, 16); }

} // namespace

BENCHMARK(BM_Overhead)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_numAdd)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_numSub)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_numMul)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_numDiv)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_reciproc)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_numMod)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_numMod_widest)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Overhead_hex)->Arg(10);
BENCHMARK(BM_numAdd_hex)->Arg(10);
BENCHMARK(BM_numSub_hex)->Arg(10);
BENCHMARK(BM_numMul_hex)->Arg(10);
BENCHMARK(BM_numDiv_hex)->Arg(10);
BENCHMARK(BM_reciproc_hex)->Arg(10);
