// Painting plots on the headless host at 96 dpi: a plot window of 400 x 300 pixels inside a
// program window, plots run through the real event loop's idle callbacks, and the pixels read
// back where the formulas put the axes and curves.
#include "windtest.h"

#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "program.h"
#include "programtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace windtest;

constexpr int64_t kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0xFF0000, kGreen = 0x00FF00,
                  kBlue = 0x0000FF;

Window *gRunner; // the window whose modal loop a plot runs in

void CloseRunner(void *) {
    if (gRunner && WindowIsLive(gRunner))
        CloseWindow(gRunner);
    gRunner = nullptr;
}

class PlotPaintTest : public WindTest {
  protected:
    Calculator calc;
    Window *top = nullptr, *plot = nullptr;
    std::vector<std::string> reports;

    void SetUp() override {
        WindTest::SetUp();
        displayRebuild(&calc);
        calcAllocRegisters(16, &calc);
        calc.hooks.context = this;
        calc.hooks.programReport = [](const char *text, Calculator *c) {
            if (std::string(text) != " ")
                static_cast<PlotPaintTest *>(c->hooks.context)->reports.push_back(text);
        };
        calc.hooks.programStopped = [](Calculator *) { CloseRunner(nullptr); };
        OpenPlotWindow();
    }
    void OpenPlotWindow() {
        top = OpenWindowPixels(40, 40, 439, 339, 0, kWhite, "torva - program", kWindowFramed,
                               nullptr);
        ASSERT_NE(nullptr, top);
        plot = OpenWindowPixels(0, 0, 399, 299, 0, kWhite, "progplot", kWindowKindLabel, top);
        ASSERT_NE(nullptr, plot);
        ShowWindowTree(top);
        plotAttach(plot, top, 0, &calc);
        Settle();
    }
    void TearDown() override {
        plotDetach(&calc);
        BufferFree(calc.program);
        calc.program = nullptr;
        calcRelease(&calc);
        freePointMemory(&calc);
        displayRelease();
        WindTest::TearDown();
    }

    // Lets the loop run for a while of virtual time.
    void Settle(int ms = 100) {
        gRunner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, gRunner);
        HeadlessAt(HeadlessNow() + ms, CloseRunner, nullptr);
        RunModal(gRunner);
    }

    void Load(const std::vector<std::string> &lines) {
        BufferFree(calc.program);
        calc.program = ProgramFromLines(lines);
        ASSERT_NE(nullptr, calc.program);
    }

    // Run in a plot mode as the program window's Run does; the loop's idle callbacks compute
    // the points until the plot stops.
    void Start(int mode, const std::vector<std::string> &lines) {
        Load(lines);
        calc.programMode = mode;
        calc.recorderMode = -1;
        ASSERT_EQ(0, prepareRun(&calc));
        ASSERT_EQ(0, mode == 1 ? startPlot2D(&calc) : startPlot3D(&calc));
    }
    void RunPlot(int mode, const std::vector<std::string> &lines) {
        gRunner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, gRunner);
        Start(mode, lines);
        RunFor(gRunner);
        EXPECT_EQ(0, calc.recorderMode);
        EXPECT_EQ(0, IdleCount());
    }

    // A realm that fits the plot area (299.25 x 224.25 points): the lower left corner at
    // (15, 210.25) points, (20, 280.33) pixels.
    void SmallRealm() {
        calc.plotMinX = 0;
        calc.plotMaxX = 200;
        calc.plotMinY = 0;
        calc.plotMaxY = 150;
    }

    int64_t Pixel(int x, int y) { return HeadlessPixel(plot->host, x, y); }
    // Whether the colour is painted at (x, y) or one pixel beside it.
    bool Near(int x, int y, int64_t color) {
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                if (Pixel(x + dx, y + dy) == color)
                    return true;
        return false;
    }
    void Expose() {
        plot->damageLeft = plot->damageTop = 0;
        plot->damageRight = plot->right - plot->left;
        plot->damageBottom = plot->bottom - plot->top;
        RepaintWindow(plot);
    }
    void SavePng(const char *name) {
        EXPECT_EQ(0, HeadlessSavePng(plot->host, TestPicturePath(name).c_str()));
    }
};

// A runaway program inside the window ends after a million steps of one evaluation.
TEST_F(PlotPaintTest, TheWindowBoundsOneEvaluation) {
    EXPECT_EQ(1000000, calc.stepLimit);
    Load({":a", "goto a"});
    calc.programMode = 1;
    calc.recorderMode = -1;
    EXPECT_EQ(1.0, evaluate2D(1, &calc)); // the X it left behind, the loop having kept x
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ("Fatal Error: step limit reached", reports[0]);
}

TEST_F(PlotPaintTest, PlotAreaInPoints) {
    EXPECT_DOUBLE_EQ(299.25, calc.plotAreaWidth); // 399 pixels at 96 dpi
    EXPECT_DOUBLE_EQ(224.25, calc.plotAreaHeight);
    plotAttach(plot, top, 20, &calc); // a status bar of 20 pixels covers the bottom
    EXPECT_DOUBLE_EQ(299.25, calc.plotAreaWidth);
    EXPECT_DOUBLE_EQ(209.25, calc.plotAreaHeight);
}

// y = x / 2: the axes blue from the lower left corner, the curve black from (15, 210) to
// (215, 110) points, i.e. (20, 280) to (286, 146) pixels.
TEST_F(PlotPaintTest, AxesAndCurveWhereTheFormulasPutThem) {
    SmallRealm();
    RunPlot(1, {"/", "2", "=", "__ end __"});
    EXPECT_EQ("", [&] {
        std::string all;
        for (const std::string &r : reports)
            all += r;
        return all;
    }());
    Expose(); // the header comes with a full paint
    SavePng("plot2d.png");
    struct Case {
        const char *what;
        int x, y;
        int64_t color;
    } cases[] = {
        {"x axis", 150, 280, kBlue},
        {"x axis end", 286, 280, kBlue},
        {"past the x axis", 292, 280, kWhite},
        {"y axis", 20, 200, kBlue},
        {"y axis top at 150 points up", 20, 81, kBlue},
        {"above the y axis", 20, 74, kWhite},
        {"curve at x = 100", 153, 213, kBlack},
        {"curve end", 285, 147, kBlack},
        {"below the curve", 153, 240, kWhite},
        {"above the curve", 153, 190, kWhite},
        {"beyond the realm", 350, 100, kWhite},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(Near(c.x, c.y, c.color)) << c.what << ": " << std::hex << Pixel(c.x, c.y)
                                             << " at " << std::dec << c.x << "," << c.y;
    bool header = false; // "torva plot" at (15, 5) points
    for (int y = 6; y < 22; y++)
        for (int x = 20; x < 80; x++)
            header = header || Pixel(x, y) == kBlack;
    EXPECT_TRUE(header);
}

// A curve that leaves the window at once, with points pinned far outside: only pixels inside
// the bounding boxes of its segments are lit, and the conversion does not overflow.
TEST_F(PlotPaintTest, SteepCurveLightsOnlyItsSegments) {
    calc.plotAbscissaMode = 0;
    calc.plotMinY = -100; // the vertex at (215, 110) points
    RunPlot(1, {"x^2", "X", "1", "0", "0", "0", "=", "__ end __"});
    struct Box {
        double left, top, right, bottom;
    };
    std::vector<Box> boxes;
    double px = 0, py = 0;
    for (const PlotNode *n = calc.plotHead; n; n = n->next) {
        if (n->kind == PLOT_LINE)
            boxes.push_back({std::fmin(px, n->x) * 4 / 3 - 1, std::fmin(py, n->y) * 4 / 3 - 1,
                             std::fmax(px, n->x) * 4 / 3 + 1, std::fmax(py, n->y) * 4 / 3 + 1});
        if (n->kind == PLOT_LINE || n->kind == PLOT_MOVE) {
            px = n->x;
            py = n->y;
        }
    }
    SavePng("plotsteep.png");
    int lit = 0, outside = 0;
    for (int y = 30; y < 300; y++) // below the header
        for (int x = 0; x < 400; x++) {
            if (Pixel(x, y) == kWhite)
                continue;
            lit++;
            bool inside = false;
            for (const Box &b : boxes)
                inside = inside || (x >= b.left && x <= b.right && y >= b.top && y <= b.bottom);
            outside += !inside;
        }
    EXPECT_GT(lit, 100); // the two steep segments through the vertex at x = 0
    EXPECT_EQ(0, outside);
}

// The second Run frees the first's nodes while the painter still knew the last one: the window
// is cleared and shows only the second plot.
TEST_F(PlotPaintTest, TwoRunsInARow) {
    SmallRealm();
    RunPlot(1, {"/", "2", "=", "__ end __"});
    EXPECT_TRUE(Near(153, 213, kBlack));
    RunPlot(1, {"1", "0", "0", "=", "__ end __"}); // y = 100: 110.25 points, 147 pixels
    EXPECT_EQ(kWhite, Pixel(153, 213));
    EXPECT_TRUE(Near(153, 147, kBlack));
    EXPECT_TRUE(Near(150, 280, kBlue)); // the axes again
}

// At the Minimum refresh rate nothing of a running plot is painted; an expose paints all that
// is computed, and Stop paints the rest.
TEST_F(PlotPaintTest, StopAndExposeLeaveNoHoles) {
    SmallRealm();
    calc.plotRefreshRate = 0;
    Start(1, {"/", "2", "=", "__ end __"});
    RemoveIdleCallback(top);         // the steps are made here, one by one
    for (int i = 0; i < 2 + 11; i++) // the start, the move, the lines for x = 0 to 100
        plotStep2D(&calc);
    EXPECT_TRUE(Near(150, 280, kWhite) && !Near(150, 280, kBlue)); // held back: not even the axes
    EXPECT_EQ(kWhite, Pixel(86, 247));                             // the curve at x = 50
    Expose();
    EXPECT_TRUE(Near(150, 280, kBlue));
    EXPECT_TRUE(Near(86, 247, kBlack));
    for (int i = 0; i < 5; i++) // x up to 150, held back again
        plotStep2D(&calc);
    EXPECT_EQ(kWhite, Pixel(220, 180)); // the curve at x = 150
    stopRun(&calc);
    EXPECT_EQ(0, calc.recorderMode);
    EXPECT_TRUE(Near(220, 180, kBlack));
    EXPECT_EQ(kWhite, Pixel(270, 155)); // never computed
}

// The refresh rate paces the paints of a running plot by the clock: 4 (Minimum), 15 (Medium)
// or 60 (Maximum) a second, and the end of the plot paints once more whatever the rate. The
// clock here moves 50 microseconds each time it is read, so the slices and paints fall the same
// way on every machine.
int64_t gTicks;
int64_t CountingClock() { return gTicks += 50; }

TEST_F(PlotPaintTest, RefreshRatePacesThePaints) {
    static int painted;
    static void (*paint)(int, Calculator *);
    paint = calc.hooks.plotPaint;
    calc.hooks.plotPaint = [](int full, Calculator *c) {
        paint(full, c);
        painted += !full && c->paintCounter == 0; // a paint let through starts counting anew
    };
    plotSetRunClock(CountingClock);
    std::vector<int> counts;
    for (int rate = 0; rate <= 2; rate++) {
        calc.plotRefreshRate = rate;
        painted = 0;
        gTicks = 0;
        RunPlot(2, {"0", "=", "__ end __"});
        EXPECT_EQ(3362, calc.plotEvaluations); // 3280 grid lines and the 3 axes
        // The first slice paints, then one paint a period, then the end's.
        const double expected = static_cast<double>(gTicks) / kPlotRefreshPeriod[rate] + 2;
        EXPECT_NEAR(expected, painted, 1.5) << "rate " << rate << ", " << gTicks << " us";
        counts.push_back(painted);
    }
    plotSetRunClock(nullptr);
    EXPECT_LT(counts[0], counts[1]);
    EXPECT_LT(counts[1], counts[2]);
    EXPECT_GT(counts[2], 3 * counts[1] - 6); // four times as many, give or take the ends
}

// Colours and the pen through incremental and full paints. Each line is painted as it is
// appended (no plot runs, so nothing is throttled).
TEST_F(PlotPaintTest, ColoursAndPen) {
    struct Step {
        char kind; // 'c' colour, 'm' move, 'l' line, 'e' expose
        int a, b;
    };
    struct Probe {
        int x, y; // pixels
        int64_t color;
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
        std::vector<Probe> probes;
    } cases[] = {
        // clang-format off
        {"a colour lasts into the next incremental paint", {{'c', 2, 0}, {'m', 30, 60}, {'l', 90, 60}, {'l', 90, 150}}, {{80, 80, kRed}, {120, 150, kRed}}},
        {"and across a full paint", {{'c', 3, 0}, {'m', 30, 60}, {'l', 90, 60}, {'e', 0, 0}, {'l', 90, 150}}, {{80, 80, kGreen}, {120, 150, kGreen}}},
        {"an index the table does not have draws with colour 0", {{'c', 4, 0}, {'c', 7, 0}, {'m', 30, 60}, {'l', 90, 60}}, {{80, 80, kBlack}}},
        {"the pen starts at the corner", {{'c', 2, 0}, {'l', 60, 60}}, {{40, 40, kRed}}},
        // clang-format on
    };
    for (const Case &c : cases) {
        resetPointMemory(&calc);
        for (const Step &s : c.steps) {
            if (s.kind == 'c')
                appendColor(s.a, &calc);
            else if (s.kind == 'm')
                appendMove(s.a, s.b, &calc);
            else if (s.kind == 'l')
                appendLine(s.a, s.b, &calc);
            else
                Expose();
        }
        for (const Probe &p : c.probes)
            EXPECT_TRUE(Near(p.x, p.y, p.color)) << c.name << ": " << std::hex << Pixel(p.x, p.y)
                                                 << " at " << std::dec << p.x << "," << p.y;
    }
}

// On a palette screen too the plot draws in the colours of its table.
TEST_F(PlotPaintTest, TableColoursOnAPaletteScreen) {
    plotDetach(&calc);
    RestartOnAPaletteScreen();
    OpenPlotWindow();
    SmallRealm();
    calc.plotColors[4] = 0x008000; // PLOT_COLOR_4: a dark green instead of blue
    plotAttach(plot, top, 0, &calc);
    RunPlot(1, {"/", "2", "=", "__ end __"});
    EXPECT_TRUE(Near(150, 280, 0x008000)) << std::hex << Pixel(150, 280);
    EXPECT_TRUE(Near(153, 213, kBlack));
}

// The default 3D view: x red toward the lower right, y green toward the upper right, z blue
// and vertical through the origin at (149, 112) points.
TEST_F(PlotPaintTest, ThreeDimensionalAxes) {
    calc.plotMinX = calc.plotMinY = -60;
    calc.plotMaxX = calc.plotMaxY = 60;
    calc.plotDelta = 25; // no grid line on the axes
    RunPlot(2, {"0", "=", "__ end __"});
    SavePng("plot3d.png");
    // Origin (149, 112) points = (198.67, 149.33) pixels; 60 cos 30 = 51, 60 sin 30 = 29.
    struct Case {
        const char *what;
        int x, y;
        int64_t color;
    } cases[] = {
        {"z axis above", 198, 100, kBlue},
        {"z axis below", 198, 250, kBlue},
        {"x axis toward the lower right", 232, 169, kRed},
        {"y axis toward the upper right", 232, 129, kGreen},
        {"grid corner", 63, 149, kBlack},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(Near(c.x, c.y, c.color)) << c.what << ": " << std::hex << Pixel(c.x, c.y)
                                             << " at " << std::dec << c.x << "," << c.y;
}

} // namespace
