// The tabs of the order workbench: orders by processing state under the common filter (awaiting
// review, not reviewable yet, reviewable, reviewed, all, locked), the lines of one order and the
// buyer's recent purchases. Each is an AmbitOrderInfo method taking the filter Dictionary; without
// "sDSN" it answers nullptr.
//
// dctPara keys besides the filter's: "stTypeCount" not empty = counting mode (one row with
// RecordCount, the number of orders the list would show without its row limit);
// "WebOrderMaxDisplayCount" > 0 = at most that many rows; "AdvancedFilter" present = the orders
// are pre-selected into #Data by that ready-made filter; "NotCheckRefundOnStatus" (default "0")
// for the two review lists; "FID" for the two line lists. "PageSize" and "PageAfter" page the
// six status lists by keyset (query/list_paging.h); a page answers "PageNext" in dctPara.
#ifndef AMBIT_QUERY_STATUS_LISTS_H_
#define AMBIT_QUERY_STATUS_LISTS_H_

#include "data/connection.h"
#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// First shape: the list layout of BuildOrderListSql, ordered by pay date and order number.
RecordsetPtr GetWaitVerifyData(Component& self, const DictionaryPtr& dctPara);
RecordsetPtr GetVerifiedData(Component& self, const DictionaryPtr& dctPara);
RecordsetPtr GetAllData(Component& self, const DictionaryPtr& dctPara);
RecordsetPtr GetLockData(Component& self, const DictionaryPtr& dctPara);

// Second shape: awaiting review split by refund and shop trade state, in the layout of
// BuildVerifyListSql (with FRefundStatus and FIsShowWaitVerifyTemp).
RecordsetPtr GetNoVerifyData(Component& self, const DictionaryPtr& dctPara);
RecordsetPtr GetWaitVerifyData2(Component& self, const DictionaryPtr& dctPara);

// The lines of order "FID" (sold lines before gifts); nullptr without "FID".
RecordsetPtr GetWebOrderEntryData(Component& self, const DictionaryPtr& dctPara);
// The lines of the buyer's orders of the 90 days before order "FID"'s date, that order
// included; nullptr without "FID" or when the order does not exist.
RecordsetPtr GetLatelyData(Component& self, const DictionaryPtr& dctPara);

// The "TradeSuccessDown2fpNoVerify" parameter is "1": finished trades are not to be reviewed.
// Runs on the connection the call context already holds.
bool IsTradeSuccessDown2fpNoVerify(Component& self);
bool IsTradeSuccessDown2fpNoVerify(Connection& conn);

}  // namespace ambit

#endif  // AMBIT_QUERY_STATUS_LISTS_H_
