// One calculator session for both programs: the settings file read into the calculator record,
// the command line's choices laid over it, and the engine started, so the panel and torva-cli
// compute alike from the same file.
#include "session.h"

#include "calc.h"
#include "display.h"
#include "plot.h"
#include "plotmem.h"
#include "settings.h"

int calcSessionRead(const char *file, const CalcSessionOptions *options, Calculator *calc,
                    CalcPanelSettings *panel) {
    int registers = kDefaultRegisters;
    if (file) {
        // One batch for every key: a first start reads the file once and writes its defaults
        // in one replacement.
        SettingsBatchBegin(file);
        registers = calcReadSettings(file, calc, panel);
        calc->radians = ReadIntSetting("ANGLE_FORMAT", 0, file) == 1;
        calc->exactFunctions = ReadIntSetting("EXACT_FUNCTIONS", 0, file) == 1;
        plotReadSettings(file, calc);
        SettingsBatchEnd();
    }
    if (!options)
        return registers;
    if (options->digits >= 0)
        calc->digits = options->digits;
    if (options->exponentDigits >= 0)
        calc->exponentDigits = options->exponentDigits;
    if (options->format >= 0)
        calc->format = options->format;
    if (options->autoFormat >= 0)
        calc->autoFormat = options->autoFormat;
    if (options->notation > 0)
        calc->displayFormat = (calc->displayFormat & ~kDisplayNotationMask) | options->notation;
    if (options->fixedPlaces >= 0) {
        calc->displayFormat |= kDisplayFixedPoint;
        calc->fixedPlaces = options->fixedPlaces;
    }
    if (options->radians >= 0)
        calc->radians = options->radians;
    if (options->exactFunctions >= 0)
        calc->exactFunctions = options->exactFunctions;
    return registers;
}

void calcSessionStart(int registers, const CalcSessionOptions *options, Calculator *calc) {
    calcAllocRegisters(registers, calc);
    displayRebuild(calc);
    if (options && options->radix > 0) {
        calc->radix = 10; // the switch is pressed from the start-up radix
        calcSetRadix(options->radix, calc);
    }
    // A format asked for wins over the one the radix switch chose, whatever came first.
    calcSetFormat(options && options->format >= 0 ? options->format : calc->format, calc);
    calcEmptyStacks(calc);
    calc->state = ENTRY_MANTISSA;
    calc->parenDepth = 0;
    displayEmptyEntry(calc);
    calcUndoForget(calc); // the start is no key to take back
}

void calcSessionEnd(Calculator *calc) {
    calcRelease(calc);
    freePointMemory(calc);
    displayRelease();
}
