#include "aftersales/refund_service.h"

#include <exception>
#include <functional>
#include <optional>

#include "base/com_error.h"
#include "frame/host.h"
#include "frame/host_services.h"
#include "maintain/services.h"

namespace ambit {
namespace {

using Operation = std::function<std::string(RefundInterOp&)>;

// The gateways never raise: like an error object that only the last step's check reads, every
// step runs and the last failure is what the caller gets, as "number,description,source".
class Gateway {
 public:
  Gateway(Component& self, const std::string& sDsn, Operation operation)
      : self_(self), dsn_(sDsn), operation_(std::move(operation)) {}

  std::string Run() {
    // The refund service opens the account itself. Opening it here as well would hold the
    // account's write lock for the whole platform call, and the service's own writes to the
    // account would wait on it.
    Step([&] { self_.call_context().BeginCall(); });
    CallService();
    if (error_ && error_->number() == err::kCannotCreateObject &&
        RegAsm(self_, kRefundAssembly)) {
      error_.reset();
      CallService();
    }
    if (error_)
      return std::to_string(error_->number()) + "," + error_->description() + "," +
             error_->source();
    return answer_;
  }

 private:
  void CallService() {
    std::shared_ptr<RefundInterOp> service;
    Step([&] {
      service = RequireInterface<RefundInterOp>(CreateHostObject(kProgIdRefundInterOp),
                                                "InitConn");
    });
    if (!service) return;
    Step([&] {
      std::string dsn = dsn_;
      service->InitConn(dsn);
    });
    Step([&] { answer_ = operation_(*service); });
  }

  void Step(const std::function<void()>& step) {
    try {
      step();
    } catch (const ComError& e) {
      error_ = e;
    } catch (const std::exception& e) {
      error_ = ComError(err::kUnexpected, kProgIdRefundInterOp, e.what());
    }
  }

  Component& self_;
  std::string dsn_;
  Operation operation_;
  std::optional<ComError> error_;
  std::string answer_;
};

}  // namespace

std::string CheckRefundSession(Component& self, const std::string& sDsn,
                               const std::string& strWebShopID) {
  return Gateway(self, sDsn, [&](RefundInterOp& service) {
           std::string shop = strWebShopID;
           return service.CheckRefundSession(shop);
         }).Run();
}

std::string DoRefund(Component& self, const std::string& sDsn, const std::string& strWebShopID,
                     const std::string& strFIDs, const std::string& sCode,
                     const std::string& sRemark, const std::string& sEmpID) {
  return Gateway(self, sDsn, [&](RefundInterOp& service) {
           std::string shop = strWebShopID, fids = strFIDs, code = sCode, remark = sRemark,
                       emp = sEmpID;
           return service.DoRefund(shop, fids, code, remark, emp);
         }).Run();
}

std::string DoRefundSingle(Component& self, const std::string& sDsn,
                           const std::string& strWebShopID, const std::string& sRefundFID,
                           const std::string& sRefundCode, const std::string& sRemark,
                           const std::string& sMessage, const std::string& sFileName,
                           const std::string& sEmpID, bool bIsReturn) {
  return Gateway(self, sDsn, [&](RefundInterOp& service) {
           std::string shop = strWebShopID, refund = sRefundFID, code = sRefundCode,
                       remark = sRemark, message = sMessage, file = sFileName, emp = sEmpID;
           bool is_return = bIsReturn;
           return service.DoRefundSingle(shop, refund, code, remark, message, file, emp,
                                         is_return);
         }).Run();
}

}  // namespace ambit
