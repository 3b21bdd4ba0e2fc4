#include "server/worker_pool.h"

#include <algorithm>

namespace ambit {

WorkerPool::WorkerPool(size_t max_workers) : max_workers_(std::max<size_t>(1, max_workers)) {}

WorkerPool::~WorkerPool() { shutdown(); }

void WorkerPool::enqueue(std::function<void()> job) {
  std::unique_lock lock(mu_);
  if (shutdown_) return;
  if (!idle_.empty()) {
    Worker* w = idle_.back();
    idle_.pop_back();
    w->job = std::move(job);
    lock.unlock();
    w->wake.notify_one();
    return;
  }
  if (workers_.size() < max_workers_) {
    auto w = std::make_unique<Worker>();
    w->job = std::move(job);
    Worker* raw = w.get();
    workers_.push_back(std::move(w));
    raw->thread = std::thread([this, raw] { Run(raw); });
    return;
  }
  queued_.push_back(std::move(job));
}

void WorkerPool::Run(Worker* self) {
  std::unique_lock lock(mu_);
  for (;;) {
    std::function<void()> job;
    if (self->job) {
      job = std::move(self->job);
      self->job = nullptr;
    } else if (!queued_.empty()) {
      job = std::move(queued_.front());
      queued_.pop_front();
    } else if (shutdown_) {
      return;
    } else {
      idle_.push_back(self);
      self->wake.wait(lock, [&] { return self->job || shutdown_; });
      if (!self->job) idle_.erase(std::find(idle_.begin(), idle_.end(), self));
      continue;
    }
    lock.unlock();
    job();
    job = nullptr;  // what the job captured goes before the worker waits again
    lock.lock();
  }
}

void WorkerPool::shutdown() {
  std::vector<Worker*> workers;
  {
    std::lock_guard lock(mu_);
    if (shutdown_) return;
    shutdown_ = true;
    for (auto& w : workers_) workers.push_back(w.get());
  }
  for (Worker* w : workers) w->wake.notify_one();
  for (Worker* w : workers)
    if (w->thread.joinable()) w->thread.join();
}

size_t WorkerPool::started() const {
  std::lock_guard lock(mu_);
  return workers_.size();
}

size_t WorkerPool::idle() const {
  std::lock_guard lock(mu_);
  return idle_.size();
}

}  // namespace ambit
