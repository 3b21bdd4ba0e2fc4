// Runtime pieces the corpus cannot see: value shapes of GETDATE and NEWID, the collation and
// conversions as called from C++, and the error text SQLite carries between them. The functions'
// T-SQL semantics are in tests/tsql/corpus (functions_*, conversions, collation).
#include "tsql/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>

#include "base/com_error.h"
#include "tsql/runtime_internal.h"
#include "tsql/sqlite_db.h"

namespace ambit::tsql {
namespace {

// True when s has the shape: 'd' a decimal digit, 'X' an upper-case hex digit, else itself.
bool HasShape(const std::string& s, const std::string& shape) {
  if (s.size() != shape.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    bool digit = c >= '0' && c <= '9';
    if (shape[i] == 'd'   ? !digit
        : shape[i] == 'X' ? !(digit || (c >= 'A' && c <= 'F'))
                          : c != shape[i]) {
      return false;
    }
  }
  return true;
}

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { db_.Open(":memory:"); }

  Variant Eval(const std::string& expr) {
    RecordsetPtr rs = db_.Query("SELECT " + expr);
    EXPECT_EQ(rs->rows().size(), 1u) << expr;
    return rs->rows().at(0).at(0);
  }
  std::string Text(const std::string& expr) {
    Variant v = Eval(expr);
    EXPECT_TRUE(v.IsString()) << expr << " gave " << VarTypeName(v.type());
    return v.IsString() ? v.string_value() : "";
  }
  int64_t Int(const std::string& expr) {
    Variant v = Eval(expr);
    if (v.type() == VarType::kLong) return v.long_value();
    EXPECT_EQ(v.type(), VarType::kLongLong) << expr;
    return v.type() == VarType::kLongLong ? v.longlong_value() : -999999;
  }

  SqliteDb db_;
};

TEST_F(RuntimeTest, GetDateAndNewIdHaveTheirTravellingShapes) {
  std::string now = Text("tsql_getdate()");
  EXPECT_TRUE(HasShape(now, "dddd-dd-dd dd:dd:dd") || HasShape(now, "dddd-dd-dd dd:dd:dd.ddd"))
      << now;
  EXPECT_LE(Int("abs(tsql_datediff('second', tsql_getdate(), datetime('now', 'localtime')))"), 2);
  std::set<std::string> ids;
  for (int i = 0; i < 20; ++i) {
    std::string id = Text("tsql_newid()");
    EXPECT_TRUE(HasShape(id, "XXXXXXXX-XXXX-4XXX-XXXX-XXXXXXXXXXXX")) << id;
    EXPECT_NE(std::string("89AB").find(id[19]), std::string::npos) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 20u);
}

// JSON nested beyond any real document is refused rather than read recursively to the end of
// the stack; nesting a real document might have still reads.
TEST_F(RuntimeTest, JsonNestedTooDeeplyIsRefusedNotOverflowed) {
  std::string deep = "'" + std::string(200000, '[') + std::string(200000, ']') + "'";
  EXPECT_EQ(Int("tsql_isjson(" + deep + ")"), 0);
  EXPECT_THROW(Eval("tsql_json_query(" + deep + ", '$')"), ComError);
  std::string fine = "'" + std::string(300, '[') + "7" + std::string(300, ']') + "'";
  EXPECT_EQ(Int("tsql_isjson(" + fine + ")"), 1);
  EXPECT_EQ(Text("tsql_json_value(" + fine + ", '$" + [] {
              std::string path;
              for (int i = 0; i < 300; ++i) path += "[0]";
              return path;
            }() + "')"),
            "7");
}

// The collation is also called directly by code outside SQL (key lookups, recordset filters).
TEST(RuntimeCompareText, IgnoresCaseWidthAndTrailingBlanks) {
  EXPECT_EQ(CompareText("abc", "ABC   "), 0);
  EXPECT_LT(CompareText("abc", "abd"), 0);
  EXPECT_GT(CompareText("abc ", "ab"), 0);
  EXPECT_EQ(CompareText("ＡＢ", "ab"), 0);
}

TEST(RuntimeErrorText, EncodeAndDecodeRoundTrip) {
  int32_t number = 0;
  std::string message;
  ASSERT_TRUE(DecodeError(EncodeError(8152, "a|b"), &number, &message));
  EXPECT_EQ(number, 8152);
  EXPECT_EQ(message, "a|b");
  EXPECT_FALSE(DecodeError("no such table: x", &number, &message));
  EXPECT_FALSE(DecodeError("#12x|y", &number, &message));
  EXPECT_FALSE(DecodeError("#", &number, &message));
}

TEST(RuntimeConvertValue, ConvertsVariantsForTypedVariables) {
  EXPECT_EQ(ConvertValue(Variant("20261205"), "datetime"), Variant("2026-12-05 00:00:00"));
  EXPECT_EQ(ConvertValue(Variant(2.345), "decimal(18,2)"), Variant(2.35));
  EXPECT_EQ(ConvertValue(Variant("42"), "int"), Variant(int32_t{42}));
  EXPECT_EQ(ConvertValue(Variant(int64_t{5000000000}), "bigint"), Variant(int64_t{5000000000}));
  EXPECT_EQ(ConvertValue(Variant(true), "int"), Variant(int32_t{1}));
  EXPECT_TRUE(ConvertValue(Variant::Null(), "int").IsNull());
  // 2026-12-05 is day 46361 counted from 1899-12-30.
  EXPECT_EQ(ConvertValue(Variant(Date{46361.5}), "datetime"), Variant("2026-12-05 12:00:00"));
  // An assignment cuts silently, a store into a column refuses to lose text.
  EXPECT_EQ(ConvertValue(Variant("abcd"), "varchar(2)"), Variant("ab"));
  try {
    ConvertValue(Variant("abcd"), "varchar(2)", true);
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 8152);
    EXPECT_EQ(e.source(), kErrorSource);
  }
  EXPECT_THROW(ConvertValue(Variant("x"), "datetime"), ComError);
}

}  // namespace
}  // namespace ambit::tsql

// The shortcut for values already on their places must answer exactly what the digits do, for
// those values, for their neighbours a few units of the last place away, and for any others.
TEST(RuntimeRoundDecimal, ShortcutAnswersAsTheDigits) {
  std::mt19937_64 random(21);
  std::uniform_int_distribution<int64_t> whole(-2000000000, 2000000000);
  std::uniform_int_distribution<int> places(0, 8);
  std::uniform_int_distribution<int> steps(-3, 3);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  int differing = 0;
  for (int i = 0; i < 200000; ++i) {
    int q = places(random);
    double x = static_cast<double>(whole(random)) / std::pow(10.0, q);
    for (int n = steps(random); n != 0; n += n > 0 ? -1 : 1)
      x = std::nextafter(x, n > 0 ? HUGE_VAL : -HUGE_VAL);
    if (i % 4 == 3) x = any(random);
    int p = places(random);
    for (bool truncate : {false, true}) {
      double fast = ambit::tsql::rt::RoundDecimal(x, p, truncate);
      double digits = ambit::tsql::rt::RoundDecimalByDigits(x, p, truncate);
      if (fast != digits && ++differing <= 5)
        ADD_FAILURE() << x << " at " << p << (truncate ? " cut" : " rounded") << ": " << fast
                      << " instead of " << digits;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(ambit::tsql::rt::RoundDecimal(2.345, 2), 2.35);
  EXPECT_EQ(ambit::tsql::rt::RoundDecimal(-2.345, 2, true), -2.34);
  EXPECT_EQ(ambit::tsql::rt::RoundDecimal(12.5, 2), 12.5);
}
