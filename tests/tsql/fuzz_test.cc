// Deterministic random input for the lexer, the parser and the whole engine: any text may reach
// Execute (callers compose filters and run user SQL), so every input must end in a result or a
// ComError, never a crash, a hang or another exception type.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

const std::vector<std::string>& Seeds() {
  static const auto* kSeeds = new std::vector<std::string>{
      "select t1.FID, t2.FName as n from IC_A t1 with(nolock) left join B t2 on t1.FID = t2.FID "
      "where t1.FID in (1,2,3) and t2.FName like N'[a-c]%' order by 1 desc",
      "Update t1 Set t1.FShop = t2.FShop FROM e t1 INNER JOIN o t2 ON t1.FID = t2.FID WHERE "
      "t2.FID = 1",
      "DECLARE @n int, @s varchar(20) = 'x' SET @n = 1 SELECT @n = id FROM o WHERE id > @n",
      "IF OBJECT_ID('tempdb..#t') IS NOT NULL DROP TABLE #t CREATE TABLE #t(FID int) "
      "INSERT INTO #t VALUES (1)",
      "select stuff((select ','+rtrim(FShop) from o for xml path('')),1,1,'')",
      "SELECT CASE WHEN id > 1 THEN 'a' ELSE 'b' END, CONVERT(varchar(6), GETDATE(), 112), "
      "DATEADD(day, 1, '2026-12-05'), ISNULL(NULL, 0) FROM o GROUP BY id HAVING COUNT(*) > 0",
      "DELETE t1 FROM o t0 INNER JOIN e t1 ON t0.FID = t1.FID",
      "select '03',38118 union select '04',38119 union all select top 1 1, 2",
      "BEGIN TRAN INSERT INTO o (id) VALUES (5) ROLLBACK",
      "CREATE PROCEDURE p @a int = 1, @b int OUTPUT AS BEGIN SET @b = @a + 1 RETURN 0 END",
      "exec p 1, @b = @x output",
      "/* comment */ SELECT [a b], \"c\", N'it''s' -- tail\r\n FROM o",
  };
  return *kSeeds;
}

const std::vector<std::string>& Fragments() {
  static const auto* kFragments = new std::vector<std::string>{
      "(", ")", ",", "'", "[", "]", "\"", "/*", "*/", "--", "@", "@@", "#", "N'", ".", ";",
      "select", "from", "where", "begin", "end", "case", "when", "else", "if", "exec", "(select",
      "union", "join", "on", "in (", "set", "=", "+", "*", "not", "null", "for xml path(''",
      "\x80\xff", "\n", " ", "0x", "1e", "..", "top", "into #x"};
  return *kFragments;
}

std::string Mutate(std::mt19937& rng, std::string text) {
  std::uniform_int_distribution<int> op_dist(0, 5);
  int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    size_t pos = text.empty() ? 0 : rng() % (text.size() + 1);
    switch (op_dist(rng)) {
      case 0:  // drop a span
        if (!text.empty() && pos < text.size()) text.erase(pos, 1 + rng() % 8);
        break;
      case 1:  // insert a fragment
        text.insert(pos, Fragments()[rng() % Fragments().size()]);
        break;
      case 2:  // random byte
        text.insert(pos, 1, static_cast<char>(rng() % 256));
        break;
      case 3:  // duplicate a span
        if (!text.empty() && pos < text.size()) text.insert(pos, text.substr(pos, 1 + rng() % 20));
        break;
      case 4:  // cut the tail
        text.resize(pos);
        break;
      default:  // splice with another seed
        text.insert(pos, Seeds()[rng() % Seeds().size()].substr(0, rng() % 40));
    }
  }
  return text;
}

TEST(FuzzTest, LexerAndParserOnlyRaiseComErrors) {
  std::mt19937 rng(20261205);
  int parsed = 0, rejected = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text = Mutate(rng, Seeds()[i % Seeds().size()]);
    try {
      std::string unescaped;
      Tokenize(text, &unescaped);
      ParseBatch(text);
      ++parsed;
    } catch (const ComError& e) {
      EXPECT_GT(e.number(), 0) << text;
      EXPECT_FALSE(e.description().empty()) << text;
      ++rejected;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "non-ComError " << e.what() << " for: " << text;
    }
  }
  // Both outcomes must actually occur, or the mutations are not exercising anything.
  EXPECT_GT(parsed, 100);
  EXPECT_GT(rejected, 1000);
}

TEST(FuzzTest, PureGarbageAndDeepNesting) {
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    std::string text(rng() % 200, '\0');
    for (char& c : text) c = static_cast<char>(rng() % 256);
    try {
      ParseBatch(text);
    } catch (const ComError&) {
    }
  }
  for (std::string_view unit : {"(", "select (", "case when 1=1 then ", "not ", "- ", "begin "}) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += unit;
    EXPECT_THROW(ParseBatch(deep), ComError) << unit;
  }
}

TEST(FuzzTest, EngineSurvivesMutatedBatches) {
  Session session;
  session.Open(":memory:");
  session.Execute(
      "CREATE TABLE o (id int, FID int, FShop varchar(10)) "
      "CREATE TABLE e (FID int, FShop varchar(10)) CREATE TABLE IC_A (FID int) "
      "CREATE TABLE B (FID int, FName nvarchar(20)) "
      "INSERT INTO o VALUES (1, 1, 'a'), (2, 2, 'b') INSERT INTO e VALUES (1, 'x')");
  std::mt19937 rng(42);
  int ran = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string text = Mutate(rng, Seeds()[i % Seeds().size()]);
    // Loops are the one construct whose running time is the input's to choose.
    if (text.find("while") != std::string::npos || text.find("WHILE") != std::string::npos) {
      continue;
    }
    try {
      session.Execute(text);
      ++ran;
    } catch (const ComError& e) {
      // An unmapped SQLite failure means the emitter produced text SQLite could not take.
      EXPECT_GT(e.number(), 0) << e.description() << " for: " << text;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "non-ComError " << e.what() << " for: " << text;
    }
    if (session.trancount() > 0) session.RollbackTrans();
  }
  EXPECT_GT(ran, 50);
  // The database is still usable afterwards.
  EXPECT_NO_THROW(session.Execute("SELECT COUNT(*) FROM o"));
}

}  // namespace
}  // namespace ambit::tsql
