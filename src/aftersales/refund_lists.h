// The refund and after-sales screens' lists (AmbitOrderInfo, read only): orders with refunding
// lines, after-sales cases, the shop's return addresses, the after-sales workbench's order
// lines, the history of a line's cases, and the orders whose cases produced a voucher.
#ifndef AMBIT_AFTERSALES_REFUND_LISTS_H_
#define AMBIT_AFTERSALES_REFUND_LISTS_H_

#include <string>

#include "base/variant.h"
#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Orders of type 38111 with a line whose FRefundStatusDetails is 1, under the order filter of
// dctPara; with "stTypeCount" set, one row with RecordCount instead. nullptr without "sDSN".
RecordsetPtr GetRefundOrderData(Component& self, const DictionaryPtr& dctPara);

// After-sales cases with their order, line and display names. Optional dctPara keys:
// IsRetrunGoods, FRefundStatus, FID (order keys), RefundFID (case keys), FEntryID,
// WaitReturnGoods and WaitRefund (present = only that state). nullptr without "sDSN".
RecordsetPtr GetRefundInfoData(Component& self, const DictionaryPtr& dctPara);

// The shop's return addresses, the default one first, with FOnePhone (mobile, or the fixed
// line when there is no mobile number). nullptr for an empty sDsn.
RecordsetPtr GetSellerAddressForRefund(Component& self, const std::string& sDsn,
                                       const std::string& sWebShopID);

// The after-sales workbench's order lines (at most 10000) under the order filter of
// dctPara("dctFiler"); its "Select_Item" picks columns or an aggregate over them (a read-only
// query, refused when client SQL is switched off). The line's discount, tax amount and tax
// rate come as FDiscountFee2, FTaxAmount1 and FTaxRate1 beside the order's. A variant holding
// the recordset; Empty without "sDSN".
Variant GetTradeServiceData(Component& self, const DictionaryPtr& dctPara);

// The history rows of the line dctData("FEntryID") (all lines when absent), oldest first.
// nullptr when dctData("sDsn") is empty.
RecordsetPtr GetTradeRecordData(Component& self, const DictionaryPtr& dctData);

// Orders of the list that have a case with a voucher; nullptr (not an empty set) when none.
RecordsetPtr GetRefundVoucherByFID(Component& self, const std::string& sDsn,
                                   const std::string& sFIDs);

}  // namespace ambit

#endif  // AMBIT_AFTERSALES_REFUND_LISTS_H_
