// What an error does to the rest of a batch, and the statements that shape transactions around
// errors: savepoints, THROW and XACT_ABORT (with DATEFIRST, the SET options the session keeps).
//
// SQL Server ends only the failing statement for the errors a well-formed statement meets at run
// time (a duplicate key, a broken constraint, text too long for its column): the batch goes
// on and the error reaches the client with the batch's results. Everything else ends the batch.
// Inside TRY every error goes to CATCH instead. SET XACT_ABORT ON turns every error into one that
// rolls the transaction back and ends the batch; inside TRY it leaves the transaction doomed
// (XACT_STATE() = -1) for CATCH to roll back.
#include <algorithm>
#include <cstdlib>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/interpreter.h"
#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

bool IsStatementTerminating(int32_t number) {
  static constexpr int32_t kNumbers[] = {
      515,   // NULL into a NOT NULL column
      512,   // a subquery gave more than one value
      547,   // a constraint (foreign key, CHECK) refused the change
      2601,  // duplicate key in a unique index
      2627,  // duplicate key of a PRIMARY KEY or UNIQUE constraint
      8152,  // text too long for its column
  };
  // Arithmetic errors (8115, 8134) end the batch under ARITHABORT ON, every client's default.
  return std::find(std::begin(kNumbers), std::end(kNumbers), number) != std::end(kNumbers);
}

}  // namespace

void Interpreter::StatementFailed(const ComError& e) {
  if (session_->try_depth > 0) {
    if (session_->xact_abort && session_->trancount() > 0) session_->doomed = true;
    throw e;
  }
  if (session_->xact_abort) {
    if (session_->trancount() > 0) session_->RollbackTrans();
    throw e;
  }
  // THROW ends the batch whatever the number it raises.
  if (session_->throwing || !IsStatementTerminating(e.number())) throw e;
  DeferError(e);
  session_->rowcount = 0;
}

void Interpreter::Locate(ComError& e, const Stmt& s) const {
  // The innermost statement list names the line; SQL Server counts from the batch's start
  // (or the procedure's).
  if (e.line() == 0 && batch_ != nullptr) {
    size_t end = std::min(s.offset, batch_->text.size());
    e.set_line(1 + static_cast<int32_t>(
                       std::count(batch_->text.begin(), batch_->text.begin() + end, '\n')));
  }
  if (e.procedure().empty() && !routine_.empty()) e.set_procedure(routine_);
}

void Interpreter::DeferError(const ComError& e) {
  if (!session_->deferred_error) {
    session_->deferred_error = e;
    session_->deferred_error_position = session_->results_so_far();
  }
}

void Interpreter::SetOption(const SetOptionStmt& s) {
  if (s.option == "xact_abort") session_->xact_abort = s.value == "on";
  if (s.option == "identity_insert") SetIdentityInsert(s);
  if (s.option == "datefirst") {
    int64_t day = std::atoll(s.value.c_str());
    if (day < 1 || day > 7) {
      throw ComError(1005, kErrorSource,
                     "Line 1: Invalid number '" + s.value + "' for SET DATEFIRST.");
    }
    session_->datefirst = static_cast<int>(day);
  }
}

void Interpreter::SaveTransaction(const SimpleStmt& s) {
  if (session_->trancount() == 0) {
    throw ComError(628, kErrorSource,
                   "Cannot issue SAVE TRANSACTION when there is no active transaction.");
  }
  session_->db().Exec("SAVEPOINT " + Emitter::QuoteName(s.name));
  session_->savepoints.push_back(s.name);
}

void Interpreter::RollbackTransaction(const SimpleStmt& s) {
  if (session_->trancount() == 0) {
    throw ComError(3903, kErrorSource,
                   "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
  }
  auto& points = session_->savepoints;
  // Savepoint names are matched exactly; any other name is the transaction's own.
  auto it = std::find(points.rbegin(), points.rend(), s.name);
  if (s.name.empty() || it == points.rend()) {
    session_->RollbackTrans();
    return;
  }
  if (session_->doomed) {
    throw ComError(3931, kErrorSource,
                   "The current transaction cannot be committed and cannot be rolled back to a "
                   "savepoint. Roll back the entire transaction.");
  }
  // Later savepoints are gone with the work they marked; this one stays, as in SQL Server.
  points.erase(it.base(), points.end());
  session_->RollbackToSavepoint(s.name);
}

void Interpreter::Throw(const ThrowStmt& s) {
  if (s.args.empty()) {
    if (!session_->caught) {
      throw ComError(10704, kErrorSource,
                     "To rethrow an error, a THROW statement must be used inside a CATCH block.");
    }
    session_->throwing = true;
    throw ComError(session_->caught->number, kErrorSource, session_->caught->message);
  }
  Variant number = Evaluate(*s.args[0]);
  Variant message = Evaluate(*s.args[1]);
  int64_t n = number.IsNull() ? 0 : static_cast<int64_t>(CDbl(number));
  if (n < 50000 || n > INT32_MAX) {
    throw ComError(35100, kErrorSource,
                   "Error number " + std::to_string(n) +
                       " in the THROW statement is outside the valid range. Specify an error "
                       "number in the valid range of 50000 to 2147483647.");
  }
  session_->throwing = true;
  throw ComError(static_cast<int32_t>(n), kErrorSource,
                 message.IsNull() ? "" : CStr(ConvertValue(message, "nvarchar(2048)")));
}

}  // namespace ambit::tsql
