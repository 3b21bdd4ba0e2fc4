#include "classes/dictionary_keys.h"
#include "classes/method_args.h"
#include "classes/registrations.h"
#include "maintain/oplog.h"

namespace ambit {
namespace {

using method_args::Text;

}  // namespace

void AddOpLogInfoMethods(MethodTable& table) {
  table.Add({"GetOPLog",
             {{"sDsn", ArgKind::kText}, {"sFID", ArgKind::kText}},
             ResultKind::kRecordset,
             "Operation log of one order, oldest first",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetOPLog(self, Text(a, 0), Text(a, 1)));
             }});
}

void AddOpLogUpdateMethods(MethodTable& table) {
  table.Add({"WriteOPLog",
             {{"sDsn", ArgKind::kText},
              ArgEntry("dctData", ArgKind::kDictionary).WithKeys({&keys::OpLogRow()})},
             ResultKind::kBool,
             "Writes one operation-log row per order of dctData(\"sFID\")",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(WriteOPLog(self, Text(a, 0), a[1].As<Dictionary>()));
             }});
  table.Add({"IsLogEnable",
             {{"OPCode", ArgKind::kText}},
             ResultKind::kBool,
             "Whether rows of an operation code are logged",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(IsLogEnable(self, Text(a, 0)));
             }});
  table.Add({"WriteSaveOrderLog",
             {{"FID", ArgKind::kText},
              {"EntryID", ArgKind::kText},
              {"FieldName", ArgKind::kText},
              {"Value", ArgKind::kText},
              {"ItemID", ArgKind::kText, false, true, Variant("")}},
             ResultKind::kBool,
             "Logs one edited order field when its value really changes",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(WriteSaveOrderLog(self, Text(a, 0), Text(a, 1),
                                                Text(a, 2), Text(a, 3),
                                                Text(a, 4)));
             }});
}

}  // namespace ambit
