// The graph view's painting (plotgraph.h). Everything is laid out in points of the area painted
// (the plot window on the screen, the printable area on paper), from the realm, the values
// that have come and the fonts' sizes there; lines are drawn smooth, the straight ones (frame,
// grid, axes) on the device's pixel centres so they stay crisp.
#include "plotgraph.h"

#include "calc.h"
#include "plot.h"
#include "plotmem.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kMargin = 15.0;    // points left and right of everything, as the 1:1 view's
constexpr double kTick = 4.0;       // a tick mark's length
constexpr double kGap = 3.0;        // between a tick and its label
constexpr double kCurveWidth = 1.2; // points
constexpr double kDegree = M_PI / 180;
constexpr int kLabelSize = 32;

struct Frame {
    double left, top, right, bottom;
};

struct Layout {
    bool threeD;
    Frame frame;
    GraphAxis x, y, z;
    double cosX, sinX, cosY, sinY;  // of the view angles (3D)
    double scale, h0, v0, px0, py0; // projected (h, v) to points: px0 + (h - h0) * scale, ...
};

double PointsWide(const char *text, int font, GC *gc) {
    return StringWidth(text, font, gc) * 72.0 / (gc->dpiX > 0 ? gc->dpiX : 96);
}

double LineHigh(int font, GC *gc) {
    return GetLineSpacing(font, gc) * 72.0 / (gc->dpiY > 0 ? gc->dpiY : 96);
}

// A coordinate moved to the middle of its device pixel, so a line one pixel wide covers one
// row or column of pixels instead of two half-lit ones.
double Crisp(double points, int dpi) {
    const double perPoint = (dpi > 0 ? dpi : 96) / 72.0;
    return (std::floor(points * perPoint) + 0.5) / perPoint;
}

double OnePixel(GC *gc) { return 72.0 / (gc->dpiX > 0 ? gc->dpiX : 96); }

void Line(double x0, double y0, double x1, double y1, Color color, GC *gc) {
    const double xy[4] = {Crisp(x0, gc->dpiX), Crisp(y0, gc->dpiY), Crisp(x1, gc->dpiX),
                          Crisp(y1, gc->dpiY)};
    SetForeground(color, gc);
    DrawSmoothPath(xy, 2, OnePixel(gc), gc);
}

// Text with its top left corner at (x, y) points.
void Label(const char *text, double x, double y, GC *gc) {
    MovePen(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)), gc);
    DrawString(text, gc);
}

Color Shade(int level) { return AllocColor(level, level, level, nullptr, nullptr, nullptr, 1); }

// ---- layout ---------------------------------------------------------------------------------

double WidestLabel(const GraphAxis &a, int font, GC *gc) {
    double widest = 0;
    char text[kLabelSize];
    for (int i = 0; i < a.ticks; i++) {
        graphTickLabel(graphTick(i, &a), &a, text, sizeof text);
        widest = std::fmax(widest, PointsWide(text, font, gc));
    }
    return widest;
}

void Layout2D(double width, double height, double headerHeight, int font, GC *gc,
              const Calculator *calc, Layout *l) {
    const double line = LineHigh(font, gc);
    Frame &f = l->frame;
    f.top = headerHeight + line / 2;
    f.bottom = std::fmax(f.top + 10, height - (line + kTick + kGap + 4));
    double minY, maxY;
    if (!graphRangeY(calc, &minY, &maxY))
        minY = -1, maxY = 1;
    const bool fitted = calc->plotFitY || !(calc->plotMinY < calc->plotMaxY);
    const int yParts = static_cast<int>(std::fmax(2, (f.bottom - f.top) / (2.5 * line)));
    graphAxis(minY, maxY, yParts, fitted, &l->y);
    f.left = kMargin + WidestLabel(l->y, font, gc) + kGap + kTick;
    // The x labels: as many as fit side by side with a gap, the last one centred on the edge.
    f.right = std::fmax(f.left + 10, width - kMargin);
    int xParts = static_cast<int>(std::fmax(2, (f.right - f.left) / 50));
    for (int tries = 0; tries < 8; tries++) {
        graphAxis(calc->plotMinX, calc->plotMaxX, xParts, false, &l->x);
        const double widest = WidestLabel(l->x, font, gc);
        f.right = std::fmax(f.left + 10, width - std::fmax(kMargin, widest / 2 + 4));
        const double perStep = (f.right - f.left) * l->x.step / (l->x.max - l->x.min);
        if (widest + 2 * line <= perStep || xParts <= 1)
            break;
        xParts = xParts * 2 / 3;
    }
}

void Project(const Layout &l, double x, double y, double z, double *h, double *v) {
    *h = l.cosX * x + l.cosY * y;
    *v = l.sinY * y - l.sinX * x + z;
}

// The realm and the values' range as the cube from -1 to 1 on each axis.
double Unit(double v, double min, double max) {
    return max > min ? 2 * (v - min) / (max - min) - 1 : 0;
}

void Layout3D(double width, double height, double headerHeight, int font, GC *gc,
              const Calculator *calc, Layout *l) {
    const double line = LineHigh(font, gc);
    double minZ = calc->graphMinZ, maxZ = calc->graphMaxZ;
    if (!calc->graphHasZ)
        minZ = -1, maxZ = 1;
    graphAxis(minZ, maxZ, 4, true, &l->z);
    graphAxis(calc->plotMinX, calc->plotMaxX, 4, false, &l->x);
    graphAxis(calc->plotMinY, calc->plotMaxY, 4, false, &l->y);
    const double labels = WidestLabel(l->z, font, gc) + kTick + 2 * kGap;
    Frame &f = l->frame;
    f.left = kMargin + labels;
    f.right = std::fmax(f.left + 10, width - kMargin - 2 * line);
    f.top = headerHeight + line;
    f.bottom = std::fmax(f.top + 10, height - line - kMargin);
    l->cosX = std::cos(calc->plotAngleX * kDegree);
    l->sinX = std::sin(calc->plotAngleX * kDegree);
    l->cosY = std::cos(calc->plotAngleY * kDegree);
    l->sinY = std::sin(calc->plotAngleY * kDegree);
    double hMin = 0, hMax = 0, vMin = 0, vMax = 0;
    for (int corner = 0; corner < 8; corner++) {
        double h, v;
        Project(*l, corner & 1 ? 1 : -1, corner & 2 ? 1 : -1, corner & 4 ? 1 : -1, &h, &v);
        hMin = corner ? std::fmin(hMin, h) : h;
        hMax = corner ? std::fmax(hMax, h) : h;
        vMin = corner ? std::fmin(vMin, v) : v;
        vMax = corner ? std::fmax(vMax, v) : v;
    }
    const double spanH = std::fmax(hMax - hMin, 1e-9), spanV = std::fmax(vMax - vMin, 1e-9);
    l->scale = std::fmin((f.right - f.left) / spanH, (f.bottom - f.top) / spanV);
    l->h0 = (hMin + hMax) / 2;
    l->v0 = (vMin + vMax) / 2;
    // In the middle of the area, as far as z's labels at the left let it be.
    l->px0 = std::fmax(width / 2, f.left + (l->h0 - hMin) * l->scale);
    l->py0 = (f.top + f.bottom) / 2;
}

void MakeLayout(double width, double height, double headerHeight, int font, GC *gc,
                const Calculator *calc, Layout *l) {
    *l = Layout{};
    l->threeD = calc->programMode == 2;
    if (l->threeD)
        Layout3D(width, height, headerHeight, font, gc, calc, l);
    else
        Layout2D(width, height, headerHeight, font, gc, calc, l);
}

// What an incremental paint must find unchanged.
void LayoutKey(const Layout &l, double *key) {
    const double values[10] = {l.threeD ? 1.0 : 0.0,
                               l.frame.left,
                               l.frame.top,
                               l.frame.right,
                               l.frame.bottom,
                               l.x.min,
                               l.x.max,
                               l.threeD ? l.z.min : l.y.min,
                               l.threeD ? l.z.max : l.y.max,
                               l.threeD ? l.scale : 0.0};
    for (int i = 0; i < 10; i++)
        key[i] = values[i];
}

// Where a point of the graph memory lies in the area, in points.
void Place(const Layout &l, const GraphPoint &p, double *px, double *py) {
    if (l.threeD) {
        double h, v;
        Project(l, Unit(p.x, l.x.min, l.x.max), Unit(p.y, l.y.min, l.y.max),
                Unit(p.z, l.z.min, l.z.max), &h, &v);
        *px = l.px0 + (h - l.h0) * l.scale;
        *py = l.py0 - (v - l.v0) * l.scale;
        return;
    }
    const Frame &f = l.frame;
    *px = f.left + (p.x - l.x.min) * (f.right - f.left) / (l.x.max - l.x.min);
    *py = f.bottom - (p.y - l.y.min) * (f.bottom - f.top) / (l.y.max - l.y.min);
}

// ---- the frame, ticks and axes --------------------------------------------------------------

void Frame2D(const Layout &l, const Color *colors, int font, Window *window, GC *gc,
             const Calculator *calc) {
    const Frame &f = l.frame;
    const double line = LineHigh(font, gc);
    const Color grid = Shade(0xE4), edge = Shade(0x80);
    char text[kLabelSize];
    SetBackground(window->background, gc);
    for (int i = 0; i < l.x.ticks; i++) {
        const double v = graphTick(i, &l.x);
        double px, py;
        Place(l, GraphPoint{GRAPH_MOVE, v, l.y.min, 0}, &px, &py);
        Line(px, f.top, px, f.bottom, grid, gc);
        Line(px, f.bottom, px, f.bottom + kTick, edge, gc);
        graphTickLabel(v, &l.x, text, sizeof text);
        SetForeground(window->foreground, gc);
        Label(text, px - PointsWide(text, font, gc) / 2, f.bottom + kTick + kGap / 2, gc);
    }
    for (int i = 0; i < l.y.ticks; i++) {
        const double v = graphTick(i, &l.y);
        double px, py;
        Place(l, GraphPoint{GRAPH_MOVE, l.x.min, v, 0}, &px, &py);
        Line(f.left, py, f.right, py, grid, gc);
        Line(f.left - kTick, py, f.left, py, edge, gc);
        graphTickLabel(v, &l.y, text, sizeof text);
        SetForeground(window->foreground, gc);
        Label(text, f.left - kTick - kGap - PointsWide(text, font, gc), py - line / 2, gc);
    }
    Line(f.left, f.top, f.right, f.top, edge, gc);
    Line(f.right, f.top, f.right, f.bottom, edge, gc);
    Line(f.left, f.bottom, f.right, f.bottom, edge, gc);
    Line(f.left, f.top, f.left, f.bottom, edge, gc);
    // The axes where zero lies, else along the frame's edge.
    double zx, zy;
    Place(l, GraphPoint{GRAPH_MOVE, 0, 0, 0}, &zx, &zy);
    const double ax = l.x.min <= 0 && 0 <= l.x.max ? zx : f.left;
    const double ay = l.y.min <= 0 && 0 <= l.y.max ? zy : f.bottom;
    if (calc->plotAbscissaMode & 1)
        Line(f.left, ay, f.right, ay, colors[4], gc);
    if (calc->plotAbscissaMode & 2)
        Line(ax, f.top, ax, f.bottom, colors[4], gc);
}

// The box's three edges from its corner nearest the lower left, x red, y green, z blue as the
// 1:1 view colours them, with the values' ticks on z and the axes' names at their ends.
void Frame3D(const Layout &l, const Color *colors, int font, Window *window, GC *gc,
             const Calculator *calc) {
    const double line = LineHigh(font, gc);
    auto at = [&l](double x, double y, double z, double *px, double *py) {
        double h, v;
        Project(l, x, y, z, &h, &v);
        *px = l.px0 + (h - l.h0) * l.scale;
        *py = l.py0 - (v - l.v0) * l.scale;
    };
    const Color floor = Shade(0xC8);
    double c[4][2];
    const int corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; i++)
        at(corners[i][0], corners[i][1], -1, &c[i][0], &c[i][1]);
    for (int i = 0; i < 4; i++)
        Line(c[i][0], c[i][1], c[(i + 1) % 4][0], c[(i + 1) % 4][1], floor, gc);
    SetBackground(window->background, gc);
    struct Axis {
        int bit, color;
        double to[3];
        const char *name;
    } axes[] = {{1, 2, {1, -1, -1}, "x"}, {2, 3, {-1, 1, -1}, "y"}, {4, 4, {-1, -1, 1}, "z"}};
    double ox, oy;
    at(-1, -1, -1, &ox, &oy);
    for (const Axis &a : axes) {
        if (!(calc->plotAbscissaMode & a.bit))
            continue;
        double ex, ey;
        at(a.to[0], a.to[1], a.to[2], &ex, &ey);
        Line(ox, oy, ex, ey, colors[a.color], gc);
        SetForeground(window->foreground, gc);
        Label(a.name, ex + kGap, ey - line, gc);
    }
    char text[kLabelSize];
    for (int i = 0; i < l.z.ticks; i++) {
        const double v = graphTick(i, &l.z);
        double px, py;
        at(-1, -1, Unit(v, l.z.min, l.z.max), &px, &py);
        Line(px - kTick, py, px, py, Shade(0x80), gc);
        graphTickLabel(v, &l.z, text, sizeof text);
        SetForeground(window->foreground, gc);
        Label(text, px - kTick - kGap - PointsWide(text, font, gc), py - line / 2, gc);
    }
}

// ---- the curves -----------------------------------------------------------------------------

// Runs of connected lines, clipped to a box, each drawn as one smooth path.
struct Curves {
    std::vector<double> path; // the run being gathered, x and y in points
    Color color;
    GC *gc;
    void Flush() {
        if (path.size() >= 4) {
            SetForeground(color, gc);
            DrawSmoothPath(path.data(), static_cast<int>(path.size() / 2), kCurveWidth, gc);
        }
        path.clear();
    }
    void Segment(double x0, double y0, double x1, double y1, const Frame &box) {
        const double ex = x1, ey = y1;
        if (!plotClipSegment(&x0, &y0, &x1, &y1, box.left, box.top, box.right, box.bottom)) {
            Flush();
            return;
        }
        const size_t n = path.size();
        if (n < 2 || path[n - 2] != x0 || path[n - 1] != y0) {
            Flush();
            path.push_back(x0);
            path.push_back(y0);
        }
        path.push_back(x1);
        path.push_back(y1);
        if (x1 != ex || y1 != ey)
            Flush(); // it left the box: whatever comes back in is a new run
    }
};

Color CurveColor(int index, const Color *colors, const Window *window) {
    return index < 0 ? window->foreground : colors[index < 5 ? index : 0];
}

void DrawPoints(const Layout &l, const Color *colors, Window *window, GC *gc,
                GraphPaintState *state, const Calculator *calc) {
    // Curves may reach a little past the frame, so a line along its edge is not cut in half;
    // in 3D the fitted box leaves them inside anyway.
    const double spill = l.threeD ? 1e6 : 1.0;
    const Frame box = {l.frame.left - spill, l.frame.top - spill, l.frame.right + spill,
                       l.frame.bottom + spill};
    Curves curves{{}, CurveColor(state->colorIndex, colors, window), gc};
    long index = 0;
    for (const GraphChunk *c = calc->graphHead; c; c = c->next) {
        if (index + c->count <= state->painted) {
            index += c->count;
            continue;
        }
        for (int i = 0; i < c->count; i++, index++) {
            if (index < state->painted)
                continue;
            const GraphPoint &p = c->points[i];
            if (p.kind == GRAPH_COLOR) {
                curves.Flush();
                state->colorIndex = static_cast<int>(p.x);
                curves.color = CurveColor(state->colorIndex, colors, window);
                continue;
            }
            double px, py;
            Place(l, p, &px, &py);
            if (p.kind == GRAPH_LINE && state->penDown)
                curves.Segment(state->penX, state->penY, px, py, box);
            else
                curves.Flush();
            state->penX = px;
            state->penY = py;
            state->penDown = true;
        }
    }
    curves.Flush();
    state->painted = index;
}

} // namespace

bool plotClipSegment(double *x0, double *y0, double *x1, double *y1, double left, double top,
                     double right, double bottom) {
    const double dx = *x1 - *x0, dy = *y1 - *y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {*x0 - left, right - *x0, *y0 - top, bottom - *y0};
    double t0 = 0.0, t1 = 1.0;
    for (int i = 0; i < 4; i++) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1)
                return false;
            if (t > t0)
                t0 = t;
        } else {
            if (t < t0)
                return false;
            if (t < t1)
                t1 = t;
        }
    }
    const double sx = *x0, sy = *y0;
    if (t1 < 1.0) {
        *x1 = sx + t1 * dx;
        *y1 = sy + t1 * dy;
    }
    if (t0 > 0.0) {
        *x0 = sx + t0 * dx;
        *y0 = sy + t0 * dy;
    }
    return true;
}

bool graphPaint(bool full, double width, double height, double headerHeight, const Color *colors,
                Window *window, GC *gc, GraphPaintState *state, const Calculator *calc) {
    SetGCFont(-1, gc);
    const int font = GetGCFont(gc);
    Layout l;
    MakeLayout(width, height, headerHeight, font, gc, calc, &l);
    double key[10];
    LayoutKey(l, key);
    for (int i = 0; i < 10 && !full; i++)
        full = key[i] != state->layout[i];
    if (full) {
        *state = GraphPaintState{};
        state->colorIndex = -1;
        for (int i = 0; i < 10; i++)
            state->layout[i] = key[i];
        SetForeground(window->background, gc);
        FillBox(0, 0, static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)), gc);
        if (l.threeD)
            Frame3D(l, colors, font, window, gc, calc);
        else
            Frame2D(l, colors, font, window, gc, calc);
    }
    DrawPoints(l, colors, window, gc, state, calc);
    return full;
}
