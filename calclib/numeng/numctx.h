// What the number engine needs of whoever calls it: a chain for the scratch numbers of one
// operation, the angle and function modes, and the carry and overflow indicators, with hooks
// through which the owner redraws its indicators and puts the engine's messages on its tape. The
// calculator's record is such a context; tests and benchmarks use a bare `NumContext` with no
// hooks.
#pragma once

struct Number;
struct NumContext;

// Listeners of the owner; either may be null.
struct NumHooks {
    void (*indicatorsChanged)(NumContext *ctx);          // carry or overflow changed
    int (*tapeWrite)(const char *text, NumContext *ctx); // 1 when nothing was written
};

struct NumContext {
    Number *temporaries = nullptr;      // scratch of the operation in progress; the owner frees it
    int carry = 0;                      // "cry" indicator, set and cleared by the number engine
    int overflow = 0;                   // "ovr" indicator, set and cleared by the number engine
    int radians = 0;                    // angle mode: 1 radians, 0 degrees
    int exactFunctions = 0;             // functions: 1 correctly rounded, 0 through the double
    const NumHooks *numHooks = nullptr; // the owner's listeners; null when nothing listens
};

// The indicator operations: set or clear the field, then tell the owner when it changed.
void calcSetCarry(NumContext *ctx);
void calcClearCarry(NumContext *ctx);
void calcSetOverflow(NumContext *ctx);
void calcClearOverflow(NumContext *ctx);
// Writes a line break, the text and a line break to the owner's tape; nothing without one.
void calcTapeMessage(const char *text, NumContext *ctx);
