#include "tsql/write_gate.h"

#include <map>
#include <set>

namespace ambit::tsql {
namespace {

std::mutex registry_mu;
std::map<std::string, std::weak_ptr<WriteGate>>& Registry() {
  static auto* gates = new std::map<std::string, std::weak_ptr<WriteGate>>;
  return *gates;
}

}  // namespace

std::shared_ptr<WriteGate> WriteGate::ForFile(const std::string& path) {
  std::lock_guard lock(registry_mu);
  auto& gates = Registry();
  for (auto it = gates.begin(); it != gates.end();)
    it = it->second.expired() ? gates.erase(it) : std::next(it);
  std::shared_ptr<WriteGate> gate = gates[path].lock();
  if (!gate) {
    gate = std::make_shared<WriteGate>();
    gates[path] = gate;
  }
  return gate;
}

bool WriteGate::Enter(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mu_);
  const uint64_t ticket = next_ticket_++;
  auto my_turn = [&] { return !held_ && serving_ == ticket; };
  if (!turn_.wait_for(lock, timeout, my_turn)) {
    // Those behind must not wait for a ticket nobody will use.
    abandoned_.insert(ticket);
    SkipAbandoned();
    turn_.notify_all();
    return false;
  }
  held_ = true;
  return true;
}

void WriteGate::Leave() {
  std::lock_guard lock(mu_);
  held_ = false;
  ++serving_;
  SkipAbandoned();
  turn_.notify_all();
}

void WriteGate::SkipAbandoned() {
  while (!held_ && abandoned_.erase(serving_) > 0) ++serving_;
}

}  // namespace ambit::tsql
