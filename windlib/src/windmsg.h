// The event queue and the event loop: host messages become toolkit events in a ring of
// kEventRingSize slots, and the loop delivers them to the callback slots of their windows.
// Loops nest, one per modal window; between events the loop does idle work (idle callbacks,
// pointer hover, left-button auto-repeat). Start reading at EventLoop in windmsg.cpp.
#pragma once

#include "wind.h"

struct HostMessage;

enum EventCode {
    kEventRedraw = 1,      // RepaintWindow
    kEventResized = 2,     // needsLayout, then RepaintWindow
    kEventKey = 5,         // value: key code; to the focus window's onKey
    kEventLeftDown = 16,   // value: position
    kEventMiddleDown = 17, //
    kEventRightDown = 18,  //
    kEventLeftUp = 19,     //
    kEventMiddleUp = 20,   //
    kEventRightUp = 21,    //
    kEventDrag = 22,       // value: position; pointer moved with a button held
    kEventWheel = 23,      // value: wheel steps (positive towards the user); to the wheel handler
    kEventClose = 41,      // onClose, else "Can't close %s\n"
};

struct Event {
    unsigned char code; // EventCode
    int value;          // key code or position
    Window *window;     // target; null once cancelled
    uint32_t time;      // the host's time of the input that caused it (ms), 0 for posted events
};

constexpr int kEventRingSize = 512; // slots; the ring holds at most kEventRingSize - 1 events
constexpr int kModalDepth = 16;     // nested modal windows
constexpr int kIdleSlots = 16;      // windows with idle work
constexpr int kStopAll = 0x7FFF;    // stop counter once no top window remains

// Posts an event. Redraw, resized and close events equal to the last one written are merged
// into it; anything else is always queued. 0, or 1 when the ring is full (" Message overflow").
int PostEvent(int code, int value, Window *window);
int EventCount(void); // events in the ring (cancelled ones included)

// Runs until the stop counter is non-zero.
void EventLoop(void);
// Pushes the window on the modal stack and runs a loop until it closes. 0; 1 for no window,
// a full stack ("Modal wait" / "too many modal windows") or a stop counter already set.
int RunModal(Window *window);
int ModalDepth(void);
int StopCounter(void);
// The signal with which the host asked the program to end (a quit message ended every loop),
// or 0 when the loops ended for the program's own reasons. Reset by the prolog.
int LoopEndSignal(void);

// Registers the window's idle callback (one slot per window). 0, or 1 when all slots are taken.
int AddIdleCallback(WindowProc idle, Window *window);
int RemoveIdleCallback(Window *window); // 0, or 1 when the window had no slot
int IdleCount(void);

// Takes and dispatches one waiting host message, else gives up the time slice. Never blocks
// and never touches the toolkit's queue.
void PumpHostMessage(void);

void StartAutoRepeat(Window *window);
void StopAutoRepeat(void);

// An open pull-down menu (flags exactly kWindowPullDown) among the top windows and their chains,
// or null.
Window *OpenPullDown(void);
// Pull-down menus close through this when a button is pressed outside them.
void SetMenuCloser(void (*closeMenus)(void));
// Wheel events go to this handler with the window under the pointer (there is no slot for them:
// only the text windows scroll).
void SetWheelHandler(int (*wheel)(int steps, Window *window));

// The host's time (ms) of the input behind the event being delivered now, 0 for a posted one.
// Times compare only with each other (how long between two clicks), never with HostOps::now.
uint32_t EventTime(void);

// ---- between the core and the loop --------------------------------------------------------------

long WindowProcedure(const HostMessage *message); // of every host class
void LoopReset(void);                  // the prolog: empty queue, stacks, tables, pointer state
void LoopForgetWindow(Window *window); // closing: cancel its events, idle slot, pointer state
void LoopCloseModal(Window *window);   // closing: the modal stack rules
void LoopStopAll(void);                // the last top window closed
Window *LoopCaptureWindow(void);       // the window the pointer's presses and releases go to
void LoopReleaseCapture(void);         // a message box is shown: the box must get the pointer
int LoopLevels(void);                  // EventLoop calls on the stack
