#include "tsql/delete_skip.h"

// The pre-update hook is declared only for builds that have it; Debian's libsqlite3 does, and
// Attach checks at run time before relying on it.
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>

#include "base/conversions.h"
#include "tsql/lexer.h"
#include "tsql/sqlite_db.h"

namespace ambit::tsql {
namespace {

bool TurnedOff() {
  const char* off = std::getenv("AMBIT_NO_DELETE_SKIP");
  return off != nullptr && *off != '\0' && std::strcmp(off, "0") != 0;
}

// Functions whose result depends on their arguments alone. Anything else (GETDATE, NEWID,
// RAND, @@ values, session settings, variables) keeps a statement from being remembered.
bool Pure(const char* name) {
  static constexpr const char* kPure[] = {
      "abs",     "coalesce", "ifnull", "nullif",    "iif",      "length",     "lower",
      "upper",   "trim",     "ltrim",  "rtrim",     "substr",   "substring",  "instr",
      "replace", "like",     "glob",   "tsql_like", "tsql_len", "tsql_ltrim", "count",
      "max",     "min",      "sum",    "total"};
  if (name == nullptr) return false;
  for (const char* p : kPure) {
    if (EqualsNoCase(name, p)) return true;
  }
  return false;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool InMainBaseTable(const char* database, const char* table, const char* inner) {
  // inner names the view or trigger the access comes from. A table read for its rows alone
  // (EXISTS, COUNT(*)) comes without a database: it could be a temporary one, so it is out.
  return inner == nullptr && database != nullptr && std::strcmp(database, "main") == 0 &&
         table != nullptr && !StartsWithNoCase(table, "sqlite_");
}

}  // namespace

DeleteSkip::~DeleteSkip() {
  if (db_ == nullptr || !db_->is_open()) return;
  sqlite3* db = db_->handle();
  sqlite3_preupdate_hook(db, nullptr, nullptr);
  sqlite3_rollback_hook(db, nullptr, nullptr);
  sqlite3_set_authorizer(db, nullptr, nullptr);
}

void DeleteSkip::Attach(SqliteDb* db) {
  if (TurnedOff() || !sqlite3_compileoption_used("ENABLE_PREUPDATE_HOOK")) return;
  db_ = db;
  entries_.clear();
  sqlite3* handle = db->handle();
  sqlite3_preupdate_hook(handle, &DeleteSkip::OnChange, this);
  sqlite3_rollback_hook(handle, &DeleteSkip::OnRollback, this);
  // Answers "allowed" to everything; it only listens while Remember prepares a statement.
  sqlite3_set_authorizer(handle, &DeleteSkip::Authorize, this);
}

size_t DeleteSkip::NoCaseHash::operator()(std::string_view name) const {
  size_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    hash *= 1099511628211ull;
  }
  return hash;
}

bool DeleteSkip::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
  return EqualsNoCase(a, b);
}

DeleteSkip::Table* DeleteSkip::Find(std::string_view name) {
  // Row changes come in runs on one table.
  if (last_table_ != nullptr && last_name_ == name) return last_table_;
  auto it = tables_.find(name);
  if (it == tables_.end()) it = tables_.emplace(std::string(name), Table{}).first;
  last_name_.assign(name);
  last_table_ = &it->second;
  return last_table_;
}

uint64_t* DeleteSkip::Column(Table* table, std::string_view name) {
  auto it = table->columns.find(name);
  if (it == table->columns.end()) it = table->columns.emplace(std::string(name), 0).first;
  return &it->second;
}

void DeleteSkip::OnChange(void* self, sqlite3* db, int op, const char* database,
                          const char* table, long long key1, long long key2) {
  // Temporary tables are never read by a remembered statement.
  if (std::strcmp(database, "main") != 0) return;
  auto* skip = static_cast<DeleteSkip*>(self);
  Table* t = skip->Find(table);
  if (op != SQLITE_UPDATE || key1 != key2) {
    ++t->rows;
    if (op != SQLITE_UPDATE) return;
  }
  ++t->any_update;
  const Writing* w = skip->writing_;
  // Depth 0 is the statement itself; triggers and foreign-key actions run deeper.
  if (w != nullptr && w->table_ == t && sqlite3_preupdate_depth(db) == 0) {
    for (uint64_t* column : w->columns_) ++*column;
  } else {
    ++t->unattributed;
  }
}

void DeleteSkip::OnRollback(void* self) { static_cast<DeleteSkip*>(self)->Clear(); }

int DeleteSkip::Authorize(void* self, int action, const char* a, const char* b,
                          const char* database, const char* inner) {
  Reads* reads = static_cast<DeleteSkip*>(self)->reads_;
  if (reads == nullptr) return SQLITE_OK;
  switch (action) {
    case SQLITE_SELECT:
      break;
    case SQLITE_READ:  // a table, b column
      if (!InMainBaseTable(database, a, inner)) {
        reads->eligible = false;
      } else {
        reads->tables.emplace_back(a);
        reads->columns.emplace_back(a, b ? b : "");
      }
      break;
    case SQLITE_DELETE:  // a table
      if (!InMainBaseTable(database, a, inner)) {
        reads->eligible = false;
      } else {
        reads->tables.emplace_back(a);
      }
      break;
    case SQLITE_FUNCTION:  // b function
      if (!Pure(b)) reads->eligible = false;
      break;
    default:
      reads->eligible = false;
      break;
  }
  return SQLITE_OK;
}

int64_t DeleteSkip::DataVersion() {
  return CLngLng(db_->Query("PRAGMA main.data_version")->rows().at(0).at(0));
}

bool DeleteSkip::Skippable(const std::string& sql, int64_t* version) {
  *version = kNotYet;
  if (!enabled()) return false;
  auto it = entries_.find(sql);
  if (it == entries_.end()) {
    size_t hash = std::hash<std::string>{}(sql);
    if (seen_once_[hash % kSeenOnceSlots] == hash) *version = DataVersion();
    return false;
  }
  *version = DataVersion();
  if (it->second.version != *version) {
    // Another connection committed: whatever it wrote is unknown here.
    entries_.clear();
    return false;
  }
  for (const auto& [counter, value] : it->second.counters) {
    if (*counter != value) {
      entries_.erase(it);
      return false;
    }
  }
  ++skipped_;
  return true;
}

void DeleteSkip::Remember(const std::string& sql, int64_t version) {
  if (!enabled()) return;
  if (version == kNotYet) {
    size_t hash = std::hash<std::string>{}(sql);
    seen_once_[hash % kSeenOnceSlots] = hash;
    return;
  }
  // What the statement reads is what SQLite reports while preparing it.
  Reads reads;
  sqlite3_stmt* stmt = nullptr;
  reads_ = &reads;
  int rc = sqlite3_prepare_v2(db_->handle(), sql.c_str(), static_cast<int>(sql.size()), &stmt,
                              nullptr);
  reads_ = nullptr;
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK || !reads.eligible || reads.tables.empty()) return;

  std::sort(reads.tables.begin(), reads.tables.end());
  reads.tables.erase(std::unique(reads.tables.begin(), reads.tables.end()), reads.tables.end());
  Entry entry{version, {}};
  for (const std::string& name : reads.tables) {
    // Virtual tables report no row changes.
    RecordsetPtr def = db_->Query(
        "SELECT sql FROM main.sqlite_master WHERE type = 'table' AND name = ?1",
        {Variant(name)});
    if (def->rows().empty() || StartsWithNoCase(CStr(def->rows()[0][0]), "CREATE VIRTUAL")) {
      return;
    }
    Table* t = Find(name);
    entry.counters.emplace_back(&t->rows, t->rows);
    entry.counters.emplace_back(&t->unattributed, t->unattributed);
  }
  for (const auto& [table, column] : reads.columns) {
    Table* t = Find(table);
    const uint64_t* counter =
        column.empty() ? &t->any_update : Column(t, column);
    entry.counters.emplace_back(counter, *counter);
  }
  std::sort(entry.counters.begin(), entry.counters.end());
  entry.counters.erase(std::unique(entry.counters.begin(), entry.counters.end()),
                       entry.counters.end());
  if (entries_.size() >= kMaxEntries) entries_.clear();
  entries_[sql] = std::move(entry);
}

DeleteSkip::Writing::Writing(DeleteSkip* skip, const std::string& table,
                             const std::vector<std::string>& columns)
    : skip_(skip->enabled() ? skip : nullptr), outer_(skip->writing_) {
  if (skip_ == nullptr) return;
  if (!table.empty()) {
    Table* t = skip->Find(table);
    table_ = t;
    columns_.reserve(columns.size());
    for (const std::string& c : columns) columns_.push_back(Column(t, c));
  }
  skip->writing_ = this;
}

DeleteSkip::Writing::~Writing() {
  if (skip_ != nullptr) skip_->writing_ = outer_;
}

}  // namespace ambit::tsql
