// Every AmbitOrderUpdate method, with a representative input on the demo account, is run once to
// count the statement batches it sends; then each batch in turn is failed, before it runs and
// again after it ran, and the account must hold exactly what it held before the call. The list
// of methods comes from the registration table, so a new method without an input here fails.
#include <gtest/gtest.h>

#include <set>

#include "backends/sqlite/fault_injection.h"
#include "host/host_services.h"
#include "reliability/account_snapshot.h"

namespace ambit::testing {
namespace {

using json = nlohmann::ordered_json;

// Counts batches and fails the chosen one.
class CountingFault : public StatementFault {
 public:
  enum class When { kNever, kBefore, kAfter };
  CountingFault(When when, int fail_at) : when_(when), fail_at_(fail_at) {}
  void Before(std::string_view) override {
    ++count_;
    if (when_ == When::kBefore && count_ == fail_at_) Fail();
  }
  void After(std::string_view) override {
    if (when_ == When::kAfter && count_ == fail_at_) Fail();
  }
  int count() const { return count_; }

 private:
  [[noreturn]] void Fail() {
    throw ComError(err::kUnexpected, "ambit-order.fault", "injected failure");
  }
  When when_;
  int fail_at_;
  int count_ = 0;
};

class FaultScope {
 public:
  explicit FaultScope(StatementFault* fault) { SetStatementFault(fault); }
  ~FaultScope() { SetStatementFault(nullptr); }
};

// Inputs on the demo account: orders 1-20 await review, 21-40 are reviewed, 41-60 picked and
// 61-100 shipped. "$E<fid>" stands for the first line key of that order.
const std::map<std::string, std::string>& Inputs() {
  static const std::map<std::string, std::string> inputs = {
      {"WriteOPLog", R"({"sDsn":"acc","dctData":{"sFID":"1,2","FOPUserID":16394,"FOPCode":1,
        "FItemID":0,"FUserIP":"1.2.3.4","FOPTime":"2026-01-05 10:00:00","FOldValue":"a",
        "FNewValue":"b"}})"},
      {"IsLogEnable", R"({"OPCode":"1"})"},
      {"WriteSaveOrderLog",
       R"({"FID":"1","EntryID":"$E1","FieldName":"FConsignee","Value":"x","ItemID":"0"})"},
      {"SetWebOrderStatus", R"({"dctPara":{"sDSN":"acc","FID":"1,2,3","FOrderStatus":2}})"},
      {"DeleteWebOrder", R"({"dctPara":{"sDSN":"acc","FID":"4,5"}})"},
      {"SetWebOrderVoidStatus", R"({"dctPara":{"sDSN":"acc","FID":"6,7","FVoidStatus":1}})"},
      {"SetWebOrderRowClose", R"({"dctPara":{"sDSN":"acc","FID":"8","FFIsRowClose":1}})"},
      {"LockWebOrder", R"({"dctPara":{"sDSN":"acc","FID":"9,10","IsLock":1,"LockStatus":1,
        "LockReason":"stock"}})"},
      {"InvoiceFlag", R"({"dctPara":{"sDSN":"acc","FID":"21,22"}})"},
      {"SetWebOrderStatusForNet", R"({"iOrderStatus":2,"sDsn":"acc","sFID":"11,12"})"},
      {"CheckCurrency", R"({"sDsn":"acc","FID":"13","dicRnt":{}})"},
      {"ChangeOrderItem", R"({"sDsn":"acc","dctItem":{"FID":"14","FItemID":1002}})"},
      {"SaveOrder", R"({"sDsn":"acc","dctDataCache":{"15":{"FBuyerName":"Wang",
        "FConsignee":"Li"}}})"},
      {"UpdateAfterGenerateBill",
       R"({"sDsn":"acc","vctSelected":[{"FID":23,"isSuccess":true},{"FID":24,"isSuccess":true}]})"},
      {"UpdateAfterDeleteBill", R"({"sDsn":"acc","sFID":"61,62"})"},
      {"TransSiteOrder2SaleOrder",
       R"({"sDsn":"acc","sFID":"25","DFetchDate":"2026-01-05","lUserID":16394})"},
      {"UpdateAfterDeleteSaleOrder", R"({"sDsn":"acc","sFID":"61,62"})"},
      {"UpdateSendStockID",
       R"({"sDsn":"acc","dctOrderEntryInfo":{"FID":16,"FEntryID":"$E16","FStockID":101}})"},
      {"CallAddGiftService", R"({"PropsString":"acc","sFID":"26","sOrderIDs":""})"},
      {"CallUnCheckService", R"({"PropsString":"acc","sFID":"26"})"},
      {"RegAsm", R"({"strDllName":"x.dll"})"},
      {"MergeOrders", R"({"sDsn":"acc","vctOrderInfo":["17,18"],"sFidForGift":""})"},
      {"MergeOrdersZJ", R"({"sDsn":"acc","vctOrderInfo":["17,18"],"sFidForGift":""})"},
      {"MergeDownloadedOrders", R"({"sDsn":"acc","lWebShopID":1,"sStartDate":"2000-01-01",
        "sEndDate":"2100-01-01","lDateType":0,"bAutoCheck":false})"},
      {"BatchInsertGiftItems", R"({"sDsn":"acc","vctOrders":[{"FID":19,"FSiteOrderID":"x"}],
        "vctOrderEntry":[{"FItemID":1002,"FUnitID":0,"FQuantity":1}]})"},
      {"MergeGiftItems", R"({"sDsn":"acc"})"},
      {"AddGiftWhenMergeOrder", R"({"sDsn":"acc","sFIDs":"19"})"},
      {"BuildDemoData", R"({"sDsn":"acc"})"},
      {"SetWebOrderStatusByCheckStock", R"({"sDsn":"acc","sFIDs":"1,2","bChkCurrency":false})"},
      {"SetWebOrderStatusByCheckStockEx",
       R"({"sDsn":"acc","sFIDs":"1,2","bChkCurrency":false})"},
      {"SetWebOrderStatusByCheckStockNew", R"({"sDsn":"acc","sFIDs":"1,2"})"},
      {"FillBatchNo", R"({"sDsn":"acc","vctOrderInfo":[1,2],"dctPara":{}})"},
      {"SplitOrders", R"({"sDsn":"acc","vctOrderInfo":[2],"dctPara":{}})"},
      {"SplitOrdersByNum", R"({"sDsn":"acc","dctEntry":{"FEntryID":"$E2","SplitNum":1,
        "GoodsNum":3,"isAll":false},"dctOrderInfo":{"FID":2},"dctPara":{}})"},
      {"SplitOrdersByTypeAndNum", R"({"sDsn":"acc","vctOrderInfo":[2],"dctPara":{}})"},
      {"SplitOrdersByRefund", R"({"sDsn":"acc","vctOrderInfo":[2],"dctPara":{}})"},
      {"SplitOrderPartSend", R"({"sDsn":"acc","fids":"2"})"},
      {"GetTranscationStatusByStatus", R"({"sFStatus":"WAIT_SELLER_SEND_GOODS"})"},
      {"UpdateWeb2ERPOrdersSplitOneEntrySQL", R"({"sFSiteOrderID":"WebOrderID002",
        "sFWebShopID":"1","lFWebShopFID":1,"dFpayTime":"2026-01-05","dModifiedTime":"2026-01-05",
        "dFOrderDate":"2026-01-05","sFStatus":"WAIT_SELLER_SEND_GOODS"})"},
      {"CheckRefundSession", R"({"sDsn":"acc","strWebShopID":"1"})"},
      {"DoRefund", R"({"sDsn":"acc","strWebShopID":"1","strFIDs":"27","sCode":"c",
        "sRemark":"r","sEmpID":"1"})"},
      {"DoRefundSingle", R"({"sDsn":"acc","strWebShopID":"1","sRefundFID":"1","sRefundCode":"c",
        "sRemark":"r","sMessage":"m","sFileName":"f","sEmpID":"1","bIsReturn":false})"},
      {"AddRefundServices", R"({"sDsn":"acc","vctData":[{"FEntryID":"$E28","FForceComfirm":1,
        "FIsReturn":0,"FNum":1}],"lOpType":1,"lEmpID":3})"},
      {"CheckServiceStatusbyEntryID", R"({"sDsn":"acc","sEntryIDs":"$E28"})"},
      {"CheckReceiveStatusbyFEntryID", R"({"sDsn":"acc","vctData":[{"FEntryID":"$E28",
        "FNum":1}],"dctFailIDs":{},"bIsModify":false})"},
      {"SetServiceStatus", R"({"sDsn":"acc","vctData":[{"FEntryID":"$E28","FIsAgree":true,
        "lCurStatus":38430,"FRemark":"r","FRefundAmount":1,"FManageType":1,"FRefundFID":0,
        "FQty":1}],"lEmpID":3})"},
      {"UpdateServiceStatus", R"({"sDsn":"acc","sEntryID":"$E28","bIsAgree":true,
        "lCurStatus":38430,"sRemark":"r","dRefundAmount":1,"lManageType":1,"lRefundFID":0,
        "dQty":1,"lEmpID":3})"},
      {"UpdateReturnLogistics",
       R"({"sDsn":"acc","sEntryIDs":"$E28","sLogiCompanyID":"1","sLogiOrder":"L1"})"},
      {"BackToPreviousService",
       R"({"sDsn":"acc","iType":1,"sFEntryIDs":"$E28","sRemark":"r","lEmpID":"3"})"},
      {"DeleteRefundInfo", R"({"sDsn":"acc","sRefundFID":"1"})"},
      {"ClearServiceInfo", R"({"sDsn":"acc","sFIDs":"28"})"},
      {"UpdateAgreeSupplyOrderStatus", R"({"sDsn":"acc","sFID":"29","sRemark":"r","lEmp":3})"},
      {"UpdateRefuseSupplyOrderStatus", R"({"sDsn":"acc","sFID":"29","sRemark":"r","lEmp":3})"},
      {"UpdateAddSupplyRecord", R"({"sDsn":"acc","sFID":"29","lEmp":3})"},
  };
  return inputs;
}

json Resolve(const std::string& text, Connection& conn) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$' || i + 1 >= text.size() || text[i + 1] != 'E') {
      out += text[i];
      continue;
    }
    size_t end = i + 2;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    out += Scalar(conn, "select min(FEntryID) from IC_Web2ERPOrdersEntry where FID = " +
                            text.substr(i + 2, end - i - 2));
    i = end - 1;
  }
  return json::parse(out);
}

struct Outcome {
  bool failed = false;
  std::string error;
  int statements = 0;
};

Outcome RunMethod(DemoCopy& account, const std::string& method, CountingFault::When when, int at) {
  CountingFault fault(when, at);
  Outcome outcome;
  json args = Resolve(Inputs().at(method), account.conn());
  {
    FaultScope scope(&fault);
    try {
      account.Call("AmbitOrderUpdate", method, args);
    } catch (const ComError& e) {
      outcome.failed = true;
      outcome.error = e.description();
    }
  }
  outcome.statements = fault.count();
  return outcome;
}

TEST(FaultInjectionTest, EveryUpdateMethodFailingAnyStatementLeavesTheAccountAsItWas) {
  RegisterHostServices({});
  int methods = 0, injected = 0;
  for (const MethodEntry& registered : AmbitOrderUpdateTable().methods()) {
    const std::string& method = registered.name;
    ASSERT_TRUE(Inputs().count(method)) << method << " has no representative input here";
    ++methods;
    DemoCopy clean(method + "-clean");
    Snapshot before = TakeSnapshot(clean.conn());
    Outcome first = RunMethod(clean, method, CountingFault::When::kNever, 0);
    EXPECT_FALSE(first.failed) << method << ": " << first.error;
    std::cout << method << " " << first.statements << " statements, changes: "
              << ChangedTables(before, TakeSnapshot(clean.conn())) << "\n";

    DemoCopy faulted(method + "-faulted");
    bool kept = true;
    for (int at = 1; kept && at <= first.statements; ++at) {
      for (auto when : {CountingFault::When::kBefore, CountingFault::When::kAfter}) {
        Outcome o = RunMethod(faulted, method, when, at);
        ++injected;
        Snapshot after = TakeSnapshot(faulted.conn());
        EXPECT_EQ(after, before) << method << " statement " << at
                                 << (when == CountingFault::When::kBefore ? " before" : " after")
                                 << (o.failed ? " failed" : " answered") << ", changed "
                                 << ChangedTables(before, after);
        kept = after == before;
        if (!kept) break;
      }
    }
  }
  std::cout << methods << " methods, " << injected << " statements failed\n";
}

}  // namespace
}  // namespace ambit::testing
