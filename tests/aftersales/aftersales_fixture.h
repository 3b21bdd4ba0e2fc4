// The order-list fixture with what after-sales tests seed and read: cases on order lines with
// their mirror, history rows, and the update class beside the query class.
#ifndef AMBIT_TESTS_AFTERSALES_AFTERSALES_FIXTURE_H_
#define AMBIT_TESTS_AFTERSALES_AFTERSALES_FIXTURE_H_

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "query/order_lists_fixture.h"

namespace ambit::testing {

namespace code = schema::code;

struct CaseSeed {
  int status = code::kServiceStatusWaitReviewReturn;
  int type = code::kServiceTypeRefundReturn;
  int source = code::kServiceSourceOffline;
  double num = 1;
  double amount = 10;
  double received = 0;
  double returned = 0;
  int is_return = 1;
  int category = 38440;
  int voucher = 0;
  bool mirror = true;  // make it the line's current case
};

class AfterSalesTest : public ListAccountTest {
 protected:
  void SetUp() override {
    ListAccountTest::SetUp();
    update_ = std::make_unique<AmbitOrderUpdate>();
  }
  void TearDown() override {
    update_.reset();
    ListAccountTest::TearDown();
  }
  AmbitOrderUpdate& update() { return *update_; }

  // A case on `entry_id`; answers its key.
  int SeedCase(int entry_id, const CaseSeed& c) {
    conn().Execute(
        "INSERT INTO IC_RefundInfo (FEntryID, FItemID, FServiceStatus, FServiceType, "
        "FServiceSource, FNum, FRefundAmount, FReceiveQty, FReturnQty, FIsRetrunGoods, "
        "FServiceCategory, FVoucherID, FOrderID, FSiteOrderID) SELECT FEntryID, FItemID, " + N(c.status) + "," +
        N(c.type) + "," + N(c.source) + "," + N(c.num) + "," + N(c.amount) + "," +
        N(c.received) + "," + N(c.returned) + "," + N(c.is_return) + "," + N(c.category) + "," +
        N(c.voucher) + ", FOrderID, FSiteOrderID FROM IC_Web2ERPOrdersEntry WHERE FEntryID = " +
        N(entry_id));
    int key = ScalarInt(conn(), "SELECT MAX(FID) FROM IC_RefundInfo");
    if (c.mirror) {
      conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FRefundFID = " + N(key) +
                     ", FServiceStatus = " + N(c.status) + ", FServiceType = " + N(c.type) +
                     ", FServiceSource = " + N(c.source) + ", FRefundStatus = " +
                     N(c.status == code::kServiceStatusRefused ? 0 : 1) +
                     " WHERE FEntryID = " + N(entry_id));
    }
    return key;
  }

  // One order with one line of `quantity`; answers the line's key.
  int SeedOrderLine(int fid, double quantity = 5, int item_id = 10) {
    SeedOrder(conn(), {.fid = fid});
    return SeedLine(conn(), {.fid = fid, .item_id = item_id, .quantity = quantity, .price = 2});
  }

  // Every row of `sql`, one Row() per line.
  std::string Rows(const std::string& sql) {
    RecordsetPtr rs = conn().Execute(sql);
    std::string out;
    for (; rs && rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      for (int i = 0; i < rs->FieldCount(); ++i) {
        const Variant& v = rs->Value(i);
        out += (i ? "|" : "") + (v.IsNull() ? std::string("<null>") : CStr(v));
      }
      out += "\n";
    }
    return out;
  }

  // The first row of `sql` as "a|b|c" ("" without a row; NULL as "<null>").
  std::string Row(const std::string& sql) {
    std::string all = Rows(sql);
    return all.substr(0, all.find('\n'));
  }
  // State, type, source, current case and refund flag of a line.
  std::string LineMirror(int entry_id) {
    return Row("SELECT FServiceStatus, FServiceType, FServiceSource, FRefundFID, FRefundStatus "
               "FROM IC_Web2ERPOrdersEntry WHERE FEntryID = " + N(entry_id));
  }
  // Handling type, quantity and remark of each history row of a line, oldest first.
  std::string History(int entry_id) {
    return Rows("SELECT FManageType, FQty, FRemark FROM IC_RefundRecord WHERE FEntryID = " +
                N(entry_id) + " ORDER BY FID");
  }
  int Count(const std::string& table) {
    return ScalarInt(conn(), "SELECT COUNT(*) FROM " + table);
  }

  static VectorPtr Items(std::initializer_list<DictionaryPtr> items) {
    VectorPtr v = NewVector();
    for (const DictionaryPtr& d : items) v->Add(Variant(d));
    return v;
  }

 private:
  std::unique_ptr<AmbitOrderUpdate> update_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_AFTERSALES_AFTERSALES_FIXTURE_H_
