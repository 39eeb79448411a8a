// The number entry: typing into the mantissa and exponent fields, parsing them into X, and
// formatting X back into them for the display. The fields are drawn through the calculator's
// drawEntry hook; what they show is also kept as text for the tape and torva-cli.
#include "display.h"

#include "calc.h"
#include "number.h"

#include <cstdio>
#include <cstring>
#include <utility>

static const char kSourceName[] = "calclib\\src\\display";

static EntryFields gEntry;

// A drawing deferred during a run: the fields as they were to be drawn. A run draws thousands
// of times a second; the cells show only what the last of those drawings would have shown.
struct KeptDrawing {
    char *mantissa, *exponent; // copies of the fields, as large as theirs
    int mantissaLength, mantissaNegative, exponentLength, exponentNegative;
    int request; // the drawing's request, 0 when nothing is kept
};
static KeptDrawing gKept;
static bool gDeferred;

const EntryFields *displayEntry() { return &gEntry; }

void displayRelease() {
    numRelease(gEntry.mantissa);
    numRelease(gEntry.exponent);
    numRelease(gEntry.tapeLine);
    numRelease(gEntry.parseBuffer);
    numRelease(gEntry.shown);
    numRelease(gKept.mantissa);
    numRelease(gKept.exponent);
    gEntry = EntryFields{};
    gKept = KeptDrawing{};
}

// Room for a point after every mantissa byte, the signs, a blank and the exponent.
static size_t shownSize(int digits, int exponentDigits) {
    return 2 * static_cast<size_t>(digits) + static_cast<size_t>(exponentDigits) + 8;
}

void displayRebuild(Calculator *calc) {
    displayRelease();
    const size_t digits = static_cast<size_t>(calc->digits > 0 ? calc->digits : 1);
    const size_t exponentDigits =
        static_cast<size_t>(calc->exponentDigits > 0 ? calc->exponentDigits : 0);
    gEntry.mantissa = static_cast<char *>(numAllocate(digits + 1));
    gEntry.exponent = static_cast<char *>(numAllocate(exponentDigits + 1));
    gEntry.tapeLine = static_cast<char *>(numAllocate(digits + exponentDigits + 32));
    // A point may ride on every mantissa byte: 1.2.3. is six characters for three digits.
    gEntry.parseBuffer = static_cast<char *>(numAllocate(2 * digits + exponentDigits + 5));
    gEntry.shown = static_cast<char *>(numAllocate(shownSize(calc->digits, calc->exponentDigits)));
    gKept.mantissa = static_cast<char *>(numAllocate(digits + 1));
    gKept.exponent = static_cast<char *>(numAllocate(exponentDigits + 1));
    if (!gEntry.mantissa || !gEntry.exponent || !gEntry.tapeLine || !gEntry.parseBuffer ||
        !gEntry.shown || !gKept.mantissa || !gKept.exponent) {
        displayRelease();
        numAssertReport(kSourceName, __LINE__);
        return;
    }
    gEntry.digits = calc->digits;
    gEntry.exponentDigits = calc->exponentDigits;
    gEntry.mantissa[0] = 0;
    gEntry.exponent[0] = 0;
    strcpy(gEntry.shown, " 0 ");
}

// The fields for the calculator's counts; false when they cannot be made.
static bool entryReady(Calculator *calc) {
    if (!gEntry.mantissa || gEntry.digits != calc->digits ||
        gEntry.exponentDigits != calc->exponentDigits)
        displayRebuild(calc);
    return gEntry.mantissa != nullptr;
}

void displayDetach(int detached) { gEntry.detached = detached; }

void displayDefer(int deferred) { gDeferred = deferred != 0; }

// The kept drawing and the fields trade places (twice: there and back again).
static void tradeKept() {
    std::swap(gEntry.mantissa, gKept.mantissa);
    std::swap(gEntry.exponent, gKept.exponent);
    std::swap(gEntry.mantissaLength, gKept.mantissaLength);
    std::swap(gEntry.mantissaNegative, gKept.mantissaNegative);
    std::swap(gEntry.exponentLength, gKept.exponentLength);
    std::swap(gEntry.exponentNegative, gKept.exponentNegative);
}

static void keepDrawing(int request) {
    memcpy(gKept.mantissa, gEntry.mantissa, static_cast<size_t>(gEntry.digits) + 1);
    memcpy(gKept.exponent, gEntry.exponent, static_cast<size_t>(gEntry.exponentDigits) + 1);
    gKept.mantissaLength = gEntry.mantissaLength;
    gKept.mantissaNegative = gEntry.mantissaNegative;
    gKept.exponentLength = gEntry.exponentLength;
    gKept.exponentNegative = gEntry.exponentNegative;
    gKept.request = request;
}

void displayFlush(Calculator *calc) {
    const int request = gKept.request;
    if (!request || !gEntry.mantissa)
        return;
    gKept.request = 0;
    tradeKept();
    if (calc->hooks.drawEntry)
        calc->hooks.drawEntry(request, calc);
    tradeKept();
}

// The fields as the tape's number text into out (at least shownSize bytes).
static void entryText(int request, char *out) {
    char *p = out;
    *p++ = gEntry.mantissaNegative ? '-' : ' ';
    if (gEntry.mantissaLength == 0)
        *p++ = '0';
    for (int i = 0; i < gEntry.mantissaLength; i++) {
        unsigned char c = static_cast<unsigned char>(gEntry.mantissa[i]);
        *p++ = static_cast<char>(c & 0x7F);
        if (c & kPointBit)
            *p++ = '.';
    }
    *p++ = gEntry.exponentNegative ? '-' : ' ';
    if (gEntry.exponentLength == 0 && request == ENTRY_EXPONENT)
        *p++ = '0'; // exponent entry shows a 0 until a digit is typed
    for (int i = 0; i < gEntry.exponentLength; i++)
        *p++ = gEntry.exponent[i];
    *p = 0;
}

static void dashesText(char *out) {
    char *p = out;
    for (int i = 0; i < gEntry.digits; i++)
        *p++ = '-';
    *p++ = ' ';
    for (int i = 0; i < gEntry.exponentDigits; i++)
        *p++ = '-';
    *p = 0;
}

const char *displayShownText() { return gEntry.shown ? gEntry.shown : " 0 "; }

// Draws the entry (1, 2) or the dashes (6), and remembers what is shown.
static void entryDraw(int request, Calculator *calc) {
    if (gEntry.detached)
        return;
    gEntry.shownDashes = request == CALC_ERROR;
    if (gEntry.shownDashes)
        dashesText(gEntry.shown);
    else
        entryText(request, gEntry.shown);
    if (gDeferred) {
        keepDrawing(request);
        return;
    }
    gKept.request = 0;
    if (calc->hooks.drawEntry)
        calc->hooks.drawEntry(request, calc);
}

void calcTapeNumberLine(Calculator *calc) {
    if (!calc->hooks.tapeWrite || !gEntry.tapeLine)
        return;
    snprintf(gEntry.tapeLine, static_cast<size_t>(gEntry.digits + gEntry.exponentDigits + 32),
             "%*s%s\n", calc->tapeOpen ? 0 : kTapeFieldWidth, "", gEntry.shown);
    if (calcTapeWrite(gEntry.tapeLine, calc) == 0)
        calc->tapeOpen = 0;
}

// Formats X into the fields, writes its tape line and draws it (dashes when it cannot be
// shown; X stays on the stack). The shown number is no entry: the fields are emptied after.
static void showX(Calculator *calc) {
    if (!calc->operands) {
        numAssertReport(kSourceName, __LINE__);
        return;
    }
    char sign, exponentSign;
    int fixed = calc->displayFormat & kDisplayFixedPoint ? calc->fixedPlaces : -1;
    int r = numToText(gEntry.mantissa, gEntry.exponent, calc->digits, calc->exponentDigits, &sign,
                      &exponentSign, fixed, calc->displayFormat & kDisplayNotationMask, 2,
                      calc->operands);
    if (r == 0) {
        gEntry.mantissaLength = static_cast<int>(strlen(gEntry.mantissa));
        gEntry.exponentLength = static_cast<int>(strlen(gEntry.exponent));
        gEntry.mantissaNegative = sign == '-';
        gEntry.exponentNegative = exponentSign == '-';
        entryText(ENTRY_MANTISSA, gEntry.shown);
    } else {
        dashesText(gEntry.shown);
    }
    calcTapeNumberLine(calc);
    entryDraw(r == 0 ? ENTRY_MANTISSA : CALC_ERROR, calc);
    gEntry.mantissaLength = gEntry.exponentLength = 0;
    gEntry.mantissaNegative = gEntry.exponentNegative = 0;
    gEntry.mantissa[0] = gEntry.exponent[0] = 0;
}

void displayRequest(int request, Calculator *calc) {
    if (!entryReady(calc))
        return;
    switch (request) {
    case ENTRY_MANTISSA:
    case ENTRY_EXPONENT:
    case CALC_ERROR:
        entryDraw(request, calc);
        break;
    case OPERATOR_PENDING:
    case OPERAND_ENTERED:
    case RESULT_SHOWN:
        showX(calc);
        break;
    default:
        break;
    }
}

int displayAppend(int character, int field, Calculator *calc) {
    if (!entryReady(calc))
        return 1;
    if (field == 2) {
        if (gEntry.exponentLength >= gEntry.exponentDigits)
            return 1;
        if (character == '0' && gEntry.exponentLength == 0)
            return 0;
        gEntry.exponent[gEntry.exponentLength++] = static_cast<char>(character);
        gEntry.exponent[gEntry.exponentLength] = 0;
        entryDraw(ENTRY_EXPONENT, calc);
        return 0;
    }
    if (character == '.') {
        if (gEntry.mantissaLength == 0)
            gEntry.mantissa[gEntry.mantissaLength++] = static_cast<char>(kPointFirst);
        else // no check for an earlier point: such an entry fails to parse
            gEntry.mantissa[gEntry.mantissaLength - 1] |= static_cast<char>(kPointBit);
    } else {
        if (gEntry.mantissaLength >= gEntry.digits)
            return 1;
        if (character == '0' && gEntry.mantissaLength == 0)
            return 0;
        gEntry.mantissa[gEntry.mantissaLength++] = static_cast<char>(character);
    }
    gEntry.mantissa[gEntry.mantissaLength] = 0;
    entryDraw(ENTRY_MANTISSA, calc);
    return 0;
}

void displayDelete(int field, Calculator *calc) {
    if (!entryReady(calc))
        return;
    if (field == 2 && gEntry.exponentLength > 0)
        gEntry.exponent[--gEntry.exponentLength] = 0;
    else if (field != 2 && gEntry.mantissaLength > 0)
        gEntry.mantissa[--gEntry.mantissaLength] = 0;
    entryDraw(field == 2 ? ENTRY_EXPONENT : ENTRY_MANTISSA, calc);
}

void displayToggleSign(int field, Calculator *calc) {
    if (!entryReady(calc))
        return;
    const char *bytes = field == 2 ? gEntry.exponent : gEntry.mantissa;
    int length = field == 2 ? gEntry.exponentLength : gEntry.mantissaLength;
    bool nonZero = false;
    for (int i = 0; i < length; i++)
        nonZero = nonZero || bytes[i] != '0'; // a byte carrying the point counts as non-zero
    if (!nonZero)
        return;
    int &negative = field == 2 ? gEntry.exponentNegative : gEntry.mantissaNegative;
    negative = !negative;
    entryDraw(field == 2 ? ENTRY_EXPONENT : ENTRY_MANTISSA, calc);
}

int displayEntryLength(int field) {
    return field == 2 ? gEntry.exponentLength : gEntry.mantissaLength;
}

void displayEmptyEntry(Calculator *calc) {
    if (!entryReady(calc))
        return;
    gEntry.mantissaLength = gEntry.exponentLength = 0;
    gEntry.mantissaNegative = gEntry.exponentNegative = 0;
    gEntry.mantissa[0] = gEntry.exponent[0] = 0;
    calcClearCarry(calc);
    calcClearOverflow(calc);
    entryDraw(ENTRY_MANTISSA, calc);
}

void displaySave(DisplaySnapshot *out) {
    out->mantissa.assign(gEntry.mantissa ? gEntry.mantissa : "",
                         static_cast<size_t>(gEntry.mantissa ? gEntry.mantissaLength : 0));
    out->exponent.assign(gEntry.exponent ? gEntry.exponent : "",
                         static_cast<size_t>(gEntry.exponent ? gEntry.exponentLength : 0));
    out->mantissaNegative = gEntry.mantissaNegative;
    out->exponentNegative = gEntry.exponentNegative;
    out->shown = displayShownText();
    out->shownDashes = gEntry.shownDashes;
}

bool displaySame(const DisplaySnapshot *saved) {
    DisplaySnapshot now;
    displaySave(&now);
    return now.mantissa == saved->mantissa && now.exponent == saved->exponent &&
           now.mantissaNegative == saved->mantissaNegative &&
           now.exponentNegative == saved->exponentNegative && now.shown == saved->shown &&
           now.shownDashes == saved->shownDashes;
}

// The fields as the shown text spells them (sign, mantissa with its points, sign, exponent):
// what a shown X left in them when it was drawn.
static void fieldsFromShown(const char *s) {
    gEntry.mantissaLength = gEntry.exponentLength = 0;
    gEntry.mantissaNegative = s[0] == '-';
    int i = s[0] ? 1 : 0;
    for (; s[i] && s[i] != ' ' && s[i] != '-'; i++) {
        if (s[i] == '.' && gEntry.mantissaLength > 0)
            gEntry.mantissa[gEntry.mantissaLength - 1] |= static_cast<char>(kPointBit);
        else if (s[i] != '.' && gEntry.mantissaLength < gEntry.digits)
            gEntry.mantissa[gEntry.mantissaLength++] = s[i];
    }
    gEntry.exponentNegative = s[i] == '-';
    if (s[i])
        i++;
    for (; s[i] && gEntry.exponentLength < gEntry.exponentDigits; i++)
        gEntry.exponent[gEntry.exponentLength++] = s[i];
    gEntry.mantissa[gEntry.mantissaLength] = 0;
    gEntry.exponent[gEntry.exponentLength] = 0;
}

void displayRestore(const DisplaySnapshot *saved, Calculator *calc) {
    if (!entryReady(calc))
        return;
    if (saved->shownDashes) {
        entryDraw(CALC_ERROR, calc);
    } else {
        // The cells are drawn from the fields: spell what was shown into them for the drawing.
        fieldsFromShown(saved->shown.c_str());
        entryDraw(ENTRY_MANTISSA, calc);
    }
    snprintf(gEntry.shown, shownSize(gEntry.digits, gEntry.exponentDigits), "%s",
             saved->shown.c_str());
    const int mantissaLength = static_cast<int>(saved->mantissa.size());
    const int exponentLength = static_cast<int>(saved->exponent.size());
    gEntry.mantissaLength = mantissaLength < gEntry.digits ? mantissaLength : gEntry.digits;
    gEntry.exponentLength =
        exponentLength < gEntry.exponentDigits ? exponentLength : gEntry.exponentDigits;
    memcpy(gEntry.mantissa, saved->mantissa.data(), static_cast<size_t>(gEntry.mantissaLength));
    memcpy(gEntry.exponent, saved->exponent.data(), static_cast<size_t>(gEntry.exponentLength));
    gEntry.mantissa[gEntry.mantissaLength] = 0;
    gEntry.exponent[gEntry.exponentLength] = 0;
    gEntry.mantissaNegative = saved->mantissaNegative;
    gEntry.exponentNegative = saved->exponentNegative;
}

int displayParseEntry(Calculator *calc) {
    if (!entryReady(calc))
        return 1;
    char *p = gEntry.parseBuffer;
    if (gEntry.mantissaNegative)
        *p++ = '-';
    for (int i = 0; i < gEntry.mantissaLength; i++) {
        unsigned char c = static_cast<unsigned char>(gEntry.mantissa[i]);
        *p++ = static_cast<char>(c & 0x7F);
        if (c & kPointBit)
            *p++ = '.';
    }
    if (gEntry.exponentLength > 0) {
        *p++ = ' ';
        if (gEntry.exponentNegative)
            *p++ = '-';
        for (int i = 0; i < gEntry.exponentLength; i++)
            *p++ = gEntry.exponent[i];
    }
    *p = 0;
    Number *n;
    if (int r = displayParseText(gEntry.parseBuffer, calc, &n))
        return r;
    n->next = calc->operands;
    calc->operands = n;
    return 0;
}

int displayParseText(const char *text, Calculator *calc, Number **value) {
    *value = nullptr;
    Number *n = numCreate(calc->digits, calc->radix, calc->format);
    if (!n)
        return 1;
    if (!AtoNumber(n, text)) {
        numFree(n);
        return 2;
    }
    if (n->format == kNumInteger && n->negative) {
        Number *complement = numCreate(calc->digits, calc->radix, calc->format);
        if (!complement || numComplement(n, complement)) {
            numFree(n);
            numFree(complement);
            return 5;
        }
        numFree(n);
        n = complement;
    }
    *value = n;
    return 0;
}
