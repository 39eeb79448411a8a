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
