// The keystroke recorder without a window: keys typed on a recording calculator become step
// lines before the program's current line, a deleted character takes back its own steps, and a
// constant is recorded as the keys that type it again.
#include "buffer.h"
#include "calc.h"
#include "keys.h"
#include "program.h"
#include "recorder.h"
#include "session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A calculator recording into a program that holds only its end marker, with the recorder's
// hooks as the program window installs them.
struct Recording {
    Calculator calc;
    Buffer *program = programCreate();
    Recorder rec = {};
    int changes = 0;

    Recording() {
        calcSessionStart(calcSessionRead(nullptr, nullptr, &calc, nullptr), nullptr, &calc);
        calc.hooks.context = this;
        calc.hooks.recordStep = [](int code, Calculator *c) {
            Recording *r = self(c);
            recorderStep(code, r->program, &r->rec, c);
        };
        calc.hooks.recordText = [](const char *text, Calculator *c) {
            Recording *r = self(c);
            recorderText(text, r->program, &r->rec, c);
        };
        calc.hooks.recordConstant = [](Calculator *c) {
            Recording *r = self(c);
            recorderConstant(r->program, &r->rec, c);
        };
        calc.hooks.undoStep = [](Calculator *c) {
            Recording *r = self(c);
            recorderUndo(r->program, &r->rec, c);
        };
        rec.context = this;
        rec.changed = [](int, int, Recorder *rec) {
            static_cast<Recording *>(rec->context)->changes++;
        };
        calc.recorderMode = 1;
    }
    ~Recording() {
        BufferFree(program);
        calcSessionEnd(&calc);
    }
    static Recording *self(Calculator *c) { return static_cast<Recording *>(c->hooks.context); }
    // '#' is the Delete key.
    void type(const char *keys) {
        for (const char *k = keys; *k; k++)
            calcKey(*k == '#' ? static_cast<int>(keyDelete) : static_cast<unsigned char>(*k),
                    &calc);
    }
    // The program's lines, '|' between them, without their line feeds.
    std::string steps() {
        std::string out;
        const int current = CurrentLineNumber(program);
        for (int line = 1; line <= program->lineCount; line++) {
            BufferGoto(line, 1, program);
            if (CurrentLineNumber(program) != line)
                break;
            std::string text(LockLine(program), CurrentLineLength(program));
            while (!text.empty() && text.back() == '\n')
                text.pop_back();
            if (text.empty())
                continue;
            out += (out.empty() ? "" : "|") + text;
        }
        BufferGoto(current, 1, program);
        return out;
    }
};

TEST(Recorder, KeysBecomeStepsBeforeTheCurrentLine) {
    struct Case {
        const char *keys;
        const char *steps;
    } cases[] = {
        // clang-format off
        {"12+3=", "1|2|+|3|=|__ end __"},
        {"1.5#", "1|.|__ end __"},             // the 5 goes, the point stays on the 1
        {"1.#", "__ end __"},                  // the 1 and the point it carries go together
        {"12##7", "7|__ end __"},            // each delete takes back its own digit
        {"2x3#v", "2|exp|+/-|__ end __"},     // the exponent's digit goes, the sign stays
        // clang-format on
    };
    for (const Case &c : cases) {
        Recording r;
        ASSERT_NE(nullptr, r.program);
        r.type(c.keys);
        EXPECT_EQ(c.steps, r.steps()) << c.keys;
        EXPECT_EQ(r.program->lineCount - 1, r.program->markLine) << c.keys;
        EXPECT_LT(0, r.changes) << c.keys;
    }
}

// A constant is recorded as the keys that type it again; its signs come after its digits.
TEST(Recorder, AConstantAsItsKeys) {
    Recording r;
    calcEnterConstant("3.14159265358979323846264338327950", &r.calc);
    EXPECT_EQ("3|.|1|4|1|5|9|2|6|5|3|__ end __", r.steps()); // the digits the display shows
    Recording s;
    calcEnterConstant("-6.02E23", &s.calc);
    EXPECT_EQ("6|.|0|2|+/-|exp|2|3|__ end __", s.steps());
    Recording t;
    calcEnterConstant("2.5E-3", &t.calc);
    EXPECT_EQ("0|.|0|0|2|5|__ end __", t.steps());
}

// The recorded keys type the constant's value again, every digit the display row holds: a small
// number keeps its digits instead of spending them on leading zeros.
TEST(Recorder, AConstantKeepsItsDigits) {
    struct Case {
        const char *constant;
        const char *steps;
    } cases[] = {
        // clang-format off
        {"-1.5E-30", "1|.|5|+/-|exp|3|0|+/-|__ end __"},
        {"1.5E-5", "1|.|5|exp|5|+/-|__ end __"},
        // clang-format on
    };
    for (const Case &c : cases) {
        Recording r;
        calcEnterConstant(c.constant, &r.calc);
        EXPECT_EQ(c.steps, r.steps()) << c.constant;
    }
}

// Undo takes a recorded constant back whole, and only the constant.
TEST(Recorder, UndoTakesBackTheWholeConstant) {
    Recording r;
    r.type("5+");
    calcEnterConstant("2.5", &r.calc);
    ASSERT_EQ("5|+|2|.|5|__ end __", r.steps());
    EXPECT_EQ(0, Undo(nullptr, nullptr, r.program));
    EXPECT_EQ("5|+|__ end __", r.steps());
}

// Past the limit the typed number's steps are not known: a delete leaves the recording whole.
TEST(Recorder, TooLongAnEntryIsLeftAsItIs) {
    Recording r;
    r.rec.entryCount = kRecorderEntryLimit;
    r.type("5#");
    EXPECT_EQ("5|__ end __", r.steps());
}

TEST(Recorder, NothingWhileNotRecording) {
    Recording r;
    r.calc.recorderMode = 0;
    r.type("1+2=");
    EXPECT_EQ("__ end __", r.steps());
    EXPECT_EQ(0, r.changes);
}

} // namespace
