#include "query/status_lists.h"

#include <string>

#include "base/conversions.h"
#include "frame/text_services.h"
#include "query/list_paging.h"
#include "query/order_filter.h"
#include "query/order_filter_fields.h"
#include "query/order_select.h"
#include "schema/names.h"

namespace ambit {
namespace {

namespace code = schema::code;

constexpr char kEol[] = "\r\n";
constexpr char kDirtyReads[] = " SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED ";
constexpr char kLockFree[] = " AND (t22.FIsLock = 0 OR t22.FIsLock IS NULL)";
constexpr char kLockedState[] = "t1.FVoidStatus=0 AND t22.FIsLock = 1 AND t22.FLockStatus = 1";
constexpr char kAwaitingReview[] = "t1.FOrderStatus=1 AND t1.FCheckStatus=0 AND t1.FVoidStatus=0";
constexpr char kClosedLineStates[] =
    "('TRADE_CLOSED','TRADE_AUTOMATIC_CLOSED','TRADE_MANUAL_CLOSED')";

std::string C(int value) { return std::to_string(value); }

// What the list methods read from dctPara besides the filter.
struct ListRequest {
  std::string filter;          // BuildOrderFilterSql
  std::string user_group;      // the user-group restriction within it, "" when off
  bool counting = false;       // "stTypeCount" not empty
  int top = 0;                 // "WebOrderMaxDisplayCount"
  bool pre_selection = false;  // "AdvancedFilter" present
  std::string pre_filter;      // its trimmed text; empty: no #Data is made
  ListPage page;               // "PageSize", "PageAfter"; not applied in counting mode
};

ListRequest ReadRequest(Component& self, const DictionaryPtr& dctPara, bool with_limit) {
  ListRequest r;
  Dictionary& dct = *dctPara;
  r.page = ReadListPage(dct);  // first: a bad page key runs nothing
  r.filter = BuildOrderFilterSql(self, dctPara, &r.user_group);
  r.counting = !CStr(dct.GetValue("stTypeCount", Variant(""))).empty();
  if (with_limit) r.top = CInt(dct.GetValue("WebOrderMaxDisplayCount", Variant(int16_t{0})));
  if (r.counting) r.page = ListPage{};  // the count is the whole list's
  if (r.page.size > 0) r.top = r.page.size;
  Variant advanced;
  r.pre_selection = dct.Lookup("AdvancedFilter", &advanced);
  if (r.pre_selection && !advanced.IsNull())
    r.pre_filter = std::string(filter_internal::TrimBlanks(CStr(advanced)));
  return r;
}

// A page, and the first rows under a row limit, are read keys first (ListPart): neither needs
// the line-derived columns of any order outside it.
bool InTwoSteps(const ListRequest& r) { return !r.counting && r.top > 0; }

// The order of the list's rows on `alias`: a page's order breaks ties by FID.
std::string ListOrder(const ListRequest& r, const std::string& alias) {
  if (r.page.size > 0) return PageOrder(alias);
  return " order by " + alias + ".FSitePayDate ," + alias + ".FOrderID ";
}

// The embedded engine returns a page's rows in the order of its keys, which drive the join, and
// they are put in list order here (PutInListOrder); another server sorts them itself.
bool OrdersPageRowsHere(Connection& conn) { return conn.BackendName() == "sqlite"; }

// In pre-selection mode the lists use the ready-made filter instead of `filter`, and with it
// the original lists dropped the user-group restriction: a user limited to the orders of his
// groups saw every group's orders once the client sent "AdvancedFilter". We keep the
// restriction in that mode too, departing from the original on purpose.
void AppendPreSelectionUserGroup(StringBuilder& sb, const ListRequest& r) {
  if (r.pre_selection && !r.user_group.empty())
    sb.Append(" AND " + r.user_group + " 1=1 ").Append(kEol);
}

// An empty "AdvancedFilter" makes no #Data, so there is nothing to drop.
void AppendDropData(StringBuilder& sb, const ListRequest& r) {
  if (r.pre_selection && !r.pre_filter.empty()) sb.Append("Drop table #Data").Append(kEol);
}

enum class FirstShape { kWaitVerify, kVerified, kAll, kLock };

const char* MethodName(FirstShape list) {
  switch (list) {
    case FirstShape::kWaitVerify: return "GetWaitVerifyData";
    case FirstShape::kVerified: return "GetVerifiedData";
    case FirstShape::kAll: return "GetAllData";
    case FirstShape::kLock: return "GetLockData";
  }
  return "";
}

// Everything after the select part: the WHERE conditions and the order clause.
std::string FirstShapeConditions(FirstShape list, const ListRequest& r) {
  StringBuilder sb;
  auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
  auto filter_part = [&] {
    if (!r.filter.empty()) line(" AND " + r.filter + " 1=1 ");
  };
  if (r.pre_selection) {
    // The select part ends in "... AND" of the #Data restriction when a pre-selection ran.
    bool restricted = !r.pre_filter.empty();
    if (!restricted && list != FirstShape::kLock) line("WHERE ");
    switch (list) {
      case FirstShape::kWaitVerify: line(kAwaitingReview); break;
      case FirstShape::kVerified:
        line("t1.FCheckStatus=1 AND t1.FVoidStatus=0 ");
        line(kLockFree);
        break;
      case FirstShape::kAll: line("1=1"); break;
      case FirstShape::kLock:
        line(restricted ? "1=1" : " WHERE 1=1");
        line(std::string(" AND ") + kLockedState);
        break;
    }
    AppendPreSelectionUserGroup(sb, r);
  } else {
    switch (list) {
      case FirstShape::kWaitVerify:
        line(std::string("WHERE ") + kAwaitingReview);
        filter_part();
        break;
      case FirstShape::kVerified:
        line(" WHERE  t1.FCheckStatus=1 AND t1.FVoidStatus=0 ");
        line(kLockFree);
        filter_part();
        break;
      case FirstShape::kAll: line(" WHERE " + r.filter + " 1=1 "); break;
      case FirstShape::kLock:
        line(r.filter.empty() ? std::string(" WHERE ") + kLockedState
                              : " WHERE " + r.filter + " " + kLockedState);
        break;
    }
  }
  if (r.page.size > 0) line(PageAfterCondition(r.page, "t1"));
  line(r.counting ? " " : ListOrder(r, "t1"));
  return sb.ToString();
}

// A range of order dates without a shop: the list's order is the pay date's, and an index on the
// order date cannot give it, so SQLite walks the pay-date index from the start of the account
// until the page is full, past every order before the range. When the range holds few orders, a
// condition that repeats it on FID lets the key step start from them (the order-date index) and
// sort them instead. "Few" is judged by counting at most a bound of them: a wide range keeps the
// walk, which there is cheaper than sorting the range.
constexpr int kFewOrders = 20000;

std::string OrderDateNarrowing(Connection& conn, const Dictionary& dct) {
  const std::string range = OrderDateRangeWithoutShop(dct);
  if (range.empty()) return "";
  const std::string orders = " FROM IC_Web2ERPOrders WHERE " + range + "1=1";
  RecordsetPtr rs =
      conn.Execute("SELECT COUNT(1) FROM (SELECT TOP " + C(kFewOrders + 1) + " FID" + orders + ") x");
  if (!rs || rs->Eof() || CLng(rs->Value(0)) > kFewOrders) return "";
  return "t1.FID IN (SELECT FID" + orders + ") AND ";
}

// A page's rows, selected after `prefix`; the pre-selection's #Data goes with them.
RecordsetPtr RunPage(MethodScope& m, const ListRequest& r, const std::string& prefix,
                     const std::string& rows) {
  StringBuilder sb;
  sb.Append(prefix).Append(rows);
  AppendDropData(sb, r);
  return m.conn().Execute(sb.ToString());
}

RecordsetPtr RunFirstShape(Component& self, const DictionaryPtr& dctPara, FirstShape list) {
  return RunDictionaryMethod<RecordsetPtr>(
      self, MethodName(list), dctPara, nullptr, [&](MethodScope& m) {
        const std::string prefix =
            list != FirstShape::kWaitVerify ? std::string(kDirtyReads) + kEol : "";
        ListRequest r = ReadRequest(self, dctPara, list != FirstShape::kWaitVerify);
        std::string conditions = FirstShapeConditions(list, r);
        std::string access = WebShopAccess(self, m.sDsn);
        OrderSelectOptions options;
        options.filter = r.pre_filter;
        options.limit = r.top;
        options.include_after_sales_type = list == FirstShape::kAll;
        options.shop_access = &access;
        options.count_rows = r.counting;
        options.conditions = &conditions;
        RecordsetPtr rs;
        if (InTwoSteps(r)) {
          // A count of these lists may cover the whole account: only the page reads the refund
          // state per order.
          ListRequest keys_request = r;
          if (!r.pre_selection) keys_request.filter += OrderDateNarrowing(m.conn(), *dctPara);
          const std::string key_conditions =
              RefundStateFromLines(FirstShapeConditions(list, keys_request));
          options.conditions = &key_conditions;
          options.part = ListPart::kPageKeys;
          const std::string keys =
              BuildOrderListSql(self, m.sDsn, m.connection.get(), options) + key_conditions;
          options.part = ListPart::kPageRows;
          options.page_keys = &keys;
          const bool order_here = OrdersPageRowsHere(m.conn());
          std::string rows = BuildOrderListSql(self, m.sDsn, m.connection.get(), options) +
                             PageRowsCondition() + (order_here ? "" : ListOrder(r, "t1")) + kEol;
          rs = RunPage(m, r, prefix, rows);
          if (order_here && rs && rs->IsOpen()) PutInListOrder(*rs, r.page.size > 0);
        } else {
          StringBuilder sb;
          sb.Append(prefix);
          if (!r.counting) options.conditions = nullptr;
          sb.Append(BuildOrderListSql(self, m.sDsn, m.connection.get(), options));
          sb.Append(conditions);
          AppendDropData(sb, r);
          rs = m.conn().Execute(sb.ToString());
        }
        AnswerNextPage(r.page, rs, *dctPara);
        return rs;
      });
}

enum class SecondShape { kNoVerify, kWaitVerify2 };

std::string NoVerifyOuterCondition(bool tsd, bool check_refund) {
  StringBuilder sb;
  auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
  const std::string finished = C(code::kTradeStatusFinished);
  const std::string confirm = C(code::kTradeStatusWaitBuyerConfirm);
  if (check_refund) {
    line(" (JCK123.FRefundStatus=1 AND JCK123.FisShowWaitVerifyTemp=0 ) ");
  } else if (tsd) {
    line(
        " (JCK123.FRefundStatus=1  AND JCK123.FisShowWaitVerifyTemp=0 and  "
        "JCK123.FTransactionStatus NOT IN (" +
        confirm + ") ) ");
  } else {
    line(
        " (JCK123.FRefundStatus=1  AND JCK123.FisShowWaitVerifyTemp=0 and  "
        "JCK123.FTransactionStatus NOT IN (" +
        confirm + "," + finished + ") ) ");
  }
  if (tsd) line(" OR JCK123.FTransactionStatus = " + finished);
  line(" OR (JCK123.FTransactionStatus = " + C(code::kTradeStatusWaitBuyerPay) +
       " OR (JCK123.FTransactionStatus = " + C(code::kTradeStatusClosed) +
       " AND NOT EXISTS(SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID=JCK123.FID AND FStatus NOT "
       "IN " +
       kClosedLineStates + ")))");
  return sb.ToString();
}

std::string WaitVerify2OuterCondition(bool tsd, bool check_refund) {
  StringBuilder sb;
  auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
  const std::string after_sales = C(code::kOrderTypeAfterSales);
  const std::string confirm = C(code::kTradeStatusWaitBuyerConfirm);
  const std::string finished = C(code::kTradeStatusFinished);
  if (tsd) line("(");
  if (check_refund) {
    line(" (JCK123.FRefundStatus=0 AND JCK123.FOrderType<>" + after_sales + ") or ");
    line(" (JCK123.FRefundStatus=1 AND JCK123.FisShowWaitVerifyTemp=1 ) ");
  } else {
    line(" (JCK123.FRefundStatus=0) or ");
    line(" (JCK123.FRefundStatus=1 AND JCK123.FisShowWaitVerifyTemp=1 AND JCK123.FOrderType<>" +
         after_sales + ")  or ");
    line(tsd ? " (JCK123.FRefundStatus=1 AND JCK123.FisShowWaitVerifyTemp=0 and "
               "JCK123.FTransactionStatus  IN ( " +
                   confirm + " ) ) "
             : " (JCK123.FRefundStatus=1 AND JCK123.FisShowWaitVerifyTemp=0 and "
               "JCK123.FTransactionStatus  IN ( " +
                   confirm + ", " + finished + " ) ) ");
  }
  if (tsd) line(") AND JCK123.FTransactionStatus <> " + finished);
  return sb.ToString();
}

void AppendSecondShapeStatus(StringBuilder& sb, SecondShape list, const std::string& where) {
  auto line = [&](const std::string& text) { sb.Append(text).Append(kEol); };
  if (list == SecondShape::kNoVerify) {
    line(where + kAwaitingReview);
  } else {
    line(where + kAwaitingReview + " --and t1.FTransactionStatus NOT IN ( " +
         C(code::kTradeStatusClosed) + ", " + C(code::kTradeStatusWaitBuyerPay) + ") ");
    line(" AND t1.FTransactionStatus <> " + C(code::kTradeStatusWaitBuyerPay) +
         " AND (t1.FTransactionStatus <> " + C(code::kTradeStatusClosed) +
         " OR (t1.FTransactionStatus = " + C(code::kTradeStatusClosed) +
         " AND EXISTS(SELECT 1 FROM IC_Web2ERPOrdersEntry WHERE FID=t1.FID AND FStatus NOT IN " +
         kClosedLineStates + ")))");
  }
  line(kLockFree);
}

RecordsetPtr RunSecondShape(Component& self, const DictionaryPtr& dctPara, SecondShape list) {
  const char* name = list == SecondShape::kNoVerify ? "GetNoVerifyData" : "GetWaitVerifyData2";
  return RunDictionaryMethod<RecordsetPtr>(self, name, dctPara, nullptr, [&](MethodScope& m) {
    ListRequest r = ReadRequest(self, dctPara, true);
    bool tsd = IsTradeSuccessDown2fpNoVerify(m.conn());
    bool check_refund = CStr(dctPara->GetValue("NotCheckRefundOnStatus", Variant("0"))) == "0";
    std::string outer = list == SecondShape::kNoVerify
                            ? NoVerifyOuterCondition(tsd, check_refund)
                            : WaitVerify2OuterCondition(tsd, check_refund);
    // The conditions of the review layout's own select, after its FROM part.
    StringBuilder inner;
    if (r.pre_selection) {
      if (r.pre_filter.empty()) inner.Append("WHERE ").Append(kEol);
      AppendSecondShapeStatus(inner, list, "");
      AppendPreSelectionUserGroup(inner, r);
    } else {
      AppendSecondShapeStatus(inner, list, "WHERE ");
      if (!r.filter.empty()) inner.Append(" AND " + r.filter + " 1=1 ").Append(kEol);
    }
    const std::string conditions = inner.ToString();
    // The count and the page's keys: within one status, the refund state is read per order.
    const std::string slim_conditions = RefundStateFromLines(conditions);
    const std::string prefix = std::string(kDirtyReads) + kEol;
    OrderSelectOptions options;
    options.filter = r.pre_filter;
    options.count_rows = r.counting;
    options.conditions = r.counting ? &slim_conditions : nullptr;
    RecordsetPtr rs;
    if (InTwoSteps(r)) {
      options.part = ListPart::kPageKeys;
      options.conditions = &slim_conditions;
      StringBuilder keys;
      keys.Append(" select TOP " + C(r.top) + " JCK123.FID from ( ");
      keys.Append(kEol);
      keys.Append(BuildVerifyListSql(self, m.sDsn, m.connection.get(), options));
      keys.Append(slim_conditions);
      keys.Append(" ) JCK123 where ( ").Append(kEol);
      keys.Append(outer).Append(" ) ").Append(PageAfterCondition(r.page, "JCK123")).Append(kEol);
      keys.Append(ListOrder(r, "JCK123")).Append(kEol);
      options.part = ListPart::kPageRows;
      options.conditions = nullptr;
      const std::string key_text = keys.ToString();
      options.page_keys = &key_text;
      StringBuilder rows;
      rows.Append(" select JCK123.* from ( ").Append(kEol);
      rows.Append(BuildVerifyListSql(self, m.sDsn, m.connection.get(), options));
      rows.Append(PageRowsCondition());
      const bool order_here = OrdersPageRowsHere(m.conn());
      rows.Append(" ) JCK123 ").Append(order_here ? "" : ListOrder(r, "JCK123")).Append(kEol);
      rs = RunPage(m, r, prefix, rows.ToString());
      if (order_here && rs && rs->IsOpen()) PutInListOrder(*rs, r.page.size > 0);
    } else {
      StringBuilder sb;
      sb.Append(prefix);
      sb.Append(r.counting ? " SELECT  COUNT(1) AS RecordCount from ( " : " select JCK123.* from ( ");
      sb.Append(kEol);
      sb.Append(BuildVerifyListSql(self, m.sDsn, m.connection.get(), options));
      sb.Append(r.counting ? slim_conditions : conditions);
      sb.Append(" ) JCK123 where  ").Append(kEol);
      sb.Append(outer);
      sb.Append(r.counting ? " " : " order by JCK123.FSitePayDate ,JCK123.FOrderID ").Append(kEol);
      AppendDropData(sb, r);
      rs = m.conn().Execute(sb.ToString());
    }
    AnswerNextPage(r.page, rs, *dctPara);
    return rs;
  });
}

}  // namespace

RecordsetPtr GetWaitVerifyData(Component& self, const DictionaryPtr& dctPara) {
  return RunFirstShape(self, dctPara, FirstShape::kWaitVerify);
}
RecordsetPtr GetVerifiedData(Component& self, const DictionaryPtr& dctPara) {
  return RunFirstShape(self, dctPara, FirstShape::kVerified);
}
RecordsetPtr GetAllData(Component& self, const DictionaryPtr& dctPara) {
  return RunFirstShape(self, dctPara, FirstShape::kAll);
}
RecordsetPtr GetLockData(Component& self, const DictionaryPtr& dctPara) {
  return RunFirstShape(self, dctPara, FirstShape::kLock);
}
RecordsetPtr GetNoVerifyData(Component& self, const DictionaryPtr& dctPara) {
  return RunSecondShape(self, dctPara, SecondShape::kNoVerify);
}
RecordsetPtr GetWaitVerifyData2(Component& self, const DictionaryPtr& dctPara) {
  return RunSecondShape(self, dctPara, SecondShape::kWaitVerify2);
}

bool IsTradeSuccessDown2fpNoVerify(Connection& conn) {
  RecordsetPtr rs = conn.Execute(
      "select FValue from t_SystemProfile where FCategory = 'EC' and FKey = "
      "'TradeSuccessDown2fpNoVerify'");
  if (!rs || !rs->IsOpen() || rs->Eof()) return false;
  const Variant& v = rs->Value(0);
  return !v.IsNull() && CStr(v) == "1";
}

bool IsTradeSuccessDown2fpNoVerify(Component& self) {
  try {
    return IsTradeSuccessDown2fpNoVerify(*self.call_context().Connection());
  } catch (...) {
    self.RaiseFromMethod("IsTradeSuccessDown2fpNoVerify", std::current_exception());
  }
}

}  // namespace ambit
