// T-SQL expressions through the whole engine: the function map, predicates and the type rules
// the emitter applies (what a batch author can observe, not how the emitter spells it).
#include <gtest/gtest.h>

#include <string>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

class ExpressionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.Open(":memory:");
    session_.Execute("CREATE TABLE f (id int, name varchar(20), at datetime, amt decimal(10,2)) "
                     "INSERT INTO f VALUES (1, 'Apple pie', '2026-12-05 10:30:00', 1.5), "
                     "(2, 'banana', '2026-01-31', NULL), (3, NULL, NULL, 2)");
  }
  std::string Scalar(const std::string& sql) {
    RecordsetPtr rs = session_.Execute(sql);
    if (rs->rows().empty()) return "<none>";
    const Variant& v = rs->rows()[0][0];
    return v.IsNull() ? "NULL" : CStr(v);
  }

  Session session_;
};

TEST_F(ExpressionsTest, TextFunctions) {
  EXPECT_EQ(Scalar("SELECT LEN('ab   ')"), "2");
  EXPECT_EQ(Scalar("SELECT CHARINDEX('PIE', name) FROM f WHERE id = 1"), "7");
  EXPECT_EQ(Scalar("SELECT REPLACE(name, 'APPLE', 'Pear') FROM f WHERE id = 1"), "Pear pie");
  EXPECT_EQ(Scalar("SELECT LEFT(name, 3) + RIGHT(name, 3) FROM f WHERE id = 2"), "banana");
  EXPECT_EQ(Scalar("SELECT SUBSTRING('abcdef', 2, 3)"), "bcd");
  EXPECT_EQ(Scalar("SELECT STUFF(',a,b', 1, 1, '')"), "a,b");
  EXPECT_EQ(Scalar("SELECT 'x' + name FROM f WHERE id = 3"), "NULL");
  EXPECT_EQ(Scalar("SELECT CONCAT('x', name, 1) FROM f WHERE id = 3"), "x1");
  EXPECT_EQ(Scalar("SELECT UPPER(LTRIM(RTRIM('  ab  ')))"), "AB");
  EXPECT_EQ(Scalar("SELECT REPLICATE('ab', 3) + SPACE(1) + CHAR(65)"), "ababab A");
  EXPECT_EQ(Scalar("SELECT ASCII('a')"), "97");
}

TEST_F(ExpressionsTest, PredicatesAndNulls) {
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE name LIKE '[ab]%'"), "2");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE name NOT LIKE '%PIE'"), "1");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE name IS NULL OR amt IS NULL"), "2");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE id BETWEEN 2 AND 3"), "2");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f WHERE at BETWEEN '2026-01-01' AND '2026-12-31'"), "2");
  EXPECT_EQ(Scalar("DECLARE @a int = 2 SELECT COUNT(*) FROM f WHERE @a IN (id, 5)"), "1");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM f t WHERE EXISTS (SELECT 1 FROM f u WHERE u.id = t.id + 1)"),
            "2");
  EXPECT_EQ(Scalar("SELECT NULLIF(id, 1) FROM f WHERE id = 1"), "NULL");
  EXPECT_EQ(Scalar("SELECT COALESCE(name, 'none') FROM f WHERE id = 3"), "none");
  EXPECT_EQ(Scalar("SELECT IIF(amt > 1, 'big', 'small') FROM f WHERE id = 1"), "big");
  EXPECT_EQ(Scalar("SELECT CASE id WHEN 1 THEN 'one' WHEN 2 THEN 'two' END FROM f WHERE id = 2"),
            "two");
  EXPECT_EQ(Scalar("SELECT ISNUMERIC('12.5') + ISNUMERIC('x')"), "1");
}

TEST_F(ExpressionsTest, NumbersAndBits) {
  EXPECT_EQ(Scalar("SELECT 7 % 3 + (6 & 3) + (4 | 1) + (5 ^ 1)"), "12");
  EXPECT_EQ(Scalar("SELECT ~0"), "-1");
  EXPECT_EQ(Scalar("SELECT -id FROM f WHERE id = 2"), "-2");
  EXPECT_EQ(Scalar("SELECT ROUND(2.345, 2)"), "2.35");
  EXPECT_EQ(Scalar("SELECT SUM(amt) FROM f"), "3.5");
  EXPECT_EQ(Scalar("SELECT AVG(id) FROM f"), "2");
  EXPECT_EQ(Scalar("SELECT CAST(amt AS varchar(10)) FROM f WHERE id = 1"), "1.50");
  EXPECT_EQ(Scalar("SELECT 0x10 + 1"), "17");
  EXPECT_EQ(Scalar("SELECT ABS(-3) + FLOOR(2.7) + CEILING(2.1)"), "8");
}

TEST_F(ExpressionsTest, DatesAndServerFacts) {
  EXPECT_EQ(Scalar("SELECT CONVERT(varchar(8), at, 112) FROM f WHERE id = 1"), "20261205");
  EXPECT_EQ(Scalar("SELECT CONVERT(varchar(19), at, 120) FROM f WHERE id = 2"),
            "2026-01-31 00:00:00");
  EXPECT_EQ(Scalar("SELECT CONVERT(varchar(10), DATEADD(month, 1, at), 23) FROM f WHERE id = 2"),
            "2026-02-28");
  EXPECT_EQ(Scalar("SELECT DATEDIFF(day, '2026-12-01', at) FROM f WHERE id = 1"), "4");
  EXPECT_EQ(Scalar("SELECT YEAR(at) * 100 + MONTH(at) FROM f WHERE id = 1"), "202612");
  EXPECT_EQ(Scalar("SELECT DATEPART(hh, at) FROM f WHERE id = 1"), "10");
  EXPECT_EQ(Scalar("SELECT CASE WHEN CAST(SERVERPROPERTY('productversion') AS varchar(20)) "
                   "LIKE '15.%' THEN 'modern' END"),
            "modern");
  EXPECT_EQ(Scalar("SELECT LEN(NEWID())"), "36");
  EXPECT_EQ(Scalar("SELECT CASE WHEN GETDATE() > '2000-01-01' THEN 1 ELSE 0 END"), "1");
}

}  // namespace
}  // namespace ambit::tsql
