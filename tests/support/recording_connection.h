// A connection that passes everything to the account's and keeps the text of every batch, so
// tests can count batches and see the exact SQL the methods send.
#ifndef AMBIT_TESTS_SUPPORT_RECORDING_CONNECTION_H_
#define AMBIT_TESTS_SUPPORT_RECORDING_CONNECTION_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/connection.h"

namespace ambit::testing {

class RecordingConnection : public Connection {
 public:
  explicit RecordingConnection(ConnectionPtr inner) : inner_(std::move(inner)) {}
  RecordsetPtr Execute(std::string_view sql) override {
    batches.emplace_back(sql);
    return inner_->Execute(sql);
  }
  void BeginTrans() override { inner_->BeginTrans(); }
  void CommitTrans() override { inner_->CommitTrans(); }
  void RollbackTrans() override { inner_->RollbackTrans(); }
  int TransactionDepth() const override { return inner_->TransactionDepth(); }
  void Reset() override { inner_->Reset(); }
  std::string_view BackendName() const override { return inner_->BackendName(); }

  // Batches whose text contains `needle`.
  int CountContaining(std::string_view needle) const {
    int n = 0;
    for (const std::string& b : batches)
      if (b.find(needle) != std::string::npos) ++n;
    return n;
  }

  std::vector<std::string> batches;

 private:
  ConnectionPtr inner_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_RECORDING_CONNECTION_H_
