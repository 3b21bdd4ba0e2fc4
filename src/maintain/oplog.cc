#include "maintain/oplog.h"

#include <array>
#include <cctype>

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "maintain/status_ops_common.h"

namespace ambit {
namespace {

constexpr char kInsertHead[] =
    "insert into IC_TradeLog (FOrderFID,FOPUserID,FOPCode,FUserIP,FOPTime,FItemID,FOldValue,"
    "FNewValue) ";

enum class Kind { kInt, kDec, kText };

// How an edited field is compared and logged. A key field (name_table set) is logged by the
// display names of the old and new keys, not by the keys.
struct LoggedField {
  const char* field;
  const char* sql_type;
  Kind kind;
  const char* table;
  const char* stored;  // expression of the stored value; "%d" stands for the decimals
  const char* name_table = nullptr;
  const char* key_column = nullptr;
  const char* name_column = nullptr;
  int code = 0;
};

constexpr char kOrders[] = "IC_Web2ERPOrders";
constexpr char kLines[] = "IC_Web2ERPOrdersEntry";

const std::array<LoggedField, 31> kFields = {{
    {"FLogisticsID", "int", Kind::kInt, kOrders, "t0.FLogisticsID", "IC_Logistics", "FItemID", "FName", 2002},
    {"FTelephone", "nvarchar(40)", Kind::kText, kOrders, "t0.FTelephone", nullptr, nullptr, nullptr, 2011},
    {"FBillDiscountFee", "decimal(18,2)", Kind::kDec, kOrders, "t0.FBillDiscountFee", nullptr, nullptr, nullptr, 1007},
    {"FBuyerName", "nvarchar(30)", Kind::kText, kOrders, "t0.FBuyerName", nullptr, nullptr, nullptr, 1008},
    {"FDeliveryRemark", "nvarchar(250)", Kind::kText, kOrders, "t0.FDeliveryRemark", nullptr, nullptr, nullptr, 2003},
    {"FInvoiceName", "nvarchar(1000)", Kind::kText, kOrders, "t0.FInvoiceName", nullptr, nullptr, nullptr, 1009},
    {"FLogisticsOrder", "nvarchar(40)", Kind::kText, kOrders, "t0.FLogisticsOrder", nullptr, nullptr, nullptr, 2004},
    {"FShippingType", "int", Kind::kInt, kOrders, "t0.FShippingType", "t_SubMessage", "FInterID", "FName", 1010},
    {"FTotalFreight", "decimal(18,2)", Kind::kDec, kOrders, "t0.FTotalFreight", nullptr, nullptr, nullptr, 1011},
    {"FBuyerFreight", "nvarchar(50)", Kind::kText, kLines, "cast(t0.FBuyerFreight as decimal(18,%d))", nullptr, nullptr, nullptr, 1012},
    {"FBuyerMessage", "nvarchar(1000)", Kind::kText, kOrders, "t0.FBuyerMessage", nullptr, nullptr, nullptr, 1013},
    {"FSellerMessage", "nvarchar(1000)", Kind::kText, kOrders, "t0.FSellerMessage", nullptr, nullptr, nullptr, 2013},
    {"FBuyerNick", "nvarchar(30)", Kind::kText, kOrders, "t0.FBuyerNick", nullptr, nullptr, nullptr, 1015},
    {"FConsignee", "nvarchar(100)", Kind::kText, kOrders, "t0.FConsignee", nullptr, nullptr, nullptr, 2012},
    {"FDeliveryProvince", "int", Kind::kInt, kOrders, "t0.FDeliveryProvince", "IC_Area", "FID", "FName", 2005},
    {"FDeliveryCity", "int", Kind::kInt, kOrders, "t0.FDeliveryCity", "IC_Area", "FID", "FName", 2006},
    {"FDeliveryDistrict", "int", Kind::kInt, kOrders, "t0.FDeliveryDistrict", "IC_Area", "FID", "FName", 2007},
    {"FDeliveryAddress", "nvarchar(500)", Kind::kText, kOrders, "t0.FDeliveryAddress", nullptr, nullptr, nullptr, 2008},
    {"FEmpID", "int", Kind::kInt, kOrders, "t0.FEmpID", "t_Emp", "FItemID", "FName", 1017},
    {"FInvoiceInfo", "nvarchar(255)", Kind::kText, kOrders, "t0.FInvoiceInfo", nullptr, nullptr, nullptr, 1018},
    {"FOptDptID", "int", Kind::kInt, kOrders, "t0.FOptDptID", "t_Department", "FItemID", "FName", 1019},
    {"FQuantity", "nvarchar(50)", Kind::kText, kLines, "cast(t0.FQuantity as decimal(18,%d))", nullptr, nullptr, nullptr, 1022},
    {"FPrice", "nvarchar(50)", Kind::kText, kLines, "cast(t0.FPrice as decimal(18,%d))", nullptr, nullptr, nullptr, 1023},
    {"FItemID", "int", Kind::kInt, kLines, "t0.FItemID", "t_ICItem", "FItemID", "FNumber", 1024},
    {"FUnitID", "int", Kind::kInt, kLines, "t0.FUnitID", "t_MeasureUnit", "FItemID", "FName", 1025},
    {"FDiscountFee", "nvarchar(50)", Kind::kText, kLines, "cast(t0.FDiscountFee as decimal(18,%d))", nullptr, nullptr, nullptr, 1026},
    {"FMealID", "nvarchar(80)", Kind::kText, kLines, "t0.FMealID", nullptr, nullptr, nullptr, 1027},
    {"FInsuredValue", "decimal(18,2)", Kind::kDec, "IC_Web2ERPOrdersEx", "t0.FInsuredValue", nullptr, nullptr, nullptr, 3002},
    {"FLogisticsCost", "decimal(18,2)", Kind::kDec, kOrders, "t0.FLogisticsCost", nullptr, nullptr, nullptr, 3006},
    {"FBatchNo", "nvarchar(255)", Kind::kText, kLines, "t0.FBatchNo", nullptr, nullptr, nullptr, 2014},
    {"FShippingRem", "nvarchar(255)", Kind::kText, kOrders, "t0.FShippingRem", nullptr, nullptr, nullptr, 3012},
}};

const LoggedField* FindField(std::string_view name) {
  for (const LoggedField& f : kFields)
    if (name == f.field) return &f;
  return nullptr;
}

bool HasLineKey(const std::string& entry_id) { return !entry_id.empty() && entry_id != "0"; }

// Numbers go into the batch bare, so they must be numbers.
std::string NumberText(const std::string& value, std::string_view what) {
  if (!IsNumericText(value))
    throw ComError(err::kTypeMismatch, "ambit-order",
                   "The value '" + value + "' of " + std::string(what) + " is not a number.");
  return value;
}

}  // namespace

bool WriteOPLog(Component& self, const std::string& sDsn, const DictionaryPtr& dctData) {
  return RunMethod(self, "WriteOPLog", sDsn, [&](MethodScope& m) {
    if (!dctData) return false;
    std::string fids = CStr(dctData->Value("sFID"));
    if (fids.empty()) return false;
    CheckKeyList(fids, "sFID");
    // The numeric columns go in bare and must be numbers; the texts are quoted.
    std::string user = NumberText(CStr(dctData->Value("FOPUserID")), "FOPUserID");
    std::string code = NumberText(CStr(dctData->Value("FOPCode")), "FOPCode");
    std::string item = NumberText(CStr(dctData->Value("FItemID")), "FItemID");
    StringBuilder sb;
    for (const std::string& fid : SplitKeyList(fids)) {
      sb.Append(kInsertHead);
      sb.Append("values (" + fid + "," + user + "," + code + "," + "'" +
                SqlQuote(CStr(dctData->Value("FUserIP"))) + "'," + "'" +
                SqlQuote(CStr(dctData->Value("FOPTime"))) + "'," + item + "," + "'" +
                SqlQuote(CStr(dctData->Value("FOldValue"))) + "'," + "'" +
                SqlQuote(CStr(dctData->Value("FNewValue"))) + "'" + ")\r\n");
    }
    m.conn().Execute(sb.ToString());
    return false;
  });
}

bool IsLogEnable(Connection& conn, const std::string& OPCode) {
  RecordsetPtr rs = conn.Execute("select FWriteLog from IC_TradeLogType where FOPCode = " +
                                 NumberText(OPCode, "OPCode"));
  if (!rs->IsOpen() || rs->Eof()) return false;
  const Variant& v = rs->Value(0);
  return !v.IsNull() && IsNumeric(v) && CDbl(v) == 1;
}

bool IsLogEnable(Component& self, const std::string& OPCode) {
  return IsLogEnable(*self.call_context().Connection(), OPCode);
}

int SaveOrderLogCode(std::string_view field_name) {
  const LoggedField* f = FindField(field_name);
  return f ? f->code : 0;
}

std::string BuildSaveOrderLogSql(const SaveOrderLogInput& in, int code) {
  const LoggedField* f = FindField(in.FieldName);
  if (!f) return "";
  // The field's table decides whose row holds the value: a line key that comes with a field of
  // the order (or of its companion row) does not narrow the order's row, which has no FEntryID.
  bool line = f->table == std::string_view(kLines) && HasLineKey(in.EntryID);
  bool quoted = f->kind == Kind::kText;
  bool key_field = f->name_table != nullptr;
  std::string stored = f->stored;
  if (size_t p = stored.find("%d"); p != std::string::npos)
    stored.replace(p, 2, std::to_string(in.decimals));
  std::string new_value = quoted ? "'" + SqlQuote(in.Value) + "'" : NumberText(in.Value, in.FieldName);

  StringBuilder sb;
  sb.Append("declare @param " + std::string(f->sql_type) + "\r\n");
  sb.Append("declare @param2 " + std::string(f->sql_type) + "\r\n");
  sb.Append(std::string("select @param = ") + (quoted ? "''" : "0") + "\r\n");
  sb.Append("select @param2 = " + new_value + "\r\n");
  sb.Append("select @param = " + stored + " from " + f->table + " t0 with(nolock) where t0.FID = " +
            in.FID + (line ? " and t0.FEntryID = " + in.EntryID : "") + "\r\n");
  sb.Append("if (@param <> @param2)\r\n");
  sb.Append("begin\r\n");
  sb.Append(std::string(kInsertHead) + "select\r\n");
  sb.Append(in.FID + ",\r\n");
  sb.Append(std::to_string(in.user_id) + ",\r\n");
  sb.Append(std::to_string(code) + ",\r\n");
  sb.Append("'" + SqlQuote(in.client_address) + "',\r\n");
  sb.Append("'" + in.now + "',\r\n");
  if (line) {
    sb.Append(in.ItemID.empty() ? "t0.FItemID,\r\n" : in.ItemID + ",\r\n");
  } else {
    sb.Append("0,\r\n");
  }
  if (key_field) {
    sb.Append(std::string("t1.") + f->name_column + ",\r\n");
    sb.Append(std::string("t2.") + f->name_column + "\r\n");
  } else {
    sb.Append("@param,\r\n");
    sb.Append("@param2\r\n");
  }
  sb.Append(std::string("from ") + f->table + " t0\r\n");
  if (key_field) {
    std::string column = std::string(f->stored);  // the key still stored
    sb.Append(std::string("left join ") + f->name_table + " t1 on t1." + f->key_column + " = " +
              column + "\r\n");
    sb.Append(std::string("left join ") + f->name_table + " t2 on t2." + f->key_column + " = " +
              new_value + "\r\n");
  }
  sb.Append("where t0.FID = " + in.FID + (line ? " and FEntryID = " + in.EntryID : "") + "\r\n");
  sb.Append("end\r\n");
  return sb.ToString();
}

void WriteSaveOrderLogOn(Connection& conn, CallContext& context, std::string FID,
                         const std::string& EntryID, const std::string& FieldName,
                         const std::string& Value, const std::string& ItemID) {
  if (!EntryID.empty()) CheckKey(EntryID, "EntryID");
  if (!ItemID.empty()) CheckKey(ItemID, "ItemID");
  if (FID.empty()) {
    RecordsetPtr rs = conn.Execute(
        "select FID from IC_Web2ERPOrdersEntry with(nolock) where FEntryID = " + EntryID);
    if (!rs->IsOpen() || rs->Eof()) return;
    FID = CStr(rs->Value(0));
  }
  CheckKey(FID, "FID");
  RecordsetPtr dec = ItemID.empty()
                         ? conn.Execute("select t1.FQtyDecimal from IC_Web2ERPOrdersEntry t0\r\n"
                                        "left join t_ICItem t1 on t1.FItemID = t0.FItemID\r\n"
                                        "where t0.FID = " + FID + " and FEntryID = " +
                                        (EntryID.empty() ? std::string("0") : EntryID) + "\r\n")
                         : conn.Execute("select FQtyDecimal from t_ICItem where FItemID = " +
                                        ItemID);
  // Without an item the casts still need a scale: two places, as money is kept.
  int decimals = 2;
  if (dec->IsOpen() && !dec->Eof() && IsNumeric(dec->Value(0)) && !dec->Value(0).IsNull())
    decimals = CLng(dec->Value(0));
  int code = SaveOrderLogCode(FieldName);
  if (code == 0 || !IsLogEnable(conn, std::to_string(code))) return;
  SaveOrderLogInput in{FID,
                       EntryID,
                       FieldName,
                       Value,
                       ItemID,
                       GetLoginUserID(context),
                       GetClientAddress(),
                       NowText(),
                       decimals};
  conn.Execute(BuildSaveOrderLogSql(in, code));
}

bool WriteSaveOrderLog(Component& self, const std::string& FID, const std::string& EntryID,
                       const std::string& FieldName, const std::string& Value,
                       const std::string& ItemID) {
  try {
    self.call_context().BeginCall();
    CallContext& context = self.call_context();
    ConnectionPtr conn = context.Connection();
    WriteSaveOrderLogOn(*conn, context, FID, EntryID, FieldName, Value, ItemID);
    return false;
  } catch (...) {
    self.RaiseFromMethod("WriteSaveOrderLog", std::current_exception());
  }
}

RecordsetPtr GetOPLog(Component& self, const std::string& sDsn, const std::string& sFID) {
  return RunMethod(self, "GetOPLog", sDsn, [&](MethodScope& m) {
    StringBuilder sb;
    sb.Append("select t0.FUserIP as FUserIP,\r\n");
    sb.Append("t0.FOPTime as FOPTime,\r\n");
    sb.Append("t1.FName as FOPUserName,\r\n");
    sb.Append("t3.FOPName as FOPName,\r\n");
    sb.Append("replace(replace(replace(t3.FLogDesc,'Item',isnull(t2.FName,'')),'OldValue',"
              "isnull(t0.FOldValue,'')),'NewValue',isnull(t0.FNewValue,'')) as FLogDesc\r\n");
    sb.Append("from IC_TradeLog t0 with(nolock)\r\n");
    sb.Append("left join t_User t1 on t0.FOPUserID = t1.FUserID\r\n");
    sb.Append("left join t_ICItem t2 on t2.FItemID = t0.FItemID\r\n");
    sb.Append("left join  IC_TradeLogType t3 on t3.FOPCode = t0.FOPCode\r\n");
    sb.Append("where t0.FOrderFID = " + CheckKey(sFID, "sFID") + "\r\n");
    sb.Append("order by t0.FOPTime\r\n");
    return m.conn().Execute(sb.ToString());
  });
}

}  // namespace ambit
