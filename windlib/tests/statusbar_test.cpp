// Status bars on the headless host: docked at the bottom of the parent, fields laid out from the
// right, repainting only when a field's text changes (checked on the pixels), and the messages
// for what cannot be done.
#include "windtest.h"

#include "controls.h"

#include <set>

using namespace windtest;

namespace {

void CloseIt(void *w) { CloseWindow((Window *)w); }

// A toolkit colour as the headless host's pixels show it (0xRRGGBB).
int64_t Rgb(Color c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

int Width(const Window *w) { return w->right - w->left + 1; }
int Height(const Window *w) { return w->bottom - w->top + 1; }

class StatusBarTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        HeadlessBoxClear();
        top = Top("main", kWindowFramed, 0, 0, 59, 29);
        bar = NewStatusBar("status", top);
        ASSERT_NE(nullptr, bar);
        ASSERT_EQ(0, AddStatusField("mode", 5, bar));
        ASSERT_EQ(0, AddStatusField("line", 8, bar));
        mode = bar->chain;
        line = mode->chain;
        ShowWindowTree(top);
        Settle();
    }
    void Settle() {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + 100, CloseIt, runner);
        RunModal(runner);
    }
    // The pixels inside a field's frame.
    std::vector<int64_t> Inside(Window *field) {
        std::vector<int64_t> pixels;
        for (int y = 1; y < Height(field) - 1; y++)
            for (int x = 1; x < Width(field) - 1; x++)
                pixels.push_back(HeadlessPixel(field->host, x, y));
        return pixels;
    }
    Window *top = nullptr, *bar = nullptr, *mode = nullptr, *line = nullptr;
};

TEST_F(StatusBarTest, TheBarIsDockedAtTheBottomAndTheFieldsStartAtTheRight) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    int cellHeight = CellsToPixels(1, d->cellHeight);
    ASSERT_EQ(kWindowKindStatus, WindowKind(bar));
    ASSERT_EQ("mode", NameOf(mode));
    ASSERT_EQ("line", NameOf(line));
    struct Size {
        int width, height; // of the top window's client area
    } sizes[] = {{Width(top), Height(top)}, {600, 300}, {300, 200}};
    for (const Size &s : sizes) {
        MoveWindowTo(10, 10, s.width, s.height, 1, top);
        Settle();
        EXPECT_EQ(0, bar->left) << s.width;
        EXPECT_EQ(s.width, Width(bar)) << s.width;
        EXPECT_EQ(cellHeight + 4, Height(bar)) << s.width;
        EXPECT_EQ(s.height - 1, bar->bottom) << s.width;
        // The first field at the right, nine pixels in; the next one pixel to its left. Each
        // keeps the width asked for: (characters + 1) cells less a pixel.
        EXPECT_EQ(s.width - 10, mode->right) << s.width;
        EXPECT_EQ(CellsToPixels(6, d->cellWidth) - 1, Width(mode)) << s.width;
        EXPECT_EQ(mode->left - 2, line->right) << s.width;
        EXPECT_EQ(CellsToPixels(9, d->cellWidth) - 1, Width(line)) << s.width;
        EXPECT_EQ(cellHeight + 3, Height(mode)) << s.width;
        EXPECT_EQ(0, mode->top) << s.width;
    }
}

TEST_F(StatusBarTest, ANewTextRepaintsTheFieldAndTheSameTextNothing) {
    ASSERT_EQ(0, SetStatusField("mode", "", bar));
    Settle();
    // Empty, the field inside its frame is all background.
    std::vector<int64_t> empty = Inside(mode);
    EXPECT_EQ(std::set<int64_t>{Rgb(mode->background)},
              std::set<int64_t>(empty.begin(), empty.end()));

    ASSERT_EQ(0, SetStatusField("mode", "RUN", bar));
    EXPECT_EQ("RUN", std::string(mode->text));
    Settle();
    std::vector<int64_t> shown = Inside(mode);
    EXPECT_NE(empty, shown);
    int ink = 0; // the text is drawn smoothed: any pixel off the background is ink
    for (int64_t p : shown)
        ink += p != Rgb(mode->background);
    EXPECT_GT(ink, 10);

    ASSERT_EQ(0, EventCount());
    ASSERT_EQ(0, SetStatusField("mode", "RUN", bar));
    EXPECT_EQ(0, EventCount()); // nothing posted
    EXPECT_TRUE(mode->damageTop < 0 || mode->damageBottom < mode->damageTop);
    Settle();
    EXPECT_EQ(shown, Inside(mode));

    ASSERT_EQ(0, SetStatusField("mode", "", bar));
    Settle();
    EXPECT_EQ(empty, Inside(mode));
    ASSERT_EQ(0, HeadlessSavePng(top->host, TestPicturePath("statusbar.png").c_str()));
}

TEST_F(StatusBarTest, EveryFieldButTheLastIsFramed) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    EXPECT_EQ(Rgb(d->shadow), HeadlessPixel(mode->host, 3, 0));
    EXPECT_EQ(Rgb(d->white), HeadlessPixel(mode->host, 3, Height(mode) - 1));
    EXPECT_EQ(Rgb(line->background), HeadlessPixel(line->host, 3, 0));
    EXPECT_EQ(Rgb(line->background), HeadlessPixel(line->host, 3, Height(line) - 1));
}

TEST_F(StatusBarTest, WhatCannotBeDoneIsReported) {
    HeadlessBoxClear();
    EXPECT_EQ(nullptr, NewStatusBar("status", nullptr));
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("Status Bar:", HeadlessBoxText(0));
    EXPECT_STREQ("needs parent", HeadlessBoxCaption(0));

    HeadlessBoxClear();
    EXPECT_EQ(1, SetStatusField("nothing", "x", bar));
    EXPECT_EQ(1, SetStatusField("mode", nullptr, bar));
    EXPECT_EQ(1, SetStatusField("mode", "x", top)); // not a bar
    EXPECT_EQ(3, HeadlessBoxCount());
    EXPECT_STREQ("mode", mode->text); // unchanged
    EXPECT_EQ(1, AddStatusField("more", 4, top));
    EXPECT_EQ(1, AddStatusField("more", 4, nullptr));
}

} // namespace
