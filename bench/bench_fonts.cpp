// Fonts on the headless host: a lookup that hits the cache, CharWidth and StringWidth of a
// 40-character line from the cached widths, and drawing that line (opaque box and glyphs).
// The peer is the same line measured by cairo itself (cairo_text_extents on a toy font), to
// quote the cache's gain against.
#include "benchtoolkit.h"
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "wind.h"

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr char kLine[] = "The quick brown fox jumps over 123 dogs."; // 40 characters
constexpr char kSpec[] = "face:helvetica!height:100!bold:0!italic:0!setwidth:1";

struct Toolkit : BenchToolkit {
    int font = -1;
    Toolkit() : BenchToolkit(80, 20) { font = FontLookup(kSpec); }
};

void BM_FontLookupHit(benchmark::State &state) {
    Toolkit t;
    for (auto _ : state) {
        int index = FontLookup(kSpec);
        benchmark::DoNotOptimize(index);
        DeleteFont(index);
    }
}
BENCHMARK(BM_FontLookupHit);

void BM_CharWidth(benchmark::State &state) {
    Toolkit t;
    GC *gc = GetWindowGC(t.top);
    SetGCFont(t.font, gc);
    int c = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetCharWidth(32 + (c++ & 63), t.font, gc));
    }
    ReleaseGC(gc);
}
BENCHMARK(BM_CharWidth);

void BM_StringWidth40(benchmark::State &state) {
    Toolkit t;
    GC *gc = GetWindowGC(t.top);
    SetGCFont(t.font, gc);
    for (auto _ : state)
        benchmark::DoNotOptimize(StringWidth(kLine, t.font, gc));
    ReleaseGC(gc);
}
BENCHMARK(BM_StringWidth40);

// The peer: cairo measuring the same line with its own text API.
void BM_CairoTextExtents40(benchmark::State &state) {
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8);
    cairo_t *cr = cairo_create(s);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    for (auto _ : state) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, kLine, &e);
        benchmark::DoNotOptimize(e.x_advance);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}
BENCHMARK(BM_CairoTextExtents40);

void BM_DrawLine40(benchmark::State &state) {
    Toolkit t;
    GC *gc = GetWindowGC(t.top);
    SetGCFont(t.font, gc);
    const HostOps *h = WindowHost();
    h->setTextColor(gc->device, 0x000000);
    h->setBackColor(gc->device, 0xFFFFFF);
    for (auto _ : state)
        h->textOut(gc->device, 10, 10, kLine, (int)strlen(kLine), 0);
    ReleaseGC(gc);
}
BENCHMARK(BM_DrawLine40);

} // namespace
