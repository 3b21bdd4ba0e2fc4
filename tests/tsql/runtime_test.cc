// The runtime functions called through SQL on an in-memory database, where T-SQL's semantics
// differ from SQLite's.
#include "tsql/runtime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/com_error.h"
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
  double Real(const std::string& expr) {
    Variant v = Eval(expr);
    EXPECT_EQ(v.type(), VarType::kDouble) << expr;
    return v.type() == VarType::kDouble ? v.double_value() : -999999;
  }
  // The error an expression raises: "number|message".
  std::string Error(const std::string& expr) {
    try {
      Eval(expr);
    } catch (const ComError& e) {
      EXPECT_EQ(e.source(), kErrorSource);
      return std::to_string(e.number()) + "|" + e.description();
    }
    return "no error";
  }

  SqliteDb db_;
};

TEST_F(RuntimeTest, PlusConcatenatesTextAndAddsNumbers) {
  EXPECT_EQ(Text("tsql_add('1', '2')"), "12");
  EXPECT_EQ(Int("tsql_add(1, '2')"), 3);
  EXPECT_EQ(Int("tsql_add('2', 1)"), 3);
  EXPECT_EQ(Int("tsql_add(' 40 ', 2)"), 42);
  EXPECT_DOUBLE_EQ(Real("tsql_add(1.5, '2.25')"), 3.75);
  EXPECT_DOUBLE_EQ(Real("tsql_add(1, 0.5)"), 1.5);
  EXPECT_TRUE(Eval("tsql_add(NULL, 'a')").IsNull());
  EXPECT_TRUE(Eval("tsql_add(1, NULL)").IsNull());
  EXPECT_EQ(Error("tsql_add(1, 'abc')"),
            "245|Conversion failed when converting the varchar value 'abc' to data type int.");
  // An int side wants integer text, as SQL Server converts varchar to int.
  EXPECT_EQ(Error("tsql_add(1, '2.5')"),
            "245|Conversion failed when converting the varchar value '2.5' to data type int.");
  EXPECT_EQ(Error("tsql_add(1.5, 'x')"), "8114|Error converting data type varchar to numeric.");
  EXPECT_THAT(Error("tsql_add(9223372036854775807, 1)"), ::testing::StartsWith("8115|"));
  // Two int operands overflow at 32 bits, as int arithmetic does; a bigint operand does not.
  EXPECT_EQ(Error("tsql_add(2147483647, 1)"),
            "8115|Arithmetic overflow error converting expression to data type int.");
  EXPECT_THAT(Error("tsql_mul(65536, 65536)"), ::testing::StartsWith("8115|"));
  EXPECT_EQ(Int("tsql_add(2147483648, 1)"), 2147483649);
  EXPECT_EQ(Int("tsql_sub(-2147483647, 1)"), -2147483648LL);
  // A date value plus a number moves it by days.
  EXPECT_EQ(Text("tsql_add('2026-12-31 10:00:00', 1)"), "2027-01-01 10:00:00");
  EXPECT_EQ(Text("tsql_sub('2026-03-01 00:00:00', 1)"), "2026-02-28 00:00:00");
  EXPECT_THAT(Error("tsql_sub('a', 'b')"), ::testing::StartsWith("8117|"));
}

TEST_F(RuntimeTest, DivisionKeepsIntegersAndRefusesZero) {
  EXPECT_EQ(Int("tsql_div(7, 2)"), 3);
  EXPECT_EQ(Int("tsql_div(-7, 2)"), -3);
  EXPECT_DOUBLE_EQ(Real("tsql_div(7.0, 2)"), 3.5);
  EXPECT_EQ(Int("tsql_div('9', 2)"), 4);
  EXPECT_EQ(Int("tsql_mod(7, 3)"), 1);
  EXPECT_EQ(Int("tsql_mod(-7, 3)"), -1);
  EXPECT_EQ(Error("tsql_div(1, 0)"), "8134|Divide by zero error encountered.");
  EXPECT_EQ(Error("tsql_div(1.5, 0.0)"), "8134|Divide by zero error encountered.");
  EXPECT_EQ(Error("tsql_mod(5, 0)"), "8134|Divide by zero error encountered.");
  EXPECT_EQ(Int("tsql_mul(6, '7')"), 42);
  EXPECT_DOUBLE_EQ(Real("tsql_neg('5')"), -5);
  EXPECT_EQ(Int("tsql_neg(5)"), -5);
  EXPECT_EQ(Int("tsql_bitxor(6, 3)"), 5);
}

TEST_F(RuntimeTest, LengthsIgnoreTrailingBlanksButDataLengthCountsBytes) {
  EXPECT_EQ(Int("tsql_len('a  ')"), 1);
  EXPECT_EQ(Int("tsql_len('  a')"), 3);
  EXPECT_EQ(Int("tsql_len('')"), 0);
  EXPECT_EQ(Int("tsql_len('中文 ')"), 2);
  EXPECT_EQ(Int("tsql_len(12345)"), 5);
  EXPECT_EQ(Int("tsql_datalength('a  ')"), 3);
  EXPECT_EQ(Int("tsql_datalength(5)"), 4);
  EXPECT_TRUE(Eval("tsql_len(NULL)").IsNull());
}

TEST_F(RuntimeTest, SubstringFamilyCountsCharacters) {
  EXPECT_EQ(Text("tsql_left('abcdef', 2)"), "ab");
  EXPECT_EQ(Text("tsql_left('ab', 5)"), "ab");
  EXPECT_EQ(Text("tsql_right('abcdef', 2)"), "ef");
  EXPECT_EQ(Text("tsql_right('中文字', 2)"), "文字");
  EXPECT_THAT(Error("tsql_left('abc', -1)"), ::testing::StartsWith("536|"));
  EXPECT_EQ(Text("tsql_substring('abcdef', 2, 3)"), "bcd");
  EXPECT_EQ(Text("tsql_substring('abcdef', 0, 2)"), "a");  // start 0 still uses up length
  EXPECT_EQ(Text("tsql_substring('abcdef', 5, 10)"), "ef");
  EXPECT_EQ(Text("tsql_substring('abc', 10, 1)"), "");
  EXPECT_EQ(Text("tsql_substring('中文字', 2, 1)"), "文");
  EXPECT_THAT(Error("tsql_substring('abc', 1, -1)"), ::testing::StartsWith("537|"));
}

TEST_F(RuntimeTest, SearchesIgnoreCase) {
  EXPECT_EQ(Int("tsql_charindex('B', 'abcb')"), 2);
  EXPECT_EQ(Int("tsql_charindex('b', 'abcb', 3)"), 4);
  EXPECT_EQ(Int("tsql_charindex('z', 'abc')"), 0);
  EXPECT_EQ(Int("tsql_charindex('', 'abc')"), 0);
  EXPECT_EQ(Int("tsql_charindex('字', '中文字')"), 3);
  EXPECT_EQ(Text("tsql_replace('aXbxc', 'x', '-')"), "a-b-c");
  EXPECT_EQ(Text("tsql_replace('abc', '', '-')"), "abc");
  EXPECT_EQ(Text("tsql_replace('aaa', 'aa', 'b')"), "ba");
  EXPECT_EQ(Int("tsql_patindex('%[0-9]%', 'ab12')"), 3);
  EXPECT_EQ(Int("tsql_patindex('%z%', 'ab12')"), 0);
}

TEST_F(RuntimeTest, StuffTrimAndPadding) {
  EXPECT_EQ(Text("tsql_stuff(',a,b', 1, 1, '')"), "a,b");
  EXPECT_EQ(Text("tsql_stuff('abcdef', 2, 3, 'XY')"), "aXYef");
  EXPECT_EQ(Text("tsql_stuff('abc', 2, 1, NULL)"), "ac");
  EXPECT_TRUE(Eval("tsql_stuff('abc', 4, 0, 'x')").IsNull());
  EXPECT_TRUE(Eval("tsql_stuff('', 1, 1, '')").IsNull());
  EXPECT_TRUE(Eval("tsql_stuff(NULL, 1, 1, '')").IsNull());
  EXPECT_EQ(Text("tsql_ltrim('  a ')"), "a ");
  EXPECT_EQ(Text("tsql_rtrim('  a ')"), "  a");
  EXPECT_EQ(Text("tsql_replicate('ab', 3)"), "ababab");
  EXPECT_TRUE(Eval("tsql_replicate('ab', -1)").IsNull());
  EXPECT_EQ(Text("tsql_space(3)"), "   ");
  EXPECT_EQ(Text("tsql_str(123.456, 8, 2)"), "  123.46");
  EXPECT_EQ(Text("tsql_str(2.5)"), "         3");
  EXPECT_EQ(Text("tsql_str(123.456, 5, 2)"), "123.5");
  EXPECT_EQ(Text("tsql_str(12345, 3)"), "***");
  EXPECT_EQ(Text("tsql_upper('abc äö')"), "ABC ÄÖ");
  EXPECT_EQ(Text("tsql_lower('ÀB')"), "àb");
  EXPECT_EQ(Text("tsql_quotename('a]b')"), "[a]]b]");
  EXPECT_EQ(Text("tsql_concat('a', NULL, 1)"), "a1");
}

TEST_F(RuntimeTest, ConvertFormatsDatesByStyle) {
  const std::string d = "'2026-12-05 09:07:03'";
  EXPECT_EQ(Text("tsql_convert('varchar(10)', " + d + ", 112)"), "20261205");
  EXPECT_EQ(Text("tsql_convert('varchar(19)', " + d + ", 120)"), "2026-12-05 09:07:03");
  EXPECT_EQ(Text("tsql_convert('varchar(10)', " + d + ", 120)"), "2026-12-05");
  EXPECT_EQ(Text("tsql_convert('varchar(10)', " + d + ", 23)"), "2026-12-05");
  EXPECT_EQ(Text("tsql_convert('varchar', " + d + ", 101)"), "12/05/2026");
  EXPECT_EQ(Text("tsql_convert('varchar', " + d + ", 102)"), "2026.12.05");
  EXPECT_EQ(Text("tsql_convert('varchar', " + d + ", 111)"), "2026/12/05");
  EXPECT_EQ(Text("tsql_convert('varchar', " + d + ", 121)"), "2026-12-05 09:07:03.000");
  EXPECT_EQ(Text("tsql_convert('varchar', " + d + ", 108)"), "09:07:03");
  EXPECT_EQ(Text("tsql_convert('varchar(30)', " + d + ", 0)"), "Dec  5 2026  9:07AM");
  EXPECT_EQ(Text("tsql_convert('varchar', '2026-12-05 13:00:00.120', 121)"),
            "2026-12-05 13:00:00.120");
  EXPECT_THAT(Error("tsql_convert('varchar', " + d + ", 999)"), ::testing::StartsWith("281|"));
  // Without a style, a date's text stays as it travels.
  EXPECT_EQ(Text("tsql_convert('varchar(30)', " + d + ")"), "2026-12-05 09:07:03");
  // Text that is no date is not touched by a style.
  EXPECT_EQ(Text("tsql_convert('varchar(5)', 'hello world', 112)"), "hello");
  // Reading dates by style: 103 is day first, 101 month first.
  EXPECT_EQ(Text("tsql_convert('datetime', '05/12/2026', 103)"), "2026-12-05 00:00:00");
  EXPECT_EQ(Text("tsql_convert('datetime', '05/12/2026', 101)"), "2026-05-12 00:00:00");
  EXPECT_EQ(Text("tsql_convert('datetime', '20261205', 112)"), "2026-12-05 00:00:00");
}

TEST_F(RuntimeTest, EveryDateTextSqlServerAcceptsConverts) {
  EXPECT_EQ(Text("tsql_cast('1900/1/1', 'datetime')"), "1900-01-01 00:00:00");
  EXPECT_EQ(Text("tsql_cast('2026-12-05', 'datetime')"), "2026-12-05 00:00:00");
  EXPECT_EQ(Text("tsql_cast('20261205', 'datetime')"), "2026-12-05 00:00:00");
  EXPECT_EQ(Text("tsql_cast('2026-12-05T10:00:00', 'datetime')"), "2026-12-05 10:00:00");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00', 'datetime')"), "2026-12-05 10:00:00");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:00.5', 'datetime')"), "2026-12-05 10:00:00.500");
  // datetime counts 1/300 seconds; datetime2 keeps the milliseconds.
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:00.002', 'datetime')"), "2026-12-05 10:00:00.003");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:00.005', 'datetime')"), "2026-12-05 10:00:00.007");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:00.999', 'datetime')"), "2026-12-05 10:00:01");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:00.002', 'datetime2')"), "2026-12-05 10:00:00.002");
  EXPECT_EQ(Text("tsql_cast('12/5/2026 2:30 PM', 'datetime')"), "2026-12-05 14:30:00");
  EXPECT_EQ(Text("tsql_cast('Dec  5 2026 9:07AM', 'datetime')"), "2026-12-05 09:07:00");
  EXPECT_EQ(Text("tsql_cast('', 'datetime')"), "1900-01-01 00:00:00");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:00', 'date')"), "2026-12-05");
  EXPECT_EQ(Text("tsql_cast('2026-12-05 10:00:40', 'smalldatetime')"), "2026-12-05 10:01:00");
  EXPECT_EQ(Text("tsql_cast(1, 'datetime')"), "1900-01-02 00:00:00");
  const std::string bad =
      "241|Conversion failed when converting date and/or time from character string.";
  EXPECT_EQ(Error("tsql_cast('2026-02-30', 'datetime')"), bad);
  EXPECT_EQ(Error("tsql_cast('tomorrow', 'datetime')"), bad);
  EXPECT_EQ(Error("tsql_cast('2026-12-05 25:00', 'datetime')"), bad);
  EXPECT_EQ(Int("tsql_isdate('20261205')"), 1);
  EXPECT_EQ(Int("tsql_isdate('2026-13-01')"), 0);
  EXPECT_EQ(Int("tsql_isdate(NULL)"), 0);
}

TEST_F(RuntimeTest, DateDiffCountsBoundaries) {
  EXPECT_EQ(Int("tsql_datediff('day', '2026-01-31 23:59', '2026-02-01 00:01')"), 1);
  EXPECT_EQ(Int("tsql_datediff('dd', '2026-02-28', '2026-03-01')"), 1);
  EXPECT_EQ(Int("tsql_datediff('day', '2024-02-28', '2024-03-01')"), 2);
  EXPECT_EQ(Int("tsql_datediff('day', '2026-03-01', '2026-02-01')"), -28);
  EXPECT_EQ(Int("tsql_datediff('month', '2026-01-31', '2026-02-01')"), 1);
  EXPECT_EQ(Int("tsql_datediff('month', '2026-01-01', '2026-01-31')"), 0);
  EXPECT_EQ(Int("tsql_datediff('year', '2026-12-31', '2027-01-01')"), 1);
  EXPECT_EQ(Int("tsql_datediff('quarter', '2026-03-31', '2026-04-01')"), 1);
  EXPECT_EQ(Int("tsql_datediff('hour', '2026-01-01 10:59', '2026-01-01 11:00')"), 1);
  EXPECT_EQ(Int("tsql_datediff('minute', '2026-01-01 10:00:59', '2026-01-01 10:01:00')"), 1);
  EXPECT_EQ(Int("tsql_datediff('second', '2026-01-01', '2026-01-02')"), 86400);
  // 2026-12-05 is a Saturday: the next day starts a new week.
  EXPECT_EQ(Int("tsql_datediff('week', '2026-12-05', '2026-12-06')"), 1);
  EXPECT_EQ(Int("tsql_datediff('week', '2026-12-06', '2026-12-12')"), 0);
  EXPECT_EQ(Error("tsql_datediff('fortnight', '2026-01-01', '2026-01-02')"),
            "155|'fortnight' is not a recognized datepart option.");
}

TEST_F(RuntimeTest, DateAddClampsToTheEndOfTheMonth) {
  EXPECT_EQ(Text("tsql_dateadd('month', 1, '2026-01-31')"), "2026-02-28 00:00:00");
  EXPECT_EQ(Text("tsql_dateadd('month', 1, '2024-01-31')"), "2024-02-29 00:00:00");
  EXPECT_EQ(Text("tsql_dateadd('mm', -1, '2026-03-31 08:00')"), "2026-02-28 08:00:00");
  EXPECT_EQ(Text("tsql_dateadd('year', 1, '2024-02-29')"), "2025-02-28 00:00:00");
  EXPECT_EQ(Text("tsql_dateadd('quarter', 1, '2026-11-30')"), "2027-02-28 00:00:00");
  EXPECT_EQ(Text("tsql_dateadd('day', -1, '2026-03-01')"), "2026-02-28 00:00:00");
  EXPECT_EQ(Text("tsql_dateadd('hh', 25, '2026-12-31 00:00')"), "2027-01-01 01:00:00");
  EXPECT_EQ(Text("tsql_dateadd('day', 1.9, '2026-01-01')"), "2026-01-02 00:00:00");
  EXPECT_THAT(Error("tsql_dateadd('year', 9000, '2026-01-01')"), ::testing::StartsWith("517|"));
  EXPECT_THAT(Error("tsql_dateadd('ms', 9223372036854775807, '2026-01-01')"),
              ::testing::StartsWith("517|"));
  EXPECT_THAT(Error("tsql_add('2026-01-01 00:00:00', 1e300)"), ::testing::StartsWith("517|"));
}

TEST_F(RuntimeTest, DatePartsAndNames) {
  EXPECT_EQ(Int("tsql_datepart('weekday', '2026-12-06')"), 1);  // Sunday
  EXPECT_EQ(Int("tsql_datepart('dw', '2026-12-05')"), 7);
  EXPECT_EQ(Int("tsql_datepart('dayofyear', '2026-02-01')"), 32);
  EXPECT_EQ(Int("tsql_datepart('week', '2026-01-03')"), 1);  // Saturday, Jan 1 a Thursday
  EXPECT_EQ(Int("tsql_datepart('week', '2026-01-04')"), 2);
  EXPECT_EQ(Int("tsql_datepart('quarter', '2026-12-05')"), 4);
  EXPECT_EQ(Int("tsql_datepart('ms', '2026-12-05 10:00:00.250')"), 250);
  EXPECT_EQ(Text("tsql_datename('month', '2026-12-05')"), "December");
  EXPECT_EQ(Text("tsql_datename('weekday', '2026-12-05')"), "Saturday");
  EXPECT_EQ(Int("tsql_year('20261205')"), 2026);
  EXPECT_EQ(Int("tsql_month('2026-12-05')"), 12);
  EXPECT_EQ(Int("tsql_day('2026-12-05')"), 5);
  EXPECT_EQ(Text("tsql_eomonth('2024-02-10 10:00')"), "2024-02-29 00:00:00");
}

TEST_F(RuntimeTest, GetDateIsLocalTimeInTravellingForm) {
  std::string now = Text("tsql_getdate()");
  EXPECT_TRUE(HasShape(now, "dddd-dd-dd dd:dd:dd") || HasShape(now, "dddd-dd-dd dd:dd:dd.ddd"))
      << now;
  EXPECT_LE(Int("abs(tsql_datediff('second', tsql_getdate(), datetime('now', 'localtime')))"), 2);
}

TEST_F(RuntimeTest, LikeWithSetsRangesAndCase) {
  EXPECT_EQ(Int("tsql_like('abc', '[a-c]%')"), 1);
  EXPECT_EQ(Int("tsql_like('dbc', '[a-c]%')"), 0);
  EXPECT_EQ(Int("tsql_like('Bcd', '[a-c]%')"), 1);
  EXPECT_EQ(Int("tsql_like('ABC', 'a%')"), 1);
  EXPECT_EQ(Int("tsql_like('xbc', '[^a]%')"), 1);
  EXPECT_EQ(Int("tsql_like('abc', '[^a]%')"), 0);
  EXPECT_EQ(Int("tsql_like('abc', 'a_c')"), 1);
  EXPECT_EQ(Int("tsql_like('ac', 'a_c')"), 0);
  EXPECT_EQ(Int("tsql_like('a1b2c', '%b%c')"), 1);
  EXPECT_EQ(Int("tsql_like('abcbd', '%b_')"), 1);
  EXPECT_EQ(Int("tsql_like('50%', '50[%]')"), 1);
  EXPECT_EQ(Int("tsql_like('500', '50[%]')"), 0);
  EXPECT_EQ(Int("tsql_like('a_b', 'a!_b', '!')"), 1);
  EXPECT_EQ(Int("tsql_like('axb', 'a!_b', '!')"), 0);
  EXPECT_EQ(Int("tsql_like('[x', '[x')"), 1);  // an unclosed bracket is literal
  // Blanks after the value do not count, blanks in the pattern do.
  EXPECT_EQ(Int("tsql_like('abc  ', 'abc')"), 1);
  EXPECT_EQ(Int("tsql_like('abc', 'abc ')"), 0);
  EXPECT_EQ(Int("tsql_like(38193, '381%')"), 1);
  EXPECT_EQ(Int("tsql_like('中文字', '中%')"), 1);
  EXPECT_TRUE(Eval("tsql_like(NULL, '%')").IsNull());
  EXPECT_THAT(Error("tsql_like('a', 'a', 'xy')"), ::testing::StartsWith("506|"));
  // A pattern that changes from row to row is compiled for each row, not taken from the last.
  db_.ExecScript(
      "CREATE TABLE p (v TEXT, pat TEXT, expected INTEGER);"
      "INSERT INTO p VALUES ('abc', 'a%', 1), ('abc', 'b%', 0), ('bcd', 'b%', 1), "
      "  ('bcd', '_c_', 1), ('x', '[^x]', 0);");
  EXPECT_EQ(Int("count(*) FROM p WHERE tsql_like(v, pat) <> expected"), 0);
  EXPECT_EQ(Int("sum(tsql_like(v, 'b%')) FROM p"), 2);
}

TEST_F(RuntimeTest, CollationIgnoresCaseAndTrailingBlanks) {
  EXPECT_EQ(Int("'ABC ' = 'abc' COLLATE TSQL"), 1);
  EXPECT_EQ(Int("'ABC' = 'abd' COLLATE TSQL"), 0);
  EXPECT_EQ(Int("'Ärger' = 'ärger' COLLATE TSQL"), 1);
  EXPECT_EQ(Int("'a' < 'B' COLLATE TSQL"), 1);
  db_.ExecScript(
      "CREATE TABLE t (name TEXT COLLATE TSQL PRIMARY KEY);"
      "INSERT INTO t VALUES ('b'), ('A'), ('c ');");
  RecordsetPtr rs = db_.Query("SELECT name FROM t ORDER BY name");
  ASSERT_EQ(rs->rows().size(), 3u);
  EXPECT_EQ(rs->rows()[0][0], Variant("A"));
  EXPECT_EQ(rs->rows()[2][0], Variant("c "));
  EXPECT_EQ(Int("count(*) FROM t WHERE name = 'C'"), 1);
  EXPECT_THROW(db_.Exec("INSERT INTO t VALUES ('B  ')"), ComError);  // same key as 'b'
  EXPECT_EQ(CompareText("abc", "ABC   "), 0);
  EXPECT_LT(CompareText("abc", "abd"), 0);
  EXPECT_GT(CompareText("abc ", "ab"), 0);
  EXPECT_EQ(CompareText("ＡＢ", "ab"), 0);  // width is ignored too
}

TEST_F(RuntimeTest, CompareConvertsLikeSqlServer) {
  EXPECT_EQ(Int("tsql_cmp(38193, '38193')"), 0);
  EXPECT_EQ(Int("tsql_cmp('10', 9)"), 1);     // numerically, not as text
  EXPECT_EQ(Int("tsql_cmp('10', '9')"), -1);  // two texts compare as text
  EXPECT_EQ(Int("tsql_cmp(2.5, '2.50')"), 0);
  EXPECT_EQ(Int("tsql_cmp('abc ', 'ABC')"), 0);
  EXPECT_EQ(Int("tsql_cmp(1, 1.0)"), 0);
  EXPECT_EQ(Error("tsql_cmp(38193, '38x')"),
            "245|Conversion failed when converting the varchar value '38x' to data type int.");
  EXPECT_EQ(Int("tsql_cmp('2026-12-05 00:00:00', '20261205')"), 0);
  EXPECT_EQ(Int("tsql_cmp('2026-12-05 10:00:00', '2026/12/5')"), 1);
  EXPECT_EQ(Int("tsql_cmp('2026-12-05', '2026-12-05 00:00:00')"), 0);
  EXPECT_EQ(Int("tsql_cmp('2026-12-05 00:00:00.000', '2026-12-05')"), 0);
  EXPECT_EQ(Int("tsql_cmp('2026-12-05 00:00:01', '2026-12-05')"), 1);
  EXPECT_EQ(Int("tsql_cmp('2026-12-04 23:59:59.999', '2026-12-05')"), -1);
  EXPECT_TRUE(Eval("tsql_cmp(NULL, 1)").IsNull());
}

TEST_F(RuntimeTest, DecimalsRoundHalfAwayFromZero) {
  EXPECT_DOUBLE_EQ(Real("tsql_store_decimal(2.345, 18, 2)"), 2.35);
  EXPECT_DOUBLE_EQ(Real("tsql_store_decimal(-2.345, 18, 2)"), -2.35);
  EXPECT_DOUBLE_EQ(Real("tsql_store_decimal(2.344, 18, 2)"), 2.34);
  EXPECT_DOUBLE_EQ(Real("tsql_store_decimal(1.005, 18, 2)"), 1.01);
  EXPECT_DOUBLE_EQ(Real("tsql_store_decimal('12.3456', 10, 3)"), 12.346);
  EXPECT_EQ(Int("tsql_store_decimal(2.5, 18, 0)"), 3);
  EXPECT_DOUBLE_EQ(Real("tsql_store_decimal(999.99, 5, 2)"), 999.99);
  EXPECT_EQ(Error("tsql_store_decimal(1000, 5, 2)"),
            "8115|Arithmetic overflow error converting int to data type numeric.");
  EXPECT_EQ(Error("tsql_store_decimal(999.996, 5, 2)"),
            "8115|Arithmetic overflow error converting numeric to data type numeric.");
  EXPECT_EQ(Error("tsql_store_decimal('x', 18, 2)"),
            "8114|Error converting data type varchar to numeric.");
  EXPECT_DOUBLE_EQ(Real("tsql_round(2.345, 2)"), 2.35);
  EXPECT_DOUBLE_EQ(Real("tsql_round(-2.345, 2)"), -2.35);
  EXPECT_DOUBLE_EQ(Real("tsql_round(2.349, 1, 1)"), 2.3);
  EXPECT_DOUBLE_EQ(Real("tsql_round(1234.5, -2)"), 1200);
  EXPECT_EQ(Int("tsql_round(1250, -2)"), 1300);
  EXPECT_EQ(Int("tsql_round(-1250, -2)"), -1300);
  EXPECT_EQ(Int("tsql_round(1249, -2)"), 1200);
  EXPECT_EQ(Int("tsql_round(7, 2)"), 7);
  EXPECT_DOUBLE_EQ(Real("tsql_floor(-2.5)"), -3);
  EXPECT_DOUBLE_EQ(Real("tsql_ceiling(2.1)"), 3);
  EXPECT_EQ(Int("tsql_floor(4)"), 4);
  EXPECT_EQ(Int("tsql_abs(-4)"), 4);
  EXPECT_EQ(Int("tsql_power(2, 10)"), 1024);
}

TEST_F(RuntimeTest, IntegersTruncateAndRefuseText) {
  EXPECT_EQ(Int("tsql_store_int(2.9)"), 2);
  EXPECT_EQ(Int("tsql_store_int(-2.9)"), -2);
  EXPECT_EQ(Int("tsql_store_int(' 42 ')"), 42);
  EXPECT_EQ(Int("tsql_store_int('')"), 0);
  EXPECT_EQ(Error("tsql_store_int('abc')"),
            "245|Conversion failed when converting the varchar value 'abc' to data type int.");
  EXPECT_EQ(Error("tsql_store_int('2.5')"),
            "245|Conversion failed when converting the varchar value '2.5' to data type int.");
  EXPECT_EQ(Error("tsql_store_int(3000000000)"),
            "8115|Arithmetic overflow error converting expression to data type int.");
  EXPECT_EQ(Int("tsql_cast(3000000000, 'bigint')"), 3000000000);
  EXPECT_THAT(Error("tsql_cast(256, 'tinyint')"), ::testing::HasSubstr("tinyint"));
  EXPECT_EQ(Int("tsql_cast('true', 'bit')"), 1);
  EXPECT_EQ(Int("tsql_cast(0.0, 'bit')"), 0);
  EXPECT_EQ(Int("tsql_cast(5, 'bit')"), 1);
}

TEST_F(RuntimeTest, TextTargetsTruncateOnCastAndRefuseOnStore) {
  EXPECT_EQ(Text("tsql_cast('abcdef', 'varchar(3)')"), "abc");
  EXPECT_EQ(Text("tsql_cast('ab', 'char(4)')"), "ab  ");
  EXPECT_EQ(Text("tsql_cast(123, 'varchar(2)')"), "*");
  EXPECT_EQ(Text("tsql_cast(2.50, 'varchar(10)')"), "2.5");
  EXPECT_EQ(Text("tsql_cast(12, 'nvarchar(max)')"), "12");
  EXPECT_EQ(Int("tsql_len(tsql_cast(tsql_replicate('x', 40), 'varchar'))"), 30);
  EXPECT_EQ(Error("tsql_store('abcdef', 'varchar(3)')"),
            "8152|String or binary data would be truncated.");
  EXPECT_EQ(Text("tsql_store('abc   ', 'varchar(3)')"), "abc");
  EXPECT_EQ(Text("tsql_store('中文', 'nvarchar(2)')"), "中文");
  EXPECT_EQ(Error("tsql_check_len('abcd', 3)"), "8152|String or binary data would be truncated.");
  EXPECT_EQ(Text("tsql_check_len('abc  ', 3)"), "abc");
  EXPECT_EQ(Text("tsql_check_len('abc', 3)"), "abc");
  EXPECT_TRUE(Eval("tsql_check_len(NULL, 3)").IsNull());
  EXPECT_EQ(Error("tsql_cast(1, 'widget')"), "243|Type widget is not a defined system type.");
  EXPECT_DOUBLE_EQ(Real("tsql_cast('1.5e2', 'float')"), 150);
  EXPECT_DOUBLE_EQ(Real("tsql_cast(1234.5678, 'decimal(18,2)')"), 1234.57);
  EXPECT_EQ(Text("tsql_cast('{6f9619ff-8b86-d011-b42d-00c04fc964ff}', 'uniqueidentifier')"),
            "6F9619FF-8B86-D011-B42D-00C04FC964FF");
  EXPECT_THAT(Error("tsql_cast('nope', 'uniqueidentifier')"), ::testing::StartsWith("8169|"));
}

TEST_F(RuntimeTest, IsNumericFollowsSqlServerQuirks) {
  for (const char* yes : {"'12'", "' 12.5 '", "'-3'", "'1e5'", "'$12'", "'1,000'", "'-'", "7"}) {
    EXPECT_EQ(Int(std::string("tsql_isnumeric(") + yes + ")"), 1) << yes;
  }
  for (const char* no : {"'abc'", "''", "'1.2.3'", "'1e'", "'12a'", "NULL"}) {
    EXPECT_EQ(Int(std::string("tsql_isnumeric(") + no + ")"), 0) << no;
  }
}

TEST_F(RuntimeTest, StringAggregationForXmlPath) {
  db_.ExecScript(
      "CREATE TABLE items (n INTEGER, s TEXT);"
      "INSERT INTO items VALUES (1, 'a'), (2, NULL), (3, 'b&c'), (4, 'd');");
  EXPECT_EQ(Text("tsql_string_agg(',' || s) FROM (SELECT s FROM items ORDER BY n)"), ",a,b&c,d");
  EXPECT_EQ(Text("tsql_string_agg(s, '; ') FROM (SELECT s FROM items ORDER BY n DESC)"),
            "d; b&c; a");
  EXPECT_EQ(Text("tsql_stuff(tsql_string_agg(tsql_xml_escape(',' || s)), 1, 1, '') "
                 "FROM (SELECT s FROM items ORDER BY n)"),
            "a,b&amp;c,d");
  EXPECT_TRUE(Eval("tsql_string_agg(s) FROM items WHERE n > 10").IsNull());
  // Grouped: one text per group.
  RecordsetPtr rs = db_.Query(
      "SELECT n % 2, tsql_string_agg(s) FROM (SELECT * FROM items ORDER BY n) GROUP BY n % 2 "
      "ORDER BY 1");
  ASSERT_EQ(rs->rows().size(), 2u);
  EXPECT_EQ(rs->rows()[0][1], Variant("d"));
  EXPECT_EQ(rs->rows()[1][1], Variant("ab&c"));
}

TEST_F(RuntimeTest, ScalarSubqueryValueMustBeSingle) {
  db_.ExecScript("CREATE TABLE one (v); INSERT INTO one VALUES ('x'), ('y');");
  EXPECT_EQ(Text("(SELECT tsql_single(v) FROM (SELECT v FROM one WHERE v = 'y'))"), "y");
  EXPECT_TRUE(Eval("(SELECT tsql_single(v) FROM (SELECT v FROM one WHERE v = 'z'))").IsNull());
  EXPECT_THAT(Error("(SELECT tsql_single(v) FROM (SELECT v FROM one))"),
              ::testing::StartsWith("512|Subquery returned more than 1 value."));
  // Grouped, each group must have one row of its own.
  RecordsetPtr rs = db_.Query("SELECT v, tsql_single(v) FROM one GROUP BY v ORDER BY v");
  ASSERT_EQ(rs->rows().size(), 2u);
  EXPECT_EQ(rs->rows()[1][1], Variant("y"));
}

TEST_F(RuntimeTest, ServerPropertyNewIdAndRaise) {
  EXPECT_EQ(Text("tsql_serverproperty('ProductVersion')"), "15.0.2000.5");
  EXPECT_TRUE(Eval("tsql_serverproperty('nonsense')").IsNull());
  std::set<std::string> ids;
  for (int i = 0; i < 20; ++i) {
    std::string id = Text("tsql_newid()");
    EXPECT_TRUE(HasShape(id, "XXXXXXXX-XXXX-4XXX-XXXX-XXXXXXXXXXXX")) << id;
    EXPECT_NE(std::string("89AB").find(id[19]), std::string::npos) << id;
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 20u);
  EXPECT_EQ(Error("tsql_raise(50000, 'Order is locked')"), "50000|Order is locked");
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
