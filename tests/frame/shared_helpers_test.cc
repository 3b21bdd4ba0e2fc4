#include "frame/shared_helpers.h"

#include <gtest/gtest.h>

#include <map>

#include "frame/local_host.h"
#include "support/fake_connection.h"

namespace ambit {
namespace {

class FixedLanguage : public LangInfo {
 public:
  explicit FixedLanguage(std::string code) : code_(std::move(code)) {}
  std::string CurrentLanguage() override { return code_; }

 private:
  std::string code_;
};

class MapLoader : public ResLoader {
 public:
  std::string LoadString(const std::string& key) override {
    static const std::map<std::string, std::string> kTexts = {
        {"Save", "Save it"}, {"Orvo tools", "Orvo tools (en)"}};
    auto it = kTexts.find(key);
    if (it == kTexts.end()) throw ComError(-1, "loader", "no text for " + key);
    return it->second;
  }
};

// Each test gets a thread whose caches are fresh and whose services it chose.
class SharedHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSharedHelperCaches(); }
  void TearDown() override {
    UnregisterHostObject(kProgIdLangInfo);
    UnregisterHostObject(kProgIdResLoader);
    UnregisterHostObject(kProgIdSecurityInfo);
    SetProcessLocation({});
    SetRegistryReader(nullptr);
    SetReadTcp(nullptr);
    ResetSharedHelperCaches();
  }
  void UseLanguage(const std::string& code) {
    RegisterHostObject(kProgIdLangInfo, [code] { return std::make_shared<FixedLanguage>(code); });
    RegisterHostObject(kProgIdResLoader, [] { return std::make_shared<MapLoader>(); });
  }
};

TEST_F(SharedHelpersTest, SqlQuoteDoublesQuotesAndDropsLineBreaks) {
  EXPECT_EQ(SqlQuote("O'Brien"), "O''Brien");
  EXPECT_EQ(SqlQuote("a\r\nb'\r\n"), "ab''");
  EXPECT_EQ(SqlQuote("lone\rcr\nlf"), "lone\rcr\nlf");  // only the pair goes
  EXPECT_EQ(SqlQuote(""), "");
  EXPECT_EQ(SqlQuote("''"), "''''");
}

TEST_F(SharedHelpersTest, LanguageIsReadOncePerThreadAndDefaultsToChs) {
  EXPECT_EQ(GetLanguageID(), 1);  // no language service at all
  UseLanguage("en");
  EXPECT_EQ(GetLanguageID(), 1) << "the first answer is kept for the thread";
  ResetSharedHelperCaches();
  EXPECT_EQ(GetLanguageID(), 2);
  EXPECT_EQ(GetLanguageCode(), "en");
  ResetSharedHelperCaches();
  UseLanguage("CHT");  // the comparison is exact
  EXPECT_EQ(GetLanguageCode(), "chs");
  ResetSharedHelperCaches();
  UseLanguage("cht");
  EXPECT_EQ(GetLanguageCode(), "cht");
  EXPECT_EQ(GetResLoader()->LanguageID, "cht");
  EXPECT_EQ(GetResLoader(), GetResLoader());
}

TEST_F(SharedHelpersTest, LoadResTextTranslatesKeepsSpacesAndComposites) {
  UseLanguage("chs");
  EXPECT_EQ(LoadResText("Lit ^|^~$~Save^|^ end"), "Lit Save end");
  ResetSharedHelperCaches();
  UseLanguage("en");
  EXPECT_EQ(LoadResText("  Save "), "  Save it ");
  EXPECT_EQ(LoadResText("Lit ^|^~$~Save^|^ end"), "Lit Save it end");
  EXPECT_EQ(LoadResText("Unknown key"), "Unknown key");
  EXPECT_EQ(LoadResText("   "), "   ");
  EXPECT_EQ(LoadResText("Orvo tools"), "Pallas tools (en)");
  // Called while an error is being handled, the error survives untouched.
  try {
    try {
      throw ComError(91, "caller", "Object variable not set");
    } catch (const ComError&) {
      LoadResText("Unknown key");
      throw;
    }
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 91);
    EXPECT_EQ(e.source(), "caller");
  }
}

TEST_F(SharedHelpersTest, InstallPathWalk) {
  SetProcessLocation({"C:\\Apps\\OrvoUltimate\\Bin\\Server\\host.exe", "C:\\lib"});
  EXPECT_EQ(GetInstallPath(), "C:\\APPS\\ORVOULTIMATE\\");
  EXPECT_EQ(GetLumoSystemPath(), "C:\\APPS\\ORVOULTIMATE\\LUMOSYSTEM");
  ResetSharedHelperCaches();
  SetProcessLocation({"D:\\Erp\\LumoSystem\\host.exe", ""});
  EXPECT_EQ(FindInstallPath().folder, "D:\\ERP");
  EXPECT_EQ(FindInstallPath().product_code, "ERP");
  EXPECT_EQ(GetLumoSystemPath(), "D:\\ERP\\LUMOSYSTEM");
  // Inside the development environment the library's own folder counts.
  SetProcessLocation({"C:\\VS\\VB6.EXE", "E:\\OrvoExpress\\Lib"});
  EXPECT_EQ(FindInstallPath().folder, "E:\\ORVOEXPRESS");
  // Nowhere to walk: the registry, and then the library folder.
  struct Reg : RegistryReader {
    bool Read(std::string_view, std::string_view name, Variant* v) override {
      if (name != "Path") return false;
      *v = Variant("F:\\Pallas");
      return true;
    }
  };
  SetProcessLocation({"host", "/opt/lib"});
  EXPECT_EQ(FindInstallPath().folder, "/OPT/LIB");
  SetRegistryReader(std::make_shared<Reg>());
  EXPECT_EQ(FindInstallPath().folder, "F:\\Pallas");
  EXPECT_EQ(FindInstallPath().product_code, "ORVOULTIMATE");
  // Unix-style host paths walk the same way.
  SetProcessLocation({"/srv/orvostandard/bin/ambit-order", ""});
  ResetSharedHelperCaches();
  EXPECT_EQ(GetLumoSystemPath(), "/SRV/ORVOSTANDARD/LUMOSYSTEM");
}

TEST_F(SharedHelpersTest, ClientAddressAndLoginUser) {
  SetCallClientAddress("");
  EXPECT_EQ(GetClientAddress(), "");
  SetCallClientAddress("127.0.0.1");
  EXPECT_EQ(GetClientAddress(), "127.0.0.1");
  SetReadTcp([](std::string&, std::string& buf) {
    buf = std::string("10.1.2.3\0garbage", 16);
    return 1;
  });
  EXPECT_EQ(GetClientAddress(), "10.1.2.3");
  SetReadTcp([](std::string&, std::string&) { return 0; });
  EXPECT_EQ(GetClientAddress(), "");
  SetCallClientAddress("");

  struct Security : SecurityInfo {
    Variant GetCurrentUserID(const std::string& token) override {
      return token == "tok" ? Variant("16394") : Variant(0);
    }
  };
  LocalHost host([](const std::string&) { return std::make_shared<testing::FakeConnection>(); },
                 std::make_shared<LocalUserLogin>("tok", 1, "CHS"));
  EXPECT_THROW(GetLoginUserID(*host.context()), ComError);  // no security service
  RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Security>(); });
  EXPECT_EQ(GetLoginUserID(*host.context()), 16394);
  // An object that is not a security service: error 438.
  RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<FixedLanguage>("x"); });
  try {
    GetLoginUserID(*host.context());
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 438);
  }
}

TEST_F(SharedHelpersTest, SystemProfileAndRecordsetConversions) {
  auto conn = std::make_shared<testing::FakeConnection>();
  LocalHost host([conn](const std::string&) { return conn; });
  host.context()->OpenDataSource("acc");
  EXPECT_EQ(GetSystemProfile(*host.context(), "MergeFreightToAmount", "EC", Variant(1)),
            Variant(1));
  EXPECT_EQ(GetSystemProfile(*host.context(), "Other", "EC"), Variant(""));
  conn->answer = std::make_shared<Recordset>(
      std::vector<FieldInfo>{{"FValue", DataType::kVarChar}, {"FKey", DataType::kVarChar}},
      std::vector<Recordset::Row>{{Variant("0"), Variant("A")}, {Variant("1"), Variant("B")}});
  EXPECT_EQ(GetSystemProfile(*host.context(), "MergeFreightToAmount", "EC", Variant(1)),
            Variant("0"));

  Recordset& rs = *conn->answer;
  rs.MoveFirst();
  VectorPtr rows = RecordsetToVector(rs);
  ASSERT_EQ(rows->Count(), 2);
  DictionaryPtr second = rows->Item(2).As<Dictionary>();
  EXPECT_EQ(second->Name(1), "FValue");
  EXPECT_EQ(second->Value("FKey"), Variant("B"));
  EXPECT_THROW(RecordToDictionary(rs), ComError);  // at the end
  Recordset empty({{"A", DataType::kInteger}}, {});
  EXPECT_EQ(RecordsetToVector(empty)->Count(), 0);
}

}  // namespace
}  // namespace ambit
