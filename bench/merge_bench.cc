// The automatic merge after download on a generated account of 100,000 orders (set
// AMBIT_BENCH_ORDERS for another size): MergeDownloadedOrders over the whole quarter for one
// shop, and for every shop in turn as a download run would. Each run is undone afterwards
// (outside the timing), so every repetition merges the same orders. Figures are medians of
// five runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "accounts/demo_account.h"
#include "base/conversions.h"
#include "classes/classes.h"
#include "data/connection.h"
#include "data/sqlite_connection.h"
#include "frame/host_services.h"
#include "frame/local_host.h"
#include "merge/merge_orders.h"
#include "schema/account.h"

namespace ambit {
namespace {

class Administrator : public SecurityInfo {
 public:
  Variant GetCurrentUserID(const std::string&) override { return Variant(int32_t{16394}); }
};

struct Account {
  std::filesystem::path path;
  ConnectionPtr conn;
  std::unique_ptr<LocalHost> host;
  std::string dsn;
  std::vector<int32_t> shops;  // IC_WebshopToStorage.FID
};

Account* created = nullptr;

Account& Shared() {
  static Account* account = [] {
    auto* a = new Account;
    const char* env = std::getenv("AMBIT_BENCH_ORDERS");
    GenerateOptions options;
    options.orders = env ? std::atoll(env) : 100000;
    a->path = std::filesystem::temp_directory_path() /
              ("ambit_merge_bench_" + std::to_string(options.orders) + ".db");
    std::filesystem::remove(a->path);
    std::fprintf(stderr, "generating %lld orders in %s ...\n",
                 static_cast<long long>(options.orders), a->path.c_str());
    CreateGeneratedAccount(a->path.string(), 20, 500, options);
    RegisterSqliteBackend();
    a->dsn = schema::SqliteConnectionString(a->path.string());
    a->conn = OpenConnection(a->dsn);
    a->host = std::make_unique<LocalHost>([a](const std::string&) { return a->conn; });
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Administrator>(); });
    RecordsetPtr rs = a->conn->Execute("SELECT FID FROM IC_WebshopToStorage ORDER BY FID");
    for (; !rs->Eof(); rs->MoveNext()) a->shops.push_back(CLng(rs->Value(0)));
    created = a;
    return a;
  }();
  return *account;
}

// Merges the awaiting orders of the quarter for `shops`, then undoes the merge untimed.
void TimeMerge(benchmark::State& state, bool all_shops) {
  Account& a = Shared();
  std::vector<int32_t> shops = all_shops ? a.shops : std::vector<int32_t>{a.shops.front()};
  int64_t merged = 0;
  for (auto _ : state) {
    a.conn->BeginTrans();
    AmbitOrderUpdate update;
    for (int32_t shop : shops)
      MergeDownloadedOrders(update, a.dsn, shop, "2026-01-01", "2026-12-31 23:59:59", 1, false);
    state.PauseTiming();
    merged = CLng(
        a.conn->Execute("SELECT COUNT(*) FROM IC_Web2ERPOrders WHERE FMergeStatus = 1")->Value(0));
    a.conn->RollbackTrans();
    state.ResumeTiming();
  }
  state.counters["merged_orders"] = static_cast<double>(merged);
}

void BM_MergeDownloadedOrders_OneShop(benchmark::State& s) { TimeMerge(s, false); }
void BM_MergeDownloadedOrders_AllShops(benchmark::State& s) { TimeMerge(s, true); }

BENCHMARK(BM_MergeDownloadedOrders_OneShop)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_MergeDownloadedOrders_AllShops)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace ambit

// The generated account is some hundred megabytes: it goes when the run ends.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (ambit::created) {
    ambit::created->host.reset();
    ambit::created->conn.reset();
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(ambit::created->path.string() + suffix);
  }
  return 0;
}
