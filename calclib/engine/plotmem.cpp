// The point memory of the plots. Allocation failures are fatal program messages: a plot that
// cannot remember its points cannot go on.
#include "plotmem.h"

#include "calc.h"
#include "number.h"
#include "plot.h"
#include "program.h"

#include <climits>
#include <cmath>

static void freeGraphMemory(Calculator *calc) {
    for (GraphChunk *c = calc->graphHead; c;) {
        GraphChunk *next = c->next;
        numRelease(c);
        c = next;
    }
    calc->graphHead = calc->graphTail = nullptr;
    calc->graphCount = 0;
    calc->graphPenUp = 1;
    calc->graphHasY = calc->graphHasZ = 0;
}

void freePointMemory(Calculator *calc) {
    for (PlotNode *n = calc->plotHead; n;) {
        PlotNode *next = n->next;
        numRelease(n);
        n = next;
    }
    calc->plotHead = calc->plotTail = calc->plotLastPainted = nullptr;
    freeGraphMemory(calc);
}

// A finite coordinate truncated toward zero; beyond the int range it is pinned to the range's
// edge, so a steep curve still points the right way (the painter clips it to the window).
static int32_t plotCoordinate(double v) {
    if (v >= INT32_MAX)
        return INT32_MAX;
    if (v <= INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

static bool finitePoint(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

static PlotNode *appendNode(int kind, int32_t x, int32_t y, Calculator *calc) {
    PlotNode *n = static_cast<PlotNode *>(numAllocate(sizeof(PlotNode)));
    if (!n) {
        programMessage("point memory", 2, calc);
        return nullptr;
    }
    n->kind = static_cast<uint8_t>(kind);
    n->x = x;
    n->y = y;
    n->next = nullptr;
    if (calc->plotTail)
        calc->plotTail->next = n;
    else
        calc->plotHead = n;
    calc->plotTail = n;
    return n;
}

void resetPointMemory(Calculator *calc) {
    calc->plotPenUp = 0;
    freeGraphMemory(calc);
    if (calc->plotHead) {
        // The list goes first: the repaint that clears the window must find no node of it.
        freePointMemory(calc);
        calc->paintCounter = kPaintLetThrough;
        if (calc->hooks.plotPaint)
            calc->hooks.plotPaint(1, calc);
    }
    appendNode(PLOT_START, 0, 0, calc);
}

// A point that has no place (NaN, an infinity) lifts the pen: nothing is appended, and the next
// line starts a new piece instead of joining the curve to a made-up point.
void appendMove(double x, double y, Calculator *calc) {
    if (!finitePoint(x, y)) {
        calc->plotPenUp = 1;
        return;
    }
    calc->plotPenUp = 0;
    appendNode(PLOT_MOVE, plotCoordinate(x), plotCoordinate(y), calc);
}

void appendLine(double x, double y, Calculator *calc) {
    if (!finitePoint(x, y)) {
        calc->plotPenUp = 1;
        return;
    }
    if (calc->plotPenUp) {
        appendMove(x, y, calc);
        return;
    }
    if (appendNode(PLOT_LINE, plotCoordinate(x), plotCoordinate(y), calc) && calc->hooks.plotPaint)
        calc->hooks.plotPaint(0, calc);
}

void appendColor(int color, Calculator *calc) {
    appendNode(PLOT_COLOR, color < 0 || color >= kPlotColors ? 0 : color, 0, calc);
}

// ---- the graph view's memory ------------------------------------------------------------------

static GraphPoint *graphNext(Calculator *calc) {
    GraphChunk *c = calc->graphTail;
    if (!c || c->count == kGraphChunkPoints) {
        GraphChunk *fresh = static_cast<GraphChunk *>(numAllocate(sizeof(GraphChunk)));
        if (!fresh) {
            programMessage("point memory", 2, calc);
            return nullptr;
        }
        fresh->next = nullptr;
        fresh->count = 0;
        if (c)
            c->next = fresh;
        else
            calc->graphHead = fresh;
        calc->graphTail = c = fresh;
    }
    calc->graphCount++;
    return &c->points[c->count++];
}

static void widen(double v, double *min, double *max, int *has) {
    *min = *has ? std::fmin(*min, v) : v;
    *max = *has ? std::fmax(*max, v) : v;
    *has = 1;
}

void graphAppend(bool line, double x, double y, double z, Calculator *calc) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        calc->graphPenUp = 1;
        return;
    }
    GraphPoint *p = graphNext(calc);
    if (!p)
        return;
    p->kind = line && !calc->graphPenUp ? GRAPH_LINE : GRAPH_MOVE;
    p->x = x;
    p->y = y;
    p->z = z;
    calc->graphPenUp = 0;
    widen(y, &calc->graphMinY, &calc->graphMaxY, &calc->graphHasY);
    widen(z, &calc->graphMinZ, &calc->graphMaxZ, &calc->graphHasZ);
    if (p->kind == GRAPH_LINE && calc->hooks.plotPaint)
        calc->hooks.plotPaint(0, calc);
}

void graphAppendColor(int color, Calculator *calc) {
    if (GraphPoint *p = graphNext(calc)) {
        *p = GraphPoint{GRAPH_COLOR,
                        static_cast<double>(color < 0 || color >= kPlotColors ? 0 : color), 0, 0};
    }
}

const GraphPoint *graphPoint(long index, const Calculator *calc) {
    if (index < 0 || index >= calc->graphCount)
        return nullptr;
    const GraphChunk *c = calc->graphHead;
    for (; c && index >= c->count; c = c->next)
        index -= c->count;
    return c ? &c->points[index] : nullptr;
}
