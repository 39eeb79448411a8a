// The headless backend's own controls, for tests: screen configuration, input injection, the
// virtual clock and scripted actions on it, painted pixels, recorded message boxes and counters
// of how the event loop waited. The toolkit itself only sees the HostOps table.
//
// Time is virtual: it moves only when the loop waits (to the next timer or scripted action),
// sleeps or yields. A wait with nothing that could ever arrive returns at once and counts a
// stall, so a broken test ends instead of hanging.
#pragma once

#include "host.h"

#include <cstdint>

// The screen of the next open (kept until the backend closes): 1280 x 1024, 96 dpi and 24 bits
// by default; 8 bits gives a 256-entry palette screen.
void HeadlessConfigure(int width, int height, int bitsPerPixel);

// ---- the virtual clock --------------------------------------------------------------------------
int64_t HeadlessNow(void);
void HeadlessAdvance(int ms); // as a sleep: runs the scripted actions that fall due
// Runs fn(context) when the clock reaches `at` (inside a wait or sleep). Actions at one time run
// in the order they were scheduled.
void HeadlessAt(int64_t at, void (*fn)(void *context), void *context);

// ---- input (queued in order, as a user would produce it)
// ------------------------------------------
void HeadlessKeyDown(int virtualKey); // a system key while Alt is held or for Alt itself
void HeadlessKeyUp(int virtualKey);
// A Latin-1 character 1..255 (128..255 arrive as 256 + character); a system character while
// Alt is held.
void HeadlessChar(int character);
// Key down, its character (0 for none) and key up: one keystroke.
void HeadlessKeystroke(int virtualKey, int character);
// Buttons: 0 left, 1 middle, 2 right, at a screen point; the message goes to the capture
// window, else to the innermost visible window under the point (frames and captions take
// nothing).
void HeadlessButton(int button, int down, int screenX, int screenY);
void HeadlessPointerMove(int screenX, int screenY);
// The mouse wheel turned by `steps` notches at a screen point (positive towards the user),
// delivered like a button press.
void HeadlessWheel(int steps, int screenX, int screenY);
void HeadlessClose(HostWindow *window); // the close box of a framed window
// The user switches to another program (the focus window hears kill-focus, in order with the
// input) and back (set-focus). Keys pressed or released while away go to the other program:
// the toolkit never sees them, but they count as held or not when the user comes back.
void HeadlessFocusAway(void);
void HeadlessFocusBack(void);
// Screen point of a window's client pixel (x, y).
void HeadlessClientToScreen(HostWindow *window, int x, int y, int *screenX, int *screenY);

// ---- windows and pixels -------------------------------------------------------------------------
int HeadlessWindowCount(void);                 // live host windows
const char *HeadlessTitle(HostWindow *window); //
const char *HeadlessClassName(HostWindow *window);
uint32_t HeadlessStyle(HostWindow *window);
int HeadlessVisible(HostWindow *window);   // shown, and every ancestor shown
int HeadlessModal(HostWindow *window);     // setModal made it modal
int HeadlessFixedSize(HostWindow *window); // setFixedSize made it fixed: no user resizing
HostWindow *HeadlessOwner(HostWindow *window);
HostWindow *HeadlessCapture(void);
// The colour (0xRRGGBB) painted at a client pixel of the window; -1 outside the screen image.
int64_t HeadlessPixel(HostWindow *window, int x, int y);
// Saves the top window that holds `window` (frame and caption included) as PNG; 0 or 1.
int HeadlessSavePng(HostWindow *window, const char *path);
// The n-th window creation from now fails (1: the next one); 0 disarms.
void HeadlessFailCreate(int n);
// The n-th font creation from now fails (1: the next one); 0 disarms.
void HeadlessFailFontCreate(int n);

// ---- the clipboard -----------------------------------------------------------------------------
// While set, storing on the clipboard fails (another program holds it) and leaves it as it was.
void HeadlessClipboardRefuse(int refuse);

// ---- message boxes ------------------------------------------------------------------------------
int HeadlessBoxCount(void);
const char *HeadlessBoxText(int index); // null past the end
const char *HeadlessBoxCaption(int index);
unsigned HeadlessBoxFlags(int index);
void HeadlessBoxClear(void);
void HeadlessSetBoxAnswer(int answer); // what every box returns (kHostAnswerOk at open)
// The bells rung since the backend opened.
long HeadlessBellCount(void);

// ---- how the loop waited ------------------------------------------------------------------------
struct HeadlessStats {
    long peeks;      // non-blocking looks at the queue
    long gets;       // blocking waits for a message
    long timedWaits; // waits with a timeout
    long stalls;     // waits that had nothing to wait for
    long posts;      // messages posted by the toolkit
    int timers;      // timers running now
    int waiting;     // input and posted messages waiting in the host's queues now
    int quitPosted;  // the toolkit asked the host loop to end
};
HeadlessStats HeadlessGetStats(void);
