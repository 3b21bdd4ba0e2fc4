// `ambit-order sql`: a T-SQL shell on an account. Reads batches from -c, from a script file
// (split at GO lines) or interactively, runs each on one connection and prints every result set.
// An error is printed as "Msg NNN: message" and the shell goes on with the next batch; the exit
// code tells whether any batch failed.
#ifndef AMBIT_CLI_SQL_COMMAND_H_
#define AMBIT_CLI_SQL_COMMAND_H_

#include <iosfwd>
#include <string>
#include <string_view>

#include "data/connection.h"

namespace CLI {
class App;
}

namespace ambit::cli {

inline constexpr char kDefaultAccount[] = "./data/demo.db";

struct SqlOptions {
  std::string account = kDefaultAccount;  // connection string or path of a .db file
  std::string command;                    // -c: one batch (may itself hold GO lines)
  std::string file;                       // -f: a script
  bool json = false;
};

// Registers every backend this build has (the embedded engine, ODBC when built with it).
void RegisterBackends();

// A text with "=" is a connection string already; anything else is the path of an account file.
std::string AccountConnectionString(std::string_view account);

// Runs one batch and prints its result sets (table or JSON) on `out`, or its error on `err`.
// Returns false when the batch failed.
bool RunBatch(Connection& connection, const std::string& batch, bool json, std::ostream& out,
              std::ostream& err);

// Runs every batch of a script; returns how many failed.
int RunScript(Connection& connection, std::string_view script, bool json, std::ostream& out,
              std::ostream& err);

// Reads batches from `in` until end of input or a line "exit"/"quit"; prompts on `out` when
// `prompt` is set. Returns how many batches failed.
int RunInteractive(Connection& connection, std::istream& in, bool json, bool prompt,
                   std::ostream& out, std::ostream& err);

// The whole command: opens the account and runs -c, -f or the interactive shell. Exit code 0
// when every batch succeeded, 1 otherwise (also when the account cannot be opened).
int RunSql(const SqlOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

// Registers the sub-command on the application; its callback stores the exit code.
void AddSqlCommand(CLI::App& app, int* exit_code);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_SQL_COMMAND_H_
