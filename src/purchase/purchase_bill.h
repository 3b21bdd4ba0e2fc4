// Purchase requests and purchase orders written from the purchase summary into the ERP's own
// bill tables, and what the client needs to assemble them: defaults, a new internal key and a
// bill number. All are AmbitOrderInfo methods.
#ifndef AMBIT_PURCHASE_PURCHASE_BILL_H_
#define AMBIT_PURCHASE_PURCHASE_BILL_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Transaction type of a purchase request; any other type is written as a purchase order.
inline constexpr int32_t kTranTypePurchaseRequest = 70;
// For GetPurChaseStyleOrArea: 1 asks for the purchase style, any other value for the area.
inline constexpr int32_t kPurchaseStyleClass = 1;
inline constexpr int32_t kDefaultPurchaseArea = 20302;

// Writes the bill (head and lines, values under their column names) in one batch, all or
// nothing. False without writing when the head or the lines are missing.
bool SavePurchaseApplyBill(Component& self, const std::string& sDsn, int32_t lTranType,
                           const DictionaryPtr& dctParaHead, const VectorPtr& vctParaEntry);

// The keys SavePurchaseApplyBill reads from dctParaHead, for either bill: the head columns
// that take the caller's value, each with whether it is written as a number.
std::vector<std::pair<const char*, bool>> PurchaseHeadKeys();

// A new internal key for the table from the ERP's numbering procedure. Failures keep their
// own source.
int32_t GetMaxNum(Component& self, const std::string& sDsn, int32_t sUserID,
                  const std::string& strName);

// A bill number of type BillTransType from the bill number service. Without vdict the service
// is asked for that type dated today. The service decides whether its counter moves and may
// change UpdateMaxNO. Failures keep their own source.
std::string GetThisBillNO(Component& self, const std::string& sDsn, int32_t BillTransType,
                          bool& UpdateMaxNO, const DictionaryPtr& vdict,
                          const DictionaryPtr& vDictMore);

// The 'EC' parameters Department and Staff; 0 when the statement answers no recordset.
int32_t GetDefaultDepartment(Component& self, const std::string& sDsn);
int32_t GetDefaultStaff(Component& self, const std::string& sDsn);

// The purchase style coded 'PO02' for lClass 1; kDefaultPurchaseArea otherwise, unread.
int32_t GetPurChaseStyleOrArea(Component& self, const std::string& sDsn, int32_t lClass);

}  // namespace ambit

#endif  // AMBIT_PURCHASE_PURCHASE_BILL_H_
