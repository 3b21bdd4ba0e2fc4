// Runs one call of a registered method the way the application server does: finds the class and
// method, creates the component inside a fresh call context (user, client address), runs it
// with JSON arguments, and commits or rolls back the call's transaction by the class's TransMode.
// The server and `ambit-order call` both go through it.
#ifndef AMBIT_HOST_DISPATCHER_H_
#define AMBIT_HOST_DISPATCHER_H_

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "classes/invoke_json.h"
#include "classes/method_table.h"
#include "host/account_registry.h"
#include "host/call_gate.h"

namespace ambit {

// The class or the method does not exist (the server answers 404). Numbers as the platform
// raised them: 429 for a class nobody registered, 438 for a member the object lacks.
class NotFoundError : public ComError {
 public:
  using ComError::ComError;
};
inline constexpr int32_t kMemberNotFound = 438;
// A call that aborted and still returned: its work was rolled back (CONTEXT_E_ABORTED).
inline constexpr int32_t kCallAborted = static_cast<int32_t>(0x8004E002);

struct CallRequest {
  std::string class_name;
  std::string method;
  // An object of named arguments or an array of positional ones.
  nlohmann::ordered_json args = nlohmann::ordered_json::object();
  UserLoginPtr user;
  std::string client_address;
};

class Dispatcher {
 public:
  // `tables`: the classes to serve (production passes AllClassTables()); they must outlive the
  // dispatcher. Installs the host's context service for the process. At most `heavy_slots`
  // calls of heavy methods run at once, `heavy_nice` steps below the callers' priority; the
  // others wait their turn.
  Dispatcher(AccountRegistry& accounts, std::vector<const MethodTable*> tables,
             size_t heavy_slots = DefaultHeavyCallSlots(),
             int heavy_nice = kDefaultHeavyCallNice);

  // {"result": ..., "out": {...}}. Raises NotFoundError, ArgumentError (arguments that do not
  // fit, nothing ran) or the method's ComError (its transaction rolled back).
  nlohmann::ordered_json Call(const CallRequest& request);
  // The same call, its answer not yet JSON: the server writes it straight to the client. An
  // answer that could not be written fails the call before its transaction ends.
  CallAnswer Invoke(const CallRequest& request);

  // {"classes": [DescribeTable of each class]}.
  nlohmann::ordered_json Catalogue() const;
  // The served classes as an OpenAPI 3.1 document (OpenApiDocument).
  nlohmann::ordered_json OpenApi() const;

  // Case-insensitive; nullptr when the class is not served.
  const MethodTable* FindTable(std::string_view class_name) const;

  AccountRegistry& accounts() const { return accounts_; }
  const CallGate& heavy_calls() const { return heavy_calls_; }

 private:
  CallAnswer Run(const MethodTable& table, const MethodEntry& method, const CallRequest& request);

  AccountRegistry& accounts_;
  std::vector<const MethodTable*> tables_;
  CallGate heavy_calls_;
};

}  // namespace ambit

#endif  // AMBIT_HOST_DISPATCHER_H_
