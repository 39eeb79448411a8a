// The display row (dispcells.h): dot-matrix cells for the sign, the mantissa digits, the
// exponent sign and the exponent digits, and the ALU and radix status fields, all children of
// the panel. The entry fields of display.h say what to show; this file only lays the row out and
// puts two characters into each cell (a glyph, and '.' when a radix point follows it).
//
// A cell's text is replaced only when it differs, so a keystroke repaints the cells it changed
// and no others.
#include "dispcells.h"

#include "calc.h"
#include "controls.h"
#include "display.h"
#include "gdi.h"
#include "windmsg.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kRows = 4;          // the display row is 4 cells high
constexpr int kSignColumn = 3;    // the ALU field takes columns 0 to 2
constexpr int kExponentWidth = 2; // exponent cells are 2 by 2
constexpr int kExponentHeight = 2;
constexpr int kRadixTextX = 10; // pixels into the radix field

const char *kBlank = "  ";

void SetCell(const char *text, Window *cell) {
    if (cell && strcmp(cell->text ? cell->text : "", text) != 0)
        SetWindowText(text, cell);
}

// ---- painting the fields ------------------------------------------------------------------------

DisplayCells *CellsOf(Window *w) { return (DisplayCells *)w->extension; }

GC *FieldGC(Window *w, DisplayCells *c) {
    GC *gc = GetWindowGC(w);
    if (!gc)
        return nullptr;
    SetUnits(kUnitsPixels, gc);
    SetForeground(c->colors.digitBack, gc);
    FillBox(0, 0, w->right - w->left, w->bottom - w->top, gc);
    SetBackground(c->colors.digitBack, gc);
    if (c->statusFont >= 0)
        SetGCFont(c->statusFont, gc);
    return gc;
}

void FieldText(int x, int y, const char *text, Color color, GC *gc) {
    SetForeground(color, gc);
    MovePen(x, y, gc);
    DrawString(text, gc);
}

// The three lines: carry, overflow, and the state (exponent entry or error). The field is filled
// first: drawn text does not erase what an earlier line left.
int AluPaint(Window *w) {
    DisplayCells *c = CellsOf(w);
    GC *gc = c ? FieldGC(w, c) : nullptr;
    if (!gc)
        return 0;
    const Calculator *calc = c->calc;
    int carry = calc && calc->carry, overflow = calc && calc->overflow;
    int state = !calc ? 0 : calc->state == ENTRY_EXPONENT ? 1 : calc->state == CALC_ERROR ? 2 : 0;
    int h = GetLineSpacing(GetGCFont(gc), gc);
    FieldText(1, 0, carry ? "cry" : "     ", c->colors.aluText, gc);
    FieldText(1, h, overflow ? "ovr" : "      ", c->colors.aluText, gc);
    FieldText(1, 2 * h,
              state == 1   ? "exp  "
              : state == 2 ? "ERR  "
                           : "     ",
              c->colors.stateText, gc);
    c->aluShown[0] = carry;
    c->aluShown[1] = overflow;
    c->aluShown[2] = state;
    ReleaseGC(gc);
    return 0;
}

const char *RadixName(int radix) {
    switch (radix) {
    case 2:
        return "BIN  ";
    case 8:
        return "OCT  ";
    case 16:
        return "HEX  ";
    default:
        return "DEC  ";
    }
}

int RadixPaint(Window *w) {
    DisplayCells *c = CellsOf(w);
    GC *gc = c ? FieldGC(w, c) : nullptr;
    if (!gc)
        return 0;
    FieldText(kRadixTextX, 0, RadixName(c->calc ? c->calc->radix : 10), c->colors.radixText, gc);
    if (c->calc && c->calc->exactFunctions)
        FieldText(kRadixTextX, GetLineSpacing(GetGCFont(gc), gc), "exact", c->colors.stateText, gc);
    ReleaseGC(gc);
    return 0;
}

int FillerPaint(Window *w) {
    DisplayCells *c = CellsOf(w);
    GC *gc = c ? FieldGC(w, c) : nullptr;
    if (gc)
        ReleaseGC(gc);
    return 0;
}

// ---- making the row -----------------------------------------------------------------------------

Window *Cell(int x, int y, int width, int height, const char *name, const char *text,
             DisplayCells *c) {
    Window *w = NewDigitLabel(x, y, x + width - 1, y + height - 1, name, c->colors.digitText,
                              c->colors.digitBack, 0, c->panel);
    if (w)
        SetWindowText(text, w);
    return w;
}

Window *Field(int x, int y, int width, int height, const char *name, WindowProc paint,
              DisplayCells *c) {
    Window *w = OpenWindow(x, y, x + width - 1, y + height - 1, c->colors.digitText,
                           c->colors.digitBack, name, kWindowKindLabel, c->panel);
    if (w) {
        w->extension = c;
        w->onPaint = paint;
        ShowWindowTree(w);
    }
    return w;
}

void MoveCells(int x, int y, int width, int height, Window *w) {
    if (w && (w->cellLeft != x || w->cellTop != y || w->cellRight != x + width - 1 ||
              w->cellBottom != y + height - 1))
        MoveWindowTo(x, y, width, height, 0, w);
}

void CloseCells(Window ***cells, int count) {
    if (!*cells)
        return;
    for (int i = 0; i < count; i++)
        if ((*cells)[i])
            CloseWindow((*cells)[i]);
    WindowRelease(*cells);
    *cells = nullptr;
}

void CloseOne(Window **w) {
    if (*w)
        CloseWindow(*w);
    *w = nullptr;
}

// A row of `count` cells named with `format` from column x, each `width` by `height`.
Window **MakeRow(int count, int x, int width, int height, const char *format, const char *text,
                 DisplayCells *c) {
    Window **cells = (Window **)WindowAllocate(sizeof(Window *) * (count > 0 ? count : 1));
    if (!cells) {
        ReportMemoryError("Display cells");
        return nullptr;
    }
    memset(cells, 0, sizeof(Window *) * (count > 0 ? count : 1));
    for (int i = 0; i < count; i++) {
        char name[16];
        snprintf(name, sizeof name, format, i);
        cells[i] = Cell(x + i * width, 0, width, height, name, text, c);
        if (!cells[i]) {
            CloseCells(&cells, i);
            return nullptr;
        }
    }
    return cells;
}

} // namespace

int displayCellWidth(int digits) { return digits <= 10 ? 4 : digits <= 32 ? 3 : 2; }

int displayCellsLayout(int minWidth, Calculator *calc, DisplayCells *c) {
    if (!c || !calc || !WindowIsLive(c->panel))
        return 1;
    c->calc = calc;
    int digits = calc->digits, exponentDigits = calc->exponentDigits;
    if (c->laidOut && digits != c->digits) {
        CloseOne(&c->sign);
        CloseCells(&c->mantissa, c->digits);
        CloseOne(&c->exponentSign);
        CloseCells(&c->exponent, c->exponentDigits);
    } else if (c->laidOut && exponentDigits != c->exponentDigits) {
        CloseCells(&c->exponent, c->exponentDigits);
    }
    c->laidOut = 1;
    c->digits = digits;
    c->exponentDigits = exponentDigits;
    int w = displayCellWidth(digits);
    int exponentAt = (digits + 1) * w + kSignColumn; // the exponent sign cell's column
    int rowEnd = exponentAt + kExponentWidth * (exponentDigits + 1) - 1;

    int failed = 0;
    if (!c->sign && !(c->sign = Cell(kSignColumn, 0, w, kRows, "Sign", "-.", c)))
        failed = 1;
    if (!c->mantissa &&
        !(c->mantissa = MakeRow(digits, w + kSignColumn, w, kRows, "d%04d", "8.", c)))
        failed = 1;
    if (!c->exponentSign &&
        !(c->exponentSign = Cell(exponentAt, 0, kExponentWidth, kExponentHeight, "ExpSign", "", c)))
        failed = 1;
    if (!c->exponent && !(c->exponent = MakeRow(exponentDigits, exponentAt + kExponentWidth,
                                                kExponentWidth, kExponentHeight, "e%04d", "-.", c)))
        failed = 1;
    if (!c->alu && !(c->alu = Field(0, 0, kSignColumn, kRows, "AluStatus", AluPaint, c)))
        failed = 1;

    // The panel holds the row, and never less than its keys.
    int width = rowEnd + 1 > minWidth ? rowEnd + 1 : minWidth;
    Window *p = c->panel;
    // In pixels, where it is: a position snapped to the cell grid could push its frame off the
    // screen.
    int pixels = CellsToPixels(width, GetToolkitDefaults()->cellWidth);
    if (p->right - p->left + 1 != pixels)
        MoveWindowTo(p->left, p->top, pixels, p->bottom - p->top + 1, 1, p);
    int radixWidth = kExponentWidth * (exponentDigits + 1);
    if (!c->radix &&
        !(c->radix = Field(exponentAt, 2, radixWidth, kRows - 2, "RadixStat", RadixPaint, c)))
        failed = 1;
    MoveCells(exponentAt, 2, radixWidth, kRows - 2, c->radix);
    int fillerWidth = width - rowEnd - 1 > 0 ? width - rowEnd - 1 : 1;
    if (!c->filler &&
        !(c->filler = Field(rowEnd + 1, 0, fillerWidth, kRows, "Filler", FillerPaint, c)))
        failed = 1;
    MoveCells(rowEnd + 1, 0, fillerWidth, kRows, c->filler);
    for (int i = 0; i < 3; i++)
        c->aluShown[i] = -1;
    ShowWindowTree(p);
    return failed;
}

void displayCellsDraw(int request, DisplayCells *c) {
    if (!c || !c->mantissa || !c->exponent)
        return;
    const EntryFields *e = displayEntry();
    int digits = c->digits, exponentDigits = c->exponentDigits;
    if (request == CALC_ERROR) {
        for (int i = 0; i < digits; i++)
            SetCell("- ", c->mantissa[i]);
        for (int i = 0; i < exponentDigits; i++)
            SetCell("- ", c->exponent[i]);
        displayCellsRedrawAlu(0, c);
        return;
    }
    char text[3] = {0, 0, 0};
    // The mantissa, right-aligned, its sign just before the first digit.
    int typed = e && e->mantissaLength < digits ? e->mantissaLength : digits;
    int n = digits - typed;
    const char *sign = e && e->mantissaNegative ? "- " : kBlank;
    for (int i = 0; i < n - 1; i++)
        SetCell(kBlank, c->mantissa[i]);
    if (n > 0) {
        SetCell(sign, c->mantissa[n - 1]);
        SetCell(kBlank, c->sign);
    } else {
        SetCell(sign, c->sign);
    }
    for (int i = 0; i < typed; i++) {
        unsigned char byte = (unsigned char)e->mantissa[i];
        text[0] = (char)(byte & 0x7F);
        text[1] = (byte & 0x80) ? '.' : ' ';
        SetCell(text, c->mantissa[n + i]);
    }
    if (typed == 0 && digits > 0)
        SetCell("0 ", c->mantissa[digits - 1]);
    // The exponent likewise; an empty one shows "0" only while it is being typed.
    int etyped = e && e->exponentLength < exponentDigits ? e->exponentLength : exponentDigits;
    int m = exponentDigits - etyped;
    const char *esign = e && e->exponentNegative ? "- " : kBlank;
    for (int i = 0; i < m - 1; i++)
        SetCell(kBlank, c->exponent[i]);
    if (m > 0) {
        SetCell(etyped > 0 ? esign : kBlank, c->exponent[m - 1]);
        SetCell(kBlank, c->exponentSign);
    } else {
        SetCell(esign, c->exponentSign);
    }
    for (int i = 0; i < etyped; i++) {
        text[0] = e->exponent[i];
        text[1] = ' ';
        SetCell(text, c->exponent[m + i]);
    }
    if (etyped == 0 && exponentDigits > 0)
        SetCell(request == ENTRY_EXPONENT ? "0 " : kBlank, c->exponent[exponentDigits - 1]);
    displayCellsRedrawAlu(0, c);
}

void displayCellsRedrawAlu(int force, DisplayCells *c) {
    if (!c || !c->alu || !c->calc)
        return;
    const Calculator *calc = c->calc;
    int state = calc->state == ENTRY_EXPONENT ? 1 : calc->state == CALC_ERROR ? 2 : 0;
    if (!force && c->aluShown[0] == calc->carry && c->aluShown[1] == calc->overflow &&
        c->aluShown[2] == state)
        return;
    PostEvent(kEventRedraw, 0, c->alu);
}

void displayCellsRedrawRadix(DisplayCells *c) {
    if (c && c->radix)
        PostEvent(kEventRedraw, 0, c->radix);
}

void displayCellsRelease(DisplayCells *c) {
    if (!c)
        return;
    CloseOne(&c->sign);
    CloseCells(&c->mantissa, c->digits);
    CloseOne(&c->exponentSign);
    CloseCells(&c->exponent, c->exponentDigits);
    CloseOne(&c->alu);
    CloseOne(&c->radix);
    CloseOne(&c->filler);
    c->laidOut = 0;
    c->digits = c->exponentDigits = 0;
}

const char *displayCellText(const Window *cell) {
    return cell && WindowIsLive(cell) && cell->text ? cell->text : "";
}
