// The file dialog (filedlg.h): path arithmetic, directory listings and the modal dialog over them.
// Everything is done on absolute paths so that the process's working directory stays as it was;
// relative input counts from the directory the dialog shows. Start reading at FileDialog.
#include "filedlg.h"
#include "buffer.h"
#include "controls.h"
#include "dialog.h"
#include "textwind.h"
#include "windmsg.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFileDialogTag = 0xF11EDA1A;
constexpr int kPatternSize = 256;
constexpr const char *kCaption = "File dialog";

// OK comes first: Return in the path field presses the dialog's first button.
const DialogItem kFileTable[] = {
    {4, 4, 44, 23, kDialogTitled, "Open_File", nullptr, nullptr},
    {36, 20, 7, 2, kDialogButtonItem, "OK", "OK", nullptr},
    {1, 20, 7, 2, kDialogButtonItem, "Cancel", "Cancel", nullptr},
    {1, 2, 42, 1, kDialogLabelItem, "DIR", nullptr, nullptr},
    {1, 3, 42, 2, kDialogEditItem, "PATH", nullptr, nullptr},
    {1, 6, 39, 13, kDialogListItem, "FILES", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

struct FileDialogState {
    uint32_t tag;               // kFileDialogTag: the dialog's extension is this record
    char directory[PATH_MAX];   // absolute, shown in "DIR"
    char pattern[kPatternSize]; // what files must match
    FileListing listing;        // what "FILES" shows, line n being entries[n - 1]
    char chosen[PATH_MAX];      // the answer once result is 1
    int size;                   // of the caller's buffer
    unsigned options;           // kFileDialog...
    int result;                 // 1 chosen, 0 not (yet)
};

bool HasWildcard(const char *name) { return strpbrk(name, "*?") != nullptr; }

// Appends `n` bytes to out[*length]; false when they and a terminator would not fit.
bool Append(const char *text, size_t n, char *out, size_t size, size_t *length) {
    if (*length + n + 1 > size)
        return false;
    memcpy(out + *length, text, n);
    *length += n;
    out[*length] = '\0';
    return true;
}

// Appends each component of `path`, folding "." and "..", to the absolute path in out.
bool AppendComponents(const char *path, char *out, size_t size, size_t *length) {
    const char *p = path;
    while (*p) {
        while (*p == '/')
            p++;
        const char *end = strchr(p, '/');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        if (n == 0)
            break;
        if (n == 1 && p[0] == '.') {
            // nothing: the same directory
        } else if (n == 2 && p[0] == '.' && p[1] == '.') {
            char *slash = strrchr(out, '/');
            *length = slash && slash != out ? (size_t)(slash - out) : 1;
            out[*length] = '\0';
        } else {
            if (*length > 1 && !Append("/", 1, out, size, length))
                return false;
            if (!Append(p, n, out, size, length))
                return false;
        }
        p += n;
    }
    return true;
}

FileDialogState *StateOf(Window *w) {
    while (w && WindowKind(w) != kWindowKindDialog)
        w = w->parent;
    FileDialogState *s = w ? (FileDialogState *)w->extension : nullptr;
    return s && s->tag == kFileDialogTag ? s : nullptr;
}

Window *DialogOf(Window *w) {
    while (w && WindowKind(w) != kWindowKindDialog)
        w = w->parent;
    return w;
}

// Empties the list box and fills it with the listing.
void ShowListing(const FileListing *listing, Window *list) {
    TextDesc *d = TextDescOf(list);
    if (!d || !d->buffer)
        return;
    Buffer *b = d->buffer;
    for (;;) {
        BufferGoto(1, 1, b);
        if (CurrentLineNumber(b) != 1 || CurrentLineLength(b) == 0 || DeleteLine(b) != 0)
            break;
    }
    b->markLine = b->markEndLine = -1;
    std::string text;
    for (const std::string &e : listing->entries) {
        text += e;
        text += '\n';
    }
    BufferGoto(1, 1, b);
    if (!text.empty())
        ListBoxInsert(text.c_str(), (int)text.size(), nullptr, list);
    b->markLine = b->markEndLine = -1;
    BufferGoto(1, 1, b);
    d->topLine = 1;
    d->lastClickedLine = -1;
    InvalidateLines(1, INT_MAX / 2, list);
    PostEvent(kEventRedraw, 0, list);
    UpdateScrollers(list); // the insertion left them at its end, not at the top shown
}

// Shows `directory` (absolute) with the state's pattern. 0; 1 after a message when it cannot be
// read, the dialog left as it was.
int EnterDirectory(const char *directory, FileDialogState *s, Window *dialog) {
    FileListing listing = {};
    if (ListDirectory(directory, s->pattern, &listing) != 0) {
        char text[PATH_MAX + 64];
        snprintf(text, sizeof text, "Cannot read %s: %s", directory, strerror(errno));
        ReportError(text, kCaption);
        return 1;
    }
    CopyText(s->directory, sizeof s->directory, directory);
    s->listing = std::move(listing);
    // The user must see that the list is not the whole directory, not only a log line.
    char shown[PATH_MAX + 64];
    snprintf(shown, sizeof shown, "%s (first %d entries)", s->directory, kFileEntryLimit);
    SetItemText("DIR", s->listing.truncated ? shown : s->directory, -1, dialog);
    if (Window *list = FindNamedWindow("FILES", dialog))
        ShowListing(&s->listing, list);
    return 0;
}

// The field's text after entering a directory: the pattern unless it is the plain "*".
void ShowPattern(FileDialogState *s, Window *dialog) {
    SetItemText("PATH", strcmp(s->pattern, "*") == 0 ? "" : s->pattern, -1, dialog);
}

// Acts on a typed or double-clicked path: enters a directory, takes a pattern, or chooses a
// file. Anything refused leaves the dialog open after a message.
void Accept(const char *typed, FileDialogState *s, Window *dialog) {
    char path[PATH_MAX];
    if (MakeAbsolutePath(typed, s->directory, path, sizeof path) != 0) {
        ReportError(*typed == '~' && !getenv("HOME") ? "HOME is not set" : "The path is too long",
                    kCaption);
        return;
    }
    if (IsDirectoryPath(path)) {
        if (EnterDirectory(path, s, dialog) == 0)
            ShowPattern(s, dialog);
        return;
    }
    char *slash = strrchr(path, '/');
    const char *name = slash + 1;
    char parent[PATH_MAX];
    snprintf(parent, sizeof parent, "%.*s", slash == path ? 1 : (int)(slash - path), path);
    if (!IsDirectoryPath(parent)) {
        char text[PATH_MAX + 32];
        snprintf(text, sizeof text, "No such directory: %s", parent);
        ReportError(text, kCaption);
        return;
    }
    if (HasWildcard(name)) {
        if (strlen(name) >= kPatternSize) {
            ReportError("The pattern is too long", kCaption);
            return;
        }
        char old[kPatternSize];
        CopyText(old, sizeof old, s->pattern);
        CopyText(s->pattern, sizeof s->pattern, name);
        if (EnterDirectory(parent, s, dialog) != 0)
            CopyText(s->pattern, sizeof s->pattern, old);
        else
            ShowPattern(s, dialog);
        return;
    }
    struct stat st;
    bool exists = stat(path, &st) == 0;
    if (!exists && !(s->options & kFileDialogSave)) {
        char text[PATH_MAX + 32];
        snprintf(text, sizeof text, "No such file: %s", path);
        ReportError(text, kCaption);
        return;
    }
    if (strlen(path) + 1 > (size_t)s->size) {
        char text[96];
        snprintf(text, sizeof text, "The path is longer than %d bytes", s->size - 1);
        ReportError(text, kCaption);
        return;
    }
    if (exists && (s->options & kFileDialogSave)) {
        char text[PATH_MAX + 48];
        snprintf(text, sizeof text, "%s already exists. Replace it?", path);
        if (!AskYesNo(text, "Save"))
            return;
    }
    CopyText(s->chosen, sizeof s->chosen, path);
    s->result = 1;
    PostEvent(kEventClose, 0, dialog);
}

int OkButton(int, Window *button) {
    Window *dialog = DialogOf(button);
    FileDialogState *s = StateOf(button);
    if (!s)
        return 0;
    char typed[kEditTextLimit + 1];
    if (GetItemText("PATH", typed, sizeof typed, dialog) != 0)
        return 0;
    if (typed[0] == '\0') {
        // An empty field with a line chosen in the list stands for that line.
        Window *list = FindNamedWindow("FILES", dialog);
        TextDesc *d = list ? TextDescOf(list) : nullptr;
        int line = d && d->buffer ? d->buffer->markLine : -1;
        if (line < 1 || line > (int)s->listing.entries.size())
            return 0;
        std::string entry = s->listing.entries[(size_t)line - 1];
        Accept(entry.c_str(), s, dialog);
        return 0;
    }
    Accept(typed, s, dialog);
    return 0;
}

int ListActivate(int line, Window *list) {
    FileDialogState *s = StateOf(list);
    if (!s || line < 1 || line > (int)s->listing.entries.size())
        return 0;
    // A copy: entering a directory replaces the listing.
    std::string entry = s->listing.entries[(size_t)line - 1];
    Accept(entry.c_str(), s, DialogOf(list));
    return 0;
}

// A press on a line also puts its name in the field, so OK and Return act on it.
int ListPress(int position, Window *list) {
    FileDialogState *s = StateOf(list);
    if (!s)
        return 0;
    WindowRef ref = WindowRefOf(list);
    ListBoxPressDefault(position, list);
    if (!WindowRefLive(ref))
        return 0;
    TextDesc *d = TextDescOf(list);
    int line = d && d->buffer ? d->buffer->markLine : -1;
    if (s->result != 1 && line >= 1 && line <= (int)s->listing.entries.size())
        SetItemText("PATH", s->listing.entries[(size_t)line - 1].c_str(), -1, DialogOf(list));
    return 0;
}

bool ByBytes(const std::string &a, const std::string &b) { return a < b; }

} // namespace

void CopyText(char *out, size_t size, const char *text) {
    if (!out || size == 0)
        return;
    size_t n = text ? strnlen(text, size - 1) : 0;
    if (n > 0)
        memmove(out, text, n);
    out[n] = '\0';
}

void CentreDialogRecord(DialogItem *record, Window *over) {
    const ToolkitDefaults *d = GetToolkitDefaults();
    if (!record || !d)
        return;
    record->flags &= ~kWindowFramed;
    int width = d->desktopRight - d->desktopLeft, height = d->desktopBottom - d->desktopTop;
    int offsetX = 0, offsetY = 0;
    if (WindowIsLive(over)) {
        width = over->right - over->left + 1;
        height = over->bottom - over->top + 1;
        // The dialog is placed inside the asking window's framed ancestor, not the window itself.
        Window *frame = over;
        while (frame->parent && !(frame->flags & kWindowFramed))
            frame = frame->parent;
        int ox, oy, fx, fy;
        WindowClientOrigin(over, &ox, &oy);
        WindowClientOrigin(frame, &fx, &fy);
        offsetX = ox - fx;
        offsetY = oy - fy;
    }
    int x = PixelsToCells(offsetX + (width + 1) / 2, d->cellWidth) - record->width / 2;
    int y = PixelsToCells(offsetY + (height + 1) / 2, d->cellHeight) - record->height / 2;
    record->x = x > 0 ? x : 0;
    record->y = y > 0 ? y : 0;
}

int MakeAbsolutePath(const char *typed, const char *base, char *out, size_t size) {
    if (!typed || !out || size < 2)
        return 1;
    size_t length = 0;
    out[0] = '\0';
    if (typed[0] == '~' && (typed[1] == '\0' || typed[1] == '/')) {
        const char *home = getenv("HOME");
        if (!home || home[0] != '/')
            return 1;
        if (!Append("/", 1, out, size, &length) || !AppendComponents(home, out, size, &length))
            return 1;
        typed++;
    } else if (typed[0] != '/') {
        if (!base || base[0] != '/')
            return 1;
        if (!Append("/", 1, out, size, &length) || !AppendComponents(base, out, size, &length))
            return 1;
    } else if (!Append("/", 1, out, size, &length)) {
        return 1;
    }
    return AppendComponents(typed, out, size, &length) ? 0 : 1;
}

bool IsDirectoryPath(const char *path) {
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int ListDirectory(const char *directory, const char *pattern, FileListing *listing) {
    if (!directory || !listing) {
        errno = EINVAL;
        return 1;
    }
    DIR *dir = opendir(directory);
    if (!dir)
        return 1;
    if (!pattern || !*pattern)
        pattern = "*";
    std::vector<std::string> directories, files;
    int truncated = 0;
    size_t base = strlen(directory);
    bool root = strcmp(directory, "/") == 0;
    char full[PATH_MAX];
    while (struct dirent *e = readdir(dir)) {
        const char *name = e->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || strpbrk(name, "\r\n"))
            continue;
        // Room for the name, its separator, a trailing '/' and the terminator.
        if (base + strlen(name) + 3 > sizeof full)
            continue;
        if (directories.size() + files.size() >= (size_t)kFileEntryLimit) {
            truncated = 1;
            break;
        }
        snprintf(full, sizeof full, "%s%s%s", directory, root ? "" : "/", name);
        if (IsDirectoryPath(full)) {
            if (fnmatch("*", name, FNM_PERIOD) == 0)
                directories.push_back(std::string(name) + "/");
        } else if (fnmatch(pattern, name, FNM_PERIOD) == 0) {
            files.push_back(name);
        }
    }
    closedir(dir);
    std::sort(directories.begin(), directories.end(), ByBytes);
    std::sort(files.begin(), files.end(), ByBytes);
    listing->entries.clear();
    if (!root)
        listing->entries.push_back("../");
    listing->entries.insert(listing->entries.end(), directories.begin(), directories.end());
    listing->directories = (int)listing->entries.size();
    listing->entries.insert(listing->entries.end(), files.begin(), files.end());
    listing->truncated = truncated;
    return 0;
}

int FileDialog(const char *title, const char *pattern, const char *directory, char *path, int size,
               unsigned options, Window *owner) {
    if (!path || size <= 1)
        return -1;
    FileDialogState state = {};
    FileDialogState *s = &state;
    s->tag = kFileDialogTag;
    s->size = size;
    s->options = options;
    CopyText(s->pattern, sizeof s->pattern, "*");

    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        snprintf(cwd, sizeof cwd, "/");
    char typed[PATH_MAX];
    snprintf(typed, sizeof typed, "%.*s", (int)strnlen(path, (size_t)size), path);
    char start[PATH_MAX], name[PATH_MAX] = "";
    if (MakeAbsolutePath(typed, cwd, start, sizeof start) != 0)
        CopyText(start, sizeof start, cwd);
    if (!IsDirectoryPath(start)) {
        char *slash = strrchr(start, '/');
        CopyText(name, sizeof name, slash + 1);
        slash[slash == start ? 1 : 0] = '\0';
        if (HasWildcard(name) && strlen(name) < kPatternSize) {
            CopyText(s->pattern, sizeof s->pattern, name);
            name[0] = '\0';
        }
        if (!IsDirectoryPath(start))
            CopyText(start, sizeof start, cwd);
    }
    if (directory && MakeAbsolutePath(directory, cwd, start, sizeof start) != 0)
        CopyText(start, sizeof start, cwd);
    if (pattern && *pattern && strlen(pattern) < kPatternSize)
        CopyText(s->pattern, sizeof s->pattern, pattern);

    DialogItem table[sizeof kFileTable / sizeof kFileTable[0]];
    memcpy(table, kFileTable, sizeof table);
    CentreDialogRecord(&table[0], owner);
    Window *dialog = CreateDialog(table, owner);
    if (!dialog) {
        ReportError("File dialog", "Cant make dialog");
        return -1;
    }
    WindowRef ref = WindowRefOf(dialog);
    dialog->extension = s;
    if (title)
        SetWindowText(title, dialog);
    SetButtonFunction("OK", OkButton, dialog);
    SetButtonFunction("Cancel", CloseDialogButton, dialog);
    if (Window *list = FindNamedWindow("FILES", dialog)) {
        list->onActivate = ListActivate;
        list->onLeftDown = ListPress;
        // A directory can hold thousands of entries: the arrow keys alone are no way to reach them.
        NewScroller(kScrollerRight, nullptr, list);
    }
    if (EnterDirectory(start, s, dialog) != 0)
        SetItemText("DIR", start, -1, dialog);
    SetItemText("PATH", name[0] ? name : (strcmp(s->pattern, "*") ? s->pattern : ""), -1, dialog);
    if (Window *field = FindNamedWindow("PATH", dialog))
        SetCurrentItem(field);
    RunDialogAndClose(ref); // the state is on this stack
    int result = s->result == 1 ? 1 : 0;
    if (result == 1)
        CopyText(path, (size_t)size, s->chosen);
    return result;
}
