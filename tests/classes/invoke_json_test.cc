#include "classes/invoke_json.h"

#include <gtest/gtest.h>

#include "classes/classes.h"
#include "frame/collections.h"
#include "frame/local_host.h"
#include "support/fake_connection.h"

namespace ambit {
namespace {

// Test-only methods of the shapes real ones take: text and numbers in, a recordset out; an
// in/out Dictionary and text; a method that fails inside the frame.
MethodTable MakeTestTable() {
  MethodTable t(ComponentClass::kOrderUpdate, [] { return std::make_unique<AmbitOrderUpdate>(); });
  t.Add({"GetOrders",
         {{"sDsn", ArgKind::kText}, {"lCount", ArgKind::kInt32},
          {"bAll", ArgKind::kBool, false, true, Variant(false)}},
         ResultKind::kRecordset,
         "orders",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "GetOrders", a[0].string_value(), [&](MethodScope& m) {
             return Variant(m.conn().Execute("SELECT TOP " + CStr(a[1]) + " FID FROM t\r\n"));
           });
         }});
  t.Add({"CheckCurrency",
         {{"sDsn", ArgKind::kText}, {"dicRnt", ArgKind::kDictionary, true},
          {"sOrderIDs", ArgKind::kText, true}, {"iFlag", ArgKind::kInt16}},
         ResultKind::kBool,
         "in/out",
         [](Component&, std::vector<Variant>& a) -> Variant {
           a[1].As<Dictionary>()->SetValue("Error", Variant("currency differs"));
           a[2] = Variant(a[2].string_value() + ",9");
           return Variant(a[3].int_value() > 0);
         }});
  t.Add({"Fails",
         {{"sDsn", ArgKind::kText}},
         ResultKind::kNone,
         "fails",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "Fails", a[0].string_value(), [](MethodScope&) -> Variant {
             throw ComError(2627, "db", "Violation of PRIMARY KEY constraint.");
           });
         }});
  return t;
}

class InvokeJsonTest : public ::testing::Test {
 protected:
  InvokeJsonTest()
      : host_([this](const std::string&) { return conn_; }), table_(MakeTestTable()) {
    conn_->answer = std::make_shared<Recordset>(
        std::vector<FieldInfo>{{"FID", DataType::kInteger}},
        std::vector<Recordset::Row>{{Variant(1)}, {Variant(2)}});
  }

  nlohmann::ordered_json Call(std::string_view method, const std::string& args) {
    auto obj = table_.Create();
    return InvokeJson(table_, *obj, method, nlohmann::ordered_json::parse(args));
  }

  std::shared_ptr<testing::FakeConnection> conn_ = std::make_shared<testing::FakeConnection>();
  LocalHost host_;
  MethodTable table_;
};

TEST_F(InvokeJsonTest, NamedAndPositionalArgumentsConvertToTheirKinds) {
  nlohmann::ordered_json r = Call("getorders", R"({"SDSN": "acc", "lCount": "2"})");
  EXPECT_EQ(conn_->batches.back(), "SELECT TOP 2 FID FROM t\r\n");
  EXPECT_EQ(r["result"]["rows"], nlohmann::ordered_json::parse("[[1],[2]]"));
  EXPECT_TRUE(r["out"].empty());
  Call("GetOrders", R"(["acc", 2.5, true])");  // banker's rounding, as the platform converts
  EXPECT_EQ(conn_->batches.back(), "SELECT TOP 2 FID FROM t\r\n");
}

TEST_F(InvokeJsonTest, InOutArgumentsComeBack) {
  nlohmann::ordered_json r = Call("CheckCurrency",
                          R"({"sDsn":"a","dicRnt":{},"sOrderIDs":"1,2","iFlag":1})");
  EXPECT_EQ(r["result"], true);
  EXPECT_EQ(r["out"]["dicRnt"]["Error"], "currency differs");
  EXPECT_EQ(r["out"]["sOrderIDs"], "1,2,9");
  EXPECT_FALSE(r["out"].contains("iFlag"));
}

TEST_F(InvokeJsonTest, ObjectsKeepTheClientsKeyOrder) {
  nlohmann::ordered_json r = Call(
      "CheckCurrency", R"({"sDsn":"a","dicRnt":{"z":1,"10":2,"2":3},"sOrderIDs":"","iFlag":1})");
  EXPECT_EQ(r["out"]["dicRnt"].dump(), R"({"z":1,"10":2,"2":3,"Error":"currency differs"})");
}

TEST_F(InvokeJsonTest, ArgumentsThatDoNotFitAreRefusedBeforeTheMethodRuns) {
  struct Case {
    const char* method;
    const char* args;
    const char* says;
  };
  for (const Case& c : {
           Case{"NoSuchMethod", "{}", "no method named 'NoSuchMethod'"},
           Case{"GetOrders", R"({"sDsn":"a"})", "needs the argument 'lCount'"},
           Case{"GetOrders", R"({"sDsn":"a","lCount":1,"x":2})", "no argument named 'x'"},
           Case{"GetOrders", R"({"sDsn":"a","lCount":"ten"})", "'ten' (String)"},
           Case{"GetOrders", R"({"sDsn":"a","lCount":1e12})", "expects int32"},
           Case{"GetOrders", R"({"sDsn":{},"lCount":1})", "expects text"},
           Case{"GetOrders", R"(["a",1,true,4])", "takes 3 arguments"},
           Case{"CheckCurrency", R"({"sDsn":"a","dicRnt":[1],"sOrderIDs":"","iFlag":1})",
                "expects Dictionary"},
           Case{"CheckCurrency", R"({"sDsn":"a","dicRnt":{},"sOrderIDs":"","iFlag":70000})",
                "Overflow"},
       }) {
    try {
      Call(c.method, c.args);
      ADD_FAILURE() << c.args << " was accepted";
    } catch (const ArgumentError& e) {
      EXPECT_NE(e.description().find(c.says), std::string::npos) << e.description();
    }
  }
  EXPECT_TRUE(conn_->batches.empty());
  EXPECT_EQ(host_.context()->begin_call_count, 0);
}

TEST_F(InvokeJsonTest, MethodFailuresKeepTheirNumberAndSource) {
  try {
    Call("Fails", R"({"sDsn":"a"})");
    FAIL();
  } catch (const ArgumentError&) {
    FAIL() << "a method failure is not an argument error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 2627);
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.Fails");
  }
  EXPECT_EQ(host_.context()->abort_count, 1);
}

TEST_F(InvokeJsonTest, CatalogueDescribesArguments) {
  nlohmann::ordered_json d = DescribeTable(table_);
  EXPECT_EQ(d["class"], "AmbitOrderUpdate");
  EXPECT_EQ(d["transMode"], 2);
  EXPECT_EQ(d["methods"][1]["args"][1],
            nlohmann::ordered_json::parse(
                R"({"name":"dicRnt","kind":"Dictionary","inOut":true,"optional":false})"));
  EXPECT_THROW(table_.Add({"getorders", {}, ResultKind::kNone, "", nullptr}), std::logic_error);
}

TEST(ClassTablesTest, ClassNamesIgnoreCase) {
  EXPECT_EQ(FindClassTable("ambitorderinfo"), &AmbitOrderInfoTable());
  EXPECT_EQ(FindClassTable("Nope"), nullptr);
}

}  // namespace
}  // namespace ambit
