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
