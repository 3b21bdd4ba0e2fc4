// Fixture of the split tests: a fresh account, orders with money on header and lines, and the
// money and quantity totals of a set of orders, so that every split can be checked to keep
// them.
#ifndef AMBIT_TESTS_SPLIT_SPLIT_FIXTURE_H_
#define AMBIT_TESTS_SPLIT_SPLIT_FIXTURE_H_

#include <initializer_list>
#include <memory>
#include <string>

#include "classes/classes.h"
#include "support/account_fixture.h"

namespace ambit::testing {

struct MoneyLine {
  double quantity = 1;
  double amount = 0;
  double freight = 0;
  double discount = 0;
  double bill_discount = 0;
  std::string status = "";
  int refund_status = 0;
  int item_id = 0;
};

class SplitTest : public AccountTest {
 protected:
  // An order whose header totals are the sums of its lines' money; answers the line keys in
  // order.
  std::vector<int> SeedMoneyOrder(const OrderSeed& order, std::initializer_list<MoneyLine> lines) {
    SeedOrder(conn(), order);
    std::vector<int> keys;
    for (const MoneyLine& l : lines) {
      int entry = SeedLine(conn(), {.fid = order.fid, .item_id = l.item_id,
                                    .quantity = l.quantity, .refund_status = l.refund_status,
                                    .status = l.status});
      conn().Execute("update IC_Web2ERPOrdersEntry set FAmount=" + N(l.amount) +
                     ",FBuyerFreight=" + N(l.freight) + ",FDiscountFee=" + N(l.discount) +
                     ",FEntryBillDiscountFee=" + N(l.bill_discount) +
                     ",FAfterDiscountAmount=" + N(l.amount - l.discount) +
                     " where FEntryID=" + N(entry));
      keys.push_back(entry);
    }
    conn().Execute(
        "update IC_Web2ERPOrders set FAmount=(select sum(FAmount) from IC_Web2ERPOrdersEntry e "
        "where e.FID=IC_Web2ERPOrders.FID),FTotalFreight=(select sum(FBuyerFreight) from "
        "IC_Web2ERPOrdersEntry e where e.FID=IC_Web2ERPOrders.FID),FDiscountFee=(select "
        "sum(FDiscountFee) from IC_Web2ERPOrdersEntry e where e.FID=IC_Web2ERPOrders.FID),"
        "FBillDiscountFee=(select sum(FEntryBillDiscountFee) from IC_Web2ERPOrdersEntry e "
        "where e.FID=IC_Web2ERPOrders.FID) where FID=" + N(order.fid));
    return keys;
  }

  // Header and line totals of the orders matching `where`: what every split must keep.
  std::string Totals(const std::string& where) {
    return Scalar(conn(),
                  "select 'orders ' + convert(varchar(30), sum(FAmount)) + '/' + "
                  "convert(varchar(30), sum(FTotalFreight)) + '/' + convert(varchar(30), "
                  "sum(FDiscountFee)) + '/' + convert(varchar(30), sum(FBillDiscountFee)) "
                  "from IC_Web2ERPOrders where " + where) + " " +
           Scalar(conn(),
                  "select 'lines ' + convert(varchar(30), sum(FQuantity)) + '/' + "
                  "convert(varchar(30), sum(FAmount)) + '/' + convert(varchar(30), "
                  "sum(FBuyerFreight)) + '/' + convert(varchar(30), sum(FDiscountFee)) + '/' + "
                  "convert(varchar(30), sum(FEntryBillDiscountFee)) + '/' + "
                  "convert(varchar(30), sum(FAfterDiscountAmount)) from IC_Web2ERPOrdersEntry "
                  "where FID in (select FID from IC_Web2ERPOrders where " + where + ")");
  }

  // One row per order matching `where`, ordered by number: "number|amount|freight|...".
  std::string Orders(const std::string& columns, const std::string& where) {
    RecordsetPtr rs = conn().Execute("select " + columns + " from IC_Web2ERPOrders where " +
                                     where + " order by FOrderID");
    std::string out;
    for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      for (int i = 0; i < rs->FieldCount(); ++i)
        out += (i ? "|" : "") + (rs->Value(i).IsNull() ? std::string("NULL") : CStr(rs->Value(i)));
      out += "\n";
    }
    return out;
  }

  static VectorPtr Keys(std::initializer_list<Variant> keys) {
    VectorPtr v = NewVector();
    for (const Variant& k : keys) v->Add(k);
    return v;
  }

  // Made on first use: a component needs the fixture's host.
  Component& update() {
    if (!update_) update_ = std::make_unique<AmbitOrderUpdate>();
    return *update_;
  }

 private:
  std::unique_ptr<AmbitOrderUpdate> update_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SPLIT_SPLIT_FIXTURE_H_
