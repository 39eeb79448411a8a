// The program options dialog (progopts.h). The dialog runs modally inside progOptionsOpen, so
// its record lives on that call's stack; the dialog's extension points at it until the dialog
// closes, and every handler finds it through the dialog and checks it is still alive.
//
// Start reading at progOptionsOpen, then OptionsOk.
#include "progopts.h"

#include "calc.h"
#include "controls.h"
#include "dialog.h"
#include "settings.h"
#include "windmsg.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kSourceFile[] = "calclib\\src\\progopts";
constexpr char kTitle[] = "Program Options";
constexpr uint32_t kOptionsMagic = 0x4F505453;
// Bordered, so the fields show where to type even when empty.
constexpr uint32_t kEdit = kWindowKindText | kWindowTakesFocus | kWindowTabStop | kWindowBordered;
constexpr int kFieldSize = 32;    // characters of a field that OK reads
constexpr double kLargest = 1e9;  // larger realms and angles are typing slips, not plots
constexpr int kRateMaximum = 2;   // refresh rates: 0 Minimum, 1 Medium, 2 Maximum
constexpr int kDecimalFields = 6; // minx .. yang
constexpr int kAxisX = 1, kAxisY = 2, kAxisZ = 4;

// OK and Cancel come before the refresh buttons: Return presses the first button of the
// items, and it must mean OK, never "Minimum".
const DialogItem kDescription[] = {
    {40, 5, 37, 15, kWindowFramed | kDialogTitled, kTitle, nullptr, nullptr},
    {1, 1, 7, 2, kWindowKindLabel, "Min X:", nullptr, nullptr},
    {1, 3, 7, 2, kWindowKindLabel, "Max X:", nullptr, nullptr},
    {9, 1, 10, 2, kEdit, "minx", nullptr, nullptr},
    {9, 3, 10, 2, kEdit, "maxx", nullptr, nullptr},
    {19, 1, 7, 2, kWindowKindLabel, "Min Y:", nullptr, nullptr},
    {19, 3, 7, 2, kWindowKindLabel, "Max Y:", nullptr, nullptr},
    {26, 1, 10, 2, kEdit, "miny", nullptr, nullptr},
    {26, 3, 10, 2, kEdit, "maxy", nullptr, nullptr},
    {9, 5, 10, 2, kEdit, "xang", nullptr, nullptr},
    {1, 5, 7, 2, kWindowKindLabel, "Angle X", nullptr, nullptr},
    {26, 5, 10, 2, kEdit, "yang", nullptr, nullptr},
    {19, 5, 7, 2, kWindowKindLabel, "Angle Y:", nullptr, nullptr},
    {9, 7, 10, 2, kEdit, "delta", nullptr, nullptr},
    {1, 7, 7, 2, kWindowKindLabel, "Delta", nullptr, nullptr},
    {28, 12, 7, 2, kDialogButtonItem, "OK", nullptr, nullptr},
    {28, 10, 7, 2, kDialogButtonItem, "Cancel", nullptr, nullptr},
    {1, 9, 14, 2, kWindowKindLabel, "Screen Refresh", nullptr, nullptr},
    {2, 11, 10, 1, kRadioItem, "minref", " Minimum", nullptr},
    {2, 12, 10, 1, kRadioItem, "medref", " Medium", nullptr},
    {2, 13, 10, 1, kRadioItem, "maxref", " Maximum", nullptr},
    {16, 9, 11, 2, kWindowKindLabel, "Plot Abcissa", nullptr, nullptr},
    {18, 11, 4, 1, kCheckItem, "pltX", " X", nullptr},
    {18, 12, 4, 1, kCheckItem, "pltY", " Y", nullptr},
    {18, 13, 4, 1, kCheckItem, "pltZ", " Z", nullptr},
    // The view: one point per unit as always, or the graph in the realm's units fitted to the
    // window, whose y may follow the values.
    {19, 7, 7, 1, kWindowKindLabel, "View:", nullptr, nullptr},
    {26, 7, 10, 1, kRadioItem, "ptview", " 1:1 points", nullptr},
    {26, 8, 10, 1, kRadioItem, "grview", " Graph", nullptr},
    {19, 8, 7, 1, kCheckItem, "fity", " Fit Y", nullptr},
    {},
};

// The decimal fields in the order OK reads them.
struct DecimalField {
    const char *item;          // the edit box
    const char *label;         // how a refusal names it
    const char *key;           // its text setting
    double Calculator::*value; // its field in the calculator
};

const DecimalField kDecimal[kDecimalFields] = {
    {"minx", "Min X", "PLOT_REALM_MINX", &Calculator::plotMinX},
    {"maxx", "Max X", "PLOT_REALM_MAXX", &Calculator::plotMaxX},
    {"miny", "Min Y", "PLOT_REALM_MINY", &Calculator::plotMinY},
    {"maxy", "Max Y", "PLOT_REALM_MAXY", &Calculator::plotMaxY},
    {"xang", "Angle X", "PLOT_ANGLE_X", &Calculator::plotAngleX},
    {"yang", "Angle Y", "PLOT_ANGLE_Y", &Calculator::plotAngleY},
};

struct OptionsDialog {
    uint32_t magic;                             // kOptionsMagic while the dialog is open
    Calculator *calc;                           //
    WindowRef *slot;                            // the caller's reference, cleared on close
    int rate;                                   // the refresh rate chosen in the dialog
    int view;                                   // the view chosen: 0 1:1 points, 1 graph
    char shown[kDecimalFields][kFieldSize + 1]; // the texts the decimal fields were filled with
};

// Set from the start of an open until its modal run returns: a second open meanwhile (the
// Options button reached through a nested loop) must not build a second dialog.
bool gBuilding = false;

int OptionsRelease(Window *dialog);

// The dialog and its record, from the dialog or one of its items, while it is open.
Window *DialogOf(Window *w) { return ExtensionWindowOf(OptionsRelease, w); }
OptionsDialog *RecordOf(Window *w) {
    return ExtensionRecordOf<OptionsDialog>(OptionsRelease, kOptionsMagic, w);
}

const char *RateButton(int rate) { return rate == 0 ? "minref" : rate == 1 ? "medref" : "maxref"; }

// The decimal number at the start of the text, 0.0 when there is none: blanks are skipped and
// the first character that cannot continue the number ends it. Only decimal notation counts;
// strtod alone would also take "inf", "nan" and hexadecimal.
double DecimalValue(const char *text) {
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    const char *start = p;
    if (*p == '+' || *p == '-')
        p++;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        digits++;
    if (*p == '.')
        for (p++; *p >= '0' && *p <= '9'; p++)
            digits++;
    if (digits == 0)
        return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        if (*q == '+' || *q == '-')
            q++;
        if (*q >= '0' && *q <= '9') {
            while (*q >= '0' && *q <= '9')
                q++;
            p = q;
        }
    }
    char number[kFieldSize + 1];
    size_t n = (size_t)(p - start);
    if (n > kFieldSize)
        n = kFieldSize;
    memcpy(number, start, n);
    number[n] = '\0';
    return strtod(number, nullptr);
}

// Refuses a value with a box naming its field, and puts the field under the cursor again.
void Refuse(const char *label, const char *rule, const char *item, Window *dialog) {
    char text[96];
    snprintf(text, sizeof text, "%s must lie %s", label, rule);
    ReportError(text, kTitle);
    if (Window *field = FindNamedWindow(item, dialog))
        SetCurrentItem(field);
}

// The values are all read and checked before any is stored: a refused field leaves the
// calculator and the settings file as they were. A field still showing the text it was filled
// with keeps the calculator's exact value (the text shows only four places), and a value equal
// to the one in use is not written: an OK that changes nothing leaves the file alone.
int OptionsOk(int, Window *button) {
    OptionsDialog *r = RecordOf(button);
    Window *dialog = DialogOf(button);
    if (!r)
        return 0;
    Calculator *calc = r->calc;
    if (!calc || calc->magic != kCalculatorMagic) {
        AssertReport(kSourceFile, __LINE__);
        return 0;
    }
    char text[kDecimalFields][kFieldSize + 1];
    double value[kDecimalFields];
    for (int i = 0; i < kDecimalFields; i++) {
        GetItemText(kDecimal[i].item, text[i], sizeof text[i], dialog);
        value[i] =
            strcmp(text[i], r->shown[i]) == 0 ? calc->*kDecimal[i].value : DecimalValue(text[i]);
        if (!std::isfinite(value[i]) || std::fabs(value[i]) > kLargest) {
            Refuse(kDecimal[i].label, "between -1e9 and 1e9", kDecimal[i].item, dialog);
            return 0;
        }
    }
    char deltaText[kFieldSize + 1];
    GetItemText("delta", deltaText, sizeof deltaText, dialog);
    // A delta of 0 or below never ends a plot; the plot engine would refuse it at Run. The
    // 1:1 view steps by whole points (the digits before a point), the graph view by any decimal.
    errno = 0;
    long delta = strtol(deltaText, nullptr, 10);
    double step = static_cast<double>(delta);
    if (r->view == 0 && (errno == ERANGE || delta < 1 || delta > (long)kLargest)) {
        Refuse("Delta", "between 1 and 1e9", "delta", dialog);
        return 0;
    }
    if (r->view == 1) {
        step = DecimalValue(deltaText);
        if (!(step > 0 && step <= kLargest)) {
            Refuse("Delta", "above 0 and not above 1e9", "delta", dialog);
            return 0;
        }
        delta = std::floor(step) == step ? static_cast<long>(step) : 0;
    }
    const int fitY = GetButtonCheck("fity", dialog) ? 1 : 0;
    int abscissa = (GetButtonCheck("pltX", dialog) ? kAxisX : 0) |
                   (GetButtonCheck("pltY", dialog) ? kAxisY : 0) |
                   (GetButtonCheck("pltZ", dialog) ? kAxisZ : 0);

    const char *file = calc->settingsFile;
    bool changed = false;
    SettingsBatchBegin(file);
    for (int i = 0; i < kDecimalFields; i++) {
        if (value[i] == calc->*kDecimal[i].value)
            continue;
        calc->*kDecimal[i].value = value[i];
        WriteStringSetting(kDecimal[i].key, text[i], file);
        changed = true;
    }
    if (delta != calc->plotDelta || step != calc->plotStep) {
        calc->plotDelta = (int)delta;
        calc->plotStep = step;
        // A whole delta as the integer it is; a fraction (the graph view's) as a decimal.
        if (step == static_cast<double>(delta)) {
            WriteIntSetting("PLOT_REALM_DELTA", calc->plotDelta, file);
        } else {
            char text[kFieldSize + 1];
            snprintf(text, sizeof text, "%.15g", step);
            WriteStringSetting("PLOT_REALM_DELTA", text, file);
        }
        changed = true;
    }
    if (r->view != calc->plotView) {
        calc->plotView = r->view;
        WriteIntSetting("PLOT_VIEW", r->view, file);
        changed = true;
    }
    if (fitY != calc->plotFitY) {
        calc->plotFitY = fitY;
        WriteIntSetting("PLOT_FIT_Y", fitY, file);
        changed = true;
    }
    if (abscissa != calc->plotAbscissaMode) {
        calc->plotAbscissaMode = abscissa;
        WriteIntSetting("PLOT_ABCISSA_MODE", abscissa, file);
        changed = true;
    }
    if (r->rate != calc->plotRefreshRate) {
        calc->plotRefreshRate = r->rate;
        WriteIntSetting("PLOT_REFRESH_RATE", r->rate, file);
        changed = true;
    }
    // The origin mode is not shown here; it goes with a change so the file holds what is used.
    if (changed)
        WriteIntSetting("PLOT_ORIGIN_MODE", calc->plotOriginMode, file);
    SettingsBatchEnd();
    CloseDialogButton(0, button);
    return 0;
}

// The refresh buttons are toggles of their own; this makes them one group. The button pressed
// has flipped itself already, so the checked one pressed again is checked again here.
int RatePressed(int, Window *button) {
    OptionsDialog *r = RecordOf(button);
    Window *dialog = DialogOf(button);
    if (!r || !button->name)
        return 0;
    char second = button->name[1];
    int rate = second == 'a' ? 2 : second == 'e' ? 1 : 0;
    SetButtonCheck(RateButton(r->rate), 0, dialog);
    SetButtonCheck(RateButton(rate), 1, dialog);
    r->rate = rate;
    return 0;
}

// The view buttons are one group, as the refresh buttons are.
int ViewPressed(int, Window *button) {
    OptionsDialog *r = RecordOf(button);
    Window *dialog = DialogOf(button);
    if (!r || !button->name)
        return 0;
    r->view = button->name[0] == 'g' ? 1 : 0;
    SetButtonCheck("ptview", r->view == 0, dialog);
    SetButtonCheck("grview", r->view == 1, dialog);
    return 0;
}

int OptionsClose(Window *dialog) {
    OptionsDialog *r = (OptionsDialog *)dialog->extension;
    if (dialog->releaseExtension != OptionsRelease || !r || r->magic != kOptionsMagic || !r->calc)
        AssertReport(kSourceFile, __LINE__);
    return CloseWindow(dialog);
}

// However the dialog closes (OK, Cancel, its close box, progOptionsClose, the toolkit's end),
// the caller's reference is cleared and the record is dead to any handler still queued. The
// dialog is no longer live here, so the reference is compared field by field.
int OptionsRelease(Window *dialog) {
    OptionsDialog *r = (OptionsDialog *)dialog->extension;
    dialog->extension = nullptr;
    if (!r || r->magic != kOptionsMagic)
        return 0;
    if (r->slot && r->slot->window == dialog && r->slot->generation == dialog->generation)
        *r->slot = {};
    r->magic = 0;
    return 0;
}

void ShowDecimal(int field, double value, OptionsDialog *r, Window *dialog) {
    char *text = r->shown[field];
    int n = snprintf(text, kFieldSize + 1, "%8.4f", value);
    // A realm read from a hand-edited file (1e300) takes hundreds of characters in "%8.4f".
    if (n < 0 || n > kFieldSize)
        n = snprintf(text, kFieldSize + 1, "%.17g", value);
    SetItemText(kDecimal[field].item, text, n, dialog);
}

} // namespace

void progOptionsOpen(Window *programWindow, Calculator *calc, WindowRef *open) {
    if (gBuilding || !open || WindowRefLive(*open) || !WindowIsLive(programWindow) || !calc)
        return;
    gBuilding = true;
    Window *dialog = CreateWholeDialog(kDescription, nullptr);
    if (!dialog) {
        gBuilding = false;
        return;
    }
    OptionsDialog record = {};
    record.magic = kOptionsMagic;
    record.calc = calc;
    record.slot = open;
    record.rate = calc->plotRefreshRate;
    if (record.rate < 0 || record.rate > kRateMaximum) {
        // The settings reader keeps the rate in range; anything else set it.
        AssertReport(kSourceFile, __LINE__);
        record.rate = kRateMaximum;
    }
    dialog->extension = &record;
    dialog->releaseExtension = OptionsRelease;
    dialog->onClose = OptionsClose;
    WindowRef ref = WindowRefOf(dialog);
    *open = ref;

    for (int i = 0; i < kDecimalFields; i++)
        ShowDecimal(i, calc->*kDecimal[i].value, &record, dialog);
    // The graph view's step may be a fraction; the 1:1 view's delta is whole.
    char delta[kFieldSize + 1];
    int n = calc->plotView == 1 ? snprintf(delta, sizeof delta, "%.10g", calc->plotStep)
                                : snprintf(delta, sizeof delta, "%d", calc->plotDelta);
    SetItemText("delta", delta, n, dialog);
    record.view = calc->plotView == 1 ? 1 : 0;
    SetButtonCheck("ptview", record.view == 0, dialog);
    SetButtonCheck("grview", record.view == 1, dialog);
    SetButtonCheck("fity", calc->plotFitY != 0, dialog);
    SetButtonCheck(RateButton(record.rate), 1, dialog);
    SetButtonCheck("pltX", (calc->plotAbscissaMode & kAxisX) != 0, dialog);
    SetButtonCheck("pltY", (calc->plotAbscissaMode & kAxisY) != 0, dialog);
    SetButtonCheck("pltZ", (calc->plotAbscissaMode & kAxisZ) != 0, dialog);

    SetButtonFunction("Cancel", CloseDialogButton, dialog);
    for (const char *name : {"minref", "medref", "maxref"})
        SetButtonFunction(name, RatePressed, dialog);
    for (const char *name : {"ptview", "grview"})
        SetButtonFunction(name, ViewPressed, dialog);
    SetButtonFunction("OK", OptionsOk, dialog);
    ShowDialog(dialog);
    if (WindowRefLive(ref))
        RunModal(dialog);
    // The record on this stack must not outlive the dialog: a run that ended without closing it
    // (the toolkit stopping) closes it here. A dialog already closed may have been closed with
    // its program window, whose reference and calculator are gone: neither is touched then.
    if (Window *still = WindowRefGet(ref))
        CloseWindow(still);
    gBuilding = false;
}

void progOptionsClose(WindowRef *open) {
    if (!open)
        return;
    if (Window *dialog = WindowRefGet(*open))
        CloseWindow(dialog);
    *open = {};
}
