// Default column layouts of the workbench grids, end to end on a fresh account whose layout
// and field tables the tests fill themselves.
#include "columns/column_defaults.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/conversions.h"
#include "classes/classes.h"
#include "support/account_fixture.h"

namespace ambit {
namespace {

using testing::kDsn;

class ColumnsTest : public testing::AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    columns_ = std::make_unique<AmbitColumnsSet>();
    conn().Execute(
        "DELETE FROM IC_Web2ColumnsDefaultSet\r\n"
        "DELETE FROM ICClassTableInfo WHERE FCLASSTYPEID IN (1014300, 1014301)\r\n"
        "INSERT INTO ICClassTableInfo (FCLASSTYPEID, FPage, FKey, FFieldName, FVisible, "
        "FMustInput) VALUES "
        "(1014300, 1, 'FOrderID', 'FOrderID', 2, 1), (1014300, 1, 'FAmount', 'FAmount', 2, 0), "
        "(1014300, 1, 'FZip', 'FZipCode', 2, 0), (1014300, 1, 'FBuyer', 'FBuyerNick', 3, 0), "
        "(1014300, 1, 'FHidden', 'FHidden', 1, 0), (1014300, 2, 'FQty', 'FQuantity', 6, 1), "
        "(1014300, 1, 'FCurrencyName', 'FCurrencyID', 0, 0)\r\n"
        "INSERT INTO IC_Web2ColumnsDefaultSet (FClassTypeID, FListName, FKey, FIndex, FWidth, "
        "FAlign) VALUES "
        "(1014300, 'fpVerified', 'FAmount', 2, 80, 2), "
        "(1014300, 'fpVerified', 'FOrderID', 1, 120, 0), "
        "(1014300, 'fpWait', 'FOrderID', 1, 100, 0), "
        "(1014300, 'fpVerified', 'FGhost', 3, 50, 0), "
        "(1014301, 'fpLines', 'FQtyLine', 1, 60, 1), "
        "(1014300, 'it''s', 'FAmount', 5, 70, 1)");
  }
  void TearDown() override {
    columns_.reset();
    AccountTest::TearDown();
  }

  DictionaryPtr Para(std::initializer_list<std::pair<const char*, Variant>> keys) {
    auto d = NewDictionary();
    d->SetValue("sDSN", Variant(kDsn));
    for (const auto& [key, value] : keys) d->SetValue(key, value);
    return d;
  }
  // "list:key" of each row, in order.
  static std::vector<std::string> Keys(RecordsetPtr rs) {
    std::vector<std::string> out;
    for (; !rs->Eof(); rs->MoveNext())
      out.push_back(CStr(rs->Value("FListName")) + ":" + CStr(rs->Value("FKey")));
    return out;
  }

  AmbitColumnsSet& columns() { return *columns_; }
  std::unique_ptr<AmbitColumnsSet> columns_;
};

using V = std::vector<std::string>;

TEST_F(ColumnsTest, AllGridsInPositionOrderWithTheirRequiredFlags) {
  RecordsetPtr rs = GetColumnsDefaultSet(columns(), Para({}));
  ASSERT_NE(rs, nullptr);
  // Rows without a field entry (FGhost) and the line grid's rows fall out of the join.
  ASSERT_EQ(rs->RecordCount(), 4);
  int last = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    int index = CLng(rs->Value("FIndex"));
    EXPECT_GE(index, last);
    last = index;
    EXPECT_EQ(CLng(rs->Value("FMustInput")), CStr(rs->Value("FKey")) == "FOrderID" ? 1 : 0);
  }
  EXPECT_EQ(GetColumnsDefaultSet(columns(), NewDictionary()), nullptr);  // no "sDSN"
}

TEST_F(ColumnsTest, LineGridKeepsRowsWithoutFieldEntries) {
  RecordsetPtr lines = GetColumnsDefaultSet(columns(), Para({{"FCLASSTYPEID", Variant(1014301)}}));
  EXPECT_EQ(Keys(lines), V{"fpLines:FQtyLine"});
  lines->MoveFirst();
  EXPECT_EQ(CLng(lines->Value("FMustInput")), 0);
  EXPECT_EQ(CLng(lines->Value("FWidth")), 60);

  RecordsetPtr orders = GetColumnsDefaultSet(
      columns(), Para({{"FCLASSTYPEID", Variant("1014300")}, {"FListName", Variant("fpVerified")}}));
  EXPECT_EQ(Keys(orders), (V{"fpVerified:FOrderID", "fpVerified:FAmount"}));
}

TEST_F(ColumnsTest, EachKeyThatCountsNarrowsTheRows) {
  EXPECT_EQ(Keys(GetColumnsDefaultSet(columns(), Para({{"FListName", Variant("it's")}}))),
            V{"it's:FAmount"});
  EXPECT_EQ(Keys(GetColumnsDefaultSet(
                columns(), Para({{"FKey", Variant("FOrderID")}, {"FWidth", Variant(100)}}))),
            V{"fpWait:FOrderID"});
  EXPECT_EQ(Keys(GetColumnsDefaultSet(columns(), Para({{"FAlign", Variant(2)}}))),
            V{"fpVerified:FAmount"});
  EXPECT_EQ(Keys(GetColumnsDefaultSet(columns(), Para({{"FIndex", Variant(5)}}))),
            V{"it's:FAmount"});
  // Zero and empty values do not count.
  EXPECT_EQ(GetColumnsDefaultSet(columns(), Para({{"FIndex", Variant(0)}, {"FKey", Variant("")}}))
                ->RecordCount(),
            4);
  try {
    GetColumnsDefaultSet(columns(), Para({{"FIndex", Variant("1 or 1=1")}}));
    FAIL() << "a number key took text";
  } catch (const ComError& e) {
    EXPECT_EQ(e.source(), "AmbitOrder.AmbitColumnsDefaultSet.GetColumnsDefaultSet");
  }
}

TEST_F(ColumnsTest, FullLayoutAppendsTheVisibleFieldsTheGridLacks) {
  DictionaryPtr layout = GetAllColumnsDefaultSet(
      columns(),
      Para({{"FCLASSTYPEID", Variant(1014300)}, {"FListName", Variant("fpVerified")}}));
  ASSERT_NE(layout, nullptr);
  V keys;
  for (int i = 1; i <= layout->Count(); ++i) {
    EXPECT_EQ(layout->Name(i), std::to_string(i));
    keys.push_back(CStr(layout->Value(layout->Name(i)).As<Dictionary>()->Value("FKey")));
  }
  // Saved columns by position, then the missing visible fields by page and field name;
  // FHidden and FCurrencyName are not shown in grids.
  EXPECT_EQ(keys, (V{"FOrderID", "FAmount", "FGhost", "FBuyer", "FZip", "FQty"}));
  auto saved = layout->Value("2").As<Dictionary>();
  EXPECT_EQ(CLng(saved->Value("FWidth")), 80);
  EXPECT_EQ(CLng(saved->Value("FAlign")), 2);
  auto added = layout->Value("4").As<Dictionary>();
  EXPECT_EQ(CStr(added->Value("FListName")), "fpVerified");
  EXPECT_EQ(CLng(added->Value("FClassTypeID")), 1014300);
  EXPECT_EQ(CLng(added->Value("FIndex")), 0);
  EXPECT_EQ(CLng(added->Value("FWidth")), 10);
  EXPECT_EQ(CLng(added->Value("FAlign")), 1);
  EXPECT_EQ(added->Count(), 6);

  // A grid nobody saved gets every visible field; a name with an apostrophe is quoted.
  DictionaryPtr fresh = GetAllColumnsDefaultSet(
      columns(), Para({{"FCLASSTYPEID", Variant(1014300)}, {"FListName", Variant("it's")}}));
  ASSERT_EQ(fresh->Count(), 5);
  EXPECT_EQ(CStr(fresh->Value("1").As<Dictionary>()->Value("FKey")), "FAmount");

  EXPECT_EQ(GetAllColumnsDefaultSet(columns(), Para({{"FCLASSTYPEID", Variant(1014300)}})),
            nullptr);
}

}  // namespace
}  // namespace ambit
