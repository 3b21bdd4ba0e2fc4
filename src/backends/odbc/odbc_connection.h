// The server backend: a Connection to a database server through the ODBC driver manager
// (unixODBC), in production SQL Server through the FreeTDS driver. The T-SQL text the methods
// build goes to the server unchanged; results come back materialised, as from the embedded
// engine, and errors carry the server's own numbers.
//
// Connection strings are ODBC's own: "Driver=FreeTDS;Server=host;Port=1433;Database=erp;
// UID=user;PWD=secret;TDS_Version=7.4" or "DSN=erp;UID=user;PWD=secret". Two keys are ours and
// not passed on: "LoginTimeout=N" bounds how long connecting may take, in seconds (15 unless
// given); "QueryTimeout=N" bounds each statement (none unless given): a server that stops
// answering mid-call then fails the call, and the connection is dropped.
#ifndef AMBIT_BACKENDS_ODBC_ODBC_CONNECTION_H_
#define AMBIT_BACKENDS_ODBC_ODBC_CONNECTION_H_

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "backends/odbc/odbc_handles.h"
#include "data/connection.h"

namespace ambit {

class OdbcConnection : public Connection {
 public:
  // Connects at once; an OdbcError (a ComError) naming the server and the driver's reason when
  // it cannot within the login timeout.
  explicit OdbcConnection(const ConnectionString& cs);
  ~OdbcConnection() override;

  RecordsetPtr Execute(std::string_view sql) override;
  // The result sets of the last Execute that failed, around its first error (SQL Server goes on
  // after an error that ends only its statement).
  FailedBatchResults TakeFailedBatchResults() override;
  RecordsetPtr ExecuteCommand(Command& command) override;
  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionDepth() const override;
  // Rolls back, and on SQL Server drops the session's temporary tables. Throws when the link to
  // the server was lost, so that a pool drops the connection instead of lending it out again.
  void Reset() override;
  std::string_view BackendName() const override { return "odbc"; }

  // What the driver calls the server's product ("Microsoft SQL Server", "SQLite").
  const std::string& dbms_name() const { return dbms_name_; }
  bool is_sql_server() const;

 private:
  // Runs `work`; an error that says the link is gone marks the connection broken.
  void Guarded(const std::function<void()>& work);
  void CheckUsable() const;
  odbc::Handle NewStatement();
  void SetAutocommit(bool on);
  void EndTransaction(SQLSMALLINT completion);

  mutable std::mutex mu_;  // one statement at a time: ODBC connections are not shared
  odbc::Handle dbc_;
  bool connected_ = false;
  bool broken_ = false;
  int depth_ = 0;
  long query_timeout_ = 0;  // seconds; 0: none
  std::string dbms_name_;
  std::string target_;  // driver, server and database, for messages (never the password)
  FailedBatchResults failed_;
};

// The ODBC text of a connection string: our own keys (Provider, LoginTimeout) left out, every
// other key passed on as written.
std::string OdbcConnectString(const ConnectionString& cs);

// Registers the backend under "ODBC"; OpenConnection also picks it for a string that names a
// Driver or a DSN. Safe to call more than once.
void RegisterOdbcBackend();

}  // namespace ambit

#endif  // AMBIT_BACKENDS_ODBC_ODBC_CONNECTION_H_
