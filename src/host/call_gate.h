// A bound on how many calls of one kind run at once, and at what priority. The order lists read
// thousands of rows each; on a server with few cores, eight of them running side by side leave
// a one-order lookup or a lock waiting behind all eight for its share of a core. So lists run
// on the gate's own threads, at most one per slot, in order of arrival, and those threads run
// at a lower scheduling priority than the request workers: when a core is wanted by a cheap
// call and a list alike, the cheap call gets it, and the lists use what is left.
#ifndef AMBIT_HOST_CALL_GATE_H_
#define AMBIT_HOST_CALL_GATE_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ambit {

class CallGate {
 public:
  // At least one slot. `nice_steps` lowers the gate's threads' priority by that many nice
  // steps (0 keeps the workers' own priority).
  CallGate(size_t slots, int nice_steps);
  // Lets the calls already queued finish first.
  ~CallGate();
  CallGate(const CallGate&) = delete;
  CallGate& operator=(const CallGate&) = delete;

  // Runs `call` on one of the gate's threads once one is free and the calls that arrived
  // before it have started; returns when it has finished, throwing what it threw.
  void Run(const std::function<void()>& call);

  size_t slots() const { return slots_; }
  int nice_steps() const { return nice_steps_; }
  size_t running() const;
  size_t waiting() const;

 private:
  struct Job;
  void Serve();

  const size_t slots_;
  const int nice_steps_;
  mutable std::mutex mu_;
  std::condition_variable work_;
  std::deque<Job*> queue_;
  size_t running_ = 0;
  bool stopping_ = false;
  // Started with the first call: a dispatcher that never sees a list costs no threads.
  std::vector<std::thread> threads_;
};

// One fewer than the cores, at least one: a core stays free for the cheap calls.
size_t DefaultHeavyCallSlots();

// How far below the workers the lists run by default: not at all. Lists at a lower priority
// leave the cheap calls a core sooner, but a page then waits for every runnable thread on the
// machine, and the tail of the pages is what the whole mix's tail is made of; on a machine busy
// with other programs a niced list also starves.
constexpr int kDefaultHeavyCallNice = 0;

}  // namespace ambit

#endif  // AMBIT_HOST_CALL_GATE_H_
