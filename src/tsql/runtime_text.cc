// Text functions. Positions and lengths count characters; searches compare as the default
// collation does (case-insensitive).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

// Results beyond this are a runaway REPLICATE, not data.
constexpr int64_t kMaxTextBytes = 64 * 1024 * 1024;

std::vector<uint32_t> Chars(std::string_view s, bool fold) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    uint32_t c = NextChar(s, &pos);
    out.push_back(fold ? FoldChar(c) : c);
  }
  return out;
}

// Byte offsets of each character of s, plus s.size() at the end.
std::vector<size_t> CharStarts(std::string_view s) {
  std::vector<size_t> out;
  out.reserve(s.size() + 1);
  for (size_t pos = 0; pos < s.size();) {
    out.push_back(pos);
    NextChar(s, &pos);
  }
  out.push_back(s.size());
  return out;
}

// 0-based character index of needle in hay at or after from, or -1.
int64_t Find(const std::vector<uint32_t>& hay, const std::vector<uint32_t>& needle, size_t from) {
  if (needle.empty() || needle.size() > hay.size()) return -1;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && hay[i + k] == needle[k]) ++k;
    if (k == needle.size()) return static_cast<int64_t>(i);
  }
  return -1;
}

// Characters [from, from + count) of s, clamped to the text.
std::string CharSlice(std::string_view s, int64_t from, int64_t count) {
  if (count <= 0 || from < 0) return "";
  size_t begin = ByteOffset(s, static_cast<size_t>(from));
  size_t end = begin + ByteOffset(s.substr(begin), static_cast<size_t>(count));
  return std::string(s.substr(begin, end - begin));
}

void CheckLength(int64_t n, const char* function) {
  if (n < 0) {
    Fail(536, std::string("Invalid length parameter passed to the ") + function + " function.");
  }
}

Value Len(const Args& a) {
  return Value::Int(static_cast<int64_t>(CharCount(TrimTrailingBlanks(ToText(a[0])))));
}

Value DataLength(const Args& a) {
  if (a[0].kind == Value::kInt) {
    return Value::Int(a[0].i >= INT32_MIN && a[0].i <= INT32_MAX ? 4 : 8);
  }
  if (a[0].kind == Value::kReal) return Value::Int(8);
  return Value::Int(static_cast<int64_t>(a[0].s.size()));
}

Value Left(const Args& a) {
  int64_t n = ToInt(a[1]);
  CheckLength(n, "left");
  return Value::Text(CharSlice(ToText(a[0]), 0, n));
}

Value Right(const Args& a) {
  int64_t n = ToInt(a[1]);
  CheckLength(n, "right");
  std::string s = ToText(a[0]);
  int64_t len = static_cast<int64_t>(CharCount(s));
  return Value::Text(n >= len ? s : CharSlice(s, len - n, n));
}

// A start before 1 still counts toward length: SUBSTRING('abc', 0, 2) is 'a'.
Value Substring(const Args& a) {
  int64_t start = ToInt(a[1]), length = ToInt(a[2]);
  if (length < 0) Fail(537, "Invalid length parameter passed to the substring function.");
  int64_t end;  // exclusive, 1-based
  if (__builtin_add_overflow(start, length, &end)) end = INT64_MAX;
  if (start < 1) start = 1;
  // A start far before 1 can leave the end before it: nothing is taken.
  return Value::Text(CharSlice(ToText(a[0]), start - 1, end > start ? end - start : 0));
}

Value CharIndex(const Args& a) {
  std::vector<uint32_t> needle = Chars(ToText(a[0]), true);
  std::vector<uint32_t> hay = Chars(ToText(a[1]), true);
  int64_t start = a.size() > 2 ? ToInt(a[2]) : 1;
  if (start < 1) start = 1;
  int64_t at = Find(hay, needle, static_cast<size_t>(start - 1));
  return Value::Int(at + 1);
}

Value Replace(const Args& a) {
  std::string s = ToText(a[0]);
  std::vector<uint32_t> needle = Chars(ToText(a[1]), true);
  if (needle.empty()) return Value::Text(std::move(s));
  std::string with = ToText(a[2]);
  std::vector<uint32_t> hay = Chars(s, true);
  std::vector<size_t> starts = CharStarts(s);
  std::string out;
  size_t copied = 0;  // character index copied up to
  for (int64_t at = Find(hay, needle, 0); at >= 0; at = Find(hay, needle, copied)) {
    out.append(s, starts[copied], starts[at] - starts[copied]);
    out += with;
    copied = static_cast<size_t>(at) + needle.size();
    if (static_cast<int64_t>(out.size()) > kMaxTextBytes) Fail(1105, "Result text too long.");
  }
  out.append(s, starts[copied], std::string::npos);
  return Value::Text(std::move(out));
}

Value Stuff(const Args& a) {
  if (a[0].is_null() || a[1].is_null() || a[2].is_null()) return Value{};
  std::string s = ToText(a[0]);
  int64_t start = ToInt(a[1]), length = ToInt(a[2]);
  int64_t len = static_cast<int64_t>(CharCount(s));
  if (start < 1 || start > len || length < 0) return Value{};
  std::string out = CharSlice(s, 0, start - 1);
  if (!a[3].is_null()) out += ToText(a[3]);
  if (length < len - (start - 1)) out += CharSlice(s, start - 1 + length, len);
  return Value::Text(std::move(out));
}

Value LTrim(const Args& a) {
  std::string s = ToText(a[0]);
  return Value::Text(s.substr(std::min(s.find_first_not_of(' '), s.size())));
}

Value RTrim(const Args& a) { return Value::Text(std::string(TrimTrailingBlanks(ToText(a[0])))); }

Value Trim(const Args& a) {
  std::string s(TrimTrailingBlanks(ToText(a[0])));
  return Value::Text(s.substr(std::min(s.find_first_not_of(' '), s.size())));
}

Value MapChars(const Value& v, uint32_t (*map)(uint32_t)) {
  std::string s = ToText(v), out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) AppendChar(&out, map(NextChar(s, &pos)));
  return Value::Text(std::move(out));
}

Value Upper(const Args& a) { return MapChars(a[0], UpperChar); }
Value Lower(const Args& a) { return MapChars(a[0], FoldChar); }

Value Replicate(const Args& a) {
  std::string s = ToText(a[0]);
  int64_t n = ToInt(a[1]);
  if (n < 0) return Value{};
  if (s.empty()) return Value::Text("");  // else a huge count spins on nothing
  int64_t bytes;
  if (__builtin_mul_overflow(n, static_cast<int64_t>(s.size()), &bytes) || bytes > kMaxTextBytes) {
    Fail(1105, "Result text too long.");
  }
  std::string out;
  out.reserve(s.size() * n);
  for (int64_t i = 0; i < n; ++i) out += s;
  return Value::Text(std::move(out));
}

Value Space(const Args& a) {
  int64_t n = ToInt(a[0]);
  if (n < 0) return Value{};
  if (n > kMaxTextBytes) Fail(1105, "Result text too long.");
  return Value::Text(std::string(static_cast<size_t>(n), ' '));
}

Value Reverse(const Args& a) {
  std::vector<uint32_t> chars = Chars(ToText(a[0]), false);
  std::string out;
  for (auto it = chars.rbegin(); it != chars.rend(); ++it) AppendChar(&out, *it);
  return Value::Text(std::move(out));
}

// STR gives up decimals before it gives up integer digits; when even those do not fit the
// field is all asterisks.
Value Str(const Args& a) {
  double x = ToReal(a[0]);
  int64_t length = a.size() > 1 ? ToInt(a[1]) : 10;
  int64_t decimals = a.size() > 2 ? ToInt(a[2]) : 0;
  if (length <= 0 || length > 8000 || decimals < 0) return Value{};
  if (decimals > 16) decimals = 16;
  char buf[400];
  for (int64_t d = decimals; d >= 0; --d) {
    double r = RoundDecimal(x, static_cast<int>(d));
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(d), r);
    std::string text = buf;
    if (text == "-0") text = "0";
    if (static_cast<int64_t>(text.size()) <= length) {
      return Value::Text(std::string(length - text.size(), ' ') + text);
    }
  }
  return Value::Text(std::string(static_cast<size_t>(length), '*'));
}

Value QuoteName(const Args& a) {
  std::string s = ToText(a[0]);
  if (CharCount(s) > 128) return Value{};
  char open = '[', close = ']';
  if (a.size() > 1) {
    std::string q = ToText(a[1]);
    if (q == "'" || q == "\"") {
      open = close = q[0];
    } else if (q == "(" || q == ")") {
      open = '(', close = ')';
    } else if (q != "[" && q != "]") {
      return Value{};
    }
  }
  std::string out(1, open);
  for (char c : s) {
    out += c;
    if (c == close) out += c;
  }
  out += close;
  return Value::Text(std::move(out));
}

// CONCAT: NULL arguments count as empty text.
Value Concat(const Args& a) {
  std::string out;
  for (const Value& v : a) out += ToText(v);
  return Value::Text(std::move(out));
}

}  // namespace

void RegisterTextFunctions(sqlite3* db) {
  AddScalar(db, "tsql_len", 1, 1, Len);
  AddScalar(db, "tsql_datalength", 1, 1, DataLength);
  AddScalar(db, "tsql_left", 2, 2, Left);
  AddScalar(db, "tsql_right", 2, 2, Right);
  AddScalar(db, "tsql_substring", 3, 3, Substring);
  AddScalar(db, "tsql_charindex", 2, 3, CharIndex);
  AddScalar(db, "tsql_replace", 3, 3, Replace);
  AddScalar(db, "tsql_stuff", 4, 4, Stuff, false);
  AddScalar(db, "tsql_ltrim", 1, 1, LTrim);
  AddScalar(db, "tsql_rtrim", 1, 1, RTrim);
  AddScalar(db, "tsql_trim", 1, 1, Trim);
  AddScalar(db, "tsql_upper", 1, 1, Upper);
  AddScalar(db, "tsql_lower", 1, 1, Lower);
  AddScalar(db, "tsql_replicate", 2, 2, Replicate);
  AddScalar(db, "tsql_space", 1, 1, Space);
  AddScalar(db, "tsql_reverse", 1, 1, Reverse);
  AddScalar(db, "tsql_str", 1, 3, Str);
  AddScalar(db, "tsql_quotename", 1, 2, QuoteName);
  AddScalar(db, "tsql_concat", 2, 16, Concat, false);
}

}  // namespace ambit::tsql::rt
