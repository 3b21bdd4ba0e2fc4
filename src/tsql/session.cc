#include "tsql/session.h"

#include <sqlite3.h>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/catalog.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"
#include "tsql/runtime.h"
#include "tsql/script_batches.h"
#include "tsql/session_functions.h"

namespace ambit::tsql {

namespace {

// What DB_NAME() and the catalog's TABLE_CATALOG call the account: its file's stem.
std::string DatabaseName(const std::string& path) {
  if (path.empty() || path == ":memory:") return "memory";
  size_t slash = path.find_last_of("/\\");
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = file.rfind('.');
  return dot == 0 || dot == std::string::npos ? file : file.substr(0, dot);
}

// SQL Server's severity of the errors the engine raises without one: 15 for the errors found
// while a batch is parsed and bound, 16 for the rest.
int32_t SeverityOf(int32_t number) {
  static constexpr int32_t kCompileErrors[] = {102, 103, 105, 111, 113, 134, 137, 139,
                                               141, 156, 170, 174, 195, 319, 1018, 1038};
  for (int32_t n : kCompileErrors) {
    if (n == number) return 15;
  }
  return number == 1205 ? 13 : 16;
}

}  // namespace

Session::Session() = default;

Session::~Session() {
  if (db_.is_open() && trancount_ > 0) {
    try {
      db_.Exec("ROLLBACK");
    } catch (const ComError&) {
      // Closing the database rolls back anyway.
    }
  }
  LeaveWriteGate();
}

void Session::Open(const std::string& path) {
  db_.Open(path);
  // Cancel reaches a running SQLite statement through the progress callback: unlike
  // sqlite3_interrupt, a request made between two statements is not forgotten.
  sqlite3_progress_handler(
      db_.handle(), 1000,
      [](void* self) -> int { return static_cast<Session*>(self)->cancel_requested() ? 1 : 0; },
      this);
  // An unknown column in double quotes must be error 207, not a string literal.
  sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_ENABLE_FKEY, 1, nullptr);
  RegisterSessionFunctions(db_.handle(), &slots);
  RegisterTriggerCapture();
  delete_skip_.Attach(&db_);
  // Procedures live in the database, so that every connection to it can run them.
  db_.Exec(
      "CREATE TABLE IF NOT EXISTS main.tsql_procedures (name TEXT PRIMARY KEY COLLATE NOCASE, "
      "definition TEXT NOT NULL)");
  database_name_ = DatabaseName(path);
  RegisterCatalogFunctions(db_);
  const char* file = sqlite3_db_filename(db_.handle(), "main");
  if (file && *file) write_gate_ = WriteGate::ForFile(file);
}

int64_t Session::ReadSchemaVersion() {
  return CLngLng(db_.Query("PRAGMA main.schema_version")->rows().at(0).at(0));
}

void Session::CheckSchemaVersion() {
  int64_t version = ReadSchemaVersion();
  if (version != schema_version_) {
    if (schema_version_ != -1) SchemaChanged();
    schema_version_ = version;
  }
  schema_version_generation_ = schema_generation_;
}

CompiledBatchPtr Session::Compile(std::string_view text) {
  auto it = cache_.find(text);
  if (it != cache_.end()) {
    ++cache_hits_;
    lru_.splice(lru_.begin(), lru_, it->second);
    return *it->second;
  }
  ++cache_misses_;
  auto compiled = std::make_shared<CompiledBatch>();
  compiled->text = std::string(text);
  compiled->batch = ParseBatch(compiled->text);
  size_t hash = std::hash<std::string_view>{}(text);
  size_t& seen = seen_once_[hash % kSeenOnceSlots];
  if (seen != hash) {
    seen = hash;
    return compiled;
  }
  lru_.push_front(compiled);
  cache_[lru_.front()->text] = lru_.begin();
  cache_bytes_ += text.size() * kParsedBytesPerTextByte;
  while (cache_bytes_ > kTranslationCacheBytes && lru_.size() > 1) {
    cache_bytes_ -= lru_.back()->text.size() * kParsedBytesPerTextByte;
    cache_.erase(lru_.back()->text);
    lru_.pop_back();
  }
  return compiled;
}

std::optional<std::vector<CatalogColumn>> Session::Columns(const std::string& name) {
  std::string table = Emitter::SqliteTableName(name);
  std::string key = ToLowerAscii(table);
  auto it = catalog_.find(key);
  if (it != catalog_.end()) return it->second;
  RecordsetPtr rs = db_.Query(
      "SELECT name, type, pk, dflt_value FROM pragma_table_info(?1, ?2)",
      {Variant(table), Variant(Emitter::IsTempName(table) ? "temp" : "main")});
  if (rs->rows().empty()) return std::nullopt;
  std::vector<CatalogColumn> columns;
  int keys = 0;
  for (const auto& row : rs->rows()) keys += CLng(row[2]) > 0 ? 1 : 0;
  for (const auto& row : rs->rows()) {
    CatalogColumn c;
    c.name = CStr(row[0]);
    c.decl_type = row[1].IsNull() ? "" : CStr(row[1]);
    c.default_sql = row[3].IsNull() ? "" : CStr(row[3]);
    // Identity columns are made as the one INTEGER PRIMARY KEY (see Emitter::CreateTable).
    c.identity = keys == 1 && CLng(row[2]) == 1 && c.decl_type == "INTEGER";
    columns.push_back(std::move(c));
  }
  catalog_[key] = columns;
  return columns;
}

void Session::TempTableChanged(const std::string& table) {
  ++schema_generation_;
  catalog_.erase(ToLowerAscii(Emitter::SqliteTableName(table)));
}

void Session::TableChanged(const std::string& table) {
  if (Emitter::IsTempName(Emitter::SqliteTableName(table))) {
    TempTableChanged(table);
  } else {
    SchemaChanged();
  }
}

void Session::EnsureCatalog() {
  if (catalog_ready_) return;
  CreateCatalogViews(db_, database_name_);
  catalog_ready_ = true;
}

void Session::SchemaChanged() {
  // A rollback may have taken the views with it; making them again costs little when they are
  // still there.
  catalog_ready_ = false;
  ++schema_generation_;
  catalog_.clear();
  views_.clear();
  // Also how a rollback to a savepoint reaches it: undone rows come back unreported.
  delete_skip_.Clear();
}

namespace {
constexpr std::string_view kViewMark = "/*tsql_view ";
constexpr std::string_view kTriggerMark = "/*tsql_trigger ";

// Backslashes double and "*/" becomes "*\/", so the comment cannot end early.
std::string EncodeDefinition(std::string_view mark, std::string_view definition) {
  std::string out(mark);
  for (size_t i = 0; i < definition.size(); ++i) {
    char c = definition[i];
    if (c == '\\' || (c == '/' && i > 0 && definition[i - 1] == '*')) out += '\\';
    out += c;
  }
  return out + "*/";
}

std::optional<std::string> DecodeDefinition(std::string_view mark, std::string_view sqlite_text) {
  size_t start = sqlite_text.find(mark);
  if (start == std::string_view::npos) return std::nullopt;
  start += mark.size();
  size_t end = sqlite_text.find("*/", start);
  if (end == std::string_view::npos) return std::nullopt;
  std::string out;
  for (size_t i = start; i < end; ++i) {
    if (sqlite_text[i] == '\\' && i + 1 < end) ++i;
    out += sqlite_text[i];
  }
  return out;
}

}  // namespace

std::string EncodeViewDefinition(std::string_view definition) {
  return EncodeDefinition(kViewMark, definition);
}

std::optional<std::string> DecodeViewDefinition(std::string_view sqlite_text) {
  return DecodeDefinition(kViewMark, sqlite_text);
}

std::string EncodeTriggerDefinition(std::string_view definition) {
  return EncodeDefinition(kTriggerMark, definition);
}

std::optional<std::string> DecodeTriggerDefinition(std::string_view sqlite_text) {
  return DecodeDefinition(kTriggerMark, sqlite_text);
}

std::shared_ptr<const CreateViewStmt> Session::View(const std::string& name) {
  std::string key = ToLowerAscii(name);
  auto it = views_.find(key);
  if (it != views_.end()) return it->second;
  RecordsetPtr rs = db_.Query(
      "SELECT sql FROM main.sqlite_master WHERE type = 'view' AND name = ?1 COLLATE NOCASE",
      {Variant(name)});
  std::shared_ptr<const CreateViewStmt> view;
  if (!rs->rows().empty()) {
    if (auto definition = DecodeViewDefinition(CStr(rs->rows()[0][0]))) {
      std::shared_ptr<Batch> batch = ParseBatch(*definition);
      if (batch->statements.size() == 1 && batch->statements[0]->kind == StmtKind::kCreateView) {
        view = std::shared_ptr<const CreateViewStmt>(
            batch, static_cast<const CreateViewStmt*>(batch->statements[0].get()));
      }
    }
  }
  views_[key] = view;
  return view;
}

void Session::AddMessage(std::string text, int32_t number, int32_t severity) {
  messages_.push_back(InfoMessage{std::move(text), number, severity, results_so_far()});
}

namespace {

// Links each result set to the next, as Connection::Execute returns them.
RecordsetPtr Chain(const std::vector<RecordsetPtr>& results) {
  if (results.empty()) return nullptr;
  for (size_t i = results.size() - 1; i > 0; --i) results[i - 1]->SetNextRecordset(results[i]);
  return results.front();
}

}  // namespace

RecordsetPtr Session::Execute(std::string_view script) {
  std::vector<RecordsetPtr> results;
  messages_.clear();
  failed_results_ = {};
  cancel_requested_.store(false, std::memory_order_relaxed);
  TakeCatalogRequest();  // a note left by another connection's failed batch on this thread
  results_ = &results;
  // Columns and views are remembered from batch to batch; DDL of this connection forgets them
  // as it runs, DDL of another one here.
  CheckSchemaVersion();
  deferred_error.reset();
  try_depth = 0;
  throwing = false;
  // A cancel request ends with the batch it was meant for: what the caller does next (a
  // rollback, say) must not be interrupted.
  struct Done {
    Session* s;
    ~Done() {
      s->results_ = nullptr;
      s->cancel_requested_.store(false, std::memory_order_relaxed);
    }
  } done{this};
  try {
    for (const ScriptBatch& batch : SplitScript(script)) {
      CompiledBatchPtr compiled = Compile(batch.text);
      for (int i = 0; i < batch.repeat; ++i) {
        Frame frame;
        Interpreter interpreter(this, &results);
        interpreter.Run(*compiled, &frame);
      }
    }
    // The batch went on after an error: it is reported now, by the handler below.
    if (deferred_error) throw *deferred_error;
  } catch (ComError& e) {
    if (e.severity() == 0) e.set_severity(SeverityOf(e.number()), 1);
    if (deferred_error) {
      // An error the batch went on after came first: it is the one the caller sees (a trigger's
      // RAISERROR before its ROLLBACK, say), with the result sets made before it.
      ComError first = *deferred_error;
      deferred_error.reset();
      if (first.severity() == 0) first.set_severity(SeverityOf(first.number()), 1);
      failed_results_.error_position = deferred_error_position;
      failed_results_.results = Chain(results);
      throw first;
    }
    if (!failed_results_.results) {
      failed_results_.error_position = static_cast<int>(results.size());
      failed_results_.results = Chain(results);
    }
    throw;
  }
  if (results.empty()) {
    auto closed = std::make_shared<Recordset>();
    closed->set_records_affected(rowcount);
    return closed;
  }
  return Chain(results);
}

void Session::BeginTrans() {
  // Writers take the write lock at once, so that concurrent writers queue instead of failing
  // when a deferred transaction tries to upgrade.
  if (trancount_ == 0) {
    if (write_gate_ && !in_write_gate_) {
      if (!write_gate_->Enter(std::chrono::milliseconds(SqliteDb::kBusyTimeoutMs)))
        throw ComError(1222, kErrorSource, "Lock request time out period exceeded.");
      in_write_gate_ = true;
    }
    try {
      db_.Exec("BEGIN IMMEDIATE");
    } catch (...) {
      LeaveWriteGate();
      throw;
    }
  }
  ++trancount_;
}

void Session::LeaveWriteGate() {
  if (!in_write_gate_) return;
  in_write_gate_ = false;
  write_gate_->Leave();
}

void Session::CommitTrans() {
  if (trancount_ == 0) {
    throw ComError(3902, kErrorSource,
                   "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  if (doomed) {
    throw ComError(3930, kErrorSource,
                   "The current transaction cannot be committed and cannot support operations "
                   "that write to the log file. Roll back the transaction.");
  }
  if (--trancount_ == 0) {
    WriteGateExit leave{this};
    savepoints.clear();
    // SQLite ends a transaction by itself after some failures (a full disk, an I/O error);
    // committing then must say so rather than pretend the work was saved.
    if (!db_.in_transaction()) {
      SchemaChanged();
      throw ComError(3930, kErrorSource,
                     "The current transaction cannot be committed and cannot support operations "
                     "that write to the log file. Roll back the transaction.");
    }
    db_.Exec("COMMIT");
  }
}

namespace {

// What a rollback leaves alone in SQL Server but SQLite would undo: the rows of table variables
// and of a running trigger's inserted and deleted, and the identity values handed out (a rolled-back insert leaves a gap). Read before the
// rollback, put back after it.
class KeepOutsideTransaction {
 public:
  explicit KeepOutsideTransaction(SqliteDb& db) : db_(db) {
    RecordsetPtr variables = db_.Query(
        "SELECT name, sql FROM temp.sqlite_master WHERE type = 'table' AND (name GLOB "
        "'#tsql_var_*' OR name GLOB '#tsql_trg_*')");
    for (const auto& row : variables->rows()) {
      std::string name = CStr(row[0]);
      tables_.push_back({name, CStr(row[1]),
                         db_.Query("SELECT * FROM temp." + Emitter::QuoteName(name))});
    }
    for (const char* schema : {"main", "temp"}) {
      if (!HasSequences(schema)) continue;
      RecordsetPtr seqs = db_.Query(std::string("SELECT name, seq FROM ") + schema +
                                    ".sqlite_sequence");
      for (const auto& row : seqs->rows()) sequences_.push_back({schema, row[0], row[1]});
    }
  }

  void Restore() {
    for (const Table& t : tables_) {
      std::string table = "temp." + Emitter::QuoteName(t.name);
      RecordsetPtr exists = db_.Query(
          "SELECT 1 FROM temp.sqlite_master WHERE type = 'table' AND name = ?1",
          {Variant(t.name)});
      if (exists->rows().empty()) {
        // Declared inside the transaction: made again as it was.
        db_.Exec("CREATE TEMP TABLE" + t.create.substr(std::string_view("CREATE TABLE").size()));
      } else {
        db_.Exec("DELETE FROM " + table);
      }
      std::string insert = "INSERT INTO " + table + " VALUES (";
      for (int i = 0; i < t.rows->FieldCount(); ++i) {
        insert += (i ? ", ?" : "?") + std::to_string(i + 1);
      }
      insert += ")";
      for (const auto& row : t.rows->rows()) db_.Exec(insert, row);
    }
    for (const Sequence& s : sequences_) {
      if (!HasSequences(s.schema)) continue;
      db_.Exec(std::string("UPDATE ") + s.schema +
                   ".sqlite_sequence SET seq = ?2 WHERE name = ?1 AND seq < ?2",
               {s.name, s.seq});
    }
  }

 private:
  bool HasSequences(const char* schema) {
    return !db_.Query(std::string("SELECT 1 FROM ") + schema +
                      ".sqlite_master WHERE name = 'sqlite_sequence'")
                ->rows()
                .empty();
  }

  struct Table {
    std::string name, create;
    RecordsetPtr rows;
  };
  struct Sequence {
    const char* schema;
    Variant name, seq;
  };
  SqliteDb& db_;
  std::vector<Table> tables_;
  std::vector<Sequence> sequences_;
};

}  // namespace

void Session::RollbackTrans() {
  if (trancount_ == 0) {
    throw ComError(3903, kErrorSource,
                   "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  trancount_ = 0;
  doomed = false;
  savepoints.clear();
  WriteGateExit leave{this};
  KeepOutsideTransaction keep(db_);
  if (db_.in_transaction()) db_.Exec("ROLLBACK");
  keep.Restore();
  SchemaChanged();  // a rolled-back CREATE TABLE is gone again
}

void Session::RollbackToSavepoint(const std::string& name) {
  KeepOutsideTransaction keep(db_);
  db_.Exec("ROLLBACK TO " + Emitter::QuoteName(name));
  keep.Restore();
  SchemaChanged();
}

std::vector<std::string> Session::TempTables() {
  RecordsetPtr temps =
      db_.Query("SELECT name FROM temp.sqlite_master WHERE type = 'table' AND name NOT LIKE "
                "'sqlite_%'");
  std::vector<std::string> names;
  for (const auto& row : temps->rows()) names.push_back(CStr(row[0]));
  return names;
}

void Session::Reset() {
  if (trancount_ > 0) RollbackTrans();
  std::vector<std::string> temps = TempTables();
  for (const std::string& name : temps) {
    db_.Exec("DROP TABLE IF EXISTS temp." + Emitter::QuoteName(name));
  }
  if (!temps.empty()) SchemaChanged();
  messages_.clear();
  cancel_requested_.store(false, std::memory_order_relaxed);
  xact_abort = false;
  datefirst = 7;
  rowcount = 0;
  has_identity = false;
  has_scope_identity = false;
  identity_insert.clear();
}

}  // namespace ambit::tsql
