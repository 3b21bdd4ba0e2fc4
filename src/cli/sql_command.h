// `ambit-order sql`: a T-SQL shell on an account. Reads batches from -c, from a script file
// (split at GO lines) or interactively, runs each on one connection and prints every result set
// and PRINT message in the order the batch made them. An error is printed in SQL Server's form,
// "Msg 208, Level 16, State 1, Line 3" and the message on the next line, and the shell goes on
// with the next batch; the exit code tells whether any batch failed.
#ifndef AMBIT_CLI_SQL_COMMAND_H_
#define AMBIT_CLI_SQL_COMMAND_H_

#include <iosfwd>
#include <string>
#include <string_view>

#include "base/com_error.h"
#include "cli/result_format.h"
#include "data/connection.h"

namespace CLI {
class App;
}

namespace ambit::cli {

class LineReader;

inline constexpr char kDefaultAccount[] = "./data/demo.db";

struct SqlOptions {
  std::string account = kDefaultAccount;  // connection string or path of a .db file
  std::string command;                    // -c: one batch (may itself hold GO lines)
  std::string file;                       // -f: a script
  bool json = false;
  bool vertical = false;                  // --vertical: every result set one field a line
};

// How results are shown.
struct OutputOptions {
  bool json = false;
  VerticalMode vertical = VerticalMode::kAuto;
  size_t terminal_width = 0;  // 0 when standard output is no terminal
};

// Registers every backend this build has (the embedded engine, ODBC when built with it).
void RegisterBackends();

// A text with "=" is a connection string already; anything else is the path of an account file.
std::string AccountConnectionString(std::string_view account);

// "Msg 102, Level 15, State 1, Line 3\nIncorrect syntax near 'x'.\n". first_line is the line of
// the script where the batch starts: lines of a batch count from there, as an editor shows them
// (a procedure's lines count within the procedure).
std::string FormatSqlError(const ComError& e, int first_line = 1);

// Runs one batch and prints its result sets and messages on `out` (messages go to `err` with
// --json, which keeps `out` one JSON object per line), or its error on `err`. Returns false when
// the batch failed.
bool RunBatch(Connection& connection, const std::string& batch, const OutputOptions& output,
              std::ostream& out, std::ostream& err, int first_line = 1);

// Runs every batch of a script; returns how many failed. A batch cancelled with Ctrl-C ends the
// script.
int RunScript(Connection& connection, std::string_view script, const OutputOptions& output,
              std::ostream& out, std::ostream& err);

// Reads batches until end of input or a line "exit"/"quit". A line "\x" switches the vertical
// display on and off ("\x auto" leaves the choice to the width of the table). Returns how many
// batches failed. Error lines count from each batch's first line when lines_from_batch is set
// (as the prompt numbers them), else from the start of the input (a piped script).
int RunInteractive(Connection& connection, LineReader& in, OutputOptions output,
                   std::ostream& out, std::ostream& err, bool lines_from_batch);
// The same on a stream, with a "1> " prompt on `out` when `prompt` is set (lines then count
// from each batch's first).
int RunInteractive(Connection& connection, std::istream& in, const OutputOptions& output,
                   bool prompt, std::ostream& out, std::ostream& err);

// The whole command: opens the account and runs -c, -f or the interactive shell. Exit code 0
// when every batch succeeded, 1 otherwise (also when the account cannot be opened).
int RunSql(const SqlOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

// Registers the sub-command on the application; its callback stores the exit code.
void AddSqlCommand(CLI::App& app, int* exit_code);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_SQL_COMMAND_H_
