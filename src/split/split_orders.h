// Splitting web orders into one order per line, and the front end every split shares: the
// selection of the orders by review state and the hand-over of part-shipped trades to the
// part-shipment split.
#ifndef AMBIT_SPLIT_SPLIT_ORDERS_H_
#define AMBIT_SPLIT_SPLIT_ORDERS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "frame/collections.h"
#include "frame/method_frame.h"
#include "split/split_common.h"

namespace ambit {

// More orders than this in one call are refused with an empty result.
inline constexpr int kMaxSplitOrders = 5000;

// Splits each order of vctOrderInfo (keys; anything not a number above 0 is skipped) into one
// order per line, numbered FOrderID + "_" + line position; orders whose trade is part-shipped
// go to the part-shipment split instead. Answers the new numbers of the last order split,
// separated by two blanks, or the part-shipment split's answer when it ran.
std::string SplitOrders(Component& self, const std::string& sDsn, const VectorPtr& vctOrderInfo,
                        DictionaryPtr dctPara);

// "12 ,15 ,18 ": the keys above 0, each followed by " ,", the last character dropped.
std::string GetFIDListFromVector(const VectorPtr& keys);

// The orders of `keys` that a split may take (awaiting review unless Origin says otherwise),
// in two groups: part-shipped trades and the others.
struct SplitSelection {
  struct Order {
    std::string fid;
    std::string order_id;  // trimmed
  };
  std::vector<Order> orders;
  std::vector<std::string> part_shipped;
};
SplitSelection SelectSplitOrders(Connection& conn, const std::string& key_condition,
                                 SplitOrigin origin, bool no_lock = false);

// The line split of `orders` planned into `plan`; answers the last split order's new numbers.
std::string SplitOrdersByEntry(Connection& conn, const std::vector<SplitSelection::Order>& orders,
                               SplitOrigin origin, SplitPlan& plan);

// The batch creating the order of one line and moving the line to it. Amounts in cents.
std::string GetSplitEntryOrderSQL(const std::string& source_fid, const std::string& entry_id,
                                  const std::string& new_order_id, int64_t amount,
                                  int64_t discount, int64_t freight,
                                  const std::string& site_order_id, int64_t bill_discount);

}  // namespace ambit

#endif  // AMBIT_SPLIT_SPLIT_ORDERS_H_
