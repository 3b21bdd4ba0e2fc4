// Identity values seen from outside an INSERT: IDENT_CURRENT, SET IDENTITY_INSERT and the
// identity column a SELECT ... INTO carries over to its new table.
#include <algorithm>
#include <cstdlib>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"
#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

constexpr std::string_view kSeedMark = "/*identity_seed=";

[[noreturn]] void Raise(int number, std::string message) {
  throw ComError(number, kErrorSource, std::move(message));
}

const CatalogColumn* IdentityColumn(const std::optional<std::vector<CatalogColumn>>& columns) {
  if (!columns) return nullptr;
  for (const CatalogColumn& c : *columns) {
    if (c.identity) return &c;
  }
  return nullptr;
}

}  // namespace

void Interpreter::SetIdentityInsert(const SetOptionStmt& s) {
  const std::string& table = s.table.back();
  auto columns = session_->Columns(table);
  if (!columns) {
    Raise(1088, "Cannot find the object \"" + table +
                    "\" because it does not exist or you do not have permissions.");
  }
  if (IdentityColumn(columns) == nullptr) {
    Raise(8106, "Table '" + table +
                    "' does not have the identity property. Cannot perform SET operation.");
  }
  std::string name = ToLowerAscii(Emitter::SqliteTableName(table));
  std::string& current = session_->identity_insert;
  if (s.value == "off") {
    if (current == name) current.clear();
    return;
  }
  if (!current.empty() && current != name) {
    Raise(8107, "IDENTITY_INSERT is already ON for table '" + session_->database_name() +
                    ".dbo." + current + "'. Cannot perform SET operation for table '" + table +
                    "'.");
  }
  current = name;
}

void Interpreter::CheckIdentityInsert(const InsertStmt& s) {
  std::string table = BaseTable(s.table, {});
  auto columns = session_->Columns(table);
  const CatalogColumn* identity = IdentityColumn(columns);
  if (identity == nullptr) return;
  bool on = session_->identity_insert == ToLowerAscii(Emitter::SqliteTableName(table));
  bool given = std::any_of(s.columns.begin(), s.columns.end(), [&](const std::string& c) {
    return EqualsNoCase(c, identity->name);
  });
  const std::string& name = s.table.back();
  if (given && !on) {
    Raise(544, "Cannot insert explicit value for identity column in table '" + name +
                   "' when IDENTITY_INSERT is set to OFF.");
  }
  if (on && s.columns.empty() && !s.default_values) {
    Raise(8101, "An explicit value for the identity column in table '" + name +
                    "' can only be specified when a column list is used and IDENTITY_INSERT "
                    "is ON.");
  }
  if (on && !given) {
    Raise(545, "Explicit value must be specified for identity column in table '" + name +
                   "' either when IDENTITY_INSERT is set to ON or when a replication user is "
                   "inserting into a NOT FOR REPLICATION identity column.");
  }
}

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
