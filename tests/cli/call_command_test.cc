#include "cli/call_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "backends/sqlite/sqlite_connection.h"
#include "classes/invoke_json.h"
#include "cli/serve_command.h"
#include "host/test_methods.h"
#include "server/token_store.h"
#include "support/temp_db_file.h"

namespace ambit::cli {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

TEST(CallArgumentsTest, ArgValuesAreJsonWhenTheyParseAndTextOtherwise) {
  CallOptions o;
  o.args = {"lID=12", "sName=Zhang San", "bAll=true", "dicRnt={\"a\":1}", "sCode=0012", "s="};
  EXPECT_EQ(CallArguments(o), json::parse(R"({"lID":12,"sName":"Zhang San","bAll":true,
                                              "dicRnt":{"a":1},"sCode":"0012","s":""})"));
  o.args = {"novalue"};
  EXPECT_THROW(CallArguments(o), ArgumentError);
  o.args = {};
  o.json_args = R"(["acc", 1])";
  EXPECT_EQ(CallArguments(o), json::parse(R"(["acc", 1])"));
  for (const char* bad : {"{", "3", "\"text\""}) {
    o.json_args = bad;
    EXPECT_THROW(CallArguments(o), ArgumentError) << bad;
  }
}

TEST(FormatTest, RecordsetsBecomeAlignedTablesOtherValuesJson) {
  json rs = json::parse(R"({"columns":[{"name":"FID","type":"int"},{"name":"FName","type":"text"}],
                            "rows":[[1,"alpha"],[22,null]]})");
  EXPECT_EQ(FormatValue(rs),
            "FID FName\n"
            "--- -----\n"
            "1   alpha\n"
            "22  NULL\n"
            "(2 rows)\n");
  json cjk = json::parse(R"({"columns":[{"name":"名称"},{"name":"n"}],"rows":[["订单",1],["ab",22]]})");
  EXPECT_EQ(FormatValue(cjk),
            "名称 n\n"
            "---- --\n"
            "订单 1\n"
            "ab   22\n"
            "(2 rows)\n");
  // Decimals show their column's places, as the server's JSON describes the column.
  json amounts = json::parse(R"({"columns":[{"name":"FAmount","type":"decimal","precision":18,
                                 "scale":2}],"rows":[[12.5],[null]]})");
  EXPECT_EQ(FormatValue(amounts), "FAmount\n-------\n12.50\nNULL\n(2 rows)\n");
  EXPECT_EQ(FormatValue(json(true)), "true\n");
  EXPECT_EQ(FormatValue(json("x")), "\"x\"\n");
}

TEST(FormatTest, CatalogueShowsKindsOptionalAndInOutArguments) {
  MethodTable t = testing::MakeUpdateTable();
  json catalogue = {{"classes", json::array({DescribeTable(t)})}};
  std::string text = FormatCatalogue(catalogue);
  EXPECT_NE(text.find("AmbitOrderUpdate  (TransMode 2, 6 methods)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  Stamp(sDsn: text, sOrderIDs: text in/out, dicRnt: Dictionary in/out, "
                      "[iStep: int16]) -> int32  in/out arguments\n"),
            std::string::npos)
      << text;
}

TEST(FormatTest, CatalogueListsDictionaryKeysUnderTheirMethod) {
  json catalogue = json::parse(R"({"classes": [{"class": "C", "transMode": 2, "methods": [
      {"name": "Lock", "result": "boolean", "summary": "", "args": [
        {"name": "dctPara", "kind": "Dictionary", "inOut": false, "optional": false,
         "keys": [{"name": "FID", "kind": "text", "doc": "order keys"},
                  {"name": "IsLock", "kind": "int16", "doc": "1 locks", "default": "1"}]},
        {"name": "dctCache", "kind": "Dictionary", "inOut": false, "optional": false,
         "openKeys": "order -> values"}]}]}]})");
  EXPECT_EQ(FormatCatalogue(catalogue),
            "C  (TransMode 2, 1 methods)\n"
            "  Lock(dctPara: Dictionary, dctCache: Dictionary) -> boolean\n"
            "      dctPara(\"FID\"): text  order keys\n"
            "      dctPara(\"IsLock\"): int16 = \"1\"  1 locks\n"
            "      dctCache: order -> values\n\n");
}

class RunCallTest : public ::testing::Test {
 protected:
  RunCallTest() {
    RegisterSqliteBackend();
    OpenConnection("Data Source=" + path_.string())
        ->Execute("CREATE TABLE notes (id INT PRIMARY KEY, txt VARCHAR(50))");
    options_.account = path_.string();
  }
  int Run() {
    out_.str("");
    err_.str("");
    return RunCall(options_, {&info_, &update_}, out_, err_);
  }

  testing::TempDbFile file_{"ambit-call-"};
  const fs::path& path_ = file_.path();
  MethodTable update_ = testing::MakeUpdateTable();
  MethodTable info_ = testing::MakeInfoTable();
  CallOptions options_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(RunCallTest, RunsOnTheAccountAndPrintsResultsAndOutArguments) {
  options_.target = "AmbitOrderUpdate.Write";
  options_.args = {"lID=4"};
  ASSERT_EQ(Run(), 0) << err_.str();
  options_.target = "AmbitOrderInfo.Count";
  options_.args = {};
  ASSERT_EQ(Run(), 0) << err_.str();
  EXPECT_EQ(out_.str(), "n\n-\n1\n(1 row)\n");
  options_.target = "AmbitOrderUpdate.Stamp";
  options_.args = {"sOrderIDs=7", "dicRnt={}"};
  options_.json_output = true;
  ASSERT_EQ(Run(), 0) << err_.str();
  EXPECT_EQ(json::parse(out_.str())["out"]["sOrderIDs"], "7,42");
  // The account answers to its name, as the server knows it.
  options_.target = "AmbitOrderUpdate.WhoAmI";
  options_.args = {"sDsn=" + path_.stem().string()};
  ASSERT_EQ(Run(), 0) << err_.str();
  EXPECT_EQ(json::parse(out_.str())["result"], "16394@/" + path_.stem().string());
}

TEST_F(RunCallTest, ExitCodesTellMisuseFromFailure) {
  options_.target = "AmbitOrderUpdate";
  EXPECT_EQ(Run(), 2);
  options_.target = "AmbitOrderUpdate.NoSuch";
  EXPECT_EQ(Run(), 2);
  options_.target = "AmbitOrderUpdate.Write";
  options_.args = {"lID=x"};
  EXPECT_EQ(Run(), 2);
  options_.args = {"lID=1"};
  options_.target = "AmbitOrderUpdate.WriteThenFail";
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(err_.str(),
            "Error 208 (AmbitOrder.AmbitOrderUpdate.WriteThenFail): Invalid object name "
            "'no_such_table'.\n");
  options_.account = path_.string() + ".missing";
  EXPECT_EQ(Run(), 1);
  EXPECT_FALSE(fs::exists(options_.account));
}

TEST(ServeSetupTest, AccountNamesAndTheDemoTokenFile) {
  EXPECT_EQ(AccountName("./data/demo.db"), "demo");
  EXPECT_EQ(AccountName("Provider=SQLite;Data Source=x.db"), "default");
  fs::path dir = fs::temp_directory_path() / ("ambit-serve-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  std::ostringstream out;
  EnsureTokenFile((dir / "tokens.json").string(), out);
  TokenStore tokens = TokenStore::Load((dir / "tokens.json").string());
  ASSERT_NE(tokens.Find(kDemoToken), nullptr);
  EXPECT_EQ(tokens.Find(kDemoToken)->UserID(), 16394);
  // An existing file is the operator's: never rewritten.
  std::ofstream(dir / "tokens.json") << R"({"mine": {"userId": 1}})";
  EnsureTokenFile((dir / "tokens.json").string(), out);
  EXPECT_EQ(TokenStore::Load((dir / "tokens.json").string()).Find(kDemoToken), nullptr);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace ambit::cli
