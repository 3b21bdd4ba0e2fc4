// An in-process host for tests and for running methods without the application server: one
// call context per thread whose connections come from a factory. It records what the frame
// asked of it (calls begun, aborts, data sources opened) so tests can check the frame.
#ifndef AMBIT_FRAME_LOCAL_HOST_H_
#define AMBIT_FRAME_LOCAL_HOST_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frame/host.h"

namespace ambit {

class LocalUserLogin : public UserLogin {
 public:
  LocalUserLogin(std::string token, int16_t user_id, std::string language)
      : token_(std::move(token)), user_id_(user_id), language_(std::move(language)) {}
  std::string LoginToken() const override { return token_; }
  int16_t UserID() const override { return user_id_; }
  std::string LanguageCode() const override { return language_; }

 private:
  std::string token_;
  int16_t user_id_;
  std::string language_;
};

using ConnectionOpener = std::function<ConnectionPtr(const std::string& connection_string)>;

class LocalCallContext : public CallContext {
 public:
  LocalCallContext(ConnectionOpener opener, UserLoginPtr user)
      : opener_(std::move(opener)), user_(std::move(user)) {}

  void Abort() override { ++abort_count; }
  void BeginCall() override { ++begin_call_count; }
  UserLoginPtr CurrentUser() override { return user_; }
  Variant OpenDataSource(const std::string& connection_string) override;
  std::string DataSourceName() override { return data_source_; }
  ConnectionPtr Connection() override;
  ConnectionPtr CurrentConnection() override { return current_; }
  // Nothing here holds a transaction open across a call, so the call is made at once.
  void AfterCommit(std::function<void()> outside_call) override { outside_call(); }

  void set_user(UserLoginPtr user) { user_ = std::move(user); }

  int abort_count = 0;
  int begin_call_count = 0;
  std::vector<std::string> opened;  // every OpenDataSource argument, in order

 private:
  ConnectionOpener opener_;
  UserLoginPtr user_;
  std::string data_source_;
  ConnectionPtr current_;
  std::map<std::string, ConnectionPtr> connections_;  // one per data source, reused
};

// Installs itself as the process's context-service factory; every thread gets a service that
// answers `context()`.
class LocalHost {
 public:
  explicit LocalHost(ConnectionOpener opener,
                     UserLoginPtr user = std::make_shared<LocalUserLogin>("local", 16394, "CHS"));
  ~LocalHost();
  LocalHost(const LocalHost&) = delete;
  LocalHost& operator=(const LocalHost&) = delete;

  const std::shared_ptr<LocalCallContext>& context() const { return context_; }

 private:
  std::shared_ptr<LocalCallContext> context_;
};

}  // namespace ambit

#endif  // AMBIT_FRAME_LOCAL_HOST_H_
