// `ambit-order serve`: the application server on one account, or on the several an accounts
// file names (embedded files and SQL Server databases side by side). On first start it builds the
// demo account and a token file with the documented demo token, so a fresh checkout serves
// right away.
#ifndef AMBIT_CLI_SERVE_COMMAND_H_
#define AMBIT_CLI_SERVE_COMMAND_H_

#include <cstddef>
#include <iosfwd>
#include <string>

#include "host/call_gate.h"

namespace CLI {
class App;
}

namespace ambit::cli {

// The token of the demo's administrator (user 16394), written to a new token file.
inline constexpr char kDemoToken[] = "demo-token";

struct ServeOptions {
  std::string listen = "127.0.0.1:8080";
  std::string account = "./data/demo.db";  // file path or connection string
  std::string accounts_file;               // --accounts: several accounts, replaces `account`
  std::string tokens = "./data/tokens.json";
  std::string access_log;  // empty: standard error
  std::string registry;    // key=value registry file, optional
  std::string message_log = "./data/messages.log";
  std::string resources = "./data/resources";  // translation files
  std::string promotion_url;                   // the promotion service; empty: none
  std::string refund_url;                      // the refund service; empty: none
  size_t workers = 0;                          // 0: sized to the machine
  size_t list_slots = 0;                       // order lists at once; 0: one fewer than the cores
  int list_nice = kDefaultHeavyCallNice;       // how far below the other calls lists run
  size_t max_body_bytes = 1 << 20;
  bool client_sql = true;  // "AdvancedFilter" and GetSingleSQLData accepted
  bool run_programs = false;  // RegAsm may start the .NET registration tool
};

// The name clients use for the account: the file's stem ("demo" for ./data/demo.db), or
// "default" for a connection string.
std::string AccountName(const std::string& account);

// Creates the account file when it is missing (the demo account when the build has it),
// showing progress on `out`. False, with the reason on `err`, when it cannot.
bool PrepareAccount(const std::string& account, std::ostream& out, std::ostream& err);

// Writes a token file holding the demo token when there is none at `path`.
void EnsureTokenFile(const std::string& path, std::ostream& out);

// Serves until SIGINT or SIGTERM; exit code 0 after a clean stop, 1 when it cannot start.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

void AddServeCommand(CLI::App& app, int* exit_code);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_SERVE_COMMAND_H_
