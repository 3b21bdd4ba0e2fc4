#include "merge/merge_orders.h"

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "maintain/oplog.h"
#include "maintain/status_ops_common.h"
#include "merge/merge_groups.h"

namespace ambit {
namespace {

constexpr char kSuccessTemplate[] = "本地订单号为[%1]的订单合并成功。|";
constexpr char kFailureTemplate[] = "收货人[%1]的订单合并失败，原因:%2不相同|";
constexpr char kDownloadedSource[] = "AmbitOrder.AmbitOrderUpdate.MergeDownloadedOrders";
constexpr int kDefaultMergeType = 2;

// The optional keys a merge type compares, and the tail it appends to the candidates' sort so
// that orders agreeing on those keys come together.
struct MergeType {
  bool buyer_nick = false;
  bool shop = false;
  bool warehouse = false;
  const char* order_tail = "";
};

MergeType MergeTypeOf(int type) {
  switch (type) {
    case 0: return {true, false, false, " ,t1.FBuyerNick "};
    case 1: return {true, false, true, " ,t1.FBuyerNick, t2.FStockID "};
    case 3: return {false, true, false, " ,t1.FWebShopID "};
    case 4: return {false, false, true, " ,t2.FStockID "};
    case 5: return {true, true, false, " ,t1.FBuyerNick, t1.FWebShopID "};
    case 6: return {false, true, true, " ,t1.FWebShopID, t2.FStockID "};
    case 7: return {true, true, true, " ,t1.FBuyerNick, t1.FWebShopID, t2.FStockID "};
    default: return {};  // 2 and anything unknown: the mandatory keys only
  }
}

int ReadMergeType(Connection& conn) {
  RecordsetPtr rs = conn.Execute(
      "select  FValue from t_SystemProfile where FCategory = 'EC' and FKey = 'MergeOrderType'");
  if (!rs->IsOpen() || rs->Eof()) return kDefaultMergeType;
  const Variant& value = rs->Value(0);
  // A value that is no number selects no optional key, like an unknown number.
  return IsNumeric(value) ? CLng(value) : -1;
}

// What one candidate row is compared on.
struct Candidate {
  std::string fid, order_id, consignee;
  bool cod = false;
  std::string currency, trade_status, logistics;
  std::string province, city, district, address;
  std::string buyer_nick, shop, warehouse;
};

// The caption of the first key on which `row` differs from `ref`, or nullptr when they agree.
const char* FirstDifference(const Candidate& row, const Candidate& ref, const MergeType& type) {
  if (row.cod != ref.cod) return "付款方式";
  if (row.currency != ref.currency) return "币别";
  if (row.trade_status != ref.trade_status) return "交易状态";
  if (row.logistics != ref.logistics) return "物流公司";
  if (row.province != ref.province || row.city != ref.city || row.district != ref.district ||
      row.address != ref.address)
    return "收货地址";
  if (type.buyer_nick && row.buyer_nick != ref.buyer_nick) return "买家昵称";
  if (type.shop && row.shop != ref.shop) return "网店";
  if (type.warehouse && row.warehouse != ref.warehouse) return "发货仓库";
  return nullptr;
}

// The outcome of walking the candidates: groups of two or more FIDs (in walk order, repeats
// possible), FID -> order number, and per consignee the caption that last split its orders.
struct Grouping {
  std::vector<std::string> groups;
  std::unordered_map<std::string, std::string> order_ids;
  std::vector<std::pair<std::string, std::string>> consignee_captions;
};

Grouping GroupCandidates(Connection& conn, const std::string& list, const MergeType& type) {
  std::unordered_map<std::string, std::string> stocks = GetOrderStockMap(conn, list);
  StringBuilder sb;
  sb.Append("SELECT distinct t1.FTransactionStatus,t1.FConsignee, t1.FDeliveryProvince, "
            "t1.FDeliveryCity, t1.FDeliveryDistrict,t1.FDeliveryAddress,t1.FCurrencyID,"
            "isnull(t1.FIsCod,0) as FIsCod ,t1.FLogisticsID,t1.FBuyerNick,t1.FWebShopID,t1.FID, "
            "t1.FOrderID,t2.FStockID \r\n");
  sb.Append(" From IC_WEB2ERPOrders t1\r\n");
  sb.Append(" left join  IC_WEB2ERPOrdersEntry t2 on t1.FID =t2.FID \r\n");
  sb.Append(" Where t1.FID in(" + list + ") \r\n");
  sb.Append(" order by t1.FConsignee,t1.FTransactionStatus,t1.FLogisticsID, t1.FDeliveryProvince, "
            "t1.FDeliveryCity, t1.FDeliveryDistrict,t1.FDeliveryAddress,t1.FCurrencyID,FIsCod" +
            std::string(type.order_tail) + "\r\n");
  RecordsetPtr rs = conn.Execute(sb.ToString());

  Grouping out;
  std::vector<std::pair<std::string, std::string>> fid_captions;  // in walk order
  std::unordered_map<std::string, std::string> consignee_of;
  std::optional<Candidate> ref;
  std::vector<std::string> group;
  std::string previous_fid;
  auto close_group = [&] {
    if (group.size() >= 2) out.groups.push_back(DistinctFIDList(JoinKeyList(group)));
    group.clear();
  };
  for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    Candidate row;
    row.fid = TextOrEmpty(rs->Value("FID"));
    // An order with lines in several warehouses comes once per warehouse.
    if (row.fid == previous_fid) continue;
    previous_fid = row.fid;
    row.order_id = TextOrEmpty(rs->Value("FOrderID"));
    row.consignee = TextOrEmpty(rs->Value("FConsignee"));
    row.cod = CBool(rs->Value("FIsCod"));
    row.currency = TextOrEmpty(rs->Value("FCurrencyID"));
    row.trade_status = TextOrEmpty(rs->Value("FTransactionStatus"));
    row.logistics = TextOrEmpty(rs->Value("FLogisticsID"));
    row.province = TextOrEmpty(rs->Value("FDeliveryProvince"));
    row.city = TextOrEmpty(rs->Value("FDeliveryCity"));
    row.district = TextOrEmpty(rs->Value("FDeliveryDistrict"));
    row.address = TextOrEmpty(rs->Value("FDeliveryAddress"));
    row.buyer_nick = TextOrEmpty(rs->Value("FBuyerNick"));
    row.shop = TextOrEmpty(rs->Value("FWebShopID"));
    auto stock = stocks.find(row.fid);
    if (stock != stocks.end()) row.warehouse = stock->second;
    out.order_ids[row.fid] = row.order_id;
    consignee_of[row.fid] = row.consignee;

    const char* caption = nullptr;
    bool split = !ref || row.consignee != ref->consignee;
    if (!split) {
      caption = FirstDifference(row, *ref, type);
      split = caption != nullptr;
    }
    if (!split) {
      group.push_back(row.fid);
      continue;
    }
    close_group();
    group.push_back(row.fid);
    if (caption) fid_captions.emplace_back(row.fid, caption);
    ref = std::move(row);
  }
  close_group();

  for (const auto& [fid, caption] : fid_captions) {
    const std::string& consignee = consignee_of[fid];
    bool replaced = false;
    for (auto& entry : out.consignee_captions) {
      if (entry.first == consignee) {
        entry.second = caption;
        replaced = true;
      }
    }
    if (!replaced) out.consignee_captions.emplace_back(consignee, caption);
  }
  return out;
}

using GroupMerger = std::string (*)(Connection&, const std::string&);

// Both merge methods: group the selection, fold each group with `merge`, report. Only the
// ordinary merge logs (`log`): the service-line variant leaves the log as it is.
std::string MergeSelection(Component& self, std::string_view method, const std::string& sDsn,
                           const VectorPtr& vctOrderInfo, std::string& sFidForGift,
                           GroupMerger merge, bool log) {
  return RunMethod(self, method, sDsn, [&](MethodScope& m) -> std::string {
    if (!vctOrderInfo) return "";
    std::string list = BuildFIDList(vctOrderInfo);
    std::vector<std::string> merged_order_ids;
    Grouping grouping;
    if (!list.empty())
      grouping = GroupCandidates(m.conn(), list, MergeTypeOf(ReadMergeType(m.conn())));

    bool write_log = log && !grouping.groups.empty() &&
                     IsLogEnable(m.conn(), std::to_string(oplog::kOrdersMerged));
    for (const std::string& group : grouping.groups) {
      std::string survivor = merge(m.conn(), group);
      if (survivor.empty()) continue;
      sFidForGift += (sFidForGift.empty() ? "" : ",") + survivor;
      merged_order_ids.push_back(grouping.order_ids[survivor]);
      if (!write_log) continue;
      std::vector<std::string> group_order_ids, others;
      for (const std::string& fid : SplitKeyList(group)) {
        group_order_ids.push_back(grouping.order_ids[fid]);
        if (fid != survivor) others.push_back(fid);
      }
      DictionaryPtr entry = NewDictionary();
      entry->SetValue("sFID", Variant(survivor));
      entry->SetValue("FOPUserID", Variant(GetLoginUserID(self.call_context())));
      entry->SetValue("FOPCode", Variant(std::to_string(oplog::kOrdersMerged)));
      entry->SetValue("FUserIP", Variant(GetClientAddress()));
      entry->SetValue("FOPTime", Variant(NowText()));
      entry->SetValue("FItemID", Variant("0"));
      entry->SetValue("FOldValue", Variant(JoinKeyList(group_order_ids)));
      entry->SetValue("FNewValue", Variant(""));
      WriteOPLog(self, m.sDsn, entry);
      DeleteMergedOrderLogs(m.conn(), JoinKeyList(others));
    }

    std::string success, failure;
    for (const std::string& order_id : merged_order_ids)
      success += FormatTemplate(kSuccessTemplate, {Variant(order_id)});
    for (const auto& [consignee, caption] : grouping.consignee_captions)
      failure += FormatTemplate(kFailureTemplate, {Variant(consignee), Variant(caption)});
    return "Success:|" + success + ";Error:|" + failure;
  });
}

}  // namespace

std::string MergeOrders(Component& self, const std::string& sDsn, const VectorPtr& vctOrderInfo,
                        std::string& sFidForGift) {
  return MergeSelection(self, "MergeOrders", sDsn, vctOrderInfo, sFidForGift, &MergeOrderGroup,
                        true);
}

std::string MergeOrdersZJ(Component& self, const std::string& sDsn,
                          const VectorPtr& vctOrderInfo, std::string& sFidForGift) {
  return MergeSelection(self, "MergeOrdersZJ", sDsn, vctOrderInfo, sFidForGift,
                        &MergeOrderGroupZJ, false);
}

void MergeDownloadedOrders(Component& self, const std::string& sDsn, int32_t lWebShopID,
                           const std::string& sStartDate, const std::string& sEndDate,
                           int32_t lDateType, bool bAutoCheck) {
  if (lWebShopID <= 0) throw ComError(-1, kDownloadedSource, "InValid WebShopID");
  if (!ParseDate(sStartDate) || !ParseDate(sEndDate))
    throw ComError(-1, kDownloadedSource, "InValid Date");
  RunMethod(self, "MergeDownloadedOrders", sDsn, [&](MethodScope& m) {
    RecordsetPtr shop_rs = m.conn().Execute(
        "select FWebshopID  from IC_WebshopToStorage where FID = " + std::to_string(lWebShopID));
    if (!shop_rs->IsOpen() || shop_rs->Eof())
      throw ComError(-1, kDownloadedSource, "InValid WebShopID");
    std::string shop = TextOrEmpty(shop_rs->Value(0));
    std::string column = lDateType == 1 ? "FOrderDate" : "FSiteModifyDate";
    std::string flag = bAutoCheck ? "1" : "0";

    StringBuilder sb;
    sb.Append("SELECT FID,FConsignee FROM IC_Web2ERPOrders t1 WHERE FWebShopID = '" +
              SqlQuote(shop) + "' AND " + column + " >= '" + SqlQuote(sStartDate) + "' AND " +
              column + " <= '" + SqlQuote(sEndDate) + "' " + " and FCheckStatus = " + flag +
              " and FOrderStatus <= 2 \r\n");
    sb.Append(" and FTransactionStatus <> 38191 \r\n");
    sb.Append(" and FIs_jzservice_order <> 'Y' \r\n");
    // No line may have a refund under way that the seller has not refused.
    sb.Append(" and (Select Max(ey1.FRefundStatus - isnull(ri1.FIsRefuse,0)) From "
              "IC_Web2ERPOrdersEntry ey1 Left Join IC_RefundInfo ri1 on ey1.FRefundFID = ri1.FID "
              "where ey1.FID = t1.FID) <> 1 \r\n");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());

    std::vector<std::pair<std::string, std::string>> per_consignee;  // consignee, FID list
    std::unordered_map<std::string, size_t> position;
    for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      std::string consignee = TextOrEmpty(rs->Value("FConsignee"));
      std::string fid = TextOrEmpty(rs->Value("FID"));
      auto [it, added] = position.emplace(consignee, per_consignee.size());
      if (added) {
        per_consignee.emplace_back(consignee, fid);
      } else {
        per_consignee[it->second].second += "," + fid;
      }
    }

    std::string fids_for_gift;
    VectorPtr batch = NewVector();
    for (const auto& [consignee, fids] : per_consignee) {
      if (fids.find(',') == std::string::npos) continue;
      batch->Add(Variant(fids));
      if (batch->Count() == kMergeDownloadedBatch) {
        MergeOrders(self, m.sDsn, batch, fids_for_gift);
        batch = NewVector();
      }
    }
    if (batch->Count() > 0) MergeOrders(self, m.sDsn, batch, fids_for_gift);
  });
}

}  // namespace ambit
