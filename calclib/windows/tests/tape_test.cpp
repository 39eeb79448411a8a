// The printer tape on the real panel: the lines a calculation leaves, where appended text goes
// and what stays in view, the "Printer" switch and the ways the tape closes, its menu (save as
// text, clear, print) and what happens when the tape or the panel goes while the print dialog
// is open.
#include "paneltest.h"

#include "fonts.h"
#include "keys.h"
#include "tape.h"
#include "textwind.h"

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

using namespace windtest;
using namespace paneltest;

namespace {

using Lines = std::vector<std::string>;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The scripted print: the dialog answers what the test says, after running the test's step as
// the user would while the dialog is up; the print notes the list it was given.
std::function<void()> gDuringDialog;
int gDialogAnswer = 1;
std::vector<Window *> gPrinted;
int gDialogs = 0;

int ScriptedDialog(const char *, Window *) {
    gDialogs++;
    if (gDuringDialog)
        gDuringDialog();
    return gDialogAnswer;
}

int RecordingPrint(Window *list) {
    gPrinted.push_back(list);
    return 0;
}

class TapeTest : public PanelTest {
  protected:
    void TearDown() override {
        tapeSetPrinter(nullptr);
        gDuringDialog = nullptr;
        PanelTest::TearDown();
    }
    Window *Tape() {
        Window *first = FirstTopWindow();
        for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
            if (w->name && strcmp(w->name, kTapeTitle) == 0)
                return w;
        return nullptr;
    }
    int TapeCount() {
        int n = 0;
        Window *first = FirstTopWindow();
        for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
            n += w->name && strcmp(w->name, kTapeTitle) == 0;
        return n;
    }
    Window *List() { return Tape() ? FindNamedWindow("printout", Tape()) : nullptr; }
    Buffer *TapeBuffer() {
        TextDesc *d = List() ? TextDescOf(List()) : nullptr;
        return d ? d->buffer : nullptr;
    }
    // The tape's lines as the list holds them, without their line feeds.
    Lines Read() {
        Lines out;
        Buffer *b = TapeBuffer();
        if (!b)
            return out;
        int line0 = b->currentLine, column0 = b->currentColumn;
        for (int line = 1; line <= b->lineCount; line++) {
            BufferGoto(line, 1, b);
            if (CurrentLineNumber(b) != line)
                break;
            const char *text = LockLine(b);
            std::string s(text ? text : "", (size_t)CurrentLineLength(b));
            if (s.empty() && line == b->lineCount)
                break; // the empty last line, where the next write goes
            if (!s.empty() && s.back() == '\n')
                s.pop_back();
            out.push_back(s);
        }
        BufferGoto(line0, column0, b);
        return out;
    }
    Window *OpenTape() {
        Press("Printer");
        EXPECT_NE(nullptr, Tape());
        return Tape();
    }
    // Chooses a menu item; `ms` of virtual time let a dialog it opens be answered first.
    void Menu(const char *item, int ms = 100) {
        Window *bar = Tape() ? FindNamedWindow("pmen", Tape()) : nullptr;
        ASSERT_NE(nullptr, bar);
        Window *w = FindNamedWindow(item, bar);
        ASSERT_NE(nullptr, w) << item;
        Click(w, 3, 3);
        Settle(ms);
    }
    void AltKey(int letter) {
        HeadlessKeyDown(kHostKeyAlt);
        HeadlessKeystroke(letter, letter - 'A' + 'a');
        HeadlessKeyUp(kHostKeyAlt);
        Settle();
    }
    // The first and last lines the list shows now (after a paint).
    std::pair<int, int> View() {
        TextDesc *d = TextDescOf(List());
        return {d->topLine, d->topLine + d->rows - 1};
    }
    void Printing() {
        static const TapePrinter scripted = {ScriptedDialog, RecordingPrint};
        tapeSetPrinter(&scripted);
        gPrinted.clear();
        gDialogs = 0;
        gDialogAnswer = 1;
    }
};

// ---- the lines ----------------------------------------------------------------------------------

// Names in columns 1 to 10, the sign in 11, the digits from 12, a blank for the exponent sign.
TEST_F(TapeTest, ACalculationReadsLikeAnAddingMachine) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    struct Case {
        const char *typed;
        Lines lines;
    } cases[] = {
        // clang-format off
        {"12*3+4=", {"           12 ", "X          3 ", "           36 ", "+          4 ", "=          40 "}},
        // The engine's message and the error line each stand on a line of their own.
        {"5/0=", {"           5 ", "/          0 ", "=         ", "div - divide by zero", "", " --- ERROR --- "}},
        // A unary operation after a typed number: the number's line, then the name and result.
        {"3q", {"           3 ", "x^2        9 "}},
        {"1.5v*2=", {"          -1.5 ", "X          2 ", "=         -3 "}},
        // A parenthesis ends the waiting field's line and stands on a line of its own.
        {"1.5v*(2+3)=", {"          -1.5 ", "X         ", "(", "          -1.5 ", "           2 ", "+          3 ", ")", "           5 ", "=         -7.5 "}},
        // The digits as the display shows them: the exponent after its sign.
        {"2.5x3=", {"           2500 ", "=          2500 "}},
        {"1x20v=", {"           1-20", "=          1-20"}},
        // clang-format on
    };
    for (const Case &c : cases) {
        Menu("Clear");
        Press("AllClr");
        Menu("Clear");
        Type(c.typed);
        EXPECT_EQ(c.lines, Read()) << c.typed;
    }
}

// Clear entry completes the operator's line, and the next number follows on that same line's
// column: no indent, since the operation field is still waiting.
TEST_F(TapeTest, ClearEntryAfterAnOperatorKeepsTheOperationFieldOpen) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("5+");
    Press("Clear");
    Type("3=");
    EXPECT_EQ((Lines{"           5 ", "+           --- clear entry ---", " 3 ", "=          8 "}),
              Read());
}

TEST_F(TapeTest, AClosedTapeRecordsNothingAndOpensEmpty) {
    ASSERT_NE(nullptr, Build());
    Type("7+8=");
    ASSERT_NE(nullptr, OpenTape());
    EXPECT_EQ(Lines{}, Read());
    Type("*2=");
    EXPECT_EQ((Lines{"X          2 ", "=          30 "}), Read());
    Press("Printer");
    EXPECT_EQ(nullptr, Tape());
    EXPECT_EQ(1, calcTapeWrite("lost\n", calc()));
    // A field left open when the tape closed does not carry over to the next tape.
    Type("4+");
    ASSERT_NE(nullptr, OpenTape());
    Type("1=");
    EXPECT_EQ((Lines{"           1 ", "=          5 "}), Read());
}

// Wherever the user clicked, a write goes to the end of the tape.
TEST_F(TapeTest, WritesGoToTheEndWhicheverLineWasClicked) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+2");
    Click(List(), 5, 3); // line 1
    Settle();
    Buffer *b = TapeBuffer();
    ASSERT_EQ(1, b->currentLine);
    Type("+3");
    HeadlessAdvance(1000); // a second click, not a double click (which recalls the line)
    Click(List(), 5, 3);
    Settle();
    Type("=");
    EXPECT_EQ((Lines{"           1 ", "+          2 ", "           3 ", "+          3 ",
                     "=          6 "}),
              Read());
    EXPECT_EQ(1, b->markLine); // the line the user chose stays chosen
}

// The tape keeps its newest line in view while the user looks at it; once the user has
// scrolled up, new lines leave the view alone.
TEST_F(TapeTest, TheTapeFollowsItsNewestLineUnlessScrolledUp) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    for (int i = 0; i < 30; i++)
        Type("1+");
    int last = (int)Read().size();
    ASSERT_GE(last, 59);
    auto shown = View();
    ASSERT_GT(shown.second - shown.first, 3) << "the list shows a few lines";
    EXPECT_EQ(last, shown.second);
    // Scrolled to the top with the wheel: the view stays there.
    int sx, sy;
    HeadlessClientToScreen(List()->host, 10, 10, &sx, &sy);
    HeadlessWheel(-100, sx, sy);
    Settle();
    ASSERT_EQ(1, View().first);
    Type("2+");
    EXPECT_EQ(1, View().first);
    // Back at the bottom with End: it follows again.
    Click(List(), 5, 3);
    HeadlessKeystroke(kHostKeyEnd, 0);
    Settle();
    Type("3+");
    EXPECT_EQ((int)Read().size(), View().second);
}

// Past its line limit the tape drops its oldest lines, and keeps taking new ones.
TEST_F(TapeTest, TheOldestLinesRollOffALongTape) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Calculator *c = calc();
    for (int i = 1; i <= kTapeKeptLines + 10; i++) {
        std::string line = "line " + std::to_string(i) + "\n";
        ASSERT_EQ(0, calcTapeWrite(line.c_str(), c)) << i;
    }
    Lines lines = Read();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("line " + std::to_string(kTapeKeptLines + 10), lines.back());
    int first = atoi(lines.front().c_str() + 5);
    EXPECT_EQ(kTapeKeptLines + 10 - first + 1, (int)lines.size()); // none lost in between
    EXPECT_LT((int)lines.size(), kTapeKeptLines);
    EXPECT_GT(first, 1);
}

// ---- the switch and the window ------------------------------------------------------------------

TEST_F(TapeTest, ThePrinterSwitchOpensAndClosesTheTapeBesideThePanel) {
    ASSERT_NE(nullptr, Build());
    ASSERT_EQ(0, GetButtonCheck("Printer", panel));
    Window *tape = OpenTape();
    ASSERT_NE(nullptr, tape);
    EXPECT_EQ(1, GetButtonCheck("Printer", panel));
    EXPECT_EQ(panel->cellRight + 2, tape->cellLeft);
    EXPECT_EQ(panel->cellTop, tape->cellTop);
    EXPECT_LE(CellsToPixels(kTapeWidth, GetToolkitDefaults()->cellWidth),
              tape->right - tape->left + 1);
    EXPECT_EQ(panel->bottom - panel->top, tape->bottom - tape->top);
    EXPECT_EQ(panel, FocusWindow()); // typing goes on at the calculator
    Type("12+");
    EXPECT_EQ(-1, TapeBuffer()->markLine); // nothing on the tape is chosen until the user does
    Press("Printer");
    EXPECT_EQ(nullptr, Tape());
    EXPECT_EQ(0, GetButtonCheck("Printer", panel));
    // Alt+T is the same switch.
    AltKey('T');
    EXPECT_NE(nullptr, Tape());
    EXPECT_EQ(1, GetButtonCheck("Printer", panel));
    AltKey('T');
    EXPECT_EQ(nullptr, Tape());
    EXPECT_EQ(0, GetButtonCheck("Printer", panel));
    EXPECT_EQ(0, HeadlessBoxCount());
}

// The tape is wide enough for a number line of the display's digits, up to a limit.
TEST_F(TapeTest, TheTapeWidensForLongerNumbers) {
    ASSERT_NE(nullptr, Build());
    auto width = [this](int digits) {
        calcPanelSetDigits(digits, 2, panel);
        Press("Printer");
        Window *tape = Tape();
        int cells =
            tape ? PixelsToCells(tape->right - tape->left + 1, GetToolkitDefaults()->cellWidth) : 0;
        Press("Printer");
        return cells;
    };
    int ten = width(10), twenty = width(20), most = width(1000);
    EXPECT_EQ(kTapeWidth, ten);  // thirty cells hold the default ten digits
    EXPECT_GE(twenty, ten + 10); // ten more digits, each at least a cell wide
    EXPECT_EQ(kTapeWidestCells, most);
    EXPECT_EQ(kTapeWidth, width(2)); // never narrower
}

// However the tape closes, "Printer" goes off and the next press opens it again.
TEST_F(TapeTest, EveryWayOfClosingTheTapeTurnsThePrinterSwitchOff) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *how;
        std::function<void()> close;
    } cases[] = {
        {"the menu's Close", [this] { Menu("Close"); }},
        {"the close box",
         [this] {
             HeadlessClose(Tape()->host);
             Settle();
         }},
        {"Escape in the list",
         [this] {
             SetFocusWindow(List());
             HeadlessKeystroke(kHostKeyEscape, 27);
             Settle();
         }},
    };
    for (const Case &c : cases) {
        ASSERT_NE(nullptr, OpenTape()) << c.how;
        c.close();
        EXPECT_EQ(nullptr, Tape()) << c.how;
        EXPECT_EQ(0, GetButtonCheck("Printer", panel)) << c.how;
        EXPECT_EQ(1, calcTapeWrite("x\n", calc())) << c.how;
    }
    ASSERT_NE(nullptr, OpenTape());
    EXPECT_EQ(1, TapeCount());
}

// Keys typed while the tape has the keyboard reach the calculator; the list keeps its own.
TEST_F(TapeTest, TypingIntoTheTapeGoesToTheCalculator) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+2=");
    Click(List(), 5, 3);
    Settle();
    ASSERT_EQ(List(), FocusWindow());
    HeadlessKeystroke(kHostKeyDown, 0);
    Settle();
    EXPECT_EQ(2, TapeBuffer()->currentLine);
    Type("*4=");
    EXPECT_EQ("12|", Shown());
    EXPECT_EQ("=          12 ", Read().back());
    // The same with the tape window itself holding the keyboard.
    ASSERT_EQ(0, SetFocusWindow(Tape()));
    Type("+1=");
    EXPECT_EQ("13|", Shown());
    EXPECT_NE(nullptr, Tape());
}

// A tape that cannot be made entirely is not made at all, and the switch says so.
TEST_F(TapeTest, ATapeThatCannotBeMadeLeavesTheSwitchOff) {
    ASSERT_NE(nullptr, Build());
    // The switch's function, as a click calls it, with only the tape's windows counted.
    Window *printer = Key("Printer");
    ASSERT_NE(nullptr, printer);
    int made = 0;
    for (int n = 1; n < 40 && made == 0; n++) {
        HeadlessBoxClear();
        HeadlessFailCreate(n);
        printer->onActivate(0, printer);
        HeadlessFailCreate(0);
        if (Tape()) {
            made = n;
            EXPECT_EQ(1, GetButtonCheck("Printer", panel));
            EXPECT_NE(nullptr, List());
            break;
        }
        EXPECT_EQ(0, GetButtonCheck("Printer", panel)) << n;
        EXPECT_EQ(0, TapeCount()) << n;
        EXPECT_EQ(1, calcTapeWrite("x\n", calc())) << n;
    }
    EXPECT_GT(made, 3) << "window, menu, list and scroller each failed once";
    printer->onActivate(0, printer);
    ASSERT_EQ(nullptr, Tape());
    // The same with memory.
    made = 0;
    for (int n = 1; n < 200 && made == 0; n++) {
        FailAllocation(n);
        printer->onActivate(0, printer);
        FailAllocation(0);
        if (Tape()) {
            made = n;
            break;
        }
        EXPECT_EQ(0, GetButtonCheck("Printer", panel)) << n;
        EXPECT_EQ(0, TapeCount()) << n;
    }
    EXPECT_GT(made, 3);
    HeadlessBoxClear();
}

// The list takes the font of PRT_WIND_FONT, and keeps its own when that cannot be made.
TEST_F(TapeTest, TheListsFontComesFromTheSettings) {
    WriteStringSetting("PRT_WIND_FONT", "face:courier!height:200!bold:1!italic:0!setwidth:1",
                       settings.c_str());
    ASSERT_NE(nullptr, Build());
    HeadlessFailFontCreate(1);
    ASSERT_NE(nullptr, OpenTape());
    HeadlessFailFontCreate(0);
    int fallback = FontLineSpacing(List()->font, nullptr);
    Type("1+");
    EXPECT_EQ((Lines{"           1 ", "+         "}), Read());
    Press("Printer");
    ASSERT_NE(nullptr, OpenTape());
    int big = FontLineSpacing(List()->font, nullptr);
    EXPECT_GT(big, fallback);
}

TEST_F(TapeTest, TheDefaultFontIsWrittenOnFirstUse) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    EXPECT_NE(std::string::npos,
              SettingsText().find(std::string("PRT_WIND_FONT=") + kTapeDefaultFont));
}

// A larger window refits the list: it runs to the scroller, which runs to the window's edge.
TEST_F(TapeTest, ResizingTheTapeRefitsTheList) {
    ASSERT_NE(nullptr, Build());
    Window *tape = OpenTape();
    ASSERT_NE(nullptr, tape);
    int width = tape->right - tape->left + 1, height = tape->bottom - tape->top + 1;
    MoveWindowTo(tape->left, tape->top, width + 80, height + 120, 1, tape);
    ReadWindowGeometry(tape);
    Settle();
    Window *list = List();
    Window *scroller = nullptr;
    for (Window *w = tape->chain; w; w = w->chain)
        if (ScrollerOf(w) && ScrollerTarget(w) == list)
            scroller = w;
    ASSERT_NE(nullptr, scroller);
    EXPECT_EQ(list->right + 1, scroller->left);
    EXPECT_EQ(tape->right - tape->left, scroller->right);
    EXPECT_EQ(tape->bottom - tape->top, list->bottom);
    EXPECT_EQ(list->bottom, scroller->bottom);
}

TEST_F(TapeTest, ClosingThePanelClosesTheTape) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+");
    Click(Key("Quit"), 3, 3);
    Settle();
    EXPECT_FALSE(WindowIsLive(panel));
    EXPECT_EQ(nullptr, Tape());
    EXPECT_EQ(nullptr, FirstTopWindow());
    panel = nullptr;
}

// ---- the menu -----------------------------------------------------------------------------------

TEST_F(TapeTest, ClearEmptiesTheTapeAndTheNextNumberStartsAfresh) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+2=*");
    Menu("Clear");
    EXPECT_EQ(Lines{}, Read());
    Type("3=");
    EXPECT_EQ((Lines{"           3 ", "=          9 "}), Read());
    Menu("Clear");
    Menu("Clear"); // an empty tape stays empty
    EXPECT_EQ(Lines{}, Read());
}

TEST_F(TapeTest, SaveAsTextWritesTheTapesLines) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("12*3+4=5*");
    std::string path = configDir + "/tape.txt";
    // The file question is answered as the user would, while it runs its own loop (and before
    // the loop that Menu runs ends).
    struct Answer {
        std::string path;
    } answer{path};
    HeadlessAt(
        HeadlessNow() + 50,
        [](void *context) {
            Window *d = nullptr;
            for (Window *w = FocusWindow(); w && !d; w = w->parent)
                if (WindowKind(w) == kWindowKindDialog)
                    d = w;
            ASSERT_NE(nullptr, d);
            const std::string &p = ((Answer *)context)->path;
            SetItemText("FILENAME", p.c_str(), (int)p.size(), d);
            Click(FindNamedWindow("OK", d), 4, 4);
        },
        &answer);
    Menu("Save as text");
    Settle();
    EXPECT_EQ("           12 \n"
              "X          3 \n"
              "           36 \n"
              "+          4 \n"
              "=          40 \n"
              "           5 \n"
              "X         \n",
              ReadFile(path));
    EXPECT_EQ(0, HeadlessBoxCount());
}

// A write that fails says why and leaves the file there as it was: a file over the size
// limit (the process lives on), a folder that is not there, a directory in the file's place.
TEST_F(TapeTest, AFailedSaveLeavesTheOldFileAsItWas) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+2=");
    PanelTape tape = {WindowRefOf(Tape()), WindowRefOf(List())};
    std::string path = configDir + "/kept.txt";
    std::ofstream(path) << "the old text\n";
    ASSERT_EQ(0, mkdir((configDir + "/taken").c_str(), 0755));
    struct Case {
        std::string target;
        rlim_t limit; // bytes a file may grow to, 0: no limit
        const char *reason;
    } const cases[] = {
        {path, 8, "File too large"},
        {configDir + "/no/such/dir/tape.txt", 0, "No such file or directory"},
        {configDir + "/taken", 0, "Is a directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        HeadlessBoxClear();
        rlimit old;
        ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
        rlimit limited = old;
        limited.rlim_cur = c.limit ? c.limit : old.rlim_cur;
        ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
        int rc = tapeSaveText(c.target.c_str(), &tape);
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(1, rc);
        ASSERT_EQ(1, HeadlessBoxCount());
        std::string said = HeadlessBoxText(0);
        EXPECT_NE(std::string::npos, said.find(c.target + ": " + c.reason)) << said;
    }
    EXPECT_EQ("the old text\n", ReadFile(path));
    EXPECT_NE(0, access((configDir + "/no").c_str(), F_OK));
    EXPECT_NE(0, system(("ls -A '" + configDir + "' | grep -q '^\\.torva-'").c_str()))
        << "a new file stayed beside the old one";
    HeadlessBoxClear();
    EXPECT_EQ(0, tapeSaveText(path.c_str(), &tape));
    EXPECT_EQ("           1 \n+          2 \n=          3 \n", ReadFile(path));
}

// Save as text by the rules of every output file: a FIFO's reader gets the text and the FIFO
// stays, a device is written into and stays a device, a link is written through and stays a
// link, and a file keeps its mode; a new one gets 0666 less the umask.
TEST_F(TapeTest, SaveAsTextWritesIntoPipesDevicesAndLinksAndKeepsModes) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+2=");
    PanelTape tape = {WindowRefOf(Tape()), WindowRefOf(List())};
    const std::string text = "           1 \n+          2 \n=          3 \n";
    std::string fifo = configDir + "/fifo", null = configDir + "/null";
    std::string target = configDir + "/target", link = configDir + "/link";
    std::string kept = configDir + "/kept", fresh = configDir + "/fresh";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    // A device of the test's own where it may make one, else the system's.
    if (geteuid() != 0 || mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        null = "/dev/null";
    std::ofstream(target) << "old\n";
    ASSERT_EQ(0, symlink("target", link.c_str()));
    std::ofstream(kept) << "old\n";
    ASSERT_EQ(0, chmod(kept.c_str(), 0604));
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    mode_t mask = umask(027);
    for (const std::string &to : {fifo, null, link, kept, fresh})
        EXPECT_EQ(0, tapeSaveText(to.c_str(), &tape)) << to;
    umask(mask);
    EXPECT_EQ(0, HeadlessBoxCount());
    char got[256] = {};
    EXPECT_EQ((ssize_t)text.size(), read(reader, got, sizeof got - 1));
    close(reader);
    EXPECT_EQ(text, got);
    struct stat st;
    ASSERT_EQ(0, lstat(fifo.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(0, stat(null.c_str(), &st));
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(0, lstat(link.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(text, ReadFile(target));
    ASSERT_EQ(0, stat(kept.c_str(), &st));
    EXPECT_EQ(0604u, st.st_mode & 07777);
    ASSERT_EQ(0, stat(fresh.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_EQ(text, ReadFile(fresh));
}

// ---- printing -----------------------------------------------------------------------------------

TEST_F(TapeTest, PrintRunsTheDialogAndPrintsTheListOnlyWhenAnswered) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("1+2=");
    Printing();
    gDialogAnswer = 0;
    Menu("Print");
    EXPECT_EQ(1, gDialogs);
    EXPECT_TRUE(gPrinted.empty());
    gDialogAnswer = 1;
    Menu("Print");
    EXPECT_EQ((std::vector<Window *>{List()}), gPrinted);
    EXPECT_EQ(3u, Read().size()); // printing leaves the tape as it was
}

// The print dialog runs a loop of its own: whatever closes meanwhile, Print stops after it.
TEST_F(TapeTest, PrintStopsWhenTheTapeOrThePanelClosedDuringItsDialog) {
    ASSERT_NE(nullptr, Build());
    struct Case {
        const char *what;
        std::function<void()> close;
        bool panelGone;
    } cases[] = {
        {"the switch", [this] { Press("Printer"); }, false},
        {"the close box",
         [this] {
             HeadlessClose(Tape()->host);
             Settle();
         },
         false},
        {"the panel", [this] { Press("Quit"); }, true},
    };
    for (const Case &c : cases) {
        ASSERT_NE(nullptr, OpenTape()) << c.what;
        Type("1+");
        Printing();
        gDuringDialog = c.close;
        Menu("Print");
        gDuringDialog = nullptr;
        EXPECT_EQ(1, gDialogs) << c.what;
        EXPECT_TRUE(gPrinted.empty()) << c.what;
        EXPECT_EQ(nullptr, Tape()) << c.what;
        EXPECT_EQ(c.panelGone, !WindowIsLive(panel)) << c.what;
        if (!c.panelGone) {
            EXPECT_EQ(0, GetButtonCheck("Printer", panel)) << c.what;
        }
    }
    panel = nullptr;
}

// The toolkit's own print dialog, answered as a user would: after the test's step (which may
// close the tape under the dialog), the file is typed and OK pressed if the dialog is still up.
struct PrintAnswer {
    std::string file;
    std::function<void()> during;
    int tries = 0;
};

void AnswerPrintDialog(void *context) {
    PrintAnswer *a = (PrintAnswer *)context;
    Window *d = nullptr, *first = FirstTopWindow();
    for (Window *w = first; w && !d; w = w->next == first ? nullptr : w->next)
        for (Window *c = w; c && !d; c = c->chain) // an owned dialog may hang below its owner
            if (c->name && strcmp(c->name, "Print") == 0 && WindowKind(c) == kWindowKindDialog)
                d = c;
    if (!d) { // not up yet: the menu acts once the loop has delivered the click
        if (++a->tries < 50)
            HeadlessAt(HeadlessNow() + 20, AnswerPrintDialog, a);
        return;
    }
    if (a->during)
        a->during();
    if (!WindowIsLive(d) || !FindNamedWindow("FILE", d))
        return;
    SetItemText("FILE", a->file.c_str(), -1, d);
    Click(FindNamedWindow("OK", d), 4, 4);
}

std::string Squeezed(const std::string &text) {
    std::string out;
    for (char c : text)
        if (c != ' ' || (!out.empty() && out.back() != ' ' && out.back() != '\n'))
            out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// Print goes through the print dialog into a real PDF holding the tape's lines in order; a tape
// closed while the dialog is up prints nothing and the panel goes on.
TEST_F(TapeTest, PrintWritesTheTapeAndNothingWhenTheTapeClosedMeanwhile) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("12*3+4=");
    PrintAnswer printed = {configDir + "/tape.pdf", nullptr};
    HeadlessAt(HeadlessNow() + 20, AnswerPrintDialog, &printed);
    Menu("Print", 5000);
    std::string want;
    for (const std::string &line : Read())
        want += Squeezed(line) + "\n";
    FILE *p = popen(("pdftotext -layout '" + printed.file + "' - 2>/dev/null").c_str(), "r");
    ASSERT_NE(nullptr, p);
    std::string text;
    for (int c; (c = fgetc(p)) != EOF;)
        text += (char)c;
    pclose(p);
    std::string got;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\f'))
            line.pop_back();
        line.erase(0, line.find_first_not_of(" \f"));
        if (!line.empty())
            got += Squeezed(line) + "\n";
    }
    // The header first: the tape's title, the date and time, the page of how many.
    size_t headerEnd = got.find('\n');
    ASSERT_NE(std::string::npos, headerEnd);
    std::string header = got.substr(0, headerEnd);
    EXPECT_EQ(0u, header.rfind("torva - printer 20", 0)) << header;
    EXPECT_NE(std::string::npos, header.find(" page 1 of 1")) << header;
    EXPECT_EQ(want, got.substr(headerEnd + 1));
    ASSERT_NE(nullptr, Tape());

    // Closed by its close box: a nested wait here would end the dialog's loop as well.
    PrintAnswer closed = {configDir + "/closed.pdf", [this] { HeadlessClose(Tape()->host); }};
    HeadlessAt(HeadlessNow() + 20, AnswerPrintDialog, &closed);
    Menu("Print", 5000);
    EXPECT_EQ(nullptr, Tape());
    EXPECT_NE(0, access(closed.file.c_str(), F_OK));
    Type("+1=");
    EXPECT_EQ("41|", Shown());
}

// Looked at by a person: the tape after a few calculations. The menu reads left to right inside
// the window, the list is white and ends with the newest line.
TEST_F(TapeTest, ThePictureOfTheTape) {
    ASSERT_NE(nullptr, Build());
    ASSERT_NE(nullptr, OpenTape());
    Type("12*3+4=5/0=");
    Press("AllClr");
    Type("1.5v*(2+3)=1/3=2v/3x20v=");
    Settle();
    EXPECT_EQ(0, HeadlessSavePng(Tape()->host, TestPicturePath("tape.png").c_str()));
    Window *bar = FindNamedWindow("pmen", Tape());
    ASSERT_NE(nullptr, bar);
    int right = -1;
    for (const char *item : {"Print", "Close", "Save as text", "Clear"}) {
        Window *w = FindNamedWindow(item, bar);
        ASSERT_NE(nullptr, w) << item;
        EXPECT_GT(w->left, right) << item;
        right = w->right;
    }
    EXPECT_LT(right, bar->right - bar->left);
    Window *list = List();
    EXPECT_EQ(0xFFFFFF, HeadlessPixel(list->host, list->right - list->left - 8, 8));
    EXPECT_EQ("=         -6.666666667 19", Read().back()); // the widest line fits
    EXPECT_EQ((int)Read().size(), View().second);
}

} // namespace
