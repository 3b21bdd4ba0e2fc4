// The account fixture with what the order lists need besides the database: the host's security
// service (the user behind the login) and its system-profile service (the "IC"/"CheckUserGroup"
// switch), both under the test's control, and short ways to build filters and read results.
#ifndef AMBIT_TESTS_QUERY_ORDER_LISTS_FIXTURE_H_
#define AMBIT_TESTS_QUERY_ORDER_LISTS_FIXTURE_H_

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/conversions.h"
#include "classes/classes.h"
#include "frame/host_services.h"
#include "support/account_fixture.h"

namespace ambit::testing {

class ListAccountTest : public AccountTest {
 protected:
  class Security : public SecurityInfo {
   public:
    explicit Security(const int32_t* user) : user_(user) {}
    Variant GetCurrentUserID(const std::string&) override { return Variant(*user_); }

   private:
    const int32_t* user_;
  };
  class Profile : public SystemProfileService {
   public:
    explicit Profile(ListAccountTest* test) : test_(test) {}
    Variant GetProfile(const std::string& dsn, const std::string& category,
                       const std::string& key) override {
      test_->profile_requests_.push_back(dsn + "|" + category + "|" + key);
      return test_->check_user_group_;
    }

   private:
    ListAccountTest* test_;
  };

  void SetUp() override {
    AccountTest::SetUp();
    RegisterHostObject(kProgIdSecurityInfo,
                       [this] { return std::make_shared<Security>(&login_user_); });
    RegisterHostObject(kProgIdSystemProfile, [this] { return std::make_shared<Profile>(this); });
    info_ = std::make_unique<AmbitOrderInfo>();
  }
  void TearDown() override {
    info_.reset();
    UnregisterHostObject(kProgIdSecurityInfo);
    UnregisterHostObject(kProgIdSystemProfile);
    AccountTest::TearDown();
  }

  // Another user for the calls from now on (login, security service and language).
  void LogInAs(int16_t user_id, const std::string& language = "CHS") {
    login_user_ = user_id;
    context().set_user(std::make_shared<LocalUserLogin>("test", user_id, language));
  }

  // A filter Dictionary on the fixture's account.
  static DictionaryPtr Para(std::initializer_list<std::pair<const char*, Variant>> keys = {}) {
    DictionaryPtr d = NewDictionary();
    d->SetValue("sDSN", Variant(kDsn));
    for (const auto& [key, value] : keys) d->SetValue(key, value);
    return d;
  }

  // A column of every row, as text, in the recordset's order.
  static std::vector<std::string> Column(const RecordsetPtr& rs, const char* field) {
    std::vector<std::string> out;
    if (!rs) return out;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      const Variant& v = rs->Value(field);
      out.push_back(v.IsNull() ? "<null>" : CStr(v));
    }
    return out;
  }
  static std::vector<int> Fids(const RecordsetPtr& rs) {
    std::vector<int> out;
    for (const std::string& s : Column(rs, "FID")) out.push_back(std::stoi(s));
    return out;
  }
  // The one value of a counting-mode answer, which has one column and one row.
  static int RecordCount(const RecordsetPtr& rs) {
    EXPECT_TRUE(rs && rs->IsOpen() && !rs->Eof());
    if (!rs || !rs->IsOpen() || rs->Eof()) return -1;
    EXPECT_EQ(rs->FieldCount(), 1);
    EXPECT_EQ(rs->Field(0).name, "RecordCount");
    int count = CLng(rs->Value("RecordCount"));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    return count;
  }
  // Whether #Data is left on the account's connection.
  bool DataTableLeft() { return !Scalar(conn(), "SELECT OBJECT_ID('tempdb..#Data')").empty(); }

  int32_t login_user_ = schema::code::kAdministratorUserID;
  Variant check_user_group_ = Variant("0");
  std::vector<std::string> profile_requests_;
  // Made once the fixture's host is in place: a component takes its context when created.
  std::unique_ptr<AmbitOrderInfo> info_;
  AmbitOrderInfo& info() { return *info_; }
};

// The error a call raised, for checking number, source and text.
template <class F>
ComError ErrorOf(F&& call) {
  try {
    call();
  } catch (const ComError& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return ComError(0, "", "");
}

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_QUERY_ORDER_LISTS_FIXTURE_H_
