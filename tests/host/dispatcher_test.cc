#include "host/dispatcher.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <condition_variable>
#include <future>
#include <mutex>

#include "frame/local_host.h"
#include "host/call_context.h"
#include "host/test_methods.h"
#include "support/fake_connection.h"

namespace ambit {
namespace {

// Records the transaction calls the host makes around a call.
class RecordingConnection : public testing::FakeConnection {
 public:
  void BeginTrans() override {
    log += "B";
    FakeConnection::BeginTrans();
  }
  void CommitTrans() override {
    log += "C";
    if (fail_commit) throw ComError(5, "fake", "commit failed");
    FakeConnection::CommitTrans();
  }
  void RollbackTrans() override {
    log += "R";
    FakeConnection::RollbackTrans();
  }
  void Reset() override {
    log += "/";
    FakeConnection::Reset();
  }
  std::string log;
  bool fail_commit = false;
};

AccountOptions PoolOfOne() {
  AccountOptions options;
  options.pool_size = 1;
  return options;
}

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherTest()
      : accounts_(PoolOfOne(),
                  [this](const std::string& cs) {
                    opened_.push_back(cs);
                    return conn_;
                  }),
        update_(testing::MakeUpdateTable()),
        info_(testing::MakeInfoTable()),
        dispatcher_(accounts_, {&info_, &update_}) {
    accounts_.AddAccount("demo", "Data Source=demo.db");
    accounts_.AddAccount("spare", "Data Source=spare.db");
  }

  nlohmann::ordered_json Call(std::string cls, std::string method, const char* args) {
    return dispatcher_.Call(
        {std::move(cls), std::move(method), nlohmann::ordered_json::parse(args), user_, "10.1.2.3"});
  }

  // The error a call raises; fails the test when it succeeds.
  ComError CallError(std::string cls, std::string method, const char* args) {
    try {
      Call(std::move(cls), std::move(method), args);
    } catch (const ComError& e) {
      return e;
    }
    ADD_FAILURE() << method << " succeeded";
    return ComError(0, "", "");
  }

  std::shared_ptr<RecordingConnection> conn_ = std::make_shared<RecordingConnection>();
  std::vector<std::string> opened_;
  UserLoginPtr user_ = std::make_shared<HostUserLogin>("tok-7", 7, "EN");
  AccountRegistry accounts_;
  MethodTable update_;
  MethodTable info_;
  Dispatcher dispatcher_;
};

TEST_F(DispatcherTest, UpdateCallsCommitWhenTheyReturnCleanly) {
  nlohmann::ordered_json r = Call("AmbitOrderUpdate", "Write", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(r["result"], true);
  EXPECT_EQ(conn_->log, "BC/");
  EXPECT_EQ(conn_->batches.size(), 1u);
}

TEST_F(DispatcherTest, UpdateCallsRollBackAfterAbortOrException) {
  ComError e = CallError("AmbitOrderUpdate", "WriteThenFail", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.WriteThenFail");
  EXPECT_EQ(conn_->log, "BR/");

  conn_->log.clear();
  conn_->fail_next = ComError(208, "db", "Invalid object name 'notes'.");
  e = CallError("AmbitOrderUpdate", "Write", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(e.number(), 208);
  EXPECT_EQ(conn_->log, "BR/");

  // An exception that never went through the frame's Abort still rolls back.
  conn_->log.clear();
  e = CallError("AmbitOrderUpdate", "WriteThenThrow", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(e.source(), "test");
  EXPECT_EQ(conn_->log, "BR/");

  // Abort and then a normal return: the work does not stay, so no answer may claim it did.
  conn_->log.clear();
  e = CallError("AmbitOrderUpdate", "AbortQuietly", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(e.number(), kCallAborted);
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.AbortQuietly");
  EXPECT_EQ(conn_->log, "BR/");
}

TEST_F(DispatcherTest, AFailedCommitIsTheMethodsError) {
  conn_->fail_commit = true;
  ComError e = CallError("AmbitOrderUpdate", "Write", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.Write");
  EXPECT_EQ(e.description(), "commit failed");
  // The pool still got the connection back (and reset it).
  EXPECT_EQ(conn_->log.back(), '/');
  EXPECT_EQ(accounts_.PoolFor("demo")->idle_count(), 1u);
}

TEST_F(DispatcherTest, InfoCallsRunWithoutATransaction) {
  Call("AmbitOrderInfo", "Count", R"({"sDsn":"demo"})");
  EXPECT_EQ(conn_->log, "/");
  ComError e = CallError("ambitorderinfo", "writenotrans", R"({"sDsn":"demo","lID":1})");
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.WriteNoTrans");
  EXPECT_EQ(conn_->log, "//");
}

TEST_F(DispatcherTest, TheCallSeesItsUserClientAndDataSource) {
  EXPECT_EQ(Call("AmbitOrderUpdate", "WhoAmI", R"({"sDsn":"spare"})")["result"],
            "7@10.1.2.3/spare");
  // A named call without sDsn runs on the first account.
  EXPECT_EQ(Call("AmbitOrderUpdate", "WhoAmI", "{}")["result"], "7@10.1.2.3/demo");
  EXPECT_EQ(opened_, (std::vector<std::string>{"Data Source=spare.db", "Data Source=demo.db"}));
  // Between calls the thread has no call and no client address.
  EXPECT_EQ(CurrentHostCall(), nullptr);
  EXPECT_EQ(CurrentClientAddress(), "");
}

TEST_F(DispatcherTest, UnknownTargetsAndBadArgumentsTouchNothing) {
  EXPECT_THROW(Call("NoClass", "Write", "{}"), NotFoundError);
  try {
    Call("AmbitOrderUpdate", "NoMethod", "{}");
    FAIL();
  } catch (const NotFoundError& nf) {
    EXPECT_EQ(nf.number(), kMemberNotFound);
  }
  try {
    Call("AmbitOrderUpdate", "Write", R"({"sDsn":"demo","lID":"abc"})");
    FAIL();
  } catch (const ArgumentError&) {
  }
  // An account nobody registered fails inside the method, with its source.
  ComError e =
      CallError("AmbitOrderUpdate", "Write", R"({"sDsn":"Data Source=/tmp/x.db","lID":1})");
  EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.Write");
  EXPECT_NE(e.description().find("no account named"), std::string::npos);
  EXPECT_TRUE(opened_.empty());
  EXPECT_TRUE(conn_->log.empty());
}

// Methods take their connection as sDsn, strDSN or the "sDSN" key of dctPara. A call that
// leaves one out gets the account it names in another, else the served one; an explicit value
// wins.
TEST_F(DispatcherTest, TheAccountFillsEverySpellingOfTheConnection) {
  MethodTable t(ComponentClass::kColumnsSet, [] { return std::make_unique<AmbitColumnsSet>(); });
  t.Add({"Spellings",
         {{"strDSN", ArgKind::kText}, {"dctPara", ArgKind::kDictionary}},
         ResultKind::kText,
         "",
         [](Component&, std::vector<Variant>& a) -> Variant {
           Variant inner = a[1].As<Dictionary>()->Value("sDSN");
           return Variant((a[0].IsNull() ? "null" : CStr(a[0])) + "|" +
                          (inner.IsNull() ? "null" : CStr(inner)));
         }});
  Dispatcher d(accounts_, {&t});
  auto call = [&](const char* method, const char* args) {
    return d.Call({"AmbitColumnsSet", method, nlohmann::ordered_json::parse(args), user_, ""})["result"];
  };
  EXPECT_EQ(call("Spellings", R"({"dctPara":{}})"), "demo|demo");
  EXPECT_EQ(call("Spellings", R"({"strDsn":null,"dctPara":{"sdsn":null}})"), "demo|demo");
  EXPECT_EQ(call("Spellings", R"({"strDSN":"spare","dctPara":{}})"), "spare|spare");
  EXPECT_EQ(call("Spellings", R"({"dctPara":{"sDsn":"spare"}})"), "spare|spare");
  EXPECT_EQ(call("Spellings", R"([null,{"SDSN":"spare"}])"), "spare|spare");
  EXPECT_EQ(call("Spellings", R"({"strDSN":"","dctPara":{"sDSN":"spare"}})"), "|spare");
}

TEST_F(DispatcherTest, AThreadThatRanATestHostGetsTheRealHostBack) {
  {
    LocalHost local([this](const std::string&) { return conn_; });
    ThreadContextService();  // this thread now caches the test host's service
  }
  EXPECT_EQ(Call("AmbitOrderUpdate", "WhoAmI", R"({"sDsn":"demo"})")["result"], "7@10.1.2.3/demo");
}

// Lists past the bound wait, in order, while everything else goes by them, and run below the
// callers' priority; a list that fails gives its slot back.
TEST_F(DispatcherTest, HeavyCallsWaitForASlotAndCheapOnesDoNot) {
  std::mutex mu;
  std::condition_variable changed;
  int entered = 0, released = 0;
  int list_nice = 0, own_nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  auto until = [&](auto done) {
    std::unique_lock lock(mu);
    changed.wait(lock, done);
  };
  MethodTable t(ComponentClass::kOrderInfo, [] { return std::make_unique<AmbitOrderInfo>(); });
  t.Add({"List",
         {{"lFail", ArgKind::kInt32}},
         ResultKind::kInt32,
         "holds its slot until released",
         [&](Component&, std::vector<Variant>& a) -> Variant {
           std::unique_lock lock(mu);
           list_nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
           int me = ++entered;
           changed.notify_all();
           changed.wait(lock, [&] { return released >= me; });
           if (a[0].long_value()) throw ComError(5, "test", "the list failed");
           return Variant(me);
         },
         /*heavy=*/true});
  t.Add({"Lookup", {}, ResultKind::kInt32, "", [&](Component&, std::vector<Variant>&) -> Variant {
           std::lock_guard lock(mu);
           return Variant(entered);
         }});
  Dispatcher d(accounts_, {&t}, /*heavy_slots=*/1, /*heavy_nice=*/3);
  auto call = [&](const char* method, const char* args) {
    return d.Call({"AmbitOrderInfo", method, nlohmann::ordered_json::parse(args), user_, ""});
  };
  auto first = std::async(std::launch::async, [&] { return call("List", R"({"lFail":1})"); });
  until([&] { return entered == 1; });
  auto second = std::async(std::launch::async, [&] { return call("List", R"({"lFail":0})"); });
  // Until it waits for the slot, or (ungated) runs beside the first.
  while (d.heavy_calls().waiting() == 0) {
    std::lock_guard lock(mu);
    if (entered == 2) break;
  }

  // The slot is taken and a list waits for it: a lookup still runs, and sees only the first.
  EXPECT_EQ(call("Lookup", "{}")["result"], 1);
  EXPECT_EQ(d.heavy_calls().running(), 1u);

  {
    std::lock_guard lock(mu);
    released = 1;
  }
  changed.notify_all();
  EXPECT_THROW(first.get(), ComError);
  until([&] { return entered == 2; });
  {
    std::lock_guard lock(mu);
    released = 2;
  }
  changed.notify_all();
  EXPECT_EQ(second.get()["result"], 2);
  EXPECT_EQ(list_nice, std::min(19, own_nice + 3));
  EXPECT_EQ(d.heavy_calls().running(), 0u);
  EXPECT_EQ(d.heavy_calls().waiting(), 0u);
}

}  // namespace
}  // namespace ambit
