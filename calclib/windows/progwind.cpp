// The program window (progwind.h). The window is a top-level dialog; its extension is a
// ProgramWindow record that refers back to the panel, whose Calculator it works for. The
// listing's buffer is the Program itself: the recorder inserts steps into it, the interpreter
// runs it, Load and Save replace it and write it. The calculator reaches the window only through
// its hooks, which the window sets while it is open and clears when it closes, so a run, a plot
// or a recording never outlives the window.
//
// Start reading at progwindToggle, then OpenProgramWindow and the recorder.
#include "progwind.h"

#include "buffer.h"
#include "calc.h"
#include "controls.h"
#include "dialog.h"
#include "display.h"
#include "gdi.h"
#include "inquire.h"
#include "keys.h"
#include "number.h"
#include "panel.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "print.h"
#include "progopts.h"
#include "program.h"
#include "recorder.h"
#include "settings.h"
#include "textwind.h"
#include "windmsg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kProgramMagic = 0x50524F47;
constexpr int kButtonColumn = 8;      // cells: the buttons' width
constexpr int kProgramMinHeight = 38; // cells: the buttons' column and the status bar below it
// Pixels on an ordinary screen; a HiDPI screen's scale (ScreenScale) multiplies them.
constexpr int kListingWidth = 120; // the listing's widest
constexpr int kListingGap = 16;    // between the listing and the plot: its scroller
constexpr int kLastLine = kRecorderLastLine;
constexpr int kLineTextLimit = 223; // characters of a step drawn
// Steps start right of the state arrow; a label stands out to the left of the other steps.
constexpr int kLabelIndent = 20;
constexpr int kStepIndent = 36;

struct ProgramWindow {
    uint32_t magic;   // kProgramMagic while alive
    WindowRef panel;  //
    WindowRef *slot;  // the panel's reference to the window
    Calculator *calc; // the panel's; valid while the panel lives, which closes this window first
    WindowRef window, listing, scroller, plot, status;
    WindowRef options; // the options dialog while it runs
    // The options dialog is open: a run, a new program or a new mode now would use values the
    // dialog is about to change, so their buttons and keys wait until it closes.
    bool optionsOpen;
    bool asking;       // "Save changes?" is open: a second close or Load waits for its answer
    WindowRef insert;  // the Insert list while it runs
    int written[4];    // PROGRAM_WINDOW_ULX, _ULY, _WIDTH, _HEIGHT as last written
    int shownMark;     // the line the arrow was last drawn on
    Color arrow[5];    // the plot colour table, for the state arrow
    Recorder recorder; // the steps of the number being typed, for the delete key
    // The panel's own key handler while a run goes: the window holds the panel's keys then, so
    // Escape on the panel stops the run (PanelKeyWhileRunning).
    WindowValueProc panelKey;
};

int ProgramRelease(Window *w);

// The program window and its record, from the window or anything inside it, while it is open.
Window *ProgramOf(Window *w) { return ExtensionWindowOf(ProgramRelease, w); }
ProgramWindow *RecordOf(Window *w) {
    return ExtensionRecordOf<ProgramWindow>(ProgramRelease, kProgramMagic, w);
}

// The record of the window that the calculator's hooks serve.
ProgramWindow *gOpen;

ProgramWindow *RecordOfCalc(Calculator *calc) {
    return gOpen && gOpen->magic == kProgramMagic && gOpen->calc == calc ? gOpen : nullptr;
}

Buffer *ProgramOfRecord(ProgramWindow *r) {
    Window *listing = r ? WindowRefGet(r->listing) : nullptr;
    TextDesc *d = listing ? TextDescOf(listing) : nullptr;
    return d && d->buffer && d->buffer->magic == kBufferMagic ? d->buffer : nullptr;
}

// ---- status and buttons ------------------------------------------------------------------

const char *StateText(const Calculator *calc) {
    if (calc->recorderMode > 0)
        return "Record";
    if (calc->recorderMode == 0)
        return "Edit";
    return calc->programMode == 1   ? "Plotting (2d)"
           : calc->programMode == 2 ? "Plotting (3d)"
                                    : "Running";
}

void SetProgramButtons(bool busy, ProgramWindow *r) {
    Window *w = WindowRefGet(r->window);
    if (!w)
        return;
    const bool recording = busy && r->calc->recorderMode > 0;
    const bool running = busy && r->calc->recorderMode < 0;
    const bool idle = !busy && !r->optionsOpen;
    for (const char *name :
         {"Load", "Save", "Record", "Run", "Normal", "2D Plot", "3D Plot", "Options", "Print"})
        EnableItem(name, idle, w);
    EnableItem("Edit", recording, w);
    EnableItem("Insert", !running, w);
    EnableItem("Delete", !running, w);
    EnableItem("Step", idle && r->calc->programMode == 0, w);
    EnableItem("Stop", running, w);
    EnableItem("Undo", true, w);
    EnableItem("Close", true, w);
}

void ShowReport(const char *text, ProgramWindow *r) {
    if (Window *status = WindowRefGet(r->status))
        SetStatusField("report", text, status);
}

// The listing's lines from..to are painted again, the Program back on its current line.
void RedrawListing(int from, int to, ProgramWindow *r) {
    Window *listing = WindowRefGet(r->listing);
    Buffer *b = ProgramOfRecord(r);
    if (!listing || !b)
        return;
    InvalidateLines(from < to ? from : to, from < to ? to : from, listing);
    BufferGoto(CurrentLineNumber(b), 1, b);
    PostEvent(kEventRedraw, 0, listing);
}

void UpdateListingScroller(ProgramWindow *r) {
    if (Window *scroller = WindowRefGet(r->scroller))
        UpdateScroller(scroller);
}

void ShowLine(ProgramWindow *r) {
    Buffer *b = ProgramOfRecord(r);
    Window *status = WindowRefGet(r->status);
    if (b && status) {
        char lino[32];
        snprintf(lino, sizeof lino, "Line: %d", (int)CurrentLineNumber(b));
        SetStatusField("lino", lino, status);
    }
}

int StopRunKey(ProgramWindow *r);

// While a run goes the panel's keys come here first: Escape stops the run (the README promises
// it, and the panel has no use of its own for Escape), every other key is the panel's.
int PanelKeyWhileRunning(int key, Window *panel) {
    ProgramWindow *r = gOpen && gOpen->magic == kProgramMagic ? gOpen : nullptr;
    WindowValueProc own = r ? r->panelKey : nullptr;
    if (r && key == keyEscape && r->calc->recorderMode < 0)
        return StopRunKey(r);
    return own ? own(key, panel) : 0;
}

// The panel's keys are held while a run goes and given back when it ends or the window goes.
void HoldPanelKeys(bool hold, ProgramWindow *r) {
    Window *panel = WindowRefGet(r->panel);
    if (!panel)
        return;
    if (hold && panel->onKey != PanelKeyWhileRunning) {
        r->panelKey = panel->onKey;
        panel->onKey = PanelKeyWhileRunning;
    } else if (!hold && panel->onKey == PanelKeyWhileRunning) {
        panel->onKey = r->panelKey;
        r->panelKey = nullptr;
    }
}

void RefreshStatus(ProgramWindow *r) {
    HoldPanelKeys(r->calc->recorderMode < 0, r);
    Buffer *b = ProgramOfRecord(r);
    Window *status = WindowRefGet(r->status);
    ShowLine(r);
    if (b && status) {
        const char *name = "-New-";
        if (!(b->flags & kBufNewFile) && b->name[0]) {
            const char *slash = strrchr(b->name, '/');
            name = slash ? slash + 1 : b->name;
        }
        SetStatusField("program", name, status);
        SetStatusField("status", StateText(r->calc), status);
    }
    SetProgramButtons(r->calc->recorderMode != 0, r);
    RedrawListing(1, kLastLine, r);
}

// The arrow follows the current line: its old and new lines are painted again.
void MoveMark(ProgramWindow *r) {
    Buffer *b = ProgramOfRecord(r);
    if (!b)
        return;
    int line = CurrentLineNumber(b);
    b->markLine = line;
    b->markEndLine = -1;
    RedrawListing(r->shownMark > 0 ? r->shownMark : line, r->shownMark > 0 ? r->shownMark : line,
                  r);
    RedrawListing(line, line, r);
    r->shownMark = line;
    UpdateListingScroller(r);
}

// ---- the recorder --------------------------------------------------------------------------

void ForgetEntry(ProgramWindow *r) { recorderForget(&r->recorder); }

// The recorder changed the listing: the arrow is on the current line.
void RecorderChanged(int first, int last, Recorder *rec) {
    ProgramWindow *r = (ProgramWindow *)rec->context;
    Buffer *b = ProgramOfRecord(r);
    if (!b)
        return;
    r->shownMark = b->markLine;
    if (first > 0)
        RedrawListing(first, last, r);
    UpdateListingScroller(r);
    ShowLine(r);
}

void InsertStepLine(const char *text, bool undoable, ProgramWindow *r) {
    recorderInsert(text, undoable ? kStepOwnFrame : kStepNoUndo, ProgramOfRecord(r), &r->recorder);
}

void RecordStep(int code, Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        recorderStep(code, ProgramOfRecord(r), &r->recorder, calc);
}

void RecordText(const char *text, Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        recorderText(text, ProgramOfRecord(r), &r->recorder, calc);
}

void RecordConstant(Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        recorderConstant(ProgramOfRecord(r), &r->recorder, calc);
}

void UndoStep(Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        recorderUndo(ProgramOfRecord(r), &r->recorder, calc);
}

void ProgramReport(const char *text, Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        ShowReport(text, r);
}

void ProgramMarked(Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        MoveMark(r);
}

void ProgramStopped(Calculator *calc) {
    if (ProgramWindow *r = RecordOfCalc(calc))
        RefreshStatus(r);
}

// ---- the status bar ------------------------------------------------------------------------

// The bar gives each field at most an equal share of its width, which would cut a program
// message after a few words: the report takes everything left of the other three fields.
int StatusLayout(Window *bar) {
    WindowRef ref = WindowRefOf(bar);
    StatusBarLayoutDefault(bar);
    if (!WindowRefLive(ref))
        return 0;
    Window *report = nullptr, *state = nullptr;
    for (Window *w = bar->chain; w; w = w->chain) {
        if (w->parent == bar && w->name && strcmp(w->name, "report") == 0)
            report = w;
        if (w->parent == bar && w->name && strcmp(w->name, "status") == 0)
            state = w;
    }
    if (!report || !state || state->left < 3)
        return 0;
    const int width = state->left - 2, height = report->bottom - report->top + 1;
    if (report->left != 1 || report->right - report->left + 1 != width)
        MoveWindowTo(1, report->top, width, height, 1, report);
    return 0;
}

// ---- the listing ---------------------------------------------------------------------------

// The arrow and the indents are drawn in an ordinary screen's pixels, each one s by s on a HiDPI
// screen (ScreenScale); on paper they are scaled further by the printer's resolution over the
// screen's, as the listing's font is, so the arrow keeps its size and its place on its step.
double ListingScale(const GC *gc) {
    const GC *screen = ScreenGC();
    const double paper = PrintingColors() && screen && screen->dpiY > 0 && gc->dpiY > 0
                             ? (double)gc->dpiY / screen->dpiY
                             : 1.0;
    return ScreenScale() * paper;
}

int Scaled(int v, double scale) { return (int)lround(v * scale); }

void DrawArrow(int y, Color fill, Window *listing, GC *gc, double scale) {
    static const int kOutline[][2] = {{3, 2}, {13, 2}, {17, 6}, {13, 10}, {3, 10}, {7, 6}, {3, 2}};
    const int width = gc->lineWidth, style = gc->lineStyle, extra = gc->lineExtra;
    SetLineAttributes(Scaled(1, scale) > width ? Scaled(1, scale) : width, style, extra, gc);
    SetForeground(listing->foreground, gc);
    MovePen(Scaled(kOutline[0][0], scale), y + Scaled(kOutline[0][1], scale), gc);
    for (int i = 1; i < 7; i++)
        DrawLine(Scaled(kOutline[i][0], scale), y + Scaled(kOutline[i][1], scale), gc);
    SetLineAttributes(width, style, extra, gc);
    SetForeground(fill, gc);
    // Each row of the fill is one screen pixel high: a band of that height on paper.
    static const int kFill[][3] = {{5, 13, 3}, {6, 14, 4}, {7, 15, 5}, {8, 16, 6},
                                   {7, 15, 7}, {6, 14, 8}, {5, 13, 9}};
    for (const auto &row : kFill)
        FillBox(Scaled(row[0], scale), y + Scaled(row[2], scale), Scaled(row[1] + 1, scale) - 1,
                y + Scaled(row[2] + 1, scale) - 1, gc);
    SetForeground(listing->foreground, gc);
}

// The line-draw function of the listing: the margin, the arrow on the marked line, the step.
void DrawListingLine(int x, int y, TextDesc *d, Window *listing) {
    GC *gc = TextPaintGC();
    Buffer *b = d->buffer;
    ProgramWindow *r = RecordOf(listing);
    if (!gc || y < 0 || !b)
        return;
    const char *text = LockLine(b);
    int n = text ? CurrentLineLength(b) : 0;
    if (n > 0 && text[n - 1] == '\n')
        n--;
    if (n > kLineTextLimit)
        n = kLineTextLimit;
    const double scale = ListingScale(gc);
    const int start = x + Scaled(n > 0 && text[0] == ':' ? kLabelIndent : kStepIndent, scale);
    const int height = d->lineHeight > 0 ? d->lineHeight : 15;
    SetForeground(listing->background, gc);
    FillBox(0, y, start - 1, y + height - 1, gc);
    SetForeground(listing->foreground, gc);
    if (r && CurrentLineNumber(b) == b->markLine)
        DrawArrow(y, r->arrow[plotArrowColor(r->calc)], listing, gc, scale);
    if (n > 0) {
        MovePen(start - (d->leftOffset > 0 ? d->leftOffset : 0), y, gc);
        DrawChars(text, n, gc);
    }
    ClearToEndOfLine(gc);
}

// The listing and the plot window side by side right of the buttons, above the status bar.
int ListingLayout(Window *listing) {
    ProgramWindow *r = RecordOf(listing);
    Window *window = ProgramOf(listing);
    if (!r || !window)
        return 0;
    const ToolkitDefaults *d = GetToolkitDefaults();
    Window *status = WindowRefGet(r->status);
    const int statusHeight = status ? status->bottom - status->top + 1 : 0;
    const int clientW = window->right - window->left + 1;
    const int clientH = window->bottom - window->top + 1;
    const int x = CellsToPixels(kButtonColumn, d->cellWidth);
    const int s = ScreenScale();
    int width = clientW - 23 * s < kListingWidth * s ? clientW - 23 * s : kListingWidth * s;
    int height = clientH - statusHeight;
    width = width > 1 ? width : 1;
    height = height > 1 ? height : 1;
    WindowRef ref = WindowRefOf(listing);
    if (listing->left != x || listing->top != 0 || listing->right - listing->left + 1 != width ||
        listing->bottom - listing->top + 1 != height)
        MoveWindowTo(x, 0, width, height, 1, listing);
    if (!WindowRefLive(ref))
        return 0;
    if (Window *plot = WindowRefGet(r->plot)) {
        const int plotX = x + width + kListingGap * s;
        const int plotW = clientW - plotX > 1 ? clientW - plotX : 1;
        if (plot->left != plotX || plot->top != 0 || plot->right - plot->left + 1 != plotW ||
            plot->bottom - plot->top + 1 != height)
            MoveWindowTo(plotX, 0, plotW, height, 1, plot);
        plotSetArea(r->calc);
    }
    PostEvent(kEventRedraw, 0, listing);
    return 0;
}

// A click chooses the insertion point and where Step starts; during a run it only scrolls.
int ListingClick(int position, Window *listing) {
    ProgramWindow *r = RecordOf(listing);
    Buffer *b = ProgramOfRecord(r);
    if (!r || !b) {
        AssertReport("calclib\\src\\progwind", __LINE__);
        return 0;
    }
    SetFocusWindow(listing);
    if (r->calc->recorderMode < 0)
        return 0;
    const int old = b->markLine;
    int line = 0;
    PointToPosition(position, &line, nullptr, listing);
    BufferGoto(CurrentLineNumber(b), 1, b);
    if (CurrentLineNumber(b) != old)
        r->calc->plotState = 0;
    ForgetEntry(r);
    MoveMark(r);
    RefreshStatus(r);
    return 0;
}

// The list's own keys move through the program, and the arrow follows; every other key is the
// program window's.
int ListingKey(int key, Window *listing) {
    ProgramWindow *r = RecordOf(listing);
    Buffer *b = ProgramOfRecord(r);
    switch (EditCommandOf(key)) {
    case kEditUp:
    case kEditDown:
    case kEditPageUp:
    case kEditPageDown:
    case kEditFirstLine:
    case kEditLastLine:
        if (r && b && r->calc->recorderMode >= 0) {
            ListBoxKeyDefault(key, listing);
            BufferGoto(CurrentLineNumber(b), 1, b);
            ForgetEntry(r);
            MoveMark(r);
            RefreshStatus(r);
        }
        return 0;
    default:
        break;
    }
    Window *window = ProgramOf(listing);
    return window && window->onKey ? window->onKey(key, window) : 0;
}

// ---- the Program -----------------------------------------------------------------------------

// Puts a Program in the listing in place of the one there, which is freed.
void InstallProgram(Buffer *fresh, ProgramWindow *r) {
    Window *listing = WindowRefGet(r->listing);
    TextDesc *d = listing ? TextDescOf(listing) : nullptr;
    if (!d) {
        BufferFree(fresh);
        return;
    }
    Buffer *old = d->buffer;
    d->buffer = fresh;
    d->topLine = 1;
    d->lastClickedLine = -1;
    r->calc->program = fresh;
    if (old)
        BufferFree(old);
    BufferGoto(1, 1, fresh);
    fresh->markLine = 1;
    fresh->markEndLine = -1;
    r->shownMark = 1;
    r->calc->plotState = 0;
    r->calc->restartPending = 1;
    ForgetEntry(r);
    UpdateListingScroller(r);
}

// Whether the program holds anything a user would miss: a new program of only the end marker
// holds nothing.
bool HasChanges(Buffer *b) {
    if (!b || !(b->flags & kBufModified))
        return false;
    if (!(b->flags & kBufNewFile) || b->lineCount > 2)
        return true;
    int line = CurrentLineNumber(b), column = CurrentColumn(b);
    BufferGoto(1, 1, b);
    const char *text = LockLine(b);
    bool onlyMarker =
        text && strncmp(text, kEndMarker, strlen(kEndMarker)) == 0 && b->lineCount <= 2;
    BufferGoto(line, column, b);
    return !onlyMarker;
}

// Writes the program, asking for a name when it has none or `saveAs`. 1 written; 0 not.
int SaveProgram(bool saveAs, ProgramWindow *r) {
    Buffer *b = ProgramOfRecord(r);
    Window *window = WindowRefGet(r->window);
    if (!b || !window)
        return 0;
    WindowRef ref = r->window;
    char path[PATH_MAX];
    const bool asking = saveAs || (b->flags & kBufNewFile) || !b->name[0];
    if (asking) {
        if (InquireFile("Save Program As", path, sizeof path, b->name[0] ? b->name : "*.tor",
                        kInquireSave, window) != 1 ||
            !WindowRefLive(ref) || ProgramOfRecord(r) != b)
            return 0;
        if (strlen(path) >= sizeof b->name) {
            ReportError("The name is too long for a program file", "Save Program");
            return 0;
        }
    }
    // The name and the flags change only for the write: a failed write leaves the program as
    // it was, still new, still asking for a name.
    char oldName[sizeof b->name];
    memcpy(oldName, b->name, sizeof oldName);
    const uint16_t oldFlags = b->flags;
    if (asking) {
        memcpy(b->name, path, strlen(path) + 1);
        b->flags &= (uint16_t)~kBufDetached;
        b->flags |= kBufInMemory;
    }
    b->flags |= kBufModified;
    const int written = WriteBuffer(b);
    if (written != 0) {
        memcpy(b->name, oldName, sizeof oldName);
        b->flags = oldFlags;
        char message[PATH_MAX + 80];
        snprintf(message, sizeof message,
                 "The program could not be written to %s; nothing was changed there.",
                 asking ? path : b->name);
        ReportError(message, "Save Program");
        return 0;
    }
    b->flags &= (uint16_t) ~(kBufNewFile | kBufModified);
    r->calc->plotState = 0;
    return 1;
}

// "Save changes?": 1 to go on, 0 to keep the program. The window may be gone when it returns
// (closed from the panel meanwhile): callers look again before they touch the record. While the
// question is open, a second one (the close box clicked again, Load) is answered 0: the first
// question decides.
int ConfirmDiscard(ProgramWindow *r) {
    Buffer *b = ProgramOfRecord(r);
    Window *window = WindowRefGet(r->window);
    if (r->asking)
        return 0;
    if (!b || !window || !HasChanges(b))
        return 1;
    static const char *const kChoices[] = {"Save", "Discard", "Cancel"};
    WindowRef ref = r->window;
    r->asking = true;
    int answer =
        InquireChoice("Save changes?", "The program has changes that are not saved. Save them?",
                      kChoices, 3, window);
    if (!WindowRefLive(ref))
        return 1; // the window went meanwhile, and its program with it
    int goOn = answer == 1 || (answer == 0 && SaveProgram(false, r));
    if (WindowRefLive(ref))
        r->asking = false;
    return goOn;
}

// Whether the file holds text: a NUL byte anywhere means some other kind of file, whose
// "steps" would only be errors. Opened without waiting, and only a regular file counts: the
// name may have become a FIFO since it was looked at.
bool HoldsText(const char *path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool text = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char chunk[4096];
    ssize_t n;
    while (text && (n = read(fd, chunk, sizeof chunk)) > 0)
        text = memchr(chunk, 0, (size_t)n) == nullptr;
    close(fd);
    return text;
}

void LoadProgram(ProgramWindow *r) {
    Window *window = WindowRefGet(r->window);
    Buffer *b = ProgramOfRecord(r);
    WindowRef ref = r->window;
    if (!window || !b || r->calc->recorderMode != 0 || r->optionsOpen || !ConfirmDiscard(r) ||
        !WindowRefLive(ref))
        return;
    char path[PATH_MAX];
    if (InquireFile("Load Program", path, sizeof path, b->name[0] ? b->name : "*.tor", 0, window) !=
            1 ||
        !WindowRefLive(ref))
        return;
    struct stat st;
    const char *why = nullptr;
    if (stat(path, &st) != 0)
        why = strerror(errno);
    else if (!S_ISREG(st.st_mode))
        why = "it is not a regular file";
    else if (st.st_size > kProgramFileLimit)
        why = "it is too large for a program";
    else if (!HoldsText(path))
        why = "it is not a text file";
    Buffer *fresh = why ? nullptr : programLoad(path, 0);
    if (!fresh) {
        char message[PATH_MAX + 120];
        snprintf(message, sizeof message, "The program %s could not be loaded: %s.", path,
                 why ? why : "it cannot be read");
        ReportError(message, "Load Program");
        return;
    }
    InstallProgram(fresh, r);
    RefreshStatus(r);
}

void NewProgram(ProgramWindow *r) {
    WindowRef ref = r->window;
    if (!WindowRefLive(ref) || r->calc->recorderMode != 0 || r->optionsOpen || !ConfirmDiscard(r) ||
        !WindowRefLive(ref))
        return;
    Buffer *fresh = programCreate();
    if (!fresh) {
        ReportMemoryError("New Program");
        return;
    }
    InstallProgram(fresh, r);
    RefreshStatus(r);
}

// ---- runs --------------------------------------------------------------------------------

// Everything a closing window must end: the run or plot, the recording, the dialogs it opened,
// the hooks into the calculator. Safe to call more than once.
void Detach(ProgramWindow *r) {
    HoldPanelKeys(false, r);
    progOptionsClose(&r->options);
    if (Window *insert = WindowRefGet(r->insert)) {
        r->insert = {};
        CloseWindow(insert);
    }
    Calculator *calc = r->calc;
    if (!calc || gOpen != r)
        return;
    plotDetach(calc); // the idle callback goes with it
    calc->recorderMode = 0;
    calc->restartPending = 1;
    calc->plotState = 0;
    calc->hooks.recordStep = nullptr;
    calc->hooks.recordText = nullptr;
    calc->hooks.recordConstant = nullptr;
    calc->hooks.undoStep = nullptr;
    calc->hooks.programReport = nullptr;
    calc->hooks.programMarked = nullptr;
    calc->hooks.programStopped = nullptr;
    freePointMemory(calc);
    calc->program = nullptr;
    gOpen = nullptr;
}

void StopRun(ProgramWindow *r) {
    Calculator *calc = r->calc;
    if (calc->recorderMode >= 0)
        return;
    stopRun(calc);
    RefreshStatus(r);
}

void RunProgram(ProgramWindow *r) {
    Calculator *calc = r->calc;
    if (calc->recorderMode != 0 || !calc->program || r->optionsOpen)
        return;
    plotSetArea(calc);
    calc->recorderMode = -1;
    if (prepareRun(calc) != 0) {
        calc->recorderMode = 0;
        RefreshStatus(r);
        return;
    }
    // A 3D plot passes x and y through the registers A and B: without them it cannot start.
    if (calc->programMode == 2 && calc->registerCount < 2) {
        programMessage(calc->registerCount < 1 ? "Can't store X in A" : "Can't store Y in B", 2,
                       calc);
        RefreshStatus(r);
        return;
    }
    RefreshStatus(r);
    if (calc->programMode == 1) {
        if (startPlot2D(calc) != 0 && calc->recorderMode < 0)
            stopProgram(calc);
    } else if (calc->programMode == 2) {
        if (startPlot3D(calc) != 0 && calc->recorderMode < 0)
            stopProgram(calc);
    } else {
        startNormalRun(calc);
    }
}

void StepProgram(ProgramWindow *r) {
    Calculator *calc = r->calc;
    if (calc->recorderMode != 0 || calc->programMode != 0 || !calc->program || r->optionsOpen)
        return;
    if (calc->restartPending) {
        if (prepareRun(calc) != 0)
            return;
        calc->restartPending = 0;
    }
    calc->recorderMode = -1;
    runStep(calc);
    if (calc->recorderMode < 0)
        calc->recorderMode = 0;
    // What the step drew shows now, not at the next run's first paint.
    calc->paintCounter = kPaintLetThrough;
    if (calc->hooks.plotPaint)
        calc->hooks.plotPaint(0, calc);
}

// ---- the Insert list -------------------------------------------------------------------------

constexpr uint32_t kInsertMagic = 0x494E5352;

struct InsertState {
    uint32_t magic;
    WindowRef program; // the program window
};

int InsertChosen(int line, Window *list) {
    Window *dialog = list ? list->parent : nullptr;
    InsertState *s = dialog ? (InsertState *)dialog->extension : nullptr;
    if (!s || s->magic != kInsertMagic || line < 1 || line > kStepTemplates)
        return 0;
    WindowRef dialogRef = WindowRefOf(dialog), programRef = s->program;
    const StepTemplate &t = kStepTemplate[line - 1];
    char answer[kLabelNameLimit + 1] = "";
    int number = 0, asked = 1;
    switch (t.kind) {
    case LABEL_PROMPT:
        asked = InquireString("Label Text", "", answer, sizeof answer, dialog);
        break;
    case TARGET_PROMPT:
        asked = InquireString("Goto Target", "", answer, sizeof answer, dialog);
        break;
    case COLOR_PROMPT:
        asked = InquireNumber("Color (0 to 4)", 0, &number, dialog);
        break;
    case PLAIN_STEP:
        break;
    }
    // The questions ran loops of their own: the dialog or the window may have closed.
    ProgramWindow *r = RecordOf(WindowRefGet(programRef));
    if (asked != 1 || !r || !WindowRefLive(dialogRef))
        return 0;
    InsertStepLine(composeTemplateStep(line, answer, number), true, r);
    ForgetEntry(r);
    RefreshStatus(r);
    PostEvent(kEventClose, 0, WindowRefGet(dialogRef));
    return 0;
}

void OpenInsertList(ProgramWindow *r) {
    Window *window = WindowRefGet(r->window);
    if (!window || WindowRefLive(r->insert))
        return;
    // Owned by the program window (two cells in, one down), so the window manager keeps it
    // above the window and treats it as the window's dialog.
    const DialogItem desc[] = {
        {2, 1, 31, 20, kWindowFramed | kDialogTitled, "Insert", nullptr, nullptr},
        {},
    };
    Window *dialog = CreateDialog(desc, window);
    if (!dialog)
        return;
    InsertState state = {kInsertMagic, r->window};
    dialog->extension = &state;
    Window *list =
        NewListBox(1, 3, 28, 16, dialog->foreground, r->arrow[1], "itemlist",
                   kWindowKindList | kWindowTabStop | kWindowBordered, InsertChosen, dialog);
    if (!list) {
        dialog->extension = nullptr;
        CloseWindow(dialog);
        return;
    }
    for (const StepTemplate &t : kStepTemplate) {
        char line[64];
        int n = snprintf(line, sizeof line, "%s\n", t.text);
        ListBoxInsert(line, n, nullptr, list);
    }
    ListBoxSelectLine(1, list);
    r->insert = WindowRefOf(dialog);
    RunDialogAndClose(WindowRefOf(dialog));
    if (ProgramWindow *still = RecordOf(WindowRefGet(state.program)))
        still->insert = {};
}

// ---- buttons -------------------------------------------------------------------------------

ProgramWindow *Pressed(Window *button) { return RecordOf(button); }

int LoadPressed(int, Window *button) {
    if (ProgramWindow *r = Pressed(button))
        LoadProgram(r);
    return 0;
}

// Save (or Save As) from a button or key of the window; the status shows the name afterwards,
// when the window is still there (the file question ran a loop of its own).
void SaveFrom(bool saveAs, Window *from) {
    ProgramWindow *r = RecordOf(from);
    if (!r || r->calc->recorderMode != 0)
        return;
    SaveProgram(saveAs, r);
    if (RecordOf(from) == r)
        RefreshStatus(r);
}

int SavePressed(int, Window *button) {
    SaveFrom(false, button);
    return 0;
}

// The right button on "Save" saves under a new name; on "Load" it starts a new program.
int SaveRightPressed(int, Window *button) {
    SaveFrom(true, button);
    return 0;
}

int LoadRightPressed(int, Window *button) {
    if (ProgramWindow *r = Pressed(button))
        NewProgram(r);
    return 0;
}

int EditPressed(int, Window *button) {
    if (ProgramWindow *r = Pressed(button); r && r->calc->recorderMode > 0) {
        r->calc->recorderMode = 0;
        r->calc->plotState = 0;
        r->calc->restartPending = 1;
        RefreshStatus(r);
    }
    return 0;
}

int RecordPressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    if (!r || r->calc->recorderMode < 0 || r->optionsOpen)
        return 0;
    r->calc->recorderMode = r->calc->recorderMode > 0 ? 0 : 1;
    r->calc->plotState = 0;
    ForgetEntry(r);
    RefreshStatus(r);
    return 0;
}

int UndoPressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    Buffer *b = ProgramOfRecord(r);
    if (!r || !b || r->calc->recorderMode < 0)
        return 0; // the program counter stays where the run put it
    r->calc->plotState = 0;
    TextRecord first = {};
    int last = 0;
    const int line = CurrentLineNumber(b);
    Undo(&first, &last, b);
    int changed = first.length > 0 ? (int)first.length : line;
    FreeTextRecord(&first);
    b->markLine = CurrentLineNumber(b);
    b->markEndLine = -1;
    r->shownMark = b->markLine;
    ForgetEntry(r);
    RedrawListing(changed < b->markLine ? changed : b->markLine, kLastLine, r);
    UpdateListingScroller(r);
    RefreshStatus(r);
    return 0;
}

int InsertPressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    if (!r || r->calc->recorderMode < 0)
        return 0;
    r->calc->plotState = 0;
    OpenInsertList(r);
    return 0;
}

int DeletePressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    Buffer *b = ProgramOfRecord(r);
    if (!r || !b || r->calc->recorderMode < 0)
        return 0;
    const int line = CurrentLineNumber(b);
    const char *text = LockLine(b);
    // The end marker is never deleted, nor the empty line after the last step.
    if (!text || CurrentLineLength(b) == 0 || strncmp(text, kEndMarker, strlen(kEndMarker)) == 0 ||
        line >= b->lineCount)
        return 0;
    recorderDeleteLine(line, b);
    BufferGoto(line, 1, b);
    r->calc->plotState = 0;
    ForgetEntry(r);
    b->markLine = CurrentLineNumber(b);
    b->markEndLine = -1;
    r->shownMark = b->markLine;
    RedrawListing(line, kLastLine, r);
    UpdateListingScroller(r);
    RefreshStatus(r);
    return 0;
}

int StepPressed(int, Window *button) {
    if (ProgramWindow *r = Pressed(button)) {
        StepProgram(r);
        if (RecordOf(button) == r)
            RefreshStatus(r);
    }
    return 0;
}

int RunPressed(int, Window *button) {
    if (ProgramWindow *r = Pressed(button))
        RunProgram(r);
    return 0;
}

int StopPressed(int, Window *button) {
    if (ProgramWindow *r = Pressed(button))
        StopRun(r);
    return 0;
}

const char *ModeRadio(int mode) { return mode == 1 ? "2D Plot" : mode == 2 ? "3D Plot" : "Normal"; }

int ModePressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    Window *window = ProgramOf(button);
    if (!r || !window || !button->name)
        return 0;
    const int mode = button->name[0] == '2' ? 1 : button->name[0] == '3' ? 2 : 0;
    const int now = r->calc->recorderMode != 0 || r->optionsOpen ? r->calc->programMode : mode;
    for (int m = 0; m < 3; m++)
        SetButtonCheck(ModeRadio(m), m == now, window);
    if (now == r->calc->programMode)
        return 0;
    r->calc->programMode = mode;
    WriteIntSetting("PROGRAM_MODE", mode, r->calc->settingsFile);
    if (r->calc->hooks.plotPaint)
        r->calc->hooks.plotPaint(1, r->calc);
    RefreshStatus(r);
    return 0;
}

int OptionsPressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    Window *window = ProgramOf(button);
    if (!r || !window || r->calc->recorderMode != 0 || r->optionsOpen)
        return 0;
    WindowRef ref = r->window;
    r->optionsOpen = true;
    RefreshStatus(r);
    progOptionsOpen(window, r->calc, &r->options);
    // The window may have closed while the dialog ran (and taken the dialog with it).
    if (RecordOf(WindowRefGet(ref)) == r) {
        r->optionsOpen = false;
        RefreshStatus(r);
    }
    return 0;
}

int PrintPressed(int, Window *button) {
    ProgramWindow *r = Pressed(button);
    Window *window = ProgramOf(button);
    if (!r || !window || r->calc->recorderMode != 0 || r->optionsOpen)
        return 0;
    WindowRef ref = r->window;
    if (ReadPrintSettings(r->calc->settingsFile, window) != 1 || !WindowRefLive(ref))
        return 0;
    PrintSettings *settings = CurrentPrintSettings();
    if (!settings)
        return 0;
    // In a plot mode the plot is printed, header and all; otherwise the program's steps.
    if (r->calc->programMode == 0) {
        if (Window *listing = WindowRefGet(r->listing))
            PrintTextWindow(settings, listing, window->text);
    } else if (Window *plot = WindowRefGet(r->plot)) {
        if (PrintSettings *job = wStartPrint(settings, plot)) {
            for (int run = 0; run < PrintRuns(job); run++) {
                job->pageNumber = 1;
                PrintPage(job);
            }
            EndPrint(job);
        }
    }
    return 0;
}

// ---- the window ----------------------------------------------------------------------------

// Writes the geometry settings that changed, all in one replacement of the file.
int GeometrySaver(Window *window) {
    ProgramWindow *r = RecordOf(window);
    if (!r || window->cellLeft < 0)
        return 0;
    const int now[4] = {window->cellLeft, window->cellTop, window->cellRight - window->cellLeft + 1,
                        window->cellBottom - window->cellTop + 1};
    static const char *const kKeys[4] = {"PROGRAM_WINDOW_ULX", "PROGRAM_WINDOW_ULY",
                                         "PROGRAM_WINDOW_WIDTH", "PROGRAM_WINDOW_HEIGHT"};
    if (memcmp(now, r->written, sizeof now) == 0)
        return 0;
    const char *file = r->calc->settingsFile;
    SettingsBatchBegin(file);
    for (int i = 0; i < 4; i++)
        if (now[i] != r->written[i])
            WriteIntSetting(kKeys[i], now[i], file);
    SettingsBatchEnd();
    memcpy(r->written, now, sizeof now);
    return 0;
}

int ProgramRelease(Window *w) {
    ProgramWindow *r = (ProgramWindow *)w->extension;
    w->extension = nullptr;
    if (!r || r->magic != kProgramMagic)
        return 0;
    Detach(r);
    Window *panel = WindowRefGet(r->panel);
    if (panel && !panel->closing && WindowRefGet(*r->slot) == w)
        *r->slot = {};
    r->magic = 0;
    WindowRelease(r);
    return 0;
}

// The close box, Escape, "Close": the run ends first, then a modified program may be saved.
int ProgramCloseEvent(Window *window) {
    ProgramWindow *r = RecordOf(window);
    if (!r) {
        CloseWindow(window);
        return 0;
    }
    StopRun(r);
    if (r->calc->recorderMode > 0) {
        r->calc->recorderMode = 0;
        RefreshStatus(r);
    }
    WindowRef ref = r->window, panel = r->panel;
    if (!ConfirmDiscard(r))
        return 0;
    if (Window *still = WindowRefGet(ref)) {
        Detach(RecordOf(still));
        CloseWindow(still);
    }
    if (Window *p = WindowRefGet(panel))
        SetFocusWindow(p);
    return 0;
}

int StopRunKey(ProgramWindow *r) {
    StopRun(r);
    return 0;
}

int ProgramKey(int key, Window *window) {
    ProgramWindow *r = RecordOf(window);
    if (!r)
        return DialogKeyDefault(key, window);
    const bool shift = (KeyModifiers() & kKeyModShift) != 0;
    switch (key) {
    case keyEscape:
        if (r->calc->recorderMode < 0)
            return StopRunKey(r);
        return DialogKeyDefault(key, window);
    case 15: // ^O
        LoadProgram(r);
        return 0;
    case 14: // ^N
        NewProgram(r);
        return 0;
    case 19: // ^S, and with Shift under a new name
        SaveFrom(shift, window);
        return 0;
    case '\t':
        return DialogKeyDefault(key, window);
    default:
        break;
    }
    // Everything else is the calculator's, so a program is recorded from the keyboard too.
    Window *panel = WindowRefGet(r->panel);
    return panel && panel->onKey ? panel->onKey(key, panel) : 0;
}

// The keys of the children that have no use for keys (the plot, the scroller, the status bar,
// the labels) are the window's: Escape stops a run wherever the keyboard is.
int ChildKey(int key, Window *child) {
    Window *window = ProgramOf(child);
    return window && window->onKey ? window->onKey(key, window) : 0;
}

const DialogItem kButtons[] = {
    {0, 1, kButtonColumn, 2, kDialogButtonItem, "Load", nullptr, nullptr},
    {0, 3, kButtonColumn, 2, kDialogButtonItem, "Save", nullptr, nullptr},
    {0, 6, kButtonColumn, 2, kDialogButtonItem, "Edit", nullptr, nullptr},
    {0, 8, kButtonColumn, 2, kDialogButtonItem, "Record", nullptr, nullptr},
    {0, 10, kButtonColumn, 2, kDialogButtonItem, "Undo", nullptr, nullptr},
    {0, 12, kButtonColumn, 2, kDialogButtonItem, "Insert", nullptr, nullptr},
    {0, 14, kButtonColumn, 2, kDialogButtonItem, "Delete", nullptr, nullptr},
    {0, 17, kButtonColumn, 2, kDialogButtonItem, "Step", nullptr, nullptr},
    {0, 19, kButtonColumn, 2, kDialogButtonItem, "Run", nullptr, nullptr},
    {0, 21, kButtonColumn, 2, kDialogButtonItem, "Stop", nullptr, nullptr},
    {0, 24, kButtonColumn, 1, kDialogLabelItem, "Mode", nullptr, nullptr},
    {0, 26, kButtonColumn, 1, kRadioItem, "Normal", nullptr, nullptr},
    {0, 27, kButtonColumn, 1, kRadioItem, "2D Plot", nullptr, nullptr},
    {0, 28, kButtonColumn, 1, kRadioItem, "3D Plot", nullptr, nullptr},
    {0, 30, kButtonColumn, 2, kDialogButtonItem, "Options", nullptr, nullptr},
    {0, 32, kButtonColumn, 2, kDialogButtonItem, "Print", nullptr, nullptr},
    {0, 34, kButtonColumn, 2, kDialogButtonItem, "Close", nullptr, nullptr},
};
constexpr int kButtonCount = sizeof kButtons / sizeof kButtons[0];

// The buttons of the column take Space and Return themselves and give the rest to the window.
bool HasOwnKeys(const Window *w) {
    for (const DialogItem &item : kButtons)
        if (item.flags != kDialogLabelItem && w->name && strcmp(w->name, item.name) == 0)
            return true;
    return false;
}

struct Handler {
    const char *name;
    WindowValueProc press;
};
const Handler kHandlers[] = {
    {"Load", LoadPressed},        {"Save", SavePressed},       {"Edit", EditPressed},
    {"Record", RecordPressed},    {"Undo", UndoPressed},       {"Insert", InsertPressed},
    {"Delete", DeletePressed},    {"Step", StepPressed},       {"Run", RunPressed},
    {"Stop", StopPressed},        {"Normal", ModePressed},     {"2D Plot", ModePressed},
    {"3D Plot", ModePressed},     {"Options", OptionsPressed}, {"Print", PrintPressed},
    {"Close", CloseDialogButton},
};

// Where the window opens: from the settings, and right of the tape when the two would overlap.
void Placement(Window *panel, Window *tape, const char *file, int *x, int *y, int *w, int *h) {
    // Two cells right of the panel by default, as the tape opens.
    *x = ReadIntSetting("PROGRAM_WINDOW_ULX", panel->cellRight + 2, file);
    *y = ReadIntSetting("PROGRAM_WINDOW_ULY", panel->cellTop, file);
    *w = ReadIntSetting("PROGRAM_WINDOW_WIDTH", kProgramWidth, file);
    *h = ReadIntSetting("PROGRAM_WINDOW_HEIGHT", kProgramHeight, file);
    // Room for the buttons and a little listing; a setting beyond any screen is not believed.
    *w = *w < kButtonColumn + 10 ? kButtonColumn + 10 : *w > 1000 ? 1000 : *w;
    *h = *h < kProgramMinHeight ? kProgramMinHeight : *h > 1000 ? 1000 : *h;
    *x = *x < 0 ? 0 : *x > 10000 ? 10000 : *x;
    *y = *y < 0 ? 0 : *y > 10000 ? 10000 : *y;
    if (tape && WindowIsLive(tape) && tape->cellLeft >= 0) {
        const bool across = *x <= tape->cellRight && *x + *w - 1 >= tape->cellLeft;
        const bool down = *y <= tape->cellBottom && *y + *h - 1 >= tape->cellTop;
        if (across && down)
            *x = tape->cellRight + 2;
    }
}

Window *OpenProgramWindow(Window *panel, Window *tape, WindowRef *slot) {
    Calculator *calc = calcPanelRecord(panel);
    const ToolkitDefaults *defaults = GetToolkitDefaults();
    if (!calc || !defaults || gOpen)
        return nullptr;
    const char *file = calc->settingsFile;
    int x, y, width, height;
    SettingsBatchBegin(file); // a first opening writes its defaults once
    Placement(panel, tape, file, &x, &y, &width, &height);
    calc->programMode = ReadIntSetting("PROGRAM_MODE", 0, file);
    calc->programMode = calc->programMode < 0 || calc->programMode > 2 ? 0 : calc->programMode;
    plotReadSettings(file, calc);
    SettingsBatchEnd();

    DialogItem desc[kButtonCount + 2];
    desc[0] = {x, y, width, height, kWindowFramed | kDialogTitled, kProgramTitle, nullptr, nullptr};
    memcpy(desc + 1, kButtons, sizeof kButtons);
    desc[kButtonCount + 1] = DialogItem{};
    Window *window = CreateWholeDialog(desc, nullptr);
    ProgramWindow *r = window ? (ProgramWindow *)WindowAllocate(sizeof(ProgramWindow)) : nullptr;
    if (!r) {
        if (window) {
            ReportMemoryError("Program window");
            CloseWindow(window);
        }
        return nullptr;
    }
    memset(r, 0, sizeof *r);
    r->magic = kProgramMagic;
    r->panel = WindowRefOf(panel);
    r->slot = slot;
    r->calc = calc;
    r->recorder.changed = RecorderChanged;
    r->recorder.context = r;
    r->window = WindowRefOf(window);
    r->written[0] = x;
    r->written[1] = y;
    r->written[2] = width;
    r->written[3] = height;
    for (int i = 0; i < 5; i++) {
        const uint32_t rgb = calc->plotColors[i];
        r->arrow[i] = AllocColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF, nullptr,
                                 nullptr, nullptr, 1);
    }
    window->extension = r;
    window->releaseExtension = ProgramRelease;
    window->onClose = ProgramCloseEvent;
    window->onKey = ProgramKey;
    for (const Handler &h : kHandlers)
        SetButtonFunction(h.name, h.press, window);
    if (Window *save = FindNamedWindow("Save", window))
        save->onRightDown = SaveRightPressed;
    if (Window *load = FindNamedWindow("Load", window))
        load->onRightDown = LoadRightPressed;
    SetButtonCheck(ModeRadio(calc->programMode), 1, window);

    Window *listing =
        NewListBox(kButtonColumn, 1, width - 2, height - 1, window->foreground, defaults->white,
                   "proglist", kWindowKindList | kWindowTabStop, nullptr, window);
    TextDesc *d = listing ? TextDescOf(listing) : nullptr;
    Buffer *program = d ? programCreate() : nullptr;
    Window *plot = program ? NewLabel(0, 0, 1, 1, "progplot", 0, window) : nullptr;
    Window *scroller = plot ? NewScroller(kScrollerRight, nullptr, listing) : nullptr;
    Window *status = scroller ? NewStatusBar("progstatus", window) : nullptr;
    // Laid out from the right: the line, the program and the state at the right edge, the
    // report filling what is left of the window's width, up to its 60 characters.
    const int reportCells = width - 31 < 10 ? 10 : width - 31 > 60 ? 60 : width - 31;
    bool fields = status != nullptr;
    for (const auto &[name, cells] : {std::pair<const char *, int>{"lino", 8},
                                      {"program", 10},
                                      {"status", 8},
                                      {"report", reportCells}})
        fields = fields && AddStatusField(name, cells, status) == 0;
    if (!fields) {
        BufferFree(program);
        CloseWindow(window);
        return nullptr;
    }
    r->listing = WindowRefOf(listing);
    r->plot = WindowRefOf(plot);
    r->scroller = WindowRefOf(scroller);
    r->status = WindowRefOf(status);
    status->onLayout = StatusLayout;
    StatusLayout(status);
    gOpen = r;
    InstallProgram(program, r);
    d->lineDraw = DrawListingLine;
    listing->onLayout = ListingLayout;
    listing->onDrag = nullptr;
    listing->onLeftDown = ListingClick;
    listing->onKey = ListingKey;
    plot->background = defaults->white;
    plot->foreground = defaults->black;
    for (Window *c = window->chain; c; c = c->chain)
        if (WindowIsDescendant(c, window) && c != listing && !HasOwnKeys(c))
            c->onKey = ChildKey;

    calc->hooks.recordStep = RecordStep;
    calc->hooks.recordText = RecordText;
    calc->hooks.recordConstant = RecordConstant;
    calc->hooks.undoStep = UndoStep;
    calc->hooks.programReport = ProgramReport;
    calc->hooks.programMarked = ProgramMarked;
    calc->hooks.programStopped = ProgramStopped;
    calc->recorderMode = 0;
    calc->restartPending = 1;
    calc->plotState = 0;
    plotAttach(plot, window, 0, calc);
    resetPointMemory(calc);

    ListingLayout(listing);
    window->onLayout = GeometrySaver;
    *slot = r->window;
    ShowReport(" ", r);
    RefreshStatus(r);
    ShowDialog(window);
    return window;
}

} // namespace

int progwindToggle(Window *panel, Window *tape, WindowRef *slot) {
    if (!panel || !slot)
        return 1;
    if (Window *open = WindowRefGet(*slot)) {
        PostEvent(kEventClose, 0, open);
        return 0;
    }
    *slot = {};
    return OpenProgramWindow(panel, tape, slot) ? 0 : 1;
}

void progwindClose(WindowRef *slot) {
    if (!slot)
        return;
    Window *open = WindowRefGet(*slot);
    *slot = {};
    if (!open)
        return;
    if (ProgramWindow *r = RecordOf(open))
        Detach(r);
    CloseWindow(open);
}

int progwindConfirmDiscard(WindowRef *slot) {
    ProgramWindow *r = slot ? RecordOf(WindowRefGet(*slot)) : nullptr;
    if (!r)
        return 1;
    StopRun(r);
    return ConfirmDiscard(r);
}

Calculator *progwindCalculator(WindowRef slot) {
    ProgramWindow *r = RecordOf(WindowRefGet(slot));
    return r ? r->calc : nullptr;
}
