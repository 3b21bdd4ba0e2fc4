// The promotion service reached over HTTP (see json_service.h).
#include <memory>
#include <nlohmann/json.hpp>

#include "frame/host.h"
#include "frame/variant_json.h"
#include "maintain/json_service.h"
#include "maintain/services.h"

namespace ambit {
namespace {

constexpr char kServiceName[] = "promotion service";

class HttpPromotionSale : public PromotionSale {
 public:
  explicit HttpPromotionSale(JsonServiceClient client) : client_(std::move(client)) {}

  void CallAddGiftForWebShop(std::string& PropsString, std::string& sFID,
                             std::string& sOrderIDs) override {
    nlohmann::ordered_json answer = client_.Post({{"operation", "CallAddGiftForWebShop"},
                                          {"PropsString", PropsString},
                                          {"sFID", sFID},
                                          {"sOrderIDs", sOrderIDs}});
    if (answer.contains("sOrderIDs") && answer["sOrderIDs"].is_string())
      sOrderIDs = answer["sOrderIDs"].get<std::string>();
  }

  Variant CallUnCheckService(std::string& PropsString, std::string& sFID) override {
    nlohmann::ordered_json answer = client_.Post(
        {{"operation", "CallUnCheckService"}, {"PropsString", PropsString}, {"sFID", sFID}});
    if (!answer.contains("result")) return Variant();
    return JsonToVariant(answer["result"]);
  }

 private:
  JsonServiceClient client_;
};

}  // namespace

std::shared_ptr<PromotionSale> MakeHttpPromotionSale(const std::string& url) {
  return std::make_shared<HttpPromotionSale>(
      JsonServiceClient(url, kProgIdPromotionSale, kServiceName));
}

void ConfigurePromotionService(const std::string& url) {
  ConfigureJsonService(url, kProgIdPromotionSale, kServiceName, [](const JsonServiceClient& c) {
    return std::make_shared<HttpPromotionSale>(c);
  });
}

}  // namespace ambit
