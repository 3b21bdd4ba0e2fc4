// Lookups that answer in the order-list layout, or that select their orders with the list
// filter: they sit on the builders of the order lists.
#include <cctype>
#include <string>

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/text_services.h"
#include "query/lookups.h"
#include "query/lookups_internal.h"
#include "query/order_filter.h"
#include "query/order_select.h"

namespace ambit {
namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

// The sort column goes into the statement bare, so it must be a column name ("FOrderDate",
// "t1.FOrderDate"), nothing more.
std::string CheckOrderField(const std::string& field) {
  bool ok = !field.empty();
  bool word_start = true;
  for (char c : field) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '.' && !word_start) {
      word_start = true;
    } else if (std::isalpha(u) || c == '_' || (std::isdigit(u) && !word_start)) {
      word_start = false;
    } else {
      ok = false;
    }
  }
  if (!ok || word_start)
    throw ComError(err::kInvalidArgument, "ambit-order",
                   "OrderField '" + field + "' is not a column name.");
  return field;
}

std::string CheckOrderDirection(const std::string& direction) {
  std::string upper;
  for (char c : direction) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper != "ASC" && upper != "DESC")
    throw ComError(err::kInvalidArgument, "ambit-order",
                   "OrderType '" + direction + "' is neither ASC nor DESC.");
  return direction;
}

// A text key of dctPara; an empty value counts as missing.
std::string TextOr(const Dictionary& para, std::string_view key, const std::string& fallback) {
  std::string value = Trimmed(CStr(para.GetValue(key, Variant(""))));
  return value.empty() ? fallback : value;
}

// The list select (no pre-selection, no row limit) restricted to the orders of `keys`.
std::string OrderListOf(MethodScope& m, const std::string& keys) {
  return BuildOrderListSql(m.self, m.sDsn, nullptr, "", 0, false) + " Where t1.FID In(" + keys +
         ")";
}

}  // namespace

RecordsetPtr GetWebOrderData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod(self, "GetWebOrderData", dctPara, RecordsetPtr(),
                             [&](MethodScope& m) -> RecordsetPtr {
    std::string fids = CStr(dctPara->GetValue("FID", Variant("")));
    if (fids.empty()) return nullptr;
    return m.conn().Execute(OrderListOf(m, CheckKeyList(fids, "FID")));
  });
}

RecordsetPtr GetWebOrderDataOrderBy(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod(self, "GetWebOrderDataOrderBy", dctPara, RecordsetPtr(),
                             [&](MethodScope& m) -> RecordsetPtr {
    std::string fids = CStr(dctPara->GetValue("FID", Variant("")));
    if (fids.empty()) return nullptr;
    std::string field = CheckOrderField(TextOr(*dctPara, "OrderField", "FOrderDate"));
    std::string direction = CheckOrderDirection(TextOr(*dctPara, "OrderType", "ASC"));
    return m.conn().Execute(OrderListOf(m, CheckKeyList(fids, "FID")) + " Order By " + field +
                            " " + direction);
  });
}

RecordsetPtr GetNotMergeOrderByTids(Component& self, const std::string& sDsn,
                                    const std::string& sTids) {
  return RunMethod(self, "GetNotMergeOrderByTids", sDsn, [&](MethodScope& m) {
    std::string sql = OrderListOf(m, CheckKeyList(sTids, "sTids")) + " " +
                      "And ((Select Max(ey1.FRefundStatus - isnull(ri1.FIsRefuse,0)) From "
                      "IC_Web2ERPOrdersEntry ey1 left join IC_RefundInfo ri1 " +
                      "ON ey1.FRefundFID = ri1.FID Where ey1.FID=t1.FID) > 0" +
                      "Or (t1.FTransactionStatus) = 38191) ";
    return m.conn().Execute(sql);
  });
}

RecordsetPtr GetEarlyWarningInfo1(Component& self, const std::string& strDSN,
                                  const DictionaryPtr& dctPara) {
  return RunMethod(self, "GetEarlyWarningInfo1", strDSN, [&](MethodScope& m) {
    std::string filter = BuildOrderFilterSql(m.self, dctPara);
    std::string keys = BuildOrderKeySql(strDSN) +
                       " WHERE  t1.FOrderStatus=1 AND t1.FCheckStatus=0 AND t1.FVoidStatus=0 ";
    if (!filter.empty()) keys += " AND " + filter + " 1=1 ";
    keys += "AND (FTransactionStatus <> 38195 OR (Select Max(FRefundStatus) From "
            "IC_Web2ERPOrdersEntry Where FID=t1.FID) = 0) ";
    std::string sql = lookups_internal::EarlyWarningSelect(false) +
                      FormatTemplate("Where iwe.fid in (%1) ", {Variant(keys)});
    return m.conn().Execute(sql);
  });
}

}  // namespace ambit
