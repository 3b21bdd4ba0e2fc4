// Splitting scripts at GO lines decides what the engine receives, so a GO mistaken for text (or
// text mistaken for GO) would send broken batches.
#include "tsql/script_batches.h"

#include <gtest/gtest.h>

namespace ambit::tsql {
namespace {

TEST(ScriptBatchesTest, RecognisesGoLinesOnly) {
  EXPECT_EQ(ParseGoLine("GO"), 1);
  EXPECT_EQ(ParseGoLine("  go  "), 1);
  EXPECT_EQ(ParseGoLine("Go\r\n"), 1);
  EXPECT_EQ(ParseGoLine("go ;"), 1);
  EXPECT_EQ(ParseGoLine("GO 3"), 3);
  EXPECT_EQ(ParseGoLine("GO -- end of the setup"), 1);
  EXPECT_EQ(ParseGoLine("GO\t2 -- twice"), 2);

  EXPECT_EQ(ParseGoLine("GOTO done"), std::nullopt);
  EXPECT_EQ(ParseGoLine("GO x"), std::nullopt);
  EXPECT_EQ(ParseGoLine("GO 0"), std::nullopt);
  EXPECT_EQ(ParseGoLine("SELECT 1 GO"), std::nullopt);
  EXPECT_EQ(ParseGoLine("-- GO"), std::nullopt);
  EXPECT_EQ(ParseGoLine("G"), std::nullopt);
  EXPECT_EQ(ParseGoLine(""), std::nullopt);
}

TEST(ScriptBatchesTest, SplitsKeepingLinesAndDroppingEmptyBatches) {
  std::string_view script =
      "CREATE TABLE t (a int)\r\n"
      "go\r\n"
      "-- only a comment\n"
      "GO\n"
      "INSERT INTO t VALUES (1)\n"
      "INSERT INTO t VALUES (2)\n"
      "GO 2\n"
      "SELECT * FROM t -- no GO at the end";
  std::vector<ScriptBatch> batches = SplitScript(script);
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].text, "CREATE TABLE t (a int)\r\n");
  EXPECT_EQ(batches[0].first_line, 1);
  EXPECT_EQ(batches[1].text, "INSERT INTO t VALUES (1)\nINSERT INTO t VALUES (2)\n");
  EXPECT_EQ(batches[1].first_line, 5);
  EXPECT_EQ(batches[1].repeat, 2);
  EXPECT_EQ(batches[2].text, "SELECT * FROM t -- no GO at the end");
  EXPECT_EQ(batches[2].first_line, 8);
  EXPECT_EQ(batches[2].repeat, 1);

  EXPECT_TRUE(SplitScript("").empty());
  EXPECT_TRUE(SplitScript("GO\n  \n/* nothing\nGO\n */\nGO\n").empty());
  EXPECT_EQ(SplitScript("-- open\n/* never /* closed */\nGO\n").size(), 1u);
}

TEST(ScriptBatchesTest, GoInsideCommentsStringsAndNamesIsText) {
  for (std::string_view script : {
           "select 'a\nGO\nb'\n",                  // string
           "select 'it''s\ngo\n'\n",               // doubled quote inside it
           "/* a /* nested */\nGO\n*/ select 1\n",  // comment still open after the inner one
           "select [a\nGO\n]] b] from t\n",        // bracketed name
           "select \"a\nGO\n\" from t\n",          // quoted name
       }) {
    std::vector<ScriptBatch> batches = SplitScript(script);
    ASSERT_EQ(batches.size(), 1u) << script;
    EXPECT_EQ(batches[0].text, script);
  }
  // A "--" comment ends at the line, and a closed string gives GO back.
  std::vector<ScriptBatch> batches = SplitScript("select 1 -- it's\nGO\nselect 'x'\nGO\n");
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[1].text, "select 'x'\n");
}

TEST(ScriptBatchesTest, CollectorCompletesBatchesAtGo) {
  BatchCollector c;
  EXPECT_EQ(c.AddLine("SELECT 1"), std::nullopt);
  EXPECT_EQ(c.pending_lines(), 1);
  EXPECT_EQ(c.AddLine("+ 1\r"), std::nullopt);
  std::optional<BatchCollector::Batch> b = c.AddLine("GO 2");
  ASSERT_TRUE(b.has_value());
  EXPECT_EQ(b->text, "SELECT 1\n+ 1");
  EXPECT_EQ(b->repeat, 2);
  EXPECT_EQ(c.pending_lines(), 0);
  EXPECT_EQ(c.AddLine("GO"), std::nullopt);  // nothing to run
  EXPECT_EQ(c.AddLine("SELECT 'a"), std::nullopt);
  EXPECT_EQ(c.AddLine("GO"), std::nullopt);  // inside the string
  EXPECT_EQ(c.AddLine("'"), std::nullopt);
  std::optional<BatchCollector::Batch> rest = c.Finish();
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(rest->text, "SELECT 'a\nGO\n'");
  EXPECT_EQ(rest->first_line, 5);
  EXPECT_EQ(c.Finish(), std::nullopt);
}

}  // namespace
}  // namespace ambit::tsql
