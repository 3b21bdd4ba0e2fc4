// OUTPUT of INSERT, UPDATE and DELETE as SQLite's RETURNING. RETURNING sees the target row
// after an insert or update and before a delete, so inserted.x and (for DELETE) deleted.x are
// the target's column x. The values an UPDATE overwrites are gone by then: deleted.x in an
// UPDATE is refused rather than answered with the new value.
#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Unbound(const Expr& column) {
  std::string name;
  for (const std::string& p : column.parts) name += (name.empty() ? "" : ".") + p;
  throw ComError(4104, kEngineErrorSource,
                 "The multi-part identifier \"" + name + "\" could not be bound.");
}

}  // namespace

void Emitter::MapOutputColumns(const Expr& e, const std::string& allowed) {
  if (e.kind == ExprKind::kColumn && e.parts.size() >= 2) {
    const std::string& qualifier = e.parts[e.parts.size() - 2];
    bool inserted = EqualsNoCase(qualifier, "inserted");
    bool deleted = EqualsNoCase(qualifier, "deleted");
    if (inserted || deleted) {
      if (allowed == "both" && deleted) {
        throw ComError(102, kEngineErrorSource, "Incorrect syntax near 'deleted'.");
      }
      if (allowed != "both" && !EqualsNoCase(qualifier, allowed)) Unbound(e);
      column_sql_[&e] = QuoteName(e.parts.back());
      return;
    }
  }
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists || e.select) return;
  for (const ExprPtr& a : e.args) {
    if (a) MapOutputColumns(*a, allowed);
  }
}

std::string Emitter::ReturningText(const OutputClause& output, const std::string& allowed) {
  std::string out = " RETURNING ";
  for (size_t i = 0; i < output.items.size(); ++i) {
    const SelectItem& item = output.items[i];
    if (i) out += ", ";
    if (item.expr->kind == ExprKind::kStar) {
      if (item.expr->parts.empty() || (!EqualsNoCase(item.expr->parts.back(), "inserted") &&
                                       !EqualsNoCase(item.expr->parts.back(), "deleted"))) {
        throw ComError(102, kEngineErrorSource, "Incorrect syntax near '*'.");
      }
      out += "*";
      continue;
    }
    MapOutputColumns(*item.expr, allowed);
    out += Expression(*item.expr);
    if (!item.alias.empty()) {
      out += " AS " + QuoteName(item.alias);
    } else if (item.expr->kind != ExprKind::kColumn) {
      out += " AS \"\"";
    }
  }
  return out;
}

}  // namespace ambit::tsql
