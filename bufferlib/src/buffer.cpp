// The line buffer: library state and messages, the node pool and text allocation classes, and
// every position, byte, line, text and region operation of a Buffer. Undo lives in undo.cpp and
// the file side in bufferfile.cpp; the chain's shape (the empty last line) is described in
// buffer.h. Start reading at BufferInsert and DelRegion.
#include "buffer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Library state set by BufferProlog. Until then malloc and free serve and nothing is reported.
struct BufferLibrary {
    BufAllocFn allocate;                // size -> memory or null
    BufReleaseFn release;               // gives memory back
    BufReportFn error;                  // hard failures, may be null
    BufReportFn message;                // soft failures, may be null
    char messageText[kMessageTextSize]; // the shared message text
};

BufferLibrary gLib = {malloc, free, nullptr, nullptr, {0}};

uint64_t gTextVersions = 0; // the last text version handed out

// Any change of a buffer's lines, its chain or their texts gives it a new text version.
void NewTextVersion(Buffer *b) { b->textVersion = ++gTextVersions; }

// The text was edited: modified, and a new version.
void TextChanged(Buffer *b) {
    b->flags |= kBufModified;
    NewTextVersion(b);
}

int32_t NodeLength(const LineNode *n) {
    return static_cast<int32_t>(n->lengthFlags & kNodeLengthMask);
}

int32_t NodeAllocation(const LineNode *n) {
    return static_cast<int32_t>((n->lengthFlags >> kNodeAllocationShift) & kNodeAllocationMask);
}

bool NodeInFile(const LineNode *n) { return (n->lengthFlags & kNodeInFile) != 0; }

// Sets a loaded line's length and allocation size (clears the in-file bit).
void NodeSetLoaded(LineNode *n, int32_t length, int32_t allocation) {
    n->lengthFlags =
        static_cast<uint32_t>(length) | (static_cast<uint32_t>(allocation) << kNodeAllocationShift);
}

bool SplitsLines(const Buffer *b) {
    return (b->lineBreakMode & (kBreakLineFeed | kBreakCarriageReturn)) != 0;
}

bool IsBreak(unsigned char c, const Buffer *b) {
    return (c == '\n' && (b->lineBreakMode & kBreakLineFeed)) ||
           (c == '\r' && (b->lineBreakMode & kBreakCarriageReturn));
}

// The empty last line: the chain's last node, holding nothing.
bool IsEmptyLast(const LineNode *n, const Buffer *b) {
    return n && n == b->lastLine && NodeLength(n) == 0;
}

int32_t EffectiveMaximum(const Buffer *b) {
    int32_t m = b->maximumAllocation;
    return m > static_cast<int32_t>(kNodeAllocationMask) ? static_cast<int32_t>(kNodeAllocationMask)
                                                         : m;
}

// Longest line this buffer can hold.
int32_t MaxLineLength(const Buffer *b) {
    int32_t m = EffectiveMaximum(b);
    return m < kMaxLineLength ? m : kMaxLineLength;
}

// A line's bytes wherever they are: its text, "" when it has none, a page of the file, or null
// when a line still in the file cannot be read.
const char *NodeBytes(const LineNode *n, Buffer *b) {
    if (NodeInFile(n))
        return PageInLine(n, b);
    return n->text ? n->text : "";
}

int LastByte(const LineNode *n, Buffer *b) {
    int32_t len = NodeLength(n);
    if (len == 0)
        return -1;
    const char *bytes = NodeBytes(n, b);
    return bytes ? static_cast<unsigned char>(bytes[len - 1]) : -1;
}

// The column where appended text goes: before the line's own break in a line-break mode,
// otherwise one past the end.
int32_t InsertEnd(const LineNode *n, Buffer *b) {
    int32_t len = NodeLength(n);
    int last = LastByte(n, b);
    if (SplitsLines(b) && last >= 0 && IsBreak(static_cast<unsigned char>(last), b))
        return len;
    return len + 1;
}

int32_t ClampColumn(int32_t column, int32_t highest) {
    if (column > highest)
        column = highest;
    return column < 1 ? 1 : column;
}

LineNode *NewNode(Buffer *b) {
    NodePoolBlock *block = b->nodePool;
    if (!block || kNodePoolBlockBytes - block->used < sizeof(LineNode)) {
        block = static_cast<NodePoolBlock *>(BufAllocate(sizeof(NodePoolBlock)));
        if (!block)
            return nullptr;
        block->next = b->nodePool;
        block->used = 0;
        b->nodePool = block;
    }
    block->used += sizeof(LineNode);
    return new (block->nodes + kNodePoolBlockBytes - block->used) LineNode{};
}

void ReleaseNodeText(LineNode *n) {
    if (!NodeInFile(n))
        BufRelease(n->text);
    n->text = nullptr;
    n->lengthFlags = 0;
}

// Links n after `at`, or first when `at` is null.
void LinkAfter(LineNode *at, LineNode *n, Buffer *b) {
    n->previous = at;
    n->next = at ? at->next : b->firstLine;
    if (n->next)
        n->next->previous = n;
    else
        b->lastLine = n;
    if (at)
        at->next = n;
    else
        b->firstLine = n;
    b->lineCount++;
    NewTextVersion(b);
}

void Unlink(LineNode *n, Buffer *b) {
    if (n->previous)
        n->previous->next = n->next;
    else
        b->firstLine = n->next;
    if (n->next)
        n->next->previous = n->previous;
    else
        b->lastLine = n->previous;
    n->previous = n->next = nullptr;
    b->lineCount--;
    NewTextVersion(b);
}

void SetCurrent(LineNode *n, int32_t line, int32_t column, Buffer *b) {
    b->currentNode = n;
    b->currentLine = n ? line : 1;
    b->currentColumn = n ? column : 1;
}

// The node of line `line` without moving, walking from the nearest of the first, current and
// last nodes; null when there is no such line.
LineNode *NodeAt(int32_t line, Buffer *b) {
    if (line < 1 || line > b->lineCount)
        return nullptr;
    LineNode *n = b->firstLine;
    int32_t at = 1;
    if (b->currentNode && abs(b->currentLine - line) < line - 1) {
        n = b->currentNode;
        at = b->currentLine;
    }
    if (b->lineCount - line < abs(at - line)) {
        n = b->lastLine;
        at = b->lineCount;
    }
    while (at < line) {
        n = n->next;
        at++;
    }
    while (at > line) {
        n = n->previous;
        at--;
    }
    return n;
}

// Copies a line still in the file into its own allocation. 0; 4 not available; 5 no memory.
int LoadLine(LineNode *n, Buffer *b) {
    if (!NodeInFile(n))
        return 0;
    const char *bytes = PageInLine(n, b);
    if (!bytes)
        return 4;
    int32_t len = NodeLength(n);
    char *text = nullptr;
    int32_t size = 0;
    if (len > 0) {
        size = BufferTextClass(len, b);
        text = static_cast<char *>(BufAllocate(static_cast<size_t>(size)));
        if (!text)
            return 5;
        memcpy(text, bytes, static_cast<size_t>(len));
    }
    n->text = text;
    NodeSetLoaded(n, len, size);
    return 0;
}

// Makes room for `length` bytes in a loaded line. 0; 1 no memory.
int Reserve(LineNode *n, int32_t length, Buffer *b) {
    if (length <= NodeAllocation(n))
        return 0;
    int32_t size = BufferTextClass(length, b);
    char *text = size ? static_cast<char *>(BufAllocate(static_cast<size_t>(size))) : nullptr;
    if (!text)
        return 1;
    int32_t len = NodeLength(n);
    if (len > 0)
        memcpy(text, n->text, static_cast<size_t>(len));
    BufRelease(n->text);
    n->text = text;
    NodeSetLoaded(n, len, size);
    return 0;
}

// After a loaded line shrank: moves it to the allocation class of its length, keeping the old
// allocation when memory for the smaller one cannot be had.
void Shrink(LineNode *n, Buffer *b) {
    int32_t len = NodeLength(n);
    if (len == 0) {
        BufRelease(n->text);
        n->text = nullptr;
        NodeSetLoaded(n, 0, 0);
        return;
    }
    int32_t size = BufferTextClass(len, b);
    if (size >= NodeAllocation(n))
        return;
    char *text = static_cast<char *>(BufAllocate(static_cast<size_t>(size)));
    if (!text)
        return;
    memcpy(text, n->text, static_cast<size_t>(len));
    BufRelease(n->text);
    n->text = text;
    NodeSetLoaded(n, len, size);
}

// Appends the byte that ends a line in this mode (a carriage return in the carriage-return
// modes, where lines keep it, otherwise a line feed) to a line. 0; 2 the line cannot grow.
int AppendBreak(LineNode *n, Buffer *b) {
    int32_t len = NodeLength(n);
    if (len + 1 > MaxLineLength(b) || LoadLine(n, b) != 0 || Reserve(n, len + 1, b) != 0)
        return 2;
    n->text[len] = (b->lineBreakMode & kBreakCarriageReturn) ? '\r' : '\n';
    NodeSetLoaded(n, len + 1, NodeAllocation(n));
    return 0;
}

// Inserts `count` bytes at the current column (the first line made when there is none).
// 0; 2 no line; 3 the line cannot grow.
int InsertRunBytes(const char *bytes, int32_t count, Buffer *b) {
    if (!b->firstLine) {
        LineNode *n = NewNode(b);
        if (!n) {
            BufReportError("InsertByte");
            return 2;
        }
        LinkAfter(nullptr, n, b);
        SetCurrent(n, 1, 1, b);
    } else if (!b->currentNode) {
        BufReportMessage("InsertByte:", "line orphaned");
        return 2;
    }
    LineNode *n = b->currentNode;
    int32_t len = NodeLength(n);
    if (len + count > MaxLineLength(b)) {
        BufReportMessage("InsertByte:", "line too long");
        return 3;
    }
    if (LoadLine(n, b) != 0)
        return 3;
    if (Reserve(n, len + count, b) != 0) {
        BufReportError("InsertByte");
        return 3;
    }
    int32_t at = ClampColumn(b->currentColumn, len + 1) - 1;
    if (count == 0)
        return 0;
    memmove(n->text + at + count, n->text + at, static_cast<size_t>(len - at));
    memcpy(n->text + at, bytes, static_cast<size_t>(count));
    NodeSetLoaded(n, len + count, NodeAllocation(n));
    b->currentColumn = at + 1 + count;
    TextChanged(b);
    return 0;
}

// Inserts `count` bytes ending in a break at the current column and cuts the line after them:
// the bytes that followed move to a new line, which becomes current at column 1. The line never
// holds more than its final bytes, and nothing changes on failure.
// 0; 3 the line cannot grow; 5 no memory for the aside copy; 6 no node; 7 no memory for the new
// line's text.
int InsertAndCut(const char *bytes, int32_t count, Buffer *b) {
    if (!b->firstLine || !b->currentNode) {
        int rc = InsertRunBytes(bytes, 0, b); // makes the first line, or reports the orphan
        if (rc != 0)
            return 3;
    }
    LineNode *cur = b->currentNode;
    if (LoadLine(cur, b) != 0)
        return 3;
    int32_t len = NodeLength(cur);
    int32_t at = ClampColumn(b->currentColumn, len + 1) - 1;
    int32_t moved = len - at;
    int32_t kept = at + count;
    if (Reserve(cur, kept > len ? kept : len, b) != 0) {
        BufReportError("InsertByte");
        return 3;
    }
    char *aside = nullptr;
    if (moved > 0) {
        aside = static_cast<char *>(BufAllocate(static_cast<size_t>(moved)));
        if (!aside) {
            BufReportError("new line");
            return 5;
        }
        memcpy(aside, cur->text + at, static_cast<size_t>(moved));
    }
    LineNode *n = NewNode(b);
    if (!n) {
        BufRelease(aside);
        BufReportError("InsertLine:");
        return 6;
    }
    if (moved > 0) {
        int32_t size = BufferTextClass(moved, b);
        n->text = static_cast<char *>(BufAllocate(static_cast<size_t>(size)));
        if (!n->text) {
            BufRelease(aside);
            BufReportError("InsertByte");
            return 7; // the node stays unused in the pool
        }
        memcpy(n->text, aside, static_cast<size_t>(moved));
        NodeSetLoaded(n, moved, size);
        BufRelease(aside);
    }
    memcpy(cur->text + at, bytes, static_cast<size_t>(count));
    NodeSetLoaded(cur, kept, NodeAllocation(cur));
    Shrink(cur, b);
    LinkAfter(cur, n, b);
    SetCurrent(n, b->currentLine + 1, 1, b);
    TextChanged(b);
    return 0;
}

// Inserts the bytes at the current position, cutting after each break while the line limit
// allows. 0; 3 a line cannot grow; 5, 6, 7 as InsertAndCut.
int InsertRun(const char *text, int32_t n, bool splits, Buffer *b) {
    int32_t i = 0;
    while (i < n) {
        int32_t j = i;
        bool cut = false;
        while (j < n) {
            bool brk = splits && IsBreak(static_cast<unsigned char>(text[j]), b);
            j++;
            if (brk && (b->firstLine ? b->lineCount : 1) < b->lineLimit) {
                cut = true;
                break;
            }
        }
        int rc = cut ? InsertAndCut(text + i, j - i, b) : InsertRunBytes(text + i, j - i, b);
        if (rc != 0)
            return rc == 2 ? 3 : rc;
        i = j;
    }
    return 0;
}

// Whether inserting these bytes at the current position would make a line longer than the
// buffer can hold; the cuts are counted as InsertRun will make them.
bool InsertTooLong(const char *text, int32_t n, bool splits, Buffer *b) {
    LineNode *cur = b->currentNode;
    int64_t len = cur ? NodeLength(cur) : 0;
    int64_t before = cur ? ClampColumn(b->currentColumn, static_cast<int32_t>(len) + 1) - 1 : 0;
    int64_t after = len - before;
    int64_t run = before;
    int32_t lines = b->firstLine ? b->lineCount : 1;
    int64_t most = MaxLineLength(b);
    for (int32_t i = 0; i < n; i++) {
        run++;
        if (splits && IsBreak(static_cast<unsigned char>(text[i]), b) && lines < b->lineLimit) {
            if (run > most)
                return true;
            run = 0;
            lines++;
        }
    }
    return run + after > most;
}

// Pure fixed-record mode with a full current record: the bytes become a record line of their
// own after it. The line is made before the undo item so the item covers exactly the new line.
int InsertRecordLine(const char *text, int32_t n, Buffer *b) {
    if (b->lineCount >= b->lineLimit) {
        BufReportMessage("Insert:", "line limit reached");
        return 66;
    }
    int32_t size = BufferTextClass(n, b);
    char *bytes = static_cast<char *>(BufAllocate(static_cast<size_t>(size)));
    if (!bytes) {
        BufReportError("BufferInsert");
        return 77;
    }
    memcpy(bytes, text, static_cast<size_t>(n));
    LineNode *cur = b->currentNode;
    int32_t line = b->currentLine, column = b->currentColumn;
    LineNode *node = NewNode(b);
    if (!node) {
        BufRelease(bytes);
        BufReportError("InsertLine:");
        return 66;
    }
    LinkAfter(cur, node, b);
    SetCurrent(node, line + 1, 1, b);
    if (b->undoBuffer && AddUndoItem(kUndoInsert, b) != 0) {
        Unlink(node, b);
        SetCurrent(cur, line, column, b);
        BufRelease(bytes);
        return 4;
    }
    node->text = bytes;
    NodeSetLoaded(node, n, size);
    b->currentColumn = n + 1;
    TextChanged(b);
    if (b->undoBuffer)
        EndUndoFrame(kUndoInsert, nullptr, b);
    return 0;
}

// Line numbers and the byte range [start, end) of each line of a region, clamped to the text.
struct RegionEnds {
    LineNode *first;    // node of the first line
    LineNode *last;     // node of the last line
    int32_t firstStart; // first byte taken from the first line
    int32_t lastEnd;    // bytes taken from the last line end before this index
    int64_t count;      // bytes in the region
};

// The region (l1, c1) to (l2, c2), the last column included; l2 past the text runs to its end.
// Null first node when line l1 does not exist.
RegionEnds MeasureRegion(int32_t l1, int32_t c1, int32_t l2, int32_t c2, Buffer *b) {
    RegionEnds r = {NodeAt(l1, b), nullptr, 0, 0, 0};
    if (!r.first)
        return r;
    if (c1 < 1)
        c1 = 1;
    int32_t len1 = NodeLength(r.first);
    r.firstStart = c1 - 1 < len1 ? c1 - 1 : len1;
    if (l2 == l1) {
        r.last = r.first;
        int32_t end = c2 < len1 ? c2 : len1;
        r.lastEnd = end > r.firstStart ? end : r.firstStart;
        r.count = r.lastEnd - r.firstStart;
        return r;
    }
    r.count = len1 - r.firstStart;
    LineNode *n = r.first;
    int32_t line = l1;
    while (line < l2 && n->next) {
        if (n != r.first)
            r.count += NodeLength(n); // a whole line between the ends
        n = n->next;
        line++;
    }
    r.last = n;
    int32_t lenLast = NodeLength(n);
    if (line < l2 || c2 > lenLast)
        r.lastEnd = lenLast;
    else
        r.lastEnd = c2 < 0 ? 0 : c2;
    r.count += r.lastEnd;
    return r;
}

} // namespace

// ---- library state ---------------------------------------------------------------------

void *BufAllocate(size_t size) { return gLib.allocate(size); }

void BufRelease(void *memory) {
    if (memory)
        gLib.release(memory);
}

void BufReportError(const char *text) {
    snprintf(gLib.messageText, sizeof gLib.messageText, "%s", text);
    if (gLib.error)
        gLib.error(gLib.messageText);
}

void BufReportMessage(const char *prefix, const char *reason) {
    size_t n = strlen(prefix);
    const char *gap = (n > 0 && prefix[n - 1] == ' ') ? "" : " ";
    snprintf(gLib.messageText, sizeof gLib.messageText, "%s%s%s", prefix, gap, reason);
    if (gLib.message)
        gLib.message(gLib.messageText);
}

void BufReportNote(const char *text) {
    snprintf(gLib.messageText, sizeof gLib.messageText, "%s", text);
    if (gLib.message)
        gLib.message(gLib.messageText);
}

const char *BufferMessageText() { return gLib.messageText; }

int BufferProlog(BufAllocFn allocate, BufReleaseFn release, BufReportFn error,
                 BufReportFn message) {
    if (!allocate || !release) {
        if (error)
            error("Buffer Prolog: no malloc !");
        return 1;
    }
    gLib.allocate = allocate;
    gLib.release = release;
    gLib.error = error;
    gLib.message = message;
    gLib.messageText[0] = 0;
    // A file over the size limit (ulimit -f) must fail its write with EFBIG, which the writer
    // reports and recovers from, not end the process and the user's work with it.
    signal(SIGXFSZ, SIG_IGN);
    return 0;
}

// ---- buffers ---------------------------------------------------------------------------

static const BufferOps kBufferOps = {
    BufferGoto,    BufferSearch, StartUndoFrame, BufferInsert,      DelRegion,
    nullptr,       ReadBuffer,   WriteBuffer,    CurrentLineNumber, CurrentLineLength,
    CurrentColumn, Undo,         LockLine,
};

Buffer *BufferCreate(const char *name, int creationFlags) {
    if (!name)
        name = "";
    if (strlen(name) >= static_cast<size_t>(kBufferNameSize))
        return nullptr;
    Buffer *b = static_cast<Buffer *>(BufAllocate(sizeof(Buffer)));
    if (!b) {
        BufReportError("BufferCreate");
        return nullptr;
    }
    new (b) Buffer{};
    b->magic = kBufferMagic;
    memcpy(b->name, name, strlen(name) + 1);
    uint16_t flags = 0;
    if (creationFlags & kCreateReadOnly)
        flags |= kBufReadOnly;
    if (creationFlags & kCreateNoCopy)
        flags |= kBufNoCopy;
    if (creationFlags & kCreateBackup)
        flags |= kBufBackup;
    if (creationFlags & kCreateProgress)
        flags |= kBufProgress;
    if (creationFlags & kCreateDetached)
        flags |= kBufDetached;
    if (!(creationFlags & (kCreateReadOnly | kCreateNoCopy | kCreateDetached)))
        flags |= kBufTempCopy;
    // Nothing will ever be read into a detached or unnamed buffer: it is in memory from the start.
    if ((creationFlags & kCreateDetached) || !name[0])
        flags |= kBufInMemory | kBufNewFile;
    b->flags = flags;
    b->fileTime = -1;
    b->currentLine = 1;
    b->currentColumn = 1;
    b->markLine = b->markEndLine = b->markColumn = b->markEndColumn = -1;
    b->lineBreakMode = kBreakFixedRecords;
    b->recordLength = kDefaultRecordLength;
    b->fileStart = 0;
    b->minimumAllocation = kMinimumAllocation;
    b->maximumAllocation = kMaximumAllocation;
    b->ops = &kBufferOps;
    b->lineLimit = kDefaultLineLimit;
    NewTextVersion(b);
    if (creationFlags & kCreateUndo) {
        b->undoBuffer = MakeUndoBuffer();
        if (!b->undoBuffer)
            BufReportMessage("Cant make undo buffer", name);
    }
    return b;
}

void BufferFree(Buffer *b) {
    if (!b)
        return;
    BufferFree(b->undoBuffer);
    if (b->flags & kBufUndo)
        ReleaseUndoTexts(b);
    BufReleaseLines(b);
    CloseBufferFile(b);
    b->magic = 0;
    BufRelease(b);
}

void BufReleaseLines(Buffer *b) {
    for (LineNode *n = b->firstLine; n; n = n->next)
        ReleaseNodeText(n);
    for (NodePoolBlock *block = b->nodePool; block;) {
        NodePoolBlock *older = block->next;
        BufRelease(block);
        block = older;
    }
    b->nodePool = nullptr;
    b->firstLine = b->lastLine = nullptr;
    b->lineCount = 0;
    SetCurrent(nullptr, 1, 1, b);
    NewTextVersion(b);
}

LineNode *BufAppendNode(Buffer *b) {
    LineNode *n = NewNode(b);
    if (n)
        LinkAfter(b->lastLine, n, b);
    return n;
}

int32_t BufferTextClass(int32_t n, const Buffer *b) {
    int32_t most = EffectiveMaximum(b);
    if (n > most)
        return 0;
    if (n <= b->minimumAllocation)
        return b->minimumAllocation < most ? b->minimumAllocation : most;
    int32_t power = 1;
    while (power <= n / 2)
        power <<= 1;
    int64_t size = 2 * static_cast<int64_t>(power);
    return size > most ? most : static_cast<int32_t>(size);
}

void FreeTextRecord(TextRecord *record) {
    if (!record)
        return;
    BufRelease(record->text);
    record->text = nullptr;
    record->length = 0;
}

int BufSetLineText(LineNode *node, const void *bytes, int32_t length, Buffer *b) {
    char *text = nullptr;
    int32_t size = 0;
    if (length > 0) {
        size = BufferTextClass(length, b);
        text = size ? static_cast<char *>(BufAllocate(static_cast<size_t>(size))) : nullptr;
        if (!text)
            return 1;
        memcpy(text, bytes, static_cast<size_t>(length));
    }
    ReleaseNodeText(node);
    node->text = text;
    NodeSetLoaded(node, length, size);
    TextChanged(b);
    return 0;
}

// ---- position --------------------------------------------------------------------------

int BufferGoto(int32_t line, int32_t column, Buffer *b) {
    if (!b)
        return 1;
    if (line < 1)
        line = 1;
    if (!b->firstLine) {
        SetCurrent(nullptr, 1, 1, b);
        return 1;
    }
    if (line > b->lineCount)
        line = b->lineCount;
    LineNode *n = NodeAt(line, b);
    if (IsEmptyLast(n, b) && n->previous) {
        n = n->previous;
        line--;
        SetCurrent(n, line, ClampColumn(NodeLength(n), NodeLength(n)), b);
        return 0;
    }
    SetCurrent(n, line, ClampColumn(column, NodeLength(n)), b);
    return 0;
}

int BufSeek(int32_t line, int32_t column, Buffer *b) {
    if (!b->firstLine) {
        if (line != 1)
            return 1;
        SetCurrent(nullptr, 1, 1, b);
        return 0;
    }
    LineNode *n = NodeAt(line, b);
    if (!n)
        return 1;
    SetCurrent(n, line, ClampColumn(column, NodeLength(n) + 1), b);
    return 0;
}

const char *LockLine(Buffer *b) {
    if (!b) {
        BufReportError("No buffer or file for lock line !");
        return nullptr;
    }
    if (!b->currentNode)
        return nullptr;
    return NodeBytes(b->currentNode, b);
}

int32_t CurrentLineNumber(const Buffer *b) { return b ? b->currentLine : -1; }

int32_t CurrentColumn(const Buffer *b) { return b ? b->currentColumn : -1; }

int32_t CurrentLineLength(const Buffer *b) {
    return b && b->currentNode ? NodeLength(b->currentNode) : 0;
}

// ---- byte and line editing -------------------------------------------------------------

int InsertByte(int byte, Buffer *b) {
    if (!b)
        return 1;
    if (b->flags & kBufReadOnly)
        return -1;
    char c = static_cast<char>(byte);
    return InsertRunBytes(&c, 1, b);
}

int DeleteByte(Buffer *b) {
    if (!b)
        return 1;
    if (b->flags & kBufReadOnly)
        return -1;
    LineNode *n = b->currentNode;
    if (!n)
        return 2;
    int32_t len = NodeLength(n);
    int32_t column = b->currentColumn < 1 ? 1 : b->currentColumn;
    if (len == 0 || column > len)
        return 3;
    int rc = LoadLine(n, b);
    if (rc != 0)
        return rc;
    memmove(n->text + column - 1, n->text + column, static_cast<size_t>(len - column));
    NodeSetLoaded(n, len - 1, NodeAllocation(n));
    Shrink(n, b);
    if (column > len - 1 && column > 1)
        column--;
    b->currentColumn = column;
    TextChanged(b);
    return 0;
}

int InsertLine(int after, Buffer *b) {
    if (!b)
        return 1;
    if (b->flags & kBufReadOnly)
        return -1;
    // In a line-break mode a line is text cut after a break, so the new line holds just its
    // break: a node without one in the middle of the chain would be no line of the text, and
    // the line numbers that undo items record could not be found again once it went.
    const bool splits = SplitsLines(b);
    if (!b->firstLine) {
        LineNode *line = NewNode(b);
        LineNode *last = line ? NewNode(b) : nullptr;
        if (!last || (splits && AppendBreak(line, b) != 0)) {
            BufReportError("InsertLine:");
            return 2;
        }
        LinkAfter(nullptr, line, b);
        LinkAfter(line, last, b);
        SetCurrent(line, 1, 1, b);
        TextChanged(b);
        return 0;
    }
    LineNode *cur = b->currentNode;
    if (!cur) {
        BufReportMessage("InsertLine:", "line orphaned");
        return 2;
    }
    // After a last line without its break, that line takes the break and the new line is the
    // empty last line that follows it.
    const bool endLast =
        splits && after && !cur->next && !IsEmptyLast(cur, b) &&
        (LastByte(cur, b) < 0 || !IsBreak(static_cast<unsigned char>(LastByte(cur, b)), b));
    LineNode *n = NewNode(b);
    if (!n || (splits && AppendBreak(endLast ? cur : n, b) != 0)) {
        BufReportError("InsertLine:");
        return 2;
    }
    if (after && !IsEmptyLast(cur, b)) {
        LinkAfter(cur, n, b);
        SetCurrent(n, b->currentLine + 1, 1, b);
    } else {
        LinkAfter(cur->previous, n, b);
        SetCurrent(n, b->currentLine, 1, b);
    }
    TextChanged(b);
    return 0;
}

int DeleteLine(Buffer *b) {
    if (!b)
        return 1;
    if (b->flags & kBufReadOnly)
        return -1;
    LineNode *n = b->currentNode;
    if (!n)
        return 2;
    LineNode *next = n->next, *previous = n->previous;
    int32_t line = b->currentLine;
    Unlink(n, b);
    ReleaseNodeText(n);
    if (next)
        SetCurrent(next, line, 1, b);
    else if (previous)
        SetCurrent(previous, line - 1, 1, b);
    else
        SetCurrent(nullptr, 1, 1, b);
    TextChanged(b);
    return 0;
}

// ---- text and regions ------------------------------------------------------------------

int BufInsertText(const char *text, int32_t n, Buffer *b) {
    bool fixed = b->lineBreakMode == kBreakFixedRecords;
    bool splits = SplitsLines(b);
    LineNode *cur = b->currentNode;
    if (cur)
        b->currentColumn = ClampColumn(b->currentColumn, InsertEnd(cur, b));
    if (fixed) {
        int32_t len = cur ? NodeLength(cur) : 0;
        int32_t record = b->recordLength < 1 ? 1 : b->recordLength;
        if (len < record && len + n > record) {
            BufReportMessage("Insert:", "Wrong length for fixed record");
            return 88;
        }
        if (cur && len >= record) {
            if (n > MaxLineLength(b)) {
                BufReportMessage("InsertByte:", "line too long");
                return 3;
            }
            return InsertRecordLine(text, n, b);
        }
    }
    if (InsertTooLong(text, n, splits, b)) {
        BufReportMessage("InsertByte:", "line too long");
        return 3;
    }
    // The item must exist before it is ended: ending without it would end the previous item.
    if (b->undoBuffer && AddUndoItem(kUndoInsert, b) != 0)
        return 4;
    int rc = InsertRun(text, n, splits, b);
    if (b->undoBuffer)
        EndUndoFrame(kUndoInsert, nullptr, b);
    return rc;
}

int BufferInsert(int32_t line, int32_t column, const char *text, int32_t length, Buffer *b) {
    if (!b)
        return 1;
    if (b->flags & kBufReadOnly)
        return -1;
    if (length == 0)
        return 0;
    if (!text || length < 0)
        return 1;
    // A lone break into a buffer that never had a line opens its empty last line (buffer.h).
    if (!b->firstLine && length == 1 && SplitsLines(b) &&
        IsBreak(static_cast<unsigned char>(text[0]), b) && b->lineLimit > 1) {
        LineNode *n = NewNode(b);
        if (!n) {
            BufReportError("InsertLine:");
            return 6;
        }
        LinkAfter(nullptr, n, b);
        SetCurrent(n, 1, 1, b);
        return 0;
    }
    if (b->firstLine && (!b->currentNode || line != b->currentLine || column != b->currentColumn)) {
        BufferGoto(line, column, b);
        LineNode *cur = b->currentNode;
        if (line > b->currentLine) {
            // Past the text: append at the empty last line, which BufferGoto skips, or at the
            // end of the last line.
            if (cur->next && IsEmptyLast(cur->next, b)) {
                SetCurrent(cur->next, b->currentLine + 1, 1, b);
            } else if (!cur->next && SplitsLines(b) && b->lineCount < b->lineLimit &&
                       InsertEnd(cur, b) == NodeLength(cur)) {
                LineNode *n = NewNode(b);
                if (!n) {
                    BufReportError("InsertLine:");
                    return 6;
                }
                LinkAfter(cur, n, b);
                SetCurrent(n, b->currentLine + 1, 1, b);
            } else {
                b->currentColumn = InsertEnd(cur, b);
            }
        } else if (b->currentColumn < column) {
            b->currentColumn = InsertEnd(cur, b);
        }
    }
    return BufInsertText(text, length, b);
}

TextRecord *BufferRegion(int32_t firstLine, int32_t firstColumn, int32_t lastLine,
                         int32_t lastColumn, TextRecord *record, Buffer *b) {
    if (!b || !record)
        return nullptr;
    if (!NodeAt(firstLine, b)) {
        BufReportMessage("BufferRegion:", "region start not in buffer");
        return nullptr;
    }
    if (lastLine < firstLine) {
        BufReportMessage("BufferRegion:", "Must have region in order");
        return nullptr;
    }
    RegionEnds r = MeasureRegion(firstLine, firstColumn, lastLine, lastColumn, b);
    if (r.count < 1)
        return nullptr;
    char *text = static_cast<char *>(BufAllocate(static_cast<size_t>(r.count) + 4));
    if (!text) {
        BufReportError("BufferRegion");
        return nullptr;
    }
    char *out = text;
    for (LineNode *n = r.first;; n = n->next) {
        const char *bytes = NodeBytes(n, b);
        if (!bytes) {
            BufRelease(text);
            return nullptr;
        }
        int32_t from = n == r.first ? r.firstStart : 0;
        int32_t to = n == r.last ? r.lastEnd : NodeLength(n);
        memcpy(out, bytes + from, static_cast<size_t>(to - from));
        out += to - from;
        if (n == r.last)
            break;
    }
    *out = 0;
    FreeTextRecord(record);
    record->text = text;
    record->length = static_cast<int32_t>(r.count);
    return record;
}

int DelRegion(int32_t line1, int32_t column1, int32_t line2, int32_t column2, Buffer *b) {
    if (!b)
        return 1;
    if (b->flags & kBufReadOnly)
        return -1;
    if (line2 < line1 || (line2 == line1 && column2 < column1)) {
        int32_t t = line1;
        line1 = line2;
        line2 = t;
        t = column1;
        column1 = column2;
        column2 = t;
    }
    if (column1 < 1)
        column1 = 1;
    if (!NodeAt(line1, b)) {
        BufReportMessage("Delete", "region start not in buffer");
        return 1;
    }
    // A region that starts past the end of a line starts at the next one: that is where the
    // undo item must put the text back (re-inserted past a line's end it would land before
    // that line's break).
    for (LineNode *n = NodeAt(line1, b); line1 < line2 && n && column1 > NodeLength(n);
         n = n->next) {
        line1++;
        column1 = 1;
    }
    if (line2 > b->lineCount) {
        BufReportMessage("DelReg:", "no next line");
        return 3;
    }
    RegionEnds r = MeasureRegion(line1, column1, line2, column2, b);
    LineNode *first = r.first, *last = r.last, *after = last->next;
    if (r.count < 1) {
        SetCurrent(first, line1, ClampColumn(column1, InsertEnd(first, b)), b);
        return 0;
    }
    if (LoadLine(first, b) != 0 || LoadLine(last, b) != 0) {
        BufReportMessage("DelRegion", "no line");
        return 2;
    }
    bool splits = SplitsLines(b);
    // What stays: the first line's bytes before the region and the last line's bytes after it.
    // In a line-break mode they form one line, which joins the following line when the region
    // took the break that ended it. Without line breaks the two ends stay separate lines.
    int32_t keepHead = r.firstStart;
    int32_t keepTail = NodeLength(last) - r.lastEnd;
    bool merge = splits || first == last;
    int32_t merged = merge ? keepHead + keepTail : keepHead;
    bool join = false;
    if (splits && merged > 0 && after) {
        unsigned char end = static_cast<unsigned char>(
            keepTail > 0 ? last->text[NodeLength(last) - 1] : first->text[keepHead - 1]);
        join = !IsBreak(end, b);
    }
    if (join && LoadLine(after, b) != 0) {
        BufReportMessage("DelRegion", "no line");
        return 2;
    }
    int32_t total = merged + (join ? NodeLength(after) : 0);
    if (total > MaxLineLength(b)) {
        BufReportMessage("DelReg:", "line too long");
        return 10;
    }
    char *fresh = nullptr;
    int32_t freshSize = 0;
    if (total > NodeAllocation(first)) {
        freshSize = BufferTextClass(total, b);
        fresh = static_cast<char *>(BufAllocate(static_cast<size_t>(freshSize)));
        if (!fresh) {
            BufReportError("Join Lines");
            return 8;
        }
    }
    if (b->undoBuffer) {
        TextRecord saved = {0, nullptr}; // fresh for each item: the item takes its text
        BufSeek(line1, column1, b);      // the item starts where the region does
        if (!BufferRegion(line1, column1, line2, column2, &saved, b) ||
            AddUndoItem(kUndoDelete, b) != 0) {
            FreeTextRecord(&saved);
            BufRelease(fresh);
            return 4;
        }
        if (EndUndoFrame(kUndoDelete, &saved, b) != 0)
            FreeTextRecord(&saved);
    }
    // Everything that can fail has been done; from here the edit completes.
    char *target = fresh ? fresh : first->text;
    if (merge) {
        if (keepTail > 0)
            memmove(target + keepHead, last->text + r.lastEnd, static_cast<size_t>(keepTail));
        if (fresh && keepHead > 0)
            memcpy(fresh, first->text, static_cast<size_t>(keepHead));
    } else if (fresh && keepHead > 0) {
        memcpy(fresh, first->text, static_cast<size_t>(keepHead));
    }
    if (join && NodeLength(after) > 0)
        memcpy(target + merged, after->text, static_cast<size_t>(NodeLength(after)));
    LineNode *stop = join ? after->next : (merge ? after : last);
    for (LineNode *n = first->next; n != stop;) {
        LineNode *next = n->next;
        Unlink(n, b);
        ReleaseNodeText(n);
        n = next;
    }
    if (fresh) {
        BufRelease(first->text);
        first->text = fresh;
        NodeSetLoaded(first, total, freshSize);
    } else {
        NodeSetLoaded(first, total, NodeAllocation(first));
    }
    Shrink(first, b);
    if (!merge) { // separate records: the last keeps the bytes after the region
        if (keepTail > 0)
            memmove(last->text, last->text + r.lastEnd, static_cast<size_t>(keepTail));
        NodeSetLoaded(last, keepTail, NodeAllocation(last));
        Shrink(last, b);
        if (keepTail == 0) {
            Unlink(last, b);
            ReleaseNodeText(last);
        }
    }
    // An emptied first line goes, unless it is all that is left at the end: it then stays as
    // the empty last line (or the buffer's one empty line).
    TextChanged(b);
    if (total == 0 && first->next) {
        LineNode *next = first->next;
        Unlink(first, b);
        ReleaseNodeText(first);
        SetCurrent(next, line1, 1, b);
        return 0;
    }
    if (total == 0 && !splits && first->previous) {
        LineNode *previous = first->previous;
        Unlink(first, b);
        ReleaseNodeText(first);
        SetCurrent(previous, line1 - 1, 1, b);
        return 0;
    }
    SetCurrent(first, line1, ClampColumn(column1, InsertEnd(first, b)), b);
    return 0;
}

static unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

int BufferSearch(const char *text, int caseSensitive, Buffer *b) {
    if (!b)
        return 1;
    if (!text || !text[0])
        return 2;
    if (!b->currentNode)
        return 3;
    int32_t want = static_cast<int32_t>(strlen(text));
    LineNode *n = b->currentNode;
    int32_t line = b->currentLine;
    int32_t column = b->currentColumn < 1 ? 1 : b->currentColumn;
    for (; n; n = n->next, line++, column = 1) {
        int32_t len = NodeLength(n);
        if (len - (column - 1) < want)
            continue;
        const char *bytes = NodeBytes(n, b);
        if (!bytes)
            continue;
        for (int32_t at = column - 1; at + want <= len; at++) {
            int32_t k = 0;
            if (caseSensitive) {
                while (k < want && bytes[at + k] == text[k])
                    k++;
            } else {
                while (k < want && Fold(static_cast<unsigned char>(bytes[at + k])) ==
                                       Fold(static_cast<unsigned char>(text[k])))
                    k++;
            }
            if (k == want) {
                SetCurrent(n, line, at + 1, b);
                return 0;
            }
        }
    }
    return 5;
}
