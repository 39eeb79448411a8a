// The file side of a buffer as the line operations see it: lines still on disk are paged in
// through the buffer's file stream, ReadBuffer and WriteBuffer attach and write the file, and
// BufferEpilog removes the temporary files made on the way. The file stream, the working copies
// and the temporary names are not built yet: until then no buffer has a stream or a line on
// disk, every file reads as absent, and only the cases that touch no file are answered.
#include "buffer.h"

#include <cstdio>

namespace {

// A temporary file made by the library, removed by BufferEpilog.
struct TempName {
    TempName *next;             // the name made before this one
    char name[kBufferNameSize]; // path of the file
};

TempName *gTempNames = nullptr; // every temporary name made so far, newest first

} // namespace

void BufferEpilog() {
    while (gTempNames) {
        TempName *t = gTempNames;
        gTempNames = t->next;
        remove(t->name);
        BufRelease(t);
    }
}

const char *PageInLine(const LineNode *node, Buffer *b) {
    (void)node;
    if (!b || !b->fileStream) {
        BufReportError("No FILE for buffer");
        return nullptr;
    }
    return nullptr; // reading a page through the stream arrives with the stream itself
}

void CloseBufferFile(Buffer *b) { b->fileStream = nullptr; }

int ReadBuffer(Buffer *b) {
    if (!b)
        return 0;
    if ((b->flags & kBufDetached) || !b->name[0])
        return 0;
    b->flags |= kBufNewFile | kBufInMemory;
    return 0;
}

int WriteBuffer(Buffer *b) {
    if (!b)
        return 1;
    if (!(b->flags & kBufModified))
        return -1;
    if ((b->flags & kBufDetached) || !b->name[0])
        return 0;
    BufReportError("Panic: Original file repoen failure\n");
    return 1;
}
