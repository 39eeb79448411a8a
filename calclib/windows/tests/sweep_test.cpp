// Allocation failures through the panel's windows: with the n-th allocation failing (the
// toolkit's, the buffers' and the number engine's alike) for every n, the panel, the scientific
// dialog, each list, the precision dialog and the program options dialog are made whole or not
// at all; the calculator goes on computing, and nothing is left allocated.
#include "paneltest.h"

#include "progopts.h"

#include <cstdio>
#include <functional>

using namespace windtest;
using namespace paneltest;

namespace {

class SweepTest : public PanelTest {
  protected:
    SweepTest() { sweepEngine = true; }

    // Every window there is: the top windows and their descendants.
    static int WindowCount() {
        int n = 0;
        Window *first = FirstTopWindow();
        for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
            for (Window *d = w; d; d = d->chain)
                n++;
        return n;
    }
    // The calculator computes: AllClr shows 0, and 2+3= shows 5.
    void ExpectComputes(long n) {
        Press("AllClr");
        EXPECT_EQ("0|", Shown()) << n;
        Type("2+3=");
        EXPECT_EQ("5|", Shown()) << n;
    }
};

// The panel is built whole or refused; a refused build leaves nothing behind, and the settings
// file the first start wrote stays as it was.
TEST_F(SweepTest, ThePanelIsBuiltWholeOrNotAtAll) {
    // The loop ends with the last window, as the program does: a window of the test's own stays
    // open while the panel comes and goes.
    ASSERT_NE(nullptr, OpenWindow(0, 0, 1, 1, 0, 0, "anchor", 0, nullptr));
    ASSERT_NE(nullptr, Build()); // the first start writes its defaults, which is not swept
    const int whole = WindowCount();
    const std::string written = SettingsText();
    CloseWindow(panel);
    panel = nullptr;
    const int none = WindowCount();
    int built = 0, refused = 0;
    long n = 1;
    for (; n < 100000; n++) {
        HeadlessBoxClear();
        FailAllocation(n);
        panel = calcPanelCreate(settings.c_str());
        const bool triggered = failAllocTriggered();
        FailAllocation(0);
        if (panel) {
            built++;
            EXPECT_EQ(whole, WindowCount()) << n;
            ShowDialog(panel);
            Settle();
            ExpectComputes(n);
            CloseWindow(panel);
            panel = nullptr;
        } else {
            refused++;
            EXPECT_EQ(none, WindowCount()) << n;
            EXPECT_GE(HeadlessBoxCount(), 1) << "refused without a word " << n;
            Settle(); // what the half-built panel posted is taken, as the running program would
        }
        EXPECT_EQ(written, SettingsText()) << n;
        if (!triggered)
            break;
    }
    HeadlessBoxClear();
    EXPECT_GT(refused, 50);
    ASSERT_NE(nullptr, Build());
    ExpectComputes(0);
    printf("sweep: %ld allocation points of the panel, %d refused, %d built whole\n", n, refused,
           built);
}

// Each window the panel opens from a key: opened whole or not at all, closed again by the user's
// way, and the calculator still computes.
TEST_F(SweepTest, EachWindowOfThePanelOpensWholeOrNotAtAll) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *key;
        std::function<void()> close;
    };
    auto pressAgain = [this](const char *key) { return [this, key] { Press(key); }; };
    auto escape = [this] { // the conversions list lies over its own key
        HeadlessKeystroke(kHostKeyEscape, 27);
        Settle();
    };
    auto cancelPrecision = [this] {
        if (Window *precision = TopWindowNamed("Display Precision"))
            Click(FindNamedWindow("Cancel", precision), 3, 3);
        Settle();
    };
    const Case cases[] = {
        {"Sci - Trig", pressAgain("Sci - Trig")},
        {"Sto", pressAgain("Sto")},
        {"Rcl", pressAgain("Rcl")},
        {"Const", pressAgain("Const")},
        {"Conv", escape},
        {"Precision", cancelPrecision},
    };
    for (const Case &c : cases) {
        // Once with memory: what a whole window adds, and the settings a first opening writes.
        const int none = WindowCount();
        Press(c.key);
        const int whole = WindowCount();
        ASSERT_GT(whole, none) << c.key;
        c.close();
        ASSERT_EQ(none, WindowCount()) << c.key;
        int opened = 0, refused = 0;
        long n = 1;
        for (; n < 100000; n++) {
            Click(Key(c.key), 3, 3);
            HeadlessBoxClear();
            const bool triggered = SettleFailing(n);
            const int count = WindowCount();
            if (count == whole) {
                opened++;
                c.close();
                EXPECT_EQ(none, WindowCount()) << c.key << " " << n;
            } else {
                refused++;
                EXPECT_EQ(none, count) << c.key << " " << n;
                EXPECT_GE(HeadlessBoxCount(), 1) << "refused without a word " << c.key << " " << n;
            }
            HeadlessBoxClear();
            if (!triggered)
                break;
        }
        HeadlessBoxClear();
        EXPECT_GT(refused, 3) << c.key;
        ExpectComputes(0);
        printf("sweep: %ld allocation points of %s, %d refused, %d opened whole\n", n, c.key,
               refused, opened);
    }
}

// The program options dialog, which runs modally: made whole and closed, or refused at once.
struct OptionsRun {
    WindowRef open = {};
    int seen = -1; // the window count while it ran, or -1 when it never did
    static int (*count)();
};
int (*OptionsRun::count)() = nullptr;

void LookAndClose(void *context) {
    OptionsRun *run = (OptionsRun *)context;
    if (!WindowRefLive(run->open))
        return;
    run->seen = OptionsRun::count();
    progOptionsClose(&run->open);
}

TEST_F(SweepTest, TheProgramOptionsDialogOpensWholeOrNotAtAll) {
    ASSERT_NE(nullptr, Build());
    OptionsRun::count = WindowCount;
    const int none = WindowCount();
    OptionsRun run;
    HeadlessAt(HeadlessNow() + 50, LookAndClose, &run);
    progOptionsOpen(panel, calc(), &run.open);
    const int whole = run.seen;
    ASSERT_GT(whole, none);
    ASSERT_EQ(none, WindowCount());
    int opened = 0, refused = 0;
    long n = 1;
    for (; n < 100000; n++) {
        HeadlessBoxClear();
        OptionsRun each;
        HeadlessAt(HeadlessNow() + 50, LookAndClose, &each);
        FailAllocation(n);
        progOptionsOpen(panel, calc(), &each.open);
        const bool triggered = failAllocTriggered();
        FailAllocation(0);
        Settle(); // the look at the window count comes due even when nothing opened
        if (each.seen >= 0) {
            opened++;
            EXPECT_EQ(whole, each.seen) << n;
        } else {
            refused++;
            EXPECT_GE(HeadlessBoxCount(), 1) << "refused without a word " << n;
        }
        HeadlessBoxClear();
        EXPECT_EQ(none, WindowCount()) << n;
        EXPECT_FALSE(WindowRefLive(each.open)) << n;
        if (!triggered)
            break;
    }
    EXPECT_GT(refused, 3);
    ExpectComputes(0);
    printf("sweep: %ld allocation points of the program options, %d refused, %d opened whole\n", n,
           refused, opened);
}

} // namespace
