// Review by stock check: the line checks and their messages, the quantity rule with what
// reviewed orders hold, the currency mode and the database's own check.
#include <gtest/gtest.h>

#include "stock/stock_review.h"
#include "stock_fixture.h"

namespace ambit::testing {
namespace {

class StockReviewTest : public StockTest {
 protected:
  void SetUp() override {
    StockTest::SetUp();
    SeedItem(conn(), {.item_id = 10, .unit_id = 1});
    SeedStock(conn(), 1, "Main");
    month_ = Scalar(conn(), "SELECT CONVERT(VARCHAR(6),GETDATE(),112)");
  }
  // An order awaiting review with one line of item 10 in warehouse 1.
  void Order(int fid, double quantity, int check_status = 0) {
    SeedOrder(conn(), {.fid = fid, .check_status = check_status});
    SeedLine(conn(), {.fid = fid, .item_id = 10, .quantity = quantity, .stock_id = 1,
                      .unit_id = 1});
  }
  VectorPtr Review(const std::string& fids, bool currency = false) {
    return SetWebOrderStatusByCheckStock(update(), kDsn, fids, currency);
  }
  std::string month_;
};

TEST_F(StockReviewTest, MissingWarehouseIsReportedPerLineAndEndsTheOrdersChecks) {
  SeedItem(conn(), {.item_id = 20, .batch_manager = 1});
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 20, .quantity = 1});
  VectorPtr result = Review("1");
  EXPECT_EQ(Items(result, "ErrInfo"),
            (std::vector<std::string>{"未设置【发货仓库】", "未设置【发货仓库】"}));
  EXPECT_EQ(Items(result, "FNumber"), (std::vector<std::string>{"I10", "I20"}));
  EXPECT_EQ(Items(result, "FSiteOrderID"), (std::vector<std::string>{"T1", "T1"}));
  EXPECT_EQ(State(1), "1/0");
}

TEST_F(StockReviewTest, StockPlaceThenBatchAreRequiredWhereManaged) {
  SeedStock(conn(), 2, "Shelved", 21);
  SeedItem(conn(), {.item_id = 20, .batch_manager = 1});
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 1, .stock_id = 2});
  SeedLine(conn(), {.fid = 1, .item_id = 20, .quantity = 1, .stock_id = 1});
  VectorPtr result = Review("1");
  EXPECT_EQ(Items(result, "ErrInfo"), (std::vector<std::string>{"未选择【仓位】"}));
  EXPECT_EQ(Items(result, "FNumber"), (std::vector<std::string>{"S2"}));

  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FSPID = 21 WHERE FStockID = 2");
  result = Review("1");
  EXPECT_EQ(Items(result, "ErrInfo"), (std::vector<std::string>{"未选择【批次】"}));
  EXPECT_EQ(Items(result, "FNumber"), (std::vector<std::string>{"I20"}));
  EXPECT_EQ(State(1), "1/0");
}

TEST_F(StockReviewTest, ReviewedOrdersHoldTheirStockAgainstLaterOnes) {
  SeedInventory(conn(), 10, 1, 10);
  Order(1, 6, 1);
  Order(2, 5);
  Order(3, 4);
  VectorPtr result = Review("2,3");
  EXPECT_EQ(Items(result, "ErrInfo"), (std::vector<std::string>{"可用库存不足"}));
  EXPECT_EQ(Items(result, "FOrderID"), (std::vector<std::string>{"WD2"}));
  EXPECT_EQ(State(2), "1/0");
  EXPECT_EQ(State(3), "2/1");
  EXPECT_EQ(Scalar(conn(), "SELECT FChkMan FROM IC_Web2ERPOrders WHERE FID = 3"),
            std::to_string(schema::code::kAdministratorUserID));
  EXPECT_EQ(Scalar(conn(), "SELECT FUniqueCode FROM IC_Web2ERPOrders WHERE FID = 3")
                .substr(0, 6), month_);
  // Order 3 now holds 4 as well: nothing is left for order 2 even alone.
  EXPECT_EQ(Items(Review("2"), "ErrInfo"), (std::vector<std::string>{"可用库存不足"}));
}

TEST_F(StockReviewTest, QuantitiesAreComparedAsWholeNumbersRoundedToEven) {
  SeedItem(conn(), {.item_id = 11, .unit_id = 1});
  // 2.5 needed against 2.4 on hand passes: 2 against 2 (halves go to the even neighbour).
  SeedInventory(conn(), 10, 1, 2.4);
  SeedInventory(conn(), 11, 1, 3.4);
  Order(1, 2.5);
  SeedOrder(conn(), {.fid = 2});
  SeedLine(conn(), {.fid = 2, .item_id = 11, .quantity = 3.5, .stock_id = 1, .unit_id = 1});
  VectorPtr result = Review("1,2");
  EXPECT_EQ(Items(result, "FNumber"), (std::vector<std::string>{"I11"}));
  EXPECT_EQ(State(1), "2/1");
  EXPECT_EQ(State(2), "1/0");
}

TEST_F(StockReviewTest, CurrencyModeChecksOnlyTheCurrency) {
  Order(1, 5);  // no stock at all: the stock check would fail
  Order(2, 5);
  EXPECT_EQ(Review("1,2", true)->Count(), 0);
  EXPECT_EQ(State(1), "1/0");
  EXPECT_EQ(State(2), "1/0");

  conn().Execute("UPDATE IC_Web2ERPOrders SET FCurrencyID = 0 WHERE FID = 2");
  VectorPtr result = Review("1,2", true);
  ASSERT_EQ(result->Count(), 1);
  VectorPtr finding = result->Item(1).As<Vector>();
  ASSERT_TRUE(finding);
  EXPECT_EQ(Items(finding, "FOrderID"), (std::vector<std::string>{"WD2"}));
}

TEST_F(StockReviewTest, ExVariantChecksQuantityOnlyAndSkipsPriceChangeGoods) {
  SeedItem(conn(), {.item_id = 20, .batch_manager = 1});
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 20, .quantity = 1, .stock_id = 1});
  SeedInventory(conn(), 20, 1, 1);
  Order(2, 3);
  VectorPtr result = SetWebOrderStatusByCheckStockEx(update(), kDsn, "1,2");
  EXPECT_EQ(Items(result, "FOrderID"), (std::vector<std::string>{"WD2"}));
  EXPECT_EQ(State(1), "2/1");  // no batch, but the Ex variant does not ask for one

  conn().Execute("INSERT INTO IC_GoodsToMateriel (FMaterielCode, FIsPriceChange) "
                 "VALUES ('I10', 1)");
  EXPECT_EQ(SetWebOrderStatusByCheckStockEx(update(), kDsn, "2")->Count(), 0);
  EXPECT_EQ(State(2), "2/1");
}

TEST_F(StockReviewTest, FailuresAreAnsweredInTheList) {
  Order(1, 1);
  Order(2, 1);
  SeedInventory(conn(), 10, 1, 5);
  VectorPtr result = Review("2,1,x");
  EXPECT_EQ(Items(result, "Error").size(), 1u);
  EXPECT_FALSE(Items(result, "Error")[0].empty());
  EXPECT_EQ(State(1), "1/0");
  EXPECT_EQ(State(2), "1/0");  // the list is refused before any order is reviewed
  EXPECT_EQ(context().abort_count, 1);
  // A trailing comma is only the client's habit.
  EXPECT_EQ(Review("2,1,")->Count(), 0);
  EXPECT_EQ(State(1), "2/1");
}

TEST_F(StockReviewTest, DatabaseCheckReportsShortLinesAndReviewsTheRest) {
  EXPECT_EQ(SetWebOrderStatusByCheckStockNew(update(), kDsn, "")->Count(), 0);
  EXPECT_EQ(context().begin_call_count, 0);
  SeedInventory(conn(), 10, 1, 5);
  Order(1, 4);
  Order(2, 4);
  VectorPtr result = SetWebOrderStatusByCheckStockNew(update(), kDsn, "1,2");
  EXPECT_EQ(Items(result, "FID"), (std::vector<std::string>{"2"}));
  EXPECT_EQ(Items(result, "FNumber"), (std::vector<std::string>{"I10"}));
  EXPECT_EQ(Items(result, "ErrInfo"), (std::vector<std::string>{"可用库存不足!"}));
  EXPECT_EQ(State(1), "2/1");
  EXPECT_EQ(State(2), "1/0");
}

}  // namespace
}  // namespace ambit::testing
