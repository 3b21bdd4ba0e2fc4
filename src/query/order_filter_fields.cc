// The field condition of the order filter: one field of the filter screen, an operator and a
// value. Fields fall into a few shapes (common comparisons on an expression, existence of a
// matching order line, yes/no flags) plus the odd ones the screen treats specially.
#include "query/order_filter_fields.h"

#include <array>
#include <cctype>

#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "query/order_filter.h"

namespace ambit::filter_internal {
namespace {

enum class Op { kLike, kNotLike, kEq, kNe, kNull, kNotNull, kGe, kLe, kIn, kUnknown };

Op ParseOp(std::string_view compare) {
  std::string op = Upper(TrimBlanks(compare));
  if (op == "LIKE") return Op::kLike;
  if (op == "NOT LIKE") return Op::kNotLike;
  if (op == "=") return Op::kEq;
  if (op == "<>") return Op::kNe;
  if (op == "NULL") return Op::kNull;
  if (op == "NOT NULL") return Op::kNotNull;
  if (op == ">=") return Op::kGe;
  if (op == "<=") return Op::kLe;
  if (op == "IN") return Op::kIn;
  return Op::kUnknown;
}

// The operator with one blank on each side, as it stands between an expression and a value.
std::string Spaced(Op op) {
  switch (op) {
    case Op::kLike: return " Like ";
    case Op::kNotLike: return " Not Like ";
    case Op::kEq: return " = ";
    case Op::kNe: return " <> ";
    case Op::kGe: return " >= ";
    case Op::kLe: return " <= ";
    default: return " ";
  }
}

bool IsLike(Op op) { return op == Op::kLike || op == Op::kNotLike; }
bool IsEquality(Op op) { return op == Op::kEq || op == Op::kNe; }
bool IsComparison(Op op) { return IsLike(op) || IsEquality(op) || op == Op::kGe || op == Op::kLe; }

struct Field {
  std::string name;   // as the client spelled it
  std::string upper;  // for matching
  Op op;
  std::string value;  // raw
  std::string q;      // SqlQuote(value)
  int ctl_type;       // 0 date, 2 number, other text
};

// "'v'" or "'%v%'" for the comparison operators.
std::string Literal(const Field& f) { return IsLike(f.op) ? "'%" + f.q + "%'" : "'" + f.q + "'"; }

// E IS [NOT] NULL, E = 'v', E Like '%v%'. `empty_test`/`filled_test` replace the IS forms.
std::string Common(const Field& f, const std::string& e, const std::string& empty_test = "",
                   const std::string& filled_test = "") {
  switch (f.op) {
    case Op::kNull: return empty_test.empty() ? e + " IS NULL AND " : empty_test;
    case Op::kNotNull: return filled_test.empty() ? e + " IS NOT NULL AND " : filled_test;
    case Op::kEq:
    case Op::kNe:
    case Op::kLike:
    case Op::kNotLike: return e + Spaced(f.op) + Literal(f) + " AND ";
    default: return "";
  }
}

// A matching order line exists (or, for the negative operators, does not).
std::string LineExists(const Field& f, const std::string& x,
                       const std::string& table = "IC_Web2ERPOrdersEntry",
                       const std::string& link = "FID=t1.FID") {
  std::string s = "EXISTS(SELECT 1 FROM " + table + " WHERE " + link + " AND ";
  switch (f.op) {
    case Op::kLike: return s + x + " Like '%" + f.q + "%' ) AND ";
    case Op::kNotLike: return "NOT " + s + x + " Like '%" + f.q + "%' ) AND ";
    case Op::kEq: return s + x + " = '" + f.q + "' ) AND ";
    case Op::kNe: return "NOT " + s + x + " = '" + f.q + "' ) AND ";
    case Op::kNull: return "NOT " + s + x + " <> '') AND ";
    case Op::kNotNull: return s + x + " <> '') AND ";
    default: return "";
  }
}

bool IsYes(const std::string& v) { return v == "Y" || v == "1"; }

// Yes/no fields: "= Y" means the true test, "= N" the false one, the negative operators turn
// them round, and the two null tests ignore the value.
std::string Flag(const Field& f, const std::string& when_true, const std::string& when_false) {
  switch (f.op) {
    case Op::kNotNull: return when_true;
    case Op::kNull: return when_false;
    case Op::kLike:
    case Op::kEq: return IsYes(f.value) ? when_true : when_false;
    case Op::kNotLike:
    case Op::kNe: return IsYes(f.value) ? when_false : when_true;
    default: return "";
  }
}

std::string HeaderFlag(const Field& f) {
  std::string e = "ISNULL(t1." + f.name + ",0)";
  if (IsYes(f.value)) return Flag(f, e + " =1 AND ", e + " <>1 AND ");
  return Flag(f, e + " <>0 AND ", e + " =0 AND ");
}

// Check, pick and send states: only "Y" has a meaning besides the two null tests.
std::string StateField(const Field& f, const std::string& on, const std::string& off) {
  if (f.value == "Y") {
    if (f.op == Op::kLike || f.op == Op::kEq || f.op == Op::kNotNull) return on;
    if (f.op == Op::kNotLike || f.op == Op::kNe || f.op == Op::kNull) return off;
    return "";
  }
  if (f.op == Op::kNotNull) return on;
  if (f.op == Op::kNull) return off;
  return "";
}

// Header columns that have no rule of their own; `e` is the column expression, `f.name` the
// column. Only the column name comes from the client unquoted, so it must be a plain name.
std::string General(const Field& f, const std::string& e, const std::string& empty_test,
                    const std::string& filled_test) {
  switch (f.op) {
    case Op::kNull: return empty_test;
    case Op::kNotNull: return filled_test;
    case Op::kGe:
    case Op::kLe:
      if (f.ctl_type == 0) return e + Spaced(f.op) + "'" + f.q + "' AND ";
      if (f.ctl_type == 2) return e + Spaced(f.op) + RequireNumber(f.value, f.name) + " AND ";
      return "";
    case Op::kEq:
    case Op::kNe:
      // A date compares by calendar day, whatever the time of day stored.
      if (f.ctl_type == 0) return "DATEDIFF(dd, " + e + ",'" + f.q + "')" + Spaced(f.op) + "0 AND ";
      return e + Spaced(f.op) + "'" + f.q + "' AND ";
    case Op::kLike:
    case Op::kNotLike:
      if (f.upper == "FTRANSACTIONSTATUS" && TrimBlanks(f.value) == "38195")
        return "Exists(select 1 from IC_Web2ERPOrdersEntry Where FID=t1.FID  AND  FStatus "
               "='TRADE_CLOSED') AND";
      return e + Spaced(f.op) + "'%" + f.q + "%' AND ";
    default: return "";
  }
}

void RequirePlainName(const std::string& name) {
  bool ok = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') ok = false;
  if (!ok)
    throw ComError(err::kInvalidArgument, "ambit-order",
                   "The filter field name '" + name + "' is not a column name.");
}

struct CommonField {
  const char* name;
  const char* expr;
  const char* empty_test;   // nullptr: "E IS NULL AND "
  const char* filled_test;  // nullptr: "E IS NOT NULL AND "
};

const std::array<CommonField, 19> kCommonFields = {{
    {"FWEBSHOPIDDUPLICATE", "t1.FWebshopID", nullptr, nullptr},
    {"FBILLER", "t4.FName", nullptr, nullptr},
    {"FPICKMAN", "t6.FName", nullptr, nullptr},
    {"FSENDTYPE", "t8.FName", nullptr, nullptr},
    {"FSHIPPINGTYPE", "t9.FName", nullptr, nullptr},
    {"FTRANSACTIONTYPE", "t10.FName", nullptr, nullptr},
    {"FLOGISTICSID", "t15.FName", nullptr, nullptr},
    {"FEMPID", "t16.FName", nullptr, nullptr},
    {"FCURRENCYID", "t27.FName", nullptr, nullptr},
    {"FOPTDPTID", "t25.FName", nullptr, nullptr},
    {"FDELIVERYCOUNTRY", "t28.FName", "ISNULL(t28.FName,'')='' AND ",
     "ISNULL(t28.FName,'')<>'' AND "},
    {"FDELIVERYPROVINCE", "t12.FName", "ISNULL(t12.FName,'')='' AND ",
     "ISNULL(t12.FName,'')<>'' AND "},
    {"FDELIVERYCITY", "t13.FName", "ISNULL(t13.FName,'')='' AND ", "ISNULL(t13.FName,'')<>'' AND "},
    {"FDELIVERYDISTRICT", "t14.FName", "ISNULL(t14.FName,'')='' AND ",
     "ISNULL(t14.FName,'')<>'' AND "},
    {"FREFUNDREASON", "rf.FRefundReason", nullptr, nullptr},
    {"FSERVICESTATUS", "entry.FServiceStatus", nullptr, nullptr},
    {"FDELIVERYREMARK2", "t1.FDeliveryRemark", "t1.FDeliveryRemark = '' AND ",
     "t1.FDeliveryRemark <> '' AND "},
    {"FINVOICENAME", "ISNULL(t1.FInvoiceName,'')", "ISNULL(t1.FInvoiceName,'') = '' AND ",
     "ISNULL(t1.FInvoiceName,'') <> '' AND "},
    {"FINVOICEINFO", "t1.FInvoiceInfo", "t1.FInvoiceInfo = '' AND ", "t1.FInvoiceInfo <> '' AND "},
}};

constexpr std::array<const char*, 12> kHeaderFlags = {
    "FMERGESTATUS",  "FVOIDSTATUS",     "FINVOICESTATUS", "FINNERINVOICE",
    "FUPLOADSTATUS", "FISPRINTEXPRESS", "FISPRINTSEND",   "FISPRINTPICK",
    "FWEIGHTSTATUS", "FISCLAIM",        "FISEXPORT",      "FTEXTOUTSTOCK"};

// The user named "Users" is the system's placeholder for nobody.
std::string UserNameField(const Field& f, const std::string& alias) {
  if (f.op == Op::kNull || f.op == Op::kNotNull)
    return Common(f,
                  "(Case " + alias + ".FName When 'Users' Then Null Else " + alias + ".FName End)");
  return Common(f, "(Case " + alias + ".FName When 'Users' Then '' Else " + alias + ".FName End)");
}

// Lines whose item, or whose packaged goods, has a matching number or name.
std::string ItemField(const Field& f, const std::string& column, const Dictionary& dct) {
  std::string head =
      "Exists(SELECT 1 FROM IC_Web2ERPOrdersEntry t2 LEFT JOIN t_ICItem t3 ON "
      "t2.FItemID=t3.FItemID WHERE t2.fid=t1.fid AND t3." +
      column;
  switch (f.op) {
    case Op::kLike: return head + " Like '%" + f.q + "%' ) AND ";
    case Op::kNotLike: return "Not " + head + " Like '%" + f.q + "%' ) AND ";
    case Op::kEq: return head + " = '" + f.q + "' ) AND ";
    case Op::kNe: return "Not " + head + " = '" + f.q + "' ) AND ";
    case Op::kNull: return head + " IS NULL ) AND ";
    case Op::kNotNull: return head + " IS NOT NULL ) AND ";
    case Op::kIn:
      return BuildItemSetSql(f.value,
                             CInt(dct.GetValue("chkExcludeGift", Variant(int16_t{0}))) != 0);
    default: return "";
  }
}

std::string PackagedGoods(const Field& f, const std::string& column) {
  if (f.op == Op::kNull)
    return "NOT EXISTS(Select 1 from IC_Web2ERPOrdersEntry  Where FID = t1.FID and FPackagedGoods "
           "<> 0) AND ";
  if (f.op == Op::kNotNull)
    return "EXISTS(Select 1 from IC_Web2ERPOrdersEntry  Where FID = t1.FID and FPackagedGoods<> 0) "
           "AND ";
  if (!IsComparison(f.op)) return "";
  return "EXISTS(Select 1 from IC_Web2ERPOrdersEntry tn left join t_ICItem tc on  "
         "tn.FPackagedGoods =tc.FItemID  Where tn.FID = t1.FID AND tc." +
         column + Spaced(f.op) + Literal(f) + ") AND ";
}

std::string AddressReachable(const Field& f) {
  const std::string e = "isnull(t22.FAddressReachable,4)";
  if (f.op == Op::kNull) return e + "  IN (4) AND ";
  if (f.op == Op::kNotNull) return e + " NOT IN (4) AND ";
  static const std::array<const char*, 5> kSets = {"0,1,2,3,4,5", "1", "0,2,3", "5", "4"};
  std::string v(TrimBlanks(f.value));
  if (v.size() != 1 || v[0] < '1' || v[0] > '5') return "";
  std::string set = kSets[static_cast<size_t>(v[0] - '1')];
  if (f.op == Op::kEq || f.op == Op::kLike) return e + "  IN (" + set + ") AND ";
  if (f.op == Op::kNe || f.op == Op::kNotLike) return e + "  NOT IN (" + set + ") AND ";
  return "";
}

std::string TplRemark(const Field& f) {
  const std::string none =
      "not Exists (select FID from IC_web2ErpOrdersEntryEx where t1.FID =FID and  "
      "len(FTplRemark)>0) and ";
  if (f.op == Op::kNull || (f.value.empty() && (f.op == Op::kEq || f.op == Op::kLike))) return none;
  if (f.op == Op::kNotNull)
    return "Exists (select FID from IC_web2ErpOrdersEntryEx where  t1.FID =FID and  "
           "len(FTplRemark)>0) and ";
  if (!IsLike(f.op) && !IsEquality(f.op)) return "";
  return " Exists (select FID from IC_web2ErpOrdersEntryEx where  t1.FID =FID and  FTplRemark" +
         Spaced(f.op) + Literal(f) + ")  and ";
}

std::string ItemModel(const Field& f) {
  std::string cond;
  if (f.op == Op::kNull) {
    cond = "ISNULL(ti.FModel,'') = ''";
  } else if (f.op == Op::kNotNull) {
    cond = "ISNULL(ti.FModel,'') <> ''";
  } else if (IsEquality(f.op) || IsLike(f.op)) {
    cond = "ISNULL(ti.FModel,'')" + Spaced(f.op) + Literal(f) + "  ";
  } else {
    cond = " 1=1 ";
  }
  return " EXISTS(SELECT 1 FROM IC_Web2ERPOrdersEntry tw\r\n"
         "INNER JOIN t_ICItem ti ON tw.FItemID=ti.FItemID\r\n"
         "WHERE  tw.FID=t1.fid AND " +
         cond + " ) AND ";
}

std::string Special(const Field& f, const Dictionary& dct) {
  const std::string& n = f.upper;
  if (n == "FTRADEFROM") {
    const std::string head = "t1.FID In(Select FID from IC_Web2ERPOrdersEntry Where ";
    if (f.op == Op::kNull) return head + "(FOrderFrom IS NULL or FOrderFrom = '')) AND ";
    if (f.op == Op::kNotNull) return head + "FOrderFrom IS NOT NULL and FOrderFrom <> '') AND ";
    if (!IsComparison(f.op)) return "";
    return head + "FOrderFrom" + Spaced(f.op) + Literal(f) + ") AND ";
  }
  if (n == "FRECEIPTDATE")
    return "entry.FEntryID in(select fentryid from ic_refundrecord where fmanagetype "
           "in(38456,38463,38464)\r\nAnd FRecordDate >= '" +
           f.q +
           " 00:00:00'\r\n"
           "And FRecordDate <= '" +
           f.q + " 23:59:59'\r\n) AND ";
  if (n == "FRETURNLOGISTICSNUMBER")
    return "isnull(entry.FReturnLogisticsOrder,'') like '%" + f.q + "%' AND ";
  if (n == "FITEMNAME" || n == "FITEMNUMBER")
    return "t1.FID in(Select FID From IC_Web2ErpOrdersEntry tn left join t_ICItem tc on "
           "tn.FItemID = tc.FItemID Where tc." +
           std::string(n == "FITEMNAME" ? "FName" : "FNumber") + " like '%" + f.q + "%') AND ";
  if (n == "FPACKAGEDGOODS") return PackagedGoods(f, "FNumber");
  if (n == "FPACKAGEDGOODSNAME") return PackagedGoods(f, "FName");
  if (n == "FISFREE")
    return Flag(
        f, "EXISTS (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsFree=1 ) AND ",
        "NOT EXISTS (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsFree=1 ) AND ");
  if (n == "FSITEORDERID" || n == "FSITEORDERID2") {
    const std::string head =
        "EXISTS(Select 1 from IC_Web2ERPOrdersEntry Where FID = t1.FID AND FSiteOrderID";
    if (f.op == Op::kNull) return head + " = '') AND ";
    if (f.op == Op::kNotNull) return head + " <> '') AND ";
    if (!IsComparison(f.op)) return "";
    return head + Spaced(f.op) + Literal(f) + ") AND ";
  }
  if (n == "FFINALLYAMOUNT") {
    const std::string e = "(t1.FAmount-t1.FDiscountFee-t1.FBillDiscountFee + t1.FTotalFreight)";
    if (f.op == Op::kGe) return e + " >=" + RequireNumber(f.value, f.name) + " AND ";
    if (f.op == Op::kLe) return e + " <=" + RequireNumber(f.value, f.name) + " AND ";
    if (IsEquality(f.op)) return e + Spaced(f.op) + RequireNumber(f.value, f.name) + " AND ";
    if (f.op == Op::kNull || f.op == Op::kNotNull) return Common(f, e);
    return "";
  }
  if (n == "FCHKMAN") return UserNameField(f, "t5");
  if (n == "FPRECHKMAN") return UserNameField(f, "t17");
  if (n == "FTEXTCHKTATUS")
    return StateField(f, "t1.FCheckStatus =1 AND ", "t1.FCheckStatus <>1 AND ");
  if (n == "FTEXTPICKSTATUS")
    return StateField(f, "t1.FOrderStatus & 4 = 4 AND ", "t1.FOrderStatus & 4 <> 4 AND ");
  if (n == "FTEXTSENDSTATUS")
    return StateField(f, "t1.FOrderStatus & 8 = 8 AND ", "t1.FOrderStatus & 8 <> 8 AND ");
  if (n == "FISJZSERVICEORDER")
    // Written without ISNULL, "is one" rejects orders the view has no row for: SQLite then
    // joins the view as an inner join and may start from its few orders instead of walking
    // the whole account in list order.
    return Flag(f, "t998.FIs_jzservice_order = 'Y' AND ",
                "ISNULL(t998.FIs_jzservice_order,'') <> 'Y' AND ");
  if (n == "FADDRESSREACHABLE") return AddressReachable(f);
  if (n == "FLOTNUMBER" || n == "FSERIALNUMBER" || n == "FLOCKREASON") {
    std::string e = "ISNULL(t22." + f.name + ", '')";
    return Common(f, e, e + " = '' AND ", e + " <> '' AND ");
  }
  if (n == "FLOGISTICSSTATE") {
    const std::string e = "ISNULL(t22.FLogisticsState, -1)";
    if (f.op == Op::kNull) return e + " = -1 AND ";
    if (f.op == Op::kNotNull) return e + " <> -1 AND ";
    if (IsEquality(f.op)) return e + Spaced(f.op) + RequireNumber(f.value, f.name) + " AND ";
    return Common(f, e);
  }
  if (n == "FONLINESHOPPNO") return LineExists(f, "FOuterID");
  if (n == "FITEMONLINEPRODUCTNAME") return LineExists(f, "FOnlineTitle");
  if (n == "FBARCODE") return LineExists(f, "isnull(FBarCode,'')");
  if (n == "FTPLRETURNSTATUS") return LineExists(f, "isnull(FTplReturnStatus,'')");
  if (n == "FTPLRETURNFAIL") return LineExists(f, "isnull(FTplReturnFail,'')");
  if (n == "FITEMSERIALNUMBER")
    return LineExists(f, "FSerialNumber", "IC_Web2ErpOrderSerial", "FEntryID=entry.FEntryID");
  if (n == "FNAME" || n == "FNUMBER") return ItemField(f, n == "FNAME" ? "FName" : "FNumber", dct);
  if (n == "FTEXTAPPLYFORREFUND") {
    const std::string e = "ISNULL(t26.FRefundStatus,0)";
    if (IsYes(f.value)) return Flag(f, e + " = 1 AND ", e + " <> 1 AND ");
    return Flag(f, e + " <> 0 AND ", e + " = 0 AND ");
  }
  if (n == "FORDERFLAG") {
    if (f.op == Op::kNull) return "t1.FOrderFlag < 1 AND ";
    if (f.op == Op::kNotNull) return "t1.FOrderFlag > 0 AND ";
    return Common(f, "t1.FOrderFlag");
  }
  if (n == "FOUTDATE")
    return "rf.FOutDate>='" + f.q + " 00:00:00' And rf.FOutDate<='" + f.q + " 23:59:59' AND";
  if (n == "FISBLACKLIST")
    return Flag(f,
                "Exists(select 1 from IC_WebShopClient Where FNick=t1.FBuyerNick  AND  "
                "FIsBlackList=1) AND ",
                "NOT Exists(select 1 from IC_WebShopClient Where FNick=t1.FBuyerNick  AND  "
                "FIsBlackList=1) AND ");
  if (n == "FTPLREMARK") return TplRemark(f);
  if (n == "FITEMMODEL") return ItemModel(f);
  if (n == "FISLOCK")
    return Flag(f, "t22.FIsLock = 1 AND ", "(t22.FIsLock IS NULL OR t22.FIsLock = 0) AND ");
  if (n == "FSALENO" || n == "FBUYERNAME" || n == "FBUYEREMAIL" || n == "FBUYERNICK") {
    RequirePlainName(f.name);
    std::string e = " ISNULL(t1." + f.name + ",'')";
    return General(f, e, e + " = '' AND  ", e + " <> '' AND  ");
  }
  for (const CommonField& c : kCommonFields)
    if (n == c.name)
      return Common(f, c.expr, c.empty_test ? c.empty_test : "",
                    c.filled_test ? c.filled_test : "");
  for (const char* flag : kHeaderFlags)
    if (n == flag) return HeaderFlag(f);
  RequirePlainName(f.name);
  std::string e = "t1." + f.name;
  if (n == "FBUYERPAYMODE")
    return General(f, e, "(t1.FBuyerPayMode IS NULL OR t1.FBuyerPayMode='') AND ",
                   "(t1.FBuyerPayMode IS NOT NULL AND t1.FBuyerPayMode<>'') AND ");
  return General(f, e, e + " IS NULL AND ", e + " IS NOT NULL AND ");
}

}  // namespace

std::string BuildFieldCondition(Dictionary& dctPara) {
  if (!dctPara.Lookup("FieldValue")) dctPara.SetValue("FieldValue", Variant(""));
  Field f;
  f.name = std::string(TrimBlanks(CStr(dctPara.GetValue("FieldName", Variant("")))));
  f.upper = Upper(f.name);
  f.op = ParseOp(CStr(dctPara.GetValue("Compare", Variant(""))));
  f.value = CStr(dctPara.GetValue("FieldValue", Variant("")));
  f.q = SqlQuote(f.value);
  Variant ctl = dctPara.Value("FCtlType");
  f.ctl_type =
      ctl.IsEmpty() || (ctl.IsString() && TrimBlanks(ctl.string_value()).empty()) ? 1 : CInt(ctl);
  if (f.op == Op::kUnknown || f.name.empty()) return "";
  std::string condition = Special(f, dctPara);
  if (condition.empty()) return "";
  // The item set already ends each of its conditions with a line break.
  if (!condition.ends_with("\r\n")) condition += "\r\n";
  return condition;
}

}  // namespace ambit::filter_internal
