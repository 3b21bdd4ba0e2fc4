// After-sales cases on order lines (AmbitOrderUpdate): opening and changing cases, the guards
// that keep a line from having two open cases or returning more than was ordered, agreed and
// refused steps through the state machine of service_states.h, and the carrier of the buyer's
// return shipment. Every case mirrors its type, source and state onto its line.
#ifndef AMBIT_AFTERSALES_SERVICE_RECORDS_H_
#define AMBIT_AFTERSALES_SERVICE_RECORDS_H_

#include <cstdint>
#include <string>

#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Opens cases (lOpType 1 refund or return, 2 exchange) or changes existing ones (3, 4) for the
// lines of vctData (one Dictionary per line: FEntryID, FForceComfirm, FIsReturn, FRemark,
// FRefundAmount, FNum, FServiceType = the category, FBuyerAccount, FExchangeItemID,
// FExchangeUnitID, FExchangeQty, FReturnLogisticsCompany, FReturnLogisticsOrder). Lines that
// already have an open case (on opening) or would return more than was ordered are left alone
// and reported: "OK:<keys>,Faild:<keys>". "" for an empty sDsn or vctData; lOpType outside 1-4
// is a ComError.
std::string AddRefundServices(Component& self, const std::string& sDsn, const VectorPtr& vctData,
                              int32_t lOpType, int32_t lEmpID);

// Keys of the listed lines that have an open case, comma-separated ("" when none).
std::string CheckServiceStatusbyEntryID(Component& self, const std::string& sDsn,
                                        const std::string& sEntryIDs);

// Keys of the vctData lines (not already in dctFailIDs) whose return or exchange quantity
// (FNum) plus what earlier cases not refused received exceeds the ordered quantity. With
// bIsModify true the line's current case does not count against itself.
std::string CheckReceiveStatusbyFEntryID(Component& self, const std::string& sDsn,
                                         const VectorPtr& vctData,
                                         const DictionaryPtr& dctFailIDs,
                                         const Variant& bIsModify);

// UpdateServiceStatus for each vctData item (FEntryID, FIsAgree, lCurStatus, FRemark,
// FRefundAmount, FManageType, FRefundFID, FQty): "OK:<keys>,Faild:<keys>".
std::string SetServiceStatus(Component& self, const std::string& sDsn, const VectorPtr& vctData,
                             int32_t lEmpID);

// One agreed or refused step of case lRefundFID on line sEntryID, with its history row. False,
// writing nothing, when the case moved on since the operator saw lCurStatus, or when the step
// has no next state.
bool UpdateServiceStatus(Component& self, const std::string& sDsn, const std::string& sEntryID,
                         bool bIsAgree, int32_t lCurStatus, const std::string& sRemark,
                         double dRefundAmount, int32_t lManageType, int32_t lRefundFID,
                         double dQty, int32_t lEmpID);

// Stores the carrier and waybill number of the buyer's return shipment on the lines.
bool UpdateReturnLogistics(Component& self, const std::string& sDsn, const std::string& sEntryIDs,
                           const std::string& sLogiCompanyID, const std::string& sLogiOrder);

}  // namespace ambit

#endif  // AMBIT_AFTERSALES_SERVICE_RECORDS_H_
