// The failing allocator of failalloc.h: malloc and free with a counter.
#include "failalloc.h"

#include <cstdlib>

static long gFailAt;
static long gCount;
static long gOutstanding;
static bool gTriggered;

void failAllocReset(long failAt) {
    gFailAt = failAt;
    gCount = 0;
    gOutstanding = 0;
    gTriggered = false;
}

void *failAllocate(size_t size) {
    gCount++;
    if (gFailAt > 0 && gCount == gFailAt) {
        gTriggered = true;
        return nullptr;
    }
    void *p = malloc(size ? size : 1);
    if (p)
        gOutstanding++;
    return p;
}

void failRelease(void *p) {
    if (!p)
        return;
    gOutstanding--;
    free(p);
}

long failAllocCount() { return gCount; }
long failAllocOutstanding() { return gOutstanding; }
bool failAllocTriggered() { return gTriggered; }
