#include "frame/unique_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "backends/sqlite/sqlite_connection.h"
#include "base/conversions.h"
#include "frame/local_host.h"

namespace ambit {
namespace {

// The three tables the reservation reads and writes, as an account has them.
constexpr char kTables[] =
    "create table IC_MaxNum (FTableName nvarchar(50) not null, FUserID int, FNumber nvarchar(50),"
    " FFlag int)\r\n"
    "create table ICMaxNum (FTableName nvarchar(50) not null primary key, FMaxNum int)\r\n"
    "create table IC_Web2ERPOrders (FID int not null primary key, FUniqueCode nvarchar(50))\r\n";

std::string ThisMonth() {
  return CStr(OpenConnection("Data Source=:memory:")
                  ->Execute("select convert(varchar(6), getdate(), 112)")
                  ->Value(0));
}

class UniqueCodeTest : public ::testing::Test {
 protected:
  UniqueCodeTest() : host_([](const std::string& dsn) { return OpenConnection(dsn); }) {
    RegisterSqliteBackend();
    conn_ = OpenConnection("Data Source=:memory:");
    conn_->Execute(kTables);
  }

  int32_t Reserve(int16_t count) {
    AmbitUpdate update;
    return GetOrderUniqueID_New(update, *conn_, count);
  }
  int32_t Counter() {
    return CLng(
        conn_->Execute("select FMaxNum from ICMaxNum where FTableName='UniqueCode'")->Value(0));
  }

  struct AmbitUpdate : Component {
    AmbitUpdate() : Component(ComponentClass::kOrderUpdate) {}
  };

  LocalHost host_;
  ConnectionPtr conn_;
};

TEST_F(UniqueCodeTest, FirstUseStartsAfterTheCodesOfThisMonth) {
  std::string month = ThisMonth();
  conn_->Execute("insert into IC_Web2ERPOrders values (1, '" + month + "57'), (2, '" + month +
                 "9'), (3, '201001999'), (4, ''), (5, null)");
  EXPECT_EQ(Reserve(2), 58);
  EXPECT_EQ(Counter(), 59);
  EXPECT_EQ(CStr(conn_->Execute("select FNumber from IC_MaxNum")->Value(0)), month);
  EXPECT_EQ(Reserve(1), 60);
}

TEST_F(UniqueCodeTest, NewMonthRestartsFromItsOwnCodes) {
  conn_->Execute("insert into IC_MaxNum values ('UniqueCode', 16394, '200001', 1)\r\n"
                 "insert into ICMaxNum values ('UniqueCode', 812)");
  EXPECT_EQ(Reserve(2), 1);
  EXPECT_EQ(Counter(), 2);
  // A month whose orders already carry codes continues after the largest one.
  conn_->Execute("update IC_MaxNum set FNumber = '200001'\r\n"
                 "insert into IC_Web2ERPOrders values (7, '" + ThisMonth() + "12')");
  EXPECT_EQ(Reserve(1), 13);
}

TEST_F(UniqueCodeTest, FailureAbortsAndNamesTheOperation) {
  conn_->Execute("drop table ICMaxNum");
  conn_->Execute("insert into IC_MaxNum values ('UniqueCode', 16394, '" + ThisMonth() + "', 1)");
  try {
    Reserve(1);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 208);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.GetOrderUniqueID_New");
  }
  EXPECT_EQ(host_.context()->abort_count, 1);
}

// Several connections on one account reserve blocks at once, each in its own transaction as
// the host runs update calls: no serial may be handed out twice.
TEST_F(UniqueCodeTest, ConcurrentReservationsNeverOverlap) {
  auto dir = std::filesystem::temp_directory_path() /
             ("ambit-unique-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string dsn = "Data Source=" + (dir / "account.db").string();
  OpenConnection(dsn)->Execute(kTables);
  OpenConnection(dsn)->Execute("insert into IC_MaxNum values ('UniqueCode', 16394, '" +
                               ThisMonth() + "', 1)\r\ninsert into ICMaxNum values ('UniqueCode', 0)");

  constexpr int kThreads = 4, kRounds = 25;
  std::mutex mu;
  std::vector<int32_t> serials;
  std::vector<std::string> failures;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ConnectionPtr conn = OpenConnection(dsn);
      for (int r = 0; r < kRounds; ++r) {
        int16_t count = static_cast<int16_t>(1 + (t + r) % 3);
        try {
          conn->BeginTrans();
          int32_t first = CLng(conn->Execute(BuildUniqueCodeBatch(count))->Value(0));
          conn->CommitTrans();
          std::lock_guard lock(mu);
          for (int i = 0; i < count; ++i) serials.push_back(first + i);
        } catch (const ComError& e) {
          if (conn->TransactionDepth() > 0) conn->RollbackTrans();
          std::lock_guard lock(mu);
          failures.push_back(e.description());
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_TRUE(failures.empty()) << failures.front();
  std::set<int32_t> distinct(serials.begin(), serials.end());
  EXPECT_EQ(distinct.size(), serials.size());
  EXPECT_EQ(*distinct.rbegin(), static_cast<int32_t>(serials.size()));  // no gaps either
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ambit
