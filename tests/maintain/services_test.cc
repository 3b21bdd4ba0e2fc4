#include "maintain/services.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/host_services.h"
#include "maintain/maintain_fixture.h"
#include "support/service_doubles.h"

namespace ambit::testing {
namespace {

namespace fs = std::filesystem;

// A machine with the 32-bit registration tool and the ERP installed under a temporary folder.
class ServicesTest : public MaintainTest {
 protected:
  void SetUp() override {
    MaintainTest::SetUp();
    machine_ = std::make_unique<RegAsmMachine>(kPromotionAssembly);
    registry_ = machine_->registry;
    logger_ = machine_->logger;
    shell_ = machine_->shell;
  }
  void TearDown() override {
    machine_.reset();
    MaintainTest::TearDown();
  }
  static void Touch(const fs::path& p) { RegAsmMachine::Touch(p); }
  std::string Tool() { return machine_->Tool().string(); }
  std::string Assembly() { return machine_->Assembly().string(); }
  // Registration makes the class creatable, as registering the assembly does.
  std::shared_ptr<PromotionDouble> RegisterOnRegAsm() {
    auto promotion = std::make_shared<PromotionDouble>();
    machine_->RegisterOnRun(kProgIdPromotionSale, [promotion] { return promotion; });
    return promotion;
  }

  std::unique_ptr<RegAsmMachine> machine_;
  std::shared_ptr<MapRegistry> registry_;
  std::shared_ptr<RecordingLogger> logger_;
  std::shared_ptr<RecordingShell> shell_;
};

TEST_F(ServicesTest, GatewaysPassArgumentsAndAnswersThrough) {
  auto promotion = InstallPromotion();
  AmbitOrderUpdate update;
  std::string order_ids = "before";
  CallAddGiftService(update, kDsn, "1,2", order_ids);
  EXPECT_EQ(order_ids, "WD1,WD2");
  EXPECT_EQ(CStr(CallUnCheckService(update, kDsn, "3")), "unchecked");
  ASSERT_EQ(promotion->calls.size(), 2u);
  EXPECT_EQ(promotion->calls[0].props, kDsn);
  EXPECT_EQ(promotion->calls[0].fids, "1,2");
  EXPECT_EQ(promotion->calls[1].operation, "CallUnCheckService");
  // Any failure other than a missing class ends the call quietly, without registration.
  promotion->fail_number = 5;
  EXPECT_NO_THROW(CallAddGiftService(update, kDsn, "1", order_ids));
  EXPECT_TRUE(CallUnCheckService(update, kDsn, "1").IsEmpty());
  EXPECT_TRUE(shell_->commands.empty());
  EXPECT_EQ(context().abort_count, 0);
}

TEST_F(ServicesTest, MissingClassIsRegisteredWithThe32BitToolAndTheCallRepeated) {
  auto promotion = RegisterOnRegAsm();
  AmbitOrderUpdate update;
  std::string order_ids;
  CallAddGiftService(update, kDsn, "7", order_ids);
  ASSERT_EQ(shell_->commands.size(), 2u);
  using Argv = std::vector<std::string>;
  EXPECT_EQ(shell_->commands[0], (Argv{Tool(), Assembly(), "/unregister"}));
  EXPECT_EQ(shell_->commands[1], (Argv{Tool(), Assembly(), "/register", "/codebase", "/tlb"}));
  ASSERT_EQ(promotion->calls.size(), 1u);
  EXPECT_EQ(promotion->calls[0].fids, "7");
  EXPECT_EQ(order_ids, "WD1,WD2");
  EXPECT_TRUE(logger_->messages.empty());
}

TEST_F(ServicesTest, FailedRegistrationEndsQuietlyAndIsReported) {
  AmbitOrderUpdate update;
  fs::remove(machine_->Tool());
  std::string order_ids = "kept";
  EXPECT_NO_THROW(CallAddGiftService(update, kDsn, "7", order_ids));
  EXPECT_EQ(order_ids, "kept");
  ASSERT_EQ(logger_->messages.size(), 1u);
  EXPECT_EQ(logger_->messages[0],
            "组件注册失败！\r\n错误描述:没有安装32位的Microsoft .NET Framework 4.0！");
  EXPECT_TRUE(shell_->commands.empty());

  // The tool is there but the assembly is not: the message names the full path.
  Touch(machine_->Tool());
  fs::remove(Assembly());
  EXPECT_FALSE(RegAsm(update, kPromotionAssembly));
  ASSERT_EQ(logger_->messages.size(), 2u);
  EXPECT_EQ(logger_->messages[1], "组件注册失败！\r\n错误描述:[" + Assembly() + "]组件缺失");
  EXPECT_TRUE(shell_->commands.empty());

  // No .NET at all: false, nothing reported.
  registry_->values.erase(std::string(kDotNetKey) + "|InstallRoot");
  EXPECT_FALSE(RegAsm(update, kPromotionAssembly));
  EXPECT_EQ(logger_->messages.size(), 2u);
  // No shell: the creation error is reported, never raised.
  UnregisterHostObject(kScriptShellProgId);
  EXPECT_FALSE(RegAsm(update, kPromotionAssembly));
  EXPECT_EQ(logger_->messages.size(), 3u);
}

// The client names the assembly: only files that resolve inside the system folder reach the
// tool, however the name is spelt.
TEST_F(ServicesTest, AssemblyNamesLeadingOutOfTheSystemFolderAreRefused) {
  AmbitOrderUpdate update;
  fs::path erp = machine_->Assembly().parent_path();
  fs::create_symlink(machine_->Tool(), erp / "link.dll");
  fs::create_directories(erp / "sub");
  Touch(erp / "sub" / "inner.dll");
  for (const char* name : {"../Framework/v4.0.30319/RegAsm.exe", "link.dll",
                           "sub/../../Framework/v4.0.30319/RegAsm.exe", ".."}) {
    EXPECT_FALSE(RegAsm(update, name)) << name;
    ASSERT_FALSE(logger_->messages.empty()) << name;
    EXPECT_NE(logger_->messages.back().find("is not a file of the system folder"),
              std::string::npos)
        << logger_->messages.back();
  }
  EXPECT_TRUE(shell_->commands.empty());
  // A file of a subfolder, or a detour that ends inside, is the folder's own.
  EXPECT_TRUE(RegAsm(update, "sub/inner.dll"));
  EXPECT_TRUE(RegAsm(update, std::string("sub/../") + kPromotionAssembly));
  ASSERT_EQ(shell_->commands.size(), 4u);
  EXPECT_EQ(shell_->commands[2][1], erp.string() + "/sub/../" + kPromotionAssembly);
}

// An English user's report is English, with the system's own path left as it is.
TEST_F(ServicesTest, ReportsAreInTheUsersLanguage) {
  struct English : LangInfo {
    std::string CurrentLanguage() override { return "en"; }
  };
  RegisterHostObject(kProgIdLangInfo, [] { return std::make_shared<English>(); });
  RegisterHostObject(kProgIdResLoader, [] { return std::make_shared<FileResLoader>(""); });
  ResetSharedHelperCaches();
  AmbitOrderUpdate update;
  fs::remove(Assembly());
  EXPECT_FALSE(RegAsm(update, kPromotionAssembly));
  UnregisterHostObject(kProgIdLangInfo);
  UnregisterHostObject(kProgIdResLoader);
  ResetSharedHelperCaches();
  ASSERT_EQ(logger_->messages.size(), 1u);
  EXPECT_EQ(logger_->messages[0], "Component registration failed!\r\nError description:[" +
                                      Assembly() + "] component is missing");
}

TEST_F(ServicesTest, RepeatedCallFailingAfterRegistrationIsRaised) {
  AmbitOrderUpdate update;  // registration "succeeds" but the class stays missing
  std::string order_ids;
  try {
    CallAddGiftService(update, kDsn, "7", order_ids);
    FAIL() << "the repeated failure was swallowed";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kCannotCreateObject);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.CallAddGiftService");
  }
  EXPECT_EQ(shell_->commands.size(), 2u);
  EXPECT_THROW(CallUnCheckService(update, kDsn, "7"), ComError);
}

// The promotion service over HTTP: a local server stands in for it.
TEST_F(ServicesTest, HttpAdapterPostsJsonAndReadsTheAnswer) {
  httplib::Server server;
  std::vector<nlohmann::ordered_json> requests;
  server.Post("/promo", [&](const httplib::Request& req, httplib::Response& res) {
    nlohmann::ordered_json body = nlohmann::ordered_json::parse(req.body);
    requests.push_back(body);
    if (body["sFID"] == "500") {
      res.status = 500;
      res.set_content("broken", "text/plain");
      return;
    }
    if (body["operation"] == "CallAddGiftForWebShop") {
      res.set_content(R"({"sOrderIDs":"G-)" + body["sFID"].get<std::string>() + "\"}",
                      "application/json");
    } else {
      res.set_content(R"({"result":true})", "application/json");
    }
  });
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread listener([&] { server.listen_after_bind(); });
  ConfigurePromotionService("http://127.0.0.1:" + std::to_string(port) + "/promo");

  AmbitOrderUpdate update;
  std::string order_ids = "in";
  CallAddGiftService(update, kDsn, "3,4", order_ids);
  EXPECT_EQ(order_ids, "G-3,4");
  Variant answer = CallUnCheckService(update, kDsn, "3");
  server.stop();
  listener.join();
  EXPECT_TRUE(answer.type() == VarType::kBoolean && answer.bool_value());
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[0]["PropsString"], kDsn);
  EXPECT_EQ(requests[0]["sOrderIDs"], "in");
  EXPECT_EQ(requests[1]["operation"], "CallUnCheckService");

  // The server is gone now: the adapter raises, the gateway swallows (not a 429).
  std::string fids = "1", props = kDsn;
  EXPECT_THROW(MakeHttpPromotionSale("http://127.0.0.1:" + std::to_string(port) + "/promo")
                   ->CallUnCheckService(props, fids),
               ComError);
  EXPECT_NO_THROW(CallUnCheckService(update, kDsn, "1"));
  EXPECT_THROW(ConfigurePromotionService("ftp://host/x"), ComError);
  // Withdrawn: creating the service is a 429 again, which sends the gateway to RegAsm.
  ConfigurePromotionService("");
  EXPECT_THROW(CreateHostObject(kProgIdPromotionSale), ComError);
}

}  // namespace
}  // namespace ambit::testing
