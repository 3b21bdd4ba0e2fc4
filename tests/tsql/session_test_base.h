// A fresh in-memory Session per test, with results read back as text.
#ifndef AMBIT_TESTS_TSQL_SESSION_TEST_BASE_H_
#define AMBIT_TESTS_TSQL_SESSION_TEST_BASE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/session.h"

namespace ambit::tsql {

using Rows = std::vector<std::vector<std::string>>;

// Every row of a result set, NULL written "NULL"; none for a closed one.
inline Rows ToRows(const RecordsetPtr& rs) {
  Rows out;
  if (!rs || !rs->IsOpen()) return out;
  for (const auto& row : rs->rows()) {
    std::vector<std::string> r;
    for (const Variant& v : row) r.push_back(v.IsNull() ? "NULL" : CStr(v));
    out.push_back(r);
  }
  return out;
}

class SessionTestBase : public ::testing::Test {
 protected:
  void SetUp() override { session_.Open(":memory:"); }

  Rows Query(const std::string& sql) { return ToRows(session_.Execute(sql)); }
  // The first value of the first row, "<none>" without one.
  std::string Scalar(const std::string& sql) {
    Rows rows = Query(sql);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }
  // The error number the batch raises, 0 when it runs.
  int ErrorOf(const std::string& sql) {
    try {
      session_.Execute(sql);
    } catch (const ComError& e) {
      return e.number();
    }
    return 0;
  }

  Session session_;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TESTS_TSQL_SESSION_TEST_BASE_H_
