// The plot window's side of the plot engine: painting the point memory through the toolkit's
// GC (in points, so the same paint serves screen and paper), the idle callbacks that run the
// plot tasks, and the attachment that ties a window to the calculator's hooks.
#include "plotpaint.h"
#include "plot.h"
#include "plotgraph.h"

#include "calc.h"
#include "gdi.h"
#include "plotmem.h"
#include "program.h"
#include "windmsg.h"

#include <chrono>
#include <cmath>
#include <vector>

namespace {

// The attached plot window and what the painter carries from one paint to the next: the pen
// and the colour at the last painted node, so an incremental paint continues exactly where the
// previous one stopped.
struct PlotView {
    WindowRef plot;          // the window painted
    WindowRef idleOwner;     // the window whose idle callback runs the tasks
    Calculator *calc;        // null while nothing is attached
    int statusHeight;        // pixels at the bottom that the status bar covers
    double penX, penY;       // the pen after the last painted node, points
    int colorIndex;          // the colour node in force there, -1 for the window's foreground
    Color colors[5];         // the plot colour table allocated from calc->plotColors
    bool ownsPaintHook;      // the hooks below were set by the attachment
    bool ownsIdleHook;       //
    double extentW, extentH; // the window's extents in points (the background of a print)
    int64_t lastRefresh;     // the clock at the run's last paced paint
    std::vector<int> lines;  // the lines of one paint, kept so its room is reused
    GraphPaintState graph;   // the graph view's paint position
};

PlotView gView;

// A segment is clipped this far outside the drawing area, so a line's width and its ends are
// never cut at the window's edge.
constexpr double kClipMargin = 8.0;

// The colour of a colour node's index: the table has five entries, and the indexes 5 to 19 that
// a node may hold name none of them, so they draw as colour 0.
Color PlotColor(int index, const Window *w) {
    if (index < 0)
        return w->foreground;
    return gView.colors[index < 5 ? index : 0];
}

// The calculator's plotPaint hook: a line was appended (incremental) or the memory was reset
// (full). While a run goes, the lines wait for the run's paced paint (or a forced one, which
// sets paintCounter to kPaintLetThrough): each paint copies the window out to the screen, which
// costs far more than computing a line. A full paint already waiting is left full, so it is not
// shrunk to the new lines.
void PaintHook(int full, Calculator *calc) {
    Window *w = WindowRefGet(gView.plot);
    if (!w || calc != gView.calc)
        return;
    if (!full && calc->recorderMode < 0 && calc->paintCounter < kPaintLetThrough) {
        calc->paintCounter++;
        return;
    }
    const bool fullPending = w->damageTop >= 0 && w->damageBottom >= w->damageTop;
    if (full || fullPending) {
        w->damageLeft = w->damageTop = 0;
        w->damageRight = w->damageBottom = 10000;
    } else {
        w->damageBottom = -2; // the incremental marker
        w->damageTop = -3;
    }
    RepaintWindow(w);
}

int64_t SteadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t (*gClock)(void) = SteadyMicros;

void IdleHook(int start, Calculator *calc) {
    Window *owner = WindowRefGet(gView.idleOwner);
    if (!owner || calc != gView.calc)
        return;
    RemoveIdleCallback(owner);
    if (start >= 1 && start <= 3) {
        // The first slice paints: the first pixels of a plot come at once.
        gView.lastRefresh = gClock() - kPlotRefreshPeriod[0];
        AddIdleCallback(plotRunTask, owner);
    }
}

void DrawHeader(const Window *w, GC *gc, const Calculator *calc) {
    char line1[kPlotHeaderLength], line2[kPlotHeaderLength];
    plotHeader(line1, line2, calc);
    SetForeground(w->foreground, gc);
    SetBackground(w->background, gc);
    MovePen(15, 5, gc);
    DrawString(line1, gc);
    if (line2[0]) {
        MovePen(15, 20, gc);
        DrawString(line2, gc);
    }
}

// The 1:1 view on paper: the whole plot, the window's area and every line beyond it, scaled to
// the printable area below the header (one scale for both axes, centred across), not the
// window's area cut at its edges. Lines are drawn as vectors, each run of them one path.
void PaintOnPaper(double width, double height, double header, Window *w, GC *gc,
                  const Calculator *calc) {
    double x0 = 0, y0 = 0, x1 = gView.extentW > 0 ? gView.extentW : width;
    double y1 = gView.extentH > 0 ? gView.extentH : height;
    for (const PlotNode *n = calc->plotHead; n; n = n->next)
        if (n->kind == PLOT_MOVE || n->kind == PLOT_LINE) {
            x0 = std::fmin(x0, n->x);
            y0 = std::fmin(y0, n->y);
            x1 = std::fmax(x1, n->x);
            y1 = std::fmax(y1, n->y);
        }
    const double top = header + 10; // the plot starts below the header's lines
    const double scale = std::fmin(width / (x1 - x0), (height - top) / (y1 - y0));
    const double left = (width - (x1 - x0) * scale) / 2;
    auto place = [&](double x, double y, std::vector<double> *path) {
        path->push_back(left + (x - x0) * scale);
        path->push_back(top + (y - y0) * scale);
    };
    SetForeground(w->background, gc);
    FillBox(0, 0, static_cast<int>(width), static_cast<int>(height), gc);
    Color color = PlotColor(-1, w);
    std::vector<double> path;
    auto flush = [&] {
        if (path.size() >= 4) {
            SetForeground(color, gc);
            DrawSmoothPath(path.data(), static_cast<int>(path.size() / 2), 0.6, gc);
        }
        path.clear();
    };
    double penX = 0, penY = 0;
    for (const PlotNode *n = calc->plotHead; n; n = n->next) {
        switch (n->kind) {
        case PLOT_MOVE:
            flush();
            penX = n->x;
            penY = n->y;
            break;
        case PLOT_LINE:
            if (path.empty())
                place(penX, penY, &path);
            place(n->x, n->y, &path);
            penX = n->x;
            penY = n->y;
            break;
        case PLOT_COLOR:
            flush();
            color = PlotColor(n->x, w);
            break;
        default:
            break;
        }
    }
    flush();
    DrawHeader(w, gc, calc);
}

} // namespace

void plotSetArea(Calculator *calc) {
    Window *w = WindowRefGet(gView.plot);
    if (!w || calc != gView.calc)
        return;
    int dpiX = 96, dpiY = 96;
    if (GC *gc = GetWindowGC(w)) {
        dpiX = gc->dpiX > 0 ? gc->dpiX : dpiX;
        dpiY = gc->dpiY > 0 ? gc->dpiY : dpiY;
        ReleaseGC(gc);
    }
    // Pixels to points, so the realm keeps its place whatever the screen's resolution.
    const int height = w->bottom - w->top;
    gView.extentW = (w->right - w->left) * 72.0 / dpiX;
    gView.extentH = height * 72.0 / dpiY;
    calc->plotAreaWidth = gView.extentW;
    calc->plotAreaHeight = (height - gView.statusHeight) * 72.0 / dpiY;
}

void plotAttach(Window *plot, Window *idleOwner, int statusHeight, Calculator *calc) {
    plotDetach(gView.calc);
    gView = PlotView{};
    gView.plot = WindowRefOf(plot);
    gView.idleOwner = WindowRefOf(idleOwner ? idleOwner : plot);
    gView.calc = calc;
    gView.statusHeight = statusHeight > 0 ? statusHeight : 0;
    gView.colorIndex = -1;
    plot->onPaint = paintPlot;
    // The header's font is the toolkit's sans font wherever the window lives, so the program
    // window and a picture made by the command line show the same header.
    if (const ToolkitDefaults *d = GetToolkitDefaults(); d && d->fontIndex[kFontSans] >= 0)
        plot->font = d->fontIndex[kFontSans];
    for (int i = 0; i < 5; i++) {
        const uint32_t rgb = calc->plotColors[i];
        gView.colors[i] = AllocColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF, nullptr,
                                     nullptr, nullptr, 1);
    }
    if (!calc->hooks.plotPaint) {
        calc->hooks.plotPaint = PaintHook;
        gView.ownsPaintHook = true;
    }
    if (!calc->hooks.programIdle) {
        calc->hooks.programIdle = IdleHook;
        gView.ownsIdleHook = true;
    }
    // One evaluation holds the window for the whole program: a runaway program must end in a
    // fraction of a second, not after the engine's own limit.
    calc->stepLimit = kWindowStepLimit;
    // The last painted node belongs to the painter that painted it.
    calc->plotLastPainted = nullptr;
    plotSetArea(calc);
}

void plotDetach(Calculator *calc) {
    if (!calc || calc != gView.calc)
        return;
    if (Window *owner = WindowRefGet(gView.idleOwner))
        RemoveIdleCallback(owner);
    if (gView.ownsPaintHook)
        calc->hooks.plotPaint = nullptr;
    if (gView.ownsIdleHook)
        calc->hooks.programIdle = nullptr;
    calc->plotLastPainted = nullptr;
    gView = PlotView{};
}

void plotSetRunClock(int64_t (*micros)(void)) { gClock = micros ? micros : SteadyMicros; }

int plotRunTask(Window *) {
    Calculator *calc = gView.calc;
    if (!calc)
        return 0;
    runSlice(gClock() + kRunSliceMicros, gClock, calc);
    const int rate = calc->plotRefreshRate < 0   ? 0
                     : calc->plotRefreshRate > 2 ? 2
                                                 : calc->plotRefreshRate;
    const int64_t now = gClock(), period = kPlotRefreshPeriod[rate];
    if (calc->recorderMode < 0 && now - gView.lastRefresh >= period) {
        // Paced from the last paint's due time, not from when the slice ended, so the rate holds
        // on average; a run held up for longer than a period does not paint twice to catch up.
        gView.lastRefresh = now - gView.lastRefresh < 2 * period ? gView.lastRefresh + period : now;
        runRefresh(calc);
        calc->paintCounter = kPaintLetThrough;
        if (calc->hooks.plotPaint)
            calc->hooks.plotPaint(0, calc);
    }
    // Input between the slices: the loop takes what the host has after this returns, and this
    // lets one message in even when the loop would not look.
    PumpHostMessage();
    // A run asks for the next idle turn itself, for as long as it goes.
    return 1;
}

int paintPlot(Window *w) {
    Calculator *calc = gView.calc;
    if (!calc || w != WindowRefGet(gView.plot))
        return 0;
    const bool incremental = w->damageBottom == -2;
    calc->paintCounter = 0;
    if (w->damageTop > w->damageBottom)
        return 0;
    const bool printing = PrintingColors() != 0;
    GC *gc = printing ? wGETGC(1, kGCPrinter, nullptr, w) : nullptr;
    if (!gc)
        gc = GetWindowGC(w);
    if (!gc)
        return 0;
    SetUnits(kUnitsPoints, gc);
    int areaW = 0, areaH = 0, dpiX = 0, dpiY = 0;
    GetResolution(&areaW, &areaH, &dpiX, &dpiY, gc);
    // The plot fills the window on the screen, and the printable area on paper.
    const double width = areaW, height = areaH;
    const double header = 20 + GetLineSpacing(GetGCFont(gc), gc) * 72.0 / (dpiY > 0 ? dpiY : 96);
    if (printing && calc->plotView == 0) {
        PaintOnPaper(width, height, header, w, gc, calc);
        w->damageTop = w->damageBottom = -1;
        ReleaseGC(gc);
        return 0;
    }
    if (calc->plotView == 1) {
        // A print lays the graph out on paper, and leaves the screen's paint position alone.
        GraphPaintState paper = {};
        GraphPaintState *state = printing ? &paper : &gView.graph;
        // On paper the graph takes the printable width, and the window's proportions as far as
        // the page's height allows: a graph, not a strip as tall as the page.
        double tall = height;
        if (printing && gView.extentW > 0 && gView.extentH > 0)
            tall = std::fmin(height, header + (width * gView.extentH / gView.extentW));
        if (graphPaint(!incremental || printing, width, tall, header, gView.colors, w, gc, state,
                       calc))
            DrawHeader(w, gc, calc);
        if (!printing)
            calc->plotLastPainted = calc->plotTail;
        w->damageTop = w->damageBottom = -1;
        ReleaseGC(gc);
        return 0;
    }
    // A print paints the whole list on paper and leaves the screen's paint position alone.
    double penX = gView.penX, penY = gView.penY;
    int colorIndex = gView.colorIndex;
    PlotNode *node;
    if (incremental && calc->plotLastPainted) {
        node = calc->plotLastPainted->next;
    } else {
        node = calc->plotHead;
        penX = penY = 0.0;
        colorIndex = -1;
        if (!incremental) {
            SetForeground(w->background, gc);
            FillBox(0, 0, static_cast<int>(width), static_cast<int>(height), gc);
        }
    }
    SetForeground(PlotColor(colorIndex, w), gc);
    const double left = -kClipMargin, top = -kClipMargin;
    const double right = width + kClipMargin, bottom = height + kClipMargin;
    // The lines of one colour go to the device together, one path for all of them.
    std::vector<int> &lines = gView.lines;
    lines.clear();
    for (; node; node = node->next) {
        switch (node->kind) {
        case PLOT_MOVE:
            penX = node->x;
            penY = node->y;
            break;
        case PLOT_LINE: {
            double x0 = penX, y0 = penY, x1 = node->x, y1 = node->y;
            penX = x1;
            penY = y1;
            if (plotClipSegment(&x0, &y0, &x1, &y1, left, top, right, bottom))
                for (double v : {x0, y0, x1, y1})
                    lines.push_back(static_cast<int>(std::lround(v)));
            break;
        }
        case PLOT_COLOR:
            DrawLines(lines.data(), static_cast<int>(lines.size() / 4), gc);
            lines.clear();
            colorIndex = node->x;
            SetForeground(PlotColor(colorIndex, w), gc);
            break;
        default:
            break;
        }
    }
    DrawLines(lines.data(), static_cast<int>(lines.size() / 4), gc);
    lines.clear();
    if (!printing) {
        gView.penX = penX;
        gView.penY = penY;
        gView.colorIndex = colorIndex;
        calc->plotLastPainted = calc->plotTail;
    }
    if (!incremental)
        DrawHeader(w, gc, calc);
    w->damageTop = w->damageBottom = -1;
    ReleaseGC(gc);
    return 0;
}
