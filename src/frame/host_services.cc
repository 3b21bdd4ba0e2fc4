#include "frame/host_services.h"

#include <mutex>
#include <optional>
#include <unistd.h>

#include "base/com_error.h"

namespace ambit {
namespace {

constexpr int32_t kNotSupported = 438;

struct Services {
  std::mutex mu;
  ReadTcpFunction read_tcp;
  std::optional<ProcessLocation> location;
};

Services& State() {
  static Services s;
  return s;
}

thread_local std::string call_client_address;

std::string OwnExecutable() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace

void RaiseNotSupported(const ObjectPtr& object, std::string_view operation) {
  throw ComError(kNotSupported, "ambit-order.host",
                 "Object doesn't support this property or method: " +
                     std::string(object ? object->TypeName() : "Nothing") + "." +
                     std::string(operation) + ".");
}

void SetReadTcp(ReadTcpFunction function) {
  std::lock_guard lock(State().mu);
  State().read_tcp = std::move(function);
}

int ReadTcp(std::string& first, std::string& buffer) {
  ReadTcpFunction f;
  {
    std::lock_guard lock(State().mu);
    f = State().read_tcp;
  }
  if (f) return f(first, buffer);
  if (call_client_address.empty()) return 0;
  buffer = call_client_address.substr(0, 63);
  buffer.resize(64, '\0');
  return 1;
}

void SetCallClientAddress(std::string address) { call_client_address = std::move(address); }

void SetProcessLocation(ProcessLocation location) {
  std::lock_guard lock(State().mu);
  State().location = std::move(location);
}

ProcessLocation GetProcessLocation() {
  {
    std::lock_guard lock(State().mu);
    if (State().location) return *State().location;
  }
  std::string exe = OwnExecutable();
  size_t slash = exe.rfind('/');
  return ProcessLocation{exe, slash == std::string::npos ? std::string() : exe.substr(0, slash)};
}

}  // namespace ambit
