// Order merging and gift lines on AmbitOrderUpdate.
#include "classes/registrations.h"
#include "merge/gift_items.h"
#include "merge/merge_orders.h"

namespace ambit {
namespace {

// Null text arguments reach the methods as empty texts, as the platform passes them.
std::string Text(const std::vector<Variant>& a, size_t i) {
  return a[i].IsString() ? a[i].string_value() : std::string();
}

ArgEntry Dsn() { return {"sDsn", ArgKind::kText}; }

using MergeMethod = std::string (*)(Component&, const std::string&, const VectorPtr&,
                                    std::string&);

// The two merge methods look the same to clients: sFidForGift comes back with the survivors.
void AddMergeMethod(MethodTable& table, std::string name, std::string summary,
                    MergeMethod method) {
  table.Add({std::move(name),
             {Dsn(), {"vctOrderInfo", ArgKind::kVector},
              {"sFidForGift", ArgKind::kText, true, true, Variant("")}},
             ResultKind::kText, std::move(summary),
             [method](Component& self, std::vector<Variant>& a) -> Variant {
               std::string fids_for_gift = Text(a, 2);
               std::string result = method(self, Text(a, 0), a[1].As<Vector>(), fids_for_gift);
               a[2] = Variant(fids_for_gift);
               return Variant(result);
             }});
}

}  // namespace

void AddMergeMethods(MethodTable& table) {
  AddMergeMethod(table, "MergeOrders",
                 "Merges the selected orders of each consignee that agree on everything a "
                 "shipment needs",
                 &MergeOrders);
  AddMergeMethod(table, "MergeOrdersZJ",
                 "Merges orders into the one holding a home-improvement service line",
                 &MergeOrdersZJ);
  table.Add({"MergeDownloadedOrders",
             {Dsn(), {"lWebShopID", ArgKind::kInt32}, {"sStartDate", ArgKind::kText},
              {"sEndDate", ArgKind::kText}, {"lDateType", ArgKind::kInt32},
              {"bAutoCheck", ArgKind::kBool}},
             ResultKind::kNone,
             "Merges the downloaded orders of one shop and period per consignee",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               MergeDownloadedOrders(self, Text(a, 0), a[1].long_value(), Text(a, 2), Text(a, 3),
                                     a[4].long_value(), a[5].bool_value());
               return Variant();
             }});
  table.Add({"BatchInsertGiftItems",
             {Dsn(), {"vctOrders", ArgKind::kVector}, {"vctOrderEntry", ArgKind::kVector}},
             ResultKind::kInt32,
             "Adds the same gift lines to every listed order (0, or -1 to -5 refused)",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(BatchInsertGiftItems(self, Text(a, 0), a[1].As<Vector>(),
                                                   a[2].As<Vector>()));
             }});
  table.Add({"MergeGiftItems",
             {Dsn()},
             ResultKind::kInt32,
             "Folds repeated gift lines of orders awaiting review into one line each",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(MergeGiftItems(self, Text(a, 0)));
             }});
  table.Add({"AddGiftWhenMergeOrder",
             {Dsn(), {"sFIDs", ArgKind::kText}},
             ResultKind::kNone,
             "Has the promotion service add gifts to merged, reviewed orders",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               AddGiftWhenMergeOrder(self, Text(a, 0), Text(a, 1));
               return Variant();
             }});
}

}  // namespace ambit
