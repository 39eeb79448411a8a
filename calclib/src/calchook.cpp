// The few calculator operations the number engine calls: the carry and overflow indicators
// and the tape. They only touch the record and its listener hooks, so the number engine can be
// used (and tested) with no display, tape or window behind the record.
#include "calc.h"

#include <string>

static void calcSetIndicator(int Calculator::*field, int value, Calculator *calc) {
    if (!calc || calc->*field == value)
        return;
    calc->*field = value;
    if (calc->hooks.indicatorsChanged)
        calc->hooks.indicatorsChanged(calc);
}

void calcSetCarry(Calculator *calc) { calcSetIndicator(&Calculator::carry, 1, calc); }
void calcClearCarry(Calculator *calc) { calcSetIndicator(&Calculator::carry, 0, calc); }
void calcSetOverflow(Calculator *calc) { calcSetIndicator(&Calculator::overflow, 1, calc); }
void calcClearOverflow(Calculator *calc) { calcSetIndicator(&Calculator::overflow, 0, calc); }

int calcTapeWrite(const char *text, Calculator *calc) {
    if (!calc || !calc->hooks.tapeWrite)
        return 1;
    // A plot runs the program thousands of times: its steps would bury the tape.
    if (calc->recorderMode < 0 && calc->programMode != 0)
        return 1;
    return calc->hooks.tapeWrite(text, calc);
}

void calcTapeMessage(const char *text, Calculator *calc) {
    if (!calc || !calc->hooks.tapeWrite)
        return;
    std::string line = "\n";
    line += text;
    line += '\n';
    calcTapeWrite(line.c_str(), calc);
}
