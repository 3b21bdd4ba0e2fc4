// The refund and after-sales lists: which rows they select and their special columns.
#include "aftersales/refund_lists.h"

#include <gtest/gtest.h>

#include "aftersales/aftersales_fixture.h"

namespace ambit::testing {
namespace {

class RefundListsTest : public AfterSalesTest {
 protected:
  // Order `fid` of `order_type` with one line; `refunding` marks the line as refunding.
  int SeedRefundOrder(int fid, bool refunding, int order_type = code::kOrderTypeNormal,
                      const std::string& date = "2026-01-05 10:00:00") {
    SeedOrder(conn(), {.fid = fid, .order_type = order_type, .order_date = date});
    int line = SeedLine(conn(), {.fid = fid, .item_id = 10, .quantity = 2, .price = 3});
    if (refunding)
      conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FRefundStatusDetails = 1 WHERE FEntryID = " +
                     N(line));
    return line;
  }
};

TEST_F(RefundListsTest, RefundOrdersAreNormalOrdersWithARefundingLine) {
  SeedRefundOrder(1, true, code::kOrderTypeNormal, "2026-01-01 10:00:00");
  SeedRefundOrder(2, true, code::kOrderTypeNormal, "2026-01-03 10:00:00");
  SeedRefundOrder(3, false);
  SeedRefundOrder(4, true, code::kOrderTypeAfterSales);
  EXPECT_EQ(Fids(GetRefundOrderData(info(), Para())), (std::vector<int>{2, 1}));
  EXPECT_EQ(RecordCount(GetRefundOrderData(info(), Para({{"stTypeCount", Variant("1")}}))), 2);
  // The common filter narrows the same rows.
  EXPECT_EQ(Fids(GetRefundOrderData(info(), Para({{"OrderDateTo", Variant("2026-01-02")}}))),
            (std::vector<int>{1}));
  EXPECT_EQ(GetRefundOrderData(info(), NewDictionary()), nullptr);
}

TEST_F(RefundListsTest, CaseListFiltersAndItsSpecialColumns) {
  std::vector<int> cases;
  for (int fid : {12, 15, 17}) {
    int line = SeedRefundOrder(fid, true);
    cases.push_back(SeedCase(line, {.status = fid == 15 ? 38431 : 38430,
                                    .type = fid == 17 ? 3 : 2}));
  }
  conn().Execute("UPDATE IC_RefundInfo SET FOutDate = '1900-01-01', FReturnDate = '2026-02-01' "
                 "WHERE FID = " + N(cases[0]));
  RecordsetPtr rs = GetRefundInfoData(info(), Para({{"FID", Variant(",12,15")}}));
  EXPECT_EQ(Column(rs, "FOrderID"), (std::vector<std::string>{"WD12", "WD15"}));
  EXPECT_EQ(Column(rs, "FOutDate1"), (std::vector<std::string>{"<null>", "<null>"}));
  EXPECT_EQ(Column(rs, "FReturnDate1")[0], "2026-02-01 00:00:00");
  EXPECT_EQ(Column(rs, "FServiceTypeName")[0], "退款退货");
  EXPECT_EQ(Column(rs, "FServiceSourceName")[0], "线下");
  EXPECT_EQ(Column(GetRefundInfoData(info(), Para({{"WaitRefund", Variant("x")}})), "FOrderID"),
            (std::vector<std::string>{"WD15"}));
  EXPECT_EQ(Column(GetRefundInfoData(info(), Para({{"RefundFID", Variant(N(cases[2]))}})),
                   "FServiceTypeName"), (std::vector<std::string>{"换货"}));
  // The platform's refund state is text.
  conn().Execute("UPDATE IC_RefundInfo SET FRefundStatus = 'WAIT_BUYER_RETURN_GOODS' WHERE FID = " +
                 N(cases[2]));
  EXPECT_EQ(Column(GetRefundInfoData(info(), Para({{"FRefundStatus",
                                                    Variant("WAIT_BUYER_RETURN_GOODS")}})),
                   "FOrderID"), (std::vector<std::string>{"WD17"}));
  EXPECT_TRUE(Column(GetRefundInfoData(info(), Para({{"WaitReturnGoods", Variant("1")},
                                                     {"WaitRefund", Variant("1")}})),
                     "FID").empty());
  EXPECT_THROW(GetRefundInfoData(info(), Para({{"FID", Variant("12) or (1=1")}})), ComError);
}

TEST_F(RefundListsTest, ReturnAddressesDefaultFirstWithOnePhone) {
  conn().Execute("INSERT INTO IC_SellerAddress (FWebShopID, FContactName, fmobilephone, fphone, "
                 "FDefaultReturn) VALUES ('S''1', 'Ann', '', '0755-1', 0), "
                 "('S''1', 'Bob', '138', '0755-2', 1), ('S2', 'Cid', '139', '', 1)");
  RecordsetPtr rs = GetSellerAddressForRefund(info(), kDsn, "S'1");
  EXPECT_EQ(Column(rs, "FContactName"), (std::vector<std::string>{"Bob", "Ann"}));
  EXPECT_EQ(Column(rs, "FOnePhone"), (std::vector<std::string>{"138", "0755-1"}));
  EXPECT_EQ(GetSellerAddressForRefund(info(), "", "S2"), nullptr);
}

TEST_F(RefundListsTest, WorkbenchLinesCarryLineAmountsAndBothDiscounts) {
  int line = SeedRefundOrder(1, false);
  int with_case = SeedLine(conn(), {.fid = 1, .item_id = 11, .quantity = 1, .price = 4});
  int key = SeedCase(with_case, {});
  conn().Execute("UPDATE IC_Web2ERPOrders SET FAmount = 100, FDiscountFee = 7, "
                 "FDeliveryProvince = 44 WHERE FID = 1");
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FDiscountFee = 1.5 WHERE FEntryID = " +
                 N(line));
  conn().Execute("INSERT INTO IC_Area (FID, FName, FName_EN, FLevel) VALUES (44, '广东', "
                 "'Guangdong', 1)");
  DictionaryPtr para = Para({{"dctFiler", Variant(Para())}});
  RecordsetPtr rs = GetTradeServiceData(info(), para).As<Recordset>();
  EXPECT_EQ(Column(rs, "FEntryID"), (std::vector<std::string>{N(line), N(with_case)}));
  EXPECT_EQ(Column(rs, "FAmount"), (std::vector<std::string>{"6", "4"}));
  EXPECT_EQ(Column(rs, "FDiscountFee"), (std::vector<std::string>{"7", "7"}));
  EXPECT_EQ(Column(rs, "FDiscountFee2"), (std::vector<std::string>{"1.5", "0"}));
  EXPECT_EQ(Column(rs, "FRefundFID"), (std::vector<std::string>{"0", N(key)}));
  EXPECT_EQ(Column(rs, "FServiceStatusName")[0], "");
  EXPECT_EQ(Column(rs, "FDeliveryProvinceName")[0], "广东");

  LogInAs(schema::code::kAdministratorUserID, "en");
  rs = GetTradeServiceData(info(), para).As<Recordset>();
  EXPECT_EQ(Column(rs, "FDeliveryProvinceName")[0], "Guangdong");

  para->Value("dctFiler").As<Dictionary>()->SetValue("Select_Item", Variant("count(1)"));
  rs = GetTradeServiceData(info(), para).As<Recordset>();
  ASSERT_EQ(rs->FieldCount(), 1);
  EXPECT_EQ(CStr(rs->Value(0)), "2");
  // The column list may only read.
  para->Value("dctFiler").As<Dictionary>()->SetValue(
      "Select_Item", Variant("count(1) from IC_Web2ERPOrders; delete IC_Web2ERPOrders; select 1"));
  EXPECT_THROW(GetTradeServiceData(info(), para), ComError);
  EXPECT_EQ(Count("IC_Web2ERPOrders"), 1);
  EXPECT_TRUE(GetTradeServiceData(info(), NewDictionary()).IsEmpty());
}

TEST_F(RefundListsTest, HistoryNamesItsRecorderTypeAndSource) {
  int line = SeedRefundOrder(1, false);
  conn().Execute("INSERT INTO t_Emp (FItemID, FName) VALUES (5, 'Emp Five'), (6, 'Emp Six')");
  conn().Execute("INSERT INTO t_User (FUserID, FName, FEmpID) VALUES (900, 'user', 6)");
  conn().Execute("INSERT INTO IC_RefundRecord (FRecordDate, FRecorder, FSource, FType, FEntryID) "
                 "VALUES ('2026-01-02', 5, 2, 4, " + N(line) + "), ('2026-01-01', 900, 1, 1, " +
                 N(line) + "), ('2026-01-03', 5, 2, 2, 999)");
  DictionaryPtr para = Dict({{"sDsn", Variant(kDsn)}, {"FEntryID", Variant(N(line))}});
  RecordsetPtr rs = GetTradeRecordData(info(), para);
  EXPECT_EQ(Column(rs, "FRecorderName"), (std::vector<std::string>{"Emp Six", "Emp Five"}));
  EXPECT_EQ(Column(rs, "FType"), (std::vector<std::string>{"仅退款", "补发"}));
  EXPECT_EQ(Column(rs, "FSource"), (std::vector<std::string>{"线上", "线下"}));
  EXPECT_EQ(GetTradeRecordData(info(), Dict({{"FEntryID", Variant("1")}})), nullptr);
}

TEST_F(RefundListsTest, VoucheredOrdersOrNothing) {
  SeedCase(SeedRefundOrder(1, true), {.voucher = 0});
  SeedCase(SeedRefundOrder(2, true), {.voucher = 31});
  EXPECT_EQ(GetRefundVoucherByFID(info(), kDsn, "1"), nullptr);
  EXPECT_EQ(Fids(GetRefundVoucherByFID(info(), kDsn, "1,2")), (std::vector<int>{2}));
  EXPECT_THROW(GetRefundVoucherByFID(info(), kDsn, "1,2)--"), ComError);
}

}  // namespace
}  // namespace ambit::testing
