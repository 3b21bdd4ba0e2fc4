#include "cli/accounts_file.h"

#include <gtest/gtest.h>

#include "base/com_error.h"

namespace ambit::cli {
namespace {

TEST(AccountsFileTest, NamesAndConnectionStringsInOrder) {
  std::vector<AccountEntry> entries = ParseAccounts(
      "# accounts of this server\r\n"
      "\n"
      "  shop1 = ./data/shop1.db\r\n"
      "erp=Driver=FreeTDS;Server=db1;Database=ERP;PWD=a=b\n",
      "accounts.txt");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "shop1");
  EXPECT_EQ(entries[0].account, "./data/shop1.db");
  EXPECT_EQ(entries[1].name, "erp");
  EXPECT_EQ(entries[1].account, "Driver=FreeTDS;Server=db1;Database=ERP;PWD=a=b");
}

TEST(AccountsFileTest, LinesThatDoNotReadAreRefusedByNumberWithoutTheirText) {
  struct Case {
    const char* text;
    const char* expected;
  };
  for (const Case& c : {Case{"a = x.db\njust a name", "line 2: expected"},
                        Case{"Driver=FreeTDS;Server=db;PWD=zz9", "line 1: expected"},
                        Case{"two words = Driver=x;PWD=zz9", "line 1: expected"},
                        Case{" = Driver=x;PWD=zz9", "line 1: expected"},
                        Case{"a =   ", "account 'a' has no connection string"},
                        Case{"a = x.db\nA = Driver=y;PWD=zz9", "line 2: account 'A' is named twice"},
                        Case{"# nothing\n", "names no account"}}) {
    try {
      ParseAccounts(c.text, "f.txt");
      ADD_FAILURE() << c.text;
    } catch (const ComError& e) {
      EXPECT_NE(e.description().find(c.expected), std::string::npos) << e.description();
      EXPECT_EQ(e.description().find("zz9"), std::string::npos) << e.description();
    }
  }
}

}  // namespace
}  // namespace ambit::cli
