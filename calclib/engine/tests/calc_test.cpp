// The calculator engine and number entry driven as a user drives them: key sequences through
// calcKey and the panel's key table, asserting on what the display shows, X, the state, the
// stacks, the indicators, the entry bytes, the tape and the recorder.
#include "calc.h"
#include "display.h"
#include "keys.h"
#include "number.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A calculator with a tape and a recorder attached, as the panel builds it.
struct Session {
    Calculator calc;
    std::string tape;
    std::string recorded;
    std::string diagnostics;

    explicit Session(int digits = 10, int format = 0, int radix = 10) {
        calc.digits = digits;
        calc.format = format;
        calc.hooks.context = this;
        calc.hooks.tapeWrite = [](const char *text, Calculator *c) {
            static_cast<Session *>(c->hooks.context)->tape += text;
            return 0;
        };
        calc.hooks.recordStep = [](int code, Calculator *c) {
            static_cast<Session *>(c->hooks.context)->recorded += static_cast<char>(code);
        };
        calc.hooks.recordText = [](const char *text, Calculator *c) {
            static_cast<Session *>(c->hooks.context)->recorded += std::string("[") + text + "]";
        };
        calc.hooks.recordConstant = [](Calculator *c) {
            static_cast<Session *>(c->hooks.context)->recorded += "[constant]";
        };
        calc.hooks.undoStep = [](Calculator *c) {
            static_cast<Session *>(c->hooks.context)->recorded += "[undo]";
        };
        displayRebuild(&calc);
        calcAllocRegisters(16, &calc);
        if (radix != 10) {
            calc.hooks.tapeWrite = nullptr; // building the panel writes no tape
            calcSetRadix(radix, &calc);
            calcEmptyStacks(&calc);
            calc.state = ENTRY_MANTISSA;
            displayEmptyEntry(&calc);
            calc.hooks.tapeWrite = [](const char *text, Calculator *c) {
                static_cast<Session *>(c->hooks.context)->tape += text;
                return 0;
            };
        }
    }
    ~Session() {
        calcRelease(&calc);
        displayRelease();
    }

    // Each step is typed key by key, or pressed as a panel key when it starts with '@';
    // "#S1" stores into register 1 and "#R1" recalls it.
    void run(const std::vector<std::string> &steps) {
        testing::internal::CaptureStderr();
        for (const std::string &step : steps) {
            if (step[0] == '#') {
                int n = atoi(step.c_str() + 2);
                (step[1] == 'S' ? calcStore : calcRecall)(n, &calc);
                continue;
            }
            if (step[0] == '@') {
                const CalcKeyFunction *key = calcKeyFunction(step.c_str() + 1);
                ASSERT_NE(nullptr, key) << step;
                key->press(key->name, &calc);
                continue;
            }
            for (unsigned char c : step)
                calcKey(c, &calc);
        }
        diagnostics += testing::internal::GetCapturedStderr();
    }

    // What the display shows, without trailing blanks; "ERR" in the error state.
    std::string shown() const {
        if (calc.state == CALC_ERROR)
            return "ERR";
        std::string s = displayShownText();
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }

    std::string x() const { return calc.operands ? numRawText(calc.operands) : "EMPTY"; }

    int depth() const {
        int n = 0;
        for (const Number *p = calc.operands; p; p = p->next)
            n++;
        return n;
    }

    int pending() const {
        int n = 0;
        for (const OpEntry *e = calc.operations; e; e = e->next)
            n++;
        return n;
    }
};

struct KeyCase {
    const char *label;
    std::vector<std::string> steps;
    const char *shown;
    int state;
};

TEST(Engine, KeySequences) {
    const KeyCase cases[] = {
        // clang-format off
        {"precedence", {"2+3X4="}, " 14", RESULT_SHOWN},
        {"left to right", {"8-3-2="}, " 3", RESULT_SHOWN},
        {"parentheses", {"2X(3+4)="}, " 14", RESULT_SHOWN},
        {"AND binds tighter than +", {"1+6&3="}, " 3", RESULT_SHOWN},
        {"power forces the pending sum", {"1+2", "@p", "3="}, " 27", RESULT_SHOWN},
        {"power is applied last", {"2", "@p", "3+1="}, " 16", RESULT_SHOWN},
        {"a second operator is ignored", {"5++3="}, " 8", RESULT_SHOWN},
        {"Equals after an operator is ignored", {"5+="}, " 5", OPERATOR_PENDING},
        {"a unary operation after an operator is ignored", {"5+", "@sin", "1="}, " 6", RESULT_SHOWN},
        {"a parenthesis at the start opens", {"(1+2)X3="}, " 9", RESULT_SHOWN},
        {"a parenthesis at the start, then a product", {"(3+4)X2="}, " 14", RESULT_SHOWN},
        {"nested parentheses at the start", {"((1+2)X(3+1))X2="}, " 24", RESULT_SHOWN},
        {"a parenthesis after clear entry opens", {"7", "\b", "(1+2)X3="}, " 9", RESULT_SHOWN},
        {"a parenthesis after clear all opens", {"5/0=", "@AllClr", "(1+2)X3="}, " 9", RESULT_SHOWN},
        {"a parenthesis after a result opens", {"2=", "@(", "1+2)X3="}, " 9", RESULT_SHOWN},
        {"a parenthesis while digits are typed is ignored", {"5(+1="}, " 6", RESULT_SHOWN},
        {"a parenthesis after a typed point is ignored", {".(5="}, " 0.5", RESULT_SHOWN},
        {"a parenthesis in exponent entry is ignored", {"2x(1="}, " 20", RESULT_SHOWN},
        {"a digit after a result starts afresh", {"2=3="}, " 3", RESULT_SHOWN},
        {"clear entry after an operator", {"7+", "\b", "2="}, " 9", RESULT_SHOWN},
        {"clear entry during exponent entry", {"7+1x5", "\b", "2="}, " 9", RESULT_SHOWN},
        {"clear entry keeps X", {"2+3=", "\b"}, " 0", RESULT_SHOWN},
        {"sin at start takes 0", {"s"}, " 0", RESULT_SHOWN},
        {"sin 30", {"30s"}, " 0.5", RESULT_SHOWN},
        {"sign of a typed number", {"5v"}, "-5", ENTRY_MANTISSA},
        {"sign of an empty entry does nothing", {"v5"}, " 5", ENTRY_MANTISSA},
        {"sign of a result is a negation", {"5=v"}, "-5", RESULT_SHOWN},
        {"exponent entry shows 0", {"5x"}, " 5 0", ENTRY_EXPONENT},
        {"exponent entry", {"5x3v"}, " 5-3", ENTRY_EXPONENT},
        {"an exponent typed", {"1.5x3="}, " 1500", RESULT_SHOWN},
        {"delete", {"123\x7f"}, " 12", ENTRY_MANTISSA},
        {"delete takes the point with its digit", {"1.\x7f"}, " 0", ENTRY_MANTISSA},
        {"leading zeros are dropped", {"007"}, " 7", ENTRY_MANTISSA},
        {"an eleventh digit is ignored", {"12345678901"}, " 1234567890", ENTRY_MANTISSA},
        {"a point first", {"."}, " 0.", ENTRY_MANTISSA},
        {"two points fail to parse", {"1.2.", "="}, "ERR", CALC_ERROR},
        {"a point on every digit", {"1.2.3.4.5.6.7.8.9.0.", "+"}, "ERR", CALC_ERROR},
        {"divide by zero", {"5/0="}, "ERR", CALC_ERROR},
        {"keys in the error state are ignored", {"5/0=", "1+2=", "(", "@Copy", "@pi"}, "ERR", CALC_ERROR},
        {"clear all leaves the error state", {"5/0=", "@AllClr"}, " 0", ENTRY_MANTISSA},
        {"clear all, then a number", {"5/0=", "@AllClr", "3+4="}, " 7", RESULT_SHOWN},
        {"duplicate", {"5", "@Copy", "+3="}, " 8", RESULT_SHOWN},
        {"duplicate of nothing pushes the entry", {"@Copy", "X2="}, " 0", RESULT_SHOWN},
        {"close with nothing pending", {"2=", "@(", "@)"}, " 2", RESULT_SHOWN},
        {"Equals inside a parenthesis", {"2=", "@(", "="}, " 2", RESULT_SHOWN},
        {"escape shows the state again", {"2+3", "\x1b"}, " 3", ENTRY_MANTISSA},
        {"percent is modulus", {"7%4="}, " 3", RESULT_SHOWN},
        {"star is multiply", {"7*4="}, " 28", RESULT_SHOWN},
        {"keypad navigation keys are digits", {"\x80\x89+1="}, " 50", RESULT_SHOWN},
        {"pi", {"@pi"}, " 3.141592653", OPERAND_ENTERED},
        {"10^100 cannot be shown", {"1x99X1x9="}, "---------- --", RESULT_SHOWN},
        {"a letter in radix 10", {"1A2"}, " 12", ENTRY_MANTISSA},
        // clang-format on
    };
    for (const KeyCase &c : cases) {
        Session s;
        s.run(c.steps);
        EXPECT_EQ(c.shown, s.shown()) << c.label;
        EXPECT_EQ(c.state, s.calc.state) << c.label;
    }
}

// The panel's keyboard, which the panel and torva-cli both type through: the engine's map, the
// panel's own characters for pi and 1/x, and the keys of disabled buttons refused with a reason.
TEST(PanelKeyboard, TheSameCharactersDoTheSameThing) {
    struct Case {
        const char *label;
        int radix, format;
        const char *typed; // bytes 128 and up are the toolkit's key codes (0x82 is Up)
        const char *shown;
        const char *refusals; // each refusal, ending in '|'
    } cases[] = {
        // clang-format off
        {"p is pi", 10, 0, "pI", " 3", ""},
        {"r is 1/x", 10, 0, "4r", " 0.25", ""},
        {"the engine's map for the rest", 10, 0, "2+3*4=", " 14", ""},
        {"7 mod 4 by percent", 10, 0, "7%4=", " 3", ""},
        {"the point in the floating format", 10, 0, "1.5x2=", " 150", ""},
        {"no point in the integer format", 10, 1, "1.5", " 15", "no radix point in the integer format|"},
        {"no exponent in the integer format", 10, 1, "12x3", " 123", "no exponent in the integer format|"},
        {"no Int in the integer format", 10, 1, "7I", " 7", "no Int in the integer format|"},
        {"no Frac in the integer format", 10, 1, "7i", " 7", "no Frac in the integer format|"},
        {"a digit beyond the radix", 2, 1, "121", " 11", "no digit 2 in radix 2|"},
        {"a letter digit in decimal", 10, 0, "1a2", " 12", "no digit A in radix 10|"},
        {"a letter digit in hexadecimal", 16, 1, "fa", " FA", ""},
        {"a navigation key is its digit", 8, 1, "7\x82\x80", " 74", "no digit 8 in radix 8|"},
        {"every refusal is told", 10, 1, "1.2.3", " 123", "no radix point in the integer format|no radix point in the integer format|"},
        // clang-format on
    };
    for (const Case &c : cases) {
        Session s(10, c.format, c.radix);
        if (s.calc.format != c.format)
            calcSetFormat(c.format, &s.calc);
        s.run({"@AllClr"});
        std::string refusals;
        for (const char *k = c.typed; *k; k++)
            if (const char *why = calcPanelKey(static_cast<unsigned char>(*k), &s.calc))
                refusals += std::string(why) + "|";
        EXPECT_EQ(c.shown, s.shown()) << c.label;
        EXPECT_EQ(c.refusals, refusals) << c.label;
    }
}

// A key of the panel pressed by name is refused for the same reasons as its character.
TEST(PanelKeyboard, ADisabledKeysReason) {
    Session s(10, 1);
    for (const char *name : {".", "exp", "Int", "i", "A"})
        EXPECT_NE(nullptr, calcKeyRefusal(calcKeyFunction(name), &s.calc)) << name;
    for (const char *name : {"9", "pi", "r", "Mod", "("})
        EXPECT_EQ(nullptr, calcKeyRefusal(calcKeyFunction(name), &s.calc)) << name;
    EXPECT_STREQ("no exponent in the integer format",
                 calcKeyRefusal(calcKeyFunction("exp"), &s.calc));
}

TEST(Engine, StacksAndDepth) {
    Session s;
    s.run({"5+"});
    EXPECT_EQ(1, s.depth());
    EXPECT_EQ(1, s.pending());
    s.run({"+"}); // ignored: the first '+' stays
    EXPECT_EQ(1, s.pending());
    EXPECT_EQ('+', s.calc.operations->code);

    Session p;
    p.run({"(3+4"}); // typed at the very start: the parenthesis opens
    EXPECT_EQ(1, p.calc.parenDepth);
    EXPECT_EQ(2, p.pending()); // ( +
    p.run({")"});
    EXPECT_EQ(0, p.calc.parenDepth);
    EXPECT_EQ(0, p.pending());
    p.run({"5("}); // while a number is typed it is ignored
    EXPECT_EQ(0, p.calc.parenDepth);
    p.run({"2=", "@(", "="});
    EXPECT_EQ(1, p.calc.parenDepth); // Equals removes the parenthesis, not the depth
    EXPECT_EQ(0, p.pending());
    p.run({"@AllClr"});
    EXPECT_EQ(0, p.calc.parenDepth);
    EXPECT_EQ(0, p.depth());
    EXPECT_EQ(nullptr, p.calc.temporaries);

    Session c;
    c.run({"5", "@Copy"});
    EXPECT_EQ(2, c.depth());
    EXPECT_EQ(OPERAND_ENTERED, c.calc.state);
    c.run({"+3="}); // the copy waits below: 5 + 3, and the first 5 stays
    EXPECT_EQ(2, c.depth());

    Session d;
    d.run({"2+3=", "4"}); // a digit after a result empties both stacks
    EXPECT_EQ(0, d.depth());
    EXPECT_EQ(ENTRY_MANTISSA, d.calc.state);
}

TEST(Engine, KeyboardRefusesDigitsBeyondTheRadix) {
    Session decimal;
    EXPECT_EQ(1, calcKey('A', &decimal.calc));
    EXPECT_EQ(0, displayEntryLength(1));
    Session binary(10, 0, 2);
    EXPECT_EQ(1, calcKey('2', &binary.calc));
    EXPECT_EQ(0, calcKey('1', &binary.calc));
    Session octal(10, 0, 8);
    EXPECT_EQ(1, calcKey('8', &octal.calc));
    EXPECT_EQ(0, calcKey('7', &octal.calc));
    Session hex(10, 0, 16);
    EXPECT_EQ(0, calcKey('a', &hex.calc));
    EXPECT_EQ(0, calcKey('e', &hex.calc)); // 'e' is always the digit, never e^x
    EXPECT_EQ(" AE", hex.shown());
}

TEST(Engine, LatinCharactersAreNoKeys) {
    // Characters 128..255 reach the key handler as 256 + character; none is an operation, and
    // none may pass for the named key whose number the character has (0xE4 is Shift-Delete's).
    Session s;
    s.run({"12+3"});
    const std::string shown = s.shown(), x = s.x(), tape = s.tape, recorded = s.recorded;
    const int depth = s.depth(), pending = s.pending(), state = s.calc.state;
    for (int c = 128; c <= 255; c++) {
        EXPECT_EQ(0, calcKey(0x100 + c, &s.calc)) << c;
        ASSERT_EQ(shown, s.shown()) << c;
        ASSERT_EQ(x, s.x()) << c;
        ASSERT_EQ(depth, s.depth()) << c;
        ASSERT_EQ(pending, s.pending()) << c;
        ASSERT_EQ(state, s.calc.state) << c;
        ASSERT_EQ(tape, s.tape) << c;
        ASSERT_EQ(recorded, s.recorded) << c;
    }
    s.run({"="});
    Session plain;
    plain.run({"12+3="});
    EXPECT_EQ(plain.shown(), s.shown());
    EXPECT_EQ(plain.tape, s.tape);
}

TEST(Entry, FieldBytes) {
    Session s;
    s.run({"."});
    EXPECT_EQ(std::string("\xB0"), std::string(displayEntry()->mantissa, 1));
    Session t;
    t.run({"1.5"});
    EXPECT_EQ(2, displayEntry()->mantissaLength);
    EXPECT_EQ(static_cast<char>('1' | 0x80), displayEntry()->mantissa[0]);
    EXPECT_EQ('5', displayEntry()->mantissa[1]);
    Session u;
    u.run({"0"});
    EXPECT_EQ(0, displayEntry()->mantissaLength);
    Session v;
    v.run({"2+3="});
    EXPECT_EQ(0, displayEntry()->mantissaLength); // a shown result is no entry
    EXPECT_EQ(0, displayEntry()->exponentLength);
}

TEST(Engine, IntegerFormat) {
    struct Case {
        const char *label;
        const char *keys;
        const char *shown;
        int carry, overflow;
    } cases[] = {
        {"division truncates", "7/2=", " 3", 0, 0},
        {"minus one is all nines", "0-1=", " 9999999999", 0, 0},
        {"subtraction without borrow sets carry", "5-3=", " 2", 1, 0},
        {"overflow", "4999999999+1=", " 5000000000", 0, 1},
        {"modulus is the remainder", "17%5=", " 2", 0, 0},
        {"a typed negative is complemented", "5v=", " 9999999995", 0, 0},
    };
    for (const Case &c : cases) {
        Session s(10, 1);
        s.run({c.keys});
        EXPECT_EQ(c.shown, s.shown()) << c.label;
        EXPECT_EQ(c.carry, s.calc.carry) << c.label;
        EXPECT_EQ(c.overflow, s.calc.overflow) << c.label;
    }
    Session pi(10, 1);
    pi.run({"@pi"});
    EXPECT_EQ(CALC_ERROR, pi.calc.state);
    Session cleared(10, 1);
    cleared.run({"5-3=", "@AllClr"});
    EXPECT_EQ(0, cleared.calc.carry); // emptying the entry clears the indicators
}

TEST(Engine, ConstantsKeepEveryDigit) {
    Session s;
    s.run({"@pi"});
    EXPECT_EQ("+0.3141592653 X 10 ** 1", s.x());
    // A long exponent in radix 2 is entered whole, as floatConst makes it.
    Session b(10, 0, 2);
    b.calc.format = 0;
    calcEnterConstant("6.02E23", &b.calc);
    Number *expected = floatConst("6.02E23", 10, 2, &b.calc);
    ASSERT_NE(nullptr, expected);
    std::string want = numRawText(expected);
    numFreeTemps(&b.calc.temporaries);
    EXPECT_EQ(want, b.x());
    EXPECT_EQ(OPERAND_ENTERED, b.calc.state);
    // ln of the constants list's e: the cut digits of the bridge, not a rounded value.
    Session e;
    calcEnterConstant("2.718281828", &e.calc);
    e.run({"l"});
    EXPECT_EQ("+0.9999999998 X 10 ** 0", e.x());
}

// With exact functions the same keys give the correctly rounded value; the bridge's answers
// stay what they were when the mode is off.
TEST(Engine, ExactFunctionsFollowTheMode) {
    struct Case {
        std::vector<std::string> steps;
        const char *bridge, *exact;
    } cases[] = {
        {{"2l"}, "+0.6931471805 X 10 ** 0", "+0.6931471806 X 10 ** 0"},
        {{"@pi"}, "+0.3141592653 X 10 ** 1", "+0.3141592654 X 10 ** 1"},
        {{"3", "@p", ".5="}, "+0.1732050807 X 10 ** 1", "+0.1732050808 X 10 ** 1"},
    };
    for (const Case &c : cases) {
        for (int exact = 0; exact <= 1; exact++) {
            Session s;
            s.calc.exactFunctions = exact;
            s.run(c.steps);
            EXPECT_EQ(exact ? c.exact : c.bridge, s.x()) << c.steps[0] << " exact " << exact;
        }
    }
    // pi at 40 digits: the pi key's text has 33, exact mode every one.
    Session pi(40);
    pi.calc.exactFunctions = 1;
    pi.run({"@pi"});
    EXPECT_EQ("+0.3141592653589793238462643383279502884197 X 10 ** 1", pi.x());
    // A constant keeps every digit of its text, with no double on the way: 6.02E23 in binary.
    Session b(10, 0, 2);
    b.calc.format = 0;
    b.calc.exactFunctions = 1;
    calcEnterConstant("6.02E23", &b.calc);
    // 602 × 10^21 is 1111111011 11... in binary: ten digits round half up to 1111111100.
    EXPECT_EQ(0, b.x().find("+0.1111111100 X")) << b.x();
    // A domain error is the same error state with the same tape line.
    Session ln;
    ln.calc.exactFunctions = 1;
    ln.run({"0l"});
    EXPECT_EQ(CALC_ERROR, ln.calc.state);
    EXPECT_NE(std::string::npos, ln.tape.find("ln - domain error")) << ln.tape;
}

TEST(Engine, RadixSwitch) {
    Session s;
    s.run({"255"});
    s.tape.clear();
    s.run({"@mr16"});
    EXPECT_EQ(1, s.calc.format);
    EXPECT_EQ(16, s.calc.radix);
    EXPECT_EQ(" FF", s.shown());
    // The format change is written before the radix line.
    EXPECT_EQ("           255 \n->Integer  FF \nradix 16   FF \n", s.tape);

    // Back to 10 switches to floating first, in the old radix: a value beyond the decimal
    // integer range survives, and a positive one stays positive.
    Session h(10, 0, 16);
    h.run({"FFFFFFFFF"});
    h.run({"@mr10"});
    EXPECT_EQ(0, h.calc.format);
    // 68719476735 has eleven digits: the repeated additions round it at ten.
    std::string hx = h.x();
    EXPECT_EQ("+0.68719476", hx.substr(0, 11));
    EXPECT_EQ(" X 10 ** 11", hx.substr(hx.size() - 11));
    Session g(10, 0, 16);
    g.run({"12A05F200", "@mr10"});
    EXPECT_EQ(" 5 9", g.shown()); // 5 x 10^9: ten digits reach the width, so scientific

    // A value no integer of the length can hold keeps the floating format.
    Session wide;
    wide.run({"1.5x20", "@mr16"});
    EXPECT_EQ(0, wide.calc.format);
    EXPECT_EQ(16, wide.calc.radix);

    // Without automatic format the format stays.
    Session manual;
    manual.calc.autoFormat = 0;
    manual.run({"10", "@mr02"});
    EXPECT_EQ(0, manual.calc.format);
    EXPECT_EQ(" 1010", manual.shown());

    // In the error state a switch is only stored.
    Session err;
    err.run({"5/0=", "@mr08"});
    EXPECT_EQ(8, err.calc.radix);
    EXPECT_EQ(CALC_ERROR, err.calc.state);
}

TEST(Engine, FormatSwitchConvertsTheStack) {
    Session s;
    s.run({"2.5+"});
    s.tape.clear();
    s.run({"@Integer"});
    EXPECT_EQ(1, s.calc.format);
    EXPECT_EQ("0000000003 DEC", s.x());
    EXPECT_EQ("->Integer  3 \n", s.tape);
    s.run({"4="});
    EXPECT_EQ(" 7", s.shown());
}

TEST(Tape, Lines) {
    struct Case {
        const char *label;
        std::vector<std::string> steps;
        const char *tape;
    } cases[] = {
        {"adding machine",
         {"12X3+4="},
         "           12 \nX          3 \n           36 \n+          4 \n=          40 \n"},
        {"a unary operation after a typed number", {"30s"}, "           30 \nsin        0.5 \n"},
        {"clear entry after an operator keeps the line open",
         {"7+", "\b", "2="},
         "           7 \n+           --- clear entry ---\n 2 \n=          9 \n"},
        {"the error text starts a line and ends it",
         {"5/0=", "@AllClr", "3="},
         "           5 \n/          0 \n=         \ndiv - divide by zero\n\n --- ERROR --- \n"
         "  --- clear all ---\n           3 \n=          3 \n"},
        {"parentheses",
         {"2X(3+4)="},
         "           2 \nX         \n(\n           2 \n           3 \n+          4 \n)\n"
         "           7 \n=          14 \n"},
        {"a parenthesis at the start",
         {"(1+2)X3="},
         "\n(\n           1 \n+          2 \n)\n           3 \nX          3 \n=          9 \n"},
        {"duplicate", {"5", "@Copy"}, "           5 \nduplicate  5 \n"},
        {"negative and exponent", {"1.5vx3v="}, "          -0.0015 \n=         -0.0015 \n"},
        {"a value that cannot be shown",
         {"1x99X1x9="},
         "           1 99\nX          1 9\n=         ---------- --\n"},
        {"clear all", {"@AllClr"}, "  --- clear all ---\n"},
    };
    for (const Case &c : cases) {
        Session s;
        s.run(c.steps);
        EXPECT_EQ(c.tape, s.tape) << c.label;
    }
}

TEST(Tape, NothingWithoutATape) {
    Session s;
    s.calc.hooks.tapeWrite = nullptr;
    s.run({"5+3="});
    EXPECT_EQ(0, s.calc.tapeOpen);
    EXPECT_EQ("", s.tape);
}

// The number engine knows only its context; the calculator's own listeners must still hear
// from it: the indicators' redraw and the engine's messages on the tape.
TEST(Engine, NumberEngineReachesTheCalculatorsListeners) {
    Session s(4, 1);
    EXPECT_EQ(kCalculatorMagic, s.calc.magic);
    static int redraws;
    redraws = 0;
    s.calc.hooks.indicatorsChanged = [](Calculator *) { redraws++; };
    s.run({"9999+1="});
    EXPECT_EQ(1, s.calc.carry);
    EXPECT_LE(1, redraws);
    s.run({"@AllClr", "1/0="});
    EXPECT_EQ("ERR", s.shown());
    EXPECT_NE(std::string::npos, s.tape.find("\ndiv - divide by zero\n")) << s.tape;
}

TEST(Recorder, Steps) {
    Session s;
    s.calc.recorderMode = 1;
    s.run({"12+3\x7f", "4=", "@pi", "v", "\b", "@AllClr", "(", "@mr16"});
    EXPECT_EQ("12+3[undo]4=[constant]vhH([format to Integer][radix 16  ]", s.recorded);
    Session quiet;
    quiet.run({"12+3="}); // nothing recorded unless recording
    EXPECT_EQ("", quiet.recorded);
}

TEST(Engine, Evaluate) {
    Session s;
    s.run({"2X(3+4"});
    calcKey('+', &s.calc);     // 3 + 4 is forced: 7 waits inside the parenthesis
    EXPECT_EQ(3, s.pending()); // X ( +
    s.run({"1"});
    calcKey(')', &s.calc);
    EXPECT_EQ(" 8", s.shown());
    EXPECT_EQ(0, calcEvaluate(-1, &s.calc));
    EXPECT_EQ("+0.1600000000 X 10 ** 2", s.x());
    EXPECT_EQ(0, calcEvaluate(-1, &s.calc)); // nothing pending: nothing happens
}

TEST(Engine, PrecisionChangeEmptiesEverything) {
    Session s;
    s.run({"5+3"});
    calcSetPrecision(1, -4, &s.calc);
    EXPECT_EQ(2, s.calc.digits);
    EXPECT_EQ(0, s.calc.exponentDigits);
    EXPECT_EQ(0, s.depth());
    EXPECT_EQ(0, s.pending());
    EXPECT_EQ(ENTRY_MANTISSA, s.calc.state);
    s.run({"99+1="});
    EXPECT_EQ("+0.10 X 10 ** 3", s.x());
}

TEST(Keys, TableAndDisabledKeys) {
    Calculator calc;
    const CalcKeyFunction *f = calcKeyFunction("F");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(0, calcKeyEnabled(f, &calc));
    calc.radix = 16;
    EXPECT_EQ(1, calcKeyEnabled(f, &calc));
    const CalcKeyFunction *point = calcKeyFunction(".");
    EXPECT_EQ(1, calcKeyEnabled(point, &calc));
    calc.format = 1;
    EXPECT_EQ(0, calcKeyEnabled(point, &calc));
    EXPECT_EQ(0, calcKeyEnabled(calcKeyFunction("Int"), &calc));
    EXPECT_EQ(1, calcKeyEnabled(calcKeyFunction("7"), &calc));
    EXPECT_EQ(nullptr, calcKeyFunction("Quit")); // the panel's own, not the engine's
    EXPECT_EQ(nullptr, calcKeyFunction("sine"));
}

TEST(Codes, Tables) {
    EXPECT_EQ(5, opPrecedence('X'));
    EXPECT_EQ(5, opPrecedence('M'));
    EXPECT_EQ(4, opPrecedence('L'));
    EXPECT_EQ(3, opPrecedence('-'));
    EXPECT_EQ(0, opPrecedence('p'));
    EXPECT_EQ(0, opPrecedence('('));
    for (char c : std::string("!<>IOSTegilnoqrstv~"))
        EXPECT_EQ(1, opIsUnary(c)) << c;
    for (char c : std::string("+-X/M&|^LRp(x"))
        EXPECT_EQ(0, opIsUnary(c)) << c;
    EXPECT_STREQ("Mod", opTapeName('M'));
    EXPECT_STREQ("*Clear All*", opTapeName('H'));
    EXPECT_STREQ("exp", opTapeName('x'));
    EXPECT_STREQ("=", opTapeName('='));
    EXPECT_STREQ("D", opTapeName('D'));
}

TEST(Registers, Names) {
    struct Case {
        int index, count;
        const char *name;
    } cases[] = {
        {0, 16, "A"},   {15, 16, "P"},  {0, 25, "A"},   {0, 26, "A "},     {0, 30, "A "},
        {25, 30, "Z "}, {26, 30, "BA"}, {29, 30, "BD"}, {675, 676, "ZZ "}, {676, 677, "BAA"},
    };
    for (const Case &c : cases) {
        EXPECT_STREQ(c.name, registerName(c.index, c.count)) << c.index << " of " << c.count;
        EXPECT_EQ(c.index, registerIndex(c.name, c.count)) << c.name;
    }
    EXPECT_EQ(0, registerIndex("A", 30)); // a one-letter name without its padding
    EXPECT_EQ(2, registerIndex("C extra", 16));
    EXPECT_EQ(-1, registerIndex("", 16));
    EXPECT_EQ(-1, registerIndex("a", 16));
    EXPECT_EQ(-1, registerIndex(" A", 16));
}

TEST(Registers, StoreAndRecall) {
    struct Case {
        const char *label;
        std::vector<std::string> steps;
        const char *shown;
        int state;
    } cases[] = {
        // clang-format off
        {"store and recall", {"5", "#S1", "@AllClr", "#R1"}, " 5", RESULT_SHOWN},
        {"store shows X", {"5", "#S1"}, " 5", OPERAND_ENTERED},
        {"recall starts afresh after a result", {"9", "#S1", "2+3s", "#R1", "="}, " 9", RESULT_SHOWN},
        {"recall after an operator is the operand", {"9", "#S1", "2+", "#R1", "="}, " 11", RESULT_SHOWN},
        {"recall discards a typed number", {"5", "#S1", "@AllClr", "7", "#R1", "+1="}, " 6", RESULT_SHOWN},
        {"store after an operator stores X", {"5+", "#S1", "3=", "#R1"}, " 5", RESULT_SHOWN},
        {"store after clear-all stores 0", {"5", "#S1", "@AllClr", "#S1", "#R1"}, " 0", RESULT_SHOWN},
        {"an empty register is an error", {"#R2"}, "ERR", CALC_ERROR},
        {"a register beyond the count does nothing", {"5", "#S17", "#R17"}, " 5", OPERAND_ENTERED},
        {"store in the error state is ignored", {"5/0=", "#S1"}, "ERR", CALC_ERROR},
        // clang-format on
    };
    for (const auto &c : cases) {
        Session s;
        s.run(c.steps);
        EXPECT_EQ(c.shown, s.shown()) << c.label;
        EXPECT_EQ(c.state, s.calc.state) << c.label;
    }
}

TEST(Registers, AcrossRadicesTheRegisterAndXStayIntact) {
    Session s(10, 0, 16); // hexadecimal integers
    s.run({"FF", "#S1"});
    s.run({"@mr10"});
    EXPECT_EQ(0, s.calc.format);
    s.run({"#R1"});
    EXPECT_EQ(" 255", s.shown());
    s.run({"#R1"}); // a second recall finds the register as it was
    EXPECT_EQ(" 255", s.shown());
    EXPECT_EQ(1, s.depth());
    s.run({"@AllClr", "100", "#S1"}); // into the hexadecimal slot; X is unchanged
    EXPECT_EQ(" 100", s.shown());
    EXPECT_EQ("+0.1000000000 X 10 ** 3", s.x());
    // The slot keeps its radix and takes the stored value's format.
    EXPECT_EQ("+0.6400000000 X 16 ** 2", std::string(numRawText(s.calc.registers[0])));
}

TEST(Registers, RecordingRecallsZeroFromAnEmptyRegister) {
    Session s;
    s.calc.recorderMode = 1;
    s.run({"#R3", "+2="});
    EXPECT_EQ(" 2", s.shown());
    EXPECT_EQ(nullptr, s.calc.registers[2]); // the zero stood in for this recall only
    s.run({"4", "#S3"});
    EXPECT_EQ("[recall C]+2=4[store C]", s.recorded);
}

TEST(Registers, SurviveAPrecisionChange) {
    Session s;
    s.run({"2/3=", "#S1"});
    calcSetPrecision(4, 2, &s.calc);
    s.run({"#R1"});
    EXPECT_EQ("+0.6667 X 10 ** 0", s.x());
    s.run({"1", "#S1", "#R1"});
    EXPECT_EQ("+0.1000 X 10 ** 1", s.x());
}

TEST(Registers, Allocation) {
    Calculator calc;
    calcAllocRegisters(1000000000, &calc);
    EXPECT_EQ(kMaxRegisters, calc.registerCount);
    calcAllocRegisters(-3, &calc);
    EXPECT_EQ(0, calc.registerCount);
    EXPECT_EQ(nullptr, calc.registers);
}

} // namespace
