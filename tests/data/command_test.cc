#include "data/command.h"

#include <gtest/gtest.h>

#include "base/com_error.h"
#include "data/connection.h"
#include "support/fake_connection.h"

namespace ambit {
namespace {

using testing::FakeConnection;

TEST(CommandTest, StoredProcedureBatchAndOutputParameters) {
  auto conn = std::make_shared<FakeConnection>();
  auto procedure_rows = std::make_shared<Recordset>(
      std::vector<FieldInfo>{{"FStockID", DataType::kInteger}},
      std::vector<Recordset::Row>{{Variant(7)}});
  auto outputs = std::make_shared<Recordset>(
      std::vector<FieldInfo>{{"__ambit_out_2", DataType::kInteger},
                             {"__ambit_out_3", DataType::kVarChar}},
      std::vector<Recordset::Row>{{Variant(42), Variant("done")}});
  procedure_rows->SetNextRecordset(outputs);
  conn->answer = procedure_rows;

  Command cmd;
  cmd.active_connection = conn;
  cmd.command_type = CommandType::kStoredProc;
  cmd.command_text = "GetICMaxNum";
  cmd.AddParameter("@TableName", DataType::kVarChar, ParameterDirection::kInput, 50,
                   Variant("IC_Web2ERPOrders's"));
  cmd.AddParameter("@FInterID", DataType::kInteger, ParameterDirection::kOutput);
  cmd.AddParameter("@Note", DataType::kVarChar, ParameterDirection::kInputOutput, 20,
                   Variant("in"));
  RecordsetPtr rs = cmd.Execute();

  ASSERT_EQ(conn->batches.size(), 1u);
  EXPECT_EQ(conn->batches[0],
            "DECLARE @__p2 int, @__p3 varchar(20)\r\n"
            "SET @__p3 = N'in'\r\n"
            "EXEC GetICMaxNum N'IC_Web2ERPOrders''s', @__p2 OUTPUT, @__p3 OUTPUT\r\n"
            "SELECT @__p2 AS [__ambit_out_2], @__p3 AS [__ambit_out_3]\r\n");
  EXPECT_EQ(cmd.parameters[1].value, Variant(42));
  EXPECT_EQ(cmd.parameters[2].value, Variant("done"));
  // The procedure's own rows come back; the output row does not.
  EXPECT_EQ(rs->Value("FStockID"), Variant(7));
  EXPECT_EQ(rs->NextRecordset(), nullptr);
}

TEST(CommandTest, ProcedureWithoutResultSetAnswersClosed) {
  auto conn = std::make_shared<FakeConnection>();
  conn->answer = std::make_shared<Recordset>(
      std::vector<FieldInfo>{{"__ambit_out_1", DataType::kInteger}},
      std::vector<Recordset::Row>{{Variant(5)}});
  Command cmd;
  cmd.active_connection = conn;
  cmd.command_type = CommandType::kStoredProc;
  cmd.command_text = "p";
  cmd.AddParameter("@n", DataType::kInteger, ParameterDirection::kOutput);
  EXPECT_FALSE(cmd.Execute()->IsOpen());
  EXPECT_EQ(cmd.parameters[0].value, Variant(5));
}

TEST(CommandTest, TextMarkersTakeParameterLiterals) {
  auto conn = std::make_shared<FakeConnection>();
  Command cmd;
  cmd.active_connection = conn;
  cmd.command_text = "Select FValue From t_SystemProfile Where FCategory = ? And FKey = ? "
                     "-- why?\nAnd FNote <> '?' And [a?] = 1";
  cmd.AddParameter("", DataType::kVarChar, ParameterDirection::kInput, 30, Variant("EC"));
  cmd.AddParameter("", DataType::kVarChar, ParameterDirection::kInput, 30, Variant("O'Key"));
  cmd.Execute();
  EXPECT_EQ(conn->batches.back(),
            "Select FValue From t_SystemProfile Where FCategory = N'EC' And FKey = N'O''Key' "
            "-- why?\nAnd FNote <> '?' And [a?] = 1");
  cmd.parameters.pop_back();
  EXPECT_THROW(cmd.Execute(), ComError);  // a marker without a parameter
}

TEST(CommandTest, RefusesWhatItCannotRun) {
  Command cmd;
  cmd.command_text = "select 1";
  EXPECT_THROW(cmd.Execute(), ComError);
  cmd.active_connection = std::make_shared<FakeConnection>();
  cmd.AddParameter("@x", DataType::kInteger, ParameterDirection::kInput, 0, Variant(1));
  EXPECT_THROW(cmd.Execute(), ComError);  // a parameter without a marker
}

TEST(SqlLiteralTest, Values) {
  EXPECT_EQ(SqlLiteral(Variant("it's")), "N'it''s'");
  EXPECT_EQ(SqlLiteral(Variant::Null()), "NULL");
  EXPECT_EQ(SqlLiteral(Variant(2.5)), "2.5");
  EXPECT_EQ(SqlLiteral(Variant(true)), "1");
}

TEST(ConnectionStringTest, KeysValuesAndProviders) {
  ConnectionString cs("Provider=SQLite; Data Source = /tmp/a b.db;Password=\"x;y\";");
  EXPECT_EQ(cs.Get("provider"), "SQLite");
  EXPECT_EQ(cs.Get("DATA SOURCE"), "/tmp/a b.db");
  EXPECT_EQ(cs.Get("Password"), "x;y");
  EXPECT_FALSE(cs.Has("User ID"));

  RegisterBackend("Scripted", [](const ConnectionString&) {
    return std::make_shared<FakeConnection>("scripted");
  });
  EXPECT_EQ(OpenConnection("Provider=scripted")->BackendName(), "scripted");
  EXPECT_EQ(OpenConnection("ConnectString={Provider=scripted;Data Source=x}")->BackendName(),
            "scripted");
  EXPECT_EQ(UnwrapConnectString("ConnectString={Data Source=a.db}"), "Data Source=a.db");
  EXPECT_EQ(UnwrapConnectString("demo"), "demo");
  try {
    OpenConnection("Provider=Oracle;Data Source=x");
    FAIL();
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("oracle"), std::string::npos);
  }
}

TEST(ConnectionStringTest, ProviderComesFromWhatTheStringNamesNeverFromAGuess) {
  EXPECT_EQ(ProviderOf(ConnectionString("Data Source=a.db")), "sqlite");
  EXPECT_EQ(ProviderOf(ConnectionString("Driver=FreeTDS;Server=h;Database=x")), "odbc");
  EXPECT_EQ(ProviderOf(ConnectionString("DSN=erp;UID=u")), "odbc");
  EXPECT_EQ(ProviderOf(ConnectionString("Provider=SQLite;Driver=x")), "sqlite");
  EXPECT_EQ(ProviderOf(ConnectionString("Server=h;Database=x;UID=sa;PWD=pw")), "");
  try {
    OpenConnection("Server=h;Database=x;UID=sa;PWD=top-secret");
    FAIL() << "a string naming no backend must be refused";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("keys not understood: database, pwd, server, uid"),
              std::string::npos)
        << e.description();
    EXPECT_EQ(e.description().find("top-secret"), std::string::npos) << e.description();
  }
}

TEST(ConnectionStringTest, RedactionHidesPasswordsWhereverTheyStand) {
  EXPECT_EQ(RedactConnectionString("Driver=FreeTDS;UID=sa;PWD=abc;Database=x"),
            "Driver=FreeTDS;UID=sa;PWD=***;Database=x");
  EXPECT_EQ(RedactConnectionString("password = {a;b} ;x=1"), "password = *** ;x=1");
  EXPECT_EQ(RedactConnectionString("ConnectString={DSN=erp;Pwd=\"q\"}"),
            "ConnectString={DSN=erp;Pwd=***}");
  EXPECT_EQ(RedactConnectionString("Data Source=demo.db"), "Data Source=demo.db");
}

}  // namespace
}  // namespace ambit
