// What every way of splitting orders shares: the "Origin" option, money shares in cents, the
// plan that collects the statements before anything is written, the copy of an order header
// or line under a new key, and the finishing steps each new order gets (trade data refresh,
// unique code, waybill reset).
#ifndef AMBIT_SPLIT_SPLIT_COMMON_H_
#define AMBIT_SPLIT_SPLIT_COMMON_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/connection.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// "Origin" of dctPara: 0 (the default) splits only orders awaiting review and gives no unique
// codes; 1 splits whatever the review state and gives codes; any other value drops the review
// filter but gives no codes.
struct SplitOrigin {
  int value = 0;
  bool awaiting_review_only() const { return value == 0; }
  bool gives_codes() const { return value == 1; }
};

// Reads "Origin", first writing 0 into the caller's dictionary when the key is missing; a
// missing dictionary is replaced by a new one holding 0.
SplitOrigin ReadOrigin(DictionaryPtr& dctPara);

// A key that is a number greater than 0, as an integer text; "" for anything else.
std::string PositiveKey(const Variant& key);
// The keys of a Vector that are numbers greater than 0, as integer texts; others are skipped.
std::vector<std::string> PositiveKeys(const VectorPtr& keys);

// Money is handled in cents so that parts add up exactly. Shares are rounded half away from
// zero to two decimals, the text form of "0.00".
int64_t Cents(const Variant& value);
std::string MoneyText(int64_t cents);
// value * part / whole, rounded to cents; a whole of 0 shares nothing.
int64_t ShareCents(int64_t value, double part, double whole);

// Money columns of an order line, in cents.
struct LineMoney {
  int64_t amount = 0;
  int64_t discount = 0;
  int64_t after_discount = 0;
  int64_t freight = 0;
  int64_t bill_discount = 0;

  static LineMoney FromRow(Recordset& rs);  // reads the five line columns by name
  // An order header's totals: FAmount, FDiscountFee, FTotalFreight as the freight and
  // FBillDiscountFee as the bill discount.
  static LineMoney FromHeader(Recordset& rs);
  LineMoney Share(double part, double whole) const;
  LineMoney& operator+=(const LineMoney& o);
  LineMoney& operator-=(const LineMoney& o);
};

// The statements of a split, collected while the orders are read and run only once the whole
// plan stands, so that a failure while planning writes nothing. Unique-code serials are
// reserved when the plan runs, at the place the reservation was planned.
class SplitPlan {
 public:
  void Add(std::string sql);
  // Plans the reservation of `count` serials; answers the block's handle.
  int ReserveCodes(int count);
  // Plans the three-line batch giving order `order_id` serial number `offset` of `block`.
  void AddUniqueCode(int block, int offset, const std::string& order_id);
  // Runs every step in planned order on `conn`.
  void Run(Component& self, Connection& conn) const;
  bool empty() const { return steps_.empty(); }
  size_t size() const { return steps_.size(); }

 private:
  enum class Kind { kStatement, kReserve, kUniqueCode };
  struct Step {
    Kind kind;
    std::string text;  // statement, or the order number of a unique code
    int block = 0;
    int number = 0;  // serial count of a reservation, offset of a unique code
  };
  std::vector<Step> steps_;
  int blocks_ = 0;
};

// The frame of a public split method: "Origin" read, the plan built by
// `plan_orders(conn, origin, plan)` (which answers the method's result), then run.
template <class Planner>
std::string RunSplit(Component& self, std::string_view method, const std::string& sDsn,
                     DictionaryPtr& dctPara, Planner&& plan_orders) {
  return RunMethod(self, method, sDsn, [&](MethodScope& m) -> std::string {
    SplitOrigin origin = ReadOrigin(dctPara);
    SplitPlan plan;
    std::string result = plan_orders(m.conn(), origin, plan);
    plan.Run(self, m.conn());
    return result;
  });
}

// Column values that replace the copied ones; names as in the column lists.
using ColumnValues = std::map<std::string, std::string, std::less<>>;

// "Insert into IC_Web2ERPOrders(...)" selecting from the header of `source_fid`, each column
// copied by name unless `values` gives it. `short_list` stops after FOnlineSendDate (the
// part-shipment copy); otherwise the list runs to FDeliveryTime.
std::string OrderHeaderCopySql(const std::string& source_fid, const ColumnValues& values,
                               bool short_list = false);
// "Insert into IC_Web2ERPOrdersEntry(...)" selecting from line `entry_id` in the same way.
std::string OrderLineCopySql(const std::string& entry_id, const ColumnValues& values);

// The companion row of a new order (@lMaxNUm) with the source's address check carried over.
std::string CompanionRowSql(const std::string& source_fid);
// Stock bill lines made from the given lines follow them to their current order.
std::string StockBillFollowSql(const std::string& entry_condition);

// Which carrier numbers clear the waybill of the first new order besides the SF, JD and
// electronic-waybill rule: the line split also lists the partner numbers YXSR-LL and YXSR-CW.
enum class WaybillRule { kWithPartnerNumbers, kElectronicOnly };

// The finishing steps of new orders. Trades are read once per shop order number and
// sub-order, as the plan does not change them.
class SplitFinisher {
 public:
  SplitFinisher(Connection& conn, SplitPlan& plan, SplitOrigin origin, WaybillRule rule)
      : conn_(conn), plan_(plan), origin_(origin), rule_(rule) {}

  // The trade refresh for a shop order number (none when empty or not downloaded).
  void RefreshTrade(const std::string& site_order_id, const std::string& child_order_id);
  // The unique code (Origin 1), then weight, cost and waybill reset; `first` keeps the
  // waybill unless the carrier prints electronic waybills.
  void Finish(const std::string& order_id, bool first, int code_block, int code_offset);
  SplitOrigin origin() const { return origin_; }

 private:
  struct Trade {
    bool found = false;
    Variant shop_id, shop_fid, pay_time, modified_time, order_date, status;
  };
  const Trade& ReadTrade(const std::string& site_order_id);

  Connection& conn_;
  SplitPlan& plan_;
  SplitOrigin origin_;
  WaybillRule rule_;
  std::map<std::string, Trade> trades_;
  std::map<std::string, std::string> sub_order_status_;
};

// Joins texts with two blanks, the separator of split results.
std::string JoinTwoBlanks(const std::vector<std::string>& items);

}  // namespace ambit

#endif  // AMBIT_SPLIT_SPLIT_COMMON_H_
