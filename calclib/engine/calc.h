// The calculator engine: the one state record, and the entry points that turn keys into
// arithmetic with operator precedence and parentheses. The engine never computes itself; it
// calls the number engine for every operation. It tells its listeners (display, printer tape,
// program recorder, panel) through the hooks in the record, which stay null when nothing is
// attached, so a test or torva-cli runs the whole engine with `Calculator calc;`.
//
// Start reading at `Calculator`, then calcBinaryOp and calcEvaluate in calc.cpp.
#pragma once

#include "numctx.h"

#include <cstdint>

struct Number;
struct Calculator;
struct Buffer;
struct PlotNode;
struct GraphChunk;
struct CalcUndo;

constexpr uint32_t kCalculatorMagic = 0xABCD4359; // every callback through a window checks it

// The display format word (`Calculator::displayFormat`, DISPLAY_FORMAT in the settings): the
// notation in the low bits, and a bit for the fixed radix point.
constexpr int kDisplayNotationMask = 0xF; // 1 decimal, 2 scientific, 3 engineering
constexpr int kDisplayFixedPoint = 0x10;  // places after the point are fixedPlaces
static_assert(kDisplayNotationMask == 0xF && kDisplayFixedPoint == 0x10,
              "DISPLAY_FORMAT values in settings files");

// The state doubles as the display request: 1 and 2 draw the entry, 3 to 5 show X, 6 dashes.
enum EntryState {
    ENTRY_MANTISSA = 1,   // digits go to the mantissa field (also at start and after clear-all)
    ENTRY_EXPONENT = 2,   // digits go to the exponent field
    OPERATOR_PENDING = 3, // a binary operator was just pushed; the display still shows X
    OPERAND_ENTERED = 4,  // a typed, recalled, duplicated or converted value is X and is shown
    RESULT_SHOWN = 5,     // X is a computed result and is shown
    CALC_ERROR = 6,       // an error occurred; only clear-all leaves this state
};

// A pending binary operation or open parenthesis ('(') on the operation stack.
struct OpEntry {
    int code;      // operation code
    OpEntry *next; // the entry below
};

// Listeners. Each may be null; `context` is the attaching owner's own data.
struct CalcHooks {
    // Display: draw the entry fields (request 1 or 2) or the error dashes (6).
    void (*drawEntry)(int request, Calculator *calc);
    // Display: carry or overflow changed, redraw the ALU status field.
    void (*indicatorsChanged)(Calculator *calc);
    // Printer tape: append text; 1 when no tape is open (nothing is written then).
    int (*tapeWrite)(const char *text, Calculator *calc);
    // Panel: the radix switch asks for another number format. The panel calls calcSetFormat
    // and updates its keys; without a panel the engine calls calcSetFormat itself.
    void (*formatChanged)(int format, Calculator *calc);
    // Program recorder, while recorderMode > 0.
    void (*recordStep)(int code, Calculator *calc);
    void (*recordText)(const char *text, Calculator *calc);
    void (*recordConstant)(Calculator *calc); // X was entered from a text
    void (*undoStep)(Calculator *calc);       // the last typed character was deleted
    // Program window: the status bar's report field, the listing's mark (moved to the current
    // line), the idle callback (start 1 runStep, 2 the 2D plot task, 3 the 3D plot task; 0
    // removes it), a stopped run (refresh the
    // status and buttons), and the plot window (repaint now; full after the memory was reset).
    void (*programReport)(const char *text, Calculator *calc);
    void (*programMarked)(Calculator *calc);
    void (*programIdle)(int start, Calculator *calc);
    void (*programStopped)(Calculator *calc);
    void (*plotPaint)(int full, Calculator *calc);
    // Panel: undo or redo put a whole state back; the radix and format switches, the keys they
    // enable and the status fields follow it.
    void (*restored)(Calculator *calc);
    void *context;
};

// The number engine's context (temporaries, carry, overflow, angle and function modes) is the
// record's base: the
// engine hands the calculator itself to every number operation.
struct Calculator : NumContext {
    Calculator();  // hooks the number engine's listeners to `hooks`
    ~Calculator(); // forgets the undo steps (the rest is calcRelease's)
    Calculator(const Calculator &) = delete;
    Calculator &operator=(const Calculator &) = delete;
    uint32_t magic = kCalculatorMagic; // kCalculatorMagic while the record is alive
    int digits = 10;                   // mantissa digits of every Number the engine makes (>= 2)
    int exponentDigits = 2;            // width of the display's exponent field (>= 0)
    int format = 0;                    // number format of new values: 0 floating, 1 integer
    int displayFormat = 1;             // notation (kDisplayNotationMask) | kDisplayFixedPoint
    int radix = 10;                    // 2, 8, 10 or 16
    int fixedPlaces = -1;              // places after the point when the point is fixed
    int autoFormat = 1;                // 1: the format follows radix changes
    Number *operands = nullptr;        // operand stack, linked by Number::next; top is X
    OpEntry *operations = nullptr;     // operation stack; the engine owns every entry
    int parenDepth = 0;                // open parentheses not yet closed
    int state = ENTRY_MANTISSA;        // EntryState
    int tapeOpen = 0;                  // 1 while a tape line waits for its number
    int recorderMode = 0;              // > 0 recording, < 0 a program runs, 0 otherwise
    CalcHooks hooks = {};              // listeners; null when detached
    // Memory registers.
    int registerCount = 0;        // NUM_STORABLE_NUMBERS; 0 when the slots could not be made
    Number **registers = nullptr; // registerCount slots, each null (empty) or owning a Number
    // Settings read with the panel, kept for the program window and the plot engine.
    const char *settingsFile = nullptr; // the settings file's name (owned by the process)
    int beginnerMode = 1;               // BEGINNER_MODE: kept; no behaviour depends on it
    int programMode = 0;                // PROGRAM_MODE: 0 normal, 1 2D plot, 2 3D plot
    int plotOriginMode = 0;             // PLOT_ORIGIN_MODE: 1 fits a finished plot to the window
    int plotAbscissaMode = 7;           // PLOT_ABCISSA_MODE
    int plotRefreshRate = 1;            // PLOT_REFRESH_RATE
    // Programs and plotting.
    Buffer *program = nullptr;           // the listing's Program, or null
    int plotState = 0;                   // step of the running plot task; -1 after a fatal error
    int restartPending = 1;              // the next Step prepares a run first
    double plotX = 0.0, plotY = 0.0;     // the plot coordinates
    int paintCounter = 0;                // paint requests since the last paint while running
    PlotNode *plotHead = nullptr;        // the point memory: a PLOT_START node, then pen commands
    PlotNode *plotTail = nullptr;        // its last node
    PlotNode *plotLastPainted = nullptr; // the node up to which the plot window is painted
    long stepLimit = 10000000;           // most steps of one run or plot evaluation
    // A slice of a run is going (runSlice): the display and the listing's mark are drawn once
    // when it ends (runRefresh), not step by step.
    int runQuiet = 0;
    // The plot engine's realm and view (PLOT_REALM_..., PLOT_ANGLE_..., PLOT_REALM_DELTA).
    double plotMinX = -200.0, plotMinY = -200.0; // lower corner of the realm
    double plotMaxX = 200.0, plotMaxY = 200.0;   // upper corner
    double plotAngleX = 30.0, plotAngleY = 30.0; // view angles, degrees
    double plotSinX = 0.0, plotSinY = 0.0;       // of the angles, when a 3D plot starts
    double plotCosX = 1.0, plotCosY = 1.0;       //
    double plotOriginX = 0.0, plotOriginY = 0.0; // the realm's origin in the plot window, points
    int plotDelta = 10;                          // step of the realm loops
    // The plot area's extents (right - left, bottom - top) in points: the plot window less the
    // status bar, set by the window that shows the plot.
    double plotAreaWidth = 399.0, plotAreaHeight = 299.0;
    double (*plotFunction)(double x, double y, Calculator *calc) = nullptr; // for project3D
    // The plot colour table as red | green << 8 | blue << 16: black, white, then PLOT_COLOR_2
    // to _4. The window that shows the plot allocates its colours from them.
    uint32_t plotColors[5] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000};
    int plotPenUp = 0;        // a non-finite point was appended: the next line only moves
    long plotEvaluations = 0; // evaluations since the plot started
    // The plot tasks' own counters (one plot runs at a time): the loops count indices, so a
    // program that sets plot X cannot move them.
    long plotIndexX = 0, plotIndexY = 0, plotLineIndex = 0;
    int plotDoneX = 0, plotDoneY = 0;
    long plotCountX = 0, plotCountY = 0; // points on each axis of the realm
    // The graph view (PLOT_VIEW 1): the realm in its own units, with a step of any size, fitted
    // to the window when it is painted. Its points are kept in the graph memory (plotmem.h).
    int plotView = 0;                    // PLOT_VIEW: 0 one point per unit, 1 the graph view
    int plotFitY = 1;                    // PLOT_FIT_Y: the 2D graph's y fitted to its values
    double plotStep = 10.0;              // PLOT_REALM_DELTA as a decimal: the graph's step
    GraphChunk *graphHead = nullptr;     // the graph memory, chunk after chunk
    GraphChunk *graphTail = nullptr;     //
    long graphCount = 0;                 // its points
    int graphPenUp = 1;                  // the next line only moves: no point before it
    double graphMinY = 0, graphMaxY = 0; // the finite values of the points, 2D y ...
    double graphMinZ = 0, graphMaxZ = 0; // ... and 3D z
    int graphHasY = 0, graphHasZ = 0;    // a finite value has come
    int plotEvaluating = 0;              // an evaluation of the graph view runs: no fatal math
    int plotPointFailed = 0;             // the evaluation failed: the point is a gap
    CalcUndo *undo = nullptr;            // the states before past keys (calcundo.cpp); lazily
};

// ---- the tape -----------------------------------------------------------------------------

// Appends text to the printer tape; 1 when no tape is open (or a plot runs: its thousands of
// evaluations would bury the tape).
int calcTapeWrite(const char *text, Calculator *calc);

// ---- operation codes ---------------------------------------------------------------------

int opPrecedence(int code);       // binding strength: 5 X / M; 4 & | ^ L R; 3 + -; 0 others
int opIsUnary(int code);          // 1 for the one-operand codes
const char *opTapeName(int code); // the name on the tape and in recorded steps

// ---- entry points ------------------------------------------------------------------------

int calcKey(int key, Calculator *calc); // keyboard map; 1 when a digit is not valid in the radix
// The character calcKey takes a key as: '%' 'M', '*' 'X', the keypad's navigation keys their
// digits, 'a'-'f' 'A'-'F'; any other key itself.
int calcKeyCharacter(int key);
void calcDigit(int character, Calculator *calc); // '0'-'9', 'A'-'F', '.'
void calcBinaryOp(int code, Calculator *calc);
void calcUnaryOp(int code, Calculator *calc);
void calcSignChange(Calculator *calc);
void calcEnterExponent(Calculator *calc);
void calcDeleteDigit(Calculator *calc);
void calcEquals(Calculator *calc);
void calcOpenParen(Calculator *calc);
void calcCloseParen(Calculator *calc);
void calcClear(int all, Calculator *calc);
void calcDuplicate(Calculator *calc);
// A number given as decimal text becomes X: through the double, or with every digit when the
// functions are exact.
void calcEnterConstant(const char *text, Calculator *calc);
// pi becomes X: the pi key's 33 digits through the double, or pi correctly rounded to the
// length when the functions are exact.
void calcEnterPi(Calculator *calc);
// X becomes x (the calculator's from here) as a constant or a pasted number enters: it replaces
// a number being typed, starts a new calculation after a result or an entered operand, and is
// the operand after an operator; recorded as a constant.
void calcEnterValue(Number *x, Calculator *calc);
void calcSetFormat(int format, Calculator *calc);
void calcSetRadix(int radix, Calculator *calc);
// Applies pending operations: count 1 one, 0 down to the nearest '(' (removed), -1 all.
// 0, or the number engine's error code.
int calcEvaluate(int count, Calculator *calc);
void calcError(Calculator *calc);
int calcIsError(Calculator *calc);
// A new digit count (>= 2) and exponent width (>= 0): both stacks emptied, the temporaries
// released, the entry rebuilt, state ENTRY_MANTISSA.
void calcSetPrecision(int digits, int exponentDigits, Calculator *calc);
// Empties both stacks and releases the temporaries.
void calcEmptyStacks(Calculator *calc);
// Pushes n as the new X; the stack owns it from then on.
void calcPushOperand(Number *n, Calculator *calc);
// Releases everything the record holds (stacks, temporaries, registers); it stays usable.
void calcRelease(Calculator *calc);

// ---- undo ---------------------------------------------------------------------------------

// Undo keeps the whole state from before each key that changed it (X, the entry, both stacks,
// the parenthesis depth, the registers the key touched, the indicators, radix and format): at
// most kUndoSteps of them, and no more than kUndoBytes of memory, the oldest dropped first.
// Redo keeps what undo took back until a key changes the calculator again.
constexpr int kUndoSteps = 100;
constexpr long kUndoBytes = 4L << 20;

// Takes back the last key that changed the calculator (redo 0) or puts back the last state
// taken back (redo 1): the display shows exactly what it showed then, and the tape gets a line
// "undo" or "redo" with that number (the paper is never rewritten). Null when done; else why
// not ("nothing to undo"), and nothing changed. Off while a program runs or is recorded, and
// across a change of the display precision (digit counts, notation, fixed places).
const char *calcUndo(int redo, Calculator *calc);
// The steps undo (redo 0) or redo (1) can take now.
int calcUndoCount(int redo, Calculator *calc);
// The memory the kept states hold, in bytes, as counted against kUndoBytes.
long calcUndoBytes(const Calculator *calc);
// Forgets every kept state (a session starts; the record is released).
void calcUndoForget(Calculator *calc);
// Each entry point that may change the state runs between these two; nested calls count as the
// outermost one, and a program run is one step. The state before is kept when it changed.
void calcUndoBegin(Calculator *calc);
void calcUndoEnd(Calculator *calc);
// A register is about to change in the key in progress: its value before goes with the step.
void calcUndoNoteRegister(int index, Calculator *calc);

// ---- memory registers ----------------------------------------------------------------------

constexpr int kMaxRegisters = 26 * 26; // two-letter names at most

// Makes `count` empty slots (count clamped to 0..kMaxRegisters), releasing any old ones; the
// count becomes 0 when the slots cannot be made.
void calcAllocRegisters(int count, Calculator *calc);
// Stores X into register n (from 1); n outside the registers does nothing.
void calcStore(int n, Calculator *calc);
// Pushes a copy of register n (from 1), converted to the calculator's format and radix.
void calcRecall(int n, Calculator *calc);
// The letter name of register `index` (from 0) among `count`: base-26 letters, 'A' is 0,
// blank-padded to the width of the largest name. Static buffer, valid until the next call.
const char *registerName(int index, int count);
// The index of a register name among `count` (letters up to the name width, stopping at a
// blank, a control character or the end), or -1 when the name has no letter or holds another
// character.
int registerIndex(const char *name, int count);

// ---- the printer tape's lines ------------------------------------------------------------

constexpr int kTapeFieldWidth = 10; // the operation column

// The operation's tape name padded to the field width; sets tapeOpen.
void calcTapeOperation(int code, Calculator *calc);
// A fixed ten-column field such as "duplicate " or "radix 16  "; sets tapeOpen.
void calcTapeField(const char *field, Calculator *calc);
// The number line of what the display shows, indented when no operation field waits for it;
// clears tapeOpen.
void calcTapeNumberLine(Calculator *calc);

// ---- the panel's keys --------------------------------------------------------------------

// A key of the panel or the scientific dialog that drives the engine, by its name.
struct CalcKeyFunction {
    const char *name;
    void (*press)(const char *name, Calculator *calc);
    int need; // kKeyNeeds... : when the panel disables the key
};
constexpr int kKeyNeedsNothing = 0;
constexpr int kKeyNeedsRadix = 1; // a digit: disabled when its value is not below the radix
constexpr int kKeyNeedsFloat = 2; // ".", "exp", "Int", "i": disabled in the integer format

// The key function of a name, or null for a name the engine does not serve.
const CalcKeyFunction *calcKeyFunction(const char *name);
// Whether the panel shows the key enabled in the calculator's radix and format.
int calcKeyEnabled(const CalcKeyFunction *key, const Calculator *calc);
// Why the panel shows the key disabled ("no radix point in the integer format", "no digit 8 in
// radix 8"), or null while it is enabled. The text is valid until the next call.
const char *calcKeyRefusal(const CalcKeyFunction *key, const Calculator *calc);
// The panel's keyboard, the same for the panel and torva-cli: the engine's map (calcKey), and
// the panel's own characters 'p' (pi) and 'r' (1/x) pressed as their keys. A key whose button
// the panel shows disabled types nothing: its refusal (calcKeyRefusal) is returned, for the bell
// or a message; null when the key was taken or means nothing.
const char *calcPanelKey(int key, Calculator *calc);
