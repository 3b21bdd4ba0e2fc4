// DeleteSkip: a DELETE that deleted no row is not run again by the same connection while
// nothing it reads has changed.
//
// The methods end many saves with the same cleanup ("delete the after-sales rows whose line
// is gone"), which almost always finds nothing, yet on SQLite each run probes the lines table
// once per after-sales row. The connection sees every row change it makes through the
// pre-update hook, which unlike the update hook also reports tables emptied at once (it turns
// that shortcut off), rows removed by REPLACE conflicts and WITHOUT ROWID tables, and tells a
// statement's own changes from those of triggers and foreign-key actions. So it can tell that
// the answer is still "no row".
//
// A change counter is kept per table (rows inserted or deleted) and per column (UPDATEs that
// set it; an UPDATE whose columns are not known counts for every column of its table). A
// remembered DELETE holds the counters of the tables and columns SQLite says it reads, as they
// were after the run that found nothing; it is skipped while all are unchanged and no other
// connection has committed (PRAGMA data_version). Any rollback or schema change forgets every
// remembered DELETE: undone rows come back without a change being reported.
//
// Only DELETEs whose outcome is a function of the tables they read qualify: the interpreter
// lets through those without OUTPUT, TOP, variables, triggers or temporary tables, and
// Remember keeps only those that SQLite reports as reading base tables of the main database
// and calling nothing but pure functions. AMBIT_NO_DELETE_SKIP=1 turns the whole thing off.
#ifndef AMBIT_TSQL_DELETE_SKIP_H_
#define AMBIT_TSQL_DELETE_SKIP_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;

namespace ambit::tsql {

class SqliteDb;

class DeleteSkip {
 public:
  // Remembered statements; past this the memory starts again from nothing.
  static constexpr size_t kMaxEntries = 64;
  // Hashes of texts that found nothing once, one per slot. Most DELETEs carry their keys as
  // literals and never come back; only a text that finds nothing a second time is analysed.
  static constexpr size_t kSeenOnceSlots = 1024;
  // The version Skippable gives for a text not worth remembering yet.
  static constexpr int64_t kNotYet = -1;

  DeleteSkip() = default;
  ~DeleteSkip();
  DeleteSkip(const DeleteSkip&) = delete;
  DeleteSkip& operator=(const DeleteSkip&) = delete;

  // Starts watching the open connection db (unless turned off by the environment).
  void Attach(SqliteDb* db);
  bool enabled() const { return db_ != nullptr; }

  // Whether sql, a DELETE, may be skipped: it deleted nothing when last run and nothing it
  // reads has changed since. *version is for Remember: the data version now, or kNotYet.
  bool Skippable(const std::string& sql, int64_t* version);
  // sql deleted no row, running after Skippable gave version: remembers it if it qualifies
  // (the second time it comes).
  void Remember(const std::string& sql, int64_t version);
  // Forgets every remembered statement.
  void Clear() { entries_.clear(); }

  // While one lives, UPDATE events of table made by the running statement itself (not by
  // triggers or foreign-key actions) count as changes to these columns only. Both names as
  // SQLite knows them, any case.
  class Writing {
   public:
    Writing(DeleteSkip* skip, const std::string& table, const std::vector<std::string>& columns);
    ~Writing();
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;

   private:
    friend class DeleteSkip;
    DeleteSkip* skip_;
    const Writing* outer_;
    const void* table_ = nullptr;
    std::vector<uint64_t*> columns_;
  };

  // Statements skipped, for tests and diagnostics.
  int64_t skipped() const { return skipped_; }

 private:
  // Names compare as SQLite compares them, without case; looked up without copying.
  struct NoCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
  };
  struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  template <typename T>
  using NameMap = std::unordered_map<std::string, T, NoCaseHash, NoCaseEqual>;
  struct Table {
    uint64_t rows = 0;        // inserts and deletes
    uint64_t any_update = 0;  // every UPDATE event
    uint64_t unattributed = 0;  // UPDATE events whose columns are not known
    NameMap<uint64_t> columns;
  };
  struct Entry {
    int64_t version;
    std::vector<std::pair<const uint64_t*, uint64_t>> counters;
  };
  // What SQLite reports while Remember prepares a statement.
  struct Reads {
    bool eligible = true;
    std::vector<std::string> tables;  // read or deleted from
    std::vector<std::pair<std::string, std::string>> columns;  // table, column ("" any)
  };

  Table* Find(std::string_view name);
  static uint64_t* Column(Table* table, std::string_view name);
  int64_t DataVersion();
  static void OnChange(void* self, sqlite3* db, int op, const char* database, const char* table,
                       long long key1, long long key2);
  static void OnRollback(void* self);
  static int Authorize(void* self, int action, const char* a, const char* b,
                       const char* database, const char* inner);

  SqliteDb* db_ = nullptr;
  NameMap<Table> tables_;  // never erased: remembered statements point into it
  std::string last_name_;  // the name OnChange looked up last, as SQLite gave it
  Table* last_table_ = nullptr;
  std::unordered_map<std::string, Entry> entries_;
  std::vector<size_t> seen_once_ = std::vector<size_t>(kSeenOnceSlots);
  const Writing* writing_ = nullptr;
  Reads* reads_ = nullptr;  // while Remember analyses a statement
  int64_t skipped_ = 0;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_DELETE_SKIP_H_
