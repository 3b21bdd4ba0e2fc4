// Comparisons of a date column with a constant, in a form SQLite answers from an index.
//
// Every write stores a date column's value as canonical text (runtime.h): datetime,
// smalldatetime and datetime2 as "yyyy-MM-dd HH:mm:ss", with ".fff" only when the milliseconds
// are not zero; date as "yyyy-MM-dd". Two texts of one of these forms order byte by byte as the
// instants they name: up to the seconds every position holds the same kind of character, and a
// text that goes on with ".fff" (never ".000") is both longer and later. So once the constant
// is converted to the column's type, as SQL Server converts it before comparing, SQLite's own
// comparison on the bare column gives SQL Server's answer, and the planner can seek an index
// on the column instead of calling tsql_cmp for every row.
#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"
#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

enum class DateForm { kNone, kDateTime, kDate };

DateForm FormOf(const std::string& decl_type) {
  char buffer[16];
  const std::string_view t = Emitter::DeclTypeName(decl_type, &buffer);
  if (t == "datetime" || t == "smalldatetime" || t == "datetime2") return DateForm::kDateTime;
  if (t == "date") return DateForm::kDate;
  return DateForm::kNone;
}

// A value fixed for the whole statement: the right-hand side of an index seek.
bool IsConstant(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kString:
    case ExprKind::kNumber:
    case ExprKind::kVariable:
      return true;
    case ExprKind::kCast:
    case ExprKind::kConvert:
      for (const ExprPtr& arg : e.args) {
        if (!IsConstant(*arg)) return false;
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string Emitter::StoredDateType(const Expr& e) const {
  if (e.kind != ExprKind::kColumn || column_sql_.count(&e) != 0) return "";
  const ScopeTable* table = nullptr;
  const CatalogColumn* column = ResolveColumn(e, &table);
  if (column == nullptr || FormOf(column->decl_type) == DateForm::kNone) return "";
  // A view's column may be an expression whose values some branch left unconverted.
  if (table->table.empty() || (context_.view && context_.view(table->table))) return "";
  return column->decl_type;
}

std::string Emitter::DateColumnComparison(const std::string& op, const Expr& a, const Expr& b) {
  bool column_first = true;
  std::string decl = StoredDateType(a);
  if (decl.empty()) {
    decl = StoredDateType(b);
    column_first = false;
  }
  const Expr& value = column_first ? b : a;
  if (decl.empty() || !IsConstant(value)) return "";
  // What the constant becomes in the column's type, as SQL (a quoted canonical text when it is
  // known now); "" when SQL Server would convert the column instead.
  std::string converted;
  bool runtime = false;
  if (value.kind == ExprKind::kString) {
    try {
      converted = QuoteString(CStr(ConvertValue(Variant(value.text), decl)));
    } catch (const ComError&) {
      // Not a date: SQL Server refuses the statement (241), and so does the conversion when the
      // statement runs.
      converted = "tsql_cast(" + QuoteString(value.text) + ", " + QuoteString(decl) + ")";
    }
  } else {
    std::string type = ResultType(value);
    DateForm form = FormOf(type);
    if (TypeOfDecl(type) == StaticType::kText ||
        (form == DateForm::kDate && FormOf(decl) == DateForm::kDateTime)) {
      converted = "tsql_cast(" + Expression(value) + ", " + QuoteString(decl) + ")";
    } else if (form == FormOf(decl)) {
      converted = Expression(value);
    } else if (form == DateForm::kDateTime) {
      // A date column meets a datetime: SQL Server widens the column to midnight of its day,
      // which is how the runtime compares a date text with a datetime text.
      runtime = true;
      converted = Expression(value);
    } else {
      return "";
    }
  }
  std::string column = Expression(column_first ? a : b);
  std::string left = column_first ? column : converted;
  std::string right = column_first ? converted : column;
  if (runtime) return "(tsql_cmp(" + left + ", " + right + ") " + op + " 0)";
  return "(" + left + " " + op + " " + right + ")";
}

}  // namespace ambit::tsql
