// The declared type of each column a query returns. SQLite reports a declared type only for
// columns read straight from a table; an expression's type would otherwise be guessed from its
// first value, so that decimal(18,2) * 2 would travel as a float and show as 4.6, not 4.60.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

// Sized literals: appending a bare C string measures it again at every call.
using namespace std::string_view_literals;
namespace {

using K = Emitter::NumericType::Kind;

std::string DecimalText(const Emitter::NumericType& t, const char* name = "decimal") {
  return std::string(name) + "(" + std::to_string(t.precision) + "," + std::to_string(t.scale) +
         ")";
}

// "bigint" when either side is one: integer arithmetic is done in the wider type.
bool IsBigint(const std::string& type) { return ToLowerAscii(type).starts_with("bigint"); }

int TextLength(const std::string& type) {
  size_t open = type.find('(');
  if (open == std::string::npos) return -1;
  if (ToLowerAscii(type).find("max", open) != std::string::npos) return 0;
  return std::atoi(type.c_str() + open + 1);
}

// The text type that holds either of two text types: nvarchar when one side is, the longer
// length (max when either is max).
std::string WiderText(const std::string& a, const std::string& b) {
  std::string la = ToLowerAscii(a), lb = ToLowerAscii(b);
  bool national = la.starts_with("n") || lb.starts_with("n");
  int na = TextLength(a), nb = TextLength(b);
  std::string length = na == 0 || nb == 0 ? "max" : std::to_string(std::max({na, nb, 1}));
  return std::string(national ? "nvarchar(" : "varchar(") + length + ")";
}

bool IsTextType(const std::string& type) {
  return Emitter::TypeOfDecl(type) == StaticType::kText &&
         !ToLowerAscii(type).starts_with("uniqueidentifier");
}

}  // namespace

std::string Emitter::ResultType(const Expr& e) const {
  switch (e.kind) {
    case ExprKind::kNumber: {
      if (IsBinaryLiteral(e)) return "varbinary(" + std::to_string(std::max<size_t>((e.text.size() - 1) / 2, 1)) + ")";
      if (e.text.find_first_of("eE") != std::string::npos) return "float";
      NumericType t = NumericTypeOf(e);
      if (t.kind == K::kInteger) return "int";
      return t.kind == K::kDecimal ? DecimalText(t, "numeric") : "";
    }
    case ExprKind::kString: {
      // Lengths count characters; an empty literal is still one character wide.
      size_t chars = 0;
      for (unsigned char c : e.text) chars += (c & 0xC0) != 0x80 ? 1 : 0;
      return (e.type.name == "nvarchar" ? "nvarchar(" : "varchar(") +
             std::to_string(std::max<size_t>(chars, 1)) + ")";
    }
    case ExprKind::kVariable: {
      const TypeRef* t = context_.variable_type ? context_.variable_type(e.text) : nullptr;
      return t == nullptr ? "" : t->text;
    }
    case ExprKind::kColumn:
      return ColumnType(e);
    case ExprKind::kCast:
    case ExprKind::kConvert:
      return e.type.text;
    case ExprKind::kUnary:
      return e.text == "-" || e.text == "+" ? ResultType(*e.args[0]) : "";
    case ExprKind::kBinary: {
      if (!IsArithmetic(e.text)) return "";
      // Each operand's type is worked out once: nested operators would otherwise repeat the
      // work for every level above them.
      std::vector<std::string> parts;
      for (const ExprPtr& a : e.args) parts.push_back(ToLowerAscii(ResultType(*a)));
      bool numeric = TypeOf(e) == StaticType::kNumeric;
      for (const std::string& part : parts) {
        // float outranks every exact type.
        if (numeric && (part.starts_with("float") || part.starts_with("real"))) return "float";
      }
      NumericType t = NumericTypeOf(e);
      if (t.kind == K::kDecimal) return DecimalText(t);
      if (t.kind == K::kMoney) return "money";
      if (t.kind == K::kInteger) {
        for (const std::string& part : parts) {
          if (IsBigint(part)) return "bigint";
        }
        return "int";
      }
      if (e.text != "+" || TypeOf(e) != StaticType::kText) return "";
      // Concatenation: the lengths add up.
      std::string type = parts[0];
      int length = 0;
      for (const std::string& part : parts) {
        if (!IsTextType(part)) return "";
        int n = TextLength(part);
        if (n <= 0) return WiderText(type, part.starts_with("n") ? "nvarchar(max)" : "varchar(max)");
        length += n;
        type = WiderText(type, part);
      }
      if (length > 8000) return WiderText(type, "varchar(max)");
      return type.substr(0, type.find('(')) + "(" + std::to_string(length) + ")";
    }
    case ExprKind::kCase:
    case ExprKind::kFunction:
      return FunctionResultType(e);
    default:
      return "";
  }
}

std::string Emitter::FunctionResultType(const Expr& e) const {
  // Every branch of a CASE or COALESCE, or the argument of an aggregate.
  std::vector<const Expr*> branches;
  if (e.kind == ExprKind::kCase) {
    for (size_t i = (e.has_operand ? 1 : 0) + 1; i < e.args.size(); i += 2) {
      branches.push_back(e.args[i].get());
    }
    if (e.has_else) branches.push_back(e.args.back().get());
  } else {
    const std::string_view fn = e.text;  // compares lengths first
    if (fn == "count" || fn == "len" || fn == "datalength" || fn == "charindex" ||
        fn == "patindex" || fn == "datediff" || fn == "datepart" || fn == "year" ||
        fn == "month" || fn == "day" || fn == "isnumeric" || fn == "isdate" ||
        fn == "row_number" || fn == "rank" || fn == "dense_rank" || fn == "ntile" ||
        fn == "difference" || fn == "isjson") {
      return "int";
    }
    if (fn == "count_big") return "bigint";
    if (fn == "percent_rank" || fn == "cume_dist" || fn == "percentile_cont") return "float";
    if (fn == "percentile_disc" && e.ordering && e.ordering->within_group.size() == 1) {
      return ResultType(*e.ordering->within_group[0].expr);
    }
    if (fn == "getdate" || fn == "getutcdate" || fn == "dateadd" || fn == "datetimefromparts") {
      return "datetime";
    }
    if (fn == "datefromparts") return "date";
    if (fn == "soundex") return "varchar(4)";
    if (fn == "string_escape" || fn == "json_query" || fn == "json_modify") {
      return "nvarchar(max)";
    }
    if (fn == "json_value") return "nvarchar(4000)";
    if (fn == "datetime2fromparts") return "datetime2";
    if (fn == "smalldatetimefromparts") return "smalldatetime";
    if (fn == "timefromparts") return "time";
    if (e.args.empty()) return "";
    if (fn == "isnull") {
      std::string first = ResultType(*e.args[0]);
      return first.empty() && e.args[0]->kind == ExprKind::kNull ? ResultType(*e.args[1]) : first;
    }
    if (fn == "upper" || fn == "lower" || fn == "ltrim" || fn == "rtrim" || fn == "trim") {
      std::string arg = ResultType(*e.args[0]);
      return IsTextType(arg) ? arg : "";
    }
    if (fn == "coalesce") {
      for (const ExprPtr& a : e.args) branches.push_back(a.get());
    } else if (fn == "sum" || fn == "avg" || fn == "min" || fn == "max" || fn == "abs" ||
               fn == "round" || fn == "floor" || fn == "ceiling") {
      std::string arg = ResultType(*e.args[0]);
      std::string lower = ToLowerAscii(arg);
      NumericType t = fn == "floor" || fn == "ceiling" ? NumericTypeOf(*e.args[0]) : NumericTypeOf(e);
      if (fn == "min" || fn == "max") return arg;
      if (lower.starts_with("float") || lower.starts_with("real")) return "float";
      if (lower.starts_with("money") || lower.starts_with("smallmoney")) return "money";
      if (IsBigint(arg)) return "bigint";
      if (lower == "int" || lower == "integer" || lower == "smallint" || lower == "tinyint") {
        return fn == "abs" || fn == "round" || fn == "floor" || fn == "ceiling" ? arg : "int";
      }
      if (t.kind == K::kDecimal) {
        // FLOOR and CEILING keep the precision and drop the scale.
        if (fn == "floor" || fn == "ceiling") return DecimalText({K::kDecimal, t.precision, 0});
        return DecimalText(t);
      }
      return "";
    } else {
      return "";
    }
  }
  // CASE and COALESCE: the branch of highest precedence, decimals widened to hold all.
  NumericType numeric = NumericTypeOf(e);
  if (numeric.kind == K::kDecimal) return DecimalText(numeric);
  if (numeric.kind == K::kMoney) return "money";
  std::string type;
  for (const Expr* b : branches) {
    if (b->kind == ExprKind::kNull) continue;
    std::string t = ResultType(*b);
    if (t.empty()) return "";
    if (type.empty()) {
      type = t;
    } else if (IsTextType(type) && IsTextType(t)) {
      type = WiderText(type, t);
    } else if (numeric.kind == K::kInteger) {
      type = IsBigint(type) || IsBigint(t) ? "bigint" : "int";
    } else if (!EqualsNoCase(type, t)) {
      return "";
    }
  }
  return type;
}

std::vector<std::string> Emitter::ResultTypes(const Select& s) {
  if (s.blocks.empty()) return {};
  std::vector<std::string> types = BlockResultTypes(s.blocks[0]);
  for (size_t b = 1; b < s.blocks.size() && !types.empty(); ++b) {
    std::vector<std::string> more = BlockResultTypes(s.blocks[b]);
    if (more.size() != types.size()) return {};
    for (size_t i = 0; i < types.size(); ++i) types[i] = SetOperationType(types[i], more[i]);
  }
  return types;
}

std::vector<std::string> Emitter::BlockResultTypes(const SelectBlock& q) {
  std::vector<std::string> types;
  PushScope(q.from);
  ScopeExit scope{this};
  for (const SelectItem& item : q.items) {
    if (item.expr->kind != ExprKind::kStar) {
      types.push_back(ResultType(*item.expr));
      continue;
    }
    // A star's columns come straight from tables, which SQLite describes itself; only their
    // number is needed here to keep later columns in place.
    const std::vector<std::string>& qualifier = item.expr->parts;
    for (const ScopeTable& t : scopes_.back()) {
      if (!qualifier.empty() && !EqualsNoCase(t.name, qualifier.back())) continue;
      if (!t.columns) return {};
      types.resize(types.size() + t.columns->size());
    }
  }
  return types;
}

// A UNION, EXCEPT or INTERSECT column: the type of higher precedence, decimals widened to hold
// both sides, texts to the longer; "" when either side is unknown or the two do not combine here.
std::string Emitter::SetOperationType(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return "";
  if (IsTextType(a) && IsTextType(b)) return WiderText(a, b);
  NumericType na = NumericTypeOfDecl(a), nb = NumericTypeOfDecl(b);
  std::string la = ToLowerAscii(a), lb = ToLowerAscii(b);
  bool float_a = la.starts_with("float") || la.starts_with("real");
  bool float_b = lb.starts_with("float") || lb.starts_with("real");
  if ((float_a || na.kind != NumericType::Kind::kNone) &&
      (float_b || nb.kind != NumericType::Kind::kNone) && (float_a || float_b)) {
    return "float";
  }
  if (na.kind == NumericType::Kind::kNone || nb.kind == NumericType::Kind::kNone)
    return EqualsNoCase(a, b) ? a : "";
  NumericType t = CombineNumeric(na, nb);
  switch (t.kind) {
    case NumericType::Kind::kDecimal:
      return DecimalText(t);
    case NumericType::Kind::kMoney:
      return "money";
    case NumericType::Kind::kInteger:
      // The wider of the two integer types: both sides' precisions name one.
      return t.precision == na.precision ? la : lb;
    default:
      return "";
  }
}

}  // namespace ambit::tsql

namespace ambit::tsql {
namespace {

struct TypeFacts {
  const char* name;
  int precision, scale, max_length;
};

// SQL_VARIANT_PROPERTY's answers for a declaration text; false for types it does not know.
bool FactsOf(const std::string& type, std::string* base, int* precision, int* scale,
             int* max_length) {
  static constexpr TypeFacts kFixed[] = {
      {"int", 10, 0, 4},         {"bigint", 19, 0, 8},      {"smallint", 5, 0, 2},
      {"tinyint", 3, 0, 1},      {"bit", 1, 0, 1},          {"float", 53, 0, 8},
      {"real", 24, 0, 4},        {"money", 19, 4, 8},       {"smallmoney", 10, 4, 4},
      {"datetime", 23, 3, 8},    {"smalldatetime", 16, 0, 4}, {"date", 10, 0, 3},
      {"datetime2", 27, 7, 8},   {"uniqueidentifier", 0, 0, 16}};
  std::string lower = ToLowerAscii(type);
  *base = lower.substr(0, lower.find('('));
  while (!base->empty() && base->back() == ' ') base->pop_back();
  if (*base == "integer") *base = "int";
  if (*base == "dec") *base = "decimal";
  for (const TypeFacts& f : kFixed) {
    if (*base == f.name) {
      *precision = f.precision;
      *scale = f.scale;
      *max_length = f.max_length;
      return true;
    }
  }
  size_t open = lower.find('(');
  if (*base == "decimal" || *base == "numeric") {
    *precision = open == std::string::npos ? 18 : std::atoi(lower.c_str() + open + 1);
    size_t comma = lower.find(',');
    *scale = comma == std::string::npos ? 0 : std::atoi(lower.c_str() + comma + 1);
    *max_length = *precision <= 9 ? 5 : *precision <= 19 ? 9 : *precision <= 28 ? 13 : 17;
    return true;
  }
  if (IsTextType(lower)) {
    int length = TextLength(lower);
    bool national = base->starts_with("n");
    *precision = 0;
    *scale = 0;
    *max_length = length <= 0 ? -1 : national ? 2 * length : length;
    return true;
  }
  return false;
}

}  // namespace

std::string Emitter::VariantProperty(const Expr& e) {
  if (e.args.size() != 2) {
    throw ComError(174, kEngineErrorSource,
                   "The sql_variant_property function requires 2 argument(s).");
  }
  const Expr& value = *e.args[0];
  std::string value_sql = Expression(value);
  std::string property = e.args[1]->kind == ExprKind::kString ? ToLowerAscii(e.args[1]->text) : "";
  std::string base;
  int precision = 0, scale = 0, max_length = 0;
  std::string answer;
  if (FactsOf(ResultType(value), &base, &precision, &scale, &max_length)) {
    if (property == "basetype") answer = QuoteString(base);
    if (property == "precision") answer = std::to_string(precision);
    if (property == "scale") answer = std::to_string(scale);
    if (property == "maxlength") answer = std::to_string(max_length);
  } else if (property == "basetype") {
    // A type only the value can tell.
    answer = "CASE typeof(" + value_sql +
             ") WHEN 'integer' THEN 'int' WHEN 'real' THEN 'float' ELSE 'varchar' END";
  }
  if (answer.empty()) return "NULL";
  // A NULL has no type to describe.
  return "CASE WHEN (" + value_sql + ") IS NULL THEN NULL ELSE " + answer + " END";
}

std::string Emitter::TypedText(const Expr& e, const std::string& value_sql) {
  const std::string lowered = ToLowerAscii(ResultType(*e.args[0]));
  // A view compares its length first: most sources are none of the types below.
  const std::string_view source = std::string_view(lowered).substr(0, lowered.find('('));
  const Expr* style = e.kind == ExprKind::kConvert && e.args.size() > 1 ? e.args[1].get() : nullptr;
  std::string style_sql = style ? Expression(*style) : "0";
  if (source == "float" || source == "real") {
    return "tsql_float_text(" + value_sql + ", " + style_sql + ")";
  }
  if (source == "money" || source == "smallmoney") {
    return "tsql_money_text(" + value_sql + ", " + style_sql + ")";
  }
  // Binary styles 1 and 2 write the bytes in hexadecimal, with and without "0x".
  if ((source == "varbinary" || source == "binary") && style != nullptr &&
      style->kind == ExprKind::kNumber && (style->text == "1" || style->text == "2")) {
    return "CASE WHEN " + value_sql + " IS NULL THEN NULL ELSE " +
           (style->text == "1" ? "'0x' || " : "") + "hex(" + value_sql + ") END";
  }
  // The newer date types show the parts and the fraction digits their type has.
  if (source == "date" || source == "time" || source == "datetime2") {
    return "tsql_date_text(" + value_sql + ", " + (style ? style_sql : "-1") + ", " +
           QuoteString(lowered) + ")";
  }
  // Without a style datetime reads 'Mar  5 2024  2:07PM'.
  if ((source == "datetime" || source == "smalldatetime") && style == nullptr) {
    return "tsql_convert('varchar(30)', " + value_sql + ", 0)";
  }
  return "";
}

void Emitter::AppendCast(const Expr& e, std::string* out) {
  // TRY_CAST and TRY_CONVERT answer NULL where the conversion fails.
  const bool try_form = e.text == "try";
  const char* cast_fn = try_form ? "tsql_try_cast(" : "tsql_cast(";
  // To text the value's own type may decide the text, so the value is written first on its
  // own; otherwise it goes straight into *out.
  std::string value;
  int scale = -1;
  const bool to_text = IsTextTypeName(e.type.name);
  if (to_text) {
    value = Expression(*e.args[0]);
    std::string text = TypedText(e, value);
    if (!text.empty()) {
      *out += cast_fn;
      *out += text;
      *out += ", "sv;
      AppendQuoted(e.type.text, '\'', out);
      *out += ')';
      return;
    }
    scale = ScaleOf(*e.args[0]);
  }
  auto append_value = [&] {
    if (!to_text) {
      AppendExpression(*e.args[0], out);
    } else if (scale > 0) {
      *out += WithScale(value, scale);
    } else {
      *out += value;
    }
  };
  if (e.kind == ExprKind::kCast) {
    *out += cast_fn;
    append_value();
    *out += ", "sv;
    AppendQuoted(e.type.text, '\'', out);
    *out += ')';
    return;
  }
  *out += try_form ? "tsql_try_convert(" : "tsql_convert(";
  AppendQuoted(e.type.text, '\'', out);
  *out += ", "sv;
  append_value();
  if (e.args.size() > 1) {
    *out += ", "sv;
    AppendExpression(*e.args[1], out);
  }
  *out += ')';
}

}  // namespace ambit::tsql
