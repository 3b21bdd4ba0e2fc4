// The API describes itself through the real server and classes: the OpenAPI document needs no
// token and covers every method, and keys a method does not read are answered as warnings.
#include <gtest/gtest.h>

#include "base/version.h"
#include "support/product_server.h"

namespace ambit {
namespace {

using json = nlohmann::ordered_json;

class SelfDescribingApiTest : public ::testing::Test {
 protected:
  SelfDescribingApiTest() { testing::SeedOrder(server_.conn(), {.fid = 1}); }

  json Lock(const json& para) {
    auto [status, body] =
        server_.Post("/api/AmbitOrderUpdate/LockWebOrder", json{{"dctPara", para}}.dump());
    EXPECT_EQ(status, 200) << body;
    return json::parse(body, nullptr, false);
  }
  json Get(const char* path) {
    auto [status, body] = server_.Get(path);  // no token
    EXPECT_EQ(status, 200) << path;
    return json::parse(body, nullptr, false);
  }
  std::string LockReason() {
    auto rs = server_.conn().Execute("SELECT FLockReason FROM IC_Web2ERPOrdersEx WHERE FID = 1");
    return rs->Eof() ? "(none)" : CStr(rs->Value(0));
  }

  testing::ProductServer server_{"shop"};

};

TEST_F(SelfDescribingApiTest, GuessedKeysAreWarnedAndTheCallStillRuns) {
  json guessed = Lock({{"sDSN", "shop"}, {"FID", "1"}, {"Reason", "stock count"}, {"Lock", 1}});
  EXPECT_EQ(guessed["result"], true);
  EXPECT_EQ(guessed["warnings"],
            json::array({"dctPara: key 'Reason' is not read by AmbitOrderUpdate.LockWebOrder",
                         "dctPara: key 'Lock' is not read by AmbitOrderUpdate.LockWebOrder"}));
  EXPECT_EQ(LockReason(), "");  // locked with the defaults: the guessed reason went nowhere

  json right = Lock({{"sdsn", "shop"}, {"FID", "1"}, {"LOCKREASON", "stock count"}, {"IsLock", 1}});
  EXPECT_EQ(right["result"], true);
  EXPECT_FALSE(right.contains("warnings")) << right;
  EXPECT_EQ(LockReason(), "stock count");
}

TEST_F(SelfDescribingApiTest, TheDocumentAndCatalogueNeedNoTokenAndShowTheKeys) {
  json doc = Get("/api/openapi.json");
  EXPECT_EQ(doc["openapi"], "3.1.0");
  EXPECT_EQ(doc["info"]["version"], kVersion);
  json catalogue = Get("/api");
  size_t methods = 0;
  for (const json& cls : catalogue["classes"])
    for (const json& m : cls["methods"]) {
      ++methods;
      std::string path =
          "/api/" + cls["class"].get<std::string>() + "/" + m["name"].get<std::string>();
      EXPECT_TRUE(doc["paths"].contains(path)) << path;
    }
  EXPECT_GE(methods, 80u);
  json lock = catalogue["classes"][1]["methods"];
  auto it = std::find_if(lock.begin(), lock.end(),
                         [](const json& m) { return m["name"] == "LockWebOrder"; });
  ASSERT_NE(it, lock.end());
  std::vector<std::string> keys;
  for (const json& k : (*it)["args"][0]["keys"]) keys.push_back(k["name"]);
  EXPECT_EQ(keys, (std::vector<std::string>{"sDSN", "FID", "IsLock", "LockStatus", "LockReason"}));
  EXPECT_TRUE(doc["paths"]["/api/AmbitOrderUpdate/LockWebOrder"]["post"]["requestBody"]["content"]
                 ["application/json"]["schema"]["properties"]["dctPara"]["properties"]
                     .contains("LockReason"));
}

}  // namespace
}  // namespace ambit
