// The plot engine: a program drawn as a function, y = f(x) along the realm in 2D Plot mode, and
// z = f(x, y) over a grid as an axonometric wire frame in 3D Plot mode. Everything drawn goes
// into the point memory (plotmem.h) first; the plot window paints that list.
//
// The computation (realm, evaluators, projection, the one-point-per-call tasks) needs no toolkit
// and lives in the calculator engine; painting, the idle callbacks and the plot window's
// attachment live with the windows (plotpaint.cpp). Start reading at startPlot2D.
#pragma once

#include <cstdint>

struct Calculator;

constexpr int kPlotMaxPoints = 100000;     // points on one axis of the realm; more is refused
constexpr long kWindowStepLimit = 1000000; // steps of one evaluation inside the program window
constexpr int kPlotHeaderLength = 256;     // room for one header line

// paintCounter at or above this lets the next incremental paint of a running plot through (the
// end of a run, a paced paint); below it, the request is only counted.
constexpr int kPaintLetThrough = 10000000;

// ---- settings -------------------------------------------------------------------------------

// Reads the realm, the view angles and the delta from the settings file (defaults written
// back). A realm or angle text that does not convert keeps its default.
void plotReadSettings(const char *file, Calculator *calc);

// ---- the computation ------------------------------------------------------------------------

// The program run once with x in X (2D) or with y in X, x in register A and y in register B
// (3D); the value left in X. 0.0 after a fatal message ("no program", "X operand create
// failed", "Y operand create failed", "Can't store X in A", "Can't store Y in B", "Y result
// missing", "Y range"), which also stops the plot.
double evaluate2D(double x, Calculator *calc);
double evaluate3D(double x, double y, Calculator *calc);
// The screen offset of (x, y, plotFunction(x, y)) from the origin, each truncated toward zero
// (saturated to the int range); either output may be null.
void project3D(double x, double y, double scale, int *screenX, int *screenY, Calculator *calc);

// The step of the realm loops: the graph view's decimal step, or the 1:1 view's whole delta.
double plotStepOf(const Calculator *calc);
// Checks the realm: 0, or 1 after the fatal message "bad realm" (a non-finite bound, a delta of
// 0 or below, or more than kPlotMaxPoints points on an axis).
int plotCheckRealm(Calculator *calc);
// The axes and the task's start, after prepareRun (Run in a plot mode). 0; 1 the realm was
// refused.
int startPlot2D(Calculator *calc);
int startPlot3D(Calculator *calc);
// One call of the plot task: at most one evaluation. The idle callbacks call these.
void plotStep2D(Calculator *calc);
void plotStep3D(Calculator *calc);
// Run as the program window's Run does in the current plot mode (recorderMode -1, prepareRun,
// the start) and the task stepped until the plot ends, without a window or loop. The number of
// evaluations, or -1 when the run could not start (no Program, Normal mode, a refused realm).
long plotRun(Calculator *calc);
// The plot colour table entry the listing's state arrow is filled with: 2 (red) after a fatal
// program error, else 4 (blue) recording, 1 (white) running, 3 (green) in Edit.
int plotArrowColor(const Calculator *calc);
// The header's two lines ("torva plot ...", and the realm of the program mode).
void plotHeader(char *line1, char *line2, const Calculator *calc);

// ---- the graph view's axes ------------------------------------------------------------------

// An axis of the graph view: the range it shows and its ticks at a 1-2-5 step.
struct GraphAxis {
    double min, max; // the range shown
    double step;     // between two ticks: 1, 2 or 5 times a power of ten
    double first;    // the first tick: the smallest multiple of step not below min
    int ticks;       // ticks from first on, not above max
    int decimals;    // places after the point a tick's label needs; -1: labels in %g
};

// The 1-2-5 step that cuts `span` into at most about `parts` parts (at least one).
double graphTickStep(double span, int parts);
// The axis over [min, max] with about `parts` parts between ticks. `widen` moves the ends out
// to the ticks around them (a range fitted to values), else the range stays as given. A range
// without width is widened around its value; one that is not finite is -1..1.
void graphAxis(double min, double max, int parts, bool widen, GraphAxis *axis);
// The value of tick i (from 0) and its label, "0" for a value that is zero but for rounding.
double graphTick(int i, const GraphAxis *axis);
void graphTickLabel(double value, const GraphAxis *axis, char *text, int size);
// The y range of the 2D graph: the values computed when y is fitted (or when nothing has come
// and Min Y is not below Max Y), else Min Y to Max Y. false when there is nothing to fit to.
bool graphRangeY(const Calculator *calc, double *min, double *max);

// The fitted view (origin mode 1): after the plot, every move and line is scaled and shifted so
// the picture (axes included) fills the plot area less the margins and the header, with one
// scale for both axes, centred. Nothing changes without points; a zero span is not divided by.
void plotFitView(Calculator *calc);
