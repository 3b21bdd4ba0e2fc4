#include "stock/stock_lookups.h"

#include "base/com_error.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/lookups.h"

namespace ambit {
namespace {

void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

// The warehouse and stock place filters are optional: an empty value means "any".
std::string OptionalKey(const std::string& value, std::string_view what) {
  return value.empty() ? value : CheckKey(value, what);
}

// The two held-quantity statements differ only in the lock condition and in how the stock
// bill's source type is written.
double StockLock(Component& self, std::string_view method, bool with_lock,
                 const std::string& sDsn, const std::string& FItemID, const std::string& FUnitID,
                 const std::string& FStockID, const std::string& FBatchNo,
                 const std::string& FSPID) {
  return RunMethod(self, method, sDsn, [&](MethodScope& m) {
    std::string item = CheckKey(FItemID, "FItemID");
    std::string unit = CheckKey(FUnitID, "FUnitID");
    std::string stock = OptionalKey(FStockID, "FStockID");
    std::string place = OptionalKey(FSPID, "FSPID");
    StringBuilder sb;
    Line(sb, "Select ISNULL(SUM(FQuantity),0)  as FNum From IC_Web2ERPOrdersEntry t1 ");
    Line(sb, "INNER JOIN IC_Web2ERPOrders t2 ON t1.FId=t2.FID ");
    if (with_lock) Line(sb, "LEFT JOIN IC_Web2ERPOrdersEx t3 ON t1.FId=t3.FID ");
    Line(sb, "WHERE 1=1 ");
    Line(sb, "And (");
    Line(sb, "(t1.FStatus <> '' and t1.FStatus not in('TRADE_FINISHED','TRADE_CLOSED',"
             "'TRADE_WAIT_BUYER_CONFIRM_GOODS'))");
    Line(sb, "or ");
    Line(sb, "(t1.FStatus = '' and t2.FTransactionStatus not in(38193,38194,38195))");
    Line(sb, ")");
    Line(sb, "And t1.FEntryID NOT IN ");
    Line(sb, "(select FSourceEntryID from ICStockBillEntry t3 inner join ICStockBill t4 on "
             "t3.FInterID = t4.FInterID ");
    Line(sb, with_lock ? "Where (t4.FUpStockWhenSave =1 OR t4.FStatus = 1) and "
                         "t3.FSourceTranType = 1014301) "
                       : "Where (t4.FUpStockWhenSave =1 OR t4.FStatus = 1) and "
                         "t3.FSourceTranType = '1014301') ");
    Line(sb, FormatTemplate(" and t1.FItemID = %1 and t1.FUnitID = %2 ",
                            {Variant(item), Variant(unit)}));
    if (!stock.empty()) Line(sb, " and t1.FStockID = " + stock);
    if (!FBatchNo.empty()) Line(sb, " and t1.FBatchNo = '" + SqlQuote(FBatchNo) + "'");
    if (!place.empty()) Line(sb, " and t1.FSPID = " + place);
    if (with_lock) {
      Line(sb, " AND (t3.FIsLock = 0 OR t3.FIsLock IS NULL OR (t3.FIsLock = 1 AND EXISTS(SELECT "
               "1 From t_SystemProfile WHERE FCategory = 'EC' AND FKey = 'LockOrderOnStock' AND "
               "FValue = '1')))");
    }
    sb.Append(" and (");
    sb.Append(" t2.FPreChkMan > 0 or t2.FCheckStatus = 1 ");
    sb.Append(" or Exists(select 1 from t_SystemProfile where FCategory = 'EC' And FKey = "
              "'PreCheckOnStock' And FValue = 0) ");
    sb.Append(")");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    if (!rs->IsOpen() || rs->Eof()) return 0.0;
    return CDbl(rs->Value("FNum"));
  });
}

// A text argument of the allocation batch: quoted, or two quotes when empty, never NULL.
std::string TextSet(std::string_view variable, const std::string& value) {
  return "set " + std::string(variable) + " = '" + SqlQuote(value) + "'";
}

}  // namespace

double GetStockLockByRow(Component& self, const std::string& sDsn, const std::string& FItemID,
                         const std::string& FUnitID, const std::string& FStockID,
                         const std::string& FBatchNo, const std::string& FSPID) {
  return StockLock(self, "GetStockLockByRow", true, sDsn, FItemID, FUnitID, FStockID, FBatchNo,
                   FSPID);
}

double GetNewStockLockByRow(Component& self, const std::string& sDsn, const std::string& FItemID,
                            const std::string& FUnitID, const std::string& FStockID,
                            const std::string& FBatchNo, const std::string& FSPID) {
  return StockLock(self, "GetNewStockLockByRow", false, sDsn, FItemID, FUnitID, FStockID,
                   FBatchNo, FSPID);
}

DictionaryPtr GetStockIDAndSPID(Component& self, const std::string& sDsn, const std::string& sFID,
                                const std::string& sFItemID, const std::string& sFWebShopID,
                                const std::string& sFDeliveryProvince,
                                const std::string& sFDeliveryCity,
                                const std::string& sFDeliveryDistrict) {
  return RunMethod(self, "GetStockIDAndSPID", sDsn, [&](MethodScope& m) {
    std::string fid = CheckKey(sFID, "sFID");
    std::string item = CheckKey(sFItemID, "sFItemID");
    StringBuilder sb;
    for (const char* declare :
         {"declare @FID int", "declare @FItemID varchar(20)", "declare @FWebShopID varchar(20)",
          "declare @FDeliveryProvince varchar(80)", "declare @FDeliveryCity varchar(80)",
          "declare @FDeliveryDistrict varchar(80)", "declare @FStockID int",
          "declare @FSPID int"})
      Line(sb, declare);
    Line(sb, "set @FID = " + fid);
    Line(sb, "set @FItemID = " + item);
    Line(sb, TextSet("@FWebShopID", sFWebShopID));
    Line(sb, TextSet("@FDeliveryProvince", sFDeliveryProvince));
    Line(sb, TextSet("@FDeliveryCity", sFDeliveryCity));
    Line(sb, TextSet("@FDeliveryDistrict", sFDeliveryDistrict));
    Line(sb, "exec P_ReturnStockIDAndSPID @FID,@FItemID, @FWebShopID, @FDeliveryProvince, "
             "@FDeliveryCity, @FDeliveryDistrict,@FStockID output, @FSPID output");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    DictionaryPtr result = NewDictionary();
    for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      result->SetValue("FStockID", rs->Value("FStockID"));
      result->SetValue("FSPID", rs->Value("FSPID"));
    }
    if (!result->Lookup("FStockID"))
      throw ComError(err::kUnexpected, "ambit-order",
                     "P_ReturnStockIDAndSPID chose no warehouse for item " + item +
                         " of order " + fid);

    sb.Clear();
    Line(sb, " SELECT FItemID as FStockID,FName AS FStockName,FNumber AS FStockNumber");
    Line(sb, " FROM   t_Stock ");
    Line(sb, " Where  FItemID=" + CStr(result->Value("FStockID")));
    DictionaryPtr stock = GetSingleSQLData(self, sDsn, sb.ToString());
    if (stock) {
      result->SetValue("FStockName", stock->Value("FStockName"));
      result->SetValue("FStockNumber", stock->Value("FStockNumber"));
      sb.Clear();
      Line(sb, " SELECT FName AS FSPName,FNumber AS FSPNumber");
      Line(sb, " FROM t_stockplace ");
      Line(sb, " WHERE FSPID = " + CStr(result->Value("FSPID")));
      DictionaryPtr place = GetSingleSQLData(self, sDsn, sb.ToString());
      if (place) {
        result->SetValue("FSPName", place->Value("FSPName"));
        result->SetValue("FSPNumber", place->Value("FSPNumber"));
      }
    }
    return result;
  });
}

RecordsetPtr GetItemStockInfoByFItemID(Component& self, const std::string& sDsn,
                                       int32_t lFItemID) {
  return RunMethod(self, "GetItemStockInfoByFItemID", sDsn, [&](MethodScope& m) {
    const std::string item = std::to_string(lFItemID);
    StringBuilder sb;
    Line(sb, "SET NOCOUNT ON");
    Line(sb, "IF OBJECT_ID(N'tempdb..#Temp_WebOrderStock',N'U') IS NOT NULL");
    Line(sb, "    DROP TABLE  #Temp_WebOrderStock");
    Line(sb, "CREATE TABLE #Temp_WebOrderStock(");
    Line(sb, "    FItemID INT NOT NULL,");
    Line(sb, "    FStockID INT NOT NULL,");
    Line(sb, "    FItemNumber NVARCHAR(80) NOT NULL,");
    Line(sb, "    FItemName NVARCHAR(80) NOT NULL,");
    Line(sb, "    FStockNumber NVARCHAR(80) NOT NULL,");
    Line(sb, "    FStockName NVARCHAR(80) NOT NULL,");
    Line(sb, "    FQty DECIMAL(28,0) NOT NULL,");
    Line(sb, "    FOrderQty DECIMAL(28,0) NOT NULL,");
    Line(sb, "    FAvailable DECIMAL(28,0) NOT NULL");
    Line(sb, ")");
    Line(sb, "INSERT INTO #Temp_WebOrderStock(FItemID,FStockID,FItemNumber,FItemName,"
             "FStockNumber,FStockName,FQty,FOrderQty,FAvailable)");
    Line(sb, "SELECT tv.FItemID,tv.FStockID,ti.FNumber,ti.FName,ts.FNumber,ts.FName,"
             "SUM(tv.FQty),0,0");
    Line(sb, "FROM ICInventory tv");
    Line(sb, "INNER JOIN t_ICItem ti ON tv.FItemID = ti.FItemID");
    Line(sb, "INNER JOIN t_Stock ts ON tv.FStockID = ts.FItemID");
    Line(sb, "WHERE ts.ftypeid IN (500,20291,20293) AND tv.FItemID = " + item);
    Line(sb, "GROUP BY tv.FItemID,tv.FStockID,ti.FNumber,ti.FName,ts.FNumber,ts.FName");
    Line(sb, "UPDATE t SET t.FOrderQty = o.FOrderQty,t.FAvailable = t.FQty - o.FOrderQty");
    Line(sb, "FROM #Temp_WebOrderStock t");
    Line(sb, "INNER JOIN (SELECT t1.FItemID,t1.FStockID,SUM(t1.FQuantity) AS FOrderQty");
    Line(sb, "    FROM IC_Web2ERPOrdersEntry t1");
    Line(sb, "    INNER JOIN IC_Web2ERPOrders t2 ON t1.FID = t2.FID");
    Line(sb, "    WHERE t1.FItemID = " + item);
    Line(sb, "      AND t2.FOrderStatus & 8 <> 8 AND t1.FIsRowClose = 0");
    Line(sb, "      AND ((t2.FUpLoadStatus = 1 AND (t1.FStatus = 'TRADE_WAIT_BUYER_CONFIRM_GOODS'"
             " OR (t1.FStatus = '' AND t2.FTransactionStatus = 38193)))");
    Line(sb, "        OR (t1.FStatus <> '' AND t1.FStatus NOT IN ('TRADE_WAIT_BUYER_CONFIRM_GOODS',"
             "'TRADE_FINISHED','TRADE_CLOSED','TRADE_AUTOMATIC_CLOSED','TRADE_MANUAL_CLOSED'))");
    Line(sb, "        OR (t1.FStatus = '' AND t2.FTransactionStatus NOT IN (38193,38194,38195)))");
    Line(sb, "      AND t1.FEntryID NOT IN (SELECT t7.FSourceEntryID FROM ICStockBillEntry t7 "
             "INNER JOIN ICStockBill t8 ON t7.FInterID = t8.FInterID");
    Line(sb, "          WHERE t8.FUpStockWhenSave + t8.FStatus > 0 AND t7.FSourceTranType = "
             "1014301)");
    Line(sb, "      AND (t2.FPreChkMan > 0 OR t2.FCheckStatus = 1 OR EXISTS(SELECT 1 FROM "
             "t_SystemProfile WHERE FCategory = 'EC' AND FKey = 'PreCheckOnStock' AND FValue = 0))");
    Line(sb, "    GROUP BY t1.FItemID,t1.FStockID) o ON t.FItemID = o.FItemID AND t.FStockID = "
             "o.FStockID");
    Line(sb, "UPDATE #Temp_WebOrderStock SET FAvailable = FQty - FOrderQty");
    Line(sb, "SELECT FItemID,FStockID,FItemNumber,FItemName,FStockNumber,FStockName,FQty,"
             "FOrderQty,FAvailable");
    Line(sb, "FROM #Temp_WebOrderStock");
    Line(sb, "ORDER BY FAvailable DESC");
    Line(sb, "DROP TABLE #Temp_WebOrderStock");
    Line(sb, "SET NOCOUNT OFF");
    return m.conn().Execute(sb.ToString());
  });
}

}  // namespace ambit
