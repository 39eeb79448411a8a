// The line buffer: creation, allocation classes, positioning, byte and line edits, insertion
// with line breaks and fixed records, regions, search, the empty last line as its owners use it,
// and every operation's failure paths through the failing allocator.
#include "buffertest.h"

namespace {

using BufferTest = BufferFixture;

constexpr int32_t kLf = kBreakLineFeed;
constexpr int32_t kCrLf = kBreakLineFeed | kBreakCarriageReturn;

TEST_F(BufferTest, PrologWithoutAllocatorIsRefused) {
    EXPECT_EQ(BufferProlog(nullptr, failRelease, CollectError, CollectMessage), 1);
    EXPECT_EQ(BufferProlog(failAllocate, nullptr, CollectError, CollectMessage), 1);
    EXPECT_EQ(gErrors, Strings(2, "Buffer Prolog: no malloc !"));
    // The allocator installed before is still the one in use.
    Buffer *b = BufferCreate(nullptr, 0);
    EXPECT_EQ(failAllocOutstanding(), 1);
    BufferFree(b);
}

TEST_F(BufferTest, NewBufferDefaults) {
    Buffer *b = Make(kBreakFixedRecords);
    EXPECT_EQ(b->magic, kBufferMagic);
    EXPECT_EQ(CurrentLineNumber(b), 1);
    EXPECT_EQ(CurrentColumn(b), 1);
    EXPECT_EQ(CurrentLineLength(b), 0);
    EXPECT_EQ(b->markLine, -1);
    EXPECT_EQ(b->markEndLine, -1);
    EXPECT_EQ(b->markColumn, -1);
    EXPECT_EQ(b->markEndColumn, -1);
    EXPECT_EQ(b->lineBreakMode, kBreakFixedRecords);
    EXPECT_EQ(b->recordLength, 16);
    EXPECT_EQ(b->lineLimit, 16383);
    EXPECT_EQ(b->minimumAllocation, 256);
    EXPECT_EQ(b->maximumAllocation, 32752);
    EXPECT_EQ(b->firstLine, nullptr);
    EXPECT_EQ(b->fileStream, nullptr);
    EXPECT_EQ(b->undoBuffer, nullptr);
    ASSERT_NE(b->ops, nullptr);
    EXPECT_EQ(b->ops->bufferInsert, &BufferInsert);
    EXPECT_EQ(b->ops->lockLine, &LockLine);
    EXPECT_EQ(b->ops->unused, nullptr);
    EXPECT_EQ(CurrentLineNumber(nullptr), -1);
    EXPECT_EQ(CurrentColumn(nullptr), -1);
    EXPECT_EQ(CurrentLineLength(nullptr), 0);
}

TEST_F(BufferTest, CreationFlagsBecomeBufferFlags) {
    struct Case {
        int creation;
        uint16_t flags;
    } cases[] = {
        {0, kBufTempCopy},
        {kCreateReadOnly, kBufReadOnly},
        {kCreateNoCopy, kBufNoCopy},
        {kCreateBackup, kBufBackup | kBufTempCopy},
        {kCreateProgress, kBufProgress | kBufTempCopy},
        {kCreateDetached, kBufDetached | kBufInMemory | kBufNewFile},
    };
    for (const Case &c : cases) {
        Buffer *b = BufferCreate("notes.txt", c.creation);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->flags, c.flags) << "creation flags " << c.creation;
        EXPECT_STREQ(b->name, "notes.txt");
        BufferFree(b);
    }
    // Names are kept whole up to the path limit and refused beyond it, never cut.
    std::string longest(kBufferNameSize - 1, 'n');
    Buffer *b = BufferCreate(longest.c_str(), 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::string(b->name), longest);
    BufferFree(b);
    std::string tooLong(kBufferNameSize, 'n');
    EXPECT_EQ(BufferCreate(tooLong.c_str(), 0), nullptr);
    EXPECT_EQ(failAllocOutstanding(), 0);
}

TEST_F(BufferTest, TextAllocationClasses) {
    Buffer *b = Make(kLf);
    struct Case {
        int32_t n, size;
    } cases[] = {{1, 256},     {256, 256},     {257, 512},     {511, 512},     {512, 1024},
                 {4097, 8192}, {16383, 16384}, {16384, 32752}, {32752, 32752}, {32753, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(BufferTextClass(c.n, b), c.size) << c.n << " bytes";
    b->minimumAllocation = 36;
    EXPECT_EQ(BufferTextClass(36, b), 36);
    EXPECT_EQ(BufferTextClass(37, b), 64);
}

TEST_F(BufferTest, LineKeepsItsAllocationWhileGrowingAndShrinksByClass) {
    Buffer *b = Make(kLf, "x");
    long count = failAllocCount();
    for (int i = 0; i < 255; i++)
        ASSERT_EQ(InsertByte('y', b), 0);
    EXPECT_EQ(failAllocCount() - count, 0) << "256 bytes fit the first allocation";
    ASSERT_EQ(InsertByte('z', b), 0);
    EXPECT_EQ(failAllocCount() - count, 1) << "the 257th byte moves the line to 512";
    BufferGoto(1, 1, b);
    ASSERT_EQ(DeleteByte(b), 0);
    EXPECT_EQ(failAllocCount() - count, 2) << "back to 256 bytes, back to the 256 class";
    EXPECT_EQ(CurrentLineLength(b), 256);
}

TEST_F(BufferTest, FiveByteInsertionWithLineFeed) {
    Buffer *b = Make(kLf);
    ASSERT_EQ(Insert(b, 1, 1, "ab\ncd"), 0);
    EXPECT_EQ(Lines(b), (Strings{"ab\n", "cd"}));
    EXPECT_EQ(CurrentLineNumber(b), 2);
    EXPECT_EQ(CurrentColumn(b), 3);
    EXPECT_TRUE(b->flags & kBufModified);
}

TEST_F(BufferTest, InsertionPositions) {
    struct Case {
        int32_t mode;
        const char *start;
        int32_t line, column;
        const char *text;
        Strings lines;
        int32_t endLine, endColumn;
    } cases[] = {
        // A column past the end appends: before the line's own break in a line-break mode.
        {kLf, "ab\n", 1, 50, "XY", {"abXY\n", ""}, 1, 5},
        {kLf, "abc", 1, 50, "d", {"abcd"}, 1, 5},
        {kBreakFixedRecords, "abc", 1, 50, "d", {"abcd"}, 1, 5},
        // A line past the text appends at the empty last line, which positioning skips.
        {kLf, "ab\n", 2, 1, "cd\n", {"ab\n", "cd\n", ""}, 3, 1},
        {kLf, "ab\n", 9, 9, "c", {"ab\n", "c"}, 2, 2},
        {kLf, "ab", 9, 1, "c", {"abc"}, 1, 4},
        // Breaks in the middle of a line carry the rest along.
        {kLf, "abcd\n", 1, 3, "X\nY", {"abX\n", "Ycd\n", ""}, 2, 2},
        {kLf, "ab\ncd\n", 2, 1, "\n", {"ab\n", "\n", "cd\n", ""}, 3, 1},
        // Carriage return and line feed mode cuts after either.
        {kCrLf, "", 1, 1, "a\rb\nc", {"a\r", "b\n", "c"}, 3, 2},
        // Without a line-break mode nothing is cut.
        {0, "", 1, 1, "a\nb", {"a\nb"}, 1, 4},
    };
    for (const Case &c : cases) {
        Buffer *b = Make(c.mode, c.start);
        ASSERT_EQ(Insert(b, c.line, c.column, c.text), 0) << c.start << " + " << c.text;
        EXPECT_EQ(Lines(b), c.lines) << c.start << " + " << c.text;
        EXPECT_EQ(CurrentLineNumber(b), c.endLine) << c.start << " + " << c.text;
        EXPECT_EQ(CurrentColumn(b), c.endColumn) << c.start << " + " << c.text;
    }
}

TEST_F(BufferTest, GotoSkipsTheEmptyLastLine) {
    Buffer *b = Make(kLf, "one\ntwo\nthree\n");
    ASSERT_EQ(Lines(b).size(), 4u);
    struct Case {
        int32_t line, column, gotLine, gotColumn;
    } cases[] = {{100, 1, 3, 6}, {4, 1, 3, 6}, {2, 99, 2, 4}, {0, 2, 1, 2},
                 {-5, -5, 1, 1}, {3, 1, 3, 1}, {1, 4, 1, 4}};
    for (const Case &c : cases) {
        EXPECT_EQ(BufferGoto(c.line, c.column, b), 0);
        EXPECT_EQ(CurrentLineNumber(b), c.gotLine) << c.line << "," << c.column;
        EXPECT_EQ(CurrentColumn(b), c.gotColumn) << c.line << "," << c.column;
    }
    Buffer *empty = Make(kLf);
    EXPECT_EQ(BufferGoto(3, 3, empty), 1);
    EXPECT_EQ(CurrentLineNumber(empty), 1);
    EXPECT_EQ(CurrentColumn(empty), 1);
    EXPECT_EQ(BufferGoto(1, 1, nullptr), 1);
}

TEST_F(BufferTest, LockLine) {
    Buffer *b = Make(kLf, "ab\ncd\n");
    BufferGoto(2, 1, b);
    ASSERT_NE(LockLine(b), nullptr);
    EXPECT_EQ(std::string(LockLine(b), CurrentLineLength(b)), "cd\n");
    ASSERT_EQ(BufSeek(3, 1, b), 0); // the empty last line has no text of its own
    EXPECT_STREQ(LockLine(b), "");
    EXPECT_EQ(LockLine(nullptr), nullptr);
    EXPECT_EQ(gErrors, Strings{"No buffer or file for lock line !"});
}

TEST_F(BufferTest, ByteEdits) {
    Buffer *b = Make(kLf, "abc\n");
    BufferGoto(1, 2, b);
    ASSERT_EQ(InsertByte('X', b), 0);
    EXPECT_EQ(Lines(b)[0], "aXbc\n");
    EXPECT_EQ(CurrentColumn(b), 3);
    ASSERT_EQ(DeleteByte(b), 0); // removes 'b'
    EXPECT_EQ(Lines(b)[0], "aXc\n");
    BufferGoto(1, 4, b);
    ASSERT_EQ(DeleteByte(b), 0); // the last byte: the column moves back onto the new end
    EXPECT_EQ(Lines(b)[0], "aXc");
    EXPECT_EQ(CurrentColumn(b), 3);
    b->currentColumn = 4;
    EXPECT_EQ(DeleteByte(b), 3) << "nothing at a column past the end";
    ASSERT_EQ(BufSeek(2, 1, b), 0);
    EXPECT_EQ(DeleteByte(b), 3) << "the empty last line";
    Buffer *none = Make(kLf);
    EXPECT_EQ(DeleteByte(none), 2);
    EXPECT_EQ(InsertByte('a', none), 0) << "the first line is made";
    EXPECT_EQ(Lines(none), Strings{"a"});
    none->currentNode = nullptr;
    EXPECT_EQ(InsertByte('b', none), 2);
    EXPECT_EQ(gMessages, Strings{"InsertByte: line orphaned"});
    EXPECT_EQ(InsertByte('a', nullptr), 1);
    EXPECT_EQ(DeleteByte(nullptr), 1);
}

TEST_F(BufferTest, LineEdits) {
    Buffer *b = Make(kLf);
    ASSERT_EQ(InsertLine(1, b), 0);
    // In a line-break mode a new line holds its break, so the chain stays the text cut after
    // every break (undo relies on it).
    EXPECT_EQ(Lines(b), (Strings{"\n", ""})) << "the new line and the empty last line";
    Buffer *c = Make(kLf, "ab\ncd\n");
    ASSERT_EQ(BufSeek(3, 1, c), 0);
    ASSERT_EQ(InsertLine(1, c), 0);
    EXPECT_EQ(Lines(c), (Strings{"ab\n", "cd\n", "\n", ""}));
    EXPECT_EQ(CurrentLineNumber(c), 3) << "before the empty last line even when after is asked";
    ASSERT_EQ(DeleteLine(c), 0);
    BufferGoto(1, 1, c);
    ASSERT_EQ(InsertLine(0, c), 0);
    EXPECT_EQ(CurrentLineNumber(c), 1);
    EXPECT_EQ(c->firstLine, c->currentNode);
    ASSERT_EQ(DeleteLine(c), 0);
    EXPECT_EQ(Lines(c), (Strings{"ab\n", "cd\n", ""}));
    ASSERT_EQ(BufSeek(3, 1, c), 0);
    ASSERT_EQ(DeleteLine(c), 0); // the last: the previous line becomes current
    EXPECT_EQ(CurrentLineNumber(c), 2);
    BufferGoto(1, 1, c);
    ASSERT_EQ(DeleteLine(c), 0);
    EXPECT_EQ(c->firstLine, c->currentNode);
    EXPECT_EQ(Lines(c), Strings{"cd\n"});
    ASSERT_EQ(DeleteLine(c), 0);
    EXPECT_EQ(c->firstLine, nullptr);
    EXPECT_EQ(DeleteLine(c), 2);
    EXPECT_EQ(InsertLine(1, nullptr), 1);
    EXPECT_EQ(DeleteLine(nullptr), 1);
    // After a last line without its break, the line takes the break and the new line is the
    // empty last line; before it, the new line is a line of its own. Records keep no breaks.
    Buffer *d = Make(kLf, "ab\ncd");
    ASSERT_EQ(BufSeek(2, 1, d), 0);
    ASSERT_EQ(InsertLine(1, d), 0);
    EXPECT_EQ(Lines(d), (Strings{"ab\n", "cd\n", ""}));
    EXPECT_EQ(CurrentLineNumber(d), 3);
    ASSERT_EQ(BufSeek(2, 1, d), 0);
    ASSERT_EQ(InsertLine(0, d), 0);
    EXPECT_EQ(Lines(d), (Strings{"ab\n", "\n", "cd\n", ""}));
    Buffer *e = Make(kBreakLineFeed | kBreakCarriageReturn, "ab\r");
    ASSERT_EQ(BufSeek(1, 1, e), 0);
    ASSERT_EQ(InsertLine(0, e), 0);
    EXPECT_EQ(Lines(e), (Strings{"\r", "ab\r", ""}));
    Buffer *f = Make(kBreakFixedRecords, "abc");
    ASSERT_EQ(InsertLine(1, f), 0);
    EXPECT_EQ(Lines(f), (Strings{"abc", ""}));
}

TEST_F(BufferTest, DeleteRegion) {
    struct Case {
        const char *text;
        int32_t l1, c1, l2, c2;
        Strings lines;
        int32_t line, column;
    } cases[] = {
        {"ab\ncd", 1, 2, 2, 1, {"ad"}, 1, 2},
        {"ab\ncd", 2, 1, 1, 2, {"ad"}, 1, 2}, // the ends in either order
        {"ab\ncd\nef", 1, 2, 2, 3, {"aef"}, 1, 2},
        {"ab\n", 1, 3, 1, 3, {"ab"}, 1, 3},
        {"ab\ncd\n", 1, 3, 1, 3, {"abcd\n", ""}, 1, 3},
        {"abcdef", 1, 2, 1, 3, {"adef"}, 1, 2},
        {"ab\ncd\nef\n", 1, 1, 2, 3, {"ef\n", ""}, 1, 1},
        {"ab\ncd\n", 2, 1, 2, 3, {"ab\n", ""}, 2, 1},
        {"ab\ncd", 2, 1, 2, 2, {"ab\n", ""}, 2, 1}, // the emptied last line stays as the empty one
        {"ab\ncd", 1, 1, 2, 9, {""}, 1, 1},
        {"ab\ncd\n", 1, 2, 2, 16383, {"a"}, 1, 2},
        {"ab\n", 1, 5, 1, 9, {"ab\n", ""}, 1, 3}, // nothing in the region
    };
    for (const Case &c : cases) {
        Buffer *b = Make(kLf, c.text);
        ASSERT_EQ(DelRegion(c.l1, c.c1, c.l2, c.c2, b), 0) << c.text;
        EXPECT_EQ(Lines(b), c.lines) << c.text << " " << c.l1 << "," << c.c1;
        EXPECT_EQ(CurrentLineNumber(b), c.line) << c.text << " " << c.l1 << "," << c.c1;
        EXPECT_EQ(CurrentColumn(b), c.column) << c.text << " " << c.l1 << "," << c.c1;
    }
    Buffer *b = Make(kLf, "ab\ncd");
    EXPECT_EQ(DelRegion(7, 1, 8, 1, b), 1);
    EXPECT_EQ(DelRegion(1, 1, 3, 1, b), 3);
    EXPECT_EQ(gMessages, (Strings{"Delete region start not in buffer", "DelReg: no next line"}));
    EXPECT_EQ(Lines(b), (Strings{"ab\n", "cd"}));
    EXPECT_EQ(DelRegion(1, 1, 1, 1, nullptr), 1);
}

TEST_F(BufferTest, DeleteRegionKeepsFixedRecordsApart) {
    Buffer *b = Make(kBreakFixedRecords);
    b->recordLength = 4;
    for (const char *record : {"abcd", "efgh", "ijkl"})
        ASSERT_EQ(Insert(b, 99, 99, record), 0);
    ASSERT_EQ(Lines(b), (Strings{"abcd", "efgh", "ijkl"}));
    ASSERT_EQ(DelRegion(1, 3, 3, 2, b), 0);
    EXPECT_EQ(Lines(b), (Strings{"ab", "kl"}));
}

TEST_F(BufferTest, JoinThatWouldOverflowALineIsRefused) {
    std::string a(10000, 'a'), c(10000, 'c');
    Buffer *b = Make(kLf, a + "\n" + c + "\n");
    EXPECT_EQ(DelRegion(1, 10001, 1, 10001, b), 10);
    EXPECT_EQ(gMessages, Strings{"DelReg: line too long"});
    EXPECT_EQ(Text(b), a + "\n" + c + "\n");
}

TEST_F(BufferTest, Region) {
    Buffer *b = Make(kLf, "ab\ncd\nef");
    BufferGoto(3, 2, b);
    TextRecord r = {0, nullptr};
    ASSERT_EQ(BufferRegion(1, 2, 2, 1, &r, b), &r);
    EXPECT_EQ(r.length, 3);
    EXPECT_STREQ(r.text, "b\nc");
    ASSERT_EQ(BufferRegion(1, 1, 9, 1, &r, b), &r) << "a last line past the text runs to its end";
    EXPECT_STREQ(r.text, "ab\ncd\nef");
    EXPECT_EQ(CurrentLineNumber(b), 3);
    EXPECT_EQ(CurrentColumn(b), 2);
    EXPECT_EQ(BufferRegion(1, 3, 1, 2, &r, b), nullptr);
    EXPECT_TRUE(gMessages.empty()) << "an empty region is no error";
    EXPECT_EQ(BufferRegion(2, 1, 1, 5, &r, b), nullptr);
    EXPECT_EQ(BufferRegion(9, 1, 9, 5, &r, b), nullptr);
    EXPECT_EQ(gMessages, (Strings{"BufferRegion: Must have region in order",
                                  "BufferRegion: region start not in buffer"}));
    EXPECT_STREQ(r.text, "ab\ncd\nef") << "the record is untouched by a failure";
    FreeTextRecord(&r);
}

TEST_F(BufferTest, Search) {
    struct Case {
        const char *text;
        int32_t line, column;
        const char *needle;
        int caseSensitive;
        int rc;
        int32_t foundLine, foundColumn;
    } cases[] = {
        {"xab\n", 1, 1, "AB", 0, 0, 1, 2},    {"xab\n", 1, 1, "AB", 1, 5, 1, 1},
        {"xAB\n", 1, 1, "AB", 1, 0, 1, 2},    {"ab\nxx\nzab\n", 2, 1, "ab", 1, 0, 3, 2},
        {"ab\nab\n", 1, 2, "ab", 1, 0, 2, 1}, // from the current column on
        {"a\nb\n", 1, 1, "a\nb", 1, 5, 1, 1}, // a match lies within one line
        {"[x]\n", 1, 1, "[X]", 0, 0, 1, 1},   // only letters fold
        {"{x\n", 1, 1, "[", 0, 5, 1, 1},
    };
    for (const Case &c : cases) {
        Buffer *b = Make(kLf, c.text);
        BufferGoto(c.line, c.column, b);
        EXPECT_EQ(BufferSearch(c.needle, c.caseSensitive, b), c.rc) << c.needle;
        EXPECT_EQ(CurrentLineNumber(b), c.foundLine) << c.needle;
        EXPECT_EQ(CurrentColumn(b), c.foundColumn) << c.needle;
    }
    Buffer *b = Make(kLf, "ab");
    EXPECT_EQ(BufferSearch("a", 0, nullptr), 1);
    EXPECT_EQ(BufferSearch("", 0, b), 2);
    EXPECT_EQ(BufferSearch("a", 0, Make(kLf)), 3);
}

TEST_F(BufferTest, ReadOnlyBufferRejectsEveryEdit) {
    Buffer *b = Make(kLf, "ab\ncd\n");
    b->flags |= kBufReadOnly;
    BufferGoto(1, 1, b);
    EXPECT_EQ(InsertByte('x', b), -1);
    EXPECT_EQ(DeleteByte(b), -1);
    EXPECT_EQ(InsertLine(1, b), -1);
    EXPECT_EQ(DeleteLine(b), -1);
    EXPECT_EQ(Insert(b, 1, 1, "x"), -1);
    EXPECT_EQ(DelRegion(1, 1, 2, 1, b), -1);
    EXPECT_EQ(Lines(b), (Strings{"ab\n", "cd\n", ""}));
}

TEST_F(BufferTest, EditBoxHoldsOneLine) {
    Buffer *b = Make(kLf);
    b->recordLength = 16383;
    b->lineLimit = 1;
    ASSERT_EQ(Insert(b, 1, 1, "\n"), 0);
    ASSERT_EQ(Insert(b, 1, 1, "12.5"), 0);
    EXPECT_EQ(Lines(b), Strings{"12.5\n"});
    ASSERT_EQ(Insert(b, 1, 3, "\n"), 0) << "a typed line break";
    EXPECT_EQ(Lines(b), Strings{"12\n.5\n"});
    EXPECT_EQ(CurrentColumn(b), 4);
}

TEST_F(BufferTest, ListBoxItemsStartAtLineOne) {
    Buffer *b = Make(kCrLf);
    b->recordLength = 16383;
    b->flags |= kBufInMemory;
    ASSERT_EQ(Insert(b, 1, 1, "\n"), 0);
    for (char r = 'A'; r < 'A' + 16; r++) {
        // At the cursor, at column 1 when the cursor is on the empty last line.
        int32_t column = CurrentLineLength(b) == 0 ? 1 : CurrentColumn(b);
        ASSERT_EQ(Insert(b, CurrentLineNumber(b), column, std::string(1, r) + " | 0\n"), 0);
    }
    Strings lines = Lines(b);
    ASSERT_EQ(lines.size(), 17u) << "16 items and the empty last line";
    for (int n = 1; n <= 16; n++)
        EXPECT_EQ(lines[n - 1], std::string(1, static_cast<char>('A' + n - 1)) + " | 0\n");
    EXPECT_EQ(lines[16], "");
    BufferGoto(100, 1, b);
    EXPECT_EQ(CurrentLineNumber(b), 16) << "the empty last line is never current";
}

TEST_F(BufferTest, ProgramGrowsAboveItsEndMarker) {
    Buffer *b = Make(kCrLf);
    ASSERT_EQ(Insert(b, 1, 1, "\n"), 0);
    ASSERT_EQ(Insert(b, 1, 1, "__ end __\n"), 0);
    BufferGoto(1, 1, b);
    for (const char *step : {"1\n", "+\n", "2\n"})
        ASSERT_EQ(Insert(b, CurrentLineNumber(b), 1, step), 0);
    EXPECT_EQ(Text(b), "1\n+\n2\n__ end __\n");
    BufferGoto(1000, 1, b);
    EXPECT_EQ(std::string(LockLine(b), CurrentLineLength(b)), "__ end __\n");
    EXPECT_EQ(CurrentLineNumber(b), 4);
}

TEST_F(BufferTest, LinesLongerThan16383BytesAreRefused) {
    std::string full(16383, 'x');
    Buffer *b = Make(kLf, full);
    EXPECT_EQ(InsertByte('y', b), 3);
    EXPECT_EQ(Insert(b, 1, 1, "y"), 3);
    EXPECT_EQ(Insert(b, 1, 1, "y\nz"), 3) << "the rest of the line moves onto the new one";
    EXPECT_EQ(gMessages, Strings(3, "InsertByte: line too long"));
    EXPECT_EQ(Text(b), full);
    ASSERT_EQ(Insert(b, 1, 1, "\n"), 0) << "a cut leaves both lines within the limit";
    EXPECT_EQ(Lines(b), (Strings{"\n", full}));
    Buffer *c = Make(kLf);
    std::string two = std::string(16000, 'a') + "\n" + std::string(16000, 'b');
    ASSERT_EQ(Insert(c, 1, 1, two), 0);
    EXPECT_EQ(Lines(c).size(), 2u);
}

TEST_F(BufferTest, FixedRecords) {
    Buffer *b = Make(kBreakFixedRecords);
    b->recordLength = 4;
    ASSERT_EQ(Insert(b, 1, 1, "ab"), 0);
    EXPECT_EQ(Insert(b, 1, 3, "cde"), 88);
    EXPECT_EQ(gMessages, Strings{"Insert: Wrong length for fixed record"});
    ASSERT_EQ(Insert(b, 1, 3, "c\nd"), 88);
    ASSERT_EQ(Insert(b, 1, 3, "cd"), 0);
    ASSERT_EQ(Insert(b, 1, 5, "efgh"), 0) << "a full record: a new record line";
    EXPECT_EQ(Lines(b), (Strings{"abcd", "efgh"}));
    EXPECT_EQ(CurrentLineNumber(b), 2);
    b->lineLimit = 2;
    EXPECT_EQ(Insert(b, 2, 5, "ijkl"), 66);
}

TEST_F(BufferTest, MessagesGoNowhereWithoutCallbacks) {
    ASSERT_EQ(BufferProlog(failAllocate, failRelease, nullptr, nullptr), 0);
    Buffer *b = Make(kLf, "ab");
    EXPECT_EQ(DelRegion(5, 1, 5, 1, b), 1);
    EXPECT_STREQ(BufferMessageText(), "Delete region start not in buffer");
    EXPECT_EQ(LockLine(nullptr), nullptr);
    EXPECT_STREQ(BufferMessageText(), "No buffer or file for lock line !");
}

TEST_F(BufferTest, InsertUnderAllocationFailure) {
    const std::string start = "first line\nsecond line\n";
    const std::string text = std::string(300, 'p') + "\nq\nr";
    std::vector<int> seen;
    SweepAllocations(
        [&] {
            Buffer *b = BufferCreate("t", kCreateDetached);
            b->lineBreakMode = kLf;
            Insert(b, 1, 1, start);
            BufferGoto(1, 6, b);
            return b;
        },
        [&](Buffer *b) { return Insert(b, 1, 6, text); },
        [&](Buffer *b, int rc, bool failed, long k) {
            if (!failed) {
                EXPECT_EQ(rc, 0);
                EXPECT_EQ(Text(b), "first" + text + " line\nsecond line\n");
                return;
            }
            EXPECT_TRUE(rc == 3 || rc == 5 || rc == 6 || rc == 7) << rc << " at " << k;
            seen.push_back(rc);
            // Consistent: the original text with a prefix of the insertion in it.
            std::string now = Text(b);
            std::string inserted = now.substr(5, now.size() - start.size());
            EXPECT_EQ(now, "first" + inserted + " line\nsecond line\n");
            EXPECT_EQ(text.compare(0, inserted.size(), inserted), 0);
        });
    EXPECT_FALSE(seen.empty());
}

TEST_F(BufferTest, DeleteRegionUnderAllocationFailureChangesNothing) {
    const std::string start = "ab\n" + std::string(200, 'c') + "\n" + std::string(200, 'd') + "\n";
    SweepAllocations(
        [&] {
            Buffer *b = BufferCreate("t", kCreateDetached);
            b->lineBreakMode = kLf;
            Insert(b, 1, 1, start);
            return b;
        },
        [&](Buffer *b) { return DelRegion(2, 100, 2, 201, b); }, // joins 300 bytes
        [&](Buffer *b, int rc, bool failed, long) {
            if (!failed) {
                EXPECT_EQ(rc, 0);
                EXPECT_EQ(Lines(b)[1], std::string(99, 'c') + std::string(200, 'd') + "\n");
                return;
            }
            EXPECT_EQ(rc, 8);
            EXPECT_EQ(Text(b), start);
        });
    EXPECT_EQ(gErrors.back(), "Join Lines");
}

TEST_F(BufferTest, CreateUnderAllocationFailure) {
    for (long k = 1; k < 10; k++) {
        failAllocReset(k);
        gMessages.clear();
        Buffer *b = BufferCreate("pad", kCreateUndo | kCreateDetached);
        bool failed = failAllocTriggered();
        if (k == 1)
            EXPECT_EQ(b, nullptr);
        else if (failed) {
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->undoBuffer, nullptr);
            EXPECT_EQ(gMessages, Strings{"Cant make undo buffer pad"});
        }
        BufferFree(b);
        EXPECT_EQ(failAllocOutstanding(), 0);
        if (!failed) {
            ASSERT_NE(b, nullptr);
            break;
        }
    }
}

TEST_F(BufferTest, RegionWithoutMemory) {
    TextRecord r = {0, nullptr};
    SweepAllocations(
        [] {
            Buffer *b = BufferCreate("t", kCreateDetached);
            b->lineBreakMode = kLf;
            Insert(b, 1, 1, "ab\n");
            return b;
        },
        [&](Buffer *b) { return BufferRegion(1, 1, 1, 2, &r, b) ? 0 : 1; },
        [&](Buffer *, int rc, bool failed, long) {
            EXPECT_EQ(rc, failed ? 1 : 0);
            EXPECT_STREQ(r.text, failed ? nullptr : "ab");
            FreeTextRecord(&r);
        });
    EXPECT_EQ(gErrors, Strings{"BufferRegion"});
}

} // namespace
