// Splits by quantity, by unit and by refund state: money shares to two decimals with the
// remainder where it keeps the sums, what the source keeps, and refused requests.
#include <gtest/gtest.h>

#include "split/split_variants.h"
#include "split_fixture.h"

namespace ambit::testing {
namespace {

class SplitVariantsTest : public SplitTest {
 protected:
  std::string ByNum(int entry, const std::string& split_num, int is_all,
                    const Variant& goods_num = Variant()) {
    DictionaryPtr entry_info = Dict({{"FEntryID", Variant(entry)},
                                     {"SplitNum", Variant(split_num)},
                                     {"isAll", Variant(is_all)}});
    if (!goods_num.IsEmpty()) entry_info->SetValue("GoodsNum", goods_num);
    return SplitOrdersByNum(update(), kDsn, entry_info, Dict({{"FID", Variant(1)}}), nullptr);
  }
  std::string Lines(const std::string& where) {
    RecordsetPtr rs = conn().Execute(
        "select o.FOrderID, e.FQuantity, e.FAmount, e.FBuyerFreight, e.FAfterDiscountAmount "
        "from IC_Web2ERPOrdersEntry e join IC_Web2ERPOrders o on o.FID = e.FID where " + where +
        " order by o.FOrderID, e.FEntryID");
    std::string out;
    for (; !rs->Eof(); rs->MoveNext())
      out += CStr(rs->Value(0)) + "|" + CStr(rs->Value(1)) + "|" + CStr(rs->Value(2)) + "|" +
             CStr(rs->Value(3)) + "|" + CStr(rs->Value(4)) + "\n";
    return out;
  }
};

TEST_F(SplitVariantsTest, ByNumSharesMoneyByQuantityAndTheSourceKeepsTheRest) {
  std::vector<int> lines = SeedMoneyOrder(
      {.fid = 1, .order_id = "SO55"},
      {{.quantity = 10, .amount = 100, .freight = 10, .discount = 7},
       {.quantity = 1, .amount = 3, .freight = 0}});
  conn().Execute("update IC_Web2ERPOrders set FLogisticsOrder = 'WB' where FID = 1");
  std::string before = Totals("1=1");
  EXPECT_EQ(ByNum(lines[0], "3,2", 0, Variant(10)), "SO55_1  SO55_2");
  EXPECT_EQ(Lines("1=1"),
            "SO55_1|3|30|3|27.9\nSO55_2|2|20|2|18.6\nSO55_3|5|50|5|46.5\nSO55_3|1|3|0|3\n");
  EXPECT_EQ(Orders("FOrderID, FAmount, FTotalFreight, FDiscountFee, FLogisticsOrder", "1=1"),
            "SO55_1|30|3|2.1|WB\nSO55_2|20|2|1.4|\nSO55_3|53|5|3.5|\n");
  EXPECT_EQ(Totals("1=1"), before);
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from IC_Web2ERPOrders where FID = 1"), 0);
}

TEST_F(SplitVariantsTest, SharesAreRoundedToCentsWithTheRemainderKeepingTheSum) {
  std::vector<int> lines = SeedMoneyOrder({.fid = 1, .order_id = "F"},
                                          {{.quantity = 3, .amount = 10, .freight = 1}});
  EXPECT_EQ(ByNum(lines[0], "1", 0), "F_1");
  EXPECT_EQ(Lines("1=1"), "F_1|1|3.33|0.33|3.33\nF_2|2|6.67|0.67|6.67\n");

  // The whole line in three parts, the order's only line: the last part takes the remainder
  // and the source goes.
  conn().Execute("delete from IC_Web2ERPOrders delete from IC_Web2ERPOrdersEntry");
  lines = SeedMoneyOrder({.fid = 1, .order_id = "G"},
                         {{.quantity = 3, .amount = 10, .freight = 1, .bill_discount = 0.1}});
  std::string before = Totals("1=1");
  EXPECT_EQ(ByNum(lines[0], "1,1,1", 1), "G_1  G_2  G_3");
  EXPECT_EQ(Lines("1=1"), "G_1|1|3.33|0.33|3.33\nG_2|1|3.33|0.33|3.33\nG_3|1|3.34|0.34|3.34\n");
  EXPECT_EQ(Totals("1=1"), before);
}

TEST_F(SplitVariantsTest, ByNumTakingAWholeLineOfSeveralLowersAndRenumbersTheSource) {
  std::vector<int> lines = SeedMoneyOrder(
      {.fid = 1, .order_id = "H"},
      {{.quantity = 2, .amount = 9, .freight = 1, .bill_discount = 0.3},
       {.quantity = 1, .amount = 4, .freight = 2}});
  std::string before = Totals("1=1");
  EXPECT_EQ(ByNum(lines[0], "2", 1), "H_1");
  EXPECT_EQ(Orders("FOrderID, FAmount, FTotalFreight, FBillDiscountFee", "1=1"),
            "H_1|9|1|0.3\nH_2|4|2|0\n");
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from IC_Web2ERPOrdersEntry where FEntryID = " +
                                  N(lines[0])), 0);
  EXPECT_EQ(Totals("1=1"), before);
}

TEST_F(SplitVariantsTest, ByNumRefusesBadQuantitiesBeforeWritingAnything) {
  std::vector<int> lines = SeedMoneyOrder({.fid = 1, .order_id = "B"},
                                          {{.quantity = 10, .amount = 10}, {.amount = 1}});
  std::string before = Lines("1=1");
  for (const char* split_num : {"0", "-1", "abc", "6,5", "11", ""})
    EXPECT_THROW(ByNum(lines[0], split_num, 0), ComError) << split_num;
  EXPECT_THROW(ByNum(lines[0], "3", 0, Variant(9)), ComError);  // stale view of the line
  EXPECT_THROW(ByNum(lines[0], "3", 1), ComError);              // "all" that is not all
  EXPECT_THROW(ByNum(lines[1] + 100, "1", 0), ComError);         // not a line of the order
  try {
    ByNum(lines[0], "11", 0);
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SplitOrdersByNum");
  }
  EXPECT_EQ(Lines("1=1"), before);
  EXPECT_EQ(Orders("FOrderID", "1=1"), "B\n");
}

TEST_F(SplitVariantsTest, ByUnitMakesAnOrderOfEveryUnit) {
  SeedMoneyOrder({.fid = 1, .order_id = "U"},
                 {{.quantity = 3, .amount = 10, .freight = 2, .discount = 1},
                  {.quantity = 1, .amount = 4, .bill_discount = 0.5}});
  SeedMoneyOrder({.fid = 2, .order_id = "V"}, {{.quantity = 1, .amount = 4}});
  std::string before = Totals("FOrderID like 'U%'");
  EXPECT_EQ(SplitOrdersByTypeAndNum(update(), kDsn, Keys({1, 2}), nullptr),
            "U_1  U_2  U_3  U_4");
  EXPECT_EQ(Lines("1=1"), "U_1|1|3.33|0.67|3\nU_2|1|3.33|0.67|3\nU_3|1|3.34|0.66|3\n"
                          "U_4|1|4|0|4\nV|1|4|0|4\n");
  EXPECT_EQ(Totals("FOrderID like 'U%'"), before);
  EXPECT_EQ(ScalarInt(conn(), "select count(*) from IC_Web2ERPOrdersEntry where FID = 1"), 0);

  // An order that would make more orders than a call may take is refused whole.
  SeedMoneyOrder({.fid = 100, .order_id = "W"}, {{.quantity = 6000, .amount = 1}});
  EXPECT_THROW(SplitOrdersByTypeAndNum(update(), kDsn, Keys({100}), nullptr), ComError);
  EXPECT_EQ(Orders("FOrderID", "FOrderID like 'W%'"), "W\n");
}

TEST_F(SplitVariantsTest, ByRefundMovesRefundedAndClosedLinesOut) {
  SeedItem(conn(), {.item_id = 50, .number = "FEE"});
  conn().Execute("insert into IC_GoodsToMateriel (FWebshopID, FMaterielCode, FIsPriceChange) "
                 "values ('SHOP1', 'FEE', 1)");
  std::vector<int> lines = SeedMoneyOrder(
      {.fid = 1, .order_id = "SO55"},
      {{.quantity = 1, .amount = 10, .freight = 1, .refund_status = 1},
       {.quantity = 2, .amount = 20, .freight = 2},
       {.quantity = 1, .amount = 5, .status = "TRADE_CLOSED"},
       {.quantity = 1, .amount = 1, .refund_status = 1, .item_id = 50}});
  SeedMoneyOrder({.fid = 2, .order_id = "N"}, {{.amount = 1}, {.amount = 2}});  // no refund
  std::string before = Totals("FOrderID like 'SO55%'");
  EXPECT_EQ(SplitOrdersByRefund(update(), kDsn, Keys({1, 2}), nullptr), "SO55_1  SO55_2");
  EXPECT_EQ(Orders("FOrderID, FAmount, FTotalFreight", "1=1"),
            "N|3|0\nSO55_1|15|1\nSO55_2|21|2\n");
  EXPECT_EQ(ScalarInt(conn(), "select FID from IC_Web2ERPOrdersEntry where FEntryID = " +
                                  N(lines[3])), 1);  // the price-change line stays
  EXPECT_EQ(Totals("FOrderID like 'SO55%'"), before);
}

}  // namespace
}  // namespace ambit::testing
