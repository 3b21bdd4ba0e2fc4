// The filter every order list shares: the client's search criteria (a Dictionary) turned into a
// run of SQL conditions on the order header `t1` and the aliases the list selects join, plus the
// restriction to the orders of the user's groups, and the captions of the filter screen.
//
// The text is a chain of conditions, each ending in "AND " and a line break, never closed: the
// caller writes " AND " + filter + " 1=1 ", so an empty filter adds nothing.
#ifndef AMBIT_QUERY_ORDER_FILTER_H_
#define AMBIT_QUERY_ORDER_FILTER_H_

#include <string>
#include <string_view>

#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// The filter of `dctPara`; "" for no Dictionary. Free text goes between quotes through SqlQuote;
// numbers and key lists that stand bare are checked first, and a bad one is a ComError (the
// caller's error path reports it) before any statement runs. "AdvancedFilter" is client-composed
// SQL and is taken as it is. May write back into `dctPara` ("ServiceType", "FieldValue").
std::string BuildOrderFilterSql(Component& self, const DictionaryPtr& dctPara);
// The same, also handing back the user-group restriction it appended ("" when none): the lists
// need it apart in pre-selection mode, where the rest of the filter is not used.
std::string BuildOrderFilterSql(Component& self, const DictionaryPtr& dctPara,
                                std::string* user_group);

// The order-date range of the filter of `dct` ("OrderDateFrom", "OrderDateTo") as conditions on
// FOrderDate of the order table without alias, each ending in "AND "; "" when there is none, or
// when the filter also names a shop (that list is kept in order by the shop's pay-date index).
std::string OrderDateRangeWithoutShop(const Dictionary& dct);

// Refuses an "AdvancedFilter" that is more than a run of conditions beginning with AND or OR
// (a write or a further statement smuggled into the list statements), or any non-blank one
// while client SQL is switched off. ComError 5.
void CheckAdvancedFilter(const std::string& filter);

// Orders made of exactly the listed item numbers (comma-separated), gift lines left out of the
// line count when `exclude_gifts`.
std::string BuildItemSetSql(std::string_view item_numbers, bool exclude_gifts);

// The "IC"/"CheckUserGroup" parameter through the host's system-profile service: true when it is
// numeric and not 0; false for an empty connection string.
bool IsUserGroupCheckOn(const std::string& sDsn);
// Orders whose biller shares a group (other than group 0) with the user.
std::string BuildUserGroupSql(int user_id);

// The user's language code, trimmed and upper-cased, "CHS" when the host gives none. It names
// columns (FCaption_CHT, FName_CHT), so anything but letters, digits and "_" is refused.
std::string ColumnLanguageCode(Component& self);

// Captions of the filter screen's fields ("lClassTypeID", default 1014300) in the user's
// language, as column FCaption.
RecordsetPtr GetTemplateData(Component& self, const DictionaryPtr& dctPara);

}  // namespace ambit

#endif  // AMBIT_QUERY_ORDER_FILTER_H_
