// Programs: the step language line by line, labels and jumps, the conditional forms, how runs
// end and report, the plot steps and the point memory, the Program buffer and the Insert list.
#include "buffer.h"
#include "calc.h"
#include "display.h"
#include "number.h"
#include "plotmem.h"
#include "program.h"
#include "programtext.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A calculator with a program listing and a report field, as the program window has them.
struct ProgramRun {
    Calculator calc;
    std::vector<std::string> reports;

    ProgramRun() {
        displayRebuild(&calc);
        calcAllocRegisters(16, &calc);
        calc.hooks.context = this;
        calc.hooks.programReport = [](const char *text, Calculator *c) {
            if (std::string(text) != " ")
                static_cast<ProgramRun *>(c->hooks.context)->reports.push_back(text);
        };
    }
    ~ProgramRun() {
        BufferFree(calc.program);
        calcRelease(&calc);
        freePointMemory(&calc);
        displayRelease();
    }

    // The lines as the listing (no end marker unless given), the last one without its line feed
    // when `lastLineFeed` is false, as a file may end.
    void load(const std::vector<std::string> &lines, bool lastLineFeed = true) {
        BufferFree(calc.program);
        calc.program = ProgramFromLines(lines, lastLineFeed);
        ASSERT_NE(nullptr, calc.program);
    }

    // A normal run from line 1 until it stops.
    long run(const std::vector<std::string> &lines, bool lastLineFeed = true) {
        load(lines, lastLineFeed);
        calc.recorderMode = -1;
        EXPECT_EQ(0, prepareRun(&calc));
        startNormalRun(&calc);
        return programRun(1, &calc);
    }

    std::string shown() const {
        if (calc.state == CALC_ERROR)
            return "ERR";
        std::string s = displayShownText();
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }

    std::string reported() const {
        std::string all;
        for (const std::string &r : reports)
            all += (all.empty() ? "" : "|") + r;
        return all;
    }

    int line() const { return CurrentLineNumber(calc.program); }
};

struct StepCase {
    const char *label;
    std::vector<std::string> lines; // the program; the last line is the step under test
    const char *shown;
    const char *reported;
};

TEST(StepLanguage, EachLineReachesItsEntryPoint) {
    const StepCase cases[] = {
        {"digit", {"5"}, " 5", ""},
        {"point", {"."}, " 0.", ""},
        {"digit 1", {"1"}, " 1", ""},
        {"digit 7 with more text", {"7 and more"}, " 7", ""},
        {"hexadecimal digit D", {"D"}, " D", ""},
        {"reciprocal", {"4", "1/X"}, " 0.25", ""},
        {"10^x is no step", {"10^x"}, " 0", "Fatal Error: syntax error"},
        {"fraction", {"2", ".", "5", "Frac"}, " 0.5", ""},
        {"binary operators", {"7", "-", "2", "X", "3", "="}, " 1", ""},
        {"a binary operator needs a blank", {"2", "-x"}, " 2", "Fatal Error: syntax error"},
        {"Mod is no step", {"7", "Mod"}, " 7", "Fatal Error: syntax error"},
        {"plus", {"2", "+", "3", "="}, " 5", ""},
        {"sign of the entry being typed", {"5", "+/-"}, "-5", ""},
        {"a recorded 1 exp 5 +/-", {"1", "exp", "5", "+/-", "="}, " 1-5", ""},
        {"sign of a result", {"5", "=", "+/-"}, "-5", ""},
        {"plus needs a blank or a slash", {"+x"}, " 0", "Fatal Error: syntax error"},
        {"factorial", {"5", "!"}, " 120", ""},
        {"truncation", {"2", ".", "7", "I"}, " 2", ""},
        {"Trunc is no step", {"2", "Trunc"}, " 2", "Fatal Error: syntax error"},
        {"tangent", {"4", "5", "tan"}, " 1", ""},
        {"square", {"3", "x^2"}, " 9", ""},
        {"power", {"2", "x^y", "3", "="}, " 8", ""},
        {"x alone", {"x"}, " 0", "Fatal Error: syntax error"},
        {"x with another letter", {"xyz"}, " 0", "Fatal Error: syntax error"},
        {"exponent", {"1", "exp", "3", "="}, " 1000", ""},
        {"e to the x", {"0", "e^x"}, " 1", ""},
        {"cosine", {"6", "0", "cos"}, " 0.5", ""},
        {"cos misspelt", {"cow"}, " 0", "Fatal Error: syntax error"},
        {"sine", {"3", "0", "sin"}, " 0.5", ""},
        {"ln", {"1", "ln"}, " 0", ""},
        {"log", {"1", "0", "0", "log"}, " 2", ""},
        {"s with another word", {"sx"}, " 0", "Fatal Error: syntax error"},
        {"store and recall", {"7", "store A", "*Clear All*", "recall A"}, " 7", ""},
        {"recall with no blank", {"7", "store A", "*Clear All*", "recallA"}, " 7", ""},
        {"two letters read as one", {"7", "store AB", "*Clear All*", "recall A"}, " 7", ""},
        {"an empty register", {"recall B"}, "ERR", "Fatal Error: Math Error"},
        {"store without a name", {"7", "store"}, " 7", ""},
        {"recall without a name", {"recall"}, " 0", ""},
        {"a lower-case name", {"7", "store a", "recall A"}, "ERR", "Fatal Error: Math Error"},
        {"parentheses", {"2", "X", "(", "3", "+", "4", ")", "="}, " 14", ""},
        {"a parenthesis first", {"(", "1", "+", "2", ")", "X", "3", "="}, " 9", ""},
        {"clear entry", {"7", "+", "5", "*Clear*", "2", "="}, " 9", ""},
        {"a lone star clears the entry", {"7", "+", "5", "*", "2", "="}, " 9", ""},
        {"clear all", {"7", "+", "5", "*Clear All*", "2", "="}, " 2", ""},
        {"label", {"3", ":here"}, " 3", ""},
        {"undefined label", {"goto nowhere"}, " 0", "Fatal Error: Undefined label"},
        {"g with another word", {"gone"}, " 0", "Fatal Error: syntax error"},
        {"i with another word", {"in"}, " 0", "Fatal Error: syntax error"},
        {"a word beginning with p", {"3", "pause"}, " 3", ""},
        {"plot alone", {"plot"}, " 0", "Fatal Error: syntax error"},
        {"plot Z", {"plot Z"}, " 0", "Fatal Error: syntax error"},
        {"plot X without a value", {"plot X "}, " 0", "Error: can't set plot X"},
        {"unknown character", {"?"}, " 0", "Fatal Error: syntax error"},
        {"radix texts are no steps", {"radix 16  "}, " 0", "Fatal Error: syntax error"},
    };
    for (const StepCase &c : cases) {
        ProgramRun r;
        r.run(c.lines);
        EXPECT_EQ(c.shown, r.shown()) << c.label;
        EXPECT_EQ(c.reported, r.reported()) << c.label;
    }
}

// A file's last line may lack its line feed: every step then reads as it does with one, however
// short it is (a test past its end reads NUL, never throws).
TEST(StepLanguage, ALastLineWithoutALineFeedReadsAsWithOne) {
    const std::vector<std::vector<std::string>> programs = {
        {"plot"},
        {"p"},
        {"plo"},
        {"plot C"},
        {"plot Colo"},
        {"plot Mov"},
        {"goto"},
        {"g"},
        {"got"},
        {"if"},
        {"i"},
        {"5", "if <"},
        {"5", "if >= 0"},
        {"c"},
        {"co"},
        {"s"},
        {"sto"},
        {"store"},
        {"r"},
        {"reca"},
        {"e"},
        {"ex"},
        {"x"},
        {"x^"},
        {"1"},
        {"F"},
        {"*"},
        {"*Clea"},
        {":"},
        {"7", "store"},
        {"recall"},
        {"+"},
        {"+/"},
        {"_"},
    };
    for (const std::vector<std::string> &lines : programs) {
        ProgramRun with, without;
        long steps = with.run(lines);
        EXPECT_EQ(steps, without.run(lines, false)) << lines.back();
        EXPECT_EQ(with.shown(), without.shown()) << lines.back();
        EXPECT_EQ(with.reported(), without.reported()) << lines.back();
    }
}

TEST(Interpreter, LabelsMatchByPrefixFromTheTop) {
    ProgramRun r;
    r.run({"goto loop2", "9", ":loop", "1", "=", "__ end __", ":loop2", "2", "="});
    EXPECT_EQ(" 1", r.shown()); // loop2 lands on loop, the first label that is its prefix
    ProgramRun colon;
    colon.run({"goto anything", "9", ":", "5", "="});
    EXPECT_EQ(" 5", colon.shown()); // a label of a colon alone matches every target
}

// A jump goes straight to its label: the listing's mark moves once per step, however many lines
// lie between the jump and its label (it used to sweep through every line from the top).
TEST(Interpreter, AJumpGoesStraightToItsLabel) {
    std::vector<std::string> lines = {"5", "store A"};
    for (int i = 0; i < 2990; i++)
        lines.push_back(":pad" + std::to_string(i));
    for (const char *step : {":loop", "recall A", "-", "1", "=", "store A", "if > 0 goto loop"})
        lines.push_back(step);
    static long marks;
    marks = 0;
    ProgramRun r;
    r.calc.hooks.programMarked = [](Calculator *) { marks++; };
    long steps = r.run(lines);
    EXPECT_EQ(2992 + 6 * 7, steps); // "if >" jumps at 0 too
    EXPECT_EQ("-1", r.shown());
    EXPECT_LE(marks, 2 * steps) << "marks per step";
}

// The labels are found in the text as it is now: an edit between two runs, or between two steps
// of one run, moves a jump to the label the edited text names first.
TEST(Interpreter, JumpsFollowTheEditedText) {
    ProgramRun r;
    r.run({"goto end", "1", ":end", "2", "="});
    EXPECT_EQ(" 2", r.shown());
    BufferGoto(2, 1, r.calc.program);
    ASSERT_EQ(0, programInsertStep(":end", 1, r.calc.program)); // now the first label "end"
    r.calc.recorderMode = -1;
    prepareRun(&r.calc);
    startNormalRun(&r.calc);
    programRun(1, &r.calc);
    EXPECT_EQ(" 12", r.shown());
    ASSERT_EQ(0, DelRegion(2, 1, 2, kEndOfLineColumn, r.calc.program));
    calcClear(1, &r.calc);
    r.calc.recorderMode = -1;
    startNormalRun(&r.calc);
    ASSERT_EQ(1, runStep(&r.calc)); // the jump, to the old label again
    EXPECT_EQ(3, r.line());
    BufferInsert(2, 1, ":end\n7\n", 7, r.calc.program); // between two steps of the run
    BufferGoto(1, 1, r.calc.program);
    programRun(1, &r.calc);
    EXPECT_EQ(" 712", r.shown());
}

TEST(Interpreter, UndefinedLabelLeavesThePositionOnTheLastLine) {
    ProgramRun r;
    r.run({"goto nowhere", "1", "2", "__ end __"});
    EXPECT_EQ("Fatal Error: Undefined label", r.reported());
    EXPECT_EQ(4, r.line());
    EXPECT_EQ(-1, r.calc.plotState);
    EXPECT_EQ(0, r.calc.recorderMode);
    EXPECT_EQ(1, r.calc.restartPending);
}

TEST(Interpreter, LastLabelWithoutALineFeedKeepsItsName) {
    char path[] = "/tmp/torva-program-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE *f = fdopen(fd, "w");
    fputs("goto end\n9\n:end", f);
    fclose(f);
    ProgramRun r;
    r.calc.program = programLoad(path, 1);
    ASSERT_NE(nullptr, r.calc.program);
    r.calc.recorderMode = -1;
    prepareRun(&r.calc);
    startNormalRun(&r.calc);
    programRun(1, &r.calc);
    EXPECT_EQ("", r.reported()); // "end" matched in full: the 9 was jumped over
    EXPECT_EQ(" 0", r.shown());
    remove(path);
}

struct IfCase {
    const char *label;
    std::vector<std::string> value; // steps leaving X
    const char *condition;
    bool jumps;
};

TEST(Interpreter, ConditionalJumps) {
    const IfCase cases[] = {
        {"< 0 with -3", {"3", "+/-"}, "if < 0 goto t", true},
        {"< 0 with 0", {"0"}, "if < 0 goto t", false},
        {"< 0 with 2", {"2"}, "if < 0 goto t", false},
        {">= 0 with 0", {"0"}, "if >= 0 goto t", true},
        {">= 0 with 2", {"2"}, "if >= 0 goto t", true},
        {">= 0 with -2", {"2", "+/-"}, "if >= 0 goto t", false},
        {"<= 0 with 0", {"0"}, "if <= 0 goto t", true},
        {"<= 0 with -1", {"1", "+/-"}, "if <= 0 goto t", true},
        {"<= 0 with 1", {"1"}, "if <= 0 goto t", false},
        {"> 0 with 0", {"0"}, "if > 0 goto t", true},
        {"pending operations complete first", {"5", "-", "8"}, "if < 0 goto t", true},
        {"another relation never jumps", {"0"}, "if = 0 goto t", false},
    };
    for (const IfCase &c : cases) {
        ProgramRun r;
        std::vector<std::string> lines = c.value;
        lines.push_back(c.condition);
        for (const char *tail : {"7", "=", "__ end __", ":t", "1", "="})
            lines.push_back(tail);
        r.run(lines);
        EXPECT_EQ(c.jumps ? " 1" : " 7", r.shown()) << c.label;
        EXPECT_EQ("", r.reported()) << c.label;
    }
}

TEST(Interpreter, AJumpMustBeWrittenAgainstZero) {
    ProgramRun taken;
    taken.run({"3", "+/-", "if < 1 goto t", "4", "=", ":t", "5", "="});
    EXPECT_EQ("Fatal Error: syntax error", taken.reported());
    ProgramRun notTaken;
    notTaken.run({"3", "if < 1 goto t", "4", "=", "__ end __", ":t", "5", "="});
    EXPECT_EQ("", notTaken.reported());
    EXPECT_EQ(" 4", notTaken.shown());
}

TEST(Interpreter, IntegerCountdownReadsTheComplementSign) {
    ProgramRun r;
    calcSetFormat(1, &r.calc);
    r.run({"3", "store A", ":loop", "recall A", "-", "1", "=", "store A", "if >= 0 goto loop",
           "__ end __"});
    EXPECT_EQ("", r.reported());
    EXPECT_EQ(" 9999999999", r.shown()); // -1 in ten decimal digits
    ProgramRun below;
    calcSetFormat(1, &below.calc);
    below.run({"0", "-", "2", "if < 0 goto t", "7", "=", "__ end __", ":t", "1", "="});
    EXPECT_EQ(" 1", below.shown());
}

TEST(Interpreter, NoResultForIf) {
    ProgramRun r;
    r.run({"5", "/", "0", "="});
    EXPECT_EQ("Fatal Error: Math Error", r.reported());
    r.reports.clear();
    r.run({"if < 0 goto t", ":t"});
    EXPECT_EQ("Fatal Error: No result for if|Fatal Error: Math Error", r.reported());
}

TEST(Interpreter, ASyntaxErrorStopsTheRunOnTheNextLine) {
    ProgramRun r;
    long steps = r.run({"1", "bad", "2", "3", "__ end __"});
    EXPECT_EQ(2, steps);
    EXPECT_EQ("Fatal Error: syntax error", r.reported());
    EXPECT_EQ(-1, r.calc.plotState);
    EXPECT_EQ(3, r.line());
    EXPECT_EQ(3, r.calc.program->markLine);
    EXPECT_EQ(0, r.calc.recorderMode);
}

TEST(Interpreter, RunsEndWhereTheProgramEnds) {
    ProgramRun marker;
    EXPECT_EQ(1, marker.run({"__ end __"}));
    EXPECT_EQ("", marker.reported());
    EXPECT_EQ(1, marker.calc.restartPending);
    ProgramRun empty;
    empty.run({"1", "", "2"});
    EXPECT_EQ(" 1", empty.shown()); // the empty line ends the run
    ProgramRun last;
    last.run({"1", "+", "2", "="});
    EXPECT_EQ(" 3", last.shown());
    EXPECT_EQ(0, last.calc.recorderMode);
}

TEST(Interpreter, StepOnTheEndMarker) {
    ProgramRun r;
    r.load({"__ end __"});
    r.calc.restartPending = 0;
    r.calc.recorderMode = -1;
    EXPECT_EQ(0, runStep(&r.calc));
    EXPECT_EQ(1, r.calc.restartPending);
    EXPECT_EQ(0, r.calc.recorderMode);
}

TEST(Interpreter, PlotModesDoNotStopAtTheEnd) {
    ProgramRun r;
    r.calc.programMode = 1;
    r.load({"2", "__ end __"});
    r.calc.recorderMode = -1;
    r.calc.hooks.programStopped = [](Calculator *) { FAIL() << "a plot evaluation stopped"; };
    EXPECT_EQ(0, runStep(&r.calc)); // the next line is the end marker: this evaluation ends
    EXPECT_EQ(-1, r.calc.recorderMode);
}

// A program computes in the calculator's function mode.
TEST(Interpreter, ProgramsRunInTheFunctionMode) {
    for (int exact = 0; exact <= 1; exact++) {
        ProgramRun r;
        r.calc.exactFunctions = exact;
        r.run({"2", "ln", "X", "1", "0", "="});
        EXPECT_EQ(exact ? " 6.931471806" : " 6.931471805", r.shown()) << "exact " << exact;
    }
}

TEST(Interpreter, AStepLimitEndsALoop) {
    ProgramRun r;
    r.calc.stepLimit = 50;
    EXPECT_EQ(50, r.run({":a", "goto a"}));
    EXPECT_EQ("Fatal Error: step limit reached", r.reported());
}

TEST(Interpreter, Messages) {
    ProgramRun r;
    EXPECT_EQ(0, programMessage("careful", 0, &r.calc));
    EXPECT_EQ(0, programMessage("wrong", 1, &r.calc));
    EXPECT_EQ(0, programMessage("ignored", 3, &r.calc));
    EXPECT_EQ(0, r.calc.plotState);
    EXPECT_EQ(-1, programMessage("over", 2, &r.calc));
    EXPECT_EQ(-1, r.calc.plotState);
    EXPECT_EQ("Warning: careful|Error: wrong|Fatal Error: over", r.reported());
    EXPECT_EQ(2, prepareRun(&r.calc)); // no Program
}

TEST(PlotSteps, AppendToThePointMemory) {
    ProgramRun r;
    r.run({"1",
           "0",
           ".",
           "7",
           "=",
           "plot X",
           "2",
           ".",
           "9",
           "+/-",
           "=",
           "plot Y",
           "plot Move",
           "1",
           "2",
           "=",
           "plot X ",
           "plot Line",
           "plot Color 3",
           "plot Color",
           "plot Color   25",
           "plot Color -1"});
    EXPECT_EQ("", r.reported());
    struct Node {
        int kind, x, y;
    } expected[] = {{PLOT_START, 0, 0}, {PLOT_MOVE, 10, -2}, {PLOT_LINE, 12, -2},
                    {PLOT_COLOR, 3, 0}, {PLOT_COLOR, 0, 0},  {PLOT_COLOR, 0, 0},
                    {PLOT_COLOR, 0, 0}};
    const PlotNode *n = r.calc.plotHead;
    for (const Node &e : expected) {
        ASSERT_NE(nullptr, n);
        EXPECT_EQ(e.kind, n->kind);
        EXPECT_EQ(e.x, n->x);
        EXPECT_EQ(e.y, n->y);
        n = n->next;
    }
    EXPECT_EQ(nullptr, n);
    EXPECT_DOUBLE_EQ(12.0, r.calc.plotX);
}

int gFullPaints;

TEST(PlotSteps, ANewRunStartsAFreshPointMemory) {
    ProgramRun r;
    gFullPaints = 0;
    r.calc.hooks.plotPaint = [](int full, Calculator *) { gFullPaints += full; };
    r.run({"5", "plot X", "plot Move"});
    EXPECT_EQ(0, gFullPaints); // the first memory had nothing to clear
    r.run({"plot Line"});
    EXPECT_EQ(1, gFullPaints); // the old points were cleared from the plot window
    ASSERT_NE(nullptr, r.calc.plotHead);
    EXPECT_EQ(PLOT_START, r.calc.plotHead->kind);
    ASSERT_NE(nullptr, r.calc.plotHead->next);
    EXPECT_EQ(PLOT_LINE, r.calc.plotHead->next->kind);
    EXPECT_EQ(nullptr, r.calc.plotHead->next->next);
}

TEST(Program, NewProgramHoldsTheEndMarkerOutsideUndo) {
    Buffer *p = programCreate();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(std::string("__ end __\n"), std::string(LockLine(p), CurrentLineLength(p)));
    EXPECT_EQ(0, programInsertStep("  \t5", 1, p));
    EXPECT_EQ(2, CurrentLineNumber(p)); // still on the end marker, now the second line
    BufferGoto(1, 1, p);
    EXPECT_EQ("5\n", std::string(LockLine(p), CurrentLineLength(p)));
    EXPECT_EQ(0, Undo(nullptr, nullptr, p));
    BufferGoto(1, 1, p);
    EXPECT_EQ("__ end __\n", std::string(LockLine(p), CurrentLineLength(p)));
    EXPECT_NE(0, Undo(nullptr, nullptr, p)); // nothing more: the marker cannot be undone
    BufferGoto(1, 1, p);
    EXPECT_EQ("__ end __\n", std::string(LockLine(p), CurrentLineLength(p)));
    std::string longStep(200, 'z');
    programInsertStep(longStep.c_str(), 0, p);
    BufferGoto(1, 1, p);
    EXPECT_EQ(std::string(126, 'z') + "\n", std::string(LockLine(p), CurrentLineLength(p)));
    BufferFree(p);
}

TEST(Program, InsertListSteps) {
    struct Case {
        int entry;
        const char *answer;
        int number;
        const char *step;
    } cases[] = {
        {1, "loop", 0, ":loop"},          {2, "loop", 0, "goto loop"},
        {3, "neg", 0, "if < 0 goto neg"}, {4, "pos", 0, "if >= 0 goto pos"},
        {5, nullptr, 0, "plot X "},       {6, nullptr, 0, "plot Y "},
        {7, nullptr, 3, "plot Color 3"},  {7, nullptr, 5, "plot Color 0"},
        {7, nullptr, -1, "plot Color 0"}, {8, nullptr, 0, "plot Move "},
        {9, nullptr, 0, "plot Line "},    {10, "x", 0, ""},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(c.step, composeTemplateStep(c.entry, c.answer, c.number)) << c.entry;
    std::string name(200, 'n');
    EXPECT_EQ(":" + std::string(125, 'n'), std::string(composeTemplateStep(1, name.c_str(), 0)));
    EXPECT_STREQ("label", kStepTemplate[0].text);
    EXPECT_EQ(COLOR_PROMPT, kStepTemplate[6].kind);
}

TEST(Program, LoadAndSaveThroughTheBufferFiles) {
    char path[] = "/tmp/torva-program-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE *f = fdopen(fd, "w");
    fputs("x^2\n+\n1\n=\n__ end __\n", f);
    fclose(f);
    ProgramRun r;
    r.calc.program = programLoad(path, 1);
    ASSERT_NE(nullptr, r.calc.program);
    calcKey('3', &r.calc);
    r.calc.recorderMode = -1;
    prepareRun(&r.calc);
    startNormalRun(&r.calc);
    programRun(1, &r.calc);
    EXPECT_EQ(" 10", r.shown());
    remove(path);
    EXPECT_EQ(nullptr, programLoad("/nonexistent/torva/program", 1));
}

} // namespace
