// The two line lists of the workbench: one order's lines and the buyer's recent purchases.
#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/status_lists.h"
#include "schema/names.h"

namespace ambit {
namespace {

constexpr char kEol[] = "\r\n";
constexpr int kRecentDays = 90;

// "FID" as a checked key, or "" when the key is absent (the lists then answer nothing).
std::string OrderKey(const Dictionary& dct) {
  Variant fid;
  if (!dct.Lookup("FID", &fid)) return "";
  return CheckKey(fid.IsNull() ? "" : CStr(fid), "FID");
}

std::string EntryListSql(const std::string& fid) {
  const std::string service_status = std::to_string(schema::code::kSubMessageTypeServiceStatus);
  StringBuilder sb;
  auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
  line(" SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED ");
  line(" SELECT t1.*,t2.FName as FStockName, ");
  line(" t3.FName as FItemName,t3.FNumber as FItemNumber,t3.FModel as FItemModel,");
  line(" t3.FPriceDecimal,");
  line(" t3.FQtyDecimal,");
  line(" t4.FName as FAttrCodeName,");
  line(" t5.FName as FMeasureUnitName,");
  line(" t1.FOuterID  as FOnlineShopPNo,");
  line(" t1.FOnlineTitle as FOnlineShopPName, ");
  line(" t7.FNumber AS FPackagedGoodsNumber, ");
  line(" t7.FName AS FPackagedGoodsName, ");
  line(" t9.FName as FSPName ,");
  line(" t10.FName as FServiceStatus, --after-sales state by name");
  line(" (t3.FGrossWeight*t1.FQuantity) as FGrossWeight, ");
  line(" t12.FActivityName as FActivityName, ");
  line(" t14.FName as FReturnLogName, ");
  line(
      " case (t1.FRefundStatus - isnull(t13.FIsRefuse,0)) when 1 then 1 else 0 end as "
      "FRefundStatus --a refused case is no refund");
  line(" ,t15.FTplRemark,  ");
  line(
      " case t1.FServiceType when 1 then '仅退款' when 2 then '退款退货' when 3 then '换货' "
      "else '' end as FServiceTypeName,");
  line(
      " case t1.FServiceSource when 1 then '线上' when 2 then '线下' else '' end as "
      "FServiceSourceName,");
  line(" isnull(t16.FName,'') as FServiceStatusName");
  line(" FROM IC_Web2ERPOrdersEntry t1");
  line(" LEFT JOIN t_Stock t2 ON t1.FStockID=t2.FItemID");
  line(" LEFT JOIN t_ICITEM t3 ON t1.FItemID=t3.FItemID");
  line(" LEFT JOIN t_AuxItem t4 ON t1.FAttrCode=t4.FItemID");
  line(" LEFT JOIN t_MeasureUnit t5 ON t1.FUnitID=t5.FMeasureUnitID");
  line(" LEFT JOIN t_ICItemMaterial t6 ON t1.FItemID=t6.FItemID");
  line(" LEFT JOIN t_icitem t7 ON t1.FPackagedGoods=t7.FItemID");
  line(" LEFT JOIN t_StockPlace t9 ON t1.FSPID=t9.FSPID");
  line(" LEFT JOIN t_SubMessage t10 ON t1.FServiceStatus=t10.FInterID And t10.FTypeID = " +
       service_status);
  line(" LEFT JOIN IC_CDPSPromotion t11 ON t1.FPromotionID=t11.FPromotionID");
  line(" LEFT JOIN IC_CDPSActivity t12 ON t11.FActivityID=t12.FActivityID");
  line(" LEFT JOIN IC_RefundInfo t13 ON t13.FID = t1.FRefundFID");
  line(" LEFT JOIN IC_Logistics t14 ON t1.FReturnLogisticsCompany=t14.FItemID");
  line(" LEFT JOIN IC_Web2ERPOrdersEntryEx t15 ON t1.FEntryID=t15.FEntryID");
  line(" LEFT JOIN t_SubMessage t16 ON t16.FTypeID = " + service_status +
       " AND t1.FServiceStatus=t16.FInterID");
  line("WHERE  t1.FID=" + fid + " ORDER BY FIsFree,FIndex ");
  return sb.ToString();
}

}  // namespace

RecordsetPtr GetWebOrderEntryData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod<RecordsetPtr>(self, "GetWebOrderEntryData", dctPara, nullptr,
                                           [&](MethodScope& m) -> RecordsetPtr {
                                             std::string fid = OrderKey(*dctPara);
                                             if (fid.empty()) return nullptr;
                                             return m.conn().Execute(EntryListSql(fid));
                                           });
}

RecordsetPtr GetLatelyData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod<RecordsetPtr>(
      self, "GetLatelyData", dctPara, nullptr, [&](MethodScope& m) -> RecordsetPtr {
        std::string fid = OrderKey(*dctPara);
        if (fid.empty()) return nullptr;
        StringBuilder sb;
        sb.Append(" SELECT FID,FBuyerNick,FOrderDate ").Append(kEol);
        sb.Append(" FROM IC_Web2ERPOrders ").Append(kEol);
        sb.Append(" WHERE  FID =" + fid).Append(kEol);
        RecordsetPtr order = m.conn().Execute(sb.ToString());
        if (!order || !order->IsOpen() || order->Eof()) return nullptr;
        const Variant& nick = order->Value("FBuyerNick");
        Date since = CDate(order->Value("FOrderDate"));
        since.serial -= kRecentDays;

        sb.Clear();
        auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
        line(" SELECT t0.FOrderDate,t0.FSiteOrderID, ");
        line(" t6.FName as FTransactionStatusName,");
        line(" t1.*,t2.FName as FStockName,");
        line(" t3.FName as FItemName,t3.FNumber as FItemNumber,t3.FModel as FItemModel,");
        line(" t3.FQtyDecimal,");
        line(" t4.FName as FAttrCodeName,");
        line(" t5.FName as FMeasureUnitName");
        line(" FROM IC_Web2ERPOrdersEntry t1");
        line(" INNER JOIN IC_Web2ERPOrders t0 ON t1.FID=t0.FID");
        line(" LEFT JOIN t_Stock t2 ON t1.FStockID=t2.FItemID");
        line(" LEFT JOIN t_ICITEM t3 ON t1.FItemID=t3.FItemID");
        line(" LEFT JOIN t_AuxItem t4 ON t1.FAttrCode=t4.FItemID");
        line(" LEFT JOIN t_MeasureUnit t5 ON t1.FUnitID=t5.FMeasureUnitID");
        line(" LEFT JOIN t_SubMessage t6 ON t0.FTransactionStatus=t6.FInterID");
        line(" WHERE t0.FVoidStatus=0 AND t0.FBuyerNick ='" +
             SqlQuote(nick.IsNull() ? "" : CStr(nick)) + "'");
        line(" And t0.FOrderDate>='" + FormatDate(since) + "'");
        line(" ORDER BY t0.FSiteOrderID Desc ");
        return m.conn().Execute(sb.ToString());
      });
}

}  // namespace ambit
