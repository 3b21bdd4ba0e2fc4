#include "data/recordset_filter.h"

#include <cctype>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"
#include "data/connection.h"

namespace ambit {
namespace {

constexpr int32_t kInvalidFilter = 3001;

[[noreturn]] void Fail(std::string_view text, std::string_view why) {
  throw ComError(kInvalidFilter, kDataErrorSource,
                 "Invalid filter '" + std::string(text) + "': " + std::string(why) + ".");
}



// '*' and '%' match any run of characters; comparison ignores case like the rest of the filter.
bool WildcardMatch(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
      star = p++;
      mark = t;
    } else if (p < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[p])) ==
                   std::tolower(static_cast<unsigned char>(text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) ++p;
  return p == pattern.size();
}

enum class Op { kEq, kNe, kLt, kGt, kLe, kGe, kLike };

struct Node : RecordFilter {};

struct Compare : Node {
  int field;
  Op op;
  Variant value;  // Null for "= Null"
  bool Matches(const std::vector<Variant>& row) const override {
    const Variant& v = row[static_cast<size_t>(field)];
    if (value.IsNull()) {
      if (op == Op::kEq) return v.IsNull();
      if (op == Op::kNe) return !v.IsNull();
      return false;
    }
    if (v.IsNull() || v.IsObject()) return false;
    if (op == Op::kLike) return WildcardMatch(v.IsEmpty() ? "" : CStr(v), value.string_value());
    int c;
    if (value.IsString() && !(v.IsNumber() && IsNumericText(value.string_value()))) {
      std::string a = ToLowerAscii(CStr(v)), b = ToLowerAscii(value.string_value());
      c = a < b ? -1 : (a > b ? 1 : 0);
    } else if (value.IsString() || v.IsString()) {
      if (!IsNumeric(v) || !IsNumeric(value)) return false;
      double a = CDbl(v), b = CDbl(value);
      c = a < b ? -1 : (a > b ? 1 : 0);
    } else {
      c = CompareVariants(v, value);
    }
    switch (op) {
      case Op::kEq: return c == 0;
      case Op::kNe: return c != 0;
      case Op::kLt: return c < 0;
      case Op::kGt: return c > 0;
      case Op::kLe: return c <= 0;
      case Op::kGe: return c >= 0;
      case Op::kLike: break;
    }
    return false;
  }
};

// "a And b And c" is one node: a long chain walks in a loop, not one call per term.
struct Logical : Node {
  bool is_and;
  std::vector<std::unique_ptr<RecordFilter>> terms;
  bool Matches(const std::vector<Variant>& row) const override {
    for (const auto& t : terms) {
      if (t->Matches(row) != is_and) return !is_and;
    }
    return is_and;
  }
};

// Parentheses nest the parser's calls; deeper text is refused.
constexpr int kMaxParentheses = 64;

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldInfo>& fields)
      : text_(text), fields_(fields) {}

  std::unique_ptr<RecordFilter> Parse() {
    auto e = ParseOr();
    SkipBlanks();
    if (pos_ != text_.size()) Fail(text_, "unexpected text at '" + std::string(Rest()) + "'");
    return e;
  }

 private:
  std::string_view Rest() const { return text_.substr(pos_); }
  void SkipBlanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  // Consumes a keyword followed by a blank or '(' (so "Order" is not read as "Or").
  bool Keyword(std::string_view kw) {
    SkipBlanks();
    if (text_.size() - pos_ < kw.size() || !EqualsNoCase(text_.substr(pos_, kw.size()), kw))
      return false;
    size_t end = pos_ + kw.size();
    if (end < text_.size() && !std::isspace(static_cast<unsigned char>(text_[end])) &&
        text_[end] != '(')
      return false;
    pos_ = end;
    return true;
  }

  std::unique_ptr<RecordFilter> ParseOr() {
    return ParseChain(false, [this] { return ParseAnd(); });
  }

  std::unique_ptr<RecordFilter> ParseAnd() {
    return ParseChain(true, [this] { return ParseTerm(); });
  }

  template <typename Term>
  std::unique_ptr<RecordFilter> ParseChain(bool is_and, Term term) {
    auto first = term();
    if (!Keyword(is_and ? "And" : "Or")) return first;
    auto n = std::make_unique<Logical>();
    n->is_and = is_and;
    n->terms.push_back(std::move(first));
    do {
      n->terms.push_back(term());
    } while (Keyword(is_and ? "And" : "Or"));
    return n;
  }

  std::unique_ptr<RecordFilter> ParseTerm() {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '(') {
      ++pos_;
      if (++depth_ > kMaxParentheses) Fail(text_, "parentheses nest too deeply");
      auto e = ParseOr();
      --depth_;
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != ')') Fail(text_, "missing ')'");
      ++pos_;
      return e;
    }
    auto n = std::make_unique<Compare>();
    n->field = ParseField();
    n->op = ParseOp();
    n->value = ParseValue();
    if (n->op == Op::kLike && !n->value.IsString()) Fail(text_, "Like needs a quoted pattern");
    return n;
  }

  int ParseField() {
    SkipBlanks();
    std::string name;
    if (pos_ < text_.size() && text_[pos_] == '[') {
      size_t close = text_.find(']', pos_);
      if (close == std::string_view::npos) Fail(text_, "missing ']'");
      name = text_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
    } else {
      size_t start = pos_;
      while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) ||
                                     text_[pos_] == '_' ||
                                     static_cast<unsigned char>(text_[pos_]) >= 0x80))
        ++pos_;
      name = text_.substr(start, pos_ - start);
    }
    if (name.empty()) Fail(text_, "a field name is expected at '" + std::string(Rest()) + "'");
    for (size_t i = 0; i < fields_.size(); ++i)
      if (EqualsNoCase(fields_[i].name, name)) return static_cast<int>(i);
    Fail(text_, "no field named '" + name + "'");
  }

  Op ParseOp() {
    SkipBlanks();
    std::string_view r = Rest();
    auto take = [&](size_t n, Op op) {
      pos_ += n;
      return op;
    };
    if (r.starts_with("<>")) return take(2, Op::kNe);
    if (r.starts_with("<=")) return take(2, Op::kLe);
    if (r.starts_with(">=")) return take(2, Op::kGe);
    if (r.starts_with("=")) return take(1, Op::kEq);
    if (r.starts_with("<")) return take(1, Op::kLt);
    if (r.starts_with(">")) return take(1, Op::kGt);
    if (Keyword("Like")) return Op::kLike;
    Fail(text_, "an operator is expected at '" + std::string(r) + "'");
  }

  Variant ParseValue() {
    SkipBlanks();
    if (pos_ >= text_.size()) Fail(text_, "a value is expected at the end");
    char c = text_[pos_];
    if (c == '\'' || c == '#') {
      std::string out;
      ++pos_;
      while (true) {
        if (pos_ >= text_.size()) Fail(text_, "unterminated value");
        if (text_[pos_] == c) {
          if (c == '\'' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            out += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        out += text_[pos_++];
      }
      if (c == '#') {
        auto d = ParseDate(out);
        if (!d) Fail(text_, "'" + out + "' is not a date");
        return Variant(*d);
      }
      return Variant(std::move(out));
    }
    if (Keyword("Null")) return Variant::Null();
    size_t start = pos_;
    while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
           text_[pos_] != ')')
      ++pos_;
    std::string_view num = text_.substr(start, pos_ - start);
    if (!IsNumericText(num)) Fail(text_, "'" + std::string(num) + "' is not a number");
    return Variant(Val(num));
  }

  std::string_view text_;
  const std::vector<FieldInfo>& fields_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<RecordFilter> RecordFilter::Compile(std::string_view text,
                                                    const std::vector<FieldInfo>& fields) {
  return Parser(text, fields).Parse();
}

}  // namespace ambit
