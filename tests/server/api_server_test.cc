#include "server/api_server.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>

#include "backends/sqlite/sqlite_connection.h"
#include "base/version.h"
#include "host/call_context.h"
#include "host/test_methods.h"
#include "server/compression.h"
#include "server/static_files.h"

namespace ambit {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

constexpr char kToken[] = "good-token";

// A server on a loopback port the system picks, serving the test methods on a fresh account.
class ApiServerTest : public ::testing::Test {
 protected:
  static AccountOptions Options() {
    AccountOptions options;
    options.pool_size = 8;
    return options;
  }

  ApiServerTest()
      : path_(fs::temp_directory_path() /
              ("ambit-server-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db")),
        accounts_(Options()),
        update_(testing::MakeUpdateTable()),
        info_(testing::MakeInfoTable()),
        dispatcher_(accounts_, {&info_, &update_}) {
    RegisterSqliteBackend();
    RemoveAccount();
    std::string cs = "Provider=SQLite;Data Source=" + path_.string();
    OpenConnection(cs)->Execute("CREATE TABLE notes (id INT PRIMARY KEY, txt VARCHAR(50))");
    accounts_.AddAccount("acc", cs);

    TokenStore tokens =
        TokenStore::FromJson(json::parse(R"({"good-token": {"userId": 7, "languageCode": "EN"}})"));
    ServerOptions options;
    options.port = 0;
    options.max_body_bytes = 4096;
    options.workers = 8;
    options.access_log = [this](const std::string& line) {
      std::lock_guard lock(log_mu_);
      log_.push_back(line);
    };
    server_ = std::make_unique<ApiServer>(dispatcher_, std::move(tokens), options);
    port_ = server_->Bind();
    runner_ = std::thread([this] { server_->Run(); });
  }

  ~ApiServerTest() override {
    server_->Stop();
    runner_.join();
    RemoveAccount();
  }

  void RemoveAccount() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path_.string() + suffix);
  }

  httplib::Client Client(const char* token = kToken) {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(30);
    c.set_tcp_nodelay(true);
    if (token) c.set_bearer_token_auth(token);
    return c;
  }

  // Status and parsed body of a POST.
  std::pair<int, json> Post(httplib::Client& c, const std::string& path, const std::string& body) {
    httplib::Result r = c.Post(path.c_str(), body, "application/json");
    if (!r) {
      ADD_FAILURE() << path << ": " << httplib::to_string(r.error());
      return {0, json()};
    }
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json; charset=utf-8") << path;
    return {r->status, json::parse(r->body, nullptr, false)};
  }
  std::pair<int, json> Post(const std::string& path, const std::string& body) {
    httplib::Client c = Client();
    return Post(c, path, body);
  }

  int64_t Notes() {
    auto [status, body] = Post("/api/AmbitOrderInfo/Count", "{}");
    EXPECT_EQ(status, 200) << body;
    return body["result"]["rows"][0][0].get<int64_t>();
  }

  fs::path path_;
  AccountRegistry accounts_;
  MethodTable update_;
  MethodTable info_;
  Dispatcher dispatcher_;
  std::unique_ptr<ApiServer> server_;
  int port_ = 0;
  std::thread runner_;
  std::mutex log_mu_;
  std::vector<std::string> log_;
};

TEST_F(ApiServerTest, QueryAndUpdateRoundTrip) {
  EXPECT_EQ(Notes(), 0);
  auto [status, body] = Post("/api/AmbitOrderUpdate/Write", R"({"lID": 1})");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body, json::parse(R"({"result": true, "out": {}})"));
  // Positional arguments, and the account named explicitly.
  EXPECT_EQ(Post("/api/ambitorderupdate/write", R"(["acc", 2])").first, 200);
  auto [count_status, count] = Post("/api/AmbitOrderInfo/Count", "");
  EXPECT_EQ(count_status, 200);
  EXPECT_EQ(count["result"]["columns"][0]["name"], "n");
  EXPECT_EQ(count["result"]["rows"], json::parse("[[2]]"));
}

// A large list streams out in chunks as it is written, a small one goes whole with its length;
// both say what the tree of the same answer says, compressed when the client asks for it.
TEST_F(ApiServerTest, LargeListsStreamAndCompressAsSmallOnesDo) {
  for (int rows : {3, 6000}) {
    SCOPED_TRACE(rows);
    std::string args = "{\"lCount\": " + std::to_string(rows) + "}";
    json expected = dispatcher_.Call({"AmbitOrderInfo", "Rows", json::parse(args),
                                      std::make_shared<HostUserLogin>("7", 7, "EN"), "127.0.0.1"});
    ASSERT_EQ(expected["result"]["rows"].size(), static_cast<size_t>(rows));
    for (const char* encoding : {"identity", "gzip"}) {
      httplib::Client c = Client();
      c.set_decompress(false);
      httplib::Result r = c.Post("/api/AmbitOrderInfo/Rows", {{"Accept-Encoding", encoding}},
                                 args, "application/json");
      ASSERT_TRUE(r) << encoding;
      EXPECT_EQ(r->status, 200);
      EXPECT_EQ(r->get_header_value("Transfer-Encoding") == "chunked", rows > 1000) << encoding;
      std::string body = r->body;
      if (std::string(encoding) == "gzip") {
        ASSERT_EQ(r->get_header_value("Content-Encoding"), "gzip");
        httplib::detail::gzip_decompressor gunzip;
        body.clear();
        ASSERT_TRUE(gunzip.decompress(r->body.data(), r->body.size(), [&](const char* d, size_t n) {
          body.append(d, n);
          return true;
        }));
      }
      EXPECT_EQ(json::parse(body), expected) << encoding;
    }
  }
}

TEST_F(ApiServerTest, InOutArgumentsComeBackInOut) {
  auto [status, body] =
      Post("/api/AmbitOrderUpdate/Stamp", R"({"sOrderIDs": "5", "dicRnt": {}, "iStep": 2})");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body["result"], 20);
  EXPECT_EQ(body["out"], json::parse(R"({"sOrderIDs": "5,42", "dicRnt": {"Stamped": true}})"));
}

TEST_F(ApiServerTest, TheMethodSeesTheTokensUserAndThePeerAddress) {
  auto [status, body] = Post("/api/AmbitOrderUpdate/WhoAmI", "{}");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body["result"], "7@127.0.0.1/acc");
}

TEST_F(ApiServerTest, AFailedUpdateIs422AndLeavesTheAccountUnchanged) {
  Post("/api/AmbitOrderUpdate/Write", R"({"lID": 1})");
  auto [status, body] = Post("/api/AmbitOrderUpdate/WriteThenFail", R"({"lID": 2})");
  EXPECT_EQ(status, 422);
  EXPECT_EQ(body["error"]["number"], 208);
  EXPECT_EQ(body["error"]["source"], "AmbitOrder.AmbitOrderUpdate.WriteThenFail");
  EXPECT_EQ(Notes(), 1);
  // A database error raised inside the method keeps its own number.
  auto [dup_status, dup] = Post("/api/AmbitOrderUpdate/Write", R"({"lID": 1})");
  EXPECT_EQ(dup_status, 422);
  EXPECT_EQ(dup["error"]["number"], 2627);
  EXPECT_EQ(Notes(), 1);
}

TEST_F(ApiServerTest, RequestsWithoutAValidTokenAre401) {
  for (const char* token : {static_cast<const char*>(nullptr), "wrong-token", ""}) {
    httplib::Client c = Client(token);
    auto [status, body] = Post(c, "/api/AmbitOrderInfo/Count", "{}");
    EXPECT_EQ(status, 401) << (token ? token : "(none)");
    EXPECT_TRUE(body["error"]["description"].get<std::string>().find("bearer") !=
                std::string::npos);
  }
  httplib::Client basic("127.0.0.1", port_);
  basic.set_basic_auth("good-token", "x");
  EXPECT_EQ(basic.Post("/api/AmbitOrderInfo/Count", "{}", "application/json")->status, 401);
  EXPECT_EQ(Notes(), 0);
}

TEST_F(ApiServerTest, ArgumentsThatDoNotFitAre400) {
  for (const char* body : {
           R"({"lID": )",                // malformed JSON
           R"({"lID": "one"})",          // wrong kind
           R"({})",                      // missing argument
           R"({"lID": 1, "bogus": 2})",  // unknown argument
           R"(["acc", 1, 2])",           // too many positional arguments
           R"("just text")",             // neither object nor array
       }) {
    auto [status, answer] = Post("/api/AmbitOrderUpdate/Write", body);
    EXPECT_EQ(status, 400) << body;
    EXPECT_TRUE(answer["error"].contains("description")) << body;
  }
  EXPECT_EQ(Notes(), 0);
}

TEST_F(ApiServerTest, UnknownPathsAre404AndTheWrongVerbIs405WithAllow) {
  EXPECT_EQ(Post("/api/NoSuchClass/Count", "{}").first, 404);
  auto [status, body] = Post("/api/AmbitOrderInfo/NoSuchMethod", "{}");
  EXPECT_EQ(status, 404);
  EXPECT_EQ(body["error"]["number"], kMemberNotFound);
  httplib::Client c = Client();
  httplib::Result r = c.Get("/nowhere");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 404);
  EXPECT_TRUE(json::parse(r->body).contains("error"));

  r = c.Get("/api/AmbitOrderInfo/Count");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 405);
  EXPECT_EQ(r->get_header_value("Allow"), "POST");
  EXPECT_EQ(json::parse(r->body)["error"]["description"],
            "/api/AmbitOrderInfo/Count answers POST only, not GET.");
  for (const char* path : {"/api", "/health"}) {
    r = c.Post(path, "{}", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 405) << path;
    EXPECT_EQ(r->get_header_value("Allow"), "GET") << path;
  }
  r = c.Delete("/api/AmbitOrderUpdate/Write");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 405);
}

// The workbench answers without a token, and every file its page and modules name is
// embedded: a file left out of the build would only show as a blank page in a browser.
TEST_F(ApiServerTest, TheWorkbenchIsServedFromTheBinaryBesideTheApi) {
  httplib::Client anonymous("127.0.0.1", port_);
  httplib::Result page = anonymous.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
  EXPECT_EQ(page->body, FindWebFile("/index.html")->body);

  const std::regex reference(R"re((?:src|href)="([^"]+)"|(?:from |import\()'\./([^']+)')re");
  std::vector<std::string> pending = {"index.html"}, seen;
  while (!pending.empty()) {
    std::string name = pending.back();
    pending.pop_back();
    if (name.starts_with("data:") ||  // inline, as the page's empty icon
        std::find(seen.begin(), seen.end(), name) != seen.end())
      continue;
    seen.push_back(name);
    httplib::Result r = anonymous.Get("/" + name);
    ASSERT_TRUE(r) << name;
    ASSERT_EQ(r->status, 200) << name;
    EXPECT_EQ(r->get_header_value("Content-Type"), WebContentType(name)) << name;
    if (name.starts_with("vendor/")) continue;  // libraries name nothing of ours
    for (std::sregex_iterator m(r->body.begin(), r->body.end(), reference), end; m != end; ++m)
      pending.push_back((*m)[1].matched ? (*m)[1].str() : (*m)[2].str());
  }
  EXPECT_GE(seen.size(), 6u);  // the page, its script, modules, styles and the grid library

  httplib::Result missing = anonymous.Get("/vendor/missing.js");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_TRUE(json::parse(missing->body).contains("error"));
}

// The files go out gzipped, compressed once, even to a client that prefers brotli (which the
// HTTP library would otherwise run at its slowest setting on every request); a client that
// refuses gzip gets the file as it is, and a revalidation with the file's tag gets 304. API
// answers are gzipped the same way, as they are made.
TEST_F(ApiServerTest, FilesAndAnswersGoOutGzippedNotBrotliAndFilesRevalidate) {
  const WebFile* grid = FindWebFile("/vendor/tabulator_esm.min.js");
  ASSERT_NE(grid, nullptr);
  httplib::Client raw("127.0.0.1", port_);
  raw.set_decompress(false);

  const char* kPath = "/vendor/tabulator_esm.min.js";
  httplib::Result zipped = raw.Get(kPath, {{"Accept-Encoding", "br, gzip"}});
  ASSERT_TRUE(zipped);
  EXPECT_EQ(zipped->status, 200);
  EXPECT_EQ(zipped->get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(zipped->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
  EXPECT_EQ(zipped->body, GzipBody(*grid));
  EXPECT_LT(zipped->body.size(), grid->body.size() / 3);
  EXPECT_EQ(GzipBody(*grid).data(), GzipBody(*grid).data());  // made once

  for (const char* refusing : {"identity", "gzip;q=0, br;q=0", ""}) {
    httplib::Result plain = raw.Get(kPath, {{"Accept-Encoding", refusing}});
    ASSERT_TRUE(plain) << refusing;
    EXPECT_FALSE(plain->has_header("Content-Encoding")) << refusing;
    EXPECT_EQ(plain->body, grid->body) << refusing;
  }

  std::string etag = zipped->get_header_value("ETag");
  ASSERT_FALSE(etag.empty());
  httplib::Result again = raw.Get(kPath, {{"If-None-Match", etag}});
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 304);
  EXPECT_TRUE(again->body.empty());
  httplib::Result other = raw.Get("/index.html", {{"If-None-Match", etag}});
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 200);

  httplib::Result answer = raw.Get("/api", {{"Accept-Encoding", "br, gzip"}});
  httplib::Result plain_answer = raw.Get("/api", {{"Accept-Encoding", "identity"}});
  ASSERT_TRUE(answer && plain_answer);
  EXPECT_EQ(answer->get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(answer->get_header_value_count("Content-Type"), 1u);
  EXPECT_FALSE(plain_answer->has_header("Content-Encoding"));
  EXPECT_LT(answer->body.size(), plain_answer->body.size() / 3);
  httplib::Client inflating("127.0.0.1", port_);
  httplib::Result inflated = inflating.Get("/api", {{"Accept-Encoding", "br, gzip"}});
  ASSERT_TRUE(inflated);
  EXPECT_EQ(inflated->body, plain_answer->body);

  EXPECT_TRUE(AcceptsGzip("gzip, deflate, br, zstd"));
  EXPECT_TRUE(AcceptsGzip("GZIP;q=0.5"));
  EXPECT_TRUE(AcceptsGzip("*"));
  EXPECT_FALSE(AcceptsGzip("br, gzip;q=0"));
  EXPECT_FALSE(AcceptsGzip("gzip;q=0.000"));
  EXPECT_FALSE(AcceptsGzip("x-gzip2, deflate"));
}

TEST_F(ApiServerTest, OversizeBodiesAreRefusedWithTheLimitAndTheServerKeepsServing) {
  std::string big = R"({"lID": 1, "pad": ")" + std::string(8192, 'x') + "\"}";
  httplib::Client c = Client();
  httplib::Result r = c.Post("/api/AmbitOrderUpdate/Write", big, "application/json");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 413);
  EXPECT_FALSE(r->get_header_value("X-Request-Id").empty());
  EXPECT_EQ(json::parse(r->body)["error"]["description"],
            "The request body is larger than the server accepts (4096 bytes; `ambit-order serve "
            "--max-body` sets the limit).");
  EXPECT_EQ(Notes(), 0);
}

TEST_F(ApiServerTest, CatalogueAndHealthNeedNoTokenCallsDo) {
  httplib::Client anonymous("127.0.0.1", port_);
  httplib::Result health = anonymous.Get("/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(json::parse(health->body),
            json({{"status", "ok"}, {"version", kVersion}, {"accounts", {"acc"}}}));
  EXPECT_EQ(anonymous.Post("/api/AmbitOrderInfo/Count", "{}", "application/json")->status, 401);
  httplib::Result api = anonymous.Get("/api");
  ASSERT_TRUE(api);
  json catalogue = json::parse(api->body);
  EXPECT_EQ(catalogue["version"], kVersion);
  ASSERT_EQ(catalogue["classes"].size(), 2u);
  EXPECT_EQ(catalogue["classes"][1]["class"], "AmbitOrderUpdate");
  EXPECT_EQ(catalogue["classes"][1]["methods"][0]["args"][1]["name"], "lID");
}

TEST_F(ApiServerTest, EveryRequestIsLoggedWithItsIdAndError) {
  httplib::Client c = Client();
  httplib::Result ok = c.Post("/api/AmbitOrderUpdate/Write",
                              httplib::Headers{{"X-Request-Id", "abc-1"}}, R"({"lID": 1})",
                              "application/json");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->get_header_value("X-Request-Id"), "abc-1");
  httplib::Result failed = c.Post("/api/AmbitOrderUpdate/WriteThenFail", R"({"lID": 2})",
                                  "application/json");
  ASSERT_TRUE(failed);
  std::string failed_id = failed->get_header_value("X-Request-Id");
  EXPECT_FALSE(failed_id.empty());
  // The logger runs after the response is sent; give the worker a moment.
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard lock(log_mu_);
      if (log_.size() >= 2) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard lock(log_mu_);
  ASSERT_EQ(log_.size(), 2u);
  // Each worker logs after its answer left, so the two lines may come in either order.
  bool ok_first = log_[0].find("id=abc-1") != std::string::npos;
  const std::string& ok_line = log_[ok_first ? 0 : 1];
  const std::string& failed_line = log_[ok_first ? 1 : 0];
  EXPECT_NE(ok_line.find("127.0.0.1 POST /api/AmbitOrderUpdate/Write id=abc-1 user=7 status=200 "),
            std::string::npos)
      << ok_line;
  EXPECT_NE(ok_line.find("ms ok"), std::string::npos) << ok_line;
  EXPECT_NE(failed_line.find("id=" + failed_id + " user=7 status=422"), std::string::npos)
      << failed_line;
  EXPECT_NE(failed_line.find("error 208 \"Invalid object name 'no_such_table'.\""),
            std::string::npos)
      << failed_line;
}

TEST_F(ApiServerTest, ConcurrentMixedCallsCompleteWithConsistentData) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 200;
  std::atomic<int> errors = 0;
  std::atomic<int> writes = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      httplib::Client c = Client();
      c.set_keep_alive(true);
      for (int i = 0; i < kCalls; ++i) {
        int id = t * 10000 + i;
        std::string path;
        std::string body;
        int expected = 200;
        switch (i % 4) {
          case 0:
          case 1:
            path = "/api/AmbitOrderUpdate/Write";
            body = "{\"lID\": " + std::to_string(id) + "}";
            break;
          case 2:
            path = "/api/AmbitOrderInfo/Count";
            body = "{}";
            break;
          default:
            path = "/api/AmbitOrderUpdate/WriteThenFail";
            body = "{\"lID\": " + std::to_string(id) + "}";
            expected = 422;
        }
        httplib::Result r = c.Post(path.c_str(), body, "application/json");
        if (!r || r->status != expected) {
          ++errors;
          continue;
        }
        if (expected == 200 && i % 4 < 2) ++writes;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(writes, kThreads * kCalls / 2);
  EXPECT_EQ(Notes(), kThreads * kCalls / 2);
  EXPECT_LE(accounts_.PoolFor("acc")->open_count(), 8u);
}

TEST_F(ApiServerTest, StopLetsTheRequestInProgressFinish) {
  std::pair<int, json> answer;
  std::thread caller([&] { answer = Post("/api/AmbitOrderInfo/Slow", R"({"lMillis": 300})"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server_->Stop();
  runner_.join();  // Run returns only once the slow call has been answered
  caller.join();
  EXPECT_EQ(answer.first, 200);
  EXPECT_EQ(answer.second["result"], true);
  // Nobody listens any more.
  httplib::Client late = Client();
  EXPECT_FALSE(late.Get("/health"));
  runner_ = std::thread([] {});  // for the fixture's join
}

TEST(ApiServerLifecycleTest, StopBeforeRunReturnsAtOnce) {
  AccountRegistry accounts;
  Dispatcher dispatcher(accounts, {});
  ServerOptions options;
  options.port = 0;
  ApiServer server(dispatcher, TokenStore(), options);
  server.Bind();
  server.Stop();
  server.Run();  // would block forever if the stop were lost
  SUCCEED();
}

TEST(ListenAddressTest, HostAndPortForms) {
  std::string host;
  int port = 0;
  ASSERT_TRUE(ParseListenAddress("0.0.0.0:9000", &host, &port));
  EXPECT_EQ(host, "0.0.0.0");
  EXPECT_EQ(port, 9000);
  ASSERT_TRUE(ParseListenAddress("8081", &host, &port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 8081);
  ASSERT_TRUE(ParseListenAddress("[::1]:80", &host, &port));
  EXPECT_EQ(host, "::1");
  EXPECT_FALSE(ParseListenAddress("localhost:http", &host, &port));
  EXPECT_FALSE(ParseListenAddress("localhost:70000", &host, &port));
  EXPECT_FALSE(ParseListenAddress("", &host, &port));
}

TEST(TokenStoreTest, EntriesAreCheckedAndTheLoginTokenDefaultsToTheBearer) {
  TokenStore store = TokenStore::FromJson(json::parse(
      R"({"a": {"userId": 16394}, "b": {"userId": -3, "languageCode": "CHT", "loginToken": "L"}})"));
  ASSERT_EQ(store.size(), 2u);
  EXPECT_EQ(store.Find("a")->LoginToken(), "a");
  EXPECT_EQ(store.Find("a")->LanguageCode(), "CHS");
  EXPECT_EQ(store.Find("b")->UserID(), -3);
  EXPECT_EQ(store.Find("b")->LoginToken(), "L");
  EXPECT_EQ(store.Find(""), nullptr);
  EXPECT_EQ(store.Find("A"), nullptr);
  for (const char* bad :
       {R"([])", R"({"": {"userId": 1}})", R"({"t": {"userId": "1"}})",
        R"({"t": {"userId": 40000}})", R"({"t": {"userId": 1, "loginToken": 5}})"})
    EXPECT_THROW(TokenStore::FromJson(json::parse(bad)), ComError) << bad;
  EXPECT_THROW(TokenStore::Load("/nonexistent/tokens.json"), ComError);
}

}  // namespace
}  // namespace ambit
