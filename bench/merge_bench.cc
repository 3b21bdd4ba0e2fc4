// The automatic merge after download on a generated account of 100,000 orders (set
// AMBIT_BENCH_ORDERS for another size): MergeDownloadedOrders over the whole quarter for one
// shop, and for every shop in turn as a download run would. A buyer's orders share address and
// carrier, so those of one shop awaiting review merge. Each run is undone afterwards
// (outside the timing), so every repetition merges the same orders. Figures are medians of
// five runs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/conversions.h"
#include "bench_account.h"
#include "classes/classes.h"
#include "data/connection.h"
#include "frame/host_services.h"
#include "frame/local_host.h"
#include "merge/merge_orders.h"

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
    BenchAccount generated = GenerateBenchAccount("merge_bench");
    a->path = generated.path;
    a->dsn = generated.dsn;
    a->conn = OpenConnection(a->dsn);
    a->host = std::make_unique<LocalHost>([a](const std::string&) { return a->conn; });
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Administrator>(); });
    // The generator draws area and carrier per order; a repeat buyer's parcels go to one
    // address with one carrier, which is what makes their orders mergeable.
    a->conn->Execute(
        "SELECT FConsignee, MIN(FID) AS FFirst INTO #first FROM IC_Web2ERPOrders "
        "GROUP BY FConsignee\r\n"
        "UPDATE t SET FDeliveryProvince = f.FDeliveryProvince, FDeliveryCity = f.FDeliveryCity, "
        "FDeliveryDistrict = f.FDeliveryDistrict, FLogisticsID = f.FLogisticsID "
        "FROM IC_Web2ERPOrders t JOIN #first k ON k.FConsignee = t.FConsignee "
        "JOIN IC_Web2ERPOrders f ON f.FID = k.FFirst\r\n"
        "DROP TABLE #first");
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
    ambit::RemoveBenchAccount(ambit::created->path);
  }
  return 0;
}
