// Writes through a view. SQL Server lets INSERT, UPDATE and DELETE name a view whose columns
// trace back to one base table; the write goes to that table. The statement still reads the
// view as written (its filter, its column names, its joins), so the view becomes a row source
// that carries the base row's rowid beside its own columns:
//   (WITH "tsql_view"("tsql_rid", a, b) AS (SELECT base.rowid, <view items> FROM ...) SELECT ...)
// and UPDATE/DELETE key the base table on that rowid, as they do for T-SQL's FROM forms.
#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Refuse(int32_t number, const std::string& text) {
  throw ComError(number, kEngineErrorSource, text);
}

void CollectTables(const TableRef& t, std::vector<const TableRef*>* tables, bool* derived) {
  switch (t.kind) {
    case TableRef::Kind::kTable:
      tables->push_back(&t);
      break;
    case TableRef::Kind::kDerived:
    case TableRef::Kind::kValues:
    case TableRef::Kind::kPivot:
    case TableRef::Kind::kSplit:
      *derived = true;
      break;
    case TableRef::Kind::kJoin:
      CollectTables(*t.left, tables, derived);
      CollectTables(*t.right, tables, derived);
      break;
  }
}

std::string InstanceName(const TableRef& t) { return t.alias.empty() ? t.name.back() : t.alias; }

bool IsAggregateCall(const Expr& e) {
  if (e.kind == ExprKind::kFunction && !e.has_over) {
    static constexpr std::string_view kAggregates[] = {"count", "sum", "avg", "min", "max",
                                                       "count_big", "stdev", "var", "string_agg"};
    for (std::string_view a : kAggregates) {
      if (e.text == a) return true;
    }
  }
  for (const ExprPtr& arg : e.args) {
    if (arg && IsAggregateCall(*arg)) return true;
  }
  return false;
}

}  // namespace

const CommonTableExpr* Emitter::VisibleCte(const std::string& name) const {
  for (auto cte = visible_ctes_.rbegin(); cte != visible_ctes_.rend(); ++cte) {
    if (EqualsNoCase((*cte)->name, name)) return *cte;
  }
  return nullptr;
}

std::unique_ptr<Emitter::ViewTarget> Emitter::ViewOf(const std::string& name) {
  // A common table expression written to is a view for that statement, by SQL Server's rules.
  std::shared_ptr<const CreateViewStmt> view;
  std::optional<std::vector<CatalogColumn>> cte_columns;
  if (const CommonTableExpr* cte = VisibleCte(name)) {
    auto as_view = std::make_shared<CreateViewStmt>();
    as_view->name = {cte->name};
    as_view->columns = cte->columns;
    as_view->select = cte->select;
    view = std::move(as_view);
    TableRef ref;
    ref.kind = TableRef::Kind::kTable;
    ref.name = {cte->name};
    cte_columns = SourceColumns(ref);
  } else {
    if (!context_.view || IsTempName(name) || (!name.empty() && name[0] == '@')) return nullptr;
    view = context_.view(name);
  }
  if (!view) return nullptr;
  auto out = std::make_unique<ViewTarget>();
  out->name = view->name.back();
  out->view = view;
  const Select& s = *view->select;
  if (s.blocks.size() != 1) {
    bool all = true;
    for (const std::string& op : s.operators) all &= op == "union all";
    if (all) {
      Refuse(4436, "UNION ALL view '" + out->name +
                       "' is not updatable because a partitioning column was not found.");
    }
  }
  const SelectBlock& q = s.blocks[0];
  bool aggregate = false;
  for (const SelectItem& item : q.items) aggregate |= IsAggregateCall(*item.expr);
  if (s.blocks.size() != 1 || q.distinct || !q.group_by.empty() || q.having || aggregate) {
    Refuse(4403, "Cannot update the view or function '" + out->name +
                     "' because it contains aggregates, or a DISTINCT or GROUP BY clause, or "
                     "PIVOT or UNPIVOT operator.");
  }
  std::vector<const TableRef*> tables;
  bool derived = false;
  for (const TableRefPtr& t : q.from) CollectTables(*t, &tables, &derived);
  for (const SelectItem& item : q.items) {
    if (item.expr->kind != ExprKind::kStar) {
      out->items.push_back(item.expr.get());
      continue;
    }
    // The columns a * stood for when the view was made are the view's columns now.
    const std::string* qualifier = item.expr->parts.empty() ? nullptr : &item.expr->parts.back();
    for (const TableRef* t : tables) {
      if (qualifier != nullptr && !EqualsNoCase(*qualifier, InstanceName(*t))) continue;
      auto columns = context_.columns ? context_.columns(t->name.back()) : std::nullopt;
      if (!columns) continue;
      for (const CatalogColumn& c : *columns) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::kColumn;
        e->parts = {InstanceName(*t), c.name};
        out->items.push_back(e.get());
        out->expanded.push_back(std::move(e));
      }
    }
  }
  auto columns = cte_columns ? cte_columns
                 : context_.columns ? context_.columns(out->name)
                                    : std::nullopt;
  if (!columns || columns->size() != out->items.size()) {
    Refuse(4405, "View or function '" + out->name +
                     "' is not updatable because the modification affects multiple base tables.");
  }
  for (const CatalogColumn& c : *columns) out->columns.push_back(c.name);
  return out;
}

Emitter::ViewWrite Emitter::ViewBase(const ViewTarget& v, const std::vector<std::string>& columns,
                                     bool deleting) {
  const SelectBlock& q = v.view->select->blocks[0];
  std::vector<const TableRef*> tables;
  bool derived = false;
  for (const TableRefPtr& t : q.from) CollectTables(*t, &tables, &derived);
  auto multiple = [&] {
    Refuse(4405, "View or function '" + v.name +
                     "' is not updatable because the modification affects multiple base tables.");
  };
  ViewWrite out;
  if (deleting) {
    if (tables.size() != 1 || derived) multiple();
    out.base = tables[0];
  }
  for (const std::string& column : columns) {
    size_t i = 0;
    while (i < v.columns.size() && !EqualsNoCase(v.columns[i], column)) ++i;
    if (i == v.columns.size()) {
      Refuse(207, "Invalid column name '" + column + "'.");
    }
    const Expr& item = *v.items[i];
    if (item.kind != ExprKind::kColumn) {
      Refuse(4406, "Update or insert of view or function '" + v.name +
                       "' failed because it contains a derived or constant field.");
    }
    // The table the column comes from: by its qualifier, or the one table that has it.
    const TableRef* owner = nullptr;
    for (const TableRef* t : tables) {
      if (item.parts.size() >= 2) {
        const std::string& qualifier = item.parts[item.parts.size() - 2];
        if (EqualsNoCase(qualifier, InstanceName(*t))) owner = t;
        continue;
      }
      auto cols = context_.columns ? context_.columns(t->name.back()) : std::nullopt;
      if (cols && FindColumn(*cols, item.parts.back()) != nullptr) {
        if (owner != nullptr) multiple();
        owner = t;
      }
    }
    if (owner == nullptr || (out.base != nullptr && out.base != owner)) multiple();
    out.base = owner;
    out.base_columns.push_back(item.parts.back());
  }
  if (out.base == nullptr) multiple();
  out.direct = out.base;
  // A base that is itself a view passes the write on to its own base.
  if (std::unique_ptr<ViewTarget> inner = ViewOf(out.base->name.back())) {
    if (++view_depth_ > 32) {
      Refuse(217, "Maximum stored procedure, function, trigger, or view nesting level exceeded "
                  "(limit 32).");
    }
    auto inner_write = std::make_shared<ViewWrite>(ViewBase(*inner, out.base_columns, deleting));
    --view_depth_;
    out.base = inner_write->base;
    out.base_columns = inner_write->base_columns;
    out.inner_view = std::move(inner);
    out.inner = std::move(inner_write);
  }
  return out;
}

std::string Emitter::ViewRowSource(const ViewTarget& v, const ViewWrite& write) {
  std::string names = "\"tsql_rid\"";
  for (const std::string& c : v.columns) names += ", " + QuoteName(c);
  std::string rid = QuoteName(InstanceName(*write.direct)) + ".rowid";
  if (write.inner) {
    row_sources_[write.direct] = ViewRowSource(*write.inner_view, *write.inner);
    rid = QuoteName(InstanceName(*write.direct)) + ".\"tsql_rid\"";
  }
  std::string body = SelectBlockText(v.view->select->blocks[0], true);
  // SelectBlockText starts every query with "SELECT " (an updatable view has no DISTINCT).
  body.insert(7, rid + ", ");
  return "(WITH \"tsql_view\"(" + names + ") AS (" + body + ") SELECT * FROM \"tsql_view\")";
}

namespace {

void CollectFilterColumns(const Expr& e, std::vector<const Expr*>* out) {
  if (e.kind == ExprKind::kColumn) out->push_back(&e);
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists || e.select) return;
  for (const ExprPtr& a : e.args) {
    if (a) CollectFilterColumns(*a, out);
  }
}

}  // namespace

std::string Emitter::BaseColumnOf(const ViewTarget& v, const ViewWrite& write,
                                  const Expr& column) {
  if (column.parts.size() >= 2 &&
      !EqualsNoCase(column.parts[column.parts.size() - 2], InstanceName(*write.direct))) {
    Refuse(4405, "View or function '" + v.name +
                     "' is not updatable because the modification affects multiple base tables.");
  }
  const std::string& name = column.parts.back();
  if (!write.inner) return name;
  const ViewTarget& inner = *write.inner_view;
  for (size_t i = 0; i < inner.columns.size(); ++i) {
    if (!EqualsNoCase(inner.columns[i], name)) continue;
    if (inner.items[i]->kind != ExprKind::kColumn) {
      Refuse(4406, "Update or insert of view or function '" + inner.name +
                       "' failed because it contains a derived or constant field.");
    }
    return BaseColumnOf(inner, *write.inner, *inner.items[i]);
  }
  Refuse(207, "Invalid column name '" + name + "'.");
}

void Emitter::MapViewOutput(const ViewTarget& v, const ViewWrite& write) {
  for (size_t i = 0; i < v.columns.size(); ++i) {
    const Expr& item = *v.items[i];
    if (item.kind != ExprKind::kColumn) continue;
    if (item.parts.size() >= 2 &&
        !EqualsNoCase(item.parts[item.parts.size() - 2], InstanceName(*write.direct))) {
      continue;
    }
    try {
      output_names_[ToLowerAscii(v.columns[i])] = BaseColumnOf(v, write, item);
    } catch (const ComError&) {
      // A column computed further down: OUTPUT of it stays unbound, the write goes on.
    }
  }
}

std::string Emitter::ViewCheck(const ViewTarget& v, const ViewWrite& write, bool checking) {
  // A view's check covers the filters of the views below it too; a checking view below a
  // plain one still checks its own.
  checking = checking || v.view->check_option;
  std::string below = write.inner ? ViewCheck(*write.inner_view, *write.inner, checking) : "";
  const SelectBlock& q = v.view->select->blocks[0];
  if (!checking || !q.where) return below;
  std::vector<const Expr*> columns;
  CollectFilterColumns(*q.where, &columns);
  for (const Expr* c : columns) column_sql_[c] = QuoteName(BaseColumnOf(v, write, *c));
  PushScope(write.direct->name, InstanceName(*write.direct));
  ScopeExit scope_exit{this};
  std::string own = "(" + Expression(*q.where) + ")";
  for (const Expr* c : columns) column_sql_.erase(c);
  return below.empty() ? own : own + " AND " + below;
}

}  // namespace ambit::tsql
