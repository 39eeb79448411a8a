// Saves a program file again and again with the buffer library's WriteBuffer, as the program
// window's Save does, alternating between two texts, so that a shell check can kill it at any
// moment and look at what the file holds. The writes start when the start file appears.
// Usage: program_writer FILE COUNT START-FILE
#include "buffer.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void quiet(const char *) {}

// The two texts: many steps each, so a write takes long enough to be interrupted.
std::string Text(char which) {
    std::string text;
    for (int i = 0; i < 4000; i++)
        text += which == 'a' ? "1\n+\n" : "2\nX\n";
    return text + "__ end __\n";
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: program_writer FILE COUNT START-FILE\n");
        return 2;
    }
    const char *file = argv[1];
    const int count = atoi(argv[2]);
    if (BufferProlog(malloc, free, quiet, quiet) != 0)
        return 1;
    for (int i = 0; i < 10000 && access(argv[3], F_OK) != 0; i++)
        usleep(1000);
    const std::string texts[2] = {Text('a'), Text('b')};
    for (int i = 0; i < count; i++) {
        Buffer *b = BufferCreate(file, kCreateNoCopy);
        if (!b)
            return 1;
        b->flags |= kBufInMemory | kBufNewFile;
        b->lineBreakMode = kBreakLineFeed;
        const std::string &text = texts[i % 2];
        if (BufferInsert(1, 1, text.data(), (int32_t)text.size(), b) != 0) {
            BufferFree(b);
            return 1;
        }
        b->flags |= kBufModified;
        const int written = WriteBuffer(b);
        BufferFree(b);
        if (written != 0) {
            fprintf(stderr, "program_writer: %s could not be written\n", file);
            return 1;
        }
    }
    BufferEpilog();
    return 0;
}
