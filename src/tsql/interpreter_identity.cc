// Identity values seen from outside an INSERT: IDENT_CURRENT and the identity column a
// SELECT ... INTO carries over to its new table.
#include <algorithm>
#include <cstdlib>

#include "base/conversions.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

constexpr std::string_view kSeedMark = "/*identity_seed=";

}  // namespace

Variant Interpreter::IdentCurrent(const std::string& table_text) {
  std::string name = table_text.substr(table_text.find_last_of('.') + 1);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  std::string table = Emitter::SqliteTableName(name);
  std::string schema = Emitter::IsTempName(table) ? "temp" : "main";
  SqliteDb& db = session_->db();
  RecordsetPtr def = db.Query("SELECT sql FROM " + schema +
                                  ".sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
                              {Variant(table)});
  if (def->rows().empty()) return Variant::Null();
  std::string sql = CStr(def->rows()[0][0]);
  size_t at = sql.find(kSeedMark);
  if (at == std::string::npos) return Variant::Null();
  int64_t seed = std::atoll(sql.c_str() + at + kSeedMark.size());
  // The sequence table exists once any identity table of the schema was made.
  RecordsetPtr seq = db.Query("SELECT seq FROM " + schema +
                                  ".sqlite_sequence WHERE name = ?1 COLLATE NOCASE",
                              {Variant(table)});
  int64_t current = seq->rows().empty() ? seed : std::max<int64_t>(seed, CLng(seq->rows()[0][0]));
  return Variant(current);
}

std::string Interpreter::CarriedIdentity(const SelectBlock& q) {
  // SQL Server keeps the property only for a bare identity column read from one table, listed
  // once, without grouping.
  if (q.from.size() != 1 || q.from[0]->kind != TableRef::Kind::kTable || !q.group_by.empty()) {
    return "";
  }
  auto columns = session_->Columns(q.from[0]->name.back());
  if (!columns) return "";
  std::string identity;
  for (const CatalogColumn& c : *columns) {
    if (c.identity) identity = c.name;
  }
  if (identity.empty()) return "";
  int listed = 0;
  std::string as;
  for (const SelectItem& item : q.items) {
    const Expr& e = *item.expr;
    if (e.kind == ExprKind::kStar) {
      ++listed;
      as = identity;
    } else if (e.kind == ExprKind::kColumn && EqualsNoCase(e.parts.back(), identity)) {
      ++listed;
      as = item.alias.empty() ? e.parts.back() : item.alias;
    }
  }
  return listed == 1 ? as : "";
}

}  // namespace ambit::tsql
