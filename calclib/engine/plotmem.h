// The point memory: the list of pen commands a plot appends to and the plot window paints.
// It starts with one PLOT_START node; nodes are only appended, until the memory is reset.
#pragma once

#include <cstdint>

struct Calculator;

enum PlotKind : uint8_t {
    PLOT_START = 0,
    PLOT_MOVE = 1,
    PLOT_LINE = 2,
    PLOT_COLOR = 8,
};

struct PlotNode {
    uint8_t kind;   // PlotKind
    int32_t x;      // pen x in points from the plot window's left edge; PLOT_COLOR: the colour
    int32_t y;      // pen y in points from the top edge, growing downward; 0 for PLOT_COLOR
    PlotNode *next; // the following node, null at the tail
};

constexpr int kPlotColors = 20; // colour indices 0..19; others are stored as 0

// Frees the memory (repainting the plot window, which clears it) and starts a new one.
void resetPointMemory(Calculator *calc);
// Appends a pen move or a line to (x, y), each truncated toward zero and pinned to the int range;
// a line is painted at once. A non-finite point appends nothing and lifts the pen: the next line
// becomes a move.
void appendMove(double x, double y, Calculator *calc);
void appendLine(double x, double y, Calculator *calc);
// Appends a colour change.
void appendColor(int color, Calculator *calc);
// Frees every node (at the end of the calculator).
void freePointMemory(Calculator *calc);

// ---- the graph view's memory ------------------------------------------------------------------
// The graph view keeps its points in the realm's own units (a plot step's in the units of plot X
// and plot Y): how they lie in the window is known only when they are painted, from the values
// that came and the window's size.

enum GraphKind : uint8_t {
    GRAPH_MOVE = 1,
    GRAPH_LINE = 2,
    GRAPH_COLOR = 8,
};

struct GraphPoint {
    uint8_t kind; // GraphKind
    double x, y;  // realm units; GRAPH_COLOR: the colour index in x
    double z;     // 3D: the value at (x, y)
};

constexpr int kGraphChunkPoints = 1024;

struct GraphChunk {
    GraphChunk *next;
    int count; // points used
    GraphPoint points[kGraphChunkPoints];
};

// Appends a move or a line to (x, y) with the value z (3D; 0 in 2D). A point that is not finite
// (a value that failed) appends nothing and lifts the pen, so the curve has a gap there instead
// of a line through a made-up place; a line after a gap, or first of all, becomes a move.
void graphAppend(bool line, double x, double y, double z, Calculator *calc);
void graphAppendColor(int color, Calculator *calc);
// The point with that index (0 is the first), or null past the last.
const GraphPoint *graphPoint(long index, const Calculator *calc);
