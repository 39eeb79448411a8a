// The inquiry dialogs and the file dialog on the headless host. Each question runs its own modal
// loop, so the user's part is scripted before the call: steps on the virtual clock that fill a
// field, click a button or type keys through the real input path. The file dialog is also tested
// below the dialog, on a fixture directory (files, a subdirectory, links, a dotfile, a name with
// a line feed and a directory nobody may read).
#include "windtest.h"

#include "buffer.h"
#include "controls.h"
#include "dialog.h"
#include "filedlg.h"
#include "host.h"
#include "inquire.h"
#include "textwind.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace windtest;

namespace {

// ---- the script ----------------------------------------------------------------------------

struct Step {
    std::function<void()> run;
    int generation; // steps of a finished question never run into the next one
};
std::deque<Step> gSteps;
int gGeneration = 0;

void RunStep(void *context) {
    Step *s = (Step *)context;
    if (s->generation == gGeneration)
        s->run();
}

std::string Text(const char *name, Window *dialog) {
    char text[PATH_MAX] = "";
    GetItemText(name, text, sizeof text, dialog);
    return text;
}

void Press(const char *name) {
    Window *d = OpenDialog();
    ASSERT_NE(nullptr, d) << "no dialog to press " << name << " in";
    Window *b = FindNamedWindow(name, d);
    ASSERT_NE(nullptr, b);
    Click(b, 4, 4);
}

void Fill(const char *name, const char *text) {
    Window *d = OpenDialog();
    ASSERT_NE(nullptr, d) << "no dialog to fill " << name << " in";
    SetItemText(name, text, -1, d);
}

void Type(const char *text) {
    for (const char *p = text; *p; p++)
        HeadlessChar((unsigned char)*p);
}

void Return(void) { HeadlessKeystroke(kHostKeyReturn, '\r'); }

// The lines the list box shows; the list's cursor stays where it was, since Return acts on it.
std::vector<std::string> ListLines(Window *list) {
    std::vector<std::string> lines;
    TextDesc *d = TextDescOf(list);
    if (!d || !d->buffer)
        return lines;
    Buffer *b = d->buffer;
    int line0 = b->currentLine, column0 = b->currentColumn;
    for (int line = 1;; line++) {
        BufferGoto(line, 1, b);
        if (CurrentLineNumber(b) != line || CurrentLineLength(b) == 0)
            break;
        const char *text = LockLine(b);
        std::string s(text ? text : "", (size_t)CurrentLineLength(b));
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        lines.push_back(s);
    }
    BufferGoto(line0, column0, b);
    return lines;
}

// Chooses the list's line n (from 1) with a click on the first line, Down and Return.
void ChooseLine(int n) {
    Window *d = OpenDialog();
    ASSERT_NE(nullptr, d);
    Window *list = FindNamedWindow("FILES", d);
    ASSERT_NE(nullptr, list);
    Click(list, 20, 3);
    for (int i = 1; i < n; i++)
        HeadlessKeystroke(kHostKeyDown, 0);
    Return();
}

std::vector<std::string> Boxes(void) {
    std::vector<std::string> boxes;
    for (int i = 0; HeadlessBoxText(i); i++)
        boxes.push_back(std::string(HeadlessBoxCaption(i)) + ": " + HeadlessBoxText(i));
    return boxes;
}

void WriteFile(const std::string &path) {
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    close(fd);
}

// While the tests run as root, reading is denied through a plain user's eyes.
struct AsPlainUser {
    bool dropped = false;
    AsPlainUser() {
        if (geteuid() == 0)
            dropped = seteuid(65534) == 0;
    }
    ~AsPlainUser() {
        if (dropped) {
            EXPECT_EQ(0, seteuid(0));
        }
    }
};

class InquireTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        HeadlessBoxClear();
        HeadlessSetBoxAnswer(kHostAnswerOk);
        gSteps.clear();
        gGeneration++;
        next = HeadlessNow();
        top = Top("main", kWindowFramed, 1, 1, 60, 30);
        ASSERT_NE(nullptr, top);
        ShowWindowTree(top);

        char pattern[] = "/tmp/inquire_test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        chmod(dir.c_str(), 0755); // a plain user must see into it
        for (const char *f : {"b.prg", "a.prg", "c.txt", ".hidden", "new\nline"})
            WriteFile(dir + "/" + f);
        mkdir((dir + "/sub").c_str(), 0755);
        mkdir((dir + "/.git").c_str(), 0755);
        mkdir((dir + "/locked").c_str(), 0);
        WriteFile(dir + "/sub/inner.prg");
        ASSERT_EQ(0, symlink("sub", (dir + "/linkdir").c_str()));
        ASSERT_EQ(0, symlink("a.prg", (dir + "/linkfile").c_str()));
        ASSERT_EQ(0, symlink("nowhere", (dir + "/dangling").c_str()));
        const char *home = getenv("HOME");
        savedHome = home ? home : "";
        hadHome = home != nullptr;
    }
    void TearDown() override {
        gGeneration++;
        if (hadHome)
            setenv("HOME", savedHome.c_str(), 1);
        else
            unsetenv("HOME");
        std::string command = "chmod -R u+rwx '" + dir + "' && rm -rf '" + dir + "'";
        EXPECT_EQ(0, system(command.c_str()));
        WindTest::TearDown();
    }

  public:
    // Schedules a step of the user's part after the ones before it.
    void Then(std::function<void()> run) {
        next += 1000; // apart enough that two clicks never make a double click
        gSteps.push_back({std::move(run), gGeneration});
        HeadlessAt(next, RunStep, &gSteps.back());
    }
    // The last step: a question still open here is a fault; it is cancelled so the test ends.
    void ThenGiveUp() {
        Then([] {
            if (Window *d = OpenDialog()) {
                ADD_FAILURE() << "a dialog was still open: " << NameOf(d);
                PostEvent(kEventClose, 0, d);
            }
        });
        Then([] {
            if (Window *d = OpenDialog())
                PostEvent(kEventClose, 0, d);
        });
    }
    // Ends the script of one question, so its leftover steps do nothing.
    void Done() { gGeneration++; }

  protected:
    Window *top = nullptr;
    int64_t next = 0;
    std::string dir, savedHome;
    bool hadHome = false;
};

// ---- InquireNumber ----------------------------------------------------------------------------

struct NumberCase {
    const char *field;
    int result;
    int value; // when accepted
};

TEST_F(InquireTest, NumberFieldsAreReadLikeStrtolWithBaseZeroAndRefusedWhenNotWhole) {
    const NumberCase cases[] = {
        {"42", 1, 42},
        {"0x1F", 1, 31},
        {"017", 1, 15},
        {"-7", 1, -7},
        {" 12 ", 1, 12},
        {"2147483647", 1, INT_MAX},
        {"-2147483648", 1, INT_MIN},
        {"2147483648", -1, 0},
        {"4294967299", -1, 0},
        {"-2147483649", -1, 0},
        {"99999999999999999999999", -1, 0},
        {"", -1, 0},
        {"abc", -1, 0},
        {"12abc", -1, 0},
        {"0x", -1, 0},
        {"-", -1, 0},
    };
    for (const NumberCase &c : cases) {
        SCOPED_TRACE(c.field);
        HeadlessBoxClear();
        bool openAfterOk = false;
        Then([&] {
            Fill("NUMBER", c.field);
            Press("OK");
        });
        Then([&] {
            openAfterOk = OpenDialog() != nullptr;
            if (openAfterOk)
                Press("Cancel");
        });
        ThenGiveUp();
        int value = -555;
        EXPECT_EQ(c.result, InquireNumber("How many", 5, &value, top));
        Done();
        if (c.result == 1) {
            EXPECT_EQ(c.value, value);
            EXPECT_FALSE(openAfterOk);
            EXPECT_EQ(0, HeadlessBoxCount());
        } else {
            EXPECT_EQ(-555, value) << "a refused field must not be written";
            EXPECT_TRUE(openAfterOk) << "the dialog must stay for another try";
            ASSERT_EQ(1, HeadlessBoxCount());
            EXPECT_STREQ("INQ number", HeadlessBoxCaption(0));
        }
    }
}

TEST_F(InquireTest, TypingReplacesThePreFilledNumberAndTheFilterKeepsOnlyDigits) {
    std::string shown;
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        shown = Text("NUMBER", d);
        Type("1x2");
        Return();
    });
    ThenGiveUp();
    int value = 0;
    EXPECT_EQ(1, InquireNumber("How many", -35, &value, top));
    EXPECT_EQ("-35", shown);
    EXPECT_EQ(12, value);
}

TEST_F(InquireTest, EscapeCancelsANumberAndLeavesTheValue) {
    Then([] { HeadlessKeystroke(kHostKeyEscape, 27); });
    ThenGiveUp();
    int value = 77;
    EXPECT_EQ(-1, InquireNumber("How many", 5, &value, top));
    EXPECT_EQ(77, value);
}

// A question that cannot be made says so and answers -1, leaving the caller's storage alone.
TEST_F(InquireTest, AQuestionThatCannotBeMadeIsReportedAndAnswersNo) {
    struct Case {
        const char *what, *box;
        std::function<int(void)> ask;
    };
    int value = 9;
    char text[16] = "keep";
    char path[PATH_MAX] = "keep.prg";
    const Case cases[] = {
        {"number", "Cant make dialog: INQ number",
         [&] { return InquireNumber("How many", 5, &value, top); }},
        {"string", "Cant make dialog: INQ string",
         [&] { return InquireString("Name", "x", text, sizeof text, top); }},
        {"file", "Cant make dialog: INQ File",
         [&] { return InquireFile("Load", path, sizeof path, "x", 0, top); }},
    };
    for (const Case &c : cases) {
        HeadlessBoxClear();
        HeadlessFailCreate(1);
        EXPECT_EQ(-1, c.ask()) << c.what;
        HeadlessFailCreate(0);
        std::vector<std::string> boxes = Boxes();
        ASSERT_FALSE(boxes.empty()) << c.what;
        EXPECT_EQ(c.box, boxes.back()) << c.what;
    }
    EXPECT_EQ(9, value);
    EXPECT_STREQ("", text); // a string question that was not answered empties the buffer
    EXPECT_STREQ("keep.prg", path);

    HeadlessBoxClear();
    FailAllocation(1);
    EXPECT_EQ(-1, InquireFile("Load", path, sizeof path, "x", 0, top));
    FailAllocation(0);
    EXPECT_EQ((std::vector<std::string>{"KLN Memory Error: Inquire File State"}), Boxes());
    EXPECT_STREQ("keep.prg", path);
}

// ---- InquireString ----------------------------------------------------------------------------

TEST_F(InquireTest, AStringIsCutToTheBufferAndACancelEmptiesIt) {
    std::string title;
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        title = d->text ? d->text : "";
        Type("abcdef");
        Return();
    });
    ThenGiveUp();
    char small[4] = "zz";
    EXPECT_EQ(1, InquireString("Name", "old", small, sizeof small, top));
    EXPECT_STREQ("abc", small);
    EXPECT_EQ("Name", title);
    Done();

    Then([] { Press("Cancel"); });
    ThenGiveUp();
    char buffer[32] = "keep";
    EXPECT_EQ(-1, InquireString("Name", "old", buffer, sizeof buffer, top));
    EXPECT_STREQ("", buffer);
}

// Centred over the asking window in cells, never left of or above it.
TEST_F(InquireTest, AQuestionIsCentredOverTheAskerAndNeverAtANegativeCell) {
    struct Case {
        int right;   // the asker's last cell column (it starts at cell 1)
        int expectX; // the dialog's cell column in the asker
    };
    const ToolkitDefaults *t = GetToolkitDefaults();
    const Case cases[] = {{60, 18}, {10, 0}, {30, 3}};
    for (const Case &c : cases) {
        Window *asker = Top("asker", kWindowFramed, 1, 1, c.right, 30);
        ASSERT_NE(nullptr, asker);
        ShowWindowTree(asker);
        int left = -1000;
        Then([&] {
            Window *d = OpenDialog();
            ASSERT_NE(nullptr, d);
            EXPECT_EQ(asker, d->parent);
            left = d->left;
            Press("Cancel");
        });
        ThenGiveUp();
        char buffer[8];
        EXPECT_EQ(-1, InquireString("Where", "", buffer, sizeof buffer, asker));
        Done();
        EXPECT_EQ(CellsToPixels(c.expectX, t->cellWidth), left) << c.right;
        asker->onClose = CloseWindow;
        CloseWindow(asker);
    }
}

// ---- InquireFile ------------------------------------------------------------------------------

TEST_F(InquireTest, ACancelledFileQuestionLeavesTheCallersNameAlone) {
    struct Case {
        const char *what;
        std::function<void(InquireTest *)> script;
    };
    const Case cases[] = {
        {"Cancel", [](InquireTest *t) { t->Then([] { Press("Cancel"); }); }},
        {"Escape", [](InquireTest *t) { t->Then([] { HeadlessKeystroke(kHostKeyEscape, 27); }); }},
        {"Browse, then Cancel in the file dialog",
         [](InquireTest *t) {
             t->Then([] { Press("Browse"); });
             t->Then([] {
                 Window *d = OpenDialog();
                 ASSERT_NE(nullptr, d);
                 EXPECT_NE(nullptr, FindNamedWindow("FILES", d));
                 Press("Cancel");
             });
         }},
        {"a pattern, OK, then Cancel in the file dialog",
         [](InquireTest *t) {
             t->Then([] {
                 Fill("FILENAME", "*.prg");
                 Press("OK");
             });
             t->Then([] { Press("Cancel"); });
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.script(this);
        ThenGiveUp();
        char path[PATH_MAX] = "keep.prg";
        EXPECT_EQ(-1, InquireFile("Load program", path, sizeof path, "keep.prg", 0, top));
        Done();
        EXPECT_STREQ("keep.prg", path);
        EXPECT_EQ(0, HeadlessBoxCount());
    }
}

TEST_F(InquireTest, APlainNameIsTakenAsTypedAndAPatternGoesThroughTheFileDialog) {
    std::string prompt;
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        prompt = Text("PROMPT", d);
        EXPECT_EQ("old.prg", Text("FILENAME", d));
        Type("new.prg");
        Return();
    });
    ThenGiveUp();
    char path[PATH_MAX] = "keep.prg";
    EXPECT_EQ(1, InquireFile("Load program", path, sizeof path, "old.prg", 0, top));
    Done();
    EXPECT_STREQ("new.prg", path);
    EXPECT_EQ("Load program", prompt);

    // The pattern's directory is listed; the second dialog belongs to the asker's top window,
    // not to the inquiry, which has closed.
    Window *inner = Child("inner", top, 2, 2, 20, 10, kWindowKindText);
    ShowWindowTree(top);
    std::vector<std::string> listed;
    HostWindow *owner = nullptr;
    Then([&] {
        Fill("FILENAME", (dir + "/*.prg").c_str());
        Press("OK");
    });
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        owner = HeadlessOwner(d->host);
        listed = ListLines(FindNamedWindow("FILES", d));
        ChooseLine(6); // ../ linkdir/ locked/ sub/ a.prg b.prg
    });
    ThenGiveUp();
    EXPECT_EQ(1, InquireFile("Load program", path, sizeof path, "", 0, inner));
    Done();
    EXPECT_EQ(dir + "/b.prg", path);
    EXPECT_EQ(top->host, owner);
    EXPECT_EQ((std::vector<std::string>{"../", "linkdir/", "locked/", "sub/", "a.prg", "b.prg"}),
              listed);
}

TEST_F(InquireTest, ADirectoryOpensTheFileDialogUnlessAnyEntryWillDo) {
    std::string listedIn;
    Then([&] {
        Fill("FILENAME", (dir + "/sub").c_str());
        Press("OK");
    });
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        listedIn = Text("DIR", d);
        ChooseLine(2); // ../ inner.prg
    });
    ThenGiveUp();
    char path[PATH_MAX] = "keep.prg";
    EXPECT_EQ(1, InquireFile("Load program", path, sizeof path, "", 0, top));
    Done();
    EXPECT_EQ(dir + "/sub", listedIn);
    EXPECT_EQ(dir + "/sub/inner.prg", path);

    bool fileDialog = false;
    Then([&] {
        Fill("FILENAME", (dir + "/sub").c_str());
        Press("OK");
    });
    Then([&] {
        Window *d = OpenDialog();
        fileDialog = d && FindNamedWindow("FILES", d);
    });
    ThenGiveUp();
    EXPECT_EQ(1, InquireFile("Directory", path, sizeof path, "", kInquireAnyEntry, top));
    EXPECT_FALSE(fileDialog);
    EXPECT_EQ(dir + "/sub", path);
}

TEST_F(InquireTest, ANameInTheHomeDirectoryIsHandedOnExpanded) {
    setenv("HOME", dir.c_str(), 1);
    struct Case {
        int size;
        int result;
        std::string expect;
    };
    const Case cases[] = {
        {PATH_MAX, 1, dir + "/x.prg"},
        {(int)dir.size() + 7, 1, dir + "/x.prg"}, // just fits, with its NUL
        {(int)dir.size() + 6, -1, "keep.prg"},
    };
    for (const Case &c : cases) {
        HeadlessBoxClear();
        Then([] {
            Fill("FILENAME", "~/x.prg");
            Press("OK");
        });
        ThenGiveUp();
        std::vector<char> path((size_t)c.size, '\0');
        snprintf(path.data(), path.size(), "keep.prg");
        EXPECT_EQ(c.result, InquireFile("Save program", path.data(), c.size, "", kInquireSave, top))
            << c.size;
        Done();
        EXPECT_EQ(c.expect, std::string(path.data())) << c.size;
        EXPECT_EQ(c.result == 1 ? 0 : 1, HeadlessBoxCount()) << c.size;
    }
}

TEST_F(InquireTest, WithoutAnAskerTheFileDialogAfterOkBelongsToNobody) {
    bool seen = false;
    HostWindow *owner = top->host;
    Then([&] {
        Fill("FILENAME", (dir + "/*.txt").c_str());
        Press("OK");
    });
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        seen = FindNamedWindow("FILES", d) != nullptr;
        owner = HeadlessOwner(d->host);
        Press("Cancel");
    });
    ThenGiveUp();
    char path[PATH_MAX] = "keep.prg";
    EXPECT_EQ(-1, InquireFile("Load program", path, sizeof path, "", 0, nullptr));
    EXPECT_TRUE(seen);
    EXPECT_EQ(nullptr, owner);
    EXPECT_STREQ("keep.prg", path);
}

TEST_F(InquireTest, ANameLongerThanTheCallersBufferIsRefusedNotCut) {
    std::vector<std::string> boxesWhileOpen;
    Then([] {
        Fill("FILENAME", "averyveryverylongname.prg");
        Press("OK");
    });
    Then([&] {
        boxesWhileOpen = Boxes();
        Press("Cancel");
    });
    ThenGiveUp();
    char path[16] = "keep.prg";
    EXPECT_EQ(-1, InquireFile("Save program", path, sizeof path, "", 0, top));
    EXPECT_STREQ("keep.prg", path);
    EXPECT_EQ((std::vector<std::string>{"INQ File: The name is longer than 15 bytes"}),
              boxesWhileOpen);
}

TEST_F(InquireTest, BrowseChoosesAFileAndAnswersWithItsAbsolutePath) {
    Then([&] {
        Fill("FILENAME", (dir + "/sub").c_str());
        Press("Browse");
    });
    Then([] { ChooseLine(2); }); // ../ inner.prg
    ThenGiveUp();
    char path[PATH_MAX] = "keep.prg";
    EXPECT_EQ(1, InquireFile("Load program", path, sizeof path, "", 0, top));
    EXPECT_EQ(dir + "/sub/inner.prg", path);
}

// ---- paths and listings -------------------------------------------------------------------------

TEST_F(InquireTest, PathsAreMadeAbsoluteWithTheHomeDirectoryAndFoldedDots) {
    setenv("HOME", "/home/user/", 1);
    struct Case {
        const char *typed, *base;
        int result;
        const char *expect;
    };
    const std::string longName(PATH_MAX, 'x');
    const Case cases[] = {
        {"~", "/b", 0, "/home/user"},
        {"~/a/b.prg", "/b", 0, "/home/user/a/b.prg"},
        {"~user", "/b", 0, "/b/~user"},
        {"a/../b/./c/", "/base", 0, "/base/b/c"},
        {"../../..", "/one/two", 0, "/"},
        {"/x//y/", "/b", 0, "/x/y"},
        {"x", "/", 0, "/x"},
        {"", "/here/", 0, "/here"},
        {"rel", "not/absolute", 1, ""},
        {longName.c_str(), "/", 1, ""},
    };
    for (const Case &c : cases) {
        char out[PATH_MAX] = "";
        EXPECT_EQ(c.result, MakeAbsolutePath(c.typed, c.base, out, sizeof out)) << c.typed;
        if (c.result == 0) {
            EXPECT_STREQ(c.expect, out) << c.typed;
        }
    }
    char tight[8];
    EXPECT_EQ(0, MakeAbsolutePath("/abcdef", "/", tight, sizeof tight));
    EXPECT_EQ(1, MakeAbsolutePath("/abcdefg", "/", tight, sizeof tight)) << "never cut";
    unsetenv("HOME");
    char out[PATH_MAX];
    EXPECT_EQ(1, MakeAbsolutePath("~/a", "/b", out, sizeof out));
}

TEST_F(InquireTest, AListingPutsDirectoriesFirstSortedAndFiltersFilesByThePattern) {
    struct Case {
        const char *pattern;
        std::vector<std::string> expect;
    };
    const std::vector<std::string> dirs = {"../", "linkdir/", "locked/", "sub/"};
    auto with = [&](std::vector<std::string> files) {
        std::vector<std::string> all = dirs;
        all.insert(all.end(), files.begin(), files.end());
        return all;
    };
    const Case cases[] = {
        {"*", with({"a.prg", "b.prg", "c.txt", "dangling", "linkfile"})},
        {nullptr, with({"a.prg", "b.prg", "c.txt", "dangling", "linkfile"})},
        {"*.prg", with({"a.prg", "b.prg"})},
        {".*", with({".hidden"})},
        {"?.txt", with({"c.txt"})},
        {"*.none", with({})},
    };
    for (const Case &c : cases) {
        FileListing listing = {};
        ASSERT_EQ(0, ListDirectory(dir.c_str(), c.pattern, &listing));
        EXPECT_EQ(c.expect, listing.entries) << (c.pattern ? c.pattern : "null");
        EXPECT_EQ(4, listing.directories);
        EXPECT_EQ(0, listing.truncated);
    }
    FileListing root = {};
    ASSERT_EQ(0, ListDirectory("/", "*", &root));
    ASSERT_FALSE(root.entries.empty());
    EXPECT_NE("../", root.entries[0]);
}

TEST_F(InquireTest, AnUnreadableDirectoryLeavesTheListingAlone) {
    FileListing listing = {};
    listing.entries = {"before"};
    {
        AsPlainUser user;
        EXPECT_EQ(1, ListDirectory((dir + "/locked").c_str(), "*", &listing));
    }
    EXPECT_EQ(1, ListDirectory((dir + "/missing").c_str(), "*", &listing));
    EXPECT_EQ((std::vector<std::string>{"before"}), listing.entries);
}

TEST_F(InquireTest, AListingHoldsAtMostTheEntryLimit) {
    std::string many = dir + "/many";
    ASSERT_EQ(0, mkdir(many.c_str(), 0755));
    for (int i = 0; i < kFileEntryLimit + 5; i++)
        WriteFile(many + "/f" + std::to_string(i));
    FileListing listing = {};
    ASSERT_EQ(0, ListDirectory(many.c_str(), "*", &listing));
    EXPECT_EQ((size_t)kFileEntryLimit + 1, listing.entries.size()); // and "../"
    EXPECT_EQ(1, listing.truncated);

    // The dialog says so above the list, and its scroller reaches the last line.
    std::string shown;
    int lines = 0;
    bool scroller = false;
    Then([&] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        shown = Text("DIR", d);
        Window *list = FindNamedWindow("FILES", d);
        ASSERT_NE(nullptr, list);
        lines = (int)ListLines(list).size();
        for (Window *w = d->chain; w; w = w->chain)
            if (Scroller *sc = ScrollerOf(w))
                scroller = scroller || (sc->target == list && sc->maximum >= lines - 1 &&
                                        sc->value == sc->minimum);
        Press("Cancel");
    });
    ThenGiveUp();
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/", many.c_str());
    EXPECT_EQ(0, FileDialog("Open", nullptr, nullptr, path, sizeof path, 0, top));
    EXPECT_EQ(many + " (first 16000 entries)", shown);
    EXPECT_EQ(kFileEntryLimit + 1, lines);
    EXPECT_TRUE(scroller);
}

// ---- the file dialog ---------------------------------------------------------------------------

TEST_F(InquireTest, TheFileDialogWalksDirectoriesAndStaysWhereAReadFails) {
    struct Seen {
        std::string directory, field;
        std::vector<std::string> lines, boxes;
    };
    std::vector<Seen> seen;
    auto note = [&seen] {
        Window *d = OpenDialog();
        ASSERT_NE(nullptr, d);
        seen.push_back(
            {Text("DIR", d), Text("PATH", d), ListLines(FindNamedWindow("FILES", d)), Boxes()});
        HeadlessBoxClear();
    };
    setenv("HOME", (dir + "/sub").c_str(), 1);
    char cwd[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    {
        AsPlainUser user;
        Then(note);
        Then([] {
            Fill("PATH", "locked");
            Press("OK");
        });
        Then(note);
        Then([] { ChooseLine(2); }); // linkdir/
        Then(note);
        Then([] { ChooseLine(1); }); // ../
        Then(note);
        Then([] {
            Fill("PATH", "~");
            Window *field = FindNamedWindow("PATH", OpenDialog());
            ASSERT_NE(nullptr, field);
            Click(field, 4, 4);
            Return();
        });
        Then(note);
        Then([] {
            Fill("PATH", "missing.prg");
            Press("OK");
        });
        Then(note);
        Then([] { Press("Cancel"); });
        ThenGiveUp();
        char path[PATH_MAX];
        snprintf(path, sizeof path, "%s/*.prg", dir.c_str());
        EXPECT_EQ(0, FileDialog("Open", nullptr, nullptr, path, sizeof path, 0, top));
        EXPECT_EQ(dir + "/*.prg", path) << "a cancelled dialog leaves the path alone";
    }
    char after[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(after, sizeof after));
    EXPECT_STREQ(cwd, after);

    const std::vector<std::string> listedTop = {"../",  "linkdir/", "locked/",
                                                "sub/", "a.prg",    "b.prg"};
    ASSERT_EQ(6u, seen.size());
    EXPECT_EQ(dir, seen[0].directory);
    EXPECT_EQ("*.prg", seen[0].field);
    EXPECT_EQ(listedTop, seen[0].lines);
    EXPECT_TRUE(seen[0].boxes.empty());
    // The locked directory: a message, and the dialog stays where it was.
    EXPECT_EQ(dir, seen[1].directory);
    EXPECT_EQ(listedTop, seen[1].lines);
    ASSERT_EQ(1u, seen[1].boxes.size());
    EXPECT_EQ("File dialog: Cannot read " + dir + "/locked: Permission denied", seen[1].boxes[0]);
    // Into the linked directory, by its link's name, and back up the same way.
    EXPECT_EQ(dir + "/linkdir", seen[2].directory);
    EXPECT_EQ((std::vector<std::string>{"../", "inner.prg"}), seen[2].lines);
    EXPECT_EQ("*.prg", seen[2].field);
    EXPECT_EQ(dir, seen[3].directory);
    EXPECT_EQ(dir + "/sub", seen[4].directory);
    EXPECT_EQ(dir + "/sub", seen[5].directory);
    EXPECT_EQ((std::vector<std::string>{"File dialog: No such file: " + dir + "/sub/missing.prg"}),
              seen[5].boxes);
}

TEST_F(InquireTest, SavingOverAFileAsksFirst) {
    std::vector<unsigned> flags;
    bool openAfterNo = false;
    Then([] {
        HeadlessSetBoxAnswer(kHostAnswerNo);
        Fill("PATH", "a.prg");
        Press("OK");
    });
    Then([&] {
        openAfterNo = OpenDialog() != nullptr;
        for (int i = 0; i < HeadlessBoxCount(); i++)
            flags.push_back(HeadlessBoxFlags(i));
        HeadlessSetBoxAnswer(kHostAnswerYes);
        Press("OK");
    });
    ThenGiveUp();
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/", dir.c_str());
    EXPECT_EQ(1, FileDialog("Save", nullptr, nullptr, path, sizeof path, kFileDialogSave, top));
    Done();
    EXPECT_TRUE(openAfterNo);
    ASSERT_EQ(1u, flags.size());
    EXPECT_TRUE(flags[0] & kHostBoxYesNo);
    EXPECT_EQ(dir + "/a.prg", path);
    EXPECT_EQ(2, HeadlessBoxCount());

    // A new name needs no question, and saving may name a file that does not exist yet.
    HeadlessBoxClear();
    Then([] {
        Fill("PATH", "fresh.prg");
        Return();
    });
    ThenGiveUp();
    EXPECT_EQ(1, FileDialog("Save", nullptr, dir.c_str(), path, sizeof path, kFileDialogSave, top));
    EXPECT_EQ(dir + "/fresh.prg", path);
    EXPECT_EQ(0, HeadlessBoxCount());
}

TEST_F(InquireTest, AChosenPathLongerThanTheBufferIsRefusedWhileTheDialogStays) {
    bool open = false;
    std::vector<std::string> boxes;
    Then([] { ChooseLine(5); }); // a.prg
    Then([&] {
        open = OpenDialog() != nullptr;
        boxes = Boxes();
        Press("Cancel");
    });
    ThenGiveUp();
    std::vector<char> path(dir.size() + 4, 'q');
    snprintf(path.data(), path.size(), "%s", dir.c_str());
    EXPECT_EQ(0, FileDialog("Open", nullptr, nullptr, path.data(), (int)path.size(), 0, top));
    EXPECT_TRUE(open);
    EXPECT_EQ(dir, std::string(path.data()));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("longer than")) << boxes[0];
}

} // namespace
