// The checks on a selection of orders before locking, shipping or booking out, end to end on a
// fresh account. The account's connection is wrapped so that tests see each batch sent.
#include "query/state_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/conversions.h"
#include "classes/classes.h"
#include "frame/local_host.h"
#include "support/account_fixture.h"
#include "support/recording_connection.h"

namespace ambit {
namespace {

using testing::kDsn;
using testing::LineSeed;
using testing::RecordingConnection;
using testing::SeedLine;
using testing::SeedOrder;
using testing::SeedStock;

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

class StateChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    account_ = testing::FreshAccount();
    recorder_ = std::make_shared<RecordingConnection>(account_);
    host_ = std::make_unique<LocalHost>([this](const std::string&) { return recorder_; });
    info_ = std::make_unique<AmbitOrderInfo>();
  }
  void TearDown() override {
    info_.reset();
    host_.reset();
  }

  Connection& conn() { return *account_; }
  AmbitOrderInfo& info() { return *info_; }

  // (FID, FOrderID or FMsg) pairs of a check's rows, in order.
  static std::vector<std::pair<std::string, std::string>> Rows(const VectorPtr& v,
                                                               const char* second) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Variant& row : v->items()) {
      auto d = row.As<Dictionary>();
      out.emplace_back(CStr(d->Value("FID")), CStr(d->Value(second)));
    }
    return out;
  }
  static std::vector<std::string> Fids(const VectorPtr& v) {
    std::vector<std::string> out;
    for (const auto& [fid, other] : Rows(v, "FID")) out.push_back(fid);
    std::sort(out.begin(), out.end());
    return out;
  }

  // The logistics partner's warehouse group "CAINIAO" (item 500) with warehouse 501 in it;
  // 502 is an ordinary warehouse.
  void SeedWarehouses() {
    conn().Execute("INSERT INTO t_Item (FItemID, FItemClassID, FNumber, FName) VALUES "
                   "(500, 5, 'CAINIAO', N'Partner')");
    SeedStock(conn(), 501, "Partner east");
    SeedStock(conn(), 502, "Own");
    conn().Execute("UPDATE t_Item SET FParentID = 500 WHERE FItemID = 501\r\n"
                   "UPDATE t_Stock SET FParentID = 500 WHERE FItemID = 501");
  }
  void Line(int fid, int stock, int partner, int gift = 0) {
    int entry = SeedLine(conn(), {.fid = fid, .item_id = 10, .stock_id = stock, .is_free = gift});
    conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FIsShShip = " + std::to_string(partner) +
                   " WHERE FEntryID = " + std::to_string(entry));
  }

  ConnectionPtr account_;
  std::shared_ptr<RecordingConnection> recorder_;
  std::unique_ptr<LocalHost> host_;
  std::unique_ptr<AmbitOrderInfo> info_;
};

TEST_F(StateChecksTest, LockedOrdersOnlyThoseWithALockedRow) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3"});
  conn().Execute("INSERT INTO IC_Web2ERPOrdersEx (FID, FIsLock) VALUES (1, 1), (2, 0)");
  VectorPtr locked = CheckWebOrderIsLock(info(), kDsn, "1,2,3");
  using Row = std::pair<std::string, std::string>;
  EXPECT_EQ(Rows(locked, "FOrderID"), (std::vector<Row>{{"1", "A1"}}));
  // No companion row at all: an empty answer, not nothing.
  VectorPtr none = CheckWebOrderIsLock(info(), kDsn, "3");
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->Count(), 0);
  // An empty selection still finds its (empty) key table.
  EXPECT_EQ(CheckWebOrderIsLock(info(), kDsn, "")->Count(), 0);
  EXPECT_EQ(CheckWebOrderIsLock(info(), "", "1"), nullptr);
}

TEST_F(StateChecksTest, KeysGoInBatchesOfTwoHundredInserts) {
  std::string keys;
  for (int i = 1; i <= 450; ++i) keys += std::to_string(i) + ",";
  SeedOrder(conn(), {.fid = 449, .order_id = "L449"});
  conn().Execute("INSERT INTO IC_Web2ERPOrdersEx (FID, FIsLock) VALUES (449, 1)");
  recorder_->batches.clear();
  VectorPtr locked = CheckWebOrderIsLock(info(), kDsn, keys);
  ASSERT_EQ(locked->Count(), 1);

  std::vector<int> inserts;
  for (const std::string& batch : recorder_->batches) {
    int n = Occurrences(batch, "Insert INTO #TempLockID");
    if (n > 0) inserts.push_back(n);
  }
  EXPECT_EQ(inserts, (std::vector<int>{200, 200, 50}));
}

TEST_F(StateChecksTest, BadKeysFailUnderTheRunnersName) {
  recorder_->batches.clear();
  try {
    GetStockOutResult(info(), kDsn, "1,2) drop table IC_Web2ERPOrders --");
    FAIL() << "accepted a key that is no integer";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kInvalidArgument);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.CheckWebOrderSqlDefined");
  }
  EXPECT_TRUE(recorder_->batches.empty());
  EXPECT_EQ(host_->context()->abort_count, 0);
}

TEST_F(StateChecksTest, PartnerShippingChecksPickTheirOrders) {
  SeedWarehouses();
  for (int fid = 1; fid <= 6; ++fid) {
    int trade = fid == 1 ? 38192 : (fid == 5 ? 38193 : 38194);
    SeedOrder(conn(), {.fid = fid, .order_id = "A" + std::to_string(fid), .trade_status = trade});
  }
  Line(1, 501, 1);
  Line(1, 501, 1);
  Line(2, 502, 1);
  Line(2, 502, 1);
  Line(3, 502, 0);
  Line(4, 501, 1);
  Line(4, 501, 0);     // a sold line the partner does not ship
  Line(5, 501, 1);
  Line(5, 502, 0, 1);  // a gift shipped otherwise is allowed
  Line(6, 501, 1);
  Line(6, 502, 1);
  const std::string all = "1,2,3,4,5,6";
  using V = std::vector<std::string>;
  EXPECT_EQ(Fids(CheckWebOrderEntryAllIsShShip(info(), kDsn, all)), V{"4"});
  EXPECT_EQ(Fids(ConfirmWebIsShipOrderMultipleStock(info(), kDsn, all)), (V{"5", "6"}));
  EXPECT_EQ(Fids(CheckWebIsShShipOrderIsDelivered(info(), kDsn, all)), V{"1"});
  EXPECT_EQ(Fids(CheckWebHaveIsShShipFlag(info(), kDsn, all)), (V{"1", "2", "4", "5", "6"}));
  // Order 5 is shipped but not confirmed (38193): finished for the partner check.
  EXPECT_EQ(Fids(CheckWebIsShShipOrderIsDelivered(info(), kDsn, "5")), V{});
}

TEST_F(StateChecksTest, DeliveryCheckGivesOneRowPerProblem) {
  SeedWarehouses();
  SeedOrder(conn(), {.fid = 1, .order_id = "A1", .trade_status = 38192});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2", .trade_status = 38194});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3", .trade_status = 38194});
  SeedOrder(conn(), {.fid = 4, .order_id = "A4", .trade_status = 38194});
  Line(1, 501, 1);
  Line(2, 502, 1);
  Line(2, 502, 1);
  Line(3, 502, 0);
  Line(4, 501, 1);
  Line(4, 501, 0);
  VectorPtr problems = CheckDelieveryShShip(info(), kDsn, "1,2,3,4");
  std::map<std::pair<std::string, std::string>, int> count;
  for (const auto& row : Rows(problems, "FMsg")) ++count[row];
  const std::string not_partner = "订单包含非菜鸟自动流转订单！";
  const std::string not_shipped = "订单还未发货，请等待菜鸟发货后再操作！";
  const std::string wrong_stock = "订单仓库不是菜鸟自动流转仓！";
  const std::string mixed = "订单存在非菜鸟流转的非赠品商品，请拆分后再操作！";
  std::map<std::pair<std::string, std::string>, int> expected = {
      {{"3", not_partner}, 1}, {{"1", not_shipped}, 1}, {{"2", wrong_stock}, 2}, {{"4", mixed}, 1}};
  EXPECT_EQ(count, expected);
  // Every row carries the order number.
  for (const Variant& row : problems->items())
    EXPECT_EQ(CStr(row.As<Dictionary>()->Value("FOrderID")),
              "A" + CStr(row.As<Dictionary>()->Value("FID")));
}

TEST_F(StateChecksTest, StockOutResultsWorstStateFirst) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3"});
  conn().Execute("INSERT INTO IC_StockBillOrdersStatus (FID, FStockBillStatus, FStockBillResult) "
                 "VALUES (1, 1, N'done'), (2, 3, N'no stock'), (3, 2, N'queued')");
  VectorPtr rows = GetStockOutResult(info(), kDsn, "1,2");
  using Row = std::pair<std::string, std::string>;
  EXPECT_EQ(Rows(rows, "FStockBillResult"), (std::vector<Row>{{"2", "no stock"}, {"1", "done"}}));
  EXPECT_EQ(CStr(rows->Item(1).As<Dictionary>()->Value("FOrderID")), "A2");
  // Run twice on the same connection: the leftover key table does not get in the way.
  EXPECT_EQ(GetStockOutResult(info(), kDsn, "3")->Count(), 1);
}

}  // namespace
}  // namespace ambit
