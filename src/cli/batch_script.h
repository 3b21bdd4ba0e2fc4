// T-SQL scripts as people write them for sqlcmd-like tools: batches separated by lines that hold
// only GO (any case, optionally with a repeat count). GO is no T-SQL keyword, so the engine never
// sees it; the shell splits before it sends anything.
#ifndef AMBIT_CLI_BATCH_SCRIPT_H_
#define AMBIT_CLI_BATCH_SCRIPT_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambit::cli {

struct Batch {
  std::string text;   // lines joined with "\n", without the GO line
  int first_line = 1; // 1-based line of the script where the batch starts
  int repeat = 1;     // "GO 3" runs the batch three times
};

// When `line` is a batch separator, its repeat count (1 for a bare GO); nullopt otherwise.
// "GO" may be surrounded by blanks and followed by a "--" comment; "GO x" or "GOTO" are not
// separators.
std::optional<int> ParseGoLine(std::string_view line);

// Splits a script. Batches that hold only blanks are dropped; the text after the last GO is a
// batch of its own.
std::vector<Batch> SplitBatches(std::string_view script);

// Collects interactive input line by line; a GO line completes a batch.
class BatchCollector {
 public:
  // Returns the completed batch when `line` is a GO line ending a non-blank batch.
  std::optional<Batch> AddLine(std::string_view line);
  // What is left at the end of input, if it is not blank.
  std::optional<Batch> Finish();
  // Lines of the batch being collected (for the prompt's line number).
  int pending_lines() const { return pending_lines_; }

 private:
  std::string text_;
  int pending_lines_ = 0;
  int line_no_ = 0;
  int first_line_ = 1;
};

}  // namespace ambit::cli

#endif  // AMBIT_CLI_BATCH_SCRIPT_H_
