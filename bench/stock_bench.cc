// Automatic batch assignment and review by stock check at the sizes a busy shop reaches in one
// click: FillBatchNo over 10,000 lines (2,000 orders of 5 lines, 40 batch-managed items with 25
// batches each, expiry-first rule, so some lines are cut) and SetWebOrderStatusByCheckStock
// over 1,000 orders of 3 lines that all pass. Each run gets a fresh in-memory account, built
// outside the timing, and runs in one transaction as under the host; each figure is the median
// of three runs.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "classes/classes.h"
#include "data/connection.h"
#include "frame/local_host.h"
#include "schema/account.h"
#include "stock/batch_fill.h"
#include "stock/stock_review.h"

namespace ambit {
namespace {

constexpr int kItems = 40;
constexpr int kBatchesPerItem = 25;

struct Account {
  ConnectionPtr conn = schema::CreateAccount(":memory:");
  std::unique_ptr<LocalHost> host =
      std::make_unique<LocalHost>([c = conn](const std::string&) { return c; });
};

// Rows go in as multi-row INSERTs of a few hundred rows, one transaction for all.
class RowWriter {
 public:
  RowWriter(Connection& conn, std::string head) : conn_(conn), head_(std::move(head)) {}
  ~RowWriter() { Flush(); }
  void Add(const std::string& values) {
    sql_ += (count_ ? ",(" : head_ + " VALUES (") + values + ")";
    if (++count_ == 200) Flush();
  }
  void Flush() {
    if (count_) conn_.Execute(sql_);
    sql_.clear();
    count_ = 0;
  }

 private:
  Connection& conn_;
  std::string head_;
  std::string sql_;
  int count_ = 0;
};

void SeedItemsAndStock(Connection& conn, bool batches) {
  conn.Execute("INSERT INTO t_Stock (FItemID, FNumber, FName) VALUES (1, 'S1', 'Main')");
  RowWriter items(conn, "INSERT INTO t_ICItem (FItemID, FNumber, FName, FUnitID, FBatchManager)");
  RowWriter stock(conn, "INSERT INTO ICInventory (FItemID, FStockID, FStockPlaceID, FBatchNo, "
                        "FKFDate, FKFPeriod, FQty)");
  for (int item = 1; item <= kItems; ++item) {
    std::string id = std::to_string(item);
    items.Add(id + ",'I" + id + "','Item " + id + "',1," + (batches ? "1" : "0"));
    if (!batches) {
      stock.Add(id + ",1,0,'','2026-01-01',0,1000000");
      continue;
    }
    for (int b = 0; b < kBatchesPerItem; ++b) {
      // Batches of 10 to 58 units, expiring a few days apart in no particular order.
      stock.Add(id + ",1,0,'B" + id + "-" + std::to_string(b) + "','2026-01-01'," +
                std::to_string((b * 7) % kBatchesPerItem) + "," + std::to_string(10 + 2 * b));
    }
  }
}

// `orders` orders of `lines` lines each, of items taken round the list, 1 to 5 units a line.
std::string SeedOrders(Connection& conn, int orders, int lines) {
  RowWriter heads(conn, "INSERT INTO IC_Web2ERPOrders (FID, FOrderID, FSiteOrderID, "
                        "FOrderStatus, FCheckStatus, FWebshopID)");
  RowWriter rows(conn, "INSERT INTO IC_Web2ERPOrdersEntry (FID, FIndex, FOrderID, FSiteOrderID, "
                       "FItemID, FUnitID, FQuantity, FPrice, FAmount, FStockID, FBuyerFreight)");
  std::string keys;
  int n = 0;
  for (int fid = 1; fid <= orders; ++fid) {
    std::string id = std::to_string(fid);
    heads.Add(id + ",'WD" + id + "','T" + id + "',1,0,'SHOP1'");
    for (int i = 1; i <= lines; ++i, ++n) {
      int qty = 1 + n % 5;
      rows.Add(id + "," + std::to_string(i) + ",'WD" + id + "','T" + id + "'," +
               std::to_string(1 + n % kItems) + ",1," + std::to_string(qty) + ",3," +
               std::to_string(3 * qty) + ",1,1");
    }
    keys += (keys.empty() ? "" : ",") + id;
  }
  return keys;
}

// GCC 12 at -O3 takes the string alternative of a Variant moved into a Vector for
// uninitialised (a known false positive of std::variant, GCC bug 80635).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
VectorPtr OrderKeys(int orders) {
  VectorPtr keys = NewVector();
  for (int fid = 1; fid <= orders; ++fid) keys->Add(Variant(fid));
  return keys;
}
#pragma GCC diagnostic pop

void BM_FillBatchNo(benchmark::State& state) {
  int64_t cut_text = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto account = std::make_unique<Account>();
    account->conn->Execute("UPDATE t_SystemProfile SET FValue = '1' WHERE FCategory = 'EC' AND "
                           "FKey = 'AutoBatchNo'");
    SeedItemsAndStock(*account->conn, true);
    SeedOrders(*account->conn, 2000, 5);
    VectorPtr keys = OrderKeys(2000);
    AmbitOrderUpdate update;
    state.ResumeTiming();
    account->conn->BeginTrans();  // as the host runs every AmbitOrderUpdate call
    std::string result = FillBatchNo(update, update.AutoBatchNo(), "acc", keys, nullptr);
    account->conn->CommitTrans();
    cut_text = static_cast<int64_t>(result.size());
    state.PauseTiming();
    account.reset();
    state.ResumeTiming();
  }
  state.counters["result_chars"] = static_cast<double>(cut_text);
}

void BM_SetWebOrderStatusByCheckStock(benchmark::State& state) {
  int64_t messages = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto account = std::make_unique<Account>();
    SeedItemsAndStock(*account->conn, false);
    std::string keys = SeedOrders(*account->conn, 1000, 3);
    AmbitOrderUpdate update;
    state.ResumeTiming();
    account->conn->BeginTrans();
    VectorPtr result = SetWebOrderStatusByCheckStock(update, "acc", keys, false);
    account->conn->CommitTrans();
    messages = result->Count();
    state.PauseTiming();
    account.reset();
    state.ResumeTiming();
  }
  state.counters["messages"] = static_cast<double>(messages);
}

BENCHMARK(BM_FillBatchNo)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SetWebOrderStatusByCheckStock)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace ambit

BENCHMARK_MAIN();
