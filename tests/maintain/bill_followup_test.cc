#include "maintain/bill_followup.h"

#include <gtest/gtest.h>

#include "maintain/maintain_fixture.h"

namespace ambit::testing {
namespace {

class BillFollowupTest : public MaintainTest {};

DictionaryPtr Selected(const Variant& fid, bool success) {
  DictionaryPtr d = NewDictionary();
  d->SetValue("isSuccess", Variant(success));
  d->SetValue("FID", fid);
  return d;
}

TEST_F(BillFollowupTest, GenerateBillMarksOnlySuccessfulOrders) {
  for (int fid : {1, 2, 3}) SeedOrder(conn(), {.fid = fid});
  AmbitOrderUpdate update;
  VectorPtr selected = NewVector();
  selected->Add(Variant(Selected(Variant(1), true)));
  selected->Add(Variant(Selected(Variant(2), false)));
  selected->Add(Variant(Selected(Variant("3"), true)));
  ASSERT_TRUE(UpdateAfterGenerateBill(update, kDsn, selected));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FInnerInvoice = 1 and FID in (1, 3)"),
            2);
  EXPECT_EQ(Int("select FInnerInvoice from IC_Web2ERPOrders where FID = 2"), 0);

  // Nothing succeeded: no statement, still true.
  VectorPtr failed = NewVector();
  failed->Add(Variant(Selected(Variant(2), false)));
  size_t before = recorder().batches.size();
  EXPECT_TRUE(UpdateAfterGenerateBill(update, kDsn, failed));
  EXPECT_EQ(recorder().batches.size(), before);
  EXPECT_FALSE(UpdateAfterGenerateBill(update, "", selected));
  EXPECT_FALSE(UpdateAfterGenerateBill(update, kDsn, nullptr));
  VectorPtr bad = NewVector();
  bad->Add(Variant(Selected(Variant("2) or (1=1"), true)));
  EXPECT_THROW(UpdateAfterGenerateBill(update, kDsn, bad), ComError);
  EXPECT_EQ(context().abort_count, 1);
}

TEST_F(BillFollowupTest, DeleteBillTakesMarksBackAndClearsStockBillLinesOfBilledOrders) {
  SeedOrder(conn(), {.fid = 1, .status = 2 | schema::code::kOrderStatusStockBillBit});
  SeedOrder(conn(), {.fid = 2, .status = 2});
  SeedOrder(conn(), {.fid = 3, .status = 2 | schema::code::kOrderStatusStockBillBit});
  int l1 = SeedLine(conn(), {.fid = 1, .item_id = 5});
  int l2 = SeedLine(conn(), {.fid = 2, .item_id = 5});
  int l3 = SeedLine(conn(), {.fid = 3, .item_id = 5});
  conn().Execute("update IC_Web2ERPOrders set FInnerInvoice = 1");
  conn().Execute("update IC_Web2ERPOrdersEntry set FIsRowClose = 1, FAuxQtyInvoice = 2");
  conn().Execute(
      "insert into ICStockBillEntry (FInterID, FEntryID, FAuxQtyInvoice, FSourceTranType, "
      "FSourceInterId, FSourceEntryID) values "
      "(50, 1, 2, 1014301, 1, " + N(l1) + "), (50, 2, 2, 1014301, 2, " + N(l2) + "), "
      "(50, 3, 2, 1014301, 3, " + N(l3) + "), (50, 4, 2, 81, 1, " + N(l1) + ")");
  AmbitOrderUpdate update;
  ASSERT_TRUE(UpdateAfterDeleteBill(update, kDsn, "1,2"));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FInnerInvoice = 0"), 2);
  EXPECT_EQ(Int("select FInnerInvoice from IC_Web2ERPOrders where FID = 3"), 1);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FIsRowClose = 0 and "
                "FAuxQtyInvoice = 0"),
            2);
  auto bill_qty = [&](int entry) {
    return Int("select CAST(FAuxQtyInvoice AS int) from ICStockBillEntry where FEntryID = " +
               N(entry));
  };
  EXPECT_EQ(bill_qty(1), 0);  // order 1 has its stock bill bit
  EXPECT_EQ(bill_qty(2), 2);  // order 2 has not
  EXPECT_EQ(bill_qty(3), 2);  // order 3 was not listed
  EXPECT_EQ(bill_qty(4), 2);  // another source type
  EXPECT_FALSE(UpdateAfterDeleteBill(update, kDsn, ""));
  EXPECT_THROW(UpdateAfterDeleteBill(update, kDsn, "1 or 1=1"), ComError);
}

TEST_F(BillFollowupTest, DeleteSaleOrderDropsCompanionRowsAndTheNumber) {
  for (int fid : {1, 2, 3}) SeedOrder(conn(), {.fid = fid});
  conn().Execute("update IC_Web2ERPOrders set FSaleNo = 'SO-' + CAST(FID AS varchar(5))");
  conn().Execute("update IC_Web2ERPOrders set FSaleNo = 'O''Brien' where FID = 3");
  conn().Execute("insert into IC_Web2ERPOrdersEx (FID, FIsLock) values (1, 1), (2, 1), (3, 1)");
  AmbitOrderUpdate update;
  // Two numbers arrive joined the way they fit between the quotes of the IN list.
  ASSERT_TRUE(UpdateAfterDeleteSaleOrder(update, kDsn, "SO-1','SO-2"));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FSaleNo = ''"), 2);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEx"), 1);
  // A quote inside a number is data, not the end of the text.
  ASSERT_TRUE(UpdateAfterDeleteSaleOrder(update, kDsn, "O'Brien"));
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEx"), 0);
  EXPECT_EQ(Scalar("select FSaleNo from IC_Web2ERPOrders where FID = 3"), "");
  EXPECT_FALSE(UpdateAfterDeleteSaleOrder(update, kDsn, ""));
}

TEST_F(BillFollowupTest, SendStockIdNeedsOrderAndLine) {
  SeedOrder(conn(), {.fid = 1});
  int line = SeedLine(conn(), {.fid = 1, .item_id = 5});
  int other = SeedLine(conn(), {.fid = 1, .item_id = 6});
  AmbitOrderUpdate update;
  size_t before = recorder().batches.size();
  EXPECT_FALSE(UpdateSendStockID(update, kDsn, Dict({{"FID", Variant(1)}, {"FStockID", Variant(4)}})));
  EXPECT_FALSE(UpdateSendStockID(update, kDsn, nullptr));
  EXPECT_EQ(recorder().batches.size(), before);
  EXPECT_EQ(context().begin_call_count, 0);
  ASSERT_TRUE(UpdateSendStockID(update, kDsn, Dict({{"FID", Variant(1)},
                                                   {"FEntryID", Variant(line)},
                                                   {"FStockID", Variant(4)}})));
  EXPECT_EQ(Int("select FStockID from IC_Web2ERPOrdersEntry where FEntryID = " + N(line)), 4);
  EXPECT_EQ(Int("select FStockID from IC_Web2ERPOrdersEntry where FEntryID = " + N(other)), 0);
  EXPECT_THROW(UpdateSendStockID(update, kDsn, Dict({{"FID", Variant(1)},
                                                     {"FEntryID", Variant("x")}})),
               ComError);
}

TEST_F(BillFollowupTest, SaleOrderProcedureAnswersItsResultSet) {
  SeedOrder(conn(), {.fid = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 5, .quantity = 2, .price = 3});
  AmbitOrderUpdate update;
  RecordsetPtr rs =
      TransSiteOrder2SaleOrder(update, kDsn, "1,42", MakeDate(2026, 12, 1), kUser);
  ASSERT_TRUE(rs && rs->IsOpen());
  int rows = 0;
  for (; !rs->Eof(); rs->MoveNext()) ++rows;
  EXPECT_GE(rows, 1);
  EXPECT_THROW(TransSiteOrder2SaleOrder(update, kDsn, "1','x", MakeDate(2026, 12, 1), 1),
               ComError);
}

}  // namespace
}  // namespace ambit::testing
