#include "stock/stock_review.h"

#include <cstdint>
#include <exception>
#include <string_view>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/text_services.h"
#include "frame/unique_code.h"
#include "maintain/status_ops.h"
#include "maintain/status_ops_common.h"

namespace ambit {
namespace {

void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

constexpr char kNoStock[] = "未设置【发货仓库】";
constexpr char kNoPlace[] = "未选择【仓位】";
constexpr char kNoBatch[] = "未选择【批次】";
constexpr char kShort[] = "可用库存不足";

std::string Describe(const std::exception& e) {
  if (auto* com = dynamic_cast<const ComError*>(&e)) return com->description();
  return e.what();
}

DictionaryPtr ErrorEntry(const std::string& description) {
  DictionaryPtr entry = NewDictionary();
  entry->SetValue("Error", Variant(description));
  return entry;
}

// One message per row of `sql`; answers whether there was any.
bool AddMessages(Connection& conn, const std::string& sql, const char* message, Vector& out) {
  bool found = false;
  for (RecordsetPtr rs = conn.Execute(sql); rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    DictionaryPtr entry = NewDictionary();
    entry->SetValue("FSiteOrderID", rs->Value("FSiteOrderID"));
    entry->SetValue("FOrderID", rs->Value("FOrderID"));
    entry->SetValue("FNumber", rs->Value("FNumber"));
    entry->SetValue("ErrInfo", Variant(std::string(message)));
    out.Add(Variant(entry));
    found = true;
  }
  return found;
}

// Needed, on hand and held quantity per line group of one order. `ex` is the variant that
// excludes stock-billed lines with NOT EXISTS and leaves price-change goods out.
std::string QuantitySql(const std::string& fid, bool ex) {
  StringBuilder sb;
  Line(sb, "Select b.FSiteOrderID,b.FOrderID,c.FNumber,a.FID,a.FItemID,a.FBatchNo,a.FSPID,"
           "a.FStockID,a.FQuantity,");
  Line(sb, "(select isnull(sum(t1.FQuantity),0) from IC_Web2ERPOrdersEntry t1 inner join "
           "IC_Web2ERPOrders t2 on t1.FID = t2.FID ");
  if (ex) {
    Line(sb, "WHERE not exists ");
    Line(sb, "(select 1 from ICStockBillEntry t3 inner join ICStockBill t4 on t3.FInterID = "
             "t4.FInterID ");
    Line(sb, "where (t4.FUpStockWhenSave = 1 or t4.FStatus = 1) and t3.FSourceTranType = "
             "'1014301' AND t3.FSourceEntryID = t1.FEntryID) ");
    Line(sb, " and t1.FItemID = a.FItemID and t1.FUnitID = a.FUnitID and t1.FStockID = "
             "a.FStockID and t1.FBatchNo = a.FBatchNo and t1.FSPID = a.FSPID");
  } else {
    Line(sb, "where t1.FItemID = a.FItemID and t1.FUnitID = a.FUnitID and t1.FStockID = "
             "a.FStockID and t1.FBatchNo = a.FBatchNo and t1.FSPID = a.FSPID");
    Line(sb, "And t1.FEntryID not in ");
    Line(sb, "(select FSourceEntryID from ICStockBillEntry t3 inner join ICStockBill t4 on "
             "t3.FInterID = t4.FInterID ");
    Line(sb, "where (t4.FUpStockWhenSave = 1 or t4.FStatus = 1) and t3.FSourceTranType = "
             "'1014301') ");
  }
  Line(sb, " and t2.FCheckStatus = 1 ) FLockNum");
  Line(sb, " ,isnull(e.FQty,0) as FQty from  ");
  Line(sb, "(select FID,FItemID,FStockID,FBatchNo,FSPID,FUnitID,ISNULL(SUM(FQuantity),0) as "
           "FQuantity from IC_Web2ERPOrdersEntry ");
  Line(sb, " group by FItemID,FStockID,FBatchNo,FSPID,FID,FUnitID ) a ");
  Line(sb, "inner join IC_Web2ERPOrders b on a.FID = b.FID ");
  Line(sb, "inner join t_ICItem c on a.FItemID = c.FItemID ");
  Line(sb, "left outer join (Select FItemID,FStockID,Sum(FQty) as FQty,FBatchNo,FStockPlaceID ");
  Line(sb, "from ICInventory group by FItemID,FStockID,FBatchNo,FStockPlaceID) ");
  Line(sb, "e on  e.FItemID = a.FItemID and e.FStockID = a.FStockID and e.FBatchNo = a.FBatchNo "
           "and e.FStockPlaceID = a.FSPID");
  Line(sb, "Where a.FID = " + fid);
  if (ex) {
    Line(sb, " AND NOT EXISTS(SELECT TOP 1 1 FROM IC_GoodsToMateriel WHERE "
             "FMaterielCode=c.FNumber AND FIsPriceChange=1) ");
  }
  return sb.ToString();
}

// Each value is taken as a whole number, halves to the even neighbour, before comparing: a
// need of 2.5 against 2.5 on hand is 2 against 2, a need of 3.5 against 3.4 is 4 against 3.
bool AddShortages(Connection& conn, const std::string& fid, bool ex, Vector& out) {
  bool found = false;
  for (RecordsetPtr rs = conn.Execute(QuantitySql(fid, ex)); rs->IsOpen() && !rs->Eof();
       rs->MoveNext()) {
    int32_t needed = CLng(rs->Value("FQuantity"));
    int32_t on_hand = CLng(rs->Value("FQty"));
    int32_t held = CLng(rs->Value("FLockNum"));
    if (needed <= on_hand - held) continue;
    DictionaryPtr entry = NewDictionary();
    entry->SetValue("FSiteOrderID", rs->Value("FSiteOrderID"));
    entry->SetValue("FOrderID", rs->Value("FOrderID"));
    entry->SetValue("FNumber", rs->Value("FNumber"));
    entry->SetValue("ErrInfo", Variant(std::string(kShort)));
    out.Add(Variant(entry));
    found = true;
  }
  return found;
}

// Runs `checks` and applies the failure rule both check variants share.
template <class Checks>
VectorPtr CollectMessages(Checks&& checks) {
  VectorPtr messages = NewVector();
  try {
    checks(*messages);
  } catch (const std::exception& e) {
    if (messages->Count() > 0) return messages;
    VectorPtr failure = NewVector();
    failure->Add(Variant(ErrorEntry(Describe(e))));
    return failure;
  }
  return messages->Count() > 0 ? messages : nullptr;
}

bool HasError(const Vector& result) {
  for (const Variant& item : result.items()) {
    if (!item.IsObject()) continue;
    auto entry = item.As<Dictionary>();
    if (entry && !CStr(entry->GetValue("Error", Variant(std::string()))).empty()) return true;
  }
  return false;
}

void Review(Component& self, Connection& conn, const std::string& fid, bool ex) {
  std::string now = NowText();
  int32_t serial = GetOrderUniqueID_New(self, conn, 1);
  StringBuilder sb;
  Line(sb, " declare @varUniqueCode as varchar(50)");
  Line(sb, std::string(ex ? " set @varUniqueCode=CONVERT(VARCHAR(6),GETDATE(),112)+'"
                          : " set @varUniqueCode=CONVERT(VARCHAR(6),GETDATE(),112) +'") +
               std::to_string(serial) + "'");
  Line(sb, " Update IC_Web2ERPOrders Set FOrderStatus= 2");
  Line(sb, ",FCheckStatus =1");
  Line(sb, ",FChkDate = '" + now + "'");
  Line(sb, ",FChkMan = " + std::to_string(self.user_login()->UserID()));
  Line(sb, ",FUniqueCode = @varUniqueCode");
  Line(sb, " WHERE  FID = " + fid);
  conn.Execute(sb.ToString());
}

// The keys of the list in order; empty items ("1,2,") are skipped, anything else that is not
// an integer refuses the whole list before any order is touched.
std::vector<std::string> OrderKeys(const std::string& sFIDs) {
  std::vector<std::string> keys;
  for (const std::string& item : SplitKeyList(sFIDs))
    if (!item.empty()) keys.push_back(CheckKey(item, "sFIDs"));
  return keys;
}

// The check of an order reads the quantity that reviewed orders hold, and its review writes
// the order as holding; two calls interleaving between those steps could both take the last
// units. Under our host every AmbitOrderUpdate call runs in one transaction that takes the
// account's write lock when the call opens its connection (writers begin IMMEDIATE), so a second
// review waits until the first has committed and then reads its order as reviewed: check and
// review are one step as far as other writers are concerned. (Without a host transaction the
// race remains, as it does on a database server under read-committed isolation.)
VectorPtr ReviewByStock(Component& self, std::string_view method, const std::string& sDsn,
                        const std::string& sFIDs, bool bChkCurrency, bool ex) {
  VectorPtr result = NewVector();
  try {
    RunMethod(self, method, sDsn, [&](MethodScope& m) {
      for (const std::string& fid : OrderKeys(sFIDs)) {
        bool stopped = false;
        if (bChkCurrency) {
          DictionaryPtr answer;
          if (CheckCurrency(self, sDsn, fid, answer)) continue;
          if (!answer) answer = NewDictionary();
          stopped = !CStr(answer->GetValue("Error", Variant(std::string()))).empty();
          VectorPtr finding = NewVector();
          finding->Add(Variant(answer));
          result->Add(Variant(finding));
        } else {
          VectorPtr found = ex ? CheckOrderStockForReviewEx(m.conn(), fid)
                               : CheckOrderStockForReview(m.conn(), fid);
          if (found) {
            for (const Variant& item : found->items()) result->Add(item);
            stopped = HasError(*result);
          } else {
            Review(self, m.conn(), fid, ex);
          }
        }
        if (stopped) break;
      }
    });
  } catch (const ComError& e) {
    // The frame has aborted the call already; the caller learns of the failure from the list.
    result->Add(Variant(ErrorEntry(e.description())));
  }
  return result;
}

}  // namespace

VectorPtr CheckOrderStockForReview(Connection& conn, const std::string& fid) {
  return CollectMessages([&](Vector& out) {
    StringBuilder sb;
    Line(sb, "Select c.FOrderID,a.FSiteOrderID,b.FNumber  From IC_Web2ErpOrdersEntry a");
    Line(sb, "inner join t_ICItem b on a.FItemID = b.FItemID ");
    Line(sb, "inner join IC_Web2ErpOrders c on a.FID = c.FID ");
    Line(sb, "Where a.FStockID = '' ");
    Line(sb, " And a.FID = " + fid);
    if (AddMessages(conn, sb.ToString(), kNoStock, out)) return;
    sb.Clear();
    Line(sb, "Select c.FOrderID,a.FSiteOrderID,b.FNumber From IC_Web2ErpOrdersEntry a ");
    Line(sb, "inner join t_Stock b on a.FStockID = b.FItemID and b.FIsStockMgr > 0");
    Line(sb, "inner join IC_Web2ErpOrders c on a.FID = c.FID ");
    Line(sb, "Where  a.FSPID = 0 and a.FID = " + fid);
    if (AddMessages(conn, sb.ToString(), kNoPlace, out)) return;
    sb.Clear();
    Line(sb, "Select c.FOrderID,a.FSiteOrderID,b.FNumber From IC_Web2ErpOrdersEntry a ");
    Line(sb, "inner join t_ICItem b on a.FItemID = b.FItemID and b.FBatchManager > 0");
    Line(sb, "inner join IC_Web2ErpOrders c on a.FID = c.FID ");
    Line(sb, "Where  a.FBatchNo = '' and a.FID = " + fid);
    if (AddMessages(conn, sb.ToString(), kNoBatch, out)) return;
    AddShortages(conn, fid, false, out);
  });
}

VectorPtr CheckOrderStockForReviewEx(Connection& conn, const std::string& fid) {
  return CollectMessages([&](Vector& out) { AddShortages(conn, fid, true, out); });
}

VectorPtr SetWebOrderStatusByCheckStock(Component& self, const std::string& sDsn,
                                        const std::string& sFIDs, bool bChkCurrency) {
  return ReviewByStock(self, "SetWebOrderStatusByCheckStock", sDsn, sFIDs, bChkCurrency, false);
}

VectorPtr SetWebOrderStatusByCheckStockEx(Component& self, const std::string& sDsn,
                                          const std::string& sFIDs, bool bChkCurrency) {
  return ReviewByStock(self, "SetWebOrderStatusByCheckStockEx", sDsn, sFIDs, bChkCurrency, true);
}

VectorPtr SetWebOrderStatusByCheckStockNew(Component& self, const std::string& sDsn,
                                           const std::string& sFIDs) {
  VectorPtr result = NewVector();
  if (sFIDs.empty()) return result;
  try {
    RunMethod(self, "SetWebOrderStatusByCheckStockNew", sDsn, [&](MethodScope& m) {
      std::string list = CheckKeyList(sFIDs, "sFIDs");
      RecordsetPtr rs = m.conn().Execute("EXEC p_CheckWebOrder '" + list + "'," +
                                         std::to_string(self.user_login()->UserID()) + ",0,0");
      for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
        DictionaryPtr entry = NewDictionary();
        entry->SetValue("FID", rs->Value("FID"));
        entry->SetValue("FOrderID", rs->Value("FOrderID"));
        entry->SetValue("FNumber", rs->Value("FNumber"));
        entry->SetValue("ErrInfo", Variant(std::string(kShort) + "!"));
        result->Add(Variant(entry));
      }
    });
  } catch (const ComError& e) {
    result->Add(Variant(ErrorEntry(e.description())));
  }
  return result;
}

}  // namespace ambit
