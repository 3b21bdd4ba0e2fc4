// Order splitting on AmbitOrderUpdate: by line, by quantity, by unit, by refund state and by
// part shipment, and the trade status helpers of the part-shipment split.
#include "classes/dictionary_keys.h"
#include "classes/registrations.h"
#include "split/part_send.h"
#include "split/split_orders.h"
#include "split/split_variants.h"

namespace ambit {
namespace {

std::string Text(const std::vector<Variant>& a, size_t i) {
  return a[i].IsString() ? a[i].string_value() : std::string();
}

ArgEntry Dsn() { return {"sDsn", ArgKind::kText}; }
ArgEntry OrderKeys() { return {"vctOrderInfo", ArgKind::kVector}; }
ArgEntry OptionalPara() {
  return ArgEntry("dctPara", ArgKind::kDictionary, false, true).WithKeys({&keys::SplitOrigin()});
}

void AddVectorSplit(MethodTable& table, std::string name, std::string summary,
                    std::string (*method)(Component&, const std::string&, const VectorPtr&,
                                          DictionaryPtr)) {
  table.Add({std::move(name), {Dsn(), OrderKeys(), OptionalPara()}, ResultKind::kText,
             std::move(summary), [method](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(method(self, Text(a, 0), a[1].As<Vector>(), a[2].As<Dictionary>()));
             }});
}

}  // namespace

void AddSplitUpdateMethods(MethodTable& table) {
  AddVectorSplit(table, "SplitOrders",
                 "Splits orders into one order per line; part-shipped trades by line state",
                 &SplitOrders);
  table.Add({"SplitOrdersByNum",
             {Dsn(), ArgEntry("dctEntry", ArgKind::kDictionary).WithKeys({&keys::SplitLine()}),
              ArgEntry("dctOrderInfo", ArgKind::kDictionary).WithKeys({&keys::SplitOrder()}),
              OptionalPara()},
             ResultKind::kText,
             "Splits quantities off one order line into orders of their own",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SplitOrdersByNum(self, Text(a, 0), a[1].As<Dictionary>(),
                                               a[2].As<Dictionary>(), a[3].As<Dictionary>()));
             }});
  AddVectorSplit(table, "SplitOrdersByTypeAndNum",
                 "Splits orders into one order per unit of quantity", &SplitOrdersByTypeAndNum);
  AddVectorSplit(table, "SplitOrdersByRefund",
                 "Moves the refunded or closed lines of orders under refund to an order of "
                 "their own",
                 &SplitOrdersByRefund);
  table.Add({"SplitOrderPartSend",
             {Dsn(), {"fids", ArgKind::kText}},
             ResultKind::kText,
             "Splits part-shipped orders into one order per line state",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SplitOrderPartSend(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"GetTranscationStatusByStatus",
             {{"sFStatus", ArgKind::kText, true}},
             ResultKind::kText,
             "The trade status code of a shop status text",
             [](Component&, std::vector<Variant>& a) -> Variant {
               std::string status = Text(a, 0);
               std::string code = GetTranscationStatusByStatus(status);
               a[0] = Variant(status);
               return Variant(code);
             }});
  table.Add({"UpdateWeb2ERPOrdersSplitOneEntrySQL",
             {{"sFSiteOrderID", ArgKind::kText, true},
              {"sFWebShopID", ArgKind::kText, true},
              {"lFWebShopFID", ArgKind::kInt32, true},
              {"dFpayTime", ArgKind::kDate, true},
              {"dModifiedTime", ArgKind::kDate, true},
              {"dFOrderDate", ArgKind::kDate, true},
              {"sFStatus", ArgKind::kText, true}},
             ResultKind::kText,
             "The statement copying a downloaded trade's data onto its orders",
             [](Component&, std::vector<Variant>& a) -> Variant {
               std::string status = Text(a, 6);
               int32_t shop_fid = a[2].IsNull() ? 0 : a[2].long_value();
               std::string sql = UpdateWeb2ERPOrdersSplitOneEntrySQL(
                   Text(a, 0), Text(a, 1), shop_fid, a[3], a[4], a[5], status);
               a[6] = Variant(status);
               return Variant(sql);
             }});
}

}  // namespace ambit
