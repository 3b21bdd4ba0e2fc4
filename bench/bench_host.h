// What the order-list benchmarks share: an in-process host on one connection that remembers the
// last batch it ran, an administrator, and no user groups (shop rights let everything through).
#ifndef AMBIT_BENCH_BENCH_HOST_H_
#define AMBIT_BENCH_BENCH_HOST_H_

#include <benchmark/benchmark.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "classes/classes.h"
#include "data/connection.h"
#include "frame/host.h"
#include "frame/host_services.h"
#include "frame/local_host.h"

namespace ambit {

// Remembers the last statement, to run it again without the method around it.
class RecordingConnection : public Connection {
 public:
  explicit RecordingConnection(ConnectionPtr inner) : inner_(std::move(inner)) {}
  RecordsetPtr Execute(std::string_view sql) override {
    last_ = std::string(sql);
    return inner_->Execute(sql);
  }
  void BeginTrans() override { inner_->BeginTrans(); }
  void CommitTrans() override { inner_->CommitTrans(); }
  void RollbackTrans() override { inner_->RollbackTrans(); }
  int TransactionDepth() const override { return inner_->TransactionDepth(); }
  void Reset() override { inner_->Reset(); }
  std::string_view BackendName() const override { return inner_->BackendName(); }
  const std::string& last() const { return last_; }
  Connection& inner() { return *inner_; }

 private:
  ConnectionPtr inner_;
  std::string last_;
};

class BenchAdministrator : public SecurityInfo {
 public:
  Variant GetCurrentUserID(const std::string&) override { return Variant(int32_t{16394}); }
};
class BenchNoUserGroups : public SystemProfileService {
 public:
  Variant GetProfile(const std::string&, const std::string&, const std::string&) override {
    return Variant("0");
  }
};

// Every call of the process runs on `conn` as the administrator.
struct BenchHost {
  explicit BenchHost(const std::string& dsn)
      : conn(std::make_shared<RecordingConnection>(OpenConnection(dsn))),
        host(std::make_unique<LocalHost>([c = conn](const std::string&) { return c; })) {
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<BenchAdministrator>(); });
    RegisterHostObject(kProgIdSystemProfile, [] { return std::make_shared<BenchNoUserGroups>(); });
  }
  std::shared_ptr<RecordingConnection> conn;
  std::unique_ptr<LocalHost> host;
};

using ListMethod = RecordsetPtr (*)(Component&, const DictionaryPtr&);

// A list method's dctPara: the account's name as "sDSN" and the keys given.
inline DictionaryPtr ListPara(const std::string& dsn,
                              std::initializer_list<std::pair<const char*, Variant>> keys) {
  DictionaryPtr d = NewDictionary();
  d->SetValue("sDSN", Variant(dsn));
  for (const auto& [key, value] : keys) d->SetValue(key, value);
  return d;
}

// Times one list method on its arguments; "rows" counts what the last call answered.
inline void TimeMethod(benchmark::State& state, ListMethod method, const DictionaryPtr& para) {
  AmbitOrderInfo info;
  int64_t rows = 0;
  for (auto _ : state) {
    RecordsetPtr rs = method(info, para);
    rows = rs ? rs->RecordCount() : 0;
    benchmark::DoNotOptimize(rs);
  }
  state.counters["rows"] = static_cast<double>(rows);
}

}  // namespace ambit

#endif  // AMBIT_BENCH_BENCH_HOST_H_
