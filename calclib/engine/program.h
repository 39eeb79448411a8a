// Programs: a Program is the Buffer of the program listing, one step per line ending in a line
// feed, the same bytes as the program file. The interpreter executes the step at the current
// line against the calculator engine, exactly as the keys would, with labels, jumps and
// conditional jumps; the program window is reached through the calculator's hooks, so programs
// run headless (tests, torva-cli) as they do in the window.
#pragma once

#include <cstdint>

struct Buffer;
struct Calculator;

extern const char kEndMarker[];     // "__ end __": the last line of a new program
constexpr int kStepMaxLength = 126; // characters of a step before its line feed

// The control steps of the Insert list.
enum StepKind {
    LABEL_PROMPT = 0,  // ':' and the answer to "Label Text"
    TARGET_PROMPT = 1, // the text, a blank and the answer to "Goto Target"
    PLAIN_STEP = 3,    // the text and a blank
    COLOR_PROMPT = 4,  // "plot Color", a blank and the answer to the colour question
};

struct StepTemplate {
    StepKind kind;
    const char *text; // what the list shows
};

constexpr int kStepTemplates = 9;
extern const StepTemplate kStepTemplate[kStepTemplates];

// The step an Insert-list entry (numbered from 1) writes, from the answer to its question
// (`answer` for the text questions, `number` for the colour question; a colour outside 0..4 is
// written as 0). Empty for an entry out of range.
const char *composeTemplateStep(int entry, const char *answer, int number);

// A new program: an unnamed in-memory Program (line-feed mode, with undo) holding only the end
// marker, inserted outside any undo frame so Undo cannot remove it. Null without memory.
Buffer *programCreate();
// Loads a program file into a new Program (read-only when `readOnly`). Null when the file
// cannot be read.
Buffer *programLoad(const char *path, int readOnly);
// Inserts a step before the current line (leading blanks and tabs dropped, cut after 126
// characters, a line feed added). `withUndo`: kStepNoUndo, kStepOwnFrame (the insertion is one
// undo frame), or kStepOpenFrame (recorded in the frame the caller opened, so several steps go
// back in one Undo). The current line stays the line it was. 0, or BufferInsert's failure code.
enum ProgramStepUndo { kStepNoUndo = 0, kStepOwnFrame = 1, kStepOpenFrame = 2 };
int programInsertStep(const char *text, int withUndo, Buffer *program);

// ---- the interpreter --------------------------------------------------------------------

// Executes the step at the program position and advances. 1: go on; 0: the program stopped
// or reached its end. The program window registers it as its idle callback.
int runStep(Calculator *calc);
// Moves the position to the first label from the top whose name is a prefix of the target;
// "Undefined label" (fatal) leaves it on the last line.
void jumpToLabel(const char *target, Calculator *calc);
// Shows "Warning: ", "Error: " or "Fatal Error: " and the text (severity 0, 1, 2) in the report
// field. A fatal message sets plotState to -1 and stops the run. 0, or -1 for severity 2.
int programMessage(const char *text, int severity, Calculator *calc);
// Ends a run: the idle callback goes, the plot window is painted, restartPending becomes 1 and
// recorderMode 0 (Edit).
void stopProgram(Calculator *calc);
// Clears the report field and the point memory for a run. 0 ready; 2 no Program.
int prepareRun(Calculator *calc);
// Moves to line 1 and starts the idle callback that runs the steps.
void startNormalRun(Calculator *calc);
// One slice of the run that is going: normal steps (Normal mode) or plot points (the plot
// modes), as many as fit before `clock()` (microseconds) reaches `deadline`, until the run ends.
// Meanwhile the display and the listing's mark are not drawn step by step; a slice that ends
// the run draws them (runRefresh). The clock is read every few steps. The steps or points run.
long runSlice(int64_t deadline, int64_t (*clock)(void), Calculator *calc);
// Draws what a run has left undrawn: the display as its last drawing would have shown it, and
// the listing's mark on the current line.
void runRefresh(Calculator *calc);
// Stop (the user's, in any mode): the idle callback goes, the run ends (recorderMode 0), and
// the display, the mark and the plot window show where it ended; restartPending is left alone.
void stopRun(Calculator *calc);
// Runs steps as the idle loop would, until runStep returns 0 or, with `untilStopped`, until the
// run is stopped. A run past calc->stepLimit steps ends with the fatal "step limit reached".
// Returns the number of steps run.
long programRun(int untilStopped, Calculator *calc);
