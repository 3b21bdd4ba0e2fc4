// The connection's side of AFTER triggers: the triggers of a table, read from the schema, and the
// capture that hands a statement's changed rows to them.
//
// SQL Server gives a trigger the statement's rows as the pseudo-tables inserted and deleted.
// Here each connection puts a TEMP trigger on the table (SQLite allows one on a main table) that
// passes every changed row to tsql_capture; while the interpreter runs a statement whose table
// has triggers, the rows are kept, and before the triggers run they are copied into temporary
// tables "#tsql_trg_i$<table>" and "#tsql_trg_d$<table>" that the body reads under the names
// inserted and deleted. The capture triggers call a function rather than writing a table so
// that nothing they need can be dropped under them (a pooled connection's reset drops every
// temporary table).
#include <sqlite3.h>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"
#include "tsql/runtime.h"
#include "tsql/session.h"
#include "tsql/session_functions.h"

namespace ambit::tsql {
namespace {

// tsql_capture(table, 'i' | 'd', value, ...): one row of a change, kept when the session is
// capturing that table.
void Capture(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto* capture = *static_cast<Session::TriggerCapture**>(sqlite3_user_data(ctx));
  sqlite3_result_null(ctx);
  if (capture == nullptr || argc < 2) return;
  const char* table = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  if (table == nullptr || capture->table != table) return;
  std::vector<Variant> row;
  row.reserve(argc - 2);
  for (int i = 2; i < argc; ++i) row.push_back(FromValue(argv[i]));
  const unsigned char* which = sqlite3_value_text(argv[1]);
  (which != nullptr && *which == 'i' ? capture->inserted : capture->deleted)
      .push_back(std::move(row));
}

bool Exists(SqliteDb& db, const char* type, const std::string& name) {
  return !db.Query("SELECT 1 FROM temp.sqlite_master WHERE type = ?1 AND name = ?2",
                   {Variant(type), Variant(name)})
              ->rows()
              .empty();
}

}  // namespace

void Session::RegisterTriggerCapture() {
  int rc = sqlite3_create_function_v2(db_.handle(), "tsql_capture", -1, SQLITE_UTF8, &capture,
                                      Capture, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register tsql_capture: ") + sqlite3_errstr(rc));
  }
}

const std::vector<Session::TriggerDef>& Session::Triggers(const std::string& table) {
  static const std::vector<TriggerDef> kNone;
  // Another connection's CREATE or DROP TRIGGER shows in the schema version, which is read once
  // per batch (CheckSchemaVersion). This connection's own DDL since then (a CREATE TRIGGER
  // earlier in the batch, a rollback that took one back) moves the schema generation, and only
  // then is the version read again here.
  if (triggers_generation_ != schema_generation_) {
    int64_t version = schema_version_generation_ == schema_generation_ ? schema_version_
                                                                       : ReadSchemaVersion();
    triggers_generation_ = schema_generation_;
    if (version != triggers_version_) LoadTriggers(version);
  }
  auto it = triggers_.find(ToLowerAscii(table));
  return it == triggers_.end() ? kNone : it->second;
}

void Session::LoadTriggers(int64_t version) {
  triggers_.clear();
  RecordsetPtr rs = db_.Query(
      "SELECT name, tbl_name, sql FROM main.sqlite_master WHERE type = 'trigger' ORDER BY rowid");
  for (const auto& row : rs->rows()) {
    std::optional<std::string> text = DecodeTriggerDefinition(CStr(row[2]));
    if (!text) continue;
    auto compiled = std::make_shared<CompiledBatch>();
    compiled->text = std::move(*text);
    compiled->batch = ParseBatch(compiled->text);
    if (compiled->batch->statements.size() != 1 ||
        compiled->batch->statements[0]->kind != StmtKind::kCreateTrigger) {
      continue;
    }
    TriggerDef def;
    def.name = CStr(row[0]);
    def.statement = static_cast<const CreateTriggerStmt*>(compiled->batch->statements[0].get());
    def.compiled = std::move(compiled);
    triggers_[ToLowerAscii(CStr(row[1]))].push_back(std::move(def));
  }
  triggers_version_ = version;
}

Emitter::PseudoTables Session::PrepareTriggerTables(const std::string& table) {
  std::string key = ToLowerAscii(table);
  Emitter::PseudoTables names{"#tsql_trg_i$" + key, "#tsql_trg_d$" + key};
  // Made again whenever missing: a rollback or a connection reset may have taken them.
  std::string capture_name = "tsql_capture$" + key;
  bool have_capture = Exists(db_, "trigger", capture_name + "$i");
  bool have_tables = Exists(db_, "table", names.inserted);
  if (have_capture && have_tables) return names;
  auto columns = Columns(table);
  if (!columns) return names;
  std::string quoted_table = Emitter::QuoteString(key);
  auto row_of = [&](const char* which, const char* row) {
    std::string sql = "SELECT tsql_capture(" + quoted_table + ", '" + which + "'";
    for (const CatalogColumn& c : *columns) sql += std::string(", ") + row + "." + Emitter::QuoteName(c.name);
    return sql + ");";
  };
  if (!have_capture) {
    std::string on = " ON main." + Emitter::QuoteName(table) + " BEGIN ";
    db_.Exec("CREATE TEMP TRIGGER IF NOT EXISTS " + Emitter::QuoteName(capture_name + "$i") +
             " AFTER INSERT" + on + row_of("i", "NEW") + " END");
    db_.Exec("CREATE TEMP TRIGGER IF NOT EXISTS " + Emitter::QuoteName(capture_name + "$u") +
             " AFTER UPDATE" + on + row_of("d", "OLD") + " " + row_of("i", "NEW") + " END");
    db_.Exec("CREATE TEMP TRIGGER IF NOT EXISTS " + Emitter::QuoteName(capture_name + "$d") +
             " AFTER DELETE" + on + row_of("d", "OLD") + " END");
  }
  if (!have_tables) {
    std::string shape;
    for (const CatalogColumn& c : *columns) {
      if (!shape.empty()) shape += ", ";
      shape += Emitter::QuoteName(c.name) + " " + c.decl_type;
      if (Emitter::IsTextDecl(c.decl_type)) shape += " COLLATE TSQL";
    }
    for (const std::string* name : {&names.inserted, &names.deleted}) {
      db_.Exec("CREATE TABLE IF NOT EXISTS temp." + Emitter::QuoteName(*name) + " (" + shape + ")");
    }
    SchemaChanged();
  }
  return names;
}

}  // namespace ambit::tsql
