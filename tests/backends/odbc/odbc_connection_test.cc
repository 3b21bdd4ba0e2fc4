// The ODBC backend's plumbing, through the SQLite ODBC driver (libsqliteodbc) with portable SQL:
// no database server needed. What only SQL Server can show lives in tests/backends/mssql.
#include "backends/odbc/odbc_connection.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "base/conversions.h"
#include "data/command.h"
#include "support/closed_port.h"
#include "support/temp_db_file.h"

namespace ambit {
namespace {

// The name /etc/odbcinst.ini gives the SQLite 3 driver of Debian's libsqliteodbc.
constexpr char kDriver[] = "SQLite3";

class OdbcConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterOdbcBackend(); }

  ConnectionPtr Open() {
    return OpenConnection(std::string("Driver=") + kDriver + ";Database=" + path_.string());
  }

  testing::TempDbFile file_{"ambit_odbc_"};
  const std::filesystem::path& path_ = file_.path();
};

TEST_F(OdbcConnectionTest, TypedFieldsNullsAndUnicodeText) {
  ConnectionPtr conn = Open();
  ASSERT_EQ(conn->BackendName(), "odbc");
  conn->Execute(
      "CREATE TABLE t (id INTEGER, amount NUMERIC(10,2), ratio FLOAT, code VARCHAR(20), "
      "name NVARCHAR(50), made DATETIME, done BIT)");
  conn->Execute(
      "INSERT INTO t VALUES (1, 12.35, 0.25, 'A-1', '订单 ünïcode', '2024-02-29 13:45:10', 1)");
  conn->Execute("INSERT INTO t VALUES (3000000000, NULL, NULL, NULL, NULL, NULL, 0)");
  RecordsetPtr rs = conn->Execute("SELECT id, amount, ratio, code, name, made, done FROM t "
                                  "ORDER BY id");
  ASSERT_EQ(rs->FieldCount(), 7);
  EXPECT_EQ(rs->Field(0).type, DataType::kInteger);
  // The SQLite driver reports NUMERIC as a double and DECIMAL as text: decimals with their scale
  // are SQL Server's (tests/backends/mssql).
  EXPECT_EQ(rs->Field(2).type, DataType::kDouble);
  EXPECT_EQ(rs->Field(5).type, DataType::kDate);
  EXPECT_EQ(rs->Field(6).type, DataType::kBoolean);
  ASSERT_EQ(rs->RecordCount(), 2);

  EXPECT_EQ(rs->Value("id"), Variant(1));
  EXPECT_EQ(rs->Value("amount"), Variant(12.35));
  EXPECT_EQ(rs->Value("ratio"), Variant(0.25));
  EXPECT_EQ(rs->Value("code"), Variant("A-1"));
  EXPECT_EQ(rs->Value("name"), Variant("订单 ünïcode"));
  EXPECT_EQ(FormatDate(CDate(rs->Value("made"))), "2024-02-29 13:45:10");
  EXPECT_EQ(rs->Value("done"), Variant(true));
  rs->MoveNext();
  // Past 32 bits an integer stays exact; NULL stays Null whatever the column's type.
  EXPECT_EQ(rs->Value("id"), Variant(int64_t{3000000000}));
  for (const char* column : {"amount", "ratio", "code", "name", "made"})
    EXPECT_TRUE(rs->Value(column).IsNull()) << column;
  EXPECT_EQ(rs->Value("done"), Variant(false));
}

TEST_F(OdbcConnectionTest, LongTextRowCountsAndEmptyResults) {
  ConnectionPtr conn = Open();
  conn->Execute("CREATE TABLE t (id INTEGER, note NVARCHAR(20000))");
  // Longer than one read of the driver's buffer, with characters outside the BMP at the seams.
  std::string note;
  while (note.size() < 30000) note += "ab𝄞中";
  conn->Execute("INSERT INTO t VALUES (1, '" + note + "')");
  conn->Execute("INSERT INTO t VALUES (2, 'x')");
  EXPECT_EQ(conn->Execute("SELECT note FROM t WHERE id = 1")->Value(0), Variant(note));

  RecordsetPtr updated = conn->Execute("UPDATE t SET note = 'y' WHERE id >= 1");
  EXPECT_FALSE(updated->IsOpen());
  EXPECT_EQ(updated->records_affected(), 2);
  EXPECT_EQ(conn->Execute("DELETE FROM t WHERE id = 99")->records_affected(), 0);

  RecordsetPtr none = conn->Execute("SELECT id FROM t WHERE id = 99");
  ASSERT_TRUE(none->IsOpen());
  EXPECT_TRUE(none->Eof());
  EXPECT_EQ(none->Field(0).name, "id");
}

TEST_F(OdbcConnectionTest, BatchOfStatementsChainsItsResultSets) {
  ConnectionPtr conn = Open();
  RecordsetPtr first;
  try {
    first = conn->Execute("SELECT 5 AS id; SELECT 'second' AS s");
  } catch (const ComError& e) {
    GTEST_SKIP() << "this ODBC driver runs one statement at a time (" << e.description()
                 << "); batches are SQL Server's (tests/backends/mssql)";
  }
  ASSERT_TRUE(first->IsOpen());
  EXPECT_EQ(first->Value(0), Variant(5));
  RecordsetPtr second = first->NextRecordset();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Value("s"), Variant("second"));
  EXPECT_EQ(second->NextRecordset(), nullptr);
}

TEST_F(OdbcConnectionTest, CommandBindsParametersNatively) {
  ConnectionPtr conn = Open();
  conn->Execute("CREATE TABLE t (id INTEGER, name NVARCHAR(40), amount NUMERIC(12,4), "
                "made DATETIME, done BIT)");
  Command insert;
  insert.active_connection = conn;
  insert.command_text = "INSERT INTO t VALUES (?, ?, ?, ?, ?)";
  insert.AddParameter("id", DataType::kInteger, ParameterDirection::kInput, 0, Variant(7));
  // A quote and a question mark inside a value are data, never SQL.
  insert.AddParameter("name", DataType::kVarWChar, ParameterDirection::kInput, 40,
                      Variant("O'Brien? 张"));
  insert.AddParameter("amount", DataType::kDecimal, ParameterDirection::kInput, 0,
                      Variant(1234.5678));
  insert.AddParameter("made", DataType::kDate, ParameterDirection::kInput, 0,
                      Variant(MakeDate(2023, 12, 31, 23, 59, 58)));
  insert.AddParameter("done", DataType::kBoolean, ParameterDirection::kInput, 0, Variant(true));
  insert.Execute();
  insert.parameters[0].value = Variant(8);
  insert.parameters[1].value = Variant::Null();
  insert.Execute();

  Command select;
  select.active_connection = conn;
  select.command_text = "SELECT name, amount, made, done FROM t WHERE id = ?";
  select.AddParameter("id", DataType::kInteger, ParameterDirection::kInput, 0, Variant(7));
  RecordsetPtr rs = select.Execute();
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Value("name"), Variant("O'Brien? 张"));
  EXPECT_EQ(rs->Value("amount"), Variant(1234.5678));
  EXPECT_EQ(FormatDate(CDate(rs->Value("made"))), "2023-12-31 23:59:58");
  EXPECT_EQ(rs->Value("done"), Variant(true));
  select.parameters[0].value = Variant(8);
  EXPECT_TRUE(select.Execute()->Value("name").IsNull());
}

TEST_F(OdbcConnectionTest, TransactionsCommitRollBackAndNest) {
  ConnectionPtr conn = Open();
  ConnectionPtr other = Open();
  conn->Execute("CREATE TABLE t (id INTEGER)");
  auto count = [&](const ConnectionPtr& c) {
    return CLng(c->Execute("SELECT COUNT(*) FROM t")->Value(0));
  };

  conn->BeginTrans();
  conn->Execute("INSERT INTO t VALUES (1)");
  EXPECT_EQ(count(conn), 1);
  conn->RollbackTrans();
  EXPECT_EQ(conn->TransactionDepth(), 0);
  EXPECT_EQ(count(conn), 0);

  conn->BeginTrans();
  conn->BeginTrans();
  EXPECT_EQ(conn->TransactionDepth(), 2);
  conn->Execute("INSERT INTO t VALUES (2)");
  conn->CommitTrans();  // the inner commit keeps the work pending
  EXPECT_EQ(conn->TransactionDepth(), 1);
  conn->CommitTrans();
  EXPECT_EQ(count(other), 1);  // committed: another connection sees it

  // Autocommit is back on: a plain statement is visible at once.
  conn->Execute("INSERT INTO t VALUES (3)");
  EXPECT_EQ(count(other), 2);

  conn->BeginTrans();
  conn->Execute("INSERT INTO t VALUES (4)");
  conn->Reset();  // a pool's reset rolls back what the last user left open
  EXPECT_EQ(conn->TransactionDepth(), 0);
  EXPECT_EQ(count(other), 2);

  try {
    conn->CommitTrans();
    FAIL() << "a commit without a transaction must fail";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 3902);
  }
}

TEST_F(OdbcConnectionTest, DriverDiagnosticsBecomeComErrors) {
  ConnectionPtr conn = Open();
  try {
    conn->Execute("SELECT * FROM missing_table");
    FAIL() << "a missing table must fail";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), odbc::kOdbcErrorSource);
    // The database's own number (SQLite's SQLITE_ERROR here, 208 from SQL Server).
    EXPECT_EQ(e.number(), 1);
    EXPECT_EQ(e.description(), "no such table: missing_table (1)");
  }
  // The failure leaves the connection usable.
  EXPECT_EQ(conn->Execute("SELECT 40 + 2 AS n")->Value(0), Variant(42));
  conn->Reset();

  try {
    OpenConnection("Driver=NoSuchDriver;Database=x;PWD=hunter2");
    FAIL() << "an unknown driver must fail";
  } catch (const ComError& e) {
    EXPECT_NE(e.description().find("NoSuchDriver"), std::string::npos) << e.description();
    EXPECT_EQ(e.description().find("hunter2"), std::string::npos) << e.description();
  }
}

TEST_F(OdbcConnectionTest, UnreachableServerFailsQuicklyWithoutSecretsOrFiles) {
  auto cwd = std::filesystem::current_path();
  std::filesystem::path scratch = path_.string() + ".dir";
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);
  auto started = std::chrono::steady_clock::now();
  std::string message;
  try {
    OpenConnection("Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(testing::ClosedPort()) +
                   ";Database=x;UID=sa;PWD=s3cret-pw;TDS_Version=7.4;LoginTimeout=5");
  } catch (const ComError& e) {
    message = e.description();
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  bool created = !std::filesystem::is_empty(scratch);
  std::filesystem::current_path(cwd);
  std::filesystem::remove_all(scratch);

  ASSERT_FALSE(message.empty()) << "connecting to a closed port must fail";
  EXPECT_NE(message.find("Cannot connect"), std::string::npos) << message;
  EXPECT_NE(message.find("127.0.0.1"), std::string::npos) << message;
  EXPECT_EQ(message.find("s3cret-pw"), std::string::npos) << message;
  EXPECT_LT(seconds, 10.0);
  EXPECT_FALSE(created) << "no account file may appear for a server's connection string";
}

TEST_F(OdbcConnectionTest, SilentServerFailsWithinTheLoginTimeout) {
  // Accepts connections (the kernel's backlog does) but never answers the login.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  auto started = std::chrono::steady_clock::now();
  std::string message;
  try {
    OpenConnection("Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(ntohs(addr.sin_port)) +
                   ";Database=x;UID=sa;PWD=pw;TDS_Version=7.4;LoginTimeout=2");
  } catch (const ComError& e) {
    message = e.description();
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ::close(fd);
  ASSERT_FALSE(message.empty()) << "a server that never answers must not let the login succeed";
  EXPECT_NE(message.find("login timeout 2 s"), std::string::npos) << message;
  EXPECT_GE(seconds, 1.5);
  EXPECT_LT(seconds, 6.0);
}

TEST(OdbcConnectStringTest, OurKeysStayHomeAndValuesKeepTheirMeaning) {
  ConnectionString cs(
      "Provider=ODBC;Driver={ODBC Driver 18};Server=db;PWD={a;b};LoginTimeout=3");
  std::string text = OdbcConnectString(cs);
  EXPECT_EQ(text.find("provider"), std::string::npos);
  EXPECT_EQ(text.find("logintimeout"), std::string::npos);
  EXPECT_NE(text.find("driver=ODBC Driver 18;"), std::string::npos) << text;
  EXPECT_NE(text.find("server=db;"), std::string::npos) << text;
  EXPECT_NE(text.find("pwd={a;b};"), std::string::npos) << text;
  EXPECT_EQ(text.find("ClientCharset"), std::string::npos) << text;
  // FreeTDS is told to speak UTF-8, unless the string says otherwise.
  EXPECT_NE(OdbcConnectString(ConnectionString("Driver=FreeTDS;Server=db")).find(
                "ClientCharset=UTF-8;"),
            std::string::npos);
  EXPECT_NE(OdbcConnectString(ConnectionString("Driver=FreeTDS;ClientCharset=GB18030"))
                .find("clientcharset=GB18030;"),
            std::string::npos);
}

}  // namespace
}  // namespace ambit
