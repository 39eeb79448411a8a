// The display precision dialog of the panel's "Precision" key: the mantissa and exponent digit
// counts, the notation, the number format (integer, floating point or automatic) and a fixed
// number of places after the radix point. The choices wait in the dialog until OK applies them
// to the calculator and the settings file; Cancel drops them. Start reading at precisionOpen in
// precision.cpp.
#pragma once

#include "wind.h"

// Opens the dialog for the panel, or brings it forward when *open already holds it. *open
// refers to the dialog while it is open. The dialog, or null when it cannot be made.
Window *precisionOpen(Window *panel, WindowRef *open);
// Closes the dialog held by *open, if any (the panel is closing).
void precisionClose(WindowRef *open);
