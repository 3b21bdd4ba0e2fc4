#include "accounts/generator.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "base/conversions.h"
#include "tsql/session.h"
#include "tsql/sqlite_db.h"

namespace ambit {
namespace {

constexpr char kInsertOrder[] =
    "insert into IC_Web2ERPOrders (FID, FOrderDate, FWebshopID, FSiteOrderID, FOrderID, "
    "FUniqueCode, FAmount, FAmountOld, FBuyerNick, FBuyerName, FConsignee, FTelephone, FMobile, "
    "FZipCode, FDeliveryAddress, FDeliveryCountry, FDeliveryProvince, FDeliveryCity, "
    "FDeliveryDistrict, FLogisticsID, FLogisticsComp, FLogisticsOrder, FTransactionStatus, "
    "FOrderStatus, FCheckStatus, FChkMan, FChkDate, FLockStatus, FLockRem, FVoidStatus, "
    "FTotalFreight, FBuyerFreight, FBiller, FSiteOrderDate, FSitePayDate, FPayTime, "
    "FBuyerMessage, FStockID, FInvoiceStatus, FCreatedate, FModifydate) values "
    "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?7, ?8, ?9, ?9, ?10, ?11, ?12, ?13, 1, ?14, ?15, ?16, ?17, ?18, "
    "?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?28, ?29, ?2, ?30, ?30, ?31, ?32, ?33, ?2, "
    "?2)";

constexpr char kInsertLine[] =
    "insert into IC_Web2ERPOrdersEntry (FID, FIndex, FSiteOrderID, FOrderID, FItemID, FUnitID, "
    "FQuantity, FPrice, FAmount, FStockID, FStatus, FRefundStatus, FRefundAmount, FServiceStatus, "
    "FCreatedate, FModifydate) values (?1, ?2, ?3, ?4, ?5, 1, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
    "?14, ?14)";

constexpr char kInsertRefund[] =
    "insert into IC_RefundInfo (FEntryID, FSiteOrderID, FOrderID, FBuyerNick, FWebShopID, "
    "FItemID, FNum, FRefundAmount, FRefundStatus, FServiceType, FServiceStatus, FRecorder, "
    "FCreateDate, FLastModifyDate) values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, 'WAIT_SELLER_AGREE', "
    "?9, ?10, 16394, ?11, ?11)";

// Trade and after-sales codes (t_SubMessage keys).
constexpr int kWaitPay = 38191, kWaitShip = 38192, kShipped = 38193, kFinished = 38194,
              kClosed = 38195;
constexpr int kRefundAwaitsReview = 38431, kReturnAwaitsReview = 38430;

std::string Digits(uint64_t n, size_t width) {
  std::string s = std::to_string(n);
  return s.size() < width ? std::string(width - s.size(), '0') + s : s;
}

// Percent of orders up to and including each state, in the order the generator rolls them;
// the rest are reviewed orders flagged 14.
struct MixBounds {
  int wait_pay, awaiting_review, reviewed, shipped, locked, voided;
};

MixBounds BoundsOf(StateMix mix) {
  switch (mix) {
    case StateMix::kBusy: return {5, 40, 60, 85, 92, 96};
    case StateMix::kRealistic: break;
  }
  return {1, 4, 11, 94, 96, 98};
}

}  // namespace

GenerateStats GenerateOrders(SqliteConnection& conn, const ReferenceData& ref,
                             const GenerateOptions& options) {
  const MixBounds mix = BoundsOf(options.mix);
  GenerateStats stats;
  tsql::SqliteDb& db = conn.session().db();
  int64_t first_fid =
      CLngLng(db.Query("select coalesce(max(FID), 0) from IC_Web2ERPOrders")->Value(0)) + 1;
  std::mt19937_64 rng(options.seed);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };

  // Orders go back a quarter of a year from a fixed day, so a seed gives the same account on
  // any day it is generated.
  const Date base = MakeDate(2026, 12, 1);
  int64_t buyers = std::max<int64_t>(1, options.orders / 3);
  db.Exec("begin immediate");
  try {
    for (int64_t i = 0; i < options.orders; ++i) {
      int64_t fid = first_fid + i;
      Date ordered{base.serial - static_cast<double>(rng() % (90 * 24 * 60)) / (24 * 60)};
      std::string when = FormatDate(ordered);
      std::string shop = ref.shops[pick(ref.shops.size())];
      std::string site_order = "T" + Digits(static_cast<uint64_t>(fid) * 7919 + 100000000, 12);
      std::string order_id = "WD" + Digits(static_cast<uint64_t>(fid), 8);
      int64_t buyer = static_cast<int64_t>(rng() % static_cast<uint64_t>(buyers)) + 1;
      int32_t district = ref.districts[pick(ref.districts.size())];
      AreaPath area = AreaOf(district);
      int32_t carrier = ref.logistics[pick(ref.logistics.size())];

      int roll = static_cast<int>(rng() % 100);
      int trade = kWaitShip, order_status = 1, check = 0, lock = 0, voided = 0;
      if (roll < mix.wait_pay) {
        trade = kWaitPay;
      } else if (roll < mix.awaiting_review) {
        // awaiting review
      } else if (roll < mix.reviewed) {
        order_status = 2, check = 1;
      } else if (roll < mix.shipped) {
        order_status = 2 | 8, check = 1, trade = chance(50) ? kShipped : kFinished;
      } else if (roll < mix.locked) {
        lock = 1;
      } else if (roll < mix.voided) {
        voided = 1, trade = kClosed;
      } else {
        order_status = 14, check = 1;
      }
      bool reviewed = check == 1;
      int line_count = 1 + static_cast<int>(rng() % 5);
      double amount = 0;
      auto cents = [](double x) { return std::round(x * 100) / 100; };
      for (int l = 1; l <= line_count; ++l) {
        int32_t item = ref.items[pick(ref.items.size())];
        double qty = static_cast<double>(1 + rng() % 4);
        double price = static_cast<double>(990 + rng() % 20000) / 100;  // whole cents
        bool refund = chance(3);
        db.Exec(kInsertLine,
                {Variant(fid), Variant(l), Variant(site_order), Variant(order_id),
                 Variant(item), Variant(qty), Variant(price), Variant(cents(qty * price)),
                 Variant(ref.warehouses[0]),
                 Variant(trade == kWaitPay ? "WAIT_BUYER_PAY" : "WAIT_SELLER_SEND_GOODS"),
                 Variant(refund ? 1 : 0), Variant(refund ? cents(qty * price) : 0.0),
                 Variant(refund ? kRefundAwaitsReview : 0), Variant(when)});
        ++stats.lines;
        if (refund) {
          db.Exec(kInsertRefund,
                  {Variant(db.last_insert_rowid()), Variant(site_order), Variant(order_id),
                   Variant("buyer" + std::to_string(buyer)), Variant(shop), Variant(item),
                   Variant(qty), Variant(cents(qty * price)), Variant(chance(50) ? 1 : 2),
                   Variant(chance(70) ? kRefundAwaitsReview : kReturnAwaitsReview),
                   Variant(when)});
          ++stats.refunds;
        }
        amount += cents(qty * price);
      }
      double freight = chance(30) ? 0.0 : 8.0;
      std::string paid = FormatDate(Date{ordered.serial + 0.01});
      db.Exec(kInsertOrder,
              {Variant(fid), Variant(when), Variant(shop), Variant(site_order), Variant(order_id),
               Variant(reviewed ? when.substr(0, 4) + when.substr(5, 2) + std::to_string(fid)
                                : std::string("0")),
               Variant(amount + freight), Variant("buyer" + std::to_string(buyer)),
               Variant("买家" + std::to_string(buyer)),
               Variant("0755-" + Digits(static_cast<uint64_t>(buyer) % 10000000, 7)),
               Variant("139" + Digits(static_cast<uint64_t>(buyer) % 100000000, 8)),
               Variant("518000"),
               Variant("幸福路" + std::to_string(buyer % 500 + 1) + "号"), Variant(area.province),
               Variant(area.city), Variant(area.district), Variant(carrier), Variant("EMS"),
               Variant(order_status & 8 ? "EMS" + std::to_string(fid) : std::string()),
               Variant(trade), Variant(order_status), Variant(check),
               Variant(reviewed ? 16395 : 0),
               reviewed ? Variant(FormatDate(Date{ordered.serial + 0.05})) : Variant::Null(),
               Variant(lock), Variant(lock ? "地址待确认" : ""), Variant(voided),
               Variant(freight), Variant(16394), Variant(paid),
               Variant(chance(10) ? "请尽快发货" : ""), Variant(ref.warehouses[0]),
               Variant(chance(20) ? 1 : 0)});
      ++stats.orders;
      if (options.progress && (stats.orders % 10000 == 0 || stats.orders == options.orders))
        options.progress(stats.orders, options.orders);
    }
    db.Exec("commit");
  } catch (...) {
    db.Exec("rollback");
    throw;
  }
  return stats;
}

}  // namespace ambit
