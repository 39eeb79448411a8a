// Drawing through a GC on the headless host, checked on the pixels: lines with their end
// pixels, inclusive fills, units, clipping of absurd coordinates, text boxes, clearing to the end
// of the line; colours on true-colour and 8-bit palette screens.
#include "windtest.h"

#include "fonts.h"
#include "gdi.h"
#include "host.h"

#include <cstring>
#include <string>
#include <vector>

using namespace windtest;

namespace {

constexpr int kInk = 0x0000FF; // red, as a Color
constexpr int64_t kInkRgb = 0xFF0000;

class GdiTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        top = Top("main", kWindowFramed, 0, 0, 39, 19); // 320 x 260 client pixels
        ShowWindowTree(top);
    }
    // A fresh white window and its GC, drawing in red.
    GC *Fresh() {
        GC *gc = GetWindowGC(top);
        EXPECT_NE(nullptr, gc);
        SetForeground(0xFFFFFF, gc);
        FillBox(0, 0, 319, 259, gc);
        SetForeground(kInk, gc);
        return gc;
    }
    int Count(int64_t rgb) {
        int n = 0;
        for (int y = 0; y < 260; y++)
            for (int x = 0; x < 320; x++)
                n += HeadlessPixel(top->host, x, y) == rgb;
        return n;
    }
    // A coordinate in those units as pixels at the window's 96 dpi.
    static int DeviceUnits(int v, int units) { return units == kUnitsPoints ? v * 96 / 72 : v; }
    Window *top = nullptr;
};

TEST_F(GdiTest, LinesDrawBothEndsAndFillsIncludeBothCorners) {
    struct Case {
        const char *label;
        bool fill;
        int x1, y1, x2, y2;
        int pixels;
    } cases[] = {
        {"horizontal line", false, 0, 0, 10, 0, 11},
        {"horizontal line leftwards", false, 10, 3, 0, 3, 11},
        {"vertical line", false, 0, 0, 0, 10, 11},
        {"vertical line upwards", false, 4, 10, 4, 0, 11},
        {"diagonal line: the end pixel is left out", false, 0, 0, 10, 10, 10},
        {"a point", false, 5, 5, 5, 5, 1},
        {"one-pixel fill", true, 2, 2, 2, 2, 1},
        {"fill", true, 2, 2, 11, 6, 50},
        {"a fill whose corners are the wrong way round", true, 5, 5, 4, 4, 0},
    };
    for (const Case &c : cases) {
        GC *gc = Fresh();
        if (c.fill) {
            FillBox(c.x1, c.y1, c.x2, c.y2, gc);
        } else {
            MovePen(c.x1, c.y1, gc);
            DrawLine(c.x2, c.y2, gc);
            EXPECT_EQ(c.x2, gc->currentX) << c.label;
        }
        ReleaseGC(gc);
        EXPECT_EQ(c.pixels, Count(kInkRgb)) << c.label;
    }
}

// Many lines in one go light exactly the pixels DrawLine lights one by one, in points as in
// pixels, whatever their directions and lengths.
TEST_F(GdiTest, LinesInOneGoLightWhatLineByLineLights) {
    const std::vector<int> lines = {
        0,   0,   300, 250, 10, 200, 10, 20, 40,  30,  290, 30, 310, 250, 5,   3,   // mixed
        100, 100, 101, 140, 60, 60,  60, 60, -50, 120, 900, 80, 200, 10,  190, 255, // and more
    };
    const int count = static_cast<int>(lines.size() / 4);
    for (int units : {kUnitsPixels, kUnitsPoints}) {
        std::vector<int64_t> one, all;
        for (int pass = 0; pass < 2; pass++) {
            GC *gc = Fresh();
            SetUnits(units, gc);
            if (pass == 0) {
                for (int i = 0; i < count; i++) {
                    MovePen(lines[4 * i], lines[4 * i + 1], gc);
                    DrawLine(lines[4 * i + 2], lines[4 * i + 3], gc);
                }
            } else {
                DrawLines(lines.data(), count, gc);
                EXPECT_EQ(DeviceUnits(lines[4 * count - 2], units), gc->currentX);
            }
            ReleaseGC(gc);
            std::vector<int64_t> &pixels = pass == 0 ? one : all;
            for (int y = 0; y < 260; y++)
                for (int x = 0; x < 320; x++)
                    pixels.push_back(HeadlessPixel(top->host, x, y));
        }
        EXPECT_EQ(one, all) << "units " << units;
        EXPECT_GT(Count(kInkRgb), 900) << "units " << units;
    }
}

// A smooth path is anti-aliased: its edges take shades between the ink and the paper, and it
// keeps to where its points lie.
TEST_F(GdiTest, SmoothPathsAreAntiAliased) {
    GC *gc = Fresh();
    SetUnits(kUnitsPoints, gc);
    const double points[] = {10, 10, 100.5, 60.25, 200, 20};
    DrawSmoothPath(points, 3, 1.5, gc);
    ReleaseGC(gc);
    int shades = 0, ink = 0, away = 0;
    for (int y = 0; y < 260; y++)
        for (int x = 0; x < 320; x++) {
            const int64_t p = HeadlessPixel(top->host, x, y);
            const bool painted = p != 0xFFFFFF;
            shades += painted && p != kInkRgb && (p & 0xFF0000) == 0xFF0000;
            ink += painted;
            away += painted && (y > 90 || x > 275 || x < 10); // 60.25 points is 80 pixels down
        }
    EXPECT_GT(shades, 100);
    EXPECT_GT(ink, 300);
    EXPECT_EQ(0, away);
}

TEST_F(GdiTest, UnitsConvertToDevicePixels) {
    HostDevice *paper = WindowHost()->createMemoryDevice(100, 100, 600);
    GC *gc = wGETGC(0, kGCPrinter, paper, top);
    ASSERT_NE(nullptr, gc);
    struct Case {
        int units, x, y, px, py;
    } cases[] = {
        {kUnitsPixels, 72, 7, 72, 7},
        {kUnitsPoints, 72, 36, 600, 300},
        {kUnitsHundredthPoints, 7200, 720, 600, 60},
        {kUnitsCells, 3, 2, 24, 26},
    };
    for (const Case &c : cases) {
        SetUnits(c.units, gc);
        MovePen(c.x, c.y, gc);
        int dx, dy;
        WindowHost()->getCurrentPos(gc->device, &dx, &dy);
        EXPECT_EQ(c.px + gc->originX, dx) << c.units;
        EXPECT_EQ(c.py + gc->originY, dy) << c.units;
    }
    int w, h, dpiX, dpiY;
    SetUnits(kUnitsPoints, gc);
    GetResolution(&w, &h, &dpiX, &dpiY, gc);
    EXPECT_EQ(600, dpiY);
    EXPECT_EQ(gc->innerWidth * 72 / 600, w);
    ReleaseGC(gc);
    WindowHost()->deleteMemoryDevice(paper);
}

TEST_F(GdiTest, AbsurdCoordinatesAreClippedBeforeTheyAreDrawn) {
    // Four billion pixels long: only the column inside the window is coloured, without an
    // overflow (the sanitizer build checks) and without walking the length.
    GC *gc = Fresh();
    MovePen(5, -2000000000, gc);
    DrawLine(5, 2000000000, gc);
    MovePen(-2000000000, -2000000000, gc);
    DrawLine(2000000000, 2000000000, gc); // the diagonal through the window
    FillBox(300, -2147483647, 2147483647, 2147483647, gc);
    ReleaseGC(gc);
    for (int y = 0; y < 260; y++) {
        ASSERT_EQ(kInkRgb, HeadlessPixel(top->host, 5, y)) << y;
        ASSERT_EQ(0xFFFFFF, HeadlessPixel(top->host, 4, y == 4 ? 3 : y)) << y;
        ASSERT_EQ(kInkRgb, HeadlessPixel(top->host, 310, y)) << y;
    }
    EXPECT_EQ(kInkRgb, HeadlessPixel(top->host, 100, 100)); // on the diagonal
}

TEST_F(GdiTest, TextSitsInItsBoxAndMovesTheCurrentPosition) {
    GC *gc = Fresh();
    int font = FontLookup("face:helvetica!height:140");
    ASSERT_EQ(0, SetGCFont(font, gc));
    SetForeground(0x000000, gc);
    SetBackground(0x00FF00, gc); // green box
    MovePen(10, 10, gc);
    DrawString("Hg", gc);
    int width = StringWidth("Hg", font, gc), height = FontHeight(font, gc);
    EXPECT_EQ(10 + width, gc->currentX);
    // No ink above row 10; the box is exactly the measured width and the font's height.
    for (int x = 0; x < 320; x++)
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, x, 9)) << x;
    EXPECT_EQ(0x00FF00, HeadlessPixel(top->host, 10, 10));
    EXPECT_EQ(0x00FF00, HeadlessPixel(top->host, 10 + width - 1, 10));
    EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, 10 + width, 10));
    EXPECT_NE(0xFFFFFF, HeadlessPixel(top->host, 10, 10 + height - 1));
    EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, 10, 10 + height));
    // Clearing the rest of the line starts where the text ended.
    top->background = 0xFF0000; // blue
    ClearToEndOfLine(gc);
    EXPECT_EQ(0x0000FF, HeadlessPixel(top->host, 10 + width, 10));
    EXPECT_EQ(0x0000FF, HeadlessPixel(top->host, 319, 10 + height - 1));
    EXPECT_NE(0x0000FF, HeadlessPixel(top->host, 10 + width - 1, 10));
    // A Latin-1 byte that is no UTF-8 does not stop later drawing.
    MovePen(10, 100, gc);
    DrawString("\xE9x", gc);
    SetForeground(kInk, gc);
    FillBox(200, 200, 209, 209, gc);
    ReleaseGC(gc);
    EXPECT_EQ(kInkRgb, HeadlessPixel(top->host, 205, 205));
}

int gPaintLoan; // use count of the GC the paint got, or -1 when it was not the paint's device
int PaintWithGC(Window *w) {
    GC *gc = GetWindowGC(w);
    gPaintLoan = gc && gc->device == WindowPaintDevice(w) ? gc->useCount : -1;
    ReleaseGC(gc);
    return 0;
}

TEST_F(GdiTest, APaintDrawsThroughTheWindowGCOnThePaintsDevice) {
    Window *a = Child("a", top), *b = Child("b", top, 0, 2, 4, 3);
    a->onPaint = PaintWithGC;
    gPaintLoan = 0;
    RepaintWindow(a);
    EXPECT_EQ(2, gPaintLoan); // the paint's loan, shared
    // While another window holds the GC, a paint gets none and draws nothing.
    GC *held = GetWindowGC(b);
    ASSERT_NE(nullptr, held);
    gPaintLoan = 0;
    RepaintWindow(a);
    EXPECT_EQ(-1, gPaintLoan);
    ReleaseGC(held);
    EXPECT_EQ(0, ScreenGC()->useCount);
}

TEST_F(GdiTest, ColoursOnATrueColourScreen) {
    int size = -1, exact = -1, unused = 0;
    EXPECT_EQ(0x0000FFu, AllocColor(255, 0, 0, &size, &exact, &unused, 0));
    EXPECT_EQ(0, size);
    EXPECT_EQ(1, exact);
    EXPECT_EQ(-1, unused);
    EXPECT_EQ(0x00FF00u, AllocColor(-1, 300, 0, nullptr, nullptr, nullptr, 0)); // clamped
    int r, g, b;
    EXPECT_EQ(0, ColorComponents(0x804020, &r, &g, &b));
    EXPECT_EQ(0x20, r);
    EXPECT_EQ(0x40, g);
    EXPECT_EQ(0x80, b);
    EXPECT_EQ(1, ColorComponents(5 | kHostPaletteIndex, &r, &g, &b));
    EXPECT_EQ(0xC0C0C0u, SystemColor(kSysColorMenu));
    EXPECT_EQ(0u, SystemColor(17));
}

class PaletteTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        RestartOnAPaletteScreen();
    }
};

TEST_F(PaletteTest, AFullPaletteGivesTheNearestColourRoundTheHueCircle) {
    ASSERT_EQ(256, PaletteMode());
    int size, exact, unused;
    Color red = AllocColor(255, 0, 0, &size, &exact, &unused, 0);
    EXPECT_EQ(256, size);
    EXPECT_EQ(1, exact);
    EXPECT_TRUE(red & kHostPaletteIndex);
    Color magenta = AllocColor(255, 0, 255, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(red, AllocColor(255, 0, 0, nullptr, &exact, nullptr, 0)); // shared
    // Fill the rest with greys.
    for (int i = 0; unused >= 0; i++)
        AllocColor(i + 1, i + 1, i + 1, nullptr, nullptr, &unused, 0);
    ASSERT_EQ(-1, unused);
    // (255, 0, 8) has a hue of 358 degrees: 2 from red round the circle, not 358.
    EXPECT_EQ(red, AllocColor(255, 0, 8, nullptr, &exact, nullptr, 0));
    EXPECT_EQ(0, exact);
    EXPECT_NE(magenta, red);
    int r, g, b;
    EXPECT_EQ(0, ColorComponents(red, &r, &g, &b));
    EXPECT_EQ(255, r);
    EXPECT_EQ(0, g + b);
    // A grey never takes a colour at the distance of a grey: that distance counts double.
    Color grey = AllocColor(128, 128, 128, nullptr, nullptr, nullptr, 0);
    ColorComponents(grey, &r, &g, &b);
    EXPECT_TRUE(r == g && g == b);
    // The shadow is a palette colour too.
    ColorComponents(GetToolkitDefaults()->shadow, &r, &g, &b);
    EXPECT_EQ(0xC0 - 64, r);
}

TEST_F(PaletteTest, PaletteColoursReachThePixels) {
    Window *top = Top("main");
    ShowWindowTree(top);
    GC *gc = GetWindowGC(top);
    ASSERT_NE(nullptr, gc);
    SetForeground(AllocColor(0, 128, 255, nullptr, nullptr, nullptr, 0), gc);
    FillBox(0, 0, 9, 9, gc);
    ReleaseGC(gc);
    EXPECT_EQ(0x0080FF, HeadlessPixel(top->host, 5, 5));
}

} // namespace
