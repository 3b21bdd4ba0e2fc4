// Expressions: operators, comparisons with SQL Server's conversions, and the function map.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/catalog.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

// Sized literals: appending a bare C string measures it again at every call.
using namespace std::string_view_literals;
namespace {

[[noreturn]] void Unsupported(const std::string& near) {
  throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + near + "'.");
}

[[noreturn]] void UnknownFunction(const std::string& name) {
  throw ComError(195, kEngineErrorSource, "'" + name + "' is not a recognized built-in function name.");
}

// Date text needs the runtime's comparison: '2026-12-05' must equal midnight of that day, and
// '20261205' would otherwise become a number against a datetime column's affinity.
bool LooksLikeDate(const Expr& e) {
  return e.kind == ExprKind::kString && e.text.size() >= 8 && ParseDate(e.text).has_value();
}

// Functions that map one to one onto a runtime function of the same name, with the argument
// counts SQL Server accepts.
struct RuntimeFunction {
  int min_args;
  int max_args;
};
const std::map<std::string, RuntimeFunction, std::less<>>& RuntimeFunctions() {
  static const auto* kMap = new std::map<std::string, RuntimeFunction, std::less<>>{
      {"len", {1, 1}},        {"datalength", {1, 1}}, {"left", {2, 2}},
      {"right", {2, 2}},      {"substring", {3, 3}},  {"charindex", {2, 3}},
      {"patindex", {2, 2}},   {"replace", {3, 3}},    {"stuff", {4, 4}},
      {"ltrim", {1, 1}},      {"rtrim", {1, 1}},      {"trim", {1, 1}},
      {"upper", {1, 1}},      {"lower", {1, 1}},      {"replicate", {2, 2}},
      {"space", {1, 1}},      {"reverse", {1, 1}},    {"str", {1, 3}},
      {"quotename", {1, 2}},  {"abs", {1, 1}},        {"sign", {1, 1}},
      {"floor", {1, 1}},      {"ceiling", {1, 1}},    {"power", {2, 2}},
      {"sqrt", {1, 1}},       {"round", {2, 3}},      {"isnumeric", {1, 1}},
      {"getdate", {0, 0}},    {"getutcdate", {0, 0}}, {"dateadd", {3, 3}},
      {"datediff", {3, 3}},   {"datepart", {2, 2}},   {"datename", {2, 2}},
      {"year", {1, 1}},       {"month", {1, 1}},      {"day", {1, 1}},
      {"isdate", {1, 1}},     {"eomonth", {1, 2}},    {"newid", {0, 0}},
      {"serverproperty", {1, 1}}, {"string_agg", {2, 2}},
      {"datefromparts", {3, 3}}, {"datetimefromparts", {7, 7}},
      {"datetime2fromparts", {8, 8}}, {"smalldatetimefromparts", {5, 5}},
      {"timefromparts", {5, 5}}, {"translate", {3, 3}}, {"string_escape", {2, 2}},
      {"soundex", {1, 1}}, {"difference", {2, 2}}, {"isjson", {1, 1}},
      {"json_value", {2, 2}}, {"json_query", {1, 2}}};
  return *kMap;
}

bool IsAggregate(const std::string& fn) {
  std::string_view name = fn;  // compares lengths first
  return name == "count" || name == "sum" || name == "avg" || name == "min" || name == "max" ||
         name == "count_big";
}

[[noreturn]] void WrongArgCount(const std::string& name, int min_args, int max_args) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (min_args == max_args) {
    throw ComError(174, kEngineErrorSource,
                   "The " + name + " function requires " + std::to_string(min_args) +
                       " argument(s).");
  }
  throw ComError(189, kEngineErrorSource,
                 "The " + name + " function requires " + std::to_string(min_args) + " to " +
                     std::to_string(max_args) + " arguments.");
}

}  // namespace

std::string Emitter::QuoteName(const std::string& name) {
  std::string out;
  out.reserve(name.size() + 2);
  AppendQuoted(name, '"', &out);
  return out;
}

std::string Emitter::QuoteString(const std::string& value) {
  std::string out;
  out.reserve(value.size() + 2);
  AppendQuoted(value, '\'', &out);
  return out;
}

namespace {
thread_local const Emitter::PseudoTables* t_pseudo_tables = nullptr;
}  // namespace

const Emitter::PseudoTables* Emitter::SetPseudoTables(const PseudoTables* tables) {
  const PseudoTables* previous = t_pseudo_tables;
  t_pseudo_tables = tables;
  return previous;
}

std::string Emitter::SqliteTableName(const std::string& name) {
  // A table variable lives as a temporary table of the connection.
  if (!name.empty() && name[0] == '@') return "#tsql_var_" + ToLowerAscii(name.substr(1));
  if (t_pseudo_tables != nullptr && (name.size() == 7 || name.size() == 8)) {
    if (EqualsNoCase(name, "inserted")) return t_pseudo_tables->inserted;
    if (EqualsNoCase(name, "deleted")) return t_pseudo_tables->deleted;
  }
  return name;
}

std::string Emitter::TableName(const std::vector<std::string>& name) {
  // sys.tables, INFORMATION_SCHEMA.COLUMNS ...: the connection's catalog views (catalog.h).
  if (name.size() >= 2 && IsCatalogSchema(name[name.size() - 2])) {
    return CatalogViewName(name[name.size() - 2], name.back());
  }
  // SQLite answers these names with its own tables and table-valued pragmas (sqlite_master,
  // pragma_database_list ...): the file's path, its settings and the storage underneath. On
  // SQL Server they name nothing, and T-SQL must not reach past the catalog views to them;
  // the engine's own SQL uses them directly, never through here.
  std::string last = ToLowerAscii(name.back());
  if (last.starts_with("sqlite_") || last.starts_with("pragma_")) {
    throw ComError(208, kEngineErrorSource, "Invalid object name '" + name.back() + "'.");
  }
  // tempdb..#t and tempdb.dbo.#t are the connection's #t.
  return QuoteName(SqliteTableName(name.back()));
}

std::string Emitter::Param(const std::string& variable) {
  auto it = std::find(params_.begin(), params_.end(), variable);
  size_t index = it - params_.begin();
  if (it == params_.end()) params_.push_back(variable);
  return "?" + std::to_string(index + 1);
}

EmittedSql Emitter::Finish(std::string sql) {
  EmittedSql out{std::move(sql), std::move(params_), {}};
  params_.clear();
  return out;
}

StaticType Emitter::TypeOf(const Expr& e) const {
  switch (e.kind) {
    case ExprKind::kNumber:
      // A binary literal is bytes: arithmetic and comparisons leave it to the runtime.
      return IsBinaryLiteral(e) ? StaticType::kUnknown : StaticType::kNumeric;
    case ExprKind::kString:
      return StaticType::kText;
    case ExprKind::kVariable: {
      const TypeRef* t = context_.variable_type ? context_.variable_type(e.text) : nullptr;
      if (t == nullptr) return StaticType::kUnknown;
      if (IsTextTypeName(t->name) && t->name != "uniqueidentifier") return StaticType::kText;
      if (IsNumericTypeName(t->name)) return StaticType::kNumeric;
      return StaticType::kUnknown;
    }
    case ExprKind::kSystemVariable:
      return e.text == "@@version" ? StaticType::kText : StaticType::kNumeric;
    case ExprKind::kColumn:
      return TypeOfDecl(ColumnType(e));
    case ExprKind::kUnary:
      return e.text == "not" ? StaticType::kUnknown : TypeOf(*e.args[0]);
    case ExprKind::kBinary: {
      if (!IsArithmetic(e.text)) return StaticType::kUnknown;
      StaticType t = TypeOf(*e.args[0]);
      for (size_t i = 1; i < e.args.size(); ++i) t = StepType(t, e.parts[i - 1], TypeOf(*e.args[i]));
      return t;
    }
    case ExprKind::kFunction: {
      static constexpr std::string_view kNumeric[] = {
          "len", "datalength", "charindex", "patindex", "count", "count_big", "isnumeric",
          "datediff", "datepart", "year", "month", "day", "isdate", "sign"};
      static constexpr std::string_view kText[] = {
          "left", "right", "substring", "replace", "stuff", "ltrim", "rtrim", "trim",
          "upper", "lower", "replicate", "space", "reverse", "str", "quotename", "concat",
          "datename", "newid"};
      if (std::find(std::begin(kNumeric), std::end(kNumeric), e.text) != std::end(kNumeric)) {
        return StaticType::kNumeric;
      }
      if (std::find(std::begin(kText), std::end(kText), e.text) != std::end(kText)) {
        return StaticType::kText;
      }
      return StaticType::kUnknown;
    }
    case ExprKind::kCast:
    case ExprKind::kConvert:
      if (IsTextTypeName(e.type.name) && e.type.name != "uniqueidentifier") return StaticType::kText;
      if (IsNumericTypeName(e.type.name)) return StaticType::kNumeric;
      return StaticType::kUnknown;
    default:
      return StaticType::kUnknown;
  }
}

std::string Emitter::ExpressionText(const Expr& e) {
  switch (e.kind) {
    case ExprKind::kNumber:
      if (IsBinaryLiteral(e)) {
        // 0x1 is the byte 0x01: an odd count of digits gets a leading zero.
        std::string digits = e.text.substr(2);
        if (digits.size() % 2 != 0) digits.insert(0, "0");
        return "X'" + digits + "'";
      }
      return e.text;
    case ExprKind::kVariable: {
      auto it = variable_sql_.find(e.text);
      if (it != variable_sql_.end()) return it->second;
      const TypeRef* t = context_.variable_type ? context_.variable_type(e.text) : nullptr;
      if (t != nullptr && (t->name == "varbinary" || t->name == "binary")) {
        return "tsql_binary_param(" + Param(e.text) + ")";
      }
      return Param(e.text);
    }
    case ExprKind::kSystemVariable:
      return Param(e.text);
    case ExprKind::kStar:
      if (packed_sources_ > 0 && !scopes_.empty()) return StarText(e);
      return e.parts.empty() ? "*" : QuoteName(e.parts.back()) + ".*";
    case ExprKind::kUnary: {
      std::string a = Expression(*e.args[0]);
      if (e.text == "not") return "(NOT " + a + ")";
      if (e.text == "~") return "(~" + a + ")";
      // The blank keeps "- -1" from reading as a comment.
      if (TypeOf(*e.args[0]) == StaticType::kNumeric) return "(- " + a + ")";
      return "tsql_neg(" + a + ")";
    }
    case ExprKind::kSubquery:
      CheckNested(*e.select, "");
      if (e.select->for_xml_path) return "(" + ForXmlText(*e.select) + ")";
      if (MayReturnManyRows(*e.select)) {
        // A second row is error 512 in SQL Server; SQLite would take the first.
        return "(WITH \"tsql_one\"(\"c0\") AS (" + SelectText(*e.select) +
               " LIMIT 2) SELECT tsql_single(\"c0\") FROM \"tsql_one\")";
      }
      return "(" + SelectText(*e.select) + ")";
    case ExprKind::kExists:
      CheckNested(*e.select, "");
      return std::string(e.negated ? "(NOT " : "(") + "EXISTS (" + SelectText(*e.select) + "))";
    case ExprKind::kIn:
      return InList(e);
    case ExprKind::kBetween: {
      std::string out;
      if (e.args[0]->kind == ExprKind::kColumn && !LooksLikeDate(*e.args[1]) &&
          !LooksLikeDate(*e.args[2]) && StoredDateType(*e.args[0]).empty()) {
        out = "(";
        AppendExpression(*e.args[0], &out);
        out += " BETWEEN "sv;
        AppendExpression(*e.args[1], &out);
        out += " AND "sv;
        AppendExpression(*e.args[2], &out);
        out += ')';
      } else {
        out = "(" + Comparison(">=", *e.args[0], *e.args[1]) + " AND " +
              Comparison("<=", *e.args[0], *e.args[2]) + ")";
      }
      return e.negated ? "(NOT " + out + ")" : out;
    }
    case ExprKind::kDefault:
      Unsupported("DEFAULT");
    default:  // the kinds AppendExpression writes itself
      break;
  }
  Unsupported(e.text);
}

std::string Emitter::Comparison(const std::string& op, const Expr& a, const Expr& b) {
  std::string out;
  out.reserve(64);
  AppendComparison(op, a, b, &out);
  return out;
}

void Emitter::AppendComparison(const std::string& op, const Expr& a, const Expr& b,
                               std::string* out) {
  if (std::string sql = DateColumnComparison(op, a, b); !sql.empty()) {
    *out += sql;
    return;
  }
  enum class Form { kNative, kCollated, kRuntime };
  // The form is told from the operands' types alone, so each side is written once, straight
  // into the text.
  auto emit = [&](Form form) {
    *out += form == Form::kRuntime ? "(tsql_cmp(" : "(";
    AppendExpression(a, out);
    if (form == Form::kRuntime) {
      *out += ", "sv;
    } else {
      *out += ' ';
      *out += op;
      *out += ' ';
    }
    AppendExpression(b, out);
    if (form == Form::kRuntime) {
      *out += ") "sv;
      *out += op;
      *out += " 0)"sv;
    } else {
      *out += form == Form::kCollated ? " COLLATE TSQL)" : ")";
    }
  };
  // Date texts need the runtime: '2026-12-05' must equal midnight of that day.
  if (LooksLikeDate(a) || LooksLikeDate(b)) return emit(Form::kRuntime);
  StaticType ta = TypeOf(a), tb = TypeOf(b);
  bool a_col = a.kind == ExprKind::kColumn || a.kind == ExprKind::kSubquery;
  bool b_col = b.kind == ExprKind::kColumn || b.kind == ExprKind::kSubquery;
  if (a_col || b_col) {
    // A column lends its affinity and collation to the other side, which gives SQL Server's
    // conversions except where SQL Server would turn a text column into a number.
    bool mixed = (ta == StaticType::kText && tb == StaticType::kNumeric) ||
                 (ta == StaticType::kNumeric && tb == StaticType::kText);
    if (!mixed) return emit(Form::kNative);
    const Expr& number_side = ta == StaticType::kNumeric ? a : b;
    const Expr& text_side = ta == StaticType::kNumeric ? b : a;
    bool number_is_column = number_side.kind == ExprKind::kColumn;
    bool text_converts = text_side.kind == ExprKind::kVariable ||
                         (text_side.kind == ExprKind::kString && IsNumericText(text_side.text));
    if (number_is_column && text_converts) return emit(Form::kNative);
    return emit(Form::kRuntime);
  }
  if (ta == StaticType::kNumeric && tb == StaticType::kNumeric) return emit(Form::kNative);
  if (ta == StaticType::kText && tb == StaticType::kText) return emit(Form::kCollated);
  return emit(Form::kRuntime);
}

bool Emitter::InListIsNative(const Expr& e) const {
  StaticType left = TypeOf(*e.args[0]);
  bool date_column = !StoredDateType(*e.args[0]).empty();
  for (size_t i = 1; i < e.args.size(); ++i) {
    const Expr& item = *e.args[i];
    if (LooksLikeDate(item) || (date_column && item.kind == ExprKind::kString)) return false;
    StaticType t = TypeOf(item);
    if (left == StaticType::kText && t == StaticType::kNumeric) return false;
    if (left == StaticType::kNumeric && t == StaticType::kText && item.kind != ExprKind::kVariable &&
        !(item.kind == ExprKind::kString && IsNumericText(item.text))) {
      return false;
    }
  }
  return true;
}

std::string Emitter::InList(const Expr& e) {
  const Expr& left = *e.args[0];
  std::string out;
  if (e.select) {
    out = "(" + Expression(left) + " IN (" + SelectText(*e.select) + "))";
  } else if (left.kind == ExprKind::kColumn && InListIsNative(e)) {
    out = "(";
    AppendExpression(left, &out);
    out += " IN ("sv;
    for (size_t i = 1; i < e.args.size(); ++i) {
      if (i > 1) out += ", "sv;
      AppendExpression(*e.args[i], &out);
    }
    out += "))"sv;
  } else {
    std::vector<std::string> terms;
    for (size_t i = 1; i < e.args.size(); ++i) terms.push_back(Comparison("=", left, *e.args[i]));
    out = Grouped(terms, " OR ");
  }
  return e.negated ? "(NOT " + out + ")" : out;
}

std::string Emitter::WindowFunction(const Expr& e) {
  static constexpr std::string_view kWindow[] = {
      "row_number", "rank", "dense_rank", "ntile", "lag", "lead", "first_value", "last_value",
      "percent_rank", "cume_dist", "percentile_cont", "percentile_disc", "count", "sum", "avg",
      "min", "max"};
  if (std::find(std::begin(kWindow), std::end(kWindow), e.text) == std::end(kWindow)) {
    UnknownFunction(e.text);
  }
  static const CallOrdering kNoOrdering;
  const CallOrdering& over = e.ordering ? *e.ordering : kNoOrdering;
  if (e.text == "percentile_cont" || e.text == "percentile_disc") return PercentileFunction(e);
  // Functions whose answer depends on the order of the rows.
  const std::string_view fn = e.text;
  bool ranking = fn == "row_number" || fn == "rank" || fn == "dense_rank" || fn == "ntile" ||
                 fn == "percent_rank" || fn == "cume_dist" || fn == "lag" || fn == "lead" ||
                 fn == "first_value" || fn == "last_value";
  if (ranking && over.order.empty()) {
    throw ComError(4112, kEngineErrorSource,
                   "The function '" + e.text + "' must have an OVER clause with ORDER BY.");
  }
  std::string out = e.text + "(";
  if (e.star) {
    out += "*"sv;
  } else {
    if (e.distinct) Unsupported("distinct");
    for (size_t i = 0; i < e.args.size(); ++i) out += (i ? ", " : "") + Expression(*e.args[i]);
  }
  out += ") OVER ("sv;
  if (!over.partition.empty()) {
    out += "PARTITION BY "sv;
    for (size_t i = 0; i < over.partition.size(); ++i) {
      out += (i ? ", " : "") + Expression(*over.partition[i]);
    }
  }
  if (!over.order.empty()) {
    out += over.partition.empty() ? "ORDER BY " : " ORDER BY ";
    for (size_t i = 0; i < over.order.size(); ++i) {
      out += (i ? ", " : "") + Expression(*over.order[i].expr);
      if (over.order[i].descending) out += " DESC"sv;
    }
  }
  if (!over.frame.empty()) out += " " + over.frame;
  return out + ")";
}

void Emitter::AppendFunction(const Expr& e, std::string* out) {
  const std::string& name = e.text;
  const std::string_view called = name;  // compares lengths first
  int n = static_cast<int>(e.args.size());
  // "prefix(arg, arg, ...)": the common end of most calls.
  auto call = [&](std::string_view prefix, std::string_view name_part = {}) {
    *out += prefix;
    *out += name_part;
    *out += '(';
    for (size_t i = 0; i < e.args.size(); ++i) {
      if (i > 0) *out += ", "sv;
      AppendExpression(*e.args[i], out);
    }
    *out += ')';
  };
  auto args = [&](size_t from = 0) {
    std::string list;
    for (size_t i = from; i < e.args.size(); ++i) {
      if (i > from) list += ", "sv;
      AppendExpression(*e.args[i], &list);
    }
    return list;
  };
  if (e.has_over) {
    *out += WindowFunction(e);
    return;
  }
  if (auto sql = BuiltinFunction(e)) {
    *out += *sql;
    return;
  }
  if (called == "error_number" || called == "error_message" || called == "error_severity" ||
      called == "error_state" || called == "error_line" || called == "error_procedure") {
    if (n != 0) WrongArgCount(name, 0, 0);
    *out += Param("@@" + name);
    return;
  }
  if (IsAggregate(name)) {
    std::string fn = called == "count_big" ? "count" : name;
    if (e.star) {
      if (fn != "count") Unsupported("*");
      *out += "count(*)"sv;
      return;
    }
    if (n != 1) WrongArgCount(name, 1, 1);
    // AVG of integers stays an integer in SQL Server.
    if (fn == "avg") fn = "tsql_avg";
    *out += fn + "(" + (e.distinct ? "DISTINCT " : "") + args() + ")";
    return;
  }
  if (e.distinct || e.star) Unsupported(e.distinct ? "distinct" : "*");
  if (called == "isnull") {
    if (n != 2) WrongArgCount(name, 2, 2);
    // The result has the first argument's type: ISNULL(text_column, 0) is the text '0'.
    std::string decl = ColumnType(*e.args[0]);
    if (e.args[0]->kind == ExprKind::kVariable && context_.variable_type) {
      const TypeRef* t = context_.variable_type(e.args[0]->text);
      if (t != nullptr) decl = t->text;
    }
    StaticType first = TypeOfDecl(decl), second = TypeOf(*e.args[1]);
    bool sized_text = first == StaticType::kText && decl.find('(') != std::string::npos &&
                      decl.find("max") == std::string::npos;
    if (!decl.empty() && first != StaticType::kUnknown && (first != second || sized_text) &&
        e.args[1]->kind != ExprKind::kNull) {
      *out += "ifnull("sv;
      AppendExpression(*e.args[0], out);
      *out += ", tsql_cast("sv;
      AppendExpression(*e.args[1], out);
      *out += ", "sv;
      AppendQuoted(decl, '\'', out);
      *out += "))"sv;
      return;
    }
    call("ifnull");
    return;
  }
  if (called == "coalesce") {
    if (n < 2) WrongArgCount(name, 2, 2);
    call("coalesce");
    return;
  }
  if (called == "nullif") {
    if (n != 2) WrongArgCount(name, 2, 2);
    *out += "CASE WHEN " + Comparison("=", *e.args[0], *e.args[1]) + " THEN NULL ELSE " +
           Expression(*e.args[0]) + " END";
    return;
  }
  if (called == "iif") {
    if (n != 3) WrongArgCount(name, 3, 3);
    *out += "CASE WHEN " + Expression(*e.args[0]) + " THEN " + Expression(*e.args[1]) +
           " ELSE " + Expression(*e.args[2]) + " END";
    return;
  }
  if (called == "concat") {
    if (n < 2) WrongArgCount(name, 2, 254);
    *out += "("sv;
    for (int i = 0; i < n; ++i) {
      if (i) *out += " || "sv;
      *out += "ifnull(tsql_cast("sv;
      AppendExpression(*e.args[i], out);
      *out += ", 'nvarchar(max)'), '')"sv;
    }
    *out += ")"sv;
    return;
  }
  if (called == "sql_variant_property") {
    *out += VariantProperty(e);
    return;
  }
  if (called == "datalength" && n == 1) {
    // National text takes two bytes a character.
    std::string decl = ToLowerAscii(ResultType(*e.args[0]));
    if (decl.starts_with("nvarchar") || decl.starts_with("nchar") || decl.starts_with("ntext")) {
      *out += "(length(" + args() + ") * 2)";
      return;
    }
  }
  if (called == "len" && n == 1 && ScaleOf(*e.args[0]) > 0) {
    *out += "tsql_len(" + WithScale(Expression(*e.args[0]), ScaleOf(*e.args[0])) + ")";
    return;
  }
  if (called == "char" || called == "nchar") {
    if (n != 1) WrongArgCount(name, 1, 1);
    *out += "char(" + args() + ")";
    return;
  }
  if (called == "ascii" || called == "unicode") {
    if (n != 1) WrongArgCount(name, 1, 1);
    *out += "unicode(" + args() + ")";
    return;
  }
  if (called == "scope_identity") {
    *out += Param("@@scope_identity");
    return;
  }
  if (called == "update") {
    // Bound when the statement runs: the columns the firing statement wrote.
    if (n != 1 || e.args[0]->kind != ExprKind::kColumn) Unsupported("update");
    *out += Param("@@column_updated " + ToLowerAscii(e.args[0]->parts.back()));
    return;
  }
  if (called == "ident_current") {
    if (n != 1) WrongArgCount(name, 1, 1);
    if (e.args[0]->kind != ExprKind::kString) Unsupported("ident_current");
    // Bound as a value the interpreter reads from the table's sequence when the statement runs.
    *out += Param("@@ident_current " + e.args[0]->text);
    return;
  }
  if (called == "datepart" && n == 2 && e.args[0]->kind == ExprKind::kString &&
      (EqualsNoCase(e.args[0]->text, "weekday") || EqualsNoCase(e.args[0]->text, "dw") ||
       EqualsNoCase(e.args[0]->text, "w"))) {
    // Day 1 is the session's first day of the week (SET DATEFIRST); the runtime counts from
    // Sunday.
    *out += "((tsql_datepart('weekday', " + Expression(*e.args[1]) + ") + 6 - " +
           Param("@@datefirst") + " % 7) % 7 + 1)";
    return;
  }
  if (called == "xact_state") {
    if (n != 0) WrongArgCount(name, 0, 0);
    *out += Param("@@xact_state");
    return;
  }
  if (called == "sysdatetime" || called == "current_timestamp") {
    *out += "tsql_getdate()"sv;
    return;
  }
  if (called == "object_id") {
    if (n < 1 || n > 2) WrongArgCount(name, 1, 2);
    if (e.args[0]->kind != ExprKind::kString) Unsupported("object_id");
    std::string full = e.args[0]->text;
    size_t dot = full.find_last_of('.');
    std::string object = dot == std::string::npos ? full : full.substr(dot + 1);
    if (object.size() > 2 && object.front() == '[' && object.back() == ']') {
      object = object.substr(1, object.size() - 2);
    }
    if (IsTempName(object)) {
      *out += "(SELECT tsql_object_id(name) FROM temp.sqlite_master WHERE type = 'table' AND "
             "name = " +
             QuoteString(object) + " COLLATE NOCASE)";
      return;
    }
    // The same ids as the catalog views (catalog.h), so that OBJECT_ID joins sys.columns.
    *out += "(SELECT tsql_object_id(name) FROM main.sqlite_master WHERE type IN ('table', "
           "'view', 'trigger') AND name = " + QuoteString(object) +
           " COLLATE NOCASE UNION ALL SELECT tsql_object_id(name) FROM main.tsql_procedures "
           "WHERE name = " +
           QuoteString(object) + " COLLATE NOCASE LIMIT 1)";
    return;
  }
  auto it = RuntimeFunctions().find(name);
  if (it == RuntimeFunctions().end()) UnknownFunction(name);
  if (n < it->second.min_args || n > it->second.max_args) {
    WrongArgCount(name, it->second.min_args, it->second.max_args);
  }
  call("tsql_", name);
}

}  // namespace ambit::tsql
