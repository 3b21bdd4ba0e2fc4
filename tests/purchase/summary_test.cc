// The purchase requirement summary, its print tables and checks, on a seeded account.
#include "purchase/purchase_summary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "purchase/purchase_fixture.h"

namespace ambit {
namespace {

using ::testing::ElementsAre;

DictionaryPtr Range(const std::string& start, const std::string& end) {
  DictionaryPtr d = NewDictionary();
  d->SetValue("StartCode", Variant(start));
  d->SetValue("EndCode", Variant(end));
  return d;
}

const std::initializer_list<const char*> kItemFigures = {"GoodsCode", "SupplierID", "StockNum", "OrderNum", "OnWayNum",
                               "ReturnedPurchaseNum"};

TEST_F(PurchaseTest, ItemSummaryWeighsOpenDemandAgainstStockOrdersAndReturns) {
  SeedPlanningAccount();
  RecordsetPtr rs = GetWebOrderEntryDetialSumByFID(info(), kDsn, "1", 0, nullptr);
  auto rows = Rows(rs, "FItemID", kItemFigures);
  // Item 10 counts orders 1 and 3 only; the cancelled purchase order and the receipts against
  // it are left out, both kinds of receipt reduce what is on order.
  EXPECT_EQ(rows["10"], "GoodsCode=A10;SupplierID=500;StockNum=8;OrderNum=5;OnWayNum=10;"
                        "ReturnedPurchaseNum=3;");
  EXPECT_EQ(rows["11"], "GoodsCode=B11;SupplierID=0;StockNum=7;OrderNum=1;OnWayNum=5;"
                        "ReturnedPurchaseNum=0;");
  EXPECT_EQ(rows.size(), 2u);
  rs->MoveFirst();
  EXPECT_EQ(CStr(rs->Value("PurchaseNum")) + CStr(rs->Value("CanUserNum")), "00");

  // All open orders: item 12 sits on a closed line only; asked for by its order it comes
  // back with zeros.
  EXPECT_THAT(Column(GetWebOrderEntryDetialSumByFID(info(), kDsn, "", 0, nullptr), "FItemID"),
              ::testing::UnorderedElementsAre("10", "11"));
  rows = Rows(GetWebOrderEntryDetialSumByFID(info(), kDsn, "7", 0, nullptr), "FItemID",
              kItemFigures);
  EXPECT_EQ(rows["12"], "GoodsCode=C12;SupplierID=0;StockNum=0;OrderNum=0;OnWayNum=0;"
                        "ReturnedPurchaseNum=0;");
  EXPECT_THAT(Column(GetWebOrderEntryDetialSumByFID(info(), kDsn, "", 0, Range("B", "")),
                     "GoodsCode"),
              ElementsAre("B11"));
}

TEST_F(PurchaseTest, ParametersDecideWhichOrdersHoldDemand) {
  SeedPlanningAccount();
  auto order_num = [&](int16_t mode) {
    RecordsetPtr rs = GetWebOrderEntryDetialSumByFID(info(), kDsn, "1", mode, Range("", "A10"));
    return CStr(rs->Value("OrderNum"));
  };
  SetProfile(conn(), "PreCheckOnStock", "0");  // order 2 counts too
  EXPECT_EQ(order_num(0), "9");
  SetProfile(conn(), "PreCheckOnStock", "1");
  SetProfile(conn(), "LockOrderOnStock", "1");  // so does locked order 5
  EXPECT_EQ(order_num(0), "11");
  conn().Execute("DELETE FROM t_SystemProfile WHERE FKey IN ('PreCheckOnStock', "
                 "'LockOrderOnStock')");
  EXPECT_EQ(order_num(0), "5");
}

TEST_F(PurchaseTest, WarehouseSummaryHasARowPerItemAndWarehouse) {
  SeedPlanningAccount();
  RecordsetPtr rs = GetWebOrderEntryDetialSumByFID(info(), kDsn, "1", kPurchaseModeWarehouse,
                                                   nullptr);
  std::vector<std::string> rows;
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string row;
    for (const char* f : {"FItemID", "FStockName", "FunitName", "StockNum", "totalStockNum",
                          "OrderNum", "totalOrderNum", "OnWayNum", "ReturnedPurchaseNum"})
      row += CStr(rs->Value(f)) + "|";
    rows.push_back(row);
  }
  // A locked order's line still counts per warehouse; the total is over both warehouses.
  EXPECT_THAT(rows, ElementsAre("10|North|pcs|5|8|8|11|10|3|", "10|South|pcs|3|8|3|11|10|3|",
                                "11|North||7|7|1|1|5|0|"));
  EXPECT_THAT(Column(GetWebOrderEntryDetialSumByFID(info(), kDsn, "1", 1, Range("B11", "B11")),
                     "FStockID"),
              ElementsAre("1"));
  EXPECT_EQ(ErrorOf([&] { GetWebOrderEntryDetialSumByFID(info(), kDsn, "1;drop", 1, nullptr); })
                .source(),
            "AmbitOrder.AmbitOrderInfo.GetWebOrderEntryDetialSumByFID");
}

DictionaryPtr PrintRow(const std::string& name, const std::string& stock, const char* qty_key,
                       const std::string& qty, const std::string& supplier) {
  DictionaryPtr d = NewDictionary();
  d->SetValue("GoodsName", Variant(name));
  d->SetValue("GoodsCode", Variant("A10"));
  d->SetValue("OnWayNum", Variant(10));
  d->SetValue("StockNum", Variant("5"));
  d->SetValue("OrderNum", Variant("8"));
  d->SetValue("CanUserNum", Variant("1"));
  d->SetValue("StockID", Variant(stock));
  d->SetValue(qty_key, Variant(qty));
  d->SetValue("SupplierName", Variant("Supplier " + supplier));
  d->SetValue("SupplierID", Variant(supplier));
  d->SetValue("Item", Variant("10"));
  return d;
}

std::string PrintTable(Connection& conn) {
  RecordsetPtr rs = conn.Execute(
      "SELECT FGoodsName, FStockNum, FPurchaseNum, FGoodsPic, FIndex FROM IC_PurchaseEntry "
      "ORDER BY FEntryID");
  std::string out;
  for (; !rs->Eof(); rs->MoveNext()) {
    for (int i = 0; i < rs->FieldCount(); ++i) out += CStr(rs->Value(i)) + "|";
    out += "\n";
  }
  return out;
}

TEST_F(PurchaseTest, WarehousePrintFoldsWarehousesAndDropsZeroQuantities) {
  SeedItem(conn(), {.item_id = 10, .number = "A10"});
  VectorPtr rows = NewVector();
  const char* kKey = "TotalPlanPurchaseNum";
  rows->Add(Variant(PrintRow("Pen's", "1", kKey, "6", "7")));
  rows->Add(Variant(PrintRow("Pen's", "2", kKey, "6", "7")));
  rows->Add(Variant(PrintRow("Ink", "1", kKey, "0", "7")));
  InsertPurchasePrintData(info(), kDsn, rows, kPurchaseModeWarehouse);
  EXPECT_EQ(PrintTable(conn()), "Pen‘s|0|6|0|0|\n");
  EXPECT_EQ(Scalar(conn(), "SELECT CONVERT(varchar(10), FID) + '/' + CONVERT(varchar(10), "
                           "FClassTypeID) + '/' + FOrderID FROM IC_Purchase"),
            "1000001/1024333/");

  // The bill-making fill keys rows by item and supplier, newest supplier key first.
  rows = NewVector();
  rows->Add(Variant(PrintRow("Pen's", "1", "PurchaseNum", "6", "7")));
  rows->Add(Variant(PrintRow("Pen's", "2", "PurchaseNum", "2", "9")));
  RecordsetPtr rs = ManagePurchaseData(info(), kDsn, rows, kPurchaseModeWarehouse);
  EXPECT_EQ(PrintTable(conn()), "Pen‘s|0|2|10|9|\nPen‘s|0|6|10|7|\n");
  EXPECT_EQ(CStr(rs->Value("supplerNum")), "2");
  EXPECT_EQ(CStr(rs->Value("FPlanMode")), "14036");  // the item's, for building the bill
}

TEST_F(PurchaseTest, ItemPrintKeepsEveryRowAndAFailedFillKeepsThePreviousPrint) {
  VectorPtr rows = NewVector();
  rows->Add(Variant(PrintRow("Pen", "", "PlanPurchaseNum", "0", "7")));
  rows->Add(Variant(PrintRow("Ink", "", "PlanPurchaseNum", "3", "8")));
  RecordsetPtr rs = ManagePurchaseData(info(), kDsn, rows, 0);
  EXPECT_EQ(PrintTable(conn()), "Ink|5|3|10|8|\nPen|5|0|10|7|\n");
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(Scalar(conn(), "SELECT FOrderID FROM IC_Purchase"), "WD44545");

  // A row whose on-order figure is no number fails the whole fill.
  DictionaryPtr bad = PrintRow("Pad", "", "PlanPurchaseNum", "1", "9");
  bad->SetValue("OnWayNum", Variant("1) drop table IC_Purchase --"));
  rows->Add(Variant(bad));
  EXPECT_EQ(ErrorOf([&] { InsertPurchasePrintData(info(), kDsn, rows, 0); }).number(),
            err::kTypeMismatch);
  EXPECT_EQ(PrintTable(conn()), "Ink|5|3|10|8|\nPen|5|0|10|7|\n");
  // The database refuses a quantity that is no number only after the tables were emptied.
  rows->SetItem(3, Variant(PrintRow("Pad", "", "PlanPurchaseNum", "x", "9")));
  EXPECT_THROW(InsertPurchasePrintData(info(), kDsn, rows, 0), ComError);
  EXPECT_EQ(PrintTable(conn()), "Ink|5|3|10|8|\nPen|5|0|10|7|\n");
}

TEST_F(PurchaseTest, OrderChecksNameLinesWithoutItemOrWarehouse) {
  SeedItem(conn(), {.item_id = 10, .number = "A10"});
  SeedOrder(conn(), {.fid = 1, .order_id = "W1", .site_order_id = "T1"});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .stock_id = 1});
  EXPECT_EQ(CheckOrderMatchGoods(info(), kDsn, "1"), "");
  EXPECT_EQ(CheckPurchaseOnVoid(info(), kDsn, "1"), nullptr);

  SeedLine(conn(), {.fid = 1, .item_id = 0});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .stock_id = 0});
  EXPECT_EQ(CheckOrderMatchGoods(info(), kDsn, "1"), "W1");
  VectorPtr problems = CheckPurchaseOnVoid(info(), kDsn, "1");
  ASSERT_NE(problems, nullptr);
  ASSERT_EQ(problems->Count(), 1);  // the item-less line has no item number to show
  DictionaryPtr p = problems->Item(1).As<Dictionary>();
  EXPECT_EQ(CStr(p->Value("FOrderID")) + CStr(p->Value("FSiteOrderID")) +
                CStr(p->Value("FNumber")) + CStr(p->Value("ErrInfo")),
            "W1T1A10未设置【发货仓库】");
  // The check never raises: a bad key answers nothing.
  EXPECT_EQ(CheckPurchaseOnVoid(info(), kDsn, "1 or 1=1"), nullptr);

  EXPECT_EQ(GetPurChaseCheckMode(info(), kDsn), 2);
  SetProfile(conn(), "PurchaseCheckMode", "1");
  EXPECT_EQ(GetPurChaseCheckMode(info(), kDsn), 1);
  conn().Execute("DELETE FROM t_SystemProfile WHERE FKey = 'PurchaseCheckMode'");
  EXPECT_EQ(GetPurChaseCheckMode(info(), kDsn), 2);
}

}  // namespace
}  // namespace ambit
