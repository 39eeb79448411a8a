// The text-buffer library: a text as a doubly linked chain of line nodes with a current position,
// byte, line, text and region editing, and undo frames recorded in a second buffer. Start reading
// at `Buffer`; the line operations are in buffer.cpp, undo in undo.cpp, and the file side (lines
// still on disk, ReadBuffer, WriteBuffer) in bufferfile.cpp, over the file helpers of filesys.h
// (the buffered FileStream, copies, temporary names, paths).
//
// Result codes: 0 is success; each operation lists its failure codes; -1 is a read-only buffer.
// Every record and every text comes from the allocator pair given to BufferProlog.
//
// The empty last line. In a line-break mode the chain is the text cut after every line break:
// every line but the last ends with its break, and the last node holds the text after the final
// break, so when the text ends with a break the chain ends with an empty node, the empty last
// line, where appended text goes. Editing keeps this shape: a break at the end of the text opens
// the empty last line, a deletion that empties the last line keeps its node as the empty last line,
// and a deletion that empties the whole buffer leaves one empty line. Two exceptions are kept on
// purpose:
//  - A buffer that has never had a line takes a lone line break (BufferInsert of exactly one
//    break byte) as the opening of its empty last line and stores nothing. That is how an owner
//    prepares a buffer for appending: a list box inserts a line feed at (1, 1), so its first item
//    becomes line 1 and a list of 16 registers holds exactly 16 item lines; a new program's end
//    marker, appended there, is its last line.
//  - A line limit stops the cutting: a break typed while the buffer holds as many lines as its
//    limit stays inside its line and no empty last line is made (an edit box, limit 1, holds one
//    line with its line feed).
// BufferGoto never rests on the empty last line when a line precedes it; BufferInsert asked for a
// line past the text appends at the empty last line (making one after a final break that has
// none). ReadBuffer gives a file the same shape: a final break is followed by the empty last line
// (while the line limit allows), and an empty file is one empty line.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

struct Buffer;
struct FileStream; // the buffered file of a buffer's lines on disk (bufferfile.cpp)

// ---- capacities and constants ------------------------------------------------------------

constexpr int32_t kBufferMagic = 5195;        // first field of every Buffer
constexpr int kBufferNameSize = PATH_MAX;     // file name and its NUL; a longer name is refused
constexpr int kMessageTextSize = 512;         // the shared message text, NUL included
constexpr int32_t kMaxLineLength = 16383;     // the 14-bit length of a line node
constexpr int32_t kDefaultLineLimit = 16383;  // most lines of a new buffer
constexpr int32_t kDefaultRecordLength = 16;  // fixed record length of a new buffer
constexpr int32_t kMinimumAllocation = 256;   // smallest text allocation of a line
constexpr int32_t kMaximumAllocation = 32752; // largest text allocation of a line (0x7FF0)
constexpr size_t kNodePoolBlockBytes = 4096;  // node space of one node pool block
constexpr int32_t kEndOfLineColumn = 16383;   // a column past the end of every line

// Buffer flags (Buffer::flags).
constexpr uint16_t kBufModified = 0x1;
constexpr uint16_t kBufNewFile = 0x2;  // no file behind the buffer
constexpr uint16_t kBufInMemory = 0x4; // read in, or created without a file to read
constexpr uint16_t kBufReadOnly = 0x8;
constexpr uint16_t kBufUndo = 0x10;      // this is an undo buffer
constexpr uint16_t kBufNoCopy = 0x20;    // no working copy
constexpr uint16_t kBufTempCopy = 0x40;  // work on a temporary copy of the file
constexpr uint16_t kBufBackup = 0x80;    // make a backup when writing
constexpr uint16_t kBufProgress = 0x100; // write progress messages
constexpr uint16_t kBufDetached = 0x200; // the file is never read or written

// BufferCreate creation flags.
constexpr int kCreateReadOnly = 1;
constexpr int kCreateNoCopy = 2;
constexpr int kCreateBackup = 4;
constexpr int kCreateUndo = 8;
constexpr int kCreateProgress = 0x10;
constexpr int kCreateDetached = 0x20;

// Line-break modes (Buffer::lineBreakMode).
constexpr int32_t kBreakLineFeed = 0x1;       // a line feed ends a line
constexpr int32_t kBreakCarriageReturn = 0x2; // a carriage return ends a line
constexpr int32_t kBreakFixedRecords = 0x10;  // fixed-length records

// ---- records ------------------------------------------------------------------------------

// Line node. The layout of four 32-bit words is widened for 64-bit: the same four fields in the
// same order, the links and the text pointer (or file offset) at pointer size. The length word
// keeps the length in its low 14 bits and the in-file flag in bit 31; bits 14 to 28 hold the
// size of the line's text allocation, so a line can keep its allocation while it grows within
// it without a fifth field.
struct LineNode {
    uint32_t lengthFlags; // bits 0-13 length, 14-28 allocation size, 30 CR end, 31 in the file
    LineNode *previous;   // previous line, null for the first
    LineNode *next;       // next line, null for the last
    union {
        char *text;         // the line's bytes (not NUL-terminated), null when nothing allocated
        int64_t fileOffset; // with bit 31: the line's byte offset in the file
    };
};

constexpr uint32_t kNodeLengthMask = 0x3FFF;
constexpr int kNodeAllocationShift = 14;
constexpr uint32_t kNodeAllocationMask = 0x7FFF; // after the shift
constexpr uint32_t kNodeInFile = 0x80000000u;
// With kNodeInFile: the line's last byte in the file is a carriage return, so writing in
// carriage-return and line-feed mode follows it with a line feed without reading the file again.
constexpr uint32_t kNodeEndsWithCr = 0x40000000u;

// One block of the node pool; nodes are carved from the end of the newest block.
struct NodePoolBlock {
    NodePoolBlock *next; // the block made before this one
    size_t used;         // bytes handed out from the end of `nodes`
    alignas(LineNode) unsigned char nodes[kNodePoolBlockBytes];
};

// A copy of a piece of text: the library allocates `text` (NUL-terminated, `length` bytes
// before the NUL) and the holder releases it with FreeTextRecord.
struct TextRecord {
    int32_t length; // bytes of text; Undo stores the first touched line here
    char *text;     // the bytes and a NUL, or null
};

// Operation table of a buffer, in this order.
struct BufferOps {
    int (*bufferGoto)(int32_t line, int32_t column, Buffer *b);
    int (*bufferSearch)(const char *text, int caseSensitive, Buffer *b);
    int (*startUndoFrame)(Buffer *owner);
    int (*bufferInsert)(int32_t line, int32_t column, const char *text, int32_t length, Buffer *b);
    int (*delRegion)(int32_t line1, int32_t column1, int32_t line2, int32_t column2, Buffer *b);
    int (*unused)(Buffer *b); // null
    int (*readBuffer)(Buffer *b);
    int (*writeBuffer)(Buffer *b);
    int32_t (*currentLineNumber)(const Buffer *b);
    int32_t (*currentLineLength)(const Buffer *b);
    int32_t (*currentColumn)(const Buffer *b);
    int (*undo)(TextRecord *firstLine, int *lastLine, Buffer *owner);
    const char *(*lockLine)(Buffer *b);
};

// A text. The prescribed fields come first, in their order; the three after `currentNode` are the
// library's own bookkeeping: the chain's end and length, so appending and positioning near the
// end do not walk the chain, and the text version, by which an owner knows that what it derived
// from the text (a program's label index) still holds.
struct Buffer {
    int32_t magic;              // kBufferMagic, by which owners recognise a Buffer
    uint16_t flags;             // kBuf... flags
    FileStream *fileStream;     // the open file of the lines still on disk, or null
    char name[kBufferNameSize]; // file name, "" for none
    int64_t fileTime;           // modification time of the file when last read or written
    NodePoolBlock *nodePool;    // newest node pool block, chained to the older ones
    int32_t currentLine;        // line number of currentNode, from 1
    int32_t currentColumn;      // column, from 1
    int32_t markLine;           // selection kept for the owner; below 0 means no selection
    int32_t markEndLine;        // -1 initially, like the other marks
    int32_t markColumn;
    int32_t markEndColumn;
    int32_t lineBreakMode;     // kBreakLineFeed | kBreakCarriageReturn | kBreakFixedRecords
    int32_t recordLength;      // length of a fixed record
    int64_t fileStart;         // byte offset in the file where the text begins
    int32_t minimumAllocation; // smallest text allocation of a line
    int32_t maximumAllocation; // largest text allocation of a line; longer lines cannot exist
    const BufferOps *ops;      // the library's operation table
    Buffer *undoBuffer;        // the buffer recording undo items, or null
    int32_t lineLimit;         // most lines the buffer may hold
    LineNode *firstLine;       // first line node, null when the buffer has no line
    LineNode *currentNode;     // node of the current line, null when the buffer has no line
    LineNode *lastLine;        // last line node, null when the buffer has no line
    int32_t lineCount;         // nodes in the chain, the empty last line included
    uint64_t textVersion;      // new with every change of the lines, unique across all buffers
};

// ---- library state -------------------------------------------------------------------------

typedef void *(*BufAllocFn)(size_t size); // memory or null
typedef void (*BufReleaseFn)(void *memory);
typedef void (*BufReportFn)(const char *text);

// Installs the allocator and the two report callbacks: the error callback receives hard failures
// (no memory, no buffer), the message callback soft ones as "prefix reason". Either may be null.
// 0; 1 when allocate or release is missing (the error callback gets "Buffer Prolog: no malloc !"
// and nothing changes). Called once at start-up; calling it again replaces the callbacks. From
// then on SIGXFSZ is ignored: a file past the size limit is a write error (EFBIG), not the end.
int BufferProlog(BufAllocFn allocate, BufReleaseFn release, BufReportFn error, BufReportFn message);
// Removes every temporary file the library created and forgets their names.
void BufferEpilog();

// The shared message text: the last message composed by the library.
const char *BufferMessageText();

// ---- buffers -------------------------------------------------------------------------------

// A new buffer: current position (1, 1), marks -1, pure fixed-record mode with records of 16,
// line limit 16383, allocations 256 to 32752, no lines. `name` may be null (no file); a name
// that does not fit kBufferNameSize gives null (never cut: a cut path names another file).
// kCreateUndo also makes the undo buffer (undo.cpp); when that fails the owner is still made,
// without undo, after "Cant make undo buffer <name>".
Buffer *BufferCreate(const char *name, int creationFlags);
// Releases the undo buffer, every line text, the node pool, the file stream and the record.
// An undo buffer releases the saved text of each of its items. Null is ignored.
void BufferFree(Buffer *b);

// The text allocation for a line of n bytes: the minimum allocation when n fits in it, otherwise
// twice the highest power of two not above n, capped at the maximum; 0 when n is above the
// maximum allocation (such a line cannot exist).
int32_t BufferTextClass(int32_t n, const Buffer *b);

// Releases the record's text and empties it. Null is ignored.
void FreeTextRecord(TextRecord *record);

// ---- position ------------------------------------------------------------------------------

// Makes the nearest existing position current: line below 1 counts as 1, the walk stops at the
// first or last line, the empty last line is skipped (its predecessor's last column becomes
// current), and the column is the smaller of `column` and the line length, at least 1.
// 0; 1 no buffer or no line (the position is then (1, 1)).
int BufferGoto(int32_t line, int32_t column, Buffer *b);
// The current line's bytes (valid until the next edit of that line or the next file access),
// "" for a line without text; null without a buffer or current line or when a line still in the
// file cannot be read ("No buffer or file for lock line !" / "No FILE for buffer").
const char *LockLine(Buffer *b);
int32_t CurrentLineNumber(const Buffer *b); // -1 without a buffer
int32_t CurrentColumn(const Buffer *b);     // -1 without a buffer
int32_t CurrentLineLength(const Buffer *b); // 0 without a buffer or line

// ---- byte and line editing -----------------------------------------------------------------

// Inserts a byte at the current column (at most one past the line's end) and advances the
// column. Without any line, the first line is made. 0; 1 no buffer; 2 no line to insert into
// ("InsertByte:" "line orphaned", or no memory for the first line); 3 the line cannot grow (no
// memory, its text is not available, or "InsertByte:" "line too long" past 16383 bytes, the line
// left as it was); -1 read-only.
int InsertByte(int byte, Buffer *b);
// Removes the byte at the current column; a column left past the end moves back one place.
// 0; 1 no buffer; 2 no line; 3 empty line or nothing at the column; 4 text not available;
// 5 no memory to load the line; -1 read-only.
int DeleteByte(Buffer *b);
// Takes a new empty line after (1) or before (0) the current one and makes it current at
// column 1; on the empty last line it always goes before. In a buffer without lines two nodes are
// made: the new line and the empty last line. In a line-break mode the new line holds its break
// (a line feed, or a carriage return in the carriage-return modes), so the chain keeps its shape;
// after a last line without a break, that line takes the break and the new line is the empty last
// line. 0; 1 no buffer; 2 no memory ("InsertLine:") or no current line; -1 read-only.
int InsertLine(int after, Buffer *b);
// Removes the current line; the next becomes current, or the previous when it was the last.
// 0; 1 no buffer; 2 no line; -1 read-only.
int DeleteLine(Buffer *b);

// ---- text and regions ----------------------------------------------------------------------

// Inserts n bytes at (line, column), moving there unless it is current; a column past the line's
// end appends, before the line's own trailing break in a line-break mode. In a line-break mode a
// break splits the line while the buffer holds fewer lines than its limit. Pure fixed-record mode
// fills the current record or adds a record line. With an undo buffer the insertion is recorded.
// 0; 1 no buffer or no text; 3 a line cannot grow ("InsertByte:" "line too long" is checked
// before anything changes); 4 the undo item cannot be recorded (nothing changed); 5 no memory to
// set aside the rest of a split line ("new line"); 6 no new line (no memory, or the line limit
// of a fixed-record buffer); 7 no memory for the new line's text; 66 no record line; 77 no memory
// for a record; 88 "Insert:" "Wrong length for fixed record"; -1 read-only. After a failure past
// the checks the buffer is consistent, the text partly inserted, and the undo item covers it.
int BufferInsert(int32_t line, int32_t column, const char *text, int32_t length, Buffer *b);
// Copies (first line, first column) to (last line, last column), the last column included, into
// `record` (its previous text released), restoring the current position. Null, with the record
// untouched, when the region is empty, "BufferRegion:" "region start not in buffer",
// "BufferRegion:" "Must have region in order", or no memory ("BufferRegion").
TextRecord *BufferRegion(int32_t firstLine, int32_t firstColumn, int32_t lastLine,
                         int32_t lastColumn, TextRecord *record, Buffer *b);
// Deletes (line1, column1) to (line2, column2), both ends included, in either order, joining the
// two ends into one line when the region removed the first line's break. A region that starts
// past the end of a line starts at the next line. Everything that can
// fail is checked before anything changes. With an undo buffer a copy of the region is recorded.
// 0; 1 no buffer or "Delete" "region start not in buffer"; 2 "DelRegion" "no line" (a line's text
// is not available); 3 "DelReg:" "no next line" (line2 is past the text); 4 the undo item cannot
// be recorded; 8 no memory for the joined line ("Join Lines"); 10 the joined line would be longer
// than 16383 bytes ("DelReg:" "line too long"); -1 read-only. The start of the region is current
// afterwards.
int DelRegion(int32_t line1, int32_t column1, int32_t line2, int32_t column2, Buffer *b);
// Looks for `text` from the current position on, within single lines; 'a' to 'z' match 'A' to
// 'Z' unless caseSensitive. 0 found (the match is current); 1 no buffer; 2 empty text; 3 no
// current line; 5 not found (the position is left as it was).
int BufferSearch(const char *text, int caseSensitive, Buffer *b);

// ---- undo (undo.cpp) -----------------------------------------------------------------------

// One undo item, one line of the undo buffer holding exactly one record. The record had nine
// 32-bit fields with the saved-text pointer in the last; on 64-bit the same fields in the same
// order, the saved text at pointer size, so the record length is sizeof(UndoItem), and the undo
// buffer's record length, minimum allocation and every "holds a whole item" test derive from it.
// Items are read and written with memcpy: a line's bytes carry no alignment.
struct UndoItem {
    int32_t code;        // kUndoInsert, kUndoDelete or kUndoFrame
    int32_t startLine;   // owner's current line when the item was added
    int32_t startColumn; // owner's current column when the item was added
    int32_t endLine;     // owner's current line when the item was ended
    int32_t endColumn;   // owner's current column when the item was ended
    int32_t savedLength; // length of the saved text (deletions), else 0; not limited to 14 bits
    int32_t reserved1;   // 0
    int32_t reserved2;   // 0
    char *savedText;     // the deleted text, owned by the item (released once), else null
};

constexpr int32_t kUndoInsert = 64;
constexpr int32_t kUndoDelete = 65;
constexpr int32_t kUndoFrame = 66;
constexpr int32_t kUndoRecordLength = static_cast<int32_t>(sizeof(UndoItem));

// Opens a frame: Undo reverses everything back to the latest frame start in one step.
// 0; 1 no owner; 2 no undo buffer; 3 "Start Undo Frame:" "Can't insert frame header";
// 4 "Start Undo Frame:" "Can't insert frame data".
int StartUndoFrame(Buffer *owner);
// Records the start of an insertion (kUndoInsert) or deletion (kUndoDelete) at the owner's
// current position. 0; 1 no owner; 2 no undo buffer; 3 "Add Undo item:" "Can't insert Line";
// 4 "Add undo item:" "Can't insert data".
int AddUndoItem(int32_t code, Buffer *owner);
// Ends the latest item, which must have `code`: its end is the owner's current position and it
// takes the record's text (the record is emptied), when a record is given. 0; 1 no owner; 2 no
// undo buffer; 3 "End Undo Frame:" "Missing item"; 4 "End Undo Frame:" "Op difference" (the record
// keeps its text on every failure).
int EndUndoFrame(int32_t code, TextRecord *record, Buffer *owner);
// Reverses the latest frame, the latest item first, with the undo buffer detached so the
// reversing edits are not recorded. `firstLine->length` and `*lastLine` (either may be null)
// receive the first and last lines touched (0 and 0 when nothing was, or when no frame start was
// found and the whole undo buffer was consumed). Results: 0; -1 no owner; -2 no undo buffer;
// -3 undo buffer empty; -5 an item cannot be read; -6 an item's start position cannot be reached;
// -7 "Undo:" "No undo information, undo delete"; -8 "UNDO" "Corrupt undo buffer"; otherwise the
// negated status of a failing reversing edit, which may equal one of these (a read-only owner
// gives 1): test the result for zero. A failing item and the rest of its frame stay recorded.
int Undo(TextRecord *firstLine, int *lastLine, Buffer *owner);
// Releases the saved text of the undo buffer's current item. 0; 1 no buffer, no item, or
// "DeleteUndoInfo:" "Not undo buffer".
int DeleteUndoInfo(Buffer *undoBuffer);

// ---- files (bufferfile.cpp) ----------------------------------------------------------------

// Attaches the named file to the buffer without loading its text: every line becomes an offset
// and a length in the file, paged in when touched. Unless the buffer is read-only, has no working
// copy or is detached, the file is first copied to a temporary "tmq" file and the buffer reads
// the copy. The buffer becomes read-only when the file lacks owner write permission. Its undo
// buffer is emptied. A detached buffer or one without a name is left alone (0).
// A scan that stops early keeps the lines so far and makes the buffer read-only, so a partial
// text can never be written over the whole file.
// 0 read, or the file does not exist (the buffer is then a new file with one empty line), or
// the scan stopped at the line limit ("Readbuf: " "linecount exceeded"); -1 the scan stopped
// for want of memory for a line node, or "Readbuf: " "File read incomplete"; 1 no buffer, or
// the file cannot be used (not a regular file, unreadable, no working copy can be made,
// "ReadBuffer" "lbsNONE"): the buffer is left as it was.
int ReadBuffer(Buffer *b);
// Writes the buffer to its file and attaches the buffer to the result. The text goes to a new
// file beside the target, untouched lines copied from the old file, which is only replaced (by
// rename) once everything is written and synced: every failure leaves the old file as it was.
// 0 written, or nothing to do (detached or unnamed); -1 not modified; 1 no buffer, read-only,
// the file cannot be written ("Panic: Original file repoen failure\n", "Write of file failed"),
// or written but "Re-copy of file failed" (the buffer then reads the written file itself);
// 2 "Backup file Creation error" (nothing written).
int WriteBuffer(Buffer *b);
// The text of a line still in the file, read through the buffer's file stream (valid until the
// next file access); null after "No FILE for buffer" when there is none, or when the file no
// longer holds the line.
const char *PageInLine(const LineNode *node, Buffer *b);
// Closes and releases the buffer's file stream, if any, removing it when it is a working copy.
void CloseBufferFile(Buffer *b);

// ---- library internals shared by the module's source files ---------------------------------

void *BufAllocate(size_t size);                                // the installed allocator
void BufRelease(void *memory);                                 // null is ignored
void BufReportError(const char *text);                         // hard failure
void BufReportMessage(const char *prefix, const char *reason); // soft failure: "prefix reason"
void BufReportNote(const char *text); // a whole text to the message callback
// Makes (line, column) current exactly, the empty last line included, the column kept within
// 1 to one past the line's end; in a buffer without lines only (1, 1) exists. 0; 1 no such line.
int BufSeek(int32_t line, int32_t column, Buffer *b);
// BufferInsert at the current position, without moving first (Undo's re-insertion).
int BufInsertText(const char *text, int32_t length, Buffer *b);
// Replaces a loaded line's bytes with a copy of `bytes`. 0; 1 no memory (the line unchanged).
int BufSetLineText(LineNode *node, const void *bytes, int32_t length, Buffer *b);
// The undo buffer of a new owner (undo.cpp), or null.
Buffer *MakeUndoBuffer();
// Releases the saved text of every item of an undo buffer (undo.cpp).
void ReleaseUndoTexts(Buffer *undoBuffer);
// Releases every line text and the node pool: the buffer has no line, position (1, 1).
void BufReleaseLines(Buffer *b);
// A new empty loaded line linked at the end of the chain, or null when no node can be had.
LineNode *BufAppendNode(Buffer *b);
