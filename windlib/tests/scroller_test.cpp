// Scrollers on the headless host: the thumb and jump arithmetic, real presses on the trough and
// the thumb (steps repeating while held, drags), a scroller over list boxes and text windows,
// its place beside the target, and the faults it reports.
#include "windtest.h"

#include "buffer.h"
#include "controls.h"
#include "fonts.h"
#include "textwind.h"

#include <cstring>
#include <string>

using namespace windtest;

namespace {

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;
constexpr int kTrough = 200; // a trough length the arithmetic below is worked out for
constexpr int kThumb = 39;   // three cells of 13 pixels

void CloseIt(void *w) { CloseWindow((Window *)w); }

struct Point {
    int x, y; // screen pixels
};
void PressAt(void *p) { HeadlessButton(0, 1, ((Point *)p)->x, ((Point *)p)->y); }
void ReleaseAt(void *p) { HeadlessButton(0, 0, ((Point *)p)->x, ((Point *)p)->y); }
void MoveTo(void *p) { HeadlessPointerMove(((Point *)p)->x, ((Point *)p)->y); }

Point ScreenPoint(Window *w, int x, int y) {
    Point p;
    HeadlessClientToScreen(w->host, x, y, &p.x, &p.y);
    return p;
}

std::string Lines(int n) {
    std::string text;
    for (int i = 1; i <= n; i++)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

class ScrollerTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        HeadlessBoxClear();
        ASSERT_EQ(0, BufferProlog(failAllocate, failRelease, nullptr, nullptr));
        top = Top("main", kWindowFramed, 0, 0, 59, 29);
    }
    // Runs the loop for `ms` of virtual time: whatever was injected or scheduled is delivered.
    void Settle(int ms = 100) {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + ms, CloseIt, runner);
        RunModal(runner);
    }
    // A list box of n items with the cursor on `line`, and a scroller at its right that
    // drives it.
    Window *List(int n, int line) {
        Window *list = NewListBox(1, 1, 30, 20, kBlack, kWhite, "list", 0, nullptr, top);
        EXPECT_NE(nullptr, list);
        std::string text = Lines(n);
        ListBoxInsert(text.c_str(), (int)text.size(), nullptr, list);
        ListBoxSelectLine(line, list);
        return list;
    }
    Window *ScrollerBeside(Window *target, int placement = kScrollerRight) {
        Window *s = NewScroller(placement, nullptr, target);
        EXPECT_NE(nullptr, s);
        return s;
    }
    // Makes the target `length` pixels tall; the scroller follows through the layout.
    void Resize(Window *target, int length) {
        MoveWindowTo(8, 8, 240, length, 1, target);
        ReadWindowGeometry(top);
    }
    // Holds the left button on a window pixel for `ms` of virtual time.
    void Hold(Window *w, int x, int y, int ms) {
        Point p = ScreenPoint(w, x, y);
        HeadlessAt(HeadlessNow() + 10, PressAt, &p);
        HeadlessAt(HeadlessNow() + 10 + ms, ReleaseAt, &p);
        Settle(ms + 200);
    }
    Window *top = nullptr;
};

int Length(const Window *w) { return w->bottom - w->top + 1; }

// ---- the arithmetic
// --------------------------------------------------------------------------------

TEST(ScrollerArithmetic, TheThumbStaysInsideTheTrough) {
    struct Case {
        int minimum, maximum, value, length, thumb, offset;
    } cases[] = {
        {1, 10, 1, kTrough, kThumb, 2},
        {1, 10, 10, kTrough, kThumb, 159}, // the far end, two pixels from it
        {1, 1, 1, kTrough, kThumb, 2},     // an empty range does not divide by zero
        {1, 10, 5, kTrough, kThumb, 4 * 161 / 9},
        {1, 10, 5, kThumb, kThumb, 0},      // no room: the thumb fills the trough
        {1, 10, 5, 20, kThumb, 0},          //
        {1, 10, 10, kThumb + 2, kThumb, 1}, // too little room for the margins
        {1, 2000000000, 2000000000, kTrough, kThumb, 159},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.offset, ScrollerThumbOffset(c.minimum, c.maximum, c.value, c.length, c.thumb))
            << c.minimum << ".." << c.maximum << " at " << c.value << " in " << c.length;
}

TEST(ScrollerArithmetic, AJumpTakesTheValueUnderThePointer) {
    struct Case {
        int position, minimum, maximum, length, thumb, value;
    } cases[] = {
        {19, 1, 10, kTrough, kThumb, 1},    // the thumb's centre at the start
        {0, 1, 10, kTrough, kThumb, 1},     // before the first centre
        {-500, 1, 10, kTrough, kThumb, 1},  //
        {180, 1, 10, kTrough, kThumb, 10},  // past the last centre
        {500, 1, 10, kTrough, kThumb, 10},  //
        {100, 1, 10, kTrough, kThumb, 6},   // 81 * 10 / 161 = 5, from 1
        {100, 11, 20, kTrough, kThumb, 16}, // the same from another minimum
        {100, 1, 10, kThumb, kThumb, 1},    // no room: the minimum
        {100, 5, 5, kTrough, kThumb, 5},    // an empty range
        {180, 1, 2000000000, kTrough, kThumb, 2000000000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value, ScrollerJumpValue(c.position, c.minimum, c.maximum, c.length, c.thumb))
            << c.position << " for " << c.minimum << ".." << c.maximum;
}

// ---- presses ------------------------------------------------------------------------------------

TEST_F(ScrollerTest, APressOnTheTroughAtTheThumbsCentreGivesItsValue) {
    Window *target = List(3, 1);
    Window *w = ScrollerBeside(target);
    ShowWindowTree(top);
    Resize(target, kTrough);
    Scroller *s = ScrollerOf(w);
    ASSERT_EQ(kTrough, Length(w));
    ASSERT_EQ(kThumb, Length(s->thumb));
    s->minimum = 1;
    s->maximum = 10;
    // Beside the thumb: a press on it would go to the thumb.
    int x = s->thumb->right + 1;
    ASSERT_LT(x, w->right - w->left);
    for (int v = 10; v >= 1; v--) {
        int centre = ScrollerThumbOffset(1, 10, v, kTrough, kThumb) + kThumb / 2;
        Click(w, x, centre);
        Settle();
        EXPECT_EQ(v, s->value);
        EXPECT_EQ(ScrollerThumbOffset(1, 10, v, kTrough, kThumb), s->thumb->top) << v;
    }
}

TEST_F(ScrollerTest, ATroughWithoutRoomForTheThumbIgnoresPressesAndDrags) {
    Window *target = List(3, 1);
    Window *w = ScrollerBeside(target);
    ShowWindowTree(top);
    Resize(target, kThumb);
    Scroller *s = ScrollerOf(w);
    s->maximum = 10;
    s->value = 5;
    ASSERT_EQ(0, s->thumb->top);
    ASSERT_EQ(kThumb, Length(s->thumb)); // it fills the trough
    int beside = s->thumb->right + 1;
    for (int y : {0, kThumb / 2, kThumb - 1}) {
        Click(w, beside, y);
        Click(s->thumb, 3, y);
        Point from = ScreenPoint(s->thumb, 3, y), to = ScreenPoint(s->thumb, 3, y + 30);
        HeadlessAt(HeadlessNow() + 10, PressAt, &from);
        HeadlessAt(HeadlessNow() + 20, MoveTo, &to);
        HeadlessAt(HeadlessNow() + 30, ReleaseAt, &to);
        Settle();
        EXPECT_EQ(5, s->value) << y;
        EXPECT_EQ(0, s->dragging) << y;
        EXPECT_EQ(0, s->thumb->top) << y;
    }
}

// A press on the thumb's ends steps by a line and repeats while held; the pointer stays put.
TEST_F(ScrollerTest, AStepOnTheThumbRepeatsWhileHeld) {
    Window *list = List(40, 20);
    Window *w = ScrollerBeside(list);
    UpdateScroller(w);
    ShowWindowTree(top);
    Settle();
    Scroller *s = ScrollerOf(w);
    Buffer *b = TextDescOf(list)->buffer;
    ASSERT_EQ(20, s->value);
    struct Case {
        int y, step; // a thumb pixel and the direction a press there goes
    } cases[] = {{2, -1}, {kThumb - 3, 1}};
    for (const Case &c : cases) {
        int before = s->value;
        Hold(s->thumb, 4, c.y, 30); // released before the first repeat
        EXPECT_EQ(before + c.step, s->value) << c.y;
        EXPECT_EQ(s->value, b->currentLine) << c.y;
        EXPECT_EQ(ScrollerThumbOffset(1, 40, s->value, Length(w), kThumb), s->thumb->top);

        before = s->value;
        Point pressed = ScreenPoint(s->thumb, 4, c.y);
        Hold(s->thumb, 4, c.y, 1000);
        int moved = (s->value - before) * c.step;
        EXPECT_GE(moved, 3) << c.y;
        EXPECT_EQ(s->value, b->currentLine) << c.y;
        int x, y;
        WindowHost()->getCursorPos(&x, &y);
        EXPECT_EQ(pressed.x, x) << c.y;
        EXPECT_EQ(pressed.y, y) << c.y;
    }
}

TEST_F(ScrollerTest, DraggingTheThumbToTheEndGoesToTheLastLine) {
    Window *list = List(40, 1);
    Window *w = ScrollerBeside(list);
    UpdateScroller(w);
    ShowWindowTree(top);
    Settle();
    Scroller *s = ScrollerOf(w);
    Window *thumb = s->thumb;
    Point from = ScreenPoint(thumb, 4, kThumb / 2), middle = ScreenPoint(w, 4, Length(w) / 2),
          end = ScreenPoint(w, 4, Length(w) + 50);
    HeadlessAt(HeadlessNow() + 10, PressAt, &from);
    HeadlessAt(HeadlessNow() + 20, MoveTo, &middle);
    Settle(30);
    EXPECT_EQ(1, thumb->state); // drawn pressed while dragged
    int halfway = s->value;
    EXPECT_GT(halfway, 15);
    EXPECT_LT(halfway, 25);
    HeadlessAt(HeadlessNow() + 10, MoveTo, &end);
    HeadlessAt(HeadlessNow() + 20, ReleaseAt, &end);
    Settle();
    EXPECT_EQ(0, thumb->state);
    EXPECT_EQ(40, s->value);
    EXPECT_EQ(40, TextDescOf(list)->buffer->currentLine);
    EXPECT_EQ(Length(w) - kThumb - 2, thumb->top);
}

// ---- over a text window
// ------------------------------------------------------------------------------

// The buffer's empty last line (where a list appends) is not a line to scroll to.
TEST_F(ScrollerTest, TenLinesWithTheCursorOnTheTenthPutTheThumbAtTheFarEnd) {
    struct Case {
        const char *what;
        bool list;
        std::string text;
    } cases[] = {
        {"list box", true, ""},
        {"text ending with a break", false, Lines(10)},
        {"text without a final break", false, Lines(10).substr(0, Lines(10).size() - 1)},
    };
    const ToolkitDefaults *d = GetToolkitDefaults();
    for (const Case &c : cases) {
        Buffer *b = nullptr;
        Window *target;
        if (c.list) {
            target = List(10, 10);
        } else {
            b = BufferCreate(nullptr, kCreateDetached);
            b->lineBreakMode = kBreakLineFeed;
            b->flags |= kBufInMemory;
            BufferInsert(1, 1, c.text.c_str(), (int)c.text.size(), b);
            BufferGoto(10, 1, b);
            target = NewTextWindow(1, 1, 30, 20, kBlack, kWhite, b, 0, top);
        }
        ASSERT_NE(nullptr, target) << c.what;
        Window *w = ScrollerBeside(target);
        UpdateScroller(w);
        ShowWindowTree(top);
        Settle();
        Scroller *s = ScrollerOf(w);
        EXPECT_EQ(10, s->maximum) << c.what;
        EXPECT_EQ(10, s->value) << c.what;
        int far = Length(w) - kThumb - 2;
        EXPECT_EQ(far, s->thumb->top) << c.what;
        // The thumb's raised edge (white above, black below) lies at the far end of the trough.
        EXPECT_EQ(kWhite, HeadlessPixel(w->host, 5, far)) << c.what;
        EXPECT_EQ(kBlack, HeadlessPixel(w->host, 5, far + kThumb - 1)) << c.what;
        EXPECT_NE(kWhite, HeadlessPixel(w->host, 5, far - 1)) << c.what;
        EXPECT_EQ((int64_t)d->white, HeadlessPixel(w->host, 5, Length(w) - 1)) << c.what;
        CloseWindow(w);
        CloseWindow(target);
        BufferFree(b);
    }
    ASSERT_EQ(0, HeadlessSavePng(top->host, TestPicturePath("scroller.png").c_str()));
}

TEST_F(ScrollerTest, ListChangesReachTheScroller) {
    Window *list = List(10, 1);
    Window *w = ScrollerBeside(list);
    UpdateScroller(w);
    Scroller *s = ScrollerOf(w);
    std::string more = Lines(10);
    ListBoxInsert(more.c_str(), (int)more.size(), nullptr, list);
    EXPECT_EQ(20, s->maximum);
    ListBoxSelectLine(15, list);
    EXPECT_EQ(15, s->value);
}

TEST_F(ScrollerTest, AJumpRecentresTheTargetAndAStepLetsThePaintScroll) {
    Window *list = List(40, 1);
    Window *w = ScrollerBeside(list);
    UpdateScroller(w);
    ShowWindowTree(top);
    Settle();
    Scroller *s = ScrollerOf(w);
    TextDesc *d = TextDescOf(list);
    int rows = d->rows;
    ASSERT_GE(rows, 4);
    ASSERT_EQ(1, d->topLine);
    s->action(30, kScrollerAbsolute, w);
    EXPECT_EQ(30, d->buffer->currentLine);
    EXPECT_EQ(30 - rows / 2, d->topLine);  // recentred at once
    s->action(rows, kScrollerAbsolute, w); // any jump recentres, even one to a shown line
    EXPECT_EQ(rows - rows / 2, d->topLine);
    ListBoxSelectLine(rows, list);
    s->action(-(rows - 1), kScrollerRelative, w); // a step of many lines is a jump too
    EXPECT_EQ(1, d->topLine);
    ListBoxSelectLine(rows, list); // the last row shown
    Settle();
    ASSERT_EQ(1, d->topLine);
    s->action(1, kScrollerRelative, w); // one past the last row
    EXPECT_EQ(rows + 1, d->buffer->currentLine);
    EXPECT_EQ(2, d->topLine); // scrolled by one line
    EXPECT_EQ(rows + 1, s->value);
}

TEST_F(ScrollerTest, AHorizontalScrollerMovesTheLeftOffsetUnderTheScrollLock) {
    Buffer *b = BufferCreate(nullptr, kCreateDetached);
    b->lineBreakMode = kBreakLineFeed;
    b->flags |= kBufInMemory;
    std::string line(400, 'm');
    BufferInsert(1, 1, line.c_str(), (int)line.size(), b);
    BufferGoto(1, 1, b);
    Window *target = NewTextWindow(1, 1, 30, 10, kBlack, kWhite, b, 0, top);
    Window *w = ScrollerBeside(target, kScrollerBelow);
    ShowWindowTree(top);
    Settle();
    UpdateScroller(w);
    Scroller *s = ScrollerOf(w);
    TextDesc *d = TextDescOf(target);
    EXPECT_EQ(1, s->value);
    EXPECT_EQ(256, s->maximum);
    int m = CharWidth('m', 0, nullptr);
    Click(w, w->right - w->left, 2); // the far end
    Settle();
    EXPECT_EQ(256, s->value);
    EXPECT_EQ(m * 255, d->leftOffset); // the paint left it there: the cursor is off to the left
    EXPECT_EQ(0, d->scrollLock);
    // Far out, the range grows to the offset.
    d->leftOffset = m * 999;
    UpdateScroller(w);
    EXPECT_EQ(1000, s->value);
    EXPECT_EQ(1000, s->maximum);
    CloseWindow(target);
    BufferFree(b);
}

// ---- placement and lifetime
// -------------------------------------------------------------------------

TEST_F(ScrollerTest, TheTroughSitsBesideTheTargetAndFollowsIt) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    int thick = CellsToPixels(2, d->cellWidth);
    Window *target = List(3, 1);
    struct Case {
        int placement;
        int left, top, right, bottom; // relative to the target's edges
    } cases[] = {
        {kScrollerRight, 1, 0, thick, 0},
        {kScrollerLeft, -thick, 0, -1, 0},
        {kScrollerBelow, 0, 1, 0, thick},
        {kScrollerAbove, 0, -thick, 0, -1},
        {kScrollerRight | kScrollerLeft, -thick, 0, -1, 0},
        {kScrollerBelow | kScrollerAbove, 0, -thick, 0, -1},
    };
    for (const Case &c : cases) {
        MoveWindowTo(40, 40, 200, 150, 1, target);
        Window *w = ScrollerBeside(target, c.placement);
        ASSERT_NE(nullptr, w);
        for (int move = 0; move < 2; move++) {
            // Left and top edges against the target's left and top, the others against its
            // right and bottom, unless the scroller lies across that side.
            bool vertical = c.placement & (kScrollerRight | kScrollerLeft);
            bool right = c.placement == kScrollerRight;
            bool below = c.placement == kScrollerBelow;
            EXPECT_EQ((vertical && right ? target->right : target->left) + c.left, w->left);
            EXPECT_EQ((!vertical && below ? target->bottom : target->top) + c.top, w->top);
            EXPECT_EQ((vertical && !right ? target->left : target->right) + c.right, w->right);
            EXPECT_EQ((!vertical && !below ? target->top : target->bottom) + c.bottom, w->bottom);
            MoveWindowTo(60, 50, 180, 120, 1, target);
            ReadWindowGeometry(top);
        }
        CloseWindow(w);
    }
}

TEST_F(ScrollerTest, TheRecordGoesHoweverTheScrollerCloses) {
    Window *target = List(3, 1);
    Window *a = ScrollerBeside(target);
    Window *b = ScrollerBeside(target, kScrollerBelow);
    ScrollerBeside(target, kScrollerLeft);
    CloseWindow(a);
    EXPECT_EQ(nullptr, ScrollerOf(a));
    CloseChild(b, top);
    EXPECT_EQ(nullptr, ScrollerOf(b));
    // The third goes with the top window; the fixture counts what is left.
}

TEST_F(ScrollerTest, FaultsAreReported) {
    Window *plain = Child("plain", top, 2, 2, 10, 10, kWindowKindLabel);
    Window *list = List(3, 1);
    Window *overPlain = ScrollerBeside(plain);
    Window *overList = ScrollerBeside(list);
    ASSERT_NE(nullptr, overPlain);
    ASSERT_NE(nullptr, overList);
    CloseWindow(list);
    struct Case {
        const char *what;
        void (*call)(Window *w);
        Window *window;
    } cases[] = {
        {"not a scroller", UpdateScroller, plain},
        {"a target without a buffer", UpdateScroller, overPlain},
        {"a target that closed", UpdateScroller, overList},
        {"the target of a window that is none",
         [](Window *w) { EXPECT_EQ(nullptr, ScrollerTarget(w)); }, plain},
    };
    for (const Case &c : cases) {
        HeadlessBoxClear();
        c.call(c.window);
        ASSERT_EQ(1, HeadlessBoxCount()) << c.what;
        EXPECT_EQ(0, strncmp("windlib\\src\\scroller Line ", HeadlessBoxText(0), 26)) << c.what;
        EXPECT_STREQ("ASSERT Failed", HeadlessBoxCaption(0)) << c.what;
    }
    EXPECT_EQ(1, SetScrollerFunction(nullptr, plain));
    EXPECT_EQ(0, SetScrollerFunction(nullptr, overPlain));

    HeadlessBoxClear();
    EXPECT_EQ(nullptr, NewScroller(kScrollerRight, nullptr, top)); // no parent
    EXPECT_EQ(nullptr, NewScroller(16, nullptr, plain));
    ASSERT_EQ(2, HeadlessBoxCount());
    EXPECT_EQ(0, strncmp("windlib\\src\\scroller Line ", HeadlessBoxText(0), 26));
    EXPECT_STREQ("New Scroller:", HeadlessBoxText(1));
    EXPECT_STREQ("bad placement", HeadlessBoxCaption(1));
}

TEST_F(ScrollerTest, CreationFailuresLeaveNothingBehind) {
    Window *list = List(3, 1);
    // Memory for the record and each window, then the host refusing the trough or the thumb.
    for (int n = 1; n <= 8; n++) {
        HeadlessBoxClear();
        if (n <= 6)
            FailAllocation(n);
        else
            HeadlessFailCreate(n - 6);
        Window *w = NewScroller(kScrollerRight, nullptr, list);
        FailAllocation(0);
        HeadlessFailCreate(0);
        if (w) {
            EXPECT_NE(nullptr, ScrollerOf(w)) << n;
            CloseWindow(w);
            continue;
        }
        ASSERT_GE(HeadlessBoxCount(), 1) << n;
        EXPECT_STREQ("New Scroller", HeadlessBoxText(HeadlessBoxCount() - 1)) << n;
    }
}

} // namespace
