// The clipboard's number text: what the display shows as text another program can use, and a
// pasted text taken as one number or refused. The panel moves the text to and from the
// clipboard; the rules are here, so they are the same wherever a number is copied or pasted.
#pragma once

#include <string>

struct Calculator;

// What the display shows: "-1.2345e-3" in decimal, the digits with a radix prefix elsewhere
// ("0x1F", "0b101", "0o17", an exponent as "*16^-3"). Empty while the display shows the error
// dashes or nothing.
std::string calcClipText(const Calculator *calc);

// Takes a pasted text (Latin-1) as X when, white space trimmed at both ends, it is exactly one
// number in the calculator's radix and format: a sign, the prefix of the radix ("0x", "0o",
// "0b"; none in decimal), its digits with at most one point (none in the integer format), digit
// groups parted by '_' or a no-break space, and in decimal an exponent after 'e' or 'E' no wider
// than the display's exponent cells (none in the integer format). A longer mantissa is rounded
// half up to the length, as the typed entry's parse does; an integer too long for the length is
// refused. The number is entered as a constant is: a number being typed is dropped, after a
// shown value a new calculation starts, after an operator it is the operand; state
// OPERAND_ENTERED. Null when it was taken; otherwise why not ("not a number in radix 10"), and
// nothing changed. Nothing is taken in the error state.
const char *calcClipPaste(const char *text, int length, Calculator *calc);

// The number of a printer tape line (the operation in the first ten columns, then the number as
// the display showed it: "X          -1.5 -3") as the clipboard's text in the calculator's
// radix, as calcClipText writes it ("-1.5e-3", "0xFF"); empty when the line shows no number
// (an operation field alone, the error dashes, the tape's notes).
std::string calcTapeLineText(const char *line, const Calculator *calc);
// Enters the number of a tape line as X, as the clipboard's text of calcTapeLineText would be
// pasted: in the calculator's radix and format, refused when it does not fit. Null when taken;
// else why not, and nothing changed.
const char *calcTapeRecall(const char *line, Calculator *calc);
