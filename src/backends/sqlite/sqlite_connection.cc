#include "backends/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <atomic>

#include "backends/sqlite/fault_injection.h"
#include "base/com_error.h"
#include "tsql/session.h"

namespace ambit {
namespace {

std::atomic<StatementFault*> installed_fault{nullptr};

}  // namespace

void SetStatementFault(StatementFault* fault) { installed_fault.store(fault); }

SqliteConnection::SqliteConnection(const std::string& path)
    : session_(std::make_unique<tsql::Session>()) {
  session_->Open(path);
}

SqliteConnection::~SqliteConnection() = default;

RecordsetPtr SqliteConnection::Execute(std::string_view sql) {
  std::lock_guard lock(mu_);
  StatementFault* fault = installed_fault.load(std::memory_order_relaxed);
  if (!fault) return session_->Execute(sql);
  fault->Before(sql);
  RecordsetPtr result = session_->Execute(sql);
  fault->After(sql);
  return result;
}

void SqliteConnection::BeginTrans() {
  std::lock_guard lock(mu_);
  session_->BeginTrans();
}

void SqliteConnection::CommitTrans() {
  std::lock_guard lock(mu_);
  session_->CommitTrans();
}

void SqliteConnection::RollbackTrans() {
  std::lock_guard lock(mu_);
  session_->RollbackTrans();
}

int SqliteConnection::TransactionDepth() const {
  std::lock_guard lock(mu_);
  return session_->trancount();
}

void SqliteConnection::Reset() {
  std::lock_guard lock(mu_);
  session_->Reset();
}

std::vector<InfoMessage> SqliteConnection::TakeMessages() {
  std::lock_guard lock(mu_);
  return session_->TakeMessages();
}

FailedBatchResults SqliteConnection::TakeFailedBatchResults() {
  std::lock_guard lock(mu_);
  return session_->TakeFailedBatchResults();
}

bool SqliteConnection::OneWriterAtATime() const {
  std::lock_guard lock(mu_);
  const char* file = sqlite3_db_filename(session_->db().handle(), "main");
  return file && *file;
}

void SqliteConnection::TuneForWriting() {
  std::lock_guard lock(mu_);
  session_->db().ExecScript("PRAGMA cache_size = -" + std::to_string(kWriterCacheKib));
}

// No lock: the batch to stop holds it.
void SqliteConnection::Cancel() { session_->Cancel(); }

void RegisterSqliteBackend() {
  RegisterBackend("SQLite", [](const ConnectionString& cs) -> ConnectionPtr {
    // A key this backend does not know means the string was meant for another one (a server's
    // Server, Database, UID): opening a file anyway would answer from an empty new account.
    std::string unknown;
    for (const std::string& key : cs.Keys())
      if (key != "provider" && key != "data source") unknown += (unknown.empty() ? "" : ", ") + key;
    if (!unknown.empty()) {
      throw ComError(err::kInvalidArgument, kDataErrorSource,
                     "The embedded backend does not understand " + unknown + " in '" +
                         RedactConnectionString(cs.text()) +
                         "': it takes only Provider=SQLite and Data Source=<file>.");
    }
    std::string path = cs.Get("Data Source");
    if (path.empty()) {
      throw ComError(err::kInvalidArgument, kDataErrorSource,
                     "The connection string names no Data Source: '" +
                         RedactConnectionString(cs.text()) + "'.");
    }
    return std::make_shared<SqliteConnection>(path);
  });
}

}  // namespace ambit
