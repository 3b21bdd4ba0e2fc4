#include "purchase/bill_code_rule.h"

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/host.h"

namespace ambit {

std::string AccountBillCodeRule::GetNewBillID(const std::string& sDsn, const DictionaryPtr& bill,
                                              bool& UpdateMaxNO, const Variant& /*omitted1*/,
                                              const Variant& /*omitted2*/,
                                              const DictionaryPtr& /*more*/) {
  if (!bill || !IsNumeric(bill->Value("FBillType")) || bill->Value("FBillType").IsEmpty())
    throw ComError(err::kInvalidArgument, kProgIdBillCodeRule, "The bill names no FBillType.");
  const std::string type = std::to_string(CLng(bill->Value("FBillType")));
  // The rule runs on the caller's own connection to the account, as the ERP's services do.
  CallContextPtr call = ThreadContextService().GetCallContext();
  call->OpenDataSource(sDsn);
  ConnectionPtr conn = call->Connection();
  // One UPDATE both reads and moves the counter, so two callers never get the same number.
  RecordsetPtr rs = conn->Execute(
      UpdateMaxNO ? "declare @No int\r\n"
                    "update ICBillNo set @No = FCurNo + 1, FCurNo = FCurNo + 1 "
                    "where FBillID = " + type + "\r\n"
                    "select FPreLetter, @No as FNo from ICBillNo where FBillID = " + type + "\r\n"
                  : "select FPreLetter, FCurNo + 1 as FNo from ICBillNo where FBillID = " + type);
  if (rs->Eof())
    throw ComError(err::kInvalidArgument, kProgIdBillCodeRule,
                   "Bill type " + type + " has no numbering rule in ICBillNo.");
  std::string number = std::to_string(CLng(rs->Value("FNo")));
  if (number.size() < 6) number.insert(0, 6 - number.size(), '0');
  return CStr(rs->Value("FPreLetter")) + number;
}

void RegisterAccountBillCodeRule() {
  RegisterHostObject(kProgIdBillCodeRule, [] { return std::make_shared<AccountBillCodeRule>(); });
}

}  // namespace ambit
