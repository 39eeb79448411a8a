// Random input into the real windows: a seeded driver types any key, clicks and drags at random
// points of any open window, closes windows and answers whatever dialog comes up, for a number of
// events. It runs as an idle callback of a window of its own, so it goes on inside every modal
// loop the events open (a file question, the print dialog) and beside a running program, whose
// repaints keep the headless clock still. Afterwards the calculator must still compute, no
// assertion box nor any about the event queue may have been shown, and (in the longer run) the
// heap must not grow per event.
//
// TORVA_STRESS_EVENTS sets the number of events (a short run by default, as `make test` runs
// it; `make stress` runs a million), TORVA_STRESS_SEED the seed.
#include "paneltest.h"

#include "keys.h"
#include "number.h"
#include "program.h"
#include "progwind.h"
#include "windmsg.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace windtest;
using namespace paneltest;

namespace {

constexpr long kShortRun = 3000;
constexpr long kMemoryWarmUp = 10000; // events before the memory baseline is taken
// The caches and the window-record pool reach their high water within the first 10^5 events
// (seed 1: 2.1 MB in use after 2 * 10^4 events, 3.0 at 7 * 10^4, 2.8 at 10^5 and 1.5 * 10^5);
// growth per event would pass this bound long before a million.
constexpr long kMemoryBoundKiB = 2048;
constexpr int kQuietPasses = 50;
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TORVA_STRESS_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(TORVA_STRESS_SANITIZED)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

long EnvLong(const char *name, long fallback) {
    const char *v = getenv(name);
    return v && *v ? strtol(v, nullptr, 10) : fallback;
}

struct Driver {
    std::mt19937 rng;
    long events = 0, limit = 0;
    long clicks = 0, keys = 0, drags = 0, closes = 0;
    long asserts = 0;
    long overflows = 0; // boxes about the event queue: input lost
    int quiet = 0;      // passes since the last event
    long restarts = 0;  // the panel was quit and built again
    std::string settings;
    std::set<std::string> seen; // the titles of the windows that were open at some point
    long baselineKiB = 0, lastKiB = 0;
    Window *panel = nullptr;
    WindowRef self;
    WindowRef anchor; // the test's own window: the loop goes on after the driver's closes
};

Driver gDriver;

int Pick(int n) { return (int)(gDriver.rng() % (unsigned)n); }

// The top windows now open, the driver's own left out.
std::vector<Window *> TopWindows() {
    std::vector<Window *> out;
    Window *first = FirstTopWindow();
    for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
        if (w != WindowRefGet(gDriver.self) && w != WindowRefGet(gDriver.anchor) && w->host)
            out.push_back(w);
    return out;
}

bool IsPanel(Window *w) { return w == gDriver.panel; }

// The heap in use with only the panel open and the calculator cleared: what the windows hold
// (the tape's lines, a recorded program, undo) goes with them, so what stays is what the events
// leaked or piled up.
long QuietHeapKiB() {
    for (Window *w : TopWindows())
        if (!IsPanel(w))
            CloseWindow(w);
    if (Calculator *calc = calcPanelRecord(gDriver.panel)) {
        // The same state at both measurements: the default digit counts and no registers.
        calcPanelSetDigits(10, 2, gDriver.panel);
        calcClear(1, calc);
        calcAllocRegisters(calc->registerCount, calc);
    }
    return (long)(mallinfo2().uordblks / 1024);
}

// The panel's Quit key ends the test's panel: clicks there are left out (Alt+Q too).
bool OnQuit(Window *w, int x, int y) {
    if (!IsPanel(w))
        return false;
    Window *quit = FindNamedWindow("Quit", w);
    return quit && x >= quit->left - 2 && x <= quit->right + 2 && y >= quit->top - 2 &&
           y <= quit->bottom + 2;
}

void Click(Window *w, int button) {
    const int width = w->right - w->left + 1, height = w->bottom - w->top + 1;
    if (width < 1 || height < 1)
        return;
    int x = Pick(width), y = Pick(height);
    if (OnQuit(w, x, y))
        return;
    int sx, sy;
    HeadlessClientToScreen(w->host, x, y, &sx, &sy);
    HeadlessButton(button, 1, sx, sy);
    if (Pick(8) == 0) { // now and then a drag
        int tx, ty;
        HeadlessClientToScreen(w->host, Pick(width), Pick(height), &tx, &ty);
        HeadlessPointerMove(tx, ty);
        sx = tx;
        sy = ty;
        gDriver.drags++;
    }
    HeadlessButton(button, 0, sx, sy);
    gDriver.clicks++;
}

void Key() {
    static const int kVirtual[] = {
        kHostKeyEscape, kHostKeyReturn,    kHostKeyTab,      kHostKeyUp,
        kHostKeyDown,   kHostKeyLeft,      kHostKeyRight,    kHostKeyHome,
        kHostKeyEnd,    kHostKeyPageUp,    kHostKeyPageDown, kHostKeyDelete,
        kHostKeyInsert, kHostKeyBackspace, kHostKeyF1,       kHostKeyPad0 + 5};
    gDriver.keys++;
    switch (Pick(5)) {
    case 0:
        HeadlessKeystroke(kVirtual[Pick(sizeof kVirtual / sizeof kVirtual[0])], 0);
        return;
    case 1: { // Alt and a letter: the panel's keys without a character (Alt+Q quits: not that)
        int letter = 'A' + Pick(26);
        if (letter == 'Q')
            letter = 'A';
        HeadlessKeyDown(kHostKeyAlt);
        HeadlessKeystroke(letter, letter - 'A' + 'a');
        HeadlessKeyUp(kHostKeyAlt);
        return;
    }
    case 2: // any character, control characters and Latin-1 included
        HeadlessChar(1 + Pick(255));
        return;
    default: { // the calculator's own characters, more often
        static const char kTyped[] = "0123456789abcdefx.+-*/%&|^~()=vqrpIi!<>LRsotSOTlgn";
        HeadlessChar(kTyped[Pick(sizeof kTyped - 1)]);
        return;
    }
    }
}

void CountAsserts() {
    for (int i = 0; i < HeadlessBoxCount(); i++)
        if (const char *caption = HeadlessBoxCaption(i)) {
            gDriver.asserts += strstr(caption, "ASSERT") != nullptr;
            gDriver.overflows += strstr(caption, "Message overflow") != nullptr;
        }
    HeadlessBoxClear();
}

// One event a pass. After the last, a few quiet passes let the loop deliver what is still
// queued; then the driver's window closes, which ends its loop.
int DriverPass(Window *self) {
    if (gDriver.events >= gDriver.limit) {
        if (++gDriver.quiet >= kQuietPasses)
            CloseWindow(self);
        return 1;
    }
    gDriver.events++;
    // Quit is a key like any other (Tab to it, then Return): the user starts torva again.
    if (!WindowIsLive(gDriver.panel) || gDriver.panel->closing) {
        gDriver.panel = calcPanelCreate(gDriver.settings.c_str());
        if (!gDriver.panel)
            return 1;
        ShowDialog(gDriver.panel);
        gDriver.restarts++;
    }
    std::vector<Window *> tops = TopWindows();
    for (Window *w : tops)
        gDriver.seen.insert(w->text ? w->text : w->name ? w->name : "?");
    const int roll = Pick(100);
    if (roll < 45 || tops.empty()) {
        Key();
    } else if (roll < 95) {
        Click(tops[(size_t)Pick((int)tops.size())], Pick(4) == 0 ? 2 : 0);
    } else {
        Window *w = tops[(size_t)Pick((int)tops.size())];
        if (!IsPanel(w) && (w->flags & kWindowFramed)) {
            HeadlessClose(w->host);
            gDriver.closes++;
        }
    }
    if (gDriver.events % 256 == 0)
        CountAsserts();
    if (gDriver.events == kMemoryWarmUp)
        gDriver.baselineKiB = QuietHeapKiB();
    return 1;
}

class StressTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        // Files the events save or print go to the test's own directory.
        setenv("HOME", configDir.c_str(), 1);
        setenv("TMPDIR", configDir.c_str(), 1);
        ASSERT_EQ(0, chdir(configDir.c_str()));
    }
    void TearDown() override {
        (void)!chdir("/");
        PanelTest::TearDown();
    }
};

TEST_F(StressTest, RandomInputLeavesACalculatorThatComputes) {
    ASSERT_NE(nullptr, Build());
    const long seed = EnvLong("TORVA_STRESS_SEED", 20261211);
    gDriver = Driver{};
    gDriver.rng.seed((unsigned)seed);
    gDriver.limit = EnvLong("TORVA_STRESS_EVENTS", kShortRun);
    gDriver.panel = panel;
    gDriver.settings = settings;
    // A window of the test's own keeps the loop going (the last window closing would end it)
    // when the driver's closes with the panel quit by the last events.
    Window *anchor = OpenWindow(0, 0, 1, 1, 0, 0, "anchor", 0, nullptr);
    ASSERT_NE(nullptr, anchor);
    gDriver.anchor = WindowRefOf(anchor);
    Window *self = OpenWindow(0, 0, 1, 1, 0, 0, "stress driver", 0, nullptr);
    ASSERT_NE(nullptr, self);
    gDriver.self = WindowRefOf(self);
    self->onIdle = DriverPass;
    ASSERT_EQ(0, AddIdleCallback(DriverPass, self));
    RunModal(self);
    // What the last events still have in flight arrives now: it may open a window, or quit the
    // panel.
    Settle();
    gDriver.lastKiB = QuietHeapKiB();
    CountAsserts();
    printf("stress: seed %ld, %ld events (%ld keys, %ld clicks, %ld drags, %ld closes, %ld "
           "restarts), "
           "heap in use %ld KiB after %ld events, %ld KiB at the end\n",
           seed, gDriver.events, gDriver.keys, gDriver.clicks, gDriver.drags, gDriver.closes,
           gDriver.restarts, gDriver.baselineKiB, kMemoryWarmUp, gDriver.lastKiB);
    for (const std::string &title : gDriver.seen)
        printf("stress: saw \"%s\"\n", title.c_str());
    EXPECT_EQ(gDriver.limit, gDriver.events);
    EXPECT_EQ(0, gDriver.asserts);
    EXPECT_EQ(0, gDriver.overflows);
    if (!WindowIsLive(gDriver.panel) || gDriver.panel->closing) // quit by the last events
        gDriver.panel = calcPanelCreate(settings.c_str());
    panel = gDriver.panel;
    ASSERT_TRUE(WindowIsLive(panel));
    ShowDialog(panel);

    // Everything but the panel closes; the calculator, set back to decimal, computes.
    for (Window *w : TopWindows())
        if (!IsPanel(w))
            CloseWindow(w);
    Settle();
    // Decimal (Alt+D) and All Clear (Alt+A), typed: after random digit counts the row of cells
    // may lie anywhere over the keys, but the keyboard always reaches the panel.
    SetFocusWindow(panel);
    for (int letter : {'D', 'A'}) {
        HeadlessKeyDown(kHostKeyAlt);
        HeadlessKeystroke(letter, letter - 'A' + 'a');
        HeadlessKeyUp(kHostKeyAlt);
    }
    Settle();
    const std::string cleared = Shown();
    EXPECT_EQ(std::string::npos, cleared.find_first_not_of("0.| "))
        << cleared << " state " << calc()->state << " modal " << ModalDepth() << " tops "
        << TopWindows().size() << " radix " << calc()->radix;
    EXPECT_FALSE(calcIsError(calc()));
    Type("2+3=");
    ASSERT_NE(nullptr, calc()->operands);
    double x = 0;
    Number *copy =
        numCreate(calc()->operands->length, calc()->operands->radix, calc()->operands->format);
    ASSERT_NE(nullptr, copy);
    ASSERT_EQ(0, numCopy(calc()->operands, copy));
    ASSERT_EQ(0, floatValue(copy, &x, calc()));
    numFree(copy);
    EXPECT_EQ(5.0, x) << Shown() << " state " << calc()->state << " radix " << calc()->radix
                      << " format " << calc()->format << " digits " << calc()->digits
                      << " recorder " << calc()->recorderMode << " focus " << NameOf(FocusWindow())
                      << " modal " << ModalDepth() << " tops " << TopWindows().size() << " mr10 "
                      << (Key("mr10") ? (int)(Key("mr10")->flags & kWindowDisabled) : -1)
                      << " program " << (void *)calc()->program;

    // Memory: measured only without the sanitizers, whose allocator the heap count does not see.
    if (!kSanitized && gDriver.limit > 2 * kMemoryWarmUp) {
        EXPECT_LE(gDriver.lastKiB, gDriver.baselineKiB + kMemoryBoundKiB);
    }
}

} // namespace
