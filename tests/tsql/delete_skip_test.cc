// A DELETE that found nothing is skipped while nothing it reads changes, and only then.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tsql/session_test_base.h"

namespace ambit::tsql {
namespace {

// The after-sales cleanup the order saves end with, over small stand-ins of its tables.
constexpr char kCleanup[] =
    "Delete From refund Where FEntryID <> 0 And FEntryID Not In \r\n"
    "(Select FEntryID From lines with(nolock)) \r\n";

class DeleteSkipTest : public SessionTestBase {
 protected:
  void SetUp() override {
    SessionTestBase::SetUp();
    Seed(session_);
  }
  static void Seed(Session& s) {
    s.Execute(
        "CREATE TABLE lines (FEntryID int, FQty int)\n"
        "CREATE TABLE refund (FID int, FEntryID int)\n"
        "CREATE TABLE orders (FID int, FNote varchar(10))\n"
        "INSERT INTO lines VALUES (1, 5), (2, 5)\n"
        "INSERT INTO refund VALUES (1, 1), (2, 2), (3, 0)\n"
        "INSERT INTO orders VALUES (1, '')");
  }
  // Runs sql on s; the rows it deleted, or -1 when it was skipped.
  static int64_t Run(Session& s, const std::string& sql = kCleanup) {
    int64_t skipped = s.delete_skip().skipped();
    int64_t rows = s.Execute(sql)->records_affected();
    return s.delete_skip().skipped() > skipped ? -1 : rows;
  }
};

TEST_F(DeleteSkipTest, SkippedWhileNothingItReadsChangesAndReportsNoRow) {
  // A text is remembered when it comes back.
  EXPECT_EQ(Run(session_), 0);
  EXPECT_EQ(Run(session_), 0);
  EXPECT_EQ(Run(session_), -1);
  // Columns it does not read and tables it does not read change nothing.
  session_.Execute("UPDATE lines SET FQty = 7 WHERE FEntryID = 1");
  session_.Execute("UPDATE orders SET FNote = 'x'\nINSERT INTO orders VALUES (2, '')");
  int64_t skipped = session_.delete_skip().skipped();
  EXPECT_EQ(session_.Execute(kCleanup)->records_affected(), 0);
  EXPECT_EQ(Scalar("DECLARE @n int\nSELECT @n = 5\n" + std::string(kCleanup) +
                   "SELECT @@ROWCOUNT"),
            "0");
  EXPECT_EQ(session_.delete_skip().skipped(), skipped + 2);
}

TEST_F(DeleteSkipTest, RunsAgainAfterEveryChangeItCouldSee) {
  struct Case {
    const char* change;
    int64_t deleted;  // by the cleanup that follows
  };
  const Case cases[] = {
      {"INSERT INTO refund VALUES (4, 9)", 1},
      {"INSERT INTO lines VALUES (3, 1)", 0},
      {"DELETE FROM lines WHERE FEntryID = 2", 1},
      {"UPDATE lines SET fentryid = 2 WHERE FEntryID = 1", 1},  // a column in any case
      {"UPDATE refund SET FEntryID = 3 WHERE FID = 3", 0},
      {"UPDATE t SET FEntryID = 8 FROM refund t WHERE t.FID = 3", 1},
      // A line's key changed by an engine trigger of another table.
      {"CREATE TRIGGER tr ON orders AFTER UPDATE AS "
       "UPDATE lines SET FEntryID = 4 WHERE FEntryID = 2", 0},
      {"INSERT INTO refund VALUES (11, 2)", 0},
      {"UPDATE orders SET FNote = 'y'", 1},
      // Emptied at once, not row by row.
      {"INSERT INTO refund VALUES (12, 3)", 0},
      {"TRUNCATE TABLE lines", 1},
  };
  Run(session_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    Run(session_);
    ASSERT_EQ(Run(session_), -1);
    session_.Execute(c.change);
    EXPECT_EQ(Run(session_), c.deleted);
  }
}

// The UPDATE sets id; the foreign-key action it sets off changes parent in the same table.
TEST_F(DeleteSkipTest, AForeignKeyActionIsNotTheUpdatesOwnChange) {
  session_.Execute(
      "CREATE TABLE node (id int UNIQUE, parent int REFERENCES node (id) ON UPDATE CASCADE)\n"
      "INSERT INTO node VALUES (5, NULL), (6, 5)");
  const std::string sql = "DELETE FROM refund WHERE FEntryID IN (SELECT parent FROM node)";
  EXPECT_EQ(Run(session_, sql), 0);
  EXPECT_EQ(Run(session_, sql), 0);
  EXPECT_EQ(Run(session_, sql), -1);
  session_.Execute("UPDATE node SET id = 2 WHERE id = 5");
  EXPECT_EQ(Run(session_, sql), 1);
}

TEST_F(DeleteSkipTest, ARollbackBringsBackWhatTheCleanupRemoved) {
  Run(session_);
  // A whole transaction, then a savepoint inside one.
  const std::pair<const char*, const char*> kRuns[] = {
      {"BEGIN TRAN", "ROLLBACK"}, {"BEGIN TRAN\nSAVE TRAN s", "ROLLBACK TRAN s"}};
  for (const auto& [begin, rollback] : kRuns) {
    SCOPED_TRACE(begin);
    session_.Execute(std::string("INSERT INTO refund VALUES (4, 9)\n") + begin);
    EXPECT_EQ(Run(session_), 1);
    EXPECT_EQ(Run(session_), 0);
    EXPECT_EQ(Run(session_), -1);
    session_.Execute(rollback);
    EXPECT_EQ(Run(session_), 1);
  }
  session_.Execute("COMMIT");
}

TEST_F(DeleteSkipTest, OnlyDeletesDecidedByTheirTablesAlone) {
  session_.Execute(
      "CREATE VIEW v AS SELECT FEntryID FROM lines\n"
      "GO\n"
      "CREATE TABLE log (n int)\n"
      "CREATE TABLE gone (n int)\n"
      "CREATE TABLE #t (n int)\n"
      "GO\n"
      "CREATE TRIGGER tr ON gone AFTER DELETE AS INSERT INTO log VALUES (1)");
  for (const char* sql : {
           "DELETE FROM refund WHERE FEntryID > 100 AND GETDATE() < '2000-01-01'",
           "DECLARE @k int = 100 DELETE FROM refund WHERE FEntryID = @k",
           "DELETE FROM refund WHERE FEntryID IN (SELECT FEntryID + 100 FROM v)",
           "DELETE FROM refund WHERE FEntryID IN (SELECT n FROM #t)",
           "DELETE FROM refund WHERE NOT EXISTS (SELECT 1 FROM orders)",
           "DELETE TOP (1) FROM refund WHERE FEntryID > 100",
           "DELETE FROM refund OUTPUT deleted.FID WHERE FEntryID > 100",
           "DELETE FROM gone",
       }) {
    SCOPED_TRACE(sql);
    session_.Execute(sql);
    session_.Execute(sql);
    EXPECT_EQ(session_.delete_skip().skipped(), 0);
  }
  // SQL Server fires the trigger for no row too.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM log"), "2");
}

TEST(DeleteSkipSharingTest, ACommitOfAnotherConnectionIsSeen) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("ambit_delete_skip_" + std::to_string(::getpid()) + ".db"))
                         .string();
  {
    Session a, b;
    a.Open(path);
    b.Open(path);
    a.Execute(
        "CREATE TABLE lines (FEntryID int)\nCREATE TABLE refund (FID int, FEntryID int)\n"
        "INSERT INTO lines VALUES (1)\nINSERT INTO refund VALUES (1, 1)");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(a.Execute(kCleanup)->records_affected(), 0);
    ASSERT_EQ(a.delete_skip().skipped(), 1);
    b.Execute("INSERT INTO refund VALUES (2, 9)");
    EXPECT_EQ(a.Execute(kCleanup)->records_affected(), 1);
    EXPECT_EQ(a.delete_skip().skipped(), 1);
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
}

}  // namespace
}  // namespace ambit::tsql
