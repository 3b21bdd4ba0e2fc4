// Paging of the status lists by keyset: a page is the next "PageSize" rows in
// the list's own order (pay date, order number, then FID to break ties) after
// the row "PageAfter" names, so a deep page costs what the first one costs.
// Without "PageSize" nothing changes.
//
// dctPara keys: "PageSize" (1 to 10000 rows), "PageAfter" (the cursor of the
// row the page starts after; absent or empty for the first page). Each page
// answers "PageNext" in the same Dictionary: the cursor of its last row, or ""
// when the page came out short (nothing follows). A cursor is
// "<pay date yyyy-MM-dd HH:mm:ss.fff, empty when none>|<FID>|<order number>".
#ifndef AMBIT_QUERY_LIST_PAGING_H_
#define AMBIT_QUERY_LIST_PAGING_H_

#include <cstdint>
#include <optional>
#include <string>

#include "base/variant.h"
#include "data/recordset.h"
#include "frame/collections.h"

namespace ambit {

struct ListPage {
  int size = 0;  // 0: the list is not paged
  bool after = false;
  std::optional<Date> pay_date;  // the cursor row's; nullopt for a row without one
  int64_t fid = 0;
  std::string order_id;
};

// Reads the page keys; a size that is no whole number from 1 to 10000 or a
// cursor that does not parse is ComError 5, raised before the caller runs
// anything.
ListPage ReadListPage(const Dictionary& dct);

// " AND (...)": the rows after the cursor on `alias`; "" without one.
std::string PageAfterCondition(const ListPage& page, const std::string& alias);

// The order clause of a paged list on `alias`.
std::string PageOrder(const std::string& alias);

// Puts the rows of a list read without its order clause in the order the clause gives on the
// embedded engine: pay date, order number (TSQL collation), then FID with `by_fid` (a page's
// order). The lists read their page's rows through the page's keys, in key order already, and
// leave the clause out there: SQLite's sorter would pack every row's ~160 columns into a record
// and unpack them again, a sixth of a page's cost, only to find them in order.
void PutInListOrder(Recordset& rs, bool by_fid);

// Writes "PageNext" into `dct` from a page's rows; does nothing for an unpaged
// list.
void AnswerNextPage(const ListPage& page, const RecordsetPtr& rs, Dictionary& dct);

// The cursor of a row (what "PageNext" carries).
std::string FormatPageCursor(const Variant& pay_date, const Variant& fid, const Variant& order_id);

}  // namespace ambit

#endif  // AMBIT_QUERY_LIST_PAGING_H_
