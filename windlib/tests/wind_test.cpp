// The toolkit core on the headless host: prolog results and defaults, coordinates, opening and
// closing (chains, cascades, CloseChild, focus hand-over, allocation failures), texts,
// geometry, painting, scrolling and the reporters.
#include "dialog.h"
#include "windtest.h"

#include "fonts.h"

#include "host.h"

#include <cstring>

using namespace windtest;

namespace {

// ---- prolog and defaults ------------------------------------------------------------------------

TEST(WindowPrologResults, RefusesMissingFunctions) {
    WindowUseHost("headless");
    struct Case {
        const char *label;
        WindAllocFn allocate;
        WindReleaseFn release;
        WindReportFn report;
        int result;
        int reports;
    } cases[] = {
        {"no allocator", nullptr, free, ReportToTest, 1, 1},
        {"no release", malloc, nullptr, ReportToTest, 1, 1},
        {"neither, no report", nullptr, nullptr, nullptr, 1, 0},
        {"no report", malloc, free, nullptr, 1, 0},
        {"complete", malloc, free, ReportToTest, 0, 0},
    };
    for (const Case &c : cases) {
        gReports.clear();
        EXPECT_EQ(c.result, WindowProlog(0, nullptr, c.allocate, c.release, c.report)) << c.label;
        ASSERT_EQ((size_t)c.reports, gReports.size()) << c.label;
        if (c.reports) {
            EXPECT_EQ("Window Prolog: no malloc !", gReports[0]) << c.label;
        }
    }
    WindowEpilog();
}

// An unknown name is refused and leaves the earlier choice standing.
TEST(WindowPrologResults, UnknownHostNameIsRefused) {
    ASSERT_EQ(0, WindowUseHost("headless"));
    for (const char *name : {"wayland", "", "X11", "headless ", static_cast<const char *>(nullptr)})
        EXPECT_EQ(1, WindowUseHost(name)) << (name ? name : "null");
    ASSERT_EQ(0, WindowProlog(0, nullptr, malloc, free, ReportToTest));
    ASSERT_NE(nullptr, WindowHost());
    EXPECT_STREQ("headless", WindowHost()->name);
    WindowEpilog();
}

// Without a choice the toolkit starts on x11, whatever TORVA_HOST says: without a display it
// fails rather than fall back to the headless host. Run in a fresh process, since a choice
// once made holds for the rest of this one.
TEST(WindowPrologResults, WithoutAChoiceTheX11HostStarts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            setenv("TORVA_HOST", "headless", 1);
            int result = WindowProlog(0, nullptr, malloc, free, ReportToTest);
            exit(result == 3 && !WindowHost() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "cannot open display");
}

TEST(WindowPrologResults, DefaultTopRectangleFollowsTheDesktop) {
    WindowUseHost("headless");
    struct Case {
        int width, height;                      // headless screen
        int cells[4];                           // default top-window rectangle in cells
        int left, top, pixelWidth, pixelHeight; // what a top window opened at -1 gets
    } cases[] = {
        // 40 + 1280 * 4 / 8 = 680 -> cell 85, whose last pixel is 687: 648 wide, not 640.
        {1280, 1024, {5, 5, 85, 73}, 40, 65, 648, 897},
        {800, 600, {5, 3, 55, 43}, 40, 39, 408, 533},
    };
    for (const Case &c : cases) {
        HeadlessConfigure(c.width, c.height, 24);
        ASSERT_EQ(0, WindowProlog(0, nullptr, malloc, free, ReportToTest));
        const ToolkitDefaults *d = GetToolkitDefaults();
        EXPECT_EQ(c.cells[0], d->topLeft);
        EXPECT_EQ(c.cells[1], d->topTop);
        EXPECT_EQ(c.cells[2], d->topRight);
        EXPECT_EQ(c.cells[3], d->topBottom);
        Window *w = OpenWindow(-1, -1, 10, 10, 0, 0, "main", kWindowKindTop, nullptr);
        ASSERT_NE(nullptr, w);
        EXPECT_EQ(c.left, w->left);
        EXPECT_EQ(c.top, w->top);
        EXPECT_EQ(c.pixelWidth, w->right - w->left + 1);
        EXPECT_EQ(c.pixelHeight, w->bottom - w->top + 1);
        EXPECT_EQ(c.cells[0], w->cellLeft);
        EXPECT_EQ(c.cells[2], w->cellRight);
        WindowEpilog();
    }
    HeadlessConfigure(1280, 1024, 24);
}

TEST(WindowPrologResults, AnEightBitScreenHasAPalette) {
    WindowUseHost("headless");
    struct Case {
        int bits, palette;
    } cases[] = {{8, 256}, {24, 0}};
    for (const Case &c : cases) {
        HeadlessConfigure(1280, 1024, c.bits);
        ASSERT_EQ(0, WindowProlog(0, nullptr, malloc, free, ReportToTest));
        const HostOps *host = WindowHost();
        EXPECT_EQ(c.bits, host->getScreenCap(kHostCapBitsPerPixel));
        EXPECT_EQ(c.palette, host->getScreenCap(kHostCapPaletteSize));
        Window *w = OpenWindow(1, 1, 5, 5, 0, 0, "main", kWindowFramed, nullptr);
        HostDevice *device = host->getDevice(w->host);
        EXPECT_EQ(c.palette, host->deviceCap(device, kHostCapPaletteSize));
        EXPECT_EQ(96, host->deviceCap(device, kHostCapDpiY));
        host->releaseDevice(w->host, device);
        WindowEpilog();
    }
}

TEST_F(WindTest, DefaultsAfterProlog) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(0x80000, d->cellWidth);
    EXPECT_EQ(0xD0000, d->cellHeight);
    EXPECT_EQ(0, d->smallValues[0]);
    EXPECT_EQ(6, d->smallValues[1]);
    EXPECT_EQ(8, d->smallValues[2]);
    EXPECT_EQ(0, d->smallValues[3]);
    for (unsigned char flag : d->smallFlags)
        EXPECT_EQ(1, flag);
    EXPECT_EQ(0xC0C0C0u, d->dialogBackground);
    EXPECT_EQ(0x808080u, d->shadow); // 64 off each component of the dialog background
    EXPECT_EQ(1280, d->desktopRight);
    // An 8-pixel cell takes the middle column of the default font table.
    EXPECT_STREQ("face:Fixedsys!height:100!bold:0!italic:0!serif:0!setwidth:1",
                 d->fontSpec[kFontFixed]);
    EXPECT_STREQ("face:Courier New!height:110!bold:1!italic:0!serif:1!setwidth:1",
                 d->fontSpec[kFontBoldSerif]);
    EXPECT_STREQ("face:MS Sans Serif!height:120!bold:1!italic:0!serif:1!setwidth:1",
                 d->fontSpec[kFontBoldSans]);
    EXPECT_STREQ("face:MS Sans Serif!height:110!bold:0!italic:0!setwidth:1",
                 d->fontSpec[kFontSans]);
    EXPECT_STREQ("face:MS Sans Serif!height:90!bold:0!italic:0!setwidth:1",
                 d->fontSpec[kFontSmall]);
}

TEST_F(WindTest, HandingBackDefaultsCopiesValuesAndKeepsNewFontTexts) {
    ToolkitDefaults copy = *GetToolkitDefaults();
    static const char small[] = "face:Arial!height:80";
    copy.fontSpec[kFontSmall] = small;
    copy.smallValues[1] = 9;
    copy.shadow = 0x101010;
    ASSERT_EQ(0, SetToolkitDefaults(&copy));
    const ToolkitDefaults *d = GetToolkitDefaults();
    EXPECT_EQ(small, d->fontSpec[kFontSmall]);
    EXPECT_EQ(9, d->smallValues[1]);
    EXPECT_EQ(0x101010u, d->shadow);
}

// A program that gives the dialogs fonts of its own names them before the prolog: the
// toolkit's own are never made, and handing the same texts back replaces nothing.
TEST_F(WindTest, ChosenDefaultFontsAreMadeInsteadOfTheToolkitsOwn) {
    static const char bold[] = "face:helvetica!height:120!bold:0!italic:0!setwidth:1";
    static const char small[] = "face:helvetica!height:100!bold:0!italic:0!setwidth:1";
    SetDefaultFontSpec(kFontBoldSerif, bold);
    SetDefaultFontSpec(kFontSmall, small);
    WindowEpilog();
    Start(24);
    const ToolkitDefaults *d = GetToolkitDefaults();
    EXPECT_EQ(bold, d->fontSpec[kFontBoldSerif]);
    EXPECT_EQ(small, d->fontSpec[kFontSmall]);
    EXPECT_STREQ(bold, FontSpecText(d->fontIndex[kFontBoldSerif]));
    for (int i = 0; i < kFontCacheSize; i++) {
        const char *made = FontSpecText(i);
        EXPECT_TRUE(!made || !strstr(made, "Courier New")) << made;
        EXPECT_TRUE(!made || !strstr(made, "MS Sans Serif!height:90")) << made;
    }
    ToolkitDefaults copy = *d;
    int index = copy.fontIndex[kFontBoldSerif], uses = FontUseCount(index);
    ASSERT_EQ(0, SetToolkitDefaults(&copy));
    EXPECT_EQ(index, GetToolkitDefaults()->fontIndex[kFontBoldSerif]);
    EXPECT_EQ(uses, FontUseCount(index));
    // Without a choice the toolkit's own come back at the next prolog.
    SetDefaultFontSpec(kFontBoldSerif, nullptr);
    SetDefaultFontSpec(kFontSmall, nullptr);
    WindowEpilog();
    Start(24);
    EXPECT_STREQ("face:Courier New!height:110!bold:1!italic:0!serif:1!setwidth:1",
                 GetToolkitDefaults()->fontSpec[kFontBoldSerif]);
}

TEST_F(WindTest, SecondPrologStartsClean) {
    Window *top = Top("main");
    Window *item = Child("item", top, 0, 0, 4, 1, kWindowKindButton | kWindowTakesFocus);
    ASSERT_EQ(item, FocusWindow());
    ASSERT_EQ(0, AddIdleCallback([](Window *) { return 1; }, item));
    PostEvent(kEventRedraw, 0, top);
    static char *argv[] = {nullptr};
    ASSERT_EQ(0, WindowProlog(0, argv, failAllocate, failRelease, ReportToTest));
    EXPECT_EQ(nullptr, FocusWindow());
    EXPECT_EQ(nullptr, FirstTopWindow());
    EXPECT_EQ(0, EventCount());
    EXPECT_EQ(0, IdleCount());
    EXPECT_EQ(0, StopCounter());
    EXPECT_EQ(0, ModalDepth());
    EXPECT_EQ(0, HeadlessWindowCount());
}

// ---- coordinates --------------------------------------------------------------------------------

TEST(WindCoordinates, CellAndPixelConversions) {
    struct Case {
        int cells;
        int32_t size;
        int pixels, edge, edgeCells; // edgeCells: PixelsToCells(edge)
    } cases[] = {
        {0, 0x80000, 0, 7, 0},
        {9, 0x80000, 72, 79, 9},
        {9, 0xD0000, 117, 129, 9},
        {3, 0x88000, 25, 33, 3},                     // 8.5-pixel cells truncate
        {300000, 0x80000, 2400000, 2400007, 300000}, // needs a 64-bit product
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.pixels, CellsToPixels(c.cells, c.size)) << c.cells;
        EXPECT_EQ(c.edge, CellEdgeToPixels(c.cells, c.size)) << c.cells;
        EXPECT_EQ(c.edgeCells, PixelsToCells(c.edge, c.size)) << c.cells;
    }
    EXPECT_EQ(2, PixelsToCells(25, 0x88000));
    EXPECT_EQ(9, PixelsToCells(129, 0xD0000));
    EXPECT_EQ(268435, PixelsToCells(2147480, 0x80000));
}

TEST(WindCoordinates, PositionsPackSigned) {
    struct Case {
        int x, y, packed;
    } cases[] = {
        {0, 0, 0},
        {3, 4, 0x00030004},
        {-1, 2, (int)0xFFFF0002},
        {5, -2, 0x0005FFFE},
        {-32768, 32767, (int)0x80007FFF},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.packed, PackPosition(c.x, c.y));
        EXPECT_EQ(c.x, PositionX(c.packed));
        EXPECT_EQ(c.y, PositionY(c.packed));
    }
}

// ---- opening ------------------------------------------------------------------------------------

TEST_F(WindTest, FramedWindowOfTenCellsHasAnEightyByOneThirtyClientArea) {
    Window *w = OpenWindow(0, 0, 9, 9, 0, 0, "framed", kWindowFramed, nullptr);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(0, w->left);
    EXPECT_EQ(0, w->top);
    EXPECT_EQ(79, w->right);
    EXPECT_EQ(129, w->bottom);
    EXPECT_EQ(9, w->cellRight);
    EXPECT_EQ(9, w->cellBottom);
    HostRect outer, client;
    ASSERT_EQ(0, WindowHost()->getWindowRect(w->host, &outer));
    ASSERT_EQ(0, WindowHost()->getClientRect(w->host, &client));
    EXPECT_EQ(80, client.right);
    EXPECT_EQ(130, client.bottom);
    // The headless frame is 4 pixels and the caption 20: the host window grows around the
    // client area and starts above and left of the cell origin.
    EXPECT_EQ(88, outer.right - outer.left);
    EXPECT_EQ(158, outer.bottom - outer.top);
    EXPECT_EQ(-4, outer.left);
    EXPECT_EQ(-24, outer.top);
}

TEST_F(WindTest, KindsChooseHostClassAndStyle) {
    Window *top = Top("main");
    struct Case {
        const char *name;
        uint32_t flags;
        bool child; // opened inside top
        const char *cls;
        uint32_t style;
    } cases[] = {
        // clang-format off
        {"file", kWindowFramed, false, "RylFileWindow", kHostStyleFramed},
        {"bare", kWindowKindTop, false, "RylFileWindow", kHostStylePopup},
        {"dialog", kWindowKindDialog, true, "RylDialogWindow", kHostStylePopup},
        {"framed dialog", kWindowKindDialog | kWindowFramed, true, "RylDialogWindow", kHostStyleFramed},
        {"menu bar", kWindowMenuBar, true, "RylDialogWindow", kHostStyleChild},
        {"button", kWindowKindButton, true, "RylButtonWindow", kHostStyleChild},
        {"scroller", kWindowKindScroller, true, "RylButtonWindow", kHostStyleChild},
        // clang-format on
    };
    for (const Case &c : cases) {
        Window *w = OpenWindow(1, 1, 5, 5, 0, 0, c.name, c.flags, c.child ? top : nullptr);
        ASSERT_NE(nullptr, w) << c.name;
        EXPECT_STREQ(c.cls, HeadlessClassName(w->host)) << c.name;
        EXPECT_EQ(c.style, HeadlessStyle(w->host)) << c.name;
        EXPECT_STREQ(c.name, HeadlessTitle(w->host)) << c.name;
    }
}

TEST_F(WindTest, DialogIsPlacedRelativeToItsParent) {
    Window *top = Top("main", kWindowFramed, 10, 10, 60, 40); // client at pixel 80, 130
    Window *dialog = OpenWindow(2, 1, 20, 10, 0, 0, "dialog", kWindowKindDialog, top);
    ASSERT_NE(nullptr, dialog);
    HostRect outer;
    WindowHost()->getWindowRect(dialog->host, &outer);
    EXPECT_EQ(80 + 16, outer.left);
    EXPECT_EQ(130 + 13, outer.top);
    EXPECT_EQ(16, dialog->left); // the toolkit keeps it relative to the parent's client area
    EXPECT_EQ(13, dialog->top);
    EXPECT_EQ(top->host, HeadlessOwner(dialog->host));
}

TEST_F(WindTest, ChildrenJoinTheChainInCreationOrder) {
    Window *top = Top("main");
    Window *a = Child("a", top);
    Window *b = Child("b", top);
    Window *a1 = Child("a1", a);
    EXPECT_EQ(a, top->chain);
    EXPECT_EQ(b, a->chain);
    EXPECT_EQ(a1, b->chain);
    EXPECT_EQ(nullptr, a1->chain);
    Window *second = Top("second");
    EXPECT_EQ(top, FirstTopWindow()); // a new top window joins the ring before the first one
    EXPECT_EQ(second, top->prev);
    EXPECT_EQ(top, second->next);
}

// Two kinds of record, told apart by the function that releases them and by their magic.
struct KindRecord {
    uint32_t magic;
};
constexpr uint32_t kKindMagic = 0x4B494E44;
int ReleaseKind(Window *w) {
    w->extension = nullptr;
    return 0;
}
int ReleaseOtherKind(Window *w) {
    w->extension = nullptr;
    return 0;
}

TEST_F(WindTest, AKindFindsItsRecordFromAnyOfItsWindows) {
    KindRecord top = {kKindMagic}, inner = {kKindMagic};
    Window *panel = Top("panel");
    Window *list = Child("list", panel); // a window with a record of its own inside another
    Window *item = Child("item", list);
    panel->extension = &top;
    panel->releaseExtension = ReleaseKind;
    list->extension = &inner;
    list->releaseExtension = ReleaseOtherKind;

    EXPECT_EQ(panel, ExtensionWindowOf(ReleaseKind, item));
    EXPECT_EQ(list, ExtensionWindowOf(ReleaseOtherKind, item)); // the nearest, not the top
    EXPECT_EQ(nullptr, ExtensionWindowOf(ReleaseOtherKind, panel));
    EXPECT_EQ(panel, ExtensionWindowOf(nullptr, item)); // null: the top window's record
    EXPECT_EQ(&top, ExtensionRecordOf<KindRecord>(ReleaseKind, kKindMagic, item));
    EXPECT_EQ(&inner, ExtensionRecordOf<KindRecord>(ReleaseOtherKind, kKindMagic, item));
    EXPECT_EQ(nullptr, ExtensionRecordOf<KindRecord>(ReleaseKind, kKindMagic + 1, item));
    EXPECT_EQ(nullptr, ExtensionWindowOf(ReleaseKind, nullptr));

    // A released record is found no more, from any window.
    ReleaseKind(panel);
    EXPECT_EQ(nullptr, ExtensionWindowOf(ReleaseKind, item));
    EXPECT_EQ(nullptr, ExtensionWindowOf(nullptr, item));
    EXPECT_EQ(nullptr, ExtensionRecordOf<KindRecord>(ReleaseKind, kKindMagic, list));
    EXPECT_EQ(list, ExtensionWindowOf(ReleaseOtherKind, item));
}

TEST_F(WindTest, OpeningFailsCleanlyWithoutMemory) {
    for (int k = 1; k <= 2; k++) { // the record, then its name
        HeadlessBoxClear();
        FailAllocation(k);
        EXPECT_EQ(nullptr, OpenWindow(1, 1, 10, 10, 0, 0, "main", kWindowFramed, nullptr)) << k;
        ASSERT_EQ(1, HeadlessBoxCount()) << k;
        EXPECT_STREQ("KLN Memory Error", HeadlessBoxCaption(0));
        EXPECT_STREQ("open Window", HeadlessBoxText(0));
        EXPECT_EQ(nullptr, FirstTopWindow());
    }
    FailAllocation(0);
}

TEST_F(WindTest, HostFailureRecyclesTheRecordSilently) {
    Window *top = Top("main");
    HeadlessFailCreate(1);
    EXPECT_EQ(nullptr, OpenWindow(1, 1, 2, 2, 0, 0, "lost", kWindowKindButton, top));
    EXPECT_EQ(0, HeadlessBoxCount());
    EXPECT_EQ(nullptr, top->chain);
    Window *next = Child("next", top); // takes the recycled record
    EXPECT_EQ(next, top->chain);
}

// Walks every allocation of a small session: each failure gives a null window or a text that
// falls back to the name, and nothing leaks.
TEST_F(WindTest, AllocationFailureSweep) {
    for (int k = 1; k <= 8; k++) {
        WindowEpilog();
        static char *argv[] = {nullptr};
        ASSERT_EQ(0, WindowProlog(0, argv, failAllocate, failRelease, ReportToTest));
        failAllocReset(k);
        Window *top = OpenWindow(1, 1, 30, 20, 0, 0, "main", kWindowFramed, nullptr);
        Window *child = top ? OpenWindow(0, 0, 4, 1, 0, 0, "cell", kWindowKindLabel, top) : nullptr;
        if (child) {
            int r = SetWindowText("a longer text", child);
            EXPECT_TRUE(r == 0 ? strcmp(child->text, "a longer text") == 0
                               : child->text == child->name)
                << k;
        }
        WindowEpilog();
        EXPECT_EQ(0, failAllocOutstanding()) << "failing allocation " << k;
        failAllocReset(0);
        ASSERT_EQ(0, WindowProlog(0, argv, failAllocate, failRelease, ReportToTest));
    }
}

// ---- closing ------------------------------------------------------------------------------------

TEST_F(WindTest, ClosingATopWindowClosesItsChainThroughEachOnClose) {
    Window *top = Top("main");
    Window *a = Child("a", top);
    Child("b", top);
    Child("a1", a);
    ShowWindowTree(top);
    EXPECT_EQ(0, CloseWindow(top));
    std::vector<std::string> expected = {"close a", "close a1", "close b"};
    EXPECT_EQ(expected, gLog);
    EXPECT_EQ(nullptr, FirstTopWindow());
    EXPECT_EQ(0, HeadlessWindowCount());
    EXPECT_FALSE(WindowIsLive(top));
    EXPECT_EQ(1, CloseWindow(top)); // a closed record is never live again
}

TEST_F(WindTest, ClosingAChildClosesOnlyItsOwnDescendants) {
    Window *top = Top("main");
    Window *a = Child("a", top);
    Window *b = Child("b", top);
    Window *a1 = Child("a1", a); // created after b: the chain runs a, b, a1, a11, c
    Window *a11 = Child("a11", a1);
    Window *c = Child("c", top);
    EXPECT_EQ(0, CloseWindow(a));
    std::vector<std::string> expected = {"close a1", "close a11"};
    EXPECT_EQ(expected, gLog);
    EXPECT_TRUE(WindowIsLive(b));
    EXPECT_TRUE(WindowIsLive(c));
    EXPECT_FALSE(WindowIsLive(a11));
    EXPECT_EQ(b, top->chain); // relinked around the closed windows
    EXPECT_EQ(c, b->chain);
    EXPECT_EQ(nullptr, c->chain);
    EXPECT_EQ(3, HeadlessWindowCount());
}

TEST_F(WindTest, CloseChildRefusesWindowsOutsideTheParentsChain) {
    Window *top = Top("main");
    Window *other = Top("other");
    Window *a = Child("a", top);
    Window *b = Child("b", top);
    Window *x = Child("x", other);
    EXPECT_EQ(1, CloseChild(x, top));
    EXPECT_EQ(1, CloseChild(a, b)); // a sibling, not a descendant
    EXPECT_TRUE(gLog.empty());
    EXPECT_TRUE(WindowIsLive(x));
    EXPECT_TRUE(WindowIsLive(a));
}

TEST_F(WindTest, CloseChildCutsTheWindowAndItsDescendants) {
    Window *top = Top("main");
    Window *a = Child("a", top);
    Window *b = Child("b", top);
    Child("a1", a);
    Window *c = Child("c", top);
    EXPECT_EQ(0, CloseChild(a, top));
    std::vector<std::string> expected = {"close a", "close a1"};
    EXPECT_EQ(expected, gLog);
    EXPECT_EQ(b, top->chain);
    EXPECT_EQ(c, b->chain);
    EXPECT_EQ(nullptr, c->chain);
}

int Refuse(Window *w) {
    Note("refuse " + NameOf(w));
    return 0;
}

TEST_F(WindTest, AWindowThatRefusesToCloseIsClosedWithItsParent) {
    Window *top = Top("main");
    Window *a = Child("a", top);
    a->onClose = Refuse;
    top->onClose = Refuse;
    PostEvent(kEventRedraw, 0, a);
    EXPECT_EQ(0, CloseWindow(top));
    EXPECT_EQ(std::vector<std::string>{"refuse a"}, gLog);
    EXPECT_FALSE(WindowIsLive(a));
    Window *again = Top("again");
    again->onClose = Refuse;
    WindowEpilog(); // the epilog closes a refusing top window too: nothing is left allocated
    EXPECT_EQ("refuse again", gLog.back());
    EXPECT_EQ(0, failAllocOutstanding() + outstandingBefore);
}

TEST_F(WindTest, ClosingTheFocusChildOfADialogGivesTheFocusToTheDialog) {
    Window *top = Top("main");
    Window *dialog = Child("dialog", top, 2, 2, 30, 12, kWindowKindDialog);
    Window *item = Child("item", dialog, 1, 1, 10, 1, kWindowKindText | kWindowTakesFocus);
    dialog->onFocusIn = LogFocusIn;
    ASSERT_EQ(0, SetFocusWindow(item));
    EXPECT_EQ(item, dialog->current);
    gLog.clear();
    CloseWindow(item);
    EXPECT_EQ(dialog, FocusWindow());
    EXPECT_EQ(nullptr, dialog->current);
    EXPECT_EQ(std::vector<std::string>{"in dialog"}, gLog);
    EXPECT_EQ(dialog->host, WindowHost()->getFocus());
}

TEST_F(WindTest, ClosingTheLastTopWindowLeavesNoFocusAndStopsEveryLoop) {
    Window *top = Top("main");
    Child("item", top, 0, 0, 4, 1, kWindowKindText | kWindowTakesFocus);
    ASSERT_NE(nullptr, FocusWindow());
    CloseWindow(top);
    EXPECT_EQ(nullptr, FocusWindow());
    EXPECT_EQ(kStopAll, StopCounter());
    EXPECT_EQ(1, HeadlessGetStats().quitPosted);
}

TEST_F(WindTest, ClosingATopWindowHandsTheFocusToThePreviousOne) {
    Window *first = Top("first");
    Window *second = Top("second");
    ASSERT_EQ(0, SetFocusWindow(second));
    first->onFocusIn = LogFocusIn;
    CloseWindow(second);
    EXPECT_EQ(first, FocusWindow());
    EXPECT_EQ(std::vector<std::string>{"in first"}, gLog);
}

// ---- text, focus, geometry ----------------------------------------------------------------------

TEST_F(WindTest, SetWindowTextNeverWritesTheName) {
    Window *w = Child("cell", Top("main"));
    ASSERT_EQ(w->name, w->text);
    ASSERT_EQ(0, SetWindowText("12345", w));
    EXPECT_STREQ("cell", w->name);
    EXPECT_STREQ("12345", w->text);
    EXPECT_STREQ("12345", HeadlessTitle(w->host));
    char *storage = w->text;
    ASSERT_EQ(0, SetWindowText("678", w)); // fits: the same storage
    EXPECT_EQ(storage, w->text);
    FailAllocation(1); // a longer text needs storage that is not there
    EXPECT_EQ(1, SetWindowText("a much longer text", w));
    EXPECT_EQ(w->name, w->text);
    EXPECT_STREQ("cell", w->text);
    FailAllocation(0);
}

TEST_F(WindTest, FocusMovesWithCallbacksAndRedraws) {
    Window *top = Top("main");
    Window *a = Child("a", top, 0, 0, 4, 1, kWindowKindText | kWindowTakesFocus);
    Window *b = Child("b", top, 0, 2, 4, 3, kWindowKindText | kWindowTakesFocus);
    EXPECT_EQ(a, FocusWindow()); // the first window that takes the focus gets it
    for (Window *w : {a, b}) {
        w->onFocusIn = LogFocusIn;
        w->onFocusOut = LogFocusOut;
        w->onEnter = [](Window *w) {
            Note("enter " + NameOf(w));
            return 0;
        };
        w->onLeave = LogLeave;
    }
    int before = EventCount();
    ASSERT_EQ(0, SetFocusWindow(b));
    std::vector<std::string> expected = {"leave a", "enter b", "out a", "in b"};
    EXPECT_EQ(expected, gLog);
    EXPECT_EQ(before + 1, EventCount()); // b's redraw
    EXPECT_EQ(b->host, WindowHost()->getFocus());
    EXPECT_EQ(0, SetFocusWindow(b));
    EXPECT_EQ(4u, gLog.size());
}

int OpenAndFocusMain(Window *w) {
    // Runs inside the modal dialog's loop: the main window may not take the focus from it.
    Window *main = FirstTopWindow();
    Note(SetFocusWindow(main) == 1 ? "refused" : "taken");
    CloseWindow(w->parent);
    return 0;
}

TEST_F(WindTest, AModalDialogKeepsTheFocusFromWindowsOutsideDialogs) {
    Window *top = Top("main");
    Window *dialog = Child("dialog", top, 2, 2, 30, 12, kWindowKindDialog);
    Window *item = Child("item", dialog, 1, 1, 10, 1, kWindowKindText | kWindowTakesFocus);
    ASSERT_EQ(item, FocusWindow());
    item->onKey = [](int, Window *w) { return OpenAndFocusMain(w); };
    PostEvent(kEventKey, 'x', item);
    RunFor(dialog);
    EXPECT_EQ((std::vector<std::string>{"refused", "close item"}), gLog);
    EXPECT_EQ(top, FocusWindow()); // once the dialog closed, the focus went back up
}

int gLayouts;
int CountLayout(Window *) {
    gLayouts++;
    return 0;
}

TEST_F(WindTest, MoveWindowToResizesTheHostWindowAndLaysOutTheChain) {
    Window *top = Top("main", kWindowFramed, 1, 1, 20, 10);
    Window *a = Child("a", top);
    top->onLayout = CountLayout;
    a->onLayout = CountLayout;
    top->needsLayout = 0;
    gLayouts = 0;
    ASSERT_EQ(0, MoveWindowTo(10, 5, 30, 20, 0, top)); // cells: 80, 65, 240 x 260 pixels
    EXPECT_EQ(80, top->left);
    EXPECT_EQ(65, top->top);
    EXPECT_EQ(80 + 240 - 1, top->right);
    EXPECT_EQ(65 + 260 - 1, top->bottom);
    EXPECT_EQ(10, top->cellLeft);
    EXPECT_EQ(1, top->needsLayout);
    EXPECT_EQ(2, gLayouts);
    HostRect outer;
    WindowHost()->getWindowRect(top->host, &outer);
    EXPECT_EQ(76, outer.left);
    EXPECT_EQ(248, outer.right - outer.left);
    ASSERT_EQ(0, MoveWindowTo(8, 8, 20, 12, 1, a)); // a child in pixels, no frame
    EXPECT_EQ(8, a->left);
    EXPECT_EQ(27, a->right);
    EXPECT_EQ(2, gLayouts); // an unframed window is not laid out
}

TEST_F(WindTest, EnableAndDisablePostARedraw) {
    Window *top = Top("main");
    Window *v = Child("v", top), *w = Child("w", top);
    w->flags |= kWindowDisabled;
    int before = EventCount();
    DisableWindow(v);
    EXPECT_TRUE(v->flags & kWindowDisabled);
    EXPECT_EQ(before + 1, EventCount());
    EnableWindow(w);
    EXPECT_FALSE(w->flags & kWindowDisabled);
    EXPECT_EQ(before + 2, EventCount());
}

TEST_F(WindTest, ShowDialogMakesTheFirstEnabledTabStopCurrent) {
    Window *top = Top("main");
    Window *dialog = Child("dialog", top, 2, 2, 30, 12, kWindowKindDialog);
    Window *off = Child("off", dialog, 1, 1, 5, 1,
                        kWindowKindText | kWindowTakesFocus | kWindowTabStop | kWindowDisabled);
    Window *on =
        Child("on", dialog, 1, 3, 5, 3, kWindowKindText | kWindowTakesFocus | kWindowTabStop);
    (void)off;
    ShowDialog(dialog);
    EXPECT_EQ(on, dialog->current);
    EXPECT_EQ(on, FocusWindow());
    EXPECT_EQ(1, HeadlessVisible(dialog->host));
    EXPECT_EQ(1, HeadlessVisible(on->host));
    EXPECT_EQ(1, HeadlessVisible(top->host));
}

// ---- painting -----------------------------------------------------------------------------------

struct Fill {
    const char *name;
    HostColor color;
};
const Fill kFills[] = {{"main", 0xC0C0C0}, {"red", 0x0000FF}, {"blue", 0xFF0000}};

int PaintFill(Window *w) {
    HostDevice *device = WindowPaintDevice(w);
    EXPECT_NE(nullptr, device);
    if (!device)
        return 0;
    Note("paint " + NameOf(w) + " " + std::to_string(w->damageRight) + "," +
         std::to_string(w->damageBottom));
    for (const Fill &f : kFills)
        if (strcmp(f.name, w->name) == 0) {
            HostRect all = {0, 0, w->right - w->left + 1, w->bottom - w->top + 1};
            WindowHost()->fillRect(device, &all, f.color);
        }
    return 0;
}

TEST_F(WindTest, PaintingFillsEachWindowInsideItsTopWindowsImage) {
    Window *top = Top("main", kWindowFramed, 2, 2, 31, 16); // 240 x 195 pixels
    Window *red = Child("red", top, 2, 2, 9, 5);            // 16, 26 .. 79, 77
    Window *blue = Child("blue", top, 12, 2, 19, 5);
    for (Window *w : {top, red, blue})
        w->onPaint = PaintFill;
    ShowWindowTree(top);
    HeadlessAt(HeadlessNow() + 300, CloseAll, nullptr);
    // Look before the loop ends: the image goes with its window.
    HeadlessAt(
        HeadlessNow() + 200,
        [](void *top) {
            Window *w = (Window *)top;
            EXPECT_EQ(0, HeadlessSavePng(w->host, TestPicturePath("wind_paint.png").c_str()));
            EXPECT_EQ(0xC0C0C0, HeadlessPixel(w->host, 5, 5));
            EXPECT_EQ(0xFF0000, HeadlessPixel(w->chain->host, 0, 0));          // red
            EXPECT_EQ(0xFF0000, HeadlessPixel(w->host, 16 + 63, 26 + 51));     // its last pixel
            EXPECT_EQ(0xC0C0C0, HeadlessPixel(w->host, 16 + 64, 26));          // just outside
            EXPECT_EQ(0x0000FF, HeadlessPixel(w->chain->chain->host, 10, 10)); // blue
        },
        top);
    RunFor(top);
    // Each window painted once, with the whole of itself as damage.
    std::vector<std::string> expected = {"paint main 239,194", "paint red 63,51",
                                         "paint blue 63,51"};
    EXPECT_EQ(expected, gLog);
}

TEST_F(WindTest, ScrollTextLinesMovesWholeLines) {
    Window *top = Top("main", kWindowFramed, 0, 0, 29, 9); // 240 x 130
    int h = FontLineSpacing(0, nullptr); // the window has no font of its own: the default's
    ASSERT_GT(h, 0);
    struct Case {
        int direction;
        int dx, dy;
    } cases[] = {
        {kScrollLineUp, 0, -h},
        {kScrollLineDown, 0, h},
        {kScrollPixelRight, 1, 0},
        {kScrollPixelLeft, -1, 0},
    };
    for (const Case &c : cases) {
        HostDevice *d = WindowHost()->getDevice(top->host);
        HostRect all = {0, 0, 240, 130}, mark = {100, 52, 101, 53};
        WindowHost()->fillRect(d, &all, 0xFFFFFF);
        WindowHost()->fillRect(d, &mark, 0x000000);
        WindowHost()->releaseDevice(top->host, d);
        ASSERT_EQ(0, ScrollTextLines(c.direction, top));
        EXPECT_EQ(0x000000, HeadlessPixel(top->host, 100 + c.dx, 52 + c.dy)) << c.direction;
        HostRect update;
        EXPECT_EQ(0, WindowHost()->getUpdateRect(top->host, &update)); // all marked valid
    }
    EXPECT_EQ(1, ScrollTextLines(7, top));
}

// ---- reporters ----------------------------------------------------------------------------------

TEST_F(WindTest, ReportersShowTheirCaptions) {
    ReportMemoryError("Palette table");
    ReportMessage("Image buffer");
    ReportError("Modal wait", "too many modal windows");
    AssertReport("windlib\\src\\gdidraw", 123);
    EXPECT_EQ(1, QuietDiagnostic("SetFont:", "font not created"));
    struct Box {
        const char *caption, *text;
        unsigned flags;
    } boxes[] = {
        {"KLN Memory Error", "Palette table", kHostBoxIconError},
        {"KLN Report", "Image buffer", kHostBoxIconError},
        {"too many modal windows", "Modal wait", kHostBoxIconError},
        {"ASSERT Failed", "windlib\\src\\gdidraw Line 123", kHostBoxOk},
    };
    ASSERT_EQ(4, HeadlessBoxCount()); // the quiet diagnostic shows nothing
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(boxes[i].caption, HeadlessBoxCaption(i));
        EXPECT_STREQ(boxes[i].text, HeadlessBoxText(i));
        EXPECT_EQ(boxes[i].flags, HeadlessBoxFlags(i));
    }
    EXPECT_STREQ("SetFont: font not created", LastQuietDiagnostic());
}

// The bell goes to the host, once a ring, and is no box; with the toolkit down nothing rings.
TEST_F(WindTest, TheBellRingsOnTheHost) {
    EXPECT_EQ(0, HeadlessBellCount());
    RingBell();
    RingBell();
    EXPECT_EQ(2, HeadlessBellCount());
    EXPECT_EQ(0, HeadlessBoxCount());
    WindowEpilog(); // the backend closes, and counts afresh when it opens again
    RingBell();
    Start(24);
    EXPECT_EQ(0, HeadlessBellCount());
}

TEST_F(WindTest, OpeningInsideADeadParentIsAnInternalFault) {
    Window *top = Top("main");
    Window *a = Child("a", top);
    CloseWindow(a);
    EXPECT_EQ(nullptr, OpenWindow(0, 0, 1, 1, 0, 0, "orphan", kWindowKindButton, a));
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("ASSERT Failed", HeadlessBoxCaption(0));
    EXPECT_EQ(0, strncmp("windlib\\src\\wind Line ", HeadlessBoxText(0), 22));
}

// ---- windows held across callbacks, and the epilog inside a close -------------------------------

Window *gTarget, *gReopened, *gTop;

// Runs while the focus leaves `a`: closes the window that was to get the focus and opens
// another, which takes the closed window's record.
int CloseTargetAndOpenAnother(Window *w) {
    LogFocusOut(w);
    CloseWindow(gTarget);
    gReopened = OpenWindow(0, 4, 4, 5, 0, 0, "newcomer", kWindowKindButton, gTop);
    return 0;
}

TEST_F(WindTest, AWindowClosedInACallbackIsNotMistakenForTheNextOneOpened) {
    gTop = Top("main");
    Window *a = Child("a", gTop, 0, 0, 4, 1, kWindowKindText | kWindowTakesFocus);
    gTarget = Child("target", gTop, 0, 2, 4, 3, kWindowKindText | kWindowTakesFocus);
    ASSERT_EQ(a, FocusWindow());
    a->onFocusOut = CloseTargetAndOpenAnother;
    WindowRef target = WindowRefOf(gTarget);
    EXPECT_EQ(1, SetFocusWindow(gTarget));
    ASSERT_EQ(gTarget, gReopened); // the record was reused: the bare pointers are equal
    EXPECT_FALSE(WindowRefLive(target));
    EXPECT_TRUE(WindowRefLive(WindowRefOf(gReopened)));
    // The newcomer never asked for the focus and does not get it.
    EXPECT_NE(gReopened, FocusWindow());
    EXPECT_EQ((std::vector<std::string>{"out a"}), gLog);
}

int EpilogInClose(Window *w) {
    Note("close " + NameOf(w));
    WindowEpilog();
    Note(std::string("epilog asked, host ") + (WindowHost() ? "up" : "down"));
    return CloseWindow(w);
}

TEST_F(WindTest, AnEpilogInsideACloseWaitsForTheClose) {
    Window *top = Top("main");
    Top("other");
    Window *a = Child("a", top);
    a->onClose = EpilogInClose;
    CloseWindow(top);
    // The close finished, then the epilog ran: the other window closed through its onClose,
    // and the toolkit is down.
    EXPECT_EQ((std::vector<std::string>{"close a", "epilog asked, host up", "close other"}), gLog);
    EXPECT_EQ(nullptr, WindowHost());
    EXPECT_EQ(nullptr, FirstTopWindow());
}

} // namespace
