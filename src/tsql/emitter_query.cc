// Query forms SQLite has no word for, built from the ones it has.
#include <cstdlib>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

// The expression an ORDER BY key stands for: a select-list alias or position means its item.
const Expr& SortExpression(const QuerySpec& q, const Expr& key) {
  if (key.kind == ExprKind::kColumn && key.parts.size() == 1) {
    for (const SelectItem& item : q.items) {
      if (!item.alias.empty() && EqualsNoCase(item.alias, key.parts[0])) return *item.expr;
    }
  }
  if (key.kind == ExprKind::kNumber) {
    long position = std::strtol(key.text.c_str(), nullptr, 10);
    if (position >= 1 && position <= static_cast<long>(q.items.size())) {
      return *q.items[position - 1].expr;
    }
  }
  return key;
}

}  // namespace

// The rows tied with the n-th are those whose rank in the sort order is at most n; sorted, they
// are the first so many rows, so the count of them is the LIMIT.
std::string Emitter::TiesLimit(const QuerySpec& q, const std::vector<OrderItem>& order_by) {
  if (order_by.empty()) {
    throw ComError(1062, kEngineErrorSource,
                   "The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY "
                   "clause.");
  }
  if (q.distinct) {
    throw ComError(102, kEngineErrorSource, "Incorrect syntax near 'TIES'.");
  }
  std::string keys;
  for (size_t i = 0; i < order_by.size(); ++i) {
    keys += (i ? ", " : "") + Expression(SortExpression(q, *order_by[i].expr));
    if (order_by[i].descending) keys += " DESC";
  }
  std::string sources = SourceText(q, {});
  if (q.top) sources.resize(sources.rfind(" LIMIT "));
  return "(SELECT COUNT(*) FROM (SELECT RANK() OVER (ORDER BY " + keys + ") AS \"tsql_rank\"" +
         sources + ") WHERE \"tsql_rank\" <= " + Expression(*q.top) + ")";
}

}  // namespace ambit::tsql
