// The batch interpreter: walks statements, keeps the variables of a batch or procedure call,
// runs control flow itself and hands every query and data change to SQLite as emitted SQL with
// the variables bound as parameters.
#ifndef AMBIT_TSQL_INTERPRETER_H_
#define AMBIT_TSQL_INTERPRETER_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "base/variant.h"
#include "data/recordset.h"
#include "tsql/ast.h"
#include "tsql/session.h"

namespace ambit::tsql {

struct Variable {
  const void* declared_by = nullptr;  // the DECLARE (nullptr for parameters)
  TypeRef type;
  Variant value = Variant::Null();
};

// Variables of one batch or procedure call.
struct Frame {
  std::map<std::string, Variable> variables;
  Variant return_value;
  std::vector<std::string> table_variables;  // SQLite tables made for DECLARE @t TABLE
  int nesting = 0;  // procedure call depth
};

// The data change that fires a trigger.
enum class TriggerEvent { kInsert, kUpdate, kDelete };

class Interpreter {
 public:
  // Procedures and triggers calling one another stop at this depth (error 217).
  static constexpr int kMaxNesting = 32;

  // Result sets produced by the batch are appended to results.
  Interpreter(Session* session, std::vector<RecordsetPtr>* results)
      : session_(session), results_(results) {}

  // Runs a compiled batch in frame. Errors propagate as ComError.
  void Run(const CompiledBatch& batch, Frame* frame);

 private:
  enum class Flow { kNormal, kBreak, kContinue, kReturn };

  Flow RunList(const std::vector<StmtPtr>& list);
  Flow RunStatement(const Stmt& s);

  // interpreter.cc: variables and expressions
  void Declare(const DeclareStmt& s);
  void SetVariable(const SetVariableStmt& s);
  void Assign(const std::string& name, const Variant& value);
  // Assign with the decimal places of the value's expression (-1: none). SQLite keeps decimals
  // as REAL, so a text variable must rebuild "2.00" from the declared scale.
  void AssignScaled(const std::string& name, const Variant& value, int scale);
  // The decimal places of an expression read from `from` (-1 when it has no fixed scale).
  int ScaleOf(const Expr& e, const std::vector<TableRefPtr>* from);
  Variable& Lookup(const std::string& name);
  Variant Evaluate(const Expr& e);
  bool EvaluateCondition(const Expr& e);
  std::vector<Variant> Bind(const std::vector<std::string>& params);
  Variant SystemVariable(const std::string& name);
  const CompiledBatch::Emitted& Emit(const void* node, bool uses_catalog,
                                     const std::function<void(Emitter&, CompiledBatch::Emitted&)>& fn);
  EmitterContext Context();
  void Print(const PrintStmt& s);
  void Raiserror(const RaiserrorStmt& s);

  // interpreter_errors.cc: what an error does to the batch; savepoints and THROW
  void StatementFailed(const ComError& e);
  // Keeps the first error of a batch that goes on, to be reported when it ends.
  void DeferError(const ComError& e);
  // Names where e happened (statement s's line, the routine) unless it already says.
  void Locate(ComError& e, const Stmt& s) const;
  // SET options with an effect here: XACT_ABORT, DATEFIRST.
  void SetOption(const SetOptionStmt& s);
  void SaveTransaction(const SimpleStmt& s);
  void RollbackTransaction(const SimpleStmt& s);
  void Throw(const ThrowStmt& s);
  // IDENT_CURRENT('table'): the last identity value made for the table in any session, the
  // seed when none was made yet, NULL for a table without identity.
  Variant IdentCurrent(const std::string& table);
  // SET IDENTITY_INSERT table ON | OFF: one table of the session at a time (8107), and only a
  // table with an identity column (8106).
  void SetIdentityInsert(const SetOptionStmt& s);
  // An explicit value for an identity column only while IDENTITY_INSERT is ON for its table
  // (544); while ON, the INSERT must give one, in a column list (8101, 545).
  void CheckIdentityInsert(const InsertStmt& s);
  // The column of SELECT ... INTO's new table that stays an identity column, "" for none.
  std::string CarriedIdentity(const SelectBlock& q);

  // interpreter_exec.cc: queries, data changes, definitions and calls
  void RunSelect(const SelectStmt& s);
  void SelectInto(const SelectStmt& s);
  void RunInsert(const InsertStmt& s);
  void RunInsertRows(const InsertStmt& s);
  void RunUpdate(const UpdateStmt& s);
  // table: what the UPDATE writes when it is not a view, "" otherwise; written: its SET columns.
  void RunUpdateRows(const UpdateStmt& s, const std::string& table,
                     const std::vector<std::string>& written);
  void RunUpdateStatements(const UpdateStmt& s, const CompiledBatch::Emitted& emitted);
  void RunDelete(const DeleteStmt& s);
  // may_skip: the statement fires no trigger (see DeleteSkip).
  void RunDeleteRows(const DeleteStmt& s, bool may_skip);
  void RunCreateTable(const CreateTableStmt& s);
  void RunCreateIndex(const CreateIndexStmt& s);
  void RunCreateView(const CreateViewStmt& s);
  void RunCreateProcedure(const CreateProcedureStmt& s);
  void RunDrop(const DropStmt& s);
  void RunTruncate(const TruncateStmt& s);
  void RunExec(const ExecStmt& s);
  void CallProcedure(const ExecStmt& s, std::vector<RecordsetPtr>* results);
  // interpreter_output.cc: runs a data change; with OUTPUT its rows go to a result set or
  // the INTO table. Returns the rows changed.
  int64_t RunChange(const OutputClause* output, const EmittedSql& sql);
  // interpreter_dynamic.cc
  void ExecuteSql(const ExecStmt& s, std::vector<RecordsetPtr>* results);
  // Drops the temporary tables made since `before` (what a procedure or trigger leaves).
  void DropTempTablesSince(const std::vector<std::string>& before);

  // interpreter_triggers.cc: AFTER triggers
  void RunCreateTrigger(const CreateTriggerStmt& s);
  void DropTrigger(const std::string& name, bool if_exists);
  // Runs change, a data change of table, and then the table's triggers for event, all in one
  // transaction. written: the columns an UPDATE sets, for UPDATE(column) in the bodies.
  void RunWithTriggers(const std::string& table, TriggerEvent event,
                       const std::vector<std::string>& written,
                       const std::function<void()>& change);
  void RunTriggerBody(const Session::TriggerDef& trigger, int64_t rowcount, int nesting);
  // The table an UPDATE or DELETE writes: target may be an alias of FROM; a view stands for
  // the one table it reads (*through_view is then set, when given).
  std::string BaseTable(const std::vector<std::string>& target,
                        const std::vector<TableRefPtr>& from, bool* through_view = nullptr);
  struct TriggerFiring {
    TriggerEvent event;
    const std::vector<std::string>* written;  // lower case
  };
  const TriggerFiring* firing_ = nullptr;  // set in a trigger body's interpreter

  Session* session_;
  std::vector<RecordsetPtr>* results_;
  const CompiledBatch* batch_ = nullptr;
  std::string routine_;  // the procedure or trigger being run, "" for a batch
  Frame* frame_ = nullptr;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_INTERPRETER_H_
