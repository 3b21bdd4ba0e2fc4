// The engine end to end through a Session: variables, control flow, the UPDATE/DELETE ... FROM
// rewrites, procedures, transactions, temp tables and the translation cache.
#include "tsql/interpreter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "data/recordset_json.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

using ::testing::ElementsAre;
using Rows = std::vector<std::vector<std::string>>;

Rows ToRows(const RecordsetPtr& rs) {
  Rows out;
  if (!rs || !rs->IsOpen()) return out;
  for (const auto& row : rs->rows()) {
    std::vector<std::string> r;
    for (const Variant& v : row) r.push_back(v.IsNull() ? "NULL" : CStr(v));
    out.push_back(r);
  }
  return out;
}

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override { session_.Open(":memory:"); }

  Rows Query(const std::string& sql) { return ToRows(session_.Execute(sql)); }
  std::string Scalar(const std::string& sql) {
    Rows rows = Query(sql);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }
  int ErrorOf(const std::string& sql, std::string* message = nullptr) {
    try {
      session_.Execute(sql);
    } catch (const ComError& e) {
      if (message) *message = e.description();
      return e.number();
    }
    return 0;
  }

  Session session_;
};

TEST_F(InterpreterTest, SelectAssignmentKeepsLastRowAndIgnoresEmptyResults) {
  session_.Execute("CREATE TABLE t (id int, name varchar(10)) "
                   "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  EXPECT_EQ(Scalar("DECLARE @n varchar(10) SELECT @n = name FROM t ORDER BY id SELECT @n"), "c");
  EXPECT_EQ(Scalar("DECLARE @n varchar(10) = 'keep' SELECT @n = name FROM t WHERE id = 9 "
                   "SELECT @n"),
            "keep");
  // Accumulating into the variable itself sees every row in turn.
  EXPECT_EQ(Scalar("DECLARE @s varchar(100) = '' SELECT @s = @s + name + ',' FROM t ORDER BY id "
                   "SELECT @s"),
            "a,b,c,");
  // ...in the order ORDER BY gives, not the order SQLite reads the table in.
  EXPECT_EQ(Scalar("DECLARE @s varchar(100) = '' SELECT @s = @s + t.name FROM t ORDER BY id DESC "
                   "SELECT @s"),
            "cba");
  EXPECT_EQ(Scalar("DECLARE @i int SET @i = 2.9 SELECT @i"), "2");
  EXPECT_EQ(ErrorOf("SET @nope = 1"), 137);
  EXPECT_EQ(ErrorOf("DECLARE @a int DECLARE @a int"), 134);
  EXPECT_EQ(ErrorOf("DECLARE @a int SELECT @a = id, name FROM t"), 141);
}

TEST_F(InterpreterTest, ControlFlow) {
  EXPECT_EQ(Scalar("DECLARE @i int = 0, @s int = 0 "
                   "WHILE @i < 10 BEGIN SET @i += 1 IF @i % 2 = 0 CONTINUE "
                   "IF @i > 7 BREAK SET @s = @s + @i END SELECT @s"),
            "16");  // 1 + 3 + 5 + 7
  EXPECT_EQ(Scalar("IF 1 = 0 SELECT 'then' ELSE IF 'a' = 'A ' SELECT 'collation' ELSE SELECT 'x'"),
            "collation");
  EXPECT_EQ(Scalar("IF NOT EXISTS (SELECT 1 WHERE 1 = 0) BEGIN SELECT 'empty' RETURN END "
                   "SELECT 'after'"),
            "empty");
  session_.Execute("PRINT 'hello' RAISERROR('note %s %d', 5, 1, 'x', 7)");
  std::vector<std::string> texts;
  for (const InfoMessage& m : session_.messages()) texts.push_back(m.text);
  EXPECT_THAT(texts, ElementsAre("hello", "note x 7"));
  std::string message;
  EXPECT_EQ(ErrorOf("RAISERROR('Order %s is locked', 16, 1, 'A1')", &message), 50000);
  EXPECT_EQ(message, "Order A1 is locked");
}

TEST_F(InterpreterTest, UpdateFromJoinsUpdatesTheNamedInstanceOnly) {
  session_.Execute(
      "CREATE TABLE o (FID int, FStatus int, FShop varchar(10)) "
      "CREATE TABLE e (FEntryID int, FID int, FShop varchar(10), FFree int) "
      "INSERT INTO o VALUES (1, 0, 'S1'), (2, 0, 'S2'), (3, 0, NULL) "
      "INSERT INTO e VALUES (10, 1, '', 1), (11, 1, '', 0), (12, 2, '', 1)");
  // Alias target with an inner join: only the joined gift lines change.
  session_.Execute("UPDATE t1 SET t1.FShop = t2.FShop FROM e t1 INNER JOIN o t2 WITH(NOLOCK) "
                   "ON t1.FID = t2.FID WHERE t2.FID IN (1, 2) AND t1.FFree = 1");
  EXPECT_EQ(session_.rowcount, 2);
  EXPECT_EQ(Query("SELECT FEntryID, FShop FROM e ORDER BY FEntryID"),
            (Rows{{"10", "S1"}, {"11", ""}, {"12", "S2"}}));
  // LEFT JOIN: unmatched target rows still update (to NULL here).
  session_.Execute("Update t1 Set FStatus = isnull(t2.FFree, -1) + 5 FROM o t1 "
                   "LEFT JOIN e t2 on t2.FID = t1.FID and t2.FFree = 1");
  EXPECT_EQ(Query("SELECT FStatus FROM o ORDER BY FID"), (Rows{{"6"}, {"6"}, {"4"}}));
  // The table named after UPDATE appears once in FROM without alias: that instance.
  session_.Execute("UPDATE o SET FShop = 'X' FROM o WHERE FID = 3");
  EXPECT_EQ(Query("SELECT FID FROM o WHERE FShop = 'x'"), (Rows{{"3"}}));
  // A self-join by alias updates only the aliased instance's matching rows.
  session_.Execute("UPDATE a SET FStatus = 9 FROM o a JOIN o b ON b.FID = a.FID + 1 "
                   "WHERE b.FID = 2");
  EXPECT_EQ(Query("SELECT FID FROM o WHERE FStatus = 9"), (Rows{{"1"}}));
  // The variable gets the value before the update.
  EXPECT_EQ(Scalar("DECLARE @old int UPDATE o SET @old = FStatus, FStatus = FStatus + 1 "
                   "WHERE FID = 1 SELECT @old"),
            "9");
  EXPECT_EQ(Scalar("SELECT FStatus FROM o WHERE FID = 1"), "10");
  session_.Execute("UPDATE o SET FStatus += 5, FShop += '!' WHERE FID = 1");
  EXPECT_EQ(Query("SELECT FStatus, FShop FROM o WHERE FID = 1"), (Rows{{"15", "S1!"}}));
}

TEST_F(InterpreterTest, DeleteWithJoinRemovesOnlyTheTargetRows) {
  session_.Execute("CREATE TABLE a (id int) CREATE TABLE b (id int, flag int) "
                   "INSERT INTO a VALUES (1), (2), (3) INSERT INTO b VALUES (1, 1), (2, 0), (3, 1)");
  session_.Execute("DELETE t1 FROM a t0 INNER JOIN b t1 ON t0.id = t1.id WHERE t1.flag = 1");
  EXPECT_EQ(Query("SELECT id FROM b"), (Rows{{"2"}}));
  EXPECT_EQ(Query("SELECT COUNT(*) FROM a"), (Rows{{"3"}}));
  session_.Execute("Delete a Where id = 2");
  EXPECT_EQ(Query("SELECT id FROM a ORDER BY id"), (Rows{{"1"}, {"3"}}));
  session_.Execute("DELETE TOP (1) FROM a");
  EXPECT_EQ(session_.rowcount, 1);
}

TEST_F(InterpreterTest, StoreRulesAndIdentity) {
  session_.Execute("CREATE TABLE m (id int IDENTITY(100, 1) PRIMARY KEY, amt decimal(18,2), "
                   "qty int, code varchar(5))");
  session_.Execute("INSERT INTO m (amt, qty, code) VALUES (2.345, 7.9, 'abc')");
  EXPECT_EQ(Query("SELECT id, amt, qty, code FROM m"), (Rows{{"100", "2.35", "7", "abc"}}));
  EXPECT_EQ(Scalar("INSERT INTO m (amt) VALUES (-1.005) SELECT SCOPE_IDENTITY()"), "101");
  EXPECT_EQ(Scalar("SELECT @@IDENTITY"), "101");
  EXPECT_EQ(ErrorOf("INSERT INTO m (code) VALUES ('toolong')"), 8152);
  EXPECT_EQ(ErrorOf("UPDATE m SET qty = 'x'"), 245);
  // Text keeps a decimal's scale.
  session_.Execute("UPDATE m SET code = amt WHERE id = 100");
  EXPECT_EQ(Scalar("SELECT code FROM m WHERE id = 100"), "2.35");
  EXPECT_EQ(Scalar("SELECT 'n' + CAST(12.50 AS varchar(10))"), "n12.50");
  session_.Execute("TRUNCATE TABLE m INSERT INTO m (qty) VALUES (1)");
  EXPECT_EQ(Scalar("SELECT id FROM m"), "100");
}

TEST_F(InterpreterTest, ComparisonsConvertLikeSqlServer) {
  session_.Execute("CREATE TABLE n (id int, code varchar(10), at datetime) "
                   "INSERT INTO n VALUES (38193, '007', '2026/12/5'), (38194, '7 ', '20261206')");
  EXPECT_EQ(Query("SELECT id FROM n WHERE id = '38193'"), (Rows{{"38193"}}));
  EXPECT_EQ(Query("SELECT id FROM n WHERE code = 7 ORDER BY id"), (Rows{{"38193"}, {"38194"}}));
  EXPECT_EQ(Query("SELECT id FROM n WHERE code = '7'"), (Rows{{"38194"}}));
  EXPECT_EQ(Query("SELECT id FROM n WHERE at = '2026-12-05'"), (Rows{{"38193"}}));
  EXPECT_EQ(Query("SELECT id FROM n WHERE at >= '20261206'"), (Rows{{"38194"}}));
  EXPECT_EQ(Scalar("DECLARE @v varchar(5) = 'ABC' IF @v = 'abc  ' SELECT 1 ELSE SELECT 0"), "1");
  EXPECT_EQ(Scalar("SELECT 7 / 2"), "3");
  EXPECT_EQ(Scalar("SELECT 'a' + 'b' + CAST(1 AS varchar)"), "ab1");
  EXPECT_EQ(ErrorOf("SELECT 1 / 0"), 8134);
  EXPECT_EQ(ErrorOf("SELECT x.id FROM n"), 4104);
}

TEST_F(InterpreterTest, SelectIntoTempTablesAndXmlPath) {
  session_.Execute("CREATE TABLE s (id int, name nvarchar(20)) "
                   "INSERT INTO s VALUES (1, N'Pear'), (2, N'A&B'), (3, NULL)");
  session_.Execute("SELECT id, name, id * 2 AS twice INTO #copy FROM s WHERE id < 3");
  EXPECT_EQ(Query("SELECT id, twice FROM #copy WHERE name = 'PEAR'"), (Rows{{"1", "2"}}));
  EXPECT_EQ(session_.Columns("#copy")->at(1).decl_type, "nvarchar(20)");
  EXPECT_EQ(Scalar("IF OBJECT_ID('tempdb..#copy') IS NOT NULL SELECT 'there' ELSE SELECT 'gone'"),
            "there");
  session_.Execute("IF OBJECT_ID(N'tempdb..#copy',N'U') IS NOT NULL DROP TABLE #copy");
  EXPECT_EQ(ErrorOf("SELECT * FROM #copy"), 208);
  EXPECT_EQ(Scalar("SELECT STUFF((SELECT ',' + name FROM s ORDER BY id DESC FOR XML PATH('')), "
                   "1, 1, '')"),
            "A&amp;B,Pear");
  session_.Execute("CREATE TABLE #k (FID int) CREATE NONCLUSTERED INDEX idx_#k_FID ON #k(FID) "
                   "INSERT INTO #k SELECT id FROM s");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM #k"), "3");
  session_.Reset();
  EXPECT_EQ(ErrorOf("SELECT * FROM #k"), 208);
}

TEST_F(InterpreterTest, ProceduresWithOutputDefaultsAndResults) {
  session_.Execute("CREATE TABLE maxnum (tbl varchar(50), num int) "
                   "INSERT INTO maxnum VALUES ('orders', 1000)");
  session_.Execute("CREATE PROCEDURE GetICMaxNum @table varchar(50), @num int OUTPUT, "
                   "@step int = 1 AS BEGIN SET NOCOUNT ON "
                   "UPDATE maxnum SET @num = num + @step, num = num + @step WHERE tbl = @table "
                   "IF @@ROWCOUNT = 0 RETURN 1 SELECT @num AS issued RETURN 0 END");
  RecordsetPtr rs = session_.Execute(
      "Declare @lMaxNUm int, @rc int exec @rc = GetICMaxNum 'orders', @lMaxNUm output "
      "SELECT @lMaxNUm, @rc");
  EXPECT_EQ(ToRows(rs), (Rows{{"1001"}}));  // the procedure's own result comes first
  EXPECT_EQ(ToRows(rs->NextRecordset()), (Rows{{"1001", "0"}}));
  EXPECT_EQ(Scalar("DECLARE @n int, @rc int EXEC @rc = GetICMaxNum @num = @n OUT, "
                   "@table = 'none' SELECT @rc"),
            "1");
  EXPECT_EQ(ErrorOf("EXEC GetICMaxNum"), 201);
  EXPECT_EQ(ErrorOf("EXEC GetICMaxNum 'a', 1, 2, 3"), 8144);
  EXPECT_EQ(ErrorOf("EXEC NoSuchProc"), 2812);
  EXPECT_EQ(ErrorOf("CREATE PROCEDURE GetICMaxNum AS SELECT 1"), 2714);
  session_.Execute("ALTER PROCEDURE GetICMaxNum AS SELECT 'altered'");
  EXPECT_EQ(Scalar("GetICMaxNum"), "altered");
  EXPECT_EQ(Scalar("EXEC ('SELECT ''dynamic''')"), "dynamic");
  session_.Execute("CREATE TABLE #issued (n int, t varchar(10)) "
                   "INSERT INTO #issued (t) EXEC GetICMaxNum");
  EXPECT_EQ(Scalar("SELECT t FROM #issued"), "altered");
  EXPECT_EQ(ErrorOf("INSERT INTO #issued (n) EXEC GetICMaxNum"), 245);
  session_.Execute("DROP PROCEDURE GetICMaxNum");
  EXPECT_EQ(ErrorOf("DROP PROCEDURE GetICMaxNum"), 3701);
}

TEST_F(InterpreterTest, TransactionsNestAndRollBack) {
  session_.Execute("CREATE TABLE t (id int)");
  session_.Execute("BEGIN TRAN INSERT INTO t VALUES (1) BEGIN TRANSACTION "
                   "INSERT INTO t VALUES (2)");
  EXPECT_EQ(Scalar("SELECT @@TRANCOUNT"), "2");
  session_.Execute("COMMIT");
  EXPECT_EQ(session_.trancount(), 1);
  session_.Execute("ROLLBACK TRAN");
  EXPECT_EQ(session_.trancount(), 0);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t"), "0");
  EXPECT_EQ(ErrorOf("COMMIT"), 3902);
  EXPECT_EQ(ErrorOf("ROLLBACK"), 3903);
}

TEST_F(InterpreterTest, ResultsChainAndAffectedCounts) {
  session_.Execute("CREATE TABLE t (id int)");
  RecordsetPtr none = session_.Execute("INSERT INTO t VALUES (1), (2), (3)");
  EXPECT_FALSE(none->IsOpen());
  EXPECT_EQ(none->records_affected(), 3);
  RecordsetPtr first = session_.Execute("UPDATE t SET id = id + 1 SELECT @@ROWCOUNT AS n "
                                        "SELECT id FROM t WHERE 1 = 0");
  EXPECT_EQ(first->Field(0).name, "n");
  EXPECT_EQ(ToRows(first), (Rows{{"3"}}));
  RecordsetPtr second = first->NextRecordset();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->FieldCount(), 1);
  EXPECT_TRUE(second->rows().empty());
  // Scripts: GO separates batches, variables do not cross them.
  EXPECT_EQ(Scalar("DECLARE @x int = 1\nGO\nSELECT COUNT(*) FROM t"), "3");
  EXPECT_EQ(ErrorOf("DECLARE @x int = 1\nGO\nSELECT @x"), 137);
}

TEST_F(InterpreterTest, TranslationCacheReusesBatchesAndFollowsSchemaChanges) {
  session_.Execute("CREATE TABLE c (v decimal(10,1))");
  const std::string insert = "DECLARE @x float = 1.26 INSERT INTO c VALUES (@x)";
  session_.Execute(insert);
  int64_t hits = session_.cache_hits();
  session_.Execute(insert);
  EXPECT_EQ(session_.cache_hits(), hits + 1);
  EXPECT_EQ(Query("SELECT v FROM c"), (Rows{{"1.3"}, {"1.3"}}));
  // The same text after the table changed must store with the new column type.
  session_.Execute("DROP TABLE c CREATE TABLE c (v int)");
  session_.Execute(insert);
  EXPECT_EQ(Query("SELECT v FROM c"), (Rows{{"1"}}));
}

TEST_F(InterpreterTest, TryCatchCtesAndWindowFunctions) {
  session_.Execute("CREATE TABLE w (grp varchar(5), v int) "
                   "INSERT INTO w VALUES ('a', 3), ('a', 1), ('b', 2)");
  EXPECT_EQ(Query("DECLARE @x int BEGIN TRY SET @x = 1 / 0 SELECT 'not here' END TRY "
                  "BEGIN CATCH SELECT ERROR_NUMBER(), ERROR_MESSAGE(), @@ERROR END CATCH"),
            (Rows{{"8134", "Divide by zero error encountered.", "8134"}}));
  EXPECT_EQ(Scalar("SELECT ERROR_NUMBER()"), "NULL");
  // An error inside the handler still reaches the caller.
  EXPECT_EQ(ErrorOf("BEGIN TRY SELECT 1/0 END TRY BEGIN CATCH SELECT * FROM nowhere END CATCH"),
            208);
  EXPECT_EQ(Query("WITH s (g, total) AS (SELECT grp, SUM(v) FROM w GROUP BY grp) "
                  "SELECT g, total FROM s ORDER BY total DESC"),
            (Rows{{"a", "4"}, {"b", "2"}}));
  EXPECT_EQ(Query("SELECT grp, v, ROW_NUMBER() OVER (PARTITION BY grp ORDER BY v) AS rn, "
                  "SUM(v) OVER (PARTITION BY grp) AS s FROM w ORDER BY grp, v"),
            (Rows{{"a", "1", "1", "4"}, {"a", "3", "2", "4"}, {"b", "2", "1", "2"}}));
  EXPECT_EQ(ErrorOf("SELECT RANK() OVER (PARTITION BY grp) FROM w"), 4112);
}

TEST_F(InterpreterTest, TableVariablesLiveForTheirBatch) {
  session_.Execute("CREATE TABLE src (id int, name varchar(10)) "
                   "INSERT INTO src VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  EXPECT_EQ(Query("DECLARE @ids TABLE (id int PRIMARY KEY, tag varchar(5)), @n int = 0 "
                  "INSERT INTO @ids (id) SELECT id FROM src WHERE id > 1 "
                  "UPDATE @ids SET tag = 'x' WHERE id = 2 "
                  "DELETE FROM @ids WHERE id = 3 "
                  "SELECT s.name, i.tag FROM src s JOIN @ids i ON i.id = s.id"),
            (Rows{{"b", "x"}}));
  // Gone with the batch: the same declaration runs again, and no temp table is left.
  EXPECT_EQ(Scalar("DECLARE @ids TABLE (id int) SELECT COUNT(*) FROM @ids"), "0");
  EXPECT_TRUE(session_.TempTables().empty());
  EXPECT_EQ(ErrorOf("DECLARE @t TABLE (id int) DECLARE @t TABLE (id int)"), 134);
  EXPECT_TRUE(session_.TempTables().empty());
}

TEST_F(InterpreterTest, UnsupportedSyntaxFailsBeforeAnythingRuns) {
  session_.Execute("CREATE TABLE t (id int)");
  EXPECT_EQ(ErrorOf("INSERT INTO t VALUES (1) SELECT SUM(id) OVER (ORDER BY id ROWS BETWEEN 2 PRECEDING) "
                    "FROM t"),
            102);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t"), "0");
  EXPECT_EQ(ErrorOf("SELECT nosuchfn(1)"), 195);
}

}  // namespace
}  // namespace ambit::tsql

namespace ambit::tsql {
namespace {

// Expression columns carry SQL Server's type in the recordset, so that clients show decimals at
// their scale and the JSON of a result says what each column is.
TEST_F(InterpreterTest, ExpressionColumnsCarryTheirDeclaredTypes) {
  session_.Execute("CREATE TABLE p (x decimal(18,2), m money, n int) "
                   "INSERT INTO p VALUES (2.30, 12.5, 3), (1.05, 0.25, 4)");
  RecordsetPtr rs = session_.Execute(
      "SELECT x * 2 AS twice, SUM(x) OVER () AS total, CAST(2.3 AS decimal(10,2)) AS c, "
      "x / 3 AS third, m * 2 AS mm, N'中文' AS nv, 1.5 AS lit, CAST(1 AS bit) AS b, n + 1 AS k "
      "FROM p ORDER BY n");
  struct Expected {
    DataType type;
    int precision, scale;
  };
  const Expected expected[] = {{DataType::kDecimal, 20, 2}, {DataType::kDecimal, 38, 2},
                               {DataType::kDecimal, 10, 2}, {DataType::kDecimal, 22, 6},
                               {DataType::kCurrency, 19, 4}, {DataType::kVarWChar, 0, 0},
                               {DataType::kNumeric, 2, 1},   {DataType::kBoolean, 0, 0},
                               {DataType::kInteger, 0, 0}};
  ASSERT_EQ(rs->FieldCount(), 9);
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(rs->Field(i).name);
    EXPECT_EQ(rs->Field(i).type, expected[i].type);
    if (expected[i].precision) {
      EXPECT_EQ(rs->Field(i).precision, expected[i].precision);
      EXPECT_EQ(rs->Field(i).scale, expected[i].scale);
    }
  }
  EXPECT_EQ(rs->Field(5).defined_size, 2);
  RecordsetPtr starred = session_.Execute("SELECT p.*, x * 2 AS twice FROM p");
  ASSERT_EQ(starred->FieldCount(), 4);
  EXPECT_EQ(starred->Field(3).type, DataType::kDecimal);
  EXPECT_EQ(starred->Field(3).precision, 20);
  EXPECT_EQ(rs->rows()[0][7].type(), VarType::kBoolean);
  // Values come rounded to the scale, and JSON keeps them numbers with the type beside them.
  nlohmann::ordered_json j = RecordsetToJson(*rs);
  EXPECT_EQ(j["columns"][0], nlohmann::ordered_json::parse(
                                 R"({"name":"twice","type":"decimal","precision":20,"scale":2})"));
  EXPECT_EQ(j["columns"][5]["type"], "nvarchar");
  EXPECT_EQ(j["columns"][6]["type"], "numeric");
  EXPECT_EQ(j["rows"][0][0], 4.6);
  EXPECT_EQ(j["rows"][0][3], 0.766666);
  EXPECT_EQ(j["rows"][1][3], 0.35);

  // Typing nested operators looks at each operand once: forty levels take no time at all.
  std::string nested = "CAST(1 AS decimal(10,2))";
  for (int i = 0; i < 40; ++i) nested = "(" + nested + " + 1)";
  RecordsetPtr deep = session_.Execute("SELECT " + nested + " AS d");
  EXPECT_EQ(deep->Field(0).precision, 38);
  EXPECT_EQ(deep->Field(0).scale, 2);
  EXPECT_EQ(CDbl(deep->rows()[0][0]), 41.0);
}

}  // namespace
}  // namespace ambit::tsql
