// Two reviews by stock check of orders that need the last units, through the real dispatcher on
// an account file with a connection each: at most one may pass.
#include <gtest/gtest.h>

#include <thread>

#include "backends/sqlite/sqlite_connection.h"
#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "support/account_fixture.h"
#include "support/temp_db_file.h"

namespace ambit::testing {
namespace {

class ReviewConcurrencyTest : public ::testing::Test {
 protected:
  static AccountOptions Options() {
    AccountOptions options;
    options.pool_size = 2;
    return options;
  }

  ReviewConcurrencyTest()
      : accounts_(Options()), dispatcher_(accounts_, {&AmbitOrderUpdateTable()}) {
    RegisterSqliteBackend();
    seed_ = FreshAccountFile(file_.string());
    accounts_.AddAccount("acc", "Provider=SQLite;Data Source=" + file_.string());
  }
  ~ReviewConcurrencyTest() override { seed_.reset(); }

  TempDbFile file_{"ambit-stock-"};
  ConnectionPtr seed_;
  AccountRegistry accounts_;
  Dispatcher dispatcher_;
};

TEST_F(ReviewConcurrencyTest, AtMostOneOfTwoReviewsTakesTheLastUnits) {
  constexpr int kRounds = 6;
  SeedStock(*seed_, 1, "Main");
  for (int round = 0; round < kRounds; ++round) {
    // A fresh item per round with 5 on hand; two orders need all of it.
    int item = 100 + round;
    SeedItem(*seed_, {.item_id = item, .unit_id = 1});
    SeedInventory(*seed_, item, 1, 5);
    int fids[2] = {round * 2 + 1, round * 2 + 2};
    for (int fid : fids) {
      SeedOrder(*seed_, {.fid = fid});
      SeedLine(*seed_, {.fid = fid, .item_id = item, .quantity = 5, .stock_id = 1, .unit_id = 1});
    }
    std::vector<std::thread> threads;
    for (int fid : fids) {
      threads.emplace_back([this, fid] {
        UserLoginPtr user = std::make_shared<HostUserLogin>("t", 16394, "CHS");
        dispatcher_.Call({"AmbitOrderUpdate", "SetWebOrderStatusByCheckStock",
                          {{"sDsn", "acc"}, {"sFIDs", std::to_string(fid)}}, user, ""});
      });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(ScalarInt(*seed_, "SELECT COUNT(*) FROM IC_Web2ERPOrders WHERE FCheckStatus = 1 "
                                "AND FID IN (" + N(fids[0]) + "," + N(fids[1]) + ")"),
              1)
        << "round " << round;
  }
}

}  // namespace
}  // namespace ambit::testing
