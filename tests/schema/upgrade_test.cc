// Accounts built by earlier releases are upgraded in place when a host opens them.
#include "schema/upgrade.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backends/sqlite/sqlite_connection.h"
#include "base/com_error.h"
#include "base/conversions.h"
#include "support/account_fixture.h"
#include "tsql/session.h"

namespace ambit::schema {
namespace {

using ::ambit::testing::Scalar;
using ::ambit::testing::ScalarInt;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr char kPlatformState[] =
    "INSERT INTO IC_RefundInfo (FEntryID, FRefundStatus) VALUES (9, 'WAIT_BUYER_RETURN_GOODS')";

// The index names of an account, in order (`what` "sql": their definitions). Index definitions
// are storage that T-SQL does not show, so they are read from the engine's database beside it.
std::vector<std::string> IndexNames(Connection& conn, const std::string& what = "name") {
  std::vector<std::string> names;
  RecordsetPtr rs = dynamic_cast<SqliteConnection&>(conn).session().db().Query(
      "SELECT " + what + " FROM sqlite_master WHERE type = 'index' AND name NOT LIKE 'sqlite%' "
      "ORDER BY name");
  for (; !rs->Eof(); rs->MoveNext()) names.push_back(CStr(rs->Value(0)));
  return names;
}

// A version 2 account: the plain status index, none of the list order indexes.
ConnectionPtr VersionTwoAccount() {
  ConnectionPtr conn = testing::FreshAccount();
  conn->Execute(
      "DROP INDEX IX_Web2ERPOrders_StatusPay ON IC_Web2ERPOrders\r\n"
      "DROP INDEX IX_Web2ERPOrders_CheckPay ON IC_Web2ERPOrders\r\n"
      "DROP INDEX IX_Web2ERPOrders_PayDate ON IC_Web2ERPOrders\r\n"
      "DROP INDEX IX_Web2ERPOrdersEntry_FStatus ON IC_Web2ERPOrdersEntry\r\n"
      "DROP INDEX IX_Web2ERPOrdersEntry_FIsRowClose ON IC_Web2ERPOrdersEntry\r\n"
      "DROP INDEX IX_WebShopClient_FIsBlackList ON IC_WebShopClient\r\n"
      "CREATE INDEX IX_Web2ERPOrders_Status ON IC_Web2ERPOrders "
      "(FOrderStatus, FCheckStatus, FVoidStatus)\r\n"
      "UPDATE t_SystemProfile SET FValue = '2' WHERE FCategory = 'EC' AND FKey = 'SchemaVersion'");
  return conn;
}

// A version 1 account: after-sales cases with an integer FRefundStatus, no version row.
ConnectionPtr VersionOneAccount() {
  ConnectionPtr conn = VersionTwoAccount();
  conn->Execute(
      "DROP TABLE IC_RefundInfo\r\n"
      "CREATE TABLE IC_RefundInfo (FID int IDENTITY(1,1) NOT NULL PRIMARY KEY, "
      "FEntryID int NOT NULL DEFAULT 0, FItemID int NOT NULL DEFAULT 0, "
      "FNum decimal(28,10) NOT NULL DEFAULT 0, FRefundStatus int NOT NULL DEFAULT 0, "
      "FServiceStatus int NOT NULL DEFAULT 0)\r\n"
      "INSERT INTO IC_RefundInfo (FEntryID, FItemID, FNum, FRefundStatus, FServiceStatus) "
      "VALUES (11, 5, 2.5, 0, 38431), (12, 6, 1, 1, 38433)\r\n"
      "DELETE FROM IC_RefundInfo WHERE FEntryID = 11\r\n"
      "INSERT INTO IC_RefundInfo (FEntryID, FRefundStatus) VALUES (13, 0)\r\n"
      "DELETE FROM t_SystemProfile WHERE FCategory = 'EC' AND FKey = 'SchemaVersion'");
  return conn;
}

TEST(UpgradeTest, FreshAccountsCarryTheCurrentVersionAndTakePlatformStates) {
  ConnectionPtr conn = testing::FreshAccount();
  EXPECT_EQ(AccountSchemaVersion(*conn), kAccountSchemaVersion);
  conn->Execute(kPlatformState);
  EXPECT_EQ(Scalar(*conn, "SELECT FRefundStatus FROM IC_RefundInfo WHERE FEntryID = 9"),
            "WAIT_BUYER_RETURN_GOODS");
  // The order line's own FRefundStatus stays a 0/1 flag.
  EXPECT_THROW(conn->Execute("INSERT INTO IC_Web2ERPOrdersEntry (FID, FRefundStatus) "
                             "VALUES (1, 'WAIT_BUYER_RETURN_GOODS')"),
               ComError);
}

TEST(UpgradeTest, VersionOneRefundStatesBecomeTextKeepingRowsKeysAndIndexes) {
  ConnectionPtr conn = VersionOneAccount();
  ASSERT_EQ(AccountSchemaVersion(*conn), 1);
  EXPECT_THROW(conn->Execute(kPlatformState), ComError);

  UpgradeAccountSchema(*conn);
  EXPECT_EQ(AccountSchemaVersion(*conn), kAccountSchemaVersion);
  EXPECT_EQ(Scalar(*conn, "SELECT CONVERT(varchar(10), FID) + ':' + CONVERT(varchar(10), "
                          "FItemID) + ':' + CONVERT(varchar(10), FServiceStatus) + ':[' + "
                          "FRefundStatus + ']' FROM IC_RefundInfo WHERE FEntryID = 12"),
            "2:6:38433:[1]");
  EXPECT_EQ(Scalar(*conn, "SELECT '[' + FRefundStatus + ']' FROM IC_RefundInfo "
                          "WHERE FEntryID = 13"),
            "[]");
  EXPECT_EQ(Scalar(*conn, "SELECT FNum FROM IC_RefundInfo WHERE FEntryID = 12"), "1");
  // Columns the old table lacked take the current defaults; new keys follow the old ones.
  conn->Execute(kPlatformState);
  EXPECT_EQ(ScalarInt(*conn, "SELECT FID FROM IC_RefundInfo WHERE FEntryID = 9"), 4);
  EXPECT_EQ(ScalarInt(*conn, "SELECT COUNT(*) FROM IC_RefundInfo WHERE FRefundAmount = 0 "
                             "AND FServiceType = 0"),
            3);
  EXPECT_EQ(ScalarInt(*conn, "SELECT COUNT(*) FROM sys.indexes WHERE "
                             "object_id = OBJECT_ID('IC_RefundInfo') AND name LIKE 'IX[_]RefundInfo%'"),
            2);
  UpgradeAccountSchema(*conn);  // a second run changes nothing
  EXPECT_EQ(ScalarInt(*conn, "SELECT COUNT(*) FROM IC_RefundInfo"), 3);
}

TEST(UpgradeTest, FailingStepLeavesTheOldAccount) {
  ConnectionPtr conn = VersionOneAccount();
  // The step's scratch copy already exists on this connection, so the step fails midway.
  conn->Execute("CREATE TABLE #IC_RefundInfo_before (x int)");
  try {
    UpgradeAccountSchema(*conn);
    ADD_FAILURE() << "the upgrade should have failed";
  } catch (const ComError& e) {
    EXPECT_THAT(e.description(), HasSubstr("version 2"));
  }
  EXPECT_EQ(AccountSchemaVersion(*conn), 1);
  EXPECT_EQ(ScalarInt(*conn, "SELECT COUNT(*) FROM IC_RefundInfo"), 2);
  EXPECT_THROW(conn->Execute(kPlatformState), ComError);
}

TEST(UpgradeTest, VersionTwoTakesTheListOrderIndexes) {
  const std::vector<std::string> fresh = IndexNames(*testing::FreshAccount());
  EXPECT_THAT(fresh, Contains("IC_Web2ERPOrders$IX_Web2ERPOrders_StatusPay"));
  ConnectionPtr conn = VersionTwoAccount();
  ASSERT_EQ(AccountSchemaVersion(*conn), 2);
  ASSERT_NE(IndexNames(*conn), fresh);
  UpgradeAccountSchema(*conn);
  EXPECT_EQ(AccountSchemaVersion(*conn), kAccountSchemaVersion);
  EXPECT_EQ(IndexNames(*conn), fresh);
}

// Version 3 indexes of the lists lacked the shop, the shop's list order and the refund lines'
// order key; version 4 ones the date filters' keys: the upgrade redefines them in place.
TEST(UpgradeTest, VersionsThreeAndFourTakeThePageAndDateFilterIndexes) {
  const std::vector<std::string> fresh = IndexNames(*testing::FreshAccount(), "sql");
  const char* old_indexes[] = {
      "DROP INDEX IX_Web2ERPOrders_StatusPay ON IC_Web2ERPOrders\r\n"
      "DROP INDEX IX_Web2ERPOrders_ShopPay ON IC_Web2ERPOrders\r\n"
      "DROP INDEX IX_Web2ERPOrdersEntry_FRefundStatus ON IC_Web2ERPOrdersEntry\r\n"
      "CREATE INDEX IX_Web2ERPOrders_StatusPay ON IC_Web2ERPOrders "
      "(FOrderStatus, FCheckStatus, FVoidStatus, FSitePayDate, FOrderID, FID)\r\n"
      "CREATE INDEX IX_Web2ERPOrdersEntry_FRefundStatus ON IC_Web2ERPOrdersEntry (FRefundStatus)\r\n"
      "DROP INDEX IX_Web2ERPOrdersEntry_FID ON IC_Web2ERPOrdersEntry\r\n"
      "CREATE INDEX IX_Web2ERPOrdersEntry_FID ON IC_Web2ERPOrdersEntry (FID, FIndex)\r\n"
      "UPDATE t_SystemProfile SET FValue = '3' WHERE FCategory = 'EC' AND FKey = 'SchemaVersion'",
      "DROP INDEX IX_Web2ERPOrders_PayDate ON IC_Web2ERPOrders\r\n"
      "DROP INDEX IX_Web2ERPOrders_FBuyerNick ON IC_Web2ERPOrders\r\n"
      "CREATE INDEX IX_Web2ERPOrders_PayDate ON IC_Web2ERPOrders (FSitePayDate, FOrderID, FID)\r\n"
      "CREATE INDEX IX_Web2ERPOrders_FBuyerNick ON IC_Web2ERPOrders (FBuyerNick)\r\n"
      "DROP INDEX IX_Web2ERPOrders_FOrderDate ON IC_Web2ERPOrders\r\n"
      "CREATE INDEX IX_Web2ERPOrders_FOrderDate ON IC_Web2ERPOrders (FOrderDate)\r\n"
      "UPDATE t_SystemProfile SET FValue = '4' WHERE FCategory = 'EC' AND FKey = 'SchemaVersion'"};
  for (const char* old : old_indexes) {
    ConnectionPtr conn = testing::FreshAccount();
    conn->Execute(old);
    ASSERT_NE(IndexNames(*conn, "sql"), fresh) << old;
    UpgradeAccountSchema(*conn);
    EXPECT_EQ(AccountSchemaVersion(*conn), kAccountSchemaVersion);
    EXPECT_EQ(IndexNames(*conn, "sql"), fresh) << old;
  }
}

}  // namespace
}  // namespace ambit::schema
