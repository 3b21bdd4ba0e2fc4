#include "host/dispatcher.h"

#include <memory>
#include <optional>

#include "base/text.h"
#include "base/version.h"
#include "classes/invoke_json.h"
#include "classes/openapi.h"
#include "host/call_context.h"

namespace ambit {
namespace {

constexpr char kDispatchSource[] = "ambit-order.host";

// Methods take their connection string as an argument sDsn or strDSN, or as the "sDSN" key
// (any case) of their parameter Dictionary dctPara.
bool IsConnectionArgument(const ArgEntry& a) {
  return a.kind == ArgKind::kText &&
         (EqualsNoCase(a.name, "sDsn") || EqualsNoCase(a.name, "strDSN"));
}
bool IsParameterDictionary(const ArgEntry& a) {
  return a.kind == ArgKind::kDictionary && EqualsNoCase(a.name, "dctPara");
}

template <class Json>
Json* Member(Json& object, std::string_view name) {
  for (auto it = object.begin(); it != object.end(); ++it)
    if (EqualsNoCase(it.key(), name)) return &it.value();
  return nullptr;
}

// The value the call gives for argument `i`, by name or position; nullptr when left out.
template <class Json>
Json* Given(Json& args, const MethodEntry& method, size_t i) {
  if (args.is_array()) return i < args.size() ? &args[i] : nullptr;
  return Member(args, method.args[i].name);
}

// The first connection string the call names, in any spelling; "" when it names none.
std::string NamedAccount(const MethodEntry& method, const nlohmann::ordered_json& args) {
  for (size_t i = 0; i < method.args.size(); ++i) {
    const nlohmann::ordered_json* given = Given(args, method, i);
    if (given && IsParameterDictionary(method.args[i]) && given->is_object())
      given = Member(*given, "sDSN");
    else if (!IsConnectionArgument(method.args[i]))
      continue;
    if (given && given->is_string() && !given->get<std::string>().empty())
      return given->get<std::string>();
  }
  return "";
}

// Clients should not have to repeat the account in every spelling a method reads it: a call
// that leaves one out gets the account it names in another, or else the default account (the
// one a single-account server serves). A value the call gives, even an empty one, stays.
nlohmann::ordered_json WithAccountFilledIn(const MethodEntry& method,
                                           const nlohmann::ordered_json& args,
                                           const std::string& default_account) {
  if (!args.is_object() && !args.is_array()) return args;
  std::string account = NamedAccount(method, args);
  if (account.empty()) account = default_account;
  if (account.empty()) return args;
  nlohmann::ordered_json filled = args;
  for (size_t i = 0; i < method.args.size(); ++i) {
    const ArgEntry& a = method.args[i];
    if (IsConnectionArgument(a)) {
      if (nlohmann::ordered_json* given = Given(filled, method, i)) {
        if (given->is_null()) *given = account;
      } else if (filled.is_object()) {
        filled[a.name] = account;
      } else if (i == filled.size()) {  // a positional call leaves out only trailing ones
        filled.push_back(account);
      }
    } else if (IsParameterDictionary(a)) {
      nlohmann::ordered_json* para = Given(filled, method, i);
      if (!para || !para->is_object()) continue;
      if (nlohmann::ordered_json* dsn = Member(*para, "sDSN")) {
        if (dsn->is_null()) *dsn = account;
      } else {
        (*para)["sDSN"] = account;
      }
    }
  }
  return filled;
}

}  // namespace

Dispatcher::Dispatcher(AccountRegistry& accounts, std::vector<const MethodTable*> tables,
                       size_t heavy_slots, int heavy_nice)
    : accounts_(accounts), tables_(std::move(tables)), heavy_calls_(heavy_slots, heavy_nice) {
  InstallHostContextService();
}

const MethodTable* Dispatcher::FindTable(std::string_view class_name) const {
  for (const MethodTable* t : tables_)
    if (EqualsNoCase(t->class_name(), class_name)) return t;
  return nullptr;
}

nlohmann::ordered_json Dispatcher::Call(const CallRequest& request) {
  return AnswerToJson(Invoke(request));
}

CallAnswer Dispatcher::Invoke(const CallRequest& request) {
  const MethodTable* table = FindTable(request.class_name);
  if (!table)
    throw NotFoundError(err::kCannotCreateObject, kDispatchSource,
                        "No class named '" + request.class_name + "' is served here.");
  const MethodEntry* method = table->Find(request.method);
  if (!method)
    throw NotFoundError(
        kMemberNotFound, kDispatchSource,
        std::string(table->class_name()) + " has no method named '" + request.method + "'.");
  if (!method->heavy) return Run(*table, *method, request);
  // Before the context: a list that waits holds no connection.
  CallAnswer answer;
  heavy_calls_.Run([&] { answer = Run(*table, *method, request); });
  return answer;
}

CallAnswer Dispatcher::Run(const MethodTable& served_table, const MethodEntry& entry,
                           const CallRequest& request) {
  const MethodTable* table = &served_table;
  const MethodEntry* method = &entry;
  std::string served = accounts_.default_account();
  nlohmann::ordered_json args = WithAccountFilledIn(*method, request.args, served);
  std::string source =
      "AmbitOrder." + std::string(ErrorClassName(table->component_class())) + "." + method->name;

  bool transactional = table->component_class() == ComponentClass::kOrderUpdate;
  auto context = std::make_shared<HostCallContext>(accounts_, request.user, request.client_address,
                                                   transactional);
  // Helpers without a connection argument (IsLogEnable ...) work on the served account.
  context->set_served_account(served);
  CurrentCallScope scope(context);
  try {
    std::unique_ptr<Component> component = table->Create();
    CallAnswer answer = InvokeMethod(*table, *component, method->name, args);
    component.reset();
    answer.CheckWritable();
    // A method that aborted and still returned (a currency check that failed inside a review)
    // loses its work to the rollback, so its answer cannot stand: the platform reports such a
    // call as aborted, and so do we.
    if (context->aborted())
      throw ComError(kCallAborted, source,
                     "The call was aborted: its work was rolled back, nothing was changed.");
    try {
      context->Finish(true);
    } catch (const ComError& e) {
      // The method's work is lost; say so under the method's name.
      throw e.WithSource(source);
    }
    return answer;
  } catch (...) {
    try {
      context->Finish(false);
    } catch (...) {
      // The caller must see why the call failed, not why the rollback did too.
    }
    throw;
  }
}

nlohmann::ordered_json Dispatcher::Catalogue() const {
  nlohmann::ordered_json classes = nlohmann::ordered_json::array();
  for (const MethodTable* t : tables_) classes.push_back(DescribeTable(*t));
  return {{"classes", std::move(classes)}};
}

nlohmann::ordered_json Dispatcher::OpenApi() const { return OpenApiDocument(tables_, kVersion); }

}  // namespace ambit
