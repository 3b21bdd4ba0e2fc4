// The life of an after-sales case: how a new case starts, which state an agreed or refused
// step leads to, whether a state keeps the order line flagged, and the history row every step
// leaves. The methods of service_records.h and service_rollback.h build on these.
#ifndef AMBIT_AFTERSALES_SERVICE_STATES_H_
#define AMBIT_AFTERSALES_SERVICE_STATES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frame/collections.h"
#include "frame/text_services.h"

namespace ambit {

// One agreed or refused step of a case, as GetNextServiceStatus sees it. The three quantities
// are in/out: a step may record goods received, goods returned and the quantity it covers.
struct ServiceStep {
  int32_t lCurStatus = 0;     // the state the operator saw
  bool bIsAgree = false;
  int32_t service_type = 0;   // the case's FServiceType
  int32_t manage_type = 0;    // the handling type the operator chose
  int32_t stored_status = 0;  // the case's FServiceStatus now
  double amount = 0;          // the case's refund amount
  double num = 0;             // FNum, the quantity the case covers
  double received = 0;        // FReceiveQty
  double returned = 0;        // FReturnQty
  double step_qty = 0;        // the quantity of this step (dQty)
};

// The state the step leads to, or nullopt when there is no transition for the combination (a
// closed case, an unknown state, signing for goods with a handling type that is not a
// receiving one); the quantities are then left as they were.
std::optional<int32_t> GetNextServiceStatus(ServiceStep& step);

// The concurrency guard of a step: the stored state must still be the one the operator saw.
// Signing for goods (38433) is accepted in any state, and a refund review (38431) also on a
// case still waiting for its goods (38433).
bool AcceptsStoredStatus(int32_t lCurStatus, int32_t stored_status);

// The order line's FRefundStatus for a case state: 1 while the case is open or completed, 0
// when it was refused or there is none. DeleteRefundInfo restores the flag in SQL as "every state
// but 0 and 38436": the two differ only on 38438 and unknown codes, which no step passes here
// (38438 comes from an order's un-review), so the SQL keeps its own text.
int IsServiceOpen(int32_t status);

// How a case starts (or restarts when its data are changed): its state, its type and the
// handling type of the automatic review (0: none).
struct ServiceStart {
  int32_t status = 0;
  int32_t type = 0;
  int32_t review_manage_type = 0;
};
// lOpType 1/3 are refunds and returns (new/changed), 2/4 exchanges.
ServiceStart DecideServiceStart(bool force_confirm, int32_t lOpType, bool is_return);
// The handling type of the application row of a new case.
int32_t ApplicationManageType(int32_t lOpType);

// Appends one IC_RefundRecord insert (the history row of a step), one value per line. The
// remark goes between quotes through SqlQuote; the other values are numbers or checked keys.
void AppendRefundRecordSql(StringBuilder& sb, int32_t source, int32_t type, int32_t manage_type,
                           int32_t category, std::string_view amount, std::string_view qty,
                           std::string_view remark, std::string_view entry_id, int32_t item_id,
                           int32_t recorder, int32_t refund_fid);

// The first Dictionary of `items` whose value under `key`, as text, equals `value`; nullptr
// when none does (items that are no Dictionary are passed over).
DictionaryPtr FindItemByKey(const VectorPtr& items, std::string_view key,
                            std::string_view value);

}  // namespace ambit

#endif  // AMBIT_AFTERSALES_SERVICE_STATES_H_
