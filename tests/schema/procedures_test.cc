// The ERP procedures, called the way the order methods call them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/com_error.h"
#include "support/account_fixture.h"
#include "support/temp_db_file.h"

namespace ambit::schema {
namespace {

using ::ambit::testing::AccountTest;
using ::ambit::testing::N;
using ::ambit::testing::Q;
using ::ambit::testing::Scalar;
using ::ambit::testing::ScalarInt;
using ::ambit::testing::SeedInventory;
using ::ambit::testing::SeedItem;
using ::ambit::testing::SeedLine;
using ::ambit::testing::SeedOrder;
using ::ambit::testing::SeedShop;
using ::ambit::testing::SeedStock;

// The key batch of the split methods.
int NextOrderKey(Connection& conn, const std::string& table = "IC_Web2ERPOrders") {
  return ScalarInt(conn, "Declare @lMaxNUm int\r\nexec GetICMaxNum " + Q(table) +
                             ", @lMaxNUm output\r\nselect @lMaxNUm");
}

class GetICMaxNumTest : public AccountTest {};

TEST_F(GetICMaxNumTest, KeysIncreaseAndSkipKeysAlreadyStored) {
  EXPECT_EQ(NextOrderKey(conn()), 1);
  EXPECT_EQ(NextOrderKey(conn()), 2);
  // Orders written without the procedure (a download) push the counter past them.
  SeedOrder(conn(), {.fid = 500});
  EXPECT_EQ(NextOrderKey(conn()), 501);
  EXPECT_EQ(NextOrderKey(conn()), 502);
  // Counters are per table; a name the account has never seen starts at 1.
  EXPECT_EQ(NextOrderKey(conn(), "POOrder"), 1);
  EXPECT_EQ(NextOrderKey(conn(), "SomeOtherTable"), 1);
  EXPECT_EQ(NextOrderKey(conn(), "SomeOtherTable"), 2);
  EXPECT_EQ(NextOrderKey(conn()), 503);
}

// "UPDATE ... SET @v = col, col = col + n" must be one atomic step even outside a transaction,
// or two connections read the same counter and receive the same key. A key one connection
// took in its transaction counts on the others.
TEST(GetICMaxNumFileTest, ConnectionsOfOneAccountGetDistinctKeys) {
  testing::TempDbFile file("ambit_schema_keys_");
  CreateAccount(file.string()).reset();
  {
    ConnectionPtr a = OpenConnection(SqliteConnectionString(file.string()));
    ConnectionPtr b = OpenConnection(SqliteConnectionString(file.string()));
    a->BeginTrans();
    int in_tx = NextOrderKey(*a);
    a->CommitTrans();
    EXPECT_EQ(NextOrderKey(*b), in_tx + 1);
  }
  constexpr int kThreads = 3;
  constexpr int kKeysEach = 40;
  std::vector<std::vector<int>> keys(kThreads);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        ConnectionPtr conn = OpenConnection(SqliteConnectionString(file.string()));
        for (int i = 0; i < kKeysEach; ++i) keys[t].push_back(NextOrderKey(*conn));
      } catch (const ComError& e) {
        errors[t] = e.description();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<int> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(errors[t], "") << "thread " << t;
    for (int key : keys[t]) EXPECT_TRUE(all.insert(key).second) << "key " << key << " twice";
  }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kKeysEach));
  EXPECT_EQ(all.empty() ? 0 : *all.rbegin(), kThreads * kKeysEach + 2);
}

// Two warehouses hold item 10; warehouse 1 is the shop's own.
class StockProcedureTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    SeedItem(conn(), {.item_id = 10, .number = "A-10"});
    SeedItem(conn(), {.item_id = 11, .number = "A-11"});
    SeedStock(conn(), 1, "Main", 101);
    SeedStock(conn(), 2, "North", 201);
    SeedShop(conn(), "SHOP1", "Shop one", 1);
  }

  // The batch of GetStockIDAndSPID; the procedure's result set, as "stock/place".
  std::string ShipFrom(int fid, int item) {
    RecordsetPtr rs = conn().Execute(
        "declare @FID int\r\ndeclare @FItemID varchar(20)\r\ndeclare @FWebShopID varchar(20)\r\n"
        "declare @FDeliveryProvince varchar(80)\r\ndeclare @FDeliveryCity varchar(80)\r\n"
        "declare @FDeliveryDistrict varchar(80)\r\ndeclare @FStockID int\r\n"
        "declare @FSPID int\r\nset @FID = " + N(fid) + "\r\nset @FItemID = " + N(item) +
        "\r\nset @FWebShopID = 'SHOP1'\r\nset @FDeliveryProvince = ''\r\n"
        "set @FDeliveryCity = ''\r\nset @FDeliveryDistrict = ''\r\n"
        "exec P_ReturnStockIDAndSPID @FID,@FItemID, @FWebShopID, @FDeliveryProvince, "
        "@FDeliveryCity, @FDeliveryDistrict,@FStockID output, @FSPID output");
    std::string out;
    for (; rs && rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      out = CStr(rs->Value("FStockID")) + "/" + CStr(rs->Value("FSPID"));
    }
    return out;
  }
};

TEST_F(StockProcedureTest, ReturnStockIDAndSPIDPicksAWarehouseThatHoldsTheItem) {
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 5});
  SeedInventory(conn(), 10, 1, 8, 101);
  SeedInventory(conn(), 10, 2, 20, 201);
  EXPECT_EQ(ShipFrom(1, 10), "1/101");  // the shop's warehouse covers 5

  conn().Execute("UPDATE ICInventory SET FQty = 3 WHERE FStockID = 1");
  EXPECT_EQ(ShipFrom(1, 10), "2/201");  // it no longer does; North holds the most

  // An item nobody holds ships from the shop's warehouse, no place.
  SeedLine(conn(), {.fid = 1, .item_id = 11});
  EXPECT_EQ(ShipFrom(1, 11), "1/0");
}

TEST_F(StockProcedureTest, CheckWebOrderReportsShortLinesAndReviewsTheRest) {
  SeedInventory(conn(), 10, 1, 10, 101);
  SeedInventory(conn(), 11, 1, 1, 101);
  // Order 1 needs 6 of item 10; order 2 needs 6 more of it and 1 of item 11; order 3 needs 2
  // of item 11. A reviewed order 9 already holds 1 of item 11.
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 6, .stock_id = 1, .sp_id = 101});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  int short_line =
      SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 6, .stock_id = 1, .sp_id = 101});
  SeedLine(conn(), {.fid = 2, .item_id = 11, .quantity = 1, .stock_id = 1, .sp_id = 101});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3"});
  SeedLine(conn(), {.fid = 3, .item_id = 11, .quantity = 2, .stock_id = 1, .sp_id = 101});

  // Check only: each order against the stock as it stands; only 3 is short.
  RecordsetPtr rs = conn().Execute("EXEC p_CheckWebOrder '1,2,3',16394,1,0");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(CLng(rs->Value("FID")), 3);
  EXPECT_EQ(CStr(rs->Value("FOrderID")), "A3");
  EXPECT_EQ(CStr(rs->Value("FNumber")), "A-11");
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM IC_Web2ERPOrders WHERE FCheckStatus = 1"), 0);

  // The real call: order 1 fits and is reviewed, and then holds 6 of the 10, so order 2's
  // line of item 10 is short while its line of item 11 is not reported.
  rs = conn().Execute("EXEC p_CheckWebOrder '1,2,3',16394,0,0");
  std::vector<std::string> rows;
  for (; !rs->Eof(); rs->MoveNext()) {
    rows.push_back(CStr(rs->Value("FID")) + ":" + CStr(rs->Value("FNumber")));
  }
  EXPECT_THAT(rows, ::testing::ElementsAre("2:A-10", "3:A-11"));
  EXPECT_EQ(Scalar(conn(), "SELECT FEntryID FROM IC_Web2ERPOrdersEntry WHERE FID = 2 AND "
                           "FItemID = 10"),
            N(short_line));
  EXPECT_EQ(Scalar(conn(), "SELECT CONVERT(varchar(10), FOrderStatus) + '/' + "
                           "CONVERT(varchar(10), FCheckStatus) + '/' + CONVERT(varchar(10), FChkMan) "
                           "FROM IC_Web2ERPOrders WHERE FID = 1"),
            "2/1/16394");
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM IC_Web2ERPOrders WHERE FCheckStatus = 1"), 1);

  // Not a list of keys: nothing is checked, nothing fails.
  rs = conn().Execute("EXEC p_CheckWebOrder 'x, ,',16394,0,0");
  EXPECT_TRUE(rs->Eof());
}

TEST_F(StockProcedureTest, GetAllStockNewLeavesOutStockHeldByOtherReviewedOrders) {
  SeedInventory(conn(), 10, 1, 10, 101);
  SeedInventory(conn(), 10, 1, 4, 101, "B1");
  SeedOrder(conn(), {.fid = 1, .status = 2, .check_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3, .stock_id = 1, .sp_id = 101});
  SeedOrder(conn(), {.fid = 2});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1, .stock_id = 1, .sp_id = 101});

  RecordsetPtr rs = conn().Execute("EXEC P_GetAllStockNew '2'");
  std::vector<std::string> rows;
  for (; !rs->Eof(); rs->MoveNext()) {
    rows.push_back(CStr(rs->Value("FItemID")) + "/" + CStr(rs->Value("FStockID")) + "/" +
                   CStr(rs->Value("FBatchNo")) + "/" + CStr(rs->Value("FSPID")) + "=" +
                   CStr(CDbl(rs->Value("FStockQty"))));
  }
  EXPECT_THAT(rows, ::testing::ElementsAre("10/1//101=7", "10/1/B1/101=4"));

  // An order in the list does not count against itself.
  rs = conn().Execute("EXEC P_GetAllStockNew '1,2'");
  EXPECT_EQ(CDbl(rs->Value("FStockQty")), 10);
}

TEST_F(StockProcedureTest, UpdateWebOrderStockRefreshesLineFigures) {
  SeedInventory(conn(), 10, 1, 10, 101);
  SeedOrder(conn(), {.fid = 1, .status = 2, .check_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 4, .stock_id = 1});
  SeedOrder(conn(), {.fid = 2});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1, .stock_id = 1});
  conn().Execute("exec P_UpdateWebOrderStock 'SHOP1', 0, '2'");
  EXPECT_EQ(Scalar(conn(), "SELECT CONVERT(varchar(20), CONVERT(int, FRealStock)) + '/' + "
                           "CONVERT(varchar(20), CONVERT(int, FAvailStock)) "
                           "FROM IC_Web2ERPOrdersEntry WHERE FID = 2"),
            "10/6");
  // Orders not listed are left alone.
  EXPECT_EQ(ScalarInt(conn(), "SELECT CONVERT(int, FRealStock) FROM IC_Web2ERPOrdersEntry "
                              "WHERE FID = 1"),
            0);
}

class UniqueCodeProcedureTest : public AccountTest {
 protected:
  int Reserve(int count) {
    return ScalarInt(conn(), "DECLARE @f int\r\nEXEC p_ReserveUniqueCode " + N(count) +
                                 ", @f OUTPUT\r\nSELECT @f");
  }
  std::string Month() { return Scalar(conn(), "SELECT CONVERT(varchar(6), GETDATE(), 112)"); }
};

TEST_F(UniqueCodeProcedureTest, SerialsFollowTheMonthAndTheCodesAlreadyGiven) {
  // First use ever, with orders of this month already coded up to 57.
  SeedOrder(conn(), {.fid = 1, .unique_code = Month() + "57"});
  SeedOrder(conn(), {.fid = 2, .unique_code = Month() + "9"});
  SeedOrder(conn(), {.fid = 3, .unique_code = "20010199"});  // another month
  EXPECT_EQ(Reserve(1), 58);
  // The counter standing at 40 in this month: three serials start at 41 and leave it at 43.
  conn().Execute("UPDATE ICMaxNum SET FMaxNum = 40 WHERE FTableName = 'UniqueCode'");
  EXPECT_EQ(Reserve(3), 41);
  EXPECT_EQ(ScalarInt(conn(), "SELECT FMaxNum FROM ICMaxNum WHERE FTableName = 'UniqueCode'"), 43);
  // A new month with no order of it yet starts again at 1.
  conn().Execute("UPDATE IC_MaxNum SET FNumber = '200001' WHERE FTableName = 'UniqueCode'\r\n"
                 "UPDATE IC_Web2ERPOrders SET FUniqueCode = '0'");
  EXPECT_EQ(Reserve(2), 1);
  EXPECT_EQ(Reserve(1), 3);
  EXPECT_EQ(Scalar(conn(), "SELECT FNumber FROM IC_MaxNum WHERE FTableName = 'UniqueCode'"),
            Month());
}

TEST_F(UniqueCodeProcedureTest, OrdersReviewedByTheStockCheckGetTheNextCodes) {
  SeedItem(conn(), {.item_id = 10});
  SeedInventory(conn(), 10, 0, 5);
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 1});
  SeedOrder(conn(), {.fid = 2});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1});
  SeedOrder(conn(), {.fid = 3, .check_status = 1, .unique_code = Month() + "7"});
  conn().Execute("EXEC p_CheckWebOrder '2,1,3',16394,0,0");
  EXPECT_EQ(Scalar(conn(), "SELECT FUniqueCode FROM IC_Web2ERPOrders WHERE FID = 1"),
            Month() + "8");
  EXPECT_EQ(Scalar(conn(), "SELECT FUniqueCode FROM IC_Web2ERPOrders WHERE FID = 2"),
            Month() + "9");
  // An order already reviewed keeps its code.
  EXPECT_EQ(Scalar(conn(), "SELECT FUniqueCode FROM IC_Web2ERPOrders WHERE FID = 3"),
            Month() + "7");
}

class SaleOrderProcedureTest : public AccountTest {};

TEST_F(SaleOrderProcedureTest, WebOrdersBecomeSalesOrdersOnce) {
  SeedItem(conn(), {.item_id = 10});
  SeedShop(conn(), "SHOP1", "Shop one");
  SeedOrder(conn(), {.fid = 5, .order_id = "A5", .site_order_id = "T5"});
  int first = SeedLine(conn(), {.fid = 5, .item_id = 10, .quantity = 2, .price = 3.5});
  int second = SeedLine(conn(), {.fid = 5, .item_id = 10, .quantity = 1, .price = 1});
  SeedOrder(conn(), {.fid = 6, .void_status = 1});

  RecordsetPtr rs =
      conn().Execute("exec SP_WebOrder2ERPOrder '5,6','2026-01-06 00:00:00',16394");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(CLng(rs->Value("FID")), 5);
  EXPECT_EQ(CLng(rs->Value("FSuccess")), 1);
  std::string bill_no = CStr(rs->Value("FBillNo"));
  int inter_id = CLng(rs->Value("FInterID"));
  rs->MoveNext();
  EXPECT_EQ(CLng(rs->Value("FSuccess")), 0);  // the void order

  EXPECT_EQ(Scalar(conn(), "SELECT FSiteOrderID FROM SEOrder WHERE FInterID = " + N(inter_id)),
            "T5");
  rs = conn().Execute("SELECT FEntryID, FSourceTranType, FSourceInterId, FSourceEntryID, FQty, "
                      "FAmount FROM SEOrderEntry WHERE FInterID = " + N(inter_id) +
                      " ORDER BY FEntryID");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(CLng(rs->Value("FEntryID")), 1);
  EXPECT_EQ(CLng(rs->Value("FSourceTranType")), code::kClassTypeWebOrder);
  EXPECT_EQ(CLng(rs->Value("FSourceInterId")), 5);
  EXPECT_EQ(CLng(rs->Value("FSourceEntryID")), first);
  EXPECT_DOUBLE_EQ(CDbl(rs->Value("FAmount")), 7);
  rs->MoveNext();
  EXPECT_EQ(CLng(rs->Value("FEntryID")), 2);
  EXPECT_EQ(CLng(rs->Value("FSourceEntryID")), second);
  EXPECT_EQ(Scalar(conn(), "SELECT FSaleNo FROM IC_Web2ERPOrders WHERE FID = 5"), bill_no);

  // A second run finds the sales order and makes no other.
  rs = conn().Execute("exec SP_WebOrder2ERPOrder '5','2026-01-06',16394");
  EXPECT_EQ(CLng(rs->Value("FSuccess")), 0);
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM SEOrder"), 1);
}

TEST_F(SaleOrderProcedureTest, BillRelateDataLinksPurchaseOrderLinesToTheirSources) {
  conn().Execute(
      "INSERT INTO POOrderEntry (FInterID, FEntryID, FItemID, FQty, FSourceTranType, "
      "FSourceInterId, FSourceEntryID) VALUES (9, 1, 10, 2, 70, 3, 1), (9, 2, 11, 1, 0, 0, 0)\r\n"
      " EXEC p_UpdateBillRelateData 71,9,'POOrder','POOrderEntry' ");
  EXPECT_EQ(Scalar(conn(), "SELECT CONVERT(varchar(10), FSourceTranType) + '/' + "
                           "CONVERT(varchar(10), FSourceInterId) FROM ICBillRelations "
                           "WHERE FTranType = 71 AND FInterID = 9"),
            "70/3");
  // Running it again replaces the links instead of doubling them.
  conn().Execute(" EXEC p_UpdateBillRelateData 71,9,'POOrder','POOrderEntry' ");
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM ICBillRelations"), 1);
}

class ViewTest : public AccountTest {};

TEST_F(ViewTest, ServiceOrderAndPromotionViews) {
  for (int fid : {1, 2}) SeedOrder(conn(), {.fid = fid});
  SeedLine(conn(), {.fid = 2, .item_id = 10});
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FIs_jzservice_order = 'Y', FPromotionID = 4 "
                 "WHERE FID = 2\r\n"
                 "INSERT INTO IC_CDPSActivity (FActivityID, FActivityName) VALUES (1, N'Spring')\r\n"
                 "INSERT INTO IC_CDPSPromotion (FPromotionID, FActivityID) VALUES (4, 1)");
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM vw_Web2ERPOrdersJZ"), 1);
  EXPECT_EQ(Scalar(conn(), "SELECT FIs_jzservice_order FROM vw_Web2ERPOrdersJZ WHERE FID = 2"),
            "Y");
  EXPECT_EQ(Scalar(conn(), "SELECT isnull(pm.FActivityName,'') FROM IC_Web2ERPOrdersEntry entry "
                           "LEFT JOIN vwICPSPromotion pm ON pm.FPromotionID = entry.FPromotionID"),
            "Spring");
}

}  // namespace
}  // namespace ambit::schema
