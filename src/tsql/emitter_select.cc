// Queries: query blocks, set operators, TOP, table sources and FOR XML PATH.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

// Sized literals: appending a bare C string measures it again at every call.
using namespace std::string_view_literals;
namespace {

[[noreturn]] void Unsupported(const std::string& near) {
  throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + near + "'.");
}

// SQL Server binds a bare ORDER BY name to the select list before the tables, so ORDER BY
// FBatchNo after SELECT t9.FBatchNo means t9's column even when another joined table has a
// FBatchNo. SQLite binds only AS aliases that way and calls the name ambiguous; an unaliased
// column of the list is therefore sorted by as the list names it.
const Expr& OrderKeyTarget(const SelectBlock& q, const Expr& key) {
  if (key.kind != ExprKind::kColumn || key.parts.size() != 1) return key;
  const Expr* listed = nullptr;
  for (const SelectItem& item : q.items) {
    if (!item.variable.empty()) continue;
    if (!item.alias.empty()) {
      if (EqualsNoCase(item.alias, key.parts[0])) return key;  // SQLite binds aliases itself
      continue;
    }
    if (item.expr->kind != ExprKind::kColumn || item.expr->parts.size() < 2 ||
        !EqualsNoCase(item.expr->parts.back(), key.parts[0]))
      continue;
    if (listed) return key;  // listed twice: as ambiguous as on SQL Server
    listed = item.expr.get();
  }
  return listed ? *listed : key;
}

}  // namespace

std::string Emitter::SelectBlockText(const SelectBlock& q, bool with_top) {
  CheckSelectBlock(q);
  PushScope(q.from);
  std::string out = q.distinct ? "SELECT DISTINCT " : "SELECT ";
  for (size_t i = 0; i < q.items.size(); ++i) {
    const SelectItem& item = q.items[i];
    if (i) out += ", "sv;
    auto slot = item.variable.empty() ? slot_of_.end() : slot_of_.find(item.variable);
    if (slot != slot_of_.end()) {
      out += "tsql_setvar(" + std::to_string(slot->second) + ", " + Expression(*item.expr) + ")";
      continue;
    }
    auto cast = text_casts_.find(&item);
    if (cast != text_casts_.end()) {
      out += "tsql_cast(" + Expression(*item.expr) + ", '" + cast->second + "')";
    } else {
      AppendExpression(*item.expr, &out);
    }
    // Literal columns take part in DISTINCT and UNION like text columns do.
    if (item.expr->kind == ExprKind::kString && cast == text_casts_.end()) out += " COLLATE TSQL"sv;
    if (!item.alias.empty()) {
      out += " AS "sv;
      AppendQuoted(item.alias, '"', &out);
    } else if (item.expr->kind == ExprKind::kColumn && packed_sources_ > 0 &&
               PackedColumn(*item.expr)) {
      out += " AS " + QuoteName(item.expr->parts.back());
    } else if (item.expr->kind != ExprKind::kColumn && item.expr->kind != ExprKind::kStar) {
      // SQL Server leaves expressions unnamed; SQLite would name them after their text.
      out += " AS \"\"";
    }
  }
  if (!q.from.empty()) {
    out += " FROM "sv;
    for (size_t i = 0; i < q.from.size(); ++i) {
      if (i) out += ", "sv;
      out += TableRefText(*q.from[i]);
    }
  }
  if (q.where) {
    out += " WHERE "sv;
    AppendExpression(*q.where, &out);
  }
  if (!q.group_by.empty()) {
    out += " GROUP BY "sv;
    for (size_t i = 0; i < q.group_by.size(); ++i) {
      if (i) out += ", "sv;
      out += Expression(*q.group_by[i]);
    }
  }
  if (q.having) out += " HAVING " + Expression(*q.having);
  if (with_top && q.top) {
    if (q.top_percent) Unsupported("percent");
    if (q.top_with_ties) TiesLimit(q, {});
    out += " LIMIT " + Expression(*q.top);
  }
  PopScope();
  return out;
}

std::string Emitter::SelectText(const Select& s, bool skip_into) {
  if (!skip_into) {
    for (const SelectBlock& q : s.blocks) {
      if (!q.into.empty()) Unsupported("into");
    }
  }
  if (s.for_xml_path) return ForXmlText(s);
  if (!s.ctes.empty()) {
    std::string with = CteList(s.ctes, s.max_recursion);
    VisibleCtes visible(this, s.ctes);
    return with + " " + SelectWithoutCtes(s);
  }
  return SelectWithoutCtes(s);
}

std::string Emitter::CteList(const std::vector<CommonTableExpr>& ctes, int max_recursion) {
  std::string with = "WITH ";
  for (size_t i = 0; i < ctes.size(); ++i) {
    const CommonTableExpr& cte = ctes[i];
    if (i) with += ", "sv;
    if (std::string recursive = RecursiveCteText(cte, max_recursion); !recursive.empty()) {
      with += recursive;
      continue;
    }
    with += QuoteName(cte.name);
    if (!cte.columns.empty()) {
      with += " ("sv;
      for (size_t c = 0; c < cte.columns.size(); ++c) with += (c ? ", " : "") + QuoteName(cte.columns[c]);
      with += ")"sv;
    }
    CheckNested(*cte.select, "");
    with += " AS (" + SelectText(*cte.select) + ")";
  }
  return with;
}

std::string Emitter::SelectWithoutCtes(const Select& s) {
  CheckSelect(s);
  // ORDER BY of a single query sees its tables (ORDER BY t1.FDate).
  if (s.blocks.size() == 1) PushScope(s.blocks[0].from);
  ScopeExit order_scope{this};
  if (s.blocks.size() != 1) scopes_.emplace_back();
  std::string order;
  if (!s.order_by.empty() && s.blocks.size() == 1) CheckOrderAliases(s.blocks[0], s.order_by);
  if (!s.order_by.empty()) {
    order = " ORDER BY ";
    bool has_star = false;
    for (const SelectItem& item : s.blocks[0].items) {
      has_star |= item.expr->kind == ExprKind::kStar;
    }
    for (size_t i = 0; i < s.order_by.size(); ++i) {
      if (i) order += ", "sv;
      const Expr& key = *s.order_by[i].expr;
      if (key.kind == ExprKind::kNumber && !has_star) {
        long position = std::strtol(key.text.c_str(), nullptr, 10);
        if (position < 1 || position > static_cast<long>(s.blocks[0].items.size())) {
          throw ComError(108, kEngineErrorSource,
                         "The ORDER BY position number " + key.text +
                             " is out of range of the number of items in the select list.");
        }
      }
      order += Expression(s.blocks.size() == 1 ? OrderKeyTarget(s.blocks[0], key) : key);
      if (s.order_by[i].descending) order += " DESC"sv;
    }
  }
  if (s.blocks.size() == 1) {
    const SelectBlock& q = s.blocks[0];
    std::string out = SelectBlockText(q, false) + order;
    if (q.top) {
      if (q.top_percent) Unsupported("percent");
      out += " LIMIT " + (q.top_with_ties ? TiesLimit(q, s.order_by) : Expression(*q.top));
    }
    return out;
  }
  // A column of a UNION takes the type of highest precedence among its queries: a number
  // beats text, so the text values of that column become numbers.
  std::map<size_t, std::string> casts;
  size_t width = s.blocks[0].items.size();
  for (size_t c = 0; c < width; ++c) {
    bool text = false, number = false, integral = true;
    for (const SelectBlock& q : s.blocks) {
      if (c >= q.items.size()) continue;
      PushScope(q.from);
      ScopeExit scope_exit{this};
      const Expr& item = *q.items[c].expr;
      StaticType t = TypeOf(item);
      text |= t == StaticType::kText;
      if (t == StaticType::kNumeric) {
        number = true;
        integral &= ScaleOf(item) <= 0 &&
                    !(item.kind == ExprKind::kNumber &&
                      item.text.find_first_of(".eE") != std::string::npos);
      }
    }
    if (text && number) casts[c] = integral ? "int" : "float";
  }
  std::string out;
  for (size_t i = 0; i < s.blocks.size(); ++i) {
    if (!casts.empty()) {
      PushScope(s.blocks[i].from);
      ScopeExit scope_exit{this};
      for (const auto& [c, type] : casts) {
        if (c < s.blocks[i].items.size() && TypeOf(*s.blocks[i].items[c].expr) == StaticType::kText) {
          text_casts_[&s.blocks[i].items[c]] = type;
        }
      }
    }
    if (i) {
      std::string op = s.operators[i - 1];
      for (char& c : op) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out += " " + op + " ";
    }
    const SelectBlock& q = s.blocks[i];
    if (q.top) {
      out += "SELECT * FROM (" + SelectBlockText(q, true) + ")";
    } else {
      out += SelectBlockText(q, false);
    }
  }
  return out + order;
}

std::string Emitter::TableRefText(const TableRef& t) {
  switch (t.kind) {
    case TableRef::Kind::kTable: {
      if (!cte_renames_.empty() && t.name.size() == 1) {
        auto renamed = cte_renames_.find(ToLowerAscii(t.name[0]));
        if (renamed != cte_renames_.end()) {
          return renamed->second + " AS " + QuoteName(t.alias.empty() ? t.name[0] : t.alias);
        }
      }
      if (auto source = row_sources_.empty() ? row_sources_.end() : row_sources_.find(&t);
          source != row_sources_.end()) {
        return source->second + " AS " + QuoteName(t.alias.empty() ? t.name.back() : t.alias);
      }
      std::string out = TableName(t.name);
      if (!t.alias.empty()) out += " AS " + QuoteName(t.alias);
      return out;
    }
    case TableRef::Kind::kDerived: {
      // Named columns need no names inside.
      CheckNested(*t.derived, t.columns.empty() ? t.alias : "");
      std::string inner =
          t.derived->for_xml_path ? ForXmlText(*t.derived) : SelectText(*t.derived);
      if (!t.columns.empty()) {
        const auto& items = t.derived->blocks[0].items;
        bool star = std::any_of(items.begin(), items.end(), [](const SelectItem& i) {
          return i.expr->kind == ExprKind::kStar;
        });
        if (!star && items.size() != t.columns.size()) {
          throw ComError(items.size() > t.columns.size() ? 8158 : 8159, kEngineErrorSource,
                         "'" + t.alias + "' has " +
                             (items.size() > t.columns.size() ? "more" : "fewer") +
                             " columns than were specified in the column list.");
        }
        // AS t(a, b): SQLite names a subquery's columns only through a common table expression.
        std::string names;
        for (const std::string& c : t.columns) names += (names.empty() ? "" : ", ") + QuoteName(c);
        inner = "WITH \"tsql_cols\"(" + names + ") AS (" + inner + ") SELECT * FROM \"tsql_cols\"";
      }
      return "(" + inner + ") AS " + QuoteName(t.alias);
    }
    case TableRef::Kind::kValues:
      return ValuesText(t);
    case TableRef::Kind::kPivot:
      return PivotText(t);
    case TableRef::Kind::kSplit:
      return SplitText(t);
    case TableRef::Kind::kJoin: {
      if (t.join_type.ends_with("apply")) return TableRefText(*t.left) + ApplyText(t);
      std::string type;
      if (t.join_type == "inner") type = " JOIN ";
      if (t.join_type == "left") type = " LEFT JOIN ";
      if (t.join_type == "right") type = " RIGHT JOIN ";
      if (t.join_type == "full") type = " FULL JOIN ";
      if (t.join_type == "cross") type = " CROSS JOIN ";
      std::string right = TableRefText(*t.right);
      if (t.right->kind == TableRef::Kind::kJoin) right = "(" + right + ")";
      std::string out = TableRefText(*t.left) + type + right;
      if (t.on) out += " ON " + Expression(*t.on);
      return out;
    }
  }
  return "";
}

std::string Emitter::SourceText(const SelectBlock& q, const std::vector<OrderItem>& order_by) {
  std::string rest;
  if (!q.from.empty()) {
    rest += " FROM "sv;
    for (size_t i = 0; i < q.from.size(); ++i) {
      if (i) rest += ", "sv;
      rest += TableRefText(*q.from[i]);
    }
  }
  if (q.where) rest += " WHERE " + Expression(*q.where);
  if (!q.group_by.empty()) {
    rest += " GROUP BY "sv;
    for (size_t i = 0; i < q.group_by.size(); ++i) {
      if (i) rest += ", "sv;
      rest += Expression(*q.group_by[i]);
    }
  }
  if (q.having) rest += " HAVING " + Expression(*q.having);
  if (!order_by.empty()) {
    rest += " ORDER BY "sv;
    for (size_t i = 0; i < order_by.size(); ++i) {
      if (i) rest += ", "sv;
      rest += Expression(*order_by[i].expr);
      if (order_by[i].descending) rest += " DESC"sv;
    }
  }
  if (q.top) rest += " LIMIT " + Expression(*q.top);
  return rest;
}

namespace {

void CollectColumns(const Expr& e, std::vector<const Expr*>* out) {
  if (e.kind == ExprKind::kColumn) out->push_back(&e);
  if (e.kind == ExprKind::kSubquery || e.kind == ExprKind::kExists || e.select) return;
  for (const ExprPtr& a : e.args) {
    if (a) CollectColumns(*a, out);
  }
}

}  // namespace

std::string Emitter::AccumulatingSelect(const Select& s) {
  // SQLite computes result columns before it sorts, so the rows are first materialised in
  // order, and the assignments then run over them one by one.
  if (s.blocks.size() != 1) Unsupported("union");
  const SelectBlock& q = s.blocks[0];
  PushScope(q.from);
  ScopeExit scope_exit{this};
  std::vector<const Expr*> columns;
  for (const SelectItem& item : q.items) CollectColumns(*item.expr, &columns);
  std::string inner = q.distinct ? "SELECT DISTINCT " : "SELECT ";
  for (size_t k = 0; k < columns.size(); ++k) {
    if (k) inner += ", "sv;
    inner += Expression(*columns[k]) + " AS \"tsql_c" + std::to_string(k) + "\"";
  }
  if (columns.empty()) inner += "1"sv;
  inner += SourceText(q, s.order_by);
  for (size_t k = 0; k < columns.size(); ++k) {
    column_sql_[columns[k]] = "\"tsql_c" + std::to_string(k) + "\"";
  }
  std::string outer;
  for (const SelectItem& item : q.items) {
    auto slot = slot_of_.find(item.variable);
    if (slot == slot_of_.end()) Unsupported(item.variable);
    if (!outer.empty()) outer += ", "sv;
    outer += "tsql_setvar(" + std::to_string(slot->second) + ", " + Expression(*item.expr) + ")";
  }
  column_sql_.clear();
  return "WITH \"tsql_rows\" AS MATERIALIZED (" + inner + ") SELECT " + outer +
         " FROM \"tsql_rows\"";
}

std::string Emitter::ForXmlText(const Select& s) {
  // FOR XML PATH('') is string aggregation: each row's columns as text (named columns wrapped
  // in their element), rows concatenated in order, NULL when there is no row.
  if (s.blocks.size() != 1) Unsupported("xml");
  const SelectBlock& q = s.blocks[0];
  PushScope(q.from);
  ScopeExit scope_exit{this};
  std::string inner = "SELECT ";
  std::string row;
  for (size_t i = 0; i < q.items.size(); ++i) {
    const SelectItem& item = q.items[i];
    if (item.expr->kind == ExprKind::kStar) Unsupported("*");
    std::string col = "\"c" + std::to_string(i) + "\"";
    if (i) inner += ", "sv;
    inner += Expression(*item.expr) + " AS " + col;
    std::string text = "tsql_xml_escape(tsql_cast(" + col + ", 'nvarchar(max)'))";
    std::string piece;
    if (item.alias.empty()) {
      piece = "ifnull(" + text + ", '')";
    } else {
      piece = "ifnull('<' || " + QuoteString(item.alias) + " || '>' || " + text + " || '</' || " +
              QuoteString(item.alias) + " || '>', '')";
    }
    row += (row.empty() ? "" : " || ") + piece;
  }
  if (!s.xml_element.empty()) {
    row = "'<" + s.xml_element + ">' || " + row + " || '</" + s.xml_element + ">'";
  }
  std::string rest = SourceText(q, s.order_by);
  std::string distinct = q.distinct ? "DISTINCT " : "";
  return "SELECT tsql_string_agg(" + row + ", '') FROM (" + inner.replace(0, 7, "SELECT " + distinct) +
         rest + ")";
}

}  // namespace ambit::tsql
