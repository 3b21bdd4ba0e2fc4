#include "frame/collections.h"

#include <gtest/gtest.h>

#include "base/com_error.h"
#include "frame/text_services.h"
#include "frame/variant_json.h"

namespace ambit {
namespace {

// A method that changes the collection it was given, as the filter rewrites "ServiceType".
void RewriteInPlace(const Variant& arg) {
  arg.As<Dictionary>()->SetValue("ServiceType", Variant("2"));
  arg.As<Dictionary>()->Value("Lines").As<Vector>()->Add(Variant(3));
}

TEST(DictionaryTest, ReferenceSemanticsAndOrder) {
  auto d = NewDictionary();
  auto lines = NewVector();
  d->SetValue("sDSN", Variant("Data Source=:memory:"));
  d->SetValue("ServiceType", Variant("1"));
  d->SetValue("Lines", Variant(lines));
  Variant passed(d);
  RewriteInPlace(passed);
  EXPECT_EQ(d->Value("ServiceType"), Variant("2"));
  EXPECT_EQ(lines->Count(), 1);
  // Replacing keeps the position; keys ignore case.
  d->SetValue("servicetype", Variant("3"));
  ASSERT_EQ(d->Count(), 3);
  EXPECT_EQ(d->Name(1), "sDSN");
  EXPECT_EQ(d->Name(2), "ServiceType");
  EXPECT_EQ(d->Value("SERVICETYPE"), Variant("3"));
  EXPECT_TRUE(d->Value("absent").IsEmpty());
  Variant out;
  EXPECT_FALSE(d->Lookup("absent", &out));
  EXPECT_TRUE(d->Lookup("sdsn", &out));
  EXPECT_EQ(out, Variant("Data Source=:memory:"));
  EXPECT_THROW(d->Name(0), ComError);
  EXPECT_THROW(d->Name(4), ComError);
  EXPECT_TRUE(d->Remove("sDSN"));
  EXPECT_EQ(d->Name(1), "ServiceType");
  EXPECT_EQ(d->Value("Lines").As<Vector>(), lines);
}

TEST(DictionaryTest, GetValueTakesTheDefaultsType) {
  auto d = NewDictionary();
  d->SetValue("WebOrderMaxDisplayCount", Variant("500"));
  d->SetValue("NotCheckRefundOnStatus", Variant(1));
  d->SetValue("Blank", Variant());
  d->SetValue("Bad", Variant("many"));
  EXPECT_EQ(d->GetValue("WebOrderMaxDisplayCount", Variant(int16_t{0})), Variant(int16_t{500}));
  EXPECT_EQ(d->GetValue("NotCheckRefundOnStatus", Variant("")), Variant("1"));
  EXPECT_EQ(d->GetValue("Missing", Variant(int16_t{1})), Variant(int16_t{1}));
  EXPECT_EQ(d->GetValue("Blank", Variant("x")), Variant("x"));
  try {
    d->GetValue("Bad", Variant(int16_t{0}));
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), err::kTypeMismatch);
    EXPECT_NE(e.description().find("'Bad'"), std::string::npos);
    EXPECT_NE(e.description().find("'many'"), std::string::npos);
  }
}

TEST(VectorTest, OneBasedItems) {
  Vector v;
  v.Add(Variant(10));
  v.Add(Variant("x"));
  EXPECT_EQ(v.Count(), 2);
  EXPECT_EQ(v.Item(1), Variant(10));
  EXPECT_EQ(v.Item(2), Variant("x"));
  EXPECT_THROW(v.Item(0), ComError);
  EXPECT_THROW(v.Item(3), ComError);
}

TEST(VariantJsonTest, RoundTripOfNestedCollections) {
  nlohmann::ordered_json j = nlohmann::ordered_json::parse(
      R"({"sDSN":"x","FIDs":[1,2,3000000000],"Para":{"Amount":2.5,"On":true,"Note":null}})");
  Variant v = JsonToVariant(j);
  auto d = v.As<Dictionary>();
  ASSERT_TRUE(d);
  auto fids = d->Value("FIDs").As<Vector>();
  ASSERT_TRUE(fids);
  EXPECT_EQ(fids->Item(1).type(), VarType::kLong);
  EXPECT_EQ(fids->Item(3).type(), VarType::kLongLong);
  EXPECT_EQ(d->Value("Para").As<Dictionary>()->Value("Amount"), Variant(2.5));
  EXPECT_TRUE(d->Value("Para").As<Dictionary>()->Value("Note").IsNull());
  // Keys keep the client's order both ways, not the text order.
  EXPECT_EQ(d->Name(1), "sDSN");
  EXPECT_EQ(VariantToJson(v).dump(), j.dump());
}

TEST(VariantJsonTest, NestingIsBounded) {
  bool too_deep = false;
  std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_TRUE(ParseClientJson(deep, &too_deep).is_discarded());
  EXPECT_TRUE(too_deep);
  // Brackets inside strings do not nest.
  Json quoted = ParseClientJson("[\"" + std::string(1000, '[') + "\\\"\"]", &too_deep);
  EXPECT_FALSE(too_deep);
  EXPECT_EQ(quoted[0].get<std::string>().size(), 1001u);
  auto self = NewDictionary();
  self->SetValue("me", Variant(self));
  EXPECT_THROW(VariantToJson(Variant(self)), ComError);
  self->Remove("me");  // breaks the cycle so the dictionary is freed
}

TEST(StringBuilderTest, InsertRemoveAndLength) {
  StringBuilder sb;
  sb.Append("SELECT 1\r\n").Append("FROM t\r\n");
  sb.Insert(1, "-- 订单\r\n");
  EXPECT_EQ(sb.ToString(), "-- 订单\r\nSELECT 1\r\nFROM t\r\n");
  EXPECT_EQ(sb.Length(), 25);  // characters, not bytes
  sb.Remove(1, 7);
  EXPECT_EQ(sb.ToString(), "SELECT 1\r\nFROM t\r\n");
  sb.Remove(1, sb.Length());
  EXPECT_EQ(sb.ToString(), "");
  EXPECT_EQ(sb.Length(), 0);
  sb.Append("abc");
  sb.Remove(2, 100);  // past the end stops at the end
  EXPECT_EQ(sb.ToString(), "a");
  EXPECT_THROW(sb.Remove(5, 1), ComError);
  EXPECT_THROW(sb.Insert(0, "x"), ComError);
}

TEST(FormatTemplateTest, RepeatedMissingAndTwoDigitPlaceholders) {
  std::string grown = FormatTemplate(" %1 OR  (iwe.FID = %2 AND iwee.FEntryID = %3) ",
                                     {Variant("1=0"), Variant(7), Variant(71)});
  EXPECT_EQ(grown, " 1=0 OR  (iwe.FID = 7 AND iwee.FEntryID = 71) ");
  EXPECT_EQ(FormatTemplate("%1-%1-%2", {Variant("a"), Variant(2.5)}), "a-a-2.5");
  EXPECT_EQ(FormatTemplate("%1 and %3", {Variant("a")}), "a and %3");
  EXPECT_EQ(FormatTemplate("100%% of %1%", {Variant(5)}), "100% of 5%");
  std::vector<Variant> ten;
  for (int i = 1; i <= 10; ++i) ten.push_back(Variant(i * 11));
  EXPECT_EQ(FormatTemplate("%10|%1|%9", ten), "110|11|99");
}

}  // namespace
}  // namespace ambit
