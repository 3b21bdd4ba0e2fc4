// The whole product behind a real HTTP server on a loopback port the system picks, serving a
// fresh account file under `name`: for tests that go through the server and the real classes.
// The bearer token is "t" (user 16394, the administrator).
//
//   class MyTest : public ::testing::Test {
//    protected:
//     testing::ProductServer server_{"shop"};
//   };
//   SeedOrder(server_.conn(), {.fid = 1});
//   auto [status, body] = server_.Post("/api/AmbitOrderInfo/GetAllData", "{...}");
#ifndef AMBIT_TESTS_SUPPORT_PRODUCT_SERVER_H_
#define AMBIT_TESTS_SUPPORT_PRODUCT_SERVER_H_

#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "classes/classes.h"
#include "host/host_services.h"
#include "server/api_server.h"
#include "support/account_fixture.h"

namespace ambit::testing {

class ProductServer {
 public:
  explicit ProductServer(std::string name, size_t workers = 0)
      : name_(std::move(name)),
        path_(std::filesystem::temp_directory_path() /
              ("ambit-" + name_ + "-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db")),
        dispatcher_(accounts_, AllClassTables()) {
    RegisterSqliteBackend();
    RegisterHostServices(HostServicesConfig{});
    Remove();
    conn_ = FreshAccountFile(path_.string());
    accounts_.AddAccount(name_, schema::SqliteConnectionString(path_.string()));
    ServerOptions options;
    options.port = 0;
    options.workers = workers;
    server_ = std::make_unique<ApiServer>(
        dispatcher_,
        TokenStore::FromJson(nlohmann::ordered_json::parse(R"({"t": {"userId": 16394}})")),
        options);
    port_ = server_->Bind();
    runner_ = std::thread([this] { server_->Run(); });
  }
  ~ProductServer() {
    server_->Stop();
    runner_.join();
    conn_.reset();
    Remove();
  }
  ProductServer(const ProductServer&) = delete;
  ProductServer& operator=(const ProductServer&) = delete;

  // The account, for seeding and for checking what a call left.
  Connection& conn() { return *conn_; }
  const std::string& name() const { return name_; }
  int port() const { return port_; }

  // Status and body of an authenticated POST; status 0 when the server did not answer.
  std::pair<int, std::string> Post(const std::string& path, const std::string& body,
                                   const char* content_type = "application/json") {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(120);
    c.set_bearer_token_auth("t");
    httplib::Result r = c.Post(path.c_str(), body, content_type);
    return r ? std::make_pair(r->status, r->body) : std::make_pair(0, std::string());
  }
  // Status and body of a GET without a token.
  std::pair<int, std::string> Get(const std::string& path) {
    httplib::Client c("127.0.0.1", port_);
    httplib::Result r = c.Get(path.c_str());
    return r ? std::make_pair(r->status, r->body) : std::make_pair(0, std::string());
  }

 private:
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::filesystem::remove(path_.string() + suffix);
  }

  std::string name_;
  std::filesystem::path path_;
  ConnectionPtr conn_;
  AccountRegistry accounts_;
  Dispatcher dispatcher_;
  std::unique_ptr<ApiServer> server_;
  int port_ = 0;
  std::thread runner_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_PRODUCT_SERVER_H_
