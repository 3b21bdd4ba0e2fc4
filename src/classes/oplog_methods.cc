#include "classes/registrations.h"
#include "maintain/oplog.h"

namespace ambit {
namespace {

// Null text arguments reach the methods as empty texts, as the platform passes them.
std::string TextOrEmpty(const std::vector<Variant>& a, size_t i) {
  return a[i].IsString() ? a[i].string_value() : std::string();
}

}  // namespace

void AddOpLogInfoMethods(MethodTable& table) {
  table.Add({"GetOPLog",
             {{"sDsn", ArgKind::kText}, {"sFID", ArgKind::kText}},
             ResultKind::kRecordset,
             "Operation log of one order, oldest first",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetOPLog(self, TextOrEmpty(a, 0), TextOrEmpty(a, 1)));
             }});
}

void AddOpLogUpdateMethods(MethodTable& table) {
  table.Add({"WriteOPLog",
             {{"sDsn", ArgKind::kText}, {"dctData", ArgKind::kDictionary}},
             ResultKind::kBool,
             "Writes one operation-log row per order of dctData(\"sFID\")",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(WriteOPLog(self, TextOrEmpty(a, 0), a[1].As<Dictionary>()));
             }});
  table.Add({"IsLogEnable",
             {{"OPCode", ArgKind::kText}},
             ResultKind::kBool,
             "Whether rows of an operation code are logged",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(IsLogEnable(self, TextOrEmpty(a, 0)));
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
               return Variant(WriteSaveOrderLog(self, TextOrEmpty(a, 0), TextOrEmpty(a, 1),
                                                TextOrEmpty(a, 2), TextOrEmpty(a, 3),
                                                TextOrEmpty(a, 4)));
             }});
}

}  // namespace ambit
