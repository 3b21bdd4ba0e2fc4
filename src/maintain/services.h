// Calls to the promotion service (gifts added on review, withdrawn on un-review) and the
// registration of its assembly when its class cannot be created. The service itself lives
// outside this component; the host creates it by program identifier.
#ifndef AMBIT_MAINTAIN_SERVICES_H_
#define AMBIT_MAINTAIN_SERVICES_H_

#include <memory>
#include <string>

#include "base/variant.h"
#include "frame/method_frame.h"

namespace ambit {

inline constexpr char kProgIdPromotionSale[] = "Halvard.Store.InterfaceCom.PromotionSale";
inline constexpr char kPromotionAssembly[] = "Halvard.Store.InterfaceCom.dll";

// The promotion service. Arguments travel by reference, as the interop class declares them;
// the service may write order numbers back into sOrderIDs.
class PromotionSale : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdPromotionSale; }
  virtual void CallAddGiftForWebShop(std::string& PropsString, std::string& sFID,
                                     std::string& sOrderIDs) = 0;
  virtual Variant CallUnCheckService(std::string& PropsString, std::string& sFID) = 0;
};

// Adds the promotion gifts to the listed orders. A class that cannot be created (429) is
// registered once and the call repeated; a failure of the repeat is raised, any other failure
// of the first attempt is swallowed.
void CallAddGiftService(Component& self, const std::string& PropsString, const std::string& sFID,
                        std::string& sOrderIDs);
// The same for withdrawing the promotion; answers what the service answers (Empty after a
// swallowed failure).
Variant CallUnCheckService(Component& self, const std::string& PropsString,
                           const std::string& sFID);

// The same two calls for callers that do not use the answer (review, un-review): queued in the
// call context and made once the call has committed, so the account stays free for other
// writers while the service works. Too late to reach the caller, a failure then goes to the
// host's message logger.
void QueueUnCheckService(Component& self, const std::string& PropsString, const std::string& sFID);
void QueueAddGiftService(Component& self, const std::string& PropsString, const std::string& sFID);

// Registers a .NET assembly of the ERP system folder for COM with the 32-bit registration
// tool. Never raises: failures go to the host's message logger and the answer is false.
bool RegAsm(Component& self, const std::string& strDllName);

// The adapter that forwards promotion calls as JSON posts to `url`
// ("http://host:port/path"). Request: {"operation", "PropsString", "sFID"[, "sOrderIDs"]};
// answer: {"result": <any>, "sOrderIDs": <text, optional>}. A transport failure or an answer
// other than 2xx is a ComError; an answer {"error": {"number", "description", "source"}} is
// raised as that error (see json_service.h).
std::shared_ptr<PromotionSale> MakeHttpPromotionSale(const std::string& url);

// Registers the HTTP adapter for kProgIdPromotionSale (the server calls this with the URL of
// its configuration); an empty URL withdraws it, so creating the service fails with 429.
void ConfigurePromotionService(const std::string& url);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_SERVICES_H_
