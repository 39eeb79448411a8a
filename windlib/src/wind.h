// The toolkit core: every window of the program is a `Window` record that the core creates,
// links, moves, paints and closes over a host window, plus the process-wide defaults, the focus
// and the reporters (message boxes and the assertion report) that every toolkit module uses.
// Start reading at `Window`; events reach its callback slots through windmsg.h.
//
// Coordinates: applications give cells; a cell is cellWidth by cellHeight pixels, both 16.16
// fixed-point values in ToolkitDefaults. Pixel rectangles are inclusive. Result codes are 0 for
// success and a small positive number for failure.
#pragma once

#include <cstddef>
#include <cstdint>

struct HostWindow;
struct HostDevice;
struct HostOps;
struct Window;

typedef uint32_t Color; // red | green << 8 | blue << 16, or palette index | 0x1000000

// Callback slot types: each takes its window last.
typedef int (*WindowProc)(Window *window);
typedef int (*WindowValueProc)(int value, Window *window);
typedef const char *(*WindowGetTextProc)(Window *window);
typedef int (*WindowSetTextProc)(const char *text, Window *window);

// ---- kinds and style bits (Window::flags) ---------------------------------------------------

constexpr uint32_t kWindowKindMask = 0x00000F00;
constexpr uint32_t kWindowTypeMask = 0x00000FFF; // the kind with its variant (kWindowMenuBar, ...)
constexpr uint32_t kWindowKindTop = 0x000;       // host class "RylFileWindow"
constexpr uint32_t kWindowKindDialog = 0x100;    // "RylDialogWindow"; menus are dialogs too
constexpr uint32_t kWindowKindText = 0x200;      // text or edit window; this and the kinds
constexpr uint32_t kWindowKindList = 0x300;      // below use "RylButtonWindow"
constexpr uint32_t kWindowKindButton = 0x400;    //
constexpr uint32_t kWindowKindLabel = 0x500;     //
constexpr uint32_t kWindowKindStatus = 0x600;    //
constexpr uint32_t kWindowKindScroller = 0x700;  //
constexpr uint32_t kWindowPullDown = 0x101;      // a pull-down menu (the whole flags word)
constexpr uint32_t kWindowMenuBar = 0x103;       // a menu bar (low 12 bits)
constexpr uint32_t kWindowDialogChild = 0x105;   // a dialog living inside its parent

constexpr uint32_t kWindowFramed = 0x80000000;     // host caption, frame and boxes
constexpr uint32_t kWindowTakesFocus = 0x40000000; // keyboard focus and a caret
constexpr uint32_t kWindowBordered = 0x08000000;   // drawing area inset by 2 (4 on the left)
constexpr uint32_t kWindowTabStop = 0x02000000;    // tab stop inside a dialog
constexpr uint32_t kWindowDisabled = 0x00200000;   // skipped by tab and dialog focus
constexpr uint32_t kWindowButtonRow = 0x00800000;  // buttons laid out from the right
constexpr uint32_t kWindowTitleStrip = 0x00040000; // dialog title strip drawn by the toolkit
constexpr uint32_t kWindowControl = 0x01000000;    // a control of a dialog (buttons, labels, list
                                                   // and edit boxes, status bars); carried only

// The values are the flag words that dialog tables and settings carry as numbers.
static_assert(kWindowKindMask == 0x00000F00);
static_assert(kWindowTypeMask == 0x00000FFF);
static_assert(kWindowKindTop == 0x000 && kWindowKindDialog == 0x100 && kWindowKindText == 0x200);
static_assert(kWindowKindList == 0x300 && kWindowKindButton == 0x400 && kWindowKindLabel == 0x500);
static_assert(kWindowKindStatus == 0x600 && kWindowKindScroller == 0x700);
static_assert(kWindowPullDown == 0x101 && kWindowMenuBar == 0x103 && kWindowDialogChild == 0x105);
static_assert(kWindowFramed == 0x80000000);
static_assert(kWindowTakesFocus == 0x40000000);
static_assert(kWindowBordered == 0x08000000);
static_assert(kWindowTabStop == 0x02000000);
static_assert(kWindowControl == 0x01000000);
static_assert(kWindowButtonRow == 0x00800000);
static_assert(kWindowDisabled == 0x00200000);
static_assert(kWindowTitleStrip == 0x00040000);

inline uint32_t WindowKind(const Window *w);

// ---- the window record -------------------------------------------------------------------------

constexpr int kWindowSlotCount = 21; // callback slots, from kindProc to onActivate

struct Window {
    int left, top, right, bottom; // pixels, inclusive: a child's relative to its parent's
                                  // client area, a top window's on the screen (client area)
    int cellLeft, cellTop, cellRight, cellBottom; // the same in cells; cellLeft -1 until set
    uint32_t flags;                               // kind (bits 8..11) and kWindow... style bits
    void *extension;           // the record of the window's kind; owned by the kind
    unsigned char needsLayout; // 1: geometry is re-read from the host before the next paint
    unsigned char eventsOwed;  // redraw (1) and resize (2) events that found the event queue
                               // full: queued once it has drained
    char *name;                // copy of the creation name; never written after creation
    char *text;                // displayed text; shares `name` until the first change
    int damageTop, damageBottom, damageLeft, damageRight; // area to paint, window pixels,
                                                          // inclusive; bottom < top: nothing
    Window *next, *prev;                                  // ring of top windows; null for a child
    Window *chain;    // top window: its first descendant; descendant: the next one
    Window *current;  // dialog: the item that holds the input focus
    Window *parent;   // null for a top window
    Color foreground; // colours of the window
    Color background; //
    int font;         // font-cache index, -1 for none
    HostWindow *host; // the host window; null once closed

    // callback slots, in slot order; an empty slot is skipped
    WindowValueProc kindProc;  // set by some kinds, never called by the core
    WindowProc onClose;        // a close event, or closing from outside (holds CloseWindow)
    WindowProc onPaint;        // painting, with the window's device lent
    WindowProc onLayout;       // after a framed window's geometry was re-read
    WindowProc onFocusIn;      // became the focus window
    WindowProc onFocusOut;     // stopped being the focus window
    WindowProc onEnter;        // got the host input focus, or the pointer entered a child
    WindowProc onLeave;        // lost the host input focus, or the pointer left a child
    WindowGetTextProc getText; // named-item read; empty: `text` is read
    WindowSetTextProc setText; // named-item write; empty: SetWindowText
    WindowValueProc onKey;     // value: key code
    WindowValueProc onDrag;    // value: position; the pointer moved with a button held
    WindowValueProc onHover;   // value: position; the pointer rested
    WindowValueProc onLeftDown, onRightDown, onMiddleDown; // value: position
    WindowValueProc onLeftUp, onMiddleUp, onRightUp;       // value: position
    WindowProc onIdle;                                     // idle work; non-zero: more to do
    WindowValueProc onActivate;                            // a button or item was chosen

    // bookkeeping of the core (after the given fields)
    size_t textSize;             // bytes of `text`'s own storage; 0 while it shares `name`
    unsigned char closing;       // CloseWindow is under way: a second close returns at once
    uint32_t generation;         // raised each time the record is closed (see WindowRef)
    WindowProc releaseExtension; // the kind frees `extension` here when the window is
                                 // closed, however it is closed (its onClose may be bypassed)
    int state;                   // buttons and labels: 0 or 1 (held, checked; a label holds 1)
    int kindValue; // a value the kind keeps beside the state (a digit label's dot size, a
                   // row button's preferred width)
};

inline uint32_t WindowKind(const Window *w) { return w->flags & kWindowKindMask; }

// A window is live while it is in the ring of top windows or has a parent. Closed records are
// cleared, so they are never live again (until reused by another OpenWindow).
inline bool WindowIsLive(const Window *w) { return w && (w->next || w->parent); }

// A window held across a callback. Closed records are reused by the next OpenWindow, so a bare
// pointer to a window that closed meanwhile may equal a newer, live window; the reference also
// keeps the record's generation and answers only for the window it was taken from. (Records
// are released only by WindowEpilog, so reading one is always safe until then.)
struct WindowRef {
    Window *window;      //
    uint32_t generation; // the record's generation when the reference was taken
};
inline WindowRef WindowRefOf(Window *w) { return {w, w ? w->generation : 0u}; }
// The window, or null once it has closed.
inline Window *WindowRefGet(WindowRef r) {
    return WindowIsLive(r.window) && r.window->generation == r.generation ? r.window : nullptr;
}
inline bool WindowRefLive(WindowRef r) { return WindowRefGet(r) != nullptr; }

// ---- coordinates -------------------------------------------------------------------------------

constexpr int32_t kDefaultCellWidth = 0x80000;  // 8.0 pixels
constexpr int32_t kDefaultCellHeight = 0xD0000; // 13.0 pixels

// (cells * size) >> 16 and (pixels << 16) / size, with 64-bit intermediates.
inline int CellsToPixels(int cells, int32_t size) { return (int)(((int64_t)cells * size) >> 16); }
inline int PixelsToCells(int pixels, int32_t size) {
    return size ? (int)(((int64_t)pixels * 65536) / size) : 0;
}
// A right or bottom edge: the last pixel of cell c, so that adjacent cells do not overlap.
inline int CellEdgeToPixels(int cells, int32_t size) {
    return (int)((((int64_t)cells + 1) * size) >> 16) - 1;
}

// A position value: x in the high 16 bits, y in the low 16 bits, both signed.
inline int PackPosition(int x, int y) {
    return (int)(((uint32_t)(uint16_t)x << 16) | (uint32_t)(uint16_t)y);
}
inline int PositionX(int position) { return (int16_t)((uint32_t)position >> 16); }
inline int PositionY(int position) { return (int16_t)((uint32_t)position & 0xFFFF); }

// ---- defaults ----------------------------------------------------------------------------------

enum DefaultFont { kFontFixed, kFontBoldSerif, kFontBoldSans, kFontSans, kFontSmall };
constexpr int kDefaultFontCount = 5;
constexpr int kDefaultSmallFlags = 3;  // small flags, each starting at 1
constexpr int kDefaultSmallValues = 4; // small integers, 0, 6, 8, 0

struct ToolkitDefaults {
    int desktopLeft, desktopTop;                  // desktop rectangle, pixels
    int desktopRight, desktopBottom;              // (right and bottom: first pixel outside)
    int topLeft, topTop, topRight, topBottom;     // default top-window rectangle, cells
    const char *fontSpec[kDefaultFontCount];      // fontspec texts, DefaultFont order
    int fontIndex[kDefaultFontCount];             // font-cache index of each, -1 for none
    Color foreground;                             // window text
    Color windowBackground;                       //
    Color dialogForeground;                       //
    Color titleBackground;                        // dialog title strip
    Color titleText;                              //
    Color dialogBackground;                       //
    Color dialogForeground2;                      // second copies of the dialog colours
    Color dialogBackground2;                      //
    Color shadow;                                 // dialog background less 64 per component
    Color white;                                  //
    Color black;                                  //
    int caretStyle;                               // caret settings (bits 0..2)
    unsigned char smallFlags[kDefaultSmallFlags]; // carried for the modules that read them
    int32_t cellWidth;                            // 16.16 pixels
    int32_t cellHeight;                           // 16.16 pixels
    int smallValues[kDefaultSmallValues];         // carried for the modules that read them
};

// The live defaults (valid between WindowProlog and WindowEpilog).
const ToolkitDefaults *GetToolkitDefaults(void);
// Hands back a changed copy: every font whose text pointer changed is replaced, all other
// values are copied. 0, or 1 when the toolkit is not up.
int SetToolkitDefaults(const ToolkitDefaults *copy);
// The default font `which` (DefaultFont) is made from `spec`, kept by pointer, at every
// WindowProlog from now instead of the toolkit's own (null: the toolkit's own again). A program
// that hands other dialog fonts back with SetToolkitDefaults names them here first, so that
// the fonts it would replace are never made; handing back the same pointer replaces nothing.
void SetDefaultFontSpec(int which, const char *spec);

// ---- start and end ------------------------------------------------------------------------------

typedef void *(*WindAllocFn)(size_t size);
typedef void (*WindReleaseFn)(void *memory);
typedef void (*WindReportFn)(const char *text);

// Chooses the host the toolkit starts on at every WindowProlog from now: "x11" (the X display)
// or "headless" (the virtual screen of tests and off-screen renderers). 0, or 1 for any other
// name, which leaves the choice as it was. Without a call the toolkit starts on x11: the
// headless host runs only when a program asks for it.
int WindowUseHost(const char *name);
// Starts the toolkit on the host WindowUseHost chose. 0; 1 without an allocator, release or
// report function ("Window Prolog: no malloc !" to the report function when there is one);
// 3 when the host or the graphics cannot start. A prolog while the toolkit is up ends the
// running toolkit first; every process-wide state starts clean.
int WindowProlog(int argc, char **argv, WindAllocFn allocate, WindReleaseFn release,
                 WindReportFn report);
// Closes every top window (each through onClose, the first one last) and releases the
// recycled records. Nothing is left live. Asked for inside a close or a callback of the event
// loop, it closes what it can at once and ends the toolkit when the outermost close or loop
// returns, so no caller on the stack is left with a released record or a closed host.
void WindowEpilog(void);

// ---- windows -----------------------------------------------------------------------------------

// Opens a window; the rectangle is in cells (OpenWindow) or pixels (OpenWindowPixels). A top
// window with a negative left or top gets the default top-window rectangle. Null when memory or
// the host window cannot be had.
Window *OpenWindow(int left, int top, int right, int bottom, Color foreground, Color background,
                   const char *name, uint32_t flags, Window *parent);
Window *OpenWindowPixels(int left, int top, int right, int bottom, Color foreground,
                         Color background, const char *name, uint32_t flags, Window *parent);
// Closes the window and its own descendants (each through its onClose). 0, or 1 when the
// window is not live or already closing.
int CloseWindow(Window *window);
// Cuts the window and its own descendants out of the parent's chain, then closes it. 0, or 1
// when the window is not in the parent's chain.
int CloseChild(Window *window, Window *parent);
void ShowWindowTree(Window *window); // ShowDialog (dialog.h) for dialogs
// 0; 1 for a window that is not live. Without memory for the text it shows the name again.
int SetWindowText(const char *text, Window *window);
int MoveWindowTo(int x, int y, int width, int height, int inPixels, Window *window);
// A top window whose size only the program sets (a keypad laid out cell by cell): the user
// cannot resize it. 0; 1 for a window that is not live or not a top window.
int SetWindowFixedSize(bool fixed, Window *window);
void RepaintWindow(Window *window);
void EnableWindow(Window *window);  // clears kWindowDisabled and posts a redraw
void DisableWindow(Window *window); // sets kWindowDisabled and posts a redraw
// 0, or 1 when the window is not live or may not take the focus (a modal dialog holds it).
int SetFocusWindow(Window *window);
Window *FocusWindow(void);
// Re-reads the window's geometry from the host; a framed window then calls onLayout for
// itself and every later window of its chain.
void ReadWindowGeometry(Window *window);

enum ScrollDirection {
    kScrollLineUp,   // contents one line up
    kScrollLineDown, // contents one line down
    kScrollPixelRight,
    kScrollPixelLeft,
};
// Scrolls the window's whole lines through the host. 0; 1 for a bad call or no line spacing.
int ScrollTextLines(int direction, Window *window);

// ---- records of window kinds -------------------------------------------------------------------
// A module keeps its record in the extension of the window it opens and releases it with a
// function of its own; every handler finds the record from whichever of the module's windows it
// was called for, and finds nothing once the window has closed (a handler queued before a close).

// The window holding the record that `release` frees: the nearest of the window and its
// ancestors whose extension is set and released by it. With release null, the window's top
// window when its extension is set, whoever releases it (a window that lends another's record,
// such as a dialog opened beside its owner, has no release of its own). Null when there is none.
Window *ExtensionWindowOf(WindowProc release, Window *window);
// The record of type T (which has a `magic` field) that ExtensionWindowOf finds, or null when
// there is none or its magic is not `magic`.
template <class T> T *ExtensionRecordOf(WindowProc release, uint32_t magic, Window *window) {
    Window *holder = ExtensionWindowOf(release, window);
    T *record = holder ? (T *)holder->extension : nullptr;
    return record && record->magic == magic ? record : nullptr;
}

// ---- reporters -------------------------------------------------------------------------------
// Message boxes without an owner window, made by the host; the text also goes to standard
// error, and only there while a box is already up or the toolkit is down.

void ReportMemoryError(const char *text);                // caption "KLN Memory Error"
void ReportMessage(const char *text);                    // caption "KLN Report"
void ReportError(const char *text, const char *caption); //
// A question with Yes and No buttons: 1 for yes (a host box that only offers OK counts as
// yes), 0 for no, and 0 while a box is already up or the toolkit is down, since nobody can
// answer then.
int AskYesNo(const char *text, const char *caption);
void AssertReport(const char *file, int line); // "%s Line %d", caption "ASSERT Failed"
// Rings the bell: a key or a paste that a window refuses is heard. Nothing while the toolkit is
// down.
void RingBell(void);
int QuietDiagnostic(const char *message, const char *detail); // shows nothing; 1
// The last quiet diagnostic ("message detail"), for tests of the modules that raise them.
const char *LastQuietDiagnostic(void);

// ---- for the toolkit's own modules -------------------------------------------------------------

const HostOps *WindowHost(void); // the backend in use, null while the toolkit is down
// What must still be done when the display is lost and the process ends at once, without the
// epilog (temporary files removed).
void SetLostDisplayHook(void (*hook)(void));
int ScreenScale(void); // the screen's HiDPI scale (1 on an ordinary screen, or the toolkit down)
// The host's frame around a framed window's client area, in pixels on each side.
void WindowFrameSize(int *left, int *top, int *right, int *bottom);
Window *FirstTopWindow(void);             // head of the ring of top windows
Window *FindHostWindow(HostWindow *host); // the live window of a host window, or null
bool WindowIsDescendant(const Window *window, const Window *ancestor);
// The device lent to the window while it paints (inside onPaint), else null.
HostDevice *WindowPaintDevice(const Window *window);
// Paints the window on a device the caller holds (the paint message's device).
void RepaintWindowOn(HostDevice *device, Window *window);
// Screen position of the window's client area.
void WindowClientOrigin(const Window *window, int *x, int *y);
// Goes on with a WindowEpilog asked for inside a close or the event loop: once no close is under
// way it closes every window, and once no loop runs either it ends the toolkit.
void WindowRunPendingEpilog(void);
void *WindowAllocate(size_t size); // the allocator pair given to WindowProlog
void WindowRelease(void *memory);
