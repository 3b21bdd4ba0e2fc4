#include "tsql/sql_literals.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

// More values than this stay in the text: SQLite caps the parameters of a statement, and a
// statement that long is prepared rarely enough.
constexpr size_t kMaxLifted = 2000;

bool IsIdentStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsIdentPart(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

struct Literal {
  size_t begin, end;
  Variant value;
};

// Where the scanner stands inside one pair of parentheses.
struct Level {
  bool select_list = false;  // between a query's SELECT and its FROM (or the clause after it)
  bool by_list = false;      // in an ORDER BY or GROUP BY list
  bool type_args = false;    // the arguments of a type name: NUMERIC(18, 2)
  bool Keeps() const { return select_list || by_list || type_args; }
};

class Scanner {
 public:
  Scanner(std::string_view sql, bool query) : sql_(sql), query_(query) {}

  // Fills literals_ and max_param_; false for text the scanner leaves alone.
  bool Run() {
    levels_.push_back(Level{});
    while (pos_ < sql_.size()) {
      char c = sql_[pos_];
      if (IsSpace(c)) {
        ++pos_;
      } else if (c == '-' && Next() == '-') {
        while (pos_ < sql_.size() && sql_[pos_] != '\n') ++pos_;
      } else if (c == '/' && Next() == '*') {
        size_t end = sql_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return false;
        pos_ = end + 2;
      } else if (c == '\'') {
        if (!String()) return false;
      } else if (c == '"' || c == '`' || c == '[') {
        if (!QuotedName(c == '[' ? ']' : c)) return false;
      } else if (IsDigit(c) || (c == '.' && IsDigit(Next()))) {
        if (!Number()) return false;
      } else if (IsIdentStart(static_cast<unsigned char>(c))) {
        if (!Word()) return false;
      } else if (c == '?') {
        ++pos_;
        size_t start = pos_;
        while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
        if (start == pos_) return false;  // a bare '?' numbers itself: leave it alone
        size_t n = std::strtoul(std::string(sql_.substr(start, pos_ - start)).c_str(), nullptr, 10);
        if (n > max_param_) max_param_ = n;
        Token();
      } else if (c == ':' || c == '@' || c == '$' || c == ';') {
        return false;  // named parameters, or a second statement
      } else if (c == '(') {
        Level inner = levels_.back();  // ORDER BY (1) still names a column
        inner.type_args = type_name_;
        levels_.push_back(inner);
        ++pos_;
        Token();
      } else if (c == ')') {
        if (levels_.size() < 2) return false;
        levels_.pop_back();
        ++pos_;
        Token();
      } else {
        ++pos_;
        Token();
      }
    }
    return true;
  }

  const std::vector<Literal>& literals() const { return literals_; }
  size_t max_param() const { return max_param_; }

 private:
  char Next() const { return pos_ + 1 < sql_.size() ? sql_[pos_ + 1] : '\0'; }

  // Any token but a word ends "AS <type>" and the word sequence ORDER BY / GROUP BY.
  void Token() {
    after_as_ = false;
    type_name_ = false;
    previous_ = {};
  }

  bool Keeps() const { return after_as_ || levels_.back().Keeps(); }

  void Lift(size_t begin, Variant value) {
    if (!Keeps()) literals_.push_back(Literal{begin, pos_, std::move(value)});
    Token();
  }

  bool String() {
    size_t begin = pos_++;
    std::string value;
    while (true) {
      size_t quote = sql_.find('\'', pos_);
      if (quote == std::string_view::npos) return false;
      value.append(sql_.substr(pos_, quote - pos_));
      pos_ = quote + 1;
      if (pos_ < sql_.size() && sql_[pos_] == '\'') {
        value.push_back('\'');
        ++pos_;
        continue;
      }
      break;
    }
    Lift(begin, Variant(std::move(value)));
    return true;
  }

  bool QuotedName(char close) {
    ++pos_;
    while (true) {
      size_t end = sql_.find(close, pos_);
      if (end == std::string_view::npos) return false;
      pos_ = end + 1;
      if (close != ']' && pos_ < sql_.size() && sql_[pos_] == close) {
        ++pos_;
        continue;
      }
      break;
    }
    Token();
    return true;
  }

  bool Number() {
    size_t begin = pos_;
    if (sql_[pos_] == '0' && (Next() == 'x' || Next() == 'X')) {
      pos_ += 2;
      while (pos_ < sql_.size() && IsIdentPart(static_cast<unsigned char>(sql_[pos_]))) ++pos_;
      Token();  // hex integers keep their text
      return true;
    }
    bool real = false;
    while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    if (pos_ < sql_.size() && sql_[pos_] == '.') {
      real = true;
      ++pos_;
      while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    }
    if (pos_ < sql_.size() && (sql_[pos_] == 'e' || sql_[pos_] == 'E')) {
      real = true;
      ++pos_;
      if (pos_ < sql_.size() && (sql_[pos_] == '+' || sql_[pos_] == '-')) ++pos_;
      if (pos_ >= sql_.size() || !IsDigit(sql_[pos_])) return false;
      while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    }
    if (pos_ < sql_.size() && IsIdentPart(static_cast<unsigned char>(sql_[pos_]))) return false;
    std::string_view text = sql_.substr(begin, pos_ - begin);
    if (real) {
      Lift(begin, Variant(std::strtod(std::string(text).c_str(), nullptr)));
      return true;
    }
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
      Token();  // beyond 64 bits SQLite reads a REAL: the text says it best
      return true;
    }
    if (value >= INT32_MIN && value <= INT32_MAX) {
      Lift(begin, Variant(static_cast<int32_t>(value)));
    } else {
      Lift(begin, Variant(value));
    }
    return true;
  }

  bool Word() {
    size_t begin = pos_;
    while (pos_ < sql_.size() && IsIdentPart(static_cast<unsigned char>(sql_[pos_]))) ++pos_;
    std::string_view word = sql_.substr(begin, pos_ - begin);
    // X'0A1B' is a blob literal: it stays.
    if ((word == "x" || word == "X") && pos_ < sql_.size() && sql_[pos_] == '\'') {
      size_t end = sql_.find('\'', pos_ + 1);
      if (end == std::string_view::npos) return false;
      pos_ = end + 1;
      Token();
      return true;
    }
    Level& level = levels_.back();
    bool as_type = after_as_;
    if (EqualsNoCase(word, "select")) {
      level.select_list = query_;
    } else if (EqualsNoCase(word, "from") || EqualsNoCase(word, "where") ||
               EqualsNoCase(word, "values") || EqualsNoCase(word, "window")) {
      level.select_list = false;
    } else if (EqualsNoCase(word, "group") || EqualsNoCase(word, "order") ||
               EqualsNoCase(word, "having") || EqualsNoCase(word, "limit") ||
               EqualsNoCase(word, "union") || EqualsNoCase(word, "except") ||
               EqualsNoCase(word, "intersect") || EqualsNoCase(word, "offset")) {
      level.select_list = false;
      level.by_list = false;
    } else if (EqualsNoCase(word, "by") &&
               (EqualsNoCase(previous_, "order") || EqualsNoCase(previous_, "group"))) {
      level.by_list = true;
    }
    after_as_ = EqualsNoCase(word, "as");
    type_name_ = as_type;  // CAST(x AS NUMERIC(18, 2)): the next '(' holds type arguments
    previous_ = word;
    return true;
  }

  std::string_view sql_;
  bool query_;
  size_t pos_ = 0;
  std::vector<Level> levels_;
  std::vector<Literal> literals_;
  size_t max_param_ = 0;
  bool after_as_ = false;
  bool type_name_ = false;
  std::string_view previous_;
};

// The statement a WITH clause leads to: the first statement keyword outside parentheses.
std::string_view MainVerb(std::string_view sql) {
  int depth = 0;
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      size_t end = sql.find(c == '[' ? ']' : c, i + 1);
      if (end == std::string_view::npos) return {};
      i = end + 1;  // a doubled quote reads as two quoted pieces in a row: the same skip
    } else if (c == '-' && next == '-') {
      i = sql.find('\n', i);
    } else if (c == '/' && next == '*') {
      i = sql.find("*/", i + 2);
      if (i != std::string_view::npos) i += 2;
    } else if (IsIdentStart(static_cast<unsigned char>(c))) {
      size_t begin = i;
      while (i < sql.size() && IsIdentPart(static_cast<unsigned char>(sql[i]))) ++i;
      std::string_view word = sql.substr(begin, i - begin);
      if (depth == 0 && (EqualsNoCase(word, "select") || EqualsNoCase(word, "insert") ||
                         EqualsNoCase(word, "update") || EqualsNoCase(word, "delete") ||
                         EqualsNoCase(word, "replace"))) {
        return word;
      }
    } else {
      depth += c == '(' ? 1 : c == ')' ? -1 : 0;
      ++i;
    }
  }
  return {};
}

}  // namespace

bool LiftLiterals(std::string_view sql, size_t bound_params, LiftedSql* out) {
  size_t start = 0;
  while (start < sql.size() && IsSpace(sql[start])) ++start;
  size_t end = start;
  while (end < sql.size() && IsIdentPart(static_cast<unsigned char>(sql[end]))) ++end;
  std::string_view verb = sql.substr(start, end - start);
  // A query's select lists name its result columns. WITH ... INSERT (or UPDATE, DELETE) has no
  // result, and the engine names the columns of its common table expressions itself.
  bool query = EqualsNoCase(verb, "select");
  if (EqualsNoCase(verb, "with")) {
    std::string_view main = MainVerb(sql.substr(end));
    query = main.empty() || EqualsNoCase(main, "select");
  }
  if (!query && !EqualsNoCase(verb, "with") && !EqualsNoCase(verb, "insert") &&
      !EqualsNoCase(verb, "replace") && !EqualsNoCase(verb, "update") &&
      !EqualsNoCase(verb, "delete")) {
    return false;
  }
  Scanner scanner(sql, query);
  if (!scanner.Run() || scanner.literals().empty() || scanner.literals().size() > kMaxLifted) {
    return false;
  }
  out->first = std::max(bound_params, scanner.max_param());
  out->sql.clear();
  out->sql.reserve(sql.size() + 4 * scanner.literals().size());
  out->values.clear();
  out->values.reserve(scanner.literals().size());
  size_t copied = 0;
  for (const Literal& literal : scanner.literals()) {
    out->sql.append(sql.substr(copied, literal.begin - copied));
    out->sql += '?';
    out->sql += std::to_string(out->first + out->values.size() + 1);
    out->values.push_back(literal.value);
    copied = literal.end;
  }
  out->sql.append(sql.substr(copied));
  return true;
}

}  // namespace ambit::tsql
