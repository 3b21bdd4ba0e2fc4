// Lifting literals into parameters: which constants move, which stay, and that SQLite answers
// the lifted statements exactly as it answers the written ones.
#include "tsql/sql_literals.h"

#include <gtest/gtest.h>

#include <string>

#include "tsql/sqlite_db.h"

namespace ambit::tsql {
namespace {

// The lifted text, or "unchanged".
std::string Lifted(const std::string& sql, size_t bound = 0, LiftedSql* out = nullptr) {
  LiftedSql lifted;
  if (!LiftLiterals(sql, bound, &lifted)) return "unchanged";
  if (out) *out = lifted;
  return lifted.sql;
}

TEST(LiftLiteralsTest, ConstantsBecomeParametersWithTheirStorageClass) {
  LiftedSql out;
  EXPECT_EQ(Lifted("SELECT a FROM t WHERE b = 'x''y' AND c = 12 AND d = 1.50 AND e = -3 "
                   "AND f = 3000000000 AND g = 1e3",
                   0, &out),
            "SELECT a FROM t WHERE b = ?1 AND c = ?2 AND d = ?3 AND e = -?4 AND f = ?5 AND g = ?6");
  ASSERT_EQ(out.values.size(), 6u);
  EXPECT_EQ(out.values[0], Variant("x'y"));
  EXPECT_EQ(out.values[1], Variant(int32_t{12}));
  EXPECT_EQ(out.values[2], Variant(1.5));
  EXPECT_EQ(out.values[4], Variant(int64_t{3000000000}));
  EXPECT_EQ(out.values[5], Variant(1000.0));
  // Numbered after the statement's own parameters and after the values the caller binds.
  EXPECT_EQ(Lifted("UPDATE t SET a = ?2 WHERE b = 'q'", 1), "UPDATE t SET a = ?2 WHERE b = ?3");
  EXPECT_EQ(Lifted("UPDATE t SET a = ?2 WHERE b = 'q'", 3), "UPDATE t SET a = ?2 WHERE b = ?4");
  // Without a result to name, an INSERT's select lists lift too (also after WITH); GROUP BY 1
  // names a column.
  EXPECT_EQ(Lifted("WITH s(a, b) AS (SELECT 'x', (1) FROM u) INSERT INTO t SELECT a, 2 FROM s"),
            "WITH s(a, b) AS (SELECT ?1, (?2) FROM u) INSERT INTO t SELECT a, ?3 FROM s");
  EXPECT_EQ(Lifted("WITH s(a) AS (SELECT 'x' FROM u) SELECT a, 2 FROM s WHERE a = 'y'"),
            "WITH s(a) AS (SELECT 'x' FROM u) SELECT a, 2 FROM s WHERE a = ?1");
  EXPECT_EQ(Lifted("INSERT INTO t SELECT 'a', 2 FROM u GROUP BY 1 HAVING count(*) > 1"),
            "INSERT INTO t SELECT ?1, ?2 FROM u GROUP BY 1 HAVING count(*) > ?3");
}

TEST(LiftLiteralsTest, ConstantsThatShapeTheStatementStay) {
  // Result names, ORDER BY positions (parenthesised too), aliases and type arguments.
  EXPECT_EQ(Lifted("SELECT 1, 'a' AS x, (SELECT 2) FROM t WHERE k = 2 ORDER BY 1, (2) LIMIT 5"),
            "SELECT 1, 'a' AS x, (SELECT 2) FROM t WHERE k = ?1 ORDER BY 1, (2) LIMIT ?2");
  EXPECT_EQ(Lifted("DELETE FROM t WHERE CAST(b AS NUMERIC(18, 2)) = 3.5 AND c IN "
                   "(SELECT 7 FROM u WHERE d = 'z' ORDER BY 1)"),
            "DELETE FROM t WHERE CAST(b AS NUMERIC(18, 2)) = ?1 AND c IN "
            "(SELECT ?2 FROM u WHERE d = ?3 ORDER BY 1)");
  EXPECT_EQ(Lifted("UPDATE \"t 1\" SET [x 2] = X'AB' + 0x1F + 99999999999999999999 -- 'c'\n"),
            "unchanged");
  for (const char* sql : {"CREATE TABLE t (a int DEFAULT 1)", "SELECT a FROM t WHERE b = :x",
                          "DELETE FROM t WHERE a = 1; DELETE FROM u", "INSERT INTO t VALUES (?)",
                          "SELECT 'unclosed FROM t WHERE a = 1", "PRAGMA user_version = 3"}) {
    EXPECT_EQ(Lifted(sql), "unchanged") << sql;
  }
}

TEST(LiftLiteralsTest, SqliteAnswersLiftedStatementsAsWritten) {
  SqliteDb db;
  db.Open(":memory:");
  db.ExecScript(
      "CREATE TABLE t (k INTEGER PRIMARY KEY, txt TEXT, num NUMERIC, r REAL);"
      "INSERT INTO t VALUES (1, '5', 5, 1.5), (2, 'b', 7, 2.5), (3, '10', 10, 3.5);");
  size_t before = db.cache_size();
  for (int k = 1; k <= 3; ++k) {
    db.Exec("UPDATE t SET r = r + " + std::to_string(k) + ".25 WHERE k = " + std::to_string(k));
  }
  EXPECT_EQ(db.cache_size(), before + 1);  // three texts, one prepared statement
  EXPECT_EQ(db.Query("SELECT r FROM t WHERE k = 3")->rows().at(0)[0], Variant(6.75));
  // Affinity: a text column against a number, a numeric column against text.
  EXPECT_EQ(db.Query("SELECT k FROM t WHERE txt = 5")->rows().size(), 1u);
  EXPECT_EQ(db.Query("SELECT k FROM t WHERE num = '7'")->rows().at(0)[0], Variant(int32_t{2}));
  EXPECT_EQ(db.Query("SELECT k FROM t WHERE txt > '2' ORDER BY 1 DESC")->rows().at(0)[0],
            Variant(int32_t{2}));
  // Integer division and text typing stay those of the literal.
  RecordsetPtr rs = db.Query("SELECT k FROM t WHERE k = 7 / 2 AND typeof(txt || 1) = 'text'");
  EXPECT_EQ(rs->rows().at(0)[0], Variant(int32_t{3}));
  // Result names are the expression as written.
  rs = db.Query("SELECT k + 1, 'x' FROM t WHERE k = 1");
  EXPECT_EQ(rs->Field(0).name, "k + 1");
  EXPECT_EQ(rs->Field(1).name, "'x'");
  // A constant SQLite needs in the text (here a string alias) falls back to the text as written.
  EXPECT_EQ(db.Exec("INSERT INTO t (txt) SELECT 'q' 'alias'"), 1);
  EXPECT_EQ(db.Query("SELECT count(*) FROM t WHERE txt = 'q'")->rows().at(0)[0],
            Variant(int32_t{1}));
}

}  // namespace
}  // namespace ambit::tsql
