// Stock family: held quantities and warehouse choice (AmbitOrderInfo); review by stock check and
// automatic batch assignment (AmbitOrderUpdate).
#include "classes/classes.h"
#include "classes/dictionary_keys.h"
#include "classes/registrations.h"
#include "stock/batch_fill.h"
#include "stock/stock_lookups.h"
#include "stock/stock_review.h"

namespace ambit {
namespace {

// Null text arguments reach the methods as empty texts, as the platform passes them.
std::string Text(const std::vector<Variant>& a, size_t i) {
  return a[i].IsString() ? a[i].string_value() : std::string();
}

ArgEntry TextArg(const char* name) { return {name, ArgKind::kText}; }

using StockLock = double (*)(Component&, const std::string&, const std::string&,
                             const std::string&, const std::string&, const std::string&,
                             const std::string&);

void AddStockLock(MethodTable& table, const char* name, StockLock method, const char* summary) {
  table.Add({name,
             {TextArg("sDsn"), TextArg("FItemID"), TextArg("FUnitID"), TextArg("FStockID"),
              TextArg("FBatchNo"), TextArg("FSPID")},
             ResultKind::kDouble,
             summary,
             [method](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(method(self, Text(a, 0), Text(a, 1), Text(a, 2), Text(a, 3),
                                     Text(a, 4), Text(a, 5)));
             }});
}

using ReviewByStock = VectorPtr (*)(Component&, const std::string&, const std::string&, bool);

void AddReviewByStock(MethodTable& table, const char* name, ReviewByStock method,
                      const char* summary) {
  table.Add({name,
             {TextArg("sDsn"), TextArg("sFIDs"),
              {"bChkCurrency", ArgKind::kBool, false, true, Variant(false)}},
             ResultKind::kVector,
             summary,
             [method](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(method(self, Text(a, 0), Text(a, 1), CBool(a[2])));
             }});
}

}  // namespace

void AddStockInfoMethods(MethodTable& table) {
  AddStockLock(table, "GetStockLockByRow", &GetStockLockByRow,
               "Quantity of an item that open web orders hold (locked orders by setting)");
  AddStockLock(table, "GetNewStockLockByRow", &GetNewStockLockByRow,
               "Quantity of an item that open web orders hold, locked orders included");
  table.Add({"GetStockIDAndSPID",
             {TextArg("sDsn"), TextArg("sFID"), TextArg("sFItemID"), TextArg("sFWebShopID"),
              TextArg("sFDeliveryProvince"), TextArg("sFDeliveryCity"),
              TextArg("sFDeliveryDistrict")},
             ResultKind::kDictionary,
             "Warehouse and stock place an order line should ship from, with names",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetStockIDAndSPID(self, Text(a, 0), Text(a, 1), Text(a, 2),
                                                Text(a, 3), Text(a, 4), Text(a, 5),
                                                Text(a, 6)));
             }});
  table.Add({"GetItemStockInfoByFItemID",
             {TextArg("sDsn"), {"lFItemID", ArgKind::kInt32}},
             ResultKind::kRecordset,
             "Per warehouse: an item's stock on hand, held by web orders and available",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetItemStockInfoByFItemID(
                   self, Text(a, 0), a[1].IsNull() || a[1].IsEmpty() ? 0 : CLng(a[1])));
             }});
}

void AddStockUpdateMethods(MethodTable& table) {
  AddReviewByStock(table, "SetWebOrderStatusByCheckStock", &SetWebOrderStatusByCheckStock,
                   "Reviews the orders whose lines are complete and in stock; lists the rest");
  AddReviewByStock(table, "SetWebOrderStatusByCheckStockEx", &SetWebOrderStatusByCheckStockEx,
                   "Reviews the orders in stock (price-change goods aside); lists the rest");
  table.Add({"SetWebOrderStatusByCheckStockNew",
             {TextArg("sDsn"), TextArg("sFIDs")},
             ResultKind::kVector,
             "Has the database check stock and review orders; lists the short lines",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SetWebOrderStatusByCheckStockNew(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"FillBatchNo",
             {TextArg("sDsn"), {"vctOrderInfo", ArgKind::kVector},
              ArgEntry("dctPara", ArgKind::kDictionary, false, true).WithKeys({&keys::None()})},
             ResultKind::kText,
             "Assigns batches to order lines by the AutoBatchNo rule, cutting lines as needed",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               int16_t transient = 0;
               auto* update = dynamic_cast<AmbitOrderUpdate*>(&self);
               int16_t& rule = update ? update->AutoBatchNo() : transient;
               return Variant(FillBatchNo(self, rule, Text(a, 0), a[1].As<Vector>(),
                                          a[2].As<Dictionary>()));
             }});
}

}  // namespace ambit
