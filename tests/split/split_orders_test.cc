// One order per line: numbering, header data and money, the review filter and unique codes,
// routing of part-shipped trades, trade refresh, waybills, and a failure that keeps nothing.
#include <gtest/gtest.h>

#include "split/split_orders.h"
#include "split_fixture.h"
#include "support/dispatcher_fixture.h"

namespace ambit::testing {
namespace {

using SplitOrdersTest = SplitTest;

TEST_F(SplitOrdersTest, ThreeLinesBecomeThreeOrdersCarryingTheirLinesMoney) {
  std::vector<int> lines = SeedMoneyOrder(
      {.fid = 7, .order_id = "SO55", .consignee = "Li"},
      {{.quantity = 2, .amount = 20, .freight = 1, .discount = 2, .bill_discount = 0.5},
       {.quantity = 1, .amount = 5.5, .freight = 0, .discount = 0, .bill_discount = 0.25},
       {.quantity = 4, .amount = 8, .freight = 2.5, .discount = 1, .bill_discount = 0}});
  conn().Execute("insert into IC_Web2ERPOrdersEx (FID, FAddressReachable) values (7, 2)");
  conn().Execute("insert into ICStockBillEntry (FInterID, FEntryID, FSourceTranType, "
                 "FSourceInterId, FSourceEntryID) values (1, 1, 1014301, 7, " +
                 N(lines[1]) + "), (1, 2, 1014300, 7, " + N(lines[1]) + ")");
  std::string before = Totals("FID = 7");

  EXPECT_EQ(SplitOrders(update(), kDsn, Keys({7}), nullptr), "SO55_1  SO55_2  SO55_3");
  EXPECT_EQ(Orders("FOrderID, FAmount, FTotalFreight, FDiscountFee, FBillDiscountFee, "
                   "FConsignee, FUniqueCode", "1=1"),
            "SO55_1|20|1|2|0.5|Li|0\n"
            "SO55_2|5.5|0|0|0.25|Li|0\n"
            "SO55_3|8|2.5|1|0|Li|0\n");
  EXPECT_EQ(Totals("FOrderID like 'SO55%'"), before);
  // Each new order holds its one line, a companion row with the source's address check, and
  // the stock bill lines of web order lines follow their line.
  int second = ScalarInt(conn(), "select FID from IC_Web2ERPOrders where FOrderID = 'SO55_2'");
  EXPECT_EQ(ScalarInt(conn(), "select FID from IC_Web2ERPOrdersEntry where FEntryID = " +
                                  N(lines[1])), second);
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from IC_Web2ERPOrdersEntry group by FID "
                              "order by count(*) desc"), 1);
  EXPECT_EQ(ScalarInt(conn(), "select FAddressReachable from IC_Web2ERPOrdersEx where FID = " +
                                  N(second)), 2);
  EXPECT_EQ(Scalar(conn(), "select convert(varchar(10), FSourceInterId) + '/' + "
                           "convert(varchar(10), FEntryID) from ICStockBillEntry order by "
                           "FEntryID"), N(second) + "/1");
  EXPECT_EQ(ScalarInt(conn(), "select FSourceInterId from ICStockBillEntry where FEntryID = 2"),
            7);
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from IC_Web2ERPOrders where FID = 7"), 0);
}

TEST_F(SplitOrdersTest, ReviewStateAndUniqueCodesFollowOrigin) {
  SeedMoneyOrder({.fid = 1, .order_id = "R1", .status = 2, .check_status = 1},
                 {{.amount = 1}, {.amount = 2}, {.amount = 3}});
  DictionaryPtr para = NewDictionary();
  EXPECT_EQ(SplitOrders(update(), kDsn, Keys({1}), para), "");
  EXPECT_EQ(CStr(para->Value("Origin")), "0");  // the caller sees the default it got
  EXPECT_EQ(Orders("FOrderID", "1=1"), "R1\n");

  std::string month = Scalar(conn(), "select CONVERT(VARCHAR(6),GETDATE(),112)");
  conn().Execute("insert into IC_MaxNum (FTableName, FUserID, FNumber, FFlag) values "
                 "('UniqueCode', 16394, '" + month + "', 1)");
  conn().Execute("insert into ICMaxNum (FTableName, FMaxNum) values ('UniqueCode', 40)");
  EXPECT_EQ(SplitOrders(update(), kDsn, Keys({1}), Dict({{"Origin", Variant(1)}})),
            "R1_1  R1_2  R1_3");
  EXPECT_EQ(Orders("FOrderID, FUniqueCode, FCheckStatus", "1=1"),
            "R1_1|" + month + "41|1\nR1_2|" + month + "42|1\nR1_3|" + month + "43|1\n");
}

TEST_F(SplitOrdersTest, OtherOriginsSplitReviewedOrdersWithoutCodes) {
  SeedMoneyOrder({.fid = 1, .order_id = "R1", .check_status = 1}, {{.amount = 1}, {.amount = 2}});
  EXPECT_EQ(SplitOrders(update(), kDsn, Keys({1}), Dict({{"Origin", Variant(2)}})),
            "R1_1  R1_2");
  EXPECT_EQ(Orders("FUniqueCode", "1=1"), "0\n0\n");
}

TEST_F(SplitOrdersTest, ResultNamesTheLastSplitOrderAndPartShippedTradesTakeOver) {
  SeedMoneyOrder({.fid = 1, .order_id = "A"}, {{.amount = 1}, {.amount = 2}});
  SeedMoneyOrder({.fid = 2, .order_id = "B"}, {{.amount = 1}, {.amount = 2}, {.amount = 3}});
  SeedMoneyOrder({.fid = 3, .order_id = "C"}, {{.amount = 4}});  // one line: left alone
  EXPECT_EQ(SplitOrders(update(), kDsn, Keys({1, 2, 3, "x", -4, 0}), nullptr), "B_1  B_2  B_3");
  EXPECT_EQ(Orders("FOrderID", "1=1"), "A_1\nA_2\nB_1\nB_2\nB_3\nC\n");

  SeedMoneyOrder({.fid = 10, .order_id = "D"}, {{.amount = 1}, {.amount = 2}});
  SeedMoneyOrder({.fid = 11, .order_id = "P", .trade_status = 38197},
                 {{.amount = 5, .status = "TRADE_WAIT_BUYER_CONFIRM_GOODS"},
                  {.amount = 6, .status = "TRADE_WAIT_SELLER_SEND_GOODS"}});
  EXPECT_EQ(SplitOrders(update(), kDsn, Keys({10, 11}), nullptr), "P");
  EXPECT_EQ(Orders("FOrderID", "FOrderID like 'D%' or FOrderID like 'P%'"),
            "D_1\nD_2\nP-1\nP-2\n");
}

TEST_F(SplitOrdersTest, TooManyOrdersChangeNothing) {
  SeedMoneyOrder({.fid = 1, .order_id = "A"}, {{.amount = 1}, {.amount = 2}});
  VectorPtr keys = NewVector();
  for (int i = 0; i < kMaxSplitOrders + 1; ++i) keys->Add(Variant(1));
  EXPECT_EQ(SplitOrders(update(), kDsn, keys, nullptr), "");
  EXPECT_EQ(Orders("FOrderID", "1=1"), "A\n");
}

TEST_F(SplitOrdersTest, FirstOrderKeepsTheWaybillUnlessTheCarrierPrintsElectronically) {
  conn().Execute("insert into IC_Logistics (FItemID, FNumber, FPrintType) values "
                 "(1, 'ZT', 0), (2, 'SF', 1), (3, 'YXSR-LL', 0), (4, 'EMS', 0)");
  conn().Execute("insert into IC_LogisticsSetElectronic (FNumber, FPrintType) values ('EMS', 1)");
  for (int carrier = 1; carrier <= 4; ++carrier) {
    SeedMoneyOrder({.fid = carrier, .order_id = "W" + N(carrier)}, {{.amount = 1}, {.amount = 2}});
    conn().Execute("update IC_Web2ERPOrders set FLogisticsID=" + N(carrier) +
                   ",FLogisticsOrder='WB" + N(carrier) + "',FWeight=3,FLogisticsCost=4 "
                   "where FID=" + N(carrier));
  }
  SplitOrders(update(), kDsn, Keys({1, 2, 3, 4}), nullptr);
  EXPECT_EQ(Orders("FOrderID, FLogisticsOrder, FWeight, FLogisticsCost", "1=1"),
            "W1_1|WB1|0|0\nW1_2||0|0\nW2_1||0|0\nW2_2||0|0\n"
            "W3_1||0|0\nW3_2||0|0\nW4_1||0|0\nW4_2||0|0\n");
}

TEST_F(SplitOrdersTest, NewOrdersTakeTheDownloadedTradesData) {
  SeedMoneyOrder({.fid = 1, .order_id = "T", .site_order_id = "T100"},
                 {{.amount = 1}, {.amount = 2}});
  conn().Execute("update IC_Web2ERPOrdersEntry set FChildOrderID = 'C' + convert(varchar(9), "
                 "FEntryID)");
  conn().Execute("insert into IC_Trade (FTID, FWebShopID, FWebShopFID, FPayTime, "
                 "FModifiedTime, FCreatedTime, FStatus) values ('T100', 'SHOP9', 9, "
                 "'2026-02-01 08:00:00', '2026-02-02 09:00:00', '2026-01-30 07:00:00', "
                 "'TRADE_SELLER_CONSIGNED_PART')");
  int first = ScalarInt(conn(), "select min(FEntryID) from IC_Web2ERPOrdersEntry");
  conn().Execute("insert into Ic_weborder (ftradeid, foid, FStatus) values ('T100', 'C" +
                 N(first) + "', 'TRADE_WAIT_BUYER_CONFIRM_GOODS')");
  SplitOrders(update(), kDsn, Keys({1}), nullptr);
  // Each refresh reaches every order of the trade, so the last line's state wins; the second
  // line has no sub-order and keeps the trade's own state.
  EXPECT_EQ(Orders("FOrderID, FWebShopID, FWebShopFID, FSitePayDate, FOrderDate, "
                   "FTransactionStatus", "1=1"),
            "T_1|SHOP9|9|2026-02-01 08:00:00|2026-01-30 07:00:00|38197\n"
            "T_2|SHOP9|9|2026-02-01 08:00:00|2026-01-30 07:00:00|38197\n");
}

// Through the real host: the call runs in one transaction, so a statement failing after
// others ran leaves the account as it was.
using SplitHostTest = DispatcherTest;

TEST_F(SplitHostTest, SplitFailingHalfWayKeepsNothing) {
  Connection& account = *account_;
  for (int fid = 1; fid <= 2; ++fid) {
    SeedOrder(account, {.fid = fid, .order_id = "H" + N(fid)});
    SeedLine(account, {.fid = fid});
    SeedLine(account, {.fid = fid});
  }
  // The second order's companion rows collide with the first's.
  account.Execute("create unique index ix_test_ex on IC_Web2ERPOrdersEx (FOrderID, "
                  "FAddressReachable, FLotNumber)");
  nlohmann::ordered_json args = {{"sDsn", "acc"}, {"vctOrderInfo", {1, 2}}};
  try {
    Call("SplitOrders", args);
    FAIL() << "the duplicate companion row went unnoticed";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SplitOrders");
  }
  EXPECT_EQ(Scalar(account, "select count(*) from IC_Web2ERPOrders"), "2");
  EXPECT_EQ(Scalar(account, "select count(*) from IC_Web2ERPOrdersEx"), "0");
  EXPECT_EQ(Scalar(account, "select count(*) from IC_Web2ERPOrdersEntry where FID in (1, 2)"),
            "4");
}

}  // namespace
}  // namespace ambit::testing
