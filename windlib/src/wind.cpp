// The toolkit core: window records and their host windows, the ring of top windows and the
// descendant chains, geometry, focus, the defaults and the reporters. The event side (queue,
// loop, window procedure) is windmsg.cpp; this file calls into it when a window closes.
//
// Invariants:
// - A live window is in the ring (top window) or has a parent (descendant). A closed record is
//   cleared and put on the free list (linked through `chain`), so it never looks live again.
// - A top window's `chain` lists every window created inside it, in creation order; a window's
//   own descendants are found by following `parent` links, never by position in the chain.
// - After any callback the window is checked for liveness before it is touched again.
#include "wind.h"
#include "command.h"
#include "fonts.h"
#include "gdi.h"
#include "image.h"
#include "keys.h"
#include "windmsg.h"

#include "host.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char kSourceFile[] = "windlib\\src\\wind";
constexpr int kProgramNameSize = 256;
constexpr int kFontSpecSize = 128;
constexpr int kDiagnosticSize = 512;
constexpr int kReportSize = 512;
constexpr int kProgramIcon = 101;
constexpr int kShadowStep = 64;       // dialog background less this per component is the shadow
constexpr int kCommandGraceMs = 5000; // the end waits this long for a document on its way to lp

constexpr char kFileClass[] = "RylFileWindow";
constexpr char kDialogClass[] = "RylDialogWindow";
constexpr char kButtonClass[] = "RylButtonWindow";

struct Core {
    bool up;                                         // between WindowProlog and WindowEpilog
    const HostOps *host;                             // the backend in use
    WindAllocFn allocate;                            // the allocator pair and report function
    WindReleaseFn release;                           //
    WindReportFn report;                             //
    char programName[kProgramNameSize];              // from the first argument
    ToolkitDefaults defaults;                        //
    char fontSpec[kDefaultFontCount][kFontSpecSize]; // storage of the built fontspecs
    int frameWidth, frameHeight, captionHeight;      // host frame metrics
    Window *ring;                                    // first top window
    Window *freeList;                                // recycled records, through `chain`
    Window *focus;                                   // the focus window
    int closingDepth;                                // nested CloseWindow calls
    Window *focusBeforeClose;                        // focus when the outermost close began
    Window *paintWindow;                             // the window painting now, and its device
    HostDevice *paintDevice;                         //
    int reporting;                                   // a message box is up
    bool epilogPending;                              // WindowEpilog waits for the stack
    bool epilogRunning;                              //
    bool closingAll;                                 // a pending epilog closes the windows
    char diagnostic[kDiagnosticSize];                // the last quiet diagnostic
};

Core gCore;
// The host every prolog starts on, x11 until WindowUseHost says otherwise. Kept apart from gCore,
// which every prolog clears, because the choice holds for every prolog after it.
const HostOps *gChosenHost = &kX11Host;

// The line spacing of the window's font (font 0 for a window without one).
int WindowLineSpacing(const Window *w) {
    return FontLineSpacing(w->font >= 0 ? w->font : 0, nullptr);
}

// ---- records -----------------------------------------------------------------------------------

int DoNothing(Window *) { return 0; }
int DoNothingValue(int, Window *) { return 0; }

void FillSlots(Window *w) {
    w->kindProc = DoNothingValue;
    w->onClose = CloseWindow;
    w->onPaint = DoNothing;
    w->onLayout = DoNothing;
    w->onFocusIn = DoNothing;
    w->onFocusOut = DoNothing;
    w->onEnter = DoNothing;
    w->onLeave = DoNothing;
    w->getText = nullptr;
    w->setText = nullptr;
    w->onKey = DoNothingValue;
    w->onDrag = DoNothingValue;
    w->onHover = DoNothingValue;
    w->onLeftDown = DoNothingValue;
    w->onRightDown = DoNothingValue;
    w->onMiddleDown = nullptr;
    w->onLeftUp = DoNothingValue;
    w->onMiddleUp = nullptr;
    w->onRightUp = DoNothingValue;
    w->onIdle = nullptr;
    w->onActivate = nullptr;
}

Window *TakeRecord(void) {
    Window *w = gCore.freeList;
    if (w) {
        gCore.freeList = w->chain;
        return w;
    }
    w = (Window *)gCore.allocate(sizeof(Window));
    if (w)
        *w = Window{}; // generation 0
    return w;
}

// Clears the record (so it is never live again) and puts it on the free list.
void Recycle(Window *w) {
    if (w->text && w->text != w->name)
        gCore.release(w->text);
    if (w->name)
        gCore.release(w->name);
    uint32_t generation = w->generation + 1;
    *w = Window{};
    w->generation = generation;
    FillSlots(w);
    w->onClose = DoNothing;
    w->onKey = nullptr;
    w->chain = gCore.freeList;
    gCore.freeList = w;
}

// ---- links -------------------------------------------------------------------------------------

void RingInsert(Window *w) {
    if (!gCore.ring) {
        w->next = w->prev = w;
        gCore.ring = w;
        return;
    }
    // Just before the first top window: the end of the ring.
    w->next = gCore.ring;
    w->prev = gCore.ring->prev;
    gCore.ring->prev->next = w;
    gCore.ring->prev = w;
}

void RingRemove(Window *w) {
    if (w->next == w) {
        gCore.ring = nullptr;
    } else {
        w->prev->next = w->next;
        w->next->prev = w->prev;
        if (gCore.ring == w)
            gCore.ring = w->next;
    }
    w->next = w->prev = nullptr;
}

void ChainAppend(Window *w, Window *parent) {
    Window *p = parent;
    while (p->chain)
        p = p->chain;
    p->chain = w;
    w->chain = nullptr;
}

// Takes the window out of whichever chain holds it: its top window's, or the run that
// CloseChild cut out (headed by an ancestor).
void ChainUnlink(Window *w) {
    for (Window *a = w->parent; a; a = a->parent)
        for (Window *p = a; p; p = p->chain)
            if (p->chain == w) {
                p->chain = w->chain;
                w->chain = nullptr;
                return;
            }
}

template <typename Fn> void ForEachWindow(Fn fn) {
    Window *head = gCore.ring;
    if (!head)
        return;
    Window *t = head;
    do {
        for (Window *w = t; w; w = w->chain)
            fn(w);
        t = t->next;
    } while (t && t != head);
}

// The first own descendant of w (in chain order) that is not already closing.
Window *FirstDescendant(Window *w) {
    for (Window *d = w->chain; d; d = d->chain)
        if (!d->closing && WindowIsDescendant(d, w))
            return d;
    return nullptr;
}

// Sends onClose to each own descendant in turn; one that survives its onClose is closed anyway.
void CloseDescendants(Window *w) {
    while (Window *d = FirstDescendant(w)) {
        WindowRef ref = WindowRefOf(d);
        if (d->onClose)
            d->onClose(d);
        if (WindowRefLive(ref) && !d->closing && WindowIsDescendant(d, w))
            CloseWindow(d);
    }
}

bool InDialog(const Window *w) {
    for (; w; w = w->parent)
        if (WindowKind(w) == kWindowKindDialog)
            return true;
    return false;
}

// ---- host windows ------------------------------------------------------------------------------

const char *HostClassFor(uint32_t flags) {
    switch (flags & kWindowKindMask) {
    case kWindowKindTop:
        return kFileClass;
    case kWindowKindDialog:
        return kDialogClass;
    default:
        return kButtonClass;
    }
}

// Framed windows get the host frame; a dialog other than a menu bar or an inner dialog is a
// pop-up; everything else lives inside its parent. A window without a parent cannot be a child
// on the host, so an unframed top window is a pop-up too.
uint32_t HostStyleFor(uint32_t flags, bool hasParent) {
    if (flags & kWindowFramed)
        return kHostStyleFramed;
    uint32_t low = flags & kWindowTypeMask;
    bool dialog = (flags & kWindowKindMask) == kWindowKindDialog;
    if (dialog && hasParent && flags == kWindowPullDown)
        return kHostStylePopup | kHostStyleFloatBit; // a menu floats and holds pointer and keys
    if (!hasParent || (dialog && low != kWindowMenuBar && low != kWindowDialogChild))
        return kHostStylePopup;
    return kHostStyleChild;
}

void FrameOffsets(const Window *w, int *dx, int *dy) {
    bool framed = (w->flags & kWindowFramed) != 0;
    *dx = framed ? gCore.frameWidth : 0;
    *dy = framed ? gCore.captionHeight + gCore.frameHeight : 0;
}

// From the toolkit's pixel rectangle (client area) to the host window's rectangle in the
// host's coordinates for this window.
void HostPlacement(const Window *w, int left, int top, int right, int bottom, int *x, int *y,
                   int *width, int *height) {
    *x = left;
    *y = top;
    *width = right - left + 1;
    *height = bottom - top + 1;
    if (w->flags & kWindowFramed) {
        *x -= gCore.frameWidth;
        *y -= gCore.captionHeight + gCore.frameHeight;
        *width += 2 * gCore.frameWidth;
        *height += gCore.captionHeight + 2 * gCore.frameHeight;
    }
    bool hostChild = (HostStyleFor(w->flags, w->parent != nullptr) & kHostStyleChildBit) != 0;
    if (w->parent && !hostChild) {
        int px, py;
        WindowClientOrigin(w->parent, &px, &py);
        *x += px;
        *y += py;
    }
}

void ReadGeometry(Window *w, bool layout) {
    HostRect outer, client;
    if (!w->host || gCore.host->getWindowRect(w->host, &outer) ||
        gCore.host->getClientRect(w->host, &client))
        return;
    int dx, dy;
    FrameOffsets(w, &dx, &dy);
    int x = outer.left + dx, y = outer.top + dy;
    if (w->parent) {
        int px, py;
        WindowClientOrigin(w->parent, &px, &py);
        x -= px;
        y -= py;
    }
    const ToolkitDefaults &d = gCore.defaults;
    w->left = x;
    w->top = y;
    w->right = x + client.right - 1;
    w->bottom = y + client.bottom - 1;
    w->cellLeft = PixelsToCells(w->left, d.cellWidth);
    w->cellTop = PixelsToCells(w->top, d.cellHeight);
    w->cellRight = PixelsToCells(w->right, d.cellWidth);
    w->cellBottom = PixelsToCells(w->bottom, d.cellHeight);
    if (!layout || !(w->flags & kWindowFramed))
        return;
    // onLayout may open and close windows: take the list first, check each before the call.
    std::vector<WindowRef> order;
    for (Window *v = w; v; v = v->chain)
        order.push_back(WindowRefOf(v));
    for (WindowRef ref : order)
        if (Window *v = WindowRefGet(ref); v && !v->closing && v->onLayout)
            v->onLayout(v);
}

// ---- reporters ---------------------------------------------------------------------------------

void Report(const char *text, const char *caption, unsigned flags) {
    if (!gCore.up || gCore.reporting) {
        fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    gCore.reporting++;
    LoopReleaseCapture(); // the box must get the clicks: a report may come from a button press
    gCore.host->messageBox(text, caption, flags);
    gCore.reporting--;
}

// ---- defaults ----------------------------------------------------------------------------------

// The colour less kShadowStep per component (not below 0): through the components, since on a
// palette screen a colour is an index. AllocColor clamps at 0.
Color Darken(Color c) {
    int r, g, b;
    ColorComponents(c, &r, &g, &b);
    return AllocColor(r - kShadowStep, g - kShadowStep, b - kShadowStep, nullptr, nullptr, nullptr,
                      1);
}

struct DefaultFontRow {
    const char *format; // bold serif, bold sans: bold 1 serif 1; fixed: bold 0 serif 0;
    const char *face;   // the sans fonts leave serif out
    int height[3];      // cell width <= 7, <= 15, larger (tenths of a point)
};

constexpr const char *kFixedFormat = "face:%s!height:%d!bold:0!italic:0!serif:0!setwidth:1";
constexpr const char *kBoldFormat = "face:%s!height:%d!bold:1!italic:0!serif:1!setwidth:1";
constexpr const char *kPlainFormat = "face:%s!height:%d!bold:0!italic:0!setwidth:1";

constexpr DefaultFontRow kDefaultFonts[kDefaultFontCount] = {
    {kFixedFormat, "Fixedsys", {100, 100, 100}},
    {kBoldFormat, "Courier New", {90, 110, 130}},
    {kBoldFormat, "MS Sans Serif", {100, 120, 140}},
    {kPlainFormat, "MS Sans Serif", {100, 110, 140}},
    {kPlainFormat, "MS Sans Serif", {70, 90, 110}},
};

// The program's own choices of default fonts (SetDefaultFontSpec): kept across prologs, as the
// choice of host is.
const char *gFontChoice[kDefaultFontCount];

void BuildDefaultFonts(void) {
    ToolkitDefaults &d = gCore.defaults;
    int w = d.cellWidth >> 16;
    int column = w <= 7 ? 0 : w <= 15 ? 1 : 2;
    for (int i = 0; i < kDefaultFontCount; i++) {
        const DefaultFontRow &row = kDefaultFonts[i];
        snprintf(gCore.fontSpec[i], kFontSpecSize, row.format, row.face, row.height[column]);
        d.fontSpec[i] = gFontChoice[i] ? gFontChoice[i] : gCore.fontSpec[i];
        d.fontIndex[i] = FontLookup(d.fontSpec[i]);
    }
}

constexpr int kIconSide = 48;
uint32_t gIconPixels[kIconSide * kIconSide]; // the program's icon for the window manager

void RegisterClasses(void) {
    const HostOps *h = gCore.host;
    int w = 0, hgt = 0;
    const uint32_t *icon = XpmToArgb(kProgramIconXpm, kProgramIconLines, gIconPixels,
                                     kIconSide * kIconSide, &w, &hgt) == 0
                               ? gIconPixels
                               : nullptr;
    HostClass file = {kFileClass, WindowProcedure, kHostNoBackground, kProgramIcon, icon, w, hgt};
    HostClass dialog = {
        kDialogClass, WindowProcedure, (int64_t)h->sysColor(kHostColorMenu), kProgramIcon, icon, w,
        hgt};
    HostClass button = {kButtonClass, WindowProcedure, kHostNoBackground, 0, nullptr, 0, 0};
    h->registerClass(&file);
    h->registerClass(&dialog);
    h->registerClass(&button);
}

Window *OpenCommon(int left, int top, int right, int bottom, const int *cells, Color foreground,
                   Color background, const char *name, uint32_t flags, Window *parent) {
    if (!gCore.up)
        return nullptr;
    if (parent && !WindowIsLive(parent)) {
        AssertReport(kSourceFile, __LINE__);
        return nullptr;
    }
    Window *w = TakeRecord();
    if (!w) {
        ReportMemoryError("open Window");
        return nullptr;
    }
    uint32_t generation = w->generation;
    *w = Window{};
    w->generation = generation;
    if (!name)
        name = "";
    size_t size = strlen(name) + 1;
    w->name = (char *)gCore.allocate(size);
    if (!w->name) {
        Recycle(w);
        ReportMemoryError("open Window");
        return nullptr;
    }
    memcpy(w->name, name, size);
    w->text = w->name;

    const ToolkitDefaults &d = gCore.defaults;
    int defaults[4] = {d.topLeft, d.topTop, d.topRight, d.topBottom};
    if (!parent && (left < 0 || top < 0)) {
        cells = defaults;
        left = CellsToPixels(d.topLeft, d.cellWidth);
        top = CellsToPixels(d.topTop, d.cellHeight);
        right = CellEdgeToPixels(d.topRight, d.cellWidth);
        bottom = CellEdgeToPixels(d.topBottom, d.cellHeight);
    }
    w->left = left;
    w->top = top;
    w->right = right;
    w->bottom = bottom;
    w->cellLeft = -1;
    if (cells) {
        w->cellLeft = cells[0];
        w->cellTop = cells[1];
        w->cellRight = cells[2];
        w->cellBottom = cells[3];
    }
    w->flags = flags;
    w->foreground = foreground;
    w->background = background;
    w->needsLayout = 1;
    w->font = parent ? parent->font : -1;
    w->damageBottom = -1; // nothing to paint yet
    w->damageRight = -1;
    if (parent) {
        w->parent = parent;
        ChainAppend(w, parent);
    } else {
        RingInsert(w);
    }
    FillSlots(w);

    int x, y, width, height;
    HostPlacement(w, left, top, right, bottom, &x, &y, &width, &height);
    w->host = gCore.host->createWindow(HostClassFor(flags), w->name,
                                       HostStyleFor(flags, parent != nullptr), x, y, width, height,
                                       parent ? parent->host : nullptr);
    if (!w->host) {
        if (parent)
            ChainUnlink(w);
        else
            RingRemove(w);
        Recycle(w);
        return nullptr;
    }
    ReadGeometry(w, false);
    if (cells) { // the cells asked for stand; the pixels are what the host gave
        w->cellLeft = cells[0];
        w->cellTop = cells[1];
        w->cellRight = cells[2];
        w->cellBottom = cells[3];
    }
    if ((flags & kWindowTakesFocus) && !gCore.focus)
        SetFocusWindow(w);
    return w;
}

} // namespace

// ---- start and end ------------------------------------------------------------------------------

int WindowUseHost(const char *name) {
    const HostOps *host = HostChoose(name);
    if (!host)
        return 1;
    gChosenHost = host;
    return 0;
}

int WindowProlog(int argc, char **argv, WindAllocFn allocate, WindReleaseFn release,
                 WindReportFn report) {
    if (!allocate || !release) {
        if (report)
            report("Window Prolog: no malloc !");
        return 1;
    }
    if (!report)
        return 1;
    if (gCore.up)
        WindowEpilog();
    gCore = Core{};
    gCore.allocate = allocate;
    gCore.release = release;
    gCore.report = report;
    const char *program = argc > 0 && argv && argv[0] ? argv[0] : "";
    snprintf(gCore.programName, sizeof gCore.programName, "%s", program);
    LoopReset();
    KeyReset();

    const HostOps *host = gChosenHost;
    if (host->open(gCore.programName))
        return 3;
    gCore.host = host;
    RegisterClasses();
    gCore.frameWidth = host->getSystemMetric(kHostMetricFrameWidth);
    gCore.frameHeight = host->getSystemMetric(kHostMetricFrameHeight);
    gCore.captionHeight = host->getSystemMetric(kHostMetricCaptionHeight);
    if (GraphicsInit()) {
        GraphicsEnd();
        host->close();
        gCore.host = nullptr;
        return 3;
    }

    ToolkitDefaults &d = gCore.defaults;
    d.foreground = SystemColor(kSysColorWindowText);
    d.windowBackground = SystemColor(kSysColorWindow);
    d.dialogForeground = SystemColor(kSysColorWindowText);
    d.titleBackground = SystemColor(kSysColorActiveCaption);
    d.titleText = SystemColor(kSysColorCaptionText);
    d.dialogBackground = SystemColor(kSysColorMenu);
    d.dialogForeground2 = d.dialogForeground;
    d.dialogBackground2 = d.dialogBackground;
    d.shadow = Darken(d.dialogBackground);
    d.white = AllocColor(255, 255, 255, nullptr, nullptr, nullptr, 1);
    d.black = AllocColor(0, 0, 0, nullptr, nullptr, nullptr, 1);
    for (unsigned char &flag : d.smallFlags)
        flag = 1;
    d.cellWidth = kDefaultCellWidth;
    d.cellHeight = kDefaultCellHeight;
    d.smallValues[0] = 0;
    d.smallValues[1] = 6;
    d.smallValues[2] = 8;
    d.smallValues[3] = 0;
    gCore.up = true; // fonts and reporters may be used from here on
    BuildDefaultFonts();

    HostRect desk;
    host->getDesktopRect(&desk);
    d.desktopLeft = desk.left;
    d.desktopTop = desk.top;
    d.desktopRight = desk.right;
    d.desktopBottom = desk.bottom;
    int width = desk.right - desk.left, height = desk.bottom - desk.top;
    d.topLeft = PixelsToCells(desk.left + 40, d.cellWidth);
    d.topRight = PixelsToCells(desk.left + 40 + width * 4 / 8, d.cellWidth);
    d.topTop = PixelsToCells(desk.top + height / 15, d.cellHeight);
    d.topBottom = PixelsToCells(desk.bottom - height / 15, d.cellHeight);
    LoopReset();
    CaretReset();
    return 0;
}

namespace {

// The first top window last: walk back from the end of the ring.
void CloseTopWindows(void) {
    while (gCore.ring) {
        Window *last = gCore.ring->prev;
        if (last->closing)
            break; // its close is under way further up the stack
        WindowRef ref = WindowRefOf(last);
        if (last->onClose)
            last->onClose(last);
        if (WindowRefLive(ref) && !last->closing)
            CloseWindow(last);
    }
}

} // namespace

void WindowEpilog(void) {
    if (!gCore.up || gCore.epilogRunning)
        return;
    // Callers further up the stack still hold records and use the host: close the windows
    // (which ends every loop level) and release the rest once they have returned.
    if (gCore.closingDepth > 0 || LoopLevels() > 0) {
        gCore.epilogPending = true;
        WindowRunPendingEpilog();
        return;
    }
    gCore.epilogRunning = true;
    gCore.epilogPending = false;
    CloseTopWindows();
    EndCommands(kCommandGraceMs);
    while (Window *w = gCore.freeList) {
        gCore.freeList = w->chain;
        gCore.release(w);
    }
    LoopReset();
    LoopStopAll(); // a loop level still on the stack ends
    CaretReset();
    GraphicsEnd(); // every host font goes before the host
    gCore.host->close();
    gCore.host = nullptr;
    gCore.up = false;
    gCore.focus = nullptr;
    gCore.epilogRunning = false;
}

void WindowRunPendingEpilog(void) {
    if (!gCore.epilogPending || gCore.closingDepth > 0 || gCore.closingAll)
        return;
    if (LoopLevels() == 0) {
        WindowEpilog();
        return;
    }
    gCore.closingAll = true; // closing every window ends every loop level
    CloseTopWindows();
    gCore.closingAll = false;
}

// ---- windows -----------------------------------------------------------------------------------

Window *OpenWindowPixels(int left, int top, int right, int bottom, Color foreground,
                         Color background, const char *name, uint32_t flags, Window *parent) {
    return OpenCommon(left, top, right, bottom, nullptr, foreground, background, name, flags,
                      parent);
}

Window *OpenWindow(int left, int top, int right, int bottom, Color foreground, Color background,
                   const char *name, uint32_t flags, Window *parent) {
    const ToolkitDefaults &d = gCore.defaults;
    int cells[4] = {left, top, right, bottom};
    return OpenCommon(CellsToPixels(left, d.cellWidth), CellsToPixels(top, d.cellHeight),
                      CellEdgeToPixels(right, d.cellWidth), CellEdgeToPixels(bottom, d.cellHeight),
                      cells, foreground, background, name, flags, parent);
}

int CloseWindow(Window *w) {
    if (!WindowIsLive(w) || w->closing)
        return 1;
    w->closing = 1;
    if (gCore.closingDepth++ == 0)
        gCore.focusBeforeClose = gCore.focus;

    CloseDescendants(w);
    if (w->parent) {
        if (gCore.focus == w)
            gCore.focus = w->parent;
        ChainUnlink(w);
        ForEachWindow([w](Window *v) {
            if (v->current == w)
                v->current = nullptr;
        });
    } else {
        Window *previous = w->prev != w ? w->prev : nullptr;
        RingRemove(w);
        if (gCore.focus == w)
            gCore.focus = previous;
    }
    w->parent = nullptr; // no longer live from here on
    HostWindow *host = w->host;
    w->host = nullptr;
    if (host)
        gCore.host->destroyWindow(host);
    if (!gCore.ring) {
        LoopStopAll();
        gCore.focus = nullptr;
    }
    LoopForgetWindow(w);
    LoopCloseModal(w);
    if (w->releaseExtension)
        w->releaseExtension(w);
    Recycle(w);

    if (--gCore.closingDepth == 0 && gCore.focus != gCore.focusBeforeClose) {
        Window *focus = gCore.focus;
        gCore.focus = nullptr; // the old focus window is gone: no onFocusOut for it
        if (focus)
            SetFocusWindow(focus);
    }
    if (gCore.closingDepth == 0)
        WindowRunPendingEpilog();
    return 0;
}

int CloseChild(Window *w, Window *parent) {
    if (!WindowIsLive(w) || !WindowIsLive(parent) || !WindowIsDescendant(w, parent))
        return 1;
    Window *before = parent;
    while (before && before->chain != w)
        before = before->chain;
    if (!before)
        return 1;
    // Cut w and its own descendants out, keeping their order, as a run headed by w.
    Window *tail = w;
    Window *p = before;
    before->chain = w->chain;
    w->chain = nullptr;
    while (Window *v = p->chain) {
        if (WindowIsDescendant(v, w)) {
            p->chain = v->chain;
            v->chain = nullptr;
            tail->chain = v;
            tail = v;
        } else {
            p = v;
        }
    }
    WindowRef ref = WindowRefOf(w);
    if (w->onClose)
        w->onClose(w);
    if (WindowRefLive(ref) && !w->closing)
        CloseWindow(w); // cut out of its chain, it cannot stay open
    return 0;
}

void ShowWindowTree(Window *w) {
    if (!WindowIsLive(w) || !w->host)
        return;
    const HostOps *h = gCore.host;
    h->showWindow(w->host, 1);
    h->showOwnedPopups(w->host, 1);
    for (Window *d = w->chain; d; d = d->chain)
        if (d->host && (!w->parent || WindowIsDescendant(d, w)))
            h->showWindow(d->host, 1);
}

int SetWindowText(const char *text, Window *w) {
    if (!WindowIsLive(w) || !text)
        return 1;
    size_t size = strlen(text) + 1;
    if (w->text == w->name || size > w->textSize) {
        char *storage = (char *)gCore.allocate(size);
        if (!storage) {
            if (w->text != w->name)
                gCore.release(w->text);
            w->text = w->name;
            w->textSize = 0;
            return 1;
        }
        memcpy(storage, text, size);
        if (w->text != w->name)
            gCore.release(w->text);
        w->text = storage;
        w->textSize = size;
    } else {
        memmove(w->text, text, size);
    }
    if (w->host)
        gCore.host->setWindowText(w->host, w->text);
    PostEvent(kEventRedraw, 0, w);
    return 0;
}

int SetWindowFixedSize(bool fixed, Window *w) {
    if (!WindowIsLive(w) || !w->host || w->parent)
        return 1;
    return gCore.host->setFixedSize(w->host, fixed ? 1 : 0);
}

int MoveWindowTo(int x, int y, int width, int height, int inPixels, Window *w) {
    if (!WindowIsLive(w) || !w->host)
        return 1;
    if (!inPixels) {
        const ToolkitDefaults &d = gCore.defaults;
        x = CellsToPixels(x, d.cellWidth);
        y = CellsToPixels(y, d.cellHeight);
        width = CellsToPixels(width, d.cellWidth);
        height = CellsToPixels(height, d.cellHeight);
    }
    int hx, hy, hw, hh;
    HostPlacement(w, x, y, x + width - 1, y + height - 1, &hx, &hy, &hw, &hh);
    WindowRef ref = WindowRefOf(w);
    gCore.host->moveWindow(w->host, hx, hy, hw, hh, 1);
    if (!WindowRefLive(ref))
        return 0;
    ReadGeometry(w, true);
    if (WindowRefLive(ref))
        w->needsLayout = 1;
    return 0;
}

void ReadWindowGeometry(Window *w) {
    if (WindowIsLive(w))
        ReadGeometry(w, true);
}

void RepaintWindowOn(HostDevice *device, Window *w) {
    if (!WindowIsLive(w) || !w->host)
        return;
    WindowRef ref = WindowRefOf(w);
    if (w->needsLayout) {
        ReadGeometry(w, true);
        if (!WindowRefLive(ref))
            return;
    }
    HostWindow *host = w->host;
    HostDevice *own = nullptr;
    if (!device)
        device = own = gCore.host->getDevice(host);
    Window *outerWindow = gCore.paintWindow;
    HostDevice *outerDevice = gCore.paintDevice;
    gCore.paintWindow = w;
    gCore.paintDevice = device;
    // The window GC on this device: the paint's own GetWindowGC shares the loan, and so draws
    // on the paint's device. Lent to another window it is refused, and the paint skips drawing.
    GC *gc = wGETGC(0, kGCWindow, device, w);
    bool caret = (w->flags & kWindowTakesFocus) != 0;
    if (caret)
        CaretHide(w);
    if (w->needsLayout) {
        w->damageLeft = 0;
        w->damageTop = 0;
        w->damageRight = w->right - w->left;
        w->damageBottom = w->bottom - w->top;
        w->needsLayout = 0;
    }
    if (w->onPaint)
        w->onPaint(w);
    if (caret && WindowRefLive(ref))
        CaretShow(w);
    if (gc)
        ReleaseGC(gc);
    gCore.paintWindow = outerWindow;
    gCore.paintDevice = outerDevice;
    if (own)
        gCore.host->releaseDevice(host, own);
}

void RepaintWindow(Window *w) { RepaintWindowOn(nullptr, w); }

HostDevice *WindowPaintDevice(const Window *w) {
    return w && w == gCore.paintWindow ? gCore.paintDevice : nullptr;
}

void EnableWindow(Window *w) {
    if (!WindowIsLive(w))
        return;
    w->flags &= ~kWindowDisabled;
    PostEvent(kEventRedraw, 0, w);
}

void DisableWindow(Window *w) {
    if (!WindowIsLive(w))
        return;
    w->flags |= kWindowDisabled;
    PostEvent(kEventRedraw, 0, w);
}

int SetFocusWindow(Window *w) {
    if (!WindowIsLive(w))
        return 1;
    // Checked before the host focus moves, so a refused window does not take it either.
    if (w != gCore.focus && ModalDepth() > 0 && gCore.focus && InDialog(gCore.focus) &&
        !InDialog(w))
        return 1;
    WindowRef ref = WindowRefOf(w);
    // The old owner's caret goes before the host focus moves: once it has gone, the old owner
    // could no longer take its caret away.
    if (gCore.focus && gCore.focus != w)
        CaretDetach(gCore.focus);
    if (w->host)
        gCore.host->setFocus(w->host);
    if (!WindowRefLive(ref))
        return 1;
    if (w == gCore.focus)
        return 0;
    Window *old = gCore.focus;
    if (old) {
        WindowRef oldRef = WindowRefOf(old);
        if (old->flags & kWindowTakesFocus) { // hide its caret: an empty repaint
            old->damageLeft = old->damageTop = 0;
            old->damageRight = old->damageBottom = -1;
            RepaintWindow(old);
        }
        if (WindowRefLive(oldRef) && old->onFocusOut)
            old->onFocusOut(old);
        if (!WindowRefLive(ref))
            return 1;
    }
    gCore.focus = w;
    if (w->flags & kWindowTakesFocus)
        CaretAttach(w);
    if (w->onFocusIn)
        w->onFocusIn(w);
    if (!WindowRefLive(ref))
        return 0;
    if (w->parent && WindowKind(w->parent) == kWindowKindDialog)
        w->parent->current = w;
    else
        PostEvent(kEventRedraw, 0, w);
    return 0;
}

Window *FocusWindow(void) { return gCore.focus; }

int ScrollTextLines(int direction, Window *w) {
    static const int kStep[4][2] = {{0, -1}, {0, 1}, {1, 0}, {-1, 0}};
    if (!WindowIsLive(w) || !w->host || direction < kScrollLineUp || direction > kScrollPixelLeft)
        return 1;
    int h = WindowLineSpacing(w);
    if (h <= 0)
        return 1;
    int width = w->right - w->left + 1, height = w->bottom - w->top + 1;
    int x0 = 0, bandWidth = width, usable = height;
    if (w->flags & kWindowBordered) {
        x0 = 3;
        bandWidth = width - 6;
        usable = height - 6;
    }
    int bandHeight = usable / h * h;
    if (bandWidth <= 0 || bandHeight <= 0)
        return 1;
    int y0 = (height - bandHeight) / 2;
    HostRect band = {x0, y0, x0 + bandWidth, y0 + bandHeight};
    gCore.host->scrollWindow(w->host, kStep[direction][0], kStep[direction][1] * h, &band);
    gCore.host->validateRect(w->host, nullptr);
    return 0;
}

// ---- defaults ----------------------------------------------------------------------------------

const ToolkitDefaults *GetToolkitDefaults(void) { return gCore.up ? &gCore.defaults : nullptr; }

void SetDefaultFontSpec(int which, const char *spec) {
    if (which >= 0 && which < kDefaultFontCount)
        gFontChoice[which] = spec;
}

int SetToolkitDefaults(const ToolkitDefaults *copy) {
    if (!gCore.up || !copy)
        return 1;
    ToolkitDefaults next = *copy;
    for (int i = 0; i < kDefaultFontCount; i++) {
        if (copy->fontSpec[i] == gCore.defaults.fontSpec[i]) {
            next.fontIndex[i] = gCore.defaults.fontIndex[i];
            continue;
        }
        DeleteFont(gCore.defaults.fontIndex[i]);
        next.fontIndex[i] = FontLookup(copy->fontSpec[i]);
    }
    gCore.defaults = next;
    return 0;
}

// ---- reporters ---------------------------------------------------------------------------------

void ReportMemoryError(const char *text) {
    Report(text, "KLN Memory Error", kHostBoxOk | kHostBoxIconError);
}

void RingBell(void) {
    if (gCore.up)
        gCore.host->bell();
}

void ReportMessage(const char *text) { Report(text, "KLN Report", kHostBoxOk | kHostBoxIconError); }

void ReportError(const char *text, const char *caption) {
    Report(text, caption, kHostBoxOk | kHostBoxIconError);
}

int AskYesNo(const char *text, const char *caption) {
    if (!gCore.up || gCore.reporting) {
        fprintf(stderr, "%s: %s\n", caption, text);
        return 0;
    }
    gCore.reporting++;
    LoopReleaseCapture();
    int answer = gCore.host->messageBox(text, caption, kHostBoxYesNo | kHostBoxIconQuestion);
    gCore.reporting--;
    return answer == kHostAnswerYes || answer == kHostAnswerOk ? 1 : 0;
}

void AssertReport(const char *file, int line) {
    char text[kReportSize];
    snprintf(text, sizeof text, "%s Line %d", file ? file : "?", line);
    Report(text, "ASSERT Failed", kHostBoxOk);
}

int QuietDiagnostic(const char *message, const char *detail) {
    snprintf(gCore.diagnostic, sizeof gCore.diagnostic, "%s %s", message ? message : "",
             detail ? detail : "");
    return 1;
}

const char *LastQuietDiagnostic(void) { return gCore.diagnostic; }

// ---- for the toolkit's modules -----------------------------------------------------------------

const HostOps *WindowHost(void) { return gCore.host; }

void WindowFrameSize(int *left, int *top, int *right, int *bottom) {
    *left = *right = gCore.frameWidth;
    *top = gCore.captionHeight + gCore.frameHeight;
    *bottom = gCore.frameHeight;
}

int ScreenScale(void) {
    int scale = gCore.host ? gCore.host->getScreenCap(kHostCapScale) : 1;
    return scale > 1 ? scale : 1;
}
Window *FirstTopWindow(void) { return gCore.ring; }

Window *FindHostWindow(HostWindow *host) {
    if (!host)
        return nullptr;
    Window *found = nullptr;
    ForEachWindow([&](Window *w) {
        if (!found && w->host == host)
            found = w;
    });
    return found;
}

Window *ExtensionWindowOf(WindowProc release, Window *w) {
    if (!release) {
        while (w && w->parent)
            w = w->parent;
        return w && w->extension ? w : nullptr;
    }
    for (; w; w = w->parent)
        if (w->releaseExtension == release && w->extension)
            return w;
    return nullptr;
}

bool WindowIsDescendant(const Window *w, const Window *ancestor) {
    if (!w || !ancestor)
        return false;
    for (const Window *p = w->parent; p; p = p->parent)
        if (p == ancestor)
            return true;
    return false;
}

void WindowClientOrigin(const Window *w, int *x, int *y) {
    *x = *y = 0;
    HostRect outer;
    if (!w || !w->host || gCore.host->getWindowRect(w->host, &outer))
        return;
    int dx, dy;
    FrameOffsets(w, &dx, &dy);
    *x = outer.left + dx;
    *y = outer.top + dy;
}

void *WindowAllocate(size_t size) { return gCore.allocate ? gCore.allocate(size) : nullptr; }
void WindowRelease(void *memory) {
    if (gCore.release && memory)
        gCore.release(memory);
}

void SetLostDisplayHook(void (*hook)(void)) {
    if (gCore.host && gCore.host->setExitHook)
        gCore.host->setExitHook(hook);
}
