// The three further ways to split web orders: quantities off one line, every unit an order of
// its own, and the refunded or closed lines out of orders under refund. Money moves by quantity
// share in cents, so that the parts always add up to the source.
#ifndef AMBIT_SPLIT_SPLIT_VARIANTS_H_
#define AMBIT_SPLIT_SPLIT_VARIANTS_H_

#include <string>
#include <vector>

#include "frame/collections.h"
#include "frame/method_frame.h"
#include "split/split_common.h"
#include "split/split_orders.h"

namespace ambit {

// dctEntry: "FEntryID" (the line), "SplitNum" (quantities separated by ","), "isAll",
// "GoodsNum" (the line's quantity as the client saw it); dctOrderInfo: "FID". Each quantity
// becomes an order numbered FOrderID + "_" + position; the source keeps the rest under the
// next number, or goes when the split took its only line whole. Quantities that are not
// positive numbers, that add up to more than the line holds, or that contradict "isAll" or
// "GoodsNum" are refused with a ComError before anything is written. Answers the new numbers
// separated by two blanks.
std::string SplitOrdersByNum(Component& self, const std::string& sDsn,
                             const DictionaryPtr& dctEntry, const DictionaryPtr& dctOrderInfo,
                             DictionaryPtr dctPara);

// Every unit of quantity of each order becomes an order of its own; the source goes.
std::string SplitOrdersByTypeAndNum(Component& self, const std::string& sDsn,
                                    const VectorPtr& vctOrderInfo, DictionaryPtr dctPara);

// The refunded or closed lines of each order under refund move to an order numbered
// FOrderID + "_1"; the source keeps the others and takes the number FOrderID + "_2".
std::string SplitOrdersByRefund(Component& self, const std::string& sDsn,
                                const VectorPtr& vctOrderInfo, DictionaryPtr dctPara);

// Plans one order holding a copy of line `entry_id` with `quantity` and the money `share`.
std::string GetSplitOrderWithEntrySQL(const std::string& source_fid, const std::string& entry_id,
                                      const std::string& new_order_id, double quantity,
                                      const LineMoney& share, const std::string& site_order_id);
// The source order takes a new key and number.
std::string GetRenumberOrderSQL(const std::string& source_fid, const std::string& new_order_id);
// One order holding the listed lines (moved, not copied) with the moved money as its totals.
std::string GetSplitRefundOrderSQL(const std::string& source_fid, const std::string& entry_ids,
                                   const std::string& new_order_id, const LineMoney& moved);

// Engines, planning into `plan`.
std::string SplitOrderEntryByNum(Connection& conn, const SplitSelection::Order& order,
                                 const DictionaryPtr& dctEntry, SplitOrigin origin,
                                 SplitPlan& plan);
std::vector<std::string> SplitOrdersByUnit(Connection& conn, const SplitSelection::Order& order,
                                           SplitFinisher& finisher, SplitPlan& plan);
std::vector<std::string> SplitRefundedEntries(Connection& conn, const std::string& key_list,
                                              SplitOrigin origin, SplitPlan& plan);

}  // namespace ambit

#endif  // AMBIT_SPLIT_SPLIT_VARIANTS_H_
