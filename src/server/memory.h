// Giving memory back to the system after a large answer.
//
// glibc keeps what a thread freed in that thread's arena, and keeps the top of each heap
// mapped: after a burst of large lists on several workers the server would hold the burst's
// peak for good. Trimming every arena after each large answer returns it; arenas are capped
// too, so that the memory freed by one worker is the next one's to reuse.
#ifndef AMBIT_SERVER_MEMORY_H_
#define AMBIT_SERVER_MEMORY_H_

#include <cstddef>

namespace ambit {

// Caps glibc's arenas at `arenas` (0 leaves glibc's default, eight per core). Call before the
// workers start.
void LimitMallocArenas(int arenas);

// Returns the free memory of every arena to the system.
void ReleaseFreedMemory();

// The process's resident memory in bytes (0 when it cannot be read).
size_t ResidentBytes();

}  // namespace ambit

#endif  // AMBIT_SERVER_MEMORY_H_
