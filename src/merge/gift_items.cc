#include "merge/gift_items.h"

#include <unordered_map>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "maintain/services.h"
#include "maintain/status_ops.h"

namespace ambit {
namespace {

DictionaryPtr DictionaryAt(const VectorPtr& items, int position) {
  const Variant& item = items->Item(position);
  return item.IsObject() ? item.As<Dictionary>() : nullptr;
}

bool HasAll(const DictionaryPtr& d, std::initializer_list<const char*> keys) {
  if (!d) return false;
  for (const char* key : keys)
    if (!d->Lookup(key)) return false;
  return true;
}

// Gift values go into the insert bare, so they must be numbers. The two optional ones are 0
// when the client leaves them out.
std::string NumberOf(const DictionaryPtr& gift, const char* key, bool optional = false) {
  Variant value;
  if (!gift->Lookup(key, &value) || value.IsEmpty()) {
    if (optional) return "0";
  }
  std::string text = value.IsNull() ? std::string() : CStr(value);
  if (!IsNumericText(text)) {
    throw ComError(err::kTypeMismatch, "ambit-order",
                   "The gift's " + std::string(key) + " '" + text + "' is not a number.");
  }
  return text;
}

struct Gift {
  std::string item, unit, quantity, aux_prop, goods_number;
};

std::string FirstValue(Connection& conn, const std::string& sql, const std::string& none) {
  RecordsetPtr rs = conn.Execute(sql);
  if (!rs->IsOpen() || rs->Eof() || rs->Value(0).IsNull()) return none;
  return CStr(rs->Value(0));
}

// Recomputes the stock figures of the orders, one procedure call per shop and shop type.
void UpdateOrderStockPerShop(Connection& conn, const std::string& list) {
  const std::string orders =
      "(select t1.FID ,isNull(t2.FWebshopID,'') as FWebshopID,isNull(t2.FWebShopType,-1) as "
      "FWebShopType from IC_Web2ERPOrders t1";
  StringBuilder sb;
  sb.Append(" select FID=STUFF( \r\n");
  sb.Append("        (select ','+cast( b.FID as varchar) \r\n");
  sb.Append("        From\r\n");
  sb.Append("        " + orders + "\r\n");
  sb.Append(" left join IC_WebshopToStorage t2 on t1.FWebshopID=t2.FWebshopID\r\n");
  sb.Append(" where t1.FID in ( " + list + ")\r\n");
  sb.Append(" )AS b\r\n");
  sb.Append("Where a.FWebshopID = b.FWebshopID And a.FWebShopType = b.FWebShopType\r\n");
  sb.Append("for XML path('')) ,1,1,'')\r\n");
  sb.Append(",a.FWebshopID ,a.FWebShopType\r\n");
  sb.Append("from " + orders + "\r\n");
  sb.Append("left join IC_WebshopToStorage t2 on t1.FWebshopID=t2.FWebshopID\r\n");
  sb.Append(" where t1.FID in ( " + list + ") ) AS a\r\n");
  sb.Append(" group by a.FWebshopID,a.FWebShopType\r\n");
  RecordsetPtr rs = conn.Execute(sb.ToString());
  StringBuilder calls;
  for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    calls.Append("exec P_UpdateWebOrderStock '" + SqlQuote(CStr(rs->Value("FWebshopID"))) +
                 "', " + CStr(rs->Value("FWebShopType")) + ", '" +
                 SqlQuote(CStr(rs->Value("FID"))) + "'\r\n");
  }
  if (calls.Length() > 0) conn.Execute(calls.ToString());
}

}  // namespace

int32_t BatchInsertGiftItems(Component& self, const std::string& sDsn, const VectorPtr& vctOrders,
                             const VectorPtr& vctOrderEntry) {
  if (!vctOrders) return gift_refusal::kNoOrders;
  if (!vctOrderEntry) return gift_refusal::kNoGifts;
  if (vctOrders->Count() == 0 || vctOrderEntry->Count() == 0) return gift_refusal::kEmpty;
  if (!HasAll(DictionaryAt(vctOrders, 1), {"FID", "FSiteOrderID"}))
    return gift_refusal::kOrderIncomplete;
  if (!HasAll(DictionaryAt(vctOrderEntry, 1), {"FItemID", "FUnitID", "FQuantity"}))
    return gift_refusal::kGiftIncomplete;

  return RunMethod(self, "BatchInsertGiftItems", sDsn, [&](MethodScope& m) {
    std::vector<Gift> gifts;
    for (int j = 1; j <= vctOrderEntry->Count(); ++j) {
      DictionaryPtr gift = DictionaryAt(vctOrderEntry, j);
      if (!gift) throw ComError(err::kTypeMismatch, "ambit-order", "A gift is not a Dictionary.");
      gifts.push_back({NumberOf(gift, "FItemID"), NumberOf(gift, "FUnitID"),
                       NumberOf(gift, "FQuantity"), NumberOf(gift, "FAuxPropID", true),
                       NumberOf(gift, "FGoodsNumber", true)});
    }
    // Within the call the bar code depends on the item alone.
    std::unordered_map<std::string, std::string> bar_codes;
    std::vector<std::string> fids;
    StringBuilder sb;
    int statements = 0;
    for (int i = 1; i <= vctOrders->Count(); ++i) {
      DictionaryPtr order = DictionaryAt(vctOrders, i);
      if (!order)
        throw ComError(err::kTypeMismatch, "ambit-order", "An order is not a Dictionary.");
      std::string fid = CheckKey(CStr(order->Value("FID")), "FID");
      fids.push_back(fid);
      int32_t cur_max = CLng(Variant(FirstValue(
          m.conn(),
          "SELECT ISNULL(Max(FIndex),0) As CUR_MAX FROM IC_Web2ERPOrdersEntry Where FID = " + fid,
          "0")));
      std::string stock = FirstValue(
          m.conn(),
          "SELECT isnull(a.FStockID,0) as FStockID FROM IC_WebshopToStorage a inner join "
          "IC_Web2ERPOrders b on a.FWebshopID = b.FWebShopID WHERE b.FID =" + fid,
          "0");
      for (size_t j = 0; j < gifts.size(); ++j) {
        const Gift& gift = gifts[j];
        auto code = bar_codes.find(gift.item);
        if (code == bar_codes.end()) {
          code = bar_codes
                     .emplace(gift.item,
                              FirstValue(m.conn(),
                                         "SELECT top 1 FBarCode FROM t_BarCode WHERE FTypeID = 4 "
                                         "And FItemID = " + gift.item,
                                         ""))
                     .first;
        }
        sb.Append("INSERT INTO IC_Web2ERPOrdersEntry(FID, FIndex, FItemID, FUnitID, FQuantity, "
                  "FAttrCode, FIsFree, FBarCode,FStockID,FPackagedGoods) VALUES (" + fid + "," +
                  std::to_string(cur_max + static_cast<int32_t>(j) + 1) + "," + gift.item + "," +
                  gift.unit + "," + gift.quantity + "," + gift.aux_prop + ", '1', '" +
                  SqlQuote(code->second) + "'," + stock + "," + gift.goods_number + ")\r\n");
        if (++statements == kGiftInsertBatch) {
          m.conn().Execute(sb.ToString());
          sb.Clear();
          statements = 0;
        }
      }
    }
    if (sb.ToString().find_first_not_of(" \r\n\t") != std::string::npos)
      m.conn().Execute(sb.ToString());

    std::string list = JoinKeyList(fids);
    StringBuilder site;
    site.Append("UPDATE t1\r\n");
    site.Append("SET t1.FSiteOrderID = t2.FSiteOrderID\r\n");
    site.Append("FROM IC_Web2ERPOrdersEntry t1\r\n");
    site.Append("INNER JOIN IC_Web2ERPOrders t2 WITH(NOLOCK) ON t1.FID = t2.FID\r\n");
    site.Append("WHERE t2.FID IN (" + list + ") AND t1.FIsFree = 1\r\n");
    m.conn().Execute(site.ToString());
    UpdateOrderStockPerShop(m.conn(), list);
    return int32_t{0};
  });
}

int32_t MergeGiftItems(Component& self, const std::string& sDsn) {
  return RunMethod(self, "MergeGiftItems", sDsn, [&](MethodScope& m) {
    StringBuilder query;
    query.Append(" Select t1.FID,t1.FItemID,t1.FStockID,Min(t1.FEntryID) As FEntryID,"
                 "SUM(FQuantity) As FQuantity \r\n");
    query.Append(" from IC_Web2ERPOrdersEntry t1 Left join IC_Web2ERPOrders t2 on "
                 "t1.FID=t2.FID \r\n");
    query.Append(" Where t1.FIsFree = 1 And t2.FOrderStatus = 1 \r\n");
    query.Append(" Group by t1.FID, t1.FItemID,t1.FStockID Having(Count(t1.FEntryID))>1\r\n");
    RecordsetPtr rs = m.conn().Execute(query.ToString());
    StringBuilder sb;
    for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      std::string fid = CStr(rs->Value("FID"));
      std::string entry = CStr(rs->Value("FEntryID"));
      sb.Append(" Update IC_Web2ERPOrdersEntry Set FQuantity = " +
                CStr(rs->Value("FQuantity")) + "\r\n");
      sb.Append(" ,FCreateDate =getdate()\r\n");
      sb.Append(" Where FID=" + fid + " and FEntryID=" + entry + "\r\n");
      sb.Append(" Delete IC_Web2ERPOrdersEntry Where FID=" + fid + " and FItemID=" +
                CStr(rs->Value("FItemID")) + " and FStockID=" + CStr(rs->Value("FStockID")) +
                " and FIsFree=1 " + "and FEntryID<>" + entry + "\r\n");
    }
    if (sb.Length() > 0) m.conn().Execute(sb.ToString());
    return int32_t{0};
  });
}

void AddGiftWhenMergeOrder(Component& self, const std::string& sDsn, const std::string& sFIDs) {
  if (sFIDs.empty()) return;
  RunMethod(self, "AddGiftWhenMergeOrder", sDsn, [&](MethodScope& m) {
    std::string list = CheckKeyList(sFIDs, "sFIDs");
    if (GetEnablePromotionSaleManage(self, m.sDsn)) return;
    RecordsetPtr rs = m.conn().Execute("SELECT * FROM IC_Web2ERPOrders WHERE FID IN(" + list +
                                       ")And FOrderStatus=2");
    if (!rs->IsOpen() || rs->Eof()) return;
    std::string order_ids;
    CallAddGiftService(self, m.sDsn, list, order_ids);
  });
}

}  // namespace ambit
