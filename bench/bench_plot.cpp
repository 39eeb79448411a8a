// Plot speed on the headless host: the default 3D plot (a 41 x 41 grid, 3362 evaluations) of
// z = (x^2 + y^2) / 400 written as steps, run through the event loop's idle callbacks into a
// 400 x 300 plot window as Run runs it, at the Medium and Maximum refresh rates; the same plot
// at other grid sizes, whose time per evaluation should stay flat (linear in the evaluations);
// and one evaluation alone.
#include "benchtoolkit.h"

#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "program.h"
#include "windmsg.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char kBowl[] = "recall A\nx^2\n+\nrecall B\nx^2\n=\n/\n4\n0\n0\n=\n__ end __\n";

Window *gRunner;

struct PlotBench {
    BenchToolkit toolkit;
    Calculator calc;
    Window *plot;

    PlotBench() {
        displayRebuild(&calc);
        calcAllocRegisters(16, &calc);
        calc.program = BufferCreate(nullptr, kCreateDetached);
        calc.program->lineBreakMode = kBreakLineFeed;
        BufferInsert(1, 1, kBowl, static_cast<int32_t>(sizeof kBowl - 1), calc.program);
        calc.programMode = 2;
        calc.stepLimit = kWindowStepLimit;
        calc.hooks.programStopped = [](Calculator *) {
            if (gRunner)
                CloseWindow(gRunner);
            gRunner = nullptr;
        };
        plot = OpenWindowPixels(0, 0, 399, 299, 0, 0xFFFFFF, "progplot", kWindowKindLabel,
                                toolkit.top);
        ShowWindowTree(toolkit.top);
        plotAttach(plot, toolkit.top, 0, &calc);
    }
    ~PlotBench() {
        plotDetach(&calc);
        BufferFree(calc.program);
        calc.program = nullptr;
        calcRelease(&calc);
        freePointMemory(&calc);
        displayRelease();
    }

    // Run: the plot's idle callback computes one point per call until the plot stops.
    long run() {
        gRunner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        calc.recorderMode = -1;
        prepareRun(&calc);
        startPlot3D(&calc);
        RunModal(gRunner);
        return calc.plotEvaluations;
    }
};

// Runs the plot once per iteration; the counters give evaluations per plot and time per one.
void RunAndCount(PlotBench &b, benchmark::State &state) {
    long evaluations = 0;
    for (auto _ : state)
        evaluations += b.run();
    state.counters["evaluations"] = static_cast<double>(evaluations) / state.iterations();
    state.counters["s/evaluation"] =
        benchmark::Counter(static_cast<double>(evaluations),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Plot3DDefault(benchmark::State &state) {
    PlotBench b;
    b.calc.plotRefreshRate = static_cast<int>(state.range(0));
    RunAndCount(b, state);
}
BENCHMARK(BM_Plot3DDefault)->Arg(1)->Arg(2)->ArgName("refresh")->Unit(benchmark::kMillisecond);

// The realm grows with the grid at the default delta: n x n points, 2 n^2 evaluations.
void BM_Plot3DGrid(benchmark::State &state) {
    PlotBench b;
    const double half = 10.0 * (static_cast<double>(state.range(0)) - 1) / 2;
    b.calc.plotMinX = b.calc.plotMinY = -half;
    b.calc.plotMaxX = b.calc.plotMaxY = half;
    RunAndCount(b, state);
}
BENCHMARK(BM_Plot3DGrid)
    ->Arg(11)
    ->Arg(21)
    ->Arg(41)
    ->Arg(81)
    ->ArgName("n")
    ->Unit(benchmark::kMillisecond);

void BM_Evaluate3D(benchmark::State &state) {
    PlotBench b;
    double x = -200;
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate3D(x, 50, &b.calc));
        x = x < 200 ? x + 10 : -200;
    }
}
BENCHMARK(BM_Evaluate3D)->Unit(benchmark::kMicrosecond);

} // namespace
