// The split of part-shipped trades by line state, and the two small helpers about shop trade
// status texts: the code a status text is stored as, and the statement that copies a
// downloaded trade's data onto every order of that trade.
#ifndef AMBIT_SPLIT_PART_SEND_H_
#define AMBIT_SPLIT_PART_SEND_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/variant.h"
#include "frame/method_frame.h"
#include "split/split_common.h"

namespace ambit {

// Splits each order of `fids` (keys separated by ",") into one order per group of lines of
// the same line status and refund status, numbered FOrderID + "-" + position, and deletes the
// source header. Answers the split orders' numbers separated by ",".
std::string SplitOrderPartSend(Component& self, const std::string& sDsn, const std::string& fids);

// The part-shipment split of `keys` planned into `plan`; answers what SplitOrderPartSend does.
std::string PlanPartSendSplit(Connection& conn, const std::vector<std::string>& keys,
                              SplitPlan& plan);

// The batch creating one order for one line group and moving the group's lines to it.
// Amounts are in cents.
std::string GetPartSendOrderSQL(const std::string& line_status, const std::string& source_fid,
                                const std::string& site_order_id, const std::string& order_id,
                                int64_t amount, int64_t discount, int64_t freight,
                                const std::string& new_order_id, int16_t refund_status);

// The FTransactionStatus code of a shop status text (compared in upper case), as text.
std::string GetTranscationStatusByStatus(std::string& sFStatus);

// " Update IC_Web2ERPOrders set ... WHERE FSiteOrderID = '...'": shop, dates and trade status
// onto every order of the trade. A pay time in 1950 or earlier (the 1900 stand-in of a trade
// without one) leaves the pay date alone; a Null date leaves its column as it is.
std::string UpdateWeb2ERPOrdersSplitOneEntrySQL(const std::string& sFSiteOrderID,
                                                const std::string& sFWebShopID,
                                                int32_t lFWebShopFID, const Variant& dFpayTime,
                                                const Variant& dModifiedTime,
                                                const Variant& dFOrderDate,
                                                std::string& sFStatus);

}  // namespace ambit

#endif  // AMBIT_SPLIT_PART_SEND_H_
