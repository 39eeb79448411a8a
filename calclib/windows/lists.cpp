// The register, constants and conversions lists (lists.h). A list is a titled child dialog of
// the panel holding one list box and its scroller; the dialog's extension is a ListWindow
// record, which remembers what a choice does and the items of a settings sequence. Every
// choice finds the calculator again through the panel, so a list never acts on a panel that
// is gone.
//
// Start reading at listsPressed.
#include "lists.h"

#include "calc.h"
#include "controls.h"
#include "dialog.h"
#include "number.h"
#include "panel.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

const char *const kDefaultConstants[] = {
    "close", "3.14159265358979323846264338327950", "6.02 E23", "2.718281828", "3.01 E08", nullptr,
};
const char *const kDefaultConversions[] = {
    "close",
    "cm->in ( / 2.54 )",
    "in->cm ( * 2.54 )",
    nullptr,
};

namespace {

constexpr uint32_t kListMagic = 0x4C495354;
constexpr uint32_t kListBox = kWindowKindList | kWindowTakesFocus | kWindowTabStop;
constexpr int kListWidth = 31;     // cells
constexpr int kListBoxWidth = 27;  //
constexpr int kLeftOfButton = 29;  // the window's left edge lies this far left of its key
constexpr int kSmallestHeight = 6; // rows: the title strip and a few lines, on any panel
constexpr char kNotSet[] = "- < not set > -";
constexpr char kClose[] = "close";
constexpr char kUnset[] = "notyet"; // the sequences' read default: not seeded yet

struct ListWindow {
    uint32_t magic;                 // kListMagic while alive
    int kind;                       // ListKind
    WindowRef panel;                //
    WindowRef *slot;                // the panel's reference to this list, cleared on close
    std::vector<std::string> items; // a sequence list's items, line n is items[n - 1]
    bool chosen;                    // a choice was made: the close is on its way
};

int ListRelease(Window *dialog);

// The list's dialog and its record, from the dialog or its list box, while it is open. The
// dialog has the panel for its parent, so the lookup stops at the dialog.
Window *DialogOf(Window *w) { return ExtensionWindowOf(ListRelease, w); }
ListWindow *RecordOf(Window *w) {
    return ExtensionRecordOf<ListWindow>(ListRelease, kListMagic, w);
}

Calculator *CalcOfList(ListWindow *r) { return calcPanelRecord(WindowRefGet(r->panel)); }

int ListClose(Window *dialog) {
    ListWindow *r = RecordOf(dialog);
    Window *panel = r ? WindowRefGet(r->panel) : nullptr;
    if (r && r->slot && WindowRefGet(*r->slot) == dialog)
        *r->slot = {};
    CloseWindow(dialog);
    // Typing goes on at the panel, unless the panel is what is closing.
    if (panel && !panel->closing)
        SetFocusWindow(panel);
    return 0;
}

int ListRelease(Window *dialog) {
    ListWindow *r = (ListWindow *)dialog->extension;
    dialog->extension = nullptr;
    if (!r || r->magic != kListMagic)
        return 0;
    r->magic = 0;
    r->~ListWindow();
    WindowRelease(r);
    return 0;
}

// A choice acts once; the list closes after the event that made it.
void Choose(int line, Window *listBox) {
    ListWindow *r = RecordOf(listBox);
    Window *dialog = DialogOf(listBox);
    if (!r || !dialog || r->chosen)
        return;
    Calculator *calc = CalcOfList(r);
    if (!calc)
        return;
    r->chosen = true;
    // One choice is one step for undo: a conversion's keys, or a refusal's error state, whole.
    calcUndoBegin(calc);
    switch (r->kind) {
    case kListStore:
        calcStore(line, calc);
        break;
    case kListRecall:
        calcRecall(line, calc);
        break;
    case kListConstants:
    case kListConversions:
        if (line >= 1 && line <= (int)r->items.size()) {
            const std::string &item = r->items[(size_t)line - 1];
            if (item == kClose)
                break;
            if (r->kind == kListConstants)
                listsEnterConstant(item.c_str(), calc);
            else
                listsApplyConversion(item.c_str(), calc);
        }
        break;
    default:
        break;
    }
    calcUndoEnd(calc);
    PostEvent(kEventClose, 0, dialog);
}

int ListActivated(int line, Window *listBox) {
    Choose(line, listBox);
    return 0;
}

// In the register list a letter names the register to choose.
int RegisterListKey(int key, Window *listBox) {
    ListWindow *r = RecordOf(listBox);
    Calculator *calc = r ? CalcOfList(r) : nullptr;
    if (calc && key < 128 && ((key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z'))) {
        char name[2] = {(char)(key >= 'a' ? key - 'a' + 'A' : key), 0};
        int index = registerIndex(name, calc->registerCount);
        if (index >= 0 && index < calc->registerCount)
            Choose(index + 1, listBox);
        return 0;
    }
    return ListBoxKeyDefault(key, listBox);
}

// A sequence of the settings file, seeded with its defaults on first use.
std::vector<std::string> ReadSequence(const char *key, const char *const *defaults,
                                      const char *file) {
    SettingsBatchBegin(file);
    if (strcmp(ReadStringSetting(key, kUnset, file), kUnset) == 0) {
        WriteStringSetting(key, defaults[0], file);
        for (const char *const *item = defaults + 1; *item; item++)
            AppendSequenceItem(*item, file);
    }
    std::vector<std::string> items;
    items.push_back(ReadStringSetting(key, kUnset, file));
    while (const char *item = NextSequenceItem(file))
        items.push_back(item);
    SettingsBatchEnd();
    return items;
}

// A line of the list box: control characters would break it into two, and an empty line could
// not be chosen (to be refused).
std::string ListLine(const std::string &text) {
    std::string line = text.empty() ? " " : text;
    for (char &c : line)
        if ((unsigned char)c < 0x20)
            c = ' ';
    return line + '\n';
}

Window *OpenList(const DialogItem &head, const DialogItem &box, int kind, Window *panel,
                 WindowRef *slot) {
    const DialogItem desc[] = {head, box, DialogItem{}};
    Window *dialog = CreateWholeDialog(desc, panel);
    if (!dialog)
        return nullptr;
    void *memory = WindowAllocate(sizeof(ListWindow));
    if (!memory) {
        ReportMemoryError("List window");
        CloseWindow(dialog);
        return nullptr;
    }
    ListWindow *r = new (memory) ListWindow{};
    r->magic = kListMagic;
    r->kind = kind;
    r->panel = WindowRefOf(panel);
    r->slot = slot;
    dialog->extension = r;
    dialog->releaseExtension = ListRelease;
    dialog->onClose = ListClose;
    *slot = WindowRefOf(dialog);
    return dialog;
}

// Fills, selects the first line, shows; 0. A list short of a line would choose by the wrong line
// (line n is item n), and one without its scroller hides its items: it is closed, and 1.
int FillAndShow(const std::vector<std::string> &lines, Window *dialog, Window *listBox) {
    for (const std::string &line : lines) {
        std::string text = ListLine(line);
        if (ListBoxInsert(text.c_str(), (int)text.size(), nullptr, listBox) != 0) {
            ReportMemoryError("List line");
            ListClose(dialog);
            return 1;
        }
    }
    Window *scroller = NewScroller(kScrollerRight, nullptr, listBox);
    if (!scroller) {
        ListClose(dialog);
        return 1;
    }
    UpdateScroller(scroller);
    ListBoxSelectLine(1, listBox);
    ShowDialog(dialog);
    SetFocusWindow(listBox);
    return 0;
}

int OpenRegisters(int kind, Window *button, Window *panel, PanelLists *lists) {
    Calculator *calc = calcPanelRecord(panel);
    if (!calc)
        return 1;
    int panelHeight = panel->cellBottom - panel->cellTop + 1;
    int height = panelHeight - button->cellTop - 4;
    height = height < kSmallestHeight ? kSmallestHeight : height;
    int left = button->cellLeft - kLeftOfButton;
    DialogItem head = {left < 0 ? 0 : left, button->cellTop + 1, kListWidth, height,
                       kDialogTitled,       "memory contents",   nullptr,    nullptr};
    DialogItem box = {1, 2, kListBoxWidth, height - 3, kListBox, "memlist", nullptr, nullptr};
    Window *dialog = OpenList(head, box, kind, panel, &lists->registers);
    Window *listBox = dialog ? FindNamedWindow("memlist", dialog) : nullptr;
    if (!listBox) { // a list without its box is of no use
        if (dialog)
            ListClose(dialog);
        return 1;
    }
    listBox->onActivate = ListActivated;
    listBox->onKey = RegisterListKey;
    std::vector<std::string> lines;
    for (int i = 0; i < calc->registerCount; i++)
        lines.push_back(listsRegisterLine(i, calc));
    return FillAndShow(lines, dialog, listBox);
}

int OpenSequence(int kind, Window *button, Window *panel, PanelLists *lists) {
    Calculator *calc = calcPanelRecord(panel);
    if (!calc)
        return 1;
    bool constants = kind == kListConstants;
    int panelHeight = panel->cellBottom - panel->cellTop + 1;
    int height = panelHeight - 8;
    height = height < kSmallestHeight ? kSmallestHeight : height;
    int left = button->cellLeft - kLeftOfButton;
    const char *name = constants ? "constlist" : "convlist";
    DialogItem head = {left < 0 ? 0 : left,
                       5,
                       kListWidth,
                       height,
                       kDialogTitled,
                       constants ? "constants" : "Conversions",
                       nullptr,
                       nullptr};
    DialogItem box = {1, 3, kListBoxWidth, height - 4, kListBox, name, nullptr, nullptr};
    WindowRef *slot = constants ? &lists->constants : &lists->conversions;
    Window *dialog = OpenList(head, box, kind, panel, slot);
    Window *listBox = dialog ? FindNamedWindow(name, dialog) : nullptr;
    if (!listBox) { // a list without its box is of no use
        if (dialog)
            ListClose(dialog);
        return 1;
    }
    listBox->onActivate = ListActivated;
    ListWindow *r = RecordOf(dialog);
    r->items = constants ? ReadSequence("CONSTANTS", kDefaultConstants, calc->settingsFile)
                         : ReadSequence("CONVERSIONS", kDefaultConversions, calc->settingsFile);
    return FillAndShow(r->items, dialog, listBox);
}

// A whole, finite decimal number: digits, one point, an exponent after 'e' or 'E', signs at the
// start of each.
bool DecimalNumber(const std::string &text, double *value) {
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return false;
    char *end = nullptr;
    *value = strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(*value);
}

// The refusal: the error state, and a message that names the text.
int Refuse(const char *what, const std::string &text, Calculator *calc) {
    std::string message = std::string(what) + " \"" + text + "\" is not a decimal number";
    calcError(calc);
    ReportError(message.c_str(), what);
    return 1;
}

// The engine enters constants in the floating format only; say so rather than fail silently.
// `written` is the text as the settings file holds it, for the message.
int EnterNumber(const char *what, const std::string &text, const char *written, Calculator *calc) {
    double value;
    if (!DecimalNumber(text, &value))
        return Refuse(what, written, calc);
    if (calc->format != kNumFloating) {
        std::string message =
            std::string(what) + " \"" + written + "\" needs the floating-point format";
        calcError(calc);
        ReportError(message.c_str(), what);
        return 1;
    }
    calcEnterConstant(text.c_str(), calc);
    return 0;
}

// The value as the display lays it out: sign, digits with their point, the exponent.
std::string NotationText(const Number *n, const Calculator *calc) {
    std::string mantissa((size_t)n->length + 2, '\0');
    std::string exponent((size_t)calc->exponentDigits + 2, '\0');
    char sign = ' ', exponentSign = ' ';
    int fixed = calc->displayFormat & kDisplayFixedPoint ? calc->fixedPlaces : -1;
    if (numToText(mantissa.data(), exponent.data(), n->length, calc->exponentDigits, &sign,
                  &exponentSign, fixed, calc->displayFormat & kDisplayNotationMask, 2, n) != 0)
        return "";
    std::string out = sign == '-' ? "-" : "";
    for (const char *c = mantissa.c_str(); *c; c++) {
        unsigned char m = (unsigned char)*c;
        if (m == kPointFirst) {
            out += "0.";
            continue;
        }
        out += (char)(m & ~kPointBit);
        if (m & kPointBit)
            out += '.';
    }
    if (exponent[0]) {
        out += n->radix == 10 ? "e" : "*" + std::to_string(n->radix) + "^";
        out += exponentSign == '-' ? "-" : "";
        out += exponent.c_str();
    }
    return out;
}

} // namespace

std::string listsRegisterLine(int index, const Calculator *calc) {
    std::string line = std::string(registerName(index, calc->registerCount)) + " | ";
    const Number *n = index >= 0 && index < calc->registerCount && calc->registers
                          ? calc->registers[index]
                          : nullptr;
    if (!n)
        return line + kNotSet;
    line += numRawText(n);
    std::string shown = NotationText(n, calc);
    return shown.empty() ? line : line + " = " + shown;
}

int listsPressed(int kind, Window *button, Window *panel, PanelLists *lists) {
    if (!button || !panel || !lists)
        return 1;
    WindowRef *slot = kind == kListConstants     ? &lists->constants
                      : kind == kListConversions ? &lists->conversions
                                                 : &lists->registers;
    if (Window *open = WindowRefGet(*slot)) {
        ListClose(open);
        return 0;
    }
    if (kind == kListStore || kind == kListRecall)
        return OpenRegisters(kind, button, panel, lists);
    return OpenSequence(kind, button, panel, lists);
}

void listsCloseAll(PanelLists *lists) {
    for (WindowRef *slot : {&lists->registers, &lists->constants, &lists->conversions}) {
        if (Window *open = WindowRefGet(*slot))
            ListClose(open);
        *slot = {};
    }
}

int listsEnterConstant(const char *item, Calculator *calc) {
    if (!item || !calc || calc->state == CALC_ERROR)
        return 1;
    std::string text;
    for (const char *c = item; *c && text.size() < kSettingTextSize - 1; c++)
        if (*c != ' ' && *c != '\t')
            text += *c;
    return EnterNumber("Constant", text, item, calc);
}

int listsApplyConversion(const char *item, Calculator *calc) {
    if (!item || !calc)
        return 1;
    const char *open = strchr(item, '(');
    if (!open)
        return 0;
    const char *close = strrchr(item, ')');
    const char *end = close && close > open ? close : open + strlen(open);
    for (const char *c = open + 1; c < end && calc->state != CALC_ERROR;) {
        unsigned char ch = (unsigned char)*c;
        if ((ch >= '0' && ch <= '9') || ch == '.') {
            const char *start = c;
            while (c < end && ((*c >= '0' && *c <= '9') || *c == '.'))
                c++;
            // An exponent belongs to the number only when digits follow it.
            if (c < end && (*c == 'e' || *c == 'E')) {
                const char *e = c + 1;
                if (e < end && (*e == '+' || *e == '-'))
                    e++;
                if (e < end && *e >= '0' && *e <= '9') {
                    while (e < end && *e >= '0' && *e <= '9')
                        e++;
                    c = e;
                }
            }
            std::string number(start, (size_t)(c - start));
            if (EnterNumber("Conversion", number, number.c_str(), calc))
                return 1;
            continue;
        }
        if (ch > 0x20 && ch <= 0x7E)
            calcKey(ch, calc);
        c++;
    }
    return 0;
}
