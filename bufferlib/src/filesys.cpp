// File helpers of the text-buffer library: copies, status queries, backup names, replace and
// remove, the temporary names and their private directory, and path expansion and splitting.
// The stream itself is in filestream.cpp.
#include "filesys.h"
#include "buffer.h"

#include <cerrno>
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
