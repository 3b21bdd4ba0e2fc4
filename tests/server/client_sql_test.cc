// The two places that take SQL text from a client, through the real server and classes: they
// read, they never write, and an operator can switch them off.
#include <gtest/gtest.h>

#include "frame/client_sql.h"
#include "support/product_server.h"

namespace ambit {
namespace {

using json = nlohmann::ordered_json;

class ClientSqlTest : public ::testing::Test {
 protected:
  ClientSqlTest() {
    for (int fid : {1, 2}) testing::SeedOrder(server_.conn(), {.fid = fid});
  }
  ~ClientSqlTest() override { SetClientSqlAllowed(true); }

  std::pair<int, json> Post(const std::string& path, const json& body) {
    auto [status, text] = server_.Post(path, body.dump());
    return {status, json::parse(text, nullptr, false)};
  }
  std::pair<int, json> Single(const std::string& sql) {
    return Post("/api/AmbitOrderInfo/GetSingleSQLData", {{"sDsn", "shop"}, {"StrSql", sql}});
  }
  std::pair<int, json> List(const std::string& filter) {
    return Post("/api/AmbitOrderInfo/GetAllData",
                {{"dctPara", {{"sDSN", "shop"}, {"AdvancedFilter", filter}}}});
  }
  int Orders() {
    return testing::ScalarInt(server_.conn(), "SELECT COUNT(*) FROM IC_Web2ERPOrders");
  }

  testing::ProductServer server_{"shop"};
};

TEST_F(ClientSqlTest, AFreeQueryReadsButNeverWrites) {
  auto [status, body] = Single("select count(*) n from IC_Web2ERPOrders where FID > 0");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body["result"]["n"], 2);

  for (const char* write :
       {"delete from IC_Web2ERPOrders where FID=1; select 1 x",
        "select 1 x; delete from IC_Web2ERPOrders", "delete from IC_Web2ERPOrders",
        "select * into #copy from IC_Web2ERPOrders", "exec sp_who",
        "update IC_Web2ERPOrders set FAmount = 1", "drop table IC_Web2ERPOrders"}) {
    auto [refused, error] = Single(write);
    EXPECT_EQ(refused, 422) << write;
    EXPECT_EQ(error["error"]["number"], 5) << write;
    EXPECT_EQ(error["error"]["source"], "AmbitOrder.AmbitOrderInfo.GetSingleSQLData") << write;
  }
  EXPECT_EQ(Orders(), 2);
  // A query that fails when it runs still answers nothing, as before.
  EXPECT_EQ(Single("select * from no_such_table").second["result"], nullptr);
}

TEST_F(ClientSqlTest, AnAdvancedFilterIsOnlyARunOfConditions) {
  auto [status, body] = List(" AND t1.FID = 2 OR (t1.FID IN (SELECT 1) AND 'a;b' = 'a;b')");
  ASSERT_EQ(status, 200) << body;
  EXPECT_EQ(body["result"]["rows"].size(), 2u);
  EXPECT_EQ(List(" and t1.FID=2").second["result"]["rows"].size(), 1u);

  for (const char* smuggled :
       {" AND 1=1; delete from IC_Web2ERPOrders", "1=1", " AND 1=1 delete from IC_Web2ERPOrders",
        " AND 1=1) delete from IC_Web2ERPOrders where (1=1", " AND 1=1 --", " AND 1=1 /* x */",
        " AND (1=1"}) {
    auto [refused, error] = List(smuggled);
    EXPECT_EQ(refused, 422) << smuggled;
    EXPECT_EQ(error["error"]["number"], 5) << smuggled;
  }
  EXPECT_EQ(Orders(), 2);
}

TEST_F(ClientSqlTest, TheServerCanSwitchClientSqlOff) {
  SetClientSqlAllowed(false);
  auto [single, error] = Single("select 1 x");
  EXPECT_EQ(single, 422);
  EXPECT_NE(error["error"]["description"].get<std::string>().find("--no-client-sql"),
            std::string::npos);
  EXPECT_EQ(List(" AND 1=1").first, 422);
  // An empty filter is no SQL at all; lists without one still work.
  EXPECT_EQ(Post("/api/AmbitOrderInfo/GetAllData", {{"dctPara", {{"sDSN", "shop"}}}}).first, 200);
}

}  // namespace
}  // namespace ambit
