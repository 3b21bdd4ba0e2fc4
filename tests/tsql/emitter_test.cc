// The SQLite text the emitter produces: where it may use SQLite's own operators (so indexes stay
// usable) and where it must call the runtime to keep SQL Server's meaning.
#include "tsql/emitter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/conversions.h"
#include "tsql/parser.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class EmitterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.Open(":memory:");
    session_.Execute(
        "CREATE TABLE o (FID int PRIMARY KEY, FOrderID varchar(20), FAmount decimal(18,2), "
        "FDate datetime, FShop varchar(10)) "
        "CREATE TABLE e (FEntryID int, FID int, FQty decimal(18,4), FName nvarchar(40)) "
        "CREATE INDEX ix_e_fid ON e(FID)");
    context_.variable_type = [this](const std::string& name) -> const TypeRef* {
      auto it = variables_.find(name);
      return it == variables_.end() ? nullptr : &it->second;
    };
    context_.columns = [this](const std::string& table) { return session_.Columns(table); };
    context_.view = [this](const std::string& name) { return session_.View(name); };
    TypeRef i;
    i.name = "int";
    i.text = "int";
    variables_["@id"] = i;
    TypeRef v;
    v.name = "varchar";
    v.length = 20;
    v.text = "varchar(20)";
    variables_["@s"] = v;
  }

  EmittedSql Select(const std::string& text) {
    batch_ = ParseBatch(text);
    Emitter em(context_);
    const auto& s = static_cast<const SelectStmt&>(*batch_->statements.at(0));
    return em.Finish(em.SelectText(*s.select));
  }

  std::string Plan(const EmittedSql& sql) {
    std::vector<Variant> params(sql.params.size(), Variant(int32_t{1}));
    RecordsetPtr rs = session_.db().Query("EXPLAIN QUERY PLAN " + sql.sql, params);
    std::string out;
    for (const auto& row : rs->rows()) out += CStr(row.back()) + "\n";
    return out;
  }

  Session session_;
  EmitterContext context_;
  std::map<std::string, TypeRef> variables_;
  std::unique_ptr<Batch> batch_;
};

TEST_F(EmitterTest, KeyLookupsStayNativeSoIndexesAreUsed) {
  EmittedSql by_key = Select("select t1.FEntryID from e t1 with(nolock) "
                             "inner join o t0 on t0.FID = t1.FID where t1.FID = @id");
  EXPECT_THAT(by_key.sql, Not(HasSubstr("tsql_cmp")));
  EXPECT_THAT(Plan(by_key), HasSubstr("USING INDEX"));
  // A quoted number against an int key converts through the column's affinity.
  EXPECT_THAT(Select("select FID from o where FID = '38193'").sql, Not(HasSubstr("tsql_cmp")));
  EXPECT_THAT(Select("select FID from o where FID in (1, 2, '3')").sql,
              HasSubstr("\"FID\" IN (1, 2, '3')"));
}

TEST_F(EmitterTest, MixedTypesAndDatesGoThroughTheRuntime) {
  // SQL Server turns the text column into a number here; SQLite would compare text.
  EXPECT_THAT(Select("select FID from o where FOrderID = 7").sql, HasSubstr("tsql_cmp("));
  EXPECT_THAT(Select("select FID from o where FShop = 'S1'").sql, Not(HasSubstr("tsql_cmp")));
  // Two non-column texts compare under the TSQL collation.
  EXPECT_THAT(Select("select 1 where @s = 'abc'").sql, HasSubstr("COLLATE TSQL"));
}

TEST_F(EmitterTest, DateColumnsAgainstConstantsSeekTheirIndex) {
  session_.Execute("CREATE INDEX ix_o_date ON o(FDate) "
                   "CREATE VIEW vo AS SELECT FID, FDate FROM o");
  TypeRef day;
  day.name = day.text = "date";
  variables_["@day"] = day;
  for (const char* where : {"FDate >= '20261201'", "'2026-12-01' < FDate",
                            "FDate BETWEEN '2026-12-01' AND '2026-12-31 23:59:59.997'",
                            "FDate <= @s", "FDate = @day",
                            "FDate < CONVERT(datetime, '2026-12-01', 120)"}) {
    EmittedSql sql = Select(std::string("select FID from o where ") + where);
    EXPECT_THAT(sql.sql, Not(HasSubstr("tsql_cmp"))) << where;
    EXPECT_THAT(Plan(sql), HasSubstr("ix_o_date (FDate")) << where;
  }
  // The constant is converted once, to the column's stored text.
  EXPECT_THAT(Select("select FID from o where FDate < '20261201'").sql,
              HasSubstr("'2026-12-01 00:00:00'"));
  // A view's column may hold whatever its query made of it; a column read as a number is
  // no date.
  EXPECT_THAT(Select("select FID from vo where FDate >= '20261201'").sql, HasSubstr("tsql_cmp("));
  EXPECT_THAT(Select("select FID from o where FDate >= @id").sql, Not(HasSubstr("tsql_cast")));
}

TEST_F(EmitterTest, PlusFollowsOperandTypes) {
  EXPECT_THAT(Select("select FOrderID + FShop from o").sql, HasSubstr("||"));
  EXPECT_THAT(Select("select FID + 1 from o").sql, HasSubstr("tsql_store_int((\"FID\" + 1))"));
  EXPECT_THAT(Select("select FOrderID + FID from o").sql, HasSubstr("tsql_add("));
  EXPECT_THAT(Select("select FAmount / 3 from o").sql, HasSubstr("CAST(3 AS REAL)"));
  // Each variable is bound once however often it appears.
  EmittedSql twice = Select("select @id + @id, @s");
  EXPECT_EQ(twice.params, (std::vector<std::string>{"@id", "@s"}));
  EXPECT_THAT(twice.sql, HasSubstr("?1 + ?1"));
}

// A chain's steps are decided before its operands are written: the outermost step's call
// comes first, each operand between its step's pieces.
TEST_F(EmitterTest, ChainStepsNestInOrder) {
  EXPECT_EQ(Select("select @id + 1 - FAmount from o").sql,
            "SELECT (tsql_store_int((?1 + 1)) - \"FAmount\") AS \"\" FROM \"o\"");
  EXPECT_EQ(Select("select FAmount / 3 * FQty from o, e").sql,
            "SELECT (tsql_round(tsql_div(\"FAmount\", CAST(3 AS REAL)), 6, 1) * \"FQty\") AS \"\" "
            "FROM \"o\", \"e\"");
  EXPECT_EQ(Select("select FOrderID + '-' + FID from o").sql,
            "SELECT tsql_add((\"FOrderID\" || '-'), \"FID\") AS \"\" FROM \"o\"");
}

// To text the source's type shapes the value; otherwise it goes in as it is. Variables are
// numbered in the order they are written: the value before the style.
TEST_F(EmitterTest, CastsWriteTheirValueOnce) {
  EXPECT_EQ(Select("select cast(FAmount as varchar(20)) from o").sql,
            "SELECT tsql_cast(tsql_ltrim(tsql_str(\"FAmount\", 60, 2)), 'varchar(20)') AS \"\" "
            "FROM \"o\"");
  EXPECT_EQ(Select("select cast(FDate as varchar(30)) from o").sql,
            "SELECT tsql_cast(tsql_convert('varchar(30)', \"FDate\", 0), 'varchar(30)') AS \"\" "
            "FROM \"o\"");
  EXPECT_EQ(Select("select try_cast(@s as int)").sql, "SELECT tsql_try_cast(?1, 'int') AS \"\"");
  EmittedSql styled = Select("select convert(varchar(10), @s, @id)");
  EXPECT_EQ(styled.sql, "SELECT tsql_convert('varchar(10)', ?1, ?2) AS \"\"");
  EXPECT_EQ(styled.params, (std::vector<std::string>{"@s", "@id"}));
}

TEST_F(EmitterTest, UpdateFromBecomesAKeyedSubquery) {
  batch_ = ParseBatch("Update t1 Set t1.FName = t2.FOrderID FROM e t1 LEFT JOIN o t2 "
                      "ON t1.FID = t2.FID WHERE t2.FID = @id");
  Emitter em(context_);
  EmittedSql vars;
  EmittedSql sql = em.Update(static_cast<const UpdateStmt&>(*batch_->statements[0]), &vars);
  EXPECT_THAT(sql.sql, HasSubstr("UPDATE \"e\" SET \"FName\" = tsql_store("));
  EXPECT_THAT(sql.sql, HasSubstr("\"t1\".rowid AS \"tsql_rid\""));
  EXPECT_THAT(sql.sql, HasSubstr("WHERE \"e\".rowid = \"tsql_q\".\"tsql_rid\""));
  EXPECT_TRUE(vars.sql.empty());
  EXPECT_EQ(sql.params, std::vector<std::string>{"@id"});
}

}  // namespace
}  // namespace ambit::tsql
