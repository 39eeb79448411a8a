// The plot window: paints the plot engine's point memory into a toolkit window and runs the plot
// tasks as the window owner's idle callback. The computing half is the engine's plot module.
#pragma once

#include "plot.h"

struct Window;

// The plot window's attachment: `plot` paints the point memory of `calc` (its onPaint becomes
// paintPlot), the plot tasks run as `idleOwner`'s idle callback, and the status bar's
// `statusHeight` pixels are taken off the bottom of the plot area. The calculator's plotPaint
// and programIdle hooks (when empty), its plot colour table and the window's step limit of one
// evaluation (kWindowStepLimit) are set up here. One plot window is attached at a time; a
// second attachment replaces the first.
void plotAttach(Window *plot, Window *idleOwner, int statusHeight, Calculator *calc);
void plotDetach(Calculator *calc);
// The plot area in points from the window's pixel extents and the screen resolution.
void plotSetArea(Calculator *calc);
// The plot window's onPaint: incremental while a plot is computed (throttled by the refresh
// rate), full on expose, mode change and print (header included).
int paintPlot(Window *plot);
// The idle callbacks of the plot tasks: one point, one pass of the host's message pump; 1.
int plotTask2D(Window *owner);
int plotTask3D(Window *owner);
