// Merging a selection: which orders end up together, what the survivor holds afterwards, the
// service-line variant, and the automatic run after download.
#include <gtest/gtest.h>

#include <vector>

#include "merge/merge_fixture.h"

namespace ambit::testing {
namespace {

constexpr char kEmptyResult[] = "Success:|;Error:|";

std::string Failure(const std::string& consignee, const std::string& caption) {
  return "收货人[" + consignee + "]的订单合并失败，原因:" + caption + "不相同|";
}
std::string Success(const std::string& order_id) {
  return "本地订单号为[" + order_id + "]的订单合并成功。|";
}

TEST_F(MergeTest, AFieldThatDisagreesKeepsOrdersApartAndIsNamed) {
  SeedOrder(conn(), {.fid = 1, .consignee = "张三"});
  SeedOrder(conn(), {.fid = 2, .consignee = "张三"});
  Set(2, "FCurrencyID = 2");
  EXPECT_EQ(Merge(Fids({"1,2"})), "Success:|;Error:|" + Failure("张三", "币别"));
  EXPECT_EQ(Orders("FMergeStatus = 0"), 2);

  // Two orders at one address merge; the third, elsewhere, names the address.
  for (int fid : {3, 4, 5}) SeedOrder(conn(), {.fid = fid, .consignee = "李四"});
  Set(5, "FDeliveryAddress = N'另一条路'");
  std::string gift = "9";
  std::string result = Merge(Fids({"3", "4,5"}), &gift);
  std::string survivor = Scalar("select FID from IC_Web2ERPOrders where FMergeStatus = 1");
  ASSERT_TRUE(survivor == "3" || survivor == "4") << survivor;
  EXPECT_EQ(result,
            "Success:|" + Success("WD" + survivor) + ";Error:|" + Failure("李四", "收货地址"));
  EXPECT_EQ(gift, "9," + survivor);
  EXPECT_EQ(Orders("FID in (3, 4, 5)"), 2);

  // Cash on delivery, trade status and carrier are mandatory keys too.
  for (int fid : {6, 7, 8, 9}) SeedOrder(conn(), {.fid = fid, .consignee = "王五"});
  Set(7, "FIsCod = 1");
  EXPECT_EQ(Merge(Fids({"6,7"})), "Success:|;Error:|" + Failure("王五", "付款方式"));
  Set(9, "FLogisticsID = 4");
  EXPECT_EQ(Merge(Fids({"8,9"})), "Success:|;Error:|" + Failure("王五", "物流公司"));
  // Bad keys are refused before anything runs.
  EXPECT_THROW(Merge(Fids({"6,x"})), ComError);
  EXPECT_EQ(Merge(nullptr), "");
}

TEST_F(MergeTest, MergeTypeChoosesTheOptionalKeys) {
  auto seed_pair = [&](int first, const std::string& consignee) {
    SeedOrder(conn(), {.fid = first, .shop = "SHOP1", .buyer_nick = "a", .consignee = consignee});
    SeedOrder(conn(), {.fid = first + 1, .shop = "SHOP2", .buyer_nick = "b",
                       .consignee = consignee});
  };
  // Without the parameter (type 2) neither shop nor buyer nick matters.
  conn().Execute("delete from t_SystemProfile where FKey = 'MergeOrderType'");
  seed_pair(1, "c1");
  EXPECT_EQ(Orders("FID in (1, 2)"), 2);
  EXPECT_NE(Merge(Fids({"1,2"})).find("合并成功"), std::string::npos);
  EXPECT_EQ(Orders("FID in (1, 2)"), 1);

  SetProfile(conn(), "MergeOrderType", "0");
  seed_pair(3, "c2");
  EXPECT_EQ(Merge(Fids({"3,4"})), "Success:|;Error:|" + Failure("c2", "买家昵称"));
  SetProfile(conn(), "MergeOrderType", "3");
  seed_pair(5, "c3");
  Set(6, "FBuyerNick = 'a'");
  EXPECT_EQ(Merge(Fids({"5,6"})), "Success:|;Error:|" + Failure("c3", "网店"));

  // Type 4: an order with lines in two warehouses counts with its first line's warehouse.
  SetProfile(conn(), "MergeOrderType", "4");
  for (int fid : {7, 8, 9, 10}) SeedOrder(conn(), {.fid = fid, .consignee = fid < 9 ? "c4" : "c5"});
  SeedLine(conn(), {.fid = 7, .item_id = 1, .stock_id = 1});
  SeedLine(conn(), {.fid = 7, .item_id = 2, .stock_id = 2});
  SeedLine(conn(), {.fid = 8, .item_id = 1, .stock_id = 1});
  SeedLine(conn(), {.fid = 9, .item_id = 1, .stock_id = 3});
  SeedLine(conn(), {.fid = 10, .item_id = 1, .stock_id = 4});
  std::string result = Merge(Fids({"7,8,9,10"}));
  EXPECT_EQ(Orders("FID in (7, 8)"), 1);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FID in (7, 8)"), 3);
  EXPECT_NE(result.find(Failure("c5", "发货仓库")), std::string::npos) << result;
  EXPECT_EQ(result.find("c4"), std::string::npos) << result;
  EXPECT_EQ(Orders("FID in (9, 10)"), 2);
}

TEST_F(MergeTest, SurvivorTakesSumsMessagesAndTheOthersLines) {
  conn().Execute("insert into IC_Logistics (FItemID, FNumber, FName, FPrintType) values "
                 "(7, 'SF', N'顺丰', 1), (8, 'POST', N'邮政', 0)");
  for (int fid : {1, 2, 3}) SeedOrder(conn(), {.fid = fid, .consignee = "c", .amount = 10.0 * fid});
  for (int fid : {1, 2, 3}) {
    Set(fid, "FTotalFreight = " + N(fid) + ", FDiscountFee = 1, FBillDiscountFee = 0.5, "
             "FWeight = 2, FLogisticsCost = 3, FLogisticsID = 7, FLogisticsOrder = 'SF" + N(fid) +
             "', FBuyerMessage = N'" + std::string(100, 'a' + fid) + ",x', FSellerMessage = 's" +
             N(fid) + "'");
    SeedLine(conn(), {.fid = fid, .item_id = fid});
    conn().Execute("insert into ICStockBillEntry (FInterID, FEntryID, FSourceTranType, "
                   "FSourceInterId) values (50, " + N(fid) + ", 1014301, " + N(fid) + ")");
    conn().Execute("insert into IC_TradeLog (FOrderFID, FOPCode) values (" + N(fid) + ", 1001)");
  }
  // Another parcel on an ordinary carrier keeps its waybill number.
  for (int fid : {4, 5}) {
    SeedOrder(conn(), {.fid = fid, .consignee = "d"});
    Set(fid, "FLogisticsID = 8, FLogisticsOrder = 'P" + N(fid) + "'");
  }
  std::string gift;
  Merge(Fids({"1,2,3", "4", "5"}), &gift);

  ASSERT_EQ(Orders("FID in (1, 2, 3)"), 1);
  int s = Int("select FID from IC_Web2ERPOrders where FID in (1, 2, 3)");
  int t = Int("select FID from IC_Web2ERPOrders where FID in (4, 5)");
  EXPECT_EQ(gift, N(s) + "," + N(t));
  std::string where = " from IC_Web2ERPOrders where FID = " + N(s);
  EXPECT_EQ(Scalar("select FAmount" + where), "60");
  EXPECT_EQ(Scalar("select FTotalFreight" + where), "6");
  EXPECT_EQ(Scalar("select FDiscountFee" + where), "3");
  EXPECT_EQ(Scalar("select FBillDiscountFee" + where), "1.5");
  EXPECT_EQ(Scalar("select FMergeStatus" + where), "1");
  EXPECT_EQ(Scalar("select FWeight" + where), "0");
  EXPECT_EQ(Scalar("select FLogisticsCost" + where), "0");
  EXPECT_EQ(Scalar("select FLogisticsOrder" + where), "");
  EXPECT_EQ(Scalar("select FLogisticsOrder from IC_Web2ERPOrders where FID = " + N(t)),
            "P" + N(t));
  // Three messages of 102 characters joined, cut to 255, commas turned into blanks.
  std::string buyer = Scalar("select FBuyerMessage" + where);
  EXPECT_EQ(buyer.size(), 255u);
  EXPECT_EQ(buyer.find(','), std::string::npos);
  EXPECT_EQ(buyer.substr(100, 3), " x ");
  std::string seller = Scalar("select FSellerMessage" + where);
  EXPECT_EQ(seller.size(), 8u) << seller;
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FID = " + N(s)), 3);
  EXPECT_EQ(Int("select count(*) from ICStockBillEntry where FSourceInterId = " + N(s)), 3);
  // One merge log on the survivor naming every order; the others' logs are gone.
  EXPECT_EQ(Int("select count(*) from IC_TradeLog where FOrderFID in (1, 2, 3)"), 2);
  std::string old_value = Scalar("select FOldValue from IC_TradeLog where FOPCode = 2009 and "
                                 "FOrderFID = " + N(s));
  for (const char* id : {"WD1", "WD2", "WD3"})
    EXPECT_NE(old_value.find(id), std::string::npos) << old_value;
  EXPECT_EQ(Scalar("select FUserIP from IC_TradeLog where FOPCode = 2009 and FOrderFID = " +
                   N(s)), "10.1.2.3");
}

TEST_F(MergeTest, ServiceLineVariantKeepsTheServiceOrderAndSkipsGroupsWithout) {
  for (int fid : {1, 2, 3, 4}) SeedOrder(conn(), {.fid = fid, .consignee = fid < 3 ? "a" : "b"});
  for (int fid : {1, 2, 3, 4}) SeedLine(conn(), {.fid = fid, .item_id = fid});
  conn().Execute("update IC_Web2ERPOrdersEntry set FIs_jzservice_order = 'Y' where FID = 2");
  AmbitOrderUpdate update;
  std::string gift;
  std::string result = MergeOrdersZJ(update, "acc", Fids({"1,2,3,4"}), gift);
  EXPECT_EQ(result, "Success:|" + Success("WD2") + ";Error:|");
  EXPECT_EQ(gift, "2");
  EXPECT_EQ(Orders("FID in (1, 2)"), 1);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FID = 2"), 2);
  EXPECT_EQ(Orders("FID in (3, 4) and FMergeStatus = 0"), 2);
  EXPECT_EQ(Int("select count(*) from IC_TradeLog"), 0);
}

TEST_F(MergeTest, DownloadedOrdersMergeInRunsOfHundredConsignees) {
  SeedShop(conn(), "SHOP1", "one");
  int shop = Int("select FID from IC_WebshopToStorage where FWebShopID = 'SHOP1'");
  int fid = 0;
  // Orders without lines have no refund state and are never candidates.
  auto seed = [&](const std::string& consignee) {
    SeedOrder(conn(), {.fid = ++fid, .consignee = consignee});
    SeedLine(conn(), {.fid = fid, .item_id = 1});
  };
  for (int c = 1; c <= 249; ++c)
    for (int k = 0; k < 2; ++k) seed("c" + N(c));
  // Orders the run must leave out, each paired with a candidate of its own consignee.
  auto excluded = [&](const std::string& name, const std::string& change) {
    seed(name);
    seed(name);
    Set(fid, change);
  };
  excluded("x1", "FWebshopID = 'SHOP2'");
  excluded("x2", "FCheckStatus = 1");
  excluded("x3", "FTransactionStatus = 38191");
  excluded("x4", "FIs_jzservice_order = 'Y'");
  excluded("x5", "FOrderDate = '2025-12-01'");
  excluded("x6", "FOrderStatus = 3");
  seed("x7");
  seed("x7");
  conn().Execute("update IC_Web2ERPOrdersEntry set FRefundStatus = 1 where FID = " + N(fid));
  // A refund the seller refused does not hold the order back.
  seed("x8");
  seed("x8");
  conn().Execute("insert into IC_RefundInfo (FIsRefuse) values (1)");
  conn().Execute("update IC_Web2ERPOrdersEntry set FRefundStatus = 1, FRefundFID = "
                 "(select max(FID) from IC_RefundInfo) where FID = " + N(fid));

  AmbitOrderUpdate update;
  MergeDownloadedOrders(update, "acc", shop, "2026-01-01", "2026-01-31", 1, false);
  EXPECT_EQ(recorder().CountContaining("SELECT distinct t1.FTransactionStatus"), 3);
  EXPECT_EQ(Orders("FConsignee = 'x8'"), 1);
  EXPECT_EQ(Orders("FMergeStatus = 1"), 250);
  EXPECT_EQ(Orders(), 250 + 14);
}

TEST_F(MergeTest, DownloadedOrdersRefuseBadShopsAndDates) {
  AmbitOrderUpdate update;
  auto error_of = [&](int32_t shop, const std::string& start) {
    try {
      MergeDownloadedOrders(update, "acc", shop, start, "2026-01-31", 1, false);
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), -1);
      EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.MergeDownloadedOrders");
      return e.description();
    }
    return std::string("no error");
  };
  EXPECT_EQ(error_of(0, "2026-01-01"), "InValid WebShopID");
  EXPECT_EQ(error_of(1, "next monday"), "InValid Date");
  EXPECT_EQ(error_of(999, "2026-01-01"), "InValid WebShopID");
}

}  // namespace
}  // namespace ambit::testing
