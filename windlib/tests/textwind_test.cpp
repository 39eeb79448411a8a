// Text windows, list boxes and edit boxes on the headless host: the display table, keys typed
// into an edit box through the real key path, list box clicks and keys, invalidation while
// printing, buffers that never touch a file, the wheel, and a painted selection checked on the
// pixels (and saved as PNG for a person to look at).
#include "windtest.h"

#include "buffer.h"
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "keys.h"
#include "textwind.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

using namespace windtest;

namespace {

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;

std::string LineText(int line, Buffer *b) {
    BufferGoto(line, 1, b);
    if (CurrentLineNumber(b) != line)
        return "<none>";
    const char *text = LockLine(b);
    return text ? std::string(text, (size_t)CurrentLineLength(b)) : "";
}

std::string Clipboard(void) {
    size_t n = 0;
    const char *text = WindowHost()->clipboardGet(&n);
    return text ? std::string(text, n) : "<empty>";
}

void SetClipboard(const char *text) { WindowHost()->clipboardPut(nullptr, text, strlen(text)); }

// The dialog's key handler: what reaches it, less the modifier keys themselves.
int LogDialogKey(int code, Window *w) {
    if (code < keyShift || code > keyAlt)
        LogKey(code, w);
    return 0;
}

int LogActivate(int line, Window *w) {
    Note("activate " + NameOf(w) + " " + std::to_string(line));
    return 0;
}

void CloseIt(void *w) { CloseWindow((Window *)w); }

class TextWindTest : public WindTest {
  protected:
    void SetUp() override {
        WindTest::SetUp();
        ASSERT_EQ(0, BufferProlog(failAllocate, failRelease, nullptr, nullptr));
        top = Top("main", kWindowFramed, 0, 0, 59, 29);
        top->onKey = LogDialogKey;
    }
    // Runs the event loop until everything injected so far has been delivered.
    void Settle() {
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        ASSERT_NE(nullptr, runner);
        HeadlessAt(HeadlessNow() + 100, CloseIt, runner);
        RunModal(runner);
    }
    // The window pixel at the middle of a character of a line already painted (plain ASCII
    // before it), shifted by dx.
    int Point(Window *w, int line, int column, int dx = 0) {
        TextDesc *d = TextDescOf(w);
        Buffer *b = d->buffer;
        std::string text = LineText(line, b);
        int x = 0;
        for (int i = 0; i < column - 1; i++)
            x += CharWidth((unsigned char)text[i], 0, nullptr);
        int ox, oy;
        WindowDrawingOrigin(w, &ox, &oy);
        int height = w->bottom - w->top + 1 - 2 * oy;
        int margin = (height - d->rows * d->lineHeight) / 2;
        int y = oy + margin + (line - d->topLine) * d->lineHeight + d->lineHeight / 2;
        return PackPosition(ox + x + 2 + dx, y);
    }
    void ClickAt(Window *w, int position) { Click(w, PositionX(position), PositionY(position)); }
    Window *top = nullptr;
};

// ---- the display table
// ----------------------------------------------------------------------------

TEST_F(TextWindTest, ExpandCharShowsEveryByteAsTheTableSays) {
    static const int kStops[] = {9, 17};
    Buffer *b = BufferCreate(nullptr, kCreateDetached);
    Window *w = NewTextWindow(0, 0, 20, 5, kBlack, kWhite, b, 0, top);
    ASSERT_NE(nullptr, w);
    TextDesc *d = TextDescOf(w);
    struct Case {
        int byte, column;
        bool stops;
        std::string shown;
    } cases[] = {
        {0, 1, false, "^00"},
        {1, 1, false, "^A"},
        {26, 1, false, "^Z"},
        {'\n', 1, false, ""},
        {'\r', 1, false, ""},
        {27, 1, false, "[esc]"},
        {28, 1, false, "1C"},
        {29, 1, false, "\x1D"},
        {'a', 1, false, "a"},
        {126, 1, false, "~"},
        {127, 1, false, "\\x7F"},
        {0x85, 1, false, "\\x85"},
        {0xFF, 1, false, "\\xFF"},
        {'\t', 3, true, std::string(6, ' ')}, // to the stop at 9
        {'\t', 9, true, std::string(8, ' ')}, // beyond the column: the stop at 17
        {'\t', 17, true, " "},                // no stop beyond it
        {'\t', 3, false, " "},                // no stops at all
    };
    for (const Case &c : cases) {
        d->tabStops = c.stops ? kStops : nullptr;
        d->tabStopCount = c.stops ? 2 : 0;
        char scratch[kExpandScratchSize];
        int count = -1;
        const char *shown = ExpandChar(c.byte, c.column, scratch, &count, w);
        EXPECT_EQ(c.shown, std::string(shown, (size_t)count)) << c.byte << " at " << c.column;
    }
    static const int kFar[] = {1000};
    d->tabStops = kFar;
    d->tabStopCount = 1;
    char scratch[kExpandScratchSize];
    int count = 0;
    ExpandChar('\t', 1, scratch, &count, w);
    EXPECT_EQ(kTabBlankLimit, count);
    w->onClose(w);
    BufferFree(b);
}

// ---- edit boxes
// -----------------------------------------------------------------------------------

struct Stroke {
    int vk, character, held; // held: a modifier key held around the stroke, or 0
};
constexpr int kChar = 0; // a stroke that is only a character

const Stroke kBackspace = {kHostKeyBackspace, 8, 0};
const Stroke kDelete = {kHostKeyDelete, 0, 0};
const Stroke kShiftInsert = {kHostKeyInsert, 0, kHostKeyShift};
const Stroke kShiftDelete = {kHostKeyDelete, 0, kHostKeyShift};
const Stroke kCtrlInsert = {kHostKeyInsert, 0, kHostKeyControl};
const Stroke kHome = {kHostKeyHome, 0, 0};
const Stroke kEnd = {kHostKeyEnd, 0, 0};
const Stroke kRight = {kHostKeyRight, 0, 0};
// The letter's key (virtual keys 'A'..'Z') with Ctrl held gives the control character.
constexpr Stroke Ctrl(char letter) {
    return {letter - 'a' + 'A', letter - 'a' + 1, kHostKeyControl};
}
constexpr Stroke Typed(int character) { return {kChar, character, 0}; }

void Type(const Stroke &s) {
    if (s.held)
        HeadlessKeyDown(s.held);
    if (s.vk == kChar)
        HeadlessChar(s.character);
    else
        HeadlessKeystroke(s.vk, s.character);
    if (s.held)
        HeadlessKeyUp(s.held);
}

struct EditCase {
    const char *label;
    const char *initial;
    int column;                  // cursor column before the keys
    int selectFrom, selectTo;    // selected columns, 0 for none
    const char *clipboard;       // clipboard before, null for empty
    std::vector<Stroke> strokes; //
    const char *text;            // the box's text afterwards
    const char *clipboardAfter;  // the clipboard afterwards
};

void PrintTo(const EditCase &c, std::ostream *os) { *os << c.label; }

class EditKeys : public TextWindTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(EditKeys, EditTheLine) {
    const EditCase &c = GetParam();
    Window *box = NewEditBox(1, 1, 30, 1, "field", kWindowTakesFocus, c.initial, top);
    ASSERT_NE(nullptr, box);
    ShowWindowTree(top);
    Buffer *b = TextDescOf(box)->buffer;
    BufferGoto(1, c.column, b);
    ASSERT_EQ(c.column, CurrentColumn(b)) << c.label;
    if (c.selectFrom) {
        b->markLine = b->markEndLine = 1;
        b->markColumn = c.selectFrom;
        b->markEndColumn = c.selectTo;
    }
    SetClipboard(c.clipboard ? c.clipboard : "");
    for (const Stroke &s : c.strokes)
        Type(s);
    Settle();
    EXPECT_STREQ(c.text, box->getText(box)) << c.label;
    EXPECT_EQ(c.clipboardAfter, Clipboard()) << c.label;
    EXPECT_TRUE(gLog.empty()) << c.label << ": " << (gLog.empty() ? "" : gLog[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EditKeys,
    ::testing::Values(
        EditCase{"backspace at column 1", "abc", 1, 0, 0, nullptr, {kBackspace}, "abc", ""},
        EditCase{"^K cuts to the end", "abc", 2, 0, 0, nullptr, {Ctrl('k')}, "a", ""},
        EditCase{
            "^U undoes the typing", "abc", 4, 0, 0, nullptr, {Typed('x'), Ctrl('u')}, "abc", ""},
        EditCase{"^U never undoes the initial text",
                 "abc",
                 4,
                 0,
                 0,
                 nullptr,
                 {Typed('x'), Ctrl('u'), Ctrl('u')},
                 "abc",
                 ""},
        EditCase{"Latin-1 character ignored", "abc", 4, 0, 0, nullptr, {Typed(0xE4)}, "abc", ""},
        EditCase{"control characters are not typed",
                 "abc",
                 4,
                 0,
                 0,
                 nullptr,
                 {Typed(15), Typed(28), Typed(31)},
                 "abc",
                 ""},
        EditCase{
            "paste stops at the newline", "", 1, 0, 0, "p.prg\n", {Ctrl('y')}, "p.prg", "p.prg\n"},
        EditCase{"paste over a selection", "10", 1, 1, 2, "20", {kShiftInsert}, "20", "20"},
        EditCase{"paste at the cursor", "10", 2, 0, 0, "5", {kShiftInsert}, "150", "5"},
        EditCase{"paste drops control bytes but tabs",
                 "",
                 1,
                 0,
                 0,
                 "x\ty\x01z\r\nw",
                 {Ctrl('v')},
                 "x\tyz",
                 "x\ty\x01z\r\nw"},
        EditCase{"^U undoes a paste over a selection in one step",
                 "10",
                 1,
                 1,
                 2,
                 "20",
                 {kShiftInsert, Ctrl('u')},
                 "10",
                 "20"},
        EditCase{"typing replaces a selection, clipboard untouched",
                 "abc",
                 1,
                 1,
                 2,
                 "keep",
                 {Typed('z')},
                 "zc",
                 "keep"},
        EditCase{"Delete removes a selection, clipboard untouched",
                 "abc",
                 1,
                 2,
                 3,
                 "keep",
                 {kDelete},
                 "a",
                 "keep"},
        EditCase{"Backspace removes a selection only",
                 "abc",
                 4,
                 2,
                 3,
                 "keep",
                 {kBackspace},
                 "a",
                 "keep"},
        EditCase{"Shift-Delete cuts", "abc", 1, 1, 2, "keep", {kShiftDelete}, "c", "ab"},
        EditCase{"^X cuts", "abc", 1, 1, 2, "keep", {Ctrl('x')}, "c", "ab"},
        EditCase{"^C copies", "abc", 1, 2, 3, "keep", {Ctrl('c')}, "abc", "bc"},
        EditCase{"Ctrl-Insert copies", "abc", 1, 2, 3, "keep", {kCtrlInsert}, "abc", "bc"},
        EditCase{"^X then End and ^V",
                 "abc",
                 1,
                 1,
                 1,
                 nullptr,
                 {Ctrl('x'), kEnd, Ctrl('v')},
                 "bca",
                 "a"},
        EditCase{"End and Home",
                 "abc",
                 2,
                 0,
                 0,
                 nullptr,
                 {kEnd, Typed('x'), kHome, Typed('y')},
                 "yabcx",
                 ""},
        EditCase{"^Z undoes", "abc", 4, 0, 0, "12", {Ctrl('v'), Ctrl('z')}, "abc", "12"},
        EditCase{"the mark widens with the cursor",
                 "abcd",
                 2,
                 0,
                 0,
                 nullptr,
                 {Ctrl('q'), kRight, kRight, Ctrl('k')},
                 "ad",
                 "bc"},
        EditCase{"Delete before the end", "abc", 3, 0, 0, nullptr, {kDelete, kDelete}, "ab", ""}),
    [](const ::testing::TestParamInfo<EditCase> &info) {
        return "case" + std::to_string(info.index);
    });

TEST_F(TextWindTest, TheirRecordsGoWithTheWindowHoweverItIsClosed) {
    // Closed directly, or with its top window, or by a close slot someone replaced: the
    // fixture finds every allocation given back at the end.
    Window *edit = NewEditBox(1, 1, 30, 1, "field", kWindowTakesFocus, "abc", top);
    Window *list = NewListBox(1, 3, 30, 8, 0, 0xFFFFFF, "list", 0, nullptr, top);
    Window *other = NewEditBox(1, 10, 30, 10, "other", kWindowTakesFocus, "x", top);
    ASSERT_NE(nullptr, edit);
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(0, CloseWindow(edit));
    other->onClose = CloseWindow;
    EXPECT_EQ(0, CloseWindow(list));
}

TEST_F(TextWindTest, ACutOrCopyTheClipboardRefusesKeepsTheText) {
    Window *box = NewEditBox(1, 1, 30, 1, "field", kWindowTakesFocus, "abc", top);
    ASSERT_NE(nullptr, box);
    ShowWindowTree(top);
    Buffer *b = TextDescOf(box)->buffer;
    SetClipboard("before");
    b->markLine = b->markEndLine = 1;
    b->markColumn = 1;
    b->markEndColumn = 2;
    HeadlessClipboardRefuse(1);
    Type(Ctrl('k'));
    Type(Ctrl('c')); // a copy that fails is still a copy, not the dialog's ^C
    Settle();
    HeadlessClipboardRefuse(0);
    EXPECT_STREQ("abc", box->getText(box));
    EXPECT_EQ("before", Clipboard());
    EXPECT_TRUE(gLog.empty());
}

TEST_F(TextWindTest, KeysAnEditBoxDoesNotTakeReachTheDialog) {
    Window *box = NewEditBox(1, 1, 30, 1, "field", kWindowTakesFocus, "abc", top);
    ASSERT_NE(nullptr, box);
    ShowWindowTree(top);
    Type(Ctrl('c')); // nothing selected: the dialog's own meaning
    Type({kHostKeyReturn, 13, 0});
    Type({kHostKeyEscape, 27, 0});
    Settle();
    EXPECT_EQ((std::vector<std::string>{"key main 3", "key main 13", "key main 27"}), gLog);
    EXPECT_STREQ("abc", box->getText(box));
}

TEST_F(TextWindTest, TheNumericFilterTakesDigitsAndOneLeadingMinus) {
    struct Case {
        const char *initial;
        int column;
        std::vector<Stroke> strokes;
        const char *text;
    } cases[] = {
        {"", 1, {Typed('-'), Typed('5')}, "-5"},
        {"-5", 1, {Typed('-')}, "-5"}, // a second '-'
        {"5", 2, {Typed('-')}, "5"},   // not at the start
        {"5", 1, {Typed('-')}, "-5"},  //
        {"12", 3, {Typed('a')}, "12"}, // a letter
        {"12", 3, {kBackspace}, "1"},  // editing keys are not asked about
    };
    for (const Case &c : cases) {
        Window *box = NewEditBox(1, 1, 30, 1, "NUMBER", kWindowTakesFocus, c.initial, top);
        ASSERT_NE(nullptr, box);
        box->onActivate = NumericEditFilter;
        SetFocusWindow(box);
        ShowWindowTree(top);
        BufferGoto(1, c.column, TextDescOf(box)->buffer);
        for (const Stroke &s : c.strokes)
            Type(s);
        Settle();
        EXPECT_STREQ(c.text, box->getText(box)) << c.initial << " " << c.column;
        box->onClose(box);
    }
    EXPECT_TRUE(gLog.empty());
    Window *box = NewEditBox(1, 1, 30, 1, "NUMBER", kWindowTakesFocus, "1", top);
    box->onActivate = NumericEditFilter;
    SetFocusWindow(box);
    Type({kHostKeyReturn, 13, 0});
    Settle();
    EXPECT_EQ(std::vector<std::string>{"key main 13"}, gLog);
}

TEST_F(TextWindTest, SetTextReplacesTheLineAndItsUndo) {
    Window *box = NewEditBox(1, 1, 30, 1, "field", kWindowTakesFocus, "abc", top);
    ASSERT_NE(nullptr, box);
    ShowWindowTree(top);
    Type(Typed('x'));
    Settle();
    EXPECT_STREQ("xabc", box->getText(box));
    EXPECT_EQ(0, box->setText("new", box));
    Type(Ctrl('u')); // the typing before belonged to the old text
    Settle();
    EXPECT_STREQ("new", box->getText(box));
    std::string longText(300, 'q');
    box->setText(longText.c_str(), box);
    EXPECT_EQ(std::string(kEditTextLimit, 'q'), box->getText(box));
}

// ---- list boxes
// -----------------------------------------------------------------------------------

class ListTest : public TextWindTest {
  protected:
    void SetUp() override {
        TextWindTest::SetUp();
        list = NewListBox(1, 1, 40, 21, kBlack, kWhite, "memlist", kWindowTakesFocus, LogActivate,
                          top);
        ASSERT_NE(nullptr, list);
        for (int i = 1; i <= 5; i++) {
            std::string item = "item " + std::to_string(i) + "\n";
            ASSERT_EQ(0, ListBoxInsert(item.c_str(), (int)item.size(), nullptr, list));
        }
        ShowWindowTree(top);
        Settle();
        ASSERT_EQ(1, TextDescOf(list)->topLine);
    }
    Buffer *Lines() { return TextDescOf(list)->buffer; }
    Window *list = nullptr;
};

TEST_F(ListTest, ItemsStartAtLineOneAndTheEmptyLastLineStaysLast) {
    for (int i = 1; i <= 5; i++)
        EXPECT_EQ("item " + std::to_string(i) + "\n", LineText(i, Lines()));
    EXPECT_EQ(6, Lines()->lineCount); // the five items and the empty last line
}

struct ClickScript {
    const char *label;
    std::vector<int> lines; // clicked lines, in order
    int gapMs;              // virtual time between clicks
    int dx;                 // pixels the second and later clicks lie right of the first
    std::vector<std::string> log;
};

void PrintTo(const ClickScript &s, std::ostream *os) { *os << s.label; }

class ListClicks : public ListTest, public ::testing::WithParamInterface<ClickScript> {};

struct ScheduledClick {
    Window *list;
    int position;
};

void DoClick(void *context) {
    ScheduledClick *c = (ScheduledClick *)context;
    Click(c->list, PositionX(c->position), PositionY(c->position));
}

TEST_P(ListClicks, ActivateOnASecondClickOfTheSameLine) {
    const ClickScript &s = GetParam();
    std::vector<ScheduledClick> clicks;
    for (size_t i = 0; i < s.lines.size(); i++)
        clicks.push_back({list, Point(list, s.lines[i], 2, i ? s.dx : 0)});
    for (size_t i = 0; i < clicks.size(); i++)
        HeadlessAt(HeadlessNow() + 10 + (int64_t)i * s.gapMs, DoClick, &clicks[i]);
    Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
    HeadlessAt(HeadlessNow() + 100 + (int64_t)clicks.size() * s.gapMs, CloseIt, runner);
    RunModal(runner);
    EXPECT_EQ(s.log, gLog) << s.label;
    EXPECT_EQ(s.lines.back(), Lines()->markLine) << s.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ListClicks,
    ::testing::Values(ClickScript{"twice on 3", {3, 3}, 100, 0, {"activate memlist 3"}},
                      ClickScript{"3, then twice on 4", {3, 4, 4}, 100, 0, {"activate memlist 4"}},
                      ClickScript{
                          "three times on 3: once", {3, 3, 3}, 100, 0, {"activate memlist 3"}},
                      ClickScript{"once on 2", {2}, 100, 0, {}},
                      ClickScript{"too slow", {3, 3}, 600, 0, {}},
                      ClickScript{"just in time", {3, 3}, 500, 0, {"activate memlist 3"}},
                      ClickScript{"too far", {3, 3}, 100, 5, {}},
                      ClickScript{"near enough", {3, 3}, 100, 4, {"activate memlist 3"}}),
    [](const ::testing::TestParamInfo<ClickScript> &info) {
        return "script" + std::to_string(info.index);
    });

TEST_F(ListTest, KeysMoveTheSelectionAndReturnActivates) {
    struct Case {
        int from;
        Stroke stroke;
        int line; // current and selected afterwards
        std::vector<std::string> log;
    } cases[] = {
        {2, {kHostKeyDown, 0, 0}, 3, {}},
        {5, {kHostKeyDown, 0, 0}, 5, {}}, // the empty last line is never current
        {1, {kHostKeyUp, 0, 0}, 1, {}},
        {3, {kHostKeyUp, 0, 0}, 2, {}},
        {4, {kHostKeyReturn, 13, 0}, 4, {"activate memlist 4"}},
        {4, Ctrl('t'), 1, {}},
        {2, {kHostKeyPageDown, 0, 0}, 5, {}}, // a page past the end: the last item
        {4, {kHostKeyPageUp, 0, 0}, 1, {}},
        {2, Ctrl('b'), 5, {}},
        {2, {kHostKeyTab, 9, 0}, 2, {"key main 9"}},
    };
    for (const Case &c : cases) {
        gLog.clear();
        ASSERT_EQ(0, ListBoxSelectLine(c.from, list));
        Type(c.stroke);
        Settle();
        EXPECT_EQ(c.line, CurrentLineNumber(Lines())) << c.from << " " << c.stroke.vk;
        EXPECT_EQ(c.line, Lines()->markLine) << c.from << " " << c.stroke.vk;
        EXPECT_EQ(c.line, Lines()->markEndLine) << c.from << " " << c.stroke.vk;
        EXPECT_EQ(c.log, gLog) << c.from << " " << c.stroke.vk;
    }
}

TEST_F(ListTest, SelectLineSelectsTheWholeItemAndReportsWhatItCannotUse) {
    EXPECT_EQ(0, ListBoxSelectLine(3, list));
    EXPECT_EQ(3, Lines()->markLine);
    EXPECT_EQ(1, Lines()->markColumn);
    EXPECT_EQ(7, Lines()->markEndColumn); // "item 3" and its line feed
    Window *plain = Child("plain", top, 0, 22, 4, 23, kWindowKindButton);
    Window *bare = NewTextWindow(0, 24, 10, 25, kBlack, kWhite, nullptr, 0, top);
    ASSERT_NE(nullptr, bare);
    Buffer fake = {};
    fake.magic = kBufferMagic + 1;
    Buffer *b = BufferCreate(nullptr, kCreateDetached);
    Window *wrong = NewTextWindow(0, 26, 10, 27, kBlack, kWhite, b, 0, top);
    TextDescOf(wrong)->buffer = &fake;
    struct Case {
        Window *w;
        int code;
    } cases[] = {{plain, kListNoDesc}, {bare, kListNoBuffer}, {wrong, kListNotBuffer}};
    for (const Case &c : cases) {
        EXPECT_EQ(c.code, ListBoxSelectLine(1, c.w)) << NameOf(c.w);
        EXPECT_EQ(c.code, ListBoxInsert("x\n", 2, nullptr, c.w)) << NameOf(c.w);
    }
    TextDescOf(wrong)->buffer = b;
    wrong->onClose(wrong);
    BufferFree(b);
}

int Alphabetical(const char *line, int lineLength, const char *text, int length) {
    int n = lineLength < length ? lineLength : length;
    int order = memcmp(text, line, (size_t)n);
    return order < 0 || (order == 0 && length < lineLength) ? -1 : 1;
}

int Refuse(const char *, int, const char *, int) { return 0; }

TEST_F(TextWindTest, ListBoxInsertWithACompareFunctionInsertsOnce) {
    Window *list = NewListBox(1, 1, 30, 10, kBlack, kWhite, "sorted", 0, nullptr, top);
    ASSERT_NE(nullptr, list);
    Buffer *b = TextDescOf(list)->buffer;
    struct Case {
        const char *text;
        ListCompareProc compare;
        int result;
        std::vector<std::string> lines;
    } cases[] = {
        {"c\n", Alphabetical, 0, {"b\n", "c\n", "d\n"}},
        {"a\n", Alphabetical, 0, {"a\n", "b\n", "c\n", "d\n"}},
        {"e\n", Alphabetical, 0, {"a\n", "b\n", "c\n", "d\n", "e\n"}}, // past all: once, last
        {"x\n", Refuse, kListRefused, {"a\n", "b\n", "c\n", "d\n", "e\n"}},
    };
    // Without a compare function the items go in at the cursor, which stays after each.
    ASSERT_EQ(0, ListBoxInsert("b\n", 2, nullptr, list));
    ASSERT_EQ(0, ListBoxInsert("d\n", 2, nullptr, list));
    for (const Case &c : cases) {
        EXPECT_EQ(c.result, ListBoxInsert(c.text, (int)strlen(c.text), c.compare, list)) << c.text;
        std::vector<std::string> lines;
        for (int i = 1; i < b->lineCount; i++)
            lines.push_back(LineText(i, b));
        EXPECT_EQ(c.lines, lines) << c.text;
        EXPECT_EQ((int)c.lines.size() + 1, b->lineCount) << c.text; // and the empty last line
    }
}

// Buffers of lists and fields are in memory only: a file in the working directory with the same
// name is neither read nor written.
TEST_F(TextWindTest, ListAndFieldBuffersNeverTouchAFile) {
    char saved[4096];
    ASSERT_NE(nullptr, getcwd(saved, sizeof saved));
    std::string dir = ::testing::TempDir() + "textwind_files";
    mkdir(dir.c_str(), 0700);
    ASSERT_EQ(0, chdir(dir.c_str()));
    for (const char *name : {"memlist", "field"}) {
        std::ofstream(name) << "secret\n";
    }
    Window *list = NewListBox(1, 1, 30, 10, kBlack, kWhite, "memlist", 0, nullptr, top);
    Window *box = NewEditBox(1, 12, 30, 12, "field", kWindowTakesFocus, "abc", top);
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, box);
    ListBoxInsert("x\n", 2, nullptr, list);
    ShowWindowTree(top);
    Type(Typed('y'));
    Settle();
    // Even asked to, the buffers neither read nor write their files.
    for (Window *w : {list, box}) {
        Buffer *b = TextDescOf(w)->buffer;
        EXPECT_EQ(0, b->ops->readBuffer(b)) << NameOf(w);
        EXPECT_EQ(0, b->ops->writeBuffer(b)) << NameOf(w);
    }
    EXPECT_EQ("x\n", LineText(1, TextDescOf(list)->buffer));
    EXPECT_EQ(2, TextDescOf(list)->buffer->lineCount);
    EXPECT_STREQ("yabc", box->getText(box));
    CloseWindow(top);
    for (const char *name : {"memlist", "field"}) {
        std::ifstream in(name);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ("secret\n", text.str()) << name;
        remove(name);
    }
    ASSERT_EQ(0, chdir(saved));
}

// ---- invalidation while printing
// ------------------------------------------------------------------

TEST_F(ListTest, WhilePrintingTheDamageReachesDownThePageNotTheWindow) {
    int height = list->bottom - list->top + 1;
    int h = FontLineSpacing(0, nullptr);
    ASSERT_GT(h, 0);
    HostDevice *paper = WindowHost()->createMemoryDevice(200, 4000, 96);
    GC *printer = wGETGC(0, kGCPrinter, paper, list);
    ASSERT_NE(nullptr, printer);
    printer->innerHeight = 3000; // the page, as a print job sets it
    SetPrintingColors(1);
    list->damageTop = list->damageBottom = -1;
    InvalidateLines(1, 100, list);
    EXPECT_EQ(0, list->damageTop);
    EXPECT_EQ(100 * h - 1 < 2999 ? 100 * h - 1 : 2999, list->damageBottom);
    EXPECT_GT(list->damageBottom, height - 1);
    SetPrintingColors(0);
    list->damageTop = list->damageBottom = -1;
    InvalidateLines(1, 100, list);
    EXPECT_EQ(height - 1, list->damageBottom);
    ReleaseGC(printer);
    WindowHost()->deleteMemoryDevice(paper);
}

// ---- the wheel
// ------------------------------------------------------------------------------------

TEST_F(TextWindTest, TheWheelScrollsByThreeLines) {
    Window *list = NewListBox(1, 1, 30, 6, kBlack, kWhite, "long", 0, nullptr, top);
    ASSERT_NE(nullptr, list);
    for (int i = 1; i <= 40; i++) {
        std::string item = "line " + std::to_string(i) + "\n";
        ListBoxInsert(item.c_str(), (int)item.size(), nullptr, list);
    }
    ListBoxSelectLine(1, list);
    ShowWindowTree(top);
    Settle();
    TextDesc *d = TextDescOf(list);
    ASSERT_EQ(1, d->topLine);
    int rows = d->rows;
    int sx, sy;
    HeadlessClientToScreen(list->host, 10, 10, &sx, &sy);
    struct Case {
        int steps, top;
    } cases[] = {{1, 4}, {2, 10}, {-1, 7}, {-5, 1}, {20, 40 - rows + 1}};
    for (const Case &c : cases) {
        HeadlessWheel(c.steps, sx, sy);
        Settle();
        EXPECT_EQ(c.top, d->topLine) << c.steps;
        EXPECT_EQ(1, d->buffer->markLine) << c.steps; // scrolling chooses nothing
    }
}

TEST_F(TextWindTest, OneLineBelowTheViewScrollsByALineAndAJumpRecentres) {
    Window *list = NewListBox(1, 1, 30, 6, kBlack, kWhite, "long", kWindowTakesFocus, nullptr, top);
    ASSERT_NE(nullptr, list);
    for (int i = 1; i <= 40; i++) {
        std::string item = "line " + std::to_string(i) + "\n";
        ListBoxInsert(item.c_str(), (int)item.size(), nullptr, list);
    }
    ListBoxSelectLine(1, list);
    ShowWindowTree(top);
    Settle();
    TextDesc *d = TextDescOf(list);
    int rows = d->rows;
    ASSERT_GE(rows, 4);            // recentring and scrolling by a line give different top lines
    ListBoxSelectLine(rows, list); // the last visible row
    Settle();
    EXPECT_EQ(1, d->topLine);
    Type({kHostKeyDown, 0, 0});
    Settle();
    EXPECT_EQ(2, d->topLine);
    ListBoxSelectLine(30, list);
    Settle();
    EXPECT_EQ(30 - rows / 2, d->topLine);
    Type({kHostKeyUp, 0, 0});
    Settle();
    EXPECT_EQ(30 - rows / 2, d->topLine); // still in view: no scrolling
}

// ---- clicks and drags in a text window
// ------------------------------------------------------------

TEST_F(TextWindTest, ClicksCountUpToLineSelection) {
    Buffer *b = BufferCreate(nullptr, kCreateDetached);
    b->lineBreakMode = kBreakLineFeed;
    const char text[] = "foo bar(baz) x\nsecond\n";
    BufferInsert(1, 1, text, (int)strlen(text), b);
    BufferGoto(1, 1, b);
    Window *w = NewTextWindow(1, 1, 40, 10, kBlack, kWhite, b, kWindowTakesFocus, top);
    ASSERT_NE(nullptr, w);
    ShowWindowTree(top);
    Settle();
    struct Case {
        int column, clicks;
        int anchor, end; // mark columns afterwards; -1 for no selection
    } cases[] = {
        {6, 1, -1, -1}, {6, 2, 6, 5}, // an empty selection: the end before the anchor
        {6, 3, 5, 7},                 // the word "bar"
        {6, 4, 1, 15},                // the whole line
        {8, 3, 8, 7},                 // a delimiter: nothing more
    };
    int64_t at = HeadlessNow();
    for (const Case &c : cases) {
        at += 1000; // a pause: every case starts counting again
        std::vector<ScheduledClick> clicks(c.clicks, ScheduledClick{w, Point(w, 1, c.column)});
        for (ScheduledClick &click : clicks)
            HeadlessAt(at, DoClick, &click);
        Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
        HeadlessAt(at + 100, CloseIt, runner);
        RunModal(runner);
        at = HeadlessNow();
        EXPECT_EQ(c.anchor < 0 ? -1 : 1, b->markLine) << c.column << " x" << c.clicks;
        if (c.anchor >= 0) {
            EXPECT_EQ(c.anchor, b->markColumn) << c.column << " x" << c.clicks;
            EXPECT_EQ(c.end, b->markEndColumn) << c.column << " x" << c.clicks;
        }
    }
    // A drag from column 2 to column 5 selects columns 2 to 4.
    int sx, sy, ex, ey;
    int from = Point(w, 1, 2, -2), to = Point(w, 1, 5, -2);
    HeadlessClientToScreen(w->host, PositionX(from), PositionY(from), &sx, &sy);
    HeadlessClientToScreen(w->host, PositionX(to), PositionY(to), &ex, &ey);
    HeadlessAdvance(1000);
    HeadlessButton(0, 1, sx, sy);
    HeadlessPointerMove(ex, ey);
    HeadlessButton(0, 0, ex, ey);
    Settle();
    EXPECT_EQ(1, b->markLine);
    EXPECT_EQ(2, b->markColumn);
    EXPECT_EQ(4, b->markEndColumn);
    EXPECT_EQ(5, CurrentColumn(b));
    // Down to column 1 of line 2: the selection ends with line 1's line feed.
    to = Point(w, 2, 1, -2);
    HeadlessClientToScreen(w->host, PositionX(to), PositionY(to), &ex, &ey);
    HeadlessAdvance(1000);
    HeadlessButton(0, 1, sx, sy);
    HeadlessPointerMove(ex, ey);
    HeadlessButton(0, 0, ex, ey);
    Settle();
    EXPECT_EQ(2, b->markColumn);
    EXPECT_EQ(1, b->markEndLine);
    EXPECT_EQ(15, b->markEndColumn);
    EXPECT_EQ(2, CurrentLineNumber(b));
    w->onClose(w);
    BufferFree(b);
}

// ---- painting
// -------------------------------------------------------------------------------------

int TextWidth(const std::string &s) {
    int w = 0;
    for (unsigned char c : s)
        w += CharWidth(c, 0, nullptr);
    return w;
}

TEST_F(TextWindTest, ThePaintInvertsExactlyTheSelectionAndExpandsTabs) {
    static const int kStops[] = {9, 17};
    Buffer *b = BufferCreate(nullptr, kCreateDetached);
    b->lineBreakMode = kBreakLineFeed;
    b->flags |= kBufInMemory;
    const char text[] = "ab\tcd\n\x85|\nplain\n";
    BufferInsert(1, 1, text, (int)strlen(text), b);
    BufferGoto(1, 1, b);
    // From column 2 of line 1 ("b", the tab, "cd", the line feed) to column 1 of line 2.
    b->markLine = 1;
    b->markColumn = 2;
    b->markEndLine = 2;
    b->markEndColumn = 1;
    Window *w = NewTextWindow(1, 1, 40, 10, kBlack, kWhite, b, 0, top);
    ASSERT_NE(nullptr, w);
    TextDescOf(w)->tabStops = kStops;
    TextDescOf(w)->tabStopCount = 2;
    ShowWindowTree(top);
    Settle();
    ASSERT_EQ(0, HeadlessSavePng(w->host, TestPicturePath("textwind_paint.png").c_str()));
    TextDesc *d = TextDescOf(w);
    int h = d->lineHeight;
    int margin = (w->bottom - w->top + 1 - d->rows * h) / 2;
    // The top pixel row of each line: glyphs leave it to the text's box.
    struct Row {
        int line, inkFrom, inkTo; // inverted pixels, -1 for none
    } rows[] = {
        {1, TextWidth("a"), TextWidth("ab" + std::string(6, ' ') + "cd") - 1},
        {2, 0, TextWidth("\\x85") - 1},
        {3, -1, -1},
    };
    int width = w->right - w->left + 1;
    for (const Row &r : rows) {
        int y = margin + (r.line - 1) * h;
        for (int x = 0; x < width; x++) {
            bool inverted = x >= r.inkFrom && x <= r.inkTo;
            ASSERT_EQ(inverted ? 0x000000 : 0xFFFFFF, HeadlessPixel(w->host, x, y))
                << "line " << r.line << " x " << x;
        }
    }
    w->onClose(w);
    BufferFree(b);
}

TEST_F(TextWindTest, CreationFailuresAreReported) {
    struct Case {
        const char *what;
        long failAt;
        const char *message;
    } cases[] = {
        {"edit box buffer", 1, "New edit box buffer"},
        {"list box buffer", 1, "Newedit box buffer"},
        {"text desc", 1, "New Text Desc"},
    };
    for (const Case &c : cases) {
        HeadlessBoxClear();
        Buffer *b = BufferCreate(nullptr, kCreateDetached);
        FailAllocation(c.failAt);
        Window *w = nullptr;
        if (strcmp(c.what, "edit box buffer") == 0)
            w = NewEditBox(1, 1, 10, 1, "f", 0, "x", top);
        else if (strcmp(c.what, "list box buffer") == 0)
            w = NewListBox(1, 1, 10, 5, kBlack, kWhite, "l", 0, nullptr, top);
        else
            w = NewTextWindow(1, 1, 10, 5, kBlack, kWhite, b, 0, top);
        FailAllocation(0);
        EXPECT_EQ(nullptr, w) << c.what;
        ASSERT_GE(HeadlessBoxCount(), 1) << c.what;
        EXPECT_STREQ(c.message, HeadlessBoxText(HeadlessBoxCount() - 1)) << c.what;
        BufferFree(b);
    }
}

} // namespace
