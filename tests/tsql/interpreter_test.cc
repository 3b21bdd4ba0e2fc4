// The engine through a Session: what the corpus cannot see (messages, affected counts, the
// translation cache, temp-table bookkeeping, the types of result columns).
#include "tsql/interpreter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/recordset_json.h"
#include "session_test_base.h"

namespace ambit::tsql {
namespace {

using ::testing::ElementsAre;
using InterpreterTest = SessionTestBase;

// What a batch leaves on the Session beside its result sets; the T-SQL semantics themselves are
// in the corpus (tests/tsql/corpus).
TEST_F(InterpreterTest, MessagesAffectedCountsAndResultChains) {
  session_.Execute("PRINT 'hello' RAISERROR('note %s %d', 5, 1, 'x', 7)");
  std::vector<std::string> texts;
  for (const InfoMessage& m : session_.messages()) texts.push_back(m.text);
  EXPECT_THAT(texts, ElementsAre("hello", "note x 7"));
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
  session_.Execute("DELETE TOP (1) FROM t");
  EXPECT_EQ(session_.rowcount, 1);
  session_.Execute("BEGIN TRAN BEGIN TRAN COMMIT");
  EXPECT_EQ(session_.trancount(), 1);
  session_.Execute("ROLLBACK");
  EXPECT_EQ(session_.trancount(), 0);
}

TEST_F(InterpreterTest, TempTablesKeepTheirTypesAndEndWithResetOrTheBatch) {
  session_.Execute("CREATE TABLE s (id int, name nvarchar(20)) INSERT INTO s VALUES (1, N'Pear') "
                   "SELECT id, name INTO #copy FROM s");
  EXPECT_EQ(session_.Columns("#copy")->at(1).decl_type, "nvarchar(20)");
  session_.Reset();
  EXPECT_EQ(ErrorOf("SELECT * FROM #copy"), 208);
  // Table variables are temp tables underneath: none may outlive its batch, even a failed one.
  EXPECT_EQ(Scalar("DECLARE @ids TABLE (id int) SELECT COUNT(*) FROM @ids"), "0");
  EXPECT_TRUE(session_.TempTables().empty());
  EXPECT_EQ(ErrorOf("DECLARE @t TABLE (id int) DECLARE @t TABLE (id int)"), 134);
  EXPECT_TRUE(session_.TempTables().empty());
}

TEST_F(InterpreterTest, TranslationCacheReusesBatchesAndFollowsSchemaChanges) {
  session_.Execute("CREATE TABLE c (v decimal(10,1))");
  const std::string insert = "DECLARE @x float = 1.26 INSERT INTO c VALUES (@x)";
  // A text is kept when it comes back, not the first time: texts that run once (values as
  // literals) must not fill the cache.
  size_t kept = session_.cache_size();
  session_.Execute(insert);
  EXPECT_EQ(session_.cache_size(), kept);
  for (int i = 0; i < 50; ++i) session_.Execute("INSERT INTO c VALUES (" + std::to_string(i) + ")");
  EXPECT_EQ(session_.cache_size(), kept);
  int64_t hits = session_.cache_hits();
  session_.Execute(insert);
  EXPECT_EQ(session_.cache_size(), kept + 1);
  EXPECT_EQ(session_.cache_hits(), hits);
  session_.Execute(insert);
  EXPECT_EQ(session_.cache_hits(), hits + 1);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM c WHERE v = 1.3"), (Rows{{"3"}}));
  // The cap is in bytes: two texts that each take over half of it are not kept together.
  const size_t big = Session::kTranslationCacheBytes / Session::kParsedBytesPerTextByte / 2 + 1;
  const std::string a = "SELECT 1 /*" + std::string(big, 'a') + "*/";
  const std::string b = "SELECT 2 /*" + std::string(big, 'b') + "*/";
  for (int i = 0; i < 2; ++i) session_.Execute(a);
  hits = session_.cache_hits();
  session_.Execute(a);
  EXPECT_EQ(session_.cache_hits(), hits + 1);
  for (int i = 0; i < 2; ++i) session_.Execute(b);
  session_.Execute(a);
  EXPECT_EQ(session_.cache_hits(), hits + 1);
  // The same text after the table changed must store with the new column type.
  session_.Execute("DROP TABLE c CREATE TABLE c (v int)");
  session_.Execute(insert);
  EXPECT_EQ(Query("SELECT v FROM c"), (Rows{{"1"}}));
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

namespace ambit::tsql {
namespace {

// OUTPUT columns keep the names of the columns they read (deleted.n of an UPDATE comes from the
// kept old row); binary results are typed varbinary and read as 0x and hexadecimal.
TEST_F(InterpreterTest, OutputColumnNamesAndBinaryResults) {
  session_.Execute("CREATE TABLE o (n int, b varbinary(8)) INSERT INTO o VALUES (1, 0x0A)");
  RecordsetPtr rs = session_.Execute(
      "UPDATE o SET n = n + 1 OUTPUT deleted.n, inserted.n, deleted.n + 10 AS m, inserted.b");
  ASSERT_EQ(rs->FieldCount(), 4);
  EXPECT_EQ(rs->Field(0).name, "n");
  EXPECT_EQ(rs->Field(1).name, "n");
  EXPECT_EQ(rs->Field(2).name, "m");
  EXPECT_EQ(rs->Field(3).name, "b");
  EXPECT_EQ(ToRows(rs), (Rows{{"1", "2", "11", "0x0A"}}));
  RecordsetPtr bin = session_.Execute("SELECT 0x00FF10 AS lit, b FROM o");
  EXPECT_EQ(bin->Field(0).type, DataType::kVarBinary);
  EXPECT_EQ(bin->Field(0).defined_size, 3);
  EXPECT_EQ(bin->Field(1).type, DataType::kVarBinary);
  EXPECT_EQ(bin->Field(1).defined_size, 8);
  EXPECT_EQ(ToRows(bin), (Rows{{"0x00FF10", "0x0A"}}));
}

}  // namespace
}  // namespace ambit::tsql
