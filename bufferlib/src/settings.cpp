// The settings file: our own profile functions on an INI text file, and the accessors with the
// write-back of defaults and the sequence key chain. The file is read afresh on every access
// (it is small, and the user may edit it); it is written only when a value really changes.
#include "settings.h"

#include "buffer.h"
#include "filesys.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char kSettingsSection[] = "nv";
const char kEndOfSequence[] = "__end_of_sequence__";

constexpr size_t kSequenceKeyLimit = 255; // longest key a sequence may form

// ---- directory ----------------------------------------------------------------------------

std::string SettingsDirectory() {
    const char *dir = getenv("TORVA_CONFIG_DIR");
    if (dir && *dir)
        return dir;
    const char *xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + "/torva";
    const char *home = getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/torva";
}

// ---- the file as lines --------------------------------------------------------------------

// The file's lines without their line ends. false when it is missing, unreadable, not a regular
// file or larger than the limit (*refused tells the last three apart: such a file is never
// rewritten). The open never blocks, so a FIFO named as the settings file cannot hang us.
static bool loadLines(const char *file, std::vector<std::string> *lines, bool *refused) {
    *refused = false;
    lines->clear();
    struct stat st;
    int fd = fOpenRegular(file, &st);
    if (fd < 0) {
        *refused = fd == -2 || (errno != ENOENT && errno != ENOTDIR);
        return false;
    }
    std::string text;
    bool ok = static_cast<uint64_t>(st.st_size) <= kSettingsFileLimit;
    char chunk[4096];
    while (ok) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(chunk, static_cast<size_t>(n));
        ok = text.size() <= kSettingsFileLimit; // it may grow while we read it
    }
    close(fd);
    if (!ok) {
        *refused = true;
        return false;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines->push_back(line);
        start = end + 1;
    }
    return true;
}

// The parsing below only looks into the lines (views, no copies): every read and write-back
// scans the whole file, and a first start makes some hundreds of them.
static std::string_view trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return s.substr(s.size()); // empty, but still pointing into the line
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// A name as read from the file equals `wanted`, ignoring case, up to a NUL in either, as the
// C string comparison the names were always matched with.
static bool sameName(std::string_view name, const char *wanted) {
    size_t n = strnlen(name.data(), name.size());
    return strncasecmp(name.data(), wanted, n) == 0 && wanted[n] == '\0';
}

// The section a header line opens, or false for any other line.
static bool sectionOf(std::string_view line, std::string_view *name) {
    std::string_view t = trim(line);
    if (t.size() < 2 || t[0] != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string_view::npos)
        return false;
    *name = trim(t.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line, or false for comments and other lines.
static bool entryOf(std::string_view line, std::string_view *key, std::string_view *value) {
    std::string_view t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return false;
    *key = trim(t.substr(0, eq));
    *value = trim(t.substr(eq + 1));
    return !key->empty();
}

// Where the key's line is (-1 when absent) and where the section ends (the index after its
// last line; -1 when the section is absent).
static void locate(const std::vector<std::string> &lines, const char *section, const char *key,
                   long *keyLine, long *sectionEnd) {
    *keyLine = -1;
    *sectionEnd = -1;
    bool inside = false;
    const int first = tolower((unsigned char)key[0]);
    for (size_t i = 0; i < lines.size(); i++) {
        std::string_view t = trim(lines[i]), name, k, v;
        // Blank lines after a section's entries belong to the gap before the next section.
        if (t.empty())
            continue;
        if (t[0] == '[' && sectionOf(t, &name)) {
            inside = sameName(name, section);
            if (inside && *sectionEnd < 0)
                *sectionEnd = static_cast<long>(i) + 1;
            continue;
        }
        if (!inside)
            continue;
        // Only a line that starts as the key does can be its line.
        if (*keyLine < 0 && tolower((unsigned char)t[0]) == first && entryOf(t, &k, &v) &&
            sameName(k, key))
            *keyLine = static_cast<long>(i);
        *sectionEnd = static_cast<long>(i) + 1;
    }
}

// A refused write is reported once per file and reason: the panel reads a hundred keys, and
// each would otherwise say the same.
static void reportRefusedOnce(const std::string &file, const char *reason) {
    static std::vector<std::string> reported;
    std::string key = file + "\n" + reason;
    for (const std::string &r : reported)
        if (r == key)
            return;
    reported.push_back(key);
    BufReportMessage("Settings:", (file + " " + reason).c_str());
}

// The file a write must replace: the settings file itself or, when it is a symbolic link, the
// file its chain of links names (relative links from their own directory), so the links stay
// and their target changes. false when the chain is too long or unreadable.
static bool resolveLinks(std::string *path) {
    constexpr int kMaxLinks = 40; // as the host allows in one path
    for (int hop = 0; hop < kMaxLinks; hop++) {
        struct stat st;
        if (lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::vector<char> target(PATH_MAX + 1);
        ssize_t n = readlink(path->c_str(), target.data(), target.size() - 1);
        if (n < 0)
            return false;
        std::string link(target.data(), static_cast<size_t>(n));
        size_t slash = path->rfind('/');
        if (link[0] != '/' && slash != std::string::npos)
            link = path->substr(0, slash + 1) + link;
        *path = link;
    }
    return false;
}

// Makes the directory of a file (and its parents) on the first write.
static void makeDirectoryOf(const std::string &path) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    for (size_t i = 1; i <= dir.size(); i++)
        if (i == dir.size() || dir[i] == '/')
            mkdir(dir.substr(0, i).c_str(), 0755);
}

// Two programs sharing one settings file each read it, change a key and replace it: without an
// order between them, the later replacement is made from a copy read before the earlier one and
// takes its keys away. Every read-modify-replace therefore holds an exclusive advisory lock on
// "<file>.lock" beside the file it replaces (the target of a link, so two links to one file
// share it). The lock file is never removed: removing it would let a third program lock a new
// file while the second still holds the old one. The descriptor, or -1 when no lock can be had
// (an unwritable directory), in which case the write goes ahead as it would alone.
static int lockSettings(const char *file) {
    std::string path = file;
    if (!resolveLinks(&path))
        return -1;
    makeDirectoryOf(path);
    int fd = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return -1;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return -1;
        }
    }
    return fd;
}

static void unlockSettings(int fd) {
    if (fd >= 0)
        close(fd); // releases the lock
}

// Replaces the file with the lines: a temporary file in the same directory, flushed to disk,
// then renamed over the old one. A write that would make the file larger than the reader takes,
// or replace a file without owner write permission (the user froze it), is refused with one
// message. 0, or 1 with the old file untouched.
static int saveLines(const char *file, const std::vector<std::string> &lines) {
    std::string path = file;
    if (!resolveLinks(&path))
        return 1;
    // A line that still ends in a carriage return (it ended in two) keeps it: written with a
    // carriage return before its line feed, it reads back as it was.
    std::string text;
    for (const std::string &line : lines)
        text += line + (!line.empty() && line.back() == '\r' ? "\r\n" : "\n");
    if (text.size() > kSettingsFileLimit) {
        reportRefusedOnce(path, "would pass 1 MiB: not written");
        return 1;
    }
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && !(st.st_mode & S_IWUSR)) {
        reportRefusedOnce(path, "is read-only: not written");
        return 1;
    }
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    makeDirectoryOf(path);
    std::string temp = dir + "/.settings.XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0)
        return 1;
    mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0 && fWriteAll(fd, text.data(), text.size()) == 0;
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(name.data(), path.c_str()) != 0) {
        unlink(name.data());
        return 1;
    }
    return 0;
}

// One key set during a batch, replayed on the file as it is when the batch ends.
struct SettingChange {
    std::string section, key, value;
};

// The batch under way: the file's lines as read at its start and changed since, and the changes
// themselves. Reads in the batch see the copy; the end applies the changes to the file read
// afresh under the lock, so keys another program wrote meanwhile stay.
static struct {
    bool active;
    std::string file;
    std::vector<std::string> lines;
    std::vector<SettingChange> changes;
    int depth; // batches of the same file nest: only the outermost end writes
} gBatch;

static bool inBatch(const char *file) { return gBatch.active && file && gBatch.file == file; }

// Sets key to value (already on one line) in the lines; false when it was so already.
static bool setLine(std::vector<std::string> *lines, const char *section, const char *key,
                    const std::string &value) {
    std::string line = std::string(key) + "=" + value;
    long keyLine, sectionEnd;
    locate(*lines, section, key, &keyLine, &sectionEnd);
    if (keyLine >= 0) {
        std::string_view k, old;
        entryOf((*lines)[static_cast<size_t>(keyLine)], &k, &old);
        if (old == trim(value))
            return false;
        (*lines)[static_cast<size_t>(keyLine)] = line;
    } else if (sectionEnd >= 0) {
        lines->insert(lines->begin() + sectionEnd, line);
    } else {
        lines->push_back(std::string("[") + section + "]");
        lines->push_back(line);
    }
    return true;
}

void SettingsBatchBegin(const char *file) {
    if (inBatch(file)) {
        gBatch.depth++;
        return;
    }
    SettingsBatchEnd(); // another file's batch ends here
    gBatch.depth = 1;
    gBatch.active = false;
    gBatch.lines.clear();
    gBatch.changes.clear();
    if (!file)
        return;
    bool refused;
    if (!loadLines(file, &gBatch.lines, &refused) && refused)
        return;
    gBatch.file = file;
    gBatch.active = true;
}

int SettingsBatchEnd(void) {
    if (!gBatch.active || --gBatch.depth > 0)
        return 0;
    gBatch.active = false;
    gBatch.lines.clear();
    int result = 0;
    if (!gBatch.changes.empty()) {
        int lock = lockSettings(gBatch.file.c_str());
        std::vector<std::string> lines;
        bool refused;
        if (!loadLines(gBatch.file.c_str(), &lines, &refused) && refused) {
            result = 1; // never replace a file we could not read whole
        } else {
            bool changed = false;
            for (const SettingChange &c : gBatch.changes)
                changed = setLine(&lines, c.section.c_str(), c.key.c_str(), c.value) || changed;
            result = changed ? saveLines(gBatch.file.c_str(), lines) : 0;
        }
        unlockSettings(lock);
    }
    gBatch.changes.clear();
    return result;
}

int ProfileReadString(const char *section, const char *key, char *out, size_t outSize,
                      const char *file) {
    std::vector<std::string> own;
    bool refused;
    if (!file)
        return 0;
    if (!inBatch(file) && !loadLines(file, &own, &refused))
        return 0;
    const std::vector<std::string> &lines = inBatch(file) ? gBatch.lines : own;
    long keyLine, sectionEnd;
    locate(lines, section, key, &keyLine, &sectionEnd);
    if (keyLine < 0)
        return 0;
    std::string_view k, v;
    entryOf(lines[static_cast<size_t>(keyLine)], &k, &v);
    if (outSize > 0) {
        size_t n = v.size() < outSize - 1 ? v.size() : outSize - 1;
        memcpy(out, v.data(), n);
        out[n] = 0;
    }
    return 1;
}

int ProfileWriteString(const char *section, const char *key, const char *value, const char *file) {
    if (!file)
        return 1;
    // A line break inside a value would end its line: the file keeps one value per line.
    std::string v = value;
    for (char &c : v)
        if (c == '\n' || c == '\r')
            c = ' ';
    if (inBatch(file)) {
        if (setLine(&gBatch.lines, section, key, v))
            gBatch.changes.push_back({section, key, v});
        return 0;
    }
    // Most writes are defaults written back that the file holds already: those are seen without
    // the lock, so reading settings never waits for another program nor makes a lock file.
    std::vector<std::string> lines;
    bool refused;
    if (!loadLines(file, &lines, &refused) && refused)
        return 1; // never replace a file we could not read whole
    if (!setLine(&lines, section, key, v))
        return 0;
    int lock = lockSettings(file);
    int result = 0;
    if (!loadLines(file, &lines, &refused) && refused)
        result = 1;
    else if (setLine(&lines, section, key, v))
        result = saveLines(file, lines);
    unlockSettings(lock);
    return result;
}

// ---- accessors ----------------------------------------------------------------------------

static char gLastKey[kSettingTextSize]; // the sequence state: the last key used
static int gCounter;                    // and the counter of the next item

static void setLastKey(const char *key) {
    snprintf(gLastKey, sizeof gLastKey, "%s", key);
    gCounter = 1;
}

// The decimal number at the start of a value, 0 when there is none; clamped to int.
static int leadingInteger(const char *text) {
    while (*text == ' ' || *text == '\t')
        text++;
    char *end;
    errno = 0;
    long long v = strtoll(text, &end, 10);
    if (end == text)
        return 0;
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

int ReadIntSetting(const char *key, int defaultValue, const char *file) {
    char text[kSettingTextSize];
    int value = ProfileReadString(kSettingsSection, key, text, sizeof text, file)
                    ? leadingInteger(text)
                    : defaultValue;
    setLastKey(key);
    if (value == defaultValue && file) {
        char number[32];
        snprintf(number, sizeof number, "%d", defaultValue);
        ProfileWriteString(kSettingsSection, key, number, file);
    }
    return value;
}

void WriteIntSetting(const char *key, int value, const char *file) {
    if (!file)
        return;
    char number[32];
    snprintf(number, sizeof number, "%d", value);
    ProfileWriteString(kSettingsSection, key, number, file);
}

const char *ReadStringSetting(const char *key, const char *defaultText, const char *file) {
    static char text[kSettingTextSize];
    if (!ProfileReadString(kSettingsSection, key, text, sizeof text, file))
        snprintf(text, sizeof text, "%s", defaultText ? defaultText : "");
    setLastKey(key);
    if (file && defaultText && strcmp(text, defaultText) == 0)
        ProfileWriteString(kSettingsSection, key, defaultText, file);
    return text;
}

const char *WriteStringSetting(const char *key, const char *text, const char *file) {
    setLastKey(key);
    if (file)
        ProfileWriteString(kSettingsSection, key, text, file);
    return text;
}

// The key of the next sequence item, or false when it would pass the key limit.
static bool nextKey(std::string *key) {
    char suffix[32];
    snprintf(suffix, sizeof suffix, "_%d_", gCounter);
    *key = std::string(gLastKey) + suffix;
    return key->size() <= kSequenceKeyLimit;
}

const char *NextSequenceItem(const char *file) {
    std::string key;
    if (!nextKey(&key))
        return nullptr;
    int counter = gCounter;
    const char *text = ReadStringSetting(key.c_str(), kEndOfSequence, file);
    gCounter = counter + 1;
    return strcmp(text, kEndOfSequence) == 0 ? nullptr : text;
}

int AppendSequenceItem(const char *text, const char *file) {
    std::string key;
    if (!nextKey(&key))
        return 1;
    int counter = gCounter;
    WriteStringSetting(key.c_str(), text, file);
    gCounter = counter + 1;
    return 0;
}
