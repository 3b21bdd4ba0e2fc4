#include "host/connection_pool.h"

#include <algorithm>

#include "base/com_error.h"

namespace ambit {

ConnectionPool::Lease& ConnectionPool::Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    Release();
    pool_ = std::move(other.pool_);
    connection_ = std::move(other.connection_);
  }
  return *this;
}

ConnectionPool::Lease::~Lease() { Release(); }

void ConnectionPool::Lease::Release() {
  if (pool_ && connection_) pool_->Return(std::move(connection_));
  pool_.reset();
  connection_.reset();
}

ConnectionPool::ConnectionPool(std::string connection_string, size_t max_size,
                               std::chrono::milliseconds acquire_timeout, Opener opener)
    : connection_string_(std::move(connection_string)),
      max_size_(max_size == 0 ? 1 : max_size),
      acquire_timeout_(acquire_timeout),
      opener_(std::move(opener)) {}

ConnectionPool::Lease ConnectionPool::Acquire() {
  std::unique_lock lock(mu_);
  if (waiters_.empty()) {
    if (!idle_.empty()) {
      ConnectionPtr c = std::move(idle_.back());
      idle_.pop_back();
      return Lease(shared_from_this(), std::move(c));
    }
    if (open_ < max_size_) {
      ++open_;
      return Open(lock);
    }
  }
  Waiter me;
  waiters_.push_back(&me);
  if (!me.turn.wait_for(lock, acquire_timeout_, [&me] { return me.served; })) {
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &me));
    throw ComError(err::kUnexpected, "ambit-order.host",
                   "All " + std::to_string(max_size_) +
                       " connections of the account are busy; try again later.");
  }
  if (me.connection) return Lease(shared_from_this(), std::move(me.connection));
  return Open(lock);  // HandOver counted the slot
}

// Opening may take a while (a new account file, a remote server): it happens without the lock,
// in a slot already counted in open_ so that the pool never exceeds its bound.
ConnectionPool::Lease ConnectionPool::Open(std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  ConnectionPtr c;
  try {
    c = opener_(connection_string_);
    if (!c)
      throw ComError(err::kUnexpected, "ambit-order.host", "The account could not be opened.");
  } catch (...) {
    lock.lock();
    --open_;
    ConnectionPtr none;
    if (HandOver(none)) ++open_;
    throw;
  }
  return Lease(shared_from_this(), std::move(c));
}

void ConnectionPool::Adopt(ConnectionPtr connection) {
  std::lock_guard lock(mu_);
  if (open_ >= max_size_) return;
  ++open_;
  if (!HandOver(connection)) idle_.push_back(std::move(connection));
}

bool ConnectionPool::HandOver(ConnectionPtr& connection) {
  if (waiters_.empty()) return false;
  Waiter* next = waiters_.front();
  waiters_.pop_front();
  next->connection = std::move(connection);
  next->served = true;
  next->turn.notify_one();
  return true;
}

void ConnectionPool::Return(ConnectionPtr connection) {
  bool keep = true;
  try {
    connection->Reset();
    keep = connection->TransactionDepth() == 0;
  } catch (...) {
    // A connection that cannot be cleaned is not handed to anyone else.
    keep = false;
  }
  std::lock_guard lock(mu_);
  if (keep) {
    if (!HandOver(connection)) idle_.push_back(std::move(connection));
  } else {
    // Its slot goes to the next waiter, who opens a new connection in it.
    ConnectionPtr none;
    if (!HandOver(none)) --open_;
  }
}

size_t ConnectionPool::open_count() const {
  std::lock_guard lock(mu_);
  return open_;
}

size_t ConnectionPool::waiting_count() const {
  std::lock_guard lock(mu_);
  return waiters_.size();
}

size_t ConnectionPool::idle_count() const {
  std::lock_guard lock(mu_);
  return idle_.size();
}

}  // namespace ambit
