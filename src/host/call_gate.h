// A bound on how many calls of one kind run at once. The order lists read thousands of rows
// each; on a server with few cores, eight of them running side by side leave a one-order
// lookup or a lock waiting behind all eight for its share of a core. Lists past the bound
// wait in order of arrival, before they lease a connection, so the cheap calls keep a core.
#ifndef AMBIT_HOST_CALL_GATE_H_
#define AMBIT_HOST_CALL_GATE_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace ambit {

class CallGate {
 public:
  // At least one slot.
  explicit CallGate(size_t slots) : slots_(slots ? slots : 1) {}
  CallGate(const CallGate&) = delete;
  CallGate& operator=(const CallGate&) = delete;

  // Holds one slot for its lifetime.
  class Pass {
   public:
    explicit Pass(CallGate& gate);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    CallGate& gate_;
  };

  size_t slots() const { return slots_; }
  size_t running() const;
  size_t waiting() const;

 private:
  const size_t slots_;
  mutable std::mutex mu_;
  std::condition_variable turn_;
  size_t running_ = 0;
  // Tickets in order of arrival: a caller runs once the ticket before its own has entered and
  // a slot is free, so a steady stream of lists cannot overtake one that waits.
  uint64_t next_ticket_ = 0;
  uint64_t serving_ = 0;
};

// One fewer than the cores, at least one: a core stays free for the cheap calls. On two cores
// a single slot costs a burst of whole lists (20,000 orders each, four clients) about a fifth
// more time, and under the mixed load saves a quarter of the CPU per call against two slots.
size_t DefaultHeavyCallSlots();

}  // namespace ambit

#endif  // AMBIT_HOST_CALL_GATE_H_
