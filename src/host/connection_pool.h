// A bounded pool of connections to one account. A call leases one connection for its whole
// duration (its temp tables must survive between statements) and gives it back clean.
// Callers that find every connection leased wait in order of arrival: a returned connection
// goes straight to the longest waiter, so a steady stream of new callers cannot overtake it.
#ifndef AMBIT_HOST_CONNECTION_POOL_H_
#define AMBIT_HOST_CONNECTION_POOL_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "data/connection.h"

namespace ambit {

class ConnectionPool : public std::enable_shared_from_this<ConnectionPool> {
 public:
  using Opener = std::function<ConnectionPtr(const std::string& connection_string)>;

  // Holds one connection for one call; returns it to the pool on destruction.
  class Lease {
   public:
    Lease() = default;
    Lease(Lease&& other) noexcept = default;
    Lease& operator=(Lease&& other) noexcept;
    ~Lease();
    Connection& operator*() const { return *connection_; }
    Connection* operator->() const { return connection_.get(); }
    const ConnectionPtr& connection() const { return connection_; }
    explicit operator bool() const { return connection_ != nullptr; }
    // Gives the connection back now.
    void Release();

   private:
    friend class ConnectionPool;
    Lease(std::shared_ptr<ConnectionPool> pool, ConnectionPtr connection)
        : pool_(std::move(pool)), connection_(std::move(connection)) {}
    std::shared_ptr<ConnectionPool> pool_;
    ConnectionPtr connection_;
  };

  // Create through std::make_shared: leases keep the pool alive.
  ConnectionPool(std::string connection_string, size_t max_size,
                 std::chrono::milliseconds acquire_timeout, Opener opener);
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // An idle connection, a new one while fewer than max_size are open, or the next one given
  // back. A ComError when none comes back within the timeout or the account cannot be opened.
  Lease Acquire();

  // Adds a connection opened elsewhere (the one a caller opened to learn what the account's
  // backend is) when the pool has room for it; otherwise it is closed.
  void Adopt(ConnectionPtr connection);

  const std::string& connection_string() const { return connection_string_; }
  size_t max_size() const { return max_size_; }
  size_t open_count() const;
  size_t idle_count() const;
  size_t waiting_count() const;

 private:
  // A caller waiting its turn; served from the front of waiters_.
  struct Waiter {
    std::condition_variable turn;
    bool served = false;
    ConnectionPtr connection;  // handed over; when null, the waiter may open one in its slot
  };

  void Return(ConnectionPtr connection);
  // Gives a connection (or, with none, a free slot to open one in) to the longest waiter;
  // false when nobody waits. mu_ held.
  bool HandOver(ConnectionPtr& connection);
  Lease Open(std::unique_lock<std::mutex>& lock);

  const std::string connection_string_;
  const size_t max_size_;
  const std::chrono::milliseconds acquire_timeout_;
  const Opener opener_;

  mutable std::mutex mu_;
  std::deque<Waiter*> waiters_;
  std::vector<ConnectionPtr> idle_;
  size_t open_ = 0;  // idle, leased, or being opened
};

}  // namespace ambit

#endif  // AMBIT_HOST_CONNECTION_POOL_H_
