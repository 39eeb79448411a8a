// What both backends share above the window system: the class registry, the table of live
// windows (a destroyed record is released only once no message is being dispatched, so a
// handle that a callback still holds never points at freed memory), the message queues, the
// timers, the update areas and the order in which a wait takes its next message.
//
// Message order, as a window system keeps it: input first (keys and pointer, in the order they
// happened), then posted messages, then a paint for the first window in creation order that
// has an update area, then the earliest timer that is due. Posted messages live apart from
// input and are coalesced, so a program that posts on every step can never hold input back,
// and both queues are bounded.
#pragma once

#include "host.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

constexpr int kHostInputMax = 4096; // input messages waiting; the window system keeps the rest
constexpr int kHostInputRoom = 128; // kept free for the messages of one window-system event
constexpr int kHostPostedMax = 64;  // distinct posted messages waiting

struct HostCoreClass {
    std::string name;           //
    HostWindowProc proc;        // the window procedure of the class
    int64_t background;         // HostColor, or kHostNoBackground
    const uint32_t *iconPixels; // ARGB, or null
    int iconWidth, iconHeight;  //
};

// The first part of each backend's window record.
struct HostCoreWindow : HostWindow {
    const HostCoreClass *cls; // its class
    uint32_t style;           // kHostStyle...
    bool hasUpdate;           // `update` holds an area to paint
    HostRect update;          // client pixels
};

// What the core asks of the backend.
struct HostCoreBackend {
    void (*pump)(void); // moves waiting window-system input into the input queue; never blocks
    bool (*paintable)(const HostCoreWindow *window); // may get a paint message now
    int64_t (*now)(void);                            // milliseconds
    void (*wake)(void);                              // a post happened: end a blocked wait
    void (*release)(HostCoreWindow *window);         // frees a destroyed record
};

void HostCoreOpen(const HostCoreBackend *backend);
void HostCoreClose(void); // forgets classes, windows (releasing them), queues and timers

// ---- classes ------------------------------------------------------------------------------------
int HostCoreRegisterClass(const HostClass *cls); // 0, or 1 for a bad class
const HostCoreClass *HostCoreFindClass(const char *name);

// ---- windows ------------------------------------------------------------------------------------
void HostCoreAdd(HostCoreWindow *window); // a new window: live, last in creation order
// A destroyed window: no longer live, its messages and timers are dropped, and the record is
// released once no dispatch is under way.
void HostCoreRemove(HostCoreWindow *window);
bool HostCoreAlive(const HostWindow *window);               // never reads the record
const std::vector<HostCoreWindow *> &HostCoreWindows(void); // live, creation order

// The live windows as a backend's own record type W (derived from HostCoreWindow), for loops
// that do not destroy windows.
template <typename W> struct HostCoreWindowsOf {
    struct Iterator {
        std::vector<HostCoreWindow *>::const_iterator at;
        W *operator*() const { return static_cast<W *>(*at); }
        Iterator &operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return at != other.at; }
    };
    Iterator begin() const { return {HostCoreWindows().begin()}; }
    Iterator end() const { return {HostCoreWindows().end()}; }
    bool empty() const { return HostCoreWindows().empty(); }
    size_t size() const { return HostCoreWindows().size(); }
    W *front() const { return static_cast<W *>(HostCoreWindows().front()); }
};

// ---- messages ----------------------------------------------------------------------------------
// Input from the window system, with the modifiers held and the time of its event. 0, or 1
// when the input queue is full (the message is dropped).
int HostCorePushInput(HostWindow *window, int code, int value, int x, int y, unsigned modifiers,
                      uint32_t time);
bool HostCoreInputFull(void); // less than kHostInputRoom left: read no further event
// The value of a character message for a Latin-1 character 1..255: itself below 128, else 256 +
// the character, so that no character shares a number with the toolkit's named keys
// (Shift-Delete, Shift-Insert, the Alt letters are 127 and up).
int HostCoreCharValue(int character);
// A posted message: coalesced with an equal one already waiting, then the wait is woken. 0, or
// 1 when kHostPostedMax distinct messages wait already (the wait is woken all the same).
int HostCorePost(HostWindow *window, int code, int value);
// The next message in order (see above). remove: take it (a paint stays until painted or
// validated; a timer moves to its next period). True when there was one.
bool HostCoreTake(HostMessage *out, bool remove);
int64_t HostCoreNextTimer(void); // due time of the earliest timer, or -1
int HostCoreWaiting(void);       // input and posted messages waiting
// Calls the window's procedure (a dispatch or a message sent at once). Destroyed records are
// released when the outermost call returns.
long HostCoreCall(const HostMessage *message);
void HostCoreSend(HostCoreWindow *window, int code, int value = 0, int x = 0, int y = 0);
// The state of a key as of the last message taken: kHostKeyHeld or 0.
int HostCoreKeyState(int virtualKey);
unsigned HostCoreModifiers(void); // kHostMod... as of the last message taken
// The window system's time of the last key or pointer message taken (the event that a
// clipboard command answers), 0 before any.
uint32_t HostCoreInputTime(void);

// ---- timers -------------------------------------------------------------------------------------
int HostCoreSetTimer(HostWindow *window, int id, int periodMs);
int HostCoreKillTimer(HostWindow *window, int id);
int HostCoreTimerCount(void);

// ---- update areas -------------------------------------------------------------------------------
void HostCoreInvalidate(HostCoreWindow *window, const HostRect &rect); // joins the area
int HostCoreGetUpdateRect(const HostCoreWindow *window, HostRect *update);
// Empties the update area when `rect` (null: all) covers it, as with a rectangular region.
void HostCoreValidate(HostCoreWindow *window, const HostRect *rect);
// Takes the update area out for a paint (empty when there is none).
HostRect HostCoreTakeUpdate(HostCoreWindow *window);

// ---- the platform half of a backend's table ---------------------------------------------------
// Table entries from a backend's functions written over its own window record W (derived from
// HostWindow): HostAdapt<W, F>::Call has F's signature with every W* turned into HostWindow*.
template <typename W, typename T>
using HostOuter = std::conditional_t<std::is_same_v<T, W *>, HostWindow *, T>;

template <typename W, typename T> T HostInner(HostOuter<W, T> value) {
    if constexpr (std::is_same_v<T, W *>)
        return static_cast<W *>(value);
    else
        return value;
}

template <typename W, auto F> struct HostAdapt;
template <typename W, typename R, typename... A, R (*F)(A...)> struct HostAdapt<W, F> {
    static HostOuter<W, R> Call(HostOuter<W, A>... args) { return F(HostInner<W, A>(args)...); }
};

// Fills the platform entries of the table `ops`, each from the backend's own function of the
// same name written over its window record W (Open, Close, RegisterClass, ...). A macro because
// those names are the backend's private ones, found only where the table is made; the backend
// starts from HostRendererOps (hostdraw.h), which fills the rest.
// clang-format off
#define HOST_PLATFORM_OPS(W, ops)                                \
    (ops).open = HostAdapt<W, Open>::Call;                       \
    (ops).close = HostAdapt<W, Close>::Call;                     \
    (ops).registerClass = HostAdapt<W, RegisterClass>::Call;     \
    (ops).createWindow = HostAdapt<W, CreateWindow>::Call;       \
    (ops).destroyWindow = HostAdapt<W, DestroyWindow>::Call;     \
    (ops).showWindow = HostAdapt<W, ShowWindow>::Call;           \
    (ops).showOwnedPopups = HostAdapt<W, ShowOwnedPopups>::Call; \
    (ops).moveWindow = HostAdapt<W, MoveWindow>::Call;           \
    (ops).setFixedSize = HostAdapt<W, SetFixedSize>::Call;       \
    (ops).getWindowRect = HostAdapt<W, GetWindowRect>::Call;     \
    (ops).getClientRect = HostAdapt<W, GetClientRect>::Call;     \
    (ops).setWindowText = HostAdapt<W, SetWindowText>::Call;     \
    (ops).getSystemMetric = HostAdapt<W, GetSystemMetric>::Call; \
    (ops).getDesktopRect = HostAdapt<W, GetDesktopRect>::Call;   \
    (ops).getScreenCap = HostAdapt<W, GetScreenCap>::Call;       \
    (ops).defaultProc = HostAdapt<W, DefaultProc>::Call;         \
    (ops).peekMessage = HostAdapt<W, PeekMessage>::Call;         \
    (ops).getMessage = HostAdapt<W, GetMessage>::Call;           \
    (ops).waitMessage = HostAdapt<W, WaitMessage>::Call;         \
    (ops).dispatchMessage = HostAdapt<W, DispatchMessage>::Call; \
    (ops).postMessage = HostAdapt<W, PostMessage>::Call;         \
    (ops).postQuit = HostAdapt<W, PostQuit>::Call;               \
    (ops).setTimer = HostAdapt<W, SetTimer>::Call;               \
    (ops).killTimer = HostAdapt<W, KillTimer>::Call;             \
    (ops).sleep = HostAdapt<W, Sleep>::Call;                     \
    (ops).now = HostAdapt<W, Now>::Call;                         \
    (ops).setFocus = HostAdapt<W, SetFocus>::Call;               \
    (ops).getFocus = HostAdapt<W, GetFocus>::Call;               \
    (ops).setCapture = HostAdapt<W, SetCapture>::Call;           \
    (ops).releaseCapture = HostAdapt<W, ReleaseCapture>::Call;   \
    (ops).getCursorPos = HostAdapt<W, GetCursorPos>::Call;       \
    (ops).setCursorPos = HostAdapt<W, SetCursorPos>::Call;       \
    (ops).setModal = HostAdapt<W, SetModal>::Call;               \
    (ops).getKeyState = HostAdapt<W, GetKeyState>::Call;         \
    (ops).beginPaint = HostAdapt<W, BeginPaint>::Call;           \
    (ops).endPaint = HostAdapt<W, EndPaint>::Call;               \
    (ops).getUpdateRect = HostAdapt<W, GetUpdateRect>::Call;     \
    (ops).validateRect = HostAdapt<W, ValidateRect>::Call;       \
    (ops).invalidateRect = HostAdapt<W, InvalidateRect>::Call;   \
    (ops).scrollWindow = HostAdapt<W, ScrollWindow>::Call;       \
    (ops).getDevice = HostAdapt<W, GetDevice>::Call;             \
    (ops).releaseDevice = HostAdapt<W, ReleaseDevice>::Call;     \
    (ops).createCaret = HostAdapt<W, CreateCaret>::Call;         \
    (ops).setCaretPos = HostAdapt<W, SetCaretPos>::Call;         \
    (ops).showCaret = HostAdapt<W, ShowCaret>::Call;             \
    (ops).hideCaret = HostAdapt<W, HideCaret>::Call;             \
    (ops).destroyCaret = HostAdapt<W, DestroyCaret>::Call;       \
    (ops).clipboardPut = HostAdapt<W, ClipboardPut>::Call;       \
    (ops).clipboardGet = HostAdapt<W, ClipboardGet>::Call;       \
    (ops).messageBox = HostAdapt<W, MessageBox>::Call;           \
    (ops).bell = HostAdapt<W, Bell>::Call;                       \
    (ops).setExitHook = HostAdapt<W, SetExitHook>::Call
// clang-format on
