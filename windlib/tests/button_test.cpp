// Buttons, labels, menu items and the digit label on the headless host: clicks and keys through
// the real event loop, presses cancelled by moving off, a press synthesised while the mouse holds
// another button, menu items entered and hovered, and the painted pixels (the digit label's dots,
// a button's bevel, a toggle's mark while held).
#include "windtest.h"

#include "controls.h"
#include "dialog.h"
#include "gdi.h"
#include "keys.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace windtest;

namespace {

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;
constexpr Color kGrey = 0xC0C0C0;

int64_t Rgb(Color c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

int LogActivate(int, Window *w) {
    Note("activate " + NameOf(w));
    return 0;
}

void CloseIt(void *w) { CloseWindow((Window *)w); }

int Width(const Window *w) { return w->right - w->left + 1; }
int Height(const Window *w) { return w->bottom - w->top + 1; }

class ButtonTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        top = Top("main", kWindowFramed, 0, 0, 59, 29);
        top->background = kGrey;
    }
    // Runs the event loop until everything injected so far has been delivered (and `ms` of
    // virtual time have passed).
    void Settle(int ms = 100) {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + ms, CloseIt, runner);
        RunModal(runner);
    }
    Window *Button(const char *name, uint32_t flags, int row = 1) {
        Window *w = NewButton(1, row, 10, row + 1, name, flags, top);
        EXPECT_NE(nullptr, w);
        if (w)
            w->onActivate = LogActivate;
        return w;
    }
    void Press(Window *w, int down, int x = 10, int y = 5) {
        int sx, sy;
        HeadlessClientToScreen(w->host, x, y, &sx, &sy);
        HeadlessButton(0, down, sx, sy);
    }
    void MoveTo(Window *w, int x, int y) {
        int sx, sy;
        HeadlessClientToScreen(w->host, x, y, &sx, &sy);
        HeadlessPointerMove(sx, sy);
    }
    int Count(Window *w, int64_t rgb, int fromX = 0) {
        int n = 0;
        for (int y = 0; y < Height(w); y++)
            for (int x = fromX; x < Width(w); x++)
                n += HeadlessPixel(w->host, x, y) == rgb;
        return n;
    }
    Window *top = nullptr;
};

// ---- the digit label ----------------------------------------------------------------------------

// Every pixel of the label: black exactly on the dots of `rows` (boxes of d, or 2 x 2 for d 1).
void ExpectDots(Window *w, const std::vector<int> &rows, int d) {
    int y0 = (Height(w) - 13 * d - 12) / 2, reach = d == 1 ? 2 : d;
    std::set<std::pair<int, int>> lit;
    for (int r = 0; r < 13; r++)
        for (int c = 0; c < 8; c++)
            if (rows[(size_t)r] & (0x80 >> c))
                for (int dy = 0; dy < reach; dy++)
                    for (int dx = 0; dx < reach; dx++)
                        lit.insert({c * (d + 1) + dx, y0 + r * (d + 1) + dy});
    for (int y = 0; y < Height(w); y++)
        for (int x = 0; x < Width(w); x++)
            ASSERT_EQ(lit.count({x, y}) ? 0x000000 : 0xFFFFFF, HeadlessPixel(w->host, x, y))
                << NameOf(w) << " at " << x << "," << y;
}

TEST_F(ButtonTest, ADigitAndItsPointShareOneCellOfFourPixelDots) {
    Window *w = NewDigitLabel(10, 10, 49, 73, "7.", kBlack, kWhite, 1, top);
    ASSERT_NE(nullptr, w);
    ShowWindowTree(top);
    Settle();
    ASSERT_EQ(0, HeadlessSavePng(w->host, TestPicturePath("digit_label.png").c_str()));
    EXPECT_EQ(4, DigitLabelDotSize(w));
    EXPECT_EQ(39, w->right - w->left);
    EXPECT_EQ(64, Height(w));
    EXPECT_EQ(272, Count(w, 0x000000)); // 16 dots of the 7 and the point, 4 x 4 each
    // The 7 with the point at column 7 of the last row.
    ExpectDots(w, {0x00, 0x7E, 0x02, 0x04, 0x04, 0x08, 0x08, 0x10, 0x10, 0x20, 0x20, 0x20, 0x01},
               4);
}

TEST_F(ButtonTest, TheDotSizeIsTheLargestThatFitsTheWidthAskedFor) {
    struct Case {
        int width; // pixels asked for
        int dot;
        int pixels; // 0: the rectangle is in cells (8 pixels each)
    } cases[] = {
        {15, 1, 1}, {10, 1, 1}, {22, 1, 1}, {23, 2, 1},
        {40, 4, 1}, {46, 4, 1}, {47, 5, 1}, {40, 4, 0}, // cells 0 to 4
    };
    for (const Case &c : cases) {
        int right = c.pixels ? c.width - 1 : c.width / 8 - 1;
        Window *w =
            NewDigitLabel(0, 0, right, c.pixels ? 63 : 4, "8", kBlack, kWhite, c.pixels, top);
        ASSERT_NE(nullptr, w) << c.width;
        EXPECT_EQ(c.dot, DigitLabelDotSize(w)) << c.width;
        EXPECT_EQ(8 * c.dot + 7, w->right - w->left) << c.width;
        CloseWindow(w);
    }
}

TEST_F(ButtonTest, OtherCharactersShowTheFallbackAndAnEmptyTextNothing) {
    const std::vector<int> fallback = {0x00, 0x38, 0x44, 0x02, 0x02, 0x02, 0x04,
                                       0x08, 0x10, 0x10, 0x00, 0x10, 0x00};
    struct Case {
        const char *text;
        int width;
        std::vector<int> rows;
    } cases[] = {
        {"G", 40, fallback},
        {"?", 23, fallback},
        {"", 40, std::vector<int>(13, 0)},
        {" .", 40, std::vector<int>(13, 0)}, // the point only after a digit in the same cell
        {".", 15, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}}, // a 2 x 2 box at the right
        {"x", 15, {0x00, 0x00, 0x00, 0x82, 0x44, 0x28, 0x10, 0x28, 0x44, 0x82, 0x00, 0x00, 0x00}},
    };
    ShowWindowTree(top);
    for (const Case &c : cases) {
        Window *w = NewDigitLabel(0, 0, c.width - 1, 49, "digit", kBlack, kWhite, 1, top);
        ASSERT_NE(nullptr, w);
        SetWindowText(c.text, w);
        ShowWindowTree(w);
        Settle();
        ExpectDots(w, c.rows, DigitLabelDotSize(w));
        CloseWindow(w);
    }
}

// ---- pressing -----------------------------------------------------------------------------------

TEST_F(ButtonTest, ClicksActivateOnlyWhenTheReleaseEndsAPressOnTheButton) {
    struct Case {
        const char *what;
        uint32_t flags;
        bool moveOff; // the pointer leaves the button before the release
        int activations, state;
    } cases[] = {
        {"push button", 0, false, 1, 0},
        {"push button left", 0, true, 0, 0},
        {"toggle", kButtonToggle | kButtonCheckBox, false, 1, 1},
        {"toggle left", kButtonToggle | kButtonCheckBox, true, 0, 0},
        {"disabled push button", kWindowDisabled, false, 0, 0},
        {"disabled toggle", kButtonToggle | kWindowDisabled, false, 0, 0},
        {"label", kWindowKindLabel, false, 0, 1},
    };
    ShowWindowTree(top);
    for (const Case &c : cases) {
        gLog.clear();
        Window *b = Button(c.what, c.flags);
        ShowWindowTree(b);
        Press(b, 1);
        if (c.moveOff)
            MoveTo(b, Width(b) + 20, 5);
        Press(b, 0, c.moveOff ? Width(b) + 20 : 10);
        Settle();
        EXPECT_EQ(c.activations, (int)gLog.size()) << c.what;
        EXPECT_EQ(c.state, b->state) << c.what;
        EXPECT_EQ(nullptr, PressedButton()) << c.what;
        // Nothing is left over to spoil the next click.
        if (!(c.flags & (kWindowDisabled | kWindowKindLabel))) {
            gLog.clear();
            Press(b, 1);
            Press(b, 0);
            Settle();
            EXPECT_EQ(std::vector<std::string>{"activate " + std::string(c.what)}, gLog) << c.what;
        }
        b->onClose(b);
    }
}

// A message box that comes up while a button is held takes the pointer: the press is cancelled,
// so the release (wherever it lands) acts on nothing and the next click on any button works.
WindowValueProc gHeldPress;
int PressThenReport(int position, Window *w) {
    int r = gHeldPress(position, w);
    ReportError("shown while the button is held", "Held");
    return r;
}

TEST_F(ButtonTest, AMessageBoxWhileAButtonIsHeldCancelsThePress) {
    ShowWindowTree(top);
    Window *a = Button("a", 0, 1), *b = Button("b", 0, 4);
    ShowWindowTree(a);
    ShowWindowTree(b);
    gHeldPress = a->onLeftDown;
    a->onLeftDown = PressThenReport;
    Press(a, 1);
    Settle();
    EXPECT_EQ(1, HeadlessBoxCount());
    EXPECT_EQ(nullptr, PressedButton());
    EXPECT_EQ(0, a->state);
    gLog.clear();
    Press(b, 0); // the release lands on the other button
    Settle();
    EXPECT_TRUE(gLog.empty());
    Press(b, 1);
    Press(b, 0);
    Settle();
    EXPECT_EQ(std::vector<std::string>{"activate b"}, gLog);
}

// A right click while the left button holds a button ends the capture; when that button's left
// release never comes (it went to a window that was closed meanwhile), the next press of another
// button ends the stale press instead of being refused, as every later press would be.
TEST_F(ButtonTest, APressWhoseReleaseNeverCameDoesNotRefuseEveryLaterPress) {
    ShowWindowTree(top);
    Window *a = Button("a", 0, 1), *b = Button("b", 0, 4);
    ShowWindowTree(a);
    ShowWindowTree(b);
    const int inside = PackPosition(10, 5);
    PostEvent(kEventLeftDown, inside, a);
    PostEvent(kEventRightDown, inside, b);
    PostEvent(kEventRightUp, inside, b);
    Settle();
    EXPECT_EQ(a, PressedButton());
    EXPECT_EQ(nullptr, LoopCaptureWindow());
    gLog.clear();
    PostEvent(kEventLeftDown, inside, b);
    PostEvent(kEventLeftUp, inside, b);
    Settle();
    EXPECT_EQ(std::vector<std::string>{"activate b"}, gLog);
    EXPECT_EQ(0, a->state);
    EXPECT_EQ(nullptr, PressedButton());
}

TEST_F(ButtonTest, AHeldPushButtonIsSunkAndShaded) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    Window *b = Button("OK", kWindowBordered);
    ShowWindowTree(top);
    Settle();
    int right = Width(b) - 3, bottom = Height(b) - 3; // the drawing area's last pixels
    struct Look {
        int64_t topLeft, bottomRight, face;
    } raised = {Rgb(d->white), Rgb(d->black), Rgb(kGrey)},
      sunk = {Rgb(d->black), Rgb(d->white), Rgb(d->shadow)};
    auto expect = [&](const Look &look, const char *when) {
        EXPECT_EQ(Rgb(kGrey), HeadlessPixel(b->host, 0, 0)) << when; // the parent's band
        EXPECT_EQ(look.topLeft, HeadlessPixel(b->host, 2, 2)) << when;
        EXPECT_EQ(look.bottomRight, HeadlessPixel(b->host, right, bottom)) << when;
        EXPECT_EQ(look.face, HeadlessPixel(b->host, 4, Height(b) / 2)) << when;
    };
    expect(raised, "at rest");
    Press(b, 1);
    Settle();
    EXPECT_EQ(b, PressedButton());
    EXPECT_EQ(1, b->state);
    EXPECT_TRUE(gLog.empty());
    expect(sunk, "held");
    Press(b, 0);
    Settle();
    expect(raised, "released");
    EXPECT_EQ(std::vector<std::string>{"activate OK"}, gLog);
}

TEST_F(ButtonTest, ADisabledButtonWritesInTheShadowColour) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    Window *on = Button("Enabled", 0, 1), *off = Button("Disabled", kWindowDisabled, 4);
    ShowWindowTree(top);
    Settle();
    EXPECT_GT(Count(on, Rgb(d->black)), 0);
    EXPECT_EQ(0, Count(off, Rgb(d->black)));
    EXPECT_GT(Count(off, Rgb(d->shadow)), 0);
}

TEST_F(ButtonTest, TheCurrentItemOfADialogIsUnderlined) {
    Window *dialog = OpenWindow(1, 1, 30, 10, kBlack, kGrey, "dialog", kWindowKindDialog, top);
    ASSERT_NE(nullptr, dialog);
    Window *a = NewButton(1, 1, 10, 2, "Same", 0, dialog);
    Window *b = NewButton(1, 4, 10, 5, "Same", 0, dialog);
    ASSERT_TRUE(a && b);
    ShowWindowTree(top);
    Settle();
    int plain = Count(a, 0x000000);
    EXPECT_EQ(plain, Count(b, 0x000000));
    SetCurrentItem(a);
    Settle();
    EXPECT_GT(Count(a, 0x000000), plain);
    EXPECT_EQ(plain, Count(b, 0x000000));
}

TEST_F(ButtonTest, AToggleShowsItsNewStateWhileHeld) {
    Window *t = Button("T", kButtonToggle | kButtonCheckBox);
    ShowWindowTree(top);
    Settle();
    // The box is at the right end; the text at the left stays out of the count.
    int half = Width(t) / 2;
    int empty = Count(t, 0x000000, half);
    ASSERT_GT(empty, 0); // the box's frame
    Press(t, 1);
    Settle();
    EXPECT_EQ(0, t->state);
    int marked = Count(t, 0x000000, half);
    EXPECT_GT(marked, empty + 6) << "a tick three pixels wide";
    RepaintWindow(t); // an exposure while held
    EXPECT_EQ(marked, Count(t, 0x000000, half));
    EXPECT_TRUE(gLog.empty());
    Press(t, 0);
    Settle();
    EXPECT_EQ(1, t->state);
    EXPECT_EQ(marked, Count(t, 0x000000, half));
    EXPECT_EQ(std::vector<std::string>{"activate T"}, gLog);
    // Held again it shows the empty box, and the release unchecks it.
    Press(t, 1);
    Settle();
    EXPECT_EQ(empty, Count(t, 0x000000, half));
    Press(t, 0);
    Settle();
    EXPECT_EQ(0, t->state);
    EXPECT_EQ(empty, Count(t, 0x000000, half));
}

TEST_F(ButtonTest, AnOnPressButtonActivatesOnThePressAlone) {
    Window *b = Button("Step", kButtonOnPress);
    ShowWindowTree(top);
    Press(b, 1);
    Settle();
    EXPECT_EQ(std::vector<std::string>{"activate Step"}, gLog);
    EXPECT_EQ(1, b->state);
    Press(b, 0);
    Settle();
    EXPECT_EQ(std::vector<std::string>{"activate Step"}, gLog);
    EXPECT_EQ(0, b->state);
}

// The dialog's Return presses and releases a button with posted events while the mouse may
// hold another one: the loop hands both to the window holding the capture.
TEST_F(ButtonTest, APressPostedWhileTheMouseHoldsAnotherButtonLeavesNothingSunk) {
    struct Case {
        const char *what;
        bool moveOff; // the held press was cancelled first, giving the capture up
        std::vector<std::string> log;
    } cases[] = {
        // The posted press is refused (A is pressed); the posted release ends A's press, and
        // the mouse's own release then finds nothing pressed.
        {"held", false, {"activate A"}},
        {"cancelled", true, {"activate B"}},
    };
    ShowWindowTree(top);
    for (const Case &c : cases) {
        gLog.clear();
        Window *a = Button("A", 0, 1), *b = Button("B", 0, 4);
        ShowWindowTree(top);
        Press(a, 1);
        if (c.moveOff)
            MoveTo(a, Width(a) + 20, 5);
        Settle();
        PostEvent(kEventLeftDown, 0, b);
        PostEvent(kEventLeftUp, 0, b);
        Settle();
        Press(a, 0, c.moveOff ? Width(a) + 20 : 10);
        Settle();
        EXPECT_EQ(c.log, gLog) << c.what;
        EXPECT_EQ(0, a->state) << c.what;
        EXPECT_EQ(0, b->state) << c.what;
        EXPECT_EQ(nullptr, PressedButton()) << c.what;
        a->onClose(a);
        b->onClose(b);
    }
}

TEST_F(ButtonTest, ClosingAHeldButtonForgetsIt) {
    Window *a = Button("A", 0, 1), *b = Button("B", 0, 4);
    ShowWindowTree(top);
    Press(a, 1);
    Settle();
    ASSERT_EQ(a, PressedButton());
    a->onClose(a);
    EXPECT_EQ(nullptr, PressedButton());
    Press(b, 0); // the release of the press on the closed button
    Settle();
    Press(b, 1);
    Press(b, 0);
    Settle();
    EXPECT_EQ(std::vector<std::string>{"activate B"}, gLog);
}

TEST_F(ButtonTest, AFocusedButtonTakesSpaceAndReturnAndPassesOtherKeysOn) {
    Window *b = Button("B", 0);
    top->onKey = LogKey;
    ShowWindowTree(top);
    SetFocusWindow(b);
    for (int key : {(int)keySpace, 13, 9, (int)'a'})
        PostEvent(kEventKey, key, b);
    Settle();
    EXPECT_EQ((std::vector<std::string>{"activate B", "activate B", "key main 9", "key main 97"}),
              gLog);
    EXPECT_EQ(0, b->state);
}

TEST_F(ButtonTest, AWindowThatCannotBeMadeIsReportedAndLeavesNothing) {
    struct Case {
        const char *what, *message;
        Window *(*make)(Window *parent);
    } cases[] = {
        {"button", "New Button", [](Window *p) { return NewButton(1, 1, 10, 2, "b", 0, p); }},
        {"menu item", "New Button",
         [](Window *p) { return NewButtonPixels(0, 0, 99, 19, "m", kButtonSubMenu, p); }},
        {"label", "New Label", [](Window *p) { return NewLabel(1, 1, 10, 2, "l", 0, p); }},
        {"digit label", "New Label",
         [](Window *p) { return NewDigitLabel(0, 0, 39, 63, "7", kBlack, kWhite, 1, p); }},
    };
    for (const Case &c : cases) {
        HeadlessBoxClear();
        int windows = HeadlessWindowCount();
        HeadlessFailCreate(1);
        EXPECT_EQ(nullptr, c.make(top)) << c.what;
        HeadlessFailCreate(0);
        ASSERT_EQ(1, HeadlessBoxCount()) << c.what;
        EXPECT_STREQ(c.message, HeadlessBoxText(0)) << c.what;
        EXPECT_EQ(windows, HeadlessWindowCount()) << c.what;
        EXPECT_EQ(nullptr, top->chain) << c.what;
    }
}

// ---- the state by name --------------------------------------------------------------------------

TEST_F(ButtonTest, SetButtonCheckRepaintsOnlyAChange) {
    Window *t = Button("T", kButtonToggle);
    ShowWindowTree(top);
    Settle();
    int before = EventCount();
    EXPECT_EQ(0, SetButtonCheck("T", 0, top));
    EXPECT_EQ(before, EventCount());
    EXPECT_EQ(0, SetButtonCheck("T", 7, top));
    EXPECT_EQ(before + 1, EventCount());
    EXPECT_EQ(1, GetButtonCheck("T", top));
    EXPECT_EQ(0, SetButtonCheck("T", 1, top));
    EXPECT_EQ(before + 1, EventCount());
    EXPECT_EQ(1, t->state);
}

TEST_F(ButtonTest, UnknownNamesAreReportedAndChangeNothing) {
    Window *t = Button("T", kButtonToggle);
    t->state = 1;
    HeadlessBoxClear();
    EXPECT_EQ(1, SetButtonCheck("nope", 0, top));
    EXPECT_EQ(0, GetButtonCheck("nope", top));
    EXPECT_EQ(1, t->state);
    ASSERT_EQ(4, HeadlessBoxCount());
    for (int i : {1, 3}) {
        EXPECT_STREQ("SetButtonCheck Bad ID", HeadlessBoxText(i));
        EXPECT_STREQ("nope", HeadlessBoxCaption(i));
    }
}

// ---- menu items ---------------------------------------------------------------------------------

class MenuItemTest : public ButtonTest {
  protected:
    void SetUp() override {
        ButtonTest::SetUp();
        // A menu bar, its open pull-down and a sub-menu opened from that, as the menu code
        // chains them: each menu after the one it was opened from.
        bar = Menu("bar", kWindowMenuBar, 0, 0, 400, 25);
        file = Item("File", 0, bar, 0);
        pull = Menu("pull", kWindowPullDown, 0, 26, 150, 100);
        item = Item("New", 0, pull, 0);
        more = Item("More", kButtonSubMenu, pull, 1);
        sub = Menu("sub", kWindowPullDown, 151, 50, 300, 100);
        Item("Deep", 0, sub, 0);
        ShowWindowTree(top);
        Settle();
    }
    Window *Menu(const char *name, uint32_t flags, int l, int t, int r, int b) {
        Window *w = OpenWindowPixels(l, t, r, b, kBlack, kWhite, name, flags, top);
        EXPECT_NE(nullptr, w);
        return w;
    }
    Window *Item(const char *name, uint32_t flags, Window *menu, int row) {
        Window *w = NewButtonPixels(0, row * 20, 140, row * 20 + 19, name, flags, menu);
        EXPECT_NE(nullptr, w);
        if (w)
            w->onActivate = LogActivate;
        return w;
    }
    Window *bar = nullptr, *file = nullptr, *pull = nullptr, *item = nullptr, *more = nullptr,
           *sub = nullptr;
};

TEST_F(MenuItemTest, EnteringAnItemClosesTheMenusOpenedAfterItsOwnAndMakesItCurrent) {
    WindowRef subRef = WindowRefOf(sub), pullRef = WindowRefOf(pull);
    MoveTo(item, 30, 10);
    Settle();
    EXPECT_FALSE(WindowRefLive(subRef));
    ASSERT_TRUE(WindowRefLive(pullRef));
    EXPECT_EQ(item, pull->current);
    // The current item of a pull-down is a highlighted bar; the others keep their background.
    const ToolkitDefaults *d = GetToolkitDefaults();
    EXPECT_EQ(Rgb(d->titleBackground), HeadlessPixel(item->host, 1, 1));
    EXPECT_EQ(Rgb(kWhite), HeadlessPixel(more->host, 1, 1));
    // An item of the bar closes the pull-down opened from the bar.
    MoveTo(file, 30, 10);
    Settle();
    EXPECT_FALSE(WindowRefLive(pullRef));
    EXPECT_EQ(file, bar->current);
    EXPECT_TRUE(gLog.empty());
}

TEST_F(MenuItemTest, RestingOnTheRightEndOfASubMenuItemPressesIt) {
    struct Case {
        int x; // where the pointer rests
        int activations;
    } cases[] = {
        {30, 0},                             // on the text
        {Width(more) - Height(more) - 1, 0}, // just left of the end
        {Width(more) - Height(more) + 1, 1}, // on the end
        {Width(more) - 2, 1},                //
    };
    for (const Case &c : cases) {
        gLog.clear();
        MoveTo(item, 30, 10); // off the item, so the next move is a new rest
        MoveTo(more, c.x, 10);
        Settle(1500);
        EXPECT_EQ(c.activations, (int)gLog.size()) << c.x;
        EXPECT_EQ(0, more->state) << c.x;
    }
}

} // namespace
