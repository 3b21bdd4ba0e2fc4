// After-sales updates through the real host: each call is one transaction, so a statement
// failing after earlier cases or documents were written leaves the account as it was.
#include <gtest/gtest.h>

#include "support/dispatcher_fixture.h"

namespace ambit::testing {
namespace {

class AfterSalesHostTest : public DispatcherTest {
 protected:
  std::string Snapshot() {
    return Rows("select FID, FEntryID, FServiceStatus, FReceiveQty from IC_RefundInfo order by FID") +
           Rows("select FEntryID, FServiceStatus, FRefundFID, FRefundStatus, FReceiptQty from "
                "IC_Web2ERPOrdersEntry order by FEntryID") +
           Rows("select count(*) from IC_RefundRecord") + Rows("select count(*) from IC_Receipt");
  }
};

TEST_F(AfterSalesHostTest, CreationFailingOnItsSecondLineKeepsNothing) {
  SeedOrder(*account_, {.fid = 1});
  for (int i = 0; i < 2; ++i) SeedLine(*account_, {.fid = 1, .item_id = 10, .quantity = 2});
  // Both lines belong to one shop order: a second case with that number is refused.
  account_->Execute("create unique index ix_test_site on IC_RefundInfo (FSiteOrderID)");
  std::string before = Snapshot();
  nlohmann::ordered_json items = nlohmann::ordered_json::array(
      {{{"FEntryID", 1}, {"FForceComfirm", 1}, {"FIsReturn", 0}, {"FNum", 1}},
       {{"FEntryID", 2}, {"FForceComfirm", 1}, {"FIsReturn", 0}, {"FNum", 1}}});
  nlohmann::ordered_json args = {{"sDsn", "acc"}, {"vctData", items}, {"lOpType", 1}, {"lEmpID", 3}};
  EXPECT_THROW(Call("AddRefundServices", args), ComError);
  EXPECT_EQ(Snapshot(), before);

  account_->Execute("drop index ix_test_site on IC_RefundInfo");
  EXPECT_EQ(Call("AddRefundServices", args)["result"], "OK:1,2,Faild:");
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_RefundRecord"), 4);
}

TEST_F(AfterSalesHostTest, RollbackBatchFailingKeepsTheDocuments) {
  SeedOrder(*account_, {.fid = 1});
  SeedLine(*account_, {.fid = 1, .item_id = 10, .quantity = 2});
  account_->Execute(
      "insert into IC_RefundInfo (FEntryID, FServiceStatus, FServiceType, FServiceSource, "
      "FReceiveQty) values (1, 38433, 2, 2, 2)\r\n"
      "update IC_Web2ERPOrdersEntry set FRefundFID = 1, FServiceStatus = 38433, FServiceType = 2, "
      "FServiceSource = 2, "
      "FReceiptQty = 2 where FEntryID = 1\r\n"
      "insert into IC_Receipt (FID, FBillNo) values (100, 'RC100')\r\n"
      "insert into IC_ReceiptEntry (FID, FRefundFID, FID_SRC, FEntryID_SRC, FClassID_SRC) "
      "values (100, 1, 1, 1, 1014300)\r\n"
      "insert into IC_RefundRecord (FEntryID, FManageType) values (1, 38451)");
  // The history row of the step back comes after the document deletes in the one batch.
  account_->Execute("create unique index ix_test_history on IC_RefundRecord (FEntryID)");
  std::string before = Snapshot();
  nlohmann::ordered_json args = {{"sDsn", "acc"}, {"iType", 2}, {"sFEntryIDs", "1"},
                         {"sRemark", "undo"}, {"lEmpID", "7"}};
  EXPECT_THROW(Call("BackToPreviousService", args), ComError);
  EXPECT_EQ(Snapshot(), before);

  account_->Execute("drop index ix_test_history on IC_RefundRecord");
  nlohmann::ordered_json answer = Call("BackToPreviousService", args)["result"];
  ASSERT_TRUE(answer.is_array());
  EXPECT_EQ(answer.back(), "单据[WD1]成功退回待审核退货状态");
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_Receipt"), 0);
}

}  // namespace
}  // namespace ambit::testing
