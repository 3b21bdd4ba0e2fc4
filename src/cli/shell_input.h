// What the interactive `sql` shell reads and how Ctrl-C behaves in it.
//
// Lines come from libedit (editing, history kept in ~/.ambit_order_sql_history) when standard
// input is a terminal, and from the plain stream otherwise, so that piped scripts read exactly
// as before.
//
// Ctrl-C while a batch runs cancels that batch through Connection::Cancel; the shell stays. At
// the interactive prompt it drops the lines typed so far. Anywhere else (a piped script waiting
// for input) it ends the program as usual.
#ifndef AMBIT_CLI_SHELL_INPUT_H_
#define AMBIT_CLI_SHELL_INPUT_H_

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "data/connection.h"

namespace ambit::cli {

class LineReader {
 public:
  virtual ~LineReader() = default;
  // The next line without its line break; nullopt at the end of input. interrupted tells that
  // Ctrl-C ended the line being typed (the caller then drops its pending batch).
  virtual std::optional<std::string> ReadLine(const std::string& prompt, bool* interrupted) = 0;
};

// Reads `in`; writes the prompt to `prompt_out` when it is not null.
std::unique_ptr<LineReader> StreamLineReader(std::istream& in, std::ostream* prompt_out);

// libedit on the process's terminal, with the history file loaded and saved.
std::unique_ptr<LineReader> EditLineReader();

// Installs the Ctrl-C handler for one shell run; the destructor puts the previous one back.
class InterruptScope {
 public:
  // interactive: Ctrl-C at the prompt drops the typed lines instead of ending the program.
  InterruptScope(Connection* connection, bool interactive);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  // Bracket one batch. BatchFinished answers whether Ctrl-C cancelled it, and so does
  // LastBatchCancelled until the next batch starts.
  static void BatchStarted();
  static bool BatchFinished();
  static bool LastBatchCancelled();
  // True (once) when Ctrl-C came while no batch ran.
  static bool TakePromptInterrupt();
};

}  // namespace ambit::cli

#endif  // AMBIT_CLI_SHELL_INPUT_H_
