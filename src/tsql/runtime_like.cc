// LIKE, PATINDEX, comparison with SQL Server's implicit conversions, and the TSQL collation.
#include <sqlite3.h>

#include <memory>
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
      if (out.empty() || out.back().kind != PatternItem::kRun)
        out.push_back(PatternItem::Of(PatternItem::kRun));
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
    case PatternItem::kLiteral:
      return item.ch == c;
    case PatternItem::kAny:
      return true;
    case PatternItem::kSet: {
      bool in = false;
      for (auto [lo, hi] : item.ranges) in = in || (c >= lo && c <= hi);
      return in != item.negated;
    }
    case PatternItem::kRun:
      break;
  }
  return false;
}

// Every item but '%' takes exactly one character, so one backtrack point (the last '%') is
// enough and matching stays linear in practice.
bool MatchFrom(const std::vector<PatternItem>& pat, const std::vector<uint32_t>& text, size_t ti,
               size_t pi) {
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

void FoldInto(std::string_view s, std::vector<uint32_t>* out) {
  out->clear();
  for (size_t pos = 0; pos < s.size();) out->push_back(FoldChar(NextChar(s, &pos)));
}

struct CompiledPattern {
  std::string text;
  bool has_escape = false;
  uint32_t escape = 0;
  std::vector<PatternItem> items;
};

bool LikeMatches(const CompiledPattern& pattern, std::string_view value) {
  thread_local std::vector<uint32_t> folded;
  FoldInto(value, &folded);
  if (MatchFrom(pattern.items, folded, 0, 0)) return true;
  // Trailing blanks of the value do not count; those of the pattern do.
  std::string_view trimmed = TrimTrailingBlanks(value);
  if (trimmed.size() == value.size()) return false;
  FoldInto(trimmed, &folded);
  return MatchFrom(pattern.items, folded, 0, 0);
}

std::string_view TextOf(sqlite3_value* v, std::string* holder) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return std::string_view(text ? text : "", sqlite3_value_bytes(v));
  }
  Value value = sqlite3_value_type(v) == SQLITE_INTEGER ? Value::Int(sqlite3_value_int64(v))
                                                        : Value::Real(sqlite3_value_double(v));
  *holder = ToText(value);
  return *holder;
}

void DeletePattern(void* p) { delete static_cast<CompiledPattern*>(p); }

// LIKE runs once per row with the same pattern, so the compiled pattern is kept as SQLite's
// auxiliary data of the pattern argument.
void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  try {
    std::string value_holder, pattern_holder, escape_holder;
    std::string_view value = TextOf(argv[0], &value_holder);
    std::string_view pattern_text = TextOf(argv[1], &pattern_holder);
    uint32_t escape = 0;
    if (argc > 2) {
      std::string_view e = TextOf(argv[2], &escape_holder);
      if (CharCount(e) != 1) {
        Fail(506, "The invalid escape character \"" + std::string(e) +
                      "\" was specified in a LIKE predicate.");
      }
      size_t pos = 0;
      escape = NextChar(e, &pos);
    }
    auto* cached = static_cast<const CompiledPattern*>(sqlite3_get_auxdata(ctx, 1));
    if (cached && cached->text == pattern_text && cached->has_escape == (argc > 2) &&
        cached->escape == escape) {
      sqlite3_result_int(ctx, LikeMatches(*cached, value) ? 1 : 0);
      return;
    }
    auto compiled = std::make_unique<CompiledPattern>();
    compiled->text = std::string(pattern_text);
    compiled->has_escape = argc > 2;
    compiled->escape = escape;
    compiled->items = CompilePattern(pattern_text, escape, argc > 2);
    sqlite3_result_int(ctx, LikeMatches(*compiled, value) ? 1 : 0);
    // SQLite may free the data at once, so it is handed over only after its last use.
    sqlite3_set_auxdata(ctx, 1, compiled.release(), DeletePattern);
  } catch (const SqlError& e) {
    std::string text = EncodeError(e.number, e.message);
    sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    std::string text = EncodeError(err::kUnexpected, std::string("Internal error: ") + e.what());
    sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
  }
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

// Two dates in the travelling form compare as text once the shorter one is read with zeros for
// the time it leaves out ("2026-12-05" is "2026-12-05 00:00:00.000").
int CompareCanonicalDates(std::string_view a, std::string_view b) {
  static constexpr std::string_view kZero = "0000-00-00 00:00:00.000";
  for (size_t i = 0; i < kZero.size(); ++i) {
    char ca = i < a.size() ? a[i] : kZero[i];
    char cb = i < b.size() ? b[i] : kZero[i];
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

int Sign(double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

int CompareNumbers(const Value& a, const Value& b) {
  if (a.kind == Value::kInt && b.kind == Value::kInt) return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
  return Sign(a.AsDouble() - b.AsDouble());
}

Value Cmp(const Args& args) {
  if (args[0].kind == Value::kBlob || args[1].kind == Value::kBlob) {
    // Binary against a number compares as an int; against binary or text, byte by byte.
    if (args[0].is_number() || args[1].is_number()) {
      return Value::Int(CompareNumbers(BlobAsNumber(args[0]), BlobAsNumber(args[1])));
    }
    int c = args[0].s.compare(args[1].s);
    return Value::Int(c < 0 ? -1 : c > 0 ? 1 : 0);
  }
  const Value& a = args[0];
  const Value& b = args[1];
  if (a.is_number() && b.is_number()) return Value::Int(CompareNumbers(a, b));
  if (a.kind == Value::kText && b.kind == Value::kText) {
    // A date column's value against date text compares as dates ('20261205' is that day).
    bool a_date = IsCanonicalDateText(a.s), b_date = IsCanonicalDateText(b.s);
    if (a_date && b_date) return Value::Int(CompareCanonicalDates(a.s, b.s));
    if (a_date != b_date) {
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
  for (int n = 2; n <= 3; ++n) {
    int rc = sqlite3_create_function_v2(db, "tsql_like", n, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                        nullptr, LikeFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      throw ComError(err::kUnexpected, kErrorSource,
                     std::string("Cannot register tsql_like: ") + sqlite3_errmsg(db));
    }
  }
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
