// The number entry: the two entry fields in which a number is typed, turned into a Number when
// the engine takes the entry, and filled again from X when the engine shows a value. There is
// one display per process, so the fields are process-wide. What the fields last showed is kept
// as text for the tape, the display cells and torva-cli.
#pragma once

#include <string>

struct Calculator;
struct Number;

// Mantissa bytes hold the digit character in the low seven bits; the high bit means a radix
// point follows the digit. A point typed first is 0xB0, '0' with the point ("0.").
struct EntryFields {
    char *mantissa;       // `digits` bytes and a NUL
    int mantissaLength;   // bytes typed so far
    int mantissaNegative; // sign of the mantissa
    char *exponent;       // `exponentDigits` plain characters and a NUL
    int exponentLength;   // bytes typed so far
    int exponentNegative; // sign of the exponent
    char *tapeLine;       // digits + exponentDigits + 32 bytes: the number line of the tape
    char *parseBuffer;    // the entry as text for AtoNumber (a point may follow every digit)
    char *shown;          // what the display shows now, as the tape's number text
    int digits;           // mantissa digits the fields were made for
    int exponentDigits;   // exponent digits the fields were made for
    int shownDashes;      // the display shows the error dashes
    int detached;         // the cells are detached: nothing is drawn (constant entry)
};

// The process's entry fields (rebuilt by the display operations when the counts change).
const EntryFields *displayEntry();

// Display request 1 to 6 (the entry state): draw the entry (1, 2), show X (3, 4, 5) or the
// error dashes (6). Showing X writes its number line to the tape.
void displayRequest(int request, Calculator *calc);
// Adds a character to field 1 (mantissa) or 2 (exponent) and draws; 1 when the field is full.
int displayAppend(int character, int field, Calculator *calc);
// Removes the last character of the field (a digit carrying the point loses both) and draws.
void displayDelete(int field, Calculator *calc);
// Flips the field's sign when the field holds a digit other than '0'.
void displayToggleSign(int field, Calculator *calc);
int displayEntryLength(int field);
// Empties both fields and signs, clears carry and overflow, and draws request 1.
void displayEmptyEntry(Calculator *calc);
// Turns the entry into a Number pushed onto the operand stack. 0; 1 no memory; 2 the text
// does not parse; 5 a negative integer cannot be put into complement form.
int displayParseEntry(Calculator *calc);
// The same for a number's text in the entry's own form ("-1.5 -3": sign, digits of the radix, a
// point, a blank and the exponent): a new Number of the calculator's digit count, radix and
// format into *value, owned by the caller, and nothing pushed. The codes of displayParseEntry.
int displayParseText(const char *text, Calculator *calc, Number **value);
// Reallocates the fields for the calculator's digit counts and empties them.
void displayRebuild(Calculator *calc);
// Detaches (1) or reattaches (0) the cells: while detached nothing is drawn.
void displayDetach(int detached);
// Defers (1) the drawings, or ends the deferral (0): while deferred, what a drawing would show
// is kept instead (the last one wins), and displayFlush draws it. A drawing made after the
// deferral ends drops what was kept. The shown text (displayShownText) is always up to date.
void displayDefer(int deferred);
// Draws what a deferred drawing kept, once; nothing when nothing is kept.
void displayFlush(Calculator *calc);
// What the display shows, as the tape's number text: the mantissa sign ('-' or a blank), the
// mantissa with a '.' after the digit that carries the point ("0" when empty), the exponent
// sign ('-' or a blank) and the exponent digits (none when no exponent is shown); the error
// dashes as one '-' per mantissa cell, a blank and one per exponent cell. Valid until the next
// display operation.
const char *displayShownText();
// What the display holds between two keys, to be put back whole by undo: the typed fields and
// what the cells show.
struct DisplaySnapshot {
    std::string mantissa, exponent; // the typed bytes
    int mantissaNegative = 0, exponentNegative = 0;
    std::string shown; // displayShownText
    int shownDashes = 0;
};
void displaySave(DisplaySnapshot *out);
// Puts the fields back and draws what was shown then; nothing goes to the tape.
void displayRestore(const DisplaySnapshot *saved, Calculator *calc);
// Whether the display holds what was saved.
bool displaySame(const DisplaySnapshot *saved);

// Releases the fields (at exit; the next display operation makes them again).
void displayRelease();
