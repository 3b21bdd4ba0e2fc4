// Rows every fresh account carries: code names, log codes, captions, parameters, the
// administrator. The methods read them by the constants of schema/names.h.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/account_fixture.h"

namespace ambit::schema {
namespace {

using ::ambit::testing::AccountTest;
using ::ambit::testing::N;
using ::ambit::testing::Q;
using ::ambit::testing::Scalar;
using ::ambit::testing::ScalarInt;

class BaseDataTest : public AccountTest {
 protected:
  std::string CodeName(int code, int type) {
    return Scalar(conn(), "SELECT FName FROM t_SubMessage WHERE FInterID = " + N(code) +
                              " AND FTypeID = " + N(type));
  }
};

TEST_F(BaseDataTest, EveryStatusCodeHasANameInItsFamily) {
  for (int status = code::kTradeStatusWaitBuyerPay; status <= code::kTradeStatusOther; ++status) {
    EXPECT_NE(CodeName(status, code::kSubMessageTypeTradeStatus), "") << status;
  }
  for (int state = code::kServiceStatusWaitReviewReturn;
       state <= code::kServiceStatusReshipReopened; ++state) {
    EXPECT_NE(CodeName(state, code::kSubMessageTypeServiceStatus), "") << state;
  }
  EXPECT_EQ(CodeName(code::kServiceStatusWaitSignFor, code::kSubMessageTypeServiceStatus),
            "待签收");
  for (int manage : {code::kManageTypeApplyRefund, code::kManageTypeApplyReturn,
                     code::kManageTypeApplyOther, code::kManageTypeAutoReviewRefund,
                     code::kManageTypeAutoReviewReturn, code::kManageTypeAutoReviewExchange,
                     code::kManageTypeSignForReturn, code::kManageTypeSignForKeepTarget,
                     code::kManageTypeSignForNoQuantity, code::kManageTypeRollback,
                     code::kManageTypeReshipApproved, code::kManageTypeReshipRefused,
                     code::kManageTypeReshipRecorded}) {
    EXPECT_NE(CodeName(manage, code::kSubMessageTypeManageType), "") << manage;
  }
  EXPECT_NE(CodeName(code::kServiceCategoryReship, code::kSubMessageTypeServiceCategory), "");
  EXPECT_NE(CodeName(code::kOrderTypeNormal, code::kSubMessageTypeOrderType), "");
  EXPECT_NE(CodeName(code::kOrderTypeAfterSales, code::kSubMessageTypeOrderType), "");
  // The purchase style the purchase bill looks up by its number.
  EXPECT_EQ(ScalarInt(conn(), "SELECT FInterID FROM t_SubMessage WHERE FID='PO02' AND FTypeID=162"),
            code::kPurchaseAreaDefault);
}

TEST_F(BaseDataTest, ShopTypesMapToOrderTypesWithoutClashingWithFixedCodes) {
  // The shop list maps shop types under parent 811 and a fixed set; the two must not overlap,
  // or a shop would get two order types.
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM t_SubMessage WHERE FParentID=811 "
                              "AND FID IN ('03','04','06','08','09','1000')"),
            0);
  EXPECT_GT(ScalarInt(conn(), "SELECT COUNT(*) FROM t_SubMessage WHERE FParentID=811"), 0);
}

TEST_F(BaseDataTest, EveryOperationCodeIsLoggedWithATemplate) {
  for (int op : oplog::kAllCodes) {
    std::string where = " FROM IC_TradeLogType WHERE FOPCode = " + N(op);
    EXPECT_EQ(ScalarInt(conn(), "SELECT FWriteLog" + where), 1) << op;
    EXPECT_NE(Scalar(conn(), "SELECT FOPName" + where), "") << op;
    std::string desc = Scalar(conn(), "SELECT FLogDesc" + where);
    EXPECT_TRUE(desc.find("OldValue") != std::string::npos ||
                desc.find("NewValue") != std::string::npos)
        << op << ": " << desc;
  }
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM IC_TradeLogType"),
            static_cast<int>(std::size(oplog::kAllCodes)));
}

TEST_F(BaseDataTest, WebOrderFieldsHaveCaptionsInEveryLanguage) {
  EXPECT_GT(ScalarInt(conn(), "SELECT COUNT(*) FROM ICClassTableInfo WHERE FCLASSTYPEID = 1014300"),
            30);
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM ICClassTableInfo WHERE FCLASSTYPEID = 1014300 "
                              "AND (FCaption_CHS = '' OR FCaption_CHT = '' OR FCaption_EN = '')"),
            0);
  EXPECT_EQ(Scalar(conn(), "SELECT FCaption_CHS FROM ICClassTableInfo "
                           "WHERE FCLASSTYPEID = 1014300 AND FKey = 'FOrderID'"),
            "本地订单号");
  // Every default grid column names a field of the bill, or the column defaults' inner join
  // would drop it.
  EXPECT_EQ(ScalarInt(conn(), "SELECT COUNT(*) FROM IC_Web2ColumnsDefaultSet t1 "
                              "LEFT JOIN ICClassTableInfo t2 ON t1.FClassTypeID = t2.FClassTypeID "
                              "AND t1.FKey = t2.FKey WHERE t2.FKey IS NULL"),
            0);
}

}  // namespace
}  // namespace ambit::schema
