// The program options dialog on the real panel: what its fields and buttons show, what OK
// stores in the calculator and writes to the settings file, what it refuses, what Cancel,
// Escape and the close box leave alone, and its modal run ended from outside.
#include "paneltest.h"

#include "keys.h"
#include "progopts.h"
#include "textwind.h"

#include <sys/stat.h>

#include <functional>
#include <list>
#include <vector>

using namespace windtest;
using namespace paneltest;

namespace {

constexpr char kTitle[] = "Program Options";
constexpr int kStepMs = 100; // virtual time between two scripted steps

class ProgOptsTest : public PanelTest {
  protected:
    using Step = std::function<void()>;
    struct Scheduled {
        ProgOptsTest *test;
        int run;  // the run it belongs to: a step of a run that has ended does nothing
        int step; // index into steps, or -1 for the safety net
    };

    // Runs the steps one after another while the dialog runs modally: each one after the loop
    // has handled what the one before typed or clicked. A dialog still open after the last step
    // is a failure, and is closed so the test ends.
    void Run(std::vector<Step> script, Window *programWindow = nullptr, WindowRef *slot = nullptr) {
        run++;
        watching = slot ? slot : &open;
        steps = std::move(script);
        int64_t now = HeadlessNow();
        for (int i = 0; i <= (int)steps.size(); i++) {
            int step = i < (int)steps.size() ? i : -1;
            scheduled.push_back({this, run, step});
            HeadlessAt(now + kStepMs * (i + 1), Fire, &scheduled.back());
        }
        progOptionsOpen(programWindow ? programWindow : panel, calc(), watching);
        run++;
        EXPECT_EQ(0, TopCount(kTitle)) << "the dialog outlived its run";
        if (!slot) {
            EXPECT_FALSE(WindowRefLive(open)) << "the reference outlived the dialog";
        }
    }
    static void Fire(void *context) {
        Scheduled *s = (Scheduled *)context;
        if (s->run != s->test->run)
            return;
        if (s->step >= 0) {
            s->test->steps[(size_t)s->step]();
            return;
        }
        if (WindowRefLive(*s->test->watching)) {
            ADD_FAILURE() << "the dialog was still open after the last step";
            progOptionsClose(s->test->watching);
        }
    }

    Window *Dialog() { return WindowRefGet(*watching); }
    Window *Item(const char *name) { return Dialog() ? FindNamedWindow(name, Dialog()) : nullptr; }
    std::string Text(const char *name) {
        char text[64] = "";
        EXPECT_EQ(0, GetItemText(name, text, sizeof text, Dialog())) << name;
        return text;
    }
    bool Checked(const char *name) { return GetButtonCheck(name, Dialog()) != 0; }
    // Puts the field under the cursor, its text selected, and types over it.
    Step Enter(const char *name, const char *text) {
        return [this, name, text] {
            Window *field = Item(name);
            ASSERT_NE(nullptr, field) << name;
            SetCurrentItem(field);
            for (const char *c = text; *c; c++)
                HeadlessChar((unsigned char)*c);
        };
    }
    Step Push(const char *name) {
        return [this, name] {
            Window *item = Item(name);
            ASSERT_NE(nullptr, item) << name;
            Click(item, 3, 3);
        };
    }
    Step Stroke(int virtualKey, int character) {
        return [virtualKey, character] { HeadlessKeystroke(virtualKey, character); };
    }
    Step CloseBox() {
        return [this] {
            ASSERT_NE(nullptr, Dialog());
            HeadlessClose(Dialog()->host);
        };
    }

    int TopCount(const char *title) {
        int n = 0;
        for (Window *w = FirstTopWindow(); w; w = w->next == FirstTopWindow() ? nullptr : w->next)
            n += w->name && strcmp(w->name, title) == 0;
        return n;
    }
    // The value of the key as the file holds it, or "-" when it holds none.
    std::string Setting(const char *key) {
        char text[kSettingTextSize];
        if (!ProfileReadString(kSettingsSection, key, text, sizeof text, settings.c_str()))
            return "-";
        return text;
    }
    struct FileState {
        std::string bytes;
        ino_t inode;
        int64_t modified;
        bool operator==(const FileState &) const = default;
    };
    FileState File() {
        struct stat s = {};
        EXPECT_EQ(0, stat(settings.c_str(), &s));
        return {SettingsText(), s.st_ino,
                (int64_t)s.st_mtim.tv_sec * 1000000000 + s.st_mtim.tv_nsec};
    }

    WindowRef open = {};
    WindowRef *watching = &open; // the reference the running dialog is held by
    std::vector<Step> steps;
    std::list<Scheduled> scheduled; // stable addresses for HeadlessAt's context
    int run = 0;
};

// The plot fields of the calculator, for comparing a whole record before and after.
struct PlotFields {
    double minX, maxX, minY, maxY, angleX, angleY;
    int delta, rate, abscissa, origin;
    bool operator==(const PlotFields &) const = default;
};

PlotFields FieldsOf(const Calculator *c) {
    return {c->plotMinX,         c->plotMaxX,      c->plotMinY,  c->plotMaxY,
            c->plotAngleX,       c->plotAngleY,    c->plotDelta, c->plotRefreshRate,
            c->plotAbscissaMode, c->plotOriginMode};
}

TEST_F(ProgOptsTest, TheDefaultsFillTheDialog) {
    ASSERT_NE(nullptr, Build());
    Run({[this] {
             Window *d = Dialog();
             ASSERT_NE(nullptr, d);
             EXPECT_STREQ(kTitle, d->name);
             EXPECT_EQ(40, d->cellLeft);
             EXPECT_EQ(5, d->cellTop);
             EXPECT_EQ(37, d->cellRight - d->cellLeft + 1);
             EXPECT_EQ(15, d->cellBottom - d->cellTop + 1);
             EXPECT_EQ(1, TopCount(kTitle));
             EXPECT_EQ("-200.0000", Text("minx"));
             EXPECT_EQ("200.0000", Text("maxx"));
             EXPECT_EQ("-200.0000", Text("miny"));
             EXPECT_EQ("200.0000", Text("maxy"));
             EXPECT_EQ(" 30.0000", Text("xang"));
             EXPECT_EQ(" 30.0000", Text("yang"));
             EXPECT_EQ("10", Text("delta"));
             EXPECT_FALSE(Checked("minref"));
             EXPECT_TRUE(Checked("medref"));
             EXPECT_FALSE(Checked("maxref"));
             EXPECT_TRUE(Checked("pltX"));
             EXPECT_TRUE(Checked("pltY"));
             EXPECT_TRUE(Checked("pltZ"));
             EXPECT_EQ(Item("minx"), FocusWindow()); // typing goes to the first field
             // For a person to look at.
             EXPECT_EQ(0, HeadlessSavePng(d->host, TestPicturePath("progopts.png").c_str()));
         },
         Push("Cancel")});
    EXPECT_EQ(0, HeadlessBoxCount());
}

// Each field shows its whole value when the dialog opens (not scrolled to its end), the first
// one with its text selected for typing over; a field the cursor has left keeps no selection.
TEST_F(ProgOptsTest, FieldsOpenShowingTheirWholeValueAndKeepNoSelection) {
    ASSERT_NE(nullptr, Build());
    auto selected = [this](const char *name) {
        TextDesc *d = TextDescOf(Item(name));
        return d && d->buffer && d->buffer->markLine >= 1;
    };
    auto offset = [this](const char *name) {
        TextDesc *d = TextDescOf(Item(name));
        return d ? d->leftOffset : 99;
    };
    // Pixels of the field painted dark: the selection's box, or only the glyphs of the text.
    auto dark = [this](const char *name) {
        Window *w = Item(name);
        int n = 0;
        for (int y = 3; w && y < w->bottom - w->top - 3; y++)
            for (int x = 3; x < w->right - w->left - 3; x++)
                n += (HeadlessPixel(w->host, x, y) & 0xC0C0C0) == 0;
        return n;
    };
    Run({[&] {
             EXPECT_EQ(Item("minx"), FocusWindow());
             EXPECT_TRUE(selected("minx"));
             for (const char *name : {"minx", "maxx", "miny", "xang", "delta"})
                 EXPECT_GE(0, offset(name)) << name;
             HeadlessKeystroke(kHostKeyTab, '\t');
         },
         [&] {
             EXPECT_EQ(Item("maxx"), FocusWindow());
             EXPECT_FALSE(selected("minx"));
             EXPECT_GE(0, offset("minx"));
             EXPECT_TRUE(selected("maxx"));
             EXPECT_GE(0, offset("maxx"));
             // On the screen too: the selection's box has gone from the field left.
             EXPECT_GT(dark("maxx"), 2 * dark("minx")) << dark("maxx") << " " << dark("minx");
         },
         Push("Cancel")});
}

// A value shows with four places in eight characters, unless that passes the field's 32.
TEST_F(ProgOptsTest, ValuesShowWithFourPlacesWhenTheyFit) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        double value;
        int axes;
        const char *shown;
        bool x, y, z;
    } cases[] = {
        {0.5, 0, "  0.5000", false, false, false},
        {-1234567.25, 5, "-1234567.2500", true, false, true},
        {123456789012345678.0, 2, "123456789012345680.0000", false, true, false},
        {1e300, 4, "1.0000000000000001e+300", false, false, true},
        {-1e40, 7, "-1e+40", true, true, true},
    };
    for (const Case &c : cases) {
        calc()->plotMaxY = c.value;
        calc()->plotAbscissaMode = c.axes;
        Run({[this, &c] {
                 EXPECT_EQ(c.shown, Text("maxy")) << c.value;
                 EXPECT_EQ(c.x, Checked("pltX")) << c.axes;
                 EXPECT_EQ(c.y, Checked("pltY")) << c.axes;
                 EXPECT_EQ(c.z, Checked("pltZ")) << c.axes;
             },
             Stroke(kHostKeyEscape, 27)});
        EXPECT_EQ(c.value, calc()->plotMaxY);
    }
}

// Each field: what is typed, what the calculator holds after OK, and the text the file holds.
TEST_F(ProgOptsTest, OkStoresTheValuesAndWritesTheTextsAsTyped) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *field, *typed;
        const char *key;
        double Calculator::*value; // null for the delta
        double stored;
        const char *written;
    } cases[] = {
        {"maxx", "1e3", "PLOT_REALM_MAXX", &Calculator::plotMaxX, 1000.0, "1e3"},
        {"minx", "-5.5abc", "PLOT_REALM_MINX", &Calculator::plotMinX, -5.5, "-5.5abc"},
        {"miny", "1e", "PLOT_REALM_MINY", &Calculator::plotMinY, 1.0, "1e"},
        {"maxy", "+.25E+2", "PLOT_REALM_MAXY", &Calculator::plotMaxY, 25.0, "+.25E+2"},
        {"xang", "abc", "PLOT_ANGLE_X", &Calculator::plotAngleX, 0.0, "abc"},
        {"yang", "0x10", "PLOT_ANGLE_Y", &Calculator::plotAngleY, 0.0, "0x10"},
        {"delta", "25.9", "PLOT_REALM_DELTA", nullptr, 25.0, "25"},
    };
    for (const Case &c : cases) {
        Run({Enter(c.field, c.typed), Push("OK")});
        double stored = c.value ? calc()->*c.value : calc()->plotDelta;
        EXPECT_EQ(c.stored, stored) << c.typed;
        EXPECT_EQ(c.written, Setting(c.key)) << c.typed;
    }
    EXPECT_EQ(1, calc()->plotRefreshRate);
    EXPECT_EQ("0", Setting("PLOT_ORIGIN_MODE"));
    EXPECT_EQ(0, HeadlessBoxCount());
}

// The refresh buttons are one group; the axis buttons are independent. Only OK applies them.
TEST_F(ProgOptsTest, RefreshButtonsAreOneGroupAndAxesEachTheirOwn) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        std::vector<const char *> pressed;
        const char *checked; // the refresh button checked before the dialog ends
        const char *ending;  // "OK", "Cancel", "Escape" or "close box"
        int rate, abscissa;
    } cases[] = {
        {{"maxref"}, "maxref", "Cancel", 1, 7},
        {{"minref"}, "minref", "Escape", 1, 7},
        {{"pltX"}, "medref", "close box", 1, 7},
        {{"medref"}, "medref", "OK", 1, 7},
        {{"minref", "maxref"}, "maxref", "OK", 2, 7},
        {{"maxref", "maxref"}, "maxref", "OK", 2, 7},
        {{"pltX", "pltY", "pltZ"}, "maxref", "OK", 2, 0},
        {{"pltY", "pltY", "pltZ"}, "maxref", "OK", 2, 4},
        {{"pltX", "pltY", "minref"}, "minref", "OK", 0, 7},
    };
    for (const Case &c : cases) {
        std::vector<Step> script;
        for (const char *name : c.pressed)
            script.push_back(Push(name));
        script.push_back([this, &c] {
            for (const char *name : {"minref", "medref", "maxref"})
                EXPECT_EQ(strcmp(name, c.checked) == 0, Checked(name)) << name << " " << c.ending;
        });
        std::string ending = c.ending;
        script.push_back(ending == "Escape"      ? Stroke(kHostKeyEscape, 27)
                         : ending == "close box" ? CloseBox()
                                                 : Push(c.ending));
        Run(script);
        EXPECT_EQ(c.rate, calc()->plotRefreshRate) << c.pressed[0] << " " << c.ending;
        EXPECT_EQ(c.abscissa, calc()->plotAbscissaMode) << c.pressed[0] << " " << c.ending;
    }
    EXPECT_EQ("0", Setting("PLOT_REFRESH_RATE"));
    EXPECT_EQ("7", Setting("PLOT_ABCISSA_MODE"));
}

// Return in a field is OK: it must never reach the refresh buttons, whatever was chosen.
TEST_F(ProgOptsTest, ReturnInAFieldIsOkAndKeepsTheRate) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *pressed; // a refresh button pressed first, or null
        const char *typed;
        int rate;
        double maxX;
    } cases[] = {
        {nullptr, "250", 1, 250.0},
        {"maxref", "260", 2, 260.0},
    };
    for (const Case &c : cases) {
        std::vector<Step> script;
        if (c.pressed)
            script.push_back(Push(c.pressed));
        script.push_back(Enter("maxx", c.typed));
        script.push_back(Stroke(kHostKeyReturn, '\r'));
        Run(script);
        EXPECT_EQ(c.rate, calc()->plotRefreshRate) << c.typed;
        EXPECT_EQ(c.maxX, calc()->plotMaxX) << c.typed;
    }
}

TEST_F(ProgOptsTest, ARateOutOfRangeShowsMaximum) {
    {
        std::ofstream out(settings);
        out << "[nv]\nPLOT_REFRESH_RATE=7\n";
    }
    ASSERT_NE(nullptr, Build());
    EXPECT_EQ(2, calc()->plotRefreshRate);
    auto shows = [this] {
        EXPECT_FALSE(Checked("minref"));
        EXPECT_FALSE(Checked("medref"));
        EXPECT_TRUE(Checked("maxref"));
    };
    Run({shows, Push("medref"), Push("OK")});
    EXPECT_EQ(1, calc()->plotRefreshRate);
    EXPECT_EQ("1", Setting("PLOT_REFRESH_RATE"));
    EXPECT_EQ(0, HeadlessBoxCount());

    // Nothing but a fault elsewhere puts such a rate into the record: reported, shown as
    // Maximum, and Maximum is what OK keeps.
    calc()->plotRefreshRate = -3;
    Run({shows, Push("OK")});
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("ASSERT Failed", HeadlessBoxCaption(0));
    EXPECT_NE(nullptr, strstr(HeadlessBoxText(0), "progopts"));
    EXPECT_EQ(2, calc()->plotRefreshRate);
    EXPECT_EQ("2", Setting("PLOT_REFRESH_RATE"));
}

// The view: Graph takes a delta of any decimal (kept as a decimal in the file), 1:1 points only
// whole ones; Fit Y is kept with it; and the dialog opens showing the graph's step.
TEST_F(ProgOptsTest, TheGraphViewTakesADecimalStep) {
    ASSERT_NE(nullptr, Build());
    EXPECT_EQ(0, calc()->plotView);
    Run({[this] {
             EXPECT_TRUE(Checked("ptview"));
             EXPECT_FALSE(Checked("grview"));
             EXPECT_TRUE(Checked("fity"));
         },
         Push("grview"), Push("fity"), Enter("delta", "0.01"), Push("OK")});
    EXPECT_EQ(1, calc()->plotView);
    EXPECT_EQ(0, calc()->plotFitY);
    EXPECT_EQ(0.01, calc()->plotStep);
    EXPECT_EQ("0.01", Setting("PLOT_REALM_DELTA"));
    EXPECT_EQ("1", Setting("PLOT_VIEW"));
    EXPECT_EQ("0", Setting("PLOT_FIT_Y"));
    EXPECT_EQ(0, HeadlessBoxCount());
    // Back to 1:1 points with the fraction still in the field: refused, nothing changes.
    Run({[this] {
             EXPECT_TRUE(Checked("grview"));
             EXPECT_EQ("0.01", Text("delta"));
         },
         Push("ptview"), Push("OK"),
         [this] {
             EXPECT_NE(nullptr, Dialog());
             EXPECT_FALSE(Checked("grview"));
         },
         Push("Cancel")});
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_NE(nullptr, strstr(HeadlessBoxText(0), "Delta"));
    EXPECT_EQ(1, calc()->plotView);
    EXPECT_EQ("0.01", Setting("PLOT_REALM_DELTA"));
    // A whole step in 1:1 points.
    Run({Push("ptview"), Enter("delta", "5"), Push("OK")});
    EXPECT_EQ(0, calc()->plotView);
    EXPECT_EQ(5, calc()->plotDelta);
    EXPECT_EQ(5.0, calc()->plotStep);
    EXPECT_EQ("5", Setting("PLOT_REALM_DELTA"));
}

// A refused value names its field and stores nothing, not even the good values beside it; the
// dialog stays up for the value to be put right.
TEST_F(ProgOptsTest, ValuesOutOfRangeAreRefusedAndNothingIsStored) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *field, *typed, *named;
    } cases[] = {
        {"delta", "0", "Delta"},     {"delta", "-3", "Delta"},
        {"delta", "x", "Delta"},     {"delta", "99999999999", "Delta"},
        {"maxx", "1e999", "Max X"},  {"minx", "-1e999", "Min X"},
        {"yang", "-2e9", "Angle Y"}, {"miny", "1000000001", "Min Y"},
    };
    PlotFields before = FieldsOf(calc());
    FileState file = File();
    for (const Case &c : cases) {
        HeadlessBoxClear();
        Run({Enter("maxy", "300"), Push("maxref"), Push("pltZ"), Enter(c.field, c.typed),
             Push("OK"),
             [this, &c] {
                 EXPECT_NE(nullptr, Dialog()) << c.typed;
                 EXPECT_EQ(c.typed, Text(c.field));
             },
             Push("Cancel")});
        ASSERT_EQ(1, HeadlessBoxCount()) << c.typed;
        EXPECT_NE(nullptr, strstr(HeadlessBoxText(0), c.named)) << HeadlessBoxText(0);
        EXPECT_TRUE(before == FieldsOf(calc())) << c.typed;
        EXPECT_TRUE(file == File()) << c.typed;
    }
}

// An OK that changes nothing leaves the settings file as it was, not even rewritten. A field
// left as it was filled keeps the calculator's exact value, not the four places it shows.
TEST_F(ProgOptsTest, AnOkThatChangesNothingWritesNothing) {
    ASSERT_NE(nullptr, Build());
    calc()->plotMinY = 0.123456;
    struct Case {
        std::vector<Step> script;
        const char *what;
    } cases[] = {
        {{Push("OK")}, "OK at once"},
        {{Enter("maxx", "200"), Enter("delta", " 10"), Push("OK")}, "the same values typed"},
        {{Push("pltX"), Push("pltX"), Push("medref"), Push("OK")}, "buttons pressed back"},
        {{Enter("xang", "3e1"), Stroke(kHostKeyReturn, '\r')}, "Return"},
    };
    PlotFields before = FieldsOf(calc());
    FileState file = File();
    for (const Case &c : cases) {
        Run(c.script);
        EXPECT_TRUE(before == FieldsOf(calc())) << c.what;
        EXPECT_TRUE(file == File()) << c.what;
    }
    EXPECT_EQ(0.123456, calc()->plotMinY);
}

TEST_F(ProgOptsTest, OneDialogAtATime) {
    ASSERT_NE(nullptr, Build());
    WindowRef other = {};
    Run({[this, &other] {
             Window *first = Dialog();
             ASSERT_NE(nullptr, first);
             progOptionsOpen(panel, calc(), &open);  // already open
             progOptionsOpen(panel, calc(), &other); // a second reference, while one runs
             EXPECT_EQ(first, Dialog());
             EXPECT_FALSE(WindowRefLive(other));
             EXPECT_EQ(1, TopCount(kTitle));
         },
         Push("Cancel")});
    // Once the first has ended, the next one opens.
    Run({[this] { EXPECT_EQ(1, TopCount(kTitle)); }, Enter("delta", "20"), Push("OK")});
    EXPECT_EQ(20, calc()->plotDelta);
}

// The program window's reference to the dialog, freed when that window closes.
WindowRef *gProgramSlot = nullptr;

int ProgramWindowClose(Window *w) {
    progOptionsClose(gProgramSlot);
    delete gProgramSlot;
    gProgramSlot = nullptr;
    return CloseWindow(w);
}

// The program window closes while the dialog runs: the run ends, nothing is stored, and neither
// the program window's reference (freed by then) nor a handler of the dialog is touched again.
TEST_F(ProgOptsTest, ClosingFromOutsideEndsTheRun) {
    ASSERT_NE(nullptr, Build());
    Window *program = Top("progwin");
    ASSERT_NE(nullptr, program);
    program->onClose = ProgramWindowClose;
    gProgramSlot = new WindowRef{};
    PlotFields before = FieldsOf(calc());
    FileState file = File();
    Run({Enter("maxx", "300"), Push("maxref"),
         [this, program] {
             Window *ok = Item("OK");
             ASSERT_NE(nullptr, ok);
             // OK pressed, but the program window closes before the press is handled.
             PostEvent(kEventLeftDown, 0, ok);
             PostEvent(kEventLeftUp, 0, ok);
             program->onClose(program);
         }},
        program, gProgramSlot);
    EXPECT_EQ(nullptr, gProgramSlot);
    Settle();
    EXPECT_TRUE(before == FieldsOf(calc()));
    EXPECT_TRUE(file == File());

    // progOptionsClose alone does the same for a window that stays.
    Run({Enter("delta", "40"), [this] { progOptionsClose(&open); }});
    Settle();
    EXPECT_TRUE(before == FieldsOf(calc()));
    EXPECT_TRUE(file == File());
    EXPECT_EQ(0, HeadlessBoxCount());
}

} // namespace
