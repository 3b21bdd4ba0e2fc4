// The workbench tabs end to end on a seeded account: which orders each tab lists, in which
// order, under which settings, and that counting mode counts exactly those rows.
#include "query/status_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "order_lists_fixture.h"

namespace ambit {
namespace {

using testing::ErrorOf;
using testing::kDsn;
using testing::LineSeed;
using testing::ListAccountTest;
using testing::OrderSeed;
using testing::SeedItem;
using testing::SeedLine;
using testing::SeedOrder;
using testing::SeedShop;
using testing::SetProfile;
using V = std::vector<int>;
using ListMethod = RecordsetPtr (*)(Component&, const DictionaryPtr&);

namespace code = schema::code;

constexpr char kOpen[] = "WAIT_SELLER_SEND_GOODS";
constexpr char kClosed[] = "TRADE_CLOSED";

// Fourteen orders in the states the tabs tell apart; the pay date gives the list order: day
// <FID> of March, except order 14 (February) and order 1 (paid after order 5).
class StatusListsTest : public ListAccountTest {
 protected:
  void SetUp() override {
    ListAccountTest::SetUp();
    SeedShop(conn(), "SHOP1", "North shop");
    SeedShop(conn(), "SHOP2", "South shop");
    SeedItem(conn(), {.item_id = 501, .number = "I501", .name = "Green tea"});
    SeedItem(conn(), {.item_id = 502, .number = "I502", .name = "Black tea"});
    Add({.fid = 1}, {{501, kOpen, 0}});
    Add({.fid = 2, .void_status = 1}, {{502, kOpen, 0}});
    Add({.fid = 3, .status = 2, .check_status = 1}, {{502, kOpen, 0}});
    Add({.fid = 4, .status = 2, .check_status = 1}, {{502, kOpen, 0}});
    Lock(4);
    Add({.fid = 5, .trade_status = code::kTradeStatusWaitBuyerPay}, {{502, "WAIT_BUYER_PAY", 0}});
    Add({.fid = 6, .trade_status = code::kTradeStatusClosed}, {{502, kClosed, 0}, {501, kOpen, 0}});
    Add({.fid = 7, .trade_status = code::kTradeStatusClosed},
        {{502, kClosed, 0}, {501, "TRADE_MANUAL_CLOSED", 0}});
    Add({.fid = 8, .trade_status = code::kTradeStatusFinished}, {{502, "TRADE_FINISHED", 0}});
    Add({.fid = 9, .order_type = code::kOrderTypeAfterSales}, {{501, kOpen, 0}});
    Add({.fid = 10}, {{502, kOpen, 0}});
    Lock(10);
    Add({.fid = 11}, {{502, kOpen, 1}, {501, kOpen, 0}});  // one line refunded, one to ship
    Add({.fid = 12}, {{502, kOpen, 1}});                   // its only line refunded
    Add({.fid = 13, .trade_status = code::kTradeStatusWaitBuyerConfirm}, {{502, kOpen, 1}});
    Add({.fid = 14, .shop = "SHOP2"}, {{502, kOpen, 0}});
  }

  struct Line {
    int item;
    const char* status;
    int refund;
  };
  void Add(OrderSeed order, std::vector<Line> lines) {
    SeedOrder(conn(), order);
    std::string day = (order.fid < 10 ? "0" : "") + std::to_string(order.fid);
    std::string pay = order.fid == 14  ? "2026-02-28 09:00:00"
                      : order.fid == 1 ? "2026-03-05 12:00:00"
                                       : "2026-03-" + day + " 09:00:00";
    conn().Execute("UPDATE IC_Web2ERPOrders SET FSitePayDate = '" + pay +
                   "' WHERE FID = " + std::to_string(order.fid));
    for (const Line& l : lines)
      SeedLine(
          conn(),
          {.fid = order.fid, .item_id = l.item, .refund_status = l.refund, .status = l.status});
  }
  void Lock(int fid) {
    conn().Execute(
        "INSERT INTO IC_Web2ERPOrdersEx (FID, FIsLock, FLockStatus, FLockReason) VALUES (" +
        std::to_string(fid) + ", 1, 1, 'stock')");
  }

  V List(ListMethod method, DictionaryPtr para = Para()) { return Fids(method(info(), para)); }
  int Count(ListMethod method, DictionaryPtr para) {
    para->SetValue("stTypeCount", Variant("1"));
    return RecordCount(method(info(), para));
  }
};

TEST_F(StatusListsTest, FirstShapeTabsListTheirStatesByPayDate) {
  EXPECT_EQ(List(&GetWaitVerifyData), (V{14, 5, 1, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(List(&GetVerifiedData), (V{3}));
  EXPECT_EQ(List(&GetAllData), (V{14, 2, 3, 4, 5, 1, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(List(&GetLockData), (V{4, 10}));

  RecordsetPtr rs = GetAllData(info(), Para({{"TranStatus", Variant(code::kTradeStatusClosed)}}));
  EXPECT_EQ(Fids(rs), (V{6, 7}));
  // The display columns of the list layout come along.
  EXPECT_EQ(Column(rs, "FWebShopName"), (std::vector<std::string>{"North shop", "North shop"}));
  EXPECT_EQ(Column(rs, "FStatus"), (std::vector<std::string>{"1", "1"}));
  EXPECT_EQ(Column(GetLockData(info(), Para()), "FIsLock"), (std::vector<std::string>{"Y", "Y"}));
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FAmount = 12.34, FDiscountFee = 1, "
      "FTotalFreight = 5.5, FBillDiscountFee = 0.5 WHERE FID = 3");
  EXPECT_EQ(Column(GetVerifiedData(info(), Para()), "FFinallyAmount"),
            (std::vector<std::string>{"16.34"}));
}

TEST_F(StatusListsTest, RowLimitAppliesExceptToTheReviewQueue) {
  DictionaryPtr para = Para({{"WebOrderMaxDisplayCount", Variant(int16_t{3})}});
  EXPECT_EQ(List(&GetAllData, para), (V{14, 2, 3}));
  EXPECT_EQ(List(&GetWaitVerifyData, para).size(), 11u);
  para->SetValue("WebOrderMaxDisplayCount", Variant(int16_t{2}));
  EXPECT_EQ(List(&GetNoVerifyData, para), (V{5, 7}));
  EXPECT_EQ(List(&GetWaitVerifyData2, para), (V{14, 1}));
  para->SetValue("WebOrderMaxDisplayCount", Variant(int16_t{0}));
  EXPECT_EQ(List(&GetAllData, para).size(), 14u);
}

TEST_F(StatusListsTest, ReviewListsSplitByRefundAndTradeState) {
  // Refunds checked (the default): a fully refunded order waits, a partly refunded one may be
  // reviewed; unpaid and wholly closed trades wait; after-sales orders are in neither list.
  EXPECT_EQ(List(&GetWaitVerifyData2), (V{14, 1, 6, 8, 11}));
  EXPECT_EQ(List(&GetNoVerifyData), (V{5, 7, 12, 13}));

  DictionaryPtr lenient = Para({{"NotCheckRefundOnStatus", Variant("1")}});
  EXPECT_EQ(List(&GetWaitVerifyData2, lenient), (V{14, 1, 6, 8, 9, 11, 13}));
  EXPECT_EQ(List(&GetNoVerifyData, lenient), (V{5, 7, 12}));

  // Finished trades are not to be reviewed: out of the one list, into the other.
  SetProfile(conn(), "TradeSuccessDown2fpNoVerify", "1");
  EXPECT_TRUE(IsTradeSuccessDown2fpNoVerify(conn()));
  EXPECT_EQ(List(&GetWaitVerifyData2), (V{14, 1, 6, 11}));
  EXPECT_EQ(List(&GetNoVerifyData), (V{5, 7, 8, 12, 13}));
  EXPECT_EQ(List(&GetWaitVerifyData2, lenient), (V{14, 1, 6, 9, 11, 13}));
  EXPECT_EQ(List(&GetNoVerifyData, lenient), (V{5, 7, 8, 12}));

  RecordsetPtr rs = GetWaitVerifyData2(info(), Para());
  EXPECT_EQ(Column(rs, "FRefundStatus"), (std::vector<std::string>{"0", "0", "0", "1"}));
  EXPECT_EQ(Column(rs, "FIsShowWaitVerifyTemp"), (std::vector<std::string>{"0", "0", "0", "1"}));
}

TEST_F(StatusListsTest, TradeSuccessSettingIsTrueOnlyForOne) {
  EXPECT_FALSE(IsTradeSuccessDown2fpNoVerify(conn()));  // the fresh account says 0
  SetProfile(conn(), "TradeSuccessDown2fpNoVerify", "yes");
  EXPECT_FALSE(IsTradeSuccessDown2fpNoVerify(conn()));
  conn().Execute("DELETE FROM t_SystemProfile WHERE FKey = 'TradeSuccessDown2fpNoVerify'");
  EXPECT_FALSE(IsTradeSuccessDown2fpNoVerify(conn()));
  SetProfile(conn(), "TradeSuccessDown2fpNoVerify", "1");
  info().InitContext(kDsn);
  EXPECT_TRUE(IsTradeSuccessDown2fpNoVerify(info()));
  conn().Execute("DROP TABLE t_SystemProfile");
  ComError e = ErrorOf([&] { IsTradeSuccessDown2fpNoVerify(info()); });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.IsTradeSuccessDown2fpNoVerify");
  EXPECT_EQ(e.number(), 208);
}

// Counting mode answers the number of rows the list shows for the same filter, whichever
// aliases the filter touches, with a pre-selection and for a user limited to some shops.
TEST_F(StatusListsTest, CountingEqualsTheRowsListed) {
  const std::vector<std::pair<const char*, ListMethod>> lists = {
      {"GetWaitVerifyData", &GetWaitVerifyData},
      {"GetVerifiedData", &GetVerifiedData},
      {"GetAllData", &GetAllData},
      {"GetLockData", &GetLockData},
      {"GetNoVerifyData", &GetNoVerifyData},
      {"GetWaitVerifyData2", &GetWaitVerifyData2}};
  using Keys = std::vector<std::pair<const char*, Variant>>;
  const std::vector<Keys> filters = {
      {},
      {{"TranStatus", Variant(code::kTradeStatusWaitSellerSend)}},
      {{"FieldName", Variant("FIsLock")}, {"Compare", Variant("=")}, {"FieldValue", Variant("N")}},
      {{"FieldName", Variant("FTextApplyForReFund")},
       {"Compare", Variant("=")},
       {"FieldValue", Variant("Y")}},
      {{"AdvancedFilter", Variant(" AND t1.FWebshopID = 'SHOP1' AND t1.FID > 2")}},
      {{"AdvancedFilter", Variant("")}},
      {{"WebOrderMaxDisplayCount", Variant(int16_t{1})}, {"FNumber", Variant("")}},
  };
  int non_empty = 0;
  for (size_t i = 0; i < filters.size(); ++i) {
    for (const auto& [name, method] : lists) {
      auto make = [&] {
        DictionaryPtr para = Para();
        for (const auto& [key, value] : filters[i]) para->SetValue(key, value);
        return para;
      };
      size_t listed = List(method, make()).size();
      DictionaryPtr unlimited = make();
      unlimited->Remove("WebOrderMaxDisplayCount");
      size_t all = List(method, unlimited).size();
      EXPECT_EQ(Count(method, make()), static_cast<int>(all)) << name << " filter " << i;
      EXPECT_LE(listed, all);
      if (all > 0) ++non_empty;
      EXPECT_FALSE(DataTableLeft()) << name << " filter " << i;
    }
  }
  EXPECT_GT(non_empty, 30);

  // A user who may see only SHOP2: the lists and their counts hold only order 14.
  SetProfile(conn(), "WebShopAccess", "1");
  conn().Execute(
      "INSERT INTO t_User (FUserID, FName) VALUES (5, 'clerk')\r\n"
      "INSERT INTO IC_WebShopAccessData (FUserID, FWebShopID, FIsAccess) VALUES "
      "(5, 'SHOP2', 1), (5, 'SHOP1', 0)");
  LogInAs(5);
  for (const auto& [name, method] : lists) {
    size_t listed = List(method, Para()).size();
    EXPECT_EQ(Count(method, Para()), static_cast<int>(listed)) << name;
  }
  EXPECT_EQ(List(&GetAllData), (V{14}));
  EXPECT_EQ(Count(&GetWaitVerifyData, Para()), 1);
}

TEST_F(StatusListsTest, PreSelectionRunsTheReadyMadeFilterOverLinesAndDropsData) {
  DictionaryPtr para = Para({{"AdvancedFilter", Variant(" AND t19.FNumber = 'I501' ")}});
  // After-sales orders stay out of a pre-selected list except on the "all" tab.
  EXPECT_EQ(List(&GetWaitVerifyData, para), (V{1, 6, 7, 11}));
  EXPECT_EQ(List(&GetAllData, para), (V{1, 6, 7, 9, 11}));
  EXPECT_EQ(List(&GetWaitVerifyData2, para), (V{1, 6, 11}));
  EXPECT_FALSE(DataTableLeft());
  // The shop's product number is named through t21 and found on the line.
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FOuterID = 'P-77' WHERE FID = 8");
  para->SetValue("AdvancedFilter", Variant(" and t21.FOnlineShopPNo = 'p-77'"));
  EXPECT_EQ(List(&GetAllData, para), (V{8}));
  // Empty: no pre-selection, no #Data to drop, every order of the tab.
  para->SetValue("AdvancedFilter", Variant("  "));
  EXPECT_EQ(List(&GetLockData, para), (V{4, 10}));
  EXPECT_EQ(List(&GetAllData, para).size(), 14u);

  para->SetValue("AdvancedFilter", Variant(" AND t1.FNoSuchColumn = 1"));
  ComError e = ErrorOf([&] { GetAllData(info(), para); });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetAllData");
  EXPECT_EQ(e.number(), 207);
}

TEST_F(StatusListsTest, MissingConnectionAndBadKeysAnswerOrRaise) {
  DictionaryPtr no_dsn = NewDictionary();
  EXPECT_EQ(GetAllData(info(), no_dsn), nullptr);
  EXPECT_EQ(GetWebOrderEntryData(info(), no_dsn), nullptr);
  EXPECT_EQ(context().begin_call_count, 0);

  ComError e = ErrorOf([&] {
    GetWaitVerifyData(info(), Para({{"ServiceStatus", Variant("38431;delete from t_User")}}));
  });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetWaitVerifyData");
  EXPECT_EQ(e.number(), err::kInvalidArgument);
  e = ErrorOf([&] { GetNoVerifyData(info(), Para({{"TranStatus", Variant("38191 or 1=1")}})); });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetNoVerifyData");
  e = ErrorOf([&] { GetWebOrderEntryData(info(), Para({{"FID", Variant("1 or 1=1")}})); });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetWebOrderEntryData");
  EXPECT_EQ(testing::ScalarInt(conn(), "SELECT COUNT(*) FROM t_User"), 1);
  EXPECT_EQ(context().abort_count, 0);
}

TEST_F(StatusListsTest, OrderLinesSoldBeforeGifts) {
  SeedLine(conn(), {.fid = 1, .item_id = 502, .index = 1, .is_free = 1});
  SeedLine(conn(), {.fid = 1,
                    .item_id = 502,
                    .quantity = 3,
                    .index = 5,
                    .service_status = code::kServiceStatusWaitReviewRefund});
  conn().Execute(
      "UPDATE IC_Web2ERPOrdersEntry SET FServiceType = 2, FServiceSource = 1 WHERE FID = 1 AND "
      "FIndex = 5");
  RecordsetPtr rs = GetWebOrderEntryData(info(), Para({{"FID", Variant(1)}}));
  EXPECT_EQ(Column(rs, "FIndex"), (std::vector<std::string>{"1", "5", "1"}));
  EXPECT_EQ(Column(rs, "FIsFree"), (std::vector<std::string>{"0", "0", "1"}));
  EXPECT_EQ(Column(rs, "FItemName"),
            (std::vector<std::string>{"Green tea", "Black tea", "Black tea"}));
  EXPECT_EQ(Column(rs, "FServiceTypeName"), (std::vector<std::string>{"", "退款退货", ""}));
  EXPECT_EQ(Column(rs, "FServiceSourceName"), (std::vector<std::string>{"", "线上", ""}));
  EXPECT_EQ(Fids(GetWebOrderEntryData(info(), Para({{"FID", Variant("999")}}))), V{});
  EXPECT_EQ(GetWebOrderEntryData(info(), Para()), nullptr);
}

TEST_F(StatusListsTest, LatelyDataListsTheBuyersLast90Days) {
  // Buyer "o'neil": order 1 (2026-01-05), order 2 void, order 3 ninety days before, order 4
  // ninety-one days before, order 14 another buyer.
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FBuyerNick = 'o''neil' WHERE FID IN (1, 2, 3, 4)\r\n"
      "UPDATE IC_Web2ERPOrders SET FOrderDate = '2025-10-07 10:00:00' WHERE FID = 3\r\n"
      "UPDATE IC_Web2ERPOrders SET FOrderDate = '2025-10-06 10:00:00' WHERE FID = 4\r\n"
      "UPDATE IC_Web2ERPOrders SET FSiteOrderID = 'T9' WHERE FID = 3");
  RecordsetPtr rs = GetLatelyData(info(), Para({{"FID", Variant("1")}}));
  EXPECT_EQ(Column(rs, "FSiteOrderID"), (std::vector<std::string>{"T9", "T1"}));
  EXPECT_EQ(Column(rs, "FItemNumber"), (std::vector<std::string>{"I502", "I501"}));
  EXPECT_EQ(GetLatelyData(info(), Para({{"FID", Variant("4242")}})), nullptr);
}

}  // namespace
}  // namespace ambit
