#include "merge/merge_groups.h"

#include <unordered_set>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/text_services.h"

namespace ambit {
namespace {

// Sums and messages are written only when the update touched the survivor, and the others'
// delete must remove every one of them: a group that lost orders since it was read would
// otherwise leave lines pointing at nothing or amounts counted twice.
void RequireRows(const RecordsetPtr& rs, size_t expected, const std::string& list) {
  int64_t touched = rs ? rs->records_affected() : -1;
  if (touched != static_cast<int64_t>(expected)) {
    throw ComError(err::kUnexpected, "ambit-order",
                   "The orders " + list + " changed while they were merged (" +
                       std::to_string(touched) + " of " + std::to_string(expected) +
                       " rows found).");
  }
}

// Steps shared by both group merges: sums, messages and waybill on the survivor, the others
// deleted, their lines and the stock bill lines made from them moved over.
void FoldIntoSurvivor(Connection& conn, const std::string& list, const std::string& survivor,
                      const std::vector<std::string>& others) {
  RequireRows(
      conn.Execute(
          "UPDATE IC_WEB2ERPOrders SET FAmount = b.FAmount, FTotalFreight = b.FTotalFreight, "
          "FDiscountFee = b.FDiscountFee, FBillDiscountFee = b.FBillDiscountFee,FWeight=0,"
          "FLogisticsCost=0, FMergeStatus = 1"
          "FROM (SELECT SUM(FAmount) As FAmount, SUM(FTotalFreight) As FTotalFreight, "
          "SUM(FDiscountFee) As FDiscountFee, SUM(FBillDiscountFee) As FBillDiscountFee FROM "
          "IC_WEB2ERPOrders WHERE  FID in (" +
          list + ") ) b  Where FID =" + survivor),
      1, list);

  // Older servers lack FOR XML PATH: their survivor keeps its own messages and waybill.
  if (GetSqlServerMajorVersion(conn) > 8) {
    conn.Execute(
        "UPDATE IC_WEB2ERPOrders SET FBuyerMessage=Left(stuff((select ','+rtrim(FBuyerMessage) "
        "from IC_WEB2ERPOrders where FID in (" +
        list + ")  for xml path('')),1,1,''), 255) ," +
        " FSellerMessage  = Left(stuff((select ','+rtrim(FSellerMessage) from IC_WEB2ERPOrders "
        "where FID in (" +
        list + ")  for xml path('')),1,1,''), 255) From IC_WEB2ERPOrders  Where FID = " +
        survivor);
    conn.Execute(
        "UPDATE IC_WEB2ERPOrders SET FBuyerMessage=Replace(FBuyerMessage, ',', ' '), "
        "FSellerMessage=Replace(FSellerMessage, ',', ' ') Where FID = " +
        survivor);
    // Carriers that issue electronic waybills need a new number for the merged parcel.
    StringBuilder sb;
    sb.Append("UPDATE t1\r\n");
    sb.Append("SET t1.FLogisticsOrder =''\r\n");
    sb.Append("FROM IC_Web2ERPOrders t1\r\n");
    sb.Append("LEFT JOIN IC_Logistics t2 ON t1.FLogisticsID = t2.FItemID\r\n");
    sb.Append("LEFT JOIN IC_LogisticsSetElectronic t3 on t2.FNumber =t3.FNumber\r\n");
    sb.Append("WHERE (((t2.FNumber = 'SF' OR t2.FNumber = 'JD') AND t2.FPrintType = 1)\r\n");
    sb.Append(" or (ISNULL(t3.FNumber,'')<>'' and t3.FPrintType =1)\r\n");
    sb.Append("or (t2.FNumber = 'YXSR-LL' OR t2.FNumber = 'YXSR-CW'))\r\n");
    sb.Append("AND t1.FID = " + survivor + "\r\n");
    conn.Execute(sb.ToString());
  }

  std::string other_list = JoinKeyList(others);
  RequireRows(conn.Execute("DELETE FROM IC_WEB2ERPOrders WHERE FID IN (" + other_list + ")"),
              others.size(), list);

  StringBuilder sb;
  for (const std::string& fid : others) {
    sb.Append("UPDATE IC_WEB2ERPOrdersEntry SET FID =" + survivor + "  WHERE FID = " + fid +
              "\r\n");
  }
  sb.Append("update ICStockBillEntry set FSourceInterId=" + survivor +
            " where FSourceTranType=1014301 and FSourceInterId in (" + list + ")\r\n");
  conn.Execute(sb.ToString());
}

}  // namespace

std::string BuildFIDList(const VectorPtr& items) {
  std::string list;
  if (!items) return list;
  for (const Variant& item : items->items()) {
    std::string text = item.IsNull() ? std::string() : CStr(item);
    for (const std::string& fid : SplitKeyList(CheckKeyList(text, "vctOrderInfo", true))) {
      if (!fid.empty()) list += fid + " ,";
    }
  }
  if (!list.empty()) list.pop_back();
  return list;
}

std::unordered_map<std::string, std::string> GetOrderStockMap(Connection& conn,
                                                              const std::string& list) {
  std::unordered_map<std::string, std::string> stocks;
  RecordsetPtr rs = conn.Execute(
      "SELECT distinct FID, FStockID FROM IC_Web2ERPOrdersEntry Where FID in  (" + list + ")");
  for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    const Variant& stock = rs->Value("FStockID");
    stocks.emplace(CStr(rs->Value("FID")), stock.IsNull() ? std::string() : CStr(stock));
  }
  return stocks;
}

std::string DistinctFIDList(const std::string& list) {
  std::vector<std::string> kept;
  std::unordered_set<std::string> seen;
  for (const std::string& fid : SplitKeyList(list)) {
    if (!fid.empty() && seen.insert(fid).second) kept.push_back(fid);
  }
  return JoinKeyList(kept);
}

int16_t GetSqlServerMajorVersion(Connection& conn) {
  RecordsetPtr rs = conn.Execute(
      "SELECT  SQLVersion = case substring(Cast(SERVERPROPERTY('productversion') As "
      "nvarchar(30)), 2,1)  when '.' then Left(Cast(SERVERPROPERTY('productversion') As "
      "nvarchar(30)), 1) else Left(Cast(SERVERPROPERTY('productversion') As nvarchar(30)), 2) "
      "end ");
  return CInt(rs->Value("SQLVersion"));
}

std::string MergeOrderGroup(Connection& conn, const std::string& list) {
  std::vector<std::string> fids = SplitKeyList(list);
  if (fids.size() < 2) return "";
  std::string survivor = fids.front();
  FoldIntoSurvivor(conn, list, survivor, {fids.begin() + 1, fids.end()});
  return survivor;
}

std::string MergeOrderGroupZJ(Connection& conn, const std::string& list) {
  std::vector<std::string> fids = SplitKeyList(list);
  if (fids.size() < 2) return "";
  RecordsetPtr rs = conn.Execute(
      "select top 1 FID from ic_web2erpordersentry with(nolock) where FIs_jzservice_order='Y' "
      "and fid in(" +
      list + ")");
  if (!rs->IsOpen() || rs->Eof()) return "";
  std::string survivor = CStr(rs->Value("FID"));
  std::vector<std::string> others;
  for (const std::string& fid : fids)
    if (fid != survivor) others.push_back(fid);
  FoldIntoSurvivor(conn, list, survivor, others);
  return survivor;
}

void DeleteMergedOrderLogs(Connection& conn, const std::string& list) {
  if (list.empty()) return;
  conn.Execute("delete from IC_TradeLog where FOrderFID in (" + list + ")");
}

}  // namespace ambit
