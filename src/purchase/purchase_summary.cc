// The purchase requirement summary. One statement per mode; the figures are sums over derived
// tables joined to the item rows, so an item without stock, orders or purchase orders still
// comes back with zeros.
#include "purchase/purchase_summary.h"

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"

namespace ambit {
namespace {

// A line still waits for its goods: by its own platform state when it has one, else by the
// order's trade state (shipped, finished, closed: 38193-38195).
constexpr char kOpenLine[] =
    "((e.FStatus <> '' and e.FStatus not in ('TRADE_FINISHED','TRADE_CLOSED',"
    "'TRADE_WAIT_BUYER_CONFIRM_GOODS')) or (e.FStatus = '' and o.FTransactionStatus not in "
    "(38193,38194,38195)))";

// Not yet delivered: no posted stock bill (stocked on save, or checked) was made from the line.
constexpr char kNotDelivered[] =
    "e.FEntryID not in (select se.FSourceEntryID from ICStockBillEntry se with(nolock) "
    "inner join ICStockBill sb with(nolock) on sb.FInterID = se.FInterID "
    "where (sb.FUpStockWhenSave = 1 or sb.FStatus = 1) and se.FSourceTranType = '1014301')";

// Orders hold stock once pre-checked or checked, or always when PreCheckOnStock is 0.
constexpr char kHoldsStock[] =
    "(o.FPreChkMan > 0 or o.FCheckStatus = 1 or @PreCheckOnStock = '0')";

// Missing parameters read as the defaults the base data writes.
constexpr char kParameters[] =
    "declare @PreCheckOnStock nvarchar(255), @LockOrderOnStock nvarchar(255)\r\n"
    "select @PreCheckOnStock = '1', @LockOrderOnStock = '0'\r\n"
    "select @PreCheckOnStock = isnull(FValue,'1') from t_SystemProfile "
    "where FCategory = 'EC' and FKey = 'PreCheckOnStock'\r\n"
    "select @LockOrderOnStock = isnull(FValue,'0') from t_SystemProfile "
    "where FCategory = 'EC' and FKey = 'LockOrderOnStock'\r\n";

void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

// Items the summary covers: those of the orders in the list, or every item with an open line.
std::string CandidateItems(const std::string& keys) {
  if (!keys.empty())
    return "(select FItemID  from IC_Web2ERPOrdersEntry with(nolock) where FID in (" + keys + "))";
  return std::string("(select e.FItemID from IC_Web2ERPOrdersEntry e with(nolock) "
                     "inner join IC_Web2ERPOrders o with(nolock) on o.FID = e.FID where ") +
         kOpenLine + ")";
}

// Counted open demand, grouped by `group` ("e.FItemID" or "e.FItemID,e.FStockID"). Locked
// orders drop out unless LockOrderOnStock is '1', where `skip_locked` asks for it.
std::string OrderDemand(const std::string& group, bool skip_locked) {
  std::string sql = "(select " + group + ",sum(e.FQuantity) as FQty "
                    "from IC_Web2ERPOrdersEntry e with(nolock) "
                    "inner join IC_Web2ERPOrders o with(nolock) on o.FID = e.FID ";
  if (skip_locked) sql += "left join IC_Web2ERPOrdersEx x with(nolock) on x.FID = o.FID ";
  sql += std::string("where ") + kOpenLine + " and " + kNotDelivered + " and " + kHoldsStock;
  if (skip_locked) sql += " and (isnull(x.FIsLock,0) = 0 or @LockOrderOnStock = '1')";
  return sql + " group by " + group + ")";
}

std::string StockOnHand(const std::string& group) {
  return "(select " + group + ",sum(FQty) as FQty from ICInventory with(nolock) group by " +
         group + ")";
}

// Ordered from suppliers on live purchase orders, less what stock receipts took in against
// them, directly (source 71) or through a receiving notice made from the order (72 then 71).
std::string GoodsOnOrder() {
  const std::string posted =
      "inner join ICStockBill sb with(nolock) on sb.FInterID = se.FInterID "
      "and (sb.FUpStockWhenSave = 1 or sb.FStatus = 1) ";
  const std::string live_order =
      "inner join POOrder p with(nolock) on p.FInterID = pe.FInterID and p.FCancellation <> 1 ";
  return "(select w.FItemID,sum(w.FQty) as FQty from ("
         "select pe.FItemID,pe.FQty from POOrderEntry pe with(nolock) " + live_order +
         "union all select pe.FItemID,-se.FQty from ICStockBillEntry se with(nolock) " + posted +
         "inner join POOrderEntry pe with(nolock) on pe.FInterID = se.FSourceInterId "
         "and pe.FEntryID = se.FSourceEntryID " + live_order +
         "where se.FSourceTranType = 71 "
         "union all select pe.FItemID,-se.FQty from ICStockBillEntry se with(nolock) " + posted +
         "inner join POInStockEntry pin with(nolock) on pin.FInterID = se.FSourceInterId "
         "and pin.FEntryID = se.FSourceEntryID and pin.FSourceTranType = 71 "
         "inner join POOrderEntry pe with(nolock) on pe.FInterID = pin.FSourceInterId "
         "and pe.FEntryID = pin.FSourceEntryID " + live_order +
         "where se.FSourceTranType = 72) w group by w.FItemID)";
}

// Goods buyers are sending back: platform cases waiting for or at the seller's door, and
// offline return cases (source above 1) waiting for the goods.
constexpr char kGoodsComingBack[] =
    "(select r.FItemID,sum(r.FNum) as FQty from IC_RefundInfo r with(nolock) "
    "where r.FItemID <> 0 and (r.FRefundStatus in ('WAIT_BUYER_RETURN_GOODS',"
    "'WAIT_SELLER_CONFIRM_GOODS') or (r.FServiceStatus = 38433 and r.FIsRetrunGoods = 1 "
    "and r.FServiceSource > 1)) group by r.FItemID)";

// The number range of dctParaInfo on `column`; empty without a bound.
std::string CodeRange(const DictionaryPtr& range, const std::string& column) {
  std::string start, end;
  if (range) {
    start = SqlQuote(CStr(range->Value("StartCode")));
    end = SqlQuote(CStr(range->Value("EndCode")));
  }
  if (!start.empty() && !end.empty())
    return "where (" + column + " >='" + start + "' and " + column + " <='" + end + "')";
  if (!start.empty()) return "where " + column + " >='" + start + "'";
  if (!end.empty()) return "where " + column + " <='" + end + "'";
  return "";
}

std::string WarehouseSummary(const std::string& items, const DictionaryPtr& range) {
  StringBuilder sb;
  sb.Append(kParameters);
  Line(sb, "select l_stock.FItemID,l_stock.FStockID,st.FNumber as FSNumber,"
           "st.FName as FStockName,");
  Line(sb, "  item.FNumber as GoodsCode,item.FName as GoodsName,item.FSource,"
           "isnull(sup.FName,'') as SupplierName,isnull(sup.FItemID,0) as SupplierID,");
  Line(sb, "  item.FUnitID,isnull(mu.FName,'') as FunitName,");
  Line(sb, "  isnull(stk.FQty,0) as StockNum,isnull(tstk.FQty,0) as totalStockNum,");
  Line(sb, "  isnull(ord.FQty,0) as OrderNum,isnull(tord.FQty,0) as totalOrderNum,");
  Line(sb, "  isnull(onway.FQty,0) as OnWayNum,isnull(back.FQty,0) as ReturnedPurchaseNum,");
  Line(sb, "  0 as CanUserNum,0 as PurchaseNum,0 as totalPurchaseNum");
  // Every warehouse that holds the item or that an open line ships it from.
  Line(sb, "from (select FItemID,FStockID from ICInventory with(nolock) where FItemID in " +
               items);
  Line(sb, "      union select e.FItemID,e.FStockID from IC_Web2ERPOrdersEntry e with(nolock) "
           "inner join IC_Web2ERPOrders o with(nolock) on o.FID = e.FID where " +
               std::string(kOpenLine) + " and e.FItemID in " + items + ") l_stock");
  Line(sb, "inner join t_ICItem item with(nolock) on item.FItemID = l_stock.FItemID");
  Line(sb, "left join t_stock st with(nolock) on st.FItemID = l_stock.FStockID");
  Line(sb, "left join t_Supplier sup with(nolock) on sup.FItemID = item.FSource");
  Line(sb, "left join t_MeasureUnit mu with(nolock) on mu.FMeasureUnitID = item.FUnitID");
  Line(sb, "left join " + StockOnHand("FItemID,FStockID") +
               " stk on stk.FItemID = l_stock.FItemID and stk.FStockID = l_stock.FStockID");
  Line(sb, "left join " + StockOnHand("FItemID") + " tstk on tstk.FItemID = l_stock.FItemID");
  Line(sb, "left join " + OrderDemand("e.FItemID,e.FStockID", false) +
               " ord on ord.FItemID = l_stock.FItemID and ord.FStockID = l_stock.FStockID");
  Line(sb, "left join " + OrderDemand("e.FItemID", false) +
               " tord on tord.FItemID = l_stock.FItemID");
  Line(sb, "left join " + GoodsOnOrder() + " onway on onway.FItemID = l_stock.FItemID");
  Line(sb, "left join " + std::string(kGoodsComingBack) +
               " back on back.FItemID = l_stock.FItemID");
  std::string where = CodeRange(range, "item.FNumber");
  if (!where.empty()) Line(sb, where);
  Line(sb, "order by l_stock .FItemID ,l_stock.FStockID asc");
  return sb.ToString();
}

std::string ItemSummary(const std::string& items, const DictionaryPtr& range) {
  StringBuilder sb;
  sb.Append(kParameters);
  Line(sb, "select item.FItemID,item.FUnitID,item.GoodsCode,item.GoodsName,item.FSource,"
           "item.SupplierName,item.SupplierID,");
  Line(sb, "  isnull(stk.FQty,0) as StockNum,isnull(ord.FQty,0) as OrderNum,");
  Line(sb, "  isnull(onway.FQty,0) as OnWayNum,isnull(back.FQty,0) as ReturnedPurchaseNum,");
  Line(sb, "  0 as CanUserNum,0 as PurchaseNum,0 as totalPurchaseNum");
  Line(sb, "from (select i.FItemID,i.FUnitID,i.FNumber as GoodsCode,i.FName as GoodsName,"
           "i.FSource,isnull(s.FName,'') as SupplierName,isnull(s.FItemID,0) as SupplierID");
  Line(sb, "      from t_ICItem i with(nolock) left join t_Supplier s with(nolock) "
           "on s.FItemID = i.FSource");
  Line(sb, "      where i.FItemID in " + items + ") item");
  Line(sb, "left join " + StockOnHand("FItemID") + " stk on stk.FItemID = item.FItemID");
  Line(sb, "left join " + OrderDemand("e.FItemID", true) + " ord on ord.FItemID = item.FItemID");
  Line(sb, "left join " + GoodsOnOrder() + " onway on onway.FItemID = item.FItemID");
  Line(sb, "left join " + std::string(kGoodsComingBack) + " back on back.FItemID = item.FItemID");
  std::string where = CodeRange(range, "item.GoodsCode");
  if (!where.empty()) Line(sb, where);
  return sb.ToString();
}

}  // namespace

RecordsetPtr GetWebOrderEntryDetialSumByFID(Component& self, const std::string& sDsn,
                                            const std::string& sFID, int16_t ipurMode,
                                            const DictionaryPtr& dctParaInfo) {
  return RunMethod(self, "GetWebOrderEntryDetialSumByFID", sDsn, [&](MethodScope& m) {
    std::string items = CandidateItems(CheckKeyList(sFID, "sFID", true));
    std::string sql = ipurMode == kPurchaseModeWarehouse ? WarehouseSummary(items, dctParaInfo)
                                                         : ItemSummary(items, dctParaInfo);
    return m.conn().Execute(sql);
  });
}

std::string CheckOrderMatchGoods(Component& self, const std::string& sDsn,
                                 const std::string& sFID) {
  return RunMethod(self, "CheckOrderMatchGoods", sDsn, [&](MethodScope& m) {
    RecordsetPtr rs = m.conn().Execute(
        "select a.FOrderID ,b.FItemID,b.FStockID  from IC_Web2ERPOrders a  left outer join "
        "IC_Web2ERPOrdersEntry b on a.FID=b.FID where a.FID= " + CheckKey(sFID, "sFID"));
    for (; !rs->Eof(); rs->MoveNext()) {
      const Variant& item = rs->Value("FItemID");
      if (!item.IsNull() && CLng(item) == 0) return CStr(rs->Value("FOrderID"));
    }
    return std::string();
  });
}

int16_t GetPurChaseCheckMode(Component& self, const std::string& sDsn) {
  return RunMethod(self, "GetPurChaseCheckMode", sDsn, [&](MethodScope& m) -> int16_t {
    RecordsetPtr rs = m.conn().Execute(
        "select FValue from t_SystemProfile where FCategory ='EC' and FKey='PurchaseCheckMode'");
    if (rs->Eof()) return 2;
    return CInt(rs->Value("FValue"));
  });
}

VectorPtr CheckPurchaseOnVoid(Component& self, const std::string& sDsn, const std::string& sFID) {
  try {
    return RunMethod(self, "CheckPurchaseOnVoid", sDsn, [&](MethodScope& m) -> VectorPtr {
      RecordsetPtr rs = m.conn().Execute(
          "Select c.FOrderID,a.FSiteOrderID,b.FNumber  From IC_Web2ErpOrdersEntry a\r\n"
          "inner join t_ICItem b on a.FItemID = b.FItemID \r\n"
          "inner join IC_Web2ErpOrders c on a.FID = c.FID \r\n"
          "Where a.FStockID = '' \r\n"
          " And a.FID = " + CheckKey(sFID, "sFID") + "\r\n");
      if (rs->Eof()) return nullptr;
      VectorPtr problems = NewVector();
      for (; !rs->Eof(); rs->MoveNext()) {
        DictionaryPtr d = NewDictionary();
        for (const char* key : {"FSiteOrderID", "FOrderID", "FNumber"})
          d->SetValue(key, rs->Value(key));
        d->SetValue("ErrInfo", Variant(std::string("未设置【发货仓库】")));
        problems->Add(Variant(d));
      }
      return problems;
    });
  } catch (const ComError&) {
    // The screen asks this while voiding; an answer of "no problem found" is what it expects
    // when the check itself could not run.
    return nullptr;
  }
}

}  // namespace ambit
