// The host core shared by the x11 and headless backends; see hostcore.h for the message order
// and the life of a window record.
#include "hostcore.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <unordered_set>

namespace {

struct Timer {
    HostWindow *window; //
    int id;             //
    int period;         // ms
    int64_t due;        // ms of the backend's clock
};

struct Core {
    HostCoreBackend backend;
    std::vector<HostCoreClass *> classes;
    std::unordered_set<const HostWindow *> live;
    std::vector<HostCoreWindow *> windows; // live, creation order
    std::vector<HostCoreWindow *> dead;    // destroyed, released when no call is under way
    std::deque<HostMessage> input;         // keys and pointer, in order
    std::deque<HostMessage> posted;        // posted messages, each distinct
    std::vector<Timer> timers;
    int callDepth;        // window procedures on the stack
    bool keyDown[256];    // host virtual keys held, as of the message taken last
    unsigned modifiers;   // kHostMod... as of the message taken last
    uint32_t inputTime;   // window-system time of the input message taken last, 0 before any
    bool inputFullNoted;  // the overflow was reported once
    bool postedFullNoted; //
};

Core gCore;

void ReleaseDead(void) {
    if (gCore.callDepth > 0)
        return;
    std::vector<HostCoreWindow *> dead;
    dead.swap(gCore.dead);
    for (HostCoreWindow *w : dead)
        gCore.backend.release(w);
}

HostMessage Message(HostWindow *w, int code, int value = 0, int x = 0, int y = 0,
                    unsigned modifiers = 0, uint32_t time = 0) {
    HostMessage m = {};
    m.window = w;
    m.code = code;
    m.value = value;
    m.x = x;
    m.y = y;
    m.modifiers = modifiers;
    m.time = time;
    return m;
}

// Keeps the key state as the messages are taken, so a query answers for the message being
// handled, not for whatever the keyboard did since.
void NoteTaken(const HostMessage &m) {
    bool down = m.code == kHostMsgKeyDown || m.code == kHostMsgSysKeyDown;
    bool up = m.code == kHostMsgKeyUp || m.code == kHostMsgSysKeyUp;
    if ((down || up) && m.value >= 0 && m.value < 256)
        gCore.keyDown[m.value] = down;
    if ((m.code >= kHostMsgKeyDown && m.code <= kHostMsgPointerMove) || m.code == kHostMsgWheel) {
        gCore.modifiers = m.modifiers;
        if (m.time)
            gCore.inputTime = m.time;
    }
}

} // namespace

void HostCoreOpen(const HostCoreBackend *backend) {
    HostCoreClose();
    gCore.backend = *backend;
}

void HostCoreClose(void) {
    for (HostCoreClass *c : gCore.classes)
        delete c;
    std::vector<HostCoreWindow *> all = gCore.windows;
    all.insert(all.end(), gCore.dead.begin(), gCore.dead.end());
    HostCoreBackend backend = gCore.backend;
    gCore = Core{};
    gCore.backend = backend;
    if (backend.release)
        for (HostCoreWindow *w : all)
            backend.release(w);
}

// ---- classes -----------------------------------------------------------------------------------

int HostCoreRegisterClass(const HostClass *cls) {
    if (!cls || !cls->name)
        return 1;
    for (HostCoreClass *c : gCore.classes)
        if (c->name == cls->name) {
            *c = {cls->name,       cls->proc,      cls->background,
                  cls->iconPixels, cls->iconWidth, cls->iconHeight};
            return 0;
        }
    gCore.classes.push_back(new HostCoreClass{cls->name, cls->proc, cls->background,
                                              cls->iconPixels, cls->iconWidth, cls->iconHeight});
    return 0;
}

const HostCoreClass *HostCoreFindClass(const char *name) {
    if (!name)
        return nullptr;
    for (HostCoreClass *c : gCore.classes)
        if (c->name == name)
            return c;
    return nullptr;
}

// ---- windows -----------------------------------------------------------------------------------

void HostCoreAdd(HostCoreWindow *w) {
    gCore.live.insert(w);
    gCore.windows.push_back(w);
}

void HostCoreRemove(HostCoreWindow *w) {
    if (!gCore.live.erase(w))
        return;
    gCore.windows.erase(std::remove(gCore.windows.begin(), gCore.windows.end(), w),
                        gCore.windows.end());
    auto forW = [w](const HostMessage &m) { return m.window == w; };
    gCore.input.erase(std::remove_if(gCore.input.begin(), gCore.input.end(), forW),
                      gCore.input.end());
    gCore.posted.erase(std::remove_if(gCore.posted.begin(), gCore.posted.end(), forW),
                       gCore.posted.end());
    gCore.timers.erase(std::remove_if(gCore.timers.begin(), gCore.timers.end(),
                                      [w](const Timer &t) { return t.window == w; }),
                       gCore.timers.end());
    gCore.dead.push_back(w);
    ReleaseDead();
}

bool HostCoreAlive(const HostWindow *w) { return w && gCore.live.count(w) != 0; }

const std::vector<HostCoreWindow *> &HostCoreWindows(void) { return gCore.windows; }

// ---- messages ----------------------------------------------------------------------------------

bool HostCoreInputFull(void) { return (int)gCore.input.size() + kHostInputRoom >= kHostInputMax; }

int HostCorePushInput(HostWindow *w, int code, int value, int x, int y, unsigned modifiers,
                      uint32_t time) {
    if ((int)gCore.input.size() >= kHostInputMax) {
        if (!gCore.inputFullNoted)
            fprintf(stderr, "torva: input arrives faster than it is handled; some is dropped\n");
        gCore.inputFullNoted = true;
        return 1;
    }
    gCore.input.push_back(Message(w, code, value, x, y, modifiers, time));
    return 0;
}

int HostCoreCharValue(int c) { return c < 128 ? c : 256 + c; }

int HostCorePost(HostWindow *w, int code, int value) {
    int result = 0;
    bool equal = false;
    for (const HostMessage &m : gCore.posted)
        if (m.window == w && m.code == code && m.value == value)
            equal = true;
    if (!equal) {
        if ((int)gCore.posted.size() >= kHostPostedMax) {
            if (!gCore.postedFullNoted)
                fprintf(stderr, "torva: too many posted messages; some are dropped\n");
            gCore.postedFullNoted = true;
            result = 1;
        } else {
            gCore.posted.push_back(Message(w, code, value));
        }
    }
    if (gCore.backend.wake)
        gCore.backend.wake();
    return result;
}

bool HostCoreTake(HostMessage *out, bool remove) {
    if (gCore.backend.pump)
        gCore.backend.pump();
    for (std::deque<HostMessage> *q : {&gCore.input, &gCore.posted}) {
        if (q->empty())
            continue;
        HostMessage m = q->front();
        if (out)
            *out = m;
        if (remove) {
            q->pop_front();
            NoteTaken(m);
        }
        return true;
    }
    for (HostCoreWindow *w : gCore.windows)
        if (w->hasUpdate && gCore.backend.paintable(w)) {
            if (out)
                *out = Message(w, kHostMsgPaint);
            return true; // stays until painted or validated
        }
    int64_t now = gCore.backend.now();
    Timer *due = nullptr;
    for (Timer &t : gCore.timers)
        if (t.due <= now && (!due || t.due < due->due))
            due = &t;
    if (due) {
        if (out)
            *out = Message(due->window, kHostMsgTimer, due->id);
        if (remove)
            due->due = now + due->period;
        return true;
    }
    return false;
}

int64_t HostCoreNextTimer(void) {
    int64_t next = -1;
    for (const Timer &t : gCore.timers)
        if (next < 0 || t.due < next)
            next = t.due;
    return next;
}

int HostCoreWaiting(void) { return (int)(gCore.input.size() + gCore.posted.size()); }

long HostCoreCall(const HostMessage *m) {
    HostCoreWindow *w = static_cast<HostCoreWindow *>(m->window);
    if (m->code == kHostMsgNone || !HostCoreAlive(w) || !w->cls->proc)
        return 0;
    gCore.callDepth++;
    long result = w->cls->proc(m);
    gCore.callDepth--;
    ReleaseDead();
    return result;
}

void HostCoreSend(HostCoreWindow *w, int code, int value, int x, int y) {
    HostMessage m = Message(w, code, value, x, y, gCore.modifiers);
    HostCoreCall(&m);
}

int HostCoreKeyState(int vk) {
    unsigned mask = vk == kHostKeyShift     ? kHostModShift
                    : vk == kHostKeyControl ? kHostModControl
                    : vk == kHostKeyAlt     ? kHostModAlt
                                            : 0;
    if (mask)
        return gCore.modifiers & mask ? kHostKeyHeld : 0;
    return vk >= 0 && vk < 256 && gCore.keyDown[vk] ? kHostKeyHeld : 0;
}

unsigned HostCoreModifiers(void) { return gCore.modifiers; }

uint32_t HostCoreInputTime(void) { return gCore.inputTime; }

// ---- timers ------------------------------------------------------------------------------------

int HostCoreSetTimer(HostWindow *w, int id, int period) {
    if (!HostCoreAlive(w) || period <= 0)
        return 1;
    int64_t due = gCore.backend.now() + period;
    for (Timer &t : gCore.timers)
        if (t.window == w && t.id == id) {
            t.period = period;
            t.due = due;
            return 0;
        }
    gCore.timers.push_back({w, id, period, due});
    return 0;
}

int HostCoreKillTimer(HostWindow *w, int id) {
    auto it = std::find_if(gCore.timers.begin(), gCore.timers.end(),
                           [w, id](const Timer &t) { return t.window == w && t.id == id; });
    if (it == gCore.timers.end())
        return 1;
    gCore.timers.erase(it);
    return 0;
}

int HostCoreTimerCount(void) { return (int)gCore.timers.size(); }

// ---- update areas ------------------------------------------------------------------------------

void HostCoreInvalidate(HostCoreWindow *w, const HostRect &r) {
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (!w->hasUpdate) {
        w->update = r;
        w->hasUpdate = true;
        return;
    }
    w->update = {std::min(w->update.left, r.left), std::min(w->update.top, r.top),
                 std::max(w->update.right, r.right), std::max(w->update.bottom, r.bottom)};
}

int HostCoreGetUpdateRect(const HostCoreWindow *w, HostRect *r) {
    if (!HostCoreAlive(w) || !w->hasUpdate)
        return 0;
    if (r)
        *r = w->update;
    return 1;
}

void HostCoreValidate(HostCoreWindow *w, const HostRect *rect) {
    if (!HostCoreAlive(w) || !w->hasUpdate)
        return;
    if (!rect || (rect->left <= w->update.left && rect->top <= w->update.top &&
                  rect->right >= w->update.right && rect->bottom >= w->update.bottom))
        w->hasUpdate = false;
}

HostRect HostCoreTakeUpdate(HostCoreWindow *w) {
    HostRect r = w->hasUpdate ? w->update : HostRect{0, 0, 0, 0};
    w->hasUpdate = false;
    return r;
}

// ---- text ---------------------------------------------------------------------------------------

// At most `max` Latin-1 bytes: a character Latin-1 cannot hold, or a byte that begins no
// well-formed sequence, becomes one '?'. Sequences of three and four bytes never hold a Latin-1
// character, so only two-byte ones are decoded; but the thin and the narrow no-break space,
// which group a number's digits, become the no-break space, so a pasted number keeps its
// separators.
std::string HostLatin1FromUtf8(const std::string &utf8, size_t max) {
    std::string text;
    size_t n = utf8.size();
    for (size_t i = 0; i < n && text.size() < max;) {
        unsigned char c = (unsigned char)utf8[i];
        size_t length = c < 0x80                 ? 1
                        : c >= 0xC2 && c <= 0xDF ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
        bool whole = length > 0 && i + length <= n;
        for (size_t k = 1; whole && k < length; k++)
            whole = ((unsigned char)utf8[i + k] & 0xC0) == 0x80;
        if (!whole) {
            text += '?';
            i++;
        } else if (length == 1) {
            text += (char)c;
            i++;
        } else if (length == 2) {
            unsigned code = (c & 0x1Fu) << 6 | ((unsigned char)utf8[i + 1] & 0x3Fu);
            text += code < 0x100 ? (char)code : '?';
            i += 2;
        } else {
            bool thin = length == 3 && utf8.compare(i, 2, "\xE2\x80") == 0 &&
                        (utf8[i + 2] == '\x89' || utf8[i + 2] == '\xAF'); // U+2009, U+202F
            text += thin ? '\xA0' : '?';
            i += length;
        }
    }
    return text;
}
