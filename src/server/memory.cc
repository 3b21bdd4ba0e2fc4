#include "server/memory.h"

#include <malloc.h>

#include <atomic>
#include <chrono>

namespace ambit {
namespace {

// About 7,000 rows of an order list: tens of megabytes while it is written.
constexpr int64_t kTrimNowCells = 1000000;
constexpr auto kTrimEvery = std::chrono::seconds(5);
// Blocks this large get mappings of their own; free tops of heaps twice this large go back.
constexpr int kOwnMappingBytes = 4 << 20;

std::atomic<int64_t> last_trim_ns{0};

}  // namespace

void TuneAllocatorForServing() {
  mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
  mallopt(M_TRIM_THRESHOLD, 2 * kOwnMappingBytes);
}

void ReleaseFreedMemoryAfter(int64_t cells) {
  using Clock = std::chrono::steady_clock;
  int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    Clock::now().time_since_epoch()).count();
  int64_t last = last_trim_ns.load(std::memory_order_relaxed);
  bool due = now - last >= std::chrono::nanoseconds(kTrimEvery).count();
  if (cells >= kTrimNowCells) {
    last_trim_ns.store(now, std::memory_order_relaxed);
  } else if (!due || !last_trim_ns.compare_exchange_strong(last, now, std::memory_order_relaxed)) {
    return;  // trimmed lately, or another worker is trimming now
  }
  malloc_trim(0);
}

}  // namespace ambit
