// Delete, void, line close, lock and item replacement.
#include <gtest/gtest.h>

#include "maintain/maintain_fixture.h"
#include "maintain/status_ops.h"

namespace ambit::testing {
namespace {

namespace code = schema::code;

class StatusRowsTest : public MaintainTest {
 protected:
  DictionaryPtr Para(const std::string& fids) {
    return Dict({{"sDSN", Variant(kDsn)}, {"FID", Variant(fids)}});
  }
  std::string FidRange(int from, int to) {
    std::string out;
    for (int fid = from; fid <= to; ++fid) out += (out.empty() ? "" : ",") + N(fid);
    return out;
  }
};

TEST_F(StatusRowsTest, DeleteRemovesOrdersLinesLogAndAfterSalesRows) {
  for (int fid : {1, 2}) SeedOrder(conn(), {.fid = fid});
  int gone = SeedLine(conn(), {.fid = 1, .item_id = 5});
  int kept = SeedLine(conn(), {.fid = 2, .item_id = 5});
  conn().Execute("insert into IC_RefundInfo (FEntryID) values (" + N(gone) + "), (" + N(kept) +
                 "), (0)");
  conn().Execute("insert into IC_RefundRecord (FEntryID) values (" + N(gone) + "), (" +
                 N(kept) + ")");
  conn().Execute("insert into IC_TradeLog (FOrderFID, FOPUserID, FOPCode, FItemID) values "
                 "(1, 1, 2009, 0), (2, 1, 2009, 0)");
  AmbitOrderUpdate update;
  ASSERT_TRUE(DeleteWebOrder(update, Para("1")));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders"), 1);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FID = 1"), 0);
  EXPECT_EQ(Int("select count(*) from IC_RefundInfo where FEntryID = " + N(gone)), 0);
  EXPECT_EQ(Int("select count(*) from IC_RefundRecord where FEntryID = " + N(gone)), 0);
  // Rows of other orders, and rows without a line, stay.
  EXPECT_EQ(Int("select count(*) from IC_RefundInfo"), 2);
  EXPECT_EQ(Int("select count(*) from IC_RefundRecord"), 1);
  EXPECT_EQ(Int("select count(*) from IC_TradeLog"), 1);
  EXPECT_EQ(Int("select FOrderFID from IC_TradeLog"), 2);
  EXPECT_FALSE(DeleteWebOrder(update, Para("")));
  EXPECT_THROW(DeleteWebOrder(update, Para("2,x")), ComError);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders"), 1);
}

TEST_F(StatusRowsTest, VoidAndRowCloseSetTheirFlags) {
  for (int fid : {1, 2}) SeedOrder(conn(), {.fid = fid});
  SeedLine(conn(), {.fid = 1, .item_id = 5});
  SeedLine(conn(), {.fid = 1, .item_id = 6});
  SeedLine(conn(), {.fid = 2, .item_id = 5});
  AmbitOrderUpdate update;
  DictionaryPtr para = Para("1,2");
  para->SetValue("FVoidStatus", Variant(1));
  ASSERT_TRUE(SetWebOrderVoidStatus(update, para));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FVoidStatus = 1"), 2);
  ASSERT_TRUE(SetWebOrderVoidStatus(update, Para("2")));  // the default takes it back
  EXPECT_EQ(Int("select FVoidStatus from IC_Web2ERPOrders where FID = 2"), 0);

  EXPECT_FALSE(SetWebOrderRowClose(update, Para("1")));  // no FFIsRowClose: nothing
  para = Para("1");
  para->SetValue("FFIsRowClose", Variant("1"));
  ASSERT_TRUE(SetWebOrderRowClose(update, para));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FIsRowClose = 1"), 2);
  EXPECT_EQ(Int("select FIsRowClose from IC_Web2ERPOrdersEntry where FID = 2"), 0);
  para->SetValue("FFIsRowClose", Variant("1; delete from IC_Web2ERPOrders"));
  EXPECT_THROW(SetWebOrderRowClose(update, para), ComError);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders"), 2);
}

TEST_F(StatusRowsTest, LockRunsBatchesOfAtMost51OrdersWithTheQuoteFreeReason) {
  for (int fid = 1; fid <= 120; ++fid) SeedOrder(conn(), {.fid = fid});
  conn().Execute("insert into IC_Web2ERPOrdersEx (FID, FOrderID, FIsLock) values (7, 'E7', 0)");
  AmbitOrderUpdate update;
  DictionaryPtr para = Dict({{"sDsn", Variant(kDsn)},
                             {"FID", Variant(FidRange(1, 120))},
                             {"LockReason", Variant("buyer's\r\nrequest")},
                             {"LockStatus", Variant(int16_t{3})}});
  size_t before = recorder().batches.size();
  ASSERT_TRUE(LockWebOrder(update, para));
  std::vector<std::string> batches(recorder().batches.begin() + before,
                                   recorder().batches.end());
  ASSERT_EQ(batches.size(), 3u);
  auto orders_in = [](const std::string& batch) {
    int n = 0;
    for (size_t p = batch.find("IF EXISTS"); p != std::string::npos;
         p = batch.find("IF EXISTS", p + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(orders_in(batches[0]), 51);
  EXPECT_EQ(orders_in(batches[1]), 51);
  EXPECT_EQ(orders_in(batches[2]), 18);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEx where FIsLock = 1 and FLockStatus = 3 "
                "and FLockReason = 'buyersrequest'"),
            120);
  EXPECT_EQ(Scalar("select FOrderID from IC_Web2ERPOrdersEx where FID = 7"), "E7");

  // Unlocking closes the ERP sales orders made from the order, and only those.
  conn().Execute("insert into SEOrder (FInterID, FBillNo) values (900, 'SO900'), (901, 'SO901')");
  conn().Execute("insert into SEOrderEntry (FInterID, FEntryID, FSourceTranType, FSourceInterId, "
                 "FMrpAutoClosed) values (900, 1, 1014300, 7, 1), (901, 1, 1014300, 8, 1)");
  para = Dict({{"sDsn", Variant(kDsn)}, {"FID", Variant("7")}, {"IsLock", Variant(int16_t{0})}});
  ASSERT_TRUE(LockWebOrder(update, para));
  EXPECT_EQ(Scalar("select FIsLock from IC_Web2ERPOrdersEx where FID = 7"), "0");
  EXPECT_EQ(Scalar("select FLockReason from IC_Web2ERPOrdersEx where FID = 7"), "");
  EXPECT_EQ(Scalar("select CAST(FClosed AS varchar) + ',' + CAST(FStatus AS varchar) "
                   "from SEOrder where FInterID = 900"),
            "1,1");
  EXPECT_EQ(Scalar("select CAST(FMrpClosed AS varchar) + ',' + CAST(FMrpAutoClosed AS varchar) "
                   "from SEOrderEntry where FInterID = 900"),
            "1,0");
  EXPECT_EQ(Scalar("select FClosed from SEOrder where FInterID = 901"), "0");
  EXPECT_FALSE(LockWebOrder(update, NewDictionary()));
}

TEST_F(StatusRowsTest, ChangeOrderItemSetsItemAndUnitAndLogsEveryLine) {
  conn().Execute("insert into t_MeasureUnit (FItemID, FName) values (61, 'box'), (62, 'bag')");
  SeedItem(conn(), {.item_id = 10, .name = "Green tea", .unit_id = 61});
  SeedItem(conn(), {.item_id = 11, .name = "Black tea", .unit_id = 62});
  for (int fid : {1, 2, 3}) SeedOrder(conn(), {.fid = fid});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .unit_id = 61});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .unit_id = 61});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .unit_id = 61});
  SeedLine(conn(), {.fid = 3, .item_id = 10, .unit_id = 61});
  AmbitOrderUpdate update;
  DictionaryPtr item = Dict({{"FID", Variant("1,2")}, {"FItemID", Variant(11)}});
  ASSERT_TRUE(ChangeOrderItem(update, kDsn, item));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FItemID = 11 and FUnitID = 62"),
            3);
  EXPECT_EQ(Int("select FItemID from IC_Web2ERPOrdersEntry where FID = 3"), 10);
  ASSERT_EQ(Int("select count(*) from IC_TradeLog where FOPCode = 1005"), 3);
  EXPECT_EQ(Int("select count(*) from IC_TradeLog where FOPCode = 1005 and FOrderFID = 1 and "
                "FOPUserID = 16394 and FUserIP = '10.1.2.3' and FItemID = 0 and "
                "FOldValue = N'Green tea，单位：box' and FNewValue = N'Black tea，单位：bag'"),
            2);

  // An item the account does not know: its unit is 0.
  ASSERT_TRUE(ChangeOrderItem(update, kDsn, Dict({{"FID", Variant("3")}, {"FItemID", Variant(77)}})));
  EXPECT_EQ(Scalar("select CAST(FItemID AS varchar) + '/' + CAST(FUnitID AS varchar) from "
                   "IC_Web2ERPOrdersEntry where FID = 3"),
            "77/0");
  // Switched off: no log rows, the change still happens.
  conn().Execute("update IC_TradeLogType set FWriteLog = 0 where FOPCode = 1005");
  ASSERT_TRUE(ChangeOrderItem(update, kDsn, Dict({{"FID", Variant("2")}, {"FItemID", Variant(10)}})));
  EXPECT_EQ(Int("select count(*) from IC_TradeLog"), 4);
  EXPECT_EQ(Int("select FItemID from IC_Web2ERPOrdersEntry where FID = 2"), 10);

  EXPECT_FALSE(ChangeOrderItem(update, kDsn, Dict({{"FID", Variant("2")}, {"FItemID", Variant(0)}})));
  EXPECT_FALSE(ChangeOrderItem(update, kDsn, Dict({{"FItemID", Variant(10)}})));
  EXPECT_FALSE(ChangeOrderItem(update, kDsn, nullptr));
  EXPECT_THROW(ChangeOrderItem(update, kDsn, Dict({{"FID", Variant("2")}, {"FItemID", Variant("x")}})),
               ComError);
}

}  // namespace
}  // namespace ambit::testing
