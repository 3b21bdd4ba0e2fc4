#include "classes/registrations.h"

namespace ambit {

// No business method has landed yet: the tables exist so that hosts, the catalogue and
// marshalling are in place, and each family fills its class's table as it arrives.
void RegisterOrderInfoMethods(MethodTable&) {}
void RegisterOrderUpdateMethods(MethodTable&) {}
void RegisterColumnsSetMethods(MethodTable&) {}

}  // namespace ambit
