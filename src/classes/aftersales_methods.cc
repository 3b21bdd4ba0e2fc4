// Registration of the refund and after-sales family: its lists on AmbitOrderInfo, and the
// refund gateways, case records, rollback and re-shipment orders on AmbitOrderUpdate.
#include "aftersales/refund_lists.h"
#include "aftersales/refund_service.h"
#include "aftersales/service_records.h"
#include "aftersales/service_rollback.h"
#include "classes/dictionary_keys.h"
#include "classes/method_args.h"
#include "classes/registrations.h"

namespace ambit {
namespace {

using method_args::Bool;
using method_args::Double;
using method_args::Long;
using method_args::Text;

ArgEntry Dsn() { return {"sDsn", ArgKind::kText}; }
ArgEntry TextArg(const char* name) { return {name, ArgKind::kText}; }
ArgEntry LongArg(const char* name) { return {name, ArgKind::kInt32}; }

void AddListMethods(MethodTable& table) {
  using DictRs = RecordsetPtr (*)(Component&, const DictionaryPtr&);
  struct Entry {
    const char* name;
    const char* arg;
    DictRs method;
    const char* summary;
    std::vector<const KeyGroup*> keys;
  };
  using namespace keys;
  const Entry lists[] = {
      {"GetRefundOrderData", "dctPara", &GetRefundOrderData,
       "Orders with a refunding line under the order filter, or their count",
       {&Account(), &OrderFilter(), &ListCount()}},
      {"GetRefundInfoData", "dctPara", &GetRefundInfoData,
       "After-sales cases with their order, line and names", {&Account(), &RefundCase()}},
      {"GetTradeRecordData", "dctData", &GetTradeRecordData,
       "History of the after-sales cases of a line", {&Account(), &RefundLine()}},
  };
  for (const Entry& e : lists) {
    DictRs method = e.method;
    table.Add({e.name, {ArgEntry(e.arg, ArgKind::kDictionary).WithKeys(e.keys)},
               ResultKind::kRecordset, e.summary,
               [method](Component& self, std::vector<Variant>& a) -> Variant {
                 return Variant(method(self, a[0].As<Dictionary>()));
               }});
  }
  table.Add({"GetTradeServiceData",
             {ArgEntry("dctPara", ArgKind::kDictionary)
                  .WithKeys({&keys::Account(), &keys::TradeServiceFilter()})},
             ResultKind::kVariant,
             "Order lines of the after-sales workbench under the order filter",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return GetTradeServiceData(self, a[0].As<Dictionary>());
             }});
  table.Add({"GetSellerAddressForRefund", {Dsn(), TextArg("sWebShopID")},
             ResultKind::kRecordset, "Return addresses of a shop, the default first",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetSellerAddressForRefund(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"GetRefundVoucherByFID", {Dsn(), TextArg("sFIDs")}, ResultKind::kRecordset,
             "Orders of the list whose after-sales cases produced a voucher",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(GetRefundVoucherByFID(self, Text(a, 0), Text(a, 1)));
             }});
}

void AddRefundMethods(MethodTable& table) {
  table.Add({"CheckRefundSession", {Dsn(), TextArg("strWebShopID")}, ResultKind::kText,
             "Asks the refund service whether the shop's platform login allows refunds",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(CheckRefundSession(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"DoRefund",
             {Dsn(), TextArg("strWebShopID"), TextArg("strFIDs"), TextArg("sCode"),
              TextArg("sRemark"), TextArg("sEmpID")},
             ResultKind::kText, "Refunds orders through the refund service",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(DoRefund(self, Text(a, 0), Text(a, 1), Text(a, 2), Text(a, 3),
                                       Text(a, 4), Text(a, 5)));
             }});
  table.Add({"DoRefundSingle",
             {Dsn(), TextArg("strWebShopID"), TextArg("sRefundFID"), TextArg("sRefundCode"),
              TextArg("sRemark"), TextArg("sMessage"), TextArg("sFileName"), TextArg("sEmpID"),
              {"bIsReturn", ArgKind::kBool}},
             ResultKind::kText, "Refunds one after-sales case through the refund service",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(DoRefundSingle(self, Text(a, 0), Text(a, 1), Text(a, 2),
                                             Text(a, 3), Text(a, 4), Text(a, 5), Text(a, 6),
                                             Text(a, 7), Bool(a, 8)));
             }});
}

void AddCaseMethods(MethodTable& table) {
  table.Add({"AddRefundServices",
             {Dsn(), {"vctData", ArgKind::kVector}, LongArg("lOpType"), LongArg("lEmpID")},
             ResultKind::kText,
             "Opens (1 refund/return, 2 exchange) or changes (3, 4) cases: \"OK:..,Faild:..\"",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(AddRefundServices(self, Text(a, 0), a[1].As<Vector>(),
                                                Long(a, 2), Long(a, 3)));
             }});
  table.Add({"CheckServiceStatusbyEntryID", {Dsn(), TextArg("sEntryIDs")}, ResultKind::kText,
             "Lines of the list that already have an open after-sales case",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(CheckServiceStatusbyEntryID(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"CheckReceiveStatusbyFEntryID",
             {Dsn(), {"vctData", ArgKind::kVector},
              ArgEntry("dctFailIDs", ArgKind::kDictionary)
                  .WithOpenKeys("Line key -> not 0: the line is left out of the check"),
              {"bIsModify", ArgKind::kVariant, true, true}},
             ResultKind::kText, "Lines whose return would exceed the ordered quantity",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(CheckReceiveStatusbyFEntryID(
                   self, Text(a, 0), a[1].As<Vector>(), a[2].As<Dictionary>(), a[3]));
             }});
  table.Add({"SetServiceStatus", {Dsn(), {"vctData", ArgKind::kVector}, LongArg("lEmpID")},
             ResultKind::kText, "Agrees or refuses a step of each case: \"OK:..,Faild:..\"",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SetServiceStatus(self, Text(a, 0), a[1].As<Vector>(), Long(a, 2)));
             }});
  table.Add({"UpdateServiceStatus",
             {Dsn(), TextArg("sEntryID"), {"bIsAgree", ArgKind::kBool}, LongArg("lCurStatus"),
              TextArg("sRemark"), {"dRefundAmount", ArgKind::kDouble}, LongArg("lManageType"),
              LongArg("lRefundFID"), {"dQty", ArgKind::kDouble}, LongArg("lEmpID")},
             ResultKind::kBool,
             "Agrees or refuses one step of a case; false when it moved on meanwhile",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(UpdateServiceStatus(self, Text(a, 0), Text(a, 1), Bool(a, 2),
                                                  Long(a, 3), Text(a, 4), Double(a, 5),
                                                  Long(a, 6), Long(a, 7), Double(a, 8),
                                                  Long(a, 9)));
             }});
  table.Add({"UpdateReturnLogistics",
             {Dsn(), TextArg("sEntryIDs"), TextArg("sLogiCompanyID"), TextArg("sLogiOrder")},
             ResultKind::kBool, "Stores the carrier and waybill of the buyer's return",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(UpdateReturnLogistics(self, Text(a, 0), Text(a, 1), Text(a, 2),
                                                    Text(a, 3)));
             }});
}

void AddRollbackMethods(MethodTable& table) {
  table.Add({"BackToPreviousService",
             {Dsn(), LongArg("iType"), TextArg("sFEntryIDs"), TextArg("sRemark"),
              TextArg("lEmpID")},
             ResultKind::kVector,
             "Removes the documents of cases' states; with iType 2 also steps them back",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(BackToPreviousService(self, Text(a, 0), Long(a, 1), Text(a, 2),
                                                    Text(a, 3), Text(a, 4)));
             }});
  table.Add({"DeleteRefundInfo", {Dsn(), TextArg("sRefundFID")}, ResultKind::kText,
             "Deletes an offline case in its first state; \"\" or why not",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(DeleteRefundInfo(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"ClearServiceInfo", {Dsn(), TextArg("sFIDs")}, ResultKind::kVariant,
             "Removes cases and history of deleted order lines",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return ClearServiceInfo(self, Text(a, 0), Text(a, 1));
             }});
  using Reship = void (*)(Component&, const std::string&, const std::string&,
                          const std::string&, int32_t);
  struct Entry {
    const char* name;
    Reship method;
    const char* summary;
  };
  const Entry decisions[] = {
      {"UpdateAgreeSupplyOrderStatus", &UpdateAgreeSupplyOrderStatus,
       "Approves re-shipment orders: reviewed, lines completed"},
      {"UpdateRefuseSupplyOrderStatus", &UpdateRefuseSupplyOrderStatus,
       "Refuses re-shipment orders: back to review, lines refused"},
  };
  for (const Entry& e : decisions) {
    Reship method = e.method;
    table.Add({e.name, {Dsn(), TextArg("sFID"), TextArg("sRemark"), LongArg("lEmp")},
               ResultKind::kNone, e.summary,
               [method](Component& self, std::vector<Variant>& a) -> Variant {
                 method(self, Text(a, 0), Text(a, 1), Text(a, 2), Long(a, 3));
                 return Variant();
               }});
  }
  table.Add({"UpdateAddSupplyRecord", {Dsn(), TextArg("sFID"), LongArg("lEmp")},
             ResultKind::kNone, "Records re-shipment orders in their lines' history",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               UpdateAddSupplyRecord(self, Text(a, 0), Text(a, 1), Long(a, 2));
               return Variant();
             }});
}

}  // namespace

void AddAfterSalesInfoMethods(MethodTable& table) { AddListMethods(table); }

void AddAfterSalesUpdateMethods(MethodTable& table) {
  AddRefundMethods(table);
  AddCaseMethods(table);
  AddRollbackMethods(table);
}

}  // namespace ambit
