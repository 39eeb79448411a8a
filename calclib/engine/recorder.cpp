// The keystroke recorder: keys, texts and constants become step lines of the program being
// recorded, and the steps of the number being typed are remembered so that the delete key can
// take back exactly the steps of the character it removes.
#include "recorder.h"

#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "number.h"
#include "program.h"

#include <cstring>

static void notify(int first, int last, Recorder *rec) {
    if (rec->changed)
        rec->changed(first, last, rec);
}

int recorderInsert(const char *text, int withUndo, Buffer *program, Recorder *rec) {
    if (!program || !text)
        return 1;
    const int mark = program->markLine > 0 ? program->markLine : CurrentLineNumber(program);
    int failed = programInsertStep(text, withUndo, program);
    const int line = CurrentLineNumber(program);
    program->markLine = line;
    program->markEndLine = -1;
    notify(mark < line - 1 ? mark : line - 1,
           program->lineCount - line >= 2 ? kRecorderLastLine : line, rec);
    return failed;
}

void recorderDeleteLine(int line, Buffer *program) {
    BufferGoto(line, 1, program);
    if (CurrentLineNumber(program) != line)
        return;
    StartUndoFrame(program);
    DelRegion(line, 1, line, CurrentLineLength(program), program);
}

void recorderForget(Recorder *rec) { rec->entryCount = 0; }

static void noteEntryStep(int field, int byte, Recorder *rec) {
    if (rec->entryCount < 0)
        return;
    if (rec->entryCount >= kRecorderEntryLimit) {
        rec->entryCount = -1;
        return;
    }
    rec->entry[rec->entryCount++] = {(char)field, (int16_t)byte};
}

// A typed character's step belongs to the field's last byte: a digit makes it, a point rides
// on it (or makes "0." in an empty field). A leading zero the field dropped leaves it empty and
// belongs to no byte.
static void noteCharacter(int field, Recorder *rec) {
    const int length = displayEntryLength(field);
    noteEntryStep(length > 0 ? field : 0, length > 0 ? length - 1 : 0, rec);
}

void recorderStep(int code, Buffer *program, Recorder *rec, Calculator *calc) {
    if (!program || calc->recorderMode <= 0)
        return;
    const bool typing = calc->state == ENTRY_MANTISSA || calc->state == ENTRY_EXPONENT;
    const bool character =
        (code >= '0' && code <= '9') || (code >= 'A' && code <= 'F') || code == '.';
    recorderInsert(opTapeName(code), kStepOwnFrame, program, rec);
    const int field = calc->state == ENTRY_EXPONENT ? 2 : 1;
    if (typing && character)
        noteCharacter(field, rec);
    else if (typing && (code == 'v' || code == 'x'))
        noteEntryStep(0, 0, rec);
    else
        recorderForget(rec);
}

void recorderText(const char *text, Buffer *program, Recorder *rec, Calculator *calc) {
    if (!program || calc->recorderMode <= 0)
        return;
    recorderInsert(text, kStepOwnFrame, program, rec);
    recorderForget(rec);
}

// Zeros a constant's steps may spend between the point and its first digit, as the display row
// does: a smaller number is laid out with an exponent, so it keeps every digit.
constexpr int kConstantZeroLimit = 2;

// X as the steps that type it again: the digits as shown (a '.' after the digit that carries the
// point), "+/-" for a negative mantissa, then "exp", the exponent's digits and "+/-" for a
// negative exponent. The sign changes come after the digits: "-" before them would replay as a
// subtraction.
void recorderConstant(Buffer *program, Recorder *rec, Calculator *calc) {
    const Number *x = calc->operands;
    if (!program || !x || calc->recorderMode <= 0)
        return;
    const int width = calc->digits, expWidth = calc->exponentDigits > 0 ? calc->exponentDigits : 1;
    char *mantissa = (char *)numAllocate((size_t)width + 2);
    char *exponent = (char *)numAllocate((size_t)expWidth + 34);
    char sign = '+', expSign = '+';
    const int places = calc->displayFormat & kDisplayFixedPoint ? calc->fixedPlaces : -1;
    if (mantissa && exponent &&
        numToText(mantissa, exponent, width, expWidth + 32, &sign, &expSign, places,
                  calc->displayFormat & kDisplayNotationMask, kConstantZeroLimit, x) == 0) {
        if (StartUndoFrame(program) == 0) {
            // One frame for the whole constant: Undo takes it back in one step.
            auto step = [program, rec](const char *text) {
                recorderInsert(text, kStepOpenFrame, program, rec);
            };
            for (const char *c = mantissa; *c; c++) {
                const unsigned char cell = (unsigned char)*c;
                const char digit[2] = {(char)(cell & 0x7F), 0};
                step(cell == kPointFirst ? "0" : digit);
                if (cell & kPointBit)
                    step(".");
            }
            if (sign == '-')
                step("+/-");
            if (exponent[0]) {
                step(opTapeName('x'));
                for (const char *c = exponent; *c; c++) {
                    const char digit[2] = {*c, 0};
                    step(digit);
                }
                if (expSign == '-')
                    step("+/-");
            }
        }
    } else {
        programMessage("the constant could not be recorded", 1, calc);
    }
    numRelease(mantissa);
    numRelease(exponent);
    recorderForget(rec);
    notify(1, kRecorderLastLine, rec);
}

void recorderUndo(Buffer *program, Recorder *rec, Calculator *calc) {
    if (!program)
        return;
    const int field = calc->state == ENTRY_EXPONENT ? 2 : 1;
    const int byte = displayEntryLength(field) - 1;
    if (rec->entryCount < 0 || byte < 0)
        return; // steps not known: the recording is left as it is
    int current = CurrentLineNumber(program);
    int first = 0;
    for (int i = rec->entryCount - 1; i >= 0; i--) {
        if (rec->entry[i].field != field || rec->entry[i].byte != byte)
            continue;
        const int line = current - rec->entryCount + i;
        if (line < 1)
            break;
        recorderDeleteLine(line, program);
        current--;
        first = line;
        memmove(rec->entry + i, rec->entry + i + 1,
                sizeof(RecorderEntryStep) * (size_t)(rec->entryCount - i - 1));
        rec->entryCount--;
    }
    BufferGoto(current, 1, program);
    program->markLine = CurrentLineNumber(program);
    program->markEndLine = -1;
    notify(first, kRecorderLastLine, rec);
}
