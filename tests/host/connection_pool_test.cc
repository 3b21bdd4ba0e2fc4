#include "host/connection_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "base/com_error.h"
#include "host/account_registry.h"
#include "support/fake_connection.h"

namespace ambit {
namespace {

using namespace std::chrono_literals;

// Counts resets and can refuse to be cleaned, as a broken connection would.
class ResettableConnection : public testing::FakeConnection {
 public:
  void Reset() override {
    ++resets;
    if (fail_reset) throw ComError(3704, "fake", "connection broken");
    FakeConnection::Reset();
  }
  int resets = 0;
  bool fail_reset = false;
};

std::shared_ptr<ConnectionPool> MakePool(size_t size, std::atomic<int>* opened,
                                         std::chrono::milliseconds timeout = 2000ms) {
  return std::make_shared<ConnectionPool>("acc", size, timeout, [opened](const std::string&) {
    ++*opened;
    return std::make_shared<ResettableConnection>();
  });
}

TEST(ConnectionPoolTest, OneCallAtATimeAndBackClean) {
  std::atomic<int> opened = 0;
  auto pool = MakePool(2, &opened);
  ConnectionPtr first;
  {
    ConnectionPool::Lease a = pool->Acquire();
    ConnectionPool::Lease b = pool->Acquire();
    EXPECT_NE(a.connection(), b.connection());
    a->BeginTrans();
    first = a.connection();
    EXPECT_EQ(pool->idle_count(), 0u);
  }
  EXPECT_EQ(pool->idle_count(), 2u);
  EXPECT_EQ(first->TransactionDepth(), 0);
  EXPECT_EQ(static_cast<ResettableConnection&>(*first).resets, 1);
  // Reused, not reopened.
  ConnectionPool::Lease again = pool->Acquire();
  EXPECT_EQ(opened, 2);
}

TEST(ConnectionPoolTest, WaitsForAReturnAndGivesUpAfterTheTimeout) {
  std::atomic<int> opened = 0;
  auto pool = MakePool(1, &opened, 100ms);
  ConnectionPool::Lease held = pool->Acquire();
  try {
    pool->Acquire();
    FAIL() << "a second lease of a pool of one";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("busy"), std::string::npos);
  }
  ConnectionPtr held_connection = held.connection();
  std::thread giver([&] {
    std::this_thread::sleep_for(30ms);
    held.Release();
  });
  ConnectionPool::Lease next = pool->Acquire();  // blocks until the giver releases
  giver.join();
  EXPECT_EQ(next.connection(), held_connection);
  EXPECT_EQ(opened, 1);
}

TEST(ConnectionPoolTest, ConnectionsThatCannotBeCleanedAreDropped) {
  std::atomic<int> opened = 0;
  auto pool = MakePool(1, &opened);
  {
    ConnectionPool::Lease a = pool->Acquire();
    static_cast<ResettableConnection&>(*a).fail_reset = true;
  }
  EXPECT_EQ(pool->open_count(), 0u);
  ConnectionPool::Lease b = pool->Acquire();
  EXPECT_EQ(opened, 2);
}

TEST(ConnectionPoolTest, AFailedOpenFreesItsSlot) {
  int attempts = 0;
  auto pool = std::make_shared<ConnectionPool>("acc", 1, 100ms, [&](const std::string&) {
    if (++attempts == 1) throw ComError(-2147467259, "odbc", "server unreachable");
    return std::make_shared<testing::FakeConnection>();
  });
  EXPECT_THROW(pool->Acquire(), ComError);
  EXPECT_TRUE(pool->Acquire());
}

TEST(ConnectionPoolTest, ConcurrentCallsNeverShareAConnection) {
  std::atomic<int> opened = 0;
  auto pool = MakePool(3, &opened);
  std::mutex mu;
  std::set<Connection*> in_use;
  std::atomic<int> shared = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        ConnectionPool::Lease lease = pool->Acquire();
        {
          std::lock_guard lock(mu);
          if (!in_use.insert(lease.connection().get()).second) ++shared;
        }
        std::this_thread::yield();
        std::lock_guard lock(mu);
        in_use.erase(lease.connection().get());
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared, 0);
  EXPECT_LE(opened, 3);
}

TEST(ConnectionPoolTest, WaitersAreServedInOrderOfArrivalAndNobodyOvertakes) {
  std::atomic<int> opened = 0;
  auto pool = MakePool(1, &opened);
  ConnectionPool::Lease held = pool->Acquire();
  std::mutex mu;
  std::vector<int> served;
  std::vector<std::thread> waiters;
  for (int i = 0; i < 5; ++i) {
    waiters.emplace_back([&, i] {
      ConnectionPool::Lease lease = pool->Acquire();
      std::lock_guard lock(mu);
      served.push_back(i);
    });
    while (pool->waiting_count() < static_cast<size_t>(i + 1)) std::this_thread::yield();
  }
  held.Release();
  // The one giving back asks again at once: it must queue behind the five, not take the
  // connection it just returned.
  ConnectionPool::Lease again = pool->Acquire();
  {
    std::lock_guard lock(mu);
    served.push_back(5);
  }
  again.Release();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(served, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(opened, 1);
}

TEST(ConnectionPoolTest, ADroppedConnectionsSlotGoesToTheNextWaiter) {
  std::atomic<int> opened = 0;
  auto pool = MakePool(1, &opened, 1000ms);
  ConnectionPool::Lease held = pool->Acquire();
  std::thread waiter([&] { EXPECT_TRUE(pool->Acquire()); });
  while (pool->waiting_count() == 0) std::this_thread::yield();
  static_cast<ResettableConnection&>(*held).fail_reset = true;
  held.Release();
  waiter.join();
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(pool->open_count(), 1u);
}

TEST(AccountRegistryTest, NamesResolveToOnePoolAndStrangersAreRefused) {
  AccountOptions options;
  options.pool_size = 2;
  AccountRegistry accounts(
      options, [](const std::string&) { return std::make_shared<testing::FakeConnection>(); });
  accounts.AddAccount("demo", "Provider=SQLite;Data Source=demo.db");
  accounts.AddAccount("other", "Provider=SQLite;Data Source=other.db");
  EXPECT_EQ(accounts.default_account(), "demo");
  EXPECT_EQ(accounts.PoolFor("DEMO"), accounts.PoolFor("demo"));
  EXPECT_EQ(accounts.PoolFor("ConnectString={demo}"), accounts.PoolFor("demo"));
  EXPECT_NE(accounts.PoolFor("other"), accounts.PoolFor("demo"));
  EXPECT_EQ(accounts.PoolFor("demo")->max_size(), 2u);
  // A server must not open whatever file a client names.
  EXPECT_THROW(accounts.PoolFor("Provider=SQLite;Data Source=/etc/passwd"), ComError);

  options.allow_connection_strings = true;
  AccountRegistry open_registry(options);
  EXPECT_EQ(open_registry.PoolFor("Data Source=x.db")->connection_string(), "Data Source=x.db");
  EXPECT_THROW(open_registry.PoolFor(""), ComError);
}

TEST(AccountRegistryTest, EachAccountIsPreparedOnceBeforeItsFirstPool) {
  AccountOptions options;
  int prepared = 0;
  bool refuse = true;
  options.prepare_account = [&](Connection&) {
    ++prepared;
    if (refuse) throw ComError(3704, "fake", "upgrade failed");
  };
  AccountRegistry accounts(
      options, [](const std::string&) { return std::make_shared<testing::FakeConnection>(); });
  accounts.AddAccount("demo", "Provider=SQLite;Data Source=demo.db");
  // A failed preparation leaves no pool behind: the next call tries again.
  EXPECT_THROW(accounts.PoolFor("demo"), ComError);
  refuse = false;
  auto pool = accounts.PoolFor("demo");
  EXPECT_EQ(accounts.PoolFor("DEMO"), pool);
  EXPECT_EQ(prepared, 2);
}

}  // namespace
}  // namespace ambit
