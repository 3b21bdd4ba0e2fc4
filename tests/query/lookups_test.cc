// The single-question lookups of the order workbench, end to end on a fresh account.
#include "query/lookups.h"

#include <gtest/gtest.h>

#include <string>

#include "base/conversions.h"
#include "query/lookups_fixture.h"

namespace ambit {
namespace {

TEST_F(LookupsTest, RecordOrderListNamesOrdersWithAVoucherOnly) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3"});
  // 1: voucher and voucher link; 2: voucher id without link; 3: link of another bill type.
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FVoucherID = 7 WHERE FID IN (1, 2)\r\n"
      "INSERT INTO t_RPVoucherAndBill (FVoucherID, FBillID, FBillType) VALUES (7, 1, 32)\r\n"
      "INSERT INTO t_RPVoucherAndBill (FVoucherID, FBillID, FBillType) VALUES (7, 1, 32)\r\n"
      "INSERT INTO t_RPVoucherAndBill (FVoucherID, FBillID, FBillType) VALUES (8, 3, 33)");
  RecordsetPtr rs = GetRecordOrderLst(info(), kDsn, "1,2,3");
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(Column(rs, "FOrderID"), std::vector<std::string>{"A1"});  // grouped: one row

  EXPECT_EQ(GetRecordOrderLst(info(), kDsn, "2,3"), nullptr);
  // An empty list answers nothing without starting a call.
  int calls = context().begin_call_count;
  EXPECT_EQ(GetRecordOrderLst(info(), kDsn, ""), nullptr);
  EXPECT_EQ(GetRecordOrderLst(info(), "", "1"), nullptr);
  EXPECT_EQ(context().begin_call_count, calls);

  ComError e = ErrorOf([&] { GetRecordOrderLst(info(), kDsn, "1) OR (1=1"); });
  EXPECT_EQ(e.number(), err::kInvalidArgument);
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetRecordOrderLst");
  EXPECT_EQ(context().abort_count, 0);
}

TEST_F(LookupsTest, RefundOrderListSkipsRefusedCases) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3"});
  int e1 = SeedLine(conn(), {.fid = 1, .item_id = 10});
  int e2 = SeedLine(conn(), {.fid = 2, .item_id = 10});
  SeedLine(conn(), {.fid = 3, .item_id = 10});
  conn().Execute(
      "INSERT INTO IC_RefundInfo (FEntryID, FServiceStatus, FServiceSource) VALUES (" +
      std::to_string(e1) + ", 38431, 2)\r\n"
      "INSERT INTO IC_RefundInfo (FEntryID, FServiceStatus, FServiceSource) VALUES (" +
      std::to_string(e2) + ", 38436, 1)\r\n"
      "UPDATE e SET FRefundFID = r.FID, FServiceSource = r.FServiceSource "
      "FROM IC_Web2ERPOrdersEntry e INNER JOIN IC_RefundInfo r ON r.FEntryID = e.FEntryID");
  RecordsetPtr rs = GetRefundOrderLst(info(), kDsn, "1,2,3");
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(Column(rs, "FID"), std::vector<std::string>{"1"});
  rs->MoveFirst();
  EXPECT_EQ(CStr(rs->Value("FServiceSource")), "2");
  EXPECT_EQ(GetRefundOrderLst(info(), kDsn, "2,3"), nullptr);
}

TEST_F(LookupsTest, BillNumberSettingsByIdRange) {
  conn().Execute(
      "UPDATE ICBillNo SET FEditSelfBill = 1, FCanAlterBillNo = 0 WHERE FBillID = 71\r\n"
      "UPDATE ICClassType SET FControl = 1 WHERE FID = 1014301");
  EXPECT_EQ(GetBillEditSelfBillValue(info(), kDsn, 71), 1);
  EXPECT_EQ(GetBillEditSelfBillValue(info(), kDsn, 70), 0);
  EXPECT_EQ(GetBillEditSelfBillValue(info(), kDsn, 999), 0);          // no row
  EXPECT_EQ(GetBillEditSelfBillValue(info(), kDsn, 1014300), 1);      // FControl has 32768
  EXPECT_EQ(GetBillEditSelfBillValue(info(), kDsn, 1014301), 0);      // bit not set
  EXPECT_EQ(GetBillEditSelfBillValue(info(), kDsn, 300000000), 0);    // beyond both tables
  EXPECT_EQ(GetCanAlterBillNoValue(info(), kDsn, 71), 0);
  EXPECT_EQ(GetCanAlterBillNoValue(info(), kDsn, 70), 1);
  EXPECT_EQ(GetCanAlterBillNoValue(info(), kDsn, 12345), 0);
}

TEST_F(LookupsTest, IsSelfBillComparesTheBillerWithTheCurrentUser) {
  for (int fid : {1, 2}) SeedOrder(conn(), {.fid = fid});
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FBiller = 16394 WHERE FID = 1\r\n"
      "UPDATE IC_Web2ERPOrders SET FBiller = 2 WHERE FID = 2\r\n"
      "INSERT INTO IC_Receipt (FID, FBillNo, FBiller) VALUES (40, 'R40', 16394)");
  DictionaryPtr bills = IsSelfBill(info(), kDsn, "1,2", 1014300);
  ASSERT_NE(bills, nullptr);
  EXPECT_EQ(bills->Count(), 2);
  EXPECT_EQ(bills->Value("1"), Variant(true));
  EXPECT_EQ(bills->Value("2"), Variant(false));
  EXPECT_EQ(IsSelfBill(info(), kDsn, "1", 1014301)->Value("1"), Variant(true));
  DictionaryPtr receipts = IsSelfBill(info(), kDsn, "40,1", 1014302);
  EXPECT_EQ(receipts->Count(), 1);
  EXPECT_EQ(receipts->Value("40"), Variant(true));

  // No table for other class types: the database refuses the statement.
  ComError e = ErrorOf([&] { IsSelfBill(info(), kDsn, "1", 1014399); });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.IsSelfBill");
  EXPECT_EQ(ErrorOf([&] { IsSelfBill(info(), kDsn, "'1'", 1014300); }).number(),
            err::kInvalidArgument);
}

TEST_F(LookupsTest, WebShopDataMapsShopTypesToOrderTypes) {
  conn().Execute(
      "INSERT INTO IC_WebshopToStorage (FWebShopID, FWebShopName, FWebShopType, FUnUsed) VALUES "
      "('S-A', N'Own', 3, 0), ('S-B', N'Mall', 5, 0), ('S-C', N'Odd', 77, 0), "
      "('S-D', N'Closed', 1, 1), ('S-E', N'Manual', 1000, 0)");
  auto para = NewDictionary();
  EXPECT_EQ(GetWebShopData(info(), para), nullptr);  // no "sDSN"
  para->SetValue("sDSN", Variant(kDsn));
  RecordsetPtr rs = GetWebShopData(info(), para);
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(Column(rs, "FWebShopID"), (std::vector<std::string>{"S-A", "S-B", "S-C", "S-E"}));
  // Fixed code for "03" and "1000", the code table's row for "05", nothing for 77.
  EXPECT_EQ(Column(rs, "FOrderType"),
            (std::vector<std::string>{"38118", "38113", "0", "38472"}));
}

TEST_F(LookupsTest, IsVoidOnlyForExistingVoidOrders) {
  SeedOrder(conn(), {.fid = 1, .void_status = 1});
  SeedOrder(conn(), {.fid = 2});
  EXPECT_TRUE(IsVoid(info(), kDsn, 1));
  EXPECT_FALSE(IsVoid(info(), kDsn, 2));
  EXPECT_FALSE(IsVoid(info(), kDsn, 3));
}

TEST_F(LookupsTest, AreaDataKeyedByAreaInTheUsersLanguage) {
  conn().Execute(
      "INSERT INTO IC_Area (FID, FName, FName_CHT, FParentID, FType, FZipCode) VALUES "
      "(11, N'浙江', N'浙江省', 0, 1, '310000'), (12, N'杭州', N'杭州市', 11, 2, '310000'), "
      "(13, N'中国', N'中國', 0, 0, '')");
  DictionaryPtr areas = GetAreaData(info(), kDsn);
  ASSERT_NE(areas, nullptr);
  EXPECT_EQ(areas->Count(), 2);  // type 0 is left out
  auto city = areas->Value("12").As<Dictionary>();
  ASSERT_NE(city, nullptr);
  EXPECT_EQ(CStr(city->Value("FName")), "杭州");
  EXPECT_EQ(CStr(city->Value("FParentID")), "11");

  context().set_user(std::make_shared<LocalUserLogin>("test", 16394, "cht"));
  EXPECT_EQ(CStr(GetAreaData(info(), kDsn)->Value("12").As<Dictionary>()->Value("FName")),
            "杭州市");
  // No language code reads the default names instead of a column "FName_".
  context().set_user(std::make_shared<LocalUserLogin>("test", 16394, ""));
  EXPECT_EQ(CStr(GetAreaData(info(), kDsn)->Value("11").As<Dictionary>()->Value("FName")),
            "浙江");
}

TEST_F(LookupsTest, WebFIDByInvoiceOnlyForAnInvoiceOfOneOrder) {
  for (int fid : {1, 2}) SeedOrder(conn(), {.fid = fid});
  int a = SeedLine(conn(), {.fid = 1, .item_id = 10});
  int b = SeedLine(conn(), {.fid = 1, .item_id = 11});
  int c = SeedLine(conn(), {.fid = 2, .item_id = 10});
  auto sale = [&](int invoice, int entry, int fid, int line) {
    conn().Execute("INSERT INTO ICSaleEntry (FInterID, FEntryID, FSourceTranType, "
                   "FSourceInterId, FSourceEntryID) VALUES (" + std::to_string(invoice) + "," +
                   std::to_string(entry) + ", 1014300, " + std::to_string(fid) + "," +
                   std::to_string(line) + ")");
  };
  sale(900, 1, 1, a);
  sale(900, 2, 1, b);  // two lines of one order: still one order
  sale(901, 1, 1, a);
  sale(901, 2, 2, c);
  EXPECT_EQ(GetWebFIDByInoviceID(info(), kDsn, 900), 1);
  EXPECT_EQ(GetWebFIDByInoviceID(info(), kDsn, 901), -1);
  EXPECT_EQ(GetWebFIDByInoviceID(info(), kDsn, 902), -1);
}

TEST_F(LookupsTest, ItemByNumberQuotesTheNumberAndFailsWithoutRow) {
  SeedItem(conn(), {.item_id = 10, .number = "A'10", .name = "Tea"});
  conn().Execute("UPDATE t_ICItem SET FOnlineShopPNo = 'P-10' WHERE FItemID = 10");
  DictionaryPtr item = GetItemInfoByFNunmber(info(), kDsn, "A'10");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(CStr(item->Value("FItemID")), "10");
  EXPECT_EQ(CStr(item->Value("FOnlineShopPNo")), "P-10");
  EXPECT_TRUE(item->Lookup("FOnlineShopPName"));

  ComError e = ErrorOf([&] { GetItemInfoByFNunmber(info(), kDsn, "missing"); });
  EXPECT_EQ(e.number(), err::kNoCurrentRecord);
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetItemInfoByFNunmber");
}

TEST_F(LookupsTest, SingleSqlDataAnswersNothingInsteadOfFailing) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  DictionaryPtr row =
      GetSingleSQLData(info(), kDsn, "select FOrderID, FID from IC_Web2ERPOrders where FID = 1");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Name(1), "FOrderID");
  EXPECT_EQ(CStr(row->Value("FOrderID")), "A1");
  EXPECT_EQ(GetSingleSQLData(info(), kDsn, "select FID from IC_Web2ERPOrders where 1 = 0"),
            nullptr);
  EXPECT_EQ(GetSingleSQLData(info(), kDsn, "select * from NoSuchTable"), nullptr);
  // Nor does it reach SQLite's own tables: the database file's path stays private.
  EXPECT_EQ(GetSingleSQLData(info(), kDsn, "select file from pragma_database_list"), nullptr);
  // What is not one SELECT is refused through the method's error path before it runs.
  for (const char* refused : {"update IC_Web2ERPOrders set FOrderRem = 'x'", "select from"}) {
    ComError e = ErrorOf([&] { GetSingleSQLData(info(), kDsn, refused); });
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetSingleSQLData") << refused;
  }
  EXPECT_EQ(testing::ScalarInt(conn(), "select count(*) from IC_Web2ERPOrders where FOrderRem = 'x'"), 0);
}

TEST_F(LookupsTest, InvoiceStatusCarriesShopDefaultsAndRefundState) {
  SeedShop(conn(), "SHOP1", "Shop one");
  conn().Execute("UPDATE IC_WebshopToStorage SET FAutoInvoice = 1, FStaffID = 5 "
                 "WHERE FWebShopID = 'SHOP1'");
  SeedOrder(conn(), {.fid = 1, .shop = "SHOP1"});
  SeedOrder(conn(), {.fid = 2, .shop = "NOSHOP"});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .refund_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 11});
  RecordsetPtr rs = GetInvoiceStatus(info(), kDsn, "1,2");
  ASSERT_EQ(rs->RecordCount(), 2);
  rs->SetFilter("FID = 1");
  EXPECT_EQ(CStr(rs->Value("FAutoInvoice")), "1");
  EXPECT_EQ(CStr(rs->Value("FStaffID")), "5");
  EXPECT_EQ(CStr(rs->Value("FRefundStatus")), "1");
  rs->SetFilter("FID = 2");
  EXPECT_TRUE(rs->Value("FAutoInvoice").IsNull());  // no shop row
  EXPECT_TRUE(rs->Value("FRefundStatus").IsNull());  // no lines
  EXPECT_THROW(GetInvoiceStatus(info(), kDsn, ""), ComError);
}

TEST_F(LookupsTest, PriceChangeGoodsByItemId) {
  SeedItem(conn(), {.item_id = 10});
  SeedItem(conn(), {.item_id = 11});
  conn().Execute("INSERT INTO IC_GoodsToMateriel (FMaterielCode, FIsPriceChange) VALUES "
                 "('I10', 0), ('I11', 1)");
  EXPECT_TRUE(GetIsPriceChange(info(), kDsn, "11"));
  EXPECT_FALSE(GetIsPriceChange(info(), kDsn, "10"));
  EXPECT_FALSE(GetIsPriceChange(info(), kDsn, "12"));
  EXPECT_FALSE(GetIsPriceChange(info(), kDsn, "eleven"));
}

TEST_F(LookupsTest, EntryInfoOfOneLineWithItsOrdersLineCount) {
  SeedItem(conn(), {.item_id = 10, .name = "Tea"});
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  int line = SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3});
  SeedLine(conn(), {.fid = 1, .item_id = 10});
  int empty_item = SeedLine(conn(), {.fid = 1, .item_id = 0});
  DictionaryPtr line_info = GetEntryInfoByFID(info(), kDsn, "1", Variant(line));
  EXPECT_EQ(CStr(line_info->Value("FOrderID")), "A1");
  EXPECT_EQ(CDbl(line_info->Value("FQuantity")), 3);
  EXPECT_EQ(CStr(line_info->Value("FName")), "Tea");
  EXPECT_EQ(CStr(line_info->Value("EntryNum")), "3");
  EXPECT_EQ(GetEntryInfoByFID(info(), kDsn, "1", Variant(empty_item))->Count(), 0);
  EXPECT_EQ(ErrorOf([&] { GetEntryInfoByFID(info(), kDsn, "1", Variant("1 or 1=1")); }).number(),
            err::kInvalidArgument);
}

TEST_F(LookupsTest, TransferOrderInfoListsSalesOrdersMadeFromWebOrders) {
  conn().Execute(
      "INSERT INTO SEOrder (FInterID, FBillNo, FSiteOrderID) VALUES (70, 'SE70', 'T1')\r\n"
      "INSERT INTO SEOrderEntry (FInterID, FEntryID, FSourceTranType, FSourceInterId, "
      "FSourceBillNo) VALUES (70, 1, 1014300, 1, 'A1'), (70, 2, 81, 2, 'X')");
  RecordsetPtr rs = GetTransferOrderInfo(info(), kDsn, "1,2");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(CStr(rs->Value("FID")), "1");
  EXPECT_EQ(CStr(rs->Value("FOrderID")), "A1");
  EXPECT_EQ(CStr(rs->Value("FSiteOrderID")), "T1");
}

}  // namespace
}  // namespace ambit
