// The plot window: paints the plot engine's point memory into a toolkit window and runs the plot
// tasks as the window owner's idle callback. The computing half is the engine's plot module.
#pragma once

#include "plot.h"

#include <cstdint>

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
// The idle callback of a run, normal or plot: one slice of kRunSliceMicros (runSlice), then,
// when the refresh rate's period has passed, the display, the listing's mark and the new lines
// of the plot drawn (kPlotRefreshPeriod: Minimum, Medium, Maximum), and one pass of the host's
// message pump. 1 (more work) while the run goes.
int plotRunTask(Window *owner);
constexpr int64_t kRunSliceMicros = 4000;
constexpr int64_t kPlotRefreshPeriod[3] = {250000, 66667, 16667}; // 4, 15, 60 paints a second
// The clock runs are sliced and paced by, in microseconds; null for the steady clock. Tests
// count with a clock of their own.
void plotSetRunClock(int64_t (*micros)(void));
