// The clipboard's number text: what the display shows as text another program can use, and a
// pasted text typed into the calculator as keys. The panel moves the text to and from the
// clipboard; the rules are here, so they are the same wherever a number is copied or pasted.
#pragma once

#include <string>

struct Calculator;

// What the display shows: "-1.2345e-3" in decimal, the digits with a radix prefix elsewhere
// ("0x1F", "0b101", "0o17", an exponent as "*16^-3"). Empty while the display shows the error
// dashes or nothing.
std::string calcClipText(const Calculator *calc);

// Types a pasted number: its digits that are valid in the radix, one point, an exponent after
// 'e' or 'E' (decimal only), a leading '-' as a sign change. Everything else is passed over. In
// the error state nothing is typed.
void calcClipPaste(const char *text, int length, Calculator *calc);
