// Lookups over order lines: warnings, stock shortfalls, overdue orders, invoicing amounts, the
// caller's order of lines and the purchase view, end to end on a fresh account.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/conversions.h"
#include "query/lookups.h"
#include "query/lookups_fixture.h"

namespace ambit {
namespace {

using testing::ScalarInt;
using testing::SeedInventory;
using testing::SeedStock;
using testing::SetProfile;

DictionaryPtr Item(Variant fid, Variant entry = Variant()) {
  auto d = NewDictionary();
  d->SetValue("FID", std::move(fid));
  if (!entry.IsEmpty()) d->SetValue("FEntryID", std::move(entry));
  return d;
}

VectorPtr Items(std::initializer_list<DictionaryPtr> items) {
  auto v = NewVector();
  for (const DictionaryPtr& d : items) v->Add(Variant(d));
  return v;
}

TEST_F(LookupsTest, EarlyWarningFlagsOfChosenLinesOrWholeOrders) {
  SeedOrder(conn(), {.fid = 1, .trade_status = 38196});
  for (int fid : {2, 3}) SeedOrder(conn(), {.fid = fid});
  int a1 = SeedLine(conn(), {.fid = 1, .item_id = 10, .refund_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 11});
  SeedLine(conn(), {.fid = 2, .item_id = 10});
  SeedLine(conn(), {.fid = 2, .item_id = 11});
  SeedLine(conn(), {.fid = 3, .item_id = 10});
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FBuyerMessage = N'fast please' WHERE FID = 1\r\n"
      "UPDATE IC_Web2ERPOrdersEntry SET FSellerMessage = N'fragile' WHERE FID = 2 "
      "AND FItemID = 11");
  // Line a1 of order 1, every line of order 2; a key that is no number is passed over.
  RecordsetPtr rs = GetEarlyWarningInfo(
      info(), kDsn, Items({Item(Variant(1), Variant(a1)), Item(Variant("2")), Item(Variant("x"))}));
  ASSERT_NE(rs, nullptr);
  ASSERT_EQ(rs->RecordCount(), 3);
  rs->SetFilter("FEntryID = " + std::to_string(a1));
  EXPECT_EQ(CLng(rs->Value("FTransactionStatus")), 1);
  EXPECT_EQ(CLng(rs->Value("FBuyerMessage")), 1);
  EXPECT_EQ(CLng(rs->Value("FSellerMessage")), 0);
  EXPECT_EQ(CLng(rs->Value("FRefundStatus")), 1);
  rs->SetFilter("FID = 2");
  ASSERT_EQ(rs->RecordCount(), 2);
  int seller_flags = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    EXPECT_EQ(CLng(rs->Value("FTransactionStatus")), 0);
    EXPECT_EQ(CLng(rs->Value("FBuyerMessage")), 0);
    seller_flags += CLng(rs->Value("FSellerMessage"));  // the line's own message counts
  }
  EXPECT_EQ(seller_flags, 1);

  EXPECT_EQ(GetEarlyWarningInfo(info(), kDsn, Items({Item(Variant("x")), Item(Variant())})),
            nullptr);
  EXPECT_EQ(GetEarlyWarningInfo(info(), kDsn, NewVector()), nullptr);
}

TEST_F(LookupsTest, OutOfStockListsShortLinesButNotPriceChangeGoods) {
  SeedItem(conn(), {.item_id = 10});
  SeedItem(conn(), {.item_id = 11});
  SeedStock(conn(), 100, "Main");
  SeedInventory(conn(), 10, 100, 5);
  conn().Execute("INSERT INTO IC_GoodsToMateriel (FMaterielCode, FIsPriceChange) VALUES "
                 "('I11', 1)");
  for (int fid : {1, 2, 3, 4}) SeedOrder(conn(), {.fid = fid});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3, .stock_id = 100});  // covered
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 9, .stock_id = 100});  // short
  SeedLine(conn(), {.fid = 3, .item_id = 11, .quantity = 9, .stock_id = 100});  // price change
  SeedLine(conn(), {.fid = 4, .item_id = 10, .quantity = 6, .stock_id = 100});  // short
  SeedLine(conn(), {.fid = 4, .item_id = 10, .quantity = 7, .stock_id = 200});  // no stock row
  RecordsetPtr rs = GetIsOutStockByFIDs(info(), kDsn, "1,2,3,4,");
  ASSERT_NE(rs, nullptr);
  std::vector<std::string> short_orders = Column(rs, "FID");
  std::sort(short_orders.begin(), short_orders.end());
  // One row per short line.
  EXPECT_EQ(short_orders, (std::vector<std::string>{"2", "4", "4"}));
  // The key table does not outlive the call's statement.
  EXPECT_THROW(conn().Execute("select count(*) from #TmpFIDs"), ComError);

  RecordsetPtr none = GetIsOutStockByFIDs(info(), kDsn, "1,3");
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->RecordCount(), 0);
  EXPECT_EQ(GetIsOutStockByFIDs(info(), kDsn, ""), nullptr);
  ComError e = ErrorOf([&] { GetIsOutStockByFIDs(info(), kDsn, "1','2"); });
  EXPECT_EQ(e.number(), err::kInvalidArgument);
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetIsOutStockByFIDs");
}

TEST_F(LookupsTest, DelayedOrdersArePaidAtLeastThatManyHoursAgo) {
  for (int fid : {1, 2, 3, 4}) SeedOrder(conn(), {.fid = fid});
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FSitePayDate = DATEADD(hh, -30, GETDATE()) WHERE FID = 1\r\n"
      "UPDATE IC_Web2ERPOrders SET FSitePayDate = DATEADD(mi, -1441, GETDATE()) WHERE FID = 2\r\n"
      "UPDATE IC_Web2ERPOrders SET FSitePayDate = DATEADD(mi, -1430, GETDATE()) WHERE FID = 3\r\n"
      "UPDATE IC_Web2ERPOrders SET FSitePayDate = DATEADD(hh, -48, GETDATE()) WHERE FID = 4");
  // Order 4 is overdue too, but not asked about.
  VectorPtr asked = Items({Item(Variant(1)), Item(Variant(2)), Item(Variant(3)),
                           Item(Variant("n/a"))});
  RecordsetPtr rs = GetDelayedOrderInfo(info(), kDsn, asked, 24);
  std::vector<std::string> late = Column(rs, "FID");
  std::sort(late.begin(), late.end());
  EXPECT_EQ(late, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Column(GetDelayedOrderInfo(info(), kDsn, asked, 40), "FID").size(), 0u);
  EXPECT_EQ(GetDelayedOrderInfo(info(), kDsn, Items({Item(Variant("n/a"))}), 24), nullptr);
}

TEST_F(LookupsTest, InvoiceLinesFoldFreightIntoTheDiscountWhenMerging) {
  SeedItem(conn(), {.item_id = 10});
  SeedItem(conn(), {.item_id = 11});
  conn().Execute("INSERT INTO IC_GoodsToMateriel (FMaterielCode, FIsPriceChange) VALUES "
                 "('I11', 1)");
  for (int fid : {2, 1}) SeedOrder(conn(), {.fid = fid});
  int b = SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1, .price = 50});
  int a = SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .price = 30});
  SeedLine(conn(), {.fid = 1, .item_id = 11, .quantity = 1, .price = 5});  // price change
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FDiscountFee = 4, FBuyerFreight = 6 "
                 "WHERE FItemID = 10");

  SetProfile(conn(), "MergeFreightToAmount", "1");
  RecordsetPtr merged = GetInoviceLinkInfo(info(), kDsn, "2,1");
  ASSERT_EQ(merged->RecordCount(), 2);
  EXPECT_EQ(Column(merged, "FEntryID"),
            (std::vector<std::string>{std::to_string(a), std::to_string(b)}));  // by order key
  merged->MoveFirst();
  EXPECT_EQ(CDbl(merged->Value("FAmount")), 60);
  EXPECT_EQ(CDbl(merged->Value("FBuyerFreight")), 0);
  EXPECT_EQ(CDbl(merged->Value(4)), -2);  // discount less freight, unnamed
  EXPECT_EQ(CDbl(merged->Value("FRealFreight")), 6);

  SetProfile(conn(), "MergeFreightToAmount", "0");
  RecordsetPtr plain = GetInoviceLinkInfo(info(), kDsn, "2,1");
  EXPECT_EQ(CDbl(plain->Value("FBuyerFreight")), 6);
  EXPECT_EQ(CDbl(plain->Value("FDiscountFee")), 4);
  EXPECT_EQ(CDbl(plain->Value("FRealFreight")), 0);

  // Without the parameter the freight is merged.
  conn().Execute("DELETE FROM t_SystemProfile WHERE FKey = 'MergeFreightToAmount'");
  EXPECT_EQ(CDbl(GetInoviceLinkInfo(info(), kDsn, "1")->Value("FRealFreight")), 6);
}

TEST_F(LookupsTest, SortRsKeepsTheCallersOrderOfOrders) {
  for (int fid : {3, 5, 7}) SeedOrder(conn(), {.fid = fid});
  int c1 = SeedLine(conn(), {.fid = 3, .item_id = 10});
  int c2 = SeedLine(conn(), {.fid = 3, .item_id = 11});
  int e1 = SeedLine(conn(), {.fid = 5, .item_id = 10});
  SeedLine(conn(), {.fid = 7, .item_id = 10});
  RecordsetPtr rs = GetSortRs(info(), kDsn, "5,3,");
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(Column(rs, "FEntryID"),
            (std::vector<std::string>{std::to_string(e1), std::to_string(c1),
                                      std::to_string(c2)}));
  rs->MoveFirst();
  EXPECT_EQ(CStr(rs->Value("FID")), "5");
  EXPECT_EQ(CLng(rs->Value("FClassTypeID")), 1014300);
  EXPECT_EQ(CLng(rs->Value("FIndex")), 1);
  // A second call on the same connection replaces the leftover key table.
  EXPECT_EQ(GetSortRs(info(), kDsn, "7")->RecordCount(), 1);
  EXPECT_THROW(GetSortRs(info(), kDsn, "7,x"), ComError);
}

TEST_F(LookupsTest, KeyTableTakesLongListsInSeveralBatches) {
  std::string keys;
  for (int i = 1; i <= 5003; ++i) keys += std::to_string(i) + ",";
  FillTempFIDs(keys, conn());
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from #TmpFIDs"), 5003);
  FillTempFIDs("8", conn());
  EXPECT_EQ(ScalarInt(conn(), "select max(FID) from #TmpFIDs"), 8);
}

TEST_F(LookupsTest, OrderEntrySumAddsGoodsOnOrderPerItem) {
  SeedItem(conn(), {.item_id = 10, .number = "A10", .name = "Tea"});
  SeedItem(conn(), {.item_id = 11, .number = "A11", .name = "Cup"});
  conn().Execute(
      "INSERT INTO t_Supplier (FItemID, FNumber, FName) VALUES (900, 'SUP', N'Tea farm')\r\n"
      "UPDATE t_ICItem SET FSource = 900 WHERE FItemID = 10");
  for (int fid : {1, 2, 3}) SeedOrder(conn(), {.fid = fid});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 3});
  SeedLine(conn(), {.fid = 2, .item_id = 11, .quantity = 1});
  SeedLine(conn(), {.fid = 3, .item_id = 10, .quantity = 50});  // not asked about
  // Ordered 10 of item 10; 4 received on a valid receipt, 3 on a draft one.
  conn().Execute(
      "INSERT INTO POOrder (FInterID) VALUES (60)\r\n"
      "INSERT INTO POOrderEntry (FInterID, FEntryID, FItemID, FQty) VALUES (60, 1, 10, 10)\r\n"
      "INSERT INTO ICStockBill (FInterID, FStatus, FUpStockWhenSave) VALUES (61, 1, 0), "
      "(62, 0, 0)\r\n"
      "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FItemID, FQty, FSourceTranType, "
      "FSourceInterId, FSourceEntryID) VALUES (61, 1, 10, 4, 71, 60, 1), "
      "(62, 1, 10, 3, 71, 60, 1)");
  RecordsetPtr rs = GetWebOrderEntrySumByFID(info(), kDsn, "1,2");
  ASSERT_EQ(rs->RecordCount(), 2);
  rs->SetFilter("FItemID = 10");
  EXPECT_EQ(CDbl(rs->Value("OrderNum")), 5);
  EXPECT_EQ(CDbl(rs->Value("OnWayNum")), 6);
  EXPECT_EQ(CStr(rs->Value("GoodsCode")), "A10");
  EXPECT_EQ(CStr(rs->Value("SupplierName")), "Tea farm");
  rs->SetFilter("FItemID = 11");
  EXPECT_EQ(CDbl(rs->Value("OrderNum")), 1);
  EXPECT_EQ(CDbl(rs->Value("OnWayNum")), 0);  // nothing on order
  EXPECT_EQ(CStr(rs->Value("SupplierName")), "");
}

}  // namespace
}  // namespace ambit
