// Interpreter speed: steps per second of a counting loop (label, recall, subtract, store,
// conditional jump) run through runStep at ten digits, as the idle callback runs it.
#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "plotmem.h"
#include "program.h"

#include <benchmark/benchmark.h>

#include <string>

static void BM_CountingLoop(benchmark::State &state) {
    Calculator calc;
    displayRebuild(&calc);
    calcAllocRegisters(16, &calc);
    calc.program = BufferCreate(nullptr, kCreateDetached);
    calc.program->lineBreakMode = kBreakLineFeed;
    const std::string text = "1\n0\n0\n0\nstore A\n:loop\nrecall A\n-\n1\n=\nstore A\n"
                             "if >= 0 goto loop\n__ end __\n";
    BufferInsert(1, 1, text.c_str(), static_cast<int32_t>(text.size()), calc.program);
    long steps = 0;
    for (auto _ : state) {
        calcClear(1, &calc);
        calc.recorderMode = -1;
        prepareRun(&calc);
        startNormalRun(&calc);
        steps += programRun(1, &calc);
    }
    state.counters["steps/s"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
    BufferFree(calc.program);
    calc.program = nullptr;
    calcRelease(&calc);
    freePointMemory(&calc);
    displayRelease();
}
BENCHMARK(BM_CountingLoop)->Unit(benchmark::kMillisecond);
