// The graph view's painting: the points of the graph memory (plotmem.h), kept in the realm's
// units, laid out in the area they are painted in: x across the plot area's width, y over the
// values' range (or Min Y to Max Y), with a frame, ticks with labels at 1-2-5 steps and the axes
// where zero lies; in 3D the realm and the values' range fitted as a box. Curves are smooth
// (anti-aliased) and break where a point has no value. Start reading at graphPaint.
#pragma once

#include "gdi.h"

struct Calculator;

// What the painter carries from one paint to the next, so an incremental paint goes on where
// the last one stopped; it starts over (in full) when the layout it painted no longer holds.
struct GraphPaintState {
    long painted;      // points of the graph memory painted
    int colorIndex;    // the colour node in force there, -1 for the window's foreground
    bool penDown;      // the last painted point was drawn to or moved to (a line may go on)
    double penX, penY; // where, in points of the area
    double layout[10]; // the layout of the last paint: ranges and frame
};

// The part of the segment (x0, y0)-(x1, y1) inside the box (Liang-Barsky, in doubles, so
// coordinates far outside cannot overflow). false when nothing of it is inside.
bool plotClipSegment(double *x0, double *y0, double *x1, double *y1, double left, double top,
                     double right, double bottom);

// Paints the graph view into the GC's area of width x height points: the background, the frame,
// ticks and labels, the axes and every point (full), or only the points appended since the last
// paint (not full) when the layout is unchanged, else in full. `colors` is the plot colour
// table. true when it painted in full (the caller adds the header then).
bool graphPaint(bool full, double width, double height, double headerHeight, const Color *colors,
                Window *window, GC *gc, GraphPaintState *state, const Calculator *calc);
