// The buffered FileStream: one page between the library and a descriptor, read forwards page by
// page, positioned by fSeek, and written in page-sized pieces. The page is the only buffering:
// a pointer into it (LockLine's result) stays valid until the next seek or refill.
#include "buffer.h"
#include "filesys.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

int fWriteAll(int fd, const void *bytes, size_t count) {
    const char *p = static_cast<const char *>(bytes);
    while (count > 0) {
        ssize_t n = write(fd, p, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 1;
        p += n;
        count -= static_cast<size_t>(n);
    }
    return 0;
}

FileStream *fAdopt(int fd, const char *name, int mode, int32_t pageSize) {
    if (!name || strlen(name) >= static_cast<size_t>(kPathSize)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    if (pageSize <= 0)
        pageSize = kDefaultPageSize;
    FileStream *s = static_cast<FileStream *>(BufAllocate(sizeof(FileStream)));
    char *page = s ? static_cast<char *>(BufAllocate(static_cast<size_t>(pageSize))) : nullptr;
    if (!page) {
        BufRelease(s);
        errno = ENOMEM;
        return nullptr;
    }
    new (s) FileStream{};
    s->fd = fd;
    s->page = page;
    s->pageSize = pageSize;
    s->mode = mode;
    memcpy(s->name, name, strlen(name) + 1);
    s->readPointer = page;
    return s;
}

FileStream *fOpen(const char *name, int flags, int mode, int32_t pageSize) {
    if (!name) {
        errno = EINVAL;
        return nullptr;
    }
    // Non-blocking so that a FIFO without a writer cannot hang the open; only regular files pass.
    int fd = open(name, flags | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0)
        return nullptr;
    struct stat st;
    bool status = fstat(fd, &st) == 0;
    if (!status || !S_ISREG(st.st_mode)) {
        int error = !status ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = error;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    int bits = (flags & O_CREAT) ? mode : static_cast<int>(st.st_mode & 07777);
    FileStream *s = fAdopt(fd, name, bits, pageSize);
    if (!s) {
        int error = errno;
        close(fd);
        errno = error;
    }
    return s;
}

int fFlush(FileStream *s) {
    if (!s)
        return 1;
    if (s->pendingBytes == 0)
        return 0;
    if (fWriteAll(s->fd, s->page, static_cast<size_t>(s->pendingBytes)) != 0)
        return 1;
    s->pagePosition += s->pendingBytes;
    s->pendingBytes = 0;
    return 0;
}

int fClose(FileStream *s) {
    if (!s)
        return 0;
    int rc = fFlush(s);
    if (close(s->fd) != 0)
        rc = 1;
    BufRelease(s->page);
    BufRelease(s);
    return rc;
}

int fSeek(FileStream *s, int64_t offset) {
    if (fFlush(s) != 0)
        return 1;
    off_t at = lseek(s->fd, static_cast<off_t>(offset), SEEK_SET);
    if (at < 0) {
        char reason[64];
        snprintf(reason, sizeof reason, " %ld %d\n", static_cast<long>(at), errno);
        BufReportMessage("Seek Error: ", reason);
        return 1;
    }
    s->pagePosition = offset;
    s->validBytes = 0;
    s->available = 0;
    s->readPointer = s->page;
    return 0;
}

int32_t fRead(FileStream *s, int32_t needed) {
    if (fFlush(s) != 0)
        return 0;
    if (needed > s->pageSize) {
        int64_t twice = 2 * static_cast<int64_t>(needed);
        int32_t size = twice > kLargestPageSize ? kLargestPageSize : static_cast<int32_t>(twice);
        if (size < needed)
            size = needed;
        char *page = static_cast<char *>(BufAllocate(static_cast<size_t>(size)));
        if (!page && size != needed) {
            size = needed;
            page = static_cast<char *>(BufAllocate(static_cast<size_t>(size)));
        }
        if (!page) {
            BufReportMessage("fRead", "File read incomplete");
            return 0;
        }
        BufRelease(s->page);
        s->page = page;
        s->pageSize = size;
    }
    s->validBytes = 0;
    s->available = 0;
    s->readPointer = s->page;
    int32_t total = 0;
    while (total < s->pageSize) {
        ssize_t n = read(s->fd, s->page + total, static_cast<size_t>(s->pageSize - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 0;
        if (n == 0)
            break;
        total += static_cast<int32_t>(n);
    }
    s->validBytes = total;
    s->available = total;
    return total;
}

int fNextByte(FileStream *s) {
    if (s->available <= 0) {
        if (fSeek(s, s->pagePosition + s->validBytes) != 0 || fRead(s, s->pageSize) <= 0)
            return -1;
    }
    s->available--;
    return static_cast<unsigned char>(*s->readPointer++);
}

int fPutBack(int byte, FileStream *s) {
    if (s->readPointer <= s->page)
        return 1;
    *--s->readPointer = static_cast<char>(byte);
    s->available++;
    return 0;
}

int32_t fWrite(FileStream *s, const void *bytes, int32_t count) {
    if (!s || count < 0 || (!bytes && count > 0))
        return -1;
    if (s->pendingBytes + static_cast<int64_t>(count) >= s->pageSize && fFlush(s) != 0)
        return -1;
    if (count >= s->pageSize) {
        if (fWriteAll(s->fd, bytes, static_cast<size_t>(count)) != 0)
            return -1;
        s->pagePosition += count;
        return count;
    }
    memcpy(s->page + s->pendingBytes, bytes, static_cast<size_t>(count));
    s->pendingBytes += count;
    return count;
}
