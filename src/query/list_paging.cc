#include <cstdio>

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"
#include "frame/shared_helpers.h"
#include "query/list_paging.h"
#include "tsql/runtime.h"

namespace ambit {
namespace {

constexpr int kMaxPageSize = 10000;
constexpr char kSource[] = "ambit-order";

[[noreturn]] void BadPage(const std::string& what) {
  throw ComError(err::kInvalidArgument, kSource, what);
}

// SQLite's ascending order of two values: NULL, then numbers, then text (compared by the
// column's collation: `collated` for the TSQL one, else byte by byte).
int CompareAsSqlite(const Variant& a, const Variant& b, bool collated) {
  auto rank = [](const Variant& v) {
    if (v.IsNull()) return 0;
    if (v.IsNumber() || v.type() == VarType::kBoolean) return 1;
    return v.IsString() ? 2 : 3;
  };
  const int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 1) {
    if (a.type() != VarType::kDouble && b.type() != VarType::kDouble) {
      const int64_t x = CLngLng(a), y = CLngLng(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    const double x = CDbl(a), y = CDbl(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (ra == 2) {
    if (collated) return tsql::CompareText(a.string_value(), b.string_value());
    const int c = a.string_value().compare(b.string_value());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return 0;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string FormatPayDate(Date d) {
  DateParts p = SplitDate(d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day,
                p.hour, p.minute, p.second, p.millisecond);
  return buf;
}

ListPage ParseCursor(ListPage page, const std::string& cursor) {
  size_t first = cursor.find('|');
  size_t second = first == std::string::npos ? first : cursor.find('|', first + 1);
  if (second == std::string::npos) BadPage("\"PageAfter\" is no page cursor: " + cursor);
  std::string date = cursor.substr(0, first);
  std::string fid = cursor.substr(first + 1, second - first - 1);
  if (!AllDigits(fid) || fid.size() > 18) BadPage("\"PageAfter\" names no FID: " + cursor);
  if (!date.empty()) {
    page.pay_date = ParseDate(date);
    if (!page.pay_date) BadPage("\"PageAfter\" names no pay date: " + cursor);
  }
  page.after = true;
  page.fid = std::stoll(fid);
  page.order_id = cursor.substr(second + 1);
  return page;
}

}  // namespace

ListPage ReadListPage(const Dictionary& dct) {
  ListPage page;
  Variant size, after;
  if (dct.Lookup("PageSize", &size) && !size.IsEmpty() && !size.IsNull()) {
    std::string text = size.IsObject() ? "" : std::string(TrimBlanks(CStr(size)));
    if (!AllDigits(text) || text.size() > 5 || std::stoi(text) < 1 ||
        std::stoi(text) > kMaxPageSize)
      BadPage("\"PageSize\" must be a whole number from 1 to 10000.");
    page.size = std::stoi(text);
  }
  if (dct.Lookup("PageAfter", &after) && !after.IsEmpty() && !after.IsNull()) {
    if (after.IsObject()) BadPage("\"PageAfter\" is no page cursor.");
    std::string cursor = CStr(after);
    if (!cursor.empty()) {
      if (page.size == 0) BadPage("\"PageAfter\" needs \"PageSize\".");
      page = ParseCursor(page, cursor);
    }
  }
  return page;
}

// SQL Server has no row-value comparison, so (pay date, order number, FID) >
// cursor is spelt out. A missing pay date sorts first in both engines.
std::string PageAfterCondition(const ListPage& page, const std::string& alias) {
  if (!page.after) return "";
  const std::string pay = alias + ".FSitePayDate";
  const std::string order = alias + ".FOrderID";
  const std::string quoted = "N'" + SqlQuote(page.order_id) + "'";
  const std::string same_date_after = "(" + order + " > " + quoted + " OR (" + order + " = " +
                                      quoted + " AND " + alias + ".FID > " +
                                      std::to_string(page.fid) + "))";
  if (!page.pay_date)
    return " AND (" + pay + " IS NOT NULL OR (" + pay + " IS NULL AND " + same_date_after + "))";
  // CONVERT keeps the comparison on the column, so an index on the pay date can
  // seek to it.
  const std::string date = "CONVERT(datetime, '" + FormatPayDate(*page.pay_date) + "', 121)";
  return " AND (" + pay + " > " + date + " OR (" + pay + " = " + date + " AND " + same_date_after +
         "))";
}

std::string PageOrder(const std::string& alias) {
  return " order by " + alias + ".FSitePayDate ," + alias + ".FOrderID ," + alias + ".FID ";
}

std::string FormatPageCursor(const Variant& pay_date, const Variant& fid, const Variant& order_id) {
  std::string date = pay_date.IsNull() || pay_date.IsEmpty() ? "" : FormatPayDate(CDate(pay_date));
  return date + "|" + CStr(fid) + "|" + (order_id.IsNull() ? "" : CStr(order_id));
}

void PutInListOrder(Recordset& rs, bool by_fid) {
  const int pay_date = rs.FieldIndex("FSitePayDate");
  const int order_id = rs.FieldIndex("FOrderID");
  const int fid = by_fid ? rs.FieldIndex("FID") : -1;
  if (pay_date < 0 || order_id < 0 || (by_fid && fid < 0))
    throw ComError(err::kUnexpected, kSource, "A list's rows lack a column of the list order.");
  rs.SortRows([&](const Recordset::Row& a, const Recordset::Row& b) {
    if (int c = CompareAsSqlite(a[pay_date], b[pay_date], false)) return c < 0;
    if (int c = CompareAsSqlite(a[order_id], b[order_id], true)) return c < 0;
    return by_fid && CompareAsSqlite(a[fid], b[fid], false) < 0;
  });
}

void AnswerNextPage(const ListPage& page, const RecordsetPtr& rs, Dictionary& dct) {
  if (page.size == 0) return;
  std::string next;
  if (rs && rs->IsOpen() && rs->RecordCount() >= page.size) {
    rs->MoveLast();
    next = FormatPageCursor(rs->Value("FSitePayDate"), rs->Value("FID"), rs->Value("FOrderID"));
    rs->MoveFirst();
  }
  dct.SetValue("PageNext", Variant(next));
}

}  // namespace ambit
