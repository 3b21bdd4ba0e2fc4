// Refunds paid out through the shop platform. The conversation with the platform belongs to the
// ERP's refund service, an outside object created by program identifier; the three gateways
// here only call it, register its assembly once when it cannot be created, and turn every
// failure into the text "number,description,source".
#ifndef AMBIT_AFTERSALES_REFUND_SERVICE_H_
#define AMBIT_AFTERSALES_REFUND_SERVICE_H_

#include <memory>
#include <string>

#include "base/variant.h"
#include "frame/method_frame.h"

namespace ambit {

inline constexpr char kProgIdRefundInterOp[] = "Halvard.ECP.InterOpFromVB.InterOp";
inline constexpr char kRefundAssembly[] = "Halvard.ECP.InterOpFromVB.dll";

// The refund service. InitConn comes first on every new instance; arguments travel by
// reference, as the interop class declares them. Answers are the service's own texts.
class RefundInterOp : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdRefundInterOp; }
  virtual void InitConn(std::string& sDsn) = 0;
  virtual std::string CheckRefundSession(std::string& strWebShopID) = 0;
  virtual std::string DoRefund(std::string& strWebShopID, std::string& strFIDs,
                               std::string& sCode, std::string& sRemark,
                               std::string& sEmpID) = 0;
  virtual std::string DoRefundSingle(std::string& strWebShopID, std::string& sRefundFID,
                                     std::string& sRefundCode, std::string& sRemark,
                                     std::string& sMessage, std::string& sFileName,
                                     std::string& sEmpID, bool& bIsReturn) = 0;
};

// Whether the shop's platform login allows a refund.
std::string CheckRefundSession(Component& self, const std::string& sDsn,
                               const std::string& strWebShopID);
// Refunds the listed orders with the operator's confirmation code.
std::string DoRefund(Component& self, const std::string& sDsn, const std::string& strWebShopID,
                     const std::string& strFIDs, const std::string& sCode,
                     const std::string& sRemark, const std::string& sEmpID);
// Refunds one after-sales case (the platform's refund sRefundCode), with a message and a proof
// file for the buyer.
std::string DoRefundSingle(Component& self, const std::string& sDsn,
                           const std::string& strWebShopID, const std::string& sRefundFID,
                           const std::string& sRefundCode, const std::string& sRemark,
                           const std::string& sMessage, const std::string& sFileName,
                           const std::string& sEmpID, bool bIsReturn);

// The adapter that posts refund calls as JSON to `url` ("http://host:port/path"). Request:
// {"operation", "sDsn" (from InitConn), and the operation's arguments by name}; answer:
// {"result": <text>} or {"error": {"number", "description", "source"}}, raised as that error.
std::shared_ptr<RefundInterOp> MakeHttpRefundInterOp(const std::string& url);

// Registers the HTTP adapter for kProgIdRefundInterOp (the server calls this with the URL of
// its configuration); an empty URL withdraws it, so the gateways meet 429 and try RegAsm.
void ConfigureRefundService(const std::string& url);

}  // namespace ambit

#endif  // AMBIT_AFTERSALES_REFUND_SERVICE_H_
