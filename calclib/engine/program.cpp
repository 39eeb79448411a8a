// The program interpreter: one step line at a time, recognised by its first character and a
// few fixed characters after it, calling the engine entry point the key would call. Nothing is
// parsed ahead: a line means what it says each time it runs; only the labels are indexed, for
// the jumps, and the index follows every edit. Positions past the end of a line read as NUL, so
// a short line never reads what lies behind it.
#include "program.h"

#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "number.h"
#include "plot.h"
#include "plotmem.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

static const char kSourceName[] = "calclib\\src\\program";

const char kEndMarker[] = "__ end __";

const StepTemplate kStepTemplate[kStepTemplates] = {
    {LABEL_PROMPT, "label"},         {TARGET_PROMPT, "goto"},   {TARGET_PROMPT, "if < 0 goto"},
    {TARGET_PROMPT, "if >= 0 goto"}, {PLAIN_STEP, "plot X"},    {PLAIN_STEP, "plot Y"},
    {COLOR_PROMPT, "plot Color"},    {PLAIN_STEP, "plot Move"}, {PLAIN_STEP, "plot Line"},
};

const char *composeTemplateStep(int entry, const char *answer, int number) {
    static char step[kStepMaxLength + 2];
    step[0] = 0;
    if (entry < 1 || entry > kStepTemplates)
        return step;
    const StepTemplate &t = kStepTemplate[entry - 1];
    switch (t.kind) {
    case LABEL_PROMPT:
        snprintf(step, sizeof step, ":%.125s", answer ? answer : "");
        break;
    case TARGET_PROMPT:
        snprintf(step, sizeof step, "%s %s", t.text, answer ? answer : "");
        break;
    case PLAIN_STEP:
        snprintf(step, sizeof step, "%s ", t.text);
        break;
    case COLOR_PROMPT:
        snprintf(step, sizeof step, "%s %d", t.text, number < 0 || number > 4 ? 0 : number);
        break;
    }
    return step;
}

// ---- the Program ------------------------------------------------------------------------

Buffer *programCreate() {
    Buffer *b = BufferCreate(nullptr, kCreateUndo | kCreateDetached);
    if (!b)
        return nullptr;
    b->lineBreakMode = kBreakLineFeed;
    // The end marker goes in outside any undo frame: Undo can never remove it.
    Buffer *undo = b->undoBuffer;
    b->undoBuffer = nullptr;
    std::string marker = std::string(kEndMarker) + "\n";
    int r = BufferInsert(1, 1, marker.c_str(), static_cast<int32_t>(marker.size()), b);
    b->undoBuffer = undo;
    if (r) {
        BufferFree(b);
        return nullptr;
    }
    BufferGoto(1, 1, b);
    return b;
}

Buffer *programLoad(const char *path, int readOnly) {
    Buffer *b = BufferCreate(path, readOnly ? kCreateReadOnly | kCreateNoCopy : kCreateUndo);
    if (!b)
        return nullptr;
    b->lineBreakMode = kBreakLineFeed;
    if (ReadBuffer(b) > 0 || (b->flags & kBufNewFile)) {
        BufferFree(b);
        return nullptr;
    }
    BufferGoto(1, 1, b);
    return b;
}

int programInsertStep(const char *text, int withUndo, Buffer *program) {
    while (*text == ' ' || *text == '\t')
        text++;
    std::string step(text, strnlen(text, kStepMaxLength));
    step += '\n';
    const int32_t line = CurrentLineNumber(program);
    Buffer *undo = program->undoBuffer;
    if (withUndo == kStepOwnFrame && undo)
        StartUndoFrame(program);
    else if (withUndo == kStepNoUndo)
        program->undoBuffer = nullptr;
    int r = BufferInsert(line, 1, step.c_str(), static_cast<int32_t>(step.size()), program);
    program->undoBuffer = undo;
    // The step went in above: the line that was current is one further down.
    BufferGoto(line + (r == 0 ? 1 : 0), 1, program);
    return r;
}

// ---- messages and stopping ----------------------------------------------------------------

int programMessage(const char *text, int severity, Calculator *calc) {
    static const char *const kPrefix[] = {"Warning: ", "Error: ", "Fatal Error: "};
    if (severity < 0 || severity > 2)
        return 0;
    char composed[257];
    snprintf(composed, sizeof composed, "%s%s", kPrefix[severity], text);
    if (severity == 2)
        calc->plotState = -1;
    if (calc->hooks.programReport)
        calc->hooks.programReport(composed, calc);
    if (severity < 2)
        return 0;
    stopProgram(calc);
    return -1;
}

void stopProgram(Calculator *calc) {
    if (calc->hooks.programIdle)
        calc->hooks.programIdle(0, calc);
    runRefresh(calc);
    // Let the refresh throttle pass the next paint: lines appended since the last paint show.
    calc->paintCounter = kPaintLetThrough;
    if (calc->hooks.plotPaint)
        calc->hooks.plotPaint(0, calc);
    calc->restartPending = 1;
    calc->recorderMode = 0;
    if (calc->hooks.programStopped)
        calc->hooks.programStopped(calc);
}

int prepareRun(Calculator *calc) {
    if (!calc->program)
        return 2;
    calc->plotState = 0;
    if (calc->hooks.programReport)
        calc->hooks.programReport(" ", calc);
    resetPointMemory(calc);
    return 0;
}

// Moves the position and the listing's mark to (line, 1).
static void programMoveTo(int32_t line, Calculator *calc) {
    BufferGoto(line, 1, calc->program);
    calc->program->markLine = CurrentLineNumber(calc->program);
    if (calc->hooks.programMarked && !calc->runQuiet)
        calc->hooks.programMarked(calc);
}

void startNormalRun(Calculator *calc) {
    programMoveTo(1, calc);
    if (calc->hooks.programIdle)
        calc->hooks.programIdle(1, calc);
}

// ---- reading a step -----------------------------------------------------------------------

// The current line's text, NUL-terminated, with its line feed; false without a line.
static bool currentStep(Buffer *program, std::string *text) {
    const char *bytes = LockLine(program);
    if (!bytes)
        return false;
    text->assign(bytes, static_cast<size_t>(CurrentLineLength(program)));
    return true;
}

// A byte of the step; past its end, NUL.
static int at(const std::string &s, size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

// Blanks are the bytes 0x00 to 0x20; skipping them stops at the end of the line.
static bool blank(int c) { return c <= 0x20; }

static size_t skipBlanks(const std::string &s, size_t i) {
    while (i < s.size() && blank(at(s, i)))
        i++;
    return i;
}

// Whether the step holds `text` at position i. A step may end anywhere (a file's last line has
// no line feed), so a position past its end simply does not match: std::string::compare would
// throw there, and nothing may throw out of the interpreter.
static bool textAt(const std::string &s, size_t i, const char *text) {
    const size_t n = strlen(text);
    return i <= s.size() && s.size() - i >= n && s.compare(i, n, text) == 0;
}

// Up to n bytes of the step from position i; empty past its end.
static std::string stepPart(const std::string &s, size_t i, size_t n) {
    return i < s.size() ? s.substr(i, n) : std::string();
}

// ---- jumps --------------------------------------------------------------------------------
//
// A jump finds its label through an index of the program's labels, so it costs about the same
// whatever the program's length, instead of reading every line from the top. The index holds
// for one text of one Program and is rebuilt when either changes (every edit gives the text a
// new version, unique across buffers). It keeps the scan's meaning: the first label from the top
// whose name is a prefix of the target wins, names compared as C strings (a name holding a NUL
// byte matches only a target that ends where the NUL stands).

struct LabelIndex {
    const Buffer *program = nullptr;                // the Program the index was built for
    uint64_t version = 0;                           // and the version of its text
    std::unordered_map<std::string, int32_t> names; // a name: the first line labelled with it
    std::unordered_map<std::string, int32_t> cut;   // a name cut at a NUL: its first line
    std::vector<size_t> lengths;                    // the lengths in `names`, ascending
};

static LabelIndex gLabels;

static void buildLabelIndex(Buffer *program, LabelIndex *index) {
    index->program = program;
    index->version = program->textVersion;
    index->names.clear();
    index->cut.clear();
    index->lengths.clear();
    BufferGoto(1, 1, program);
    for (int32_t n = CurrentLineNumber(program);; n = CurrentLineNumber(program)) {
        std::string line;
        if (currentStep(program, &line) && at(line, 0) == ':') {
            // The name runs from after the colon to the line feed or the end of the line.
            size_t end = line.find('\n');
            std::string name =
                stepPart(line, 1, (end == std::string::npos ? line.size() : end) - 1);
            size_t nul = name.find('\0');
            if (nul != std::string::npos)
                index->cut.emplace(name.substr(0, nul), n); // emplace keeps the first line
            else if (index->names.emplace(name, n).second)
                index->lengths.push_back(name.size());
        }
        BufferGoto(n + 1, 1, program);
        if (CurrentLineNumber(program) <= n)
            break;
    }
    std::sort(index->lengths.begin(), index->lengths.end());
    index->lengths.erase(std::unique(index->lengths.begin(), index->lengths.end()),
                         index->lengths.end());
}

// The line of the first label the target names, 0 for none.
static int32_t labelLine(const char *target, const LabelIndex &index) {
    const size_t length = strlen(target);
    int32_t best = 0;
    auto consider = [&best](const std::unordered_map<std::string, int32_t> &map,
                            const std::string &key) {
        auto it = map.find(key);
        if (it != map.end() && (best == 0 || it->second < best))
            best = it->second;
    };
    for (size_t n : index.lengths) {
        if (n > length)
            break;
        consider(index.names, std::string(target, n));
    }
    consider(index.cut, target);
    return best;
}

// jumpToLabel, telling whether the label was found.
static bool findLabel(const char *target, Calculator *calc) {
    Buffer *program = calc->program;
    if (gLabels.program != program || gLabels.version != program->textVersion)
        buildLabelIndex(program, &gLabels);
    const int32_t line = labelLine(target, gLabels);
    programMoveTo(line > 0 ? line : INT32_MAX, calc); // an undefined label: the last line
    if (line > 0)
        return true;
    programMessage("Undefined label", 2, calc);
    return false;
}

void jumpToLabel(const char *target, Calculator *calc) { findLabel(target, calc); }

// What a step did.
enum StepResult {
    STEP_DONE,   // executed; the position advances
    STEP_SYNTAX, // not recognised or malformed
    STEP_END,    // the end marker
    STEP_JUMPED, // a jump found its label: the position is set
};

static StepResult stepGoto(const std::string &s, Calculator *calc) {
    // The target: after "goto", up to the first blank, then past the blanks.
    std::string rest = stepPart(s, 4, 256);
    size_t i = 0;
    while (i < rest.size() && rest[i] != ' ')
        i++;
    while (i < rest.size() && rest[i] == ' ')
        i++;
    // An undefined label ends the step as any other: the fatal message stopped the run.
    return findLabel(rest.c_str() + i, calc) ? STEP_JUMPED : STEP_DONE;
}

// X below zero. A stored integer keeps its sign in the complement, not in `negative`.
static bool xNegative(const Number *x) {
    if (x->format == kNumInteger)
        return x->digits[0] >= numHalf(x->radix);
    return x->negative != 0;
}

static StepResult stepIf(const std::string &s, Calculator *calc) {
    size_t i = skipBlanks(s, 2);
    calcEquals(calc);
    const Number *x = calc->operands;
    if (!x) {
        programMessage("No result for if", 2, calc);
        return STEP_DONE;
    }
    const bool negative = xNegative(x), zero = numIsZero(x) != 0;
    const int relation = at(s, i), next = at(s, i + 1);
    bool taken = (relation == '<' && (negative || (next == '=' && zero))) ||
                 (relation == '>' && (!negative || (next == '=' && zero)));
    if (!taken)
        return STEP_DONE;
    while (i < s.size() && !blank(at(s, i)))
        i++;
    i = skipBlanks(s, i);
    bool ok = at(s, i) == '0';
    i = skipBlanks(s, i + 1);
    ok = ok && textAt(s, i, "goto");
    if (!ok)
        return STEP_SYNTAX;
    i = skipBlanks(s, i + 4);
    return findLabel(s.c_str() + i, calc) ? STEP_JUMPED : STEP_DONE;
}

// ---- plot steps ---------------------------------------------------------------------------

// The value in X as a double, through a copy (the bridge may change its argument).
static bool xValue(double *value, Calculator *calc) {
    const Number *x = calc->operands;
    if (!x)
        return false;
    Number *copy = numCreateTemp(x->length, x->radix, x->format, &calc->temporaries);
    bool ok = copy && numCopy(x, copy) == 0 && floatValue(copy, value, calc) == 0;
    numFreeTemps(&calc->temporaries);
    return ok;
}

static StepResult stepPlot(const std::string &s, Calculator *calc) {
    if (!textAt(s, 1, "lot"))
        return STEP_DONE; // any other word beginning with 'p' does nothing
    // In the graph view plot X and plot Y are in the realm's units, as the curve's points.
    const bool graph = calc->plotView == 1;
    if (textAt(s, 5, "Color")) {
        size_t i = 10;
        while (at(s, i) == ' ' || at(s, i) == '\t')
            i++;
        if (graph)
            graphAppendColor(atoi(s.c_str() + i), calc);
        else
            appendColor(atoi(s.c_str() + i), calc);
    } else if (textAt(s, 5, "Move") || textAt(s, 5, "Line")) {
        const bool line = textAt(s, 5, "Line");
        if (graph)
            graphAppend(line, calc->plotX, calc->plotY, 0.0, calc);
        else if (line)
            appendLine(calc->plotX, calc->plotY, calc);
        else
            appendMove(calc->plotX, calc->plotY, calc);
    } else if (at(s, 5) == 'X' || at(s, 5) == 'Y') {
        double &coordinate = at(s, 5) == 'X' ? calc->plotX : calc->plotY;
        coordinate = 0.0;
        double v;
        if (xValue(&v, calc))
            coordinate = v;
        else
            programMessage(at(s, 5) == 'X' ? "can't set plot X" : "can't set plot Y", 1, calc);
    } else {
        return STEP_SYNTAX;
    }
    return STEP_DONE;
}

// ---- registers ----------------------------------------------------------------------------

// The register number named at position i (blanks skipped): the index plus one, or 0 (no
// register) when no name follows.
static int registerNumber(const std::string &s, size_t i, const Calculator *calc) {
    i = skipBlanks(s, i);
    return registerIndex(s.c_str() + (i < s.size() ? i : s.size()), calc->registerCount) + 1;
}

// ---- the step language --------------------------------------------------------------------

static StepResult executeStep(const std::string &s, Calculator *calc) {
    const int c = at(s, 0), p1 = at(s, 1), p2 = at(s, 2);
    switch (c) {
    case '.':
    case '0':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
    case 'A':
    case 'B':
    case 'C':
    case 'D':
    case 'E':
        calcDigit(c, calc);
        return STEP_DONE;
    case '1':
        if (p1 == '/')
            calcUnaryOp('r', calc);
        else if (blank(p1))
            calcDigit('1', calc);
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case 'F':
        if (p1 == 'r')
            calcUnaryOp('i', calc);
        else if (blank(p1))
            calcDigit('F', calc);
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case '&':
    case '-':
    case '/':
    case 'M':
    case 'X':
    case '^':
    case '|':
        if (!blank(p1))
            return STEP_SYNTAX;
        calcBinaryOp(c, calc);
        return STEP_DONE;
    case '+':
        if (blank(p1))
            calcBinaryOp('+', calc);
        else if (p1 == '/')
            calcSignChange(calc); // what the "+/-" key did: the sign of an entry being typed
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case '!':
    case 'I':
    case 't':
    case '~':
        calcUnaryOp(c, calc);
        return STEP_DONE;
    case 'x':
        if (blank(p1))
            return STEP_SYNTAX;
        if (p2 == '2')
            calcUnaryOp('q', calc);
        else if (p2 == 'y')
            calcBinaryOp('p', calc);
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case 'e':
        if (p1 == 'x')
            calcEnterExponent(calc);
        else if (p2 == 'x')
            calcUnaryOp('e', calc);
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case 'c':
        if (!textAt(s, 1, "os"))
            return STEP_SYNTAX;
        calcUnaryOp('o', calc);
        return STEP_DONE;
    case 's':
        if (p1 == 'i')
            calcUnaryOp('s', calc);
        else if (textAt(s, 1, "tore"))
            calcStore(registerNumber(s, 5, calc), calc);
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case 'l':
        if (p1 == 'n')
            calcUnaryOp('l', calc);
        else if (p1 == 'o')
            calcUnaryOp('g', calc);
        else
            return STEP_SYNTAX;
        return STEP_DONE;
    case 'r':
        if (!textAt(s, 1, "eca"))
            return STEP_SYNTAX;
        calcRecall(registerNumber(s, 6, calc), calc);
        return STEP_DONE;
    case '(':
        calcOpenParen(calc);
        return STEP_DONE;
    case ')':
        calcCloseParen(calc);
        return STEP_DONE;
    case '=':
        calcEquals(calc);
        return STEP_DONE;
    case '*':
        calcClear(at(s, 7) == 'A', calc);
        return STEP_DONE;
    case ':':
        return STEP_DONE;
    case '_':
        return STEP_END;
    case 'g':
        return textAt(s, 1, "oto") ? stepGoto(s, calc) : STEP_SYNTAX;
    case 'i':
        return p1 == 'f' ? stepIf(s, calc) : STEP_SYNTAX;
    case 'p':
        return stepPlot(s, calc);
    default:
        return STEP_SYNTAX;
    }
}

int runStep(Calculator *calc) {
    if (!calc || !calc->program) {
        numAssertReport(kSourceName, __LINE__);
        return 0;
    }
    Buffer *program = calc->program;
    std::string step;
    if (!currentStep(program, &step) || at(step, 0) == '\n' || at(step, 0) == 0) {
        stopProgram(calc);
        return 0;
    }
    switch (executeStep(step, calc)) {
    case STEP_END:
        if (calc->programMode == 0)
            stopProgram(calc);
        return 0;
    case STEP_JUMPED:
        return 1;
    case STEP_SYNTAX:
        programMessage("syntax error", 2, calc);
        break;
    case STEP_DONE:
        break;
    }
    if (calcIsError(calc)) {
        if (calc->plotEvaluating) { // a graph's point without a value: a gap, not the end
            calc->plotPointFailed = 1;
            return 0;
        }
        programMessage("Math Error", 2, calc);
        stopProgram(calc);
        return 0;
    }
    const int32_t n = CurrentLineNumber(program);
    programMoveTo(n + 1, calc);
    std::string next;
    if (CurrentLineNumber(program) != n && currentStep(program, &next) && at(next, 0) != '\n' &&
        at(next, 0) != '_' && at(next, 0) != 0)
        return 1;
    if (calc->programMode == 0)
        stopProgram(calc);
    return 0;
}

// ---- slices of a run ------------------------------------------------------------------------

void runRefresh(Calculator *calc) {
    displayFlush(calc);
    if (calc->program && calc->hooks.programMarked)
        calc->hooks.programMarked(calc);
}

// Steps between two looks at the clock: a step takes well under a microsecond, a plot point
// a whole program run.
constexpr long kStepsPerLook = 32;

long runSlice(int64_t deadline, int64_t (*clock)(void), Calculator *calc) {
    const int mode = calc->programMode;
    const long perLook = mode == 0 ? kStepsPerLook : 1;
    calc->runQuiet = 1;
    displayDefer(1);
    long units = 0;
    while (calc->recorderMode < 0 && calc->program) {
        if (mode == 1)
            plotStep2D(calc);
        else if (mode == 2)
            plotStep3D(calc);
        else if (!runStep(calc))
            break;
        // A plot task that has nowhere to go (a fatal message left plotState at -1) is done.
        if (mode != 0 && (calc->plotState < 0 || calc->plotState > 6))
            break;
        if (++units % perLook == 0 && clock() >= deadline)
            break;
    }
    displayDefer(0);
    calc->runQuiet = 0;
    if (calc->recorderMode >= 0)
        runRefresh(calc);
    return units;
}

void stopRun(Calculator *calc) {
    if (calc->hooks.programIdle)
        calc->hooks.programIdle(0, calc);
    calc->recorderMode = 0;
    runRefresh(calc);
    // The paced paints may have held back the last lines: one paint that shows them.
    calc->paintCounter = kPaintLetThrough;
    if (calc->hooks.plotPaint)
        calc->hooks.plotPaint(0, calc);
}

long programRun(int untilStopped, Calculator *calc) {
    long steps = 0;
    for (;;) {
        if (steps >= calc->stepLimit) {
            programMessage("step limit reached", 2, calc);
            return steps;
        }
        steps++;
        if (!runStep(calc) || (untilStopped && calc->recorderMode >= 0))
            return steps;
    }
}
