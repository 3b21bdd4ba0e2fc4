// Lookups in the order-list layout and the early warnings under the list filter, end to end on
// a fresh account.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/conversions.h"
#include "query/lookups.h"
#include "query/lookups_fixture.h"

namespace ambit {
namespace {

using V = std::vector<std::string>;

V Sorted(V v) {
  std::sort(v.begin(), v.end());
  return v;
}

class LookupsListTest : public LookupsTest {
 protected:
  DictionaryPtr Para(std::initializer_list<std::pair<const char*, Variant>> keys) {
    auto d = NewDictionary();
    d->SetValue("sDSN", Variant(kDsn));
    for (const auto& [key, value] : keys) d->SetValue(key, value);
    return d;
  }
};

TEST_F(LookupsListTest, WebOrderDataInTheListLayout) {
  SeedShop(conn(), "SHOP1", "Shop one");
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3"});
  RecordsetPtr rs = GetWebOrderData(info(), Para({{"FID", Variant("3,1")}}));
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(Sorted(Column(rs, "FOrderID")), (V{"A1", "A3"}));
  rs->MoveFirst();
  EXPECT_EQ(CStr(rs->Value("FWebShopName")), "Shop one");
  EXPECT_GE(rs->FieldIndex("FFinallyAmount"), 0);

  EXPECT_EQ(GetWebOrderData(info(), Para({{"FID", Variant("")}})), nullptr);
  EXPECT_EQ(GetWebOrderData(info(), NewDictionary()), nullptr);
  try {
    GetWebOrderData(info(), Para({{"FID", Variant("1) or (1=1")}}));
    FAIL() << "took a key list that is not made of integers";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetWebOrderData");
  }
}

TEST_F(LookupsListTest, WebOrderDataOrderedByTheClientsColumn) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1", .order_date = "2026-01-07 10:00:00"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2", .order_date = "2026-01-05 10:00:00"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3", .order_date = "2026-01-06 10:00:00"});
  auto ids = [&](DictionaryPtr para) {
    return Column(GetWebOrderDataOrderBy(info(), para), "FOrderID");
  };
  EXPECT_EQ(ids(Para({{"FID", Variant("1,2,3")}})), (V{"A2", "A3", "A1"}));  // by order date
  EXPECT_EQ(ids(Para({{"FID", Variant("1,2,3")}, {"OrderType", Variant("desc")}})),
            (V{"A1", "A3", "A2"}));
  EXPECT_EQ(ids(Para({{"FID", Variant("1,2,3")},
                      {"OrderField", Variant("t1.FOrderID")},
                      {"OrderType", Variant("DESC")}})),
            (V{"A3", "A2", "A1"}));
  // Sort column and direction go in bare, so anything else is refused.
  for (auto [field, type] : {std::pair{"FOrderDate;delete from t_User", "ASC"},
                             std::pair{"FOrderDate", "ASC,(select 1)"},
                             std::pair{"1", "ASC"}}) {
    EXPECT_THROW(GetWebOrderDataOrderBy(info(), Para({{"FID", Variant("1")},
                                                      {"OrderField", Variant(field)},
                                                      {"OrderType", Variant(type)}})),
                 ComError)
        << field << " " << type;
  }
}

TEST_F(LookupsListTest, NotMergeOrdersHaveAnOpenRefundOrAwaitPayment) {
  SeedOrder(conn(), {.fid = 1, .order_id = "A1"});
  SeedOrder(conn(), {.fid = 2, .order_id = "A2"});
  SeedOrder(conn(), {.fid = 3, .order_id = "A3", .trade_status = 38191});
  SeedOrder(conn(), {.fid = 4, .order_id = "A4"});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .refund_status = 1});
  int refused = SeedLine(conn(), {.fid = 2, .item_id = 10, .refund_status = 1});
  SeedLine(conn(), {.fid = 3, .item_id = 10});
  SeedLine(conn(), {.fid = 4, .item_id = 10});
  conn().Execute(
      "INSERT INTO IC_RefundInfo (FEntryID, FIsRefuse, FServiceStatus) VALUES (" +
      std::to_string(refused) + ", 1, 38436)\r\n"
      "UPDATE e SET FRefundFID = r.FID FROM IC_Web2ERPOrdersEntry e "
      "INNER JOIN IC_RefundInfo r ON r.FEntryID = e.FEntryID");
  RecordsetPtr rs = GetNotMergeOrderByTids(info(), kDsn, "1,2,3,4");
  EXPECT_EQ(Sorted(Column(rs, "FOrderID")), (V{"A1", "A3"}));
  EXPECT_THROW(GetNotMergeOrderByTids(info(), kDsn, "1,,2"), ComError);
}

TEST_F(LookupsListTest, EarlyWarningOfOrdersAwaitingReviewUnderTheFilter) {
  SeedOrder(conn(), {.fid = 1, .trade_status = 38196, .order_date = "2026-01-05 10:00:00"});
  SeedOrder(conn(), {.fid = 2, .status = 2, .check_status = 1});              // reviewed
  SeedOrder(conn(), {.fid = 3, .trade_status = 38195});                        // closed, refund
  SeedOrder(conn(), {.fid = 4, .trade_status = 38195, .order_date = "2025-12-01 10:00:00"});
  SeedOrder(conn(), {.fid = 5, .void_status = 1});
  int a = SeedLine(conn(), {.fid = 1, .item_id = 10});
  int b = SeedLine(conn(), {.fid = 1, .item_id = 11});
  SeedLine(conn(), {.fid = 2, .item_id = 10});
  SeedLine(conn(), {.fid = 3, .item_id = 10, .refund_status = 1});
  int d = SeedLine(conn(), {.fid = 4, .item_id = 10});
  SeedLine(conn(), {.fid = 5, .item_id = 10});
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FBuyerMessage = N'call first' WHERE FID = 1\r\n"
      "UPDATE IC_Web2ERPOrdersEntry SET FSellerMessage = N'line note' WHERE FEntryID = " +
      std::to_string(b));

  RecordsetPtr rs = GetEarlyWarningInfo1(info(), kDsn, NewDictionary());
  EXPECT_EQ(Sorted(Column(rs, "FEntryID")),
            Sorted({std::to_string(a), std::to_string(b), std::to_string(d)}));
  rs->SetFilter("FEntryID = " + std::to_string(b));
  EXPECT_EQ(CLng(rs->Value("FTransactionStatus")), 1);
  EXPECT_EQ(CLng(rs->Value("FBuyerMessage")), 1);   // the header's message
  EXPECT_EQ(CLng(rs->Value("FSellerMessage")), 0);  // a line's message does not count here

  auto filter = NewDictionary();
  filter->SetValue("OrderDateFrom", Variant("2026-01-01"));
  EXPECT_EQ(Sorted(Column(GetEarlyWarningInfo1(info(), kDsn, filter), "FEntryID")),
            Sorted({std::to_string(a), std::to_string(b)}));
}

}  // namespace
}  // namespace ambit
