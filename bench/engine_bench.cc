// The figures the embedded engine is held to, measured in one run over one database:
//   - translating a 4 KB order-list statement (lex, parse, emit) without and with the
//     translation cache;
//   - a three-join list query over 100,000 orders run through the engine against the same
//     query written by hand for SQLite; the ratio of the two is printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/ast.h"
#include "tsql/emitter.h"
#include "tsql/parser.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

constexpr int kOrders = 100000;
constexpr int kCustomers = 20000;
constexpr int kShops = 50;

constexpr char kSchema[] = R"(
CREATE TABLE T_Shop (FID int NOT NULL PRIMARY KEY, FName nvarchar(50) NOT NULL)
CREATE TABLE T_Customer (FID int NOT NULL PRIMARY KEY, FName nvarchar(80) NOT NULL,
  FPhone varchar(20) NULL, FCity nvarchar(40) NULL)
CREATE TABLE T_Status (FCode int NOT NULL PRIMARY KEY, FName nvarchar(20) NOT NULL)
CREATE TABLE T_Order (FID int NOT NULL PRIMARY KEY, FBillNo varchar(30) NOT NULL,
  FDate datetime NOT NULL, FCustomerID int NOT NULL, FShopID int NOT NULL, FStatus int NOT NULL,
  FAmount decimal(18,2) NOT NULL, FNote nvarchar(200) NULL)
CREATE INDEX IX_Order_Date ON T_Order (FDate)
CREATE INDEX IX_Order_Customer ON T_Order (FCustomerID)
)";

// The list query as the order methods write it, and the same query as one would write it for
// SQLite directly.
constexpr char kListTsql[] = R"(SELECT TOP 200 o.FID, o.FBillNo, o.FDate, c.FName AS FCustomer,
  s.FName AS FShop, st.FName AS FStatusName, o.FAmount
FROM T_Order o WITH(NOLOCK)
INNER JOIN T_Customer c WITH(NOLOCK) ON c.FID = o.FCustomerID
INNER JOIN T_Shop s WITH(NOLOCK) ON s.FID = o.FShopID
LEFT JOIN T_Status st WITH(NOLOCK) ON st.FCode = o.FStatus
WHERE o.FDate >= '2026-06-01' AND o.FStatus IN (1, 2, 3) AND s.FName LIKE 'Shop 1%'
ORDER BY o.FDate DESC, o.FID DESC)";

constexpr char kListSqlite[] = R"(SELECT o.FID, o.FBillNo, o.FDate, c.FName AS FCustomer,
  s.FName AS FShop, st.FName AS FStatusName, o.FAmount
FROM T_Order o
JOIN T_Customer c ON c.FID = o.FCustomerID
JOIN T_Shop s ON s.FID = o.FShopID
LEFT JOIN T_Status st ON st.FCode = o.FStatus
WHERE o.FDate >= '2026-06-01' AND o.FStatus IN (1, 2, 3) AND s.FName LIKE 'Shop 1%'
ORDER BY o.FDate DESC, o.FID DESC LIMIT 200)";

void Fill(Session& session) {
  SqliteDb& db = session.db();
  db.Exec("BEGIN");
  for (int i = 1; i <= kShops; ++i) {
    db.Exec("INSERT INTO T_Shop VALUES (?1, ?2)",
            {Variant(i), Variant("Shop " + std::to_string(i))});
  }
  const char* kStatuses[] = {"New", "Checked", "Picking", "Shipped", "Closed", "Cancelled"};
  for (int i = 0; i < 6; ++i) {
    db.Exec("INSERT INTO T_Status VALUES (?1, ?2)", {Variant(i), Variant(kStatuses[i])});
  }
  const char* kCities[] = {"Berlin", "Hamburg", "Munich", "Cologne", "Leipzig"};
  for (int i = 1; i <= kCustomers; ++i) {
    db.Exec("INSERT INTO T_Customer VALUES (?1, ?2, ?3, ?4)",
            {Variant(i), Variant("Customer " + std::to_string(i)),
             Variant("0301234" + std::to_string(i)), Variant(kCities[i % 5])});
  }
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFFFF;
  };
  char date[32];
  for (int i = 1; i <= kOrders; ++i) {
    int day = static_cast<int>(next() % 365);
    int month = 1, left = day;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    while (left >= kDays[month - 1]) left -= kDays[month++ - 1];
    std::snprintf(date, sizeof date, "2026-%02d-%02d %02d:%02d:%02d", month, left + 1,
                  static_cast<int>(next() % 24), static_cast<int>(next() % 60),
                  static_cast<int>(next() % 60));
    db.Exec("INSERT INTO T_Order VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
            {Variant(i), Variant("SO" + std::to_string(100000000 + i)), Variant(date),
             Variant(static_cast<int32_t>(next() % kCustomers + 1)),
             Variant(static_cast<int32_t>(next() % kShops + 1)),
             Variant(static_cast<int32_t>(next() % 6)),
             Variant(static_cast<double>(next() % 100000) / 100),
             i % 7 == 0 ? Variant("gift wrap") : Variant::Null()});
  }
  db.Exec("COMMIT");
  db.Exec("ANALYZE");
}

Session& SharedSession() {
  static Session* session = [] {
    auto* s = new Session;
    s->Open(":memory:");
    s->Execute(kSchema);
    Fill(*s);
    return s;
  }();
  return *session;
}

// An order-list statement of about 4 KB: the shape the list methods build, with computed
// columns repeated until the text reaches its size.
std::string ListStatement() {
  std::string head = "SELECT TOP 500 o.FID, o.FBillNo AS [Bill No], o.FDate,\r\n";
  std::string tail =
      " c.FName AS FCustomer\r\n"
      "FROM T_Order o WITH(NOLOCK)\r\n"
      "INNER JOIN T_Customer c WITH(NOLOCK) ON c.FID = o.FCustomerID\r\n"
      "INNER JOIN T_Shop s WITH(NOLOCK) ON s.FID = o.FShopID\r\n"
      "LEFT JOIN T_Status st WITH(NOLOCK) ON st.FCode = o.FStatus\r\n"
      "WHERE o.FDate >= '2026-06-01' AND o.FDate < DATEADD(month, 1, '2026-11-01')\r\n"
      "  AND o.FStatus IN (1, 2, 3) AND (o.FNote IS NULL OR o.FNote NOT LIKE '%test%')\r\n"
      "  AND o.FAmount BETWEEN 0 AND 100000 AND c.FCity IN (N'Berlin', N'Hamburg', N'Munich')\r\n"
      "  AND s.FName LIKE 'Shop [1-3]%'\r\n"
      "ORDER BY o.FDate DESC, o.FID DESC\r\n";
  std::string columns;
  for (int i = 0; head.size() + columns.size() + tail.size() < 4096; ++i) {
    std::string n = std::to_string(i);
    switch (i % 4) {
      case 0:
        columns += " CASE WHEN o.FStatus = " + std::to_string(i % 6) + " THEN N'Flag " + n +
                   "' ELSE ISNULL(st.FName, '') END AS FStatusText" + n + ",\r\n";
        break;
      case 1:
        columns += " ISNULL(c.FPhone, '') + ' / ' + ISNULL(c.FCity, '') AS FContact" + n + ",\r\n";
        break;
      case 2:
        columns +=
            " CONVERT(varchar(10), DATEADD(day, " + n + ", o.FDate), 120) AS FDue" + n + ",\r\n";
        break;
      default:
        columns += " ROUND(o.FAmount * " + n + ".5 / 100, 2) AS FShare" + n + ",\r\n";
    }
  }
  return head + columns + tail;
}

void TranslateUncached(benchmark::State& state) {
  Session& session = SharedSession();
  const std::string text = ListStatement();
  EmitterContext context;
  context.variable_type = [](const std::string&) -> const TypeRef* { return nullptr; };
  context.columns = [&session](const std::string& table) { return session.Columns(table); };
  for (auto _ : state) {
    std::unique_ptr<Batch> batch = ParseBatch(text);
    const auto* select = static_cast<const SelectStmt*>(batch->statements.at(0).get());
    Emitter emitter(context);
    EmittedSql sql = emitter.Finish(emitter.SelectText(*select->select));
    benchmark::DoNotOptimize(sql);
  }
  state.counters["text_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(TranslateUncached)->Unit(benchmark::kMicrosecond);

void TranslateCached(benchmark::State& state) {
  Session& session = SharedSession();
  const std::string text = ListStatement();
  session.Compile(text);
  for (auto _ : state) benchmark::DoNotOptimize(session.Compile(text));
  state.counters["text_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(TranslateCached)->Unit(benchmark::kMicrosecond);

// The two list queries must agree before their times mean anything.
bool SameRows(const RecordsetPtr& a, const RecordsetPtr& b) {
  if (a->rows().size() != b->rows().size()) return false;
  for (size_t r = 0; r < a->rows().size(); ++r) {
    for (size_t c = 0; c < a->rows()[r].size() && c < b->rows()[r].size(); ++c) {
      if (!(a->rows()[r][c] == b->rows()[r][c])) return false;
    }
  }
  return true;
}

void ListQueryEngine(benchmark::State& state) {
  Session& session = SharedSession();
  RecordsetPtr check = session.Execute(kListTsql);
  if (!SameRows(check, session.db().Query(kListSqlite))) {
    state.SkipWithError("engine and hand-written queries return different rows");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(session.Execute(kListTsql));
  state.counters["rows"] = static_cast<double>(check->rows().size());
}
// Medians of several repetitions: the ratio of two runs on a busy machine is otherwise noise.
BENCHMARK(ListQueryEngine)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void ListQueryHandWritten(benchmark::State& state) {
  Session& session = SharedSession();
  size_t rows = 0;
  for (auto _ : state) rows = session.db().Query(kListSqlite)->rows().size();
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(ListQueryHandWritten)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// Keeps each benchmark's time so the run can end with the engine's overhead as one ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if ((single || median) && !run.error_occurred) {
        real_[run.run_name.function_name] = run.GetAdjustedRealTime();
        cpu_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    // CPU time is the steadier figure on a shared machine; both are shown.
    for (auto* times : {&real_, &cpu_}) {
      auto engine = times->find("ListQueryEngine");
      auto hand = times->find("ListQueryHandWritten");
      if (engine != times->end() && hand != times->end() && hand->second > 0) {
        std::printf("engine / hand-written list query (%s time): %.2f\n",
                    times == &real_ ? "real" : "CPU", engine->second / hand->second);
      }
    }
  }

 private:
  std::map<std::string, double> real_, cpu_;
};

}  // namespace
}  // namespace ambit::tsql

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    ambit::tsql::SharedSession();
  } catch (const ambit::ComError& e) {
    std::fprintf(stderr, "setup failed: %d %s\n", e.number(), e.description().c_str());
    return 1;
  }
  ambit::tsql::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
