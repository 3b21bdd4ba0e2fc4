#include "maintain/status_ops.h"

#include <gtest/gtest.h>

#include "maintain/maintain_fixture.h"

namespace ambit::testing {
namespace {

namespace code = schema::code;

class StatusOpsTest : public MaintainTest {
 protected:
  void SeedOrders(std::initializer_list<int> fids, int status = code::kOrderStatusWaitReview) {
    for (int fid : fids) SeedOrder(conn(), {.fid = fid, .status = status});
  }
  bool SetStatus(const std::string& fids, int status) {
    AmbitOrderUpdate update;
    return SetWebOrderStatus(update, Dict({{"sDSN", Variant(kDsn)},
                                           {"FID", Variant(fids)},
                                           {"FOrderStatus", Variant(int16_t(status))}}));
  }
  std::string Month() { return Scalar("select CONVERT(VARCHAR(6),GETDATE(),112)"); }
  std::string Col(const std::string& column, int fid) {
    return Scalar("select " + column + " from IC_Web2ERPOrders where FID = " + N(fid));
  }
};

TEST_F(StatusOpsTest, ReviewGivesConsecutiveUniqueCodesInListOrder) {
  SeedOrders({5, 7, 9, 11});
  ASSERT_TRUE(SetStatus("7,5,9", code::kOrderStatusReviewed));
  std::string month = Month();
  EXPECT_EQ(Col("FUniqueCode", 7), month + "1");
  EXPECT_EQ(Col("FUniqueCode", 5), month + "2");
  EXPECT_EQ(Col("FUniqueCode", 9), month + "3");
  for (int fid : {5, 7, 9}) {
    EXPECT_EQ(Col("FOrderStatus", fid), "2");
    EXPECT_EQ(Col("FCheckStatus", fid), "1");
    EXPECT_EQ(Col("FChkMan", fid), N(kUser));
    EXPECT_NE(Col("FChkDate", fid), "");
  }
  EXPECT_EQ(Col("FOrderStatus", 11), "1");
  EXPECT_EQ(Col("FUniqueCode", 11), "0");
  // The counter moved on: the next review continues the series, in status 14 this time.
  ASSERT_TRUE(SetStatus("11", code::kOrderStatusReviewedAlt));
  EXPECT_EQ(Col("FUniqueCode", 11), month + "4");
  EXPECT_EQ(Col("FOrderStatus", 11), "14");
}

TEST_F(StatusOpsTest, PreReviewAndItsCancellationLeaveTheStatusAlone) {
  SeedOrders({3});
  ASSERT_TRUE(SetStatus("3", order_status::kPreReview));
  EXPECT_EQ(Col("FPreChkMan", 3), N(kUser));
  EXPECT_NE(Col("FPreChkDate", 3), "");
  EXPECT_EQ(Col("FOrderStatus", 3), "1");
  EXPECT_EQ(Col("FCheckStatus", 3), "0");
  ASSERT_TRUE(SetStatus("3", order_status::kCancelPreReview));
  EXPECT_EQ(Col("FPreChkMan", 3), "0");
  EXPECT_EQ(Col("FPreChkDate", 3), "");
  EXPECT_EQ(Col("FOrderStatus", 3), "1");
}

TEST_F(StatusOpsTest, UnReviewReopensReshipLinesAndCallsThePromotionService) {
  SeedOrders({5, 6}, code::kOrderStatusReviewed);
  conn().Execute("update IC_Web2ERPOrders set FCheckStatus = 1, FChkMan = 16394, "
                 "FChkDate = '2026-01-01' where FID in (5, 6)");
  int reship = SeedLine(conn(), {.fid = 5, .item_id = 1});
  int waiting = SeedLine(conn(), {.fid = 5, .item_id = 2});
  int refund = SeedLine(conn(), {.fid = 5, .item_id = 3});
  int other_order = SeedLine(conn(), {.fid = 6, .item_id = 1});
  auto set_line = [&](int entry, int type, int status) {
    conn().Execute("update IC_Web2ERPOrdersEntry set FServiceType = " + N(type) +
                   ", FServiceStatus = " + N(status) + " where FEntryID = " + N(entry));
  };
  set_line(reship, code::kServiceTypeReship, code::kServiceStatusCompleted);
  set_line(waiting, code::kServiceTypeReship, code::kServiceStatusWaitExchange);
  set_line(refund, code::kServiceTypeRefundOnly, code::kServiceStatusCompleted);
  set_line(other_order, code::kServiceTypeReship, code::kServiceStatusCompleted);
  auto promotion = InstallPromotion();

  ASSERT_TRUE(SetStatus("5", code::kOrderStatusWaitReview));
  auto status_of = [&](int entry) {
    return Int("select FServiceStatus from IC_Web2ERPOrdersEntry where FEntryID = " + N(entry));
  };
  EXPECT_EQ(status_of(reship), code::kServiceStatusReshipReopened);
  EXPECT_EQ(status_of(waiting), code::kServiceStatusWaitExchange);
  EXPECT_EQ(status_of(refund), code::kServiceStatusCompleted);
  EXPECT_EQ(status_of(other_order), code::kServiceStatusCompleted);
  EXPECT_EQ(Col("FOrderStatus", 5), "1");
  EXPECT_EQ(Col("FCheckStatus", 5), "0");
  EXPECT_EQ(Col("FChkMan", 5), "");
  EXPECT_EQ(Col("FChkDate", 5), "");
  EXPECT_EQ(Col("FCheckStatus", 6), "1");
  // "AddGiftTime" absent: the promotion takes its gifts back.
  ASSERT_EQ(promotion->calls.size(), 1u);
  EXPECT_EQ(promotion->calls[0].operation, "CallUnCheckService");
  EXPECT_EQ(promotion->calls[0].props, kDsn);
  EXPECT_EQ(promotion->calls[0].fids, "5");

  // Gifts managed elsewhere ("AddGiftTime" other than 1): the service is left alone.
  SetProfile(conn(), "AddGiftTime", "2");
  ASSERT_TRUE(SetStatus("6", code::kOrderStatusWaitReview));
  EXPECT_EQ(promotion->calls.size(), 1u);
  EXPECT_EQ(Col("FCheckStatus", 6), "0");
  SetProfile(conn(), "AddGiftTime", "1");
  ASSERT_TRUE(SetStatus("6", code::kOrderStatusWaitReview));
  EXPECT_EQ(promotion->calls.size(), 2u);
}

TEST_F(StatusOpsTest, RefusesUnknownStatusAndBadKeyListsBeforeAnyStatement) {
  SeedOrders({5});
  size_t before = recorder().batches.size();
  try {
    SetStatus("5", 7);
    FAIL() << "status 7 accepted";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SetWebOrderStatus");
    EXPECT_NE(e.description().find("unknown order status"), std::string::npos);
  }
  EXPECT_EQ(context().abort_count, 1);
  EXPECT_THROW(SetStatus("5) or (1=1", code::kOrderStatusReviewed), ComError);
  EXPECT_EQ(recorder().batches.size(), before);
  EXPECT_EQ(Col("FOrderStatus", 5), "1");
  // Nothing to do: no FID, or no connection key.
  AmbitOrderUpdate update;
  EXPECT_FALSE(SetStatus("", code::kOrderStatusReviewed));
  EXPECT_FALSE(SetWebOrderStatus(update, Dict({{"FID", Variant("5")}})));
  EXPECT_FALSE(SetWebOrderStatus(update, nullptr));
  EXPECT_EQ(context().begin_call_count, 2);  // only the two refused calls above began
}

TEST_F(StatusOpsTest, ForNetReviewsOnlyOrdersWithACurrency) {
  SeedOrders({5, 6, 7});
  conn().Execute("update IC_Web2ERPOrders set FCurrencyID = 0 where FID = 6");
  auto promotion = InstallPromotion();
  AmbitOrderUpdate update;
  EXPECT_TRUE(SetWebOrderStatusForNet(update, code::kOrderStatusReviewed, kDsn, "5,6,7"));
  EXPECT_EQ(Col("FOrderStatus", 5), "2");
  EXPECT_EQ(Col("FOrderStatus", 6), "1");
  EXPECT_EQ(Col("FOrderStatus", 7), "2");
  // The review itself runs on the wrapped connection string.
  EXPECT_EQ(context().opened.back(), std::string("ConnectString={") + kDsn + "}");
  // Gifts: withdrawn, then added again, both for the kept orders only.
  ASSERT_EQ(promotion->calls.size(), 2u);
  EXPECT_EQ(promotion->calls[0].operation, "CallUnCheckService");
  EXPECT_EQ(promotion->calls[1].operation, "CallAddGiftForWebShop");
  EXPECT_EQ(promotion->calls[1].fids, "5,7");
  EXPECT_EQ(promotion->calls[1].props, kDsn);

  // A string already wrapped, in any case, is passed on unchanged.
  SeedOrders({8});
  std::string wrapped = std::string("connectSTRING={") + kDsn + "}";
  EXPECT_TRUE(SetWebOrderStatusForNet(update, code::kOrderStatusReviewed, wrapped, "8"));
  EXPECT_EQ(context().opened.back(), wrapped);

  // No order with a currency: false, nothing changes, nothing raised.
  SetProfile(conn(), "AddGiftTime", "2");
  conn().Execute("update IC_Web2ERPOrders set FCurrencyID = 0 where FID in (5, 6)");
  size_t calls = promotion->calls.size();
  EXPECT_FALSE(SetWebOrderStatusForNet(update, code::kOrderStatusWaitReview, kDsn, "5,6"));
  EXPECT_EQ(Col("FOrderStatus", 5), "2");
  EXPECT_EQ(promotion->calls.size(), calls);
  // A failing review answers false instead of raising.
  EXPECT_FALSE(SetWebOrderStatusForNet(update, 9, kDsn, "7"));
}

// Every key of the list takes a serial, duplicates too: 32768 keys do not fit the counter's
// 16-bit block, so the review is refused before any statement runs.
TEST_F(StatusOpsTest, ReviewTooLargeForOneCodeBlockIsRefusedUntouched) {
  SeedOrders({5});
  conn().Execute("insert into IC_MaxNum (FTableName, FUserID, FNumber, FFlag) values "
                 "('UniqueCode', 16394, '" + Month() + "', 1)\r\n"
                 "insert into ICMaxNum (FTableName, FMaxNum) values ('UniqueCode', 101)");
  std::string fids = "5";
  for (int i = 1; i < 32768; ++i) fids += ",5";
  try {
    SetStatus(fids, code::kOrderStatusReviewed);
    FAIL() << "the review ran";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kOverflow);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SetWebOrderStatus");
  }
  EXPECT_EQ(Int("select FMaxNum from ICMaxNum where FTableName = 'UniqueCode'"), 101);
  EXPECT_EQ(Col("FOrderStatus", 5), "1");
}

// A key the currency check cannot read aborts the call, so the review of the other keys
// would be rolled back: the answer must not claim it happened.
TEST_F(StatusOpsTest, ForNetAnswersFalseOnceACheckAbortedTheCall) {
  SeedOrders({5, 6});
  AmbitOrderUpdate update;
  EXPECT_FALSE(SetWebOrderStatusForNet(update, code::kOrderStatusReviewed, kDsn, "5,6,"));
  EXPECT_EQ(context().abort_count, 1);
}

TEST_F(StatusOpsTest, CheckCurrencyNamesTheOrderOrTheError) {
  SeedOrder(conn(), {.fid = 4, .order_id = "WD-4"});
  conn().Execute("update IC_Web2ERPOrders set FCurrencyID = 0 where FID = 4");
  SeedOrders({5});
  AmbitOrderUpdate update;
  DictionaryPtr answer = Dict({{"stale", Variant(1)}});
  EXPECT_TRUE(CheckCurrency(update, kDsn, "5", answer));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->Count(), 0);
  EXPECT_FALSE(CheckCurrency(update, kDsn, "4", answer));
  EXPECT_EQ(CStr(answer->Value("FOrderID")), "WD-4");
  EXPECT_EQ(CLng(answer->Value("FID")), 4);
  DictionaryPtr none;
  EXPECT_FALSE(CheckCurrency(update, kDsn, "4 or 1=1", none));
  ASSERT_TRUE(none);
  EXPECT_NE(CStr(none->Value("Error")), "");
  EXPECT_EQ(context().abort_count, 1);
}

TEST_F(StatusOpsTest, PromotionSwitchReadsAddGiftTime) {
  AmbitOrderUpdate update;
  EXPECT_FALSE(GetEnablePromotionSaleManage(update, ""));
  EXPECT_FALSE(GetEnablePromotionSaleManage(update, kDsn));
  SetProfile(conn(), "AddGiftTime", "1");
  EXPECT_FALSE(GetEnablePromotionSaleManage(update, kDsn));
  SetProfile(conn(), "AddGiftTime", "0");
  EXPECT_TRUE(GetEnablePromotionSaleManage(update, kDsn));
  conn().Execute("drop table t_SystemProfile");
  try {
    GetEnablePromotionSaleManage(update, kDsn);
    FAIL() << "no error without the table";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.GetEnablePromotionSaleManage");
  }
  EXPECT_EQ(context().abort_count, 0);
}

}  // namespace
}  // namespace ambit::testing
