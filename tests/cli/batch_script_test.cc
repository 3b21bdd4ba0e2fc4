// Splitting scripts at GO lines decides what the engine receives, so a GO mistaken for text (or
// text mistaken for GO) would send broken batches.
#include "cli/batch_script.h"

#include <gtest/gtest.h>

namespace ambit::cli {
namespace {

TEST(BatchScriptTest, RecognisesGoLinesOnly) {
  EXPECT_EQ(ParseGoLine("GO"), 1);
  EXPECT_EQ(ParseGoLine("  go  "), 1);
  EXPECT_EQ(ParseGoLine("Go\r"), 1);
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

TEST(BatchScriptTest, SplitsKeepingLinesAndDroppingBlankBatches) {
  std::vector<Batch> batches = SplitBatches(
      "CREATE TABLE t (a int)\r\n"
      "go\r\n"
      "\n"
      "GO\n"
      "INSERT INTO t VALUES (1)\n"
      "INSERT INTO t VALUES (2)\n"
      "GO 2\n"
      "SELECT * FROM t -- no GO at the end");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].text, "CREATE TABLE t (a int)");
  EXPECT_EQ(batches[0].first_line, 1);
  EXPECT_EQ(batches[1].text, "INSERT INTO t VALUES (1)\nINSERT INTO t VALUES (2)");
  EXPECT_EQ(batches[1].first_line, 5);
  EXPECT_EQ(batches[1].repeat, 2);
  EXPECT_EQ(batches[2].text, "SELECT * FROM t -- no GO at the end");
  EXPECT_EQ(batches[2].first_line, 8);
  EXPECT_EQ(batches[2].repeat, 1);

  EXPECT_TRUE(SplitBatches("").empty());
  EXPECT_TRUE(SplitBatches("GO\n  \nGO\n").empty());
}

TEST(BatchScriptTest, CollectorCompletesBatchesAtGo) {
  BatchCollector c;
  EXPECT_EQ(c.AddLine("SELECT 1"), std::nullopt);
  EXPECT_EQ(c.pending_lines(), 1);
  EXPECT_EQ(c.AddLine("+ 1"), std::nullopt);
  std::optional<Batch> b = c.AddLine("GO");
  ASSERT_TRUE(b.has_value());
  EXPECT_EQ(b->text, "SELECT 1\n+ 1");
  EXPECT_EQ(c.pending_lines(), 0);
  EXPECT_EQ(c.AddLine("GO"), std::nullopt);  // nothing to run
  EXPECT_EQ(c.AddLine("SELECT 2"), std::nullopt);
  std::optional<Batch> rest = c.Finish();
  ASSERT_TRUE(rest.has_value());
  EXPECT_EQ(rest->text, "SELECT 2");
  EXPECT_EQ(rest->first_line, 5);
  EXPECT_EQ(c.Finish(), std::nullopt);
}

}  // namespace
}  // namespace ambit::cli
