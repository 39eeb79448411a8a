// What the text window, the list box and the edit box share inside the toolkit (textwind.cpp,
// listbox.cpp, editbox.cpp): positions, the cursor kept across walks of the buffer, the
// selection, repainting, and the text window's own slots the two controls build on.
#pragma once

#include "textwind.h"

#include "buffer.h"

#include <climits>

namespace textpriv {

constexpr int kLastLine = INT_MAX / 2; // a line past every buffer's end

struct Pos {
    int line, column;
};

inline bool Earlier(Pos a, Pos b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

inline bool IsBuffer(const Buffer *b) { return b && b->magic == kBufferMagic; }
inline int FontOf(const Window *w) { return w->font >= 0 ? w->font : 0; }

// ---- the cursor ---------------------------------------------------------------------------------

// The exact position, the empty last line included (BufferGoto would step off it). Valid while
// nothing edits the buffer.
struct Cursor {
    int32_t line, column;
    LineNode *node;
};
inline Cursor SaveCursor(const Buffer *b) {
    return {b->currentLine, b->currentColumn, b->currentNode};
}
inline void RestoreCursor(Cursor c, Buffer *b) {
    b->currentLine = c.line;
    b->currentColumn = c.column;
    b->currentNode = c.node;
}

inline Pos CursorPos(const Buffer *b) { return {b->currentLine, b->currentColumn}; }

// The length of a line (its break included), 0 for a line that does not exist.
int LineLength(int line, Buffer *b);
// The length of a line without its break.
int ContentLength(int line, Buffer *b);
bool LineExists(int line, Buffer *b);
// The last line with text (positioning never rests on the empty last line).
int LastLine(Buffer *b);

// ---- the selection ------------------------------------------------------------------------------

inline bool HasSelection(const Buffer *b) { return b->markLine >= 1; }
void DropSelection(Buffer *b);
void SetSelection(Pos anchor, Pos end, Buffer *b);
// The selection end follows the cursor: it ends on the character before it.
void FollowCursor(Buffer *b);
// The selected characters, first to last inclusive; false when there is no selection or it is
// empty. A backward selection covers the characters after its end up to before its anchor.
bool SelectionRange(Buffer *b, Pos *first, Pos *last);
// The lines the selection's marks span, for repainting; false without a selection.
bool MarkLines(const Buffer *b, int *from, int *to);
void SelectWholeLine(int line, Buffer *b);

// Lines to repaint, gathered while something changes.
struct LineSpan {
    int from = INT_MAX, to = 0;
    void Add(int line) {
        if (line < 1)
            line = 1;
        from = line < from ? line : from;
        to = line > to ? line : to;
    }
    void AddMarks(const Buffer *b) {
        int f, t;
        if (MarkLines(b, &f, &t)) {
            Add(f);
            Add(t);
        }
    }
};

// ---- the text window's pieces -------------------------------------------------------------------

void Repaint(LineSpan span, Window *w);
// Tells the scrollers beside the window, through the hook their module installs, that its
// cursor moved or its lines changed (controls.h's UpdateScrollers is that module's own).
void NotifyScrollers(Window *w);
// Draws the current line at (x, y), the bytes of columns selFirst..selLast in exchanged colours.
void DrawLineSpans(int x, int y, int selFirst, int selLast, TextDesc *d, Window *w);
int TextPaint(Window *w);
// A press repeats the previous click when it is on the same window, soon enough and near enough.
bool RepeatsLastClick(Window *w, int position, uint32_t time);
void NoteClick(Window *w, int position, uint32_t time, int count, Buffer *b);
// The window takes the keyboard focus; false when it closed meanwhile.
bool TakeFocus(Window *w);
// The TextDesc (and a buffer of its own) goes with the window, whoever closes it.
int TextRelease(Window *w);
// A text window, or null with the failure's message in *failure.
Window *OpenText(int left, int top, int right, int bottom, Color foreground, Color background,
                 const char *name, Buffer *buffer, uint32_t flags, Window *parent,
                 const char **failure);
// A list or edit box over a buffer of its own, which goes with the window; without the window the
// buffer is freed and `failure` reported as a memory error, and the result is null.
Window *OpenTextControl(int left, int top, int right, int bottom, Color foreground,
                        Color background, const char *name, Buffer *buffer, uint32_t flags,
                        Window *parent, const char *failure);
// Hands a key the control does not take to its parent's onKey.
int ToParent(int key, Window *w);

} // namespace textpriv
