// The x11 backend: the host table over Xlib, with cairo drawing on one xlib surface per X
// window. This file holds windows, events, keys and painting; the clipboard is x11clip.cpp and
// the message box x11box.cpp, sharing the backend's state through x11priv.h. Only these files
// include X11 headers; Xlib's Window, None, Bool, Status, True and False never meet the
// toolkit's names.
//
// How the host's habits map onto X:
// - Top windows are X top-level windows (WM_DELETE_WINDOW arrives as a close message);
//   controls are X child windows, so the server clips them and delivers the pointer. The window
//   manager draws frames and captions outside the client window: frame metrics are 0 here.
// - Queues, timers, update areas and the order of messages are the host core's (hostcore.h).
//   Every look for a message first moves the X events that have arrived into the core's input
//   queue (so input is never held back by posted messages), up to the queue's bound; a wait
//   flushes and polls the connection and a self-pipe (written by posts) with the next timer as
//   the timeout. Exposures join the window's update area; a paint message is made when no
//   input or posted message is waiting.
// - Each message carries the modifiers and the server time of its X event, so a key is
//   completed with the Shift and Ctrl that were held when it was pressed, however late it is
//   handled.
// - Each window has a back buffer in client memory: every paint and drawing device draws there
//   and the area it may touch is copied to the window once, when the device is released, so
//   nothing flickers and the pixels are rendered as on the headless host. Scrolling moves the
//   back buffer and shows the band again.
// - The toolkit's focus window may be an X child; the X focus goes to its top-level window (when
//   viewable) and key events are routed to the focus window here, with set-focus and kill-focus
//   sent as the X focus comes and goes.
// - The clipboard is the CLIPBOARD selection, owned by a hidden window that lives with the
//   connection and stamped with the time of the input event being handled. Requests for it are
//   answered in every wait, and a paste waits for its answer without taking other events.
// - Geometry is cached as the toolkit last set it; a window manager's moves update the cache
//   from ConfigureNotify, and move and size messages are posted only on a real change.
// - SIGTERM, SIGINT and SIGHUP end the program as its last window closing would, so that its
//   temporary files go and its settings are written whole: the handler notes the signal and
//   writes the self-pipe, and the next look for a message hands a quit message to a top window.
#include "x11priv.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace x11host {

X11 gX;
volatile sig_atomic_t gQuitSignal;

namespace {

constexpr int kDefaultDpi = 96;           // when the X resources name no Xft.dpi
constexpr char kWmClass[] = "Torva";      // WM_CLASS class part
constexpr int kTextBufferSize = 64;       // bytes XLookupString may give for one key
constexpr long kMotifDecorationsFlag = 2; // _MOTIF_WM_HINTS: the decorations field is given
constexpr long kNetWmStateRemove = 0;     // _NET_WM_STATE client message actions
constexpr long kNetWmStateAdd = 1;        //

// The signals that end the program cleanly, and what they did before Open.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kQuitSignalCount = sizeof kQuitSignals / sizeof kQuitSignals[0];
struct sigaction gPreviousAction[kQuitSignalCount];
volatile sig_atomic_t gSignalPipe = -1; // the self-pipe's write end while the host is open

// Every live window, creation order.
HostCoreWindowsOf<XWin> Windows(void) { return {}; }

XWin *Lookup(Window xid) {
    auto it = gX.byId.find(xid);
    return it == gX.byId.end() ? nullptr : it->second;
}

bool IsChild(const XWin *w) { return (w->style & kHostStyleChildBit) != 0; }

XWin *TopOf(XWin *w) {
    while (w && IsChild(w) && w->parent)
        w = w->parent;
    return w;
}

bool Viewable(const XWin *w) {
    for (; w; w = IsChild(w) ? w->parent : nullptr)
        if (!w->mapped)
            return false;
    return true;
}

void ScreenOrigin(const XWin *w, int *sx, int *sy) {
    *sx = w->x;
    *sy = w->y;
    if (IsChild(w) && w->parent) {
        int px, py;
        ScreenOrigin(w->parent, &px, &py);
        *sx += px;
        *sy += py;
    }
}

unsigned ModifiersOf(unsigned state) {
    return (state & ShiftMask ? kHostModShift : 0) | (state & ControlMask ? kHostModControl : 0) |
           (state & gX.altMask ? kHostModAlt : 0);
}

// Alt is whichever ModN the server's modifier map gives the Alt or Meta keys, not always Mod1;
// a ModN that also holds AltGr (ISO_Level3_Shift, Mode_switch) is AltGr's, since AltGr types
// characters rather than shortcuts. Read at open and again on every mapping change.
void ReadModifierMap(void) {
    gX.altMask = 0;
    gX.numLockMask = 0;
    XModifierKeymap *map = XGetModifierMapping(gX.dpy);
    if (!map)
        return;
    unsigned altGr = 0;
    for (int mod = Mod1MapIndex; mod <= Mod5MapIndex; mod++)
        for (int k = 0; k < map->max_keypermod; k++) {
            KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
            for (int level = 0; code && level < 2; level++) {
                KeySym sym = XkbKeycodeToKeysym(gX.dpy, code, 0, level);
                if (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R)
                    gX.altMask |= 1u << mod;
                else if (sym == XK_ISO_Level3_Shift || sym == XK_Mode_switch)
                    altGr |= 1u << mod;
                else if (sym == XK_Num_Lock)
                    gX.numLockMask |= 1u << mod;
            }
        }
    gX.altMask &= ~altGr;
    XFreeModifiermap(map);
}

// An input message with the modifiers and server time of its X event.
void Push(XWin *w, int code, int value, int x, int y, unsigned modifiers, Time time) {
    HostCorePushInput(w, code, value, x, y, modifiers, (uint32_t)time);
}

void Send(XWin *w, int code, int value = 0, int x = 0, int y = 0) {
    HostCoreSend(w, code, value, x, y);
}

// ---- focus --------------------------------------------------------------------------------------

void AnnounceFocus(XWin *w) {
    if (gX.announced == w)
        return;
    XWin *old = gX.announced;
    gX.announced = w;
    if (old)
        Send(old, kHostMsgKillFocus);
    if (w && gX.announced == w)
        Send(w, kHostMsgSetFocus);
}

void WithdrawFocus(void) {
    XWin *old = gX.announced;
    gX.announced = nullptr;
    if (old)
        Send(old, kHostMsgKillFocus);
}

// Only a viewable window may have the X focus; a window that is not yet mapped gets it when
// its MapNotify arrives.
void GiveXFocus(XWin *w) {
    XWin *top = TopOf(w);
    if (top && Viewable(top))
        XSetInputFocus(gX.dpy, top->xid, RevertToParent, CurrentTime);
}

// ---- menus --------------------------------------------------------------------------------------

bool IsFloating(const XWin *w) {
    return !w->parent && !HostStyleFramed(w->style) && (w->style & kHostStyleFloatBit);
}

// A shown menu holds the pointer and keyboard, so a press anywhere (even outside every window of
// ours) reaches the program, which closes the menu. Events over our own windows still go to them.
void GrabMenuPointer(XWin *w) {
    XGrabPointer(gX.dpy, w->xid, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
}

void GrabForMenu(XWin *w) {
    gX.menu = w;
    if (!Alive(gX.capture)) // a button held elsewhere keeps its grab until released
        GrabMenuPointer(w);
    XGrabKeyboard(gX.dpy, w->xid, True, GrabModeAsync, GrabModeAsync, CurrentTime);
}

void UngrabMenu(void) {
    gX.menu = nullptr;
    if (!Alive(gX.capture))
        XUngrabPointer(gX.dpy, CurrentTime);
    XUngrabKeyboard(gX.dpy, CurrentTime);
}

// ---- errors -------------------------------------------------------------------------------------

int OnXError(Display *dpy, XErrorEvent *e) {
    char text[256];
    XGetErrorText(dpy, e->error_code, text, sizeof text);
    fprintf(stderr, "torva: X error: %s (request %d.%d, resource 0x%lx)\n", text, e->request_code,
            e->minor_code, e->resourceid);
    return 0; // carry on: a race with a destroyed window is no reason to end
}

int OnXIOError(Display *) {
    fprintf(stderr, "torva: the connection to the X server is lost\n");
    if (gX.exitHook)
        gX.exitHook();
    _exit(1);
}

// ---- open and close ---------------------------------------------------------------------------

void ResizeBack(XWin *w); // with the painting below
void DrawCaret(void);     //
void EraseCaret(void);    //

// The host core's hooks, defined with the event handling below.
void ReadXEvents(void);
bool Paintable(const HostCoreWindow *w);
void Wake(void);
void Release(HostCoreWindow *w);

// The integer scale of a HiDPI screen, s = max(1, round(dpi / 96)), with the dpi from the
// Xft.dpi resource (never from the screen's millimetre size, which servers often invent).
// Fonts are made at 96 s dpi, so everything scales by whole pixels.
int ReadScale(void) {
    const char *resources = XResourceManagerString(gX.dpy);
    int dpi = kDefaultDpi;
    if (resources) {
        if (const char *at = strstr(resources, "Xft.dpi:")) {
            long v = strtol(at + strlen("Xft.dpi:"), nullptr, 10);
            if (v > 0 && v < 100000)
                dpi = (int)v;
        }
    }
    int scale = (dpi + kDefaultDpi / 2) / kDefaultDpi;
    return scale < 1 ? 1 : scale;
}

// Async-signal-safe: a flag and one byte in the self-pipe, which ends any wait under way.
void OnQuitSignal(int signal) {
    int saved = errno;
    gQuitSignal = signal;
    int fd = gSignalPipe;
    if (fd >= 0) {
        ssize_t written = write(fd, "q", 1);
        (void)written;
    }
    errno = saved;
}

// A signal the program was started to ignore stays ignored (nohup, a background job of a shell
// without job control): whoever started us asked for that.
void CatchQuitSignals(void) {
    gQuitSignal = 0;
    gSignalPipe = gX.wake[1];
    for (int i = 0; i < kQuitSignalCount; i++) {
        struct sigaction action = {};
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(kQuitSignals[i], nullptr, &gPreviousAction[i]);
        if (gPreviousAction[i].sa_handler != SIG_IGN)
            sigaction(kQuitSignals[i], &action, nullptr);
    }
}

void ReleaseQuitSignals(void) {
    if (gSignalPipe < 0)
        return;
    for (int i = 0; i < kQuitSignalCount; i++)
        sigaction(kQuitSignals[i], &gPreviousAction[i], nullptr);
    gSignalPipe = -1;
}

int Open(const char *programName) {
    gX.dpy = XOpenDisplay(nullptr);
    if (!gX.dpy) {
        const char *name = getenv("DISPLAY");
        fprintf(stderr, "torva: cannot open display \"%s\"\n", name ? name : "");
        return 1;
    }
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
    gX.screen = DefaultScreen(gX.dpy);
    gX.root = RootWindow(gX.dpy, gX.screen);
    gX.visual = DefaultVisual(gX.dpy, gX.screen);
    gX.depth = DefaultDepth(gX.dpy, gX.screen);
    gX.scale = ReadScale();
    gX.dpi = kDefaultDpi * gX.scale;
    const char *base = programName ? strrchr(programName, '/') : nullptr;
    gX.program = base ? base + 1 : (programName && *programName ? programName : "torva");
    char *names[] = {(char *)"WM_PROTOCOLS",
                     (char *)"WM_DELETE_WINDOW",
                     (char *)"_NET_WM_NAME",
                     (char *)"UTF8_STRING",
                     (char *)"_NET_WM_PID",
                     (char *)"_NET_WM_WINDOW_TYPE",
                     (char *)"_NET_WM_WINDOW_TYPE_DIALOG",
                     (char *)"_NET_WM_ICON",
                     (char *)"CLIPBOARD",
                     (char *)"TARGETS",
                     (char *)"INCR",
                     (char *)"TORVA_PASTE",
                     (char *)"TORVA_TIME",
                     (char *)"_MOTIF_WM_HINTS",
                     (char *)"_NET_WM_STATE",
                     (char *)"_NET_WM_STATE_MODAL",
                     (char *)"_NET_WORKAREA"};
    constexpr int kAtoms = sizeof names / sizeof names[0];
    Atom atoms[kAtoms];
    XInternAtoms(gX.dpy, names, kAtoms, False, atoms);
    gX.wmProtocols = atoms[0];
    gX.wmDelete = atoms[1];
    gX.netWmName = atoms[2];
    gX.utf8String = atoms[3];
    gX.netWmPid = atoms[4];
    gX.netWmWindowType = atoms[5];
    gX.netWmWindowTypeDialog = atoms[6];
    gX.netWmIcon = atoms[7];
    gX.clipboard = atoms[8];
    gX.targets = atoms[9];
    gX.incr = atoms[10];
    gX.pasteProperty = atoms[11];
    gX.timeProperty = atoms[12];
    gX.motifWmHints = atoms[13];
    gX.netWmState = atoms[14];
    gX.netWmStateModal = atoms[15];
    gX.netWorkarea = atoms[16];
    // Lives as long as the connection, so the selection outlasts any window of the toolkit.
    XSetWindowAttributes clipAttributes = {};
    clipAttributes.event_mask = PropertyChangeMask;
    gX.clipWindow = XCreateWindow(gX.dpy, gX.root, -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                                  CopyFromParent, CWEventMask, &clipAttributes);
    // Held keys repeat as presses only, as the toolkit expects, not as release-press pairs.
    XkbSetDetectableAutoRepeat(gX.dpy, True, nullptr);
    ReadModifierMap();
    if (pipe(gX.wake) != 0) {
        XCloseDisplay(gX.dpy);
        gX.dpy = nullptr;
        return 1;
    }
    for (int fd : gX.wake) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    char machine[256] = {};
    if (gethostname(machine, sizeof machine - 1) == 0)
        gX.machine = machine;
    HostCoreBackend backend = {ReadXEvents, Paintable, NowMs, Wake, Release};
    HostCoreOpen(&backend);
    CatchQuitSignals();
    return 0;
}

void DestroyWindow(XWin *w);

void Close(void) {
    ReleaseQuitSignals();
    while (!Windows().empty())
        DestroyWindow(TopOf(Windows().front()));
    HostCoreClose();
    if (gX.dpy) {
        if (gX.putGc)
            XFreeGC(gX.dpy, gX.putGc);
        XCloseDisplay(gX.dpy);
    }
    HostFontsShutdown();
    for (int fd : gX.wake)
        if (fd > 0)
            close(fd);
    void (*hook)(void) = gX.exitHook;
    gX = X11{};
    gX.exitHook = hook;
}

// ---- classes and windows ------------------------------------------------------------------------

int RegisterClass(const HostClass *cls) { return HostCoreRegisterClass(cls); }

void SetTitle(XWin *w, const char *text) {
    if (IsChild(w))
        return;
    // The toolkit's texts are Latin-1: WM_NAME takes them as they are, _NET_WM_NAME as UTF-8.
    XStoreName(gX.dpy, w->xid, text);
    std::string utf8;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        if (*p < 0x80) {
            utf8 += (char)*p;
        } else {
            utf8 += (char)(0xC0 | (*p >> 6));
            utf8 += (char)(0x80 | (*p & 0x3F));
        }
    }
    XChangeProperty(gX.dpy, w->xid, gX.netWmName, gX.utf8String, 8, PropModeReplace,
                    (const unsigned char *)utf8.data(), (int)utf8.size());
}

void SetSizeHints(XWin *w) {
    // USPosition and static gravity: the position given is the client window's own, so a saved
    // position comes back without creeping by the caption height on every run.
    XSizeHints *hints = XAllocSizeHints();
    if (!hints)
        return;
    hints->flags = USPosition | USSize | PWinGravity;
    hints->x = HostClampPos(w->x);
    hints->y = HostClampPos(w->y);
    hints->width = HostClampSize(w->width);
    hints->height = HostClampSize(w->height);
    hints->win_gravity = StaticGravity;
    if (w->fixedSize) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = hints->width;
        hints->min_height = hints->max_height = hints->height;
    }
    XSetWMNormalHints(gX.dpy, w->xid, hints);
    XFree(hints);
}

XWin *CreateWindow(const char *className, const char *title, uint32_t style, int x, int y,
                   int width, int height, XWin *parent) {
    const HostCoreClass *cls = HostCoreFindClass(className);
    if (!cls || !gX.dpy)
        return nullptr;
    bool child = (style & kHostStyleChildBit) != 0;
    if (child && !Alive(parent))
        return nullptr;
    // Only floating pop-ups (menus) bypass the window manager: an override-redirect dialog would
    // float above every application and never get the manager's focus.
    bool floating = !child && !HostStyleFramed(style) && (style & kHostStyleFloatBit);

    XSetWindowAttributes a = {};
    unsigned long mask = CWEventMask | CWBackPixmap;
    a.background_pixmap = None; // painted by the toolkit: no flash of a server background
    if (cls->background != kHostNoBackground) {
        mask = (mask & ~CWBackPixmap) | CWBackPixel;
        a.background_pixel = PixelOf((HostColor)cls->background);
    }
    a.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                   ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask |
                   StructureNotifyMask | (child ? 0 : FocusChangeMask);
    if (floating) {
        mask |= CWOverrideRedirect | CWSaveUnder;
        a.override_redirect = True;
        a.save_under = True;
    }
    Window xid =
        XCreateWindow(gX.dpy, child ? parent->xid : gX.root, HostClampPos(x), HostClampPos(y),
                      (unsigned)HostClampSize(width), (unsigned)HostClampSize(height), 0,
                      CopyFromParent, InputOutput, CopyFromParent, mask, &a);
    if (!xid)
        return nullptr;
    XWin *w = new XWin{};
    w->xid = xid;
    w->cls = cls;
    w->style = style;
    w->parent = child ? parent : nullptr;
    w->owner = !child && Alive(parent) ? parent : nullptr;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    gX.byId[xid] = w;
    HostCoreAdd(w);
    if (child)
        parent->children.push_back(w);
    if (!child) {
        XSetWMProtocols(gX.dpy, xid, &gX.wmDelete, 1);
        SetTitle(w, title ? title : "");
        SetProgramProperties(xid);
        XWMHints wmHints = {};
        wmHints.flags = InputHint | StateHint;
        wmHints.input = True;
        wmHints.initial_state = NormalState;
        XSetWMHints(gX.dpy, xid, &wmHints);
        SetSizeHints(w);
        if (cls->iconPixels && cls->iconWidth > 0 && cls->iconHeight > 0) {
            // Format-32 property data is an array of long: 8 bytes each on 64-bit hosts.
            size_t n = (size_t)cls->iconWidth * (size_t)cls->iconHeight;
            std::vector<long> icon(2 + n);
            icon[0] = cls->iconWidth;
            icon[1] = cls->iconHeight;
            for (size_t i = 0; i < n; i++)
                icon[2 + i] = (long)cls->iconPixels[i];
            XChangeProperty(gX.dpy, xid, gX.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                            (unsigned char *)icon.data(), (int)icon.size());
        }
        if (w->owner) {
            XSetTransientForHint(gX.dpy, xid, TopOf(w->owner)->xid);
            XChangeProperty(gX.dpy, xid, gX.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                            (unsigned char *)&gX.netWmWindowTypeDialog, 1);
        }
        if (!HostStyleFramed(style)) { // the toolkit draws its own frame: no decorations
            long motif[5] = {kMotifDecorationsFlag, 0, 0, 0, 0};
            XChangeProperty(gX.dpy, xid, gX.motifWmHints, gX.motifWmHints, 32, PropModeReplace,
                            (unsigned char *)motif, 5);
        }
    }
    return w;
}

void DestroyWindow(XWin *w) {
    if (!Alive(w))
        return;
    Send(w, kHostMsgDestroy);
    while (!w->children.empty())
        DestroyWindow(w->children.back());
    if (!Alive(w)) // destroyed from inside its destroy message
        return;
    for (XWin *o : Windows())
        if (o->owner == w)
            o->owner = nullptr;
    if (w->parent) {
        auto &siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    }
    if (w->surface) {
        cairo_surface_finish(w->surface); // later drawing on it goes nowhere
        cairo_surface_destroy(w->surface);
    }
    if (w->back)
        cairo_surface_destroy(w->back); // a device still drawing keeps its own reference
    w->surface = w->back = nullptr;
    XDestroyWindow(gX.dpy, w->xid);
    gX.byId.erase(w->xid);
    if (gX.focus == w)
        gX.focus = nullptr;
    if (gX.announced == w)
        gX.announced = nullptr;
    if (gX.focusTop == w)
        gX.focusTop = nullptr;
    if (gX.caretOwner == w) {
        gX.caretOwner = nullptr;
        gX.caretShown = false;
    }
    if (gX.capture == w) {
        gX.capture = nullptr;
        XUngrabPointer(gX.dpy, CurrentTime);
    }
    if (gX.menu == w)
        UngrabMenu();
    HostCoreRemove(w); // released once no message is being handled
}

void ShowWindow(XWin *w, int show) {
    if (!Alive(w))
        return;
    if (!show && IsChild(w))
        XUnmapWindow(gX.dpy, w->xid);
    else if (!show) // tells the window manager too, as ICCCM asks
        XWithdrawWindow(gX.dpy, w->xid, gX.screen);
    else if (IsChild(w))
        XMapWindow(gX.dpy, w->xid);
    else
        XMapRaised(gX.dpy, w->xid);
}

void ShowOwnedPopups(XWin *owner, int show) {
    for (XWin *w : Windows()) {
        if (w->owner != owner)
            continue;
        if (!show && w->mapped && !w->hiddenWithOwner) {
            w->hiddenWithOwner = true;
            XUnmapWindow(gX.dpy, w->xid);
        } else if (show && w->hiddenWithOwner) {
            w->hiddenWithOwner = false;
            XMapRaised(gX.dpy, w->xid);
        }
    }
}

int SetFixedSize(XWin *w, int fixed) {
    if (!Alive(w) || IsChild(w))
        return 1;
    w->fixedSize = fixed != 0;
    SetSizeHints(w);
    return 0;
}

int MoveWindow(XWin *w, int x, int y, int width, int height, int repaint) {
    if (!Alive(w))
        return 1;
    bool moved = x != w->x || y != w->y;
    bool sized = width != w->width || height != w->height;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    XMoveResizeWindow(gX.dpy, w->xid, HostClampPos(x), HostClampPos(y),
                      (unsigned)HostClampSize(width), (unsigned)HostClampSize(height));
    if (w->surface && sized)
        cairo_xlib_surface_set_size(w->surface, HostClampSize(width), HostClampSize(height));
    if (sized)
        ResizeBack(w);
    if (!IsChild(w))
        SetSizeHints(w);
    if (repaint)
        XClearArea(gX.dpy, w->xid, 0, 0, 0, 0, True);
    if (moved)
        Send(w, kHostMsgMove, 0, x, y);
    if (sized)
        Send(w, kHostMsgSize, 0, width, height);
    return 0;
}

int GetWindowRect(XWin *w, HostRect *r) {
    if (!Alive(w))
        return 1;
    int sx, sy;
    ScreenOrigin(w, &sx, &sy);
    *r = {sx, sy, sx + w->width, sy + w->height};
    return 0;
}

int GetClientRect(XWin *w, HostRect *r) {
    if (!Alive(w))
        return 1;
    *r = {0, 0, w->width, w->height};
    return 0;
}

int SetWindowText(XWin *w, const char *text) {
    if (!Alive(w))
        return 1;
    SetTitle(w, text ? text : "");
    return 0;
}

int GetSystemMetric(int) { return 0; } // the window manager's frames are outside the client

// The work area of the current desktop (the screen less panels and docks) when the window
// manager publishes one, else the whole screen.
void GetDesktopRect(HostRect *r) {
    int width = DisplayWidth(gX.dpy, gX.screen), height = DisplayHeight(gX.dpy, gX.screen);
    *r = {0, 0, width, height};
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(gX.dpy, gX.root, gX.netWorkarea, 0, 4, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) != Success)
        return;
    if (type == XA_CARDINAL && format == 32 && count >= 4) {
        const long *v = (const long *)data;
        if (v[0] >= 0 && v[1] >= 0 && v[2] > 0 && v[3] > 0 && v[0] + v[2] <= width &&
            v[1] + v[3] <= height)
            *r = {(int)v[0], (int)v[1], (int)(v[0] + v[2]), (int)(v[1] + v[3])};
    }
    if (data)
        XFree(data);
}

int GetScreenCap(int cap) {
    switch (cap) {
    case kHostCapDpiX:
    case kHostCapDpiY:
        return gX.dpi;
    case kHostCapBitsPerPixel:
        return gX.depth;
    case kHostCapPaletteSize:
        return 0;
    case kHostCapWidth:
        return DisplayWidth(gX.dpy, gX.screen);
    case kHostCapHeight:
        return DisplayHeight(gX.dpy, gX.screen);
    case kHostCapScale:
        return gX.scale;
    default:
        return 0;
    }
}

void ValidateRect(XWin *w, const HostRect *rect);

long DefaultProc(const HostMessage *m) {
    switch (m->code) {
    case kHostMsgClose:
        DestroyWindow(static_cast<XWin *>(m->window));
        return 0;
    case kHostMsgPaint:
        ValidateRect(static_cast<XWin *>(m->window), nullptr);
        return 0;
    default:
        return 0;
    }
}

// ---- events -------------------------------------------------------------------------------------

int VirtualKeyFor(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z)
        return kHostKeyLetterA + (int)(sym - XK_a);
    if (sym >= XK_A && sym <= XK_Z)
        return kHostKeyLetterA + (int)(sym - XK_A);
    if (sym >= XK_0 && sym <= XK_9)
        return kHostKeyDigit0 + (int)(sym - XK_0);
    if (sym >= XK_F1 && sym <= XK_F24)
        return kHostKeyF1 + (int)(sym - XK_F1);
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return kHostKeyPad0 + (int)(sym - XK_KP_0);
    switch (sym) {
    case XK_BackSpace:
        return kHostKeyBackspace;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return kHostKeyTab;
    case XK_Clear:
    case XK_KP_Begin:
        return kHostKeyClear;
    case XK_Return:
    case XK_KP_Enter:
        return kHostKeyReturn;
    case XK_Shift_L:
    case XK_Shift_R:
        return kHostKeyShift;
    case XK_Control_L:
    case XK_Control_R:
        return kHostKeyControl;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return kHostKeyAlt;
    case XK_Pause:
        return kHostKeyPause;
    case XK_Caps_Lock:
        return kHostKeyCapsLock;
    case XK_Escape:
        return kHostKeyEscape;
    case XK_space:
    case XK_KP_Space:
        return kHostKeySpace;
    case XK_Prior:
    case XK_KP_Prior:
        return kHostKeyPageUp;
    case XK_Next:
    case XK_KP_Next:
        return kHostKeyPageDown;
    case XK_End:
    case XK_KP_End:
        return kHostKeyEnd;
    case XK_Home:
    case XK_KP_Home:
        return kHostKeyHome;
    case XK_Left:
    case XK_KP_Left:
        return kHostKeyLeft;
    case XK_Up:
    case XK_KP_Up:
        return kHostKeyUp;
    case XK_Right:
    case XK_KP_Right:
        return kHostKeyRight;
    case XK_Down:
    case XK_KP_Down:
        return kHostKeyDown;
    case XK_Select:
        return kHostKeySelect;
    case XK_Print:
        return kHostKeyPrintScreen;
    case XK_Execute:
        return kHostKeyExecute;
    case XK_Insert:
    case XK_KP_Insert:
        return kHostKeyInsert;
    case XK_Delete:
    case XK_KP_Delete:
        return kHostKeyDelete;
    case XK_Help:
        return kHostKeyHelp;
    case XK_Menu:
        return kHostKeyMenu;
    case XK_KP_Multiply:
        return kHostKeyPadMultiply;
    case XK_KP_Add:
        return kHostKeyPadAdd;
    case XK_KP_Separator:
        return kHostKeyPadSeparator;
    case XK_KP_Subtract:
        return kHostKeyPadSubtract;
    case XK_KP_Decimal:
        return kHostKeyPadDecimal;
    case XK_KP_Divide:
        return kHostKeyPadDivide;
    case XK_Num_Lock:
        return kHostKeyNumLock;
    case XK_Scroll_Lock:
        return kHostKeyScrollLock;
    default:
        return 0;
    }
}

// Keys whose text would arrive twice: they come as key-down codes (XLookupString gives 0x7F for
// Delete, which the toolkit would take as a second Delete). With Alt they are system keys,
// which the toolkit leaves to the host, so their text comes as a system character (Alt with
// Backspace is a key of its own).
bool KeyHasNoCharacter(KeySym sym) {
    switch (sym) {
    case XK_BackSpace:
    case XK_Tab:
    case XK_ISO_Left_Tab:
    case XK_Return:
    case XK_KP_Enter:
    case XK_Delete:
    case XK_KP_Delete:
        return true;
    default:
        return false;
    }
}

// The modifier a modifier key itself stands for (kHostMod...), 0 for any other key.
unsigned ModifierOf(KeySym sym) {
    switch (sym) {
    case XK_Shift_L:
    case XK_Shift_R:
        return kHostModShift;
    case XK_Control_L:
    case XK_Control_R:
        return kHostModControl;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return kHostModAlt;
    default:
        return 0;
    }
}

// The eleven keypad keys as they come with NumLock off.
bool KeypadWithoutNumLock(KeySym sym) {
    switch (sym) {
    case XK_KP_Insert:
    case XK_KP_End:
    case XK_KP_Down:
    case XK_KP_Next:
    case XK_KP_Left:
    case XK_KP_Begin:
    case XK_KP_Right:
    case XK_KP_Home:
    case XK_KP_Up:
    case XK_KP_Prior:
    case XK_KP_Delete:
        return true;
    default:
        return false;
    }
}

// A character of a script other than Latin-1 (function and keypad keys are not characters).
bool OtherScript(KeySym sym) { return (sym > 0xFF && sym < 0xFE00) || (sym >> 24) == 1; }

// The symbol and Latin-1 text of a key event, as the toolkit wants them:
// - the keypad types its digits and point whatever NumLock says, as a calculator's keypad is
//   for numbers: a key that came as its NumLock-off symbol is looked up again with NumLock on
//   (and without Shift, which would turn it back);
// - Ctrl and Alt shortcuts name Latin letters, so under another script's layout a key held
//   with Ctrl or Alt is looked up again in the first keyboard group.
int LookupKey(XKeyEvent *e, char *text, int size, KeySym *sym) {
    int length = XLookupString(e, text, size, sym, nullptr);
    XKeyEvent again = *e;
    if (KeypadWithoutNumLock(*sym) && gX.numLockMask)
        again.state = (e->state | gX.numLockMask) & ~ShiftMask;
    else if ((e->state & (ControlMask | gX.altMask)) && OtherScript(*sym))
        again.state = XkbBuildCoreState(e->state, 0);
    else
        return length;
    return XLookupString(&again, text, size, sym, nullptr);
}

void OnKey(XKeyEvent *e) {
    XWin *target = Alive(gX.focus) ? gX.focus : Lookup(e->window);
    char text[kTextBufferSize];
    KeySym sym = NoSymbol;
    int length = LookupKey(e, text, sizeof text, &sym);
    bool press = e->type == KeyPress;
    // X reports the modifiers held before the event: a modifier key's own press or release
    // changes them from this message on.
    unsigned own = ModifierOf(sym);
    unsigned before = ModifiersOf(e->state);
    unsigned mods = press ? before | own : before & ~own;
    int vk = VirtualKeyFor(sym);
    if (!target)
        return;
    bool alt = (before & kHostModAlt) || own == kHostModAlt;
    if (!press) {
        if (vk)
            Push(target, alt ? kHostMsgSysKeyUp : kHostMsgKeyUp, vk, 0, 0, mods, e->time);
        return;
    }
    if (vk)
        Push(target, alt ? kHostMsgSysKeyDown : kHostMsgKeyDown, vk, 0, 0, mods, e->time);
    if (!alt && KeyHasNoCharacter(sym))
        return;
    for (int i = 0; i < length; i++)
        Push(target, alt ? kHostMsgSysChar : kHostMsgChar,
             HostCoreCharValue((unsigned char)text[i]), 0, 0, mods, e->time);
}

// A pointer event of X window `xid` at (x, y), for the capture window when there is one.
void OnPointer(int code, Window xid, int x, int y, int rootX, int rootY, unsigned state, Time time,
               int value = 0) {
    XWin *w = Lookup(xid);
    if (Alive(gX.capture) && gX.capture != w) {
        int cx, cy;
        ScreenOrigin(gX.capture, &cx, &cy);
        w = gX.capture;
        x = rootX - cx;
        y = rootY - cy;
    }
    if (w)
        Push(w, code, value, x, y, ModifiersOf(state), time);
}

void Damage(XWin *w, int x, int y, int width, int height) {
    HostCoreInvalidate(w, {x, y, x + width, y + height});
}

void OnConfigure(XWin *w, const XConfigureEvent *e) {
    // The cache holds the toolkit's unclamped values: only what differs from their clamped form
    // is a change. A child's position is the toolkit's own; a top-level's is taken from a
    // synthetic event (root coordinates, from the window manager) or from a window without a
    // frame, never from a real event relative to the manager's frame.
    bool trusted = !IsChild(w) && (e->send_event || !w->reparented);
    bool moved = trusted && (e->x != HostClampPos(w->x) || e->y != HostClampPos(w->y));
    bool sized = e->width != HostClampSize(w->width) || e->height != HostClampSize(w->height);
    if (moved) {
        w->x = e->x;
        w->y = e->y;
        Push(w, kHostMsgMove, 0, w->x, w->y, 0, CurrentTime);
    }
    if (sized) {
        w->width = e->width;
        w->height = e->height;
        if (w->surface)
            cairo_xlib_surface_set_size(w->surface, e->width, e->height);
        ResizeBack(w);
        Push(w, kHostMsgSize, 0, w->width, w->height, 0, CurrentTime);
    }
}

void OnFocus(const XFocusChangeEvent *e) {
    if (e->mode == NotifyGrab || e->mode == NotifyUngrab || e->detail == NotifyPointer ||
        e->detail == NotifyInferior)
        return;
    XWin *top = Lookup(e->window);
    if (!top)
        return;
    if (e->type == FocusIn) {
        gX.focusTop = top;
        if (!Alive(gX.focus) || TopOf(gX.focus) != top)
            gX.focus = top;
        AnnounceFocus(gX.focus);
        DrawCaret();
    } else if (gX.focusTop == top) {
        EraseCaret(); // the caret shows where the keyboard goes: not here any more
        gX.focusTop = nullptr;
        WithdrawFocus();
    }
}

void Translate(XEvent *e) {
    XWin *w = Lookup(e->xany.window);
    switch (e->type) {
    case KeyPress:
    case KeyRelease:
        OnKey(&e->xkey);
        break;
    case ButtonPress:
    case ButtonRelease: {
        // Buttons 4 and 5 are the wheel's steps away and towards the user, pressed and released
        // at once: the press is one step. 6 to 9 (sideways, back, forward) are nothing of ours.
        // None of them may ever become a middle or right click.
        static const int codes[3][2] = {{kHostMsgLeftUp, kHostMsgLeftDown},
                                        {kHostMsgMiddleUp, kHostMsgMiddleDown},
                                        {kHostMsgRightUp, kHostMsgRightDown}};
        unsigned b = e->xbutton.button;
        if ((b == Button4 || b == Button5) && e->type == ButtonPress) {
            OnPointer(kHostMsgWheel, e->xbutton.window, e->xbutton.x, e->xbutton.y,
                      e->xbutton.x_root, e->xbutton.y_root, e->xbutton.state, e->xbutton.time,
                      b == Button4 ? -1 : 1);
            break;
        }
        if (b < 1 || b > 3)
            break;
        OnPointer(codes[b - 1][e->type == ButtonPress], e->xbutton.window, e->xbutton.x,
                  e->xbutton.y, e->xbutton.x_root, e->xbutton.y_root, e->xbutton.state,
                  e->xbutton.time);
        break;
    }
    case MotionNotify: {
        // Only the motions that follow at the head of the queue are merged: taking one from
        // beyond a button release would move the drag past where the button came up.
        XEvent latest = *e;
        while (XEventsQueued(gX.dpy, QueuedAlready) > 0) {
            XEvent next;
            XPeekEvent(gX.dpy, &next);
            if (next.type != MotionNotify || next.xmotion.window != latest.xmotion.window)
                break;
            XNextEvent(gX.dpy, &latest);
        }
        OnPointer(kHostMsgPointerMove, latest.xmotion.window, latest.xmotion.x, latest.xmotion.y,
                  latest.xmotion.x_root, latest.xmotion.y_root, latest.xmotion.state,
                  latest.xmotion.time);
        break;
    }
    case EnterNotify:
        if (e->xcrossing.mode == NotifyNormal)
            OnPointer(kHostMsgPointerMove, e->xcrossing.window, e->xcrossing.x, e->xcrossing.y,
                      e->xcrossing.x_root, e->xcrossing.y_root, e->xcrossing.state,
                      e->xcrossing.time);
        break;
    case FocusIn:
    case FocusOut:
        OnFocus(&e->xfocus);
        break;
    case Expose:
        if (w)
            Damage(w, e->xexpose.x, e->xexpose.y, e->xexpose.width, e->xexpose.height);
        break;
    case ConfigureNotify:
        if (w && e->xconfigure.window == e->xconfigure.event)
            OnConfigure(w, &e->xconfigure);
        break;
    case MapNotify:
        if (w) {
            w->mapped = true;
            if (Alive(gX.focus) && TopOf(gX.focus) == w)
                GiveXFocus(w);
            if (IsFloating(w))
                GrabForMenu(w);
        }
        break;
    case UnmapNotify:
        if (w) {
            w->mapped = false;
            if (gX.menu == w)
                UngrabMenu();
        }
        break;
    case ReparentNotify:
        if (w && e->xreparent.window == w->xid)
            w->reparented = e->xreparent.parent != gX.root;
        break;
    case ClientMessage:
        if (w && e->xclient.message_type == gX.wmProtocols && e->xclient.format == 32 &&
            (Atom)e->xclient.data.l[0] == gX.wmDelete)
            Push(w, kHostMsgClose, 0, 0, 0, 0, (Time)e->xclient.data.l[1]);
        break;
    case SelectionRequest:
    case SelectionClear:
    case SelectionNotify:
    case PropertyNotify:
        OnClipboardEvent(e);
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&e->xmapping);
        if (e->xmapping.request != MappingPointer)
            ReadModifierMap();
        break;
    default:
        break;
    }
}

// A quit signal goes to the toolkit once, as a message to its first top window; before there
// is one it waits.
void HandOverQuit(void) {
    int signal = gQuitSignal;
    if (!signal || gX.quitPosted)
        return;
    for (XWin *w : Windows())
        if (!IsChild(w)) {
            gX.quitPosted = HostCorePost(w, kHostMsgQuit, signal) == 0;
            return;
        }
}

// The core's pump: moves the X events that have arrived into the input queue, leaving them
// with Xlib while the queue is full.
void ReadXEvents(void) {
    if (!gX.dpy)
        return;
    HandOverQuit();
    while (!HostCoreInputFull() && XPending(gX.dpy)) {
        XEvent e;
        XNextEvent(gX.dpy, &e);
        Translate(&e);
    }
    // Input waits in the X queue while the core's queue is full; a paste from another program
    // must not wait with it.
    if (HostCoreInputFull())
        ServeClipboard();
}

bool Paintable(const HostCoreWindow *w) { return Viewable(static_cast<const XWin *>(w)); }

// One byte in the pipe is enough to end a wait: later posts before the wait write nothing.
void Wake(void) {
    if (gX.wakePending)
        return;
    gX.wakePending = true;
    ssize_t written = write(gX.wake[1], "w", 1);
    (void)written;
}

void Release(HostCoreWindow *w) { delete static_cast<XWin *>(w); }

bool TakeReady(HostMessage *out, bool remove) { return HostCoreTake(out, remove); }

// Blocks until the connection or the wake pipe has input, or `ms` pass (-1: no limit); the
// next timer shortens the wait.
void Block(int ms) {
    int64_t next = HostCoreNextTimer();
    if (next >= 0) {
        int64_t left = next - NowMs();
        if (left < 0)
            left = 0;
        if (ms < 0 || left < ms)
            ms = (int)left;
    }
    XFlush(gX.dpy);
    // Events Xlib read while flushing wait in its own queue, not on the socket: with no timer
    // to end the wait they would sit there until the next event.
    if (XQLength(gX.dpy) > 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(gX.dpy), POLLIN, 0}, {gX.wake[0], POLLIN, 0}};
    int r = poll(fds, 2, ms);
    if (r > 0 && (fds[1].revents & POLLIN))
        DrainWakePipe();
}

int PeekMessage(HostMessage *out, int remove) { return TakeReady(out, remove != 0) ? 1 : 0; }

int GetMessage(HostMessage *out) {
    for (;;) {
        if (TakeReady(out, true))
            return 1;
        Block(-1);
    }
}

int WaitMessage(int timeoutMs) {
    int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    for (;;) {
        if (TakeReady(nullptr, false))
            return 1;
        int left = -1;
        if (deadline >= 0) {
            int64_t l = deadline - NowMs();
            if (l <= 0)
                return 0;
            left = (int)l;
        }
        Block(left);
    }
}

void DispatchMessage(const HostMessage *m) { HostCoreCall(m); }

int PostMessage(XWin *w, int code, int value) {
    return HostCorePost(Alive(w) ? w : nullptr, code, value);
}

void PostQuit(int) {}

int SetTimer(XWin *w, int id, int period) { return HostCoreSetTimer(w, id, period); }
int KillTimer(XWin *w, int id) { return HostCoreKillTimer(w, id); }

void Sleep(int ms) {
    if (ms <= 0) {
        sched_yield();
        return;
    }
    timespec ts = {ms / 1000, (long)(ms % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int64_t Now(void) { return NowMs(); }

// ---- input --------------------------------------------------------------------------------------

void SetFocus(XWin *w) {
    if (w && !Alive(w))
        return;
    gX.focus = w;
    if (gX.focusTop) { // the program holds the X focus: the toolkit hears of the move now
        if (w)
            AnnounceFocus(w);
        else
            WithdrawFocus();
    }
    if (w)
        GiveXFocus(w);
}

XWin *GetFocus(void) { return gX.focusTop ? gX.announced : nullptr; }

void SetCapture(XWin *w) {
    if (!Alive(w))
        return;
    gX.capture = w;
    XGrabPointer(gX.dpy, w->xid, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
}

void ReleaseCapture(void) {
    gX.capture = nullptr;
    if (Alive(gX.menu) && gX.menu->mapped)
        GrabMenuPointer(gX.menu); // the menu takes the pointer back
    else
        XUngrabPointer(gX.dpy, CurrentTime);
}

// While modal, the window manager keeps the dialog above its owner. Before the window is mapped
// the manager reads the property; afterwards only the client message changes the state. The
// property is kept true either way, for a display without a manager.
void SetModal(XWin *w, int modal) {
    if (!Alive(w) || w->parent)
        return;
    if (modal)
        XChangeProperty(gX.dpy, w->xid, gX.netWmState, XA_ATOM, 32, PropModeAppend,
                        (unsigned char *)&gX.netWmStateModal, 1);
    else
        XDeleteProperty(gX.dpy, w->xid, gX.netWmState);
    if (!w->mapped)
        return;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = w->xid;
    e.xclient.message_type = gX.netWmState;
    e.xclient.format = 32;
    e.xclient.data.l[0] = modal ? kNetWmStateAdd : kNetWmStateRemove;
    e.xclient.data.l[1] = (long)gX.netWmStateModal;
    e.xclient.data.l[3] = 1; // from an application
    XSendEvent(gX.dpy, gX.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

void GetCursorPos(int *x, int *y) {
    Window rootReturn, childReturn;
    int wx, wy;
    unsigned mask;
    if (!XQueryPointer(gX.dpy, gX.root, &rootReturn, &childReturn, x, y, &wx, &wy, &mask))
        *x = *y = 0;
}

void SetCursorPos(int x, int y) { XWarpPointer(gX.dpy, None, gX.root, 0, 0, 0, 0, x, y); }

int GetKeyState(int vk) { return HostCoreKeyState(vk); }

// ---- painting -----------------------------------------------------------------------------------

cairo_surface_t *SurfaceOf(XWin *w) {
    if (!w->surface)
        w->surface = cairo_xlib_surface_create(gX.dpy, w->xid, gX.visual, HostClampSize(w->width),
                                               HostClampSize(w->height));
    return w->surface;
}

// The back buffer: the window's pixels as last drawn, in client memory. Every drawing goes
// there and is shown by Present, one copy per paint, so nothing flickers, and text and shapes
// are rendered exactly as on the headless host.
cairo_surface_t *BackOf(XWin *w) {
    if (!w->back)
        w->back = cairo_image_surface_create(CAIRO_FORMAT_RGB24, HostClampSize(w->width),
                                             HostClampSize(w->height));
    return w->back;
}

// A new size keeps what the back buffer held where it still fits.
void ResizeBack(XWin *w) {
    if (!w->back)
        return;
    cairo_surface_t *old = w->back;
    w->back = nullptr;
    cairo_t *cr = cairo_create(BackOf(w));
    cairo_set_source_surface(cr, old, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(old);
}

// Copies the back buffer's area to the window.
// On the usual screens (24 bits in 32-bit pixels, red in the high byte) the back buffer's
// pixels are the screen's: XPutImage sends them as they are. It also keeps nothing between calls,
// unlike cairo's shared-memory uploads, whose records of the last uploads are never freed when
// the display closes. Other screens go through cairo, which converts.
bool PutsDirectly(void) {
    return gX.depth == 24 && gX.visual->c_class == TrueColor && gX.visual->red_mask == 0xFF0000 &&
           gX.visual->green_mask == 0xFF00 && gX.visual->blue_mask == 0xFF;
}

bool PutBack(XWin *w, const HostRect &area) {
    if (!PutsDirectly())
        return false;
    if (!gX.putGc)
        gX.putGc = XCreateGC(gX.dpy, w->xid, 0, nullptr);
    int width = cairo_image_surface_get_width(w->back);
    int height = cairo_image_surface_get_height(w->back);
    XImage *image = XCreateImage(gX.dpy, gX.visual, 24, ZPixmap, 0,
                                 (char *)cairo_image_surface_get_data(w->back), (unsigned)width,
                                 (unsigned)height, 32, cairo_image_surface_get_stride(w->back));
    if (!image)
        return false;
    bool fits = image->bits_per_pixel == 32;
    if (fits) {
        const uint32_t one = 1; // cairo's pixels are words in the machine's own byte order
        image->byte_order = *(const unsigned char *)&one ? LSBFirst : MSBFirst;
        int right = std::min(area.right, width), bottom = std::min(area.bottom, height);
        if (right > area.left && bottom > area.top)
            XPutImage(gX.dpy, w->xid, gX.putGc, image, area.left, area.top, area.left, area.top,
                      (unsigned)(right - area.left), (unsigned)(bottom - area.top));
    }
    image->data = nullptr; // the back buffer's, not the image's
    XDestroyImage(image);
    return fits;
}

void Show(XWin *w, const HostRect &area) {
    if (!w->back || area.right <= area.left || area.bottom <= area.top)
        return;
    cairo_surface_flush(w->back);
    if (PutBack(w, area))
        return;
    cairo_t *cr = cairo_create(SurfaceOf(w));
    cairo_set_source_surface(cr, w->back, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(w->surface);
}

// The caret is a steady bar (no blinking, so no wake-ups), shown only while the program has
// the keyboard.
void DrawCaret(void) {
    XWin *w = gX.caretOwner;
    if (!gX.caretShown || !Alive(w) || !gX.focusTop || !Viewable(w))
        return;
    cairo_t *cr = cairo_create(SurfaceOf(w));
    const HostRect &c = gX.caret;
    cairo_rectangle(cr, c.left, c.top, c.right - c.left, c.bottom - c.top);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(w->surface);
}

void EraseCaret(void) {
    if (Alive(gX.caretOwner))
        Show(gX.caretOwner, gX.caret);
}

// Shows what was drawn; drawing in the caret's window covered the caret, which comes back.
void Present(XWin *w, const HostRect &area) {
    Show(w, area);
    if (w == gX.caretOwner)
        DrawCaret();
}

HostRect Clipped(const XWin *w, const HostRect *area) {
    HostRect all = {0, 0, HostClampSize(w->width), HostClampSize(w->height)};
    if (!area)
        return all;
    return {std::max(all.left, area->left), std::max(all.top, area->top),
            std::min(all.right, area->right), std::min(all.bottom, area->bottom)};
}

HostDevice *MakeDevice(XWin *w, const HostRect *clip) {
    HostRect area = Clipped(w, clip);
    cairo_t *cr = cairo_create(BackOf(w));
    cairo_rectangle(cr, area.left, area.top, std::max(0, area.right - area.left),
                    std::max(0, area.bottom - area.top));
    cairo_clip(cr);
    HostDevice *d = HostDeviceCreate(cr, w, w->width, w->height, gX.dpi, gX.dpi, gX.depth, 0);
    if (d)
        gX.devices.push_back({d, area});
    return d;
}

HostDevice *BeginPaint(XWin *w, HostRect *update) {
    if (!Alive(w))
        return nullptr;
    HostRect r = HostCoreTakeUpdate(w);
    if (update)
        *update = r;
    HostDevice *d = MakeDevice(w, &r);
    if (d && w->cls->background != kHostNoBackground)
        HostDrawFillRect(d, &r, (HostColor)w->cls->background);
    return d;
}

void FinishDevice(XWin *w, HostDevice *d) {
    if (!d)
        return;
    HostRect area = {0, 0, 0, 0};
    for (auto it = gX.devices.begin(); it != gX.devices.end(); ++it)
        if (it->device == d) {
            area = it->area;
            gX.devices.erase(it);
            break;
        }
    HostDeviceDestroy(d);
    if (Alive(w)) // a window closed while painting shows nothing
        Present(w, area);
}

void EndPaint(XWin *w, HostDevice *d) { FinishDevice(w, d); }

int GetUpdateRect(XWin *w, HostRect *r) { return HostCoreGetUpdateRect(w, r); }
void ValidateRect(XWin *w, const HostRect *rect) { HostCoreValidate(w, rect); }

void InvalidateRect(XWin *w, const HostRect *rect) {
    if (!Alive(w))
        return;
    if (rect)
        Damage(w, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    else
        Damage(w, 0, 0, w->width, w->height);
}

// Scrolls the back buffer and shows the band: what a device of the window still has to show
// moves with it.
int ScrollWindow(XWin *w, int dx, int dy, const HostRect *area) {
    if (!Alive(w))
        return 1;
    HostRect a = Clipped(w, area);
    if (a.right <= a.left || a.bottom <= a.top)
        return 0;
    cairo_surface_t *back = BackOf(w);
    cairo_surface_t *band = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.right - a.left,
                                                       a.bottom - a.top); // source and
    cairo_t *cr = cairo_create(band);                                     // target overlap
    cairo_set_source_surface(cr, back, -a.left, -a.top);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cr = cairo_create(back);
    cairo_rectangle(cr, a.left, a.top, a.right - a.left, a.bottom - a.top);
    cairo_clip(cr);
    cairo_set_source_surface(cr, band, a.left + dx, a.top + dy);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(band);
    Present(w, a);
    return 0;
}

HostDevice *GetDevice(XWin *w) { return Alive(w) ? MakeDevice(w, nullptr) : nullptr; }
void ReleaseDevice(XWin *w, HostDevice *d) { FinishDevice(w, d); }

// ---- the caret ---------------------------------------------------------------------------------

int CreateCaret(XWin *w, int width, int height) {
    EraseCaret();
    gX.caretOwner = Alive(w) ? w : nullptr;
    gX.caret = {0, 0, std::max(1, width), std::max(1, height)};
    gX.caretShown = false;
    return gX.caretOwner ? 0 : 1;
}

int SetCaretPos(int x, int y) {
    if (!gX.caretOwner)
        return 1;
    EraseCaret();
    gX.caret = {x, y, x + gX.caret.right - gX.caret.left, y + gX.caret.bottom - gX.caret.top};
    DrawCaret();
    return 0;
}

int ShowCaret(XWin *w) {
    if (!w || w != gX.caretOwner)
        return 1;
    gX.caretShown = true;
    DrawCaret();
    return 0;
}

int HideCaret(XWin *w) {
    if (!w || w != gX.caretOwner)
        return 1;
    gX.caretShown = false;
    EraseCaret();
    return 0;
}

int DestroyCaret(void) {
    EraseCaret();
    gX.caretOwner = nullptr;
    gX.caretShown = false;
    return 0;
}

// At the keyboard's own volume; flushed, since no request may follow for a while.
void Bell(void) {
    XBell(gX.dpy, 0);
    XFlush(gX.dpy);
}

void SetExitHook(void (*hook)(void)) { gX.exitHook = hook; }

} // namespace

// ---- shared with the clipboard and the message box ----------------------------------------------

int64_t NowMs(void) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

unsigned long PixelOf(HostColor c) {
    // TrueColor visuals: place each component under its mask.
    unsigned long r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    auto place = [](unsigned long v, unsigned long mask) {
        if (!mask)
            return 0UL;
        int shift = 0;
        while (!((mask >> shift) & 1))
            shift++;
        int bits = 0;
        while ((mask >> (shift + bits)) & 1)
            bits++;
        return ((v >> (8 - std::min(bits, 8))) << shift) & mask;
    };
    Visual *v = gX.visual;
    return place(r, v->red_mask) | place(g, v->green_mask) | place(b, v->blue_mask);
}

// What a window manager and a session manager read to tell which program a top-level window
// belongs to: WM_CLASS, the machine and the process (_NET_WM_PID counts only with the machine).
void SetProgramProperties(Window xid) {
    XClassHint classHint = {(char *)gX.program.c_str(), (char *)kWmClass};
    XSetClassHint(gX.dpy, xid, &classHint);
    if (!gX.machine.empty()) {
        char *names[] = {(char *)gX.machine.c_str()};
        XTextProperty text = {};
        if (XStringListToTextProperty(names, 1, &text)) {
            XSetWMClientMachine(gX.dpy, xid, &text);
            XFree(text.value);
        }
    }
    long pid = getpid();
    XChangeProperty(gX.dpy, xid, gX.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    (unsigned char *)&pid, 1);
}

void DrainWakePipe(void) {
    char buffer[64];
    while (read(gX.wake[0], buffer, sizeof buffer) > 0) {
    }
    gX.wakePending = false;
}

} // namespace x11host

// The table's platform entries are named after the backend's own functions.
using namespace x11host;
const HostOps kX11Host = [] {
    HostOps ops = HostRendererOps("x11");
    HOST_PLATFORM_OPS(XWin, ops);
    return ops;
}();
