// Cases on order lines: creation by the state table, the guards, changes, and every step of the
// transition table with its history row and line mirror.
#include "aftersales/service_records.h"

#include <gtest/gtest.h>

#include "aftersales/aftersales_fixture.h"

namespace ambit::testing {
namespace {

class ServiceRecordsTest : public AfterSalesTest {
 protected:
  static DictionaryPtr Request(int entry_id, int force, int is_return, double num = 1,
                               double amount = 10) {
    return Dict({{"FEntryID", Variant(entry_id)}, {"FForceComfirm", Variant(force)},
                 {"FIsReturn", Variant(is_return)}, {"FNum", Variant(num)},
                 {"FRefundAmount", Variant(amount)}, {"FServiceType", Variant(38441)},
                 {"FRemark", Variant("buyer's call")}, {"FBuyerAccount", Variant("acc'1")},
                 {"FReturnLogisticsCompany", Variant(7)},
                 {"FReturnLogisticsOrder", Variant("SF'001")}});
  }
  std::string Add(const VectorPtr& items, int op) {
    return AddRefundServices(update(), kDsn, items, op, 501);
  }
};

TEST_F(ServiceRecordsTest, CreationFollowsTheStateTable) {
  struct Case {
    int op, force, is_return;
    const char* state_type;  // the case's FServiceStatus|FServiceType
    const char* history;     // handling types of its rows
  } cases[] = {
      {1, 0, 1, "38430|2", "38450"},       {1, 0, 0, "38431|1", "38450"},
      {2, 0, 1, "38437|3", "38451"},       {1, 1, 1, "38433|2", "38450,38454"},
      {1, 1, 0, "38435|1", "38450,38452"}, {2, 1, 0, "38433|3", "38451,38459"},
  };
  int fid = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state_type);
    int entry = SeedOrderLine(fid++);
    EXPECT_EQ(Add(Items({Request(entry, c.force, c.is_return)}), c.op),
              "OK:" + N(entry) + ",Faild:");
    int key = ScalarInt(conn(), "SELECT FID FROM IC_RefundInfo WHERE FEntryID = " + N(entry));
    EXPECT_EQ(Row("SELECT FServiceStatus, FServiceType FROM IC_RefundInfo WHERE FID = " +
                  N(key)), c.state_type);
    EXPECT_EQ(Row("SELECT FServiceSource, FServiceCategory, FRecorder, FNum, FRefundMemo, "
                  "FBuyerAccount, FOrderID FROM IC_RefundInfo WHERE FID = " + N(key)),
              "2|38441|501|1|buyer's call|acc'1|WD" + N(fid - 1));
    std::string state = std::string(c.state_type).substr(0, 5);
    std::string type = std::string(c.state_type).substr(6);
    EXPECT_EQ(LineMirror(entry), state + "|" + type + "|2|" + N(key) + "|1");
    EXPECT_EQ(Row("SELECT FReturnLogisticsCompany, FReturnLogisticsOrder FROM "
                  "IC_Web2ERPOrdersEntry WHERE FEntryID = " + N(entry)), "7|SF'001");
    EXPECT_EQ(Scalar(conn(), "SELECT STUFF((SELECT ',' + CAST(FManageType AS varchar(10)) FROM "
                             "IC_RefundRecord WHERE FRefundFID = " + N(key) +
                             " ORDER BY FID FOR XML PATH('')), 1, 1, '')"),
              c.history);
  }
  // The automatic review of a refund-only case is its second row, marked as such.
  EXPECT_EQ(History(5), "38450|1|buyer's call\n38452|1|自动审核\n");
}

TEST_F(ServiceRecordsTest, OpenCasesAndOverReturnsAreReportedAndLeftAlone) {
  int open_line = SeedOrderLine(1);
  SeedCase(open_line, {.status = code::kServiceStatusWaitSignFor});
  int returned_line = SeedOrderLine(2, 5);
  // An earlier return that received 3 of the 5, then closed: it still counts.
  int earlier = SeedCase(returned_line, {.status = code::kServiceStatusCompleted, .num = 3,
                                          .received = 3});
  int refused_line = SeedOrderLine(3, 5);
  SeedCase(refused_line, {.status = code::kServiceStatusRefused, .num = 5, .received = 5});
  int free_line = SeedOrderLine(4);
  std::string cases_before = Rows("SELECT * FROM IC_RefundInfo ORDER BY FID");

  // Every line fails: nothing is written.
  EXPECT_EQ(Add(Items({Request(open_line, 0, 1), Request(returned_line, 0, 1, 3)}), 1),
            "OK:,Faild:" + N(open_line) + "," + N(returned_line));
  EXPECT_EQ(Rows("SELECT * FROM IC_RefundInfo ORDER BY FID"), cases_before);
  EXPECT_EQ(Count("IC_RefundRecord"), 0);

  // Mixed: each failed line once, the others processed. A refused case does not count.
  EXPECT_EQ(Add(Items({Request(open_line, 0, 1), Request(returned_line, 0, 1, 3),
                       Request(refused_line, 0, 1, 5), Request(free_line, 0, 0)}), 1),
            "OK:" + N(refused_line) + "," + N(free_line) + ",Faild:" + N(open_line) + "," +
                N(returned_line));
  EXPECT_EQ(Count("IC_RefundInfo"), 5);
  EXPECT_EQ(CheckServiceStatusbyEntryID(update(), kDsn, N(open_line) + "," + N(free_line)),
            N(open_line) + "," + N(free_line));

  // 2 more fit (3 + 2 = 5); changing the earlier case itself does not count against itself.
  EXPECT_EQ(CheckReceiveStatusbyFEntryID(update(), kDsn, Items({Request(returned_line, 0, 1, 2)}),
                                         NewDictionary(), Variant()), "");
  EXPECT_EQ(Add(Items({Request(returned_line, 0, 1, 3)}), 3), "OK:" + N(returned_line) +
                                                                   ",Faild:");
  EXPECT_EQ(Row("SELECT FNum, FServiceStatus FROM IC_RefundInfo WHERE FID = " + N(earlier)),
            "3|38430");
}

TEST_F(ServiceRecordsTest, ChangesRewriteTheCurrentCaseWithoutHistory) {
  int line = SeedOrderLine(1);
  int key = SeedCase(line, {.status = code::kServiceStatusWaitReviewExchange,
                            .type = code::kServiceTypeExchange, .is_return = 0});
  DictionaryPtr change = Request(line, 1, 0, 2);
  change->SetValue("FExchangeItemID", Variant(33));
  change->SetValue("FExchangeQty", Variant(2));
  EXPECT_EQ(Add(Items({change}), 4), "OK:" + N(line) + ",Faild:");
  EXPECT_EQ(Row("SELECT FServiceStatus, FServiceType, FNum, FExchangeItemID, FExchangeQty, "
                "FRefundAmount FROM IC_RefundInfo WHERE FID = " + N(key)),
            "38433|3|2|33|2|10");
  EXPECT_EQ(LineMirror(line), "38433|3|2|" + N(key) + "|1");
  EXPECT_EQ(Count("IC_RefundRecord"), 0);
}

TEST_F(ServiceRecordsTest, BadInputIsRefusedBeforeAnythingIsWritten) {
  int line = SeedOrderLine(1);
  EXPECT_EQ(Add(NewVector(), 1), "");
  EXPECT_EQ(ErrorOf([&] { Add(Items({Request(line, 0, 1)}), 5); }).source(),
            "AmbitOrder.AmbitOrderUpdate.AddRefundServices");
  DictionaryPtr bad = Request(line, 0, 1);
  bad->SetValue("FNum", Variant("3 or 1=1"));
  EXPECT_THROW(Add(Items({bad}), 1), ComError);
  bad = Request(line, 0, 1);
  bad->SetValue("FEntryID", Variant("1;drop table t_User"));
  EXPECT_THROW(Add(Items({bad}), 1), ComError);
  EXPECT_THROW(UpdateReturnLogistics(update(), kDsn, "1,x", "3", "w"), ComError);
  EXPECT_EQ(Count("IC_RefundInfo") + Count("IC_RefundRecord"), 0);
  EXPECT_TRUE(UpdateReturnLogistics(update(), kDsn, N(line), "3", "W'9"));
  EXPECT_EQ(Row("SELECT FReturnLogisticsCompany, FReturnLogisticsOrder FROM "
                "IC_Web2ERPOrdersEntry WHERE FEntryID = " + N(line)), "3|W'9");
}

// One agreed or refused step on every row of the transition table.
TEST_F(ServiceRecordsTest, EveryStepOfTheTransitionTable) {
  struct Step {
    int from;
    bool agree;
    int manage;
    int type;
    double amount;
    const char* expected;  // state|received|returned of the case, "" = refused with false
    double step_qty;       // of the history row
  } steps[] = {
      {38430, true, 1, 2, 10, "38433|0|0", 4},   {38430, false, 1, 2, 10, "38436|0|0", 4},
      {38437, true, 1, 3, 0, "38433|0|0", 4},    {38437, false, 1, 3, 0, "38436|0|0", 4},
      {38431, true, 1, 1, 10, "38435|0|0", 4},   {38431, false, 1, 1, 10, "38436|0|0", 4},
      {38432, true, 1, 2, 10, "38431|0|4", 4},   {38432, false, 1, 2, 10, "38436|0|0", 1},
      {38433, false, 38456, 2, 10, "38436|0|0", 1}, {38434, true, 1, 3, 0, "38435|0|0", 4},
      {38434, false, 1, 3, 0, "38436|0|0", 1},   {38433, true, 38464, 3, 0, "38434|0|0", 1},
      {38433, true, 38464, 2, 0, "38431|0|0", 1}, {38433, true, 4711, 2, 10, "", 0},
      {38435, true, 1, 2, 10, "", 0},            {38436, false, 1, 2, 10, "", 0},
      {38438, true, 1, 4, 10, "", 0},
  };
  int fid = 1;
  for (const Step& s : steps) {
    SCOPED_TRACE(N(s.from) + (s.agree ? " agree " : " refuse ") + N(s.manage));
    int line = SeedOrderLine(fid++);
    int key = SeedCase(line, {.status = s.from, .type = s.type, .num = 4, .amount = s.amount});
    std::string before = Row("SELECT * FROM IC_RefundInfo WHERE FID = " + N(key)) +
                         LineMirror(line);
    bool done = UpdateServiceStatus(update(), kDsn, N(line), s.agree, s.from, "ok", 99,
                                    s.manage, key, 1, 501);
    if (*s.expected == '\0') {
      EXPECT_FALSE(done);
      EXPECT_EQ(Row("SELECT * FROM IC_RefundInfo WHERE FID = " + N(key)) + LineMirror(line),
                before);
      EXPECT_EQ(History(line), "");
      continue;
    }
    EXPECT_TRUE(done);
    EXPECT_EQ(Row("SELECT FServiceStatus, FReceiveQty, FReturnQty FROM IC_RefundInfo WHERE "
                  "FID = " + N(key)), s.expected);
    std::string state = std::string(s.expected).substr(0, 5);
    EXPECT_EQ(LineMirror(line), state + "|" + N(s.type) + "|2|" + N(key) + "|" +
                                    (state == "38436" ? "0" : "1"));
    EXPECT_EQ(History(line), N(s.manage) + "|" + N(s.step_qty) + "|ok\n");
    // The history row carries the stored amount, not the caller's.
    EXPECT_EQ(Scalar(conn(), "SELECT FRefundAmount FROM IC_RefundRecord WHERE FEntryID = " +
                                 N(line)), N(s.amount));
  }
}

TEST_F(ServiceRecordsTest, SigningForGoodsInStepsAndTheConcurrencyGuard) {
  for (int type : {2, 3}) {
    for (double amount : {10.0, 0.0}) {
      SCOPED_TRACE(N(type) + " " + N(amount));
      int line = SeedOrderLine(type * 100 + static_cast<int>(amount));
      int key = SeedCase(line, {.status = 38433, .type = type, .num = 5, .amount = amount,
                                .received = 1});
      auto sign = [&](int manage, int seen) {
        return UpdateServiceStatus(update(), kDsn, N(line), true, seen, "", 0, manage, key, 2,
                                   501);
      };
      auto state = [&] {
        return Row("SELECT FServiceStatus, FReceiveQty, FReturnQty FROM IC_RefundInfo WHERE "
                   "FID = " + N(key));
      };
      ASSERT_TRUE(sign(38456, 38433));
      EXPECT_EQ(state(), "38433|3|0");  // 2 of the 4 missing: still waiting
      // A stale screen: the operator saw the return review, the case is signing for goods.
      EXPECT_FALSE(sign(38456, 38430));
      EXPECT_EQ(state(), "38433|3|0");
      ASSERT_TRUE(sign(38456, 38433));
      const char* done = type == 3 ? "38434|5|5" : amount > 0 ? "38431|5|5" : "38435|5|5";
      EXPECT_EQ(state(), done);
      EXPECT_EQ(History(line), "38456|2|\n38456|2|\n");
    }
  }
  // Without confirming the return (38463) the returned quantity stays; a case already past
  // signing for keeps its state when goods are signed for from an old screen.
  int line = SeedOrderLine(90);
  int key = SeedCase(line, {.status = 38433, .num = 2});
  ASSERT_TRUE(UpdateServiceStatus(update(), kDsn, N(line), true, 38433, "", 0, 38463, key, 2,
                                  501));
  EXPECT_EQ(Row("SELECT FServiceStatus, FReceiveQty, FReturnQty FROM IC_RefundInfo WHERE FID = " +
                N(key)), "38431|2|0");
  ASSERT_TRUE(UpdateServiceStatus(update(), kDsn, N(line), true, 38433, "", 0, 38456, key, 1,
                                  501));
  EXPECT_EQ(Row("SELECT FServiceStatus, FReceiveQty, FReturnQty FROM IC_RefundInfo WHERE FID = " +
                N(key)), "38431|3|2");
  // A refund review from a screen that still showed the goods awaited is accepted.
  ASSERT_TRUE(UpdateServiceStatus(update(), kDsn, N(line), true, 38431, "", 0, 1, key, 0, 501));
  EXPECT_EQ(LineMirror(line), "38435|2|2|" + N(key) + "|1");
}

TEST_F(ServiceRecordsTest, SetServiceStatusReportsEachCase) {
  int a = SeedOrderLine(1);
  int b = SeedOrderLine(2);
  int case_a = SeedCase(a, {.status = 38431, .type = 1});
  int case_b = SeedCase(b, {.status = 38435, .type = 1});
  auto item = [](int line, int key) {
    return Dict({{"FEntryID", Variant(line)}, {"FIsAgree", Variant(true)},
                 {"lCurStatus", Variant(38431)}, {"FRemark", Variant("r")},
                 {"FRefundAmount", Variant(0)}, {"FManageType", Variant(1)},
                 {"FRefundFID", Variant(key)}, {"FQty", Variant(1)}});
  };
  EXPECT_EQ(SetServiceStatus(update(), kDsn, Items({item(a, case_a), item(b, case_b)}), 501),
            "OK:" + N(a) + ",Faild:" + N(b));
  EXPECT_EQ(LineMirror(a), "38435|1|2|" + N(case_a) + "|1");
  EXPECT_EQ(Count("IC_RefundRecord"), 1);
}

}  // namespace
}  // namespace ambit::testing
