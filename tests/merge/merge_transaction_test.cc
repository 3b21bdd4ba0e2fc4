// Merging through the real dispatcher: the in/out list of survivors travels back to the
// client, and a group that lost an order after it was read undoes the whole call.
#include <gtest/gtest.h>

#include "classes/classes.h"
#include "frame/host_services.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "support/account_fixture.h"

namespace ambit::testing {
namespace {

// Deletes `victim` right after the merge has read its candidates, as a concurrent writer on
// another server would.
class VanishingConnection : public Connection {
 public:
  explicit VanishingConnection(ConnectionPtr inner) : inner_(std::move(inner)) {}
  RecordsetPtr Execute(std::string_view sql) override {
    RecordsetPtr rs = inner_->Execute(sql);
    if (victim > 0 && sql.find("SELECT distinct t1.FTransactionStatus") != sql.npos)
      inner_->Execute("delete from IC_Web2ERPOrders where FID = " + N(victim));
    return rs;
  }
  void BeginTrans() override { inner_->BeginTrans(); }
  void CommitTrans() override { inner_->CommitTrans(); }
  void RollbackTrans() override { inner_->RollbackTrans(); }
  int TransactionDepth() const override { return inner_->TransactionDepth(); }
  void Reset() override { inner_->Reset(); }
  std::string_view BackendName() const override { return inner_->BackendName(); }

  int victim = 0;

 private:
  ConnectionPtr inner_;
};

class MergeTransactionTest : public ::testing::Test {
 protected:
  MergeTransactionTest()
      : accounts_(Options(), [this](const std::string&) { return vanishing_; }),
        dispatcher_(accounts_, {&AmbitOrderUpdateTable()}) {
    accounts_.AddAccount("acc", "Data Source=acc");
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Security>(); });
  }
  ~MergeTransactionTest() override { UnregisterHostObject(kProgIdSecurityInfo); }

  class Security : public SecurityInfo {
   public:
    Variant GetCurrentUserID(const std::string&) override { return Variant(int32_t{16394}); }
  };
  static AccountOptions Options() {
    AccountOptions options;
    options.pool_size = 1;
    return options;
  }
  nlohmann::json Call(const std::string& method, const nlohmann::json& args) {
    return dispatcher_.Call({"AmbitOrderUpdate", method, args, user_, "10.1.2.3"});
  }
  std::string Rows(const std::string& sql) {
    RecordsetPtr rs = account_->Execute(sql);
    std::string out;
    for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
      for (int i = 0; i < rs->FieldCount(); ++i)
        out += (rs->Value(i).IsNull() ? std::string("NULL") : CStr(rs->Value(i))) + "|";
      out += "\n";
    }
    return out;
  }

  ConnectionPtr account_ = FreshAccount();
  std::shared_ptr<VanishingConnection> vanishing_ =
      std::make_shared<VanishingConnection>(account_);
  AccountRegistry accounts_;
  Dispatcher dispatcher_;
  UserLoginPtr user_ = std::make_shared<HostUserLogin>("tok", 16394, "CHS");
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
  nlohmann::json args = {{"sDsn", "acc"}, {"vctOrderInfo", {"1,2", "3,4"}}};
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
  nlohmann::json answer = Call("MergeOrders", args);
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_Web2ERPOrders"), 2);
  std::string survivors = answer["out"]["sFidForGift"];
  EXPECT_EQ(survivors.substr(0, 2), "8,");
  EXPECT_EQ(survivors.size(), 5u) << survivors;
  EXPECT_EQ(ScalarInt(*account_, "select count(*) from IC_TradeLog where FOPCode = 2009"), 2);
}

}  // namespace
}  // namespace ambit::testing
