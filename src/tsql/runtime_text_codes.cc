// Character-by-character text functions: TRANSLATE, STRING_ESCAPE, and the sound codes SOUNDEX
// and DIFFERENCE. Matching follows the default collation: case-insensitive, accent-sensitive.
#include <cstdio>
#include <string>
#include <vector>

#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

std::vector<uint32_t> CodePoints(std::string_view s) {
  std::vector<uint32_t> out;
  for (size_t pos = 0; pos < s.size();) out.push_back(NextChar(s, &pos));
  return out;
}

// Each character found in `from` becomes the one at the same place in `to`, at once: one
// replacement never feeds another, and the first of repeated characters wins.
Value Translate(const Args& a) {
  std::vector<uint32_t> from = CodePoints(ToText(a[1])), to = CodePoints(ToText(a[2]));
  if (from.size() != to.size()) {
    Fail(9828,
         "The second and third arguments of the TRANSLATE built-in function must contain an "
         "equal number of characters.");
  }
  for (uint32_t& c : from) c = FoldChar(c);
  std::string s = ToText(a[0]), out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    uint32_t c = NextChar(s, &pos), folded = FoldChar(c);
    size_t i = 0;
    while (i < from.size() && from[i] != folded) ++i;
    AppendChar(&out, i < from.size() ? to[i] : c);
  }
  return Value::Text(std::move(out));
}

Value StringEscape(const Args& a) {
  std::string type = ToText(a[1]);
  if (!EqualsNoCaseAscii(type, "json")) {
    Fail(13606, "Invalid escape type '" + type + "' passed to the STRING_ESCAPE function; "
                "the only supported type is 'json'.");
  }
  return Value::Text(JsonEscaped(ToText(a[0])));
}

// The digit of a consonant, '0' for a vowel (which separates equal digits) and '-' for H and W
// (which do not).
char SoundDigit(char upper) {
  switch (upper) {
    case 'B': case 'F': case 'P': case 'V': return '1';
    case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z': return '2';
    case 'D': case 'T': return '3';
    case 'L': return '4';
    case 'M': case 'N': return '5';
    case 'R': return '6';
    case 'H': case 'W': return '-';
    default: return '0';
  }
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The first letter and the digits of the next sounds, zero-padded to four characters; the code
// ends at the first character that is not a letter.
std::string SoundCode(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && !IsAsciiLetter(s[i])) ++i;
  if (i == s.size()) return "0000";
  char first = static_cast<char>(UpperChar(static_cast<unsigned char>(s[i])));
  std::string code(1, first);
  char last = SoundDigit(first);
  for (++i; i < s.size() && IsAsciiLetter(s[i]) && code.size() < 4; ++i) {
    char digit = SoundDigit(static_cast<char>(UpperChar(static_cast<unsigned char>(s[i]))));
    if (digit == '-') continue;
    if (digit != '0' && digit != last) code += digit;
    last = digit;
  }
  code.resize(4, '0');
  return code;
}

Value Soundex(const Args& a) { return Value::Text(SoundCode(ToText(a[0]))); }

// How many of the four places of the two codes agree: 0 (unlike) to 4 (alike).
Value Difference(const Args& a) {
  std::string x = SoundCode(ToText(a[0])), y = SoundCode(ToText(a[1]));
  int same = 0;
  for (size_t i = 0; i < 4; ++i) same += x[i] == y[i] ? 1 : 0;
  return Value::Int(same);
}

}  // namespace

std::string JsonEscaped(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '/': out += "\\/"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out;
}

void RegisterTextCodeFunctions(sqlite3* db) {
  AddScalar(db, "tsql_translate", 3, 3, Translate);
  AddScalar(db, "tsql_string_escape", 2, 2, StringEscape);
  AddScalar(db, "tsql_soundex", 1, 1, Soundex);
  AddScalar(db, "tsql_difference", 2, 2, Difference);
}

}  // namespace ambit::tsql::rt
