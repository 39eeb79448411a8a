// The real panel on the headless host: its first start, keys pressed and typed through the
// real event loop, the display cells' texts and pixels, the radix and format switches, the
// digit count keys, tooltips, the scientific dialog and closing with everything open.
#include "paneltest.h"

using namespace windtest;
using namespace paneltest;

namespace {

TEST_F(PanelTest, AFirstStartShowsDecimalFloatingAndWritesEveryDefault) {
    ASSERT_NE(nullptr, Build());
    EXPECT_STREQ(kPanelTitle, panel->name);
    EXPECT_STREQ("torva - Calculator v1.6  [DEG]", HeadlessTitle(panel->host));
    const ToolkitDefaults *t = GetToolkitDefaults();
    EXPECT_EQ(CellsToPixels(20, t->cellWidth), panel->left);
    EXPECT_EQ(CellsToPixels(20, t->cellHeight), panel->top);
    EXPECT_EQ(1, GetButtonCheck("mr10", panel));
    EXPECT_EQ(0, GetButtonCheck("mr16", panel));
    EXPECT_EQ(0, GetButtonCheck("Integer", panel));
    for (const char *k : {"A", "B", "C", "D", "E", "F"})
        EXPECT_FALSE(Enabled(k)) << k;
    for (const char *k : {"0", "9", ".", "exp", "Int", "i"})
        EXPECT_TRUE(Enabled(k)) << k;
    EXPECT_EQ("0|", Shown());
    std::string text = SettingsText();
    for (const char *line :
         {"RADIX=10", "MANTISSA_DIGITS=10", "EXPONENT_DIGITS=2", "APPLICATION_ULX=20",
          "DIGIT_NKG_BLU=0", "NUMBER_KEY_FONTFACE=helvetica"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
    EXPECT_EQ(0, HeadlessBoxCount()) << (HeadlessBoxCount() ? HeadlessBoxText(0) : "");
}

// A position far off the screen still shows the whole panel; the angle mode comes back.
TEST_F(PanelTest, ThePanelIsKeptOnTheDesktopAndTheAngleModeIsRestored) {
    WriteIntSetting("APPLICATION_ULX", -500, settings.c_str());
    WriteIntSetting("APPLICATION_ULY", 900, settings.c_str());
    WriteIntSetting("ANGLE_FORMAT", 1, settings.c_str());
    ASSERT_NE(nullptr, Build());
    const ToolkitDefaults *t = GetToolkitDefaults();
    HostRect r;
    WindowHost()->getWindowRect(panel->host, &r);
    EXPECT_GE(r.left, t->desktopLeft);
    EXPECT_LE(r.bottom, t->desktopBottom);
    EXPECT_EQ(1, calc()->radians);
    EXPECT_STREQ("torva - Calculator v1.6  [RAD]", HeadlessTitle(panel->host));
}

TEST_F(PanelTest, KeysAndButtonsReachTheEngineAndTheCellsShowTheResult) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *typed;
        const char *shown;
    } cases[] = {
        {"1234.5=", "1234.5|"}, {"007", "7|"},      {".", "0.|"},  {"1.5", "1.5|"},
        {"123v", "-123|"},      {"1x12=", "1|12"},  {"1x", "1|0"}, {"5/0=", "----------|--"},
        {"4r", "0.25|"},        {"(1+2)*3=", "9|"},
    };
    for (const Case &c : cases) {
        Press("AllClr");
        Type(c.typed);
        EXPECT_EQ(c.shown, Shown()) << c.typed;
    }
    Press("AllClr");
    Type("p"); // pi, as its key
    EXPECT_EQ(0u, Shown().rfind("3.14159265", 0)) << Shown();
    Press("AllClr");
    EXPECT_EQ("0|", Shown());
    Type("-12.5x3");
    // For a person to look at.
    EXPECT_EQ(0, HeadlessSavePng(panel->host, TestPicturePath("panel.png").c_str()));
    Press("AllClr");
    // The same through the buttons.
    for (const char *k : {"1", "2", "3", "+", "4", "="})
        Press(k);
    EXPECT_EQ("127|", Shown());
}

TEST_F(PanelTest, TheRadixAndFormatSwitchesEnableTheirKeys) {
    ASSERT_NE(nullptr, Build());
    Press("mr02");
    EXPECT_EQ(2, calc()->radix);
    EXPECT_EQ(1, GetButtonCheck("mr02", panel));
    EXPECT_EQ(0, GetButtonCheck("mr10", panel));
    for (const char *k : {"2", "7", "9", "A", "F"})
        EXPECT_FALSE(Enabled(k)) << k;
    EXPECT_TRUE(Enabled("1"));
    Press("AllClr");
    Type("121");
    EXPECT_EQ("11|", Shown()); // the 2 was refused
    EXPECT_NE(std::string::npos, SettingsText().find("RADIX=2"));

    Press("mr16");
    EXPECT_TRUE(Enabled("F"));
    Press("AllClr");
    Type("ff");
    EXPECT_EQ("FF|", Shown());
    Press("mr10");

    Press("Integer");
    EXPECT_EQ(1, calc()->format);
    EXPECT_EQ(1, GetButtonCheck("Integer", panel));
    for (const char *k : {".", "exp", "Int", "i"})
        EXPECT_FALSE(Enabled(k)) << k;
    Press("AllClr");
    Type("12x3"); // no exponent in the integer format: the x is dropped
    EXPECT_EQ("123|", Shown());
    EXPECT_NE(std::string::npos, SettingsText().find("NUMBER_FORMAT=1"));
    Press("Integer");
    EXPECT_EQ(0, calc()->format);
    EXPECT_TRUE(Enabled("exp"));
}

TEST_F(PanelTest, TheDigitCountKeysRebuildTheRowWithinItsBounds) {
    ASSERT_NE(nullptr, Build());
    Press("UpPrec");
    EXPECT_EQ(11, calc()->digits);
    ASSERT_NE(nullptr, FindNamedWindow("d0010", panel));
    const ToolkitDefaults *t = GetToolkitDefaults();
    Window *cell = FindNamedWindow("d0000", panel);
    EXPECT_EQ(CellsToPixels(3 + 3, t->cellWidth), cell->left); // 3 cells wide from 11 digits
    Type("5");
    EXPECT_EQ("5|", Shown());
    // The keys at the right edge stay on the panel.
    Window *quit = Key("Quit");
    EXPECT_LE(quit->right, panel->right - panel->left);
    for (int i = 0; i < 12; i++)
        Press("DownPrec");
    EXPECT_EQ(2, calc()->digits);
    EXPECT_EQ(nullptr, FindNamedWindow("d0002", panel));
    HeadlessBoxClear();
    EXPECT_EQ(nullptr, FindNamedWindow("d0002", panel)); // (the lookup reports)
    HeadlessBoxClear();
}

// The longest row the precision dialog allows: a rebuild and a result that change every one of
// its 1000 cells are drawn whole, without a word about the event queue.
TEST_F(PanelTest, AThousandDigitRowIsDrawnWhole) {
    ASSERT_NE(nullptr, Build());
    calcPanelSetDigits(1000, 2, panel);
    Settle();
    EXPECT_EQ(0, HeadlessBoxCount()) << (HeadlessBoxCount() ? HeadlessBoxCaption(0) : "");
    Type("1/3=");
    EXPECT_EQ("0." + std::string(999, '3') + "|", Shown());
    EXPECT_EQ(0, HeadlessBoxCount()) << (HeadlessBoxCount() ? HeadlessBoxCaption(0) : "");
    // The last cell's pixels are those of the second, which shows the same digit.
    Window *second = FindNamedWindow("d0001", panel), *last = FindNamedWindow("d0999", panel);
    ASSERT_NE(nullptr, second);
    ASSERT_NE(nullptr, last);
    ASSERT_EQ(second->right - second->left, last->right - last->left);
    int differing = 0, lit = 0;
    for (int y = 0; y <= second->bottom - second->top; y++)
        for (int x = 0; x <= second->right - second->left; x++) {
            int64_t a = HeadlessPixel(second->host, x, y), b = HeadlessPixel(last->host, x, y);
            differing += a != b;
            lit += a != HeadlessPixel(second->host, 0, 0);
        }
    EXPECT_GT(lit, 0) << "the second cell shows no digit";
    EXPECT_EQ(0, differing);
}

TEST_F(PanelTest, TooltipsNameEachKeysKeyboardEquivalent) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *key, *tip;
    } cases[] = {
        {"Right", "Shift Right 'R'"}, {"Rcl", "Recall a register 'Alt+R'"},
        {"X", "Multiply '*'"},        {"Mod", "Modulus '%'"},
        {"7", "Digit 7 '7'"},         {"AllClr", "All Clear 'Alt+A'"},
        {"r", "Reciprocal 'r'"},      {"pi", "Enter Pi 'p'"},
    };
    for (const Case &c : cases) {
        Click(Key(c.key), 3, 3, 2);
        Settle();
        int tips = 0;
        Window *tip = nullptr;
        for (Window *w = panel->chain; w; w = w->chain)
            if (w->parent == panel && w->name && strcmp(w->name, "tooltip") == 0)
                tips++, tip = w;
        ASSERT_EQ(1, tips) << c.key; // the last one replaced the one before
        EXPECT_STREQ(c.tip, tip->text) << c.key;
        EXPECT_LE(tip->right, panel->right - panel->left) << c.key;
        Click(tip, 2, 2); // a tooltip over other keys goes when it is pressed
        Settle();
        HeadlessBoxClear();
        EXPECT_EQ(nullptr, FindNamedWindow("tooltip", panel)) << c.key;
        HeadlessBoxClear();
    }
    // Each equivalent does what the key does.
    Type("4");
    Type("r");
    EXPECT_EQ("0.25|", Shown());
    HeadlessKeyDown(kHostKeyAlt);
    HeadlessKeystroke('A', 'a');
    HeadlessKeyUp(kHostKeyAlt);
    Settle();
    EXPECT_EQ("0|", Shown());
    HeadlessKeyDown(kHostKeyAlt);
    HeadlessKeystroke('H', 'h');
    HeadlessKeyUp(kHostKeyAlt);
    Settle();
    EXPECT_EQ(16, calc()->radix);
    EXPECT_EQ(1, GetButtonCheck("mr16", panel));
}

TEST_F(PanelTest, ATooltipShowsOnRestAndGoesOnLeave) {
    ASSERT_NE(nullptr, Build());
    Window *plus = Key("+");
    int sx, sy;
    HeadlessClientToScreen(plus->host, 5, 5, &sx, &sy);
    HeadlessPointerMove(sx, sy);
    Settle();
    HeadlessAdvance(1500);
    Settle();
    HeadlessBoxClear();
    Window *tip = FindNamedWindow("tooltip", panel);
    ASSERT_NE(nullptr, tip);
    EXPECT_STREQ("Add '+'", tip->text);
    Window *minus = Key("-");
    HeadlessClientToScreen(minus->host, 5, 5, &sx, &sy);
    HeadlessPointerMove(sx, sy);
    Settle();
    EXPECT_EQ(nullptr, FindNamedWindow("tooltip", panel));
    HeadlessBoxClear();
}

std::string ClipboardText() {
    size_t n = 0;
    const char *text = WindowHost()->clipboardGet(&n);
    return text ? std::string(text, n) : "";
}

void SetClipboard(const char *text) { WindowHost()->clipboardPut(nullptr, text, strlen(text)); }

// A key typed on the keyboard whose button the panel shows disabled types nothing, and is heard.
TEST_F(PanelTest, KeysOfDisabledButtonsAreRefusedWithTheBell) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *radio;
        int format;
        const char *typed, *shown;
        int bells;
    } cases[] = {
        {"mr10", 1, "1.5", "15|", 1},   // not silently 15: the point is heard
        {"mr10", 1, "12x3", "123|", 1}, // no exponent in the integer format
        {"mr10", 1, "7I", "7|", 1},     // Int
        {"mr10", 1, "7i", "7|", 1},     // Frac
        {"mr02", 1, "121", "11|", 1},   // a digit beyond the radix
        {"mr10", 0, "1a", "1|", 1},     // 'a' is the digit A
        {"mr10", 0, "1.5x2", "1.5|2", 0}, {"mr16", 1, "fF", "FF|", 0},
    };
    for (const Case &c : cases) {
        Press(c.radio);
        if (calc()->format != c.format)
            Press("Integer");
        Press("AllClr");
        const long bells = HeadlessBellCount();
        Type(c.typed);
        EXPECT_EQ(c.shown, Shown()) << c.radio << " " << c.typed;
        EXPECT_EQ(c.bells, HeadlessBellCount() - bells) << c.radio << " " << c.typed;
    }
    // The keypad's navigation keys are its digits: Up is 8, no octal digit.
    Press("mr08");
    Press("AllClr");
    const long bells = HeadlessBellCount();
    Type("7");
    HeadlessKeystroke(kHostKeyUp, 0);
    HeadlessKeystroke(kHostKeyLeft, 0);
    Settle();
    EXPECT_EQ("74|", Shown());
    EXPECT_EQ(bells + 1, HeadlessBellCount());
}

TEST_F(PanelTest, ControlCCopiesTheShownNumberAndControlVTakesOne) {
    ASSERT_NE(nullptr, Build());
    auto copy = [this](bool insert) {
        HeadlessKeyDown(kHostKeyControl);
        if (insert)
            HeadlessKeystroke(kHostKeyInsert, 0);
        else
            HeadlessKeystroke('C', 3);
        HeadlessKeyUp(kHostKeyControl);
        Settle();
    };
    struct Case {
        const char *radio, *typed, *copied;
    } cases[] = {
        {"mr10", "1234.5=", "1234.5"}, {"mr10", "12v", "-12"},   {"mr10", ".000123=", "1.23e-4"},
        {"mr16", "ff", "0xFF"},        {"mr02", "101", "0b101"}, {"mr08", "17", "0o17"},
    };
    for (const Case &c : cases) {
        Press(c.radio);
        Press("AllClr");
        Type(c.typed);
        SetClipboard("unchanged");
        copy(false);
        EXPECT_EQ(c.copied, ClipboardText()) << c.typed;
    }
    Press("mr10");
    Press("AllClr");
    Type("7");
    copy(true);
    EXPECT_EQ("7", ClipboardText());
    // The error state copies nothing, and says so with the bell.
    Type("/0=");
    SetClipboard("unchanged");
    long bells = HeadlessBellCount();
    copy(false);
    EXPECT_EQ("unchanged", ClipboardText());
    EXPECT_EQ(bells + 1, HeadlessBellCount());

    auto paste = [this](const char *text) {
        SetClipboard(text);
        HeadlessKeyDown(kHostKeyControl);
        HeadlessKeystroke('V', 22);
        HeadlessKeyUp(kHostKeyControl);
        Settle();
    };
    const std::string title = "torva - Calculator v1.6  [DEG]";
    struct Paste {
        const char *radio, *text, *shown;
    } pastes[] = {
        {"mr10", "-1.5e-3", "-0.0015|"}, {"mr10", " 2500.25\n", "2500.25|"},
        {"mr10", "1_000", "1000|"},      {"mr16", "0x1f", "1F|"},
        {"mr02", "0b101", "101|"},       {"mr08", "-0o7", "7777777771|"},
    };
    for (const Paste &c : pastes) {
        Press(c.radio);
        Press("AllClr");
        bells = HeadlessBellCount();
        paste(c.text);
        EXPECT_EQ(c.shown, Shown()) << c.text;
        EXPECT_EQ(bells, HeadlessBellCount()) << c.text;
        EXPECT_EQ(title, HeadlessTitle(panel->host)) << c.text;
    }
    // What is not one number is refused: the bell, a note in the title, X as it was.
    struct Refusal {
        const char *text, *note;
    } refusals[] = {
        {"3,5", "not a number in radix 10"},
        {"12abc", "not a number in radix 10"},
        {"\x01\xFF\x80", "not a number in radix 10"},
        {"1e99999", "exponent wider than the display's exponent cells"},
        {"--5", "not a number in radix 10"},
        {"0xFF", "not a number in radix 10"},
        {"", "the clipboard holds no text"},
    };
    Press("mr10");
    for (const Refusal &r : refusals) {
        Press("AllClr");
        Type("42=");
        bells = HeadlessBellCount();
        paste(r.text);
        EXPECT_EQ("42|", Shown()) << r.text;
        EXPECT_EQ(RESULT_SHOWN, calc()->state) << r.text;
        EXPECT_EQ(bells + 1, HeadlessBellCount()) << r.text;
        EXPECT_EQ(title + "  - paste refused: " + r.note, HeadlessTitle(panel->host)) << r.text;
    }
    // For a person to look at: the note in the title, X as it was.
    EXPECT_EQ(0, HeadlessSavePng(panel->host, TestPicturePath("paste-refused.png").c_str()));
    // The next key takes the note away, and the calculation goes on with X.
    Type("+1=");
    EXPECT_EQ("43|", Shown());
    EXPECT_EQ(title, HeadlessTitle(panel->host));
    paste("x");
    EXPECT_NE(title, HeadlessTitle(panel->host));
    Press("AllClr"); // so does a key of the panel
    EXPECT_EQ(title, HeadlessTitle(panel->host));
    Press("mr10");
    Press("AllClr");
    SetClipboard("4.5");
    HeadlessKeyDown(kHostKeyShift);
    HeadlessKeystroke(kHostKeyInsert, 0);
    HeadlessKeyUp(kHostKeyShift);
    Type("*2=");
    EXPECT_EQ("9|", Shown());
}

Window *SciDialog() { return TopWindowNamed("sci - trig functions"); }

TEST_F(PanelTest, TheScientificDialogOpensClosesAndPassesKeysOn) {
    ASSERT_NE(nullptr, Build());
    Press("Sci - Trig");
    Window *sci = SciDialog();
    ASSERT_NE(nullptr, sci);
    EXPECT_EQ(1, GetButtonCheck("Degrees", sci));
    Type("30");
    Click(FindNamedWindow("sin", sci), 3, 3);
    Settle();
    Type("2*3=");
    EXPECT_EQ("6|", Shown());
    Click(FindNamedWindow("Radians", sci), 3, 3);
    Settle();
    EXPECT_EQ(1, calc()->radians);
    EXPECT_EQ(0, GetButtonCheck("Degrees", sci));
    EXPECT_STREQ("torva - Calculator v1.6  [RAD]", HeadlessTitle(panel->host));
    EXPECT_NE(std::string::npos, SettingsText().find("ANGLE_FORMAT=1"));
    Press("Sci - Trig");
    EXPECT_EQ(nullptr, SciDialog());
}

// The "Exact" toggle, its Alt+X with the dialog open or closed, the setting, and the word
// "exact" under the radix while the mode is on.
TEST_F(PanelTest, TheExactToggleSwitchesTheFunctionMode) {
    ASSERT_NE(nullptr, Build());
    Window *radix = FindNamedWindow("RadixStat", panel);
    ASSERT_NE(nullptr, radix);
    auto ink = [radix]() {
        int n = 0;
        for (int y = 0; y <= radix->bottom - radix->top; y++)
            for (int x = 0; x <= radix->right - radix->left; x++)
                n += HeadlessPixel(radix->host, x, y) != HeadlessPixel(radix->host, 0, 0);
        return n;
    };
    auto altX = [this]() {
        HeadlessKeyDown(kHostKeyAlt);
        HeadlessKeystroke('X', 'x');
        HeadlessKeyUp(kHostKeyAlt);
        Settle();
    };
    const int decOnly = ink();
    Type("p");
    EXPECT_EQ("3.141592653|", Shown()); // the bridge's cut digits
    Press("Sci - Trig");
    Window *sci = SciDialog();
    ASSERT_NE(nullptr, sci);
    EXPECT_EQ(0, GetButtonCheck("Exact", sci));
    // Resting on the toggle names its key, inside the dialog.
    int sx, sy;
    HeadlessClientToScreen(FindNamedWindow("Exact", sci)->host, 3, 3, &sx, &sy);
    HeadlessPointerMove(sx, sy);
    Settle();
    HeadlessAdvance(1500);
    Settle();
    Window *tip = FindNamedWindow("tooltip", sci);
    ASSERT_NE(nullptr, tip);
    EXPECT_STREQ("Exact functions 'Alt+X'", tip->text);
    EXPECT_LE(tip->right, sci->right - sci->left);
    Click(FindNamedWindow("Exact", sci), 3, 3);
    Settle();
    EXPECT_EQ(1, calc()->exactFunctions);
    EXPECT_EQ(1, GetButtonCheck("Exact", sci));
    EXPECT_NE(std::string::npos, SettingsText().find("EXACT_FUNCTIONS=1"));
    EXPECT_GT(ink(), decOnly + 20) << "\"exact\" under the radix";
    Type("p");
    EXPECT_EQ("3.141592654|", Shown());
    altX();
    EXPECT_EQ(0, calc()->exactFunctions);
    EXPECT_EQ(0, GetButtonCheck("Exact", sci));
    Press("Sci - Trig");
    EXPECT_EQ(nullptr, SciDialog());
    altX(); // the dialog closed: the key still switches
    EXPECT_EQ(1, calc()->exactFunctions);
    EXPECT_NE(std::string::npos, SettingsText().find("EXACT_FUNCTIONS=1"));
    Press("Sci - Trig");
    ASSERT_NE(nullptr, SciDialog());
    EXPECT_EQ(1, GetButtonCheck("Exact", SciDialog()));
    altX();
    EXPECT_EQ(decOnly, ink());
    EXPECT_NE(std::string::npos, SettingsText().find("EXACT_FUNCTIONS=0"));
}

// The keys are laid out at one size, so the panel cannot be resized; the windows it opens can.
TEST_F(PanelTest, OnlyThePanelIsOfFixedSize) {
    ASSERT_NE(nullptr, Build());
    Press("Printer");
    Press("Sci - Trig");
    std::vector<std::string> fixed, resizable;
    Window *head = FirstTopWindow(), *t = head;
    do {
        (HeadlessFixedSize(t->host) ? fixed : resizable).push_back(t->name);
        t = t->next;
    } while (t && t != head);
    EXPECT_EQ(std::vector<std::string>{panel->name}, fixed);
    EXPECT_EQ(2u, resizable.size()) << "the tape and the scientific keys";
}

TEST_F(PanelTest, QuitWithEverythingOpenClosesItAll) {
    ASSERT_NE(nullptr, Build());
    Press("Sci - Trig");
    ASSERT_NE(nullptr, SciDialog());
    Click(Key("Rcl"), 3, 3, 2);
    Settle();
    Type("12+");
    Click(Key("Quit"), 3, 3);
    Settle();
    EXPECT_FALSE(WindowIsLive(panel));
    EXPECT_EQ(nullptr, SciDialog());
    EXPECT_EQ(nullptr, FirstTopWindow());
    panel = nullptr;
}

TEST_F(PanelTest, TheErrorStateShowsAndClearsOnThePixels) {
    ASSERT_NE(nullptr, Build());
    Window *alu = FindNamedWindow("AluStatus", panel);
    ASSERT_NE(nullptr, alu);
    auto ink = [alu]() {
        int n = 0;
        for (int y = 0; y <= alu->bottom - alu->top; y++)
            for (int x = 0; x <= alu->right - alu->left; x++)
                n += HeadlessPixel(alu->host, x, y) != 0x000000;
        return n;
    };
    EXPECT_EQ(0, ink());
    Type("5/0=");
    EXPECT_GT(ink(), 20); // "ERR"
    Press("AllClr");
    EXPECT_EQ(0, ink());
    EXPECT_EQ("0|", Shown());
}

} // namespace
