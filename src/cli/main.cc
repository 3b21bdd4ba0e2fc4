// ambit-order: the command line of the order back office. Each sub-command lives in its own file
// and registers itself through one entry of kCommands.
#include <CLI/CLI.hpp>

#include "base/version.h"
#include "cli/account_command.h"
#include "cli/call_command.h"
#include "cli/serve_command.h"
#include "cli/sql_command.h"
#include "cli/token_command.h"

namespace {

using AddCommand = void (*)(CLI::App& app, int* exit_code);

constexpr AddCommand kCommands[] = {
    &ambit::cli::AddSqlCommand,
    &ambit::cli::AddServeCommand,
    &ambit::cli::AddCallCommand,
    &ambit::cli::AddMethodsCommand,
    &ambit::cli::AddAccountCommand,
    &ambit::cli::AddTokenCommand,
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ambit-order: middle tier of the online-shop order back office"};
  app.set_version_flag("--version", std::string("ambit-order ") + ambit::kVersion);
  app.require_subcommand(1);
  app.footer("Run 'ambit-order <command> --help' for the options of a command.");
  int exit_code = 0;
  for (AddCommand add : kCommands) add(app, &exit_code);
  CLI11_PARSE(app, argc, argv);
  return exit_code;
}
