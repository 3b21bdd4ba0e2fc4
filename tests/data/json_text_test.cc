#include "data/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "data/recordset_json.h"

namespace ambit {
namespace {

using json = nlohmann::ordered_json;

std::string Text(const std::function<void(JsonText&)>& write) {
  JsonText out;
  write(out);
  return out.text();
}

// Clients must not tell the streamed text from the tree's dump: every value the tree can hold
// comes out byte for byte the same.
TEST(JsonTextTest, ValuesAreWrittenAsTheTreeDumpsThem) {
  for (std::string s : {std::string(""), std::string("plain"), std::string("q\"b\\s/"),
                        std::string("\b\f\n\r\t"), std::string("\x01\x1f\x7f", 3),
                        std::string("\0x", 2), std::string("订单 ✓ \xF0\x9F\x98\x80")})
    EXPECT_EQ(Text([&](JsonText& o) { o.String(s); }), json(s).dump()) << s;
  for (double d : {0.0, -0.0, 0.1, 3.0, -2.5, 1e21, 1e-7, 123456789.125, 2.0 / 3,
                   std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()})
    EXPECT_EQ(Text([&](JsonText& o) { o.Double(d); }), json(d).dump()) << d;
  EXPECT_EQ(Text([](JsonText& o) { o.Double(std::nan("")); }), "null");
  EXPECT_EQ(Text([](JsonText& o) { o.Double(INFINITY); }), "null");
  for (int64_t i : {int64_t{0}, int64_t{-1}, std::numeric_limits<int64_t>::min(),
                    std::numeric_limits<int64_t>::max()})
    EXPECT_EQ(Text([&](JsonText& o) { o.Int(i); }), json(i).dump());
}

// Bytes that are not UTF-8 (a stray continuation, a cut sequence, overlong forms, surrogates,
// past U+10FFFF) become U+FFFD, so the answer stays valid JSON and the rest of the text stays.
TEST(JsonTextTest, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string in, out;
  } cases[] = {{"a\xFF" "b", "a" + r + "b"},
               {"\xE4\xB8", r + r},
               {"\xE4\xB8" "a", r + r + "a"},
               {"\xC0\xAF", r + r},
               {"\xE0\x80\x80", r + r + r},
               {"\xED\xA0\x80", r + r + r},
               {"\xF4\x90\x80\x80", r + r + r + r},
               {"x\x80", "x" + r}};
  for (const Case& c : cases) {
    std::string text = Text([&](JsonText& o) { o.String(c.in); });
    EXPECT_EQ(text, "\"" + c.out + "\"");
    EXPECT_FALSE(json::parse(text, nullptr, false).is_discarded());
  }
}

Recordset Numbers(int rows) {
  Recordset rs;
  rs.AppendField("n", DataType::kInteger);
  rs.AppendField(FieldInfo{"amount", DataType::kDecimal, 0, 18, 2});
  rs.AppendField("at", DataType::kDate);
  rs.Open();
  for (int i = 0; i < rows; ++i) {
    rs.AddNew();
    rs.SetValue(0, Variant(i));
    rs.SetValue(1, Variant(i + 0.005001));
    rs.SetValue(2, Variant("2026-12-0" + std::to_string(1 + i % 9) + "T08:30:00"));
  }
  return rs;
}

// A flushed text arrives in pieces that join up to the whole; once the reader refuses a piece,
// writing stops instead of formatting rows for nobody.
TEST(JsonTextTest, FlushedPiecesJoinUpAndARefusalStopsTheRows) {
  Recordset rs = Numbers(500);
  std::string whole = Text([&](JsonText& o) { WriteRecordsetJson(rs, o); });
  json tree = json::parse(whole);
  EXPECT_EQ(tree["rows"][3], json::parse(R"([3, 3.01, "2026-12-04 08:30:00"])"));
  EXPECT_EQ(tree["columns"][1], json::parse(R"({"name": "amount", "type": "decimal",
                                               "precision": 18, "scale": 2})"));

  std::string joined;
  int pieces = 0;
  JsonText streamed(
      [&](std::string_view piece) {
        ++pieces;
        joined.append(piece);
        return true;
      },
      1000);
  WriteRecordsetJson(rs, streamed);
  EXPECT_TRUE(streamed.Flush());
  EXPECT_GT(pieces, 5);
  EXPECT_EQ(joined, whole);

  size_t written = 0;
  pieces = 0;
  JsonText refused(
      [&](std::string_view piece) {
        written += piece.size();
        return ++pieces < 2;
      },
      1000);
  WriteRecordsetJson(rs, refused);
  EXPECT_FALSE(refused.Flush());
  EXPECT_TRUE(refused.failed());
  EXPECT_EQ(pieces, 2);
  EXPECT_LT(written, whole.size() / 5);

  // People get one row a line, and the same values.
  JsonText pretty;
  pretty.set_pretty(true);
  WriteRecordsetJson(rs, pretty);
  EXPECT_EQ(json::parse(pretty.text()), tree);
  EXPECT_NE(pretty.text().find("\n    [3,3.01,\"2026-12-04 08:30:00\"],\n"), std::string::npos);
}

}  // namespace
}  // namespace ambit
