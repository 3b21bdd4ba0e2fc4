// SqliteDb: one SQLite connection with the engine's runtime registered, a bounded cache of
// prepared statements, and SQLite errors turned into SQL Server's numbers and messages.
//
// Results are materialised into Recordsets at once, so a statement is reset before Query
// returns and the same cached statement can run again for the next call.
#ifndef AMBIT_TSQL_SQLITE_DB_H_
#define AMBIT_TSQL_SQLITE_DB_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/com_error.h"
#include "base/variant.h"
#include "data/field.h"
#include "data/recordset.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ambit::tsql {

// The error of a statement stopped by SqliteDb::Interrupt (SQL Server's attention).
inline constexpr int32_t kQueryCancelled = 3617;

// Column type of a declared SQL type text ("decimal(18,2)", "nvarchar(50)", "datetime" ...):
// type, defined size, precision and scale. Unknown texts are kVariant.
FieldInfo FieldInfoFromDeclType(std::string_view decltype_text);

class SqliteDb {
 public:
  static constexpr size_t kDefaultCacheCapacity = 256;
  static constexpr int kBusyTimeoutMs = 10000;

  explicit SqliteDb(size_t cache_capacity = kDefaultCacheCapacity);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // Opens a database file (created when missing; WAL journal) or ":memory:", sets the busy
  // timeout and registers the runtime. Errors raise ComError.
  void Open(const std::string& path);
  void Close();
  bool is_open() const { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }

  // Runs one statement with ?1..?N bound to params and returns every row it produces. A
  // statement without result columns gives an open recordset without fields whose
  // records_affected() is changes(). column_types, when given, declares the type of result
  // columns that SQLite reports none for ("" leaves a column to be typed by its first value).
  RecordsetPtr Query(const std::string& sql, const std::vector<Variant>& params = {},
                     const std::vector<std::string>* column_types = nullptr);
  // Runs one statement, discarding rows; returns changes().
  int64_t Exec(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs several ';'-separated statements without parameters or caching (schema scripts).
  void ExecScript(const std::string& sql);

  int64_t last_insert_rowid() const;
  int64_t changes() const;
  bool in_transaction() const;

  // The engine gives some objects internal names (temporary tables); the mapper turns such a
  // name back into the one the T-SQL author wrote before it appears in an error message.
  void set_name_mapper(std::function<std::string(std::string_view)> mapper) {
    name_mapper_ = std::move(mapper);
  }

  // Statement cache figures, for tests and diagnostics.
  size_t cache_size() const { return cache_.size(); }
  int64_t cache_hits() const { return cache_hits_; }
  int64_t cache_misses() const { return cache_misses_; }
  void ClearCache();

  // The ComError for a failed SQLite call (rc and the connection's message), as SQL Server
  // would report it for the statement text sql.
  ComError MakeError(int rc, std::string_view message, std::string_view sql) const;
  [[noreturn]] void ThrowError(int rc, std::string_view sql) const;

 private:
  struct CacheEntry {
    std::string sql;
    sqlite3_stmt* stmt;
  };
  // A prepared statement for sql, from the cache or newly prepared; nullptr for text without
  // a statement (blanks, comments).
  sqlite3_stmt* Prepare(const std::string& sql);
  // Prepare for the statement with its literals lifted into parameters (sql_literals.h), so
  // that statements differing only in constants share one prepared statement. When literals
  // were lifted, *lifted_params is params followed by their values, to bind instead.
  sqlite3_stmt* PrepareShared(const std::string& sql, const std::vector<Variant>& params,
                              std::vector<Variant>* lifted_params);
  void Bind(sqlite3_stmt* stmt, const std::vector<Variant>& params, const std::string& sql);
  std::string MapName(std::string_view name) const;
  std::string DescribeUniqueViolation(std::string_view detail, std::string_view sql) const;

  sqlite3* db_ = nullptr;
  size_t cache_capacity_;
  std::list<CacheEntry> lru_;  // most recently used first
  std::unordered_map<std::string_view, std::list<CacheEntry>::iterator> cache_;
  int64_t cache_hits_ = 0;
  int64_t cache_misses_ = 0;
  std::function<std::string(std::string_view)> name_mapper_;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_SQLITE_DB_H_
