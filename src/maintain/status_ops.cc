#include "maintain/status_ops.h"

#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "frame/unique_code.h"
#include "maintain/services.h"
#include "maintain/status_ops_common.h"
#include "schema/names.h"

namespace ambit {
namespace {

constexpr char kConnectStringPrefix[] = "CONNECTSTRING={";

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

void AppendReview(StringBuilder& sb, Component& self, Connection& conn, int status,
                  const std::string& fids) {
  sb.Append(" Update IC_Web2ERPOrders Set FOrderStatus=" + std::to_string(status) + "\r\n");
  sb.Append(",FCheckStatus =1\r\n");
  sb.Append(",FChkDate = '" + NowText() + "'\r\n");
  sb.Append(",FChkMan = " + std::to_string(self.user_login()->UserID()) + "\r\n");
  sb.Append(" WHERE  FID In (" + fids + ")\r\n");
  std::vector<std::string> keys = SplitKeyList(fids);
  int32_t number = GetOrderUniqueID_New(self, conn, keys.size());
  sb.Append(" declare @varUniqueCode as varchar(50)\r\n");
  for (const std::string& fid : keys) {
    sb.Append(" set @varUniqueCode=CONVERT(VARCHAR(6),GETDATE(),112)+'" + std::to_string(number) +
              "'\r\n");
    sb.Append(" Update IC_Web2ERPOrders Set FUniqueCode=@varUniqueCode WHERE FID =" + fid +
              "\r\n");
    ++number;
  }
}

void AppendUnReview(StringBuilder& sb, const std::string& fids) {
  sb.Append(" Update IC_Web2ERPOrders Set FOrderStatus=" +
            std::to_string(order_status::kAwaitingReview) + "\r\n");
  sb.Append(",FCheckStatus =0\r\n");
  sb.Append(",FChkDate = NULL \r\n");
  sb.Append(",FChkMan = NULL \r\n");
  sb.Append(" WHERE  FID In (" + fids + ")\r\n");
  // A re-shipment waiting for the review goes back to waiting for the order.
  sb.Append(" update IC_Web2ERPOrdersEntry set FServiceStatus=" +
            std::to_string(schema::code::kServiceStatusReshipReopened) +
            "  where  FServiceType =" + std::to_string(schema::code::kServiceTypeReship) +
            " and FServiceStatus=" + std::to_string(schema::code::kServiceStatusCompleted) +
            " AND FID In (" + fids + ")\r\n");
}

}  // namespace

bool SetWebOrderStatus(Component& self, const DictionaryPtr& dctPara) {
  if (dctPara && TextOrEmpty(dctPara->Value("FID")).empty()) return false;
  return RunDictionaryMethod(self, "SetWebOrderStatus", dctPara, false, [&](MethodScope& m) {
    std::string fids = CheckKeyList(CStr(dctPara->Value("FID")), "FID");
    int status = CInt(dctPara->GetValue("FOrderStatus", Variant(int16_t{0})));
    StringBuilder sb;
    switch (status) {
      case order_status::kReviewed:
      case order_status::kReviewedAlt:
        AppendReview(sb, self, m.conn(), status, fids);
        break;
      case order_status::kAwaitingReview:
        AppendUnReview(sb, fids);
        if (!GetEnablePromotionSaleManage(self, m.sDsn)) QueueUnCheckService(self, m.sDsn, fids);
        break;
      case order_status::kPreReview:
        sb.Append(" Update IC_Web2ERPOrders Set  \r\n");
        sb.Append(" FPreChkMan = " + std::to_string(self.user_login()->UserID()) + "\r\n");
        sb.Append(",FPreChkDate = '" + NowText() + "'\r\n");
        sb.Append(" WHERE  FID In (" + fids + ")\r\n");
        break;
      case order_status::kCancelPreReview:
        sb.Append(" Update IC_Web2ERPOrders Set  \r\n");
        sb.Append(" FPreChkMan = 0 \r\n");
        sb.Append(",FPreChkDate = NULL \r\n");
        sb.Append(" WHERE  FID In (" + fids + ")\r\n");
        break;
      default:
        throw ComError(err::kInvalidArgument, "ambit-order",
                       "unknown order status " + std::to_string(status) +
                           " (1, 2, 3, 4 or 14 expected)");
    }
    m.conn().Execute(sb.ToString());
    return true;
  });
}

bool SetWebOrderStatusForNet(Component& self, int16_t iOrderStatus, const std::string& sDsn,
                             const std::string& sFID) {
  bool result = false;
  try {
    DictionaryPtr para = NewDictionary();
    para->SetValue("FOrderStatus", Variant(iOrderStatus));
    if (Upper(sDsn.substr(0, 15)) != kConnectStringPrefix) {
      para->SetValue("sDSN", Variant("ConnectString={" + sDsn + "}"));
    } else {
      para->SetValue("sDSN", Variant(sDsn));
    }
    std::vector<std::string> kept;
    size_t start = 0;
    while (start <= sFID.size()) {
      size_t comma = sFID.find(',', start);
      std::string fid =
          sFID.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      DictionaryPtr answer;
      if (CheckCurrency(self, sDsn, fid, answer)) {
        kept.push_back(fid);
      } else if (answer && answer->Lookup("Error")) {
        // The failed check aborted the call: the host rolls back whatever follows, so going on
        // could only answer a success that did not happen.
        return false;
      }
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (kept.empty()) return false;
    std::string list = JoinKeyList(kept);
    para->SetValue("FID", Variant(list));
    if (!GetEnablePromotionSaleManage(self, sDsn)) {
      QueueUnCheckService(self, sDsn, list);
      QueueAddGiftService(self, sDsn, list);
    }
    result = SetWebOrderStatus(self, para);
  } catch (...) {
    // Callers of this variant cannot take an error; the answer says it did not happen.
  }
  return result;
}

bool CheckCurrency(Component& self, const std::string& sDsn, const std::string& FID,
                   DictionaryPtr& dicRnt) {
  try {
    return RunMethod(self, "CheckCurrency", sDsn, [&](MethodScope& m) {
      std::string fid = CheckKey(FID, "FID");
      RecordsetPtr rs = m.conn().Execute(
          " SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED select FID,FOrderID from "
          "IC_web2erpOrders where FCurrencyID=0 and FID=" +
          fid);
      dicRnt = NewDictionary();
      if (!rs->IsOpen() || rs->Eof()) return true;
      dicRnt->SetValue("FID", rs->Value("FID"));
      dicRnt->SetValue("FOrderID", rs->Value("FOrderID"));
      return false;
    });
  } catch (const ComError& e) {
    // The frame has already aborted the call; the caller reads the reason from dicRnt.
    if (!dicRnt) dicRnt = NewDictionary();
    dicRnt->SetValue("Error", Variant(e.description()));
    return false;
  }
}

bool GetEnablePromotionSaleManage(Component& self, const std::string& sDsn) {
  if (sDsn.empty()) return false;
  try {
    self.InitContext(sDsn);
    RecordsetPtr rs = self.call_context().Connection()->Execute(
        "SELECT FValue FROM t_SystemProfile WHERE FCategory='EC' AND FKey='AddGiftTime'");
    if (!rs->IsOpen() || rs->Eof()) return false;
    return CStr(rs->Value(0)) != "1";
  } catch (const ComError& e) {
    throw e.WithSource("AmbitOrder.AmbitOrderUpdate.GetEnablePromotionSaleManage");
  } catch (const std::exception& e) {
    throw ComError(err::kUnexpected, "AmbitOrder.AmbitOrderUpdate.GetEnablePromotionSaleManage",
                   e.what());
  }
}

}  // namespace ambit
