// Undoing after-sales work (AmbitOrderUpdate): stepping cases back while removing the ERP
// documents their forward steps produced, deleting a case still in its first state, purging
// cases of deleted order lines, and approving, refusing or recording re-shipment orders.
#ifndef AMBIT_AFTERSALES_SERVICE_ROLLBACK_H_
#define AMBIT_AFTERSALES_SERVICE_ROLLBACK_H_

#include <cstdint>
#include <string>

#include "base/variant.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// For each listed line with a current case: removes the documents of its state (red sales
// invoice, red outbound bill, return receipt, exchange order not yet reviewed) and resets the
// received quantities; with iType 2 also steps the case back one state with a history row
// (lEmpID, an employee key as text, must then be an integer). Answers one message per document
// and step; everything is written in one batch at the end.
VectorPtr BackToPreviousService(Component& self, const std::string& sDsn, int32_t iType,
                                const std::string& sFEntryIDs, const std::string& sRemark,
                                const std::string& lEmpID);

// Deletes an offline case that is still in its first state, with its history, and restores
// its line from the line's newest remaining case. "" when deleted, else why not.
std::string DeleteRefundInfo(Component& self, const std::string& sDsn,
                             const std::string& sRefundFID);

// Removes cases and history rows whose order line no longer exists. sFIDs is not used.
Variant ClearServiceInfo(Component& self, const std::string& sDsn, const std::string& sFIDs);

// Re-shipment orders (sFID: order keys, repeats ignored). Approval reviews the orders and
// completes their lines; refusal sends them back to review and refuses their lines; recording
// replaces each line's history with one "re-shipment recorded" row.
void UpdateAgreeSupplyOrderStatus(Component& self, const std::string& sDsn,
                                  const std::string& sFID, const std::string& sRemark,
                                  int32_t lEmp);
void UpdateRefuseSupplyOrderStatus(Component& self, const std::string& sDsn,
                                   const std::string& sFID, const std::string& sRemark,
                                   int32_t lEmp);
void UpdateAddSupplyRecord(Component& self, const std::string& sDsn, const std::string& sFID,
                           int32_t lEmp);

}  // namespace ambit

#endif  // AMBIT_AFTERSALES_SERVICE_ROLLBACK_H_
