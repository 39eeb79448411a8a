// The plot engine's computation: the realm and its checks, the evaluators that run the program
// for one point, the 3D projection and the two tasks that compute one point per call. Nothing
// here touches the toolkit; the plot window is reached through the calculator's hooks.
#include "plot.h"

#include "buffer.h"
#include "calc.h"
#include "number.h"
#include "plotmem.h"
#include "program.h"
#include "settings.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

// 3.14159 / 180: the degree factor plots have always used, kept so a view looks as it did.
constexpr double kDegree = 0.01745327777777778;

// ---- settings -------------------------------------------------------------------------------

// A decimal text setting as a double; a text that does not convert keeps the default.
static double readDoubleSetting(const char *key, const char *defaultText, double defaultValue,
                                const char *file) {
    const char *text = ReadStringSetting(key, defaultText, file);
    if (!text)
        return defaultValue;
    char *end = nullptr;
    errno = 0;
    double v = strtod(text, &end);
    while (end && (*end == ' ' || *end == '\t'))
        end++;
    return end == text || !end || *end || errno ? defaultValue : v;
}

void plotReadSettings(const char *file, Calculator *calc) {
    calc->plotMinX = readDoubleSetting("PLOT_REALM_MINX", "-200.0", -200.0, file);
    calc->plotMinY = readDoubleSetting("PLOT_REALM_MINY", "-200.0", -200.0, file);
    calc->plotMaxX = readDoubleSetting("PLOT_REALM_MAXX", "200.0", 200.0, file);
    calc->plotMaxY = readDoubleSetting("PLOT_REALM_MAXY", "200.0", 200.0, file);
    calc->plotAngleX = readDoubleSetting("PLOT_ANGLE_X", "30.0", 30.0, file);
    calc->plotAngleY = readDoubleSetting("PLOT_ANGLE_Y", "30.0", 30.0, file);
    // One delta for both views, as typed: the graph view steps by any decimal, the 1:1 view by
    // whole points (a fraction there leaves a delta the realm check refuses).
    calc->plotStep = readDoubleSetting("PLOT_REALM_DELTA", "10", 10.0, file);
    calc->plotDelta = calc->plotStep >= 1 && calc->plotStep <= 1e9
                          ? static_cast<int>(calc->plotStep)
                      : calc->plotStep > 1e9 ? 1000000000
                                             : 0;
    calc->plotView = ReadIntSetting("PLOT_VIEW", 0, file) == 1 ? 1 : 0;
    calc->plotFitY = ReadIntSetting("PLOT_FIT_Y", 1, file) != 0;
    static const char *const kColorKey[] = {"PLOT_COLOR_2", "PLOT_COLOR_3", "PLOT_COLOR_4"};
    static const int kDefault[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int i = 0; i < 3; i++) {
        uint32_t rgb = 0;
        static const char *const kPart[] = {"_RED", "_GRN", "_BLU"};
        for (int c = 0; c < 3; c++) {
            std::string key = std::string(kColorKey[i]) + kPart[c];
            int v = ReadIntSetting(key.c_str(), kDefault[i][c], file);
            rgb |= static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v) << (8 * c);
        }
        calc->plotColors[i + 2] = rgb;
    }
}

// ---- evaluation -----------------------------------------------------------------------------

// A new Number in the calculator's digit count, radix and format holding v. The bridge gives a
// floating value; in the integer format it is then rounded into the integer format, as the
// transcendental functions do, so the program computes on the kind of value it expects. Null
// when v does not convert.
static Number *operandOf(double v, Calculator *calc) {
    Number *n = numCreate(calc->digits, calc->radix, calc->format);
    if (!n)
        return nullptr;
    int r;
    if (calc->format == kNumInteger) {
        Number *f = numCreateTemp(calc->digits, calc->radix, kNumFloating, &calc->temporaries);
        r = !f || floatConv(v, f, calc) || numConvertFormat(f, n);
    } else {
        r = floatConv(v, n, calc);
    }
    numFreeTemps(&calc->temporaries);
    if (r) {
        numFree(n);
        return nullptr;
    }
    return n;
}

// Steps 2 to 4 of both evaluators: the program from its first line, x alone in X.
static bool startEvaluation(double x, Calculator *calc) {
    calc->plotEvaluations++;
    // In the graph view a point whose value fails is a gap in the curve, not the plot's end.
    calc->plotEvaluating = calc->plotView == 1;
    calc->plotPointFailed = 0;
    if (!calc->program) {
        programMessage("no program", 2, calc);
        return false;
    }
    BufferGoto(1, 1, calc->program);
    if (calc->operands)
        calcEmptyStacks(calc);
    Number *n = operandOf(x, calc);
    if (!n) {
        programMessage("X operand create failed", 2, calc);
        return false;
    }
    calcPushOperand(n, calc);
    calc->state = RESULT_SHOWN;
    return true;
}

// Runs the program to its end and reads X. X is read through a copy: the bridge would make an
// integer X floating in place, and X must keep its format for whoever looks at it afterwards.
static double finishEvaluation(Calculator *calc) {
    for (long steps = 0;; steps++) {
        if (steps >= calc->stepLimit) {
            programMessage("step limit reached", 2, calc);
            break;
        }
        if (!runStep(calc))
            break;
    }
    const bool gaps = calc->plotEvaluating != 0;
    calc->plotEvaluating = 0;
    if (gaps && calc->plotPointFailed) {
        calcClear(1, calc); // the error state goes with the point
        return std::nan("");
    }
    // After a fatal message in the program the value is still read, but a second message
    // would only hide the first, which names the cause.
    const bool quiet = calc->plotState < 0;
    const Number *x = calc->operands;
    if (!x) {
        if (!quiet)
            programMessage("Y result missing", 2, calc);
        return 0.0;
    }
    Number *copy = numCreateTemp(x->length, x->radix, x->format, &calc->temporaries);
    double value = 0.0;
    bool ok = copy && numCopy(x, copy) == 0 && floatValue(copy, &value, calc) == 0;
    numFreeTemps(&calc->temporaries);
    if (!ok) {
        if (gaps)
            return std::nan("");
        if (!quiet)
            programMessage("Y range", 2, calc);
        return 0.0;
    }
    return value;
}

double evaluate2D(double x, Calculator *calc) {
    if (!startEvaluation(x, calc)) {
        calc->plotEvaluating = 0;
        return 0.0;
    }
    return finishEvaluation(calc);
}

double evaluate3D(double x, double y, Calculator *calc) {
    if (!startEvaluation(x, calc)) {
        calc->plotEvaluating = 0;
        return 0.0;
    }
    calcStore(1, calc);
    if (calcIsError(calc)) {
        programMessage("Can't store X in A", 2, calc);
        calc->plotEvaluating = 0;
        return 0.0;
    }
    calcEmptyStacks(calc);
    Number *n = operandOf(y, calc);
    if (!n) {
        programMessage("Y operand create failed", 2, calc);
        calc->plotEvaluating = 0;
        return 0.0;
    }
    calcPushOperand(n, calc);
    calc->state = RESULT_SHOWN;
    calcStore(2, calc);
    if (calcIsError(calc)) {
        programMessage("Can't store Y in B", 2, calc);
        calc->plotEvaluating = 0;
        return 0.0;
    }
    return finishEvaluation(calc);
}

static double zeroFunction(double, double, Calculator *) { return 0.0; }
static double programFunction(double x, double y, Calculator *calc) {
    return evaluate3D(x, y, calc);
}

// ---- projection -----------------------------------------------------------------------------

// The offsets of the projected point, truncated toward zero but still doubles: a point that
// does not exist stays non-finite, so the pen is lifted instead of drawing to a made-up place.
static void projectOffsets(double x, double y, double *h, double *v, Calculator *calc) {
    const double z = calc->plotFunction ? calc->plotFunction(x, y, calc) : 0.0;
    *h = std::trunc(calc->plotCosX * x + calc->plotCosY * y);
    *v = std::trunc(calc->plotSinY * y - calc->plotSinX * x + z);
}

static int saturate(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= INT_MAX)
        return INT_MAX;
    if (v <= INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

void project3D(double x, double y, double scale, int *screenX, int *screenY, Calculator *calc) {
    double h, v;
    projectOffsets(x, y, &h, &v, calc);
    if (screenX)
        *screenX = saturate(std::trunc(h * scale));
    if (screenY)
        *screenY = saturate(std::trunc(v * scale));
}

// Projects (x, y) and moves or draws there. The evaluation may end the plot with a fatal
// message: the point is still appended, as the evaluation returned a value.
static void projectTo(double x, double y, bool line, Calculator *calc) {
    if (calc->plotView == 1) { // the painter projects, once it knows the values' range
        const double z = calc->plotFunction ? calc->plotFunction(x, y, calc) : 0.0;
        graphAppend(line, x, y, z, calc);
        return;
    }
    double h, v;
    projectOffsets(x, y, &h, &v, calc);
    if (line)
        appendLine(calc->plotOriginX + h, calc->plotOriginY - v, calc);
    else
        appendMove(calc->plotOriginX + h, calc->plotOriginY - v, calc);
}

// ---- the realm ------------------------------------------------------------------------------

// Points on an axis from min to the last min + i * delta not above max (at least the minimum
// itself), or -1 for more than kPlotMaxPoints.
static long axisPoints(double min, double max, double delta) {
    const double span = (max - min) / delta;
    if (!(span < kPlotMaxPoints))
        return -1;
    if (span < 0)
        return 1;
    long n = static_cast<long>(span);
    // The division may land a hair off an exact multiple: decide by the values the task uses.
    while (n + 1 < kPlotMaxPoints && min + static_cast<double>(n + 1) * delta <= max)
        n++;
    while (n > 0 && min + static_cast<double>(n) * delta > max)
        n--;
    return n + 1;
}

double plotStepOf(const Calculator *calc) {
    return calc->plotView == 1 ? calc->plotStep : static_cast<double>(calc->plotDelta);
}

int plotCheckRealm(Calculator *calc) {
    const double bounds[] = {calc->plotMinX, calc->plotMaxX, calc->plotMinY, calc->plotMaxY};
    const double step = plotStepOf(calc);
    bool bad = !(step > 0) || !std::isfinite(step);
    for (double b : bounds)
        bad = bad || !std::isfinite(b);
    if (!bad) {
        calc->plotCountX = axisPoints(calc->plotMinX, calc->plotMaxX, step);
        calc->plotCountY = axisPoints(calc->plotMinY, calc->plotMaxY, step);
        bad = calc->plotCountX < 0 || (calc->programMode == 2 && calc->plotCountY < 0);
    }
    if (!bad)
        return 0;
    programMessage("bad realm", 2, calc);
    return 1;
}

static void startIdle(int task, Calculator *calc) {
    calc->plotState = 0;
    calc->plotEvaluations = 0;
    if (calc->hooks.programIdle)
        calc->hooks.programIdle(task, calc);
}

static void clearReport(Calculator *calc) {
    if (calc->hooks.programReport)
        calc->hooks.programReport(" ", calc);
}

int startPlot2D(Calculator *calc) {
    clearReport(calc);
    if (plotCheckRealm(calc))
        return 1;
    if (calc->plotView == 1) { // the painter draws the graph's axes, where the values put them
        startIdle(2, calc);
        return 0;
    }
    const double minX = calc->plotMinX, maxX = calc->plotMaxX;
    const double minY = calc->plotMinY, maxY = calc->plotMaxY;
    // The realm's lower left corner 15 points from the left edge, 14 above the bottom.
    calc->plotOriginX = 15.0 - minX;
    calc->plotOriginY = calc->plotAreaHeight + minY - 14.0;
    const double ox = calc->plotOriginX, oy = calc->plotOriginY;
    if (calc->plotAbscissaMode & 1) {
        appendMove(minX + ox, oy, calc);
        appendColor(4, calc);
        appendLine(maxX + ox, oy, calc);
    }
    if (calc->plotAbscissaMode & 2) {
        appendMove(ox, oy - minY, calc);
        appendColor(4, calc);
        appendLine(ox, oy - maxY, calc);
    }
    appendColor(0, calc);
    if (calc->plotState < 0) // the axes could not be remembered
        return 1;
    startIdle(2, calc);
    return 0;
}

int startPlot3D(Calculator *calc) {
    clearReport(calc);
    if (plotCheckRealm(calc))
        return 1;
    const double ax = calc->plotAngleX * kDegree, ay = calc->plotAngleY * kDegree;
    calc->plotSinX = std::sin(ax);
    calc->plotSinY = std::sin(ay);
    calc->plotCosX = std::cos(ax);
    calc->plotCosY = std::cos(ay);
    // The window's middle (halved once, truncated), moved by the realm's middle.
    calc->plotOriginX = std::trunc(calc->plotAreaWidth / 2) + (calc->plotMinX + calc->plotMaxX) / 2;
    calc->plotOriginY =
        std::trunc(calc->plotAreaHeight / 2) + (calc->plotMinY + calc->plotMaxY) / 2;
    calc->plotFunction = zeroFunction; // the axes lie in the plane z = 0
    if (calc->plotView == 1) {
        calc->plotFunction = programFunction;
        startIdle(3, calc);
        return 0;
    }
    if (calc->plotAbscissaMode & 1) {
        projectTo(calc->plotMinX, 0, false, calc);
        appendColor(2, calc);
        projectTo(calc->plotMaxX, 0, true, calc);
    }
    if (calc->plotAbscissaMode & 2) {
        projectTo(0, calc->plotMinY, false, calc);
        appendColor(3, calc);
        projectTo(0, calc->plotMaxY, true, calc);
    }
    if (calc->plotAbscissaMode & 4) {
        appendMove(calc->plotOriginX, calc->plotOriginY + 100, calc);
        appendColor(4, calc);
        appendLine(calc->plotOriginX, calc->plotOriginY - 100, calc);
    }
    appendColor(0, calc);
    if (calc->plotState < 0)
        return 1;
    calc->plotFunction = programFunction;
    startIdle(3, calc);
    return 0;
}

// ---- the tasks ------------------------------------------------------------------------------

// The end of a plot that ran its course. A fitted view rescales the picture first; the whole
// window is then painted again.
static void finishPlot(Calculator *calc) {
    if (calc->plotOriginMode == 1) {
        plotFitView(calc);
        calc->paintCounter = kPaintLetThrough;
        if (calc->hooks.plotPaint)
            calc->hooks.plotPaint(1, calc);
    }
    stopProgram(calc);
}

// The state after an evaluation: a fatal message during it set -1, which must stay (the arrow
// shows it) and ends the task.
static void nextState(int state, Calculator *calc) {
    if (calc->plotState >= 0)
        calc->plotState = state;
}

// A point of the 2D curve: in the window's points (1:1 view) or in the realm's units (graph).
static void curvePoint(double x, double y, bool line, Calculator *calc) {
    if (calc->plotView == 1) {
        graphAppend(line, x, y, 0.0, calc);
        return;
    }
    const double px = calc->plotOriginX + x, py = calc->plotOriginY - y;
    if (line)
        appendLine(px, py, calc);
    else
        appendMove(px, py, calc);
}

void plotStep2D(Calculator *calc) {
    switch (calc->plotState) {
    case 0:
        calc->plotIndexX = 0;
        calc->plotX = calc->plotMinX;
        calc->plotState = 1;
        break;
    case 1: {
        const double y = evaluate2D(calc->plotX, calc);
        calc->plotY = y;
        curvePoint(calc->plotX, y, false, calc);
        nextState(2, calc);
        break;
    }
    case 2: {
        const double y = evaluate2D(calc->plotX, calc);
        calc->plotY = y;
        curvePoint(calc->plotX, y, true, calc);
        // The next x from the index, not from plot X: the program may have set plot X.
        calc->plotIndexX++;
        calc->plotX = calc->plotMinX + static_cast<double>(calc->plotIndexX) * plotStepOf(calc);
        if (calc->plotIndexX >= calc->plotCountX)
            nextState(3, calc);
        break;
    }
    case 3:
        finishPlot(calc);
        break;
    default:
        break;
    }
}

static double gridValue(double min, long index, double delta) {
    return min + static_cast<double>(index) * delta;
}

void plotStep3D(Calculator *calc) {
    const double minX = calc->plotMinX, minY = calc->plotMinY;
    const double delta = plotStepOf(calc);
    switch (calc->plotState) {
    case 0:
        calc->plotIndexX = calc->plotIndexY = 0;
        calc->plotDoneX = calc->plotDoneY = 0;
        calc->plotState = 1;
        break;
    case 1: // a line of constant x, along y
        calc->plotX = gridValue(minX, calc->plotIndexX, delta);
        calc->plotY = minY;
        if (calc->plotDoneX) {
            calc->plotState = 3;
            break;
        }
        calc->plotLineIndex = 0;
        projectTo(calc->plotX, minY, false, calc);
        nextState(2, calc);
        break;
    case 2:
        calc->plotLineIndex++;
        calc->plotY = gridValue(minY, calc->plotLineIndex, delta);
        if (calc->plotLineIndex >= calc->plotCountY) {
            calc->plotState = 3;
            break;
        }
        projectTo(calc->plotX, calc->plotY, true, calc);
        break;
    case 3: // a line of constant y, along x
        calc->plotX = minX;
        calc->plotY = gridValue(minY, calc->plotIndexY, delta);
        if (calc->plotDoneY) {
            calc->plotState = 5;
            break;
        }
        calc->plotLineIndex = 0;
        projectTo(minX, calc->plotY, false, calc);
        nextState(4, calc);
        break;
    case 4:
        calc->plotLineIndex++;
        calc->plotX = gridValue(minX, calc->plotLineIndex, delta);
        if (calc->plotLineIndex >= calc->plotCountX) {
            calc->plotState = 5;
            break;
        }
        projectTo(calc->plotX, calc->plotY, true, calc);
        break;
    case 5:
        if (!calc->plotDoneY)
            calc->plotDoneY = ++calc->plotIndexY >= calc->plotCountY;
        if (!calc->plotDoneX)
            calc->plotDoneX = ++calc->plotIndexX >= calc->plotCountX;
        calc->plotState = calc->plotDoneX && calc->plotDoneY ? 6 : 1;
        break;
    case 6:
        finishPlot(calc);
        break;
    default:
        break;
    }
}

long plotRun(Calculator *calc) {
    const int mode = calc->programMode;
    if (!calc->program || (mode != 1 && mode != 2))
        return -1;
    calc->recorderMode = -1;
    if (prepareRun(calc)) {
        calc->recorderMode = 0;
        return -1;
    }
    if ((mode == 1 ? startPlot2D(calc) : startPlot3D(calc)) != 0)
        return -1;
    // Every call moves the task on, and every loop counts toward a bound: this ends.
    while (calc->recorderMode < 0 && calc->plotState >= 0 && calc->plotState <= 6) {
        if (mode == 1)
            plotStep2D(calc);
        else
            plotStep3D(calc);
    }
    return calc->plotEvaluations;
}

int plotArrowColor(const Calculator *calc) {
    if (calc->plotState < 0)
        return 2;
    if (calc->recorderMode > 0)
        return 4;
    return calc->recorderMode < 0 ? 1 : 3;
}

// ---- the graph view's axes ------------------------------------------------------------------

double graphTickStep(double span, int parts) {
    if (!(span > 0) || !std::isfinite(span))
        return 1.0;
    const double raw = span / (parts > 0 ? parts : 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    // A hair of slack, so 0.2000000001 of a magnitude is still a step of 2.
    return (norm <= 1.000001 ? 1 : norm <= 2.000001 ? 2 : norm <= 5.000001 ? 5 : 10) * magnitude;
}

void graphAxis(double min, double max, int parts, bool widen, GraphAxis *a) {
    if (!std::isfinite(min) || !std::isfinite(max)) {
        min = -1;
        max = 1;
    }
    if (max < min)
        std::swap(min, max);
    if (max - min <= std::fabs(max) * 1e-12) { // no width: a band around the value
        const double half = min == 0 ? 1.0 : std::fabs(min) * 0.1;
        min -= half;
        max += half;
    }
    a->step = graphTickStep(max - min, parts);
    if (widen) {
        min = std::floor(min / a->step + 1e-9) * a->step;
        max = std::ceil(max / a->step - 1e-9) * a->step;
    }
    a->min = min;
    a->max = max;
    a->first = std::ceil(min / a->step - 1e-9) * a->step;
    const double count = std::floor((max - a->first) / a->step + 1e-9) + 1;
    a->ticks = count < 0 ? 0 : count > 1000 ? 1000 : static_cast<int>(count);
    const double biggest = std::fmax(std::fabs(min), std::fabs(max));
    const int places = static_cast<int>(-std::floor(std::log10(a->step) + 1e-9));
    a->decimals = biggest >= 1e7 || places > 6 ? -1 : places > 0 ? places : 0;
}

double graphTick(int i, const GraphAxis *a) { return a->first + i * a->step; }

void graphTickLabel(double value, const GraphAxis *a, char *text, int size) {
    if (std::fabs(value) < a->step * 1e-6)
        value = 0; // not -0, nor 1e-17
    if (a->decimals < 0)
        snprintf(text, static_cast<size_t>(size), "%.6g", value);
    else
        snprintf(text, static_cast<size_t>(size), "%.*f", a->decimals, value);
}

bool graphRangeY(const Calculator *calc, double *min, double *max) {
    if (!calc->plotFitY && calc->plotMinY < calc->plotMaxY) {
        *min = calc->plotMinY;
        *max = calc->plotMaxY;
        return true;
    }
    *min = calc->graphMinY;
    *max = calc->graphMaxY;
    return calc->graphHasY != 0;
}

void plotHeader(char *line1, char *line2, const Calculator *calc) {
    line1[0] = line2[0] = 0;
    if (calc->program) {
        snprintf(line1, kPlotHeaderLength, "torva plot     program: %.200s", calc->program->name);
    } else {
        snprintf(line1, kPlotHeaderLength, "torva plot");
    }
    if (calc->plotView == 1) { // the graph's realm as typed, and its step
        if (calc->programMode == 1)
            snprintf(line2, kPlotHeaderLength, "X= %g to %g    step %g", calc->plotMinX,
                     calc->plotMaxX, calc->plotStep);
        else if (calc->programMode == 2)
            snprintf(line2, kPlotHeaderLength, "X= %g to %g    Y= %g to %g    step %g",
                     calc->plotMinX, calc->plotMaxX, calc->plotMinY, calc->plotMaxY,
                     calc->plotStep);
        return;
    }
    if (calc->programMode == 1)
        snprintf(line2, kPlotHeaderLength, "X= %f to %f", calc->plotMinX, calc->plotMaxX);
    else if (calc->programMode == 2)
        snprintf(line2, kPlotHeaderLength, "X= %f to %f    Y= %f to %f", calc->plotMinX,
                 calc->plotMaxX, calc->plotMinY, calc->plotMaxY);
}

// ---- the fitted view ------------------------------------------------------------------------

// The frame the fitted picture fills: the 1:1 view's left margin and bottom margin, and room
// for the header's two lines at the top.
constexpr double kFitLeft = 15.0, kFitRight = 15.0, kFitTop = 35.0, kFitBottom = 14.0;

static int32_t fitCoordinate(double v) {
    v = std::round(v);
    return v >= INT32_MAX ? INT32_MAX : v <= INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

void plotFitView(Calculator *calc) {
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool any = false;
    for (const PlotNode *n = calc->plotHead; n; n = n->next) {
        if (n->kind != PLOT_MOVE && n->kind != PLOT_LINE)
            continue;
        const double x = n->x, y = n->y;
        minX = any ? std::fmin(minX, x) : x;
        maxX = any ? std::fmax(maxX, x) : x;
        minY = any ? std::fmin(minY, y) : y;
        maxY = any ? std::fmax(maxY, y) : y;
        any = true;
    }
    if (!any)
        return;
    const double frameW = std::fmax(calc->plotAreaWidth - kFitLeft - kFitRight, 1.0);
    const double frameH = std::fmax(calc->plotAreaHeight - kFitTop - kFitBottom, 1.0);
    const double spanX = maxX - minX, spanY = maxY - minY;
    // One scale for both axes keeps the picture's proportions; a span of 0 (a single point, a
    // vertical or horizontal line) sets no scale of its own.
    double scale = 1.0;
    if (spanX > 0 && spanY > 0)
        scale = std::fmin(frameW / spanX, frameH / spanY);
    else if (spanX > 0)
        scale = frameW / spanX;
    else if (spanY > 0)
        scale = frameH / spanY;
    // Centred in the frame along the axis that has room to spare.
    const double left = kFitLeft + (frameW - spanX * scale) / 2;
    const double top = kFitTop + (frameH - spanY * scale) / 2;
    for (PlotNode *n = calc->plotHead; n; n = n->next) {
        if (n->kind != PLOT_MOVE && n->kind != PLOT_LINE)
            continue;
        n->x = fitCoordinate(left + (n->x - minX) * scale);
        n->y = fitCoordinate(top + (n->y - minY) * scale);
    }
}
