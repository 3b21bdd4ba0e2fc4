#include "data/json_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
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
  for (int64_t i : {int64_t{0}, int64_t{9}, int64_t{10}, int64_t{-1}, int64_t{-10},
                    int64_t{99}, int64_t{100}, int64_t{1234567}, std::numeric_limits<int64_t>::min(),
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

// Strings go out in one copy when nothing in them needs escaping, looked at eight bytes at a
// time: whatever needs escaping must be found at every place in and around those words.
TEST(JsonTextTest, EscapesAreFoundWhereverTheyStand) {
  const std::string r = "\xEF\xBF\xBD";
  struct Special {
    std::string in, out;
  } specials[] = {{"\"", "\\\""},    {"\\", "\\\\"}, {"\x01", "\\u0001"},
                  {"\n", "\\n"},     {"\x7f", "\x7f"},   {"\xC3\xA9", "\xC3\xA9"},
                  {"\xFF", r},        {"\xE4\xB8", r + r}, {"\xE8\xAE\xA2", "\xE8\xAE\xA2"}};
  for (size_t length = 0; length <= 34; ++length) {
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789 -_:./";
    std::string plain(length, 'a');
    for (size_t i = 0; i < length; ++i) plain[i] = kLetters[(i * 7) % kLetters.size()];
    std::string expected_plain = json(plain).dump();
    EXPECT_EQ(Text([&](JsonText& o) { o.String(plain); }), expected_plain);
    for (size_t at = 0; at <= length; ++at) {
      for (const Special& sp : specials) {
        std::string in = plain.substr(0, at) + sp.in + plain.substr(at);
        std::string expected = expected_plain.substr(0, at + 1) + sp.out +
                               expected_plain.substr(at + 1);
        EXPECT_EQ(Text([&](JsonText& o) { o.String(in); }), expected) << length << " " << at;
      }
    }
  }
}

// Decimals are written from their digits where that gives what to_chars gives the rounded
// double, whole numbers keeping ".0"; the exponent forms to_chars picks when they are
// shorter (1e+05, 1e-04) and numbers past fifteen digits must come out as before.
TEST(JsonTextTest, DecimalsAreWrittenAsTheRoundedDouble) {
  auto shortest = [](double v) {
    if (!std::isfinite(v)) return std::string("null");
    char buf[40];
    std::string s(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
  };
  std::vector<double> values = {0.0,     -0.0,    -0.001,  0.004,   0.005,    0.0001,  0.00012,
                                0.001,   0.0015,  0.01,    0.1,     1.0,      9.995,   10.0,
                                99999.0, 1e5,     1.2e5,   -1e5,    1e6,      123e5,   52.83,
                                -623.06, 1e14,    99999999999999.99,  999999999999999.0,
                                1e15,    1e16,    1e22,    1e300,   -1e300,   std::nan(""),
                                INFINITY};
  std::mt19937_64 random(7);
  for (int i = 0; i < 3000; ++i) {
    int digits = static_cast<int>(random() % 16);
    double k = static_cast<double>(random() % static_cast<uint64_t>(std::pow(10.0, digits) + 1));
    values.push_back((i % 2 ? -k : k) / std::pow(10.0, static_cast<int>(random() % 9)));
  }
  for (double d : values) {
    for (int scale : {0, 1, 2, 3, 4, 6, 10, 22, 25}) {
      double f = std::pow(10.0, scale);
      EXPECT_EQ(Text([&](JsonText& o) { o.Decimal(d, scale); }), shortest(std::round(d * f) / f))
          << d << " scale " << scale;
    }
    EXPECT_EQ(Text([&](JsonText& o) { o.Double(d); }), shortest(d)) << d;
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
