// Undo and redo of the calculator's keys, and numbers taken back from the printer tape: a key
// taken back must leave exactly the calculator that never saw it (X, both stacks, the depth,
// the registers, the indicators, the entry and the display's text), and a tape line's number
// must come back as the same value.
#include "calc.h"
#include "clipnum.h"
#include "display.h"
#include "number.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Keys = std::vector<std::string>;

// The calculator as both programs start it, with a tape.
struct Calc {
    Calculator calc;
    std::string tape;

    explicit Calc(int digits = 10) {
        CalcSessionOptions options;
        options.digits = digits;
        calcSessionStart(calcSessionRead(nullptr, &options, &calc, nullptr), &options, &calc);
        calc.hooks.context = this;
        calc.hooks.tapeWrite = [](const char *text, Calculator *c) {
            static_cast<Calc *>(c->hooks.context)->tape += text;
            return 0;
        };
    }
    ~Calc() { calcSessionEnd(&calc); }

    // One key: typed on the panel's keyboard; "@name" a panel key; "#S1" and "#R1" store and
    // recall register 1; "$text" a pasted text; "&text" a constant; "<" undo and ">" redo.
    void key(const std::string &k) {
        if (k.size() > 1 && k[0] == '@') {
            const CalcKeyFunction *f = calcKeyFunction(k.c_str() + 1);
            ASSERT_NE(nullptr, f) << k;
            f->press(f->name, &calc);
        } else if (k.size() > 1 && k[0] == '#') {
            (k[1] == 'S' ? calcStore : calcRecall)(atoi(k.c_str() + 2), &calc);
        } else if (k.size() > 1 && k[0] == '$') {
            EXPECT_EQ(nullptr, calcClipPaste(k.c_str() + 1, (int)k.size() - 1, &calc)) << k;
        } else if (k.size() > 1 && k[0] == '&') {
            calcEnterConstant(k.c_str() + 1, &calc);
        } else if (k == "<" || k == ">") {
            EXPECT_EQ(nullptr, calcUndo(k == ">", &calc)) << k;
        } else {
            for (unsigned char c : k)
                calcPanelKey(c, &calc); // refused as on the panel (F before the radix switch)
        }
    }
    void keys(const Keys &ks) {
        for (const std::string &k : ks)
            key(k);
    }
};

std::string numberText(const Number *n) {
    return n ? std::to_string(n->radix) + "/" + std::to_string(n->format) + ":" + numRawText(n)
             : "empty";
}

// Everything a user could see or the next key could act on.
std::string seen(const Calculator &calc) {
    std::string out = "shown[" + std::string(displayShownText()) + "]";
    const EntryFields *e = displayEntry();
    out += " entry[" + std::string(e->mantissa, (size_t)e->mantissaLength) + "|" +
           std::string(e->exponent, (size_t)e->exponentLength) + "|" +
           std::to_string(e->mantissaNegative) + std::to_string(e->exponentNegative) +
           std::to_string(e->shownDashes) + "]";
    out += " state " + std::to_string(calc.state) + " depth " + std::to_string(calc.parenDepth) +
           " cry " + std::to_string(calc.carry) + " ovr " + std::to_string(calc.overflow) +
           " radix " + std::to_string(calc.radix) + " format " + std::to_string(calc.format);
    out += " operands";
    for (const Number *n = calc.operands; n; n = n->next)
        out += " " + numberText(n);
    out += " operations ";
    for (const OpEntry *o = calc.operations; o; o = o->next)
        out += static_cast<char>(o->code);
    for (int i = 0; i < calc.registerCount; i++)
        if (calc.registers[i])
            out += " " + std::string(registerName(i, calc.registerCount)) + "=" +
                   numberText(calc.registers[i]);
    return out;
}

// The display is one per process: only one calculator is alive at a time, so what another
// sequence leaves is worked out before a test's own calculator is made.
std::string after(const Keys &ks) {
    Calc c;
    c.keys(ks);
    return seen(c.calc);
}

// Every key of these sequences changes the calculator, so an undo right after any of them
// takes back exactly that key.
const std::vector<Keys> kSequences = {
    {"2", "+", "3", "X", "4", "="},
    {"1", "2", ".", "5", "x", "3", "v", "/", "7", "="},
    {"(", "2", "+", "3", ")", "X", "5", "=", "q"},
    {"9", "@Copy", "+", "1", "=", "#S1", "7", "#R1", "r"},
    {"@mr16", "F", "F", "&", "3", "C", "=", "@Integer", "@mr10"},
    {"@mr16", "F", "F", "F", "F", "F", "F", "F", "F", "F", "F", "+", "1", "=", "@mr02"},
    {"5", "/", "2", "=", "1", "/", "@AllClr", "3", "-", "8", "="},
    {"1", "2", "3", "\x7f", "+", "4", "\b", "5", "=", "v"},
    {"&2.5", "X", "$-1.5e-3", "=", "@pi", "s"},
    {"7", "/", "@Clear", "2", "=", "(", "=", ")"},
    {"1", "x", "9", "9", "X", "1", "x", "9", "9", "=", "@AllClr"},
};

TEST(Undo, TakesBackExactlyTheLastKeyAtEveryPosition) {
    for (const Keys &ks : kSequences) {
        for (size_t i = 0; i < ks.size(); i++) {
            Keys without = ks, upTo(ks.begin(), ks.begin() + (long)i);
            without.erase(without.begin() + (long)i);
            std::string label;
            for (const std::string &k : ks)
                label += k + " ";
            label += "undo after key " + std::to_string(i);
            // Right after the undo: the calculator before the key.
            Keys undone(ks.begin(), ks.begin() + (long)i + 1);
            undone.push_back("<");
            EXPECT_EQ(after(upTo), after(undone)) << label;
            // And the keys after it act as if the key had never been typed.
            Keys whole = undone;
            whole.insert(whole.end(), ks.begin() + (long)i + 1, ks.end());
            EXPECT_EQ(after(without), after(whole)) << label;
        }
    }
}

TEST(Undo, RedoPutsBackWhatUndoTook) {
    for (const Keys &ks : kSequences) {
        const std::string whole = after(ks);
        for (size_t n = 1; n <= ks.size(); n++) {
            const std::string shorter = after(Keys(ks.begin(), ks.end() - (long)n));
            Calc c;
            c.keys(ks);
            for (size_t i = 0; i < n; i++)
                c.key("<");
            EXPECT_EQ(shorter, seen(c.calc));
            EXPECT_EQ((int)n, calcUndoCount(1, &c.calc));
            for (size_t i = 0; i < n; i++)
                c.key(">");
            EXPECT_EQ(whole, seen(c.calc)) << ks[0] << " redo " << n;
            EXPECT_STREQ("nothing to redo", calcUndo(1, &c.calc));
        }
    }
}

TEST(Undo, ANewKeyEndsRedoAndARefusedKeyIsNoStep) {
    Calc c;
    c.keys({"1", "2", "+", "3", "=", "<", "<"});
    EXPECT_EQ(1, calcUndoCount(1, &c.calc) - 1); // '=' and '3' can come back
    c.key("+");                                  // refused: an operator is pending
    EXPECT_EQ(2, calcUndoCount(1, &c.calc));     // so nothing is lost
    c.key("4");
    EXPECT_EQ(0, calcUndoCount(1, &c.calc));
    EXPECT_STREQ("nothing to redo", calcUndo(1, &c.calc));
    c.key("=");
    EXPECT_STREQ(" 16 ", displayShownText());
    // Escape redraws, the refused second '=' of a pending operator changes nothing: no steps.
    const int steps = calcUndoCount(0, &c.calc);
    c.keys({"\x1b", "+"});
    c.key("=");
    EXPECT_EQ(steps + 1, calcUndoCount(0, &c.calc)); // only '+' was a step
    c.key("<");
    EXPECT_STREQ(" 16 ", displayShownText());
    EXPECT_EQ(RESULT_SHOWN, c.calc.state);
}

TEST(Undo, StopsAtItsBound) {
    Keys ks;
    for (int i = 0; i < 75; i++) {
        ks.push_back(std::to_string(i % 9 + 1));
        ks.push_back("+");
    }
    const std::string bottom = after(Keys(ks.begin(), ks.begin() + 150 - kUndoSteps));
    Calc c;
    c.keys(ks);
    ASSERT_EQ(kUndoSteps, calcUndoCount(0, &c.calc));
    int undone = 0;
    for (int i = 0; i < 150; i++)
        undone += calcUndo(0, &c.calc) == nullptr;
    EXPECT_EQ(kUndoSteps, undone);
    EXPECT_STREQ("nothing to undo", calcUndo(0, &c.calc));
    EXPECT_EQ(bottom, seen(c.calc));
}

TEST(Undo, HoldsNoMoreMemoryThanItsBound) {
    // Long numbers piling up on the stack: each step's copy grows, and the oldest steps go
    // before the count is reached.
    Calc c(1000);
    for (int i = 0; i < 60; i++)
        c.keys({"1", "2", "3", "+", "("});
    EXPECT_LE(calcUndoBytes(&c.calc), kUndoBytes);
    EXPECT_GT(calcUndoBytes(&c.calc), kUndoBytes / 2);
    const int steps = calcUndoCount(0, &c.calc);
    EXPECT_LT(steps, kUndoSteps);
    EXPECT_GT(steps, 10);
    for (int i = 0; i < steps; i++)
        ASSERT_EQ(nullptr, calcUndo(0, &c.calc));
    EXPECT_STREQ("nothing to undo", calcUndo(0, &c.calc));
    EXPECT_LE(calcUndoBytes(&c.calc), kUndoBytes);
}

TEST(Undo, LeavesTheErrorStateForTheStateBeforeTheFailingKey) {
    Calc c;
    c.keys({"1", "/", "0"});
    const std::string before = seen(c.calc);
    c.key("=");
    ASSERT_TRUE(calcIsError(&c.calc));
    ASSERT_NE(std::string::npos, c.tape.find("--- ERROR ---"));
    c.key("<");
    EXPECT_FALSE(calcIsError(&c.calc));
    EXPECT_EQ(before, seen(c.calc));
    // Back into the error state with redo, and out of it again.
    c.key(">");
    EXPECT_TRUE(calcIsError(&c.calc));
    c.key("<");
    EXPECT_EQ(before, seen(c.calc));
    c.keys({"4", "="});
    EXPECT_STREQ(" 0.25 ", displayShownText());
}

TEST(Undo, TheTapeIsNotRewrittenButToldOfEachStep) {
    Calc c;
    c.keys({"1", "2", "X", "3", "=", "<", "<", ">"});
    EXPECT_EQ("           12 \n"
              "X          3 \n"
              "=          36 \n"
              "undo       3 \n"
              "undo       12 \n"
              "redo       3 \n",
              c.tape);
}

TEST(Undo, TakesBackAStoreAndARecall) {
    Calc c;
    c.keys({"4", "#S1", "5", "#S1"});
    c.key("<");
    c.keys({"@AllClr", "#R1"});
    EXPECT_STREQ(" 4 ", displayShownText());
    // The recall, the clear, the 5 and the first store taken back: the register is empty.
    c.keys({"<", "<", "<"});
    ASSERT_NE(nullptr, c.calc.registers[0]);
    c.key("<");
    EXPECT_EQ(nullptr, c.calc.registers[0]);
    c.keys({">"});
    ASSERT_NE(nullptr, c.calc.registers[0]);
    EXPECT_EQ("+0.4000000000 X 10 ** 1", std::string(numRawText(c.calc.registers[0])));
}

TEST(Undo, IsOffWhileAProgramRunsOrIsRecordedAndARunIsOneStep) {
    const std::string before = after({"2", "+", "3"});
    Calc c;
    c.keys({"2", "+", "3"});
    c.calc.recorderMode = 1;
    EXPECT_STREQ("no undo while a program is recorded", calcUndo(0, &c.calc));
    c.calc.recorderMode = -1; // a run: its keys become one step
    c.keys({"=", "X", "7", "=", "#S2"});
    EXPECT_STREQ("no undo while a program runs", calcUndo(0, &c.calc));
    c.calc.recorderMode = 0;
    EXPECT_STREQ(" 35 ", displayShownText());
    c.key("<");
    EXPECT_EQ(before, seen(c.calc));
}

TEST(Undo, StopsAtAChangeOfTheDisplayPrecision) {
    Calc c;
    c.keys({"1", "+", "2"});
    calcSetPrecision(12, 2, &c.calc);
    c.keys({"7"});
    c.key("<");
    EXPECT_STREQ("the display precision has changed since", calcUndo(0, &c.calc));
    EXPECT_EQ(12, c.calc.digits);
    EXPECT_STREQ(" 0 ", displayShownText());
}

// The tape's number lines, as the calculator wrote them, entered again in a fresh calculator in
// the same radix and format: the display shows the number as the tape does.
TEST(TapeRecall, EachNumberLineComesBackAsTheTapeShowsIt) {
    struct Case {
        Keys keys;
        const char *radio;
    } cases[] = {
        {{"1", "2", "X", "3", "+", "4", "="}, "mr10"},      // integers
        {{"0", "-", "4", "2", "="}, "mr10"},                // negative
        {{"1", ".", "5", "x", "2", "0", "v", "="}, "mr10"}, // an exponent
        {{"1", ".", "2", "5", "x", "1", "5", "="}, "mr10"}, // a positive one
        {{"F", "F", "+", "1", "=", "~"}, "mr16"},           // hexadecimal, and a complement
        {{"1", "0", "1", "X", "1", "1", "="}, "mr02"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> lines; // the number lines of the tape
        {
            Calc from;
            from.key(std::string("@") + c.radio);
            from.tape.clear();
            from.keys(c.keys);
            size_t at = 0;
            for (size_t nl; (nl = from.tape.find('\n', at)) != std::string::npos; at = nl + 1) {
                const std::string line = from.tape.substr(at, nl - at);
                if (!calcTapeLineText(line.c_str(), &from.calc).empty())
                    lines.push_back(line); // not an operation still waiting for its number
            }
        }
        EXPECT_GE(lines.size(), 2u);
        for (const std::string &line : lines) {
            Calc to;
            to.key(std::string("@") + c.radio);
            to.keys({"7", "+"});
            EXPECT_EQ(nullptr, calcTapeRecall(line.c_str(), &to.calc)) << line;
            EXPECT_EQ(OPERAND_ENTERED, to.calc.state);
            EXPECT_EQ(line.substr(kTapeFieldWidth), displayShownText()) << line;
        }
    }
}

TEST(TapeRecall, TheLineAsTheClipboardsText) {
    struct Case {
        const char *line;
        int radix;
        const char *text;
    } cases[] = {
        {"           12 ", 10, "12"},
        {"=         -40 ", 10, "-40"},
        {"X          1.5-20", 10, "1.5e-20"},
        {"=          1.25 15", 10, "1.25e15"},
        {"           0.5 ", 10, "0.5"},
        {"=          FFFFFFFFFB \n", 16, "0xFFFFFFFFFB"},
        {"+          101 ", 2, "0b101"},
        {"X         ", 10, ""},               // the operation still waits
        {"---------- --", 10, ""},            // the error dashes
        {"           ---------- --", 10, ""}, // shown as dashes
        {"  --- clear all ---", 10, ""},
        {" --- ERROR --- ", 10, ""},
        {"(", 10, ""},
        {"duplicate  1.2.3 ", 10, ""},
        {"           12 3 4", 10, ""},
        {"", 10, ""},
    };
    for (const Case &c : cases) {
        Calc calc;
        calc.calc.radix = c.radix;
        EXPECT_EQ(c.text, calcTapeLineText(c.line, &calc.calc)) << c.line;
    }
}

TEST(TapeRecall, ANumberThatDoesNotFitIsRefusedAndNothingChanges) {
    struct Case {
        const char *line;
        const char *radio; // the calculator's radix switch
        int integer;
    } cases[] = {
        {"=          FF ", "mr10", 0},          // hexadecimal digits in decimal
        {"           1.5 ", "mr10", 1},         // a point in the integer format
        {"           1.5-20", "mr16", 0},       // an exponent of another radix
        {"           12345678901 ", "mr10", 1}, // longer than the integer's digits
        {"  --- clear all ---", "mr10", 0},
    };
    for (const Case &c : cases) {
        Calc calc;
        calc.key(std::string("@") + c.radio);
        if (calc.calc.format != c.integer)
            calc.key("@Integer");
        calc.keys({"7", "+"});
        const std::string before = seen(calc.calc);
        EXPECT_NE(nullptr, calcTapeRecall(c.line, &calc.calc)) << c.line;
        EXPECT_EQ(before, seen(calc.calc)) << c.line;
    }
    // Taken, the number is the operand of the pending operator, and one undo takes it back.
    Calc calc;
    calc.keys({"7", "+"});
    const std::string before = seen(calc.calc);
    ASSERT_EQ(nullptr, calcTapeRecall("=         -40 ", &calc.calc));
    calc.key("=");
    EXPECT_STREQ("-33 ", displayShownText());
    calc.keys({"<", "<"});
    EXPECT_EQ(before, seen(calc.calc));
}

} // namespace
