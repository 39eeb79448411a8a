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
