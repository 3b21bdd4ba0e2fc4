// Registration of purchase planning on AmbitOrderInfo: the requirement summary, its print
// tables and checks, and the purchase request and order bills.
#include "classes/dictionary_keys.h"
#include "classes/registrations.h"
#include "purchase/purchase_bill.h"
#include "purchase/purchase_summary.h"

namespace ambit {
namespace {

// Null arguments reach the methods as empty texts and zeros, as the platform passes them.
std::string Text(const std::vector<Variant>& a, size_t i) {
  return a[i].IsString() ? a[i].string_value() : std::string();
}
int32_t Number(const std::vector<Variant>& a, size_t i) {
  return a[i].IsNull() || a[i].IsEmpty() ? 0 : CLng(a[i]);
}
int16_t Mode(const std::vector<Variant>& a, size_t i) {
  return a[i].IsNull() || a[i].IsEmpty() ? 0 : CInt(a[i]);
}

ArgEntry Dsn() { return {"sDsn", ArgKind::kText}; }

// The head columns the bill takes from the caller, as the writer itself lists them.
const KeyGroup& PurchaseHead() {
  static const KeyGroup keys = [] {
    KeyGroup group;
    for (const auto& [name, numeric] : PurchaseHeadKeys())
      group.push_back({name, numeric ? ArgKind::kDouble : ArgKind::kText, nullptr,
                       "Column of the bill's head (POrequest or POOrder)"});
    return group;
  }();
  return keys;
}

void AddSummaryMethods(MethodTable& table) {
  table.Add({"GetWebOrderEntryDetialSumByFID",
             {Dsn(), {"sFID", ArgKind::kText}, {"ipurMode", ArgKind::kInt16},
              ArgEntry("dctParaInfo", ArgKind::kDictionary, false, true)
                  .WithKeys({&keys::CodeRange()})},
             ResultKind::kRecordset,
             "Per item (1: and warehouse): stock, open order demand, goods on order and coming "
             "back",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetWebOrderEntryDetialSumByFID(self, Text(a, 0), Text(a, 1),
                                                             Mode(a, 2), a[3].As<Dictionary>()));
             }});
  using Fill = RecordsetPtr (*)(Component&, const std::string&, const VectorPtr&, int16_t);
  const struct {
    const char* name;
    Fill fill;
    const char* summary;
  } fills[] = {
      {"InsertPurchasePrintData", &InsertPurchasePrintData,
       "Replaces the purchase print tables with the confirmed rows"},
      {"ManagePurchaseData", &ManagePurchaseData,
       "Replaces the purchase print tables and answers the rows for making bills"},
  };
  for (const auto& f : fills) {
    Fill fill = f.fill;
    table.Add({f.name,
               {Dsn(), {"dct", ArgKind::kVector}, {"ipurMode", ArgKind::kInt16}},
               ResultKind::kRecordset,
               f.summary,
               [fill](Component& self, std::vector<Variant>& a) -> Variant {
                 return Variant(fill(self, Text(a, 0), a[1].As<Vector>(), Mode(a, 2)));
               }});
  }
  table.Add({"CheckOrderMatchGoods",
             {Dsn(), {"sFID", ArgKind::kText}},
             ResultKind::kText,
             "The order's number when a line has no ERP item, else empty",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(CheckOrderMatchGoods(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"GetPurChaseCheckMode",
             {Dsn()},
             ResultKind::kInt16,
             "The purchase check mode parameter (2 when unset)",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetPurChaseCheckMode(self, Text(a, 0)));
             }});
  table.Add({"CheckPurchaseOnVoid",
             {Dsn(), {"sFID", ArgKind::kText}},
             ResultKind::kVector,
             "Lines of the order without a delivery warehouse, or nothing",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               VectorPtr problems = CheckPurchaseOnVoid(self, Text(a, 0), Text(a, 1));
               return problems ? Variant(problems) : Variant();
             }});
}

void AddBillMethods(MethodTable& table) {
  table.Add({"SavePurchaseApplyBill",
             {Dsn(), {"lTranType", ArgKind::kInt32},
              ArgEntry("dctParaHead", ArgKind::kDictionary, false, true)
                  .WithKeys({&PurchaseHead()}),
              {"vctParaEntry", ArgKind::kVector, false, true}},
             ResultKind::kBool,
             "Writes a purchase request (70) or purchase order with its lines in one batch",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SavePurchaseApplyBill(self, Text(a, 0), Number(a, 1),
                                                    a[2].As<Dictionary>(), a[3].As<Vector>()));
             }});
  table.Add({"GetMaxNum",
             {Dsn(), {"sUserID", ArgKind::kInt32}, {"strName", ArgKind::kText}},
             ResultKind::kInt32,
             "A new internal key for a bill table",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetMaxNum(self, Text(a, 0), Number(a, 1), Text(a, 2)));
             }});
  table.Add({"GetThisBillNO",
             {Dsn(), {"BillTransType", ArgKind::kInt32},
              {"UpdateMaxNO", ArgKind::kBool, true},
              ArgEntry("vdict", ArgKind::kDictionary, false, true)
                  .WithOpenKeys("The bill for the number service (FBillType and FDate are set "
                                "here)"),
              ArgEntry("vDictMore", ArgKind::kDictionary, false, true)
                  .WithOpenKeys("Further values passed to the number service")},
             ResultKind::kText,
             "A new bill number of the bill type from the bill number service",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               bool update = a[2].IsNull() || a[2].IsEmpty() ? false : CBool(a[2]);
               std::string number = GetThisBillNO(self, Text(a, 0), Number(a, 1), update,
                                                  a[3].As<Dictionary>(), a[4].As<Dictionary>());
               a[2] = Variant(update);
               return Variant(number);
             }});
  using Lookup = int32_t (*)(Component&, const std::string&);
  const struct {
    const char* name;
    Lookup lookup;
    const char* summary;
  } lookups[] = {
      {"GetDefaultDepartment", &GetDefaultDepartment, "The default department of purchase bills"},
      {"GetDefaultStaff", &GetDefaultStaff, "The default staff member of purchase bills"},
  };
  for (const auto& l : lookups) {
    Lookup lookup = l.lookup;
    table.Add({l.name, {Dsn()}, ResultKind::kInt32, l.summary,
               [lookup](Component& self, std::vector<Variant>& a) -> Variant {
                 return Variant(lookup(self, Text(a, 0)));
               }});
  }
  table.Add({"GetPurChaseStyleOrArea",
             {Dsn(), {"lClass", ArgKind::kInt32}},
             ResultKind::kInt32,
             "The credit purchase style (1) or the default purchase area",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetPurChaseStyleOrArea(self, Text(a, 0), Number(a, 1)));
             }});
}

}  // namespace

void AddPurchaseMethods(MethodTable& table) {
  AddSummaryMethods(table);
  AddBillMethods(table);
}

}  // namespace ambit
