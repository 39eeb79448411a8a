// The program window: where programs are recorded from the calculator's keys, edited, loaded
// and saved, stepped, run and plotted. A column of buttons at the left, the listing (a list box
// whose buffer is the Program, with the state arrow on the current step), the plot window and a
// status bar. It also hosts the recorder: while recording, every engine operation becomes a step
// inserted before the current line. One program window exists at a time, opened and closed by
// the panel's "Program" key. Start reading at progwindToggle in progwind.cpp.
#pragma once

#include "wind.h"

struct Calculator;

constexpr char kProgramTitle[] = "torva - program";
constexpr int kProgramWidth = 60;  // cells, unless PROGRAM_WINDOW_WIDTH says otherwise
constexpr int kProgramHeight = 34; // cells, unless PROGRAM_WINDOW_HEIGHT says otherwise
// A label name: what a conditional jump step ("if >= 0 goto " and the name) can hold.
constexpr int kLabelNameLimit = 113;
// A program file larger than this is refused: no one writes such a program by hand, and the
// listing would hold it all in memory.
constexpr long kProgramFileLimit = 8L << 20;

// The panel's "Program" key: opens the window beside the panel (and beside the tape when the
// two would overlap), or closes it when it is open, after asking whether to save a modified
// program. *slot refers to the window while it is open. 0; 1 when the window could not be made
// or the user kept it open.
int progwindToggle(Window *panel, Window *tape, WindowRef *slot);
// Closes the window without a question (the panel is closing).
void progwindClose(WindowRef *slot);
// Before a program is thrown away: asks "Save changes?" when the open window's program has
// changes not written to its file. 1 to go on (saved, discarded or nothing to save); 0 when the
// user cancelled or the save failed.
int progwindConfirmDiscard(WindowRef *slot);
// The calculator the open window works for, or null.
Calculator *progwindCalculator(WindowRef slot);
