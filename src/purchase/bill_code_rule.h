// The ERP's bill number service, created by program identifier. The product ships a rule
// backed by the account itself: a prefix and a counter per bill type in ICBillNo.
#ifndef AMBIT_PURCHASE_BILL_CODE_RULE_H_
#define AMBIT_PURCHASE_BILL_CODE_RULE_H_

#include <string>

#include "base/variant.h"
#include "frame/collections.h"

namespace ambit {

inline constexpr char kProgIdBillCodeRule[] = "OrvoMBillCodeRule.clsBillCodeRule";

class BillCodeRule : public Object {
 public:
  std::string_view TypeName() const override { return kProgIdBillCodeRule; }
  // `bill` holds FBillType and FDate; UpdateMaxNO asks the rule to use up the number (false
  // only previews it). The two omitted arguments of the original interface come as Empty.
  virtual std::string GetNewBillID(const std::string& sDsn, const DictionaryPtr& bill,
                                   bool& UpdateMaxNO, const Variant& omitted1,
                                   const Variant& omitted2, const DictionaryPtr& more) = 0;
};

// ICBillNo's FPreLetter followed by the next counter value in six digits ("POORD000012"),
// on the current call's connection to sDsn. A type without a row is a ComError.
class AccountBillCodeRule : public BillCodeRule {
 public:
  std::string GetNewBillID(const std::string& sDsn, const DictionaryPtr& bill, bool& UpdateMaxNO,
                           const Variant& omitted1, const Variant& omitted2,
                           const DictionaryPtr& more) override;
};

// Registers AccountBillCodeRule as the host object of kProgIdBillCodeRule.
void RegisterAccountBillCodeRule();

}  // namespace ambit

#endif  // AMBIT_PURCHASE_BILL_CODE_RULE_H_
