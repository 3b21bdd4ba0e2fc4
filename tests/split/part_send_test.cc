// Part-shipment split by line state, and the trade status texts.
#include <gtest/gtest.h>

#include "split/part_send.h"
#include "split_fixture.h"

namespace ambit::testing {
namespace {

using PartSendTest = SplitTest;

TEST_F(PartSendTest, LinesOfOneStateMakeOneOrderAndTheLargestTakesTheBillDiscount) {
  SeedMoneyOrder({.fid = 4, .order_id = "SO55", .trade_status = 38197},
                 {{.amount = 10, .freight = 1, .discount = 1,
                   .status = "TRADE_WAIT_BUYER_CONFIRM_GOODS"},
                  {.amount = 30, .freight = 0, .status = "TRADE_WAIT_SELLER_SEND_GOODS"},
                  {.amount = 15, .freight = 2, .discount = 0.5,
                   .status = "TRADE_WAIT_BUYER_CONFIRM_GOODS"}});
  conn().Execute("update IC_Web2ERPOrders set FBillDiscountFee = 4.5 where FID = 4");
  std::string before = Totals("1=1");
  EXPECT_EQ(SplitOrderPartSend(update(), kDsn, "4"), "SO55");
  EXPECT_EQ(Orders("FOrderID, FAmount, FTotalFreight, FDiscountFee, FBillDiscountFee, "
                   "FTransactionStatus, FMergeStatus", "1=1"),
            "SO55-1|25|3|1.5|0|38193|2\nSO55-2|30|0|0|4.5|38192|2\n");
  // Every line moved with its group and took its order's number.
  EXPECT_EQ(Scalar(conn(), "select min(o.FOrderID) + max(o.FOrderID) + convert(varchar(9), "
                           "count(*)) from IC_Web2ERPOrdersEntry e join IC_Web2ERPOrders o on "
                           "o.FID = e.FID and o.FOrderID = e.FOrderID"),
            "SO55-1SO55-23");
  EXPECT_EQ(Totals("1=1"), before);
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from IC_Web2ERPOrders where FID = 4"), 0);
}

TEST_F(PartSendTest, RefundStatesStayApartAndSeveralOrdersAnswerTogether) {
  SeedMoneyOrder({.fid = 1, .order_id = "A"},
                 {{.amount = 1, .status = "TRADE_CLOSED", .refund_status = 1},
                  {.amount = 2, .status = "TRADE_CLOSED"},
                  {.amount = 4, .status = "TRADE_FINISHED"}});
  SeedMoneyOrder({.fid = 2, .order_id = "B"}, {{.amount = 8, .status = "TRADE_CLOSED"}});
  std::string before = Totals("1=1");
  EXPECT_EQ(SplitOrderPartSend(update(), kDsn, "1,2"), "A,B");
  // A status of none of the three named states gets no code.
  EXPECT_EQ(Orders("FOrderID, FAmount, FTransactionStatus", "1=1"),
            "A-1|2|38195\nA-2|1|38195\nA-3|4|0\nB-1|8|38195\n");
  EXPECT_EQ(Totals("1=1"), before);
  EXPECT_THROW(SplitOrderPartSend(update(), kDsn, "1;drop table x"), ComError);
}

TEST(TradeStatusTest, ShopTextsMapToCodes) {
  const std::pair<std::string, std::string> cases[] = {
      {"trade_finished", "38194"},         {"TRADE_NO_CREATE_PAY", "38191"},
      {"WAIT_SELLER_SEND_GOODS", "38192"}, {"wait_buyer_confirm_goods", "38193"},
      {"TRADE_MANUAL_CLOSED", "38195"},    {"TRADE_BUYER_SIGNED", "38196"},
      {"TRADE_SELLER_CONSIGNED_PART", "38197"}, {"TRADE_CLOSED", "38198"},
      {"TRADE_OTHER", "38198"},            {"", "38198"}};
  for (const auto& [text, code] : cases) {
    std::string status = text;
    EXPECT_EQ(GetTranscationStatusByStatus(status), code) << text;
  }
}

TEST(TradeStatusTest, PayTimesUpTo1950LeaveThePayDateAlone) {
  std::string status = "TRADE_FINISHED";
  Variant modified(MakeDate(2026, 3, 2, 10, 0, 0));
  Variant ordered(MakeDate(2026, 3, 1, 9, 30, 0));
  std::string with = UpdateWeb2ERPOrdersSplitOneEntrySQL("T'1", "S1", 5,
                                                         Variant(MakeDate(1951, 1, 1)), modified,
                                                         ordered, status);
  EXPECT_NE(with.find("FSitePayDate='1951-01-01 00:00:00'"), std::string::npos) << with;
  EXPECT_NE(with.find("WHERE FSiteOrderID = 'T''1'"), std::string::npos) << with;
  std::string without = UpdateWeb2ERPOrdersSplitOneEntrySQL(
      "T1", "S1", 5, Variant(MakeDate(1950, 12, 31, 23, 59, 59)), modified, ordered, status);
  EXPECT_EQ(without.find("FSitePayDate"), std::string::npos) << without;
  // The columns around the left-out one still join up.
  EXPECT_NE(without.find("FWebShopID='S1',\r\nFModifydate"), std::string::npos) << without;
}

}  // namespace
}  // namespace ambit::testing
