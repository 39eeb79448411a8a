// The event queue, the event loop and the one window procedure of every host class. Host
// messages arrive through WindowProcedure, which posts toolkit events (or calls a slot at once
// for focus and pointer crossing); EventLoop takes them from the ring and delivers them, and
// between events runs the idle callbacks, hover and auto-repeat. Start reading at EventLoop.
//
// Waiting: the loop blocks in the host while it has nothing to do, woken by any message and,
// only while a quiet idle callback or a held button's repeat is waiting, by the 100 ms timer;
// it only polls while idle callbacks report work, and waits in 20 ms slices while hover or
// auto-repeat need their ticks, so a quiet program never spins a core and is never woken.
#include "windmsg.h"
#include "command.h"
#include "keys.h"

#include "host.h"

#include <cstdio>
#include <initializer_list>

namespace {

constexpr char kSourceFile[] = "windlib\\src\\windmsg";
constexpr int kWakeCommand = 0x1234;  // the host command that wakes a blocked loop
constexpr int kLoopTimerId = 11;      // the host timer of a blocked wait
constexpr int kLoopTimerMs = 100;     //
constexpr int kIdleTickMs = 20;       // hover and auto-repeat run at most this often
constexpr int kHoverRestMs = 1000;    // rest before onHover
constexpr int kRepeatDelayMs = 100;   // StartAutoRepeat: first repeat after this + one tick
constexpr int kRepeatPause = 5;       // loop rounds without ticks after a repeat or hover
constexpr int kBackoffStep = 1000;    // back-off per idle callback without work
constexpr int kBackoffMax = 1000000;  //
constexpr int kBackoffNoIdle = 20000; // back-off with no idle window
constexpr int kReportSize = 300;

struct IdleSlot {
    Window *window;      // registered window, null for a free slot
    bool running;        // its onIdle is on the stack (a nested loop must not call it again)
    uint32_t generation; // the window's generation when it registered
};

struct Loop {
    Event ring[kEventRingSize]; // the queue; empty when read == write
    int read, write;            //
    int count;                  // events in the ring
    bool eventsOwed;            // some window's eventsOwed is set
    Window *modal[kModalDepth]; // modal stack, current modal window on top
    int modalDepth;             //
    int stop;                   // stop counter shared by every loop level
    IdleSlot idle[kIdleSlots];  //
    int idleLast;               // slot served last
    int idleCount;              // registered windows
    // Windows kept across callbacks are references: a bare pointer to a window that closed in
    // a callback may equal the next window opened (see WindowRef).
    WindowRef press;      // window of the left press, and the position in it
    int pressPosition;    //
    bool pressLeft;       // the pointer left the pressed window (onLeave sent)
    WindowRef capture;    // window that gets the releases and drags
    WindowRef pointer;    // last child window under the pointer (onEnter, onLeave)
    WindowRef hover;      // hover candidate, its position and since when
    int hoverPosition;    //
    int64_t hoverTime;    //
    WindowRef repeat;     // auto-repeat window
    int lastButton;       // code of the last button press event
    int lastPosition;     // last pointer position in the capture window
    int64_t lastTick;     // time of the last hover and repeat tick
    int backoff;          // 0: poll the host; otherwise block in it
    int repeatPause;      // rounds left without ticks
    bool idleBusy;        // the last idle callback reported more work
    int levels;           // EventLoop calls on the stack
    uint32_t messageTime; // host time of the message the window procedure handles, else 0
    uint32_t eventTime;   // time of the event being delivered
    int endSignal;        // the signal with which the host asked the program to end, or 0
};

Loop gLoop;
void (*gCloseMenus)(void);           // wiring, not state: survives LoopReset
int (*gWheel)(int steps, Window *w); //

const HostOps *Host(void) { return WindowHost(); }

bool Mergeable(int code) {
    return code == kEventRedraw || code == kEventResized || code == kEventClose;
}

// The events a window can owe: requests that carry no input, so that one arriving late, once,
// does all that any number of them would have done.
constexpr struct {
    int code;
    unsigned char bit;
} kOwable[] = {{kEventResized, 2}, {kEventRedraw, 1}};

// Owable events fill the queue only this far: the rest is kept for input and closes.
constexpr int kOwableRoom = kEventRingSize / 2;

// Queues the owed events, as far as they have room now; the rest stay owed.
void QueueOwedEvents() {
    gLoop.eventsOwed = false;
    Window *first = FirstTopWindow();
    for (Window *top = first; top; top = top->next == first ? nullptr : top->next)
        for (Window *w = top; w; w = w->chain)
            for (const auto &o : kOwable)
                if (w->eventsOwed & o.bit) {
                    w->eventsOwed &= (unsigned char)~o.bit;
                    PostEvent(o.code, 0, w);
                }
}

bool TakeEvent(Event *out) {
    for (;;) {
        while (gLoop.read != gLoop.write) {
            Event e = gLoop.ring[gLoop.read];
            gLoop.read = (gLoop.read + 1) % kEventRingSize;
            gLoop.count--;
            if (e.window && WindowIsLive(e.window)) {
                *out = e;
                return true;
            }
        }
        if (!gLoop.eventsOwed)
            return false;
        QueueOwedEvents();
    }
}

// A position in window `from` as a position in window `to`.
int Translate(int position, Window *from, Window *to) {
    if (from == to || !from || !to)
        return position;
    int fx, fy, tx, ty;
    WindowClientOrigin(from, &fx, &fy);
    WindowClientOrigin(to, &tx, &ty);
    return PackPosition(PositionX(position) + fx - tx, PositionY(position) + fy - ty);
}

int NextIdleSlot(void);

// The 100 ms timer has two clients: an idle callback that reported no work (a running program
// or plot waiting for its next call) and a held button's repeat (whose callback may post
// nothing to wake the wait). Hover waits with a timeout of its own, and nothing else in the
// toolkit is timed, so with neither the wait has no bound: a quiet program is never woken.
bool TimerWanted(void) { return NextIdleSlot() >= 0 || WindowRefLive(gLoop.repeat); }

// Blocks until the next host message (the timer, when armed, bounds the wait) and dispatches it.
void WaitAndDispatch(void) {
    const HostOps *host = Host();
    Window *head = FirstTopWindow();
    HostWindow *timerWindow = head && TimerWanted() ? head->host : nullptr;
    if (timerWindow)
        host->setTimer(timerWindow, kLoopTimerId, kLoopTimerMs);
    HostMessage m;
    int got = host->getMessage(&m);
    if (timerWindow && FindHostWindow(timerWindow))
        host->killTimer(timerWindow, kLoopTimerId);
    gLoop.backoff = 0;
    if (got)
        host->dispatchMessage(&m);
}

// A press on an open pull-down menu or one of its items. While a menu holds the pointer,
// presses outside every window of ours reach the menu itself, outside its rectangle.
bool PressInMenu(Window *w, int position) {
    if (w->flags == kWindowPullDown) {
        int x = PositionX(position), y = PositionY(position);
        return x >= 0 && y >= 0 && x <= w->right - w->left && y <= w->bottom - w->top;
    }
    for (Window *p = w->parent; p; p = p->parent)
        if (p->flags == kWindowPullDown)
            return true;
    return false;
}

void DeliverPress(const Event &e) {
    Window *w = e.window;
    if (OpenPullDown() && !PressInMenu(w, e.value) && gCloseMenus) {
        WindowRef pressed = WindowRefOf(w);
        gCloseMenus();
        if (!WindowRefLive(pressed))
            return;
    }
    gLoop.hover = {};
    gLoop.lastButton = e.code;
    // A second press while a button holds the capture leaves the capture where it is.
    if (!WindowRefLive(gLoop.capture)) {
        gLoop.capture = WindowRefOf(w);
        if (e.code == kEventLeftDown)
            Host()->setCapture(w->host);
    }
    Window *target = WindowRefGet(gLoop.capture);
    int position = Translate(e.value, w, target);
    gLoop.lastPosition = position;
    WindowValueProc slot = e.code == kEventLeftDown     ? target->onLeftDown
                           : e.code == kEventMiddleDown ? target->onMiddleDown
                                                        : target->onRightDown;
    if (slot)
        slot(position, target);
}

// The window holding the capture, else the event's own.
Window *CaptureOr(Window *w) {
    Window *held = WindowRefGet(gLoop.capture);
    return held ? held : w;
}

void DeliverRelease(const Event &e) {
    Window *target = CaptureOr(e.window);
    gLoop.capture = {};
    gLoop.repeat = {};
    if (e.code == kEventLeftUp)
        Host()->releaseCapture();
    int position = Translate(e.value, e.window, target);
    WindowValueProc slot = e.code == kEventLeftUp     ? target->onLeftUp
                           : e.code == kEventMiddleUp ? target->onMiddleUp
                                                      : target->onRightUp;
    if (slot)
        slot(position, target);
}

void DeliverDrag(const Event &e) {
    Window *target = CaptureOr(e.window);
    int position = Translate(e.value, e.window, target);
    gLoop.lastPosition = position;
    if (target->onDrag)
        target->onDrag(position, target);
}

void DeliverClose(Window *w) {
    if (w->onClose) {
        w->onClose(w);
        return;
    }
    char text[kReportSize];
    snprintf(text, sizeof text, "Can't close %s\n", w->name ? w->name : "");
    ReportMessage(text);
}

void Deliver(const Event &e) {
    gLoop.eventTime = e.time;
    switch (e.code) {
    case kEventRedraw:
        RepaintWindow(e.window);
        break;
    case kEventResized:
        e.window->needsLayout = 1;
        RepaintWindow(e.window);
        break;
    case kEventKey:
        KeyDeliver(e.value);
        break;
    case kEventLeftDown:
    case kEventMiddleDown:
    case kEventRightDown:
        DeliverPress(e);
        break;
    case kEventLeftUp:
    case kEventMiddleUp:
    case kEventRightUp:
        DeliverRelease(e);
        break;
    case kEventDrag:
        DeliverDrag(e);
        break;
    case kEventClose:
        DeliverClose(e.window);
        break;
    case kEventWheel:
        if (gWheel)
            gWheel(e.value, e.window);
        break;
    default:
        break;
    }
}

// The next registered slot after the one served last that is not running, or -1.
int NextIdleSlot(void) {
    for (int k = 1; k <= kIdleSlots; k++) {
        int i = (gLoop.idleLast + k) % kIdleSlots;
        if (gLoop.idle[i].window && !gLoop.idle[i].running)
            return i;
    }
    return -1;
}

void RunIdleCallback(void) {
    int i = NextIdleSlot();
    if (i < 0) { // none, or only callbacks that this nested loop runs inside
        gLoop.backoff = kBackoffNoIdle;
        gLoop.idleBusy = false;
        return;
    }
    gLoop.idleLast = i;
    Window *w = gLoop.idle[i].window;
    WindowRef ref = WindowRefOf(w);
    gLoop.idle[i].running = true;
    int more = w->onIdle ? w->onIdle(w) : 0;
    // The slot may have been freed, and taken by another window, while the callback ran.
    if (gLoop.idle[i].window == w && gLoop.idle[i].generation == ref.generation)
        gLoop.idle[i].running = false;
    if (more) {
        gLoop.backoff = 0;
        gLoop.idleBusy = true;
    } else {
        gLoop.backoff =
            gLoop.backoff + kBackoffStep > kBackoffMax ? kBackoffMax : gLoop.backoff + kBackoffStep;
        gLoop.idleBusy = false;
    }
}

void AutoRepeatTick(void) {
    Window *r = WindowRefGet(gLoop.repeat);
    if (!r)
        return;
    if (r != WindowRefGet(gLoop.capture)) {
        gLoop.repeat = {};
        return;
    }
    if (gLoop.lastButton != kEventLeftDown)
        return;
    if (r->onLeftDown)
        r->onLeftDown(gLoop.lastPosition, r);
    WaitAndDispatch();
    gLoop.repeatPause = kRepeatPause;
}

void HoverTick(int64_t now) {
    Window *c = WindowRefGet(gLoop.hover);
    if (!c)
        return;
    if (WindowRefLive(gLoop.capture)) {
        gLoop.hover = {};
        return;
    }
    int sx, sy, ox, oy;
    Host()->getCursorPos(&sx, &sy);
    WindowClientOrigin(c, &ox, &oy);
    int position = PackPosition(sx - ox, sy - oy);
    if (position != gLoop.hoverPosition) {
        gLoop.hoverPosition = position;
        gLoop.hoverTime = now;
        return;
    }
    if (now - gLoop.hoverTime < kHoverRestMs)
        return;
    gLoop.hover = {};
    gLoop.repeatPause = kRepeatPause;
    if (c->onHover)
        c->onHover(position, c);
}

// Hover and auto-repeat want their 20 ms ticks; idle callbacks with work want the loop to poll.
bool TicksWanted(void) { return WindowRefLive(gLoop.repeat) || WindowRefLive(gLoop.hover); }

void IdleWork(void) {
    PollCommands(); // programs in the background are watched at the loop's pace, never waited for
    RunIdleCallback();
    if (TicksWanted())
        gLoop.backoff = 0;
    if (gLoop.repeatPause > 0 || gLoop.stop)
        return;
    int64_t now = Host()->now();
    if (now - gLoop.lastTick < kIdleTickMs)
        return;
    gLoop.lastTick = now;
    AutoRepeatTick();
    if (!gLoop.stop)
        HoverTick(now);
}

int MsUntilTick(void) {
    int64_t wait = gLoop.lastTick + kIdleTickMs - Host()->now();
    return wait < 1 ? 1 : wait > kLoopTimerMs ? kLoopTimerMs : (int)wait;
}

void PopModal(void) {
    if (gLoop.modalDepth == 0) {
        ReportError("modal delete", "modal stacking error");
        return;
    }
    gLoop.modal[--gLoop.modalDepth] = nullptr;
}

void PaintMessage(const HostMessage *m, Window *w) {
    const HostOps *host = Host();
    HostRect update;
    if (!host->getUpdateRect(m->window, &update)) {
        host->defaultProc(m);
        return;
    }
    HostDevice *device = host->beginPaint(m->window, &update);
    w->damageLeft = update.left;
    w->damageTop = update.top;
    w->damageRight = update.right - 1;
    w->damageBottom = update.bottom - 1;
    if (device)
        RepaintWindowOn(device, w);
    host->endPaint(m->window, device);
}

void PointerMove(const HostMessage *m, Window *w) {
    int position = PackPosition(m->x, m->y);
    Window *press = WindowRefGet(gLoop.press);
    if (!press) {
        if (WindowRefGet(gLoop.hover) != w || gLoop.hoverPosition != position) {
            gLoop.hover = WindowRefOf(w);
            gLoop.hoverPosition = position;
            gLoop.hoverTime = Host()->now();
        }
        if (w->parent && w != WindowRefGet(gLoop.pointer)) {
            Window *last = WindowRefGet(gLoop.pointer);
            WindowRef entered = WindowRefOf(w);
            gLoop.pointer = entered;
            if (last && last->onLeave)
                last->onLeave(last);
            if (WindowRefLive(entered) && w->onEnter)
                w->onEnter(w);
        }
        return;
    }
    position = Translate(position, w, press);
    if (position != gLoop.pressPosition)
        PostEvent(kEventDrag, position, press);
    int x = PositionX(position), y = PositionY(position);
    bool inside =
        x >= 0 && y >= 0 && x <= press->right - press->left && y <= press->bottom - press->top;
    if (!inside && !gLoop.pressLeft) {
        gLoop.pressLeft = true; // once per press: a button cancels its press on it
        if (press->onLeave)
            press->onLeave(press);
    }
}

} // namespace

// ---- the queue ---------------------------------------------------------------------------------

int PostEvent(int code, int value, Window *window) {
    // Only repaints and closes are idempotent: keys, presses and releases are never merged.
    if (gLoop.read != gLoop.write && Mergeable(code)) {
        const Event &last = gLoop.ring[(gLoop.write + kEventRingSize - 1) % kEventRingSize];
        if (last.code == code && last.window == window && last.value == value)
            return 0;
    }
    // Changing a row of a thousand display cells at once must lay out and paint them all, not
    // bring a box for each one the queue cannot hold, nor fill it so that a key or a close
    // posted next is refused: past half the queue, the window owes the event.
    if (gLoop.count >= kOwableRoom)
        for (const auto &o : kOwable)
            if (code == o.code && value == 0 && WindowIsLive(window)) {
                window->eventsOwed |= o.bit;
                gLoop.eventsOwed = true;
                return 0;
            }
    int next = (gLoop.write + 1) % kEventRingSize;
    if (next == gLoop.read) {
        ReportError(window && window->name ? window->name : "", " Message overflow");
        return 1;
    }
    const bool wasEmpty = gLoop.read == gLoop.write;
    gLoop.ring[gLoop.write] = {(unsigned char)code, value, window, gLoop.messageTime};
    gLoop.write = next;
    gLoop.count++;
    // The loop takes every queued event before it waits: only the first one need wake it.
    if (const HostOps *host = Host(); host && wasEmpty)
        host->postMessage(window ? window->host : nullptr, kHostMsgCommand, kWakeCommand);
    return 0;
}

int EventCount(void) { return gLoop.count; }

// ---- the loop ----------------------------------------------------------------------------------

void EventLoop(void) {
    if (!Host())
        return;
    gLoop.levels++;
    // A callback may end the toolkit (the host is gone then): look it up on every round.
    while (gLoop.stop == 0) {
        const HostOps *host = Host();
        if (!host)
            break;
        Event e;
        if (TakeEvent(&e)) {
            Deliver(e);
            continue;
        }
        if (gLoop.backoff == 0 || gLoop.repeatPause > 0) {
            int waiting;
            if (gLoop.repeatPause > 0) {
                gLoop.repeatPause--;
                waiting = host->peekMessage(nullptr, 0);
            } else if (TicksWanted() && !gLoop.idleBusy) {
                waiting = host->waitMessage(MsUntilTick());
            } else {
                waiting = host->peekMessage(nullptr, 0);
            }
            if (waiting)
                WaitAndDispatch();
        } else {
            WaitAndDispatch();
        }
        if (gLoop.stop || !Host())
            break;
        IdleWork();
    }
    gLoop.levels--;
}

int RunModal(Window *window) {
    if (!WindowIsLive(window) || !Host())
        return 1;
    if (gLoop.stop >= kStopAll) { // every level is ending: a loop now is an internal fault
        AssertReport(kSourceFile, __LINE__);
        return 1;
    }
    if (gLoop.modalDepth == kModalDepth) {
        ReportError("Modal wait", "too many modal windows");
        return 1;
    }
    // A callback may close the current modal window and run another one at once: the levels
    // told to end so far wait until the new one returns, then end as they were told.
    int ending = gLoop.stop;
    gLoop.stop = 0;
    gLoop.modal[gLoop.modalDepth++] = window;
    if (window->host && Host()->setModal)
        Host()->setModal(window->host, 1);
    EventLoop();
    if (FirstTopWindow()) {
        if (gLoop.stop > 0 && gLoop.stop < kStopAll)
            gLoop.stop--;
        if (gLoop.stop < kStopAll)
            gLoop.stop += ending;
    } else {
        gLoop.stop = kStopAll;
    }
    if (gLoop.levels == 0)
        WindowRunPendingEpilog(); // asked for from inside the loop
    return 0;
}

int ModalDepth(void) { return gLoop.modalDepth; }
int LoopEndSignal(void) { return gLoop.endSignal; }
int LoopLevels(void) { return gLoop.levels; }
int StopCounter(void) { return gLoop.stop; }

// ---- idle work ---------------------------------------------------------------------------------

int AddIdleCallback(WindowProc idle, Window *window) {
    if (!WindowIsLive(window))
        return 1;
    int free = -1;
    for (int i = 0; i < kIdleSlots; i++) {
        if (gLoop.idle[i].window == window) {
            window->onIdle = idle;
            return 0;
        }
        if (!gLoop.idle[i].window && free < 0)
            free = i;
    }
    if (free < 0)
        return 1;
    gLoop.idle[free] = {window, false, window->generation};
    gLoop.idleCount++;
    window->onIdle = idle;
    return 0;
}

int RemoveIdleCallback(Window *window) {
    for (IdleSlot &slot : gLoop.idle)
        if (window && slot.window == window) {
            slot = {nullptr, false, 0};
            gLoop.idleCount--;
            return 0;
        }
    return 1;
}

int IdleCount(void) { return gLoop.idleCount; }

void PumpHostMessage(void) {
    const HostOps *host = Host();
    if (!host)
        return;
    HostMessage m;
    if (host->peekMessage(&m, 1))
        host->dispatchMessage(&m);
    else
        host->sleep(0);
}

void StartAutoRepeat(Window *window) {
    gLoop.repeat = WindowRefOf(window);
    gLoop.lastTick = Host() ? Host()->now() + kRepeatDelayMs : 0;
}

void StopAutoRepeat(void) { gLoop.repeat = {}; }

Window *LoopCaptureWindow(void) { return WindowRefGet(gLoop.capture); }

void LoopReleaseCapture(void) {
    Window *holder = WindowRefGet(gLoop.capture);
    bool held = gLoop.capture.window != nullptr;
    gLoop.capture = {};
    gLoop.repeat = {};
    if (held && Host())
        Host()->releaseCapture();
    // The window that held the pointer has lost it as surely as if the pointer had left: a held
    // button lets go without acting, or it would stay pressed and refuse every other press.
    if (holder && holder->onLeave)
        holder->onLeave(holder);
}

Window *OpenPullDown(void) {
    Window *head = FirstTopWindow();
    if (!head)
        return nullptr;
    Window *t = head;
    do {
        for (Window *w = t; w; w = w->chain)
            if (w->flags == kWindowPullDown && !w->closing)
                return w;
        t = t->next;
    } while (t && t != head);
    return nullptr;
}

void SetMenuCloser(void (*closeMenus)(void)) { gCloseMenus = closeMenus; }
void SetWheelHandler(int (*wheel)(int steps, Window *window)) { gWheel = wheel; }
uint32_t EventTime(void) { return gLoop.eventTime; }

// ---- the window procedure ----------------------------------------------------------------------

namespace {

long HandleMessage(const HostMessage *m) {
    const HostOps *host = Host();
    Window *w = FindHostWindow(m->window);
    switch (m->code) {
    case kHostMsgDestroy:
        if (!FirstTopWindow())
            host->postQuit(0);
        return 0;
    case kHostMsgQuit:
        // Every level ends as after the last window's close; the windows stay for the epilog,
        // which closes them the ordinary way (their settings written, their files removed).
        gLoop.endSignal = m->value;
        LoopStopAll();
        return 0;
    case kHostMsgMove:
    case kHostMsgSize:
        if (w)
            PostEvent(kEventResized, 0, w);
        return 0;
    case kHostMsgSetFocus:
        if (w && w->onEnter)
            w->onEnter(w);
        return 0;
    case kHostMsgKillFocus:
        KeyReset();
        if (w && w == FocusWindow() && w->onLeave)
            w->onLeave(w);
        return 0;
    case kHostMsgPaint:
        if (!w)
            break;
        PaintMessage(m, w);
        return 0;
    case kHostMsgClose:
        if (!w)
            break; // the host destroys a window the toolkit does not know
        if (WindowRefGet(gLoop.pointer) == w)
            gLoop.pointer = {};
        PostEvent(kEventClose, 0, w);
        return 0;
    case kHostMsgKeyDown:
    case kHostMsgKeyUp:
    case kHostMsgChar:
    case kHostMsgSysKeyDown:
    case kHostMsgSysKeyUp:
    case kHostMsgSysChar:
        if (KeyHostMessage(m, w) == 0)
            return 0;
        break;
    case kHostMsgLeftDown:
        if (!w)
            break;
        gLoop.press = WindowRefOf(w);
        gLoop.pressPosition = PackPosition(m->x, m->y);
        gLoop.pressLeft = false;
        if (w == FocusWindow() && host->getFocus() != w->host) {
            WindowRef ref = WindowRefOf(w);
            host->setFocus(w->host);
            if (!WindowRefLive(ref))
                return 0;
        }
        PostEvent(kEventLeftDown, PackPosition(m->x, m->y), w);
        return 0;
    case kHostMsgLeftUp: {
        // Without its press window (closed meanwhile) the release still ends the capture,
        // which would otherwise take every later press for itself.
        Window *press = WindowRefGet(gLoop.press);
        if (!press)
            press = WindowRefGet(gLoop.capture);
        if (press) {
            gLoop.press = {};
            PostEvent(kEventLeftUp, Translate(PackPosition(m->x, m->y), w, press), press);
        }
        return 0;
    }
    case kHostMsgRightDown:
    case kHostMsgRightUp:
    case kHostMsgMiddleDown:
    case kHostMsgMiddleUp: {
        if (!w && (m->code == kHostMsgRightUp || m->code == kHostMsgMiddleUp))
            w = WindowRefGet(gLoop.capture); // for a window gone meanwhile: likewise
        if (!w)
            break;
        int code = m->code == kHostMsgRightDown    ? kEventRightDown
                   : m->code == kHostMsgRightUp    ? kEventRightUp
                   : m->code == kHostMsgMiddleDown ? kEventMiddleDown
                                                   : kEventMiddleUp;
        PostEvent(code, PackPosition(m->x, m->y), w);
        return 0;
    }
    case kHostMsgPointerMove:
        if (!w)
            break;
        PointerMove(m, w);
        return 0;
    case kHostMsgWheel:
        if (!w)
            break;
        PostEvent(kEventWheel, m->value, w);
        return 0;
    case kHostMsgTimer:
    case kHostMsgCommand:
        if (m->window)
            host->killTimer(m->window, kLoopTimerId); // the loop is awake
        return 0;
    default:
        break;
    }
    return host->defaultProc(m);
}

} // namespace

// Events posted while a message is handled carry its time; a message may be handled inside the
// handling of another (a focus change sends its own), so the outer time comes back afterwards.
long WindowProcedure(const HostMessage *m) {
    uint32_t outer = gLoop.messageTime;
    gLoop.messageTime = m->time;
    long result = HandleMessage(m);
    gLoop.messageTime = outer;
    return result;
}

// ---- between the core and the loop
// ---------------------------------------------------------------

void LoopReset(void) {
    gLoop = Loop{};
    gLoop.idleLast = kIdleSlots - 1; // the first round starts at slot 0
}

void LoopForgetWindow(Window *w) {
    for (int i = gLoop.read; i != gLoop.write; i = (i + 1) % kEventRingSize)
        if (gLoop.ring[i].window == w)
            gLoop.ring[i].window = nullptr;
    RemoveIdleCallback(w);
    for (WindowRef *held : {&gLoop.press, &gLoop.pointer, &gLoop.hover, &gLoop.repeat})
        if (held->window == w)
            *held = {};
    if (gLoop.capture.window == w) {
        gLoop.capture = {};
        if (const HostOps *host = Host())
            host->releaseCapture();
    }
}

void LoopCloseModal(Window *w) {
    int at = -1;
    for (int i = 0; i < gLoop.modalDepth; i++)
        if (gLoop.modal[i] == w)
            at = i;
    if (at < 0)
        return;
    // The windows above it close first, from the top down; each pops itself.
    while (gLoop.modalDepth - 1 > at) {
        Window *top = gLoop.modal[gLoop.modalDepth - 1];
        WindowRef ref = WindowRefOf(top);
        if (top->onClose)
            top->onClose(top);
        // The stack never holds a closed window: a record on top that is not the window the
        // call was made for is a new modal window, and the next round closes it.
        if (gLoop.modalDepth - 1 > at && gLoop.modal[gLoop.modalDepth - 1] == top &&
            WindowRefLive(ref)) {
            if (!top->closing) {
                CloseWindow(top);
            } else { // closing further down the stack already: end its level here
                gLoop.stop++;
                PopModal();
            }
        }
    }
    gLoop.stop++;
    PopModal();
}

void LoopStopAll(void) { gLoop.stop = kStopAll; }
