// A test allocator pair that can fail the n-th allocation, so tests can walk every
// "out of memory" path of a library that takes an allocator pair (fail allocation 1, 2, ...
// and require the documented result each time, with nothing leaked).
#pragma once

#include <cstddef>

// Arms the allocator: the failAt-th allocation from now returns null (1 is the next one);
// 0 never fails. Resets the allocation and outstanding counts.
void failAllocReset(long failAt);

void *failAllocate(size_t size); // allocate, or null when the armed count is reached
void failRelease(void *p);       // release; null is ignored

long failAllocCount();       // allocations asked for since the last reset
long failAllocOutstanding(); // allocations made and not yet released since the last reset
bool failAllocTriggered();   // whether the armed failure has happened since the last reset
