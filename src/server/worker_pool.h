// WorkerPool: the HTTP server's workers, handed connections most-recently-idle first.
//
// httplib's own pool wakes whichever idle worker has waited longest, so a steady load passes
// through every worker in turn, and each keeps what it once allocated: the C library's
// per-thread caches and its share of an arena, a parser's spare tokens. With 64 workers and
// eight clients, resident memory rose for the better part of an hour as one worker after
// another joined in. Here the worker that went idle last takes the next connection, so a load
// that keeps eight workers busy keeps using the same few, and threads start only when every
// one started so far is busy.
#ifndef AMBIT_SERVER_WORKER_POOL_H_
#define AMBIT_SERVER_WORKER_POOL_H_

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ambit {

class WorkerPool : public httplib::TaskQueue {
 public:
  explicit WorkerPool(size_t max_workers);
  ~WorkerPool() override;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void enqueue(std::function<void()> job) override;
  // Runs what is queued, then joins the workers. Jobs enqueued afterwards are dropped.
  void shutdown() override;

  size_t started() const;  // threads started so far
  size_t idle() const;     // of those, the ones waiting for work

 private:
  struct Worker {
    std::condition_variable wake;
    std::function<void()> job;  // handed over while the worker was idle
    std::thread thread;
  };
  void Run(Worker* self);

  const size_t max_workers_;
  mutable std::mutex mu_;
  std::deque<std::function<void()>> queued_;  // while every worker is busy
  std::vector<Worker*> idle_;                 // the most recently idle last
  std::vector<std::unique_ptr<Worker>> workers_;
  bool shutdown_ = false;
};

}  // namespace ambit

#endif  // AMBIT_SERVER_WORKER_POOL_H_
