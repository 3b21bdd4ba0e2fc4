#include "host/host_services.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/com_error.h"
#include "host/call_context.h"

namespace ambit {
namespace {

namespace fs = std::filesystem;

fs::path TempPath(const std::string& name) {
  return fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(FileRegistryReaderTest, KeysIgnoreCaseAndTrailingBackslashes) {
  auto reg = FileRegistryReader::Parse(
      "# comment\n"
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\.NETFramework\\InstallRoot = /opt/dotnet/ \n"
      "\n"
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVARD\\LUMOPRODUCT\\Path=/opt/erp\n");
  Variant v;
  ASSERT_TRUE(
      reg->Read("hkey_local_machine\\software\\microsoft\\.netframework\\", "INSTALLROOT", &v));
  EXPECT_EQ(v.string_value(), "/opt/dotnet/");
  EXPECT_TRUE(reg->Read("HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVARD\\LUMOPRODUCT", "Path", &v));
  EXPECT_FALSE(reg->Read("HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVARD", "Path", &v));
  EXPECT_THROW(FileRegistryReader::Parse("no equals sign\\here\n"), ComError);
  EXPECT_THROW(FileRegistryReader::Parse("NoBackslash=1\n"), ComError);
}

TEST(FileRegistryReaderTest, InstalledReaderAnswersRegistryReadWithTheDefaultsType) {
  fs::path file = TempPath("ambit-registry");
  std::ofstream(file) << "HKEY_CURRENT_USER\\Software\\Ambit\\Retries=3\n";
  HostServicesConfig config;
  config.registry_file = file.string();
  RegisterHostServices(config);
  EXPECT_EQ(RegistryRead("HKEY_CURRENT_USER\\Software\\Ambit", "Retries", Variant(int32_t{0})),
            Variant(int32_t{3}));
  EXPECT_EQ(RegistryRead("HKEY_CURRENT_USER\\Software\\Ambit", "Missing", Variant("d")),
            Variant("d"));
  SetRegistryReader(nullptr);
  fs::remove(file);
}

TEST(MessageLoggerTest, LinesFromManyThreadsStayWhole) {
  fs::path file = TempPath("ambit-messages");
  fs::remove(file);
  HostServicesConfig config;
  config.message_log = file.string();
  RegisterHostServices(config);
  auto logger = std::dynamic_pointer_cast<MessageLogger>(CreateHostObject("lumologmsg.log"));
  ASSERT_NE(logger, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) logger->Log("message " + std::to_string(t));
    });
  for (auto& t : threads) t.join();
  std::istringstream lines(ReadAll(file));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(line.find(" message "), 20u) << line;  // "YYYY-MM-DDTHH:MM:SSZ message n"
  }
  EXPECT_EQ(count, 200);
  fs::remove(file);
}

TEST(ScriptShellTest, RunStartsTheProgramWithItsArgumentsAsTheyAre) {
  HostServicesConfig config;
  config.run_programs = true;
  RegisterHostServices(config);
  auto shell = std::dynamic_pointer_cast<ScriptShell>(CreateHostObject("WSCript.shell"));
  ASSERT_NE(shell, nullptr);
  fs::path marker = TempPath("ambit-shell");
  fs::remove(marker);
  // Text a shell would act on is one argument like any other.
  std::string odd = marker.string() + "; exit 3 $(false) 'x";
  EXPECT_EQ(shell->Run({"/usr/bin/touch", odd}, 0, true), 0);
  EXPECT_TRUE(fs::exists(odd));  // written before Run returned
  EXPECT_EQ(shell->Run({"/bin/true", "&&", "false"}, 0, true), 0);
  EXPECT_EQ(shell->Run({"/bin/false"}, 0, true), 1);
  EXPECT_EQ(shell->Run({"/bin/false"}, 0, false), 0);
  EXPECT_EQ(shell->Run({"exit 3"}, 0, true), -1);  // no program of that name
  EXPECT_EQ(shell->Run({}, 0, true), -1);
  fs::remove(odd);

  // Switched off (the default), the shell starts nothing and says why.
  RegisterHostServices({});
  shell = std::dynamic_pointer_cast<ScriptShell>(CreateHostObject("WSCript.shell"));
  ASSERT_NE(shell, nullptr);
  try {
    shell->Run({"/usr/bin/touch", odd}, 0, true);
    FAIL() << "a program was started";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kPermissionDenied);
    EXPECT_NE(e.description().find("--run-programs"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(odd));
}

TEST(ResLoaderTest, TranslationsComeFromTheLanguagesFile) {
  fs::path dir = TempPath("ambit-res");
  fs::create_directories(dir);
  std::ofstream(dir / "ORVOINDUSTRY.en.txt") << "组件注册失败！\tComponent registration failed!\r\n"
                                             << "a=b\tequals kept\n";
  HostServicesConfig config;
  config.resource_dir = dir.string();
  RegisterHostServices(config);
  auto loader = std::dynamic_pointer_cast<ResLoader>(CreateHostObject(kProgIdResLoader));
  ASSERT_NE(loader, nullptr);
  loader->ResFileBaseName = "ORVOINDUSTRY";
  loader->LanguageID = "en";
  EXPECT_EQ(loader->LoadString("组件注册失败！"), "Component registration failed!");
  EXPECT_EQ(loader->LoadString("a=b"), "equals kept");
  EXPECT_THROW(loader->LoadString("unknown"), ComError);
  loader->LanguageID = "cht";  // no file for it, shipped or not
  EXPECT_THROW(loader->LoadString("a=b"), ComError);

  // Without a file in the folder the shipped English texts answer; installing them writes
  // the missing file only, never over the operator's copy.
  fs::path empty = dir / "fresh";
  config.resource_dir = empty.string();
  RegisterHostServices(config);
  loader = std::dynamic_pointer_cast<ResLoader>(CreateHostObject(kProgIdResLoader));
  loader->ResFileBaseName = "ORVOINDUSTRY";
  loader->LanguageID = "en";
  EXPECT_EQ(loader->LoadString("错误描述:"), "Error description:");
  EXPECT_EQ(InstallResourceFiles(empty.string()),
            std::vector<std::string>{(empty / "ORVOINDUSTRY.en.txt").string()});
  EXPECT_TRUE(InstallResourceFiles(empty.string()).empty());
  EXPECT_TRUE(InstallResourceFiles(dir.string()).empty());
  std::ifstream mine(dir / "ORVOINDUSTRY.en.txt");
  std::string first;
  std::getline(mine, first);
  EXPECT_EQ(first, "组件注册失败！\tComponent registration failed!\r");
  fs::remove_all(dir);
}

TEST(CallServicesTest, SecurityAndLanguageFollowTheCallsUser) {
  RegisterHostServices({});
  AccountRegistry accounts;
  auto user = std::make_shared<HostUserLogin>("login-9", 9, "CHT");
  auto call = std::make_shared<HostCallContext>(accounts, user, "", false);
  auto security = std::dynamic_pointer_cast<SecurityInfo>(CreateHostObject(kProgIdSecurityInfo));
  auto lang = std::dynamic_pointer_cast<LangInfo>(CreateHostObject(kProgIdLangInfo));
  ASSERT_TRUE(security && lang);
  EXPECT_THROW(security->GetCurrentUserID("login-9"), ComError);  // no call in progress
  CurrentCallScope scope(call);
  EXPECT_EQ(security->GetCurrentUserID("login-9"), Variant(int32_t{9}));
  EXPECT_THROW(security->GetCurrentUserID("someone-else"), ComError);
  EXPECT_EQ(lang->CurrentLanguage(), "cht");
}

}  // namespace
}  // namespace ambit
