// AFTER triggers: CREATE / ALTER / DROP TRIGGER, and firing them after INSERT, UPDATE and
// DELETE.
//
// As on SQL Server a trigger fires once per statement, also when the statement changed no row,
// inside the statement's transaction (one is opened when none is, so @@TRANCOUNT is 1 in the
// body). Errors in the body end the batch and roll the transaction back, as SQL Server does by
// running triggers with XACT_ABORT ON. A body that ends the transaction itself (ROLLBACK)
// runs to its end, then the batch ends with 3609. Nested triggers are on (a trigger's change
// fires the triggers of the table it changes, up to 32 levels); recursive triggers are off (a
// trigger's change of its own table does not fire that trigger again), SQL Server's defaults.
#include <algorithm>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/catalog.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"
#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Raise(int number, std::string message) {
  throw ComError(number, kErrorSource, std::move(message));
}

bool Fires(const CreateTriggerStmt& t, TriggerEvent event) {
  switch (event) {
    case TriggerEvent::kInsert: return t.on_insert;
    case TriggerEvent::kUpdate: return t.on_update;
    case TriggerEvent::kDelete: return t.on_delete;
  }
  return false;
}

void FillTable(SqliteDb& db, const std::string& table, const std::vector<std::vector<Variant>>& rows) {
  std::string name = "temp." + Emitter::QuoteName(table);
  db.Exec("DELETE FROM " + name);
  if (rows.empty()) return;
  std::string insert = "INSERT INTO " + name + " VALUES (";
  for (size_t i = 0; i < rows[0].size(); ++i) insert += (i ? ", ?" : "?") + std::to_string(i + 1);
  insert += ")";
  for (const auto& row : rows) db.Exec(insert, row);
}

std::vector<std::vector<Variant>> ReadTable(SqliteDb& db, const std::string& table) {
  RecordsetPtr rs = db.Query("SELECT * FROM temp." + Emitter::QuoteName(table));
  return {rs->rows().begin(), rs->rows().end()};
}

}  // namespace

void Interpreter::RunCreateTrigger(const CreateTriggerStmt& s) {
  const std::string& name = s.name.back();
  const std::string& table = s.table.back();
  SqliteDb& db = session_->db();
  RecordsetPtr existing = db.Query("SELECT m.name FROM main.sqlite_master m WHERE " +
                                       std::string(CatalogTriggers()) +
                                       " AND m.name = ?1 COLLATE NOCASE",
                                   {Variant(name)});
  bool exists = !existing->rows().empty();
  if (s.alter && !exists) Raise(208, "Invalid object name '" + name + "'.");
  if (!exists || !(s.alter || s.or_alter)) {
    RecordsetPtr taken = db.Query(
        "SELECT 1 FROM main.sqlite_master WHERE name = ?1 COLLATE NOCASE UNION ALL "
        "SELECT 1 FROM main.tsql_procedures WHERE name = ?1 COLLATE NOCASE",
        {Variant(name)});
    if (!taken->rows().empty()) {
      Raise(2714, "There is already an object named '" + name + "' in the database.");
    }
  }
  RecordsetPtr target = db.Query(
      "SELECT name FROM main.sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
      {Variant(table)});
  if (target->rows().empty() || Emitter::IsTempName(table)) {
    // Views take only INSTEAD OF triggers; temporary tables none.
    Raise(8197, "The object '" + table + "' does not exist or is invalid for this operation.");
  }
  if (exists) {
    db.Exec("DROP TRIGGER main." + Emitter::QuoteName(CStr(existing->rows()[0][0])));
  }
  // Kept as a SQLite trigger that never fires, carrying the T-SQL text (Session::Triggers).
  std::string_view definition = std::string_view(batch_->text).substr(s.offset);
  db.Exec("CREATE TRIGGER main." + Emitter::QuoteName(name) + " " +
          EncodeTriggerDefinition(definition) + " AFTER INSERT ON " +
          Emitter::QuoteName(CStr(target->rows()[0][0])) + " WHEN 0 BEGIN SELECT 1; END");
  session_->SchemaChanged();
}

void Interpreter::DropTrigger(const std::string& name, bool if_exists) {
  RecordsetPtr found = session_->db().Query(
      "SELECT m.name FROM main.sqlite_master m WHERE " + std::string(CatalogTriggers()) +
          " AND m.name = ?1 COLLATE NOCASE",
      {Variant(name)});
  if (found->rows().empty()) {
    if (if_exists) return;
    Raise(3701, "Cannot drop the trigger '" + name +
                    "', because it does not exist or you do not have permission.");
  }
  session_->db().Exec("DROP TRIGGER main." + Emitter::QuoteName(CStr(found->rows()[0][0])));
  session_->SchemaChanged();
}

std::string Interpreter::BaseTable(const std::vector<std::string>& target,
                                   const std::vector<TableRefPtr>& from, bool* through_view) {
  std::string name = target.back();
  if (name.empty() || name[0] == '#' || name[0] == '@') return name;
  if (target.size() == 1) {
    // UPDATE alias SET ... FROM t alias: the alias names the table.
    std::vector<const TableRef*> sources;
    for (const TableRefPtr& t : from) AppendJoinLeaves(*t, &sources);
    for (const TableRef* t : sources) {
      if (t->kind == TableRef::Kind::kTable && EqualsNoCase(t->alias, name)) {
        name = t->name.back();
        break;
      }
    }
  }
  // A view that can be written reads one table; views over views are followed a few levels.
  for (int depth = 0; depth < kMaxNesting; ++depth) {
    std::shared_ptr<const CreateViewStmt> view = session_->View(name);
    if (!view || view->select->blocks.size() != 1) break;
    const auto& sources = view->select->blocks[0].from;
    if (sources.size() != 1 || sources[0]->kind != TableRef::Kind::kTable) break;
    name = sources[0]->name.back();
    if (through_view) *through_view = true;
  }
  return name;
}

void Interpreter::RunWithTriggers(const std::string& table, TriggerEvent event,
                                  const std::vector<std::string>& written,
                                  const std::function<void()>& change) {
  if (table.empty() || table[0] == '#' || table[0] == '@') return change();
  // Copies: a trigger body that creates or drops a trigger refreshes the session's list while
  // the others still wait to fire; each copy keeps its compiled body alive.
  std::vector<Session::TriggerDef> fire;
  for (const Session::TriggerDef& t : session_->Triggers(table)) {
    if (!Fires(*t.statement, event)) continue;
    // RECURSIVE_TRIGGERS OFF: a trigger's own change does not fire it again.
    if (!session_->running_triggers.empty() &&
        EqualsNoCase(session_->running_triggers.back(), t.name)) {
      continue;
    }
    fire.push_back(t);
  }
  if (fire.empty()) return change();
  if (frame_->nesting >= kMaxNesting) {
    Raise(217, "Maximum stored procedure, function, trigger, or view nesting level exceeded "
               "(limit 32).");
  }
  Emitter::PseudoTables pseudo = session_->PrepareTriggerTables(table);
  bool own_transaction = session_->trancount() == 0;
  if (own_transaction) session_->BeginTrans();
  Session::TriggerCapture capture;
  capture.table = ToLowerAscii(table);
  Session::TriggerCapture* outer_capture = session_->capture;
  session_->capture = &capture;
  try {
    change();
  } catch (...) {
    session_->capture = outer_capture;
    if (own_transaction && session_->trancount() > 0) session_->RollbackTrans();
    throw;
  }
  session_->capture = outer_capture;
  int64_t rowcount = session_->rowcount;
  int64_t scope_identity = session_->scope_identity;
  bool has_scope_identity = session_->has_scope_identity;

  // A trigger of this table still running (reached again through another table's trigger)
  // gets its rows back when this firing is done.
  SqliteDb& db = session_->db();
  bool reentered = std::find(session_->firing_tables.begin(), session_->firing_tables.end(),
                             capture.table) != session_->firing_tables.end();
  std::vector<std::vector<Variant>> outer_inserted, outer_deleted;
  if (reentered) {
    outer_inserted = ReadTable(db, pseudo.inserted);
    outer_deleted = ReadTable(db, pseudo.deleted);
  }
  FillTable(db, pseudo.inserted, capture.inserted);
  FillTable(db, pseudo.deleted, capture.deleted);
  std::vector<std::string> written_lower;
  for (const std::string& c : written) written_lower.push_back(ToLowerAscii(c));
  TriggerFiring firing{event, &written_lower};
  const Emitter::PseudoTables* outer_pseudo = Emitter::SetPseudoTables(&pseudo);
  session_->firing_tables.push_back(capture.table);
  auto restore = [&] {
    session_->firing_tables.pop_back();
    Emitter::SetPseudoTables(outer_pseudo);
    if (reentered) {
      FillTable(db, pseudo.inserted, outer_inserted);
      FillTable(db, pseudo.deleted, outer_deleted);
    }
  };
  try {
    for (const Session::TriggerDef& t : fire) {
      int trancount = session_->trancount();
      Interpreter nested(session_, results_);
      nested.firing_ = &firing;
      nested.RunTriggerBody(t, rowcount, frame_->nesting + 1);
      if (trancount > 0 && session_->trancount() == 0) {
        ComError ended(3609, kErrorSource, "The transaction ended in the trigger. The batch has "
                                           "been aborted.");
        ended.set_procedure(t.name);
        throw ended;
      }
    }
  } catch (ComError&) {
    try {
      restore();
      if (session_->trancount() > 0) session_->RollbackTrans();
    } catch (const ComError&) {
      // The trigger's error is the one to report.
    }
    session_->throwing = true;  // ends the batch whatever its number
    throw;
  } catch (...) {
    restore();
    throw;
  }
  restore();
  if (own_transaction && session_->trancount() > 0) session_->CommitTrans();
  session_->rowcount = rowcount;
  session_->scope_identity = scope_identity;
  session_->has_scope_identity = has_scope_identity;
}

void Interpreter::RunTriggerBody(const Session::TriggerDef& trigger, int64_t rowcount,
                                 int nesting) {
  Frame frame;
  frame.nesting = nesting;
  batch_ = trigger.compiled.get();
  routine_ = trigger.name;
  frame_ = &frame;
  session_->running_triggers.push_back(trigger.name);
  bool xact_abort = session_->xact_abort;
  session_->xact_abort = true;
  std::vector<std::string> temps_before = session_->TempTables();
  // @@ROWCOUNT at the start of the body is the firing statement's.
  session_->rowcount = rowcount;
  auto done = [&] {
    session_->running_triggers.pop_back();
    session_->xact_abort = xact_abort;
  };
  try {
    RunList(trigger.statement->body);
    DropTempTablesSince(temps_before);
  } catch (ComError& e) {
    if (e.procedure().empty()) e.set_procedure(trigger.name);
    done();
    try {
      DropTempTablesSince(temps_before);
    } catch (const ComError&) {
      // The body's error is the one to report.
    }
    throw;
  } catch (...) {
    done();
    throw;
  }
  done();
}

}  // namespace ambit::tsql
