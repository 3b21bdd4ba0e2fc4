#include "cli/serve_command.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>

#include "aftersales/refund_service.h"
#include "base/com_error.h"
#include "classes/classes.h"
#include "cli/accounts_file.h"
#include "cli/sql_command.h"
#include "frame/client_sql.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "maintain/services.h"
#include "purchase/bill_code_rule.h"
#include "schema/upgrade.h"
#include "server/api_server.h"
#include "server/token_store.h"

#if __has_include("accounts/demo_account.h")
#include "accounts/demo_account.h"
#define AMBIT_SERVE_HAS_DEMO 1
#endif

namespace ambit::cli {
namespace fs = std::filesystem;

std::string AccountName(const std::string& account) {
  if (account.find('=') != std::string::npos) return "default";
  std::string stem = fs::path(account).stem().string();
  return stem.empty() ? "default" : stem;
}

bool IsDefaultAccount(const std::string& account) {
  return fs::path(account).lexically_normal() == fs::path(ServeOptions{}.account).lexically_normal();
}

bool PrepareAccount(const std::string& account, std::ostream& out, std::ostream& err) {
  if (account.find('=') != std::string::npos || fs::exists(account)) return true;
  // Only the default path grows a demo on first start: a mistyped path must not quietly serve
  // invented orders.
  if (!IsDefaultAccount(account)) {
    err << "ambit-order serve: there is no account at " << account
        << ".\n  Create one on purpose with 'ambit-order account create " << account
        << "' (empty) or 'ambit-order account demo " << account
        << "' (demo data),\n  or leave out --account to serve the demo account "
        << ServeOptions{}.account << ".\n";
    return false;
  }
  try {
    if (fs::path parent = fs::path(account).parent_path(); !parent.empty())
      fs::create_directories(parent);
#ifdef AMBIT_SERVE_HAS_DEMO
    out << "First start: building the demo account " << account << "\n" << std::flush;
    CreateDemoAccount(account, [&](std::string_view step) {
      out << "  " << step << "\n" << std::flush;
    });
#else
    out << "First start: this build has no demo account; serving an empty account " << account
        << "\n";
    OpenConnection(AccountConnectionString(account))->Execute("SELECT 1");
#endif
    return true;
  } catch (const ComError& e) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      std::error_code ignored;
      fs::remove(account + suffix, ignored);
    }
    err << "ambit-order serve: cannot create " << account << ": " << e.description() << " ("
        << e.number() << ")\n";
    return false;
  }
}

void EnsureTokenFile(const std::string& path, std::ostream& out) {
  if (fs::exists(path)) return;
  AddKnownToken(path, kDemoToken, 16394, "CHS", "demo administrator");
  out << "Wrote " << path << " with the demo token '" << kDemoToken
      << "' (user 16394); revoke it ('ambit-order token revoke " << kDemoToken
      << "') before serving anyone else.\n";
}

namespace {

// What tells a changed token file from the one loaded: editors replace the file (a new inode)
// or rewrite it in place (a new time or size).
struct FileStamp {
  fs::file_time_type time;
  uintmax_t size = 0;
  ino_t inode = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return stamp;
  std::error_code ignored;
  stamp.time = fs::last_write_time(path, ignored);
  stamp.size = static_cast<uintmax_t>(st.st_size);
  stamp.inode = st.st_ino;
  return stamp;
}

// Loads the token file into the server; a file that does not load leaves the tokens as they
// were, so a typo in an edit never locks everyone out.
void ReloadTokens(ApiServer& server, const std::string& path, const std::string& why,
                  const std::function<void(const std::string&)>& log) {
  try {
    TokenStore tokens = TokenStore::Load(path);
    size_t count = tokens.size();
    server.SetTokens(std::move(tokens));
    log("tokens reloaded (" + why + "): " + std::to_string(count) + " token(s)");
  } catch (const ComError& e) {
    log("tokens NOT reloaded (" + why + "), the previous ones stay: " + e.description());
  }
}

}  // namespace

namespace {

// The accounts to serve: the --accounts file's, or the one --account names (grown into the demo
// on first start). Empty, with the reason on `err`, when they cannot be served.
std::vector<AccountEntry> AccountsToServe(const ServeOptions& options, std::ostream& out,
                                          std::ostream& err) {
  if (options.accounts_file.empty()) {
    if (!PrepareAccount(options.account, out, err)) return {};
    return {{AccountName(options.account), options.account}};
  }
  std::vector<AccountEntry> entries;
  try {
    entries = ReadAccountsFile(options.accounts_file);
  } catch (const ComError& e) {
    err << "ambit-order serve: " << e.description() << "\n";
    return {};
  }
  for (const AccountEntry& e : entries) {
    // A file line never grows a demo: a mistyped path must not serve an empty account.
    if (e.account.find('=') == std::string::npos && !fs::exists(e.account)) {
      err << "ambit-order serve: account '" << e.name << "': there is no account at " << e.account
          << " (create one with 'ambit-order account create|demo " << e.account << "')\n";
      return {};
    }
  }
  return entries;
}

}  // namespace

int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err) {
  RegisterBackends();
  ServerOptions server_options;
  if (!ParseListenAddress(options.listen, &server_options.host, &server_options.port)) {
    err << "ambit-order serve: --listen wants host:port, got '" << options.listen << "'\n";
    return 1;
  }
  std::vector<AccountEntry> served = AccountsToServe(options, out, err);
  if (served.empty()) return 1;
  try {
    EnsureTokenFile(options.tokens, out);
  } catch (const ComError& e) {
    err << "ambit-order serve: " << e.description() << "\n";
    return 1;
  }

  std::ofstream log_file;
  if (!options.access_log.empty()) log_file.open(options.access_log, std::ios::app);
  std::ostream& log = options.access_log.empty() ? std::cerr : log_file;
  std::mutex log_mu;
  server_options.access_log = [&](const std::string& line) {
    std::lock_guard lock(log_mu);
    log << line << std::endl;
  };
  server_options.workers = options.workers;
  server_options.max_body_bytes = options.max_body_bytes;

  try {
    TokenStore tokens = TokenStore::Load(options.tokens);
    HostServicesConfig services;
    services.registry_file = options.registry;
    services.message_log = options.message_log;
    services.resource_dir = options.resources;
    services.run_programs = options.run_programs;
    RegisterHostServices(services);
    for (const std::string& path : InstallResourceFiles(options.resources))
      out << "Wrote the shipped translations " << path << "\n";
    SetClientSqlAllowed(options.client_sql);
    ConfigurePromotionService(options.promotion_url);
    RegisterAccountBillCodeRule();
    ConfigureRefundService(options.refund_url);

    size_t workers = options.workers ? options.workers : DefaultWorkerCount();
    AccountOptions account_options;
    // Beyond these, calls wait for a connection in order of arrival.
    account_options.pool_size = std::min(workers, DefaultConnectionCount());
    account_options.prepare_account = schema::UpgradeAccountSchema;
    AccountRegistry accounts(account_options);
    for (const AccountEntry& e : served)
      accounts.AddAccount(e.name, AccountConnectionString(e.account));
    // Fail now, not on the first request: every account opens and has a schema we can serve.
    auto health_accounts = nlohmann::ordered_json::array();
    for (const AccountEntry& e : served) {
      try {
        ConnectionPool::Lease lease = accounts.PoolFor(e.name)->Acquire();
        health_accounts.push_back({{"name", e.name},
                                   {"backend", lease->BackendName()},
                                   {"schemaVersion", schema::AccountSchemaVersion(*lease)}});
      } catch (const ComError& error) {
        throw ComError(error.number(), error.source(),
                       "account '" + e.name + "': " + error.description());
      }
    }
    server_options.health_details = [health_accounts] {
      // schemaVersion: the default account's, as before there were several. "accounts" stays
      // the list of names that clients (the workbench among them) pick their sDsn from.
      return nlohmann::ordered_json{{"schemaVersion", health_accounts[0]["schemaVersion"]},
                                    {"accountDetails", health_accounts}};
    };
    Dispatcher dispatcher(accounts, AllClassTables(),
                          options.list_slots ? options.list_slots : DefaultHeavyCallSlots(),
                          options.list_nice);
    ApiServer server(dispatcher, std::move(tokens), server_options);

    // Only the waiter below takes these signals: block them before any thread starts, so the
    // workers inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);
    int port = server.Bind();
    out << (served.size() == 1 ? "Serving account " : "Serving accounts ");
    for (size_t i = 0; i < served.size(); ++i)
      out << (i ? ", '" : "'") << served[i].name << "' ("
          << RedactConnectionString(served[i].account) << ")";
    out << " on http://" << server_options.host << ":" << port << " with " << server.workers()
        << " workers; Ctrl-C stops, SIGHUP reloads " << options.tokens << ".\n"
        << "The order workbench: http://" << server_options.host << ":" << port << "/\n"
        << std::flush;
    std::atomic<bool> done = false;
    std::thread waiter([&] {
      FileStamp loaded = StampOf(options.tokens);
      // A second is soon enough for a token edit to take effect, and costs one stat().
      const timespec tick{1, 0};
      while (!done) {
        int signal_number = sigtimedwait(&signals, nullptr, &tick);
        if (signal_number == SIGINT || signal_number == SIGTERM) break;
        FileStamp now = StampOf(options.tokens);
        if (signal_number == SIGHUP || !(now == loaded)) {
          loaded = now;
          ReloadTokens(server, options.tokens, signal_number == SIGHUP ? "SIGHUP" : "file changed",
                       server_options.access_log);
        }
      }
      server.Stop();
    });
    server.Run();
    // Run also ends when the server fails; the waiter then ends at its next tick.
    done = true;
    waiter.join();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    out << "Stopped.\n";
    return 0;
  } catch (const ComError& e) {
    err << "ambit-order serve: " << e.description() << " (" << e.number() << ")\n";
    return 1;
  }
}

void AddServeCommand(CLI::App& app, int* exit_code) {
  auto o = std::make_shared<ServeOptions>();
  CLI::App* serve = app.add_subcommand(
      "serve",
      "Serve the classes over HTTP/JSON: POST /api/{Class}/{Method} with a bearer token, "
      "GET /api for the catalogue, GET /health. Without --account, the first start creates the "
      "demo account ./data/demo.db; a named account must exist.");
  serve->add_option("--listen", o->listen, "host:port to listen on")->capture_default_str();
  CLI::Option* account =
      serve->add_option("--account", o->account, "Account file or connection string")
          ->capture_default_str();
  serve
      ->add_option("--accounts", o->accounts_file,
                   "File of lines '<name> = <connection string or account file>': serve them all "
                   "(clients name one in sDsn; the first is the default)")
      ->excludes(account);
  serve
      ->add_option("--tokens", o->tokens,
                   "JSON file: {\"<token>\": {\"userId\", \"languageCode\", \"loginToken\"}}")
      ->capture_default_str();
  serve->add_option("--access-log", o->access_log, "Access log file (default: standard error)");
  serve->add_option("--registry", o->registry, "Registry values, lines '<key>\\<name>=<value>'");
  serve->add_option("--message-log", o->message_log, "Where operator messages are written")
      ->capture_default_str();
  serve
      ->add_option("--resources", o->resources,
                   "Folder of translation files <base>.<language>.txt (text<TAB>translation)")
      ->capture_default_str();
  serve->add_option("--promotion-url", o->promotion_url,
                    "URL the promotion service calls are posted to (none: gifts are skipped)");
  serve->add_option("--refund-url", o->refund_url,
                    "URL the refund service calls are posted to (none: refunds answer 429)");
  serve->add_option("--workers", o->workers, "Clients served at once (default: 16 per core, min 64)");
  serve->add_option("--list-slots", o->list_slots,
                    "Order lists run at once (default: one fewer than the cores, at least 1)");
  serve->add_option("--list-nice", o->list_nice,
                    "How many nice steps below the other calls the order lists run (0: alike); "
                    "above 0 a lock or lookup takes a core before a running list")
      ->check(CLI::Range(0, 19))
      ->capture_default_str();
  serve->add_option("--max-body", o->max_body_bytes, "Largest request body in bytes")
      ->capture_default_str();
  serve->add_flag("!--no-client-sql", o->client_sql,
                  "Refuse SQL composed by clients: the lists' \"AdvancedFilter\" and "
                  "GetSingleSQLData (both are checked to read only either way)");
  serve->add_flag("--run-programs", o->run_programs,
                  "Let RegAsm start the .NET registration tool on an assembly of the system "
                  "folder (off: RegAsm answers false and logs why)");
  serve->callback([o, exit_code] { *exit_code = RunServe(*o, std::cout, std::cerr); });
}

}  // namespace ambit::cli
