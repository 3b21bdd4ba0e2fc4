// The fixture the stock tests share: a fresh account with both order classes on its host, and
// seeds for what only stock needs (batches with expiry, stock bills, locks).
#ifndef AMBIT_TESTS_STOCK_STOCK_FIXTURE_H_
#define AMBIT_TESTS_STOCK_STOCK_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classes/classes.h"
#include "support/account_fixture.h"

namespace ambit::testing {

class StockTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    info_ = std::make_unique<AmbitOrderInfo>();  // both need the fixture's host
    update_ = std::make_unique<AmbitOrderUpdate>();
  }
  void TearDown() override {
    info_.reset();
    update_.reset();
    AccountTest::TearDown();
  }
  AmbitOrderInfo& info() { return *info_; }
  AmbitOrderUpdate& update() { return *update_; }

  // A batch in stock: `expiry_days` after 2026-01-01 (shelf life added by the statement).
  void SeedBatch(int item_id, int stock_id, const std::string& batch_no, double qty,
                 int expiry_days = 0, int sp_id = 0) {
    conn().Execute("INSERT INTO ICInventory (FItemID, FStockID, FStockPlaceID, FBatchNo, "
                   "FKFDate, FKFPeriod, FQty) VALUES (" + N(item_id) + "," + N(stock_id) + "," +
                   N(sp_id) + "," + Q(batch_no) + ",'2026-01-01'," + N(expiry_days) + "," +
                   N(qty) + ")");
  }
  // A stock bill taking line `entry_id` out; `posted` is FUpStockWhenSave, `audited` FStatus.
  void SeedStockBill(int inter_id, int entry_id, int posted, int audited) {
    conn().Execute("INSERT INTO ICStockBill (FInterID, FUpStockWhenSave, FStatus) VALUES (" +
                   N(inter_id) + "," + N(posted) + "," + N(audited) + ")\r\n"
                   "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FSourceTranType, "
                   "FSourceEntryID) VALUES (" + N(inter_id) + ",1,1014301," + N(entry_id) + ")");
  }
  void Lock(int fid) {
    conn().Execute("INSERT INTO IC_Web2ERPOrdersEx (FID, FOrderID, FIsLock) VALUES (" + N(fid) +
                   ",'L" + N(fid) + "',1)");
  }

  // "FOrderStatus/FCheckStatus" of an order.
  std::string State(int fid) {
    return Scalar(conn(), "SELECT CAST(FOrderStatus AS varchar(5)) + '/' + CAST(FCheckStatus AS "
                          "varchar(5)) FROM IC_Web2ERPOrders WHERE FID = " + N(fid));
  }

 private:
  std::unique_ptr<AmbitOrderInfo> info_;
  std::unique_ptr<AmbitOrderUpdate> update_;
};

// "key=value" of the Dictionary items of a result Vector, one text per item.
inline std::vector<std::string> Items(const VectorPtr& v, const char* key) {
  std::vector<std::string> out;
  if (!v) return out;
  for (const Variant& item : v->items()) {
    auto d = item.As<Dictionary>();
    out.push_back(d ? CStr(d->Value(key)) : std::string("<not a Dictionary>"));
  }
  return out;
}

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_STOCK_STOCK_FIXTURE_H_
