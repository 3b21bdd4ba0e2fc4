// OUTPUT of INSERT, UPDATE and DELETE as SQLite's RETURNING. RETURNING sees the target row
// after an insert or update and before a delete, so inserted.x and (for DELETE) deleted.x are
// the target's column x. The values an UPDATE overwrites are gone by then: deleted.x in an
// UPDATE reads them from tsql_kept by the row's rowid, which the first SET expression fills
// through tsql_keep with the row's old values (runtime_rows.cc).
#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

const char kCheckFailed[] =
    "The attempted insert or update failed because the target view either specifies WITH "
    "CHECK OPTION or spans a view that specifies WITH CHECK OPTION and one or more rows "
    "resulting from the operation did not qualify under the CHECK OPTION constraint.";

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
      std::string name = e.parts.back();
      if (auto base = output_names_.find(ToLowerAscii(name)); base != output_names_.end()) {
        name = base->second;
      }
      if (allowed == "both" && deleted) {
        column_sql_[&e] = KeptColumn(name);
        return;
      }
      if (allowed != "both" && !EqualsNoCase(qualifier, allowed)) Unbound(e);
      column_sql_[&e] = QuoteName(name);
      return;
    }
  }
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists || e.select) return;
  for (const ExprPtr& a : e.args) {
    if (a) MapOutputColumns(*a, allowed);
  }
}

std::string Emitter::KeptColumn(const std::string& name) {
  if (kept_catalog_ && FindColumn(*kept_catalog_, name) == nullptr) {
    throw ComError(207, kEngineErrorSource, "Invalid column name '" + name + "'.");
  }
  size_t index = 0;
  while (index < kept_columns_.size() && !EqualsNoCase(kept_columns_[index], name)) ++index;
  if (index == kept_columns_.size()) kept_columns_.push_back(name);
  return "tsql_kept(" + std::to_string(index) + ", rowid)";
}

std::string Emitter::CheckedReturning(const OutputClause* output, const std::string& allowed) {
  if (output != nullptr) return ReturningText(*output, allowed);
  if (output_check_.empty()) return "";
  return " RETURNING CASE WHEN " + output_check_ + " THEN 1 ELSE tsql_raise(550, " +
         QuoteString(kCheckFailed) + ") END";
}

std::string Emitter::ReturningText(const OutputClause& output, const std::string& allowed) {
  std::string out = " RETURNING ";
  for (size_t i = 0; i < output.items.size(); ++i) {
    const SelectItem& item = output.items[i];
    if (i) out += ", ";
    if (item.expr->kind == ExprKind::kStar) {
      if (i == 0 && !output_check_.empty()) {
        throw ComError(102, kEngineErrorSource, "Incorrect syntax near '*'.");
      }
      if (item.expr->parts.empty() || (!EqualsNoCase(item.expr->parts.back(), "inserted") &&
                                       !EqualsNoCase(item.expr->parts.back(), "deleted"))) {
        throw ComError(102, kEngineErrorSource, "Incorrect syntax near '*'.");
      }
      if (allowed == "both" && EqualsNoCase(item.expr->parts.back(), "deleted")) {
        if (!kept_catalog_) Unbound(*item.expr);
        for (size_t c = 0; c < kept_catalog_->size(); ++c) {
          const std::string& name = (*kept_catalog_)[c].name;
          out += (c ? ", " : "") + KeptColumn(name) + " AS " + QuoteName(name);
        }
        continue;
      }
      out += "*";
      continue;
    }
    MapOutputColumns(*item.expr, allowed);
    if (i == 0 && !output_check_.empty()) {
      // A write through a checking view fails on its first row outside the view.
      out += "CASE WHEN " + output_check_ + " THEN " + Expression(*item.expr) +
             " ELSE tsql_raise(550, " + QuoteString(kCheckFailed) + ") END";
    } else {
      out += Expression(*item.expr);
    }
    // A column keeps its name even where its value comes from elsewhere (deleted.x of an
    // UPDATE reads the kept old row).
    if (!item.alias.empty()) {
      out += " AS " + QuoteName(item.alias);
    } else if (item.expr->kind == ExprKind::kColumn) {
      out += " AS " + QuoteName(item.expr->parts.back());
    } else {
      out += " AS \"\"";
    }
  }
  return out;
}

}  // namespace ambit::tsql
