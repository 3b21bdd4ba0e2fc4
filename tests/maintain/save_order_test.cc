#include "maintain/save_order.h"

#include <gtest/gtest.h>

#include "maintain/maintain_fixture.h"

namespace ambit::testing {
namespace {

class SaveOrderTest : public MaintainTest {
 protected:
  void SetUp() override {
    MaintainTest::SetUp();
    SeedItem(conn(), {.item_id = 10, .name = "Green tea", .qty_decimal = 2});
    SeedItem(conn(), {.item_id = 11, .name = "Black tea", .qty_decimal = 2});
    SeedOrder(conn(), {.fid = 1, .consignee = "Li Lei"});
    conn().Execute("update IC_Web2ERPOrders set FBuyerName = 'Han', FTelephone = '0571-1', "
                   "FTotalFreight = 5 where FID = 1");
    first_ = SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .price = 10});
    second_ = SeedLine(conn(), {.fid = 1, .item_id = 11, .quantity = 1, .price = 4});
    conn().Execute("update IC_Web2ERPOrdersEntry set FBuyerFreight = 3, FDiscountFee = 1 where "
                   "FEntryID = " + N(first_));
    conn().Execute("update IC_Web2ERPOrdersEntry set FBuyerFreight = 2, FDiscountFee = 0.5 "
                   "where FEntryID = " + N(second_));
  }

  // A cache of one order with the given header fields and lines.
  DictionaryPtr Cache(DictionaryPtr order, const std::string& fid = "1") {
    DictionaryPtr cache = NewDictionary();
    cache->SetValue(fid, Variant(order));
    return cache;
  }
  std::string Save(const DictionaryPtr& cache) {
    AmbitOrderUpdate update;
    return SaveOrder(update, kDsn, cache);
  }
  std::string Header(const std::string& column) {
    return Scalar("select " + column + " from IC_Web2ERPOrders where FID = 1");
  }
  std::string Line(const std::string& column, int entry) {
    return Scalar("select " + column + " from IC_Web2ERPOrdersEntry where FEntryID = " +
                  N(entry));
  }
  int Logs(const std::string& where) {
    return Int("select count(*) from IC_TradeLog where " + where);
  }

  int first_ = 0;
  int second_ = 0;
};

TEST_F(SaveOrderTest, HeaderFieldsOnlyUpdateTheHeaderAndLogWhatChanged) {
  DictionaryPtr order = Dict({{"FBuyerName", Variant("O'Hara")},
                              {"FTelephone", Variant("0571-2")},
                              {"FConsignee", Variant("Li Lei")}});  // unchanged
  EXPECT_EQ(Save(Cache(order)), "");
  EXPECT_EQ(Header("FBuyerName"), "O'Hara");
  EXPECT_EQ(Header("FTelephone"), "0571-2");
  EXPECT_EQ(Logs("FOPCode = 1008 and FOldValue = 'Han' and FNewValue = 'O''Hara'"), 1);
  EXPECT_EQ(Logs("FOPCode = 2011 and FOrderFID = 1 and FUserIP = '10.1.2.3'"), 1);
  EXPECT_EQ(Logs("FOPCode = 2012"), 0);
  EXPECT_EQ(Logs("1=1"), 2);
  // No totals: the lines and the header amounts are left alone.
  EXPECT_EQ(recorder().CountContaining("Sum(FAmount)"), 0);
  EXPECT_EQ(Header("CAST(FTotalFreight AS varchar)"), "5.00");
}

TEST_F(SaveOrderTest, FreightAloneMovesToTheFirstLine) {
  EXPECT_EQ(Save(Cache(Dict({{"FTotalFreight", Variant("12.5")}}))), "");
  EXPECT_EQ(Header("CAST(FTotalFreight AS varchar)"), "12.50");
  EXPECT_EQ(Line("CAST(FBuyerFreight AS varchar)", first_), "12.50");
  EXPECT_EQ(Line("CAST(FBuyerFreight AS varchar)", second_), "0.00");
  EXPECT_EQ(Logs("FOPCode = 1011 and FOldValue = '5.00' and FNewValue = '12.50'"), 1);
  // The freight is recognised in any case; a value that is no number puts 0 on the line.
  Save(Cache(Dict({{"ftotalfreight", Variant("8")}})));
  EXPECT_EQ(Line("CAST(FBuyerFreight AS varchar)", first_), "8.00");
  EXPECT_EQ(recorder().CountContaining("Sum(FAmount)"), 0);
}

TEST_F(SaveOrderTest, FreightWithALineChangeRecomputesTotalsFromTheLines) {
  DictionaryPtr line = Dict({{"FPrice", Variant("6")}});
  DictionaryPtr order = Dict({{"FTotalFreight", Variant("99")}, {N(second_).c_str(), Variant(line)}});
  Save(Cache(order));
  // The typed freight gives way to the sum of the lines' freight.
  EXPECT_EQ(Header("CAST(FTotalFreight AS varchar)"), "5.00");
  EXPECT_EQ(Header("CAST(FDiscountFee AS varchar)"), "1.50");
  EXPECT_EQ(Header("CAST(FAmount AS varchar)"), "26.00");  // 2 x 10 + 1 x 6
  EXPECT_EQ(Line("CAST(FAmount AS varchar)", second_), "6.00");
  EXPECT_EQ(Line("CAST(FAfterDiscountAmount AS varchar)", second_), "5.50");
}

TEST_F(SaveOrderTest, PriceOnlyChangeUsesTheStoredQuantity) {
  Save(Cache(Dict({{N(first_).c_str(), Variant(Dict({{"FPrice", Variant("7.5")}}))}})));
  EXPECT_EQ(Line("CAST(FAmount AS varchar)", first_), "15.00");
  EXPECT_EQ(Line("CAST(FAfterDiscountAmount AS varchar)", first_), "14.00");
  EXPECT_EQ(Logs("FOPCode = 1023 and FItemID = 10 and FNewValue = '7.5'"), 1);
  // Quantity only, against the price now stored.
  Save(Cache(Dict({{N(first_).c_str(), Variant(Dict({{"FQuantity", Variant("4")}}))}})));
  EXPECT_EQ(Line("CAST(FAmount AS varchar)", first_), "30.00");
  EXPECT_EQ(Logs("FOPCode = 1022"), 1);
  // Both: the product of the two typed values.
  Save(Cache(Dict({{N(second_).c_str(),
                    Variant(Dict({{"FQuantity", Variant("3")}, {"FPrice", Variant("2")}}))}})));
  EXPECT_EQ(Line("CAST(FAmount AS varchar)", second_), "6.00");
  EXPECT_EQ(Header("CAST(FAmount AS varchar)"), "36.00");
}

TEST_F(SaveOrderTest, LineFieldsAreComparedAtTheItemsDecimals) {
  Save(Cache(Dict({{N(first_).c_str(), Variant(Dict({{"FPrice", Variant("7.50")}}))}})));
  EXPECT_EQ(Logs("FOPCode = 1023 and FOldValue = '10.00' and FNewValue = '7.50'"), 1);
  // A quantity typed as it is stored (at the item's two decimals) logs nothing.
  Save(Cache(Dict({{N(first_).c_str(), Variant(Dict({{"FQuantity", Variant("2.00")}}))}})));
  EXPECT_EQ(Logs("FOPCode = 1022"), 0);
}

TEST_F(SaveOrderTest, NewLinesGetTheirIndexAndAmountsOnlyWithPriceAndQuantity) {
  DictionaryPtr priced = Dict({{kInsertRowMarker, Variant(1)},
                               {"FItemID", Variant("11")},
                               {"FQuantity", Variant("2")},
                               {"FPrice", Variant("5")},
                               {"FDiscountFee", Variant("1")},
                               {"FMealName", Variant("tea's set")}});
  DictionaryPtr unpriced = Dict({{kInsertRowMarker, Variant(1)},
                                 {"FItemID", Variant("10")},
                                 {"FQuantity", Variant("3")}});
  DictionaryPtr marker_only = Dict({{kInsertRowMarker, Variant(1)}});
  Save(Cache(Dict({{"-3", Variant(priced)}, {"-4", Variant(unpriced)}, {"-5", Variant(marker_only)}})));
  auto row = [&](int index, const std::string& column) {
    return Scalar("select " + column + " from IC_Web2ERPOrdersEntry where FID = 1 and FIndex = " +
                  N(index));
  };
  EXPECT_EQ(row(3, "FItemID"), "11");
  EXPECT_EQ(row(3, "CAST(FAmount AS varchar)"), "10.00");
  EXPECT_EQ(row(3, "CAST(FAfterDiscountAmount AS varchar)"), "9.00");
  EXPECT_EQ(row(3, "FMealName"), "tea's set");
  EXPECT_EQ(row(4, "CAST(FAmount AS varchar)"), "0.00");
  EXPECT_EQ(row(4, "CAST(FQuantity AS int)"), "3");
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FIndex = 5"), 0);
  EXPECT_EQ(Logs("FOPCode = 1021"), 2);
  EXPECT_EQ(Logs("FOPCode = 1021 and FItemID = 11"), 1);
  // Totals follow the new lines: 20 + 4 + 10 + 0.
  EXPECT_EQ(Header("CAST(FAmount AS varchar)"), "34.00");
}

TEST_F(SaveOrderTest, DeletedLineIsLoggedWithItsItemAndTakesItsAfterSalesRows) {
  conn().Execute("insert into IC_RefundInfo (FEntryID) values (" + N(second_) + "), (" +
                 N(first_) + ")");
  conn().Execute("insert into IC_RefundRecord (FEntryID) values (" + N(second_) + ")");
  Save(Cache(Dict({{N(second_).c_str(), Variant(Dict({{kDeleteRowMarker, Variant(1)}}))}})));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FID = 1"), 1);
  EXPECT_EQ(Logs("FOPCode = 1020 and FItemID = 11 and FOrderFID = 1 and FOPUserID = 16394"), 1);
  EXPECT_EQ(Int("select count(*) from IC_RefundInfo"), 1);
  EXPECT_EQ(Int("select count(*) from IC_RefundRecord"), 0);
  EXPECT_EQ(Header("CAST(FAmount AS varchar)"), "20.00");
  // The line is gone now: deleting it again fails while its item is read, before the batch.
  EXPECT_THROW(
      Save(Cache(Dict({{N(second_).c_str(), Variant(Dict({{kDeleteRowMarker, Variant(1)}}))}}))),
      ComError);
  EXPECT_EQ(context().abort_count, 0);  // the save arms no error path of its own
}

TEST_F(SaveOrderTest, RefusesUnknownColumnsAndBadKeysBeforeWritingAnything) {
  std::string before = Snapshot("IC_Web2ERPOrders", "FID, FBuyerName, FTelephone");
  auto refused = [&](const DictionaryPtr& cache, const std::string& named) {
    try {
      Save(cache);
      ADD_FAILURE() << "accepted a cache naming " << named;
    } catch (const ComError& e) {
      EXPECT_NE(e.description().find(named), std::string::npos) << e.description();
    }
  };
  refused(Cache(Dict({{"FBuyerName", Variant("x")}, {"FNoSuchColumn", Variant("1")}})),
          "FNoSuchColumn");
  refused(Cache(Dict({{"FTelephone", Variant("1")},
                      {"FBuyerName='x' where 1=1 --", Variant("1")}})),
          "FBuyerName='x'");
  refused(Cache(Dict({{N(first_).c_str(), Variant(Dict({{"FPrice=0,FQty", Variant("1")}}))}})),
          "FPrice=0,FQty");
  refused(Cache(Dict({{"FTelephone", Variant("1")}}), "1 or 1=1"), "1 or 1=1");
  EXPECT_EQ(Snapshot("IC_Web2ERPOrders", "FID, FBuyerName, FTelephone"), before);
  EXPECT_EQ(Logs("1=1"), 0);
}

TEST_F(SaveOrderTest, SeveralOrdersHeadersLinesAndTotals) {
  SeedOrder(conn(), {.fid = 2});
  int other = SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1, .price = 3});
  DictionaryPtr cache = NewDictionary();
  cache->SetValue("1", Variant(Dict({{"FBuyerName", Variant("A")},
                                     {N(first_).c_str(), Variant(Dict({{"FQuantity", Variant("1")}}))}})));
  cache->SetValue("2", Variant(Dict({{"FBuyerName", Variant("B")},
                                     {N(other).c_str(), Variant(Dict({{"FPrice", Variant("4")}}))}})));
  Save(cache);
  EXPECT_EQ(Header("FBuyerName"), "A");
  EXPECT_EQ(Scalar("select FBuyerName from IC_Web2ERPOrders where FID = 2"), "B");
  EXPECT_EQ(Header("CAST(FAmount AS varchar)"), "14.00");  // 1 x 10 + 1 x 4
  EXPECT_EQ(Scalar("select CAST(FAmount AS varchar) from IC_Web2ERPOrders where FID = 2"), "4.00");
}

TEST_F(SaveOrderTest, EmptyInputsTouchNothing) {
  AmbitOrderUpdate update;
  EXPECT_EQ(SaveOrder(update, kDsn, NewDictionary()), "");
  EXPECT_EQ(SaveOrder(update, kDsn, nullptr), "");
  EXPECT_EQ(SaveOrder(update, "", Cache(Dict({{"FBuyerName", Variant("x")}}))), "");
  EXPECT_EQ(context().begin_call_count, 0);
  EXPECT_TRUE(recorder().batches.empty());
}

TEST_F(SaveOrderTest, InvoiceFlagMakesAMixedSelectionUniform) {
  for (int fid : {12, 15, 16}) SeedOrder(conn(), {.fid = fid});
  conn().Execute("update IC_Web2ERPOrders set FInvoiceStatus = 1 where FID = 12");
  conn().Execute("update IC_Web2ERPOrders set FInnerInvoice = 1 where FID = 16");
  AmbitOrderUpdate update;
  DictionaryPtr para = Dict({{"sDSN", Variant(kDsn)}, {"FID", Variant("12,15,16")}});
  ASSERT_TRUE(InvoiceFlag(update, para));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FInvoiceStatus = 0 and "
                "FID in (12, 15, 16)"),
            3);
  // Logged before the toggle, per order, with its own flag before.
  EXPECT_EQ(Logs("FOPCode = 1028"), 3);
  EXPECT_EQ(Logs("FOPCode = 1028 and FOrderFID = 12 and FOldValue = N'标记开票' and "
                 "FNewValue = N'未标记开票' and FItemID = 0"),
            1);
  EXPECT_EQ(Logs("FOPCode = 1028 and FOrderFID = 15 and FOldValue = N'未标记开票'"), 1);
  // Switched off: the toggle alone; order 16 keeps its flag, its ERP invoice exists.
  conn().Execute("update IC_TradeLogType set FWriteLog = 0 where FOPCode = 1028");
  conn().Execute("update IC_Web2ERPOrders set FInvoiceStatus = 1 where FID = 16");
  ASSERT_TRUE(InvoiceFlag(update, para));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FInvoiceStatus = 1"), 3);
  para->SetValue("FID", Variant("15"));
  ASSERT_TRUE(InvoiceFlag(update, para));
  EXPECT_EQ(Int("select FInvoiceStatus from IC_Web2ERPOrders where FID = 15"), 0);
  EXPECT_EQ(Logs("FOPCode = 1028"), 3);
  EXPECT_FALSE(InvoiceFlag(update, Dict({{"sDSN", Variant(kDsn)}, {"FID", Variant("")}})));
  EXPECT_FALSE(InvoiceFlag(update, Dict({{"FID", Variant("12")}})));
  EXPECT_THROW(InvoiceFlag(update, Dict({{"sDSN", Variant(kDsn)}, {"FID", Variant("12;")}})),
               ComError);
}

}  // namespace
}  // namespace ambit::testing
