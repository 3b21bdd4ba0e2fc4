// Order maintenance on AmbitOrderUpdate: save, status operations, bill follow-up and the
// promotion service gateways.
#include "classes/dictionary_keys.h"
#include "classes/method_args.h"
#include "classes/registrations.h"
#include "maintain/bill_followup.h"
#include "maintain/save_order.h"
#include "maintain/services.h"
#include "maintain/status_ops.h"

namespace ambit {
namespace {

using method_args::Text;

ArgEntry Dsn() { return {"sDsn", ArgKind::kText}; }
ArgEntry Para(const KeyGroup* own = nullptr) {
  std::vector<const KeyGroup*> groups = {&keys::Account(), &keys::OrderKeyList()};
  if (own) groups.push_back(own);
  return ArgEntry("dctPara", ArgKind::kDictionary).WithKeys(std::move(groups));
}

// The Dictionary methods all look the same to clients: dctPara in (the account, the order
// keys and the operation's own keys), a flag out.
void AddParaMethod(MethodTable& table, std::string name, std::string summary,
                   bool (*method)(Component&, const DictionaryPtr&),
                   const KeyGroup* own_keys = nullptr) {
  table.Add({std::move(name), {Para(own_keys)}, ResultKind::kBool, std::move(summary),
             [method](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(method(self, a[0].As<Dictionary>()));
             }});
}

void AddStatusMethods(MethodTable& table) {
  AddParaMethod(table, "SetWebOrderStatus",
                "Reviews (2, 14), un-reviews (1), pre-reviews (3) or cancels pre-review (4)",
                &SetWebOrderStatus, &keys::OrderStatus());
  AddParaMethod(table, "DeleteWebOrder", "Deletes orders with their lines, log and after-sales",
                &DeleteWebOrder);
  AddParaMethod(table, "SetWebOrderVoidStatus", "Sets the void flag of orders",
                &SetWebOrderVoidStatus, &keys::VoidStatus());
  AddParaMethod(table, "SetWebOrderRowClose", "Sets the close flag of every line of orders",
                &SetWebOrderRowClose, &keys::RowClose());
  AddParaMethod(table, "LockWebOrder", "Locks or unlocks orders with a reason",
                &LockWebOrder, &keys::Lock());
  AddParaMethod(table, "InvoiceFlag", "Toggles the invoicing mark of orders", &InvoiceFlag);
  table.Add({"SetWebOrderStatusForNet",
             {{"iOrderStatus", ArgKind::kInt16}, Dsn(), {"sFID", ArgKind::kText}},
             ResultKind::kBool,
             "Reviews the orders that have a currency; answers false instead of raising",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SetWebOrderStatusForNet(self, a[0].int_value(), Text(a, 1),
                                                      Text(a, 2)));
             }});
  table.Add({"CheckCurrency",
             {Dsn(), {"FID", ArgKind::kText}, ArgEntry("dicRnt", ArgKind::kDictionary, true, true)
                  .WithOpenKeys("The answer: \"Error\" says why the order has no currency")},
             ResultKind::kBool,
             "Whether an order has a currency; dicRnt names it when not",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               DictionaryPtr answer = a[2].As<Dictionary>();
               bool ok = CheckCurrency(self, Text(a, 0), Text(a, 1), answer);
               a[2] = answer ? Variant(answer) : Variant();
               return Variant(ok);
             }});
  table.Add({"ChangeOrderItem",
             {Dsn(), ArgEntry("dctItem", ArgKind::kDictionary).WithKeys({&keys::ItemChange()})},
             ResultKind::kBool,
             "Replaces the item of every line of orders, logging old and new item",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(ChangeOrderItem(self, Text(a, 0), a[1].As<Dictionary>()));
             }});
}

void AddSaveAndBillMethods(MethodTable& table) {
  table.Add({"SaveOrder",
             {Dsn(), ArgEntry("dctDataCache", ArgKind::kDictionary)
                         .WithOpenKeys("Order key -> {header column: value, line key -> "
                                       "{line column: value}}")},
             ResultKind::kText,
             "Saves the order editing cache in one batch, logging changed fields",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(SaveOrder(self, Text(a, 0), a[1].As<Dictionary>()));
             }});
  table.Add({"UpdateAfterGenerateBill",
             {Dsn(), {"vctSelected", ArgKind::kVector}},
             ResultKind::kBool,
             "Marks the orders whose ERP invoice was made",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(UpdateAfterGenerateBill(self, Text(a, 0), a[1].As<Vector>()));
             }});
  table.Add({"UpdateAfterDeleteBill",
             {Dsn(), {"sFID", ArgKind::kText}},
             ResultKind::kBool,
             "Takes invoice marks and invoiced quantities back",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(UpdateAfterDeleteBill(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"TransSiteOrder2SaleOrder",
             {Dsn(), {"sFID", ArgKind::kText}, {"DFetchDate", ArgKind::kDate},
              {"lUserID", ArgKind::kInt32}},
             ResultKind::kRecordset,
             "Has the database make ERP sales orders from web orders",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(TransSiteOrder2SaleOrder(self, Text(a, 0), Text(a, 1),
                                                       a[2].date_value(), a[3].long_value()));
             }});
  table.Add({"UpdateAfterDeleteSaleOrder",
             {Dsn(), {"sFID", ArgKind::kText}},
             ResultKind::kBool,
             "Clears the sales order number of orders whose sales order was deleted",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(UpdateAfterDeleteSaleOrder(self, Text(a, 0), Text(a, 1)));
             }});
  table.Add({"UpdateSendStockID",
             {Dsn(), ArgEntry("dctOrderEntryInfo", ArgKind::kDictionary)
                         .WithKeys({&keys::SendStock()})},
             ResultKind::kBool,
             "Sets the shipping warehouse of one order line",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(UpdateSendStockID(self, Text(a, 0), a[1].As<Dictionary>()));
             }});
}

void AddServiceMethods(MethodTable& table) {
  table.Add({"CallAddGiftService",
             {{"PropsString", ArgKind::kText}, {"sFID", ArgKind::kText},
              {"sOrderIDs", ArgKind::kText, true, true, Variant("")}},
             ResultKind::kNone,
             "Has the promotion service add gifts to orders",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               std::string order_ids = Text(a, 2);
               CallAddGiftService(self, Text(a, 0), Text(a, 1), order_ids);
               a[2] = Variant(order_ids);
               return Variant();
             }});
  table.Add({"CallUnCheckService",
             {{"PropsString", ArgKind::kText}, {"sFID", ArgKind::kText}},
             ResultKind::kVariant,
             "Has the promotion service withdraw what it added to orders",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return CallUnCheckService(self, Text(a, 0), Text(a, 1));
             }});
  table.Add({"RegAsm",
             {{"strDllName", ArgKind::kText}},
             ResultKind::kBool,
             "Registers an interop assembly of the system folder",
             [](Component& self, std::vector<Variant>& a) -> Variant {
               return Variant(RegAsm(self, Text(a, 0)));
             }});
}

}  // namespace

void AddMaintainUpdateMethods(MethodTable& table) {
  AddStatusMethods(table);
  AddSaveAndBillMethods(table);
  AddServiceMethods(table);
}

}  // namespace ambit
