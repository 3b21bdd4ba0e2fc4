// Order merging: folds a buyer's orders that can travel as one parcel into one web order. The
// user's selection is grouped by consignee and by every field a shipment must agree on; each
// group of two or more becomes its first order, and the user learns per consignee which field
// kept orders apart. After download the same runs per shop and period.
#ifndef AMBIT_MERGE_MERGE_ORDERS_H_
#define AMBIT_MERGE_MERGE_ORDERS_H_

#include <cstdint>
#include <string>

#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// vctOrderInfo: FID texts, each one FID or a comma-separated list. Answers
// "Success:|<one message per surviving order>;Error:|<one message per consignee that did not
// merge whole>". The survivors' FIDs are appended to sFidForGift (comma-separated). A missing
// vector answers "" and touches nothing.
std::string MergeOrders(Component& self, const std::string& sDsn, const VectorPtr& vctOrderInfo,
                        std::string& sFidForGift);

// MergeOrders for orders with a home-improvement service line: the order holding that line
// survives, groups without one stay as they are, and nothing is logged.
std::string MergeOrdersZJ(Component& self, const std::string& sDsn,
                          const VectorPtr& vctOrderInfo, std::string& sFidForGift);

// Merges the orders awaiting merge of one shop (lWebShopID: the FID of its IC_WebshopToStorage
// row) whose order date (lDateType 1) or shop modification date (otherwise) lies in the period,
// reviewed or not as bAutoCheck says, in runs of 100 consignees. Error -1 "InValid WebShopID"
// or "InValid Date" for bad arguments.
void MergeDownloadedOrders(Component& self, const std::string& sDsn, int32_t lWebShopID,
                           const std::string& sStartDate, const std::string& sEndDate,
                           int32_t lDateType, bool bAutoCheck);

// Consignees whose orders MergeDownloadedOrders hands to one MergeOrders call.
inline constexpr int kMergeDownloadedBatch = 100;

}  // namespace ambit

#endif  // AMBIT_MERGE_MERGE_ORDERS_H_
