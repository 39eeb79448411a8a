// The calculator's start-up and main routine.
#include "startup.h"

#include "buffer.h"
#include "calcsettings.h"
#include "dialog.h"
#include "filesys.h"
#include "fonts.h"
#include "number.h"
#include "panel.h"
#include "version.h"
#include "wind.h"
#include "windmsg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char kUsage[] =
    "usage: torva [--help] [--version] [--verbose]\n"
    "Opens the calculator panel on the X display named by $DISPLAY. The settings are kept in\n"
    "torva.ini in $TORVA_CONFIG_DIR, else $XDG_CONFIG_HOME/torva, else ~/.config/torva.\n"
    "--verbose (or TORVA_VERBOSE=1) says which installed font shows each face asked for.\n";

static const char kVerbose[] = "--verbose";

static void reportToStderr(const char *text) { fprintf(stderr, "%s\n", text); }

// The buffer library's messages are about files the calculator does not show.
static void reportNothing(const char *) {}

void calcTakeArguments(int argc, char **argv, CalcArguments *args) {
    int count = argv && argc > 0 ? argc : 0;
    if (count > kMaxArgumentWords)
        count = kMaxArgumentWords;
    for (int i = 0; i < count; i++)
        args->words[i] = argv[i];
    args->words[count] = nullptr;
    args->count = count;
}

int calcTakeOptions(int argc, char **argv, int *exitStatus) {
    for (int i = 1; argv && i < argc && argv[i]; i++) {
        const char *word = argv[i];
        if (strcmp(word, "--") == 0)
            break;
        if (word[0] != '-' || word[1] == '\0' || strcmp(word, kVerbose) == 0)
            continue;
        if (strcmp(word, "--help") == 0) {
            fputs(kUsage, stdout);
            *exitStatus = 0;
        } else if (strcmp(word, "--version") == 0) {
            printf("torva %s\n", kTorvaVersion);
            *exitStatus = 0;
        } else {
            fprintf(stderr, "torva: unknown option %s\n", word);
            fputs(kUsage, stderr);
            *exitStatus = 2;
        }
        return 1;
    }
    return 0;
}

bool calcVerbose(int argc, char **argv) {
    for (int i = 1; argv && i < argc && argv[i] && strcmp(argv[i], "--") != 0; i++)
        if (strcmp(argv[i], kVerbose) == 0)
            return true;
    const char *v = getenv("TORVA_VERBOSE");
    return v && *v && strcmp(v, "0") != 0;
}

int calcStartToolkitOn(const char *host, int argc, char **argv) {
    if (WindowUseHost(host) != 0) {
        fprintf(stderr, "%s: unknown TORVA_HOST\n", argc > 0 && argv && argv[0] ? argv[0] : "");
        return 3;
    }
    int r = WindowProlog(argc, argv, malloc, free, reportToStderr);
    if (r == 0) {
        numSetAssertReport(AssertReport);
        // A lost display ends the process on the spot: the working copies must not stay behind.
        SetLostDisplayHook(fTempRemoveAll);
    }
    return r;
}

// The one place that reads TORVA_HOST: the toolkit itself only takes the name it is given.
int calcStartToolkit(int argc, char **argv) {
    const char *host = getenv("TORVA_HOST");
    return calcStartToolkitOn(host && *host ? host : "x11", argc, argv);
}

void calcStopToolkit() {
    numSetAssertReport(nullptr);
    WindowEpilog();
}

int calcMain(int argc, char **argv) {
    static CalcArguments args;
    calcTakeArguments(argc, argv, &args);
    if (BufferProlog(malloc, free, reportNothing, reportNothing) != 0)
        return 1;
    // The panel keeps the name for as long as it lives, which is until the toolkit ends.
    static std::string settingsFile;
    settingsFile = calcSettingsFileName(args.count > 0 ? args.words[0] : nullptr);
    SetFontNotes(calcVerbose(argc, argv));
    calcPanelChooseToolkitFonts();
    // The host has said why (one line) when it cannot start.
    if (calcStartToolkit(args.count, args.words) != 0) {
        BufferEpilog();
        return 1;
    }
    int status = 0;
    Window *panel = calcPanelCreate(settingsFile.c_str());
    if (panel) {
        ShowDialog(panel);
        RunModal(panel);
        // Ended by a signal: the status a shell gives a program killed by it, though everything
        // was closed down as after Quit.
        if (int signal = LoopEndSignal())
            status = 128 + signal;
    } else {
        fprintf(stderr, "torva: the calculator panel cannot be built\n");
        status = 1;
    }
    calcStopToolkit();
    BufferEpilog();
    return status;
}
