#include "query/order_filter.h"

#include <cctype>

#include "base/conversions.h"
#include "frame/client_sql.h"
#include "frame/host.h"
#include "frame/host_services.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/order_filter_fields.h"
#include "tsql/client_sql.h"

namespace ambit {
namespace filter_internal {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::string RequireNumber(std::string_view value, std::string_view what) {
  std::string_view trimmed = TrimBlanks(value);
  if (!IsNumericText(trimmed))
    throw ComError(err::kTypeMismatch, "ambit-order",
                   "The filter value '" + std::string(value) + "' of \"" + std::string(what) +
                       "\" is not a number.");
  return std::string(trimmed);
}

}  // namespace filter_internal

namespace {

using filter_internal::RequireNumber;
using filter_internal::TrimBlanks;
using filter_internal::Upper;

constexpr char kEol[] = "\r\n";

// A text key counts when its text is not empty.
std::string TextKey(const Dictionary& dct, std::string_view key) {
  return CStr(dct.GetValue(key, Variant("")));
}

// A number key counts when it holds a number other than 0. Codes such as 38191 do not fit the
// 16-bit default the screen sends, so the value is judged as stored, not converted to it.
std::string NumberKey(const Dictionary& dct, std::string_view key) {
  const Variant& v = dct.Value(key);
  if (v.IsEmpty()) return "";
  if (v.IsString()) {
    if (TrimBlanks(v.string_value()).empty()) return "";
    std::string text = RequireNumber(v.string_value(), key);
    return CDbl(Variant(text)) == 0 ? "" : text;
  }
  if (!IsNumeric(v) || v.IsNull())
    throw ComError(err::kTypeMismatch, "ambit-order",
                   "The filter value " + DescribeValue(v) + " of \"" + std::string(key) +
                       "\" is not a number.");
  double d = CDbl(v);
  return d == 0 ? "" : FormatNumber(d);
}

// A text that counts unless empty or 0: a list of codes for an IN (...) list, or a shop ID.
std::string CodeListKey(const Dictionary& dct, std::string_view key) {
  const Variant& v = dct.Value(key);
  if (v.IsEmpty() || v.IsNull()) return "";
  std::string text(TrimBlanks(CStr(v)));
  if (text.empty() || (IsNumericText(text) && CDbl(Variant(text)) == 0)) return "";
  return text;
}

void AppendMessageCondition(StringBuilder& sb, const Dictionary& dct, std::string_view compare_key,
                            std::string_view column) {
  std::string op = Upper(TrimBlanks(TextKey(dct, compare_key)));
  if (op.empty()) return;
  std::string text = SqlQuote(TextKey(dct, column));
  std::string expr = "isnull(t1." + std::string(column) + ",'')";
  if (op == "NULL") {
    sb.Append("(" + expr + " = '')  AND ");
  } else if (op == "NOT NULL") {
    sb.Append("(" + expr + " <> '')  AND ");
  } else if (op == "=" || op == "<>") {
    sb.Append("(" + expr + " " + op + "'" + text + "') AND ");
  } else if (op == "LIKE" || op == "NOT LIKE") {
    sb.Append(" (" + expr + "  " + (op == "LIKE" ? " Like " : " Not Like ") + "'%" + text +
              "%') AND ");
  } else {
    return;
  }
  sb.Append(kEol);
}

// Goods and line counts between optional bounds; the bounds stand bare, so they are numbers.
void AppendRangeCondition(StringBuilder& sb, const Dictionary& dct, std::string_view begin_key,
                          std::string_view end_key, std::string_view subquery,
                          std::string_view between_gap) {
  std::string begin = TextKey(dct, begin_key);
  std::string end = TextKey(dct, end_key);
  if (!begin.empty()) begin = RequireNumber(begin, begin_key);
  if (!end.empty()) end = RequireNumber(end, end_key);
  std::string head = "((" + std::string(subquery) + ")";
  if (!begin.empty() && !end.empty()) {
    sb.Append(head + std::string(between_gap) + "Between " + begin + " AND " + end + ") AND ");
  } else if (!begin.empty()) {
    sb.Append(head + ">=" + begin + ") AND ");
  } else if (!end.empty()) {
    sb.Append(head + "<=" + end + ") AND ");
  } else {
    return;
  }
  sb.Append(kEol);
}

void AppendServiceCondition(StringBuilder& sb, Dictionary& dct, std::string_view key,
                            std::string_view column, bool drop_zero_codes) {
  std::string codes = CodeListKey(dct, key);
  if (codes.empty()) return;
  if (drop_zero_codes) {
    // "No after-sales type" is offered on the screen as code 0, which no line is filtered by.
    std::string kept;
    for (size_t pos = 0; pos < codes.size();) {
      if (codes.compare(pos, 2, "0,") == 0) {
        pos += 2;
      } else {
        kept += codes[pos++];
      }
    }
    if (kept != codes) dct.SetValue(key, Variant(kept));
    codes = kept;
  }
  CheckKeyList(codes, key);
  sb.Append("entry.FID in (Select FID From IC_Web2ErpOrdersEntry where " + std::string(column) +
            " in(" + codes + ")) AND ");
  sb.Append(kEol);
}

// Lines in warehouses run by the logistics partner (IC_WebtplToStorage).
void AppendPartnerStockCondition(StringBuilder& sb, const Dictionary& dct) {
  std::string tpl = Upper(TrimBlanks(CStr(dct.GetValue("icboTpl", Variant("0")))));
  if (tpl.empty() || tpl == "0") return;
  if (tpl == "10") {
    sb.Append(
        "NOT EXISTS (SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID = t1.FID AND FStockID  in "
        "(select distinct FStockID from IC_WebtplToStorage where FStockID <> 0))  And ");
  } else if (tpl == "11") {
    sb.Append(
        "NOT EXISTS (SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID = t1.FID AND FStockID not in "
        "(select distinct FStockID from IC_WebtplToStorage where FStockID <> 0 )) And ");
  } else {
    sb.Append(
        "NOT EXISTS (SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID = t1.FID AND FStockID not in "
        "(select distinct FStockID from IC_WebtplToStorage WHERE FStockID <> 0 AND FWebtplType=" +
        RequireNumber(tpl, "icboTpl") + ")) And ");
  }
  sb.Append(kEol);
}

void AppendCainiaoCondition(StringBuilder& sb, const Dictionary& dct) {
  std::string choice = Upper(TrimBlanks(CStr(dct.GetValue("icboCainiao", Variant("Key_0")))));
  if (choice == "KEY_1") {
    sb.Append(
        "NOT EXISTS (SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID = t1.FID AND FIsShShip=1)  "
        "And ");
  } else if (choice == "KEY_2") {
    sb.Append(
        " EXISTS (SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID = t1.FID AND FIsShShip=1) And ");
  } else {
    return;
  }
  sb.Append(kEol);
}

std::string OrderDateRange(const Dictionary& dct, const std::string& alias) {
  std::string range;
  for (auto [key, op] : {std::pair{"OrderDateFrom", " >='"}, std::pair{"OrderDateTo", " <='"}})
    if (std::string v = TextKey(dct, key); !v.empty())
      range += alias + "FOrderDate" + op + SqlQuote(v) + "' AND " + kEol;
  return range;
}

// The simple keys, in the order the screen lists them.
void AppendSimpleKeys(StringBuilder& sb, Dictionary& dct) {
  auto quoted = [&](std::string_view key, std::string_view head, std::string_view tail) {
    std::string v = TextKey(dct, key);
    if (v.empty()) return;
    sb.Append(std::string(head) + SqlQuote(v) + std::string(tail));
    sb.Append(kEol);
  };
  auto number = [&](std::string_view key, std::string_view head, std::string_view tail) {
    std::string v = NumberKey(dct, key);
    if (v.empty()) return;
    sb.Append(std::string(head) + v + std::string(tail));
    sb.Append(kEol);
  };
  sb.Append(OrderDateRange(dct, "t1."));
  number("Flag", "t1.FOrderFlag ='", "' AND ");
  number("TranStatus", "t1.FTransactionStatus =", " AND ");
  quoted("PayDateFrom", "t1.FSitePayDate >='", "' AND ");
  quoted("PayDateTo", "t1.FSitePayDate <='", "' AND ");
  number("OrderType", "t1.FOrderType =", " AND ");
  // Shop IDs are text ("DEMO01"), so they are compared quoted; 0 is the screen's "any shop".
  if (std::string shop = CodeListKey(dct, "WebShopID"); !shop.empty())
    sb.Append("t1.FWebshopID ='" + SqlQuote(shop) + "' AND ").Append(kEol);
  AppendMessageCondition(sb, dct, "SellerCompare", "FSellerMessage");
  AppendMessageCondition(sb, dct, "BuyerCompare", "FBuyerMessage");
  AppendRangeCondition(sb, dct, "FGoodsCountBegin", "FGoodsCountEnd",
                       "select SUM(FQuantity ) from IC_Web2ERPOrdersEntry Where FID=t1.FID", " ");
  AppendRangeCondition(
      sb, dct, "FEntryCountBegin", "FEntryCountEnd",
      "select COUNT(distinct FItemID ) from IC_Web2ERPOrdersEntry Where FID=t1.FID", "  ");
  AppendServiceCondition(sb, dct, "ServiceStatus", "FServiceStatus", false);
  AppendServiceCondition(sb, dct, "ServiceType", "FServiceType", true);
  AppendServiceCondition(sb, dct, "ServiceSource", "FServiceSource", true);
  std::string entries = TextKey(dct, "FEntryIDs");
  if (!entries.empty()) {
    sb.Append("entry.FEntryID in (" + SqlQuote(CheckKeyList(entries, "FEntryIDs")) + ") AND ");
    sb.Append(kEol);
  }
  AppendPartnerStockCondition(sb, dct);
  AppendCainiaoCondition(sb, dct);
  quoted("StockName",
         "t1.FID IN (Select FID From IC_Web2ERPOrdersEntry Where FStockID IN (Select FItemID From "
         "t_Stock Where FName like '%",
         "%')) AND ");
}

}  // namespace

std::string BuildItemSetSql(std::string_view item_numbers, bool exclude_gifts) {
  StringBuilder sb;
  int count = 0;
  size_t start = 0;
  while (start <= item_numbers.size()) {
    size_t comma = item_numbers.find(',', start);
    std::string_view number = item_numbers.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    sb.Append(
        "Exists(SELECT 1 FROM IC_Web2ERPOrdersEntry t2 LEFT JOIN t_ICItem t3 ON "
        "t2.FItemID=t3.FItemID WHERE t2.fid=t1.fid AND t3.FNumber ='" +
        SqlQuote(number) + "') AND");
    sb.Append(kEol);
    ++count;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (exclude_gifts) {
    sb.Append("(Select Count(FID) From IC_Web2ERPOrdersEntry Where FIsFree =0  AND FID=t1.FID)=" +
              std::to_string(count) + " AND");
  } else {
    sb.Append("(Select Count(FID) From IC_Web2ERPOrdersEntry Where FID=t1.FID)=" +
              std::to_string(count) + " AND");
  }
  sb.Append(kEol);
  return sb.ToString();
}

bool IsUserGroupCheckOn(const std::string& sDsn) {
  if (sDsn.empty()) return false;
  auto profile =
      RequireInterface<SystemProfileService>(CreateHostObject(kProgIdSystemProfile), "GetProfile");
  Variant value = profile->GetProfile(sDsn, "IC", "CheckUserGroup");
  if (value.IsNull() || value.IsObject() || !IsNumeric(value)) return false;
  return CDbl(value) != 0;
}

std::string BuildUserGroupSql(int user_id) {
  StringBuilder sb;
  sb.Append("t1.FBiller IN\r\n");
  sb.Append("(\r\n");
  sb.Append("    SELECT tu2.FUserID\r\n");
  sb.Append("    FROM   t_Group tu LEFT JOIN t_User tu2 ON tu2.FUserID = tu.FUserID\r\n");
  sb.Append("    WHERE  tu.FGroupID IN\r\n");
  sb.Append("    (\r\n");
  sb.Append("       SELECT tg.FGroupID\r\n");
  sb.Append("       FROM   t_User tu\r\n");
  sb.Append("             LEFT JOIN t_Group tg\r\n");
  sb.Append("                  ON  tg.FUserID = tu.FUserID\r\n");
  sb.Append("       Where tu.FUserID = " + std::to_string(user_id) + " And tg.FGroupID <> 0\r\n");
  sb.Append("    )\r\n");
  sb.Append(") \r\n");
  sb.Append("AND \r\n");
  return sb.ToString();
}

void CheckAdvancedFilter(const std::string& filter) {
  if (filter.find_first_not_of(" \t\r\n") == std::string::npos) return;
  CheckClientSqlAllowed("\"AdvancedFilter\"");
  tsql::CheckConditionTail(filter);
}

std::string OrderDateRangeWithoutShop(const Dictionary& dct) {
  return CodeListKey(dct, "WebShopID").empty() ? OrderDateRange(dct, "") : "";
}

std::string BuildOrderFilterSql(Component& self, const DictionaryPtr& dctPara) {
  return BuildOrderFilterSql(self, dctPara, nullptr);
}

std::string BuildOrderFilterSql(Component& self, const DictionaryPtr& dctPara,
                                std::string* user_group) {
  if (user_group) user_group->clear();
  if (!dctPara) return "";
  Dictionary& dct = *dctPara;
  StringBuilder sb;
  Variant advanced;
  if (dct.Lookup("AdvancedFilter", &advanced)) {
    // Client-composed SQL by design: it replaces the simple keys and runs as given, once it is
    // known to be nothing but conditions.
    std::string text = advanced.IsNull() ? "" : CStr(advanced);
    CheckAdvancedFilter(text);
    if (!text.empty()) {
      sb.Append(text);
      sb.Append(kEol);
    }
  } else {
    AppendSimpleKeys(sb, dct);
    if (dct.Lookup("FieldName") && !TextKey(dct, "Compare").empty())
      sb.Append(filter_internal::BuildFieldCondition(dct));
  }
  if (IsUserGroupCheckOn(TextKey(dct, "sDSN"))) {
    std::string restriction = BuildUserGroupSql(self.user_login()->UserID());
    sb.Append(restriction);
    if (user_group) *user_group = std::move(restriction);
  }
  return sb.ToString();
}

std::string ColumnLanguageCode(Component& self) {
  const UserLoginPtr& user = self.user_login();
  std::string language = user ? Upper(TrimBlanks(user->LanguageCode())) : "";
  if (language.empty()) return "CHS";
  for (char c : language)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
      throw ComError(err::kInvalidArgument, "ambit-order",
                     "The language code '" + language + "' names no caption column.");
  return language;
}

RecordsetPtr GetTemplateData(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod<RecordsetPtr>(
      self, "GetTemplateData", dctPara, nullptr, [&](MethodScope& m) {
        std::string language = ColumnLanguageCode(self);
        std::string class_type = CStr(dctPara->GetValue("lClassTypeID", Variant("1014300")));
        StringBuilder sb;
        sb.Append(" SELECT *,\r\n");
        sb.Append(" iti.FCaption_" + language + " AS FCaption\r\n");
        sb.Append(" FROM   ICClassTableInfo iti\r\n");
        sb.Append(" Where iti.FCLASSTYPEID = " + CheckKey(class_type, "lClassTypeID") + "\r\n");
        sb.Append(" ORDER BY iti.FPage,iti.FFieldName\r\n");
        return m.conn().Execute(sb.ToString());
      });
}

}  // namespace ambit
