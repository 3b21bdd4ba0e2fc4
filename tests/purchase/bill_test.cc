// Purchase requests and orders written from the client's Dictionaries, their keys and numbers,
// and the defaults the client assembles them with.
#include "purchase/purchase_bill.h"

#include <gtest/gtest.h>

#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "purchase/bill_code_rule.h"
#include "purchase/purchase_fixture.h"
#include "support/dispatcher_fixture.h"

namespace ambit {
namespace {

using testing::Dict;

std::string Today(Connection& conn) {
  return Scalar(conn, "SELECT CONVERT(varchar(10), GETDATE(), 120)");
}

TEST_F(PurchaseTest, RequestWritesItsHeadAndLinesDatedToday) {
  DictionaryPtr head = Dict({{"FInterID", Variant(5)}, {"FBillNo", Variant("REQ'1")},
                             {"FTranType", Variant(70)}, {"FDeptID", Variant("3")},
                             {"Fnote", Variant("for web orders")}, {"FPOStyle", Variant(20302)}});
  VectorPtr lines = NewVector();
  lines->Add(Variant(Dict({{"FInterID", Variant(5)}, {"FEntryID", Variant(1)},
                           {"FItemID", Variant(10)}, {"FQty", Variant(3)},
                           {"Fuse", Variant("shop")}, {"FSourceBillNo", Variant("WD1")}})));
  lines->Add(Variant(Dict({{"FInterID", Variant(5)}, {"FEntryID", Variant(2)},
                           {"FItemID", Variant(11)}, {"FQty", Variant(2.5)}})));
  ASSERT_TRUE(SavePurchaseApplyBill(info(), kDsn, kTranTypePurchaseRequest, head, lines));
  EXPECT_EQ(Scalar(conn(), "SELECT FBillNo + '|' + CONVERT(varchar(10), FDeptID) + '|' + Fnote "
                           "+ '|' + CONVERT(varchar(10), Fdate, 120) + '|' + "
                           "ISNULL(CONVERT(varchar(10), FCheckTime, 120), 'null') FROM POrequest"),
            "REQ'1|3|for web orders|" + Today(conn()) + "|null");
  EXPECT_EQ(Scalar(conn(), "SELECT SUM(FQty) FROM POrequestEntry WHERE FInterID = 5"), "5.5");
  EXPECT_EQ(Scalar(conn(), "SELECT Fuse + FSourceBillNo + CONVERT(varchar(10), FFetchTime, 120) "
                           "FROM POrequestEntry WHERE FEntryID = 1"),
            "shopWD1" + Today(conn()));
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM POOrder"), 0);

  // Without a head or lines nothing is written; a value meant to stand bare must be a number.
  EXPECT_FALSE(SavePurchaseApplyBill(info(), kDsn, 70, nullptr, lines));
  EXPECT_FALSE(SavePurchaseApplyBill(info(), kDsn, 70, head, nullptr));
  EXPECT_FALSE(SavePurchaseApplyBill(info(), kDsn, 70, head, NewVector()));
  head->SetValue("FInterID", Variant("6; delete from POrequest"));
  ComError e = ErrorOf([&] { SavePurchaseApplyBill(info(), kDsn, 70, head, lines); });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.SavePurchaseApplyBill");
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM POrequest"), 1);
}

TEST_F(PurchaseTest, DefaultsStyleAndArea) {
  SetProfile(conn(), "Department", "7");
  EXPECT_EQ(GetDefaultDepartment(info(), kDsn), 7);
  EXPECT_EQ(GetDefaultStaff(info(), kDsn), 0);
  conn().Execute("DELETE FROM t_SystemProfile WHERE FKey = 'Staff'");
  ComError e = ErrorOf([&] { GetDefaultStaff(info(), kDsn); });
  EXPECT_EQ(e.number(), err::kNoCurrentRecord);
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetDefaultStaff");

  conn().Execute("UPDATE t_SubMessage SET FInterID = 20399 WHERE FID = 'PO02' AND FTypeID = 162");
  EXPECT_EQ(GetPurChaseStyleOrArea(info(), kDsn, kPurchaseStyleClass), 20399);
  int calls = context().begin_call_count;
  EXPECT_EQ(GetPurChaseStyleOrArea(info(), kDsn, 2), kDefaultPurchaseArea);
  EXPECT_EQ(context().begin_call_count, calls);
}

TEST_F(PurchaseTest, MaxNumComesFromTheNumberingProcedure) {
  conn().Execute("INSERT INTO POOrder (FInterID, FBillNo) VALUES (40, 'PO40')");
  EXPECT_EQ(GetMaxNum(info(), kDsn, 16394, "POOrder"), 41);
  EXPECT_EQ(GetMaxNum(info(), kDsn, 16394, "POOrder"), 42);
  conn().Execute("DROP PROCEDURE GetICMaxNum");
  ComError e = ErrorOf([&] { GetMaxNum(info(), kDsn, 16394, "POOrder"); });
  EXPECT_EQ(e.number(), 2812);  // the database's own error, not re-sourced
  EXPECT_EQ(e.source().find("AmbitOrder."), std::string::npos);
}

// A bill number service that remembers what it was asked.
class RecordingRule : public BillCodeRule {
 public:
  std::string GetNewBillID(const std::string& sDsn, const DictionaryPtr& bill, bool& UpdateMaxNO,
                           const Variant&, const Variant&, const DictionaryPtr& more) override {
    dsn = sDsn;
    asked = bill;
    extra = more;
    UpdateMaxNO = false;
    return "NO-1";
  }
  std::string dsn;
  DictionaryPtr asked, extra;
};

TEST_F(PurchaseTest, BillNumberServiceIsAskedForTheTypeDatedToday) {
  auto rule = std::make_shared<RecordingRule>();
  RegisterHostObject(kProgIdBillCodeRule, [rule] { return rule; });
  bool update = true;
  DictionaryPtr more = NewDictionary();
  EXPECT_EQ(GetThisBillNO(info(), kDsn, 71, update, nullptr, more), "NO-1");
  EXPECT_FALSE(update);  // the service's answer goes back to the caller
  EXPECT_EQ(rule->dsn, kDsn);
  EXPECT_EQ(rule->extra, more);
  EXPECT_EQ(CLng(rule->asked->Value("FBillType")), 71);
  EXPECT_EQ(FormatDate(CDate(rule->asked->Value("FDate"))), Today(conn()) + " 00:00:00");
  DictionaryPtr mine = NewDictionary();
  GetThisBillNO(info(), kDsn, 71, update, mine, nullptr);
  EXPECT_EQ(rule->asked, mine);

  UnregisterHostObject(kProgIdBillCodeRule);
  ComError e = ErrorOf([&] { GetThisBillNO(info(), kDsn, 71, update, nullptr, nullptr); });
  EXPECT_EQ(e.number(), err::kCannotCreateObject);
  EXPECT_EQ(e.source().find("AmbitOrder."), std::string::npos);
}

// The rest goes through the real host, whose dispatcher runs AmbitOrderInfo calls without a
// transaction of their own.
class PurchaseHostTest : public testing::DispatcherTest {
 protected:
  PurchaseHostTest() {
    class_name_ = "AmbitOrderInfo";
    RegisterAccountBillCodeRule();
  }
  ~PurchaseHostTest() override { UnregisterHostObject(kProgIdBillCodeRule); }

  int Count(const std::string& table) {
    return ScalarInt(*account_, "SELECT COUNT(*) FROM " + table);
  }
};

TEST_F(PurchaseHostTest, PurchaseOrderWritesLinesLinksAndHeadOrNothing) {
  nlohmann::ordered_json lines = nlohmann::ordered_json::array(
      {{{"FInterID", 8}, {"FEntryID", 1}, {"FItemID", 10}, {"FQty", 4}, {"FSourceTranType", 1014300},
        {"FSourceInterId", 3}, {"FSourceEntryID", 31}, {"FMapName", "Pen's"}},
       {{"FInterID", 8}, {"FEntryID", 2}, {"FItemID", 11}, {"FQty", 1}}});
  nlohmann::ordered_json head = {{"FInterID", 8}, {"FBillNo", "POORD000001"}, {"FTranType", 71},
                         {"FSupplyID", 500}, {"FAreaPS", 20302}, {"FExplanation", "web"}};
  nlohmann::ordered_json args = {{"sDsn", "acc"}, {"lTranType", 71}, {"dctParaHead", head},
                         {"vctParaEntry", lines}};
  EXPECT_EQ(Call("SavePurchaseApplyBill", args)["result"], true);
  EXPECT_EQ(Scalar(*account_, "SELECT FBillNo + '/' + CONVERT(varchar(10), FSupplyID) + '/' + "
                              "CONVERT(varchar(10), FSettleDate, 120) FROM POOrder"),
            "POORD000001/500/" + Scalar(*account_, "SELECT CONVERT(varchar(10), GETDATE(), 120)"));
  EXPECT_EQ(Scalar(*account_, "SELECT FMapName FROM POOrderEntry WHERE FEntryID = 1"), "Pen's");
  // Only the line made from a web order line is linked to its source.
  EXPECT_EQ(Scalar(*account_, "SELECT CONVERT(varchar(10), FInterID) + '/' + "
                              "CONVERT(varchar(10), FSourceEntryID) FROM ICBillRelations"),
            "8/31");

  // Order 9's head collides with an existing order: its lines and links go too.
  account_->Execute("INSERT INTO POOrder (FInterID, FBillNo) VALUES (9, 'taken')");
  for (auto& line : lines) line["FInterID"] = 9;
  head["FInterID"] = 9;
  args["dctParaHead"] = head;
  args["vctParaEntry"] = lines;
  EXPECT_THROW(Call("SavePurchaseApplyBill", args), ComError);
  EXPECT_EQ(Count("POOrderEntry"), 2);
  EXPECT_EQ(Count("ICBillRelations"), 1);
  EXPECT_EQ(Count("POOrder"), 2);
  EXPECT_EQ(account_->TransactionDepth(), 0);
}

TEST_F(PurchaseHostTest, AccountRulePreviewsOrUsesUpNumbers) {
  nlohmann::ordered_json args = {{"sDsn", "acc"}, {"BillTransType", 71}, {"UpdateMaxNO", false}};
  EXPECT_EQ(Call("GetThisBillNO", args)["result"], "POORD000001");
  EXPECT_EQ(Call("GetThisBillNO", args)["result"], "POORD000001");
  args["UpdateMaxNO"] = true;
  nlohmann::ordered_json answer = Call("GetThisBillNO", args);
  EXPECT_EQ(answer["result"], "POORD000001");
  EXPECT_EQ(answer["out"]["UpdateMaxNO"], true);
  EXPECT_EQ(Call("GetThisBillNO", args)["result"], "POORD000002");
  args["BillTransType"] = 70;
  EXPECT_EQ(Call("GetThisBillNO", args)["result"], "POREQ000001");
  args["BillTransType"] = 12345;
  EXPECT_THROW(Call("GetThisBillNO", args), ComError);
}

}  // namespace
}  // namespace ambit
