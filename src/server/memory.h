// Giving memory back to the system after a large answer.
//
// glibc keeps what a thread freed in that thread's arena, and keeps the top of each heap
// mapped: after a burst of large lists on several workers the server would hold the burst's
// peak for good (1.7 GB after ten lists of 20,000 orders, four at a time). Trimming every
// arena once a large answer is sent returns it (44 MB after the same burst); neither a cap on
// the arenas nor another allocator is needed for that.
//
// Trimming is not free: it walks every arena under its lock and hands pages back with
// madvise, whose TLB shootdowns stop the other core, and the next answer faults the same
// pages in again. Trimmed after every streamed first page (200 rows), that was a quarter of
// the server's CPU under a mixed load. So a huge answer trims at once, and a middling one
// only when no trim ran for a while: a steady load then holds what it reuses.
#ifndef AMBIT_SERVER_MEMORY_H_
#define AMBIT_SERVER_MEMORY_H_

#include <cstdint>

namespace ambit {

// glibc adapts its thresholds to the program: once a large block is freed it raises the size
// from which blocks get their own mapping (up to 32 MB) and, with it, how much free memory the
// top of a heap may keep (twice that). Every worker thread's arena then keeps up to 64 MB at
// its top, and malloc_trim gives back the free chunks inside the heaps but not those tops
// (only the main heap's): after ten lists of 20,000 orders, four at a time, 250-400 MB stayed
// resident whatever was trimmed. Fixed thresholds of a few megabytes return both at once (60
// MB after the same burst) and cost the mixed load nothing measurable. Called once, at start.
void TuneAllocatorForServing();

// Called once an answer of `cells` result cells has been sent and freed.
void ReleaseFreedMemoryAfter(int64_t cells);

}  // namespace ambit

#endif  // AMBIT_SERVER_MEMORY_H_
