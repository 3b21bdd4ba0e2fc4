#include "classes/dictionary_keys.h"

namespace ambit::keys {
namespace {

constexpr ArgKind kText = ArgKind::kText;
constexpr ArgKind kInt16 = ArgKind::kInt16;
constexpr ArgKind kInt32 = ArgKind::kInt32;

}  // namespace

const KeyGroup& None() {
  static const KeyGroup keys;
  return keys;
}

const KeyGroup& Account() {
  static const KeyGroup keys = {
      {"sDSN", kText, nullptr,
       "The account by the name the server knows it by (\"demo\"); without it the method "
       "does nothing and answers its empty result"},
  };
  return keys;
}

const KeyGroup& OrderFilter() {
  static const KeyGroup keys = {
      {"AdvancedFilter", kText, nullptr,
       "Conditions beginning with AND or OR; when present, every other criterion here is "
       "ignored"},
      {"OrderDateFrom", kText, "", "Orders placed on or after this date"},
      {"OrderDateTo", kText, "", "Orders placed on or before this date"},
      {"Flag", kInt16, "0", "Order flag"},
      {"TranStatus", kInt32, "0", "Trade status code"},
      {"PayDateFrom", kText, "", "Orders paid on or after this date"},
      {"PayDateTo", kText, "", "Orders paid on or before this date"},
      {"OrderType", kInt32, "0", "Order type code"},
      {"WebShopID", kInt32, "0", "Shop"},
      {"SellerCompare", kText, "",
       "Test on the seller's message: NULL, NOT NULL, =, <>, Like or Not Like"},
      {"FSellerMessage", kText, "", "Text the seller's message is compared with"},
      {"BuyerCompare", kText, "", "Test on the buyer's message, as SellerCompare"},
      {"FBuyerMessage", kText, "", "Text the buyer's message is compared with"},
      {"FGoodsCountBegin", kText, "", "Least total quantity of the order's lines"},
      {"FGoodsCountEnd", kText, "", "Greatest total quantity of the order's lines"},
      {"FEntryCountBegin", kText, "", "Least number of distinct items"},
      {"FEntryCountEnd", kText, "", "Greatest number of distinct items"},
      {"ServiceStatus", kText, "0", "After-sales status codes, comma-separated"},
      {"ServiceType", kText, "0", "After-sales type codes, comma-separated"},
      {"ServiceSource", kText, "0", "After-sales source codes, comma-separated"},
      {"FEntryIDs", kText, "", "Order line keys, comma-separated"},
      {"icboTpl", kText, "0",
       "Logistics partner warehouses: 0 any, 10 no line in one, 11 all lines in one, other: "
       "all lines in one of that partner type"},
      {"icboCainiao", kText, "Key_0",
       "Partner-shipped lines: Key_0 any, Key_1 none, Key_2 at least one"},
      {"StockName", kText, "", "Part of the name of a warehouse a line ships from"},
      {"FieldName", kText, "", "Field of the filter screen for one further condition"},
      {"Compare", kText, "",
       "Its operator: Like, Not Like, =, <>, NULL, NOT NULL, >=, <= or IN"},
      {"FieldValue", kText, "", "Its value"},
      {"FCtlType", kInt16, nullptr, "Its screen control: 0 date, 2 number, other text"},
      {"chkExcludeGift", kInt16, "0", "With IN on item numbers: gift lines do not count"},
  };
  return keys;
}

const KeyGroup& ListCount() {
  static const KeyGroup keys = {
      {"stTypeCount", kText, "", "When not empty, the list answers its row count only"},
  };
  return keys;
}

const KeyGroup& ListLimit() {
  static const KeyGroup keys = {
      {"WebOrderMaxDisplayCount", kInt16, "0", "Most rows listed; 0 lists all"},
  };
  return keys;
}

const KeyGroup& ListPaging() {
  static const KeyGroup keys = {
      {"PageSize", kInt32, nullptr,
       "Rows per page (1 to 10000); without it the list is not paged"},
      {"PageAfter", kText, "",
       "The cursor the page starts after (a PageNext); empty: the first page"},
      {"PageNext", kText, nullptr,
       "Answered: the cursor of the page's last row, empty when nothing follows (ignored when "
       "sent back)"},
  };
  return keys;
}

const KeyGroup& RefundCheck() {
  static const KeyGroup keys = {
      {"NotCheckRefundOnStatus", kText, "0",
       "0: orders with an open refund are held back from review"},
  };
  return keys;
}

const KeyGroup& TemplateClass() {
  static const KeyGroup keys = {
      {"lClassTypeID", kInt32, "1014300", "The class type whose field captions are listed"},
  };
  return keys;
}

const KeyGroup& OrderKey() {
  static const KeyGroup keys = {
      {"FID", kText, nullptr, "The order's key; without it the method answers nothing"},
  };
  return keys;
}

const KeyGroup& OrderKeyList() {
  static const KeyGroup keys = {
      {"FID", kText, nullptr,
       "Order keys, comma-separated; without them the method does nothing"},
  };
  return keys;
}

const KeyGroup& OrderSort() {
  static const KeyGroup keys = {
      {"OrderField", kText, "FOrderDate", "Column the orders are sorted on"},
      {"OrderType", kText, "ASC", "ASC or DESC"},
  };
  return keys;
}

const KeyGroup& OrderStatus() {
  static const KeyGroup keys = {
      {"FOrderStatus", kInt16, "0",
       "2 or 14 review, 1 take the review back, 3 pre-review, 4 cancel the pre-review"},
  };
  return keys;
}

const KeyGroup& VoidStatus() {
  static const KeyGroup keys = {
      {"FVoidStatus", kInt32, "0", "1 voids the orders, 0 makes them valid again"},
  };
  return keys;
}

const KeyGroup& RowClose() {
  static const KeyGroup keys = {
      {"FFIsRowClose", kInt32, nullptr,
       "1 closes every line of the orders, 0 opens them; without it nothing happens"},
  };
  return keys;
}

const KeyGroup& Lock() {
  static const KeyGroup keys = {
      {"IsLock", kInt16, "1", "1 locks the orders, 0 unlocks them"},
      {"LockStatus", kInt16, "1", "The lock state recorded with a lock"},
      {"LockReason", kText, "", "Why the orders are locked"},
  };
  return keys;
}

const KeyGroup& ItemChange() {
  static const KeyGroup keys = {
      {"FID", kText, nullptr, "Order keys, comma-separated; without them nothing happens"},
      {"FItemID", kInt32, nullptr, "The new item of every line of those orders"},
  };
  return keys;
}

const KeyGroup& SendStock() {
  static const KeyGroup keys = {
      {"FID", kInt32, "0", "The order"},
      {"FEntryID", kInt32, "0", "Its line"},
      {"FStockID", kInt32, "0", "The warehouse the line ships from"},
  };
  return keys;
}

const KeyGroup& SplitOrigin() {
  static const KeyGroup keys = {
      {"Origin", kInt16, "0",
       "0: only orders awaiting review are split, new orders get no unique code; 1: any order, "
       "and new orders get fresh unique codes"},
  };
  return keys;
}

const KeyGroup& SplitLine() {
  static const KeyGroup keys = {
      {"FEntryID", kText, nullptr, "The line quantities are split off"},
      {"SplitNum", kText, nullptr, "Quantities above 0, comma-separated: one new order each"},
      {"GoodsNum", kText, nullptr,
       "The line's quantity as the client saw it; refused when the line now differs"},
      {"isAll", kInt16, "0", "1: SplitNum must take the whole line"},
  };
  return keys;
}

const KeyGroup& SplitOrder() {
  static const KeyGroup keys = {
      {"FID", kText, nullptr, "The order whose line is split"},
  };
  return keys;
}

const KeyGroup& RefundCase() {
  static const KeyGroup keys = {
      {"IsRetrunGoods", kText, "", "1: cases with goods coming back, 0: without"},
      {"FRefundStatus", kText, "", "The platform's refund state"},
      {"FID", kText, "", "Order keys, comma-separated (a leading comma is allowed)"},
      {"RefundFID", kText, "", "Case keys, comma-separated (a leading comma is allowed)"},
      {"FEntryID", kText, "", "One order line"},
      {"WaitReturnGoods", kText, "", "When not empty, only cases waiting for the goods"},
      {"WaitRefund", kText, "", "When not empty, only cases waiting for the refund"},
  };
  return keys;
}

const KeyGroup& RefundLine() {
  static const KeyGroup keys = {
      {"FEntryID", kText, "", "The order line whose case history is listed; empty: all"},
  };
  return keys;
}

const KeyGroup& TradeServiceFilter() {
  static const KeyGroup keys = {
      {"dctFiler", ArgKind::kDictionary, nullptr,
       "The order filter's keys, and \"Select_Item\": the columns to answer (a read-only "
       "select list)"},
  };
  return keys;
}

const KeyGroup& OpLogRow() {
  static const KeyGroup keys = {
      {"sFID", kText, nullptr, "Order keys, comma-separated: one row each; none writes nothing"},
      {"FOPUserID", kInt32, nullptr, "The user who acted"},
      {"FOPCode", kInt32, nullptr, "The operation code"},
      {"FItemID", kInt32, nullptr, "The item concerned, 0 for none"},
      {"FUserIP", kText, "", "The user's address"},
      {"FOPTime", kText, "", "When it happened"},
      {"FOldValue", kText, "", "The value before"},
      {"FNewValue", kText, "", "The value after"},
  };
  return keys;
}

const KeyGroup& ColumnGrid() {
  static const KeyGroup keys = {
      {"FCLASSTYPEID", kInt32, nullptr, "The class type of the grid (GetAllColumnsDefaultSet needs it)"},
      {"FListName", kText, nullptr, "The grid's name (GetAllColumnsDefaultSet needs it)"},
  };
  return keys;
}

const KeyGroup& ColumnFilter() {
  static const KeyGroup keys = {
      {"FIndex", kInt32, "0", "Only the column at this position"},
      {"FKey", kText, "", "Only the column of this field"},
      {"FWidth", kInt32, "0", "Only columns of this width"},
      {"FAlign", kInt32, "0", "Only columns of this alignment"},
  };
  return keys;
}

const KeyGroup& CodeRange() {
  static const KeyGroup keys = {
      {"StartCode", kText, "", "Lowest item number summed"},
      {"EndCode", kText, "", "Highest item number summed"},
  };
  return keys;
}

}  // namespace ambit::keys
