// The calculator's one state record. The number engine sees only a small part of it: the
// temporaries chain, the carry and overflow indicators and the tape message. The rest of the
// engine's fields, the stacks and the entry points arrive with the calculator engine; the
// panel, display and tape reach in through the listener hooks, which stay empty (null) when no
// window is attached, so a test creates a working record with `Calculator calc;`.
#pragma once

#include <cstdint>

struct Number;
struct Calculator;

constexpr uint32_t kCalculatorMagic = 0xABCD4359; // every callback through a window checks it

// Listeners the upper layers fill in. Each may be null.
struct CalcHooks {
    void (*indicatorsChanged)(Calculator *calc);             // carry or overflow changed: redraw
    void (*tapeMessage)(const char *text, Calculator *calc); // a line for the printer tape
};

struct Calculator {
    uint32_t magic = kCalculatorMagic; // kCalculatorMagic while the record is alive
    int digits = 10;                   // mantissa digits of every Number the engine makes (>= 2)
    int exponentDigits = 2;            // width of the display's exponent field (>= 0)
    int format = 0;                    // number format of new values: 0 floating, 1 integer
    int displayFormat = 1;             // low 4 bits notation 1/2/3; bit 0x10 fixed radix point
    int radix = 10;                    // 2, 8, 10 or 16
    int fixedPlaces = -1;              // places after the point when the point is fixed
    int carry = 0;                     // "cry" indicator, set and cleared by the number engine
    int overflow = 0;                  // "ovr" indicator, set and cleared by the number engine
    int autoFormat = 1;                // 1: the format follows radix changes
    int radians = 0;                   // angle mode: 1 radians, 0 degrees
    Number *temporaries = nullptr;     // the number engine's scratch chain, freed per operation
    CalcHooks hooks = {};              // display and tape listeners; null when detached
};

// The display's indicator operations: set or clear the field, then let the display redraw.
void calcSetCarry(Calculator *calc);
void calcClearCarry(Calculator *calc);
void calcSetOverflow(Calculator *calc);
void calcClearOverflow(Calculator *calc);

// Writes a line break, the text and a line break to the printer tape; nothing without a tape.
void calcTapeMessage(const char *text, Calculator *calc);
