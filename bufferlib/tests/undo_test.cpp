// Undo: the undo buffer's shape, frames and items with their result codes, undoing insertions
// and deletions, failure paths through the failing allocator, and random edits in frames
// checked against a plain model of lines.
#include "buffertest.h"

#include <random>

namespace {

using UndoTest = BufferFixture;

constexpr int32_t kLf = kBreakLineFeed;

UndoItem LatestItemOf(const Buffer *owner) {
    const LineNode *n = owner->undoBuffer->lastLine;
    while (n && (n->lengthFlags & kNodeLengthMask) < kUndoRecordLength)
        n = n->previous;
    UndoItem item{};
    if (n)
        memcpy(&item, n->text, sizeof item);
    return item;
}

TEST_F(UndoTest, UndoBufferShape) {
    Buffer *b = Make(kLf, "", kCreateUndo);
    Buffer *u = b->undoBuffer;
    ASSERT_NE(u, nullptr);
    EXPECT_STREQ(u->name, "Undo");
    EXPECT_EQ(u->flags & (kBufUndo | kBufDetached | kBufInMemory),
              kBufUndo | kBufDetached | kBufInMemory);
    EXPECT_EQ(u->lineBreakMode, kBreakFixedRecords);
    EXPECT_EQ(u->recordLength, kUndoRecordLength);
    EXPECT_EQ(u->minimumAllocation, kUndoRecordLength);
    EXPECT_EQ(u->lineLimit, 16383);
    EXPECT_EQ(u->undoBuffer, nullptr);
    EXPECT_EQ(kUndoRecordLength, static_cast<int32_t>(sizeof(UndoItem)));
    u->flags |= kBufModified;
    EXPECT_EQ(WriteBuffer(u), 0) << "a detached buffer touches no file";
}

TEST_F(UndoTest, UndoAnInsertion) {
    Buffer *b = Make(kLf, "hello\n", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(Insert(b, 1, 1, "xy"), 0);
    UndoItem item = LatestItemOf(b);
    EXPECT_EQ(item.code, kUndoInsert);
    EXPECT_EQ(item.startLine, 1);
    EXPECT_EQ(item.startColumn, 1);
    EXPECT_EQ(item.endLine, 1);
    EXPECT_EQ(item.endColumn, 3);
    TextRecord first = {-1, nullptr};
    int last = -1;
    ASSERT_EQ(Undo(&first, &last, b), 0);
    EXPECT_EQ(Lines(b), (Strings{"hello\n", ""}));
    EXPECT_EQ(first.length, 1);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(Undo(nullptr, nullptr, b), -3) << "the frame went with its edits";
}

TEST_F(UndoTest, UndoADeletion) {
    Buffer *b = Make(kLf, "abcd\n", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(DelRegion(1, 2, 1, 3, b), 0);
    ASSERT_EQ(Text(b), "ad\n");
    UndoItem item = LatestItemOf(b);
    EXPECT_EQ(item.code, kUndoDelete);
    EXPECT_EQ(item.savedLength, 2);
    ASSERT_NE(item.savedText, nullptr);
    EXPECT_STREQ(item.savedText, "bc");
    ASSERT_EQ(Undo(nullptr, nullptr, b), 0);
    EXPECT_EQ(Text(b), "abcd\n");
    EXPECT_EQ(CurrentLineNumber(b), 2) << "back where the frame started";
    EXPECT_EQ(CurrentColumn(b), 1);
}

TEST_F(UndoTest, TwoEditsInOneFrameAreUndoneTogether) {
    Buffer *b = Make(kLf, "one\ntwo\n", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(Insert(b, 2, 1, "2\n"), 0); // the later edit depends on this one's lines
    ASSERT_EQ(DelRegion(1, 3, 3, 1, b), 0);
    ASSERT_EQ(Text(b), "onwo\n");
    TextRecord first = {0, nullptr};
    int last = 0;
    ASSERT_EQ(Undo(&first, &last, b), 0);
    EXPECT_EQ(Text(b), "one\ntwo\n");
    EXPECT_EQ(first.length, 1);
    EXPECT_EQ(last, 3);
}

TEST_F(UndoTest, InsertionEndingInColumnOneIsUndoneToThePreviousLineEnd) {
    Buffer *b = Make(kLf, "cd", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(Insert(b, 1, 1, "ab\n"), 0);
    EXPECT_EQ(LatestItemOf(b).endColumn, 1);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(Insert(b, 2, 3, "x\n"), 0); // appended: ends on the new empty last line
    ASSERT_EQ(Lines(b), (Strings{"ab\n", "cdx\n", ""}));
    ASSERT_EQ(Undo(nullptr, nullptr, b), 0);
    EXPECT_EQ(Lines(b), (Strings{"ab\n", "cd"}));
    ASSERT_EQ(Undo(nullptr, nullptr, b), 0);
    EXPECT_EQ(Lines(b), Strings{"cd"});
}

TEST_F(UndoTest, ResultCodes) {
    Buffer *plain = Make(kLf, "ab");
    EXPECT_EQ(Undo(nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(Undo(nullptr, nullptr, plain), -2);
    EXPECT_EQ(StartUndoFrame(nullptr), 1);
    EXPECT_EQ(StartUndoFrame(plain), 2);
    EXPECT_EQ(AddUndoItem(kUndoInsert, nullptr), 1);
    EXPECT_EQ(AddUndoItem(kUndoInsert, plain), 2);
    EXPECT_EQ(EndUndoFrame(kUndoInsert, nullptr, nullptr), 1);
    EXPECT_EQ(EndUndoFrame(kUndoInsert, nullptr, plain), 2);
    Buffer *b = Make(kLf, "ab", kCreateUndo);
    EXPECT_EQ(Undo(nullptr, nullptr, b), -3);
    EXPECT_EQ(EndUndoFrame(kUndoInsert, nullptr, b), 3);
    ASSERT_EQ(StartUndoFrame(b), 0);
    TextRecord keep = {1, nullptr};
    EXPECT_EQ(EndUndoFrame(kUndoDelete, &keep, b), 4);
    EXPECT_EQ(DeleteUndoInfo(b), 1);
    EXPECT_EQ(gMessages, (Strings{"End Undo Frame: Missing item", "End Undo Frame: Op difference",
                                  "DeleteUndoInfo: Not undo buffer"}));
}

TEST_F(UndoTest, EditsOutsideAnyFrameAreAllUndone) {
    Buffer *b = Make(kLf, "ab\n", kCreateUndo);
    ASSERT_EQ(Insert(b, 1, 1, "x"), 0);
    ASSERT_EQ(Insert(b, 1, 1, "y"), 0);
    TextRecord first = {9, nullptr};
    int last = 9;
    EXPECT_EQ(Undo(&first, &last, b), 0);
    EXPECT_EQ(Text(b), "ab\n");
    EXPECT_EQ(first.length, 0);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(Undo(nullptr, nullptr, b), -3);
}

TEST_F(UndoTest, DamagedHistory) {
    // A deletion item without its text.
    Buffer *b = Make(kLf, "ab\n", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(AddUndoItem(kUndoDelete, b), 0);
    ASSERT_EQ(EndUndoFrame(kUndoDelete, nullptr, b), 0);
    EXPECT_EQ(Undo(nullptr, nullptr, b), -7);
    // An item with an unknown code.
    Buffer *c = Make(kLf, "ab\n", kCreateUndo);
    ASSERT_EQ(AddUndoItem(99, c), 0);
    EXPECT_EQ(Undo(nullptr, nullptr, c), -8);
    // An item whose start line is gone (the lines were removed behind the history's back).
    Buffer *d = Make(kLf, "a\nb\nc\n", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(d), 0);
    ASSERT_EQ(Insert(d, 3, 1, "x"), 0);
    Buffer *u = d->undoBuffer;
    d->undoBuffer = nullptr;
    ASSERT_EQ(DelRegion(1, 1, 4, 1, d), 0);
    d->undoBuffer = u;
    EXPECT_EQ(Undo(nullptr, nullptr, d), -6);
    EXPECT_EQ(gMessages,
              (Strings{"Undo: No undo information, undo delete", "UNDO Corrupt undo buffer"}));
}

TEST_F(UndoTest, ReadOnlyOwnerCannotBeUndone) {
    Buffer *b = Make(kLf, "ab\n", kCreateUndo);
    ASSERT_EQ(Insert(b, 1, 1, "x"), 0);
    b->flags |= kBufReadOnly;
    EXPECT_EQ(Undo(nullptr, nullptr, b), 1) << "the negated -1 of the refused edit";
    b->flags &= static_cast<uint16_t>(~kBufReadOnly);
    EXPECT_EQ(Undo(nullptr, nullptr, b), 0) << "the item stayed recorded";
    EXPECT_EQ(Text(b), "ab\n");
}

TEST_F(UndoTest, FailedInsertionDoesNotEndThePreviousItem) {
    Buffer *b = Make(kLf, "ab\n", kCreateUndo);
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(Insert(b, 1, 1, "x"), 0);
    UndoItem before = LatestItemOf(b);
    EXPECT_EQ(Insert(b, 1, 2, std::string(16383, 'y')), 3);
    UndoItem after = LatestItemOf(b);
    EXPECT_EQ(after.endLine, before.endLine);
    EXPECT_EQ(after.endColumn, before.endColumn);
    ASSERT_EQ(Undo(nullptr, nullptr, b), 0);
    EXPECT_EQ(Text(b), "ab\n");
}

TEST_F(UndoTest, FramesUnderAllocationFailure) {
    SweepAllocations(
        [] {
            Buffer *b = BufferCreate("t", kCreateDetached | kCreateUndo);
            b->lineBreakMode = kLf;
            return b;
        },
        [](Buffer *b) { return StartUndoFrame(b); },
        [](Buffer *b, int rc, bool failed, long) {
            EXPECT_EQ(rc == 0, !failed);
            if (failed) {
                EXPECT_TRUE(rc == 3 || rc == 4) << rc;
            }
            EXPECT_EQ(Undo(nullptr, nullptr, b), failed ? -3 : 0);
        });
}

// An edit in a frame that fails on allocation k is undone back to the text before it, and
// freeing the owner releases the saved texts.
TEST_F(UndoTest, EditsUnderAllocationFailureAreUndoneCompletely) {
    const std::string start = "alpha\n" + std::string(300, 'b') + "\ngamma\n";
    auto setup = [&] {
        Buffer *b = BufferCreate("t", kCreateDetached | kCreateUndo);
        b->lineBreakMode = kLf;
        Buffer *u = b->undoBuffer;
        b->undoBuffer = nullptr;
        Insert(b, 1, 1, start);
        b->undoBuffer = u;
        StartUndoFrame(b);
        DelRegion(1, 1, 1, 2, b); // an earlier edit of the frame, holding saved text
        return b;
    };
    // A failure may be harmless (a line that cannot move to a smaller allocation keeps its own).
    auto check = [&](Buffer *b, int, bool, long k) {
        EXPECT_EQ(Undo(nullptr, nullptr, b), 0) << "allocation " << k;
        EXPECT_EQ(Text(b), start) << "allocation " << k;
    };
    SweepAllocations(
        setup, [](Buffer *b) { return Insert(b, 2, 5, "x\ny\nz"); }, check);
    SweepAllocations(
        setup, [](Buffer *b) { return DelRegion(1, 3, 2, 299, b); }, check);
}

// One edit of a frame: an insertion when `text` is set, otherwise a deletion of the region.
struct FrameEdit {
    int32_t l1, c1;
    const char *text;
    int32_t l2 = 0, c2 = 0;
};

// Frames of successful edits are undone to exactly the text they started from, also when a
// region starts or ends past the end of its line and after InsertLine made a line (outside the
// frame) in line-feed mode.
TEST_F(UndoTest, AFrameIsUndoneToTheTextItStartedFrom) {
    constexpr int32_t E = kEndOfLineColumn;
    struct Case {
        const char *label;
        const char *start;
        int32_t insertLineAt; // line to InsertLine at before the frame; 0 for none
        int insertLineAfter;
        std::vector<FrameEdit> edits;
    } cases[] = {
        // clang-format off
        {"region from past the first line's end", "ab\ncd\nef\n", 0, 0, {{1, E, nullptr, 2, E}}},
        {"region from past the end into a line", "a\nb", 0, 0, {{1, E, nullptr, 2, 3}}},
        {"region from one past the end", "a\nb", 0, 0, {{1, 3, nullptr, 2, E}, {2, 4, "X"}}},
        {"both ends past their lines", "ab\ncd\nef\n", 0, 0, {{1, 5, nullptr, 3, E}}},
        {"two inserts after InsertLine", "a\nb", 2, 0, {{2, 1, ";"}, {1, 1, "X"}}},
        {"InsertLine after the last line", "a\nb", 4, 1, {{1, E, ";\n"}, {2, 2, nullptr, 3, 4}}},
        {"InsertLine after the first line", "a\nb", 1, 1, {{5, 4, "X"}, {1, 2, "\n"}, {3, 4, nullptr, 4, 1}}},
        {"InsertLine before the first line", "x", 3, 0, {{5, 3, ";\n"}, {1, 2, ";"}, {3, 1, ";\n"}}},
        // clang-format on
    };
    for (const Case &c : cases) {
        Buffer *b = Make(kLf, c.start, kCreateUndo);
        if (c.insertLineAt) {
            Buffer *u = b->undoBuffer;
            b->undoBuffer = nullptr;
            BufferGoto(c.insertLineAt, 1, b);
            ASSERT_EQ(InsertLine(c.insertLineAfter, b), 0) << c.label;
            b->undoBuffer = u;
        }
        const std::string before = Text(b);
        ASSERT_EQ(StartUndoFrame(b), 0);
        for (const FrameEdit &e : c.edits) {
            if (e.text)
                ASSERT_EQ(Insert(b, e.l1, e.c1, e.text), 0) << c.label;
            else
                ASSERT_EQ(DelRegion(e.l1, e.c1, e.l2, e.c2, b), 0) << c.label;
        }
        EXPECT_EQ(Undo(nullptr, nullptr, b), 0) << c.label;
        EXPECT_EQ(Text(b), before) << c.label;
    }
}

// The model: the text cut after every line feed, the piece after the last always present.
Strings Cut(const std::string &text) {
    Strings lines(1);
    for (char c : text) {
        lines.back() += c;
        if (c == '\n')
            lines.emplace_back();
    }
    return lines;
}

std::string Join(const Strings &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += line;
    return text;
}

TEST_F(UndoTest, RandomEditsInFramesAgainstAModel) {
    std::mt19937 random(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    Buffer *b = Make(kLf, "start\n", kCreateUndo);
    Strings model = Cut("start\n");
    std::vector<Strings> history; // the model before each frame
    const char pieces[] = "ab\n\nxyz";
    for (int step = 0; step < 3000; step++) {
        ASSERT_EQ(StartUndoFrame(b), 0);
        history.push_back(model);
        for (int edits = pick(1, 2); edits > 0; edits--) {
            int32_t lines = static_cast<int32_t>(model.size());
            auto insertEnd = [&](int32_t l) {
                const std::string &s = model[l - 1];
                return static_cast<int32_t>(!s.empty() && s.back() == '\n' ? s.size()
                                                                           : s.size() + 1);
            };
            if (pick(0, 2) > 0 || Join(model).empty()) {
                int32_t l = pick(1, lines), c = pick(1, insertEnd(l));
                std::string text;
                for (int n = pick(1, 6); n > 0; n--)
                    text += pieces[pick(0, static_cast<int>(sizeof pieces) - 2)];
                ASSERT_EQ(Insert(b, l, c, text), 0) << "step " << step;
                std::string &line = model[l - 1];
                std::string all = Join(Strings(model.begin(), model.begin() + l - 1)) +
                                  line.substr(0, c - 1) + text + line.substr(c - 1) +
                                  Join(Strings(model.begin() + l, model.end()));
                model = Cut(all);
            } else {
                int32_t l1 = pick(1, lines), l2 = pick(l1, std::min(lines, l1 + 2));
                int32_t c1 = pick(1, std::max<int32_t>(1, model[l1 - 1].size()));
                int32_t c2 = pick(l1 == l2 ? c1 : 1, std::max<int32_t>(1, model[l2 - 1].size()));
                ASSERT_EQ(DelRegion(l1, c1, l2, c2, b), 0) << "step " << step;
                size_t from = Join(Strings(model.begin(), model.begin() + l1 - 1)).size() +
                              std::min<size_t>(c1 - 1, model[l1 - 1].size());
                size_t to = Join(Strings(model.begin(), model.begin() + l2 - 1)).size() +
                            std::min<size_t>(c2, model[l2 - 1].size());
                std::string all = Join(model);
                if (to > from)
                    all.erase(from, to - from);
                model = Cut(all);
            }
            ASSERT_EQ(Lines(b), model) << "step " << step;
        }
    }
    while (!history.empty()) {
        ASSERT_EQ(Undo(nullptr, nullptr, b), 0) << history.size() << " frames left";
        ASSERT_EQ(Lines(b), history.back()) << history.size() << " frames left";
        history.pop_back();
    }
    EXPECT_EQ(Undo(nullptr, nullptr, b), -3);
}

} // namespace
