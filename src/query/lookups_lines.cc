// Lookups that read order lines: warnings, stock shortfalls, overdue orders, invoicing amounts,
// the lines in the caller's order and the purchase view of the orders.
#include <vector>

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/lookups.h"
#include "query/lookups_internal.h"
#include "schema/names.h"

namespace ambit {

namespace lookups_internal {

// The warning columns of order lines. `line_messages` off leaves the line halves of the two
// message tests commented out, so that only the header's messages count.
std::string EarlyWarningSelect(bool line_messages) {
  const std::string open = line_messages ? "OR " : "/*OR ";
  const std::string close = line_messages ? " " : "*/ ";
  StringBuilder sb;
  Line(sb, "SELECT iwee.FID, ");
  Line(sb, "       iwee.FEntryID, ");
  Line(sb, "       CASE ");
  Line(sb, "            WHEN iwe.FTransactionStatus = 38196 THEN 1 ");
  Line(sb, "            ELSE 0 ");
  Line(sb, "       END AS FTransactionStatus, ");
  for (const char* column : {"FBuyerMessage", "FSellerMessage"}) {
    std::string c = column;
    Line(sb, "       CASE ");
    Line(sb, "            WHEN CONVERT(NVARCHAR(255), iwe." + c + ") <> '' " + open +
                 "CONVERT(NVARCHAR(255), iwee." + c + ") <> ''" + close + "THEN 1 ");
    Line(sb, "            ELSE 0 ");
    Line(sb, "       END AS " + c + ", ");
  }
  Line(sb, "       iwee.FRefundStatus ");
  Line(sb, "FROM   IC_Web2ERPOrders iwe ");
  Line(sb, "       LEFT JOIN IC_Web2ERPOrdersEntry iwee ");
  Line(sb, "            ON  iwee.FID = iwe.FID ");
  return sb.ToString();
}

}  // namespace lookups_internal

namespace {

using lookups_internal::KeyItems;
using lookups_internal::Line;

constexpr size_t kTempInsertBatch = 5000;

// The "FID" of a parameter item when it is a number; items without one are skipped.
bool NumericItemValue(const Variant& item, const char* key, std::string* value) {
  DictionaryPtr d = item.As<Dictionary>();
  if (!d) return false;
  const Variant& v = d->Value(key);
  if (v.IsNull() || v.IsEmpty() || v.IsObject() || !IsNumeric(v)) return false;
  // Numeric text may carry blanks around it; the statement gets the number alone.
  *value = FormatNumber(CDbl(v));
  return true;
}

// A value inside a quoted recordset-filter literal.
std::string FilterText(const Variant& v) {
  std::string text = TextOrEmpty(v);
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace

std::string FillTempFIDs(const std::string& keys, Connection& conn) {
  std::vector<std::string> items = KeyItems(keys, "FID list");
  conn.Execute("if object_id('tempdb..#TmpFIDs') is not null\r\ndrop table #TmpFIDs\r\n");
  conn.Execute("Create Table #TmpFIDs(FID int) ");
  StringBuilder sb;
  size_t pending = 0;
  for (const std::string& key : items) {
    sb.Append(" Insert Into #TmpFIDs(FID) Values(" + key + ") ");
    if (++pending == kTempInsertBatch) {
      conn.Execute(sb.ToString());
      sb.Clear();
      pending = 0;
    }
  }
  if (pending > 0) conn.Execute(sb.ToString());
  return "#TmpFIDs";
}

RecordsetPtr GetEarlyWarningInfo(Component& self, const std::string& strDSN,
                                 const VectorPtr& vctParam) {
  return RunMethod(self, "GetEarlyWarningInfo", strDSN, [&](MethodScope& m) -> RecordsetPtr {
    std::string condition;
    if (vctParam) {
      for (const Variant& item : vctParam->items()) {
        std::string fid;
        if (!NumericItemValue(item, "FID", &fid)) continue;
        std::string entry;
        if (NumericItemValue(item, "FEntryID", &entry)) {
          condition = FormatTemplate(" %1 OR  (iwe.FID = %2 AND iwee.FEntryID = %3) ",
                                     {Variant(condition), Variant(fid), Variant(entry)});
        } else {
          condition = FormatTemplate(" %1 OR  iwe.FID = %2 ", {Variant(condition), Variant(fid)});
        }
      }
    }
    if (condition.empty()) return nullptr;
    std::string sql = lookups_internal::EarlyWarningSelect(true) + "Where (1 = 2) " + condition +
                      "\r\n";
    return m.conn().Execute(sql);
  });
}

RecordsetPtr GetIsOutStockByFIDs(Component& self, const std::string& sDsn,
                                 const std::string& sFIDs) {
  return RunMethod(self, "GetIsOutStockByFIDs", sDsn, [&](MethodScope& m) -> RecordsetPtr {
    if (sFIDs.empty()) return nullptr;
    KeyItems(sFIDs, "sFIDs");
    RecordsetPtr stock = m.conn().Execute("EXEC P_GetAllStockNew '" + sFIDs + "'");
    std::string tmp = FillTempFIDs(sFIDs, m.conn());
    StringBuilder sb;
    Line(sb, "Select distinct a.FID,a.FItemID,a.FStockID,a.FBatchNo,a.FSPID,a.FQuantity");
    Line(sb, ",isnull(c.FIsPriceChange,0) as FIsPriceChange");
    Line(sb, "From IC_Web2ERPOrdersEntry a ");
    Line(sb, "inner join t_ICItem b on a.FitemID = b.FItemID ");
    Line(sb, "inner join " + tmp + " d on d.FID = a.FID");
    Line(sb, "left outer Join IC_GoodsToMateriel c on b.FNumber = c.FMaterielCode");
    Line(sb, "DROP TABLE #TmpFIDs");
    RecordsetPtr lines = m.conn().Execute(sb.ToString());

    auto result = std::make_shared<Recordset>();
    result->AppendField(FieldInfo{"FID", DataType::kNumeric, 0, 10, 0});
    result->Open();
    bool has_stock = stock && stock->IsOpen();
    for (; !lines->Eof(); lines->MoveNext()) {
      bool covered = false;
      if (has_stock) {
        stock->SetFilter(FormatTemplate(
            "FItemID = %1 And FStockID = %2 And FBatchNo = '%3' And FSPID = %4 And FStockQty >= %5",
            {Variant(TextOrEmpty(lines->Value("FItemID"))), Variant(TextOrEmpty(lines->Value("FStockID"))),
             Variant(FilterText(lines->Value("FBatchNo"))), Variant(TextOrEmpty(lines->Value("FSPID"))),
             Variant(TextOrEmpty(lines->Value("FQuantity")))}));
        covered = !stock->Eof();
      }
      const Variant& price_change = lines->Value("FIsPriceChange");
      if (!covered && (price_change.IsNull() || CDbl(price_change) == 0)) {
        result->AddNew();
        result->SetValue("FID", lines->Value("FID"));
        result->Update();
      }
      if (has_stock) stock->SetFilter("");
    }
    if (result->RecordCount() > 0) result->MoveFirst();
    return result;
  });
}

RecordsetPtr GetDelayedOrderInfo(Component& self, const std::string& strDSN,
                                 const VectorPtr& vctParam, int32_t lDelayedOrderHour) {
  return RunMethod(self, "GetDelayedOrderInfo", strDSN, [&](MethodScope& m) -> RecordsetPtr {
    std::string list;
    if (vctParam) {
      for (const Variant& item : vctParam->items()) {
        std::string fid;
        if (!NumericItemValue(item, "FID", &fid)) continue;
        if (!list.empty()) list += ",";
        list += fid;
      }
    }
    if (list.empty()) return nullptr;
    StringBuilder sb;
    Line(sb, " SELECT FID ,FTransactionStatus ");
    Line(sb, " From IC_Web2ERPOrders ");
    Line(sb, " Where 1 = 1 ");
    Line(sb, FormatTemplate("        AND DATEDIFF(n, FSitePayDate, GETDATE()) >= 60*%1 ",
                            {Variant(lDelayedOrderHour)}));
    Line(sb, FormatTemplate("        AND FID IN (%1)", {Variant(list)}));
    return m.conn().Execute(sb.ToString());
  });
}

RecordsetPtr GetInoviceLinkInfo(Component& self, const std::string& strDSN,
                                const std::string& strFIDs) {
  return RunMethod(self, "GetInoviceLinkInfo", strDSN, [&](MethodScope& m) {
    std::string keys = CheckKeyList(strFIDs, "strFIDs");
    Variant merge_value = GetSystemProfile(m.self.call_context(),
                                           schema::code::kProfileMergeFreightToAmount,
                                           schema::code::kProfileCategory, Variant(1));
    bool merge = CDbl(merge_value) != 0;
    StringBuilder sb;
    Line(sb, "SELECT iwee.FID, ");
    Line(sb, "       iwee.FEntryID, ");
    Line(sb, "       iwee.FAmount, ");
    if (merge) {
      // The freight is folded into the discount; that column keeps the client's unnamed shape.
      Line(sb, "       0 as FBuyerFreight, ");
      Line(sb, "       iwee.FDiscountFee - iwee.FBuyerFreight, ");
      Line(sb, "       iwee.FBuyerFreight as FRealFreight, ");
    } else {
      Line(sb, "       FBuyerFreight, ");
      Line(sb, "       iwee.FDiscountFee, ");
      Line(sb, "       0 as FRealFreight, ");
    }
    Line(sb, "       iwee.FIsFree ");
    Line(sb, "FROM   IC_Web2ERPOrdersEntry iwee ");
    Line(sb, FormatTemplate("WHERE  iwee.FID IN (%1) ", {Variant(keys)}));
    Line(sb, "And iwee.FItemID NOT IN (SELECT t2.FItemID FROM ic_goodstomateriel t1,t_ICItem t2 "
             "where t1.FMaterielCode=t2.FNumber AND t1.FIsPriceChange=1)");
    Line(sb, "ORDER BY ");
    Line(sb, "       iwee.FID, ");
    Line(sb, "       iwee.FEntryID");
    return m.conn().Execute(sb.ToString());
  });
}

RecordsetPtr GetSortRs(Component& self, const std::string& strDSN, const std::string& strFIDs) {
  return RunMethod(self, "GetSortRs", strDSN, [&](MethodScope& m) {
    std::vector<std::string> keys = KeyItems(strFIDs, "strFIDs");
    std::string tmp = FillTempFIDs(strFIDs, m.conn());
    StringBuilder sb;
    Line(sb, "SELECT iwee.FID, ");
    Line(sb, "       1014300 AS FClassTypeID, ");
    Line(sb, "       iwee.FEntryID, ");
    Line(sb, "       iwee.FIndex ");
    Line(sb, "FROM   IC_Web2ERPOrdersEntry iwee ");
    Line(sb, FormatTemplate(" INNER JOIN  %1 tmp on iwee.FID = tmp.FID", {Variant(tmp)}));
    RecordsetPtr lines = m.conn().Execute(sb.ToString());

    auto sorted = std::make_shared<Recordset>();
    for (const FieldInfo& f : lines->fields())
      sorted->AppendField(f.name, f.type, f.defined_size);
    sorted->Open();
    for (const std::string& key : keys) {
      lines->SetFilter(FormatTemplate("FID = %1", {Variant(key)}));
      for (; !lines->Eof(); lines->MoveNext()) {
        sorted->AddNew();
        for (const char* field : {"FID", "FCLASSTYPEID", "FEntryID", "FIndex"})
          sorted->SetValue(field, lines->Value(field));
        sorted->Update();
      }
    }
    lines->SetFilter("");
    if (sorted->RecordCount() > 0) sorted->MoveFirst();
    return sorted;
  });
}

RecordsetPtr GetWebOrderEntrySumByFID(Component& self, const std::string& sDsn,
                                      const std::string& sFID) {
  return RunMethod(self, "GetWebOrderEntrySumByFID", sDsn, [&](MethodScope& m) {
    std::string keys = CheckKeyList(sFID, "sFID");
    StringBuilder sb;
    Line(sb, "select item.FItemID,item.FUnitID, item.GoodsCode,item.GoodsName,item.OrderNum,"
             "0 as StockNum");
    Line(sb, ",0 as CanUserNum,isnull((onway.FtotalNum-onway.FInNum),0) as OnWayNum,"
             "0 as PurchaseNum,item.FSource ,item.SupplierName");
    // What the orders ask for, per item and unit.
    Line(sb, "from (select t2.FItemID,t1.FUnitID,t2.FNumber as GoodsCode,t2.FName as GoodsName,"
             "sum(t1.FQuantity) as OrderNum,");
    Line(sb, "       t2.FSource,isnull(t5.FName,'') as SupplierName");
    Line(sb, "      from IC_Web2ERPOrdersEntry t1");
    Line(sb, "      inner join t_ICItem t2 on t1.FItemID=t2.FItemID");
    Line(sb, "      left join t_Stock t3 on t1.FStockID=t3.FItemID");
    Line(sb, "      left join t_StockPlace t4 on t1.FSPID=t4.FSPID");
    Line(sb, "      left join t_Supplier t5 on t2.FSource=t5.FItemID");
    Line(sb, "      where t1.FID in (" + keys + ")");
    Line(sb, "      group by t2.FNumber,t2.FName,t2.FItemID,t1.FUnitID,t2.FSource,t5.FName) item");
    // Goods on order from suppliers: ordered minus what stock receipts took in against
    // purchase orders.
    Line(sb, "left join (select po.FItemID,po.FtotalNum,isnull(rv.FInNum,0) as FInNum");
    Line(sb, "      from (select FItemID,sum(FQty) as FtotalNum from POOrderEntry group by "
             "FItemID) po");
    Line(sb, "      left join (select t1.FItemID,sum(t1.FQty) as FInNum from ICStockBillEntry t1");
    Line(sb, "                 inner join ICStockBill t2 on t1.FInterID=t2.FInterID");
    Line(sb, "                 where t1.FSourceTranType = 71 and (t2.FUpStockWhenSave =1 OR "
             "t2.FStatus = 1)");
    Line(sb, "                 group by t1.FItemID) rv on rv.FItemID=po.FItemID) onway");
    Line(sb, "  on onway.FItemID=item.FItemID");
    Line(sb, "order by item.GoodsCode");
    return m.conn().Execute(sb.ToString());
  });
}

}  // namespace ambit
