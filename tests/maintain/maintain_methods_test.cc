// The maintenance methods as clients reach them: through AmbitOrderUpdate's table with JSON
// arguments, in/out arguments coming back in "out".
#include <gtest/gtest.h>

#include "classes/invoke_json.h"
#include "maintain/maintain_fixture.h"

namespace ambit::testing {
namespace {

class MaintainMethodsTest : public MaintainTest {
 protected:
  nlohmann::ordered_json Call(std::string_view method, const nlohmann::ordered_json& args) {
    AmbitOrderUpdate update;
    return InvokeJson(AmbitOrderUpdateTable(), update, method, args);
  }
};

TEST_F(MaintainMethodsTest, JsonCallsReachTheDatabaseAndGiveOutArgumentsBack) {
  SeedOrder(conn(), {.fid = 5, .order_id = "WD-5"});
  SeedOrder(conn(), {.fid = 6});
  conn().Execute("update IC_Web2ERPOrders set FCurrencyID = 0 where FID = 5");
  nlohmann::ordered_json r = Call("CheckCurrency", {{"sDsn", kDsn}, {"FID", "5"}});
  EXPECT_EQ(r["result"], false);
  EXPECT_EQ(r["out"]["dicRnt"]["FOrderID"], "WD-5");

  r = Call("SetWebOrderStatus",
           {{"dctPara", {{"sDSN", kDsn}, {"FID", "6"}, {"FOrderStatus", 2}}}});
  EXPECT_EQ(r["result"], true);
  EXPECT_EQ(Int("select FCheckStatus from IC_Web2ERPOrders where FID = 6"), 1);

  auto promotion = InstallPromotion();
  r = Call("CallAddGiftService", {{"PropsString", kDsn}, {"sFID", "6"}, {"sOrderIDs", ""}});
  EXPECT_EQ(r["out"]["sOrderIDs"], "WD1,WD2");
  r = Call("SetWebOrderStatusForNet", {{"iOrderStatus", 1}, {"sDsn", kDsn}, {"sFID", "5,6"}});
  EXPECT_EQ(r["result"], true);
  EXPECT_EQ(Int("select FCheckStatus from IC_Web2ERPOrders where FID = 6"), 0);

  r = Call("SaveOrder", {{"sDsn", kDsn}, {"dctDataCache", {{"6", {{"FBuyerName", "Wang"}}}}}});
  EXPECT_EQ(r["result"], "");
  EXPECT_EQ(Scalar("select FBuyerName from IC_Web2ERPOrders where FID = 6"), "Wang");
}

// A JSON null arrives as Null: where the key list is tested for emptiness it counts as empty,
// as the platform passes a missing text, so the call answers false and touches nothing.
TEST_F(MaintainMethodsTest, NullKeyListsAreEmptyLists) {
  SeedOrder(conn(), {.fid = 6, .order_id = "WD-6"});
  nlohmann::ordered_json para = {{"sDSN", kDsn}, {"FID", nullptr}, {"FFIsRowClose", 1}};
  for (const char* method : {"SetWebOrderStatus", "DeleteWebOrder", "SetWebOrderVoidStatus",
                             "SetWebOrderRowClose", "LockWebOrder", "InvoiceFlag"})
    EXPECT_EQ(Call(method, {{"dctPara", para}})["result"], false) << method;
  nlohmann::ordered_json item = {{"FID", nullptr}, {"FItemID", 3}};
  EXPECT_EQ(Call("ChangeOrderItem", {{"sDsn", kDsn}, {"dctItem", item}})["result"], false);
  EXPECT_EQ(context().begin_call_count, 0);
  EXPECT_EQ(context().abort_count, 0);
  // In the edit cache a null value is an empty text too.
  nlohmann::ordered_json cache = {{"6", {{"FBuyerName", nullptr}}}};
  EXPECT_EQ(Call("SaveOrder", {{"sDsn", kDsn}, {"dctDataCache", cache}})["result"], "");
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrders where FID = 6 and FBuyerName = ''"), 1);
}

}  // namespace
}  // namespace ambit::testing
