// Turns T-SQL text into tokens. Comments and blanks are dropped; malformed text (an unclosed
// quote or comment, a stray character) is a ComError with SQL Server's number.
#ifndef AMBIT_TSQL_LEXER_H_
#define AMBIT_TSQL_LEXER_H_

#include <string>
#include <string_view>
#include <vector>

#include "tsql/token.h"

namespace ambit::tsql {

inline constexpr char kEngineErrorSource[] = "ambit-order.tsql";

// Error 191: the input nests deeper than the engine walks (the parser, the emitter and the
// interpreter recurse on nesting, so hostile input must not exhaust the stack).
[[noreturn]] void FailNestedTooDeeply();

// The result always ends with a kEnd token. Token texts point into text, or into *unescaped
// for quoted tokens whose doubled quotes had to be undone; both must outlive the tokens.
std::vector<Token> Tokenize(std::string_view text, std::string* unescaped);
// The same into *out, replacing what it held (its capacity is reused).
void Tokenize(std::string_view text, std::string* unescaped, std::vector<Token>* out);

// Case-insensitive comparison of ASCII names, the way T-SQL compares keywords and identifiers.
// Inline: the parser asks it for nearly every token.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x == y) continue;
    // Bytes that differ only in the case bit are one letter in both cases.
    unsigned char lower = x | 0x20;
    if (lower != (y | 0x20) || lower < 'a' || lower > 'z') return false;
  }
  return true;
}
std::string ToLowerAscii(std::string_view s);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_LEXER_H_
