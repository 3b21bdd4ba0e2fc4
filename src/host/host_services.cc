#include "host/host_services.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/com_error.h"
#include "host/call_context.h"

extern char** environ;

namespace ambit {
namespace {

std::string NormalizedKey(std::string_view key_path, std::string_view value_name) {
  while (!key_path.empty() && key_path.back() == '\\') key_path.remove_suffix(1);
  std::string key = std::string(key_path) + "\\" + std::string(value_name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

class DroppingLogger : public MessageLogger {
 public:
  void Log(const std::string&) override {}
};

}  // namespace

std::shared_ptr<FileRegistryReader> FileRegistryReader::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::make_shared<FileRegistryReader>();
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::shared_ptr<FileRegistryReader> FileRegistryReader::Parse(std::string_view text) {
  auto reader = std::make_shared<FileRegistryReader>();
  int line_number = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++line_number;
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    size_t eq = line.find('=');
    std::string_view name = Trim(line.substr(0, eq));
    size_t slash = name.rfind('\\');
    if (eq == std::string_view::npos || slash == std::string_view::npos)
      throw ComError(err::kInvalidArgument, "ambit-order.host",
                     "Registry file line " + std::to_string(line_number) +
                         " is not '<key path>\\<value name>=<value>'.");
    reader->values_[NormalizedKey(name.substr(0, slash), name.substr(slash + 1))] =
        std::string(Trim(line.substr(eq + 1)));
  }
  return reader;
}

bool FileRegistryReader::Read(std::string_view key_path, std::string_view value_name,
                              Variant* value) {
  auto it = values_.find(NormalizedKey(key_path, value_name));
  if (it == values_.end()) return false;
  *value = Variant(it->second);
  return true;
}

void FileMessageLogger::Log(const std::string& message) {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::lock_guard lock(mu_);
  std::ofstream out(path_, std::ios::app | std::ios::binary);
  out << stamp << ' ' << message << '\n';
}

int ProcessScriptShell::Run(const std::string& command, int /*window_style*/, bool wait) {
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
    return -1;
  if (!wait) {
    // Nobody waits for the answer, but the child must still be reaped.
    std::thread([pid] {
      int status = 0;
      waitpid(pid, &status, 0);
    }).detach();
    return 0;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Variant CallSecurityInfo::GetCurrentUserID(const std::string& login_token) {
  std::shared_ptr<HostCallContext> call = CurrentHostCall();
  UserLoginPtr user = call ? call->CurrentUser() : nullptr;
  if (!user || user->LoginToken() != login_token)
    throw ComError(err::kUnexpected, kProgIdSecurityInfo,
                   "The login token does not belong to the user of this call.");
  return Variant(static_cast<int32_t>(user->UserID()));
}

std::string CallLangInfo::CurrentLanguage() {
  std::shared_ptr<HostCallContext> call = CurrentHostCall();
  UserLoginPtr user = call ? call->CurrentUser() : nullptr;
  std::string code = user ? user->LanguageCode() : std::string();
  for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return code;
}

void RegisterHostServices(const HostServicesConfig& config) {
  SetRegistryReader(config.registry_file.empty() ? nullptr
                                                 : FileRegistryReader::Load(config.registry_file));
  std::shared_ptr<MessageLogger> logger;
  if (config.message_log.empty()) {
    logger = std::make_shared<DroppingLogger>();
  } else {
    logger = std::make_shared<FileMessageLogger>(config.message_log);
  }
  // One logger for the process: its lock keeps lines of concurrent calls whole.
  RegisterHostObject(kMessageLoggerProgId, [logger] { return logger; });
  RegisterHostObject(kScriptShellProgId, [] { return std::make_shared<ProcessScriptShell>(); });
  RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<CallSecurityInfo>(); });
  RegisterHostObject(kProgIdLangInfo, [] { return std::make_shared<CallLangInfo>(); });
}

}  // namespace ambit
