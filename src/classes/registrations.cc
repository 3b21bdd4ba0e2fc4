#include "classes/registrations.h"

namespace ambit {

void RegisterOrderInfoMethods(MethodTable& table) { AddOpLogInfoMethods(table); }

void RegisterOrderUpdateMethods(MethodTable& table) { AddOpLogUpdateMethods(table); }

// The column-default methods arrive with their family.
void RegisterColumnsSetMethods(MethodTable&) {}

}  // namespace ambit
