// A connection for frame and class tests: records every batch and answers from a script,
// failing on demand with a database-like error.
#ifndef AMBIT_TESTS_SUPPORT_FAKE_CONNECTION_H_
#define AMBIT_TESTS_SUPPORT_FAKE_CONNECTION_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "data/connection.h"

namespace ambit::testing {

class FakeConnection : public Connection {
 public:
  explicit FakeConnection(std::string name = "fake") : name_(std::move(name)) {}

  std::vector<std::string> batches;
  // When set, the next Execute raises this error (and clears it).
  std::optional<ComError> fail_next;
  // Answered to every Execute; a closed recordset when null.
  RecordsetPtr answer;

  RecordsetPtr Execute(std::string_view sql) override {
    batches.emplace_back(sql);
    if (fail_next) {
      ComError e = *fail_next;
      fail_next.reset();
      throw e;
    }
    return answer ? answer : std::make_shared<Recordset>();
  }
  void BeginTrans() override { ++depth_; }
  void CommitTrans() override { --depth_; }
  void RollbackTrans() override { --depth_; }
  int TransactionDepth() const override { return depth_; }
  void Reset() override { depth_ = 0; }
  std::string_view BackendName() const override { return name_; }

 private:
  std::string name_;
  int depth_ = 0;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_FAKE_CONNECTION_H_
