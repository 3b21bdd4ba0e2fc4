// Calls through the real dispatcher on a fresh account: the host runs each AmbitOrderUpdate
// call in one transaction, so tests can show that a method failing half-way leaves the account
// as it was. A test may serve the account through a wrapping connection (set `served_` before
// the first call), or call AmbitOrderInfo instead (set `class_name_`).
#ifndef AMBIT_TESTS_SUPPORT_DISPATCHER_FIXTURE_H_
#define AMBIT_TESTS_SUPPORT_DISPATCHER_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classes/classes.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "support/account_fixture.h"

namespace ambit::testing {

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherTest()
      : accounts_(Options(), [this](const std::string&) { return served_; }),
        dispatcher_(accounts_, {&AmbitOrderInfoTable(), &AmbitOrderUpdateTable()}) {
    accounts_.AddAccount("acc", "Data Source=acc");
  }

  static AccountOptions Options() {
    AccountOptions options;
    options.pool_size = 1;
    return options;
  }

  nlohmann::ordered_json Call(const std::string& method, const nlohmann::ordered_json& args) {
    return dispatcher_.Call({class_name_, method, args, user_, "10.1.2.3"});
  }
  std::string Rows(const std::string& sql) { return testing::Rows(*account_, sql); }

  ConnectionPtr account_ = FreshAccount();
  ConnectionPtr served_ = account_;
  AccountRegistry accounts_;
  Dispatcher dispatcher_;
  UserLoginPtr user_ = std::make_shared<HostUserLogin>("tok", 16394, "CHS");
  std::string class_name_ = "AmbitOrderUpdate";
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_DISPATCHER_FIXTURE_H_
