#include "classes/registrations.h"
#include "maintain/build_demo_data.h"

namespace ambit {

void AddDemoDataMethods(MethodTable& table) {
  table.Add({"BuildDemoData",
             {{"sDsn", ArgKind::kText, true}},
             ResultKind::kNone,
             "Replaces every web order, line and shop with 100 demonstration orders",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               std::string dsn = a[0].IsString() ? a[0].string_value() : std::string();
               BuildDemoData(self, dsn);
               a[0] = Variant(dsn);
               return Variant();
             }});
}

}  // namespace ambit
