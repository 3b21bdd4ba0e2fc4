// Review by stock check (AmbitOrderUpdate): each order of a key list is reviewed only when its
// lines name a warehouse, a stock place and a batch where those are managed, and when the stock
// on hand, less what reviewed orders already hold, covers every line group. The result lists
// what failed; failures are answered in it ("Error") instead of being raised.
#ifndef AMBIT_STOCK_STOCK_REVIEW_H_
#define AMBIT_STOCK_STOCK_REVIEW_H_

#include <string>

#include "data/connection.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Result items: line messages {"FSiteOrderID", "FOrderID", "FNumber", "ErrInfo"}; with
// bChkCurrency, a Vector holding CheckCurrency's Dictionary per order without a currency (and
// then no stock check and no review at all); {"Error"} after a failure, which ends the run.
VectorPtr SetWebOrderStatusByCheckStock(Component& self, const std::string& sDsn,
                                        const std::string& sFIDs, bool bChkCurrency = false);
// The same with only the quantity check, price-change goods left out of it.
VectorPtr SetWebOrderStatusByCheckStockEx(Component& self, const std::string& sDsn,
                                          const std::string& sFIDs, bool bChkCurrency = false);
// The account's own p_CheckWebOrder checks and reviews; one {"FID", "FOrderID", "FNumber",
// "ErrInfo"} per short line it reports.
VectorPtr SetWebOrderStatusByCheckStockNew(Component& self, const std::string& sDsn,
                                           const std::string& sFIDs);

// The checks of one order, in order, each only when the ones before found nothing; nullptr
// when the order passes. A failure answers the messages found so far, or {"Error"} alone.
VectorPtr CheckOrderStockForReview(Connection& conn, const std::string& fid);
// Only the quantity check, without price-change goods.
VectorPtr CheckOrderStockForReviewEx(Connection& conn, const std::string& fid);

}  // namespace ambit

#endif  // AMBIT_STOCK_STOCK_REVIEW_H_
