#include "server/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>

namespace ambit {
namespace {

// One call at a time must keep landing on the same thread: a pool that rotates through its
// workers makes every one of them keep its own caches.
TEST(WorkerPoolTest, SequentialJobsReuseOneThreadAndConcurrentOnesStartNoMoreThanTheMax) {
  WorkerPool pool(64);
  std::set<std::thread::id> threads;
  for (int i = 0; i < 20; ++i) {
    std::promise<std::thread::id> ran;
    pool.enqueue([&] { ran.set_value(std::this_thread::get_id()); });
    threads.insert(ran.get_future().get());
    // The worker goes idle just after the job returns; wait for it, so that the next job finds
    // it idle however the threads are scheduled.
    for (int spin = 0; spin < 5000 && pool.idle() == 0; ++spin)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  EXPECT_EQ(threads.size(), 1u);
  EXPECT_EQ(pool.started(), 1u);

  // Six jobs that hold their worker until released, on a pool of at most three: three run,
  // three wait in the queue, and all six finish once released.
  WorkerPool small(3);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> running{0}, done{0};
  for (int i = 0; i < 6; ++i) {
    small.enqueue([&] {
      ++running;
      released.wait();
      ++done;
    });
  }
  for (int spin = 0; spin < 2000 && running < 3; ++spin)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(running.load(), 3);
  EXPECT_EQ(small.started(), 3u);
  release.set_value();
  small.shutdown();  // runs what is queued before it returns
  EXPECT_EQ(done.load(), 6);
  small.enqueue([&] { ++done; });  // after shutdown: dropped, not run on a joined thread
  EXPECT_EQ(done.load(), 6);
}

}  // namespace
}  // namespace ambit
