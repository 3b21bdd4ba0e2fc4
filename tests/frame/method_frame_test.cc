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

TEST_F(MethodFrameTest, QueryClassReRaisesWithItsSourceAndNoAbort) {
  Component info(ComponentClass::kOrderInfo);
  RunMethod(info, "GetRecordOrderLst", "dsn", Query);  // opens the connection
  connections_["dsn"]->fail_next = ComError(208, "db", "Invalid object name 'IC_X'.");
  try {
    RunMethod(info, "GetRecordOrderLst", "dsn", Query);
    FAIL() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 208);
    EXPECT_EQ(e.description(), "Invalid object name 'IC_X'.");
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetRecordOrderLst");
  }
  EXPECT_EQ(ctx().abort_count, 0);
}

TEST_F(MethodFrameTest, UpdateClassAbortsExactlyOnce) {
  Component update(ComponentClass::kOrderUpdate);
  try {
    RunMethod(update, "DeleteWebOrder", "dsn", [](MethodScope&) -> bool {
      throw ComError(515, "db", "Cannot insert the value NULL.");
    });
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.DeleteWebOrder");
    EXPECT_EQ(e.number(), 515);
  }
  EXPECT_EQ(ctx().abort_count, 1);
}

TEST_F(MethodFrameTest, ColumnsClassUsesItsOwnSourceName) {
  Component columns(ComponentClass::kColumnsSet);
  try {
    RunMethod(columns, "GetColumnsDefaultSet", "dsn",
              [](MethodScope&) -> int { throw std::runtime_error("boom"); });
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitColumnsDefaultSet.GetColumnsDefaultSet");
    EXPECT_EQ(e.number(), err::kUnexpected);
    EXPECT_EQ(e.description(), "boom");
  }
  EXPECT_EQ(ctx().abort_count, 0);
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

TEST(HostTest, RegistryReadFallsBackToTheDefault) {
  struct MapRegistry : RegistryReader {
    bool Read(std::string_view key, std::string_view name, Variant* value) override {
      if (key != "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\.NETFramework" || name != "InstallRoot")
        return false;
      *value = Variant("C:\\Windows\\Microsoft.NET\\Framework\\");
      return true;
    }
  };
  SetRegistryReader(nullptr);
  EXPECT_EQ(RegistryRead("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\.NETFramework", "InstallRoot",
                         Variant("")),
            Variant(""));
  SetRegistryReader(std::make_shared<MapRegistry>());
  EXPECT_EQ(RegistryRead("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\.NETFramework", "InstallRoot",
                         Variant("")),
            Variant("C:\\Windows\\Microsoft.NET\\Framework\\"));
  EXPECT_EQ(RegistryRead("HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "Y", Variant(int16_t{3})),
            Variant(int16_t{3}));
  SetRegistryReader(nullptr);
}

}  // namespace
}  // namespace ambit
