// torva-cli --plot: the plot window of the program window rebuilt on the headless host, the
// program file plotted into it as Run would, and the window's picture written out: a PNG of its
// pixels, a PDF through a print job, an SVG through a vector device. All three are painted by
// the plot window's own paint, so the file shows what the window shows.
#include "cliplot.h"

#include "buffer.h"
#include "calc.h"
#include "gdi.h"
#include "headless.h"
#include "hostdraw.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "print.h"
#include "program.h"
#include "wind.h"

#include <cairo-svg.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

const char kCliPlotUsage[] =
    "       torva-cli --plot PICTURE [--plot-3d] [--plot-size WxH]\n"
    "                 [--realm MINX,MAXX,MINY,MAXY,DELTA] [--angles AX,AY] [options] FILE\n"
    "Runs the program FILE as a 2D (or 3D) plot and writes the plot window's picture to\n"
    "PICTURE: PNG, PDF or SVG by its name. Exit status 1 when the plot ends in a fatal error.\n";

namespace {

// Reads `count` comma-separated numbers and nothing else.
bool readNumbers(const char *text, int count, double *values) {
    const char *p = text;
    for (int i = 0; i < count; i++) {
        char *end;
        values[i] = strtod(p, &end);
        if (end == p)
            return false;
        p = end;
        if (i + 1 < count) {
            if (*p != ',')
                return false;
            p++;
        }
    }
    return *p == 0;
}

bool readSize(const char *text, int *width, int *height) {
    char *end;
    long w = strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X'))
        return false;
    const char *h = end + 1;
    long v = strtol(h, &end, 10);
    if (end == h || *end || w < 16 || v < 16 || w > 8000 || v > 8000)
        return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(v);
    return true;
}

enum PictureKind { PICTURE_NONE, PICTURE_PNG, PICTURE_PDF, PICTURE_SVG };

PictureKind pictureKind(const char *file) {
    const char *dot = strrchr(file, '.');
    if (!dot)
        return PICTURE_NONE;
    if (strcasecmp(dot, ".png") == 0)
        return PICTURE_PNG;
    if (strcasecmp(dot, ".pdf") == 0)
        return PICTURE_PDF;
    if (strcasecmp(dot, ".svg") == 0)
        return PICTURE_SVG;
    return PICTURE_NONE;
}

void failure(const char *what, const char *file) {
    fprintf(stderr, "torva-cli: cannot write the plot %s%s%s\n", file, what ? ": " : "",
            what ? what : "");
}

// A relative name is the caller's, in the working directory: the print job wants a whole path.
bool absolutePath(const char *file, char *path, size_t size) {
    if (file[0] == '/')
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

// A vector picture of the window at its size in points: the device keeps the screen's
// resolution (so fonts and the paint's points agree with the screen) and cairo scales it down.
int writeSvg(const char *file, Window *plot) {
    const int width = plot->right - plot->left + 1, height = plot->bottom - plot->top + 1;
    GC *screen = GetWindowGC(plot);
    const int dpi = screen && screen->dpiX > 0 ? screen->dpiX : 96;
    ReleaseGC(screen);
    cairo_surface_t *surface =
        cairo_svg_surface_create(file, width * 72.0 / dpi, height * 72.0 / dpi);
    cairo_t *cr = cairo_create(surface);
    cairo_scale(cr, 72.0 / dpi, 72.0 / dpi);
    HostDevice *device = HostDeviceCreate(cr, nullptr, width, height, dpi, dpi, 24, 0);
    if (!device)
        cairo_destroy(cr);
    if (device) {
        plot->damageLeft = plot->damageTop = 0;
        plot->damageRight = width - 1;
        plot->damageBottom = height - 1;
        RepaintWindowOn(device, plot);
        HostDeviceDestroy(device);
    }
    cairo_surface_finish(surface);
    const bool ok = device && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok)
        failure(nullptr, file);
    return ok ? 0 : 4;
}

void reportLine(const char *text) { fprintf(stderr, "torva-cli: %s\n", text); }

} // namespace

int cliPlotTakeOptions(int *argc, char **argv, CliPlotOptions *o, std::string *problem) {
    int kept = 1;
    for (int i = 1; i < *argc; i++) {
        const std::string a = argv[i];
        if (a == "--plot-3d") {
            o->threeD = true;
            continue;
        }
        if (a != "--plot" && a != "--plot-size" && a != "--realm" && a != "--angles") {
            argv[kept++] = argv[i];
            continue;
        }
        if (i + 1 >= *argc) {
            *problem = "missing value after " + a;
            return 2;
        }
        const char *v = argv[++i];
        bool ok = true;
        if (a == "--plot") {
            o->file = v;
            ok = pictureKind(v) != PICTURE_NONE;
        } else if (a == "--plot-size") {
            ok = readSize(v, &o->width, &o->height);
        } else if (a == "--realm") {
            double r[5] = {0, 0, 0, 0, 0};
            ok = readNumbers(v, 5, r) && r[4] == static_cast<int>(r[4]);
            if (ok) {
                o->realm = true;
                o->minX = r[0];
                o->maxX = r[1];
                o->minY = r[2];
                o->maxY = r[3];
                o->delta = static_cast<int>(r[4]);
            }
        } else {
            double r[2] = {0, 0};
            ok = readNumbers(v, 2, r);
            o->angles = ok;
            o->angleX = r[0];
            o->angleY = r[1];
        }
        if (!ok) {
            *problem = "bad value for " + a + ": " + v;
            return 2;
        }
    }
    argv[kept] = nullptr;
    *argc = kept;
    if ((o->threeD || o->realm || o->angles) && !o->file) {
        *problem = "the plot options need --plot";
        return 2;
    }
    return 0;
}

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
    if (o.realm) {
        calc->plotMinX = o.minX;
        calc->plotMaxX = o.maxX;
        calc->plotMinY = o.minY;
        calc->plotMaxY = o.maxY;
        calc->plotDelta = o.delta;
    }
    if (o.angles) {
        calc->plotAngleX = o.angleX;
        calc->plotAngleY = o.angleY;
    }
    calc->programMode = o.threeD ? 2 : 1;
    calc->program = program;

    WindowUseHost("headless");
    char name[] = "torva-cli";
    char *argv[] = {name, nullptr};
    if (WindowProlog(1, argv, malloc, free, reportLine) != 0) {
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
        switch (pictureKind(o.file)) {
        case PICTURE_PNG:
            written = HeadlessSavePng(plot->host, o.file) == 0 ? 0 : (failure(nullptr, o.file), 4);
            break;
        case PICTURE_PDF:
            written = writePdf(o.file, settingsFile, plot);
            break;
        case PICTURE_SVG:
            written = writeSvg(o.file, plot);
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
