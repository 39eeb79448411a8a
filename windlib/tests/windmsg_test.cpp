// The event queue and loop on the headless host's virtual clock: coalescing and overflow,
// cancelling, modal nesting and its limits, idle round-robin and back-off, hover, presses with
// capture, auto-repeat, close and resize messages.
#include "windtest.h"

#include "host.h"

#include <algorithm>
#include <cstring>

using namespace windtest;

namespace {

class LoopTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        top = Top("main", kWindowFramed, 1, 1, 40, 20); // client at 8, 13
        a = Child("a", top, 2, 2, 9, 5);                // 16, 26 .. 79, 77 in the client
        b = Child("b", top, 12, 2, 19, 5);              // 96, 26 ..
        ShowWindowTree(top);
    }
    // Schedules fn at `at` ms from now.
    static void At(int64_t at, void (*fn)(void *), void *context = nullptr) {
        HeadlessAt(HeadlessNow() + at, fn, context);
    }
    Window *top = nullptr, *a = nullptr, *b = nullptr;
};

Window *gA, *gB;
int gCount;

void ScreenOf(Window *w, int x, int y, int *sx, int *sy) {
    HeadlessClientToScreen(w->host, x, y, sx, sy);
}

// ---- the queue ----------------------------------------------------------------------------------

TEST_F(LoopTest, OnlyRedrawResizeAndCloseAreMerged) {
    struct Case {
        const char *label;
        int code1, value1, code2, value2;
        bool sameWindow;
        int added;
    } cases[] = {
        {"redraw twice", kEventRedraw, 0, kEventRedraw, 0, true, 1},
        {"resized twice", kEventResized, 0, kEventResized, 0, true, 1},
        {"close twice", kEventClose, 0, kEventClose, 0, true, 1},
        {"redraw of two windows", kEventRedraw, 0, kEventRedraw, 0, false, 2},
        {"drag to one position", kEventDrag, 0x50005, kEventDrag, 0x50005, true, 2},
        {"the same key twice", kEventKey, '1', kEventKey, '1', true, 2},
        {"the same press twice", kEventLeftDown, 0x10001, kEventLeftDown, 0x10001, true, 2},
        {"the same release twice", kEventLeftUp, 0x10001, kEventLeftUp, 0x10001, true, 2},
        {"redraw then resized", kEventRedraw, 0, kEventResized, 0, true, 2},
    };
    for (const Case &c : cases) {
        LoopReset();
        EXPECT_EQ(0, PostEvent(c.code1, c.value1, a)) << c.label;
        EXPECT_EQ(0, PostEvent(c.code2, c.value2, c.sameWindow ? a : b)) << c.label;
        EXPECT_EQ(c.added, EventCount()) << c.label;
    }
}

TEST_F(LoopTest, TheFiveHundredTwelfthEventIsRefused) {
    Window *k = Child("keys", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = [](int, Window *) { return ++gCount, 0; };
    gCount = 0;
    int posted = 0;
    while (EventCount() < kEventRingSize - 1) {
        ASSERT_EQ(0, PostEvent(kEventKey, 'x', k));
        posted++;
    }
    EXPECT_EQ(1, PostEvent(kEventKey, 'y', k));
    EXPECT_EQ(kEventRingSize - 1, EventCount());
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ(" Message overflow", HeadlessBoxCaption(0));
    EXPECT_STREQ("keys", HeadlessBoxText(0));
    At(1000, CloseAll);
    RunFor(top);
    EXPECT_EQ(posted, gCount); // every queued key still arrives
}

// Redraws and resizes carry no input: past half the queue they are owed by their windows and
// delivered once it has drained, without a box, and the room left is kept for keys and closes.
// A key that finds the queue full is still refused.
struct Flood {
    Window *keys;
    std::vector<Window *> cells;
    int posted = 0, refused = 0, owedWithoutBox = 0, countAfterOwed = 0;
};

void FloodTheQueue(void *context) {
    Flood *f = (Flood *)context;
    gLog.clear(); // the first paints of the new windows are done
    gCount = 0;
    HeadlessBoxClear();
    for (; EventCount() < kEventRingSize / 2; f->posted++)
        PostEvent(kEventKey, 'x', f->keys);
    for (int round = 0; round < 2; round++)
        for (Window *c : f->cells)
            f->owedWithoutBox +=
                PostEvent(kEventRedraw, 0, c) == 0 && PostEvent(kEventResized, 0, c) == 0;
    f->countAfterOwed = EventCount();
    for (; EventCount() < kEventRingSize - 1; f->posted++)
        PostEvent(kEventKey, 'x', f->keys);
    f->refused = PostEvent(kEventKey, 'y', f->keys);
}

TEST_F(LoopTest, RedrawsAndResizesBeyondAFullQueueAreDeliveredLater) {
    Flood f;
    f.keys = Child("keys", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    f.keys->onKey = [](int, Window *) { return ++gCount, 0; };
    std::vector<std::string> names;
    for (int i = 0; i < 40; i++) {
        names.push_back("cell" + std::to_string(i));
        f.cells.push_back(Child(names.back().c_str(), top, i % 20, 6 + i / 20, i % 20, 6 + i / 20,
                                kWindowKindLabel));
        ASSERT_NE(nullptr, f.cells.back());
        f.cells.back()->onPaint = LogPaint;
    }
    At(100, FloodTheQueue, &f);
    At(1000, CloseAll);
    RunFor(top);
    EXPECT_EQ(80, f.owedWithoutBox);
    EXPECT_EQ(kEventRingSize / 2, f.countAfterOwed); // none of them took a place
    EXPECT_EQ(1, f.refused);
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ(" Message overflow", HeadlessBoxCaption(0));
    EXPECT_EQ(f.posted, gCount);          // every key
    for (const std::string &name : names) // (a resize paints too)
        EXPECT_LE(1, std::count(gLog.begin(), gLog.end(), "paint " + name)) << name;
}

TEST_F(LoopTest, ClosingAWindowCancelsItsQueuedEvents) {
    Window *c = Child("c", top, 30, 2, 35, 5);
    c->onPaint = LogPaint;
    PostEvent(kEventClose, 0, c);
    PostEvent(kEventRedraw, 0, c);
    At(100, CloseAll);
    RunFor(top);
    EXPECT_EQ(std::vector<std::string>{"close c"}, gLog);
}

TEST_F(LoopTest, AWindowWithoutOnCloseIsReported) {
    a->onClose = nullptr;
    PostEvent(kEventClose, 0, a);
    At(100, CloseAll);
    RunFor(top);
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("KLN Report", HeadlessBoxCaption(0));
    EXPECT_STREQ("Can't close a\n", HeadlessBoxText(0));
}

TEST_F(LoopTest, TheHostCloseBoxClosesTheWindow) {
    At(
        10, [](void *top) { HeadlessClose(((Window *)top)->host); }, top);
    EXPECT_EQ(0, RunFor(top));
    EXPECT_EQ((std::vector<std::string>{"close main", "close a", "close b"}), gLog);
    EXPECT_LT(HeadlessNow(), 1000);
}

int LogDamage(Window *w) {
    Note("paint " + NameOf(w) + " " + std::to_string(w->damageRight) + "," +
         std::to_string(w->damageBottom));
    return 0;
}

TEST_F(LoopTest, AHostResizeLaysTheWindowOutAgain) {
    top->onPaint = LogDamage;
    At(
        50,
        [](void *top) {
            gLog.clear();
            WindowHost()->moveWindow(((Window *)top)->host, 0, 0, 208, 128, 0); // client 200 x 100
        },
        top);
    At(200, CloseAll);
    RunFor(top);
    ASSERT_FALSE(gLog.empty());
    EXPECT_EQ("paint main 199,99", gLog[0]);
    EXPECT_EQ(0, top->left); // top is closed: the check is on the record as it was painted
}

// ---- keys ---------------------------------------------------------------------------------------

TEST_F(LoopTest, TwoFastPressesOfOneGiveEleven) {
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = LogKey;
    HeadlessKeystroke(kHostKeyDigit0 + 1, '1');
    HeadlessKeystroke(kHostKeyDigit0 + 1, '1');
    At(50, CloseAll);
    RunFor(top);
    EXPECT_EQ((std::vector<std::string>{"key k 49", "key k 49"}), gLog);
}

int LogWheel(int steps, Window *w) {
    Note("wheel " + NameOf(w) + " " + std::to_string(steps) + " at " + std::to_string(EventTime()));
    return 0;
}

TEST_F(LoopTest, AWheelGoesToTheWheelHandlerWithItsTimeAndIsNoButton) {
    a->onLeftDown = a->onRightDown = a->onMiddleDown = LogLeftDown;
    a->onLeftUp = a->onRightUp = a->onMiddleUp = LogLeftUp;
    SetWheelHandler(LogWheel);
    int sx, sy;
    ScreenOf(a, 5, 5, &sx, &sy);
    HeadlessAdvance(30);
    int64_t turned = HeadlessNow();
    HeadlessWheel(-2, sx, sy);
    HeadlessAdvance(20);
    HeadlessWheel(1, sx, sy);
    At(50, CloseAll);
    RunFor(top);
    SetWheelHandler(nullptr);
    EXPECT_EQ((std::vector<std::string>{"wheel a -2 at " + std::to_string(turned),
                                        "wheel a 1 at " + std::to_string(turned + 20)}),
              gLog);
}

// ---- modal windows ------------------------------------------------------------------------------

std::vector<Window *> gLevels;
int gDeepest;

int NestModal(int, Window *) {
    gDeepest = std::max(gDeepest, ModalDepth());
    int r = RunModal(gLevels[ModalDepth()]);
    Note("modal " + std::to_string(r));
    return 0;
}

TEST_F(LoopTest, TheSeventeenthRunModalFails) {
    gLevels.clear();
    gDeepest = 0;
    for (int i = 0; i <= kModalDepth; i++)
        gLevels.push_back(Child("level", top, 0, 6, 1, 7));
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = NestModal;
    for (int i = 0; i < kModalDepth; i++)
        PostEvent(kEventKey, 'n', k);
    At(1000, CloseAll);
    EXPECT_EQ(0, RunFor(gLevels[0]));
    EXPECT_EQ(kModalDepth, gDeepest);
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("too many modal windows", HeadlessBoxCaption(0));
    EXPECT_STREQ("Modal wait", HeadlessBoxText(0));
    std::vector<std::string> modal;
    for (const std::string &line : gLog)
        if (line.rfind("modal", 0) == 0)
            modal.push_back(line);
    std::vector<std::string> expected(kModalDepth, "modal 0");
    expected[0] = "modal 1"; // the refused one returns first, then every level unwinds
    EXPECT_EQ(expected, modal);
    EXPECT_EQ(0, ModalDepth());
}

int gInnerResult;
int RunDialog(int, Window *) {
    gInnerResult = RunModal(gB);
    Note("inner " + std::to_string(gInnerResult) + " depth " + std::to_string(ModalDepth()) +
         " stop " + std::to_string(StopCounter()));
    return 0;
}

TEST_F(LoopTest, ClosingAModalWindowEndsOnlyItsLevel) {
    Window *dialog = Child("dialog", top, 2, 8, 20, 14, kWindowKindDialog);
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = RunDialog;
    gB = dialog;
    PostEvent(kEventKey, 'd', k);
    At(100, [](void *) { CloseWindow(gB); });
    At(300, CloseAll);
    EXPECT_EQ(0, RunFor(top));
    ASSERT_FALSE(gLog.empty());
    EXPECT_EQ("inner 0 depth 1 stop 0", gLog[0]);
    EXPECT_GE(HeadlessNow(), 300); // the outer level went on until its own window closed
}

TEST_F(LoopTest, ClosingTheLastTopWindowEndsEveryNestedLoop) {
    gLevels = {a, b};
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = NestModal;
    PostEvent(kEventKey, 'n', k);
    PostEvent(kEventKey, 'n', k);
    At(200, CloseAll);
    gLevels.insert(gLevels.begin(), top);
    EXPECT_EQ(0, RunFor(top));
    EXPECT_EQ(kStopAll, StopCounter());
    EXPECT_EQ(0, ModalDepth());
    // A loop entered while the stop counter is set is an internal fault, and runs nothing.
    Window *late = Top("late");
    EXPECT_EQ(1, RunModal(late));
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("ASSERT Failed", HeadlessBoxCaption(0));
    EXPECT_EQ(0, strncmp("windlib\\src\\windmsg Line ", HeadlessBoxText(0), 25));
    EXPECT_EQ(1, RunModal(nullptr));
}

// A termination signal reaches the toolkit as the host's quit message: every level ends at once,
// as after the last close, and the windows stay for the epilog to close.
TEST_F(LoopTest, TheHostsQuitEndsEveryLevelAndLeavesTheWindowsOpen) {
    Window *dialog = Child("dialog", top, 2, 8, 20, 14, kWindowKindDialog);
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = RunDialog;
    gA = top;
    gB = dialog;
    PostEvent(kEventKey, 'd', k);
    EXPECT_EQ(0, LoopEndSignal());
    At(100, [](void *) { kHeadlessHost.postMessage(gA->host, kHostMsgQuit, 15); });
    At(300, [](void *) { Note("still running"); });
    EXPECT_EQ(0, RunFor(top));
    // The levels stay on the modal stack with their windows, which close from the top down.
    std::string ended = "inner 0 depth 2 stop " + std::to_string(kStopAll);
    EXPECT_EQ(std::vector<std::string>{ended}, gLog);
    EXPECT_EQ(15, LoopEndSignal());
    EXPECT_TRUE(WindowIsLive(top));
    EXPECT_TRUE(WindowIsLive(dialog));
    EXPECT_EQ(2, ModalDepth());
    CloseWindow(top);
    EXPECT_EQ(0, ModalDepth());
    EXPECT_FALSE(WindowIsLive(dialog));
}

// ---- idle work ----------------------------------------------------------------------------------

TEST_F(LoopTest, TheSeventeenthIdleRegistrationFails) {
    std::vector<Window *> w;
    for (int i = 0; i <= kIdleSlots; i++)
        w.push_back(Child("idle", top, 0, 6, 1, 7));
    auto idle = [](Window *) { return 0; };
    for (int i = 0; i < kIdleSlots; i++)
        EXPECT_EQ(0, AddIdleCallback(idle, w[i]));
    EXPECT_EQ(1, AddIdleCallback(idle, w[kIdleSlots]));
    EXPECT_EQ(0, AddIdleCallback(idle, w[0])); // its own slot again
    EXPECT_EQ(kIdleSlots, IdleCount());
    EXPECT_EQ(0, RemoveIdleCallback(w[3]));
    EXPECT_EQ(1, RemoveIdleCallback(w[3]));
    EXPECT_EQ(0, AddIdleCallback(idle, w[kIdleSlots]));
    CloseWindow(w[5]); // closing gives the slot back
    EXPECT_EQ(kIdleSlots - 1, IdleCount());
}

int IdleRoundRobin(Window *w) {
    Note(NameOf(w));
    if (++gCount == 9)
        CloseAll(nullptr);
    return 1;
}

TEST_F(LoopTest, IdleCallbacksRunRoundRobin) {
    Window *c = Child("c", top, 30, 2, 35, 5);
    gCount = 0;
    for (Window *w : {a, b, c})
        ASSERT_EQ(0, AddIdleCallback(IdleRoundRobin, w));
    RunFor(top);
    std::vector<std::string> expected = {"a", "b", "c", "a", "b", "c", "a", "b", "c"};
    EXPECT_EQ(expected, gLog);
}

int IdleRunsNestedLoop(Window *) {
    Note("a");
    if (gCount++ == 0) {
        RunModal(gB);
        Note("a back");
    }
    return 0;
}

int IdleNote(Window *w) {
    Note(NameOf(w));
    return 0;
}

TEST_F(LoopTest, ANestedLoopDoesNotReenterARunningIdleCallback) {
    Window *dialog = Child("dialog", top, 2, 8, 20, 14, kWindowKindDialog);
    gB = dialog;
    gCount = 0;
    ASSERT_EQ(0, AddIdleCallback(IdleRunsNestedLoop, a));
    ASSERT_EQ(0, AddIdleCallback(IdleNote, b));
    At(500, [](void *) { CloseWindow(gB); });
    At(800, CloseAll);
    RunFor(top);
    auto back = std::find(gLog.begin(), gLog.end(), "a back");
    ASSERT_NE(gLog.end(), back);
    ASSERT_EQ("a", gLog[0]);
    EXPECT_GE(back - gLog.begin(), 3); // b ran meanwhile, a never did
    for (auto it = gLog.begin() + 1; it != back; ++it)
        EXPECT_EQ("b", *it);
}

// The timers running and the blocking waits made so far, at scripted moments: an action runs
// inside the loop's wait, so it sees whether that wait has the loop's timer armed.
struct WaitSample {
    int timers;
    long gets;
};
std::vector<WaitSample> gSamples;
void Sample(void *) {
    HeadlessStats s = HeadlessGetStats();
    gSamples.push_back({s.timers, s.gets});
}
int QuietIdle(Window *) { return 0; }
void DropIdle(void *window) { RemoveIdleCallback(static_cast<Window *>(window)); }

TEST_F(LoopTest, AQuietLoopSleepsInOneWaitWithoutATimer) {
    gSamples.clear();
    At(2000, Sample);
    At(8000, Sample);
    At(10000, CloseAll);
    HeadlessStats before = HeadlessGetStats();
    RunFor(top);
    HeadlessStats after = HeadlessGetStats();
    ASSERT_EQ(2u, gSamples.size());
    // Nothing is due: after the first paint one wait lasts until the script acts. (A scripted
    // action ends the wait it runs in, as any wake-up would: the second sample's wait is the
    // next one. With the timer there would be sixty between the samples.)
    EXPECT_EQ(0, gSamples[0].timers);
    EXPECT_EQ(0, gSamples[1].timers);
    EXPECT_EQ(gSamples[0].gets + 1, gSamples[1].gets);
    EXPECT_EQ(after.timedWaits, before.timedWaits);
    EXPECT_EQ(0, after.stalls - before.stalls);
}

TEST_F(LoopTest, OnlyAQuietIdleCallbackKeepsTheTimerRunning) {
    gSamples.clear();
    ASSERT_EQ(0, AddIdleCallback(QuietIdle, a));
    At(1050, Sample); // a quiet callback waits for its next call: the timer bounds the wait
    At(1950, Sample);
    At(2000, DropIdle, a);
    At(3050, Sample); // nothing left to call: no timer, one wait
    At(3950, Sample);
    At(4000, CloseAll);
    RunFor(top);
    ASSERT_EQ(4u, gSamples.size());
    EXPECT_EQ(1, gSamples[0].timers);
    EXPECT_EQ(1, gSamples[1].timers);
    EXPECT_EQ(9, gSamples[1].gets - gSamples[0].gets); // woken every 100 ms
    EXPECT_EQ(0, gSamples[2].timers);
    EXPECT_EQ(0, gSamples[3].timers);
    EXPECT_EQ(gSamples[2].gets + 1, gSamples[3].gets); // only the sample's own wake
}

int BusyThenQuiet(Window *w) {
    gTimes.push_back(HeadlessNow());
    (void)w;
    return ++gCount <= 50;
}

TEST_F(LoopTest, BusyIdleWorkPollsAndQuietIdleWorkWaits) {
    gCount = 0;
    ASSERT_EQ(0, AddIdleCallback(BusyThenQuiet, a));
    int64_t start = HeadlessNow();
    At(2000, CloseAll);
    RunFor(top);
    ASSERT_GT(gTimes.size(), 60u);
    // The first 50 calls report work: the loop only polls, no virtual time passes.
    EXPECT_EQ(start, gTimes[49]);
    // Then it blocks; the quiet callback is called once per 100 ms timer.
    for (size_t i = 52; i < gTimes.size(); i++)
        EXPECT_EQ(100, gTimes[i] - gTimes[i - 1]) << i;
}

// ---- pointer ------------------------------------------------------------------------------------

void MoveOnto(void *point) {
    int *p = (int *)point;
    int sx, sy;
    ScreenOf(gA, p[0], p[1], &sx, &sy);
    HeadlessPointerMove(sx, sy);
}

TEST_F(LoopTest, HoverFiresOnceAfterASecondOfRest) {
    gA = a;
    a->onHover = LogHover;
    static int first[2] = {5, 6}, second[2] = {7, 6};
    int64_t start = HeadlessNow();
    At(100, MoveOnto, first);
    At(3000, MoveOnto, second);
    At(5000, CloseAll);
    HeadlessStats before = HeadlessGetStats();
    RunFor(top);
    HeadlessStats after = HeadlessGetStats();
    std::vector<std::string> hovers;
    for (const std::string &line : gLog)
        if (line.rfind("hover", 0) == 0)
            hovers.push_back(line);
    ASSERT_EQ((std::vector<std::string>{"hover a 5,6", "hover a 7,6"}), hovers);
    EXPECT_GE(gTimes[0] - start, 1100);
    EXPECT_LE(gTimes[0] - start, 1120);
    EXPECT_GE(gTimes[1] - start, 4000);
    EXPECT_LE(gTimes[1] - start, 4020);
    // Hover tracking waits in 20 ms slices instead of spinning on the queue.
    long timed = after.timedWaits - before.timedWaits;
    EXPECT_GE(timed, 80);
    EXPECT_LE(timed, 120);
    EXPECT_LE(after.peeks - before.peeks, 200);
}

struct PointerStep {
    int64_t at;
    int button;  // 0 left, 2 right; -1 a move
    int down;    //
    Window **on; // the window whose client point this is
    int x, y;    //
};

void RunPointerStep(void *step) {
    const PointerStep *s = (const PointerStep *)step;
    int sx, sy;
    ScreenOf(*s->on, s->x, s->y, &sx, &sy);
    if (s->button < 0)
        HeadlessPointerMove(sx, sy);
    else
        HeadlessButton(s->button, s->down, sx, sy);
}

void Script(const PointerStep *steps, int count) {
    for (int i = 0; i < count; i++)
        HeadlessAt(HeadlessNow() + steps[i].at, RunPointerStep, (void *)&steps[i]);
}

TEST_F(LoopTest, ALeftPressMovedToAnotherWindowReleasesOnThePressedWindow) {
    gA = a;
    gB = b;
    for (Window *w : {a, b}) {
        w->onLeftDown = LogLeftDown;
        w->onLeftUp = LogLeftUp;
        w->onDrag = LogDrag;
        w->onLeave = LogLeave;
    }
    static const PointerStep steps[] = {
        {10, 0, 1, &gA, 3, 3},
        {20, -1, 0, &gB, 5, 5},
        {30, -1, 0, &gB, 6, 5},
        {40, 0, 0, &gB, 6, 5},
    };
    Script(steps, 4);
    At(100, CloseAll);
    RunFor(top);
    // b lies 80 pixels right of a. The pointer leaves a once: a button cancels its press there.
    std::vector<std::string> expected = {"down a 3,3", "leave a", "drag a 85,5", "drag a 86,5",
                                         "up a 86,5"};
    EXPECT_EQ(expected, gLog);
    EXPECT_EQ(nullptr, HeadlessCapture());
}

TEST_F(LoopTest, ASecondPressLeavesTheCaptureWhereItIs) {
    gA = a;
    gB = b;
    for (Window *w : {a, b}) {
        w->onLeftDown = LogLeftDown;
        w->onLeftUp = LogLeftUp;
        w->onRightDown = LogRightDown;
    }
    static const PointerStep steps[] = {
        {10, 2, 1, &gA, 3, 3}, // right press on a: a holds the capture
        {20, 0, 1, &gB, 5, 5}, // left press on b while it does
        {30, 0, 0, &gB, 5, 5},
        {40, 2, 0, &gA, 3, 3},
    };
    Script(steps, 4);
    At(100, CloseAll);
    RunFor(top);
    std::vector<std::string> expected = {"rdown a 3,3", "down a 85,5", "up a 85,5"};
    EXPECT_EQ(expected, gLog);
}

void SynthesisedPressOnA(void *) { PostEvent(kEventLeftDown, PackPosition(3, 3), gA); }

// A press made by the program (a key pressing its button) has no press window; when its own
// release is lost, the next left release of the mouse still ends its capture, and the clicks
// after it go where they are made.
TEST_F(LoopTest, AReleaseWithoutItsPressWindowStillEndsTheCapture) {
    gA = a;
    gB = b;
    for (Window *w : {a, b}) {
        w->onLeftDown = LogLeftDown;
        w->onLeftUp = LogLeftUp;
    }
    At(5, SynthesisedPressOnA);
    static const PointerStep steps[] = {
        {10, 0, 0, &gB, 5, 5}, // a release alone
        {20, 0, 1, &gB, 5, 5},
        {30, 0, 0, &gB, 5, 5},
    };
    Script(steps, 3);
    At(100, CloseAll);
    RunFor(top);
    std::vector<std::string> expected = {"down a 3,3", "up a 85,5", "down b 5,5", "up b 5,5"};
    EXPECT_EQ(expected, gLog);
}

int LogRightUp(int p, Window *w) {
    Note("rup " + NameOf(w) + " " + Where(p));
    return 0;
}

// The pointer's events after a press go to the pressed window until its release, wherever the
// pointer is (the X server's grab): a right click whose release falls off every window ends the
// capture all the same.
TEST_F(LoopTest, AReleaseOffEveryWindowStillReachesThePressedOne) {
    a->onRightDown = LogRightDown;
    a->onRightUp = LogRightUp;
    int sx, sy;
    HeadlessClientToScreen(a->host, 3, 3, &sx, &sy);
    HeadlessButton(2, 1, sx, sy);
    HeadlessPointerMove(1270, 1015); // the empty screen
    HeadlessButton(2, 0, 1270, 1015);
    At(100, CloseAll);
    RunFor(top);
    ASSERT_EQ(2u, gLog.size());
    EXPECT_EQ("rdown a 3,3", gLog[0]);
    EXPECT_EQ(0u, gLog[1].rfind("rup a ", 0)) << gLog[1];
    EXPECT_EQ(nullptr, LoopCaptureWindow());
}

int RepeatingButton(int, Window *w) {
    gTimes.push_back(HeadlessNow());
    if (gTimes.size() == 1)
        StartAutoRepeat(w);
    PostEvent(kEventRedraw, 0, w); // a repaint wakes the repeat's wait
    return 0;
}

TEST_F(LoopTest, AutoRepeatStartsAfterADelayAndStopsOnRelease) {
    gA = a;
    a->onLeftDown = RepeatingButton;
    static const PointerStep steps[] = {{100, 0, 1, &gA, 3, 3}, {600, 0, 0, &gA, 3, 3}};
    int64_t start = HeadlessNow();
    Script(steps, 2);
    At(1000, CloseAll);
    RunFor(top);
    ASSERT_GE(gTimes.size(), 10u);
    EXPECT_EQ(100, gTimes[0] - start);
    EXPECT_GE(gTimes[1] - start, 220); // no sooner than 120 ms after the press
    EXPECT_LE(gTimes[1] - start, 240);
    for (size_t i = 2; i < gTimes.size(); i++)
        EXPECT_GE(gTimes[i] - gTimes[i - 1], 20) << i;
    EXPECT_LE(gTimes.back() - start, 600); // nothing after the release
    EXPECT_GE(gTimes.size(), 15u);
}

// ---- input under load, boxes, re-entrancy -------------------------------------------------------

int gSteps, gKeyStep, gMostWaiting;
Window *gKeys;

// A busy idle callback that posts a redraw on every step, as a running program does; at step
// 100 a key is typed.
int BusyPoster(Window *w) {
    gSteps++;
    PostEvent(kEventRedraw, 0, w);
    if (gSteps > 200) // after the keystroke's own three messages
        gMostWaiting = std::max(gMostWaiting, HeadlessGetStats().waiting);
    if (gSteps == 100)
        HeadlessKeystroke(kHostKeyEscape, 27);
    if (gSteps == 5000)
        CloseAll(nullptr);
    return 1;
}

TEST_F(LoopTest, ABusyIdleCallbackThatPostsNeverHoldsInputBack) {
    gSteps = gKeyStep = gMostWaiting = 0;
    gKeys = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    gKeys->onKey = [](int code, Window *) {
        if (code == 27)
            gKeyStep = gSteps;
        return 0;
    };
    SetFocusWindow(gKeys);
    ASSERT_EQ(0, AddIdleCallback(BusyPoster, a));
    RunFor(top);
    EXPECT_EQ(5000, gSteps);
    EXPECT_GE(gKeyStep, 100);
    EXPECT_LE(gKeyStep, 102);   // the next rounds of the loop take it
    EXPECT_LE(gMostWaiting, 1); // posts are coalesced, never one queued per step
}

int gCaptureDuringBox = -1;
int ReportOnPress(int p, Window *w) {
    LogLeftDown(p, w);
    ReportMessage("pressed");
    gCaptureDuringBox = HeadlessCapture() != nullptr;
    return 0;
}

TEST_F(LoopTest, AMessageBoxFromAPressLetsGoOfThePointer) {
    // A box shown while a button holds the capture would never get its clicks.
    gA = a;
    a->onLeftDown = ReportOnPress;
    a->onLeftUp = LogLeftUp;
    static const PointerStep steps[] = {{10, 0, 1, &gA, 3, 3}, {20, 0, 0, &gA, 4, 4}};
    Script(steps, 2);
    At(100, CloseAll);
    RunFor(top);
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("pressed", HeadlessBoxText(0));
    EXPECT_EQ(0, gCaptureDuringBox);
    // The release still reaches the pressed window.
    std::vector<std::string> expected = {"down a 3,3", "up a 4,4"};
    EXPECT_EQ(expected, gLog);
}

Window *gFirst, *gSecond;
int gKeysSeen;

int SecondsLoop(Window *w) {
    Note("second's loop runs");
    CloseWindow(w);
    return 0;
}

// The first key runs the first dialog; the second, delivered inside that dialog's loop, closes
// it and runs another dialog from the same callback.
int CloseAndRunAnother(int, Window *) {
    if (++gKeysSeen == 1)
        return RunModal(gFirst);
    Note("close first, depth " + std::to_string(ModalDepth()));
    CloseWindow(gFirst);
    AddIdleCallback(SecondsLoop, gSecond);
    int result = RunModal(gSecond);
    Note("second returned " + std::to_string(result) + ", depth " + std::to_string(ModalDepth()));
    return 0;
}

TEST_F(LoopTest, AModalWindowClosedAndReplacedFromOneCallbackRunsTheNewOne) {
    gKeysSeen = 0;
    gFirst = Child("first", top, 2, 8, 20, 14, kWindowKindDialog);
    gSecond = Child("second", top, 2, 8, 20, 14, kWindowKindDialog);
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = CloseAndRunAnother;
    PostEvent(kEventKey, 'x', k);
    PostEvent(kEventKey, 'y', k);
    At(500, CloseAll);
    EXPECT_EQ(0, RunFor(top));
    EXPECT_EQ(0, HeadlessBoxCount()) << HeadlessBoxText(0);
    std::vector<std::string> expected = {"close first, depth 2", "second's loop runs",
                                         "second returned 0, depth 1"};
    EXPECT_EQ(expected, gLog);
    EXPECT_GE(HeadlessNow(), 500); // the main level went on until its own window closed
}

int EpilogOnKey(int, Window *) {
    WindowEpilog();
    Note(std::string("host after the epilog: ") + (WindowHost() ? "up" : "down"));
    return 0;
}

int EpilogInClose(Window *w) {
    WindowEpilog();
    Note(std::string("epilog asked in a close, host ") + (WindowHost() ? "up" : "down"));
    return CloseWindow(w);
}

TEST_F(LoopTest, AnEpilogFromACloseInsideTheLoopEndsTheLoopToo) {
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    // Closing b closes its child c, whose close asks for the epilog.
    k->onKey = [](int, Window *) { return CloseWindow(gB); };
    gB = b;
    Window *c = Child("c", b, 0, 0, 1, 1);
    c->onClose = EpilogInClose;
    PostEvent(kEventKey, 'q', k);
    At(100000, CloseAll); // the safety net would end it; the epilog must end it first
    EXPECT_EQ(0, RunFor(top));
    EXPECT_LT(HeadlessNow(), 100000);
    EXPECT_EQ(nullptr, WindowHost());
    ASSERT_FALSE(gLog.empty());
    EXPECT_EQ("epilog asked in a close, host up", gLog[0]);
}

TEST_F(LoopTest, AnEpilogFromInsideTheLoopEndsItWhenTheLoopReturns) {
    Window *k = Child("k", top, 0, 0, 1, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = EpilogOnKey;
    PostEvent(kEventKey, 'q', k);
    PostEvent(kEventKey, 'q', k); // never delivered: the loop has ended
    EXPECT_EQ(0, RunFor(top));
    // The windows closed at once (each through onClose); the host stayed up for the callers
    // still on the stack and went down as the loop returned.
    std::vector<std::string> expected = {"close main", "close a", "close b", "close k",
                                         "host after the epilog: up"};
    EXPECT_EQ(expected, gLog);
    EXPECT_EQ(nullptr, WindowHost());
    EXPECT_EQ(nullptr, FirstTopWindow());
}

} // namespace
