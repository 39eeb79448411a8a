// torva-cli: the calculator engine without a window. It builds the calculator as the panel
// would from the options, types keys (-k) and presses panel keys (-p) in the order given, or
// reads keys from standard input, and prints what the display shows at the end.
#include "calc.h"
#include "calcsettings.h"
#include "display.h"
#include "number.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: torva-cli [--digits N] [--exp-digits N] [--radix 2|8|10|16] [--format float|int]\n"
    "                 [--auto-format on|off] [--notation dec|sci|eng] [--fixed N] [--radians]\n"
    "                 [--settings FILE] [--raw] [--tape] [--indicators]\n"
    "                 [-k TEXT | --keys TEXT] ...\n"
    "                 [-p NAME | --press NAME] ...\n"
    "Types each character of TEXT as a key, presses the panel key NAME, in the order given\n"
    "(keys are read from standard input when neither is given), and prints the display.\n";

struct Input {
    bool press; // a panel key by name, else characters typed as keys
    std::string text;
};

// The calculator's settings given on the command line; the others come from the settings file
// (--settings) or are the calculator's defaults.
struct Options {
    std::optional<int> digits, exponentDigits, radix, format, autoFormat, notation, fixedPlaces;
    bool radians = false, raw = false, tape = false, indicators = false;
    const char *settings = nullptr;
    std::vector<Input> inputs;
};

int usage(const char *problem) {
    if (problem)
        fprintf(stderr, "torva-cli: %s\n", problem);
    fputs(kUsage, stderr);
    return 2;
}

// A whole decimal number from `minimum` to `maximum`.
bool readCount(const char *text, int minimum, int maximum, std::optional<int> *value) {
    char *end;
    long v = strtol(text, &end, 10);
    if (!*text || *end || v < minimum || v > maximum)
        return false;
    *value = static_cast<int>(v);
    return true;
}

// One of the words, as its index plus `first`.
bool readWord(const char *text, std::initializer_list<const char *> words, int first,
              std::optional<int> *value) {
    int i = first;
    for (const char *w : words) {
        if (strcmp(text, w) == 0) {
            *value = i;
            return true;
        }
        i++;
    }
    return false;
}

// 0, or the exit status of a usage error.
int parseOptions(int argc, char **argv, Options *o) {
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--raw") {
            o->raw = true;
            continue;
        }
        if (a == "--tape") {
            o->tape = true;
            continue;
        }
        if (a == "--indicators") {
            o->indicators = true;
            continue;
        }
        if (a == "--radians") {
            o->radians = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage(("missing value after " + a).c_str());
        const char *v = argv[++i];
        bool ok = true;
        if (a == "--digits")
            ok = readCount(v, 2, kMaxMantissaDigits, &o->digits);
        else if (a == "--exp-digits")
            ok = readCount(v, 0, kMaxExponentDigits, &o->exponentDigits);
        else if (a == "--fixed")
            ok = readCount(v, 0, kMaxMantissaDigits, &o->fixedPlaces);
        else if (a == "--radix")
            ok = readCount(v, 2, 16, &o->radix) &&
                 (*o->radix == 2 || *o->radix == 8 || *o->radix == 10 || *o->radix == 16);
        else if (a == "--format")
            ok = readWord(v, {"float", "int"}, 0, &o->format);
        else if (a == "--auto-format")
            ok = readWord(v, {"off", "on"}, 0, &o->autoFormat);
        else if (a == "--notation")
            ok = readWord(v, {"dec", "sci", "eng"}, 1, &o->notation);
        else if (a == "--settings")
            o->settings = v;
        else if (a == "-k" || a == "--keys")
            o->inputs.push_back({false, v});
        else if (a == "-p" || a == "--press") {
            if (!calcKeyFunction(v))
                return usage(("no panel key named \"" + std::string(v) + "\"").c_str());
            o->inputs.push_back({true, v});
        } else
            return usage(("unknown option " + a).c_str());
        if (!ok)
            return usage(("bad value for " + a + ": " + v).c_str());
    }
    return 0;
}

int tapeToStdout(const char *text, Calculator *) {
    fputs(text, stdout);
    return 0;
}

// Builds the calculator as the panel does: the settings first (from the file, then the
// options), then the radix radio pressed (which may select the integer format), then the format
// from the record; both stacks empty and a fresh entry. The tape starts after that.
void buildCalculator(const Options &o, Calculator *calc) {
    int radix = 10, registers = 16;
    if (o.settings) {
        registers = calcReadSettings(o.settings, calc, nullptr);
        radix = calc->radix;
        calc->radix = 10; // the radio is pressed from the start-up radix
    }
    calc->digits = o.digits.value_or(calc->digits);
    calc->exponentDigits = o.exponentDigits.value_or(calc->exponentDigits);
    calc->format = o.format.value_or(calc->format);
    calc->autoFormat = o.autoFormat.value_or(calc->autoFormat);
    if (o.notation)
        calc->displayFormat = (calc->displayFormat & ~0xF) | *o.notation;
    if (o.fixedPlaces) {
        calc->displayFormat |= 0x10;
        calc->fixedPlaces = *o.fixedPlaces;
    }
    calc->radians = o.radians ? 1 : 0;
    calcAllocRegisters(registers, calc);
    displayRebuild(calc);
    calcSetRadix(o.radix.value_or(radix), calc);
    calcSetFormat(calc->format, calc);
    calcEmptyStacks(calc);
    calc->state = ENTRY_MANTISSA;
    calc->parenDepth = 0;
    displayEmptyEntry(calc);
    if (o.tape)
        calc->hooks.tapeWrite = tapeToStdout;
    calc->tapeOpen = 0;
}

void typeKeys(const std::string &text, Calculator *calc) {
    for (unsigned char c : text)
        calcKey(c, calc);
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    int status = parseOptions(argc, argv, &o);
    if (status)
        return status;
    Calculator calc;
    buildCalculator(o, &calc);
    if (o.inputs.empty()) {
        std::string text;
        for (int c; (c = getchar()) != EOF;)
            text += static_cast<char>(c);
        typeKeys(text, &calc);
    }
    for (const Input &in : o.inputs) {
        if (!in.press) {
            typeKeys(in.text, &calc);
            continue;
        }
        // A key the panel shows disabled cannot be pressed.
        const CalcKeyFunction *key = calcKeyFunction(in.text.c_str());
        if (calcKeyEnabled(key, &calc))
            key->press(key->name, &calc);
    }

    std::string line;
    if (calcIsError(&calc))
        line = "ERR";
    else if (o.raw)
        line = calc.operands ? numRawText(calc.operands) : "EMPTY";
    else
        line = displayShownText();
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    printf("%s\n", line.c_str());
    if (o.indicators)
        printf("carry=%d overflow=%d\n", calc.carry, calc.overflow);
    int exitStatus = calcIsError(&calc) ? 1 : 0;
    calcRelease(&calc);
    displayRelease();
    return exitStatus;
}
