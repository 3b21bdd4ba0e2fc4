#include "maintain/oplog.h"

#include <gtest/gtest.h>

#include "backends/sqlite/sqlite_connection.h"
#include "base/conversions.h"
#include "classes/classes.h"
#include "frame/host_services.h"
#include "frame/local_host.h"

namespace ambit {
namespace {

// Just the tables the log reads and writes.
constexpr char kTables[] = R"(
create table IC_TradeLog (FOrderFID int, FOPUserID int, FOPCode int, FUserIP nvarchar(50),
  FOPTime datetime, FItemID int, FOldValue nvarchar(1000), FNewValue nvarchar(1000))
create table IC_TradeLogType (FOPCode int primary key, FOPName nvarchar(80),
  FLogDesc nvarchar(255), FWriteLog int)
create table t_User (FUserID int primary key, FName nvarchar(80))
create table t_ICItem (FItemID int primary key, FNumber nvarchar(80), FName nvarchar(255),
  FQtyDecimal int)
create table IC_Area (FID int primary key, FName nvarchar(80))
create table IC_Web2ERPOrders (FID int primary key, FDeliveryCity int, FTelephone nvarchar(40),
  FTotalFreight decimal(18,2))
create table IC_Web2ERPOrdersEntry (FEntryID int primary key, FID int, FItemID int,
  FQuantity decimal(18,4))
insert into t_User values (16394, 'administrator')
insert into t_ICItem values (501, 'T-01', 'Green tea', 2)
insert into IC_Area values (1, 'Hangzhou'), (2, 'Suzhou')
insert into IC_TradeLogType values
  (2006, 'City', 'City OldValue -> NewValue', 1),
  (2011, 'Telephone', 'Phone OldValue -> NewValue', 1),
  (1011, 'Freight', 'Freight OldValue -> NewValue', 0),
  (1022, 'Quantity', 'Item: OldValue -> NewValue', 1)
insert into IC_Web2ERPOrders values (7, 1, '0571-1', 5.00), (9, 2, null, 0)
insert into IC_Web2ERPOrdersEntry values (70, 7, 501, 2)
)";

class Security : public SecurityInfo {
 public:
  Variant GetCurrentUserID(const std::string&) override { return Variant(16394); }
};

class OpLogTest : public ::testing::Test {
 protected:
  OpLogTest() : host_([this](const std::string&) { return conn_; }) {
    RegisterSqliteBackend();
    conn_ = OpenConnection("Data Source=:memory:");
    conn_->Execute(kTables);
    RegisterHostObject(kProgIdSecurityInfo, [] { return std::make_shared<Security>(); });
    SetCallClientAddress("10.0.0.8");
  }
  ~OpLogTest() override {
    UnregisterHostObject(kProgIdSecurityInfo);
    SetCallClientAddress("");
  }

  int64_t Count(const std::string& where = "1=1") {
    return CLngLng(conn_->Execute("select count(*) from IC_TradeLog where " + where)->Value(0));
  }
  // The save path: the context already has the account open.
  void Save(const std::string& fid, const std::string& entry, const std::string& field,
            const std::string& value) {
    AmbitOrderUpdate update;
    update.InitContext("acc");
    WriteSaveOrderLog(update, fid, entry, field, value);
  }

  ConnectionPtr conn_;
  LocalHost host_;
};

TEST_F(OpLogTest, WriteOPLogWritesOneRowPerOrder) {
  AmbitOrderUpdate update;
  auto data = NewDictionary();
  data->SetValue("sFID", Variant("7,9"));
  data->SetValue("FOPUserID", Variant(16394));
  data->SetValue("FOPCode", Variant(2009));
  data->SetValue("FUserIP", Variant("127.0.0.1"));
  data->SetValue("FOPTime", Variant("2026-12-05 10:00:00"));
  data->SetValue("FItemID", Variant(0));
  data->SetValue("FOldValue", Variant("A1,A2"));
  data->SetValue("FNewValue", Variant("O'Neil"));
  EXPECT_FALSE(WriteOPLog(update, "acc", data));
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Count("FOrderFID = 9 and FNewValue = 'O''Neil' and FOPCode = 2009"), 1);

  data->SetValue("sFID", Variant(""));
  EXPECT_FALSE(WriteOPLog(update, "acc", data));
  EXPECT_FALSE(WriteOPLog(update, "acc", nullptr));
  EXPECT_EQ(Count(), 2);

  data->SetValue("sFID", Variant("7;delete from t_User"));
  try {
    WriteOPLog(update, "acc", data);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderUpdate.WriteOPLog");
    EXPECT_NE(e.description().find("'7;delete from t_User'"), std::string::npos);
  }
  EXPECT_EQ(host_.context()->abort_count, 1);
  EXPECT_EQ(Count(), 2);
}

TEST_F(OpLogTest, IsLogEnableOnlyForCodesSwitchedOn) {
  EXPECT_TRUE(IsLogEnable(*conn_, "2006"));
  EXPECT_FALSE(IsLogEnable(*conn_, "1011"));  // FWriteLog 0
  EXPECT_FALSE(IsLogEnable(*conn_, "4242"));  // no row
  EXPECT_THROW(IsLogEnable(*conn_, "1 or 1=1"), ComError);
}

TEST_F(OpLogTest, KeyFieldsAreLoggedByNameAndOnlyWhenChanged) {
  Save("7", "0", "FDeliveryCity", "2");
  ASSERT_EQ(Count(), 1);
  RecordsetPtr row = conn_->Execute("select FOPUserID, FOPCode, FUserIP, FItemID, FOldValue, "
                                    "FNewValue from IC_TradeLog");
  EXPECT_EQ(CLng(row->Value("FOPUserID")), 16394);
  EXPECT_EQ(CLng(row->Value("FOPCode")), 2006);
  EXPECT_EQ(CStr(row->Value("FUserIP")), "10.0.0.8");
  EXPECT_EQ(CLng(row->Value("FItemID")), 0);
  EXPECT_EQ(CStr(row->Value("FOldValue")), "Hangzhou");
  EXPECT_EQ(CStr(row->Value("FNewValue")), "Suzhou");
  Save("7", "0", "FDeliveryCity", "1");  // the stored value: nothing changes
  EXPECT_EQ(Count(), 1);
}

TEST_F(OpLogTest, TextDecimalLineAndUnloggedFields) {
  Save("7", "0", "FTelephone", "0571-2'x");
  EXPECT_EQ(Count("FOPCode = 2011 and FOldValue = '0571-1' and FNewValue = '0571-2''x'"), 1);
  conn_->Execute("update IC_Web2ERPOrders set FTelephone = '0571-2''x' where FID = 7");
  Save("7", "0", "FTelephone", "0571-2'x");  // what is stored now: nothing to log
  EXPECT_EQ(Count("FOPCode = 2011"), 1);
  Save("7", "0", "FTotalFreight", "9");  // code switched off
  EXPECT_EQ(Count("FOPCode = 1011"), 0);
  Save("7", "0", "FNoSuchField", "9");
  // A line quantity, found by its line alone, compared at the item's two decimals.
  Save("", "70", "FQuantity", "2.00");
  EXPECT_EQ(Count("FOPCode = 1022"), 0);
  Save("", "70", "FQuantity", "3");
  EXPECT_EQ(Count("FOPCode = 1022 and FOrderFID = 7 and FItemID = 501 and FOldValue = '2.00'"),
            1);
  Save("", "999", "FQuantity", "3");  // an unknown line logs nothing
  EXPECT_EQ(Count(), 2);
  // A header field edited from a line (the line's key comes along) is the order's own field:
  // read and logged by the order, with no item.
  Save("7", "70", "FTelephone", "0571-3");
  Save("", "70", "FDeliveryCity", "1");
  EXPECT_EQ(Count("FOPCode = 2011 and FOrderFID = 7 and FItemID = 0 and FOldValue = '0571-2''x' "
                  "and FNewValue = '0571-3'"),
            1);
  EXPECT_EQ(Count(), 3);
  EXPECT_THROW(Save("7", "0", "FDeliveryCity", "2; drop table t_User"), ComError);
}

TEST_F(OpLogTest, GetOPLogSubstitutesTheDescription) {
  Save("", "70", "FQuantity", "3");
  Save("7", "0", "FDeliveryCity", "2");
  AmbitOrderInfo info;
  RecordsetPtr rs = GetOPLog(info, "acc", "7");
  ASSERT_EQ(rs->RecordCount(), 2);
  std::vector<std::string> descriptions;
  for (; !rs->Eof(); rs->MoveNext()) {
    EXPECT_EQ(CStr(rs->Value("FOPUserName")), "administrator");
    descriptions.push_back(CStr(rs->Value("FLogDesc")));
  }
  EXPECT_NE(std::find(descriptions.begin(), descriptions.end(), "Green tea: 2.00 -> 3"),
            descriptions.end());
  EXPECT_NE(std::find(descriptions.begin(), descriptions.end(), "City Hangzhou -> Suzhou"),
            descriptions.end());
  EXPECT_THROW(GetOPLog(info, "acc", "7,8"), ComError);
}

}  // namespace
}  // namespace ambit
