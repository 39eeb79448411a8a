// The toolkit's key codes (0 to 234) and the translation of host key messages into them.
// Characters keep their codes (controls 1..31, printable 32..126); named keys, Alt-letters and
// the modified Insert, Delete and Backspace combinations are 127 and up. Characters 128..255
// arrive as 256 + character, so every key table ignores them unless it asks for them. A key
// event carries the code from the host message; the modifier word completes it when it is
// delivered.
#pragma once

struct HostMessage;
struct Window;

enum KeyCode {
    keyNULL = 0,
    keyEscape = 27,
    keySpace = 32,
    keyDelete = 127,
    keyLeft = 128,
    keyRight = 129,
    keyUp = 130,
    keyDown = 131,
    keyHome = 132,
    keyPrev = 133,
    keyNext = 134,
    keyEOL = 135,
    keyBOL = 136,
    keyPageUp = 137,
    keyUpLeft = 138,
    keyDownLeft = 139,
    keyPageDown = 140,
    keySelect = 141,
    keyPrint = 142,
    keyExec = 143,
    keyInsert = 144,
    keyUndo = 145,
    keyRedo = 146,
    keyMenu = 147,
    keySearch = 148,
    keyStop = 149,
    keyHelp = 150,
    keyBreak = 151,
    keyModeSwitch = 152,
    keyNumLock = 153,
    keyShift = 154,
    keyCtrl = 155,
    keyAlt = 156,
    keyCapsLock = 157,
    keyPause = 158,
    keyF1 = 159, // F1..F40 are 159..198
    keyF40 = 198,
    keyAltA = 199, // Alt-A..Alt-Z are 199..224
    keyAltZ = 224,
    keyShiftInsert = 225,
    keyCtrlInsert = 226,
    keyCtrlShiftInsert = 227,
    keyShiftDelete = 228,
    keyCtrlDelete = 229,
    keyCtrlShiftDelete = 230,
    keyAltBackspace = 231,
    keyBeginSequence = 232,
    keyNOOP = 233,
    keyIllegal = 234, // a host key without a toolkit code
};

constexpr int kKeyCodeCount = 235;

// The modifier word.
constexpr int kKeyModShift = 0x100;
constexpr int kKeyModCtrl = 0x200;
constexpr int kKeyModAlt = 0x400;
static_assert(kKeyModShift == 0x100);
static_assert(kKeyModCtrl == 0x200);
static_assert(kKeyModAlt == 0x400);

constexpr int kHostKeyTableSize = 256; // entries of the host key table; 128 are used

// The key code of a host virtual key (keyIllegal for the unlisted and out of range).
int HostKeyToCode(int virtualKey);

// The modifier word as the last host key message left it.
int KeyModifiers(void);

// Handles a host key, character or system key message for `window` (null when the host window
// has no toolkit window): rebuilds the modifier word from the modifiers the message carries and
// posts key events. Characters 128..255 come (and are posted) as 256 + character, above every
// key code. 0 when the message was taken, 1 when it goes on to the host's default processing.
int KeyHostMessage(const HostMessage *message, Window *window);

// Completes a queued key code with the modifier word of the moment of delivery.
int KeyComplete(int code, int modifiers);

// Delivers a key event: to the focus window, else to the first window that takes the focus in
// the first top window's chain (which then becomes the focus window).
void KeyDeliver(int code);

// Forgets the modifier word: at the toolkit's prolog, and whenever a window loses the keyboard
// focus, since the keys released while the focus is elsewhere are never seen.
void KeyReset(void);
