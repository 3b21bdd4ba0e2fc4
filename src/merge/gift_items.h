// Gift lines (FIsFree = 1): added in bulk to a set of orders, folded when a merge left the same
// gift twice on one order, and handed out by the promotion service after a merge.
#ifndef AMBIT_MERGE_GIFT_ITEMS_H_
#define AMBIT_MERGE_GIFT_ITEMS_H_

#include <cstdint>
#include <string>

#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Refusals of BatchInsertGiftItems, checked in this order before anything is written.
namespace gift_refusal {
inline constexpr int32_t kNoOrders = -1;
inline constexpr int32_t kNoGifts = -2;
inline constexpr int32_t kEmpty = -3;
// The first order lacks "FID" or "FSiteOrderID".
inline constexpr int32_t kOrderIncomplete = -4;
// The first gift lacks "FItemID", "FUnitID" or "FQuantity".
inline constexpr int32_t kGiftIncomplete = -5;
}  // namespace gift_refusal

// Insert statements executed per batch.
inline constexpr int kGiftInsertBatch = 100;

// Adds every gift of vctOrderEntry ("FItemID", "FUnitID", "FQuantity", "FAuxPropID",
// "FGoodsNumber") to every order of vctOrders ("FID", "FSiteOrderID") after the order's last
// line, with the warehouse of the order's shop and the item's bar code, then has the database
// recompute the orders' stock figures per shop. Answers 0, or a refusal code.
int32_t BatchInsertGiftItems(Component& self, const std::string& sDsn, const VectorPtr& vctOrders,
                             const VectorPtr& vctOrderEntry);

// Folds gift lines of the same item and warehouse on an order awaiting review into the first
// of them, with the summed quantity. Answers 0.
int32_t MergeGiftItems(Component& self, const std::string& sDsn);

// Has the promotion service add its gifts to the merged orders of sFIDs, when some of them are
// reviewed and gifts are handed out at review time.
void AddGiftWhenMergeOrder(Component& self, const std::string& sDsn, const std::string& sFIDs);

}  // namespace ambit

#endif  // AMBIT_MERGE_GIFT_ITEMS_H_
