// CREATE TABLE / INDEX / VIEW. Column types keep their T-SQL text (the recordsets and tsql_store
// read it back); text columns get the TSQL collation so that comparisons, grouping and keys
// ignore case and trailing blanks as SQL Server's default collation does.
#include <algorithm>

#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

std::string SchemaPrefix(const std::string& table) {
  return Emitter::IsTempName(table) ? "temp." : "";
}

}  // namespace

std::vector<std::string> Emitter::CreateTable(const CreateTableStmt& s) {
  const std::string name = SqliteTableName(s.table.back());
  std::vector<std::string> out;
  const ColumnDef* identity = nullptr;
  for (const ColumnDef& c : s.columns) {
    if (c.identity) {
      if (identity != nullptr) {
        throw ComError(2744, kEngineErrorSource,
                       "Multiple identity columns specified for table '" + name +
                           "'. Only one identity column per table is allowed.");
      }
      identity = &c;
    }
  }
  std::string sql = "CREATE TABLE " + SchemaPrefix(name) + QuoteName(name) + " (";
  std::vector<std::string> primary_key = s.primary_key;
  for (const ColumnDef& c : s.columns) {
    if (c.primary_key) primary_key = {c.name};
  }
  // SQLite numbers rows itself only through an INTEGER PRIMARY KEY, so the identity column
  // becomes the key and a different declared key is kept as a unique constraint.
  bool identity_is_key =
      identity != nullptr && (primary_key.empty() || (primary_key.size() == 1 &&
                                                       EqualsNoCase(primary_key[0], identity->name)));
  std::vector<std::vector<std::string>> unique_keys = s.unique_keys;
  if (identity != nullptr && !identity_is_key) unique_keys.push_back(primary_key);
  for (size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnDef& c = s.columns[i];
    if (i) sql += ", ";
    sql += QuoteName(c.name);
    if (c.computed) {
      sql += " AS (" + Expression(*c.computed) + ")";
      continue;
    }
    if (c.identity) {
      // The seed rides along in the stored definition for TRUNCATE TABLE to restart from.
      sql += " INTEGER PRIMARY KEY AUTOINCREMENT /*identity_seed=" +
             std::to_string(c.identity_seed) + "*/";
      continue;
    }
    // SQLite's type names take numbers only in parentheses: "varchar(max)" goes quoted, and
    // the catalog still reads it back as varchar(max).
    sql += " " + (c.type.length == 0 ? QuoteName(c.type.text) : c.type.text);
    if (IsTextTypeName(c.type.name)) sql += " COLLATE TSQL";
    // Key columns are NOT NULL in SQL Server; SQLite lets NULL into a key unless told.
    bool key_column = std::any_of(primary_key.begin(), primary_key.end(),
                                  [&](const std::string& k) { return EqualsNoCase(k, c.name); });
    if (c.not_null || key_column) sql += " NOT NULL";
    if (c.default_value) {
      sql += " DEFAULT (" + Expression(*c.default_value) + ")";
    }
    if (c.unique) sql += " UNIQUE";
  }
  if (!primary_key.empty() && identity == nullptr) {
    sql += ", PRIMARY KEY (";
    for (size_t i = 0; i < primary_key.size(); ++i) {
      sql += (i ? ", " : "") + QuoteName(primary_key[i]);
    }
    sql += ")";
  }
  for (const auto& key : unique_keys) {
    sql += ", UNIQUE (";
    for (size_t i = 0; i < key.size(); ++i) sql += (i ? ", " : "") + QuoteName(key[i]);
    sql += ")";
  }
  // SQL Server skips foreign keys of temporary tables (with a warning); so does this.
  if (!IsTempName(name)) sql += ForeignKeysText(s);
  sql += ")";
  if (!params_.empty()) {
    throw ComError(128, kEngineErrorSource,
                   "The name is not permitted in this context. Valid expressions are constants, "
                   "constant expressions, and (in some contexts) variables. Column names are "
                   "not permitted.");
  }
  out.push_back(sql);
  if (identity != nullptr && identity->identity_seed != 1) {
    // Named with its schema: once a temporary table has an identity, an unqualified
    // sqlite_sequence would be the temp schema's.
    out.push_back("INSERT INTO " + std::string(IsTempName(name) ? "temp." : "main.") +
                  "sqlite_sequence (name, seq) VALUES (" +
                  QuoteString(name) + ", " + std::to_string(identity->identity_seed - 1) + ")");
  }
  return out;
}

std::string Emitter::CreateIndex(const CreateIndexStmt& s) {
  const std::string& table = s.table.back();
  // SQL Server scopes index names to their table; SQLite to the schema.
  std::string sql = std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " +
                    SchemaPrefix(table) + QuoteName(table + "$" + s.name) + " ON " +
                    QuoteName(table) + " (";
  for (size_t i = 0; i < s.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += Expression(*s.columns[i].expr);
    if (s.columns[i].descending) sql += " DESC";
  }
  return sql + ")";
}

std::string Emitter::CreateView(const CreateViewStmt& s) {
  std::string sql = "CREATE VIEW " + QuoteName(s.name.back());
  if (!s.columns.empty()) {
    sql += " (";
    for (size_t i = 0; i < s.columns.size(); ++i) sql += (i ? ", " : "") + QuoteName(s.columns[i]);
    sql += ")";
  }
  sql += " AS " + SelectText(*s.select);
  if (!params_.empty()) {
    throw ComError(4145, kEngineErrorSource, "Views cannot refer to variables.");
  }
  return sql;
}

std::string TypeTextForStore(const std::string& decl_type) {
  std::string t = ToLowerAscii(decl_type);
  if (t == "integer") return "int";
  return decl_type;
}

}  // namespace ambit::tsql
