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

std::shared_ptr<ConnectionPool> AccountRegistry::PoolFor(std::string_view requested) {
  // Callers that speak the host's own form pass "ConnectString={demo}".
  std::string unwrapped = UnwrapConnectString(requested);
  std::string_view data_source = unwrapped;
  std::lock_guard lock(mu_);
  std::string connection_string;
  auto it = accounts_.find(ToLowerAscii(data_source));
  if (it != accounts_.end()) {
    connection_string = it->second;
  } else if (options_.allow_connection_strings && !data_source.empty()) {
    connection_string = std::string(data_source);
  } else {
    throw ComError(err::kUnexpected, "ambit-order.host",
                   "Data source name not found: no account named '" +
                       RedactConnectionString(data_source) + "' is served here.");
  }
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

std::string AccountRegistry::default_account() const {
  std::lock_guard lock(mu_);
  return names_.empty() ? std::string() : names_.front();
}

std::vector<std::string> AccountRegistry::account_names() const {
  std::lock_guard lock(mu_);
  return names_;
}

}  // namespace ambit
