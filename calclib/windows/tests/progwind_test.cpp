// The program window on the real panel: recording keys into steps (and replaying the recording
// through torva-cli to the value the display showed), editing, Load and Save, Step and Run, the
// plot modes with the plot window's pixels, closing in the middle of things, and the geometry
// kept in the settings.
#include "paneltest.h"
#include "pdfraster.h"

#include "display.h"
#include "keys.h"
#include "number.h"
#include "plot.h"
#include "plotmem.h"
#include "plotpaint.h"
#include "print.h"
#include "program.h"
#include "progwind.h"
#include "textwind.h"
#include "windmsg.h"

#include <cairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
    // Loads a program file through the Load button, answering the file question.
    void LoadFile(const std::string &path) {
        DialogAnswer load{"Open_File", FileAnswer(path)};
        Answer(&load);
        PressIn("Load", 400);
        ASSERT_TRUE(load.answered);
    }
    // Runs the loop for `count` idle passes of a runner window: a run that repaints on every
    // step keeps host messages coming, and the headless clock does not move while they do, so
    // a timer would never end the wait.
    void Passes(int count) {
        static int left;
        left = count;
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "passes", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        runner->onIdle = [](Window *w) {
            if (--left <= 0)
                CloseWindow(w);
            return 1;
        };
        ASSERT_EQ(0, AddIdleCallback(runner->onIdle, runner));
        RunModal(runner);
    }
    // Lets the run or plot go on until the window is back in Edit.
    void RunToEnd() {
        for (int i = 0; i < 200 && calc()->recorderMode < 0; i++)
            Settle(50);
        EXPECT_EQ("Edit", Field("status"));
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
    const std::string shot = TestPicturePath("progwind.png");
    ASSERT_EQ(0, HeadlessSavePng(w->host, shot.c_str()));
    EXPECT_FALSE(ReadFile(shot).empty());
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
    PressIn("Undo"); // a loaded program has nothing to undo
    EXPECT_EQ((Lines{":loop", "1", "+", longStep, "=", kEndMarker}), Listing());

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
// again. A device, a FIFO, a binary file, a symlink loop and a file too large are refused with a
// message, and the program stays; a directory opens the file dialog there instead.
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

    const std::string binary = configDir + "/binary.tor", loop = configDir + "/loop.tor",
                      big = configDir + "/big.tor";
    WriteFile(binary, std::string("1\n\0\x01+\n", 6));
    ASSERT_EQ(0, symlink(loop.c_str(), loop.c_str()));
    WriteFile(big, "1\n");
    ASSERT_EQ(0, truncate(big.c_str(), kProgramFileLimit + 1));
    const std::string fifo = configDir + "/fifo.tor"; // a reader would wait for a writer
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    for (const std::string &odd : {std::string("/dev/null"), fifo, binary, loop, big}) {
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
        EXPECT_EQ(1, HeadlessBoxCount()) << odd;
        HeadlessBoxClear();
    }
    // A directory: the file dialog lists it, and Cancel there leaves the program as it was.
    std::string listed;
    DialogAnswer load{"Open_File", FileAnswer(configDir)};
    DialogAnswer browse{"Open_File", nullptr};
    browse.act = [&browse, &listed](Window *d) {
        Window *files = d->chain;
        while (files && !(files->name && strcmp(files->name, "FILES") == 0))
            files = files->chain;
        if (!files) { // still the question: the file dialog comes once it is answered
            browse.answered = false;
            if (++browse.tries < 100)
                HeadlessAt(HeadlessNow() + 20, AnswerDialog, &browse);
            return;
        }
        Window *dir = FindNamedWindow("DIR", d);
        listed = dir && dir->text ? dir->text : "";
        Click(FindNamedWindow("Cancel", d), 4, 4);
    };
    DialogAnswer discard{"Choice", [](Window *d) { Click(FindNamedWindow("CHOICE1", d), 4, 4); }};
    Answer(&discard);
    Answer(&load);
    HeadlessAt(HeadlessNow() + 60, AnswerDialog, &browse);
    PressIn("Load", 1000);
    EXPECT_TRUE(browse.answered);
    EXPECT_EQ(configDir, listed);
    EXPECT_EQ((Lines{"7", "=", kEndMarker}), Listing());
    EXPECT_EQ(0, HeadlessBoxCount());
}

// "Save changes?" is one question at a time: the close box clicked again while it is open does
// nothing, and Cancel keeps the window and its program. When the window goes while the question
// is open (the panel closing), the Load that asked ends without touching it.
TEST_F(ProgramTest, SaveChangesIsAskedOnceAndSurvivesItsWindowGoing) {
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("7=");
    PressIn("Edit");
    auto questions = [] { // the "Save changes?" dialogs open now
        int n = 0;
        for (Window *w = FirstTopWindow(); w; w = w->next == FirstTopWindow() ? nullptr : w->next)
            for (Window *c = w; c; c = c->chain)
                n += c->name && strcmp(c->name, "Choice") == 0;
        return n;
    };
    int open = -1;
    DialogAnswer later{"Choice", [&open, &questions](Window *d) {
                           open = questions();
                           Click(FindNamedWindow("CHOICE2", d), 4, 4); // Cancel
                       }};
    DialogAnswer closeAgain{"Choice", [this, &later](Window *) {
                                PostEvent(kEventClose, 0, Program());
                                HeadlessAt(HeadlessNow() + 100, AnswerDialog, &later);
                            }};
    Answer(&closeAgain);
    PressIn("Load", 600);
    ASSERT_TRUE(later.answered);
    EXPECT_EQ(1, open);
    EXPECT_EQ(0, questions());
    ASSERT_NE(nullptr, Program());
    EXPECT_EQ((Lines{"7", "=", kEndMarker}), Listing());

    DialogAnswer panelGoes{"Choice", [this](Window *d) {
                               WindowRef question = WindowRefOf(d);
                               CloseWindow(panel);
                               if (Window *still = WindowRefGet(question)) // not owned: answer it
                                   Click(FindNamedWindow("CHOICE2", still), 4, 4);
                           }};
    Answer(&panelGoes);
    PressIn("Load", 600);
    ASSERT_TRUE(panelGoes.answered);
    EXPECT_EQ(nullptr, Program());
}

// A recording replays through torva-cli to the value the display showed: numbers typed, a
// constant from the panel (recorded as its digits, the signs after them) and fixed places.
TEST_F(ProgramTest, RecordingsReplayToTheShownValue) {
    struct Case {
        const char *name;
        std::function<void(Calculator *)> before; // settings and constants, as the panel does
        const char *keys;
        const char *options; // the same settings for torva-cli
    } cases[] = {
        {"pi times 2, two fixed places",
         [](Calculator *c) {
             c->displayFormat |= 0x10;
             c->fixedPlaces = 2;
         },
         "pX2=", "--fixed 2"},
        {"a negative constant", [](Calculator *c) { calcEnterConstant("-0.000125", c); },
         "X3=", ""},
        {"a large negative constant", [](Calculator *c) { calcEnterConstant("-6.02E+23", c); },
         "/2=", ""},
        {"a tiny constant keeps its digits",
         [](Calculator *c) { calcEnterConstant("-1.5E-30", c); }, "X2=", ""},
        {"typed, with an exponent and signs", nullptr, "1.5vx3v+1=", ""},
        {"scientific notation", [](Calculator *c) { c->displayFormat = 2; },
         "p/7=", "--notation sci"},
    };
    ASSERT_NE(nullptr, Open());
    for (const Case &c : cases) {
        Press("AllClr");
        PressIn("Record");
        if (c.before)
            c.before(calc());
        Keys(c.keys);
        PressIn("Edit");
        EXPECT_EQ(CliForm(Shown()), Replay(ProgramText(), c.options)) << c.name << "\n"
                                                                      << ProgramText();
        calc()->displayFormat = 1;
        calc()->fixedPlaces = -1;
        DialogAnswer discard{"Choice",
                             [](Window *d) { Click(FindNamedWindow("CHOICE1", d), 4, 4); }};
        Answer(&discard);
        Click(Item("Load"), 3, 3, 2);
        Settle(300);
        ASSERT_EQ(Lines{kEndMarker}, Listing()) << c.name;
    }
}

// A 2D plot run in the window paints the same picture torva-cli writes for the program.
TEST_F(ProgramTest, PlotInTheWindowMatchesTheCommandLine) {
    const std::string program = configDir + "/half.tor";
    WriteFile(program, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("2D Plot");
    EXPECT_EQ(1, calc()->programMode);
    EXPECT_FALSE(On("Step"));
    PressIn("Run");
    RunToEnd();
    Window *plot = Item("progplot");
    ASSERT_NE(nullptr, plot);
    const int width = plot->right - plot->left + 1, height = plot->bottom - plot->top + 1;
    const std::string png = TestPicturePath("progwind-half.png");
    const std::string command = std::string(TORVA_CLI) + " --plot " + png + " --plot-size " +
                                std::to_string(width) + "x" + std::to_string(height) + " " +
                                program + " >/dev/null 2>&1";
    ASSERT_EQ(0, system(command.c_str()));
    cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(image));
    ASSERT_EQ(width, cairo_image_surface_get_width(image));
    ASSERT_EQ(height, cairo_image_surface_get_height(image));
    cairo_surface_flush(image);
    const unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    int differ = 0, ink = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t argb;
            memcpy(&argb, data + y * stride + x * 4, 4);
            const int64_t shown = HeadlessPixel(plot->host, x, y);
            differ += (int64_t)(argb & 0xFFFFFF) != shown;
            ink += shown != 0xFFFFFF;
        }
    cairo_surface_destroy(image);
    EXPECT_EQ(0, differ);
    EXPECT_GT(ink, 500);
    ASSERT_EQ(0, HeadlessSavePng(Program()->host, TestPicturePath("progwind-plot.png").c_str()));
}

// Closing the window ends what runs in it: a plot stops, a recording ends, and the panel goes
// on computing without it.
TEST_F(ProgramTest, ClosingEndsRunsAndRecordings) {
    const std::string program = configDir + "/slow.tor";
    WriteFile(program, std::string("X\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("3D Plot");
    calc()->plotRefreshRate = 0;
    calc()->plotDelta = 1; // 160 000 points: far more than the passes below compute
    Click(Item("Run"), 3, 3);
    Passes(30);
    ASSERT_GT(0, calc()->recorderMode);
    Click(Key("Program"), 3, 3); // the panel's key closes the window
    Passes(10);
    Settle();
    EXPECT_EQ(nullptr, Program());
    EXPECT_EQ(0, calc()->recorderMode);
    EXPECT_EQ(0, IdleCount());
    Press("AllClr");
    Type("1+1=");
    EXPECT_EQ("2|", Shown());

    // Closed while recording: the keys compute and record nowhere.
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("5");
    DialogAnswer discard{"Choice", [](Window *d) { Click(FindNamedWindow("CHOICE1", d), 4, 4); }};
    Answer(&discard);
    Press("Program");
    Settle(300);
    EXPECT_TRUE(discard.answered);
    EXPECT_EQ(nullptr, Program());
    EXPECT_EQ(0, calc()->recorderMode);
    EXPECT_EQ(nullptr, calc()->hooks.recordStep);
    Press("AllClr");
    Type("3X3=");
    EXPECT_EQ("9|", Shown());
    // Not recording any more: an empty register cannot be recalled (a recording recalls 0).
    Press("AllClr");
    calcRecall(5, calc());
    EXPECT_TRUE(calcIsError(calc()));

    // Closed from outside while its Insert list runs: the list goes first, and nothing of it
    // acts afterwards.
    ASSERT_NE(nullptr, Open());
    DialogAnswer list{"Insert", [this](Window *) { CloseWindow(Program()); }};
    Answer(&list);
    PressIn("Insert", 400);
    EXPECT_TRUE(list.answered);
    EXPECT_EQ(nullptr, FindDialog("Insert"));
    EXPECT_EQ(nullptr, Program());
}

// Cancel in "Save changes?" keeps the window and its program; Quit asks the same.
TEST_F(ProgramTest, CancelKeepsAModifiedProgram) {
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("4+");
    PressIn("Edit");
    DialogAnswer cancel{"Choice", [](Window *d) { Click(FindNamedWindow("CHOICE2", d), 4, 4); }};
    Answer(&cancel);
    PressIn("Close", 300);
    EXPECT_TRUE(cancel.answered);
    ASSERT_NE(nullptr, Program());
    EXPECT_EQ((Lines{"4", "+", kEndMarker}), Listing());
    DialogAnswer quit{"Choice", [](Window *d) { Click(FindNamedWindow("CHOICE2", d), 4, 4); }};
    Answer(&quit);
    Press("Quit");
    Settle(300);
    EXPECT_TRUE(quit.answered);
    EXPECT_TRUE(WindowIsLive(panel));
    EXPECT_NE(nullptr, Program());
}

// A run cannot be moved under itself: clicks in the listing and Undo change nothing while it
// runs, and Escape stops it.
TEST_F(ProgramTest, WhileRunningTheProgramCounterStaysAndEscapeStops) {
    const std::string program = configDir + "/loop.tor";
    WriteFile(program, std::string(":top\n1\n+\n1\n=\ngoto top\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    Click(Item("Run"), 3, 3);
    Passes(20);
    ASSERT_GT(0, calc()->recorderMode);
    EXPECT_EQ("Running", Field("status"));
    for (const char *name : {"Load", "Save", "Edit", "Record", "Insert", "Delete", "Step", "Run"})
        EXPECT_FALSE(On(name)) << name;
    EXPECT_TRUE(On("Stop"));
    const Lines before = Listing();
    Click(Item("Undo"), 3, 3);
    Passes(10);
    EXPECT_EQ(before, Listing());
    // A click on the label line while the run is elsewhere: the run goes on from where it is.
    Buffer *b = Steps();
    Passes(1);
    Click(Item("proglist"), 40, 3);
    Passes(2);
    EXPECT_GT(0, calc()->recorderMode);
    EXPECT_EQ(before, Listing());
    HeadlessChar(keyEscape);
    Passes(5);
    EXPECT_EQ(0, calc()->recorderMode);
    EXPECT_EQ("Edit", Field("status"));
    EXPECT_EQ(0, IdleCount());
    EXPECT_NE(nullptr, b);
    EXPECT_NE(nullptr, Program());
}

// Escape stops a run wherever the keyboard is: in any child of the program window (after a
// click on Run, on the plot, on the scroller), or on the panel while the run goes; a plot as a
// normal run. Escape on the panel with no run going is the panel's again.
TEST_F(ProgramTest, EscapeFromAnyChildOrThePanelStopsARun) {
    const std::string loop = configDir + "/loop.tor", half = configDir + "/half.tor";
    WriteFile(loop, std::string(":top\n1\n+\n1\n=\ngoto top\n") + kEndMarker + "\n");
    WriteFile(half, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    const WindowValueProc panelKey = panel->onKey;
    std::vector<WindowRef> children;
    for (Window *c = Program()->chain; c; c = c->chain)
        if (WindowIsDescendant(c, Program()))
            children.push_back(WindowRefOf(c));
    ASSERT_GT(children.size(), 20u); // the buttons, the listing, the plot, the scroller, the bar
    children.push_back(WindowRefOf(Program()));
    children.push_back(WindowRefOf(panel));
    struct Case {
        const char *mode;
        const std::string &program;
    } cases[] = {{"Normal", loop}, {"2D Plot", half}};
    for (const Case &c : cases) {
        LoadFile(c.program);
        PressIn(c.mode);
        calc()->plotDelta = 1;
        calc()->plotMaxX = 90000; // a plot that goes on far longer than this test
        for (WindowRef ref : children) {
            Window *child = WindowRefGet(ref);
            ASSERT_NE(nullptr, child);
            const std::string name = std::string(c.mode) + ": " + NameOf(child);
            Click(Item("Run"), 3, 3);
            Passes(5);
            ASSERT_GT(0, calc()->recorderMode) << name << ", " << Field("report");
            SetFocusWindow(child);
            HeadlessChar(keyEscape);
            Passes(5);
            EXPECT_EQ(0, calc()->recorderMode) << name;
            EXPECT_EQ(0, IdleCount()) << name;
            EXPECT_EQ("Edit", Field("status")) << name;
        }
    }
    EXPECT_NE(nullptr, Program());
    EXPECT_EQ(panelKey, panel->onKey); // given back once the runs ended
}

// A 3D plot needs the registers A and B: without them Run reports and does not start.
TEST_F(ProgramTest, ThreeDimensionalRunWithoutRegistersReports) {
    ASSERT_NE(nullptr, Open());
    calcAllocRegisters(1, calc());
    PressIn("3D Plot");
    PressIn("Run");
    EXPECT_EQ(0, calc()->recorderMode);
    EXPECT_EQ("Fatal Error: Can't store Y in B", Field("report"));
    // The report takes the bar's width left of the other fields, not an equal share of it.
    Window *report = FindNamedWindow("report", Item("progstatus"));
    Window *state = FindNamedWindow("status", Item("progstatus"));
    ASSERT_TRUE(report && state);
    EXPECT_EQ(1, report->left);
    EXPECT_EQ(state->left - 2, report->right);
    EXPECT_EQ(0, IdleCount());
}

// The Insert list writes the step of the entry chosen, with its question answered; a label is
// cut to what a jump can hold, and a cancelled question leaves the list open.
TEST_F(ProgramTest, InsertListWritesControlSteps) {
    ASSERT_NE(nullptr, Open());
    struct Case {
        int entry;
        const char *dialog; // the question's table, or null for none
        std::string answer;
        std::string step;
    } cases[] = {
        {1, "String", "loop", ":loop"},
        {2, "String", "loop", "goto loop"},
        {1, "String", std::string(200, 'n'), ":" + std::string(kLabelNameLimit, 'n')},
        {5, nullptr, "", "plot X "},
        {7, "Number", "3", "plot Color 3"},
    };
    for (const Case &c : cases) {
        Lines want = Listing();
        want.insert(want.end() - 1, c.step);
        struct Pick {
            int entry;
            const Case *c;
        } pick{c.entry, &c};
        DialogAnswer list{"Insert", [&pick](Window *d) {
                              Window *items = FindNamedWindow("itemlist", d);
                              ASSERT_NE(nullptr, items);
                              items->onActivate(pick.entry, items);
                          }};
        DialogAnswer question{c.dialog ? c.dialog : "none", [&c](Window *d) {
                                  const char *field =
                                      strcmp(c.dialog, "Number") == 0 ? "NUMBER" : "STRING";
                                  SetItemText(field, c.answer.c_str(), -1, d);
                                  Click(FindNamedWindow("OK", d), 4, 4);
                              }};
        if (c.dialog)
            Answer(&question);
        Answer(&list);
        PressIn("Insert", 600);
        EXPECT_TRUE(list.answered) << c.step;
        EXPECT_EQ(want, Listing()) << c.step;
        EXPECT_EQ(nullptr, FindDialog("Insert")) << c.step;
    }
}

// The geometry: the window opens where it was left, moves and resizes write the four settings in
// one go, and opening beside the tape moves it right of the tape only when the two would overlap.
TEST_F(ProgramTest, GeometryIsKeptAndTheTapeIsNotCovered) {
    auto cellsOf = [](Window *w) {
        return std::vector<int>{w->cellLeft, w->cellTop, w->cellRight - w->cellLeft + 1,
                                w->cellBottom - w->cellTop + 1};
    };
    ASSERT_NE(nullptr, Open());
    const std::vector<int> first = cellsOf(Program());
    EXPECT_EQ(panel->cellRight + 2, first[0]); // clear of the panel
    PressIn("Close");
    const std::string kept = SettingsText();
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(first, cellsOf(Program()));
    PressIn("Close");
    EXPECT_EQ(kept, SettingsText()); // nothing creeps, nothing is written again

    ASSERT_NE(nullptr, Open());
    ASSERT_EQ(0, MoveWindowTo(70, 6, 64, 40, 0, Program()));
    Settle();
    const std::vector<int> moved = cellsOf(Program());
    EXPECT_EQ(moved[0], ReadIntSetting("PROGRAM_WINDOW_ULX", -1, settings.c_str()));
    EXPECT_EQ(moved[1], ReadIntSetting("PROGRAM_WINDOW_ULY", -1, settings.c_str()));
    EXPECT_EQ(moved[2], ReadIntSetting("PROGRAM_WINDOW_WIDTH", -1, settings.c_str()));
    EXPECT_EQ(moved[3], ReadIntSetting("PROGRAM_WINDOW_HEIGHT", -1, settings.c_str()));
    PressIn("Close");
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(moved, cellsOf(Program()));
    PressIn("Close");

    // Back beside the panel, where the tape opens: the window goes right of the tape, and stays
    // there on the next opening instead of creeping further.
    // The panel at the screen's left edge, so that all three fit on the screen side by side.
    ASSERT_EQ(0, MoveWindowTo(0, panel->cellTop, panel->cellRight - panel->cellLeft + 1,
                              panel->cellBottom - panel->cellTop + 1, 0, panel));
    Settle();
    WriteIntSetting("PROGRAM_WINDOW_ULX", panel->cellRight, settings.c_str());
    WriteIntSetting("PROGRAM_WINDOW_ULY", panel->cellTop, settings.c_str());
    WriteIntSetting("PROGRAM_WINDOW_WIDTH", kProgramWidth, settings.c_str());
    Press("Printer");
    Window *tape = nullptr;
    for (Window *w = FirstTopWindow(); w && !tape;
         w = w->next == FirstTopWindow() ? nullptr : w->next)
        if (w->text && strcmp(w->text, "torva - printer") == 0)
            tape = w;
    ASSERT_NE(nullptr, tape);
    ASSERT_NE(nullptr, Open());
    const std::vector<int> beside = cellsOf(Program());
    EXPECT_GT(beside[0], tape->cellRight);
    PressIn("Close");
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(beside, cellsOf(Program()));
}

// The mode buttons: one checked, the setting written, Step only in Normal mode; a Step over plot
// steps shows what they drew at once.
TEST_F(ProgramTest, ModesAndAStepThatDraws) {
    ASSERT_NE(nullptr, Open());
    PressIn("3D Plot");
    EXPECT_EQ(2, ReadIntSetting("PROGRAM_MODE", -1, settings.c_str()));
    EXPECT_TRUE(GetButtonCheck("3D Plot", Program()));
    EXPECT_FALSE(GetButtonCheck("Normal", Program()));
    EXPECT_FALSE(On("Step"));
    PressIn("Normal");
    EXPECT_EQ(0, ReadIntSetting("PROGRAM_MODE", -1, settings.c_str()));
    EXPECT_TRUE(On("Step"));

    const std::string program = configDir + "/line.tor";
    WriteFile(program, std::string("1\n0\n=\nplot X\nplot Y\nplot Move\n2\n0\n0\n=\nplot X\n"
                                   "plot Line\n") +
                           kEndMarker + "\n");
    LoadFile(program);
    Window *plot = Item("progplot");
    ASSERT_NE(nullptr, plot);
    auto ink = [plot]() {
        int n = 0;
        for (int y = 0; y < plot->bottom - plot->top; y++)
            for (int x = 0; x < plot->right - plot->left; x++)
                n += HeadlessPixel(plot->host, x, y) == 0;
        return n;
    };
    for (int i = 0; i < 11; i++)
        PressIn("Step");
    const int before = ink();
    PressIn("Step"); // plot Line: from (10, 10) to (200, 10)
    EXPECT_GT(ink(), before + 150);
}

// Stop ends a normal run with a paint, as it ends a plot: a line drawn since the last paced
// paint shows. The clock moves 50 us a read, so the line comes after the first paint and long
// before the next one at the Minimum rate (a quarter of a second of the clock).
int64_t gTicks;
int64_t CountingClock() { return gTicks += 50; }

TEST_F(ProgramTest, StopPaintsWhatANormalRunDrew) {
    const std::string program = configDir + "/draw.tor";
    WriteFile(program, std::string("1\n0\n0\n0\nstore A\n:count\nrecall A\n-\n1\n=\nstore A\n"
                                   "if >= 0 goto count\n"
                                   "5\n0\n=\nplot X\nplot Y\nplot Move\n1\n5\n0\n=\nplot X\n"
                                   "plot Line\n:top\ngoto top\n") +
                           kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    calc()->plotRefreshRate = 0;
    plotSetRunClock(CountingClock);
    Window *plot = Item("progplot");
    ASSERT_NE(nullptr, plot);
    // The line from (50, 50) to (150, 50) points: pixels (66, 66) to (200, 66).
    Click(Item("Run"), 3, 3);
    Passes(20);
    EXPECT_GT(0, calc()->recorderMode);
    EXPECT_EQ(calc()->plotTail->kind, PLOT_LINE);            // drawn, in the point memory
    EXPECT_EQ(0xFFFFFF, HeadlessPixel(plot->host, 133, 66)); // not painted yet
    PressIn("Stop");
    plotSetRunClock(nullptr);
    EXPECT_EQ(0, calc()->recorderMode);
    EXPECT_EQ(0x000000, HeadlessPixel(plot->host, 133, 66));
}

// Options opens the options dialog for the window's calculator; closing the window while it
// runs closes it first.
TEST_F(ProgramTest, OptionsDialogGoesWithTheWindow) {
    ASSERT_NE(nullptr, Open());
    DialogAnswer options{"Program Options", [this](Window *d) {
                             EXPECT_NE(nullptr, FindNamedWindow("minx", d));
                             CloseWindow(Program()); // from outside, as the panel does
                         }};
    Answer(&options);
    PressIn("Options", 400);
    EXPECT_TRUE(options.answered);
    EXPECT_EQ(nullptr, Program());
    EXPECT_EQ(nullptr, FindDialog("Program Options"));
    Press("AllClr");
    Type("2X4=");
    EXPECT_EQ("8|", Shown());
}

// While Program Options is open nothing can start what would use the values it is about to
// change: Run, Step, Load, Record, the modes, Print and Options itself are unavailable, and
// their presses and keys do nothing; when it closes they are back.
TEST_F(ProgramTest, RunAndTheModesWaitWhileOptionsIsOpen) {
    const std::string program = configDir + "/half.tor";
    WriteFile(program, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    const std::vector<std::string> waiting = {"Load",    "Record",  "Step",    "Run",  "Normal",
                                              "2D Plot", "3D Plot", "Options", "Print"};
    DialogAnswer options{"Program Options", [&](Window *d) {
                             for (const std::string &name : waiting)
                                 EXPECT_FALSE(On(name.c_str())) << name;
                             EXPECT_TRUE(On("Close"));
                             EXPECT_TRUE(On("Undo"));
                             Click(Item("Run"), 3, 3);
                             Click(Item("2D Plot"), 3, 3);
                             Program()->onKey(15, Program()); // ^O
                             Program()->onKey(14, Program()); // ^N
                             Passes(20);
                             EXPECT_EQ(0, calc()->recorderMode);
                             EXPECT_EQ(0, calc()->programMode);
                             EXPECT_TRUE(GetButtonCheck("Normal", Program()));
                             EXPECT_FALSE(GetButtonCheck("2D Plot", Program()));
                             EXPECT_EQ(nullptr, FindDialog("Open_File"));
                             EXPECT_EQ(4u, Listing().size()); // the program is still there
                             Click(FindNamedWindow("Cancel", d), 4, 4);
                         }};
    Answer(&options);
    PressIn("Options", 600);
    EXPECT_TRUE(options.answered);
    EXPECT_EQ(nullptr, FindDialog("Program Options"));
    for (const std::string &name : waiting)
        EXPECT_TRUE(On(name.c_str())) << name;
    PressIn("Run");
    RunToEnd();
}

// Print in a plot mode writes the plot with its header; in Normal mode the steps.
TEST_F(ProgramTest, PrintWritesThePlotOrTheSteps) {
    const std::string program = configDir + "/half.tor";
    WriteFile(program, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("2D Plot");
    PressIn("Run");
    RunToEnd();
    struct Case {
        const char *mode, *file, *want;
    } cases[] = {{"2D Plot", "/plot.pdf", "torva plot"}, {"Normal", "/steps.pdf", kEndMarker}};
    for (const Case &c : cases) {
        PressIn(c.mode);
        const std::string pdf = configDir + c.file;
        DialogAnswer print{"Print", [pdf](Window *d) {
                               SetItemText("FILE", pdf.c_str(), -1, d);
                               Click(FindNamedWindow("OK", d), 4, 4);
                           }};
        Answer(&print);
        PressIn("Print", 2000);
        ASSERT_TRUE(print.answered) << c.mode;
        const std::string text = configDir + "/out.txt";
        ASSERT_EQ(0, system(("pdftotext " + pdf + " " + text).c_str())) << c.mode;
        EXPECT_NE(std::string::npos, ReadFile(text).find(c.want)) << c.mode;
    }
}

// A printed plot is the whole plot fitted to the page's printable area below its header, not
// the window's area cut at its edge: y = x / 2 over the default realm reaches 415 points right
// in a window less than 300 points wide, and on the A4 page (pdftoppm at 72 dpi) its axes and
// curve span the printable width, in both views, inside the page's margins.
TEST_F(ProgramTest, APrintedPlotFitsThePage) {
    const std::string program = configDir + "/half.tor";
    WriteFile(program, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("2D Plot");
    for (int view : {0, 1}) {
        calc()->plotView = view;
        calc()->plotStep = 10;
        PressIn("Run");
        RunToEnd();
        Window *plot = Item("progplot");
        ASSERT_LT(plot->right - plot->left, 400); // the window shows the plot cut off
        const std::string pdf = configDir + "/fit" + std::to_string(view) + ".pdf";
        DialogAnswer print{"Print", [pdf](Window *d) {
                               SetItemText("FILE", pdf.c_str(), -1, d);
                               Click(FindNamedWindow("OK", d), 4, 4);
                           }};
        Answer(&print);
        PressIn("Print", 2000);
        ASSERT_TRUE(print.answered) << view;
        const std::string base = configDir + "/fit" + std::to_string(view);
        ASSERT_EQ(0, system(("pdftoppm -r 72 -png -singlefile " + pdf + " " + base).c_str()));
        cairo_surface_t *page = cairo_image_surface_create_from_png((base + ".png").c_str());
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(page)) << view;
        const int width = cairo_image_surface_get_width(page);
        const int height = cairo_image_surface_get_height(page);
        EXPECT_NEAR(595, width, 2); // A4
        EXPECT_NEAR(842, height, 2);
        cairo_surface_flush(page);
        const unsigned char *data = cairo_image_surface_get_data(page);
        const int stride = cairo_image_surface_get_stride(page);
        int left = width, right = -1, top = height, bottom = -1, blue = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                uint32_t argb;
                memcpy(&argb, data + y * stride + x * 4, 4);
                const int r = argb >> 16 & 0xFF, g = argb >> 8 & 0xFF, b = argb & 0xFF;
                if (r > 0xE0 && g > 0xE0 && b > 0xE0)
                    continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                blue += b > 0xC0 && r < 0x80 && g < 0x80;
            }
        cairo_surface_destroy(page);
        // Inside the printable area, and across its whole width.
        PrintSettings paper;
        LoadPrintSettings(settings.c_str(), &paper);
        ASSERT_GT(paper.resolutionX, 0);
        const double toPoints = 72.0 / paper.resolutionX;
        const double areaLeft = paper.leftMargin * toPoints;
        const double areaRight = width - paper.rightMargin * toPoints;
        const double areaTop = paper.topMargin * 72.0 / paper.resolutionY;
        const double areaBottom = height - paper.bottomMargin * 72.0 / paper.resolutionY;
        EXPECT_GE(left, areaLeft - 2) << view;
        EXPECT_LE(right, areaRight + 2) << view;
        EXPECT_GE(top, areaTop - 2) << view;
        EXPECT_LE(bottom, areaBottom + 2) << view;
        EXPECT_GT(right - left, 0.95 * (areaRight - areaLeft)) << view;
        EXPECT_GT(blue, 300) << view; // the axes, drawn whole
        const std::string text = configDir + "/fit.txt";
        ASSERT_EQ(0, system(("pdftotext " + pdf + " " + text).c_str()));
        EXPECT_NE(std::string::npos, ReadFile(text).find("torva plot")) << view;
    }
}

// Colour off prints the plot in black and white: its coloured axes and lines come out black on
// the white page (with colour on they keep their colours, so the check can see them).
TEST_F(ProgramTest, ColourOffPrintsThePlotInBlackAndWhite) {
    const std::string program = configDir + "/half.tor";
    WriteFile(program, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("2D Plot");
    PressIn("Run");
    RunToEnd();
    for (bool colour : {true, false}) {
        SCOPED_TRACE(colour);
        const std::string pdf = configDir + (colour ? "/colour.pdf" : "/black.pdf");
        DialogAnswer print{"Print", [pdf, colour](Window *d) {
                               SetItemText("FILE", pdf.c_str(), -1, d);
                               if (GetButtonCheck("colour", d) != (colour ? 1 : 0))
                                   Click(FindNamedWindow("colour", d), 3, 3);
                               Click(FindNamedWindow("OK", d), 4, 4);
                           }};
        Answer(&print);
        PressIn("Print", 2000);
        ASSERT_TRUE(print.answered);
        pdfraster::Raster page = pdfraster::Rasterize(pdf, 50, configDir + "/page");
        ASSERT_GT(page.width, 0);
        if (colour)
            EXPECT_GT(pdfraster::ColouredPixels(page), 20);
        else
            EXPECT_EQ(0, pdfraster::ColouredPixels(page));
    }
}

// The listing on paper: the arrow is scaled with the printer's resolution as the font is, and
// sits on the step it marks (its middle within that step's line), left of the step's text.
TEST_F(ProgramTest, ThePrintedArrowIsScaledAndSitsOnItsStep) {
    const std::string program = configDir + "/steps.tor";
    WriteFile(program, std::string("1\n+\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("Step"); // the arrow moves to the second step
    const std::string pdf = configDir + "/steps.pdf";
    DialogAnswer print{"Print", [pdf](Window *d) {
                           SetItemText("FILE", pdf.c_str(), -1, d);
                           Click(FindNamedWindow("OK", d), 4, 4);
                       }};
    Answer(&print);
    PressIn("Print", 2000);
    ASSERT_TRUE(print.answered);
    // At 72 dots per inch a pixel is a point, as the words' boxes are.
    pdfraster::Raster page = pdfraster::Rasterize(pdf, 72, configDir + "/steps");
    ASSERT_GT(page.width, 0);
    const std::vector<pdfraster::Word> words = pdfraster::Words(pdf);
    const pdfraster::Word *plus = nullptr;
    for (const pdfraster::Word &w : words)
        if (w.text == "+")
            plus = &w;
    ASSERT_NE(nullptr, plus);
    const double line = plus->yMax - plus->yMin;
    // The dark pixels left of the step's text, around its line: the arrow.
    int top = page.height, bottom = -1, left = page.width, right = -1;
    for (int y = (int)(plus->yMin - 2 * line); y <= (int)(plus->yMax + 2 * line); y++)
        for (int x = 0; x < (int)plus->xMin - 1; x++)
            if (y >= 0 && y < page.height && page.Dark(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(bottom, 0) << "no arrow beside the step";
    EXPECT_GE(bottom - top + 1, 0.4 * line) << "an arrow of " << bottom - top + 1 << " points";
    EXPECT_GE(right - left + 1, 0.5 * line);
    const double middle = (top + bottom) / 2.0;
    EXPECT_GE(middle, plus->yMin);
    EXPECT_LE(middle, plus->yMax);
}

// Allocation failures: with the n-th allocation failing (the toolkit's, the buffers' and the
// number engine's alike), the window opens whole or not at all, and a plot ends with its
// message; either way the calculator goes on and nothing is left allocated.
class ProgramSweepTest : public ProgramTest {
  protected:
    ProgramSweepTest() { sweepEngine = true; }
};

TEST_F(ProgramSweepTest, TheWindowOpensWholeOrNotAtAll) {
    Press("Program"); // the first opening writes its settings, which is not swept
    ASSERT_NE(nullptr, Program());
    PressIn("Close");
    ASSERT_EQ(nullptr, Program());
    int opened = 0, refused = 0;
    long n = 1;
    for (; n < 5000; n++) {
        Click(Key("Program"), 3, 3);
        const bool failed = SettleFailing(n);
        HeadlessBoxClear();
        if (Program()) {
            // Whole: every part there, the calculator's program the listing's.
            opened++;
            EXPECT_NE(nullptr, Steps()) << n;
            EXPECT_EQ(Steps(), calc()->program) << n;
            for (const char *part : {"progplot", "progstatus", "Close", "Run"})
                EXPECT_NE(nullptr, Item(part)) << part << " " << n;
            EXPECT_NE(nullptr, calc()->hooks.recordStep) << n;
            PressIn("Close");
            ASSERT_EQ(nullptr, Program()) << n;
        } else {
            refused++;
            EXPECT_EQ(nullptr, calc()->program) << n;
            EXPECT_EQ(nullptr, calc()->hooks.recordStep) << n;
            EXPECT_EQ(0, IdleCount()) << n;
        }
        if (!failed)
            break;
    }
    HeadlessBoxClear();
    EXPECT_GT(refused, 10);
    // With memory it records and computes.
    ASSERT_NE(nullptr, Open());
    PressIn("Record");
    Type("2+3=");
    EXPECT_EQ((Lines{"2", "+", "3", "=", kEndMarker}), Listing());
    EXPECT_EQ("5|", Shown());
    printf("sweep: %ld allocation points, %d refused, %d opened whole\n", n, refused, opened);
}

TEST_F(ProgramSweepTest, APlotEndsWithItsMessageWhereverMemoryRunsOut) {
    const std::string program = configDir + "/half.tor";
    WriteFile(program, std::string("/\n2\n=\n") + kEndMarker + "\n");
    ASSERT_NE(nullptr, Open());
    LoadFile(program);
    PressIn("2D Plot");
    calc()->plotMinX = 0;
    calc()->plotMaxX = 40; // five points: a short sweep
    int failed = 0;
    long n = 1;
    for (; n < 20000; n++) {
        Click(Item("Run"), 3, 3);
        const bool triggered = SettleFailing(n, 400);
        RunToEnd();
        HeadlessBoxClear();
        failed += Field("report").find("Fatal") != std::string::npos;
        EXPECT_EQ("Edit", Field("status")) << n;
        if (!triggered)
            break;
    }
    EXPECT_GT(failed, 20);
    // The same run with memory: a whole plot.
    PressIn("Run");
    RunToEnd();
    EXPECT_EQ(std::string::npos, Field("report").find("Fatal"));
    EXPECT_EQ(6, calc()->plotEvaluations); // x = 0 twice (the move and the line), 10 to 40
    printf("sweep: %ld allocation points of a plot, %d ended with a fatal message\n", n, failed);
}

} // namespace
