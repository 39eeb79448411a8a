// End-to-end check of the toolkit on the x11 backend, run by x11_e2e.sh on a private Xvfb (in
// the normal and the sanitizer build): a framed top window with two children is opened and
// painted; keys, clicks and a drag are sent from outside (xdotool, through XTest), also while a
// busy idle callback posts a redraw on every step; the keypad types digits with NumLock off, a
// character above 127 arrives above the key codes, Alt and Ctrl name Latin letters under a
// Cyrillic group, and Alt is found on another modifier after the map changes (setxkbmap and
// xmodmap change the keyboard of the private server); a message box shown from a button press is
// closed by a click; a window closes itself while it paints; a screenshot of the root window is
// read back for its colours; and the window is closed through WM_DELETE_WINDOW as a window
// manager would. The whole script runs from an idle callback, so the toolkit's own loop does
// all the waiting. xdotool runs while this process is blocked in system(), so everything it
// sends is queued at once, as when the program is busy.
//
// Usage: x11_check <closer.py> <screenshot.png>; exit status 0 when every check held.
#include "fonts.h"
#include "gdi.h"
#include "host.h"
#include "image.h"
#include "wind.h"
#include "windmsg.h"
#include "x11checks.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace x11checks;

namespace {

constexpr int kStepTimeoutMs = 15000; // any one step, on a slow machine
// A key must get through a busy loop at once; the bound only leaves room for a loaded machine
// (a starved key never arrives at all).
constexpr int kBusyKeyMs = 1000;
constexpr char kTitle[] = "torva x11 check";
constexpr char kBoxCaption[] = "torva box check";
constexpr int kBoxOkX = 130, kBoxOkY = 63; // the OK button of a one-line box, box pixels
constexpr char kQuestionCaption[] = "torva question check";
constexpr int kQuestionYesX = 86, kQuestionYesY = 63; // Yes of a one-line question, box pixels

// Client pixels of the top window (320 x 312) and its two children.
constexpr HostRect kRedBox = {20, 20, 100, 80};    // painted by the top window
constexpr HostRect kGreenBox = {120, 20, 200, 80}; //
constexpr HostRect kKeysArea = {20, 120, 140, 180};
constexpr HostRect kTextAt = {20, 200, 0, 0};  // top left of the text
constexpr HostRect kIconAt = {200, 200, 0, 0}; // and of the icon
constexpr HostRect kClickArea = {180, 120, 300, 180};

const char *gCloser;
const char *gShot;
Window *gTop, *gKeys, *gClick;
int gPaints[3];           // top, keys, click
std::vector<int> gCodes;  // keys that reached the keys window
size_t gCodesBefore;      // codes that arrived before the keys of the current step
bool gEntered;            // the keys window was told it has the input focus
int gDown = -1, gUp = -1; // positions of the click
std::vector<int> gDrags;  // drag positions on the click window
std::vector<int> gWheel;  // wheel steps on the click window
bool gClosed;             // the top window's onClose ran
bool gBusy;               // the script works on every idle call and posts a redraw
bool gBoxOnPress;         // the click window shows a message box when pressed
bool gBoxReturned;        //
int64_t gKeySent = -1;    // when xdotool returned from typing Escape
int64_t gKeyArrived = -1; // when Escape reached the keys window
Window *gSelfCloser;      // closes itself from its own onPaint
std::string gWork;        // scratch directory of the check
int gStep;
int64_t gStepStart;
void Fill(Window *w, const HostRect &r, HostColor color) {
    HostDevice *device = WindowPaintDevice(w);
    if (device)
        WindowHost()->fillRect(device, &r, color);
}

HostRect Whole(const Window *w) { return {0, 0, w->right - w->left + 1, w->bottom - w->top + 1}; }

// Text and the program's icon below the boxes: real fonts and images on the X server.
void PaintTextAndIcon(Window *w) {
    GC *gc = GetWindowGC(w);
    if (!gc)
        return;
    SetGCFont(FontLookup("face:helvetica!height:100"), gc);
    SetForeground(0x000000, gc);
    SetBackground(0xC0C0C0, gc);
    MovePen(kTextAt.left, kTextAt.top, gc);
    DrawString("Hello, w\xF6rld", gc);
    if (Image *icon = ReadXPM(kProgramIconXpm, kProgramIconLines, 0xC0C0C0)) {
        DrawImage(icon, 0, 0, 48, 48, kIconAt.left, kIconAt.top, gc);
        FreeImage(icon);
    }
    ReleaseGC(gc);
}

int PaintTop(Window *w) {
    gPaints[0]++;
    Fill(w, Whole(w), 0xC0C0C0);
    Fill(w, kRedBox, 0x0000FF);
    Fill(w, kGreenBox, 0x00FF00);
    PaintTextAndIcon(w);
    return 0;
}

int PaintKeys(Window *w) {
    gPaints[1]++;
    Fill(w, Whole(w), 0x00FFFF); // yellow
    return 0;
}

int PaintClick(Window *w) {
    gPaints[2]++;
    Fill(w, Whole(w), 0xFF0000); // blue
    return 0;
}

int RecordKey(int code, Window *) {
    gCodes.push_back(code);
    if (code == 27 && gKeyArrived < 0)
        gKeyArrived = WindowHost()->now();
    return 0;
}

// The codes after the first `skip`, less the modifier keys' own codes.
std::vector<int> CodesAfter(size_t skip) {
    std::vector<int> out;
    for (size_t i = skip; i < gCodes.size(); i++)
        if (gCodes[i] != 154 && gCodes[i] != 155 && gCodes[i] != 156)
            out.push_back(gCodes[i]);
    return out;
}

std::string Codes(const std::vector<int> &codes) {
    std::string text;
    for (int code : codes)
        text += (text.empty() ? "" : " ") + std::to_string(code);
    return text;
}

// True once as many codes as expected arrived since gCodesBefore (less the modifier keys'
// own), failing when they are not the expected ones.
bool Arrived(const std::vector<int> &expected, const char *what) {
    std::vector<int> got = CodesAfter(gCodesBefore);
    if (got.size() < expected.size())
        return false;
    printf("x11 check: %s arrived as %s\n", what, Codes(got).c_str());
    if (got != expected)
        Fail(std::string(what) + " arrived as " + Codes(got) + ", not " + Codes(expected));
    gCodesBefore = gCodes.size();
    return true;
}

int Entered(Window *) {
    gEntered = true;
    return 0;
}

int Down(int position, Window *) {
    gDown = position;
    if (gBoxOnPress) {
        gBoxOnPress = false;
        ReportError("click OK", kBoxCaption);
        gBoxReturned = true;
    }
    return 0;
}

int Up(int position, Window *) {
    gUp = position;
    return 0;
}

int Drag(int position, Window *) {
    gDrags.push_back(position);
    return 0;
}

int Wheel(int steps, Window *w) {
    if (w == gClick)
        gWheel.push_back(steps);
    return 0;
}

int PaintAndClose(Window *w) {
    Fill(w, Whole(w), 0x808080);
    CloseWindow(w); // the paint's device and host window are released after this returns
    gSelfCloser = nullptr;
    return 0;
}

int Closing(Window *w) {
    gClosed = true;
    return CloseWindow(w);
}

void CheckShot(void) {
    cairo_surface_t *shot = Screenshot(gShot);
    if (!shot)
        return;
    struct Expect {
        const char *what;
        Window *w;
        int x, y;
        long color;
    } expects[] = {
        {"red rectangle", gTop, 60, 50, 0xFF0000},    {"green rectangle", gTop, 160, 50, 0x00FF00},
        {"top background", gTop, 110, 100, 0xC0C0C0}, {"keys window", gKeys, 10, 10, 0xFFFF00},
        {"click window", gClick, 100, 50, 0x0000FF},
    };
    for (const Expect &e : expects) {
        long got = ShotPixel(shot, e.w, e.x, e.y);
        if (got != e.color) {
            char text[128];
            snprintf(text, sizeof text, "%s: colour %06lx, expected %06lx", e.what, got, e.color);
            Fail(text);
        }
    }
    cairo_surface_destroy(shot);
}

// The window manager's icon: 48 by 48 ARGB pixels, transparent in the corner.
void CheckIcon(const std::string &id) {
    std::string command = "xprop -id " + id + " -notype 32c _NET_WM_ICON";
    FILE *p = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    size_t n;
    while (p && (n = fread(buffer, 1, sizeof buffer, p)) > 0)
        text.append(buffer, n);
    if (p)
        pclose(p);
    std::vector<long> values;
    size_t at = text.find('=');
    for (const char *q = at == std::string::npos ? "" : text.c_str() + at + 1; *q;) {
        char *end;
        long v = strtol(q, &end, 0);
        if (end == q) {
            q++;
            continue;
        }
        values.push_back(v);
        q = end;
    }
    if (values.size() != 2 + 48 * 48 || values[0] != 48 || values[1] != 48 || values[2] != 0)
        Fail("_NET_WM_ICON has " + std::to_string(values.size()) + " values, not 48, 48 and " +
             "2304 pixels with a transparent corner");
}

void NextStep(void) {
    gStep++;
    gStepStart = WindowHost()->now();
}

std::string ScreenPoint(Window *w, int x, int y) {
    int ox, oy;
    WindowClientOrigin(w, &ox, &oy);
    return std::to_string(ox + x) + " " + std::to_string(oy + y);
}

std::string Where(int position) {
    return std::to_string(PositionX(position)) + "," + std::to_string(PositionY(position));
}

// Clicks the box's OK button from outside (this process is inside the box then), and writes
// "closed" or, when the box did not take the click, "stuck" (and closes it with Return).
void StartBoxClicker(void) {
    std::string result = gWork + "/box";
    // On a loaded machine the box may be named before it is mapped and takes clicks: the click
    // is made again every half second while the box is there, for four seconds; a box that
    // takes none of them is stuck.
    const std::string box = "xdotool search --name '^" + std::string(kBoxCaption) + "$'";
    std::string command = "( id=$(xdotool search --sync --name '^" + std::string(kBoxCaption) +
                          "$' | head -n 1); sleep 0.3; for try in 1 2 3 4 5 6 7 8; do " + box +
                          " >/dev/null || break; xdotool mousemove --window $id " +
                          std::to_string(kBoxOkX) + " " + std::to_string(kBoxOkY) +
                          " click 1; sleep 0.5; done; if " + box +
                          " >/dev/null; then echo stuck > " + result +
                          ".tmp; xdotool key Return; else echo closed > " + result +
                          ".tmp; fi; mv " + result + ".tmp " + result + " ) >/dev/null 2>&1 &";
    Run(command);
}

// Answers the next question box from outside with xdotool `actions` ($id is the box); a box
// still up 4 s later is declined with Escape, so a box that ignores the answer cannot hang.
void StartQuestionAnswer(const std::string &actions) {
    std::string caption = kQuestionCaption;
    Run("( id=$(xdotool search --sync --name '^" + caption +
        "$' | head -n 1); sleep 0.3; xdotool " + actions +
        "; sleep 4; if xdotool search --name '^" + caption +
        "$' >/dev/null; then xdotool key Escape; fi ) >/dev/null 2>&1 &");
}

std::string ReadFile(const std::string &path) {
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return "";
    char line[64] = "";
    if (!fgets(line, sizeof line, f))
        line[0] = 0;
    fclose(f);
    line[strcspn(line, "\n")] = 0;
    return line;
}

// The script, one look per idle call (about every 100 ms while the loop is quiet, on every
// round while it is busy).
int Script(Window *) {
    int64_t now = WindowHost()->now();
    if (gBusy)
        PostEvent(kEventRedraw, 0, gTop); // a running program redraws on every step
    if (now - gStepStart > kStepTimeoutMs) {
        Fail("step " + std::to_string(gStep) +
             " timed out; the keys of the step so far: " + Codes(CodesAfter(gCodesBefore)));
        CloseWindow(gTop);
        return 0;
    }
    switch (gStep) {
    case 0: // painted, and the keyboard focus arrived
        if (gPaints[0] && gPaints[1] && gPaints[2] && gEntered) {
            Run("xdotool key 1 1 Return");
            NextStep();
        }
        break;
    case 1: // two fast 1s stay two, Return comes once
        if (gCodes.size() >= 3) {
            if (gCodes != std::vector<int>{'1', '1', 13})
                Fail("keys arrived as " + std::to_string(gCodes.size()) + " codes, not 49 49 13");
            gBusy = true;
            gCodesBefore = gCodes.size();
            Run("xdotool key Escape");
            gKeySent = WindowHost()->now();
            NextStep();
        }
        break;
    case 2: // Escape gets through a loop that is busy and posts on every step
        if (gKeyArrived >= 0) {
            int64_t latency = gKeyArrived - gKeySent;
            printf("x11 check: Escape arrived %lld ms after it was sent, under load\n",
                   (long long)latency);
            if (latency > kBusyKeyMs)
                Fail("Escape took " + std::to_string(latency) + " ms through a busy loop");
            gCodesBefore = gCodes.size();
            Run("xdotool key shift+Delete ctrl+shift+Insert");
            NextStep();
        }
        break;
    case 3: // typed ahead, each key keeps the modifiers it was pressed with
        if (CodesAfter(gCodesBefore).size() >= 2) {
            std::vector<int> got = CodesAfter(gCodesBefore);
            if (got != std::vector<int>{228, 227})
                Fail("shift+Delete ctrl+shift+Insert arrived as " + std::to_string(got[0]) + " " +
                     std::to_string(got[1]) + ", not 228 227");
            gBusy = false;
            // Xvfb starts with NumLock off, so xdotool sends the keypad's NumLock-off symbols.
            gCodesBefore = gCodes.size();
            Run("xdotool key KP_End KP_Down KP_Add KP_Next KP_Enter KP_Insert KP_End KP_Down "
                "KP_Next KP_Left KP_Begin KP_Right KP_Home KP_Up KP_Prior KP_Delete");
            NextStep();
        }
        break;
    case 4: // the keypad types digits and its point without NumLock
        if (Arrived({'1', '2', '+', '3', 13, '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '.'},
                    "the keypad with NumLock off")) {
            // xdotool presses NumLock itself to reach the digit symbols.
            Run("xdotool key KP_1 KP_2 KP_Add KP_3 KP_Enter");
            NextStep();
        }
        break;
    case 5:
        if (Arrived({'1', '2', '+', '3', 13}, "the keypad's digit symbols")) {
            // A German and a Russian layout: ä has a key of its own (xdotool would otherwise
            // lend it a spare key code only while it types, and the symbol would be gone when
            // the key is read), AltGr+q types '@' and is no Alt, and under the Russian group
            // Alt and Ctrl name the letters of the first group. The layout stays until the
            // keys are read.
            Run("setxkbmap -layout de,ru && xdotool key adiaeresis ISO_Level3_Shift+q "
                "alt+Cyrillic_ef ctrl+Cyrillic_es");
            NextStep();
        }
        break;
    case 6:
        if (Arrived({0x1E4, '@', 199, 3},
                    "adiaeresis ISO_Level3_Shift+q alt+Cyrillic_ef ctrl+Cyrillic_es")) {
            // Alt is wherever the modifier map puts it, and the map may change while running.
            Run("setxkbmap -layout us && xmodmap -e 'clear mod1' -e 'add mod3 = Alt_L' && "
                "xdotool key alt+q alt+BackSpace");
            NextStep();
        }
        break;
    case 7:
        if (Arrived({215, 231}, "alt+q alt+BackSpace with Alt on Mod3")) {
            Run("setxkbmap -layout us");
            Run("xdotool mousemove " + ScreenPoint(gClick, 30, 20) + " click 1");
            NextStep();
        }
        break;
    case 8: // the click reached the click window, press and release
        if (gUp >= 0) {
            if (gDown != PackPosition(30, 20) || gUp != PackPosition(30, 20))
                Fail("the click arrived at the wrong place");
            CheckShot();
            gUp = -1;
            // The button comes up at (50, 30); the pointer moves on afterwards.
            Run("xdotool mousemove " + ScreenPoint(gClick, 10, 10) + " mousedown 1 mousemove " +
                ScreenPoint(gClick, 40, 25) + " mousemove " + ScreenPoint(gClick, 50, 30) +
                " mouseup 1 mousemove " + ScreenPoint(gClick, 90, 40));
            NextStep();
        }
        break;
    case 9: // the drag ends where the button came up
        if (gUp >= 0) {
            if (gDrags.empty() || gDrags.back() != PackPosition(50, 30) ||
                gUp != PackPosition(50, 30))
                Fail("the drag ended at " + (gDrags.empty() ? "nothing" : Where(gDrags.back())) +
                     " and the release at " + Where(gUp) + ", not both at 50,30");
            // The wheel: one step away, two towards; sideways buttons are nothing, and none
            // of them is a click.
            gUp = gDown = -1;
            Run("xdotool mousemove " + ScreenPoint(gClick, 30, 20) +
                " click 4 click 5 click 5 click 6 click 7");
            NextStep();
        }
        break;
    case 10: // the wheel's steps arrived, and no button
        if (gWheel.size() >= 3) {
            if (gWheel != std::vector<int>{-1, 1, 1} || gDown >= 0 || gUp >= 0)
                Fail("the wheel gave " + std::to_string(gWheel.size()) + " steps (" +
                     std::to_string(gWheel[0]) + " first) and press " + std::to_string(gDown));
            gBoxOnPress = true;
            StartBoxClicker();
            Run("xdotool mousemove " + ScreenPoint(gClick, 30, 20) + " click 1");
            NextStep();
        }
        break;
    case 11: { // the box shown from the press took the click on its OK button
        std::string result = ReadFile(gWork + "/box");
        if (gBoxReturned && !result.empty()) {
            if (result != "closed")
                Fail("a message box shown from a button press did not take a click");
            // A question box: N declines it, a click on Yes accepts it.
            StartQuestionAnswer("key n");
            if (AskYesNo("Replace it?", kQuestionCaption) != 0)
                Fail("N on a question box did not answer no");
            StartQuestionAnswer("mousemove --window $id " + std::to_string(kQuestionYesX) + " " +
                                std::to_string(kQuestionYesY) + " click 1");
            if (AskYesNo("Replace it?", kQuestionCaption) != 1)
                Fail("a click on Yes in a question box did not answer yes");
            gSelfCloser =
                OpenWindowPixels(220, 200, 299, 239, 0, 0, "self-closer", kWindowKindLabel, gTop);
            if (!gSelfCloser) {
                Fail("no window to close itself");
                CloseWindow(gTop);
                break;
            }
            gSelfCloser->onPaint = PaintAndClose;
            ShowWindowTree(gSelfCloser);
            NextStep();
        }
        break;
    }
    case 12: { // it painted and closed itself inside its paint
        if (gSelfCloser)
            break;
        std::string id = IdOf(kTitle);
        if (id.empty()) {
            Fail("xdotool cannot find the window by its title");
            CloseWindow(gTop);
            break;
        }
        CheckIcon(id);
        Run(std::string("python3 ") + gCloser + " " + id);
        NextStep();
        break;
    }
    default: // waiting for WM_DELETE_WINDOW to close the window
        break;
    }
    return gBusy ? 1 : 0;
}

void Report(const char *text) { fprintf(stderr, "x11 check: report: %s\n", text); }

} // namespace

// The smoke run: the window with its text and icon is painted, its icon property is read, and
// it closes. For screens whose pixel format differs from the usual one.
int Smoke(Window *w) {
    if (!gPaints[0])
        return 0;
    std::string id = IdOf(kTitle);
    if (id.empty())
        Fail("xdotool cannot find the window by its title");
    else
        CheckIcon(id);
    gClosed = true;
    CloseWindow(w);
    return 0;
}

int RunSmoke(char **argv, int scale) {
    WindowUseHost("x11");
    if (WindowProlog(1, argv, malloc, free, Report) != 0) {
        fprintf(stderr, "x11 check: the toolkit did not start\n");
        return 1;
    }
    // The scale comes from the Xft.dpi resource; fonts are made at 96 times it.
    const HostOps *h = WindowHost();
    if (h->getScreenCap(kHostCapScale) != scale || h->getScreenCap(kHostCapDpiY) != 96 * scale)
        Fail("the screen's scale is " + std::to_string(h->getScreenCap(kHostCapScale)) + " at " +
             std::to_string(h->getScreenCap(kHostCapDpiY)) + " dpi, not " + std::to_string(scale));
    gTop = OpenWindow(4, 4, 43, 27, 0, 0xC0C0C0, kTitle, kWindowFramed, nullptr);
    if (!gTop)
        return 1;
    gTop->onPaint = PaintTop;
    ShowWindowTree(gTop);
    AddIdleCallback(Smoke, gTop);
    RunModal(gTop);
    WindowEpilog();
    if (!gClosed)
        Fail("the smoke run did not finish");
    if (gFailures == 0)
        printf("x11 check: the smoke run on this screen held\n");
    return gFailures ? 1 : 0;
}

int main(int argc, char **argv) {
    gName = "x11 check";
    if (argc == 3 && strcmp(argv[1], "--smoke") == 0)
        return RunSmoke(argv, atoi(argv[2]));
    if (argc != 3) {
        fprintf(stderr, "usage: %s closer.py screenshot.png | --smoke scale\n", argv[0]);
        return 2;
    }
    gCloser = argv[1];
    gShot = argv[2];
    char work[] = "/tmp/torva-x11-check.XXXXXX";
    if (!mkdtemp(work)) {
        fprintf(stderr, "x11 check: no scratch directory\n");
        return 1;
    }
    gWork = work;
    WindowUseHost("x11");
    if (WindowProlog(argc, argv, malloc, free, Report) != 0) {
        fprintf(stderr, "x11 check: the toolkit did not start\n");
        return 1;
    }
    gTop = OpenWindow(4, 4, 43, 27, 0, 0xC0C0C0, kTitle, kWindowFramed, nullptr);
    if (!gTop) {
        fprintf(stderr, "x11 check: no top window\n");
        return 1;
    }
    gKeys =
        OpenWindowPixels(kKeysArea.left, kKeysArea.top, kKeysArea.right - 1, kKeysArea.bottom - 1,
                         0, 0, "keys", kWindowKindText | kWindowTakesFocus, gTop);
    gClick = OpenWindowPixels(kClickArea.left, kClickArea.top, kClickArea.right - 1,
                              kClickArea.bottom - 1, 0, 0, "click", kWindowKindButton, gTop);
    if (!gKeys || !gClick) {
        fprintf(stderr, "x11 check: no child windows\n");
        return 1;
    }
    gTop->onPaint = PaintTop;
    gTop->onClose = Closing;
    gKeys->onPaint = PaintKeys;
    gKeys->onKey = RecordKey;
    gKeys->onEnter = Entered;
    gClick->onPaint = PaintClick;
    gClick->onLeftDown = Down;
    gClick->onLeftUp = Up;
    gClick->onDrag = Drag;
    SetWheelHandler(Wheel);
    ShowWindowTree(gTop);
    AddIdleCallback(Script, gTop);
    gStepStart = WindowHost()->now();

    int result = RunModal(gTop);
    if (result != 0)
        Fail("RunModal returned " + std::to_string(result));
    if (gStep < 13)
        Fail("the script stopped at step " + std::to_string(gStep));
    if (!gClosed)
        Fail("WM_DELETE_WINDOW did not reach onClose");
    if (FirstTopWindow() || StopCounter() != kStopAll)
        Fail("the loop returned with windows left");
    WindowEpilog();
    std::string cleanup = "rm -rf " + gWork;
    if (system(cleanup.c_str()) != 0)
        fprintf(stderr, "x11 check: %s failed\n", cleanup.c_str());
    if (gFailures == 0)
        printf("x11 check: keys, busy keys, modifiers, click, drag, box, paint and close held\n");
    return gFailures ? 1 : 0;
}
