// The fixture the lookup and state-check tests share: a fresh account, an AmbitOrderInfo
// object on its host, and small helpers to read results.
#ifndef AMBIT_TESTS_QUERY_LOOKUPS_FIXTURE_H_
#define AMBIT_TESTS_QUERY_LOOKUPS_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/conversions.h"
#include "classes/classes.h"
#include "query/order_lists_fixture.h"
#include "support/account_fixture.h"

namespace ambit {

using testing::AccountTest;
using testing::ErrorOf;
using testing::kDsn;
using testing::LineSeed;
using testing::OrderSeed;
using testing::Scalar;
using testing::SeedItem;
using testing::SeedLine;
using testing::SeedOrder;
using testing::SeedShop;

class LookupsTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    object_ = std::make_unique<AmbitOrderInfo>();  // needs the fixture's host
  }
  void TearDown() override {
    object_.reset();
    AccountTest::TearDown();
  }
  AmbitOrderInfo& info() { return *object_; }
  std::unique_ptr<AmbitOrderInfo> object_;
};

inline std::vector<std::string> Column(RecordsetPtr rs, const char* field) {
  std::vector<std::string> out;
  if (!rs) return out;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) out.push_back(CStr(rs->Value(field)));
  return out;
}

}  // namespace ambit

#endif  // AMBIT_TESTS_QUERY_LOOKUPS_FIXTURE_H_
