// Held quantities, the item's stock per warehouse and the warehouse choice.
#include <gtest/gtest.h>

#include "stock/stock_lookups.h"
#include "stock_fixture.h"

namespace ambit::testing {
namespace {

class StockLookupsTest : public StockTest {
 protected:
  double Held(const std::string& stock = "", const std::string& batch = "",
              const std::string& place = "") {
    return GetStockLockByRow(info(), kDsn, "10", "1", stock, batch, place);
  }
  double HeldNew(const std::string& stock = "", const std::string& batch = "",
                 const std::string& place = "") {
    return GetNewStockLockByRow(info(), kDsn, "10", "1", stock, batch, place);
  }
};

TEST_F(StockLookupsTest, HeldQuantityCountsOpenLinesOfTheItemInItsUnit) {
  SeedOrder(conn(), {.fid = 1, .check_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .stock_id = 1, .unit_id = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3, .stock_id = 2, .sp_id = 5,
                    .batch_no = "B'1", .unit_id = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 7, .stock_id = 1, .unit_id = 2});
  SeedLine(conn(), {.fid = 1, .item_id = 11, .quantity = 7, .stock_id = 1, .unit_id = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 7, .stock_id = 1, .unit_id = 1,
                    .status = "TRADE_CLOSED"});
  // A finished trade without line statuses of its own holds nothing either.
  SeedOrder(conn(), {.fid = 2, .check_status = 1,
                     .trade_status = schema::code::kTradeStatusFinished});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 7, .stock_id = 1, .unit_id = 1});

  EXPECT_EQ(Held(), 5);
  EXPECT_EQ(HeldNew(), 5);
  EXPECT_EQ(Held("2"), 3);
  EXPECT_EQ(Held("", "B'1"), 3);
  EXPECT_EQ(Held("", "", "5"), 3);
  EXPECT_EQ(Held("1", "B'1"), 0);
}

TEST_F(StockLookupsTest, LockedOrdersCountOnlyWhenTheSettingSaysSo) {
  SeedOrder(conn(), {.fid = 1, .check_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 1, .unit_id = 1});
  SeedOrder(conn(), {.fid = 2, .check_status = 1});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 4, .unit_id = 1});
  Lock(2);
  EXPECT_EQ(Held(), 1);
  EXPECT_EQ(HeldNew(), 5);
  SetProfile(conn(), "LockOrderOnStock", "1");
  EXPECT_EQ(Held(), 5);
}

TEST_F(StockLookupsTest, UnreviewedOrdersCountOnlyWhenPreCheckOnStockIsOff) {
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .unit_id = 1});
  SeedOrder(conn(), {.fid = 2, .pre_chk_man = 7});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 3, .unit_id = 1});
  SetProfile(conn(), "PreCheckOnStock", "1");
  EXPECT_EQ(Held(), 3);
  EXPECT_EQ(HeldNew(), 3);
  SetProfile(conn(), "PreCheckOnStock", "0");
  EXPECT_EQ(Held(), 5);
  EXPECT_EQ(HeldNew(), 5);
}

TEST_F(StockLookupsTest, LinesOnPostedOrAuditedStockBillsNoLongerCount) {
  SeedItem(conn(), {.item_id = 10, .unit_id = 1});
  SeedStock(conn(), 1, "Main");
  SeedInventory(conn(), 10, 1, 20);
  SeedOrder(conn(), {.fid = 1, .check_status = 1});
  int posted = SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 1, .stock_id = 1,
                                 .unit_id = 1});
  int audited = SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .stock_id = 1,
                                  .unit_id = 1});
  int drafted = SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 4, .stock_id = 1,
                                  .unit_id = 1});
  SeedStockBill(1, posted, 1, 0);
  SeedStockBill(2, audited, 0, 1);
  SeedStockBill(3, drafted, 0, 0);
  EXPECT_EQ(Held(), 4);
  EXPECT_EQ(HeldNew(), 4);
  RecordsetPtr rs = GetItemStockInfoByFItemID(info(), kDsn, 10);
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(CStr(rs->Value("FOrderQty")), "4");
  EXPECT_EQ(CStr(rs->Value("FAvailable")), "16");
}

TEST_F(StockLookupsTest, ValuesThatGoUnquotedMustBeNumbers) {
  for (const auto& [item, stock] : {std::pair<std::string, std::string>{"10 or 1=1", ""},
                                    {"10", "1; delete from t_Stock"}}) {
    try {
      GetStockLockByRow(info(), kDsn, item, "1", stock, "", "");
      ADD_FAILURE() << "accepted " << item << " / " << stock;
    } catch (const ComError& e) {
      EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetStockLockByRow");
    }
  }
  EXPECT_THROW(GetStockIDAndSPID(info(), kDsn, "1)", "10", "", "", "", ""), ComError);
}

TEST_F(StockLookupsTest, ItemStockIsListedPerWarehouseInWholeNumbers) {
  SeedItem(conn(), {.item_id = 10, .unit_id = 1});
  SeedStock(conn(), 1, "Main");
  SeedStock(conn(), 2, "Second");
  SeedStock(conn(), 3, "Scrap");
  conn().Execute("UPDATE t_Stock SET FTypeID = 501 WHERE FItemID = 3");
  SeedInventory(conn(), 10, 1, 10);
  SeedInventory(conn(), 10, 1, 0.6, 0, "B1");
  SeedInventory(conn(), 10, 2, 9);
  SeedInventory(conn(), 10, 3, 50);
  SeedOrder(conn(), {.fid = 1, .check_status = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3, .stock_id = 2, .unit_id = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 8, .stock_id = 4, .unit_id = 1});

  RecordsetPtr rs = GetItemStockInfoByFItemID(info(), kDsn, 10);
  std::vector<std::string> rows;
  for (; !rs->Eof(); rs->MoveNext())
    rows.push_back(CStr(rs->Value("FStockName")) + ":" + CStr(rs->Value("FQty")) + "/" +
                   CStr(rs->Value("FOrderQty")) + "/" + CStr(rs->Value("FAvailable")));
  EXPECT_EQ(rows, (std::vector<std::string>{"Main:11/0/11", "Second:9/3/6"}));
}

TEST_F(StockLookupsTest, WarehouseChoiceComesWithNamesAndAnEmptyShopStaysText) {
  SeedItem(conn(), {.item_id = 10, .unit_id = 1});
  SeedStock(conn(), 1, "Main", 11);
  SeedStock(conn(), 2, "Shopless");
  SeedShop(conn(), "", "no shop", 2);
  SeedInventory(conn(), 10, 1, 5, 11);
  SeedInventory(conn(), 10, 2, 5);
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .unit_id = 1});

  DictionaryPtr chosen = GetStockIDAndSPID(info(), kDsn, "1", "10", "", "", "", "");
  EXPECT_EQ(CStr(chosen->Value("FStockID")), "2");
  EXPECT_EQ(CStr(chosen->Value("FStockName")), "Shopless");
  EXPECT_EQ(CStr(chosen->Value("FStockNumber")), "S2");
  EXPECT_FALSE(chosen->Lookup("FSPName"));  // place 0 does not exist

  conn().Execute("DELETE FROM ICInventory WHERE FStockID = 2");
  chosen = GetStockIDAndSPID(info(), kDsn, "1", "10", "SHOP9", "", "", "");
  EXPECT_EQ(CStr(chosen->Value("FStockID")), "1");
  EXPECT_EQ(CStr(chosen->Value("FSPID")), "11");
  EXPECT_EQ(CStr(chosen->Value("FSPName")), "Main place");
  EXPECT_EQ(CStr(chosen->Value("FSPNumber")), "P11");
}

}  // namespace
}  // namespace ambit::testing
