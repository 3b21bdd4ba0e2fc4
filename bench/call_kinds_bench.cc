// The calls of the mixed-load benchmark one kind at a time, in process through the dispatcher
// (no HTTP, one thread): what each costs on its own, in CPU, on a generated account of 100,000
// orders (AMBIT_BENCH_ORDERS) kept in AMBIT_BENCH_DIR. The writers change that account: point
// AMBIT_BENCH_DIR at a copy of it. The account is brought up to the current schema first, and
// the allocator tuned, as the server does.
//
// The CPU time is the whole process's: the order lists run on the dispatcher's own threads.
// Each benchmark's time is one call; a lock/unlock or review/un-review iteration makes two
// calls and is reported per call. With AMBIT_SQL_PLAN set, the engine prints each statement
// and its plan the first time it prepares it: the statements a call kind runs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/conversions.h"
#include "bench_account.h"
#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "schema/upgrade.h"
#include "server/memory.h"

namespace ambit {
namespace {

using Json = nlohmann::ordered_json;

struct Setup {
  MixOrders orders;
  std::unique_ptr<AccountRegistry> accounts;
  std::unique_ptr<Dispatcher> dispatcher;
  UserLoginPtr user = std::make_shared<HostUserLogin>("16394", int16_t{16394}, "");
};

}  // namespace

Setup& Shared() {
  static Setup* s = [] {
    auto* t = new Setup;
    const char* orders = std::getenv("AMBIT_BENCH_ORDERS");
    BenchAccount file = ReusedBenchAccount("mixed_load", orders ? std::atoll(orders) : 100000,
                                           StateMix::kRealistic);
    RegisterHostServices(HostServicesConfig{});
    TuneAllocatorForServing();  // as the server does
    AccountOptions options;
    options.pool_size = 1;
    options.prepare_account = schema::UpgradeAccountSchema;
    t->accounts = std::make_unique<AccountRegistry>(options);
    t->accounts->AddAccount("bench", file.dsn);
    t->dispatcher = std::make_unique<Dispatcher>(*t->accounts, AllClassTables());
    ConnectionPtr conn = OpenConnection(file.dsn);
    t->orders = SampleMixOrders(*conn);
    return t;
  }();
  return *s;
}

namespace {

void Call(const char* cls, const char* method, Json args) {
  Setup& s = Shared();
  CallRequest request;
  request.class_name = cls;
  request.method = method;
  request.args = std::move(args);
  request.user = s.user;
  benchmark::DoNotOptimize(s.dispatcher->Invoke(request));
}

Json Para(Json keys) {
  keys["sDSN"] = "bench";
  return Json{{"dctPara", std::move(keys)}};
}

std::string Writable(size_t i) {
  return std::to_string(Shared().orders.writable[i % Shared().orders.writable.size()]);
}

void BM_SaveOrder(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::string fid = Writable(i++);
    Call("AmbitOrderUpdate", "SaveOrder",
         Json{{"sDSN", "bench"},
              {"dctDataCache", {{fid, {{"FSellerMessage", "call " + std::to_string(i)}}}}}});
  }
}
BENCHMARK(BM_SaveOrder)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_LockUnlock(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::string fid = Writable(i++);
    Call("AmbitOrderUpdate", "LockWebOrder",
         Para({{"FID", fid}, {"IsLock", 1}, {"LockReason", "bench"}}));
    Call("AmbitOrderUpdate", "LockWebOrder", Para({{"FID", fid}, {"IsLock", 0}}));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_LockUnlock)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_ReviewUnreview(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::string fid = Writable(i++);
    Call("AmbitOrderUpdate", "SetWebOrderStatus", Para({{"FID", fid}, {"FOrderStatus", 2}}));
    Call("AmbitOrderUpdate", "SetWebOrderStatus", Para({{"FID", fid}, {"FOrderStatus", 1}}));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ReviewUnreview)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_FirstPage(benchmark::State& state) {
  for (auto _ : state)
    Call("AmbitOrderInfo", "GetAllData",
         Para({{"PageSize", 200},
               {"WebShopID", Shared().orders.shop},
               {"OrderDateFrom", "2026-10-01"},
               {"OrderDateTo", "2026-10-31 23:59:59"}}));
}
BENCHMARK(BM_FirstPage)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_OrderLines(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    const std::vector<int64_t>& any = Shared().orders.any;
    Call("AmbitOrderInfo", "GetWebOrderEntryData",
         Para({{"FID", std::to_string(any[(i++ * 7919) % any.size()])}}));
  }
}
BENCHMARK(BM_OrderLines)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
}  // namespace ambit

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ambit::Shared();  // the account's upgrade and the first connection stay out of the figures
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
