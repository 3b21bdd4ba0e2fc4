// Registration of the order lookups and the state checks on a key list (AmbitOrderInfo).
#include "classes/dictionary_keys.h"
#include "classes/method_args.h"
#include "classes/registrations.h"
#include "frame/client_sql.h"
#include "query/lookups.h"
#include "query/state_checks.h"

namespace ambit {
namespace {

using method_args::Long;
using method_args::Text;

ArgEntry TextArg(const char* name) { return {name, ArgKind::kText}; }
ArgEntry LongArg(const char* name) { return {name, ArgKind::kInt32}; }

// Methods of the shape (sDsn, key list) -> Vector.
using KeyListCheck = VectorPtr (*)(Component&, const std::string&, const std::string&);

void AddStateCheck(MethodTable& table, const char* name, KeyListCheck check,
                   const char* summary) {
  table.Add({name,
             {TextArg("sDsn"), TextArg("sFID")},
             ResultKind::kVector,
             summary,
             [check](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(check(self, Text(a, 0), Text(a, 1)));
             }});
}

void AddKeyListLookups(MethodTable& table) {
  using KeyListRs = RecordsetPtr (*)(Component&, const std::string&, const std::string&);
  struct Entry {
    const char* name;
    const char* list_arg;
    KeyListRs method;
    const char* summary;
  };
  const Entry entries[] = {
      {"GetRecordOrderLst", "sFID", &GetRecordOrderLst,
       "Orders of the list that already have a voucher"},
      {"GetRefundOrderLst", "sFID", &GetRefundOrderLst,
       "Orders of the list with an after-sales case that is not refused"},
      {"GetIsOutStockByFIDs", "sFIDs", &GetIsOutStockByFIDs,
       "Orders with a line the available stock cannot serve"},
      {"GetInvoiceStatus", "sFIDs", &GetInvoiceStatus,
       "Invoicing state of the orders with their shop's defaults"},
      {"GetInoviceLinkInfo", "strFIDs", &GetInoviceLinkInfo, "Line amounts for invoicing"},
      {"GetNotMergeOrderByTids", "sTids", &GetNotMergeOrderByTids,
       "Orders of the list that must not be merged"},
      {"GetWebOrderEntrySumByFID", "sFID", &GetWebOrderEntrySumByFID,
       "Per item of the orders' lines: ordered quantity and goods on order"},
      {"GetTransferOrderInfo", "sFID", &GetTransferOrderInfo,
       "Sales orders already made from the web orders"},
  };
  for (const Entry& e : entries) {
    KeyListRs method = e.method;
    table.Add({e.name,
               {TextArg("sDsn"), TextArg(e.list_arg)},
               ResultKind::kRecordset,
               e.summary,
               [method](Component& self, std::vector<Variant>& a) -> Variant {
                 return Variant(method(self, Text(a, 0), Text(a, 1)));
               }});
  }
  table.Add({"GetSortRs",
             {TextArg("strDSN"), TextArg("strFIDs")},
             ResultKind::kVariant,
             "Lines of the orders in the order the keys are given",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetSortRs(self, Text(a, 0), Text(a, 1)));
             }});
}

void AddDictionaryLookups(MethodTable& table) {
  using DictRs = RecordsetPtr (*)(Component&, const DictionaryPtr&);
  struct Entry {
    const char* name;
    DictRs method;
    const char* summary;
    std::vector<const KeyGroup*> keys;
  };
  using namespace keys;
  const Entry entries[] = {
      {"GetWebOrderData", &GetWebOrderData, "Orders of dctPara(\"FID\") in the list layout",
       {&Account(), &OrderKeyList()}},
      {"GetWebOrderDataOrderBy", &GetWebOrderDataOrderBy,
       "Orders of dctPara(\"FID\") in the list layout, in a chosen order",
       {&Account(), &OrderKeyList(), &OrderSort()}},
      {"GetWebShopData", &GetWebShopData, "Active shops with the order type of their shop type",
       {&Account()}},
  };
  for (const Entry& e : entries) {
    DictRs method = e.method;
    table.Add({e.name,
               {ArgEntry("dctPara", ArgKind::kDictionary).WithKeys(e.keys)},
               ResultKind::kRecordset,
               e.summary,
               [method](Component& self, std::vector<Variant>& a) -> Variant {
                 return Variant(method(self, a[0].As<Dictionary>()));
               }});
  }
}

void AddSingleValueLookups(MethodTable& table) {
  table.Add({"GetBillEditSelfBillValue",
             {TextArg("sDsn"), LongArg("lBillID")},
             ResultKind::kInt32,
             "Whether users may edit bills made by others, per bill numbering or class type",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetBillEditSelfBillValue(self, Text(a, 0), Long(a, 1)));
             }});
  table.Add({"GetCanAlterBillNoValue",
             {TextArg("sDsn"), LongArg("lBillID")},
             ResultKind::kInt32,
             "Whether the bill number of a bill type may be edited",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetCanAlterBillNoValue(self, Text(a, 0), Long(a, 1)));
             }});
  table.Add({"IsSelfBill",
             {TextArg("sDsn"), TextArg("strBillNo"), LongArg("lClassType")},
             ResultKind::kDictionary,
             "Per bill key, whether the current user made the bill",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(IsSelfBill(self, Text(a, 0), Text(a, 1), Long(a, 2)));
             }});
  table.Add({"IsVoid",
             {TextArg("sDsn"), LongArg("lFID")},
             ResultKind::kBool,
             "Whether the order exists and is void",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(IsVoid(self, Text(a, 0), Long(a, 1)));
             }});
  table.Add({"GetAreaData",
             {TextArg("sDsn")},
             ResultKind::kDictionary,
             "Areas by key, with names in the user's language",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetAreaData(self, Text(a, 0)));
             }});
  table.Add({"GetWebFIDByInoviceID",
             {TextArg("sDsn"), LongArg("lInoviceID")},
             ResultKind::kInt32,
             "The one web order an invoice was made from, or -1",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetWebFIDByInoviceID(self, Text(a, 0), Long(a, 1)));
             }});
  table.Add({"GetItemInfoByFNunmber",
             {TextArg("sDsn"), TextArg("sFNunmber")},
             ResultKind::kDictionary,
             "The item with that number",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetItemInfoByFNunmber(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"GetSingleSQLData",
             {TextArg("sDsn"), TextArg("StrSql")},
             ResultKind::kDictionary,
             "First row of a caller's statement; nothing after any error",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               // The switch is for statements clients send; the stock lookups use the
               // method for their own.
               CheckClientSqlAllowed("The statement of GetSingleSQLData",
                                     "AmbitOrder.AmbitOrderInfo.GetSingleSQLData");
               return Variant(GetSingleSQLData(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"GetIsPriceChange",
             {TextArg("sDsn"), TextArg("sItemID")},
             ResultKind::kBool,
             "Whether the item is price-change goods",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetIsPriceChange(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"GetEntryInfoByFID",
             {TextArg("sDsn"), TextArg("sFID"), {"sEntryID", ArgKind::kVariant}},
             ResultKind::kDictionary,
             "One order line with its item and the order's line count",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetEntryInfoByFID(self, Text(a, 0), Text(a, 1), a[2]));
             }});
}

void AddWarningLookups(MethodTable& table) {
  table.Add({"GetEarlyWarningInfo",
             {TextArg("strDSN"), {"vctParam", ArgKind::kVector}},
             ResultKind::kRecordset,
             "Warning flags of the given order lines",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetEarlyWarningInfo(self, Text(a, 0), a[1].As<Vector>()));
             }});
  table.Add({"GetEarlyWarningInfo1",
             {TextArg("strDSN"),
              ArgEntry("dctPara", ArgKind::kDictionary)
                  .WithKeys({&keys::Account(), &keys::OrderFilter()})},
             ResultKind::kRecordset,
             "Warning flags of the lines of orders awaiting review under a list filter",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetEarlyWarningInfo1(self, Text(a, 0), a[1].As<Dictionary>()));
             }});
  table.Add({"GetDelayedOrderInfo",
             {TextArg("strDSN"), {"vctParam", ArgKind::kVector}, LongArg("lDelayedOrderHour")},
             ResultKind::kRecordset,
             "Orders paid at least the given number of hours ago",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(
                   GetDelayedOrderInfo(self, Text(a, 0), a[1].As<Vector>(), Long(a, 2)));
             }});
}

}  // namespace

void AddQueryLookupMethods(MethodTable& table) {
  AddKeyListLookups(table);
  AddDictionaryLookups(table);
  AddSingleValueLookups(table);
  AddWarningLookups(table);
  AddStateCheck(table, "CheckWebOrderIsLock", &CheckWebOrderIsLock, "Locked orders");
  AddStateCheck(table, "CheckWebOrderEntryAllIsShShip", &CheckWebOrderEntryAllIsShShip,
                "Orders mixing partner-shipped lines with sold lines shipped otherwise");
  AddStateCheck(table, "ConfirmWebIsShipOrderMultipleStock", &ConfirmWebIsShipOrderMultipleStock,
                "Partner-shipped orders whose lines use more than one warehouse");
  AddStateCheck(table, "CheckWebIsShShipOrderIsDelivered", &CheckWebIsShShipOrderIsDelivered,
                "Partner-flow orders not yet delivered");
  AddStateCheck(table, "CheckWebHaveIsShShipFlag", &CheckWebHaveIsShShipFlag,
                "Orders with a partner-shipped line");
  AddStateCheck(table, "CheckDelieveryShShip", &CheckDelieveryShShip,
                "Every reason the orders cannot go the partner's automatic way");
  AddStateCheck(table, "GetStockOutResult", &GetStockOutResult,
                "Outbound processing state and result per order");
}

}  // namespace ambit
