// The host core through the headless backend, below the toolkit: the order in which a wait
// takes messages (input before posted messages, as a window system keeps them), the bounds of
// the queues, and the modifiers and time that every input message carries.
#include "headless.h"
#include "host.h"
#include "hostcore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

long NoProc(const HostMessage *) { return 0; }

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        HeadlessConfigure(1280, 1024, 24);
        ASSERT_EQ(0, host.open("torva"));
        HostClass cls = {"test", NoProc, kHostNoBackground, 0, nullptr, 0, 0};
        ASSERT_EQ(0, host.registerClass(&cls));
        for (int i = 0; i < 3; i++) {
            windows[i] =
                host.createWindow("test", "w", kHostStylePopup, 10 + 100 * i, 10, 80, 80, nullptr);
            ASSERT_NE(nullptr, windows[i]);
            host.showWindow(windows[i], 1);
            host.validateRect(windows[i], nullptr); // no paint messages in the way
        }
        host.setFocus(windows[0]);
    }
    void TearDown() override { host.close(); }

    std::vector<HostMessage> TakeAll() {
        std::vector<HostMessage> all;
        HostMessage m;
        while (host.peekMessage(&m, 1))
            all.push_back(m);
        return all;
    }

    const HostOps &host = kHeadlessHost;
    HostWindow *windows[3] = {};
};

TEST_F(HostTest, InputIsTakenBeforePostedMessages) {
    // A program that posts on every step must never hold the keyboard back.
    for (int i = 0; i < 30; i++)
        host.postMessage(windows[i % 3], kHostMsgCommand, 0x1234 + i);
    HeadlessKeystroke(kHostKeyEscape, 27);
    std::vector<HostMessage> all = TakeAll();
    ASSERT_EQ(33u, all.size());
    EXPECT_EQ(kHostMsgKeyDown, all[0].code);
    EXPECT_EQ(kHostMsgChar, all[1].code);
    EXPECT_EQ(kHostMsgKeyUp, all[2].code);
    for (int i = 0; i < 30; i++) {
        EXPECT_EQ(kHostMsgCommand, all[3 + i].code);
        EXPECT_EQ(0x1234 + i, all[3 + i].value); // posted messages keep their own order
    }
}

TEST_F(HostTest, PostedMessagesAreCoalescedAndBounded) {
    for (int i = 0; i < 10000; i++)
        EXPECT_EQ(0, host.postMessage(windows[1], kHostMsgCommand, 0x1234));
    EXPECT_EQ(1, HeadlessGetStats().waiting);
    int refused = 0;
    for (int i = 0; i < 2 * kHostPostedMax; i++)
        refused += host.postMessage(windows[2], kHostMsgCommand, i);
    EXPECT_EQ(kHostPostedMax, HeadlessGetStats().waiting);
    EXPECT_EQ(kHostPostedMax + 1, refused);
    TakeAll();
    EXPECT_EQ(0, HeadlessGetStats().waiting);
}

TEST_F(HostTest, InputCarriesTheModifiersAndTimeItWasMadeWith) {
    // Typed ahead and taken later: each key keeps the modifiers held when it was pressed.
    HeadlessKeyDown(kHostKeyShift);
    HeadlessAdvance(5);
    HeadlessKeystroke(kHostKeyDelete, 0);
    HeadlessKeyUp(kHostKeyShift);
    HeadlessAdvance(5);
    HeadlessKeyDown(kHostKeyControl);
    HeadlessKeyDown(kHostKeyShift);
    HeadlessKeystroke(kHostKeyInsert, 0);
    HeadlessKeyUp(kHostKeyShift);
    HeadlessKeyUp(kHostKeyControl);
    HeadlessKeystroke('A', 'a');
    struct Expect {
        int code, value;
        unsigned modifiers;
        uint32_t time;
        int shiftHeld; // getKeyState once the message is taken
    } expected[] = {
        {kHostMsgKeyDown, kHostKeyShift, kHostModShift, 0, kHostKeyHeld},
        {kHostMsgKeyDown, kHostKeyDelete, kHostModShift, 5, kHostKeyHeld},
        {kHostMsgKeyUp, kHostKeyDelete, kHostModShift, 5, kHostKeyHeld},
        {kHostMsgKeyUp, kHostKeyShift, 0, 5, 0},
        {kHostMsgKeyDown, kHostKeyControl, kHostModControl, 10, 0},
        {kHostMsgKeyDown, kHostKeyShift, kHostModControl | kHostModShift, 10, kHostKeyHeld},
        {kHostMsgKeyDown, kHostKeyInsert, kHostModControl | kHostModShift, 10, kHostKeyHeld},
        {kHostMsgKeyUp, kHostKeyInsert, kHostModControl | kHostModShift, 10, kHostKeyHeld},
        {kHostMsgKeyUp, kHostKeyShift, kHostModControl, 10, 0},
        {kHostMsgKeyUp, kHostKeyControl, 0, 10, 0},
        {kHostMsgKeyDown, 'A', 0, 10, 0},
        {kHostMsgChar, 'a', 0, 10, 0},
        {kHostMsgKeyUp, 'A', 0, 10, 0},
    };
    // Nothing is taken yet: the key state is not the state at the end of the typing.
    EXPECT_EQ(0, host.getKeyState(kHostKeyShift));
    size_t i = 0;
    HostMessage m;
    while (host.peekMessage(&m, 1)) {
        ASSERT_LT(i, std::size(expected));
        const Expect &e = expected[i];
        EXPECT_EQ(e.code, m.code) << i;
        EXPECT_EQ(e.value, m.value) << i;
        EXPECT_EQ(e.modifiers, m.modifiers) << i;
        EXPECT_EQ(e.time, m.time) << i;
        EXPECT_EQ(e.shiftHeld, host.getKeyState(kHostKeyShift)) << i;
        i++;
    }
    EXPECT_EQ(std::size(expected), i);
}

TEST_F(HostTest, TheInputTimeIsThatOfTheLastKeyOrPointerMessageTaken) {
    // The clipboard stamps its requests with the time of the event being handled: typed-ahead
    // input does not count until it is taken, and posted messages carry no time.
    int64_t t0 = HeadlessNow();
    HeadlessAdvance(7);
    HeadlessKeystroke('A', 'a');
    HeadlessAdvance(5);
    HeadlessButton(0, 1, 20, 20);
    host.postMessage(windows[1], kHostMsgCommand, 0x1234);
    EXPECT_EQ(0u, HostCoreInputTime()); // nothing taken since the host opened
    struct Expect {
        int code;
        int64_t time; // after t0
    } expected[] = {
        {kHostMsgKeyDown, 7},   {kHostMsgChar, 7},     {kHostMsgKeyUp, 7},
        {kHostMsgLeftDown, 12}, {kHostMsgCommand, 12},
    };
    HostMessage m;
    for (const Expect &e : expected) {
        ASSERT_TRUE(host.peekMessage(&m, 1));
        EXPECT_EQ(e.code, m.code);
        EXPECT_EQ((uint32_t)(t0 + e.time), HostCoreInputTime()) << m.code;
    }
}

TEST_F(HostTest, ARecordDestroyedInsideItsOwnMessageOutlivesTheCall) {
    // The window procedure destroys its own window and goes on using the handle, as a paint
    // that closes its window does: the handle answers "gone", the record is still readable (the
    // sanitizer build checks), and it is released once the dispatch returns.
    static HostWindow *self;
    static int afterDestroy;
    auto proc = [](const HostMessage *m) -> long {
        if (m->code != kHostMsgCommand)
            return 0;
        HostRect update;
        HostDevice *d = kHeadlessHost.beginPaint(m->window, &update);
        kHeadlessHost.destroyWindow(m->window);
        kHeadlessHost.endPaint(m->window, d);
        afterDestroy = kHeadlessHost.getUpdateRect(m->window, nullptr) +
                       kHeadlessHost.moveWindow(m->window, 0, 0, 5, 5, 1) +
                       kHeadlessHost.setTimer(m->window, 1, 10);
        return 0;
    };
    HostClass cls = {"closing", proc, kHostNoBackground, 0, nullptr, 0, 0};
    ASSERT_EQ(0, host.registerClass(&cls));
    self = host.createWindow("closing", "c", kHostStylePopup, 0, 0, 20, 20, nullptr);
    ASSERT_NE(nullptr, self);
    int before = HeadlessWindowCount();
    host.postMessage(self, kHostMsgCommand, 1);
    HostMessage m;
    ASSERT_TRUE(host.peekMessage(&m, 1));
    host.dispatchMessage(&m);
    EXPECT_EQ(2, afterDestroy); // no update area (0), the move and the timer refused (1 each)
    EXPECT_EQ(before - 1, HeadlessWindowCount());
    EXPECT_EQ(0, HeadlessGetStats().timers);
}

} // namespace
