// The single-question lookups of the order workbench: which orders already have a voucher or
// an open after-sales case, bill-number settings, which orders an invoice came from, stock
// shortfalls, overdue orders, invoicing amounts, item and area data. All are AmbitOrderInfo
// methods run in the common frame; key lists must be integer lists and are refused otherwise.
#ifndef AMBIT_QUERY_LOOKUPS_H_
#define AMBIT_QUERY_LOOKUPS_H_

#include <cstdint>
#include <string>

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Orders of the list that already have a voucher; nullptr for an empty list or no such order.
RecordsetPtr GetRecordOrderLst(Component& self, const std::string& sDsn, const std::string& sFID);
// Orders of the list with an after-sales case that is not refused; nullptr when there is none.
RecordsetPtr GetRefundOrderLst(Component& self, const std::string& sDsn, const std::string& sFID);

// Bill-number settings: FEditSelfBill for bill ids below 1000000, bit 32768 of the class
// type's FControl (as 1/0) for ids below 200000000, otherwise 0.
int32_t GetBillEditSelfBillValue(Component& self, const std::string& sDsn, int32_t lBillID);
int32_t GetCanAlterBillNoValue(Component& self, const std::string& sDsn, int32_t lBillID);
// FID (as text) -> whether the current user made that bill. Class types 1014300/1014301 read
// web orders, 1014302 receipts; any other type fails in the database.
DictionaryPtr IsSelfBill(Component& self, const std::string& sDsn, const std::string& strBillNo,
                         int32_t lClassType);

// Active shops with the order type of their shop type.
RecordsetPtr GetWebShopData(Component& self, const DictionaryPtr& dctPara);

bool IsVoid(Component& self, const std::string& sDsn, int32_t lFID);
// FID (as text) -> Dictionary of FID, FType, FParentID, FZipCode and FName in the user's
// language, for the areas of type 1 and above.
DictionaryPtr GetAreaData(Component& self, const std::string& sDsn);
// The one web order an invoice was made from; -1 when there is none or there are several.
int32_t GetWebFIDByInoviceID(Component& self, const std::string& sDsn, int32_t lInoviceID);
// The item with that number; an unknown number fails (no current record).
DictionaryPtr GetItemInfoByFNunmber(Component& self, const std::string& sDsn,
                                    const std::string& sFNunmber);
// Runs caller-composed SQL and answers its first row; nullptr after any error, never raises.
DictionaryPtr GetSingleSQLData(Component& self, const std::string& sDsn,
                               const std::string& StrSql);
// Invoicing state of the orders of the list, with their shop's defaults.
RecordsetPtr GetInvoiceStatus(Component& self, const std::string& sDsn, const std::string& sFIDs);
// Whether the item is mapped as price-change goods.
bool GetIsPriceChange(Component& self, const std::string& sDsn, const std::string& sItemID);
// FID, FOrderID, FQuantity, FName, FNumber and EntryNum of one line with an item; an empty
// Dictionary when there is no such line.
DictionaryPtr GetEntryInfoByFID(Component& self, const std::string& sDsn, const std::string& sFID,
                                const Variant& sEntryID);
// The sales orders already made from these web orders.
RecordsetPtr GetTransferOrderInfo(Component& self, const std::string& sDsn,
                                  const std::string& sFID);

// --- lookups over order lines (lookups_lines.cc)

// Warning flags (trade status 38196, buyer and seller messages, refund status) of the lines
// named by vctParam items {"FID", optional "FEntryID"}; nullptr when no item has a numeric FID.
RecordsetPtr GetEarlyWarningInfo(Component& self, const std::string& strDSN,
                                 const VectorPtr& vctParam);
// Orders of the list with a line that the available stock cannot serve (price-change goods
// excepted), one row per short line; nullptr for an empty list.
RecordsetPtr GetIsOutStockByFIDs(Component& self, const std::string& sDsn,
                                 const std::string& sFIDs);
// The orders of vctParam paid at least lDelayedOrderHour hours ago; nullptr when no item has a
// numeric FID.
RecordsetPtr GetDelayedOrderInfo(Component& self, const std::string& strDSN,
                                 const VectorPtr& vctParam, int32_t lDelayedOrderHour);
// Line amounts for invoicing, freight folded into the discount when "MergeFreightToAmount" is
// on; price-change goods left out.
RecordsetPtr GetInoviceLinkInfo(Component& self, const std::string& strDSN,
                                const std::string& strFIDs);
// The lines of the orders in the order the keys are given (disconnected).
RecordsetPtr GetSortRs(Component& self, const std::string& strDSN, const std::string& strFIDs);
// Per item of the orders' lines: ordered quantity and goods on order from suppliers.
RecordsetPtr GetWebOrderEntrySumByFID(Component& self, const std::string& sDsn,
                                      const std::string& sFID);

// Loads a key list into the connection's #TmpFIDs (replacing a leftover one) and answers the
// table's name. Empty items are skipped; any other item must be an integer.
std::string FillTempFIDs(const std::string& keys, Connection& conn);

// --- lookups in the order-list layout (lookups_list.cc)

// The orders of dctPara("FID") in the list layout; nullptr when "FID" is empty.
RecordsetPtr GetWebOrderData(Component& self, const DictionaryPtr& dctPara);
// The same, ordered by "OrderField" (default FOrderDate) and "OrderType" (ASC or DESC).
RecordsetPtr GetWebOrderDataOrderBy(Component& self, const DictionaryPtr& dctPara);
// Orders of the list that must not be merged: a line with an unrefused refund, or awaiting
// the buyer's payment.
RecordsetPtr GetNotMergeOrderByTids(Component& self, const std::string& sDsn,
                                    const std::string& sTids);
// Warning flags of all lines of the orders awaiting review that pass the list filter.
RecordsetPtr GetEarlyWarningInfo1(Component& self, const std::string& strDSN,
                                  const DictionaryPtr& dctPara);

}  // namespace ambit

#endif  // AMBIT_QUERY_LOOKUPS_H_
