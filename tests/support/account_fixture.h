// A fresh account built from the schema scripts, for tests of the order methods: an in-memory
// (or file) database with every table, view, procedure and base row, a LocalHost that hands
// that database to every call, and terse helpers to seed orders, lines, items and stock.
//
//   class SplitTest : public ambit::testing::AccountTest {};
//   TEST_F(SplitTest, ...) {
//     SeedOrder(conn(), {.fid = 1, .order_id = "A1", .status = 1});
//     SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2});
//     ... call the method with kDsn ...
//   }
#ifndef AMBIT_TESTS_SUPPORT_ACCOUNT_FIXTURE_H_
#define AMBIT_TESTS_SUPPORT_ACCOUNT_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "backends/sqlite/sqlite_connection.h"
#include "base/conversions.h"
#include "data/command.h"
#include "data/connection.h"
#include "frame/collections.h"
#include "frame/local_host.h"
#include "schema/account.h"
#include "schema/names.h"

namespace ambit::testing {

// Connection string tests pass as sDsn; the fixture's host maps every string to its account.
inline constexpr char kDsn[] = "Provider=SQLite;Data Source=:memory:";

inline ConnectionPtr FreshAccount() { return schema::CreateAccount(":memory:"); }

// A fresh account in a file (for tests that need several connections on one account). The
// file must not exist yet; the caller removes it.
inline ConnectionPtr FreshAccountFile(const std::string& path) {
  return schema::CreateAccount(path);
}

// Quoted T-SQL text literal (N'...', quotes doubled).
inline std::string Q(const std::string& text) { return SqlLiteral(Variant(text)); }
inline std::string N(double value) { return CStr(Variant(value)); }
inline std::string N(int value) { return std::to_string(value); }

// First column of the first row of `sql`, as text ("" without a row). For quick assertions.
inline std::string Scalar(Connection& conn, const std::string& sql) {
  RecordsetPtr rs = conn.Execute(sql);
  if (!rs || !rs->IsOpen() || rs->Eof()) return "";
  const Variant& v = rs->Value(0);
  return v.IsNull() ? "" : CStr(v);
}
inline int ScalarInt(Connection& conn, const std::string& sql) {
  std::string text = Scalar(conn, sql);
  return text.empty() ? 0 : CLng(Variant(text));
}

// Every row of `sql`, one line each, every value followed by "|" (NULL as "NULL"): for
// comparing an account before and after a call, or a few rows at once.
inline std::string Rows(Connection& conn, const std::string& sql) {
  std::string out;
  for (RecordsetPtr rs = conn.Execute(sql); rs && rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    for (int i = 0; i < rs->FieldCount(); ++i)
      out += (rs->Value(i).IsNull() ? std::string("NULL") : CStr(rs->Value(i))) + "|";
    out += "\n";
  }
  return out;
}

// A Dictionary as a client sends one.
inline DictionaryPtr Dict(std::initializer_list<std::pair<const char*, Variant>> entries) {
  DictionaryPtr d = NewDictionary();
  for (const auto& [key, value] : entries) d->SetValue(key, value);
  return d;
}

struct OrderSeed {
  int fid = 0;
  std::string order_id = "";  // "WD" + fid when empty
  int status = schema::code::kOrderStatusWaitReview;  // FOrderStatus
  int check_status = schema::code::kCheckStatusNotReviewed;
  int trade_status = schema::code::kTradeStatusWaitSellerSend;
  std::string shop = "SHOP1";
  std::string site_order_id = "";  // "T" + fid when empty
  std::string buyer_nick = "buyer";
  std::string consignee = "consignee";
  std::string address = "address";
  double amount = 0;
  int void_status = 0;
  int lock_status = 0;
  int order_type = schema::code::kOrderTypeNormal;
  std::string unique_code = "0";
  int pre_chk_man = 0;
  std::string order_date = "2026-01-05 10:00:00";
};

inline void SeedOrder(Connection& conn, const OrderSeed& o) {
  std::string order_id = o.order_id.empty() ? "WD" + std::to_string(o.fid) : o.order_id;
  std::string site = o.site_order_id.empty() ? "T" + std::to_string(o.fid) : o.site_order_id;
  conn.Execute(
      "INSERT INTO IC_Web2ERPOrders (FID, FOrderID, FSiteOrderID, FOrderStatus, FCheckStatus, "
      "FTransactionStatus, FWebshopID, FBuyerNick, FConsignee, FDeliveryAddress, FAmount, "
      "FVoidStatus, FLockStatus, FOrderType, FUniqueCode, FPreChkMan, FOrderDate) VALUES (" +
      N(o.fid) + "," + Q(order_id) + "," + Q(site) + "," + N(o.status) + "," +
      N(o.check_status) + "," + N(o.trade_status) + "," + Q(o.shop) + "," + Q(o.buyer_nick) +
      "," + Q(o.consignee) + "," + Q(o.address) + "," + N(o.amount) + "," + N(o.void_status) +
      "," + N(o.lock_status) + "," + N(o.order_type) + "," + Q(o.unique_code) + "," +
      N(o.pre_chk_man) + ",'" + o.order_date + "')");
}

struct LineSeed {
  int fid = 0;
  int item_id = 0;
  double quantity = 1;
  double price = 0;
  int stock_id = 0;
  int sp_id = 0;
  std::string batch_no = "";
  int unit_id = 0;
  int index = 0;  // next free position when 0
  int is_free = 0;
  int refund_status = 0;
  std::string status = "";  // the shop's line status ("TRADE_CLOSED" ...)
  int service_status = 0;
};

// Returns the new line's FEntryID.
inline int SeedLine(Connection& conn, const LineSeed& l) {
  std::string index = l.index > 0 ? N(l.index)
                                  : "(SELECT ISNULL(MAX(FIndex), 0) + 1 FROM IC_Web2ERPOrdersEntry "
                                    "WHERE FID = " + N(l.fid) + ")";
  conn.Execute(
      "INSERT INTO IC_Web2ERPOrdersEntry (FID, FIndex, FOrderID, FSiteOrderID, FItemID, FUnitID, "
      "FQuantity, FPrice, FAmount, FStockID, FSPID, FBatchNo, FIsFree, FRefundStatus, FStatus, "
      "FServiceStatus) SELECT " + N(l.fid) + "," + index + ", FOrderID, FSiteOrderID," +
      N(l.item_id) + "," + N(l.unit_id) + "," + N(l.quantity) + "," + N(l.price) + "," +
      N(l.quantity * l.price) + "," + N(l.stock_id) + "," + N(l.sp_id) + "," + Q(l.batch_no) +
      "," + N(l.is_free) + "," + N(l.refund_status) + "," + Q(l.status) + "," +
      N(l.service_status) + " FROM IC_Web2ERPOrders WHERE FID = " + N(l.fid));
  int entry_id = ScalarInt(conn, "SELECT MAX(FEntryID) FROM IC_Web2ERPOrdersEntry WHERE FID = " +
                                     N(l.fid));
  if (entry_id == 0) ADD_FAILURE() << "SeedLine: order " << l.fid << " has not been seeded";
  return entry_id;
}

struct ItemSeed {
  int item_id = 0;
  std::string number = "";  // "I" + item_id when empty
  std::string name = "";    // "Item " + item_id when empty
  int unit_id = 0;
  int qty_decimal = 0;
  int batch_manager = 0;
};

// An item, both in the item tree (class 4) and in the item master.
inline void SeedItem(Connection& conn, const ItemSeed& i) {
  std::string number = i.number.empty() ? "I" + std::to_string(i.item_id) : i.number;
  std::string name = i.name.empty() ? "Item " + std::to_string(i.item_id) : i.name;
  conn.Execute("INSERT INTO t_Item (FItemID, FItemClassID, FNumber, FName) VALUES (" +
               N(i.item_id) + ", 4, " + Q(number) + "," + Q(name) + ")\r\n"
               "INSERT INTO t_ICItem (FItemID, FNumber, FName, FUnitID, FQtyDecimal, "
               "FBatchManager) VALUES (" + N(i.item_id) + "," + Q(number) + "," + Q(name) +
               "," + N(i.unit_id) + "," + N(i.qty_decimal) + "," + N(i.batch_manager) + ")");
}

// A warehouse (class 5 in the item tree) and, when sp_id is given, one stock place of it.
inline void SeedStock(Connection& conn, int stock_id, const std::string& name, int sp_id = 0) {
  conn.Execute("INSERT INTO t_Item (FItemID, FItemClassID, FNumber, FName) VALUES (" +
               N(stock_id) + ", 5, " + Q("S" + std::to_string(stock_id)) + "," + Q(name) +
               ")\r\nINSERT INTO t_Stock (FItemID, FNumber, FName, FIsStockMgr) VALUES (" +
               N(stock_id) + "," + Q("S" + std::to_string(stock_id)) + "," + Q(name) + "," +
               N(sp_id > 0 ? 1 : 0) + ")");
  if (sp_id > 0) {
    conn.Execute("INSERT INTO t_StockPlace (FSPID, FNumber, FName) VALUES (" + N(sp_id) + "," +
                 Q("P" + std::to_string(sp_id)) + "," + Q(name + " place") + ")");
  }
}

inline void SeedInventory(Connection& conn, int item_id, int stock_id, double qty,
                          int sp_id = 0, const std::string& batch_no = "") {
  conn.Execute("INSERT INTO ICInventory (FItemID, FStockID, FStockPlaceID, FBatchNo, FQty) "
               "VALUES (" + N(item_id) + "," + N(stock_id) + "," + N(sp_id) + "," +
               Q(batch_no) + "," + N(qty) + ")");
}

inline void SeedShop(Connection& conn, const std::string& shop_id, const std::string& name,
                     int stock_id = 0) {
  conn.Execute("INSERT INTO IC_WebshopToStorage (FWebShopID, FWebShopName, FStockID) VALUES (" +
               Q(shop_id) + "," + Q(name) + "," + N(stock_id) + ")");
}

// Sets a system parameter (category 'EC' unless given), adding the row when missing.
inline void SetProfile(Connection& conn, const std::string& key, const std::string& value,
                       const std::string& category = "EC") {
  conn.Execute("DELETE FROM t_SystemProfile WHERE FCategory = " + Q(category) + " AND FKey = " +
               Q(key) + "\r\nINSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES (" +
               Q(category) + "," + Q(key) + "," + Q(value) + ")");
}

// Fixture: a fresh in-memory account and a LocalHost whose calls all run on it, as user
// `user_id` (the administrator unless a test says otherwise).
class AccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn_ = FreshAccount();
    host_ = std::make_unique<LocalHost>(
        [conn = conn_](const std::string&) { return conn; },
        std::make_shared<LocalUserLogin>("test", user_id(), language()));
  }
  void TearDown() override { host_.reset(); }

  virtual int16_t user_id() const { return schema::code::kAdministratorUserID; }
  virtual std::string language() const { return "CHS"; }

  Connection& conn() { return *conn_; }
  const ConnectionPtr& connection() const { return conn_; }
  LocalHost& host() { return *host_; }
  LocalCallContext& context() { return *host_->context(); }

 private:
  ConnectionPtr conn_;
  std::unique_ptr<LocalHost> host_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_ACCOUNT_FIXTURE_H_
