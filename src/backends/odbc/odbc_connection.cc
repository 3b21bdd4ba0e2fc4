#include "backends/odbc/odbc_connection.h"

#include <algorithm>
#include <cstdlib>

#include "backends/odbc/odbc_results.h"
#include "base/text.h"

namespace ambit {
namespace {

using odbc::Handle;
using odbc::OdbcError;
using odbc::Succeeded;

constexpr int kDefaultLoginTimeoutSeconds = 15;

// What a pool's next user must not inherit from a SQL Server session: an open transaction and
// the session's #temp tables. The server keeps a local temp table as "#name", padded with "_"
// to 116 characters, and a 12-character suffix; OBJECT_ID('tempdb..#name') finds only this
// session's own. (A name that itself ends in "_" is not recognised and stays until the
// connection closes.)
constexpr char kSqlServerReset[] =
    "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\n"
    "DECLARE @ambit_drop nvarchar(max)\r\n"
    "SET @ambit_drop = N''\r\n"
    "SELECT @ambit_drop = @ambit_drop + N'DROP TABLE ' + QUOTENAME(n.base) + N';'\r\n"
    "FROM (SELECT t.object_id, REVERSE(SUBSTRING(REVERSE(LEFT(t.name, 116)),\r\n"
    "        PATINDEX(N'%[^_]%', REVERSE(LEFT(t.name, 116))), 116)) AS base\r\n"
    "      FROM tempdb.sys.tables t\r\n"
    "      WHERE t.name LIKE N'#%' AND t.name NOT LIKE N'##%') n\r\n"
    "WHERE OBJECT_ID(N'tempdb..' + QUOTENAME(n.base)) = n.object_id\r\n"
    "IF @ambit_drop <> N'' EXEC sp_executesql @ambit_drop\r\n";

bool IsOurKey(const std::string& key) {
  return key == "provider" || key == "logintimeout" || key == "querytimeout";
}

std::string Quoted(const std::string& value) {
  bool plain = value.find_first_of(";{}") == std::string::npos && value == TrimBlanks(value);
  if (plain) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';  // ODBC doubles a closing brace inside braces
  }
  return out + "}";
}

// "FreeTDS, server db1:1433, database erp": enough to tell which server failed, no secrets.
std::string DescribeTarget(const ConnectionString& cs) {
  std::string out = cs.Has("DSN") ? "DSN " + cs.Get("DSN") : "driver " + cs.Get("Driver");
  std::string server = cs.Get("Server");
  if (server.empty()) server = cs.Get("Servername");
  if (!server.empty()) {
    out += ", server " + server;
    if (cs.Has("Port")) out += ":" + cs.Get("Port");
  }
  if (cs.Has("Database")) out += ", database " + cs.Get("Database");
  return out;
}

std::string GetInfoText(const Handle& dbc, SQLUSMALLINT what) {
  SQLCHAR text[256] = {};
  SQLSMALLINT bytes = 0;
  if (!Succeeded(SQLGetInfo(dbc.get(), what, text, sizeof(text), &bytes))) return "";
  return std::string(reinterpret_cast<char*>(text), std::min<size_t>(bytes, sizeof(text) - 1));
}

bool IsFreeTds(const ConnectionString& cs) {
  std::string driver = ToLowerAscii(cs.Get("Driver"));
  return driver.find("freetds") != std::string::npos || driver.find("tdsodbc") != std::string::npos;
}

}  // namespace

std::string OdbcConnectString(const ConnectionString& cs) {
  std::string out;
  // The driver manager reads DSN or DRIVER first; the order of the rest does not matter.
  for (const char* first : {"dsn", "driver"})
    if (cs.Has(first)) out += std::string(first) + "=" + Quoted(cs.Get(first)) + ";";
  for (const std::string& key : cs.Keys()) {
    if (IsOurKey(key) || key == "dsn" || key == "driver") continue;
    out += key + "=" + Quoted(cs.Get(key)) + ";";
  }
  // Text travels as UTF-8 (see odbc_handles.h); FreeTDS otherwise assumes the server's code page.
  if (IsFreeTds(cs) && !cs.Has("ClientCharset")) out += "ClientCharset=UTF-8;";
  return out;
}

OdbcConnection::OdbcConnection(const ConnectionString& cs)
    : dbc_(odbc::Allocate(SQL_HANDLE_DBC, odbc::Environment())), target_(DescribeTarget(cs)) {
  long timeout = kDefaultLoginTimeoutSeconds;
  if (cs.Has("LoginTimeout")) timeout = std::strtol(cs.Get("LoginTimeout").c_str(), nullptr, 10);
  if (timeout < 1) timeout = kDefaultLoginTimeoutSeconds;
  SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout)), 0);
  std::string text = OdbcConnectString(cs);
  SQLSMALLINT out_length = 0;
  SQLRETURN rc = SQLDriverConnect(dbc_.get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                  static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &out_length,
                                  SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    odbc::Diagnostics diag = odbc::ReadDiagnostics(dbc_);
    throw OdbcError(odbc::ToComError(diag, "Cannot connect to the database (" + target_ +
                                               ", login timeout " + std::to_string(timeout) +
                                               " s)"),
                    true);
  }
  connected_ = true;
  dbms_name_ = GetInfoText(dbc_, SQL_DBMS_NAME);
  if (cs.Has("QueryTimeout"))
    query_timeout_ = std::max(0L, std::strtol(cs.Get("QueryTimeout").c_str(), nullptr, 10));
}

odbc::Handle OdbcConnection::NewStatement() {
  Handle stmt = odbc::Allocate(SQL_HANDLE_STMT, dbc_.get());
  if (query_timeout_ > 0)
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(query_timeout_)), 0);
  return stmt;
}

OdbcConnection::~OdbcConnection() {
  if (!connected_) return;
  if (depth_ > 0) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
  SQLDisconnect(dbc_.get());
}

bool OdbcConnection::is_sql_server() const {
  return dbms_name_.find("SQL Server") != std::string::npos;
}

void OdbcConnection::Guarded(const std::function<void()>& work) {
  CheckUsable();
  try {
    work();
  } catch (const OdbcError& e) {
    if (e.connection_lost()) broken_ = true;
    throw;
  }
}

void OdbcConnection::CheckUsable() const {
  if (broken_)
    throw ComError(err::kUnexpected, odbc::kOdbcErrorSource,
                   "The connection to the database (" + target_ + ") was lost.");
}

RecordsetPtr OdbcConnection::Execute(std::string_view sql) {
  std::lock_guard lock(mu_);
  RecordsetPtr result;
  failed_ = {};
  Guarded([&] {
    Handle stmt = NewStatement();
    std::string text(sql);
    SQLRETURN rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLINTEGER>(text.size()));
    result = odbc::ReadResults(stmt, rc, &failed_);
  });
  return result;
}

FailedBatchResults OdbcConnection::TakeFailedBatchResults() {
  std::lock_guard lock(mu_);
  return std::move(failed_);
}

void OdbcConnection::SetAutocommit(bool on) {
  SQLPOINTER value = reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
  if (!Succeeded(SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT, value, 0)))
    odbc::ThrowDiagnostics(dbc_, on ? "Cannot end the transaction" : "Cannot begin a transaction");
}

void OdbcConnection::EndTransaction(SQLSMALLINT completion) {
  depth_ = 0;
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), completion);
  if (!Succeeded(rc)) {
    odbc::Diagnostics diag = odbc::ReadDiagnostics(dbc_);
    // A commit that failed must not leave its work pending for the next statement.
    if (completion == SQL_COMMIT) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                      reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    throw OdbcError(odbc::ToComError(diag, completion == SQL_COMMIT
                                               ? "The transaction could not be committed"
                                               : "The transaction could not be rolled back"),
                    diag.connection_lost());
  }
  SetAutocommit(true);
}

void OdbcConnection::BeginTrans() {
  std::lock_guard lock(mu_);
  Guarded([&] {
    if (depth_ == 0) SetAutocommit(false);
    ++depth_;
  });
}

void OdbcConnection::CommitTrans() {
  std::lock_guard lock(mu_);
  Guarded([&] {
    if (depth_ == 0)
      throw ComError(3902, odbc::kOdbcErrorSource,
                     "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    if (depth_ == 1) {
      EndTransaction(SQL_COMMIT);
    } else {
      --depth_;
    }
  });
}

void OdbcConnection::RollbackTrans() {
  std::lock_guard lock(mu_);
  Guarded([&] {
    if (depth_ == 0)
      throw ComError(3903, odbc::kOdbcErrorSource,
                     "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    EndTransaction(SQL_ROLLBACK);
  });
}

int OdbcConnection::TransactionDepth() const {
  std::lock_guard lock(mu_);
  return depth_;
}

void OdbcConnection::Reset() {
  {
    std::lock_guard lock(mu_);
    CheckUsable();
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (Succeeded(SQLGetConnectAttr(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
        dead == SQL_CD_TRUE) {
      broken_ = true;
      CheckUsable();
    }
    if (depth_ > 0) Guarded([&] { EndTransaction(SQL_ROLLBACK); });
  }
  if (is_sql_server()) Execute(kSqlServerReset);
}

void RegisterOdbcBackend() {
  RegisterBackend("ODBC", [](const ConnectionString& cs) -> ConnectionPtr {
    if (!cs.Has("Driver") && !cs.Has("DSN")) {
      throw ComError(err::kInvalidArgument, odbc::kOdbcErrorSource,
                     "An ODBC connection string names a Driver or a DSN: '" +
                         RedactConnectionString(cs.text()) + "'.");
    }
    return std::make_shared<OdbcConnection>(cs);
  });
}

}  // namespace ambit
