// Bookkeeping after the ERP made (or deleted) its own documents from web orders: invoice marks,
// invoiced quantities, sales order numbers and the shipping warehouse of a line, and the call
// that has the database make ERP sales orders.
#ifndef AMBIT_MAINTAIN_BILL_FOLLOWUP_H_
#define AMBIT_MAINTAIN_BILL_FOLLOWUP_H_

#include <cstdint>
#include <string>

#include "base/variant.h"
#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Marks FInnerInvoice = 1 on the orders of vctSelected whose "isSuccess" is true. False only
// when sDsn is empty or vctSelected missing.
bool UpdateAfterGenerateBill(Component& self, const std::string& sDsn,
                             const VectorPtr& vctSelected);

// Takes the invoice marks back: line close flags and invoiced quantities, the header mark, and
// the invoiced quantity of outbound stock bill lines of orders whose stock bill exists.
bool UpdateAfterDeleteBill(Component& self, const std::string& sDsn, const std::string& sFID);

// Has SP_WebOrder2ERPOrder make ERP sales orders and answers its result set.
RecordsetPtr TransSiteOrder2SaleOrder(Component& self, const std::string& sDsn,
                                      const std::string& sFID, Date DFetchDate, int32_t lUserID);

// The orders of the deleted sales orders lose their companion rows and FSaleNo. Several
// numbers come joined by "','", as they sit between the quotes of the IN list.
bool UpdateAfterDeleteSaleOrder(Component& self, const std::string& sDsn,
                                const std::string& sFID);

// dctOrderEntryInfo: "FID", "FEntryID", "FStockID". False when FID or FEntryID is 0.
bool UpdateSendStockID(Component& self, const std::string& sDsn,
                       const DictionaryPtr& dctOrderEntryInfo);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_BILL_FOLLOWUP_H_
