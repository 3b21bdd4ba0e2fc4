// The status lists at a million orders (AMBIT_BENCH_ORDERS for another size), side by side in
// one run (each figure the median of three): the first page of the awaiting-review list, a first
// page under a shop and date-range filter, a first page of a month of order dates and of pay
// dates and of one order day, the first pages of the lists split by refund state and of filters
// on the refund state, the service-order flag and a ready-made filter (pre-selection), the
// 100th page through the keyset, counting mode, and the whole awaiting-review list
// three ways: through the method, through the method and written as the server's JSON (and as the
// JSON tree the server built before), and the very statement the engine ran stepped by a plain
// SQLite loop that reads every cell (what no result path can beat).
//
// The account is generated once with the realistic state mix and kept (see
// ReusedBenchAccount): a million orders take about a minute.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "backends/sqlite/sqlite_connection.h"
#include "tsql/session.h"
#include "base/conversions.h"
#include "bench_account.h"
#include "bench_host.h"
#include "classes/classes.h"
#include "frame/variant_json.h"
#include "query/list_paging.h"
#include "query/status_lists.h"
#include "schema/upgrade.h"

namespace ambit {
namespace {

struct Account {
  BenchAccount file;
  std::unique_ptr<BenchHost> bench;
  std::string shop;        // the shop of the filtered page
  std::string date_from;   // a month of order dates
  std::string date_to;
  std::string page100;     // the cursor the 99th page of GetAllData answers
};

Account& Shared() {
  static Account* account = [] {
    const char* env = std::getenv("AMBIT_BENCH_ORDERS");
    auto* a = new Account;
    a->file = ReusedBenchAccount("list_pages", env ? std::atoll(env) : 1000000,
                                 StateMix::kRealistic);
    a->bench = std::make_unique<BenchHost>(a->file.dsn);
    Connection& conn = a->bench->conn->inner();
    // A kept account from an earlier build takes the current indexes, as a server would.
    schema::UpgradeAccountSchema(conn);
    a->shop = CStr(conn.Execute("SELECT MIN(FWebshopID) FROM IC_Web2ERPOrders")->Value(0));
    a->date_from = "2026-10-01";
    a->date_to = "2026-10-31 23:59:59";
    return a;
  }();
  return *account;
}

DictionaryPtr Para(std::initializer_list<std::pair<const char*, Variant>> keys) {
  return ListPara(Shared().file.dsn, keys);
}

// The cursor of the row that ends page `pages` of GetAllData. Walking 99 pages through the
// method would cost a hundred first pages before the timing starts, so it is read from the
// table in the list's order: the rows GetAllData leaves out make the page at most a little
// shallower, never cheaper to seek.
const std::string& CursorAfterPages(int pages) {
  Account& a = Shared();
  if (a.page100.empty()) {
    auto& engine = dynamic_cast<SqliteConnection&>(a.bench->conn->inner());
    RecordsetPtr rs = engine.session().db().Query(
        "SELECT FSitePayDate, FID, FOrderID FROM IC_Web2ERPOrders ORDER BY FSitePayDate, "
        "FOrderID, FID LIMIT 1 OFFSET " + std::to_string(pages * 200 - 1));
    a.page100 = FormatPageCursor(rs->Value(0), rs->Value(1), rs->Value(2));
  }
  return a.page100;
}

void BM_WaitVerifyFirstPage(benchmark::State& s) {
  TimeMethod(s, &GetWaitVerifyData, Para({{"PageSize", Variant(int32_t{200})}}));
}
void BM_AllDataShopAndDatesFirstPage(benchmark::State& s) {
  Account& a = Shared();
  TimeMethod(s, &GetAllData,
             Para({{"PageSize", Variant(int32_t{200})},
                   {"WebShopID", Variant(a.shop)},
                   {"OrderDateFrom", Variant(a.date_from)},
                   {"OrderDateTo", Variant(a.date_to)}}));
}
// The same month for every shop, by order date (the list's order is the pay date's, so the
// orders before the month are passed over in the pay-date index) or by pay date (a seek).
void TimeMonthPage(benchmark::State& s, const char* from_key, const char* to_key) {
  Account& a = Shared();
  TimeMethod(s, &GetAllData,
             Para({{"PageSize", Variant(int32_t{200})},
                   {from_key, Variant(a.date_from)},
                   {to_key, Variant(a.date_to)}}));
}
void BM_AllDataOrderDatesFirstPage(benchmark::State& s) {
  TimeMonthPage(s, "OrderDateFrom", "OrderDateTo");
}
void BM_AllDataPayDatesFirstPage(benchmark::State& s) {
  TimeMonthPage(s, "PayDateFrom", "PayDateTo");
}
// A narrow range of order dates (the last day) without a shop: the walk in pay-date order
// passes over the whole account before the day.
void BM_AllDataOrderDayFirstPage(benchmark::State& s) {
  TimeMethod(s, &GetAllData,
             Para({{"PageSize", Variant(int32_t{200})},
                   {"OrderDateFrom", Variant("2026-11-30")},
                   {"OrderDateTo", Variant("2026-11-30 23:59:59")}}));
}
// The review lists that split the awaiting orders by refund state, and filters on the refund
// state and the service-order flag, which read the lines' views.
void BM_NoVerifyFirstPage(benchmark::State& s) {
  TimeMethod(s, &GetNoVerifyData, Para({{"PageSize", Variant(int32_t{200})}}));
}
void BM_WaitVerify2FirstPage(benchmark::State& s) {
  TimeMethod(s, &GetWaitVerifyData2, Para({{"PageSize", Variant(int32_t{200})}}));
}
void BM_NoVerifyCount(benchmark::State& s) {
  TimeMethod(s, &GetNoVerifyData, Para({{"stTypeCount", Variant("1")}}));
}
void TimeFieldPage(benchmark::State& s, const char* field) {
  TimeMethod(s, &GetAllData,
             Para({{"PageSize", Variant(int32_t{200})},
                   {"FieldName", Variant(field)},
                   {"Compare", Variant("=")},
                   {"FieldValue", Variant("Y")}}));
}
void BM_AllDataRefundFirstPage(benchmark::State& s) { TimeFieldPage(s, "FTextApplyForRefund"); }
void BM_AllDataServiceOrderFirstPage(benchmark::State& s) {
  TimeFieldPage(s, "FIsJzserviceOrder");
}
// A ready-made filter selects its orders into #Data over every join of the list first.
void BM_AllDataPreSelectionFirstPage(benchmark::State& s) {
  Account& a = Shared();
  TimeMethod(s, &GetAllData,
             Para({{"PageSize", Variant(int32_t{200})},
                   {"AdvancedFilter", Variant(" AND t1.FWebshopID = '" + a.shop + "'")}}));
}
void BM_AllDataPage100(benchmark::State& s) {
  std::string cursor = CursorAfterPages(99);
  TimeMethod(s, &GetAllData,
             Para({{"PageSize", Variant(int32_t{200})}, {"PageAfter", Variant(cursor)}}));
}
void BM_WaitVerifyCount(benchmark::State& s) {
  TimeMethod(s, &GetWaitVerifyData, Para({{"stTypeCount", Variant("1")}}));
}
void BM_WaitVerifyAll(benchmark::State& s) { TimeMethod(s, &GetWaitVerifyData, Para({})); }

// The method and its answer as JSON text, the way the server writes it now (straight from the
// recordset) and the way it did before (a tree, then its dump).
void TimeWithJson(benchmark::State& state, bool tree) {
  Shared();
  AmbitOrderInfo info;
  DictionaryPtr para = Para({});
  size_t bytes = 0;
  for (auto _ : state) {
    Variant result(GetWaitVerifyData(info, para));
    if (tree) {
      bytes = VariantToJson(result).dump(-1, ' ', false, Json::error_handler_t::replace).size();
    } else {
      bytes = 0;
      JsonText text(
          [&bytes](std::string_view piece) {
            bytes += piece.size();
            return true;
          },
          256 * 1024);
      WriteVariantJson(result, text);
      text.Flush();
    }
  }
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
void BM_WaitVerifyAllAsJson(benchmark::State& s) { TimeWithJson(s, false); }
void BM_WaitVerifyAllAsJsonTree(benchmark::State& s) { TimeWithJson(s, true); }

// The SQLite statement the engine ran last, with its parameters in the text.
std::string LastStatement(sqlite3* db, const std::function<void()>& run) {
  static std::string last;
  sqlite3_trace_v2(
      db, SQLITE_TRACE_STMT,
      [](unsigned, void*, void* stmt, void*) {
        auto* s = static_cast<sqlite3_stmt*>(stmt);
        if (sqlite3_column_count(s) > 0) {
          char* sql = sqlite3_expanded_sql(s);
          if (sql) last = sql;
          sqlite3_free(sql);
        }
        return 0;
      },
      nullptr);
  run();
  sqlite3_trace_v2(db, 0, nullptr, nullptr);
  return last;
}

void BM_WaitVerifyAll_SqliteLoop(benchmark::State& state) {
  Account& a = Shared();
  auto& engine = dynamic_cast<SqliteConnection&>(a.bench->conn->inner());
  sqlite3* db = engine.session().db().handle();
  AmbitOrderInfo info;
  std::string sql = LastStatement(db, [&] { GetWaitVerifyData(info, Para({})); });
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    state.SkipWithError(sqlite3_errmsg(db));
    return;
  }
  int64_t rows = 0;
  for (auto _ : state) {
    rows = 0;
    int64_t touched = 0;  // every cell is read, as a client of the rows would
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++rows;
      for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
        switch (sqlite3_column_type(stmt, c)) {
          case SQLITE_INTEGER: touched += sqlite3_column_int64(stmt, c); break;
          case SQLITE_FLOAT: touched += static_cast<int64_t>(sqlite3_column_double(stmt, c)); break;
          case SQLITE_TEXT:
            touched += sqlite3_column_text(stmt, c)[0] + sqlite3_column_bytes(stmt, c);
            break;
          default: break;
        }
      }
    }
    sqlite3_reset(stmt);
    benchmark::DoNotOptimize(touched);
  }
  sqlite3_finalize(stmt);
  state.counters["rows"] = static_cast<double>(rows);
}

#define AMBIT_PAGE_BENCH(fn) \
  BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true)

AMBIT_PAGE_BENCH(BM_WaitVerifyFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataShopAndDatesFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataOrderDatesFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataPayDatesFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataOrderDayFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_NoVerifyFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_WaitVerify2FirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_NoVerifyCount)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataRefundFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataServiceOrderFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataPreSelectionFirstPage)->Iterations(1);
AMBIT_PAGE_BENCH(BM_AllDataPage100)->Iterations(1);
AMBIT_PAGE_BENCH(BM_WaitVerifyCount)->Iterations(1);
AMBIT_PAGE_BENCH(BM_WaitVerifyAll)->Iterations(1);
AMBIT_PAGE_BENCH(BM_WaitVerifyAllAsJson)->Iterations(1);
AMBIT_PAGE_BENCH(BM_WaitVerifyAllAsJsonTree)->Iterations(1);
AMBIT_PAGE_BENCH(BM_WaitVerifyAll_SqliteLoop)->Iterations(1);

}  // namespace
}  // namespace ambit

BENCHMARK_MAIN();
