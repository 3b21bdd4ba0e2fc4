// The checks the workbench runs on a selection of orders before it locks, ships or books them
// out: which orders are locked, which are shipped by the logistics partner's warehouse in an
// unfinished state, and the outbound processing result. Each answers a Vector of row
// Dictionaries, empty when no order is in the way.
#ifndef AMBIT_QUERY_STATE_CHECKS_H_
#define AMBIT_QUERY_STATE_CHECKS_H_

#include <string>

#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Loads the keys of sFID into the connection's #TempLockID and runs `query` against it, with
// dirty reads. Nothing for an empty sDsn. Errors carry the source of this runner, whichever
// check called it. Empty keys are skipped; any other key must be an integer.
VectorPtr CheckWebOrderSqlDefined(Component& self, const std::string& sDsn,
                                  const std::string& sFID, const std::string& query);

// Locked orders: FID, FOrderID.
VectorPtr CheckWebOrderIsLock(Component& self, const std::string& sDsn, const std::string& sFID);
// Orders mixing partner-shipped lines with sold lines shipped otherwise.
VectorPtr CheckWebOrderEntryAllIsShShip(Component& self, const std::string& sDsn,
                                        const std::string& sFID);
// Partner-shipped orders whose lines use more than one warehouse.
VectorPtr ConfirmWebIsShipOrderMultipleStock(Component& self, const std::string& sDsn,
                                             const std::string& sFID);
// Partner-flow orders that are not delivered yet.
VectorPtr CheckWebIsShShipOrderIsDelivered(Component& self, const std::string& sDsn,
                                           const std::string& sFID);
// Orders with any partner-shipped line.
VectorPtr CheckWebHaveIsShShipFlag(Component& self, const std::string& sDsn,
                                   const std::string& sFID);
// Every reason the orders cannot go the partner's automatic way: FID, FOrderID, FMsg.
VectorPtr CheckDelieveryShShip(Component& self, const std::string& sDsn, const std::string& sFID);
// Outbound processing state and result per order: FID, FOrderID, FStockBillStatus,
// FStockBillResult.
VectorPtr GetStockOutResult(Component& self, const std::string& sDsn, const std::string& sFID);

}  // namespace ambit

#endif  // AMBIT_QUERY_STATE_CHECKS_H_
