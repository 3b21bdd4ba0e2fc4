// Re-shipment ("补发") orders: web orders of their own whose lines are handled as after-sales
// type 4 without a case row; each decision leaves a history row per line.
#include <string>
#include <vector>

#include "aftersales/aftersales_internal.h"
#include "aftersales/service_rollback.h"
#include "aftersales/service_states.h"
#include "frame/key_list.h"
#include "schema/names.h"

namespace ambit {
namespace {

namespace code = schema::code;
using aftersales_internal::HasRows;
using aftersales_internal::Line;
using aftersales_internal::NumberOf;

enum class Decision { kAgree, kRefuse, kRecord };

const char* MethodName(Decision d) {
  switch (d) {
    case Decision::kAgree: return "UpdateAgreeSupplyOrderStatus";
    case Decision::kRefuse: return "UpdateRefuseSupplyOrderStatus";
    case Decision::kRecord: return "UpdateAddSupplyRecord";
  }
  return "";
}

// The keys once each, in the order first given; every key must be an integer.
std::string DistinctKeys(const std::string& sFID) {
  std::vector<std::string> seen;
  std::string keys;
  for (const std::string& item : SplitKeyList(sFID)) {
    std::string key = CheckKey(item, "sFID");
    bool repeated = false;
    for (const std::string& s : seen) repeated = repeated || s == key;
    if (repeated) continue;
    seen.push_back(key);
    keys += (keys.empty() ? "" : ",") + key;
  }
  return keys;
}

void DecideReshipment(Component& self, const std::string& sDsn, const std::string& sFID,
                      const std::string& remark, int32_t lEmp, Decision decision) {
  RunMethod(self, MethodName(decision), sDsn, [&](MethodScope& m) {
    std::string keys = DistinctKeys(sFID);
    if (keys.empty()) return;
    RecordsetPtr lines = m.conn().Execute(
        "SELECT FEntryID,FQuantity FROM IC_Web2ERPOrdersEntry WHERE FID IN (" + keys + ")");
    StringBuilder sb;
    int32_t manage_type = code::kManageTypeReshipRecorded;
    if (decision == Decision::kAgree) {
      Line(sb, "UPDATE IC_Web2ERPOrders SET FOrderStatus = 2,FCheckStatus=1 WHERE FID IN(" +
                   keys + ")");
      Line(sb, "UPDATE IC_Web2ERPOrdersEntry SET FServiceStatus = 38435 WHERE FID IN (" + keys +
                   ")");
      manage_type = code::kManageTypeReshipApproved;
    } else if (decision == Decision::kRefuse) {
      Line(sb, "UPDATE IC_Web2ERPOrders SET FOrderStatus = 1,FCheckStatus=0 WHERE FID IN (" +
                   keys + ")");
      Line(sb, "UPDATE IC_Web2ERPOrdersEntry SET FServiceStatus = 38436 WHERE FID IN (" + keys +
                   ")");
      manage_type = code::kManageTypeReshipRefused;
    }
    for (; HasRows(lines); lines->MoveNext()) {
      std::string entry = CStr(lines->Value("FEntryID"));
      if (decision == Decision::kRecord)
        Line(sb, "DELETE IC_RefundRecord WHERE FEntryID =" + entry);
      AppendRefundRecordSql(sb, code::kServiceSourceOffline, code::kServiceTypeReship,
                            manage_type, code::kServiceCategoryReship, "0",
                            FormatNumber(NumberOf(lines->Value("FQuantity"))), remark, entry, 0,
                            lEmp, 0);
    }
    if (sb.Length() > 0) m.conn().Execute(sb.ToString());
  });
}

}  // namespace

void UpdateAgreeSupplyOrderStatus(Component& self, const std::string& sDsn,
                                  const std::string& sFID, const std::string& sRemark,
                                  int32_t lEmp) {
  DecideReshipment(self, sDsn, sFID, sRemark, lEmp, Decision::kAgree);
}

void UpdateRefuseSupplyOrderStatus(Component& self, const std::string& sDsn,
                                   const std::string& sFID, const std::string& sRemark,
                                   int32_t lEmp) {
  DecideReshipment(self, sDsn, sFID, sRemark, lEmp, Decision::kRefuse);
}

void UpdateAddSupplyRecord(Component& self, const std::string& sDsn, const std::string& sFID,
                           int32_t lEmp) {
  DecideReshipment(self, sDsn, sFID, "增加一条补发订单", lEmp, Decision::kRecord);
}

}  // namespace ambit
