// Name resolution for the emitter: which table a column belongs to and how it is declared.
// SQLite's affinity rules already give most of SQL Server's conversions, but not a text column
// against a number (SQL Server converts the text) nor bad numeric text against a number column
// (SQL Server fails with 245), so comparisons need the declared types.
#include <cstdlib>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

void Collect(const TableRef& t, const EmitterContext& context,
             std::vector<std::pair<std::string, std::vector<std::string>>>* out) {
  switch (t.kind) {
    case TableRef::Kind::kTable:
      out->emplace_back(t.alias.empty() ? t.name.back() : t.alias, t.name);
      break;
    case TableRef::Kind::kDerived:
      out->emplace_back(t.alias, std::vector<std::string>{});
      break;
    case TableRef::Kind::kJoin:
      Collect(*t.left, context, out);
      Collect(*t.right, context, out);
      break;
  }
}

}  // namespace

void Emitter::PushScope(const std::vector<TableRefPtr>& from) {
  std::vector<std::pair<std::string, std::vector<std::string>>> tables;
  for (const TableRefPtr& t : from) Collect(*t, context_, &tables);
  std::vector<ScopeTable> scope;
  for (auto& [name, table] : tables) {
    ScopeTable st;
    st.name = name;
    if (!table.empty()) st.table = table.back();
    if (!table.empty() && context_.columns) st.columns = context_.columns(table.back());
    scope.push_back(std::move(st));
  }
  scopes_.push_back(std::move(scope));
}

void Emitter::PushScope(const std::vector<std::string>& table, const std::string& alias) {
  ScopeTable st;
  st.name = alias.empty() ? table.back() : alias;
  st.table = table.back();
  if (context_.columns) st.columns = context_.columns(table.back());
  scopes_.push_back({std::move(st)});
}

std::string Emitter::ColumnType(const Expr& column) const {
  if (column.kind != ExprKind::kColumn || column.parts.empty()) return "";
  const std::string& name = column.parts.back();
  const std::string* qualifier =
      column.parts.size() >= 2 ? &column.parts[column.parts.size() - 2] : nullptr;
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    for (const ScopeTable& t : *scope) {
      if (qualifier != nullptr && !EqualsNoCase(t.name, *qualifier)) continue;
      if (!t.columns) {
        if (qualifier != nullptr) return "";
        continue;
      }
      for (const CatalogColumn& c : *t.columns) {
        if (EqualsNoCase(c.name, name)) return c.decl_type;
      }
      if (qualifier != nullptr) return "";
    }
  }
  return "";
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

StaticType Emitter::TypeOfDecl(const std::string& decl_type) {
  if (decl_type.empty()) return StaticType::kUnknown;
  std::string t = ToLowerAscii(decl_type.substr(0, decl_type.find('(')));
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (t == "uniqueidentifier") return StaticType::kUnknown;
  if (IsTextTypeName(t)) return StaticType::kText;
  if (IsNumericTypeName(t)) return StaticType::kNumeric;
  if (t == "datetime" || t == "smalldatetime" || t == "date" || t == "datetime2") {
    return StaticType::kDate;
  }
  return StaticType::kUnknown;
}

namespace {

int ScaleOfType(const std::string& lower_name, int scale) {
  if (lower_name == "decimal" || lower_name == "numeric") return scale < 0 ? 0 : scale;
  if (lower_name == "money" || lower_name == "smallmoney") return 4;
  return -1;
}

}  // namespace

int Emitter::ScaleOf(const Expr& e) const {
  switch (e.kind) {
    case ExprKind::kNumber: {
      size_t dot = e.text.find('.');
      if (dot == std::string::npos || e.text.find_first_of("eExX") != std::string::npos) return -1;
      return static_cast<int>(e.text.size() - dot - 1);
    }
    case ExprKind::kVariable: {
      const TypeSpec* t = context_.variable_type ? context_.variable_type(e.text) : nullptr;
      return t == nullptr ? -1 : ScaleOfType(t->name, t->scale);
    }
    case ExprKind::kColumn: {
      std::string decl = ToLowerAscii(ColumnType(e));
      std::string base = decl.substr(0, decl.find('('));
      if (base != "decimal" && base != "numeric") return ScaleOfType(base, -1);
      size_t comma = decl.find(',');
      return comma == std::string::npos ? 0 : std::atoi(decl.c_str() + comma + 1);
    }
    case ExprKind::kCast:
    case ExprKind::kConvert:
      return ScaleOfType(e.type.name, e.type.scale);
    default:
      return -1;
  }
}

std::string Emitter::WithScale(const std::string& sql, int scale) {
  if (scale <= 0) return sql;
  return "tsql_ltrim(tsql_str(" + sql + ", 60, " + std::to_string(scale) + "))";
}

}  // namespace ambit::tsql
