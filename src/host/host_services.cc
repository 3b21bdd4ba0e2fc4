#include "host/host_services.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
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

// The shell of a server that starts no programs. It can be created, so that RegAsm's earlier
// steps behave as on any host (no .NET: false without a word), and refuses only the start.
class RefusingScriptShell : public ScriptShell {
 public:
  int Run(const std::vector<std::string>&, int, bool) override {
    throw ComError(err::kPermissionDenied, "ambit-order.host",
                   "Starting programs is switched off in this server's configuration "
                   "(serve --run-programs switches it on).");
  }
};

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

int ProcessScriptShell::Run(const std::vector<std::string>& argv, int /*window_style*/,
                            bool wait) {
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0].c_str(), nullptr, nullptr, args.data(), environ) != 0) return -1;
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

Variant AccountSystemProfile::GetProfile(const std::string& connection_string,
                                         const std::string& category, const std::string& key) {
  std::shared_ptr<HostCallContext> call = CurrentHostCall();
  if (!call)
    throw ComError(err::kUnexpected, kProgIdSystemProfile,
                   "System parameters are read inside a call only.");
  ConnectionPtr connection = call->ConnectionFor(connection_string);
  auto quote = [](const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  };
  RecordsetPtr rs = connection->Execute("SELECT FValue FROM t_SystemProfile WHERE FCategory = " +
                                        quote(category) + " AND FKey = " + quote(key));
  if (!rs || !rs->IsOpen() || rs->Eof()) return Variant();
  return rs->Value("FValue");
}

std::string FileResLoader::LoadString(const std::string& key) {
  std::string directory = ResDirectory.empty() ? default_directory_ : ResDirectory;
  std::string path = (directory.empty() ? std::string() : directory + "/") + ResFileBaseName + "." +
                     LanguageID + ".txt";
  if (path != loaded_path_) {
    texts_.clear();
    loaded_path_ = path;
    std::stringstream text;
    if (std::ifstream in(path, std::ios::binary); in) {
      text << in.rdbuf();
    } else {
      std::string name = ResFileBaseName + "." + LanguageID + ".txt";
      for (const ShippedFile& file : ShippedResourceFiles())
        if (file.name == name) text << file.text;
    }
    std::string line;
    while (std::getline(text, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t tab = line.find('\t');
      if (tab != std::string::npos && line[0] != '#')
        texts_[line.substr(0, tab)] = line.substr(tab + 1);
    }
  }
  auto it = texts_.find(key);
  if (it == texts_.end())
    throw ComError(err::kItemNotFound, kProgIdResLoader, "No translation of '" + key + "'.");
  return it->second;
}

std::vector<std::string> InstallResourceFiles(const std::string& dir) {
  std::vector<std::string> written;
  std::filesystem::create_directories(dir);
  for (const ShippedFile& file : ShippedResourceFiles()) {
    std::filesystem::path path = std::filesystem::path(dir) / std::string(file.name);
    if (std::filesystem::exists(path)) continue;
    std::ofstream(path, std::ios::binary) << file.text;
    written.push_back(path.string());
  }
  return written;
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
  if (config.run_programs) {
    RegisterHostObject(kScriptShellProgId, [] { return std::make_shared<ProcessScriptShell>(); });
  } else {
    RegisterHostObject(kScriptShellProgId, [] { return std::make_shared<RefusingScriptShell>(); });
  }
  RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<CallSecurityInfo>(); });
  RegisterHostObject(kProgIdLangInfo, [] { return std::make_shared<CallLangInfo>(); });
  RegisterHostObject(kProgIdSystemProfile, [] { return std::make_shared<AccountSystemProfile>(); });
  std::string resource_dir = config.resource_dir;
  RegisterHostObject(kProgIdResLoader,
                     [resource_dir] { return std::make_shared<FileResLoader>(resource_dir); });
}

}  // namespace ambit
