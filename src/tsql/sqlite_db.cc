#include "tsql/sqlite_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tsql/decl_type.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"
#include "tsql/sql_literals.h"

namespace ambit::tsql {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// With AMBIT_SQL_PLAN set, every newly prepared statement's plan goes to stderr, with the
// translated text: how to see whether a list reads an index in order or sorts the account.
void PrintPlan(sqlite3* db, const std::string& sql) {
  static const bool wanted = std::getenv("AMBIT_SQL_PLAN") != nullptr;
  if (!wanted) return;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &stmt, nullptr) !=
      SQLITE_OK)
    return;
  std::fprintf(stderr, "-- plan of: %s\n", sql.c_str());
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
    std::fprintf(stderr, "--   %d/%d %s\n", sqlite3_column_int(stmt, 0),
                 sqlite3_column_int(stmt, 1), detail ? detail : "");
  }
  sqlite3_finalize(stmt);
}

// With AMBIT_SQL_PROFILE set, every statement run goes to stderr with the time it took, in
// milliseconds, before its translated text: which statement of a call costs what.
int PrintProfile(unsigned, void*, void* stmt, void* nanoseconds) {
  char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(stmt));
  std::fprintf(stderr, "-- %.3f ms: %.300s\n",
               static_cast<double>(*static_cast<sqlite3_int64*>(nanoseconds)) / 1e6,
               sql ? sql : "");
  sqlite3_free(sql);
  return 0;
}

bool IsBlankTail(const char* tail) {
  if (!tail) return true;
  for (const char* p = tail; *p; ++p) {
    if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';') return false;
  }
  return true;
}

// How a column's stored values become cells, settled once per column (again when an expression
// column learns its type) instead of asking the field's type for every cell.
enum class CellRead : uint8_t { kAsStored, kBoolean, kDouble, kDecimal };

CellRead ReadOf(DataType type) {
  switch (type) {
    case DataType::kBoolean: return CellRead::kBoolean;
    case DataType::kDouble: return CellRead::kDouble;
    case DataType::kDecimal:
    case DataType::kNumeric:
    case DataType::kCurrency: return CellRead::kDecimal;
    default: return CellRead::kAsStored;
  }
}

const Variant kNullCell = Variant::Null();

// The cell is read through its sqlite3_value: one lookup, where each sqlite3_column_* call looks
// it up again and checks the statement (a page of 200 rows has 28,000 cells). The value is
// unprotected, which matters only to a connection shared between threads; ours is used by one
// at a time. Cells are made in their place at the end of the row.
void AppendCell(Recordset::Row& row, sqlite3_value* value, CellRead read, int scale) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      row.push_back(kNullCell);
      return;
    case SQLITE_INTEGER: {
      int64_t v = sqlite3_value_int64(value);
      if (read == CellRead::kBoolean) {
        row.emplace_back(v != 0);
      } else if (read != CellRead::kAsStored) {
        row.emplace_back(static_cast<double>(v));
      } else if (v >= INT32_MIN && v <= INT32_MAX) {
        row.emplace_back(static_cast<int32_t>(v));
      } else {
        row.emplace_back(v);
      }
      return;
    }
    case SQLITE_FLOAT: {
      double d = sqlite3_value_double(value);
      row.emplace_back(read == CellRead::kDecimal ? rt::RoundDecimal(d, scale) : d);
      return;
    }
    case SQLITE_BLOB: {
      // Binary reaches the client as SQL Server's tools write it: 0x and hexadecimal.
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
      row.emplace_back(
          rt::HexBytes(std::string_view(bytes ? bytes : "", sqlite3_value_bytes(value)), true));
      return;
    }
    default: {
      // The bytes as stored (the account is UTF-8): sqlite3_value_text would first copy a value
      // read from a page into memory of its own to end it with a NUL, a malloc per text cell.
      const auto* text = static_cast<const char*>(sqlite3_value_blob(value));
      // Given as a view, the string is made and moved into the cell once; a std::string given
      // here would be moved twice.
      row.emplace_back(std::string_view(text ? text : "", sqlite3_value_bytes(value)));
      return;
    }
  }
}

// Leaves a cached statement ready for its next use however its run ends: reset, so it holds
// no read lock, and without the last call's parameters.
class StatementReset {
 public:
  explicit StatementReset(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~StatementReset() {
    if (stmt_) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  StatementReset(const StatementReset&) = delete;
  StatementReset& operator=(const StatementReset&) = delete;

 private:
  sqlite3_stmt* stmt_;
};

DataType TypeOfValue(int sqlite_type, int64_t int_value) {
  switch (sqlite_type) {
    case SQLITE_INTEGER:
      return int_value >= INT32_MIN && int_value <= INT32_MAX ? DataType::kInteger
                                                              : DataType::kBigInt;
    case SQLITE_FLOAT:
      return DataType::kDouble;
    case SQLITE_BLOB:
      return DataType::kVarBinary;
    default:
      return DataType::kVarChar;
  }
}

}  // namespace

DeclTypeParts SplitDeclType(std::string_view decl_type) {
  DeclTypeParts out;
  std::string t = Lower(decl_type);
  std::erase(t, '[');
  std::erase(t, ']');
  size_t start = t.find_first_not_of(' ');
  if (start == std::string::npos) return out;
  size_t paren = t.find('(', start);
  size_t end = std::min(paren, t.find(' ', start));
  out.name = t.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (paren == std::string::npos) return out;
  std::string inner = t.substr(paren + 1, t.find(')', paren) - paren - 1);
  std::erase(inner, ' ');
  size_t comma = inner.find(',');
  std::string first = inner.substr(0, comma);
  int64_t n = 0;
  if (first == "max") {
    out.is_max = true;
  } else if (!first.empty() && rt::ParseIntegerText(first, &n)) {
    out.first = n;
  }
  if (comma != std::string::npos && rt::ParseIntegerText(inner.substr(comma + 1), &n)) {
    out.second = n;
  }
  return out;
}

FieldInfo FieldInfoFromDeclType(std::string_view decltype_text) {
  FieldInfo f;
  DeclTypeParts parts = SplitDeclType(decltype_text);
  const std::string& name = parts.name;
  const bool is_max = parts.is_max;
  const bool has_a1 = parts.first.has_value();
  const int64_t a1 = parts.first.value_or(0), a2 = parts.second.value_or(0);
  struct Simple {
    const char* name;
    DataType type;
    int32_t size;
  };
  static constexpr Simple kSimple[] = {
      {"int", DataType::kInteger, 4},
      {"integer", DataType::kInteger, 4},
      {"bigint", DataType::kBigInt, 8},
      {"smallint", DataType::kSmallInt, 2},
      {"tinyint", DataType::kTinyInt, 1},
      {"bit", DataType::kBoolean, 2},
      {"float", DataType::kDouble, 8},
      {"real", DataType::kDouble, 8},
      {"double", DataType::kDouble, 8},
      {"datetime", DataType::kDate, 8},
      {"smalldatetime", DataType::kDate, 8},
      {"datetime2", DataType::kDate, 8},
      {"date", DataType::kDate, 8},
      {"uniqueidentifier", DataType::kGuid, 16},
      {"text", DataType::kLongVarChar, 2147483647},
      {"ntext", DataType::kLongVarWChar, 1073741823},
  };
  for (const Simple& s : kSimple) {
    if (name == s.name) {
      f.type = s.type;
      f.defined_size = s.size;
      return f;
    }
  }
  if (name == "decimal" || name == "numeric" || name == "dec") {
    f.type = name == "numeric" ? DataType::kNumeric : DataType::kDecimal;
    f.precision = static_cast<uint8_t>(has_a1 ? a1 : 18);
    f.scale = static_cast<uint8_t>(a2);
    f.defined_size = 19;
    return f;
  }
  if (name == "money" || name == "smallmoney") {
    f.type = DataType::kCurrency;
    f.precision = name == "money" ? 19 : 10;
    f.scale = 4;
    f.defined_size = 8;
    return f;
  }
  struct Text {
    const char* name;
    DataType type, max_type;
  };
  static constexpr Text kText[] = {
      {"char", DataType::kChar, DataType::kChar},
      {"nchar", DataType::kWChar, DataType::kWChar},
      {"varchar", DataType::kVarChar, DataType::kLongVarChar},
      {"nvarchar", DataType::kVarWChar, DataType::kLongVarWChar},
  };
  for (const Text& s : kText) {
    if (name == s.name) {
      f.type = is_max ? s.max_type : s.type;
      f.defined_size = is_max ? 2147483647 : static_cast<int32_t>(has_a1 ? a1 : 1);
      return f;
    }
  }
  if (name == "varbinary" || name == "binary") {
    f.type = name == "binary" ? DataType::kBinary : DataType::kVarBinary;
    f.defined_size = is_max ? 2147483647 : static_cast<int32_t>(has_a1 ? a1 : 1);
    return f;
  }
  if (name == "sysname") {
    f.type = DataType::kVarWChar;
    f.defined_size = 128;
  }
  return f;
}

SqliteDb::SqliteDb(size_t cache_capacity) : cache_capacity_(cache_capacity ? cache_capacity : 1) {}

SqliteDb::~SqliteDb() { Close(); }

void SqliteDb::Open(const std::string& path) {
  Close();
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw ComError(err::kUnexpected, kErrorSource,
                   "Cannot open database '" + path + "': " + message);
  }
  db_ = db;
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // A join that SQLite serves through an automatic index first asks a Bloom filter, and
  // SQLite 3.40 (Debian's) hashes a text key there by its length: with the TSQL collation,
  // which ignores trailing blanks, a buyer 'Bad ' never met the blacklisted 'bad' it equals.
  // Without the filter the automatic index, which compares through the collation, still serves
  // the join.
  constexpr int kBloomFilter = 0x00080000, kBloomPulldown = 0x00100000;
  sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db_, kBloomFilter | kBloomPulldown);
  static const bool profile = std::getenv("AMBIT_SQL_PROFILE") != nullptr;
  if (profile) sqlite3_trace_v2(db_, SQLITE_TRACE_PROFILE, PrintProfile, nullptr);
  try {
    RegisterRuntime(db_);
    bool in_memory = path.empty() || path == ":memory:" || StartsWith(path, "file::memory:");
    // Readers must never wait for a writer: the order list runs while updates commit.
    // No memory map: mapped pages count in the resident size once for every pooled connection
    // that touched them (a burst of large lists showed 659 MB against 297 MB without), and
    // the account's one write connection keeps a large page cache of its own instead.
    if (!in_memory) ExecScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  } catch (...) {
    Close();
    throw;
  }
}

void SqliteDb::Close() {
  ClearCache();
  if (db_) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

void SqliteDb::ClearCache() {
  for (CacheEntry& e : lru_) sqlite3_finalize(e.stmt);
  cache_.clear();
  lru_.clear();
}

sqlite3_stmt* SqliteDb::Prepare(const std::string& sql) {
  if (!db_) throw ComError(err::kObjectClosed, kErrorSource, "The database is not open.");
  auto it = cache_.find(sql);
  if (it != cache_.end()) {
    ++cache_hits_;
    lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->stmt;
  }
  ++cache_misses_;
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size() + 1),
                              SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  if (rc != SQLITE_OK) ThrowError(rc, sql);
  if (!IsBlankTail(tail)) {
    sqlite3_finalize(stmt);
    throw ComError(
        err::kUnexpected, kErrorSource,
        "One statement expected; the text goes on with: " + std::string(tail).substr(0, 40));
  }
  if (stmt) PrintPlan(db_, sql);
  // Text of only blanks or comments caches as nullptr: a statement that does nothing.
  lru_.push_front(CacheEntry{sql, stmt});
  cache_.emplace(lru_.front().sql, lru_.begin());
  while (lru_.size() > cache_capacity_) {
    cache_.erase(lru_.back().sql);
    sqlite3_finalize(lru_.back().stmt);
    lru_.pop_back();
  }
  return stmt;
}

void SqliteDb::Bind(sqlite3_stmt* stmt, const std::vector<Variant>& params,
                    const std::string& sql) {
  int n = sqlite3_bind_parameter_count(stmt);
  for (int i = 0; i < n && i < static_cast<int>(params.size()); ++i) {
    const Variant& v = params[i];
    int rc = SQLITE_OK;
    switch (v.type()) {
      case VarType::kEmpty:
      case VarType::kNull:
        rc = sqlite3_bind_null(stmt, i + 1);
        break;
      case VarType::kBoolean:
        rc = sqlite3_bind_int(stmt, i + 1, v.bool_value() ? 1 : 0);
        break;
      case VarType::kInteger:
        rc = sqlite3_bind_int(stmt, i + 1, v.int_value());
        break;
      case VarType::kLong:
        rc = sqlite3_bind_int(stmt, i + 1, v.long_value());
        break;
      case VarType::kLongLong:
        rc = sqlite3_bind_int64(stmt, i + 1, v.longlong_value());
        break;
      case VarType::kDouble:
        rc = sqlite3_bind_double(stmt, i + 1, v.double_value());
        break;
      case VarType::kDate: {
        Variant text = ConvertValue(v, "datetime");
        rc = sqlite3_bind_text(stmt, i + 1, text.string_value().c_str(), -1, SQLITE_TRANSIENT);
        break;
      }
      case VarType::kString:
        rc = sqlite3_bind_text64(stmt, i + 1, v.string_value().data(), v.string_value().size(),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      case VarType::kObject:
        throw ComError(err::kTypeMismatch, kErrorSource,
                       "Parameter " + std::to_string(i + 1) + " is an object, not a value.");
    }
    if (rc != SQLITE_OK) ThrowError(rc, sql);
  }
}

sqlite3_stmt* SqliteDb::PrepareShared(const std::string& sql, const std::vector<Variant>& params,
                                      std::vector<Variant>* lifted_params) {
  LiftedSql lifted;
  if (LiftLiterals(sql, params.size(), &lifted)) {
    sqlite3_stmt* stmt = nullptr;
    try {
      stmt = Prepare(lifted.sql);
    } catch (const ComError&) {
      // A constant SQLite insists on seeing (a form the scanner does not know): the statement
      // as written then says whether it is valid.
      return Prepare(sql);
    }
    *lifted_params = params;
    lifted_params->resize(lifted.first, Variant::Null());
    for (Variant& v : lifted.values) lifted_params->push_back(std::move(v));
    return stmt;
  }
  return Prepare(sql);
}

RecordsetPtr SqliteDb::Query(const std::string& sql, const std::vector<Variant>& params,
                             const std::vector<std::string>* column_types) {
  std::vector<Variant> lifted;
  sqlite3_stmt* stmt = PrepareShared(sql, params, &lifted);
  StatementReset reset(stmt);
  if (!stmt) {
    auto rs = std::make_shared<Recordset>(std::vector<FieldInfo>{}, std::vector<Recordset::Row>{});
    rs->set_records_affected(0);
    return rs;
  }
  Bind(stmt, lifted.empty() ? params : lifted, sql);
  // The columns are read after the first step: a statement kept from before a schema change
  // (a #table made again with other columns) is compiled again there, and until then it
  // answers with the columns it had.
  int rc = sqlite3_step(stmt);
  const int columns = sqlite3_column_count(stmt);
  std::vector<FieldInfo> fields(columns);
  std::vector<bool> inferred(columns, false);
  for (int c = 0; c < columns; ++c) {
    const char* decl = sqlite3_column_decltype(stmt, c);
    if (decl) {
      fields[c] = FieldInfoFromDeclType(decl);
    } else if (column_types && c < static_cast<int>(column_types->size()) &&
               !(*column_types)[c].empty()) {
      fields[c] = FieldInfoFromDeclType((*column_types)[c]);
      inferred[c] = fields[c].type == DataType::kVariant;
    } else {
      inferred[c] = true;
    }
    const char* name = sqlite3_column_name(stmt, c);
    fields[c].name = name ? name : "";
  }
  std::vector<CellRead> reads(columns);
  int uninferred = 0;
  for (int c = 0; c < columns; ++c) {
    reads[c] = ReadOf(fields[c].type);
    uninferred += inferred[c];
  }
  std::vector<Recordset::Row> rows;
  for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
    // An expression column takes its type from the first value that is not NULL.
    for (int c = 0; uninferred && c < columns; ++c) {
      if (inferred[c] && sqlite3_column_type(stmt, c) != SQLITE_NULL) {
        fields[c].type = TypeOfValue(sqlite3_column_type(stmt, c), sqlite3_column_int64(stmt, c));
        reads[c] = ReadOf(fields[c].type);
        inferred[c] = false;
        --uninferred;
      }
    }
    Recordset::Row& row = rows.emplace_back();
    row.reserve(columns);
    for (int c = 0; c < columns; ++c)
      AppendCell(row, sqlite3_column_value(stmt, c), reads[c], fields[c].scale);
  }
  // The message is read before the statement is reset, which would clear it.
  if (rc != SQLITE_DONE) throw MakeError(rc, sqlite3_errmsg(db_), sql);
  auto rs = std::make_shared<Recordset>(std::move(fields), std::move(rows));
  rs->set_records_affected(columns == 0 ? changes() : -1);
  return rs;
}

int64_t SqliteDb::Exec(const std::string& sql, const std::vector<Variant>& params) {
  std::vector<Variant> lifted;
  sqlite3_stmt* stmt = PrepareShared(sql, params, &lifted);
  StatementReset reset(stmt);
  if (!stmt) return 0;
  Bind(stmt, lifted.empty() ? params : lifted, sql);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  // The message is read before the statement is reset, which would clear it.
  if (rc != SQLITE_DONE) throw MakeError(rc, sqlite3_errmsg(db_), sql);
  return changes();
}

void SqliteDb::ExecScript(const std::string& sql) {
  if (!db_) throw ComError(err::kObjectClosed, kErrorSource, "The database is not open.");
  char* error = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    throw MakeError(rc, message, sql);
  }
}

int64_t SqliteDb::last_insert_rowid() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }
int64_t SqliteDb::changes() const { return db_ ? sqlite3_changes64(db_) : 0; }
bool SqliteDb::in_transaction() const { return db_ && !sqlite3_get_autocommit(db_); }

void SqliteDb::ThrowError(int rc, std::string_view sql) const {
  throw MakeError(rc, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc), sql);
}

std::string SqliteDb::MapName(std::string_view name) const {
  for (std::string_view schema : {"main.", "temp."}) {
    if (StartsWith(name, schema)) name.remove_prefix(schema.size());
  }
  return name_mapper_ ? name_mapper_(name) : std::string(name);
}

}  // namespace ambit::tsql
