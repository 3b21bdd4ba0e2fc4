// Foreign keys of CREATE TABLE. SQLite checks them (the session switches the check on) when the
// referenced columns are the other table's primary key or a unique key, as SQL Server requires.
#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

std::string Emitter::ForeignKeysText(const CreateTableStmt& s) {
  std::string out;
  const std::string& table = s.table.back();
  for (const ForeignKey& fk : s.foreign_keys) {
    std::string name = fk.name.empty() ? "FK_" + table + "_" + fk.ref_table.back() : fk.name;
    const std::string& parent = fk.ref_table.back();
    bool self = EqualsNoCase(parent, table);
    auto parent_columns = self || !context_.columns ? std::nullopt : context_.columns(parent);
    if (!self && (!parent_columns || IsTempName(parent))) {
      throw ComError(1767, kEngineErrorSource,
                     "Foreign key '" + name + "' references invalid table '" + parent + "'.");
    }
    if (!fk.ref_columns.empty() && fk.ref_columns.size() != fk.columns.size()) {
      throw ComError(8139, kEngineErrorSource,
                     "Number of referencing columns in foreign key differs from number of "
                     "referenced columns, table '" + table + "'.");
    }
    for (const std::string& c : fk.ref_columns) {
      if (parent_columns && FindColumn(*parent_columns, c) == nullptr) {
        throw ComError(1770, kEngineErrorSource,
                       "Foreign key '" + name + "' references invalid column '" + c +
                           "' in referenced table '" + parent + "'.");
      }
    }
    out += ", CONSTRAINT " + QuoteName(name) + " FOREIGN KEY (";
    for (size_t i = 0; i < fk.columns.size(); ++i) out += (i ? ", " : "") + QuoteName(fk.columns[i]);
    out += ") REFERENCES " + QuoteName(parent);
    if (!fk.ref_columns.empty()) {
      out += " (";
      for (size_t i = 0; i < fk.ref_columns.size(); ++i) {
        out += (i ? ", " : "") + QuoteName(fk.ref_columns[i]);
      }
      out += ")";
    }
    if (!fk.on_delete.empty()) out += " ON DELETE " + fk.on_delete;
    if (!fk.on_update.empty()) out += " ON UPDATE " + fk.on_update;
  }
  return out;
}

}  // namespace ambit::tsql
