// The line statements of an order save: delete, insert or update of one cached line, each
// logged as it is built, before the batch runs and while the old values can still be read.
#include <cmath>
#include <string>

#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "maintain/oplog.h"
#include "maintain/save_order.h"
#include "maintain/status_ops_common.h"

namespace ambit {
namespace {

bool Is(std::string_view key, std::string_view name) {
  if (key.size() != name.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(key[i]) != lower(name[i])) return false;
  }
  return true;
}

double NumberOrZero(const Variant& value) {
  std::string text = TextOrEmpty(value);
  return IsNumericText(text) ? CDbl(Variant(text)) : 0;
}

void LogLineChange(Component& self, const std::string& FID, int code, const std::string& item) {
  CallContext& context = self.call_context();
  DictionaryPtr data = NewDictionary();
  data->SetValue("sFID", Variant(FID));
  data->SetValue("FOPUserID", Variant(GetLoginUserID(context)));
  data->SetValue("FOPCode", Variant(std::to_string(code)));
  data->SetValue("FUserIP", Variant(GetClientAddress()));
  data->SetValue("FOPTime", Variant(NowText()));
  data->SetValue("FItemID", Variant(item.empty() ? std::string("0") : item));
  data->SetValue("FOldValue", Variant(""));
  data->SetValue("FNewValue", Variant(""));
  WriteOPLog(self, context.DataSourceName(), data);
}

std::string LineWhere(const std::string& FID, const std::string& line_key) {
  return " Where FID=" + FID + " And FEntryID=" + line_key;
}

void AppendDelete(StringBuilder& sb, Component& self, Connection& conn, const std::string& FID,
                  const std::string& line_key) {
  sb.Append(" Delete From IC_Web2ERPOrdersEntry \r\n");
  sb.Append(LineWhere(FID, line_key) + "\r\n");
  LogLineChange(self, FID, oplog::kLineDeleted, GetEntryItemID(conn, FID, line_key));
}

void AppendInsert(StringBuilder& sb, Component& self, const std::string& FID,
                  const std::string& line_key, const Dictionary& line) {
  double price = 0, quantity = 0, discount = 0;
  sb.Append(" Insert Into IC_Web2ERPOrdersEntry (\r\n");
  sb.Append(" FID,FIndex\r\n");
  for (int i = 1; i <= line.Count(); ++i) {
    const std::string& key = line.Name(i);
    if (Is(key, kInsertRowMarker)) continue;
    if (Is(key, "FPrice")) price = NumberOrZero(line.Value(key));
    if (Is(key, "FQuantity")) quantity = NumberOrZero(line.Value(key));
    if (Is(key, "FDiscountFee")) discount = NumberOrZero(line.Value(key));
    sb.Append("," + key + "\r\n");
  }
  bool amounts = price != 0 && quantity != 0;
  if (amounts) sb.Append(",FAmount,FAfterDiscountAmount ");
  sb.Append(") Values (\r\n");
  long index = std::lround(std::fabs(CDbl(Variant(line_key))));
  sb.Append(FID + "," + std::to_string(index) + "\r\n");
  for (int i = 1; i <= line.Count(); ++i) {
    const std::string& key = line.Name(i);
    if (Is(key, kInsertRowMarker)) continue;
    sb.Append(",'" + SqlQuote(TextOrEmpty(line.Value(key))) + "'\r\n");
  }
  if (amounts) {
    sb.Append("," + FormatNumber(quantity * price));
    sb.Append("," + FormatNumber(quantity * price - discount));
  }
  sb.Append(")\r\n");
  LogLineChange(self, FID, oplog::kLineInserted, TextOrEmpty(line.Value("FItemID")));
}

void AppendUpdate(StringBuilder& sb, Component& self, const std::string& FID,
                  const std::string& line_key, const Dictionary& line) {
  double price = 0, quantity = 0;
  bool price_changed = false, quantity_changed = false;
  int fields = 0;
  for (int i = 1; i <= line.Count(); ++i) {
    const std::string& key = line.Name(i);
    // A marker is no column; an insert marker left alone on a line asks for nothing.
    if (Is(key, kInsertRowMarker) || Is(key, kDeleteRowMarker)) continue;
    const Variant& value = line.Value(key);
    if (Is(key, "FPrice")) {
      price = CDbl(value);
      price_changed = true;
    }
    if (Is(key, "FQuantity")) {
      quantity = CDbl(value);
      quantity_changed = true;
    }
    std::string text = TextOrEmpty(value);
    if (++fields == 1) sb.Append(" Update IC_Web2ERPOrdersEntry Set \r\n");
    sb.Append((fields == 1 ? "" : ",") + key + "='" + SqlQuote(text) + "'\r\n");
    WriteSaveOrderLog(self, FID, line_key, key, text, "");
  }
  if (fields == 0) return;
  if (price_changed && quantity_changed) {
    sb.Append(",FAmount=" + FormatNumber(quantity * price));
  } else if (price_changed) {
    sb.Append(",FAmount=" + FormatNumber(price) +
              "* (Select FQuantity From IC_Web2ERPOrdersEntry " + LineWhere(FID, line_key) + ")");
  } else if (quantity_changed) {
    sb.Append(",FAmount=" + FormatNumber(quantity) +
              "* (Select FPrice From IC_Web2ERPOrdersEntry " + LineWhere(FID, line_key) + ")");
  }
  sb.Append(LineWhere(FID, line_key) + "\r\n");
  sb.Append(" UPDATE IC_Web2ERPOrdersEntry SET FAfterDiscountAmount = FAmount- FDiscountFee " +
            LineWhere(FID, line_key) + "\r\n");
}

}  // namespace

std::string BuildEntryChangeSql(Component& self, Connection& conn, const std::string& FID,
                                const std::string& line_key, const Dictionary& line) {
  StringBuilder sb;
  sb.Append("\r\n");
  if (line.Lookup(kDeleteRowMarker)) {
    AppendDelete(sb, self, conn, FID, line_key);
  } else if (line.Lookup(kInsertRowMarker) && line.Count() > 1) {
    AppendInsert(sb, self, FID, line_key, line);
  } else if (line.Count() > 0) {
    AppendUpdate(sb, self, FID, line_key, line);
  }
  return sb.ToString();
}

std::string GetEntryItemID(Connection& conn, const std::string& FID,
                           const std::string& entry_id) {
  RecordsetPtr rs = conn.Execute(
      "select t0.FItemID from IC_Web2ERPOrdersEntry t0 with(nolock) where t0.FID = " + FID +
      " and t0.FEntryID = " + entry_id);
  if (!rs || !rs->IsOpen()) return "";
  return CStr(rs->Value(0));  // no row: the line is gone, and that is an error
}

}  // namespace ambit
