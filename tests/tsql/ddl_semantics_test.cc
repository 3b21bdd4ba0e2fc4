// Tables, keys, indexes and views made by the engine: text keys follow the collation, defaults
// and identities behave as on SQL Server, and DDL errors carry SQL Server's numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

class DdlSemanticsTest : public ::testing::Test {
 protected:
  void SetUp() override { session_.Open(":memory:"); }

  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> out;
    RecordsetPtr rs = session_.Execute(sql);
    for (const auto& row : rs->rows()) out.push_back(row[0].IsNull() ? "NULL" : CStr(row[0]));
    return out;
  }
  int ErrorOf(const std::string& sql) {
    try {
      session_.Execute(sql);
    } catch (const ComError& e) {
      return e.number();
    }
    return 0;
  }

  Session session_;
};

TEST_F(DdlSemanticsTest, TextKeysAndGroupingIgnoreCaseAndTrailingBlanks) {
  session_.Execute("CREATE TABLE k (code varchar(10) PRIMARY KEY, n int NOT NULL DEFAULT 5)");
  session_.Execute("INSERT INTO k (code) VALUES ('Ab')");
  EXPECT_EQ(ErrorOf("INSERT INTO k (code) VALUES ('aB  ')"), 2627);
  EXPECT_EQ(ErrorOf("INSERT INTO k (code, n) VALUES ('x', NULL)"), 515);
  session_.Execute("INSERT INTO k VALUES ('b', 1) DELETE FROM k WHERE code = 'B '");
  EXPECT_EQ(Column("SELECT code FROM k ORDER BY code"), (std::vector<std::string>{"Ab"}));
  EXPECT_EQ(Column("SELECT n FROM k"), (std::vector<std::string>{"5"}));
  session_.Execute("CREATE TABLE g (name nvarchar(10)) "
                   "INSERT INTO g VALUES ('pear'), ('PEAR'), ('Pear '), ('apple')");
  EXPECT_EQ(Column("SELECT COUNT(*) FROM g GROUP BY name ORDER BY COUNT(*)"),
            (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Column("SELECT COUNT(DISTINCT name) FROM g"), (std::vector<std::string>{"2"}));
}

TEST_F(DdlSemanticsTest, DefaultsComputedColumnsAndIdentitySeeds) {
  session_.Execute("CREATE TABLE d (id int IDENTITY(10, 1), made datetime DEFAULT (GETDATE()), "
                   "qty int, twice AS (qty * 2), note varchar(5) DEFAULT 'none')");
  session_.Execute("INSERT INTO d (qty) VALUES (4) INSERT INTO d (qty, note) VALUES (1, DEFAULT)");
  EXPECT_EQ(Column("SELECT id FROM d ORDER BY id"), (std::vector<std::string>{"10", "11"}));
  EXPECT_EQ(Column("SELECT twice FROM d WHERE id = 10"), (std::vector<std::string>{"8"}));
  EXPECT_EQ(Column("SELECT note FROM d WHERE id = 11"), (std::vector<std::string>{"none"}));
  EXPECT_EQ(Column("SELECT COUNT(*) FROM d WHERE made IS NOT NULL"),
            (std::vector<std::string>{"2"}));
  // An identity beside another declared key keeps that key unique.
  session_.Execute("CREATE TABLE p (id int IDENTITY, code varchar(5), PRIMARY KEY (code))");
  session_.Execute("INSERT INTO p (code) VALUES ('a')");
  EXPECT_EQ(ErrorOf("INSERT INTO p (code) VALUES ('A')"), 2627);
  EXPECT_EQ(ErrorOf("CREATE TABLE q (a int IDENTITY, b int IDENTITY)"), 2744);
}

TEST_F(DdlSemanticsTest, IndexesViewsAndDrops) {
  session_.Execute("CREATE TABLE a (id int, v varchar(5)) CREATE TABLE b (id int) "
                   "CREATE UNIQUE INDEX ix ON a (id) CREATE INDEX ix ON b (id DESC)");
  EXPECT_EQ(ErrorOf("INSERT INTO a VALUES (1, 'x'), (1, 'y')"), 2601);
  session_.Execute("DROP INDEX ix ON a INSERT INTO a VALUES (1, 'x'), (1, 'y')");
  EXPECT_EQ(ErrorOf("DROP INDEX a.ix"), 3701);
  session_.Execute("DROP INDEX b.ix");
  session_.Execute("CREATE VIEW va AS SELECT id, v FROM a WHERE v <> 'y'");
  EXPECT_EQ(Column("SELECT v FROM va"), (std::vector<std::string>{"x"}));
  session_.Execute("ALTER VIEW va AS SELECT COUNT(*) AS n FROM a");
  EXPECT_EQ(Column("SELECT n FROM va"), (std::vector<std::string>{"2"}));
  EXPECT_EQ(Column("IF OBJECT_ID('va') IS NOT NULL SELECT 'view'"),
            (std::vector<std::string>{"view"}));
  EXPECT_EQ(ErrorOf("CREATE VIEW vv AS SELECT @x AS y"), 4145);
  EXPECT_EQ(ErrorOf("DROP TABLE va"), 3701);  // a view is no table
  session_.Execute("DROP VIEW va DROP TABLE IF EXISTS a, nothere");
  EXPECT_EQ(ErrorOf("SELECT * FROM a"), 208);
  EXPECT_EQ(ErrorOf("DROP TABLE a"), 3701);
  EXPECT_EQ(ErrorOf("TRUNCATE TABLE a"), 4701);
}

TEST_F(DdlSemanticsTest, TempTablesAreTheConnectionsOwn) {
  session_.Execute("CREATE TABLE #t (FID int) INSERT INTO #t VALUES (1)");
  EXPECT_EQ(ErrorOf("CREATE TABLE #t (FID int)"), 2714);
  EXPECT_EQ(Column("SELECT COUNT(*) FROM tempdb..#t"), (std::vector<std::string>{"1"}));
  Session other;
  other.Open(":memory:");
  EXPECT_EQ(other.TempTables().size(), 0u);
  EXPECT_EQ(session_.TempTables(), (std::vector<std::string>{"#t"}));
  // A procedure's own temp tables end with the call; the caller's stay.
  session_.Execute("CREATE PROCEDURE mk AS BEGIN CREATE TABLE #inner (x int) "
                   "INSERT INTO #t VALUES (2) END");
  session_.Execute("EXEC mk");
  EXPECT_EQ(session_.TempTables(), (std::vector<std::string>{"#t"}));
  EXPECT_EQ(Column("SELECT COUNT(*) FROM #t"), (std::vector<std::string>{"2"}));
}

}  // namespace
}  // namespace ambit::tsql
