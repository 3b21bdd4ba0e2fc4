// Query forms SQLite has no word for, built from the ones it has.
#include <cstdlib>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

// Sized literals: appending a bare C string measures it again at every call.
using namespace std::string_view_literals;
namespace {

// The expression an ORDER BY key stands for: a select-list alias or position means its item.
const Expr& SortExpression(const SelectBlock& q, const Expr& key) {
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

const TableRef* FindTable(const TableRef& t, const std::string& name) {
  if (t.kind == TableRef::Kind::kTable && t.name.size() == 1 && EqualsNoCase(t.name[0], name)) {
    return &t;
  }
  if (t.kind != TableRef::Kind::kJoin) return nullptr;
  const TableRef* left = FindTable(*t.left, name);
  return left != nullptr ? left : FindTable(*t.right, name);
}

const TableRef* SelfReference(const SelectBlock& q, const std::string& name) {
  for (const TableRefPtr& t : q.from) {
    if (const TableRef* found = FindTable(*t, name)) return found;
  }
  return nullptr;
}

void CollectNames(const Expr& e, std::vector<const Expr*>* out) {
  if (e.kind == ExprKind::kColumn && e.parts.size() == 1) out->push_back(&e);
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists || e.select) return;
  for (const ExprPtr& a : e.args) {
    if (a) CollectNames(*a, out);
  }
}

}  // namespace

bool Emitter::MayBeColumn(const std::string& name) const {
  for (const auto& scope : scopes_) {
    for (const ScopeTable& t : scope) {
      if (!t.columns) return true;  // a derived table: its columns are not known here
      for (const CatalogColumn& c : *t.columns) {
        if (EqualsNoCase(c.name, name)) return true;
      }
    }
  }
  return false;
}

void Emitter::CheckOrderAliases(const SelectBlock& q,
                                const std::vector<OrderItem>& order_by) const {
  for (const OrderItem& key : order_by) {
    if (key.expr->kind == ExprKind::kColumn) continue;  // a whole key may be an alias
    std::vector<const Expr*> names;
    CollectNames(*key.expr, &names);
    for (const Expr* name : names) {
      for (const SelectItem& item : q.items) {
        if (item.alias.empty() || !EqualsNoCase(item.alias, name->parts[0])) continue;
        if (MayBeColumn(name->parts[0])) continue;
        throw ComError(207, kEngineErrorSource, "Invalid column name '" + name->parts[0] + "'.");
      }
    }
  }
}

// SQLite recurses without a limit. The levels are counted in a leading column of a working
// expression that the T-SQL name then reads without it:
//   "tsql_rec_r"("tsql_level", n) AS (SELECT 0, 1 UNION ALL
//       SELECT tsql_recursion(r."tsql_level" + 1, 100), n + 1 FROM "tsql_rec_r" AS r ...),
//   r(n) AS (SELECT n FROM "tsql_rec_r")
std::string Emitter::RecursiveCteText(const CommonTableExpr& cte, const int max_recursion) {
  const Select& s = *cte.select;
  bool recursive = false;
  for (const SelectBlock& q : s.blocks) {
    recursive |= SelfReference(q, cte.name) != nullptr;
    for (const SelectItem& item : q.items) {
      if (item.expr->kind == ExprKind::kStar) return "";
    }
  }
  if (!recursive) return "";
  std::vector<std::string> columns = cte.columns;
  if (columns.empty()) {
    const SelectBlock& anchor = s.blocks[0];
    for (size_t i = 0; i < anchor.items.size(); ++i) {
      const SelectItem& item = anchor.items[i];
      if (!item.alias.empty()) {
        columns.push_back(item.alias);
      } else if (item.expr->kind == ExprKind::kColumn) {
        columns.push_back(item.expr->parts.back());
      } else {
        throw ComError(8155, kEngineErrorSource,
                       "No column name was specified for column " + std::to_string(i + 1) +
                           " of '" + cte.name + "'.");
      }
    }
  }
  std::string work = QuoteName("tsql_rec_" + cte.name);
  std::string names;
  for (const std::string& c : columns) names += ", " + QuoteName(c);
  std::string key = ToLowerAscii(cte.name);
  cte_renames_[key] = work;
  std::string body;
  for (size_t i = 0; i < s.blocks.size(); ++i) {
    if (i) {
      std::string op = s.operators[i - 1];
      for (char& c : op) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      body += " " + op + " ";
    }
    const SelectBlock& q = s.blocks[i];
    std::string block = SelectBlockText(q, true);
    std::string level = "0";
    if (const TableRef* self = SelfReference(q, cte.name)) {
      level = "tsql_recursion(" + QuoteName(self->alias.empty() ? cte.name : self->alias) +
              ".\"tsql_level\" + 1, " + std::to_string(max_recursion) + ")";
    }
    size_t head = block.starts_with("SELECT DISTINCT ") ? 16 : 7;
    block.insert(head, level + ", ");
    body += block;
  }
  cte_renames_.erase(key);
  return work + "(\"tsql_level\"" + names + ") AS (" + body + "), " + QuoteName(cte.name) +
         "(" + names.substr(2) + ") AS (SELECT " + names.substr(2) + " FROM " + work + ")";
}

// The rows tied with the n-th are those whose rank in the sort order is at most n; sorted, they
// are the first so many rows, so the count of them is the LIMIT.
std::string Emitter::TiesRank(const SelectBlock& q, const std::vector<OrderItem>& order_by) {
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
    if (order_by[i].descending) keys += " DESC"sv;
  }
  return "RANK() OVER (ORDER BY " + keys + ")";
}

std::string Emitter::TiesLimit(const SelectBlock& q, const std::vector<OrderItem>& order_by) {
  std::string rank = TiesRank(q, order_by);
  std::string sources = SourceText(q, {});
  if (q.top) sources.resize(sources.rfind(" LIMIT "));
  return "(SELECT COUNT(*) FROM (SELECT " + rank + " AS \"tsql_rank\"" + sources +
         ") WHERE \"tsql_rank\" <= " + Expression(*q.top) + ")";
}

}  // namespace ambit::tsql
