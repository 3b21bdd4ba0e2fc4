// Any value at all may reach the runtime (callers compose filters from user text), so every
// function is fed random arguments: it must answer or raise a numbered error, never crash or
// leak an unmapped failure. Deterministic, so a failure reproduces.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/sqlite_db.h"

namespace ambit::tsql {
namespace {

struct Fn {
  const char* name;
  int args;
};

constexpr Fn kFunctions[] = {
    {"tsql_add", 2},
    {"tsql_sub", 2},
    {"tsql_mul", 2},
    {"tsql_div", 2},
    {"tsql_mod", 2},
    {"tsql_neg", 1},
    {"tsql_bitxor", 2},
    {"tsql_cmp", 2},
    {"tsql_like", 2},
    {"tsql_like", 3},
    {"tsql_patindex", 2},
    {"tsql_len", 1},
    {"tsql_datalength", 1},
    {"tsql_left", 2},
    {"tsql_right", 2},
    {"tsql_substring", 3},
    {"tsql_charindex", 3},
    {"tsql_replace", 3},
    {"tsql_stuff", 4},
    {"tsql_ltrim", 1},
    {"tsql_upper", 1},
    {"tsql_lower", 1},
    {"tsql_replicate", 2},
    {"tsql_space", 1},
    {"tsql_reverse", 1},
    {"tsql_str", 3},
    {"tsql_quotename", 2},
    {"tsql_abs", 1},
    {"tsql_floor", 1},
    {"tsql_ceiling", 1},
    {"tsql_power", 2},
    {"tsql_sqrt", 1},
    {"tsql_round", 3},
    {"tsql_isnumeric", 1},
    {"tsql_dateadd", 3},
    {"tsql_datediff", 3},
    {"tsql_datepart", 2},
    {"tsql_datename", 2},
    {"tsql_year", 1},
    {"tsql_isdate", 1},
    {"tsql_eomonth", 1},
    {"tsql_cast", 2},
    {"tsql_convert", 3},
    {"tsql_store", 2},
    {"tsql_store_decimal", 3},
    {"tsql_store_int", 1},
    {"tsql_check_len", 2},
    {"tsql_xml_escape", 1},
    {"tsql_serverproperty", 1},
    {"tsql_concat", 3},
    {"tsql_datefromparts", 3},
    {"tsql_datetimefromparts", 7},
    {"tsql_datetime2fromparts", 8},
    {"tsql_smalldatetimefromparts", 5},
    {"tsql_timefromparts", 5},
    {"tsql_translate", 3},
    {"tsql_string_escape", 2},
    {"tsql_soundex", 1},
    {"tsql_difference", 2},
    {"tsql_isjson", 1},
    {"tsql_json_value", 2},
    {"tsql_json_query", 2},
    {"tsql_json_modify", 4},
    {"tsql_openjson", 2},
    {"tsql_openjson", 5},
};

class ArgumentSource {
 public:
  explicit ArgumentSource(uint32_t seed) : gen_(seed) {}

  Variant Next() {
    static const std::vector<Variant> kFixed = {Variant::Null(),
                                                Variant(int32_t{0}),
                                                Variant(int32_t{1}),
                                                Variant(int32_t{-1}),
                                                Variant(int32_t{31}),
                                                Variant(int32_t{120}),
                                                Variant(INT32_MAX),
                                                Variant(INT64_MIN),
                                                Variant(INT64_MAX),
                                                Variant(2.345),
                                                Variant(-1e300),
                                                Variant(1e-9),
                                                Variant(""),
                                                Variant("day"),
                                                Variant("month"),
                                                Variant("ms"),
                                                Variant("int"),
                                                Variant("varchar(3)"),
                                                Variant("decimal(5,2)"),
                                                Variant("datetime"),
                                                Variant("char(2)"),
                                                Variant("2026-12-05"),
                                                Variant("2026-01-31 23:59:59.999"),
                                                Variant("20261205"),
                                                Variant("[a-"),
                                                Variant("%_%"),
                                                Variant("[^]]%"),
                                                Variant(" 12 "),
                                                Variant("1e5"),
                                                Variant("9999-12-31 23:59:59"),
                                                Variant("json"),
                                                Variant("$.a"),
                                                Variant("append strict $[1]"),
                                                Variant("{\"a\": [1, {\"b\": \"\\u00e4\"}]}"),
                                                Variant("[1, 2.5e3, null, true]")};
    std::uniform_int_distribution<int> pick(0, 2);
    if (pick(gen_) != 0) return kFixed[gen_() % kFixed.size()];
    // Random bytes: ASCII pattern characters, multibyte text and broken UTF-8.
    static const std::vector<std::string> kPieces = {
        "a", "Z", "0", "9",  " ", "%",    "_",        "[",    "]", "^", "-", ".",
        ":", "/", "'", "中", "ä", "\xC3", "\xE4\xB8", "\xFF", "e", "$", ",",
        "{", "}", "\"", "\\u", "\\"};
    std::string s;
    int length = static_cast<int>(gen_() % 12);
    for (int i = 0; i < length; ++i) s += kPieces[gen_() % kPieces.size()];
    return Variant(s);
  }

 private:
  std::mt19937 gen_;
};

TEST(RuntimeFuzzTest, RandomArgumentsGiveValuesOrNumberedErrors) {
  SqliteDb db;
  db.Open(":memory:");
  ArgumentSource source(20261205);
  int answered = 0, refused = 0;
  for (int round = 0; round < 150; ++round) {
    for (const Fn& fn : kFunctions) {
      std::string sql = std::string("SELECT ") + fn.name + "(";
      std::vector<Variant> params;
      for (int i = 0; i < fn.args; ++i) {
        sql += (i ? ", ?" : "?") + std::to_string(i + 1);
        params.push_back(source.Next());
      }
      sql += ")";
      try {
        db.Query(sql, params);
        ++answered;
      } catch (const ComError& e) {
        ++refused;
        // Every refusal is one of the engine's own numbered errors, not SQLite's raw text.
        EXPECT_NE(e.number(), err::kUnexpected) << sql << ": " << e.description();
        EXPECT_GT(e.number(), 0) << sql;
        EXPECT_FALSE(e.description().empty()) << sql;
      }
    }
  }
  // Both outcomes occur, so the inputs reach past the argument checks.
  EXPECT_GT(answered, 500);
  EXPECT_GT(refused, 100);
}

TEST(RuntimeFuzzTest, DateTextParsingNeverAcceptsAnInvalidDay) {
  SqliteDb db;
  db.Open(":memory:");
  std::mt19937 gen(7);
  for (int i = 0; i < 2000; ++i) {
    int y = static_cast<int>(gen() % 10100), m = static_cast<int>(gen() % 14),
        d = static_cast<int>(gen() % 33);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    Variant valid = db.Query("SELECT tsql_isdate(?1)", {Variant(text)})->rows()[0][0];
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool expected = y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= days[m - 1];
    ASSERT_EQ(valid, Variant(int32_t{expected ? 1 : 0})) << text;
    if (expected) {
      // A valid day survives the round trip through the travelling form.
      Variant back = db.Query("SELECT tsql_convert('varchar(10)', tsql_cast(?1, 'datetime'), 23)",
                              {Variant(text)})
                         ->rows()[0][0];
      ASSERT_EQ(back, Variant(text));
    }
  }
}

}  // namespace
}  // namespace ambit::tsql
