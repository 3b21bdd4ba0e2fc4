// LIKE, PATINDEX, comparison with SQL Server's implicit conversions, and the TSQL collation.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

// One pattern position: a literal, '_' (any), '%' (any run) or a bracket set.
struct PatternItem {
  enum Kind : uint8_t { kLiteral, kAny, kRun, kSet };
  Kind kind = kLiteral;
  bool negated = false;
  uint32_t ch = 0;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;  // inclusive, folded

  static PatternItem Of(Kind kind, uint32_t ch = 0) {
    PatternItem item;
    item.kind = kind;
    item.ch = ch;
    return item;
  }
};

std::vector<PatternItem> CompilePattern(std::string_view p, uint32_t escape, bool has_escape) {
  std::vector<PatternItem> out;
  std::vector<uint32_t> chars;
  for (size_t pos = 0; pos < p.size();) chars.push_back(NextChar(p, &pos));
  for (size_t i = 0; i < chars.size(); ++i) {
    uint32_t c = chars[i];
    if (has_escape && c == escape && i + 1 < chars.size()) {
      out.push_back(PatternItem::Of(PatternItem::kLiteral, FoldChar(chars[++i])));
    } else if (c == '%') {
      if (out.empty() || out.back().kind != PatternItem::kRun) out.push_back(PatternItem::Of(PatternItem::kRun));
    } else if (c == '_') {
      out.push_back(PatternItem::Of(PatternItem::kAny));
    } else if (c == '[') {
      size_t close = i + 1;
      // A ']' right after '[' or '[^' is a member, not the end.
      if (close < chars.size() && chars[close] == '^') ++close;
      if (close < chars.size() && chars[close] == ']') ++close;
      while (close < chars.size() && chars[close] != ']') ++close;
      if (close >= chars.size()) {
        out.push_back(PatternItem::Of(PatternItem::kLiteral, '['));
        continue;
      }
      PatternItem set = PatternItem::Of(PatternItem::kSet);
      size_t j = i + 1;
      if (chars[j] == '^') set.negated = true, ++j;
      for (; j < close; ++j) {
        uint32_t lo = FoldChar(chars[j]), hi = lo;
        if (j + 2 < close && chars[j + 1] == '-') {
          hi = FoldChar(chars[j + 2]);
          j += 2;
        }
        set.ranges.emplace_back(lo, hi);
      }
      out.push_back(std::move(set));
      i = close;
    } else {
      out.push_back(PatternItem::Of(PatternItem::kLiteral, FoldChar(c)));
    }
  }
  return out;
}

bool ItemMatches(const PatternItem& item, uint32_t c) {
  switch (item.kind) {
    case PatternItem::kLiteral: return item.ch == c;
    case PatternItem::kAny: return true;
    case PatternItem::kSet: {
      bool in = false;
      for (auto [lo, hi] : item.ranges) in = in || (c >= lo && c <= hi);
      return in != item.negated;
    }
    case PatternItem::kRun: break;
  }
  return false;
}

// Every item but '%' takes exactly one character, so one backtrack point (the last '%') is
// enough and matching stays linear in practice.
bool MatchFrom(const std::vector<PatternItem>& pat, const std::vector<uint32_t>& text,
               size_t ti, size_t pi) {
  size_t star_p = std::string::npos, star_t = 0;
  while (ti < text.size()) {
    if (pi < pat.size() && pat[pi].kind == PatternItem::kRun) {
      star_p = pi++;
      star_t = ti;
    } else if (pi < pat.size() && ItemMatches(pat[pi], text[ti])) {
      ++pi;
      ++ti;
    } else if (star_p != std::string::npos) {
      pi = star_p + 1;
      ti = ++star_t;
    } else {
      return false;
    }
  }
  while (pi < pat.size() && pat[pi].kind == PatternItem::kRun) ++pi;
  return pi == pat.size();
}

std::vector<uint32_t> FoldedChars(std::string_view s) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) out.push_back(FoldChar(NextChar(s, &pos)));
  return out;
}

Value Like(const Args& a) {
  uint32_t escape = 0;
  bool has_escape = a.size() > 2;
  if (has_escape) {
    std::string e = ToText(a[2]);
    if (CharCount(e) != 1) {
      Fail(506, "The invalid escape character \"" + e + "\" was specified in a LIKE predicate.");
    }
    size_t pos = 0;
    escape = NextChar(e, &pos);
  }
  std::vector<PatternItem> pat = CompilePattern(ToText(a[1]), escape, has_escape);
  std::string value = ToText(a[0]);
  if (MatchFrom(pat, FoldedChars(value), 0, 0)) return Value::Int(1);
  // Trailing blanks of the value do not count; those of the pattern do.
  std::string_view trimmed = TrimTrailingBlanks(value);
  if (trimmed.size() == value.size()) return Value::Int(0);
  return Value::Int(MatchFrom(pat, FoldedChars(trimmed), 0, 0) ? 1 : 0);
}

// PATINDEX: the pattern must match the whole text from the found position on, so a pattern
// meant to find something mid-text carries '%' on both sides ('%[0-9]%').
Value PatIndex(const Args& a) {
  std::vector<PatternItem> pat = CompilePattern(ToText(a[0]), 0, false);
  std::vector<uint32_t> text = FoldedChars(ToText(a[1]));
  bool leading_run = !pat.empty() && pat.front().kind == PatternItem::kRun;
  if (!leading_run) return Value::Int(MatchFrom(pat, text, 0, 0) ? 1 : 0);
  // Strip the leading '%' and find the first position where the rest matches.
  for (size_t start = 0; start <= text.size(); ++start) {
    if (MatchFrom(pat, text, start, 1)) {
      if (pat.size() == 1) return Value::Int(text.empty() ? 0 : 1);
      return Value::Int(static_cast<int64_t>(start) + 1);
    }
  }
  return Value::Int(0);
}

int Sign(double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

int CompareNumbers(const Value& a, const Value& b) {
  if (a.kind == Value::kInt && b.kind == Value::kInt) return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
  return Sign(a.AsDouble() - b.AsDouble());
}

Value Cmp(const Args& args) {
  const Value& a = args[0];
  const Value& b = args[1];
  if (a.is_number() && b.is_number()) return Value::Int(CompareNumbers(a, b));
  if (a.kind == Value::kText && b.kind == Value::kText) {
    // A date column's value against date text compares as dates ('20261205' is that day).
    bool a_date = IsCanonicalDateText(a.s), b_date = IsCanonicalDateText(b.s);
    if (a_date != b_date || (a_date && a.s.size() != b.s.size())) {
      auto da = ParseDateText(a.s), db = ParseDateText(b.s);
      if (da && db) return Value::Int(da->ms < db->ms ? -1 : da->ms > db->ms ? 1 : 0);
    }
    int c = CompareText(a.s, b.s);
    return Value::Int(c < 0 ? -1 : c > 0 ? 1 : 0);
  }
  if (a.kind == Value::kText) return Value::Int(CompareNumbers(TextAsNumber(a, b.kind), b));
  return Value::Int(CompareNumbers(a, TextAsNumber(b, a.kind)));
}

int CollationCompare(void*, int n1, const void* a, int n2, const void* b) {
  return CompareText(std::string_view(static_cast<const char*>(a), n1),
                     std::string_view(static_cast<const char*>(b), n2));
}

}  // namespace

void RegisterLikeFunctions(sqlite3* db) {
  AddScalar(db, "tsql_like", 2, 3, Like);
  AddScalar(db, "tsql_patindex", 2, 2, PatIndex);
  AddScalar(db, "tsql_cmp", 2, 2, Cmp);
  int rc = sqlite3_create_collation_v2(db, kCollationName, SQLITE_UTF8, nullptr, CollationCompare,
                                       nullptr);
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register the TSQL collation: ") + sqlite3_errmsg(db));
  }
}

}  // namespace ambit::tsql::rt
