// Images from XPM texts and the caret, on the headless host: the reader's checks and the pixel
// layout it writes, drawing an image through a GC, allocation failures, and the caret the focus
// window shows and loses.
#include "windtest.h"

#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "image.h"

#include <cstring>
#include <string>
#include <vector>

using namespace windtest;

namespace {

class ImageTest : public WindTest {
  protected:
    Image *Read(const std::vector<const char *> &xpm, uint32_t none = 0x808080) {
        return ReadXPM(xpm.data(), (int)xpm.size(), none);
    }
    // Blue, green, red of pixel (x, y) of a 24-bit image, y from the top.
    std::string Bgr(const Image *im, int x, int y) {
        const unsigned char *p = ImageRow(im, y) + 3 * x;
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    }
};

TEST_F(ImageTest, TheReaderLaysPixelsOutBottomUpInWholeWords) {
    Image *im =
        Read({"10 3 3 1", ". c #00ffff", "x c None", "o c #102030", "..........", "xxxxx", "o?o"});
    ASSERT_NE(nullptr, im);
    EXPECT_EQ(16, im->width); // rounded up to a multiple of 8
    EXPECT_EQ(3, im->height);
    EXPECT_EQ(24, im->bitsPerPixel);
    EXPECT_EQ(kImageFromReader | 24u, im->format);
    EXPECT_EQ(ImageRowSize(16, 24) * 3, im->byteSize);
    EXPECT_EQ(48u, ImageRowSize(16, 24));
    EXPECT_EQ("255,255,0", Bgr(im, 0, 0));   // "#00ffff": red 0, green 255, blue 255
    EXPECT_EQ("255,255,0", Bgr(im, 9, 0));   //
    EXPECT_EQ("0,0,0", Bgr(im, 10, 0));      // columns past the XPM's width stay 0
    EXPECT_EQ("128,128,128", Bgr(im, 0, 1)); // "None": the given grey
    EXPECT_EQ("0,0,0", Bgr(im, 5, 1));       // a short row: the rest stays 0
    EXPECT_EQ("48,32,16", Bgr(im, 0, 2));    //
    EXPECT_EQ("255,255,0", Bgr(im, 1, 2));   // an unknown character takes colour 0
    // The first XPM row is the last row of the buffer.
    EXPECT_EQ(im->pixels + 2 * 48, ImageRow(im, 0));
    EXPECT_EQ(0, HeadlessBoxCount());
    FreeImage(im);
}

TEST_F(ImageTest, TheReaderRefusesWhatItDoesNotHandle) {
    struct Case {
        const char *label;
        std::vector<const char *> xpm;
        const char *first; // the first box's text
    } cases[] = {
        // clang-format off
        {"300 colours", {"1 1 300 1", ". c #000000", "."}, "XPM image error"},
        {"two characters per pixel", {"2 1 1 2", ".. c #000000", ".."}, "XPM image error"},
        {"a missing number", {"2 1 1", ". c #000000", ".."}, "XPM image error"},
        {"too wide", {"1025 1 1 1", ". c #000000", "."}, "XPM image error"},
        {"no width", {"0 1 1 1", ". c #000000", "."}, "XPM image error"},
        {"fewer colour lines than colours", {"1 1 2 1", ". c #000000"}, "XPM image error"},
        {"a monochrome colour", {"1 1 1 1", ". m #000000", "."}, "non-color XPM not supported yet"},
        {"a colour name", {"1 1 1 1", ". c red", "."}, "non-color XPM not supported yet"},
        {"None with more after it", {"1 1 1 1", ". c None x", "."}, "non-color XPM not supported yet"},
        // clang-format on
    };
    for (const Case &c : cases) {
        HeadlessBoxClear();
        EXPECT_EQ(nullptr, Read(c.xpm)) << c.label;
        ASSERT_GE(HeadlessBoxCount(), 1) << c.label;
        EXPECT_STREQ(c.first, HeadlessBoxText(0)) << c.label;
        EXPECT_STREQ("XPM image error", HeadlessBoxText(HeadlessBoxCount() - 1)) << c.label;
    }
}

TEST_F(ImageTest, EveryAllocationOfAnImageCanFail) {
    const char *messages[] = {"Prep Image - handle", "PutImage - Buffer", "BM Image handle"};
    for (int n = 1; n <= 3; n++) {
        HeadlessBoxClear();
        FailAllocation(n);
        EXPECT_EQ(nullptr, PutImage(10, 10, 24, nullptr, 0)) << n;
        ASSERT_GE(HeadlessBoxCount(), 1) << n;
        EXPECT_STREQ(messages[n - 1], HeadlessBoxText(0)) << n;
    }
    FailAllocation(0);
    EXPECT_EQ(nullptr, PutImage(0x7FFFFFFF, 0x7FFFFFFF, 32, nullptr, 0)); // cannot fit
}

TEST_F(ImageTest, TheIconDrawsThroughAGC) {
    Window *top = Top("main");
    ShowWindowTree(top);
    Image *icon = ReadXPM(kProgramIconXpm, kProgramIconLines, 0xFFFFFF);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(48, icon->width);
    GC *gc = GetWindowGC(top);
    ASSERT_NE(nullptr, gc);
    DrawImage(icon, 0, 0, 48, 48, 20, 10, gc);
    DrawImage(icon, 0, 0, 48, 48, 100000, -100000, gc); // nowhere on the window: nothing
    ReleaseGC(gc);
    EXPECT_EQ(0xFFFFFF, HeadlessPixel(top->host, 20, 10));           // "None" became white
    EXPECT_EQ(0x000000, HeadlessPixel(top->host, 20 + 6, 10 + 2));   // the outline
    EXPECT_EQ(0x00FFFF, HeadlessPixel(top->host, 20 + 20, 10 + 10)); // the display
    std::string shot = TestPicturePath("image_icon.png");
    EXPECT_EQ(0, HeadlessSavePng(top->host, shot.c_str()));
    FreeImage(icon);
    uint32_t argb[48 * 48];
    int w, h;
    ASSERT_EQ(0, XpmToArgb(kProgramIconXpm, kProgramIconLines, argb, 48 * 48, &w, &h));
    EXPECT_EQ(0u, argb[0]); // transparent corner
    EXPECT_EQ(0xFF00FFFFu, argb[10 * 48 + 20]);
    EXPECT_EQ(1, XpmToArgb(kProgramIconXpm, kProgramIconLines, argb, 100, &w, &h));
}

class PaletteImageTest : public ImageTest {
  protected:
    void SetUp() override {
        ImageTest::SetUp();
        RestartOnAPaletteScreen();
    }
};

TEST_F(PaletteImageTest, APaletteScreenGetsPaletteImages) {
    Image *im = Read({"2 1 2 1", "a c #ff0000", "b c #0000ff", "ab"});
    ASSERT_NE(nullptr, im);
    EXPECT_EQ(kImagePalette | kImageFromReader | 8u, im->format);
    EXPECT_EQ(0, ImageRow(im, 0)[0]);
    EXPECT_EQ(1, ImageRow(im, 0)[1]);
    Window *top = Top("main");
    ShowWindowTree(top);
    GC *gc = GetWindowGC(top);
    DrawImage(im, 0, 0, 2, 1, 5, 5, gc);
    ReleaseGC(gc);
    EXPECT_EQ(0xFF0000, HeadlessPixel(top->host, 5, 5));
    EXPECT_EQ(0x0000FF, HeadlessPixel(top->host, 6, 5));
    FreeImage(im);
}

// ---- the caret
// ------------------------------------------------------------------------------------

int WhitePaint(Window *w) {
    GC *gc = GetWindowGC(w);
    if (!gc)
        return 0;
    SetForeground(0xFFFFFF, gc);
    FillBox(0, 0, w->right - w->left, w->bottom - w->top, gc);
    ReleaseGC(gc);
    return 0;
}

TEST_F(ImageTest, TheFocusWindowShowsACaretAndLosesItWithTheFocus) {
    Window *top = Top("main");
    Window *e = Child("edit", top, 1, 1, 20, 2, kWindowKindText | kWindowTakesFocus);
    Window *f = Child("other", top, 1, 4, 20, 5, kWindowKindText | kWindowTakesFocus);
    e->onPaint = WhitePaint;
    f->onPaint = WhitePaint;
    ShowWindowTree(top);
    SetFocusWindow(f);
    SetFocusWindow(e);
    RepaintWindow(e); // hides the caret, paints, shows it
    int line = FontLineSpacing(0, nullptr);
    ASSERT_GT(line, 0);
    SetCaretPosition(10, 0, e);
    RepaintWindow(e);
    for (int y = 0; y < line; y++) {
        EXPECT_EQ(0x000000, HeadlessPixel(e->host, 10, y)) << y;
        EXPECT_EQ(0x000000, HeadlessPixel(e->host, 11, y)) << y;
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(e->host, 12, y)) << y;
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(e->host, 9, y)) << y;
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(e->host, 0, y)) << y; // the old place is clean
    }
    EXPECT_EQ(0xFFFFFF, HeadlessPixel(e->host, 10, line));
    // The focus moves away: no caret pixels are left.
    SetFocusWindow(f);
    RepaintWindow(e);
    for (int y = 0; y < line; y++)
        EXPECT_EQ(0xFFFFFF, HeadlessPixel(e->host, 10, y)) << y;
}

} // namespace
