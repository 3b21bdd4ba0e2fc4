#include "host/dispatcher.h"

#include <cctype>
#include <memory>

#include "classes/invoke_json.h"
#include "host/call_context.h"

namespace ambit {
namespace {

constexpr char kDispatchSource[] = "ambit-order.host";

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Clients of a server that serves one account should not have to know its name: a named call
// that leaves out `sDsn` gets the default account.
nlohmann::json WithDefaultAccount(const MethodSpec& method, const nlohmann::json& args,
                                  const std::string& account) {
  if (account.empty() || !args.is_object()) return args;
  bool takes_dsn = false;
  for (const ArgSpec& a : method.args) takes_dsn = takes_dsn || SameName(a.name, "sDsn");
  if (!takes_dsn) return args;
  for (auto it = args.begin(); it != args.end(); ++it)
    if (SameName(it.key(), "sDsn")) return args;
  nlohmann::json filled = args;
  filled["sDsn"] = account;
  return filled;
}

}  // namespace

Dispatcher::Dispatcher(AccountRegistry& accounts, std::vector<const MethodTable*> tables)
    : accounts_(accounts), tables_(std::move(tables)) {
  InstallHostContextService();
}

const MethodTable* Dispatcher::FindTable(std::string_view class_name) const {
  for (const MethodTable* t : tables_)
    if (SameName(t->class_name(), class_name)) return t;
  return nullptr;
}

nlohmann::json Dispatcher::Call(const CallRequest& request) {
  const MethodTable* table = FindTable(request.class_name);
  if (!table)
    throw NotFoundError(err::kCannotCreateObject, kDispatchSource,
                        "No class named '" + request.class_name + "' is served here.");
  const MethodSpec* method = table->Find(request.method);
  if (!method)
    throw NotFoundError(
        kMemberNotFound, kDispatchSource,
        std::string(table->class_name()) + " has no method named '" + request.method + "'.");
  nlohmann::json args = WithDefaultAccount(*method, request.args, accounts_.default_account());

  bool transactional = table->component_class() == ComponentClass::kOrderUpdate;
  auto context = std::make_shared<HostCallContext>(accounts_, request.user, request.client_address,
                                                   transactional);
  CurrentCallScope scope(context);
  try {
    std::unique_ptr<Component> component = table->Create();
    nlohmann::json answer = InvokeJson(*table, *component, method->name, args);
    component.reset();
    try {
      context->Finish(true);
    } catch (const ComError& e) {
      // The method's work is lost; say so under the method's name.
      throw e.WithSource("AmbitOrder." + std::string(ErrorClassName(table->component_class())) +
                         "." + method->name);
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

nlohmann::json Dispatcher::Catalogue() const {
  nlohmann::json classes = nlohmann::json::array();
  for (const MethodTable* t : tables_) classes.push_back(DescribeTable(*t));
  return {{"classes", std::move(classes)}};
}

}  // namespace ambit
