// Merging through the real dispatcher: the in/out list of survivors travels back to the
// client, and a group that lost an order after it was read undoes the whole call.
#include <gtest/gtest.h>

#include "frame/host_services.h"
#include "maintain/maintain_fixture.h"
#include "support/dispatcher_fixture.h"

namespace ambit::testing {
namespace {

// Deletes `victim` right after the merge has read its candidates, as a concurrent writer on
// another server would.
class VanishingConnection : public RecordingConnection {
 public:
  using RecordingConnection::RecordingConnection;
  RecordsetPtr Execute(std::string_view sql) override {
    RecordsetPtr rs = RecordingConnection::Execute(sql);
    if (victim > 0 && sql.find("SELECT distinct t1.FTransactionStatus") != sql.npos)
      RecordingConnection::Execute("delete from IC_Web2ERPOrders where FID = " + N(victim));
    return rs;
  }
  int victim = 0;
};

class MergeTransactionTest : public DispatcherTest {
 protected:
  MergeTransactionTest() {
    served_ = vanishing_;
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Security>(); });
  }
  ~MergeTransactionTest() override { UnregisterHostObject(kProgIdSecurityInfo); }

  class Security : public SecurityInfo {
   public:
    Variant GetCurrentUserID(const std::string&) override { return Variant(int32_t{16394}); }
  };

  std::shared_ptr<VanishingConnection> vanishing_ =
      std::make_shared<VanishingConnection>(account_);
};

TEST_F(MergeTransactionTest, GroupThatLostAnOrderUndoesTheWholeCall) {
  for (int fid : {1, 2, 3, 4}) {
    SeedOrder(*account_, {.fid = fid, .consignee = fid < 3 ? "a" : "b", .amount = 5});
    SeedLine(*account_, {.fid = fid, .item_id = fid});
  }
  const std::string kState =
      "select o.FID, o.FAmount, o.FMergeStatus, e.FEntryID, e.FID from IC_Web2ERPOrders o "
      "join IC_Web2ERPOrdersEntry e on e.FIndex = 1 and e.FItemID = o.FID order by o.FID";
  std::string before = Rows(kState);
  nlohmann::ordered_json args = {{"sDsn", "acc"}, {"vctOrderInfo", {"1,2", "3,4"}}};
  vanishing_->victim = 4;
  try {
    Call("MergeOrders", args);
    FAIL() << "the vanished order went unnoticed";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.MergeOrders");
    EXPECT_NE(e.description().find("changed while they were merged"), std::string::npos)
        << e.description();
  }
  EXPECT_EQ(Rows(kState), before);
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_TradeLog"), 0);
  EXPECT_EQ(account_->TransactionDepth(), 0);

  vanishing_->victim = 0;
  args["sFidForGift"] = "8";
  nlohmann::ordered_json answer = Call("MergeOrders", args);
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_Web2ERPOrders"), 2);
  std::string survivors = answer["out"]["sFidForGift"];
  EXPECT_EQ(survivors.substr(0, 2), "8,");
  EXPECT_EQ(survivors.size(), 5u) << survivors;
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_TradeLog where FOPCode = 2009"), 2);
}

}  // namespace
}  // namespace ambit::testing
