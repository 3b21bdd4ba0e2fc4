// The parser's trees and the script splitter; every statement form it accepts, and the syntax it
// refuses, is checked in tests/tsql/corpus.
#include "tsql/parser.h"

#include <gtest/gtest.h>
#include <thread>

#include "base/com_error.h"

namespace ambit::tsql {
namespace {

int ErrorOf(std::string_view text) {
  try {
    ParseBatch(text);
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

// A literal, variable or name is read straight as the whole operand only when nothing after it
// belongs to the expression; each case below has the operand next to something that does.
TEST(ParserTest, LoneOperandsAndWhatContinuesThem) {
  auto b = ParseBatch(
      "select a.b.c, x collate Latin1_General_CI_AS, f(1), n'x' + 'y', @v as v, "
      "case when a.k = 1 then 2 else -3 end, t.k in (1, 2) or t.k is null, "
      "a.b between 1 and 2, - 1, [q] from t");
  const SelectBlock& q = static_cast<SelectStmt*>(b->statements[0].get())->select->blocks[0];
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

// Each binary level's run of operators is one node whose operands are the tighter levels; a
// prefix NOT or EXISTS takes no comparison after it.
TEST(ParserTest, OperatorLevelsNestByPrecedence) {
  auto b = ParseBatch(
      "select a | b & c ^ d % e / f from t where a or b and not c = d + e * f - g or h = i = j");
  const SelectBlock& q = static_cast<SelectStmt*>(b->statements[0].get())->select->blocks[0];
  const Expr& bits = *q.items[0].expr;
  EXPECT_EQ(bits.parts, (std::vector<std::string>{"|", "&", "^"}));
  ASSERT_EQ(bits.args.size(), 4u);
  EXPECT_EQ(bits.args[3]->parts, (std::vector<std::string>{"%", "/"}));
  const Expr& w = *q.where;
  EXPECT_EQ(w.parts, (std::vector<std::string>{"or", "or"}));
  ASSERT_EQ(w.args.size(), 3u);
  const Expr& conj = *w.args[1];
  EXPECT_EQ(conj.text, "and");
  const Expr& negation = *conj.args[1];
  EXPECT_EQ(negation.kind, ExprKind::kUnary);
  const Expr& cmp = *negation.args[0];
  EXPECT_EQ(cmp.text, "=");
  const Expr& sum = *cmp.args[1];
  EXPECT_EQ(sum.parts, (std::vector<std::string>{"+", "-"}));
  EXPECT_EQ(sum.args[1]->text, "*");
  // h = i = j: comparisons run left to right, two operands each.
  EXPECT_EQ(w.args[2]->args[0]->text, "=");
  EXPECT_EQ(w.args[2]->args[0]->args[0]->parts[0], "h");
  EXPECT_EQ(ErrorOf("select 1 where not exists (select 1) = 1"), 102);
  EXPECT_EQ(ErrorOf("select a not b from t"), 156);
  std::string run = "select 1 where a = 1";
  for (int i = 1; i < 32; ++i) run += " = 1";
  EXPECT_EQ(ErrorOf(run), 0);
  EXPECT_EQ(ErrorOf(run + " = 1"), 191);
}

// A syntax error names the line of the token it stops at, counting the line breaks inside
// comments, strings and bracketed names before it.
TEST(ParserTest, SyntaxErrorsNameTheirLine) {
  auto line_of = [](std::string_view text) {
    try {
      ParseBatch(text);
    } catch (const ComError& e) {
      return e.line();
    }
    return 0;
  };
  EXPECT_EQ(line_of("select 1\n-- note\n/* a\n\n */ from t where 'a\nb' = 1 +"), 6);
  EXPECT_EQ(line_of("select 1 from t\r\nwhere [a\nb] = N'x\n' and\n\n)"), 6);
  EXPECT_EQ(line_of("select from t"), 1);
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

// The operand and name lists of dropped nodes go to the next statement's nodes: whatever they
// held before, each node must hold only its own.
TEST(ParserTest, KeptListsHoldOnlyTheirNewContents) {
  for (int round = 0; round < 3; ++round) {
    ParseBatch("select a.b.c.d, f(1, 2, 3, 4, 5, 6), case when x = 1 then 2 else 3 end, t.* "
               "from t where a in (1, 2, 3, 4, 5)");
    auto b = ParseBatch("select k, g(u), v.w, - z, s.*, dbo.h(7) from t where p between 1 and 2");
    const SelectBlock& q = static_cast<SelectStmt*>(b->statements[0].get())->select->blocks[0];
    ASSERT_EQ(q.items.size(), 6u);
    EXPECT_EQ(q.items[0].expr->parts, (std::vector<std::string>{"k"}));
    EXPECT_TRUE(q.items[0].expr->args.empty());
    ASSERT_EQ(q.items[1].expr->args.size(), 1u);
    EXPECT_TRUE(q.items[1].expr->parts.empty());
    EXPECT_EQ(q.items[1].expr->args[0]->parts, (std::vector<std::string>{"u"}));
    EXPECT_EQ(q.items[2].expr->parts, (std::vector<std::string>{"v", "w"}));
    EXPECT_EQ(q.items[3].expr->args.size(), 1u);
    EXPECT_EQ(q.items[4].expr->kind, ExprKind::kStar);
    EXPECT_EQ(q.items[4].expr->parts, (std::vector<std::string>{"s"}));
    EXPECT_EQ(q.items[5].expr->kind, ExprKind::kFunction);
    EXPECT_EQ(q.items[5].expr->text, "h");
    EXPECT_EQ(q.items[5].expr->args.size(), 1u);
    EXPECT_EQ(q.where->args.size(), 3u);
  }
}

}  // namespace
}  // namespace ambit::tsql
