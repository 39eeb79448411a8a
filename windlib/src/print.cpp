// Printing: the print settings and print jobs (print.h). A job lends the printed window the
// printer GC for its whole length, makes the fonts again at the printer's resolution and
// repaints the window once per page; everything it did is undone in reverse when it ends or
// fails, so the screen always gets its own fonts back. Start reading at ReadPrintSettings.
#include "print.h"
#include "buffer.h"
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <climits>
#include <cstdio>
#include <cstring>

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

void LoadPrintSettings(const char *file, PrintSettings *s) {
    if (!s)
        return;
    memset(s, 0, sizeof *s);
    s->connect = ReadIntSetting("PRINT_CONNECT", 0, file);
    s->flags = ReadIntSetting("PRINT_FLAGS", 1, file) & 0x3;
    s->language = ReadIntSetting("PRINT_LANGUAGE", 2, file);
    s->paper = ReadIntSetting("PRINT_PAPER", 0, file);
    if (s->paper < 0 || s->paper > 3)
        s->paper = 0;
    s->resolutionX = ReadIntSetting("PRINT_RESOLUTIONX", 600, file);
    s->resolutionY = ReadIntSetting("PRINT_RESOLUTIONY", 600, file);
    s->leftMargin = ReadIntSetting("PRINT_LEFTMARGIN", 450, file);
    s->rightMargin = ReadIntSetting("PRINT_RIGHTMARGIN", 450, file);
    s->topMargin = ReadIntSetting("PRINT_TOPMARGIN", 600, file);
    s->bottomMargin = ReadIntSetting("PRINT_BOTTOMMARGIN", 600, file);
    const char *name =
        ReadStringSetting("PRINT_PSOUTFILE", s->language == 2 ? "out.ps" : "out.pcl", file);
    snprintf(s->name, sizeof s->name, "%s", name);
    s->fromPage = 1;
    s->toPage = s->maxPage = -1;
    s->copies = 1;
}

int PrinterDialog(PrintSettings *, Window *) { return -1; }

int ReadPrintSettings(const char *settingsFile, Window *window) {
    LoadPrintSettings(settingsFile, &gCurrent);
    gHaveCurrent = PrinterDialog(&gCurrent, window) == 1;
    return gHaveCurrent ? 1 : 0;
}

PrintSettings *CurrentPrintSettings(void) { return gHaveCurrent ? &gCurrent : nullptr; }

PrintSettings *wStartPrint(const PrintSettings *settings, Window *window) {
    const HostOps *h = WindowHost();
    if (!settings || !h || !WindowIsLive(window))
        return nullptr;
    if (gJobRunning) {
        Window *running = WindowRefGet(gJob.window);
        QuietDiagnostic("wStartPrint: printer in use by ",
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
    if (gJob.flags & 0x3)
        gJob.bitsPerPixel = 24;
    // The output first: when it cannot be made nothing else has been touched.
    HostPrinterRequest request = {gJob.name, gJob.resolutionX, gJob.resolutionY,
                                  gJob.bitsPerPixel ? gJob.bitsPerPixel : 24, gJob.paper};
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
        ScreenFonts(nullptr);
        SetPrintingColors(0);
        ReleaseGC(gc);
        h->deletePrinter(gDevice);
        gDevice = nullptr;
        gPrinterGC = nullptr;
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
    Window *window = WindowRefGet(gJob.window);
    gPrinterGC = nullptr;
    ReleaseGC(gc);
    h->deletePrinter(gDevice);
    gDevice = nullptr;
    SetPrintingColors(0);
    ScreenFonts(window);
    if (gJob.output)
        BufferFree(gJob.output);
    gJob.output = nullptr;
    gJob.window = WindowRef{};
    gJobRunning = false;
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
