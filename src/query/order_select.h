// The select part the order lists share: the header columns with their display names, the joins
// that supply them, the restriction to the shops the user may see, and the pre-selection of
// order keys into #Data when the client sends a ready-made filter ("AdvancedFilter").
//
// Every builder returns text that ends after its FROM part (or after "... AND" of the #Data
// restriction); the caller appends its WHERE conditions.
#ifndef AMBIT_QUERY_ORDER_SELECT_H_
#define AMBIT_QUERY_ORDER_SELECT_H_

#include <string>

#include "data/connection.h"
#include "frame/method_frame.h"

namespace ambit {

// A page (or the first rows under a row limit) is read so that nothing is read for the whole
// account: a derived table of the page's order keys (from the order table and the joins its
// conditions need), then the list's rows for just those keys, with the line-derived columns read
// per order. One statement without a temporary table: making and dropping one changed the
// connection's schema, and every call then parsed and planned the list's statement again, which
// cost more than reading the page.
enum class ListPart {
  kRows,      // the list in one statement
  kPageKeys,  // the list layout: " SELECT TOP n t1.FID"; the review layout: t1.* with the refund
              // columns, for the caller's wrapper to select from
  kPageRows,  // the rows of the orders `page_keys` selects (joined as pg); the caller adds
              // PageRowsCondition()
};

struct OrderSelectOptions {
  // A ready-made filter (it begins with its own "AND"): its orders are selected into #Data on
  // `conn` at once and the select is restricted to them. Empty: no pre-selection.
  std::string filter;
  int limit = 0;  // TOP n when above 0
  // The ordinary lists leave after-sales orders (type 38481) out of a pre-selection.
  bool include_after_sales_type = false;
  // " SELECT  COUNT(1) AS RecordCount " over the very same FROM part instead of the columns: it
  // counts exactly the rows the list selects, shop restriction and #Data included.
  bool count_rows = false;
  // The caller's WebShopAccess text when it already has it; otherwise the builder asks.
  const std::string* shop_access = nullptr;
  ListPart part = ListPart::kRows;
  // Counting and kPageKeys: the caller's WHERE text. The joins it does not mention are left out:
  // each matches at most one row of t1 (a key, or a subquery grouped by its key), so leaving it
  // out neither adds nor loses a row. Null: every join.
  const std::string* conditions = nullptr;
  // kPageRows: the statement that selects the page's keys (FID), with TOP and its order.
  const std::string* page_keys = nullptr;
};

// What a kPageRows select part is followed by: its rows are those of the page's keys.
std::string PageRowsCondition();

// The refund state (t26.FRefundStatus, t26.FIsShowWaitVerifyTemp) that `conditions` read, from
// the order's own lines instead of vw_Web2ERPOrdersRefund: the same values, NULL where the view
// has no row. The view is grouped over every refunded order of the account, and SQLite builds it
// whole before the first row; read per order from the lines' index, a key step can walk the
// list's pay-date index and stop after the page. Worth it wherever fewer orders are looked at
// than the account holds refunded lines: a page, or a count within one status (a count over the
// whole account probes every order and is cheaper with the view). Conditions left naming t26
// otherwise keep the view's join.
std::string RefundStateFromLines(const std::string& conditions);

// The first list layout (the status lists of the first shape and the lookups in list layout).
// `conn` may be null when `options.filter` is empty.
std::string BuildOrderListSql(Component& self, const std::string& sDsn, Connection* conn,
                              const OrderSelectOptions& options);
std::string BuildOrderListSql(Component& self, const std::string& sDsn, Connection* conn,
                              const std::string& filter, int limit, bool include_type_38481);

// The second layout, with FIsShowWaitVerifyTemp, wrapped by the review lists as JCK123. Never a
// row limit (the wrapper applies it).
std::string BuildVerifyListSql(Component& self, const std::string& sDsn, Connection* conn,
                               const std::string& filter);
// Counting and kPageKeys give t1.* with FRefundStatus and FIsShowWaitVerifyTemp only (what the
// wrapper's conditions read), taken per order as RefundStateFromLines does: the review lists are
// restricted to one status.
std::string BuildVerifyListSql(Component& self, const std::string& sDsn, Connection* conn,
                               const OrderSelectOptions& options);

// " SELECT  COUNT(1) AS RecordCount " over the base joins only (t2, t4 to t16): exact only for
// conditions on those aliases and without a shop restriction.
std::string BuildOrderCountSql(const std::string& sDsn);
// " SELECT  t1.FID AS RecordCount " over the base joins plus t17, t22 and t26.
std::string BuildOrderKeySql(const std::string& sDsn);

// The join that restricts t1 to the user's shops, or "" when the user sees every shop (shop
// rights switched off, or a member of group 1). Never raises: any failure answers what was
// decided so far, which is "".
std::string WebShopAccess(Component& self, const std::string& sDsn);

// True when `condition` refers to an alias the list statement joins but BuildOrderCountSql does
// not, so that only a count over the list's own FROM part can run it.
bool NeedsListJoinsToCount(const std::string& condition);

}  // namespace ambit

#endif  // AMBIT_QUERY_ORDER_SELECT_H_
