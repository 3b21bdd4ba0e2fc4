// Name resolution for the emitter: which table a column belongs to and how it is declared.
// SQLite's affinity rules already give most of SQL Server's conversions, but not a text column
// against a number (SQL Server converts the text) nor bad numeric text against a number column
// (SQL Server fails with 245), so comparisons need the declared types.
#include <algorithm>
#include <cstdlib>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
void Emitter::CollectScope(const TableRef& t, std::vector<ScopeTable>* out) {
  switch (t.kind) {
    case TableRef::Kind::kTable: {
      ScopeTable st;
      st.name = t.alias.empty() ? t.name.back() : t.alias;
      st.table = t.name.back();
      st.columns = TableColumns(t.name.back());
      out->push_back(std::move(st));
      break;
    }
    case TableRef::Kind::kDerived:
    case TableRef::Kind::kValues:
      out->push_back({t.alias, "", nullptr, false});
      break;
    case TableRef::Kind::kPivot:
      out->push_back({t.alias, "", Shared(PivotColumns(t)), false});
      break;
    case TableRef::Kind::kSplit:
      out->push_back({t.alias.empty() ? t.name[0] : t.alias, "", Shared(SourceColumns(t)), true});
      break;
    case TableRef::Kind::kJoin:
      CollectScope(*t.left, out);
      if (t.join_type.ends_with("apply") && (t.right->kind == TableRef::Kind::kDerived ||
                                             t.right->kind == TableRef::Kind::kValues)) {
        // The applied columns' types may come from the rows before them (UPPER(a.name)).
        scopes_.push_back(*out);
        std::optional<std::vector<CatalogColumn>> columns = SourceColumns(*t.right);
        scopes_.pop_back();
        if (!columns) {
          throw ComError(102, kEngineErrorSource,
                         "Incorrect syntax near '" + t.right->alias + "'.");
        }
        out->push_back({t.right->alias, "", Shared(std::move(columns)), true});
      } else {
        CollectScope(*t.right, out);
      }
      break;
  }
}

void Emitter::PushScope(const std::vector<TableRefPtr>& from) {
  std::vector<ScopeTable> scope;
  for (const TableRefPtr& t : from) CollectScope(*t, &scope);
  for (const ScopeTable& t : scope) packed_sources_ += t.packed ? 1 : 0;
  scopes_.push_back(std::move(scope));
}

void Emitter::PushScope(const std::vector<std::string>& table, const std::string& alias) {
  ScopeTable st;
  st.name = alias.empty() ? table.back() : alias;
  st.table = table.back();
  st.columns = TableColumns(table.back());
  scopes_.push_back({std::move(st)});
}

Emitter::SharedColumns Emitter::Shared(std::optional<std::vector<CatalogColumn>> columns) {
  if (!columns) return nullptr;
  return std::make_shared<const std::vector<CatalogColumn>>(std::move(*columns));
}

Emitter::SharedColumns Emitter::TableColumns(const std::string& table) {
  if (!context_.columns) return nullptr;
  auto it = table_columns_.find(table);
  if (it == table_columns_.end()) {
    it = table_columns_.emplace(table, Shared(context_.columns(table))).first;
  }
  return it->second;
}

const std::string& Emitter::ColumnType(const Expr& column) const {
  static const std::string kUnknown;
  const CatalogColumn* c = ResolveColumn(column, nullptr);
  return c == nullptr ? kUnknown : c->decl_type;
}

const CatalogColumn* Emitter::ResolveColumn(const Expr& column, const ScopeTable** table) const {
  if (column.kind != ExprKind::kColumn || column.parts.empty()) return nullptr;
  const std::string& name = column.parts.back();
  const std::string* qualifier =
      column.parts.size() >= 2 ? &column.parts[column.parts.size() - 2] : nullptr;
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    for (const ScopeTable& t : *scope) {
      if (qualifier != nullptr && !EqualsNoCase(t.name, *qualifier)) continue;
      if (!t.columns) {
        if (qualifier != nullptr) return nullptr;
        continue;
      }
      for (const CatalogColumn& c : *t.columns) {
        if (!EqualsNoCase(c.name, name)) continue;
        if (table != nullptr) *table = &t;
        return &c;
      }
      if (qualifier != nullptr) return nullptr;
    }
  }
  return nullptr;
}

void Emitter::CheckQualifier(const Expr& column) const {
  if (column.parts.size() < 2 || scopes_.empty()) return;
  const std::string& qualifier = column.parts[column.parts.size() - 2];
  for (const auto& scope : scopes_) {
    for (const ScopeTable& t : scope) {
      if (EqualsNoCase(t.name, qualifier) || EqualsNoCase(t.table, qualifier)) return;
    }
  }
  std::string full;
  for (const std::string& p : column.parts) full += (full.empty() ? "" : ".") + p;
  throw ComError(4104, kEngineErrorSource,
                 "The multi-part identifier \"" + full + "\" could not be bound.");
}

namespace {

// A type name lowered into *buffer, "" when it is longer than any type's. Declared types are
// asked for every column an expression reads, so the name is lowered on the caller's stack.
std::string_view LowerTypeName(std::string_view written, char (*buffer)[16]) {
  if (written.size() > sizeof *buffer) return {};
  for (size_t i = 0; i < written.size(); ++i) {
    char c = written[i];
    (*buffer)[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return std::string_view(*buffer, written.size());
}

}  // namespace

std::string_view Emitter::DeclTypeName(const std::string& decl_type, char (*buffer)[16]) {
  std::string_view declared = decl_type;
  declared = declared.substr(0, declared.find('('));
  while (!declared.empty() && declared.back() == ' ') declared.remove_suffix(1);
  return LowerTypeName(declared, buffer);
}

StaticType Emitter::TypeOfDecl(const std::string& decl_type) {
  char buffer[16];
  const std::string_view name = DeclTypeName(decl_type, &buffer);  // compares lengths first
  if (name.empty()) return StaticType::kUnknown;
  if (name == "uniqueidentifier") return StaticType::kUnknown;
  if (IsTextTypeName(name)) return StaticType::kText;
  if (IsNumericTypeName(name)) return StaticType::kNumeric;
  if (name == "datetime" || name == "smalldatetime" || name == "date" || name == "datetime2") {
    return StaticType::kDate;
  }
  return StaticType::kUnknown;
}

namespace {

Emitter::NumericType FromTypeName(std::string_view name, int precision, int scale) {
  // string_view compares lengths first
  using K = Emitter::NumericType::Kind;
  if (name == "decimal" || name == "numeric") {
    return {K::kDecimal, precision < 0 ? 18 : precision, scale < 0 ? 0 : scale};
  }
  if (name == "money") return {K::kMoney, 19, 4};
  if (name == "smallmoney") return {K::kMoney, 10, 4};
  if (name == "int" || name == "integer") return {K::kInteger, 10, 0};
  if (name == "bigint") return {K::kInteger, 19, 0};
  if (name == "smallint") return {K::kInteger, 5, 0};
  if (name == "tinyint") return {K::kInteger, 3, 0};
  if (name == "bit") return {K::kInteger, 1, 0};
  return {};
}

Emitter::NumericType FromDecl(const std::string& decl_type) {
  const size_t open = decl_type.find('(');
  const std::string_view written = std::string_view(decl_type).substr(0, open);
  char buffer[16];
  const std::string_view name = LowerTypeName(written, &buffer);
  if (name.size() != written.size()) return {};  // too long to be a numeric type
  int precision = -1, scale = -1;
  if (open != std::string::npos) {
    precision = std::atoi(decl_type.c_str() + open + 1);
    size_t comma = decl_type.find(',');
    scale = comma == std::string::npos ? 0 : std::atoi(decl_type.c_str() + comma + 1);
  }
  return FromTypeName(name, precision, scale);
}

// SQL Server keeps at most 38 digits and gives up scale (down to 6) to keep integral digits.
Emitter::NumericType Fit(Emitter::NumericType t) {
  if (t.precision > 38) {
    int integral = t.precision - t.scale;
    t.scale = std::max(std::min(t.scale, 38 - integral), std::min(t.scale, 6));
    t.precision = 38;
  }
  return t;
}

// The type of a CASE, COALESCE or UNION column whose branches have types a and b: the higher
// of the two by SQL Server's precedence, decimals widened to hold either.
Emitter::NumericType Combine(Emitter::NumericType a, Emitter::NumericType b) {
  using K = Emitter::NumericType::Kind;
  if (a.kind == K::kNone || b.kind == K::kNone) return {};
  if (a.kind == K::kInteger && b.kind == K::kInteger) {
    return {K::kInteger, std::max(a.precision, b.precision), 0};
  }
  if (a.kind != K::kDecimal && b.kind != K::kDecimal) return {K::kMoney, 19, 4};
  // An integer branch counts as decimal(10,0), money as decimal(19,4).
  auto widen = [](Emitter::NumericType t) {
    if (t.kind == K::kInteger) return Emitter::NumericType{K::kDecimal, 10, 0};
    return Emitter::NumericType{K::kDecimal, t.precision, t.scale};
  };
  a = widen(a);
  b = widen(b);
  int scale = std::max(a.scale, b.scale);
  return Fit({K::kDecimal, std::max(a.precision - a.scale, b.precision - b.scale) + scale, scale});
}

}  // namespace

Emitter::NumericType Emitter::NumericTypeOfDecl(const std::string& decl_type) {
  return FromDecl(decl_type);
}

Emitter::NumericType Emitter::CombineNumeric(NumericType a, NumericType b) { return Combine(a, b); }

Emitter::NumericType Emitter::NumericTypeOf(const Expr& e) const {
  using K = NumericType::Kind;
  switch (e.kind) {
    case ExprKind::kNumber: {
      if (e.text.find_first_of("eExX") != std::string::npos) return {};
      size_t dot = e.text.find('.');
      // Leading zeros are not digits of the literal's type: 0.05 is numeric(2,2).
      int digits = 0;
      bool leading = true;
      for (char c : e.text) {
        if (c < '0' || c > '9') continue;
        leading = leading && c == '0';
        digits += leading ? 0 : 1;
      }
      if (dot == std::string::npos) {
        // A literal beyond int is a decimal, not an overflow.
        bool fits = digits < 10 || (digits == 10 && e.text.substr(e.text.size() - 10) <= "2147483647");
        return {fits ? K::kInteger : K::kDecimal, std::max(digits, 1), 0};
      }
      int scale = static_cast<int>(e.text.size() - dot - 1);
      return {K::kDecimal, std::max({digits, scale, 1}), scale};
    }
    case ExprKind::kVariable: {
      const TypeRef* t = context_.variable_type ? context_.variable_type(e.text) : nullptr;
      return t == nullptr ? NumericType{} : FromTypeName(t->name, t->precision, t->scale);
    }
    case ExprKind::kColumn:
      return FromDecl(ColumnType(e));
    case ExprKind::kCast:
    case ExprKind::kConvert:
      return FromTypeName(e.type.name, e.type.precision, e.type.scale);
    case ExprKind::kUnary:
      return e.text == "-" ? NumericTypeOf(*e.args[0]) : NumericType{};
    case ExprKind::kCase: {
      // THEN and ELSE results combine as UNION columns do.
      size_t first = e.has_operand ? 1 : 0;
      NumericType t;
      bool any = false;
      for (size_t i = first + 1; i < e.args.size(); i += 2) {
        t = any ? Combine(t, NumericTypeOf(*e.args[i])) : NumericTypeOf(*e.args[i]);
        any = true;
      }
      if (e.has_else) t = Combine(t, NumericTypeOf(*e.args.back()));
      return t;
    }
    case ExprKind::kFunction: {
      if (e.args.empty()) return {};
      if (e.text == "isnull" && e.args.size() == 2) {
        NumericType a = NumericTypeOf(*e.args[0]);
        return a.kind != K::kNone || e.args[0]->kind != ExprKind::kNull ? a
                                                                        : NumericTypeOf(*e.args[1]);
      }
      if (e.text == "coalesce") {
        NumericType t = NumericTypeOf(*e.args[0]);
        for (size_t i = 1; i < e.args.size(); ++i) t = Combine(t, NumericTypeOf(*e.args[i]));
        return t;
      }
      if (e.text == "round" && e.args.size() >= 2) {
        return NumericTypeOf(*e.args[0]);  // the same type: ROUND(744.0, -3) overflows
      }
      if (e.args.size() != 1) return {};
      NumericType a = NumericTypeOf(*e.args[0]);
      if (e.text == "sum" && a.kind != K::kNone) return Fit({a.kind, 38, a.scale});
      if (e.text == "min" || e.text == "max" || e.text == "abs") return a;
      if (e.text == "avg" && a.kind == K::kDecimal) return Fit({a.kind, 38, std::max(a.scale, 6)});
      return {};
    }
    case ExprKind::kBinary: {
      NumericType t = NumericTypeOf(*e.args[0]);
      for (size_t i = 1; i < e.args.size(); ++i) {
        t = StepNumericType(t, e.parts[i - 1], NumericTypeOf(*e.args[i]));
      }
      return t;
    }
    default:
      return {};
  }
}

Emitter::NumericType Emitter::StepNumericType(NumericType a, const std::string& op_text,
                                              NumericType b) {
  using K = NumericType::Kind;
  const std::string_view op = op_text;  // compares lengths first
  if (op != "+" && op != "-" && op != "*" && op != "/") return {};
  if (a.kind == K::kNone || b.kind == K::kNone) return {};
  // int with int is int, anything with bigint is bigint.
  if (a.kind == K::kInteger && b.kind == K::kInteger) {
    return {K::kInteger, std::max({a.precision, b.precision, 10}), 0};
  }
  K kind = (a.kind == K::kMoney || b.kind == K::kMoney) &&
                   a.kind != K::kDecimal && b.kind != K::kDecimal
               ? K::kMoney
               : K::kDecimal;
  if (kind == K::kMoney) return {K::kMoney, 19, 4};
  // Integer operands count as decimal(p,0) with p digits.
  int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
  if (op == "+" || op == "-") {
    int scale = std::max(s1, s2);
    return Fit({kind, std::max(p1 - s1, p2 - s2) + scale + 1, scale});
  }
  if (op == "*") return Fit({kind, p1 + p2 + 1, s1 + s2});
  int scale = std::max(6, s1 + p2 + 1);
  return Fit({kind, p1 - s1 + s2 + scale, scale});
}

int Emitter::ScaleOf(const Expr& e) const {
  NumericType t = NumericTypeOf(e);
  if (t.kind == NumericType::Kind::kMoney) return 2;  // money shows two places as text
  if (t.kind == NumericType::Kind::kDecimal) return t.scale;
  return -1;
}

std::string Emitter::WithScale(const std::string& sql, int scale) {
  if (scale <= 0) return sql;
  return "tsql_ltrim(tsql_str(" + sql + ", 60, " + std::to_string(scale) + "))";
}

}  // namespace ambit::tsql
