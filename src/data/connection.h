// The data-access contract every backend implements: the embedded T-SQL engine on SQLite and
// SQL Server over ODBC. Methods hand it T-SQL text; it hands back materialised recordsets.
#ifndef AMBIT_DATA_CONNECTION_H_
#define AMBIT_DATA_CONNECTION_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/recordset.h"

namespace ambit {

// Source text of errors raised by the data layer itself.
inline constexpr char kDataErrorSource[] = "ambit-order.data";

class Command;

// A message a batch sends besides its results: PRINT text, RAISERROR below severity 11, notes of
// system procedures. result_sets_before tells where it falls among the batch's result sets, so
// that a client can show both in the order the batch produced them.
struct InfoMessage {
  std::string text;
  int32_t number = 0;  // 0 for PRINT
  int32_t severity = 0;
  int result_sets_before = 0;
};

// What a failed batch produced before its error: SQL Server sends a client the result sets of
// the statements that ran before a batch-ending error, and of those after an error that ended
// only its statement.
struct FailedBatchResults {
  RecordsetPtr results;     // chained as Execute returns them; null when there were none
  int error_position = 0;   // how many of them came before the error
};

class Connection {
 public:
  virtual ~Connection() = default;

  // Runs a whole batch. Returns the first result set that has columns; later ones hang off it
  // (Recordset::NextRecordset). A batch that produces none returns a closed recordset whose
  // records_affected() tells the rows the last statement touched. Errors raise ComError with
  // the database's own error number (208, 207, 102, ...) and message.
  virtual RecordsetPtr Execute(std::string_view sql) = 0;

  // Runs a command with its parameters, filling its output parameters. The default sends the
  // command as one T-SQL batch (Command::BuildBatch) through Execute; a backend with native
  // parameters binds them instead.
  virtual RecordsetPtr ExecuteCommand(Command& command);

  // Explicit transactions. BeginTrans on a writer must take the write lock at once, so that
  // concurrent writers queue instead of failing later.
  virtual void BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  virtual void RollbackTrans() = 0;
  virtual int TransactionDepth() const = 0;

  // Makes the connection fit for the next user of a pool: rolls back what is open and drops
  // the connection's temporary tables.
  virtual void Reset() = 0;

  // After Execute raised an error: the result sets the batch produced (and clears them). A
  // backend that cannot tell has none.
  virtual FailedBatchResults TakeFailedBatchResults() { return {}; }
  // The messages of the last Execute (and clears them). A backend without messages has none.
  virtual std::vector<InfoMessage> TakeMessages() { return {}; }

  // Asks the batch running on this connection to stop; it then fails with the backend's
  // cancellation error. Safe from another thread and from a signal handler: it takes no lock
  // and allocates nothing. Does nothing when no batch runs.
  virtual void Cancel() {}

  // "sqlite", "odbc", "fake" ...
  virtual std::string_view BackendName() const = 0;

  // True when the database lets one writer at a time in (a file database): a host then
  // gives all its writers to an account one connection of their own, tuned by TuneForWriting,
  // instead of letting each take the write lock on whichever connection it leased.
  virtual bool OneWriterAtATime() const { return false; }
  // Makes this the connection every write goes through: it may keep more of the database in
  // memory than a reader's.
  virtual void TuneForWriting() {}
};
using ConnectionPtr = std::shared_ptr<Connection>;

// "Key=Value;Key2=Value2" with case-insensitive keys; values may be quoted with "..." or {...}.
class ConnectionString {
 public:
  explicit ConnectionString(std::string_view text);
  // Empty when the key is absent.
  std::string Get(std::string_view key) const;
  bool Has(std::string_view key) const;
  std::vector<std::string> Keys() const;  // lower-cased, in alphabetical order
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::map<std::string, std::string> values_;  // keys lower-cased
};

// The text with the values of its password keys (PWD, Password) replaced by "***", also inside
// a wrapped "ConnectString={...}": what messages and logs may show of a connection string.
std::string RedactConnectionString(std::string_view text);

// Backends register themselves under a provider name ("SQLite", "ODBC"). OpenConnection picks
// one by the string's "Provider" key; without one, a Driver or a DSN names ODBC and a Data
// Source the embedded engine. A string that names none, or a provider no backend registered,
// is a ComError that says so: nothing is opened or created on a guess.
std::string ProviderOf(const ConnectionString& cs);  // lower-cased; empty when none
using ConnectionFactory = std::function<ConnectionPtr(const ConnectionString&)>;
// "ConnectString={inner}" answers inner (unwrapped again if need be); any other text itself.
std::string UnwrapConnectString(std::string_view connection_string);
void RegisterBackend(std::string provider, ConnectionFactory factory);
ConnectionPtr OpenConnection(std::string_view connection_string);

}  // namespace ambit

#endif  // AMBIT_DATA_CONNECTION_H_
