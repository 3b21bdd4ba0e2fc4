// Doubles of the host services behind RegAsm (registry, message logger, script shell) and a
// machine that has the 32-bit registration tool and the ERP installed under a temporary folder,
// for tests of the gateways that register an interop assembly when its class is missing.
#ifndef AMBIT_TESTS_SUPPORT_SERVICE_DOUBLES_H_
#define AMBIT_TESTS_SUPPORT_SERVICE_DOUBLES_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frame/host.h"
#include "frame/host_services.h"
#include "frame/shared_helpers.h"

namespace ambit::testing {

inline constexpr char kDotNetKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\.NETFramework";
inline constexpr char kProductKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVARD\\LUMOPRODUCT\\";

class MapRegistry : public RegistryReader {
 public:
  bool Read(std::string_view key_path, std::string_view value_name, Variant* value) override {
    auto it = values.find(std::string(key_path) + "|" + std::string(value_name));
    if (it == values.end()) return false;
    *value = Variant(it->second);
    return true;
  }
  std::map<std::string, std::string> values;
};

class RecordingLogger : public MessageLogger {
 public:
  void Log(const std::string& message) override { messages.push_back(message); }
  std::vector<std::string> messages;
};

class RecordingShell : public ScriptShell {
 public:
  int Run(const std::vector<std::string>& argv, int window_style, bool wait) override {
    EXPECT_EQ(window_style, 0);
    EXPECT_TRUE(wait);
    commands.push_back(argv);
    if (on_run) on_run(argv);
    return 0;
  }
  std::vector<std::vector<std::string>> commands;
  std::function<void(const std::vector<std::string>&)> on_run;
};

// Installs the doubles for the life of the object; `assembly` is the interop file present in
// the ERP folder.
class RegAsmMachine {
 public:
  explicit RegAsmMachine(const std::string& assembly) : assembly_(assembly) {
    namespace fs = std::filesystem;
    const auto* test = ::testing::UnitTest::GetInstance();
    root_ = fs::temp_directory_path() /
            ("ambit_regasm_" + std::to_string(test->random_seed()) + "_" +
             test->current_test_info()->name());
    fs::create_directories(root_ / "Framework" / "v4.0.30319");
    fs::create_directories(root_ / "erp");
    Touch(root_ / "Framework" / "v4.0.30319" / "RegAsm.exe");
    Touch(root_ / "erp" / assembly_);
    registry = std::make_shared<MapRegistry>();
    registry->values[std::string(kDotNetKey) + "|InstallRoot"] =
        (root_ / "Framework64").string() + "/";
    registry->values[std::string(kProductKey) + "|Path"] = (root_ / "erp").string();
    SetRegistryReader(registry);
    ResetSharedHelperCaches();
    logger = std::make_shared<RecordingLogger>();
    shell = std::make_shared<RecordingShell>();
    RegisterHostObject(kMessageLoggerProgId, [l = logger] { return l; });
    RegisterHostObject(kScriptShellProgId, [s = shell] { return s; });
  }
  ~RegAsmMachine() {
    UnregisterHostObject(kMessageLoggerProgId);
    UnregisterHostObject(kScriptShellProgId);
    SetRegistryReader(nullptr);
    ResetSharedHelperCaches();
    std::filesystem::remove_all(root_);
  }
  RegAsmMachine(const RegAsmMachine&) = delete;
  RegAsmMachine& operator=(const RegAsmMachine&) = delete;

  static void Touch(const std::filesystem::path& p) { std::ofstream(p) << "x"; }
  std::filesystem::path Tool() const { return root_ / "Framework" / "v4.0.30319" / "RegAsm.exe"; }
  std::filesystem::path Assembly() const { return root_ / "erp" / assembly_; }

  // Registering the assembly makes `prog_id` creatable, as the real tool does.
  void RegisterOnRun(const std::string& prog_id, HostObjectFactory factory) {
    shell->on_run = [prog_id, factory](const std::vector<std::string>& argv) {
      if (argv.size() > 2 && argv[2] == "/register") RegisterHostObject(prog_id, factory);
    };
  }

  std::shared_ptr<MapRegistry> registry;
  std::shared_ptr<RecordingLogger> logger;
  std::shared_ptr<RecordingShell> shell;

 private:
  std::filesystem::path root_;
  std::string assembly_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_SERVICE_DOUBLES_H_
