// Printing a window: a print job lends the window a printer GC, makes the font cache again at
// the printer's resolution and repaints the window into it once per page; the caller moves the
// window's contents between pages. The print settings come from the settings file, are offered
// in the print dialog (output file or printer queue, paper, colour, copies) and are written back.
// Only one job runs at a time. Start reading at ReadPrintSettings in print.cpp.
#pragma once

#include "wind.h"

struct Buffer;

constexpr int kPrintNameSize = 780; // the output file or queue name, with its NUL
constexpr int kPrintQueueSize = 128;
constexpr int kPrintColour = 0x3; // the bits of PRINT_FLAGS kept; either asks for colour
static_assert(kPrintColour == 0x3);

// The print settings; a running job is a copy of them.
struct PrintSettings {
    int connect;                  // PRINT_CONNECT; printing always goes through the host's pages
    char name[kPrintNameSize];    // the output file (PRINT_PSOUTFILE), ".pdf" at its end: PDF
    char queue[kPrintQueueSize];  // the printer queue the file is handed to; empty: the file only
    int flags;                    // PRINT_FLAGS & kPrintColour: non-zero prints in colour
    int language;                 // PRINT_LANGUAGE: 2 PostScript
    int paper;                    // PRINT_PAPER: 0 the system's, 1 Letter, 2 A4, 3 Legal
    int resolutionX, resolutionY; // dots per inch
    int bitsPerPixel;
    int leftMargin, rightMargin, topMargin, bottomMargin; // device pixels
    int pageWidth, pageHeight;                            // the printable page, device pixels
    int pageNumber;                                       // the page being printed, from 1
    int fromPage, toPage, maxPage, copies;
    WindowRef window; // the window being printed (a job's)
    Buffer *output;   // an output buffer of the job, released at its end
};

// Reads the print settings from `settingsFile` (null: the defaults, nothing written), runs the
// print dialog over `window` and, on OK, writes them back and makes them the current settings.
// 1 when there are current settings afterwards, 0 when the dialog was cancelled.
int ReadPrintSettings(const char *settingsFile, Window *window);
// The settings the last ReadPrintSettings made current, or null.
PrintSettings *CurrentPrintSettings(void);
// Fills `settings` from the file as ReadPrintSettings does, without a dialog.
void LoadPrintSettings(const char *settingsFile, PrintSettings *settings);
// The print dialog over `window`. 1 on OK (`settings` then holds the choices), -1 on Cancel or
// when the dialog is already open.
int PrinterDialog(PrintSettings *settings, Window *window);

// Starts a job printing `window` with a copy of `settings`; null after a message when one is
// already running or the output cannot be made.
PrintSettings *wStartPrint(const PrintSettings *settings, Window *window);
// Prints one page by repainting the job's window.
void PrintPage(PrintSettings *job);
// Ends the job: the output is finished, renamed into place and, with a queue, handed to the
// spooler; the screen fonts come back. 0, or 1 after a message ("Print", reason).
int EndPrint(PrintSettings *job);

// Writes the window's picture as it paints itself, in full: a PNG of its pixels or an SVG
// (vector, at its size in points), by the file name's ending. 0; 1 when the name ends in
// neither or there is no window; 2 when the file cannot be written.
int wSavePicture(const char *file, Window *window);

// Prints every line of a list box or text window, page after page, with `settings`, and puts
// its view back. 0, or 1 when nothing or not everything was printed (after a message).
int PrintTextWindow(const PrintSettings *settings, Window *textWindow);
