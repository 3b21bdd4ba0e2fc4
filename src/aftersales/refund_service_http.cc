// The refund service reached over HTTP (see maintain/json_service.h).
#include <memory>
#include <nlohmann/json.hpp>

#include "aftersales/refund_service.h"
#include "base/com_error.h"
#include "frame/host.h"
#include "maintain/json_service.h"

namespace ambit {
namespace {

constexpr char kServiceName[] = "refund service";

class HttpRefundInterOp : public RefundInterOp {
 public:
  explicit HttpRefundInterOp(JsonServiceClient client) : client_(std::move(client)) {}

  void InitConn(std::string& sDsn) override { dsn_ = sDsn; }

  std::string CheckRefundSession(std::string& strWebShopID) override {
    return Call({{"operation", "CheckRefundSession"}, {"strWebShopID", strWebShopID}});
  }

  std::string DoRefund(std::string& strWebShopID, std::string& strFIDs, std::string& sCode,
                       std::string& sRemark, std::string& sEmpID) override {
    return Call({{"operation", "DoRefund"},
                 {"strWebShopID", strWebShopID},
                 {"strFIDs", strFIDs},
                 {"sCode", sCode},
                 {"sRemark", sRemark},
                 {"sEmpID", sEmpID}});
  }

  std::string DoRefundSingle(std::string& strWebShopID, std::string& sRefundFID,
                             std::string& sRefundCode, std::string& sRemark,
                             std::string& sMessage, std::string& sFileName, std::string& sEmpID,
                             bool& bIsReturn) override {
    return Call({{"operation", "DoRefundSingle"},
                 {"strWebShopID", strWebShopID},
                 {"sRefundFID", sRefundFID},
                 {"sRefundCode", sRefundCode},
                 {"sRemark", sRemark},
                 {"sMessage", sMessage},
                 {"sFileName", sFileName},
                 {"sEmpID", sEmpID},
                 {"bIsReturn", bIsReturn}});
  }

 private:
  std::string Call(nlohmann::ordered_json request) {
    request["sDsn"] = dsn_;
    nlohmann::ordered_json answer = client_.Post(request);
    if (!answer.contains("result") || !answer["result"].is_string())
      throw ComError(err::kUnexpected, kProgIdRefundInterOp,
                     "The refund service answered no text result.");
    return answer["result"].get<std::string>();
  }

  JsonServiceClient client_;
  std::string dsn_;
};

}  // namespace

std::shared_ptr<RefundInterOp> MakeHttpRefundInterOp(const std::string& url) {
  return std::make_shared<HttpRefundInterOp>(
      JsonServiceClient(url, kProgIdRefundInterOp, kServiceName));
}

void ConfigureRefundService(const std::string& url) {
  ConfigureJsonService(url, kProgIdRefundInterOp, kServiceName, [](const JsonServiceClient& c) {
    return std::make_shared<HttpRefundInterOp>(c);
  });
}

}  // namespace ambit
