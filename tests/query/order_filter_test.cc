// The order filter: its text for representative keys (exact where the text is the contract),
// what those conditions select when a list runs them, and the input it refuses.
#include "query/order_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "order_lists_fixture.h"
#include "query/status_lists.h"

namespace ambit {
namespace {

using testing::ErrorOf;
using testing::kDsn;
using testing::ListAccountTest;
using testing::SeedItem;
using testing::SeedLine;
using testing::SeedOrder;
using V = std::vector<int>;
using Keys = std::initializer_list<std::pair<const char*, Variant>>;

// Three orders: 1 with two sold items and a gift and a buyer message with an apostrophe, 2 with
// one line and a seller message, 3 unpaid with five of one item.
class OrderFilterTest : public ListAccountTest {
 protected:
  void SetUp() override {
    ListAccountTest::SetUp();
    SeedItem(conn(), {.item_id = 501, .number = "I501", .name = "Green tea"});
    SeedItem(conn(), {.item_id = 502, .number = "I502", .name = "Black tea"});
    SeedItem(conn(), {.item_id = 503, .number = "I503", .name = "Tea cup"});
    SeedOrder(conn(), {.fid = 1, .consignee = "Bo Wen", .order_date = "2026-01-05 10:00:00"});
    SeedOrder(conn(), {.fid = 2, .consignee = "Ann Lee", .order_date = "2026-02-01 08:30:00"});
    SeedOrder(conn(), {.fid = 3,
                       .trade_status = schema::code::kTradeStatusWaitBuyerPay,
                       .consignee = "Ann Ho",
                       .order_date = "2026-03-01 23:59:00"});
    conn().Execute(
        "UPDATE IC_Web2ERPOrders SET FBuyerMessage = 'it''s fragile', FInvoiceStatus = 0 "
        "WHERE FID = 1\r\n"
        "UPDATE IC_Web2ERPOrders SET FSellerMessage = 'call first', FInvoiceStatus = 1, "
        "FBuyerMessage = NULL WHERE FID = 2\r\n"
        "UPDATE IC_Web2ERPOrders SET FOrderFlag = 2 WHERE FID = 3");
    SeedLine(conn(), {.fid = 1, .item_id = 501, .quantity = 2});
    SeedLine(conn(), {.fid = 1, .item_id = 502, .quantity = 1});
    SeedLine(conn(), {.fid = 1, .item_id = 503, .quantity = 1, .is_free = 1});
    SeedLine(conn(), {.fid = 2, .item_id = 501, .quantity = 1});
    SeedLine(conn(), {.fid = 3, .item_id = 502, .quantity = 5});
  }

  std::string Filter(Keys keys) { return BuildOrderFilterSql(info(), Para(keys)); }
  // The orders the "all" tab lists under the filter.
  V Select(Keys keys) { return Fids(GetAllData(info(), Para(keys))); }
  std::string Filter(const DictionaryPtr& para) { return BuildOrderFilterSql(info(), para); }
  static DictionaryPtr Field(const char* name, const char* compare, const char* value,
                             int ctl = 1) {
    return Para({{"FieldName", Variant(name)},
                 {"Compare", Variant(compare)},
                 {"FieldValue", Variant(value)},
                 {"FCtlType", Variant(int16_t(ctl))}});
  }
  V SelectField(const char* name, const char* compare, const char* value, int ctl = 1) {
    return Fids(GetAllData(info(), Field(name, compare, value, ctl)));
  }
};

TEST_F(OrderFilterTest, EmptyFilterAndUserGroupRestriction) {
  EXPECT_EQ(BuildOrderFilterSql(info(), nullptr), "");
  EXPECT_EQ(Filter({}), "");
  ASSERT_EQ(profile_requests_.size(), 1u);
  EXPECT_EQ(profile_requests_[0], std::string(kDsn) + "|IC|CheckUserGroup");

  check_user_group_ = Variant("1");
  // Only orders billed by someone sharing a group with the user: user 7 is in group 1 with the
  // administrator, user 8 only in group 0.
  conn().Execute(
      "INSERT INTO t_User (FUserID, FName) VALUES (7, 'ann'), (8, 'bob')\r\n"
      "INSERT INTO t_Group (FGroupID, FUserID) VALUES (1, 7), (0, 8), (0, 16394)\r\n"
      "UPDATE IC_Web2ERPOrders SET FBiller = 7 WHERE FID = 1\r\n"
      "UPDATE IC_Web2ERPOrders SET FBiller = 8 WHERE FID = 2");
  EXPECT_EQ(Select({}), (V{1}));
  EXPECT_NE(Filter({{"AdvancedFilter", Variant("AND 1=1")}}).find("t1.FBiller IN"),
            std::string::npos);
  // A ready-made filter still sees only the user's groups, in both list shapes and counting.
  EXPECT_EQ(Select({{"AdvancedFilter", Variant(" AND 1=1")}}), (V{1}));
  EXPECT_EQ(RecordCount(GetAllData(info(), Para({{"AdvancedFilter", Variant(" AND 1=1")},
                                                 {"stTypeCount", Variant("1")}}))),
            1);
  EXPECT_EQ(Fids(GetWaitVerifyData2(info(), Para({{"AdvancedFilter", Variant(" AND 1=1")}}))),
            (V{1}));
  EXPECT_EQ(Fids(GetWaitVerifyData(info(), Para({{"AdvancedFilter", Variant("")}}))), (V{1}));

  check_user_group_ = Variant("yes");
  EXPECT_EQ(Filter({}), "");
  check_user_group_ = Variant(0);
  EXPECT_EQ(Select({}), (V{1, 2, 3}));
  DictionaryPtr blank_dsn = Para();
  blank_dsn->SetValue("sDSN", Variant(""));
  check_user_group_ = Variant(1);
  EXPECT_EQ(BuildOrderFilterSql(info(), blank_dsn), "");
}

TEST_F(OrderFilterTest, AdvancedFilterReplacesTheSimpleKeys) {
  EXPECT_EQ(Filter({{"AdvancedFilter", Variant("")}, {"OrderDateFrom", Variant("2026-01-01")}}),
            "");
  EXPECT_EQ(Filter({{"AdvancedFilter", Variant(" AND t1.FID = 2")},
                    {"OrderDateFrom", Variant("2026-01-01")}}),
            " AND t1.FID = 2\r\n");
}

TEST_F(OrderFilterTest, SimpleKeysSelectTheirRows) {
  EXPECT_EQ(Select({{"OrderDateFrom", Variant("2026-01-06")},
                    {"OrderDateTo", Variant("2026-03-01 23:59:59")}}),
            (V{2, 3}));
  EXPECT_EQ(Select({{"TranStatus", Variant("38191")}}), (V{3}));
  EXPECT_EQ(Select({{"WebShopID", Variant("0")}, {"Flag", Variant(2)}}), (V{3}));
  // Shop IDs are text: compared quoted, "0" (the screen's "any shop") adds nothing.
  conn().Execute("UPDATE IC_Web2ERPOrders SET FWebshopID = 'O''Neil 1' WHERE FID = 2");
  EXPECT_EQ(Select({{"WebShopID", Variant("O'Neil 1")}}), (V{2}));
  EXPECT_EQ(Select({{"WebShopID", Variant("SHOP1")}}), (V{1, 3}));
  EXPECT_EQ(Select({{"WebShopID", Variant(0)}}), (V{1, 2, 3}));
  EXPECT_EQ(Select({{"StockName", Variant("nowhere")}}), V{});
}

TEST_F(OrderFilterTest, MessagesAreQuotedAndCompared) {
  EXPECT_EQ(Select({{"BuyerCompare", Variant("=")}, {"FBuyerMessage", Variant("it's fragile")}}),
            (V{1}));
  EXPECT_EQ(Select({{"BuyerCompare", Variant("not like")}, {"FBuyerMessage", Variant("'s")}}),
            (V{2, 3}));
  EXPECT_EQ(Select({{"BuyerCompare", Variant("NULL")}}), (V{2, 3}));
  EXPECT_EQ(Select({{"SellerCompare", Variant("Like")}, {"FSellerMessage", Variant("call")}}),
            (V{2}));
  EXPECT_EQ(Select({{"SellerCompare", Variant("not null")}}), (V{2}));
  EXPECT_EQ(Filter({{"SellerCompare", Variant("contains")}, {"FSellerMessage", Variant("x")}}), "");
}

TEST_F(OrderFilterTest, GoodsAndLineCounts) {
  EXPECT_EQ(Select({{"FGoodsCountBegin", Variant("4")}}), (V{1, 3}));
  EXPECT_EQ(Select({{"FGoodsCountBegin", Variant("1")}, {"FGoodsCountEnd", Variant("3")}}), (V{2}));
  EXPECT_EQ(Select({{"FEntryCountBegin", Variant("2")}}), (V{1}));
  EXPECT_EQ(Select({{"FEntryCountEnd", Variant("1")}}), (V{2, 3}));
}

TEST_F(OrderFilterTest, FieldOperatorsOnDatesFlagsAndText) {
  // A date compares by calendar day; >= and <= as text of the date.
  EXPECT_EQ(SelectField("FOrderDate", "=", "2026-03-01", 0), (V{3}));
  EXPECT_EQ(SelectField("FOrderDate", "<>", "2026-03-01", 0), (V{1, 2}));
  EXPECT_EQ(SelectField("FOrderDate", ">=", "2026-02-01", 0), (V{2, 3}));
  EXPECT_EQ(SelectField("FAmount", "<=", "0", 2), (V{1, 2, 3}));
  EXPECT_EQ(SelectField("FConsignee", "Like", "ann", 1), (V{2, 3}));
  EXPECT_EQ(SelectField("fconsignee", "not like", "ann", 1), (V{1}));
  EXPECT_EQ(SelectField("FInvoiceStatus", "=", "Y"), (V{2}));
  EXPECT_EQ(SelectField("FInvoiceStatus", "=", "N"), (V{1, 3}));
  EXPECT_EQ(SelectField("FInvoiceStatus", "not null", "N"), (V{2}));
  EXPECT_EQ(SelectField("FOrderFlag", "NOT NULL", ""), (V{3}));
  EXPECT_EQ(SelectField("FTransactionStatus", "=", "38191"), (V{3}));
  EXPECT_EQ(SelectField("FBuyerNick", "NULL", ""), V{});
  EXPECT_EQ(SelectField("FItemName", "Like", "black"), (V{1, 3}));
  EXPECT_EQ(SelectField("FName", "Not Like", "green"), (V{3}));
  EXPECT_EQ(SelectField("FIsFree", "=", "Y"), (V{1}));
  EXPECT_EQ(SelectField("FIsLock", "=", "N"), (V{1, 2, 3}));

  // The check state knows only "Y" besides the two null tests.
  EXPECT_EQ(Filter(Field("FTextChktatus", "=", "N")), "");
  EXPECT_EQ(Filter(Field("FTextChktatus", "NOT NULL", "N")), "t1.FCheckStatus =1 AND \r\n");
  EXPECT_EQ(Filter(Field("FInvoiceStatus", "<>", "1")), "ISNULL(t1.FInvoiceStatus,0) <>1 AND \r\n");
  EXPECT_EQ(Filter(Field("FAddressReachable", "<>", "3")),
            "isnull(t22.FAddressReachable,4)  NOT IN (0,2,3) AND \r\n");
  EXPECT_EQ(Filter(Field("FAddressReachable", "=", "9")), "");
  // An unknown operator adds nothing; a number stands bare and is checked.
  EXPECT_EQ(Filter(Field("FConsignee", "~", "x")), "");
  EXPECT_EQ(Filter(Field("FFinallyAmount", ">=", "10.5")),
            "(t1.FAmount-t1.FDiscountFee-t1.FBillDiscountFee + t1.FTotalFreight) >=10.5 AND \r\n");
  // The value of a missing "FieldValue" is written back as empty text.
  DictionaryPtr para = Para({{"FieldName", Variant("FConsignee")}, {"Compare", Variant("NULL")}});
  EXPECT_EQ(BuildOrderFilterSql(info(), para), "t1.FConsignee IS NULL AND \r\n");
  EXPECT_EQ(para->Value("FieldValue"), Variant(""));
}

TEST_F(OrderFilterTest, ItemSetWithAndWithoutGifts) {
  DictionaryPtr para = Para({{"FieldName", Variant("FNumber")},
                             {"Compare", Variant("IN")},
                             {"FieldValue", Variant("I501,I502")},
                             {"chkExcludeGift", Variant(int16_t{1})}});
  EXPECT_EQ(Fids(GetAllData(info(), para)), (V{1}));  // the gift line is not counted
  para->SetValue("chkExcludeGift", Variant(int16_t{0}));
  EXPECT_EQ(Fids(GetAllData(info(), para)), V{});  // three lines, two items listed
  para->SetValue("FieldValue", Variant("I501"));
  EXPECT_EQ(Fids(GetAllData(info(), para)), (V{2}));
}

TEST_F(OrderFilterTest, ServiceCodesDropTheNoneCode) {
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FServiceType = 2 WHERE FID = 2");
  DictionaryPtr para = Para({{"ServiceType", Variant("0,2")}});
  EXPECT_EQ(
      BuildOrderFilterSql(info(), para),
      "entry.FID in (Select FID From IC_Web2ErpOrdersEntry where FServiceType in(2)) AND \r\n");
  EXPECT_EQ(para->Value("ServiceType"), Variant("2"));
  EXPECT_EQ(Filter({{"ServiceStatus", Variant("0")}}), "");
  EXPECT_EQ(Filter({{"FEntryIDs", Variant("3, 4")}}), "entry.FEntryID in (3, 4) AND \r\n");
}

TEST_F(OrderFilterTest, BadInputIsRefusedBeforeAnyStatement) {
  const std::vector<std::pair<std::string, Variant>> bad = {
      {"TranStatus", Variant("38191 or 1=1")}, {"OrderType", Variant("x")},
      {"ServiceStatus", Variant("38431,x")},   {"ServiceSource", Variant("1);drop table t_User--")},
      {"FEntryIDs", Variant("1,2)")},          {"FGoodsCountBegin", Variant("1) or (1=1")},
      {"FEntryCountEnd", Variant("two")},      {"icboTpl", Variant("1 or 1=1")},
  };
  for (const auto& [key, value] : bad) {
    ComError e = ErrorOf([&] { GetWaitVerifyData(info(), Para({{key.c_str(), value}})); });
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitOrderInfo.GetWaitVerifyData") << key;
    EXPECT_NE(e.description().find(key), std::string::npos) << e.description();
  }
  // Field names become column names: only plain names pass.
  ComError e = ErrorOf([&] { Filter(Field("FConsignee=FConsignee OR 1", "=", "x")); });
  EXPECT_EQ(e.number(), err::kInvalidArgument);
  EXPECT_THROW(Filter(Field("FFinallyAmount", "=", "1 or 1=1")), ComError);
  EXPECT_THROW(Filter(Field("FLogisticsState", "<>", "-1 or 1=1")), ComError);
  EXPECT_THROW(Filter(Field("FAmount", ">=", "1 or 1=1", 2)), ComError);
  // Quoted values may hold anything: they stay text.
  EXPECT_EQ(SelectField("FConsignee", "=", "x' or '1'='1"), V{});
  EXPECT_EQ(testing::ScalarInt(conn(), "SELECT COUNT(*) FROM t_User"), 1);
}

// Every field of the filter screen under every operator makes a condition the list can run
// (fields on refund-list aliases are only checked to name them).
TEST_F(OrderFilterTest, EveryFieldAndOperatorRuns) {
  const char* fields[] = {
      "FTradeFrom", "FItemName", "FItemNumber", "FPackagedGoods", "FPackagedGoodsName", "FIsFree",
      "FSiteOrderID", "FSiteOrderID2", "FWebshopIDduplicate", "FFinallyAmount", "FBiller",
      "FChkMan", "FPreChkMan", "FPickMan", "FSendType", "FShippingType", "FTransactionType",
      "FLogisticsID", "FEMPID", "FCurrencyID", "FOptDptID", "FDeliveryCountry",
      "FDeliveryProvince", "FDeliveryCity", "FDeliveryDistrict", "FMergeStatus", "FVoidStatus",
      "FInvoiceStatus", "FInnerInvoice", "FUpLoadStatus", "FIsPrintExpress", "FIsPrintSend",
      "FIsPrintPick", "FWeightStatus", "FIsClaim", "FIsExport", "FTextChktatus",
      "FTextPickStatus", "FTextSendStatus", "FIsJzserviceOrder", "FAddressReachable",
      "FLotNumber", "FSerialNumber", "FLockReason", "FLogisticsState", "FOnlineShopPNo",
      "FItemOnLineProductName", "FBarCode", "FTplReturnStatus", "FTplReturnFail", "FName",
      "FNumber", "FTextApplyForReFund", "FOrderFlag", "FIsBlackList", "FTplRemark",
      "FDeliveryRemark2", "FInvoiceName", "FInvoiceInfo", "FItemModel", "FIsLock", "FSaleNO",
      "FBUYERNAME", "FBuyerEMail", "FBuyerNick", "FBuyerPayMode", "FOrderDate", "FConsignee",
      "FAmount"};
  const char* refund_fields[] = {"FReceiptDate",  "FReturnLogisticsNumber",
                                 "FRefundReason", "FServiceStatus",
                                 "FOutDate",      "FItemSerialNumber"};
  const char* ops[] = {"Like", "Not Like", "=", "<>", "NULL", "NOT NULL", ">=", "<=", "IN"};
  int conditions = 0;
  for (const char* field : fields) {
    for (const char* op : ops) {
      // The screen's control kind follows the column: a date, a number, else text.
      std::string name = field;
      int ctl = name == "FOrderDate" ? 0 : name == "FAmount" ? 2 : 1;
      {
        DictionaryPtr para = Field(field, op, ctl == 0 ? "2026-01-05" : "1", ctl);
        std::string text;
        try {
          text = Filter(para);
        } catch (const ComError& e) {
          // A date where a number stands bare is refused, not pasted.
          EXPECT_EQ(e.number(), err::kTypeMismatch) << field << " " << op << " " << ctl;
          continue;
        }
        if (!text.empty()) ++conditions;
        EXPECT_NO_THROW(GetAllData(info(), para)) << field << " " << op << " " << ctl << "\n"
                                                  << text;
      }
    }
  }
  EXPECT_GT(conditions, 400);
  for (const char* field : refund_fields) {
    std::string text = Filter(Field(field, "=", "2026-01-05"));
    EXPECT_TRUE(text.find("entry.") != std::string::npos || text.find("rf.") != std::string::npos)
        << field << ": " << text;
  }
  // The partner-warehouse and partner-shipping choices and the warehouse name.
  for (const char* tpl : {"10", "11", "3"})
    EXPECT_NO_THROW(GetAllData(info(), Para({{"icboTpl", Variant(tpl)}}))) << tpl;
  EXPECT_EQ(Filter({{"icboTpl", Variant(" 0 ")}, {"icboCainiao", Variant("key_0")}}), "");
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FIsShShip = 1 WHERE FID = 2");
  EXPECT_EQ(Select({{"icboCainiao", Variant("Key_2")}}), (V{2}));
  EXPECT_EQ(Select({{"icboCainiao", Variant("KEY_1")}}), (V{1, 3}));
  testing::SeedStock(conn(), 90, "Main store");
  conn().Execute("UPDATE IC_Web2ERPOrdersEntry SET FStockID = 90 WHERE FID = 3");
  EXPECT_EQ(Select({{"StockName", Variant("main")}}), (V{3}));
}

TEST_F(OrderFilterTest, TemplateCaptionsInTheUsersLanguage) {
  conn().Execute(
      "DELETE FROM ICClassTableInfo\r\n"
      "INSERT INTO ICClassTableInfo (FCLASSTYPEID, FPage, FKey, FFieldName, FCaption_CHS, "
      "FCaption_CHT) VALUES (1014300, 1, 'k2', 'FOrderID', N'订单号', N'訂單號'), "
      "(1014300, 1, 'k1', 'FConsignee', N'收货人', N'收貨人'), "
      "(1014301, 1, 'kq', 'FQty', N'数量', N'數量')");
  RecordsetPtr rs = GetTemplateData(info(), Para());
  EXPECT_EQ(Column(rs, "FCaption"), (std::vector<std::string>{"收货人", "订单号"}));
  LogInAs(16394, " cht ");
  rs = GetTemplateData(info(), Para({{"lClassTypeID", Variant(1014301)}}));
  EXPECT_EQ(Column(rs, "FCaption"), (std::vector<std::string>{"數量"}));
  LogInAs(16394, "");
  EXPECT_EQ(Column(GetTemplateData(info(), Para()), "FCaption").size(), 2u);
  EXPECT_THROW(GetTemplateData(info(), Para({{"lClassTypeID", Variant("1 or 1=1")}})), ComError);
  EXPECT_EQ(GetTemplateData(info(), NewDictionary()), nullptr);
}

}  // namespace
}  // namespace ambit
