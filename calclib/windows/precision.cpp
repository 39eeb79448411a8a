// The display precision dialog (precision.h). The dialog is a top-level window of its own; its
// extension is a PrecisionDialog record holding the pending choices and a reference to the
// panel, through which every action finds the calculator, so nothing is written into a panel
// that has gone.
//
// Start reading at precisionOpen, then PrecisionOk.
#include "precision.h"

#include "calc.h"
#include "calcsettings.h"
#include "controls.h"
#include "dialog.h"
#include "number.h"
#include "panel.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kPrecisionMagic = 0x50524543;
// Bordered, so the fields show where to type even when empty.
constexpr uint32_t kEdit = kWindowKindText | kWindowTakesFocus | kWindowTabStop | kWindowBordered;
constexpr int kFormatAutomatic = 2; // the pending format besides 0 floating and 1 integer

const DialogItem kDescription[] = {
    {40, 5, 34, 17, kWindowFramed | kDialogTitled, "Display Precision", nullptr, nullptr},
    {1, 1, 16, 2, kWindowKindLabel, "Display Digits:", nullptr, nullptr},
    {1, 3, 16, 2, kWindowKindLabel, "Exponent Digits:", nullptr, nullptr},
    {21, 1, 5, 2, kEdit, "dispdigs", nullptr, nullptr},
    {21, 3, 5, 2, kEdit, "expdigs", nullptr, nullptr},
    {1, 6, 14, 1, kWindowKindLabel, "Display Format", nullptr, nullptr},
    {5, 8, 14, 1, kRadioItem, "regcheck", "Decimal", nullptr},
    {5, 9, 14, 1, kRadioItem, "engcheck", "Engineering", nullptr},
    {5, 10, 14, 1, kRadioItem, "scicheck", "Scientific", nullptr},
    {18, 6, 14, 1, kWindowKindLabel, "Math Format", nullptr, nullptr},
    {19, 8, 14, 1, kRadioItem, "intcheck", "Integer", nullptr},
    {19, 9, 14, 1, kRadioItem, "fltcheck", "Floating Point", nullptr},
    {19, 10, 14, 1, kRadioItem, "autcheck", "Automatic", nullptr},
    {5, 12, 20, 1, kCheckItem, "fixcheck", "Fix decimal point", nullptr},
    {1, 14, 20, 2, kWindowKindLabel, "radixplaces", "Digits past dec. point", nullptr},
    {21, 14, 5, 2, kEdit, "fixrp", nullptr, nullptr},
    {27, 14, 6, 2, kDialogButtonItem, "OK", nullptr, nullptr},
    {27, 1, 6, 2, kDialogButtonItem, "Cancel", nullptr, nullptr},
    {},
};

struct PrecisionDialog {
    uint32_t magic;     // kPrecisionMagic while alive
    WindowRef panel;    //
    WindowRef *slot;    // the panel's reference to the dialog, cleared on close
    int pendingDisplay; // notation in the low 4 bits, kDisplayFixedPoint
    int pendingFormat;  // 0 floating, 1 integer, kFormatAutomatic
};

int PrecisionRelease(Window *dialog);

// The dialog and its record, from the dialog or one of its items, while it is open.
Window *DialogOf(Window *w) { return ExtensionWindowOf(PrecisionRelease, w); }
PrecisionDialog *RecordOf(Window *w) {
    return ExtensionRecordOf<PrecisionDialog>(PrecisionRelease, kPrecisionMagic, w);
}

const char *NotationRadio(int notation) {
    return notation == 2 ? "scicheck" : notation == 3 ? "engcheck" : "regcheck";
}

const char *FormatRadio(int format) {
    return format == kFormatAutomatic ? "autcheck" : format == 1 ? "intcheck" : "fltcheck";
}

void ShowPlaces(bool fixed, Window *dialog) {
    EnableItem("fixrp", fixed, dialog);
    EnableItem("radixplaces", fixed, dialog);
}

int NotationPressed(int, Window *radio) {
    PrecisionDialog *r = RecordOf(radio);
    Window *dialog = DialogOf(radio);
    if (!r || !dialog)
        return 0;
    int notation = radio->name[0] == 's' ? 2 : radio->name[0] == 'e' ? 3 : 1;
    int old = r->pendingDisplay & kDisplayNotationMask;
    if (old != notation)
        SetButtonCheck(NotationRadio(old), 0, dialog);
    SetButtonCheck(NotationRadio(notation), 1, dialog);
    r->pendingDisplay = (r->pendingDisplay & ~kDisplayNotationMask) | notation;
    return 0;
}

int FormatPressed(int, Window *radio) {
    PrecisionDialog *r = RecordOf(radio);
    Window *dialog = DialogOf(radio);
    if (!r || !dialog)
        return 0;
    int format = radio->name[0] == 'a' ? kFormatAutomatic : radio->name[0] == 'i' ? 1 : 0;
    if (r->pendingFormat != format)
        SetButtonCheck(FormatRadio(r->pendingFormat), 0, dialog);
    SetButtonCheck(FormatRadio(format), 1, dialog);
    r->pendingFormat = format;
    return 0;
}

int FixedPressed(int, Window *box) {
    PrecisionDialog *r = RecordOf(box);
    Window *dialog = DialogOf(box);
    if (!r || !dialog)
        return 0;
    bool fixed = !(r->pendingDisplay & kDisplayFixedPoint);
    SetButtonCheck("fixcheck", fixed, dialog);
    ShowPlaces(fixed, dialog);
    r->pendingDisplay ^= kDisplayFixedPoint;
    return 0;
}

// A field as a decimal number within low..high; what does not begin with a number reads as 0.
int FieldValue(const char *name, int low, int high, Window *dialog) {
    char text[32] = "";
    GetItemText(name, text, sizeof text, dialog);
    errno = 0;
    long value = strtol(text, nullptr, 10);
    if (errno == ERANGE)
        value = value < 0 ? LONG_MIN : LONG_MAX;
    return value < low ? low : value > high ? high : (int)value;
}

// Writes the key when the file holds anything else: a value confirmed equal to the one in use
// still repairs a file edited meanwhile.
void WriteIfDiffers(const char *key, int value, const char *file) {
    char text[kSettingTextSize], want[16];
    snprintf(want, sizeof want, "%d", value);
    if (!ProfileReadString(kSettingsSection, key, text, sizeof text, file) ||
        strcmp(text, want) != 0)
        WriteIntSetting(key, value, file);
}

// A value no integer of its own length can hold keeps the floating format.
bool TooWideForInteger(const Calculator *calc) {
    for (const Number *n = calc->operands; n; n = n->next)
        if (abs(n->exponent) >= n->length)
            return true;
    return false;
}

void ApplyFormat(PrecisionDialog *r, Calculator *calc, Window *panel) {
    int format = -1;
    if (calc->autoFormat && r->pendingFormat != kFormatAutomatic) {
        calc->autoFormat = 0;
        format = r->pendingFormat;
    } else if (!calc->autoFormat && r->pendingFormat != calc->format) {
        if (r->pendingFormat == kFormatAutomatic) {
            calc->autoFormat = 1;
            // The typed entry is taken first: it is one of the values that may be too wide.
            calcSetFormat(calc->format, calc);
            format = calc->radix != 10 && !TooWideForInteger(calc) ? 1 : 0;
        } else {
            format = r->pendingFormat;
        }
    }
    if (format < 0)
        return;
    calcPanelSelectFormat(format, panel);
    WriteIntSetting("NUMBER_FORMAT", calc->format, calc->settingsFile);
    WriteIntSetting("NUMBER_FORMAT_AUTO", calc->autoFormat, calc->settingsFile);
}

// OK: every field within its bounds first; the format and the notation are applied while the
// cells still have the old counts (a value drawn for the new counts would not fit them), then
// the counts, which lay the cells out again.
int PrecisionOk(int, Window *button) {
    PrecisionDialog *r = RecordOf(button);
    Window *dialog = DialogOf(button);
    if (!r || !dialog)
        return 0;
    Window *panel = WindowRefGet(r->panel);
    Calculator *calc = calcPanelRecord(panel);
    if (!calc) {
        PostEvent(kEventClose, 0, dialog);
        return 0;
    }
    const char *file = calc->settingsFile;
    int digits = FieldValue("dispdigs", 2, kMaxMantissaDigits, dialog);
    int exponentDigits = FieldValue("expdigs", 0, kMaxExponentDigits, dialog);
    bool fixed = (r->pendingDisplay & kDisplayFixedPoint) != 0;
    int places = fixed ? FieldValue("fixrp", 0, digits, dialog) : calc->fixedPlaces;

    SettingsBatchBegin(file);
    ApplyFormat(r, calc, panel);
    if (fixed) {
        calc->fixedPlaces = places;
        WriteIfDiffers("FIXED_RADIX_PLACE", places, file);
    }
    int display = (calc->displayFormat & ~(kDisplayNotationMask | kDisplayFixedPoint)) |
                  (r->pendingDisplay & (kDisplayNotationMask | kDisplayFixedPoint));
    if (display != calc->displayFormat) {
        calc->displayFormat = display;
        WriteIntSetting("DISPLAY_FORMAT", display, file);
    }
    bool counts = digits != calc->digits || exponentDigits != calc->exponentDigits;
    WriteIfDiffers("MANTISSA_DIGITS", digits, file);
    WriteIfDiffers("EXPONENT_DIGITS", exponentDigits, file);
    SettingsBatchEnd();
    if (counts)
        calcPanelSetDigits(digits, exponentDigits, panel);
    else
        calcEquals(calc);
    PostEvent(kEventClose, 0, dialog);
    return 0;
}

// Return anywhere but on a button is OK; the dialog's own keys do the rest.
int PrecisionKey(int key, Window *dialog) {
    PrecisionDialog *r = RecordOf(dialog);
    if (!r)
        return 0;
    Window *current = WindowIsLive(dialog->current) ? dialog->current : nullptr;
    bool onButton = current && WindowKind(current) == kWindowKindButton;
    if ((key == '\r' || key == '\n') && !onButton && !PressedButton()) {
        if (Window *ok = FindNamedWindow("OK", dialog))
            PrecisionOk(0, ok);
        return 0;
    }
    return DialogKeyDefault(key, dialog);
}

int PrecisionClose(Window *dialog) {
    PrecisionDialog *r = RecordOf(dialog);
    if (r && r->slot && WindowRefGet(*r->slot) == dialog)
        *r->slot = {};
    return CloseWindow(dialog);
}

int PrecisionRelease(Window *dialog) {
    PrecisionDialog *r = (PrecisionDialog *)dialog->extension;
    dialog->extension = nullptr;
    if (r && r->magic == kPrecisionMagic) {
        r->magic = 0;
        WindowRelease(r);
    }
    return 0;
}

void SetNumber(const char *name, int value, Window *dialog) {
    char text[16];
    int n = snprintf(text, sizeof text, "%d", value);
    SetItemText(name, text, n, dialog);
}

} // namespace

Window *precisionOpen(Window *panel, WindowRef *open) {
    Calculator *calc = calcPanelRecord(panel);
    if (!calc || !open)
        return nullptr;
    if (Window *dialog = WindowRefGet(*open)) {
        ShowDialog(dialog);
        return dialog;
    }
    void *memory = WindowAllocate(sizeof(PrecisionDialog));
    if (!memory) {
        ReportMemoryError("Precision dialog");
        return nullptr;
    }
    Window *dialog = CreateWholeDialog(kDescription, nullptr);
    if (!dialog) {
        WindowRelease(memory);
        return nullptr;
    }
    PrecisionDialog *r = new (memory) PrecisionDialog{};
    r->magic = kPrecisionMagic;
    r->panel = WindowRefOf(panel);
    r->slot = open;
    r->pendingDisplay = calc->displayFormat & (kDisplayNotationMask | kDisplayFixedPoint);
    r->pendingFormat = calc->autoFormat ? kFormatAutomatic : calc->format;
    dialog->extension = r;
    dialog->releaseExtension = PrecisionRelease;
    dialog->onClose = PrecisionClose;
    dialog->onKey = PrecisionKey;
    *open = WindowRefOf(dialog);

    SetNumber("dispdigs", calc->digits, dialog);
    SetNumber("expdigs", calc->exponentDigits, dialog);
    bool fixed = (calc->displayFormat & kDisplayFixedPoint) != 0;
    // Places kept from an earlier fixed mode stay in view, greyed, while the point is free.
    if (fixed || calc->fixedPlaces >= 0)
        SetNumber("fixrp", calc->fixedPlaces < 0 ? 0 : calc->fixedPlaces, dialog);
    ShowPlaces(fixed, dialog);
    SetButtonCheck("fixcheck", fixed, dialog);
    int notation = calc->displayFormat & kDisplayNotationMask;
    SetButtonCheck(NotationRadio(notation), 1, dialog);
    SetButtonCheck(FormatRadio(r->pendingFormat), 1, dialog);

    for (const char *name : {"dispdigs", "expdigs", "fixrp"})
        if (Window *field = FindNamedWindow(name, dialog))
            field->onActivate = NumericEditFilter;
    for (const char *name : {"regcheck", "engcheck", "scicheck"})
        SetButtonFunction(name, NotationPressed, dialog);
    for (const char *name : {"intcheck", "fltcheck", "autcheck"})
        SetButtonFunction(name, FormatPressed, dialog);
    SetButtonFunction("fixcheck", FixedPressed, dialog);
    SetButtonFunction("OK", PrecisionOk, dialog);
    SetButtonFunction("Cancel", CloseDialogButton, dialog);
    ShowDialog(dialog);
    return dialog;
}

void precisionClose(WindowRef *open) {
    if (Window *dialog = open ? WindowRefGet(*open) : nullptr)
        PrecisionClose(dialog);
    if (open)
        *open = {};
}
