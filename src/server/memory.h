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

// Called once an answer of `cells` result cells has been sent and freed.
void ReleaseFreedMemoryAfter(int64_t cells);

}  // namespace ambit

#endif  // AMBIT_SERVER_MEMORY_H_
