// SqliteDb: column types and values of recordsets, parameters, the statement cache, and the
// SQL Server numbers SQLite's errors become.
#include "tsql/sqlite_db.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

using ::testing::HasSubstr;

class SqliteDbTest : public ::testing::Test {
 protected:
  void SetUp() override { db_.Open(":memory:"); }

  // The error a statement raises, as "number|description".
  std::string Error(const std::string& sql) {
    try {
      db_.Exec(sql);
    } catch (const ComError& e) {
      EXPECT_EQ(e.source(), kErrorSource);
      return std::to_string(e.number()) + "|" + e.description();
    }
    return "no error";
  }

  SqliteDb db_;
};

TEST(FieldInfoFromDeclTypeTest, ParsesSizesPrecisionAndScale) {
  FieldInfo f = FieldInfoFromDeclType("decimal(18,2)");
  EXPECT_EQ(f.type, DataType::kDecimal);
  EXPECT_EQ(f.precision, 18);
  EXPECT_EQ(f.scale, 2);
  f = FieldInfoFromDeclType("NUMERIC (10)");
  EXPECT_EQ(f.type, DataType::kNumeric);
  EXPECT_EQ(f.precision, 10);
  EXPECT_EQ(f.scale, 0);
  // Words after the type name only steer SQLite's affinity.
  f = FieldInfoFromDeclType("decimal float(18, 4)");
  EXPECT_EQ(f.type, DataType::kDecimal);
  EXPECT_EQ(f.scale, 4);
  f = FieldInfoFromDeclType("NVARCHAR(50)");
  EXPECT_EQ(f.type, DataType::kVarWChar);
  EXPECT_EQ(f.defined_size, 50);
  f = FieldInfoFromDeclType("varchar(max)");
  EXPECT_EQ(f.type, DataType::kLongVarChar);
  EXPECT_EQ(FieldInfoFromDeclType("char(4)").defined_size, 4);
  EXPECT_EQ(FieldInfoFromDeclType("[datetime]").type, DataType::kDate);
  EXPECT_EQ(FieldInfoFromDeclType("money").scale, 4);
  EXPECT_EQ(FieldInfoFromDeclType("bit").type, DataType::kBoolean);
  EXPECT_EQ(FieldInfoFromDeclType("INTEGER").type, DataType::kInteger);
  EXPECT_EQ(FieldInfoFromDeclType("blob").type, DataType::kVariant);
  EXPECT_EQ(FieldInfoFromDeclType("").type, DataType::kVariant);
}

TEST_F(SqliteDbTest, RecordsetTypesAndValuesFollowTheDeclaredColumns) {
  db_.ExecScript(
      "CREATE TABLE t (id int, big bigint, price decimal(18,2), name nvarchar(50), "
      "  code char(4), d datetime, flag bit, f float, m money);"
      "INSERT INTO t VALUES (1, 5000000000, 2.345, 'Ann', 'AB  ', '2026-12-05 10:00:00', 1, "
      "  0.5, 3);");
  RecordsetPtr rs = db_.Query("SELECT * FROM t");
  ASSERT_EQ(rs->FieldCount(), 9);
  ASSERT_EQ(rs->rows().size(), 1u);
  const auto& row = rs->rows()[0];
  EXPECT_EQ(rs->Field(0).name, "id");
  EXPECT_EQ(rs->Field(0).type, DataType::kInteger);
  EXPECT_EQ(row[0], Variant(int32_t{1}));
  EXPECT_EQ(rs->Field(1).type, DataType::kBigInt);
  EXPECT_EQ(row[1], Variant(int64_t{5000000000}));
  EXPECT_EQ(rs->Field(2).type, DataType::kDecimal);
  EXPECT_EQ(rs->Field(2).scale, 2);
  EXPECT_EQ(row[2], Variant(2.35));  // rounded to the column's scale on the way out
  EXPECT_EQ(rs->Field(3).type, DataType::kVarWChar);
  EXPECT_EQ(rs->Field(3).defined_size, 50);
  EXPECT_EQ(row[3], Variant("Ann"));
  EXPECT_EQ(rs->Field(4).type, DataType::kChar);
  EXPECT_EQ(rs->Field(5).type, DataType::kDate);
  EXPECT_EQ(row[5], Variant("2026-12-05 10:00:00"));
  EXPECT_EQ(rs->Field(6).type, DataType::kBoolean);
  EXPECT_EQ(row[6], Variant(true));
  EXPECT_EQ(row[7], Variant(0.5));
  EXPECT_EQ(rs->Field(8).type, DataType::kCurrency);
  EXPECT_EQ(row[8], Variant(3.0));
}

TEST_F(SqliteDbTest, ExpressionColumnsTakeTheTypeOfTheirFirstValue) {
  db_.ExecScript("CREATE TABLE n (v); INSERT INTO n VALUES (NULL), (7), (8000000000);");
  RecordsetPtr rs = db_.Query("SELECT v + 0 AS x, 'a' AS s, 1.5 AS r, NULL AS z FROM n");
  EXPECT_EQ(rs->Field(0).name, "x");
  EXPECT_EQ(rs->Field(0).type, DataType::kInteger);
  EXPECT_EQ(rs->Field(1).type, DataType::kVarChar);
  EXPECT_EQ(rs->Field(2).type, DataType::kDouble);
  EXPECT_EQ(rs->Field(3).type, DataType::kVariant);
  ASSERT_EQ(rs->rows().size(), 3u);
  EXPECT_TRUE(rs->rows()[0][0].IsNull());
  EXPECT_EQ(rs->rows()[1][0], Variant(int32_t{7}));
  EXPECT_EQ(rs->rows()[2][0], Variant(int64_t{8000000000}));  // Long only when it fits
  EXPECT_EQ(rs->records_affected(), -1);
}

TEST_F(SqliteDbTest, ParametersBindEveryVariantKind) {
  RecordsetPtr rs = db_.Query("SELECT ?1, ?2, ?3, ?4, ?5, typeof(?6), ?7",
                              {Variant(int16_t{3}), Variant(int64_t{1} << 40), Variant(1.25),
                               Variant("x'y"), Variant(true), Variant(), Variant(Date{46361.25})});
  const auto& row = rs->rows().at(0);
  EXPECT_EQ(row[0], Variant(int32_t{3}));
  EXPECT_EQ(row[1], Variant(int64_t{1} << 40));
  EXPECT_EQ(row[2], Variant(1.25));
  EXPECT_EQ(row[3], Variant("x'y"));
  EXPECT_EQ(row[4], Variant(int32_t{1}));
  EXPECT_EQ(row[5], Variant("null"));
  EXPECT_EQ(row[6], Variant("2026-12-05 06:00:00"));
  // Bindings do not leak into the next run of the cached statement.
  rs = db_.Query("SELECT ?1, ?2, ?3, ?4, ?5, typeof(?6), ?7", {Variant(1)});
  EXPECT_TRUE(rs->rows().at(0)[1].IsNull());
  auto object = std::make_shared<Recordset>();
  try {
    db_.Query("SELECT ?1", {Variant(object)});
    ADD_FAILURE() << "an object bound";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
  }
}

TEST_F(SqliteDbTest, StatementCacheReusesAndEvicts) {
  SqliteDb db(2);
  db.Open(":memory:");
  db.Query("SELECT 1");
  db.Query("SELECT 1");
  EXPECT_EQ(db.cache_hits(), 1);
  EXPECT_EQ(db.cache_misses(), 1);
  db.Query("SELECT 2");
  db.Query("SELECT 3");  // evicts the least recently used, SELECT 1
  EXPECT_EQ(db.cache_size(), 2u);
  db.Query("SELECT 3");
  EXPECT_EQ(db.cache_hits(), 2);
  db.Query("SELECT 1");
  EXPECT_EQ(db.cache_misses(), 4);
  EXPECT_EQ(db.Query("SELECT 1")->rows().at(0)[0], Variant(int32_t{1}));

  // A cached statement that failed runs again cleanly, and sees schema changes.
  db.ExecScript("CREATE TABLE u (k int PRIMARY KEY)");
  const std::string insert = "INSERT INTO u VALUES (?1)";
  db.Exec(insert, {Variant(1)});
  EXPECT_THROW(db.Exec(insert, {Variant(1)}), ComError);
  EXPECT_EQ(db.Exec(insert, {Variant(2)}), 1);
  db.ExecScript("ALTER TABLE u ADD COLUMN extra int DEFAULT 9");
  EXPECT_EQ(db.Query("SELECT * FROM u WHERE k = 2")->FieldCount(), 2);
  db.ClearCache();
  EXPECT_EQ(db.cache_size(), 0u);
}

TEST_F(SqliteDbTest, ExecCountsChangesAndIdentities) {
  db_.ExecScript("CREATE TABLE o (id INTEGER PRIMARY KEY, s text)");
  EXPECT_EQ(db_.Exec("INSERT INTO o (s) VALUES ('a'), ('b'), ('c')"), 3);
  EXPECT_EQ(db_.last_insert_rowid(), 3);
  RecordsetPtr rs = db_.Query("UPDATE o SET s = 'z' WHERE id > 1");
  EXPECT_EQ(rs->FieldCount(), 0);
  EXPECT_EQ(rs->records_affected(), 2);
  EXPECT_FALSE(db_.in_transaction());
  db_.Exec("BEGIN IMMEDIATE");
  EXPECT_TRUE(db_.in_transaction());
  db_.Exec("ROLLBACK");
  EXPECT_EQ(db_.Query("")->FieldCount(), 0);  // blank text does nothing
  EXPECT_THROW(db_.Query("SELECT 1; SELECT 2"), ComError);
}

TEST_F(SqliteDbTest, ErrorsCarrySqlServerNumbersAndNames) {
  db_.ExecScript(
      "CREATE TABLE orders (id int PRIMARY KEY, code text NOT NULL, ref text UNIQUE, n int);"
      "CREATE UNIQUE INDEX ix_orders_n ON orders (n);"
      "INSERT INTO orders VALUES (1, 'a', 'r1', 1);");
  EXPECT_EQ(Error("SELECT * FROM nope"), "208|Invalid object name 'nope'.");
  EXPECT_EQ(Error("SELECT missing FROM orders"), "207|Invalid column name 'missing'.");
  EXPECT_EQ(Error("SELECT o.missing FROM orders o"), "207|Invalid column name 'missing'.");
  EXPECT_EQ(Error("SELECT * FROM orders WHERE"),
            "102|Incorrect syntax near the end of the statement.");
  EXPECT_EQ(Error("SELECT FROM orders"), "102|Incorrect syntax near 'FROM'.");
  EXPECT_EQ(Error("INSERT INTO orders (id, code) VALUES (2, NULL)"),
            "515|Cannot insert the value NULL into column 'code', table 'orders'; column does "
            "not allow nulls. INSERT fails.");
  EXPECT_EQ(Error("UPDATE orders SET code = NULL"),
            "515|Cannot insert the value NULL into column 'code', table 'orders'; column does "
            "not allow nulls. UPDATE fails.");
  EXPECT_EQ(Error("INSERT INTO orders VALUES (1, 'b', 'r2', 2)"),
            "2627|Violation of PRIMARY KEY constraint 'PK_orders'. Cannot insert duplicate key "
            "in object 'dbo.orders'.");
  EXPECT_EQ(Error("INSERT INTO orders VALUES (2, 'b', 'r1', 2)"),
            "2627|Violation of UNIQUE KEY constraint 'UQ_orders'. Cannot insert duplicate key "
            "in object 'dbo.orders'.");
  EXPECT_EQ(Error("INSERT INTO orders VALUES (2, 'b', 'r2', 1)"),
            "2601|Cannot insert duplicate key row in object 'dbo.orders' with unique index "
            "'ix_orders_n'.");
  EXPECT_EQ(Error("SELECT tsql_div(1, 0)"), "8134|Divide by zero error encountered.");
  EXPECT_EQ(Error("SELECT tsql_check_len('abcd', 2)"),
            "8152|String or binary data would be truncated.");
  EXPECT_EQ(Error("DROP TABLE nope"),
            "3701|Cannot drop the table 'nope', because it does not exist or you do not have "
            "permission.");
  EXPECT_EQ(Error("CREATE TABLE orders (x int)"),
            "2714|There is already an object named 'orders' in the database.");
  EXPECT_EQ(Error("SELECT frobnicate(1)"),
            "195|'frobnicate' is not a recognized built-in function name.");
  EXPECT_EQ(Error("COMMIT"),
            "3902|The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  EXPECT_EQ(Error("INSERT INTO orders (id, code) VALUES (5, 'x', 'y')"),
            "110|There are fewer columns in the INSERT statement than values specified in the "
            "VALUES clause. The number of values in the VALUES clause must match the number of "
            "columns specified in the INSERT statement.");
  EXPECT_THAT(Error("SELECT 1 UNION SELECT 1, 2"), ::testing::StartsWith("205|"));
  EXPECT_THAT(Error("SELECT id FROM orders WHERE sum(n) > 1"), ::testing::StartsWith("147|"));
  EXPECT_EQ(db_.MakeError(SQLITE_BUSY, "database is locked", "UPDATE x SET y = 1").number(), 1222);
  // Nothing was written by the failed statements.
  EXPECT_EQ(db_.Query("SELECT count(*) FROM orders")->rows()[0][0], Variant(int32_t{1}));
}

TEST_F(SqliteDbTest, NameMapperRestoresTheAuthorsNames) {
  db_.set_name_mapper([](std::string_view name) {
    return name.substr(0, 6) == "__tmp_" ? "#" + std::string(name.substr(6)) : std::string(name);
  });
  db_.ExecScript("CREATE TEMP TABLE __tmp_work (k int NOT NULL)");
  EXPECT_EQ(Error("INSERT INTO __tmp_work VALUES (NULL)"),
            "515|Cannot insert the value NULL into column 'k', table '#work'; column does not "
            "allow nulls. INSERT fails.");
  EXPECT_EQ(Error("SELECT * FROM __tmp_gone"), "208|Invalid object name '#gone'.");
}

TEST(SqliteDbFileTest, FilesUseWalAndABusyTimeout) {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("ambit_sqlite_db_test_" + std::to_string(getpid()) + ".db");
  std::filesystem::remove(path);
  {
    SqliteDb writer, reader;
    writer.Open(path.string());
    reader.Open(path.string());
    EXPECT_EQ(writer.Query("PRAGMA journal_mode")->rows().at(0)[0], Variant("wal"));
    EXPECT_EQ(writer.Query("PRAGMA busy_timeout")->rows().at(0)[0],
              Variant(int32_t{SqliteDb::kBusyTimeoutMs}));
    writer.ExecScript("CREATE TABLE t (v int); INSERT INTO t VALUES (1);");
    // A reader is not blocked by an open write transaction and sees the committed state.
    writer.Exec("BEGIN IMMEDIATE");
    writer.Exec("INSERT INTO t VALUES (2)");
    EXPECT_EQ(reader.Query("SELECT count(*) FROM t")->rows().at(0)[0], Variant(int32_t{1}));
    writer.Exec("COMMIT");
    EXPECT_EQ(reader.Query("SELECT count(*) FROM t")->rows().at(0)[0], Variant(int32_t{2}));
    // The runtime is registered on every connection.
    EXPECT_EQ(reader.Query("SELECT tsql_add('a', 'b')")->rows().at(0)[0], Variant("ab"));
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  SqliteDb bad;
  EXPECT_THROW(bad.Open("/nonexistent/dir/x.db"), ComError);
  EXPECT_FALSE(bad.is_open());
  EXPECT_THROW(bad.Query("SELECT 1"), ComError);
}

}  // namespace
}  // namespace ambit::tsql
