// Text windows and the two controls built on them. A text window shows the lines of a `Buffer`:
// it keeps the cursor line in view, scrolls sideways to the cursor column, draws each line
// through a replaceable line-draw function with the selection (the buffer's marks) inverted,
// expands tabs and unprintable bytes, places the caret and turns clicks and drags into cursor
// moves and selections. A list box is a text window whose lines are items chosen by a click and
// activated by a second one; an edit box is a one-line text window with editing keys, the
// clipboard and undo. Start reading at `TextDesc`, then NewTextWindow in textwind.cpp.
//
// Selections. Both ends are positions (line, column) kept in the buffer's marks: the anchor
// (markLine, markColumn) and the end (markEndLine, markEndColumn), both inclusive. markLine -1
// means no selection. When the end lies before the anchor the selection runs backwards and
// covers the characters between them, so an end just before the anchor is an empty selection.
#pragma once

#include "wind.h"

#include <cstdint>

struct Buffer;
struct GC;
struct TextDesc;

// Draws the buffer's current line at (x, y) of the drawing area; y -1: the line lies above the
// damage and need not be drawn.
typedef void (*TextLineDrawProc)(int x, int y, TextDesc *desc, Window *window);
// The display form of one byte at a display column (from 1): a text of `*count` characters,
// built in `scratch` (kExpandScratchSize bytes) when it is not a constant.
typedef const char *(*TextExpandProc)(int byte, int column, char *scratch, int *count,
                                      Window *window);
// ListBoxInsert's order: the text of an item line and the text to insert. Negative: insert
// before this line; 1: go on; anything else refuses the insertion.
typedef int (*ListCompareProc)(const char *line, int lineLength, const char *text, int length);

constexpr int kExpandScratchSize = 260;           // a tab's 256 blanks and a NUL fit
constexpr int kTabBlankLimit = 256;               // blanks a tab expands to at most
constexpr int kScrollLockValue = 0x3456;          // TextDesc::scrollLock while a scroller drives it
constexpr uint32_t kTextControl = kWindowControl; // flags of list and edit boxes
constexpr int kEditTextLimit = 255;               // characters an edit box's getText returns
constexpr int kListRecordLength = 16383;          // record length of list and edit box buffers
static_assert(kTextControl == 0x01000000);

// Result codes of ListBoxInsert and ListBoxSelectLine besides 0.
constexpr int kListRefused = -1;   // the compare function refused the text
constexpr int kListNoDesc = 9;     // the window has no TextDesc
constexpr int kListNoBuffer = 10;  // the TextDesc has no buffer
constexpr int kListNotBuffer = 11; // what it holds is not a Buffer (wrong magic number)

// Edit commands (EditCommand); key codes map to them through EditCommandOf.
enum EditCommandCode {
    kEditLeft = 1,
    kEditRight = 2,
    kEditUp = 3,
    kEditDown = 4,
    kEditPageUp = 7,
    kEditPageDown = 8,
    kEditLineStart = 9,
    kEditLineEnd = 10,
    kEditFirstLine = 11,
    kEditLastLine = 12,
    kEditNothing = 13,
    kEditInsert = 16,
    kEditPaste = 17,
    kEditDelete = 18,
    kEditBackspace = 19,
    kEditCut = 20,
    kEditCutShifted = 21,
    kEditToParent = 22,
    kEditMarkToggle = 23,
    kEditMark = 24,
    kEditDropMark = 25,
    kEditUndo = 27,
    kEditCopy = 28, // copies the selection; without one the key goes to the parent
    kEditCommandLast = 28,
};

// The extension of a text window, list box or edit box: allocated with the window (from the
// toolkit's allocator) and freed when it closes. The given fields come first, in their order.
struct TextDesc {
    int topLine;               // buffer line in the first row; -1 until set (the paint centres)
    int leftOffset;            // horizontal scroll in pixels; -1 until set
    TextLineDrawProc lineDraw; // DrawTextLine unless replaced
    TextExpandProc expand;     // ExpandChar unless replaced
    const int *tabStops;       // ascending display columns, kept by pointer (may be null)
    int tabStopCount;          //
    Buffer *buffer;            // the lines shown
    int caretX, caretY;        // caret place found by the last paint, drawing-area pixels
    int lineHeight;            // line spacing at the last paint
    int lastClickedLine;       // list box: line of the previous click, -1 after an activation
    int scrollLock;            // kScrollLockValue: the paint leaves leftOffset alone
    // bookkeeping
    int rows;                      // whole rows shown at the last paint (0 before the first)
    int ownsBuffer;                // list and edit boxes free their buffer when they close
    int offered;                   // edit box: the answer offered to the key filter (see EditKey)
    char text[kEditTextLimit + 1]; // edit box: getText's copy of the line
};

// ---- text windows ----------------------------------------------------------------------------

// A text window over `buffer` (which stays the caller's) at a cell rectangle; kind text unless
// `flags` names another. Null after "New Text Desc" or "New Text Window" (memory reports).
Window *NewTextWindow(int left, int top, int right, int bottom, Color foreground, Color background,
                      Buffer *buffer, uint32_t flags, Window *parent);
// The window's TextDesc, or null when it is not a text window, list box or edit box.
TextDesc *TextDescOf(Window *window);
// The rows a paint of the window through `gc` shows in `height` pixels of it (at least 1): the
// lines a printed page holds.
int TextWindowRows(int height, GC *gc, Window *window);
// Adds the rows of buffer lines from..to to the window's damage area.
void InvalidateLines(int from, int to, Window *window);
// Moves the buffer's cursor to the character under a window point (x in the high 16 bits, y in
// the low 16 bits) and gives its line and column (either may be null).
void PointToPosition(int point, int *line, int *column, Window *window);
// The display form of a byte: "^00", "^A".."^Z" (nothing for line feed and carriage return),
// "[esc]", "1C", the character itself for 29..126, "\x7F".."\xFF"; a tab becomes blanks up to
// the next tab stop beyond the column (one blank without one).
const char *ExpandChar(int byte, int column, char *scratch, int *count, Window *window);
// The default line draw: the current line, the selection inverted.
void DrawTextLine(int x, int y, TextDesc *desc, Window *window);
// The GC the paint of a text window draws with now (for replaced line-draw functions).
GC *TextPaintGC(void);
// Selects columns first..last (from 1, inclusive) of the first line and puts the cursor just
// after the selection, so typed text replaces it; last < first drops the selection. The window
// is repainted. 0, or 1 when it is not a text window.
int TextSelectColumns(int first, int last, Window *window);
// Whoever drives scrollers beside text windows installs this: it is called with the text window
// after its cursor moved or its lines changed.
void SetTextScrollerUpdate(void (*update)(Window *textWindow));

// ---- list boxes ------------------------------------------------------------------------------

// A list box named `name` over a new buffer of its own, in memory and detached from any file,
// holding just its empty last line: items inserted later are lines 1, 2, ... `activate` becomes
// onActivate (line number). Null after "Newedit box buffer" or "New List Box".
Window *NewListBox(int left, int top, int right, int bottom, Color foreground, Color background,
                   const char *name, uint32_t flags, WindowValueProc activate, Window *parent);
// Inserts `length` bytes (which carry their own line feed) at the cursor, or, with a compare
// function, before the first item it answers negative for, at the end when it passes them all.
// 0, kListRefused, kListNoDesc, kListNoBuffer, kListNotBuffer.
int ListBoxInsert(const char *text, int length, ListCompareProc compare, Window *listBox);
// Makes the line current and selects it whole. 0, kListNoDesc, kListNoBuffer, kListNotBuffer.
int ListBoxSelectLine(int line, Window *listBox);

// A list box's own press and key handlers, its onLeftDown and onKey until a module replaces
// them; a replacement hands on what it does not take. A press chooses the item under the pointer
// and a second press on it activates it. Tab, line feed and Escape go to the parent; Return
// activates the chosen item (without one, or without onActivate, it goes to the parent); the
// arrow, page and first- and last-line keys choose another item. 0; -1 for Up on the first line.
int ListBoxPressDefault(int position, Window *listBox);
int ListBoxKeyDefault(int key, Window *listBox);

// ---- edit boxes ------------------------------------------------------------------------------

// A one-line edit box named `name` with undo, over a buffer in memory detached from any file,
// holding `text` (null for none) with the cursor at its start, in the parent's colours. Its
// onActivate is the key filter: called with the key and returning above 0 to edit, 0 to
// swallow, below 0 to pass the key to the parent; EditKeyOffered tells what it was offered.
// Null after "New edit box buffer" or "New Edit Box".
Window *NewEditBox(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                   const char *text, Window *parent);
// The edit command of a key code, 0 for a key that is none.
int EditCommandOf(int key);
// Carries out an edit command for the key on a text window; commands outside 1 to
// kEditCommandLast (and kEditToParent) hand the key to the parent's onKey. 0.
int EditCommand(int key, int command, Window *window);
// The answer the key filter was offered for the key it is asked about: -1 for Tab, line feed,
// Return and Escape, 0 for a character to insert.
int EditKeyOffered(Window *editBox);
// The key filter of number fields: digits, and '-' at the start of a text that has none.
int NumericEditFilter(int key, Window *editBox);

// ---- the clipboard ---------------------------------------------------------------------------

// Stores a copy of the text as the clipboard's plain text. 1, or 0 when the clipboard is not
// available.
int ClipboardPut(const char *text, int length, Window *window);
// The clipboard's plain text, copied into one buffer that is kept and grown (valid until the next
// call), and its length; null when there is none.
const char *ClipboardGet(int *length, Window *window);
