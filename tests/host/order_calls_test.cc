// The order classes through the real host on an account file: the served account fills every
// connection argument, an aborted call never answers success, and outside services are called
// after commit, not while the call holds the account's write lock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "maintain/services.h"
#include "support/account_fixture.h"

namespace ambit::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A promotion service that takes its time: `during` runs inside every call, while the service
// would still be working.
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
  static AccountOptions Options() {
    AccountOptions options;
    options.pool_size = 2;
    return options;
  }

  OrderCallsTest()
      : path_(fs::temp_directory_path() /
              ("ambit-orders-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db")),
        accounts_(Options()),
        dispatcher_(accounts_, {&AmbitOrderInfoTable(), &AmbitOrderUpdateTable()}) {
    Remove();
    account_ = FreshAccountFile(path_.string());
    accounts_.AddAccount("acc", "Data Source=" + path_.string());
    RegisterHostServices({});
    RegisterHostObject(kProgIdPromotionSale, [p = promotion_] { return p; });
  }
  ~OrderCallsTest() override {
    UnregisterHostObject(kProgIdPromotionSale);
    account_.reset();
    Remove();
  }
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path_.string() + suffix);
  }

  json Call(const std::string& cls, const std::string& method, const json& args) {
    return dispatcher_.Call({cls, method, args, user_, "10.1.2.3"});
  }
  json Update(const std::string& method, const json& args) {
    return Call("AmbitOrderUpdate", method, args);
  }
  std::string Col(const std::string& column, int fid) {
    return Scalar(*account_, "select " + column + " from IC_Web2ERPOrders where FID = " + N(fid));
  }

  fs::path path_;
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
  json rows = Call("AmbitOrderInfo", "GetWaitVerifyData", {{"dctPara", json::object()}});
  EXPECT_EQ(rows["result"]["rows"].size(), 2u) << rows.dump();
  rows = Call("AmbitOrderInfo", "GetSortRs", {{"strFIDs", "3"}});
  EXPECT_EQ(rows["result"]["rows"].size(), 1u) << rows.dump();
  // Helpers without a connection argument run on the served account too.
  EXPECT_EQ(Call("AmbitOrderInfo", "IsTradeSuccessDown2fpNoVerify", json::object())["result"],
            false);
  EXPECT_EQ(Update("IsLogEnable", {{"OPCode", "1005"}})["result"], true);
  EXPECT_EQ(Update("WriteSaveOrderLog", {{"FID", "3"}, {"EntryID", "0"},
                                         {"FieldName", "FConsignee"}, {"Value", "Ann"}})["result"],
            false);
  // An explicit value still wins, and names the account it wants.
  EXPECT_THROW(Call("AmbitOrderInfo", "GetWaitVerifyData", {{"dctPara", {{"sDSN", "other"}}}}),
               ComError);
}

TEST_F(OrderCallsTest, AnAbortedReviewAnswersAnErrorAndChangesNothing) {
  SeedOrder(*account_, {.fid = 5});
  SeedOrder(*account_, {.fid = 6});
  try {
    Update("SetWebOrderStatusForNet", {{"iOrderStatus", 2}, {"sDsn", "acc"}, {"sFID", "5,6,"}});
    FAIL() << "the aborted review answered success";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), kCallAborted);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SetWebOrderStatusForNet");
  }
  EXPECT_EQ(Col("FCheckStatus", 5), "0");
  EXPECT_EQ(Col("FCheckStatus", 6), "0");
  EXPECT_TRUE(promotion_->calls.empty());
  EXPECT_EQ(Update("SetWebOrderStatusForNet",
                   {{"iOrderStatus", 2}, {"sDsn", "acc"}, {"sFID", "5,6"}})["result"],
            true);
  EXPECT_EQ(promotion_->calls, (std::vector<std::string>{"uncheck 5,6", "add 5,6"}));
}

// The promotion service may take up to its HTTP timeout. While it works on an un-review, other
// writers of the account go on: the un-review has committed before the service is called.
TEST_F(OrderCallsTest, ASlowPromotionServiceHoldsNoWriteLock) {
  SeedOrder(*account_, {.fid = 5, .status = schema::code::kOrderStatusReviewed,
                        .check_status = schema::code::kCheckStatusReviewed});
  SeedOrder(*account_, {.fid = 6});
  std::string other_error = "not run";
  std::string seen_during;
  promotion_->during = [&] {
    std::thread other([&] {
      try {
        Update("SetWebOrderVoidStatus",
               {{"dctPara", {{"sDSN", "acc"}, {"FID", "6"}, {"FVoidStatus", 1}}}});
        other_error.clear();
      } catch (const ComError& e) {
        other_error = e.description();
      }
    });
    other.join();
    seen_during = Col("FCheckStatus", 5);
  };
  EXPECT_EQ(Update("SetWebOrderStatus",
                   {{"dctPara", {{"sDSN", "acc"}, {"FID", "5"}, {"FOrderStatus", 1}}}})["result"],
            true);
  EXPECT_EQ(promotion_->calls, (std::vector<std::string>{"uncheck 5"}));
  EXPECT_EQ(other_error, "");
  EXPECT_EQ(Col("FVoidStatus", 6), "1");
  EXPECT_EQ(seen_during, "0");

  // An un-review that fails keeps nothing, so the service hears nothing of it.
  promotion_->during = nullptr;
  account_->Execute("drop table IC_Web2ERPOrdersEntry");
  EXPECT_THROW(Update("SetWebOrderStatus",
                      {{"dctPara", {{"sDSN", "acc"}, {"FID", "6"}, {"FOrderStatus", 1}}}}),
               ComError);
  EXPECT_EQ(promotion_->calls.size(), 1u);
}

}  // namespace
}  // namespace ambit::testing
