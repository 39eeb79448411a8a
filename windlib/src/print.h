// Printing a window: a print job lends the window a printer GC, makes the font cache again at
// the printer's resolution and repaints the window into it once per page; the caller moves the
// window's contents between pages. The print settings come from the settings file, are offered
// in the print dialog (output file or printer queue, paper, colour, copies, page range) and are
// written back. A file is written by the rules of every output file (filesys.h); a document for
// a queue is handed to lp in the background, so the windows go on while it is sent. Only one job
// runs at a time. Start reading at ReadPrintSettings in print.cpp.
#pragma once

#include "wind.h"

struct Buffer;

constexpr int kPrintNameSize = 780; // the output file or queue name, with its NUL
constexpr int kPrintQueueSize = 128;
constexpr int kPrintColour = 0x3; // the bits of PRINT_FLAGS kept; either asks for colour
static_assert(kPrintColour == 0x3);
constexpr int kPrintMostCopies = 999;
constexpr int kPrintMostPages = 99999;
constexpr int kPrintSendSeconds = 30;  // lp gets this long to take a document
constexpr int kPrintQuerySeconds = 10; // lpstat gets this long to name the queues
// PRINT_QUEUE until a choice is made: the system's default queue is offered (a queue's name
// never holds a blank). An empty PRINT_QUEUE is the file.
constexpr char kPrintSystemDefault[] = "system default";

// The print settings; a running job is a copy of them.
struct PrintSettings {
    int connect;                  // PRINT_CONNECT; printing always goes through the host's pages
    char name[kPrintNameSize];    // the output file (PRINT_PSOUTFILE), ".pdf" at its end: PDF
    char queue[kPrintQueueSize];  // PRINT_QUEUE: the queue the document is handed to; empty:
                                  // the file only; kPrintSystemDefault: none chosen yet
    int flags;                    // PRINT_FLAGS & kPrintColour: non-zero prints in colour
    int language;                 // PRINT_LANGUAGE: 2 PostScript
    int paper;                    // PRINT_PAPER: 0 the system's, 1 Letter, 2 A4, 3 Legal
    int resolutionX, resolutionY; // dots per inch
    int bitsPerPixel;
    int leftMargin, rightMargin, topMargin, bottomMargin; // device pixels
    int pageWidth, pageHeight;                            // the printable page, device pixels
    int pageNumber;                                       // the page being printed, from 1
    int fromPage, toPage, maxPage, copies; // the pages printed (toPage -1: to the last); copies
    WindowRef window;                      // the window being printed (a job's)
    Buffer *output;                        // an output buffer of the job, released at its end
};

// Reads the print settings from `settingsFile` (null: the defaults, nothing written), runs the
// print dialog over `window` and, on OK, writes them back and makes them the current settings.
// 1 when there are current settings afterwards, 0 when the dialog was cancelled.
int ReadPrintSettings(const char *settingsFile, Window *window);
// The settings the last ReadPrintSettings made current, or null.
PrintSettings *CurrentPrintSettings(void);
// Fills `settings` from the file as ReadPrintSettings does, without a dialog.
void LoadPrintSettings(const char *settingsFile, PrintSettings *settings);
// The print dialog over `window`. It opens at once with the file to print to and fills in the
// queues when lpstat names them, preselecting the queue of `settings` (the system's default for
// kPrintSystemDefault). 1 on OK (`settings` then holds the choices), -1 on Cancel or when the
// dialog is already open.
int PrinterDialog(PrintSettings *settings, Window *window);

// Starts a job printing `window` with a copy of `settings`; null after a message when one is
// already running, a document is still on its way to a queue, or the output cannot be made. A
// file name "-" is standard output; any other relative name is taken in the home directory.
PrintSettings *wStartPrint(const PrintSettings *settings, Window *window);
// Prints the job's next page by repainting its window, when the page is in the job's range
// (fromPage to toPage); a page outside it only counts.
void PrintPage(PrintSettings *job);
// How often the caller prints its pages: the copies of a file are its pages repeated, those of a
// queue lp's to make.
int PrintRuns(const PrintSettings *job);
// Ends the job: the document is finished and put in place (a file) or handed to lp, whose end
// is reported when it comes; the screen fonts come back. 0, or 1 after a message ("Print",
// reason). A job that printed no page (its range past its end) leaves no file behind.
int EndPrint(PrintSettings *job);
// 1 while the open print dialog still waits for lpstat to name the queues.
int PrintAskingForQueues(void);
// The queue a document is being handed to now, or null.
const char *PrintSendingTo(void);
// For tests: the time lp gets (kPrintSendSeconds while 0 or less).
void PrintSetSendSeconds(int seconds);

// Writes the window's picture as it paints itself, in full: a PNG of its pixels or an SVG
// (vector, at its size in points), by the file name's ending. 0; 1 when the name ends in
// neither or there is no window; 2 when the file cannot be written.
int wSavePicture(const char *file, Window *window);

// Prints every line of a list box or text window, page after page, with `settings` (its copies
// and page range), and puts its view back. With a `title` every page begins with a header line:
// the title, the date and time of the print and "page n of m". 0, or 1 when nothing or not
// everything was printed (after a message; an empty window is "Nothing to print").
int PrintTextWindow(const PrintSettings *settings, Window *textWindow, const char *title);
