// Stepping cases back with the documents their forward steps made, deleting cases in their
// first state, purging orphans and re-shipment orders.
#include "aftersales/service_rollback.h"

#include <gtest/gtest.h>

#include "aftersales/aftersales_fixture.h"

namespace ambit::testing {
namespace {

class RollbackTest : public AfterSalesTest {
 protected:
  // The documents of a signed-for return of `line` (order 1): receipt 100, red outbound bill
  // 200, red invoice 300, and, when exchange_status >= 0, exchange order 50 made from the
  // receipt.
  void SeedDocuments(int line, int case_key, int exchange_status = -1) {
    conn().Execute("INSERT INTO IC_Receipt (FID, FBillNo) VALUES (100, 'RC100')");
    conn().Execute("INSERT INTO IC_ReceiptEntry (FID, FItemID, FQty, FRefundFID, FID_SRC, "
                   "FEntryID_SRC, FClassID_SRC) VALUES (100, 10, 3, " + N(case_key) + ", 1, " +
                   N(line) + ", 1014300)");
    int receipt_line = ScalarInt(conn(), "SELECT MAX(FEntryID) FROM IC_ReceiptEntry");
    conn().Execute("INSERT INTO ICStockBill (FInterID, FBillNo, FCheckerID) VALUES (200, "
                   "'XOUT200', 16394)");
    conn().Execute("INSERT INTO ICStockBillEntry (FInterID, FEntryID, FSourceTranType, "
                   "FSourceInterId, FSourceEntryID) VALUES (200, 1, 1014302, 100, " +
                   N(receipt_line) + ")");
    conn().Execute("INSERT INTO ICSale (FInterID, FBillNo, FCheckerID) VALUES (300, 'XINV300', "
                   "16394)");
    conn().Execute("INSERT INTO ICSaleEntry (FInterID, FEntryID, FSourceTranType, "
                   "FSourceInterId, FSourceEntryID) VALUES (300, 1, 21, 200, 1)");
    conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FReceiptQty = 3, FID_SRC = 100, "
                   "FEntryID_SRC = " + N(receipt_line) + " WHERE FEntryID = " + N(line));
    if (exchange_status < 0) return;
    SeedOrder(conn(), {.fid = 50, .order_id = "EX50", .status = exchange_status});
    int exchange_line = SeedLine(conn(), {.fid = 50, .item_id = 11});
    conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FID_SRC = 100, FEntryID_SRC = " +
                   N(receipt_line) + ", FClassID_SRC = 1014302 WHERE FEntryID = " +
                   N(exchange_line));
  }
  int Documents() {
    return Count("IC_Receipt") + Count("IC_ReceiptEntry") + Count("ICStockBill") +
           Count("ICStockBillEntry") + Count("ICSale") + Count("ICSaleEntry");
  }
  static std::string Text(const VectorPtr& messages) {
    std::string out;
    for (const Variant& m : messages->items()) out += CStr(m) + "\n";
    return out;
  }
  std::string Back(int iType, const std::string& lines, const std::string& emp = "7") {
    return Text(BackToPreviousService(update(), kDsn, iType, lines, "undo", emp));
  }
};

constexpr char kDocumentsRemoved[] =
    "已删除单据[WD1]关联的红字销售发票[XINV300]\n"
    "已删除单据[WD1]关联的红字销售出库单[XOUT200]\n"
    "已删除单据[WD1]关联的退货签收单[RC100]\n"
    "已重置单据[WD1]待签收数量\n";

TEST_F(RollbackTest, SignedForReturnLosesItsDocumentsAndStepsBackOnRequest) {
  int line = SeedOrderLine(1);
  int key = SeedCase(line, {.status = 38433, .num = 3, .received = 3, .returned = 3});
  SeedDocuments(line, key);
  EXPECT_EQ(Back(1, N(line)), kDocumentsRemoved);
  EXPECT_EQ(Documents(), 0);
  EXPECT_EQ(Row("SELECT FServiceStatus, FReceiveQty, FReturnQty FROM IC_RefundInfo"), "38433|0|0");
  EXPECT_EQ(Row("SELECT FReceiptQty, FID_SRC, FEntryID_SRC FROM IC_Web2ERPOrdersEntry WHERE "
                "FEntryID = " + N(line)), "0|0|0");
  EXPECT_EQ(History(line), "");

  SeedDocuments(line, key);
  EXPECT_EQ(Back(2, N(line)), std::string(kDocumentsRemoved) + "单据[WD1]成功退回待审核退货状态\n");
  EXPECT_EQ(Documents(), 0);
  EXPECT_EQ(LineMirror(line), "38430|2|2|" + N(key) + "|1");
  EXPECT_EQ(Row("SELECT FServiceStatus FROM IC_RefundInfo"), "38430");
  EXPECT_EQ(Row("SELECT FManageType, FSource, FType, FServiceType, FQty, FRemark, FRecorder, "
                "FRefundFID FROM IC_RefundRecord"), "38465|2|2|38440|0|undo|7|" + N(key));
  EXPECT_THROW(Back(2, N(line), "seven"), ComError);
}

TEST_F(RollbackTest, ReviewedExchangeOrderStaysAndHoldsTheCase) {
  int line = SeedOrderLine(1);
  int key = SeedCase(line, {.status = 38434, .type = 3, .num = 3, .received = 3});
  SeedDocuments(line, key, 2);
  EXPECT_EQ(Back(2, N(line)),
            "单据[WD1]的关联换货订单[EX50]已经审核，无法删除\n" + std::string(kDocumentsRemoved) +
                "单据[WD1]的关联换货订单[EX50]已经审核，无法退回状态\n");
  EXPECT_EQ(Count("IC_Web2ERPOrders WHERE FID = 50"), 1);
  EXPECT_EQ(LineMirror(line), "38434|3|2|" + N(key) + "|1");
  EXPECT_EQ(History(line), "");

  // Not reviewed yet: the exchange order goes and the case waits for the goods again.
  conn().Execute("DELETE FROM IC_Web2ERPOrdersEntry WHERE FID = 50");
  conn().Execute("DELETE FROM IC_Web2ERPOrders WHERE FID = 50");
  SeedDocuments(line, key, 1);
  EXPECT_EQ(Back(2, N(line)), "已删除单据[WD1]关联的换货订单[EX50]\n" +
                                  std::string(kDocumentsRemoved) + "单据[WD1]成功退回待签收状态\n");
  EXPECT_EQ(Count("IC_Web2ERPOrders WHERE FID = 50") + Count("IC_Web2ERPOrdersEntry WHERE FID = 50"),
            0);
  EXPECT_EQ(LineMirror(line), "38433|3|2|" + N(key) + "|1");
  EXPECT_EQ(History(line), "38465|0|undo\n");
}

TEST_F(RollbackTest, StepsBackByRule) {
  struct Rule {
    int source, status, type;
    const char* message;  // every message, "%" standing for the order's number
    int after;            // the case's state afterwards
    bool history;
  } rules[] = {
      {1, 38433, 2, "已重置单据[WD%]待签收数量\n单据[WD%]为线上申请退款，无法退回待审核状态", 38433,
       false},
      {1, 38431, 1, "单据[WD%]线上申请为仅退款,无法退回状态", 38431, false},
      {1, 38431, 2, "已重置单据[WD%]待签收数量\n单据[WD%]成功退回待签收状态", 38433, true},
      {1, 38435, 1, "单据[WD%]为线上申请退款，无法退回待审核状态", 38435, false},
      {2, 38433, 3, "已重置单据[WD%]待签收数量\n单据[WD%]成功退回待审核换货状态", 38437, true},
      {2, 38431, 1, "单据[WD%]已经为初始状态,无法退回上一步", 38431, false},
      {2, 38435, 1, "单据[WD%]成功退回待审核退款", 38431, true},
      {2, 38435, 3, "单据[WD%]的未生成换货订单\n单据[WD%]成功退回待换货状态", 38434, true},
  };
  int fid = 1;
  for (const Rule& r : rules) {
    SCOPED_TRACE(r.message);
    int line = SeedOrderLine(fid);
    int key = SeedCase(line, {.status = r.status, .type = r.type, .source = r.source});
    std::string expected = r.message;
    for (size_t p; (p = expected.find('%')) != std::string::npos;)
      expected.replace(p, 1, N(fid));
    EXPECT_EQ(Back(2, N(line)), expected + "\n");
    EXPECT_EQ(Row("SELECT FServiceStatus FROM IC_RefundInfo WHERE FID = " + N(key)), N(r.after));
    EXPECT_EQ(Row("SELECT FServiceStatus FROM IC_Web2ERPOrdersEntry WHERE FEntryID = " +
                  N(line)), N(r.after));
    EXPECT_EQ(History(line) != "", r.history);
    ++fid;
  }
  // A line without a current case says nothing.
  int bare = SeedOrderLine(fid);
  EXPECT_EQ(Back(2, N(bare)), "");
}

TEST_F(RollbackTest, OnlyFirstStateOfflineCasesAreDeleted) {
  int line = SeedOrderLine(1);
  int refused = SeedCase(line, {.status = 38436, .type = 1});
  int current = SeedCase(line, {.status = 38431, .type = 1});
  conn().Execute("INSERT INTO IC_RefundRecord (FEntryID, FRefundFID) VALUES (" + N(line) + "," +
                 N(current) + "), (" + N(line) + "," + N(refused) + ")");
  int online = SeedCase(SeedOrderLine(2), {.status = 38430, .source = 1});
  int signing = SeedCase(SeedOrderLine(3), {.status = 38433});
  int exchange = SeedCase(SeedOrderLine(4), {.status = 38434, .type = 3});

  EXPECT_EQ(DeleteRefundInfo(update(), kDsn, "999"), "当前退款单不存在,请刷新后重试!");
  EXPECT_EQ(DeleteRefundInfo(update(), kDsn, N(online)), "线上退款单无法删除!");
  EXPECT_EQ(DeleteRefundInfo(update(), kDsn, N(signing)),
            "当前状态退款单无法删除,请退回到【待审核退货】状态进行删除!");
  EXPECT_EQ(DeleteRefundInfo(update(), kDsn, N(exchange)),
            "当前状态退款单无法删除,请退回到【待审核换货】状态进行删除!");
  EXPECT_EQ(Count("IC_RefundInfo"), 5);

  // The line shows its previous (refused) case again, then nothing.
  EXPECT_EQ(DeleteRefundInfo(update(), kDsn, N(current)), "");
  EXPECT_EQ(LineMirror(line), "38436|1|2|" + N(refused) + "|0");
  EXPECT_EQ(Rows("SELECT FRefundFID FROM IC_RefundRecord WHERE FEntryID = " + N(line)),
            N(refused) + "\n");
  conn().Execute("UPDATE IC_RefundInfo SET FServiceStatus = 38430, FServiceType = 2 WHERE FID = " +
                 N(refused));
  EXPECT_EQ(DeleteRefundInfo(update(), kDsn, N(refused)), "");
  EXPECT_EQ(LineMirror(line), "0|0|0|0|0");
}

TEST_F(RollbackTest, ClearServiceInfoRemovesCasesOfDeletedLines) {
  int kept = SeedOrderLine(1);
  int gone = SeedOrderLine(2);
  SeedCase(kept, {});
  SeedCase(gone, {});
  conn().Execute("INSERT INTO IC_RefundRecord (FEntryID) VALUES (" + N(kept) + "), (" + N(gone) +
                 "), (0)");
  conn().Execute("DELETE FROM IC_Web2ERPOrdersEntry WHERE FEntryID = " + N(gone));
  EXPECT_TRUE(ClearServiceInfo(update(), kDsn, "").IsEmpty());
  EXPECT_EQ(Rows("SELECT FEntryID FROM IC_RefundInfo"), N(kept) + "\n");
  EXPECT_EQ(Rows("SELECT FEntryID FROM IC_RefundRecord ORDER BY FEntryID"), "0\n" + N(kept) + "\n");
}

TEST_F(RollbackTest, ReshipmentOrdersAreHandledOnceEach) {
  for (int fid : {7, 8, 9}) {
    SeedOrder(conn(), {.fid = fid});
    SeedLine(conn(), {.fid = fid, .item_id = 10, .quantity = 2.5});
  }
  SeedLine(conn(), {.fid = 7, .item_id = 11, .quantity = 1});
  const std::string kStates =
      "SELECT FID, FOrderStatus, FCheckStatus FROM IC_Web2ERPOrders ORDER BY FID";
  const std::string kHistory =
      "SELECT FEntryID, FManageType, FSource, FType, FServiceType, FQty, FRemark, FRecorder "
      "FROM IC_RefundRecord ORDER BY FEntryID, FID";

  UpdateAgreeSupplyOrderStatus(update(), kDsn, "7,7,8", "ok", 44);
  EXPECT_EQ(Rows(kStates), "7|2|1\n8|2|1\n9|1|0\n");
  EXPECT_EQ(Rows("SELECT FServiceStatus FROM IC_Web2ERPOrdersEntry ORDER BY FEntryID"),
            "38435\n38435\n0\n38435\n");
  EXPECT_EQ(Rows(kHistory), "1|38469|2|4|38444|2.5|ok|44\n2|38469|2|4|38444|2.5|ok|44\n"
                            "4|38469|2|4|38444|1|ok|44\n");

  UpdateRefuseSupplyOrderStatus(update(), kDsn, "8", "no", 44);
  EXPECT_EQ(Rows(kStates), "7|2|1\n8|1|0\n9|1|0\n");
  EXPECT_EQ(Row("SELECT FServiceStatus FROM IC_Web2ERPOrdersEntry WHERE FID = 8"), "38436");

  // Recording replaces each line's history with one row.
  UpdateAddSupplyRecord(update(), kDsn, "8,7", 45);
  EXPECT_EQ(Rows(kHistory), "1|39002|2|4|38444|2.5|增加一条补发订单|45\n"
                            "2|39002|2|4|38444|2.5|增加一条补发订单|45\n"
                            "4|39002|2|4|38444|1|增加一条补发订单|45\n");
  EXPECT_THROW(UpdateAgreeSupplyOrderStatus(update(), kDsn, "7,x", "", 1), ComError);
}

}  // namespace
}  // namespace ambit::testing
