#include "host/call_context.h"

#include <cctype>

#include "base/com_error.h"
#include "base/text.h"
#include "frame/host_services.h"

namespace ambit {
namespace {

constexpr char kHostSource[] = "ambit-order.host";

thread_local std::shared_ptr<HostCallContext> current_call;

class HostContextService : public GlobalContextService {
 public:
  CallContextPtr GetCallContext() override {
    if (!current_call)
      throw ComError(err::kUnexpected, kHostSource,
                     "No call is in progress on this thread: components are created by the "
                     "host's dispatcher.");
    return current_call;
  }
};

}  // namespace

HostCallContext::HostCallContext(AccountRegistry& accounts, UserLoginPtr user,
                                 std::string client_address, bool transactional)
    : accounts_(accounts),
      user_(std::move(user)),
      client_address_(std::move(client_address)),
      transactional_(transactional) {}

HostCallContext::~HostCallContext() {
  try {
    Finish(false);
  } catch (...) {
    // Returning the connection resets it anyway; a destructor has nobody to tell.
  }
}

Variant HostCallContext::OpenDataSource(const std::string& connection_string) {
  current_ = Attach(connection_string);
  data_source_ = connection_string;
  return Variant(true);
}

ConnectionPtr HostCallContext::ConnectionFor(const std::string& data_source) {
  return Attach(data_source);
}

ConnectionPtr HostCallContext::Attach(const std::string& data_source) {
  for (Attached& a : attached_)
    if (EqualsNoCase(a.data_source, data_source)) return a.connection;
  std::shared_ptr<ConnectionPool> pool =
      transactional_ ? accounts_.WritePoolFor(data_source) : accounts_.PoolFor(data_source);
  // Two names of one account share its connection, so the call sees its own writes.
  for (Attached& a : attached_) {
    if (a.pool == pool) {
      ConnectionPtr shared = a.connection;
      attached_.push_back({data_source, std::move(pool), ConnectionPool::Lease(), shared});
      return shared;
    }
  }
  ConnectionPool::Lease lease = pool->Acquire();
  if (transactional_) lease->BeginTrans();
  ConnectionPtr connection = lease.connection();
  attached_.push_back({data_source, std::move(pool), std::move(lease), connection});
  return connection;
}

ConnectionPtr HostCallContext::Connection() {
  if (!current_ && !served_account_.empty()) OpenDataSource(served_account_);
  if (!current_)
    throw ComError(err::kUnexpected, kHostSource, "No data source is open in this call.");
  return current_;
}

void HostCallContext::Finish(bool succeeded) {
  std::vector<Attached> attached = std::move(attached_);
  attached_.clear();
  std::vector<std::function<void()>> outside_calls = std::move(after_commit_);
  after_commit_.clear();
  current_.reset();
  bool commit = succeeded && !aborted_;
  std::exception_ptr failure;
  for (Attached& a : attached) {
    // Calls without a host transaction get no commit: whatever they left open is rolled back
    // when the pool resets the connection.
    if (!transactional_ || !a.lease || a.lease->TransactionDepth() == 0) continue;
    try {
      if (commit && !failure) {
        a.lease->CommitTrans();
      } else {
        a.lease->RollbackTrans();
      }
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  attached.clear();  // back to the pools, reset
  if (failure) std::rethrow_exception(failure);
  if (!commit) return;
  // Only now, with the account free for other writers, may a slow service keep us waiting.
  for (std::function<void()>& call : outside_calls) {
    try {
      call();
    } catch (...) {
      // Fire-and-forget: the work is committed and nobody is left to tell.
    }
  }
}

CurrentCallScope::CurrentCallScope(std::shared_ptr<HostCallContext> context)
    : previous_(std::move(current_call)) {
  current_call = std::move(context);
  SetCallClientAddress(current_call ? current_call->client_address() : std::string());
  // A thread that ran under another host (a test host) may still hold that host's service.
  bool ours = false;
  try {
    ours = dynamic_cast<HostContextService*>(&ThreadContextService()) != nullptr;
  } catch (const ComError&) {
  }
  if (!ours) {
    InstallHostContextService();
    ResetThreadContextService();
  }
}

CurrentCallScope::~CurrentCallScope() {
  current_call = std::move(previous_);
  SetCallClientAddress(current_call ? current_call->client_address() : std::string());
}

std::shared_ptr<HostCallContext> CurrentHostCall() { return current_call; }

std::string CurrentClientAddress() {
  return current_call ? current_call->client_address() : std::string();
}

void InstallHostContextService() {
  SetContextServiceFactory([] { return std::make_unique<HostContextService>(); });
}

}  // namespace ambit
