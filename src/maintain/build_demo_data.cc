#include "maintain/build_demo_data.h"

#include <ctime>
#include <vector>

#include "base/conversions.h"
#include "frame/row_writer.h"

namespace ambit {
namespace {

// Trade status codes of the shop (t_SubMessage keys).
constexpr int kWaitSellerShip = 38192;
constexpr int kShippedWaitConfirm = 38193;
constexpr int kAdministrator = 16394;
constexpr char kDemoShopID[] = "DEMO01";

std::string Pad3(int n) {
  std::string s = std::to_string(n);
  return s.size() < 3 ? std::string(3 - s.size(), '0') + s : s;
}

Date Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return MakeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

Date HoursBefore(Date d, int hours) { return Date{d.serial - hours / 24.0}; }

// The state of demo order n: the bands move it from awaiting review to shipped.
void FillOrder(Recordset& rs, int n, Date now) {
  Date ordered = HoursBefore(now, (kDemoOrderCount - n) * 5 + 2);
  rs.SetValue("FID", Variant(n));
  rs.SetValue("FSiteOrderID", Variant("WebOrderID" + Pad3(n)));
  rs.SetValue("FOrderID", Variant("WD" + std::to_string(n)));
  rs.SetValue("FWebshopID", Variant(kDemoShopID));
  rs.SetValue("FTelephone", Variant("86073" + std::to_string(100000 + n * 37)));
  rs.SetValue("FMobile", Variant("1380000" + Pad3(n) + "0"));
  rs.SetValue("FZipCode", Variant("518000"));
  rs.SetValue("FLogisticsComp", Variant("EMS"));
  rs.SetValue("FOrderDate", Variant(FormatDate(ordered)));
  rs.SetValue("FSiteOrderDate", Variant(FormatDate(ordered)));
  rs.SetValue("FSitePayDate", Variant(FormatDate(HoursBefore(ordered, -1))));
  // Thirty buyers, so that several orders share a buyer (merging has something to find).
  int buyer = (n - 1) % 30 + 1;
  rs.SetValue("FBuyerNick", Variant("demo_buyer" + std::to_string(buyer)));
  rs.SetValue("FBuyerName", Variant("买家" + std::to_string(buyer)));
  rs.SetValue("FConsignee", Variant("收货人" + std::to_string(buyer)));
  rs.SetValue("FDeliveryAddress",
              Variant("深圳市南山区科技园" + std::to_string(buyer) + "号"));
  rs.SetValue("FBuyerMessage", Variant(n % 7 == 0 ? "请尽快发货" : ""));
  rs.SetValue("FOrderStatus", Variant(1));
  rs.SetValue("FCheckStatus", Variant(0));
  rs.SetValue("FTransactionStatus", Variant(kWaitSellerShip));
  rs.SetValue("FBiller", Variant(kAdministrator));
  if (n > 20) {  // reviewed
    rs.SetValue("FOrderStatus", Variant(2));
    rs.SetValue("FCheckStatus", Variant(1));
    rs.SetValue("FChkMan", Variant(kAdministrator));
    rs.SetValue("FChkDate", Variant(FormatDate(HoursBefore(ordered, -2))));
    rs.SetValue("FChkRem", Variant("审核备注"));
    rs.SetValue("FUniqueCode", Variant(FormatDate(ordered).substr(0, 4) +
                                       FormatDate(ordered).substr(5, 2) + std::to_string(n)));
  }
  if (n > 40) {  // picked
    rs.SetValue("FPickMan", Variant(kAdministrator));
    rs.SetValue("FPickDate", Variant(FormatDate(HoursBefore(ordered, -3))));
    rs.SetValue("FPickRem", Variant("配货备注"));
    rs.SetValue("FIsPrintPick", Variant(1));
  }
  if (n > 60) {  // shipped: the outbound bill exists
    rs.SetValue("FOrderStatus", Variant(2 | 8));
    rs.SetValue("FShippingMan", Variant(kAdministrator));
    rs.SetValue("FSendDate", Variant(FormatDate(HoursBefore(ordered, -4))));
    rs.SetValue("FShippingRem", Variant("发货备注"));
    rs.SetValue("FLogisticsOrder", Variant("EMS" + std::to_string(9000000 + n)));
    rs.SetValue("FTransactionStatus", Variant(kShippedWaitConfirm));
    rs.SetValue("FIsPrintExpress", Variant(1));
  }
  rs.SetValue("FLockStatus", Variant(n > 30 && n <= 35 ? 1 : 0));
  rs.SetValue("FLockRem", Variant(n > 30 && n <= 35 ? "等待买家确认地址" : ""));
  rs.SetValue("FInvoiceStatus", Variant(n > 50 && n % 2 == 0 ? 1 : 0));
  rs.SetValue("FInvoiceName", Variant(n > 50 && n % 2 == 0 ? "深圳演示公司" : ""));
  rs.SetValue("FIsCod", Variant(n > 80 ? 1 : 0));
  rs.SetValue("FTotalFreight", Variant(n > 80 ? 0.0 : 10.0));
  rs.SetValue("FBuyerFreight", Variant(n > 80 ? 0.0 : 10.0));
  rs.SetValue("FPayTime", Variant(FormatDate(HoursBefore(ordered, -1))));
}

}  // namespace

void BuildDemoData(Component& self, std::string& sDsn) {
  RunMethod(self, "BuildDemoData", sDsn, [&](MethodScope& m) {
    FillDemoOrders(m.conn());
    return 0;
  });
}

void FillDemoOrders(Connection& conn) {
  conn.Execute("Truncate Table IC_Web2ERPOrders");
  conn.Execute("Truncate Table IC_Web2ERPOrdersEntry");
  std::vector<int32_t> items;
  for (RecordsetPtr it = conn.Execute("Select Top 3 FItemID From T_ITem Where FItemClassID=4");
       !it->Eof(); it->MoveNext())
    items.push_back(CLng(it->Value(0)));

  Date now = Now();
  RecordsetPtr orders = conn.Execute("Select * from IC_Web2ERPOrders Where 1=2");
  for (int n = 1; n <= kDemoOrderCount; ++n) {
    orders->AddNew();
    FillOrder(*orders, n, now);
    orders->Update();
  }

  RecordsetPtr stock = conn.Execute("select Top 1 * from t_Stock");
  Variant stock_id = stock->Eof() ? Variant(0) : stock->Value("FItemID");
  RecordsetPtr lines = conn.Execute("Select * from IC_Web2ERPOrdersEntry Where 1=2");
  std::vector<double> amounts(kDemoOrderCount + 1, 0);
  for (int n = 1; n <= kDemoOrderCount && !items.empty(); ++n) {
    // One to three lines, each with another demo item.
    int line_count = 1 + (n - 1) % static_cast<int>(items.size());
    for (int l = 0; l < line_count; ++l) {
      double qty = 1 + (n + l) % 3;
      double price = 19.9 + 10 * ((n + l) % 5);
      lines->AddNew();
      lines->SetValue("FID", Variant(n));
      lines->SetValue("FIndex", Variant(l + 1));
      lines->SetValue("FSiteOrderID", Variant("WebOrderID" + Pad3(n)));
      lines->SetValue("FOrderID", Variant("WD" + std::to_string(n)));
      lines->SetValue("FItemID", Variant(items[static_cast<size_t>(l)]));
      lines->SetValue("FStockID", stock_id);
      lines->SetValue("FQuantity", Variant(qty));
      lines->SetValue("FPrice", Variant(price));
      lines->SetValue("FAmount", Variant(qty * price));
      lines->SetValue("FStatus", Variant(n > 60 ? "WAIT_BUYER_CONFIRM_GOODS"
                                                : "WAIT_SELLER_SEND_GOODS"));
      lines->Update();
      amounts[static_cast<size_t>(n)] += qty * price;
    }
  }
  // The order totals are the sums of their lines plus freight.
  for (orders->MoveFirst(); !orders->Eof(); orders->MoveNext()) {
    size_t n = static_cast<size_t>(CLng(orders->Value("FID")));
    double total = amounts[n] + CDbl(orders->Value("FTotalFreight"));
    orders->SetValue("FAmount", Variant(total));
    orders->SetValue("FAmountOld", Variant(total));
  }
  InsertNewRows(conn, "IC_Web2ERPOrders", *orders);
  InsertNewRows(conn, "IC_Web2ERPOrdersEntry", *lines);

  conn.Execute("Truncate Table IC_WebshopToStorage");
  RecordsetPtr shop = conn.Execute("Select * from IC_WebshopToStorage Where 1=2");
  shop->AddNew();
  shop->SetValue("FWebShopID", Variant(kDemoShopID));
  shop->SetValue("FWebShopName", Variant("测试网店"));
  shop->SetValue("FWebShopAddress", Variant("测试网店地址"));
  shop->SetValue("FStockID", stock_id);
  shop->Update();
  InsertNewRows(conn, "IC_WebshopToStorage", *shop);
}

}  // namespace ambit
