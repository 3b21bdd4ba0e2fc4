// Rules SQL Server enforces before it runs a query and SQLite does not: grouping, aggregates in
// WHERE, ORDER BY in subqueries, unnamed derived-table columns, UNION widths. Without them a
// mistaken query would quietly return something instead of failing as the author expects.
#include <algorithm>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Raise(int number, const std::string& message) {
  throw ComError(number, kEngineErrorSource, message);
}

bool IsAggregateCall(const Expr& e) {
  if (e.kind != ExprKind::kFunction || e.has_over) return false;
  static constexpr std::string_view kAggregates[] = {"count", "count_big", "sum", "avg", "min",
                                                     "max", "string_agg"};
  return std::find(std::begin(kAggregates), std::end(kAggregates), e.text) !=
         std::end(kAggregates);
}

bool ContainsAggregate(const Expr& e) {
  if (IsAggregateCall(e)) return true;
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists) return false;
  for (const ExprPtr& a : e.args) {
    if (a && ContainsAggregate(*a)) return true;
  }
  return false;
}

bool SameColumn(const Expr& a, const Expr& b) {
  if (!EqualsNoCase(a.parts.back(), b.parts.back())) return false;
  if (a.parts.size() < 2 || b.parts.size() < 2) return true;
  return EqualsNoCase(a.parts[a.parts.size() - 2], b.parts[b.parts.size() - 2]);
}

bool SameExpr(const Expr& a, const Expr& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == ExprKind::kColumn) return SameColumn(a, b);
  if (a.kind == ExprKind::kSubquery || a.kind == ExprKind::kExists) return &a == &b;
  if (!EqualsNoCase(a.text, b.text) || a.args.size() != b.args.size() || a.parts != b.parts ||
      a.distinct != b.distinct ||
      a.negated != b.negated || a.type.text != b.type.text) {
    return false;
  }
  for (size_t i = 0; i < a.args.size(); ++i) {
    if (!a.args[i] != !b.args[i]) return false;
    if (a.args[i] && !SameExpr(*a.args[i], *b.args[i])) return false;
  }
  return true;
}

std::string ColumnText(const Expr& e) {
  std::string out;
  for (const std::string& p : e.parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

// The first column of e that is neither grouped nor inside an aggregate, or nullptr.
const Expr* UngroupedColumn(const Expr& e, const std::vector<ExprPtr>& group_by) {
  for (const ExprPtr& g : group_by) {
    if (SameExpr(e, *g)) return nullptr;
  }
  if (IsAggregateCall(e) || e.has_over) return nullptr;
  if (e.kind == ExprKind::kColumn) return &e;
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists) return nullptr;
  for (const ExprPtr& a : e.args) {
    if (!a) continue;
    if (const Expr* c = UngroupedColumn(*a, group_by)) return c;
  }
  return nullptr;
}

}  // namespace

bool Emitter::MayReturnManyRows(const Select& s) {
  if (s.blocks.size() != 1 || !s.ctes.empty()) return s.blocks.size() != 1;
  const SelectBlock& q = s.blocks[0];
  if (q.top || q.items.size() != 1 || q.from.empty()) return false;
  // An aggregate without GROUP BY gives exactly one row.
  return !(q.group_by.empty() && ContainsAggregate(*q.items[0].expr));
}

void Emitter::CheckSelectBlock(const SelectBlock& q) {
  if (q.where && ContainsAggregate(*q.where)) {
    Raise(147, "An aggregate may not appear in the WHERE clause unless it is in a subquery "
               "contained in a HAVING clause or a select list, and the column being aggregated "
               "is an outer reference.");
  }
  bool grouped = !q.group_by.empty();
  for (const SelectItem& item : q.items) grouped |= ContainsAggregate(*item.expr);
  if (!grouped) return;
  for (const SelectItem& item : q.items) {
    if (item.expr->kind == ExprKind::kStar) {
      Raise(8120, "Column '*' is invalid in the select list because it is not contained in "
                  "either an aggregate function or the GROUP BY clause.");
    }
    if (const Expr* c = UngroupedColumn(*item.expr, q.group_by)) {
      Raise(8120, "Column '" + ColumnText(*c) +
                      "' is invalid in the select list because it is not contained in either an "
                      "aggregate function or the GROUP BY clause.");
    }
  }
  if (q.having) {
    if (const Expr* c = UngroupedColumn(*q.having, q.group_by)) {
      Raise(8121, "Column '" + ColumnText(*c) +
                      "' is invalid in the HAVING clause because it is not contained in either "
                      "an aggregate function or the GROUP BY clause.");
    }
  }
}

void Emitter::CheckSelect(const Select& s) {
  bool star = false;
  for (const SelectBlock& q : s.blocks) {
    for (const SelectItem& item : q.items) star |= item.expr->kind == ExprKind::kStar;
  }
  if (!star) {
    for (const SelectBlock& q : s.blocks) {
      if (q.items.size() != s.blocks[0].items.size()) {
        Raise(205, "All queries combined using a UNION, INTERSECT or EXCEPT operator must have "
                   "an equal number of expressions in their target lists.");
      }
    }
  }
  if (s.blocks.size() == 1 && s.blocks[0].distinct && !star) {
    const SelectBlock& q = s.blocks[0];
    for (const OrderItem& o : s.order_by) {
      if (o.expr->kind == ExprKind::kNumber) continue;
      bool listed = false;
      for (const SelectItem& item : q.items) {
        listed |= SameExpr(*o.expr, *item.expr) ||
                  (o.expr->kind == ExprKind::kColumn && o.expr->parts.size() == 1 &&
                   EqualsNoCase(o.expr->parts[0], item.alias));
      }
      if (!listed) {
        Raise(145, "ORDER BY items must appear in the select list if SELECT DISTINCT is "
                   "specified.");
      }
    }
  }
}

void Emitter::CheckNested(const Select& s, const std::string& alias) {
  bool top = false;
  for (const SelectBlock& q : s.blocks) top |= q.top != nullptr;
  if (!s.order_by.empty() && !top && !s.for_xml_path) {
    Raise(1033, "The ORDER BY clause is invalid in views, inline functions, derived tables, "
                "subqueries, and common table expressions, unless TOP, OFFSET or FOR XML is also "
                "specified.");
  }
  if (alias.empty()) return;
  const SelectBlock& q = s.blocks[0];
  for (size_t i = 0; i < q.items.size(); ++i) {
    const SelectItem& item = q.items[i];
    if (item.alias.empty() && item.expr->kind != ExprKind::kColumn &&
        item.expr->kind != ExprKind::kStar) {
      Raise(8155, "No column name was specified for column " + std::to_string(i + 1) + " of '" +
                      alias + "'.");
    }
  }
}

}  // namespace ambit::tsql
