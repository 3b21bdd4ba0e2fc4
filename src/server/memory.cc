#include "server/memory.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

namespace ambit {

void LimitMallocArenas(int arenas) {
  if (arenas > 0) mallopt(M_ARENA_MAX, arenas);
}

void ReleaseFreedMemory() { malloc_trim(0); }

size_t ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  unsigned long size = 0, resident = 0;
  int read = std::fscanf(f, "%lu %lu", &size, &resident);
  std::fclose(f);
  return read == 2 ? resident * static_cast<size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

}  // namespace ambit
