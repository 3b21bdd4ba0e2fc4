// SQLite's error texts turned into the numbers and messages SQL Server gives for the same
// mistake, so callers and tests that know SQL Server's errors keep working.
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "tsql/runtime.h"
#include "tsql/sqlite_db.h"

namespace ambit::tsql {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool Take(std::string_view* s, std::string_view prefix) {
  if (!StartsWith(*s, prefix)) return false;
  s->remove_prefix(prefix.size());
  return true;
}

std::string FirstWord(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(')) ++i;
  std::string out;
  while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++])));
  }
  return out;
}

// "T.c" -> {"T", "c"}; a name without a dot has an empty table.
std::pair<std::string, std::string> SplitColumn(std::string_view qualified) {
  size_t dot = qualified.rfind('.');
  if (dot == std::string_view::npos) return {"", std::string(qualified)};
  return {std::string(qualified.substr(0, dot)), std::string(qualified.substr(dot + 1))};
}

std::vector<std::string> Column(sqlite3* db, const std::string& sql, const std::string& arg,
                                int column) {
  std::vector<std::string> out;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return out;
  sqlite3_bind_text(stmt, 1, arg.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    out.emplace_back(text ? text : "");
  }
  sqlite3_finalize(stmt);
  return out;
}

}  // namespace

// SQLite names the columns of the violated key; the catalog says whether they are the primary
// key, a UNIQUE constraint or a unique index, which SQL Server reports differently.
std::string SqliteDb::DescribeUniqueViolation(std::string_view detail, std::string_view) const {
  std::string table;
  std::vector<std::string> columns;
  std::string_view rest = detail;
  if (Take(&rest, "index '")) {
    std::string index(rest.substr(0, rest.find('\'')));
    return "2601|Cannot insert duplicate key row in object with unique index '" + index + "'.";
  }
  while (!rest.empty()) {
    size_t comma = rest.find(", ");
    auto [t, c] = SplitColumn(rest.substr(0, comma));
    table = t;
    columns.push_back(c);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 2);
  }
  std::string shown = MapName(table);
  std::string object = "'dbo." + shown + "'";
  if (db_ && !table.empty()) {
    // pk column of table_info is the 1-based position in the key, 0 outside it.
    std::vector<std::string> names =
        Column(db_, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk", table, 0);
    if (!names.empty() && names.size() == columns.size()) {
      bool same = true;
      for (size_t i = 0; i < names.size(); ++i)
        same = same && CompareText(names[i], columns[i]) == 0;
      if (same) {
        return "2627|Violation of PRIMARY KEY constraint 'PK_" + shown +
               "'. Cannot insert duplicate key in object " + object + ".";
      }
    }
    std::vector<std::string> indexes = Column(
        db_, "SELECT name || '|' || origin FROM pragma_index_list(?1) WHERE \"unique\"", table, 0);
    for (const std::string& entry : indexes) {
      std::string index = entry.substr(0, entry.rfind('|'));
      std::string origin = entry.substr(entry.rfind('|') + 1);
      std::vector<std::string> cols =
          Column(db_, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno", index, 0);
      if (cols.size() != columns.size()) continue;
      bool same = true;
      for (size_t i = 0; i < cols.size(); ++i) same = same && CompareText(cols[i], columns[i]) == 0;
      if (!same) continue;
      if (origin == "c") {
        return "2601|Cannot insert duplicate key row in object " + object + " with unique index '" +
               index + "'.";
      }
      if (origin == "u") {
        return "2627|Violation of UNIQUE KEY constraint 'UQ_" + shown +
               "'. Cannot insert duplicate key in object " + object + ".";
      }
    }
  }
  return "2627|Violation of PRIMARY KEY constraint 'PK_" + shown +
         "'. Cannot insert duplicate key in object " + object + ".";
}

ComError SqliteDb::MakeError(int rc, std::string_view message, std::string_view sql) const {
  auto error = [](int32_t number, std::string text) {
    return ComError(number, kErrorSource, std::move(text));
  };
  int32_t number;
  std::string decoded;
  if (DecodeError(message, &number, &decoded)) return error(number, decoded);

  std::string verb = FirstWord(sql);
  std::string_view m = message;
  int primary = rc & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    return error(1222, "Lock request time out period exceeded.");
  }
  if (primary == SQLITE_INTERRUPT) return error(kQueryCancelled, "Query was cancelled by user.");
  if (m.starts_with("cannot modify sys.") || m.starts_with("cannot modify information_schema.")) {
    return error(259, "Ad hoc updates to system catalogs are not allowed.");
  }
  if (Take(&m, "no such table: ")) {
    std::string name = MapName(m);
    if (verb == "DROP") {
      return error(3701, "Cannot drop the table '" + name +
                             "', because it does not exist or you do not have permission.");
    }
    return error(208, "Invalid object name '" + name + "'.");
  }
  if (Take(&m, "no such view: ")) {
    return error(3701, "Cannot drop the view '" + MapName(m) +
                           "', because it does not exist or you do not have permission.");
  }
  if (StartsWith(m, "cannot modify ") && m.ends_with(" because it is a view")) {
    // Only views made before the engine kept their T-SQL definition reach SQLite's refusal.
    return error(4405, "View or function '" + MapName(m.substr(14, m.size() - 14 - 21)) +
                           "' is not updatable because the modification affects multiple base "
                           "tables.");
  }
  if (Take(&m, "no such index: ")) {
    return error(3701, "Cannot drop the index '" + MapName(m) +
                           "', because it does not exist or you do not have permission.");
  }
  if (Take(&m, "no such column: ")) {
    return error(207, "Invalid column name '" + SplitColumn(m).second + "'.");
  }
  if (Take(&m, "ambiguous column name: ")) {
    return error(209, "Ambiguous column name '" + SplitColumn(m).second + "'.");
  }
  if (Take(&m, "near \"")) {
    return error(102, "Incorrect syntax near '" + std::string(m.substr(0, m.rfind("\":"))) + "'.");
  }
  if (Take(&m, "unrecognized token: \"")) {
    return error(102, "Incorrect syntax near '" + std::string(m.substr(0, m.rfind('"'))) + "'.");
  }
  if (StartsWith(m, "parser stack overflow") ||
      StartsWith(m, "Expression tree is too large")) {
    return error(8631, "Internal error: Server stack limit has been reached. Please look for "
                       "potentially deep nesting in your query, and try to simplify it.");
  }
  if (StartsWith(m, "incomplete input")) {
    return error(102, "Incorrect syntax near the end of the statement.");
  }
  if (Take(&m, "NOT NULL constraint failed: ")) {
    auto [table, column] = SplitColumn(m);
    std::string action = verb == "UPDATE" ? "UPDATE" : "INSERT";
    return error(515, "Cannot insert the value NULL into column '" + column + "', table '" +
                          MapName(table) + "'; column does not allow nulls. " + action + " fails.");
  }
  if (Take(&m, "UNIQUE constraint failed: ")) {
    std::string described = DescribeUniqueViolation(m, sql);
    size_t bar = described.find('|');
    return error(std::stoi(described.substr(0, bar)), described.substr(bar + 1));
  }
  if (Take(&m, "CHECK constraint failed: ")) {
    return error(547, "The " + (verb.empty() ? std::string("INSERT") : verb) +
                          " statement conflicted with the CHECK constraint \"" + std::string(m) +
                          "\".");
  }
  if (StartsWith(m, "foreign key mismatch")) {
    return error(1776, "There are no primary or candidate keys in the referenced table that "
                       "match the referencing column list in the foreign key.");
  }
  if (StartsWith(m, "FOREIGN KEY constraint failed")) {
    return error(547, "The " + (verb.empty() ? std::string("INSERT") : verb) +
                          " statement conflicted with the FOREIGN KEY constraint.");
  }
  for (std::string_view kind : {"table ", "view "}) {
    std::string_view probe = m;
    if (Take(&probe, kind) && probe.size() > 15 &&
        probe.substr(probe.size() - 15) == " already exists") {
      std::string name(probe.substr(0, probe.size() - 15));
      // SQLite quotes the name it read quoted.
      if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        name = name.substr(1, name.size() - 2);
      }
      return error(2714,
                   "There is already an object named '" + MapName(name) + "' in the database.");
    }
  }
  if (Take(&m, "index ") && m.size() > 15 && m.substr(m.size() - 15) == " already exists") {
    return error(1913, "The operation failed because an index or statistics with name '" +
                           std::string(m.substr(0, m.size() - 15)) + "' already exists.");
  }
  if (Take(&m, "no such function: ")) {
    return error(195, "'" + std::string(m) + "' is not a recognized built-in function name.");
  }
  if (Take(&m, "wrong number of arguments to function ")) {
    std::string name(m.substr(0, m.find('(')));
    if (StartsWith(name, "tsql_")) name = name.substr(5);
    return error(174, "The " + name + " function requires a different number of arguments.");
  }
  if (m.find("do not have the same number of result columns") != std::string_view::npos) {
    return error(205,
                 "All queries combined using a UNION, INTERSECT or EXCEPT operator must "
                 "have an equal number of expressions in their target lists.");
  }
  if (m.find(" values were supplied") != std::string_view::npos) {
    return error(213, "Column name or number of supplied values does not match table definition.");
  }
  if (m.find(" values for ") != std::string_view::npos &&
      m.find(" columns") != std::string_view::npos) {
    int values = std::atoi(std::string(m).c_str());
    int cols = std::atoi(std::string(m.substr(m.find(" values for ") + 12)).c_str());
    std::string upper;
    for (char c : sql) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.find("VALUES") != std::string::npos) {
      if (values < cols) {
        return error(109,
                     "There are more columns in the INSERT statement than values specified "
                     "in the VALUES clause. The number of values in the VALUES clause must "
                     "match the number of columns specified in the INSERT statement.");
      }
      return error(110,
                   "There are fewer columns in the INSERT statement than values specified "
                   "in the VALUES clause. The number of values in the VALUES clause must "
                   "match the number of columns specified in the INSERT statement.");
    }
    if (values < cols) {
      return error(120,
                   "The select list for the INSERT statement contains fewer items than the "
                   "insert list. The number of SELECT values must match the number of "
                   "INSERT columns.");
    }
    return error(121,
                 "The select list for the INSERT statement contains more items than the "
                 "insert list. The number of SELECT values must match the number of "
                 "INSERT columns.");
  }
  if (StartsWith(m, "misuse of aggregate")) {
    return error(147,
                 "An aggregate may not appear in the WHERE clause unless it is in a subquery "
                 "contained in a HAVING clause or a select list, and the column being "
                 "aggregated is an outer reference.");
  }
  if (StartsWith(m, "aggregate functions are not allowed in the GROUP BY clause")) {
    return error(144,
                 "Cannot use an aggregate or a subquery in an expression used for the group "
                 "by list of a GROUP BY clause.");
  }
  if (StartsWith(m, "integer overflow")) {
    return error(8115, "Arithmetic overflow error converting expression to data type bigint.");
  }
  if (StartsWith(m, "cannot commit - no transaction is active")) {
    return error(3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  if (StartsWith(m, "cannot rollback - no transaction is active")) {
    return error(3903, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  return error(err::kUnexpected, std::string(message));
}

}  // namespace ambit::tsql
