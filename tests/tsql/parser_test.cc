#include "tsql/parser.h"

#include <gtest/gtest.h>
#include <thread>

#include "base/com_error.h"

namespace ambit::tsql {
namespace {

int ErrorOf(std::string_view text, std::string* message = nullptr) {
  try {
    ParseBatch(text);
  } catch (const ComError& e) {
    if (message) *message = e.description();
    return e.number();
  }
  return 0;
}

TEST(ParserTest, StatementsWithoutSemicolons) {
  auto b = ParseBatch(
      "declare @a int, @b varchar(20) = 'x' set @a = 1 select @a = FID from t where 1=1 "
      "if @a > 0 begin update t set x = 1 end else print 'no' "
      "while @a < 3 begin set @a += 1 if @a = 2 continue break end exec p 1, @x = 2, @o output");
  ASSERT_EQ(b->statements.size(), 6u);
  EXPECT_EQ(b->statements[0]->kind, StmtKind::kDeclare);
  auto* decl = static_cast<DeclareStmt*>(b->statements[0].get());
  ASSERT_EQ(decl->variables.size(), 2u);
  EXPECT_EQ(decl->variables[1].type.text, "varchar(20)");
  EXPECT_NE(decl->variables[1].initial, nullptr);
  EXPECT_EQ(b->statements[2]->kind, StmtKind::kSelect);
  auto* sel = static_cast<SelectStmt*>(b->statements[2].get());
  EXPECT_EQ(sel->select->blocks[0].items[0].variable, "@a");
  auto* ifs = static_cast<IfStmt*>(b->statements[3].get());
  EXPECT_EQ(ifs->then_branch->kind, StmtKind::kBlock);
  EXPECT_EQ(ifs->else_branch->kind, StmtKind::kPrint);
  auto* exec = static_cast<ExecStmt*>(b->statements[5].get());
  ASSERT_EQ(exec->args.size(), 3u);
  EXPECT_EQ(exec->args[1].name, "@x");
  EXPECT_TRUE(exec->args[2].output);
}

TEST(ParserTest, QueriesWithJoinsHintsUnionAndXml) {
  auto b = ParseBatch(
      "select top 10 t1.FID, FName = t2.FName, count(distinct x) as n, 'k' 'lit' "
      "from IC_A t1 with(nolock) left outer join (select FID from B) t2 on t1.FID = t2.FID "
      "inner join C (nolock) on 1=1 where t1.FID in (1,2) and x not like '[a-c]%' "
      "group by t1.FID having count(*) > 1 "
      "select '03',38118 union select '04',38119 union all select '05', 1 order by 1 desc "
      "select stuff((select ','+rtrim(FName) from t for xml path('')),1,1,'')");
  ASSERT_EQ(b->statements.size(), 3u);
  auto* s1 = static_cast<SelectStmt*>(b->statements[0].get());
  const QuerySpec& q = s1->select->blocks[0];
  ASSERT_NE(q.top, nullptr);
  EXPECT_EQ(q.items[1].alias, "FName");
  EXPECT_TRUE(q.items[2].expr->distinct);
  EXPECT_EQ(q.items[3].alias, "lit");
  ASSERT_EQ(q.from.size(), 1u);
  EXPECT_EQ(q.from[0]->kind, TableRef::Kind::kJoin);
  EXPECT_EQ(q.from[0]->join_type, "inner");
  EXPECT_EQ(q.from[0]->left->join_type, "left");
  EXPECT_EQ(q.from[0]->left->right->kind, TableRef::Kind::kDerived);
  auto* s2 = static_cast<SelectStmt*>(b->statements[1].get());
  EXPECT_EQ(s2->select->blocks.size(), 3u);
  EXPECT_EQ(s2->select->operators[1], "union all");
  EXPECT_TRUE(s2->select->order_by[0].descending);
  auto* s3 = static_cast<SelectStmt*>(b->statements[2].get());
  const Expr& stuff = *s3->select->blocks[0].items[0].expr;
  EXPECT_EQ(stuff.text, "stuff");
  EXPECT_TRUE(stuff.args[0]->select->for_xml_path);
}

TEST(ParserTest, DmlForms) {
  auto b = ParseBatch(
      "Update t1 Set t1.X = t2.Y, @v = Z FROM A t1 LEFT JOIN B t2 on t1.id = t2.id WHERE t2.k = 1 "
      "DELETE t1 FROM A t0 INNER JOIN B t1 ON t0.id = t1.id "
      "Delete IC_X Where FID = 3 "
      "insert into #t([FID], FName) values (1, N'a'), (2, 'b') "
      "insert t select * from u "
      "select distinct t1.FID into #Data from A t1");
  ASSERT_EQ(b->statements.size(), 6u);
  auto* up = static_cast<UpdateStmt*>(b->statements[0].get());
  EXPECT_EQ(up->target, std::vector<std::string>{"t1"});
  ASSERT_EQ(up->sets.size(), 2u);
  EXPECT_EQ(up->sets[1].variable, "@v");
  auto* del = static_cast<DeleteStmt*>(b->statements[1].get());
  EXPECT_EQ(del->target, std::vector<std::string>{"t1"});
  EXPECT_EQ(del->from.size(), 1u);
  auto* del2 = static_cast<DeleteStmt*>(b->statements[2].get());
  EXPECT_TRUE(del2->from.empty());
  auto* ins = static_cast<InsertStmt*>(b->statements[3].get());
  EXPECT_EQ(ins->columns, (std::vector<std::string>{"FID", "FName"}));
  EXPECT_EQ(ins->rows.size(), 2u);
  auto* sel = static_cast<SelectStmt*>(b->statements[5].get());
  EXPECT_EQ(sel->select->blocks[0].into, std::vector<std::string>{"#Data"});
}

TEST(ParserTest, DdlAndProcedures) {
  auto b = ParseBatch(
      "IF OBJECT_ID(N'tempdb..#T',N'U') IS NOT NULL Begin DROP TABLE #T End "
      "CREATE TABLE #T(FID INT IDENTITY(1,1) PRIMARY KEY, FName nvarchar(50) NOT NULL "
      "DEFAULT(''), FQty decimal(18,2) NULL, CONSTRAINT pk UNIQUE (FName)) "
      "CREATE NONCLUSTERED INDEX idx_#T_FID ON #T(FID)");
  ASSERT_EQ(b->statements.size(), 3u);
  auto* ct = static_cast<CreateTableStmt*>(b->statements[1].get());
  ASSERT_EQ(ct->columns.size(), 3u);
  EXPECT_TRUE(ct->columns[0].identity);
  EXPECT_TRUE(ct->columns[1].not_null);
  EXPECT_EQ(ct->columns[2].type.scale, 2);
  EXPECT_EQ(ct->unique_keys.size(), 1u);
  auto p = ParseBatch(
      "create procedure GetMax @table varchar(50), @n int output as\n"
      "begin set @n = 1 return 0 end");
  auto* cp = static_cast<CreateProcedureStmt*>(p->statements[0].get());
  ASSERT_EQ(cp->params.size(), 2u);
  EXPECT_TRUE(cp->params[1].output);
  EXPECT_EQ(cp->body.size(), 1u);
}

TEST(ParserTest, UnsupportedOrBrokenSyntaxNamesTheToken) {
  std::string message;
  EXPECT_EQ(ErrorOf("select * from t where", &message), 102);
  EXPECT_EQ(message, "Incorrect syntax near the end of the batch.");
  EXPECT_EQ(ErrorOf("select a from t order", &message), 102);
  EXPECT_EQ(ErrorOf("selec * from t", &message), 102);
  EXPECT_EQ(message, "Incorrect syntax near 'selec'.");
  EXPECT_EQ(ErrorOf("select sum(a) over (order by a rows between 1 preceding current row) from t",
                    &message),
            102);
  EXPECT_EQ(message, "Incorrect syntax near 'current'.");
  EXPECT_EQ(ErrorOf("select * from t outer join u on 1 = 1", &message), 156);
  EXPECT_EQ(message, "Incorrect syntax near the keyword 'outer'.");
  EXPECT_EQ(ErrorOf("merge into t using u on 1=1"), 102);
  EXPECT_EQ(ErrorOf("declare @v foo"), 2715);
  EXPECT_EQ(ErrorOf(std::string(5000, '(')), 191);
}

// A literal, variable or name is read straight as the whole operand only when nothing after it
// belongs to the expression; each case below has the operand next to something that does.
TEST(ParserTest, LoneOperandsAndWhatContinuesThem) {
  auto b = ParseBatch(
      "select a.b.c, x collate Latin1_General_CI_AS, f(1), n'x' + 'y', @v as v, "
      "case when a.k = 1 then 2 else -3 end, t.k in (1, 2) or t.k is null, "
      "a.b between 1 and 2, - 1, [q] from t");
  const QuerySpec& q = static_cast<SelectStmt*>(b->statements[0].get())->select->blocks[0];
  ASSERT_EQ(q.items.size(), 10u);
  EXPECT_EQ(q.items[0].expr->parts, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(q.items[1].expr->kind, ExprKind::kColumn);
  EXPECT_EQ(q.items[2].expr->kind, ExprKind::kFunction);
  EXPECT_EQ(q.items[3].expr->kind, ExprKind::kBinary);
  EXPECT_EQ(q.items[3].expr->args[0]->type.name, "nvarchar");
  EXPECT_EQ(q.items[4].expr->kind, ExprKind::kVariable);
  EXPECT_EQ(q.items[4].alias, "v");
  const Expr& c = *q.items[5].expr;
  ASSERT_EQ(c.args.size(), 3u);
  EXPECT_EQ(c.args[0]->args[0]->parts, (std::vector<std::string>{"a", "k"}));
  EXPECT_EQ(c.args[0]->args[1]->text, "1");
  EXPECT_EQ(c.args[1]->text, "2");
  EXPECT_EQ(c.args[2]->text, "-3");
  EXPECT_EQ(q.items[6].expr->text, "or");
  EXPECT_EQ(q.items[6].expr->args[0]->kind, ExprKind::kIn);
  EXPECT_EQ(q.items[6].expr->args[0]->args.size(), 3u);
  EXPECT_EQ(q.items[7].expr->kind, ExprKind::kBetween);
  EXPECT_EQ(q.items[8].expr->text, "-1");
  EXPECT_EQ(q.items[9].expr->parts, (std::vector<std::string>{"q"}));
  EXPECT_EQ(ErrorOf("select [q](1) from t"), 102);
}

// Freed nodes are kept per thread for the next statement: a tree dropped on another thread than
// the one that built it, and one larger than the threads keep, must both come back whole.
TEST(ParserTest, TreesOutliveTheirThreadAndTheNodeLists) {
  std::string sum = "select 1";
  for (int i = 0; i < 6000; ++i) sum += " + x";
  for (int round = 0; round < 3; ++round) {
    auto big = ParseBatch(sum);
    auto small = ParseBatch("select a + 1, b from t");
    std::thread([&] { big.reset(); }).join();
    auto again = ParseBatch(sum);
    const Expr& e =
        *static_cast<SelectStmt*>(again->statements[0].get())->select->blocks[0].items[0].expr;
    ASSERT_EQ(e.args.size(), 6001u);
    EXPECT_EQ(e.args[6000]->parts[0], "x");
    std::thread([&] { small = ParseBatch("select c from t"); }).join();
    const auto* kept = static_cast<SelectStmt*>(small->statements[0].get());
    EXPECT_EQ(kept->select->blocks[0].items[0].expr->parts[0], "c");
  }
}

TEST(ParserTest, ScriptsSplitAtGo) {
  auto parts = SplitScript("create table a(x int)\r\nGO\r\n  go ;\ninsert a values(1)\ngo\n");
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1], "insert a values(1)\n");
}

}  // namespace
}  // namespace ambit::tsql
