#include "maintain/save_order.h"

#include <set>
#include <vector>

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "maintain/oplog.h"
#include "maintain/status_ops_common.h"

namespace ambit {
namespace {

constexpr char kSource[] = "AmbitOrder.AmbitOrderUpdate.SaveOrder";


bool IsMarker(std::string_view key) {
  return EqualsNoCase(key, kInsertRowMarker) || EqualsNoCase(key, kDeleteRowMarker);
}

// Column names go into the statements bare, so each must be a column of its table.
class ColumnSet {
 public:
  ColumnSet(Connection& conn, const std::string& table) : table_(table) {
    RecordsetPtr rs = conn.Execute("select * from " + table + " where 1=2");
    for (const FieldInfo& f : rs->fields()) names_.insert(ToLowerAscii(f.name));
  }
  void Check(std::string_view name) const {
    if (!names_.contains(ToLowerAscii(name)))
      throw ComError(err::kInvalidArgument, kSource,
                     "'" + std::string(name) + "' is not a column of " + table_ + ".");
  }

 private:
  std::string table_;
  std::set<std::string> names_;
};

// Refuses a cache that would put anything but keys and column names into the batch, before a
// single log row or statement is written.
void CheckCache(Connection& conn, const Dictionary& cache) {
  ColumnSet orders(conn, "IC_Web2ERPOrders");
  ColumnSet lines(conn, "IC_Web2ERPOrdersEntry");
  for (int i = 1; i <= cache.Count(); ++i) {
    const std::string& fid = cache.Name(i);
    CheckKey(fid, "FID");
    DictionaryPtr order = cache.Value(fid).As<Dictionary>();
    if (!order) continue;
    for (int j = 1; j <= order->Count(); ++j) {
      const std::string& key = order->Name(j);
      if (!IsNumericText(key)) {
        orders.Check(key);
        continue;
      }
      CheckKey(key, "FEntryID");
      DictionaryPtr line = order->Value(key).As<Dictionary>();
      if (!line)
        throw ComError(err::kInvalidArgument, kSource,
                       "The changes of line " + key + " of order " + fid + " are no Dictionary.");
      for (int k = 1; k <= line->Count(); ++k)
        if (!IsMarker(line->Name(k))) lines.Check(line->Name(k));
    }
  }
}

struct OrderState {
  int header_fields = 0;
  bool lines_changed = false;
  bool freight_changed = false;
  double new_freight = 0;
};

}  // namespace

std::string SaveOrder(Component& self, const std::string& sDsn,
                      const DictionaryPtr& dctDataCache) {
  if (sDsn.empty() || !dctDataCache || dctDataCache->Count() == 0) return "";
  self.call_context().BeginCall();
  self.InitContext(sDsn);
  ConnectionPtr conn = self.call_context().Connection();
  CheckCache(*conn, *dctDataCache);

  StringBuilder batch;
  std::vector<std::string> line_statements;    // in the order they were made
  std::vector<std::string> totals_statements;  // one per order position
  for (int position = 1; position <= dctDataCache->Count(); ++position) {
    const std::string& fid = dctDataCache->Name(position);
    DictionaryPtr order = dctDataCache->Value(fid).As<Dictionary>();
    OrderState state;
    if (order && order->Count() > 0) {
      for (int j = 1; j <= order->Count(); ++j) {
        const std::string& key = order->Name(j);
        const Variant& value = order->Value(key);
        if (!IsNumericText(key)) {
          ++state.header_fields;
          std::string text = TextOrEmpty(value);
          if (EqualsNoCase(key, "FTotalFreight")) {
            state.freight_changed = true;
            state.new_freight = IsNumericText(text) ? CDbl(Variant(text)) : 0;
          }
          if (state.header_fields == 1) {
            batch.Append(" Update IC_Web2ERPOrders Set \r\n");
            batch.Append(key + "='" + SqlQuote(text) + "'\r\n");
          } else {
            batch.Append("," + key + "='" + SqlQuote(text) + "'\r\n");
          }
          WriteSaveOrderLog(self, fid, "0", key, text, "");
        } else {
          state.lines_changed = true;
          line_statements.push_back(
              BuildEntryChangeSql(self, *conn, fid, key, *value.As<Dictionary>()));
        }
      }
      if (state.header_fields > 0) batch.Append(" Where FID=" + fid + "\r\n");
      // With lines changed the header freight follows the lines, whatever was typed.
      if (state.lines_changed) {
        totals_statements.push_back(BuildOrderTotalsSql(fid, false, 0));
      } else if (state.freight_changed) {
        totals_statements.push_back(BuildOrderTotalsSql(fid, true, state.new_freight));
      }
    }
  }
  for (const std::string& sql : line_statements) batch.Append(sql);
  for (const std::string& sql : totals_statements) batch.Append(sql);

  if (batch.ToString().size() > 1) conn->Execute(batch.ToString());

  // After-sales rows of lines that no longer exist (deleted now or earlier) go with them.
  StringBuilder cleanup;
  cleanup.Append("Delete From IC_RefundRecord Where FEntryID <> 0 And FEntryID Not In \r\n");
  cleanup.Append("(Select FEntryID From IC_Web2ERPOrdersEntry with(nolock)) \r\n");
  cleanup.Append("Delete From IC_RefundInfo Where FEntryID <> 0 And FEntryID Not In \r\n");
  cleanup.Append("(Select FEntryID From IC_Web2ERPOrdersEntry with(nolock)) \r\n");
  conn->Execute(cleanup.ToString());
  return "";
}

std::string BuildOrderTotalsSql(const std::string& FID, bool freight_changed,
                                double new_freight) {
  StringBuilder sb;
  sb.Append("\r\n");
  if (freight_changed) {
    sb.Append(" Update IC_Web2ERPOrdersEntry Set \r\n");
    sb.Append(" FBuyerFreight=0\r\n");
    sb.Append(" Where FID=" + FID + "\r\n");
    sb.Append(" Update IC_Web2ERPOrdersEntry Set \r\n");
    sb.Append(" FBuyerFreight=" + FormatNumber(new_freight) + "\r\n");
    sb.Append(" Where FID=" + FID + "\r\n");
    sb.Append(" AND FEntryID=(\r\n");
    sb.Append(" Select Top 1 FEntryID From IC_Web2ERPOrdersEntry\r\n");
    sb.Append(" Where FID=" + FID + " Order By FEntryID Asc)\r\n");
    return sb.ToString();
  }
  for (const char* assignment :
       {" FTotalFreight=(Select Sum(FBuyerFreight) From IC_Web2ERPOrdersEntry ",
        " FDiscountFee=(Select Sum(FDiscountFee) From IC_Web2ERPOrdersEntry ",
        " FAmount=(Select Sum(FAmount) From IC_Web2ERPOrdersEntry "}) {
    sb.Append(" Update IC_Web2ERPOrders Set \r\n");
    sb.Append(std::string(assignment) + "\r\n");
    sb.Append(" Where FID=" + FID + ")\r\n");
    sb.Append(" Where FID=" + FID + "\r\n");
  }
  return sb.ToString();
}

bool InvoiceFlag(Component& self, const DictionaryPtr& dctPara) {
  if (!dctPara || TextOrEmpty(dctPara->Value("FID")).empty()) return false;
  return RunDictionaryMethod(self, "InvoiceFlag", dctPara, false, [&](MethodScope& m) {
    std::string fids = CheckKeyList(CStr(dctPara->Value("FID")), "FID");
    std::vector<std::string> keys = SplitKeyList(fids);
    StringBuilder sb;
    if (IsLogEnable(m.conn(), std::to_string(oplog::kInvoiceMarkToggled))) {
      int32_t user = GetLoginUserID(self.call_context());
      std::string address = GetClientAddress();
      std::string now = NowText();
      for (const std::string& fid : keys) {
        AppendTradeLogSelectHead(sb, fid, user, std::to_string(oplog::kInvoiceMarkToggled),
                                 address, now);
        sb.Append("case t.FInvoiceStatus when 1 then '标记开票' when 0 then '未标记开票' end,\r\n");
        sb.Append("case t.FInvoiceStatus when 1 then '未标记开票' when 0 then '标记开票' end\r\n");
        sb.Append("from IC_Web2ERPOrders t where t.FID = " + fid + "\r\n");
      }
      m.conn().Execute(sb.ToString());
      sb.Remove(1, sb.Length());
    }
    // The whole selection follows the first order, so a mixed selection becomes uniform.
    sb.Append(" Update IC_Web2ERPOrders \r\n");
    sb.Append(" SET    FInvoiceStatus = ( \r\n");
    sb.Append("           SELECT FInvoiceStatus\r\n");
    sb.Append("           From IC_Web2ERPOrders\r\n");
    sb.Append("           Where FID = " + keys.front() + "\r\n");
    sb.Append("       ) ^ 1 \r\n");
    sb.Append(" Where FID IN (" + fids + ") \r\n");
    sb.Append(" AND FInnerInvoice = 0 \r\n");
    m.conn().Execute(sb.ToString());
    return true;
  });
}

}  // namespace ambit
