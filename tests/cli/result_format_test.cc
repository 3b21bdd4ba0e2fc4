// The shell's table and JSON output: alignment by display width (a CJK character takes two
// columns), decimals at the column's scale, NULL and line breaks that would break the layout.
#include "cli/result_format.h"

#include "cli/display_width.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace ambit::cli {
namespace {

FieldInfo Field(std::string name, DataType type, uint8_t scale = 0) {
  FieldInfo f;
  f.name = std::move(name);
  f.type = type;
  f.scale = scale;
  return f;
}

TEST(ResultFormatTest, AlignsColumnsAndCountsRows) {
  Recordset rs({Field("FID", DataType::kInteger), Field("FName", DataType::kVarWChar),
                Field("FAmount", DataType::kDecimal, 2)},
               {{Variant(int32_t{7}), Variant("中文"), Variant(12.5)},
                {Variant(int32_t{1234}), Variant::Null(), Variant(-0.125)}});
  EXPECT_EQ(FormatTable(rs),
            "FID   FName  FAmount\n"
            "----  -----  -------\n"
            "   7  中文     12.50\n"
            "1234  NULL     -0.13\n"
            "\n"
            "(2 rows affected)\n");
}

TEST(ResultFormatTest, WideCharactersTakeTwoColumns) {
  EXPECT_EQ(DisplayWidth("abc"), 3u);
  EXPECT_EQ(DisplayWidth("中文"), 4u);
  EXPECT_EQ(DisplayWidth("ｶﾀｶﾅ"), 4u);      // halfwidth katakana: one column each
  EXPECT_EQ(DisplayWidth("ＡＢ한글"), 8u);    // fullwidth Latin and Hangul: two
  EXPECT_EQ(DisplayWidth("e\u0301"), 1u);   // a combining accent adds nothing
  EXPECT_EQ(DisplayWidth("\xff\xfe"), 2u);  // broken UTF-8 still advances
  Recordset rs({Field("名称", DataType::kVarWChar), Field("n", DataType::kInteger)},
               {{Variant("订单"), Variant(int32_t{1})}, {Variant("ab"), Variant(int32_t{22})}});
  EXPECT_EQ(FormatTable(rs),
            "名称  n\n"
            "----  --\n"
            "订单   1\n"
            "ab    22\n"
            "\n"
            "(2 rows affected)\n");
  EXPECT_EQ(FormatVertical(rs),
            "-[ row 1 ]--------\n名称 | 订单\nn    | 1\n"
            "-[ row 2 ]--------\n名称 | ab\nn    | 22\n"
            "\n(2 rows affected)\n");
}

TEST(ResultFormatTest, EmptyResultAndSingularCount) {
  Recordset empty({Field("a", DataType::kVarChar)}, {});
  EXPECT_EQ(FormatTable(empty), "a\n-\n\n(0 rows affected)\n");
  EXPECT_EQ(RowsAffected(1), "(1 row affected)");
  EXPECT_EQ(RowsAffected(3), "(3 rows affected)");
}

TEST(ResultFormatTest, CellsKeepOneLineAndShowTypes) {
  FieldInfo text = Field("t", DataType::kVarChar);
  EXPECT_EQ(FormatCell(Variant("a\r\nb\tc"), text), "a  b c");
  EXPECT_EQ(FormatCell(Variant::Null(), text), "NULL");
  EXPECT_EQ(FormatCell(Variant(true), Field("b", DataType::kBoolean)), "1");
  EXPECT_EQ(FormatCell(Variant(2.5), Field("f", DataType::kDouble)), "2.5");
  EXPECT_EQ(FormatCell(Variant(3.0), Field("m", DataType::kCurrency, 4)), "3.0000");
  EXPECT_EQ(FormatCell(Variant(int64_t{1} << 40), Field("g", DataType::kBigInt)), "1099511627776");
}

TEST(ResultFormatTest, JsonHasColumnsWithTypesAndRows) {
  Recordset rs({Field("FID", DataType::kInteger), Field("FName", DataType::kVarChar)},
               {{Variant(int32_t{1}), Variant("x")}, {Variant(int32_t{2}), Variant::Null()}});
  nlohmann::ordered_json j = nlohmann::ordered_json::parse(FormatJson(rs));
  ASSERT_EQ(j["columns"].size(), 2u);
  EXPECT_EQ(j["columns"][0]["name"], "FID");
  EXPECT_EQ(j["columns"][0]["type"], "int");
  EXPECT_EQ(j["rows"], nlohmann::ordered_json::parse(R"([[1,"x"],[2,null]])"));
  EXPECT_EQ(FormatJson(rs).find('\n'), std::string::npos);
}

}  // namespace
}  // namespace ambit::cli
