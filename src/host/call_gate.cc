#include "host/call_gate.h"

#include <algorithm>
#include <thread>

namespace ambit {

CallGate::Pass::Pass(CallGate& gate) : gate_(gate) {
  std::unique_lock lock(gate_.mu_);
  uint64_t ticket = gate_.next_ticket_++;
  gate_.turn_.wait(lock, [&] {
    return ticket == gate_.serving_ && gate_.running_ < gate_.slots_;
  });
  ++gate_.running_;
  ++gate_.serving_;
  // The next ticket may enter too if a slot is left.
  if (gate_.running_ < gate_.slots_ && gate_.serving_ < gate_.next_ticket_) gate_.turn_.notify_all();
}

CallGate::Pass::~Pass() {
  {
    std::lock_guard lock(gate_.mu_);
    --gate_.running_;
  }
  gate_.turn_.notify_all();
}

size_t CallGate::running() const {
  std::lock_guard lock(mu_);
  return running_;
}

size_t CallGate::waiting() const {
  std::lock_guard lock(mu_);
  return static_cast<size_t>(next_ticket_ - serving_);
}

size_t DefaultHeavyCallSlots() {
  size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max<size_t>(1, cores - 1);
}

}  // namespace ambit
