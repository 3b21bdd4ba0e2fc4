// The shell's batch loop on the embedded engine: it must print every result set, report errors
// in SQL Server's "Msg N, Level L, State S, Line n" form and carry on, and count the failures
// for the exit code.
#include "cli/sql_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/com_error.h"

namespace ambit::cli {
namespace {

TEST(SqlCommandTest, AccountIsAConnectionStringOrAPath) {
  EXPECT_EQ(AccountConnectionString("data/demo.db"), "Provider=SQLite;Data Source=data/demo.db");
  EXPECT_EQ(AccountConnectionString("Provider=SQLite;Data Source=:memory:"),
            "Provider=SQLite;Data Source=:memory:");
}

TEST(SqlCommandTest, MissingAccountFileIsAnErrorNotANewDatabase) {
  SqlOptions options;
  options.account = "/nonexistent/dir/account.db";
  options.command = "SELECT 1";
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(RunSql(options, in, out, err), 1);
  EXPECT_NE(err.str().find("no account database"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace ambit::cli

#if __has_include("backends/sqlite/sqlite_connection.h")
namespace ambit::cli {
namespace {

// A server's connection string reaches the server or fails; it never makes an account file.
TEST(SqlCommandTest, ServerConnectionStringNeverCreatesAFile) {
  std::filesystem::path dir = ::testing::TempDir() + "ambit_sql_no_file";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  SqlOptions options;
  options.command = "SELECT 1";
  std::istringstream in;
  std::ostringstream out, err;
  options.account = "Driver=FreeTDS;Server=127.0.0.1;Port=1;Database=x;UID=sa;PWD=pw;LoginTimeout=2";
  int with_driver = RunSql(options, in, out, err);
  options.account = "Server=127.0.0.1;Port=1;Database=x;UID=sa;PWD=pw";
  int without = RunSql(options, in, out, err);
  bool created = !std::filesystem::is_empty(dir);
  std::filesystem::current_path(cwd);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(with_driver, 1);
  EXPECT_EQ(without, 1);
  EXPECT_FALSE(created);
  EXPECT_EQ(out.str(), "");
#ifdef AMBIT_HAVE_ODBC
  EXPECT_NE(err.str().find("Cannot connect to the database"), std::string::npos) << err.str();
#endif
  EXPECT_NE(err.str().find("names no database backend"), std::string::npos) << err.str();
}

// The whole command on the embedded engine: batches share one connection, an error is reported
// and the next batch still runs, and the exit code remembers the failure.
TEST(SqlCommandTest, RunsScriptOnTheEmbeddedEngine) {
  std::string script_path = ::testing::TempDir() + "ambit_sql_command_test.sql";
  {
    std::ofstream script(script_path);
    script << "CREATE TABLE #t (a int)\nGO\n"
              "INSERT INTO #t VALUES (1)\nINSERT INTO #t VALUES (2)\nGO\n"
              "SELECT * FROM nope\nGO\n"
              "SELECT SUM(a) AS s FROM #t\n";
  }
  SqlOptions options;
  options.account = "Data Source=:memory:";
  options.file = script_path;
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(RunSql(options, in, out, err), 1);
  EXPECT_EQ(err.str(), "Msg 208, Level 16, State 1, Line 6\nInvalid object name 'nope'.\n");
  EXPECT_NE(out.str().find("s\n-\n3\n\n(1 row affected)\n"), std::string::npos) << out.str();

  options.file.clear();
  // One JSON object a line per result set; a batch that only writes prints none.
  options.command = "SELECT 'x' AS c SELECT 2 AS n";
  options.json = true;
  out.str("");
  err.str("");
  EXPECT_EQ(RunSql(options, in, out, err), 0);
  EXPECT_EQ(out.str(),
            "{\"columns\":[{\"name\":\"c\",\"type\":\"varchar\",\"size\":1}],\"rows\":[[\"x\"]]}\n"
            "{\"columns\":[{\"name\":\"n\",\"type\":\"int\"}],\"rows\":[[2]]}\n");
  options.command = "DECLARE @t TABLE (a int) INSERT INTO @t VALUES (1)";
  out.str("");
  EXPECT_EQ(RunSql(options, in, out, err), 0);
  EXPECT_EQ(out.str() + err.str(), "");
  std::remove(script_path.c_str());
}

// ctest runs each test alone, so nothing else has registered the backends yet.
ConnectionPtr OpenMemory() {
  RegisterBackends();
  return OpenConnection("Data Source=:memory:");
}

// PRINT output appears where the batch printed it among the result sets; with --json it goes to
// standard error so that standard output stays one JSON object per line.
TEST(SqlCommandTest, PrintOutputKeepsItsPlaceAmongResults) {
  ConnectionPtr conn = OpenMemory();
  std::ostringstream out, err;
  EXPECT_TRUE(RunBatch(*conn, "PRINT 'first'\nSELECT 1 AS a\nPRINT N'中文'\nSELECT 2 AS b\n"
                       "RAISERROR('note %d', 10, 1, 7)",
                       {}, out, err));
  EXPECT_EQ(out.str(),
            "first\na\n-\n1\n\n(1 row affected)\n\n中文\nb\n-\n2\n\n(1 row affected)\n\nnote 7\n");
  EXPECT_EQ(err.str(), "");

  // A batch of PRINTs alone adds no "(0 rows affected)"; messages before an error still show.
  out.str("");
  EXPECT_TRUE(RunBatch(*conn, "PRINT 'only'", {}, out, err));
  EXPECT_EQ(out.str(), "only\n");
  out.str("");
  EXPECT_FALSE(RunBatch(*conn, "PRINT 'before'\nSELECT * FROM nope", {}, out, err));
  EXPECT_EQ(out.str(), "before\n");
  EXPECT_EQ(err.str(), "Msg 208, Level 16, State 1, Line 2\nInvalid object name 'nope'.\n");

  out.str("");
  err.str("");
  OutputOptions json;
  json.json = true;
  EXPECT_TRUE(RunBatch(*conn, "PRINT 'x'\nSELECT 1 AS a", json, out, err));
  EXPECT_EQ(out.str(), "{\"columns\":[{\"name\":\"a\",\"type\":\"int\"}],\"rows\":[[1]]}\n");
  EXPECT_EQ(err.str(), "x\n");
}

// The result sets a failed batch produced are shown, and the error where it happened among them:
// after the sets before a batch-ending error, and before the sets of the statements that ran
// on after a statement-terminating one.
TEST(SqlCommandTest, ResultsBeforeAnErrorAreShownInOrder) {
  ConnectionPtr conn = OpenMemory();
  std::ostringstream both;
  EXPECT_FALSE(RunBatch(*conn, "SELECT 1 AS a\nSELECT 1/0 AS b\nSELECT 2 AS c", {}, both, both));
  EXPECT_EQ(both.str(), "a\n-\n1\n\n(1 row affected)\n\n"
                        "Msg 8134, Level 16, State 1, Line 2\nDivide by zero error encountered.\n");

  both.str("");
  EXPECT_FALSE(RunBatch(*conn,
                        "CREATE TABLE #k (id int PRIMARY KEY)\nINSERT INTO #k VALUES (1)\n"
                        "SELECT 1 AS a\nPRINT 'between'\nINSERT INTO #k VALUES (1)\n"
                        "SELECT COUNT(*) AS n FROM #k",
                        {}, both, both));
  std::string text = both.str();
  size_t a = text.find("a\n-\n1\n");
  size_t between = text.find("between\n");
  size_t error = text.find("Msg 2627,");
  size_t n = text.find("n\n-\n1\n");
  EXPECT_TRUE(a < between && between < error && error < n && n != std::string::npos) << text;
}

// Levels, states, procedures and lines as SQL Server shows them; lines count in the script.
TEST(SqlCommandTest, ErrorsCarryLevelStateProcedureAndLine) {
  ConnectionPtr conn = OpenMemory();
  std::ostringstream out, err;
  RunScript(*conn,
            "SELECT 1 AS a\nGO\nSELECT 1 AS a\nSELECT FROM x\nGO\n"
            "CREATE PROCEDURE p AS\nBEGIN\n  RAISERROR('stop %s', 14, 3, 'here')\nEND\nGO\n"
            "EXEC p\n",
            {}, out, err);
  EXPECT_EQ(err.str(),
            "Msg 156, Level 15, State 1, Line 4\nIncorrect syntax near the keyword 'FROM'.\n"
            "Msg 50000, Level 14, State 3, Procedure p, Line 3\nstop here\n");
}

// The shell reads the account through T-SQL only: SQLite's own tables and table-valued pragmas
// (the database file's path among them) are no objects there, while the catalog views stay.
TEST(SqlCommandTest, SqliteInternalsAreInvalidObjects) {
  ConnectionPtr conn = OpenMemory();
  std::ostringstream out, err;
  EXPECT_EQ(RunScript(*conn,
                      "SELECT * FROM pragma_database_list\nGO\nSELECT name FROM sqlite_master\nGO\n"
                      "SELECT 1 FROM main.SQLITE_SCHEMA s\nGO\n"
                      "CREATE TABLE t (id int)\nSELECT COUNT(*) AS n FROM sys.tables\n",
                      {}, out, err),
            3);
  EXPECT_EQ(err.str(),
            "Msg 208, Level 16, State 1, Line 1\nInvalid object name 'pragma_database_list'.\n"
            "Msg 208, Level 16, State 1, Line 3\nInvalid object name 'sqlite_master'.\n"
            "Msg 208, Level 16, State 1, Line 5\nInvalid object name 'SQLITE_SCHEMA'.\n");
  EXPECT_NE(out.str().find("n\n-\n1\n"), std::string::npos) << out.str();
}

// Interactive input runs at each GO (GO n n times), stops at exit, and runs a last batch that
// ends without GO.
TEST(SqlCommandTest, InteractiveRunsAtGoAndStopsAtExit) {
  ConnectionPtr conn = OpenMemory();
  std::istringstream in("CREATE TABLE #n (v int)\nGO\nINSERT INTO #n VALUES (1)\nGO 2\n"
                        "SELECT * FROM nope\ngo\nexit\nINSERT INTO #n VALUES (9)\nGO\n");
  std::ostringstream out, err;
  EXPECT_EQ(RunInteractive(*conn, in, {}, false, out, err), 1);
  EXPECT_NE(err.str().find("Invalid object name 'nope'."), std::string::npos) << err.str();
  EXPECT_EQ(out.str(), "(0 rows affected)\n(1 row affected)\n(1 row affected)\n");
  std::istringstream piped("SELECT SUM(v) AS s FROM #n\n");
  out.str("");
  EXPECT_EQ(RunInteractive(*conn, piped, {}, false, out, err), 0);
  EXPECT_EQ(out.str(), "s\n-\n2\n\n(1 row affected)\n\n");
}

// \x switches the vertical display in the interactive shell; a table wider than the terminal
// turns vertical by itself.
TEST(SqlCommandTest, VerticalDisplayOnRequestAndForWideTables) {
  ConnectionPtr conn = OpenMemory();
  std::istringstream in("\\x\nSELECT 1 AS id, 'ab' AS name\nGO\n\\x off\nSELECT 1 AS id\nGO\n");
  std::ostringstream out, err;
  EXPECT_EQ(RunInteractive(*conn, in, {}, false, out, err), 0);
  EXPECT_EQ(out.str(),
            "Vertical display is on.\n"
            "-[ row 1 ]--------\nid   | 1\nname | ab\n\n(1 row affected)\n\n"
            "Vertical display is off.\n"
            "id\n--\n 1\n\n(1 row affected)\n\n");

  OutputOptions narrow;
  narrow.terminal_width = 11;
  out.str("");
  EXPECT_TRUE(RunBatch(*conn, "SELECT 1 AS id, 'abcdefgh' AS name", narrow, out, err));
  EXPECT_EQ(out.str(), "-[ row 1 ]--------\nid   | 1\nname | abcdefgh\n\n(1 row affected)\n\n");
  narrow.terminal_width = 12;  // "--  --------" fits just
  out.str("");
  EXPECT_TRUE(RunBatch(*conn, "SELECT 1 AS id, 'abcdefgh' AS name", narrow, out, err));
  EXPECT_EQ(out.str(), "id  name\n--  --------\n 1  abcdefgh\n\n(1 row affected)\n\n");
}

}  // namespace
}  // namespace ambit::cli
#endif
