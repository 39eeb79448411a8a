// The printer tape (tape.h). The tape is a top-level dialog of its own; its extension is a
// TapeWindow record that refers back to the panel, through which the menu finds the settings
// file and the calculator, so nothing is done to a panel that has gone. The text lives in the
// list box's buffer: the engine's writes are appended to its last line, which an operation field
// leaves open until the number line completes it.
//
// Start reading at tapeToggle, then tapeAppend.
#include "tape.h"

#include "buffer.h"
#include "calc.h"
#include "clipnum.h"
#include "controls.h"
#include "dialog.h"
#include "filesys.h"
#include "fonts.h"
#include "inquire.h"
#include "keys.h"
#include "panel.h"
#include "print.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kTapeMagic = 0x54415045;
// Bordered: the drawing area is inset, so the operation names do not touch the edge. No tab
// stop: showing the dialog would make the list its current item and select its whole text.
constexpr uint32_t kTapeList = kWindowKindList | kWindowTakesFocus | kWindowBordered;
constexpr int kListTop = 2;            // rows: the menu bar lies above the list
constexpr int kScrollerCells = 2;      // a scroller's thickness, in cell widths
constexpr int kListInset = 8;          // pixels a bordered list's text lies inside its edges
constexpr int kLastLine = INT_MAX / 2; // a line past every tape's end
constexpr char kSaveInitial[] = "~/torva-tape.txt";
constexpr int kKeyFirstLine = 20; // ^T, the list's own key for its first line
constexpr int kKeyLastLine = 2;   // ^B, for its last

struct TapeWindow {
    uint32_t magic;   // kTapeMagic while alive
    WindowRef panel;  //
    PanelTape *slot;  // the panel's record of the tape; used only while the panel is live
    WindowRef list;   // "printout"
    WindowRef scroll; // the list's scroller
    int font;         // the list's own font (a use of the font cache), -1 for the default
};

int PrintWithToolkit(Window *list) {
    PrintSettings *settings = CurrentPrintSettings();
    return settings ? PrintTextWindow(settings, list, kTapeTitle) : 1;
}

const TapePrinter kToolkitPrinter = {ReadPrintSettings, PrintWithToolkit};
TapePrinter gPrinter = kToolkitPrinter;

int TapeRelease(Window *tape);

// The tape window and its record, from the window or anything inside it (the menu bar and its
// items included), while it is open.
Window *TapeOf(Window *w) { return ExtensionWindowOf(TapeRelease, w); }
TapeWindow *RecordOf(Window *w) {
    return ExtensionRecordOf<TapeWindow>(TapeRelease, kTapeMagic, w);
}

Buffer *BufferOf(Window *list) {
    TextDesc *d = TextDescOf(list);
    return d && d->buffer && d->buffer->magic == kBufferMagic ? d->buffer : nullptr;
}

// The last line with text, 0 for an empty tape. The buffer's final node is the empty line where
// appended text goes, unless an operation field waits in it for its number.
int LastTextLine(const Buffer *b) {
    int n = b->lineCount;
    if (n >= 1 && b->lastLine && (b->lastLine->lengthFlags & kNodeLengthMask) == 0)
        n--;
    return n;
}

int TapeRelease(Window *tape) {
    TapeWindow *r = (TapeWindow *)tape->extension;
    tape->extension = nullptr;
    if (!r || r->magic != kTapeMagic)
        return 0;
    r->magic = 0;
    if (r->font >= 0)
        DeleteFont(r->font);
    WindowRelease(r);
    return 0;
}

// The window's close, from its close box, Escape or the menu's "Close": the "Printer" switch
// goes off with it.
int TapeClose(Window *tape) {
    TapeWindow *r = RecordOf(tape);
    Window *panel = r ? WindowRefGet(r->panel) : nullptr;
    if (panel && !panel->closing) {
        if (WindowRefGet(r->slot->window) == tape)
            *r->slot = {};
        SetButtonCheck("Printer", 0, panel);
    }
    CloseWindow(tape);
    if (panel && !panel->closing)
        SetFocusWindow(panel);
    return 0;
}

// The list fills the window below the menu bar, less its scroller at the right.
int ListLayout(Window *list) {
    TapeWindow *r = RecordOf(list);
    Window *tape = list->parent;
    if (!r || !tape)
        return 0;
    Window *scroller = WindowRefGet(r->scroll);
    int thick = scroller ? scroller->right - scroller->left + 1 : 0;
    int width = (tape->right - tape->left + 1) - list->left - thick;
    int height = (tape->bottom - tape->top + 1) - list->top;
    width = width > 1 ? width : 1;
    height = height > 1 ? height : 1;
    if (width != list->right - list->left + 1 || height != list->bottom - list->top + 1)
        MoveWindowTo(list->left, list->top, width, height, 1, list);
    return 0;
}

int ToCalculator(int key, Window *w) {
    TapeWindow *r = RecordOf(w);
    Window *panel = r ? WindowRefGet(r->panel) : nullptr;
    return panel && panel->onKey ? panel->onKey(key, panel) : 0;
}

// The text of a tape line, without its line feed.
std::string LineText(int line, Buffer *b) {
    int line0 = b->currentLine, column0 = b->currentColumn;
    std::string text;
    BufferGoto(line, 1, b);
    const char *bytes = CurrentLineNumber(b) == line ? LockLine(b) : nullptr;
    if (bytes)
        text.assign(bytes, (size_t)CurrentLineLength(b));
    BufferGoto(line0, column0, b);
    return text;
}

// The line the user chose, 0 when none is.
int ChosenLine(Window *list) {
    Buffer *b = BufferOf(list);
    return b && b->markLine >= 1 ? b->markLine : 0;
}

void Unchoose(Window *list) {
    if (Buffer *b = BufferOf(list)) {
        b->markLine = b->markEndLine = b->markColumn = b->markEndColumn = -1;
        InvalidateLines(1, kLastLine, list);
        PostEvent(kEventRedraw, 0, list);
    }
}

// A double click on a line, or Return on the chosen one: its number becomes X as a pasted
// number would, and the choice ends, so the next Return is Equals again. A line without a number,
// or a number the calculator cannot take, rings the bell.
int LineChosen(int line, Window *list) {
    TapeWindow *r = RecordOf(list);
    Calculator *calc = r ? calcPanelRecord(WindowRefGet(r->panel)) : nullptr;
    Buffer *b = BufferOf(list);
    if (!calc || !b)
        return 0;
    const std::string text = LineText(line, b);
    if (calcTapeRecall(text.c_str(), calc))
        RingBell();
    else
        Unchoose(list);
    return 0;
}

// Ctrl+C on a chosen line: its number on the clipboard, as the panel's Ctrl+C writes it.
void CopyChosen(int line, Window *list) {
    TapeWindow *r = RecordOf(list);
    Calculator *calc = r ? calcPanelRecord(WindowRefGet(r->panel)) : nullptr;
    Buffer *b = BufferOf(list);
    std::string text = calc && b ? calcTapeLineText(LineText(line, b).c_str(), calc) : "";
    if (text.empty() || !ClipboardPut(text.c_str(), (int)text.size(), list))
        RingBell();
}

// The list moves through the tape on its own keys; every other key is the calculator's, so
// typing goes on while the tape has the keyboard. With a line chosen, Return and Ctrl+C are the
// line's.
int ListKey(int key, Window *list) {
    if (int line = ChosenLine(list)) {
        if (key == '\r')
            return LineChosen(line, list);
        if (key == 3 || key == keyCtrlInsert) { // ^C
            CopyChosen(line, list);
            return 0;
        }
    }
    switch (EditCommandOf(key)) {
    case kEditLineStart: // Home and End: the tape's first and last line
        return ListBoxKeyDefault(kKeyFirstLine, list);
    case kEditLineEnd:
        return ListBoxKeyDefault(kKeyLastLine, list);
    case kEditUp:
    case kEditDown:
    case kEditPageUp:
    case kEditPageDown:
    case kEditFirstLine:
    case kEditLastLine:
        return ListBoxKeyDefault(key, list);
    default:
        break;
    }
    if (key == keyEscape || key == '\t')
        return ListBoxKeyDefault(key, list); // on to the dialog
    return ToCalculator(key, list);
}

// The dialog keeps Escape (which closes the tape) and Tab; the rest is the calculator's.
int TapeKey(int key, Window *tape) {
    if (key == keyEscape || key == '\t')
        return DialogKeyDefault(key, tape);
    return ToCalculator(key, tape);
}

// ---- the menu -------------------------------------------------------------------------------

int PrintPressed(int, Window *item) {
    TapeWindow *r = RecordOf(item);
    Window *tape = TapeOf(item);
    Calculator *calc = r ? calcPanelRecord(WindowRefGet(r->panel)) : nullptr;
    if (!calc || !tape)
        return 0;
    WindowRef tapeRef = WindowRefOf(tape), panelRef = r->panel, listRef = r->list;
    Buffer *b = BufferOf(WindowRefGet(listRef));
    if (!b || LastTextLine(b) < 1) { // a blank page says nothing the empty tape does not
        ReportError("The tape is empty: nothing to print", "Print");
        return 0;
    }
    if (gPrinter.dialog(calc->settingsFile, tape) != 1)
        return 0;
    // The dialog ran a loop of its own: the tape or the panel may have closed meanwhile, and
    // with them the record.
    Window *list = WindowRefGet(listRef);
    if (!WindowRefLive(tapeRef) || !WindowRefLive(panelRef) || !list)
        return 0;
    gPrinter.print(list);
    return 0;
}

int SavePressed(int, Window *item) {
    TapeWindow *r = RecordOf(item);
    Window *tape = TapeOf(item);
    if (!r || !tape)
        return 0;
    WindowRef tapeRef = WindowRefOf(tape);
    PanelTape view = {tapeRef, r->list};
    char path[PATH_MAX];
    if (InquireFile("Save the tape as text", path, sizeof path, kSaveInitial, kInquireSave, tape) !=
            1 ||
        !WindowRefLive(tapeRef))
        return 0;
    tapeSaveText(path, &view);
    return 0;
}

int ClearPressed(int, Window *item) {
    TapeWindow *r = RecordOf(item);
    if (!r)
        return 0;
    PanelTape view = {WindowRefOf(TapeOf(item)), r->list};
    tapeClear(&view);
    return 0;
}

const DialogItem kMenu[] = {
    {0, 0, 0, 0, kWindowMenuBar, "pmen", nullptr, nullptr},
    {1, 0, 6, 1, kWindowKindButton, "Print", "Print", nullptr},
    {8, 0, 6, 1, kWindowKindButton, "Close", "Close", nullptr},
    {15, 0, 12, 1, kWindowKindButton, "Save as text", "Save as text", nullptr},
    {28, 0, 6, 1, kWindowKindButton, "Clear", "Clear", nullptr},
    {},
};

Window *MakeMenu(Window *tape) {
    // The bar measures its items' names in the toolkit's sans font: it draws them in that font
    // too, or a long name would not fit its item.
    DialogOverride font = {};
    font.fontSpec = GetToolkitDefaults()->fontSpec[kFontSans];
    font.useFont = 1;
    DialogItem head = kMenu[0];
    head.override = &font;
    ClearMenu();
    if (AddMenuItem(&head) != 0 || AddMenuItems(kMenu + 1) != 0) {
        ClearMenu();
        return nullptr;
    }
    Window *bar = PopUpMenu(0, tape);
    ClearMenu();
    if (!bar)
        return nullptr;
    struct {
        const char *name;
        WindowValueProc function;
    } const items[] = {{"Print", PrintPressed},
                       {"Close", CloseDialogButton},
                       {"Save as text", SavePressed},
                       {"Clear", ClearPressed}};
    for (const auto &item : items)
        if (!SetButtonFunction(item.name, item.function, bar))
            return nullptr;
    return bar;
}

// ---- open ---------------------------------------------------------------------------------

// kTapeWidth cells, or more when a number line with the display's digits would not
// fit in the list's font: a result cut at its last digit would misreport it.
int TapeCells(const Calculator *calc, int font, const ToolkitDefaults *d) {
    int characters = kTapeFieldWidth + 1 + calc->digits + 1 + 1 + calc->exponentDigits;
    // The font cache holds whole-pixel widths; the face draws up to a sixteenth wider.
    int glyph = CharWidth('0', font >= 0 ? font : 0, nullptr);
    int pixels = characters * (glyph > 0 ? glyph : 1) * 17 / 16 + kListInset +
                 CellsToPixels(kScrollerCells, d->cellWidth);
    int cells = PixelsToCells(pixels, d->cellWidth) + 1;
    return cells < kTapeWidth ? kTapeWidth : cells > kTapeWidestCells ? kTapeWidestCells : cells;
}

// The window, its record, menu, list and scroller, or nothing at all.
Window *OpenTape(Window *panel, PanelTape *slot) {
    Calculator *calc = calcPanelRecord(panel);
    const ToolkitDefaults *defaults = GetToolkitDefaults();
    if (!calc || !defaults)
        return nullptr;
    const char *spec = ReadStringSetting("PRT_WIND_FONT", kTapeDefaultFont, calc->settingsFile);
    int font = FontLookup(spec); // -1: the list keeps its default font
    int cells = TapeCells(calc, font, defaults);
    DialogItem head = {panel->cellRight + 2,
                       panel->cellTop,
                       cells,
                       panel->cellBottom - panel->cellTop + 1,
                       kWindowFramed | kDialogTitled,
                       kTapeTitle,
                       nullptr,
                       nullptr};
    const DialogItem desc[] = {head, DialogItem{}};
    Window *tape = CreateDialog(desc, nullptr);
    TapeWindow *r = tape ? (TapeWindow *)WindowAllocate(sizeof(TapeWindow)) : nullptr;
    if (!r) {
        if (tape) {
            ReportMemoryError("Tape window");
            CloseWindow(tape);
        }
        DeleteFont(font);
        return nullptr;
    }
    *r = TapeWindow{kTapeMagic, WindowRefOf(panel), slot, {}, {}, font};
    tape->extension = r;
    tape->releaseExtension = TapeRelease;
    tape->onClose = TapeClose;
    tape->onKey = TapeKey;

    Window *list = nullptr, *scroller = nullptr;
    if (MakeMenu(tape)) {
        int rows = tape->cellBottom - tape->cellTop + 1;
        list = NewListBox(0, kListTop, cells - kScrollerCells - 1,
                          rows > kListTop ? rows - 1 : kListTop, tape->foreground, defaults->white,
                          "printout", kTapeList, nullptr, tape);
    }
    if (list)
        scroller = NewScroller(kScrollerRight, nullptr, list);
    if (!scroller) { // a tape without its list or scroller is of no use
        CloseWindow(tape);
        return nullptr;
    }
    if (font >= 0)
        list->font = font;
    r->list = WindowRefOf(list);
    r->scroll = WindowRefOf(scroller);
    list->onLayout = ListLayout;
    list->onKey = ListKey;
    list->onActivate = LineChosen;
    ListLayout(list);
    UpdateScroller(scroller);
    calc->tapeOpen = 0;
    *slot = {WindowRefOf(tape), r->list};
    ShowDialog(tape);
    SetFocusWindow(panel); // the keyboard stays with the calculator
    return tape;
}

} // namespace

int tapeToggle(Window *panel, PanelTape *tape) {
    if (!panel || !tape)
        return 1;
    if (Window *open = WindowRefGet(tape->window)) {
        *tape = {};
        CloseWindow(open);
        SetButtonCheck("Printer", 0, panel);
        return 0;
    }
    *tape = {};
    Window *opened = OpenTape(panel, tape);
    SetButtonCheck("Printer", opened ? 1 : 0, panel);
    return opened ? 0 : 1;
}

void tapeClose(PanelTape *tape) {
    if (!tape)
        return;
    Window *open = WindowRefGet(tape->window);
    *tape = {};
    if (open)
        CloseWindow(open);
}

int tapeAppend(const char *text, PanelTape *tape) {
    Window *list = tape && text && WindowRefLive(tape->window) ? WindowRefGet(tape->list) : nullptr;
    Buffer *b = BufferOf(list);
    TextDesc *d = TextDescOf(list);
    if (!b || !d)
        return 1;
    int length = (int)strlen(text);
    if (length == 0)
        return 0;
    int cursor = b->currentLine, column = b->currentColumn;
    int last = LastTextLine(b);
    // The newest line is followed while it is in view (or nothing has been painted yet).
    bool follow = d->rows < 1 || d->topLine < 1 || last < 1 ||
                  (last >= d->topLine && last < d->topLine + d->rows);
    if (b->lineCount >= kTapeKeptLines) {
        // The oldest lines roll off; the view and the cursor stay on the lines they showed.
        BufferGoto(kTapeDropLines, 1, b);
        if (DelRegion(1, 1, kTapeDropLines, CurrentLineLength(b), b) == 0) {
            b->markLine = b->markEndLine = b->markColumn = b->markEndColumn = -1;
            cursor = cursor > kTapeDropLines ? cursor - kTapeDropLines : 1;
            if (d->topLine >= 1)
                d->topLine = d->topLine > kTapeDropLines ? d->topLine - kTapeDropLines : 1;
            last = LastTextLine(b);
        }
    }
    int from = last >= 1 ? last : 1;
    // At the end of the last node: the empty line, or an operation field's open line.
    BufferGoto(kLastLine, 1, b);
    int at = b->lineCount, atColumn = at == b->currentLine ? CurrentLineLength(b) + 1 : 1;
    BufferInsert(at, atColumn, text, length, b);
    last = LastTextLine(b);
    if (follow && last >= 1) {
        // The newest line at the bottom of the view, as paper comes out of the printer.
        BufferGoto(last, 1, b);
        if (d->rows >= 1) {
            int top = last - d->rows + 1 > 1 ? last - d->rows + 1 : 1;
            if (top != d->topLine)
                from = 1;
            d->topLine = top;
        }
    } else {
        BufferGoto(cursor, column, b);
    }
    UpdateScrollers(list);
    InvalidateLines(from, kLastLine, list);
    PostEvent(kEventRedraw, 0, list);
    return 0;
}

std::string tapeText(const PanelTape *tape) {
    Window *list = tape && WindowRefLive(tape->window) ? WindowRefGet(tape->list) : nullptr;
    Buffer *b = BufferOf(list);
    std::string out;
    if (!b)
        return out;
    int line0 = b->currentLine, column0 = b->currentColumn;
    int last = LastTextLine(b);
    for (int line = 1; line <= last; line++) {
        BufferGoto(line, 1, b);
        const char *text = CurrentLineNumber(b) == line ? LockLine(b) : nullptr;
        if (text)
            out.append(text, (size_t)CurrentLineLength(b));
        if (out.empty() || out.back() != '\n')
            out += '\n'; // an operation field still waiting for its number ends the file
    }
    BufferGoto(line0, column0, b);
    return out;
}

int tapeSaveText(const char *path, const PanelTape *tape) {
    std::string text = tapeText(tape);
    // By the rules of every output file: a file is replaced in one step once whole, a pipe or a
    // device is written as it is, a read-only file or anything else is refused.
    char name[PATH_MAX];
    OutputFile out;
    int rc = !path || ExpandPath(name, sizeof name, path) < 0
                 ? ENAMETOOLONG
                 : fOutputOpen(name, kOutputDevices, &out);
    if (rc == 0) {
        rc = fOutputWrite(text.data(), text.size(), &out);
        if (rc == 0)
            rc = fOutputCommit(&out);
        int closed = fOutputClose(&out);
        rc = rc ? rc : closed;
    }
    if (rc != 0) {
        std::string message = std::string("The tape could not be written to ") +
                              (path ? path : "") + ": " + fOutputReason(rc) +
                              "; nothing was changed there.";
        ReportError(message.c_str(), "Save as text");
    }
    return rc == 0 ? 0 : 1;
}

void tapeClear(PanelTape *tape) {
    Window *list = tape && WindowRefLive(tape->window) ? WindowRefGet(tape->list) : nullptr;
    Buffer *b = BufferOf(list);
    TextDesc *d = TextDescOf(list);
    if (!b || !d)
        return;
    int last = LastTextLine(b);
    if (last >= 1) {
        BufferGoto(last, 1, b);
        DelRegion(1, 1, last, CurrentLineLength(b), b);
    }
    b->markLine = b->markEndLine = b->markColumn = b->markEndColumn = -1;
    BufferGoto(1, 1, b);
    d->topLine = 1;
    d->lastClickedLine = -1;
    // A waiting operation field went with the text: the next number starts a line of its own.
    TapeWindow *r = RecordOf(list);
    if (Calculator *calc = r ? calcPanelRecord(WindowRefGet(r->panel)) : nullptr)
        calc->tapeOpen = 0;
    UpdateScrollers(list);
    InvalidateLines(1, kLastLine, list);
    PostEvent(kEventRedraw, 0, list);
}

void tapeSetPrinter(const TapePrinter *printer) { gPrinter = printer ? *printer : kToolkitPrinter; }
