// List boxes (textwind.h): text windows whose lines are items, chosen by a click or the arrow
// keys and activated by a second click or Return. They build on the text window's slots through
// textpriv.h; the press a list box is under is remembered here.
#include "keys.h"
#include "textpriv.h"
#include "windmsg.h"

#include <climits>

using namespace textpriv;

namespace {

WindowRef gPressedList; // the list box whose button is down

// The list box's own release: the press it was under must not outlive it.
int ListReleaseExtension(Window *w) {
    if (gPressedList.window == w)
        gPressedList = {};
    return TextRelease(w);
}

// The list box's line: a line with text inside the marked lines is selected whole.
void ListDrawLine(int x, int y, TextDesc *d, Window *w) {
    Buffer *b = d->buffer;
    int from, to, line = CurrentLineNumber(b);
    bool marked = MarkLines(b, &from, &to) && line >= from && line <= to && CurrentLineLength(b);
    DrawLineSpans(x, y, 1, marked ? INT_MAX : 0, d, w);
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

} // namespace

int ListBoxPressDefault(int position, Window *w) {
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

namespace {

int ListRelease(int, Window *w) {
    if (WindowRefGet(gPressedList) == w)
        gPressedList = {};
    return 0;
}

} // namespace

int ListBoxKeyDefault(int key, Window *w) {
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
    NotifyScrollers(w);
    SelectWholeLine(b->currentLine, b);
    span.Add(b->currentLine);
    Repaint(span, w);
    return 0;
}

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
    Window *w = OpenTextControl(left, top, right, bottom, foreground, background, name, b, flags,
                                parent, "New List Box");
    if (!w)
        return nullptr;
    TextDesc *d = TextDescOf(w);
    d->lineDraw = ListDrawLine;
    w->releaseExtension = ListReleaseExtension;
    w->onPaint = ListPaint;
    w->onKey = ListBoxKeyDefault;
    w->onLeftDown = ListBoxPressDefault;
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
    NotifyScrollers(w);
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
    NotifyScrollers(w);
    Repaint(span, w);
    return 0;
}
