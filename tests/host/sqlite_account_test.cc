// The host on a real account file of the embedded engine: what a failed update leaves behind,
// temp tables within and between calls, and writers that arrive together.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "backends/sqlite/sqlite_connection.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "host/test_methods.h"
#include "support/temp_db_file.h"

namespace ambit {
namespace {

namespace fs = std::filesystem;

class SqliteAccountTest : public ::testing::Test {
 protected:
  static AccountOptions Options() {
    AccountOptions options;
    options.pool_size = 4;
    return options;
  }

  SqliteAccountTest()
      : accounts_(Options()),
        update_(testing::MakeUpdateTable()),
        info_(testing::MakeInfoTable()),
        dispatcher_(accounts_, {&info_, &update_}) {
    RegisterSqliteBackend();
    std::string cs = "Provider=SQLite;Data Source=" + path_.string();
    OpenConnection(cs)->Execute("CREATE TABLE notes (id INT PRIMARY KEY, txt VARCHAR(50))");
    accounts_.AddAccount("acc", cs);
  }

  nlohmann::ordered_json Call(std::string cls, std::string method, nlohmann::ordered_json args) {
    return dispatcher_.Call({std::move(cls), std::move(method), std::move(args), user_, ""});
  }

  int64_t Notes() {
    nlohmann::ordered_json r = Call("AmbitOrderInfo", "Count", nlohmann::ordered_json::object());
    return r["result"]["rows"][0][0].get<int64_t>();
  }

  testing::TempDbFile file_{"ambit-host-"};
  const fs::path& path_ = file_.path();
  UserLoginPtr user_ = std::make_shared<HostUserLogin>("t", 1, "CHS");
  AccountRegistry accounts_;
  MethodTable update_;
  MethodTable info_;
  Dispatcher dispatcher_;
};

TEST_F(SqliteAccountTest, AnUpdateThatWritesAndThenFailsLeavesNoTrace) {
  Call("AmbitOrderUpdate", "Write", {{"lID", 1}});
  EXPECT_EQ(Notes(), 1);
  for (const char* method : {"WriteThenFail", "WriteThenThrow", "AbortQuietly"}) {
    try {
      Call("AmbitOrderUpdate", method, {{"lID", 2}});
    } catch (const ComError&) {
    }
    EXPECT_EQ(Notes(), 1) << method;
  }
  // The key the failed calls used is free again.
  Call("AmbitOrderUpdate", "Write", {{"lID", 2}});
  EXPECT_EQ(Notes(), 2);
}

TEST_F(SqliteAccountTest, QueriesWithoutATransactionKeepWhatTheyWrote) {
  EXPECT_THROW(Call("AmbitOrderInfo", "WriteNoTrans", {{"lID", 5}}), ComError);
  EXPECT_EQ(Notes(), 1);
}

TEST_F(SqliteAccountTest, TempTablesLastForOneCallOnly) {
  for (int i = 0; i < 3; ++i) {
    // A second CREATE of #t would fail if the pooled connection kept the first one.
    nlohmann::ordered_json r = Call("AmbitOrderInfo", "TempRoundTrip", nlohmann::ordered_json::object());
    EXPECT_EQ(r["result"]["rows"], nlohmann::ordered_json::parse("[[7]]"));
  }
}

TEST_F(SqliteAccountTest, ConcurrentWritersQueueAndReadersKeepReading) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 40;
  std::atomic<int> failures = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        try {
          if (i % 2 == 0) {
            Call("AmbitOrderUpdate", "Write", {{"lID", t * 1000 + i}});
          } else if (i % 5 == 1) {
            // Fails after writing: must not leave its row behind.
            EXPECT_THROW(Call("AmbitOrderUpdate", "WriteThenFail", {{"lID", t * 1000 + i}}),
                         ComError);
          } else {
            Notes();
          }
        } catch (const std::exception& e) {
          ++failures;
          ADD_FAILURE() << e.what();
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Notes(), kThreads * kCalls / 2);
  EXPECT_LE(accounts_.PoolFor("acc")->open_count(), 4u);
  // Every write went through the account's one writer, which the failures left usable.
  std::shared_ptr<ConnectionPool> writer = accounts_.WritePoolFor("acc");
  EXPECT_NE(writer, accounts_.PoolFor("acc"));
  EXPECT_EQ(writer->open_count(), 1u);
  EXPECT_EQ(writer->idle_count(), 1u);
}

TEST_F(SqliteAccountTest, APrivateInMemoryDatabaseKeepsItsWritersOnItsOwnConnection) {
  // A second connection to ":memory:" would be another, empty database.
  AccountOptions options;
  options.pool_size = 1;
  AccountRegistry memory(options);
  memory.AddAccount("m", "Provider=SQLite;Data Source=:memory:");
  MethodTable update = testing::MakeUpdateTable(), info = testing::MakeInfoTable();
  Dispatcher dispatcher(memory, {&info, &update});
  memory.PoolFor("m")->Acquire()->Execute("CREATE TABLE notes (id INT PRIMARY KEY, txt VARCHAR(50))");
  dispatcher.Call({"AmbitOrderUpdate", "Write", nlohmann::ordered_json{{"lID", 1}}, user_, ""});
  nlohmann::ordered_json r =
      dispatcher.Call({"AmbitOrderInfo", "Count", nlohmann::ordered_json::object(), user_, ""});
  EXPECT_EQ(r["result"]["rows"][0][0].get<int64_t>(), 1);
  EXPECT_EQ(memory.WritePoolFor("m"), memory.PoolFor("m"));
}

TEST_F(SqliteAccountTest, SystemParametersAreReadOnTheCallsOwnConnection) {
  std::string cs = "Provider=SQLite;Data Source=" + path_.string();
  OpenConnection(cs)->Execute(
      "CREATE TABLE t_SystemProfile (FCategory VARCHAR(30), FKey VARCHAR(30), FValue "
      "VARCHAR(255))");
  RegisterHostServices({});
  auto profile =
      std::dynamic_pointer_cast<SystemProfileService>(CreateHostObject(kProgIdSystemProfile));
  ASSERT_NE(profile, nullptr);
  EXPECT_THROW(profile->GetProfile("acc", "IC", "CheckUserGroup"), ComError);  // outside a call

  auto call = std::make_shared<HostCallContext>(accounts_, user_, "", true);
  {
    CurrentCallScope scope(call);
    call->OpenDataSource("acc");
    // Written by this call and not yet committed: visible only on the call's connection.
    call->Connection()->Execute("INSERT INTO t_SystemProfile VALUES ('IC', 'CheckUserGroup', '1')");
    EXPECT_EQ(profile->GetProfile("acc", "ic", "CheckUserGroup"), Variant("1"));
    EXPECT_TRUE(profile->GetProfile("acc", "IC", "O'Brien").IsEmpty());
    EXPECT_EQ(call->DataSourceName(), "acc");
  }
  call->Finish(false);
  EXPECT_EQ(accounts_.PoolFor("acc")->open_count(), accounts_.PoolFor("acc")->idle_count());
}

}  // namespace
}  // namespace ambit
