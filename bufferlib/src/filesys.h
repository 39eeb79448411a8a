// The text-buffer library's file helpers: the buffered FileStream through which buffers page
// their lines, file copies, existence, permission and time queries, backup names, replacing and
// removing files, the library's temporary names, and path expansion and splitting. They serve the
// buffers (bufferfile.cpp) and the settings file. Start reading at FileStream.
//
// Every record and page comes from the allocator pair given to BufferProlog, and failures are
// reported through its two callbacks. Paths are at most kPathSize - 1 bytes: a name that does not
// fit is an error, never cut. Temporary files live in a private directory (mode 0700) made once
// per process under $TMPDIR, or under /tmp when $TMPDIR is unset or unusable, are created
// exclusively with mode 0600, and are removed by BufferEpilog together with the directory.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

// ---- capacities and constants ------------------------------------------------------------

constexpr int kPathSize = PATH_MAX;         // a path and its NUL
constexpr int32_t kDefaultPageSize = 8192;  // page of a stream opened with a negative page size
constexpr int32_t kLargestPageSize = 32767; // fRead never enlarges a page beyond this
constexpr int32_t kCopyChunkSize = 1024;    // fCopy and WriteBuffer copy in chunks of this size
constexpr int32_t kWritePageSize = 1024;    // page of the stream WriteBuffer writes through
constexpr char kTempLetter = 'T';           // first letter of every temporary file name
constexpr const char *kTempFallbackDir = "/tmp";     // when $TMPDIR is unset or unusable
constexpr const char *kWorkingCopyExtension = "tmq"; // extension of a buffer's working copy
constexpr const char *kBackupSuffix = ".bak";        // appended to a name for its backup

// ---- the buffered stream -------------------------------------------------------------------

// A file read or written through one page. Reading: the page holds `validBytes` bytes of the file
// from `pagePosition` on, `readPointer` is the next byte and `available` the bytes after it.
// Writing: the page collects `pendingBytes` bytes that belong at the descriptor's position.
// The prescribed fields come first, in their order; `workingCopy` is the library's own.
struct FileStream {
    int fd;               // the open descriptor
    int64_t pagePosition; // file offset of the page's first byte
    char *page;           // the page buffer, `pageSize` bytes
    int32_t pageSize;     // size of the page buffer (fRead may enlarge it)
    int32_t pendingBytes; // written bytes waiting in the page
    int32_t validBytes;   // bytes read into the page
    int mode;             // permission bits the file was opened or created with
    char name[kPathSize]; // the file's path
    char *readPointer;    // the next byte to read in the page
    int32_t available;    // bytes still to read in the page after readPointer
    int workingCopy;      // 1: a temporary copy of the library's, removed with the stream
};

// Opens `name` with the host's open flags (O_RDONLY, O_WRONLY | O_CREAT | O_TRUNC, ...) and
// permission `mode` for a created file, with a page of `pageSize` bytes (negative: 8192). Only a
// regular file is opened: a FIFO, device or directory is refused without blocking. The stream,
// or null (errno tells why; ENOMEM when the record or page cannot be had).
FileStream *fOpen(const char *name, int flags, int mode, int32_t pageSize);
// A stream over a descriptor the caller opened; the stream owns it from then on. Null when the
// record or page cannot be had (the descriptor is then still the caller's).
FileStream *fAdopt(int fd, const char *name, int mode, int32_t pageSize);
// Flushes pending writes, closes the descriptor, releases page and record. 0; 1 when the flush
// or the close failed (the stream is released all the same). Null is ignored (0).
int fClose(FileStream *s);
// Writes the pending bytes. 0; 1 on a failed or short write (the bytes stay pending).
int fFlush(FileStream *s);
// Flushes, moves the descriptor to `offset` and empties the page. 0; 1 after "Seek Error: "
// " %ld %d\n" (the lseek result and errno) or a failed flush.
int fSeek(FileStream *s, int64_t offset);
// Reads one page at the descriptor's position after flushing. When `needed` is more than the page
// holds the page is first enlarged to twice `needed` (at most 32767 bytes), or to `needed` when
// that cannot be had ("fRead" "File read incomplete" when neither can: 0). The bytes read, 0 at
// the end of the file or on an error.
int32_t fRead(FileStream *s, int32_t needed);
// The next byte, reading the following page when this one is used up; -1 at the end.
int fNextByte(FileStream *s);
// Returns `byte` to the page just before the read pointer. 0; 1 at the page start.
int fPutBack(int byte, FileStream *s);
// Collects `count` bytes in the page, flushing first when they would fill it; a block at least
// as large as the page is written directly. `count`; -1 on a failed or short write.
int32_t fWrite(FileStream *s, const void *bytes, int32_t count);

// ---- files ---------------------------------------------------------------------------------

// Copies the regular file `source` to `destination`, created or truncated with the source's
// permission bits, in 1024-byte chunks. 0; 1 after "fCopy" "source open error", "fCopy"
// "destination open error" or "fCopy" "write error".
int fCopy(const char *source, const char *destination);
int fExists(const char *name);      // 1 when the file's status can be had, else 0
int fPermissions(const char *name); // the permission bits (07777), -1 when unavailable
int64_t fModTime(const char *name); // modification time in seconds, -1 when unavailable
// `name` followed by ".bak" into `out` of `outSize` bytes. 0; 1 when it does not fit.
int fBackupName(const char *name, char *out, size_t outSize);
// Renames `source` to `destination`, replacing an existing destination in one step (the host's
// rename never leaves a moment without a destination). 0; 1 on failure.
int fReplace(const char *source, const char *destination);
// Removes the file; when that fails, makes it owner-writable and tries again (restoring its
// permission when the second attempt fails too). 0; 1 on failure.
int fRemove(const char *name);

// ---- output files --------------------------------------------------------------------------
// Every file the program writes for the user (a tape's text, a printed document, a program)
// reaches its name by these rules, so that a write never destroys what it was not meant to:
//
// - A regular file is written as a new file beside it and renamed over it once whole: a failure
//   leaves the old file as it was. The new file keeps the old one's mode (and its owner where
//   the writer may give it); a file that did not exist gets 0666 less the umask, as every
//   editor's files do.
// - A file is replaced only when its user could write it themselves (`echo >` it): a file
//   without write permission for the writer is refused, whoever owns its directory.
// - A symbolic link is written through: its target is written (or made, when it dangles), the
//   link stays.
// - With kOutputDevices, a FIFO or a character device (a terminal, /dev/null, /dev/stdout) is
//   written into directly; with kOutputDash, "-" is standard output. Anything else that is not
//   a regular file (a directory, a socket, a block device) is refused.
//
// Writes report their errno; SIGXFSZ is ignored from BufferProlog on, so a file over the size
// limit is the error EFBIG ("File too large"), not the end of the process.

constexpr int kOutputDevices = 0x1; // a FIFO or character device is written directly
constexpr int kOutputDash = 0x2;    // "-" is standard output

// The reasons of fOutputOpen that are no errno (negative, so they never meet one).
constexpr int kOutputReadOnly = -1;     // the file exists and its writer may not write it
constexpr int kOutputNotAFile = -2;     // a directory-like thing, socket or block device
constexpr int kOutputNoReader = -3;     // a FIFO that nobody reads from
constexpr int kOutputNoName = -4;       // an empty name
constexpr int kOutputTooManyLinks = -5; // symbolic links that lead on and on

enum OutputKind {
    kOutputReplace = 1, // a new file beside the target, renamed over it by fOutputCommit
    kOutputDirect = 2,  // the target itself (a FIFO, a character device, standard output)
};

struct OutputFile {
    int fd;               // where the bytes go; -1 when closed (or handed to a stream)
    int kind;             // OutputKind
    char path[kPathSize]; // the file written: the name with its symbolic links followed
    char temp[kPathSize]; // kOutputReplace: the new file until it is renamed, then ""
    int replaced;         // kOutputReplace: a file was there (its mode and owner were kept)
    int error;            // the first failure (an errno or a kOutput... reason), 0 while none
};

// Opens the output for `name` with kOutput... `flags`. 0; else the reason (an errno or a
// kOutput... reason, also in out->error), with nothing made and nothing to close.
int fOutputOpen(const char *name, int flags, OutputFile *out);
// Writes all `count` bytes to the output. 0; else the errno, kept in out->error (every later
// write and the commit then fail with it).
int fOutputWrite(const void *bytes, size_t count, OutputFile *out);
// Puts the written text in place: a replacing output is synced (while its descriptor is still
// the output's) and renamed over the target, which then is whole. The descriptor stays open.
// 0; else the reason (the target is untouched).
int fOutputCommit(OutputFile *out);
// Closes the descriptor (unless it is -1) and removes a new file that was not committed. 0, or
// the errno of a failed close.
int fOutputClose(OutputFile *out);
// The reason in plain words: the system's text for an errno, the library's for its own.
const char *fOutputReason(int reason);

// ---- temporary names -----------------------------------------------------------------------

// A new name in the private temporary directory: the letter 'T', the process identifier as
// "%04X", a counter from 1 as "%03X", a point and `extension`. The name is recorded for
// BufferEpilog and returned in a shared text, valid until the next call; no file is made. Null
// when the directory can be made neither under $TMPDIR nor under /tmp ("TempName" "no temporary
// directory: ..." naming both), the name does not fit, or no memory for the record.
const char *fTempName(const char *extension);
// Removes a file made under a recorded temporary name and forgets the name; a name that was not
// recorded is left alone. 0; 1 not recorded.
int fTempRemove(const char *name);
// Removes every recorded temporary file and the private directory, and forgets them.
void fTempRemoveAll();

// ---- paths ---------------------------------------------------------------------------------

// Expands `in` into `out` of `outSize` bytes: "~" alone or before a '/' becomes $HOME; text
// starting with a double quote is cut at the next double quote (or its end); anything else,
// "~name" and a leading backslash included, is copied unchanged. The output's length; -1 when it
// does not fit or an argument is missing (out is then "").
int ExpandPath(char *out, size_t outSize, const char *in);
// Splits `path` at its last '/' or '\\': the directory before it (the separator itself for a path
// like "/x", "" without a separator) and the file name after it. Either output may be null.
// 0; 1 when an output does not fit (both outputs are then "").
int SplitPath(const char *path, char *dir, size_t dirSize, char *file, size_t fileSize);

// ---- library internals shared by the module's source files ---------------------------------

// Opens a regular file for reading without blocking on a FIFO or device, its status in `st`.
// The descriptor; -1 cannot be opened (errno); -2 not a regular file.
int fOpenRegular(const char *name, struct stat *st);
// Copies the whole file behind `source` (read from offset 0, its position untouched) into
// `destination`, opened with `flags` | O_WRONLY and `mode`; a destination this call created
// exclusively (O_EXCL) is removed again on failure. 0; 1 the destination cannot be opened or is
// not a regular file; 2 a read, write or close failed.
int fCopyDescriptor(int source, const char *destination, int flags, int mode);
// Writes all `count` bytes to the descriptor, retrying short writes. 0; 1 on failure.
int fWriteAll(int fd, const void *bytes, size_t count);
