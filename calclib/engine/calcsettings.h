// The calculator's settings: the name of its settings file and the keys the panel reads when
// it is built, with their defaults, read in the panel's order so the file fills the same way
// whoever reads it first (the panel or torva-cli --settings). Values out of range fall back to
// the nearest sound value when read; the file keeps what the user wrote.
#pragma once

#include <string>

struct Calculator;

constexpr int kMaxMantissaDigits = 1000; // longest Number the settings may ask for
constexpr int kMaxExponentDigits = 32;   // an exponent in binary
constexpr int kDefaultRegisters = 16;    // NUM_STORABLE_NUMBERS when the file does not say

// One colour of the settings, 0 to 255 each.
struct CalcRgb {
    int red, green, blue;
};

// The panel's own look, read with the engine's settings.
struct CalcPanelSettings {
    int x, y;                             // APPLICATION_ULX, _ULY: panel position in cells
    CalcRgb foreground;                   // APPLICATION_FRG_
    CalcRgb numberKeyText, numberKeyBack; // NUMBER_KEY_FRG_, _BKG_
    std::string numberKeyFontFace;        // NUMBER_KEY_FONTFACE
    int numberKeyFontSize;                // NUMBER_KEY_FONTSIZE, points
    int numberKeyFontBold;                // NUMBER_KEY_FONTBOLD
    int numberKeyFontItalic;              // NUMBER_KEY_FONTITAL
    CalcRgb operatorKeyText, operatorKeyBack;
    CalcRgb miscKeyText, miscKeyBack;
    CalcRgb memKeyText, memKeyBack;
    CalcRgb programKeyText, programKeyBack;
    CalcRgb digitText, digitBack;               // the display's digits (DIGIT_FRG_, DIGIT_BKG_)
    CalcRgb aluStatusText;                      // ALU_STATUS_FRG_
    CalcRgb radixStatusText;                    // RADIX_STATUS_FRG_
    CalcRgb toolTipBack;                        // TOOL_TIP_BKG_
    CalcRgb plotColor2, plotColor3, plotColor4; // PLOT_COLOR_n_
};

// The settings file of a program started as argv0 ("default" without it): the base after the
// last '/' or '\', cut at the first '.' after it (a bare word keeps its extension), ".ini", in
// the settings directory.
std::string calcSettingsFileName(const char *argv0);

// Reads every key the panel reads at build time from `file` (writing back defaults) into the
// record's settings fields and into *panel (may be null). Returns the register count
// (NUM_STORABLE_NUMBERS) for calcAllocRegisters.
int calcReadSettings(const char *file, Calculator *calc, CalcPanelSettings *panel);
