// The after-sales workbench's order lines. The column list comes from the live layouts of the
// order tables, so columns added to them show up here without a change.
#include "aftersales/aftersales_internal.h"
#include "aftersales/refund_lists.h"
#include "base/text.h"
#include "frame/client_sql.h"
#include "query/order_filter.h"
#include "tsql/client_sql.h"

namespace ambit {
namespace {

using aftersales_internal::Line;

// Line columns whose names the header also has: they come under an alias of their own.
struct AliasedColumn {
  const char* name;
  const char* alias;
};
constexpr AliasedColumn kAliasedLineColumns[] = {
    {"FDiscountFee", "FDiscountFee2"},
    {"FTaxAmount", "FTaxAmount1"},
    {"FTaxRate", "FTaxRate1"},
};

// Column names ignore case in SQL, so the taken list does too.
bool Taken(const std::string& taken, std::string_view name) {
  return taken.find("~" + ToLowerAscii(name) + "~") != std::string::npos;
}

// Every header column but the amount (the line's is the one shown), then the line columns the
// header does not supply.
void AppendLayoutColumns(StringBuilder& sb, Connection& conn) {
  std::string taken = "~";
  RecordsetPtr header = conn.Execute("select * from IC_Web2ERPOrders with(nolock) where 1=-1");
  for (const FieldInfo& f : header->fields()) {
    if (EqualsNoCase(f.name, "FAmount")) continue;
    sb.Append(" t1." + f.name + ",");
    taken += ToLowerAscii(f.name) + "~";
  }
  taken += "~frefundfid~";
  RecordsetPtr lines =
      conn.Execute("select * from IC_Web2ERPOrdersEntry with(nolock) where 1=-1");
  for (const FieldInfo& f : lines->fields()) {
    const AliasedColumn* aliased = nullptr;
    for (const AliasedColumn& a : kAliasedLineColumns)
      if (EqualsNoCase(f.name, a.name)) aliased = &a;
    if (aliased) {
      if (!Taken(taken, aliased->alias))
        sb.Append(" entry." + f.name + " as " + aliased->alias + ",");
    } else if (!Taken(taken, f.name)) {
      sb.Append(" entry." + f.name + ",");
    }
  }
}

// Area and carrier names live in one column per language; the default language's has no
// suffix.
std::string NameColumn(const std::string& language) {
  return language == "CHS" ? "FName" : "FName_" + language;
}

void AppendFixedColumns(StringBuilder& sb, const std::string& language) {
  std::string name = NameColumn(language);
  Line(sb, " t2.FWebShopName,t2.FShopCategory,");
  Line(sb, " case when t1.FBiller <> 0 then t4.FName else NULL end as  FBillerName,");
  Line(sb, " case when t1.FChkMan <> 0 then t5.FName else NULL end as  FChkManName,");
  Line(sb, " case when t1.FPreChkMan <> 0 then t17.FName else NULL end as  FPreChkManName,");
  Line(sb, " case when t1.FPickMan <> 0 then t6.FName else NULL end as  FPickManName,");
  for (const char* piece : {
           "entry.FOnlineTitle as FItemOnLineProductName,",
           "entry.FOuterID As FItemOnLineProductNumber,",
           " (t1.FAmount-t1.FDiscountFee + t1.FTotalFreight - t1.FBillDiscountFee) as "
           "FFinallyAmount, ",
           "t7.FName as FOrderTypeName,t8.FName as FSendTypeName,t9.FName as FShippingTypeName,",
           "t10.FName as FTransactionTypeName,t11.FName as FTransactionStatusName,"})
    Line(sb, piece);
  Line(sb, "t19." + name + " as FDeliveryCountryName,t12." + name + " as FDeliveryProvinceName,");
  Line(sb, "t13." + name + " as FDeliveryCityName,t14." + name + " as FDeliveryDistrictName,");
  Line(sb, "t15." + name + " as FLogisticsName,");
  for (const char* piece : {
           "t16.FName as FEmpIDName,t18.FName As FOptDptIDName,t20.FName As FCurrencyName,",
           "CASE WHEN ISNULL(t23.FIsBlackList,0)=1 THEN 'Y' ELSE '' END AS FIsBlackList,",
           "CASE t22.FIsLock WHEN 1 THEN 'Y' ELSE '' END AS FIsLock,",
           "ISNULL(t22.FLockReason,'') AS FLockReason,",
           "isnull(t22.FAddressReachable,4) as FAddressReachable,",
           "isnull(t22.FLotNumber,'') as FLotNumber,",
           "isnull(t22.FSerialNumber,'') as FSerialNumber,",
           "ISNULL(t998.FIs_jzservice_order,'') AS FIsJzserviceOrder,",
           "ISNULL(t22.FLogisticsState,-1) AS FLogisticsState,",
           "ISNULL(t24.FName,'') AS FLogisticsStateName,",
           " isnull(entry.FRefundFID,0) as FRefundFID, ",
           " isnull(rf.FRefundCode,'') as FRefundCode, ",
           "stock.FName as FStockName,",
           "item.FName as FItemName,item.FNumber as FItemNumber,item.FModel as FItemModel,",
           "isnull(item.FPriceDecimal,2) FPriceDecimal,",
           "isnull(item.FQtyDecimal,0) FQtyDecimal,",
           "aux.FName as FAttrCodeName,unit.FName as FMeasureUnitName,unit.FUnitGroupID,",
           "package.FNumber AS FPackagedGoodsNumber,package.FName AS FPackagedGoodsName,",
           "splace.FName as FSPName,",
           "isnull(service.FName,'') as FServiceStatusName,",
           "Case entry.FServiceType When 1 Then '仅退款' When 2 Then '退款退货' When 3 Then "
           "'换货' When 4 Then '补发' Else '' End as FServiceTypeName,",
           "Case entry.FServiceSource When 1 Then '线上' When 2 Then '线下' Else '' End as "
           "FServiceSourceName,",
           "isnull(pm.FActivityName,'') as FActivityName,",
           "isnull(rtlg.FName,'') as FReturnLgName,",
           "isnull(entryex.FTplRemark,'') as FTplRemark,",
           " case entry.FTplReturnStatus when '' then '' else isnull(tplstatus.FStatusName,'') "
           "end  as FStatusName  "})
    Line(sb, piece);
}

void AppendSources(StringBuilder& sb) {
  for (const char* piece : {
           " FROM IC_Web2ERPOrders t1 with(nolock) ",
           " Inner Join IC_Web2ERPOrdersEntry entry with(nolock) on t1.FID = entry.FID ",
           " Left Join IC_WebshopToStorage t2 on t1.FWebShopID = t2.FWebShopID",
           " Left Join t_User t4 on t1.FBiller = t4.FUserID",
           " Left Join t_User t5 on t1.FChkMan = t5.FUserID",
           " Left Join t_User t6 on t1.FPickMan = t6.FUserID",
           " Left Join t_User t17 on t1.FPreChkMan = t17.FUserID",
           " Left Join t_SubMessage t7 on t1.FOrderType = t7.FInterID",
           " Left Join t_SubMessage t8 on t1.FSendType = t8.FInterID",
           " Left Join t_SubMessage t9 on t1.FShippingType = t9.FInterID",
           " Left Join t_SubMessage t10 on t1.FTransactionType = t10.FInterID",
           " Left Join t_SubMessage t11 on t1.FTransactionStatus = t11.FInterID",
           " Left Join IC_Area t19 on t1.FDeliveryCountry = t19.FID",
           " Left Join IC_Area t12 on t1.FDeliveryProvince = t12.FID",
           " Left Join IC_Area t13 on t1.FDeliveryCity = t13.FID",
           " Left Join IC_Area t14 on t1.FDeliveryDistrict = t14.FID",
           " Left Join IC_Logistics t15 on t1.FLogisticsID=t15.FItemID",
           " Left Join t_EMP t16 on t1.FEmpID = t16.FItemID",
           " Left Join t_Department t18 on t1.FOptDptID = t18.FItemID",
           " Left Join t_Stock stock on entry.FStockID = stock.FItemID",
           " Left Join t_ICITEM item on entry.FItemID = item.FItemID",
           " Left Join t_AuxItem aux on entry.FAttrCode = aux.FItemID",
           " Left Join t_MeasureUnit unit on entry.FUnitID=unit.FMeasureUnitID",
           " Left Join t_icitem package on entry.FPackagedGoods = package.FItemID",
           " Left Join t_StockPlace splace on entry.FSPID = splace.FSPID",
           " Left Join t_SubMessage service on entry.FServiceStatus=service.FInterID And "
           "service.FTypeID = 843",
           " Left Join IC_RefundInfo rf on rf.FID = entry.FRefundFID",
           " Left Join vwICPSPromotion pm on entry.FPromotionID = pm.FPromotionID",
           " Left Join IC_Logistics rtlg on entry.FReturnLogisticsCompany = rtlg.FItemID",
           " Left Join IC_Web2ERPOrdersEntryEx entryex on entry.FEntryID = entryex.FEntryID",
           " Left Join IC_TplStatusType tplstatus on entry.FTplReturnStatus = "
           "tplstatus.FStatusType",
           " Left Join t_Currency t20 on t1.FCurrencyID = t20.FCurrencyID",
           " Left Join IC_Web2ERPOrdersEx t22 on t1.FID = t22.FID",
           " Left Join vw_Web2ERPOrdersJZ t998 on t1.FID = t998.FID",
           " Left Join (SELECT DISTINCT FNick,FIsBlackList FROM IC_WebShopClient WHERE "
           "FIsBlackList = 1 AND FNick <> '') t23 on t1.FBuyerNick = t23.FNick",
           " Left Join IC_LogisticsTraceState t24 on t22.FLogisticsState = t24.FID"})
    Line(sb, piece);
}

}  // namespace

Variant GetTradeServiceData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod<Variant>(
      self, "GetTradeServiceData", dctPara, Variant(), [&](MethodScope& m) {
        std::string language = ColumnLanguageCode(self);
        DictionaryPtr filter_para = dctPara->Value("dctFiler").As<Dictionary>();
        std::string filter = BuildOrderFilterSql(self, filter_para);
        StringBuilder sb;
        sb.Append("select top 10000 ");
        AppendLayoutColumns(sb, m.conn());
        AppendFixedColumns(sb, language);
        AppendSources(sb);
        sb.Append(" WHERE 1=1 ");
        if (!filter.empty()) sb.Append(" AND " + filter + " 1=1 ");
        sb.Append(" ORDER BY t1.FOrderDate,t1.FID ");
        std::string select_item =
            filter_para ? CStr(filter_para->GetValue("Select_Item", Variant(""))) : "";
        if (!select_item.empty()) {
          // The client names the columns: what runs must still be one query that only reads.
          CheckClientSqlAllowed("\"Select_Item\"");
          sb.Insert(1, "select " + select_item + " from (\r\n");
          sb.Append(" ) t ");
          tsql::CheckReadOnlyQuery(sb.ToString());
        }
        sb.Insert(1, "SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED\r\n");
        return Variant(m.conn().Execute(sb.ToString()));
      });
}

}  // namespace ambit
