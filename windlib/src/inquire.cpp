// The inquiry dialogs (inquire.h). The three share one state record, hung on the dialog's
// extension and recognised there by its tag, so the button functions find their answer slot from
// the button alone. Answers are collected in the record and handed to the caller only after the
// dialog has closed with a confirmed result.
#include "inquire.h"
#include "dialog.h"
#include "filedlg.h"
#include "textwind.h"
#include "windmsg.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const DialogItem kFileTable[] = {
    {4, 4, 30, 8, kDialogTitled, "Open_File", nullptr, nullptr},
    {23, 5, 6, 2, kDialogButtonItem, "OK", "OK", nullptr},
    {11, 5, 7, 2, kDialogButtonItem, "Browse", "Browse", nullptr},
    {1, 5, 6, 2, kDialogButtonItem, "Cancel", "Cancel", nullptr},
    {1, 2, 22, 1, kDialogLabelItem, "PROMPT", nullptr, nullptr},
    {1, 3, 28, 2, kDialogEditItem, "FILENAME", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

const DialogItem kStringTable[] = {
    {4, 4, 25, 7, kDialogTitled, "String", nullptr, nullptr},
    {18, 4, 6, 2, kDialogButtonItem, "OK", "OK", nullptr},
    {1, 4, 6, 2, kDialogButtonItem, "Cancel", "Cancel", nullptr},
    {1, 2, 23, 2, kDialogEditItem, "STRING", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

const DialogItem kNumberTable[] = {
    {4, 4, 20, 7, kDialogTitled, "Number", nullptr, nullptr},
    {13, 4, 6, 2, kDialogButtonItem, "OK", "OK", nullptr},
    {1, 4, 6, 2, kDialogButtonItem, "Cancel", "Cancel", nullptr},
    {1, 2, 18, 2, kDialogEditItem, "NUMBER", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

const DialogItem kChoiceTable[] = {
    {4, 4, 37, 7, kDialogTitled, "Choice", nullptr, nullptr},
    {1, 1, 35, 2, kDialogLabelItem, "QUESTION", nullptr, nullptr},
    {1, 4, 10, 2, kDialogButtonItem, "CHOICE0", nullptr, nullptr},
    {13, 4, 10, 2, kDialogButtonItem, "CHOICE1", nullptr, nullptr},
    {25, 4, 10, 2, kDialogButtonItem, "CHOICE2", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

constexpr int kTableRecords = 7; // the longest table, its end included

struct InquireState {
    uint32_t tag;        // kInquireTag
    int result;          // 1 confirmed, -1 until then
    int limit;           // bytes the answer may take, its NUL included
    int mode;            // InquireFile's kInquire... bits
    const char *prompt;  // InquireFile: the file dialog's title
    char text[PATH_MAX]; // the answer being collected
    long number;         // InquireNumber's answer
};

InquireState *StateOf(Window *button) {
    Window *dialog = button ? button->parent : nullptr;
    InquireState *s = dialog ? (InquireState *)dialog->extension : nullptr;
    return s && s->tag == kInquireTag ? s : nullptr;
}

void CloseOwnDialog(Window *button) { PostEvent(kEventClose, 0, button->parent); }

int FileOk(int, Window *button) {
    InquireState *s = StateOf(button);
    if (!s)
        return 0;
    char typed[kEditTextLimit + 1];
    GetItemText("FILENAME", typed, sizeof typed, button->parent);
    if (strlen(typed) + 1 > (size_t)s->limit) {
        char text[64];
        snprintf(text, sizeof text, "The name is longer than %d bytes", s->limit - 1);
        ReportError(text, "INQ File");
        return 0;
    }
    CopyText(s->text, sizeof s->text, typed);
    s->result = 1;
    CloseOwnDialog(button);
    return 0;
}

int FileBrowse(int, Window *button) {
    InquireState *s = StateOf(button);
    if (!s)
        return 0;
    Window *dialog = button->parent;
    GetItemText("FILENAME", s->text, kEditTextLimit + 1, dialog);
    WindowRef ref = WindowRefOf(dialog);
    unsigned options = s->mode & kInquireSave ? kFileDialogSave : 0;
    if (FileDialog(s->prompt, nullptr, nullptr, s->text, s->limit, options, dialog) == 1)
        s->result = 1;
    if (Window *still = WindowRefGet(ref))
        PostEvent(kEventClose, 0, still);
    return 0;
}

int StringOk(int, Window *button) {
    InquireState *s = StateOf(button);
    if (!s)
        return 0;
    GetItemText("STRING", s->text, s->limit, button->parent);
    s->result = 1;
    CloseOwnDialog(button);
    return 0;
}

// Reads an int as strtol with base 0 does, refusing what strtol would quietly half-read. 0, or
// 1 with the reason in `why`.
int ParseInt(const char *text, long *value, const char **why) {
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == '\0') {
        *why = "Please type a number";
        return 1;
    }
    char *end = nullptr;
    errno = 0;
    long v = strtol(p, &end, 0);
    if (end == p) {
        *why = "That is not a number";
        return 1;
    }
    while (*end == ' ' || *end == '\t')
        end++;
    if (*end != '\0') {
        *why = "Only a number may be typed";
        return 1;
    }
    if (errno == ERANGE || v < INT_MIN || v > INT_MAX) {
        *why = "The number is out of range";
        return 1;
    }
    *value = v;
    return 0;
}

int NumberOk(int, Window *button) {
    InquireState *s = StateOf(button);
    if (!s)
        return 0;
    char typed[kInquireNumberText];
    GetItemText("NUMBER", typed, sizeof typed, button->parent);
    const char *why = nullptr;
    long v = 0;
    if (ParseInt(typed, &v, &why) != 0) {
        ReportError(why, "INQ number");
        return 0;
    }
    s->number = v;
    s->result = 1;
    CloseOwnDialog(button);
    return 0;
}

// Builds the dialog from a copy of `table` centred over `parent`, with the state attached, the
// title set and `field` pre-filled, wholly selected and current. Null after "Cant make dialog".
Window *MakeInquiry(const DialogItem *table, const char *failure, const char *title,
                    const char *field, const char *initial, InquireState *s, Window *parent) {
    DialogItem copy[kTableRecords];
    int n = 0;
    while (table[n].flags)
        n++;
    memcpy(copy, table, sizeof(DialogItem) * (size_t)(n + 1));
    CentreDialogRecord(&copy[0], parent);
    Window *dialog = CreateDialog(copy, parent);
    if (!dialog) {
        ReportError(failure, "Cant make dialog");
        return nullptr;
    }
    dialog->extension = s;
    SetButtonFunction("Cancel", CloseDialogButton, dialog);
    if (title)
        SetWindowText(title, dialog);
    const char *text = initial ? initial : "";
    SetItemText(field, text, -1, dialog);
    if (Window *item = FindNamedWindow(field, dialog))
        SetCurrentItem(item);
    SelectItemText(field, 0, (int)strlen(text) - 1, dialog);
    return dialog;
}

// Shows and runs the dialog; afterwards nothing can reach the state through it.
InquireState *NewState(const char *failure, int limit) {
    InquireState *s = (InquireState *)WindowAllocate(sizeof(InquireState));
    if (!s) {
        ReportMemoryError(failure);
        return nullptr;
    }
    memset(s, 0, sizeof *s);
    s->tag = kInquireTag;
    s->result = -1;
    s->limit = limit;
    return s;
}

Window *TopLevelOf(Window *w) {
    if (!WindowIsLive(w))
        return nullptr;
    while (w->parent)
        w = w->parent;
    return w;
}

// What OK leaves to the file dialog: a directory, "~", or a name with a wildcard.
bool NeedsFileDialog(const char *typed) {
    char cwd[PATH_MAX], full[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        snprintf(cwd, sizeof cwd, "/");
    if (MakeAbsolutePath(typed, cwd, full, sizeof full) == 0 && IsDirectoryPath(full))
        return true;
    const char *slash = strrchr(typed, '/');
    const char *name = slash ? slash + 1 : typed;
    return *name == '\0' || strpbrk(name, "*?") != nullptr;
}

} // namespace

int InquireFile(const char *prompt, char *path, int size, const char *initial, int mode,
                Window *parent) {
    if (!path || size <= 1)
        return -1;
    InquireState *s = NewState("Inquire File State", size < PATH_MAX ? size : PATH_MAX);
    if (!s)
        return -1;
    s->mode = mode;
    s->prompt = prompt ? prompt : "";
    Window *dialog = MakeInquiry(kFileTable, "INQ File", s->prompt, "FILENAME", initial, s, parent);
    if (!dialog) {
        WindowRelease(s);
        return -1;
    }
    SetButtonFunction("OK", FileOk, dialog);
    SetButtonFunction("Browse", FileBrowse, dialog);
    SetItemText("PROMPT", s->prompt, -1, dialog);
    RunDialogAndClose(WindowRefOf(dialog));

    int result = s->result;
    if (result == 1 && !(mode & kInquireAnyEntry) && NeedsFileDialog(s->text)) {
        // The inquiry has closed: the file dialog belongs to the asker's own top window.
        unsigned options = mode & kInquireSave ? kFileDialogSave : 0;
        result = FileDialog(s->prompt, nullptr, nullptr, s->text, s->limit, options,
                            TopLevelOf(parent)) == 1
                     ? 1
                     : -1;
    } else if (result == 1 && !(mode & kInquireAnyEntry) && strncmp(s->text, "~/", 2) == 0) {
        // Nobody downstream expands '~': a name in the home directory is handed on whole.
        char full[PATH_MAX];
        if (MakeAbsolutePath(s->text, "/", full, sizeof full) != 0 ||
            strlen(full) + 1 > (size_t)s->limit) {
            ReportError("The name does not fit once '~' is expanded", "INQ File");
            result = -1;
        } else {
            CopyText(s->text, sizeof s->text, full);
        }
    }
    if (result == 1)
        memcpy(path, s->text, strlen(s->text) + 1); // fits: every step kept to s->limit
    WindowRelease(s);
    return result;
}

int InquireString(const char *title, const char *initial, char *buffer, int size, Window *parent) {
    int limit = buffer && size > 0 ? (size < kEditTextLimit + 1 ? size : kEditTextLimit + 1) : 1;
    InquireState *s = NewState("Inquire String State", limit);
    if (!s)
        return -1;
    Window *dialog = MakeInquiry(kStringTable, "INQ string", title, "STRING", initial, s, parent);
    int result = -1;
    if (dialog) {
        SetButtonFunction("OK", StringOk, dialog);
        RunDialogAndClose(WindowRefOf(dialog));
        result = s->result;
    }
    if (buffer && size > 0) {
        if (result == 1)
            CopyText(buffer, (size_t)size, s->text);
        else
            buffer[0] = '\0';
    }
    WindowRelease(s);
    return result;
}

static int ChoicePressed(int, Window *button) {
    InquireState *s = StateOf(button);
    if (!s || !button->name)
        return 0;
    s->number = button->name[6] - '0';
    s->result = 1;
    CloseOwnDialog(button);
    return 0;
}

int InquireChoice(const char *title, const char *text, const char *const choices[], int count,
                  Window *parent) {
    if (!choices || count < 1 || count > 3)
        return -1;
    InquireState *s = NewState("Inquire Choice State", 1);
    if (!s)
        return -1;
    DialogItem copy[kTableRecords];
    memcpy(copy, kChoiceTable, sizeof kChoiceTable);
    copy[2 + count] = DialogItem{}; // the buttons not asked for are not made
    CentreDialogRecord(&copy[0], parent);
    Window *dialog = CreateDialog(copy, parent);
    int result = -1;
    if (!dialog) {
        ReportError("INQ choice", "Cant make dialog");
    } else {
        dialog->extension = s;
        SetWindowText(title ? title : "", dialog);
        SetItemText("QUESTION", text ? text : "", -1, dialog);
        static const char *const kNames[] = {"CHOICE0", "CHOICE1", "CHOICE2"};
        for (int i = 0; i < count; i++) {
            SetItemText(kNames[i], choices[i] ? choices[i] : "", -1, dialog);
            SetButtonFunction(kNames[i], ChoicePressed, dialog);
        }
        if (Window *first = FindNamedWindow(kNames[0], dialog))
            SetCurrentItem(first);
        RunDialogAndClose(WindowRefOf(dialog));
        result = s->result == 1 ? (int)s->number : -1;
    }
    WindowRelease(s);
    return result;
}

int InquireNumber(const char *title, int initial, int *value, Window *parent) {
    InquireState *s = NewState("Inquire Number State", kInquireNumberText);
    if (!s)
        return -1;
    char text[kInquireNumberText];
    snprintf(text, sizeof text, "%d", initial);
    Window *dialog = MakeInquiry(kNumberTable, "INQ number", title, "NUMBER", text, s, parent);
    int result = -1;
    if (dialog) {
        SetButtonFunction("OK", NumberOk, dialog);
        if (Window *field = FindNamedWindow("NUMBER", dialog))
            field->onActivate = NumericEditFilter;
        RunDialogAndClose(WindowRefOf(dialog));
        result = s->result;
    }
    if (result == 1 && value)
        *value = (int)s->number;
    WindowRelease(s);
    return result;
}
