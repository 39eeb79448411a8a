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
#include "print.h"
#include "program.h"
#include "programtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
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

// ---- the graph view ---------------------------------------------------------------------------

// The graph view's frame as painted: its edges in pixels, found by their grey at mid-height and
// mid-width.
struct FramePixels {
    int left = -1, right = -1, top = -1, bottom = -1;
};

class GraphViewTest : public PlotPaintTest {
  protected:
    static constexpr int64_t kFrameGrey = 0x808080;

    void SetUp() override {
        PlotPaintTest::SetUp();
        calc.plotView = 1;
    }
    // The frame's edges: the columns and rows painted grey (blue where an axis runs along the
    // edge) for most of their length.
    FramePixels Frame() {
        FramePixels f;
        auto edge = [](int64_t p) { return p == kFrameGrey || p == kBlue; };
        for (int x = 0; x < 400; x++) {
            int n = 0;
            for (int y = 0; y < 300; y++)
                n += edge(Pixel(x, y));
            if (n > 150) {
                f.left = f.left < 0 ? x : f.left;
                f.right = x;
            }
        }
        for (int y = 0; y < 300; y++) {
            int n = 0;
            for (int x = 0; x < 400; x++)
                n += edge(Pixel(x, y));
            if (n > 250) {
                f.top = f.top < 0 ? y : f.top;
                f.bottom = y;
            }
        }
        return f;
    }
    // The texts of the plot window's SVG picture, in the order they were drawn.
    std::vector<std::string> SvgTexts(const char *name) {
        const std::string path = TestPicturePath(name);
        EXPECT_EQ(0, wSavePicture(path.c_str(), plot));
        std::ifstream in(path);
        std::stringstream svg;
        svg << in.rdbuf();
        std::vector<std::string> texts;
        const std::string all = svg.str();
        static const std::regex text("<text[^>]*>([^<]*)</text>");
        for (auto m = std::sregex_iterator(all.begin(), all.end(), text);
             m != std::sregex_iterator(); ++m)
            texts.push_back((*m)[1]);
        return texts;
    }
    bool Dark(int x, int y) {
        const int64_t p = Pixel(x, y);
        return p >= 0 && (p >> 16 & 0xFF) < 0x80 && (p >> 8 & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
    }
    bool DarkNear(double x, double y, int reach = 2) {
        for (int dy = -reach; dy <= reach; dy++)
            for (int dx = -reach; dx <= reach; dx++)
                if (Dark(static_cast<int>(std::lround(x)) + dx,
                         static_cast<int>(std::lround(y)) + dy))
                    return true;
        return false;
    }
};

// A table of realms in the graph view: the frame fills the window below the header, the axes
// lie where zero does (or along the frame's edge when zero is outside), the curve passes where
// its values put it, and the ticks are labelled at a 1-2-5 step (the SVG's texts, after the
// header's two lines).
TEST_F(GraphViewTest, AxesTicksAndLabelsForATableOfRealms) {
    struct Case {
        const char *name;
        std::vector<std::string> program;
        bool radians;
        double minX, maxX, step;
        bool fitY;
        double minY, maxY; // the range the y axis must show
        std::vector<std::string> xLabels, yLabels;
        double (*f)(double);
    } cases[] = {
        {"square",
         {"x^2", "__ end __"},
         false,
         -2,
         2,
         0.01,
         true,
         0,
         4,
         {"-2", "-1", "0", "1", "2"},
         {"0", "1", "2", "3", "4"},
         [](double x) { return x * x; }},
        {"sine",
         {"sin", "__ end __"},
         true,
         -2 * M_PI,
         2 * M_PI,
         0.01,
         true,
         -1,
         1,
         {"-5", "0", "5"},
         {"-1.0", "-0.5", "0.0", "0.5", "1.0"},
         [](double x) { return std::sin(x); }},
        {"away from zero",
         {"/", "2", "=", "__ end __"},
         false,
         10,
         20,
         0.5,
         true,
         5,
         10,
         {"10", "12", "14", "16", "18", "20"},
         {"5", "6", "7", "8", "9", "10"},
         [](double x) { return x / 2; }},
        {"given y",
         {"x^2", "__ end __"},
         false,
         -2,
         2,
         0.05,
         false,
         -2,
         6,
         {"-2", "-1", "0", "1", "2"},
         {"-2", "0", "2", "4", "6"},
         [](double x) { return x * x; }},
    };
    for (const Case &c : cases) {
        calc.radians = c.radians;
        calc.plotMinX = c.minX;
        calc.plotMaxX = c.maxX;
        calc.plotStep = c.step;
        calc.plotFitY = c.fitY;
        calc.plotMinY = c.fitY ? -200 : c.minY;
        calc.plotMaxY = c.fitY ? 200 : c.maxY;
        RunPlot(1, c.program);
        EXPECT_EQ(std::vector<std::string>{}, reports) << c.name;
        Expose();
        SavePng((std::string("graph-") + c.name + ".png").c_str());
        const FramePixels f = Frame();
        // Below the header (two lines from 5 points down), to within a margin of the edges.
        EXPECT_GT(f.top, 38) << c.name;
        EXPECT_LT(f.top, 60) << c.name;
        EXPECT_GT(f.bottom, 260) << c.name;
        EXPECT_LT(f.left, 60) << c.name;
        EXPECT_GT(f.right, 370) << c.name;
        auto px = [&](double x) {
            return f.left + (x - c.minX) * (f.right - f.left) / (c.maxX - c.minX);
        };
        auto py = [&](double y) {
            return f.bottom - (y - c.minY) * (f.bottom - f.top) / (c.maxY - c.minY);
        };
        // The y axis at x = 0, or along the left edge; the x axis at y = 0, or along the bottom.
        const double axisX = c.minX <= 0 && 0 <= c.maxX ? px(0) : f.left;
        const double axisY = c.minY <= 0 && 0 <= c.maxY ? py(0) : f.bottom;
        for (int y = f.top + 5; y < f.bottom - 5; y += 7)
            EXPECT_TRUE(Near(static_cast<int>(std::lround(axisX)), y, kBlue) ||
                        DarkNear(axisX, y, 1))
                << c.name << " y axis at " << y;
        for (int x = f.left + 5; x < f.right - 5; x += 7)
            EXPECT_TRUE(Near(x, static_cast<int>(std::lround(axisY)), kBlue) ||
                        DarkNear(x, axisY, 1))
                << c.name << " x axis at " << x;
        // The curve where its values put it, across the whole width.
        for (int i = 0; i <= 8; i++) {
            const double x = c.minX + (c.maxX - c.minX) * i / 8;
            const double y = c.f(x);
            if (y < c.minY || y > c.maxY)
                continue;
            EXPECT_TRUE(DarkNear(px(x), py(y))) << c.name << " curve at x = " << x;
        }
        EXPECT_FALSE(DarkNear(px(c.minX + (c.maxX - c.minX) / 4), py(c.maxY) + 4, 1)) << c.name;
        // The labels: the header's two lines, then x's ticks and y's.
        const std::vector<std::string> texts =
            SvgTexts((std::string("graph-") + c.name + ".svg").c_str());
        std::vector<std::string> want = c.xLabels;
        want.insert(want.end(), c.yLabels.begin(), c.yLabels.end());
        ASSERT_GE(texts.size(), 2u) << c.name;
        EXPECT_EQ(want, std::vector<std::string>(texts.begin(), texts.end() - 2)) << c.name;
        EXPECT_EQ(0u, texts[texts.size() - 2].find("torva plot")) << c.name;
    }
    calc.radians = 0;
}

// y = x^2 over -2..2: a parabola that fills the frame from edge to edge and bottom to top.
TEST_F(GraphViewTest, TheParabolaFillsTheWindow) {
    calc.plotMinX = -2;
    calc.plotMaxX = 2;
    calc.plotStep = 0.01;
    RunPlot(1, {"x^2", "__ end __"});
    EXPECT_EQ(402, calc.plotEvaluations); // 401 points, the first one twice (a move, a line)
    const FramePixels f = Frame();
    int left = 400, right = -1, top = 300, bottom = -1;
    for (int y = f.top - 3; y <= f.bottom + 3; y++)
        for (int x = f.left - 3; x <= f.right + 3; x++)
            if (Dark(x, y) && Pixel(x, y) != kBlue && Pixel(x, y) != kFrameGrey) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_LE(std::abs(left - f.left), 3);
    EXPECT_LE(std::abs(right - f.right), 3);
    EXPECT_LE(std::abs(top - f.top), 3);
    EXPECT_LE(std::abs(bottom - f.bottom), 3);
    // Anti-aliased: shades of grey along the curve, not only black.
    int shades = 0;
    for (int y = f.top; y <= f.bottom; y++)
        for (int x = f.left; x <= f.right; x++) {
            const int64_t p = Pixel(x, y);
            shades +=
                p != kWhite && p != kBlack && (p & 0xFF) == (p >> 16 & 0xFF) && (p & 0xFF) < 0xC0;
        }
    EXPECT_GT(shades, 100);
}

// 1/x over -2..2: x = 0 has no value; the curve has a gap there instead of a line through the
// pole, and the plot goes on to its end without a message.
TEST_F(GraphViewTest, APoleLeavesAGap) {
    calc.plotMinX = -2;
    calc.plotMaxX = 2;
    calc.plotStep = 0.25;
    RunPlot(1, {"1/X", "__ end __"});
    EXPECT_EQ(std::vector<std::string>{}, reports);
    EXPECT_EQ(18, calc.plotEvaluations); // 17 points, the first one twice
    EXPECT_EQ(17, calc.graphCount);      // the point at 0 is missing
    EXPECT_FALSE(calcIsError(&calc));
    const FramePixels f = Frame();
    const double zeroX = (f.left + f.right) / 2.0;
    auto py = [&](double y) { return f.bottom - (y + 4) * (f.bottom - f.top) / 8.0; };
    // Both branches come near the pole...
    EXPECT_TRUE(DarkNear(zeroX + (f.right - f.left) / 16.0, py(4)));
    EXPECT_TRUE(DarkNear(zeroX - (f.right - f.left) / 16.0, py(-4)));
    // ...and nothing of the curve crosses between them.
    for (int y = static_cast<int>(py(3)); y <= static_cast<int>(py(-3)); y++)
        for (int x = static_cast<int>(zeroX) - 3; x <= static_cast<int>(zeroX) + 3; x++)
            EXPECT_FALSE(Dark(x, y) && Pixel(x, y) != kBlue) << x << "," << y;
    SavePng("graph-pole.png");
}

// The 3D graph: the bowl fitted to the window whatever the realm's size (the same picture for
// a realm of 4 and of 40 000), filling its height below the header, with z labelled in the
// values' own units.
TEST_F(GraphViewTest, ThreeDimensionalGraphIsFittedToTheWindow) {
    std::vector<std::vector<int>> boxes;
    for (double half : {2.0, 200.0, 20000.0}) {
        calc.plotMinX = calc.plotMinY = -half;
        calc.plotMaxX = calc.plotMaxY = half;
        calc.plotStep = half / 10;
        RunPlot(2, {"recall A", "x^2", "+", "recall B", "x^2", "=", "__ end __"});
        EXPECT_EQ(std::vector<std::string>{}, reports);
        std::vector<int> box = {400, 300, -1, -1}; // the ink's left, top, right, bottom
        for (int y = 45; y < 300; y++)
            for (int x = 0; x < 400; x++)
                if (Dark(x, y)) {
                    box[0] = std::min(box[0], x);
                    box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x);
                    box[3] = std::max(box[3], y);
                }
        EXPECT_GT(box[3] - box[1], 180) << half;
        EXPECT_GT(box[2] - box[0], 180) << half;
        EXPECT_NEAR(200, (box[0] + box[2]) / 2, 40) << half;
        boxes.push_back(box);
        SavePng(("graph-bowl-" + std::to_string(boxes.size()) + ".png").c_str());
        const std::vector<std::string> texts = SvgTexts("graph-bowl.svg");
        char highest[32]; // z's top tick: the bowl's rim at the realm's corners
        snprintf(highest, sizeof highest, "%g", 2 * half * half);
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), std::string(highest))) << half;
    }
    // The same bowl in the same place; only z's labels at the left grow with the values.
    for (size_t i = 1; i < boxes.size(); i++)
        for (int k = 1; k < 4; k++)
            EXPECT_NEAR(boxes[0][k], boxes[i][k], 3) << i << " " << k;
}

} // namespace
