#include "aftersales/refund_lists.h"

#include "aftersales/aftersales_internal.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "query/order_filter.h"
#include "query/order_select.h"

namespace ambit {
namespace {

using aftersales_internal::HasRows;
using aftersales_internal::Line;

constexpr char kRefundingOrders[] =
    " (EXISTS(Select 1 From IC_Web2ERPOrdersEntry Where FID = t1.FID and FRefundStatusDetails = "
    "1) and t1.FOrderType = 38111)";

std::string ParaText(const Dictionary& d, std::string_view key) {
  return CStr(d.GetValue(key, Variant("")));
}

// Clients build key lists as ",1,2,3"; the leading comma is theirs, not an empty key.
std::string KeysAfterLeadingComma(std::string list, std::string_view what) {
  if (!list.empty() && list.front() == ',') list.erase(0, 1);
  return CheckKeyList(list, what);
}

std::string RefundInfoConditions(const Dictionary& d) {
  std::string c;
  if (std::string v = ParaText(d, "IsRetrunGoods"); !v.empty())
    c += " And t1.FIsRetrunGoods = " + CheckKey(v, "IsRetrunGoods");
  if (std::string v = ParaText(d, "FRefundStatus"); !v.empty())
    c += " And t1.FRefundStatus = '" + SqlQuote(v) + "'";
  if (std::string v = ParaText(d, "FID"); !v.empty())
    c += "AND t3.FID in (" + KeysAfterLeadingComma(v, "FID") + ")";
  if (std::string v = ParaText(d, "RefundFID"); !v.empty())
    c += "AND t1.FID in (" + KeysAfterLeadingComma(v, "RefundFID") + ")";
  if (std::string v = ParaText(d, "FEntryID"); !v.empty())
    c += " And t2.FEntryID = '" + SqlQuote(v) + "'";
  if (!ParaText(d, "WaitReturnGoods").empty()) c += " And t1.FServiceStatus = 38430";
  if (!ParaText(d, "WaitRefund").empty()) c += " And t1.FServiceStatus = 38431";
  return c;
}

}  // namespace

RecordsetPtr GetRefundOrderData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod<RecordsetPtr>(
      self, "GetRefundOrderData", dctPara, nullptr, [&](MethodScope& m) {
        StringBuilder sb;
        std::string filter = BuildOrderFilterSql(self, dctPara);
        bool counting = !ParaText(*dctPara, "stTypeCount").empty();
        if (!counting) {
          sb.Append(BuildOrderListSql(self, m.sDsn, nullptr, "", 0, false));
        } else if (NeedsListJoinsToCount(filter)) {
          // The short count statement lacks aliases the filter names; the list's own FROM
          // part counts the same rows.
          OrderSelectOptions options;
          options.count_rows = true;
          sb.Append(BuildOrderListSql(self, m.sDsn, nullptr, options));
        } else {
          sb.Append(BuildOrderCountSql(m.sDsn));
        }
        if (!filter.empty()) {
          Line(sb, " WHERE " + filter);
          sb.Append(kRefundingOrders);
        } else {
          sb.Append(std::string(" WHERE") + kRefundingOrders);
        }
        sb.Append(counting ? " " : " ORDER BY FOrderDate Desc ");
        return m.conn().Execute(sb.ToString());
      });
}

RecordsetPtr GetRefundInfoData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod<RecordsetPtr>(
      self, "GetRefundInfoData", dctPara, nullptr, [&](MethodScope& m) {
        std::string conditions = RefundInfoConditions(*dctPara);
        StringBuilder sb;
        for (const char* piece : {
                 " SELECT t1.*, ",
                 "case when t1.FOutDate < '1901-01-01' then null Else t1.FOutDate End As "
                 "FOutDate1, ",
                 "case when t1.FReturnDate < '1901-01-01' then null Else t1.FReturnDate End As "
                 "FReturnDate1, ",
                 "t2.FOnlineTitle,",
                 "t2.FOuterID,",
                 "t5.FSkuAliaName as FSkuName,",
                 "t3.FOrderDate,",
                 "t3.FOrderID,",
                 "t3.FBuyerNick,",
                 "Case t1.FServiceType When 1 Then '仅退款' When 2 Then '退款退货' When 3 Then "
                 "'换货' Else '' End as FServiceTypeName,",
                 "Case t1.FServiceSource When 1 Then '线上' When 2 Then '线下' Else '' End as "
                 "FServiceSourceName,",
                 "t6.FName as FServiceStatusName,",
                 "t4.FWebShopName,",
                 "t7.FNumber as FExchangeItemNumber,",
                 "t7.FName as FExchangeItemName,",
                 "t8.FName as FExchangeUnitName,",
                 "t8.FUnitGroupID as FExchangeUnitGroupID,",
                 "t9.FName as FRecorderName,",
                 "isnull(t10.FName,'') as FServiceCategoryName,",
                 "isnull(t11.FNumber,'') as FItemNumber,",
                 "isnull(t2.FReturnLogisticsCompany,0) as FReturnLogisticsCompany,",
                 "isnull(t2.FReturnLogisticsOrder,0) as FReturnLogisticsOrder",
                 " FROM IC_RefundInfo t1 with(nolock)",
                 " Inner Join IC_Web2ErpOrdersEntry t2 with(nolock) on t1.FEntryID = t2.FEntryID",
                 " Inner Join IC_Web2ERPOrders t3 with(nolock) on t2.FID = t3.FID",
                 " Left Join IC_WebShopToStorage t4 on t3.FWebshopID = t4.FWebShopID",
                 " Left Join IC_SKU t5 on t2.FNumID = t5.FNumIID and t2.FSkuID = t5.FSkuID",
                 " Left Join t_SubMessage t6 on t6.FTypeID = 843 and t1.FServiceStatus = "
                 "t6.FInterID",
                 " Left Join t_ICItem t7 on t1.FExchangeItemID = t7.FItemID",
                 " Left Join t_MeasureUnit t8 on t1.FExchangeUnitID = t8.FItemID",
                 " Left Join t_EMP t9 on t1.FRecorder=t9.FItemID",
                 " Left Join T_SubMessage t10 on t1.FServiceCategory = t10.FInterID And "
                 "t10.FTypeID = 845",
                 " Left Join t_ICItem t11 on t1.FItemID = t11.FItemID",
                 "WHERE  1=1 "})
          Line(sb, piece);
        if (!conditions.empty()) Line(sb, conditions);
        return m.conn().Execute(sb.ToString());
      });
}

RecordsetPtr GetSellerAddressForRefund(Component& self, const std::string& sDsn,
                                       const std::string& sWebShopID) {
  if (sDsn.empty()) return nullptr;
  return RunMethod(self, "GetSellerAddressForRefund", sDsn, [&](MethodScope& m) {
    StringBuilder sb;
    Line(sb, "Select case when fmobilephone = '' then fphone else fmobilephone end As FOnePhone,"
             "* From IC_SellerAddress");
    Line(sb, "Where FWebShopID = '" + SqlQuote(sWebShopID) + "'");
    Line(sb, "Order by FDefaultReturn desc,FContactName,case when fmobilephone = '' then fphone "
             "else fmobilephone end,");
    Line(sb, "FProvince,FCity,FDistrict,FAddress ");
    return m.conn().Execute(sb.ToString());
  });
}

RecordsetPtr GetTradeRecordData(Component& self, const DictionaryPtr& dctData) {
  if (!dctData) return nullptr;
  std::string dsn = CStr(dctData->GetValue("sDsn", Variant("")));
  if (dsn.empty()) return nullptr;
  return RunMethod(self, "GetTradeRecordData", dsn, [&](MethodScope& m) {
    std::string entry = CStr(dctData->GetValue("FEntryID", Variant("")));
    StringBuilder sb;
    for (const char* piece : {
             " SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED  ",
             "Select t1.FID,t1.FEntryID,t1.FRecordDate,t1.FOnlineReason as FRefundReason,"
             "t1.FRefundAmount,t1.FRemark,t1.FRefundCode,t1.FServiceType,t1.FQty ",
             ",ISNULL(t2.FName,ISNULL(t5.FName,'')) as FRecorderName,",
             "Case t1.FType When 1 Then '仅退款' When 2 Then '退款退货' When 3 Then '换货' When 4 "
             "Then '补发' Else '' End as FType",
             ",Case t1.FSource When 1 Then '线上' When 2 Then '线下'  Else '' End as FSource",
             ",t3.FName as FManageType",
             ",isnull(t4.FName,'') as FServiceTypeName",
             "From IC_RefundRecord t1",
             "Left Join t_EMP t2 on t1.FRecorder = t2.FItemID",
             "Left Join (SELECT t_EMP.FName,FUserID FROM t_EMP LEFT JOIN t_User ON "
             "t_Emp.FItemID=t_User.FEmpID)t5 ON t1.FRecorder = t5.FUserID",
             "Left Join T_SubMessage t3 on t1.FManageType = t3.FInterID And t3.FTypeID = 845",
             "Left Join T_SubMessage t4 on t1.FServiceType = t4.FInterID And t4.FTypeID = 844",
             "Where 1=1"})
      Line(sb, piece);
    if (!entry.empty()) Line(sb, "And FEntryID = " + CheckKey(entry, "FEntryID"));
    Line(sb, "Order By FRecordDate ASC");
    return m.conn().Execute(sb.ToString());
  });
}

RecordsetPtr GetRefundVoucherByFID(Component& self, const std::string& sDsn,
                                   const std::string& sFIDs) {
  return RunMethod(self, "GetRefundVoucherByFID", sDsn, [&](MethodScope& m) -> RecordsetPtr {
    std::string keys = CheckKeyList(sFIDs, "sFIDs", true);
    if (SplitKeyList(keys).empty()) return nullptr;  // no orders: none has a voucher
    StringBuilder sb;
    Line(sb, "Select distinct t1.FID,t1.FOrderID,t1.FSiteOrderID From IC_Web2ErpOrdersEntry t1 "
             "with(nolock) ");
    Line(sb, "inner join IC_RefundInfo t2 with(nolock) on t1.FEntryID = t2.FEntryID ");
    Line(sb, FormatTemplate(" Where t1.FID in(%1)", {Variant(keys)}));
    Line(sb, " And t2.FVoucherID > 0 ");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    return HasRows(rs) ? rs : nullptr;
  });
}

}  // namespace ambit
