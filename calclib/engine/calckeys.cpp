// The panel's keys that drive the engine, by name: the table the panel attaches its key
// functions from and torva-cli presses keys through, with the rule by which the panel disables
// a key (a digit beyond the radix; the floating-only keys in the integer format), and the
// panel's keyboard, which both type through.
#include "calc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void pressDigit(const char *name, Calculator *calc) { calcDigit(name[0], calc); }
static void pressBinary(const char *name, Calculator *calc) { calcBinaryOp(name[0], calc); }
static void pressUnary(const char *name, Calculator *calc) { calcUnaryOp(name[0], calc); }
static void pressSign(const char *, Calculator *calc) { calcSignChange(calc); }
static void pressOpen(const char *, Calculator *calc) { calcOpenParen(calc); }
static void pressClose(const char *, Calculator *calc) { calcCloseParen(calc); }
static void pressEquals(const char *, Calculator *calc) { calcEquals(calc); }
static void pressExponent(const char *, Calculator *calc) { calcEnterExponent(calc); }
static void pressPi(const char *, Calculator *calc) { calcEnterPi(calc); }
static void pressClear(const char *name, Calculator *calc) { calcClear(name[0] == 'A', calc); }
static void pressDelete(const char *, Calculator *calc) { calcDeleteDigit(calc); }
static void pressCopy(const char *, Calculator *calc) { calcDuplicate(calc); }
static void pressPower(const char *, Calculator *calc) { calcBinaryOp('p', calc); }
// The radios "mr02" to "mr16": the radix from the two digits.
static void pressRadix(const char *name, Calculator *calc) { calcSetRadix(atoi(name + 2), calc); }
static void pressInteger(const char *, Calculator *calc) {
    calcSetFormat(calc->format == 0 ? 1 : 0, calc);
}
static void pressAngle(const char *name, Calculator *calc) { calc->radians = name[0] == 'R'; }

static const CalcKeyFunction kKeys[] = {
    {"0", pressDigit, kKeyNeedsRadix},
    {"1", pressDigit, kKeyNeedsRadix},
    {"2", pressDigit, kKeyNeedsRadix},
    {"3", pressDigit, kKeyNeedsRadix},
    {"4", pressDigit, kKeyNeedsRadix},
    {"5", pressDigit, kKeyNeedsRadix},
    {"6", pressDigit, kKeyNeedsRadix},
    {"7", pressDigit, kKeyNeedsRadix},
    {"8", pressDigit, kKeyNeedsRadix},
    {"9", pressDigit, kKeyNeedsRadix},
    {"A", pressDigit, kKeyNeedsRadix},
    {"B", pressDigit, kKeyNeedsRadix},
    {"C", pressDigit, kKeyNeedsRadix},
    {"D", pressDigit, kKeyNeedsRadix},
    {"E", pressDigit, kKeyNeedsRadix},
    {"F", pressDigit, kKeyNeedsRadix},
    {".", pressDigit, kKeyNeedsFloat},
    {"|", pressBinary, kKeyNeedsNothing},
    {"&", pressBinary, kKeyNeedsNothing},
    {"^", pressBinary, kKeyNeedsNothing},
    {"X", pressBinary, kKeyNeedsNothing},
    {"/", pressBinary, kKeyNeedsNothing},
    {"+", pressBinary, kKeyNeedsNothing},
    {"-", pressBinary, kKeyNeedsNothing},
    {"Left", pressBinary, kKeyNeedsNothing},
    {"Right", pressBinary, kKeyNeedsNothing},
    {"Mod", pressBinary, kKeyNeedsNothing},
    {"~", pressUnary, kKeyNeedsNothing},
    {">>1", pressUnary, kKeyNeedsNothing},
    {"<<1", pressUnary, kKeyNeedsNothing},
    {"r", pressUnary, kKeyNeedsNothing},
    {"q", pressUnary, kKeyNeedsNothing},
    {"!", pressUnary, kKeyNeedsNothing},
    {"Int", pressUnary, kKeyNeedsFloat},
    {"i", pressUnary, kKeyNeedsFloat},
    {"v", pressSign, kKeyNeedsNothing},
    {"(", pressOpen, kKeyNeedsNothing},
    {")", pressClose, kKeyNeedsNothing},
    {"=", pressEquals, kKeyNeedsNothing},
    {"exp", pressExponent, kKeyNeedsFloat},
    {"pi", pressPi, kKeyNeedsNothing},
    {"Clear", pressClear, kKeyNeedsNothing},
    {"AllClr", pressClear, kKeyNeedsNothing},
    {"Del", pressDelete, kKeyNeedsNothing},
    {"Copy", pressCopy, kKeyNeedsNothing},
    // The scientific dialog.
    {"sin", pressUnary, kKeyNeedsNothing},
    {"o", pressUnary, kKeyNeedsNothing},
    {"tan", pressUnary, kKeyNeedsNothing},
    {"S", pressUnary, kKeyNeedsNothing},
    {"O", pressUnary, kKeyNeedsNothing},
    {"T", pressUnary, kKeyNeedsNothing},
    {"l", pressUnary, kKeyNeedsNothing},
    {"g", pressUnary, kKeyNeedsNothing},
    {"e", pressUnary, kKeyNeedsNothing},
    {"n", pressUnary, kKeyNeedsNothing},
    {"p", pressPower, kKeyNeedsNothing},
    {"Degrees", pressAngle, kKeyNeedsNothing},
    {"Radians", pressAngle, kKeyNeedsNothing},
    // The switches.
    {"mr02", pressRadix, kKeyNeedsNothing},
    {"mr08", pressRadix, kKeyNeedsNothing},
    {"mr10", pressRadix, kKeyNeedsNothing},
    {"mr16", pressRadix, kKeyNeedsNothing},
    {"Integer", pressInteger, kKeyNeedsNothing},
};

const CalcKeyFunction *calcKeyFunction(const char *name) {
    for (const CalcKeyFunction &key : kKeys)
        if (strcmp(key.name, name) == 0)
            return &key;
    return nullptr;
}

int calcKeyEnabled(const CalcKeyFunction *key, const Calculator *calc) {
    if (key->need == kKeyNeedsFloat)
        return calc->format == 0;
    if (key->need == kKeyNeedsRadix) {
        int c = key->name[0];
        int value = c <= '9' ? c - '0' : c - 'A' + 10;
        return value < calc->radix;
    }
    return 1;
}

const char *calcKeyRefusal(const CalcKeyFunction *key, const Calculator *calc) {
    if (calcKeyEnabled(key, calc))
        return nullptr;
    static char why[64];
    if (key->need == kKeyNeedsRadix) {
        snprintf(why, sizeof why, "no digit %s in radix %d", key->name, calc->radix);
    } else {
        // As the keys are labelled: the "i" key reads "Frac".
        const char *what = strcmp(key->name, ".") == 0     ? "radix point"
                           : strcmp(key->name, "exp") == 0 ? "exponent"
                           : strcmp(key->name, "i") == 0   ? "Frac"
                                                           : key->name;
        snprintf(why, sizeof why, "no %s in the integer format", what);
    }
    return why;
}

// The key of the panel a typed key stands for, when the panel may disable it: digits, the
// point, 'x' (exp), 'I' (Int) and 'i' (Frac); null for the others.
static const CalcKeyFunction *buttonOfKey(int key) {
    const int c = calcKeyCharacter(key);
    const char name[2] = {static_cast<char>(c), 0};
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '.' || c == 'i')
        return calcKeyFunction(name);
    return calcKeyFunction(c == 'x' ? "exp" : c == 'I' ? "Int" : "");
}

const char *calcPanelKey(int key, Calculator *calc) {
    if (const CalcKeyFunction *button = buttonOfKey(key))
        if (const char *why = calcKeyRefusal(button, calc))
            return why;
    // The keys the engine's map leaves to the panel: its own characters for two of its keys.
    if (key == 'p' || key == 'r') {
        const CalcKeyFunction *pressed = calcKeyFunction(key == 'p' ? "pi" : "r");
        pressed->press(pressed->name, calc);
        return nullptr;
    }
    calcKey(key, calc); // a digit beyond the radix was refused above
    return nullptr;
}
