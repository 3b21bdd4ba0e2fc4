// Fixture of the merge tests: the maintenance fixture (recording connection, promotion double,
// security service) with helpers to give seeded orders the fields merging compares.
#ifndef AMBIT_TESTS_MERGE_MERGE_FIXTURE_H_
#define AMBIT_TESTS_MERGE_MERGE_FIXTURE_H_

#include <initializer_list>
#include <string>

#include "classes/classes.h"
#include "maintain/maintain_fixture.h"
#include "merge/merge_orders.h"

namespace ambit::testing {

class MergeTest : public MaintainTest {
 protected:
  // Sets columns of an order ("FCurrencyID = 2, FIsCod = 1").
  void Set(int fid, const std::string& assignments) {
    conn().Execute("UPDATE IC_Web2ERPOrders SET " + assignments + " WHERE FID = " + N(fid));
  }

  static VectorPtr Fids(std::initializer_list<const char*> items) {
    VectorPtr v = NewVector();
    for (const char* item : items) v->Add(Variant(item));
    return v;
  }

  std::string Merge(const VectorPtr& fids, std::string* for_gift = nullptr) {
    std::string gift = for_gift ? *for_gift : "";
    AmbitOrderUpdate update;
    std::string result = MergeOrders(update, "acc", fids, gift);
    if (for_gift) *for_gift = gift;
    return result;
  }

  int Orders(const std::string& where = "1 = 1") {
    return Int("select count(*) from IC_Web2ERPOrders where " + where);
  }
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_MERGE_MERGE_FIXTURE_H_
