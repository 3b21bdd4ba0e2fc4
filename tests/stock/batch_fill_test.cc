// Automatic batch assignment: the four rules, cutting lines with their money shares, and the
// lines that must be left alone.
#include <gtest/gtest.h>

#include "frame/host_services.h"
#include "support/service_doubles.h"
#include "stock/batch_fill.h"
#include "stock_fixture.h"

namespace ambit::testing {
namespace {

class BatchFillTest : public StockTest {
 protected:
  void SetUp() override {
    StockTest::SetUp();
    SeedItem(conn(), {.item_id = 10, .unit_id = 1, .batch_manager = 1});
    SeedStock(conn(), 1, "Main");
    RegisterHostObject(kMessageLoggerProgId, [l = logger_] { return l; });
  }
  void TearDown() override {
    UnregisterHostObject(kMessageLoggerProgId);
    StockTest::TearDown();
  }
  std::string Fill(std::vector<int> fids) {
    VectorPtr keys = NewVector();
    for (int fid : fids) keys->Add(Variant(fid));
    return FillBatchNo(update(), update().AutoBatchNo(), kDsn, keys, nullptr);
  }
  // One line of item 10 in warehouse 1 at price 3, freight 5.00, discount 1.00, after
  // discount 29.00 for 10 units.
  int PricedLine(int fid, double quantity, int item_id = 10) {
    SeedOrder(conn(), {.fid = fid});
    int entry = SeedLine(conn(), {.fid = fid, .item_id = item_id, .quantity = quantity,
                                  .price = 3, .stock_id = 1, .unit_id = 1});
    conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FBuyerFreight = 5, FDiscountFee = 1, "
                   "FAfterDiscountAmount = 29 WHERE FEntryID = " + N(entry));
    return entry;
  }
  // Lines of an order as "batch:quantity:freight:discount:after:amount:index".
  std::vector<std::string> Lines(int fid) {
    RecordsetPtr rs = conn().Execute(
        "SELECT FBatchNo, FQuantity, FBuyerFreight, FDiscountFee, FAfterDiscountAmount, "
        "FAmount, FIndex FROM IC_Web2ERPOrdersEntry WHERE FID = " + N(fid) + " ORDER BY FEntryID");
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext()) {
      std::string row;
      for (int i = 0; i < rs->FieldCount(); ++i) row += (i ? ":" : "") + CStr(rs->Value(i));
      out.push_back(row);
    }
    return out;
  }
  std::shared_ptr<RecordingLogger> logger_ = std::make_shared<RecordingLogger>();
};

TEST_F(BatchFillTest, RuleZeroOrNoSettingLeavesEverythingAlone) {
  SeedBatch(10, 1, "B1", 20);
  PricedLine(1, 10);
  EXPECT_EQ(Fill({1}), "disabled");
  EXPECT_EQ(Lines(1), (std::vector<std::string>{":10:5:1:29:30:1"}));
  // A rule read once stays with the object when the account later has no setting.
  SetProfile(conn(), "AutoBatchNo", "3");
  Fill({});
  conn().Execute("DELETE FROM t_SystemProfile WHERE FKey = 'AutoBatchNo'");
  EXPECT_EQ(Fill({1}), "");
  EXPECT_EQ(Lines(1), (std::vector<std::string>{"B1:10:5:1:29:30:1"}));
}

TEST_F(BatchFillTest, ByExpiryCutsALineAcrossBatchesWithExactMoneyShares) {
  SetProfile(conn(), "AutoBatchNo", "1");
  SeedBatch(10, 1, "LATE", 8, 90);
  SeedBatch(10, 1, "EARLY", 4, 30);
  PricedLine(1, 10);
  PricedLine(2, 3);
  EXPECT_EQ(Fill({1, 2}), "WD1 ,WD2 ");
  // The row keeps the earliest batch with its share, a new row takes the rest.
  EXPECT_EQ(Lines(1), (std::vector<std::string>{"EARLY:4:2:0.4:11.6:12:1",
                                                "LATE:6:3:0.6:17.4:18:1"}));
  // The second batch has 2 left: the next order's 3 take those and keep 1 without a batch.
  EXPECT_EQ(Lines(2), (std::vector<std::string>{"LATE:2:3.33:0.67:19.33:6:1",
                                                ":1:1.67:0.33:9.67:3:1"}));
}

TEST_F(BatchFillTest, ByBatchNumberCountsWhatOtherOrdersHoldOfABatch) {
  SetProfile(conn(), "AutoBatchNo", "2");
  SetProfile(conn(), "PreCheckOnStock", "0");
  SeedBatch(10, 1, "A-1", 5, 90);
  SeedBatch(10, 1, "A-2", 10, 30);
  SeedOrder(conn(), {.fid = 9});
  SeedLine(conn(), {.fid = 9, .item_id = 10, .quantity = 4, .stock_id = 1, .batch_no = "A-1"});
  PricedLine(1, 3);
  EXPECT_EQ(Fill({1}), "WD1 ");
  EXPECT_EQ(Lines(1), (std::vector<std::string>{"A-1:1:1.67:0.33:9.67:3:1",
                                                "A-2:2:3.33:0.67:19.33:6:1"}));
}

TEST_F(BatchFillTest, SmallestFittingBatchTakesTheWholeLine) {
  SetProfile(conn(), "AutoBatchNo", "3");
  SeedBatch(10, 1, "SMALL", 4, 30);
  SeedBatch(10, 1, "BIG", 8, 90);
  PricedLine(1, 10);
  PricedLine(2, 6);
  EXPECT_EQ(Fill({1, 2}), "");
  EXPECT_EQ(Lines(1), (std::vector<std::string>{":10:5:1:29:30:1"}));  // nothing holds 10
  EXPECT_EQ(Lines(2), (std::vector<std::string>{"BIG:6:5:1:29:18:1"}));
}

TEST_F(BatchFillTest, OneBatchPerItemHoldsTheOrdersWholeQuantity) {
  SetProfile(conn(), "AutoBatchNo", "4");
  SeedBatch(10, 1, "B'6", 6, 30);
  SeedBatch(10, 1, "B'9", 9, 90);
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3, .stock_id = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 5, .stock_id = 1});
  EXPECT_EQ(Fill({1}), "");
  // Quotes are dropped from the batch numbers written.
  EXPECT_EQ(Scalar(conn(), "SELECT COUNT(*) FROM IC_Web2ERPOrdersEntry WHERE FBatchNo = 'B9'"),
            "2");
  ASSERT_EQ(logger_->messages.size(), 1u);
  EXPECT_NE(logger_->messages[0].find("B'9"), std::string::npos);
}

TEST_F(BatchFillTest, ItemsWithoutBatchesAndOrdersInRefundAreLeftAlone) {
  SetProfile(conn(), "AutoBatchNo", "1");
  SeedItem(conn(), {.item_id = 11, .unit_id = 1});
  SeedInventory(conn(), 11, 1, 50);
  SeedBatch(10, 1, "B1", 50);
  PricedLine(1, 2, 11);
  PricedLine(2, 2);
  SeedLine(conn(), {.fid = 2, .item_id = 11, .quantity = 1, .stock_id = 1, .refund_status = 1});
  EXPECT_EQ(Fill({1, 2}), "");
  EXPECT_EQ(Lines(1), (std::vector<std::string>{":2:5:1:29:6:1"}));
  EXPECT_EQ(Lines(2), (std::vector<std::string>{":2:5:1:29:6:1", ":1:0:0:0:0:2"}));
  // Once the refund is refused the order takes its batch.
  conn().Execute("INSERT INTO IC_RefundInfo (FIsRefuse) VALUES (1)");
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FRefundFID = (SELECT MAX(FID) FROM "
                 "IC_RefundInfo) WHERE FRefundStatus = 1");
  EXPECT_EQ(Fill({2}), "");
  EXPECT_EQ(Lines(2)[0], "B1:2:5:1:29:6:1");
}

}  // namespace
}  // namespace ambit::testing
