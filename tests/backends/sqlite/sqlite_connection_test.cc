// The embedded backend behind the data-layer contract: connection strings, transactions that
// queue writers, Reset, Cancel and Command. What several connections share of one file is the
// corpus's (tests/tsql/corpus/connections.test).
#include "backends/sqlite/sqlite_connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/com_error.h"
#include "base/conversions.h"
#include "data/command.h"
#include "support/temp_db_file.h"

namespace ambit {
namespace {

class SqliteConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterSqliteBackend(); }
  ConnectionPtr Open() { return OpenConnection("Provider=SQLite;Data Source=" + path_.string()); }
  static std::string Scalar(const ConnectionPtr& c, const std::string& sql) {
    RecordsetPtr rs = c->Execute(sql);
    return CStr(rs->Value(0));
  }

  testing::TempDbFile file_{"ambit_sqlite_conn_"};
  const std::filesystem::path& path_ = file_.path();
};

TEST_F(SqliteConnectionTest, ConnectionStringsPickTheEmbeddedEngine) {
  ConnectionPtr memory = OpenConnection("Data Source=:memory:");
  EXPECT_EQ(memory->BackendName(), "sqlite");
  EXPECT_EQ(Scalar(memory, "SELECT 1 + 1"), "2");
  ConnectionPtr other = OpenConnection("Provider=sqlite;Data Source=:memory:");
  other->Execute("CREATE TABLE t (x int)");
  // Two in-memory connections are separate databases.
  EXPECT_THROW(memory->Execute("SELECT * FROM t"), ComError);
  try {
    OpenConnection("Provider=SQLite");
    FAIL() << "a missing Data Source must be refused";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("Data Source"), std::string::npos);
  }
  // A server's keys beside a Data Source mean the string was not meant for a file.
  try {
    OpenConnection("Data Source=" + path_.string() + ";Database=erp;PWD=pw");
    FAIL() << "keys of another backend must be refused";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("does not understand database, pwd"), std::string::npos)
        << e.description();
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(SqliteConnectionTest, TransactionsRollBackAndResetEndsThem) {
  ConnectionPtr c = Open();
  c->Execute("CREATE TABLE t (x int)");
  c->BeginTrans();
  c->Execute("INSERT INTO t VALUES (1)");
  EXPECT_EQ(c->TransactionDepth(), 1);
  c->RollbackTrans();
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM t"), "0");
  c->BeginTrans();
  c->Execute("INSERT INTO t VALUES (2)");
  c->Reset();
  EXPECT_EQ(c->TransactionDepth(), 0);
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM t"), "0");
  EXPECT_THROW(c->CommitTrans(), ComError);
}

TEST_F(SqliteConnectionTest, ConcurrentWritersQueueInsteadOfFailing) {
  ConnectionPtr first = Open();
  ConnectionPtr second = Open();
  first->Execute("CREATE TABLE t (x int)");
  first->BeginTrans();
  first->Execute("INSERT INTO t VALUES (1)");
  std::atomic<bool> done{false};
  std::string failure;
  std::thread writer([&] {
    try {
      second->BeginTrans();
      second->Execute("INSERT INTO t SELECT COUNT(*) + 1 FROM t");
      second->CommitTrans();
    } catch (const ComError& e) {
      failure = e.description();
    }
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done) << "the second writer should wait for the first";
  first->CommitTrans();
  writer.join();
  EXPECT_EQ(failure, "");
  // The second writer saw the first one's row: it ran after the commit, not beside it.
  EXPECT_EQ(Scalar(first, "SELECT MAX(x) FROM t"), "2");
}

TEST_F(SqliteConnectionTest, CommandRunsProceduresWithOutputParameters) {
  ConnectionPtr c = Open();
  c->Execute("CREATE PROCEDURE AddOne @in int, @out int OUTPUT AS "
             "BEGIN SET @out = @in + 1 SELECT 'done' AS state END");
  Command cmd;
  cmd.active_connection = c;
  cmd.command_text = "AddOne";
  cmd.command_type = CommandType::kStoredProc;
  cmd.AddParameter("@in", DataType::kInteger, ParameterDirection::kInput, 0, Variant(int32_t{41}));
  cmd.AddParameter("@out", DataType::kInteger, ParameterDirection::kOutput);
  RecordsetPtr rs = cmd.Execute();
  EXPECT_EQ(CStr(rs->Value(0)), "done");
  EXPECT_EQ(CLng(cmd.parameters[1].value), 42);
}

// Cancel stops a batch whether it is inside one long SQLite statement or looping in the
// interpreter between statements, and the connection works normally afterwards.
TEST_F(SqliteConnectionTest, CancelStopsTheRunningBatchOnly) {
  ConnectionPtr c = Open();
  c->Cancel();  // nothing runs: the next batch is not affected
  EXPECT_EQ(Scalar(c, "SELECT 1"), "1");
  for (const char* endless :
       {"WITH n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT MAX(i) FROM n "
        "OPTION (MAXRECURSION 0)",
        "DECLARE @i int = 0 WHILE 1 = 1 SET @i = @i + 1"}) {
    std::atomic<bool> done{false};
    int number = 0;
    std::thread batch([&] {
      try {
        c->Execute(endless);
      } catch (const ComError& e) {
        number = e.number();
      }
      done = true;
    });
    // Repeated until it lands: a request made before the batch starts is dropped with it.
    for (int i = 0; i < 6000 && !done; ++i) {
      c->Cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    batch.join();
    EXPECT_EQ(number, 3617) << endless;
    EXPECT_EQ(Scalar(c, "SELECT 2"), "2") << endless;
  }
}

}  // namespace
}  // namespace ambit
