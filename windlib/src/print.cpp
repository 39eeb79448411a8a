// Printing: the print settings and print jobs (print.h). A job lends the printed window the
// printer GC for its whole length, makes the fonts again at the printer's resolution and
// repaints the window once per page; everything it did is undone in reverse when it ends or
// fails, so the screen always gets its own fonts back. The document goes to a file by the output
// rules of filesys.h, or to a temporary file that lp takes to a queue in the background. The
// dialog is in printdlg.cpp. Start reading at ReadPrintSettings.
#include "print.h"
#include "buffer.h"
#include "command.h"
#include "filesys.h"
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <unistd.h>

namespace {

PrintSettings gCurrent;
bool gHaveCurrent = false;

PrintSettings gJob; // the running job
bool gJobRunning = false;
HostDevice *gDevice; // its printer
GC *gPrinterGC;      // lent to the job's window from start to end

// Where the running job's document goes: a file by the output rules, or the temporary document
// (`document`) that lp takes to the job's queue.
struct JobOutput {
    OutputFile file;          // a file's output
    char document[kPathSize]; // a queue's document, "" for a file
    int fd;                   // the descriptor the printer writes to
    int pagesPrinted;         // pages that were in the range
    int pages;                // the document's pages when the caller knows them, else 0
};
JobOutput gOutput;

// The header every page of a text window gets while PrintTextWindow prints with a title.
struct PageHeader {
    std::string title, when; // empty title: no header
    int pages;
};
PageHeader gHeader;

// A document on its way to a queue: lp runs, and the printed window's title says so.
struct Send {
    Command *command; // lp, null when nothing is on its way
    char document[kPathSize];
    char queue[kPrintQueueSize];
    WindowRef top;     // the window whose title carries the note
    std::string title; // its title before the note
    std::string note;  // its title with the note
};
Send gSend;
int gSendSeconds = 0; // 0: kPrintSendSeconds

void ReportPrintFailure(void) {
    const HostOps *h = WindowHost();
    ReportError(h && h->printerFailure ? h->printerFailure() : "Printer failed", "Print");
}

void ReportCannotWrite(const char *name, const char *reason) {
    std::string text = std::string("Cannot write ") + name + ": " + reason;
    ReportError(text.c_str(), "Print");
}

// The screen's fonts again, measured on the window's own device.
void ScreenFonts(Window *window) {
    GC *screen = window ? GetWindowGC(window) : nullptr;
    RecreateFonts(screen ? screen : ScreenGC());
    ReleaseGC(screen);
}

// The window whose title names what the window belongs to: the top-level ancestor.
Window *TopOf(Window *window) {
    while (window && window->parent)
        window = window->parent;
    return window;
}

// ---- where the document goes ------------------------------------------------------------------

// The file a print name stands for: "-" standard output, a tilde the home directory, another
// relative name a file in the home directory (the working directory is wherever the program was
// started from, which the user does not see). 0; 1 when it does not fit.
int OutputPath(const char *name, char *path, size_t size) {
    if (strcmp(name, "-") == 0 || name[0] == '/')
        return snprintf(path, size, "%s", name) < (int)size ? 0 : 1;
    if (name[0] == '~')
        return ExpandPath(path, size, name) < 0 ? 1 : 0;
    const char *home = getenv("HOME");
    return snprintf(path, size, "%s/%s", home && *home ? home : "", name) < (int)size ? 0 : 1;
}

// Opens where the job's document goes. The name the printer is told (its ending makes a PDF),
// or null after a message.
const char *OpenJobOutput(const PrintSettings *job) {
    gOutput = JobOutput{};
    gOutput.file.fd = -1;
    gOutput.fd = -1;
    if (job->queue[0]) {
        const char *temp = fTempName("pdf");
        if (!temp) {
            ReportError("No temporary directory for the document", "Print");
            return nullptr;
        }
        snprintf(gOutput.document, sizeof gOutput.document, "%s", temp);
        gOutput.fd = open(gOutput.document, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (gOutput.fd < 0) {
            ReportCannotWrite(gOutput.document, strerror(errno));
            fTempRemove(gOutput.document);
            return nullptr;
        }
        return gOutput.document;
    }
    char path[kPathSize];
    if (OutputPath(job->name, path, sizeof path) != 0) {
        ReportCannotWrite(job->name, fOutputReason(ENAMETOOLONG));
        return nullptr;
    }
    int rc = fOutputOpen(path, kOutputDevices | kOutputDash, &gOutput.file);
    if (rc != 0) {
        ReportCannotWrite(path, fOutputReason(rc));
        return nullptr;
    }
    gOutput.fd = gOutput.file.fd;
    return gOutput.file.path;
}

// Gives up the document: nothing is put in place, nothing stays behind.
void AbandonJobOutput(void) {
    if (gOutput.document[0]) {
        if (gOutput.fd >= 0)
            close(gOutput.fd);
        fTempRemove(gOutput.document);
    } else {
        fOutputClose(&gOutput.file);
    }
    gOutput.fd = -1;
    gOutput.document[0] = '\0';
}

// ---- lp ---------------------------------------------------------------------------------------

void EndNote(void) {
    Window *top = WindowRefGet(gSend.top);
    // A title changed meanwhile (a program saved under a new name) is the window's own.
    if (top && top->text && gSend.note == top->text)
        SetWindowText(gSend.title.c_str(), top);
}

// lp has ended: its document goes, and a failure is told in plain words.
void SendDone(int status, const char *output, void *) {
    std::string queue = gSend.queue, said = output ? output : "";
    EndNote();
    fTempRemove(gSend.document);
    gSend = Send{};
    if (status == 0 || status == kCommandStopped)
        return;
    std::string text;
    if (status == kCommandTimedOut) {
        int seconds = gSendSeconds > 0 ? gSendSeconds : kPrintSendSeconds;
        text = "lp did not finish in " + std::to_string(seconds) + " s; the document was not sent";
    } else if (status < 0) {
        text = "lp " + queue + " ended without finishing";
    } else {
        text = "lp " + queue + " failed with status " + std::to_string(status);
        // lp's last words say why ("The printer or class does not exist.").
        said.erase(said.find_last_not_of(" \t\r\n") + 1);
        std::string last = said.substr(said.find_last_of('\n') + 1);
        last.erase(0, last.find_first_not_of(" \t"));
        if (!last.empty())
            text += ": " + last.substr(0, 200);
    }
    ReportError(text.c_str(), "Print");
}

// Hands the finished document to lp and lets the loop go on: the printed window's title says
// where it goes until lp has taken it. 0; 1 after a message when lp cannot run.
int StartSend(const PrintSettings *job, Window *window) {
    Window *top = TopOf(window);
    const char *title = top && top->text && *top->text ? top->text : "torva";
    std::string copies = std::to_string(job->copies > 0 ? job->copies : 1);
    gSend = Send{};
    snprintf(gSend.document, sizeof gSend.document, "%s", gOutput.document);
    snprintf(gSend.queue, sizeof gSend.queue, "%s", job->queue);
    gOutput.document[0] = '\0'; // the send's now
    const char *argv[] = {"lp", "-d",           gSend.queue, "-t",           title,
                          "-n", copies.c_str(), "--",        gSend.document, nullptr};
    int seconds = gSendSeconds > 0 ? gSendSeconds : kPrintSendSeconds;
    gSend.command = StartCommand(argv, 1, seconds * 1000, SendDone, nullptr);
    if (!gSend.command) {
        std::string text = std::string("lp ") + gSend.queue + " could not run";
        fTempRemove(gSend.document);
        gSend = Send{};
        ReportError(text.c_str(), "Print");
        return 1;
    }
    if (top) {
        gSend.top = WindowRefOf(top);
        gSend.title = top->text ? top->text : "";
        gSend.note = gSend.title + " - sending to " +
                     HostLatin1FromUtf8(gSend.queue, kPrintQueueSize) + "...";
        SetWindowText(gSend.note.c_str(), top);
    }
    return 0;
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

// What a job set up, undone in reverse: the printer GC's loan, the printer, the printing
// colours, the printer's fonts (made again for the window's screen), the job record.
void UndoJob(Window *window) {
    GC *gc = gPrinterGC;
    gPrinterGC = nullptr;
    ReleaseGC(gc);
    WindowHost()->deletePrinter(gDevice);
    gDevice = nullptr;
    SetPrintingColors(kPrintingOff);
    ScreenFonts(window);
    if (gJob.output)
        BufferFree(gJob.output);
    gJob.output = nullptr;
    gJob.window = WindowRef{};
    gJobRunning = false;
}

bool PageInRange(const PrintSettings *job, int page) {
    return page >= (job->fromPage > 0 ? job->fromPage : 1) &&
           (job->toPage < 1 || page <= job->toPage);
}

// The header line at the top of the page, in the window's font; its height (a line and the
// gap below it).
int DrawPageHeader(int page, Window *window, GC *gc) {
    SetUnits(kUnitsPixels, gc);
    SetGCFont(-1, gc);
    int font = GetGCFont(gc);
    int spacing = GetLineSpacing(font, gc);
    SetForeground(window->foreground, gc);
    SetBackground(window->background, gc);
    std::string where = "page " + std::to_string(page) + " of " + std::to_string(gHeader.pages);
    std::string left = gHeader.title + "    " + gHeader.when;
    MovePen(0, 0, gc);
    DrawString(left.c_str(), gc);
    int x = gc->innerWidth - StringWidth(where.c_str(), font, gc);
    int after = StringWidth((left + "    ").c_str(), font, gc);
    MovePen(x > after ? x : after, 0, gc);
    DrawString(where.c_str(), gc);
    return 2 * (spacing > 0 ? spacing : 1);
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
    const char *queue = ReadStringSetting("PRINT_QUEUE", kPrintSystemDefault, file);
    snprintf(s->queue, sizeof s->queue, "%s", queue);
    s->fromPage = 1;
    s->toPage = s->maxPage = -1;
    s->copies = 1;
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
        WriteStringSetting("PRINT_QUEUE", gCurrent.queue, settingsFile);
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
    // The queue is a queue only once chosen: without a choice the document goes to the file.
    bool queued = settings->queue[0] && strcmp(settings->queue, kPrintSystemDefault) != 0;
    if (queued && gSend.command) {
        std::string text = std::string("The last document is still on its way to ") +
                           HostLatin1FromUtf8(gSend.queue, kPrintQueueSize) +
                           "; please print again when it has gone";
        ReportError(text.c_str(), "Print");
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
    if (!queued)
        gJob.queue[0] = '\0';
    gJob.window = WindowRefOf(window);
    gJob.pageNumber = 1;
    gJob.output = nullptr;
    const bool colour = (gJob.flags & kPrintColour) != 0;
    gJob.bitsPerPixel = colour ? 24 : 1;
    // The output first: when it cannot be made nothing else has been touched.
    const char *name = OpenJobOutput(&gJob);
    if (!name)
        return nullptr;
    HostPrinterRequest request = {name,       gJob.resolutionX, gJob.resolutionY, gJob.bitsPerPixel,
                                  gJob.paper, gOutput.fd};
    gDevice = h->createPrinter(&request);
    if (!gDevice) {
        ReportPrintFailure();
        AbandonJobOutput();
        return nullptr;
    }
    // The colours first: lending the GC hands its colours to the printer already.
    SetPrintingColors(colour ? kPrintingInColour : kPrintingInBlack);
    gPrinterGC = wGETGC(0, kGCPrinter, gDevice, window);
    if (!gPrinterGC) {
        SetPrintingColors(kPrintingOff);
        h->deletePrinter(gDevice);
        gDevice = nullptr;
        AbandonJobOutput();
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
    RecreateFonts(gc);
    if (window->font >= 0)
        SetFont(window->font, gc);
    if (h->startDoc(gDevice, "KLNprint") != 0 || gc->operations.startDocument(gc) != 0) {
        ReportPrintFailure();
        UndoJob(window);
        AbandonJobOutput();
        return nullptr;
    }
    gJobRunning = true;
    return &gJob;
}

void PrintPage(PrintSettings *job) {
    const HostOps *h = WindowHost();
    Window *window = job == &gJob && gJobRunning ? WindowRefGet(job->window) : nullptr;
    if (!window || !h || !PageInRange(job, job->pageNumber)) {
        if (job)
            job->pageNumber++;
        return;
    }
    GC *gc = gPrinterGC;
    h->startPage(gDevice);
    gc->operations.startPage(gc);
    // The header takes the top of the page; the window paints below it.
    int header = gHeader.title.empty() ? 0 : DrawPageHeader(job->pageNumber, window, gc);
    header = header < gc->innerHeight ? header : 0;
    gc->originY += header;
    gc->innerHeight -= header;
    // The whole page is damage; the text window draws its rows down the printer GC.
    window->damageTop = 0;
    window->damageLeft = 0;
    window->damageBottom = gc->originY + gc->innerHeight;
    window->damageRight = gc->originX + gc->innerWidth;
    RepaintWindow(window);
    gc->originY -= header;
    gc->innerHeight += header;
    gc->operations.endPage(gc);
    h->endPage(gDevice);
    job->pageNumber++;
    gOutput.pagesPrinted++;
}

int PrintRuns(const PrintSettings *job) {
    if (!job || job->queue[0])
        return 1;
    return job->copies > 1 ? (job->copies < kPrintMostCopies ? job->copies : kPrintMostCopies) : 1;
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
    Window *window = WindowRefGet(gJob.window);
    UndoJob(window);
    // Pages there were, none of them in the range: no document at all rather than an empty one.
    if (!failed && gOutput.pagesPrinted == 0 && gJob.pageNumber > 1) {
        std::string text = "Nothing printed: there is no page " + std::to_string(gJob.fromPage);
        if (gOutput.pages > 0)
            text += " (the document has " + std::to_string(gOutput.pages) +
                    (gOutput.pages == 1 ? " page)" : " pages)");
        ReportError(text.c_str(), "Print");
        failed = 1;
    }
    if (failed) {
        AbandonJobOutput();
        return 1;
    }
    if (gOutput.document[0]) {
        close(gOutput.fd);
        gOutput.fd = -1;
        return StartSend(&gJob, window);
    }
    int rc = fOutputCommit(&gOutput.file);
    if (rc == 0)
        rc = fOutputClose(&gOutput.file);
    if (rc != 0) {
        ReportCannotWrite(gOutput.file.path, fOutputReason(rc));
        AbandonJobOutput();
        return 1;
    }
    return 0;
}

const char *PrintSendingTo(void) { return gSend.command ? gSend.queue : nullptr; }

void PrintSetSendSeconds(int seconds) { gSendSeconds = seconds; }

int PrintTextWindow(const PrintSettings *settings, Window *textWindow, const char *title) {
    TextDesc *d = textWindow ? TextDescOf(textWindow) : nullptr;
    if (!d || !d->buffer)
        return 1;
    Buffer *b = d->buffer;
    int top = d->topLine, offset = d->leftOffset;
    int32_t line = CurrentLineNumber(b), column = CurrentColumn(b);
    // The empty line a list box ends with is no line of its text.
    int32_t last = b->lineCount;
    if (last >= 1 &&
        (BufferGoto(last, 1, b) != 0 || CurrentLineNumber(b) != last || CurrentLineLength(b) == 0))
        last--;
    BufferGoto(line, column, b);
    if (last < 1) {
        ReportError("Nothing to print", "Print");
        return 1;
    }

    PrintSettings *job = wStartPrint(settings, textWindow);
    if (!job)
        return 1;
    // The rows a page holds below its header, as the paint lays them out, so the header can
    // count the pages before the first one is printed.
    GC *gc = gPrinterGC;
    gHeader = PageHeader{};
    int header = 0;
    if (title && *title) {
        gHeader.title = title;
        char when[32];
        time_t now = time(nullptr);
        struct tm local;
        strftime(when, sizeof when, "%Y-%m-%d %H:%M", localtime_r(&now, &local));
        gHeader.when = when;
        SetGCFont(-1, gc);
        int spacing = GetLineSpacing(GetGCFont(gc), gc);
        header = 2 * (spacing > 0 ? spacing : 1);
        header = header < gc->innerHeight ? header : 0;
    }
    int rows = TextWindowRows(gc->innerHeight - header, gc, textWindow);
    int pages = (last + rows - 1) / rows;
    gHeader.pages = pages;
    gOutput.pages = pages;
    d->leftOffset = 0;
    for (int run = 0; run < PrintRuns(job); run++) {
        job->pageNumber = 1;
        for (int32_t first = 1; first <= last; first += rows) {
            d->topLine = first;
            d->rows = 0;
            PrintPage(job);
        }
    }
    gHeader = PageHeader{};
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
