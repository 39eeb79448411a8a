// The file helpers: the buffered stream (page writes, reads across pages, put back, seek errors,
// page enlargement), refusing files that are not regular, copies, status queries, backup names,
// replace and remove, the rules of output files, temporary names and their removal, and path
// expansion and splitting.
#include "filetest.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

namespace {

using FileSysTest = FileFixture;

TEST_F(FileSysTest, StreamCollectsWritesInItsPage) {
    const std::string name = Path("out.bin");
    FileStream *s = fOpen(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600, 16);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->pageSize, 16);
    EXPECT_EQ(s->mode, 0600);
    struct Step {
        std::string bytes;
        size_t onDisk; // file size after the call
    } steps[] = {
        {"hello", 0},               // pending
        {"0123456789", 0},          // 15 pending: still below the page
        {"abc", 15},                // would reach the page: the 15 go first
        {std::string(20, 'z'), 38}, // a block larger than the page is written at once
        {"!", 38},
    };
    std::string all;
    for (const Step &step : steps) {
        EXPECT_EQ(fWrite(s, step.bytes.data(), static_cast<int32_t>(step.bytes.size())),
                  static_cast<int32_t>(step.bytes.size()));
        all += step.bytes;
        EXPECT_EQ(ReadFile(name).size(), step.onDisk) << step.bytes;
    }
    EXPECT_EQ(fClose(s), 0);
    EXPECT_EQ(ReadFile(name), all);
    EXPECT_EQ(Mode(name), 0600);
}

TEST_F(FileSysTest, StreamReadsAcrossPagesAndPutsBack) {
    std::string text;
    for (int i = 0; i < 40; i++)
        text += static_cast<char>('A' + i % 26);
    WriteFile(Path("in.bin"), text);
    FileStream *s = fOpen(Path("in.bin").c_str(), O_RDONLY, 0, 16);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fPutBack('x', s), 1) << "nothing read: at the page start";
    std::string read;
    for (int c; (c = fNextByte(s)) >= 0;) {
        read += static_cast<char>(c);
        if (read.size() == 17) { // the first byte of the second page
            EXPECT_EQ(s->pagePosition, 16);
            EXPECT_EQ(fPutBack('#', s), 0);
            EXPECT_EQ(fNextByte(s), '#');
        }
    }
    EXPECT_EQ(read, text);
    EXPECT_EQ(fNextByte(s), -1);
    EXPECT_EQ(fSeek(s, 0), 0);
    EXPECT_EQ(fPutBack('x', s), 1) << "a seek empties the page";
    EXPECT_EQ(fNextByte(s), 'A');
    EXPECT_EQ(fClose(s), 0);
}

TEST_F(FileSysTest, SeekErrorIsReported) {
    WriteFile(Path("s.bin"), "abc");
    FileStream *s = fOpen(Path("s.bin").c_str(), O_RDONLY, 0, -1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->pageSize, kDefaultPageSize);
    EXPECT_EQ(fSeek(s, -1), 1);
    EXPECT_EQ(gMessages, Strings{"Seek Error:  -1 " + std::to_string(EINVAL) + "\n"});
    fClose(s);
}

// An allocator that refuses blocks above a size, to reach fRead's fallback and its failure.
size_t gLargestBlock = 0;
void *SmallAllocate(size_t size) { return size > gLargestBlock ? nullptr : failAllocate(size); }

TEST_F(FileSysTest, FReadEnlargesThePage) {
    WriteFile(Path("r.bin"), std::string(40000, 'r'));
    struct Case {
        size_t largestBlock; // 0: no limit
        int32_t needed;
        int32_t pageSize; // afterwards
        int32_t result;
        Strings messages;
    } cases[] = {
        {0, 10, 16, 16, {}},          // fits: one page of the old size
        {0, 100, 200, 200, {}},       // twice the needed size
        {0, 20000, 32767, 32767, {}}, // at most 32767
        {1000, 600, 600, 600, {}},    // twice refused: exactly the needed size
        {1000, 2000, 16, 0, {"fRead File read incomplete"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.needed);
        gMessages.clear();
        FileStream *s = fOpen(Path("r.bin").c_str(), O_RDONLY, 0, 16);
        ASSERT_NE(s, nullptr);
        gLargestBlock = c.largestBlock ? c.largestBlock : SIZE_MAX;
        BufferProlog(SmallAllocate, failRelease, CollectError, CollectMessage);
        EXPECT_EQ(fRead(s, c.needed), c.result);
        BufferProlog(failAllocate, failRelease, CollectError, CollectMessage);
        EXPECT_EQ(s->pageSize, c.pageSize);
        EXPECT_EQ(s->validBytes, c.result);
        EXPECT_EQ(gMessages, c.messages);
        fClose(s);
    }
}

TEST_F(FileSysTest, OnlyRegularFilesAreOpened) {
    mkdir(Path("d").c_str(), 0700);
    ASSERT_EQ(mkfifo(Path("p").c_str(), 0600), 0);
    struct Case {
        const char *name;
        int flags;
    } cases[] = {
        {"d", O_RDONLY},
        {"p", O_RDONLY}, // would block without O_NONBLOCK until a writer came
        {"p", O_WRONLY}, // likewise until a reader came
        {"missing", O_RDONLY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fOpen(Path(c.name).c_str(), c.flags, 0600, -1), nullptr);
    }
    struct stat st;
    EXPECT_EQ(fOpenRegular(Path("p").c_str(), &st), -2);
    EXPECT_EQ(fOpenRegular(Path("missing").c_str(), &st), -1);
    EXPECT_EQ(failAllocOutstanding(), 0);
}

TEST_F(FileSysTest, FCopyCopiesBytesAndPermission) {
    std::string text(3000, 'c'); // more than one chunk
    text += "end";
    WriteFile(Path("src"), text, 0640);
    ASSERT_EQ(link(Path("src").c_str(), Path("alias").c_str()), 0);
    struct Case {
        const char *source;
        const char *destination;
        int result;
        Strings messages;
    } cases[] = {
        {"src", "dst", 0, {}},
        {"missing", "dst2", 1, {"fCopy source open error"}},
        {"src", "nodir/dst", 1, {"fCopy destination open error"}},
        {"src", "alias", 1, {"fCopy destination open error"}}, // the source under another name
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.destination);
        gMessages.clear();
        EXPECT_EQ(fCopy(Path(c.source).c_str(), Path(c.destination).c_str()), c.result);
        EXPECT_EQ(gMessages, c.messages);
    }
    EXPECT_EQ(ReadFile(Path("dst")), text);
    EXPECT_EQ(Mode(Path("dst")), 0640);
    EXPECT_EQ(ReadFile(Path("src")), text) << "never truncated through its other name";
    EXPECT_FALSE(fExists(Path("dst2").c_str()));
}

TEST_F(FileSysTest, StatusQueries) {
    WriteFile(Path("q"), "x", 0750);
    struct timespec times[2] = {{1234567890, 0}, {1234567890, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path("q").c_str(), times, 0), 0);
    EXPECT_EQ(fExists(Path("q").c_str()), 1);
    EXPECT_EQ(fPermissions(Path("q").c_str()), 0750);
    EXPECT_EQ(fModTime(Path("q").c_str()), 1234567890);
    EXPECT_EQ(fExists(Path("none").c_str()), 0);
    EXPECT_EQ(fPermissions(Path("none").c_str()), -1);
    EXPECT_EQ(fModTime(Path("none").c_str()), -1);
}

TEST_F(FileSysTest, BackupNameReplaceAndRemove) {
    char out[32];
    EXPECT_EQ(fBackupName("notes.txt", out, sizeof out), 0);
    EXPECT_STREQ(out, "notes.txt.bak");
    EXPECT_EQ(fBackupName("notes.txt", out, 13), 1) << "no room for the NUL";
    EXPECT_STREQ(out, "");

    WriteFile(Path("a"), "new");
    WriteFile(Path("b"), "old");
    EXPECT_EQ(fReplace(Path("a").c_str(), Path("b").c_str()), 0);
    EXPECT_EQ(ReadFile(Path("b")), "new");
    EXPECT_FALSE(fExists(Path("a").c_str()));
    EXPECT_EQ(fReplace(Path("a").c_str(), Path("b").c_str()), 1);

    WriteFile(Path("ro"), "r", 0444);
    EXPECT_EQ(fRemove(Path("ro").c_str()), 0);
    EXPECT_FALSE(fExists(Path("ro").c_str()));
    EXPECT_EQ(fRemove(Path("ro").c_str()), 1);
    mkdir(Path("dir").c_str(), 0700);
    EXPECT_EQ(fRemove(Path("dir").c_str()), 1) << "directories are not removed";
}

TEST_F(FileSysTest, TemporaryNamesDifferInTheCounterAndGoWithEpilog) {
    std::string first = fTempName("tmq");
    std::string second = fTempName("tmq");
    char pid[16];
    snprintf(pid, sizeof pid, "%04X", static_cast<unsigned>(getpid()));
    std::string privateDir = first.substr(0, first.rfind('/'));
    EXPECT_EQ(privateDir.rfind(dir_ + "/torva-", 0), 0u) << privateDir;
    EXPECT_EQ(Mode(privateDir), 0700);
    const std::string base1 = first.substr(first.rfind('/') + 1);
    const std::string base2 = second.substr(second.rfind('/') + 1);
    ASSERT_EQ(base1.size(), 1 + strlen(pid) + 3 + 4);
    EXPECT_EQ(base1.substr(0, 1 + strlen(pid)), std::string("T") + pid);
    EXPECT_EQ(base2.substr(0, 1 + strlen(pid)), base1.substr(0, 1 + strlen(pid)));
    EXPECT_NE(base1.substr(1 + strlen(pid), 3), base2.substr(1 + strlen(pid), 3));
    EXPECT_EQ(base1.substr(base1.size() - 4), ".tmq");
    EXPECT_EQ(second.substr(0, second.rfind('/')), privateDir) << "one directory per process";
    WriteFile(first, "1");
    WriteFile(second, "2");
    BufferEpilog();
    EXPECT_FALSE(fExists(first.c_str()));
    EXPECT_FALSE(fExists(second.c_str()));
    EXPECT_FALSE(fExists(privateDir.c_str()));
    EXPECT_EQ(failAllocOutstanding(), 0) << "the names' records are released";

    // A $TMPDIR that is missing, names no directory or cannot hold ours falls back to /tmp
    // (never to "."); the private directory goes with the epilog as before.
    WriteFile(Path("file"), "");
    for (const std::string &unusable :
         {Path("missing"), Path("file"), std::string(), "/" + std::string(kPathSize, 'd')}) {
        setenv("TMPDIR", unusable.c_str(), 1);
        const char *name = fTempName("tmq");
        ASSERT_NE(name, nullptr) << unusable.substr(0, 40);
        std::string fallback = name;
        EXPECT_EQ(fallback.rfind("/tmp/torva-", 0), 0u) << fallback;
        WriteFile(fallback, "3");
        BufferEpilog();
        EXPECT_FALSE(fExists(fallback.substr(0, fallback.rfind('/')).c_str()));
    }
    EXPECT_TRUE(gMessages.empty());
    setenv("TMPDIR", dir_.c_str(), 1);
}

TEST_F(FileSysTest, TemporaryNameWithoutMemory) {
    failAllocReset(1);
    EXPECT_EQ(fTempName("tmq"), nullptr);
    EXPECT_EQ(gErrors, Strings{"TempName"});
    failAllocReset(0);
}

TEST_F(FileSysTest, ExpandPath) {
    const char *home = getenv("HOME");
    std::string oldHome = home ? home : "";
    setenv("HOME", "/home/tester", 1);
    struct Case {
        const char *in;
        const char *out;
    } cases[] = {
        {"~/x", "/home/tester/x"},
        {"~", "/home/tester"},
        {"~bob/x", "~bob/x"}, // another user's home is not guessed
        {"\"a b\"", "a b"},
        {"\"a b\"/rest", "a b"},        // cut at the closing quote
        {"\"a b", "a b"},               // no closing quote: to the end
        {"\\dir\\file", "\\dir\\file"}, // no drive letters here
        {"plain/path", "plain/path"},
        {"", ""},
    };
    char out[64];
    for (const Case &c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(ExpandPath(out, sizeof out, c.in), static_cast<int>(strlen(c.out)));
        EXPECT_STREQ(out, c.out);
    }
    EXPECT_EQ(ExpandPath(out, 15, "~/x"), 14);
    EXPECT_EQ(ExpandPath(out, 14, "~/x"), -1) << "never cut";
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ExpandPath(out, 4, "abcd"), -1);
    if (home)
        setenv("HOME", oldHome.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST_F(FileSysTest, SplitPath) {
    struct Case {
        const char *path;
        const char *dir;
        const char *file;
    } cases[] = {
        {"a/b/c.txt", "a/b", "c.txt"}, {"c.txt", "", "c.txt"}, {"/c", "/", "c"},
        {"a\\b.prg", "a", "b.prg"},    {"a/b\\c", "a/b", "c"}, {"a/", "a", ""},
    };
    char dir[16], file[16];
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SplitPath(c.path, dir, sizeof dir, file, sizeof file), 0);
        EXPECT_STREQ(dir, c.dir);
        EXPECT_STREQ(file, c.file);
    }
    EXPECT_EQ(SplitPath("x/name", nullptr, 0, file, sizeof file), 0);
    EXPECT_STREQ(file, "name");
    EXPECT_EQ(SplitPath("x/a-long-file-name", dir, sizeof dir, file, sizeof file), 1);
    EXPECT_STREQ(dir, "");
    EXPECT_STREQ(file, "");
}

// ---- output files ------------------------------------------------------------------------------

// Writes `text` to `name` by the output rules: open, write, commit, close. 0 or the reason.
int WriteOutput(const std::string &name, const std::string &text, int flags = kOutputDevices) {
    OutputFile out;
    int rc = fOutputOpen(name.c_str(), flags, &out);
    if (rc == 0)
        rc = fOutputWrite(text.data(), text.size(), &out);
    if (rc == 0)
        rc = fOutputCommit(&out);
    int closed = fOutputClose(&out);
    return rc ? rc : closed;
}

std::string LinkOf(const std::string &path) {
    char target[PATH_MAX];
    ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
}

// Whether `echo > name` would work: the file opened for writing as the shell opens it.
bool ShellCouldWrite(const std::string &path) {
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

// Every kind of target by the rules: what the write answers, what the name holds afterwards
// (still a FIFO, a device, a link), the mode of a replaced or new file, and that nothing is left
// beside the target when the write is over.
TEST_F(FileSysTest, OutputFilesFollowTheRulesForEveryKindOfTarget) {
    mode_t oldMask = umask(027);
    WriteFile(Path("plain"), "old\n", 0604);
    WriteFile(Path("locked"), "old\n", 0444);
    WriteFile(Path("target"), "old\n", 0620);
    ASSERT_EQ(symlink("target", Path("link").c_str()), 0);
    ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("../made", Path("sub/dangling").c_str()), 0);
    // Two links naming each other (the fixture's listings cannot bear them: removed at the end).
    ASSERT_EQ(symlink("loop2", Path("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", Path("loop2").c_str()), 0);
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(Path("lonely").c_str(), 0600), 0);
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", Path("socket").c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    // The FIFO's reader, there before the writer; it reads what is written without blocking.
    int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const bool lockedWritable = ShellCouldWrite(Path("locked"));
    // Devices of the test's own where it may make them (as root: a fault that replaced one
    // would replace these, not the system's), else the system's.
    ASSERT_EQ(mkdir(Path("dev").c_str(), 0755), 0);
    const bool own = geteuid() == 0 &&
                     mknod(Path("dev/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                     mknod(Path("dev/full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const std::string null = own ? Path("dev/null") : "/dev/null";
    const std::string full = own ? Path("dev/full") : "/dev/full";

    struct Case {
        const char *name;
        int flags;
        int result;
        const char *holds; // the text of the file the name reaches afterwards; null: none to read
        int mode;          // its mode; -1: not checked
    } const cases[] = {
        {"plain", kOutputDevices, 0, "new\n", 0604},
        {"fresh", kOutputDevices, 0, "new\n", 0640}, // 0666 less the umask 027
        {"locked", 0, lockedWritable ? 0 : kOutputReadOnly, lockedWritable ? "new\n" : "old\n",
         0444},
        {"link", kOutputDevices, 0, "new\n", 0620}, // through to its target
        {"sub/dangling", 0, 0, "new\n", 0640},      // its target made, beside the link's folder
        {"loop1", 0, ELOOP, nullptr, -1},
        {"fifo", kOutputDevices, 0, nullptr, -1},
        {"fifo", 0, kOutputNotAFile, nullptr, -1},
        {"lonely", kOutputDevices, kOutputNoReader, nullptr, -1},
        {"socket", kOutputDevices, kOutputNotAFile, nullptr, -1},
        {null.c_str(), kOutputDevices, 0, nullptr, -1},
        {full.c_str(), kOutputDevices, ENOSPC, nullptr, -1},
        {"sub", kOutputDevices, EISDIR, nullptr, -1},
        {"missing/file", kOutputDevices, ENOENT, nullptr, -1},
        {"", kOutputDevices, kOutputNoName, nullptr, -1},
    };
    for (const Case &c : cases) {
        std::string path = c.name[0] == '/' || !c.name[0] ? c.name : Path(c.name);
        SCOPED_TRACE(path + " flags " + std::to_string(c.flags));
        EXPECT_EQ(WriteOutput(path, "new\n", c.flags), c.result) << fOutputReason(c.result);
        if (c.holds) {
            std::string reached = std::string(c.name) == "link"           ? Path("target")
                                  : std::string(c.name) == "sub/dangling" ? Path("made")
                                                                          : path;
            EXPECT_EQ(ReadFile(reached), c.holds);
            if (c.mode >= 0) {
                EXPECT_EQ(Mode(reached), c.mode);
            }
        }
    }
    umask(oldMask);
    EXPECT_EQ(LinkOf(Path("loop1")), "loop2");
    unlink(Path("loop1").c_str());
    unlink(Path("loop2").c_str());
    // The links, the FIFOs, the devices and the socket are what they were.
    EXPECT_EQ(LinkOf(Path("link")), "target");
    EXPECT_EQ(LinkOf(Path("sub/dangling")), "../made");
    struct stat st;
    ASSERT_EQ(lstat(Path("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    for (const std::string &device : {null, full}) {
        ASSERT_EQ(stat(device.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << device;
    }
    char got[16] = {};
    EXPECT_EQ(read(reader, got, sizeof got), 4);
    EXPECT_STREQ(got, "new\n");
    close(reader);
    close(sock);
    EXPECT_EQ(DirFiles(), (Strings{"fifo", "fresh", "link", "locked", "lonely", "made", "plain",
                                   "socket", "target"}));
    EXPECT_EQ(DirFiles(Path("sub")), Strings{"dangling"});
}

// "-" is standard output with kOutputDash, and a file of that name without it.
TEST_F(FileSysTest, ADashIsStandardOutputWhenAsked) {
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    int saved = dup(STDOUT_FILENO);
    int file = open(Path("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    fflush(stdout);
    dup2(file, STDOUT_FILENO);
    int rc = WriteOutput("-", "to stdout\n", kOutputDevices | kOutputDash);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(file);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFile(Path("stdout")), "to stdout\n");
    EXPECT_EQ(WriteOutput("-", "a file\n", kOutputDevices), 0);
    EXPECT_EQ(ReadFile(Path("-")), "a file\n");
    ASSERT_EQ(chdir("/"), 0);
}

// Past the file size limit the write fails with EFBIG (the process goes on: BufferProlog
// ignores SIGXFSZ), the commit refuses, and the old file and nothing else is left.
TEST_F(FileSysTest, AFileTooLargeIsAnErrorAndLeavesTheOldFile) {
    WriteFile(Path("big"), "old\n", 0644);
    void (*before)(int) = signal(SIGXFSZ, SIG_DFL);
    ASSERT_EQ(BufferProlog(failAllocate, failRelease, CollectError, CollectMessage), 0);
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    OutputFile out;
    ASSERT_EQ(fOutputOpen(Path("big").c_str(), 0, &out), 0);
    std::string text(4000, 'x');
    int wrote = fOutputWrite(text.data(), text.size(), &out);
    int committed = fOutputCommit(&out);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(fOutputClose(&out), 0);
    signal(SIGXFSZ, before);
    EXPECT_EQ(wrote, EFBIG);
    EXPECT_EQ(committed, EFBIG);
    EXPECT_STREQ(fOutputReason(wrote), "File too large");
    EXPECT_EQ(ReadFile(Path("big")), "old\n");
    EXPECT_EQ(DirFiles(), Strings{"big"});
}

} // namespace
