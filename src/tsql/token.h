// Tokens of T-SQL text. Keywords are not told apart here: T-SQL lets most of them be names, so
// the parser decides from context whether an identifier is a keyword.
#ifndef AMBIT_TSQL_TOKEN_H_
#define AMBIT_TSQL_TOKEN_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ambit::tsql {

enum class TokenKind : uint8_t {
  kIdentifier,        // plain name or keyword; "#t" and "##t" included
  kQuotedIdentifier,  // [name] or "name", text without the quotes
  kVariable,          // @name, text with the '@'
  kSystemVariable,    // @@name, text with the '@@'
  kNumber,            // 12, 1.5, .5, 1e3, 0x1F
  kString,            // '...', text unescaped
  kNString,           // N'...'
  kOperator,          // punctuation and operators, text as written
  kEnd,
};

// The text views the batch itself, or (for a string or quoted name with doubled quotes) the
// unescaped copy Tokenize keeps; either lives as long as the parser that asked.
struct Token {
  // Packed into 32 bytes: the parser indexes and the lexer fills a token per few bytes of text.
  std::string_view text;
  // Byte offset in the batch, for messages (the line is counted from it when one is raised).
  size_t offset = 0;
  TokenKind kind = TokenKind::kEnd;
  // Whether an identifier is a reserved word, found when the parser first asks (-1 until
  // then): it asks several times of most names as it tries the grammar's alternatives.
  mutable int8_t reserved = -1;
};
static_assert(sizeof(Token) <= 32);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_TOKEN_H_
