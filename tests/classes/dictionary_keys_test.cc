// Declared Dictionary keys: what callers are warned about, and how the catalogue and the
// OpenAPI document show them.
#include <gtest/gtest.h>

#include "base/text.h"
#include "classes/classes.h"
#include "classes/invoke_json.h"
#include "classes/openapi.h"
#include "frame/collections.h"
#include "frame/local_host.h"

namespace ambit {
namespace {

using json = nlohmann::ordered_json;

const KeyGroup kShared = {{"FID", ArgKind::kText, nullptr, "order keys"}};
const KeyGroup kOwn = {{"IsLock", ArgKind::kInt16, "1", "lock or not"}};

// A declared Dictionary, an open one and an undeclared one; the method adds a key of its own
// to the first, as real methods do (the filter writes "FieldValue" back).
MethodTable MakeKeyTable() {
  MethodTable t(ComponentClass::kOrderUpdate, [] { return std::make_unique<AmbitOrderUpdate>(); });
  t.Add({"Lock",
         {ArgEntry("dctPara", ArgKind::kDictionary).WithKeys({&kShared, &kOwn}),
          ArgEntry("dctCache", ArgKind::kDictionary, false, true).WithOpenKeys("order -> values"),
          ArgEntry("dctOther", ArgKind::kDictionary, false, true)},
         ResultKind::kBool,
         "locks",
         [](Component&, std::vector<Variant>& a) -> Variant {
           a[0].As<Dictionary>()->SetValue("Written", Variant(1));
           return Variant(true);
         }});
  return t;
}

json Call(const MethodTable& t, const std::string& args) {
  LocalHost host([](const std::string&) -> ConnectionPtr { return nullptr; });
  auto obj = t.Create();
  return InvokeJson(t, *obj, "Lock", json::parse(args));
}

TEST(DictionaryKeysTest, OnlyUnreadKeysOfDeclaredArgumentsAreWarned) {
  MethodTable t = MakeKeyTable();
  // Keys compare without regard to case, as the Dictionary does; a key the method writes
  // itself is not the caller's.
  json clean = Call(t, R"({"dctPara": {"fid": "1", "ISLOCK": 0},
                           "dctCache": {"12": {"FAmount": 3}}, "dctOther": {"Anything": 1}})");
  EXPECT_EQ(clean["result"], true);
  EXPECT_FALSE(clean.contains("warnings")) << clean;

  // The host fills "sDSN" into every dctPara, so it is never the caller's slip.
  json warned = Call(t, R"({"dctPara": {"FID": "1", "sDSN": "a", "Locked": 1, "Reason": "x"}})");
  EXPECT_EQ(warned["result"], true);  // the call runs all the same
  EXPECT_EQ(warned["warnings"],
            json::parse(R"(["dctPara: key 'Locked' is not read by AmbitOrderUpdate.Lock",
                            "dctPara: key 'Reason' is not read by AmbitOrderUpdate.Lock"])"));
}

TEST(DictionaryKeysTest, CatalogueAndDocumentShowTheKeys) {
  MethodTable t = MakeKeyTable();
  json args = DescribeTable(t)["methods"][0]["args"];
  EXPECT_EQ(args[0]["keys"], json::parse(R"([{"name":"FID","kind":"text","doc":"order keys"},
      {"name":"IsLock","kind":"int16","doc":"lock or not","default":"1"}])"));
  EXPECT_EQ(args[1]["openKeys"], "order -> values");
  EXPECT_FALSE(args[2].contains("keys"));

  json doc = OpenApiDocument({&t}, "1.2.3");
  EXPECT_EQ(doc["openapi"], "3.1.0");
  EXPECT_EQ(doc["info"]["version"], "1.2.3");
  json body = doc["paths"]["/api/AmbitOrderUpdate/Lock"]["post"]["requestBody"]["content"]
                 ["application/json"]["schema"];
  EXPECT_EQ(body["required"], json::array({"dctPara"}));
  json lock = body["properties"]["dctPara"]["properties"]["IsLock"];
  EXPECT_EQ(lock["type"], "integer");
  EXPECT_EQ(lock["default"], 1);
  EXPECT_EQ(body["properties"]["dctCache"]["description"], "order -> values");
}

// Every argument of every registered method is in the document, and every Dictionary says
// what it holds: fixed keys, or what its open keys are. (That every method has its path is the
// server's test.)
TEST(DictionaryKeysTest, TheProductsDocumentCoversEveryArgument) {
  json doc = OpenApiDocument(AllClassTables(), "0");
  EXPECT_EQ(doc["components"]["securitySchemes"]["bearer"]["scheme"], "bearer");
  for (const MethodTable* t : AllClassTables())
    for (const MethodEntry& m : t->methods()) {
      std::string path = "/api/" + std::string(t->class_name()) + "/" + m.name;
      json props = doc["paths"][path]["post"]["requestBody"]["content"]["application/json"]
                      ["schema"]["properties"];
      for (const ArgEntry& a : m.args) {
        EXPECT_TRUE(props.contains(a.name)) << path << " " << a.name;
        if (a.kind == ArgKind::kDictionary && a.keys.empty() && a.open_keys.empty())
          ADD_FAILURE() << path << " " << a.name << " declares no keys";
      }
    }
  json filter = doc["paths"]["/api/AmbitOrderInfo/GetAllData"]["post"]["requestBody"]["content"]
                   ["application/json"]["schema"]["properties"]["dctPara"]["properties"];
  for (const char* key : {"sDSN", "AdvancedFilter", "WebShopID", "FieldName", "stTypeCount"})
    EXPECT_TRUE(filter.contains(key)) << key;
}

}  // namespace
}  // namespace ambit
