// torva-cli's plot options, read without the toolkit: the part of the command line both the
// engine-only torva-cli and its renderer understand (clirender.h).
#include "clirender.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

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
            ok = cliPictureKind(v) != kCliPictureNone;
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
