// Edit boxes (textwind.h): one-line text windows with editing keys, the clipboard and undo.
// They build on the text window's slots through textpriv.h. Start reading at EditKey, then
// EditCommand; the clipboard's two calls close the file.
#include "fonts.h"
#include "keys.h"
#include "textpriv.h"
#include "windmsg.h"

#include "host.h"

#include <cstring>
#include <string>

using namespace textpriv;

namespace {

std::string gClipboardCopy; // ClipboardGet's kept buffer

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

} // namespace

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
    Window *w = OpenTextControl(left, top, right, bottom, foreground, background, name, b, flags,
                                parent, "New Edit Box");
    if (!w)
        return nullptr;
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
        NotifyScrollers(w);
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
