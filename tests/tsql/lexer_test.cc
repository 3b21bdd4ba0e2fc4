#include "tsql/lexer.h"

#include <gtest/gtest.h>

#include "base/com_error.h"

namespace ambit::tsql {
namespace {

std::vector<std::pair<TokenKind, std::string>> Kinds(std::string_view text) {
  std::vector<std::pair<TokenKind, std::string>> out;
  for (const Token& t : Tokenize(text)) out.emplace_back(t.kind, t.text);
  return out;
}

TEST(LexerTest, NamesVariablesAndQuoting) {
  auto toks = Kinds("select [Order Id], \"x\", #Tmp, @v, @@ROWCOUNT from dbo.t0");
  ASSERT_EQ(toks.size(), 15u);
  EXPECT_EQ(toks[1], std::make_pair(TokenKind::kQuotedIdentifier, std::string("Order Id")));
  EXPECT_EQ(toks[3], std::make_pair(TokenKind::kQuotedIdentifier, std::string("x")));
  EXPECT_EQ(toks[5], std::make_pair(TokenKind::kIdentifier, std::string("#Tmp")));
  EXPECT_EQ(toks[7], std::make_pair(TokenKind::kVariable, std::string("@v")));
  EXPECT_EQ(toks[9], std::make_pair(TokenKind::kSystemVariable, std::string("@@ROWCOUNT")));
  EXPECT_EQ(toks[13].second, "t0");
  EXPECT_EQ(toks.back().first, TokenKind::kEnd);
}

TEST(LexerTest, StringsNumbersAndOperators) {
  auto toks = Kinds("N'it''s' 'a' 1.5e3 .5 0x1F <> != >= !< += 'x'+'y'");
  EXPECT_EQ(toks[0], std::make_pair(TokenKind::kNString, std::string("it's")));
  EXPECT_EQ(toks[1], std::make_pair(TokenKind::kString, std::string("a")));
  EXPECT_EQ(toks[2], std::make_pair(TokenKind::kNumber, std::string("1.5e3")));
  EXPECT_EQ(toks[3], std::make_pair(TokenKind::kNumber, std::string(".5")));
  EXPECT_EQ(toks[4], std::make_pair(TokenKind::kNumber, std::string("0x1F")));
  EXPECT_EQ(toks[5].second, "<>");
  EXPECT_EQ(toks[6].second, "!=");
  EXPECT_EQ(toks[7].second, ">=");
  EXPECT_EQ(toks[8].second, "!<");
  EXPECT_EQ(toks[9].second, "+=");
  EXPECT_EQ(toks[11].second, "+");
}

TEST(LexerTest, CommentsAreSkippedAndNest) {
  auto toks = Kinds("a -- line\r\n/* outer /* inner */ still */ b");
  ASSERT_EQ(toks.size(), 3u);
  EXPECT_EQ(toks[1].second, "b");
  EXPECT_EQ(Tokenize("x\r\ny").at(1).line, 2);
}

TEST(LexerTest, MalformedTextIsAnError) {
  auto number_of = [](std::string_view text) {
    try {
      Tokenize(text);
    } catch (const ComError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(number_of("select 'abc"), 105);
  EXPECT_EQ(number_of("select [abc"), 105);
  EXPECT_EQ(number_of("/* never closed"), 113);
  EXPECT_EQ(number_of("select ?"), 102);
  EXPECT_EQ(number_of("select @"), 102);
}

}  // namespace
}  // namespace ambit::tsql
