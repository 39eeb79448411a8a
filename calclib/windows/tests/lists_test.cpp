// The register, constants and conversions lists and the display precision dialog, driven on the
// real panel: the lines they show, what a choice does to the calculator, the sequences written
// on first use, refused constants, and the dialog's OK with every field, in every order.
#include "paneltest.h"

#include "lists.h"
#include "textwind.h"

#include <vector>

using namespace windtest;
using namespace paneltest;

namespace {

class ListsTest : public PanelTest {
  protected:
    // The panel's descendant of that name, or null (without the lookup's report).
    Window *Inside(const char *name) {
        for (Window *w = panel ? panel->chain : nullptr; w; w = w->chain)
            if (w->name && strcmp(w->name, name) == 0)
                return w;
        return nullptr;
    }
    std::vector<std::string> Lines(Window *list) {
        std::vector<std::string> out;
        TextDesc *d = list ? TextDescOf(list) : nullptr;
        if (!d || !d->buffer)
            return out;
        Buffer *b = d->buffer;
        for (int line = 1; line < b->lineCount; line++) {
            BufferGoto(line, 1, b);
            const char *text = LockLine(b);
            std::string s(text ? text : "", (size_t)CurrentLineLength(b));
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
                s.pop_back();
            out.push_back(s);
        }
        return out;
    }
    // Chooses the line as the keyboard does: the line selected, then Return.
    void Choose(Window *list, int line) {
        ASSERT_NE(nullptr, list);
        ASSERT_EQ(0, ListBoxSelectLine(line, list));
        HeadlessKeystroke(kHostKeyReturn, '\r');
        Settle();
    }
    int TopCount(const char *title) {
        int n = 0;
        for (Window *w = FirstTopWindow(); w; w = w->next == FirstTopWindow() ? nullptr : w->next)
            n += w->name && strcmp(w->name, title) == 0;
        return n;
    }
    Window *Precision() { return TopWindowNamed("Display Precision"); }
    void ClickIn(Window *dialog, const char *name) {
        Window *item = FindNamedWindow(name, dialog);
        ASSERT_NE(nullptr, item) << name;
        Click(item, 3, 3);
        Settle();
    }
    bool Has(const char *line) { return SettingsText().find(line) != std::string::npos; }
};

TEST_F(ListsTest, StoreAndRecallGoThroughTheRegisterList) {
    ASSERT_NE(nullptr, Build());
    Type("42");
    Press("Sto");
    Window *list = Inside("memlist");
    ASSERT_NE(nullptr, list);
    std::vector<std::string> lines = Lines(list);
    ASSERT_EQ(16u, lines.size());
    EXPECT_EQ("A | - < not set > -", lines[0]);
    EXPECT_EQ("P | - < not set > -", lines[15]);
    Choose(list, 1);
    EXPECT_EQ(nullptr, Inside("memlist"));
    Press("AllClr");
    EXPECT_EQ("0|", Shown());

    Press("Rcl");
    lines = Lines(Inside("memlist"));
    ASSERT_EQ(16u, lines.size());
    EXPECT_EQ("A | +0.4200000000 X 10 ** 2 = 42", lines[0]);
    EXPECT_EQ("B | - < not set > -", lines[1]);
    Choose(Inside("memlist"), 1);
    EXPECT_EQ("42|", Shown());
    EXPECT_EQ(nullptr, Inside("memlist"));
    Type("+1=");
    EXPECT_EQ("43|", Shown()); // typing reaches the panel again
    EXPECT_EQ(0, HeadlessBoxCount());
}

// Line n is register n; a letter chooses its register; the key pressed again or Escape close.
TEST_F(ListsTest, LettersChooseRegistersAndTheKeysClose) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *typed, *letter;
        int line;
        const char *prefix;
    } cases[] = {
        {"7", "c", 3, "C | +0.7000000000 X 10 ** 1 = 7"},
        {"1.5v", "P", 16, "P | -0.1500000000 X 10 ** 1 = -1.5"},
    };
    for (const Case &c : cases) {
        Press("AllClr");
        Type(c.typed);
        Press("Sto");
        Type(c.letter);
        EXPECT_EQ(nullptr, Inside("memlist")) << c.letter;
        Press("Rcl");
        std::vector<std::string> lines = Lines(Inside("memlist"));
        ASSERT_EQ(16u, lines.size());
        EXPECT_EQ(c.prefix, lines[(size_t)c.line - 1]) << c.letter;
        Press("Rcl");
        EXPECT_EQ(nullptr, Inside("memlist"));
    }
    Press("AllClr");
    Press("Rcl");
    Type("c");
    EXPECT_EQ("7|", Shown());
    Press("Sto");
    ASSERT_NE(nullptr, Inside("memlist"));
    HeadlessKeystroke(kHostKeyEscape, 27);
    Settle();
    EXPECT_EQ(nullptr, Inside("memlist"));
    Press("Sto");
    Press("Rcl"); // either key closes the one register list
    EXPECT_EQ(nullptr, Inside("memlist"));
}

// The value beside the raw text follows the display's notation.
TEST_F(ListsTest, TheRegisterListShowsValuesInTheDisplaysNotation) {
    ASSERT_NE(nullptr, Build());
    Press("Precision");
    ClickIn(Precision(), "scicheck");
    ClickIn(Precision(), "OK");
    Type("42");
    Press("Sto");
    Type("a");
    Type("0.005=");
    Press("Sto");
    Type("b");
    Press("Rcl");
    std::vector<std::string> lines = Lines(Inside("memlist"));
    ASSERT_EQ(16u, lines.size());
    EXPECT_EQ("A | +0.4200000000 X 10 ** 2 = 4.2e1", lines[0]);
    EXPECT_EQ("B | +0.5000000000 X 10 ** -2 = 5e-3", lines[1]);
}

TEST_F(ListsTest, TheFirstConstantsListWritesItsDefaultsAndEntersTheChoice) {
    ASSERT_NE(nullptr, Build());
    EXPECT_FALSE(Has("CONSTANTS"));
    Press("Const");
    Window *list = Inside("constlist");
    ASSERT_NE(nullptr, list);
    std::vector<std::string> want;
    for (const char *const *c = kDefaultConstants; *c; c++)
        want.push_back(*c);
    EXPECT_EQ(want, Lines(list));
    for (const char *line :
         {"CONSTANTS=close", "CONSTANTS_1_=3.14159265358979323846264338327950",
          "CONSTANTS_1__2_=6.02 E23", "CONSTANTS_1__2__3_=2.718281828",
          "CONSTANTS_1__2__3__4_=3.01 E08", "CONSTANTS_1__2__3__4__5_=__end_of_sequence__"})
        EXPECT_TRUE(Has(line)) << line;
    Choose(list, 3);
    EXPECT_EQ("6.02|23", Shown());
    EXPECT_EQ(nullptr, Inside("constlist"));
    Type("*2=");
    EXPECT_EQ("1.204|24", Shown());

    // "close" only closes.
    Press("AllClr");
    Type("5");
    Press("Const");
    Choose(Inside("constlist"), 1);
    EXPECT_EQ(nullptr, Inside("constlist"));
    EXPECT_EQ("5|", Shown());
    Press("Const");
    Press("Const");
    EXPECT_EQ(nullptr, Inside("constlist"));
    EXPECT_EQ(0, HeadlessBoxCount());
}

TEST_F(ListsTest, AConstantThatIsNoWholeFiniteNumberIsRefused) {
    const char *items[] = {"c 2.998 E08", "abc", "1e999", "", "0x1F", "1.5 E2\t"};
    const char *file = settings.c_str();
    WriteStringSetting("CONSTANTS", "close", file);
    for (const char *item : items)
        AppendSequenceItem(item, file);
    ASSERT_NE(nullptr, Build());
    for (int i = 0; i < 5; i++) {
        Press("AllClr");
        Type("3");
        HeadlessBoxClear();
        Press("Const");
        Choose(Inside("constlist"), i + 2);
        EXPECT_EQ(CALC_ERROR, calc()->state) << items[i];
        ASSERT_EQ(1, HeadlessBoxCount()) << items[i];
        EXPECT_NE(nullptr, strstr(HeadlessBoxText(0), "is not a decimal number")) << items[i];
        HeadlessBoxClear();
    }
    Press("AllClr");
    Press("Const");
    Choose(Inside("constlist"), 7);
    EXPECT_EQ("150|", Shown());
    EXPECT_EQ(0, HeadlessBoxCount());
    // The integer format takes no constant, and says so.
    Press("Integer");
    Press("AllClr");
    Press("Const");
    Choose(Inside("constlist"), 7);
    EXPECT_EQ(CALC_ERROR, calc()->state);
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_NE(nullptr, strstr(HeadlessBoxText(0), "floating-point format"));
    HeadlessBoxClear();
}

TEST_F(ListsTest, ConversionsTypeTheirOperatorsAndEnterTheirNumbersInDecimal) {
    const char *file = settings.c_str();
    WriteStringSetting("CONVERSIONS", "close", file);
    for (const char *item :
         {"cm->in ( / 2.54 )", "in->cm ( * 2.54 )", "no parenthesis * 2",
          "\xC2\xB5m ( / 2.54 \xC2\xB5 )", "bad ( * 1.2.3 )", "twice ( * ( 2 + 1 ) )"})
        AppendSequenceItem(item, file);
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *before;
        int line;
        const char *after, *shown;
    } cases[] = {
        {"10", 2, "=", "3.937007874|"},
        {"10", 3, "=", "25.4|"},
        {"3+(10", 2, "+1)*2=", "12.87401575|"},
        {"10", 4, "=", "10|"},
        {"10", 5, "=", "3.937007874|"},
        {"2", 7, "=", "6|"},
        {"10", 1, "=", "10|"},
    };
    for (const Case &c : cases) {
        Press("AllClr");
        Type(c.before);
        Press("Conv");
        Choose(Inside("convlist"), c.line);
        EXPECT_EQ(nullptr, Inside("convlist"));
        Type(c.after);
        EXPECT_EQ(c.shown, Shown()) << c.before << " line " << c.line;
    }
    EXPECT_EQ(0, HeadlessBoxCount());
    Press("AllClr");
    Type("10");
    Press("Conv");
    Choose(Inside("convlist"), 6);
    EXPECT_EQ(CALC_ERROR, calc()->state);
    EXPECT_EQ(1, HeadlessBoxCount());
    HeadlessBoxClear();

    // Radix 16 in the floating format: the factor is still decimal 2.54.
    Press("AllClr");
    Press("mr16");
    if (calc()->format == 1)
        Press("Integer");
    ASSERT_EQ(0, calc()->format);
    Type("A");
    Press("Conv");
    Choose(Inside("convlist"), 2);
    Type("=");
    Press("mr10");
    EXPECT_EQ(0u, Shown().find("3.93700787")) << Shown();
}

TEST_F(ListsTest, TheDefaultConversionsAreWrittenOnFirstUse) {
    ASSERT_NE(nullptr, Build());
    Press("Conv");
    std::vector<std::string> want;
    for (const char *const *c = kDefaultConversions; *c; c++)
        want.push_back(*c);
    EXPECT_EQ(want, Lines(Inside("convlist")));
    EXPECT_TRUE(Has("CONVERSIONS=close"));
    EXPECT_TRUE(Has("CONVERSIONS_1_=cm->in ( / 2.54 )"));
    EXPECT_TRUE(Has("CONVERSIONS_1__2_=in->cm ( * 2.54 )"));
}

// ---- the precision dialog -------------------------------------------------------------------

TEST_F(ListsTest, PrecisionShowsTheCurrentValuesAndOpensOnce) {
    ASSERT_NE(nullptr, Build());
    Press("Precision");
    Press("Precision");
    EXPECT_EQ(1, TopCount("Display Precision"));
    Window *d = Precision();
    ASSERT_NE(nullptr, d);
    char text[32];
    GetItemText("dispdigs", text, sizeof text, d);
    EXPECT_STREQ("10", text);
    GetItemText("expdigs", text, sizeof text, d);
    EXPECT_STREQ("2", text);
    EXPECT_EQ(1, GetButtonCheck("regcheck", d));
    EXPECT_EQ(1, GetButtonCheck("autcheck", d));
    EXPECT_EQ(0, GetButtonCheck("fixcheck", d));
    EXPECT_TRUE(FindNamedWindow("fixrp", d)->flags & kWindowDisabled);
    SetItemText("dispdigs", "15", 2, d);
    ClickIn(d, "Cancel");
    EXPECT_EQ(nullptr, Precision());
    EXPECT_EQ(10, calc()->digits);
}

TEST_F(ListsTest, PrecisionOkClampsTheCounts) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *digits, *exponent;
        int wantDigits, wantExponent;
        const char *line;
    } cases[] = {
        {"1", "2", 2, 2, "MANTISSA_DIGITS=2"},
        {"abc", "3", 2, 3, "EXPONENT_DIGITS=3"},
        {"12", "-3", 12, 0, "EXPONENT_DIGITS=0"},
        {"11", "40", 11, 32, "EXPONENT_DIGITS=32"},
        {"10", "99999999999", 10, 32, "MANTISSA_DIGITS=10"},
    };
    for (const Case &c : cases) {
        Press("Precision");
        Window *d = Precision();
        ASSERT_NE(nullptr, d);
        SetItemText("dispdigs", c.digits, (int)strlen(c.digits), d);
        SetItemText("expdigs", c.exponent, (int)strlen(c.exponent), d);
        ClickIn(d, "OK");
        EXPECT_EQ(nullptr, Precision());
        EXPECT_EQ(c.wantDigits, calc()->digits) << c.digits;
        EXPECT_EQ(c.wantExponent, calc()->exponentDigits) << c.exponent;
        EXPECT_TRUE(Has(c.line)) << c.line;
        EXPECT_EQ("0|", Shown()) << c.digits;
    }
    // Twelve digits show twelve.
    Press("Precision");
    SetItemText("dispdigs", "12", 2, Precision());
    SetItemText("expdigs", "2", 1, Precision());
    ClickIn(Precision(), "OK");
    Type("1/3=");
    EXPECT_EQ("0.33333333333|", Shown());
    // Twenty and back to eleven: the row grows and shrinks and the panel keeps its keys.
    for (const char *digits : {"20", "11"}) {
        Press("Precision");
        SetItemText("dispdigs", digits, 2, Precision());
        ClickIn(Precision(), "OK");
    }
    EXPECT_EQ(11, calc()->digits);
    Window *quit = Key("Quit");
    ASSERT_NE(nullptr, quit);
    EXPECT_LE(quit->right, panel->right - panel->left);
    Type("5");
    EXPECT_EQ("5|", Shown());
}

// The format changes while the cells still have the old counts; the counts come after.
TEST_F(ListsTest, DigitsAndIntegerInOneOk) {
    ASSERT_NE(nullptr, Build());
    Type("1234567891*10=");
    Press("Precision");
    Window *d = Precision();
    ASSERT_NE(nullptr, d);
    SetItemText("dispdigs", "12", 2, d);
    ClickIn(d, "intcheck");
    EXPECT_EQ(0, GetButtonCheck("autcheck", d));
    ClickIn(d, "OK");
    EXPECT_EQ(12, calc()->digits);
    EXPECT_EQ(1, calc()->format);
    EXPECT_EQ(0, calc()->autoFormat);
    EXPECT_EQ(1, GetButtonCheck("Integer", panel));
    EXPECT_EQ("0|", Shown());
    EXPECT_TRUE(Has("NUMBER_FORMAT=1"));
    EXPECT_TRUE(Has("NUMBER_FORMAT_AUTO=0"));
    Type("123456789012");
    EXPECT_EQ("123456789012|", Shown());
}

// The digit field has the keyboard first, its text selected: typing replaces it, Return is OK.
TEST_F(ListsTest, TheKeyboardFillsTheFieldsAndReturnIsOk) {
    ASSERT_NE(nullptr, Build());
    Press("Precision");
    ASSERT_NE(nullptr, Precision());
    Type("12a");
    char text[32];
    GetItemText("dispdigs", text, sizeof text, Precision());
    EXPECT_STREQ("12", text); // no letters in a number field
    HeadlessKeystroke(kHostKeyReturn, '\r');
    Settle();
    EXPECT_EQ(nullptr, Precision());
    EXPECT_EQ(12, calc()->digits);
    Type("7");
    EXPECT_EQ("7|", Shown()); // the panel has the keyboard again
    // Escape is Cancel.
    Press("Precision");
    Type("30");
    HeadlessKeystroke(kHostKeyEscape, 27);
    Settle();
    EXPECT_EQ(nullptr, Precision());
    EXPECT_EQ(12, calc()->digits);
}

// A count confirmed as it is still repairs a settings file that says otherwise.
TEST_F(ListsTest, AnUnchangedCountIsWrittenWhenTheFileDiffers) {
    ASSERT_NE(nullptr, Build());
    WriteIntSetting("MANTISSA_DIGITS", 14, settings.c_str());
    WriteIntSetting("EXPONENT_DIGITS", 5, settings.c_str());
    Press("Precision");
    ClickIn(Precision(), "OK");
    EXPECT_EQ(10, calc()->digits);
    EXPECT_TRUE(Has("MANTISSA_DIGITS=10"));
    EXPECT_TRUE(Has("EXPONENT_DIGITS=2"));
}

TEST_F(ListsTest, OkWithoutChangesPerformsEquals) {
    ASSERT_NE(nullptr, Build());
    Type("2+3");
    Press("Precision");
    ClickIn(Precision(), "OK");
    EXPECT_EQ("5|", Shown());
    Type("2+");
    Press("Precision");
    ClickIn(Precision(), "OK");
    EXPECT_EQ(OPERATOR_PENDING, calc()->state);
}

TEST_F(ListsTest, FixedPlacesAreReadWheneverTheBoxIsChecked) {
    ASSERT_NE(nullptr, Build());
    Type("1.5=");
    Press("Precision");
    Window *d = Precision();
    ClickIn(d, "fixcheck");
    EXPECT_FALSE(FindNamedWindow("fixrp", d)->flags & kWindowDisabled);
    SetItemText("fixrp", "3", 1, d);
    ClickIn(d, "OK");
    EXPECT_EQ("1.500|", Shown());
    EXPECT_TRUE(Has("FIXED_RADIX_PLACE=3"));
    EXPECT_TRUE(Has("DISPLAY_FORMAT=17"));

    Press("Precision");
    d = Precision();
    EXPECT_EQ(1, GetButtonCheck("fixcheck", d));
    SetItemText("fixrp", "2", 1, d);
    ClickIn(d, "OK");
    EXPECT_EQ("1.50|", Shown());
    EXPECT_TRUE(Has("FIXED_RADIX_PLACE=2"));

    // Unchecked, the places stay and show, greyed.
    Press("Precision");
    d = Precision();
    ClickIn(d, "fixcheck");
    ClickIn(d, "OK");
    EXPECT_EQ("1.5|", Shown());
    EXPECT_EQ(2, calc()->fixedPlaces);
    EXPECT_TRUE(Has("DISPLAY_FORMAT=1"));
    Press("Precision");
    d = Precision();
    char text[32];
    GetItemText("fixrp", text, sizeof text, d);
    EXPECT_STREQ("2", text);
    EXPECT_TRUE(FindNamedWindow("fixrp", d)->flags & kWindowDisabled);
    // More places than digits are cut to the digits.
    ClickIn(d, "fixcheck");
    SetItemText("fixrp", "40", 2, d);
    ClickIn(d, "OK");
    EXPECT_EQ(10, calc()->fixedPlaces);
}

TEST_F(ListsTest, TheNotationRadiosAreOneChoice) {
    ASSERT_NE(nullptr, Build());
    Type("12345=");
    Press("Precision");
    Window *d = Precision();
    ClickIn(d, "scicheck");
    ClickIn(d, "engcheck");
    EXPECT_EQ(0, GetButtonCheck("regcheck", d));
    EXPECT_EQ(0, GetButtonCheck("scicheck", d));
    EXPECT_EQ(1, GetButtonCheck("engcheck", d));
    ClickIn(d, "engcheck"); // a second click keeps it chosen
    EXPECT_EQ(1, GetButtonCheck("engcheck", d));
    ClickIn(d, "OK");
    EXPECT_EQ(3, calc()->displayFormat);
    EXPECT_TRUE(Has("DISPLAY_FORMAT=3"));
    EXPECT_EQ("12.345|3", Shown());
}

TEST_F(ListsTest, AutomaticFormatFollowsTheRadixButKeepsWideValuesFloating) {
    ASSERT_NE(nullptr, Build());
    Press("mr16");
    EXPECT_EQ(1, calc()->format);
    // Floating point turns automatic format off.
    Press("Precision");
    ClickIn(Precision(), "fltcheck");
    ClickIn(Precision(), "OK");
    EXPECT_EQ(0, calc()->format);
    EXPECT_EQ(0, calc()->autoFormat);
    EXPECT_TRUE(Has("NUMBER_FORMAT_AUTO=0"));
    // Automatic in radix 16 selects integer.
    Press("Precision");
    EXPECT_EQ(1, GetButtonCheck("fltcheck", Precision()));
    ClickIn(Precision(), "autcheck");
    ClickIn(Precision(), "OK");
    EXPECT_EQ(1, calc()->format);
    EXPECT_EQ(1, calc()->autoFormat);
    EXPECT_TRUE(Has("NUMBER_FORMAT=1"));
    EXPECT_TRUE(Has("NUMBER_FORMAT_AUTO=1"));
    // ... unless a value is too wide for an integer.
    Press("Precision");
    ClickIn(Precision(), "fltcheck");
    ClickIn(Precision(), "OK");
    Type("1x20=");
    ASSERT_EQ(0, calc()->format);
    Press("Precision");
    ClickIn(Precision(), "autcheck");
    ClickIn(Precision(), "OK");
    EXPECT_EQ(0, calc()->format);
    EXPECT_EQ(1, calc()->autoFormat);
}

TEST_F(ListsTest, ClosingThePanelClosesItsListsAndTheDialog) {
    ASSERT_NE(nullptr, Build());
    Press("Precision");
    Press("Sto");
    Press("Const");
    ASSERT_NE(nullptr, Precision());
    ASSERT_NE(nullptr, Inside("memlist"));
    Click(Key("Quit"), 3, 3);
    Settle();
    EXPECT_FALSE(WindowIsLive(panel));
    EXPECT_EQ(nullptr, Precision());
    EXPECT_EQ(nullptr, FirstTopWindow());
    panel = nullptr;
}

} // namespace
