// The shared select of the order lists: shop rights, the pre-selection into #Data, names in the
// user's language, and the registered methods called the way clients call them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "classes/invoke_json.h"
#include "order_lists_fixture.h"
#include "query/order_filter_fields.h"
#include "query/order_select.h"
#include "query/status_lists.h"

namespace ambit {
namespace {

using testing::ErrorOf;
using testing::kDsn;
using testing::ListAccountTest;
using testing::Scalar;
using testing::SeedItem;
using testing::SeedLine;
using testing::SeedOrder;
using testing::SeedShop;
using testing::SetProfile;
using V = std::vector<int>;
using S = std::vector<std::string>;

constexpr int16_t kClerk = 5;

// Orders 1 and 2 in SHOP1, 3 in SHOP2 (an after-sales order), 4 in SHOP3; the clerk may see
// SHOP1 and SHOP2 (SHOP3 explicitly not).
class ListSelectTest : public ListAccountTest {
 protected:
  void SetUp() override {
    ListAccountTest::SetUp();
    SeedShop(conn(), "SHOP1", "North shop");
    SeedShop(conn(), "SHOP2", "South shop");
    SeedShop(conn(), "SHOP3", "East shop");
    SeedItem(conn(), {.item_id = 501, .number = "I501", .name = "Green tea"});
    SeedItem(conn(), {.item_id = 502, .number = "I502", .name = "Black tea"});
    SeedOrder(conn(), {.fid = 1, .shop = "SHOP1"});
    SeedOrder(conn(), {.fid = 2, .shop = "SHOP1"});
    SeedOrder(conn(),
              {.fid = 3, .shop = "SHOP2", .order_type = schema::code::kOrderTypeAfterSales});
    SeedOrder(conn(), {.fid = 4, .shop = "SHOP3"});
    SeedLine(conn(), {.fid = 1, .item_id = 501});
    SeedLine(conn(), {.fid = 2, .item_id = 502});
    SeedLine(conn(), {.fid = 3, .item_id = 501});
    SeedLine(conn(), {.fid = 4, .item_id = 501});
    conn().Execute(
        "INSERT INTO t_User (FUserID, FName) VALUES (5, 'clerk')\r\n"
        "INSERT INTO t_Group (FGroupID, FUserID) VALUES (2, 5)\r\n"
        "INSERT INTO IC_WebShopAccessData (FUserID, FWebShopID, FIsAccess) VALUES "
        "(5, 'SHOP1', 1), (5, 'SHOP2', 1), (5, 'SHOP3', 0)");
  }
};

TEST_F(ListSelectTest, ShopRightsRestrictOnlyWhenSwitchedOnForOrdinaryUsers) {
  // The fresh account does not control shop rights.
  EXPECT_EQ(WebShopAccess(info(), kDsn), "");
  LogInAs(kClerk);
  EXPECT_EQ(WebShopAccess(info(), kDsn), "");
  EXPECT_EQ(Fids(GetAllData(info(), Para())), (V{1, 2, 3, 4}));

  SetProfile(conn(), "WebShopAccess", "1");
  EXPECT_NE(WebShopAccess(info(), kDsn), "");
  EXPECT_EQ(Fids(GetAllData(info(), Para())), (V{1, 2, 3}));
  EXPECT_EQ(Fids(GetWaitVerifyData2(info(), Para())), (V{1, 2}));

  // Group 1 sees every shop whatever the setting.
  LogInAs(schema::code::kAdministratorUserID);
  EXPECT_EQ(WebShopAccess(info(), kDsn), "");
  EXPECT_EQ(Fids(GetAllData(info(), Para())), (V{1, 2, 3, 4}));

  // Never raises: without the security service nothing is decided, and that is "".
  LogInAs(kClerk);
  UnregisterHostObject(kProgIdSecurityInfo);
  EXPECT_EQ(WebShopAccess(info(), kDsn), "");
}

TEST_F(ListSelectTest, PreSelectionJoinsLinesOnlyInsideTheSelectionInto_Data) {
  std::string select =
      BuildOrderListSql(info(), kDsn, &conn(), " AND t19.FNumber = 'I501'", 0, false);
  EXPECT_EQ(select.find("t19"), std::string::npos);
  EXPECT_EQ(select.find("t18"), std::string::npos);
  EXPECT_TRUE(select.ends_with(
      "Where exists(select 1 from #Data where FID=t1.FID) AND t1.FOrderType<>38481 AND\r\n"));
  EXPECT_EQ(Scalar(conn(), "SELECT COUNT(*) FROM #Data"), "3");
  // The list runs on the restriction; after-sales orders are left out of it.
  RecordsetPtr rs = conn().Execute(select + " 1=1 order by t1.FID\r\nDrop table #Data");
  EXPECT_EQ(Fids(rs), (V{1, 4}));

  select = BuildOrderListSql(info(), kDsn, &conn(), " AND t20.FName IS NULL", 2, true);
  EXPECT_EQ(Fids(conn().Execute(select + " 1=1 order by t1.FID\r\nDrop table #Data")), (V{1, 2}));

  select = BuildVerifyListSql(info(), kDsn, &conn(), " AND t1.FID IN (2, 3)");
  rs = conn().Execute(select + " 1=1 order by t1.FID\r\nDrop table #Data");
  EXPECT_EQ(Fids(rs), (V{2, 3}));
  EXPECT_GE(rs->FieldIndex("FIsShowWaitVerifyTemp"), 0);
  // The review lists wrap this layout as a derived table, where SQL Server refuses a column
  // name given twice.
  std::set<std::string> names;
  for (const FieldInfo& f : rs->fields())
    EXPECT_TRUE(names.insert(filter_internal::Upper(f.name)).second) << f.name;
  EXPECT_FALSE(DataTableLeft());

  // A broken ready-made filter fails in the pre-selection, through the list's error path.
  ComError e = ErrorOf([&] {
    GetVerifiedData(info(), Para({{"AdvancedFilter", Variant(" AND t19.FNoSuch = 1")}}));
  });
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetVerifiedData");
  EXPECT_EQ(e.number(), 207);
}

TEST_F(ListSelectTest, AreaAndLogisticsNamesInTheUsersLanguage) {
  conn().Execute(
      "INSERT INTO IC_Area (FID, FName, FName_CHT, FLevel) VALUES (11, N'广东', N'廣東', 1), "
      "(12, N'广州', N'廣州', 2)\r\n"
      "INSERT INTO IC_Logistics (FItemID, FNumber, FName, FName_CHT) VALUES (7, 'SF', N'顺丰', "
      "N'順豐')\r\n"
      "UPDATE IC_Web2ERPOrders SET FDeliveryProvince = 11, FDeliveryCity = 12, FLogisticsID = 7 "
      "WHERE FID = 2");
  auto names = [&] {
    RecordsetPtr rs = GetAllData(info(), Para({{"TranStatus", Variant(38192)}}));
    rs->SetFilter("FID = 2");
    return S{CStr(rs->Value("FDeliveryProvinceName")), CStr(rs->Value("FDeliveryCityName")),
             CStr(rs->Value("FLogisticsName"))};
  };
  EXPECT_EQ(names(), (S{"广东", "广州", "顺丰"}));
  LogInAs(schema::code::kAdministratorUserID, "cht");
  EXPECT_EQ(names(), (S{"廣東", "廣州", "順豐"}));
  LogInAs(schema::code::kAdministratorUserID, "");
  EXPECT_EQ(names(), (S{"广东", "广州", "顺丰"}));
  LogInAs(schema::code::kAdministratorUserID, "CHT]--");
  EXPECT_EQ(ErrorOf([&] { names(); }).source(), "AmbitOrder.AmbitOrderInfo.GetAllData");
}

TEST_F(ListSelectTest, CountAndKeyStatementsRunOnTheirJoins) {
  std::string count = BuildOrderCountSql(kDsn);
  EXPECT_EQ(Scalar(conn(), count + " WHERE t2.FWebShopName = 'North shop'"), "2");
  std::string keys = BuildOrderKeySql(kDsn);
  EXPECT_EQ(Fids(conn().Execute(
                "SELECT RecordCount AS FID FROM (" + keys +
                " WHERE ISNULL(t26.FRefundStatus,0)=0 AND t17.FUserID IS NULL AND t1.FID > 2) k "
                "ORDER BY FID")),
            (V{3, 4}));

  EXPECT_TRUE(NeedsListJoinsToCount("t22.FIsLock = 1 AND "));
  EXPECT_TRUE(NeedsListJoinsToCount("ISNULL(T998.FIs_jzservice_order,'') = 'Y'"));
  EXPECT_FALSE(
      NeedsListJoinsToCount("t1.FID IN (SELECT tu2.FUserID FROM t_User tu2) AND t12.FName = ''"));
  EXPECT_FALSE(NeedsListJoinsToCount("xt22.FIsLock = 1"));
}

TEST_F(ListSelectTest, RegisteredListsAnswerThroughTheClassTable) {
  nlohmann::ordered_json answer = InvokeJson(AmbitOrderInfoTable(), info(), "GetWaitVerifyData",
                                     {{"dctPara", {{"sDSN", kDsn}, {"TranStatus", 38192}}}});
  ASSERT_TRUE(answer["result"]["rows"].is_array()) << answer.dump();
  EXPECT_EQ(answer["result"]["rows"].size(), 4u);
  answer = InvokeJson(AmbitOrderInfoTable(), info(), "GetAllData",
                      {{"dctPara", {{"sDSN", kDsn}, {"stTypeCount", "1"}}}});
  EXPECT_EQ(answer["result"]["columns"][0]["name"], "RecordCount") << answer.dump();
  EXPECT_EQ(answer["result"]["rows"][0][0], 4) << answer.dump();
  answer = InvokeJson(AmbitOrderInfoTable(), info(), "WebShopAccess", {{"sDsn", kDsn}});
  EXPECT_EQ(answer["result"], "");
}

}  // namespace
}  // namespace ambit
