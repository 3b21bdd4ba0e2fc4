// Control flow, variables and the evaluation of scalar expressions.
#include "tsql/interpreter.h"

#include <algorithm>
#include <cstdio>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/catalog.h"
#include "tsql/lexer.h"
#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

// A loop that never ends would hold the connection forever; no real batch comes near this.
constexpr int64_t kMaxLoopIterations = 50'000'000;

[[noreturn]] void Raise(int number, std::string message) {
  throw ComError(number, kErrorSource, std::move(message));
}

bool Truthy(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return false;
  if (v.type() == VarType::kString) return !v.string_value().empty() && v.string_value() != "0";
  return CDbl(v) != 0;
}

}  // namespace

void Interpreter::Run(const CompiledBatch& batch, Frame* frame) {
  const CompiledBatch* saved_batch = batch_;
  Frame* saved_frame = frame_;
  batch_ = &batch;
  frame_ = frame;
  // Table variables end with their batch.
  auto drop_table_variables = [&] {
    for (const std::string& t : frame->table_variables) {
      session_->db().Exec("DROP TABLE IF EXISTS temp." + Emitter::QuoteName(t));
    }
    if (!frame->table_variables.empty()) session_->SchemaChanged();
    frame->table_variables.clear();
  };
  try {
    RunList(batch.batch->statements);
  } catch (...) {
    batch_ = saved_batch;
    frame_ = saved_frame;
    try {
      drop_table_variables();
    } catch (const ComError&) {
      // The batch's own error is the one to report.
    }
    throw;
  }
  batch_ = saved_batch;
  frame_ = saved_frame;
  drop_table_variables();
}

Interpreter::Flow Interpreter::RunList(const std::vector<StmtPtr>& list) {
  for (const StmtPtr& s : list) {
    Flow f = Flow::kNormal;
    try {
      f = RunStatement(*s);
    } catch (ComError& e) {
      Locate(e, *s);
      StatementFailed(e);  // returns only when the batch goes on
    }
    if (f != Flow::kNormal) return f;
  }
  return Flow::kNormal;
}

Interpreter::Flow Interpreter::RunStatement(const Stmt& s) {
  if (session_->cancel_requested()) Raise(kQueryCancelled, "Query was cancelled by user.");
  switch (s.kind) {
    case StmtKind::kSelect: {
      const auto& sel = static_cast<const SelectStmt&>(s);
      if (!sel.select->blocks[0].into.empty()) {
        SelectInto(sel);
      } else {
        RunSelect(sel);
      }
      return Flow::kNormal;
    }
    case StmtKind::kInsert:
      RunInsert(static_cast<const InsertStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kUpdate:
      RunUpdate(static_cast<const UpdateStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kDelete:
      RunDelete(static_cast<const DeleteStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kDeclare:
      Declare(static_cast<const DeclareStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kSetVariable:
      SetVariable(static_cast<const SetVariableStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kSetOption:
      SetOption(static_cast<const SetOptionStmt&>(s));
      // NOCOUNT, ANSI options, isolation levels: SQLite's behaviour is fixed, and WAL readers
      // already never wait, which is what READ UNCOMMITTED callers want.
      return Flow::kNormal;
    case StmtKind::kIf: {
      const auto& st = static_cast<const IfStmt&>(s);
      if (EvaluateCondition(*st.condition)) return RunStatement(*st.then_branch);
      if (st.else_branch) return RunStatement(*st.else_branch);
      return Flow::kNormal;
    }
    case StmtKind::kWhile: {
      const auto& st = static_cast<const WhileStmt&>(s);
      int64_t iterations = 0;
      while (EvaluateCondition(*st.condition)) {
        if (++iterations > kMaxLoopIterations) Raise(50000, "The WHILE loop ran too long.");
        Flow f = RunStatement(*st.body);
        if (f == Flow::kBreak) break;
        if (f == Flow::kReturn) return f;
      }
      return Flow::kNormal;
    }
    case StmtKind::kBlock:
      return RunList(static_cast<const BlockStmt&>(s).body);
    case StmtKind::kBreak:
      return Flow::kBreak;
    case StmtKind::kContinue:
      return Flow::kContinue;
    case StmtKind::kReturn: {
      const auto& st = static_cast<const ReturnStmt&>(s);
      frame_->return_value = st.value ? Evaluate(*st.value) : Variant(int32_t{0});
      return Flow::kReturn;
    }
    case StmtKind::kPrint:
      Print(static_cast<const PrintStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kRaiserror:
      Raiserror(static_cast<const RaiserrorStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kExec:
      RunExec(static_cast<const ExecStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kBeginTran:
      session_->BeginTrans();
      return Flow::kNormal;
    case StmtKind::kCommit:
      if (session_->trancount() == 0) {
        Raise(3902, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
      }
      session_->CommitTrans();
      return Flow::kNormal;
    case StmtKind::kRollback:
      RollbackTransaction(static_cast<const SimpleStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kSave:
      SaveTransaction(static_cast<const SimpleStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kThrow:
      Throw(static_cast<const ThrowStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kCreateTable:
      RunCreateTable(static_cast<const CreateTableStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kCreateIndex:
      RunCreateIndex(static_cast<const CreateIndexStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kCreateView:
      RunCreateView(static_cast<const CreateViewStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kCreateProcedure:
      RunCreateProcedure(static_cast<const CreateProcedureStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kCreateTrigger:
      RunCreateTrigger(static_cast<const CreateTriggerStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kDrop:
      RunDrop(static_cast<const DropStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kTruncate:
      RunTruncate(static_cast<const TruncateStmt&>(s));
      return Flow::kNormal;
    case StmtKind::kTry: {
      const auto& st = static_cast<const TryStmt&>(s);
      try {
        ++session_->try_depth;
        Flow f = RunList(st.body);
        --session_->try_depth;
        return f;
      } catch (const ComError& e) {
        --session_->try_depth;
        session_->throwing = false;
        // The handler sees the error through ERROR_NUMBER(), ERROR_MESSAGE() and @@ERROR.
        auto saved = session_->caught;
        session_->caught = Session::CaughtError{e.number(), e.description()};
        Flow f;
        try {
          f = RunList(st.handler);
        } catch (...) {
          session_->caught = saved;
          throw;
        }
        session_->caught = saved;
        return f;
      }
    }
  }
  return Flow::kNormal;
}

// ------------------------------------------------------------------------------ variables

Variable& Interpreter::Lookup(const std::string& name) {
  auto it = frame_->variables.find(name);
  if (it == frame_->variables.end()) {
    Raise(137, "Must declare the scalar variable \"" + name + "\".");
  }
  return it->second;
}

void Interpreter::Assign(const std::string& name, const Variant& value) {
  Variable& v = Lookup(name);
  v.value = value.IsNull() || value.IsEmpty() ? Variant::Null() : ConvertValue(value, v.type.text);
}

void Interpreter::AssignScaled(const std::string& name, const Variant& value, int scale) {
  Variable& v = Lookup(name);
  if (scale > 0 && value.IsNumber() && IsTextTypeName(v.type.name)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", scale, CDbl(value));
    Assign(name, Variant(std::string(text)));
    return;
  }
  Assign(name, value);
}

int Interpreter::ScaleOf(const Expr& e, const std::vector<TableRefPtr>* from) {
  EmitterContext context = Context();
  Emitter emitter(context);
  if (from == nullptr) return emitter.ScaleOf(e);
  emitter.PushScope(*from);
  Emitter::ScopeExit pop{&emitter};
  return emitter.ScaleOf(e);
}

void Interpreter::Declare(const DeclareStmt& s) {
  for (const VariableDecl& d : s.variables) {
    if (d.is_table) {
      std::string table = Emitter::SqliteTableName(d.name);
      auto declared = frame_->variables.find(d.name);
      if (declared != frame_->variables.end() && declared->second.declared_by == &s) continue;
      if (declared != frame_->variables.end() || session_->Columns(d.name)) {
        Raise(134, "The variable name '" + d.name +
                       "' has already been declared. Variable names must be unique within a "
                       "query batch or stored procedure.");
      }
      EmitterContext context = Context();
      Emitter em(context);
      for (const std::string& sql : em.CreateTable(*d.table)) session_->db().Exec(sql);
      session_->SchemaChanged();
      frame_->table_variables.push_back(table);
      Variable marker;  // reserves the name; the rows live in the table
      marker.declared_by = &s;
      marker.type.name = "table";
      marker.type.text = "table";
      frame_->variables[d.name] = marker;
      continue;
    }
    auto existing = frame_->variables.find(d.name);
    if (existing != frame_->variables.end() && existing->second.declared_by != &s) {
      Raise(134, "The variable name '" + d.name +
                     "' has already been declared. Variable names must be unique within a query "
                     "batch or stored procedure.");
    }
    Variable v;
    v.declared_by = &s;
    v.type = d.type;
    frame_->variables[d.name] = v;
    if (d.initial) AssignScaled(d.name, Evaluate(*d.initial), ScaleOf(*d.initial, nullptr));
  }
}

void Interpreter::SetVariable(const SetVariableStmt& s) {
  Lookup(s.variable);
  if (s.op == "=") {
    AssignScaled(s.variable, Evaluate(*s.value), ScaleOf(*s.value, nullptr));
  } else {
    const auto& emitted = Emit(&s, false, [&](Emitter& em, CompiledBatch::Emitted& out) {
      Expr variable;
      variable.kind = ExprKind::kVariable;
      variable.text = s.variable;
      std::string target = em.Expression(variable);
      std::string value = em.Expression(*s.value);
      const TypeRef& type = Lookup(s.variable).type;
      char op = s.op[0];
      std::string sql;
      if (op == '+') {
        sql = IsTextTypeName(type.name) ? "(" + target + " || " + value + ")"
                                        : "tsql_add(" + target + ", " + value + ")";
      } else if (op == '-') {
        sql = "tsql_sub(" + target + ", " + value + ")";
      } else if (op == '*') {
        sql = "tsql_mul(" + target + ", " + value + ")";
      } else if (op == '/') {
        sql = "tsql_div(" + target + ", " + value + ")";
      } else if (op == '%') {
        sql = "tsql_mod(" + target + ", " + value + ")";
      } else if (op == '^') {
        sql = "tsql_bitxor(" + target + ", " + value + ")";
      } else {
        sql = "(" + target + " " + op + " " + value + ")";
      }
      out.main = em.Finish("SELECT " + sql);
    });
    RecordsetPtr rs = session_->db().Query(emitted.main.sql, Bind(emitted.main.params));
    Assign(s.variable, rs->rows().at(0).at(0));
  }
  session_->rowcount = 1;
}

// ---------------------------------------------------------------------------- expressions

EmitterContext Interpreter::Context() {
  EmitterContext c;
  c.variable_type = [this](const std::string& name) -> const TypeRef* {
    auto it = frame_->variables.find(name);
    return it == frame_->variables.end() ? nullptr : &it->second.type;
  };
  c.columns = [this](const std::string& table) { return session_->Columns(table); };
  c.view = [this](const std::string& name) { return session_->View(name); };
  return c;
}

const CompiledBatch::Emitted& Interpreter::Emit(
    const void* node, bool uses_catalog,
    const std::function<void(Emitter&, CompiledBatch::Emitted&)>& fn) {
  // Column types steer the emitted text, so any schema change made since invalidates it.
  (void)uses_catalog;
  auto it = batch_->emitted.find(node);
  if (it != batch_->emitted.end() && it->second.generation == session_->schema_generation()) {
    return it->second;
  }
  EmitterContext context = Context();
  Emitter emitter(context);
  CompiledBatch::Emitted out;
  out.generation = session_->schema_generation();
  fn(emitter, out);
  if (TakeCatalogRequest()) session_->EnsureCatalog();
  return batch_->emitted[node] = std::move(out);
}

Variant Interpreter::SystemVariable(const std::string& name) {
  if (name == "@@rowcount") return Variant(static_cast<int32_t>(session_->rowcount));
  if (name == "@@identity") {
    return session_->has_identity ? Variant(session_->identity) : Variant::Null();
  }
  if (name == "@@scope_identity") {
    return session_->has_scope_identity ? Variant(session_->scope_identity) : Variant::Null();
  }
  if (name.starts_with("@@column_updated ")) {
    if (firing_ == nullptr) {
      Raise(102, "Incorrect syntax near 'UPDATE'.");
    }
    if (firing_->event == TriggerEvent::kInsert) return Variant(int32_t{1});
    const auto& written = *firing_->written;
    bool wrote = std::find(written.begin(), written.end(), name.substr(17)) != written.end();
    return Variant(int32_t{wrote ? 1 : 0});
  }
  if (name == "@@trancount") return Variant(static_cast<int32_t>(session_->trancount()));
  if (name.starts_with("@@ident_current ")) return IdentCurrent(name.substr(16));
  if (name == "@@datefirst") return Variant(int32_t{session_->datefirst});
  if (name == "@@xact_state") {
    return Variant(int32_t{session_->trancount() == 0 ? 0 : session_->doomed ? -1 : 1});
  }
  if (name == "@@error") return Variant(session_->caught ? session_->caught->number : 0);
  if (name.starts_with("@@error_")) {
    if (!session_->caught) return Variant::Null();
    if (name == "@@error_number") return Variant(session_->caught->number);
    if (name == "@@error_message") return Variant(session_->caught->message);
    if (name == "@@error_severity") return Variant(int32_t{16});
    if (name == "@@error_state") return Variant(int32_t{1});
    if (name == "@@error_line") return Variant(int32_t{1});
    return Variant::Null();
  }
  if (name == "@@fetch_status") return Variant(int32_t{-1});
  if (name == "@@spid") return session_->db().Query("SELECT tsql_spid()")->rows().at(0).at(0);
  if (name == "@@nestlevel") return Variant(static_cast<int32_t>(frame_->nesting));
  if (name == "@@version") {
    return Variant("Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64) compatible engine");
  }
  if (name == "@@servername") return Variant("ambit-order");
  if (name == "@@datefirst") return Variant(int32_t{7});
  Raise(137, "Must declare the scalar variable \"" + name + "\".");
}

std::vector<Variant> Interpreter::Bind(const std::vector<std::string>& params) {
  std::vector<Variant> values;
  values.reserve(params.size());
  for (const std::string& p : params) {
    if (p.size() > 1 && p[1] == '@') {
      values.push_back(SystemVariable(p));
    } else {
      values.push_back(Lookup(p).value);
    }
  }
  return values;
}

Variant Interpreter::Evaluate(const Expr& e) {
  // Constants need no trip through SQLite.
  if (e.kind == ExprKind::kString) return Variant(e.text);
  if (e.kind == ExprKind::kNull) return Variant::Null();
  if (e.kind == ExprKind::kVariable) return Lookup(e.text).value;
  if (e.kind == ExprKind::kSystemVariable) return SystemVariable(e.text);
  const auto& emitted = Emit(&e, false, [&](Emitter& em, CompiledBatch::Emitted& out) {
    out.main = em.Finish("SELECT " + em.Expression(e));
  });
  RecordsetPtr rs = session_->db().Query(emitted.main.sql, Bind(emitted.main.params));
  if (rs->rows().empty() || rs->rows()[0].empty()) return Variant::Null();
  return rs->rows()[0][0];
}

bool Interpreter::EvaluateCondition(const Expr& e) {
  const auto& emitted = Emit(&e, false, [&](Emitter& em, CompiledBatch::Emitted& out) {
    out.main = em.Finish("SELECT CASE WHEN " + em.Expression(e) + " THEN 1 ELSE 0 END");
  });
  RecordsetPtr rs = session_->db().Query(emitted.main.sql, Bind(emitted.main.params));
  return !rs->rows().empty() && Truthy(rs->rows()[0][0]);
}

// ---------------------------------------------------------------------------------- output

void Interpreter::Print(const PrintStmt& s) {
  Variant v = Evaluate(*s.value);
  session_->AddMessage(v.IsNull() ? "" : CStr(ConvertValue(v, "nvarchar(max)")));
}

void Interpreter::Raiserror(const RaiserrorStmt& s) {
  Variant message = Evaluate(*s.args[0]);
  int severity = CLng(Evaluate(*s.args[1]));
  std::vector<Variant> args;
  for (size_t i = 3; i < s.args.size(); ++i) args.push_back(Evaluate(*s.args[i]));
  std::string format = message.IsNull() ? "" : CStr(ConvertValue(message, "nvarchar(max)"));
  std::string text;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      text += format[i];
      continue;
    }
    if (format[i + 1] == '%') {
      text += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < format.size() && std::string_view("-+ #0123456789.lh").find(format[j]) !=
                                    std::string_view::npos) {
      ++j;
    }
    if (j < format.size() && std::string_view("sdiuxXo").find(format[j]) != std::string_view::npos) {
      if (next < args.size()) {
        const Variant& a = args[next++];
        text += a.IsNull() ? "(null)" : CStr(ConvertValue(a, "nvarchar(max)"));
      } else {
        text += "(null)";
      }
      i = j;
    } else {
      text += format[i];
    }
  }
  if (severity >= 11) {
    ComError e(50000, kErrorSource, text);
    e.set_severity(severity, s.args.size() > 2 ? CLng(Evaluate(*s.args[2])) : 1);
    // Outside TRY an error of a user's severity is only reported: the batch, a trigger's body
    // and the statement that fired it go on (XACT_ABORT has no say over RAISERROR).
    if (severity <= 18 && session_->try_depth == 0) {
      Locate(e, s);
      return DeferError(e);
    }
    throw e;
  }
  session_->AddMessage(text, 50000, severity);
}

}  // namespace ambit::tsql
