#include "stock/batch_fill.h"

#include <string_view>
#include <vector>

#include "base/conversions.h"
#include "frame/host_services.h"
#include "frame/text_services.h"
#include "stock/batch_plan.h"

namespace ambit {
namespace {

void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

// The key list the batch statements take: keys above 0, each followed by " ,", without the
// last character.
std::string OrderKeyList(const Vector& keys) {
  std::string list;
  for (const Variant& item : keys.items()) {
    if (!IsNumeric(item) || CDbl(item) <= 0) continue;
    list += std::to_string(CLng(item)) + " ,";
  }
  if (!list.empty()) list.pop_back();
  return list;
}

// Lines of open trades on orders without a refund in progress. The line columns carry the
// lines' alias: the header has columns of the same names (FBatchNo, FStockID ...).
constexpr char kOpenLinesWhere[] =
    " AND (\r\n"
    "   (t1.FStatus <> '' and t1.FStatus not in ('TRADE_FINISHED','TRADE_CLOSED',"
    "'TRADE_WAIT_BUYER_CONFIRM_GOODS'))\r\n"
    "  or \r\n"
    "  (t1.FStatus = '' and t2.FTransactionStatus not in (38193,38194,38195)))\r\n"
    " AND (Select Max(t3.FRefundStatus - isnull(ri1.FIsRefuse,0)) From IC_Web2ERPOrdersEntry t3 "
    "left join IC_RefundInfo ri1 \r\n"
    "ON t3.FRefundFID = ri1.FID Where t3.FID=t1.FID) <= 0 \r\n";

ItemTotals ReadItemTotals(Connection& conn, const std::string& list) {
  StringBuilder sb;
  Line(sb, "SELECT t1.Fid,t1.FItemID, sum(t1.FQuantity) as FTDTMQuantity   FROM "
           "IC_Web2ERPOrdersEntry  t1");
  Line(sb, "left join IC_Web2ERPOrders t2 on t1.FID = t2.FID WHERE t1.FEntryID in (" + list + ")");
  sb.Append(kOpenLinesWhere);
  Line(sb, " GROUP BY  t1.Fid,t1.FItemID ");
  ItemTotals totals;
  for (RecordsetPtr rs = conn.Execute(sb.ToString()); rs->IsOpen() && !rs->Eof(); rs->MoveNext())
    totals[{CLng(rs->Value("Fid")), CLng(rs->Value("FItemID"))}] =
        CDbl(rs->Value("FTDTMQuantity"));
  return totals;
}

double Num(const Variant& v) { return v.IsNull() || v.IsEmpty() ? 0 : CDbl(v); }

std::vector<BatchLine> ReadLines(Connection& conn, const std::string& list) {
  StringBuilder sb;
  Line(sb, "SELECT t1.FEntryID, t1.FItemID,t1.FStockID, t1.FQuantity, t1.FBatchNo,t1.FSPID, "
           "t1.Fid ,t1.FBuyerFreight,t1.FAmount,t1.FPrice,t1.FDiscountFee,"
           "t1.FAfterDiscountAmount FROM IC_Web2ERPOrdersEntry  t1");
  Line(sb, "left join IC_Web2ERPOrders t2 on t1.FID = t2.FID WHERE t1.FEntryID in (" + list + ")");
  sb.Append(kOpenLinesWhere);
  Line(sb, " order by t1.FID,t1.FItemID");
  std::vector<BatchLine> lines;
  for (RecordsetPtr rs = conn.Execute(sb.ToString()); rs->IsOpen() && !rs->Eof();
       rs->MoveNext()) {
    BatchLine line;
    line.entry_id = CLng(rs->Value("FEntryID"));
    line.fid = CLng(rs->Value("Fid"));
    line.item_id = CLng(rs->Value("FItemID"));
    line.stock_id = CLng(rs->Value("FStockID"));
    line.sp_id = CLng(rs->Value("FSPID"));
    line.quantity = Num(rs->Value("FQuantity"));
    line.price = Num(rs->Value("FPrice"));
    line.freight = Num(rs->Value("FBuyerFreight"));
    line.discount = Num(rs->Value("FDiscountFee"));
    line.after_discount = Num(rs->Value("FAfterDiscountAmount"));
    lines.push_back(line);
  }
  return lines;
}

// Batches in stock less what open web order lines of batch-managed items already hold of them,
// in the rule's order.
std::vector<StockBatch> ReadBatches(Connection& conn, int16_t rule) {
  StringBuilder sb;
  Line(sb, "SELECT t9.FItemID,t9.FStockID,t9.FBatchNo,t9.FQty-ISNULL(HasBatNoZYQty,0) AS FQty,");
  Line(sb, "DATEADD(dd,t9.FKFPeriod,t9.FKFDate) AS FKFDate,t9.FStockPlaceID AS FSPID");
  Line(sb, "FROM ICInventory t9");
  Line(sb, "LEFT JOIN (SELECT t1.FItemID,t1.FBatchNo,t1.FStockID,SUM(t1.FQuantity) AS "
           "HasBatNoZYQty");
  Line(sb, "  FROM IC_Web2ERPOrdersEntry t1 INNER JOIN IC_Web2ERPOrders t2 ON t1.FID = t2.FID");
  Line(sb, "  WHERE t1.FBatchNo <>''");
  Line(sb, "  AND t1.FItemID IN(Select FItemID From t_ICItem Where (FBatchManager =1 Or "
           "FISKFPeriod=1))");
  Line(sb, "  AND t2.FOrderStatus & 8 <> 8 AND t1.FIsRowClose = 0");
  Line(sb, "  AND ((t1.FStatus <> '' and t1.FStatus not in ('TRADE_FINISHED','TRADE_CLOSED',"
           "'TRADE_WAIT_BUYER_CONFIRM_GOODS'))");
  Line(sb, "    or (t1.FStatus = '' and t2.FTransactionStatus not in (38193,38194,38195)))");
  Line(sb, "  AND t1.FEntryID NOT IN (select t7.FSourceEntryID from ICStockBillEntry t7 inner "
           "join ICStockBill t8 on t7.FInterID = t8.FInterID");
  Line(sb, "    where t8.FUpStockWhenSave + t8.FStatus > 0 and t7.FSourceTranType = '1014301')");
  Line(sb, "  AND (t2.FPreChkMan > 0 or t2.FCheckStatus = 1 or Exists(select 1 from "
           "t_SystemProfile where FCategory = 'EC' And FKey = 'PreCheckOnStock' And FValue = 0))");
  Line(sb, "  GROUP BY t1.FItemID,t1.FBatchNo,t1.FStockID) M");
  Line(sb, "ON M.FItemID =t9.FItemID AND (M.FStockID = t9.FStockID or M.FStockID = '0') AND  "
           "M.FBatchNo= T9.FBatchNo");
  Line(sb, "where T9.FBatchNo<>''  and t9.FQty-ISNULL(HasBatNoZYQty,0)>0");
  switch (rule) {
    case auto_batch::kByExpiry: Line(sb, "order by FKFDate asc"); break;
    case auto_batch::kByBatchNumber: Line(sb, "order by FBatchNo asc"); break;
    default: Line(sb, "order by FQty asc"); break;
  }
  std::vector<StockBatch> batches;
  for (RecordsetPtr rs = conn.Execute(sb.ToString()); rs->IsOpen() && !rs->Eof();
       rs->MoveNext()) {
    StockBatch b;
    b.item_id = CLng(rs->Value("FItemID"));
    b.stock_id = CLng(rs->Value("FStockID"));
    b.batch_no = CStr(rs->Value("FBatchNo"));
    b.qty = Num(rs->Value("FQty"));
    b.sp_id = CLng(rs->Value("FSPID"));
    batches.push_back(std::move(b));
  }
  return batches;
}

std::string Text(double value) { return CStr(Variant(value)); }

std::string Unquoted(std::string batch_no) {
  std::erase(batch_no, '\'');
  return batch_no;
}

void AppendUpdate(StringBuilder& sb, const LinePart& p) {
  Line(sb, FormatTemplate(
               "UPDATE IC_Web2ERPOrdersEntry SET FBatchNo = '%1',FQuantity = %2,FStockID = %3,"
               "FSPID = %4,FBuyerFreight=%5,FDiscountFee=%6,FAfterDiscountAmount=%7,FAmount=%8 "
               "WHERE FEntryID = ",
               {Variant(Unquoted(p.batch_no)), Variant(Text(p.quantity)),
                Variant(std::to_string(p.stock_id)), Variant(std::to_string(p.sp_id)),
                Variant(Text(p.freight)), Variant(Text(p.discount)),
                Variant(Text(p.after_discount)), Variant(Text(p.amount))}) +
               std::to_string(p.source_entry_id));
}

// A new line copied from the part's source line, with the part's own batch, place, warehouse,
// quantity and money.
void AppendInsert(StringBuilder& sb, const LinePart& p) {
  Line(sb, "Insert into IC_Web2ERPOrdersEntry(FID,FIndex,FSiteOrderID,FOrderID,FItemID,FUnitID,"
           "FQuantity,FBatchNo,FSPID,FAttrCode,FPrice,FAmount,FStockID,FBuyerMessage,"
           "FSellerMessage,FStatus,FRealStock,FAvailStock,FCreatedate,FModifydate,"
           "FBuyerAppraisal,FBuyerAppraisalText,FSellerAppraisal,FSellerAppraisalText,"
           "FChildOrderID,FPreParentID,FRefundStatus,FRefundID,FRefundAmount,FRefusedQuantity,"
           "FRefuseddate,FBackWarehouse,FBackMan,FNumID,FSKUID,FBackChangeQuantity,FIsFree,"
           "FDiscountFee,FIsProductMeal,FMealID,FMealName,FRefuseRem,FChangeRem,FSaleStatus,"
           "FApplyDate,FApplyRem,FRateStatus,FCheckedQuantity,FBuyerFreight,FBarCode,"
           "FReceiptQty,FRowClosed,FIsRowClose,FAuxQtyInvoice,FID_SRC,FEntryID_SRC,"
           "FClassID_SRC,FBillNO_SRC,FAfterDiscountAmount,FPackagedGoods,"
           "FPackagedGoodsFIndex)");
  Line(sb, "SELECT FID,FIndex,FSiteOrderID,FOrderID,FItemID,FUnitID," + Text(p.quantity) +
               " as FQuantity,'" + Unquoted(p.batch_no) + "' as FBatchNo ," +
               std::to_string(p.sp_id) + " as FSPID,FAttrCode,FPrice,'" + Text(p.amount) +
               "' as FAmount,'" + std::to_string(p.stock_id) +
               "' as FStockID,FBuyerMessage,FSellerMessage,FStatus,FRealStock,FAvailStock,"
               "FCreatedate,FModifydate,FBuyerAppraisal,FBuyerAppraisalText,FSellerAppraisal,"
               "FSellerAppraisalText,FChildOrderID,FPreParentID,FRefundStatus,FRefundID,"
               "FRefundAmount,FRefusedQuantity,FRefuseddate,FBackWarehouse,FBackMan,FNumID,"
               "FSKUID,FBackChangeQuantity,FIsFree,'" + Text(p.discount) +
               "' as FDiscountFee,FIsProductMeal,FMealID,FMealName,FRefuseRem,FChangeRem,"
               "FSaleStatus,FApplyDate,FApplyRem,FRateStatus,FCheckedQuantity,'" +
               Text(p.freight) + "' as FBuyerFreight,FBarCode,FReceiptQty,FRowClosed,"
               "FIsRowClose,FAuxQtyInvoice,FID_SRC,FEntryID_SRC,FClassID_SRC,FBillNO_SRC,'" +
               Text(p.after_discount) + "' as FAfterDiscountAmount, FPackagedGoods, "
               "FPackagedGoodsFIndex");
  Line(sb, "From IC_Web2ERPOrdersEntry Where FEntryID =" + std::to_string(p.source_entry_id));
}

// The orders of the cut lines, each followed by " ,"; long lists are shortened.
std::string CutOrdersText(Connection& conn, const std::vector<int32_t>& cut) {
  std::string keys;
  for (int32_t key : cut) keys += (keys.empty() ? "" : ",") + std::to_string(key);
  StringBuilder text;
  RecordsetPtr rs = conn.Execute("SELECT Distinct t2.FOrderID FROM IC_Web2ERPOrdersEntry t1 "
                                 ",IC_Web2ERPOrders t2 WHERE t1.fid = t2.fid AND FEntryID in (" +
                                 keys + " ) ");
  for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) text.Append(CStr(rs->Value(0)) + " ,");
  if (text.Length() > 500) {
    text.Remove(401, text.Length() - 400);
    text.Append("...");
  } else if (text.Length() > 0) {
    text.Remove(text.Length(), 1);
  }
  return text.ToString();
}

void ReportToMessageLog(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  // The message log is a courtesy to the operator: batches already written stay written
  // whether or not the host keeps a log.
  try {
    auto logger = std::dynamic_pointer_cast<MessageLogger>(CreateHostObject(kMessageLoggerProgId));
    if (!logger) return;
    for (const std::string& line : lines) logger->Log(line);
  } catch (...) {
  }
}

}  // namespace

void LoadAutoBatchNoSetting(Connection& conn, int16_t& AutoBatchNo) {
  RecordsetPtr rs = conn.Execute("SELECT ISNULL(FValue,0) AS Pre_Check FROM t_SystemProfile "
                                 "WHERE FCategory ='EC' AND FKey ='AutoBatchNo'");
  if (rs->IsOpen() && !rs->Eof()) AutoBatchNo = CInt(rs->Value("Pre_Check"));
}

void AssignBatchesToLines(Connection& conn, int16_t AutoBatchNo, std::string& sEntryIDs,
                          const DictionaryPtr& /*dctPara*/) {
  if (AutoBatchNo == auto_batch::kOff) {
    sEntryIDs = "disabled";
    return;
  }
  const std::string list = sEntryIDs.empty() ? "''" : sEntryIDs;
  ItemTotals totals;
  if (AutoBatchNo == auto_batch::kOneBatchPerItem) totals = ReadItemTotals(conn, list);
  std::vector<BatchLine> lines = ReadLines(conn, list);
  sEntryIDs.clear();
  if (lines.empty()) return;
  std::vector<StockBatch> batches = ReadBatches(conn, AutoBatchNo);
  BatchPlan plan = PlanBatches(AutoBatchNo, lines, batches, totals);

  StringBuilder sb;
  for (const LinePart& part : plan.parts) {
    if (part.keeps_row) {
      AppendUpdate(sb, part);
    } else {
      AppendInsert(sb, part);
    }
  }
  if (sb.Length() > 0) conn.Execute(sb.ToString());
  ReportToMessageLog(plan.log_lines);
  if (!plan.cut_entries.empty()) sEntryIDs = CutOrdersText(conn, plan.cut_entries);
}

std::string FillBatchNo(Component& self, int16_t& AutoBatchNo, const std::string& sDsn,
                        const VectorPtr& vctOrderInfo, const DictionaryPtr& dctPara) {
  if (!vctOrderInfo) return "";
  return RunMethod(self, "FillBatchNo", sDsn, [&](MethodScope& m) {
    std::string keys = OrderKeyList(*vctOrderInfo);
    LoadAutoBatchNoSetting(m.conn(), AutoBatchNo);
    std::string entries;
    if (!keys.empty()) {
      RecordsetPtr rs = m.conn().Execute(
          "SELECT FID, FEntryID, FItemID, FQuantity, FBatchNo FROM IC_Web2ERPOrdersEntry WHERE "
          "FID in (" + keys + " ) AND FBatchNo = '' AND FStatus != 'TRADE_CLOSED'");
      for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext())
        entries += CStr(rs->Value("FEntryID")) + " ,";
      if (!entries.empty()) entries.pop_back();
    }
    AssignBatchesToLines(m.conn(), AutoBatchNo, entries, dctPara);
    return entries;
  });
}

}  // namespace ambit
