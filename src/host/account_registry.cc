#include "host/account_registry.h"

#include <algorithm>

#include "base/com_error.h"
#include "base/text.h"
#include "data/connection.h"

namespace ambit {

AccountRegistry::AccountRegistry(AccountOptions options, ConnectionPool::Opener opener)
    : options_(options),
      opener_(opener ? std::move(opener) : ConnectionPool::Opener([](const std::string& s) {
        return OpenConnection(s);
      })) {}

void AccountRegistry::AddAccount(std::string name, std::string connection_string) {
  std::lock_guard lock(mu_);
  std::string key = ToLowerAscii(name);
  if (accounts_.count(key) == 0) names_.push_back(name);
  accounts_[key] = std::move(connection_string);
}

std::string AccountRegistry::ConnectionStringFor(std::string_view requested) const {
  // Callers that speak the host's own form pass "ConnectString={demo}".
  std::string unwrapped = UnwrapConnectString(requested);
  std::string_view data_source = unwrapped;
  auto it = accounts_.find(ToLowerAscii(data_source));
  if (it != accounts_.end()) return it->second;
  if (options_.allow_connection_strings && !data_source.empty()) return std::string(data_source);
  throw ComError(err::kUnexpected, "ambit-order.host",
                 "Data source name not found: no account named '" +
                     RedactConnectionString(data_source) + "' is served here.");
}

std::shared_ptr<ConnectionPool> AccountRegistry::PoolFor(std::string_view requested) {
  std::lock_guard lock(mu_);
  return PoolForLocked(ConnectionStringFor(requested));
}

std::shared_ptr<ConnectionPool> AccountRegistry::PoolForLocked(
    const std::string& connection_string) {
  auto found = pools_.find(connection_string);
  if (found != pools_.end()) return found->second;
  if (options_.prepare_account) {
    // Before the pool exists: a failure leaves none behind, and the next call tries again.
    ConnectionPtr conn = opener_(connection_string);
    options_.prepare_account(*conn);
  }
  auto pool = std::make_shared<ConnectionPool>(connection_string, options_.pool_size,
                                               options_.acquire_timeout, opener_);
  pools_.emplace(connection_string, pool);
  return pool;
}

std::shared_ptr<ConnectionPool> AccountRegistry::WritePoolFor(std::string_view requested) {
  std::lock_guard lock(mu_);
  std::string connection_string = ConnectionStringFor(requested);
  auto found = write_pools_.find(connection_string);
  if (found != write_pools_.end())
    return found->second ? found->second : PoolForLocked(connection_string);
  std::shared_ptr<ConnectionPool> common = PoolForLocked(connection_string);
  // Which kind of backend serves the account shows only on a connection: one is opened, to
  // be the writer or else to join the common pool.
  ConnectionPtr first = opener_(connection_string);
  if (!first->OneWriterAtATime()) {
    common->Adopt(std::move(first));
    write_pools_.emplace(connection_string, nullptr);
    return common;
  }
  auto opener = [opener = opener_](const std::string& cs) {
    ConnectionPtr c = opener(cs);
    c->TuneForWriting();
    return c;
  };
  first->TuneForWriting();
  auto pool =
      std::make_shared<ConnectionPool>(connection_string, 1, options_.acquire_timeout, opener);
  pool->Adopt(std::move(first));
  write_pools_.emplace(connection_string, pool);
  return pool;
}

std::string AccountRegistry::default_account() const {
  std::lock_guard lock(mu_);
  return names_.empty() ? std::string() : names_.front();
}

std::vector<std::string> AccountRegistry::account_names() const {
  std::lock_guard lock(mu_);
  return names_;
}

}  // namespace ambit
