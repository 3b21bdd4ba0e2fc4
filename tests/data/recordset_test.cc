#include "data/recordset.h"

#include <gtest/gtest.h>

#include "base/com_error.h"
#include "base/conversions.h"
#include "data/recordset_json.h"

namespace ambit {
namespace {

// A disconnected recordset of order lines, built the way methods build their in-memory tables.
Recordset MakeLines() {
  Recordset rs;
  rs.AppendField("FEntryID", DataType::kInteger);
  rs.AppendField("FItemName", DataType::kVarChar, 80);
  rs.AppendField("FQty", DataType::kDouble);
  rs.Open();
  struct Line {
    int id;
    const char* name;
    double qty;
  };
  for (Line l : {Line{1, "Tea", 2}, Line{2, "Coffee", 0}, Line{3, "tea cup", 5},
                 Line{4, "O'Brien mug", 1}}) {
    rs.AddNew();
    rs.SetValue("FEntryID", Variant(l.id));
    rs.SetValue("FItemName", Variant(l.name));
    rs.SetValue("FQty", Variant(l.qty));
    rs.Update();
  }
  rs.MoveFirst();
  return rs;
}

std::vector<int> VisibleIds(Recordset& rs) {
  std::vector<int> ids;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids.push_back(CLng(rs.Value("FEntryID")));
  return ids;
}

int ErrorNumber(auto&& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

TEST(RecordsetTest, DisconnectedBuildAndNavigate) {
  Recordset rs = MakeLines();
  EXPECT_EQ(rs.RecordCount(), 4);
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(ErrorNumber([&] { rs.Value("FQty"); }), err::kNoCurrentRecord);
  EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), err::kNoCurrentRecord);
  rs.MoveLast();
  EXPECT_EQ(rs.Value("fitemname"), Variant("O'Brien mug"));  // names ignore case
  rs.MoveFirst();
  rs.MovePrevious();
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(ErrorNumber([&] { rs.MoveFirst(); rs.Value("NoSuchField"); }), err::kItemNotFound);
  EXPECT_EQ(ErrorNumber([&] { rs.AppendField("Late", DataType::kInteger); }), err::kObjectOpen);
}

TEST(RecordsetTest, ClosedRecordsetRefusesCursorWork) {
  Recordset rs;
  rs.AppendField("A", DataType::kInteger);
  EXPECT_EQ(ErrorNumber([&] { rs.Eof(); }), err::kObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { rs.AppendField("a", DataType::kInteger); }), err::kInvalidArgument);
  rs.Open();
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 0);
}

TEST(RecordsetFilterTest, ExpressionsCallersUse) {
  Recordset rs = MakeLines();
  rs.SetFilter("FQty >= 1 And FItemName Like 'tea*'");
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{1, 3}));
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.SetFilter("FItemName = 'TEA' Or FEntryID = 2");
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{1, 2}));
  rs.SetFilter("FItemName = 'O''Brien mug'");
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{4}));
  rs.SetFilter("(FEntryID > 1 And FEntryID < 4) And FQty <> 0");
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{3}));
  rs.SetFilter("FEntryID = '3'");  // quoted numbers still compare as numbers
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{3}));
  rs.SetFilter("");
  EXPECT_EQ(rs.RecordCount(), 4);
}

TEST(RecordsetFilterTest, NullsAndBadExpressions) {
  Recordset rs = MakeLines();
  rs.MoveFirst();
  rs.SetValue("FItemName", Variant::Null());
  rs.SetFilter("FItemName = Null");
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{1}));
  rs.SetFilter("FItemName <> 'x'");  // Null never compares
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{2, 3, 4}));
  for (const char* bad : {"FQty >", "Nope = 1", "FQty = 'unterminated", "FQty = 1 And",
                          "(FQty = 1", "FQty ~ 2", "FQty = abc"}) {
    EXPECT_EQ(ErrorNumber([&] { rs.SetFilter(bad); }), 3001) << bad;
    EXPECT_EQ(rs.Filter(), "FItemName <> 'x'") << "a bad filter must keep the old one";
  }
}

TEST(RecordsetFilterTest, LongChainsAndDeepParentheses) {
  Recordset rs = MakeLines();
  std::string ors = "FEntryID = 2";
  for (int i = 0; i < 20000; ++i) ors += " Or FEntryID = " + std::to_string(i + 10);
  rs.SetFilter(ors);
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{2}));
  EXPECT_EQ(ErrorNumber([&] {
              rs.SetFilter(std::string(100000, '(') + "FQty = 1" + std::string(100000, ')'));
            }),
            3001);
}

TEST(RecordsetFilterTest, RowsAddedUnderAFilterStayReachable) {
  Recordset rs = MakeLines();
  rs.SetFilter("FQty > 100");
  EXPECT_EQ(rs.RecordCount(), 0);
  rs.AddNew();
  rs.SetValue("FEntryID", Variant(9));
  EXPECT_EQ(rs.Value("FEntryID"), Variant(9));
  rs.SetFilter("FEntryID = 9");
  EXPECT_EQ(VisibleIds(rs), (std::vector<int>{9}));
}

TEST(RecordsetJsonTest, ColumnsRowsDatesAndScale) {
  FieldInfo amount{"FAmount", DataType::kDecimal, 0, 18, 2};
  FieldInfo when{"FDate", DataType::kDate};
  Recordset rs({FieldInfo{"FID", DataType::kInteger}, amount, when},
               {{Variant(1), Variant(2.005000001), Variant("2026-12-05")},
                {Variant(2), Variant::Null(), Variant(MakeDate(2026, 1, 2, 3, 4, 5))}});
  nlohmann::ordered_json j = RecordsetToJson(rs);
  EXPECT_EQ(j["columns"][1]["type"], "decimal");
  EXPECT_EQ(j["columns"][1]["scale"], 2);
  EXPECT_DOUBLE_EQ(j["rows"][0][1].get<double>(), 2.01);
  EXPECT_EQ(j["rows"][0][2], "2026-12-05 00:00:00");
  EXPECT_TRUE(j["rows"][1][1].is_null());
  EXPECT_EQ(j["rows"][1][2], "2026-01-02 03:04:05");
  rs.SetFilter("FID = 2");
  EXPECT_EQ(RecordsetToJson(rs)["rows"].size(), 1u);
  rs.Close();
  EXPECT_TRUE(RecordsetToJson(rs)["closed"].get<bool>());
}

}  // namespace
}  // namespace ambit
