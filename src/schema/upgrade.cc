#include "schema/upgrade.h"

#include <string>
#include <string_view>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"
#include "schema/account.h"

namespace ambit::schema {
namespace {

// The batches of one script that mention `needle` (case-insensitive): how a step re-creates a
// table or its indexes exactly as the current scripts do, without a second copy of them.
std::vector<std::string> ScriptBatchesWith(std::string_view file_name, std::string_view needle) {
  std::vector<std::string> found;
  std::string wanted = ToLowerAscii(needle);
  for (const SchemaScript& script : SchemaScriptFiles()) {
    if (script.file_name != file_name) continue;
    for (std::string& batch : SplitBatches(script.text)) {
      if (ToLowerAscii(batch).find(wanted) != std::string::npos) found.push_back(std::move(batch));
    }
  }
  return found;
}

std::vector<std::string> ColumnNames(Connection& conn, const std::string& table) {
  RecordsetPtr rs = conn.Execute("SELECT * FROM " + table + " WHERE 1 = 2");
  std::vector<std::string> names;
  for (int i = 0; i < rs->FieldCount(); ++i) names.push_back(rs->Field(i).name);
  return names;
}

// Neither engine changes a column's type in place once a default is bound to it, so the table
// is rebuilt from the current script and its rows copied back under their own keys.
// `convert` gives the copy's expression for a column (empty: the column as it is).
void RebuildTable(Connection& conn, const std::string& table,
                  std::string (*convert)(const std::string& column)) {
  std::vector<std::string> create = ScriptBatchesWith("tables.sql", "CREATE TABLE " + table + " (");
  if (create.size() != 1) {
    throw ComError(err::kUnexpected, kSchemaErrorSource,
                   "tables.sql does not define " + table + " exactly once");
  }
  const std::string copy = "#" + table + "_before";
  std::vector<std::string> columns = ColumnNames(conn, table);
  conn.Execute("SELECT * INTO " + copy + " FROM " + table + "\r\nDROP TABLE " + table + "\r\n");
  conn.Execute(create[0]);
  std::vector<std::string> now = ColumnNames(conn, table);
  std::string names, values;
  for (const std::string& column : columns) {
    bool kept = false;
    for (const std::string& n : now) kept = kept || EqualsNoCase(n, column);
    if (!kept) continue;  // a column the current scripts dropped
    std::string value = convert(column);
    names += (names.empty() ? "" : ",") + column;
    values += (values.empty() ? "" : ",") + (value.empty() ? column : value);
  }
  conn.Execute("SET IDENTITY_INSERT " + table + " ON\r\n" +
               "INSERT INTO " + table + " (" + names + ")\r\n" +
               "SELECT " + values + " FROM " + copy + "\r\n" +
               "SET IDENTITY_INSERT " + table + " OFF\r\n" +
               "DROP TABLE " + copy + "\r\n");
  for (const std::string& index : ScriptBatchesWith("indexes.sql", " ON " + table + " ("))
    conn.Execute(index);
}

// Version 2: an after-sales case's FRefundStatus is the shop platform's refund state
// ('WAIT_BUYER_RETURN_GOODS' ...), compared as text by the purchase summary; it was an int.
// No platform state is 0, so a stored 0 becomes the empty text.
void RefundStatusAsText(Connection& conn) {
  RebuildTable(conn, "IC_RefundInfo", [](const std::string& column) -> std::string {
    if (!EqualsNoCase(column, "FRefundStatus")) return "";
    return "CASE WHEN ISNULL(CONVERT(nvarchar(50), FRefundStatus), '0') = '0' THEN '' "
           "ELSE CONVERT(nvarchar(50), FRefundStatus) END";
  });
}

// Creates index `name` as indexes.sql defines it, dropping an older definition first.
void RecreateScriptIndex(Connection& conn, const std::string& table, const std::string& name) {
  std::vector<std::string> create = ScriptBatchesWith("indexes.sql", name + " ON");
  if (create.size() != 1)
    throw ComError(err::kUnexpected, kSchemaErrorSource,
                   "indexes.sql does not define " + name + " exactly once");
  conn.Execute("IF EXISTS (SELECT 1 FROM sys.indexes WHERE object_id = OBJECT_ID('" + table +
               "') AND name = '" + name + "') DROP INDEX " + name + " ON " + table);
  conn.Execute(create[0]);
}

// Version 3: the status lists read a page in list order from an index. The plain status index
// is a prefix of its successor and goes (every version 2 account has it).
void ListOrderIndexes(Connection& conn) {
  conn.Execute("DROP INDEX IX_Web2ERPOrders_Status ON IC_Web2ERPOrders");
  for (const char* name : {"IX_Web2ERPOrders_StatusPay", "IX_Web2ERPOrders_CheckPay",
                           "IX_Web2ERPOrders_PayDate"})
    RecreateScriptIndex(conn, "IC_Web2ERPOrders", name);
  RecreateScriptIndex(conn, "IC_Web2ERPOrdersEntry", "IX_Web2ERPOrdersEntry_FStatus");
  RecreateScriptIndex(conn, "IC_Web2ERPOrdersEntry", "IX_Web2ERPOrdersEntry_FIsRowClose");
  RecreateScriptIndex(conn, "IC_WebShopClient", "IX_WebShopClient_FIsBlackList");
}

// Version 4: counting a state and a page's keys read the status indexes alone (they end in the
// shop), a shop's page reads its orders in list order, the refund view and the closed-row join
// read no lines (only index entries), and order lines find their unit's name by its ID.
void PageIndexes(Connection& conn) {
  for (const char* name : {"IX_Web2ERPOrders_StatusPay", "IX_Web2ERPOrders_CheckPay",
                           "IX_Web2ERPOrders_ShopPay"})
    RecreateScriptIndex(conn, "IC_Web2ERPOrders", name);
  RecreateScriptIndex(conn, "IC_Web2ERPOrdersEntry", "IX_Web2ERPOrdersEntry_FRefundStatus");
  RecreateScriptIndex(conn, "IC_Web2ERPOrdersEntry", "IX_Web2ERPOrdersEntry_FID");
  RecreateScriptIndex(conn, "t_MeasureUnit", "IX_t_MeasureUnit_FMeasureUnitID");
}

// Version 5: date comparisons can seek an index, so an order-date filter checks the date in the
// pay-date index's entries and a buyer's recent orders are one range of the nick's index.
void DateFilterIndexes(Connection& conn) {
  for (const char* name : {"IX_Web2ERPOrders_PayDate", "IX_Web2ERPOrders_FBuyerNick"})
    RecreateScriptIndex(conn, "IC_Web2ERPOrders", name);
}

// Version 6: the orders of an order-date range are read from the index alone.
void OrderDateIndex(Connection& conn) {
  RecreateScriptIndex(conn, "IC_Web2ERPOrders", "IX_Web2ERPOrders_FOrderDate");
}

struct UpgradeStep {
  int version;  // the version the step brings the account to
  const char* what;
  void (*run)(Connection& conn);
};

constexpr UpgradeStep kSteps[] = {
    {2, "IC_RefundInfo.FRefundStatus as text", &RefundStatusAsText},
    {3, "indexes in status list order", &ListOrderIndexes},
    {4, "indexes for paged lists", &PageIndexes},
    {5, "indexes for date filters", &DateFilterIndexes},
    {6, "index for order-date ranges", &OrderDateIndex},
};

void RecordVersion(Connection& conn, int version) {
  std::string value = "'" + std::to_string(version) + "'";
  conn.Execute(
      "UPDATE t_SystemProfile SET FValue = " + value +
      " WHERE FCategory = 'EC' AND FKey = 'SchemaVersion'\r\n"
      "IF @@ROWCOUNT = 0\r\n"
      "  INSERT INTO t_SystemProfile (FCategory, FKey, FValue) VALUES ('EC', 'SchemaVersion', " +
      value + ")\r\n");
}

}  // namespace

int AccountSchemaVersion(Connection& conn) {
  RecordsetPtr exists = conn.Execute(
      "SELECT CASE WHEN OBJECT_ID('t_SystemProfile') IS NULL THEN 0 ELSE 1 END");
  if (CLng(exists->Value(0)) == 0) return 0;
  RecordsetPtr rs = conn.Execute(
      "SELECT FValue FROM t_SystemProfile WHERE FCategory = 'EC' AND FKey = 'SchemaVersion'");
  if (rs->Eof() || !IsNumeric(rs->Value(0))) return 1;
  return CLng(rs->Value(0));
}

void UpgradeAccountSchema(Connection& conn) {
  int found = AccountSchemaVersion(conn);
  if (found == 0 || found >= kAccountSchemaVersion) return;  // the common case: no write lock
  conn.BeginTrans();
  try {
    // Read again under the write lock: another host may have upgraded meanwhile.
    int version = AccountSchemaVersion(conn);
    if (version < kAccountSchemaVersion) {
      for (const UpgradeStep& step : kSteps) {
        if (step.version <= version) continue;
        try {
          step.run(conn);
        } catch (const ComError& e) {
          throw ComError(e.number(), kSchemaErrorSource,
                         "Upgrading the account to version " + std::to_string(step.version) +
                             " (" + step.what + "): " + e.description());
        }
        version = step.version;
      }
      RecordVersion(conn, version);
    }
    conn.CommitTrans();
  } catch (...) {
    if (conn.TransactionDepth() > 0) conn.RollbackTrans();
    throw;
  }
}

}  // namespace ambit::schema
