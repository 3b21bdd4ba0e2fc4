// The server under mixed load, through its HTTP API, on a generated account of 100,000 orders
// (AMBIT_BENCH_ORDERS; AMBIT_BENCH_MIX=busy for the mix where half the orders await review):
//
// BM_MixedLoad: 8 writers (SaveOrder of one order's seller message, lock and unlock, review and
// un-review of one order) and 8 readers (the first page of GetAllData under a shop and
// date-range filter, one order's lines) for AMBIT_BENCH_SECONDS (20) seconds: calls per second,
// median and 99th percentile of each kind, errors. AMBIT_BENCH_READERS=lines leaves the list
// out of the readers' round, to measure the rest of the call path on its own.
// BM_CallFloor: each kind of call alone, one at a time: wall and server CPU time per call.
// For a long soak on a shared machine: AMBIT_BENCH_THREADS=W,R (writers, readers; 8,8) and
// AMBIT_BENCH_PAUSE_MS (a pause after each round of a thread's calls) throttle the load, and
// AMBIT_BENCH_SAMPLES=file appends a line of memory figures every AMBIT_BENCH_SAMPLE_SECONDS
// (60): resident, anonymous, and for the in-process server the heap in use, the free memory the
// heap holds, and SQLite's own share of the heap.
// BM_LargeListBurst: ten GetAllData lists of 20,000 orders, four at a time: the server's resident memory
// before, at its highest and after (and after, its anonymous part alone: heap and stacks).
//
// By default the server runs in this process on the account (kept between runs, see
// ReusedBenchAccount). AMBIT_BENCH_URL=host:port aims at a server already running instead
// (token AMBIT_BENCH_TOKEN, its process AMBIT_BENCH_PID for the memory figures), so that two
// builds can be measured on the same account in one run.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "base/conversions.h"
#include "bench_account.h"
#include "classes/classes.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "schema/upgrade.h"
#include "server/api_server.h"

namespace ambit {
namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

struct Target {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string token = "bench";
  std::string pid = "self";
  MixOrders orders;
  // The in-process server, when there is no AMBIT_BENCH_URL.
  std::unique_ptr<AccountRegistry> accounts;
  std::unique_ptr<Dispatcher> dispatcher;
  std::unique_ptr<ApiServer> server;
  std::thread runner;
};

Target& Shared() {
  static Target* target = [] {
    auto* t = new Target;
    BenchAccount file = ReusedBenchAccount(
        "mixed_load", std::atoll(Env("AMBIT_BENCH_ORDERS", "100000").c_str()),
        Env("AMBIT_BENCH_MIX", "") == "busy" ? StateMix::kBusy : StateMix::kRealistic);
    ConnectionPtr conn = OpenConnection(file.dsn);
    t->orders = SampleMixOrders(*conn);
    std::string url = Env("AMBIT_BENCH_URL", "");
    if (!url.empty()) {
      if (!ParseListenAddress(url, &t->host, &t->port)) std::abort();
      t->token = Env("AMBIT_BENCH_TOKEN", "bench");
      t->pid = Env("AMBIT_BENCH_PID", "self");
      return t;
    }
    RegisterHostServices(HostServicesConfig{});
    AccountOptions options;
    // AMBIT_BENCH_WORKERS and AMBIT_BENCH_CONNECTIONS try other sizes than the server's own.
    options.pool_size = std::strtoul(
        Env("AMBIT_BENCH_CONNECTIONS", std::to_string(DefaultConnectionCount()).c_str()).c_str(),
        nullptr, 10);
    // As the server does: an account kept from an earlier release lacks the lists' indexes.
    options.prepare_account = schema::UpgradeAccountSchema;
    t->accounts = std::make_unique<AccountRegistry>(options);
    t->accounts->AddAccount(file.path.stem().string(), file.dsn);
    // AMBIT_BENCH_LIST_SLOTS: how many order lists may run at once (the server's own default
    // is one fewer than the cores); AMBIT_BENCH_LIST_NICE: how far below the other calls they
    // run.
    t->dispatcher = std::make_unique<Dispatcher>(
        *t->accounts, AllClassTables(),
        std::strtoul(Env("AMBIT_BENCH_LIST_SLOTS", std::to_string(DefaultHeavyCallSlots()).c_str())
                         .c_str(),
                     nullptr, 10),
        std::atoi(Env("AMBIT_BENCH_LIST_NICE", std::to_string(kDefaultHeavyCallNice).c_str())
                      .c_str()));
    ServerOptions server_options;
    server_options.port = 0;
    server_options.workers = std::strtoul(Env("AMBIT_BENCH_WORKERS", "0").c_str(), nullptr, 10);
    t->server = std::make_unique<ApiServer>(
        *t->dispatcher,
        TokenStore::FromJson(nlohmann::ordered_json::parse(R"({"bench": {"userId": 16394}})")),
        server_options);
    t->port = t->server->Bind();
    t->runner = std::thread([t] { t->server->Run(); });
    return t;
  }();
  return *target;
}

// Resident memory of the server process, in MB.
double ResidentMb() {
  std::FILE* f = std::fopen(("/proc/" + Shared().pid + "/statm").c_str(), "r");
  if (!f) return 0;
  unsigned long size = 0, resident = 0;
  int read = std::fscanf(f, "%lu %lu", &size, &resident);
  std::fclose(f);
  return read == 2 ? static_cast<double>(resident) * 4096 / 1e6 : 0;
}

// The part of it that is the server's own heap and stacks (not the pages of files it maps: its
// program and the account's shared-memory index), in MB.
double AnonymousMb() {
  std::FILE* f = std::fopen(("/proc/" + Shared().pid + "/status").c_str(), "r");
  if (!f) return 0;
  char line[256];
  double kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "RssAnon: %lf", &kb) == 1) break;
  std::fclose(f);
  return kb / 1e3;
}

// One line of memory figures, in MB: seconds since start, resident, anonymous, and for the
// server in this process the heap's bytes in use, its free bytes it keeps, and SQLite's bytes.
std::string MemorySample(double seconds) {
  char line[200];
  int n = std::snprintf(line, sizeof line, "%6.0f s  rss %7.1f  anon %7.1f", seconds,
                        ResidentMb(), AnonymousMb());
  if (Shared().pid == "self") {
    struct mallinfo2 m = mallinfo2();
    std::snprintf(line + n, sizeof line - static_cast<size_t>(n),
                  "  heap used %7.1f  heap free %7.1f  sqlite %6.1f",
                  static_cast<double>(m.uordblks + m.hblkhd) / 1e6,
                  static_cast<double>(m.fordblks) / 1e6,
                  static_cast<double>(sqlite3_memory_used()) / 1e6);
  }
  return line;
}

// Appends a MemorySample to AMBIT_BENCH_SAMPLES (if set) every AMBIT_BENCH_SAMPLE_SECONDS
// until stopped.
class MemorySampler {
 public:
  MemorySampler() : path_(Env("AMBIT_BENCH_SAMPLES", "")) {
    if (path_.empty()) return;
    auto every = std::chrono::seconds(std::atoi(Env("AMBIT_BENCH_SAMPLE_SECONDS", "60").c_str()));
    thread_ = std::thread([this, every] {
      auto start = Clock::now();
      std::unique_lock lock(mu_);
      do {
        double at = std::chrono::duration<double>(Clock::now() - start).count();
        if (std::FILE* f = std::fopen(path_.c_str(), "a")) {
          std::fprintf(f, "%s\n", MemorySample(at).c_str());
          std::fclose(f);
        }
      } while (!wake_.wait_for(lock, every, [this] { return stop_; }));
    });
  }
  ~MemorySampler() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mu_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  std::string path_;
  std::mutex mu_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

// Call times, counted in buckets 1/64 of a power of two wide (so a percentile is within 1 % of
// the time measured). The memory is fixed: an hour's soak keeps every call's time, and a
// vector of them grew the very process whose memory the soak watches by megabytes.
class Latencies {
 public:
  void Add(double ms) {
    ++buckets_[Bucket(static_cast<uint64_t>(std::max(ms, 0.0) * 1e3))];
    ++count_;
  }
  void Merge(const Latencies& other) {
    for (size_t b = 0; b < kBuckets; ++b) buckets_[b] += other.buckets_[b];
    count_ += other.count_;
  }
  void Clear() { *this = Latencies(); }
  size_t size() const { return count_; }
  // The time below which a share p of the calls took (the middle of its bucket), in ms.
  double Percentile(double p) const {
    if (count_ == 0) return 0;
    size_t rank = std::min(count_ - 1, static_cast<size_t>(p * static_cast<double>(count_)));
    size_t seen = 0;
    for (size_t b = 0; b < kBuckets; ++b) {
      seen += buckets_[b];
      if (seen > rank) return MidMicros(b) / 1e3;
    }
    return MidMicros(kBuckets - 1) / 1e3;
  }

 private:
  static constexpr int kSubBits = 6;  // 64 buckets per power of two
  static constexpr uint64_t kSub = uint64_t{1} << kSubBits;
  static constexpr size_t kBuckets = kSub * 36;  // up to 2^41 us: longer than any run

  static size_t Bucket(uint64_t us) {
    if (us < kSub) return us;
    int shift = std::bit_width(us) - 1 - kSubBits;
    size_t b = kSub + static_cast<size_t>(shift) * kSub + ((us >> shift) - kSub);
    return std::min(b, kBuckets - 1);
  }
  static double MidMicros(size_t b) {
    if (b < kSub) return static_cast<double>(b);
    uint64_t shift = (b - kSub) / kSub;
    uint64_t low = ((b - kSub) % kSub + kSub) << shift;
    return static_cast<double>(low) + static_cast<double>(uint64_t{1} << shift) / 2;
  }

  std::vector<uint64_t> buckets_ = std::vector<uint64_t>(kBuckets);
  size_t count_ = 0;
};

struct Kind {
  explicit Kind(const char* n) : name(n) {}
  const char* name;
  Latencies ms;
  int64_t errors = 0;
};

// One client thread's calls, by kind.
class Caller {
 public:
  Caller() : client_(Shared().host, Shared().port) {
    client_.set_bearer_token_auth(Shared().token.c_str());
    client_.set_keep_alive(true);
    client_.set_tcp_nodelay(true);
    client_.set_read_timeout(60);
  }
  void Post(Kind& kind, const std::string& path, const std::string& body) {
    auto start = Clock::now();
    httplib::Result r = client_.Post(("/api/" + path).c_str(), body, "application/json");
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kind.ms.Add(ms);
    if (!r || r->status != 200) {
      ++kind.errors;
      if (!r || kind.errors == 1)
        std::fprintf(stderr, "%s: %s after %.0f ms\n", kind.name,
                     r ? r->body.substr(0, 300).c_str() : httplib::to_string(r.error()).c_str(),
                     ms);
    }
  }

 private:
  httplib::Client client_;
};

std::string Para(const std::string& keys) { return R"({"dctPara": {)" + keys + "}}"; }

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// CPU seconds the server has used so far: this process less the calling thread, or the
// process AMBIT_BENCH_PID.
double ServerCpuSeconds() {
  if (Shared().pid == "self") {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    auto seconds = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6; };
    return seconds(self.ru_utime) + seconds(self.ru_stime) - ThreadCpuSeconds();
  }
  std::FILE* f = std::fopen(("/proc/" + Shared().pid + "/stat").c_str(), "r");
  if (!f) return 0;
  char text[1024];
  size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = 0;
  // Fields 14 and 15 (user and system ticks) follow the command name in parentheses.
  const char* p = std::strrchr(text, ')');
  unsigned long user = 0, system = 0;
  if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                        &system) != 2)
    return 0;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The calls of the mix; i picks the order (and the message text).
std::string WritableFid(size_t i) {
  return std::to_string(Shared().orders.writable[i % Shared().orders.writable.size()]);
}

void Save(Caller& c, Kind& k, size_t i) {
  c.Post(k, "AmbitOrderUpdate/SaveOrder",
         R"({"dctDataCache": {")" + WritableFid(i) + R"(": {"FSellerMessage": "call )" +
             std::to_string(i) + R"("}}})");
}

void LockUnlock(Caller& c, Kind& k, size_t i) {
  c.Post(k, "AmbitOrderUpdate/LockWebOrder",
         Para(R"("FID": ")" + WritableFid(i) + R"(", "IsLock": 1, "LockReason": "bench")"));
  c.Post(k, "AmbitOrderUpdate/LockWebOrder", Para(R"("FID": ")" + WritableFid(i) + R"(", "IsLock": 0)"));
}

void ReviewUnreview(Caller& c, Kind& k, size_t i) {
  c.Post(k, "AmbitOrderUpdate/SetWebOrderStatus",
         Para(R"("FID": ")" + WritableFid(i) + R"(", "FOrderStatus": 2)"));
  c.Post(k, "AmbitOrderUpdate/SetWebOrderStatus",
         Para(R"("FID": ")" + WritableFid(i) + R"(", "FOrderStatus": 1)"));
}

void FirstPage(Caller& c, Kind& k, size_t) {
  c.Post(k, "AmbitOrderInfo/GetAllData",
         Para(R"("PageSize": 200, "WebShopID": ")" + Shared().orders.shop +
              R"(", "OrderDateFrom": "2026-10-01", "OrderDateTo": "2026-10-31 23:59:59")"));
}

void OrderLines(Caller& c, Kind& k, size_t i) {
  const auto& any = Shared().orders.any;
  c.Post(k, "AmbitOrderInfo/GetWebOrderEntryData",
         Para(R"("FID": ")" + std::to_string(any[(i * 7919) % any.size()]) + "\""));
}

void BM_MixedLoad(benchmark::State& state) {
  Shared();
  const auto seconds = std::chrono::seconds(std::atoi(Env("AMBIT_BENCH_SECONDS", "20").c_str()));
  int writers = 8, readers = 8;
  if (std::sscanf(Env("AMBIT_BENCH_THREADS", "8,8").c_str(), "%d,%d", &writers, &readers) != 2)
    std::abort();
  const auto pause = std::chrono::milliseconds(std::atoi(Env("AMBIT_BENCH_PAUSE_MS", "0").c_str()));
  const bool lists = Env("AMBIT_BENCH_READERS", "") != "lines";
  for (auto _ : state) {
    MemorySampler sampler;
    std::vector<std::vector<Kind>> kinds(static_cast<size_t>(writers + readers));
    std::atomic<bool> stop = false;
    std::atomic<double> client_cpu = 0;
    double rss_before = ResidentMb();
    double cpu = ServerCpuSeconds();
    auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
      threads.emplace_back([&, w] {
        auto& k = kinds[w] = {Kind("save"), Kind("lock/unlock"), Kind("review/unreview")};
        Caller c;
        for (size_t i = static_cast<size_t>(w); !stop; i += writers) {
          Save(c, k[0], i);
          LockUnlock(c, k[1], i);
          ReviewUnreview(c, k[2], i);
          if (pause.count()) std::this_thread::sleep_for(pause);
        }
        client_cpu.fetch_add(ThreadCpuSeconds());
      });
    for (int r = 0; r < readers; ++r)
      threads.emplace_back([&, r] {
        auto& k = kinds[writers + r] = {Kind("first page"), Kind("order lines")};
        Caller c;
        for (size_t i = static_cast<size_t>(r); !stop; i += readers) {
          if (lists) FirstPage(c, k[0], i);
          OrderLines(c, k[1], i);
          if (pause.count()) std::this_thread::sleep_for(pause);
        }
        client_cpu.fetch_add(ThreadCpuSeconds());
      });
    std::this_thread::sleep_for(seconds);
    stop = true;
    for (auto& th : threads) th.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    // Less the client threads' own; on a machine busy with other work this says more than
    // calls/s.
    cpu = ServerCpuSeconds() - cpu - (Shared().pid == "self" ? client_cpu.load() : 0);
    // Kinds of all threads merged by name.
    std::vector<Kind> merged;
    for (auto& per_thread : kinds)
      for (Kind& k : per_thread) {
        auto it = std::find_if(merged.begin(), merged.end(),
                               [&](const Kind& m) { return std::string(m.name) == k.name; });
        if (it == merged.end()) it = merged.insert(merged.end(), Kind{k.name});
        it->ms.Merge(k.ms);
        it->errors += k.errors;
      }
    size_t calls = 0;
    int64_t errors = 0;
    Latencies all;
    for (Kind& k : merged) {
      calls += k.ms.size();
      errors += k.errors;
      all.Merge(k.ms);
      state.counters[std::string(k.name) + " p50"] = k.ms.Percentile(0.5);
      state.counters[std::string(k.name) + " p99"] = k.ms.Percentile(0.99);
      state.counters[std::string(k.name) + " calls"] = static_cast<double>(k.ms.size());
    }
    state.counters["calls/s"] = static_cast<double>(calls) / elapsed;
    state.counters["cpu ms/call"] = cpu * 1e3 / static_cast<double>(calls);
    state.counters["all p50"] = all.Percentile(0.5);
    state.counters["all p99"] = all.Percentile(0.99);
    state.counters["errors"] = static_cast<double>(errors);
    state.counters["MB before"] = rss_before;
    state.counters["MB after"] = ResidentMb();
    state.counters["MB anon after"] = AnonymousMb();
  }
}
BENCHMARK(BM_MixedLoad)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Each call kind of the mix alone, one call at a time from one client for
// AMBIT_BENCH_FLOOR_SECONDS (2) each: wall and server CPU milliseconds per call, the floor
// under which the mix cannot go on this machine.
void BM_CallFloor(benchmark::State& state) {
  Shared();
  const double seconds = std::atof(Env("AMBIT_BENCH_FLOOR_SECONDS", "2").c_str());
  struct Round {
    const char* name;
    void (*call)(Caller&, Kind&, size_t);
  };
  const Round rounds[] = {{"save", Save},
                          {"lock/unlock", LockUnlock},
                          {"review/unreview", ReviewUnreview},
                          {"first page", FirstPage},
                          {"order lines", OrderLines}};
  for (auto _ : state) {
    Caller c;
    for (const Round& round : rounds) {
      Kind k(round.name);
      round.call(c, k, 0);  // warm: the statements prepared, the pages read once
      k.ms.Clear();
      double cpu = ServerCpuSeconds();
      auto start = Clock::now();
      for (size_t i = 1; std::chrono::duration<double>(Clock::now() - start).count() < seconds; ++i)
        round.call(c, k, i);
      cpu = ServerCpuSeconds() - cpu;
      std::string name = round.name;
      state.counters[name + " ms"] = k.ms.Percentile(0.5);
      state.counters[name + " cpu ms"] = cpu * 1e3 / static_cast<double>(k.ms.size());
      state.counters[name + " errors"] = static_cast<double>(k.errors);
    }
  }
}
BENCHMARK(BM_CallFloor)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_LargeListBurst(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    double before = ResidentMb();
    std::atomic<double> peak = before;
    std::atomic<bool> done = false;
    std::thread watch([&] {
      while (!done) {
        double now = ResidentMb();
        if (now > peak) peak = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    std::atomic<int> next = 0, errors = 0;
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c)
      clients.emplace_back([&] {
        Caller caller;
        Kind k{"whole list"};
        while (next++ < 10) caller.Post(k, "AmbitOrderInfo/GetAllData", Para(R"("WebOrderMaxDisplayCount": 20000)"));
        errors += static_cast<int>(k.errors);
      });
    for (auto& c : clients) c.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    done = true;
    watch.join();
    state.counters["MB before"] = before;
    state.counters["MB peak"] = peak.load();
    state.counters["MB after"] = ResidentMb();
    state.counters["MB anon after"] = AnonymousMb();
    state.counters["errors"] = errors.load();
  }
}
BENCHMARK(BM_LargeListBurst)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace ambit

BENCHMARK_MAIN();
