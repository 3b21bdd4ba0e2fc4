// Registration of the order lists: the filter screen's captions, shop access and the status
// lists (AmbitOrderInfo).
#include "classes/dictionary_keys.h"
#include "classes/registrations.h"
#include "query/order_filter.h"
#include "query/order_select.h"
#include "query/status_lists.h"

namespace ambit {

void AddQueryListMethods(MethodTable& table) {
  using ListMethod = RecordsetPtr (*)(Component&, const DictionaryPtr&);
  struct Entry {
    const char* name;
    ListMethod method;
    const char* summary;
    std::vector<const KeyGroup*> keys;
    // The status lists answer the next page's cursor ("PageNext") in dctPara.
    bool in_out = false;
  };
  using namespace keys;
  const std::vector<const KeyGroup*> first = {&Account(), &OrderFilter(), &ListCount(),
                                              &ListLimit(), &ListPaging()};
  const std::vector<const KeyGroup*> second = {&Account(), &OrderFilter(), &ListCount(),
                                               &ListLimit(), &ListPaging(), &RefundCheck()};
  const std::vector<const KeyGroup*> one_order = {&Account(), &OrderKey()};
  const Entry lists[] = {
      {"GetTemplateData", &GetTemplateData, "Captions of the order filter screen's fields",
       {&Account(), &TemplateClass()}},
      {"GetWaitVerifyData", &GetWaitVerifyData, "Orders awaiting review under the filter",
       {&Account(), &OrderFilter(), &ListCount(), &ListPaging()}, true},
      {"GetVerifiedData", &GetVerifiedData, "Reviewed orders that are not locked", first, true},
      {"GetAllData", &GetAllData, "All orders under the filter", first, true},
      {"GetLockData", &GetLockData, "Locked orders", first, true},
      {"GetNoVerifyData", &GetNoVerifyData,
       "Orders awaiting review that must not be reviewed yet (refunds, unpaid, closed)", second,
       true},
      {"GetWaitVerifyData2", &GetWaitVerifyData2, "Orders awaiting review that may be reviewed",
       second, true},
      {"GetWebOrderEntryData", &GetWebOrderEntryData, "The lines of one order", one_order},
      {"GetLatelyData", &GetLatelyData, "The buyer's order lines of the last 90 days",
       one_order},
  };
  for (const Entry& e : lists) {
    ListMethod method = e.method;
    table.Add({e.name,
               {ArgEntry("dctPara", ArgKind::kDictionary, e.in_out).WithKeys(e.keys)},
               ResultKind::kRecordset,
               e.summary,
               [method](Component& self, std::vector<Variant>& a) -> Variant {
                 return Variant(method(self, a[0].As<Dictionary>()));
               },
               /*heavy=*/e.in_out});  // the status lists, which scan the account's orders
  }
  table.Add({"WebShopAccess",
             {{"sDsn", ArgKind::kText}},
             ResultKind::kText,
             "Join restricting orders to the user's shops, or empty when all are visible",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(WebShopAccess(self, a[0].IsString() ? a[0].string_value() : ""));
             }});
  table.Add({"IsTradeSuccessDown2fpNoVerify",
             {},
             ResultKind::kBool,
             "Whether finished trades stay out of review",
             [](Component& self, std::vector<Variant>&) -> Variant {
               return Variant(IsTradeSuccessDown2fpNoVerify(self));
             }});
}

}  // namespace ambit
