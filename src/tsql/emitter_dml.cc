// INSERT, UPDATE and DELETE. T-SQL's UPDATE/DELETE ... FROM with joins have no faithful SQLite
// form (the target may not appear in FROM, RETURNING cannot see FROM tables), so they become a
// keyed statement over a subquery that runs the T-SQL FROM as written:
//   UPDATE t SET c = q.v0 FROM (SELECT alias.rowid AS rid, <expr> AS v0 FROM <from> WHERE ..) q
//   WHERE t.rowid = q.rid
// Values written into columns pass through tsql_store, which rounds decimals, truncates
// integers and rejects overlong text as SQL Server does when it stores a value.
#include <algorithm>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Unsupported(const std::string& near) {
  throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + near + "'.");
}

struct TargetRef {
  const TableRef* ref = nullptr;
  std::string table;     // quoted SQLite table name
  std::string instance;  // quoted name that qualifies columns of the target in FROM
  bool implicit = false;  // the target is not in FROM and joins it implicitly
};

void CollectTables(const TableRef& t, std::vector<const TableRef*>* out) {
  if (t.kind == TableRef::Kind::kTable) out->push_back(&t);
  if (t.kind == TableRef::Kind::kJoin) {
    CollectTables(*t.left, out);
    CollectTables(*t.right, out);
  }
}

TargetRef ResolveTarget(const std::vector<std::string>& target,
                        const std::vector<TableRefPtr>& from) {
  std::vector<const TableRef*> tables;
  for (const TableRefPtr& t : from) CollectTables(*t, &tables);
  const std::string& name = target.back();
  TargetRef out;
  if (target.size() == 1) {
    for (const TableRef* t : tables) {
      if (!t->alias.empty() && EqualsNoCase(t->alias, name)) {
        out.ref = t;
        break;
      }
    }
  }
  if (out.ref == nullptr) {
    int matches = 0;
    for (const TableRef* t : tables) {
      if (EqualsNoCase(t->name.back(), name)) {
        out.ref = t;
        ++matches;
      }
    }
    if (matches > 1) {
      throw ComError(8154, kEngineErrorSource, "The table '" + name + "' is ambiguous.");
    }
  }
  if (out.ref == nullptr) {
    out.table = Emitter::TableName(target);
    out.instance = out.table;
    out.implicit = true;
    return out;
  }
  out.table = Emitter::TableName(out.ref->name);
  out.instance = out.ref->alias.empty() ? out.table : Emitter::QuoteName(out.ref->alias);
  return out;
}

}  // namespace

const CatalogColumn* Emitter::FindColumn(const std::vector<CatalogColumn>& cols,
                                         const std::string& name) {
  for (const CatalogColumn& c : cols) {
    if (EqualsNoCase(c.name, name)) return &c;
  }
  return nullptr;
}

std::string Emitter::StoreValue(const std::string& value_sql, const std::string& decl_type) {
  std::string t = ToLowerAscii(decl_type);
  static constexpr std::string_view kStored[] = {
      "int",   "bigint",   "smallint", "tinyint", "bit",   "decimal",  "numeric",  "money",
      "smallmoney", "float", "real",  "char",    "varchar", "nchar", "nvarchar", "datetime",
      "smalldatetime", "date", "datetime2", "binary", "varbinary"};
  std::string base = t.substr(0, t.find('('));
  if (std::find(std::begin(kStored), std::end(kStored), base) == std::end(kStored)) {
    return value_sql;
  }
  if ((base == "varchar" || base == "nvarchar" || base == "varbinary") &&
      t.find("max") != std::string::npos) {
    return value_sql;
  }
  return "tsql_store(" + value_sql + ", " + QuoteString(decl_type) + ")";
}

EmittedSql Emitter::Insert(const InsertStmt& s) {
  if (s.exec) Unsupported("exec");
  std::string returning;
  auto finish = [&](const std::string& sql) { return Finish(sql + returning); };
  output_check_.clear();
  output_names_.clear();
  std::string table = TableName(s.table);
  auto catalog = context_.columns ? context_.columns(s.table.back()) : std::nullopt;
  std::vector<std::string> columns = s.columns;
  if (std::unique_ptr<ViewTarget> view = ViewOf(s.table.back())) {
    if (columns.empty()) columns = view->columns;
    ViewWrite write = ViewBase(*view, columns, false);
    output_check_ = ViewCheck(*view, write);
    if (s.output) MapViewOutput(*view, write);
    table = TableName(write.base->name);
    catalog = context_.columns ? context_.columns(write.base->name.back()) : std::nullopt;
    columns.clear();
    for (size_t i = 0; i < write.base_columns.size(); ++i) {
      // Without a column list the view's identity column is left to the table, as it is
      // for a table.
      const CatalogColumn* c = catalog ? FindColumn(*catalog, write.base_columns[i]) : nullptr;
      if (s.columns.empty() && c != nullptr && c->identity) continue;
      columns.push_back(write.base_columns[i]);
    }
  } else if (columns.empty() && catalog && !s.default_values) {
    for (const CatalogColumn& c : *catalog) {
      if (!c.identity) columns.push_back(c.name);
    }
  }
  returning = CheckedReturning(s.output.get(), "inserted");
  std::vector<std::string> types(columns.size());
  if (catalog) {
    for (size_t i = 0; i < columns.size(); ++i) {
      const CatalogColumn* c = FindColumn(*catalog, columns[i]);
      if (c == nullptr) {
        throw ComError(207, kEngineErrorSource, "Invalid column name '" + columns[i] + "'.");
      }
      types[i] = c->decl_type;
    }
  }
  std::string column_list;
  if (!columns.empty()) {
    column_list = " (";
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) column_list += ", ";
      column_list += QuoteName(columns[i]);
    }
    column_list += ")";
  }
  if (s.default_values) return finish("INSERT INTO " + table + " DEFAULT VALUES");
  if (!s.rows.empty()) {
    std::string sql = "INSERT INTO " + table + column_list + " VALUES ";
    for (size_t r = 0; r < s.rows.size(); ++r) {
      const auto& row = s.rows[r];
      if (s.columns.empty() && !columns.empty() && row.size() != columns.size()) {
        throw ComError(213, kEngineErrorSource,
                       "Column name or number of supplied values does not match table "
                       "definition.");
      }
      if (!columns.empty() && row.size() != columns.size()) {
        throw ComError(row.size() > columns.size() ? 110 : 109, kEngineErrorSource,
                       row.size() > columns.size()
                           ? "There are fewer columns in the INSERT statement than values "
                             "specified in the VALUES clause. The number of values in the "
                             "VALUES clause must match the number of columns specified in the "
                             "INSERT statement."
                           : "There are more columns in the INSERT statement than values "
                             "specified in the VALUES clause. The number of values in the "
                             "VALUES clause must match the number of columns specified in the "
                             "INSERT statement.");
      }
      sql += r ? ", (" : "(";
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) sql += ", ";
        if (row[i]->kind == ExprKind::kDefault) {
          const CatalogColumn* c = catalog ? FindColumn(*catalog, columns[i]) : nullptr;
          sql += c && !c->default_sql.empty() ? "(" + c->default_sql + ")" : "NULL";
          continue;
        }
        std::string v = Expression(*row[i]);
        if (i < types.size() && IsTextDecl(types[i])) v = WithScale(v, ScaleOf(*row[i]));
        sql += i < types.size() ? StoreValue(v, types[i]) : v;
      }
      sql += ")";
    }
    return finish(sql);
  }
  if (!columns.empty() && s.select->blocks.size() >= 1) {
    const SelectBlock& first = s.select->blocks[0];
    bool star = std::any_of(first.items.begin(), first.items.end(), [](const SelectItem& i) {
      return i.expr->kind == ExprKind::kStar;
    });
    if (!star && first.items.size() < columns.size()) {
      throw ComError(120, kEngineErrorSource,
                     "The select list for the INSERT statement contains fewer items than the "
                     "insert list. The number of SELECT values must match the number of INSERT "
                     "columns.");
    }
    if (!star && first.items.size() > columns.size()) {
      throw ComError(121, kEngineErrorSource,
                     "The select list for the INSERT statement contains more items than the "
                     "insert list. The number of SELECT values must match the number of INSERT "
                     "columns.");
    }
  }
  std::string select = SelectText(*s.select);
  std::vector<int> scales(columns.size(), -1);
  if (s.select->blocks.size() == 1) {
    const SelectBlock& q = s.select->blocks[0];
    PushScope(q.from);
    ScopeExit scope_exit{this};
    for (size_t i = 0; i < q.items.size() && i < scales.size(); ++i) {
      scales[i] = ScaleOf(*q.items[i].expr);
    }
  }
  if (columns.empty()) return finish("INSERT INTO " + table + " " + select);
  std::string source_cols, values;
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string c = "\"c" + std::to_string(i) + "\"";
    source_cols += (i ? ", " : "") + c;
    std::string v = IsTextDecl(types[i]) ? WithScale(c, scales[i]) : c;
    values += (i ? ", " : "") + StoreValue(v, types[i]);
  }
  return finish("WITH \"tsql_src\"(" + source_cols + ") AS (" + select + ") INSERT INTO " +
                table + column_list + " SELECT " + values + " FROM \"tsql_src\" WHERE true");
}

std::string Emitter::WithCtes(const std::vector<CommonTableExpr>& ctes, std::string sql) {
  return ctes.empty() ? sql : CteList(ctes, kDefaultMaxRecursion) + " " + sql;
}

EmittedSql Emitter::Update(const UpdateStmt& s, EmittedSql* variable_query) {
  output_check_.clear();
  output_names_.clear();
  TargetRef target = ResolveTarget(s.target, s.from);
  if (s.from.empty()) {
    PushScope(s.target, "");
  } else {
    PushScope(s.from);
    if (target.implicit) {
      scopes_.back().push_back(
          {s.target.back(), s.target.back(), TableColumns(s.target.back())});
    }
  }
  ScopeExit scope_exit{this};
  VisibleCtes visible(this, s.ctes);
  const std::string& target_name =
      s.from.empty() || target.implicit ? s.target.back() : target.ref->name.back();
  auto catalog = context_.columns ? context_.columns(target_name) : std::nullopt;
  // The table written and the row source read; they differ when the target is a view.
  std::string write_table = target.table;
  std::string read_table = target.table;
  std::string rid = target.instance + ".rowid";
  std::vector<std::string> written;  // column names in the written table, in SET order
  for (const Assignment& a : s.sets) {
    if (!a.column.empty()) written.push_back(a.column.back());
  }
  if (std::unique_ptr<ViewTarget> view = ViewOf(target_name)) {
    ViewWrite write = ViewBase(*view, written, false);
    output_check_ = ViewCheck(*view, write);
    if (s.output) MapViewOutput(*view, write);
    written = write.base_columns;
    write_table = TableName(write.base->name);
    std::string source = ViewRowSource(*view, write);
    if (target.implicit) {
      read_table = source + " AS " + QuoteName(s.target.back());
    } else {
      row_sources_[target.ref] = source;
    }
    rid = target.instance + ".\"tsql_rid\"";
    catalog = context_.columns ? context_.columns(write.base->name.back()) : std::nullopt;
  }
  auto source_text = [&] {
    if (s.from.empty()) return read_table;
    std::string text = target.implicit ? read_table : "";
    for (const TableRefPtr& t : s.from) {
      if (!text.empty()) text += ", ";
      text += TableRefText(*t);
    }
    return text;
  };
  std::string from_text = source_text();
  auto where_text = [&] { return s.where ? " WHERE " + Expression(*s.where) : std::string(); };
  auto limit_text = [&] { return s.top ? " LIMIT " + Expression(*s.top) : std::string(); };

  // Variables take their values from the rows before the update.
  std::string var_items;
  for (const Assignment& a : s.sets) {
    if (a.variable.empty()) continue;
    if (!var_items.empty()) var_items += ", ";
    var_items += Expression(*a.value);
  }
  if (!var_items.empty()) {
    std::string where = where_text();
    *variable_query = Finish(
        WithCtes(s.ctes, "SELECT " + var_items + " FROM " + from_text + where + limit_text()));
  } else {
    variable_query->sql.clear();
  }

  std::vector<std::pair<std::string, const Expr*>> column_sets;
  for (const Assignment& a : s.sets) {
    if (a.column.empty()) continue;
    if (a.op != "=") Unsupported(a.op);
    column_sets.emplace_back(written[column_sets.size()], a.value.get());
  }
  if (column_sets.empty()) return Finish("");
  kept_columns_.clear();
  kept_catalog_ = catalog ? &*catalog : nullptr;
  std::string returning = CheckedReturning(s.output.get(), "both");
  kept_catalog_ = nullptr;
  auto finish = [&](const std::string& sql) { return Finish(WithCtes(s.ctes, sql + returning)); };
  // OUTPUT deleted.x: the first SET keeps the row's old values for RETURNING.
  auto keep = [&](const std::string& value) {
    if (kept_columns_.empty()) return value;
    std::string out = "tsql_keep(" + value + ", " + write_table + ".rowid";
    for (const std::string& c : kept_columns_) out += ", " + write_table + "." + QuoteName(c);
    return out + ")";
  };
  // Parameters are numbered per statement, so the main statement emits its sources again.
  if (!s.from.empty()) from_text = source_text();
  auto store = [&](const std::string& column, const std::string& value, const Expr& source) {
    if (!catalog) return value;
    const CatalogColumn* c = FindColumn(*catalog, column);
    if (c == nullptr) {
      throw ComError(207, kEngineErrorSource, "Invalid column name '" + column + "'.");
    }
    std::string v = IsTextDecl(c->decl_type) ? WithScale(value, ScaleOf(source)) : value;
    return StoreValue(v, c->decl_type);
  };

  if (s.from.empty() && !s.top && write_table == read_table) {
    std::string sql = "UPDATE " + target.table + " SET ";
    for (size_t i = 0; i < column_sets.size(); ++i) {
      if (i) sql += ", ";
      std::string value = store(column_sets[i].first, Expression(*column_sets[i].second),
                                *column_sets[i].second);
      sql += QuoteName(column_sets[i].first) + " = " + (i ? value : keep(value));
    }
    return finish(sql + where_text());
  }
  std::string inner = "SELECT " + rid + " AS \"tsql_rid\"";
  for (size_t i = 0; i < column_sets.size(); ++i) {
    inner += ", " + Expression(*column_sets[i].second) + " AS \"tsql_v" + std::to_string(i) + "\"";
  }
  inner += " FROM " + from_text + where_text() + limit_text();
  std::string sql = "UPDATE " + write_table + " SET ";
  for (size_t i = 0; i < column_sets.size(); ++i) {
    if (i) sql += ", ";
    std::string value = store(column_sets[i].first,
                              "\"tsql_q\".\"tsql_v" + std::to_string(i) + "\"",
                              *column_sets[i].second);
    sql += QuoteName(column_sets[i].first) + " = " + (i ? value : keep(value));
  }
  sql += " FROM (" + inner + ") AS \"tsql_q\" WHERE " + write_table +
         ".rowid = \"tsql_q\".\"tsql_rid\"";
  return finish(sql);
}

EmittedSql Emitter::Delete(const DeleteStmt& s) {
  output_check_.clear();
  output_names_.clear();
  if (s.from.empty()) {
    PushScope(s.target, "");
  } else {
    PushScope(s.from);
  }
  ScopeExit scope_exit{this};
  VisibleCtes visible(this, s.ctes);
  std::string returning = s.output ? ReturningText(*s.output, "deleted") : "";
  auto finish = [&](const std::string& sql) {
    return Finish(WithCtes(s.ctes, sql + returning));
  };
  TargetRef target = ResolveTarget(s.target, s.from);
  std::string write_table = target.table;
  std::string rid = target.instance + ".rowid";
  std::unique_ptr<ViewTarget> view =
      ViewOf(s.from.empty() || target.implicit ? s.target.back() : target.ref->name.back());
  if (view) {
    ViewWrite write = ViewBase(*view, {}, true);
    write_table = TableName(write.base->name);
    std::string source = ViewRowSource(*view, write);
    if (target.implicit) {
      target.table = source + " AS " + QuoteName(s.target.back());
    } else {
      row_sources_[target.ref] = source;
    }
    rid = target.instance + ".\"tsql_rid\"";
  }
  std::string where = s.where ? " WHERE " + Expression(*s.where) : "";
  std::string limit = s.top ? " LIMIT " + Expression(*s.top) : "";
  if (s.from.empty() && !view) {
    if (!s.top) return finish("DELETE FROM " + write_table + where);
    return finish("DELETE FROM " + write_table + " WHERE rowid IN (SELECT rowid FROM " +
                  write_table + where + limit + ")");
  }
  std::string from_text = target.implicit ? target.table : "";
  for (const TableRefPtr& t : s.from) {
    if (!from_text.empty()) from_text += ", ";
    from_text += TableRefText(*t);
  }
  return finish("DELETE FROM " + write_table + " WHERE rowid IN (SELECT " + rid + " FROM " +
                from_text + where + limit + ")");
}

}  // namespace ambit::tsql
