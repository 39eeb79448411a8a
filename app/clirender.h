// torva-cli's windows: --plot runs a program file as a 2D or 3D plot on the headless host and
// writes the picture to a file (PNG, PDF or SVG by its name) through the plot window's own
// paint; --print-tape prints the tape as the tape window does. Only this part of torva-cli uses
// the toolkit: its interface speaks of the calculator alone.
#pragma once

#include <string>

struct Calculator;

struct CliPlotOptions {
    const char *file = nullptr;    // --plot FILE: the picture; null without --plot
    bool threeD = false;           // --plot-3d
    int width = 400, height = 300; // --plot-size WxH, pixels of the plot window
    bool realm = false;            // --realm MINX,MAXX,MINY,MAXY,DELTA given
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    double delta = 0;    // a whole number but in the graph view
    bool angles = false; // --angles AX,AY given
    double angleX = 0, angleY = 0;
    int view = -1; // --view points|graph: 0 or 1; -1 the settings file's (PLOT_VIEW)
    int fitY = -1; // --fit-y on|off: 1 or 0; -1 the settings file's (PLOT_FIT_Y)
};

extern const char kCliPlotUsage[];

// A picture file's kind by its name's ending (.png, .pdf, .svg, any case).
enum CliPicture { kCliPictureNone, kCliPicturePng, kCliPicturePdf, kCliPictureSvg };
CliPicture cliPictureKind(const char *file);

// Takes the plot options out of argv (argc shrinks; the others keep their order). 0, or 2 with
// the problem in *problem.
int cliPlotTakeOptions(int *argc, char **argv, CliPlotOptions *options, std::string *problem);

// Runs the program file as a plot over the realm of the settings file (or the calculator's
// defaults), overridden by the options, and writes the picture. 0; 1 the plot ended in a fatal
// message (reported through the calculator's report hook); 2 the program cannot be read (after a
// message); 4 the picture cannot be written (after a message).
int cliPlot(const CliPlotOptions &options, const char *programFile, const char *settingsFile,
            Calculator *calc);

// Prints the tape's text as the tape window prints it: a list in the tape's font
// (PRT_WIND_FONT), page after page, with the print settings of `settingsFile` (may be null),
// to `file`: PDF when its name ends in .pdf, else PostScript. A relative name is the caller's,
// in the working directory. 0, or 1 after a message.
int cliPrintTape(const std::string &text, const char *file, const char *settingsFile);
