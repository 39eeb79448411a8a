// One calculator session: the calculator record built from the settings file the way both
// programs start it, the panel and torva-cli, with the command line's choices over the file's.
// Start reading at calcSessionRead.
#pragma once

#include "calcsettings.h"

struct Calculator;

// Choices over the settings file; the "keep" values leave the file's setting as it is.
struct CalcSessionOptions {
    int digits = -1;         // mantissa digits (2..kMaxMantissaDigits), -1 keep
    int exponentDigits = -1; // exponent digits (0..kMaxExponentDigits), -1 keep
    int radix = 0;           // 2, 8, 10 or 16, pressed as the radix switch from 10; 0 keep
    int format = -1;         // 0 floating, 1 integer, -1 keep
    int autoFormat = -1;     // 1 the format follows radix changes, 0 not, -1 keep
    int notation = 0;        // 1 decimal, 2 scientific, 3 engineering, 0 keep
    int fixedPlaces = -1;    // a fixed radix point with this many places, -1 keep
    int radians = -1;        // 1 radians, 0 degrees, -1 keep
    int exactFunctions = -1; // 1 correctly rounded functions, 0 through the double, -1 keep
};

// Reads every setting that affects computing from `file` into the record (writing back the
// defaults of a first start): digit counts, format, radix, notation, angle and function modes,
// the program mode and the plot realm, angles and colours; the panel's look into *panel (may be
// null). A null file reads nothing: the record keeps the calculator's defaults. Then the options
// (may be null) are laid over the record, all but the radix, which calcSessionStart presses.
// Returns the register count (NUM_STORABLE_NUMBERS) for calcSessionStart.
int calcSessionRead(const char *file, const CalcSessionOptions *options, Calculator *calc,
                    CalcPanelSettings *panel);

// Starts the engine on the record that calcSessionRead filled: `registers` empty registers,
// the entry fields for the digit counts, the options' radix pressed (its format following
// when auto format is on) and then the options' format, when they name one, else the record's,
// selected; both stacks empty and a fresh entry. The hooks the caller set stay.
void calcSessionStart(int registers, const CalcSessionOptions *options, Calculator *calc);

// Releases what the session holds: stacks, registers, the point memory and the entry fields.
void calcSessionEnd(Calculator *calc);
