#include "classes/registrations.h"

namespace ambit {

// One line per family; the order is the catalogue order.
void RegisterOrderInfoMethods(MethodTable& table) {
  AddOpLogInfoMethods(table);
  AddQueryListMethods(table);
  AddQueryLookupMethods(table);
  AddPurchaseMethods(table);
  AddStockInfoMethods(table);
  AddAfterSalesInfoMethods(table);
}

void RegisterOrderUpdateMethods(MethodTable& table) {
  AddOpLogUpdateMethods(table);
  AddMaintainUpdateMethods(table);
  AddMergeMethods(table);
  AddDemoDataMethods(table);
  AddStockUpdateMethods(table);
  AddSplitUpdateMethods(table);
  AddAfterSalesUpdateMethods(table);
}

void RegisterColumnsSetMethods(MethodTable& table) {
  AddColumnsSetMethods(table);
}

}  // namespace ambit
