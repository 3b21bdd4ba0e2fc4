// Each method family adds its public methods to its class's table here; the Register*Methods
// hooks call one Add*Methods function per family.
#ifndef AMBIT_CLASSES_REGISTRATIONS_H_
#define AMBIT_CLASSES_REGISTRATIONS_H_

#include "classes/method_table.h"

namespace ambit {

void RegisterOrderInfoMethods(MethodTable& table);
void RegisterOrderUpdateMethods(MethodTable& table);
void RegisterColumnsSetMethods(MethodTable& table);

// Operation log (maintain family).
void AddOpLogInfoMethods(MethodTable& table);
void AddOpLogUpdateMethods(MethodTable& table);
// Save, status operations, bill follow-up and promotion service calls (maintain family).
void AddMaintainUpdateMethods(MethodTable& table);
// Demonstration data (maintain family).
void AddDemoDataMethods(MethodTable& table);
// Order merging and gift lines (merge family).
void AddMergeMethods(MethodTable& table);
// Order filter captions, shop access and the status lists (query family).
void AddQueryListMethods(MethodTable& table);
// Order lookups and state checks on a key list (query family).
void AddQueryLookupMethods(MethodTable& table);
// Purchase requirement summary, print tables and purchase bills (purchase family).
void AddPurchaseMethods(MethodTable& table);
// Held stock, warehouse choice and item stock (stock family).
void AddStockInfoMethods(MethodTable& table);
// Review by stock check and automatic batch assignment (stock family).
void AddStockUpdateMethods(MethodTable& table);
// Splitting by line, quantity, unit, refund state and part shipment (split family).
void AddSplitUpdateMethods(MethodTable& table);
// Refund and after-sales lists (aftersales family).
void AddAfterSalesInfoMethods(MethodTable& table);
// Refund gateways, after-sales cases, rollback and re-shipment orders (aftersales family).
void AddAfterSalesUpdateMethods(MethodTable& table);
// Column defaults (columns family).
void AddColumnsSetMethods(MethodTable& table);

}  // namespace ambit

#endif  // AMBIT_CLASSES_REGISTRATIONS_H_
