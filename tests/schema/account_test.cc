#include "schema/account.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/com_error.h"
#include "support/account_fixture.h"

namespace ambit::schema {
namespace {

using ::ambit::testing::Q;
using ::ambit::testing::Scalar;
using ::ambit::testing::ScalarInt;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::filesystem::path TempPath(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("ambit_schema_" + std::to_string(::getpid()) + "_" + name);
}

TEST(SplitBatchesTest, EndsLinesInCrLfAndRepeats) {
  EXPECT_THAT(SplitBatches("select 1\nGO 2\r\nselect 2\r\n-- end"),
              ElementsAre("select 1\r\n", "select 1\r\n", "select 2\r\n-- end\r\n"));
}

TEST(CreateAccountTest, FreshAccountHasEveryObjectAndNothingUnlisted) {
  std::vector<std::string> steps;
  ConnectionPtr conn =
      CreateAccount(":memory:", [&](std::string_view step) { steps.emplace_back(step); });
  EXPECT_THAT(steps, ElementsAre("tables.sql", "erp_tables.sql", "indexes.sql", "views.sql", "procedures.sql",
                                 "basedata.sql"));

  for (const std::string& name : SchemaObjectNames()) {
    EXPECT_EQ(Scalar(*conn, "SELECT CASE WHEN OBJECT_ID(" + Q(name) +
                                ") IS NULL THEN 'missing' ELSE 'ok' END"),
              "ok")
        << name;
  }
  // The constants list every table and view the scripts create, so code that names one
  // through schema::table can rely on it.
  std::set<std::string> listed;
  for (std::string_view name : table::kAllTables) listed.insert(Lower(name));
  for (std::string_view name : view::kAllViews) listed.insert(Lower(name));
  RecordsetPtr rs = conn->Execute(
      "SELECT name FROM sys.objects WHERE type IN ('U', 'V')");
  int seen = 0;
  for (; !rs->Eof(); rs->MoveNext(), ++seen) {
    std::string name = CStr(rs->Value(0));
    EXPECT_TRUE(listed.count(Lower(name))) << name << " is created but has no constant";
  }
  EXPECT_EQ(seen, static_cast<int>(listed.size()));
}

TEST(CreateAccountTest, FileAccountReopensWithItsSchema) {
  std::filesystem::path path = TempPath("file.db");
  std::filesystem::remove(path);
  {
    ConnectionPtr conn = CreateAccount(path.string());
    conn->Execute("INSERT INTO IC_Web2ERPOrders (FID, FOrderID) VALUES (7, 'A7')");
  }
  RegisterSqliteBackend();
  ConnectionPtr again = OpenConnection(SqliteConnectionString(path.string()));
  EXPECT_EQ(Scalar(*again, "SELECT FOrderID FROM IC_Web2ERPOrders WHERE FID = 7"), "A7");
  EXPECT_EQ(ScalarInt(*again, "SELECT COUNT(*) FROM t_User WHERE FUserID = 16394"), 1);

  // An existing account is never rebuilt over.
  try {
    CreateAccount(path.string());
    ADD_FAILURE() << "CreateAccount accepted an existing account";
  } catch (const ComError& e) {
    EXPECT_THAT(e.description(), HasSubstr("already exists"));
  }
  again.reset();
  std::filesystem::remove(path);
}

TEST(CreateAccountTest, FailingBatchNamesScriptAndLeavesNothingBehind) {
  RegisterSqliteBackend();
  ConnectionPtr conn = OpenConnection("Provider=SQLite;Data Source=:memory:");
  // A table of the schema already there: the first batch of tables.sql fails.
  conn->Execute("CREATE TABLE IC_Web2ERPOrders (FID int)");
  try {
    CreateAccountSchema(*conn);
    ADD_FAILURE() << "the schema was built over an existing table";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), kSchemaErrorSource);
    EXPECT_THAT(e.description(), HasSubstr("tables.sql, batch 1"));
  }
  EXPECT_EQ(conn->TransactionDepth(), 0);
  EXPECT_EQ(Scalar(*conn, "SELECT CASE WHEN OBJECT_ID('t_User') IS NULL THEN 'gone' END"),
            "gone");
}

TEST(CreateAccountTest, IndexesCanComeAfterABulkLoad) {
  std::vector<std::string> steps;
  ConnectionPtr conn = CreateAccount(
      ":memory:", [&](std::string_view step) { steps.emplace_back(step); },
      {.with_indexes = false});
  EXPECT_THAT(steps, ElementsAre("tables.sql", "erp_tables.sql", "views.sql", "procedures.sql",
                                 "basedata.sql"));
  auto index_count = [&] {
    return ScalarInt(*conn, "SELECT COUNT(*) FROM sys.indexes "
                            "WHERE name = 'IX_Web2ERPOrders_StatusPay'");
  };
  EXPECT_EQ(index_count(), 0);
  // Procedures and views work without them.
  EXPECT_EQ(ScalarInt(*conn, "Declare @k int\r\nexec GetICMaxNum 'IC_Web2ERPOrders', @k output"
                             "\r\nselect @k"),
            1);
  steps.clear();
  CreateSchemaIndexes(*conn, [&](std::string_view step) { steps.emplace_back(step); });
  EXPECT_THAT(steps, ElementsAre("indexes.sql"));
  EXPECT_EQ(index_count(), 1);
}

TEST(InstallScriptsTest, WritesTheEmbeddedScriptsAsFiles) {
  std::filesystem::path dir = TempPath("install");
  std::filesystem::remove_all(dir);
  std::vector<std::filesystem::path> files = InstallScripts(dir / "sql");
  ASSERT_EQ(files.size(), SchemaScriptFiles().size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].filename().string(), SchemaScriptFiles()[i].file_name);
    std::ifstream in(files[i], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), SchemaScriptFiles()[i].text);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ambit::schema
