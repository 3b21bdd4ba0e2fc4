// BuildDemoData: fills an empty demonstration account with 100 web orders in every processing
// state, their lines and one shop. It destroys every existing order, line and shop row.
#ifndef AMBIT_MAINTAIN_BUILD_DEMO_DATA_H_
#define AMBIT_MAINTAIN_BUILD_DEMO_DATA_H_

#include <string>

#include "data/connection.h"
#include "frame/method_frame.h"

namespace ambit {

inline constexpr int kDemoOrderCount = 100;

// `sDsn` is in/out as the class declares it; the method leaves it as it is.
void BuildDemoData(Component& self, std::string& sDsn);
// The work of BuildDemoData on a connection, for account set-up outside a method call.
void FillDemoOrders(Connection& conn);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_BUILD_DEMO_DATA_H_
