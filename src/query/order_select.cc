#include "query/order_select.h"

#include <regex>
#include <set>

#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/order_filter.h"
#include "query/order_filter_fields.h"
#include "schema/names.h"

namespace ambit {
namespace {

constexpr char kEol[] = "\r\n";

enum class Layout { kOrderList, kVerifyList };

std::string AfterSalesType() { return std::to_string(schema::code::kOrderTypeAfterSales); }

// Area and logistics names come from the column of the user's language (FName_CHT ...); the
// default language keeps plain FName.
std::string NameColumn(const std::string& alias, const std::string& language) {
  return " " + alias + (language == "CHS" ? ".FName" : ".FName_" + language);
}

// The columns a page's rows take from the order's lines (and its buyer), read per order (a page is a few hundred
// orders, each an index seek) rather than grouped over the lines of the whole account. Each gives
// what the grouped join gives for that order: the refund state as RefundStateFromLines reads it,
// a closed line, the highest row-close state.
constexpr char kClosedLinePerOrder[] =
    " CASE WHEN t1.FID > 0 AND EXISTS(SELECT 1 FROM IC_Web2ERPOrdersEntry cl WHERE cl.FID = t1.FID "
    "AND cl.FStatus ='TRADE_CLOSED') THEN 1 ELSE 0 END AS FStatus,";
// The blacklist flag by the buyer's nick: the grouped join reads every blacklisted client and
// builds a temporary index over them for each page; per order it is one seek of the
// (FIsBlackList, FNick) index.
constexpr char kBlacklistPerOrder[] =
    " CASE WHEN EXISTS(SELECT 1 FROM IC_WebShopClient bl WHERE bl.FIsBlackList = 1 AND "
    "bl.FNick = t1.FBuyerNick AND bl.FNick <> '') THEN 'Y' ELSE '' END AS FIsBlackList,";
constexpr char kRowClosePerOrder[] =
    " ISNULL((SELECT MAX(rc.FIsRowClose) FROM IC_Web2ERPOrdersEntry rc WHERE rc.FID = t1.FID AND "
    "rc.FIsRowClose > 0),0) AS FIsRowClose,";

void AppendColumns(StringBuilder& sb, Layout layout, const std::string& language,
                   bool per_order) {
  auto line = [&](const std::string& text) {
    sb.Append(per_order ? RefundStateFromLines(text) : text).Append(kEol);
  };
  line(" case when t1.FBiller <> 0 then t4.FName else NULL end AS FBillerName,");
  line(" case when t1.FChkMan <> 0 then t5.FName else NULL end AS FChkManName,");
  line(" case when t1.FPreChkMan <> 0 then t17.FName else NULL end AS FPreChkManName,");
  line(" case when t1.FPickMan <> 0 then t6.FName else NULL end AS FPickManName,");
  line(" (t1.FAmount-t1.FDiscountFee + t1.FTotalFreight - t1.FBillDiscountFee) AS FFinallyAmount,");
  line(" t7.FName AS FOrderTypeName,");
  line(" t8.FName AS FSendTypeName,");
  line(" t9.FName AS FShippingTypeName,");
  line(" t10.FName AS FTransactionTypeName,");
  line(" t11.FName AS FTransactionStatusName,");
  line(NameColumn("t28", language) + " AS FDeliveryCountryName,");
  line(NameColumn("t12", language) + " AS FDeliveryProvinceName,");
  line(NameColumn("t13", language) + " AS FDeliveryCityName,");
  line(NameColumn("t14", language) + " AS FDeliveryDistrictName,");
  line(NameColumn("t15", language) + " AS FLogisticsName,");
  line(" t16.FName AS FEmpIDName,");
  line(per_order ? kBlacklistPerOrder
                 : " CASE WHEN ISNULL(t23.FIsBlackList,0)=1 THEN 'Y' ELSE '' END AS FIsBlackList,");
  line(" t25.FName AS FOptDptIDName,");
  line(" ISNULL(t26.FRefundStatus,0) AS FRefundStatus,");
  if (layout == Layout::kVerifyList)
    line(
        " CASE WHEN ISNULL(t26.FIsShowWaitVerifyTemp,0) > 0 THEN 1 ELSE 0 END AS "
        "FIsShowWaitVerifyTemp,");
  line(per_order ? kRowClosePerOrder : " ISNULL(t100.FIsRowClose,0) AS FIsRowClose,");
  line(per_order ? kClosedLinePerOrder
                 : " CASE WHEN ISNULL(t99.FID,0) > 0 THEN 1 ELSE 0 END AS FStatus,");
  line(" isnull(t22.FAddressReachable,4) AS FAddressReachable,");
  if (layout == Layout::kOrderList) line(" isnull(t15.FName,'') AS FLogisticsName,");
  line(" isnull(t22.FLotNumber,'') AS FLotNumber,");
  line(" isnull(t22.FSerialNumber,'') AS FSerialNumber,");
  line(" ISNULL(t22.FLockReason,'') AS FLockReason,");
  line(" ISNULL(t22.FLogisticsState,-1) AS FLogisticsState,");
  line(" ISNULL(t24.FName,'') AS FLogisticsStateName,");
  line(" CASE t22.FIsLock WHEN 1 THEN 'Y' ELSE '' END AS FIsLock,");
  line(" isnull(t27.FName,'') AS FCurrencyName,");
  line(" ISNULL(t998.FIs_jzservice_order,'') AS FIsJzserviceOrder");
}

// The aliases `text` qualifies a column with ("t22.", "[t22]."), in upper case.
std::set<std::string> QualifyingAliases(const std::string& text) {
  static const std::regex kQualifier(R"((^|[^A-Za-z0-9_#@\]])\[?([A-Za-z_][A-Za-z0-9_]*)\]?\s*\.)");
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kQualifier);
       it != std::sregex_iterator(); ++it)
    found.insert(filter_internal::Upper((*it)[2].str()));
  return found;
}

// Which of the list's joins a statement carries.
struct JoinChoice {
  bool all = true;
  std::set<std::string> wanted;  // when not all: the aliases the conditions mention (upper case)
  std::set<std::string> left_out;  // when all: aliases to leave out all the same (upper case)

  bool Wants(const char* alias) const {
    const std::string name = filter_internal::Upper(alias);
    return all ? left_out.count(name) == 0 : wanted.count(name) > 0;
  }
};

// The joins every list and count share: shop, users, code names, areas, logistics, employee.
// t2 is joined by a column that is not its key: it may repeat rows, so it always stays.
void AppendBaseJoins(StringBuilder& sb, bool with_pre_checker, const JoinChoice& joins = {}) {
  auto join = [&](const char* alias, const char* text) {
    if (joins.Wants(alias)) sb.Append(text).Append(kEol);
  };
  sb.Append(" LEFT JOIN IC_WebshopToStorage t2 ON t1.FWebshopID=t2.FWebShopID").Append(kEol);
  join("t4", " LEFT JOIN t_User t4 ON t1.FBiller=t4.FUserID");
  join("t5", " LEFT JOIN t_User t5 ON t1.FChkMan=t5.FUserID");
  join("t6", " LEFT JOIN t_User t6 ON t1.FPickMan=t6.FUserID");
  if (with_pre_checker) join("t17", " LEFT JOIN t_User t17 ON t1.FPreChkMan=t17.FUserID");
  join("t7", " LEFT JOIN t_SubMessage t7 ON t1.FOrderType=t7.FInterID");
  join("t8", " LEFT JOIN t_SubMessage t8 ON t1.FSendType=t8.FInterID");
  join("t9", " LEFT JOIN t_SubMessage t9 ON t1.FShippingType=t9.FInterID");
  join("t10", " LEFT JOIN t_SubMessage t10 ON t1.FTransactionType=t10.FInterID");
  join("t11", " LEFT JOIN t_SubMessage t11 ON t1.FTransactionStatus=t11.FInterID");
  join("t12", " LEFT JOIN IC_Area t12 ON t1.FDeliveryProvince=t12.FID");
  join("t13", " LEFT JOIN IC_Area t13 ON t1.FDeliveryCity=t13.FID");
  join("t14", " LEFT JOIN IC_Area t14 ON t1.FDeliveryDistrict=t14.FID");
}

void AppendListJoins(StringBuilder& sb, Layout layout, const JoinChoice& joins) {
  auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
  auto join = [&](const char* alias, const std::string& text) {
    if (joins.Wants(alias)) line(text);
  };
  AppendBaseJoins(sb, true, joins);
  join("t28", " LEFT JOIN IC_Area t28 ON t1.FDeliveryCountry=t28.FID");
  join("t15", " LEFT JOIN IC_Logistics t15 ON t1.FLogisticsID=t15.FItemID");
  join("t16", " LEFT JOIN t_EMP t16 ON t1.FEmpID=t16.FItemID");
  const bool ex = joins.Wants("t22") || joins.Wants("t24");
  if (layout == Layout::kOrderList) {
    if (ex) line(" LEFT JOIN IC_Web2ERPOrdersEx t22 ON t1.FID=t22.FID");
    join("t25", " LEFT JOIN t_Department t25 ON t1.FOptDptID=t25.FItemID");
  } else {
    join("t25", " LEFT JOIN t_Department t25 ON t1.FOptDptID=t25.FItemID");
    if (ex) line(" LEFT JOIN IC_Web2ERPOrdersEx t22 ON t1.FID=t22.FID");
  }
  join("t24", " LEFT JOIN IC_LogisticsTraceState t24 ON t22.FLogisticsState=t24.FID");
  join("t26", " LEFT JOIN vw_Web2ERPOrdersRefund t26 ON t1.FID=t26.FID --取退款状态");
  join("t998", " LEFT JOIN vw_Web2ERPOrdersJZ t998 ON t1.FID=t998.FID --家装订单标识");
  join("t23",
       " LEFT JOIN (SELECT DISTINCT FNick,FIsBlackList FROM IC_WebShopClient WHERE FIsBlackList = 1 "
       "AND FNick <> '') t23 ON t1.FBuyerNick = t23.FNick");
  join("t99",
       " LEFT JOIN (SELECT FID FROM IC_Web2ERPOrdersEntry WHERE FStatus ='TRADE_CLOSED' GROUP BY "
       "FID) t99 ON t1.FID=t99.FID");
  join("t100",
       " LEFT JOIN (SELECT FID,MAX(FIsRowClose) AS FIsRowClose FROM IC_Web2ERPOrdersEntry WHERE "
       "FIsRowClose > 0 GROUP BY FID) t100 ON t1.FID=t100.FID");
  join("t27", " left join t_Currency t27 on t1.FCurrencyID = t27.FCurrencyID");
}

bool Mentions(const std::string& filter, const char* alias) {
  return filter_internal::Upper(filter).find(filter_internal::Upper(alias)) != std::string::npos;
}

// Selects the keys of the orders that pass `filter` into #Data on `conn`. Line, item and
// warehouse columns of the filter (t18 to t21) are reachable only through joins made here.
void RunPreSelection(Connection* conn, const std::string& from_part, std::string filter) {
  CheckAdvancedFilter(filter);
  if (!conn)
    throw ComError(err::kObjectRequired, "ambit-order",
                   "A pre-selected order list needs the call's connection.");
  StringBuilder extra;
  if (Mentions(filter, "t18.") || Mentions(filter, "t19.") || Mentions(filter, "t20.") ||
      Mentions(filter, "t21."))
    extra.Append(" LEFT JOIN IC_Web2ERPOrdersEntry t18 ON t18.FID=t1.FID").Append(kEol);
  if (Mentions(filter, "t19."))
    extra.Append(" LEFT JOIN t_ICItem t19 ON t19.FItemID=t18.FItemID").Append(kEol);
  if (Mentions(filter, "t20."))
    extra.Append(" LEFT JOIN t_Stock t20 ON t20.FItemID=t18.FStockID").Append(kEol);
  if (Mentions(filter, "t21.")) {
    // The screen names the shop's product number as t21.FOnlineShopPNo; it lives on the line.
    filter = filter_internal::Upper(filter);
    const std::string from = "T21.FONLINESHOPPNO";
    for (size_t pos = filter.find(from); pos != std::string::npos; pos = filter.find(from, pos))
      filter.replace(pos, from.size(), "t18.FOuterID");
  }
  StringBuilder sb;
  sb.Append("select distinct t1.FID into #Data").Append(kEol);
  sb.Append(from_part);
  sb.Append(extra.ToString());
  sb.Append("where 1=1 " + filter + ";").Append(kEol);
  sb.Append("CREATE NONCLUSTERED INDEX idx_#data_FID ON #Data(FID);").Append(kEol);
  conn->Execute(sb.ToString());
}

// The joins a pre-selection leaves out: the grouped ones, which read the lines (or the clients) of
// the whole account before the first row, when the client's filter names neither their alias nor
// any column that only they supply. Any mention keeps the join, so an unqualified column still
// finds it; left out, a join changes no key of the DISTINCT (a LEFT JOIN keeps every order).
JoinChoice PreSelectionJoins(const std::string& filter) {
  static const std::pair<const char*, std::regex> kGrouped[] = {
      {"T26", std::regex(R"(\b(t26|FRefundStatus|FIsShowWaitVerifyTemp)\b)", std::regex::icase)},
      {"T998", std::regex(R"(\b(t998|FIs_jzservice_order)\b)", std::regex::icase)},
      {"T99", std::regex(R"(\bt99\b)", std::regex::icase)},
      {"T100", std::regex(R"(\b(t100|FIsRowClose)\b)", std::regex::icase)},
      {"T23", std::regex(R"(\b(t23|FNick|FIsBlackList)\b)", std::regex::icase)},
  };
  JoinChoice joins;
  for (const auto& [alias, mention] : kGrouped)
    if (!std::regex_search(filter, mention)) joins.left_out.insert(alias);
  return joins;
}

JoinChoice ChooseJoins(const OrderSelectOptions& options) {
  JoinChoice joins;
  // A page's rows read the line-derived columns per order (AppendColumns).
  if (options.part == ListPart::kPageRows) joins.left_out = {"T26", "T99", "T100", "T23"};
  const bool slim = options.count_rows || options.part == ListPart::kPageKeys;
  if (slim && options.conditions) {
    joins.all = false;
    joins.wanted = QualifyingAliases(*options.conditions);
  }
  return joins;
}

std::string BuildSelect(Component& self, const std::string& sDsn, Connection* conn,
                        const OrderSelectOptions& options, Layout layout) {
  std::string language = ColumnLanguageCode(self);
  const bool slim = options.count_rows || options.part == ListPart::kPageKeys;
  StringBuilder select;
  if (layout == Layout::kVerifyList && slim) {
    // What the wrapper's conditions, order and count read: the refund state, from each order's
    // lines (these statements are restricted to one status).
    select.Append(" SELECT t1.*,").Append(kEol);
    select.Append(RefundStateFromLines(" ISNULL(t26.FRefundStatus,0) AS FRefundStatus,"))
        .Append(kEol);
    select
        .Append(RefundStateFromLines(
            " CASE WHEN ISNULL(t26.FIsShowWaitVerifyTemp,0) > 0 THEN 1 ELSE 0 END AS "
            "FIsShowWaitVerifyTemp"))
        .Append(kEol);
  } else if (options.count_rows) {
    select.Append(" SELECT  COUNT(1) AS RecordCount ").Append(kEol);
  } else if (options.part == ListPart::kPageKeys) {
    select.Append(" SELECT TOP " + std::to_string(options.limit) + " t1.FID").Append(kEol);
  } else {
    if (layout == Layout::kOrderList && options.limit > 0 && options.part == ListPart::kRows) {
      select.Append(" SELECT TOP " + std::to_string(options.limit) + " t1.*,t2.FWebShopName,");
    } else {
      select.Append(" SELECT t1.*,t2.FWebShopName,");
    }
    select.Append(kEol);
    AppendColumns(select, layout, language, options.part == ListPart::kPageRows);
  }
  const std::string access = options.shop_access ? *options.shop_access : WebShopAccess(self, sDsn);
  auto from_part = [&](const JoinChoice& joins) {
    StringBuilder from;
    if (options.part == ListPart::kPageRows) {
      // The page drives: read by key, then sorted. Left to itself the planner would read the
      // whole order table in list order to spare a sort of 200 rows. CROSS JOIN keeps the
      // tables in the order written (SQLite) and means what ", " means (SQL Server).
      from.Append(" FROM (" + (options.page_keys ? *options.page_keys : std::string()) +
                  ") pg CROSS JOIN IC_Web2ERPOrders t1 ")
          .Append(kEol);
    } else {
      from.Append(" FROM IC_Web2ERPOrders t1 ").Append(kEol);
    }
    AppendListJoins(from, layout, joins);
    from.Append(access).Append(kEol);
    return from.ToString();
  };
  const JoinChoice joins = ChooseJoins(options);
  StringBuilder from;
  from.Append(from_part(joins));
  // The page's keys passed the pre-selection already.
  if (!options.filter.empty() && options.part != ListPart::kPageRows) {
    // The ready-made filter is the client's text: it may name any of the joins, so it runs over
    // all of them but the costly ones it cannot reach.
    RunPreSelection(conn, from_part(PreSelectionJoins(options.filter)), options.filter);
    if (layout == Layout::kVerifyList) {
      from.Append("Where exists(select 1 from #Data where FID=t1.FID) AND");
    } else if (options.include_after_sales_type) {
      from.Append("Where exists(select 1 from #Data where FID=t1.FID) AND ");
    } else {
      from.Append("Where exists(select 1 from #Data where FID=t1.FID) AND t1.FOrderType<>" +
                  AfterSalesType() + " AND");
    }
    from.Append(kEol);
  }
  return select.ToString() + from.ToString();
}

}  // namespace

std::string BuildOrderListSql(Component& self, const std::string& sDsn, Connection* conn,
                              const OrderSelectOptions& options) {
  return BuildSelect(self, sDsn, conn, options, Layout::kOrderList);
}

std::string BuildOrderListSql(Component& self, const std::string& sDsn, Connection* conn,
                              const std::string& filter, int limit, bool include_type_38481) {
  OrderSelectOptions options;
  options.filter = filter;
  options.limit = limit;
  options.include_after_sales_type = include_type_38481;
  return BuildSelect(self, sDsn, conn, options, Layout::kOrderList);
}

std::string BuildVerifyListSql(Component& self, const std::string& sDsn, Connection* conn,
                               const std::string& filter) {
  OrderSelectOptions options;
  options.filter = filter;
  return BuildSelect(self, sDsn, conn, options, Layout::kVerifyList);
}

std::string BuildVerifyListSql(Component& self, const std::string& sDsn, Connection* conn,
                               const OrderSelectOptions& options) {
  return BuildSelect(self, sDsn, conn, options, Layout::kVerifyList);
}

std::string RefundStateFromLines(const std::string& conditions) {
  // Most texts name no t26 column; the search below costs thousands of steps a line.
  bool mentions_t26 = false;
  for (size_t pos = conditions.find("26"); pos != std::string::npos && !mentions_t26;
       pos = conditions.find("26", pos + 1))
    mentions_t26 = pos > 0 && (conditions[pos - 1] == 't' || conditions[pos - 1] == 'T');
  if (!mentions_t26) return conditions;
  // As the view: a row only for an order with a line in refund (MAX over a NOT NULL column).
  static const std::regex kRefundColumn(
      R"((^|[^A-Za-z0-9_#@\].])\[?t26\]?\s*\.\s*\[?(FRefundStatus|FIsShowWaitVerifyTemp)\]?(?![A-Za-z0-9_]))",
      std::regex::icase);
  std::string out;
  auto begin = conditions.cbegin();
  for (auto it = std::sregex_iterator(conditions.begin(), conditions.end(), kRefundColumn);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    out.append(begin, m[0].first).append(m[1].str());
    const bool state = filter_internal::Upper(m[2].str()) == "FREFUNDSTATUS";
    out.append(state ? "(SELECT MAX(rl.FRefundStatus)"
                     : "(SELECT SUM(CASE WHEN rl.FRefundStatus = 0 AND rl.FIsRowClose = 0 THEN 1 "
                       "ELSE 0 END)");
    out.append(
        " FROM IC_Web2ERPOrdersEntry rl WHERE rl.FID = t1.FID HAVING MAX(rl.FRefundStatus) > 0)");
    begin = m[0].second;
  }
  out.append(begin, conditions.cend());
  return out;
}

std::string PageRowsCondition() {
  return std::string("WHERE t1.FID = pg.FID") + kEol;
}

std::string BuildOrderCountSql(const std::string&) {
  StringBuilder sb;
  sb.Append(" SELECT  COUNT(1) AS RecordCount ").Append(kEol);
  sb.Append(" FROM IC_Web2ERPOrders t1 ").Append(kEol);
  AppendBaseJoins(sb, false);
  sb.Append(" LEFT JOIN IC_Logistics t15 ON t1.FLogisticsID=t15.FItemID").Append(kEol);
  sb.Append(" LEFT JOIN t_EMP t16 ON t1.FEmpID=t16.FItemID").Append(kEol);
  return sb.ToString();
}

std::string BuildOrderKeySql(const std::string&) {
  StringBuilder sb;
  sb.Append(" SELECT  t1.FID AS RecordCount ").Append(kEol);
  sb.Append(" FROM IC_Web2ERPOrders t1 ").Append(kEol);
  AppendBaseJoins(sb, true);
  sb.Append(" LEFT JOIN IC_Logistics t15 ON t1.FLogisticsID=t15.FItemID").Append(kEol);
  sb.Append(" LEFT JOIN t_EMP t16 ON t1.FEmpID=t16.FItemID").Append(kEol);
  sb.Append(" Left Join IC_Web2ERPOrdersEx t22 on t1.FID=t22.FID ").Append(kEol);
  sb.Append(" Left Join vw_Web2ERPOrdersRefund t26 on t1.FID=t26.FID ").Append(kEol);
  return sb.ToString();
}

std::string WebShopAccess(Component& self, const std::string& sDsn) {
  try {
    self.InitContext(sDsn);
    std::string user = std::to_string(GetLoginUserID(self.call_context()));
    ConnectionPtr conn = self.call_context().CurrentConnection();
    StringBuilder sb;
    sb.Append(
          " SELECT FValue FROM t_SystemProfile WHERE FCategory='EC' and FKey = 'WebShopAccess' "
          "and FValue =0")
        .Append(kEol);
    sb.Append(" union ").Append(kEol);
    sb.Append("select 1 from t_Group where FGroupID =1 and FUserID =" + user).Append(kEol);
    RecordsetPtr rs = conn->Execute(sb.ToString());
    if (rs && rs->IsOpen() && !rs->Eof()) return "";
    return " inner join (select  FWebShopID  from  IC_WebShopAccessData where FIsAccess=1 and "
           "FUserID =" +
           user + ") AccessDataWebShop on t1.FWebshopID=AccessDataWebShop.FWebShopID";
  } catch (...) {
    return "";
  }
}

bool NeedsListJoinsToCount(const std::string& condition) {
  static const std::regex kListOnlyAlias(
      R"((^|[^A-Za-z0-9_#@])(t17|t22|t23|t24|t25|t26|t27|t28|t99|t100|t998|AccessDataWebShop)\s*\.)",
      std::regex::icase);
  return std::regex_search(condition, kListOnlyAlias);
}

}  // namespace ambit
