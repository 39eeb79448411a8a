// The plot engine without a window: the nodes a 2D and a 3D plot append, the evaluators, the
// realm checks, how plots end and report, and what a plot leaves behind (X, the tape).
#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "number.h"
#include "plot.h"
#include "plotmem.h"
#include "program.h"
#include "programtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

// A calculator with a program and a report field, the plot area of a 400 x 300 window at 72 dpi
// (extents 399 x 299 points).
struct PlotRun {
    Calculator calc;
    std::vector<std::string> reports;
    int tapeWrites = 0;

    PlotRun() {
        displayRebuild(&calc);
        calcAllocRegisters(16, &calc);
        calc.plotAreaWidth = 399;
        calc.plotAreaHeight = 299;
        calc.hooks.context = this;
        calc.hooks.programReport = [](const char *text, Calculator *c) {
            if (std::string(text) != " ")
                static_cast<PlotRun *>(c->hooks.context)->reports.push_back(text);
        };
        calc.hooks.tapeWrite = [](const char *, Calculator *c) {
            static_cast<PlotRun *>(c->hooks.context)->tapeWrites++;
            return 0;
        };
    }
    ~PlotRun() {
        BufferFree(calc.program);
        calcRelease(&calc);
        freePointMemory(&calc);
        displayRelease();
    }

    void load(const std::vector<std::string> &lines) {
        BufferFree(calc.program);
        calc.program = ProgramFromLines(lines);
        ASSERT_NE(nullptr, calc.program);
    }

    long plot(int mode, const std::vector<std::string> &lines) {
        load(lines);
        calc.programMode = mode;
        return plotRun(&calc);
    }

    std::string reported() const {
        std::string all;
        for (const std::string &r : reports)
            all += (all.empty() ? "" : "|") + r;
        return all;
    }

    std::vector<const PlotNode *> nodes() const {
        std::vector<const PlotNode *> all;
        for (const PlotNode *n = calc.plotHead; n; n = n->next)
            all.push_back(n);
        return all;
    }

    // The first `count` nodes (all with -1) as "START MOVE(15,85) COLOR4 LINE(415,85) ...".
    std::string text(int count = -1) const {
        std::string s;
        int i = 0;
        for (const PlotNode *n = calc.plotHead; n && (count < 0 || i < count); n = n->next, i++) {
            if (!s.empty())
                s += ' ';
            switch (n->kind) {
            case PLOT_START:
                s += "START";
                break;
            case PLOT_MOVE:
                s += "MOVE(" + std::to_string(n->x) + "," + std::to_string(n->y) + ")";
                break;
            case PLOT_LINE:
                s += "LINE(" + std::to_string(n->x) + "," + std::to_string(n->y) + ")";
                break;
            case PLOT_COLOR:
                s += "COLOR" + std::to_string(n->x);
                break;
            default:
                s += "?";
            }
        }
        return s;
    }

    int count(int kind) const {
        int c = 0;
        for (const PlotNode *n : nodes())
            c += n->kind == kind;
        return c;
    }

    // The nodes after the axes (after the first COLOR0 that follows them).
    std::vector<const PlotNode *> curve() const {
        std::vector<const PlotNode *> all = nodes(), after;
        bool started = false;
        for (const PlotNode *n : all) {
            if (started)
                after.push_back(n);
            else if (n->kind == PLOT_COLOR && n->x == 0)
                started = true;
        }
        return after;
    }
};

const char kEnd[] = "__ end __";

// ---- settings ----------------------------------------------------------------------------------

TEST(PlotSettings, RealmAnglesDeltaAndColours) {
    char dir[] = "/tmp/torva-plot-settings-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string file = std::string(dir) + "/torva.ini";
    std::ofstream(file) << "[nv]\nPLOT_REALM_MINX=-50.5\nPLOT_REALM_MAXY=abc\nPLOT_ANGLE_X= 45 \n"
                           "PLOT_REALM_DELTA=5\nPLOT_COLOR_2_GRN=128\nPLOT_COLOR_4_BLU=300\n";
    Calculator calc;
    plotReadSettings(file.c_str(), &calc);
    EXPECT_EQ(-50.5, calc.plotMinX);
    EXPECT_EQ(200.0, calc.plotMaxY); // a text that is no number keeps the default
    EXPECT_EQ(-200.0, calc.plotMinY);
    EXPECT_EQ(45.0, calc.plotAngleX);
    EXPECT_EQ(30.0, calc.plotAngleY);
    EXPECT_EQ(5, calc.plotDelta);
    EXPECT_EQ(0x0080FFu, calc.plotColors[2]); // red with green 128
    EXPECT_EQ(0x00FF00u, calc.plotColors[3]);
    EXPECT_EQ(0xFF0000u, calc.plotColors[4]); // blue 300 is pinned to 255
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("PLOT_REALM_MAXX=200.0\n")); // defaults written back
    EXPECT_NE(std::string::npos, text.find("PLOT_ANGLE_Y=30.0\n"));
    EXPECT_EQ(0, system(("rm -rf " + std::string(dir)).c_str()));
}

// ---- 2D ----------------------------------------------------------------------------------------

TEST(Plot2D, DefaultRealmNodes) {
    PlotRun r;
    EXPECT_EQ(42, r.plot(1, {kEnd})); // y = x; the first point is evaluated twice
    EXPECT_EQ("START MOVE(15,85) COLOR4 LINE(415,85) MOVE(215,285) COLOR4 LINE(215,-115) COLOR0 "
              "MOVE(15,285) LINE(15,285) LINE(25,275)",
              r.text(11));
    const std::vector<const PlotNode *> curve = r.curve();
    ASSERT_EQ(42u, curve.size()); // one move and 41 lines
    EXPECT_EQ(PLOT_LINE, curve.back()->kind);
    EXPECT_EQ(415, curve.back()->x);
    EXPECT_EQ(-115, curve.back()->y);
    EXPECT_EQ("", r.reported());
    EXPECT_EQ(0, r.calc.recorderMode);     // the plot ended through stopProgram
    EXPECT_EQ(1, r.calc.restartPending);   //
    EXPECT_EQ(3, plotArrowColor(&r.calc)); // green: back in Edit, no fatal message
}

TEST(Plot2D, RealmsAndAxes) {
    struct Case {
        const char *name;
        double minX, maxX, minY, maxY;
        int delta, abscissa;
        std::vector<int> xs; // x of the curve's nodes after the first move
        long evaluations;
    } cases[] = {
        {"width not a multiple of delta", 0, 25, -200, 200, 10, 0, {15, 25, 35}, 4},
        {"maximum below minimum: the minimum alone", 5, 0, -200, 200, 10, 0, {15}, 2},
        {"delta larger than the realm", -3, 3, -200, 200, 50, 0, {15}, 2},
        {"fractional bounds", -0.5, 20.5, -200, 200, 10, 0, {15, 25, 35}, 4},
    };
    for (const Case &c : cases) {
        PlotRun r;
        r.calc.plotMinX = c.minX;
        r.calc.plotMaxX = c.maxX;
        r.calc.plotMinY = c.minY;
        r.calc.plotMaxY = c.maxY;
        r.calc.plotDelta = c.delta;
        r.calc.plotAbscissaMode = c.abscissa;
        EXPECT_EQ(c.evaluations, r.plot(1, {kEnd})) << c.name;
        std::vector<int> xs;
        std::vector<const PlotNode *> curve = r.curve();
        for (size_t i = 1; i < curve.size(); i++)
            xs.push_back(curve[i]->x);
        EXPECT_EQ(c.xs, xs) << c.name;
        EXPECT_EQ("START COLOR0", r.text(2)) << c.name; // no axes asked for
    }
}

TEST(Plot2D, AxesFollowTheAbscissaBits) {
    struct Case {
        int abscissa;
        const char *start;
    } cases[] = {
        {1, "START MOVE(15,85) COLOR4 LINE(415,85) COLOR0 MOVE(15,285)"},
        {2, "START MOVE(215,285) COLOR4 LINE(215,-115) COLOR0 MOVE(15,285)"},
        {4, "START COLOR0 MOVE(15,285) LINE(15,285)"}, // no z axis in 2D
    };
    for (const Case &c : cases) {
        PlotRun r;
        r.calc.plotAbscissaMode = c.abscissa;
        r.plot(1, {kEnd});
        std::string start = c.start;
        EXPECT_EQ(start, r.text(static_cast<int>(std::count(start.begin(), start.end(), ' ') + 1)))
            << c.abscissa;
    }
}

// A program that sets plot X back every time cannot hold the loop: the tasks count indices.
TEST(Plot2D, ProgramSettingPlotXEndsAnyway) {
    PlotRun r;
    EXPECT_EQ(42, r.plot(1, {"1", "=", "plot X ", kEnd}));
    EXPECT_EQ(0, r.calc.recorderMode);
}

TEST(Plot2D, PlotStepsDrawIntoThePicture) {
    PlotRun r;
    r.calc.plotMinX = 0;
    r.calc.plotMaxX = 0;
    r.calc.plotAbscissaMode = 0;
    r.plot(1, {"5", "=", "plot X ", "7", "=", "plot Y ", "plot Move ", "plot Color 3", "9", "=",
               "plot X ", "plot Line ", kEnd});
    // Each evaluation draws its own move and line; the task's point follows at y = 9, and at
    // the plot X the program left (9), not the x it evaluated.
    EXPECT_EQ("START COLOR0 MOVE(5,7) COLOR3 LINE(9,7) MOVE(24,76) MOVE(5,7) COLOR3 LINE(9,7) "
              "LINE(24,76)",
              r.text());
}

// ---- the integer format --------------------------------------------------------------------

TEST(PlotInteger, Radix16IntegerPlotKeepsItsFormat) {
    static int asserts;
    asserts = 0;
    numSetAssertReport([](const char *, int) { asserts++; });
    PlotRun r;
    calcSetRadix(16, &r.calc);
    calcSetFormat(kNumInteger, &r.calc);
    ASSERT_EQ(kNumInteger, r.calc.format);
    r.calc.plotMinX = -20;
    r.calc.plotMaxX = 20;
    r.calc.plotAbscissaMode = 0;
    EXPECT_EQ(6, r.plot(1, {"x^2", "+", "1", "=", kEnd}));
    numSetAssertReport(nullptr);
    EXPECT_EQ(0, asserts);
    EXPECT_EQ("", r.reported());
    // x = -20, -10, 0, 10, 20 (decimal): y = 401, 101, 1, 101, 401 above the origin at 85.
    EXPECT_EQ("START COLOR0 MOVE(15,-316) LINE(15,-316) LINE(25,-16) LINE(35,84) LINE(45,-16) "
              "LINE(55,-316)",
              r.text());
    ASSERT_NE(nullptr, r.calc.operands);
    EXPECT_EQ(kNumInteger, r.calc.operands->format);
    EXPECT_EQ(16, r.calc.operands->radix);
}

// An x between two integers is rounded half up (in magnitude) into the integer format.
TEST(PlotInteger, XRoundsHalfUp) {
    struct Case {
        double x, y;
    } cases[] = {{2.5, 3}, {2.4, 2}, {-2.5, -3}, {-2.4, -2}};
    for (const Case &c : cases) {
        PlotRun r;
        calcSetFormat(kNumInteger, &r.calc);
        r.load({kEnd});
        EXPECT_EQ(c.y, evaluate2D(c.x, &r.calc)) << c.x;
        EXPECT_EQ("", r.reported()) << c.x;
    }
}

// ---- 3D ----------------------------------------------------------------------------------------

TEST(Plot3D, DefaultGridNodes) {
    PlotRun r;
    EXPECT_EQ(3362, r.plot(2, {"0", "=", kEnd}));
    // The origin lies at (199, 149); sin 30 comes out a hair below one half with the plots'
    // degree factor, so 200 sin 30 truncates to 99. x red to the lower right, y green to the
    // upper right, z blue and 200 points long.
    EXPECT_EQ("START MOVE(26,50) COLOR2 LINE(372,248) MOVE(26,248) COLOR3 LINE(372,50) "
              "MOVE(199,249) COLOR4 LINE(199,49) COLOR0 MOVE(-147,149) LINE(-138,145)",
              r.text(13));
    EXPECT_EQ(3 + 82, r.count(PLOT_MOVE));
    EXPECT_EQ(3 + 3280, r.count(PLOT_LINE));
    EXPECT_EQ("", r.reported());
    EXPECT_EQ(0, r.calc.recorderMode);
}

TEST(Plot3D, NonSquareRealmDrawsBothFamilies) {
    PlotRun r;
    r.calc.plotMinX = 0;
    r.calc.plotMaxX = 20; // 3 grid values of x
    r.calc.plotMinY = 0;
    r.calc.plotMaxY = 50; // 6 of y
    r.calc.plotAbscissaMode = 0;
    // Lines of constant x: 3 of 6 points; lines of constant y: 6 of 3 points.
    EXPECT_EQ(3 * 6 + 6 * 3, r.plot(2, {"0", "=", kEnd}));
    EXPECT_EQ(3 + 6, r.count(PLOT_MOVE));
    EXPECT_EQ(3 * 5 + 6 * 2, r.count(PLOT_LINE));
}

TEST(Plot3D, EvaluatorSeesXInAAndYInB) {
    PlotRun r;
    r.load({"recall A", "X", "1", "0", "+", "recall B", "=", kEnd});
    EXPECT_EQ(35.0, evaluate3D(3, 5, &r.calc));
    r.load({kEnd}); // X holds y when the program starts
    EXPECT_EQ(5.0, evaluate3D(3, 5, &r.calc));
    EXPECT_EQ("", r.reported());
}

TEST(Plot3D, ProjectionOfTheZeroFunction) {
    PlotRun r;
    r.calc.plotAngleX = 0;
    r.calc.plotAngleY = 90;
    r.load({kEnd});
    r.calc.programMode = 2;
    r.calc.recorderMode = -1;
    ASSERT_EQ(0, prepareRun(&r.calc));
    ASSERT_EQ(0, startPlot3D(&r.calc));
    // Angle x 0: the x axis is horizontal; angle y 90: the y axis points straight up (a hair
    // short of 90 degrees: cos is not quite 0, sin a hair below 1).
    int h = 0, v = 0;
    project3D(100, 0, 1.0, &h, &v, &r.calc); // evaluates z = y at (100, 0): 0
    EXPECT_EQ(100, h);
    EXPECT_EQ(0, v);
    project3D(0, 100, 1.0, &h, nullptr, &r.calc);
    EXPECT_EQ(0, h);
    project3D(0, 100, 1.0, nullptr, &v, &r.calc); // z = 100 adds to the 99 of y
    EXPECT_EQ(199, v);
    project3D(0, 1e300, 1.0, nullptr, &v, &r.calc); // far beyond the int range: pinned
    EXPECT_EQ(INT_MAX, v);
    stopRun(&r.calc);
}

// ---- ends and messages ---------------------------------------------------------------------

TEST(PlotEnds, FatalMessagesStopThePlotAndKeepTheirState) {
    struct Case {
        const char *name;
        int mode;
        std::vector<std::string> program;
        long stepLimit;
        double minX;
        const char *report;
        long evaluations;
        int curveNodes; // nodes appended after the axes
    } cases[] = {
        // clang-format off
        {"no value left in X", 1, {"*Clear All", kEnd}, 0, 0, "Fatal Error: Y result missing", 1, 1},
        {"a syntax error", 1, {"plot Z", kEnd}, 0, 0, "Fatal Error: syntax error", 1, 1},
        // The X left behind is not read as a second failure: the first message names the cause.
        {"a math error", 1, {"0", "1/x", kEnd}, 0, 0, "Fatal Error: Math Error", 1, 1},
        {"a runaway loop", 1, {":a", "goto a"}, 1000, 0, "Fatal Error: step limit reached", 1, 1},
        {"an undefined label in 3D", 2, {"goto b", kEnd}, 0, 0, "Fatal Error: Undefined label", 1, 1},
        {"a fatal message at x = 0, the third evaluation", 1, {"if < 0 goto n", "goto z", ":n", kEnd}, 0, -10, "Fatal Error: Undefined label", 3, 3},
        // clang-format on
    };
    for (const Case &c : cases) {
        PlotRun r;
        if (c.stepLimit)
            r.calc.stepLimit = c.stepLimit;
        r.calc.plotAbscissaMode = 0;
        r.calc.plotMinX = c.minX;
        EXPECT_EQ(c.evaluations, r.plot(c.mode, c.program)) << c.name;
        EXPECT_EQ(c.report, r.reported()) << c.name;
        EXPECT_EQ(-1, r.calc.plotState) << c.name;
        EXPECT_EQ(2, plotArrowColor(&r.calc)) << c.name; // red
        EXPECT_EQ(0, r.calc.recorderMode) << c.name;
        EXPECT_EQ(static_cast<size_t>(c.curveNodes), r.curve().size()) << c.name;
    }
}

TEST(PlotEnds, EvaluatorsReportTheirOwnFailures) {
    PlotRun r;
    EXPECT_EQ(0.0, evaluate2D(3, &r.calc));
    EXPECT_EQ("Fatal Error: no program", r.reported());
    r.reports.clear();
    r.calc.plotState = 0; // each failure as the first of its plot
    r.load({kEnd});
    EXPECT_EQ(0.0, evaluate2D(std::numeric_limits<double>::infinity(), &r.calc));
    EXPECT_EQ("Fatal Error: X operand create failed", r.reported());
    r.reports.clear();
    r.calc.plotState = 0;
    EXPECT_EQ(0.0, evaluate3D(1, std::numeric_limits<double>::quiet_NaN(), &r.calc));
    EXPECT_EQ("Fatal Error: Y operand create failed", r.reported());
    r.reports.clear();
    r.calc.plotState = 0;
    calcSetPrecision(10, 3, &r.calc);
    r.load({"1", "exp", "9", "9", "9", "=", kEnd}); // beyond the double's range
    EXPECT_EQ(0.0, evaluate2D(1, &r.calc));
    EXPECT_EQ("Fatal Error: Y range", r.reported());
}

TEST(PlotEnds, BadRealmsAreRefused) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char *name;
        int mode;
        double minX, maxX, minY, maxY;
        int delta;
        bool refused;
    } cases[] = {
        {"delta 0", 1, -200, 200, -200, 200, 0, true},
        {"negative delta", 2, -200, 200, -200, 200, -10, true},
        {"NaN minimum", 1, nan, 200, -200, 200, 10, true},
        {"infinite y maximum", 1, -200, 200, -200, inf, 10, true},
        {"a span that overflows", 1, -1.7e308, 1.7e308, -200, 200, 10, true},
        {"100 001 points on x", 1, 0, 100000, -200, 200, 1, true},
        {"100 001 points on y in 3D", 2, 0, 10, 0, 100000, 1, true},
        {"100 000 points", 1, 0, 99999, -200, 200, 1, false},
        {"many y points in 2D do not count", 1, 0, 10, 0, 1e9, 1, false},
    };
    for (const Case &c : cases) {
        PlotRun r;
        r.load({kEnd});
        r.calc.programMode = c.mode;
        r.calc.plotMinX = c.minX;
        r.calc.plotMaxX = c.maxX;
        r.calc.plotMinY = c.minY;
        r.calc.plotMaxY = c.maxY;
        r.calc.plotDelta = c.delta;
        EXPECT_EQ(c.refused ? 1 : 0, plotCheckRealm(&r.calc)) << c.name;
        EXPECT_EQ(c.refused ? "Fatal Error: bad realm" : "", r.reported()) << c.name;
        if (c.refused) {
            r.reports.clear();
            EXPECT_EQ(-1, plotRun(&r.calc)) << c.name;
            EXPECT_EQ("Fatal Error: bad realm", r.reported()) << c.name;
            EXPECT_EQ(0, r.calc.recorderMode) << c.name;
            EXPECT_EQ(-1, r.calc.plotState) << c.name;
            EXPECT_EQ("START", r.text()) << c.name; // not even the axes
        }
    }
}

// The tape stays as it was while a plot runs; a normal run of the same program writes to it.
TEST(PlotEnds, TheTapeGetsNothingFromAPlot) {
    PlotRun r;
    r.plot(1, {"2", "+", "3", "=", kEnd});
    EXPECT_EQ(0, r.tapeWrites);
    r.calc.programMode = 0;
    r.calc.recorderMode = -1;
    ASSERT_EQ(0, prepareRun(&r.calc));
    startNormalRun(&r.calc);
    programRun(1, &r.calc);
    EXPECT_GT(r.tapeWrites, 0);
}

// Two plots in a row: the second frees the first's nodes and the painter is told with no
// list left to walk.
TEST(PlotEnds, ASecondRunStartsFromAnEmptyMemory) {
    PlotRun r;
    static std::vector<std::string> paints;
    paints.clear();
    r.calc.hooks.plotPaint = [](int full, Calculator *c) {
        if (full)
            paints.push_back(std::string(c->plotHead ? "head" : "no head") +
                             (c->plotLastPainted ? " painted" : ""));
    };
    r.calc.plotMinX = 0;
    r.calc.plotMaxX = 10;
    r.plot(1, {kEnd});
    r.calc.plotLastPainted = r.calc.plotTail; // as a painter leaves it
    r.plot(1, {kEnd});
    EXPECT_EQ(std::vector<std::string>({"no head"}), paints);
    EXPECT_EQ(nullptr, r.calc.plotLastPainted);
    EXPECT_EQ(3u, r.curve().size());
}

TEST(PlotEnds, StopEndsTheRunAndPaintsOnce) {
    PlotRun r;
    static std::vector<int> paints;
    paints.clear();
    r.calc.hooks.plotPaint = [](int full, Calculator *c) {
        paints.push_back(full * 100 + (c->paintCounter >= 10000000));
    };
    r.load({kEnd});
    r.calc.programMode = 1;
    r.calc.recorderMode = -1;
    ASSERT_EQ(0, prepareRun(&r.calc));
    ASSERT_EQ(0, startPlot2D(&r.calc));
    for (int i = 0; i < 5; i++)
        plotStep2D(&r.calc);
    paints.clear();
    stopRun(&r.calc);
    EXPECT_EQ(std::vector<int>({1}), paints); // one incremental paint the throttle lets through
    EXPECT_EQ(0, r.calc.recorderMode);
    EXPECT_EQ(3, plotArrowColor(&r.calc));
}

TEST(PlotEnds, ArrowColours) {
    struct Case {
        int plotState, recorderMode, color;
    } cases[] = {{-1, -1, 2}, {-1, 1, 2}, {0, 1, 4}, {2, -1, 1}, {0, 0, 3}};
    for (const Case &c : cases) {
        Calculator calc;
        calc.plotState = c.plotState;
        calc.recorderMode = c.recorderMode;
        EXPECT_EQ(c.color, plotArrowColor(&calc)) << c.plotState << " " << c.recorderMode;
    }
}

TEST(PlotEnds, Header) {
    struct Case {
        int mode;
        bool program;
        const char *line1, *line2;
    } cases[] = {
        // clang-format off
        {0, false, "torva plot", ""},
        {1, true, "torva plot     program: ", "X= -200.000000 to 200.000000"},
        {2, true, "torva plot     program: ", "X= -200.000000 to 200.000000    Y= -10.500000 to 3.000000"},
        // clang-format on
    };
    for (const Case &c : cases) {
        PlotRun r;
        if (c.program)
            r.load({kEnd});
        r.calc.programMode = c.mode;
        r.calc.plotMinY = -10.5;
        r.calc.plotMaxY = 3;
        char line1[kPlotHeaderLength], line2[kPlotHeaderLength];
        plotHeader(line1, line2, &r.calc);
        EXPECT_STREQ(c.line1, line1) << c.mode;
        EXPECT_STREQ(c.line2, line2) << c.mode;
    }
}

// ---- the fitted view ------------------------------------------------------------------------

// The nodes' bounding box as "left,top right,bottom".
std::string boundingBox(const PlotRun &r) {
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const PlotNode *n : r.nodes())
        if (n->kind == PLOT_MOVE || n->kind == PLOT_LINE) {
            left = std::min(left, n->x);
            right = std::max(right, n->x);
            top = std::min(top, n->y);
            bottom = std::max(bottom, n->y);
        }
    return std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(right) + "," +
           std::to_string(bottom);
}

// Origin mode 1: the finished picture fills the plot area (399 x 299 points) less 15 at the
// sides, 35 for the header and 14 at the bottom, with one scale for both axes, centred.
TEST(PlotFit, FinishedPlotFillsTheWindow) {
    struct Case {
        const char *name;
        int mode;
        double minX, maxX, minY, maxY;
        int abscissa;
        std::vector<std::string> program;
        const char *box;
    } cases[] = {
        // 400 x 400 of axes into 369 x 250: scale 0.625, centred across.
        {"default 2D view", 1, -200, 200, -200, 200, 3, {kEnd}, "75,35 325,285"},
        // y = x^2 / 10 over 0..40: 40 x 160 points become 62.5 x 250.
        {"a tall curve", 1, 0, 40, 0, 0, 0, {"x^2", "/", "1", "0", "=", kEnd}, "168,35 231,285"},
        // A flat line: only its width sets the scale, and it lies in the middle of the height.
        {"a horizontal line", 1, 0, 100, 0, 0, 0, {"0", "=", kEnd}, "15,160 384,160"},
        // A single point: no span to scale, it moves to the middle.
        {"one point", 1, 5, 5, 0, 0, 0, {kEnd}, "200,160 200,160"},
        // The grid spans 692 x 398 points: the width sets the scale (0.533), the height centres.
        {"the 3D grid", 2, -200, 200, -200, 200, 7, {"0", "=", kEnd}, "15,54 384,266"},
    };
    for (const Case &c : cases) {
        PlotRun r;
        r.calc.plotOriginMode = 1;
        r.calc.plotMinX = c.minX;
        r.calc.plotMaxX = c.maxX;
        r.calc.plotMinY = c.minY;
        r.calc.plotMaxY = c.maxY;
        r.calc.plotAbscissaMode = c.abscissa;
        EXPECT_LT(0, r.plot(c.mode, c.program)) << c.name;
        EXPECT_EQ(c.box, boundingBox(r)) << c.name;
    }
}

// The fitted view keeps the curve's shape: y = x stays at 45 degrees.
TEST(PlotFit, OneScaleForBothAxes) {
    PlotRun r;
    r.calc.plotOriginMode = 1;
    r.calc.plotMinX = 0;
    r.calc.plotMaxX = 100;
    r.calc.plotAbscissaMode = 0;
    r.plot(1, {kEnd});
    const std::vector<const PlotNode *> curve = r.curve();
    ASSERT_EQ(12u, curve.size());
    const int dx = curve.back()->x - curve.front()->x, dy = curve.back()->y - curve.front()->y;
    EXPECT_EQ(250, dx);
    EXPECT_EQ(-250, dy);
}

// ---- coordinates -----------------------------------------------------------------------------

TEST(PlotCoordinates, AppendedPointsSaturateAndNonFinitePointsLiftThePen) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char *name;
        std::vector<std::vector<double>> points; // {0 move / 1 line, x, y}
        const char *nodes;
    } cases[] = {
        // clang-format off
        {"pinned to the int range", {{0, 1e12, -1e12}, {1, -3e9, 3e9}}, "START MOVE(2147483647,-2147483648) LINE(-2147483648,2147483647)"},
        {"a NaN line lifts the pen", {{0, 1, 1}, {1, nan, 5}, {1, 3, 3}, {1, 4, 4}}, "START MOVE(1,1) MOVE(3,3) LINE(4,4)"},
        {"an infinite move lifts it too", {{0, inf, 1}, {1, 2, 2}}, "START MOVE(2,2)"},
        {"a move puts it down", {{1, 1, -inf}, {0, 5, 5}, {1, 6, 6}}, "START MOVE(5,5) LINE(6,6)"},
        {"truncated toward zero", {{0, -1.9, 1.9}}, "START MOVE(-1,1)"},
        // clang-format on
    };
    for (const Case &c : cases) {
        PlotRun r;
        resetPointMemory(&r.calc);
        for (const std::vector<double> &p : c.points) {
            if (p[0] == 0)
                appendMove(p[1], p[2], &r.calc);
            else
                appendLine(p[1], p[2], &r.calc);
        }
        EXPECT_EQ(c.nodes, r.text()) << c.name;
    }
}

// A curve far off the window: every node stays inside the int range, the steepest points are
// pinned, none wraps around.
TEST(PlotCoordinates, SteepCurveStaysInRange) {
    PlotRun r;
    calcSetPrecision(10, 3, &r.calc);
    r.plot(1, {"x^2", "X", "1", "exp", "2", "0", "0", "=", kEnd}); // x^2 * 1e200
    const std::vector<const PlotNode *> curve = r.curve();
    ASSERT_EQ(42u, curve.size());
    for (const PlotNode *n : curve)
        EXPECT_TRUE(n->x == INT32_MIN || n->y == INT32_MIN || n->x == 215) << n->x << "," << n->y;
    EXPECT_EQ("", r.reported());
}

} // namespace

// ---- the graph view ----------------------------------------------------------------------------

namespace {

// The graph memory as "MOVE(-2,4) LINE(-1.5,2.25) COLOR3 ..." (x and y in %g).
std::string GraphText(const Calculator &calc) {
    std::string s;
    for (const GraphChunk *c = calc.graphHead; c; c = c->next)
        for (int i = 0; i < c->count; i++) {
            const GraphPoint &p = c->points[i];
            char text[64];
            if (p.kind == GRAPH_COLOR)
                snprintf(text, sizeof text, "COLOR%g", p.x);
            else
                snprintf(text, sizeof text, "%s(%g,%g)", p.kind == GRAPH_LINE ? "LINE" : "MOVE",
                         p.x, p.y);
            s += (s.empty() ? "" : " ") + std::string(text);
        }
    return s;
}

} // namespace

// The graph view's settings: a delta of any decimal (the 1:1 view keeps its whole part, none
// for a fraction), the view and whether y is fitted.
TEST(PlotSettings, GraphViewStepViewAndFit) {
    char dir[] = "/tmp/torva-plot-settings-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string file = std::string(dir) + "/torva.ini";
    struct Case {
        const char *text;
        double step;
        int delta, view, fitY;
    } cases[] = {
        {"PLOT_REALM_DELTA=0.01\nPLOT_VIEW=1\nPLOT_FIT_Y=0\n", 0.01, 0, 1, 0},
        {"PLOT_REALM_DELTA=25\nPLOT_VIEW=7\n", 25, 25, 0, 1},
        {"PLOT_REALM_DELTA=2.5\n", 2.5, 2, 0, 1},
        {"PLOT_REALM_DELTA=abc\n", 10, 10, 0, 1},
        {"", 10, 10, 0, 1},
    };
    for (const Case &c : cases) {
        std::ofstream(file) << "[nv]\n" << c.text;
        Calculator calc;
        plotReadSettings(file.c_str(), &calc);
        EXPECT_EQ(c.step, calc.plotStep) << c.text;
        EXPECT_EQ(c.delta, calc.plotDelta) << c.text;
        EXPECT_EQ(c.view, calc.plotView) << c.text;
        EXPECT_EQ(c.fitY, calc.plotFitY) << c.text;
    }
    EXPECT_EQ(0, system(("rm -rf " + std::string(dir)).c_str()));
}

// Axes at 1-2-5 steps: the step, the range shown (widened to ticks for fitted values), the first
// tick, how many, and their labels.
TEST(GraphAxes, StepsRangesAndLabels) {
    struct Case {
        double min, max;
        int parts;
        bool widen;
        double step, shownMin, shownMax;
        std::vector<std::string> labels;
    } cases[] = {
        {0, 4, 5, true, 1, 0, 4, {"0", "1", "2", "3", "4"}},
        {-0.99, 0.97, 5, true, 0.5, -1, 1, {"-1.0", "-0.5", "0.0", "0.5", "1.0"}},
        {-2 * M_PI, 2 * M_PI, 6, false, 5, -2 * M_PI, 2 * M_PI, {"-5", "0", "5"}},
        {0.1, 0.37, 5, true, 0.1, 0.1, 0.4, {"0.1", "0.2", "0.3", "0.4"}},
        {0, 0.03, 3, true, 0.01, 0, 0.03, {"0.00", "0.01", "0.02", "0.03"}},
        {10, 20, 6, false, 2, 10, 20, {"10", "12", "14", "16", "18", "20"}},
        {-3e9, 5e9, 4, true, 2e9, -4e9, 6e9, {"-4e+09", "-2e+09", "0", "2e+09", "4e+09", "6e+09"}},
        {5, 5, 4, true, 0.5, 4.5, 5.5, {"4.5", "5.0", "5.5"}},
        {0, 0, 4, true, 0.5, -1, 1, {"-1.0", "-0.5", "0.0", "0.5", "1.0"}},
        {std::nan(""), 3, 4, true, 0.5, -1, 1, {"-1.0", "-0.5", "0.0", "0.5", "1.0"}},
    };
    for (const Case &c : cases) {
        GraphAxis a;
        graphAxis(c.min, c.max, c.parts, c.widen, &a);
        const std::string name = std::to_string(c.min) + ".." + std::to_string(c.max);
        EXPECT_DOUBLE_EQ(c.step, a.step) << name;
        EXPECT_NEAR(c.shownMin, a.min, 1e-9 * std::fabs(c.shownMin) + 1e-12) << name;
        EXPECT_NEAR(c.shownMax, a.max, 1e-9 * std::fabs(c.shownMax) + 1e-12) << name;
        std::vector<std::string> labels;
        for (int i = 0; i < a.ticks; i++) {
            char text[32];
            graphTickLabel(graphTick(i, &a), &a, text, sizeof text);
            labels.push_back(text);
        }
        EXPECT_EQ(c.labels, labels) << name;
    }
}

// A 2D run in the graph view keeps its points in the realm's units, the step a decimal, and
// draws no axes into memory (the painter lays them out).
TEST(GraphView, PointsInTheRealmsUnits) {
    PlotRun r;
    r.calc.plotView = 1;
    r.calc.plotMinX = -2;
    r.calc.plotMaxX = 2;
    r.calc.plotStep = 0.5;
    EXPECT_EQ(10, r.plot(1, {"x^2", kEnd}));
    EXPECT_EQ("", r.reported());
    EXPECT_EQ("MOVE(-2,4) LINE(-2,4) LINE(-1.5,2.25) LINE(-1,1) LINE(-0.5,0.25) LINE(0,0) "
              "LINE(0.5,0.25) LINE(1,1) LINE(1.5,2.25) LINE(2,4)",
              GraphText(r.calc));
    EXPECT_EQ("START", r.text());
    double min = 0, max = 0;
    EXPECT_TRUE(graphRangeY(&r.calc, &min, &max));
    EXPECT_EQ(0, min);
    EXPECT_EQ(4, max);
    // Min Y and Max Y when y is not fitted.
    r.calc.plotFitY = 0;
    r.calc.plotMinY = -3;
    r.calc.plotMaxY = 7;
    EXPECT_TRUE(graphRangeY(&r.calc, &min, &max));
    EXPECT_EQ(-3, min);
    EXPECT_EQ(7, max);
}

// A point whose value fails is a gap: 1/x at 0 and e^x past the double are left out, the pen
// lifted, and the plot goes on to its end with the calculator out of its error state. A syntax
// error is the program's own fault and still ends the plot.
TEST(GraphView, FailingPointsAreGaps) {
    struct Case {
        std::vector<std::string> program;
        double minX, maxX, step;
        const char *points, *reported;
    } cases[] = {
        {{"1/X", kEnd},
         -1,
         1,
         0.5,
         "MOVE(-1,-1) LINE(-1,-1) LINE(-0.5,-2) MOVE(0.5,2) LINE(1,1)",
         ""},
        {{"X", "4", "0", "0", "=", "e^x", kEnd},
         0,
         2,
         1,
         "MOVE(0,1) LINE(0,1) LINE(1,5.22147e+173)", // e^800 is past the double
         ""},
        {{"1/X", "plot Z", kEnd}, -1, 1, 1, "MOVE(-1,-1)", "Fatal Error: syntax error"},
    };
    for (const Case &c : cases) {
        PlotRun r;
        r.calc.plotView = 1;
        r.calc.plotMinX = c.minX;
        r.calc.plotMaxX = c.maxX;
        r.calc.plotStep = c.step;
        r.plot(1, c.program);
        EXPECT_EQ(c.points, GraphText(r.calc)) << c.program[0];
        EXPECT_EQ(c.reported, r.reported()) << c.program[0];
        EXPECT_FALSE(calcIsError(&r.calc)) << c.program[0];
        EXPECT_EQ(0, r.calc.recorderMode);
    }
}

// Plot steps draw in the realm's units in the graph view, colours and all; as in the 1:1 view
// the curve's point takes plot X as the program left it.
TEST(GraphView, PlotStepsDrawInTheRealmsUnits) {
    PlotRun r;
    r.calc.plotView = 1;
    r.calc.plotMinX = 0;
    r.calc.plotMaxX = 0;
    r.plot(1, {"plot Color 2", "1", ".", "5", "=", "plot X", "plot Y", "plot Line", "2", "=",
               "plot X", "plot Line", "0", "=", kEnd});
    EXPECT_EQ("COLOR2 MOVE(1.5,1.5) LINE(2,1.5) MOVE(2,0) COLOR2 LINE(1.5,1.5) LINE(2,1.5) "
              "LINE(2,0)",
              GraphText(r.calc));
}
