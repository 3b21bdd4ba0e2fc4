// Splitting 1,000 three-line orders in one SplitOrders call, in one transaction as the host
// runs an update call. Every order belongs to a downloaded trade, so each new order also gets
// its trade refresh. The account is rebuilt (untimed) before each run, as the split consumes
// its orders. Set AMBIT_BENCH_SPLIT_ORDERS for another count; "Origin" 1 adds unique codes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "classes/classes.h"
#include "frame/local_host.h"
#include "schema/account.h"
#include "split/split_orders.h"

namespace ambit {
namespace {

int OrderCount() {
  const char* env = std::getenv("AMBIT_BENCH_SPLIT_ORDERS");
  return env ? std::atoi(env) : 1000;
}

// Orders 1..n, each of three lines with money, each trade downloaded.
void Seed(Connection& conn, int orders) {
  std::string values;
  for (int i = 1; i <= orders; ++i) {
    std::string n = std::to_string(i);
    values += (i > 1 ? ",(" : "(") + n + ",'SO" + n + "','T" + n + "',60,3,'WB','consignee')";
  }
  conn.Execute("INSERT INTO IC_Web2ERPOrders (FID, FOrderID, FSiteOrderID, FAmount, "
               "FTotalFreight, FLogisticsOrder, FConsignee) VALUES " + values);
  for (int line = 1; line <= 3; ++line) {
    conn.Execute("INSERT INTO IC_Web2ERPOrdersEntry (FID, FIndex, FOrderID, FSiteOrderID, "
                 "FItemID, FQuantity, FAmount, FBuyerFreight) SELECT FID, " +
                 std::to_string(line) + ", FOrderID, FSiteOrderID, " + std::to_string(line) +
                 ", 2, 20, 1 FROM IC_Web2ERPOrders");
  }
  conn.Execute("INSERT INTO IC_Trade (FTID, FWebShopID, FWebShopFID, FPayTime, FModifiedTime, "
               "FCreatedTime, FStatus) SELECT FSiteOrderID, 'SHOP1', 1, '2026-01-02', "
               "'2026-01-03', '2026-01-01', 'WAIT_SELLER_SEND_GOODS' FROM IC_Web2ERPOrders");
}

// GCC 12 at -O3 reports the string alternative of a Variant moved while the Vector grows as
// maybe uninitialized, a false positive of its variant analysis.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
VectorPtr OrderKeys(int orders) {
  VectorPtr keys = NewVector();
  for (int fid = 1; fid <= orders; ++fid) keys->Add(Variant(fid));
  return keys;
}
#pragma GCC diagnostic pop

void BM_SplitOrders(benchmark::State& state) {
  int orders = OrderCount();
  VectorPtr keys = OrderKeys(orders);
  std::string result;
  for (auto _ : state) {
    state.PauseTiming();
    ConnectionPtr conn = schema::CreateAccount(":memory:");
    Seed(*conn, orders);
    LocalHost host([conn](const std::string&) { return conn; });
    AmbitOrderUpdate update;
    DictionaryPtr para = NewDictionary();
    para->SetValue("Origin", Variant(static_cast<int16_t>(state.range(0))));
    state.ResumeTiming();
    conn->BeginTrans();
    result = SplitOrders(update, "bench", keys, para);
    conn->CommitTrans();
  }
  state.counters["orders"] = orders;
  if (result.empty()) state.SkipWithError("nothing was split");
}

BENCHMARK(BM_SplitOrders)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace ambit

BENCHMARK_MAIN();
