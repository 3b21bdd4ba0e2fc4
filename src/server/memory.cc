#include "server/memory.h"

#include <malloc.h>

namespace ambit {

void ReleaseFreedMemory() { malloc_trim(0); }

}  // namespace ambit
