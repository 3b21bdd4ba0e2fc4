// Requests per second and median latency of the HTTP server on loopback, for a small query
// method, with 1, 4 and 16 concurrent clients (one keep-alive connection each).
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "backends/sqlite/sqlite_connection.h"
#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "server/api_server.h"

namespace ambit {
namespace {

namespace fs = std::filesystem;

// One query of a few rows: what a list screen asks most often, minus the real SQL's weight.
MethodTable BenchTable() {
  MethodTable t(ComponentClass::kOrderInfo, [] { return std::make_unique<AmbitOrderInfo>(); });
  t.Add({"TopNotes",
         {{"sDsn", ArgKind::kText}, {"lCount", ArgKind::kInt32}},
         ResultKind::kRecordset,
         "the first notes",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "TopNotes", a[0].string_value(), [&](MethodScope& m) {
             return Variant(m.conn().Execute("SELECT TOP " + std::to_string(a[1].long_value()) +
                                             " id, txt FROM notes ORDER BY id\r\n"));
           });
         }});
  return t;
}

// The server lives for the whole program; every benchmark run shares it.
struct BenchServer {
  BenchServer()
      : path(fs::temp_directory_path() / ("ambit-bench-" + std::to_string(::getpid()) + ".db")),
        table(BenchTable()) {
    RegisterSqliteBackend();
    std::string cs = "Provider=SQLite;Data Source=" + path.string();
    ConnectionPtr c = OpenConnection(cs);
    c->Execute("CREATE TABLE notes (id INT PRIMARY KEY, txt VARCHAR(50))");
    for (int i = 0; i < 100; ++i)
      c->Execute("INSERT INTO notes VALUES (" + std::to_string(i) + ", 'note " + std::to_string(i) +
                 "')");
    accounts = std::make_unique<AccountRegistry>();
    accounts->AddAccount("bench", cs);
    dispatcher = std::make_unique<Dispatcher>(*accounts, std::vector<const MethodTable*>{&table});
    TokenStore tokens =
        TokenStore::FromJson({{"bench", {{"userId", 1}, {"languageCode", "CHS"}}}});
    ServerOptions options;
    options.port = 0;
    server = std::make_unique<ApiServer>(*dispatcher, std::move(tokens), options);
    port = server->Bind();
    runner = std::thread([this] { server->Run(); });
  }
  ~BenchServer() {
    server->Stop();
    runner.join();
    for (const char* s : {"", "-wal", "-shm"}) fs::remove(path.string() + s);
  }

  fs::path path;
  MethodTable table;
  std::unique_ptr<AccountRegistry> accounts;
  std::unique_ptr<Dispatcher> dispatcher;
  std::unique_ptr<ApiServer> server;
  int port = 0;
  std::thread runner;
};

BenchServer& Server() {
  static BenchServer server;
  return server;
}

void BM_QueryOverHttp(benchmark::State& state) {
  httplib::Client client("127.0.0.1", Server().port);
  client.set_bearer_token_auth("bench");
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  std::vector<double> latencies;
  int64_t failures = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    httplib::Result r =
        client.Post("/api/AmbitOrderInfo/TopNotes", R"({"lCount": 10})", "application/json");
    latencies.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
    if (!r || r->status != 200) ++failures;
  }
  std::sort(latencies.begin(), latencies.end());
  state.SetItemsProcessed(state.iterations());
  // Averaged over the clients: each thread's median, then the mean of those.
  state.counters["median_us"] = benchmark::Counter(
      latencies.empty() ? 0 : latencies[latencies.size() / 2], benchmark::Counter::kAvgThreads);
  state.counters["failures"] = benchmark::Counter(static_cast<double>(failures));
}
BENCHMARK(BM_QueryOverHttp)->Threads(1)->Threads(4)->Threads(16)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace ambit

BENCHMARK_MAIN();
