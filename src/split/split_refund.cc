// Split by refund state: the lines that leave an order under refund (refunded or closed by the
// shop) move to an order of their own.
#include "base/conversions.h"
#include "base/text.h"
#include "frame/shared_helpers.h"
#include "split/split_variants.h"

namespace ambit {
std::string GetSplitRefundOrderSQL(const std::string& source_fid, const std::string& entry_ids,
                                   const std::string& new_order_id, const LineMoney& moved) {
  ColumnValues header = {
      {"FID", "@lMaxNUm"},
      {"FOrderID", "'" + SqlQuote(new_order_id) + "'"},
      {"FUniqueCode", "0"},
      {"FAmount", MoneyText(moved.amount)},
      {"FTotalFreight", MoneyText(moved.freight)},
      {"FDiscountFee", MoneyText(moved.discount)},
      {"FPreChkMan", "ISNULL(FPreChkMan,0)"},
      {"FBillDiscountFee", MoneyText(moved.bill_discount)},
  };
  return OrderHeaderCopySql(source_fid, header) +
         "Update IC_Web2ERPOrdersEntry Set FID = @lMaxNUm Where FID = " + source_fid +
         " And FEntryID in (" + entry_ids + ")\r\n" + CompanionRowSql(source_fid) +
         StockBillFollowSql(" in (" + entry_ids + ")");
}

std::vector<std::string> SplitRefundedEntries(Connection& conn, const std::string& key_list,
                                              SplitOrigin origin, SplitPlan& plan) {
  std::string sql =
      "select t1.FID,t1.FOrderID,t1.FAmount ,t1.FTotalFreight,t1.FDiscountFee,"
      "t1.FBillDiscountFee,t1.FSiteOrderID from IC_Web2ERPOrders t1 "
      " LEFT JOIN vw_Web2ERPOrdersRefund t26 ON t1.FID=t26.FID "
      " where t1.FID in (" + key_list + ") "
      " AND ISNULL(t26.FRefundStatus,0)=1 AND (t26.FIsShowWaitVerifyTemp IS NULL  OR "
      "t26.FIsShowWaitVerifyTemp>0)";
  if (origin.awaiting_review_only()) sql += " AND t1.FCheckStatus = 0";
  SplitFinisher finisher(conn, plan, origin, WaybillRule::kElectronicOnly);
  std::vector<std::string> new_ids;
  for (RecordsetPtr orders = conn.Execute(sql); orders->IsOpen() && !orders->Eof();
       orders->MoveNext()) {
    std::string key = CStr(orders->Value("FID"));
    std::string stem(TrimBlanks(TextOrEmpty(orders->Value("FOrderID"))));
    // Lines that leave: refunded or closed, except goods the shop uses only to change a price.
    RecordsetPtr lines = conn.Execute(
        "select t3.FEntryID,t3.FAmount,t3.FDiscountFee,t3.FAfterDiscountAmount,"
        "t3.FBuyerFreight,t3.FEntryBillDiscountFee,t3.FSiteOrderID,t3.FChildOrderID "
        "from IC_Web2ERPOrdersEntry t3 inner join IC_Web2ERPOrders t4 on t3.FID=t4.FID "
        "where t3.FID=" + key +
        " AND (t3.FRefundStatus=1 OR t3.FStatus IN ('TRADE_CLOSED','TRADE_AUTOMATIC_CLOSED',"
        "'TRADE_MANUAL_CLOSED'))"
        " AND ( t3.FItemID NOT IN ( SELECT t2.FItemID FROM ic_goodstomateriel t1 , t_ICItem t2"
        " Where t1.FMaterielCode = t2.FNumber AND t1.FIsPriceChange = 1 AND t1.FWebshopID = "
        "t4.FWebshopID )) ORDER BY t3.FIndex, t3.FEntryID");
    if (!lines->IsOpen() || lines->Eof()) continue;
    // An order all of whose lines leave has nothing to keep: splitting would leave an empty
    // order behind.
    RecordsetPtr count = conn.Execute("SELECT COUNT(*) FROM IC_Web2ERPOrdersEntry WHERE FID=" +
                                      key);
    if (lines->RecordCount() >= CLng(count->Value(0))) continue;
    LineMoney moved;
    std::string entry_ids;
    std::string site_order_id = TextOrEmpty(lines->Value("FSiteOrderID"));
    std::string child_order_id = TextOrEmpty(lines->Value("FChildOrderID"));
    for (; !lines->Eof(); lines->MoveNext()) {
      moved += LineMoney::FromRow(*lines);
      entry_ids += (entry_ids.empty() ? "" : ",") + CStr(lines->Value("FEntryID"));
    }
    LineMoney kept = LineMoney::FromHeader(*orders);
    kept -= moved;
    std::string refund_id = stem + "_1";
    std::string kept_id = stem + "_2";
    int block = origin.gives_codes() ? plan.ReserveCodes(1) : 0;
    plan.Add(GetSplitRefundOrderSQL(key, entry_ids, refund_id, moved));
    plan.Add("update IC_Web2ERPOrders set FAmount ='" + MoneyText(kept.amount) +
             "' ,FOrderID='" + SqlQuote(kept_id) + "' ,FTotalFreight ='" +
             MoneyText(kept.freight) + "',FDiscountFee='" + MoneyText(kept.discount) +
             "' ,FBillDiscountFee = " + MoneyText(kept.bill_discount) + " where FID=" + key);
    // The refresh reaches every order of the trade, the renumbered source included.
    finisher.RefreshTrade(site_order_id, child_order_id);
    finisher.Finish(refund_id, true, block, 0);
    new_ids.push_back(refund_id);
    new_ids.push_back(kept_id);
  }
  return new_ids;
}

std::string SplitOrdersByRefund(Component& self, const std::string& sDsn,
                                const VectorPtr& vctOrderInfo, DictionaryPtr dctPara) {
  if (!vctOrderInfo) return "";
  std::string list = GetFIDListFromVector(vctOrderInfo);
  return RunSplit(self, "SplitOrdersByRefund", sDsn, dctPara,
                  [&](Connection& conn, SplitOrigin origin, SplitPlan& plan) -> std::string {
                    if (list.empty()) return "";
                    return JoinTwoBlanks(SplitRefundedEntries(conn, list, origin, plan));
                  });
}

}  // namespace ambit
