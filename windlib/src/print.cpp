// Printing: the print settings, the print dialog and print jobs (print.h). Until the host's
// printer devices exist every job is refused.
#include "print.h"

#include <cstring>

namespace {
PrintSettings gCurrent;
bool gHaveCurrent = false;
} // namespace

void LoadPrintSettings(const char *, PrintSettings *settings) {
    if (settings)
        memset(settings, 0, sizeof *settings);
}

int PrinterDialog(PrintSettings *, Window *) { return -1; }

int ReadPrintSettings(const char *settingsFile, Window *window) {
    LoadPrintSettings(settingsFile, &gCurrent);
    gHaveCurrent = PrinterDialog(&gCurrent, window) == 1;
    return gHaveCurrent ? 1 : 0;
}

PrintSettings *CurrentPrintSettings(void) { return gHaveCurrent ? &gCurrent : nullptr; }

PrintSettings *wStartPrint(const PrintSettings *, Window *) { return nullptr; }

void PrintPage(PrintSettings *) {}

int EndPrint(PrintSettings *) { return 1; }

int PrintTextWindow(const PrintSettings *, Window *) { return 1; }
