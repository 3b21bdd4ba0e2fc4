// The order workbench's busiest calls on a generated account of 100,000 orders (set
// AMBIT_BENCH_ORDERS for another size): GetWaitVerifyData, GetAllData under a filter and
// GetWebOrderEntryData, each next to the very statement it ran executed straight on the engine,
// so that what the method adds (filter, shop rights, frame) is visible. Each figure is the
// median of five runs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/conversions.h"
#include "bench_account.h"
#include "bench_host.h"
#include "classes/classes.h"
#include "query/status_lists.h"

namespace ambit {
namespace {

struct Account {
  std::filesystem::path path;
  std::unique_ptr<BenchHost> bench_host;
  RecordingConnection* conn = nullptr;
  std::string dsn;
  std::string middle_fid;
};

Account* created = nullptr;

Account& Shared() {
  static Account* account = [] {
    auto* a = new Account;
    BenchAccount generated = GenerateBenchAccount("order_lists_bench");
    a->path = generated.path;
    a->dsn = generated.dsn;
    a->bench_host = std::make_unique<BenchHost>(a->dsn);
    a->conn = a->bench_host->conn.get();
    RecordsetPtr rs = a->conn->Execute("SELECT MAX(FID) / 2 FROM IC_Web2ERPOrders");
    a->middle_fid = CStr(rs->Value(0));
    created = a;
    return a;
  }();
  return *account;
}

DictionaryPtr Para(std::initializer_list<std::pair<const char*, Variant>> keys) {
  return ListPara(Shared().dsn, keys);
}

// The statement the method sent last, run again straight on the engine's connection.
void TimeStatement(benchmark::State& state, ListMethod method, const DictionaryPtr& para) {
  Account& a = Shared();
  AmbitOrderInfo info;
  method(info, para);
  std::string sql = a.conn->last();
  int64_t rows = 0;
  for (auto _ : state) {
    RecordsetPtr rs = a.conn->inner().Execute(sql);
    rows = rs->RecordCount();
    benchmark::DoNotOptimize(rs);
  }
  state.counters["rows"] = static_cast<double>(rows);
}

DictionaryPtr AllDataFilter() {
  return Para({{"TranStatus", Variant(38192)},
               {"FGoodsCountBegin", Variant("2")},
               {"SellerCompare", Variant("NULL")}});
}
DictionaryPtr EntryOfMiddleOrder() { return Para({{"FID", Variant(Shared().middle_fid)}}); }

void BM_GetWaitVerifyData(benchmark::State& s) { TimeMethod(s, &GetWaitVerifyData, Para({})); }
void BM_GetWaitVerifyData_Sql(benchmark::State& s) {
  TimeStatement(s, &GetWaitVerifyData, Para({}));
}
void BM_GetAllDataFiltered(benchmark::State& s) { TimeMethod(s, &GetAllData, AllDataFilter()); }
void BM_GetAllDataFiltered_Sql(benchmark::State& s) {
  TimeStatement(s, &GetAllData, AllDataFilter());
}
void BM_GetWebOrderEntryData(benchmark::State& s) {
  TimeMethod(s, &GetWebOrderEntryData, EntryOfMiddleOrder());
}
void BM_GetWebOrderEntryData_Sql(benchmark::State& s) {
  TimeStatement(s, &GetWebOrderEntryData, EntryOfMiddleOrder());
}

#define AMBIT_LIST_BENCH(fn) \
  BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)

AMBIT_LIST_BENCH(BM_GetWaitVerifyData)->Iterations(1);
AMBIT_LIST_BENCH(BM_GetWaitVerifyData_Sql)->Iterations(1);
AMBIT_LIST_BENCH(BM_GetAllDataFiltered)->Iterations(1);
AMBIT_LIST_BENCH(BM_GetAllDataFiltered_Sql)->Iterations(1);
AMBIT_LIST_BENCH(BM_GetWebOrderEntryData);
AMBIT_LIST_BENCH(BM_GetWebOrderEntryData_Sql);

}  // namespace
}  // namespace ambit

// The generated account is some hundred megabytes: it goes when the run ends.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (ambit::created) {
    ambit::created->bench_host.reset();
    ambit::RemoveBenchAccount(ambit::created->path);
  }
  return 0;
}
