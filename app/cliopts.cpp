// torva-cli's plot options, read without the toolkit: the part of the command line both the
// engine-only torva-cli and its renderer understand (clirender.h).
#include "clirender.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

const char kCliPlotUsage[] =
    "       torva-cli --plot PICTURE [--plot-3d] [--plot-size WxH] [--view points|graph]\n"
    "                 [--realm MINX,MAXX,MINY,MAXY,DELTA] [--angles AX,AY] [--fit-y on|off]\n"
    "                 [options] FILE\n"
    "Runs the program FILE as a 2D (or 3D) plot and writes the plot window's picture to\n"
    "PICTURE: PNG, PDF or SVG by its name. The graph view fits the realm to the picture, in its\n"
    "own units with a DELTA of any size; points draws one point per unit. Exit status 1 when the\n"
    "plot ends in a fatal error.\n";

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

} // namespace

CliPicture cliPictureKind(const char *file) {
    const char *dot = strrchr(file, '.');
    if (!dot)
        return kCliPictureNone;
    if (strcasecmp(dot, ".png") == 0)
        return kCliPicturePng;
    if (strcasecmp(dot, ".pdf") == 0)
        return kCliPicturePdf;
    if (strcasecmp(dot, ".svg") == 0)
        return kCliPictureSvg;
    return kCliPictureNone;
}

int cliPlotTakeOptions(int *argc, char **argv, CliPlotOptions *o, std::string *problem) {
    int kept = 1;
    for (int i = 1; i < *argc; i++) {
        const std::string a = argv[i];
        if (a == "--plot-3d") {
            o->threeD = true;
            continue;
        }
        if (a != "--plot" && a != "--plot-size" && a != "--realm" && a != "--angles" &&
            a != "--view" && a != "--fit-y") {
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
            ok = cliPictureKind(v) != kCliPictureNone;
        } else if (a == "--plot-size") {
            ok = readSize(v, &o->width, &o->height);
        } else if (a == "--realm") {
            double r[5] = {0, 0, 0, 0, 0};
            ok = readNumbers(v, 5, r);
            if (ok) {
                o->realm = true;
                o->minX = r[0];
                o->maxX = r[1];
                o->minY = r[2];
                o->maxY = r[3];
                o->delta = r[4];
            }
        } else if (a == "--view") {
            const std::string w = v;
            ok = w == "points" || w == "graph";
            o->view = w == "graph" ? 1 : 0;
        } else if (a == "--fit-y") {
            const std::string w = v;
            ok = w == "on" || w == "off";
            o->fitY = w == "on" ? 1 : 0;
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
    if ((o->threeD || o->realm || o->angles || o->view >= 0 || o->fitY >= 0) && !o->file) {
        *problem = "the plot options need --plot";
        return 2;
    }
    // The 1:1 view steps by whole points; only the graph view takes a fraction. Without --view
    // the settings file's view decides, when the plot runs.
    if (o->realm && o->view == 0 && !(std::floor(o->delta) == o->delta && o->delta <= 1e9)) {
        *problem = "a DELTA of whole points for --view points";
        return 2;
    }
    return 0;
}
