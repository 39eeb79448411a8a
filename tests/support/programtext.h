// A Program made from step lines, for the interpreter and plot tests: a buffer in memory,
// detached from any file, one step a line, the cursor on line 1.
#pragma once

#include "buffer.h"

#include <cstdint>
#include <string>
#include <vector>

// The lines each with its line feed, the last one without it when `lastLineFeed` is false (as a
// file may end). Null when the buffer cannot be made or filled.
inline Buffer *ProgramFromLines(const std::vector<std::string> &lines, bool lastLineFeed = true) {
    Buffer *b = BufferCreate(nullptr, kCreateDetached);
    if (!b)
        return nullptr;
    b->lineBreakMode = kBreakLineFeed;
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    if (!lastLineFeed && !text.empty())
        text.pop_back();
    if (BufferInsert(1, 1, text.c_str(), static_cast<int32_t>(text.size()), b) != 0) {
        BufferFree(b);
        return nullptr;
    }
    BufferGoto(1, 1, b);
    return b;
}
