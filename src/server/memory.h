// Giving memory back to the system after a large answer.
//
// glibc keeps what a thread freed in that thread's arena, and keeps the top of each heap
// mapped: after a burst of large lists on several workers the server would hold the burst's
// peak for good (1.7 GB after ten lists of 20,000 orders, four at a time). Trimming every
// arena once a large answer is sent returns it (44 MB after the same burst); neither a cap on
// the arenas nor another allocator is needed for that.
#ifndef AMBIT_SERVER_MEMORY_H_
#define AMBIT_SERVER_MEMORY_H_

namespace ambit {

// Returns the free memory of every arena to the system.
void ReleaseFreedMemory();

}  // namespace ambit

#endif  // AMBIT_SERVER_MEMORY_H_
