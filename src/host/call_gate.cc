#include "host/call_gate.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>

namespace ambit {

struct CallGate::Job {
  explicit Job(const std::function<void()>& c) : call(&c) {}
  const std::function<void()>* call;
  std::exception_ptr error;
  bool done = false;
  std::condition_variable finished;
};

CallGate::CallGate(size_t slots, int nice_steps)
    : slots_(slots ? slots : 1), nice_steps_(std::max(0, nice_steps)) {}

CallGate::~CallGate() {
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void CallGate::Run(const std::function<void()>& call) {
  Job job(call);
  std::unique_lock lock(mu_);
  if (threads_.empty())
    for (size_t i = 0; i < slots_; ++i) threads_.emplace_back([this] { Serve(); });
  queue_.push_back(&job);
  work_.notify_one();
  job.finished.wait(lock, [&] { return job.done; });
  if (job.error) std::rethrow_exception(job.error);
}

void CallGate::Serve() {
  // Named so that top -H and perf tell the list threads from the request workers.
  pthread_setname_np(pthread_self(), "ambit-list");
  if (nice_steps_ > 0) {
    // Linux gives each thread its own nice value. Raising it needs no privilege; lowering it
    // again would, which is why the lists keep threads of their own. If the system refuses,
    // the lists run at the workers' priority, which is only slower for the cheap calls.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    errno = 0;
    int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno == 0)
      (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(19, current + nice_steps_));
  }
  std::unique_lock lock(mu_);
  for (;;) {
    work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to run
    Job* job = queue_.front();
    queue_.pop_front();
    ++running_;
    lock.unlock();
    try {
      (*job->call)();
    } catch (...) {
      job->error = std::current_exception();
    }
    lock.lock();
    --running_;
    job->done = true;
    job->finished.notify_one();
  }
}

size_t CallGate::running() const {
  std::lock_guard lock(mu_);
  return running_;
}

size_t CallGate::waiting() const {
  std::lock_guard lock(mu_);
  return queue_.size();
}

size_t DefaultHeavyCallSlots() {
  size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max<size_t>(1, cores - 1);
}

}  // namespace ambit
