// Writes the tape of 12*3+4= to a target the way the tape window's menu does, on the real panel
// and tape on the headless host: "save" is Save as text, "print" is Print with the file as the
// print dialog's file. A shell check runs it against every kind of target, as root and as
// another user, and looks at what the target holds afterwards. Every message box goes to
// standard error. Exit status: 0 written; 1 refused or failed (after its message); 2 usage or
// set-up. The settings go to $TORVA_CONFIG_DIR.
// Usage: tape_writer save|print TARGET
#include "buffer.h"
#include "calcsettings.h"
#include "dialog.h"
#include "headless.h"
#include "panel.h"
#include "print.h"
#include "tape.h"
#include "wind.h"
#include "windmsg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void quiet(const char *) {}

void closeIt(void *w) { CloseWindow((Window *)w); }

// Runs the event loop for `ms` of virtual time: keys typed are delivered and painted.
void settle(int ms) {
    Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
    if (!runner)
        return;
    HeadlessAt(HeadlessNow() + ms, closeIt, runner);
    RunModal(runner);
}

Window *topNamed(const char *name) {
    Window *first = FirstTopWindow();
    for (Window *w = first; w; w = w->next == first ? nullptr : w->next)
        if (w->name && strcmp(w->name, name) == 0)
            return w;
    return nullptr;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 || (strcmp(argv[1], "save") != 0 && strcmp(argv[1], "print") != 0)) {
        fprintf(stderr, "usage: tape_writer save|print TARGET\n");
        return 2;
    }
    WindowUseHost("headless");
    char *args[] = {argv[0], nullptr};
    if (BufferProlog(malloc, free, quiet, quiet) != 0 ||
        WindowProlog(1, args, malloc, free, quiet) != 0)
        return 2;
    std::string settings = calcSettingsFileName("torva");
    Window *panel = calcPanelCreate(settings.c_str());
    if (!panel)
        return 2;
    ShowDialog(panel);
    settle(100);
    HeadlessKeyDown(kHostKeyAlt); // Alt+T: the tape
    HeadlessKeystroke('T', 't');
    HeadlessKeyUp(kHostKeyAlt);
    settle(100);
    for (const char *c = "12*3+4="; *c; c++)
        HeadlessChar((unsigned char)*c);
    settle(100);
    Window *tape = topNamed(kTapeTitle);
    Window *list = tape ? FindNamedWindow("printout", tape) : nullptr;
    if (!list)
        return 2;
    int rc;
    if (strcmp(argv[1], "save") == 0) {
        PanelTape view = {WindowRefOf(tape), WindowRefOf(list)};
        rc = tapeSaveText(argv[2], &view);
    } else {
        PrintSettings print;
        LoadPrintSettings(nullptr, &print);
        snprintf(print.name, sizeof print.name, "%s", argv[2]);
        print.queue[0] = '\0';
        rc = PrintTextWindow(&print, list, kTapeTitle);
    }
    for (int i = 0; i < HeadlessBoxCount(); i++)
        fprintf(stderr, "%s: %s\n", HeadlessBoxCaption(i), HeadlessBoxText(i));
    CloseWindow(panel);
    WindowEpilog();
    BufferEpilog();
    return rc == 0 ? 0 : 1;
}
