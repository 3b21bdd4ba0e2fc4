#include "aftersales/service_records.h"

#include <vector>

#include "aftersales/aftersales_internal.h"
#include "aftersales/service_states.h"
#include "base/com_error.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "schema/names.h"

namespace ambit {
namespace {

namespace code = schema::code;
using aftersales_internal::HasRows;
using aftersales_internal::IntAt;
using aftersales_internal::IntOf;
using aftersales_internal::Line;
using aftersales_internal::NumberAt;
using aftersales_internal::NumberOf;

std::string Num(double d) { return FormatNumber(d); }

std::string EntryKeyOf(const Dictionary& item) {
  return CheckKey(TextOrEmpty(item.Value("FEntryID")), "FEntryID");
}

// Appends `key` to a comma-separated list.
void AddKey(std::string& list, const std::string& key) {
  list += (list.empty() ? "" : ",") + key;
}

std::string OpenCaseLines(Connection& conn, const std::string& entry_ids) {
  StringBuilder sb;
  Line(sb, "Select FEntryID From IC_Web2ErpOrdersEntry with(nolock) ");
  Line(sb, "Where FServiceStatus <> 0 And FServiceStatus <> 38435 And FServiceStatus <> 38436");
  Line(sb, "And FEntryID in(" + entry_ids + ")");
  std::string keys;
  for (RecordsetPtr rs = conn.Execute(sb.ToString()); HasRows(rs); rs->MoveNext())
    AddKey(keys, CStr(rs->Value("FEntryID")));
  return keys;
}

// Per line: what it was ordered and what earlier cases already received.
struct ReceiveBalance {
  std::string entry_id;
  double ordered = 0;
  double received_before = 0;
};

std::string OverReturnedLines(Connection& conn, const VectorPtr& vctData,
                              const DictionaryPtr& dctFailIDs, bool is_modify) {
  std::string keys;
  for (const Variant& v : vctData->items()) {
    DictionaryPtr item = v.As<Dictionary>();
    if (!item) continue;
    std::string key = EntryKeyOf(*item);
    if (dctFailIDs && CLng(dctFailIDs->GetValue(key, Variant(int32_t{0}))) != 0) continue;
    if (IntAt(*item, "FIsReturn") == 1 || NumberAt(*item, "FExchangeQty") > 0) AddKey(keys, key);
  }
  if (keys.empty()) return "";
  StringBuilder sb;
  Line(sb, "Select isnull(t3.FIsRetrunGoods,0) as FIsReturn,isnull(t3.FReceiveQty,0) as "
           "FReceivedQty, ");
  Line(sb, " t1.FEntryID,t1.FQuantity,t1.FRefundFID as FCurRefundID,t3.FID as FHistoryID");
  Line(sb, " From IC_Web2ErpOrdersEntry t1 with(nolock) ");
  Line(sb, " left join IC_RefundInfo t3  with(nolock)  on t1.FEntryID = t3.FEntryID ");
  Line(sb, " Where (t3.FServiceStatus is null or t3.FServiceStatus <> 38436) And  t1.FEntryID "
           "in(" + keys + ")");
  std::vector<ReceiveBalance> balances;
  for (RecordsetPtr rs = conn.Execute(sb.ToString()); HasRows(rs); rs->MoveNext()) {
    if (IntOf(rs->Value("FIsReturn")) == 0) continue;
    std::string entry_id = CStr(rs->Value("FEntryID"));
    ReceiveBalance* balance = nullptr;
    for (ReceiveBalance& b : balances)
      if (b.entry_id == entry_id) balance = &b;
    if (!balance) {
      balances.push_back({entry_id, NumberOf(rs->Value("FQuantity")), 0});
      balance = &balances.back();
    }
    // A case being changed does not count against itself.
    bool own_case = is_modify && !rs->Value("FHistoryID").IsNull() &&
                    IntOf(rs->Value("FCurRefundID")) == IntOf(rs->Value("FHistoryID"));
    if (!own_case) balance->received_before += NumberOf(rs->Value("FReceivedQty"));
  }
  std::string over;
  for (const ReceiveBalance& b : balances) {
    DictionaryPtr item = FindItemByKey(vctData, "FEntryID", b.entry_id);
    if (item && b.ordered < b.received_before + NumberAt(*item, "FNum")) AddKey(over, b.entry_id);
  }
  return over;
}

// What one vctData item of AddRefundServices carries.
struct CaseRequest {
  std::string entry_id;
  bool force_confirm = false;
  int32_t is_return = 0;         // absent: 0 for deciding the state...
  int32_t is_return_stored = 1;  // ...but 1 for the new case's FIsRetrunGoods
  std::string remark;
  double amount = 0;
  double num = 0;
  int32_t category = 0;
  std::string buyer_account;
  int32_t exchange_item = 0;
  int32_t exchange_unit = 0;
  double exchange_qty = 0;
  int32_t return_company = 0;
  std::string return_order;
  int32_t item_id = 0;
};

CaseRequest ReadRequest(const Dictionary& d) {
  CaseRequest r;
  r.entry_id = EntryKeyOf(d);
  r.force_confirm = IntAt(d, "FForceComfirm") == 1;
  r.is_return = IntAt(d, "FIsReturn");
  r.is_return_stored = CLng(d.GetValue("FIsReturn", Variant(int32_t{1})));
  r.remark = TextOrEmpty(d.Value("FRemark"));
  r.amount = NumberAt(d, "FRefundAmount");
  r.num = NumberAt(d, "FNum");
  r.category = IntAt(d, "FServiceType");
  r.buyer_account = CStr(d.GetValue("FBuyerAccount", Variant("")));
  r.exchange_item = IntAt(d, "FExchangeItemID");
  r.exchange_unit = IntAt(d, "FExchangeUnitID");
  r.exchange_qty = NumberAt(d, "FExchangeQty");
  r.return_company = IntAt(d, "FReturnLogisticsCompany");
  r.return_order = TextOrEmpty(d.Value("FReturnLogisticsOrder"));
  r.item_id = IntAt(d, "FItemID");
  return r;
}

void AppendLineMirror(StringBuilder& sb, const CaseRequest& r, const ServiceStart& start,
                      const std::string* new_case) {
  Line(sb, "Update IC_Web2ErpOrdersEntry Set");
  Line(sb, " FServiceType = " + std::to_string(start.type));
  Line(sb, ",FServiceSource = " + std::to_string(code::kServiceSourceOffline));
  Line(sb, ",FServiceStatus = " + std::to_string(start.status));
  if (new_case) Line(sb, ",FRefundFID = " + *new_case);
  Line(sb, ",FRefundStatus = " + std::to_string(IsServiceOpen(start.status)));
  Line(sb, ",FReturnLogisticsCompany = " + std::to_string(r.return_company));
  Line(sb, ",FReturnLogisticsOrder = '" + SqlQuote(r.return_order) + "'");
  Line(sb, "Where FEntryID =" + r.entry_id);
}

// A change rewrites the line's current case and its mirror; it leaves no history row.
void ChangeCase(Connection& conn, const CaseRequest& r, const ServiceStart& start,
                int32_t lOpType) {
  RecordsetPtr current =
      conn.Execute("Select FRefundFID From IC_Web2ErpOrdersEntry Where FEntryID = " + r.entry_id);
  if (!HasRows(current)) return;
  std::string case_key = std::to_string(IntOf(current->Value("FRefundFID")));
  StringBuilder sb;
  Line(sb, "-- 更新当前退款单数据");
  Line(sb, "Update IC_RefundInfo Set");
  Line(sb, "FNum = " + Num(r.num));
  Line(sb, ",FRefundMemo = '" + SqlQuote(r.remark) + "'");
  Line(sb, ",FServiceStatus = " + std::to_string(start.status));
  Line(sb, ",FServiceType = " + std::to_string(start.type));
  if (lOpType == 3) {
    Line(sb, ",FIsRetrunGoods =" + std::to_string(r.is_return));
    Line(sb, ",FRefundAmount =" + Num(r.amount));
    Line(sb, ",FBuyerAccount = '" + SqlQuote(r.buyer_account) + "'");
  } else {
    Line(sb, ",FExchangeItemID =" + std::to_string(r.exchange_item));
    Line(sb, ",FExchangeUnitID =" + std::to_string(r.exchange_unit));
    Line(sb, ",FExchangeQty =" + Num(r.exchange_qty));
  }
  Line(sb, "Where FID = " + case_key);
  Line(sb, "-- 更新订单分录状态");
  AppendLineMirror(sb, r, start, nullptr);
  conn.Execute(sb.ToString());
}

void OpenCase(Connection& conn, const CaseRequest& r, const ServiceStart& start,
              int32_t lOpType, int32_t lEmpID) {
  StringBuilder sb;
  Line(sb, "--插入退款申请表");
  Line(sb, "Insert Into [IC_RefundInfo]([FSiteOrderID],[FChildOrderID],[FCreateDate],"
           "[FLastModifyDate],[FIsRetrunGoods],[FRefundMemo],[FRefundAmount],[FItemID],[FNum],"
           "[FWebShopID],[FServiceSource],[FServiceType],[FServiceStatus],[FServiceCategory],"
           "[FEntryID],[FOrderID],[FBuyerNick],[FItemName],[FBuyerAccount],[FExchangeItemID],"
           "[FExchangeUnitID],[FExchangeQty],[FRecorder])");
  Line(sb, "Select t2.FSiteOrderID,");
  Line(sb, "t2.FChildOrderID,");
  Line(sb, "GetDate(),");
  Line(sb, "GetDate(),");
  Line(sb, std::to_string(r.is_return_stored) + ",");
  Line(sb, "'" + SqlQuote(r.remark) + "',");
  Line(sb, Num(r.amount));
  Line(sb, ",t2.FItemID,");
  Line(sb, Num(r.num));
  Line(sb, ",t1.FWebShopID,");
  Line(sb, std::to_string(code::kServiceSourceOffline) + ",");
  // Type before state, as the columns are listed: every other statement on cases keeps the
  // state in FServiceStatus and the type in FServiceType, and so must a new case.
  Line(sb, std::to_string(start.type) + ",");
  Line(sb, std::to_string(start.status) + ",");
  Line(sb, std::to_string(r.category));
  Line(sb, ",t2.FEntryID,");
  Line(sb, "t1.FOrderID,");
  Line(sb, "t1.FBuyerNick,");
  Line(sb, "t3.FName,");
  Line(sb, "'" + SqlQuote(r.buyer_account) + "',");
  Line(sb, std::to_string(r.exchange_item) + ",");
  Line(sb, std::to_string(r.exchange_unit) + ",");
  Line(sb, Num(r.exchange_qty) + ",");
  Line(sb, std::to_string(lEmpID));
  Line(sb, "From IC_Web2ErpOrders t1 inner join IC_Web2ErpOrdersEntry t2 on t1.FID = t2.FID");
  Line(sb, "left join t_ICItem t3 on t2.FItemId = t3.FItemID ");
  Line(sb, "Where FEntryID =" + r.entry_id);
  conn.Execute(sb.ToString());

  RecordsetPtr rs = conn.Execute("Select Max(FID) FID From IC_RefundInfo Where FEntryID =" +
                                 r.entry_id);
  // No case at all means the line does not exist: there is nothing to record or mirror.
  if (!HasRows(rs) || rs->Value("FID").IsNull()) return;
  int32_t case_key = CLng(rs->Value("FID"));

  sb.Clear();
  Line(sb, "--插入售后记录表，处理类型为申请退款");
  AppendRefundRecordSql(sb, code::kServiceSourceOffline, start.type,
                        ApplicationManageType(lOpType), r.category, Num(r.amount), Num(r.num),
                        r.remark, r.entry_id, r.item_id, lEmpID, case_key);
  if (r.force_confirm) {
    Line(sb, "--插入售后记录表，处理类型为审核");
    AppendRefundRecordSql(sb, code::kServiceSourceOffline, start.type, start.review_manage_type,
                          r.category, Num(r.amount), Num(r.num), "自动审核", r.entry_id, r.item_id,
                          lEmpID, case_key);
  }
  Line(sb, "--更新订单分录");
  std::string key_text = std::to_string(case_key);
  AppendLineMirror(sb, r, start, &key_text);
  conn.Execute(sb.ToString());
}

// UpdateServiceStatus on the call's connection (SetServiceStatus steps many cases in one call).
bool StepService(Connection& conn, const std::string& sEntryID, bool bIsAgree,
                 int32_t lCurStatus, const std::string& sRemark, double dRefundAmount,
                 int32_t lManageType, int32_t lRefundFID, double dQty, int32_t lEmpID) {
  std::string entry = CheckKey(sEntryID, "sEntryID");
  std::string case_key = std::to_string(lRefundFID);
  StringBuilder sb;
  Line(sb, "Select FItemID,FServiceStatus,FServiceCategory,FServiceType,FServiceSource,");
  Line(sb, "FIsRetrunGoods,FRefundAmount,FNum,FReceiveQty,FReturnQty,FExchangeQty From "
           "IC_RefundInfo");
  Line(sb, " Where FEntryID =" + entry);
  Line(sb, " And FID = " + case_key);
  RecordsetPtr rs = conn.Execute(sb.ToString());
  bool found = HasRows(rs);
  if (found && !AcceptsStoredStatus(lCurStatus, IntOf(rs->Value("FServiceStatus"))))
    return false;
  // Without a case row (re-shipment lines carry none) the step still moves the line that
  // names case lRefundFID and leaves its history row, with the caller's amount.
  auto number = [&](const char* column) { return found ? NumberOf(rs->Value(column)) : 0.0; };
  auto integer = [&](const char* column) { return found ? IntOf(rs->Value(column)) : 0; };
  ServiceStep step;
  step.lCurStatus = lCurStatus;
  step.bIsAgree = bIsAgree;
  step.service_type = integer("FServiceType");
  step.manage_type = lManageType;
  step.stored_status = integer("FServiceStatus");
  step.amount = found ? number("FRefundAmount") : dRefundAmount;
  step.num = number("FNum");
  step.received = number("FReceiveQty");
  step.returned = number("FReturnQty");
  step.step_qty = dQty;
  std::optional<int32_t> next = GetNextServiceStatus(step);
  if (!next) return false;

  std::string state = std::to_string(*next);
  sb.Clear();
  Line(sb, "Update IC_RefundInfo Set FServiceStatus =" + state);
  Line(sb, ",FReceiveQty =" + Num(step.received));
  Line(sb, ",FReturnQty =" + Num(step.returned));
  Line(sb, ",FExchangeQty =" + Num(number("FExchangeQty")));
  Line(sb, "Where FEntryID =" + entry);
  Line(sb, " And FID = " + case_key);
  Line(sb, "Update IC_Web2ErpOrdersEntry Set FServiceStatus =" + state);
  Line(sb, ",FRefundStatus = " + std::to_string(IsServiceOpen(*next)));
  Line(sb, "Where FEntryID =" + entry);
  Line(sb, " And FRefundFID = " + case_key);
  AppendRefundRecordSql(sb, integer("FServiceSource"), step.service_type, lManageType,
                        integer("FServiceCategory"), Num(step.amount), Num(step.step_qty),
                        sRemark, entry, integer("FItemID"), lEmpID, lRefundFID);
  conn.Execute(sb.ToString());
  return true;
}

}  // namespace

std::string AddRefundServices(Component& self, const std::string& sDsn, const VectorPtr& vctData,
                              int32_t lOpType, int32_t lEmpID) {
  if (sDsn.empty() || !vctData || vctData->Count() == 0) return "";
  return RunMethod(self, "AddRefundServices", sDsn, [&](MethodScope& m) {
    if (lOpType < 1 || lOpType > 4)
      throw ComError(err::kInvalidArgument, "AddRefundServices",
                     "lOpType " + std::to_string(lOpType) +
                         " is none of 1 (refund), 2 (exchange), 3 and 4 (changes).");
    // Every value is read (and a bad one refused) before the first statement is built.
    std::vector<CaseRequest> items;
    std::string all;
    for (const Variant& v : vctData->items()) {
      DictionaryPtr item = v.As<Dictionary>();
      if (!item)
        throw ComError(err::kInvalidArgument, "AddRefundServices",
                       "Every item of vctData must be a Dictionary.");
      items.push_back(ReadRequest(*item));
      AddKey(all, items.back().entry_id);
    }
    std::string failed;
    DictionaryPtr open_cases = NewDictionary();
    if (lOpType < 3) {
      failed = OpenCaseLines(m.conn(), all);
      for (const std::string& key : SplitKeyList(failed)) open_cases->SetValue(key, Variant(1));
    }
    std::string over = OverReturnedLines(m.conn(), vctData, open_cases, lOpType >= 3);
    if (!over.empty()) AddKey(failed, over);
    DictionaryPtr failed_keys = NewDictionary();
    if (!failed.empty())
      for (const std::string& key : SplitKeyList(failed)) failed_keys->SetValue(key, Variant(1));
    if (!failed.empty() && failed_keys->Count() == static_cast<int>(items.size()))
      return "OK:,Faild:" + all;

    std::string ok;
    for (const CaseRequest& r : items) {
      if (CLng(failed_keys->GetValue(r.entry_id, Variant(int32_t{0}))) != 0) continue;
      AddKey(ok, r.entry_id);
      ServiceStart start = DecideServiceStart(r.force_confirm, lOpType, r.is_return == 1);
      if (lOpType >= 3) {
        ChangeCase(m.conn(), r, start, lOpType);
      } else {
        OpenCase(m.conn(), r, start, lOpType, lEmpID);
      }
    }
    return "OK:" + ok + ",Faild:" + failed;
  });
}

std::string CheckServiceStatusbyEntryID(Component& self, const std::string& sDsn,
                                        const std::string& sEntryIDs) {
  return RunMethod(self, "CheckServiceStatusbyEntryID", sDsn, [&](MethodScope& m) {
    return OpenCaseLines(m.conn(), CheckKeyList(sEntryIDs, "sEntryIDs"));
  });
}

std::string CheckReceiveStatusbyFEntryID(Component& self, const std::string& sDsn,
                                         const VectorPtr& vctData,
                                         const DictionaryPtr& dctFailIDs,
                                         const Variant& bIsModify) {
  return RunMethod(self, "CheckReceiveStatusbyFEntryID", sDsn, [&](MethodScope& m) {
    if (!vctData) return std::string();
    bool is_modify = !bIsModify.IsEmpty() && !bIsModify.IsNull() && CBool(bIsModify);
    return OverReturnedLines(m.conn(), vctData, dctFailIDs, is_modify);
  });
}

std::string SetServiceStatus(Component& self, const std::string& sDsn, const VectorPtr& vctData,
                             int32_t lEmpID) {
  return RunMethod(self, "SetServiceStatus", sDsn, [&](MethodScope& m) {
    std::string ok;
    std::string failed;
    if (!vctData) return std::string("OK:,Faild:");
    for (const Variant& v : vctData->items()) {
      DictionaryPtr item = v.As<Dictionary>();
      if (!item)
        throw ComError(err::kInvalidArgument, "SetServiceStatus",
                       "Every item of vctData must be a Dictionary.");
      const Dictionary& d = *item;
      std::string entry = TextOrEmpty(d.Value("FEntryID"));
      bool done = StepService(m.conn(), entry, CBool(d.Value("FIsAgree")),
                              CLng(d.Value("lCurStatus")), TextOrEmpty(d.Value("FRemark")),
                              CDbl(d.Value("FRefundAmount")), CLng(d.Value("FManageType")),
                              CLng(d.Value("FRefundFID")), CDbl(d.Value("FQty")), lEmpID);
      AddKey(done ? ok : failed, entry);
    }
    return "OK:" + ok + ",Faild:" + failed;
  });
}

bool UpdateServiceStatus(Component& self, const std::string& sDsn, const std::string& sEntryID,
                         bool bIsAgree, int32_t lCurStatus, const std::string& sRemark,
                         double dRefundAmount, int32_t lManageType, int32_t lRefundFID,
                         double dQty, int32_t lEmpID) {
  return RunMethod(self, "UpdateServiceStatus", sDsn, [&](MethodScope& m) {
    return StepService(m.conn(), sEntryID, bIsAgree, lCurStatus, sRemark, dRefundAmount,
                       lManageType, lRefundFID, dQty, lEmpID);
  });
}

bool UpdateReturnLogistics(Component& self, const std::string& sDsn, const std::string& sEntryIDs,
                           const std::string& sLogiCompanyID, const std::string& sLogiOrder) {
  return RunMethod(self, "UpdateReturnLogistics", sDsn, [&](MethodScope& m) {
    std::string entries = CheckKeyList(sEntryIDs, "sEntryIDs");
    std::string company = CheckKey(sLogiCompanyID, "sLogiCompanyID");
    m.conn().Execute("Update IC_Web2ErpOrdersEntry Set FReturnLogisticsCompany = " + company +
                     ",FReturnLogisticsOrder = '" + SqlQuote(sLogiOrder) +
                     "' Where FEntryID in (" + entries + ")");
    return true;
  });
}

}  // namespace ambit
