// Expressions written into the text that holds them. The leaves (columns, literals) and the
// forms that are mostly operands (operator chains, calls, casts, CASE, LIKE, IS NULL) append
// to the caller's buffer; the rest still build their own text (ExpressionText) and append
// that.
#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

// Sized literals: appending a bare C string measures it again at every call.
using namespace std::string_view_literals;

void Emitter::AppendQuoted(const std::string& text, char quote, std::string* out) {
  // Names and literals are short and seldom hold a quote: such a text is quoted on the stack
  // and appended in one piece, looking for the quote as it is copied.
  constexpr size_t kShort = 62;
  const size_t n = text.size();
  if (n <= kShort) {
    char quoted[kShort + 2];
    quoted[0] = quote;
    size_t i = 0;
    for (; i < n && text[i] != quote; ++i) quoted[i + 1] = text[i];
    if (i == n) {
      quoted[n + 1] = quote;
      out->append(quoted, n + 2);
      return;
    }
  }
  *out += quote;
  if (text.find(quote) == std::string::npos) {
    *out += text;
  } else {
    for (char c : text) {
      if (c == quote) *out += quote;
      *out += c;
    }
  }
  *out += quote;
}

std::string Emitter::Expression(const Expr& e) {
  std::string sql;
  // All but the leaves run past the inline capacity of a string: sized once, the text is not
  // moved at every doubling.
  if (e.kind != ExprKind::kColumn && e.kind != ExprKind::kNumber && e.kind != ExprKind::kString &&
      e.kind != ExprKind::kNull) {
    sql.reserve(64);
  }
  AppendExpression(e, &sql);
  return sql;
}

void Emitter::AppendExpression(const Expr& e, std::string* out) {
  const size_t start = out->size();
  switch (e.kind) {
    case ExprKind::kNumber:
      if (IsBinaryLiteral(e)) {
        *out += ExpressionText(e);
      } else {
        *out += e.text;
      }
      break;
    case ExprKind::kString:
      AppendQuoted(e.text, '\'', out);
      break;
    case ExprKind::kNull:
      *out += "NULL"sv;
      break;
    case ExprKind::kColumn:
      AppendColumn(e, out);
      break;
    case ExprKind::kCase:
      AppendCase(e, out);
      break;
    case ExprKind::kBinary:
      AppendChain(e, out);
      break;
    case ExprKind::kFunction:
      AppendFunction(e, out);
      break;
    case ExprKind::kCast:
    case ExprKind::kConvert:
      AppendCast(e, out);
      break;
    case ExprKind::kLike: {
      if (e.negated) *out += "(NOT "sv;
      *out += "tsql_like("sv;
      AppendExpression(*e.args[0], out);
      *out += ", "sv;
      AppendExpression(*e.args[1], out);
      if (e.args.size() > 2) {
        *out += ", "sv;
        AppendExpression(*e.args[2], out);
      }
      *out += e.negated ? "))" : ")";
      break;
    }
    case ExprKind::kIsNull:
      *out += '(';
      AppendExpression(*e.args[0], out);
      *out += e.negated ? " IS NOT NULL)" : " IS NULL)";
      break;
    default:
      // Alone in the text (Expression), the form's own text is taken over, not copied.
      if (out->empty()) {
        *out = ExpressionText(e);
      } else {
        *out += ExpressionText(e);
      }
  }
  // Some forms repeat an operand (BETWEEN on an expression, NULLIF, IN as ORs), so nesting them
  // grows the text exponentially; the bound keeps hostile input from taking the machine.
  if (out->size() - start > kMaxExpressionText) {
    throw ComError(8632, kEngineErrorSource,
                   "Internal error: An expression services limit has been reached. Please look "
                   "for potentially complex expressions in your query, and try to simplify them.");
  }
}

void Emitter::AppendColumn(const Expr& e, std::string* out) {
  if (e.parts.size() == 1 && (EqualsNoCase(e.parts[0], "current_timestamp"))) {
    *out += "tsql_getdate()"sv;
    return;
  }
  // USER, SYSTEM_USER ...: reserved words in T-SQL, so a column of that name comes bracketed;
  // a table's own column still wins.
  if (e.parts.size() == 1) {
    if (auto sql = NiladicFunction(e.parts[0]); sql && ColumnType(e).empty()) {
      *out += *sql;
      return;
    }
  }
  if (!column_sql_.empty()) {
    if (auto it = column_sql_.find(&e); it != column_sql_.end()) {
      *out += it->second;
      return;
    }
  }
  if (packed_sources_ > 0) {
    if (std::optional<std::string> packed = PackedColumn(e)) {
      *out += *packed;
      return;
    }
  }
  CheckQualifier(e);
  // db.dbo.t.c is written t.c: SQLite knows one schema.
  const size_t first = e.parts.size() > 2 ? e.parts.size() - 2 : 0;
  for (size_t i = first; i < e.parts.size(); ++i) {
    if (i > first) *out += '.';
    AppendQuoted(e.parts[i], '"', out);
  }
}

void Emitter::AppendCase(const Expr& e, std::string* out) {
  size_t i = e.has_operand ? 1 : 0;
  size_t pairs_end = e.args.size() - (e.has_else ? 1 : 0);
  // The result takes the type of highest precedence among the branches: with a number among
  // them, text branches convert to numbers (and fail when they are none).
  bool text = false, number = false, integral = true;
  auto weigh = [&](const Expr& r) {
    StaticType t = TypeOf(r);
    text |= t == StaticType::kText;
    if (t == StaticType::kNumeric) {
      number = true;
      integral &= NumericTypeOf(r).kind == NumericType::Kind::kInteger;
    }
  };
  for (size_t r = i; r + 1 < pairs_end; r += 2) weigh(*e.args[r + 1]);
  if (e.has_else) weigh(*e.args.back());
  auto result = [&](const Expr& r) {
    if (text && number && TypeOf(r) == StaticType::kText) {
      *out += "tsql_cast("sv;
      AppendExpression(r, out);
      *out += integral ? ", 'int')" : ", 'float')";
    } else {
      AppendExpression(r, out);
    }
  };
  *out += "CASE"sv;
  if (e.has_operand) {
    *out += ' ';
    AppendExpression(*e.args[0], out);
  }
  for (; i + 1 < pairs_end; i += 2) {
    *out += " WHEN "sv;
    AppendExpression(*e.args[i], out);
    *out += " THEN "sv;
    result(*e.args[i + 1]);
  }
  if (e.has_else) {
    *out += " ELSE "sv;
    result(*e.args.back());
  }
  *out += " END"sv;
}

}  // namespace ambit::tsql
