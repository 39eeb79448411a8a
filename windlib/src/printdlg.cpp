// The print dialog (print.h): the output file or a printer queue, paper, colour, copies and
// the page range. It opens at once with the file to print to; lpstat runs in the background
// (command.h) and the queues come into the list when it has answered, the one to offer chosen
// then: the queue kept in the settings, else the system's default. Start reading at
// PrinterDialog.
#include "buffer.h"
#include "command.h"
#include "controls.h"
#include "dialog.h"
#include "filedlg.h"
#include "host.h"
#include "print.h"
#include "textwind.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kPrintDialogTag = 0x5052444C;
constexpr int kPrinterCells = 10; // the printer list: about 8 queues, then its scroller

const DialogItem kPrintTable[] = {
    {4, 4, 36, 17 + kPrinterCells + 2, kDialogTitled, "Print", nullptr, nullptr},
    // OK first: Return in a field presses the dialog's first button.
    {27, 16 + kPrinterCells, 7, 2, kDialogButtonItem, "OK", "OK", nullptr},
    {1, 16 + kPrinterCells, 7, 2, kDialogButtonItem, "Cancel", "Cancel", nullptr},
    {1, 2, 34, 1, kDialogLabelItem, "File:", nullptr, nullptr},
    {1, 3, 34, 2, kDialogEditItem, "FILE", nullptr, nullptr},
    {1, 6, 8, 1, kDialogLabelItem, "Paper:", nullptr, nullptr},
    {9, 6, 12, 1, kRadioItem, "paper0", "System", nullptr},
    {22, 6, 12, 1, kRadioItem, "paper1", "Letter", nullptr},
    {9, 7, 12, 1, kRadioItem, "paper2", "A4", nullptr},
    {22, 7, 12, 1, kRadioItem, "paper3", "Legal", nullptr},
    {1, 9, 13, 1, kCheckItem, "colour", "Colour", nullptr},
    {16, 9, 8, 1, kDialogLabelItem, "Copies:", nullptr, nullptr},
    {25, 9, 6, 2, kDialogEditItem, "COPIES", nullptr, nullptr},
    {1, 12, 8, 1, kDialogLabelItem, "Pages:", nullptr, nullptr},
    {9, 12, 5, 1, kDialogLabelItem, "from", nullptr, nullptr},
    {14, 12, 6, 2, kDialogEditItem, "FROM", nullptr, nullptr},
    {21, 12, 3, 1, kDialogLabelItem, "to", nullptr, nullptr},
    {25, 12, 6, 2, kDialogEditItem, "TO", nullptr, nullptr},
    {1, 15, 8, 1, kDialogLabelItem, "Printer:", nullptr, nullptr},
    {10, 15, 22, kPrinterCells, kDialogListItem, "PRINTERS", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

struct PrintDialogState {
    uint32_t tag; // kPrintDialogTag
    PrintSettings *settings;
    int paper; // the chosen paper radio
    int result;
    WindowRef printers; // the list: "File", then the queues
    std::vector<std::string>
        queues; // the queues of the list's lines from 2 on, as lpstat named them
};
bool gDialogOpen = false;

// lpstat's answers while the dialog is up: the queues (lpstat -e) and the default (lpstat -d).
struct QueueQuery {
    Command *listing, *fallback; // still running, or null
    std::string listed, system;  // what they said
    PrintDialogState *dialog;    // the open dialog, null once it closed
};
QueueQuery gQuery;

PrintDialogState *DialogStateOf(Window *item) {
    Window *dialog = item ? item->parent : nullptr;
    PrintDialogState *s = dialog ? (PrintDialogState *)dialog->extension : nullptr;
    return s && s->tag == kPrintDialogTag ? s : nullptr;
}

// The paper radios are one choice: the one pressed is on, the others off.
int PaperChosen(int, Window *radio) {
    PrintDialogState *s = DialogStateOf(radio);
    if (!s || !radio->name)
        return 0;
    s->paper = radio->name[5] - '0';
    char name[] = "paper0";
    for (int i = 0; i < 4; i++) {
        name[5] = (char)('0' + i);
        SetButtonCheck(name, i == s->paper, radio->parent);
    }
    return 0;
}

// A whole number from `least` to `most` in the field; `empty` when it is empty. false when the
// field holds anything else.
bool FieldNumber(const char *field, int least, int most, int empty, int *value, Window *dialog) {
    char text[16] = "";
    GetItemText(field, text, sizeof text, dialog);
    const char *start = text + strspn(text, " ");
    if (!*start) {
        *value = empty;
        return true;
    }
    char *end = nullptr;
    long n = strtol(start, &end, 10);
    end += strspn(end, " ");
    if (*end || n < least || n > most)
        return false;
    *value = (int)n;
    return true;
}

// Takes the choices when they make a print: a file name or a queue, a whole number of copies,
// a page range.
int PrintOk(int, Window *button) {
    PrintDialogState *s = DialogStateOf(button);
    if (!s)
        return 0;
    Window *dialog = button->parent;
    char file[kPrintNameSize] = "";
    GetItemText("FILE", file, sizeof file, dialog);
    // Line 1 of the printers is the file itself; a later line is a queue the document goes to.
    std::string queue;
    Window *printers = WindowRefGet(s->printers);
    TextDesc *d = printers ? TextDescOf(printers) : nullptr;
    int line = d && d->buffer ? CurrentLineNumber(d->buffer) : 1;
    if (line > 1 && line - 2 < (int)s->queues.size())
        queue = s->queues[(size_t)line - 2];
    if (queue.size() >= (size_t)kPrintQueueSize) {
        ReportError("That printer's name is too long", "Print");
        return 0;
    }
    // A queue needs no file: its document is made in the temporary directory.
    if (!file[0] && queue.empty()) {
        ReportError("Please give the file to print to", "Print");
        return 0;
    }
    int copies = 0, from = 0, to = 0;
    if (!FieldNumber("COPIES", 1, kPrintMostCopies, 0, &copies, dialog) || copies < 1) {
        ReportError("Copies: a number from 1 to 999", "Print");
        return 0;
    }
    if (!FieldNumber("FROM", 1, kPrintMostPages, 1, &from, dialog) ||
        !FieldNumber("TO", 1, kPrintMostPages, -1, &to, dialog) || (to > 0 && to < from)) {
        ReportError("Pages: from a page to a later one (an empty field: the first or the last)",
                    "Print");
        return 0;
    }
    PrintSettings *p = s->settings;
    if (file[0]) // an empty field beside a queue keeps the file offered next time
        memcpy(p->name, file, sizeof p->name);
    snprintf(p->queue, sizeof p->queue, "%s", queue.c_str());
    p->paper = s->paper;
    p->flags = GetButtonCheck("colour", dialog)
                   ? (p->flags & kPrintColour ? p->flags & kPrintColour : 1)
                   : 0;
    p->copies = copies;
    p->fromPage = from;
    p->toPage = to;
    s->result = 1;
    return CloseDialogButton(0, button);
}

// The printers list shows a queue's Latin-1 characters as themselves (its lines hold the names
// made Latin-1 from lpstat's UTF-8); anything else as every list shows it.
const char *ShowLatin1(int byte, int column, char *scratch, int *count, Window *window) {
    byte &= 0xFF;
    if (byte < 0xA0)
        return ExpandChar(byte, column, scratch, count, window);
    scratch[0] = (char)byte;
    scratch[1] = '\0';
    *count = 1;
    return scratch;
}

// ListBoxInsert's order that puts every queue after the lines already there.
int AfterEveryLine(const char *, int, const char *, int) { return 1; }

// lpstat has answered both questions: the queues go in the list, the default first, and the
// queue to offer is chosen, unless the user has chosen a line meanwhile.
void FillPrinters(PrintDialogState *s) {
    Window *list = WindowRefGet(s->printers);
    TextDesc *d = list ? TextDescOf(list) : nullptr;
    if (!d || !d->buffer)
        return;
    std::vector<std::string> names;
    for (size_t at = 0; at < gQuery.listed.size();) {
        size_t end = gQuery.listed.find('\n', at);
        std::string name = gQuery.listed.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? gQuery.listed.size() : end + 1;
        name.erase(name.find_last_not_of(" \t\r") + 1);
        if (!name.empty() && name != gQuery.system)
            names.push_back(name);
    }
    const bool hasDefault = !gQuery.system.empty();
    if (hasDefault)
        names.insert(names.begin(), gQuery.system);
    bool untouched = CurrentLineNumber(d->buffer) == 1;
    for (const std::string &name : names) {
        std::string line = HostLatin1FromUtf8(name, kPrintNameSize) + "\n";
        if (ListBoxInsert(line.c_str(), (int)line.size(), AfterEveryLine, list) != 0)
            break;
        s->queues.push_back(name);
    }
    std::string wanted = s->settings->queue;
    bool known = false;
    for (const std::string &name : s->queues)
        known = known || name == wanted;
    if (wanted == kPrintSystemDefault || (!wanted.empty() && !known))
        wanted = hasDefault ? gQuery.system : "";
    int choose = 1;
    for (size_t i = 0; i < s->queues.size(); i++)
        if (!wanted.empty() && s->queues[i] == wanted)
            choose = (int)i + 2;
    ListBoxSelectLine(untouched ? choose : CurrentLineNumber(d->buffer), list);
    UpdateScrollers(list);
}

void QueryAnswered(void) {
    if (!gQuery.listing && !gQuery.fallback && gQuery.dialog)
        FillPrinters(gQuery.dialog);
}

void ListingDone(int status, const char *output, void *) {
    gQuery.listing = nullptr;
    gQuery.listed = status == 0 && output ? output : "";
    QueryAnswered();
}

// "system default destination: NAME"
void DefaultDone(int status, const char *output, void *) {
    gQuery.fallback = nullptr;
    std::string said = status == 0 && output ? output : "";
    size_t colon = said.find(':');
    gQuery.system.clear();
    if (said.rfind("system default destination", 0) == 0 && colon != std::string::npos) {
        std::string name = said.substr(colon + 1);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t\r\n") + 1);
        gQuery.system = name;
    }
    QueryAnswered();
}

// Asks lpstat in the background; the dialog is up meanwhile, offering the file.
void StartQuery(PrintDialogState *s) {
    gQuery = QueueQuery{};
    gQuery.dialog = s;
    const char *listing[] = {"lpstat", "-e", nullptr};
    const char *asked[] = {"lpstat", "-d", nullptr};
    gQuery.listing = StartCommand(listing, 0, kPrintQuerySeconds * 1000, ListingDone, nullptr);
    gQuery.fallback = StartCommand(asked, 0, kPrintQuerySeconds * 1000, DefaultDone, nullptr);
    QueryAnswered(); // neither could run: there is only the file
}

void EndQuery(void) {
    gQuery.dialog = nullptr;
    if (gQuery.listing)
        StopCommand(gQuery.listing);
    if (gQuery.fallback)
        StopCommand(gQuery.fallback);
    gQuery = QueueQuery{};
}

} // namespace

int PrinterDialog(PrintSettings *settings, Window *window) {
    if (!settings || gDialogOpen)
        return -1;
    DialogItem table[sizeof kPrintTable / sizeof kPrintTable[0]];
    memcpy(table, kPrintTable, sizeof table);
    CentreDialogRecord(&table[0], window);
    Window *dialog = CreateDialog(table, window);
    if (!dialog) {
        ReportError("Print", "Cant make dialog");
        return -1;
    }
    PrintDialogState state = {kPrintDialogTag, settings, settings->paper, -1, {}, {}};
    dialog->extension = &state;
    WindowRef ref = WindowRefOf(dialog);
    SetButtonFunction("OK", PrintOk, dialog);
    SetButtonFunction("Cancel", CloseDialogButton, dialog);
    char name[] = "paper0";
    for (int i = 0; i < 4; i++) {
        name[5] = (char)('0' + i);
        SetButtonFunction(name, PaperChosen, dialog);
        SetButtonCheck(name, i == state.paper, dialog);
    }
    SetButtonCheck("colour", (settings->flags & kPrintColour) != 0, dialog);
    char number[16];
    snprintf(number, sizeof number, "%d", settings->copies > 0 ? settings->copies : 1);
    SetItemText("COPIES", number, -1, dialog);
    snprintf(number, sizeof number, "%d", settings->fromPage > 0 ? settings->fromPage : 1);
    SetItemText("FROM", number, -1, dialog);
    if (settings->toPage > 0) {
        snprintf(number, sizeof number, "%d", settings->toPage);
        SetItemText("TO", number, -1, dialog);
    }
    SetItemText("FILE", settings->name, -1, dialog);
    if (Window *printers = FindNamedWindow("PRINTERS", dialog)) {
        state.printers = WindowRefOf(printers);
        if (TextDesc *d = TextDescOf(printers))
            d->expand = ShowLatin1;
        ListBoxInsert("File\n", 5, nullptr, printers);
        ListBoxSelectLine(1, printers);
        NewScroller(kScrollerRight, nullptr, printers);
    }
    if (Window *field = FindNamedWindow("FILE", dialog))
        SetCurrentItem(field);
    gDialogOpen = true;
    StartQuery(&state);
    RunDialogAndClose(ref); // the state is on this stack
    EndQuery();
    gDialogOpen = false;
    return state.result == 1 ? 1 : -1;
}

int PrintAskingForQueues(void) { return gQuery.dialog && (gQuery.listing || gQuery.fallback); }
