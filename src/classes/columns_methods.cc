// Registration of the column-default methods (AmbitColumnsSet).
#include "classes/dictionary_keys.h"
#include "classes/registrations.h"
#include "columns/column_defaults.h"

namespace ambit {

void AddColumnsSetMethods(MethodTable& table) {
  table.Add({"GetColumnsDefaultSet",
             {ArgEntry("dctPara", ArgKind::kDictionary)
                  .WithKeys({&keys::Account(), &keys::ColumnGrid(), &keys::ColumnFilter()})},
             ResultKind::kRecordset,
             "Saved grid columns matching the given keys, in position order",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetColumnsDefaultSet(self, a[0].As<Dictionary>()));
             }});
  table.Add({"GetAllColumnsDefaultSet",
             {ArgEntry("dctPara", ArgKind::kDictionary)
                  .WithKeys({&keys::Account(), &keys::ColumnGrid()})},
             ResultKind::kDictionary,
             "Full layout of one grid: saved columns, then the visible fields it lacks",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetAllColumnsDefaultSet(self, a[0].As<Dictionary>()));
             }});
}

}  // namespace ambit
