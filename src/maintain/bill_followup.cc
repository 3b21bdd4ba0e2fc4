#include "maintain/bill_followup.h"

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "schema/names.h"

namespace ambit {
namespace {

// Each sales order number of the joined list is quoted on its own, so the joints stay joints
// and nothing else can close the quotes.
std::string QuoteJoinedNumbers(const std::string& joined) {
  constexpr std::string_view kJoint = "','";
  std::string out;
  size_t start = 0;
  while (true) {
    size_t joint = joined.find(kJoint, start);
    out += SqlQuote(std::string_view(joined).substr(
        start, joint == std::string::npos ? std::string::npos : joint - start));
    if (joint == std::string::npos) break;
    out += kJoint;
    start = joint + kJoint.size();
  }
  return out;
}

// The early "nothing to do" answer must not touch the context; a value that is no number is
// left to the frame, which reports it.
bool IsZeroOrAbsent(const Variant& v) { return v.IsEmpty() || (IsNumeric(v) && CDbl(v) == 0); }

}  // namespace

bool UpdateAfterGenerateBill(Component& self, const std::string& sDsn,
                             const VectorPtr& vctSelected) {
  if (sDsn.empty() || !vctSelected) return false;
  return RunMethod(self, "UpdateAfterGenerateBill", sDsn, [&](MethodScope& m) {
    std::string list;
    for (const Variant& item : vctSelected->items()) {
      DictionaryPtr row = item.As<Dictionary>();
      if (!row || !CBool(row->GetValue("isSuccess", Variant(false)))) continue;
      std::string fid = CheckKey(CStr(row->Value("FID")), "FID");
      list = FormatTemplate("%1%2", {Variant(list), Variant(list.empty() ? fid : "," + fid)});
    }
    if (list.empty()) return true;
    StringBuilder sb;
    sb.Append(" Update iwe\r\n");
    sb.Append(" Set iwe.FInnerInvoice = 1\r\n");
    sb.Append(" FROM   IC_Web2ERPOrders iwe\r\n");
    sb.Append(" WHERE  iwe.FID IN (%1)\r\n");
    m.conn().Execute(FormatTemplate(sb.ToString(), {Variant(list)}));
    return true;
  });
}

bool UpdateAfterDeleteBill(Component& self, const std::string& sDsn, const std::string& sFID) {
  if (sDsn.empty() || sFID.empty()) return false;
  return RunMethod(self, "UpdateAfterDeleteBill", sDsn, [&](MethodScope& m) {
    std::string fids = CheckKeyList(sFID, "sFID");
    const std::string kBillBit = std::to_string(schema::code::kOrderStatusStockBillBit);
    StringBuilder sb;
    sb.Append(
        " UPDATE IC_Web2ERPOrdersEntry SET FIsRowClose = 0,FAuxQtyInvoice = 0 WHERE FID IN (%1) "
        "\r\n");
    sb.Append(" UPDATE IC_Web2ERPOrders SET FInnerInvoice = 0 WHERE FID IN (%1) \r\n");
    sb.Append(" Update ibe\r\n");
    sb.Append(" Set ibe.FAuxQtyInvoice = 0\r\n");
    sb.Append(" FROM   ICStockBillEntry ibe\r\n");
    sb.Append("        LEFT JOIN IC_Web2ERPOrdersEntry iwee\r\n");
    sb.Append("             ON  iwee.FEntryID = ibe.FSourceEntryID\r\n");
    sb.Append("             AND iwee.FID = ibe.FSourceInterId\r\n");
    sb.Append("             AND ibe.FSourceTranType = " +
              std::to_string(schema::code::kClassTypeWebOrderEntry) + "\r\n");
    sb.Append("        LEFT JOIN IC_Web2ERPOrders iwe\r\n");
    sb.Append("             ON  iwe.FID = iwee.FID\r\n");
    sb.Append(
        " WHERE  ISNULL(iwee.FID, 0) <> 0 AND (iwe.FOrderStatus & " + kBillBit + " = " +
        kBillBit + ") AND iwee.FID IN (%1)\r\n");
    m.conn().Execute(FormatTemplate(sb.ToString(), {Variant(fids)}));
    return true;
  });
}

RecordsetPtr TransSiteOrder2SaleOrder(Component& self, const std::string& sDsn,
                                      const std::string& sFID, Date DFetchDate, int32_t lUserID) {
  return RunMethod(self, "TransSiteOrder2SaleOrder", sDsn, [&](MethodScope& m) {
    std::string fids = CheckKeyList(sFID, "sFID", true);
    return m.conn().Execute("exec SP_WebOrder2ERPOrder '" + SqlQuote(fids) + "','" +
                            FormatDate(DFetchDate) + "'," + std::to_string(lUserID) + "\r\n");
  });
}

bool UpdateAfterDeleteSaleOrder(Component& self, const std::string& sDsn,
                                const std::string& sFID) {
  if (sDsn.empty() || sFID.empty()) return false;
  return RunMethod(self, "UpdateAfterDeleteSaleOrder", sDsn, [&](MethodScope& m) {
    std::string numbers = QuoteJoinedNumbers(sFID);
    StringBuilder sb;
    sb.Append("delete t1\r\n");
    sb.Append("from IC_Web2ERPOrders t0\r\n");
    sb.Append("inner join ic_web2ErpOrdersex t1 on t1.fid=t0.FID\r\n");
    sb.Append("where t0.FSaleNo in ('" + numbers + "')\r\n");
    sb.Append("Update t1 \r\n");
    sb.Append("SET     t1.FSaleNo = '' \r\n");
    sb.Append("FROM    IC_Web2ERPOrders t1  \r\n");
    sb.Append("WHERE   t1.FSaleNo in ('" + numbers + "')\r\n");
    m.conn().Execute(sb.ToString());
    return true;
  });
}

bool UpdateSendStockID(Component& self, const std::string& sDsn,
                       const DictionaryPtr& dctOrderEntryInfo) {
  if (!dctOrderEntryInfo || IsZeroOrAbsent(dctOrderEntryInfo->Value("FID")) ||
      IsZeroOrAbsent(dctOrderEntryInfo->Value("FEntryID")))
    return false;
  return RunMethod(self, "UpdateSendStockID", sDsn, [&](MethodScope& m) {
    int32_t fid = CLng(dctOrderEntryInfo->GetValue("FID", Variant(int32_t{0})));
    int32_t entry = CLng(dctOrderEntryInfo->GetValue("FEntryID", Variant(int32_t{0})));
    int32_t stock = CLng(dctOrderEntryInfo->GetValue("FStockID", Variant(int32_t{0})));
    m.conn().Execute("Update IC_WEB2ERPOrdersEntry Set FStockID =" + std::to_string(stock) +
                     " Where FID = " + std::to_string(fid) +
                     " And FEntryID = " + std::to_string(entry) + "\r\n");
    return true;
  });
}

}  // namespace ambit
