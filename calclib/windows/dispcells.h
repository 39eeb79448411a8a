// The display row at the top of the panel: a sign cell, one dot-matrix cell per mantissa digit,
// the exponent sign cell and one cell per exponent digit, the ALU status field (carry, overflow,
// exponent entry or error), the radix status field and a filler. It draws what the entry fields
// (display.h) hold: the typed entry, the formatted value of X, or the error dashes. Start
// reading at displayCellsLayout in dispcells.cpp.
#pragma once

#include "wind.h"

struct Calculator;

// The colours of the display, made once by the panel.
struct DisplayColors {
    Color digitText, digitBack; // the cells and the filler
    Color aluText;              // the ALU status field's first two lines
    Color radixText;            // the radix status field
    Color stateText;            // the ALU field's third line ("exp", "ERR")
};

struct DisplayCells {
    Window *panel;        // the window the cells live in
    DisplayColors colors; //
    int statusFont;       // font-cache index of the status fields' font, -1 for none
    Window *sign;         // "Sign"
    Window **mantissa;    // "d0000".. one per mantissa digit (`digits` of them)
    Window *exponentSign; // "ExpSign"
    Window **exponent;    // "e0000".. one per exponent digit
    Window *alu;          // "AluStatus"
    Window *radix;        // "RadixStat"
    Window *filler;       // "Filler"
    int digits;           // mantissa cells made at the last layout, 0 before the first
    int exponentDigits;   // exponent cells made at the last layout
    int laidOut;          // a layout has been made
    int aluShown[3];      // carry, overflow and state line as last drawn; -1: draw again
    Calculator *calc;     // whose state the status fields show
};

// The width in cells of a mantissa cell for that many digits: 4, 3 up to 32, 2 above.
int displayCellWidth(int digits);
// Makes the cells for the calculator's digit counts, closing the old ones when the counts
// changed since the last layout, places the status fields and filler, and widens or narrows the
// panel to hold the row (never below `minWidth` cells). 0, or 1 when a window cannot be made
// (the cells made so far stay).
int displayCellsLayout(int minWidth, Calculator *calc, DisplayCells *cells);
// Draws the entry fields into the cells: request 1 or 2 the entry, 6 the error dashes.
void displayCellsDraw(int request, DisplayCells *cells);
// Redraws the ALU status field when what it shows changed (or always, with force).
void displayCellsRedrawAlu(int force, DisplayCells *cells);
// Redraws the radix status field.
void displayCellsRedrawRadix(DisplayCells *cells);
// Closes every cell and field and releases the arrays.
void displayCellsRelease(DisplayCells *cells);
// The text a cell shows now (two characters), for tests and the clipboard; "" for none.
const char *displayCellText(const Window *cell);
