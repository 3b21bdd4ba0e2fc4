#include "base/conversions.h"

#include <gtest/gtest.h>

#include <limits>

#include "base/com_error.h"

namespace ambit {
namespace {

int ErrorNumber(auto&& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

TEST(CStrTest, NumbersArePlainDecimalWithFifteenDigits) {
  EXPECT_EQ(CStr(Variant(0.1 + 0.2)), "0.3");
  EXPECT_EQ(CStr(Variant(1e16)), "10000000000000000");
  EXPECT_EQ(CStr(Variant(-0.5)), "-0.5");
  EXPECT_EQ(CStr(Variant(1.0 / 3.0)), "0.333333333333333");
  EXPECT_EQ(CStr(Variant(2.50)), "2.5");
  EXPECT_EQ(CStr(Variant(1e-7)), "0.0000001");
  EXPECT_EQ(CStr(Variant(123456789012.5)), "123456789012.5");
  EXPECT_EQ(CStr(Variant(-0.0)), "0");
  EXPECT_EQ(CStr(Variant(int16_t{-7})), "-7");
  EXPECT_EQ(CStr(Variant(int64_t{9007199254740993})), "9007199254740993");
}

TEST(CStrTest, OtherSubtypes) {
  EXPECT_EQ(CStr(Variant()), "");
  EXPECT_EQ(CStr(Variant(true)), "True");
  EXPECT_EQ(CStr(Variant(MakeDate(2026, 12, 5, 8, 3, 9))), "2026-12-05 08:03:09");
  EXPECT_EQ(ErrorNumber([] { CStr(Variant::Null()); }), err::kInvalidUseOfNull);
}

TEST(IntegerConversionTest, BankersRoundingAndOverflow) {
  EXPECT_EQ(CLng(Variant(2.5)), 2);
  EXPECT_EQ(CLng(Variant(3.5)), 4);
  EXPECT_EQ(CLng(Variant(-2.5)), -2);
  EXPECT_EQ(CLng(Variant(2.51)), 3);
  EXPECT_EQ(CInt(Variant("0.5")), 0);
  EXPECT_EQ(CInt(Variant(" 1.5 ")), 2);
  EXPECT_EQ(CLng(Variant(true)), -1);
  EXPECT_EQ(CLng(Variant()), 0);
  EXPECT_EQ(CInt(Variant(32767.4)), 32767);
  EXPECT_EQ(ErrorNumber([] { CInt(Variant(32767.5)); }), err::kOverflow);
  EXPECT_EQ(ErrorNumber([] { CInt(Variant(int32_t{40000})); }), err::kOverflow);
  EXPECT_EQ(ErrorNumber([] { CLng(Variant(2147483647.5)); }), err::kOverflow);
  EXPECT_EQ(CLng(Variant(-2147483648.0)), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ErrorNumber([] { CLng(Variant(int64_t{1} << 40)); }), err::kOverflow);
  EXPECT_EQ(CLngLng(Variant("12345678901")), 12345678901);
}

TEST(IntegerConversionTest, BadTextNamesTheValue) {
  try {
    CLng(Variant("12a"));
    FAIL() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
    EXPECT_NE(e.description().find("'12a'"), std::string::npos);
    EXPECT_NE(e.description().find("Long"), std::string::npos);
  }
  EXPECT_EQ(ErrorNumber([] { CLng(Variant("")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { CDbl(Variant::Null()); }), err::kInvalidUseOfNull);
}

TEST(IsNumericTest, TextRules) {
  EXPECT_TRUE(IsNumeric(Variant("1.")));
  EXPECT_TRUE(IsNumeric(Variant(" 12 ")));
  EXPECT_TRUE(IsNumeric(Variant("-.5")));
  EXPECT_TRUE(IsNumeric(Variant("+3")));
  EXPECT_FALSE(IsNumeric(Variant("1e3")));
  EXPECT_FALSE(IsNumeric(Variant("-")));
  EXPECT_FALSE(IsNumeric(Variant(".")));
  EXPECT_FALSE(IsNumeric(Variant("1,000")));
  EXPECT_FALSE(IsNumeric(Variant("1.2.3")));
  EXPECT_FALSE(IsNumeric(Variant("")));
  EXPECT_FALSE(IsNumeric(Variant("1 2")));
  EXPECT_TRUE(IsNumeric(Variant(3.5)));
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
}

TEST(ValTest, LeadingNumberOnly) {
  EXPECT_EQ(Val("12abc"), 12);
  EXPECT_EQ(Val(" 1 2 3"), 123);
  EXPECT_EQ(Val("-3.5kg"), -3.5);
  EXPECT_EQ(Val("abc"), 0);
  EXPECT_EQ(Val("."), 0);
  EXPECT_EQ(Val("1e3"), 1000);
  EXPECT_EQ(Val("2e"), 2);
}

TEST(CBoolTest, TextAndNumbers) {
  EXPECT_TRUE(CBool(Variant("true")));
  EXPECT_FALSE(CBool(Variant(" False ")));
  EXPECT_TRUE(CBool(Variant("-1")));
  EXPECT_FALSE(CBool(Variant(0.0)));
  EXPECT_EQ(ErrorNumber([] { CBool(Variant("yes")); }), err::kTypeMismatch);
}

TEST(DateTest, ParsesTheFormsSqlServerAccepts) {
  Date d = MakeDate(2026, 12, 5);
  EXPECT_EQ(ParseDate("2026-12-05"), d);
  EXPECT_EQ(ParseDate("20261205"), d);
  EXPECT_EQ(ParseDate("2026/12/5"), d);
  EXPECT_EQ(ParseDate("12/05/2026"), d);
  EXPECT_EQ(FormatDate(*ParseDate("1900/1/1")), "1900-01-01 00:00:00");
  EXPECT_EQ(FormatDate(*ParseDate("2026-12-05T13:04:05.250")), "2026-12-05 13:04:05");
  EXPECT_EQ(FormatDate(*ParseDate("2026-12-05 1:04 PM")), "2026-12-05 13:04:00");
  EXPECT_FALSE(ParseDate("2026-02-30"));
  EXPECT_FALSE(ParseDate("2026-13-01"));
  EXPECT_FALSE(ParseDate("2026-12-05 25:00"));
  EXPECT_FALSE(ParseDate("yesterday"));
  EXPECT_EQ(ErrorNumber([] { CDate(Variant("2026-02-30")); }), err::kTypeMismatch);
}

TEST(DateTest, SerialsMatchThePlatformEpoch) {
  EXPECT_EQ(MakeDate(1899, 12, 30).serial, 0);
  EXPECT_EQ(MakeDate(1900, 1, 1).serial, 2);
  EXPECT_DOUBLE_EQ(MakeDate(2000, 1, 1, 12).serial, 36526.5);
  // Before the epoch the time of day still counts forward from midnight.
  Date before = MakeDate(1899, 12, 29, 6);
  EXPECT_DOUBLE_EQ(before.serial, -1.25);
  EXPECT_EQ(FormatDate(before), "1899-12-29 06:00:00");
  // A time that rounds up to midnight moves to the next day.
  EXPECT_EQ(FormatDate(Date{MakeDate(2026, 1, 31).serial + 0.9999999999}), "2026-02-01 00:00:00");
}

// Text already in the written form may be written as it stands: only when it names a real
// date that FormatDate gives back unchanged.
TEST(DateTest, FormattedTextIsRecognisedOnlyWhenItRoundTrips) {
  for (const char* s : {"2026-12-05 13:04:05", "2024-02-29 00:00:00", "0100-01-01 23:59:59"}) {
    EXPECT_TRUE(IsFormattedDate(s)) << s;
    EXPECT_EQ(FormatDate(*ParseDate(s)), s);
  }
  for (const char* s : {"2026-02-30 00:00:00", "2023-02-29 00:00:00", "2026-12-05 24:00:00",
                        "2026-12-05 13:60:00", "2026-12-05T13:04:05", "2026-12-05 13:04",
                        "2026-12-05 13:04:05.250", "0099-01-01 00:00:00", "2026-1a-05 13:04:05",
                        "2026-00-05 00:00:00", "2026-13-05 00:00:00", "2026-12-00 00:00:00",
                        "2026-12-05 13:04:/5", "2026-12-05 13:04:05 "})
    EXPECT_FALSE(IsFormattedDate(s)) << s;
}

TEST(CompareTest, MixedSubtypes) {
  EXPECT_EQ(CompareVariants(Variant(int16_t{2}), Variant(2.0)), 0);
  EXPECT_LT(CompareVariants(Variant(9), Variant("10")), 0);  // numeric, not textual
  EXPECT_GT(CompareVariants(Variant("b"), Variant("a")), 0);
  EXPECT_EQ(CompareVariants(Variant(), Variant("")), 0);
  EXPECT_EQ(CompareVariants(Variant(), Variant(0)), 0);
  EXPECT_EQ(ErrorNumber([] { CompareVariants(Variant(1), Variant("x")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { CompareVariants(Variant::Null(), Variant(1)); }),
            err::kInvalidUseOfNull);
}

TEST(VariantTest, SubtypesStayApart) {
  EXPECT_FALSE(Variant(int16_t{1}) == Variant(1));
  EXPECT_TRUE(Variant(1) == Variant(int32_t{1}));
  EXPECT_EQ(Variant("x").type(), VarType::kString);
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_TRUE(Variant(2.0).IsNumber());
  EXPECT_FALSE(Variant(true).IsNumber());
}

}  // namespace
}  // namespace ambit
