// The shared print tables of the purchase summary. Each fill replaces both tables with the
// rows the purchaser confirmed; the rows pass through #TablepurchaseEntry so that warehouse
// rows can be folded into one row per item and quantity on the way.
#include <string>

#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "purchase/purchase_internal.h"
#include "purchase/purchase_summary.h"

namespace ambit {
namespace {

// What differs between the two fills and their two modes.
struct PrintForm {
  bool warehouse;
  bool for_bill;  // ManagePurchaseData: keyed by item and supplier for making bills
  const char* quantity_key;
};

PrintForm FormOf(bool for_bill, int16_t ipurMode) {
  bool warehouse = ipurMode == kPurchaseModeWarehouse;
  const char* key = !warehouse ? "PlanPurchaseNum"
                    : for_bill ? "PurchaseNum"
                               : "TotalPlanPurchaseNum";
  return {warehouse, for_bill, key};
}

std::string Quoted(const std::string& text) { return "'" + SqlQuote(text) + "'"; }

std::string Field(const Dictionary& row, const char* key) { return CStr(row.Value(key)); }

void AppendCreateTable(StringBuilder& sb, const PrintForm& form) {
  sb.Append("CREATE TABLE #TablepurchaseEntry (FEntryID int identity(1,1),FID int,"
            "FOnWayNum int,FGoodsName nvarchar(255),FGoodsCode nvarchar(255),"
            "FStockNum nvarchar(50),FOrderNum nvarchar(50),FCanUserNum nvarchar(50),"
            "FPurchaseNum nvarchar(255),");
  if (!form.warehouse) {
    sb.Append("FSupplierName nvarchar(255),FGoodsPic nvarchar(255),");
  } else {
    sb.Append(form.for_bill ? "FSupplierName nvarchar(255)," : "FSupplierName nvarchar(50),");
    sb.Append("FGoodsPic nvarchar(255),");
    sb.Append(form.for_bill ? "FStockID nvarchar(50)," : "FStockID nvarchar(255),");
    sb.Append("FBatchNo nvarchar(255),FSPID nvarchar(255),");
  }
  sb.Append("FIndex nvarchar(50))\r\n");
}

void AppendRow(StringBuilder& sb, const PrintForm& form, const Dictionary& row) {
  // Names print with a typographic quote in place of an apostrophe.
  std::string name = Field(row, "GoodsName");
  for (size_t p = name.find('\''); p != std::string::npos; p = name.find('\'', p + 3))
    name.replace(p, 1, "‘");
  std::string values = "1000001," + purchase_internal::NumberLiteral(row.Value("OnWayNum"),
                                                                     "OnWayNum") +
                       "," + Quoted(name);
  for (const char* key : {"GoodsCode", "StockNum", "OrderNum", "CanUserNum"})
    values += "," + Quoted(Field(row, key));
  values += "," + Quoted(Field(row, form.quantity_key));
  values += "," + Quoted(Field(row, "SupplierName"));
  values += "," + (form.for_bill ? Quoted(Field(row, "Item")) : std::string("'0'"));
  if (form.warehouse) values += "," + Quoted(Field(row, "StockID")) + ",'',''";
  values += "," + (form.for_bill ? Quoted(Field(row, "SupplierID")) : std::string("'0'"));
  sb.Append("insert into #TablepurchaseEntry (FID,FOnWayNum,FGoodsName,FGoodsCode,FStockNum,"
            "FOrderNum,FCanUserNum,FPurchaseNum,FSupplierName,FGoodsPic,");
  if (form.warehouse) sb.Append("FStockID,FBatchNo,FSPID,");
  sb.Append("FIndex) values (" + values + ")\r\n");
}

void AppendCopy(StringBuilder& sb, const PrintForm& form) {
  sb.Append("insert into ic_purchaseEntry (FID,FOnWayNum,FGoodsName,FGoodsCode,FStockNum,"
            "FOrderNum,FCanUserNum,FPurchaseNum,FSupplierName,FGoodsPic,FIndex)\r\n");
  if (form.warehouse) {
    // One row per item and quantity across warehouses; the stock figures of one warehouse
    // would mislead there.
    sb.Append("select distinct FID,FOnWayNum ,FGoodsName,FGoodsCode,0 as FStockNum\r\n");
    sb.Append(",0 as FOrderNum, 0 as FCanUserNum,\r\n");
    sb.Append(" FPurchaseNum,FSupplierName,FGoodsPic,FIndex\r\n");
    sb.Append("from #TablepurchaseEntry\r\n");
    sb.Append("where FPurchaseNum >0\r\n");
    sb.Append(form.for_bill ? "order by FIndex desc \r\n" : "order by FSupplierName desc \r\n");
  } else {
    sb.Append("select FID,FOnWayNum,FGoodsName,FGoodsCode,FStockNum,FOrderNum,FCanUserNum,"
              "FPurchaseNum,FSupplierName,FGoodsPic,FIndex from #TablepurchaseEntry\r\n");
    sb.Append("order by [FSupplierName] desc\r\n");
  }
  sb.Append("drop table #TablepurchaseEntry\r\n");
}

std::string FillBatch(const PrintForm& form, const VectorPtr& rows) {
  if (!rows) throw ComError(err::kObjectRequired, "", "No print rows were given (dct).");
  StringBuilder sb;
  sb.Append(" truncate table ic_purchase \r\n");
  sb.Append(" truncate table ic_purchaseEntry \r\n");
  sb.Append(std::string(" Insert into ic_purchase (Fid,FClassTypeID,FOrderID,FText8) "
                        "values(1000001,1024333,'") +
            (form.warehouse ? "" : "WD44545") + "','')\r\n");
  AppendCreateTable(sb, form);
  for (const Variant& item : rows->items())
    AppendRow(sb, form, *purchase_internal::RowDictionary(item, "dct"));
  AppendCopy(sb, form);
  return sb.ToString();
}

}  // namespace

RecordsetPtr InsertPurchasePrintData(Component& self, const std::string& sDsn,
                                     const VectorPtr& dct, int16_t ipurMode) {
  return RunMethod(self, "InsertPurchasePrintData", sDsn, [&](MethodScope& m) {
    return purchase_internal::ExecuteAtomically(m.conn(), FillBatch(FormOf(false, ipurMode), dct));
  });
}

RecordsetPtr ManagePurchaseData(Component& self, const std::string& sDsn, const VectorPtr& dct,
                                int16_t ipurMode) {
  return RunMethod(self, "ManagePurchaseData", sDsn, [&](MethodScope& m) {
    purchase_internal::ExecuteAtomically(m.conn(), FillBatch(FormOf(true, ipurMode), dct));
    return m.conn().Execute(
        "select (SELECT COUNT(DISTINCT findex)  FROM IC_PurchaseEntry) as supplerNum, "
        "t.FEntryID ,t.FID,t.FOnWayNum,t.FGoodsName,t.FGoodsCode , \r\n"
        "t.FStockNum,t.FOrderNum ,t.FCanUserNum,t.FPurchaseNum,t.FSupplierName ,t.FGoodsPic ,"
        "t.FIndex ,f.FBrNo,f.FPlanMode,f.FTaxRate \r\n"
        "from IC_PurchaseEntry t  left outer join t_ICItem  f on t.FGoodsPic =f .FItemID \r\n");
  });
}

}  // namespace ambit
