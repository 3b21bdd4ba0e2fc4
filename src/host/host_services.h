// Outside services the component creates by program identifier, with the adapters this host
// ships: a registry read from a key=value file, a message logger that appends to a log file, and
// a script shell that runs a command through /bin/sh and waits for it.
#ifndef AMBIT_HOST_HOST_SERVICES_H_
#define AMBIT_HOST_HOST_SERVICES_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "frame/host.h"
#include "frame/host_services.h"

namespace ambit {

// Lines "<key path>\<value name>=<value>"; blank lines and lines starting with '#' or ';' are
// ignored. Key paths and value names compare without regard to case, and trailing backslashes
// of the key path do not matter.
class FileRegistryReader : public RegistryReader {
 public:
  // A missing file is an empty registry; a line without '=' is a ComError naming the line.
  static std::shared_ptr<FileRegistryReader> Load(const std::string& path);
  static std::shared_ptr<FileRegistryReader> Parse(std::string_view text);
  bool Read(std::string_view key_path, std::string_view value_name, Variant* value) override;

 private:
  std::map<std::string, std::string> values_;  // normalised "key\name" -> value
};

// Appends "<UTC time> <message>" lines to a file; safe to share between threads.
class FileMessageLogger : public MessageLogger {
 public:
  explicit FileMessageLogger(std::string path) : path_(std::move(path)) {}
  void Log(const std::string& message) override;

 private:
  std::string path_;
  std::mutex mu_;
};

class ProcessScriptShell : public ScriptShell {
 public:
  // -1 when the program could not be started or did not exit normally.
  int Run(const std::vector<std::string>& argv, int window_style, bool wait) override;
};

// The security service of the call: the user behind a login token is the call's own user,
// whom the request's authentication established. Another token is refused.
class CallSecurityInfo : public SecurityInfo {
 public:
  Variant GetCurrentUserID(const std::string& login_token) override;
};

// The language of the call's user, in the lower-case form the language helpers compare
// ("chs", "cht", "en").
class CallLangInfo : public LangInfo {
 public:
  std::string CurrentLanguage() override;
};

// System parameters read from the account's t_SystemProfile, on the calling method's own
// connection (so inside its transaction). Empty when the parameter has no row.
class AccountSystemProfile : public SystemProfileService {
 public:
  Variant GetProfile(const std::string& connection_string, const std::string& category,
                     const std::string& key) override;
};

// Translations from "<directory>/<base name>.<language>.txt": one "text<TAB>translation" per
// line. The directory the caller sets wins over the host's; a missing file or text raises, and
// the caller keeps its untranslated text.
// A translation file that ships inside the binary: "ORVOINDUSTRY.en.txt" and its text.
struct ShippedFile {
  std::string_view name;
  std::string_view text;
};
const std::vector<ShippedFile>& ShippedResourceFiles();

// Writes each shipped file that `dir` lacks into it (creating `dir`), so operators find and can
// edit them where the server reads; an existing file is the operator's and is left alone.
// Returns the paths written.
std::vector<std::string> InstallResourceFiles(const std::string& dir);

// Translations from "<dir>/<base>.<language>.txt" (lines "text<TAB>translation", '#' starts a
// comment line), or from the shipped copy of that file when the folder has none.
class FileResLoader : public ResLoader {
 public:
  explicit FileResLoader(std::string default_directory)
      : default_directory_(std::move(default_directory)) {}
  std::string LoadString(const std::string& key) override;

 private:
  std::string default_directory_;
  std::string loaded_path_;
  std::map<std::string, std::string> texts_;
};

struct HostServicesConfig {
  std::string registry_file;  // empty: every registry read answers its default
  std::string message_log;    // empty: messages are dropped
  std::string resource_dir;   // translation files; empty: the working directory
  // Whether the script shell may start programs (RegAsm's registration tool). Off, the shell
  // refuses every start with error 70 naming the switch, so RegAsm answers false and logs why.
  bool run_programs = false;
};

// Registers the adapters above as host objects and installs the registry reader.
void RegisterHostServices(const HostServicesConfig& config);

}  // namespace ambit

#endif  // AMBIT_HOST_HOST_SERVICES_H_
