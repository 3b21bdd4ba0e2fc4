// The API describes itself through the real server and classes: the OpenAPI document needs no
// token and covers every method, and keys a method does not read are answered as warnings.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "base/version.h"
#include "classes/classes.h"
#include "host/host_services.h"
#include "server/api_server.h"
#include "support/account_fixture.h"

namespace ambit {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

class SelfDescribingApiTest : public ::testing::Test {
 protected:
  SelfDescribingApiTest()
      : path_(fs::temp_directory_path() / ("ambit-apidoc-" + std::to_string(getpid()) + ".db")),
        dispatcher_(accounts_, AllClassTables()) {
    RegisterSqliteBackend();
    RegisterHostServices(HostServicesConfig{});
    fs::remove(path_);
    conn_ = testing::FreshAccountFile(path_.string());
    testing::SeedOrder(*conn_, {.fid = 1});
    accounts_.AddAccount("shop", schema::SqliteConnectionString(path_.string()));
    ServerOptions options;
    options.port = 0;
    server_ = std::make_unique<ApiServer>(
        dispatcher_, TokenStore::FromJson(json::parse(R"({"t": {"userId": 16394}})")), options);
    port_ = server_->Bind();
    runner_ = std::thread([this] { server_->Run(); });
  }
  ~SelfDescribingApiTest() override {
    server_->Stop();
    runner_.join();
    conn_.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path_.string() + suffix);
  }

  json Lock(const json& para) {
    httplib::Client c("127.0.0.1", port_);
    c.set_bearer_token_auth("t");
    auto r = c.Post("/api/AmbitOrderUpdate/LockWebOrder", json{{"dctPara", para}}.dump(),
                    "application/json");
    if (!r) return json();
    EXPECT_EQ(r->status, 200) << r->body;
    return json::parse(r->body, nullptr, false);
  }
  json Get(const char* path) {
    httplib::Client c("127.0.0.1", port_);  // no token
    auto r = c.Get(path);
    if (!r) return json();
    EXPECT_EQ(r->status, 200) << path;
    return json::parse(r->body, nullptr, false);
  }
  std::string LockReason() {
    auto rs = conn_->Execute("SELECT FLockReason FROM IC_Web2ERPOrdersEx WHERE FID = 1");
    return rs->Eof() ? "(none)" : CStr(rs->Value(0));
  }

  fs::path path_;
  ConnectionPtr conn_;
  AccountRegistry accounts_;
  Dispatcher dispatcher_;
  std::unique_ptr<ApiServer> server_;
  int port_ = 0;
  std::thread runner_;
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
