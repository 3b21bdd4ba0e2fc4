// The purchase tests' account: items with a supplier, two warehouses with stock, orders in
// every state the summary tells apart, purchase orders with receipts, and after-sales cases
// with goods on their way back.
#ifndef AMBIT_TESTS_PURCHASE_PURCHASE_FIXTURE_H_
#define AMBIT_TESTS_PURCHASE_PURCHASE_FIXTURE_H_

#include <map>
#include <string>

#include "query/lookups_fixture.h"
#include "schema/names.h"

namespace ambit {

using testing::N;
using testing::ScalarInt;
using testing::SeedInventory;
using testing::SeedStock;
using testing::SetProfile;

class PurchaseTest : public LookupsTest {
 protected:
  // Item 10 ("A10", supplier 500) and 11 ("B11") in warehouses 1 and 2; 12 ("C12") only on a
  // closed line of order 7.
  void SeedPlanningAccount() {
    SeedItem(conn(), {.item_id = 10, .number = "A10", .name = "Pen's", .unit_id = 3});
    SeedItem(conn(), {.item_id = 11, .number = "B11"});
    SeedItem(conn(), {.item_id = 12, .number = "C12"});
    conn().Execute(
        "INSERT INTO t_Supplier (FItemID, FNumber, FName) VALUES (500, 'S500', 'Supplier A')\r\n"
        "UPDATE t_ICItem SET FSource = 500 WHERE FItemID = 10\r\n"
        "INSERT INTO t_MeasureUnit (FItemID, FMeasureUnitID, FName) VALUES (3, 3, 'pcs')");
    SeedStock(conn(), 1, "North");
    SeedStock(conn(), 2, "South");
    SeedInventory(conn(), 10, 1, 5);
    SeedInventory(conn(), 10, 2, 3);
    SeedInventory(conn(), 11, 1, 7);

    const int kChecked = schema::code::kCheckStatusReviewed;
    // 1: checked, counts. 2: neither pre-checked nor checked. 3: pre-checked, one line
    // finished on the platform. 4: shipped order, line without a platform state. 5: checked
    // but locked. 6: checked, line already delivered. 7: an item on a closed line only.
    SeedOrder(conn(), {.fid = 1, .check_status = kChecked});
    SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .stock_id = 1});
    SeedLine(conn(), {.fid = 1, .item_id = 11, .quantity = 1, .stock_id = 1});
    SeedOrder(conn(), {.fid = 2});
    SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 4, .stock_id = 2});
    SeedOrder(conn(), {.fid = 3, .pre_chk_man = 5});
    SeedLine(conn(), {.fid = 3, .item_id = 10, .quantity = 1, .stock_id = 1,
                      .status = "TRADE_FINISHED"});
    SeedLine(conn(), {.fid = 3, .item_id = 10, .quantity = 3, .stock_id = 2,
                      .status = "WAIT_SELLER_SEND_GOODS"});
    SeedOrder(conn(), {.fid = 4, .check_status = kChecked,
                       .trade_status = schema::code::kTradeStatusWaitBuyerConfirm});
    SeedLine(conn(), {.fid = 4, .item_id = 10, .quantity = 9, .stock_id = 1});
    SeedOrder(conn(), {.fid = 5, .check_status = kChecked});
    SeedLine(conn(), {.fid = 5, .item_id = 10, .quantity = 6, .stock_id = 1});
    conn().Execute("INSERT INTO IC_Web2ERPOrdersEx (FID, FIsLock) VALUES (5, 1)");
    SeedOrder(conn(), {.fid = 6, .check_status = kChecked});
    int delivered = SeedLine(conn(), {.fid = 6, .item_id = 10, .quantity = 10, .stock_id = 1});
    conn().Execute(
        "INSERT INTO ICStockBill (FInterID, FStatus) VALUES (90, 1)\r\n"
        "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FItemID, FQty, FSourceTranType, "
        "FSourceEntryID) VALUES (90, 1, 10, 10, 1014301, " + N(delivered) + ")");
    SeedOrder(conn(), {.fid = 7, .check_status = kChecked});
    SeedLine(conn(), {.fid = 7, .item_id = 12, .quantity = 1, .status = "TRADE_CLOSED"});

    // Purchase order 100: 20 of item 10 (6 received directly, 4 through notice 300, 100 on a
    // bill not yet posted) and 5 of item 11; order 101 is cancelled.
    conn().Execute(
        "INSERT INTO POOrder (FInterID, FBillNo) VALUES (100, 'PO100')\r\n"
        "INSERT INTO POOrder (FInterID, FBillNo, FCancellation) VALUES (101, 'PO101', 1)\r\n"
        "INSERT INTO POOrderEntry (FInterID, FEntryID, FItemID, FQty) VALUES "
        "(100, 1, 10, 20), (100, 2, 11, 5), (101, 1, 10, 50)\r\n"
        "INSERT INTO POInStockEntry (FInterID, FEntryID, FItemID, FQty, FSourceTranType, "
        "FSourceInterId, FSourceEntryID) VALUES (300, 1, 10, 4, 71, 100, 1)\r\n"
        "INSERT INTO ICStockBill (FInterID, FStatus, FUpStockWhenSave) VALUES "
        "(200, 1, 0), (201, 0, 1), (202, 0, 0)\r\n"
        "INSERT INTO ICStockBillEntry (FInterID, FEntryID, FItemID, FQty, FSourceTranType, "
        "FSourceInterId, FSourceEntryID) VALUES (200, 1, 10, 6, 71, 100, 1), "
        "(201, 1, 10, 4, 72, 300, 1), (202, 1, 10, 100, 71, 100, 1), "
        "(200, 2, 10, 50, 71, 101, 1)");
    // Coming back: 2 on the platform, 1 offline; a finished refund and an item-less case
    // do not count.
    conn().Execute(
        "INSERT INTO IC_RefundInfo (FItemID, FNum, FRefundStatus) VALUES "
        "(10, 2, 'WAIT_BUYER_RETURN_GOODS'), (10, 7, 'SUCCESS'), (0, 9, 'WAIT_SELLER_CONFIRM_GOODS')\r\n"
        "INSERT INTO IC_RefundInfo (FItemID, FNum, FServiceStatus, FIsRetrunGoods, "
        "FServiceSource) VALUES (10, 1, 38433, 1, 2), (11, 4, 38433, 1, 1)");
  }

  // One row per key value of `key`, each as "field=value;" in field order.
  static std::map<std::string, std::string> Rows(RecordsetPtr rs, const std::string& key,
                                                 std::initializer_list<const char*> fields) {
    std::map<std::string, std::string> out;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      std::string text;
      for (const char* f : fields) text += std::string(f) + "=" + CStr(rs->Value(f)) + ";";
      out[CStr(rs->Value(key.c_str()))] = text;
    }
    return out;
  }
};

}  // namespace ambit

#endif  // AMBIT_TESTS_PURCHASE_PURCHASE_FIXTURE_H_
