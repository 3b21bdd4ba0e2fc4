// Session: one connection of the embedded engine. It owns the SQLite database, the connection's
// temporary tables (SQLite's temp schema), its transaction depth, the @@ values that outlive a
// statement, and the translation cache (parsed batches keyed by their exact text, so a repeated
// call skips lexing, parsing and emitting).
//
// Most batches the methods send carry their values as literals, so most texts run once: a
// batch is kept only when its text comes back. Keeping every text filled each pooled
// connection's cache with batches that never ran again, and a server's memory grew for as long
// as it took every connection to reach the cap. The cap is in bytes, not batches: a parsed
// batch with its emitted SQL takes some 30 times its text, and texts run from a line to pages.
#ifndef AMBIT_TSQL_SESSION_H_
#define AMBIT_TSQL_SESSION_H_

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/connection.h"
#include "data/recordset.h"
#include "tsql/ast.h"
#include "tsql/delete_skip.h"
#include "tsql/emitter.h"
#include "tsql/sqlite_db.h"
#include "tsql/write_gate.h"

namespace ambit::tsql {

// A parsed batch with the SQL emitted for its statements so far (filled as they first run).
struct CompiledBatch {
  struct Emitted {
    uint64_t generation = 0;  // schema generation the text was made for
    EmittedSql main;
    EmittedSql extra;
  };
  std::string text;
  std::unique_ptr<Batch> batch;
  mutable std::unordered_map<const void*, Emitted> emitted;
};
using CompiledBatchPtr = std::shared_ptr<CompiledBatch>;

// A view's T-SQL definition as a comment that SQLite keeps in the view's text, and back.
std::string EncodeViewDefinition(std::string_view definition);
std::optional<std::string> DecodeViewDefinition(std::string_view sqlite_text);
// The same for a trigger's T-SQL text.
std::string EncodeTriggerDefinition(std::string_view definition);
std::optional<std::string> DecodeTriggerDefinition(std::string_view sqlite_text);

class Session {
 public:
  // What the kept batches may take, estimated from their texts (kParsedBytesPerTextByte, a
  // generous figure: parsed, a batch measured some 8 bytes per byte of text before its SQL is
  // emitted). Under a steady load every pooled connection's cache fills to this bound, since a
  // text with an order's number in it comes back whenever that order is opened again, so the
  // bound is held once per connection. 1 MB still keeps a connection's list statements (some
  // 4 KB of text) beside a few dozen such repeats; at 4 MB the readers' caches under the mixed
  // load held the same lines query for 56 orders each.
  static constexpr size_t kTranslationCacheBytes = 1 << 20;
  static constexpr size_t kParsedBytesPerTextByte = 32;
  // Hashes of texts seen once, one per slot; a collision at worst keeps a batch seen once.
  static constexpr size_t kSeenOnceSlots = 4096;

  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens the database file (or ":memory:") and makes sure the procedure store exists.
  void Open(const std::string& path);

  // Runs a script: batches separated by GO lines run in order. Returns the first result set
  // with columns, later ones chained with Recordset::SetNextRecordset; without any, a closed
  // recordset whose records_affected is the last statement's row count.
  RecordsetPtr Execute(std::string_view script);

  // The outermost BEGIN waits its turn behind this process's other writers to the same file
  // (WriteGate) for up to the busy timeout, then takes SQLite's write lock at once.
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  // ROLLBACK TRANSACTION savepoint: undoes the work since SAVE TRANSACTION name, keeping the
  // transaction open.
  void RollbackToSavepoint(const std::string& name);
  int trancount() const { return trancount_; }
  // Rolls back and drops the temporary tables, for the next user of a pooled connection. The
  // catalog read so far stays: it is dropped when a batch finds the schema changed.
  void Reset();

  // The result sets of the last Execute when it raised an error (see Connection).
  FailedBatchResults TakeFailedBatchResults() { return std::move(failed_results_); }

  // PRINT and low-severity RAISERROR output of the last Execute.
  const std::vector<InfoMessage>& messages() const { return messages_; }
  std::vector<InfoMessage> TakeMessages() { return std::move(messages_); }

  // Stops the running Execute: its next statement, or the SQLite statement running now, fails
  // with kQueryCancelled. Only sets a flag, so another thread or a signal handler may call it.
  void Cancel() { cancel_requested_.store(true, std::memory_order_relaxed); }
  bool cancel_requested() const { return cancel_requested_.load(std::memory_order_relaxed); }

  // The account's name, as DB_NAME() and the catalog's TABLE_CATALOG show it: the stem of the
  // database file ("memory" for an in-memory database).
  const std::string& database_name() const { return database_name_; }

  // --- for the interpreter
  SqliteDb& db() { return db_; }
  DeleteSkip& delete_skip() { return delete_skip_; }
  CompiledBatchPtr Compile(std::string_view text);
  std::optional<std::vector<CatalogColumn>> Columns(const std::string& table);
  // The T-SQL definition of a view, null when there is no such view.
  std::shared_ptr<const CreateViewStmt> View(const std::string& name);
  void SchemaChanged();
  // DDL of one temporary table (#name): what was emitted since is emitted again, but the
  // columns of every other table stay known. A list that makes and drops its own #table on
  // every call would otherwise read the columns of each table it joins again each time.
  void TempTableChanged(const std::string& table);
  // TempTableChanged for a #name, SchemaChanged for any other.
  void TableChanged(const std::string& table);
  // Makes the catalog views (catalog.h) unless this connection has them.
  void EnsureCatalog();
  std::vector<std::string> TempTables();
  uint64_t schema_generation() const { return schema_generation_; }
  // A message placed after the result sets produced so far.
  void AddMessage(std::string text, int32_t number = 0, int32_t severity = 0);

  struct CaughtError {
    int32_t number;
    std::string message;
  };
  std::optional<CaughtError> caught;  // the error a CATCH block is handling
  std::vector<Variant> slots;  // variables a running statement reads and writes row by row
  // Error handling as SQL Server does it: a statement-terminating error outside TRY ends only
  // its statement and is reported when the script has run (deferred_error); XACT_ABORT ON makes
  // every error roll back and end the batch, or dooms the transaction inside TRY (doomed).
  bool xact_abort = false;
  int datefirst = 7;  // SET DATEFIRST: the first day of the week, 1 Monday .. 7 Sunday
  bool doomed = false;
  bool throwing = false;  // the error on its way is a THROW's
  int try_depth = 0;
  std::optional<ComError> deferred_error;
  int deferred_error_position = 0;  // result sets produced before deferred_error
  int results_so_far() const { return results_ ? static_cast<int>(results_->size()) : 0; }
  std::vector<std::string> savepoints;  // SAVE TRANSACTION names, oldest first
  int64_t rowcount = 0;
  int64_t identity = 0;  // Variant Null until the first insert into an identity column
  bool has_identity = false;

  // AFTER triggers (session_triggers.cc). A trigger is kept as a SQLite trigger of its table that
  // never fires, with its T-SQL text in a comment: it goes with its table, a rollback takes back
  // its CREATE, and every connection sees it through the schema version.
  struct TriggerDef {
    std::string name;
    CompiledBatchPtr compiled;  // the CREATE TRIGGER, with its emitted SQL as it first runs
    const CreateTriggerStmt* statement = nullptr;
  };
  // The triggers of a table in the order they were made.
  const std::vector<TriggerDef>& Triggers(const std::string& table);
  // Rows a data change hands to its triggers: while set, the connection's capture triggers on
  // the table append each changed row's old and new values.
  struct TriggerCapture {
    std::string table;  // lower case
    std::vector<std::vector<Variant>> inserted, deleted;
  };
  TriggerCapture* capture = nullptr;
  // Makes the capture triggers of a table and its pseudo-tables unless this connection has
  // them; returns the pseudo-tables' names.
  Emitter::PseudoTables PrepareTriggerTables(const std::string& table);
  std::vector<std::string> running_triggers;  // innermost last
  std::vector<std::string> firing_tables;     // tables whose pseudo-tables are in use
  std::string identity_insert;  // the table SET IDENTITY_INSERT is ON for, "" for none
  int64_t scope_identity = 0;  // SCOPE_IDENTITY(): @@IDENTITY without the triggers' inserts
  bool has_scope_identity = false;

  // Cache figures for tests and diagnostics.
  int64_t cache_hits() const { return cache_hits_; }
  int64_t cache_misses() const { return cache_misses_; }
  size_t cache_size() const { return lru_.size(); }

 private:
  void RegisterTriggerCapture();
  // Drops what this connection knows of the schema when another connection changed it.
  void CheckSchemaVersion();
  int64_t ReadSchemaVersion();
  void LoadTriggers(int64_t version);
  void LeaveWriteGate();
  // The transaction ends with this scope, however it ends.
  struct WriteGateExit {
    Session* session;
    ~WriteGateExit() { session->LeaveWriteGate(); }
  };

  SqliteDb db_;
  DeleteSkip delete_skip_;  // after db_: stops watching it before it closes
  std::string database_name_;
  bool catalog_ready_ = false;
  int trancount_ = 0;
  uint64_t schema_generation_ = 1;
  int64_t schema_version_ = -1;  // of the main database, when the catalog was last checked
  uint64_t schema_version_generation_ = 0;  // schema_generation_ when that was
  std::shared_ptr<WriteGate> write_gate_;  // null for an in-memory database
  bool in_write_gate_ = false;
  std::vector<InfoMessage> messages_;
  FailedBatchResults failed_results_;
  const std::vector<RecordsetPtr>* results_ = nullptr;  // of the running Execute
  std::atomic<bool> cancel_requested_{false};
  std::list<CompiledBatchPtr> lru_;
  std::unordered_map<std::string_view, std::list<CompiledBatchPtr>::iterator> cache_;
  size_t cache_bytes_ = 0;  // estimated, of the batches in lru_
  std::vector<size_t> seen_once_ = std::vector<size_t>(kSeenOnceSlots);
  std::map<std::string, std::vector<CatalogColumn>> catalog_;
  std::map<std::string, std::shared_ptr<const CreateViewStmt>> views_;
  std::map<std::string, std::vector<TriggerDef>> triggers_;  // by lower-case table
  int64_t triggers_version_ = -1;  // main's schema version triggers_ was read at
  uint64_t triggers_generation_ = 0;  // schema_generation_ when that version was last compared
  int64_t cache_hits_ = 0;
  int64_t cache_misses_ = 0;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_SESSION_H_
