#include "frame/host.h"

#include <cctype>
#include <map>
#include <mutex>

#include "base/com_error.h"
#include "base/text.h"
#include "frame/collections.h"

namespace ambit {
namespace {

struct HostState {
  std::mutex mu;
  std::function<std::unique_ptr<GlobalContextService>()> context_factory;
  std::map<std::string, HostObjectFactory> objects;  // lower-cased ProgIDs
  std::shared_ptr<RegistryReader> registry;
};

HostState& State() {
  static HostState state;
  return state;
}

thread_local std::unique_ptr<GlobalContextService> thread_service;

}  // namespace

GlobalContextService& ThreadContextService() {
  if (!thread_service) {
    std::function<std::unique_ptr<GlobalContextService>()> factory;
    {
      std::lock_guard lock(State().mu);
      factory = State().context_factory;
    }
    if (!factory)
      throw ComError(err::kCannotCreateObject, "ambit-order.host",
                     "No application host is running: the global context service is missing.");
    thread_service = factory();
  }
  return *thread_service;
}

void SetContextServiceFactory(std::function<std::unique_ptr<GlobalContextService>()> factory) {
  std::lock_guard lock(State().mu);
  State().context_factory = std::move(factory);
}

void ResetThreadContextService() { thread_service.reset(); }

void RegisterHostObject(std::string prog_id, HostObjectFactory factory) {
  std::lock_guard lock(State().mu);
  State().objects[ToLowerAscii(prog_id)] = std::move(factory);
}

void UnregisterHostObject(std::string_view prog_id) {
  std::lock_guard lock(State().mu);
  State().objects.erase(ToLowerAscii(prog_id));
}

ObjectPtr CreateHostObject(std::string_view prog_id) {
  HostObjectFactory factory;
  {
    std::lock_guard lock(State().mu);
    auto it = State().objects.find(ToLowerAscii(prog_id));
    if (it != State().objects.end()) factory = it->second;
  }
  if (!factory)
    throw ComError(err::kCannotCreateObject, "ambit-order.host",
                   "ActiveX component can't create object: '" + std::string(prog_id) + "'.");
  return factory();
}

void SetRegistryReader(std::shared_ptr<RegistryReader> reader) {
  std::lock_guard lock(State().mu);
  State().registry = std::move(reader);
}

Variant RegistryRead(std::string_view key_path, std::string_view value_name,
                     const Variant& default_value) {
  std::shared_ptr<RegistryReader> reader;
  {
    std::lock_guard lock(State().mu);
    reader = State().registry;
  }
  Variant value;
  if (!reader || !reader->Read(key_path, value_name, &value) || value.IsEmpty())
    return default_value;
  return ConvertLike(value, default_value);
}

}  // namespace ambit
