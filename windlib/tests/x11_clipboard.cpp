// The x11 backend's clipboard against another X client (xclip), run by x11_clipboard.sh on a
// private Xvfb (in the normal and the sanitizer build). The program puts and gets through the
// host table from the toolkit's own loop, mostly from keys sent with xdotool, so each request
// carries the time of a real input event; xclip runs in the background while this process
// keeps answering (xclip -o waits for the owner, so it is never run with this process blocked).
//
// Checked: a put is stamped with its key's time (one older than xclip's taking fails); a put is
// read back by xclip as UTF-8 and as STRING, TARGETS lists what is offered and other targets
// are refused; texts xclip holds are got as Latin-1, with '?' for what Latin-1 cannot hold (but
// the no-break space for the spaces that group a number's digits); a 1 MB text from xclip is got
// capped; our own text comes back at once; a put larger than the largest request is served in
// pieces (INCR), also while a message box is up; and an owner that never answers costs a
// bounded wait, after which the keys that came meanwhile arrive in order.
//
// Usage: x11_clipboard; exit status 0 when every check held.
#include "host.h"
#include "textwind.h"
#include "wind.h"
#include "windmsg.h"
#include "x11checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace x11checks;

namespace {

constexpr int kStepTimeoutMs = 30000; // any one step, on a slow machine under the sanitizers
constexpr size_t kPasteMax = 16383;   // the most a get gives
// Generous bounds that only catch a wait that never ends (the measured times are printed).
constexpr int kOwnGetMs = 1000;   // our own text comes back without a round trip to xclip
constexpr int kLargeGetMs = 5000; // 1 MB from xclip, of which the first 16 383 bytes are kept
constexpr int kStuckGetMs = 5000; // an owner that never answers is given about a second
constexpr int kStuckMinMs = 900;  // ... and no less
// The large puts, Latin-1 lines, and the same lines in UTF-8 as xclip reads them. The first is
// above the largest request even with BIG-REQUESTS (Xvfb: 16 777 212 bytes), so only INCR gets
// it through; the one read inside the message box is above the largest without.
constexpr char kBigLine[] = "torva \xE9t\xE9 0123456789\n";
constexpr char kBigLineUtf8[] = "torva \xC3\xA9t\xC3\xA9 0123456789\n";
constexpr size_t kBigLines = (17u << 20) / (sizeof kBigLine - 1) + 1;
constexpr char kBoxLine[] = "box \xE9 0123456789\n";
constexpr char kBoxLineUtf8[] = "box \xC3\xA9 0123456789\n";
constexpr size_t kBoxLines = (1u << 20) / (sizeof kBoxLine - 1) + 1;
constexpr char kTitle[] = "torva clipboard check";
constexpr char kBoxCaption[] = "torva clipboard box";
constexpr int kBoxOkX = 130, kBoxOkY = 63; // the OK button of a one-line box, box pixels

// Texts xclip holds (UTF-8 and whatever else a program may offer) and what a get gives.
struct GetCase {
    const char *given;
    const char *expected; // Latin-1
} const kGetCases[] = {
    {"x\xC3\xA4\xE2\x82\xAC", "x\xE4?"}, // ä, and € which Latin-1 lacks
    {"\xF0\x9F\x98\x80!", "?!"},         // a four-byte character
    {"a\xFF"
     "b\xC3",
     "a?b?"},                                     // a byte no character starts with, a cut one
    {"\xC3\xA9t\xC3\xA9\tx\n", "\xE9t\xE9\tx\n"}, // tab and line feed stay
    {"1\xE2\x80\x89"
     "000\xE2\x80\xAF"
     "5\xE2\x80\x8A",
     "1\xA0"
     "000\xA0"
     "5?"}, // thin and narrow no-break spaces group digits; a hair space is no such space
};

Window *gTop, *gKeys;
bool gPainted, gEntered;
std::string gWork; // scratch directory
int gStep, gCase;
int64_t gStepStart;

// What the keys window does on 'p' (put gPutText) and 'g' (get), and what came of it.
std::string gPutText;
int gPuts, gPutResult;
int gGets;
bool gGotNull;
std::string gGot;
int64_t gGetMs;
std::string gLog; // 'g' when a get ended, and the digits typed, in the order they came

int64_t gReadStart;

const HostOps *Host(void) { return WindowHost(); }

std::string Path(const std::string &name) { return gWork + "/" + name; }

// Runs a shell command in the background with its output in the file `name`; `name`.rc appears
// when it has ended, holding its exit status.
void Start(const std::string &name, const std::string &command) {
    std::string out = Path(name);
    Run("( ( " + command + " ) >" + out + " 2>" + out + ".err; echo $? >" + out + ".tmp; mv " +
        out + ".tmp " + out + ".rc ) >/dev/null 2>&1 &");
}

std::string ReadAll(const std::string &path) {
    std::string text;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    fclose(f);
    return text;
}

bool WriteAll(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

bool Ended(const std::string &name) { return !ReadAll(Path(name) + ".rc").empty(); }

int Status(const std::string &name) { return atoi(ReadAll(Path(name) + ".rc").c_str()); }

// Bytes as C escapes, for messages.
std::string Shown(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < 60; i++) {
        unsigned char c = (unsigned char)text[i];
        char b[8];
        if (c >= 32 && c < 127 && c != '\\')
            out += (char)c;
        else {
            snprintf(b, sizeof b, "\\x%02X", c);
            out += b;
        }
    }
    return text.size() > 60 ? out + "... (" + std::to_string(text.size()) + " bytes)" : out;
}

void Expect(const std::string &what, const std::string &got, const std::string &expected) {
    if (got != expected)
        Fail(what + ": \"" + Shown(got) + "\", expected \"" + Shown(expected) + "\"");
}

// `pattern` `times` times.
std::string Repeat(const std::string &pattern, size_t times) {
    std::string text;
    text.reserve(pattern.size() * times);
    for (size_t i = 0; i < times; i++)
        text += pattern;
    return text;
}

int OnKey(int code, Window *) {
    if (code == 'p') {
        gPutResult = Host()->clipboardPut(nullptr, gPutText.data(), gPutText.size());
        gPuts++;
    } else if (code == 'g') {
        int64_t start = Host()->now();
        size_t length = 0;
        const char *text = Host()->clipboardGet(&length);
        gGetMs = Host()->now() - start;
        gGotNull = text == nullptr;
        gGot = text ? std::string(text, length) : "";
        gGets++;
        gLog += 'g';
    } else if (code >= '0' && code <= '9') {
        gLog += (char)code;
    }
    return 0;
}

int Painted(Window *w) {
    gPainted = true;
    HostDevice *device = WindowPaintDevice(w);
    if (device) {
        HostRect all = {0, 0, w->right - w->left + 1, w->bottom - w->top + 1};
        Host()->fillRect(device, &all, 0xC0C0C0);
    }
    return 0;
}

int Entered(Window *) {
    gEntered = true;
    return 0;
}

void NextStep(void) {
    gStep++;
    gStepStart = Host()->now();
}

// The owner this check started and stopped goes (by its process id).
void StopStuckOwner(void) {
    std::string pid = ReadAll(Path("stuck.pid"));
    pid = pid.substr(0, pid.find('\n'));
    if (!pid.empty() && system(("kill -CONT " + pid + "; kill " + pid).c_str()) != 0)
        fprintf(stderr, "x11 clipboard: the stuck owner %s is gone already\n", pid.c_str());
    remove(Path("stuck.pid").c_str());
}

// Puts a text through a key, so the put carries the key's time.
void PutByKey(const std::string &text) {
    gPutText = text;
    Run("xdotool key p");
}

// Hands the next get case to xclip and gets it back through a key.
void StartGetCase(void) {
    if (!WriteAll(Path("given"), kGetCases[gCase].given))
        Fail("cannot write " + Path("given"));
    Run("xclip -i -selection clipboard <" + Path("given") + " && xdotool key g");
}

int Script(Window *) {
    if (Host()->now() - gStepStart > kStepTimeoutMs) {
        Fail("step " + std::to_string(gStep) + " timed out; keys and gets so far: \"" + gLog +
             "\"");
        CloseWindow(gTop);
        return 0;
    }
    switch (gStep) {
    case 0: // painted and focused; a put before any input is stamped with a server time
        if (!gPainted || !gEntered)
            break;
        if (Host()->clipboardPut(nullptr, "hello", 5) != 0)
            Fail("the put of \"hello\" before any input failed");
        Start("hello", "timeout 10 xclip -o -selection clipboard");
        Start("targets", "timeout 10 xclip -o -selection clipboard -t TARGETS");
        Start("refused", "timeout 10 xclip -o -selection clipboard -t TEXT");
        NextStep();
        break;
    case 1:
        if (!Ended("hello") || !Ended("targets") || !Ended("refused"))
            break;
        Expect("xclip -o", ReadAll(Path("hello")), "hello");
        Expect("xclip -o -t TARGETS", ReadAll(Path("targets")), "TARGETS\nUTF8_STRING\nSTRING\n");
        if (Status("refused") == 0 || !ReadAll(Path("refused")).empty())
            Fail("the target TEXT was not refused");
        PutByKey("caf\xE9");
        NextStep();
        break;
    case 2: // a Latin-1 put reads as UTF-8, and as itself through STRING
        if (gPuts < 1)
            break;
        if (gPutResult != 0)
            Fail("the put from a key failed");
        Start("utf8", "timeout 10 xclip -o -selection clipboard");
        Start("string", "timeout 10 xclip -o -selection clipboard -t STRING");
        NextStep();
        break;
    case 3:
        if (!Ended("utf8") || !Ended("string"))
            break;
        Expect("UTF8_STRING of a Latin-1 put", ReadAll(Path("utf8")), "caf\xC3\xA9");
        Expect("STRING of a Latin-1 put", ReadAll(Path("string")), "caf\xE9");
        gCase = 0;
        StartGetCase();
        NextStep();
        break;
    case 4: // texts xclip holds come as Latin-1
        if (gGets <= gCase)
            break;
        if (gGotNull)
            Fail("get case " + std::to_string(gCase) + " gave nothing");
        Expect("get case " + std::to_string(gCase), gGot, kGetCases[gCase].expected);
        if (++gCase < (int)std::size(kGetCases)) {
            StartGetCase();
            break;
        }
        // xclip takes the clipboard after the last key.
        Start("taken", "echo taken | xclip -i -selection clipboard; for i in $(seq 100); do if [ "
                       "\"$(timeout 2 xclip -o -selection clipboard)\" = taken ]; then exit 0; "
                       "fi; sleep 0.1; done; exit 1");
        NextStep();
        break;
    case 5: // a put stamped with that key loses to xclip (one stamped with CurrentTime would win)
        if (!Ended("taken"))
            break;
        if (Status("taken") != 0)
            Fail("xclip did not take the clipboard");
        else if (Host()->clipboardPut(nullptr, "stale", 5) != 1)
            Fail("a put stamped before another program took the clipboard took it");
        // 1 MB, more than xclip writes in one property.
        if (!WriteAll(Path("large"), Repeat("0123456789abcdef", (1 << 20) / 16)))
            Fail("cannot write " + Path("large"));
        Run("xclip -i -selection clipboard <" + Path("large") + " && xdotool key g");
        NextStep();
        break;
    case 6:
        if (gGets <= gCase)
            break;
        printf("x11 clipboard: 1 MB from xclip got (capped) in %lld ms\n", (long long)gGetMs);
        Expect("get of 1 MB", gGot,
               Repeat("0123456789abcdef", kPasteMax / 16 + 1).substr(0, kPasteMax));
        if (gGetMs > kLargeGetMs)
            Fail("the get of 1 MB took " + std::to_string(gGetMs) + " ms");
        gGets = gCase = 0;
        gPuts = 0;
        gPutText = "own text";
        Run("xdotool key p g");
        NextStep();
        break;
    case 7: // our own text comes back from our own copy
        if (gGets < 1)
            break;
        printf("x11 clipboard: our own text got back in %lld ms\n", (long long)gGetMs);
        if (gPuts != 1 || gPutResult != 0)
            Fail("the put of our own text failed");
        Expect("our own text got back", gGot, "own text");
        if (gGetMs > kOwnGetMs)
            Fail("our own text took " + std::to_string(gGetMs) + " ms to come back");
        PutByKey(Repeat(kBigLine, kBigLines));
        NextStep();
        break;
    case 8: // a put larger than any request goes in pieces
        if (gPuts < 2)
            break;
        if (gPutResult != 0)
            Fail("the large put failed");
        gReadStart = Host()->now();
        Start("big", "timeout 60 xclip -o -selection clipboard");
        NextStep();
        break;
    case 9: {
        if (!Ended("big"))
            break;
        std::string read = ReadAll(Path("big"));
        printf("x11 clipboard: xclip read %zu bytes from us in %lld ms\n", read.size(),
               (long long)(Host()->now() - gReadStart));
        if (read != Repeat(kBigLineUtf8, kBigLines))
            Fail("xclip read " + std::to_string(read.size()) +
                 " bytes of the large put, not the same text in UTF-8");
        gPutText.clear();
        // An owner that takes the clipboard and then never answers.
        Run("(echo stuck | xclip -i -quiet -selection clipboard & echo $! >" + Path("stuck.pid") +
            ") >/dev/null 2>&1");
        Start("stopped", "for i in $(seq 100); do if [ \"$(timeout 2 xclip -o -selection "
                         "clipboard)\" = stuck ]; then kill -STOP $(cat " +
                             Path("stuck.pid") + "); exit 0; fi; sleep 0.1; done; exit 1");
        NextStep();
        break;
    }
    case 10: // the get gives up after about a second; keys that came meanwhile keep their order
        if (!Ended("stopped"))
            break;
        if (Status("stopped") != 0) {
            Fail("the stuck owner did not take the clipboard");
            CloseWindow(gTop);
            break;
        }
        gLog.clear();
        gGets = 0;
        Run("(sleep 0.3; xdotool key 1 2 3) >/dev/null 2>&1 &");
        Run("xdotool key g");
        NextStep();
        break;
    case 11:
        if (gLog.size() < 4)
            break;
        printf("x11 clipboard: a get from an owner that never answers gave up after %lld ms\n",
               (long long)gGetMs);
        if (!gGotNull)
            Fail("a get from an owner that never answers gave \"" + Shown(gGot) + "\"");
        if (gGetMs < kStuckMinMs || gGetMs > kStuckGetMs)
            Fail("a get from an owner that never answers took " + std::to_string(gGetMs) + " ms");
        Expect("keys during a get", gLog, "g123");
        StopStuckOwner();
        // Taken from the stuck owner, which has to let go.
        PutByKey(Repeat(kBoxLine, kBoxLines));
        NextStep();
        break;
    case 12: // served in pieces while a message box is up, then the box is clicked away
        if (gPuts < 3)
            break;
        if (gPutResult != 0)
            Fail("the put for the message box failed");
        gPutText.clear();
        Start("boxed", "id=$(xdotool search --sync --name '^" + std::string(kBoxCaption) +
                           "$' | head -n 1); timeout 10 xclip -o -selection clipboard; s=$?; "
                           "xdotool mousemove --window $id " +
                           std::to_string(kBoxOkX) + " " + std::to_string(kBoxOkY) +
                           " click 1; exit $s");
        ReportError("click OK", kBoxCaption);
        NextStep();
        break;
    case 13:
        if (!Ended("boxed"))
            break;
        if (ReadAll(Path("boxed")) != Repeat(kBoxLineUtf8, kBoxLines))
            Fail("xclip read " + std::to_string(ReadAll(Path("boxed")).size()) +
                 " bytes from us while a message box was up, not the whole text");
        CloseWindow(gTop); // last: the box took the keyboard focus away
        NextStep();
        break;
    default:
        break;
    }
    return 0;
}

void Report(const char *text) { fprintf(stderr, "x11 clipboard: report: %s\n", text); }

// ---- an edit box against xclip: cut with the keys a user presses, read by xclip; xclip's
// text pasted back with Shift-Insert ------------------------------------------------------------

Window *gEdit;

std::string EditText(void) { return gEdit && gEdit->getText ? gEdit->getText(gEdit) : ""; }

int EditScript(Window *) {
    if (Host()->now() - gStepStart > kStepTimeoutMs) {
        Fail("edit step " + std::to_string(gStep) + " timed out with \"" + EditText() + "\"");
        CloseWindow(gTop);
        return 0;
    }
    switch (gStep) {
    case 0: // mark at the start, go to the end, cut: the selection goes to the clipboard
        if (!gEntered)
            break;
        Run("xdotool key ctrl+a ctrl+q ctrl+e shift+Delete");
        NextStep();
        break;
    case 1:
        if (!EditText().empty())
            break;
        Start("cut", "timeout 10 xclip -o -selection clipboard");
        NextStep();
        break;
    case 2:
        if (!Ended("cut"))
            break;
        Expect("xclip -o after a cut in an edit box", ReadAll(Path("cut")), "hello");
        if (!WriteAll(Path("world"), "w\xC3\xB6rld"))
            Fail("cannot write " + Path("world"));
        Run("xclip -i -selection clipboard <" + Path("world") + " && xdotool key shift+Insert");
        NextStep();
        break;
    case 3: // xclip's UTF-8 arrives as Latin-1
        if (EditText().empty())
            break;
        Expect("the edit box after Shift-Insert", EditText(), "w\xF6rld");
        CloseWindow(gTop);
        NextStep();
        break;
    default:
        break;
    }
    return 0;
}

int RunEdit(void) {
    gTop = OpenWindow(4, 4, 43, 27, 0, 0xC0C0C0, kTitle, kWindowFramed, nullptr);
    gEdit = gTop ? NewEditBox(2, 2, 30, 2, "field", kWindowBordered, "hello", gTop) : nullptr;
    if (!gEdit) {
        fprintf(stderr, "x11 clipboard: no edit box\n");
        return 1;
    }
    gTop->onEnter = Entered;
    gEdit->onEnter = Entered;
    ShowWindowTree(gTop);
    SetFocusWindow(gEdit);
    AddIdleCallback(EditScript, gTop);
    gStepStart = Host()->now();
    RunModal(gTop);
    WindowEpilog();
    if (gStep < 4)
        Fail("the edit box script stopped at step " + std::to_string(gStep));
    if (system(("rm -rf " + gWork).c_str()) != 0)
        fprintf(stderr, "x11 clipboard: cannot remove %s\n", gWork.c_str());
    if (gFailures == 0)
        printf("x11 clipboard: an edit box cut to xclip and pasted from it\n");
    return gFailures ? 1 : 0;
}

} // namespace

int main(int argc, char **argv) {
    gName = "x11 clipboard";
    char work[] = "/tmp/torva-x11-clipboard.XXXXXX";
    if (!mkdtemp(work)) {
        fprintf(stderr, "x11 clipboard: no scratch directory\n");
        return 1;
    }
    gWork = work;
    WindowUseHost("x11");
    if (WindowProlog(argc, argv, malloc, free, Report) != 0) {
        fprintf(stderr, "x11 clipboard: the toolkit did not start\n");
        return 1;
    }
    if (argc == 2 && strcmp(argv[1], "--edit") == 0)
        return RunEdit();
    gTop = OpenWindow(4, 4, 43, 27, 0, 0xC0C0C0, kTitle, kWindowFramed, nullptr);
    gKeys = gTop ? OpenWindowPixels(20, 20, 139, 79, 0, 0, "keys",
                                    kWindowKindText | kWindowTakesFocus, gTop)
                 : nullptr;
    if (!gKeys) {
        fprintf(stderr, "x11 clipboard: no windows\n");
        return 1;
    }
    gKeys->onPaint = Painted;
    gKeys->onKey = OnKey;
    gKeys->onEnter = Entered;
    ShowWindowTree(gTop);
    AddIdleCallback(Script, gTop);
    gStepStart = Host()->now();
    RunModal(gTop);
    WindowEpilog();
    StopStuckOwner(); // when a step failed before it could
    if (gStep < 14)
        Fail("the script stopped at step " + std::to_string(gStep));
    if (system(("rm -rf " + gWork).c_str()) != 0)
        fprintf(stderr, "x11 clipboard: cannot remove %s\n", gWork.c_str());
    if (gFailures == 0)
        printf("x11 clipboard: puts, gets, targets, INCR both ways, the box and a stuck owner "
               "held\n");
    return gFailures ? 1 : 0;
}
