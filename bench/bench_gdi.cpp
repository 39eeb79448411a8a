// Drawing through the GC on the headless host: a panel's worth of keys (60 boxes with a
// border and a two-letter label each) and a 10 000-segment polyline, as the start-up and the
// plot targets will need. The peer for the polyline is cairo stroking the same path itself.
#include "benchtoolkit.h"
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "wind.h"

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>

namespace {

constexpr int kKeys = 60;
constexpr int kSegments = 10000;

using Toolkit = BenchToolkit;

void BM_PanelOfSixtyKeys(benchmark::State &state) {
    Toolkit t;
    int font = FontLookup("face:MS Sans Serif!height:100!bold:0!italic:0!setwidth:1");
    for (auto _ : state) {
        GC *gc = GetWindowGC(t.top);
        SetGCFont(font, gc);
        for (int k = 0; k < kKeys; k++) {
            int x = 8 + (k % 10) * 60, y = 8 + (k / 10) * 40;
            SetForeground(0x000000, gc);
            FillBox(x, y, x + 51, y + 31, gc);
            SetForeground(0xC0C0C0, gc);
            FillBox(x + 1, y + 1, x + 50, y + 30, gc);
            SetForeground(0x000000, gc);
            SetBackground(0xC0C0C0, gc);
            MovePen(x + 16, y + 9, gc);
            DrawString("M+", gc);
        }
        ReleaseGC(gc);
    }
}
BENCHMARK(BM_PanelOfSixtyKeys);

void BM_Polyline10000(benchmark::State &state) {
    Toolkit t;
    for (auto _ : state) {
        GC *gc = GetWindowGC(t.top);
        SetForeground(0xFF0000, gc);
        MovePen(0, 200, gc);
        for (int i = 1; i <= kSegments; i++)
            DrawLine(i * 600 / kSegments, 200 + (int)(150 * std::sin(i * 0.01)), gc);
        ReleaseGC(gc);
    }
}
BENCHMARK(BM_Polyline10000);

// The peer: cairo stroking the same 10 000 segments as one path on an image surface.
void BM_CairoPolyline10000(benchmark::State &state) {
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 648, 520);
    for (auto _ : state) {
        cairo_t *cr = cairo_create(s);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_move_to(cr, 0.5, 200.5);
        for (int i = 1; i <= kSegments; i++)
            cairo_line_to(cr, i * 600 / kSegments + 0.5,
                          200 + (int)(150 * std::sin(i * 0.01)) + 0.5);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_destroy(cr);
    }
    cairo_surface_destroy(s);
}
BENCHMARK(BM_CairoPolyline10000);

} // namespace
