// File helpers of the text-buffer library: copies, status queries, backup names, replace and
// remove, the rules by which every output file reaches its name, the temporary names and their
// private directory, and path expansion and splitting. The stream itself is in filestream.cpp.
#include "filesys.h"
#include "buffer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A temporary name made by the library, removed by BufferEpilog.
struct TempName {
    TempName *next;       // the name made before this one
    char name[kPathSize]; // path of the file
};

TempName *gTempNames = nullptr; // every temporary name made and not yet removed, newest first
char gTempDir[kPathSize];       // the private directory, "" until made
unsigned gTempCounter = 0;      // the counter of the last name made
char gTempText[kPathSize];      // the shared text fTempName returns

void ClearNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK); }

// Makes the private directory under `base`. false when it cannot be made there.
bool MakeTempDirUnder(const char *base) {
    char pattern[kPathSize];
    int n = snprintf(pattern, sizeof pattern, "%s/torva-XXXXXX", base);
    if (n < 0 || n >= static_cast<int>(sizeof pattern) || !mkdtemp(pattern))
        return false;
    memcpy(gTempDir, pattern, static_cast<size_t>(n) + 1);
    return true;
}

// Makes the private directory once: mode 0700 under $TMPDIR, or under /tmp when $TMPDIR is
// unset, empty or unusable (missing, not a directory, not writable, too long); never "." (a
// shared or predictable place would let another user plant a link under one of our names).
// false, with a message naming both places, when neither works.
bool MakeTempDir() {
    if (gTempDir[0])
        return true;
    const char *base = getenv("TMPDIR");
    if (base && base[0] && MakeTempDirUnder(base))
        return true;
    if (MakeTempDirUnder(kTempFallbackDir))
        return true;
    char reason[kMessageTextSize];
    snprintf(reason, sizeof reason,
             "no temporary directory: neither $TMPDIR (%.200s) nor %s is usable",
             base ? base : "unset", kTempFallbackDir);
    BufReportMessage("TempName", reason);
    return false;
}

// Copies `length` bytes of `from` into `out` of `outSize` bytes, NUL-terminated; -1 when they do
// not fit.
int PutText(char *out, size_t outSize, const char *from, size_t length) {
    if (length >= outSize)
        return -1;
    memcpy(out, from, length);
    out[length] = 0;
    return static_cast<int>(length);
}

} // namespace

// ---- files -----------------------------------------------------------------------------

int fOpenRegular(const char *name, struct stat *st) {
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (fstat(fd, st) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    if (!S_ISREG(st->st_mode)) {
        close(fd);
        return -2;
    }
    ClearNonBlocking(fd);
    return fd;
}

int fCopyDescriptor(int source, const char *destination, int flags, int mode) {
    int out = open(destination, flags | O_WRONLY | O_CLOEXEC | O_NONBLOCK, mode);
    if (out < 0)
        return 1;
    bool created = (flags & O_EXCL) != 0;
    struct stat st;
    if (fstat(out, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(out);
        if (created)
            unlink(destination);
        return 1;
    }
    ClearNonBlocking(out);
    char chunk[kCopyChunkSize];
    off_t at = 0;
    int rc = 0;
    for (;;) {
        ssize_t n = pread(source, chunk, sizeof chunk, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            rc = 2;
            break;
        }
        if (n == 0)
            break;
        if (fWriteAll(out, chunk, static_cast<size_t>(n)) != 0) {
            rc = 2;
            break;
        }
        at += n;
    }
    if (close(out) != 0 && rc == 0)
        rc = 2;
    if (rc != 0 && created)
        unlink(destination);
    return rc;
}

int fCopy(const char *source, const char *destination) {
    struct stat st;
    int in = source ? fOpenRegular(source, &st) : -1;
    if (in < 0) {
        BufReportMessage("fCopy", "source open error");
        return 1;
    }
    // Truncating the destination must never empty the source through a second name for it.
    struct stat to;
    int rc = 1;
    if (destination &&
        !(stat(destination, &to) == 0 && to.st_dev == st.st_dev && to.st_ino == st.st_ino))
        rc = fCopyDescriptor(in, destination, O_CREAT | O_TRUNC,
                             static_cast<int>(st.st_mode & 07777));
    close(in);
    if (rc == 1)
        BufReportMessage("fCopy", "destination open error");
    else if (rc == 2)
        BufReportMessage("fCopy", "write error");
    return rc == 0 ? 0 : 1;
}

int fExists(const char *name) {
    struct stat st;
    return name && stat(name, &st) == 0 ? 1 : 0;
}

int fPermissions(const char *name) {
    struct stat st;
    return name && stat(name, &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

int64_t fModTime(const char *name) {
    struct stat st;
    return name && stat(name, &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

int fBackupName(const char *name, char *out, size_t outSize) {
    if (!name || !out || outSize == 0)
        return 1;
    int n = snprintf(out, outSize, "%s%s", name, kBackupSuffix);
    if (n < 0 || static_cast<size_t>(n) >= outSize) {
        out[0] = 0;
        return 1;
    }
    return 0;
}

int fReplace(const char *source, const char *destination) {
    return source && destination && rename(source, destination) == 0 ? 0 : 1;
}

int fRemove(const char *name) {
    if (!name)
        return 1;
    if (unlink(name) == 0)
        return 0;
    struct stat st;
    if (errno == ENOENT || lstat(name, &st) != 0 || !S_ISREG(st.st_mode))
        return 1;
    mode_t bits = st.st_mode & 07777;
    if (chmod(name, bits | S_IWUSR) != 0)
        return 1;
    if (unlink(name) == 0)
        return 0;
    chmod(name, bits);
    return 1;
}

// ---- output files ------------------------------------------------------------------------

namespace {

constexpr int kMostLinks = 40;                     // as the kernel follows them in a path
constexpr const char *kOutputTempName = ".torva-"; // the new file beside a replaced one

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Copies the directory part of `path` ("." without one, "/" for a file in the root) into `dir`.
void DirectoryOf(const char *path, char *dir) {
    const char *slash = strrchr(path, '/');
    size_t length = !slash ? 0 : slash == path ? 1 : static_cast<size_t>(slash - path);
    if (length == 0) {
        memcpy(dir, ".", 2);
        return;
    }
    memcpy(dir, path, length);
    dir[length] = 0;
}

// Follows the symbolic links that `name` ends in into `path`: the file that is written, which
// need not exist (a dangling link names the file to make). 0, or the reason.
int FollowLinks(const char *name, char *path) {
    size_t length = strlen(name);
    if (length >= static_cast<size_t>(kPathSize))
        return ENAMETOOLONG;
    memcpy(path, name, length + 1);
    for (int hops = 0; hops < kMostLinks; hops++) {
        struct stat st;
        if (lstat(path, &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        char link[kPathSize];
        ssize_t n = readlink(path, link, sizeof link - 1);
        if (n <= 0)
            return n < 0 ? errno : ENOENT;
        link[n] = 0;
        // A relative link is taken in the directory of the link itself.
        const char *slash = link[0] == '/' ? nullptr : strrchr(path, '/');
        size_t keep = slash ? static_cast<size_t>(slash - path) + 1 : 0;
        if (keep + static_cast<size_t>(n) >= static_cast<size_t>(kPathSize))
            return ENAMETOOLONG;
        memcpy(path + keep, link, static_cast<size_t>(n) + 1);
    }
    return kOutputTooManyLinks;
}

// Makes the rename of a file in `dir` durable. Failure only costs durability, not the text.
void SyncDirectory(const char *dir) {
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (fsync(fd) != 0) {
        // Some file systems cannot sync a directory; the rename itself has happened.
    }
    close(fd);
}

// A FIFO, a character device or standard output, written as it is. 0, or the reason.
int OpenDirect(const char *name, bool fifo, OutputFile *out) {
    // Without a reader a FIFO would hold the open until one comes: it is refused at once.
    int fd = open(name, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENXIO && fifo ? kOutputNoReader : errno;
    ClearNonBlocking(fd);
    out->fd = fd;
    out->kind = kOutputDirect;
    memcpy(out->path, name, strlen(name) + 1);
    return 0;
}

// A regular file, existing (`old` its status) or not: a new file in its directory, with the
// mode (and owner) it will keep. 0, or the reason.
int OpenReplacing(const char *name, const struct stat *old, OutputFile *out) {
    int rc = FollowLinks(name, out->path);
    if (rc != 0)
        return rc;
    char dir[kPathSize];
    DirectoryOf(out->path, dir);
    int n = snprintf(out->temp, sizeof out->temp, "%s/%sXXXXXX", dir, kOutputTempName);
    if (n < 0 || n >= static_cast<int>(sizeof out->temp)) {
        out->temp[0] = 0;
        return ENAMETOOLONG;
    }
    int fd = mkostemp(out->temp, O_CLOEXEC);
    if (fd < 0) {
        out->temp[0] = 0;
        return errno;
    }
    mode_t mode = old ? old->st_mode & 07777 : 0666 & ~CurrentUmask();
    // The owner goes with the file where the writer may give it; set-id bits never go to a
    // file of another owner than they were given for.
    if (old && (old->st_uid != geteuid() || old->st_gid != getegid()) &&
        fchown(fd, old->st_uid, old->st_gid) != 0)
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    if (fchmod(fd, mode) != 0) {
        int error = errno;
        close(fd);
        unlink(out->temp);
        out->temp[0] = 0;
        return error;
    }
    out->fd = fd;
    out->kind = kOutputReplace;
    out->replaced = old ? 1 : 0;
    return 0;
}

int OpenOutput(const char *name, int flags, OutputFile *out) {
    if (!name || !name[0])
        return kOutputNoName;
    if ((flags & kOutputDash) && strcmp(name, "-") == 0) {
        int fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (fd < 0)
            return errno;
        out->fd = fd;
        out->kind = kOutputDirect;
        memcpy(out->path, "-", 2);
        return 0;
    }
    if (strlen(name) >= static_cast<size_t>(kPathSize))
        return ENAMETOOLONG;
    struct stat st;
    if (stat(name, &st) != 0)
        return errno == ENOENT ? OpenReplacing(name, nullptr, out) : errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
        return flags & kOutputDevices ? OpenDirect(name, S_ISFIFO(st.st_mode), out)
                                      : kOutputNotAFile;
    if (!S_ISREG(st.st_mode))
        return kOutputNotAFile;
    // The rename needs only the directory: the file's own permission decides, as for `echo >`.
    if (faccessat(AT_FDCWD, name, W_OK, AT_EACCESS) != 0)
        return errno == EACCES ? kOutputReadOnly : errno;
    return OpenReplacing(name, &st, out);
}

} // namespace

int fOutputOpen(const char *name, int flags, OutputFile *out) {
    if (!out)
        return EINVAL;
    memset(out, 0, sizeof *out);
    out->fd = -1;
    out->error = OpenOutput(name, flags, out);
    return out->error;
}

int fOutputWrite(const void *bytes, size_t count, OutputFile *out) {
    if (out->error)
        return out->error;
    if (out->fd < 0)
        return out->error = EBADF;
    // A reader that goes away is a write error, not the end of the process.
    struct sigaction ignore = {}, old;
    ignore.sa_handler = SIG_IGN;
    bool pipe = out->kind == kOutputDirect && sigaction(SIGPIPE, &ignore, &old) == 0;
    const char *p = static_cast<const char *>(bytes);
    while (count > 0) {
        ssize_t n = write(out->fd, p, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            out->error = n < 0 ? errno : EIO;
            break;
        }
        p += n;
        count -= static_cast<size_t>(n);
    }
    if (pipe)
        sigaction(SIGPIPE, &old, nullptr);
    return out->error;
}

int fOutputCommit(OutputFile *out) {
    if (out->error || out->kind != kOutputReplace)
        return out->error;
    if (!out->temp[0])
        return out->error = EINVAL;
    if (out->fd >= 0 && fsync(out->fd) != 0)
        return out->error = errno;
    if (rename(out->temp, out->path) != 0)
        return out->error = errno;
    out->temp[0] = 0;
    char dir[kPathSize];
    DirectoryOf(out->path, dir);
    SyncDirectory(dir);
    return 0;
}

int fOutputClose(OutputFile *out) {
    int rc = 0;
    if (out->fd >= 0 && close(out->fd) != 0)
        rc = errno;
    out->fd = -1;
    if (out->temp[0]) {
        unlink(out->temp);
        out->temp[0] = 0;
    }
    return rc;
}

const char *fOutputReason(int reason) {
    switch (reason) {
    case 0:
        return "no error";
    case kOutputReadOnly:
        return "the file is read-only";
    case kOutputNotAFile:
        return "not a file that can be written";
    case kOutputNoReader:
        return "nothing reads from that pipe";
    case kOutputNoName:
        return "no file name";
    case kOutputTooManyLinks:
        return "too many symbolic links";
    default:
        return reason > 0 ? strerror(reason) : "cannot be written";
    }
}

// ---- temporary names -------------------------------------------------------------------

const char *fTempName(const char *extension) {
    if (!extension)
        extension = "";
    if (!MakeTempDir())
        return nullptr;
    TempName *t = static_cast<TempName *>(BufAllocate(sizeof(TempName)));
    if (!t) {
        BufReportError("TempName");
        return nullptr;
    }
    unsigned counter = gTempCounter + 1;
    int n = snprintf(t->name, sizeof t->name, "%s/%c%04X%03X.%s", gTempDir, kTempLetter,
                     static_cast<unsigned>(getpid()), counter, extension);
    if (n < 0 || n >= static_cast<int>(sizeof t->name)) {
        BufRelease(t);
        BufReportMessage("TempName", "name too long");
        return nullptr;
    }
    gTempCounter = counter;
    t->next = gTempNames;
    gTempNames = t;
    memcpy(gTempText, t->name, static_cast<size_t>(n) + 1);
    return gTempText;
}

int fTempRemove(const char *name) {
    if (!name)
        return 1;
    for (TempName **at = &gTempNames; *at; at = &(*at)->next) {
        TempName *t = *at;
        if (strcmp(t->name, name) == 0) {
            *at = t->next;
            fRemove(t->name);
            BufRelease(t);
            return 0;
        }
    }
    return 1;
}

void fTempRemoveAll() {
    while (gTempNames) {
        TempName *t = gTempNames;
        gTempNames = t->next;
        fRemove(t->name);
        BufRelease(t);
    }
    if (gTempDir[0]) {
        rmdir(gTempDir);
        gTempDir[0] = 0;
    }
}

// ---- paths -----------------------------------------------------------------------------

int ExpandPath(char *out, size_t outSize, const char *in) {
    if (!out || outSize == 0)
        return -1;
    out[0] = 0;
    if (!in)
        return -1;
    int n;
    if (in[0] == '~' && (in[1] == 0 || in[1] == '/')) {
        const char *home = getenv("HOME");
        if (!home || !home[0]) {
            const struct passwd *pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        if (!home)
            return PutText(out, outSize, in, strlen(in));
        size_t h = strlen(home), rest = strlen(in + 1);
        if (h + rest >= outSize)
            return -1;
        memcpy(out, home, h);
        memcpy(out + h, in + 1, rest + 1);
        n = static_cast<int>(h + rest);
    } else if (in[0] == '"') {
        const char *end = strchr(in + 1, '"');
        n = PutText(out, outSize, in + 1, end ? static_cast<size_t>(end - in - 1) : strlen(in + 1));
    } else {
        n = PutText(out, outSize, in, strlen(in));
    }
    if (n < 0)
        out[0] = 0;
    return n;
}

int SplitPath(const char *path, char *dir, size_t dirSize, char *file, size_t fileSize) {
    if (dir && dirSize)
        dir[0] = 0;
    if (file && fileSize)
        file[0] = 0;
    if (!path)
        return 1;
    const char *cut = nullptr;
    for (const char *p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            cut = p;
    size_t dirLength = !cut ? 0 : cut == path ? 1 : static_cast<size_t>(cut - path);
    const char *name = cut ? cut + 1 : path;
    if ((dir && PutText(dir, dirSize, path, dirLength) < 0) ||
        (file && PutText(file, fileSize, name, strlen(name)) < 0)) {
        if (dir && dirSize)
            dir[0] = 0;
        if (file && fileSize)
            file[0] = 0;
        return 1;
    }
    return 0;
}
