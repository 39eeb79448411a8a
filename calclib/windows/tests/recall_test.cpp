// Undo on the real panel's keyboard and numbers taken back from the printer tape: Ctrl+Z puts
// the cells, the radix switches and the keys they enable back as they were, Ctrl+Y and
// Ctrl+Shift+Z put the key back; a double click or Return on a tape line enters its number, and
// Ctrl+C on a chosen line copies it.
#include "paneltest.h"

#include "keys.h"
#include "tape.h"
#include "textwind.h"

#include <string>

using namespace windtest;
using namespace paneltest;

namespace {

class RecallTest : public PanelTest {
  protected:
    Window *List() {
        Window *tape = TopWindowNamed(kTapeTitle);
        return tape ? FindNamedWindow("printout", tape) : nullptr;
    }
    Buffer *TapeBuffer() {
        TextDesc *d = List() ? TextDescOf(List()) : nullptr;
        return d ? d->buffer : nullptr;
    }
    void Control(int letter, bool shift = false) {
        HeadlessKeyDown(kHostKeyControl);
        if (shift)
            HeadlessKeyDown(kHostKeyShift);
        HeadlessKeystroke(letter, letter - 'A' + 1);
        if (shift)
            HeadlessKeyUp(kHostKeyShift);
        HeadlessKeyUp(kHostKeyControl);
        Settle();
    }
    // A click on the tape's first line; twice at once is a double click.
    void ClickFirstLine() {
        Click(List(), 5, 3);
        Settle(10);
    }
};

std::string ClipboardText() {
    size_t n = 0;
    const char *text = WindowHost()->clipboardGet(&n);
    return text ? std::string(text, n) : "";
}

TEST_F(RecallTest, ControlZTakesBackAKeyAndControlYPutsItBack) {
    ASSERT_NE(nullptr, Build());
    Type("12+3");
    ASSERT_EQ("3|", Shown());
    Control('Z');
    EXPECT_EQ("12|", Shown());
    Control('Z');
    EXPECT_EQ("12|", Shown()); // the 12 typed, the '+' taken back
    EXPECT_EQ(ENTRY_MANTISSA, calc()->state);
    Control('Y');
    Control('Z', true); // Ctrl+Shift+Z redoes as Ctrl+Y does
    EXPECT_EQ("3|", Shown());
    Type("=");
    EXPECT_EQ("15|", Shown());

    // The radix switch taken back: the radio, the keys it enabled and the value all return.
    Press("AllClr");
    Type("255");
    Press("mr16");
    ASSERT_EQ("FF|", Shown());
    ASSERT_EQ(1, GetButtonCheck("mr16", panel));
    ASSERT_FALSE(Key("F")->flags & kWindowDisabled);
    Control('Z');
    EXPECT_EQ("255|", Shown());
    EXPECT_EQ(1, GetButtonCheck("mr10", panel));
    EXPECT_EQ(0, GetButtonCheck("mr16", panel));
    EXPECT_TRUE(Key("F")->flags & kWindowDisabled);
    EXPECT_EQ(0, GetButtonCheck("Integer", panel));
    EXPECT_EQ(10, calc()->radix);
    Type("+1=");
    EXPECT_EQ("256|", Shown());

    // Out of the error state; with nothing to take back, the bell.
    Press("AllClr");
    Type("1/0=");
    EXPECT_EQ(CALC_ERROR, calc()->state);
    Control('Z');
    EXPECT_NE(CALC_ERROR, calc()->state);
    Type("4=");
    EXPECT_EQ("0.25|", Shown());
    for (int i = 0; i < kUndoSteps; i++)
        Control('Z');
    long bells = HeadlessBellCount();
    Control('Z');
    EXPECT_EQ(bells + 1, HeadlessBellCount());
}

// A conversion types several keys; one Ctrl+Z takes it back whole, and a refused one's error
// state too.
TEST_F(RecallTest, AConversionIsOneStep) {
    const char *file = settings.c_str();
    WriteStringSetting("CONVERSIONS", "close", file);
    for (const char *item : {"cm->in ( / 2.54 )", "bad ( * 1.2.3 )"})
        AppendSequenceItem(item, file);
    ASSERT_NE(nullptr, Build());
    auto convert = [this](int line) {
        Press("Conv");
        Window *list = nullptr;
        for (Window *w = panel->chain; w; w = w->chain)
            if (w->name && strcmp(w->name, "convlist") == 0)
                list = w;
        ASSERT_NE(nullptr, list);
        ASSERT_EQ(0, ListBoxSelectLine(line, list));
        HeadlessKeystroke(kHostKeyReturn, '\r');
        Settle();
    };
    Type("3+10");
    convert(2);
    Type("=");
    ASSERT_EQ("6.937007874|", Shown());
    Control('Z'); // the Equals
    Control('Z'); // the whole conversion
    EXPECT_EQ("10|", Shown());
    EXPECT_EQ(ENTRY_MANTISSA, calc()->state);
    Type("=");
    EXPECT_EQ("13|", Shown());
    convert(3);
    ASSERT_EQ(CALC_ERROR, calc()->state);
    HeadlessBoxClear();
    Control('Z');
    EXPECT_EQ("13|", Shown());
    EXPECT_EQ(RESULT_SHOWN, calc()->state);
}

TEST_F(RecallTest, ADoubleClickOrReturnOnATapeLineEntersItsNumber) {
    ASSERT_NE(nullptr, Build());
    Press("Printer");
    ASSERT_NE(nullptr, List());
    Type("12X3v=");
    Buffer *b = TapeBuffer();
    ASSERT_NE(nullptr, b);
    // A double click on "12": the number is X, and one undo takes it back.
    Type("+");
    ClickFirstLine();
    ClickFirstLine();
    EXPECT_EQ("12|", Shown());
    EXPECT_EQ(OPERAND_ENTERED, calc()->state);
    EXPECT_EQ(-1, b->markLine) << "the choice ends with the recall";
    Type("=");
    EXPECT_EQ("-24|", Shown());

    // Return on a line chosen with the keys: line 3 is "= -36".
    ClickFirstLine();
    HeadlessAdvance(1000);
    HeadlessKeystroke(kHostKeyDown, 0);
    HeadlessKeystroke(kHostKeyDown, 0);
    Settle();
    ASSERT_EQ(3, b->markLine);
    HeadlessKeystroke(kHostKeyReturn, '\r');
    Settle();
    EXPECT_EQ("-36|", Shown());
    // With no line chosen, Return is the calculator's Equals again.
    Type("X2");
    HeadlessKeystroke(kHostKeyReturn, '\r');
    Settle();
    EXPECT_EQ("-72|", Shown());

    // Ctrl+C on a chosen line copies its number; a line without one rings the bell.
    HeadlessAdvance(1000);
    ClickFirstLine();
    WindowHost()->clipboardPut(nullptr, "unchanged", 9);
    Control('C');
    EXPECT_EQ("12", ClipboardText());
    Press("AllClr"); // the tape's "--- clear all ---" line
    Type("5");
    int clearLine = 0;
    for (int line = 1; line <= b->lineCount; line++) {
        BufferGoto(line, 1, b);
        const char *text = LockLine(b); // the line's bytes, not a string
        if (text &&
            std::string(text, (size_t)CurrentLineLength(b)).find("clear all") != std::string::npos)
            clearLine = line;
    }
    ASSERT_GT(clearLine, 0);
    ListBoxSelectLine(clearLine, List());
    SetFocusWindow(List());
    long bells = HeadlessBellCount();
    HeadlessKeystroke(kHostKeyReturn, '\r');
    Settle();
    EXPECT_EQ(bells + 1, HeadlessBellCount());
    EXPECT_EQ("5|", Shown());
    WindowHost()->clipboardPut(nullptr, "unchanged", 9);
    Control('C');
    EXPECT_EQ("unchanged", ClipboardText());
    EXPECT_EQ(bells + 2, HeadlessBellCount());
}

} // namespace
