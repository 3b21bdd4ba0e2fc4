// Status operations on whole web orders and their lines: review and un-review, pre-review and
// its cancellation, void, delete, close lines, lock and unlock, item replacement, and the review
// variant for callers that cannot build a Dictionary. Every key list is checked to be a list of
// integers before any statement is built.
#ifndef AMBIT_MAINTAIN_STATUS_OPS_H_
#define AMBIT_MAINTAIN_STATUS_OPS_H_

#include <cstdint>
#include <string>

#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Order states SetWebOrderStatus knows.
namespace order_status {
inline constexpr int kAwaitingReview = 1;  // un-review
inline constexpr int kReviewed = 2;
inline constexpr int kPreReview = 3;
inline constexpr int kCancelPreReview = 4;
inline constexpr int kReviewedAlt = 14;
}  // namespace order_status

// dctPara: "sDSN", "FID" (list), "FOrderStatus". Review (2, 14) stamps reviewer, time and a new
// unique code per order in list order; 1 un-reviews (and calls the promotion service's
// un-check when gifts are not managed at review time); 3 and 4 set or clear the pre-reviewer.
// Any other status is a ComError and nothing runs.
bool SetWebOrderStatus(Component& self, const DictionaryPtr& dctPara);

// Reviews only the orders of sFID that have a currency; answers false instead of raising.
bool SetWebOrderStatusForNet(Component& self, int16_t iOrderStatus, const std::string& sDsn,
                             const std::string& sFID);

// True when the order has a currency. Without one, dicRnt gets its "FID" and "FOrderID"; on a
// failure the call is aborted and dicRnt gets "Error". Never raises.
bool CheckCurrency(Component& self, const std::string& sDsn, const std::string& FID,
                   DictionaryPtr& dicRnt);

// True when promotion gifts are NOT added at review time ("AddGiftTime" set to something other
// than "1"), i.e. when the promotion service must be left alone. Raises without Abort.
bool GetEnablePromotionSaleManage(Component& self, const std::string& sDsn);

// Removes the orders, their lines, their operation log and the after-sales rows of vanished
// lines.
bool DeleteWebOrder(Component& self, const DictionaryPtr& dctPara);
// dctPara "FVoidStatus" (default 0) on every listed order.
bool SetWebOrderVoidStatus(Component& self, const DictionaryPtr& dctPara);
// dctPara "FFIsRowClose" on every line of the listed orders.
bool SetWebOrderRowClose(Component& self, const DictionaryPtr& dctPara);

// Maximum orders per executed batch of LockWebOrder, less one: a batch runs once its count
// exceeds this.
inline constexpr int kLockBatchThreshold = 50;
// dctPara: "sDsn", "FID", "IsLock" (1), "LockReason" (quotes removed), "LockStatus" (1).
// Unlocking also closes the ERP sales orders made from the web orders.
bool LockWebOrder(Component& self, const DictionaryPtr& dctPara);

// dctItem: "FID" (list), "FItemID". Every line of the listed orders gets the new item and its
// base unit; the change is logged (1005) per line with old and new item and unit names.
bool ChangeOrderItem(Component& self, const std::string& sDsn, const DictionaryPtr& dctItem);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_STATUS_OPS_H_
