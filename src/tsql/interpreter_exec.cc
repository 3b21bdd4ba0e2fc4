// Statements that reach SQLite: queries, data changes, definitions, and procedure calls.
#include <algorithm>
#include <cstdlib>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"
#include "tsql/runtime.h"
#include "tsql/system_procedures.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Raise(int number, std::string message) {
  throw ComError(number, kErrorSource, std::move(message));
}

std::string TypeTextOf(const FieldInfo& f) {
  switch (f.type) {
    case DataType::kTinyInt: return "tinyint";
    case DataType::kSmallInt: return "smallint";
    case DataType::kInteger: return "int";
    case DataType::kBigInt: return "bigint";
    case DataType::kBoolean: return "bit";
    case DataType::kDouble: return "float";
    case DataType::kCurrency: return "money";
    case DataType::kDecimal:
    case DataType::kNumeric:
      return (f.type == DataType::kNumeric ? "numeric(" : "decimal(") +
             std::to_string(f.precision ? f.precision : 18) + "," + std::to_string(f.scale) + ")";
    case DataType::kDate:
    case DataType::kDBTimeStamp: return "datetime";
    case DataType::kGuid: return "uniqueidentifier";
    case DataType::kChar:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kWChar:
    case DataType::kVarWChar:
    case DataType::kLongVarWChar: {
      // The text type the query gave the column: 'ab' makes varchar(2), N'ab' nvarchar(2).
      bool wide = f.type == DataType::kWChar || f.type == DataType::kVarWChar ||
                  f.type == DataType::kLongVarWChar;
      bool fixed = f.type == DataType::kChar || f.type == DataType::kWChar;
      std::string name = std::string(wide ? "n" : "") + (fixed ? "char" : "varchar");
      bool sized = f.type != DataType::kLongVarChar && f.type != DataType::kLongVarWChar &&
                   f.defined_size > 0 && f.defined_size <= (wide ? 4000 : 8000);
      if (!sized) return std::string(wide ? "\"nvarchar(max)\"" : "\"varchar(max)\"") + " COLLATE TSQL";
      return name + "(" + std::to_string(f.defined_size) + ") COLLATE TSQL";
    }
    default: return "COLLATE TSQL";  // expressions: any value, text compared as SQL Server does
  }
}

bool Mentions(const Expr& e, const std::vector<std::string>& names) {
  if (e.kind == ExprKind::kVariable &&
      std::find(names.begin(), names.end(), e.text) != names.end()) {
    return true;
  }
  for (const ExprPtr& a : e.args) {
    if (a && Mentions(*a, names)) return true;
  }
  return false;
}

bool IsAssignment(const Select& s) {
  for (const SelectBlock& q : s.blocks) {
    for (const SelectItem& item : q.items) {
      if (!item.variable.empty()) return true;
    }
  }
  return false;
}

}  // namespace

void Interpreter::RunSelect(const SelectStmt& s) {
  bool assigns = IsAssignment(*s.select);
  if (assigns) {
    if (s.select->blocks.size() != 1) Raise(141, "A SELECT statement that assigns a value to a variable must not be combined with data-retrieval operations.");
    for (const SelectItem& item : s.select->blocks[0].items) {
      if (item.variable.empty()) {
        Raise(141, "A SELECT statement that assigns a value to a variable must not be combined "
                   "with data-retrieval operations.");
      }
    }
  }
  // SELECT @s = @s + x FROM t reads its own result: assign row by row through slots.
  std::vector<std::string> assigned;
  bool accumulates = false;
  if (assigns) {
    for (const SelectItem& item : s.select->blocks[0].items) {
      if (std::find(assigned.begin(), assigned.end(), item.variable) == assigned.end()) {
        assigned.push_back(item.variable);
      }
    }
    for (const SelectItem& item : s.select->blocks[0].items) {
      accumulates |= Mentions(*item.expr, assigned);
    }
  }
  const auto& emitted = Emit(&s, false, [&](Emitter& em, CompiledBatch::Emitted& out) {
    if (accumulates) {
      for (size_t i = 0; i < assigned.size(); ++i) {
        em.OverrideVariable(assigned[i], "tsql_getvar(" + std::to_string(i) + ")");
        em.AssignThroughSlot(assigned[i], static_cast<int>(i));
      }
    }
    bool ordered = accumulates && !s.select->order_by.empty();
    out.main = em.Finish(ordered ? em.AccumulatingSelect(*s.select) : em.SelectText(*s.select));
    if (!assigns) out.main.column_types = em.ResultTypes(*s.select);
  });
  if (accumulates) {
    session_->slots.clear();
    for (const std::string& name : assigned) session_->slots.push_back(Lookup(name).value);
    std::vector<Variant> params = Bind(emitted.main.params);
    RecordsetPtr rs = session_->db().Query(emitted.main.sql, params);
    session_->rowcount = static_cast<int64_t>(rs->rows().size());
    if (rs->rows().empty()) return;
    std::vector<Variant> values = session_->slots;
    for (size_t i = 0; i < assigned.size(); ++i) Assign(assigned[i], values[i]);
    return;
  }
  RecordsetPtr rs = session_->db().Query(emitted.main.sql, Bind(emitted.main.params),
                                         &emitted.main.column_types);
  session_->rowcount = static_cast<int64_t>(rs->rows().size());
  if (!assigns) {
    if (s.select->for_xml_path && rs->FieldCount() == 1) {
      std::vector<FieldInfo> fields = rs->fields();
      fields[0].name = "XML_F52E2B61-18A1-11d1-B105-00805F49916B";
      std::vector<Recordset::Row> rows = rs->rows();
      rs = std::make_shared<Recordset>(std::move(fields), std::move(rows));
    }
    results_->push_back(rs);
    return;
  }
  if (rs->rows().empty()) return;  // no row leaves the variables as they were
  const Recordset::Row& last = rs->rows().back();
  const auto& items = s.select->blocks[0].items;
  for (size_t i = 0; i < items.size() && i < last.size(); ++i) {
    if (items[i].assign_op == "=") {
      AssignScaled(items[i].variable, last[i],
                   ScaleOf(*items[i].expr, &s.select->blocks[0].from));
    } else {
      Raise(102, "Incorrect syntax near '" + items[i].assign_op + "'.");
    }
  }
}

void Interpreter::SelectInto(const SelectStmt& s) {
  const SelectBlock& q = s.select->blocks[0];
  const std::string& table = q.into.back();
  for (const SelectItem& item : q.items) {
    if (item.alias.empty() && item.expr->kind != ExprKind::kColumn &&
        item.expr->kind != ExprKind::kStar) {
      Raise(1038, "An object or column name is missing or empty. For SELECT INTO statements, "
                  "verify each column has a name.");
    }
  }
  const auto& emitted = Emit(&s, false, [&](Emitter& em, CompiledBatch::Emitted& out) {
    std::string select = em.SelectText(*s.select);
    out.main = em.Finish(select);
    out.main.column_types = em.ResultTypes(*s.select);
  });
  std::vector<Variant> params = Bind(emitted.main.params);
  // The shape of the new table comes from the query's own column types.
  RecordsetPtr shape = session_->db().Query("SELECT * FROM (" + emitted.main.sql + ") LIMIT 0",
                                            params, &emitted.main.column_types);
  std::string create = std::string("CREATE TABLE ") + (Emitter::IsTempName(table) ? "temp." : "") +
                       Emitter::QuoteName(table) + " (";
  std::string identity = s.select->blocks.size() == 1 ? CarriedIdentity(q) : "";
  for (int i = 0; i < shape->FieldCount(); ++i) {
    if (i) create += ", ";
    create += Emitter::QuoteName(shape->Field(i).name) + " ";
    if (!identity.empty() && EqualsNoCase(shape->Field(i).name, identity)) {
      // Made as CREATE TABLE makes identity columns; the rows copied keep their values.
      create += "INTEGER PRIMARY KEY AUTOINCREMENT /*identity_seed=1*/";
    } else {
      create += TypeTextOf(shape->Field(i));
    }
  }
  create += ")";
  session_->db().Exec(create);
  session_->TableChanged(table);
  session_->rowcount = session_->db().Exec(
      "INSERT INTO " + Emitter::QuoteName(table) + " " + emitted.main.sql, params);
}

void Interpreter::RunInsert(const InsertStmt& s) {
  RunWithTriggers(BaseTable(s.table, {}), TriggerEvent::kInsert, {}, [&] { RunInsertRows(s); });
}

void Interpreter::RunInsertRows(const InsertStmt& s) {
  CheckIdentityInsert(s);
  if (s.exec) {
    std::vector<RecordsetPtr> produced;
    CallProcedure(*s.exec, &produced);
    if (produced.empty()) {
      session_->rowcount = 0;
      return;
    }
    const RecordsetPtr& rs = produced.front();
    std::string sql = "INSERT INTO " + Emitter::TableName(s.table);
    if (!s.columns.empty()) {
      sql += " (";
      for (size_t i = 0; i < s.columns.size(); ++i) {
        sql += (i ? ", " : "") + Emitter::QuoteName(s.columns[i]);
      }
      sql += ")";
    }
    // The rows are stored as an INSERT ... VALUES would store them: converted to the columns.
    auto catalog = session_->Columns(s.table.back());
    std::vector<std::string> targets = s.columns;
    if (targets.empty() && catalog) {
      for (const CatalogColumn& c : *catalog) {
        if (!c.identity) targets.push_back(c.name);
      }
    }
    sql += " VALUES (";
    for (int i = 0; i < rs->FieldCount(); ++i) {
      std::string param = "?" + std::to_string(i + 1);
      std::string decl;
      if (catalog && static_cast<size_t>(i) < targets.size()) {
        for (const CatalogColumn& c : *catalog) {
          if (EqualsNoCase(c.name, targets[i])) decl = c.decl_type;
        }
      }
      bool typed = !decl.empty() && decl != "INTEGER";
      sql += (i ? ", " : "") +
             (typed ? "tsql_store(" + param + ", " + Emitter::QuoteString(decl) + ")" : param);
    }
    sql += ")";
    for (const Recordset::Row& row : rs->rows()) session_->db().Exec(sql, row);
    session_->rowcount = static_cast<int64_t>(rs->rows().size());
    return;
  }
  const auto& emitted = Emit(&s, true, [&](Emitter& em, CompiledBatch::Emitted& out) {
    out.main = em.Insert(s);
  });
  int64_t changes = RunChange(s.output.get(), emitted.main);
  session_->rowcount = changes;
  if (changes > 0) {
    auto columns = session_->Columns(s.table.back());
    bool has_identity = false;
    if (columns) {
      for (const CatalogColumn& c : *columns) has_identity |= c.identity;
    }
    if (has_identity) {
      session_->identity = session_->db().last_insert_rowid();
      session_->has_identity = true;
      session_->scope_identity = session_->identity;
      session_->has_scope_identity = true;
    }
  }
}

void Interpreter::RunUpdate(const UpdateStmt& s) {
  std::vector<std::string> written;
  for (const Assignment& a : s.sets) {
    if (!a.column.empty()) written.push_back(a.column.back());
  }
  bool through_view = false;
  std::string table = BaseTable(s.target, s.from, &through_view);
  RunWithTriggers(table, TriggerEvent::kUpdate, written,
                  [&] { RunUpdateRows(s, through_view ? "" : table, written); });
}

void Interpreter::RunUpdateRows(const UpdateStmt& s, const std::string& table,
                                const std::vector<std::string>& written) {
  const auto& emitted = Emit(&s, true, [&](Emitter& em, CompiledBatch::Emitted& out) {
    out.main = em.Update(s, &out.extra);
  });
  // Reading the variables' values and updating are two SQLite statements; outside a
  // transaction another connection could write between them (two callers reserving the same
  // counter value), so the pair holds the write lock from the read on.
  bool own_transaction =
      !emitted.extra.sql.empty() && !emitted.main.sql.empty() && !session_->db().in_transaction();
  if (own_transaction) session_->db().Exec("BEGIN IMMEDIATE");
  // Through a view the SET names are the view's, not the table's: no columns to tell.
  DeleteSkip::Writing writing(&session_->delete_skip(), table, written);
  try {
    RunUpdateStatements(s, emitted);
  } catch (...) {
    if (own_transaction && session_->db().in_transaction()) session_->db().Exec("ROLLBACK");
    throw;
  }
  if (own_transaction) session_->db().Exec("COMMIT");
}

void Interpreter::RunUpdateStatements(const UpdateStmt& s,
                                      const CompiledBatch::Emitted& emitted) {
  if (!emitted.extra.sql.empty()) {
    RecordsetPtr rs = session_->db().Query(emitted.extra.sql, Bind(emitted.extra.params));
    if (!rs->rows().empty()) {
      const Recordset::Row& last = rs->rows().back();
      size_t i = 0;
      for (const Assignment& a : s.sets) {
        if (!a.variable.empty() && i < last.size()) Assign(a.variable, last[i++]);
      }
    }
    session_->rowcount = static_cast<int64_t>(rs->rows().size());
  }
  if (!emitted.main.sql.empty()) session_->rowcount = RunChange(s.output.get(), emitted.main);
}

void Interpreter::RunDelete(const DeleteStmt& s) {
  std::string table = BaseTable(s.target, s.from);
  // SQL Server fires a table's DELETE triggers also when no row goes.
  bool may_skip = session_->delete_skip().enabled() && !s.output && !s.top && !table.empty() &&
                  table[0] != '#' && table[0] != '@' && session_->Triggers(table).empty();
  RunWithTriggers(table, TriggerEvent::kDelete, {}, [&] { RunDeleteRows(s, may_skip); });
}

void Interpreter::RunDeleteRows(const DeleteStmt& s, bool may_skip) {
  const auto& emitted = Emit(&s, false, [&](Emitter& em, CompiledBatch::Emitted& out) {
    out.main = em.Delete(s);
  });
  // A cleanup that found nothing finds nothing again while nothing it reads has changed.
  DeleteSkip& skip = session_->delete_skip();
  may_skip = may_skip && emitted.main.params.empty();
  int64_t version = 0;
  if (may_skip && skip.Skippable(emitted.main.sql, &version)) {
    session_->rowcount = 0;
    return;
  }
  session_->rowcount = RunChange(s.output.get(), emitted.main);
  if (may_skip && session_->rowcount == 0) skip.Remember(emitted.main.sql, version);
}

void Interpreter::RunCreateTable(const CreateTableStmt& s) {
  EmitterContext context = Context();
  Emitter em(context);
  for (const std::string& sql : em.CreateTable(s)) session_->db().Exec(sql);
  session_->TableChanged(s.table.back());
}

void Interpreter::RunCreateIndex(const CreateIndexStmt& s) {
  EmitterContext context = Context();
  Emitter em(context);
  session_->db().Exec(em.CreateIndex(s));
  session_->SchemaChanged();
}

void Interpreter::RunCreateView(const CreateViewStmt& s) {
  EmitterContext context = Context();
  Emitter em(context);
  std::string sql = em.CreateView(s);
  // The T-SQL definition rides along in the view's SQLite text: writes through the view are
  // translated from it (Session::View).
  std::string_view definition = std::string_view(batch_->text).substr(s.offset, s.end - s.offset);
  sql.insert(std::string_view("CREATE VIEW ").size() + Emitter::QuoteName(s.name.back()).size(),
             " " + EncodeViewDefinition(definition));
  if (s.alter) session_->db().Exec("DROP VIEW IF EXISTS " + Emitter::QuoteName(s.name.back()));
  session_->db().Exec(sql);
  session_->SchemaChanged();
}

void Interpreter::RunCreateProcedure(const CreateProcedureStmt& s) {
  const std::string& name = s.name.back();
  std::string text = batch_->text.substr(s.offset);
  RecordsetPtr existing = session_->db().Query(
      "SELECT 1 FROM tsql_procedures WHERE name = ?1 COLLATE NOCASE", {Variant(name)});
  if (!existing->rows().empty() && !s.alter) {
    Raise(2714, "There is already an object named '" + name + "' in the database.");
  }
  if (existing->rows().empty() && s.alter) {
    Raise(208, "Invalid object name '" + name + "'.");
  }
  session_->db().Exec("DELETE FROM tsql_procedures WHERE name = ?1 COLLATE NOCASE", {Variant(name)});
  session_->db().Exec("INSERT INTO tsql_procedures (name, definition) VALUES (?1, ?2)",
                      {Variant(name), Variant(text)});
}

void Interpreter::RunDrop(const DropStmt& s) {
  for (const auto& name : s.names) {
    const std::string& object = name.back();
    if (s.object_kind == "trigger") {
      DropTrigger(object, s.if_exists);
      continue;
    }
    if (s.object_kind == "procedure") {
      int64_t n = session_->db().Exec("DELETE FROM tsql_procedures WHERE name = ?1 COLLATE NOCASE",
                                      {Variant(object)});
      if (n == 0 && !s.if_exists) {
        Raise(3701, "Cannot drop the procedure '" + object +
                        "', because it does not exist or you do not have permission.");
      }
      continue;
    }
    std::string sqlite_name = object;
    std::string table_of_index;
    if (s.object_kind == "index") {
      if (name.size() < 2) Raise(159, "Must specify the table name and index name for the DROP INDEX statement.");
      table_of_index = name[name.size() - 2];
      sqlite_name = table_of_index + "$" + object;
    }
    bool temp = Emitter::IsTempName(s.object_kind == "index" ? table_of_index : object);
    std::string schema = temp ? "temp" : "main";
    RecordsetPtr found = session_->db().Query(
        "SELECT type FROM " + schema + ".sqlite_master WHERE name = ?1 COLLATE NOCASE",
        {Variant(sqlite_name)});
    std::string kind = s.object_kind;
    if (found->rows().empty() || !EqualsNoCase(CStr(found->rows()[0][0]), kind)) {
      if (s.if_exists) continue;
      if (kind == "index") {
        Raise(3701, "Cannot drop the index '" + table_of_index + "." + object +
                        "', because it does not exist or you do not have permission.");
      }
      Raise(3701, "Cannot drop the " + kind + " '" + object +
                      "', because it does not exist or you do not have permission.");
    }
    std::string keyword = kind == "table" ? "TABLE" : kind == "view" ? "VIEW" : "INDEX";
    session_->db().Exec("DROP " + keyword + " " + schema + "." + Emitter::QuoteName(sqlite_name));
    if (s.object_kind == "table") {
      session_->TableChanged(object);
    } else {
      session_->SchemaChanged();
    }
  }
}

void Interpreter::RunTruncate(const TruncateStmt& s) {
  const std::string& table = s.table.back();
  if (!session_->Columns(table)) {
    Raise(4701, "Cannot find the object \"" + table +
                    "\" because it does not exist or you do not have permissions.");
  }
  session_->db().Exec("DELETE FROM " + Emitter::QuoteName(table));
  // TRUNCATE restarts the identity; the sequence table exists only once one was used.
  std::string schema = Emitter::IsTempName(table) ? "temp" : "main";
  RecordsetPtr seq = session_->db().Query(
      "SELECT 1 FROM " + schema + ".sqlite_master WHERE name = 'sqlite_sequence'");
  if (!seq->rows().empty()) {
    session_->db().Exec("DELETE FROM " + schema + ".sqlite_sequence WHERE name = ?1",
                        {Variant(table)});
    RecordsetPtr def = session_->db().Query(
        "SELECT sql FROM " + schema + ".sqlite_master WHERE type = 'table' AND name = ?1 "
        "COLLATE NOCASE", {Variant(table)});
    std::string sql = def->rows().empty() ? "" : CStr(def->rows()[0][0]);
    static constexpr std::string_view kSeed = "/*identity_seed=";
    size_t at = sql.find(kSeed);
    if (at != std::string::npos) {
      int64_t seed = std::atoll(sql.c_str() + at + kSeed.size());
      if (seed != 1) {
        session_->db().Exec("INSERT INTO " + schema + ".sqlite_sequence (name, seq) VALUES (?1, ?2)",
                            {Variant(table), Variant(seed - 1)});
      }
    }
  }
  session_->rowcount = 0;
}

void Interpreter::RunExec(const ExecStmt& s) { CallProcedure(s, results_); }

void Interpreter::CallProcedure(const ExecStmt& s, std::vector<RecordsetPtr>* results) {
  if (frame_->nesting >= kMaxNesting) {
    Raise(217, "Maximum stored procedure, function, trigger, or view nesting level exceeded "
               "(limit 32).");
  }
  if (s.dynamic_sql) {
    Variant text = Evaluate(*s.dynamic_sql);
    if (text.IsNull()) return;
    CompiledBatchPtr inner = session_->Compile(CStr(ConvertValue(text, "nvarchar(max)")));
    Frame frame;
    frame.nesting = frame_->nesting + 1;
    Interpreter nested(session_, results);
    nested.Run(*inner, &frame);
    return;
  }
  const std::string& name = s.procedure.back();
  if (EqualsNoCase(name, "sp_executesql")) return ExecuteSql(s, results);
  if (IsSystemProcedure(name)) {
    // EXEC sp_help orders: a bare name is the object's name, as on SQL Server.
    std::vector<SystemProcedureArg> args;
    for (const ExecArg& a : s.args) {
      bool bare = a.value && a.value->kind == ExprKind::kColumn && a.value->parts.size() == 1;
      args.push_back({a.name, !a.value ? Variant::Null()
                              : bare   ? Variant(a.value->parts[0])
                                       : Evaluate(*a.value)});
    }
    RunSystemProcedure(*session_, name, args, results);
    return;
  }
  RecordsetPtr def = session_->db().Query(
      "SELECT definition FROM tsql_procedures WHERE name = ?1 COLLATE NOCASE", {Variant(name)});
  if (def->rows().empty()) Raise(2812, "Could not find stored procedure '" + name + "'.");
  CompiledBatchPtr compiled = session_->Compile(CStr(def->rows()[0][0]));
  if (compiled->batch->statements.empty() ||
      compiled->batch->statements[0]->kind != StmtKind::kCreateProcedure) {
    Raise(2812, "Could not find stored procedure '" + name + "'.");
  }
  const auto* proc =
      static_cast<const CreateProcedureStmt*>(compiled->batch->statements[0].get());

  Frame frame;
  frame.nesting = frame_->nesting + 1;
  std::vector<const ExecArg*> bound(proc->params.size(), nullptr);
  size_t position = 0;
  bool named_seen = false;
  for (const ExecArg& arg : s.args) {
    size_t index = proc->params.size();
    if (!arg.name.empty()) {
      named_seen = true;
      for (size_t i = 0; i < proc->params.size(); ++i) {
        if (proc->params[i].name == arg.name) index = i;
      }
      if (index == proc->params.size()) {
        Raise(8145, arg.name + " is not a parameter for procedure " + name + ".");
      }
    } else {
      if (named_seen) {
        Raise(119, "Must pass parameter number " + std::to_string(position + 1) +
                       " and subsequent parameters as '@name = value'. After the form '@name = "
                       "value' has been used, all subsequent parameters must be passed in the "
                       "form '@name = value'.");
      }
      index = position++;
      if (index >= proc->params.size()) {
        Raise(8144, "Procedure or function " + name + " has too many arguments specified.");
      }
    }
    bound[index] = &arg;
  }
  // Arguments are evaluated in the caller's frame, then the callee's frame takes over.
  for (size_t i = 0; i < proc->params.size(); ++i) {
    const ProcParam& p = proc->params[i];
    Variable v;
    v.type = p.type;
    Variant value = Variant::Null();
    if (bound[i] != nullptr && bound[i]->value) {
      value = Evaluate(*bound[i]->value);
    } else if (p.default_value) {
      value = Evaluate(*p.default_value);
    } else if (bound[i] == nullptr || !bound[i]->value) {
      Raise(201, "Procedure or function '" + name + "' expects parameter '" + p.name +
                     "', which was not supplied.");
    }
    v.value = value.IsNull() ? Variant::Null() : ConvertValue(value, p.type.text);
    frame.variables[p.name] = v;
  }
  Interpreter nested(session_, results);
  nested.batch_ = compiled.get();
  nested.routine_ = name;
  nested.frame_ = &frame;
  // Temporary tables a procedure creates are dropped when it returns.
  std::vector<std::string> temps_before = session_->TempTables();
  try {
    nested.RunList(proc->body);
  } catch (ComError& e) {
    if (e.procedure().empty()) e.set_procedure(name);
    DropTempTablesSince(temps_before);
    throw;
  } catch (...) {
    DropTempTablesSince(temps_before);
    throw;
  }
  DropTempTablesSince(temps_before);
  for (size_t i = 0; i < proc->params.size(); ++i) {
    const ExecArg* arg = bound[i];
    if (arg == nullptr || !arg->output || !proc->params[i].output) continue;
    if (!arg->value || arg->value->kind != ExprKind::kVariable) continue;
    Assign(arg->value->text, frame.variables[proc->params[i].name].value);
  }
  if (!s.return_variable.empty()) {
    Assign(s.return_variable,
           frame.return_value.IsEmpty() ? Variant(int32_t{0}) : frame.return_value);
  }
}

void Interpreter::DropTempTablesSince(const std::vector<std::string>& before) {
  for (const std::string& t : session_->TempTables()) {
    // A trigger's pseudo-tables stay for the next statement that fires one.
    if (t.starts_with("#tsql_trg_")) continue;
    if (std::find(before.begin(), before.end(), t) == before.end()) {
      session_->db().Exec("DROP TABLE IF EXISTS temp." + Emitter::QuoteName(t));
      session_->TempTableChanged(t);
    }
  }
}

}  // namespace ambit::tsql
