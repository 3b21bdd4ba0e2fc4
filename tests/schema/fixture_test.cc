// The account fixture later tests build on: the host hands the account to every call, and the
// seeding helpers write rows the way downloads do.
#include <gtest/gtest.h>

#include "frame/host.h"
#include "support/account_fixture.h"

namespace ambit::testing {
namespace {

class FixtureTest : public AccountTest {};

TEST_F(FixtureTest, HostHandsTheAccountToEveryCallAsTheChosenUser) {
  CallContextPtr call = ThreadContextService().GetCallContext();
  ASSERT_TRUE(call);
  call->OpenDataSource(kDsn);
  EXPECT_EQ(call->Connection().get(), connection().get());
  call->OpenDataSource("Provider=SQLite;Data Source=elsewhere.db");
  EXPECT_EQ(call->Connection().get(), connection().get());
  EXPECT_EQ(call->CurrentUser()->UserID(), schema::code::kAdministratorUserID);
  SetUser(7, "CHT");
  EXPECT_EQ(ThreadContextService().GetCallContext()->CurrentUser()->UserID(), 7);
  EXPECT_EQ(ThreadContextService().GetCallContext()->CurrentUser()->LanguageCode(), "CHT");
}

TEST_F(FixtureTest, SeededLinesFollowTheirOrder) {
  SeedOrder(conn(), {.fid = 3, .order_id = "O'3", .status = 2, .check_status = 1});
  int first = SeedLine(conn(), {.fid = 3, .item_id = 10, .quantity = 2, .price = 1.25});
  int second = SeedLine(conn(), {.fid = 3, .item_id = 11, .batch_no = "B'1"});
  EXPECT_LT(first, second);
  EXPECT_EQ(Scalar(conn(), "SELECT FOrderID FROM IC_Web2ERPOrdersEntry WHERE FEntryID = " +
                               N(second)),
            "O'3");
  EXPECT_EQ(Scalar(conn(), "SELECT CONVERT(varchar(10), FIndex) + '/' + FBatchNo "
                           "FROM IC_Web2ERPOrdersEntry WHERE FEntryID = " + N(second)),
            "2/B'1");
  EXPECT_DOUBLE_EQ(CDbl(Variant(Scalar(conn(), "SELECT FAmount FROM IC_Web2ERPOrdersEntry "
                                               "WHERE FEntryID = " + N(first)))),
                   2.5);
  // Defaults of the columns the seeds leave out.
  EXPECT_EQ(Scalar(conn(), "SELECT CONVERT(varchar(10), FVoidStatus) + '/' + FUniqueCode + '/' "
                           "+ CONVERT(varchar(10), FInnerInvoice) FROM IC_Web2ERPOrders "
                           "WHERE FID = 3"),
            "0/0/0");
}

TEST_F(FixtureTest, ProfilesAreReplacedNotDoubled) {
  SetProfile(conn(), "PreCheckOnStock", "0");
  SetProfile(conn(), "PreCheckOnStock", "1");
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM t_SystemProfile WHERE FKey = 'PreCheckOnStock'"),
            1);
  EXPECT_EQ(Scalar(conn(), "SELECT FValue FROM t_SystemProfile WHERE FKey = 'PreCheckOnStock'"),
            "1");
}

}  // namespace
}  // namespace ambit::testing
