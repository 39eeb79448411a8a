// Dialogs and menus on the headless host: descriptions good and bad, the keys of a dialog typed
// through the real key path, the named items, the current item, the painter's pixels, the
// button row, and menus (the pending description's limit, placement, closing).
#include "windtest.h"

#include "buffer.h"
#include "controls.h"
#include "dialog.h"
#include "gdi.h"
#include "host.h"
#include "keys.h"
#include "textwind.h"

#include <cstring>
#include <string>
#include <vector>

using namespace windtest;

namespace {

constexpr uint32_t kButton = kWindowKindButton | kWindowTabStop;
constexpr uint32_t kEdit = kWindowKindText | kWindowTakesFocus | kWindowTabStop;

const DialogItem kEnd = {0, 0, 0, 0, 0, nullptr, nullptr, nullptr};

int LogActivate(int value, Window *w) {
    Note("activate " + NameOf(w) + " " + std::to_string(value));
    return 0;
}

void CloseIt(void *context) { CloseWindow((Window *)context); }

// A toolkit colour (red in the low byte) as the headless host reports pixels (0xRRGGBB).
int64_t Rgb(Color c) { return (int64_t)(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF)); }

std::vector<std::string> Boxes(void) {
    std::vector<std::string> boxes;
    for (int i = 0; HeadlessBoxText(i); i++)
        boxes.push_back(std::string(HeadlessBoxText(i)) + " / " + HeadlessBoxCaption(i));
    return boxes;
}

class DialogTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        HeadlessBoxClear();
        top = Top("main", kWindowFramed, 1, 1, 60, 30);
        ASSERT_NE(nullptr, top);
        ShowWindowTree(top);
    }
    // Runs the event loop until everything injected so far has been delivered.
    void Settle() {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + 100, CloseIt, runner);
        RunModal(runner);
    }
    void Key(int vk, int character, int held = 0) {
        if (held)
            HeadlessKeyDown(held);
        if (vk)
            HeadlessKeystroke(vk, character);
        else
            HeadlessChar(character);
        if (held)
            HeadlessKeyUp(held);
        Settle();
    }
    Window *top = nullptr;
};

// An inquiry-like dialog: a pre-filled field, a disabled field, two buttons and a label.
const DialogItem kAsk[] = {
    {2, 2, 30, 12, kDialogTitled, "Question", nullptr, nullptr},
    {2, 3, 20, 1, kEdit, "STRING", "0", nullptr},
    {2, 5, 20, 1, kEdit | kWindowDisabled, "OFF", "x", nullptr},
    {2, 7, 8, 2, kButton, "OK", "OK", nullptr},
    {12, 7, 8, 2, kButton, "Cancel", "Cancel", nullptr},
    {2, 10, 20, 1, kWindowKindLabel, "NOTE", "a note", nullptr},
    kEnd,
};

TEST_F(DialogTest, BadDescriptionsMakeNoWindow) {
    int before = HeadlessWindowCount();
    const DialogItem text[] = {{0, 0, 10, 5, kWindowKindText, "t", nullptr, nullptr}, kEnd};
    EXPECT_EQ(nullptr, CreateDialog(nullptr, top));
    EXPECT_EQ(nullptr, CreateDialog(text, top));
    EXPECT_EQ(before, HeadlessWindowCount());
    EXPECT_EQ((std::vector<std::string>{"Dialog create / no data",
                                        "Dialog create / Bad create parameter"}),
              Boxes());
}

TEST_F(DialogTest, ItemsOfAKindNoDialogHasStopTheBuildButKeepTheDialog) {
    const DialogItem odd[] = {{2, 2, 30, 12, kDialogPlain, "odd", nullptr, nullptr},
                              {1, 1, 5, 2, kButton, "first", nullptr, nullptr},
                              {1, 4, 5, 2, kWindowKindScroller, "bad", nullptr, nullptr},
                              {1, 7, 5, 2, kButton, "never", nullptr, nullptr},
                              kEnd};
    Window *d = CreateDialog(odd, top);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ((std::vector<std::string>{"Create Dialog / Inappropriate style",
                                        "Create Dialog / All children not made"}),
              Boxes());
    HeadlessBoxClear();
    EXPECT_NE(nullptr, FindNamedWindow("first", d));
    EXPECT_EQ(nullptr, FindNamedWindow("never", d));
}

TEST_F(DialogTest, AMenuTakesOnlyButtonsAndLabels) {
    const DialogItem menu[] = {{0, 0, 12, 0, kWindowPullDown, "menu", nullptr, nullptr},
                               {0, 0, 12, 1, kWindowKindText, "field", nullptr, nullptr},
                               {0, 0, 12, 1, kWindowKindLabel, "Title", nullptr, nullptr},
                               kEnd};
    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(menu));
    Window *m = PopUpMenu(PackPosition(4, 4), top);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ((std::vector<std::string>{"New Menu / Illegal item type"}), Boxes());
    HeadlessBoxClear();
    Window *label = FindNamedWindow("Title", m);
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(kWindowKindButton, WindowKind(label)); // a menu item
}

// Each allocation of a dialog with every kind of item fails in turn: the dialog is either not
// made, with a message, or made with the items built so far (CreateWholeDialog: never short);
// nothing is left behind (the fixture counts what stays allocated).
TEST_F(DialogTest, EveryAllocationOfADialogCanFail) {
    const DialogItem desc[] = {
        {2, 2, 30, 12, kDialogTitled, "All", nullptr, nullptr},
        {2, 3, 20, 1, kEdit, "STRING", "0", nullptr},
        {2, 5, 20, 3, kWindowKindList | kWindowTabStop, "LIST", "one\ntwo", nullptr},
        {2, 9, 8, 2, kButton, "OK", "OK", nullptr},
        {12, 9, 8, 2, kWindowKindLabel, "NOTE", "a note", nullptr},
        kEnd,
    };
    struct Creator {
        Window *(*create)(const DialogItem *, Window *);
        bool whole;
    };
    for (const Creator &c : {Creator{CreateDialog, false}, Creator{CreateWholeDialog, true}}) {
        int made = 0, refused = 0, incomplete = 0;
        for (int n = 1;; n++) {
            HeadlessBoxClear();
            FailAllocation(n);
            Window *d = c.create(desc, top);
            bool failed = failAllocTriggered();
            FailAllocation(0);
            if (!failed) { // every allocation succeeded: the sweep is over
                ASSERT_NE(nullptr, d);
                EXPECT_NE(nullptr, FindNamedWindow("NOTE", d));
                EXPECT_TRUE(DialogComplete(desc, d));
                CloseWindow(d);
                break;
            }
            EXPECT_GE(HeadlessBoxCount(), 1) << n;
            if (d) {
                made++;
                incomplete += !DialogComplete(desc, d); // returned as far as it was built
                CloseWindow(d);
            } else {
                refused++;
            }
            ASSERT_LT(n, 200);
        }
        EXPECT_GT(refused, 0) << c.whole;
        if (c.whole) {
            EXPECT_EQ(0, incomplete);
        } else {
            EXPECT_GT(made, 0);
            EXPECT_GT(incomplete, 0);
        }
    }
}

TEST_F(DialogTest, ATopLevelDialogWithoutAFrameGetsTheHostCaptionInsteadOfItsTitleRows) {
    const DialogItem desc[] = {{3, 4, 20, 10, kDialogTitled, "Alone", nullptr, nullptr},
                               {1, 3, 5, 2, kButton, "OK", nullptr, nullptr},
                               kEnd};
    Window *d = CreateDialog(desc, nullptr);
    ASSERT_NE(nullptr, d);
    const ToolkitDefaults *t = GetToolkitDefaults();
    EXPECT_TRUE(d->flags & kWindowFramed);
    EXPECT_TRUE(HostStyleFramed(HeadlessStyle(d->host)));
    EXPECT_EQ(CellsToPixels(8, t->cellHeight), d->bottom - d->top + 1); // 10 rows less 2
    EXPECT_EQ(CellsToPixels(20, t->cellWidth), d->right - d->left + 1);
    Window *ok = FindNamedWindow("OK", d);
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(CellsToPixels(1, t->cellHeight), ok->top); // moved up 2 rows
    EXPECT_EQ(CellsToPixels(1, t->cellWidth), ok->left);
}

TEST_F(DialogTest, AnOwnedDialogIsAManagedPopUpOfItsFrameAndAMenuFloats) {
    Window *inner = Child("inner", top, 2, 2, 20, 10, kWindowKindText);
    Window *d = CreateDialog(kAsk, inner);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(top, d->parent); // up to the framed ancestor
    uint32_t style = HeadlessStyle(d->host);
    EXPECT_FALSE(style & kHostStyleChildBit);
    EXPECT_FALSE(style & kHostStyleFloatBit);
    EXPECT_EQ(top->host, HeadlessOwner(d->host));

    const DialogItem menu[] = {{0, 0, 12, 0, kWindowPullDown, "menu", nullptr, nullptr},
                               {0, 0, 12, 1, kWindowKindButton, "Open", nullptr, nullptr},
                               kEnd};
    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(menu));
    Window *m = PopUpMenu(PackPosition(10, 10), top);
    ASSERT_NE(nullptr, m);
    EXPECT_TRUE(HeadlessStyle(m->host) & kHostStyleFloatBit);
}

TEST_F(DialogTest, ADialogIsPlacedInsideTheDesktop) {
    const DialogItem far[] = {{1000, 1000, 30, 12, kDialogPlain, "far", nullptr, nullptr}, kEnd};
    Window *d = CreateDialog(far, top);
    ASSERT_NE(nullptr, d);
    HostRect r;
    WindowHost()->getWindowRect(d->host, &r);
    const ToolkitDefaults *t = GetToolkitDefaults();
    EXPECT_LE(r.right, t->desktopRight);
    EXPECT_LE(r.bottom, t->desktopBottom);
    EXPECT_GE(r.left, t->desktopLeft);
}

// ---- keys ---------------------------------------------------------------------------------------

TEST_F(DialogTest, TypingOverAPreFilledAnswerReplacesIt) {
    Window *d = CreateDialog(kAsk, top);
    ASSERT_NE(nullptr, d);
    Window *field = FindNamedWindow("STRING", d);
    EXPECT_EQ(field, d->current);
    ShowDialog(d);
    EXPECT_EQ(field, FocusWindow());
    Key(0, '3');
    char text[32];
    ASSERT_EQ(0, GetItemText("STRING", text, sizeof text, d));
    EXPECT_STREQ("3", text);
}

TEST_F(DialogTest, TabCyclesThroughTheUsableTabStopsBothWays) {
    Window *d = CreateDialog(kAsk, top);
    ASSERT_NE(nullptr, d);
    ShowDialog(d);
    Window *field = FindNamedWindow("STRING", d), *ok = FindNamedWindow("OK", d),
           *cancel = FindNamedWindow("Cancel", d);
    std::vector<Window *> seen;
    for (int i = 0; i < 4; i++) {
        Key(kHostKeyTab, '\t');
        seen.push_back(d->current);
    }
    EXPECT_EQ((std::vector<Window *>{ok, cancel, field, ok}), seen); // "OFF" is disabled
    EXPECT_EQ(ok, FocusWindow()); // a button made current takes the keys
    Key(kHostKeyTab, '\t', kHostKeyShift);
    EXPECT_EQ(field, d->current);
    EXPECT_EQ(field, FocusWindow());
    Key(kHostKeyTab, '\t', kHostKeyShift);
    EXPECT_EQ(cancel, d->current); // wraps back to the last
}

TEST_F(DialogTest, ReturnInAFieldPressesTheFirstButton) {
    Window *d = CreateDialog(kAsk, top);
    ASSERT_NE(nullptr, d);
    SetButtonFunction("OK", LogActivate, d);
    SetButtonFunction("Cancel", LogActivate, d);
    ShowDialog(d);
    Key(kHostKeyReturn, '\r');
    EXPECT_EQ((std::vector<std::string>{"activate OK 0"}), gLog);
    EXPECT_EQ(0, FindNamedWindow("OK", d)->state); // nothing left sunk
}

TEST_F(DialogTest, ReturnWhileTheMouseHoldsAButtonLeavesItToTheMouse) {
    Window *d = CreateDialog(kAsk, top);
    ASSERT_NE(nullptr, d);
    SetButtonFunction("OK", LogActivate, d);
    SetButtonFunction("Cancel", LogActivate, d);
    ShowDialog(d);
    Settle();
    Window *cancel = FindNamedWindow("Cancel", d);
    int sx, sy;
    HeadlessClientToScreen(cancel->host, 5, 5, &sx, &sy);
    HeadlessButton(0, 1, sx, sy);
    Key(kHostKeyReturn, '\r');
    EXPECT_TRUE(gLog.empty());
    HeadlessButton(0, 0, sx, sy);
    Settle();
    EXPECT_EQ((std::vector<std::string>{"activate Cancel " + std::to_string(PackPosition(5, 5))}),
              gLog);
    EXPECT_EQ(0, cancel->state);
    EXPECT_EQ(0, FindNamedWindow("OK", d)->state);
    EXPECT_EQ(nullptr, PressedButton());
}

TEST_F(DialogTest, EscapeAndControlCCancel) {
    // ^C in a field with selected text copies it, as everywhere: from a button it cancels.
    struct Case {
        int vk, character, held;
        bool onButton;
    } cases[] = {{kHostKeyEscape, 27, 0, false},
                 {kHostKeyEscape, 27, 0, true},
                 {'C', 3, kHostKeyControl, true}};
    for (const Case &c : cases) {
        Window *d = CreateDialog(kAsk, top);
        ASSERT_NE(nullptr, d);
        d->onClose = LogClose;
        ShowDialog(d);
        if (c.onButton)
            Key(kHostKeyTab, '\t');
        gLog.clear();
        Key(c.vk, c.character, c.held);
        EXPECT_EQ((std::vector<std::string>{"close Question"}), gLog) << c.character;
        EXPECT_FALSE(WindowIsLive(d));
    }
    // Without items a close event does it.
    const DialogItem empty[] = {{2, 2, 10, 5, kDialogPlain, "Empty", nullptr, nullptr}, kEnd};
    Window *d = CreateDialog(empty, top);
    ASSERT_NE(nullptr, d);
    ShowDialog(d);
    Key(kHostKeyEscape, 27);
    EXPECT_FALSE(WindowIsLive(d));
}

// ---- named items --------------------------------------------------------------------------------

TEST_F(DialogTest, NamedItemsAnswerWithTheirCodes) {
    Window *d = CreateDialog(kAsk, top);
    ASSERT_NE(nullptr, d);
    char text[8] = "zzzz";
    EXPECT_EQ(0, GetItemText("STRING", text, 1, d));
    EXPECT_STREQ("", text);
    EXPECT_EQ(2, GetItemText("STRING", text, 0, d));
    EXPECT_EQ(2, GetItemText("STRING", nullptr, 8, d));
    EXPECT_EQ(0, GetItemText("NOTE", text, sizeof text, d));
    EXPECT_STREQ("a note", text);
    EXPECT_EQ(0, GetItemText("Cancel", text, 4, d));
    EXPECT_STREQ("Can", text);

    EXPECT_EQ(0, SetItemText("STRING", "12345", 3, d));
    ASSERT_EQ(0, GetItemText("STRING", text, sizeof text, d));
    EXPECT_STREQ("123", text);
    EXPECT_EQ(0, SetItemText("NOTE", "new", 3, d));
    EXPECT_STREQ("new", FindNamedWindow("NOTE", d)->text);
    EXPECT_EQ(2, SetItemText("NOTE", nullptr, 3, d));

    EXPECT_EQ(2, SelectItemText("OK", 0, 1, d));
    EXPECT_EQ(0, SelectItemText("STRING", 1, 99, d));
    Buffer *b = TextDescOf(FindNamedWindow("STRING", d))->buffer;
    EXPECT_EQ(2, b->markColumn);
    EXPECT_EQ(3, b->markEndColumn); // cut to the text

    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(1, GetItemText("nothing", text, sizeof text, d));
    EXPECT_EQ(1, SetItemText("nothing", "x", 1, d));
    EXPECT_EQ(1, SelectItemText("nothing", 0, 1, d));
    EXPECT_EQ(nullptr, SetButtonFunction("nothing", LogActivate, d));
    EXPECT_EQ((std::vector<std::string>{
                  "Find Named Window: no ID / nothing", "Find Named Window: no ID / nothing",
                  "Find Named Window: no ID / nothing", "Find Named Window: no ID / nothing",
                  "SetButtonFunction Bad ID / nothing"}),
              Boxes());
}

TEST_F(DialogTest, NamesAreLookedUpOnlyAmongTheDialogsOwnItems) {
    Window *first = CreateDialog(kAsk, top);
    const DialogItem other[] = {{2, 2, 10, 5, kDialogPlain, "Other", nullptr, nullptr},
                                {1, 1, 5, 2, kButton, "Apply", nullptr, nullptr},
                                kEnd};
    Window *second = CreateDialog(other, top);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(nullptr, FindNamedWindow("Apply", first));
    EXPECT_NE(nullptr, FindNamedWindow("Apply", top));
    Key(0, 0); // settle
    // Return in the first dialog presses its own first button, never the later dialog's.
    SetButtonFunction("OK", LogActivate, first);
    second->current = nullptr;
    SetButtonFunction("Apply", LogActivate, second);
    ShowDialog(first);
    Key(kHostKeyReturn, '\r');
    EXPECT_EQ((std::vector<std::string>{"activate OK 0"}), gLog);
}

// ---- painting -----------------------------------------------------------------------------------

TEST_F(DialogTest, TheTitleStripAndBevelArePaintedOnlyWithoutAHostFrame) {
    const DialogItem titled[] = {{2, 2, 30, 10, kDialogTitled, "Title", nullptr, nullptr}, kEnd};
    Window *d = CreateDialog(titled, top);
    ASSERT_NE(nullptr, d);
    ShowDialog(d);
    Settle();
    const ToolkitDefaults *t = GetToolkitDefaults();
    int w = d->right - d->left, h = d->bottom - d->top;
    EXPECT_EQ(Rgb(t->titleBackground), HeadlessPixel(d->host, w - 6, 4));
    EXPECT_EQ(Rgb(t->white), HeadlessPixel(d->host, 0, h / 2));
    EXPECT_EQ(Rgb(t->black), HeadlessPixel(d->host, w, h / 2));
    EXPECT_EQ(Rgb(t->dialogBackground), HeadlessPixel(d->host, w / 2, h - 3));
    // The title's text is drawn in the strip: some pixel of its first rows is the text colour.
    int ink = 0;
    for (int x = 8; x < 60; x++)
        for (int y = 6; y < 20; y++)
            ink += HeadlessPixel(d->host, x, y) == Rgb(t->titleText);
    EXPECT_GT(ink, 10);

    const DialogItem framed[] = {
        {2, 2, 30, 10, kWindowFramed | kDialogTitled, "Framed", nullptr, nullptr}, kEnd};
    Window *f = CreateDialog(framed, top);
    ASSERT_NE(nullptr, f);
    ShowDialog(f);
    Settle();
    int fw = f->right - f->left;
    EXPECT_EQ(Rgb(t->dialogBackground), HeadlessPixel(f->host, fw / 2, 4));
    EXPECT_EQ(0, HeadlessSavePng(d->host, TestPicturePath("dialog_title.png").c_str()));
}

// ---- the button row -----------------------------------------------------------------------------

TEST_F(DialogTest, TheButtonRowIsFilledFromTheRight) {
    Window *row = OpenWindowPixels(0, 100, 199, 119, 0, 0xFFFFFF, "row",
                                   kWindowKindStatus | kWindowButtonRow, top);
    ASSERT_NE(nullptr, row);
    int widths[] = {40, 50, 60};
    std::vector<Window *> buttons;
    for (int w : widths)
        buttons.push_back(OpenWindowPixels(0, 0, w - 1, 15, 0, 0, "b", kWindowKindButton, row));
    LayoutButtonRow(top);
    // 200 wide: 191 to share, at most 63 each; each button's left is the room left less it.
    int lefts[] = {151, 100, 39};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(lefts[i], buttons[i]->left) << i;
        EXPECT_EQ(widths[i], buttons[i]->right - buttons[i]->left + 1) << i;
    }
    // Narrower: every button is cut to its share, and keeps its preferred width for later.
    MoveWindowTo(0, 100, 100, 20, 1, row);
    LayoutButtonRow(top);
    EXPECT_EQ(29, buttons[2]->right - buttons[2]->left + 1); // (91 - 3 + 1) / 3
    MoveWindowTo(0, 100, 200, 20, 1, row);
    LayoutButtonRow(top);
    EXPECT_EQ(60, buttons[2]->right - buttons[2]->left + 1);
}

// ---- menus --------------------------------------------------------------------------------------

TEST_F(DialogTest, ThePendingMenuHoldsSixtyThreeRecords) {
    ClearMenu();
    DialogItem item = {0, 0, 12, 1, kWindowKindButton, "item", nullptr, nullptr};
    DialogItem head = {0, 0, 12, 0, kWindowPullDown, "menu", nullptr, nullptr};
    ASSERT_EQ(0, AddMenuItem(&head));
    for (int i = 1; i < 63; i++)
        ASSERT_EQ(0, AddMenuItem(&item)) << i;
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(1, AddMenuItem(&item));
    EXPECT_EQ((std::vector<std::string>{"AddMenuItem: / Too many items"}), Boxes());
    Window *m = PopUpMenu(PackPosition(0, 0), top);
    ASSERT_NE(nullptr, m);
    int items = 0;
    for (Window *w = m->chain; w; w = w->chain)
        items += w->parent == m;
    EXPECT_EQ(62, items);
    CloseMenus();
    EXPECT_FALSE(WindowIsLive(m));
    // The pending description is empty again.
    EXPECT_EQ(nullptr, PopUpMenu(PackPosition(0, 0), top));
}

TEST_F(DialogTest, AMenusCloseClosesItsWindow) {
    Window *tape = Top("tape", kWindowFramed, 5, 5, 40, 20);
    ShowWindowTree(tape);
    const DialogItem bar[] = {{0, 0, 0, 0, kWindowMenuBar, "bar", nullptr, nullptr},
                              {0, 0, 5, 1, kWindowKindButton, "Close", "Close", nullptr},
                              kEnd};
    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(bar));
    Window *m = PopUpMenu(0, tape);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(tape->right - tape->left + 1, m->right - m->left + 1); // across the window
    ASSERT_NE(nullptr, SetButtonFunction("Close", CloseDialogButton, m));
    Click(FindNamedWindow("Close", m), 3, 3);
    Settle();
    EXPECT_FALSE(WindowIsLive(tape));
    EXPECT_TRUE(WindowIsLive(top));
}

// A menu bar item opens its pull-down below itself; moving onto another item of the bar closes
// it, and the menu's own items become current as the pointer enters them.
const DialogItem kFileMenu[] = {{0, 0, 12, 0, kWindowPullDown, "file menu", nullptr, nullptr},
                                {0, 0, 12, 1, kWindowKindButton, "Open", nullptr, nullptr},
                                {0, 0, 12, 1, kWindowKindButton, "Save", nullptr, nullptr},
                                kEnd};

int OpenFileMenu(int, Window *item) {
    ClearMenu();
    AddMenuItems(kFileMenu);
    Window *m = PopUpMenu(PackPosition(0, item->bottom - item->top + 1), item);
    Note(m ? "opened" : "not opened");
    return 0;
}

TEST_F(DialogTest, AMenuBarOpensPullDownsBelowItsItemsAndClosesThemWhenTheCursorMovesOn) {
    const DialogItem bar[] = {{0, 0, 0, 0, kWindowMenuBar, "bar", nullptr, nullptr},
                              {0, 0, 5, 1, kWindowKindButton, "File", nullptr, nullptr},
                              {0, 0, 5, 1, kWindowKindButton, "Edit", nullptr, nullptr},
                              kEnd};
    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(bar));
    Window *b = PopUpMenu(0, top);
    ASSERT_NE(nullptr, b);
    Window *file = FindNamedWindow("File", b), *edit = FindNamedWindow("Edit", b);
    ASSERT_NE(nullptr, file);
    ASSERT_NE(nullptr, edit);
    EXPECT_LT(file->right, edit->left); // left to right
    SetButtonFunction("File", OpenFileMenu, b);
    Settle();
    Click(file, 3, 3);
    Settle();
    ASSERT_EQ((std::vector<std::string>{"opened"}), gLog);
    Window *m = FindNamedWindow("file menu", top);
    ASSERT_NE(nullptr, m);
    const ToolkitDefaults *t = GetToolkitDefaults();
    EXPECT_EQ(top, m->parent);
    EXPECT_NEAR(file->left, m->left, CellsToPixels(1, t->cellWidth));
    EXPECT_GE(m->top, b->bottom - CellsToPixels(1, t->cellHeight));
    // Into the menu: its item becomes current.
    Window *save = FindNamedWindow("Save", m);
    int sx, sy;
    HeadlessClientToScreen(save->host, 4, 4, &sx, &sy);
    HeadlessPointerMove(sx, sy);
    Settle();
    EXPECT_EQ(save, m->current);
    // Onto the other item of the bar: the pull-down goes.
    HeadlessClientToScreen(edit->host, 4, 4, &sx, &sy);
    HeadlessPointerMove(sx, sy);
    Settle();
    EXPECT_FALSE(WindowIsLive(m));
    EXPECT_TRUE(WindowIsLive(b));
}

TEST_F(DialogTest, APullDownNearTheRightEdgeIsMovedInsideItsFrame) {
    const DialogItem menu[] = {{0, 0, 12, 0, kWindowPullDown, "menu", nullptr, nullptr},
                               {0, 0, 12, 1, kWindowKindButton, "One", nullptr, nullptr},
                               {0, 0, 12, 1, kWindowKindButton, "Two", nullptr, nullptr},
                               kEnd};
    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(menu));
    int width = top->right - top->left + 1;
    Window *m = PopUpMenu(PackPosition(width - 8, 5), top);
    ASSERT_NE(nullptr, m);
    EXPECT_LE(m->right, top->right - top->left);
    EXPECT_GE(m->left, 0);
    EXPECT_EQ(m, FocusWindow());
}

TEST_F(DialogTest, APressOutsideTheMenuOrEscapeClosesIt) {
    const DialogItem menu[] = {{0, 0, 12, 0, kWindowPullDown, "menu", nullptr, nullptr},
                               {0, 0, 12, 1, kWindowKindButton, "One", nullptr, nullptr},
                               kEnd};
    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(menu));
    Window *m = PopUpMenu(PackPosition(16, 16), top);
    ASSERT_NE(nullptr, m);
    Settle();
    Click(m, 3, 3); // inside: stays
    Settle();
    EXPECT_TRUE(WindowIsLive(m));
    Click(top, 300, 300);
    Settle();
    EXPECT_FALSE(WindowIsLive(m));

    ClearMenu();
    ASSERT_EQ(0, AddMenuItems(menu));
    m = PopUpMenu(PackPosition(16, 16), top);
    ASSERT_NE(nullptr, m);
    Key(kHostKeyEscape, 27);
    EXPECT_FALSE(WindowIsLive(m));
    EXPECT_EQ(top, FocusWindow());
}

TEST_F(DialogTest, RunningADialogModallyTellsTheHost) {
    Window *d = CreateDialog(kAsk, top);
    ASSERT_NE(nullptr, d);
    ShowDialog(d);
    HeadlessAt(HeadlessNow() + 50, CloseIt, d);
    bool modalSeen = false;
    struct Probe {
        Window *d;
        bool *seen;
    } probe = {d, &modalSeen};
    HeadlessAt(
        HeadlessNow() + 10,
        [](void *c) {
            Probe *p = (Probe *)c;
            *p->seen = HeadlessModal(p->d->host) == 1;
        },
        &probe);
    RunFor(d);
    EXPECT_TRUE(modalSeen);
}

} // namespace
