// Keys: the host key table, the modifier word, the translation of host key messages into key
// events (the window procedure calls KeyHostMessage) and their completion on delivery.
#include "keys.h"
#include "wind.h"
#include "windmsg.h"

#include "host.h"

namespace {

int gModifiers; // kKeyMod... bits

// Host virtual key -> key code for the 128 used entries; everything else is keyIllegal.
constexpr int TableEntry(int vk) {
    switch (vk) {
    case kHostKeyBackspace:
    case kHostKeyTab:
    case kHostKeyClear:
    case kHostKeyReturn:
        return vk;
    case kHostKeyShift:
        return keyShift;
    case kHostKeyControl:
        return keyCtrl;
    case kHostKeyAlt:
        return keyAlt;
    case kHostKeyPause:
        return keyPause;
    case kHostKeyCapsLock:
        return keyCapsLock;
    case kHostKeyPageUp:
        return keyPageUp;
    case kHostKeyPageDown:
        return keyPageDown;
    case kHostKeyEnd:
        return keyEOL;
    case kHostKeyHome:
        return keyBOL;
    case kHostKeyLeft:
        return keyLeft;
    case kHostKeyUp:
        return keyUp;
    case kHostKeyRight:
        return keyRight;
    case kHostKeyDown:
        return keyDown;
    case kHostKeyInsert:
        return keyInsert;
    case kHostKeyDelete:
        return keyDelete;
    default:
        break;
    }
    if (vk >= kHostKeyF1 && vk <= kHostKeyF24)
        return keyF1 + (vk - kHostKeyF1);
    if (vk == kHostKeyNumLock)
        return keyNumLock;
    return keyIllegal;
}

struct HostKeyTable {
    short code[kHostKeyTableSize];
    constexpr HostKeyTable() : code() {
        for (int vk = 0; vk < kHostKeyTableSize; vk++)
            code[vk] = (short)TableEntry(vk);
    }
};

constexpr HostKeyTable kHostKeys;

constexpr int kHostKeyTableUsed = 128; // keys from 128 up go to the host

// The modifier word is rebuilt from the key state each key message carries: Shift, Ctrl and
// Alt as they were held when the key was pressed (keys typed ahead keep their own modifiers),
// and never a bit left over from a release the toolkit did not see (Alt released in another
// program after Alt+Tab would otherwise turn the next Backspace into Alt-Backspace).
void ReadModifiers(const HostMessage *m) {
    gModifiers = (m->modifiers & kHostModShift ? kKeyModShift : 0) |
                 (m->modifiers & kHostModControl ? kKeyModCtrl : 0) |
                 (m->modifiers & kHostModAlt ? kKeyModAlt : 0);
}

} // namespace

int HostKeyToCode(int vk) {
    if (vk < 0 || vk >= kHostKeyTableSize)
        return keyIllegal;
    return kHostKeys.code[vk];
}

int KeyModifiers(void) { return gModifiers; }
void KeyReset(void) { gModifiers = 0; }

int KeyHostMessage(const HostMessage *m, Window *window) {
    ReadModifiers(m);
    switch (m->code) {
    case kHostMsgKeyDown: {
        if (m->value < 0 || m->value >= kHostKeyTableUsed)
            return 1;
        int code = HostKeyToCode(m->value);
        if (code != keyIllegal && window)
            PostEvent(kEventKey, code, window);
        return 0;
    }
    case kHostMsgKeyUp:
    case kHostMsgSysKeyDown:
    case kHostMsgSysKeyUp:
        return 1;
    case kHostMsgChar:
        // Backspace, Tab and Return already came as key-down codes. Characters 128..255 come
        // as 256 + character and are posted so, above every key code: no key table mistakes
        // a letter for a named key.
        if (m->value == 8 || m->value == 9 || m->value == 13)
            return 1;
        if (window)
            PostEvent(kEventKey, m->value, window);
        return 0;
    case kHostMsgSysChar: {
        int c = m->value;
        int code = keyIllegal;
        if (c == 8)
            code = keyAltBackspace;
        else if (c >= 'a' && c <= 'z')
            code = c - 'a' + keyAltA;
        else if (c >= 'A' && c <= 'Z')
            code = c + (keyAltA - 'A'); // upper case letter + 134
        if (code == keyIllegal || !window)
            return 1; // host shortcuts keep working
        PostEvent(kEventKey, code, window);
        return 0;
    }
    default:
        return 1;
    }
}

int KeyComplete(int code, int modifiers) {
    bool shift = modifiers & kKeyModShift, ctrl = modifiers & kKeyModCtrl;
    switch (code) {
    case 8:
        return modifiers & kKeyModAlt ? keyAltBackspace : code;
    case keyDelete:
        if (shift)
            return ctrl ? keyCtrlShiftDelete : keyShiftDelete;
        return ctrl ? keyCtrlDelete : code;
    case keyInsert:
        if (shift)
            return ctrl ? keyCtrlShiftInsert : keyShiftInsert;
        return ctrl ? keyCtrlInsert : code;
    default:
        return code;
    }
}

void KeyDeliver(int code) {
    Window *target = FocusWindow();
    if (!target) {
        Window *head = FirstTopWindow();
        for (Window *w = head; w && !target; w = w->chain)
            if (w->flags & kWindowTakesFocus)
                target = w;
        if (!target)
            return;
        WindowRef ref = WindowRefOf(target);
        SetFocusWindow(target);
        if (!WindowRefLive(ref))
            return;
    }
    int completed = KeyComplete(code, gModifiers);
    if (target->onKey)
        target->onKey(completed, target);
}
