// The toolkit started on the headless host for a benchmark, with one framed top window shown,
// and ended when the benchmark is done.
#pragma once

#include "wind.h"

#include <cstdlib>

struct BenchToolkit {
    Window *top = nullptr;
    BenchToolkit(int right = 80, int bottom = 40) {
        WindowUseHost("headless");
        static char program[] = "torva";
        static char *argv[] = {program, nullptr};
        if (WindowProlog(1, argv, malloc, free, Report) != 0)
            abort();
        top = OpenWindow(1, 1, right, bottom, 0, 0xFFFFFF, "bench", kWindowFramed, nullptr);
        ShowWindowTree(top);
    }
    ~BenchToolkit() { WindowEpilog(); }
    static void Report(const char *) {}
};
