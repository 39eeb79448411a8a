// Keys from the host to onKey: the host key table, the character path, Alt through the system
// messages, and the completion of Delete, Insert and Backspace with the modifier word.
#include "windtest.h"

#include "host.h"
#include "keys.h"

#include <cctype>

using namespace windtest;

namespace {

TEST(KeyComplete, ModifiersChangeOnlyDeleteInsertAndBackspace) {
    struct Case {
        int code, modifiers, delivered;
    } cases[] = {
        {keyDelete, kKeyModShift, keyShiftDelete},
        {keyDelete, kKeyModShift | kKeyModCtrl, keyCtrlShiftDelete},
        {keyDelete, kKeyModCtrl, keyCtrlDelete},
        {keyDelete, kKeyModAlt, keyDelete},
        {keyInsert, kKeyModShift, keyShiftInsert},
        {keyInsert, kKeyModShift | kKeyModCtrl, keyCtrlShiftInsert},
        {keyInsert, kKeyModCtrl, keyCtrlInsert},
        {8, kKeyModAlt, keyAltBackspace},
        {8, kKeyModShift, 8},
        {'a', kKeyModShift | kKeyModCtrl | kKeyModAlt, 'a'},
        // Characters 128..255 (256 + character) are never taken for the keys they would shadow.
        {0x100 + keyDelete, kKeyModShift, 0x100 + keyDelete},
        {0x100 + keyInsert, kKeyModShift | kKeyModCtrl, 0x100 + keyInsert},
        {0x100 + 8, kKeyModAlt, 0x100 + 8},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.delivered, KeyComplete(c.code, c.modifiers)) << c.code << " " << c.modifiers;
}

TEST(HostKeyTable, ListedKeysOnly) {
    struct Case {
        int vk, code;
    } cases[] = {
        {kHostKeyBackspace, 8}, {kHostKeyReturn, 13},          {kHostKeyShift, keyShift},
        {kHostKeyEnd, keyEOL},  {kHostKeyHome, keyBOL},        {kHostKeyLeft, keyLeft},
        {kHostKeyUp, keyUp},    {kHostKeyInsert, keyInsert},   {kHostKeyF1, keyF1},
        {127, keyF1 + 15},      {kHostKeyF1 + 16, keyF1 + 16}, {kHostKeyNumLock, keyNumLock},
        {'A', keyIllegal},      {kHostKeyEscape, keyIllegal},  {300, keyIllegal},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.code, HostKeyToCode(c.vk)) << c.vk;
}

struct KeyCase {
    const char *label;
    void (*type)(void);
    std::vector<std::string> delivered;
};

class KeyDelivery : public WindTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyDelivery, ReachesTheFocusWindow) {
    Window *top = Top("main");
    Window *k = Child("k", top, 0, 0, 5, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = LogKey;
    ShowWindowTree(top);
    GetParam().type();
    HeadlessAt(HeadlessNow() + 50, CloseAll, nullptr);
    RunFor(top);
    EXPECT_EQ(GetParam().delivered, gLog);
}

void Held(int modifier, int vk, int character) {
    HeadlessKeyDown(modifier);
    HeadlessKeystroke(vk, character);
    HeadlessKeyUp(modifier);
}

// The user holds Alt, switches to another program with Alt+Tab and lets Alt go there.
void AltTabAway(void) {
    HeadlessKeyDown(kHostKeyAlt);
    HeadlessKeyDown(kHostKeyTab);
    HeadlessFocusAway();
    HeadlessKeyUp(kHostKeyTab);
    HeadlessKeyUp(kHostKeyAlt);
}

const KeyCase kKeyCases[] = {
    // The modifier keys themselves arrive too: Shift is 154, Ctrl 155 (Alt only sets its bit).
    {"Shift+Delete", [] { Held(kHostKeyShift, kHostKeyDelete, 0); }, {"key k 154", "key k 228"}},
    {"Ctrl+Shift+Insert",
     [] {
         HeadlessKeyDown(kHostKeyControl);
         Held(kHostKeyShift, kHostKeyInsert, 0);
         HeadlessKeyUp(kHostKeyControl);
     },
     {"key k 155", "key k 154", "key k 227"}},
    {"Alt+q", [] { Held(kHostKeyAlt, 'Q', 'q'); }, {"key k 215"}},
    {"Alt+Backspace", [] { Held(kHostKeyAlt, kHostKeyBackspace, 8); }, {"key k 231"}},
    {"Alt+F4 goes to the host", [] { Held(kHostKeyAlt, kHostKeyF1 + 3, 0); }, {}},
    {"Escape by its character", [] { HeadlessKeystroke(kHostKeyEscape, 27); }, {"key k 27"}},
    {"Return once", [] { HeadlessKeystroke(kHostKeyReturn, 13); }, {"key k 13"}},
    {"End", [] { HeadlessKeystroke(kHostKeyEnd, 0); }, {"key k 135"}},
    {"F1", [] { HeadlessKeystroke(kHostKeyF1, 0); }, {"key k 159"}},
    {"F17 gives nothing", [] { HeadlessKeystroke(kHostKeyF1 + 16, 0); }, {}},
    // Characters 128..255 arrive as 256 + character: never keyNOOP, Shift-Delete or Alt-letters.
    {"character 0xE4", [] { HeadlessChar(0xE4); }, {"key k 484"}},
    {"character 233", [] { HeadlessChar(233); }, {"key k 489"}},
    {"character 0xFF", [] { HeadlessChar(0xFF); }, {"key k 511"}},
    {"Alt with a character 128 and up goes to the host", [] { Held(kHostKeyAlt, 0, 0xE4); }, {}},
    {"shifted letter", [] { Held(kHostKeyShift, 'A', 'A'); }, {"key k 154", "key k 65"}},
    // Alt released in another program is not held when the user comes back.
    {"stale Alt",
     [] {
         AltTabAway();
         HeadlessFocusBack();
         HeadlessKeystroke(kHostKeyBackspace, 8);
     },
     {"key k 8"}},
    {"stale Shift and Ctrl",
     [] {
         HeadlessKeyDown(kHostKeyControl);
         HeadlessKeyDown(kHostKeyShift);
         HeadlessFocusAway();
         HeadlessKeyUp(kHostKeyShift);
         HeadlessKeyUp(kHostKeyControl);
         HeadlessFocusBack();
         HeadlessKeystroke(kHostKeyDelete, 0);
     },
     {"key k 155", "key k 154", "key k 127"}},
};

INSTANTIATE_TEST_SUITE_P(Keys, KeyDelivery, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase> &info) {
                             std::string name;
                             for (const char *p = info.param.label; *p; p++)
                                 name += isalnum((unsigned char)*p) ? *p : '_';
                             return name;
                         });

// The modifier word follows the modifiers each key message carries, whatever came before.
TEST_F(WindTest, ModifierWordIsRebuiltOnEveryKeyMessage) {
    struct Step {
        int code;
        unsigned modifiers;
    };
    struct Case {
        const char *label;
        std::vector<Step> steps;
        int word;
    } cases[] = {
        // clang-format off
        {"Alt down", {{kHostMsgSysKeyDown, kHostModAlt}}, kKeyModAlt},
        {"Alt up unseen, then a key", {{kHostMsgSysKeyDown, kHostModAlt}, {kHostMsgKeyDown, 0}}, 0},
        {"a character without Alt", {{kHostMsgSysKeyDown, kHostModAlt}, {kHostMsgChar, 0}}, 0},
        {"Alt held over another key's release", {{kHostMsgSysKeyDown, kHostModAlt}, {kHostMsgSysKeyUp, kHostModAlt}}, kKeyModAlt},
        {"Shift and Ctrl", {{kHostMsgKeyDown, kHostModShift | kHostModControl}}, kKeyModShift | kKeyModCtrl},
        {"Shift let go", {{kHostMsgKeyDown, kHostModShift}, {kHostMsgKeyUp, 0}}, 0},
        // clang-format on
    };
    for (const Case &c : cases) {
        KeyReset();
        for (const Step &step : c.steps) {
            HostMessage m = {};
            m.code = step.code;
            m.value = kHostKeyBackspace;
            m.modifiers = step.modifiers;
            KeyHostMessage(&m, nullptr);
        }
        EXPECT_EQ(c.word, KeyModifiers()) << c.label;
    }
}

// A key that no key message precedes (one a button posts) is completed with a word that the
// loss of the focus emptied, not with the Alt that was held when the user left.
TEST_F(WindTest, LosingTheFocusForgetsTheModifiers) {
    Window *top = Top("main");
    Window *k = Child("k", top, 0, 0, 5, 1, kWindowKindText | kWindowTakesFocus);
    k->onKey = LogKey;
    ShowWindowTree(top);
    AltTabAway();
    HeadlessFocusBack();
    HeadlessAt(
        HeadlessNow() + 10, [](void *) { PostEvent(kEventKey, 8, FocusWindow()); }, nullptr);
    HeadlessAt(HeadlessNow() + 50, CloseAll, nullptr);
    RunFor(top);
    EXPECT_EQ(std::vector<std::string>{"key k 8"}, gLog);
}

TEST_F(WindTest, AKeyWithoutAFocusWindowFindsTheFirstThatTakesIt) {
    Window *top = Top("main");
    Window *plain = Child("plain", top, 0, 0, 5, 1, kWindowKindButton);
    Window *k = Child("k", top, 0, 2, 5, 3, kWindowKindText);
    k->flags |= kWindowTakesFocus; // takes the focus, but has never had it
    plain->onKey = LogKey;
    k->onKey = LogKey;
    ASSERT_EQ(nullptr, FocusWindow());
    PostEvent(kEventKey, 'z', top);
    HeadlessAt(HeadlessNow() + 50, CloseAll, nullptr);
    RunFor(top);
    EXPECT_EQ(std::vector<std::string>{"key k 122"}, gLog);
}

} // namespace
