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

// Shift and Ctrl as they were held when the key was pressed (the message carries them), not
// as they are when the message is handled: keys typed ahead keep their own modifiers.
void ReadShiftAndCtrl(const HostMessage *m) {
    gModifiers &= kKeyModAlt;
    if (m->modifiers & kHostModShift)
        gModifiers |= kKeyModShift;
    if (m->modifiers & kHostModControl)
        gModifiers |= kKeyModCtrl;
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
    switch (m->code) {
    case kHostMsgKeyDown: {
        ReadShiftAndCtrl(m);
        if (m->value < 0 || m->value >= kHostKeyTableUsed)
            return 1;
        int code = HostKeyToCode(m->value);
        if (code != keyIllegal && window)
            PostEvent(kEventKey, code, window);
        return 0;
    }
    case kHostMsgKeyUp:
        ReadShiftAndCtrl(m);
        return 1;
    case kHostMsgChar:
        // Backspace, Tab and Return already came as key-down codes.
        if (m->value == 8 || m->value == 9 || m->value == 13)
            return 1;
        if (window)
            PostEvent(kEventKey, m->value & 0xFF, window);
        return 0;
    case kHostMsgSysKeyDown:
        gModifiers |= kKeyModAlt;
        return 1;
    case kHostMsgSysKeyUp:
        gModifiers &= ~kKeyModAlt;
        return 1;
    case kHostMsgSysChar: {
        int c = m->value & 0xFF;
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
