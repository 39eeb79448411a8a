// The keystroke recorder: what the calculator's recorder hooks report (a key, a text, a constant
// entered, a typed character deleted) becomes step lines inserted before the program's current
// line. It remembers which steps typed the number in progress, so a deleted character takes its
// own steps with it. The program window owns a Recorder and repaints when told of a change.
#pragma once

#include <climits>
#include <cstdint>

struct Buffer;
struct Calculator;

constexpr int kRecorderEntryLimit = 2048;      // steps of one typed entry the recorder can follow
constexpr int kRecorderLastLine = INT_MAX / 2; // a line past every program's end

// A step of the number being typed: which field's byte it made or marked (the mantissa's digits
// carry the radix point), or none (a sign change, "exp", a leading zero the field dropped).
struct RecorderEntryStep {
    char field;   // 0 none, 1 mantissa, 2 exponent
    int16_t byte; // the byte of the field, from 0
};

struct Recorder {
    // The steps of the number being typed, oldest first, lying just above the current line.
    RecorderEntryStep entry[kRecorderEntryLimit];
    int entryCount; // -1: the entry's steps are not known (too many steps)
    // The listing's listener: lines first..last changed (first 0: none) and the program's mark
    // is on its current line. May be null.
    void (*changed)(int first, int last, Recorder *rec);
    void *context; // the owner's
};

// Inserts a step line before the current line (`withUndo` as for programInsertStep), the mark
// on the current line afterwards. 0, or programInsertStep's failure.
int recorderInsert(const char *text, int withUndo, Buffer *program, Recorder *rec);
// Deletes line `line` whole, as one undoable step.
void recorderDeleteLine(int line, Buffer *program);
// The typed number's steps are forgotten: the next deletion leaves the recording as it is.
void recorderForget(Recorder *rec);

// The calculator's recorder hooks, while it records (recorderMode > 0). A key's step; a text
// step; X entered from a text, as the keys that type it again (one undo frame; a message when
// it cannot be laid out); the delete key while a number is typed.
void recorderStep(int code, Buffer *program, Recorder *rec, Calculator *calc);
void recorderText(const char *text, Buffer *program, Recorder *rec, Calculator *calc);
void recorderConstant(Buffer *program, Recorder *rec, Calculator *calc);
void recorderUndo(Buffer *program, Recorder *rec, Calculator *calc);
