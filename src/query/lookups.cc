#include "query/lookups.h"

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/lookups_internal.h"
#include "query/order_filter.h"
#include "schema/names.h"
#include "tsql/client_sql.h"

namespace ambit {

namespace lookups_internal {

std::vector<std::string> KeyItems(std::string_view list, std::string_view what) {
  std::vector<std::string> keys;
  for (std::string& item : SplitKeyList(list)) {
    if (item.empty()) continue;
    keys.push_back(CheckKey(item, what));
  }
  return keys;
}


}  // namespace lookups_internal

namespace {

using lookups_internal::Line;

// A recordset with rows, or nothing: several lookups answer "nothing" for "no such order".
RecordsetPtr RowsOrNothing(RecordsetPtr rs) {
  if (!rs || !rs->IsOpen() || rs->Eof()) return nullptr;
  return rs;
}

// The first row's value of a one-column lookup, or nullopt without a row.
const Variant* FirstValue(const RecordsetPtr& rs) {
  if (!rs || !rs->IsOpen() || rs->Eof()) return nullptr;
  return &rs->Value(0);
}

int32_t IntOr0(const Variant* v) { return v && !v->IsNull() ? CLng(*v) : 0; }

// The area names live in one column per language (FName, FName_CHT, FName_EN); the default
// language's column has no suffix.
std::string AreaNameColumn(Component& self) {
  std::string code = ColumnLanguageCode(self);
  return code == "CHS" ? " FName" : " FName_" + code;
}

}  // namespace

RecordsetPtr GetRecordOrderLst(Component& self, const std::string& sDsn,
                               const std::string& sFID) {
  if (sDsn.empty() || sFID.empty()) return nullptr;
  return RunMethod(self, "GetRecordOrderLst", sDsn, [&](MethodScope& m) {
    std::string keys = CheckKeyList(sFID, "sFID");
    StringBuilder sb;
    Line(sb, "SELECT t0.FOrderID,t0.FID ");
    Line(sb, "FROM IC_Web2ERPOrders t0");
    Line(sb, "INNER JOIN t_RPVoucherAndBill t1 ON t1.FBillID=t0.FID AND t1.FBillType=32");
    Line(sb, "WHERE t0.FVoucherID>0 and t0.FID In (" + keys + ")");
    Line(sb, "GROUP BY t0.FOrderID,t0.FID");
    return RowsOrNothing(m.conn().Execute(sb.ToString()));
  });
}

RecordsetPtr GetRefundOrderLst(Component& self, const std::string& sDsn,
                               const std::string& sFID) {
  if (sDsn.empty() || sFID.empty()) return nullptr;
  return RunMethod(self, "GetRefundOrderLst", sDsn, [&](MethodScope& m) {
    std::string keys = CheckKeyList(sFID, "sFID");
    StringBuilder sb;
    Line(sb, "SELECT distinct t0.FOrderID,t0.FID,t1.FServiceSource ");
    Line(sb, "FROM IC_Web2ERPOrders t0");
    Line(sb, "INNER JOIN IC_Web2ERPOrdersEntry t1 ON t1.FID=t0.FID");
    Line(sb, "INNER JOIN IC_RefundInfo t2 ON t2.FID = t1.FRefundFID ");
    Line(sb, "WHERE t2.FServiceStatus <> 38436 and t1.FRefundFID>0 and t0.FID In (" + keys + ")");
    Line(sb, "GROUP BY t0.FOrderID,t0.FID,t1.FServiceSource");
    return RowsOrNothing(m.conn().Execute(sb.ToString()));
  });
}

int32_t GetBillEditSelfBillValue(Component& self, const std::string& sDsn, int32_t lBillID) {
  return RunMethod(self, "GetBillEditSelfBillValue", sDsn, [&](MethodScope& m) -> int32_t {
    // Ids below 1000000 are bill numbering rows, those below 200000000 class types.
    if (lBillID < 1000000) {
      RecordsetPtr rs = m.conn().Execute("Select FEditSelfBill from icbillno where FBillID=" +
                                         std::to_string(lBillID));
      return IntOr0(FirstValue(rs));
    }
    if (lBillID < 200000000) {
      RecordsetPtr rs = m.conn().Execute("select FControl from ICClassType WHERE FID =" +
                                         std::to_string(lBillID));
      return (IntOr0(FirstValue(rs)) & 32768) == 32768 ? 1 : 0;
    }
    return 0;
  });
}

int32_t GetCanAlterBillNoValue(Component& self, const std::string& sDsn, int32_t lBillID) {
  return RunMethod(self, "GetCanAlterBillNoValue", sDsn, [&](MethodScope& m) {
    RecordsetPtr rs = m.conn().Execute("Select FCanAlterBillNo from ICBillNo WHERE FBillID =" +
                                       std::to_string(lBillID));
    return IntOr0(FirstValue(rs));
  });
}

DictionaryPtr IsSelfBill(Component& self, const std::string& sDsn, const std::string& strBillNo,
                         int32_t lClassType) {
  return RunMethod(self, "IsSelfBill", sDsn, [&](MethodScope& m) {
    // The keys go into an IN list unquoted, so doubling apostrophes alone would not make them
    // safe: they must be integer keys.
    std::string keys = CheckKeyList(strBillNo, "strBillNo");
    std::string table;
    if (lClassType == schema::code::kClassTypeWebOrder ||
        lClassType == schema::code::kClassTypeWebOrderEntry)
      table = schema::table::kTableWeb2ERPOrders;
    if (lClassType == schema::code::kClassTypeReceipt) table = schema::table::kTableReceipt;
    RecordsetPtr rs = m.conn().Execute(std::string("Select ") + "FBiller" + "," + "FID" +
                                       " From " + table + " Where " + "FID" + " In(" + keys +
                                       ")");
    auto result = NewDictionary();
    int16_t user_id = m.self.user_login() ? m.self.user_login()->UserID() : 0;
    for (; !rs->Eof(); rs->MoveNext()) {
      const Variant& biller = rs->Value("FBiller");
      bool own = !biller.IsNull() && CLng(biller) == user_id;
      result->SetValue(CStr(rs->Value("FID")), Variant(own));
    }
    return result;
  });
}

RecordsetPtr GetWebShopData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod(self, "GetWebShopData", dctPara, RecordsetPtr(),
                             [&](MethodScope& m) {
    StringBuilder sb;
    Line(sb, "Select a.FID,a.FWebShopID,a.FWebShopName,a.FWebShopType,isnull(b.finterid,0) AS "
             "FOrderType  From IC_WebshopToStorage a ");
    Line(sb, "left join ");
    Line(sb, "(select fid,finterid from t_SubMessage where FParentID=811 and FID not "
             "in('03','04','06','08','09','1000') ");
    Line(sb, " union select '03',38118 union select '04',38116 union select '06',38117 union "
             "select '08',38119 union select '09',38473 union select '1000',38472 ) b on  "
             "a.FWebShopType=b.FID ");
    Line(sb, " where a.FUnUsed = 0 Order by a.FID");
    return m.conn().Execute(sb.ToString());
  });
}

bool IsVoid(Component& self, const std::string& sDsn, int32_t lFID) {
  return RunMethod(self, "IsVoid", sDsn, [&](MethodScope& m) {
    RecordsetPtr rs = m.conn().Execute("Select FVoidStatus From IC_Web2ERPOrders Where FID=" +
                                       std::to_string(lFID));
    return IntOr0(FirstValue(rs)) != 0;
  });
}

DictionaryPtr GetAreaData(Component& self, const std::string& sDsn) {
  return RunMethod(self, "GetAreaData", sDsn, [&](MethodScope& m) {
    std::string sql = "Select FID,FType,FParentID,FZipCode," + AreaNameColumn(m.self) +
                      " AS FName" + " From IC_Area Where FType>=1 Order by FID asc";
    RecordsetPtr rs = m.conn().Execute(sql);
    auto areas = NewDictionary();
    for (; !rs->Eof(); rs->MoveNext()) {
      auto area = NewDictionary();
      for (const char* field : {"FID", "FType", "FParentID", "FZipCode", "FName"})
        area->SetValue(field, rs->Value(field));
      areas->SetValue(CStr(rs->Value("FID")), Variant(area));
    }
    return areas;
  });
}

int32_t GetWebFIDByInoviceID(Component& self, const std::string& sDsn, int32_t lInoviceID) {
  return RunMethod(self, "GetWebFIDByInoviceID", sDsn, [&](MethodScope& m) -> int32_t {
    StringBuilder sb;
    Line(sb, " SELECT DISTINCT iwee.FID");
    Line(sb, " FROM   ICSaleEntry ie");
    Line(sb, "        LEFT JOIN IC_Web2ERPOrdersEntry iwee");
    Line(sb, "             ON  iwee.FID = ie.FSourceInterId");
    Line(sb, "             AND iwee.FEntryID = ie.FSourceEntryID");
    Line(sb, "             AND ie.FSourceTranType = 1014300");
    Line(sb, FormatTemplate(" Where ie.FInterID = %1 And IsNull(iwee.FID, 0) <> 0",
                            {Variant(lInoviceID)}));
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    // Only an invoice of exactly one order names "the" order; several are no answer either.
    if (!rs->IsOpen() || rs->RecordCount() != 1) return -1;
    return CLng(rs->Value("FID"));
  });
}

DictionaryPtr GetItemInfoByFNunmber(Component& self, const std::string& sDsn,
                                    const std::string& sFNunmber) {
  return RunMethod(self, "GetItemInfoByFNunmber", sDsn, [&](MethodScope& m) {
    StringBuilder sb;
    Line(sb, " SELECT FItemID,FModel,FName,FNumber,FTypeID,FUnitGroupID,");
    Line(sb, " FOnlineShopPNo,--商家编码");
    Line(sb, " FOnlineShopPName --网店货品名");
    Line(sb, " FROM   t_IcItem ");
    Line(sb, " Where FNumber='" + SqlQuote(sFNunmber) + "'");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    return RecordToDictionary(*rs);
  });
}

DictionaryPtr GetSingleSQLData(Component& self, const std::string& sDsn,
                               const std::string& StrSql) {
  // The statement is the caller's own, so it may only read: anything else is refused through
  // the method's error path before it runs. (The original ran whatever it was given; a query
  // method must not be a way to write.) Whatever goes wrong when it runs, the caller learns
  // only from getting nothing back.
  bool refused = false;
  try {
    return RunMethod(self, "GetSingleSQLData", sDsn, [&](MethodScope& m) {
      try {
        tsql::CheckReadOnlyQuery(StrSql);
      } catch (const ComError&) {
        refused = true;
        throw;
      }
      RecordsetPtr rs = m.conn().Execute(StrSql);
      // A statement without a result set has no first row either.
      if (!rs->IsOpen()) return DictionaryPtr();
      return RecordToDictionary(*rs);
    });
  } catch (...) {
    if (refused) throw;
    return nullptr;
  }
}

RecordsetPtr GetInvoiceStatus(Component& self, const std::string& sDsn,
                              const std::string& sFIDs) {
  return RunMethod(self, "GetInvoiceStatus", sDsn, [&](MethodScope& m) {
    std::string keys = CheckKeyList(sFIDs, "sFIDs");
    StringBuilder sb;
    Line(sb, "SELECT t1.FID,t1.FWebshopID,FWebShopName,FInnerInvoice,FOrderStatus,"
             "FInvoiceStatus,FBillDiscountFee,");
    Line(sb, " FPurchaseID,iwts.FStaffID,iwts.FDeptID,iwts.FAutoInvoice,t1.FTransactionStatus,"
             "t1.FCurrencyID,");
    Line(sb, "(SELECT MAX(iwee.FRefundStatus) FROM IC_Web2ERPOrdersEntry iwee WHERE  iwee.FID "
             "= t1.FID) AS FRefundStatus");
    Line(sb, FormatTemplate(" FROM IC_Web2ERPOrders t1 LEFT JOIN IC_WebshopToStorage iwts ON "
                            "t1.FWebshopID=iwts.FWebshopID WHERE t1.FID IN(%1)",
                            {Variant(keys)}));
    return m.conn().Execute(sb.ToString());
  });
}

bool GetIsPriceChange(Component& self, const std::string& sDsn, const std::string& sItemID) {
  return RunMethod(self, "GetIsPriceChange", sDsn, [&](MethodScope& m) {
    StringBuilder sb;
    sb.Append("Select b.fitemid from ic_goodstomateriel a inner join t_item b");
    sb.Append(" on a.fmaterielcode = b.fnumber where b.fitemclassid = 4 and "
              "a.fispricechange = 1 ");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    // An item id that is no number matches no item.
    if (!IsNumericText(sItemID)) return false;
    double item = CDbl(Variant(sItemID));
    for (; !rs->Eof(); rs->MoveNext()) {
      const Variant& id = rs->Value(0);
      if (!id.IsNull() && CDbl(id) == item) return true;
    }
    return false;
  });
}

DictionaryPtr GetEntryInfoByFID(Component& self, const std::string& sDsn,
                                const std::string& sFID, const Variant& sEntryID) {
  return RunMethod(self, "GetEntryInfoByFID", sDsn, [&](MethodScope& m) {
    std::string fid = CheckKey(sFID, "sFID");
    std::string entry = CheckKey(TextOrEmpty(sEntryID), "sEntryID");
    StringBuilder sb;
    Line(sb, "select t2.FOrderID ,t1.FID ,t1.FQuantity ,t3.FName ,t3.FNumber  ");
    Line(sb, " ,(select COUNT(FEntryID) from IC_Web2ERPOrdersEntry where FID =t1.FID) as "
             "EntryNum");
    Line(sb, " from IC_Web2ERPOrdersEntry t1 with(nolock) ");
    Line(sb, "inner join IC_Web2ERPOrders t2 on t1.FID =t2.FID ");
    Line(sb, "left join t_ICItem t3 on t1.FItemID =t3.FItemID  ");
    Line(sb, FormatTemplate(" Where t1.FID =%1 AND t1.FEntryID=%2", {Variant(fid), Variant(entry)}));
    Line(sb, " And t1.FItemID <> 0 ");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    auto line = NewDictionary();
    if (!rs->Eof()) {
      for (const char* field : {"FID", "FOrderID", "FQuantity", "FName", "FNumber", "EntryNum"})
        line->SetValue(field, rs->Value(field));
    }
    return line;
  });
}

RecordsetPtr GetTransferOrderInfo(Component& self, const std::string& sDsn,
                                  const std::string& sFID) {
  return RunMethod(self, "GetTransferOrderInfo", sDsn, [&](MethodScope& m) {
    std::string keys = CheckKeyList(sFID, "sFID");
    StringBuilder sb;
    Line(sb, "SELECT t1.FSourceInterId as FID,t0.FSiteOrderID,t1.FSourceBillNo as FOrderID");
    Line(sb, "FROM SEOrder t0 with(nolock)");
    Line(sb, "INNER JOIN SEOrderEntry t1  with(nolock) ON t1.FInterID=t0.FInterID");
    Line(sb, "WHERE t1.FSourceTranType =1014300 and t1.FSourceInterId in(" + keys + ")");
    return m.conn().Execute(sb.ToString());
  });
}

}  // namespace ambit
