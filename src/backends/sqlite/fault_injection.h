// Test-only: fails chosen statement batches of the embedded backend, to show that a method
// which meets a database error half way leaves the account as it was. Nothing is installed in
// a product build; the backend then pays one relaxed atomic load per batch.
#ifndef AMBIT_BACKENDS_SQLITE_FAULT_INJECTION_H_
#define AMBIT_BACKENDS_SQLITE_FAULT_INJECTION_H_

#include <string_view>

namespace ambit {

// Called around every batch a SqliteConnection runs, on the calling thread. Raising from
// Before fails the batch before it runs; raising from After fails it once its statements have
// run (their changes stand in the open transaction, as when a batch's last statement fails).
class StatementFault {
 public:
  virtual ~StatementFault() = default;
  virtual void Before(std::string_view sql) = 0;
  virtual void After(std::string_view sql) = 0;
};

// Process-wide; nullptr (the default) removes it. The caller keeps `fault` alive while it is
// installed.
void SetStatementFault(StatementFault* fault);

}  // namespace ambit

#endif  // AMBIT_BACKENDS_SQLITE_FAULT_INJECTION_H_
