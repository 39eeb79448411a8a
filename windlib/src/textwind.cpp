// Text windows, list boxes and edit boxes over the buffer library (textwind.h). A text window
// is a window of the core whose extension is a TextDesc; the list box and the edit box replace
// some of its slots. Start reading at TextPaint, then TextClick; the list box follows, then the
// edit box and EditCommand, then the clipboard and the wheel.
//
// The buffer's current position is the window's cursor. Everything that walks the buffer for
// its own purposes (painting, measuring, getText) puts the position back exactly as it found it,
// the empty last line included, where a list box's next item goes.
#include "textwind.h"
#include "fonts.h"
#include "gdi.h"
#include "image.h"
#include "keys.h"
#include "windmsg.h"

#include "buffer.h"
#include "host.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kSourceFile[] = "windlib\\src\\textwind";
constexpr int kClickCountLimit = 4;      // a fifth click counts as a first one again
constexpr uint32_t kRepeatClickMs = 500; // a second click repeats the first within this time
constexpr int kRepeatClickSlop = 4;      // and within this many pixels either way
constexpr int kWheelLines = 3;           // lines per wheel notch
constexpr int kRunLimit = 256;           // characters drawn in one call
constexpr int kLastLine = INT_MAX / 2;   // a line past every buffer's end

// The previous click, process-wide: only one window at a time collects a multiple click.
struct Clicks {
    WindowRef window; // window of the previous click
    int count;        // 1 to kClickCountLimit
    int line, column; // where it put the cursor
    uint32_t time;    // host time of the press
    int x, y;         // window pixels of the press
};

Clicks gClicks;
WindowRef gPressedList;                      // the list box whose button is down
GC *gPaintGC;                                // the GC of the text paint under way
void (*gScrollerUpdate)(Window *textWindow); // the scrollers' hook, when they exist
std::string gClipboardCopy;                  // ClipboardGet's kept buffer

struct Pos {
    int line, column;
};

bool Earlier(Pos a, Pos b) { return a.line < b.line || (a.line == b.line && a.column < b.column); }

bool IsBuffer(const Buffer *b) { return b && b->magic == kBufferMagic; }
int FontOf(const Window *w) { return w->font >= 0 ? w->font : 0; }
int WindowHeight(const Window *w) { return w->bottom - w->top + 1; }
int WindowWidth(const Window *w) { return w->right - w->left + 1; }

// ---- the cursor ---------------------------------------------------------------------------------

// The exact position, the empty last line included (BufferGoto would step off it). Valid while
// nothing edits the buffer.
struct Cursor {
    int32_t line, column;
    LineNode *node;
};
Cursor SaveCursor(const Buffer *b) { return {b->currentLine, b->currentColumn, b->currentNode}; }
void RestoreCursor(Cursor c, Buffer *b) {
    b->currentLine = c.line;
    b->currentColumn = c.column;
    b->currentNode = c.node;
}

Pos CursorPos(const Buffer *b) { return {b->currentLine, b->currentColumn}; }

// The length of a line (its break included), 0 for a line that does not exist.
int LineLength(int line, Buffer *b) {
    Cursor c = SaveCursor(b);
    BufferGoto(line, 1, b);
    int n = CurrentLineNumber(b) == line ? CurrentLineLength(b) : 0;
    RestoreCursor(c, b);
    return n;
}

// The length of a line without its break.
int ContentLength(int line, Buffer *b) {
    Cursor c = SaveCursor(b);
    BufferGoto(line, 1, b);
    int n = 0;
    if (CurrentLineNumber(b) == line) {
        n = CurrentLineLength(b);
        const char *text = LockLine(b);
        if (text && n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
            n--;
    }
    RestoreCursor(c, b);
    return n;
}

bool LineExists(int line, Buffer *b) {
    Cursor c = SaveCursor(b);
    BufferGoto(line, 1, b);
    bool exists = CurrentLineNumber(b) == line;
    RestoreCursor(c, b);
    return exists;
}

// The last line with text (positioning never rests on the empty last line).
int LastLine(Buffer *b) {
    Cursor c = SaveCursor(b);
    BufferGoto(kLastLine, 1, b);
    int last = CurrentLineNumber(b);
    RestoreCursor(c, b);
    return last;
}

// ---- the selection ------------------------------------------------------------------------------

bool HasSelection(const Buffer *b) { return b->markLine >= 1; }

void DropSelection(Buffer *b) {
    b->markLine = b->markEndLine = b->markColumn = b->markEndColumn = -1;
}

void SetSelection(Pos anchor, Pos end, Buffer *b) {
    b->markLine = anchor.line;
    b->markColumn = anchor.column;
    b->markEndLine = end.line;
    b->markEndColumn = end.column;
}

// The character position before p: (0, 0) before the first.
Pos PositionBefore(Pos p, Buffer *b) {
    if (p.column > 1)
        return {p.line, p.column - 1};
    if (p.line <= 1)
        return {0, 0};
    return {p.line - 1, LineLength(p.line - 1, b)};
}

// The selection end follows the cursor: it ends on the character before it.
void FollowCursor(Buffer *b) {
    Pos end = PositionBefore(CursorPos(b), b);
    b->markEndLine = end.line;
    b->markEndColumn = end.column;
}

// The selected characters, first to last inclusive; false when there is no selection or it is
// empty. A backward selection covers the characters after its end up to before its anchor.
bool SelectionRange(Buffer *b, Pos *first, Pos *last) {
    if (!HasSelection(b))
        return false;
    Pos anchor = {b->markLine, b->markColumn}, end = {b->markEndLine, b->markEndColumn};
    if (!Earlier(end, anchor)) {
        *first = anchor;
        *last = end;
    } else {
        *first = {end.line, end.column + 1};
        if (end.line >= 1 && first->column > LineLength(end.line, b))
            *first = {end.line + 1, 1};
        if (first->line < 1)
            *first = {1, 1};
        *last = PositionBefore(anchor, b);
    }
    return !Earlier(*last, *first);
}

// The selection as text to cut, copy or delete: never the break that ends the text, which an
// edit box keeps as the place after its last character.
bool EditableRange(Buffer *b, Pos *first, Pos *last) {
    if (!SelectionRange(b, first, last))
        return false;
    int content = ContentLength(last->line, b);
    if (last->column > content && !LineExists(last->line + 1, b))
        last->column = content;
    return !Earlier(*last, *first);
}

// The lines the selection's marks span, for repainting; false without a selection.
bool MarkLines(const Buffer *b, int *from, int *to) {
    if (!HasSelection(b))
        return false;
    *from = b->markLine < b->markEndLine ? b->markLine : b->markEndLine;
    *to = b->markLine > b->markEndLine ? b->markLine : b->markEndLine;
    if (*from < 1)
        *from = 1;
    return true;
}

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

// ---- damage and geometry ------------------------------------------------------------------------

// Adds window rows top..bottom to the damage area, across the whole width.
void AddDamage(int top, int bottom, Window *w) {
    if (w->damageTop < 0 || w->damageBottom < w->damageTop) {
        w->damageTop = top;
        w->damageBottom = bottom;
    } else {
        w->damageTop = top < w->damageTop ? top : w->damageTop;
        w->damageBottom = bottom > w->damageBottom ? bottom : w->damageBottom;
    }
    w->damageLeft = 0;
    w->damageRight = WindowWidth(w) - 1;
}

void DamageAll(Window *w) { AddDamage(0, WindowHeight(w) - 1, w); }

void Repaint(LineSpan span, Window *w) {
    if (span.to >= span.from)
        InvalidateLines(span.from, span.to, w);
    PostEvent(kEventRedraw, 0, w);
}

// The GC the text is drawn with: the printer's while a print job lends it to the window.
GC *TextGC(Window *w) {
    if (PrintingColors())
        if (GC *gc = wGETGC(1, kGCPrinter, nullptr, w))
            return gc;
    return GetWindowGC(w);
}

// The drawing area's size outside a paint (the GC's inner size, without asking for one).
void DrawableSize(const Window *w, int *width, int *height) {
    int ox, oy;
    WindowDrawingOrigin(w, &ox, &oy);
    *width = WindowWidth(w) - (ox ? ox + 2 : 0);
    *height = WindowHeight(w) - 2 * oy;
}

// Rows of the drawing area and the margin above them.
void RowLayout(int height, int h, const Buffer *b, int *rows, int *margin) {
    int n = height / h;
    if (n > b->lineLimit)
        n = b->lineLimit;
    if (n < 1)
        n = 1;
    *rows = n;
    *margin = (height - n * h) / 2 > 0 ? (height - n * h) / 2 : 0;
}

bool LineScrolling(void) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    return d && d->smallFlags[0];
}

void UpdateScrollers(Window *w) {
    if (gScrollerUpdate)
        gScrollerUpdate(w);
}

// ---- measuring and drawing ----------------------------------------------------------------------

// Pixel width of the first n bytes of a line as displayed.
int PrefixWidth(const char *text, int n, TextDesc *d, Window *w, GC *gc) {
    char scratch[kExpandScratchSize];
    int x = 0, column = 1;
    for (int i = 0; i < n && text; i++) {
        int count = 0;
        const char *s = d->expand((unsigned char)text[i], column, scratch, &count, w);
        for (int k = 0; k < count; k++)
            x += CharWidth((unsigned char)s[k], FontOf(w), gc);
        column += count;
    }
    return x;
}

// Draws the current line at (x, y), the bytes of columns selFirst..selLast in exchanged colours.
// Glyphs left of the damage are skipped (only measured), those past the right edge never drawn;
// the pen ends after the text, where the paint clears the rest of the row.
void DrawLineSpans(int x, int y, int selFirst, int selLast, TextDesc *d, Window *w) {
    GC *gc = gPaintGC;
    if (!gc || y < 0)
        return;
    Buffer *b = d->buffer;
    const char *text = LockLine(b);
    int n = text ? CurrentLineLength(b) : 0;
    int skipTo = w->damageLeft - gc->originX; // drawing-area x of the damage's left edge
    int px = x - (d->leftOffset > 0 ? d->leftOffset : 0);
    char run[kRunLimit];
    int runCount = 0, runX = px;
    bool runSelected = false;
    auto flush = [&]() {
        if (runCount == 0)
            return;
        MovePen(runX, y, gc);
        if (runSelected) {
            SetForeground(w->background, gc);
            SetBackground(w->foreground, gc);
        }
        DrawChars(run, runCount, gc);
        if (runSelected) {
            SetForeground(w->foreground, gc);
            SetBackground(w->background, gc);
        }
        runCount = 0;
    };
    char scratch[kExpandScratchSize];
    int column = 1;
    for (int i = 0; i < n && px < gc->innerWidth; i++) {
        int count = 0;
        const char *s = d->expand((unsigned char)text[i], column, scratch, &count, w);
        column += count;
        bool selected = i + 1 >= selFirst && i + 1 <= selLast;
        for (int k = 0; k < count && px < gc->innerWidth; k++) {
            int cw = CharWidth((unsigned char)s[k], FontOf(w), gc);
            if (px + cw <= skipTo) {
                px += cw;
                continue;
            }
            if (runCount && (selected != runSelected || runCount == kRunLimit))
                flush();
            if (runCount == 0) {
                runX = px;
                runSelected = selected;
            }
            run[runCount++] = s[k];
            px += cw;
        }
    }
    flush();
    MovePen(px, y, gc);
}

// The list box's line: a line with text inside the marked lines is selected whole.
void ListDrawLine(int x, int y, TextDesc *d, Window *w) {
    Buffer *b = d->buffer;
    int from, to, line = CurrentLineNumber(b);
    bool marked = MarkLines(b, &from, &to) && line >= from && line <= to && CurrentLineLength(b);
    DrawLineSpans(x, y, 1, marked ? INT_MAX : 0, d, w);
}

// Fills drawing-area rows top..bottom, where damaged, with the background.
void FillDamaged(int top, int bottom, int damageTop, int damageBottom, Window *w, GC *gc) {
    top = top > damageTop ? top : damageTop;
    bottom = bottom < damageBottom ? bottom : damageBottom;
    if (bottom < top)
        return;
    Color old = SetForeground(w->background, gc);
    FillBox(0, top, gc->innerWidth - 1, bottom, gc);
    SetForeground(old, gc);
}

int TextPaint(Window *w) {
    TextDesc *d = TextDescOf(w);
    Buffer *b = d ? d->buffer : nullptr;
    if (!d || !IsBuffer(b)) {
        AssertReport(kSourceFile, __LINE__);
        return 0;
    }
    if (!(b->flags & kBufInMemory) && b->ops && b->ops->readBuffer && b->ops->readBuffer(b) > 0)
        return 0;
    GC *gc = TextGC(w);
    if (!gc)
        return 0;
    SetUnits(kUnitsPixels, gc);
    SetGCFont(-1, gc);
    int h = GetLineSpacing(FontOf(w), gc);
    if (h <= 0) {
        ReleaseGC(gc);
        return 0;
    }
    bool printing = PrintingColors() != 0;
    int rows, margin;
    RowLayout(gc->innerHeight, h, b, &rows, &margin);
    d->rows = rows;
    d->lineHeight = h;
    Cursor saved = SaveCursor(b);
    int cursorLine = b->currentLine;

    // Keep the cursor line in view: one line out scrolls by a line, further recentres.
    if (!printing) {
        if (d->topLine < 1 || cursorLine < d->topLine) {
            if (d->topLine >= 1 && cursorLine == d->topLine - 1 && LineScrolling() &&
                ScrollTextLines(kScrollLineDown, w) == 0) {
                AddDamage(gc->originY + margin, gc->originY + margin + h - 1, w);
                d->topLine = cursorLine;
            } else {
                DamageAll(w);
                d->topLine = cursorLine - rows / 2 > 1 ? cursorLine - rows / 2 : 1;
            }
        } else if (cursorLine >= d->topLine + rows) {
            if (cursorLine == d->topLine + rows && LineScrolling() &&
                ScrollTextLines(kScrollLineUp, w) == 0) {
                int y = gc->originY + margin + (rows - 1) * h;
                AddDamage(y, y + h - 1, w);
                d->topLine = cursorLine - rows + 1;
            } else {
                DamageAll(w);
                d->topLine = cursorLine - rows / 2 > 1 ? cursorLine - rows / 2 : 1;
            }
        }
    }

    // Keep the cursor column in view.
    int m = PrefixWidth(LockLine(b), b->currentColumn - 1, d, w, gc);
    if (d->scrollLock != kScrollLockValue &&
        (d->leftOffset < 0 || m < d->leftOffset || m >= d->leftOffset + gc->innerWidth)) {
        DamageAll(w);
        d->leftOffset = m - gc->innerWidth / 2 > 0 ? m - gc->innerWidth / 2 : 0;
    }

    GC *outer = gPaintGC;
    gPaintGC = gc;
    bool damaged = w->damageTop >= 0 && w->damageBottom >= w->damageTop;
    int dt = damaged ? w->damageTop - gc->originY : 1;
    int db = damaged ? w->damageBottom - gc->originY : 0;
    FillDamaged(0, margin - 1, dt, db, w, gc);
    FillDamaged(margin + rows * h, gc->innerHeight - 1, dt, db, w, gc);
    int top = d->topLine >= 1 ? d->topLine : 1;
    int cursorRow = -1;
    for (int r = 0; r < rows; r++) {
        int line = top + r, y = margin + r * h;
        BufferGoto(line, 1, b);
        if (CurrentLineNumber(b) != line) {
            FillDamaged(y, margin + rows * h - 1, dt, db, w, gc);
            break;
        }
        if (line == cursorLine)
            cursorRow = r;
        if (y <= db && y + h - 1 >= dt) {
            MovePen(0, y, gc);
            d->lineDraw(0, y, d, w);
            ClearToEndOfLine(gc);
        } else if (y + h - 1 < dt) {
            d->lineDraw(0, -1, d, w);
        }
    }
    gPaintGC = outer;
    RestoreCursor(saved, b);
    w->damageTop = w->damageBottom = w->damageLeft = w->damageRight = -1;
    if ((w->flags & kWindowBordered) && !printing) // on the window's edge, around the drawing area
        DrawBevelBox(-gc->originX, -gc->originY, -gc->originX + WindowWidth(w) - 1,
                     -gc->originY + WindowHeight(w) - 1, kBevelWell, gc);
    d->caretX = m - (d->leftOffset > 0 ? d->leftOffset : 0);
    d->caretY = margin + (cursorRow >= 0 ? cursorRow : 0) * h;
    if (w == FocusWindow() && !printing)
        SetCaretPosition(d->caretX, d->caretY, w);
    ReleaseGC(gc);
    return 0;
}

// ---- clicks and drags ---------------------------------------------------------------------------

// A press repeats the previous click when it is on the same window, soon enough and near enough.
bool RepeatsLastClick(Window *w, int position, uint32_t time) {
    return WindowRefGet(gClicks.window) == w && time - gClicks.time <= kRepeatClickMs &&
           abs(PositionX(position) - gClicks.x) <= kRepeatClickSlop &&
           abs(PositionY(position) - gClicks.y) <= kRepeatClickSlop;
}

void NoteClick(Window *w, int position, uint32_t time, int count, Buffer *b) {
    gClicks = {WindowRefOf(w),     count, b->currentLine,
               b->currentColumn,   time,  PositionX(position),
               PositionY(position)};
}

// The window takes the keyboard focus; false when it closed meanwhile.
bool TakeFocus(Window *w) {
    if (FocusWindow() == w)
        return true;
    WindowRef ref = WindowRefOf(w);
    SetFocusWindow(w);
    return WindowRefLive(ref);
}

bool IsWordDelimiter(int c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '"' || (c >= '%' && c <= '-') ||
           c == '/' || c == ':' || c == ';' || c == '=' || (c >= '[' && c <= '^') ||
           (c >= '{' && c <= '}');
}

// Selects the word around the cursor; a cursor on a delimiter selects nothing more.
void SelectWord(Buffer *b) {
    const char *text = LockLine(b);
    int n = CurrentLineLength(b), c = b->currentColumn;
    if (!text || c > n || IsWordDelimiter((unsigned char)text[c - 1]))
        return;
    int first = c, last = c;
    while (first > 1 && !IsWordDelimiter((unsigned char)text[first - 2]))
        first--;
    while (last < n && !IsWordDelimiter((unsigned char)text[last]))
        last++;
    SetSelection({b->currentLine, first}, {b->currentLine, last}, b);
}

void SelectWholeLine(int line, Buffer *b) {
    SetSelection({line, 1}, {line, LineLength(line, b)}, b);
}

int TextClick(int position, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer) || !TakeFocus(w))
        return 0;
    Buffer *b = d->buffer;
    LineSpan span;
    span.AddMarks(b);
    uint32_t time = EventTime();
    int line, column;
    PointToPosition(position, &line, &column, w);
    bool again =
        RepeatsLastClick(w, position, time) && line == gClicks.line && column == gClicks.column;
    int count = again ? gClicks.count % kClickCountLimit + 1 : 1;
    NoteClick(w, position, time, count, b);
    switch (count) {
    case 1:
        DropSelection(b);
        break;
    case 2: // an empty selection at the cursor, for a drag or the keys to widen
        SetSelection(CursorPos(b), CursorPos(b), b);
        FollowCursor(b);
        break;
    case 3:
        SelectWord(b);
        break;
    default:
        BufferGoto(line, 1, b);
        SelectWholeLine(line, b);
        break;
    }
    span.Add(line);
    span.AddMarks(b);
    Repaint(span, w);
    return 0;
}

int TextDrag(int position, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return 0;
    if (WindowRefGet(gClicks.window) != w) {
        TextClick(position, w);
        if (!WindowIsLive(w))
            return 0;
    }
    Buffer *b = d->buffer;
    Pos old = CursorPos(b);
    LineSpan span;
    span.AddMarks(b);
    PointToPosition(position, nullptr, nullptr, w);
    Pos now = CursorPos(b);
    if (now.line == old.line && now.column == old.column)
        return 0;
    if (!HasSelection(b))
        SetSelection(old, old, b);
    FollowCursor(b);
    span.Add(old.line);
    span.Add(now.line);
    span.AddMarks(b);
    InvalidateLines(span.from, span.to, w);
    RepaintWindow(w);
    return 0;
}

// The TextDesc (and a buffer of its own) goes with the window, whoever closes it.
int TextRelease(Window *w) {
    if (TextDesc *d = (TextDesc *)w->extension) { // the window is no longer live here
        if (d->ownsBuffer)
            BufferFree(d->buffer);
        w->extension = nullptr;
        WindowRelease(d);
    }
    // The record itself is freed by the epilog: a click remembered across it would be read from
    // freed memory by the next toolkit's first click.
    if (gClicks.window.window == w)
        gClicks = {};
    if (gPressedList.window == w)
        gPressedList = {};
    return 0;
}

int TextClose(Window *w) { return CloseWindow(w); }

int TextWheel(int steps, Window *w);

// A text window, or null with the failure's message in *failure.
Window *OpenText(int left, int top, int right, int bottom, Color foreground, Color background,
                 const char *name, Buffer *buffer, uint32_t flags, Window *parent,
                 const char **failure) {
    TextDesc *d = (TextDesc *)WindowAllocate(sizeof(TextDesc));
    if (!d) {
        *failure = "New Text Desc";
        return nullptr;
    }
    *d = TextDesc{};
    d->topLine = -1;
    d->leftOffset = -1;
    d->lineDraw = DrawTextLine;
    d->expand = ExpandChar;
    d->buffer = buffer;
    d->lastClickedLine = -1;
    if (!(flags & kWindowKindMask))
        flags |= kWindowKindText;
    Window *w = OpenWindow(left, top, right, bottom, foreground, background, name, flags, parent);
    if (!w) {
        WindowRelease(d);
        *failure = "New Text Window";
        return nullptr;
    }
    w->extension = d;
    w->releaseExtension = TextRelease;
    w->onPaint = TextPaint;
    w->onLeftDown = TextClick;
    w->onDrag = TextDrag;
    w->onClose = TextClose;
    SetWheelHandler(TextWheel);
    return w;
}

// ---- list boxes ---------------------------------------------------------------------------------

int ToParent(int key, Window *w) {
    Window *p = w->parent;
    return p && p->onKey ? p->onKey(key, p) : 0;
}

// 0 when the window's extension holds a buffer, else the list box result code.
int ListCheck(Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d)
        return kListNoDesc;
    if (!d->buffer)
        return kListNoBuffer;
    return IsBuffer(d->buffer) ? 0 : kListNotBuffer;
}

int ListPaint(Window *w) {
    if (TextDesc *d = TextDescOf(w); d && IsBuffer(d->buffer)) {
        LineSpan span;
        span.Add(d->buffer->currentLine);
        if (d->lastClickedLine >= 1)
            span.Add(d->lastClickedLine);
        span.AddMarks(d->buffer);
        InvalidateLines(span.from, span.to, w);
    }
    return TextPaint(w);
}

void ActivateLine(int line, TextDesc *d, Window *w) {
    d->lastClickedLine = -1;
    if (w->onActivate)
        w->onActivate(line, w);
}

int ListClick(int position, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer) || WindowRefGet(gPressedList) == w || !TakeFocus(w))
        return 0;
    gPressedList = WindowRefOf(w);
    Buffer *b = d->buffer;
    LineSpan span;
    span.AddMarks(b);
    uint32_t time = EventTime();
    bool again = RepeatsLastClick(w, position, time);
    int line;
    PointToPosition(position, &line, nullptr, w);
    NoteClick(w, position, time, 1, b);
    if (CurrentLineLength(b) == 0) { // the empty last line: the item above it, if any
        if (line <= 1) {
            Repaint(span, w);
            return 0;
        }
        BufferGoto(--line, 1, b);
    }
    SelectWholeLine(line, b);
    span.Add(line);
    Repaint(span, w);
    if (line != d->lastClickedLine || !again)
        d->lastClickedLine = line;
    else
        ActivateLine(line, d, w);
    return 0;
}

int ListRelease(int, Window *w) {
    if (WindowRefGet(gPressedList) == w)
        gPressedList = {};
    return 0;
}

int ListKey(int key, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return 0;
    if (key == '\t' || key == '\n' || key == keyEscape)
        return ToParent(key, w);
    Buffer *b = d->buffer;
    if (key == '\r') { // the chosen item, else the cursor's
        int line = HasSelection(b) ? b->markLine : b->currentLine;
        if (!w->onActivate || ContentLength(line, b) == 0)
            return ToParent(key, w);
        ActivateLine(line, d, w);
        return 0;
    }
    int old = b->currentLine, rows = d->rows > 0 ? d->rows : 1;
    LineSpan span;
    span.AddMarks(b);
    switch (EditCommandOf(key)) {
    case kEditUp:
        if (old <= 1)
            return -1;
        BufferGoto(old - 1, 1, b);
        break;
    case kEditDown:
        BufferGoto(old + 1, 1, b);
        if (CurrentLineLength(b) == 0) {
            BufferGoto(old, 1, b);
            return 0;
        }
        break;
    case kEditPageUp:
        BufferGoto(old - rows > 1 ? old - rows : 1, 1, b);
        d->topLine = -1;
        break;
    case kEditPageDown:
        BufferGoto(old + rows, 1, b);
        if (CurrentLineLength(b) == 0 && b->currentLine > 1)
            BufferGoto(b->currentLine - 1, 1, b);
        d->topLine = -1;
        break;
    case kEditFirstLine:
        BufferGoto(1, 1, b);
        break;
    case kEditLastLine:
        BufferGoto(kLastLine, 1, b);
        break;
    default:
        PostEvent(kEventRedraw, 0, w);
        return 0;
    }
    UpdateScrollers(w);
    SelectWholeLine(b->currentLine, b);
    span.Add(b->currentLine);
    Repaint(span, w);
    return 0;
}

// ---- edit boxes ---------------------------------------------------------------------------------

// Empties the undo record: its frames belong to a text that is gone.
void ForgetUndo(Buffer *b) {
    Buffer *u = b->undoBuffer;
    for (int n = u ? u->lineCount : 0; n > 0 && u->firstLine; n--) {
        BufferGoto(1, 1, u);
        DeleteUndoInfo(u);
        if (DeleteLine(u) != 0)
            break;
    }
}

// Replaces the box's one line with `text` (length n) and its own line feed, the cursor at the
// start, without recording undo: the line feed is the place after the last character.
void SetEditLine(const char *text, int n, Buffer *b) {
    Buffer *undo = b->undoBuffer;
    b->undoBuffer = nullptr;
    if (b->lineCount > 0)
        DelRegion(1, 1, 1, kEndOfLineColumn, b);
    BufferInsert(1, 1, "\n", 1, b); // the box holds one line: the break stays inside it
    if (text && n > 0)
        BufferInsert(1, 1, text, n, b);
    BufferGoto(1, 1, b);
    DropSelection(b);
    b->undoBuffer = undo;
}

const char *EditGetText(Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return "";
    Buffer *b = d->buffer;
    Cursor c = SaveCursor(b);
    BufferGoto(1, 1, b);
    const char *text = LockLine(b);
    int n = text ? ContentLength(1, b) : 0;
    if (n > kEditTextLimit)
        n = kEditTextLimit;
    if (n > 0)
        memcpy(d->text, text, (size_t)n);
    d->text[n] = '\0';
    RestoreCursor(c, b);
    return d->text;
}

int EditSetText(const char *text, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return 1;
    SetEditLine(text, text ? (int)strlen(text) : 0, d->buffer);
    ForgetUndo(d->buffer);
    d->leftOffset = -1;
    InvalidateLines(0, 1000, w);
    PostEvent(kEventRedraw, 0, w);
    return 0;
}

int EditKey(int key, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || key >= 256) // characters 128..255: an edit box holds printable ASCII only
        return 0;
    if (w->flags & kWindowDisabled)
        return ToParent(key, w);
    bool leaving = key == '\t' || key == '\n' || key == '\r' || key == keyEscape;
    int command = EditCommandOf(key);
    int answer = leaving ? -1 : 1;
    if ((leaving || command == kEditInsert) && w->onActivate) {
        WindowRef ref = WindowRefOf(w);
        d->offered = leaving ? -1 : 0;
        answer = w->onActivate(key, w);
        if (!WindowRefLive(ref))
            return 0;
    }
    if (answer > 0)
        return EditCommand(key, command, w);
    return answer < 0 ? ToParent(key, w) : 0;
}

// One editing command's changes: its undo frame is opened at the first change.
struct Edit {
    Window *window;
    Buffer *buffer;
    bool framed;   // the undo frame is open
    bool reshaped; // the line count may have changed: repaint to the end
    LineSpan span; // lines changed
};

void OpenFrame(Edit &e) {
    if (!e.framed && e.buffer->undoBuffer)
        StartUndoFrame(e.buffer);
    e.framed = true;
}

void InsertText(Edit &e, const char *text, int n) {
    Buffer *b = e.buffer;
    OpenFrame(e);
    int lines = b->lineCount;
    e.span.Add(b->currentLine);
    BufferInsert(b->currentLine, b->currentColumn, text, n, b);
    e.reshaped |= b->lineCount != lines;
}

void DeleteRange(Edit &e, Pos first, Pos last) {
    Buffer *b = e.buffer;
    OpenFrame(e);
    e.span.Add(first.line);
    e.span.Add(last.line);
    e.reshaped |= first.line != last.line || last.column > ContentLength(last.line, b);
    DelRegion(first.line, first.column, last.line, last.column, b);
}

// Deletes the selection without touching the clipboard; false when there was nothing selected.
bool DeleteSelection(Edit &e) {
    Pos first, last;
    bool deleted = EditableRange(e.buffer, &first, &last);
    if (deleted)
        DeleteRange(e, first, last);
    DropSelection(e.buffer);
    return deleted;
}

// Puts the selection on the clipboard; false when nothing is selected or the clipboard refused.
bool CopySelection(Edit &e, Pos *first, Pos *last) {
    if (!EditableRange(e.buffer, first, last))
        return false;
    TextRecord record = {};
    bool stored =
        BufferRegion(first->line, first->column, last->line, last->column, &record, e.buffer) &&
        ClipboardPut(record.text, record.length, e.window);
    FreeTextRecord(&record);
    return stored;
}

void Cut(Edit &e) {
    Buffer *b = e.buffer;
    Pos first, last;
    if (!HasSelection(b)) { // to the end of the line; the break stays
        int end = ContentLength(b->currentLine, b);
        if (b->currentColumn <= end)
            DeleteRange(e, CursorPos(b), {b->currentLine, end});
        return;
    }
    // Deleted only once the clipboard holds it: a refused put must not lose the text.
    if (CopySelection(e, &first, &last)) {
        DeleteRange(e, first, last);
        DropSelection(b);
    } else if (!EditableRange(b, &first, &last)) {
        DropSelection(b);
    }
}

// The clipboard is read before the selection goes, so pasting over a selection never reads back
// what it replaces. One line of it, without control bytes: a pasted line that ends in a newline
// (a path copied with its line) must not put the newline into the field.
void Paste(Edit &e) {
    int n = 0;
    const char *clip = ClipboardGet(&n, e.window);
    if (!clip)
        return;
    std::string text;
    for (int i = 0; i < n && clip[i] != '\n' && clip[i] != '\r'; i++) {
        unsigned char c = (unsigned char)clip[i];
        if (c == '\t' || (c >= 32 && c != 127))
            text.push_back((char)c);
    }
    DeleteSelection(e);
    if (!text.empty())
        InsertText(e, text.data(), (int)text.size());
}

void UndoLastFrame(Edit &e) {
    Buffer *b = e.buffer;
    if (!b->undoBuffer)
        return;
    TextRecord first = {};
    int last = 0;
    if (Undo(&first, &last, b) != 0 || first.length < 1)
        return;
    e.span.Add(first.length);
    e.span.Add(last);
    e.reshaped |= last != first.length;
    DropSelection(b);
}

// ---- the wheel ----------------------------------------------------------------------------------

// Scrolls the text window under the pointer by whole lines; the cursor stays where it is while it
// remains in view, else it is carried along at the edge.
int TextWheel(int steps, Window *w) {
    while (w && !TextDescOf(w))
        w = w->parent;
    TextDesc *d = w ? TextDescOf(w) : nullptr;
    if (!d || !IsBuffer(d->buffer) || d->rows < 1 || d->topLine < 1)
        return 0;
    Buffer *b = d->buffer;
    int maxTop = LastLine(b) - d->rows + 1;
    int top = d->topLine + steps * kWheelLines;
    top = top > maxTop ? maxTop : top;
    top = top < 1 ? 1 : top;
    if (top == d->topLine)
        return 0;
    d->topLine = top;
    if (b->currentLine < top)
        BufferGoto(top, b->currentColumn, b);
    else if (b->currentLine > top + d->rows - 1)
        BufferGoto(top + d->rows - 1, b->currentColumn, b);
    UpdateScrollers(w);
    DamageAll(w);
    PostEvent(kEventRedraw, 0, w);
    return 0;
}

} // namespace

// ---- text windows -------------------------------------------------------------------------------

Window *NewTextWindow(int left, int top, int right, int bottom, Color foreground, Color background,
                      Buffer *buffer, uint32_t flags, Window *parent) {
    const char *failure = nullptr;
    Window *w = OpenText(left, top, right, bottom, foreground, background,
                         IsBuffer(buffer) ? buffer->name : "", buffer, flags, parent, &failure);
    if (!w)
        ReportMemoryError(failure);
    return w;
}

TextDesc *TextDescOf(Window *w) {
    if (!WindowIsLive(w))
        return nullptr;
    uint32_t kind = WindowKind(w);
    return kind == kWindowKindText || kind == kWindowKindList ? (TextDesc *)w->extension : nullptr;
}

void InvalidateLines(int from, int to, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d)
        return;
    if (to < from) {
        int t = from;
        from = to;
        to = t;
    }
    // While a print job runs the rows go down the page, not the window.
    GC *printer = PrintingColors() ? wGETGC(1, kGCPrinter, nullptr, w) : nullptr;
    int64_t limit = printer ? printer->innerHeight : WindowHeight(w);
    int64_t h = FontLineSpacing(FontOf(w), printer);
    ReleaseGC(printer);
    if (h < 1)
        h = 1;
    int t = d->topLine >= 1 ? d->topLine : 1;
    int64_t r1 = (int64_t)from - t > 0 ? (int64_t)from - t : 0;
    int64_t r2 = (int64_t)to - t > 0 ? (int64_t)to - t : 0;
    int64_t top = r1 * h, bottom = h * (r2 + 1) - 1;
    top = top > INT_MAX ? INT_MAX : top;
    bottom = bottom > limit - 1 ? limit - 1 : bottom;
    AddDamage((int)top, (int)bottom, w);
}

void PointToPosition(int point, int *line, int *column, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return;
    Buffer *b = d->buffer;
    int h = FontLineSpacing(FontOf(w), nullptr);
    if (h > 0) {
        int ox, oy, width, height, rows, margin;
        WindowDrawingOrigin(w, &ox, &oy);
        DrawableSize(w, &width, &height);
        RowLayout(height, h, b, &rows, &margin);
        int y = PositionY(point) - oy - margin;
        int row = y >= 0 ? y / h : -((-y + h - 1) / h);
        int target = (d->topLine >= 1 ? d->topLine : 1) + row;
        BufferGoto(target >= 1 ? target : 1, 1, b);
        // The character whose glyphs span x.
        int x = PositionX(point) - ox + (d->leftOffset > 0 ? d->leftOffset : 0);
        const char *text = LockLine(b);
        int n = text ? CurrentLineLength(b) : 0, px = 0, c = 1, shown = 1;
        char scratch[kExpandScratchSize];
        for (; c <= n; c++) {
            int count = 0;
            const char *s = d->expand((unsigned char)text[c - 1], shown, scratch, &count, w);
            int cw = 0;
            for (int k = 0; k < count; k++)
                cw += CharWidth((unsigned char)s[k], FontOf(w), nullptr);
            if (x < px + cw)
                break;
            px += cw;
            shown += count;
        }
        BufferGoto(b->currentLine, c, b);
    }
    if (line)
        *line = b->currentLine;
    if (column)
        *column = b->currentColumn;
}

const char *ExpandChar(int byte, int column, char *scratch, int *count, Window *window) {
    byte &= 0xFF;
    int n = 0;
    if (byte == '\t') {
        int blanks = 1;
        TextDesc *d = TextDescOf(window);
        for (int i = 0; d && d->tabStops && i < d->tabStopCount; i++)
            if (d->tabStops[i] > column) {
                blanks = d->tabStops[i] - column;
                break;
            }
        n = blanks < kTabBlankLimit ? blanks : kTabBlankLimit;
        memset(scratch, ' ', (size_t)n);
    } else if (byte == '\n' || byte == '\r') {
        n = 0;
    } else if (byte == 0) {
        n = snprintf(scratch, kExpandScratchSize, "^00");
    } else if (byte < 27) {
        n = snprintf(scratch, kExpandScratchSize, "^%c", 'A' + byte - 1);
    } else if (byte == 27) {
        n = snprintf(scratch, kExpandScratchSize, "[esc]");
    } else if (byte == 28) {
        n = snprintf(scratch, kExpandScratchSize, "1C");
    } else if (byte < 127) {
        scratch[0] = (char)byte;
        n = 1;
    } else {
        n = snprintf(scratch, kExpandScratchSize, "\\x%02X", byte);
    }
    scratch[n] = '\0';
    *count = n;
    return scratch;
}

void DrawTextLine(int x, int y, TextDesc *d, Window *w) {
    Buffer *b = d->buffer;
    Pos first, last;
    int line = CurrentLineNumber(b), selFirst = 1, selLast = 0;
    if (SelectionRange(b, &first, &last) && line >= first.line && line <= last.line) {
        selFirst = line == first.line ? first.column : 1;
        selLast = line == last.line ? last.column : INT_MAX;
    }
    DrawLineSpans(x, y, selFirst, selLast, d, w);
}

GC *TextPaintGC(void) { return gPaintGC; }

int TextSelectColumns(int first, int last, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return 1;
    Buffer *b = d->buffer;
    LineSpan span;
    span.AddMarks(b);
    if (last < first) {
        DropSelection(b);
    } else {
        SetSelection({1, first}, {1, last}, b);
        BufferGoto(1, last + 1, b);
    }
    span.Add(1);
    Repaint(span, w);
    return 0;
}

void SetTextScrollerUpdate(void (*update)(Window *textWindow)) { gScrollerUpdate = update; }

// ---- list boxes ---------------------------------------------------------------------------------

Window *NewListBox(int left, int top, int right, int bottom, Color foreground, Color background,
                   const char *name, uint32_t flags, WindowValueProc activate, Window *parent) {
    // Detached: a list named like a file in the working directory never reads or writes it.
    Buffer *b = BufferCreate(name, kCreateDetached);
    if (!b) {
        ReportMemoryError("Newedit box buffer");
        return nullptr;
    }
    b->flags |= kBufInMemory;
    b->lineBreakMode = kBreakLineFeed | kBreakCarriageReturn;
    b->recordLength = kListRecordLength;
    b->fileStart = 0;
    BufferInsert(1, 1, "\n", 1, b); // the empty last line, so the first item is line 1
    if (!(flags & kWindowKindMask))
        flags |= kWindowKindList;
    const char *failure = nullptr;
    Window *w = OpenText(left, top, right, bottom, foreground, background, name, b,
                         flags | kTextControl, parent, &failure);
    if (!w) {
        BufferFree(b);
        ReportMemoryError("New List Box");
        return nullptr;
    }
    TextDesc *d = TextDescOf(w);
    d->ownsBuffer = 1;
    d->lineDraw = ListDrawLine;
    w->onPaint = ListPaint;
    w->onKey = ListKey;
    w->onLeftDown = ListClick;
    w->onLeftUp = ListRelease;
    w->onActivate = activate;
    return w;
}

int ListBoxInsert(const char *text, int length, ListCompareProc compare, Window *w) {
    if (int code = ListCheck(w))
        return code;
    Buffer *b = TextDescOf(w)->buffer;
    int at = b->currentLine, column = CurrentLineLength(b) == 0 ? 1 : b->currentColumn;
    if (compare) {
        at = b->lineCount + 1; // past every item: appended once, at the end
        column = 1;
        for (int line = 1; line <= LastLine(b); line++) {
            BufferGoto(line, 1, b);
            const char *item = LockLine(b);
            int n = item ? CurrentLineLength(b) : 0;
            if (n == 0)
                continue;
            int answer = compare(item, n, text, length);
            if (answer < 0) {
                at = line;
                break;
            }
            if (answer != 1)
                return kListRefused;
        }
    }
    BufferInsert(at, column, text, length, b);
    UpdateScrollers(w);
    InvalidateLines(at, kLastLine, w);
    PostEvent(kEventRedraw, 0, w);
    return 0;
}

int ListBoxSelectLine(int line, Window *w) {
    if (int code = ListCheck(w))
        return code;
    Buffer *b = TextDescOf(w)->buffer;
    LineSpan span;
    span.AddMarks(b);
    BufferGoto(line, 1, b);
    SelectWholeLine(b->currentLine, b);
    span.Add(b->currentLine);
    UpdateScrollers(w);
    Repaint(span, w);
    return 0;
}

// ---- edit boxes ---------------------------------------------------------------------------------

Window *NewEditBox(int left, int top, int right, int bottom, const char *name, uint32_t flags,
                   const char *text, Window *parent) {
    // Detached: a field named like a file in the working directory never touches it.
    Buffer *b = BufferCreate(name, kCreateUndo | kCreateDetached);
    if (!b) {
        ReportMemoryError("New edit box buffer");
        return nullptr;
    }
    b->flags |= kBufInMemory;
    b->lineBreakMode = kBreakLineFeed;
    b->recordLength = kListRecordLength;
    b->fileStart = 0;
    b->lineLimit = 1;
    SetEditLine(text, text ? (int)strlen(text) : 0, b);
    const ToolkitDefaults *defaults = GetToolkitDefaults();
    Color foreground = parent ? parent->foreground : defaults ? defaults->foreground : 0;
    Color background = parent ? parent->background : defaults ? defaults->windowBackground : 0;
    const char *failure = nullptr;
    Window *w = OpenText(left, top, right, bottom, foreground, background, name, b,
                         flags | kTextControl, parent, &failure);
    if (!w) {
        BufferFree(b);
        ReportMemoryError("New Edit Box");
        return nullptr;
    }
    TextDescOf(w)->ownsBuffer = 1;
    w->onKey = EditKey;
    w->getText = EditGetText;
    w->setText = EditSetText;
    return w;
}

int EditCommandOf(int key) {
    switch (key) {
    case keyLeft:
        return kEditLeft;
    case keyRight:
        return kEditRight;
    case keyUp:
        return kEditUp;
    case keyDown:
        return kEditDown;
    case keyPageUp:
        return kEditPageUp;
    case keyPageDown:
        return kEditPageDown;
    case 1: // ^A
    case keyBOL:
        return kEditLineStart;
    case 5: // ^E
    case keyEOL:
        return kEditLineEnd;
    case 20: // ^T
        return kEditFirstLine;
    case 2: // ^B
        return kEditLastLine;
    case 19: // ^S
        return kEditNothing;
    case 17: // ^Q
        return kEditMark;
    case 25: // ^Y
    case 22: // ^V
    case keyShiftInsert:
        return kEditPaste;
    case keyDelete:
        return kEditDelete;
    case 8:
        return kEditBackspace;
    case 11: // ^K
    case 24: // ^X
        return kEditCut;
    case keyShiftDelete:
        return kEditCutShifted;
    case 3: // ^C
    case keyCtrlInsert:
        return kEditCopy;
    case 21: // ^U
    case 26: // ^Z
        return kEditUndo;
    case '\n':
    case '\r':
    case 15: // ^O
    case keyEscape:
    case 28: // FS, GS, RS, US
    case 29:
    case 30:
    case 31:
        return kEditInsert;
    default:
        return key >= 32 && key <= 126 ? kEditInsert : 0;
    }
}

int EditCommand(int key, int command, Window *w) {
    TextDesc *d = TextDescOf(w);
    if (!d || !IsBuffer(d->buffer))
        return 0;
    if (command < 1 || command > kEditCommandLast || command == kEditToParent)
        return ToParent(key, w);
    if (FontLineSpacing(FontOf(w), nullptr) <= 0)
        return 0;
    Buffer *b = d->buffer;
    Edit e = {w, b, false, false, {}};
    Pos before = CursorPos(b), first, last;
    e.span.Add(before.line);
    e.span.AddMarks(b);
    int page = d->rows > 0 ? d->rows : 1;
    page = page < b->lineLimit ? page : b->lineLimit;
    int line = before.line, column = before.column;
    switch (command) {
    case kEditLeft:
        if (column > 1)
            BufferGoto(line, column - 1, b);
        else if (line > 1)
            BufferGoto(line - 1, kEndOfLineColumn, b);
        break;
    case kEditRight:
        if (column < LineLength(line, b))
            BufferGoto(line, column + 1, b);
        else if (LineExists(line + 1, b))
            BufferGoto(line + 1, 1, b);
        break;
    case kEditUp:
        if (line > 1)
            BufferGoto(line - 1, column, b);
        break;
    case kEditDown:
        BufferGoto(line + 1, column, b);
        break;
    case kEditPageUp:
        BufferGoto(line - page > 1 ? line - page : 1, column, b);
        break;
    case kEditPageDown:
        BufferGoto(line + page, column, b);
        break;
    case kEditLineStart:
        BufferGoto(line, 1, b);
        break;
    case kEditLineEnd:
        BufferGoto(line, kEndOfLineColumn, b);
        break;
    case kEditFirstLine:
        BufferGoto(1, 1, b);
        break;
    case kEditLastLine:
        BufferGoto(kLastLine, 1, b);
        break;
    case kEditInsert: { // typing over a selection replaces it; the clipboard is left alone
        DeleteSelection(e);
        char c = (char)key;
        if (key >= 32 && key <= 126)
            InsertText(e, &c, 1);
        break;
    }
    case kEditPaste:
        Paste(e);
        break;
    case kEditDelete:
        if (!DeleteSelection(e) && column <= ContentLength(line, b))
            DeleteRange(e, before, before);
        break;
    case kEditBackspace:
        if (DeleteSelection(e))
            break;
        if (column > 1) {
            DeleteRange(e, {line, column - 1}, {line, column - 1});
        } else if (line > 1) { // joins the line to the one before
            Pos end = {line - 1, LineLength(line - 1, b)};
            BufferGoto(end.line, end.column, b);
            DeleteRange(e, end, end);
        }
        break;
    case kEditCut:
    case kEditCutShifted:
        Cut(e);
        break;
    case kEditMarkToggle:
    case kEditMark:
        if (HasSelection(b)) {
            DropSelection(b);
        } else {
            SetSelection(before, before, b);
            FollowCursor(b);
        }
        break;
    case kEditDropMark:
        DropSelection(b);
        break;
    case kEditUndo:
        UndoLastFrame(e);
        break;
    case kEditCopy: // without a selection the key keeps its meaning for the dialog
        if (!EditableRange(b, &first, &last))
            return ToParent(key, w);
        CopySelection(e, &first, &last);
        break;
    default:
        break;
    }
    Pos after = CursorPos(b);
    if (HasSelection(b) && (after.line != before.line || after.column != before.column))
        FollowCursor(b);
    e.span.Add(after.line);
    e.span.AddMarks(b);
    if (e.reshaped)
        e.span.Add(kLastLine);
    if (after.line != before.line || e.reshaped)
        UpdateScrollers(w);
    Repaint(e.span, w);
    return 0;
}

int EditKeyOffered(Window *w) {
    TextDesc *d = TextDescOf(w);
    return d ? d->offered : 0;
}

int NumericEditFilter(int key, Window *w) {
    if (key >= '0' && key <= '9')
        return 1;
    TextDesc *d = TextDescOf(w);
    if (key == '-' && d && IsBuffer(d->buffer)) {
        const char *text = EditGetText(w);
        bool atStart = text[0] == '\0' || d->buffer->currentColumn == 1;
        return atStart && text[0] != '-' ? 1 : 0;
    }
    return EditKeyOffered(w);
}

// ---- the clipboard ------------------------------------------------------------------------------

int ClipboardPut(const char *text, int length, Window *w) {
    const HostOps *host = WindowHost();
    if (!host || !text || length < 0)
        return 0;
    // The host table answers 0 for success.
    return host->clipboardPut(w ? w->host : nullptr, text, (size_t)length) == 0 ? 1 : 0;
}

const char *ClipboardGet(int *length, Window *) {
    const HostOps *host = WindowHost();
    size_t n = 0;
    const char *text = host ? host->clipboardGet(&n) : nullptr;
    if (!text || n == 0)
        return nullptr;
    gClipboardCopy.assign(text, n);
    if (length)
        *length = (int)n;
    return gClipboardCopy.c_str();
}
