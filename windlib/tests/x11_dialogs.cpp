// Dialogs and menus on the x11 backend, run by x11_dialogs.sh on a private Xvfb (in the normal
// and the sanitizer build). A framed panel made from a description shows a dot-matrix digit; an
// owned dialog run modally must be a managed window transient for the panel (not
// override-redirect), a dialog by type, undecorated and modal, and typing 3 over its pre-filled
// 0 then Return must answer 3 through its OK button; a pull-down menu must be override-redirect
// and close on Escape and on a press outside every window; and a screenshot of the screen must
// show the digit's dots exactly. xdotool, xprop and xwininfo look from outside, as a window
// manager and a person would. The script runs from idle callbacks, so the toolkit's own loops do
// all the waiting.
//
// Usage: x11_dialogs <screenshot.png>; exit status 0 when every check held. The screen is also
// saved with the dialog up (<screenshot.png>.dialog.png) and the menu up (.menu.png).
#include "controls.h"
#include "dialog.h"
#include "host.h"
#include "wind.h"
#include "windmsg.h"
#include "x11checks.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace x11checks;

namespace {

constexpr int kStepTimeoutMs = 15000; // any one step, on a slow machine
constexpr char kPanelTitle[] = "torva dialogs check";
constexpr char kDialogTitle[] = "torva question";
constexpr char kMenuTitle[] = "torva menu";
constexpr int kDigitX = 16, kDigitY = 40; // the digit label in the panel, pixels
constexpr int kDigitWidth = 40, kDigitHeight = 64;
constexpr int kDot = 4; // the dot size a 40-pixel label gets

// The dots of "7." as a person reads them off the screen: the 7's rows, and the point at the
// right end of the last row.
constexpr unsigned char kSevenPoint[13] = {0x00, 0x7E, 0x02, 0x04, 0x04, 0x08, 0x08,
                                           0x10, 0x10, 0x20, 0x20, 0x20, 0x01};

constexpr uint32_t kButton = kWindowKindButton | kWindowTabStop | kWindowBordered;

const DialogItem kPanel[] = {
    {4, 4, 30, 12, kWindowFramed | kDialogTitled, kPanelTitle, nullptr, nullptr},
    {20, 3, 8, 2, kButton, "Ask", "Ask", nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

const DialogItem kQuestion[] = {
    {2, 2, 30, 10, kDialogTitled, kDialogTitle, nullptr, nullptr},
    {2, 3, 20, 1, kWindowKindText | kWindowTakesFocus | kWindowTabStop, "STRING", "0", nullptr},
    {2, 6, 8, 2, kButton, "OK", "OK", nullptr},
    {12, 6, 8, 2, kButton, "Cancel", "Cancel", nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

const DialogItem kMenu[] = {
    {0, 0, 14, 0, kWindowPullDown, kMenuTitle, nullptr, nullptr},
    {0, 0, 14, 1, kWindowKindButton, "First", "First", nullptr},
    {0, 0, 14, 1, kWindowKindButton, "Second", "Second", nullptr},
    {0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

const char *gShot;
Window *gPanel, *gDigit, *gDialog;
WindowRef gMenuRef;
bool gMenuPainted;     // the menu was painted: it is mapped and holds the pointer
WindowProc gMenuPaint; // the menu's own painter
int gDialogPaints;     // paints of the dialog
int gDialogLooks, gMenuLooks;
int gDigitPaints;     // paints of the digit label
int gDigitPaintsSeen; // as many as when the menu closed
WindowProc gDigitPaint;
std::string gPanelId;
std::string gAnswer; // what the OK button read from the field
int gStep, gDialogStep;
int64_t gStepStart;
bool gDone;

bool OverrideRedirect(const std::string &id) {
    return Output("xwininfo -id " + id).find("Override Redirect State: yes") != std::string::npos;
}

bool Has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// True on the second look after `ready` became true: what was drawn when it became true has
// been sent to the server by the loop's look at the display in between.
bool SentSince(bool ready, int *looks) {
    if (!ready) {
        *looks = 0;
        return false;
    }
    return ++*looks >= 2;
}

void NextStep(int *step) {
    (*step)++;
    gStepStart = WindowHost()->now();
}

bool TimedOut(const char *what, int step) {
    if (WindowHost()->now() - gStepStart <= kStepTimeoutMs)
        return false;
    Fail(std::string(what) + " step " + std::to_string(step) + " timed out");
    return true;
}

int Answer(int, Window *button) {
    char text[32];
    if (GetItemText("STRING", text, sizeof text, button->parent) == 0)
        gAnswer = text;
    return CloseDialogButton(0, button);
}

// The owned dialog's script, run while the dialog is modal.
int DialogScript(Window *) {
    if (TimedOut("dialog", gDialogStep)) {
        CloseWindow(gDialog);
        return 0;
    }
    switch (gDialogStep) {
    case 0: { // mapped, and what a window manager reads
        std::string id = IdOf(kDialogTitle);
        if (!SentSince(!id.empty() && gDialogPaints > 0, &gDialogLooks))
            return 0;
        std::string props = Output("xprop -id " + id);
        char panel[32];
        snprintf(panel, sizeof panel, "0x%lx", strtoul(gPanelId.c_str(), nullptr, 10));
        if (!Has(props, std::string("WM_TRANSIENT_FOR(WINDOW): window id # ") + panel))
            Fail("the dialog is not transient for the panel " + gPanelId);
        if (!Has(props, "_NET_WM_WINDOW_TYPE_DIALOG"))
            Fail("the dialog's type is not dialog");
        if (!Has(props, "_NET_WM_STATE(ATOM) = _NET_WM_STATE_MODAL"))
            Fail("the dialog is not modal");
        if (!Has(props, "_MOTIF_WM_HINTS"))
            Fail("the dialog asks for the manager's decorations over its own frame");
        if (OverrideRedirect(id))
            Fail("the dialog is override-redirect");
        printf("x11 dialogs: the dialog is managed, transient for the panel and modal\n");
        Run("import -window root " + std::string(gShot) + ".dialog.png"); // for a person
        NextStep(&gDialogStep);
        return 0;
    }
    case 1: // the pre-filled 0 is replaced by the typed 3, and Return presses OK
        if (FocusWindow() != FindNamedWindow("STRING", gDialog))
            return 0;
        Run("xdotool type 3 && xdotool key Return");
        NextStep(&gDialogStep);
        return 0;
    default:
        return 0;
    }
}

bool DigitDotLit(cairo_surface_t *shot, int row, int column) {
    int y0 = (kDigitHeight - 13 * kDot - 12) / 2;
    return ShotPixel(shot, gDigit, column * (kDot + 1) + kDot / 2,
                     y0 + row * (kDot + 1) + kDot / 2) == 0;
}

// Reads the digit off a screenshot of the screen, dot by dot.
void CheckDigit(void) {
    cairo_surface_t *shot = Screenshot(gShot);
    if (!shot)
        return;
    std::string seen;
    bool same = true;
    for (int row = 0; row < 13; row++) {
        for (int column = 0; column < 8; column++) {
            bool lit = DigitDotLit(shot, row, column);
            seen += lit ? '#' : '.';
            same = same && lit == ((kSevenPoint[row] >> (7 - column)) & 1);
        }
        seen += '\n';
    }
    cairo_surface_destroy(shot);
    if (!same)
        Fail("the digit label shows\n" + seen + "not 7.");
    else
        printf("x11 dialogs: the digit label reads 7. on the screen\n");
}

int DialogPaint(Window *w) {
    gDialogPaints++;
    return gMenuPaint(w); // every dialog has the same painter
}

int DigitPaint(Window *w) {
    gDigitPaints++;
    return gDigitPaint(w);
}

int MenuPaint(Window *w) {
    gMenuPainted = true;
    return gMenuPaint(w);
}

Window *PopMenu(void) {
    ClearMenu();
    AddMenuItems(kMenu);
    Window *m = PopUpMenu(PackPosition(8, 8), gPanel);
    if (!m) {
        Fail("the menu did not pop up");
        return nullptr;
    }
    gMenuRef = WindowRefOf(m);
    gMenuPainted = false;
    gMenuPaint = m->onPaint;
    m->onPaint = MenuPaint;
    return m;
}

// The panel's script.
int Script(Window *) {
    if (gDone)
        return 0;
    if (TimedOut("panel", gStep)) {
        gDone = true;
        CloseWindow(gPanel);
        return 0;
    }
    switch (gStep) {
    case 0: // shown and focused
        gPanelId = IdOf(kPanelTitle);
        if (gPanelId.empty() || !WindowHost()->getFocus())
            return 0;
        NextStep(&gStep);
        return 0;
    case 1: // the owned dialog, run modally with its own script
        gDialog = CreateDialog(kQuestion, gPanel);
        if (!gDialog) {
            Fail("the dialog was not made");
            gDone = true;
            CloseWindow(gPanel);
            return 0;
        }
        SetButtonFunction("OK", Answer, gDialog);
        SetButtonFunction("Cancel", CloseDialogButton, gDialog);
        gMenuPaint = gDialog->onPaint;
        gDialog->onPaint = DialogPaint;
        ShowDialog(gDialog);
        AddIdleCallback(DialogScript, gDialog);
        RunModal(gDialog);
        if (gAnswer != "3")
            Fail("the dialog answered \"" + gAnswer + "\", not 3");
        else
            printf("x11 dialogs: typing 3 over the pre-filled 0 answered 3\n");
        NextStep(&gStep);
        return 0;
    case 2: { // a pull-down menu floats and Escape closes it
        Window *m = WindowRefGet(gMenuRef);
        if (!m)
            m = PopMenu();
        if (!m) {
            NextStep(&gStep);
            return 0;
        }
        std::string id = IdOf(kMenuTitle);
        if (id.empty())
            return 0;
        if (!OverrideRedirect(id))
            Fail("the menu is not override-redirect");
        Run("xdotool key Escape");
        NextStep(&gStep);
        return 0;
    }
    case 3:
        if (WindowRefLive(gMenuRef))
            return 0;
        printf("x11 dialogs: Escape closed the menu\n");
        PopMenu();
        NextStep(&gStep);
        return 0;
    case 4: // a press outside every window of ours closes it as well
        if (!SentSince(gMenuPainted, &gMenuLooks))
            return 0;
        Run("import -window root " + std::string(gShot) + ".menu.png"); // for a person
        Run("xdotool mousemove 1250 1000 click 1");
        NextStep(&gStep);
        return 0;
    case 5:
        if (WindowRefLive(gMenuRef))
            return 0;
        printf("x11 dialogs: a press outside closed the menu\n");
        gDigitPaintsSeen = gDigitPaints;
        NextStep(&gStep);
        return 0;
    case 6: // the menu lay over the digit: the screen shows it once it was painted again
        if (gDigitPaints == gDigitPaintsSeen)
            return 0;
        NextStep(&gStep); // the loop's next look at the display sends the paint
        return 0;
    case 7:
        CheckDigit();
        gDone = true;
        CloseWindow(gPanel);
        return 0;
    default:
        return 0;
    }
}

void Report(const char *text) { fprintf(stderr, "x11 dialogs: report: %s\n", text); }

} // namespace

int main(int argc, char **argv) {
    gName = "x11 dialogs";
    if (argc != 2) {
        fprintf(stderr, "usage: %s screenshot.png\n", argv[0]);
        return 2;
    }
    gShot = argv[1];
    WindowUseHost("x11");
    if (WindowProlog(argc, argv, malloc, free, Report) != 0) {
        fprintf(stderr, "x11 dialogs: the toolkit did not start\n");
        return 1;
    }
    gPanel = CreateDialog(kPanel, nullptr);
    if (!gPanel) {
        fprintf(stderr, "x11 dialogs: no panel\n");
        return 1;
    }
    gDigit = NewDigitLabel(kDigitX, kDigitY, kDigitX + kDigitWidth - 1, kDigitY + kDigitHeight - 1,
                           "digit", 0x000000, 0xFFFFFF, 1, gPanel);
    if (!gDigit) {
        fprintf(stderr, "x11 dialogs: no digit label\n");
        return 1;
    }
    SetWindowText("7.", gDigit);
    gDigitPaint = gDigit->onPaint;
    gDigit->onPaint = DigitPaint;
    ShowDialog(gPanel);
    AddIdleCallback(Script, gPanel);
    gStepStart = WindowHost()->now();
    RunModal(gPanel);
    WindowEpilog();
    if (gStep < 7)
        Fail("the script stopped at step " + std::to_string(gStep));
    if (gFailures == 0)
        printf("x11 dialogs: dialogs, menus and the digit label held\n");
    return gFailures ? 1 : 0;
}
