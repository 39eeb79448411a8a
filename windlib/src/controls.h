// The simple controls: push buttons, toggle buttons (check boxes and radio buttons, grouped by
// the application), labels, menu items (buttons made by the menu code), the dot-matrix digit
// label, scrollers that drive a text window, and status bars of named text fields. All are
// windows of the core; dialogs make them from description items (dialog.h), and the application
// finds them by name (FindNamedWindow).
//
// Buttons and labels keep their state in Window::state: a push button holds 1 while it is held
// down, a toggle its checked state, a label always 1. One button at a time can be pressed.
#pragma once

#include "wind.h"

#include <cstdint>

// ---- buttons and labels ----------------------------------------------------------------------

// Style bits of a button's or label's flags, beside the core's (kWindowBordered, kWindowDisabled,
// kWindowControl, ...).
constexpr uint32_t kButtonCheckBox = 0x1;         // toggle drawn with a check box
constexpr uint32_t kButtonToggle = 0x2;           // each click flips the state
constexpr uint32_t kButtonBold = 0x4;             // bold dialog font, indented; mark without box
constexpr uint32_t kButtonSubMenu = 0x8;          // sub-menu item: triangle, hover presses it
constexpr uint32_t kButtonSeparator = 0x10;       // a sunken line instead of a frame
constexpr uint32_t kButtonOnPress = 0x80;         // activates on press instead of release
constexpr uint32_t kButtonCheckLeft = 0x10000000; // check box at the left, text after it
constexpr uint32_t kButtonCentred = 0x20000000;   // text centred
constexpr uint32_t kButtonPush = 0x00100000;      // a push button (in the given flag words of push
                                                  // buttons, status fields and menu items); carried

static_assert(kButtonCheckBox == 0x1);
static_assert(kButtonToggle == 0x2);
static_assert(kButtonBold == 0x4);
static_assert(kButtonSubMenu == 0x8);
static_assert(kButtonSeparator == 0x10);
static_assert(kButtonOnPress == 0x80);
static_assert(kButtonPush == 0x00100000);
static_assert(kButtonCheckLeft == 0x10000000);
static_assert(kButtonCentred == 0x20000000);

// A radio button and a check box of a dialog table: the mark at the left, the text after it.
constexpr uint32_t kRadioItem =
    kWindowKindButton | kButtonToggle | kButtonCheckLeft | kWindowTabStop;
constexpr uint32_t kCheckItem = kRadioItem | kButtonCheckBox;

// A button at a cell rectangle (NewButton) or a pixel one (NewButtonPixels, menu items), in
// the parent's colours; kind button unless `flags` names the label kind. Null after "New Button"
// (a memory report).
Window *NewButton(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                  Window *parent);
Window *NewButtonPixels(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                        Window *parent);
// A label (kind kWindowKindLabel, state 1). Null after "New Label".
Window *NewLabel(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                 Window *parent);
// Sets the named button's state to 0 or 1, repainting it only when it changed. 0, or 1 for an
// unknown name ("SetButtonCheck Bad ID").
int SetButtonCheck(const char *name, int state, Window *dialog);
// The named button's state, 0 for an unknown name (same message).
int GetButtonCheck(const char *name, Window *dialog);
// The button held down now, or null.
Window *PressedButton(void);
// A button's own press and leave handlers, its onLeftDown and onLeave until a module replaces
// them; a replacement calls them for what the button does itself. A press holds the button down
// (a toggle shows itself flipped); leaving a held button cancels the press, so the release that
// follows activates nothing. 0.
int ButtonPressDefault(int position, Window *button);
int ButtonLeaveDefault(Window *button);

// ---- the dot-matrix digit label --------------------------------------------------------------

constexpr int kGlyphColumns = 8;
constexpr int kGlyphRows = 13;

// A label showing the first character of its text (and a '.' after it in the same cell) in the
// built-in dot font: the largest dot size d with 8d + 7 <= the width asked for (at least 15
// pixels), the window 8d + 7 pixels wide. The rectangle is in cells, or pixels when `pixels`
// is set. Null after "New Label".
Window *NewDigitLabel(int left, int top, int right, int bottom, const char *name, Color foreground,
                      Color background, int pixels, Window *parent);
// The label's dot size in pixels.
int DigitLabelDotSize(const Window *label);
// The 13 rows of a character's glyph, most significant bit at the left; the fallback (a
// question mark) for characters the font lacks.
const unsigned char *DigitGlyph(int character);

// ---- scrollers ---------------------------------------------------------------------------------

constexpr uint32_t kScrollerMagic = 0xAB120044;

enum ScrollerPlacement {
    kScrollerRight = 1, // vertical, at the right of the target
    kScrollerLeft = 2,  // vertical, at the left (overrides kScrollerRight)
    kScrollerBelow = 4, // horizontal, below the target
    kScrollerAbove = 8, // horizontal, above (overrides kScrollerBelow)
};

enum ScrollerMode { kScrollerRelative = 0, kScrollerAbsolute = 1 };

// A scroller's action: a step (relative) or a value (absolute) for the scroller.
typedef int (*ScrollerAction)(int value, int mode, Window *scroller);

// The extension of a scroller window (the trough, kind kWindowKindScroller): allocated with it,
// freed when it closes.
struct Scroller {
    uint32_t magic;            // kScrollerMagic
    Window *target;            // the text window it drives
    Window *thumb;             // its child "<>"
    int placement;             // ScrollerPlacement bits
    int minimum, maximum;      // maximum >= minimum
    int value;                 //
    int pressOffset;           // where the thumb was pressed (pixels along the thumb)
    int dragging;              // the thumb is being dragged
    ScrollerAction action;     // the default action until UpdateScroller gives the text action
    uint32_t targetGeneration; // the target's generation, so a closed target is never driven
    int repeating;             // a press on the trough or a step on the thumb is held
};

// A scroller beside the target text window (which must have a parent). Null when it cannot be
// made.
Window *NewScroller(int placement, ScrollerAction action, Window *target);
// Reads the range and value from the target (lines and cursor line, or the sideways offset) and
// places the thumb; a scroller with the default action gets the text action.
void UpdateScroller(Window *scroller);
// Updates every scroller beside the text window.
void UpdateScrollers(Window *textWindow);
// 0, or 1 when the window is not a scroller.
int SetScrollerFunction(ScrollerAction action, Window *scroller);
Window *ScrollerTarget(Window *scroller);
Scroller *ScrollerOf(Window *scroller); // null when the window is not a scroller
// The thumb's offset along a trough of `length` pixels for a thumb of `thumb` pixels: from 2 to
// length - thumb - 2, never dividing by zero.
int ScrollerThumbOffset(int minimum, int maximum, int value, int length, int thumb);
// The value a press at `position` along the trough asks for, between minimum and maximum; the
// minimum when the trough leaves the thumb no room.
int ScrollerJumpValue(int position, int minimum, int maximum, int length, int thumb);

// ---- status bars -------------------------------------------------------------------------------

// A status bar across the bottom of the parent. Null after "Status Bar:" / "needs parent", or
// when it cannot be made.
Window *NewStatusBar(const char *name, Window *parent);
// The status bar's own layout, its onLayout until a module replaces it: docked at the bottom
// across the parent's width, the fields laid out again from the right. 0.
int StatusBarLayoutDefault(Window *statusBar);
// A field `width` characters wide, laid out from the right. 0, or 1 when it cannot be made.
int AddStatusField(const char *name, int width, Window *statusBar);
// Shows the text in the named field; the same text again repaints nothing. 0, or 1 for an unknown
// field.
int SetStatusField(const char *name, const char *text, Window *statusBar);
