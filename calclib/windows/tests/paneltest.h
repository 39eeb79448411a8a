// The real panel on the headless host, for the tests of the panel and its windows: a fresh
// settings directory per test, the panel built and shown, keys pressed and typed through the
// real event loop, and the display cells read back as text.
#pragma once

#include "windtest.h"

#include "buffer.h"
#include "calc.h"
#include "calcsettings.h"
#include "controls.h"
#include "dialog.h"
#include "dispcells.h"
#include "display.h"
#include "host.h"
#include "number.h"
#include "panel.h"
#include "settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace paneltest {

using namespace windtest;

inline void CloseIt(void *w) { CloseWindow((Window *)w); }

// The top window of that table name (a dialog the panel opened), or null.
inline Window *TopWindowNamed(const char *name) {
    Window *first = FirstTopWindow();
    for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
        if (w->name && strcmp(w->name, name) == 0)
            return w;
    return nullptr;
}

class PanelTest : public WindTest {
  protected:
    void SetUp() override {
        if (sweepEngine) {
            displayRelease(); // a display kept from an earlier test was made by the old pair
            ASSERT_EQ(0, numSetAllocator(failAllocate, failRelease));
        }
        WindTest::SetUp();
        ASSERT_EQ(0, BufferProlog(failAllocate, failRelease, nullptr, nullptr));
        char dir[] = "/tmp/torva-panel-test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        configDir = dir;
        setenv("TORVA_CONFIG_DIR", dir, 1);
        settings = calcSettingsFileName("torva");
        HeadlessBoxClear();
    }
    void TearDown() override {
        if (panel && WindowIsLive(panel))
            CloseWindow(panel);
        if (sweepEngine) {
            // The display keeps its entry buffers for the process; here they come from the
            // counting allocator, so they go before it counts what is left.
            displayRelease();
            numSetAllocator(malloc, free); // the engine's kept buffers go back to the counter
        }
        WindTest::TearDown();
        BufferEpilog();
        std::string cleanup = "rm -rf " + configDir;
        EXPECT_EQ(0, system(cleanup.c_str()));
    }
    Window *Build() {
        panel = calcPanelCreate(settings.c_str());
        EXPECT_NE(nullptr, panel);
        if (panel) {
            ShowDialog(panel);
            Settle();
        }
        return panel;
    }
    void Settle(int ms = 100) {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + ms, CloseIt, runner);
        RunModal(runner);
    }
    // Settles with the n-th allocation from now failing (the loop's runner window is made
    // before the count starts). Whether the armed failure happened: once it does not, n is past
    // the last allocation of what was injected.
    bool SettleFailing(long n, int ms = 100) {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        EXPECT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + ms, CloseIt, runner);
        FailAllocation(n);
        RunModal(runner);
        const bool triggered = failAllocTriggered();
        FailAllocation(0);
        return triggered;
    }
    Window *Key(const char *name) { return FindNamedWindow(name, panel); }
    void Press(const char *name) {
        Window *k = Key(name);
        ASSERT_NE(nullptr, k) << name;
        Click(k, 3, 3);
        Settle();
    }
    // Types the text as characters on the keyboard.
    void Type(const char *text) {
        for (const char *c = text; *c; c++)
            HeadlessChar((unsigned char)*c);
        Settle();
    }
    // The mantissa and exponent cells as one text: each cell's character, and '.' after a
    // character that carries a point, blanks trimmed; then '|' and the exponent likewise.
    std::string Shown() {
        auto cells = [this](const char *sign, const char *format, int count) {
            std::string out;
            auto add = [&out](const char *text) {
                out += text[0] ? text[0] : ' ';
                if (text[0] && text[1] == '.')
                    out += '.';
            };
            add(displayCellText(FindNamedWindow(sign, panel)));
            for (int i = 0; i < count; i++) {
                char name[16];
                snprintf(name, sizeof name, format, i);
                add(displayCellText(FindNamedWindow(name, panel)));
            }
            size_t first = out.find_first_not_of(' '), last = out.find_last_not_of(' ');
            return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
        };
        return cells("Sign", "d%04d", calc()->digits) + "|" +
               cells("ExpSign", "e%04d", calc()->exponentDigits);
    }
    std::string SettingsText() {
        std::ifstream in(settings);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    Calculator *calc() { return calcPanelRecord(panel); }
    bool Enabled(const char *name) {
        Window *k = Key(name);
        return k && !(k->flags & kWindowDisabled);
    }
    std::string configDir, settings;
    Window *panel = nullptr;
    // Set by a fixture that sweeps allocation failures: the number engine then allocates
    // through the failing allocator too, so its allocations are counted and can fail.
    bool sweepEngine = false;
};

} // namespace paneltest
