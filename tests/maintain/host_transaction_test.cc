// The update methods through the real host: the dispatcher runs each AmbitOrderUpdate call in
// one transaction, so a statement failing in the middle of a method leaves the account as it
// was, batches already executed included.
#include <gtest/gtest.h>

#include "support/dispatcher_fixture.h"

namespace ambit::testing {
namespace {

using HostTransactionTest = DispatcherTest;

TEST_F(HostTransactionTest, LockFailingInItsThirdBatchKeepsNothing) {
  std::string fids;
  for (int fid = 1; fid <= 120; ++fid) {
    SeedOrder(*account_, {.fid = fid});
    fids += (fid > 1 ? "," : "") + std::to_string(fid);
  }
  for (int fid = 1; fid <= 102; ++fid)
    account_->Execute("insert into IC_Web2ERPOrdersEx (FID, FOrderID) values (" + N(fid) +
                      ", 'E" + N(fid) + "')");
  account_->Execute("insert into IC_Web2ERPOrdersEx (FID, FOrderID) values (999, '')");
  account_->Execute("create unique index ix_test_ex_order on IC_Web2ERPOrdersEx (FOrderID)");
  const std::string kQuery = "select FID, FIsLock, FLockReason from IC_Web2ERPOrdersEx order by FID";
  std::string before = Rows(kQuery);
  nlohmann::ordered_json para = {{"sDsn", "acc"}, {"FID", fids}, {"LockReason", "stock"}};
  try {
    Call("LockWebOrder", {{"dctPara", para}});
    FAIL() << "the duplicate key went unnoticed";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.LockWebOrder");
  }
  EXPECT_EQ(Rows(kQuery), before);
  EXPECT_EQ(account_->TransactionDepth(), 0);

  // Without the obstacle the same call commits.
  account_->Execute("drop index ix_test_ex_order on IC_Web2ERPOrdersEx");
  EXPECT_EQ(Call("LockWebOrder", {{"dctPara", para}})["result"], true);
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_Web2ERPOrdersEx where FIsLock = 1"),
            120);
}

TEST_F(HostTransactionTest, ReviewFailingOnItsLastCodeKeepsNeitherStatusNorCounter) {
  for (int fid : {5, 7, 9}) SeedOrder(*account_, {.fid = fid, .unique_code = "old" + N(fid)});
  std::string month = Scalar(*account_, "select CONVERT(VARCHAR(6),GETDATE(),112)");
  account_->Execute("insert into IC_MaxNum (FTableName, FUserID, FNumber, FFlag) values "
                    "('UniqueCode', 16394, '" + month + "', 1)");
  account_->Execute("insert into ICMaxNum (FTableName, FMaxNum) values ('UniqueCode', 0)");
  SeedOrder(*account_, {.fid = 99, .unique_code = month + "3"});
  account_->Execute("create unique index ix_test_code on IC_Web2ERPOrders (FUniqueCode)");
  const std::string kOrders =
      "select FID, FOrderStatus, FCheckStatus, FChkMan, FUniqueCode from IC_Web2ERPOrders "
      "order by FID";
  const std::string kCounter = "select FMaxNum from ICMaxNum where FTableName = 'UniqueCode'";
  std::string orders = Rows(kOrders);
  nlohmann::ordered_json para = {{"sDSN", "acc"}, {"FID", "5,7,9"}, {"FOrderStatus", 2}};
  EXPECT_THROW(Call("SetWebOrderStatus", {{"dctPara", para}}), ComError);
  EXPECT_EQ(Rows(kOrders), orders);
  EXPECT_EQ(Scalar(*account_, kCounter), "0");

  account_->Execute("update IC_Web2ERPOrders set FUniqueCode = 'other' where FID = 99");
  EXPECT_EQ(Call("SetWebOrderStatus", {{"dctPara", para}})["result"], true);
  EXPECT_EQ(Scalar(*account_, "select FUniqueCode from IC_Web2ERPOrders where FID = 9"),
            month + "3");
  EXPECT_EQ(Scalar(*account_, kCounter), "3");
}

}  // namespace
}  // namespace ambit::testing
