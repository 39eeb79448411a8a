// Programs and plots in the program window against torva-cli, as a user runs them: the real
// panel and program window on the host TORVA_HOST names (headless by default; x11 on a display,
// such as a private Xvfb), the program put into the listing, Run pressed, and the loop run until
// the window is back in Edit; beside each, torva-cli started as a process on the same work.
//
//   build/bench/bench_progwind --benchmark_repetitions=5 --benchmark_report_aggregates_only
//   xvfb-run -a -s '-screen 0 1280x1024x24' env TORVA_HOST=x11 build/bench/bench_progwind ...
//
// The work: the default 3D plot (a 41 x 41 grid, 3362 evaluations) at each refresh rate, a 2D
// plot of 10 000 points, and a counting loop at the end of a 3000-line program. Counters: the
// time to the first pixels of a plot ("first_ms") and interpreter steps per second.
#include "buffer.h"
#include "calc.h"
#include "calcsettings.h"
#include "controls.h"
#include "dialog.h"
#include "panel.h"
#include "plotmem.h"
#include "progwind.h"
#include "startup.h"
#include "windmsg.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

const char kBowl[] = "recall A\nx^2\n+\nrecall B\nx^2\n=\n/\n4\n0\n0\n=\n";
const char kSlope[] = "/\n5\n0\n=\n";
constexpr long kLoopCount = 100000; // the counting loop's turns
constexpr int kLoopSteps = 7;       // steps of one turn, the label included

// The counting loop at the end of 3000 lines: nearly every step run is a step of the loop. The
// count is typed one digit a line, as the recorder writes it.
std::string LoopProgram() {
    std::string text = "goto start\n";
    for (int i = 0; i < 2985; i++)
        text += ":pad" + std::to_string(i) + "\n";
    text += ":start\n";
    for (char c : std::to_string(kLoopCount))
        text += std::string(1, c) + "\n";
    return text + "store A\n:loop\nrecall A\n-\n1\n=\nstore A\nif >= 0 goto loop\n";
}

double LoopSteps() { return static_cast<double>(kLoopSteps) * (kLoopCount + 1); }

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The panel and its program window, built once for the process.
struct Desk {
    std::string dir, settings;
    Window *panel = nullptr;
    WindowRef slot = {};
    Calculator *calc = nullptr;
};

Desk *gDesk;

void Nothing(const char *) {}

Desk *OpenDesk() {
    if (gDesk)
        return gDesk;
    Desk *d = new Desk;
    char dir[] = "/tmp/torva-bench.XXXXXX";
    if (!mkdtemp(dir))
        abort();
    d->dir = dir;
    setenv("TORVA_CONFIG_DIR", dir, 1);
    if (!getenv("TORVA_HOST"))
        setenv("TORVA_HOST", "headless", 1);
    static char program[] = "torva";
    static char *argv[] = {program, nullptr};
    if (BufferProlog(malloc, free, Nothing, Nothing) != 0 || calcStartToolkit(1, argv) != 0)
        abort();
    d->settings = calcSettingsFileName("torva");
    d->panel = calcPanelCreate(d->settings.c_str());
    if (!d->panel)
        abort();
    ShowDialog(d->panel);
    if (progwindToggle(d->panel, nullptr, &d->slot) != 0)
        abort();
    d->calc = progwindCalculator(d->slot);
    if (!d->calc)
        abort();
    gDesk = d;
    return d;
}

// The loop until `done` says so; the check runs as an idle callback beside the run's own.
bool (*gDone)(Desk *);
Clock::time_point gStart, gFirst;
bool gFirstSeen;

int Watch(Window *runner) {
    Desk *d = gDesk;
    if (!gFirstSeen && d->calc->plotLastPainted && d->calc->plotLastPainted != d->calc->plotHead &&
        d->calc->plotLastPainted->kind == PLOT_LINE) {
        gFirst = Clock::now();
        gFirstSeen = true;
    }
    if (gDone(d))
        CloseWindow(runner);
    return 1;
}

void LoopUntil(bool (*done)(Desk *)) {
    gDone = done;
    Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
    AddIdleCallback(Watch, runner);
    RunModal(runner);
}

void Press(const char *name) {
    Window *w = FindNamedWindow(name, WindowRefGet(gDesk->slot));
    if (!w)
        abort();
    PostEvent(kEventLeftDown, 0, w);
    PostEvent(kEventLeftUp, 0, w);
}

// Events delivered: the presses made, the repaints they asked for.
void Settle() {
    static int rounds;
    rounds = 0;
    LoopUntil([](Desk *) { return ++rounds > 50; });
}

void Load(const std::string &text, int mode) {
    Desk *d = OpenDesk();
    Buffer *b = d->calc->program;
    while (b->lineCount > 2) { // back to the end marker alone
        BufferGoto(1, 1, b);
        DeleteLine(b);
    }
    BufferInsert(1, 1, text.c_str(), static_cast<int32_t>(text.size()), b);
    BufferGoto(1, 1, b);
    Press(mode == 0 ? "Normal" : mode == 1 ? "2D Plot" : "3D Plot");
    Settle();
}

// Run pressed, the loop until the window is back in Edit. Seconds.
double RunInWindow() {
    gFirstSeen = false;
    gStart = Clock::now();
    Press("Run");
    LoopUntil([](Desk *d) { return d->calc->recorderMode == 0 && d->calc->restartPending; });
    const double s = Seconds(gStart);
    Settle(); // the last repaints, outside the time
    return s;
}

void Realm(double minX, double maxX, double minY, double maxY, int delta) {
    Calculator *c = OpenDesk()->calc;
    c->plotMinX = minX;
    c->plotMaxX = maxX;
    c->plotMinY = minY;
    c->plotMaxY = maxY;
    c->plotDelta = delta;
}

// torva-cli as a process; seconds.
double RunCli(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    std::string cli = TORVA_CLI;
    argv.push_back(cli.data());
    std::vector<std::string> copy = args;
    for (std::string &a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t pid;
    int status = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        abort();
    const double s = Seconds(start);
    posix_spawn_file_actions_destroy(&actions);
    return s;
}

std::string WriteProgram(const char *name, const std::string &text) {
    std::string path = OpenDesk()->dir + "/" + name;
    std::ofstream(path) << text << "__ end __\n";
    return path;
}

void Report(benchmark::State &state, double seconds) { state.SetIterationTime(seconds); }

// ---- the default 3D plot ----------------------------------------------------------------------

void BM_Window3DDefault(benchmark::State &state) {
    Load(kBowl, 2);
    Realm(-200, 200, -200, 200, 10);
    gDesk->calc->plotRefreshRate = static_cast<int>(state.range(0));
    double first = 0;
    for (auto _ : state) {
        Report(state, RunInWindow());
        first += gFirstSeen ? std::chrono::duration<double>(gFirst - gStart).count() : 0;
    }
    state.counters["first_ms"] = 1000 * first / static_cast<double>(state.iterations());
    state.counters["points"] = static_cast<double>(gDesk->calc->plotEvaluations);
}
BENCHMARK(BM_Window3DDefault)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("refresh")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_Cli3DDefault(benchmark::State &state) {
    const std::string program = WriteProgram("bowl.tor", kBowl);
    const std::string png = gDesk->dir + "/bowl.png";
    for (auto _ : state)
        Report(state,
               RunCli({"--plot", png, "--plot-3d", "--realm", "-200,200,-200,200,10", program}));
}
BENCHMARK(BM_Cli3DDefault)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- a 2D plot of 10 000 points ---------------------------------------------------------------

void BM_Window2D10000(benchmark::State &state) {
    Load(kSlope, 1);
    Realm(0, 9999, -200, 200, 1);
    gDesk->calc->plotRefreshRate = 2;
    double first = 0;
    for (auto _ : state) {
        Report(state, RunInWindow());
        first += gFirstSeen ? std::chrono::duration<double>(gFirst - gStart).count() : 0;
    }
    state.counters["first_ms"] = 1000 * first / static_cast<double>(state.iterations());
    state.counters["points"] = static_cast<double>(gDesk->calc->plotEvaluations);
}
BENCHMARK(BM_Window2D10000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The same points in the graph view: y fitted to the values as they come, so the picture is
// laid out again (painted in full) whenever their range outgrows its ticks.
void BM_Window2D10000Graph(benchmark::State &state) {
    Load(kSlope, 1);
    Realm(0, 9999, -200, 200, 1);
    gDesk->calc->plotView = 1;
    gDesk->calc->plotStep = 1;
    gDesk->calc->plotRefreshRate = 2;
    for (auto _ : state)
        Report(state, RunInWindow());
    gDesk->calc->plotView = 0;
}
BENCHMARK(BM_Window2D10000Graph)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Cli2D10000(benchmark::State &state) {
    const std::string program = WriteProgram("slope.tor", kSlope);
    const std::string png = gDesk->dir + "/slope.png";
    for (auto _ : state)
        Report(state, RunCli({"--plot", png, "--realm", "0,9999,-200,200,1", program}));
}
BENCHMARK(BM_Cli2D10000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- the loop ---------------------------------------------------------------------------------

void BM_WindowLoop(benchmark::State &state) {
    Load(LoopProgram(), 0);
    double seconds = 0;
    for (auto _ : state) {
        const double s = RunInWindow();
        seconds += s;
        Report(state, s);
    }
    state.counters["steps/s"] = LoopSteps() * static_cast<double>(state.iterations()) / seconds;
}
BENCHMARK(BM_WindowLoop)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CliLoop(benchmark::State &state) {
    const std::string program = WriteProgram("loop.tor", LoopProgram());
    double seconds = 0;
    for (auto _ : state) {
        const double s = RunCli({"--max-steps", "100000000", program});
        seconds += s;
        Report(state, s);
    }
    state.counters["steps/s"] = LoopSteps() * static_cast<double>(state.iterations()) / seconds;
}
BENCHMARK(BM_CliLoop)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
