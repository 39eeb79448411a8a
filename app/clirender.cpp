// torva-cli's windows, on the headless host: the plot window of the program window rebuilt, the
// program file plotted into it as Run would, and the window's picture written out (a PNG or an
// SVG through the toolkit's picture device, a PDF through a print job), all painted by the plot
// window's own paint, so the file shows what the window shows; and the tape printed as the tape
// window prints it. The rest of torva-cli computes without the toolkit.
#include "clirender.h"

#include "buffer.h"
#include "calc.h"
#include "fonts.h"
#include "gdi.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "print.h"
#include "program.h"
#include "settings.h"
#include "tape.h"
#include "textwind.h"
#include "wind.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

namespace {

void failure(const char *what, const char *file) {
    fprintf(stderr, "torva-cli: cannot write the plot %s%s%s\n", file, what ? ": " : "",
            what ? what : "");
}

// A relative name is the caller's, in the working directory: the print job wants a whole path
// ("-", standard output, stays as it is).
bool absolutePath(const char *file, char *path, size_t size) {
    if (file[0] == '/' || strcmp(file, "-") == 0)
        return snprintf(path, size, "%s", file) < static_cast<int>(size);
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) && snprintf(path, size, "%s/%s", cwd, file) < (int)size;
}

int writePdf(const char *file, const char *settingsFile, Window *plot) {
    PrintSettings settings;
    LoadPrintSettings(settingsFile, &settings);
    if (!absolutePath(file, settings.name, sizeof settings.name)) {
        failure("the name is too long", file);
        return 4;
    }
    settings.queue[0] = '\0';
    settings.flags |= 1; // the plot's colours
    PrintSettings *job = wStartPrint(&settings, plot);
    if (!job) {
        failure(nullptr, file);
        return 4;
    }
    PrintPage(job);
    return EndPrint(job) == 0 ? 0 : (failure(nullptr, file), 4);
}

void reportLine(const char *text) { fprintf(stderr, "torva-cli: %s\n", text); }

// The toolkit on the headless host: torva-cli draws its pictures without a display.
int startToolkit() {
    WindowUseHost("headless");
    char name[] = "torva-cli";
    char *argv[] = {name, nullptr};
    return WindowProlog(1, argv, malloc, free, reportLine);
}

} // namespace

int cliPlot(const CliPlotOptions &o, const char *programFile, const char *settingsFile,
            Calculator *calc) {
    if (!programFile) {
        fprintf(stderr, "torva-cli: --plot needs a program FILE\n");
        return 2;
    }
    Buffer *program = programLoad(programFile, 1);
    if (!program) {
        fprintf(stderr, "torva-cli: cannot read the program %s\n", programFile);
        return 2;
    }
    if (o.view >= 0)
        calc->plotView = o.view;
    if (o.fitY >= 0)
        calc->plotFitY = o.fitY;
    if (o.realm) {
        calc->plotMinX = o.minX;
        calc->plotMaxX = o.maxX;
        calc->plotMinY = o.minY;
        calc->plotMaxY = o.maxY;
        calc->plotStep = o.delta;
        // A fraction is no delta of the 1:1 view: the realm check refuses 0.
        const bool whole = std::floor(o.delta) == o.delta && std::fabs(o.delta) <= 1e9;
        calc->plotDelta = whole ? static_cast<int>(o.delta) : 0;
    }
    if (o.angles) {
        calc->plotAngleX = o.angleX;
        calc->plotAngleY = o.angleY;
    }
    calc->programMode = o.threeD ? 2 : 1;
    calc->program = program;

    if (startToolkit() != 0) {
        calc->program = nullptr;
        BufferFree(program);
        return 4;
    }
    int status = 4;
    Window *plot = OpenWindowPixels(0, 0, o.width - 1, o.height - 1, 0x000000, 0xFFFFFF, "progplot",
                                    0, nullptr);
    if (plot) {
        ShowWindowTree(plot);
        const long stepLimit = calc->stepLimit;
        plotAttach(plot, plot, 0, calc);
        calc->stepLimit = stepLimit; // the command line keeps its own --max-steps
        RepaintWindow(plot);
        // The plot runs here to its end, each line painted as it is appended; no loop is
        // needed, and a fatal message ends it as in the window.
        plotRun(calc);
        status = calc->plotState < 0 ? 1 : 0;
        plot->damageLeft = plot->damageTop = 0;
        plot->damageRight = plot->right - plot->left;
        plot->damageBottom = plot->bottom - plot->top;
        RepaintWindow(plot); // in full, with the header
        int written = 4;
        switch (cliPictureKind(o.file)) {
        case kCliPicturePng:
        case kCliPictureSvg:
            written = wSavePicture(o.file, plot) == 0 ? 0 : (failure(nullptr, o.file), 4);
            break;
        case kCliPicturePdf:
            written = writePdf(o.file, settingsFile, plot);
            break;
        default:
            break;
        }
        if (written)
            status = written;
        plotDetach(calc);
    }
    WindowEpilog();
    freePointMemory(calc);
    calc->program = nullptr;
    BufferFree(program);
    return status;
}

// The tape printed as the tape window prints it: a list in the tape's font, page after page,
// through the headless host (no display is needed). A relative file name is the caller's, in
// the working directory. 0, or 1 after a message.
int cliPrintTape(const std::string &text, const char *file, const char *settingsFile) {
    if (startToolkit() != 0)
        return 1;
    int failed = 1;
    PrintSettings settings;
    LoadPrintSettings(settingsFile, &settings);
    settings.queue[0] = '\0';
    Window *top =
        OpenWindow(0, 0, kTapeWidth - 1, 40, 0, 0xFFFFFF, kTapeTitle, kWindowFramed, nullptr);
    Window *list =
        top ? NewListBox(0, 0, kTapeWidth - 1, 40, 0, 0xFFFFFF, "printout", 0, nullptr, top)
            : nullptr;
    if (!absolutePath(file, settings.name, sizeof settings.name)) {
        reportLine("the tape's file name is too long");
    } else if (list) {
        const char *spec = ReadStringSetting("PRT_WIND_FONT", kTapeDefaultFont, settingsFile);
        int font = FontLookup(spec);
        if (font >= 0)
            list->font = font;
        // The tape window drops its oldest lines; a tape from the command line is printed whole,
        // so its list takes every line there is.
        TextDesc *d = TextDescOf(list);
        Buffer *b = d ? d->buffer : nullptr;
        if (b)
            b->lineLimit = INT32_MAX - 1;
        std::string whole = text; // an operation field still waiting for its number ends a line
        if (!whole.empty() && whole.back() != '\n')
            whole += '\n';
        long lines = 0;
        for (char c : whole)
            lines += c == '\n';
        if (!b ||
            (!whole.empty() && (BufferInsert(1, 1, whole.data(), (int32_t)whole.size(), b) != 0 ||
                                b->lineCount - 1 != lines))) {
            reportLine("the tape is too long to be printed whole; nothing was printed");
        } else {
            failed = PrintTextWindow(&settings, list, kTapeTitle);
        }
    }
    WindowEpilog();
    return failed;
}
