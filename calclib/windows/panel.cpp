// The calculator's panel (panel.h): its description, the key styles, the key functions, the
// radix and format switches, the digit count keys, the scientific dialog, the tooltips and the
// panel's lifecycle. The panel window's extension is its Panel record, which holds the
// Calculator; the calculator's display hooks lead back to the record through hooks.context.
//
// Start reading at calcPanelCreate.
#include "panel.h"

#include "calc.h"
#include "calcsettings.h"
#include "clipnum.h"
#include "controls.h"
#include "dialog.h"
#include "dispcells.h"
#include "display.h"
#include "fonts.h"
#include "gdi.h"
#include "keys.h"
#include "lists.h"
#include "number.h"
#include "precision.h"
#include "progwind.h"
#include "session.h"
#include "settings.h"
#include "tape.h"
#include "textwind.h"
#include "windmsg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr char kSourceFile[] = "calclib\\src\\panel";
constexpr uint32_t kPanelMagic = 0x50414E4C;
constexpr int kPanelWidth = 54; // cells: the keys' grid
constexpr int kPanelHeight = 16;
// The panel's push keys.
constexpr uint32_t kPushKey = kButtonCentred | kWindowBordered | kWindowTabStop | kWindowControl |
                              kButtonPush | kWindowKindButton;
static_assert(kPushKey == 0x2B100400);
constexpr uint32_t kRadio = kWindowKindButton | kButtonToggle | kButtonCheckLeft | kWindowTabStop;
constexpr uint32_t kToggle = kRadio | kButtonCheckBox;
constexpr uint32_t kRadixLabel = kWindowKindLabel | kButtonCentred;
constexpr int kTooltipWidth = 20; // cells

constexpr char kBoldSerifSpec[] = "face:helvetica!height:120!bold:0!italic:0!setwidth:1";
constexpr char kSmallSpec[] = "face:helvetica!height:100!bold:0!italic:0!setwidth:1";
constexpr int kFontSpecSize = 96;

// The key styles, in the order of the override records.
enum KeyStyle {
    kStylePanel,
    kStyleNumber,
    kStyleOperator,
    kStyleMisc,
    kStyleMemory,
    kStyleProgram,
    kStyleCount,
    kStyleDefault = kStyleCount
};

// The colour table, made once per panel.
enum PanelColor {
    kDigitText,
    kDigitBack,
    kRadixText,
    kAluText,
    kTooltipBack,
    kBlack,
    kWhite,
    kPlot2,
    kPlot3,
    kPlot4,
    kColorCount
};

struct Panel {
    uint32_t magic;                     // kPanelMagic while alive
    Calculator calc;                    //
    const char *settingsFile;           // the process's
    Window *window;                     // the panel
    DisplayCells cells;                 //
    DialogOverride styles[kStyleCount]; // the key styles
    char numberFont[kFontSpecSize];     // the number and operator keys' fontspec
    Color colors[kColorCount];          //
    WindowRef sci;                      // the scientific dialog, when open
    WindowRef tooltip;                  // the tooltip shown, when any
    int writtenX, writtenY;             // APPLICATION_ULX and _ULY as last written
    WindowRef tooltipKey;               // the key whose tooltip is shown
    PanelLists lists;                   // the register, constants and conversions lists
    WindowRef precision;                // the display precision dialog, when open
    PanelTape tape;                     // the printer tape, when open
    WindowRef program;                  // the program window, when open
    bool noted;                         // the title carries a refused paste's note
};

bool gToolkitFontsSet; // the toolkit font change is made once per process

// The panel's record, from the panel or anything inside it, and from the scientific dialog, which
// lends the panel's record (so the top window's record is taken whoever releases it).
Panel *PanelOf(Window *w) { return ExtensionRecordOf<Panel>(nullptr, kPanelMagic, w); }

Calculator *CalcOf(Window *w) {
    Panel *p = PanelOf(w);
    return p ? &p->calc : nullptr;
}

Panel *PanelOfCalc(Calculator *calc) {
    Panel *p = calc ? (Panel *)calc->hooks.context : nullptr;
    return p && p->magic == kPanelMagic ? p : nullptr;
}

Color ColorOf(CalcRgb c) {
    return AllocColor(c.red, c.green, c.blue, nullptr, nullptr, nullptr, 1);
}

// ---- the description ------------------------------------------------------------------------

struct KeyItem {
    int x, y, width, height;
    uint32_t flags;
    const char *name;
    const char *label; // null: the name
    int style;
};

// The keys below the display row (rows 0 to 3).
const KeyItem kKeys[] = {
    {0, 4, 5, 2, kPushKey, "D", nullptr, kStyleNumber},
    {5, 4, 5, 2, kPushKey, "E", nullptr, kStyleNumber},
    {10, 4, 5, 2, kPushKey, "F", nullptr, kStyleNumber},
    {15, 4, 5, 2, kPushKey, "Clear", nullptr, kStyleDefault},
    {20, 4, 5, 2, kPushKey, "AllClr", nullptr, kStyleDefault},
    {25, 4, 5, 2, kPushKey, "Del", nullptr, kStyleDefault},
    {30, 4, 5, 2, kPushKey, "Copy", nullptr, kStyleDefault},
    {35, 4, 5, 2, kPushKey, "Sto", nullptr, kStyleMemory},
    {40, 4, 5, 2, kPushKey, "Rcl", nullptr, kStyleMemory},
    {46, 4, 8, 2, kRadixLabel, "Radix", nullptr, kStyleDefault},
    {0, 6, 5, 2, kPushKey, "A", nullptr, kStyleNumber},
    {5, 6, 5, 2, kPushKey, "B", nullptr, kStyleNumber},
    {10, 6, 5, 2, kPushKey, "C", nullptr, kStyleNumber},
    {15, 6, 5, 2, kPushKey, "|", nullptr, kStyleOperator},
    {20, 6, 5, 2, kPushKey, "&", nullptr, kStyleOperator},
    {25, 6, 5, 2, kPushKey, "<<1", nullptr, kStyleOperator},
    {30, 6, 5, 2, kPushKey, ">>1", nullptr, kStyleOperator},
    {35, 6, 5, 2, kPushKey, "Left", "<<", kStyleOperator},
    {40, 6, 5, 2, kPushKey, "Right", ">>", kStyleOperator},
    {46, 6, 8, 1, kRadio, "mr02", "  2", kStyleDefault},
    {46, 7, 8, 1, kRadio, "mr08", "  8", kStyleDefault},
    {0, 8, 5, 2, kPushKey, "7", nullptr, kStyleNumber},
    {5, 8, 5, 2, kPushKey, "8", nullptr, kStyleNumber},
    {10, 8, 5, 2, kPushKey, "9", nullptr, kStyleNumber},
    {15, 8, 5, 2, kPushKey, "^", nullptr, kStyleOperator},
    {20, 8, 5, 2, kPushKey, "~", nullptr, kStyleOperator},
    {25, 8, 5, 2, kPushKey, "Int", nullptr, kStyleOperator},
    {30, 8, 5, 2, kPushKey, "i", "Frac", kStyleOperator},
    {35, 8, 10, 2, kPushKey, "Sci - Trig", nullptr, kStyleMisc},
    {46, 8, 8, 1, kRadio, "mr10", " 10", kStyleDefault},
    {46, 9, 8, 1, kRadio, "mr16", " 16", kStyleDefault},
    {0, 10, 5, 2, kPushKey, "4", nullptr, kStyleNumber},
    {5, 10, 5, 2, kPushKey, "5", nullptr, kStyleNumber},
    {10, 10, 5, 2, kPushKey, "6", nullptr, kStyleNumber},
    {15, 10, 5, 2, kPushKey, "X", nullptr, kStyleOperator},
    {20, 10, 5, 2, kPushKey, "/", nullptr, kStyleOperator},
    {25, 10, 5, 2, kPushKey, "Mod", nullptr, kStyleOperator},
    {30, 10, 5, 2, kPushKey, "r", "1/x", kStyleOperator},
    {35, 10, 5, 2, kPushKey, "!", nullptr, kStyleOperator},
    {40, 10, 5, 2, kPushKey, "Conv", nullptr, kStyleMisc},
    {46, 10, 8, 1, kToggle, "Printer", "Printer", kStyleDefault},
    {46, 11, 8, 1, kToggle, "Integer", "Int. Math", kStyleDefault},
    {0, 12, 5, 2, kPushKey, "1", nullptr, kStyleNumber},
    {5, 12, 5, 2, kPushKey, "2", nullptr, kStyleNumber},
    {10, 12, 5, 2, kPushKey, "3", nullptr, kStyleNumber},
    {15, 12, 5, 2, kPushKey, "+", nullptr, kStyleOperator},
    {20, 12, 5, 2, kPushKey, "-", nullptr, kStyleOperator},
    {25, 12, 5, 2, kPushKey, "q", "x^2", kStyleOperator},
    {30, 12, 5, 2, kPushKey, "pi", nullptr, kStyleOperator},
    {35, 12, 8, 2, kPushKey, "Precision", nullptr, kStyleMisc},
    {43, 12, 2, 1, kPushKey, "UpPrec", "+", kStyleMisc},
    {43, 13, 2, 1, kPushKey, "DownPrec", "-", kStyleMisc},
    {45, 12, 9, 2, kPushKey, "Program", nullptr, kStyleProgram},
    {0, 14, 5, 2, kPushKey, "0", nullptr, kStyleNumber},
    {5, 14, 5, 2, kPushKey, ".", nullptr, kStyleNumber},
    {10, 14, 5, 2, kPushKey, "v", "+/-", kStyleOperator},
    {15, 14, 10, 2, kPushKey, "=", nullptr, kStyleOperator},
    {25, 14, 5, 2, kPushKey, "(", nullptr, kStyleOperator},
    {30, 14, 5, 2, kPushKey, ")", nullptr, kStyleOperator},
    {35, 14, 5, 2, kPushKey, "exp", nullptr, kStyleOperator},
    {40, 14, 5, 2, kPushKey, "Const", nullptr, kStyleMisc},
    {45, 14, 9, 2, kPushKey, "Quit", nullptr, kStyleDefault},
};
constexpr int kKeyCount = sizeof kKeys / sizeof kKeys[0];

const KeyItem kSciKeys[] = {
    {0, 0, 5, 2, kPushKey, "sin", nullptr, kStyleMisc},
    {5, 0, 5, 2, kPushKey, "o", "cos", kStyleMisc},
    {10, 0, 5, 2, kPushKey, "tan", nullptr, kStyleMisc},
    {0, 2, 5, 2, kPushKey, "S", "asin", kStyleMisc},
    {5, 2, 5, 2, kPushKey, "O", "acos", kStyleMisc},
    {10, 2, 5, 2, kPushKey, "T", "atan", kStyleMisc},
    {16, 1, 8, 1, kRadio, "Degrees", "Degrees", kStyleMisc},
    {16, 2, 8, 1, kRadio, "Radians", "Radians", kStyleMisc},
    {16, 3, 8, 1, kToggle, "Exact", "Exact", kStyleMisc},
    {30, 0, 5, 2, kPushKey, "l", "ln", kStyleMisc},
    {35, 0, 5, 2, kPushKey, "g", "log", kStyleMisc},
    {30, 2, 5, 2, kPushKey, "e", "e^x", kStyleMisc},
    {35, 2, 5, 2, kPushKey, "n", "10^x", kStyleMisc},
    {40, 2, 5, 2, kPushKey, "p", "x^y", kStyleMisc},
    {46, 2, 8, 2, kPushKey, "Close", nullptr, kStyleDefault},
};
constexpr int kSciKeyCount = sizeof kSciKeys / sizeof kSciKeys[0];

// A description: the dialog record, the keys, the end.
void Describe(const DialogItem &head, const KeyItem *keys, int count, const Panel *p,
              DialogItem *out) {
    out[0] = head;
    for (int i = 0; i < count; i++) {
        const KeyItem &k = keys[i];
        const DialogOverride *style = k.style < kStyleCount ? &p->styles[k.style] : nullptr;
        out[i + 1] = {k.x, k.y, k.width, k.height, k.flags, k.name, k.label, style};
    }
    out[count + 1] = DialogItem{};
}

// ---- the switches -----------------------------------------------------------------------------

// Enables and disables the keys that depend on the radix and the format.
void UpdateKeys(Panel *p) {
    for (Window *w = p->window->chain; w; w = w->chain) {
        if (w->parent != p->window || WindowKind(w) != kWindowKindButton)
            continue;
        const CalcKeyFunction *key = calcKeyFunction(w->name);
        if (!key || key->need == kKeyNeedsNothing)
            continue;
        bool on = calcKeyEnabled(key, &p->calc) != 0;
        if (on && (w->flags & kWindowDisabled))
            EnableWindow(w);
        else if (!on && !(w->flags & kWindowDisabled))
            DisableWindow(w);
    }
}

const char *RadioOf(int radix) {
    switch (radix) {
    case 2:
        return "mr02";
    case 8:
        return "mr08";
    case 16:
        return "mr16";
    default:
        return "mr10";
    }
}

// The radix from a radio's name ("mr" and two digits).
void SelectRadix(int radix, Panel *p) {
    int old = p->calc.radix;
    calcSetRadix(radix, &p->calc);
    if (p->calc.radix != old)
        SetButtonCheck(RadioOf(old), 0, p->window);
    SetButtonCheck(RadioOf(p->calc.radix), 1, p->window);
    WriteIntSetting("RADIX", p->calc.radix, p->settingsFile);
    UpdateKeys(p);
    displayCellsRedrawRadix(&p->cells);
}

void SelectFormat(int format, Panel *p) {
    int old = p->calc.format;
    calcSetFormat(format, &p->calc);
    if (p->calc.format != old)
        WriteIntSetting("NUMBER_FORMAT", p->calc.format, p->settingsFile);
    SetButtonCheck("Integer", p->calc.format, p->window);
    UpdateKeys(p);
    displayCellsRedrawAlu(1, &p->cells);
}

int RadixPressed(int, Window *button) {
    Panel *p = PanelOf(button);
    if (!p) {
        AssertReport(kSourceFile, __LINE__);
        return 0;
    }
    SelectRadix(atoi(button->name + 2), p);
    return 0;
}

int IntegerPressed(int, Window *button) {
    Panel *p = PanelOf(button);
    if (!p) {
        AssertReport(kSourceFile, __LINE__);
        return 0;
    }
    SelectFormat(button->state, p);
    return 0;
}

// Undo or redo put a whole state back: the switches show its radix and format, and the keys
// and status fields follow them, as after the switches were pressed.
void Restored(Calculator *calc) {
    Panel *p = PanelOfCalc(calc);
    if (!p)
        return;
    for (int radix : {2, 8, 10, 16})
        SetButtonCheck(RadioOf(radix), radix == calc->radix, p->window);
    SetButtonCheck("Integer", calc->format, p->window);
    WriteIntSetting("RADIX", calc->radix, p->settingsFile);
    WriteIntSetting("NUMBER_FORMAT", calc->format, p->settingsFile);
    UpdateKeys(p);
    displayCellsRedrawRadix(&p->cells);
    displayCellsRedrawAlu(1, &p->cells);
}

// The engine's radix switch asks for another format.
void FormatChanged(int format, Calculator *calc) {
    if (Panel *p = PanelOfCalc(calc))
        SelectFormat(format, p);
}

// ---- the display --------------------------------------------------------------------------------

void DrawEntry(int request, Calculator *calc) {
    if (Panel *p = PanelOfCalc(calc))
        displayCellsDraw(request, &p->cells);
}

// The engine's tape writes; 1 while the tape is closed, as the engine expects.
int TapeWrite(const char *text, Calculator *calc) {
    Panel *p = PanelOfCalc(calc);
    return p ? tapeAppend(text, &p->tape) : 1;
}

void IndicatorsChanged(Calculator *calc) {
    if (Panel *p = PanelOfCalc(calc))
        displayCellsRedrawAlu(0, &p->cells);
}

// New digit counts: both stacks emptied, the cells laid out again and the entry rebuilt.
void ChangeCounts(int digits, int exponentDigits, Panel *p) {
    calcSetPrecision(digits, exponentDigits, &p->calc);
    displayCellsLayout(kPanelWidth, &p->calc, &p->cells);
    displayRequest(ENTRY_MANTISSA, &p->calc);
}

void ChangeDigits(int digits, Panel *p) { ChangeCounts(digits, p->calc.exponentDigits, p); }

int UpPrecPressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        ChangeDigits(p->calc.digits < kMaxMantissaDigits ? p->calc.digits + 1 : p->calc.digits, p);
    return 0;
}

int DownPrecPressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        ChangeDigits(p->calc.digits > 2 ? p->calc.digits - 1 : p->calc.digits, p);
    return 0;
}

// ---- keyboard equivalents ----------------------------------------------------------------------

// The keys the engine's keyboard map has no character for, on Alt and a letter: the button of
// that name is pressed (in the scientific dialog when it is open, for its keys).
struct AltKey {
    char letter;
    const char *button;
    const char *tip; // the tooltip, which names the key
};
const AltKey kAltKeys[] = {
    {'A', "AllClr", "All Clear 'Alt+A'"},
    {'C', "Copy", "Duplicate X 'Alt+C'"},
    {'S', "Sto", "Store in a register 'Alt+S'"},
    {'R', "Rcl", "Recall a register 'Alt+R'"},
    {'V', "Conv", "Conversions 'Alt+V'"},
    {'K', "Const", "Constants 'Alt+K'"},
    {'P', "Precision", "Display precision 'Alt+P'"},
    {'U', "UpPrec", "One digit more 'Alt+U'"},
    {'J', "DownPrec", "One digit less 'Alt+J'"},
    {'T', "Printer", "Printer tape 'Alt+T'"},
    {'G', "Program", "Program window 'Alt+G'"},
    {'Q', "Quit", "Quit 'Alt+Q'"},
    {'F', "Sci - Trig", "Scientific functions 'Alt+F'"},
    {'B', "mr02", "Binary 'Alt+B'"},
    {'O', "mr08", "Octal 'Alt+O'"},
    {'D', "mr10", "Decimal 'Alt+D'"},
    {'H', "mr16", "Hexadecimal 'Alt+H'"},
    {'I', "Integer", "Integer arithmetic 'Alt+I'"},
    {'E', "e", "e to the x 'Alt+E'"},
    {'Y', "p", "x to the y 'Alt+Y'"},
    {'X', "Exact", "Exact functions 'Alt+X'"},
};

// Tooltips of keys that the first-character table below does not name.
const struct {
    const char *button;
    const char *tip;
} kNamedTips[] = {
    {"Clear", "Clear 'Backspace'"},
    {"Del", "Delete a digit 'Delete'"},
    {"exp", "Exponent 'x'"},
    {"(", "Open parenthesis '('"},
    {")", "Close parenthesis ')'"},
    {"!", "Factorial '!'"},
    {"sin", "Sine 's'"},
    {"o", "Cosine 'o'"},
    {"tan", "Tangent 't'"},
    {"S", "Arc sine 'S'"},
    {"O", "Arc cosine 'O'"},
    {"T", "Arc tangent 'T'"},
    {"l", "Natural logarithm 'l'"},
    {"g", "Logarithm 'g'"},
    {"n", "Ten to the x 'n'"},
    {"Close", "Close 'Escape'"},
    {".", "Radix point '.'"},
    {"Degrees", "Degrees"},
    {"Radians", "Radians"},
};

// ---- keys ---------------------------------------------------------------------------------------

void ShowNote(const char *note, Panel *p);

// A key of the engine's table, by the button's name.
int EnginePressed(int, Window *button) {
    Calculator *calc = CalcOf(button);
    const CalcKeyFunction *key = calcKeyFunction(button->name);
    if (Panel *p = PanelOf(button); p && p->noted)
        ShowNote(nullptr, p);
    if (calc && key)
        key->press(button->name, calc);
    return 0;
}

// ---- the clipboard ------------------------------------------------------------------------------

void ShowAngleMode(Panel *p);

// The panel has no status field: a refused paste says why in its title, after the angle mode,
// until the next key. Null takes the note away.
void ShowNote(const char *note, Panel *p) {
    ShowAngleMode(p);
    if (note) {
        std::string title = std::string(p->window->text) + "  - " + note;
        SetWindowText(title.c_str(), p->window);
    }
    p->noted = note != nullptr;
}

// Ctrl+C: the number shown as text. With nothing to copy (the error state, a value shown as
// dashes) or a clipboard that cannot be had, the bell.
void CopyShown(Panel *p) {
    std::string text = calcClipText(&p->calc);
    if (text.empty() || !ClipboardPut(text.c_str(), (int)text.size(), p->window))
        RingBell();
}

// Ctrl+V: the clipboard's text becomes X when it is one number, else the bell and the note.
void PasteClipboard(Panel *p) {
    int length = 0;
    const char *text = ClipboardGet(&length, p->window);
    const char *why = text ? calcClipPaste(text, length, &p->calc) : "the clipboard holds no text";
    if (why) {
        RingBell();
        ShowNote((std::string("paste refused: ") + why).c_str(), p);
    }
}

// A click on the button, as the mouse would give it.
void PressButton(Window *button) {
    if (!button || (button->flags & kWindowDisabled))
        return;
    PostEvent(kEventLeftDown, 0, button);
    PostEvent(kEventLeftUp, 0, button);
}

Window *ChildNamed(const char *name, Window *dialog) {
    for (Window *w = dialog ? dialog->chain : nullptr; w; w = w->chain)
        if (w->parent == dialog && w->name && strcmp(w->name, name) == 0)
            return w;
    return nullptr;
}

void SelectExact(int on, Panel *p);

void PressAltKey(char letter, Panel *p) {
    for (const AltKey &k : kAltKeys) {
        if (k.letter != letter)
            continue;
        Window *button = ChildNamed(k.button, p->window);
        if (!button)
            button = ChildNamed(k.button, WindowRefGet(p->sci));
        if (button) {
            PressButton(button);
        } else if (strcmp(k.button, "Exact") == 0) {
            SelectExact(!p->calc.exactFunctions, p); // its toggle is on the closed dialog
        } else if (const CalcKeyFunction *f = calcKeyFunction(k.button)) {
            f->press(k.button, &p->calc); // a scientific function while its dialog is closed
        }
        return;
    }
}

int PanelKey(int key, Window *w) {
    Panel *p = PanelOf(w);
    if (!p)
        return 0;
    if (p->noted)
        ShowNote(nullptr, p);
    if (key >= keyAltA && key <= keyAltZ) {
        PressAltKey('A' + key - keyAltA, p);
        return 0;
    }
    switch (key) {
    case 3: // ^C
    case keyCtrlInsert:
        CopyShown(p);
        return 0;
    case 22: // ^V
    case keyShiftInsert:
        PasteClipboard(p);
        return 0;
    case 26: // ^Z, and ^Y or Shift+^Z to put back what it took
    case 25:
    case keyUndo:
    case keyRedo: {
        const bool redo = key == 25 || key == keyRedo || (KeyModifiers() & kKeyModShift);
        if (const char *why = calcUndo(redo, &p->calc)) {
            RingBell();
            ShowNote(why, p);
        }
        return 0;
    }
    default:
        // A key whose button is disabled types nothing, and is heard: 'x' in the integer format
        // must not start an exponent that the parse would then drop.
        if (calcPanelKey(key, &p->calc))
            RingBell();
        return 0;
    }
}

int PanelEnter(Window *w) {
    SetFocusWindow(w);
    return 0;
}

// ---- tooltips -----------------------------------------------------------------------------------

const char *TooltipText(const char *name) {
    if (!name)
        return nullptr;
    for (const AltKey &k : kAltKeys)
        if (strcmp(name, k.button) == 0)
            return k.tip;
    for (const auto &t : kNamedTips)
        if (strcmp(name, t.button) == 0)
            return t.tip;
    if (name[1] == 0 &&
        ((name[0] >= '0' && name[0] <= '9') || (name[0] >= 'A' && name[0] <= 'F'))) {
        static char digit[32];
        snprintf(digit, sizeof digit, "Digit %c '%c'", name[0], name[0]);
        return digit;
    }
    static const struct {
        char first;
        const char *text;
    } kTips[] = {
        {'&', "Logical AND '&'"},       {'+', "Add '+'"},
        {'-', "Subtract '-'"},          {'/', "Divide '/'"},
        {'<', "Shift Left 1 bit '<'"},  {'=', "Equals '='"},
        {'>', "Shift Right 1 bit '>'"}, {'I', "Truncate 'I'"},
        {'L', "Shift Left 'L'"},        {'M', "Modulus '%'"},
        {'R', "Shift Right 'R'"},       {'X', "Multiply '*'"},
        {'^', "Logical XOR '^'"},       {'i', "Fractional Part 'i'"},
        {'p', "Enter Pi 'p'"},          {'q', "Square 'q'"},
        {'r', "Reciprocal 'r'"},        {'v', "Sign Change 'v'"},
        {'|', "Logical OR '|'"},        {'~', "Logical NOT '~'"},
    };
    for (const auto &t : kTips)
        if (name && name[0] == t.first)
            return t.text;
    return nullptr;
}

void CloseTooltip(Panel *p) {
    if (Window *t = WindowRefGet(p->tooltip))
        CloseWindow(t);
    p->tooltip = {};
}

// The tooltip's width in cells: its text and a cell to spare, at least kTooltipWidth.
int TooltipCells(const char *text, const Window *panel) {
    int pixels = 0;
    for (const char *c = text; *c; c++)
        pixels += CharWidth((unsigned char)*c, panel->font, nullptr);
    int cells = PixelsToCells(pixels, GetToolkitDefaults()->cellWidth) + 2;
    return cells > kTooltipWidth ? cells : kTooltipWidth;
}

int TooltipPressed(int, Window *tip) {
    if (Panel *p = PanelOf(tip))
        CloseTooltip(p);
    return 0;
}

// A key's tooltip, on the panel or the scientific dialog, inside the window the key is on.
int ShowTooltip(int, Window *button) {
    Panel *p = PanelOf(button);
    Window *on = button->parent;
    if (!p || !on || (on != p->window && on != WindowRefGet(p->sci)))
        return 0;
    CloseTooltip(p);
    const char *text = TooltipText(button->name);
    if (!text)
        return 0;
    Window *panel = p->window;
    int width = on->cellRight - on->cellLeft + 1;
    int height = on->cellBottom - on->cellTop + 1;
    int cells = TooltipCells(text, panel);
    const bool rightHalf = button->cellLeft >= width / 2;
    int left = rightHalf ? button->cellLeft - cells : button->cellLeft + 1;
    int row = button->cellTop < height * 2 / 3 ? button->cellTop + 1 : button->cellTop;
    // Never over its own key: the pointer resting there would leave the key for the tooltip,
    // which would take the tooltip away again.
    if (row >= button->cellTop && row <= button->cellBottom && left <= button->cellRight &&
        left + cells >= button->cellLeft)
        left = rightHalf ? button->cellLeft - cells - 1 : button->cellRight + 1;
    left = left + cells >= width ? width - 1 - cells : left;
    left = left < 0 ? 0 : left;
    Window *tip = NewLabel(left, row, left + cells, row, "tooltip", 0, on);
    if (!tip)
        return 0;
    tip->foreground = panel->foreground;
    tip->background = p->colors[kTooltipBack];
    tip->onLeftDown = tip->onRightDown = TooltipPressed; // it may lie over other keys
    SetWindowText(text, tip);
    ShowWindowTree(tip);
    p->tooltip = WindowRefOf(tip);
    p->tooltipKey = WindowRefOf(button);
    return 0;
}

// Resting the pointer on a key shows its tooltip; leaving or pressing the key takes it away.
// The keys' own leave and press handlers run afterwards.

void CloseTooltipOf(Window *key) {
    Panel *p = PanelOf(key);
    if (p && WindowRefGet(p->tooltipKey) == key)
        CloseTooltip(p);
}

int KeyLeave(Window *key) {
    CloseTooltipOf(key);
    return ButtonLeaveDefault(key);
}

int KeyPress(int position, Window *key) {
    CloseTooltipOf(key);
    return ButtonPressDefault(position, key);
}

// Resting on a key, or right-clicking a push key, shows its tooltip.
void AttachTooltips(Window *dialog) {
    for (Window *k = dialog->chain; k; k = k->chain) {
        if (k->parent != dialog || WindowKind(k) != kWindowKindButton)
            continue;
        if ((k->flags & kPushKey) == kPushKey)
            k->onRightDown = ShowTooltip;
        k->onHover = ShowTooltip;
        k->onLeave = KeyLeave;
        k->onLeftDown = KeyPress;
    }
}

// ---- the scientific dialog ----------------------------------------------------------------------

// The angle mode is shown in the panel's title.
void ShowAngleMode(Panel *p) {
    std::string title = std::string(kPanelTitle) + (p->calc.radians ? "  [RAD]" : "  [DEG]");
    SetWindowText(title.c_str(), p->window);
}

void SelectAngle(int radians, Panel *p) {
    Window *sci = WindowRefGet(p->sci);
    if (p->calc.radians != radians && sci)
        SetButtonCheck(radians ? "Degrees" : "Radians", 0, sci);
    p->calc.radians = radians;
    if (sci)
        SetButtonCheck(radians ? "Radians" : "Degrees", 1, sci);
    WriteIntSetting("ANGLE_FORMAT", radians, p->settingsFile);
    ShowAngleMode(p);
}

// Exact functions: the toggle, the setting and the word "exact" under the radix.
void SelectExact(int on, Panel *p) {
    p->calc.exactFunctions = on ? 1 : 0;
    if (Window *sci = WindowRefGet(p->sci))
        SetButtonCheck("Exact", p->calc.exactFunctions, sci);
    WriteIntSetting("EXACT_FUNCTIONS", p->calc.exactFunctions, p->settingsFile);
    displayCellsRedrawRadix(&p->cells);
}

int ExactPressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        SelectExact(button->state, p);
    return 0;
}

int AnglePressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        SelectAngle(button->name[0] == 'R', p);
    return 0;
}

// Keys the dialog does not use itself go to the calculator, so "30 sin 2*3=" can be typed on.
int SciKey(int key, Window *w) {
    Panel *p = PanelOf(w);
    switch (key) {
    case keyEscape:
    case 3:
    case '\t':
    case keyRight:
    case keyDown:
        return p ? DialogKeyDefault(key, w) : 0;
    default:
        return p ? PanelKey(key, p->window) : 0;
    }
}

int SciClose(Window *w) {
    if (Panel *p = PanelOf(w))
        p->sci = {};
    w->extension = nullptr; // the panel's record, not the dialog's
    return CloseWindow(w);
}

int SciClosePressed(int, Window *button) {
    if (Window *d = button->parent)
        PostEvent(kEventClose, 0, d);
    return 0;
}

void AttachEngineKeys(const KeyItem *keys, int count, Window *dialog) {
    for (int i = 0; i < count; i++)
        if (calcKeyFunction(keys[i].name))
            SetButtonFunction(keys[i].name, EnginePressed, dialog);
}

int SciPressed(int, Window *button) {
    Panel *p = PanelOf(button);
    if (!p)
        return 0;
    if (Window *open = WindowRefGet(p->sci)) {
        CloseWindow(open);
        p->sci = {};
        return 0;
    }
    Window *panel = p->window;
    DialogItem head = {panel->cellLeft,
                       panel->cellBottom + 3,
                       panel->cellRight - panel->cellLeft + 1,
                       4,
                       kWindowFramed | kDialogTitled,
                       "sci - trig functions",
                       nullptr,
                       &p->styles[kStylePanel]};
    DialogItem desc[kSciKeyCount + 2];
    Describe(head, kSciKeys, kSciKeyCount, p, desc);
    Window *sci = CreateWholeDialog(desc, nullptr);
    if (!sci)
        return 0;
    sci->extension = p;
    p->sci = WindowRefOf(sci);
    sci->onKey = SciKey;
    sci->onClose = SciClose;
    AttachEngineKeys(kSciKeys, kSciKeyCount, sci);
    SetButtonFunction("Degrees", AnglePressed, sci);
    SetButtonFunction("Radians", AnglePressed, sci);
    SetButtonFunction("Close", SciClosePressed, sci);
    SetButtonFunction("Exact", ExactPressed, sci);
    SetButtonCheck(p->calc.radians ? "Radians" : "Degrees", 1, sci);
    SetButtonCheck("Exact", p->calc.exactFunctions, sci);
    AttachTooltips(sci);
    ShowDialog(sci);
    return 0;
}

// ---- the lifecycle ------------------------------------------------------------------------------

// The panel's position as the user sees it is kept, so the next start opens it there.
int PanelLayout(Window *w) {
    Panel *p = PanelOf(w);
    if (!p || w != p->window)
        return 0;
    if (w->cellLeft != p->writtenX) {
        WriteIntSetting("APPLICATION_ULX", w->cellLeft, p->settingsFile);
        p->writtenX = w->cellLeft;
    }
    if (w->cellTop != p->writtenY) {
        WriteIntSetting("APPLICATION_ULY", w->cellTop, p->settingsFile);
        p->writtenY = w->cellTop;
    }
    return 0;
}

void FreePanel(Panel *p) {
    p->magic = 0;
    calcRelease(&p->calc);
    p->calc.magic = 0;
    p->~Panel();
    WindowRelease(p);
}

// Closing the panel, however it is closed: the windows that depend on it go first, while the
// record they use still exists; then the record.
int PanelRelease(Window *w) {
    Panel *p = PanelOf(w);
    if (!p)
        return 0;
    if (Window *sci = WindowRefGet(p->sci))
        CloseWindow(sci);
    progwindClose(&p->program); // first: it ends a run that would draw into the display
    listsCloseAll(&p->lists);
    precisionClose(&p->precision);
    tapeClose(&p->tape);
    CloseTooltip(p);
    displayCellsRelease(&p->cells);
    p->calc.hooks = CalcHooks{};
    w->extension = nullptr;
    FreePanel(p);
    return 0;
}

// The toolkit's dialog fonts become 12-point Helvetica (and the small font 10-point), once per
// process, and cells grow with the screen's scale.
void SetToolkitFonts(void) {
    if (gToolkitFontsSet)
        return;
    const ToolkitDefaults *live = GetToolkitDefaults();
    if (!live)
        return;
    ToolkitDefaults d = *live;
    d.fontSpec[kFontBoldSerif] = kBoldSerifSpec;
    d.fontSpec[kFontSmall] = kSmallSpec;
    int scale = ScreenScale();
    if (scale > 1 && d.cellWidth == kDefaultCellWidth && d.cellHeight == kDefaultCellHeight) {
        d.cellWidth *= scale;
        d.cellHeight *= scale;
    }
    SetToolkitDefaults(&d);
    gToolkitFontsSet = true;
}

void MakeStyles(const CalcPanelSettings &s, Panel *p) {
    // The number keys' face is bounded: a face too long for the spec falls back to helvetica.
    const char *face = s.numberKeyFontFace.c_str();
    int n = snprintf(p->numberFont, sizeof p->numberFont,
                     "face:%s!height:%d0!bold:%d!italic:%d!setwidth:1", face, s.numberKeyFontSize,
                     s.numberKeyFontBold, s.numberKeyFontItalic);
    if (n < 0 || n >= (int)sizeof p->numberFont || strchr(face, '!'))
        snprintf(p->numberFont, sizeof p->numberFont,
                 "face:helvetica!height:%d0!bold:%d!italic:%d!setwidth:1", s.numberKeyFontSize,
                 s.numberKeyFontBold, s.numberKeyFontItalic);
    const CalcRgb *pairs[kStyleCount][2] = {
        {&s.foreground, nullptr},
        {&s.numberKeyText, &s.numberKeyBack},
        {&s.operatorKeyText, &s.operatorKeyBack},
        {&s.miscKeyText, &s.miscKeyBack},
        {&s.memKeyText, &s.memKeyBack},
        {&s.programKeyText, &s.programKeyBack},
    };
    for (int i = 0; i < kStyleCount; i++) {
        DialogOverride &o = p->styles[i];
        o = DialogOverride{};
        o.foreground = ColorOf(*pairs[i][0]);
        o.useForeground = 1;
        if (pairs[i][1]) {
            o.background = ColorOf(*pairs[i][1]);
            o.useBackground = 1;
        }
        if (i == kStyleNumber || i == kStyleOperator) {
            o.fontSpec = p->numberFont;
            o.useFont = 1;
        }
    }
}

void MakeColors(const CalcPanelSettings &s, Panel *p) {
    p->colors[kDigitText] = ColorOf(s.digitText);
    p->colors[kDigitBack] = ColorOf(s.digitBack);
    p->colors[kRadixText] = ColorOf(s.radixStatusText);
    p->colors[kAluText] = ColorOf(s.aluStatusText);
    p->colors[kTooltipBack] = ColorOf(s.toolTipBack);
    p->colors[kBlack] = ColorOf({0, 0, 0});
    p->colors[kWhite] = ColorOf({255, 255, 255});
    p->colors[kPlot2] = ColorOf(s.plotColor2);
    p->colors[kPlot3] = ColorOf(s.plotColor3);
    p->colors[kPlot4] = ColorOf(s.plotColor4);
}

int ListKeyPressed(int, Window *button) {
    Panel *p = PanelOf(button);
    if (!p || !button->name)
        return 0;
    int kind = strcmp(button->name, "Sto") == 0     ? kListStore
               : strcmp(button->name, "Rcl") == 0   ? kListRecall
               : strcmp(button->name, "Const") == 0 ? kListConstants
                                                    : kListConversions;
    listsPressed(kind, button, p->window, &p->lists);
    return 0;
}

int PrinterPressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        tapeToggle(p->window, &p->tape);
    return 0;
}

int ProgramPressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        progwindToggle(p->window, WindowRefGet(p->tape.window), &p->program);
    return 0;
}

// Quit throws away a modified program only when the user says so.
int QuitPressed(int value, Window *button) {
    Panel *p = PanelOf(button);
    if (p && !progwindConfirmDiscard(&p->program))
        return 0;
    return CloseDialogButton(value, button);
}

int PrecisionPressed(int, Window *button) {
    if (Panel *p = PanelOf(button))
        precisionOpen(p->window, &p->precision);
    return 0;
}

void AttachKeys(Panel *p) {
    Window *w = p->window;
    AttachEngineKeys(kKeys, kKeyCount, w);
    SetButtonFunction("Program", ProgramPressed, w);
    SetButtonFunction("Printer", PrinterPressed, w);
    for (const char *name : {"Sto", "Rcl", "Conv", "Const"})
        SetButtonFunction(name, ListKeyPressed, w);
    SetButtonFunction("Precision", PrecisionPressed, w);
    SetButtonFunction("Sci - Trig", SciPressed, w);
    SetButtonFunction("UpPrec", UpPrecPressed, w);
    SetButtonFunction("DownPrec", DownPrecPressed, w);
    SetButtonFunction("Quit", QuitPressed, w);
    SetButtonFunction("Integer", IntegerPressed, w);
    for (const char *name : {"mr02", "mr08", "mr10", "mr16"})
        SetButtonFunction(name, RadixPressed, w);
    AttachTooltips(w);
}

} // namespace

namespace {

// calcPanelCreate's work, inside its batch of settings.
Window *BuildPanel(const char *settingsFile, Panel *p) {
    p->settingsFile = settingsFile;
    p->calc.settingsFile = settingsFile;
    CalcPanelSettings settings;
    int registers = calcSessionRead(settingsFile, nullptr, &p->calc, &settings);
    SetToolkitFonts();
    MakeStyles(settings, p);
    MakeColors(settings, p);

    DialogItem head = {settings.x,
                       settings.y,
                       kPanelWidth,
                       kPanelHeight,
                       kWindowFramed | kDialogTitled,
                       kPanelTitle,
                       nullptr,
                       &p->styles[kStylePanel]};
    DialogItem desc[kKeyCount + 2];
    Describe(head, kKeys, kKeyCount, p, desc);
    Window *w = CreateWholeDialog(desc, nullptr);
    if (!w) {
        FreePanel(p);
        return nullptr;
    }
    p->window = w;
    // The keys are laid out cell by cell at one size: a larger frame would only show a margin.
    SetWindowFixedSize(true, w);
    w->extension = p;
    w->releaseExtension = PanelRelease;
    w->onLayout = PanelLayout;
    w->onKey = PanelKey;
    w->onEnter = PanelEnter;
    p->writtenX = settings.x;
    p->writtenY = settings.y;
    ShowAngleMode(p);
    AttachKeys(p);

    // The switches show the record's radix and format; the status fields are drawn once the
    // layout below has made them.
    int radix = p->calc.radix;
    SetButtonCheck(RadioOf(radix), 1, w);
    WriteIntSetting("RADIX", radix, settingsFile);
    SetButtonCheck("Integer", p->calc.format, w);
    UpdateKeys(p);

    calcSessionStart(registers, nullptr, &p->calc);
    p->calc.hooks.drawEntry = DrawEntry;
    p->calc.hooks.indicatorsChanged = IndicatorsChanged;
    p->calc.hooks.tapeWrite = TapeWrite;
    p->calc.hooks.formatChanged = FormatChanged;
    p->calc.hooks.restored = Restored;
    p->calc.hooks.context = p;

    p->cells.panel = w;
    p->cells.colors = {p->colors[kDigitText], p->colors[kDigitBack], p->colors[kAluText],
                       p->colors[kRadixText], p->colors[kPlot3]};
    p->cells.statusFont = GetToolkitDefaults()->fontIndex[kFontSmall];
    p->calc.state = ENTRY_MANTISSA;
    if (displayCellsLayout(kPanelWidth, &p->calc, &p->cells) != 0) {
        CloseWindow(w); // through PanelClose: the record goes with it
        return nullptr;
    }
    displayRebuild(&p->calc);
    displayRequest(ENTRY_MANTISSA, &p->calc);
    return w;
}

} // namespace

Window *calcPanelCreate(const char *settingsFile) {
    if (!GetToolkitDefaults())
        return nullptr;
    void *memory = WindowAllocate(sizeof(Panel));
    if (!memory) {
        ReportMemoryError("Calculator panel");
        return nullptr;
    }
    Panel *p = new (memory) Panel{};
    p->magic = kPanelMagic;
    SettingsBatchBegin(settingsFile); // a first start writes its defaults once
    Window *w = BuildPanel(settingsFile, p);
    SettingsBatchEnd();
    return w;
}

void calcPanelChooseToolkitFonts(void) {
    SetDefaultFontSpec(kFontBoldSerif, kBoldSerifSpec);
    SetDefaultFontSpec(kFontSmall, kSmallSpec);
}

Calculator *calcPanelRecord(Window *panel) {
    Panel *p = panel && !panel->parent ? (Panel *)panel->extension : nullptr;
    return p && p->magic == kPanelMagic && p->window == panel ? &p->calc : nullptr;
}

void calcPanelSelectFormat(int format, Window *panel) {
    if (calcPanelRecord(panel))
        SelectFormat(format, PanelOf(panel));
}

void calcPanelSetDigits(int digits, int exponentDigits, Window *panel) {
    if (calcPanelRecord(panel))
        ChangeCounts(digits, exponentDigits, PanelOf(panel));
}
