// Print jobs on the headless host, into real PostScript and PDF files read back with poppler's
// tools: every line of a list once and in order over the right number of pages, the screen's
// fonts back afterwards, failures reported and undone, the settings' defaults.
#include "windtest.h"

#include "pdfraster.h"

#include "buffer.h"
#include "dialog.h"
#include "fonts.h"
#include "gdi.h"
#include "print.h"
#include "textwind.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace windtest;
using namespace pdfraster;

namespace {

std::string Shell(const std::string &command) {
    std::string out;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

int Pages(const std::string &pdf) {
    std::istringstream info(Shell("pdfinfo '" + pdf + "' 2>/dev/null"));
    for (std::string line; std::getline(info, line);)
        if (line.rfind("Pages:", 0) == 0)
            return atoi(line.c_str() + 6);
    return -1;
}

// The numbers of the lines "line N" printed in a PDF, in the order they are read.
std::vector<int> LineNumbers(const std::string &pdf) {
    std::istringstream text(Shell("pdftotext -layout '" + pdf + "' -"));
    std::vector<int> seen;
    for (std::string line; std::getline(text, line);) {
        size_t at = line.find("line ");
        if (at != std::string::npos)
            seen.push_back(atoi(line.c_str() + at + 5));
    }
    return seen;
}

class PrintTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        char pattern[] = "/tmp/print_test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        top = Top("tape", kWindowFramed, 1, 1, 30, 20);
        list = NewListBox(0, 0, 29, 19, 0, 0xFFFFFF, "printout", 0, nullptr, top);
        ASSERT_NE(nullptr, list);
        list->font = FontLookup("face:courier!height:120!bold:0!italic:0!setwidth:1");
        LoadPrintSettings(nullptr, &settings);
    }
    void TearDown() override {
        WindTest::TearDown();
        if (!getenv("KEEP"))
            Shell("rm -rf '" + dir + "'");
    }
    void Fill(int lines) {
        std::string text;
        for (int i = 1; i <= lines; i++)
            text += "line " + std::to_string(i) + "\n";
        ASSERT_EQ(0, ListBoxInsert(text.c_str(), (int)text.size(), nullptr, list));
    }
    int PrintTo(const std::string &name) {
        snprintf(settings.name, sizeof settings.name, "%s", name.c_str());
        return PrintTextWindow(&settings, list, nullptr);
    }
    std::string dir;
    Window *top = nullptr, *list = nullptr;
    PrintSettings settings = {};
};

TEST_F(PrintTest, EveryLineIsPrintedOnceInOrderOverTheRightPages) {
    Fill(300);
    GC *screen = GetWindowGC(list);
    ASSERT_NE(nullptr, screen);
    int spacing = FontLineSpacing(list->font, screen), m = CharWidth('m', list->font, screen);
    ReleaseGC(screen);

    settings.paper = 2; // A4
    std::string pdf = dir + "/tape.pdf";
    ASSERT_EQ(0, PrintTo(pdf));
    std::vector<int> seen = LineNumbers(pdf);
    ASSERT_EQ(300u, seen.size());
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(i + 1, seen[(size_t)i]);
    // A4 at 600 dpi less the margins, at the line spacing of the font made for the printer:
    // the pages the lines need, no more.
    int height = (int)(841.8898 * 600 / 72) - 600 - 600;
    snprintf(settings.name, sizeof settings.name, "%s/probe.pdf", dir.c_str());
    PrintSettings *job = wStartPrint(&settings, list);
    ASSERT_NE(nullptr, job);
    GC *printer = wGETGC(1, kGCPrinter, nullptr, list);
    ASSERT_NE(nullptr, printer);
    int printerSpacing = FontLineSpacing(list->font, printer);
    EXPECT_EQ(height, printer->innerHeight);
    ReleaseGC(printer);
    EXPECT_EQ(0, EndPrint(job));
    ASSERT_GT(printerSpacing, 4 * spacing); // made again for 600 dpi
    int perPage = height / printerSpacing;
    EXPECT_EQ((300 + perPage - 1) / perPage, Pages(pdf)) << perPage << " lines a page";

    screen = GetWindowGC(list);
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(spacing, FontLineSpacing(list->font, screen));
    EXPECT_EQ(m, CharWidth('m', list->font, screen));
    ReleaseGC(screen);
    EXPECT_EQ(0, PrintingColors());
}

// Printing starts at line 1 whatever the user looks at, and leaves the view as it found it.
TEST_F(PrintTest, TheViewIsPutBackAfterPrinting) {
    Fill(300);
    ListBoxSelectLine(200, list);
    RepaintWindow(list);
    TextDesc *d = TextDescOf(list);
    ASSERT_NE(nullptr, d);
    int topLine = d->topLine, offset = d->leftOffset;
    int32_t line = CurrentLineNumber(d->buffer);
    ASSERT_GT(topLine, 1);
    EXPECT_EQ(0, PrintTo(dir + "/view.pdf"));
    std::vector<int> seen = LineNumbers(dir + "/view.pdf");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(1, seen.front());
    EXPECT_EQ(300, seen.back());
    EXPECT_EQ(topLine, d->topLine);
    EXPECT_EQ(offset, d->leftOffset);
    EXPECT_EQ(line, CurrentLineNumber(d->buffer));
}

TEST_F(PrintTest, ANameWithoutPdfGivesPostScriptAndARelativeOneGoesHome) {
    Fill(3);
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", dir.c_str(), 1);
    EXPECT_EQ(0, PrintTo("out.ps"));
    setenv("HOME", home.c_str(), 1);
    std::ifstream in(dir + "/out.ps");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(0u, first.rfind("%!PS", 0)) << first;
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, all.find("%%Pages: 1"));
    EXPECT_NE(std::string::npos, all.find("%%EOF")); // finished, not cut short
}

std::string PageSize(const std::string &pdf) {
    std::istringstream info(Shell("pdfinfo '" + pdf + "' 2>/dev/null"));
    for (std::string line; std::getline(info, line);)
        if (line.rfind("Page size:", 0) == 0)
            return line.substr(line.find_first_not_of(' ', 10));
    return "";
}

// The paper setting picks the page; 0 is the system's paper, found as libpaper finds it.
TEST_F(PrintTest, ThePaperSettingPicksThePage) {
    Fill(2);
    std::string conf = dir + "/papersize";
    std::ofstream(conf) << "# the paper here\n\n  letter\n";
    struct Case {
        int paper;
        const char *papersize; // $PAPERSIZE, null: unset
        std::string paperconf; // $PAPERCONF
        std::string size;      // as pdfinfo gives it
    } const cases[] = {
        {1, "a4", conf, "612 x 792 pts (letter)"},
        {2, "letter", conf, "595.276 x 841.89 pts (A4)"},
        {3, nullptr, conf, "612 x 1008 pts"},
        {0, "Legal", conf, "612 x 1008 pts"},
        {0, "a5", conf, "595.276 x 841.89 pts (A4)"},
        {0, nullptr, conf, "612 x 792 pts (letter)"},
        {0, nullptr, dir + "/none", "595.276 x 841.89 pts (A4)"},
        {7, "letter", conf, "612 x 792 pts (letter)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.paper) + " " + (c.papersize ? c.papersize : "-"));
        if (c.papersize)
            setenv("PAPERSIZE", c.papersize, 1);
        else
            unsetenv("PAPERSIZE");
        setenv("PAPERCONF", c.paperconf.c_str(), 1);
        settings.paper = c.paper;
        EXPECT_EQ(0, PrintTo(dir + "/paper.pdf"));
        EXPECT_EQ(c.size, PageSize(dir + "/paper.pdf"));
    }
    unsetenv("PAPERSIZE");
    unsetenv("PAPERCONF");
}

TEST_F(PrintTest, AFailedPrintIsReportedUndoneAndTheNextOneWorks) {
    Fill(5);
    int boxes = HeadlessBoxCount();
    EXPECT_EQ(1, PrintTo(dir + "/missing/tape.pdf"));
    EXPECT_EQ(boxes + 1, HeadlessBoxCount());
    EXPECT_EQ(0, PrintingColors());
    EXPECT_EQ("", Shell("ls -A '" + dir + "'")); // no temporary file left behind
    EXPECT_EQ(0, PrintTo(dir + "/tape.pdf"));
    EXPECT_EQ(1, Pages(dir + "/tape.pdf"));
    EXPECT_EQ("tape.pdf\n", Shell("ls -A '" + dir + "'"));
    struct stat st;
    ASSERT_EQ(0, stat((dir + "/tape.pdf").c_str(), &st));
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(0666 & ~mask, st.st_mode & 0777); // a document, not a private temporary file
    // A document printed again keeps the mode its owner gave it.
    ASSERT_EQ(0, chmod((dir + "/tape.pdf").c_str(), 0640));
    EXPECT_EQ(0, PrintTo(dir + "/tape.pdf"));
    ASSERT_EQ(0, stat((dir + "/tape.pdf").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 0777);
}

// Failures that come at the end, after the fonts were made for the printer: the document
// cannot be put in place, or the disk refuses the bytes. Each is reported with the output's
// name and why, leaves nothing beside the output, gives the screen its fonts back, and the
// next print works.
TEST_F(PrintTest, AFailureAtTheEndIsReportedAndLeavesTheScreenAsItWas) {
    Fill(300);
    GC *screen = GetWindowGC(list);
    ASSERT_NE(nullptr, screen);
    int spacing = FontLineSpacing(list->font, screen), m = CharWidth('m', list->font, screen);
    ReleaseGC(screen);
    ASSERT_EQ(0, mkdir((dir + "/taken").c_str(), 0755)); // a directory where the file should go

    struct Case {
        std::string name;
        rlim_t fileLimit;   // 0: no limit; else bytes a file may grow to, as on a full disk
        std::string reason; // empty: cairo's own words, from its spool file under the limit
    } const cases[] = {
        {"taken", 0, "Is a directory"},
        {"big.pdf", 2048, "File too large"},
        {"big.ps", 2048, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string before = Shell("ls -A '" + dir + "'");
        int boxes = HeadlessBoxCount();
        rlimit old;
        ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
        void (*oldSignal)(int) = signal(SIGXFSZ, SIG_IGN);
        if (c.fileLimit) {
            rlimit limited = old;
            limited.rlim_cur = c.fileLimit;
            ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
        }
        int printed = PrintTo(dir + "/" + c.name);
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldSignal);

        EXPECT_EQ(1, printed);
        ASSERT_EQ(boxes + 1, HeadlessBoxCount());
        std::string said = HeadlessBoxText(boxes);
        std::string expected = "Cannot write " + dir + "/" + c.name + ": " + c.reason;
        if (c.reason.empty())
            EXPECT_EQ(0u, said.rfind(expected, 0)) << said;
        else
            EXPECT_EQ(expected, said);
        EXPECT_STREQ("Print", HeadlessBoxCaption(boxes));
        EXPECT_EQ(before, Shell("ls -A '" + dir + "'")); // nothing half-written, no temporary
        EXPECT_EQ(0, PrintingColors());
        screen = GetWindowGC(list);
        ASSERT_NE(nullptr, screen);
        EXPECT_EQ(spacing, FontLineSpacing(list->font, screen));
        EXPECT_EQ(m, CharWidth('m', list->font, screen));
        ReleaseGC(screen);
    }
    EXPECT_EQ(0, PrintTo(dir + "/after.pdf"));
    EXPECT_LT(1, Pages(dir + "/after.pdf"));
}

TEST_F(PrintTest, OneJobAtATimeAndEveryPageCarriesALine) {
    Fill(4);
    snprintf(settings.name, sizeof settings.name, "%s/a.pdf", dir.c_str());
    PrintSettings *job = wStartPrint(&settings, list);
    ASSERT_NE(nullptr, job);
    EXPECT_EQ(nullptr, wStartPrint(&settings, top));
    EXPECT_STREQ("wStartPrint: printer in use by printout", LastQuietDiagnostic());
    EXPECT_EQ(0, EndPrint(job));
    // Margins that leave no height: one line a page, and the loop ends.
    settings.topMargin = 4000;
    settings.bottomMargin = 4000;
    EXPECT_EQ(0, PrintTo(dir + "/b.pdf"));
    EXPECT_EQ(4, Pages(dir + "/b.pdf"));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), LineNumbers(dir + "/b.pdf"));
}

TEST_F(PrintTest, SettingsHaveTheirDefaultsAndAPaperOutOfRangeIsTheSystems) {
    std::string file = dir + "/torva.ini";
    PrintSettings s;
    LoadPrintSettings(file.c_str(), &s);
    EXPECT_EQ(600, s.resolutionX);
    EXPECT_EQ(600, s.resolutionY);
    EXPECT_EQ(450, s.leftMargin);
    EXPECT_EQ(450, s.rightMargin);
    EXPECT_EQ(600, s.topMargin);
    EXPECT_EQ(600, s.bottomMargin);
    EXPECT_EQ(2, s.language);
    EXPECT_STREQ("out.ps", s.name);
    EXPECT_EQ(1, s.copies);
    EXPECT_EQ(1, s.flags); // colour
    EXPECT_EQ(0, s.paper);
    EXPECT_EQ(0, s.connect);
    EXPECT_EQ(1, s.fromPage);
    EXPECT_EQ(-1, s.toPage);
    EXPECT_EQ(-1, s.maxPage);
    EXPECT_STREQ(kPrintSystemDefault, s.queue); // until a choice is made

    struct Case {
        const char *stored;
        int paper, flags;
        const char *name;
    } const cases[] = {
        {"PRINT_PAPER=7\nPRINT_FLAGS=12\nPRINT_LANGUAGE=5\n", 0, 0, "out.pcl"},
        {"PRINT_PAPER=-1\nPRINT_FLAGS=6\n", 0, 2, "out.ps"},
        {"PRINT_PAPER=3\nPRINT_FLAGS=-1\nPRINT_PSOUTFILE=tape.pdf\n", 3, 3, "tape.pdf"},
        {"PRINT_PAPER=1\nPRINT_FLAGS=0\nPRINT_OUTFILE=other.pdf\n", 1, 0, "out.ps"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        std::ofstream(file) << "[nv]\n" << c.stored;
        LoadPrintSettings(file.c_str(), &s);
        EXPECT_EQ(c.paper, s.paper);
        EXPECT_EQ(c.flags, s.flags);
        EXPECT_STREQ(c.name, s.name);
    }
}

} // namespace

namespace {

// The user's part of a print dialog, run from the event loop once it is open.
struct Answer {
    std::string file;
    bool ok;
    bool byReturn = false;                  // OK by Return in the file field
    int printer = 0;                        // the line of the printers list to choose, 0 for none
    std::vector<std::string> printers = {}; // what the list offered
    bool waitForQueues = true;              // answer once lpstat has named the queues
    int offeredLine = 0;                    // the line the dialog had chosen when answered
};

void Answering(void *context) {
    const Answer *a = (const Answer *)context;
    Window *d = OpenDialog();
    ASSERT_NE(nullptr, d);
    // lpstat runs in real time while the virtual clock runs on: look again until it answered.
    if (a->waitForQueues && PrintAskingForQueues()) {
        usleep(1000);
        HeadlessAt(HeadlessNow() + 20, Answering, context);
        return;
    }
    if (a->ok) {
        SetItemText("FILE", a->file.c_str(), -1, d);
        Click(FindNamedWindow("paper2", d), 3, 3); // A4
        Click(FindNamedWindow("colour", d), 3, 3); // off
        SetItemText("COPIES", "2", -1, d);
    }
    Answer *seen = (Answer *)context;
    if (Window *list = FindNamedWindow("PRINTERS", d)) {
        TextDesc *t = TextDescOf(list);
        seen->offeredLine = t && t->buffer ? CurrentLineNumber(t->buffer) : 0;
        for (int line = 1; t && t->buffer && line < t->buffer->lineCount; line++) {
            BufferGoto(line, 1, t->buffer);
            std::string text(LockLine(t->buffer), (size_t)CurrentLineLength(t->buffer));
            while (!text.empty() && text.back() == '\n')
                text.pop_back();
            seen->printers.push_back(text);
        }
        if (a->printer > 0)
            ListBoxSelectLine(a->printer, list);
    }
    if (a->byReturn) {
        HeadlessKeystroke(kHostKeyReturn, '\r');
        return;
    }
    Window *button = FindNamedWindow(a->ok ? "OK" : "Cancel", d);
    ASSERT_NE(nullptr, button);
    Click(button, 4, 4);
}

std::string Contents(const std::string &path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST_F(PrintTest, TheDialogsChoicesAreUsedAndRemembered) {
    std::string file = dir + "/torva.ini";
    std::ofstream(file) << "[nv]\nPRINT_PAPER=1\n";
    // Cancel: nothing current, nothing written.
    Answer cancel = {"", false};
    HeadlessAt(HeadlessNow() + 100, Answering, &cancel);
    EXPECT_EQ(0, ReadPrintSettings(file.c_str(), top));
    EXPECT_EQ(nullptr, CurrentPrintSettings());
    // The reads fill in the defaults of missing keys, as every read of the settings does; no
    // value the user had changes and no choice is stored.
    std::string cancelled = Contents(file);
    EXPECT_NE(std::string::npos, cancelled.find("PRINT_PAPER=1\n"));
    EXPECT_EQ(std::string::npos, cancelled.find("PRINT_OUTFILE"));

    Answer ok = {dir + "/chosen.pdf", true};
    HeadlessAt(HeadlessNow() + 100, Answering, &ok);
    ASSERT_EQ(1, ReadPrintSettings(file.c_str(), top));
    PrintSettings *s = CurrentPrintSettings();
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(ok.file, s->name);
    EXPECT_EQ(2, s->paper);
    EXPECT_EQ(0, s->flags);
    EXPECT_EQ(2, s->copies);
    EXPECT_EQ(450, s->leftMargin); // the margins stay: a page printed to its edges loses text
    std::string text = Contents(file);
    for (const std::string &line :
         std::vector<std::string>{"PRINT_PAPER=2", "PRINT_FLAGS=0", "PRINT_PSOUTFILE=" + ok.file,
                                  "PRINT_OUTFILE=" + ok.file, "PRINT_TOPMARGIN=600"})
        EXPECT_NE(std::string::npos, text.find(line + "\n")) << line << " in\n" << text;
    // Offered again next time, and printing with it makes that file.
    PrintSettings again;
    LoadPrintSettings(file.c_str(), &again);
    EXPECT_EQ(ok.file, again.name);
    Fill(2);
    EXPECT_EQ(0, PrintTextWindow(s, list, nullptr));
    EXPECT_EQ(2, Pages(ok.file)); // two copies of a one-page file: its page twice
}

TEST_F(PrintTest, ReturnInTheFileFieldIsOk) {
    Answer typed = {dir + "/typed.pdf", true, true};
    HeadlessAt(HeadlessNow() + 100, Answering, &typed);
    ASSERT_EQ(1, ReadPrintSettings(nullptr, top));
    ASSERT_NE(nullptr, CurrentPrintSettings());
    EXPECT_EQ(typed.file, CurrentPrintSettings()->name);
}

// The largest font there is: few lines a page, each printed once, and the print ends with
// the page holding the last line.
TEST_F(PrintTest, TheLargestFontPrintsEveryLineOnTheRightPages) {
    int huge = FontLookup("face:courier!height:999999!bold:0!italic:0!setwidth:1");
    ASSERT_GE(huge, 0);
    list->font = huge;
    Fill(12);
    snprintf(settings.name, sizeof settings.name, "%s/probe.pdf", dir.c_str());
    PrintSettings *job = wStartPrint(&settings, list);
    ASSERT_NE(nullptr, job);
    GC *printer = wGETGC(1, kGCPrinter, nullptr, list);
    ASSERT_NE(nullptr, printer);
    int perPage = printer->innerHeight / FontLineSpacing(huge, printer);
    ReleaseGC(printer);
    EXPECT_EQ(0, EndPrint(job));
    ASSERT_GE(perPage, 1);
    ASSERT_LT(perPage, 12); // more than one page

    EXPECT_EQ(0, PrintTo(dir + "/huge.pdf"));
    std::vector<int> expected;
    for (int i = 1; i <= 12; i++)
        expected.push_back(i);
    EXPECT_EQ(expected, LineNumbers(dir + "/huge.pdf"));
    EXPECT_EQ((12 + perPage - 1) / perPage, Pages(dir + "/huge.pdf"));
}

// With CUPS's commands on the PATH (stand-ins here), the dialog offers the queues with the
// default first, and a job on a queue is handed to lp with exactly its arguments, in the
// background: the print returns at once, the window's title says where the document goes until
// lp has it, and a failing lp is reported when it ends. The temporary document never stays.
TEST_F(PrintTest, AQueueGetsTheDocumentThroughLp) {
    std::string bin = dir + "/bin";
    ASSERT_EQ(0, mkdir(bin.c_str(), 0755));
    std::ofstream(bin + "/lpstat") << "#!/bin/sh\ncase \"$1\" in\n-e) printf 'office\\nlab\\n' ;;\n"
                                      "-d) echo 'system default destination: lab' ;;\nesac\n";
    std::ofstream(bin + "/lp")
        << "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + dir + "/lp.args\nhead -c 4 \"$8\" > " + dir +
               "/lp.head\ns=$(cat " + dir +
               "/lp.status)\n"
               "[ \"$s\" = 0 ] && echo 'request id is office-1 (1 file(s))'\n"
               "[ \"$s\" = 3 ] && { echo 'lp: first' >&2; "
               "echo '  lp: The printer or class does not exist.  ' >&2; }\n"
               "exit $s\n";
    std::ofstream(dir + "/lp.status") << "0\n";
    chmod((bin + "/lpstat").c_str(), 0755);
    chmod((bin + "/lp").c_str(), 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);

    Answer choose = {dir + "/unused.pdf", true};
    choose.printer = 3; // office
    HeadlessAt(HeadlessNow() + 100, Answering, &choose);
    int answered = ReadPrintSettings(nullptr, top);
    EXPECT_EQ((std::vector<std::string>{"File", "lab", "office"}), choose.printers);
    ASSERT_EQ(1, answered);
    PrintSettings s = *CurrentPrintSettings();
    EXPECT_STREQ("office", s.queue);
    Fill(3);
    EXPECT_EQ(0, PrintTextWindow(&s, list, nullptr));
    EXPECT_STREQ("office", PrintSendingTo());
    EXPECT_STREQ("tape - sending to office...", top->text);
    ASSERT_TRUE(RunUntil([] { return PrintSendingTo() == nullptr; }));
    EXPECT_STREQ("tape", top->text);
    std::string args = Contents(dir + "/lp.args");
    std::string tempName = args.substr(args.rfind("--\n") + 3);
    EXPECT_EQ("-d\noffice\n-t\ntape\n-n\n2\n--\n" + tempName, args);
    tempName.pop_back();
    EXPECT_EQ("%PDF", Contents(dir + "/lp.head"));
    EXPECT_NE(0, access(tempName.c_str(), F_OK)) << tempName << " stayed";
    EXPECT_NE(0, access((dir + "/unused.pdf").c_str(), F_OK));

    struct Case {
        const char *status;
        const char *said;
    } const cases[] = {
        {"3", "lp office failed with status 3: lp: The printer or class does not exist."},
        {"4", "lp office failed with status 4"}, // without a word from lp, the status alone
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        std::ofstream(dir + "/lp.status") << c.status << "\n";
        int boxes = HeadlessBoxCount();
        EXPECT_EQ(0, PrintTextWindow(&s, list, nullptr));
        ASSERT_TRUE(RunUntil([] { return PrintSendingTo() == nullptr; }));
        ASSERT_EQ(boxes + 1, HeadlessBoxCount());
        EXPECT_STREQ(c.said, HeadlessBoxText(boxes));
        args = Contents(dir + "/lp.args");
        tempName = args.substr(args.rfind("--\n") + 3);
        tempName.pop_back();
        EXPECT_NE(0, access(tempName.c_str(), F_OK)) << tempName << " stayed";
    }

    // No lp at all: said so at once, and nothing stays behind either.
    unlink((bin + "/lp").c_str());
    setenv("PATH", bin.c_str(), 1);
    int boxes = HeadlessBoxCount();
    EXPECT_EQ(1, PrintTextWindow(&s, list, nullptr));
    ASSERT_EQ(boxes + 1, HeadlessBoxCount());
    EXPECT_STREQ("lp office could not run", HeadlessBoxText(boxes));
    EXPECT_EQ(nullptr, PrintSendingTo());
    setenv("PATH", path.c_str(), 1);
}

// An lp that hangs never holds the windows: keys are delivered while it runs, and when its time
// is up it is stopped, the document goes, and the user is told in plain words.
TEST_F(PrintTest, AHangingLpNeitherFreezesTheWindowsNorOutlivesItsTime) {
    std::string bin = dir + "/bin";
    ASSERT_EQ(0, mkdir(bin.c_str(), 0755));
    std::ofstream(bin + "/lp") << "#!/bin/sh\nprintf '%s\\n' \"$8\" > " + dir +
                                      "/lp.file\nexec sleep 60\n";
    chmod((bin + "/lp").c_str(), 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    PrintSetSendSeconds(2);
    top->onKey = LogKey;
    SetFocusWindow(top);
    Fill(3);
    snprintf(settings.queue, sizeof settings.queue, "office");
    int boxes = HeadlessBoxCount();
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(0, PrintTextWindow(&settings, list, nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    // A key typed while lp hangs reaches the window.
    gLog.clear();
    HeadlessChar('k');
    EXPECT_TRUE(RunUntil([] { return !gLog.empty(); }, 1500));
    EXPECT_STREQ("office", PrintSendingTo());
    // A second document waits for the first: said so, nothing started.
    EXPECT_EQ(1, PrintTextWindow(&settings, list, nullptr));
    ASSERT_EQ(boxes + 1, HeadlessBoxCount());
    EXPECT_NE(nullptr, strstr(HeadlessBoxText(boxes), "still on its way to office"));
    ASSERT_TRUE(RunUntil([] { return PrintSendingTo() == nullptr; }, 10000));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    ASSERT_EQ(boxes + 2, HeadlessBoxCount());
    EXPECT_STREQ("lp did not finish in 2 s; the document was not sent", HeadlessBoxText(boxes + 1));
    std::string document = Contents(dir + "/lp.file");
    ASSERT_FALSE(document.empty());
    document.pop_back();
    EXPECT_NE(0, access(document.c_str(), F_OK)) << document << " stayed";
    EXPECT_STREQ("tape", top->text);
    PrintSetSendSeconds(0);
    setenv("PATH", path.c_str(), 1);
}

namespace {

struct Nested {
    bool asking = false; // inside the second request
    int result = 0;      // what the second request answered
    bool rescued = false;
};

// Asks for the dialog again from inside the open one, then cancels the open one.
void AskAgainThenCancel(void *context) {
    Nested *n = (Nested *)context;
    Window *d = OpenDialog();
    ASSERT_NE(nullptr, d);
    PrintSettings other;
    LoadPrintSettings(nullptr, &other);
    n->asking = true;
    n->result = PrinterDialog(&other, d);
    n->asking = false;
    Click(FindNamedWindow("Cancel", d), 4, 4);
}

// Closes a second dialog that should never have opened, so a fault fails instead of hanging.
void Rescue(void *context) {
    Nested *n = (Nested *)context;
    if (!n->asking)
        return;
    n->rescued = true;
    if (Window *d = OpenDialog())
        Click(FindNamedWindow("Cancel", d), 4, 4);
}

// Presses Cancel when the dialog refused OK and is still open (once lpstat has answered, when
// the answer could come).
void CancelIfOpen(void *context) {
    if (PrintAskingForQueues()) {
        HeadlessAt(HeadlessNow() + 100, CancelIfOpen, context);
        return;
    }
    if (Window *d = OpenDialog()) {
        *(bool *)context = true;
        Click(FindNamedWindow("Cancel", d), 4, 4);
    }
}

} // namespace

TEST_F(PrintTest, TheDialogIsOpenOnceAtATime) {
    Nested nested;
    HeadlessAt(HeadlessNow() + 100, AskAgainThenCancel, &nested);
    HeadlessAt(HeadlessNow() + 300, Rescue, &nested);
    PrintSettings s;
    LoadPrintSettings(nullptr, &s);
    EXPECT_EQ(-1, PrinterDialog(&s, top));
    EXPECT_EQ(-1, nested.result);
    EXPECT_FALSE(nested.rescued);
    // Once it is closed it opens again.
    Answer ok = {dir + "/again.pdf", true};
    HeadlessAt(HeadlessNow() + 400, Answering, &ok);
    EXPECT_EQ(1, PrinterDialog(&s, top));
    EXPECT_EQ(ok.file, s.name);
}

// The queues come from lpstat in the C locale, the default first; when lpstat is missing,
// fails or hangs, the dialog still opens, offering the file alone: it opens at once, before
// lpstat has answered, and a hung lpstat is stopped when the dialog closes.
TEST_F(PrintTest, TheQueuesOfferedFollowLpstat) {
    std::string bin = dir + "/bin";
    ASSERT_EQ(0, mkdir(bin.c_str(), 0755));
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    const char *oldLocale = getenv("LC_ALL");
    std::string locale = oldLocale ? oldLocale : "";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    struct Case {
        const char *what;
        const char *script; // null: no lpstat on the PATH
        std::vector<std::string> offered;
    } const cases[] = {
        {"missing", nullptr, {"File"}},
        {"no server", "echo 'lpstat: Scheduler is not running.' >&2\nexit 1\n", {"File"}},
        {"hung", "exec sleep 30\n", {"File"}},
        {"no default",
         "case \"$1\" in\n-e) printf 'a\\nb\\n' ;;\n"
         "-d) echo 'no system default destination' ;;\nesac\n",
         {"File", "a", "b"}},
        {"default first",
         "case \"$1\" in\n-e) printf 'a\\nb  \\n' ;;\n-d) if [ \"$LC_ALL\" = C ]; then echo "
         "'system default destination: b'; else echo 'Standardziel: a'; fi ;;\nesac\n",
         {"File", "b", "a"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unlink((bin + "/lpstat").c_str());
        if (c.script) {
            std::ofstream(bin + "/lpstat") << "#!/bin/sh\n" << c.script;
            chmod((bin + "/lpstat").c_str(), 0755);
        }
        // Without a script nothing else may answer for it: the PATH is the empty directory.
        setenv("PATH", c.script ? (bin + ":" + path).c_str() : bin.c_str(), 1);
        Answer cancel = {"", false};
        cancel.waitForQueues = strcmp(c.what, "hung") != 0;
        HeadlessAt(HeadlessNow() + 100, Answering, &cancel);
        auto opened = std::chrono::steady_clock::now();
        EXPECT_EQ(0, ReadPrintSettings(nullptr, top));
        EXPECT_LT(std::chrono::steady_clock::now() - opened, std::chrono::seconds(5));
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(c.offered, cancel.printers);
    }
    if (oldLocale)
        setenv("LC_ALL", locale.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

// With a queue chosen the file field may be empty; the file offered before stays offered.
TEST_F(PrintTest, AQueueNeedsNoFileName) {
    std::string bin = dir + "/bin";
    ASSERT_EQ(0, mkdir(bin.c_str(), 0755));
    std::ofstream(bin + "/lpstat") << "#!/bin/sh\n[ \"$1\" = -e ] && echo office\nexit 0\n";
    chmod((bin + "/lpstat").c_str(), 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    std::string file = dir + "/torva.ini";
    std::ofstream(file) << "[nv]\nPRINT_PSOUTFILE=" << dir << "/before.pdf\n";

    Answer queue = {"", true};
    queue.printer = 2;
    bool refused = false;
    HeadlessAt(HeadlessNow() + 100, Answering, &queue);
    HeadlessAt(HeadlessNow() + 300, CancelIfOpen, &refused);
    int answered = ReadPrintSettings(file.c_str(), top);
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(refused);
    ASSERT_EQ(1, answered);
    EXPECT_STREQ("office", CurrentPrintSettings()->queue);
    EXPECT_EQ(dir + "/before.pdf", CurrentPrintSettings()->name);
    PrintSettings again;
    LoadPrintSettings(file.c_str(), &again);
    EXPECT_EQ(dir + "/before.pdf", again.name);
}

namespace {

// The header lines of a PDF's pages, blanks squeezed.
std::vector<std::string> Headers(const std::string &pdf, const std::string &title) {
    std::istringstream text(Shell("pdftotext -layout '" + pdf + "' -"));
    std::vector<std::string> headers;
    for (std::string line; std::getline(text, line);) {
        line.erase(0, line.find_first_not_of(" \f"));
        if (line.rfind(title, 0) != 0)
            continue;
        std::string squeezed;
        for (char c : line)
            if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' '))
                squeezed += c;
        headers.push_back(squeezed);
    }
    return headers;
}

} // namespace

// Colour off: every colour on paper is black but the window's own background, which is the
// paper; colour on keeps the colours (so the check can see them).
TEST_F(PrintTest, ColourOffPrintsNothingButBlackAndWhite) {
    Window *coloured = NewListBox(0, 0, 29, 19, 0xFF0000, 0x80FFFF, "coloured", 0, nullptr, top);
    ASSERT_NE(nullptr, coloured);
    coloured->font = list->font;
    std::string text;
    for (int i = 1; i <= 20; i++)
        text += "blue on yellow " + std::to_string(i) + "\n";
    ASSERT_EQ(0, ListBoxInsert(text.c_str(), (int)text.size(), nullptr, coloured));
    for (int flags : {1, 0}) {
        SCOPED_TRACE(flags);
        settings.flags = flags;
        std::string pdf = dir + "/colour" + std::to_string(flags) + ".pdf";
        snprintf(settings.name, sizeof settings.name, "%s", pdf.c_str());
        ASSERT_EQ(0, PrintTextWindow(&settings, coloured, "coloured"));
        Raster page = Rasterize(pdf, 50, dir + "/colour" + std::to_string(flags));
        ASSERT_GT(page.width, 0);
        if (flags)
            EXPECT_GT(ColouredPixels(page), 100);
        else
            EXPECT_EQ(0, ColouredPixels(page));
    }
}

// A selected line prints as every other line does: the page is the same as without it.
TEST_F(PrintTest, TheSelectionIsNotPrinted) {
    Fill(8);
    ASSERT_EQ(0, PrintTo(dir + "/plain.pdf"));
    ASSERT_EQ(0, ListBoxSelectLine(3, list));
    ASSERT_EQ(0, PrintTo(dir + "/selected.pdf"));
    Raster plain = Rasterize(dir + "/plain.pdf", 40, dir + "/plain");
    Raster selected = Rasterize(dir + "/selected.pdf", 40, dir + "/selected");
    ASSERT_GT(plain.width, 0);
    EXPECT_TRUE(plain.rgb == selected.rgb) << "the selected line looks different on paper";
}

// With a title every page begins with the header: the title, the date and time, the page of how
// many; the lines below it still go over the pages once each and in order.
TEST_F(PrintTest, EveryPageHasItsHeader) {
    Fill(300);
    std::string pdf = dir + "/headed.pdf";
    snprintf(settings.name, sizeof settings.name, "%s", pdf.c_str());
    ASSERT_EQ(0, PrintTextWindow(&settings, list, "the tape"));
    int pages = Pages(pdf);
    ASSERT_GT(pages, 1);
    std::vector<std::string> headers = Headers(pdf, "the tape");
    ASSERT_EQ((size_t)pages, headers.size());
    for (int i = 0; i < pages; i++) {
        const std::string &h = headers[(size_t)i];
        std::string tail = "page " + std::to_string(i + 1) + " of " + std::to_string(pages);
        EXPECT_EQ(tail, h.substr(h.size() - std::min(h.size(), tail.size()))) << h;
        EXPECT_EQ("the tape 20", h.substr(0, 11)) << h; // then the date
    }
    std::vector<int> seen = LineNumbers(pdf);
    ASSERT_EQ(300u, seen.size());
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(i + 1, seen[(size_t)i]);
}

// From and To print those pages alone, as they are numbered in the whole document; copies of a
// file repeat its pages; a range past the end prints nothing, says so, and leaves the old file.
TEST_F(PrintTest, ThePageRangeAndCopiesOfAFile) {
    Fill(300);
    std::string whole = dir + "/whole.pdf";
    ASSERT_EQ(0, PrintTo(whole));
    int pages = Pages(whole);
    ASSERT_GE(pages, 4);
    settings.toPage = 1;
    ASSERT_EQ(0, PrintTo(dir + "/first.pdf"));
    EXPECT_EQ(1, Pages(dir + "/first.pdf"));
    int perPage = (int)LineNumbers(dir + "/first.pdf").size();
    ASSERT_GT(perPage, 0);

    settings.fromPage = 2;
    settings.toPage = 3;
    std::string part = dir + "/part.pdf";
    ASSERT_EQ(0, PrintTo(part));
    EXPECT_EQ(2, Pages(part));
    std::vector<int> seen = LineNumbers(part);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(perPage + 1, seen.front());
    EXPECT_EQ(3 * perPage, seen.back());
    EXPECT_EQ((size_t)(2 * perPage), seen.size());

    settings.copies = 2;
    std::string copies = dir + "/copies.pdf";
    ASSERT_EQ(0, PrintTo(copies));
    EXPECT_EQ(4, Pages(copies));
    std::vector<int> twice = seen;
    twice.insert(twice.end(), seen.begin(), seen.end());
    EXPECT_EQ(twice, LineNumbers(copies));

    settings.copies = 1;
    settings.fromPage = pages + 1;
    settings.toPage = -1;
    int boxes = HeadlessBoxCount();
    EXPECT_EQ(1, PrintTo(whole));
    ASSERT_EQ(boxes + 1, HeadlessBoxCount());
    EXPECT_EQ("Nothing printed: there is no page " + std::to_string(pages + 1) +
                  " (the document has " + std::to_string(pages) + " pages)",
              HeadlessBoxText(boxes));
    EXPECT_EQ(pages, Pages(whole));                                  // the old document stays
    EXPECT_EQ("", Shell("ls -A '" + dir + "' | grep -v '[.]pdf$'")); // and nothing beside it
}

// An empty window prints no blank page: it says there is nothing to print, and makes no file.
TEST_F(PrintTest, AnEmptyWindowHasNothingToPrint) {
    int boxes = HeadlessBoxCount();
    EXPECT_EQ(1, PrintTo(dir + "/empty.pdf"));
    ASSERT_EQ(boxes + 1, HeadlessBoxCount());
    EXPECT_STREQ("Nothing to print", HeadlessBoxText(boxes));
    EXPECT_NE(0, access((dir + "/empty.pdf").c_str(), F_OK));
}

// The dialog offers the queue chosen last (kept in PRINT_QUEUE), the file when that was the
// choice, and the system's default before any choice was made; a queue whose name lpstat gives
// in UTF-8 is shown in the toolkit's Latin-1 and handed on as lpstat named it.
TEST_F(PrintTest, TheQueueChosenLastIsOfferedAgain) {
    std::string bin = dir + "/bin";
    ASSERT_EQ(0, mkdir(bin.c_str(), 0755));
    std::ofstream(bin + "/lpstat") << "#!/bin/sh\ncase \"$1\" in\n"
                                      "-e) printf 'office\\nlab\\nB\\303\\274ro\\n' ;;\n"
                                      "-d) echo 'system default destination: lab' ;;\nesac\n";
    chmod((bin + "/lpstat").c_str(), 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    std::string file = dir + "/torva.ini";
    std::ofstream(file) << "[nv]\n";

    struct Step {
        int offered;       // the line the dialog chose: 1 File, 2 lab, 3 office, 4 Büro
        int choose;        // the line the user chooses
        const char *queue; // what the settings get
    } const steps[] = {
        {2, 3, "office"},      // no choice yet: the system's default
        {3, 1, ""},            // office, chosen last; now the file
        {1, 4, "B\xC3\xBCro"}, // the file, chosen last; now Büro
        {4, 4, "B\xC3\xBCro"}, // Büro again
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.choose);
        Answer answer = {dir + "/out.pdf", true};
        answer.printer = step.choose;
        HeadlessAt(HeadlessNow() + 100, Answering, &answer);
        ASSERT_EQ(1, ReadPrintSettings(file.c_str(), top));
        EXPECT_EQ((std::vector<std::string>{"File", "lab", "office", "B\xFCro"}), answer.printers);
        EXPECT_EQ(step.offered, answer.offeredLine);
        EXPECT_STREQ(step.queue, CurrentPrintSettings()->queue);
    }
    EXPECT_NE(std::string::npos, Contents(file).find("PRINT_QUEUE=B\xC3\xBCro\n"));
    setenv("PATH", path.c_str(), 1);
}
