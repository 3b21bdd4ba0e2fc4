// The embedded backend: a Connection that runs T-SQL on SQLite through the engine in src/tsql.
//
// Connection strings: "Provider=SQLite;Data Source=path/to/account.db" (the file is created when
// missing) or "Data Source=:memory:" (a private database that lives as long as the connection).
// A string without Provider but with a Data Source picks this backend; any other key is refused.
#ifndef AMBIT_BACKENDS_SQLITE_SQLITE_CONNECTION_H_
#define AMBIT_BACKENDS_SQLITE_SQLITE_CONNECTION_H_

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "data/connection.h"

namespace ambit {

namespace tsql {
class Session;
}

class SqliteConnection : public Connection {
 public:
  explicit SqliteConnection(const std::string& path);
  ~SqliteConnection() override;

  RecordsetPtr Execute(std::string_view sql) override;
  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionDepth() const override;
  void Reset() override;
  std::string_view BackendName() const override { return "sqlite"; }
  // A file database; a private in-memory one is not shared with another connection at all.
  bool OneWriterAtATime() const override;
  // A page cache large enough for what the writes of a busy account read: without it a
  // transaction reads the same pages from the file again and again. What writes read again is
  // small (an order's rows, the indexes above them, the end of the log); past that the cache
  // only gathers pages of orders written once. At 64 MB it grew through an hour of mixed load
  // with no gain a 20-second run could tell from 16 MB or 8 MB.
  void TuneForWriting() override;
  static constexpr int kWriterCacheKib = 16 * 1024;

  std::vector<InfoMessage> TakeMessages() override;
  FailedBatchResults TakeFailedBatchResults() override;
  void Cancel() override;
  tsql::Session& session() { return *session_; }

 private:
  mutable std::mutex mu_;  // one statement at a time, as on a SQL Server connection
  std::unique_ptr<tsql::Session> session_;
};

// Registers the backend under "SQLite" (and as the default). Safe to call more than once.
void RegisterSqliteBackend();

}  // namespace ambit

#endif  // AMBIT_BACKENDS_SQLITE_SQLITE_CONNECTION_H_
