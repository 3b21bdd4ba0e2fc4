#include <gtest/gtest.h>

#include <filesystem>

#include "accounts/demo_account.h"
#include "accounts/reference_data.h"
#include "base/conversions.h"
#include "classes/classes.h"
#include "classes/invoke_json.h"
#include "frame/local_host.h"
#include "maintain/build_demo_data.h"
#include "schema/account.h"

namespace ambit {
namespace {

double Number(Connection& conn, const std::string& sql) {
  RecordsetPtr rs = conn.Execute(sql);
  const Variant& v = rs->Value(0);
  return v.IsNull() ? 0 : CDbl(v);
}

TEST(DemoAccountTest, EveryStateAndConsistentTotals) {
  ConnectionPtr conn = CreateDemoAccount(":memory:");
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders"), 100);
  // Bands: 20 awaiting review, 40 reviewed (20 of them picked), 40 shipped.
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders where FOrderStatus = 1 "
                          "and FCheckStatus = 0"), 20);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders where FCheckStatus = 1 "
                          "and FChkRem = N'审核备注'"), 80);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders where FPickRem = N'配货备注'"),
            60);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders where FOrderStatus & 8 = 8 "
                          "and FShippingRem = N'发货备注'"), 40);
  EXPECT_EQ(CStr(conn->Execute("select FSiteOrderID + '|' + FOrderID + '|' + FZipCode + '|' + "
                               "FLogisticsComp from IC_Web2ERPOrders where FID = 7")->Value(0)),
            "WebOrderID007|WD7|518000|EMS");
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders where FTelephone not like "
                          "'86073%'"), 0);
  // Every order has lines of real items, and its amount is its lines plus freight.
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders o where not exists "
                          "(select 1 from IC_Web2ERPOrdersEntry e where e.FID = o.FID)"), 0);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrdersEntry e left join t_ICItem i "
                          "on i.FItemID = e.FItemID where i.FItemID is null"), 0);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders o where abs(o.FAmount - "
                          "o.FTotalFreight - (select sum(FAmount) from IC_Web2ERPOrdersEntry e "
                          "where e.FID = o.FID)) > 0.005"), 0);
  EXPECT_EQ(CStr(conn->Execute("select FWebShopName from IC_WebshopToStorage")->Value(0)),
            "测试网店");
}

TEST(DemoAccountTest, BuildDemoDataReplacesWhatWasThere) {
  ConnectionPtr conn = CreateDemoAccount(":memory:");
  conn->Execute("update IC_Web2ERPOrders set FBuyerMessage = 'edited' where FID = 3\r\n"
                "insert into IC_WebshopToStorage (FWebShopID, FWebShopName) values ('X', 'X')");
  LocalHost host([conn](const std::string&) { return conn; });
  AmbitOrderUpdate update;
  nlohmann::ordered_json r = InvokeJson(AmbitOrderUpdateTable(), update, "BuildDemoData",
                                {{"sDsn", "demo"}});
  EXPECT_EQ(r["out"]["sDsn"], "demo");
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders where FBuyerMessage = "
                          "'edited'"), 0);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_WebshopToStorage"), 1);
  EXPECT_EQ(Number(*conn, "select count(*) from IC_Web2ERPOrders"), 100);

  conn->Execute("drop table T_ITem");
  try {
    std::string dsn = "demo";
    BuildDemoData(update, dsn);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 208);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.BuildDemoData");
  }
  EXPECT_EQ(host.context()->abort_count, 1);
}

class GeneratedAccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("ambit-gen-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(GeneratedAccountTest, ReproducibleFromItsSeedAndVaried) {
  GenerateOptions options;
  options.orders = 600;
  options.seed = 7;
  int64_t last_progress = 0;
  options.progress = [&](int64_t done, int64_t) { last_progress = done; };
  GenerateStats a = CreateGeneratedAccount(Path("a.db"), 3, 40, options);
  GenerateStats b = CreateGeneratedAccount(Path("b.db"), 3, 40, options);
  EXPECT_EQ(a.orders, 600);
  EXPECT_EQ(last_progress, 600);
  EXPECT_EQ(a.lines, b.lines);
  EXPECT_GE(a.lines, 600);
  EXPECT_LE(a.lines, 3000);
  ConnectionPtr ca = OpenConnection(schema::SqliteConnectionString(Path("a.db")));
  ConnectionPtr cb = OpenConnection(schema::SqliteConnectionString(Path("b.db")));
  const std::string digest =
      "select sum(FAmount), count(distinct FBuyerNick), sum(FOrderStatus * FID) "
      "from IC_Web2ERPOrders";
  for (int col = 0; col < 3; ++col)
    EXPECT_EQ(CDbl(ca->Execute(digest)->Value(col)), CDbl(cb->Execute(digest)->Value(col)));
  // Buyers come back, every state occurs, amounts add up, refunds point at real lines.
  EXPECT_LT(Number(*ca, "select count(distinct FBuyerNick) from IC_Web2ERPOrders"), 600);
  EXPECT_GE(Number(*ca, "select count(distinct FOrderStatus) from IC_Web2ERPOrders"), 4);
  EXPECT_GT(Number(*ca, "select count(*) from IC_Web2ERPOrders where FLockStatus = 1"), 0);
  EXPECT_EQ(Number(*ca, "select count(*) from IC_Web2ERPOrders o where abs(o.FAmount - "
                        "o.FTotalFreight - (select sum(FAmount) from IC_Web2ERPOrdersEntry e "
                        "where e.FID = o.FID)) > 0.005"), 0);
  EXPECT_EQ(Number(*ca, "select count(*) from IC_RefundInfo r left join IC_Web2ERPOrdersEntry e "
                        "on e.FEntryID = r.FEntryID where e.FEntryID is null"), 0);
  EXPECT_EQ(Number(*ca, "select count(*) from IC_RefundInfo"), a.refunds);
  // Another seed gives another account.
  options.seed = 8;
  CreateGeneratedAccount(Path("c.db"), 3, 40, options);
  ConnectionPtr cc = OpenConnection(schema::SqliteConnectionString(Path("c.db")));
  EXPECT_NE(CDbl(ca->Execute(digest)->Value(0)), CDbl(cc->Execute(digest)->Value(0)));
}

// By default few orders await review and most are shipped, as in a shop's account; the busy
// mix leaves a large share awaiting review.
TEST_F(GeneratedAccountTest, StateMixIsRealisticUnlessBusyIsAskedFor) {
  const std::string awaiting =
      "select count(*) from IC_Web2ERPOrders where FOrderStatus = 1 and FCheckStatus = 0 "
      "and FLockStatus = 0 and FVoidStatus = 0";
  const std::string shipped = "select count(*) from IC_Web2ERPOrders where FOrderStatus = 10";
  GenerateOptions options;
  options.orders = 2000;
  CreateGeneratedAccount(Path("real.db"), 3, 40, options);
  options.mix = StateMix::kBusy;
  CreateGeneratedAccount(Path("busy.db"), 3, 40, options);
  ConnectionPtr real = OpenConnection(schema::SqliteConnectionString(Path("real.db")));
  ConnectionPtr busy = OpenConnection(schema::SqliteConnectionString(Path("busy.db")));
  EXPECT_GT(Number(*real, awaiting), 20);
  EXPECT_LT(Number(*real, awaiting), 200);
  EXPECT_GT(Number(*real, shipped), 1500);
  EXPECT_GT(Number(*busy, awaiting), 500);
  EXPECT_LT(Number(*busy, shipped), 700);
}

TEST_F(GeneratedAccountTest, RefusesAnExistingAccount) {
  GenerateOptions options;
  options.orders = 5;
  CreateGeneratedAccount(Path("a.db"), 1, 5, options);
  EXPECT_THROW(CreateGeneratedAccount(Path("a.db"), 1, 5, options), ComError);
}

TEST(ReferenceDataTest, AreaPathsFollowTheTree) {
  ConnectionPtr conn = schema::CreateAccount(":memory:");
  ReferenceData ref = SeedReferenceData(*conn);
  ASSERT_EQ(ref.districts.size(), 18u);
  for (int32_t d : ref.districts) {
    AreaPath p = AreaOf(d);
    EXPECT_EQ(Number(*conn, "select FParentID from IC_Area where FID = " + std::to_string(d)),
              p.city);
    EXPECT_EQ(Number(*conn, "select FParentID from IC_Area where FID = " +
                                std::to_string(p.city)), p.province);
  }
}

}  // namespace
}  // namespace ambit
