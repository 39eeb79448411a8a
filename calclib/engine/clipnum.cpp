// The clipboard's number text: the display row read back as a number with its radix prefix,
// and a pasted text checked to be one number and entered whole, as a constant is.
#include "clipnum.h"

#include "calc.h"
#include "display.h"
#include "number.h"

#include <cstdio>
#include <cstring>

// A number as the display and the tape spell it (sign, mantissa with its point, sign, exponent
// digits) as the clipboard's text in the radix.
static std::string clipTextOf(const char *s, int radix) {
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
    const char *prefix = radix == 16 ? "0x" : radix == 8 ? "0o" : radix == 2 ? "0b" : "";
    out += prefix + mantissa;
    if (!exponent.empty() && exponent != "0") {
        std::string sign = negativeExponent ? "-" : "";
        out += radix == 10 ? "e" + sign + exponent
                           : "*" + std::to_string(radix) + "^" + sign + exponent;
    }
    return out;
}

std::string calcClipText(const Calculator *calc) {
    const EntryFields *e = displayEntry();
    if (calc->state == CALC_ERROR || (e && e->shownDashes))
        return "";
    return clipTextOf(displayShownText(), calc->radix);
}

static bool tapeDigit(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::string calcTapeLineText(const char *line, const Calculator *calc) {
    if (!line || strlen(line) <= kTapeFieldWidth)
        return "";
    // After the operation column: a sign, digits with at most one point, the exponent's sign
    // and its digits, nothing else but the line's end. The error dashes and the tape's own
    // texts ("--- clear all ---", parentheses, messages) have no such shape.
    std::string number = line + kTapeFieldWidth;
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    size_t i = 0;
    if (number[i] != ' ' && number[i] != '-')
        return "";
    int digits = 0, points = 0;
    for (i = 1; i < number.size() && (tapeDigit(number[i]) || number[i] == '.'); i++)
        number[i] == '.' ? points++ : digits++;
    if (digits == 0 || points > 1 || number[1] == '.')
        return "";
    if (i < number.size()) {
        if (number[i] != ' ' && number[i] != '-')
            return "";
        for (i++; i < number.size() && tapeDigit(number[i]); i++)
            ;
        while (i < number.size() && number[i] == ' ')
            i++;
        if (i < number.size())
            return "";
    }
    return clipTextOf(number.c_str(), calc->radix);
}

const char *calcTapeRecall(const char *line, Calculator *calc) {
    std::string text = calcTapeLineText(line, calc);
    if (text.empty())
        return "no number on this line";
    return calcClipPaste(text.c_str(), static_cast<int>(text.size()), calc);
}

// The value of a digit character in the radix, or -1.
static int digitOf(int c, int radix) {
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : 99;
    return v < radix ? v : -1;
}

static bool blank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A pasted text's one number rewritten in the entry's own form ("-1.5 -3") into *entry; null,
// or why the text is no such number.
static const char *pastedEntry(const char *text, int length, const Calculator *calc,
                               std::string *entry) {
    static char notNumber[40];
    snprintf(notNumber, sizeof notNumber, "not a number in radix %d", calc->radix);
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    int i = 0, end = length;
    while (i < end && blank(t[i]))
        i++;
    while (end > i && blank(t[end - 1]))
        end--;
    const bool negative = i < end && t[i] == '-';
    if (i < end && (t[i] == '-' || t[i] == '+'))
        i++;
    const char prefix = calc->radix == 16  ? 'x'
                        : calc->radix == 8 ? 'o'
                        : calc->radix == 2 ? 'b'
                                           : 0;
    if (prefix && i + 1 < end && t[i] == '0' && (t[i + 1] | 0x20) == prefix)
        i += 2;
    std::string mantissa;
    int digits = 0; // significant digits: from the first that is not 0
    bool point = false;
    for (; i < end; i++) {
        int c = t[i], d = digitOf(c, calc->radix);
        if (d >= 0) {
            mantissa += kDigitTable[d];
            digits += digits > 0 || d > 0;
        } else if (c == '.' && !point) {
            if (calc->format == kNumInteger)
                return "no radix point in the integer format";
            mantissa += '.';
            point = true;
        } else if (c == '_' || c == 0xA0) { // a group separator stands between two digits
            if (i == 0 || digitOf(t[i - 1], calc->radix) < 0 || i + 1 >= end ||
                digitOf(t[i + 1], calc->radix) < 0)
                return notNumber;
        } else {
            break;
        }
    }
    if (mantissa.find_first_not_of('.') == std::string::npos)
        return notNumber; // no digit at all
    if (calc->format == kNumInteger && digits > calc->digits)
        return "too many digits for the integer format";
    std::string exponent;
    bool exponentNegative = false;
    if (i < end && calc->radix == 10 && (t[i] == 'e' || t[i] == 'E')) {
        if (calc->format == kNumInteger)
            return "no exponent in the integer format";
        i++;
        exponentNegative = i < end && t[i] == '-';
        if (i < end && (t[i] == '-' || t[i] == '+'))
            i++;
        const int first = i;
        for (; i < end && t[i] >= '0' && t[i] <= '9'; i++)
            if (!exponent.empty() || t[i] != '0')
                exponent += static_cast<char>(t[i]);
        if (i == first)
            return notNumber;
        if (static_cast<int>(exponent.size()) > calc->exponentDigits)
            return "exponent wider than the display's exponent cells";
    }
    if (i < end)
        return notNumber;
    *entry = negative && digits > 0 ? "-" : ""; // no "-0"
    *entry += mantissa;
    if (!exponent.empty())
        *entry += std::string(" ") + (exponentNegative ? "-" : "") + exponent;
    return nullptr;
}

const char *calcClipPaste(const char *text, int length, Calculator *calc) {
    if (calc->state == CALC_ERROR)
        return "the calculator is in its error state";
    std::string entry;
    if (const char *why = pastedEntry(text ? text : "", text ? length : 0, calc, &entry))
        return why;
    Number *x;
    if (displayParseText(entry.c_str(), calc, &x))
        return "not a number the calculator can hold";
    calcEnterValue(x, calc);
    return nullptr;
}
