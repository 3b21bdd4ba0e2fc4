// Services of the ERP host that the shared helpers call, as interfaces. Objects are created by
// program identifier through CreateHostObject; the host registers real ones and tests register
// doubles. Calling an operation an object does not have is error 438, as a late-bound call on
// the original platform is.
#ifndef AMBIT_FRAME_HOST_SERVICES_H_
#define AMBIT_FRAME_HOST_SERVICES_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/variant.h"
#include "frame/host.h"

namespace ambit {

inline constexpr char kProgIdSecurityInfo[] = "ZOREdiz.SecurityInfo";
inline constexpr char kProgIdSystemProfile[] = "ZOREdiz.SystemProfile";
inline constexpr char kProgIdLangInfo[] = "OrvoLangInfo.LangInfo";
inline constexpr char kProgIdResLoader[] = "OrvoResLoader.Loader";

inline constexpr char kMessageLoggerProgId[] = "LumoLogMsg.Log";
inline constexpr char kScriptShellProgId[] = "WSCript.shell";

// Records or shows a message meant for the operator.
class MessageLogger : public Object {
 public:
  virtual void Log(const std::string& message) = 0;
  std::string_view TypeName() const override { return "MessageLogger"; }
};

// Runs a program: `argv[0]` is its path, the rest its arguments, each passed as it is (no
// command line is ever parsed, so no text reaches a shell). With `wait` it answers the program's
// exit code, without it 0 at once. The window style of the original shell has no meaning here
// and is ignored.
class ScriptShell : public Object {
 public:
  virtual int Run(const std::vector<std::string>& argv, int window_style, bool wait) = 0;
  std::string_view TypeName() const override { return "ScriptShell"; }
};

class SecurityInfo : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdSecurityInfo; }
  virtual Variant GetCurrentUserID(const std::string& login_token) = 0;
};

// System parameters as the ERP's profile service answers them (category "IC" and others kept
// outside t_SystemProfile's 'EC' rows).
class SystemProfileService : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdSystemProfile; }
  virtual Variant GetProfile(const std::string& connection_string, const std::string& category,
                             const std::string& key) = 0;
};

class LangInfo : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdLangInfo; }
  virtual std::string CurrentLanguage() = 0;
};

class ResLoader : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdResLoader; }
  // Raises when the key has no translation.
  virtual std::string LoadString(const std::string& key) = 0;

  std::string ResDirectory;
  std::string ResFileBaseName;
  std::string LanguageID;
};

// The object as T, or error 438 naming the operation the caller wanted.
template <class T>
std::shared_ptr<T> RequireInterface(const ObjectPtr& object, std::string_view operation);
[[noreturn]] void RaiseNotSupported(const ObjectPtr& object, std::string_view operation);

template <class T>
std::shared_ptr<T> RequireInterface(const ObjectPtr& object, std::string_view operation) {
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) RaiseNotSupported(object, operation);
  return typed;
}

// The application server's native ReadTcp: fills `buffer` with the calling client's address
// and answers 1, or answers something else when it cannot. The host installs the function;
// the default answers the address set for the calling thread by SetCallClientAddress.
using ReadTcpFunction = std::function<int(std::string& first, std::string& buffer)>;
void SetReadTcp(ReadTcpFunction function);
int ReadTcp(std::string& first, std::string& buffer);
// The address of the call the calling thread is serving (empty between calls).
void SetCallClientAddress(std::string address);

// Where the host process runs from: its executable and this library's folder. Paths use the
// host's own separator ("\" on Windows-like hosts, "/" here).
struct ProcessLocation {
  std::string executable_path;
  std::string library_folder;
};
void SetProcessLocation(ProcessLocation location);
ProcessLocation GetProcessLocation();

}  // namespace ambit

#endif  // AMBIT_FRAME_HOST_SERVICES_H_
