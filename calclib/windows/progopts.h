// The program window's "Program Options" dialog: the plot realm, the two view angles, the realm
// delta, the screen refresh rate and the axes drawn. It runs modally; OK applies the values to
// the calculator and the settings file, Cancel and the close box drop them. Start reading at
// progOptionsOpen in progopts.cpp.
#pragma once

#include "wind.h"

struct Calculator;

// Opens the "Program Options" dialog over the program window and runs it modally; OK stores
// the values in the calculator and the settings file (calc->settingsFile). *open refers to the
// dialog while it runs; a call while it is already open (or being built) returns at once.
void progOptionsOpen(Window *programWindow, Calculator *calc, WindowRef *open);
// Closes the dialog held by *open, if any (the program window is closing): the modal run ends
// and no handler of the dialog runs afterwards.
void progOptionsClose(WindowRef *open);
