// Gift lines: bulk insertion, folding doubled gifts, and the promotion service after a merge.
#include <gtest/gtest.h>

#include "merge/gift_items.h"
#include "merge/merge_fixture.h"

namespace ambit::testing {
namespace {

class GiftTest : public MergeTest {
 protected:
  static VectorPtr Orders(std::initializer_list<int> fids) {
    VectorPtr v = NewVector();
    for (int fid : fids)
      v->Add(Variant(Dict({{"FID", Variant(fid)}, {"FSiteOrderID", Variant("T" + N(fid))}})));
    return v;
  }
  static DictionaryPtr Gift(int item, double quantity) {
    return Dict({{"FItemID", Variant(item)}, {"FUnitID", Variant(1)},
                 {"FQuantity", Variant(quantity)}, {"FAuxPropID", Variant(3)},
                 {"FGoodsNumber", Variant(2)}});
  }
  static VectorPtr Gifts(std::initializer_list<DictionaryPtr> gifts) {
    VectorPtr v = NewVector();
    for (const DictionaryPtr& g : gifts) v->Add(Variant(g));
    return v;
  }
  int32_t Insert(const VectorPtr& orders, const VectorPtr& gifts) {
    AmbitOrderUpdate update;
    return BatchInsertGiftItems(update, "acc", orders, gifts);
  }
  std::string Gifts(int fid) {
    return Snapshot("IC_Web2ERPOrdersEntry where FIsFree = 1 and FID = " + N(fid),
                    "FIndex, FItemID, FUnitID, FQuantity, FAttrCode, FBarCode, FStockID, "
                    "FPackagedGoods, FSiteOrderID");
  }
};

TEST_F(GiftTest, EveryGiftGoesToEveryOrderAfterItsLastLine) {
  SeedShop(conn(), "SHOP1", "one", 5);
  SeedShop(conn(), "SHOP2", "two");
  SeedOrder(conn(), {.fid = 1, .shop = "SHOP1"});
  SeedOrder(conn(), {.fid = 2, .shop = "SHOP2"});
  SeedLine(conn(), {.fid = 1, .item_id = 9, .index = 4});
  conn().Execute("insert into t_BarCode (FTypeID, FItemID, FBarCode) values (4, 10, '6901'), "
                 "(1, 11, 'other type')");
  ASSERT_EQ(Insert(Orders({1, 2}), Gifts({Gift(10, 1), Gift(11, 2), Gift(12, 1.5)})), 0);

  EXPECT_EQ(Gifts(1),
            "5|10|1|1|3|6901|5|2|T1|\n6|11|1|2|3||5|2|T1|\n7|12|1|1.5|3||5|2|T1|\n");
  // The second shop has no default warehouse.
  EXPECT_EQ(Gifts(2),
            "1|10|1|1|3|6901|0|2|T2|\n2|11|1|2|3||0|2|T2|\n3|12|1|1.5|3||0|2|T2|\n");
  // Stock figures are recomputed once per shop.
  int calls = 0;
  for (const std::string& b : recorder().batches) {
    if (b.find("exec P_UpdateWebOrderStock") == std::string::npos) continue;
    ++calls;
    EXPECT_NE(b.find("exec P_UpdateWebOrderStock 'SHOP1', 0, '1'"), std::string::npos) << b;
    EXPECT_NE(b.find("exec P_UpdateWebOrderStock 'SHOP2', 0, '2'"), std::string::npos) << b;
  }
  EXPECT_EQ(calls, 1);
}

TEST_F(GiftTest, InsertsRunInBatchesOfHundredAndBadInputIsRefused) {
  SeedShop(conn(), "SHOP1", "one");
  std::string fids;
  VectorPtr orders = NewVector();
  for (int fid = 1; fid <= 50; ++fid) {
    SeedOrder(conn(), {.fid = fid});
    orders->Add(Variant(Dict({{"FID", Variant(fid)}, {"FSiteOrderID", Variant("x")}})));
  }
  ASSERT_EQ(Insert(orders, Gifts({Gift(1, 1), Gift(2, 1), Gift(3, 1)})), 0);
  EXPECT_EQ(recorder().CountContaining("INSERT INTO IC_Web2ERPOrdersEntry("), 2);
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FIsFree = 1"), 150);

  std::string before = Snapshot("IC_Web2ERPOrdersEntry", "FEntryID, FID, FItemID");
  VectorPtr gift = Gifts({Gift(1, 1)});
  EXPECT_EQ(Insert(nullptr, gift), -1);
  EXPECT_EQ(Insert(Orders({1}), nullptr), -2);
  EXPECT_EQ(Insert(NewVector(), gift), -3);
  EXPECT_EQ(Insert(Orders({1}), NewVector()), -3);
  VectorPtr no_site = NewVector();
  no_site->Add(Variant(Dict({{"FID", Variant(1)}})));
  EXPECT_EQ(Insert(no_site, gift), -4);
  EXPECT_EQ(Insert(Orders({1}), Gifts({Dict({{"FItemID", Variant(1)}, {"FUnitID", Variant(1)}})})),
            -5);
  // A later gift that is no number fails the call before anything is written.
  DictionaryPtr bad = Gift(2, 1);
  bad->SetValue("FQuantity", Variant("1); drop table t_Item; --"));
  EXPECT_THROW(Insert(Orders({1}), Gifts({Gift(1, 1), bad})), ComError);
  EXPECT_EQ(Snapshot("IC_Web2ERPOrdersEntry", "FEntryID, FID, FItemID"), before);
}

TEST_F(GiftTest, RepeatedGiftsFoldPerWarehouseOnOrdersAwaitingReview) {
  SeedOrder(conn(), {.fid = 1});
  SeedOrder(conn(), {.fid = 2, .status = 2, .check_status = 1});
  int first =
      SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 1, .stock_id = 1, .is_free = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 2, .stock_id = 1, .is_free = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 3, .stock_id = 1, .is_free = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 4, .stock_id = 2, .is_free = 1});
  SeedLine(conn(), {.fid = 1, .item_id = 10, .quantity = 5, .stock_id = 1});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1, .stock_id = 1, .is_free = 1});
  SeedLine(conn(), {.fid = 2, .item_id = 10, .quantity = 1, .stock_id = 1, .is_free = 1});
  AmbitOrderUpdate update;
  EXPECT_EQ(MergeGiftItems(update, "acc"), 0);
  EXPECT_EQ(Snapshot("IC_Web2ERPOrdersEntry where FID = 1",
                     "FEntryID, FStockID, FQuantity, FIsFree"),
            N(first) + "|1|6|1|\n" + N(first + 3) + "|2|4|1|\n" + N(first + 4) + "|1|5|0|\n");
  EXPECT_EQ(Int("select count(*) from IC_Web2ERPOrdersEntry where FID = 2"), 2);
}

TEST_F(GiftTest, PromotionServiceHandsOutGiftsOnlyForReviewedMergedOrders) {
  auto promotion = InstallPromotion();
  SeedOrder(conn(), {.fid = 1});
  SeedOrder(conn(), {.fid = 2, .status = 2, .check_status = 1});
  AmbitOrderUpdate update;
  AddGiftWhenMergeOrder(update, "acc", "1");
  AddGiftWhenMergeOrder(update, "acc", "");
  EXPECT_TRUE(promotion->calls.empty());
  AddGiftWhenMergeOrder(update, "acc", "1,2");
  ASSERT_EQ(promotion->calls.size(), 1u);
  EXPECT_EQ(promotion->calls[0].operation, "CallAddGiftForWebShop");
  EXPECT_EQ(promotion->calls[0].fids, "1,2");
  EXPECT_EQ(promotion->calls[0].props, "acc");
  // Gifts not handed out at review time: the service is left alone.
  SetProfile(conn(), "AddGiftTime", "2");
  AddGiftWhenMergeOrder(update, "acc", "1,2");
  EXPECT_EQ(promotion->calls.size(), 1u);
  EXPECT_THROW(AddGiftWhenMergeOrder(update, "acc", "2 or 1=1"), ComError);
}

}  // namespace
}  // namespace ambit::testing
