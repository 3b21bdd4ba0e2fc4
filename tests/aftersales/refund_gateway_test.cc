// The refund gateways: the service's answer, one registration and retry when its class is
// missing, and every failure as "number,description,source".
#include "aftersales/refund_service.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include <nlohmann/json.hpp>

#include "aftersales/aftersales_fixture.h"
#include "support/service_doubles.h"

namespace ambit::testing {
namespace {

// Records the calls it receives, in order; fails with `fail_number` when set.
class RefundDouble : public RefundInterOp {
 public:
  void InitConn(std::string& sDsn) override { calls.push_back("InitConn " + sDsn); }
  std::string CheckRefundSession(std::string& shop) override {
    return Answer("CheckRefundSession " + shop);
  }
  std::string DoRefund(std::string& shop, std::string& fids, std::string& code,
                       std::string& remark, std::string& emp) override {
    return Answer("DoRefund " + shop + " " + fids + " " + code + " " + remark + " " + emp);
  }
  std::string DoRefundSingle(std::string& shop, std::string& refund, std::string& code,
                             std::string& remark, std::string& message, std::string& file,
                             std::string& emp, bool& is_return) override {
    return Answer("DoRefundSingle " + shop + " " + refund + " " + code + " " + remark + " " +
                  message + " " + file + " " + emp + (is_return ? " returned" : " kept"));
  }

  std::vector<std::string> calls;
  int fail_number = 0;

 private:
  std::string Answer(const std::string& call) {
    calls.push_back(call);
    if (fail_number) throw ComError(fail_number, "Platform.Refund", "the platform said no");
    return "done";
  }
};

class RefundGatewayTest : public AfterSalesTest {
 protected:
  void SetUp() override {
    AfterSalesTest::SetUp();
    machine_ = std::make_unique<RegAsmMachine>(kRefundAssembly);
  }
  void TearDown() override {
    UnregisterHostObject(kProgIdRefundInterOp);
    machine_.reset();
    AfterSalesTest::TearDown();
  }
  std::shared_ptr<RefundDouble> Install() {
    auto service = std::make_shared<RefundDouble>();
    RegisterHostObject(kProgIdRefundInterOp, [service] { return service; });
    return service;
  }
  std::string Single() {
    return DoRefundSingle(update(), kDsn, "SHOP1", "12", "R-9", "rem", "sorry", "proof.png",
                          "501", true);
  }
  std::unique_ptr<RegAsmMachine> machine_;
};

TEST_F(RefundGatewayTest, AnswersComeFromTheServiceAfterInitConn) {
  auto service = Install();
  EXPECT_EQ(CheckRefundSession(update(), kDsn, "SHOP1"), "done");
  EXPECT_EQ(DoRefund(update(), kDsn, "SHOP1", "1,2", "code", "rem", "501"), "done");
  EXPECT_EQ(Single(), "done");
  EXPECT_EQ(service->calls,
            (std::vector<std::string>{
                std::string("InitConn ") + kDsn, "CheckRefundSession SHOP1",
                std::string("InitConn ") + kDsn, "DoRefund SHOP1 1,2 code rem 501",
                std::string("InitConn ") + kDsn,
                "DoRefundSingle SHOP1 12 R-9 rem sorry proof.png 501 returned"}));
  EXPECT_TRUE(machine_->shell->commands.empty());
}

TEST_F(RefundGatewayTest, MissingServiceIsRegisteredOnceAndCalledAgain) {
  auto service = std::make_shared<RefundDouble>();
  machine_->RegisterOnRun(kProgIdRefundInterOp, [service] { return service; });
  EXPECT_EQ(Single(), "done");
  ASSERT_EQ(machine_->shell->commands.size(), 2u);
  EXPECT_EQ(std::filesystem::path(machine_->shell->commands[1].at(1)), machine_->Assembly());
  EXPECT_EQ(service->calls.size(), 2u);  // InitConn and the one refund
}

TEST_F(RefundGatewayTest, FailuresBecomeText) {
  // Registration fails: the creation error stands.
  std::filesystem::remove(machine_->Assembly());
  std::string answer = DoRefund(update(), kDsn, "SHOP1", "1", "c", "r", "5");
  EXPECT_EQ(answer.rfind("429,", 0), 0u) << answer;
  EXPECT_EQ(machine_->logger->messages.size(), 1u);
  // The service raises: its error, and no registration for anything but 429.
  auto service = Install();
  service->fail_number = 1017;
  EXPECT_EQ(CheckRefundSession(update(), kDsn, "SHOP1"),
            "1017,the platform said no,Platform.Refund");
  EXPECT_TRUE(machine_->shell->commands.empty());
  EXPECT_EQ(context().abort_count, 0);
}

// The refund service over HTTP: a local server stands in for it.
TEST_F(RefundGatewayTest, HttpAdapterPostsJsonAndPassesServiceErrorsOn) {
  httplib::Server server;
  std::vector<nlohmann::ordered_json> requests;
  server.Post("/refund", [&](const httplib::Request& req, httplib::Response& res) {
    nlohmann::ordered_json body = nlohmann::ordered_json::parse(req.body);
    requests.push_back(body);
    if (body["operation"] == "DoRefund") {
      res.status = 400;
      res.set_content(R"({"error":{"number":7001,"description":"code expired",)"
                      R"("source":"Platform"}})", "application/json");
      return;
    }
    res.set_content(R"({"result":"refunded )" + body.value("sRefundFID", "") + "\"}",
                    "application/json");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread listener([&] { server.listen_after_bind(); });
  ConfigureRefundService("http://127.0.0.1:" + std::to_string(port) + "/refund");
  std::string single = Single();
  std::string refund = DoRefund(update(), kDsn, "SHOP1", "1", "c", "r", "5");
  server.stop();
  listener.join();
  EXPECT_EQ(single, "refunded 12");
  EXPECT_EQ(refund, "7001,code expired,Platform");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0]["sDsn"], kDsn);
  EXPECT_EQ(requests[0]["bIsReturn"], true);
  EXPECT_EQ(requests[0]["sFileName"], "proof.png");
  EXPECT_THROW(ConfigureRefundService("https://x/"), ComError);
  ConfigureRefundService("");
  EXPECT_EQ(CheckRefundSession(update(), kDsn, "S").rfind("429,", 0), 0u);
}

}  // namespace
}  // namespace ambit::testing
