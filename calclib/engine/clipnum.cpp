// The clipboard's number text: the display row read back as a number with its radix prefix,
// and a pasted text typed key by key, as a person would type it.
#include "clipnum.h"

#include "calc.h"
#include "display.h"

#include <cstring>

std::string calcClipText(const Calculator *calc) {
    const EntryFields *e = displayEntry();
    if (calc->state == CALC_ERROR || (e && e->shownDashes))
        return "";
    const char *s = displayShownText();
    if (!s[0])
        return "";
    std::string mantissa, exponent;
    size_t i = 1;
    for (; s[i] && s[i] != ' ' && s[i] != '-'; i++)
        mantissa += s[i];
    bool negativeExponent = s[i] == '-';
    if (s[i])
        i++;
    for (; s[i]; i++)
        if (s[i] != ' ')
            exponent += s[i];
    if (!mantissa.empty() && mantissa.back() == '.')
        mantissa.pop_back();
    if (mantissa.empty())
        mantissa = "0";
    std::string out = s[0] == '-' ? "-" : "";
    const char *prefix = calc->radix == 16  ? "0x"
                         : calc->radix == 8 ? "0o"
                         : calc->radix == 2 ? "0b"
                                            : "";
    out += prefix + mantissa;
    if (!exponent.empty() && exponent != "0") {
        std::string sign = negativeExponent ? "-" : "";
        out += calc->radix == 10 ? "e" + sign + exponent
                                 : "*" + std::to_string(calc->radix) + "^" + sign + exponent;
    }
    return out;
}

static bool digitOf(int c, int radix, int *digit) {
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : 99;
    *digit = v;
    return v < radix;
}

void calcClipPaste(const char *text, int length, Calculator *calc) {
    if (!text || calc->state == CALC_ERROR)
        return;
    int i = 0;
    while (i < length && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        i++;
    bool negative = i < length && text[i] == '-';
    if (negative || (i < length && text[i] == '+'))
        i++;
    if (i + 1 < length && text[i] == '0' && strchr("xXbBoO", text[i + 1]))
        i += 2;
    bool point = false, typed = false, inExponent = false, exponentNegative = false;
    for (; i < length; i++) {
        int c = (unsigned char)text[i], digit;
        if (!inExponent && calc->radix == 10 && (c == 'e' || c == 'E') && typed) {
            if (negative) // the mantissa's sign, while the mantissa is still being typed
                calcSignChange(calc);
            negative = false;
            calcEnterExponent(calc);
            inExponent = true;
            if (i + 1 < length && (text[i + 1] == '-' || text[i + 1] == '+'))
                exponentNegative = text[++i] == '-';
        } else if (c == '.' && !point && !inExponent && calc->format == 0) {
            calcDigit('.', calc);
            point = true;
        } else if (digitOf(c, calc->radix, &digit)) {
            calcDigit(digit < 10 ? '0' + digit : 'A' + digit - 10, calc);
            typed = true;
        }
        if (calc->state == CALC_ERROR)
            return;
    }
    if ((negative && typed) || (inExponent && exponentNegative))
        calcSignChange(calc);
}
