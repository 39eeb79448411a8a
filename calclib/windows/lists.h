// The panel's three list windows: the register list ("Sto" and "Rcl"), which stores X into or
// recalls the chosen register, and the constants ("Const") and conversions ("Conv") lists,
// which the user edits in the settings file (sequences CONSTANTS and CONVERSIONS). Each is a
// child dialog inside the panel, at most one of each; its button opens it and, pressed again,
// closes it. Start reading at listsPressed in lists.cpp.
#pragma once

#include "wind.h"

#include <string>

struct Calculator;

// What the pressed key opens.
enum ListKind {
    kListStore = 1,   // the register list; a choice stores X
    kListRecall,      // the register list; a choice recalls
    kListConstants,   // a choice enters the constant as X
    kListConversions, // a choice applies the conversion's operations to X
};

// The panel's open lists.
struct PanelLists {
    WindowRef registers;   // "memory contents"
    WindowRef constants;   // "constants"
    WindowRef conversions; // "Conversions"
};

// The defaults a settings file without the sequences gets on the lists' first use.
extern const char *const kDefaultConstants[];   // "close", pi, ... ending in null
extern const char *const kDefaultConversions[]; // "close", "cm->in ( / 2.54 )", ... null

// The key of `kind` was pressed on the panel: opens that list beside the key, or closes it when
// it is open. 0; 1 when the panel has no calculator or the window cannot be made.
int listsPressed(int kind, Window *button, Window *panel, PanelLists *lists);
// Closes every open list (the panel is closing).
void listsCloseAll(PanelLists *lists);

// A constants line: blanks and tabs dropped, the rest must be one whole finite decimal number
// ("6.02 E23"). It becomes X; anything else enters the error state with a message. 0, or 1 for
// a refused constant.
int listsEnterConstant(const char *item, Calculator *calc);
// A conversions line: what lies between its first '(' and its last ')' (or the line's end). Its
// decimal numbers are entered as constants whatever the radix, its other printable characters
// go to the keyboard map, so the operation waits for the user's Equals. A line without '('
// does nothing. 0, or 1 when a number was refused (error state with a message).
int listsApplyConversion(const char *item, Calculator *calc);
// The register list's line of register `index` (from 0), without its line feed: name, " | ",
// the raw text, " = " and the value as the display would lay it out; "- < not set > -" for an
// empty one.
std::string listsRegisterLine(int index, const Calculator *calc);
