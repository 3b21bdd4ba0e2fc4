// PIVOT and UNPIVOT as derived tables. PIVOT groups by every column of its source that it does
// not name and aggregates the value column once per listed value:
//
//   src PIVOT (SUM(amount) FOR year IN ([2023], [2024])) AS p
//   (SELECT "region", sum(CASE WHEN tsql_cmp("year", '2023') = 0 THEN "amount" END) AS "2023",
//       ... FROM src GROUP BY "region") AS p
//
// The listed names convert to the spread column's type as SQL Server converts them (tsql_cmp).
// UNPIVOT crosses each source row with the listed columns and, as SQL Server does, drops the
// rows whose value is NULL.
#include <algorithm>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Refuse(int32_t number, const std::string& text) {
  throw ComError(number, kEngineErrorSource, text);
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return EqualsNoCase(n, name); });
}

const CatalogColumn& SourceColumn(const std::vector<CatalogColumn>& columns,
                                  const std::string& name) {
  for (const CatalogColumn& c : columns) {
    if (EqualsNoCase(c.name, name)) return c;
  }
  Refuse(207, "Invalid column name '" + name + "'.");
}

// The comparable form of a declared type: "INT" and "int" are one type, as are
// "decimal(10, 2)" and "decimal(10,2)".
std::string TypeKey(const std::string& decl) {
  std::string key;
  for (char c : ToLowerAscii(TypeTextForStore(decl))) {
    if (c != ' ') key.push_back(c);
  }
  return key;
}

// The aggregate of a PIVOT: one of SQL Server's aggregates over a column of the source.
const Expr& PivotValue(const Expr& aggregate) {
  static constexpr std::string_view kAggregates[] = {"count", "count_big", "sum", "avg", "min",
                                                     "max"};
  if (aggregate.star) Refuse(102, "Incorrect syntax near '*'.");
  if (std::find(std::begin(kAggregates), std::end(kAggregates), aggregate.text) ==
          std::end(kAggregates) ||
      aggregate.args.size() != 1 || aggregate.args[0]->kind != ExprKind::kColumn ||
      aggregate.has_over) {
    Refuse(102, "Incorrect syntax near '" + aggregate.text + "'.");
  }
  return *aggregate.args[0];
}

}  // namespace

std::optional<std::vector<CatalogColumn>> Emitter::PivotColumns(const TableRef& t) {
  const PivotClause& p = *t.pivot;
  std::optional<std::vector<CatalogColumn>> source = SourceColumns(*t.left);
  if (!source) return std::nullopt;
  for (size_t i = 0; i < p.in_columns.size(); ++i) {
    for (size_t k = 0; k < i; ++k) {
      if (EqualsNoCase(p.in_columns[i], p.in_columns[k])) {
        Refuse(8156, "The column '" + p.in_columns[i] + "' was specified multiple times for '" +
                         t.alias + "'.");
      }
    }
  }
  std::vector<CatalogColumn> out;
  if (p.unpivot) {
    const std::string& first_type = SourceColumn(*source, p.in_columns[0]).decl_type;
    for (const std::string& name : p.in_columns) {
      const std::string& type = SourceColumn(*source, name).decl_type;
      if (!type.empty() && !first_type.empty() && TypeKey(type) != TypeKey(first_type)) {
        Refuse(8167, "The type of column \"" + name +
                         "\" conflicts with the type of other columns specified in the UNPIVOT "
                         "list.");
      }
    }
    for (const CatalogColumn& c : *source) {
      if (!Contains(p.in_columns, c.name)) out.push_back(c);
    }
    out.push_back({p.for_column, "nvarchar(128)", false, ""});
    out.push_back({p.value_column, first_type, false, ""});
    return out;
  }
  const Expr& value = PivotValue(*p.aggregate);
  const std::string& value_name = value.parts.back();
  SourceColumn(*source, p.for_column);
  SourceColumn(*source, value_name);
  for (const CatalogColumn& c : *source) {
    if (EqualsNoCase(c.name, p.for_column) || EqualsNoCase(c.name, value_name)) continue;
    if (Contains(p.in_columns, c.name)) {
      Refuse(265, "The column name \"" + c.name +
                      "\" specified in the PIVOT operator conflicts with the existing column name "
                      "in the PIVOT argument.");
    }
    out.push_back(c);
  }
  // The aggregate's type over the value column, e.g. SUM of decimal(10,2) is decimal(38,2).
  scopes_.push_back({ScopeTable{"", "", Shared(source), false}});
  ScopeExit scope_exit{this};
  Expr column;
  column.kind = ExprKind::kColumn;
  column.parts = {value_name};
  Expr aggregate;
  aggregate.kind = ExprKind::kFunction;
  aggregate.text = p.aggregate->text;
  aggregate.args.push_back(std::make_unique<Expr>(std::move(column)));
  std::string type = ResultType(aggregate);
  for (const std::string& name : p.in_columns) out.push_back({name, type, false, ""});
  return out;
}

std::string Emitter::PivotText(const TableRef& t) {
  const PivotClause& p = *t.pivot;
  std::optional<std::vector<CatalogColumn>> columns = PivotColumns(t);
  // The grouping columns are every column but the named ones, so they must be known.
  if (!columns) Refuse(102, "Incorrect syntax near '" + t.alias + "'.");
  std::string source = TableRefText(*t.left);
  size_t kept = columns->size() - (p.unpivot ? 2 : p.in_columns.size());
  std::string groups;
  for (size_t i = 0; i < kept; ++i) groups += (i ? ", " : "") + QuoteName((*columns)[i].name);
  std::string list = groups;
  if (p.unpivot) {
    std::string keys, pick;
    for (size_t i = 0; i < p.in_columns.size(); ++i) {
      std::string index = std::to_string(i);
      keys += i ? " UNION ALL SELECT " + index + ", " + QuoteString(p.in_columns[i])
                : "SELECT 0 AS \"tsql_i\", " + QuoteString(p.in_columns[0]) + " AS \"tsql_n\"";
      pick += " WHEN " + index + " THEN " + QuoteName(p.in_columns[i]);
    }
    list += std::string(list.empty() ? "" : ", ") + "\"tsql_k\".\"tsql_n\" COLLATE TSQL AS " +
            QuoteName(p.for_column) + ", CASE \"tsql_k\".\"tsql_i\"" + pick + " END AS " +
            QuoteName(p.value_column);
    return "(SELECT * FROM (SELECT " + list + " FROM " + source + " CROSS JOIN (" + keys +
           ") AS \"tsql_k\") WHERE " + QuoteName(p.value_column) + " IS NOT NULL) AS " +
           QuoteName(t.alias);
  }
  std::optional<std::vector<CatalogColumn>> source_columns = SourceColumns(*t.left);
  scopes_.push_back({ScopeTable{"", "", Shared(source_columns), false}});
  ScopeExit scope_exit{this};
  const Expr& value = PivotValue(*p.aggregate);
  for (const std::string& name : p.in_columns) {
    // The aggregate over a placeholder column that reads the value only on the listed value's
    // rows, so that the aggregate keeps the emitter's own translation (integer AVG ...).
    Expr aggregate;
    aggregate.kind = ExprKind::kFunction;
    aggregate.text = p.aggregate->text;
    aggregate.distinct = p.aggregate->distinct;
    aggregate.args.push_back(std::make_unique<Expr>());
    Expr& placeholder = *aggregate.args[0];
    placeholder.kind = ExprKind::kColumn;
    placeholder.parts = value.parts;
    column_sql_[&placeholder] = "CASE WHEN tsql_cmp(" + QuoteName(p.for_column) + ", " +
                                QuoteString(name) + ") = 0 THEN " +
                                QuoteName(value.parts.back()) + " END";
    std::string sql = Expression(aggregate);
    column_sql_.erase(&placeholder);
    list += (list.empty() ? "" : ", ") + sql + " AS " + QuoteName(name);
  }
  std::string out = "(SELECT " + list + " FROM " + source;
  if (!groups.empty()) out += " GROUP BY " + groups;
  return out + ") AS " + QuoteName(t.alias);
}

}  // namespace ambit::tsql
