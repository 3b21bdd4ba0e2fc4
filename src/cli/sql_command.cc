#include "cli/sql_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "base/com_error.h"
#include "cli/batch_script.h"
#include "cli/result_format.h"

#include "backends/sqlite/sqlite_connection.h"
#ifdef AMBIT_HAVE_ODBC
#include "backends/odbc/odbc_connection.h"
#endif

namespace ambit::cli {
namespace {

void PrintError(std::ostream& err, const ComError& e) {
  err << "Msg " << e.number() << ": " << e.description() << "\n";
}

bool IsExitLine(std::string_view line) {
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
    line.remove_suffix(1);
  }
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) {
    line.remove_prefix(1);
  }
  std::string lower(line);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "exit" || lower == "quit";
}

int RunBatches(Connection& connection, const Batch& batch, bool json, std::ostream& out,
               std::ostream& err) {
  int failed = 0;
  for (int i = 0; i < batch.repeat; ++i) {
    if (!RunBatch(connection, batch.text, json, out, err)) ++failed;
  }
  return failed;
}

}  // namespace

void RegisterBackends() {
  RegisterSqliteBackend();
#ifdef AMBIT_HAVE_ODBC
  RegisterOdbcBackend();
#endif
}

std::string AccountConnectionString(std::string_view account) {
  if (account.find('=') != std::string_view::npos) return std::string(account);
  return "Provider=SQLite;Data Source=" + std::string(account);
}

bool RunBatch(Connection& connection, const std::string& batch, bool json, std::ostream& out,
              std::ostream& err) {
  try {
    RecordsetPtr rs = connection.Execute(batch);
    bool printed = false;
    for (RecordsetPtr set = rs; set; set = set->NextRecordset()) {
      if (!set->IsOpen() || set->FieldCount() == 0) continue;
      out << (json ? FormatJson(*set) + "\n" : FormatTable(*set));
      if (!json) out << "\n";
      printed = true;
    }
    if (!printed && !json && rs && rs->records_affected() >= 0) {
      out << RowsAffected(rs->records_affected()) << "\n";
    }
    return true;
  } catch (const ComError& e) {
    PrintError(err, e);
  } catch (const std::exception& e) {
    err << "Msg 0: " << e.what() << "\n";
  }
  return false;
}

int RunScript(Connection& connection, std::string_view script, bool json, std::ostream& out,
              std::ostream& err) {
  int failed = 0;
  for (const Batch& batch : SplitBatches(script)) {
    failed += RunBatches(connection, batch, json, out, err);
  }
  return failed;
}

int RunInteractive(Connection& connection, std::istream& in, bool json, bool prompt,
                   std::ostream& out, std::ostream& err) {
  BatchCollector collector;
  int failed = 0;
  std::string line;
  while (true) {
    if (prompt) out << (collector.pending_lines() + 1) << "> " << std::flush;
    if (!std::getline(in, line)) break;
    if (IsExitLine(line)) break;
    if (auto batch = collector.AddLine(line)) {
      failed += RunBatches(connection, *batch, json, out, err);
    }
  }
  if (prompt) out << "\n";
  // Input that ends without GO still runs, as a piped script expects.
  if (auto batch = collector.Finish()) failed += RunBatches(connection, *batch, json, out, err);
  return failed;
}

int RunSql(const SqlOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
  RegisterBackends();
  std::string script;
  if (!options.file.empty()) {
    std::ifstream f(options.file, std::ios::binary);
    if (!f) {
      err << "cannot read script " << options.file << "\n";
      return 1;
    }
    std::ostringstream text;
    text << f.rdbuf();
    script = text.str();
  }
  bool is_path = options.account.find('=') == std::string::npos;
  if (is_path && options.account != ":memory:" && !std::filesystem::exists(options.account)) {
    err << "no account database at " << options.account
        << " (pass \"Provider=SQLite;Data Source=" << options.account
        << "\" to create a new one)\n";
    return 1;
  }

  ConnectionPtr connection;
  try {
    connection = OpenConnection(AccountConnectionString(options.account));
  } catch (const ComError& e) {
    PrintError(err, e);
    return 1;
  }

  int failed = 0;
  if (!options.command.empty()) failed += RunScript(*connection, options.command, options.json, out, err);
  if (!options.file.empty()) failed += RunScript(*connection, script, options.json, out, err);
  if (options.command.empty() && options.file.empty()) {
    bool prompt = &in == &std::cin && isatty(STDIN_FILENO);
    failed += RunInteractive(*connection, in, options.json, prompt, out, err);
  }
  return failed == 0 ? 0 : 1;
}

void AddSqlCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<SqlOptions>();
  CLI::App* sql = app.add_subcommand(
      "sql",
      "Run T-SQL on an account: -c \"batch\", -f script.sql (batches split at GO lines), or "
      "interactively (end each batch with a line GO; exit or quit leaves).");
  sql->add_option("account", options->account,
                  "Connection string (\"Provider=SQLite;Data Source=path\") or path of an "
                  "account .db file")
      ->capture_default_str();
  CLI::Option* command =
      sql->add_option("-c,--command", options->command, "Run this batch and exit");
  sql->add_option("-f,--file", options->file, "Run this script and exit")
      ->check(CLI::ExistingFile)
      ->excludes(command);
  sql->add_flag("--json", options->json,
                "Print each result set as one JSON object per line: "
                "{\"columns\":[{\"name\",\"type\"}],\"rows\":[[...]]}");
  sql->callback([options, exit_code] { *exit_code = RunSql(*options, std::cin, std::cout, std::cerr); });
}

}  // namespace ambit::cli
