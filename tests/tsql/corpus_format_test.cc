// The corpus reader and comparer decide whether the engine passes, so their mistakes would hide
// engine faults: these tests pin the format and the comparison rules.
#include "tsql/corpus_format.h"

#include <gtest/gtest.h>

namespace ambit::corpus {
namespace {

TEST(CorpusFormatTest, ReadsEveryRecordKindWithLinesAndOptions) {
  const char* text =
      "# a comment between records\n"
      "statement ok\n"
      "CREATE TABLE t (a int)\n"
      "INSERT INTO t VALUES (1)\n"
      "\n"
      "statement error 208 Invalid object name\n"
      "SELECT * FROM nowhere\n"
      "\n"
      "\n"
      "query IT rowsort\n"
      "SELECT a, 'x' FROM t\n"
      "----\n"
      "1 | x\n"
      "2\t(empty)\n"
      "\n"
      "query 1\n"
      "SELECT 1\n"
      "----\n";
  std::vector<Record> records = ParseCorpus(text, "f.test");
  ASSERT_EQ(records.size(), 4u);

  EXPECT_EQ(records[0].kind, RecordKind::kStatementOk);
  EXPECT_EQ(records[0].line, 2);
  EXPECT_EQ(records[0].sql, "CREATE TABLE t (a int)\nINSERT INTO t VALUES (1)");

  EXPECT_EQ(records[1].kind, RecordKind::kStatementError);
  EXPECT_EQ(records[1].error_number, 208);
  EXPECT_EQ(records[1].error_text, "Invalid object name");
  EXPECT_EQ(records[1].line, 6);

  const Record& q = records[2];
  EXPECT_EQ(q.kind, RecordKind::kQuery);
  EXPECT_EQ(q.column_types, "IT");
  EXPECT_EQ(q.column_count, 2);
  EXPECT_TRUE(q.rowsort);
  ASSERT_EQ(q.expected.size(), 1u);
  EXPECT_EQ(q.expected[0], (TextResult{{"1", "x"}, {"2", ""}}));

  // A query with no rows at the end of the file still has one (empty) result set.
  EXPECT_EQ(records[3].column_types, "");
  EXPECT_EQ(records[3].column_count, 1);
  ASSERT_EQ(records[3].expected.size(), 1u);
  EXPECT_TRUE(records[3].expected[0].empty());
}

TEST(CorpusFormatTest, SingleColumnKeepsSeparatorsAndLaterSetsSplitFreely) {
  const char* text =
      "query T\n"
      "SELECT 'a | b'\n"
      "SELECT 1, 2\n"
      "----\n"
      "a | b\n"
      "====\n"
      "1 | 2\n"
      "====\n";
  std::vector<Record> records = ParseCorpus(text, "f.test");
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].expected.size(), 3u);
  EXPECT_EQ(records[0].expected[0], (TextResult{{"a | b"}}));
  EXPECT_EQ(records[0].expected[1], (TextResult{{"1", "2"}}));
  EXPECT_TRUE(records[0].expected[2].empty());
}

TEST(CorpusFormatTest, SkipIfAppliesToTheNextRecordOnly) {
  const char* text =
      "skipif ambit engine rounds wrongly\n"
      "query R\n"
      "SELECT 1.5\n"
      "----\n"
      "2\n"
      "\n"
      "statement ok\n"
      "SELECT 1\n";
  std::vector<Record> records = ParseCorpus(text, "f.test");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].skip_reason, "engine rounds wrongly");
  EXPECT_EQ(records[1].skip_reason, "");
}

TEST(CorpusFormatTest, ConnectionLinesSwitchTheFollowingRecords) {
  const char* text =
      "statement ok\n"
      "SELECT 1\n"
      "\n"
      "connection other\n"
      "statement ok\n"
      "SELECT 2\n"
      "\n"
      "statement ok\n"
      "SELECT 3\n"
      "\n"
      "connection default\n"
      "statement ok\n"
      "SELECT 4\n";
  std::vector<Record> records = ParseCorpus(text, "f.test");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].connection, "default");
  EXPECT_EQ(records[1].connection, "other");
  EXPECT_EQ(records[2].connection, "other");
  EXPECT_EQ(records[3].connection, "default");
  EXPECT_EQ(ConnectionNames(records), (std::vector<std::string>{"default", "other"}));
  EXPECT_EQ(ConnectionNames(ParseCorpus("statement ok\nSELECT 1\n", "f.test")),
            (std::vector<std::string>{"default"}));
}

TEST(CorpusFormatTest, RejectsMalformedFilesNamingTheLine) {
  struct Case {
    const char* text;
    const char* message_part;
  };
  const Case cases[] = {
      {"statement maybe\nSELECT 1\n", "f.test:1:"},
      {"statement error\nSELECT 1\n", "needs a number"},
      {"statement ok\n\n", "without a batch"},
      {"statement ok\nSELECT 1\n----\n1\n", "only a query"},
      {"query I\nSELECT 1\n", "without '----'"},
      {"query IX\nSELECT 1\n----\n1\n", "type letter 'X'"},
      {"query 0\nSELECT 1\n----\n", "at least one column"},
      {"query II sorted\nSELECT 1, 2\n----\n", "unknown query option"},
      {"query II\nSELECT 1, 2\n----\n1 | 2\n3\n", "f.test:5: row has 1 values"},
      {"statement ok\nSELECT 1\n\nskipif ambit why\n", "skips nothing"},
      {"skipif sqlite reason\nstatement ok\nSELECT 1\n", "skipif ambit"},
      {"connection\nstatement ok\nSELECT 1\n", "connection <name>"},
      {"skipif ambit why\nconnection b\nstatement ok\nSELECT 1\n", "right before a record"},
  };
  for (const Case& c : cases) {
    try {
      ParseCorpus(c.text, "f.test");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const FormatError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos)
          << e.what() << " for: " << c.text;
    }
  }
}

Record QueryRecord(const char* text) { return ParseCorpus(text, "f.test").at(0); }

TEST(CorpusCompareTest, TypeLettersCatchTextThatLooksLikeANumber) {
  Record r = QueryRecord("query T\nSELECT '1' + '2'\n----\n12\n");
  EXPECT_EQ(CompareQuery(r, {{{"c"}, {{Variant("12")}}}}), "");
  std::string why = CompareQuery(r, {{{"c"}, {{Variant(int32_t{12})}}}});
  EXPECT_NE(why.find("expected text"), std::string::npos) << why;

  Record i = QueryRecord("query I\nSELECT 1 + '2'\n----\n3\n");
  EXPECT_EQ(CompareQuery(i, {{{"c"}, {{Variant(int64_t{3})}}}}), "");
  EXPECT_EQ(CompareQuery(i, {{{"c"}, {{Variant(true)}}}}).empty(), false);
  EXPECT_NE(CompareQuery(i, {{{"c"}, {{Variant("3")}}}}), "");
  EXPECT_NE(CompareQuery(i, {{{"c"}, {{Variant(3.0)}}}}), "");
}

TEST(CorpusCompareTest, NumbersCompareByValueAndDatesIgnoreZeroMilliseconds) {
  Record r = QueryRecord("query RD\nSELECT x, d\n----\n12.50 | 2026-12-05 10:00:00.000\n");
  EXPECT_EQ(CompareQuery(r, {{{"x", "d"}, {{Variant(12.5), Variant("2026-12-05 10:00:00")}}}}),
            "");
  EXPECT_EQ(CompareQuery(r, {{{"x", "d"}, {{Variant(int32_t{12}), Variant("x")}}}}).empty(),
            false);
  // 2026-12-05 10:00:00 as a serial date: 46361 days after 1899-12-30, plus 10 hours.
  EXPECT_EQ(CompareQuery(r, {{{"x", "d"}, {{Variant(12.5), Variant(Date{46361 + 10.0 / 24})}}}}),
            "");
  EXPECT_NE(CompareQuery(r, {{{"x", "d"}, {{Variant(12.51), Variant("2026-12-05 10:00:00")}}}}),
            "");
}

TEST(CorpusCompareTest, NullAndEmptyTextAreDistinct) {
  Record r = QueryRecord("query TT\nSELECT a, b\n----\nNULL | (empty)\n");
  EXPECT_EQ(CompareQuery(r, {{{"a", "b"}, {{Variant::Null(), Variant("")}}}}), "");
  EXPECT_NE(CompareQuery(r, {{{"a", "b"}, {{Variant(""), Variant("")}}}}), "");
  EXPECT_NE(CompareQuery(r, {{{"a", "b"}, {{Variant::Null(), Variant::Null()}}}}), "");
}

TEST(CorpusCompareTest, RowOrderMattersUnlessRowsort) {
  const char* rows = "----\n1 | a\n2 | b\n";
  std::vector<ActualResult> reversed = {
      {{"n", "s"}, {{Variant(int32_t{2}), Variant("b")}, {Variant(int32_t{1}), Variant("a")}}}};
  EXPECT_NE(CompareQuery(QueryRecord((std::string("query IT\nSELECT\n") + rows).c_str()),
                         reversed),
            "");
  EXPECT_EQ(CompareQuery(QueryRecord((std::string("query IT rowsort\nSELECT\n") + rows).c_str()),
                         reversed),
            "");
}

TEST(CorpusCompareTest, ReportsCountsAndMissingResultSets) {
  Record r = QueryRecord("query I\nSELECT\n----\n1\n====\n2\n");
  std::string why = CompareQuery(r, {{{"a"}, {{Variant(int32_t{1})}}}});
  EXPECT_NE(why.find("result set 2: missing"), std::string::npos) << why;

  why = CompareQuery(r, {{{"a", "b"}, {}}});
  EXPECT_NE(why.find("2 columns instead of 1"), std::string::npos) << why;

  why = CompareQuery(r, {{{"a"}, {}}, {{"b"}, {{Variant(int32_t{2})}}}});
  EXPECT_NE(why.find("0 rows instead of 1"), std::string::npos) << why;
  EXPECT_NE(why.find("expected:"), std::string::npos) << why;

  // A result set the record does not list is a difference too.
  Record one = QueryRecord("query I\nSELECT\n----\n1\n");
  EXPECT_NE(CompareQuery(one, {{{"a"}, {{Variant(int32_t{1})}}}, {{"b"}, {}}}), "");
}

TEST(CorpusCompareTest, RendersValuesAsTheFilesWriteThem) {
  EXPECT_EQ(RenderValue(Variant::Null()), "NULL");
  EXPECT_EQ(RenderValue(Variant(int16_t{-7})), "-7");
  EXPECT_EQ(RenderValue(Variant(false)), "0");
  EXPECT_EQ(RenderValue(Variant(0.1 + 0.2)), "0.3");
  EXPECT_EQ(RenderValue(Variant(Date{2.5})), "1900-01-01 12:00:00");
  EXPECT_EQ(RenderValue(Variant(Date{46361 + 0.5 / 86400})), "2026-12-05 00:00:00.500");
}

}  // namespace
}  // namespace ambit::corpus
