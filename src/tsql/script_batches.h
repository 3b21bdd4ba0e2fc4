// Scripts as people write them for sqlcmd-like tools: batches separated by lines that hold only
// GO. GO is no T-SQL keyword: the splitter, not the parser, sees it. The schema scripts, the
// shell and Session::Execute all split here, so a script means the same wherever it runs.
#ifndef AMBIT_TSQL_SCRIPT_BATCHES_H_
#define AMBIT_TSQL_SCRIPT_BATCHES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambit::tsql {

// When `line` is a batch separator, its repeat count (1 for a bare GO); nullopt otherwise.
// GO, in any case, may be surrounded by blanks and followed by a count, a ";" or a "--"
// comment; "GO x", "GO 0" and "GOTO" are not separators. Whether the line stands inside a
// comment or a string is the caller's to know (GoLineScanner).
std::optional<int> ParseGoLine(std::string_view line);

// Whether the text fed so far ends inside a block comment (they nest), a string or a quoted
// name: a GO line there belongs to the text. Fed whole lines.
class GoLineScanner {
 public:
  void Advance(std::string_view text);
  bool in_code() const { return state_ == State::kCode; }

 private:
  enum class State : uint8_t { kCode, kString, kQuotedName, kBracketName, kComment };
  State state_ = State::kCode;
  int comment_depth_ = 0;
};

// Whether `batch` holds more than blanks and comments: only such batches are sent (and one with
// a comment left open, for the engine to report).
bool HasStatement(std::string_view batch);

struct ScriptBatch {
  std::string_view text;  // the batch's lines as written, line ends included, without the GO
  int first_line = 1;     // 1-based line of the script where the batch starts
  int repeat = 1;         // "GO 3" runs the batch three times
};

// Splits `script` (the batches point into it). Batches of nothing but blanks and comments are
// dropped; the text after the last GO is a batch of its own.
std::vector<ScriptBatch> SplitScript(std::string_view script);

// Collects a script line by line (interactive input); a GO line completes a batch. The batch's
// lines are joined with "\n".
class BatchCollector {
 public:
  struct Batch {
    std::string text;
    int first_line = 1;
    int repeat = 1;
  };
  // Returns the completed batch when `line` is a GO line ending a batch with a statement.
  std::optional<Batch> AddLine(std::string_view line);
  // What is left at the end of input, if it holds a statement.
  std::optional<Batch> Finish();
  // Lines of the batch being collected (for the prompt's line number).
  int pending_lines() const { return pending_lines_; }

 private:
  std::optional<Batch> Take(int repeat);

  GoLineScanner scanner_;
  std::string text_;
  int pending_lines_ = 0;
  int line_no_ = 0;
  int first_line_ = 1;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_SCRIPT_BATCHES_H_
