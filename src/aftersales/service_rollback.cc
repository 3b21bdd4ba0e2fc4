#include "aftersales/service_rollback.h"

#include <iterator>
#include <vector>

#include "aftersales/aftersales_internal.h"
#include "aftersales/service_states.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "schema/names.h"

namespace ambit {
namespace {

namespace code = schema::code;
using aftersales_internal::HasRows;
using aftersales_internal::IntOf;
using aftersales_internal::Line;

// One requested line with its current case and the documents the case's forward steps made.
struct CaseRow {
  int32_t category = 0;
  std::string order_id;
  int32_t source = 0;
  int32_t type = 0;
  int32_t status = 0;
  std::string entry_id;
  int32_t item_id = 0;
  int32_t refund_fid = 0;
  int32_t receipt_fid = 0;
  std::string receipt_no;
  int32_t stock_fid = 0;
  std::string stock_no;
  int32_t sale_fid = 0;
  std::string sale_no;
  int32_t exchange_fid = 0;
  std::string exchange_no;
  int32_t exchange_status = 0;
};

std::vector<CaseRow> ReadCaseRows(Connection& conn, const std::string& entry_ids) {
  StringBuilder sb;
  Line(sb, "Select t0.FServiceCategory,t11.FOrderID,t1.FServiceSource,t1.FServiceType,"
           "t1.FServiceStatus,t1.FEntryID as FOrderEntryID,t1.FItemID,t1.FRefundFID");
  Line(sb, ",isnull(t2.FID,0) as FReceiptFID,isnull(t22.FBillNo,'') as FReceiptBillNo");
  Line(sb, ",isnull(t3.FInterID,0) as FStockFID,isnull(t33.FBillNo,'') as FStockBillNo");
  Line(sb, ",isnull(t4.FInterID,0) as FSaleFID,isnull(t44.FBillNo,'') as FSaleBillNo ");
  Line(sb, ",isnull(t5.FID,0) as FExchangeFID,isnull(t55.FOrderID,'') as FExchangeBillNo,"
           "isnull(t55.FOrderStatus,0) as FExchangeOrderStatus");
  Line(sb, " From IC_Web2ErpOrdersEntry t1 with(nolock)");
  Line(sb, "inner join IC_RefundInfo t0 with(nolock) on t1.FRefundFID = t0.FID ");
  Line(sb, "Inner Join IC_Web2ErpOrders t11 with(nolock) on t1.FID = t11.FID ");
  Line(sb, "Left Join IC_ReceiptEntry t2 with(nolock) on t2.FEntryID_SRC = t1.FEntryID "
           "And t2.FID_SRC = t1.FID And t2.FClassID_SRC = '1014300' "
           "And t2.FRefundFID = t1.FRefundFID");
  Line(sb, "Left Join Ic_Receipt t22 with(nolock) on t22.FID = t2.FID");
  Line(sb, "Left Join ICStockBillEntry t3 with(nolock) on t3.FSourceEntryID = t2.FEntryID "
           "And t3.FSourceInterID = t2.FID And t3.FSourceTranType = '1014302'");
  Line(sb, "Left Join ICStockBill t33 with(nolock) on t33.FInterID = t3.FInterID");
  Line(sb, "Left Join ICSaleEntry t4 with(nolock) on t4.FSourceEntryID = t3.FEntryID "
           "And t4.FSourceInterID = t3.FInterID And t4.FSourceTranType = '21'");
  Line(sb, "Left Join ICSale t44 with(nolock) on t44.FInterID = t4.FInterID");
  Line(sb, "Left Join IC_Web2ErpOrdersEntry t5 with(nolock) on t5.FID_SRC = t2.FID "
           "And t5.FEntryID_SRC = t2.FEntryID And t5.FClassID_SRC = '1014302'");
  Line(sb, "Left Join IC_Web2ErpOrders t55 with(nolock) on t55.FID = t5.FID");
  Line(sb, "Where t1.FEntryID in(%1)");
  std::vector<CaseRow> rows;
  RecordsetPtr rs = conn.Execute(FormatTemplate(sb.ToString(), {Variant(entry_ids)}));
  for (; HasRows(rs); rs->MoveNext()) {
    auto i = [&](const char* c) { return IntOf(rs->Value(c)); };
    auto t = [&](const char* c) { return TextOrEmpty(rs->Value(c)); };
    rows.push_back({i("FServiceCategory"), t("FOrderID"), i("FServiceSource"), i("FServiceType"),
                    i("FServiceStatus"), t("FOrderEntryID"), i("FItemID"), i("FRefundFID"),
                    i("FReceiptFID"), t("FReceiptBillNo"), i("FStockFID"), t("FStockBillNo"),
                    i("FSaleFID"), t("FSaleBillNo"), i("FExchangeFID"), t("FExchangeBillNo"),
                    i("FExchangeOrderStatus")});
  }
  return rows;
}

// Collects the statements of the whole call and the messages for the operator.
class Rollback {
 public:
  explicit Rollback(VectorPtr messages) : messages_(std::move(messages)) {}

  void Say(const char* message, const CaseRow& row, const std::string& number = "") {
    messages_->Add(Variant(FormatTemplate(message, {Variant(row.order_id), Variant(number)})));
  }
  void Sql(const std::string& statement) { Line(sb_, statement); }
  const std::string& Text() const { return sb_.ToString(); }
  StringBuilder& builder() { return sb_; }

 private:
  VectorPtr messages_;
  StringBuilder sb_;
};

void RemoveInvoice(Rollback& r, const CaseRow& row) {
  if (row.sale_fid == 0) return;
  std::string id = std::to_string(row.sale_fid);
  r.Say("已删除单据[%1]关联的红字销售发票[%2]", row, row.sale_no);
  r.Sql("Update ICSale Set FCheckerID = 0 Where FInterID =" + id);
  r.Sql("Delete From ICSale Where FInterID =" + id);
  r.Sql("Delete From ICSaleEntry Where FInterID =" + id);
}

void RemoveOutboundBill(Rollback& r, const CaseRow& row) {
  if (row.stock_fid == 0) return;
  std::string id = std::to_string(row.stock_fid);
  r.Say("已删除单据[%1]关联的红字销售出库单[%2]", row, row.stock_no);
  r.Sql("Update ICStockBill Set FCheckerID = 0 Where FInterID =" + id);
  r.Sql("Delete From ICStockBill Where FInterID = " + id);
  r.Sql("Delete From ICStockBillEntry Where FInterID = " + id);
}

void RemoveReceipt(Rollback& r, const CaseRow& row) {
  if (row.receipt_fid == 0) return;
  std::string id = std::to_string(row.receipt_fid);
  r.Say("已删除单据[%1]关联的退货签收单[%2]", row, row.receipt_no);
  r.Sql("Delete From IC_Receipt Where FID = " + id);
  r.Sql("Delete From IC_ReceiptEntry Where FID = " + id);
}

void ResetLine(Rollback& r, const CaseRow& row) {
  r.Say("已重置单据[%1]待签收数量", row);
  r.Sql("Update IC_Web2ErpOrdersEntry Set FReceiptQty = 0,FID_SRC = 0,FEntryID_SRC = 0"
        ",FClassID_SRC = 0,FBillNo_SRC = 0 Where FEntryID = " + row.entry_id);
  r.Sql("Update IC_RefundInfo Set [FReceiveQty] = 0,[FReturnQty] = 0 Where FEntryID = " +
        row.entry_id);
}

// An exchange order the warehouse already reviewed is past recall.
void RemoveExchangeOrder(Rollback& r, const CaseRow& row) {
  if (row.exchange_fid == 0) {
    r.Say("单据[%1]的未生成换货订单", row);
    return;
  }
  if (row.exchange_status > 1) {
    r.Say("单据[%1]的关联换货订单[%2]已经审核，无法删除", row, row.exchange_no);
    return;
  }
  std::string id = std::to_string(row.exchange_fid);
  r.Say("已删除单据[%1]关联的换货订单[%2]", row, row.exchange_no);
  r.Sql("Delete From IC_Web2ErpOrders Where FID = " + id);
  r.Sql("Delete From IC_Web2ErpOrdersEntry Where FID = " + id);
}

// The documents of a state, newest first: what signing for goods made is taken back.
void RemoveDocuments(Rollback& r, const CaseRow& row) {
  bool goods_documents = row.status == code::kServiceStatusWaitSignFor ||
                         row.status == code::kServiceStatusWaitExchange ||
                         (row.status == code::kServiceStatusWaitReviewRefund &&
                          row.type == code::kServiceTypeRefundReturn);
  if (row.status == code::kServiceStatusWaitExchange) RemoveExchangeOrder(r, row);
  if (goods_documents) {
    RemoveInvoice(r, row);
    RemoveOutboundBill(r, row);
    RemoveReceipt(r, row);
    ResetLine(r, row);
    return;
  }
  if (row.status != code::kServiceStatusWaitReviewRefund &&
      row.source == code::kServiceSourceOffline && row.type != code::kServiceTypeRefundOnly &&
      row.type != code::kServiceTypeRefundReturn)
    RemoveExchangeOrder(r, row);
}

constexpr int32_t kAny = -1;
constexpr int32_t kRefundTypes = -2;  // types 1 and 2

enum class Back {
  kRefuse,      // message only, no history row
  kStay,        // history row, state unchanged
  kByCaseKey,   // the case chosen by its key
  kByLineKey,   // every case of the line
};

struct BackRule {
  bool online;
  int32_t state;  // or kAny
  int32_t type;   // or kAny, kRefundTypes
  Back how;
  int32_t to;
  const char* message;
  bool exchange_guard = false;  // refused while the exchange order is reviewed
};

constexpr char kOnlineRefused[] = "单据[%1]为线上申请退款，无法退回待审核状态";
constexpr char kBackToSignFor[] = "单据[%1]成功退回待签收状态";

// Where a case steps back to, first matching rule wins. Online cases follow the platform and
// may only leave the refund review for the goods receipt.
constexpr BackRule kBackRules[] = {
    {true, code::kServiceStatusWaitSignFor, kAny, Back::kRefuse, 0, kOnlineRefused},
    {true, code::kServiceStatusWaitReviewRefund, code::kServiceTypeRefundOnly, Back::kRefuse, 0,
     "单据[%1]线上申请为仅退款,无法退回状态"},
    {true, code::kServiceStatusWaitReviewRefund, kAny, Back::kByCaseKey,
     code::kServiceStatusWaitSignFor, kBackToSignFor},
    {true, kAny, kAny, Back::kRefuse, 0, kOnlineRefused},
    {false, code::kServiceStatusWaitSignFor, code::kServiceTypeRefundReturn, Back::kByCaseKey,
     code::kServiceStatusWaitReviewReturn, "单据[%1]成功退回待审核退货状态"},
    {false, code::kServiceStatusWaitSignFor, code::kServiceTypeExchange, Back::kByCaseKey,
     code::kServiceStatusWaitReviewExchange, "单据[%1]成功退回待审核换货状态"},
    {false, code::kServiceStatusWaitSignFor, kAny, Back::kStay, 0, nullptr},
    {false, code::kServiceStatusWaitExchange, kAny, Back::kByCaseKey,
     code::kServiceStatusWaitSignFor, kBackToSignFor, true},
    {false, code::kServiceStatusWaitReviewRefund, code::kServiceTypeRefundReturn,
     Back::kByLineKey, code::kServiceStatusWaitSignFor, kBackToSignFor},
    {false, code::kServiceStatusWaitReviewRefund, code::kServiceTypeRefundOnly, Back::kRefuse, 0,
     "单据[%1]已经为初始状态,无法退回上一步"},
    {false, code::kServiceStatusWaitReviewRefund, kAny, Back::kStay, 0, nullptr},
    {false, kAny, kRefundTypes, Back::kByLineKey, code::kServiceStatusWaitReviewRefund,
     "单据[%1]成功退回待审核退款"},
    {false, kAny, kAny, Back::kByLineKey, code::kServiceStatusWaitExchange,
     "单据[%1]成功退回待换货状态"},
};

bool TypeMatches(int32_t rule, int32_t type) {
  if (rule == kAny) return true;
  if (rule == kRefundTypes)
    return type == code::kServiceTypeRefundOnly || type == code::kServiceTypeRefundReturn;
  return rule == type;
}

const BackRule& FindBackRule(const CaseRow& row) {
  bool online = row.source == code::kServiceSourceOnline;
  for (const BackRule& rule : kBackRules) {
    if (rule.online == online && (rule.state == kAny || rule.state == row.status) &&
        TypeMatches(rule.type, row.type))
      return rule;
  }
  return kBackRules[std::size(kBackRules) - 1];  // the offline catch-all always matches
}

void StepBack(Rollback& r, const CaseRow& row, const std::string& remark, int32_t emp) {
  const BackRule& rule = FindBackRule(row);
  if (rule.how == Back::kRefuse) {
    r.Say(rule.message, row);
    return;
  }
  if (rule.exchange_guard && row.exchange_status > 1) {
    r.Say("单据[%1]的关联换货订单[%2]已经审核，无法退回状态", row, row.exchange_no);
    return;
  }
  AppendRefundRecordSql(r.builder(), row.source, row.type, code::kManageTypeRollback,
                        row.category, "0", "0", remark, row.entry_id, row.item_id, emp,
                        row.refund_fid);
  if (rule.how == Back::kStay) return;
  std::string to = std::to_string(rule.to);
  if (rule.how == Back::kByCaseKey) {
    r.Sql("Update IC_RefundInfo Set FServiceStatus = " + to +
          " Where FID =" + std::to_string(row.refund_fid));
  } else {
    r.Sql("Update IC_RefundInfo Set FServiceStatus = " + to + " Where FEntryID =" + row.entry_id);
  }
  r.Sql("Update IC_Web2ErpOrdersEntry Set FServiceStatus = " + to +
        " Where FEntryID =" + row.entry_id);
  r.Say(rule.message, row);
}

const char* FirstStateName(int32_t type) {
  switch (type) {
    case code::kServiceTypeRefundOnly: return "待审核退款";
    case code::kServiceTypeRefundReturn: return "待审核退货";
    case code::kServiceTypeExchange: return "待审核换货";
  }
  return "";
}

}  // namespace

VectorPtr BackToPreviousService(Component& self, const std::string& sDsn, int32_t iType,
                                const std::string& sFEntryIDs, const std::string& sRemark,
                                const std::string& lEmpID) {
  return RunMethod(self, "BackToPreviousService", sDsn, [&](MethodScope& m) {
    std::string entries = CheckKeyList(sFEntryIDs, "sFEntryIDs");
    bool step_back = iType == 2;
    int32_t emp = step_back ? CLng(Variant(CheckKey(lEmpID, "lEmpID"))) : 0;
    VectorPtr messages = NewVector();
    Rollback r(messages);
    for (const CaseRow& row : ReadCaseRows(m.conn(), entries)) {
      RemoveDocuments(r, row);
      if (step_back) StepBack(r, row, sRemark, emp);
    }
    if (!r.Text().empty()) m.conn().Execute(r.Text());
    return messages;
  });
}

std::string DeleteRefundInfo(Component& self, const std::string& sDsn,
                             const std::string& sRefundFID) {
  return RunMethod(self, "DeleteRefundInfo", sDsn, [&](MethodScope& m) -> std::string {
    std::string key = CheckKey(sRefundFID, "sRefundFID");
    RecordsetPtr rs = m.conn().Execute(
        "Select FServiceSource,FServiceStatus,FServiceType,FEntryID From IC_RefundInfo "
        "with(nolock) Where FID =" + key);
    if (!HasRows(rs)) return "当前退款单不存在,请刷新后重试!";
    if (IntOf(rs->Value("FServiceSource")) == code::kServiceSourceOnline)
      return "线上退款单无法删除!";
    int32_t status = IntOf(rs->Value("FServiceStatus"));
    int32_t type = IntOf(rs->Value("FServiceType"));
    bool past_first_state = (status >= code::kServiceStatusWaitConfirmReturn &&
                             status <= code::kServiceStatusRefused) ||
                            (status == code::kServiceStatusWaitReviewRefund &&
                             type == code::kServiceTypeRefundReturn);
    if (past_first_state)
      return FormatTemplate("当前状态退款单无法删除,请退回到【%1】状态进行删除!",
                            {Variant(FirstStateName(type))});
    std::string line = std::to_string(IntOf(rs->Value("FEntryID")));
    StringBuilder sb;
    Line(sb, "Delete From IC_RefundInfo Where FID =" + key);
    Line(sb, "Delete From IC_RefundRecord Where FRefundFID =" + key);
    Line(sb, "Update IC_Web2ErpOrdersEntry Set FRefundFID = 0,FServiceType = 0,"
             "FServiceStatus = 0,FServiceSource = 0,FRefundStatus = 0");
    Line(sb, " Where FEntryID = " + line);
    // The line shows its newest remaining case again, if it has one.
    Line(sb, "Update IC_Web2ErpOrdersEntry Set FRefundFID = isnull(t2.FID,0)");
    Line(sb, ",FServiceType = isnull(t2.FServiceType,0) ,FServiceStatus = "
             "isnull(t2.FServiceStatus,0)");
    Line(sb, ",FServiceSource = isnull(t2.FServiceSource,0),FRefundStatus = (Case "
             "isnull(t2.FServiceStatus,0) When 0 Then 0 When 38436 Then 0 Else 1 End) ");
    Line(sb, "From IC_Web2ErpOrdersEntry t1 left join IC_RefundInfo t2 ");
    Line(sb, "on t1.FEntryID = t2.FEntryID And t2.FID <>" + key);
    Line(sb, "Where t2.FID = (Select isnull(Max(FID),0) From IC_RefundInfo Where FEntryID =" +
                 line + " And FID <> " + key + ")");
    m.conn().Execute(sb.ToString());
    return "";
  });
}

Variant ClearServiceInfo(Component& self, const std::string& sDsn, const std::string&) {
  return RunMethod(self, "ClearServiceInfo", sDsn, [&](MethodScope& m) {
    StringBuilder sb;
    for (const char* table : {"IC_RefundRecord", "IC_RefundInfo"}) {
      Line(sb, std::string("Delete From ") + table +
                   " Where FEntryID <> 0 And FEntryID Not In ");
      Line(sb, "(Select FEntryID From IC_Web2ERPOrdersEntry with(nolock)) ");
    }
    m.conn().Execute(sb.ToString());
    return Variant();
  });
}

}  // namespace ambit
