// Splits by quantity: given quantities off one line (SplitOrdersByNum) and every unit of an
// order (SplitOrdersByTypeAndNum).
#include <cmath>

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "split/part_send.h"
#include "split/split_variants.h"

namespace ambit {
namespace {

// Quantities are decimals with ten places; anything closer than this is the same quantity.
constexpr double kQuantityTolerance = 1e-9;

[[noreturn]] void Refuse(const std::string& description) {
  throw ComError(err::kInvalidArgument, "ambit-order", description);
}

// The quantities of "SplitNum", each a positive number.
std::vector<double> SplitQuantities(const DictionaryPtr& dctEntry) {
  std::string text = CStr(dctEntry->Value("SplitNum"));
  std::vector<double> out;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    std::string item(TrimBlanks(text.substr(start, comma == std::string::npos
                                                        ? std::string::npos
                                                        : comma - start)));
    if (!IsNumericText(item) || !(Val(item) > 0))
      Refuse("SplitNum '" + text + "': '" + item + "' is not a quantity above 0.");
    out.push_back(Val(item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

std::string HeaderLoweredSql(const std::string& fid, const LineMoney& kept) {
  return "update IC_Web2ERPOrders set FAmount ='" + MoneyText(kept.amount) + "' ," +
         "FTotalFreight ='" + MoneyText(kept.freight) + "',FDiscountFee='" +
         MoneyText(kept.discount) + "',FBillDiscountFee =" + MoneyText(kept.bill_discount) +
         ",FLogisticsOrder ='',FWeight =0,FLogisticsCost=0 " + "where FID=" + fid;
}

}  // namespace

std::string GetSplitOrderWithEntrySQL(const std::string& source_fid, const std::string& entry_id,
                                      const std::string& new_order_id, double quantity,
                                      const LineMoney& share, const std::string& site_order_id) {
  ColumnValues header = {
      {"FID", "@lMaxNUm"},
      {"FSiteOrderID", "'" + SqlQuote(site_order_id) + "'"},
      {"FOrderID", "'" + SqlQuote(new_order_id) + "'"},
      {"FUniqueCode", "0"},
      {"FAmount", MoneyText(share.amount)},
      {"FTotalFreight", MoneyText(share.freight)},
      {"FDiscountFee", MoneyText(share.discount)},
      {"FPreChkMan", "ISNULL(FPreChkMan,0)"},
      {"FBillDiscountFee", MoneyText(share.bill_discount)},
  };
  ColumnValues line = {
      {"FID", "@lMaxNUm"},
      {"FQuantity", FormatNumber(quantity)},
      {"FAmount", MoneyText(share.amount)},
      {"FDiscountFee", MoneyText(share.discount)},
      {"FAfterDiscountAmount", MoneyText(share.after_discount)},
      {"FBuyerFreight", MoneyText(share.freight)},
      {"FEntryBillDiscountFee", MoneyText(share.bill_discount)},
  };
  return OrderHeaderCopySql(source_fid, header) + OrderLineCopySql(entry_id, line) +
         CompanionRowSql(source_fid);
}

std::string GetRenumberOrderSQL(const std::string& source_fid, const std::string& new_order_id) {
  return "Declare @lMaxNUm int\r\n"
         "exec GetICMaxNum 'IC_Web2ERPOrders', @lMaxNUm output\r\n"
         " UPDATE IC_Web2ERPOrders set FID = @lMaxNUm ,FOrderID ='" + SqlQuote(new_order_id) +
         "' where FID = " + source_fid + "\r\n" +
         " UPDATE IC_Web2ERPOrdersEntry set FID  = @lMaxNUm where FID =" + source_fid + "\r\n";
}

std::string SplitOrderEntryByNum(Connection& conn, const SplitSelection::Order& order,
                                 const DictionaryPtr& dctEntry, SplitOrigin origin,
                                 SplitPlan& plan) {
  const std::string& key = order.fid;
  std::string entry_id = CheckKey(CStr(dctEntry->Value("FEntryID")), "FEntryID");
  std::vector<double> parts = SplitQuantities(dctEntry);
  if (parts.size() > static_cast<size_t>(kMaxSplitOrders))
    Refuse("SplitNum holds more than " + std::to_string(kMaxSplitOrders) + " quantities.");
  RecordsetPtr totals_rs = conn.Execute(
      "select FID,FAmount ,FTotalFreight,FDiscountFee,FBillDiscountFee,FTotalFreight from "
      "IC_Web2ERPOrders where FID =" + key);
  if (!totals_rs->IsOpen() || totals_rs->Eof()) return "";
  LineMoney totals = LineMoney::FromHeader(*totals_rs);
  RecordsetPtr rs = conn.Execute(
      "SELECT FID, FEntryID, FAmount, FDiscountFee,FAfterDiscountAmount, FQuantity,FBuyerFreight,"
      "FEntryBillDiscountFee,FSiteOrderID,FChildOrderID  FROM IC_Web2ERPOrdersEntry WHERE "
      "FEntryID=" + entry_id + " AND FID = " + key);
  if (!rs->IsOpen() || rs->Eof())
    Refuse("Line " + entry_id + " is not a line of order " + key + ".");
  double quantity = CDbl(rs->Value("FQuantity"));
  LineMoney line = LineMoney::FromRow(*rs);

  // The client's view of the line must still be the database's, or the rest would be wrong.
  Variant goods_num;
  if (dctEntry->Lookup("GoodsNum", &goods_num) && !goods_num.IsEmpty() &&
      std::fabs(Val(CStr(goods_num)) - quantity) > kQuantityTolerance)
    Refuse("GoodsNum " + CStr(goods_num) + " differs from the line's quantity " +
           FormatNumber(quantity) + ".");
  double split_off = 0;
  for (double q : parts) split_off += q;
  if (split_off > quantity + kQuantityTolerance)
    Refuse("SplitNum adds up to " + FormatNumber(split_off) + ", more than the line's " +
           FormatNumber(quantity) + ".");
  bool whole = std::fabs(split_off - quantity) <= kQuantityTolerance;
  if (CInt(dctEntry->GetValue("isAll", Variant(int16_t{0}))) == 1 && !whole)
    Refuse("isAll is 1 but SplitNum takes " + FormatNumber(split_off) + " of " +
           FormatNumber(quantity) + ".");
  int line_count = 0;
  {
    RecordsetPtr count = conn.Execute(
        "SELECT COUNT(*) FROM IC_Web2ERPOrdersEntry WHERE FID = " + key);
    line_count = CLng(count->Value(0));
  }

  SplitFinisher finisher(conn, plan, origin, WaybillRule::kElectronicOnly);
  int block = origin.gives_codes() ? plan.ReserveCodes(static_cast<int>(parts.size())) : 0;
  std::string site_order_id = TextOrEmpty(rs->Value("FSiteOrderID"));
  std::string child_order_id = TextOrEmpty(rs->Value("FChildOrderID"));
  std::vector<std::string> new_ids;
  LineMoney given;
  for (size_t i = 0; i < parts.size(); ++i) {
    // When the whole line goes, the last part takes what the rounding left over.
    LineMoney share = line.Share(parts[i], quantity);
    if (whole && i + 1 == parts.size()) {
      share = line;
      share -= given;
    }
    given += share;
    new_ids.push_back(order.order_id + "_" + std::to_string(i + 1));
    plan.Add(GetSplitOrderWithEntrySQL(key, entry_id, new_ids.back(), parts[i], share,
                                       site_order_id));
    finisher.RefreshTrade(site_order_id, child_order_id);
    finisher.Finish(new_ids.back(), i == 0, block, static_cast<int>(i));
  }

  if (whole && line_count <= 1) {
    plan.Add("DELETE FROM IC_Web2ERPOrders WHERE FID=" + key);
    plan.Add("DELETE FROM IC_Web2ERPOrdersEntry WHERE FEntryID=" + entry_id);
    return JoinTwoBlanks(new_ids);
  }
  LineMoney kept_header = totals;
  kept_header -= given;
  if (whole) {
    plan.Add(HeaderLoweredSql(key, kept_header));
    plan.Add("DELETE FROM IC_Web2ERPOrdersEntry WHERE FEntryID=" + entry_id);
  } else {
    LineMoney rest = line;
    rest -= given;
    plan.Add("update IC_Web2ERPOrdersEntry set FQuantity ='" +
             FormatNumber(quantity - split_off) + "' ,FAmount ='" + MoneyText(rest.amount) +
             "' ,FDiscountFee ='" + MoneyText(rest.discount) + "' ,FBuyerFreight ='" +
             MoneyText(rest.freight) + "' ,FAfterDiscountAmount='" +
             MoneyText(rest.after_discount) + "' ,FEntryBillDiscountFee='" +
             MoneyText(rest.bill_discount) + "' where FEntryID=" + entry_id);
    plan.Add(HeaderLoweredSql(key, kept_header));
  }
  plan.Add(GetRenumberOrderSQL(key, order.order_id + "_" + std::to_string(parts.size() + 1)));
  return JoinTwoBlanks(new_ids);
}

std::vector<std::string> SplitOrdersByUnit(Connection& conn, const SplitSelection::Order& order,
                                           SplitFinisher& finisher, SplitPlan& plan) {
  const std::string& key = order.fid;
  // Lines in their shown order, so that the numbers follow what the user sees.
  RecordsetPtr rs = conn.Execute(
      "SELECT FID, FEntryID, FAmount, FDiscountFee,FAfterDiscountAmount,FEntryBillDiscountFee, "
      "FQuantity,FBuyerFreight,FSiteOrderID,FChildOrderID  FROM IC_Web2ERPOrdersEntry WHERE  "
      "FID = " + key + " ORDER BY FIndex, FEntryID");
  // A line of quantity q gives ceil(q) parts, the last taking the fraction; a line of 0 still
  // gives one part, so that its money is not lost with the source.
  std::vector<int> part_counts;
  int total_parts = 0;
  for (; rs->IsOpen() && !rs->Eof(); rs->MoveNext()) {
    double q = CDbl(rs->Value("FQuantity"));
    int n = std::max(1, static_cast<int>(std::ceil(q - kQuantityTolerance)));
    part_counts.push_back(n);
    total_parts += n;
  }
  std::vector<std::string> new_ids;
  if (total_parts <= 1) return new_ids;  // one line of one unit: nothing to split
  if (total_parts > kMaxSplitOrders)
    Refuse("Order " + key + " holds " + std::to_string(total_parts) + " units; at most " +
           std::to_string(kMaxSplitOrders) + " orders are made from one order.");
  int block = finisher.origin().gives_codes() ? plan.ReserveCodes(total_parts) : 0;
  rs->MoveFirst();
  for (size_t line_no = 0; !rs->Eof(); rs->MoveNext(), ++line_no) {
    double quantity = CDbl(rs->Value("FQuantity"));
    LineMoney line = LineMoney::FromRow(*rs);
    std::string entry_id = CStr(rs->Value("FEntryID"));
    std::string site_order_id = TextOrEmpty(rs->Value("FSiteOrderID"));
    std::string child_order_id = TextOrEmpty(rs->Value("FChildOrderID"));
    LineMoney given;
    int n = part_counts[line_no];
    for (int k = 1; k <= n; ++k) {
      double q = k < n ? 1.0 : quantity - (n - 1);
      LineMoney share = line.Share(1.0, quantity);
      if (k == n) {
        share = line;
        share -= given;
      }
      given += share;
      new_ids.push_back(order.order_id + "_" + std::to_string(new_ids.size() + 1));
      plan.Add(GetSplitOrderWithEntrySQL(key, entry_id, new_ids.back(), q, share,
                                         site_order_id));
      finisher.RefreshTrade(site_order_id, child_order_id);
      finisher.Finish(new_ids.back(), new_ids.size() == 1, block,
                      static_cast<int>(new_ids.size()) - 1);
    }
  }
  plan.Add("DELETE FROM IC_Web2ERPOrders WHERE FID=" + key);
  plan.Add("DELETE FROM IC_Web2ERPOrdersEntry WHERE FID=" + key);
  return new_ids;
}

std::string SplitOrdersByNum(Component& self, const std::string& sDsn,
                             const DictionaryPtr& dctEntry, const DictionaryPtr& dctOrderInfo,
                             DictionaryPtr dctPara) {
  if (!dctEntry || !dctOrderInfo) return "";
  std::string key = PositiveKey(dctOrderInfo->Value("FID"));
  return RunSplit(self, "SplitOrdersByNum", sDsn, dctPara,
                  [&](Connection& conn, SplitOrigin origin, SplitPlan& plan) -> std::string {
                    if (key.empty()) return "";
                    SplitSelection selection = SelectSplitOrders(conn, "= (" + key + " )", origin);
                    if (!selection.part_shipped.empty())
                      return PlanPartSendSplit(conn, selection.part_shipped, plan);
                    if (selection.orders.empty()) return "";
                    return SplitOrderEntryByNum(conn, selection.orders.front(), dctEntry, origin,
                                                plan);
                  });
}

std::string SplitOrdersByTypeAndNum(Component& self, const std::string& sDsn,
                                    const VectorPtr& vctOrderInfo, DictionaryPtr dctPara) {
  if (!vctOrderInfo) return "";
  std::string list = GetFIDListFromVector(vctOrderInfo);
  return RunSplit(
      self, "SplitOrdersByTypeAndNum", sDsn, dctPara,
      [&](Connection& conn, SplitOrigin origin, SplitPlan& plan) -> std::string {
        if (list.empty()) return "";
        SplitSelection selection =
            SelectSplitOrders(conn, "in (" + list + " )", origin, /*no_lock=*/true);
        SplitFinisher finisher(conn, plan, origin, WaybillRule::kWithPartnerNumbers);
        std::vector<std::string> new_ids;
        for (const SplitSelection::Order& order : selection.orders) {
          std::vector<std::string> ids = SplitOrdersByUnit(conn, order, finisher, plan);
          new_ids.insert(new_ids.end(), ids.begin(), ids.end());
        }
        if (!selection.part_shipped.empty())
          return PlanPartSendSplit(conn, selection.part_shipped, plan);
        return JoinTwoBlanks(new_ids);
      });
}

}  // namespace ambit
