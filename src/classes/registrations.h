// Each method family adds its public methods to its class's table through these hooks; the
// family folders define them as their methods land.
#ifndef AMBIT_CLASSES_REGISTRATIONS_H_
#define AMBIT_CLASSES_REGISTRATIONS_H_

#include "classes/method_table.h"

namespace ambit {

void RegisterOrderInfoMethods(MethodTable& table);
void RegisterOrderUpdateMethods(MethodTable& table);
void RegisterColumnsSetMethods(MethodTable& table);

}  // namespace ambit

#endif  // AMBIT_CLASSES_REGISTRATIONS_H_
