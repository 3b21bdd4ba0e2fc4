#include "split/part_send.h"

#include <string_view>
#include <utility>

#include "base/conversions.h"
#include "base/text.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "schema/names.h"

namespace ambit {
namespace {

struct StatusCode {
  std::string_view text;
  int code;
};

// Shop status texts and the trade status codes they are stored as; first match wins.
constexpr StatusCode kTradeStatusCodes[] = {
    {"TRADE_WAIT_BUYER_PAY", schema::code::kTradeStatusWaitBuyerPay},
    {"TRADE_NO_CREATE_PAY", schema::code::kTradeStatusWaitBuyerPay},
    {"TRADE_SELLER_SEND_GOODS", schema::code::kTradeStatusWaitSellerSend},
    {"TRADE_WAIT_SELLER_SEND_GOODS", schema::code::kTradeStatusWaitSellerSend},
    {"WAIT_SELLER_SEND_GOODS", schema::code::kTradeStatusWaitSellerSend},
    {"TRADE_WAIT_BUYER_CONFIRM_GOODS", schema::code::kTradeStatusWaitBuyerConfirm},
    {"WAIT_BUYER_CONFIRM_GOODS", schema::code::kTradeStatusWaitBuyerConfirm},
    {"TRADE_AUTOMATIC_CLOSED", schema::code::kTradeStatusClosed},
    {"TRADE_MANUAL_CLOSED", schema::code::kTradeStatusClosed},
    {"TRADE_FINISHED", schema::code::kTradeStatusFinished},
    {"TRADE_BUYER_SIGNED", schema::code::kTradeStatusBuyerSigned},
    {"TRADE_SELLER_CONSIGNED_PART", schema::code::kTradeStatusSellerConsignedPart},
};

// The trade status of an order made from one line group. Only the three states a part-shipped
// trade's lines can be in have a code; any other line status leaves 0 (no code).
int GroupTradeStatus(const std::string& line_status) {
  if (line_status == "TRADE_WAIT_BUYER_CONFIRM_GOODS")
    return schema::code::kTradeStatusWaitBuyerConfirm;
  if (line_status == "TRADE_WAIT_SELLER_SEND_GOODS")
    return schema::code::kTradeStatusWaitSellerSend;
  if (line_status == "TRADE_CLOSED") return schema::code::kTradeStatusClosed;
  return 0;
}

std::string Quoted(const std::string& text) { return "'" + SqlQuote(text) + "'"; }

// The date column set to `date`, or left as it is when the trade has no such date.
std::string DateValue(std::string_view column, const Variant& date) {
  if (date.IsNull() || date.IsEmpty()) return std::string(column);
  return "'" + FormatDate(CDate(date)) + "'";
}


}  // namespace

std::string GetTranscationStatusByStatus(std::string& sFStatus) {
  std::string upper = ToUpperAscii(sFStatus);
  for (const StatusCode& entry : kTradeStatusCodes)
    if (upper == entry.text) return std::to_string(entry.code);
  return std::to_string(schema::code::kTradeStatusOther);
}

std::string UpdateWeb2ERPOrdersSplitOneEntrySQL(const std::string& sFSiteOrderID,
                                                const std::string& sFWebShopID,
                                                int32_t lFWebShopFID, const Variant& dFpayTime,
                                                const Variant& dModifiedTime,
                                                const Variant& dFOrderDate,
                                                std::string& sFStatus) {
  std::string head = " Update  IC_Web2ERPOrders set FWebShopFID=" + std::to_string(lFWebShopFID) +
                     ",FWebShopID='" + SqlQuote(sFWebShopID) + "',";
  bool has_pay_date = !dFpayTime.IsNull() && !dFpayTime.IsEmpty() &&
                      SplitDate(CDate(dFpayTime)).year > 1950;
  if (has_pay_date) head += "FSitePayDate=" + DateValue("FSitePayDate", dFpayTime) + ",";
  return head + "\r\n" + "FModifydate =" + DateValue("FModifydate", dModifiedTime) +
         ",FOrderDate=" + DateValue("FOrderDate", dFOrderDate) +
         ",FSiteOrderDate =" + DateValue("FSiteOrderDate", dFOrderDate) + " \r\n" +
         ",FTransactionStatus = " + GetTranscationStatusByStatus(sFStatus) +
         " WHERE FSiteOrderID = '" + SqlQuote(sFSiteOrderID) + "'\r\n";
}

std::string GetPartSendOrderSQL(const std::string& line_status, const std::string& source_fid,
                                const std::string& site_order_id, const std::string& order_id,
                                int64_t amount, int64_t discount, int64_t freight,
                                const std::string& new_order_id, int16_t refund_status) {
  ColumnValues values = {
      {"FID", "@lMaxNUm"},
      {"FOrderID", Quoted(new_order_id)},
      {"FUniqueCode", "0"},
      {"FAmount", MoneyText(amount)},
      {"FTotalFreight", MoneyText(freight)},
      {"FMergeStatus", std::to_string(schema::code::kMergeStatusPartShipSplit)},
      {"FTransactionStatus", std::to_string(GroupTradeStatus(line_status))},
      {"FDiscountFee", MoneyText(discount)},
      {"FPreChkMan", "ISNULL(FPreChkMan,0)"},
  };
  // The lines move by every grouping column, so that each group's order receives exactly the
  // lines that were summed for it.
  return OrderHeaderCopySql(source_fid, values, /*short_list=*/true) +
         " Update IC_Web2ERPOrdersEntry Set FID = @lMaxNUm,FOrderID=" + Quoted(new_order_id) +
         " Where FID = " + source_fid + " And FStatus=" + Quoted(line_status) +
         "  and FRefundStatus=" + std::to_string(refund_status) +
         " and ISNULL(FSiteOrderID,'')=" + Quoted(site_order_id) +
         " and ISNULL(FOrderID,'')=" + Quoted(order_id) + "\r\n";
}

std::string PlanPartSendSplit(Connection& conn, const std::vector<std::string>& keys,
                              SplitPlan& plan) {
  std::string result;
  for (const std::string& key : keys) {
    RecordsetPtr header = conn.Execute(
        "SELECT FOrderID, FSiteOrderID FROM IC_Web2ERPOrders WHERE FID=" + key);
    if (!header->IsOpen() || header->Eof()) continue;
    std::string stem = std::string(TrimBlanks(TextOrEmpty(header->Value("FOrderID"))));
    std::string site_order_id = TextOrEmpty(header->Value("FSiteOrderID"));
    RecordsetPtr rs = conn.Execute(
        "SELECT FID,FOrderID,FSiteOrderID,FStatus,FRefundStatus,sum(FAmount) AS FAmount,"
        " sum(FDiscountFee) AS FDiscountFee,sum(FBuyerFreight) AS FBuyerFreight "
        " From IC_Web2ERPOrdersEntry where FID=" + key +
        " GROUP BY FID,FOrderID,FSiteOrderID,FStatus,FRefundStatus ");
    if (!rs->IsOpen() || rs->Eof()) continue;
    if (!result.empty()) result += ",";
    result += stem;
    std::vector<std::string> new_ids;
    for (; !rs->Eof(); rs->MoveNext()) {
      new_ids.push_back(stem + "-" + std::to_string(new_ids.size() + 1));
      plan.Add(GetPartSendOrderSQL(
          TextOrEmpty(rs->Value("FStatus")), key, TextOrEmpty(rs->Value("FSiteOrderID")),
          TextOrEmpty(rs->Value("FOrderID")), Cents(rs->Value("FAmount")),
          Cents(rs->Value("FDiscountFee")), Cents(rs->Value("FBuyerFreight")), new_ids.back(),
          CInt(rs->Value("FRefundStatus"))));
    }
    // The bill-level discount is not shared out: the largest new order carries it.
    std::string id_list;
    for (const std::string& id : new_ids) id_list += (id_list.empty() ? "" : ",") + Quoted(id);
    plan.Add("Update IC_Web2ERPOrders Set FBillDiscountFee = "
             "(Select Top 1 FBillDiscountFee From IC_Web2ERPOrders Where FID =" + key + ")"
             "Where FID = (Select Top 1 FID From IC_Web2ERPOrders Where FSiteOrderID = " +
             Quoted(site_order_id) + " and FID <> " + key + " and FOrderID in (" + id_list +
             ") Order By FAmount Desc, FID)");
    plan.Add("DELETE FROM IC_Web2ERPOrders WHERE FID=" + key);
  }
  return result;
}

std::string SplitOrderPartSend(Component& self, const std::string& sDsn, const std::string& fids) {
  return RunMethod(self, "SplitOrderPartSend", sDsn, [&](MethodScope& m) {
    std::vector<std::string> keys = SplitKeyList(CheckKeyList(fids, "fids", true));
    SplitPlan plan;
    std::string result = PlanPartSendSplit(m.conn(), keys, plan);
    plan.Run(self, m.conn());
    return result;
  });
}

}  // namespace ambit
