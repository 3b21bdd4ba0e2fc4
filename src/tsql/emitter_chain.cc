// Operator chains. "a + b - c + ..." arrives as one node holding every operand, and SQLite gets
// it in one of two shapes. Short chains go step by step, with SQL Server's conversions decided
// at every step exactly as for a pair of operands. Long ones (thousands of OR terms from a
// workbench filter, sums a program wrote) go as flat runs combined pairwise: SQLite refuses
// expressions more than 1000 levels deep and more than about 90 nested parentheses, and a
// step-by-step rendering of a long chain would be both.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

// Sized literals: appending a bare C string measures it again at every call.
using namespace std::string_view_literals;
namespace {

// Chains up to this many operands are always emitted step by step.
constexpr size_t kStepwiseOperands = 8;
// A longer chain that has no flat form (mixed operators or types known only at run time) is
// refused beyond this: each step nests one more function call, and SQLite parses about 30.
constexpr size_t kMaxStepwiseOperands = 24;
// Terms of one flat run; the runs then pair up, so a run's length bounds the expression depth.
constexpr size_t kRunLength = 256;

using NumericType = Emitter::NumericType;

bool IsInt32(const NumericType& t) {
  return t.kind == NumericType::Kind::kInteger && t.precision <= 10;
}

// One step `a op b` of a chain, written as prefix, a, infix, b, suffix; `result` is the
// step's numeric type. The forms are told from the types alone, so a chain's steps are known
// before any operand is written and the operands go straight into the text. A decimal
// quotient's suffix also names its scale (`scale`, -1 for the others).
struct StepForm {
  std::string_view prefix, infix, suffix;
  int scale = -1;
};

// " op " of the operators written between their operands.
std::string_view Spaced(std::string_view op) {
  switch (op[0]) {
    case '+': return " + ";
    case '-': return " - ";
    case '*': return " * ";
    case '&': return " & ";
    default: return " | ";
  }
}

StepForm Step(const std::string& op_text, StaticType ta, StaticType tb, const NumericType& na,
              const NumericType& nb, const NumericType& result) {
  const std::string_view op = op_text;  // compares lengths first
  bool numeric = ta == StaticType::kNumeric && tb == StaticType::kNumeric;
  if (numeric && (op == "+" || op == "-" || op == "*")) {
    // int op int overflows at 32 bits in SQL Server; SQLite would carry on in 64.
    if (IsInt32(na) && IsInt32(nb)) return {"tsql_store_int((", Spaced(op), "))"};
    // Past 64 bits SQLite quietly goes on in floating point; bigint arithmetic must overflow.
    if (result.kind == NumericType::Kind::kInteger) {
      return {"tsql_checked_bigint((", Spaced(op), "))"};
    }
    return {"(", Spaced(op), ")"};
  }
  if (op == "+") {
    if (ta == StaticType::kText && tb == StaticType::kText) return {"(", " || ", ")"};
    return {"tsql_add(", ", ", ")"};
  }
  if (op == "-") return {"tsql_sub(", ", ", ")"};
  if (op == "*") return {"tsql_mul(", ", ", ")"};
  if (op == "/") {
    // SQLite hands integral decimal values back as integers; the division must not become an
    // integer division because of that.
    if (result.kind == NumericType::Kind::kDecimal) {
      // The quotient is cut, not rounded, to the result's scale: 2.0 / 3 is 0.666666.
      return {"tsql_round(tsql_div(", ", CAST(", " AS REAL)), ", result.scale};
    }
    if (result.kind == NumericType::Kind::kMoney) {
      return {"tsql_div(", ", CAST(", " AS REAL))"};
    }
    return {"tsql_div(", ", ", ")"};
  }
  if (op == "%") return {"tsql_mod(", ", ", ")"};
  if (op == "&" || op == "|") return {"(", Spaced(op), ")"};
  if (op == "^") return {"tsql_bitxor(", ", ", ")"};
  throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + op_text + "'.");
}

}  // namespace

void Emitter::RefuseDateArithmetic(const Expr& e, std::span<const StaticType> types) const {
  // Only datetime and smalldatetime take days added as numbers; the newer date types refuse.
  // Their static type is kDate or kUnknown, never numeric or text, so the full result type
  // (costly for nested calls) is asked only of operands that may be one, next to a number.
  if (std::find(types.begin(), types.end(), StaticType::kNumeric) == types.end()) return;
  for (size_t i = 0; i < e.args.size(); ++i) {
    if (types[i] == StaticType::kNumeric || types[i] == StaticType::kText) continue;
    std::string type = ToLowerAscii(ResultType(*e.args[i]));
    type = type.substr(0, type.find('('));
    if (type != "date" && type != "datetime2" && type != "time") continue;
    for (size_t j = 0; j < e.args.size(); ++j) {
      if (j == i || types[j] != StaticType::kNumeric) continue;
      std::string other = ToLowerAscii(ResultType(*e.args[j]));
      other = other.substr(0, other.find('('));
      throw ComError(206, kEngineErrorSource,
                     "Operand type clash: " + type + " is incompatible with " +
                         (other.empty() ? "int" : other));
    }
  }
}

bool Emitter::IsArithmetic(const std::string& op_text) {
  const std::string_view op = op_text;  // compares lengths first
  return op == "+" || op == "-" || op == "*" || op == "/" || op == "%" || op == "&" ||
         op == "|" || op == "^";
}

StaticType Emitter::StepType(StaticType a, const std::string& op_text, StaticType b) {
  const std::string_view op = op_text;  // compares lengths first
  if (op == "+" || op == "-" || op == "*" || op == "/" || op == "%") {
    if (a == b && (op == "+" || a == StaticType::kNumeric)) return a;
  }
  if (op == "&" || op == "|" || op == "^") return StaticType::kNumeric;
  return StaticType::kUnknown;
}

std::string Emitter::Grouped(const std::vector<std::string>& terms, const std::string& joiner) {
  std::vector<std::string> level;
  for (size_t i = 0; i < terms.size(); i += kRunLength) {
    std::string run = "(";
    for (size_t j = i; j < terms.size() && j < i + kRunLength; ++j) {
      if (j > i) run += joiner;
      run += terms[j];
    }
    level.push_back(run + ")");
  }
  while (level.size() > 1) {
    std::vector<std::string> next;
    for (size_t i = 0; i < level.size(); i += 2) {
      next.push_back(i + 1 < level.size() ? "(" + level[i] + joiner + level[i + 1] + ")"
                                          : std::move(level[i]));
    }
    level = std::move(next);
  }
  return level.empty() ? std::string() : std::move(level[0]);
}

void Emitter::AppendChain(const Expr& e, std::string* out) {
  const std::string& first_op = e.text;
  if (std::string_view(first_op) == "and" || std::string_view(first_op) == "or") {
    *out += LogicalChain(e);
    return;
  }
  if (!IsArithmetic(first_op)) {
    AppendComparison(first_op, *e.args[0], *e.args[1], out);
    return;
  }
  const size_t n = e.args.size();
  // Most chains are short: their operands' types stay on the stack.
  StaticType type_buffer[kStepwiseOperands];
  NumericType numeric_buffer[kStepwiseOperands];
  std::vector<StaticType> long_types;
  std::vector<NumericType> long_numeric;
  std::span<StaticType> types(type_buffer, std::min(n, kStepwiseOperands));
  std::span<NumericType> numeric(numeric_buffer, types.size());
  if (n > kStepwiseOperands) {
    long_types.resize(n);
    long_numeric.resize(n);
    types = long_types;
    numeric = long_numeric;
  }
  for (size_t i = 0; i < n; ++i) types[i] = TypeOf(*e.args[i]);
  // The exact numeric types steer only steps with a number on the right and divisions; a chain
  // with neither (text joined by +) leaves them unasked.
  bool exact = std::find(types.begin(), types.end(), StaticType::kNumeric) != types.end() ||
               std::find(e.parts.begin(), e.parts.end(), std::string_view("/")) != e.parts.end();
  for (size_t i = 0; i < n; ++i) numeric[i] = exact ? NumericTypeOf(*e.args[i]) : NumericType{};
  if (n <= kStepwiseOperands) RefuseDateArithmetic(e, types);
  if (n > kStepwiseOperands) {
    std::string flat = LongArithmeticChain(e, types, numeric);
    if (!flat.empty()) {
      *out += flat;
      return;
    }
    if (n > kMaxStepwiseOperands) {
      FailNestedTooDeeply();
    }
  }
  // Step i wraps steps 1 .. i-1: the prefixes go out innermost last.
  StepForm step_buffer[kStepwiseOperands - 1];
  std::vector<StepForm> long_steps;
  std::span<StepForm> steps(step_buffer, n - 1);
  if (n > kStepwiseOperands) {
    long_steps.resize(n - 1);
    steps = long_steps;
  }
  StaticType ta = types[0];
  NumericType na = numeric[0];
  for (size_t i = 1; i < n; ++i) {
    const std::string& op = e.parts[i - 1];
    NumericType result = StepNumericType(na, op, numeric[i]);
    steps[i - 1] = Step(op, ta, types[i], na, numeric[i], result);
    ta = StepType(ta, op, types[i]);
    na = result;
  }
  for (size_t i = n - 1; i > 0; --i) *out += steps[i - 1].prefix;
  AppendExpression(*e.args[0], out);
  for (size_t i = 1; i < n; ++i) {
    const StepForm& step = steps[i - 1];
    *out += step.infix;
    AppendExpression(*e.args[i], out);
    *out += step.suffix;
    if (step.scale >= 0) {
      *out += std::to_string(step.scale);
      *out += ", 1)"sv;
    }
  }
}

bool Emitter::ListTerm(const Expr& term, const std::string& op, std::string* column,
                       std::string* value) {
  if (term.kind != ExprKind::kBinary || term.text != op || term.args.size() != 2) return false;
  const Expr* a = term.args[0].get();
  const Expr* b = term.args[1].get();
  if (a->kind != ExprKind::kColumn) std::swap(a, b);
  if (a->kind != ExprKind::kColumn ||
      (b->kind != ExprKind::kNumber && b->kind != ExprKind::kString)) {
    return false;
  }
  *column = Expression(*a);
  *value = Expression(*b);
  // Only where SQLite compares natively: an IN list converts its values the same way.
  return Comparison(op, *a, *b) == "(" + *column + " " + op + " " + *value + ")";
}

// OR of equalities of one column with constants is that column IN (...), and AND of
// inequalities NOT IN (...), with the same three-valued result. SQLite plans a long list in
// one step but a long OR term by term, which takes quadratic time on a workbench's filter of
// thousands of keys.
std::string Emitter::LogicalChain(const Expr& e) {
  bool is_or = e.text == "or";
  const std::string op = is_or ? "=" : "<>";
  std::vector<std::string> terms;
  terms.reserve(e.args.size());
  std::string column, value, next_column, next_value;
  for (size_t i = 0; i < e.args.size();) {
    if (!ListTerm(*e.args[i], op, &column, &value)) {
      terms.push_back(Expression(*e.args[i++]));
      continue;
    }
    std::string list = value;
    size_t j = i + 1;
    for (; j < e.args.size() && ListTerm(*e.args[j], op, &next_column, &next_value) &&
           next_column == column;
         ++j) {
      list += ", " + next_value;
    }
    terms.push_back(j == i + 1 ? Expression(*e.args[i])
                               : "(" + column + (is_or ? " IN (" : " NOT IN (") + list + "))");
    i = j;
  }
  return Grouped(terms, is_or ? " OR " : " AND ");
}

// The flat form of a long chain, "" when grouping could change its result. Text joined by +
// concatenates, which groups freely. Numbers joined by + and - (or only by *) group freely
// as exact sums; SQLite adds integers in 64 bits, so a chain of int operands is checked
// against int's range at the end, where SQL Server checks after every step: a chain whose
// running total leaves int's range and comes back is the one case that answers differently.
std::string Emitter::LongArithmeticChain(const Expr& e, std::span<const StaticType> types,
                                         std::span<const NumericType> numeric) {
  auto all_ops = [&](auto pred) {
    for (const std::string& op : e.parts) {
      if (!pred(op)) return false;
    }
    return true;
  };
  auto all_types = [&](StaticType t) {
    for (StaticType x : types) {
      if (x != t) return false;
    }
    return true;
  };
  bool plus = all_ops([](const std::string& op) { return op == "+"; });
  bool additive = all_ops([](const std::string& op) { return op == "+" || op == "-"; });
  bool product = all_ops([](const std::string& op) { return op == "*"; });
  std::vector<std::string> terms;
  terms.reserve(e.args.size());
  if (plus && all_types(StaticType::kText)) {
    for (const ExprPtr& a : e.args) terms.push_back(Expression(*a));
    return Grouped(terms, " || ");
  }
  if (!all_types(StaticType::kNumeric) || !(additive || product)) return "";
  bool ints = true;
  for (const NumericType& t : numeric) ints &= IsInt32(t);
  for (size_t i = 0; i < e.args.size(); ++i) {
    std::string term = Expression(*e.args[i]);
    terms.push_back(i > 0 && e.parts[i - 1] == "-" ? "(- " + term + ")" : std::move(term));
  }
  std::string sql = Grouped(terms, product ? " * " : " + ");
  return ints ? "tsql_store_int(" + sql + ")" : sql;
}

}  // namespace ambit::tsql
