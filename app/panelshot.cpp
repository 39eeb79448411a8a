// panelshot: the calculator panel as a person sees it, drawn on the headless host and saved as
// PNG, for the README's picture. The keys given are typed on the panel first, through the real
// event loop. Settings are the defaults: a private, empty settings directory is used and removed.
// Usage: panelshot FILE.png [KEYS]
#include "buffer.h"
#include "calcsettings.h"
#include "dialog.h"
#include "headless.h"
#include "panel.h"
#include "startup.h"
#include "wind.h"
#include "windmsg.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

constexpr int kSettleMs = 200; // virtual time for the panel to take and paint what it was given

void closeRunner(void *window) { CloseWindow(static_cast<Window *>(window)); }

// Runs the event loop until the virtual clock has moved on by kSettleMs. 0, or 1.
int settle() {
    Window *runner = OpenWindow(0, 0, 1, 1, 0, 0, "runner", 0, nullptr);
    if (!runner)
        return 1;
    HeadlessAt(HeadlessNow() + kSettleMs, closeRunner, runner);
    RunModal(runner);
    return 0;
}

void noReport(const char *) {}

int shoot(const char *file, const char *keys) {
    std::string settingsFile = calcSettingsFileName("torva");
    char program[] = "torva";
    char *argv[] = {program, nullptr};
    if (BufferProlog(malloc, free, noReport, noReport))
        return 1;
    if (calcStartToolkitOn("headless", 1, argv)) {
        BufferEpilog();
        return 1;
    }
    int failed = 1;
    Window *panel = calcPanelCreate(settingsFile.c_str());
    if (panel) {
        ShowDialog(panel);
        failed = settle();
        for (const char *c = keys; !failed && *c; c++)
            HeadlessChar(static_cast<unsigned char>(*c));
        failed = failed || settle() || HeadlessSavePng(panel->host, file);
        CloseWindow(panel);
    }
    calcStopToolkit();
    BufferEpilog();
    return failed;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        fputs("usage: panelshot FILE.png [KEYS]\n", stderr);
        return 2;
    }
    const char *tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/torva-panelshot.XXXXXX";
    if (!mkdtemp(dir.data())) {
        perror("panelshot");
        return 1;
    }
    setenv("TORVA_CONFIG_DIR", dir.c_str(), 1);
    int failed = shoot(argv[1], argc == 3 ? argv[2] : "");
    if (failed)
        fprintf(stderr, "panelshot: cannot draw the panel into %s\n", argv[1]);
    std::string cleanup = "rm -rf '" + dir + "'";
    if (system(cleanup.c_str()) != 0)
        failed = 1;
    return failed;
}
