// `ambit-order account create|demo|generate PATH`: new account databases on the embedded
// engine, with progress on the terminal.
#ifndef AMBIT_CLI_ACCOUNT_COMMAND_H_
#define AMBIT_CLI_ACCOUNT_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace ambit::cli {

struct AccountOptions {
  std::string action;  // create, demo, generate
  std::string path;
  int64_t orders = 10000;
  int shops = 5;
  int items = 200;
  uint64_t seed = 20261206;
  bool busy = false;  // generate: StateMix::kBusy
  std::string install_dir;  // create --scripts DIR: also write the .sql files there
};

// Exit code 0 on success, 1 with a message on `err` otherwise (nothing half-built is left:
// a failed account file is removed).
int RunAccount(const AccountOptions& options, std::ostream& out, std::ostream& err);

void AddAccountCommand(CLI::App& app, int* exit_code);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_ACCOUNT_COMMAND_H_
