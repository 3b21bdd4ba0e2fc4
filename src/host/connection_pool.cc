#include "host/connection_pool.h"

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
  bool available = returned_.wait_for(lock, acquire_timeout_,
                                      [this] { return !idle_.empty() || open_ < max_size_; });
  if (!available)
    throw ComError(err::kUnexpected, "ambit-order.host",
                   "All " + std::to_string(max_size_) +
                       " connections of the account are busy; try again later.");
  if (!idle_.empty()) {
    ConnectionPtr c = std::move(idle_.back());
    idle_.pop_back();
    return Lease(shared_from_this(), std::move(c));
  }
  // Opening may take a while (a new account file, a remote server): do it without the lock,
  // holding the slot so the pool never exceeds its bound.
  ++open_;
  lock.unlock();
  ConnectionPtr c;
  try {
    c = opener_(connection_string_);
    if (!c)
      throw ComError(err::kUnexpected, "ambit-order.host", "The account could not be opened.");
  } catch (...) {
    lock.lock();
    --open_;
    returned_.notify_one();
    throw;
  }
  return Lease(shared_from_this(), std::move(c));
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
    idle_.push_back(std::move(connection));
  } else {
    --open_;
  }
  returned_.notify_one();
}

size_t ConnectionPool::open_count() const {
  std::lock_guard lock(mu_);
  return open_;
}

size_t ConnectionPool::idle_count() const {
  std::lock_guard lock(mu_);
  return idle_.size();
}

}  // namespace ambit
