#include "cli/account_command.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "accounts/demo_account.h"
#include "base/com_error.h"
#include "cli/sql_command.h"
#include "schema/account.h"
#include "schema/upgrade.h"

namespace ambit::cli {
namespace {

void RemoveAccountFiles(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::filesystem::remove(path + suffix, ignored);
}

// `account create` on a server's database (a connection string that names a Driver or a DSN):
// the same scripts, in one transaction, into a database that has no account yet.
int CreateServerAccount(const AccountOptions& options, std::ostream& out, std::ostream& err) {
  RegisterBackends();
  std::string shown = RedactConnectionString(options.path);
  try {
    ConnectionPtr conn = OpenConnection(options.path);
    if (schema::AccountSchemaVersion(*conn) != 0) {
      err << "ambit-order account: " << shown
          << " already holds an account; an account is never overwritten.\n";
      return 1;
    }
    schema::CreateAccountSchema(*conn, [&](std::string_view what) {
      out << "  " << what << "\n" << std::flush;
    });
  } catch (const ComError& e) {
    err << "ambit-order account: " << e.description() << " (" << e.number() << ")\n";
    return 1;
  }
  out << "create: " << shown << " ready\n";
  return 0;
}

}  // namespace

int RunAccount(const AccountOptions& options, std::ostream& out, std::ostream& err) {
  if (options.action == "create" && options.path.find('=') != std::string::npos &&
      ProviderOf(ConnectionString(options.path)) == "odbc")
    return CreateServerAccount(options, out, err);
  if (std::filesystem::exists(options.path)) {
    err << "ambit-order account: " << options.path
        << " already exists; choose a new path (an account is never overwritten).\n";
    return 1;
  }
  if (auto parent = std::filesystem::path(options.path).parent_path(); !parent.empty())
    std::filesystem::create_directories(parent);
  auto started = std::chrono::steady_clock::now();
  auto step = [&](std::string_view what) { out << "  " << what << "\n" << std::flush; };
  try {
    if (options.action == "create") {
      schema::CreateAccount(options.path, step);
      if (!options.install_dir.empty())
        for (const auto& file : schema::InstallScripts(options.install_dir))
          out << "  wrote " << file.string() << "\n";
    } else if (options.action == "demo") {
      CreateDemoAccount(options.path, step);
    } else {
      GenerateOptions gen;
      gen.orders = options.orders;
      gen.seed = options.seed;
      gen.mix = options.busy ? StateMix::kBusy : StateMix::kRealistic;
      gen.progress = [&](int64_t done, int64_t total) {
        out << "\r  orders " << done << " / " << total << std::flush;
        if (done == total) out << "\n";
      };
      GenerateStats stats =
          CreateGeneratedAccount(options.path, options.shops, options.items, gen, step);
      out << "  " << stats.orders << " orders, " << stats.lines << " lines, " << stats.refunds
          << " refund cases\n";
    }
  } catch (const ComError& e) {
    RemoveAccountFiles(options.path);
    err << "ambit-order account: " << e.description() << " (" << e.number() << ")\n";
    return 1;
  } catch (const std::exception& e) {
    RemoveAccountFiles(options.path);
    err << "ambit-order account: " << e.what() << "\n";
    return 1;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  out << options.action << ": " << options.path << " ready in " << seconds << " s\n";
  return 0;
}

void AddAccountCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<AccountOptions>();
  CLI::App* account = app.add_subcommand(
      "account", "Create account databases on the embedded engine: an empty account, the "
                 "demonstration account, or a large generated one for benchmarks.");
  account->require_subcommand(1);
  auto add_path = [&](CLI::App* sub) {
    sub->add_option("path", options->path, "Account file to create (must not exist)")
        ->required();
  };
  CLI::App* create = account->add_subcommand(
      "create",
      "Schema, ERP procedures and base data; nothing else. The path may instead be an ODBC "
      "connection string (Driver=...;Server=... or DSN=...): the account is then built in that "
      "SQL Server database, which must not hold one yet");
  add_path(create);
  create->add_option("--scripts", options->install_dir,
                     "Also write the T-SQL scripts into this folder (to build a SQL Server "
                     "account with any client that understands GO)");
  CLI::App* demo = account->add_subcommand(
      "demo", "An account with users, shops, items, warehouses, stock, carriers, areas and "
              "100 demonstration orders in every state");
  add_path(demo);
  CLI::App* generate = account->add_subcommand(
      "generate", "A large realistic account: orders of several shops with 1-5 lines each, "
                  "every state, repeat buyers, refunds; the same seed gives the same account");
  add_path(generate);
  generate->add_option("--orders", options->orders, "Number of orders")
      ->capture_default_str()
      ->check(CLI::Range(int64_t{1}, int64_t{50000000}));
  generate->add_option("--shops", options->shops, "Number of shops")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  generate->add_option("--items", options->items, "Number of items")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000000));
  generate->add_option("--seed", options->seed, "Random seed")->capture_default_str();
  generate->add_flag("--busy", options->busy,
                     "Nearly half the orders awaiting review, as on a day the back office is far "
                     "behind (by default a few percent are: most orders are reviewed and shipped)");
  for (CLI::App* sub : {create, demo, generate}) {
    std::string name = sub->get_name();
    sub->callback([options, exit_code, name] {
      options->action = name;
      *exit_code = RunAccount(*options, std::cout, std::cerr);
    });
  }
}

}  // namespace ambit::cli
