// The calculator's panel: a framed top-level dialog with the display row (dispcells.h) at the
// top and the grid of keys below it. The builder makes the Calculator record, reads the
// settings, builds the window from its description, attaches a function to every key and lays
// out the display; the panel also owns the scientific dialog, the key tooltips and the radix,
// format and printer switches, and opens the lists (lists.h) and the precision dialog
// (precision.h), which close with it. Start reading at calcPanelCreate in panel.cpp.
#pragma once

struct Calculator;
struct Window;

constexpr char kPanelTitle[] = "torva - Calculator v1.6";

// Before the toolkit starts: names the fonts the panel gives the toolkit's dialogs, so that the
// toolkit never makes the defaults the panel would replace.
void calcPanelChooseToolkitFonts(void);
// Builds the panel for the settings file (which the process keeps alive). The panel is not yet
// shown. Null when the record or the window cannot be made.
Window *calcPanelCreate(const char *settingsFile);
// The calculator record of the panel window, or null for any other window (or a closed panel).
Calculator *calcPanelRecord(Window *panel);
// The number format through the panel: the engine, the "Int. Math" switch, the keys that depend
// on the format and NUMBER_FORMAT.
void calcPanelSelectFormat(int format, Window *panel);
// New digit counts (mantissa >= 2, exponent >= 0): both stacks emptied, the display cells laid
// out again and the entry rebuilt.
void calcPanelSetDigits(int digits, int exponentDigits, Window *panel);
