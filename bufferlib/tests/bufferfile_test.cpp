// Buffer files: ReadBuffer's line split in every mode, lines paged in through the stream, working
// copies, read-only files, WriteBuffer's results, backups and the old file kept intact by every
// failed write, a long round trip with edits, and allocation failures during reading and writing.
#include "filetest.h"

#include <csignal>
#include <random>
#include <sys/resource.h>

namespace {

using BufferFileTest = FileFixture;

constexpr int32_t kLf = kBreakLineFeed;
constexpr int32_t kCr = kBreakCarriageReturn;
constexpr int32_t kCrLf = kBreakLineFeed | kBreakCarriageReturn;
constexpr int32_t kFixed = kBreakFixedRecords;

NodeShape InFile(int64_t offset, int32_t length) { return {true, offset, length}; }
const NodeShape kEmptyLast = {false, -1, 0};

TEST_F(BufferFileTest, SplitsLinesInEveryMode) {
    struct Case {
        const char *label;
        int32_t mode;
        int32_t recordLength;
        int64_t fileStart;
        std::string bytes;
        std::vector<NodeShape> shapes;
        Strings lines;
    } cases[] = {
        // clang-format off
        {"three bytes in line-feed mode", kLf, 16, 0, "a\nb", {InFile(0, 2), InFile(2, 1)}, {"a\n", "b"}},
        {"a final break gets the empty last line", kLf, 16, 0, "a\nb\n", {InFile(0, 2), InFile(2, 2), kEmptyLast}, {"a\n", "b\n", ""}},
        {"an empty file keeps one empty line", kLf, 16, 0, "", {kEmptyLast}, {""}},
        {"CR LF drops the line feed", kCrLf, 16, 0, "a\r\nb", {InFile(0, 2), InFile(3, 1)}, {"a\r", "b"}},
        {"CR LF with empty lines", kCrLf, 16, 0, "a\r\n\r\nb\r\n", {InFile(0, 2), InFile(3, 1), InFile(5, 2), kEmptyLast}, {"a\r", "\r", "b\r", ""}},
        {"CR LF takes a lone line feed and a lone return", kCrLf, 16, 0, "a\nb\rc", {InFile(0, 2), InFile(2, 2), InFile(4, 1)}, {"a\n", "b\r", "c"}},
        {"carriage-return mode keeps line feeds inside", kCr, 16, 0, "a\rb\n", {InFile(0, 2), InFile(2, 2)}, {"a\r", "b\n"}},
        {"line feeds and records of 3", kLf | kFixed, 3, 0, "abcdef\ng", {InFile(0, 3), InFile(3, 3), InFile(6, 1), InFile(7, 1)}, {"abc", "def", "\n", "g"}},
        {"pure records, the last one shorter", kFixed, 4, 0, "0123456789", {InFile(0, 4), InFile(4, 4), InFile(8, 2)}, {"0123", "4567", "89"}},
        {"a record length below 1 counts as 1", kFixed, 0, 0, "ab", {InFile(0, 1), InFile(1, 1)}, {"a", "b"}},
        {"the text begins at the file start", kLf, 16, 3, "HDRa\nb", {InFile(3, 2), InFile(5, 1)}, {"a\n", "b"}},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(Path("split.txt"), c.bytes);
        Buffer *b = BufferCreate(Path("split.txt").c_str(), kCreateNoCopy);
        ASSERT_NE(b, nullptr);
        b->lineBreakMode = c.mode;
        b->recordLength = c.recordLength;
        b->fileStart = c.fileStart;
        ASSERT_EQ(ReadBuffer(b), 0);
        EXPECT_EQ(Shapes(b), c.shapes);
        EXPECT_EQ(FileLines(b), c.lines);
        EXPECT_EQ(b->flags & (kBufInMemory | kBufNewFile | kBufModified | kBufReadOnly),
                  kBufInMemory);
        EXPECT_EQ(CurrentLineNumber(b), 1);
        BufferFree(b);
    }
    EXPECT_EQ(gMessages, Strings{});
}

TEST_F(BufferFileTest, LinesLongerThanANodeAreCutAndWriteBackWhole) {
    std::string longLine(kMaxLineLength + 10, 'x');
    std::string text = longLine + "\nshort\n";
    WriteFile(Path("long.txt"), text);
    Buffer *b = Open(Path("long.txt"), kLf);
    EXPECT_EQ(Shapes(b),
              (std::vector<NodeShape>{InFile(0, kMaxLineLength), InFile(kMaxLineLength, 11),
                                      InFile(kMaxLineLength + 11, 6), kEmptyLast}));
    EXPECT_EQ(FileText(b), text);
    ASSERT_EQ(Insert(b, 3, 1, ">"), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("long.txt")), longLine + "\n>short\n");
}

// A page smaller than the lines: every line is paged in again, the page enlarged for the long
// ones, walking forwards and backwards.
TEST_F(BufferFileTest, PagesInLinesWithAPageSmallerThanALine) {
    std::mt19937 random(7);
    Strings expected;
    std::string text;
    for (int i = 0; i < 300; i++) {
        size_t len = i % 50 == 7 ? 10000 : 1 + random() % 300;
        std::string line(len, static_cast<char>('a' + i % 26));
        line += '\n';
        expected.push_back(line);
        text += line;
    }
    expected.push_back("");
    WriteFile(Path("paged.txt"), text);
    for (int32_t page : {8, 100, -1}) {
        SCOPED_TRACE(page);
        Buffer *b = Open(Path("paged.txt"), kLf, kCreateNoCopy);
        ASSERT_EQ(fClose(b->fileStream), 0);
        b->fileStream = fOpen(Path("paged.txt").c_str(), O_RDONLY, 0, page);
        ASSERT_NE(b->fileStream, nullptr);
        EXPECT_EQ(FileLines(b), expected);
        Strings backwards;
        for (int32_t line = b->lineCount; line >= 1; line--) {
            ASSERT_EQ(BufSeek(line, 1, b), 0);
            const char *bytes = LockLine(b);
            ASSERT_NE(bytes, nullptr);
            backwards.insert(backwards.begin(),
                             std::string(bytes, static_cast<size_t>(CurrentLineLength(b))));
        }
        EXPECT_EQ(backwards, expected);
    }
}

TEST_F(BufferFileTest, LineLimitStopsTheScanAndKeepsTheFileSafe) {
    struct Case {
        const char *text;
        Strings lines;
        bool stopped;
    } cases[] = {
        {"a\nb\nc\n", {"a\n", "b\n", "c\n"}, false}, // exactly the limit: no empty last line
        {"a\nb\nc\nd\n", {"a\n", "b\n", "c\n"}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        gMessages.clear();
        WriteFile(Path("limit.txt"), c.text);
        Buffer *b = BufferCreate(Path("limit.txt").c_str(), 0);
        b->lineBreakMode = kLf;
        b->lineLimit = 3;
        EXPECT_EQ(ReadBuffer(b), 0);
        EXPECT_EQ(FileLines(b), c.lines);
        EXPECT_EQ((b->flags & kBufReadOnly) != 0, c.stopped);
        EXPECT_EQ(gMessages, c.stopped ? Strings{"Readbuf: linecount exceeded"} : Strings{});
        if (c.stopped) { // a partial text is never written over the whole file
            b->flags |= kBufModified;
            EXPECT_EQ(WriteBuffer(b), 1);
            EXPECT_EQ(ReadFile(Path("limit.txt")), c.text);
        }
        BufferFree(b);
    }
}

TEST_F(BufferFileTest, UnusableFilesLeaveTheBufferAsItWas) {
    WriteFile(Path("good.txt"), "kept\n");
    mkdir(Path("dir.txt").c_str(), 0700);
    ASSERT_EQ(mkfifo(Path("fifo.txt").c_str(), 0600), 0);
    WriteFile(Path("secret.txt"), "x\n", 0);
    struct Case {
        const char *name;
        int32_t mode;
        const char *message;
        bool needsNonRoot;
    } cases[] = {
        {"dir.txt", kLf, "ReadBuffer not a regular file", false},
        {"fifo.txt", kLf, "ReadBuffer not a regular file", false},
        {"good.txt", 0, "ReadBuffer lbsNONE", false},
        {"secret.txt", kLf, "ReadBuffer Permission denied", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && geteuid() == 0) {
            std::cout << "skipped " << c.name << ": root reads files without read permission\n";
            continue;
        }
        Buffer *b = Open(Path("good.txt"), kLf);
        gMessages.clear();
        memcpy(b->name, Path(c.name).c_str(), Path(c.name).size() + 1);
        b->lineBreakMode = c.mode;
        FileStream *stream = b->fileStream;
        EXPECT_EQ(ReadBuffer(b), 1);
        EXPECT_EQ(gMessages, Strings{c.message});
        EXPECT_EQ(b->fileStream, stream);
        EXPECT_EQ(FileLines(b), (Strings{"kept\n", ""}));
        EXPECT_EQ(TempFiles().size(), 1u) << "only the working copy of good.txt";
        BufferFree(b);
        Forget(b);
    }
}

// A new file gets what every editor's new files get: 0666 less the umask.
TEST_F(BufferFileTest, MissingFileIsANewEmptyBufferWrittenWithTheUmasksMode) {
    Buffer *b = Open(Path("new.txt"), kLf);
    EXPECT_EQ(b->flags & (kBufNewFile | kBufInMemory | kBufModified), kBufNewFile | kBufInMemory);
    EXPECT_EQ(Shapes(b), std::vector<NodeShape>{kEmptyLast});
    EXPECT_EQ(b->fileStream, nullptr);
    EXPECT_FALSE(fExists(Path("new.txt").c_str()));
    ASSERT_EQ(Insert(b, 1, 1, "hello\nworld\n"), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("new.txt")), "hello\nworld\n");
    EXPECT_EQ(Mode(Path("new.txt")), NewFileMode());
    EXPECT_EQ(b->flags & (kBufNewFile | kBufModified), 0);
    ASSERT_NE(b->fileStream, nullptr);
    EXPECT_EQ(Shapes(b), (std::vector<NodeShape>{InFile(0, 6), InFile(6, 6), kEmptyLast}));
    EXPECT_EQ(b->fileTime, fModTime(Path("new.txt").c_str()));
    EXPECT_EQ(gErrors, Strings{});
}

TEST_F(BufferFileTest, FileWithoutOwnerWriteOpensReadOnlyWithoutACopy) {
    WriteFile(Path("ro.txt"), "fixed\n", 0444);
    Buffer *b = Open(Path("ro.txt"), kLf);
    EXPECT_NE(b->flags & kBufReadOnly, 0);
    EXPECT_EQ(TempFiles(), Strings{});
    EXPECT_EQ(InsertByte('x', b), -1);
    b->flags |= kBufModified;
    EXPECT_EQ(WriteBuffer(b), 1);
    EXPECT_EQ(ReadFile(Path("ro.txt")), "fixed\n");
    EXPECT_EQ(DirFiles(), Strings{"ro.txt"});
}

TEST_F(BufferFileTest, WorkingCopyShieldsTheBufferAndIsRemovedWithIt) {
    WriteFile(Path("w.txt"), "one\ntwo\n", 0640);
    Buffer *b = Open(Path("w.txt"), kLf);
    ASSERT_NE(b->fileStream, nullptr);
    Strings copies = TempFiles();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(std::string(b->fileStream->name), copies[0]);
    EXPECT_EQ(copies[0].substr(copies[0].size() - 4), ".tmq");
    EXPECT_EQ(Mode(copies[0]), 0600);
    EXPECT_EQ(b->fileTime, fModTime(Path("w.txt").c_str()));
    WriteFile(Path("w.txt"), "changed underneath\n", 0640);
    EXPECT_EQ(FileLines(b), (Strings{"one\n", "two\n", ""}));
    ASSERT_EQ(ReadBuffer(b), 0); // reading again replaces the old copy
    EXPECT_EQ(FileLines(b), (Strings{"changed underneath\n", ""}));
    Strings again = TempFiles();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0], copies[0]);
    BufferFree(b);
    Forget(b);
    EXPECT_EQ(TempFiles(), Strings{});
}

TEST_F(BufferFileTest, WriteWithoutChangesTouchesNothing) {
    WriteFile(Path("same.txt"), "a\n");
    Buffer *b = Open(Path("same.txt"), kLf, kCreateBackup);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, Path("same.txt").c_str(), times, 0);
    EXPECT_EQ(WriteBuffer(b), -1);
    EXPECT_EQ(fModTime(Path("same.txt").c_str()), 1000000000);
    EXPECT_EQ(DirFiles(), Strings{"same.txt"});
    EXPECT_EQ(WriteBuffer(nullptr), 1);
}

TEST_F(BufferFileTest, BackupKeepsThePreviousVersion) {
    WriteFile(Path("notes.txt"), "first\n", 0640);
    Buffer *b = Open(Path("notes.txt"), kLf, kCreateBackup | kCreateProgress);
    gMessages.clear();
    ASSERT_EQ(Insert(b, 1, 1, "second "), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("notes.txt")), "second first\n");
    EXPECT_EQ(ReadFile(Path("notes.txt.bak")), "first\n");
    EXPECT_EQ(Mode(Path("notes.txt")), 0640);
    EXPECT_EQ(gMessages, (Strings{"Writing File", "Creating Backup File", "Wrote File"}));
    ASSERT_EQ(Insert(b, 1, 1, "third "), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("notes.txt")), "third second first\n");
    EXPECT_EQ(ReadFile(Path("notes.txt.bak")), "second first\n");
    EXPECT_EQ(DirFiles(), (Strings{"notes.txt", "notes.txt.bak"}));
}

TEST_F(BufferFileTest, CarriageReturnLineFeedRoundTrip) {
    WriteFile(Path("crlf.txt"), "a\r\nb\r\nc");
    Buffer *b = Open(Path("crlf.txt"), kCrLf);
    EXPECT_EQ(FileLines(b), (Strings{"a\r", "b\r", "c"}));
    ASSERT_EQ(Insert(b, 3, 2, "d\r"), 0);   // a typed break in the last line
    ASSERT_EQ(Insert(b, 1, 1, "new\r"), 0); // a new first line, cut from the loaded line a
    EXPECT_TRUE(Shapes(b)[2].inFile) << "the line b stays in the file until written";
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("crlf.txt")), "new\r\na\r\nb\r\ncd\r\n");
    EXPECT_EQ(Shapes(b), (std::vector<NodeShape>{InFile(0, 4), InFile(5, 2), InFile(8, 2),
                                                 InFile(11, 3), kEmptyLast}));
    EXPECT_EQ(FileLines(b), (Strings{"new\r", "a\r", "b\r", "cd\r", ""}));
    ASSERT_EQ(Insert(b, 4, 3, "e"), 0); // written again from the new copy's offsets
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("crlf.txt")), "new\r\na\r\nb\r\ncde\r\n");
}

// A generated 10 000-line file, mixed edits checked against a plain model of lines; untouched
// lines stay in the old file until written and are copied from it.
TEST_F(BufferFileTest, RoundTripOfTenThousandLinesWithEdits) {
    constexpr int kFileLines = 10000;
    std::mt19937 random(2024);
    Strings model;
    std::string text;
    for (int i = 0; i < kFileLines; i++) {
        std::string line = "line " + std::to_string(i) + std::string(random() % 40, '.') + "\n";
        model.push_back(line);
        text += line;
    }
    WriteFile(Path("big.txt"), text);
    Buffer *b = Open(Path("big.txt"), kLf);
    for (int round = 0; round < 2; round++) {
        for (int e = 0; e < 200; e++) {
            int32_t line = 1 + static_cast<int32_t>(random() % (model.size() - 2));
            std::string &m = model[static_cast<size_t>(line - 1)];
            switch (random() % 4) {
            case 0: { // insert inside a line
                int32_t column = 1 + static_cast<int32_t>(random() % (m.size() - 1));
                ASSERT_EQ(Insert(b, line, column, "<ed>"), 0);
                m.insert(static_cast<size_t>(column - 1), "<ed>");
                break;
            }
            case 1: // delete a whole line
                ASSERT_EQ(DelRegion(line, 1, line, static_cast<int32_t>(m.size()), b), 0);
                model.erase(model.begin() + line - 1);
                break;
            case 2: // a new line before this one
                ASSERT_EQ(Insert(b, line, 1, "added\n"), 0);
                model.insert(model.begin() + line - 1, "added\n");
                break;
            default: { // join with the next line
                int32_t end = static_cast<int32_t>(m.size());
                ASSERT_EQ(DelRegion(line, end, line, end, b), 0);
                m.pop_back();
                m += model[static_cast<size_t>(line)];
                model.erase(model.begin() + line);
                break;
            }
            }
        }
        size_t inFile = 0;
        for (const NodeShape &s : Shapes(b))
            inFile += s.inFile;
        EXPECT_GT(inFile, model.size() * 9 / 10) << "untouched lines stay in the file";
        ASSERT_EQ(WriteBuffer(b), 0);
        std::string expected;
        for (const std::string &line : model)
            expected += line;
        ASSERT_EQ(ReadFile(Path("big.txt")), expected);
        Strings lines = FileLines(b);
        ASSERT_EQ(lines.back(), "");
        lines.pop_back();
        EXPECT_EQ(lines, model);
        for (const NodeShape &s : Shapes(b))
            EXPECT_TRUE(s.inFile || s.length == 0);
    }
    EXPECT_EQ(TempFiles().size(), 1u);
    EXPECT_EQ(DirFiles(), Strings{"big.txt"});
}

// Every way a write can fail leaves the user's file as it was, and the buffer with its edits.
TEST_F(BufferFileTest, FailedWritesLeaveTheOldFileIntact) {
    enum Cause { kReadOnlyDirectory, kFileSizeLimit, kBackupIsADirectory };
    struct Case {
        const char *label;
        Cause cause;
        int creationFlags;
        int result;
        const char *error;
        bool needsNonRoot;
    } cases[] = {
        // clang-format off
        {"read-only directory", kReadOnlyDirectory, 0, 1, "Panic: Original file repoen failure\n", true},
        {"file size limit (disk full)", kFileSizeLimit, 0, 1, "Write of file failed", false},
        {"backup name is a directory", kBackupIsADirectory, kCreateBackup, 2, "Backup file Creation error", false},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        if (c.needsNonRoot && geteuid() == 0) {
            std::cout << "skipped " << c.label << ": root writes into read-only directories\n";
            continue;
        }
        std::string sub = Path("sub");
        mkdir(sub.c_str(), 0700);
        std::string file = sub + "/keep.txt";
        WriteFile(file, "original\n");
        Buffer *b = Open(file, kLf, c.creationFlags);
        ASSERT_EQ(Insert(b, 1, 1, std::string(8192, 'x') + "\n"), 0);
        std::string edited = FileText(b);
        gErrors.clear();
        struct rlimit oldLimit;
        getrlimit(RLIMIT_FSIZE, &oldLimit);
        void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
        if (c.cause == kReadOnlyDirectory) {
            chmod(sub.c_str(), 0500);
        } else if (c.cause == kFileSizeLimit) {
            struct rlimit small = {4096, oldLimit.rlim_max};
            setrlimit(RLIMIT_FSIZE, &small);
        } else {
            mkdir((file + ".bak").c_str(), 0700);
            WriteFile(file + ".bak/inside", "");
        }
        EXPECT_EQ(WriteBuffer(b), c.result);
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        signal(SIGXFSZ, oldHandler);
        chmod(sub.c_str(), 0700);
        EXPECT_EQ(gErrors, Strings{c.error});
        EXPECT_EQ(ReadFile(file), "original\n");
        EXPECT_EQ(b->flags & kBufModified, kBufModified);
        EXPECT_EQ(FileText(b), edited);
        std::filesystem::remove_all(file + ".bak");
        EXPECT_EQ(DirFiles(sub), Strings{"keep.txt"}) << "no half-written file left behind";
        ASSERT_EQ(WriteBuffer(b), 0) << "the same buffer writes once the cause is gone";
        EXPECT_EQ(ReadFile(file), edited);
        BufferFree(b);
        Forget(b);
        std::filesystem::remove_all(sub);
    }
}

TEST_F(BufferFileTest, WriteIntoAMissingDirectoryCreatesNothing) {
    Buffer *b = Open(Path("missing/new.txt"), kLf);
    ASSERT_EQ(Insert(b, 1, 1, "text\n"), 0);
    EXPECT_EQ(WriteBuffer(b), 1);
    EXPECT_EQ(gErrors, Strings{"Panic: Original file repoen failure\n"});
    EXPECT_FALSE(fExists(Path("missing").c_str()));
    EXPECT_EQ(b->flags & kBufModified, kBufModified);
}

TEST_F(BufferFileTest, WritesThroughALinkIntoTheFileItNames) {
    mkdir(Path("real").c_str(), 0700);
    WriteFile(Path("real/data.txt"), "old\n");
    ASSERT_EQ(symlink(Path("real/data.txt").c_str(), Path("link.txt").c_str()), 0);
    Buffer *b = Open(Path("link.txt"), kLf, kCreateBackup);
    ASSERT_EQ(Insert(b, 1, 1, "new "), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    struct stat st;
    ASSERT_EQ(lstat(Path("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(Path("real/data.txt")), "new old\n");
    EXPECT_EQ(ReadFile(Path("real/data.txt.bak")), "old\n");
}

TEST_F(BufferFileTest, WriteKeepsTheBytesBeforeTheFileStart) {
    WriteFile(Path("head.txt"), "HEAD"
                                "a\nb\n");
    Buffer *b = BufferCreate(Path("head.txt").c_str(), 0);
    made_.push_back(b);
    b->lineBreakMode = kLf;
    b->fileStart = 4;
    ASSERT_EQ(ReadBuffer(b), 0);
    ASSERT_EQ(Insert(b, 2, 1, "c"), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(ReadFile(Path("head.txt")), "HEAD"
                                          "a\ncb\n");
    EXPECT_EQ(FileLines(b), (Strings{"a\n", "cb\n", ""}));
}

TEST_F(BufferFileTest, UnreadNamedBufferIsWrittenAfterAReport) {
    Buffer *b = BufferCreate(Path("never.txt").c_str(), 0);
    made_.push_back(b);
    b->lineBreakMode = kLf;
    ASSERT_EQ(Insert(b, 1, 1, "x\n"), 0);
    ASSERT_EQ(WriteBuffer(b), 0);
    EXPECT_EQ(gMessages, Strings{"Not a new file, but no Pfile"});
    EXPECT_EQ(ReadFile(Path("never.txt")), "x\n");
    EXPECT_EQ(Mode(Path("never.txt")), NewFileMode());
}

TEST_F(BufferFileTest, ReadingEmptiesUndoAndReportsProgress) {
    WriteFile(Path("u.txt"), "a\nb");
    Buffer *b = Open(Path("u.txt"), kLf, kCreateUndo | kCreateProgress);
    EXPECT_EQ(gMessages, Strings{Path("u.txt") + " => 2 lines from 3 bytes\n"});
    ASSERT_EQ(StartUndoFrame(b), 0);
    ASSERT_EQ(Insert(b, 1, 1, "xy"), 0);
    ASSERT_EQ(ReadBuffer(b), 0);
    EXPECT_EQ(Undo(nullptr, nullptr, b), -3) << "frames of the old text are gone";
    EXPECT_EQ(FileLines(b), (Strings{"a\n", "b"}));
    // Without an undo buffer the read is silent.
    gMessages.clear();
    Open(Path("u.txt"), kLf, kCreateProgress);
    EXPECT_EQ(gMessages, Strings{});
}

TEST_F(BufferFileTest, LockLineWithoutAStreamReportsIt) {
    WriteFile(Path("s.txt"), "a\n");
    Buffer *b = Open(Path("s.txt"), kLf, kCreateNoCopy);
    FileStream *s = b->fileStream;
    b->fileStream = nullptr;
    EXPECT_EQ(LockLine(b), nullptr);
    EXPECT_EQ(gErrors, Strings{"No FILE for buffer"});
    b->fileStream = s;
    EXPECT_EQ(std::string(LockLine(b), 2), "a\n");
}

// ---- allocation failures -------------------------------------------------------------------

std::string ManyLines(int count) {
    std::string text;
    for (int i = 0; i < count; i++)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

TEST_F(BufferFileTest, ReadBufferUnderAllocationFailures) {
    const std::string text = ManyLines(600); // several node pool blocks
    WriteFile(Path("alloc.txt"), text);
    const std::string name = Path("alloc.txt");
    int unchanged = 0, partial = 0;
    SweepAllocations(
        [&] {
            Buffer *b = BufferCreate(name.c_str(), kCreateUndo);
            b->lineBreakMode = kLf;
            return b;
        },
        [](Buffer *b) { return ReadBuffer(b); },
        [&](Buffer *b, int rc, bool failed, long k) {
            SCOPED_TRACE(k);
            if (!failed) {
                EXPECT_EQ(rc, 0);
                EXPECT_EQ(FileText(b), text);
            } else if (rc == 1) { // before anything changed
                unchanged++;
                EXPECT_EQ(b->firstLine, nullptr);
                EXPECT_EQ(b->fileStream, nullptr);
            } else {
                ASSERT_EQ(rc, -1);
                partial++;
                EXPECT_NE(b->flags & kBufReadOnly, 0);
                EXPECT_EQ(text.rfind(FileText(b), 0), 0u) << "a prefix of the file";
            }
            bool copy = b->fileStream && b->fileStream->workingCopy;
            EXPECT_EQ(TempFiles().size(), copy ? 1u : 0u);
        });
    EXPECT_EQ(TempFiles(), Strings{});
    EXPECT_GT(unchanged, 0);
    EXPECT_GT(partial, 1) << "every node pool block can fail";
}

TEST_F(BufferFileTest, WriteBufferUnderAllocationFailures) {
    const std::string before = ManyLines(50);
    const std::string name = Path("walloc.txt");
    std::string after;
    int notWritten = 0, notCopied = 0;
    SweepAllocations(
        [&] {
            WriteFile(name, before);
            Buffer *b = BufferCreate(name.c_str(), 0);
            b->lineBreakMode = kLf;
            ReadBuffer(b);
            Insert(b, 10, 1, "edited ");
            return b;
        },
        [](Buffer *b) { return WriteBuffer(b); },
        [&](Buffer *b, int rc, bool failed, long k) {
            SCOPED_TRACE(k);
            if (after.empty())
                after = FileText(b);
            EXPECT_EQ(FileText(b), after) << "the buffer keeps its text";
            std::string file = ReadFile(name);
            if (rc == 0) {
                EXPECT_EQ(file, after);
                EXPECT_EQ(b->flags & kBufModified, 0);
            } else {
                ASSERT_TRUE(failed);
                ASSERT_EQ(rc, 1);
                // Either nothing was written, or the write succeeded and only the new working
                // copy failed: the buffer then reads the written file.
                ASSERT_FALSE(gErrors.empty());
                if (gErrors.back() == "Re-copy of file failed") {
                    notCopied++;
                    EXPECT_EQ(file, after);
                    EXPECT_EQ(b->flags & kBufModified, 0);
                    EXPECT_EQ(b->fileStream->workingCopy, 0);
                } else {
                    notWritten++;
                    EXPECT_EQ(file, before);
                    EXPECT_EQ(b->flags & kBufModified, kBufModified);
                }
            }
            EXPECT_EQ(DirFiles(), Strings{"walloc.txt"});
        });
    EXPECT_GT(notWritten, 0);
    EXPECT_GT(notCopied, 0);
}

} // namespace
