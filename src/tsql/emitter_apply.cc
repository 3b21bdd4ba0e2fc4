// CROSS APPLY and OUTER APPLY. SQLite has no lateral join: a subquery in FROM cannot see the
// tables before it, while the arguments of a table-valued function can. The applied subquery
// (or values list) therefore becomes a scalar subquery that packs its rows into one JSON array,
// walked by json_each once per outer row:
//
//   FROM t CROSS APPLY (SELECT TOP 1 x FROM o WHERE o.a = t.a ORDER BY x) s
//   FROM t JOIN json_each((WITH "tsql_apply"("c0") AS (SELECT x FROM o WHERE o.a = t.a
//       ORDER BY x LIMIT 1) SELECT json_group_array(tsql_pack("c0")) FROM "tsql_apply")) AS s
//
// and s.x reads tsql_unpack(s.value, 0). OUTER APPLY is the same as a LEFT JOIN, so an outer
// row without inner rows stays with NULLs. This keeps every form SQL Server accepts (TOP with
// ORDER BY, aggregates, unions, nested applies) at the cost of one inner query per outer row,
// which is what SQL Server's own nested loops do.
#include <algorithm>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

int ColumnIndex(const std::vector<CatalogColumn>& columns, const std::string& name) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (EqualsNoCase(columns[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::optional<std::vector<CatalogColumn>> Emitter::SourceColumns(const TableRef& t) {
  switch (t.kind) {
    case TableRef::Kind::kTable:
      for (auto cte = visible_ctes_.rbegin(); t.name.size() == 1 && cte != visible_ctes_.rend();
           ++cte) {
        if (!EqualsNoCase((*cte)->name, t.name[0])) continue;
        std::optional<std::vector<CatalogColumn>> columns = QueryColumns(*(*cte)->select);
        if (!columns || (*cte)->columns.empty()) return columns;
        if (columns->size() != (*cte)->columns.size()) return std::nullopt;
        for (size_t i = 0; i < columns->size(); ++i) (*columns)[i].name = (*cte)->columns[i];
        return columns;
      }
      return context_.columns ? context_.columns(t.name.back()) : std::nullopt;
    case TableRef::Kind::kDerived: {
      std::optional<std::vector<CatalogColumn>> columns = QueryColumns(*t.derived);
      if (!columns || t.columns.empty()) return columns;
      if (columns->size() != t.columns.size()) return std::nullopt;
      for (size_t i = 0; i < t.columns.size(); ++i) (*columns)[i].name = t.columns[i];
      return columns;
    }
    case TableRef::Kind::kValues: {
      std::vector<CatalogColumn> columns;
      for (size_t i = 0; i < t.columns.size(); ++i) {
        columns.push_back({t.columns[i], ResultType(*t.values[0][i]), false, ""});
      }
      return columns;
    }
    case TableRef::Kind::kPivot:
      return PivotColumns(t);
    case TableRef::Kind::kSplit: {
      if (EqualsNoCase(t.name[0], "openjson")) {
        if (t.values[0].size() > 2) {
          throw ComError(189, kEngineErrorSource,
                         "The openjson function requires 1 to 2 arguments.");
        }
        if (!t.columns.empty()) {
          std::vector<CatalogColumn> columns;
          for (size_t i = 0; i < t.columns.size(); ++i) {
            columns.push_back({t.columns[i], t.values[i + 1][0]->text, false, ""});
          }
          return columns;
        }
        return std::vector<CatalogColumn>{{"key", "nvarchar(4000)", false, ""},
                                          {"value", "nvarchar(max)", false, ""},
                                          {"type", "int", false, ""}};
      }
      if (t.values[0].size() != 2) {
        throw ComError(8144, kEngineErrorSource,
                       "Procedure or function STRING_SPLIT has too many arguments specified.");
      }
      // The parts keep the type of the text split, nvarchar(4000) for anything else.
      std::string type = ResultType(*t.values[0][0]);
      if (!IsTextDecl(type)) type = "nvarchar(4000)";
      return std::vector<CatalogColumn>{{"value", type, false, ""}};
    }
    case TableRef::Kind::kJoin: {
      std::optional<std::vector<CatalogColumn>> left = SourceColumns(*t.left);
      std::optional<std::vector<CatalogColumn>> right = SourceColumns(*t.right);
      if (!left || !right) return std::nullopt;
      left->insert(left->end(), right->begin(), right->end());
      return left;
    }
  }
  return std::nullopt;
}

std::optional<std::vector<CatalogColumn>> Emitter::QueryColumns(const Select& s) {
  if (s.blocks.empty() || s.for_xml_path) return std::nullopt;
  const SelectBlock& q = s.blocks[0];
  std::vector<CatalogColumn> out;
  PushScope(q.from);
  ScopeExit scope_exit{this};
  for (const SelectItem& item : q.items) {
    const Expr& e = *item.expr;
    if (e.kind != ExprKind::kStar) {
      std::string name = item.alias;
      if (name.empty() && e.kind == ExprKind::kColumn) name = e.parts.back();
      out.push_back({name, ResultType(e), false, ""});
      continue;
    }
    // The columns a star stands for: every source, or the one it names.
    size_t before = out.size();
    for (const TableRefPtr& source : q.from) {
      std::vector<const TableRef*> parts;
      AppendJoinLeaves(*source, &parts);
      for (const TableRef* t : parts) {
        std::string name = t->alias.empty() && !t->name.empty() ? t->name.back() : t->alias;
        if (!e.parts.empty() && !EqualsNoCase(e.parts.back(), name)) continue;
        std::optional<std::vector<CatalogColumn>> columns = SourceColumns(*t);
        if (!columns) return std::nullopt;
        out.insert(out.end(), columns->begin(), columns->end());
      }
    }
    if (out.size() == before) return std::nullopt;
  }
  return out;
}

std::optional<std::string> Emitter::PackedColumn(const Expr& column) const {
  const std::string& name = column.parts.back();
  const std::string* qualifier =
      column.parts.size() >= 2 ? &column.parts[column.parts.size() - 2] : nullptr;
  auto unpack = [&](const ScopeTable& t, int index) {
    std::string sql =
        "tsql_unpack(" + QuoteName(t.name) + ".\"value\", " + std::to_string(index) + ")";
    if (IsTextDecl((*t.columns)[index].decl_type)) sql = "(" + sql + " COLLATE TSQL)";
    return sql;
  };
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    const ScopeTable* found = nullptr;
    const ScopeTable* owner = nullptr;  // the other table that has the name
    int index = -1, unknown = 0;
    bool other = false;
    for (const ScopeTable& t : *scope) {
      if (qualifier != nullptr) {
        if (!EqualsNoCase(t.name, *qualifier)) continue;
        if (!t.packed) return std::nullopt;
        int i = ColumnIndex(*t.columns, name);
        if (i < 0) {
          throw ComError(207, kEngineErrorSource, "Invalid column name '" + name + "'.");
        }
        return unpack(t, i);
      }
      if (!t.columns) {
        if (++unknown == 1) owner = &t;
        continue;
      }
      int i = ColumnIndex(*t.columns, name);
      if (i < 0) continue;
      if (t.packed && found == nullptr) {
        found = &t;
        index = i;
      } else {
        other = true;
        owner = &t;
      }
    }
    if (found != nullptr && other) {
      throw ComError(209, kEngineErrorSource, "Ambiguous column name '" + name + "'.");
    }
    if (found != nullptr) return unpack(*found, index);
    if (!other && unknown == 0) continue;
    // json_each's own columns (key, value, id ...) would make a bare name of another table
    // ambiguous to SQLite: it is qualified when the table that has it is known.
    if (!other && unknown > 1) return std::nullopt;
    return QuoteName(owner->name) + "." + QuoteName(name);
  }
  return std::nullopt;
}

std::string Emitter::StarText(const Expr& star) {
  const std::vector<ScopeTable>& scope = scopes_.back();
  std::string out;
  for (const ScopeTable& t : scope) {
    if (!star.parts.empty() && !EqualsNoCase(star.parts.back(), t.name)) continue;
    if (!t.packed) {
      out += (out.empty() ? "" : ", ") + QuoteName(t.name) + ".*";
      continue;
    }
    for (const CatalogColumn& c : *t.columns) {
      Expr column;
      column.kind = ExprKind::kColumn;
      column.parts = {t.name, c.name};
      out += (out.empty() ? "" : ", ") + *PackedColumn(column) + " AS " + QuoteName(c.name);
    }
  }
  if (out.empty()) {
    std::string name = star.parts.empty() ? "*" : star.parts.back();
    throw ComError(4104, kEngineErrorSource,
                   "The multi-part identifier \"" + name + "\" could not be bound.");
  }
  return out;
}

std::string Emitter::SplitText(const TableRef& t) {
  SourceColumns(t);  // checks the arguments
  const bool json = EqualsNoCase(t.name[0], "openjson");
  std::string args;
  for (const ExprPtr& arg : t.values[0]) args += (args.empty() ? "" : ", ") + Expression(*arg);
  if (json && !t.columns.empty()) {
    // tsql_openjson(text, path, then a type, a path and the AS JSON flag per column).
    if (t.values[0].size() == 1) args += ", NULL";
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const std::vector<ExprPtr>& column = t.values[i + 1];
      args += ", " + QuoteString(column[0]->text) + ", " +
              (column[1]->kind == ExprKind::kNull ? QuoteString("$.\"" + t.columns[i] + "\"")
                                                  : QuoteString(column[1]->text)) +
              ", " + column[2]->text;
    }
  }
  return "json_each(" + std::string(json ? "tsql_openjson(" : "tsql_string_split(") + args +
         ")) AS " + QuoteName(t.alias.empty() ? t.name[0] : t.alias);
}

std::string Emitter::ApplyText(const TableRef& join) {
  bool outer = join.join_type == "outer apply";
  const TableRef& r = *join.right;
  if (r.kind == TableRef::Kind::kSplit) {
    return outer ? " LEFT JOIN " + SplitText(r) + " ON 1" : " JOIN " + SplitText(r);
  }
  if (r.kind != TableRef::Kind::kDerived && r.kind != TableRef::Kind::kValues) {
    // A table cannot refer to the rows before it: the apply is a plain join.
    std::string right = TableRefText(r);
    if (r.kind == TableRef::Kind::kJoin) right = "(" + right + ")";
    return outer ? " LEFT JOIN " + right + " ON 1" : " CROSS JOIN " + right;
  }
  std::string rows;
  if (r.kind == TableRef::Kind::kValues) {
    for (const std::vector<ExprPtr>& row : r.values) {
      std::string values;
      for (const ExprPtr& v : row) values += (values.empty() ? "" : ", ") + Expression(*v);
      rows += (rows.empty() ? "" : ", ") + ("tsql_pack(" + values + ")");
    }
    rows = "json_array(" + rows + ")";
  } else {
    CheckNested(*r.derived, r.columns.empty() ? r.alias : "");
    std::optional<std::vector<CatalogColumn>> columns = SourceColumns(r);
    if (!columns) {
      throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + r.alias + "'.");
    }
    std::string names;
    for (size_t i = 0; i < columns->size(); ++i) {
      names += (i ? ", " : "") + ("\"c" + std::to_string(i) + "\"");
    }
    const Select& d = *r.derived;
    if (d.blocks.size() == 1 && d.blocks[0].top_with_ties && d.ctes.empty()) {
      // SQLite's LIMIT cannot see the outer row: the ties are kept by rank instead.
      const SelectBlock& q = d.blocks[0];
      std::string rank;
      {
        PushScope(q.from);
        ScopeExit scope_exit{this};
        rank = TiesRank(q, d.order_by);
      }
      std::string body = SelectBlockText(q, false);
      body.insert(7, rank + " AS \"tsql_rank\", ");  // after "SELECT ": no DISTINCT with ties
      return ApplyJoin(join, "(WITH \"tsql_apply\"(\"tsql_rank\", " + names + ") AS (" + body +
                                 ") SELECT json_group_array(tsql_pack(" + names +
                                 ")) FROM \"tsql_apply\" WHERE \"tsql_rank\" <= " +
                                 Expression(*q.top) + ")");
    }
    rows = "(WITH \"tsql_apply\"(" + names + ") AS (" + SelectText(d) +
           ") SELECT json_group_array(tsql_pack(" + names + ")) FROM \"tsql_apply\")";
  }
  return ApplyJoin(join, rows);
}

std::string Emitter::ApplyJoin(const TableRef& join, const std::string& rows) {
  std::string source = "json_each(" + rows + ") AS " + QuoteName(join.right->alias);
  return join.join_type == "outer apply" ? " LEFT JOIN " + source + " ON 1" : " JOIN " + source;
}

}  // namespace ambit::tsql
