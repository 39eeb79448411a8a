// The calculator's start and end of the window toolkit.
#include "startup.h"

#include "number.h"
#include "wind.h"

#include <cstdio>
#include <cstdlib>

static void reportToStderr(const char *text) { fprintf(stderr, "%s\n", text); }

int calcStartToolkit(int argc, char **argv) {
    int r = WindowProlog(argc, argv, malloc, free, reportToStderr);
    if (r == 0)
        numSetAssertReport(AssertReport);
    return r;
}

void calcStopToolkit() {
    numSetAssertReport(nullptr);
    WindowEpilog();
}
