// The accounts a host serves: names clients use as their connection string ("demo"), each
// mapped to a real connection string and one bounded connection pool. Connections are opened
// through OpenConnection, so any registered backend (the embedded engine, ODBC) plugs in here.
#ifndef AMBIT_HOST_ACCOUNT_REGISTRY_H_
#define AMBIT_HOST_ACCOUNT_REGISTRY_H_

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/connection_pool.h"

namespace ambit {

struct AccountOptions {
  size_t pool_size = 8;
  std::chrono::milliseconds acquire_timeout{30000};
  // A server must not let clients name arbitrary files or servers; the in-process command
  // line may.
  bool allow_connection_strings = false;
  // Runs once on a connection of each account before its pool serves the first call: the
  // command line brings accounts of earlier releases up to the current schema here.
  std::function<void(Connection& conn)> prepare_account;
};

class AccountRegistry {
 public:
  // `opener` defaults to OpenConnection.
  explicit AccountRegistry(AccountOptions options = {}, ConnectionPool::Opener opener = nullptr);
  AccountRegistry(const AccountRegistry&) = delete;
  AccountRegistry& operator=(const AccountRegistry&) = delete;

  // Names are case-insensitive; a second registration of a name replaces the first.
  void AddAccount(std::string name, std::string connection_string);

  // The pool serving a data source: a registered account name, or (when allowed) a connection
  // string itself. A ComError naming the data source otherwise.
  std::shared_ptr<ConnectionPool> PoolFor(std::string_view data_source);
  // The pool a transaction on the data source takes its connection from: for a database that
  // lets one writer in at a time, a pool of one connection of its own (every writer of this
  // process waits for it in order of arrival, and it stays warm with what writers touch);
  // PoolFor otherwise.
  std::shared_ptr<ConnectionPool> WritePoolFor(std::string_view data_source);

  // The name of the first account registered; empty when there is none.
  std::string default_account() const;
  std::vector<std::string> account_names() const;
  const AccountOptions& options() const { return options_; }

 private:
  // mu_ held for both.
  std::string ConnectionStringFor(std::string_view data_source) const;
  std::shared_ptr<ConnectionPool> PoolForLocked(const std::string& connection_string);

  const AccountOptions options_;
  const ConnectionPool::Opener opener_;
  mutable std::mutex mu_;
  std::vector<std::string> names_;               // in registration order
  std::map<std::string, std::string> accounts_;  // lower-cased name -> connection string
  std::map<std::string, std::shared_ptr<ConnectionPool>> pools_;  // by connection string
  // By connection string; null for a backend whose writers share the common pool.
  std::map<std::string, std::shared_ptr<ConnectionPool>> write_pools_;
};

}  // namespace ambit

#endif  // AMBIT_HOST_ACCOUNT_REGISTRY_H_
