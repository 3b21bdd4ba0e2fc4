#include "aftersales/service_states.h"

#include <cmath>

#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "schema/names.h"

namespace ambit {
namespace {

namespace code = schema::code;

// What a step does to the case's quantities.
enum class Quantities {
  kUnchanged,
  kStepIsWhole,          // the step covers the case's whole quantity
  kAllReturned,          // the goods are confirmed returned in full
  kReceive,              // goods signed for: received grows, full receipt confirms the return
  kReceiveKeepReturned,  // goods signed for without confirming the return
};

// Where a step goes once its quantities are settled.
enum class Target {
  kFixed,      // Transition::to
  kSignedFor,  // by what has been signed for so far (SignedForTarget)
  kGoodsIn,    // the goods are in: send the exchange, or review the refund
};

constexpr int32_t kAnyManageType = -1;

struct Transition {
  int32_t from;
  bool agree;
  int32_t manage_type;  // kAnyManageType, or the handling type the step must have
  Quantities quantities;
  Target target;
  int32_t to;  // for Target::kFixed
};

// Every step a case can take. A combination missing here has no next state: agreeing or
// refusing a completed (38435) or refused (38436) case, any unknown state, and signing for
// goods (38433) with a handling type that is not a receiving one.
constexpr Transition kTransitions[] = {
    {code::kServiceStatusWaitReviewReturn, false, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusRefused},
    {code::kServiceStatusWaitReviewReturn, true, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusWaitSignFor},
    {code::kServiceStatusWaitReviewExchange, false, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusRefused},
    {code::kServiceStatusWaitReviewExchange, true, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusWaitSignFor},
    {code::kServiceStatusWaitReviewRefund, false, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusRefused},
    {code::kServiceStatusWaitReviewRefund, true, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusCompleted},
    {code::kServiceStatusWaitConfirmReturn, false, kAnyManageType, Quantities::kUnchanged,
     Target::kFixed, code::kServiceStatusRefused},
    {code::kServiceStatusWaitConfirmReturn, true, kAnyManageType, Quantities::kAllReturned,
     Target::kFixed, code::kServiceStatusWaitReviewRefund},
    {code::kServiceStatusWaitSignFor, false, kAnyManageType, Quantities::kUnchanged,
     Target::kFixed, code::kServiceStatusRefused},
    {code::kServiceStatusWaitSignFor, true, code::kManageTypeSignForReturn, Quantities::kReceive,
     Target::kSignedFor, 0},
    {code::kServiceStatusWaitSignFor, true, code::kManageTypeSignForKeepTarget,
     Quantities::kReceiveKeepReturned, Target::kSignedFor, 0},
    {code::kServiceStatusWaitSignFor, true, code::kManageTypeSignForNoQuantity,
     Quantities::kUnchanged, Target::kGoodsIn, 0},
    {code::kServiceStatusWaitExchange, false, kAnyManageType, Quantities::kUnchanged,
     Target::kFixed, code::kServiceStatusRefused},
    {code::kServiceStatusWaitExchange, true, kAnyManageType, Quantities::kStepIsWhole,
     Target::kFixed, code::kServiceStatusCompleted},
};

const Transition* FindTransition(const ServiceStep& step) {
  for (const Transition& t : kTransitions) {
    if (t.from == step.lCurStatus && t.agree == step.bIsAgree &&
        (t.manage_type == kAnyManageType || t.manage_type == step.manage_type))
      return &t;
  }
  return nullptr;
}

// Quantities are decimals in the database; sums of them must still meet the case's quantity.
bool SameQuantity(double a, double b) { return std::fabs(a - b) < 1e-9; }

int32_t GoodsInTarget(const ServiceStep& step) {
  return step.service_type == code::kServiceTypeExchange ? code::kServiceStatusWaitExchange
                                                         : code::kServiceStatusWaitReviewRefund;
}

// After goods were signed for. A case that moved on since the operator looked keeps its state
// (the receipt is recorded all the same); a partial receipt keeps waiting for the rest.
int32_t SignedForTarget(ServiceStep& step, bool confirms_return) {
  if (step.stored_status != code::kServiceStatusWaitSignFor) {
    if (confirms_return) step.returned = step.num;
    return step.stored_status;
  }
  if (!SameQuantity(step.received, step.num)) return code::kServiceStatusWaitSignFor;
  if (confirms_return) step.returned = step.num;
  if (step.service_type == code::kServiceTypeExchange) return code::kServiceStatusWaitExchange;
  return step.amount > 0 ? code::kServiceStatusWaitReviewRefund
                         : code::kServiceStatusCompleted;
}

}  // namespace

std::optional<int32_t> GetNextServiceStatus(ServiceStep& step) {
  const Transition* t = FindTransition(step);
  if (!t) return std::nullopt;
  switch (t->quantities) {
    case Quantities::kUnchanged: break;
    case Quantities::kStepIsWhole: step.step_qty = step.num; break;
    case Quantities::kAllReturned:
      step.returned = step.num;
      step.step_qty = step.num;
      break;
    case Quantities::kReceive:
    case Quantities::kReceiveKeepReturned: step.received += step.step_qty; break;
  }
  switch (t->target) {
    case Target::kFixed: return t->to;
    case Target::kGoodsIn: return GoodsInTarget(step);
    case Target::kSignedFor:
      return SignedForTarget(step, t->quantities == Quantities::kReceive);
  }
  return std::nullopt;
}

bool AcceptsStoredStatus(int32_t lCurStatus, int32_t stored_status) {
  return stored_status == lCurStatus || lCurStatus == code::kServiceStatusWaitSignFor ||
         (lCurStatus == code::kServiceStatusWaitReviewRefund &&
          stored_status == code::kServiceStatusWaitSignFor);
}

int IsServiceOpen(int32_t status) {
  bool open = (status >= code::kServiceStatusWaitReviewReturn &&
               status <= code::kServiceStatusCompleted) ||
              status == code::kServiceStatusWaitReviewExchange;
  return open ? code::kRefundStatusOpen : code::kRefundStatusNone;
}

ServiceStart DecideServiceStart(bool force_confirm, int32_t lOpType, bool is_return) {
  bool refund = lOpType == 1 || lOpType == 3;
  if (!refund) {
    return force_confirm ? ServiceStart{code::kServiceStatusWaitSignFor,
                                        code::kServiceTypeExchange,
                                        code::kManageTypeAutoReviewExchange}
                         : ServiceStart{code::kServiceStatusWaitReviewExchange,
                                        code::kServiceTypeExchange, 0};
  }
  if (is_return) {
    return force_confirm ? ServiceStart{code::kServiceStatusWaitSignFor,
                                        code::kServiceTypeRefundReturn,
                                        code::kManageTypeAutoReviewReturn}
                         : ServiceStart{code::kServiceStatusWaitReviewReturn,
                                        code::kServiceTypeRefundReturn, 0};
  }
  return force_confirm ? ServiceStart{code::kServiceStatusCompleted,
                                      code::kServiceTypeRefundOnly,
                                      code::kManageTypeAutoReviewRefund}
                       : ServiceStart{code::kServiceStatusWaitReviewRefund,
                                      code::kServiceTypeRefundOnly, 0};
}

int32_t ApplicationManageType(int32_t lOpType) {
  if (lOpType == 1) return code::kManageTypeApplyRefund;
  if (lOpType == 2) return code::kManageTypeApplyReturn;
  return code::kManageTypeApplyOther;
}

void AppendRefundRecordSql(StringBuilder& sb, int32_t source, int32_t type, int32_t manage_type,
                           int32_t category, std::string_view amount, std::string_view qty,
                           std::string_view remark, std::string_view entry_id, int32_t item_id,
                           int32_t recorder, int32_t refund_fid) {
  auto line = [&](std::string_view text) { sb.Append(text).Append("\r\n"); };
  auto value = [&](const std::string& text) { line(text + ","); };
  line("Insert Into IC_RefundRecord(");
  for (const char* column : {"[FRecordDate],", "[FRecorder] , ", "[FSource], ", "[FType], ",
                             "[FManageType], ", "[FServiceType], ", "[FRefundAmount],", "[FQty],",
                             "[FRemark],", "[FEntryID],", "[FItemID],", "[FRefundFID]"})
    line(column);
  line(")Values(");
  line("GetDate(),");
  value(std::to_string(recorder));
  value(std::to_string(source));
  value(std::to_string(type));
  value(std::to_string(manage_type));
  value(std::to_string(category));
  value(std::string(amount));
  value(std::string(qty));
  value("'" + SqlQuote(remark) + "'");
  value(std::string(entry_id));
  value(std::to_string(item_id));
  line(std::to_string(refund_fid) + ")");
}

DictionaryPtr FindItemByKey(const VectorPtr& items, std::string_view key,
                            std::string_view value) {
  if (!items) return nullptr;
  for (const Variant& item : items->items()) {
    DictionaryPtr d = item.As<Dictionary>();
    if (!d) continue;
    const Variant& v = d->Value(key);
    if (!v.IsNull() && !v.IsObject() && CStr(v) == value) return d;
  }
  return nullptr;
}

}  // namespace ambit
