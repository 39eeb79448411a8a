// The headless backend: a deterministic virtual screen for tests and for running without a
// display. Windows are records with a rectangle, painting goes into one cairo image surface per
// top-level window (children paint into it through a clip and an offset), messages wait in an
// in-memory queue, and time is a virtual clock that only waits, sleeps and yields move.
//
// Classes, timers, the message queues and update areas are the host core's (hostcore.h), so
// messages come in the order the x11 backend gives them: input, then posted messages, then a
// paint, then timers. Input carries the modifiers held when it was injected.
#include "headless.h"
#include "hostcore.h"
#include "hostdraw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFrameWidth = 4;  // sizing frame, each side
constexpr int kFrameHeight = 4; //
constexpr int kCaptionHeight = 20;
constexpr int kDefaultWidth = 1280;
constexpr int kDefaultHeight = 1024;
constexpr int kDefaultBits = 24;
constexpr int kDpi = 96;
constexpr int kPaletteEntries = 256; // palette size of an 8-bit screen

struct HWin : HostCoreWindow {
    HWin *parent;                 // a child's parent, else null
    HWin *owner;                  // owner of a top-level window, or null
    std::string title;            //
    int x, y, width, height;      // outer rectangle: in the parent's client area for a
                                  // child, on the screen otherwise
    bool shown;                   // its own show state
    bool hiddenWithOwner;         // hidden by showOwnedPopups(owner, 0)
    bool modal;                   // setModal: it blocks its owner's input
    bool fixedSize;               // setFixedSize: the user cannot resize it
    cairo_surface_t *surface;     // top-level windows: the outer rectangle's pixels
    std::vector<HWin *> children; // bottom to top
};

struct Action {
    int64_t at;         // virtual time
    long order;         // scheduling order among equal times
    void (*fn)(void *); //
    void *context;      //
};

struct Box {
    std::string text, caption;
    unsigned flags;
};

struct Headless {
    bool open;
    int width = kDefaultWidth, height = kDefaultHeight, bits = kDefaultBits;
    std::vector<HWin *> tops; // top-level windows, bottom to top
    std::vector<Action> actions;
    long actionOrder;
    int64_t clock;
    HWin *focus, *capture;
    // The window a button was pressed in: until every button is up again the pointer's events
    // go there, as the X server's grab of a press sends them (the release too, wherever it is).
    HWin *grab;
    unsigned buttonsDown; // bit 0 left, 1 middle, 2 right
    int cursorX, cursorY;
    bool injectDown[256]; // keys held as injected so far (system keys, modifiers)
    bool away;            // the user works in another program: keys go there
    std::vector<Box> boxes;
    int boxAnswer = kHostAnswerOk;
    std::string clipboard;
    bool hasClipboard;
    bool clipboardRefused; // HeadlessClipboardRefuse
    long bells;            // HeadlessBellCount
    int failCreate;
    HeadlessStats stats;
    HWin *caretOwner; // the window the caret belongs to, null for none
    HostRect caret;   // its rectangle, client pixels of the owner
    bool caretShown;  // shown by the toolkit
    bool caretDrawn;  // its pixels are on the surface now, the covered ones in caretUnder
    std::vector<uint32_t> caretUnder;
};

Headless gH;

bool Alive(HWin *w) { return HostCoreAlive(w); }

// Every live window, creation order.
HostCoreWindowsOf<HWin> Windows(void) { return {}; }
bool IsChild(const HWin *w) { return (w->style & kHostStyleChildBit) != 0; }

HWin *TopOf(HWin *w) {
    while (IsChild(w) && w->parent)
        w = w->parent;
    return w;
}

bool EffectivelyVisible(const HWin *w) {
    for (; w; w = IsChild(w) ? w->parent : nullptr)
        if (!w->shown || w->hiddenWithOwner)
            return false;
    return true;
}

void FrameOffset(const HWin *w, int *dx, int *dy) {
    bool framed = HostStyleFramed(w->style);
    *dx = framed ? kFrameWidth : 0;
    *dy = framed ? kCaptionHeight + kFrameHeight : 0;
}

void ClientSize(const HWin *w, int *cw, int *ch) {
    bool framed = HostStyleFramed(w->style);
    *cw = w->width - (framed ? 2 * kFrameWidth : 0);
    *ch = w->height - (framed ? kCaptionHeight + 2 * kFrameHeight : 0);
    if (*cw < 0)
        *cw = 0;
    if (*ch < 0)
        *ch = 0;
}

// Screen position of the outer rectangle's corner.
void OuterOrigin(const HWin *w, int *sx, int *sy);

void ClientOrigin(const HWin *w, int *sx, int *sy) {
    OuterOrigin(w, sx, sy);
    int dx, dy;
    FrameOffset(w, &dx, &dy);
    *sx += dx;
    *sy += dy;
}

void OuterOrigin(const HWin *w, int *sx, int *sy) {
    *sx = w->x;
    *sy = w->y;
    if (IsChild(w) && w->parent) {
        int px, py;
        ClientOrigin(w->parent, &px, &py);
        *sx += px;
        *sy += py;
    }
}

HostRect Intersect(HostRect a, HostRect b) {
    HostRect r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

bool Empty(const HostRect &r) { return r.right <= r.left || r.bottom <= r.top; }

void Invalidate(HWin *w, const HostRect *rect) {
    int cw, ch;
    ClientSize(w, &cw, &ch);
    HostRect all = {0, 0, cw, ch};
    HostRect r = rect ? Intersect(*rect, all) : all;
    HostCoreInvalidate(w, r);
}

void InvalidateTree(HWin *w) {
    Invalidate(w, nullptr);
    for (HWin *c : w->children)
        InvalidateTree(c);
}

void DrawFrame(HWin *w) {
    if (!w->surface || !HostStyleFramed(w->style))
        return;
    cairo_t *cr = cairo_create(w->surface);
    HostColor frame = HostClassicSysColor(kHostColorMenu);
    HostColor caption = HostClassicSysColor(kHostColorActiveCaption);
    cairo_set_source_rgb(cr, (frame & 0xFF) / 255.0, ((frame >> 8) & 0xFF) / 255.0,
                         ((frame >> 16) & 0xFF) / 255.0);
    cairo_rectangle(cr, 0, 0, w->width, w->height);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, (caption & 0xFF) / 255.0, ((caption >> 8) & 0xFF) / 255.0,
                         ((caption >> 16) & 0xFF) / 255.0);
    cairo_rectangle(cr, kFrameWidth, kFrameHeight, w->width - 2 * kFrameWidth, kCaptionHeight);
    cairo_fill(cr);
    cairo_destroy(cr);
}

void MakeSurface(HWin *w) {
    if (IsChild(w))
        return;
    if (w->surface)
        cairo_surface_destroy(w->surface);
    w->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(1, w->width),
                                            std::max(1, w->height));
    DrawFrame(w);
}

// A drawing device over the window's client area (or the part `area` of it, client pixels),
// clipped by every ancestor and with its visible children cut out.
HostDevice *MakeDevice(HWin *w, const HostRect *area) {
    HWin *top = TopOf(w);
    if (!top->surface)
        return nullptr;
    int tx, ty, cx, cy;
    OuterOrigin(top, &tx, &ty);
    ClientOrigin(w, &cx, &cy);
    cairo_t *cr = cairo_create(top->surface);
    cairo_translate(cr, cx - tx, cy - ty);
    int cw, ch;
    ClientSize(w, &cw, &ch);
    HostRect clip = {0, 0, cw, ch};
    if (area)
        clip = Intersect(clip, *area);
    for (HWin *a = IsChild(w) ? w->parent : nullptr; a; a = IsChild(a) ? a->parent : nullptr) {
        int ax, ay, aw, ah;
        ClientOrigin(a, &ax, &ay);
        ClientSize(a, &aw, &ah);
        HostRect ar = {ax - cx, ay - cy, ax - cx + aw, ay - cy + ah};
        clip = Intersect(clip, ar);
    }
    std::vector<HostRect> holes;
    for (HWin *c : w->children)
        if (c->shown)
            holes.push_back({c->x, c->y, c->x + c->width, c->y + c->height});
    HostClipOut(cr, &clip, holes.data(), (int)holes.size());
    int paletteSize = gH.bits <= 8 ? kPaletteEntries : 0;
    return HostDeviceCreate(cr, w, cw, ch, kDpi, kDpi, gH.bits, paletteSize);
}

void Send(HWin *w, int code, int value = 0, int x = 0, int y = 0) {
    HostCoreSend(w, code, value, x, y);
}

unsigned InjectedModifiers(void) {
    return (gH.injectDown[kHostKeyShift] ? kHostModShift : 0) |
           (gH.injectDown[kHostKeyControl] ? kHostModControl : 0) |
           (gH.injectDown[kHostKeyAlt] ? kHostModAlt : 0);
}

// Input as a user makes it: with the modifiers held at that moment and the time it happened.
void Input(HWin *w, int code, int value = 0, int x = 0, int y = 0) {
    HostCorePushInput(w, code, value, x, y, InjectedModifiers(), (uint32_t)gH.clock);
}

void RunDueActions() {
    for (;;) {
        auto best = gH.actions.end();
        for (auto it = gH.actions.begin(); it != gH.actions.end(); ++it)
            if (it->at <= gH.clock && (best == gH.actions.end() || it->at < best->at ||
                                       (it->at == best->at && it->order < best->order)))
                best = it;
        if (best == gH.actions.end())
            return;
        Action a = *best;
        gH.actions.erase(best);
        a.fn(a.context);
    }
}

// The next virtual time something can happen (a timer or an action), or -1.
int64_t NextEventTime() {
    int64_t next = HostCoreNextTimer();
    for (const Action &a : gH.actions)
        if (next < 0 || a.at < next)
            next = a.at;
    return next;
}

// Moves the clock to `to`, running the actions that fall due on the way at their own times.
// Returns whether any action ran.
bool AdvanceTo(int64_t to) {
    bool ran = false;
    for (;;) {
        int64_t next = -1;
        for (const Action &a : gH.actions)
            if (a.at <= to && (next < 0 || a.at < next))
                next = a.at;
        if (next < 0)
            break;
        if (next > gH.clock)
            gH.clock = next;
        RunDueActions();
        ran = true;
    }
    if (to > gH.clock)
        gH.clock = to;
    return ran;
}

bool TakeMessage(HostMessage *out, bool remove) { return HostCoreTake(out, remove); }

// ---- the table ----------------------------------------------------------------------------------

bool Paintable(const HostCoreWindow *w) { return EffectivelyVisible(static_cast<const HWin *>(w)); }
int64_t Clock(void) { return gH.clock; }
void Release(HostCoreWindow *w) { delete static_cast<HWin *>(w); }

int Open(const char *) {
    gH.open = true;
    gH.clock = 0;
    gH.boxAnswer = kHostAnswerOk;
    HostCoreBackend backend = {RunDueActions, Paintable, Clock, nullptr, Release};
    HostCoreOpen(&backend);
    return 0;
}

void DestroyWindow(HWin *w);

void Close(void) {
    while (!gH.tops.empty())
        DestroyWindow(gH.tops.back());
    HostCoreClose();
    HostFontsShutdown();
    gH = Headless{};
}

int RegisterClass(const HostClass *cls) { return HostCoreRegisterClass(cls); }

HWin *CreateWindow(const char *className, const char *title, uint32_t style, int x, int y,
                   int width, int height, HWin *parent) {
    if (gH.failCreate > 0 && --gH.failCreate == 0)
        return nullptr;
    const HostCoreClass *cls = HostCoreFindClass(className);
    if (!cls)
        return nullptr;
    bool child = (style & kHostStyleChildBit) != 0;
    if (child && !Alive(parent))
        return nullptr;
    HWin *w = new HWin{};
    w->cls = cls;
    w->style = style;
    w->parent = child ? parent : nullptr;
    w->owner = child ? nullptr : (Alive(parent) ? parent : nullptr);
    w->title = title ? title : "";
    w->x = x;
    w->y = y;
    w->width = std::max(0, width);
    w->height = std::max(0, height);
    HostCoreAdd(w);
    if (child)
        parent->children.push_back(w);
    else
        gH.tops.push_back(w);
    MakeSurface(w);
    return w;
}

void DestroyWindow(HWin *w) {
    if (!Alive(w))
        return;
    Send(w, kHostMsgDestroy);
    if (!Alive(w)) // destroyed from inside its destroy message
        return;
    while (!w->children.empty())
        DestroyWindow(w->children.back());
    for (HWin *o : Windows())
        if (o->owner == w)
            o->owner = nullptr;
    if (w->parent) {
        auto &siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
        if (EffectivelyVisible(w->parent))
            Invalidate(w->parent, nullptr);
    }
    gH.tops.erase(std::remove(gH.tops.begin(), gH.tops.end(), w), gH.tops.end());
    if (gH.focus == w)
        gH.focus = nullptr;
    if (gH.capture == w)
        gH.capture = nullptr;
    if (gH.grab == w)
        gH.grab = nullptr;
    if (gH.caretOwner == w) {
        gH.caretOwner = nullptr; // its pixels go with the window
        gH.caretShown = gH.caretDrawn = false;
    }
    if (w->surface)
        cairo_surface_destroy(w->surface);
    w->surface = nullptr;
    HostCoreRemove(w); // released once no message is being handled
}

void ShowWindow(HWin *w, int show) {
    if (!Alive(w))
        return;
    bool was = w->shown;
    w->shown = show != 0;
    if (show && !IsChild(w)) {
        gH.tops.erase(std::remove(gH.tops.begin(), gH.tops.end(), w), gH.tops.end());
        gH.tops.push_back(w);
    }
    if (show && !was)
        InvalidateTree(w);
    if (!show && was && IsChild(w) && w->parent)
        Invalidate(w->parent, nullptr);
}

void ShowOwnedPopups(HWin *owner, int show) {
    for (HWin *w : Windows()) {
        if (w->owner != owner)
            continue;
        if (!show && w->shown && !w->hiddenWithOwner) {
            w->hiddenWithOwner = true;
        } else if (show && w->hiddenWithOwner) {
            w->hiddenWithOwner = false;
            InvalidateTree(w);
        }
    }
}

int SetFixedSize(HWin *w, int fixed) {
    if (!Alive(w) || w->parent)
        return 1;
    w->fixedSize = fixed != 0;
    return 0;
}

int MoveWindow(HWin *w, int x, int y, int width, int height, int repaint) {
    if (!Alive(w))
        return 1;
    width = std::max(0, width);
    height = std::max(0, height);
    bool moved = x != w->x || y != w->y;
    bool sized = width != w->width || height != w->height;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    if (sized)
        MakeSurface(w);
    if (repaint || sized) {
        InvalidateTree(w);
        if (IsChild(w) && w->parent)
            Invalidate(w->parent, nullptr);
    }
    int dx, dy, cw, ch;
    FrameOffset(w, &dx, &dy);
    ClientSize(w, &cw, &ch);
    if (moved)
        Send(w, kHostMsgMove, 0, x + dx, y + dy);
    if (sized)
        Send(w, kHostMsgSize, 0, cw, ch);
    return 0;
}

int GetWindowRect(HWin *w, HostRect *r) {
    if (!Alive(w))
        return 1;
    int sx, sy;
    OuterOrigin(w, &sx, &sy);
    *r = {sx, sy, sx + w->width, sy + w->height};
    return 0;
}

int GetClientRect(HWin *w, HostRect *r) {
    if (!Alive(w))
        return 1;
    int cw, ch;
    ClientSize(w, &cw, &ch);
    *r = {0, 0, cw, ch};
    return 0;
}

int SetWindowText(HWin *w, const char *text) {
    if (!Alive(w))
        return 1;
    w->title = text ? text : "";
    return 0;
}

int GetSystemMetric(int metric) {
    switch (metric) {
    case kHostMetricFrameWidth:
        return kFrameWidth;
    case kHostMetricFrameHeight:
        return kFrameHeight;
    case kHostMetricCaptionHeight:
        return kCaptionHeight;
    default:
        return 0;
    }
}

void GetDesktopRect(HostRect *r) { *r = {0, 0, gH.width, gH.height}; }

int GetScreenCap(int cap) {
    switch (cap) {
    case kHostCapDpiX:
    case kHostCapDpiY:
        return kDpi;
    case kHostCapBitsPerPixel:
        return gH.bits;
    case kHostCapPaletteSize:
        return gH.bits <= 8 ? kPaletteEntries : 0;
    case kHostCapWidth:
        return gH.width;
    case kHostCapHeight:
        return gH.height;
    case kHostCapScale:
        return 1;
    default:
        return 0;
    }
}

void ValidateRect(HWin *w, const HostRect *rect);

long DefaultProc(const HostMessage *m) {
    switch (m->code) {
    case kHostMsgClose:
        DestroyWindow(static_cast<HWin *>(m->window));
        return 0;
    case kHostMsgPaint:
        ValidateRect(static_cast<HWin *>(m->window), nullptr);
        return 0;
    default:
        return 0;
    }
}

int PeekMessage(HostMessage *out, int remove) {
    gH.stats.peeks++;
    return TakeMessage(out, remove != 0) ? 1 : 0;
}

// A scripted action may change what the loop waits for (close its window, say) without
// leaving a message: the wait then returns empty, as a spurious wake-up would.
int GetMessage(HostMessage *out) {
    gH.stats.gets++;
    *out = {};
    for (;;) {
        if (TakeMessage(out, true))
            return 1;
        int64_t next = NextEventTime();
        if (next < 0) {
            gH.stats.stalls++;
            return 0;
        }
        if (AdvanceTo(next) && !TakeMessage(nullptr, false))
            return 0;
    }
}

int WaitMessage(int timeoutMs) {
    gH.stats.timedWaits++;
    int64_t deadline = timeoutMs < 0 ? -1 : gH.clock + timeoutMs;
    for (;;) {
        if (TakeMessage(nullptr, false))
            return 1;
        int64_t next = NextEventTime();
        if (deadline >= 0 && (next < 0 || next > deadline)) {
            AdvanceTo(deadline);
            return TakeMessage(nullptr, false) ? 1 : 0;
        }
        if (next < 0) {
            gH.stats.stalls++;
            return 0;
        }
        if (AdvanceTo(next) && !TakeMessage(nullptr, false))
            return 0;
    }
}

void DispatchMessage(const HostMessage *m) { HostCoreCall(m); }

int PostMessage(HWin *w, int code, int value) {
    gH.stats.posts++;
    return HostCorePost(Alive(w) ? w : nullptr, code, value);
}

void PostQuit(int) { gH.stats.quitPosted = 1; }

int SetTimer(HWin *w, int id, int period) { return HostCoreSetTimer(w, id, period); }
int KillTimer(HWin *w, int id) { return HostCoreKillTimer(w, id); }

// A yield is one millisecond of virtual time, so a loop that only yields still sees time pass.
void Sleep(int ms) { AdvanceTo(gH.clock + (ms > 0 ? ms : 1)); }

int64_t Now(void) { return gH.clock; }

void SetFocus(HWin *w) {
    if (w && !Alive(w))
        return;
    if (w == gH.focus)
        return;
    HWin *old = gH.focus;
    gH.focus = w;
    if (old)
        Send(old, kHostMsgKillFocus);
    if (w && gH.focus == w)
        Send(w, kHostMsgSetFocus);
}

HWin *GetFocus(void) { return gH.focus; }
void SetCapture(HWin *w) { gH.capture = Alive(w) ? w : nullptr; }
void ReleaseCapture(void) { gH.capture = nullptr; }

void GetCursorPos(int *x, int *y) {
    *x = gH.cursorX;
    *y = gH.cursorY;
}

void SetModal(HWin *w, int modal) {
    if (Alive(w))
        w->modal = modal != 0;
}

void SetCursorPos(int x, int y) {
    gH.cursorX = x;
    gH.cursorY = y;
}

int GetKeyState(int vk) { return HostCoreKeyState(vk); }

void FillBackground(HWin *w, HostDevice *d, const HostRect &r) {
    if (w->cls->background == kHostNoBackground)
        return;
    HostDrawFillRect(d, &r, (HostColor)w->cls->background);
}

// ---- the caret: a steady black bar drawn on the surface, the pixels under it kept ----------

// The caret's rectangle in the surface of its top-level window, cut to the surface.
bool CaretOnSurface(HostRect *r) {
    HWin *w = gH.caretOwner;
    if (!w)
        return false;
    HWin *top = TopOf(w);
    if (!top->surface)
        return false;
    int tx, ty, cx, cy;
    OuterOrigin(top, &tx, &ty);
    ClientOrigin(w, &cx, &cy);
    HostRect c = gH.caret;
    HostRect s = {c.left + cx - tx, c.top + cy - ty, c.right + cx - tx, c.bottom + cy - ty};
    *r = Intersect(s, {0, 0, cairo_image_surface_get_width(top->surface),
                       cairo_image_surface_get_height(top->surface)});
    return !Empty(*r);
}

// Copies between the caret's pixels on the surface and `under` (save) or back (restore); a save
// then paints the bar black.
void CaretPixels(bool save) {
    HostRect r;
    if (!CaretOnSurface(&r))
        return;
    cairo_surface_t *s = TopOf(gH.caretOwner)->surface;
    cairo_surface_flush(s);
    unsigned char *data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    int w = r.right - r.left;
    if (save)
        gH.caretUnder.resize((size_t)w * (size_t)(r.bottom - r.top));
    for (int y = r.top; y < r.bottom; y++) {
        uint32_t *row = (uint32_t *)(data + (size_t)y * stride) + r.left;
        uint32_t *keep = gH.caretUnder.data() + (size_t)(y - r.top) * w;
        for (int x = 0; x < w; x++) {
            if (save) {
                keep[x] = row[x];
                row[x] = 0; // black
            } else {
                row[x] = keep[x];
            }
        }
    }
    cairo_surface_mark_dirty(s);
}

void DrawCaret(void) {
    if (!gH.caretOwner || !gH.caretShown || gH.caretDrawn || !EffectivelyVisible(gH.caretOwner))
        return;
    CaretPixels(true);
    gH.caretDrawn = true;
}

void EraseCaret(void) {
    if (!gH.caretDrawn)
        return;
    CaretPixels(false);
    gH.caretDrawn = false;
}

// Drawing in the caret's window takes the caret away first and puts it back afterwards.
HostDevice *DeviceFor(HWin *w, const HostRect *area) {
    if (w == gH.caretOwner)
        EraseCaret();
    return MakeDevice(w, area);
}

void DeviceDone(HostDevice *d) {
    if (!d)
        return;
    cairo_surface_flush(cairo_get_target(d->cr));
    bool caretWindow = d->window && d->window == gH.caretOwner;
    HostDeviceDestroy(d);
    if (caretWindow)
        DrawCaret();
}

HostDevice *BeginPaint(HWin *w, HostRect *update) {
    if (!Alive(w))
        return nullptr;
    HostRect r = HostCoreTakeUpdate(w);
    if (update)
        *update = r;
    HostDevice *d = DeviceFor(w, &r);
    if (d)
        FillBackground(w, d, r);
    return d;
}

void EndPaint(HWin *, HostDevice *d) { DeviceDone(d); }

int GetUpdateRect(HWin *w, HostRect *r) { return HostCoreGetUpdateRect(w, r); }
void ValidateRect(HWin *w, const HostRect *rect) { HostCoreValidate(w, rect); }

void InvalidateRect(HWin *w, const HostRect *rect) {
    if (Alive(w))
        Invalidate(w, rect);
}

int ScrollWindow(HWin *w, int dx, int dy, const HostRect *area) {
    if (!Alive(w))
        return 1;
    int cw, ch;
    ClientSize(w, &cw, &ch);
    HostRect a = area ? Intersect(*area, {0, 0, cw, ch}) : HostRect{0, 0, cw, ch};
    if (Empty(a))
        return 0;
    HostDevice *d = DeviceFor(w, &a);
    if (!d)
        return 1;
    // Copy the band out first: source and destination overlap.
    cairo_surface_t *copy =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.right - a.left, a.bottom - a.top);
    cairo_t *c = cairo_create(copy);
    double ox = 0, oy = 0;
    cairo_user_to_device(d->cr, &ox, &oy);
    cairo_set_source_surface(c, cairo_get_target(d->cr), -(ox + a.left), -(oy + a.top));
    cairo_paint(c);
    cairo_destroy(c);
    cairo_set_source_surface(d->cr, copy, a.left + dx, a.top + dy);
    cairo_paint(d->cr);
    cairo_surface_destroy(copy);
    DeviceDone(d);
    return 0;
}

HostDevice *GetDevice(HWin *w) { return Alive(w) ? DeviceFor(w, nullptr) : nullptr; }

void ReleaseDevice(HWin *, HostDevice *d) { DeviceDone(d); }

int CreateCaret(HWin *w, int width, int height) {
    EraseCaret();
    gH.caretOwner = Alive(w) ? w : nullptr;
    gH.caret = {0, 0, std::max(1, width), std::max(1, height)};
    gH.caretShown = false;
    return gH.caretOwner ? 0 : 1;
}

int SetCaretPos(int x, int y) {
    if (!gH.caretOwner)
        return 1;
    bool drawn = gH.caretDrawn;
    EraseCaret();
    gH.caret = {x, y, x + gH.caret.right - gH.caret.left, y + gH.caret.bottom - gH.caret.top};
    if (drawn)
        DrawCaret();
    return 0;
}

int ShowCaret(HWin *w) {
    if (!w || w != gH.caretOwner)
        return 1;
    gH.caretShown = true;
    DrawCaret();
    return 0;
}

int HideCaret(HWin *w) {
    if (!w || w != gH.caretOwner)
        return 1;
    gH.caretShown = false;
    EraseCaret();
    return 0;
}

int DestroyCaret(void) {
    EraseCaret();
    gH.caretOwner = nullptr;
    gH.caretShown = false;
    return 0;
}

int ClipboardPut(HWin *, const char *text, size_t length) {
    if (gH.clipboardRefused)
        return 1;
    gH.clipboard.assign(text ? text : "", text ? length : 0);
    gH.hasClipboard = true;
    return 0;
}

const char *ClipboardGet(size_t *length) {
    if (!gH.hasClipboard)
        return nullptr;
    if (length)
        *length = gH.clipboard.size();
    return gH.clipboard.c_str();
}

int MessageBox(const char *text, const char *caption, unsigned flags) {
    fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    gH.boxes.push_back({text ? text : "", caption ? caption : "", flags});
    return gH.boxAnswer;
}

void Bell(void) { gH.bells++; }

void SetExitHook(void (*)(void)) {}

// Input goes to the keyboard focus, else to the topmost visible top-level window; none while
// the user is away in another program.
HWin *KeyTarget() {
    if (gH.away)
        return nullptr;
    if (gH.focus)
        return gH.focus;
    for (auto it = gH.tops.rbegin(); it != gH.tops.rend(); ++it)
        if (EffectivelyVisible(*it))
            return *it;
    return nullptr;
}

// The innermost visible window whose client area holds the screen point.
HWin *HitChild(HWin *w, int sx, int sy) {
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        HWin *c = *it;
        if (!c->shown)
            continue;
        int cx, cy;
        OuterOrigin(c, &cx, &cy);
        if (sx >= cx && sy >= cy && sx < cx + c->width && sy < cy + c->height)
            return HitChild(c, sx, sy);
    }
    return w;
}

HWin *HitTest(int sx, int sy) {
    for (auto it = gH.tops.rbegin(); it != gH.tops.rend(); ++it) {
        HWin *t = *it;
        if (!EffectivelyVisible(t))
            continue;
        int ox, oy;
        OuterOrigin(t, &ox, &oy);
        if (sx < ox || sy < oy || sx >= ox + t->width || sy >= oy + t->height)
            continue;
        int cx, cy, cw, ch;
        ClientOrigin(t, &cx, &cy);
        ClientSize(t, &cw, &ch);
        if (sx < cx || sy < cy || sx >= cx + cw || sy >= cy + ch)
            return nullptr; // frame or caption
        return HitChild(t, sx, sy);
    }
    return nullptr;
}

void PostPointer(int code, int sx, int sy, int value = 0) {
    gH.cursorX = sx;
    gH.cursorY = sy;
    unsigned bit = code == kHostMsgLeftDown || code == kHostMsgLeftUp       ? 1u
                   : code == kHostMsgMiddleDown || code == kHostMsgMiddleUp ? 2u
                   : code == kHostMsgRightDown || code == kHostMsgRightUp   ? 4u
                                                                            : 0u;
    bool down = code == kHostMsgLeftDown || code == kHostMsgMiddleDown || code == kHostMsgRightDown;
    HWin *w = gH.capture ? gH.capture : gH.grab ? gH.grab : HitTest(sx, sy);
    if (bit && down && !gH.buttonsDown)
        gH.grab = w;
    if (bit)
        gH.buttonsDown = down ? gH.buttonsDown | bit : gH.buttonsDown & ~bit;
    if (!gH.buttonsDown)
        gH.grab = nullptr;
    if (!w)
        return;
    int cx, cy;
    ClientOrigin(w, &cx, &cy);
    Input(w, code, value, sx - cx, sy - cy);
}

} // namespace

// ---- controls for tests ----------------------------------------------------------------------

void HeadlessConfigure(int width, int height, int bitsPerPixel) {
    gH.width = width;
    gH.height = height;
    gH.bits = bitsPerPixel;
}

int64_t HeadlessNow(void) { return gH.clock; }
void HeadlessAdvance(int ms) { AdvanceTo(gH.clock + (ms > 0 ? ms : 0)); }

void HeadlessAt(int64_t at, void (*fn)(void *), void *context) {
    gH.actions.push_back({at, gH.actionOrder++, fn, context});
}

void HeadlessKeyDown(int vk) {
    bool alt = gH.injectDown[kHostKeyAlt] || vk == kHostKeyAlt;
    if (vk >= 0 && vk < 256)
        gH.injectDown[vk] = true;
    if (HWin *w = KeyTarget())
        Input(w, alt ? kHostMsgSysKeyDown : kHostMsgKeyDown, vk);
}

void HeadlessKeyUp(int vk) {
    bool alt = gH.injectDown[kHostKeyAlt] || vk == kHostKeyAlt;
    if (vk >= 0 && vk < 256)
        gH.injectDown[vk] = false;
    if (HWin *w = KeyTarget())
        Input(w, alt ? kHostMsgSysKeyUp : kHostMsgKeyUp, vk);
}

void HeadlessChar(int character) {
    bool alt = gH.injectDown[kHostKeyAlt];
    if (HWin *w = KeyTarget())
        Input(w, alt ? kHostMsgSysChar : kHostMsgChar, HostCoreCharValue(character & 0xFF));
}

void HeadlessFocusAway(void) {
    if (HWin *w = KeyTarget())
        Input(w, kHostMsgKillFocus);
    gH.away = true;
}

void HeadlessFocusBack(void) {
    gH.away = false;
    if (HWin *w = KeyTarget())
        Input(w, kHostMsgSetFocus);
}

void HeadlessKeystroke(int vk, int character) {
    HeadlessKeyDown(vk);
    if (character)
        HeadlessChar(character);
    HeadlessKeyUp(vk);
}

void HeadlessButton(int button, int down, int sx, int sy) {
    static const int codes[3][2] = {{kHostMsgLeftUp, kHostMsgLeftDown},
                                    {kHostMsgMiddleUp, kHostMsgMiddleDown},
                                    {kHostMsgRightUp, kHostMsgRightDown}};
    if (button < 0 || button > 2)
        return;
    PostPointer(codes[button][down ? 1 : 0], sx, sy);
}

void HeadlessPointerMove(int sx, int sy) { PostPointer(kHostMsgPointerMove, sx, sy); }

void HeadlessWheel(int steps, int sx, int sy) { PostPointer(kHostMsgWheel, sx, sy, steps); }

void HeadlessClipboardRefuse(int refuse) { gH.clipboardRefused = refuse != 0; }

void HeadlessClose(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    if (Alive(w))
        Input(w, kHostMsgClose);
}

void HeadlessClientToScreen(HostWindow *hw, int x, int y, int *sx, int *sy) {
    HWin *w = static_cast<HWin *>(hw);
    int cx = 0, cy = 0;
    if (Alive(w))
        ClientOrigin(w, &cx, &cy);
    *sx = cx + x;
    *sy = cy + y;
}

int HeadlessWindowCount(void) { return (int)Windows().size(); }
const char *HeadlessTitle(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) ? w->title.c_str() : nullptr;
}
const char *HeadlessClassName(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) ? w->cls->name.c_str() : nullptr;
}
uint32_t HeadlessStyle(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) ? w->style : 0;
}
int HeadlessFixedSize(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) && w->fixedSize ? 1 : 0;
}
int HeadlessModal(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) && w->modal ? 1 : 0;
}
int HeadlessVisible(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) && EffectivelyVisible(w) ? 1 : 0;
}
HostWindow *HeadlessOwner(HostWindow *hw) {
    HWin *w = static_cast<HWin *>(hw);
    return Alive(w) ? w->owner : nullptr;
}
HostWindow *HeadlessCapture(void) { return gH.capture; }

int64_t HeadlessPixel(HostWindow *hw, int x, int y) {
    HWin *w = static_cast<HWin *>(hw);
    if (!Alive(w))
        return -1;
    HWin *top = TopOf(w);
    int tx, ty, cx, cy;
    OuterOrigin(top, &tx, &ty);
    ClientOrigin(w, &cx, &cy);
    int px = cx - tx + x, py = cy - ty + y;
    cairo_surface_t *s = top->surface;
    if (!s || px < 0 || py < 0 || px >= cairo_image_surface_get_width(s) ||
        py >= cairo_image_surface_get_height(s))
        return -1;
    cairo_surface_flush(s);
    const unsigned char *row =
        cairo_image_surface_get_data(s) + (size_t)py * cairo_image_surface_get_stride(s);
    uint32_t pixel;
    memcpy(&pixel, row + 4 * px, 4);
    return pixel & 0xFFFFFF;
}

int HeadlessSavePng(HostWindow *hw, const char *path) {
    HWin *w = static_cast<HWin *>(hw);
    if (!Alive(w))
        return 1;
    HWin *top = TopOf(w);
    if (!top->surface)
        return 1;
    return cairo_surface_write_to_png(top->surface, path) == CAIRO_STATUS_SUCCESS ? 0 : 1;
}

void HeadlessFailCreate(int n) { gH.failCreate = n; }
void HeadlessFailFontCreate(int n) { HostFontFailCreate(n); }

int HeadlessBoxCount(void) { return (int)gH.boxes.size(); }
const char *HeadlessBoxText(int i) {
    return i >= 0 && i < (int)gH.boxes.size() ? gH.boxes[i].text.c_str() : nullptr;
}
const char *HeadlessBoxCaption(int i) {
    return i >= 0 && i < (int)gH.boxes.size() ? gH.boxes[i].caption.c_str() : nullptr;
}
unsigned HeadlessBoxFlags(int i) {
    return i >= 0 && i < (int)gH.boxes.size() ? gH.boxes[i].flags : 0;
}
void HeadlessBoxClear(void) { gH.boxes.clear(); }
long HeadlessBellCount(void) { return gH.bells; }
void HeadlessSetBoxAnswer(int answer) { gH.boxAnswer = answer; }

HeadlessStats HeadlessGetStats(void) {
    HeadlessStats s = gH.stats;
    s.timers = HostCoreTimerCount();
    s.waiting = HostCoreWaiting();
    return s;
}

const HostOps kHeadlessHost = [] {
    HostOps ops = HostRendererOps("headless");
    HOST_PLATFORM_OPS(HWin, ops);
    return ops;
}();
