// Interpreter speed: steps per second of a counting loop (label, recall, subtract, store,
// conditional jump) run through runStep at ten digits, as the idle callback runs it; once in a
// short program and once at the end of a 3000-line one, where every jump must find its label
// past all the lines before it. The two rates should be about the same.
#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "plotmem.h"
#include "program.h"

#include <benchmark/benchmark.h>

#include <string>

// Runs the program to its end over and over and reports steps per second.
static void runLoop(benchmark::State &state, const std::string &text) {
    Calculator calc;
    displayRebuild(&calc);
    calcAllocRegisters(16, &calc);
    calc.program = BufferCreate(nullptr, kCreateDetached);
    calc.program->lineBreakMode = kBreakLineFeed;
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

static const char kLoop[] = ":loop\nrecall A\n-\n1\n=\nstore A\nif >= 0 goto loop\n__ end __\n";

static void BM_CountingLoop(benchmark::State &state) {
    runLoop(state, std::string("1\n0\n0\n0\nstore A\n") + kLoop);
}
BENCHMARK(BM_CountingLoop)->Unit(benchmark::kMillisecond);

// The same loop at the end of a 3000-line program: a jump over 2985 label lines that no jump
// names leads to it, so nearly every step counted is a step of the loop.
static void BM_LoopAtTheEndOf3000Lines(benchmark::State &state) {
    std::string text = "goto start\n";
    for (int i = 0; i < 2985; i++)
        text += ":pad" + std::to_string(i) + "\n";
    runLoop(state, text + ":start\n1\n0\n0\n0\nstore A\n" + kLoop);
}
BENCHMARK(BM_LoopAtTheEndOf3000Lines)->Unit(benchmark::kMillisecond);
