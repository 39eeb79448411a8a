// What the toolkit's tests share: a fixture that starts the toolkit on the headless host with
// the failing allocator (and checks at the end that every record went back), a log that the
// recording callbacks write to, and a loop runner with a virtual-time safety net.
#pragma once

#include "failalloc.h"
#include "headless.h"
#include "testpicture.h"
#include "wind.h"
#include "windmsg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace windtest {

inline std::vector<std::string> gLog;     // what the recording callbacks saw, in order
inline std::vector<std::string> gReports; // texts given to the prolog's report function
inline std::vector<int64_t> gTimes;       // virtual times noted by callbacks

inline void Note(const std::string &line) { gLog.push_back(line); }
inline std::string NameOf(const Window *w) { return w && w->name ? w->name : "?"; }
inline void ReportToTest(const char *text) { gReports.push_back(text); }

inline int LogClose(Window *w) {
    Note("close " + NameOf(w));
    return CloseWindow(w);
}
inline int LogPaint(Window *w) {
    Note("paint " + NameOf(w));
    return 0;
}
inline int LogKey(int code, Window *w) {
    Note("key " + NameOf(w) + " " + std::to_string(code));
    return 0;
}
inline int LogFocusIn(Window *w) {
    Note("in " + NameOf(w));
    return 0;
}
inline int LogFocusOut(Window *w) {
    Note("out " + NameOf(w));
    return 0;
}
inline std::string Where(int position) {
    return std::to_string(PositionX(position)) + "," + std::to_string(PositionY(position));
}
inline int LogLeftDown(int p, Window *w) {
    Note("down " + NameOf(w) + " " + Where(p));
    return 0;
}
inline int LogLeftUp(int p, Window *w) {
    Note("up " + NameOf(w) + " " + Where(p));
    return 0;
}
inline int LogRightDown(int p, Window *w) {
    Note("rdown " + NameOf(w) + " " + Where(p));
    return 0;
}
inline int LogDrag(int p, Window *w) {
    Note("drag " + NameOf(w) + " " + Where(p));
    return 0;
}
inline int LogLeave(Window *w) {
    Note("leave " + NameOf(w));
    return 0;
}
inline int LogHover(int p, Window *w) {
    Note("hover " + NameOf(w) + " " + Where(p));
    gTimes.push_back(HeadlessNow());
    return 0;
}

// Closes every top window without the recording close callbacks: the end of a scripted loop.
inline void CloseAll(void *) {
    while (Window *top = FirstTopWindow()) {
        for (Window *w = top; w; w = w->chain)
            w->onClose = CloseWindow;
        CloseWindow(top);
    }
}

inline void SafetyNet(void *) {
    ADD_FAILURE() << "the loop was still running at the safety net";
    CloseAll(nullptr);
}

// Runs `top` modally; the loop must end (through the test's own script) before `limitMs` of
// virtual time, or the safety net closes everything and the test fails.
inline int RunFor(Window *top, int64_t limitMs = 600000) {
    HeadlessAt(HeadlessNow() + limitMs, SafetyNet, nullptr);
    return RunModal(top);
}

// Runs the event loop until `done` holds, looking every 20 ms of virtual time, for at most
// `realMs` of real time: a program the toolkit runs in the background (lp, lpstat) takes real
// time, however fast the virtual clock goes. Whether `done` held.
inline bool RunUntil(std::function<bool()> done, int realMs = 20000) {
    struct Wait {
        std::function<bool()> done;
        std::chrono::steady_clock::time_point until;
        Window *runner;
        bool held;
    } wait = {done, std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs), nullptr,
              false};
    if (done())
        return true;
    wait.runner = OpenWindow(0, 0, 1, 1, 0, 0, "until", 0, nullptr);
    if (!wait.runner)
        return false;
    static void (*check)(void *) = [](void *context) {
        Wait *w = (Wait *)context;
        w->held = w->done();
        if (w->held || std::chrono::steady_clock::now() > w->until) {
            CloseWindow(w->runner);
            return;
        }
        usleep(1000); // the program runs meanwhile; the loop need not spin
        HeadlessAt(HeadlessNow() + 20, check, w);
    };
    HeadlessAt(HeadlessNow() + 20, check, &wait);
    RunModal(wait.runner);
    return wait.held;
}

// The innermost dialog the user is looking at: the focus window's dialog, or null.
inline Window *OpenDialog(void) {
    for (Window *w = FocusWindow(); w; w = w->parent)
        if (WindowKind(w) == kWindowKindDialog)
            return w;
    return nullptr;
}

inline void Click(Window *w, int x, int y, int button = 0) {
    int sx, sy;
    HeadlessClientToScreen(w->host, x, y, &sx, &sy);
    HeadlessButton(button, 1, sx, sy);
    HeadlessButton(button, 0, sx, sy);
}

class WindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WindowUseHost("headless");
        gLog.clear();
        gReports.clear();
        gTimes.clear();
        failAllocReset(0);
        Start(24);
    }
    // Starts the toolkit on a 1280 x 1024 screen of that depth (8: a palette screen).
    void Start(int bitsPerPixel) {
        HeadlessConfigure(1280, 1024, bitsPerPixel);
        static char program[] = "/opt/torva/bin/torva";
        static char *argv[] = {program, nullptr};
        ASSERT_EQ(0, WindowProlog(1, argv, failAllocate, failRelease, ReportToTest));
    }
    // Starts again on an 8-bit palette screen.
    void RestartOnAPaletteScreen() {
        WindowEpilog();
        Start(8);
    }
    void TearDown() override {
        WindowEpilog();
        EXPECT_EQ(0, failAllocOutstanding() + outstandingBefore) << "records or texts left behind";
    }
    // Arms the failing allocator (the n-th allocation from now fails) without losing count of
    // what is already allocated.
    void FailAllocation(long n) {
        outstandingBefore += failAllocOutstanding();
        failAllocReset(n);
    }
    long outstandingBefore = 0;

    Window *Top(const char *name, uint32_t flags = kWindowFramed, int left = 1, int top = 1,
                int right = 40, int bottom = 20) {
        Window *w = OpenWindow(left, top, right, bottom, 0, 0xFFFFFF, name, flags, nullptr);
        EXPECT_NE(nullptr, w);
        if (w)
            w->onClose = LogClose;
        return w;
    }
    Window *Child(const char *name, Window *parent, int left = 0, int top = 0, int right = 4,
                  int bottom = 1, uint32_t flags = kWindowKindButton) {
        Window *w = OpenWindow(left, top, right, bottom, 0, 0xFFFFFF, name, flags, parent);
        EXPECT_NE(nullptr, w);
        if (w)
            w->onClose = LogClose;
        return w;
    }
};

} // namespace windtest
