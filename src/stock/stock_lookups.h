// How much stock open web orders hold and where an order line should ship from. The held
// quantity counts the lines of open trades that no posted or audited stock bill has taken out
// yet, of orders that count for stock (pre-reviewed, reviewed, or every order when
// "PreCheckOnStock" is 0). All four are AmbitOrderInfo methods run in the common frame.
#ifndef AMBIT_STOCK_STOCK_LOOKUPS_H_
#define AMBIT_STOCK_STOCK_LOOKUPS_H_

#include <cstdint>
#include <string>

#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Held quantity of one item in one unit, narrowed to a warehouse, batch and stock place when
// those are not empty. Locked orders count only when "LockOrderOnStock" is '1'. Item, unit,
// warehouse and stock place must be integers (they go into the statement unquoted).
double GetStockLockByRow(Component& self, const std::string& sDsn, const std::string& FItemID,
                         const std::string& FUnitID, const std::string& FStockID,
                         const std::string& FBatchNo, const std::string& FSPID);
// The same without the lock condition: locked orders always count.
double GetNewStockLockByRow(Component& self, const std::string& sDsn, const std::string& FItemID,
                            const std::string& FUnitID, const std::string& FStockID,
                            const std::string& FBatchNo, const std::string& FSPID);

// The warehouse and stock place the account's allocation procedure chooses for an order line,
// with their names and numbers: "FStockID", "FSPID", "FStockName", "FStockNumber", "FSPName",
// "FSPNumber". Fails when the procedure answers no row.
DictionaryPtr GetStockIDAndSPID(Component& self, const std::string& sDsn, const std::string& sFID,
                                const std::string& sFItemID, const std::string& sFWebShopID,
                                const std::string& sFDeliveryProvince,
                                const std::string& sFDeliveryCity,
                                const std::string& sFDeliveryDistrict);

// Per warehouse holding the item: on hand, held by open web orders and what is left, in whole
// numbers, most available first.
RecordsetPtr GetItemStockInfoByFItemID(Component& self, const std::string& sDsn,
                                       int32_t lFItemID);

}  // namespace ambit

#endif  // AMBIT_STOCK_STOCK_LOOKUPS_H_
