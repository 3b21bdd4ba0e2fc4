#include "split/split_orders.h"

#include "base/conversions.h"
#include "base/text.h"
#include "frame/shared_helpers.h"
#include "schema/names.h"
#include "split/part_send.h"

namespace ambit {
std::string GetFIDListFromVector(const VectorPtr& keys) {
  std::string list;
  for (const std::string& key : PositiveKeys(keys)) list += key + " ,";
  if (!list.empty()) list.pop_back();
  return list;
}

SplitSelection SelectSplitOrders(Connection& conn, const std::string& key_condition,
                                 SplitOrigin origin, bool no_lock) {
  std::string sql = std::string("SELECT FID, FOrderID, FTransactionStatus FROM IC_Web2ERPOrders") +
                    (no_lock ? " with(nolock)" : "") + " WHERE FID " + key_condition;
  if (origin.awaiting_review_only()) sql += " AND FCheckStatus = 0";
  SplitSelection selection;
  for (RecordsetPtr rs = conn.Execute(sql); rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    std::string fid = CStr(rs->Value("FID"));
    if (CLng(rs->Value("FTransactionStatus")) == schema::code::kTradeStatusSellerConsignedPart) {
      selection.part_shipped.push_back(fid);
    } else {
      selection.orders.push_back(
          {fid, std::string(TrimBlanks(TextOrEmpty(rs->Value("FOrderID"))))});
    }
  }
  return selection;
}

std::string GetSplitEntryOrderSQL(const std::string& source_fid, const std::string& entry_id,
                                  const std::string& new_order_id, int64_t amount,
                                  int64_t discount, int64_t freight,
                                  const std::string& site_order_id, int64_t bill_discount) {
  // No money is recomputed: the new order's totals are its one line's own.
  ColumnValues values = {
      {"FID", "@lMaxNUm"},
      {"FSiteOrderID", "'" + SqlQuote(site_order_id) + "'"},
      {"FOrderID", "'" + SqlQuote(new_order_id) + "'"},
      {"FUniqueCode", "0"},
      {"FAmount", MoneyText(amount)},
      {"FTotalFreight", MoneyText(freight)},
      {"FDiscountFee", MoneyText(discount)},
      {"FPreChkMan", "ISNULL(FPreChkMan,0)"},
      {"FBillDiscountFee", MoneyText(bill_discount)},
  };
  return OrderHeaderCopySql(source_fid, values) +
         "Update IC_Web2ERPOrdersEntry Set FID = @lMaxNUm Where FID = " + source_fid +
         " And FEntryID =" + entry_id + "\r\n" + CompanionRowSql(source_fid) +
         StockBillFollowSql("=" + entry_id);
}

std::string SplitOrdersByEntry(Connection& conn, const std::vector<SplitSelection::Order>& orders,
                               SplitOrigin origin, SplitPlan& plan) {
  SplitFinisher finisher(conn, plan, origin, WaybillRule::kWithPartnerNumbers);
  std::vector<std::string> new_ids;
  for (const SplitSelection::Order& order : orders) {
    RecordsetPtr rs = conn.Execute(
        "SELECT FID, FEntryID, FAmount, FDiscountFee, FBuyerFreight,FSiteOrderID,FChildOrderID,"
        "FBuyerFreight,FEntryBillDiscountFee  FROM IC_Web2ERPOrdersEntry WHERE FID =" +
        order.fid);
    if (!rs->IsOpen() || rs->RecordCount() <= 1) continue;
    int block = origin.gives_codes() ? plan.ReserveCodes(static_cast<int>(rs->RecordCount())) : 0;
    new_ids.clear();
    for (int j = 1; !rs->Eof(); rs->MoveNext(), ++j) {
      std::string new_id = order.order_id + "_" + std::to_string(j);
      new_ids.push_back(new_id);
      std::string site_order_id = TextOrEmpty(rs->Value("FSiteOrderID"));
      plan.Add(GetSplitEntryOrderSQL(
          order.fid, CStr(rs->Value("FEntryID")), new_id, Cents(rs->Value("FAmount")),
          Cents(rs->Value("FDiscountFee")), Cents(rs->Value("FBuyerFreight")), site_order_id,
          Cents(rs->Value("FEntryBillDiscountFee"))));
      finisher.RefreshTrade(site_order_id, TextOrEmpty(rs->Value("FChildOrderID")));
      finisher.Finish(new_id, j == 1, block, j - 1);
    }
    // The lines now belong to the new orders; the source's companion row stays.
    plan.Add("DELETE FROM IC_Web2ERPOrders WHERE FID=" + order.fid);
  }
  return JoinTwoBlanks(new_ids);
}

std::string SplitOrders(Component& self, const std::string& sDsn, const VectorPtr& vctOrderInfo,
                        DictionaryPtr dctPara) {
  if (vctOrderInfo && vctOrderInfo->Count() > kMaxSplitOrders) return "";
  std::string list = GetFIDListFromVector(vctOrderInfo);
  return RunSplit(self, "SplitOrders", sDsn, dctPara,
                  [&](Connection& conn, SplitOrigin origin, SplitPlan& plan) -> std::string {
                    if (list.empty()) return "";
                    SplitSelection selection =
                        SelectSplitOrders(conn, "in (" + list + " )", origin);
                    std::string result;
                    if (!selection.orders.empty())
                      result = SplitOrdersByEntry(conn, selection.orders, origin, plan);
                    if (!selection.part_shipped.empty())
                      result = PlanPartSendSplit(conn, selection.part_shipped, plan);
                    return result;
                  });
}

}  // namespace ambit
