// The program window on the real panel: recording keys into steps (and replaying the recording
// through torva-cli to the value the display showed), editing, Load and Save, Step and Run, the
// plot modes with the plot window's pixels, closing in the middle of things, and the geometry
// kept in the settings.
#include "paneltest.h"

#include "keys.h"
#include "plot.h"
#include "plotmem.h"
#include "program.h"
#include "progwind.h"
#include "textwind.h"
#include "windmsg.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

using namespace windtest;
using namespace paneltest;

namespace {

using Lines = std::vector<std::string>;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A modal dialog answered as the user would, once its loop runs: found among the top windows
// (and the dialogs hanging below them) by its table name, then handed to `act`.
struct DialogAnswer {
    std::string name;
    std::function<void(Window *)> act;
    int tries = 0;
    bool answered = false;
};

Window *FindDialog(const std::string &name) {
    Window *first = FirstTopWindow();
    for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
        for (Window *c = w; c; c = c->chain)
            if (c->name && name == c->name && WindowKind(c) == kWindowKindDialog)
                return c;
    return nullptr;
}

void AnswerDialog(void *context) {
    DialogAnswer *a = (DialogAnswer *)context;
    Window *d = FindDialog(a->name);
    if (!d) {
        if (++a->tries < 100)
            HeadlessAt(HeadlessNow() + 20, AnswerDialog, a);
        return;
    }
    a->answered = true;
    a->act(d);
}

void Answer(DialogAnswer *a) { HeadlessAt(HeadlessNow() + 20, AnswerDialog, a); }

// The file question: the name typed and OK, or Cancel when the name is empty.
std::function<void(Window *)> FileAnswer(const std::string &path) {
    return [path](Window *d) {
        if (path.empty()) {
            Click(FindNamedWindow("Cancel", d), 4, 4);
            return;
        }
        SetItemText("FILENAME", path.c_str(), (int)path.size(), d);
        Click(FindNamedWindow("OK", d), 4, 4);
    };
}

class ProgramTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_NE(nullptr, Build());
    }
    // Opens the window through the panel's key.
    Window *Open() {
        Press("Program");
        Window *w = Program();
        EXPECT_NE(nullptr, w);
        return w;
    }
    Window *Program() {
        for (Window *w = FirstTopWindow(); w; w = w->next) {
            if (w->text && strcmp(w->text, kProgramTitle) == 0)
                return w;
            if (w->next == FirstTopWindow())
                break;
        }
        return nullptr;
    }
    // Types the keys; '#' presses the panel's "Del" key.
    void Keys(const std::string &keys) {
        std::string run;
        for (char c : keys) {
            if (c != '#') {
                run += c;
                continue;
            }
            Type(run.c_str());
            run.clear();
            Press("Del");
        }
        Type(run.c_str());
    }
    Window *Item(const char *name) { return FindNamedWindow(name, Program()); }
    void PressIn(const char *name, int ms = 100) {
        Window *b = Item(name);
        ASSERT_NE(nullptr, b) << name;
        Click(b, 3, 3);
        Settle(ms);
    }
    Buffer *Steps() {
        TextDesc *d = TextDescOf(Item("proglist"));
        return d ? d->buffer : nullptr;
    }
    // The program's lines, without their line feeds, up to the end marker.
    Lines Listing() {
        Lines out;
        Buffer *b = Steps();
        if (!b)
            return out;
        int line = CurrentLineNumber(b), column = CurrentColumn(b);
        for (int n = 1; n <= b->lineCount; n++) {
            BufferGoto(n, 1, b);
            if (CurrentLineNumber(b) != n)
                break;
            const char *text = LockLine(b);
            std::string s(text ? text : "", (size_t)CurrentLineLength(b));
            if (!s.empty() && s.back() == '\n')
                s.pop_back();
            if (s.empty() && n == b->lineCount)
                break;
            out.push_back(s);
        }
        BufferGoto(line, column, b);
        return out;
    }
    std::string Field(const char *name) {
        Window *f = FindNamedWindow(name, Item("progstatus"));
        return f && f->text ? f->text : "";
    }
    bool On(const char *name) {
        Window *b = Item(name);
        return b && !(b->flags & kWindowDisabled);
    }
    // Runs torva-cli on the program text with the panel's digits and fixed places; its display.
    std::string Replay(const std::string &program, const std::string &options = "") {
        std::string file = configDir + "/replay.tor";
        WriteFile(file, program);
        std::string command = std::string(TORVA_CLI) + " " + options + " " + file + " 2>/dev/null";
        FILE *p = popen(command.c_str(), "r");
        std::string out;
        char chunk[256];
        while (p && fgets(chunk, sizeof chunk, p))
            out += chunk;
        if (p)
            pclose(p);
        std::string squeezed;
        for (char c : out)
            if (c != ' ' && c != '\n')
                squeezed += c;
        return squeezed;
    }
    // The panel's display as torva-cli prints it: the cells, then the exponent's sign and digits.
    static std::string CliForm(const std::string &shown) {
        std::string out;
        for (char c : shown)
            if (c != '|')
                out += c;
        return out;
    }
    std::string ProgramText() {
        std::string out;
        for (const std::string &l : Listing())
            out += l + "\n";
        return out;
    }
};

TEST_F(ProgramTest, OpensBesideThePanelAndShows) {
    Window *w = Open();
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(Lines{kEndMarker}, Listing());
    EXPECT_EQ("Line: 1", Field("lino"));
    EXPECT_EQ("-New-", Field("program"));
    EXPECT_EQ("Edit", Field("status"));
    ASSERT_EQ(0, HeadlessSavePng(w->host, "/tmp/progwind.png"));
    EXPECT_FALSE(ReadFile("/tmp/progwind.png").empty());
}

// Recording: every operation becomes a step before the current line, the end marker stays last,
// and the buttons follow the state.
TEST_F(ProgramTest, RecordingWritesOneStepPerOperation) {
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    EXPECT_EQ("Record", Field("status"));
    Type("2+3=");
    EXPECT_EQ((Lines{"2", "+", "3", "=", kEndMarker}), Listing());
    EXPECT_EQ("Line: 5", Field("lino"));
    EXPECT_EQ("5|", Shown());
    // While recording only Edit, Undo, Insert, Delete and Close can be pressed.
    for (const char *name : {"Edit", "Undo", "Insert", "Delete", "Close"})
        EXPECT_TRUE(On(name)) << name;
    for (const char *name : {"Load", "Save", "Record", "Step", "Run", "Stop", "Normal", "2D Plot",
                             "3D Plot", "Options", "Print"})
        EXPECT_FALSE(On(name)) << name;
    PressIn("Edit");
    EXPECT_EQ("Edit", Field("status"));
    for (const char *name : {"Load", "Save", "Record", "Step", "Run", "Options", "Print"})
        EXPECT_TRUE(On(name)) << name;
    EXPECT_FALSE(On("Stop"));
    // Not recording: the keys compute and write nothing.
    Type("4+4=");
    EXPECT_EQ((Lines{"2", "+", "3", "=", kEndMarker}), Listing());
}

// The delete key while a number is typed takes the step of the character it removes, even when
// a sign change was recorded after that character.
TEST_F(ProgramTest, DeleteWhileTypingTakesThatCharactersStep) {
    struct Case {
        const char *keys;
        Lines steps;
    } cases[] = {
        {"1.#5=", {"5", "="}},        // the point rides on the 1: both go
        {"12v#=", {"1", "+/-", "="}}, // the sign change stays
        {"12.5#=", {"1", "2", ".", "="}},
        {"3x12#=", {"3", "exp", "1", "="}},
        {"3x1v##=", {"3", "exp", "+/-", "="}}, // the empty exponent takes nothing more
        {"0.#7=", {"0", "7", "="}},            // "0." is the point's byte; the zero was dropped
        {"00#4=", {"0", "0", "4", "="}},       // dropped zeros own no byte
    };
    ASSERT_NE(nullptr, Open());
    for (const Case &c : cases) {
        PressIn("Record");
        Keys(c.keys);
        PressIn("Edit");
        Lines want = c.steps;
        want.push_back(kEndMarker);
        EXPECT_EQ(want, Listing()) << c.keys;
        EXPECT_EQ(CliForm(Shown()), Replay(ProgramText())) << c.keys;
        // The next case starts from a new program.
        DialogAnswer discard{"Choice",
                             [](Window *d) { Click(FindNamedWindow("CHOICE1", d), 4, 4); }};
        Answer(&discard);
        Click(Item("Load"), 3, 3, 2);
        Settle(300);
        EXPECT_EQ(Lines{kEndMarker}, Listing()) << c.keys;
    }
}

// Delete takes the current step as one undoable edit; the end marker is never deleted and
// Undo never takes it.
TEST_F(ProgramTest, DeleteUndoAndTheEndMarker) {
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("12+");
    PressIn("Edit");
    Buffer *b = Steps();
    ASSERT_NE(nullptr, b);
    BufferGoto(2, 1, b);
    PressIn("Delete");
    EXPECT_EQ((Lines{"1", "+", kEndMarker}), Listing());
    PressIn("Undo");
    EXPECT_EQ((Lines{"1", "2", "+", kEndMarker}), Listing());
    BufferGoto(4, 1, b);
    PressIn("Delete");
    EXPECT_EQ((Lines{"1", "2", "+", kEndMarker}), Listing());
    for (int i = 0; i < 8; i++)
        PressIn("Undo");
    EXPECT_EQ(Lines{kEndMarker}, Listing());
}

// Step runs one step from the arrow: the line number follows and the display computes; Step on
// the end marker stops, and the next Step starts the program again with a clear report.
TEST_F(ProgramTest, StepThroughAProgram) {
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("2+3=");
    PressIn("Edit");
    Press("AllClr");
    Buffer *b = Steps();
    BufferGoto(1, 1, b);
    b->markLine = 1;
    for (int line = 2; line <= 5; line++) {
        PressIn("Step");
        EXPECT_EQ("Line: " + std::to_string(line), Field("lino"));
        EXPECT_EQ("Edit", Field("status"));
    }
    EXPECT_EQ("5|", Shown());
    // The step before the end marker ended the run: the next Step starts again and stops on
    // the marker at once.
    EXPECT_EQ(1, calc()->restartPending);
    PressIn("Step");
    EXPECT_EQ("Line: 5", Field("lino"));
    EXPECT_EQ("5|", Shown());
    EXPECT_EQ(1, calc()->restartPending);
    EXPECT_EQ("Edit", Field("status"));
}

// A program file read and written again is the same file, byte for byte (a label, a step of the
// longest length, a last line without its line feed); a cancelled question changes nothing.
TEST_F(ProgramTest, LoadAndSaveKeepTheFileAndCancelKeepsEverything) {
    const std::string longStep = "goto " + std::string(121, 'q');
    const std::string text = ":loop\n1\n+\n" + longStep + "\n=\n" + kEndMarker;
    const std::string path = configDir + "/fixture.tor";
    WriteFile(path, text);
    ASSERT_NE(nullptr, Open());
    DialogAnswer load{"Open_File", FileAnswer(path)};
    Answer(&load);
    PressIn("Load", 400);
    ASSERT_TRUE(load.answered);
    EXPECT_EQ((Lines{":loop", "1", "+", longStep, "=", kEndMarker}), Listing());
    EXPECT_EQ("fixture.tor", Field("program"));
    EXPECT_EQ("Line: 1", Field("lino"));

    // A cancelled Load keeps the program and its name; Save then writes the same file.
    DialogAnswer cancel{"Open_File", FileAnswer("")};
    Answer(&cancel);
    PressIn("Load", 400);
    ASSERT_TRUE(cancel.answered);
    EXPECT_EQ("fixture.tor", Field("program"));
    struct stat before;
    ASSERT_EQ(0, stat(path.c_str(), &before));
    PressIn("Save", 300);
    EXPECT_EQ(text, ReadFile(path));
    EXPECT_EQ(0, HeadlessBoxCount());

    // Save As where no file can be made (a file stands where the directory should): a
    // message, and the program keeps its name and its file.
    DialogAnswer saveAs{"Open_File", FileAnswer(path + "/new.tor")};
    Answer(&saveAs);
    Click(Item("Save"), 3, 3, 2);
    Settle(400);
    ASSERT_TRUE(saveAs.answered);
    EXPECT_EQ(1, HeadlessBoxCount());
    EXPECT_EQ("fixture.tor", Field("program"));
    EXPECT_STREQ(path.c_str(), Steps()->name);
    EXPECT_EQ(text, ReadFile(path));
}

// A new program saved into a directory that cannot be written stays new: the next Save asks
// again. Files that are not regular are refused and the program stays.
TEST_F(ProgramTest, FailedSaveKeepsTheProgramNewAndOddFilesAreRefused) {
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("7=");
    PressIn("Edit");
    const std::string missing = configDir + "/no/such/dir/p.tor";
    DialogAnswer save{"Open_File", FileAnswer(missing)};
    Answer(&save);
    PressIn("Save", 400);
    ASSERT_TRUE(save.answered);
    EXPECT_EQ(1, HeadlessBoxCount());
    EXPECT_EQ("-New-", Field("program"));
    EXPECT_TRUE(Steps()->flags & kBufNewFile);
    HeadlessBoxClear();

    for (const std::string &odd : {configDir, std::string("/dev/null")}) {
        DialogAnswer load{"Open_File", [odd](Window *d) {
                              SetItemText("FILENAME", odd.c_str(), -1, d);
                              Click(FindNamedWindow("OK", d), 4, 4);
                          }};
        // Nothing to save first: the question about changes is answered Discard.
        DialogAnswer discard{"Choice",
                             [](Window *d) { Click(FindNamedWindow("CHOICE1", d), 4, 4); }};
        Answer(&discard);
        Answer(&load);
        PressIn("Load", 600);
        EXPECT_EQ((Lines{"7", "=", kEndMarker}), Listing()) << odd;
    }
}

} // namespace
