// The frame every public method runs in: arm the error path, BeginCall, InitContext(sDsn), take
// the call's connection, run the body; on failure Abort (update class only) and raise the error
// again under the method's own source. Writing it once keeps a hundred methods short.
#ifndef AMBIT_FRAME_METHOD_FRAME_H_
#define AMBIT_FRAME_METHOD_FRAME_H_

#include <exception>
#include <string>
#include <string_view>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/collections.h"
#include "frame/host.h"

namespace ambit {

enum class ComponentClass { kOrderInfo, kOrderUpdate, kColumnsSet };

// Transaction modes of the host's enumeration: 2 = the host wraps each call in a transaction,
// 3 = the call runs without one.
inline constexpr int kTransModeRequiresTransaction = 2;
inline constexpr int kTransModeNoTransaction = 3;

// The public class name, and the class part of error sources (which differs for the column
// defaults class).
std::string_view ClassName(ComponentClass cls);
std::string_view ErrorClassName(ComponentClass cls);

// Base of the three public classes: holds the call context and the user login between calls,
// and nothing else.
class Component {
 public:
  // Start-up: takes the thread's context service and stores its call context and user. Fails
  // with the host's error when there is no host.
  explicit Component(ComponentClass cls);
  // Tear-down makes no call on either object.
  virtual ~Component() = default;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  ComponentClass component_class() const { return class_; }
  int TransMode() const;

  // Re-reads the call context, opens the data source and re-reads the user.
  void InitContext(const std::string& sDsn);

  CallContext& call_context() const { return *call_context_; }
  const UserLoginPtr& user_login() const { return user_login_; }

  // The common error path: Abort for the update class, then the same error under the
  // source "AmbitOrder.<Class>.<method>".
  [[noreturn]] void RaiseFromMethod(std::string_view method, std::exception_ptr error);

 private:
  ComponentClass class_;
  CallContextPtr call_context_;
  UserLoginPtr user_login_;
};

// What a method body gets from the frame.
struct MethodScope {
  Component& self;
  std::string sDsn;
  ConnectionPtr connection;
  Connection& conn() const { return *connection; }
};

namespace frame_internal {
// Steps 4-5: BeginCall, and the update class's early look at the current connection.
void BeginFrame(Component& self);
// Steps 7-8: InitContext and the call's connection.
MethodScope OpenScope(Component& self, std::string sDsn);
}  // namespace frame_internal

// The frame for a method that receives its connection string as `sDsn`.
template <class Body>
auto RunMethod(Component& self, std::string_view method, const std::string& sDsn, Body&& body)
    -> decltype(body(std::declval<MethodScope&>())) {
  try {
    frame_internal::BeginFrame(self);
    MethodScope scope = frame_internal::OpenScope(self, sDsn);
    return body(scope);
  } catch (...) {
    self.RaiseFromMethod(method, std::current_exception());
  }
}

// The frame for a method whose connection string is "sDSN" of `dctPara`: without that key it
// answers `empty` at once, touching nothing.
template <class R, class Body>
R RunDictionaryMethod(Component& self, std::string_view method, const DictionaryPtr& dctPara,
                      R empty, Body&& body) {
  if (!dctPara || !dctPara->Lookup("sDSN")) return empty;
  try {
    frame_internal::BeginFrame(self);
    MethodScope scope = frame_internal::OpenScope(self, CStr(dctPara->Value("sDSN")));
    return body(scope);
  } catch (...) {
    self.RaiseFromMethod(method, std::current_exception());
  }
}

}  // namespace ambit

#endif  // AMBIT_FRAME_METHOD_FRAME_H_
