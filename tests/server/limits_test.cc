// The real classes behind the server, fed what a single client can send: long filters and
// statements, deeply nested JSON, large form-labelled bodies. The server must answer each and
// stay up.
#include <gtest/gtest.h>

#include <functional>

#include "support/product_server.h"

namespace ambit {
namespace {

using Json = nlohmann::ordered_json;

class ServerLimitsTest : public ::testing::Test {
 protected:
  std::pair<int, std::string> Post(const std::string& path, const std::string& body,
                                   const char* content_type = "application/json") {
    return server_.Post(path, body, content_type);
  }
  bool Healthy() { return server_.Get("/health").first == 200; }
  static std::string Repeat(int n, const std::function<std::string(int)>& item) {
    std::string out;
    for (int i = 0; i < n; ++i) out += item(i);
    return out;
  }
  static std::string Para(const std::string& key, const std::string& value) {
    return Json{{"dctPara", {{"sDSN", "acc"}, {key, value}}}}.dump();
  }

  testing::ProductServer server_{"acc", 2};
};

TEST_F(ServerLimitsTest, NoSingleRequestEndsTheServer) {
  std::string ors =
      Repeat(20000, [](int i) { return (i ? " or " : "") + ("t1.FID=" + std::to_string(i)); });
  auto [status, body] =
      Post("/api/AmbitOrderInfo/GetAllData", Para("AdvancedFilter", " AND (" + ors + ")"));
  EXPECT_EQ(status, 200) << body.substr(0, 300);
  ASSERT_TRUE(Healthy());

  auto single = [&](const std::string& sql) {
    return Post("/api/AmbitOrderInfo/GetSingleSQLData",
                Json{{"sDsn", "acc"}, {"StrSql", sql}}.dump());
  };
  std::tie(status, body) =
      single("select " + Repeat(20000, [](int i) { return i ? "+1" : "1"; }) + " AS n");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(Json::parse(body)["result"], Json::parse(R"({"n": 20000})"));
  ASSERT_TRUE(Healthy());
  std::tie(status, body) =
      single("select count(*) AS n from IC_Web2ERPOrders where " + Repeat(20000, [](int i) {
               return (i ? " and " : "") + ("FID<>" + std::to_string(i));
             }));
  EXPECT_EQ(Json::parse(body)["result"], Json::parse(R"({"n": 0})"));
  ASSERT_TRUE(Healthy());

  // Nesting beyond the engine's depth fails through the method's frame.
  std::tie(status, body) = Post(
      "/api/AmbitOrderInfo/GetAllData",
      Para("AdvancedFilter", " AND " + std::string(50000, '(') + "1=1" + std::string(50000, ')')));
  EXPECT_EQ(status, 422);
  EXPECT_NE(Json::parse(body)["error"]["description"].get<std::string>().find("nested too deeply"),
            std::string::npos)
      << body;
  EXPECT_EQ(Json::parse(body)["error"]["source"], "AmbitOrder.AmbitOrderInfo.GetAllData");
  ASSERT_TRUE(Healthy());

  std::string deep = "{\"sDsn\": " + std::string(50000, '[') + std::string(50000, ']') + "}";
  std::tie(status, body) = Post("/api/AmbitOrderInfo/GetSingleSQLData", deep);
  EXPECT_EQ(status, 400);
  EXPECT_NE(body.find("deeper than"), std::string::npos) << body;
  EXPECT_TRUE(Healthy());
}

TEST_F(ServerLimitsTest, FormLabelledBodiesAreJsonUpToTheBodyLimit) {
  // What `curl -d` sends: JSON labelled as a form, here over httplib's 8 KB form limit.
  std::string sql = "select 1 AS n where " + Repeat(1000, [](int i) {
                      return (i ? " and " : "") + std::to_string(i) + "=" + std::to_string(i);
                    });
  ASSERT_GT(sql.size(), 8192u);
  auto [status, body] =
      Post("/api/AmbitOrderInfo/GetSingleSQLData", Json{{"sDsn", "acc"}, {"StrSql", sql}}.dump(),
           "application/x-www-form-urlencoded");
  ASSERT_EQ(status, 200) << body;
  EXPECT_EQ(Json::parse(body)["result"], Json::parse(R"({"n": 1})"));
  // The body limit itself still holds.
  std::tie(status, body) = Post("/api/AmbitOrderInfo/GetSingleSQLData", std::string(2 << 20, ' '),
                                "application/x-www-form-urlencoded");
  EXPECT_EQ(status, 413);
}

TEST_F(ServerLimitsTest, DictionariesAnswerInTheirOwnOrder) {
  auto [status, body] =
      Post("/api/AmbitColumnsSet/GetAllColumnsDefaultSet",
           R"({"dctPara": {"sDSN": "acc", "FCLASSTYPEID": 1014300, "FListName": "x"}})");
  ASSERT_EQ(status, 200) << body;
  Json columns = Json::parse(body)["result"];
  ASSERT_GE(columns.size(), 10u);
  int expected = 0;
  for (const auto& [key, value] : columns.items()) EXPECT_EQ(key, std::to_string(++expected));
}

}  // namespace
}  // namespace ambit
