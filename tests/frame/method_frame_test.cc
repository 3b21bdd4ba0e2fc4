#include "frame/method_frame.h"

#include <gtest/gtest.h>

#include "frame/local_host.h"
#include "support/fake_connection.h"

namespace ambit {
namespace {

using testing::FakeConnection;

class MethodFrameTest : public ::testing::Test {
 protected:
  MethodFrameTest()
      : host_([this](const std::string& dsn) {
          auto c = std::make_shared<FakeConnection>(dsn);
          connections_[dsn] = c;
          return c;
        }) {}

  // A method body of the usual shape: one statement, its recordset as the result.
  static RecordsetPtr Query(MethodScope& m) { return m.conn().Execute("SELECT 1\r\n"); }

  LocalCallContext& ctx() { return *host_.context(); }

  LocalHost host_;
  std::map<std::string, std::shared_ptr<FakeConnection>> connections_;
};

TEST_F(MethodFrameTest, RunsOnTheDataSourceOfEachCall) {
  Component info(ComponentClass::kOrderInfo);
  RunMethod(info, "GetRecordOrderLst", "dsn-a", Query);
  RunMethod(info, "GetRecordOrderLst", "dsn-b", Query);
  EXPECT_EQ(ctx().begin_call_count, 2);
  EXPECT_EQ(ctx().opened, (std::vector<std::string>{"dsn-a", "dsn-b"}));
  EXPECT_EQ(connections_["dsn-a"]->batches.size(), 1u);
  EXPECT_EQ(connections_["dsn-b"]->batches.size(), 1u);
  EXPECT_EQ(info.user_login()->UserID(), 16394);
}

// A failure in a method body comes out under "AmbitOrder.<class>.<method>" with its number and
// text; only the update class aborts the call, exactly once.
TEST_F(MethodFrameTest, FailuresKeepTheirErrorUnderTheClassesSource) {
  struct Case {
    ComponentClass cls;
    const char* method;
    bool com_error;  // else a std::runtime_error
    int number;
    const char* source;
    int aborts_so_far;  // the one context counts across the cases
  };
  for (const Case& c : {
           Case{ComponentClass::kOrderInfo, "GetRecordOrderLst", true, 208,
                "AmbitOrder.AmbitOrderInfo.GetRecordOrderLst", 0},
           Case{ComponentClass::kOrderUpdate, "DeleteWebOrder", true, 515,
                "AmbitOrder.AmbitOrderUpdate.DeleteWebOrder", 1},
           Case{ComponentClass::kColumnsSet, "GetColumnsDefaultSet", false, err::kUnexpected,
                "AmbitOrder.AmbitColumnsDefaultSet.GetColumnsDefaultSet", 1},
       }) {
    Component component(c.cls);
    try {
      RunMethod(component, c.method, "dsn", [&](MethodScope&) -> int {
        if (c.com_error) throw ComError(c.number, "db", "Invalid object name 'IC_X'.");
        throw std::runtime_error("Invalid object name 'IC_X'.");
      });
      ADD_FAILURE() << c.method << ": no error";
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), c.number) << c.method;
      EXPECT_EQ(e.description(), "Invalid object name 'IC_X'.") << c.method;
      EXPECT_EQ(e.source(), c.source);
    }
    EXPECT_EQ(ctx().abort_count, c.aborts_so_far) << c.method;
  }
}

TEST_F(MethodFrameTest, OpenDataSourceFailureGoesThroughTheErrorPath) {
  LocalHost failing([](const std::string&) -> ConnectionPtr {
    throw ComError(-2147467259, "host", "Login failed.");
  });
  Component update(ComponentClass::kOrderUpdate);
  try {
    RunMethod(update, "SetWebOrderStatus", "bad", Query);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "Login failed.");
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.SetWebOrderStatus");
  }
  EXPECT_EQ(failing.context()->abort_count, 1);
}

TEST_F(MethodFrameTest, DictionaryWithoutDsnAnswersEmptyAndTouchesNothing) {
  Component info(ComponentClass::kOrderInfo);
  auto para = NewDictionary();
  para->SetValue("AdvancedFilter", Variant("1=1"));
  bool ran = false;
  RecordsetPtr rs = RunDictionaryMethod(info, "GetWaitVerifyData", para, RecordsetPtr(),
                                        [&](MethodScope& m) {
                                          ran = true;
                                          return Query(m);
                                        });
  EXPECT_EQ(rs, nullptr);
  EXPECT_FALSE(ran);
  EXPECT_EQ(ctx().begin_call_count, 0);
  EXPECT_TRUE(ctx().opened.empty());
  EXPECT_EQ(RunDictionaryMethod(info, "X", nullptr, std::string("empty"),
                                [](MethodScope&) { return std::string("ran"); }),
            "empty");

  para->SetValue("sDSN", Variant("dsn-d"));
  std::string seen;
  RunDictionaryMethod(info, "GetWaitVerifyData", para, 0, [&](MethodScope& m) {
    seen = m.sDsn;
    return 1;
  });
  EXPECT_EQ(seen, "dsn-d");
  EXPECT_EQ(ctx().begin_call_count, 1);
}

TEST(HostTest, NoHostMeansObjectsCannotBeCreated) {
  ResetThreadContextService();
  SetContextServiceFactory(nullptr);
  EXPECT_THROW(Component(ComponentClass::kOrderInfo), ComError);
}

TEST(HostTest, HostObjectsByProgId) {
  struct Shell : Object {
    std::string_view TypeName() const override { return "Shell"; }
  };
  RegisterHostObject("WSCript.shell", [] { return std::make_shared<Shell>(); });
  EXPECT_EQ(CreateHostObject("wscript.Shell")->TypeName(), "Shell");
  UnregisterHostObject("WSCript.shell");
  try {
    CreateHostObject("WSCript.shell");
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kCannotCreateObject);
  }
}

}  // namespace
}  // namespace ambit
