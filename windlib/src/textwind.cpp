// Text windows over the buffer library (textwind.h): a window of the core whose extension is a
// TextDesc. The list box (listbox.cpp) and the edit box (editbox.cpp) replace some of its slots
// and share its helpers through textpriv.h. Start reading at TextPaint, then TextClick.
//
// The buffer's current position is the window's cursor. Everything that walks the buffer for
// its own purposes (painting, measuring, getText) puts the position back exactly as it found it,
// the empty last line included, where a list box's next item goes.
#include "fonts.h"
#include "gdi.h"
#include "image.h"
#include "keys.h"
#include "textpriv.h"
#include "windmsg.h"

#include "host.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace textpriv {

namespace {

constexpr char kSourceFile[] = "windlib\\src\\textwind";
constexpr int kClickCountLimit = 4;      // a fifth click counts as a first one again
constexpr uint32_t kRepeatClickMs = 500; // a second click repeats the first within this time
constexpr int kRepeatClickSlop = 4;      // and within this many pixels either way
constexpr int kWheelLines = 3;           // lines per wheel notch
constexpr int kRunLimit = 256;           // characters drawn in one call

// The previous click, process-wide: only one window at a time collects a multiple click.
struct Clicks {
    WindowRef window; // window of the previous click
    int count;        // 1 to kClickCountLimit
    int line, column; // where it put the cursor
    uint32_t time;    // host time of the press
    int x, y;         // window pixels of the press
};

Clicks gClicks;
GC *gPaintGC;                                // the GC of the text paint under way
void (*gScrollerUpdate)(Window *textWindow); // the scrollers' hook, when they exist

int WindowHeight(const Window *w) { return w->bottom - w->top + 1; }
int WindowWidth(const Window *w) { return w->right - w->left + 1; }

} // namespace

// ---- the cursor ---------------------------------------------------------------------------------

int LineLength(int line, Buffer *b) {
    Cursor c = SaveCursor(b);
    BufferGoto(line, 1, b);
    int n = CurrentLineNumber(b) == line ? CurrentLineLength(b) : 0;
    RestoreCursor(c, b);
    return n;
}

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

int LastLine(Buffer *b) {
    Cursor c = SaveCursor(b);
    BufferGoto(kLastLine, 1, b);
    int last = CurrentLineNumber(b);
    RestoreCursor(c, b);
    return last;
}

// ---- the selection ------------------------------------------------------------------------------

void DropSelection(Buffer *b) {
    b->markLine = b->markEndLine = b->markColumn = b->markEndColumn = -1;
}

void SetSelection(Pos anchor, Pos end, Buffer *b) {
    b->markLine = anchor.line;
    b->markColumn = anchor.column;
    b->markEndLine = end.line;
    b->markEndColumn = end.column;
}

namespace {

// The character position before p: (0, 0) before the first.
Pos PositionBefore(Pos p, Buffer *b) {
    if (p.column > 1)
        return {p.line, p.column - 1};
    if (p.line <= 1)
        return {0, 0};
    return {p.line - 1, LineLength(p.line - 1, b)};
}

} // namespace

void FollowCursor(Buffer *b) {
    Pos end = PositionBefore(CursorPos(b), b);
    b->markEndLine = end.line;
    b->markEndColumn = end.column;
}

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

bool MarkLines(const Buffer *b, int *from, int *to) {
    if (!HasSelection(b))
        return false;
    *from = b->markLine < b->markEndLine ? b->markLine : b->markEndLine;
    *to = b->markLine > b->markEndLine ? b->markLine : b->markEndLine;
    if (*from < 1)
        *from = 1;
    return true;
}

// ---- damage and geometry ------------------------------------------------------------------------

namespace {

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

} // namespace

void Repaint(LineSpan span, Window *w) {
    if (span.to >= span.from)
        InvalidateLines(span.from, span.to, w);
    PostEvent(kEventRedraw, 0, w);
}

namespace {

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

} // namespace

void NotifyScrollers(Window *w) {
    if (gScrollerUpdate)
        gScrollerUpdate(w);
}

// ---- measuring and drawing ----------------------------------------------------------------------

namespace {

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

} // namespace

// Draws the current line at (x, y), the bytes of columns selFirst..selLast in exchanged colours
// (on the screen only: a print shows no selection). Glyphs left of the damage are skipped (only
// measured), those past the right edge never drawn; the pen ends after the text, where the paint
// clears the rest of the row.
void DrawLineSpans(int x, int y, int selFirst, int selLast, TextDesc *d, Window *w) {
    GC *gc = gPaintGC;
    if (!gc || y < 0)
        return;
    if (PrintingColors()) // a selection is the screen's: the paper gets the text alone
        selLast = selFirst - 1;
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

namespace {

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

} // namespace

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

    // Keep the cursor column in view; a cursor within the first width of the line shows the
    // line from its start, so a short text is seen whole wherever the cursor is in it.
    int m = PrefixWidth(LockLine(b), b->currentColumn - 1, d, w, gc);
    if (d->scrollLock != kScrollLockValue &&
        (d->leftOffset < 0 || m < d->leftOffset || m >= d->leftOffset + gc->innerWidth)) {
        DamageAll(w);
        d->leftOffset =
            m < gc->innerWidth || m - gc->innerWidth / 2 < 0 ? 0 : m - gc->innerWidth / 2;
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

bool TakeFocus(Window *w) {
    if (FocusWindow() == w)
        return true;
    WindowRef ref = WindowRefOf(w);
    SetFocusWindow(w);
    return WindowRefLive(ref);
}

namespace {

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

} // namespace

void SelectWholeLine(int line, Buffer *b) {
    SetSelection({line, 1}, {line, LineLength(line, b)}, b);
}

namespace {

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

} // namespace

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
    return 0;
}

namespace {

int TextClose(Window *w) { return CloseWindow(w); }

int TextWheel(int steps, Window *w);

} // namespace

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

Window *OpenTextControl(int left, int top, int right, int bottom, Color foreground,
                        Color background, const char *name, Buffer *buffer, uint32_t flags,
                        Window *parent, const char *failure) {
    const char *textFailure = nullptr;
    Window *w = OpenText(left, top, right, bottom, foreground, background, name, buffer,
                         flags | kTextControl, parent, &textFailure);
    if (!w) {
        BufferFree(buffer);
        ReportMemoryError(failure);
        return nullptr;
    }
    TextDescOf(w)->ownsBuffer = 1;
    return w;
}

int ToParent(int key, Window *w) {
    Window *p = w->parent;
    return p && p->onKey ? p->onKey(key, p) : 0;
}

// ---- the wheel ----------------------------------------------------------------------------------

namespace {

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
    NotifyScrollers(w);
    DamageAll(w);
    PostEvent(kEventRedraw, 0, w);
    return 0;
}

} // namespace

} // namespace textpriv

using namespace textpriv;

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

int TextWindowRows(int height, GC *gc, Window *w) {
    TextDesc *d = TextDescOf(w);
    int h = d && IsBuffer(d->buffer) && gc ? GetLineSpacing(FontOf(w), gc) : 0;
    if (h <= 0)
        return 1;
    int rows, margin;
    RowLayout(height, h, d->buffer, &rows, &margin);
    return rows;
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
