// The production path against a real SQL Server: runs only when AMBIT_TEST_MSSQL holds an ODBC
// connection string, e.g.
//   AMBIT_TEST_MSSQL='Driver=FreeTDS;Server=db;Port=1433;Database=ambit_test;UID=sa;PWD=...;TDS_Version=7.4'
// The database must be empty, or one this suite built before (it keeps a marker table there):
// each run drops the schema's objects and builds them again from the scripts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "accounts/reference_data.h"
#include "backends/odbc/odbc_connection.h"
#include "base/conversions.h"
#include "classes/classes.h"
#include "data/command.h"
#include "host/account_registry.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "maintain/build_demo_data.h"
#include "schema/account.h"

namespace ambit {
namespace {

using json = nlohmann::ordered_json;

constexpr char kMarker[] = "ambit_test_marker";

std::string ServerString() {
  const char* text = std::getenv("AMBIT_TEST_MSSQL");
  return text ? text : "";
}

class MssqlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServerString().empty())
      GTEST_SKIP() << "AMBIT_TEST_MSSQL names no SQL Server (an ODBC connection string)";
    RegisterOdbcBackend();
    conn_ = OpenConnection(ServerString());
  }
  std::string Scalar(const std::string& sql) { return CStr(conn_->Execute(sql)->Value(0)); }

  ConnectionPtr conn_;
};

TEST_F(MssqlTest, BatchesTypesAndNativeErrors) {
  auto* odbc = dynamic_cast<OdbcConnection*>(conn_.get());
  ASSERT_NE(odbc, nullptr);
  EXPECT_TRUE(odbc->is_sql_server()) << odbc->dbms_name();

  RecordsetPtr first = conn_->Execute(
      "SET NOCOUNT OFF\r\n"
      "CREATE TABLE #t (id int, amount decimal(18,4), ratio float, code varchar(20),\r\n"
      "  name nvarchar(50), made datetime, done bit)\r\n"
      "INSERT INTO #t VALUES (1, 12.3456, 0.5, 'A-1', N'订单 ünïcode',\r\n"
      "  '2024-02-29 13:45:10.250', 1)\r\n"
      "PRINT 'not a result'\r\n"
      "SELECT id, amount, ratio, code, name, made, done FROM #t\r\n"
      "UPDATE #t SET code = 'B'\r\n"
      "SELECT COUNT(*) AS n FROM #t\r\n");
  ASSERT_TRUE(first->IsOpen());
  EXPECT_EQ(first->Field(1).type, DataType::kDecimal);
  EXPECT_EQ(first->Field(1).scale, 4);
  EXPECT_EQ(first->Value("id"), Variant(1));
  EXPECT_EQ(first->Value("amount"), Variant(12.3456));
  EXPECT_EQ(first->Value("ratio"), Variant(0.5));
  EXPECT_EQ(first->Value("name"), Variant("订单 ünïcode"));
  EXPECT_EQ(FormatDate(CDate(first->Value("made"))), "2024-02-29 13:45:10");
  EXPECT_EQ(first->Value("done"), Variant(true));
  RecordsetPtr second = first->NextRecordset();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Value("n"), Variant(1));

  for (auto [sql, number] : {std::pair{"SELECT * FROM no_such_table", 208},
                             std::pair{"SELECT no_such_column FROM #t", 207},
                             std::pair{"SELECT CONVERT(int, 'x')", 245},
                             std::pair{"SELECT 1/0", 8134}}) {
    try {
      conn_->Execute(sql);
      ADD_FAILURE() << sql << " did not fail";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), number) << sql << ": " << e.description();
    }
  }

  // A duplicate key ends only its statement: the sets on both sides of it come back with the
  // error, as the embedded engine gives them.
  try {
    conn_->Execute("CREATE TABLE #u (id int PRIMARY KEY) SELECT 1 AS a\r\n"
                   "INSERT INTO #u VALUES (1), (1)\r\nSELECT 2 AS b");
    ADD_FAILURE() << "the duplicate key did not fail";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 2627);
    FailedBatchResults failed = conn_->TakeFailedBatchResults();
    ASSERT_NE(failed.results, nullptr);
    EXPECT_EQ(failed.error_position, 1);
    EXPECT_EQ(failed.results->Value("a"), Variant(1));
    ASSERT_NE(failed.results->NextRecordset(), nullptr);
    EXPECT_EQ(failed.results->NextRecordset()->Value("b"), Variant(2));
  }
}

TEST_F(MssqlTest, ProcedureOutputParametersTransactionsAndReset) {
  conn_->Execute("IF OBJECT_ID('ambit_test_proc') IS NOT NULL DROP PROCEDURE ambit_test_proc");
  conn_->Execute(
      "CREATE PROCEDURE ambit_test_proc @a int, @b nvarchar(20), @sum int OUTPUT,\r\n"
      "  @text nvarchar(40) OUTPUT AS\r\n"
      "BEGIN\r\n  SELECT @a AS a\r\n  SET @sum = @a + @sum\r\n"
      "  SET @text = @b + N'✓'\r\nEND\r\n");
  Command cmd;
  cmd.active_connection = conn_;
  cmd.command_text = "ambit_test_proc";
  cmd.command_type = CommandType::kStoredProc;
  cmd.AddParameter("@a", DataType::kInteger, ParameterDirection::kInput, 0, Variant(40));
  cmd.AddParameter("@b", DataType::kVarWChar, ParameterDirection::kInput, 20, Variant("张"));
  cmd.AddParameter("@sum", DataType::kInteger, ParameterDirection::kInputOutput, 0, Variant(2));
  cmd.AddParameter("@text", DataType::kVarWChar, ParameterDirection::kOutput, 40);
  RecordsetPtr rs = cmd.Execute();
  EXPECT_EQ(rs->Value("a"), Variant(40));
  EXPECT_EQ(cmd.parameters[2].value, Variant(42));
  EXPECT_EQ(cmd.parameters[3].value, Variant("张✓"));
  conn_->Execute("DROP PROCEDURE ambit_test_proc");

  conn_->Execute("CREATE TABLE #k (id int PRIMARY KEY)\r\nCREATE TABLE #k_lines (id int)");
  conn_->BeginTrans();
  conn_->Execute("INSERT INTO #k VALUES (1)");
  conn_->RollbackTrans();
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM #k"), "0");
  try {
    conn_->Execute("INSERT INTO #k VALUES (2) INSERT INTO #k VALUES (2)");
    ADD_FAILURE() << "a duplicate key must fail";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 2627) << e.description();
  }
  // What a pool's next user finds: no transaction, none of the last user's temp tables.
  conn_->BeginTrans();
  conn_->Reset();
  EXPECT_EQ(conn_->TransactionDepth(), 0);
  EXPECT_EQ(Scalar("SELECT @@TRANCOUNT"), "0");
  EXPECT_EQ(Scalar("SELECT ISNULL(OBJECT_ID('tempdb..#k'), 0)"), "0");
  EXPECT_EQ(Scalar("SELECT ISNULL(OBJECT_ID('tempdb..#k_lines'), 0)"), "0");
}

// A session the server ends (as a dropped network would) fails its call, and Reset then throws,
// which is how a pool knows to drop it. Needs a login that may KILL (sysadmin).
TEST_F(MssqlTest, AConnectionTheServerEndedIsNotReused) {
  std::string spid = Scalar("SELECT @@SPID");
  OpenConnection(ServerString())->Execute("KILL " + spid);
  EXPECT_THROW(conn_->Execute("SELECT 1"), ComError);
  EXPECT_THROW(conn_->Reset(), ComError);
}

// The schema scripts as they ship, then one call of each class through the real host.
TEST_F(MssqlTest, SchemaScriptsAndEveryClass) {
  bool empty = Scalar("SELECT COUNT(*) FROM sys.objects WHERE is_ms_shipped = 0") == "0";
  bool ours = Scalar(std::string("SELECT ISNULL(OBJECT_ID('") + kMarker + "'), 0)") != "0";
  ASSERT_TRUE(empty || ours)
      << "AMBIT_TEST_MSSQL's database holds objects this suite did not make: name an empty one";
  if (ours) {
    for (const char* type : {"V", "P", "U"}) {
      // Views and procedures first; tables last.
      conn_->Execute(std::string("DECLARE @s nvarchar(max) = N''\r\n") +
                     "SELECT @s = @s + N'DROP " +
                     (type[0] == 'V' ? "VIEW" : type[0] == 'P' ? "PROCEDURE" : "TABLE") +
                     " ' + QUOTENAME(name) + N';' FROM sys.objects WHERE type = '" + type +
                     "' AND is_ms_shipped = 0\r\nEXEC sp_executesql @s");
    }
  }
  conn_->Execute(std::string("CREATE TABLE ") + kMarker + " (id int)");
  schema::CreateAccountSchema(*conn_);
  for (const std::string& name : schema::SchemaObjectNames())
    EXPECT_NE(Scalar("SELECT ISNULL(OBJECT_ID('" + name + "'), 0)"), "0") << name;

  conn_->BeginTrans();
  SeedReferenceData(*conn_, ReferenceDataSize{4, 1});
  FillDemoOrders(*conn_);
  conn_->CommitTrans();

  AccountOptions options;
  options.pool_size = 2;
  AccountRegistry accounts(options);
  accounts.AddAccount("erp", ServerString());
  RegisterHostServices({});
  Dispatcher dispatcher(accounts, AllClassTables());
  auto user = std::make_shared<HostUserLogin>("tok", 16394, "CHS");
  auto call = [&](const char* cls, const char* method, json args) {
    return dispatcher.Call({cls, method, std::move(args), user, "127.0.0.1"})["result"];
  };
  json waiting = call("AmbitOrderInfo", "GetWaitVerifyData", {{"dctPara", json::object()}});
  EXPECT_FALSE(waiting["rows"].empty());
  EXPECT_EQ(call("AmbitOrderUpdate", "IsLogEnable", {{"OPCode", "1005"}}), true);
  EXPECT_TRUE(call("AmbitColumnsSet", "GetColumnsDefaultSet", {{"dctPara", json::object()}})
                  .contains("rows"));
}

}  // namespace
}  // namespace ambit
