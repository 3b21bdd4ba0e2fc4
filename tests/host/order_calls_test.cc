// The order classes through the real host on an account file: the served account fills every
// connection argument, an aborted call never answers success, and outside services are called
// after commit, not while the call holds the account's write lock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "maintain/services.h"
#include "support/account_fixture.h"

namespace ambit::testing {
namespace {

using json = nlohmann::ordered_json;

// A promotion service that takes its time: `during` runs inside every call.
class SlowPromotion : public PromotionSale {
 public:
  void CallAddGiftForWebShop(std::string&, std::string& sFID, std::string&) override {
    Called("add " + sFID);
  }
  Variant CallUnCheckService(std::string&, std::string& sFID) override {
    Called("uncheck " + sFID);
    return Variant();
  }
  std::function<void()> during;
  std::vector<std::string> calls;

 private:
  void Called(std::string what) {
    calls.push_back(std::move(what));
    if (during) during();
  }
};

class OrderCallsTest : public ::testing::Test {
 protected:
  OrderCallsTest() : dispatcher_(accounts_, {&AmbitOrderInfoTable(), &AmbitOrderUpdateTable()}) {
    Remove();
    account_ = FreshAccountFile(path_);
    accounts_.AddAccount("acc", "Data Source=" + path_);
    RegisterHostServices({});
    RegisterHostObject(kProgIdPromotionSale, [p = promotion_] { return p; });
  }
  ~OrderCallsTest() override {
    UnregisterHostObject(kProgIdPromotionSale);
    account_.reset();
    Remove();
  }
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
  }
  json Call(const std::string& cls, const std::string& method, const json& args) {
    return dispatcher_.Call({cls, method, args, user_, "10.1.2.3"})["result"];
  }
  std::string Col(const std::string& column, int fid) {
    return Scalar(*account_, "select " + column + " from IC_Web2ERPOrders where FID = " + N(fid));
  }

  const std::string path_ = (std::filesystem::temp_directory_path() /
                             ("ambit-orders-" + std::to_string(::getpid()) + ".db")).string();
  AccountRegistry accounts_;
  Dispatcher dispatcher_;
  ConnectionPtr account_;
  std::shared_ptr<SlowPromotion> promotion_ = std::make_shared<SlowPromotion>();
  UserLoginPtr user_ = std::make_shared<HostUserLogin>("tok", 16394, "CHS");
};

TEST_F(OrderCallsTest, TheServedAccountNeedsNoNameAnywhere) {
  SeedOrder(*account_, {.fid = 3});
  SeedOrder(*account_, {.fid = 4});
  SeedLine(*account_, {.fid = 3, .item_id = 1});
  EXPECT_EQ(Call("AmbitOrderInfo", "GetWaitVerifyData", {{"dctPara", json::object()}})["rows"]
                .size(),
            2u);
  EXPECT_EQ(Call("AmbitOrderInfo", "GetSortRs", {{"strFIDs", "3"}})["rows"].size(), 1u);
  // Helpers without a connection argument run on it too.
  EXPECT_EQ(Call("AmbitOrderInfo", "IsTradeSuccessDown2fpNoVerify", json::object()), false);
  EXPECT_EQ(Call("AmbitOrderUpdate", "IsLogEnable", {{"OPCode", "1005"}}), true);
  EXPECT_THROW(Call("AmbitOrderInfo", "GetWaitVerifyData", {{"dctPara", {{"sDSN", "other"}}}}),
               ComError);
}

TEST_F(OrderCallsTest, AnAbortedReviewAnswersAnErrorAndChangesNothing) {
  SeedOrder(*account_, {.fid = 5});
  SeedOrder(*account_, {.fid = 6});
  json args = {{"iOrderStatus", 2}, {"sDsn", "acc"}, {"sFID", "5,6,"}};
  try {
    Call("AmbitOrderUpdate", "SetWebOrderStatusForNet", args);
    FAIL() << "the aborted review answered success";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), kCallAborted);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SetWebOrderStatusForNet");
  }
  EXPECT_EQ(Col("FCheckStatus", 5), "0");
  EXPECT_TRUE(promotion_->calls.empty());
  args["sFID"] = "5,6";
  EXPECT_EQ(Call("AmbitOrderUpdate", "SetWebOrderStatusForNet", args), true);
  EXPECT_EQ(promotion_->calls, (std::vector<std::string>{"uncheck 5,6", "add 5,6"}));
}

// The service may take up to its HTTP timeout. Meanwhile other writers of the account go on:
// the un-review committed before the service was called.
TEST_F(OrderCallsTest, ASlowPromotionServiceHoldsNoWriteLock) {
  SeedOrder(*account_, {.fid = 5, .check_status = schema::code::kCheckStatusReviewed});
  SeedOrder(*account_, {.fid = 6});
  std::string other_writer = "not run", seen_during;
  promotion_->during = [&] {
    try {
      account_->Execute("update IC_Web2ERPOrders set FVoidStatus = 1 where FID = 6");
      other_writer = "done";
    } catch (const ComError& e) {
      other_writer = e.description();
    }
    seen_during = Col("FCheckStatus", 5);
  };
  json para = {{"sDSN", "acc"}, {"FID", "5"}, {"FOrderStatus", 1}};
  EXPECT_EQ(Call("AmbitOrderUpdate", "SetWebOrderStatus", {{"dctPara", para}}), true);
  EXPECT_EQ(promotion_->calls, (std::vector<std::string>{"uncheck 5"}));
  EXPECT_EQ(other_writer, "done");
  EXPECT_EQ(seen_during, "0");

  // An un-review that fails keeps nothing, so the service hears nothing of it.
  account_->Execute("drop table IC_Web2ERPOrdersEntry");
  para["FID"] = "6";
  EXPECT_THROW(Call("AmbitOrderUpdate", "SetWebOrderStatus", {{"dctPara", para}}), ComError);
  EXPECT_EQ(promotion_->calls.size(), 1u);
}

}  // namespace
}  // namespace ambit::testing
