// Shared fixture of the buffer tests: the library on the failing allocator, the two report
// callbacks collected, buffers made from text and read back line by line.
#pragma once

#include "buffer.h"
#include "failalloc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

inline std::vector<std::string> gErrors;   // texts given to the error callback
inline std::vector<std::string> gMessages; // texts given to the message callback

inline void CollectError(const char *text) { gErrors.push_back(text); }
inline void CollectMessage(const char *text) { gMessages.push_back(text); }

// The chain as strings, one per node, the empty last line included.
inline std::vector<std::string> Lines(const Buffer *b) {
    std::vector<std::string> lines;
    for (const LineNode *n = b->firstLine; n; n = n->next) {
        size_t len = n->lengthFlags & kNodeLengthMask;
        lines.emplace_back(len ? std::string(n->text, len) : std::string());
    }
    return lines;
}

inline std::string Text(const Buffer *b) {
    std::string all;
    for (const std::string &line : Lines(b))
        all += line;
    return all;
}

class BufferFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        failAllocReset(0);
        gErrors.clear();
        gMessages.clear();
        ASSERT_EQ(BufferProlog(failAllocate, failRelease, CollectError, CollectMessage), 0);
    }
    void TearDown() override {
        for (Buffer *b : made_)
            BufferFree(b);
        made_.clear();
        EXPECT_EQ(failAllocOutstanding(), 0) << "memory left allocated";
    }
    // A detached buffer in `mode` holding `text` (inserted at (1, 1)), freed by the fixture.
    Buffer *Make(int32_t mode, const std::string &text = "", int creationFlags = 0) {
        Buffer *b = BufferCreate("t", kCreateDetached | creationFlags);
        EXPECT_NE(b, nullptr);
        made_.push_back(b);
        b->lineBreakMode = mode;
        if (!text.empty()) {
            Buffer *u = b->undoBuffer;
            b->undoBuffer = nullptr; // the starting text is not part of any test's history
            EXPECT_EQ(BufferInsert(1, 1, text.data(), static_cast<int32_t>(text.size()), b), 0);
            b->undoBuffer = u;
        }
        return b;
    }
    // Forgets a buffer the test freed itself.
    void Forget(Buffer *b) { std::erase(made_, b); }

    std::vector<Buffer *> made_;
};

inline int Insert(Buffer *b, int32_t line, int32_t column, const std::string &text) {
    return BufferInsert(line, column, text.data(), static_cast<int32_t>(text.size()), b);
}

using Strings = std::vector<std::string>;

// Fails allocation k = 1, 2, ... of one operation on a buffer made afresh by `setup` each time,
// until the operation runs without reaching the failure. `check` sees the buffer, the result
// and whether the failure happened; afterwards the buffer is freed and nothing may be left.
template <typename Setup, typename Operation, typename Check>
void SweepAllocations(Setup setup, Operation operation, Check check) {
    failAllocReset(0);
    BufferFree(setup());
    const long setupCount = failAllocCount();
    for (long k = 1;; k++) {
        failAllocReset(setupCount + k);
        Buffer *b = setup();
        ASSERT_EQ(failAllocCount(), setupCount);
        int rc = operation(b);
        bool failed = failAllocTriggered();
        while (!failAllocTriggered()) // disarm, so that `check` allocates freely
            failRelease(failAllocate(1));
        check(b, rc, failed, k);
        BufferFree(b);
        EXPECT_EQ(failAllocOutstanding(), 0) << "left allocated after failing allocation " << k;
        if (!failed)
            break;
        ASSERT_LT(k, 200);
    }
    failAllocReset(0);
}
