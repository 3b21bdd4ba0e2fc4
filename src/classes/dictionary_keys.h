// The keys the methods read from their Dictionary arguments, as shared groups: the order
// filter is read by every order list, the account key by every method that opens its
// connection from the Dictionary, so each group is written once and referenced by the
// registrations.
#ifndef AMBIT_CLASSES_DICTIONARY_KEYS_H_
#define AMBIT_CLASSES_DICTIONARY_KEYS_H_

#include "classes/method_table.h"

namespace ambit::keys {

// No key at all: the argument is taken for the caller's sake and not read, so every key in it
// is reported.
const KeyGroup& None();
// "sDSN": the account of a method that opens its connection from the Dictionary.
const KeyGroup& Account();
// The criteria of the order lists' filter screen.
const KeyGroup& OrderFilter();
// "stTypeCount": count instead of listing.
const KeyGroup& ListCount();
// "WebOrderMaxDisplayCount": the row limit of the lists that have one.
const KeyGroup& ListLimit();
// "PageSize", "PageAfter" (and the answered "PageNext") of the paged status lists.
const KeyGroup& ListPaging();
// "NotCheckRefundOnStatus" of the two review-readiness lists.
const KeyGroup& RefundCheck();
// "lClassTypeID" of the filter screen's captions.
const KeyGroup& TemplateClass();
// "FID": one order key.
const KeyGroup& OrderKey();
// "FID": comma-separated order keys.
const KeyGroup& OrderKeyList();
// "OrderField", "OrderType" of the sorted order lookup.
const KeyGroup& OrderSort();
// The status operations' own values.
const KeyGroup& OrderStatus();
const KeyGroup& VoidStatus();
const KeyGroup& RowClose();
const KeyGroup& Lock();
const KeyGroup& ItemChange();
const KeyGroup& SendStock();
// "Origin" of the splits; the line and the order of a split by quantity.
const KeyGroup& SplitOrigin();
const KeyGroup& SplitLine();
const KeyGroup& SplitOrder();
// The after-sales case list's criteria, a line's case history, the workbench's filter.
const KeyGroup& RefundCase();
const KeyGroup& RefundLine();
const KeyGroup& TradeServiceFilter();
// The columns of one operation-log row.
const KeyGroup& OpLogRow();
// The grid-column keys of the column defaults.
const KeyGroup& ColumnGrid();
const KeyGroup& ColumnFilter();
// "StartCode", "EndCode" of the purchase summary.
const KeyGroup& CodeRange();

}  // namespace ambit::keys

#endif  // AMBIT_CLASSES_DICTIONARY_KEYS_H_
