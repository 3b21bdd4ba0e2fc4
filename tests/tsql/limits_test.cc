// Long operator chains run with SQL Server's results, and input nested beyond what the engine
// walks fails with an error instead of exhausting the stack.
#include <gtest/gtest.h>

#include <string>

#include "session_test_base.h"

namespace ambit::tsql {
namespace {

constexpr int kTerms = 10000;

class LimitsTest : public SessionTestBase {
 protected:
  void SetUp() override {
    SessionTestBase::SetUp();
    session_.Execute(
        "CREATE TABLE f (id int, name varchar(20), amt decimal(10,2)) "
        "INSERT INTO f VALUES (1, 'a', 1.25), (2, 'b', 2.5), (3, NULL, NULL)");
  }
  // "first sep item(1) sep item(2) ..." with kTerms items.
  template <typename Item>
  static std::string Join(const std::string& first, const std::string& sep, Item item) {
    std::string out = first;
    for (int i = 1; i < kTerms; ++i) out += sep + item(i);
    return out;
  }
};

TEST_F(LimitsTest, LongArithmeticAndTextChains) {
  auto one = [](int) { return std::string("1"); };
  EXPECT_EQ(Scalar("SELECT " + Join("1", "+", one)), std::to_string(kTerms));
  // 1 - 1 + 2 - 2 + 3 ...: grouping must keep each term's sign.
  int64_t expected = 1;
  std::string alternating = "1";
  for (int i = 1; i < kTerms; ++i) {
    int term = (i + 1) / 2;
    alternating += (i % 2 ? " - " : " + ") + std::to_string(term);
    expected += i % 2 ? -term : term;
  }
  EXPECT_EQ(Scalar("SELECT " + alternating), std::to_string(expected));
  EXPECT_EQ(
      Scalar("SELECT " + Join("amt", " + ", [](int) { return "amt"; }) + " FROM f WHERE id = 1"),
      "12500");
  // Text + text concatenates however long the chain; a NULL operand makes it NULL.
  EXPECT_EQ(Scalar("SELECT LEN(" + Join("'a'", " + ", [](int) { return "'b'"; }) + ")"),
            std::to_string(kTerms));
  EXPECT_EQ(
      Scalar("SELECT " + Join("name", " + ", [](int) { return "name"; }) + " FROM f WHERE id = 3"),
      "NULL");
  // int + int still overflows at 32 bits.
  EXPECT_EQ(ErrorOf("SELECT 2147483647" + Join("", " + ", one)), 8115);
  // Short chains keep their step-by-step conversions: '1' + '2' is text, then + 3 a number.
  EXPECT_EQ(Scalar("SELECT '1' + '2' + 3"), "15");
  EXPECT_EQ(Scalar("SELECT - -1 + 1"), "2");
}

TEST_F(LimitsTest, LongLogicalChainsAndInLists) {
  auto id_is = [](int i) { return "id = " + std::to_string(i % 5); };
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE " + Join("id = 9", " OR ", id_is)), "3");
  auto id_not = [](int i) { return "id <> " + std::to_string(i + 10); };
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE " + Join("id <> 2", " AND ", id_not)), "2");
  // A workbench filter's shape: many equalities on a joined alias.
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM f t1 WHERE 1=1 AND (" +
             Join("t1.id=0", " or ", [](int i) { return "t1.id=" + std::to_string(i); }) + ")"),
      "3");
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM f WHERE name IN (" +
             Join("'x'", ", ", [](int i) { return "'" + std::to_string(i) + "'"; }) + ", 'b')"),
      "1");
  EXPECT_EQ(
      Scalar("IF " + Join("1 = 1", " AND ", [](int i) { return std::to_string(i) + " > 0"; }) +
             " SELECT 'yes' ELSE SELECT 'no'"),
      "yes");
}

TEST_F(LimitsTest, DeepNestingFailsCleanly) {
  auto repeat = [](const std::string& unit, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += unit;
    return out;
  };
  EXPECT_EQ(ErrorOf("SELECT " + repeat("(", 50000) + "1" + repeat(")", 50000)), 191);
  EXPECT_EQ(ErrorOf("SELECT * FROM " + repeat("(", 50000) + "f" + repeat(")", 50000)), 191);
  EXPECT_EQ(ErrorOf("SELECT 1 FROM f" + repeat(" JOIN f g ON 1 = 1", 20000)), 191);
  EXPECT_EQ(ErrorOf(repeat("IF 1 = 1 ", 50000) + "SELECT 1"), 191);
  EXPECT_EQ(ErrorOf("SELECT 1 WHERE 1 = 1" + repeat(" = 1", 20000)), 191);
  // Nesting the parser accepts but SQLite cannot parse is SQL Server's stack-limit error.
  EXPECT_EQ(ErrorOf("SELECT " + repeat("(SELECT ", 30) + "1" + repeat(")", 30)), 8631);
  // A long chain with no flat form (types known only at run time) is refused, not crashed on.
  EXPECT_EQ(
      ErrorOf("SELECT " + Join("x", " + ", [](int) { return "x"; }) + " FROM (SELECT 1 AS x) d"),
      191);
  // Forms that repeat an operand must not grow without bound when nested.
  std::string nullifs = "1";
  for (int i = 0; i < 30; ++i) nullifs = "NULLIF((" + nullifs + "), 2)";
  EXPECT_EQ(ErrorOf("SELECT " + nullifs), 8632);
  EXPECT_EQ(Scalar("SELECT 1"), "1");
}

}  // namespace
}  // namespace ambit::tsql
