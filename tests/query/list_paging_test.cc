// Keyset paging of the status lists: pages walked through "PageNext" join up to
// exactly the unpaged list under every filter form, with ties on pay date and
// order number, and bad page keys are refused before anything runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "classes/invoke_json.h"
#include "order_lists_fixture.h"
#include "query/list_paging.h"
#include "query/status_lists.h"

namespace ambit {
namespace {

using testing::ErrorOf;
using testing::ListAccountTest;
using testing::SeedLine;
using testing::SeedOrder;
using testing::SeedShop;
using testing::SetProfile;
using V = std::vector<int>;
using ListMethod = RecordsetPtr (*)(Component&, const DictionaryPtr&);
using Keys = std::vector<std::pair<const char*, Variant>>;
namespace code = schema::code;

const std::vector<std::pair<const char*, ListMethod>> kLists = {
    {"GetWaitVerifyData", &GetWaitVerifyData},
    {"GetVerifiedData", &GetVerifiedData},
    {"GetAllData", &GetAllData},
    {"GetLockData", &GetLockData},
    {"GetNoVerifyData", &GetNoVerifyData},
    {"GetWaitVerifyData2", &GetWaitVerifyData2}};

// 40 orders over five pay dates (one of them none, one with milliseconds),
// order numbers that repeat across orders, in every state the tabs tell apart
// and in two shops.
class ListPagingTest : public ListAccountTest {
 protected:
  void SetUp() override {
    ListAccountTest::SetUp();
    SeedShop(conn(), "SHOP1", "North shop");
    SeedShop(conn(), "SHOP2", "South shop");
    const char* pay[] = {"NULL", "'2026-03-01 09:00:00'", "'2026-03-01 09:00:00.250'",
                         "'2026-03-02 10:00:00'", "'2026-02-27 23:59:59'"};
    const int trade[] = {code::kTradeStatusWaitSellerSend, code::kTradeStatusWaitBuyerPay,
                         code::kTradeStatusFinished, code::kTradeStatusWaitBuyerConfirm};
    for (int fid = 1; fid <= 40; ++fid) {
      bool reviewed = fid % 3 == 0;
      SeedOrder(conn(), {.fid = fid,
                         .order_id = "WD" + std::to_string(fid % 7),
                         .status = reviewed ? 2 : 1,
                         .check_status = reviewed ? 1 : 0,
                         .trade_status = trade[fid % 4],
                         .shop = fid % 5 == 0 ? "SHOP2" : "SHOP1",
                         .void_status = fid % 11 == 0 ? 1 : 0});
      conn().Execute("UPDATE IC_Web2ERPOrders SET FSitePayDate = " + std::string(pay[fid % 5]) +
                     " WHERE FID = " + std::to_string(fid));
      SeedLine(conn(), {.fid = fid, .item_id = 501, .status = "WAIT_SELLER_SEND_GOODS"});
      if (fid % 4 == 1)
        conn().Execute(
            "INSERT INTO IC_Web2ERPOrdersEx (FID, FIsLock, "
            "FLockStatus) VALUES (" +
            std::to_string(fid) + ", 1, 1)");
    }
  }

  static DictionaryPtr Make(const Keys& keys) {
    DictionaryPtr para = Para();
    for (const auto& [key, value] : keys) para->SetValue(key, value);
    return para;
  }

  // Every page of `size` rows in turn, joined.
  V Walk(ListMethod method, const Keys& keys, int size, int* pages) {
    V all;
    std::string after;
    *pages = 0;
    for (;;) {
      DictionaryPtr para = Make(keys);
      para->SetValue("PageSize", Variant(size));
      para->SetValue("PageAfter", Variant(after));
      V page = Fids(method(info(), para));
      EXPECT_LE(page.size(), static_cast<size_t>(size));
      all.insert(all.end(), page.begin(), page.end());
      after = CStr(para->Value("PageNext"));
      ++(*pages);
      if (after.empty() || *pages > 50) return all;
    }
  }

  // The pages join up to the unpaged list: same rows, none twice (the unpaged
  // list leaves ties on pay date and order number in no defined order, so the
  // order is checked apart).
  void ExpectPagesJoinUp(const Keys& keys, const std::string& what) {
    for (const auto& [name, method] : kLists) {
      V whole = Fids(method(info(), Make(keys)));
      DictionaryPtr count = Make(keys);
      count->SetValue("stTypeCount", Variant("1"));
      count->SetValue("PageSize", Variant(3));
      EXPECT_EQ(RecordCount(method(info(), count)), static_cast<int>(whole.size()))
          << name << " " << what;
      for (int size : {2, 50}) {
        int pages = 0;
        V paged = Walk(method, keys, size, &pages);
        EXPECT_EQ(std::set<int>(paged.begin(), paged.end()).size(), paged.size())
            << name << " " << what << " size " << size;
        EXPECT_EQ(paged.size(), whole.size()) << name << " " << what << " size " << size;
        EXPECT_EQ(pages, static_cast<int>(whole.size()) / size + 1) << name << " size " << size;
        V sorted_whole = whole, sorted_paged = paged;
        std::sort(sorted_whole.begin(), sorted_whole.end());
        std::sort(sorted_paged.begin(), sorted_paged.end());
        EXPECT_EQ(sorted_paged, sorted_whole) << name << " " << what;
      }
      EXPECT_FALSE(DataTableLeft()) << name;
    }
  }
};

TEST_F(ListPagingTest, PagesJoinUpUnderEveryFilterForm) {
  // The unpaged list with FID added to its order is what the pages must give:
  // checked once.
  V all = Fids(GetAllData(info(), Para()));
  ASSERT_EQ(all.size(), 40u);
  int pages = 0;
  V paged = Walk(&GetAllData, {}, 7, &pages);
  // Pay date none first, then by date; within a date by order number, then FID.
  EXPECT_EQ(V(paged.begin(), paged.begin() + 8), (V{35, 15, 30, 10, 25, 5, 40, 20}));
  EXPECT_EQ(pages, 6);

  ExpectPagesJoinUp({}, "no filter");
  ExpectPagesJoinUp({{"TranStatus", Variant(code::kTradeStatusWaitSellerSend)}}, "trade state");
  ExpectPagesJoinUp(
      {{"FieldName", Variant("FIsLock")}, {"Compare", Variant("=")}, {"FieldValue", Variant("N")}},
      "field");
  // A narrow order-date range starts the page's keys from the orders in it; with a shop it
  // does not.
  conn().Execute(
      "UPDATE IC_Web2ERPOrders SET FOrderDate = '2026-01-06 08:00:00' WHERE FID % 3 = 1");
  const Keys day = {{"OrderDateFrom", Variant("2026-01-06")},
                    {"OrderDateTo", Variant("2026-01-06 23:59:59")}};
  EXPECT_EQ(Fids(GetAllData(info(), Make(day))).size(), 14u);
  ExpectPagesJoinUp(day, "order dates");
  Keys shop_day = day;
  shop_day.emplace_back("WebShopID", Variant("SHOP2"));
  ExpectPagesJoinUp(shop_day, "shop and order dates");
  ExpectPagesJoinUp({{"AdvancedFilter", Variant(" AND t1.FWebshopID = 'SHOP1' AND t1.FID > 4")}},
                    "pre-selection");

  // A user who may see only SHOP2.
  SetProfile(conn(), "WebShopAccess", "1");
  conn().Execute(
      "INSERT INTO t_User (FUserID, FName) VALUES (5, 'clerk')\r\n"
      "INSERT INTO IC_WebShopAccessData (FUserID, FWebShopID, "
      "FIsAccess) VALUES "
      "(5, 'SHOP2', 1), (5, 'SHOP1', 0)");
  LogInAs(5);
  EXPECT_EQ(Walk(&GetAllData, {}, 3, &pages).size(), 8u);
  ExpectPagesJoinUp({}, "shop rights");
}

TEST_F(ListPagingTest, UnpagedListsAnswerNoCursor) {
  DictionaryPtr para = Para();
  GetAllData(info(), para);
  EXPECT_FALSE(para->Lookup("PageNext"));
  para->SetValue("PageSize", Variant("40"));
  EXPECT_EQ(Fids(GetAllData(info(), para)).size(), 40u);
  EXPECT_NE(CStr(para->Value("PageNext")),
            "");  // a full page: the next one may hold rows
  para->SetValue("PageAfter", para->Value("PageNext"));
  EXPECT_EQ(Fids(GetAllData(info(), para)), V{});
  EXPECT_EQ(CStr(para->Value("PageNext")), "");
}

// A page's rows (and a row limit's) are read in a second step with the line-derived columns (refund state, closed
// lines, closed rows, service orders, blacklist) worked out for the page alone: they must equal
// the one-step list's, also under filters that name those joins.
TEST_F(ListPagingTest, PageRowsCarryTheOneStepListsDerivedColumns) {
  for (int fid : {2, 7, 9, 13, 21, 22, 31}) {
    SeedLine(conn(), {.fid = fid, .item_id = 502, .refund_status = 1});
    if (fid % 2) SeedLine(conn(), {.fid = fid, .item_id = 503, .status = "TRADE_CLOSED"});
  }
  // Refund states the review lists split on: a refund with lines left to ship (2), every line
  // refunded (14) or refunded and closed (7), a refund state other than 1 (10: in neither).
  SeedLine(conn(), {.fid = 10, .item_id = 502, .refund_status = 2});
  conn().Execute(
      "UPDATE IC_Web2ERPOrdersEntry SET FRefundStatus = 1 WHERE FID = 14\r\n"
      "UPDATE IC_Web2ERPOrdersEntry SET FIsRowClose = 2 WHERE FID IN (4, 7)\r\n"
      "UPDATE IC_Web2ERPOrders SET FIs_jzservice_order = 'Y', FBuyerNick = 'bad' "
      "WHERE FID IN (8, 13)\r\n"
      "UPDATE IC_Web2ERPOrders SET FBuyerNick = 'Bad ' WHERE FID = 13\r\n"
      "UPDATE IC_Web2ERPOrdersEntry SET FIs_jzservice_order = 'Y' WHERE FID = 22\r\n"
      "INSERT INTO IC_WebShopClient (FNick, FIsBlackList) VALUES ('bad', 1)");
  const char* derived[] = {"FRefundStatus", "FIsRowClose", "FStatus", "FIsJzserviceOrder",
                           "FIsBlackList"};
  auto rows_by_fid = [&](const RecordsetPtr& rs, std::map<int, std::string>& out) {
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      std::string values;
      for (const char* column : derived) values += CStr(rs->Value(column)) + "|";
      if (rs->FieldIndex("FIsShowWaitVerifyTemp") >= 0)
        values += CStr(rs->Value("FIsShowWaitVerifyTemp"));
      EXPECT_TRUE(out.emplace(CLng(rs->Value("FID")), values).second);
    }
  };
  // Columns as the one-step list types them (a page reads the derived ones per order).
  auto layout = [](const RecordsetPtr& rs) {
    std::string out;
    for (const FieldInfo& f : rs->fields())
      out += f.name + ":" + std::to_string(static_cast<int>(f.type)) + "/" +
             std::to_string(f.defined_size) + "/" + std::to_string(f.scale) + " ";
    return out;
  };
  for (const auto& [name, method] : kLists) {
    std::map<int, std::string> whole, paged;
    RecordsetPtr one_step = method(info(), Para());
    rows_by_fid(one_step, whole);
    std::string after;
    for (int pages = 0; pages < 30; ++pages) {
      DictionaryPtr para = Make({{"PageSize", Variant(4)}, {"PageAfter", Variant(after)}});
      RecordsetPtr page = method(info(), para);
      if (page->RecordCount() > 0) {
        EXPECT_EQ(layout(page), layout(one_step)) << name;
      }
      rows_by_fid(page, paged);
      after = CStr(para->Value("PageNext"));
      if (after.empty()) break;
    }
    EXPECT_EQ(paged, whole) << name;
    // The buyer's nick matches as SQL Server compares text: case and trailing blanks aside.
    for (int fid : {8, 13})
      if (whole.count(fid)) {
        EXPECT_NE(whole[fid].find("|Y|"), std::string::npos) << name << fid;
      }
    // An empty page types its columns as an empty list does (those typed by their first value
    // stay untyped).
    const Keys none = {{"WebShopID", Variant("NOSHOP")}};
    EXPECT_EQ(layout(method(info(), Make(none))), [&] {
      DictionaryPtr para = Make(none);
      para->SetValue("PageSize", Variant(4));
      return layout(method(info(), para));
    }()) << name << " empty";
    // A row limit reads its rows the same way.
    std::map<int, std::string> limited;
    rows_by_fid(method(info(), Make({{"WebOrderMaxDisplayCount", Variant(int16_t{100})}})),
                limited);
    EXPECT_EQ(limited, whole) << name;
  }
  // The derived columns are not all at their defaults in what was compared.
  std::map<int, std::string> all;
  rows_by_fid(GetAllData(info(), Para()), all);
  EXPECT_NE(all[7], all[1]);
  EXPECT_NE(all[13], all[1]);
  ExpectPagesJoinUp({{"FieldName", Variant("FTextApplyForRefund")},
                     {"Compare", Variant("=")},
                     {"FieldValue", Variant("Y")}},
                    "refund state");
  // The page's keys read the refund state per order; the unpaged lists, from the view.
  for (auto [method, in, out] :
       {std::tuple{&GetNoVerifyData, V{7, 14}, V{2, 10}}, {&GetWaitVerifyData2, V{2}, V{7, 10, 14}}}) {
    V page = Fids(method(info(), Make({{"PageSize", Variant(50)}})));
    for (int fid : in) EXPECT_NE(std::find(page.begin(), page.end(), fid), page.end()) << fid;
    for (int fid : out) EXPECT_EQ(std::find(page.begin(), page.end(), fid), page.end()) << fid;
  }
  ExpectPagesJoinUp({{"NotCheckRefundOnStatus", Variant("1")}}, "refund state not checked");
  // A ready-made filter on the grouped joins keeps them (others leave them out).
  const Keys grouped = {
      {"AdvancedFilter", Variant(" AND (ISNULL(t26.FRefundStatus,0) = 1 OR t100.FIsRowClose > 0)")}};
  V refunded = Fids(GetAllData(info(), Make(grouped)));
  std::sort(refunded.begin(), refunded.end());
  EXPECT_EQ(refunded, (V{2, 4, 7, 9, 13, 14, 21, 22, 31}));
  ExpectPagesJoinUp(grouped, "pre-selection on grouped joins");
  ExpectPagesJoinUp({{"FieldName", Variant("FTextApplyForRefund")},
                     {"Compare", Variant("=")},
                     {"FieldValue", Variant("N")}},
                    "no refund");
  ExpectPagesJoinUp({{"FieldName", Variant("FIsJzserviceOrder")},
                     {"Compare", Variant("=")},
                     {"FieldValue", Variant("N")}},
                    "service order");
  const Keys service = {{"FieldName", Variant("FIsJzserviceOrder")},
                        {"Compare", Variant("=")},
                        {"FieldValue", Variant("Y")}};
  V marked = Fids(GetAllData(info(), Make(service)));
  std::sort(marked.begin(), marked.end());
  EXPECT_EQ(marked, (V{8, 13, 22}));  // on the order or on a line
  ExpectPagesJoinUp(service, "service order marked");
}

// Over the JSON path (what the server answers) the cursor comes back under "out".
TEST_F(ListPagingTest, CursorComesBackUnderOut) {
  V seen;
  nlohmann::ordered_json para = {{"sDSN", testing::kDsn}, {"PageSize", 25}};
  for (int page = 0; page < 2; ++page) {  // 25 rows, then the last 15
    nlohmann::ordered_json answer =
        InvokeJson(AmbitOrderInfoTable(), info(), "GetAllData", {{"dctPara", para}});
    ASSERT_TRUE(answer["result"]["rows"].is_array()) << answer.dump();
    for (const auto& row : answer["result"]["rows"]) seen.push_back(row[0].get<int>());
    para["PageAfter"] = answer["out"]["dctPara"]["PageNext"];
  }
  EXPECT_EQ(para["PageAfter"], "");
  EXPECT_EQ(seen.size(), 40u);
  EXPECT_EQ(std::set<int>(seen.begin(), seen.end()).size(), 40u);
}

TEST_F(ListPagingTest, BadPageKeysAreRefusedBeforeAnythingRuns) {
  const std::vector<Keys> bad = {
      {{"PageSize", Variant(0)}},
      {{"PageSize", Variant("-5")}},
      {{"PageSize", Variant(10001)}},
      {{"PageSize", Variant(2.5)}},
      {{"PageSize", Variant("ten")}},
      {{"PageSize", Variant(10)}, {"PageAfter", Variant("no cursor")}},
      {{"PageSize", Variant(10)}, {"PageAfter", Variant("2026-13-45|1|WD1")}},
      {{"PageSize", Variant(10)}, {"PageAfter", Variant("|x1|WD1")}},
      {{"PageAfter", Variant("|1|WD1")}},
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    for (const auto& [name, method] : kLists) {
      DictionaryPtr para = Make(bad[i]);
      para->SetValue("AdvancedFilter", Variant(" AND t1.FID > 0"));
      ComError e = ErrorOf([&] { method(info(), para); });
      EXPECT_EQ(e.number(), err::kInvalidArgument) << name << " case " << i;
      EXPECT_EQ(e.source(), std::string("AmbitOrder.AmbitOrderInfo.") + name);
      EXPECT_FALSE(DataTableLeft()) << name << " case " << i;  // no pre-selection ran
    }
  }
  // The largest page and a cursor of an order without pay date are fine.
  EXPECT_EQ(Fids(GetAllData(info(),
                            Make({{"PageSize", Variant("10000")}, {"PageAfter", Variant("|0|")}})))
                .size(),
            40u);
}

// A page's rows are read without an order clause and put in order by PutInListOrder: from any
// order it gives the engine's own, with order numbers compared as the TSQL collation compares
// them (case, trailing blanks) and NULL pay dates first.
TEST_F(ListPagingTest, RowsPutInListOrderAsTheEngineOrdersThem) {
  const char* ids[] = {"wd1", "WD1 ", "b", "A", "Wd10", "wd2", "", "Z"};
  for (int fid = 1; fid <= 40; ++fid)
    conn().Execute("UPDATE IC_Web2ERPOrders SET FOrderID = '" + std::string(ids[fid % 8]) +
                   "' WHERE FID = " + std::to_string(fid));
  const std::string columns = "SELECT FSitePayDate, FOrderID, FID FROM IC_Web2ERPOrders ";
  V expected = Fids(conn().Execute(columns + "ORDER BY FSitePayDate, FOrderID, FID"));
  for (const char* from : {"ORDER BY FID DESC", "ORDER BY FOrderID DESC, FID"}) {
    RecordsetPtr rs = conn().Execute(columns + from);
    PutInListOrder(*rs, true);
    EXPECT_EQ(Fids(rs), expected) << from;
  }
}

TEST(ListPagingCursor, NamesTheRowExactly) {
  Variant date(MakeDate(2026, 3, 1, 9, 0, 0.25));
  EXPECT_EQ(FormatPageCursor(date, Variant(17), Variant("A|B")), "2026-03-01 09:00:00.250|17|A|B");
  EXPECT_EQ(FormatPageCursor(Variant::Null(), Variant(3), Variant("")), "|3|");
  DictionaryPtr para = NewDictionary();
  para->SetValue("PageSize", Variant(5));
  para->SetValue("PageAfter", Variant("2026-03-01 09:00:00.250|17|A|B"));
  ListPage page = ReadListPage(*para);
  EXPECT_EQ(page.fid, 17);
  EXPECT_EQ(page.order_id, "A|B");
}

}  // namespace
}  // namespace ambit
