// Printing: the print settings and print jobs (print.h). A job lends the printed window the
// printer GC for its whole length, makes the fonts again at the printer's resolution and
// repaints the window once per page; everything it did is undone in reverse when it ends or
// fails, so the screen always gets its own fonts back. Start reading at ReadPrintSettings.
#include "print.h"
#include "buffer.h"
#include "controls.h"
#include "dialog.h"
#include "filedlg.h"
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

PrintSettings gCurrent;
bool gHaveCurrent = false;

PrintSettings gJob; // the running job
bool gJobRunning = false;
HostDevice *gDevice; // its printer
GC *gPrinterGC;      // lent to the job's window from start to end

void ReportPrintFailure(void) {
    const HostOps *h = WindowHost();
    ReportError(h && h->printerFailure ? h->printerFailure() : "Printer failed", "Print");
}

// The screen's fonts again, measured on the window's own device.
void ScreenFonts(Window *window) {
    GC *screen = window ? GetWindowGC(window) : nullptr;
    RecreateFonts(screen ? screen : ScreenGC());
    ReleaseGC(screen);
}

} // namespace

namespace {

// The integer settings, read with their defaults and written back from one table.
struct IntSetting {
    const char *key;
    int PrintSettings::*field;
    int fallback;
};
const IntSetting kIntSettings[] = {
    {"PRINT_CONNECT", &PrintSettings::connect, 0},
    {"PRINT_FLAGS", &PrintSettings::flags, 1},
    {"PRINT_LANGUAGE", &PrintSettings::language, 2},
    {"PRINT_PAPER", &PrintSettings::paper, 0},
    {"PRINT_RESOLUTIONX", &PrintSettings::resolutionX, 600},
    {"PRINT_RESOLUTIONY", &PrintSettings::resolutionY, 600},
    {"PRINT_LEFTMARGIN", &PrintSettings::leftMargin, 450},
    {"PRINT_RIGHTMARGIN", &PrintSettings::rightMargin, 450},
    {"PRINT_TOPMARGIN", &PrintSettings::topMargin, 600},
    {"PRINT_BOTTOMMARGIN", &PrintSettings::bottomMargin, 600},
};

// The queue's name for the job: the title of the window's top-level ancestor.
const char *JobTitle(Window *window) {
    while (window->parent)
        window = window->parent;
    return window->text && *window->text ? window->text : "torva";
}

// What a job set up, undone in reverse: the printer GC's loan, the printer, the printing
// colours, the printer's fonts (made again for the window's screen), the job record.
void UndoJob(Window *window) {
    GC *gc = gPrinterGC;
    gPrinterGC = nullptr;
    ReleaseGC(gc);
    WindowHost()->deletePrinter(gDevice);
    gDevice = nullptr;
    SetPrintingColors(0);
    ScreenFonts(window);
    if (gJob.output)
        BufferFree(gJob.output);
    gJob.output = nullptr;
    gJob.window = WindowRef{};
    gJobRunning = false;
}

} // namespace

void LoadPrintSettings(const char *file, PrintSettings *s) {
    if (!s)
        return;
    memset(s, 0, sizeof *s);
    for (const IntSetting &k : kIntSettings)
        s->*k.field = ReadIntSetting(k.key, k.fallback, file);
    s->flags &= kPrintColour;
    if (s->paper < 0 || s->paper > 3)
        s->paper = 0;
    const char *name =
        ReadStringSetting("PRINT_PSOUTFILE", s->language == 2 ? "out.ps" : "out.pcl", file);
    snprintf(s->name, sizeof s->name, "%s", name);
    s->fromPage = 1;
    s->toPage = s->maxPage = -1;
    s->copies = 1;
}

namespace {

constexpr uint32_t kPrintDialogTag = 0x5052444C;
constexpr int kMostCopies = 999;

const DialogItem kPrintTable[] = {
    {4, 4, 36, 20, kDialogTitled, "Print", nullptr, nullptr},
    // OK first: Return in a field presses the dialog's first button.
    {27, 17, 7, 2, kDialogButtonItem, "OK", "OK", nullptr},
    {1, 17, 7, 2, kDialogButtonItem, "Cancel", "Cancel", nullptr},
    {1, 2, 34, 1, kDialogLabelItem, "File:", nullptr, nullptr},
    {1, 3, 34, 2, kDialogEditItem, "FILE", nullptr, nullptr},
    {1, 12, 8, 1, kDialogLabelItem, "Printer:", nullptr, nullptr},
    {10, 12, 24, 4, kDialogListItem, "PRINTERS", nullptr, nullptr},
    {1, 6, 8, 1, kDialogLabelItem, "Paper:", nullptr, nullptr},
    {9, 6, 12, 1, kRadioItem, "paper0", "System", nullptr},
    {22, 6, 12, 1, kRadioItem, "paper1", "Letter", nullptr},
    {9, 7, 12, 1, kRadioItem, "paper2", "A4", nullptr},
    {22, 7, 12, 1, kRadioItem, "paper3", "Legal", nullptr},
    {1, 9, 13, 1, kCheckItem, "colour", "Colour", nullptr},
    {16, 9, 8, 1, kDialogLabelItem, "Copies:", nullptr, nullptr},
    {25, 9, 6, 2, kDialogEditItem, "COPIES", nullptr, nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

struct PrintDialogState {
    uint32_t tag; // kPrintDialogTag
    PrintSettings *settings;
    int paper; // the chosen paper radio
    int result;
};
bool gDialogOpen = false;

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

// Takes the choices when they make a print: a file name and a whole number of copies.
int PrintOk(int, Window *button) {
    PrintDialogState *s = DialogStateOf(button);
    if (!s)
        return 0;
    Window *dialog = button->parent;
    char file[kPrintNameSize] = "", copies[16] = "";
    GetItemText("FILE", file, sizeof file, dialog);
    GetItemText("COPIES", copies, sizeof copies, dialog);
    char *end = nullptr;
    long n = strtol(copies, &end, 10);
    // Line 1 of the printers is the file itself; a later line is a queue the document goes to.
    char queue[kPrintQueueSize] = "";
    Window *printers = FindNamedWindow("PRINTERS", dialog);
    TextDesc *d = printers ? TextDescOf(printers) : nullptr;
    if (d && d->buffer && CurrentLineNumber(d->buffer) > 1) {
        const char *line = LockLine(d->buffer);
        int length = CurrentLineLength(d->buffer);
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            length--;
        if (length >= (int)sizeof queue) {
            ReportError("That printer's name is too long", "Print");
            return 0;
        }
        memcpy(queue, line, (size_t)length);
        queue[length] = '\0';
    }
    // A queue needs no file: its document is made in the temporary directory.
    if (!file[0] && !queue[0]) {
        ReportError("Please give the file to print to", "Print");
        return 0;
    }
    if (!copies[0] || *end || n < 1 || n > kMostCopies) {
        ReportError("Copies: a number from 1 to 999", "Print");
        return 0;
    }
    PrintSettings *p = s->settings;
    if (file[0]) // an empty field beside a queue keeps the file offered next time
        memcpy(p->name, file, sizeof p->name);
    memcpy(p->queue, queue, sizeof p->queue);
    p->paper = s->paper;
    p->flags = GetButtonCheck("colour", dialog)
                   ? (p->flags & kPrintColour ? p->flags & kPrintColour : 1)
                   : 0;
    p->copies = (int)n;
    s->result = 1;
    return CloseDialogButton(0, button);
}

void AddPrinter(const char *name, void *context) {
    std::string line = std::string(name) + "\n";
    ListBoxInsert(line.c_str(), (int)line.size(), nullptr, (Window *)context);
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
    PrintDialogState state = {kPrintDialogTag, settings, settings->paper, -1};
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
    char copies[16];
    snprintf(copies, sizeof copies, "%d", settings->copies > 0 ? settings->copies : 1);
    SetItemText("COPIES", copies, -1, dialog);
    SetItemText("FILE", settings->name, -1, dialog);
    if (Window *printers = FindNamedWindow("PRINTERS", dialog)) {
        ListBoxInsert("File\n", 5, nullptr, printers);
        WindowHost()->enumPrinters(AddPrinter, printers);
        ListBoxSelectLine(1, printers);
    }
    if (Window *field = FindNamedWindow("FILE", dialog))
        SetCurrentItem(field);
    gDialogOpen = true;
    RunDialogAndClose(ref); // the state is on this stack
    gDialogOpen = false;
    return state.result == 1 ? 1 : -1;
}

int ReadPrintSettings(const char *settingsFile, Window *window) {
    PrintSettings read;
    LoadPrintSettings(settingsFile, &read);
    gHaveCurrent = false;
    if (PrinterDialog(&read, window) != 1)
        return 0; // nothing printed, no setting changed
    gCurrent = read;
    gHaveCurrent = true;
    if (settingsFile) {
        SettingsBatchBegin(settingsFile);
        for (const IntSetting &k : kIntSettings)
            WriteIntSetting(k.key, gCurrent.*k.field, settingsFile);
        // Read back from where it is read, so the choice is offered again next time.
        WriteStringSetting("PRINT_PSOUTFILE", gCurrent.name, settingsFile);
        WriteStringSetting("PRINT_OUTFILE", gCurrent.name, settingsFile);
        SettingsBatchEnd();
    }
    return 1;
}

PrintSettings *CurrentPrintSettings(void) { return gHaveCurrent ? &gCurrent : nullptr; }

PrintSettings *wStartPrint(const PrintSettings *settings, Window *window) {
    const HostOps *h = WindowHost();
    if (!settings || !h || !WindowIsLive(window))
        return nullptr;
    if (gJobRunning) {
        Window *running = WindowRefGet(gJob.window);
        // The diagnostic puts its own blank between the message and the window's text.
        QuietDiagnostic("wStartPrint: printer in use by",
                        running && running->text ? running->text : "");
        return nullptr;
    }
    // A window still waiting for its first layout would take it during the first page and
    // replace that page's damage with its own size: lay it out on the screen first.
    if (window->needsLayout) {
        WindowRef ref = WindowRefOf(window);
        RepaintWindow(window);
        if (!WindowRefGet(ref))
            return nullptr;
    }
    gJob = *settings;
    gJob.window = WindowRefOf(window);
    gJob.pageNumber = 1;
    gJob.output = nullptr;
    if (gJob.flags & kPrintColour)
        gJob.bitsPerPixel = 24;
    // The output first: when it cannot be made nothing else has been touched.
    HostPrinterRequest request = {
        gJob.name,  gJob.resolutionX, gJob.resolutionY, gJob.bitsPerPixel ? gJob.bitsPerPixel : 24,
        gJob.paper, gJob.queue,       JobTitle(window), gJob.copies};
    gDevice = h->createPrinter(&request);
    if (!gDevice) {
        ReportPrintFailure();
        return nullptr;
    }
    gPrinterGC = wGETGC(0, kGCPrinter, gDevice, window);
    if (!gPrinterGC) {
        h->deletePrinter(gDevice);
        gDevice = nullptr;
        return nullptr;
    }
    // The page less its margins; never negative, so a page loop always has a height to divide.
    GC *gc = gPrinterGC;
    gJob.pageWidth = gc->width;
    gJob.pageHeight = gc->height;
    gc->originX = gJob.leftMargin;
    gc->originY = gJob.topMargin;
    gc->innerWidth = gc->width - gJob.leftMargin - gJob.rightMargin;
    gc->innerHeight = gc->height - gJob.topMargin - gJob.bottomMargin;
    if (gc->innerWidth < 0)
        gc->innerWidth = 0;
    if (gc->innerHeight < 0)
        gc->innerHeight = 0;
    SetPrintingColors(1);
    RecreateFonts(gc);
    if (window->font >= 0)
        SetFont(window->font, gc);
    if (h->startDoc(gDevice, "KLNprint") != 0 || gc->operations.startDocument(gc) != 0) {
        ReportPrintFailure();
        UndoJob(window);
        return nullptr;
    }
    gJobRunning = true;
    return &gJob;
}

void PrintPage(PrintSettings *job) {
    const HostOps *h = WindowHost();
    Window *window = job == &gJob && gJobRunning ? WindowRefGet(job->window) : nullptr;
    if (!window || !h) {
        if (job)
            job->pageNumber++;
        return;
    }
    GC *gc = gPrinterGC;
    h->startPage(gDevice);
    gc->operations.startPage(gc);
    // The whole page is damage; the text window draws its rows down the printer GC.
    window->damageTop = 0;
    window->damageLeft = 0;
    window->damageBottom = gc->originY + gc->innerHeight;
    window->damageRight = gc->originX + gc->innerWidth;
    RepaintWindow(window);
    gc->operations.endPage(gc);
    h->endPage(gDevice);
    job->pageNumber++;
}

int EndPrint(PrintSettings *job) {
    const HostOps *h = WindowHost();
    if (job != &gJob || !gJobRunning || !h)
        return 1;
    GC *gc = gPrinterGC;
    gc->operations.endDocument(gc);
    int failed = h->endDoc(gDevice);
    if (failed)
        ReportPrintFailure();
    UndoJob(WindowRefGet(gJob.window));
    return failed ? 1 : 0;
}

int PrintTextWindow(const PrintSettings *settings, Window *textWindow) {
    TextDesc *d = textWindow ? TextDescOf(textWindow) : nullptr;
    if (!d || !d->buffer)
        return 1;
    Buffer *b = d->buffer;
    int top = d->topLine, offset = d->leftOffset;
    int32_t line = CurrentLineNumber(b), column = CurrentColumn(b);
    // The empty line a list box ends with is no line of its text.
    int32_t last = b->lineCount;
    if (last > 1 &&
        (BufferGoto(last, 1, b) != 0 || CurrentLineNumber(b) != last || CurrentLineLength(b) == 0))
        last--;
    BufferGoto(line, column, b);

    PrintSettings *job = wStartPrint(settings, textWindow);
    if (!job)
        return 1;
    // Each page goes on where the last one's rows ended, as the paint counted them, so no line
    // falls between two pages; a page always carries a line, so the loop always ends.
    d->leftOffset = 0;
    for (int32_t first = 1; first <= last;) {
        d->topLine = first;
        d->rows = 0;
        PrintPage(job);
        first += d->rows > 0 ? d->rows : 1;
    }
    int failed = EndPrint(job);
    d->topLine = top;
    d->leftOffset = offset;
    InvalidateLines(1, INT_MAX / 2, textWindow);
    PostEvent(kEventRedraw, 0, textWindow);
    return failed;
}

int wSavePicture(const char *file, Window *window) {
    const char *dot = file ? strrchr(file, '.') : nullptr;
    const int kind = !dot                           ? 0
                     : strcasecmp(dot, ".png") == 0 ? kHostPicturePng
                     : strcasecmp(dot, ".svg") == 0 ? kHostPictureSvg
                                                    : 0;
    if (!window || !kind)
        return 1;
    const int width = window->right - window->left + 1, height = window->bottom - window->top + 1;
    // The screen's resolution, so fonts and the paint's points come out as on the screen.
    GC *screen = GetWindowGC(window);
    const int dpi = screen && screen->dpiX > 0 ? screen->dpiX : 96;
    ReleaseGC(screen);
    HostDevice *picture = WindowHost()->createPicture(file, kind, width, height, dpi);
    if (!picture)
        return 2;
    window->damageLeft = window->damageTop = 0;
    window->damageRight = width - 1;
    window->damageBottom = height - 1;
    RepaintWindowOn(picture, window);
    return WindowHost()->finishPicture(picture) == 0 ? 0 : 2;
}
