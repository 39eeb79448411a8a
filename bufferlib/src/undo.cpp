// Undo: every insertion and deletion of an owner buffer is recorded as an item in a second
// buffer, its undo buffer, and Undo reverses the edits back to the latest frame start. Items are
// appended before the undo buffer's empty last line; the latest item is the last full record.
#include "buffer.h"

#include <climits>
#include <cstring>

namespace {

int32_t Length(const LineNode *n) { return static_cast<int32_t>(n->lengthFlags & kNodeLengthMask); }

bool HoldsItem(const LineNode *n) {
    return Length(n) >= kUndoRecordLength && !(n->lengthFlags & kNodeInFile) && n->text;
}

UndoItem ReadItem(const LineNode *n) {
    UndoItem item;
    memcpy(&item, n->text, sizeof item);
    return item;
}

void WriteItem(const UndoItem &item, LineNode *n) { memcpy(n->text, &item, sizeof item); }

// The latest item, stepping back from the end over the empty last line; its line number goes
// to *line. Null when the undo buffer holds no item.
LineNode *LatestItem(Buffer *u, int32_t *line) {
    LineNode *n = u->lastLine;
    int32_t at = u->lineCount;
    while (n && Length(n) < kUndoRecordLength && n->previous) {
        n = n->previous;
        at--;
    }
    if (!n || Length(n) < kUndoRecordLength)
        return nullptr;
    *line = at;
    return n;
}

// Appends an item line at the end of the undo buffer. 0; 3 no line; 4 no memory for the record.
int AppendItem(int32_t code, Buffer *owner) {
    Buffer *u = owner->undoBuffer;
    u->currentNode = u->lastLine;
    u->currentLine = u->lineCount > 0 ? u->lineCount : 1;
    u->currentColumn = 1;
    if (InsertLine(1, u) != 0)
        return 3;
    UndoItem item = {code, owner->currentLine, owner->currentColumn, 0, 0, 0, 0, 0, nullptr};
    if (BufSetLineText(u->currentNode, &item, kUndoRecordLength, u) != 0) {
        DeleteLine(u);
        return 4;
    }
    return 0;
}

} // namespace

Buffer *MakeUndoBuffer() {
    Buffer *u = BufferCreate("Undo", kCreateDetached);
    if (!u)
        return nullptr;
    u->flags |= kBufUndo | kBufInMemory | kBufNewFile;
    u->lineBreakMode = kBreakFixedRecords;
    u->recordLength = kUndoRecordLength;
    u->fileStart = 0;
    u->minimumAllocation = kUndoRecordLength;
    u->lineLimit = kDefaultLineLimit;
    return u;
}

void ReleaseUndoTexts(Buffer *u) {
    for (LineNode *n = u->firstLine; n; n = n->next) {
        if (!HoldsItem(n))
            continue;
        UndoItem item = ReadItem(n);
        BufRelease(item.savedText);
        item.savedText = nullptr;
        WriteItem(item, n);
    }
}

int StartUndoFrame(Buffer *owner) {
    if (!owner)
        return 1;
    if (!owner->undoBuffer)
        return 2;
    int rc = AppendItem(kUndoFrame, owner);
    if (rc == 3)
        BufReportMessage("Start Undo Frame:", "Can't insert frame header");
    else if (rc == 4)
        BufReportMessage("Start Undo Frame:", "Can't insert frame data");
    return rc;
}

int AddUndoItem(int32_t code, Buffer *owner) {
    if (!owner)
        return 1;
    if (!owner->undoBuffer)
        return 2;
    int rc = AppendItem(code, owner);
    if (rc == 3)
        BufReportMessage("Add Undo item:", "Can't insert Line");
    else if (rc == 4)
        BufReportMessage("Add undo item:", "Can't insert data");
    return rc;
}

int EndUndoFrame(int32_t code, TextRecord *record, Buffer *owner) {
    if (!owner)
        return 1;
    Buffer *u = owner->undoBuffer;
    if (!u)
        return 2;
    int32_t line = 0;
    LineNode *n = LatestItem(u, &line);
    if (!n || !HoldsItem(n)) {
        BufReportMessage("End Undo Frame:", "Missing item");
        return 3;
    }
    UndoItem item = ReadItem(n);
    if (item.code != code) {
        BufReportMessage("End Undo Frame:", "Op difference");
        return 4;
    }
    item.endLine = owner->currentLine;
    item.endColumn = owner->currentColumn;
    if (record) {
        BufRelease(item.savedText); // an item ended twice keeps only the latest text
        item.savedText = record->text;
        item.savedLength = record->text ? record->length : 0;
        record->text = nullptr;
        record->length = 0;
    }
    WriteItem(item, n);
    u->currentNode = n;
    u->currentLine = line;
    u->currentColumn = 1;
    return 0;
}

int DeleteUndoInfo(Buffer *u) {
    if (!u)
        return 1;
    if (!(u->flags & kBufUndo)) {
        BufReportMessage("DeleteUndoInfo:", "Not undo buffer");
        return 1;
    }
    LineNode *n = u->currentNode;
    if (!n || !HoldsItem(n))
        return 1;
    UndoItem item = ReadItem(n);
    BufRelease(item.savedText);
    item.savedText = nullptr;
    item.savedLength = 0;
    WriteItem(item, n);
    return 0;
}

int Undo(TextRecord *firstLine, int *lastLine, Buffer *owner) {
    if (!owner)
        return -1;
    Buffer *u = owner->undoBuffer;
    if (!u)
        return -2;
    int32_t line = 0;
    if (!LatestItem(u, &line))
        return -3;
    int32_t lowest = INT32_MAX, highest = 0;
    int status = 0;
    for (;;) {
        LineNode *n = LatestItem(u, &line);
        if (!n) { // no frame start: everything recorded has been undone
            lowest = highest = 0;
            status = 0;
            break;
        }
        u->currentNode = n;
        u->currentLine = line;
        u->currentColumn = 1;
        const char *bytes = LockLine(u);
        if (!bytes || !HoldsItem(n))
            return -5;
        UndoItem item;
        memcpy(&item, bytes, sizeof item);
        if (BufSeek(item.startLine, item.startColumn, owner) != 0)
            return -6;
        owner->undoBuffer = nullptr; // the reversing edit must not be recorded
        int rc = 0;
        if (item.code == kUndoInsert) {
            // The inserted text ends one column before the end position, or at the end of the
            // previous line when the insertion ended at column 1 (it ended with a line break).
            int32_t endLine = item.endLine, endColumn = item.endColumn - 1;
            if (item.endColumn <= 1) {
                endLine = item.endLine - 1;
                endColumn = kEndOfLineColumn;
            }
            if (endLine > item.startLine ||
                (endLine == item.startLine && endColumn >= item.startColumn))
                rc = DelRegion(item.startLine, item.startColumn, endLine, endColumn, owner);
            lowest = item.startLine < lowest ? item.startLine : lowest;
            highest = item.endLine > highest ? item.endLine : highest;
        } else if (item.code == kUndoDelete) {
            if (!item.savedText || (owner->firstLine && !owner->currentNode)) {
                owner->undoBuffer = u;
                BufReportMessage("Undo:", "No undo information, undo delete");
                return -7;
            }
            rc = BufInsertText(item.savedText, item.savedLength, owner);
            int32_t touched[3] = {item.startLine, item.endLine, owner->currentLine};
            for (int32_t t : touched) {
                lowest = t < lowest ? t : lowest;
                highest = t > highest ? t : highest;
            }
        } else if (item.code != kUndoFrame) {
            owner->undoBuffer = u;
            BufReportMessage("UNDO", "Corrupt undo buffer");
            return -8;
        }
        owner->undoBuffer = u;
        if (rc != 0)
            return -rc; // the failing item and the rest of its frame stay recorded
        status = rc;
        DeleteUndoInfo(u);
        DeleteLine(u);
        if (item.code == kUndoFrame)
            break;
    }
    if (highest == 0)
        lowest = 0;
    if (firstLine)
        firstLine->length = lowest;
    if (lastLine)
        *lastLine = highest;
    return -status;
}
