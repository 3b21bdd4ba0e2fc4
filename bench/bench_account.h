// The generated account the benchmarks run on: AMBIT_BENCH_ORDERS orders (100,000 unless set)
// of 20 shops and 500 items in a file of the temporary folder, removed again when the program
// ends (it is some hundred megabytes). ReusedBenchAccount keeps its file for the next run
// instead: a million orders take a minute to generate.
#ifndef AMBIT_BENCH_BENCH_ACCOUNT_H_
#define AMBIT_BENCH_BENCH_ACCOUNT_H_

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "accounts/demo_account.h"
#include "base/conversions.h"
#include "backends/sqlite/sqlite_connection.h"
#include "schema/account.h"

namespace ambit {

struct BenchAccount {
  std::filesystem::path path;
  std::string dsn;  // the embedded engine's connection string for the file
};

// `name` tells the benchmark programs' files apart.
inline BenchAccount GenerateBenchAccount(const std::string& name) {
  const char* env = std::getenv("AMBIT_BENCH_ORDERS");
  GenerateOptions options;
  options.orders = env ? std::atoll(env) : 100000;
  BenchAccount account;
  account.path = std::filesystem::temp_directory_path() /
                 ("ambit_" + name + "_" + std::to_string(options.orders) + ".db");
  std::filesystem::remove(account.path);
  std::fprintf(stderr, "generating %lld orders in %s ...\n",
               static_cast<long long>(options.orders), account.path.c_str());
  CreateGeneratedAccount(account.path.string(), 20, 500, options);
  RegisterSqliteBackend();
  account.dsn = schema::SqliteConnectionString(account.path.string());
  return account;
}

// An account of `orders` orders of the given state mix in AMBIT_BENCH_DIR (the temporary
// folder unless set), generated on the first run and kept. A file is used only once its
// generation finished (a ".ready" file beside it says so).
inline BenchAccount ReusedBenchAccount(const std::string& name, int64_t orders, StateMix mix) {
  const char* dir = std::getenv("AMBIT_BENCH_DIR");
  BenchAccount account;
  account.path = std::filesystem::path(dir ? dir : std::filesystem::temp_directory_path().string()) /
                 ("ambit_" + name + "_" + std::to_string(orders) +
                  (mix == StateMix::kBusy ? "_busy" : "") + ".db");
  std::filesystem::path ready = account.path.string() + ".ready";
  if (!std::filesystem::exists(ready)) {
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(account.path.string() + suffix);
    GenerateOptions options;
    options.orders = orders;
    options.mix = mix;
    std::fprintf(stderr, "generating %lld orders in %s (kept for later runs) ...\n",
                 static_cast<long long>(orders), account.path.c_str());
    CreateGeneratedAccount(account.path.string(), 20, 500, options);
    std::FILE* f = std::fopen(ready.c_str(), "w");
    if (f) std::fclose(f);
  }
  RegisterSqliteBackend();
  account.dsn = schema::SqliteConnectionString(account.path.string());
  return account;
}

inline void RemoveBenchAccount(const std::filesystem::path& path) {
  for (const char* suffix : {"", "-wal", "-shm"})
    std::filesystem::remove(path.string() + suffix);
}

// The orders a mixed load works on: its shop filter, orders awaiting review and unlocked (the
// writers' orders) and a spread of all orders (whose lines the readers ask for).
struct MixOrders {
  std::string shop;
  std::vector<int64_t> writable;
  std::vector<int64_t> any;
};

inline MixOrders SampleMixOrders(Connection& conn) {
  MixOrders m;
  m.shop = CStr(conn.Execute("SELECT MIN(FWebshopID) FROM IC_Web2ERPOrders")->Value(0));
  RecordsetPtr rs = conn.Execute(
      "SELECT TOP 400 FID FROM IC_Web2ERPOrders WHERE FOrderStatus = 1 AND FCheckStatus = 0 "
      "AND FLockStatus = 0 AND FVoidStatus = 0 AND FTransactionStatus = 38192 ORDER BY FID");
  for (; !rs->Eof(); rs->MoveNext()) m.writable.push_back(CLngLng(rs->Value(0)));
  rs = conn.Execute("SELECT FID FROM IC_Web2ERPOrders WHERE FID % 97 = 0");
  for (; !rs->Eof(); rs->MoveNext()) m.any.push_back(CLngLng(rs->Value(0)));
  return m;
}

}  // namespace ambit

#endif  // AMBIT_BENCH_BENCH_ACCOUNT_H_
