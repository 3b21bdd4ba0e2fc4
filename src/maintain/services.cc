#include "maintain/services.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/host.h"
#include "frame/host_services.h"
#include "frame/shared_helpers.h"

namespace ambit {
namespace {

constexpr char kDotNetKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\.NETFramework";
constexpr char kFailed[] = "组件注册失败！";
constexpr char kReason[] = "错误描述:";

std::shared_ptr<PromotionSale> CreatePromotionSale(std::string_view operation) {
  return RequireInterface<PromotionSale>(CreateHostObject(kProgIdPromotionSale), operation);
}

// Paths keep the separator their source uses: "\" on Windows-like hosts, "/" here.
char SeparatorOf(std::string_view path) {
  return path.find('/') != std::string_view::npos && path.find('\\') == std::string_view::npos
             ? '/'
             : '\\';
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The assembly name comes from the client: whatever it spells ("..", an absolute path, a link
// leading out), the file it resolves to must lie inside the system folder, so that a client can
// never hand the registration tool a file of its own choosing.
bool InsideFolder(const std::string& folder, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path base = fs::weakly_canonical(folder, ec);
  if (ec || base.empty()) return false;
  if (!base.has_filename()) base = base.parent_path();
  fs::path full = fs::weakly_canonical(path, ec);
  if (ec || !full.has_filename()) return false;
  auto [base_end, full_end] = std::mismatch(base.begin(), base.end(), full.begin(), full.end());
  return base_end == base.end() && full_end != full.end();
}

// Reporting must not raise: its callers answer or go on whatever happens.
void LogMessage(const std::string& message) {
  try {
    auto logger = std::dynamic_pointer_cast<MessageLogger>(CreateHostObject(kMessageLoggerProgId));
    if (logger) logger->Log(message);
  } catch (...) {
  }
}

// `reason` is composite text ("~$~" marks the parts that are keys to translate): a system
// error's own description or a path must reach the log as it is, whatever the user's language.
void Report(const std::string& reason) {
  try {
    LogMessage(LoadResText(std::string(kFailed)) + "\r\n" +
               LoadResText("~$~" + std::string(kReason) + "^|^" + reason));
  } catch (...) {
  }
}

bool RegisterAssembly(const std::string& strDllName);

// The first attempt swallows everything except a class that cannot be created; that one earns
// a registration of the assembly and one more attempt, whose failure is the caller's.
template <class Call>
auto CallWithRegistration(Call&& call) -> decltype(call()) {
  using Result = decltype(call());
  try {
    return call();
  } catch (const ComError& e) {
    if (e.number() != err::kCannotCreateObject) return Result();
  } catch (const std::exception&) {
    return Result();
  }
  if (!RegisterAssembly(kPromotionAssembly)) return Result();
  return call();
}

// Queues `call` (which must own what it uses: the method is gone when it runs).
template <class Call>
void QueueAfterCommit(Component& self, const char* operation, Call call) {
  self.call_context().AfterCommit([operation, call = std::move(call)] {
    std::string reason;
    try {
      CallWithRegistration(call);
      return;
    } catch (const ComError& e) {
      reason = e.description();
    } catch (const std::exception& e) {
      reason = e.what();
    } catch (...) {
      reason = "unknown error";
    }
    LogMessage(std::string(operation) + " failed after its order change was saved: " + reason);
  });
}

bool RegisterAssembly(const std::string& strDllName) {
  try {
    auto shell = RequireInterface<ScriptShell>(CreateHostObject(kScriptShellProgId), "Run");
    std::string root = CStr(RegistryRead(kDotNetKey, "InstallRoot", Variant("")));
    if (root.empty()) return false;
    // Only the 32-bit tool registers for the 32-bit host processes.
    root = ReplaceAll(std::move(root), "Framework64", "Framework");
    char sep = SeparatorOf(root);
    if (root.back() != sep) root += sep;
    std::string tool = root + "v4.0.30319" + sep + "RegAsm.exe";
    if (!FileExists(tool)) {
      Report("~$~没有安装32位的Microsoft .NET Framework 4.0！");
      return false;
    }
    std::string system = GetLumoSystemPath();
    char system_sep = SeparatorOf(system);
    std::string folder = ReplaceAll(system, std::string(1, system_sep) + "LUMOSYSTEM", "");
    std::string assembly = folder + system_sep + strDllName;
    if (!InsideFolder(folder, assembly)) {
      Report("[" + assembly + "] is not a file of the system folder");
      return false;
    }
    if (!FileExists(assembly)) {
      Report("[" + assembly + "]^|^~$~组件缺失");
      return false;
    }
    shell->Run({tool, assembly, "/unregister"}, 0, true);
    shell->Run({tool, assembly, "/register", "/codebase", "/tlb"}, 0, true);
    return true;
  } catch (const ComError& e) {
    Report(e.description());
  } catch (const std::exception& e) {
    Report(e.what());
  }
  return false;
}

}  // namespace

void CallAddGiftService(Component& self, const std::string& PropsString, const std::string& sFID,
                        std::string& sOrderIDs) {
  try {
    CallWithRegistration([&] {
      std::string props = PropsString;
      std::string fids = sFID;
      CreatePromotionSale("CallAddGiftForWebShop")->CallAddGiftForWebShop(props, fids, sOrderIDs);
    });
  } catch (...) {
    self.RaiseFromMethod("CallAddGiftService", std::current_exception());
  }
}

Variant CallUnCheckService(Component& self, const std::string& PropsString,
                           const std::string& sFID) {
  try {
    return CallWithRegistration([&] {
      std::string props = PropsString;
      std::string fids = sFID;
      return CreatePromotionSale("CallUnCheckService")->CallUnCheckService(props, fids);
    });
  } catch (...) {
    self.RaiseFromMethod("CallUnCheckService", std::current_exception());
  }
}

void QueueUnCheckService(Component& self, const std::string& PropsString,
                         const std::string& sFID) {
  QueueAfterCommit(self, "CallUnCheckService", [props = PropsString, fids = sFID] {
    std::string p = props, f = fids;
    return CreatePromotionSale("CallUnCheckService")->CallUnCheckService(p, f);
  });
}

void QueueAddGiftService(Component& self, const std::string& PropsString,
                         const std::string& sFID) {
  QueueAfterCommit(self, "CallAddGiftService", [props = PropsString, fids = sFID] {
    std::string p = props, f = fids, order_ids;
    CreatePromotionSale("CallAddGiftForWebShop")->CallAddGiftForWebShop(p, f, order_ids);
  });
}

bool RegAsm(Component& /*self*/, const std::string& strDllName) {
  return RegisterAssembly(strDllName);
}

}  // namespace ambit
