// The file side of a buffer: ReadBuffer scans a file once and records every line as an offset
// and a length, LockLine pages such lines in through the buffer's FileStream (PageInLine), and
// WriteBuffer writes the text back, copying untouched lines straight from the old file. Start
// reading at ReadBuffer. The stream and the file helpers are in filestream.cpp and filesys.cpp.
//
// Writing never touches the user's file in place: the text goes to a new file in the target's
// directory, which replaces the target by rename once it is complete and synced. Until then the
// buffer's stream still reads the old text (the working copy, or the old file itself, whose open
// descriptor keeps its contents even after the rename), and every failure leaves the old file,
// and the buffer, as they were.
#include "buffer.h"
#include "filesys.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int32_t Length(const LineNode *n) { return static_cast<int32_t>(n->lengthFlags & kNodeLengthMask); }

bool InFile(const LineNode *n) { return (n->lengthFlags & kNodeInFile) != 0; }

// Whether the line's last byte is a carriage return, wherever the line is.
bool EndsWithCr(const LineNode *n) {
    if (InFile(n))
        return (n->lengthFlags & kNodeEndsWithCr) != 0;
    int32_t len = Length(n);
    return len > 0 && n->text[len - 1] == '\r';
}

bool CrLfMode(const Buffer *b) {
    const int32_t both = kBreakLineFeed | kBreakCarriageReturn;
    return (b->lineBreakMode & both) == both;
}

// A buffer that reads its file through a private copy (the file itself stays free to rewrite).
bool WantsCopy(const Buffer *b) {
    return (b->flags & kBufTempCopy) && !(b->flags & (kBufNoCopy | kBufReadOnly | kBufDetached));
}

void Progress(const char *text, const Buffer *b) {
    if (b->flags & kBufProgress)
        BufReportNote(text);
}

// Undo frames describe the text they were made on: a new text starts without them.
void EmptyUndo(Buffer *b) {
    if (!b->undoBuffer)
        return;
    ReleaseUndoTexts(b->undoBuffer);
    BufReleaseLines(b->undoBuffer);
}

// Appends a line still in the file. 0; 1 the line limit is reached; 2 no memory for the node.
int AddFileLine(int64_t offset, int32_t length, bool endsWithCr, Buffer *b) {
    if (b->lineCount >= b->lineLimit)
        return 1;
    LineNode *n = BufAppendNode(b);
    if (!n)
        return 2;
    n->lengthFlags =
        static_cast<uint32_t>(length) | kNodeInFile | (endsWithCr ? kNodeEndsWithCr : 0);
    n->fileOffset = offset;
    return 0;
}

// Scans the stream from the buffer's file start and appends a node per line (buffer.h: a line
// keeps its break; in carriage-return and line-feed mode the line feed after a carriage return
// is skipped). A line longer than a node can hold is cut into pieces of 16383 bytes without a
// break between them, so the text still writes back byte for byte. `*lines` and `*bytes` receive
// the lines and bytes read. 0; 1 line limit reached; 2 no memory; 3 the file could not be read.
int SplitLines(FileStream *s, Buffer *b, int32_t *lines, int64_t *bytes) {
    const int32_t mode = b->lineBreakMode;
    const bool lf = (mode & kBreakLineFeed) != 0, cr = (mode & kBreakCarriageReturn) != 0;
    const bool crlf = lf && cr;
    int32_t longest = kMaxLineLength;
    if ((mode & kBreakFixedRecords) && b->recordLength < longest)
        longest = b->recordLength < 1 ? 1 : b->recordLength;
    int64_t start = b->fileStart, at = b->fileStart;
    int32_t length = 0;
    unsigned char last = 0;
    bool skipLf = false, endedOnBreak = false;
    int rc = 0;
    *lines = 0;
    if (fSeek(s, start) != 0)
        rc = 3;
    while (rc == 0) {
        int32_t n = fRead(s, s->pageSize);
        if (n <= 0)
            break;
        const unsigned char *page = reinterpret_cast<const unsigned char *>(s->page);
        for (int32_t i = 0; i < n && rc == 0; i++, at++) {
            unsigned char c = page[i];
            if (skipLf) {
                skipLf = false;
                if (c == '\n') {
                    start = at + 1;
                    continue;
                }
            }
            last = c;
            length++;
            bool isBreak = (c == '\n' && lf) || (c == '\r' && cr);
            if (isBreak || length >= longest) {
                rc = AddFileLine(start, length, c == '\r', b);
                if (rc != 0)
                    break;
                ++*lines;
                endedOnBreak = isBreak;
                skipLf = crlf && c == '\r';
                start = at + 1;
                length = 0;
            }
        }
        if (rc == 0 && fSeek(s, s->pagePosition + s->validBytes) != 0)
            rc = 3;
    }
    *bytes = at - b->fileStart;
    if (rc != 0)
        return rc;
    struct stat st;
    if (fstat(s->fd, &st) != 0 || at < static_cast<int64_t>(st.st_size))
        return 3;
    if (length > 0) {
        rc = AddFileLine(start, length, last == '\r', b);
        if (rc != 0)
            return rc;
        ++*lines;
    } else if (((lf || cr) && endedOnBreak) || !b->firstLine) {
        // The empty last line after a final break, or the one empty line of an empty file.
        if (b->lineCount >= b->lineLimit)
            return 0;
        if (!BufAppendNode(b))
            return 2;
    }
    return 0;
}

// Copies `count` bytes of the file behind `fd` from `offset` into the output, in chunks of 1024
// bytes. 0; 1 the file ended early or a read or write failed.
int CopyRange(int fd, int64_t offset, int64_t count, FileStream *out) {
    char chunk[kCopyChunkSize];
    while (count > 0) {
        size_t want = count < kCopyChunkSize ? static_cast<size_t>(count) : sizeof chunk;
        ssize_t n = pread(fd, chunk, want, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || fWrite(out, chunk, static_cast<int32_t>(n)) != n)
            return 1;
        offset += n;
        count -= n;
    }
    return 0;
}

// Writes the whole text to `out`: the bytes before the file start (from the old file, or zeros
// for a new one), then every line, untouched lines copied from the old file, with the line feed
// restored after a carriage return in carriage-return and line-feed mode. Changes nothing in the
// buffer. 0; 1 a read or write failed.
int WriteLines(const FileStream *old, FileStream *out, const Buffer *b) {
    if (b->fileStart > 0) {
        if (old) {
            if (CopyRange(old->fd, 0, b->fileStart, out) != 0)
                return 1;
        } else {
            static const char zeros[kCopyChunkSize] = {};
            for (int64_t left = b->fileStart; left > 0; left -= kCopyChunkSize) {
                int32_t n = left < kCopyChunkSize ? static_cast<int32_t>(left) : kCopyChunkSize;
                if (fWrite(out, zeros, n) != n)
                    return 1;
            }
        }
    }
    // Untouched lines that follow each other in the old file are copied as one range.
    const bool crlf = CrLfMode(b);
    int64_t rangeStart = 0, rangeLength = 0;
    for (const LineNode *n = b->firstLine; n; n = n->next) {
        int32_t len = Length(n);
        if (len == 0)
            continue;
        bool restoreLf = crlf && EndsWithCr(n);
        if (InFile(n)) {
            if (!old)
                return 1;
            if (rangeLength > 0 && n->fileOffset != rangeStart + rangeLength) {
                if (CopyRange(old->fd, rangeStart, rangeLength, out) != 0)
                    return 1;
                rangeLength = 0;
            }
            if (rangeLength == 0)
                rangeStart = n->fileOffset;
            rangeLength += len;
            if (!restoreLf)
                continue;
        }
        if (rangeLength > 0 && CopyRange(old->fd, rangeStart, rangeLength, out) != 0)
            return 1;
        rangeLength = 0;
        if (!InFile(n) && fWrite(out, n->text, len) != len)
            return 1;
        if (restoreLf && fWrite(out, "\n", 1) != 1)
            return 1;
    }
    if (rangeLength > 0 && CopyRange(old->fd, rangeStart, rangeLength, out) != 0)
        return 1;
    return 0;
}

// After a successful write: every line becomes a line of the written file at its new offset,
// its text released. Cannot fail.
void LinesToFile(Buffer *b) {
    const bool crlf = CrLfMode(b);
    int64_t at = b->fileStart;
    for (LineNode *n = b->firstLine; n; n = n->next) {
        int32_t len = Length(n);
        bool cr = EndsWithCr(n);
        if (!InFile(n))
            BufRelease(n->text);
        n->text = nullptr;
        if (len == 0) {
            n->lengthFlags = 0;
            continue;
        }
        n->lengthFlags = static_cast<uint32_t>(len) | kNodeInFile | (cr ? kNodeEndsWithCr : 0);
        n->fileOffset = at;
        at += len + (crlf && cr ? 1 : 0);
    }
}

// The stream a written buffer reads from: a new working copy of the written file when the buffer
// works on one, otherwise `out` itself (open on the written file) turned into a reading stream
// with a page of `pageSize` when that can be had. *copyFailed is set after "Re-copy of file
// failed": the buffer then reads the written file.
FileStream *ReattachStream(FileStream *out, const char *path, int32_t pageSize, bool copy,
                           bool *copyFailed) {
    *copyFailed = false;
    if (copy) {
        const char *temp = fTempName(kWorkingCopyExtension);
        char name[kPathSize];
        FileStream *s = nullptr;
        if (temp) {
            memcpy(name, temp, strlen(temp) + 1);
            if (fCopyDescriptor(out->fd, name, O_CREAT | O_EXCL | O_NOFOLLOW, 0600) == 0)
                s = fOpen(name, O_RDONLY, 0, pageSize);
            if (!s)
                fTempRemove(name);
        }
        if (s) {
            s->workingCopy = 1;
            fClose(out);
            return s;
        }
        BufReportError("Re-copy of file failed");
        *copyFailed = true;
    }
    if (pageSize > out->pageSize) {
        char *page = static_cast<char *>(BufAllocate(static_cast<size_t>(pageSize)));
        if (page) { // otherwise the write page serves; fRead enlarges it for long lines
            BufRelease(out->page);
            out->page = page;
            out->pageSize = pageSize;
        }
    }
    memcpy(out->name, path, strlen(path) + 1);
    out->pagePosition = 0;
    out->pendingBytes = 0;
    out->validBytes = 0;
    out->available = 0;
    out->readPointer = out->page;
    out->workingCopy = 0;
    return out;
}

} // namespace

void BufferEpilog() { fTempRemoveAll(); }

void CloseBufferFile(Buffer *b) {
    if (!b || !b->fileStream)
        return;
    FileStream *s = b->fileStream;
    b->fileStream = nullptr;
    if (!s->workingCopy) {
        fClose(s);
        return;
    }
    char name[kPathSize];
    memcpy(name, s->name, strlen(s->name) + 1);
    fClose(s);
    fTempRemove(name);
}

const char *PageInLine(const LineNode *node, Buffer *b) {
    FileStream *s = b ? b->fileStream : nullptr;
    if (!s) {
        BufReportError("No FILE for buffer");
        return nullptr;
    }
    int64_t offset = node->fileOffset;
    int32_t len = Length(node);
    if (len == 0)
        return "";
    if (offset < s->pagePosition || offset + len > s->pagePosition + s->validBytes) {
        // The page ends at the line's end, so the lines before it come with it; a line longer
        // than the page gets a page of its own.
        int64_t start = len > s->pageSize ? offset : offset + len - s->pageSize;
        if (start < 0)
            start = 0;
        if (fSeek(s, start) != 0)
            return nullptr;
        fRead(s, len > s->pageSize ? len : s->pageSize);
        if (offset + len > s->pagePosition + s->validBytes) {
            BufReportMessage("LockLine:", "line not in file");
            return nullptr;
        }
    }
    return s->page + (offset - s->pagePosition);
}

int ReadBuffer(Buffer *b) {
    if (!b)
        return 1;
    if ((b->flags & kBufDetached) || !b->name[0])
        return 0;
    if (!(b->lineBreakMode & (kBreakLineFeed | kBreakCarriageReturn | kBreakFixedRecords))) {
        BufReportMessage("ReadBuffer", "lbsNONE");
        return 1;
    }
    // Everything that can fail without a partial text is done before the buffer changes.
    struct stat st;
    int fd = fOpenRegular(b->name, &st);
    if (fd == -1 && errno == ENOENT) {
        CloseBufferFile(b);
        BufReleaseLines(b);
        EmptyUndo(b);
        b->flags = static_cast<uint16_t>((b->flags & ~kBufModified) | kBufNewFile | kBufInMemory);
        b->fileTime = -1;
        if (!BufAppendNode(b)) {
            BufReportError("ReadBuffer");
            return -1;
        }
        BufferGoto(1, 1, b);
        return 0;
    }
    if (fd < 0) {
        BufReportMessage("ReadBuffer", fd == -2 ? "not a regular file" : strerror(errno));
        return 1;
    }
    // Without owner write the buffer is read-only, and needs no copy to protect the file.
    bool readOnly = (b->flags & kBufReadOnly) || !(st.st_mode & S_IWUSR);
    FileStream *s = nullptr;
    if (WantsCopy(b) && !readOnly) {
        const char *temp = fTempName(kWorkingCopyExtension);
        char copy[kPathSize];
        int rc = 1;
        if (temp) {
            memcpy(copy, temp, strlen(temp) + 1);
            rc = fCopyDescriptor(fd, copy, O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
            if (rc != 0)
                BufReportMessage("fCopy", rc == 1 ? "destination open error" : "write error");
            else if (!(s = fOpen(copy, O_RDONLY, 0, -1)))
                BufReportError("ReadBuffer");
            if (!s)
                fTempRemove(copy);
        }
        close(fd);
        if (!s)
            return 1;
        s->workingCopy = 1;
    } else {
        s = fAdopt(fd, b->name, static_cast<int>(st.st_mode & 07777), -1);
        if (!s) {
            close(fd);
            BufReportError("ReadBuffer");
            return 1;
        }
    }

    CloseBufferFile(b);
    BufReleaseLines(b);
    EmptyUndo(b);
    b->fileStream = s;
    b->fileTime = static_cast<int64_t>(st.st_mtime);
    b->flags = static_cast<uint16_t>(b->flags & ~(kBufModified | kBufNewFile));
    if (readOnly)
        b->flags |= kBufReadOnly;
    int32_t lines = 0;
    int64_t bytes = 0;
    int rc = SplitLines(s, b, &lines, &bytes);
    int result = 0;
    // A scan that stopped early leaves a partial text, which must never be written over the file.
    if (rc == 1) {
        BufReportMessage("Readbuf: ", "linecount exceeded");
        b->flags |= kBufReadOnly;
    } else if (rc == 2) {
        BufReportError("ReadBuffer");
        b->flags |= kBufReadOnly;
        result = -1;
    } else if (rc == 3) {
        BufReportMessage("Readbuf: ", "File read incomplete");
        b->flags |= kBufReadOnly;
        result = -1;
    }
    if (b->undoBuffer && (b->flags & kBufProgress)) {
        char text[kBufferNameSize + 64]; // the message text keeps what fits
        snprintf(text, sizeof text, "%s => %d lines from %ld bytes\n", b->name, lines,
                 static_cast<long>(bytes));
        BufReportNote(text);
    }
    b->flags |= kBufInMemory;
    BufferGoto(1, 1, b);
    return result;
}

int WriteBuffer(Buffer *b) {
    if (!b)
        return 1;
    if (!(b->flags & kBufModified))
        return -1;
    if ((b->flags & kBufDetached) || !b->name[0])
        return 0;
    if (b->flags & kBufReadOnly) {
        BufReportMessage("WriteBuffer:", "buffer is read-only");
        return 1;
    }
    FileStream *old = b->fileStream;
    if (!old && !(b->flags & kBufNewFile))
        BufReportNote("Not a new file, but no Pfile");
    const int32_t pageSize = old ? old->pageSize : kDefaultPageSize;

    Progress("Writing File", b);
    // The target by the rules of every output file (filesys.h): a regular file the writer may
    // write, written as a new file beside it that keeps its mode and replaces it once whole.
    OutputFile target;
    FileStream *out = nullptr;
    int opened = fOutputOpen(b->name, 0, &target);
    if (opened == 0) {
        struct stat made;
        int mode = fstat(target.fd, &made) == 0 ? static_cast<int>(made.st_mode & 07777) : 0600;
        out = fAdopt(target.fd, target.temp, mode, kWritePageSize);
        if (out)
            target.fd = -1; // the stream's now
    }
    if (!out) {
        fOutputClose(&target);
        if (opened != 0)
            BufReportMessage("WriteBuffer:", fOutputReason(opened));
        BufReportError("Panic: Original file repoen failure\n");
        return 1;
    }
    bool written = WriteLines(old, out, b) == 0 && fFlush(out) == 0 && fsync(out->fd) == 0;
    if (!written) {
        fClose(out);
        fOutputClose(&target);
        BufReportError("Write of file failed");
        return 1;
    }

    // The backup keeps the old file under its ".bak" name: a second link to it, so the target
    // never goes missing; where links are not possible it is renamed, and renamed back when the
    // new file cannot take its place.
    char backup[kPathSize];
    bool movedAway = false;
    if ((b->flags & kBufBackup) && target.replaced) {
        Progress("Creating Backup File", b);
        bool made = fBackupName(target.path, backup, sizeof backup) == 0 &&
                    (unlink(backup) == 0 || errno == ENOENT);
        if (made && link(target.path, backup) != 0) {
            made = rename(target.path, backup) == 0;
            movedAway = made;
        }
        if (!made) {
            fClose(out);
            fOutputClose(&target);
            BufReportError("Backup file Creation error");
            return 2;
        }
    }
    if (fOutputCommit(&target) != 0) {
        if (movedAway)
            rename(backup, target.path);
        fClose(out);
        fOutputClose(&target);
        BufReportError("Write of file failed");
        return 1;
    }

    struct stat st;
    if (fstat(out->fd, &st) == 0)
        b->fileTime = static_cast<int64_t>(st.st_mtime);
    bool copyFailed = false;
    FileStream *s = ReattachStream(out, target.path, pageSize, WantsCopy(b), &copyFailed);
    CloseBufferFile(b); // the old stream, whose lines are now in the written file
    b->fileStream = s;
    LinesToFile(b);
    b->flags = static_cast<uint16_t>((b->flags & ~(kBufModified | kBufNewFile)) | kBufInMemory);
    Progress("Wrote File", b);
    return copyFailed ? 1 : 0;
}
