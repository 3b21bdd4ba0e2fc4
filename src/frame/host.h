// What the component needs of the application-server host: the per-thread global context
// service, the call context of the current call, the logged-in user, and objects created by
// program identifier. The real host lives in src/host/; tests use LocalHost (local_host.h).
#ifndef AMBIT_FRAME_HOST_H_
#define AMBIT_FRAME_HOST_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/variant.h"
#include "data/connection.h"

namespace ambit {

class UserLogin {
 public:
  virtual ~UserLogin() = default;
  virtual std::string LoginToken() const = 0;
  virtual int16_t UserID() const = 0;
  virtual std::string LanguageCode() const = 0;
};
using UserLoginPtr = std::shared_ptr<UserLogin>;

class CallContext {
 public:
  virtual ~CallContext() = default;
  // The current call failed: the host must not keep its work on the connection.
  virtual void Abort() = 0;
  virtual void BeginCall() = 0;
  virtual UserLoginPtr CurrentUser() = 0;
  // Opens the account named by the connection string, or attaches the call to it.
  virtual Variant OpenDataSource(const std::string& connection_string) = 0;
  virtual std::string DataSourceName() = 0;
  // The connection of the opened data source; a ComError when none is open.
  virtual ConnectionPtr Connection() = 0;
  // Whatever connection the context holds now (may be null); opens nothing.
  virtual ConnectionPtr CurrentConnection() = 0;
  // A fire-and-forget call to an outside service, made once the call has ended and its work
  // is committed: it must not run while the call holds the account's write lock (a service may
  // take its whole timeout). A call that fails or aborts drops it. It must not raise.
  virtual void AfterCommit(std::function<void()> outside_call) = 0;
};
using CallContextPtr = std::shared_ptr<CallContext>;

class GlobalContextService {
 public:
  virtual ~GlobalContextService() = default;
  virtual CallContextPtr GetCallContext() = 0;
};

// The calling thread's service, created on first use from the installed factory and kept for
// the thread's life. A ComError when no host has installed a factory.
GlobalContextService& ThreadContextService();
// Installed once by the host at start-up.
void SetContextServiceFactory(std::function<std::unique_ptr<GlobalContextService>()> factory);
// Drops the calling thread's service (tests and host shutdown).
void ResetThreadContextService();

// Objects created by program identifier ("ZOREdiz.SystemProfile", "WSCript.shell", ...). An
// identifier nobody registered raises error 429, as creating an unregistered object does.
using HostObjectFactory = std::function<ObjectPtr()>;
void RegisterHostObject(std::string prog_id, HostObjectFactory factory);
void UnregisterHostObject(std::string_view prog_id);
ObjectPtr CreateHostObject(std::string_view prog_id);

// Registry values (RegistryRead). The host installs a reader; without one every read answers
// the default.
class RegistryReader {
 public:
  virtual ~RegistryReader() = default;
  // nullopt-like: returns false when the value does not exist.
  virtual bool Read(std::string_view key_path, std::string_view value_name, Variant* value) = 0;
};
void SetRegistryReader(std::shared_ptr<RegistryReader> reader);
// value_type is the caller's expected type; the answer is converted to the default's type.
Variant RegistryRead(std::string_view key_path, std::string_view value_name,
                     const Variant& default_value);

}  // namespace ambit

#endif  // AMBIT_FRAME_HOST_H_
