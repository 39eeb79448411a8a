// Dialogs and menus built from static description tables. A table is an array of DialogItem
// records: the first describes the dialog itself, the rest its items, and a record whose flags
// are 0 ends it. CreateDialog turns a table into a dialog window with its controls (controls.h,
// textwind.h), paints its frame and title strip and handles Escape, Tab and Return. Items are
// found again by name. Menus are dialogs of two kinds, a menu bar laid out left to right and a
// pull-down menu laid out top to bottom, collected item by item (AddMenuItem) and popped up.
// Start reading at CreateDialog in dialog.cpp; menus are in menu.cpp.
#pragma once

#include "controls.h"
#include "wind.h"

#include <cstdint>

// Kinds of a dialog record (its flags without kWindowFramed), besides kWindowPullDown and
// kWindowMenuBar for menus: a plain dialog, and one with a title strip drawn by the toolkit.
constexpr uint32_t kDialogPlain = kWindowKindDialog;
constexpr uint32_t kDialogTitled = kWindowTitleStrip | kWindowKindDialog;
static_assert(kDialogPlain == 0x100);
static_assert(kDialogTitled == 0x40100);

// The items of the toolkit's own dialog tables (inquiries, the file and print dialogs).
constexpr uint32_t kDialogButtonItem = kButtonCentred | kWindowBordered | kWindowTabStop |
                                       kWindowControl | kButtonPush | kWindowKindButton;
constexpr uint32_t kDialogEditItem =
    kWindowTakesFocus | kWindowBordered | kWindowTabStop | kWindowControl | kWindowKindText;
constexpr uint32_t kDialogLabelItem = kWindowControl | kWindowKindLabel;
constexpr uint32_t kDialogListItem = kWindowKindList | kWindowTabStop | kWindowBordered;
static_assert(kDialogButtonItem == 0x2B100400);
static_assert(kDialogEditItem == 0x4B000200);
static_assert(kDialogLabelItem == 0x01000500);
static_assert(kDialogListItem == 0x0A000300);

// Colours and font of one item (or of the dialog), each used only where its flag says so.
struct DialogOverride {
    Color foreground;            //
    Color background;            //
    unsigned char useForeground; //
    unsigned char useBackground; //
    const char *fontSpec;        // looked up with FontLookup
    int useFont;                 //
};

// One record of a description table.
struct DialogItem {
    int x, y, width, height;        // cells: the dialog's relative to its parent dialog or the
                                    // screen, an item's relative to the dialog
    uint32_t flags;                 // kind and style bits; 0 ends the table
    const char *name;               // the dialog's title, or the item's name (its identity)
    const char *data;               // initial text of buttons, labels, text and list windows
    const DialogOverride *override; // null, or colours and font
};

constexpr int kMenuSlots = 64; // pending menu records: a menu record, 62 items... and the end

// ---- dialogs
// -------------------------------------------------------------------------------------

// A dialog (or menu) from the table, inside the parent's nearest framed ancestor, or a framed
// top-level dialog without a parent. Null after "Dialog create" ("no data", "Bad create
// parameter") or "New Dialog"; an item that cannot be made stops the items ("Create Dialog",
// "All children not made") and the dialog is returned as far as it was built.
Window *CreateDialog(const DialogItem *description, Window *parent);
// CreateDialog for a window that is of no use without every item: one that came back short (and
// has said so) is closed, and null returned.
Window *CreateWholeDialog(const DialogItem *description, Window *parent);
// For a dialog: makes its current item current again (giving it the focus), or the first
// focus-taking enabled tab stop, or else the dialog takes the focus; the parent's tree and the
// dialog's are shown. Other windows are just shown.
void ShowDialog(Window *window);
// Shows the dialog and runs it modally, then closes it if it is still open. Its extension is
// detached first: dialogs run this way keep their state in a record of the caller's (often on
// its stack), which the close must not reach. Nothing happens for a dialog already closed.
void RunDialogAndClose(WindowRef dialog);
// The window named `name` among `start` and its own descendants, else null after "Find Named
// Window: no ID" with the name as caption.
Window *FindNamedWindow(const char *name, Window *start);
// Enables or disables the named item, repainting it only when that changes; nothing for an
// unknown name.
void EnableItem(const char *name, bool on, Window *dialog);
// Whether every item of the description was made: CreateDialog returns a dialog as far as it
// was built when an item cannot be made. Nothing is reported.
bool DialogComplete(const DialogItem *description, Window *dialog);
// The named item's text, at most size - 1 characters and a terminator. 0; 1 no such item; 2 no
// buffer or size <= 0.
int GetItemText(const char *name, char *buffer, int size, Window *dialog);
// Sets the named item's text through its setText (else SetWindowText) and posts a redraw. 0;
// 1 no such item; 2 no text.
int SetItemText(const char *name, const char *text, int length, Window *dialog);
// Selects characters from..to (from 0, inclusive) of a text item. 0; 1 no such item; 2 not a
// text item.
int SelectItemText(const char *name, int from, int to, Window *dialog);
// Makes the item its dialog's current item: the previous one loses its selection and is
// repainted; a focus-taking item takes the focus and, for a text item, has its whole text
// selected with the cursor at its end (typing replaces it).
void SetCurrentItem(Window *item);
// The function of "Cancel" and "Close" buttons: posts a close for the button's dialog (or, for a
// menu item, for the window the menu belongs to). 0.
int CloseDialogButton(int value, Window *button);
// A dialog's own key handler, its onKey until a module replaces it; a replacement hands on the
// keys it does not take. Escape and ^C close the dialog, Tab (Shift-Tab backwards), Right and
// Down move to the next tab stop, Return and line feed press the current button, else the
// first one. 0.
int DialogKeyDefault(int key, Window *dialog);
// Makes `function` the named item's onActivate. The item, or null for an unknown name (after
// the boxes "Find Named Window: no ID" and "SetButtonFunction Bad ID").
Window *SetButtonFunction(const char *name, WindowValueProc function, Window *dialog);

// ---- menus
// ---------------------------------------------------------------------------------------

// Appends a record to the pending menu description (the first is the menu's own record).
// 0, or 1 when it is full ("AddMenuItem:" / "Too many items").
int AddMenuItem(const DialogItem *item);
// Appends records up to one whose flags are 0; stops at the first failure. 0 or 1.
int AddMenuItems(const DialogItem *items);
void ClearMenu(void);
// Builds and shows the pending menu at `position` (x high 16 bits, y low): pixels in the parent,
// or cells on the screen without one. The description stays pending, so it can pop up again.
// Null when it cannot be made.
Window *PopUpMenu(int position, Window *parent);
// Closes every open pull-down menu and empties the pending description.
void CloseMenus(void);
// Lays out the buttons of the first button-row window (kWindowButtonRow) among `window` and
// its descendants from the right.
void LayoutButtonRow(Window *window);
