// The printer tape: a window beside the panel that records the calculation like an adding
// machine, one line per number shown and an operation field before it, in a fixed-pitch font.
// The panel's "Printer" switch opens and closes it; its menu prints it, saves it as text, clears
// it and closes it. The engine's tape hook reaches it through tapeAppend. Start reading at
// tapeToggle in tape.cpp.
#pragma once

#include "wind.h"

#include <string>

constexpr char kTapeTitle[] = "torva - printer";
// Cells: the tape is kTapeWidth wide, or wider when a number line of the display's digits
// needs it, up to kTapeWidestCells (a tape for very long numbers cuts them there).
constexpr int kTapeWidth = 30;
constexpr int kTapeWidestCells = 80;
constexpr char kTapeDefaultFont[] = "face:courier!height:120!bold:0!italic:0!setwidth:1";
// The tape keeps at most this many lines: past it the oldest kTapeDropLines roll off, since the
// list's buffer stops splitting lines at its line limit (16383).
constexpr int kTapeKeptLines = 16000;
constexpr int kTapeDropLines = 1000;

// The panel's tape, while it is open.
struct PanelTape {
    WindowRef window; // "torva - printer"
    WindowRef list;   // its list "printout"
};

// The "Printer" switch was pressed on the panel: opens the tape when it is closed, else closes
// it. The switch is left showing whether the tape is open. 0; 1 when the tape could not be made.
int tapeToggle(Window *panel, PanelTape *tape);
// Closes the tape, if open (the panel is closing).
void tapeClose(PanelTape *tape);
// Appends the text at the end of the tape, whatever line the user chose, and keeps the newest
// line in view unless the user has scrolled away from it. 0; 1 when the tape is closed.
int tapeAppend(const char *text, PanelTape *tape);
// The tape's lines, each with its line feed; "" while it is closed.
std::string tapeText(const PanelTape *tape);
// Writes the tape's lines to `path` by the rules of every output file (filesys.h): a file is
// replaced in one step, a pipe or a device is written into, a read-only file, a directory and
// the like are refused. 0; 1 nothing was written (after a message naming the reason; an existing
// file is left as it was).
int tapeSaveText(const char *path, const PanelTape *tape);
// Empties the tape.
void tapeClear(PanelTape *tape);

// How the tape prints: the print settings dialog over the tape window (1 when there are
// settings to print with), then the print of the list. Tests put scripted stand-ins here.
struct TapePrinter {
    int (*dialog)(const char *settingsFile, Window *tapeWindow);
    int (*print)(Window *list);
};
// Null restores the toolkit's printing.
void tapeSetPrinter(const TapePrinter *printer);
