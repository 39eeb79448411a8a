// The calculator engine: keys become entries, pending operations and evaluations with
// operator precedence and parentheses. Binary operators wait on the operation stack until an
// operator that binds no tighter, a closing parenthesis or Equals forces them; unary operations
// act on X at once. Every value is computed by the number engine; every failure ends in the
// error state, which only clear-all leaves.
#include "calc.h"

#include "display.h"
#include "keys.h"
#include "number.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char kSourceName[] = "calclib\\src\\calc";

// ---- operation codes ---------------------------------------------------------------------

int opPrecedence(int code) {
    switch (code) {
    case 'X':
    case '/':
    case 'M':
        return 5;
    case '&':
    case '|':
    case '^':
    case 'L':
    case 'R':
        return 4;
    case '+':
    case '-':
        return 3;
    default:
        return 0;
    }
}

int opIsUnary(int code) { return code != 0 && strchr("!<>IOSTegilnoqrstv~", code) != nullptr; }

const char *opTapeName(int code) {
    switch (code) {
    case 'M':
        return "Mod";
    case 'L':
        return "<<";
    case 'R':
        return ">>";
    case 'p':
        return "x^y";
    case '<':
        return "<<=1";
    case '>':
        return ">>=1";
    case 'I':
        return "Trunc";
    case 'i':
        return "Frac";
    case 'r':
        return "1/X";
    case 'q':
        return "x^2";
    case 'v':
        return "+/-";
    case 's':
        return "sin";
    case 'o':
        return "cos";
    case 't':
        return "tan";
    case 'S':
        return "asin";
    case 'O':
        return "acos";
    case 'T':
        return "atan";
    case 'l':
        return "ln";
    case 'g':
        return "log";
    case 'e':
        return "e^x";
    case 'n':
        return "10^x";
    case 'x':
        return "exp";
    case 'h':
        return "*Clear*";
    case 'H':
        return "*Clear All*";
    }
    // Any other code is named by its own character.
    static char names[256][2];
    unsigned char c = static_cast<unsigned char>(code);
    names[c][0] = static_cast<char>(c);
    return names[c];
}

// ---- listeners ---------------------------------------------------------------------------

// ---- the number engine's listeners ---------------------------------------------------------

int calcTapeWrite(const char *text, Calculator *calc) {
    if (!calc || !calc->hooks.tapeWrite)
        return 1;
    // A plot runs the program thousands of times: its steps would bury the tape.
    if (calc->recorderMode < 0 && calc->programMode != 0)
        return 1;
    return calc->hooks.tapeWrite(text, calc);
}

// The number engine only knows its context; the calculator is the record around it.
static void numIndicatorsChanged(NumContext *ctx) {
    Calculator *calc = static_cast<Calculator *>(ctx);
    if (calc->hooks.indicatorsChanged)
        calc->hooks.indicatorsChanged(calc);
}

static int numTapeWrite(const char *text, NumContext *ctx) {
    return calcTapeWrite(text, static_cast<Calculator *>(ctx));
}

static const NumHooks kCalcNumHooks = {numIndicatorsChanged, numTapeWrite};

Calculator::Calculator() { numHooks = &kCalcNumHooks; }

Calculator::~Calculator() { calcUndoForget(this); }

// One key: the state before it is kept for undo when the key changes anything.
struct UndoScope {
    Calculator *calc;
    explicit UndoScope(Calculator *c) : calc(c) { calcUndoBegin(c); }
    ~UndoScope() { calcUndoEnd(calc); }
    UndoScope(const UndoScope &) = delete;
    UndoScope &operator=(const UndoScope &) = delete;
};

static bool recording(const Calculator *calc) { return calc->recorderMode > 0; }

static void recordStep(int code, Calculator *calc) {
    if (recording(calc) && calc->hooks.recordStep)
        calc->hooks.recordStep(code, calc);
}

static void recordText(const char *text, Calculator *calc) {
    if (recording(calc) && calc->hooks.recordText)
        calc->hooks.recordText(text, calc);
}

void calcTapeField(const char *field, Calculator *calc) {
    if (calcTapeWrite(field, calc) == 0)
        calc->tapeOpen = 1;
}

void calcTapeOperation(int code, Calculator *calc) {
    std::string field = opTapeName(code); // names of ten characters or more are written whole
    if (field.size() < kTapeFieldWidth)
        field.append(kTapeFieldWidth - field.size(), ' ');
    calcTapeField(field.c_str(), calc);
}

// A fixed tape text that ends its line.
static void tapeLine(const char *text, Calculator *calc) {
    if (calcTapeWrite(text, calc) == 0)
        calc->tapeOpen = 0;
}

// ---- stacks ------------------------------------------------------------------------------

static void pushOperand(Number *n, Calculator *calc) {
    n->next = calc->operands;
    calc->operands = n;
}

static Number *popOperand(Calculator *calc) {
    Number *n = calc->operands;
    if (n) {
        calc->operands = n->next;
        n->next = nullptr;
    }
    return n;
}

static int operandCount(const Calculator *calc) {
    int count = 0;
    for (const Number *n = calc->operands; n; n = n->next)
        count++;
    return count;
}

// 0, or 1 when no entry can be made.
static int pushOperation(int code, Calculator *calc) {
    OpEntry *e = static_cast<OpEntry *>(numAllocate(sizeof(OpEntry)));
    if (!e)
        return 1;
    e->code = code;
    e->next = calc->operations;
    calc->operations = e;
    return 0;
}

static void popOperation(Calculator *calc) {
    OpEntry *e = calc->operations;
    if (e) {
        calc->operations = e->next;
        numRelease(e);
    }
}

static void emptyStacks(Calculator *calc) {
    numFreeChain(calc->operands);
    calc->operands = nullptr;
    while (calc->operations)
        popOperation(calc);
}

void calcPushOperand(Number *n, Calculator *calc) { pushOperand(n, calc); }

void calcEmptyStacks(Calculator *calc) {
    emptyStacks(calc);
    numFreeTemps(&calc->temporaries);
}

void calcRelease(Calculator *calc) {
    calcUndoForget(calc);
    calcEmptyStacks(calc);
    calcAllocRegisters(0, calc);
}

// ---- evaluation --------------------------------------------------------------------------

// The function keys, in the mode the user chose.
static int function(int code, Number *x, Number *y, Number *result, Calculator *calc) {
    return calc->exactFunctions ? exactEntry(code, x, y, result, calc)
                                : floatEntry(code, x, y, result, calc);
}

// Computes one operation with the number engine: Y and X for binary codes (Y the earlier
// operand), X alone for unary ones.
static int compute(int code, Number *y, Number *x, Number *result, Calculator *calc) {
    switch (code) {
    case '+':
        return numAdd(y, x, result, calc);
    case '-':
        return numSub(y, x, result, calc);
    case 'X':
        return numMul(y, x, result, calc);
    case '/':
        return numDiv(y, x, result, calc);
    case 'M':
        return numMod(y, x, result, calc);
    case '&':
        return logicop(y, x, result, '&', "And", calc);
    case '|':
        return logicop(y, x, result, '|', "Or", calc);
    case '^':
        return logicop(y, x, result, '^', "XOr", calc);
    case 'L':
        return shiftLeft(y, x, result, calc);
    case 'R':
        return shiftRight(y, x, result, calc);
    case 'p':
        return function('p', x, y, result, calc);
    case '~':
        return logicop(x, nullptr, result, '~', "Complement", calc);
    case '<':
        return shiftLeftOne(x, result, calc);
    case '>':
        return shiftRightOne(x, result, calc);
    case 'I':
        return numTrunc(x, result, calc);
    case 'i':
        return numFrac(x, result, calc);
    case 'r':
        return reciproc(x, result, calc);
    case 'q':
        return numSquare(x, result, calc);
    case '!':
        return factorial(x, result, calc);
    case 'v':
        return numNegate(x, result, calc);
    default:
        return function(code, x, nullptr, result, calc);
    }
}

int calcEvaluate(int count, Calculator *calc) {
    for (;;) {
        OpEntry *top = calc->operations;
        if (!top)
            return 0;
        if (top->code == '(') {
            if (count > 0)
                return 0;
            popOperation(calc);
            if (count == 0)
                return 0;
            continue;
        }
        const int code = top->code;
        const bool unary = opIsUnary(code);
        if (operandCount(calc) < (unary ? 1 : 2))
            return 0; // the operation stays pending
        Number *x = popOperand(calc);
        Number *y = unary ? nullptr : popOperand(calc);
        popOperation(calc);
        Number *result = numCreate(calc->digits, calc->radix, calc->format);
        int r = result ? compute(code, y, x, result, calc) : 1;
        numFreeTemps(&calc->temporaries);
        numFree(y);
        numFree(x);
        if (r) {
            numFree(result);
            return r;
        }
        pushOperand(result, calc);
        if (count == 1)
            return 0;
    }
}

void calcError(Calculator *calc) {
    calc->state = CALC_ERROR;
    displayEmptyEntry(calc);
    emptyStacks(calc);
    numFreeTemps(&calc->temporaries);
    displayRequest(CALC_ERROR, calc);
    // The error text ends its line: the next number line starts with its indent again.
    tapeLine("\n --- ERROR --- \n", calc);
}

int calcIsError(Calculator *calc) { return calc->state == CALC_ERROR; }

// Shows a value the engine just made X.
static void showState(int state, Calculator *calc) {
    calc->state = state;
    displayRequest(state, calc);
}

// Parses a typed entry into X (states 1 and 2). false after entering the error state.
static bool takeEntry(Calculator *calc) {
    if (calc->state != ENTRY_MANTISSA && calc->state != ENTRY_EXPONENT)
        return true;
    if (displayParseEntry(calc)) {
        calcError(calc);
        return false;
    }
    showState(OPERAND_ENTERED, calc);
    return true;
}

// Evaluates and shows the result; false after entering the error state.
static bool evaluateAndShow(int count, Calculator *calc) {
    if (calcEvaluate(count, calc)) {
        calcError(calc);
        return false;
    }
    showState(RESULT_SHOWN, calc);
    return true;
}

void calcBinaryOp(int code, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == OPERATOR_PENDING || calc->state == CALC_ERROR)
        return;
    if (!takeEntry(calc))
        return;
    while (calc->operations && calc->operations->code != '(' &&
           opPrecedence(calc->operations->code) >= opPrecedence(code)) {
        const OpEntry *before = calc->operations;
        if (!evaluateAndShow(1, calc))
            return;
        if (calc->operations == before)
            break; // an operation still short of operands stays pending
    }
    if (pushOperation(code, calc)) {
        calcError(calc);
        return;
    }
    calcTapeOperation(code, calc);
    recordStep(code, calc);
    calc->state = OPERATOR_PENDING;
}

void calcUnaryOp(int code, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == OPERATOR_PENDING || calc->state == CALC_ERROR)
        return;
    if (!takeEntry(calc))
        return;
    if (pushOperation(code, calc)) {
        calcError(calc);
        return;
    }
    calcTapeOperation(code, calc);
    recordStep(code, calc);
    evaluateAndShow(1, calc);
}

void calcDigit(int character, Calculator *calc) {
    const UndoScope key(calc);
    switch (calc->state) {
    case ENTRY_MANTISSA:
    case ENTRY_EXPONENT:
        break;
    case OPERATOR_PENDING:
        displayEmptyEntry(calc);
        calc->state = ENTRY_MANTISSA;
        break;
    case OPERAND_ENTERED:
    case RESULT_SHOWN:
        emptyStacks(calc);
        displayEmptyEntry(calc);
        calc->state = ENTRY_MANTISSA;
        break;
    default:
        return;
    }
    if (displayAppend(character, calc->state == ENTRY_EXPONENT ? 2 : 1, calc) == 0)
        recordStep(character, calc);
}

void calcSignChange(Calculator *calc) {
    const UndoScope key(calc);
    switch (calc->state) {
    case ENTRY_MANTISSA:
    case ENTRY_EXPONENT:
        displayToggleSign(calc->state == ENTRY_EXPONENT ? 2 : 1, calc);
        recordStep('v', calc);
        break;
    case OPERAND_ENTERED:
    case RESULT_SHOWN:
        calcUnaryOp('v', calc);
        break;
    default:
        break;
    }
}

void calcEnterExponent(Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state != ENTRY_MANTISSA && calc->state != OPERATOR_PENDING)
        return;
    calc->state = ENTRY_EXPONENT;
    displayRequest(ENTRY_EXPONENT, calc);
    recordStep('x', calc);
}

void calcDeleteDigit(Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state != ENTRY_MANTISSA && calc->state != ENTRY_EXPONENT)
        return;
    const int field = calc->state == ENTRY_EXPONENT ? 2 : 1;
    if (recording(calc) && displayEntryLength(field) > 0 && calc->hooks.undoStep)
        calc->hooks.undoStep(calc);
    displayDelete(field, calc);
}

void calcEquals(Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == OPERATOR_PENDING || calc->state == CALC_ERROR)
        return;
    if (!takeEntry(calc))
        return;
    recordStep('=', calc);
    calcTapeOperation('=', calc);
    evaluateAndShow(-1, calc);
}

void calcOpenParen(Calculator *calc) {
    const UndoScope key(calc);
    // Only a number being typed refuses it ("5(" keeps the 5): at the start and after a clear
    // the empty entry is no number yet, and the parenthesis opens as after an operator.
    const bool typing = calc->state == ENTRY_EXPONENT ||
                        (calc->state == ENTRY_MANTISSA && displayEntryLength(1) > 0);
    if (typing || calc->state == CALC_ERROR)
        return;
    if (pushOperation('(', calc)) {
        calcError(calc);
        return;
    }
    tapeLine("\n(\n", calc);
    recordStep('(', calc);
    calc->parenDepth++;
    displayRequest(calc->state, calc);
}

void calcCloseParen(Calculator *calc) {
    const UndoScope key(calc);
    if (calc->parenDepth == 0 || calc->state == OPERATOR_PENDING || calc->state == CALC_ERROR)
        return;
    if (!takeEntry(calc))
        return;
    recordStep(')', calc);
    tapeLine(")\n", calc);
    if (calcEvaluate(0, calc)) {
        calcError(calc);
        return;
    }
    calc->parenDepth--;
    showState(RESULT_SHOWN, calc);
}

void calcClear(int all, Calculator *calc) {
    const UndoScope key(calc);
    if (!all) {
        // In the error state only clear-all helps; elsewhere the stacks stay, and an exponent
        // being typed is dropped with the mantissa so the next digits start a new number.
        if (calc->state == CALC_ERROR)
            return;
        recordStep('h', calc);
        calcTapeWrite("  --- clear entry ---\n", calc);
        if (calc->state == ENTRY_EXPONENT)
            calc->state = ENTRY_MANTISSA;
        displayEmptyEntry(calc);
        return;
    }
    recordStep('H', calc);
    tapeLine("  --- clear all ---\n", calc);
    calc->parenDepth = 0;
    emptyStacks(calc);
    numFreeTemps(&calc->temporaries);
    calc->state = ENTRY_MANTISSA;
    displayEmptyEntry(calc);
}

void calcDuplicate(Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == CALC_ERROR || !takeEntry(calc))
        return;
    Number *x = calc->operands;
    if (!x)
        return;
    Number *copy = numCreate(x->length, x->radix, x->format);
    if (!copy || numCopy(x, copy)) {
        numFree(copy);
        calcError(calc);
        return;
    }
    pushOperand(copy, calc);
    if (calc->hooks.tapeWrite) {
        if (calc->tapeOpen)
            calcTapeWrite("\n", calc);
        calcTapeField("duplicate ", calc);
    }
    recordStep('D', calc);
    showState(OPERAND_ENTERED, calc);
}

static const char kPiText[] = "3.14159265358979323846264338327950";

// X becomes a constant: from its text, or pi when text is null.
static void enterConstant(const char *text, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == CALC_ERROR)
        return;
    if (calc->state == OPERAND_ENTERED || calc->state == RESULT_SHOWN)
        emptyStacks(calc);
    calc->state = ENTRY_MANTISSA;
    displayEmptyEntry(calc);
    Number *value = nullptr;
    if (calc->format == kNumFloating && !calc->exactFunctions)
        value = floatConst(text ? text : kPiText, calc->digits, calc->radix, calc);
    else if (calc->format == kNumFloating)
        value = text ? exactConst(text, calc->digits, calc->radix, calc)
                     : exactPi(calc->digits, calc->radix, calc);
    // X becomes exactly the converted value, every digit and the whole exponent: typing it
    // into the fields would lose the last digit to the point and cut a long exponent.
    Number *x = value ? numCreate(calc->digits, calc->radix, kNumFloating) : nullptr;
    if (!x || numCopy(value, x)) {
        numFree(x);
        calcError(calc);
        return;
    }
    numFreeTemps(&calc->temporaries);
    calcEnterValue(x, calc);
}

void calcEnterValue(Number *x, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == OPERAND_ENTERED || calc->state == RESULT_SHOWN)
        calcEmptyStacks(calc);
    displayEmptyEntry(calc);
    pushOperand(x, calc);
    if (recording(calc) && calc->hooks.recordConstant)
        calc->hooks.recordConstant(calc);
    showState(OPERAND_ENTERED, calc);
}

void calcEnterConstant(const char *text, Calculator *calc) { enterConstant(text, calc); }

void calcEnterPi(Calculator *calc) { enterConstant(nullptr, calc); }

void calcSetFormat(int format, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == CALC_ERROR) {
        calc->format = format;
        return;
    }
    if (!takeEntry(calc) || format == calc->format)
        return;
    calc->format = format;
    for (Number *n = calc->operands; n; n = n->next) {
        Number *t = numCreate(calc->digits, calc->radix, format);
        int r = !t || numConvertFormat(n, t) || numCopy(t, n);
        numFree(t);
        if (r) {
            calcError(calc);
            return;
        }
    }
    calcTapeField(format == kNumInteger ? "->Integer " : "->Float   ", calc);
    displayRequest(calc->state, calc);
    recordText(format == kNumInteger ? "format to Integer" : "format to Float", calc);
}

// The radix switch's format change goes through the panel, which also updates its keys and
// the setting; without a panel the engine switches itself.
static void requestFormat(int format, Calculator *calc) {
    if (calc->hooks.formatChanged)
        calc->hooks.formatChanged(format, calc);
    else
        calcSetFormat(format, calc);
}

void calcSetRadix(int radix, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == CALC_ERROR) {
        calc->radix = radix;
        return;
    }
    if (!takeEntry(calc) || radix == calc->radix)
        return;
    // Coming to radix 10 in the integer format selects the floating format: switch first, in
    // the old radix, so the stack never passes through the narrower decimal integer range.
    if (calc->autoFormat && radix == 10 && calc->format == kNumInteger) {
        requestFormat(kNumFloating, calc);
        if (calc->state == CALC_ERROR)
            return;
    }
    const int oldRadix = calc->radix;
    calc->radix = radix;
    for (Number *n = calc->operands; n; n = n->next) {
        Number *t = numCreate(calc->digits, radix, n->format);
        int r = !t || radixConv(n, t, calc) || numCopy(t, n);
        numFree(t);
        numFreeTemps(&calc->temporaries);
        if (r) {
            calcError(calc);
            return;
        }
    }
    if (calc->autoFormat && oldRadix == 10 && calc->format == kNumFloating) {
        bool wide = false; // a value that no integer of this length can hold
        for (const Number *n = calc->operands; n; n = n->next)
            wide = wide || abs(n->exponent) >= n->length;
        if (!wide) {
            requestFormat(kNumInteger, calc);
            if (calc->state == CALC_ERROR)
                return;
        }
    }
    char field[32];
    snprintf(field, sizeof field, "radix %2d  ", radix);
    calcTapeField(field, calc);
    displayRequest(calc->state, calc);
    recordText(field, calc);
}

void calcSetPrecision(int digits, int exponentDigits, Calculator *calc) {
    calc->digits = digits < 2 ? 2 : digits;
    calc->exponentDigits = exponentDigits < 0 ? 0 : exponentDigits;
    emptyStacks(calc);
    numFreeTemps(&calc->temporaries);
    displayRebuild(calc);
    calc->state = ENTRY_MANTISSA;
    displayEmptyEntry(calc);
}

// ---- the keyboard ------------------------------------------------------------------------

int calcKeyCharacter(int key) {
    switch (key) {
    case '%':
        return 'M';
    case '*':
        return 'X';
    case keyLeft:
        return '4';
    case keyRight:
        return '6';
    case keyUp:
        return '8';
    case keyDown:
        return '2';
    case keyPageUp:
        return '9';
    case keyPageDown:
        return '3';
    case keyInsert:
        return '0';
    }
    return key >= 'a' && key <= 'f' ? key - 'a' + 'A' : key;
}

int calcKey(int key, Calculator *calc) {
    if (!calc || calc->magic != kCalculatorMagic) {
        numAssertReport(kSourceName, __LINE__);
        return 0;
    }
    const UndoScope scope(calc);
    key = calcKeyCharacter(key);
    switch (key) {
    case 8:
        calcClear(0, calc);
        return 0;
    case 10:
    case 13:
    case '=':
        calcEquals(calc);
        return 0;
    case 27:
        displayRequest(calc->state, calc);
        return 0;
    case '(':
        calcOpenParen(calc);
        return 0;
    case ')':
        calcCloseParen(calc);
        return 0;
    case 'V':
    case 'v':
        calcSignChange(calc);
        return 0;
    case 'x':
        calcEnterExponent(calc);
        return 0;
    case 127:
        calcDeleteDigit(calc);
        return 0;
    }
    if (key <= 0 || key >= 128)
        return 0;
    if (strchr("!<>IOSTgilnoqst~", key)) {
        calcUnaryOp(key, calc);
        return 0;
    }
    if (strchr("&+-/LMRX^|", key)) {
        calcBinaryOp(key, calc);
        return 0;
    }
    const bool digit = (key >= '0' && key <= '9') || (key >= 'A' && key <= 'F') || key == '.';
    if (!digit)
        return 0;
    if ((key >= 'A' && key <= 'F' && calc->radix != 16) ||
        ((key == '8' || key == '9') && calc->radix != 10 && calc->radix != 16) ||
        (key >= '2' && key <= '7' && calc->radix < 8))
        return 1;
    calcDigit(key, calc);
    return 0;
}

// ---- memory registers --------------------------------------------------------------------

void calcAllocRegisters(int count, Calculator *calc) {
    for (int i = 0; i < calc->registerCount; i++)
        numFree(calc->registers[i]);
    numRelease(calc->registers);
    calc->registers = nullptr;
    calc->registerCount = 0;
    count = count < 0 ? 0 : count > kMaxRegisters ? kMaxRegisters : count;
    if (count == 0)
        return;
    calc->registers = static_cast<Number **>(numAllocate(sizeof(Number *) * count));
    if (!calc->registers)
        return;
    for (int i = 0; i < count; i++)
        calc->registers[i] = nullptr;
    calc->registerCount = count;
}

// Letters in a register name: the base-26 digits of the count.
static int registerNameWidth(int count) {
    int width = 1;
    for (int c = count / 26; c > 0; c /= 26)
        width++;
    return width;
}

const char *registerName(int index, int count) {
    static char name[16];
    const int width = registerNameWidth(count);
    char letters[16];
    int n = 0;
    do {
        letters[n++] = static_cast<char>('A' + index % 26);
        index /= 26;
    } while (index > 0 && n < 15);
    int i = 0;
    while (n > 0)
        name[i++] = letters[--n];
    while (i < width)
        name[i++] = ' ';
    name[i] = 0;
    return name;
}

int registerIndex(const char *name, int count) {
    const int width = registerNameWidth(count);
    int value = 0, letters = 0;
    // A name ends at its width, a blank (padding, a line feed) or the end of the text.
    for (; letters<width &&static_cast<unsigned char>(name[letters])> ' '; letters++) {
        if (name[letters] < 'A' || name[letters] > 'Z')
            return -1;
        value = value * 26 + (name[letters] - 'A');
    }
    return letters > 0 ? value : -1;
}

static void recordRegister(const char *verb, int index, Calculator *calc) {
    std::string text = verb;
    text += registerName(index, calc->registerCount);
    recordText(text.c_str(), calc);
}

// `value` brought to the calculator's digit count through the floating format (a longer value
// rounds), in its own radix and format. A register keeps the length of its first store; the
// digit count may have changed since.
static Number *registerAtLength(const Number *value, Calculator *calc) {
    Number **chain = &calc->temporaries;
    Number *own = numCreateTemp(value->length, value->radix, kNumFloating, chain);
    Number *resized = numCreateTemp(calc->digits, value->radix, kNumFloating, chain);
    Number *shaped = numCreateTemp(calc->digits, value->radix, value->format, chain);
    if (!own || !resized || !shaped || numConvertFormat(value, own) || numCopy(own, resized) ||
        numConvertFormat(resized, shaped))
        return nullptr;
    return shaped;
}

void calcStore(int n, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == CALC_ERROR)
        return;
    if (calc->state == ENTRY_MANTISSA || calc->state == ENTRY_EXPONENT) {
        if (displayParseEntry(calc)) {
            calcError(calc);
            return;
        }
        calc->state = OPERAND_ENTERED;
    }
    const int index = n - 1;
    if (index < 0 || index >= calc->registerCount || !calc->operands)
        return;
    calcUndoNoteRegister(index, calc);
    Number *&slot = calc->registers[index];
    if (slot && slot->length != calc->digits) { // made before the digit count changed
        numFree(slot);
        slot = nullptr;
    }
    if (!slot)
        slot = numCreate(calc->digits, calc->radix, calc->format);
    // The conversion consumes its source: convert a copy, X stays as it is.
    Number *copy =
        slot ? numCreateTemp(calc->digits, calc->radix, calc->format, &calc->temporaries) : nullptr;
    int r = !copy || numCopy(calc->operands, copy) || radixConv(copy, slot, calc);
    numFreeTemps(&calc->temporaries);
    if (r) {
        calcError(calc);
        return;
    }
    displayRequest(calc->state, calc);
    recordRegister("store ", index, calc);
}

void calcRecall(int n, Calculator *calc) {
    const UndoScope key(calc);
    if (calc->state == CALC_ERROR)
        return;
    if (calc->state == ENTRY_MANTISSA || calc->state == ENTRY_EXPONENT)
        displayEmptyEntry(calc); // the typed entry is discarded, not parsed
    const int index = n - 1;
    if (index < 0 || index >= calc->registerCount)
        return;
    // After a shown value a recall starts afresh, as a digit does: a program loop that
    // recalls after a result must not grow the stack, nor feed a stale value to a pending
    // operation. After an operator the recalled value is the operand.
    if (calc->state == OPERAND_ENTERED || calc->state == RESULT_SHOWN)
        calcEmptyStacks(calc);
    Number **chain = &calc->temporaries;
    const Number *value = calc->registers[index];
    if (!value && recording(calc)) // recorded programs recall zero from an empty register
        value = numCreateTemp(calc->digits, calc->radix, calc->format, chain);
    Number *result = value ? numCreate(calc->digits, calc->radix, calc->format) : nullptr;
    Number *source = nullptr;
    if (result) {
        source = value->length == calc->digits
                     ? numCreateTemp(value->length, value->radix, value->format, chain)
                     : registerAtLength(value, calc);
        if (source && value->length == calc->digits && numCopy(value, source))
            source = nullptr;
    }
    // The format first, in the register's radix; then the radix, on a copy.
    if (source && source->format != calc->format) {
        Number *formatted = numCreateTemp(source->length, source->radix, calc->format, chain);
        if (!formatted || numConvertFormat(source, formatted))
            source = nullptr;
        else
            source = formatted;
    }
    if (!source || radixConv(source, result, calc)) {
        numFree(result);
        calcError(calc);
        return;
    }
    numFreeTemps(chain);
    pushOperand(result, calc);
    recordRegister("recall ", index, calc);
    showState(RESULT_SHOWN, calc);
}
