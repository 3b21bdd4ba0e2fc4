// Fixture of the order maintenance tests: a fresh account whose connection records every batch
// the methods send (so tests can count batches and see the exact text), a LocalHost on it, and
// a promotion service double that records its calls.
#ifndef AMBIT_TESTS_MAINTAIN_MAINTAIN_FIXTURE_H_
#define AMBIT_TESTS_MAINTAIN_MAINTAIN_FIXTURE_H_

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "classes/classes.h"
#include "frame/host_services.h"
#include "frame/shared_helpers.h"
#include "maintain/services.h"
#include "support/account_fixture.h"
#include "support/recording_connection.h"

namespace ambit::testing {

struct PromotionCall {
  std::string operation;
  std::string props;
  std::string fids;
};

// Records every call; fails with `fail_number` when set; writes `order_ids` back.
class PromotionDouble : public PromotionSale {
 public:
  void CallAddGiftForWebShop(std::string& PropsString, std::string& sFID,
                             std::string& sOrderIDs) override {
    calls.push_back({"CallAddGiftForWebShop", PropsString, sFID});
    MaybeFail();
    sOrderIDs = order_ids;
  }
  Variant CallUnCheckService(std::string& PropsString, std::string& sFID) override {
    calls.push_back({"CallUnCheckService", PropsString, sFID});
    MaybeFail();
    return Variant(uncheck_answer);
  }

  std::vector<PromotionCall> calls;
  int fail_number = 0;
  std::string order_ids = "WD1,WD2";
  std::string uncheck_answer = "unchecked";

 private:
  void MaybeFail() {
    if (fail_number != 0) throw ComError(fail_number, "PromotionDouble", "promotion failed");
  }
};

class MaintainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    account_ = FreshAccount();
    recorder_ = std::make_shared<RecordingConnection>(account_);
    host_ = std::make_unique<LocalHost>(
        [conn = recorder_](const std::string&) -> ConnectionPtr { return conn; },
        std::make_shared<LocalUserLogin>("test", kUser, "CHS"));
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Security>(); });
    SetCallClientAddress("10.1.2.3");
  }
  void TearDown() override {
    UnregisterHostObject(kProgIdPromotionSale);
    UnregisterHostObject(kProgIdSecurityInfo);
    SetCallClientAddress("");
    host_.reset();
  }

  // Registers the promotion double as the service and answers it.
  std::shared_ptr<PromotionDouble> InstallPromotion() {
    auto promotion = std::make_shared<PromotionDouble>();
    RegisterHostObject(kProgIdPromotionSale, [promotion] { return promotion; });
    return promotion;
  }

  Connection& conn() { return *account_; }
  RecordingConnection& recorder() { return *recorder_; }
  LocalCallContext& context() { return *host_->context(); }
  std::string Scalar(const std::string& sql) { return testing::Scalar(*account_, sql); }
  int Int(const std::string& sql) { return ScalarInt(*account_, sql); }

  // Everything a test may compare before and after a failed call, one text per table.
  std::string Snapshot(const std::string& table, const std::string& columns) {
    return Rows(*account_, "select " + columns + " from " + table + " order by 1");
  }

  static constexpr int16_t kUser = 16394;

 private:
  class Security : public SecurityInfo {
   public:
    Variant GetCurrentUserID(const std::string&) override { return Variant(int32_t{kUser}); }
  };

  ConnectionPtr account_;
  std::shared_ptr<RecordingConnection> recorder_;
  std::unique_ptr<LocalHost> host_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_MAINTAIN_MAINTAIN_FIXTURE_H_
