// Several sessions of one process on one database file: writers queue in the write gate, and a
// session that keeps what it read of the schema between batches still sees another's DDL.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/session.h"
#include "tsql/write_gate.h"

namespace ambit::tsql {
namespace {

using std::chrono::milliseconds;

class SessionSharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("ambit_sharing_" + std::to_string(::getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db"))
                .string();
    Remove();
  }
  void TearDown() override { Remove(); }
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  }
  std::string path_;
};

int64_t Scalar(Session& s, const std::string& sql) { return CLngLng(s.Execute(sql)->Value(0)); }

TEST(WriteGateTest, AWaiterThatGivesUpDoesNotHoldUpThoseBehindIt) {
  WriteGate gate;
  ASSERT_TRUE(gate.Enter(milliseconds(0)));
  EXPECT_FALSE(gate.Enter(milliseconds(20)));  // takes a ticket, then abandons it
  std::atomic<bool> entered = false;
  std::thread behind([&] {
    entered = gate.Enter(milliseconds(5000));
    if (entered) gate.Leave();
  });
  std::this_thread::sleep_for(milliseconds(30));
  EXPECT_FALSE(entered);  // the gate is still held
  gate.Leave();
  behind.join();
  EXPECT_TRUE(entered);
  EXPECT_TRUE(gate.Enter(milliseconds(0)));  // and free again afterwards
  gate.Leave();
}

TEST_F(SessionSharingTest, ConcurrentWritersAllCommitAndReadersNeverSeeHalfATransaction) {
  {
    Session setup;
    setup.Open(path_);
    setup.Execute("CREATE TABLE t (id int PRIMARY KEY, a int, b int) INSERT INTO t VALUES (1, 0, 0)");
  }
  constexpr int kWriters = 6, kRounds = 40;
  std::atomic<int> failures = 0, torn = 0;
  std::atomic<bool> writing = true;
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w)
    threads.emplace_back([&] {
      Session s;
      s.Open(path_);
      for (int i = 0; i < kRounds; ++i) {
        try {
          // The host's shape of a call: a transaction around the method's batches.
          s.BeginTrans();
          s.Execute("UPDATE t SET a = a + 1 WHERE id = 1");
          s.Execute("UPDATE t SET b = b + 1 WHERE id = 1");
          // A rolled-back writer must let the next one in as surely as a committed one.
          if (i % 4 == 3) {
            s.RollbackTrans();
          } else {
            s.CommitTrans();
          }
        } catch (const ComError&) {
          ++failures;
          s.Reset();
        }
      }
    });
  std::thread reader([&] {
    Session s;
    s.Open(path_);
    while (writing)
      if (Scalar(s, "SELECT a - b FROM t WHERE id = 1") != 0) ++torn;
  });
  for (auto& t : threads) t.join();
  writing = false;
  reader.join();
  Session check;
  check.Open(path_);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(Scalar(check, "SELECT a FROM t"), kWriters * kRounds * 3 / 4);
  EXPECT_EQ(Scalar(check, "SELECT b FROM t"), kWriters * kRounds * 3 / 4);
}

TEST_F(SessionSharingTest, ASessionSeesTheSchemaAnotherChangedBetweenItsBatches) {
  Session a, b;
  a.Open(path_);
  b.Open(path_);
  a.Execute("CREATE TABLE t (x int, y int)");
  // An insert without a column list reads the table's columns from a's remembered catalog.
  a.Execute("INSERT INTO t VALUES (1, 2)");
  a.Reset();  // the end of a pooled call
  b.Execute("DROP TABLE t");
  b.Execute("CREATE TABLE t (x int, y int, z int)");
  a.Execute("INSERT INTO t VALUES (3, 4, 5)");
  EXPECT_EQ(Scalar(b, "SELECT z FROM t"), 5);
  RecordsetPtr rs = a.Execute("SELECT * FROM t");
  EXPECT_EQ(rs->FieldCount(), 3);
}

}  // namespace
}  // namespace ambit::tsql
