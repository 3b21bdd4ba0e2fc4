// The host's side of one call: the user and client address from the request, the account
// connections the call attached to, and the transaction the host runs around an update call.
// The dispatcher makes a context the current call of its thread; the per-thread global context
// service hands that context to every component the call creates.
#ifndef AMBIT_HOST_CALL_CONTEXT_H_
#define AMBIT_HOST_CALL_CONTEXT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame/host.h"
#include "host/account_registry.h"

namespace ambit {

class HostUserLogin : public UserLogin {
 public:
  HostUserLogin(std::string login_token, int16_t user_id, std::string language_code)
      : login_token_(std::move(login_token)),
        user_id_(user_id),
        language_code_(std::move(language_code)) {}
  std::string LoginToken() const override { return login_token_; }
  int16_t UserID() const override { return user_id_; }
  std::string LanguageCode() const override { return language_code_; }

 private:
  std::string login_token_;
  int16_t user_id_;
  std::string language_code_;
};

class HostCallContext : public CallContext {
 public:
  // `transactional`: the call belongs to a class whose TransMode asks the host for a
  // transaction; each account the call opens then starts one.
  HostCallContext(AccountRegistry& accounts, UserLoginPtr user, std::string client_address,
                  bool transactional);
  // Whatever is still attached is rolled back and returned.
  ~HostCallContext() override;

  void Abort() override { aborted_ = true; }
  void BeginCall() override { ++begin_calls_; }
  UserLoginPtr CurrentUser() override { return user_; }
  Variant OpenDataSource(const std::string& connection_string) override;
  std::string DataSourceName() override { return data_source_; }
  ConnectionPtr Connection() override;
  ConnectionPtr CurrentConnection() override { return current_; }
  // Kept until Finish: made after a commit, dropped after a rollback.
  void AfterCommit(std::function<void()> outside_call) override {
    after_commit_.push_back(std::move(outside_call));
  }

  // The call's connection to `data_source`, attaching the call to it when it is not yet;
  // unlike OpenDataSource it leaves the current data source alone. For host services that
  // read the account on the method's behalf.
  ConnectionPtr ConnectionFor(const std::string& data_source);

  // The account whose connection a method gets when it asks for one without having opened a
  // data source (helpers that take no connection string); none by default.
  void set_served_account(std::string data_source) { served_account_ = std::move(data_source); }

  // Ends the call: commits each attached account when the call succeeded and nobody aborted,
  // rolls back otherwise, and returns every connection to its pool; after a commit it then
  // makes the queued outside calls. A failed commit rolls back the rest and raises the
  // commit's error. Safe to call twice.
  void Finish(bool succeeded);

  bool aborted() const { return aborted_; }
  int begin_calls() const { return begin_calls_; }
  bool transactional() const { return transactional_; }
  const std::string& client_address() const { return client_address_; }

 private:
  // The attachment serving `data_source`, acquiring (and beginning a transaction on) a pooled
  // connection when the call has none for its account yet.
  ConnectionPtr Attach(const std::string& data_source);

  struct Attached {
    std::string data_source;
    std::shared_ptr<ConnectionPool> pool;
    ConnectionPool::Lease lease;  // empty for a second name of an account already leased
    ConnectionPtr connection;
  };

  AccountRegistry& accounts_;
  UserLoginPtr user_;
  std::string client_address_;
  bool transactional_;
  bool aborted_ = false;
  int begin_calls_ = 0;
  std::string data_source_;
  std::string served_account_;
  ConnectionPtr current_;
  std::vector<Attached> attached_;
  std::vector<std::function<void()>> after_commit_;
};

// Makes `context` the current call of this thread until the scope ends, and makes sure the
// thread's global context service is the host's.
class CurrentCallScope {
 public:
  explicit CurrentCallScope(std::shared_ptr<HostCallContext> context);
  ~CurrentCallScope();
  CurrentCallScope(const CurrentCallScope&) = delete;
  CurrentCallScope& operator=(const CurrentCallScope&) = delete;

 private:
  std::shared_ptr<HostCallContext> previous_;
};

// The thread's current call; null outside a call.
std::shared_ptr<HostCallContext> CurrentHostCall();
// The client address of the thread's current call; empty outside a call or when unknown.
std::string CurrentClientAddress();

// Installs the host's global context service for every thread of the process.
void InstallHostContextService();

}  // namespace ambit

#endif  // AMBIT_HOST_CALL_CONTEXT_H_
