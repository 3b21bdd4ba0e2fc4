// Purchase requirement summary: what open web orders need per item (and per warehouse) against
// stock, goods on order from suppliers and goods coming back from buyers; the shared print
// tables the purchaser prints the confirmed quantities from; and the small questions the
// purchase screen asks. All are AmbitOrderInfo methods.
#ifndef AMBIT_PURCHASE_PURCHASE_SUMMARY_H_
#define AMBIT_PURCHASE_PURCHASE_SUMMARY_H_

#include <cstdint>
#include <string>

#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// ipurMode 1 summarises per item and warehouse, any other value per item.
inline constexpr int16_t kPurchaseModeWarehouse = 1;

// The summary of the items of the orders in sFID (every item with an open line when sFID is
// empty), limited to the item-number range of dctParaInfo ("StartCode", "EndCode").
// CanUserNum and the purchase quantities come back as 0 for the client to fill.
RecordsetPtr GetWebOrderEntryDetialSumByFID(Component& self, const std::string& sDsn,
                                            const std::string& sFID, int16_t ipurMode,
                                            const DictionaryPtr& dctParaInfo);

// Replace the shared print tables ic_purchase / ic_purchaseEntry with the rows of `dct` (a
// Vector of row Dictionaries), all or nothing. Warehouse-mode rows print once per item and
// quantity, and only with a quantity above 0.
// The closed recordset the batch answers.
RecordsetPtr InsertPurchasePrintData(Component& self, const std::string& sDsn,
                                     const VectorPtr& dct, int16_t ipurMode);
// The same fill keyed for bill making; answers the printed rows with the number of suppliers
// and each item's branch, planning mode and tax rate.
RecordsetPtr ManagePurchaseData(Component& self, const std::string& sDsn, const VectorPtr& dct,
                                int16_t ipurMode);

// The order's number when one of its lines has no ERP item, else "".
std::string CheckOrderMatchGoods(Component& self, const std::string& sDsn,
                                 const std::string& sFID);
// The 'EC' parameter PurchaseCheckMode, 2 when it has no row.
int16_t GetPurChaseCheckMode(Component& self, const std::string& sDsn);
// One Dictionary (FSiteOrderID, FOrderID, FNumber, ErrInfo) per line of the order without a
// delivery warehouse; nullptr when there is none. Never raises: a failure answers nullptr.
VectorPtr CheckPurchaseOnVoid(Component& self, const std::string& sDsn, const std::string& sFID);

}  // namespace ambit

#endif  // AMBIT_PURCHASE_PURCHASE_SUMMARY_H_
