#include "cli/sql_command.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "base/text.h"
#include "cli/shell_input.h"
#include "tsql/script_batches.h"

#include "backends/sqlite/sqlite_connection.h"
#ifdef AMBIT_HAVE_ODBC
#include "backends/odbc/odbc_connection.h"
#endif

namespace ambit::cli {
namespace {

bool IsExitLine(std::string_view line) {
  std::string lower = ToLowerAscii(TrimBlanks(line));
  return lower == "exit" || lower == "quit";
}

// "\x", "\x on", "\x off", "\x auto": the display mode it asks for; nullopt for other lines.
std::optional<VerticalMode> VerticalCommand(std::string_view line, VerticalMode current) {
  std::string lower = ToLowerAscii(TrimBlanks(line));
  if (lower.rfind("\\x", 0) != 0) return std::nullopt;
  std::string_view arg = TrimBlanks(std::string_view(lower).substr(2));
  if (arg.empty()) return current == VerticalMode::kOn ? VerticalMode::kOff : VerticalMode::kOn;
  if (arg == "on") return VerticalMode::kOn;
  if (arg == "off") return VerticalMode::kOff;
  if (arg == "auto") return VerticalMode::kAuto;
  return std::nullopt;
}

const char* ModeName(VerticalMode mode) {
  return mode == VerticalMode::kOn ? "on" : mode == VerticalMode::kOff ? "off" : "auto";
}

int RunBatches(Connection& connection, const std::string& text, int repeat,
               const OutputOptions& output, std::ostream& out, std::ostream& err, int first_line) {
  int failed = 0;
  for (int i = 0; i < repeat; ++i) {
    if (!RunBatch(connection, text, output, out, err, first_line)) ++failed;
    if (InterruptScope::LastBatchCancelled()) break;
  }
  return failed;
}

size_t TerminalWidth() {
  struct winsize size {};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  const char* columns = std::getenv("COLUMNS");
  int n = columns ? std::atoi(columns) : 0;
  return n > 0 ? static_cast<size_t>(n) : 80;
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

std::string FormatSqlError(const ComError& e, int first_line) {
  std::string text = "Msg " + std::to_string(e.number()) + ", Level " +
                     std::to_string(e.severity() > 0 ? e.severity() : 16) + ", State " +
                     std::to_string(e.state() > 0 ? e.state() : 1);
  if (!e.procedure().empty()) text += ", Procedure " + e.procedure();
  if (e.line() > 0) {
    text += ", Line " + std::to_string(e.procedure().empty() ? e.line() + first_line - 1 : e.line());
  }
  return text + "\n" + e.description() + "\n";
}

bool RunBatch(Connection& connection, const std::string& batch, const OutputOptions& output,
              std::ostream& out, std::ostream& err, int first_line) {
  std::ostream& message_out = output.json ? err : out;
  std::vector<InfoMessage> messages;
  size_t next_message = 0;
  // Messages raised before result set `index` (all of them for SIZE_MAX).
  auto print_messages = [&](size_t index) {
    for (; next_message < messages.size(); ++next_message) {
      if (static_cast<size_t>(messages[next_message].result_sets_before) > index) break;
      message_out << messages[next_message].text << "\n";
    }
  };
  InterruptScope::BatchStarted();
  RecordsetPtr rs;
  std::optional<ComError> error;
  int error_position = 0;
  try {
    rs = connection.Execute(batch);
    InterruptScope::BatchFinished();
  } catch (const ComError& e) {
    // The terminal echoed ^C where the cursor stood: the report starts on a line of its own.
    if (InterruptScope::BatchFinished()) err << "\n";
    error = e;
    // What the batch produced before the error is shown before it, as SQL Server sends it.
    FailedBatchResults failed = connection.TakeFailedBatchResults();
    rs = failed.results;
    error_position = failed.error_position;
  } catch (const std::exception& e) {
    InterruptScope::BatchFinished();
    err << "Msg 0, Level 16, State 1\n" << e.what() << "\n";
    return false;
  }
  messages = connection.TakeMessages();
  const bool failed = error.has_value();
  auto print_error = [&] {
    out.flush();
    err << FormatSqlError(*error, first_line);
    err.flush();
    error.reset();
  };
  size_t index = 0;
  bool printed = false;
  for (RecordsetPtr set = rs; set; set = set->NextRecordset(), ++index) {
    if (!set->IsOpen() || set->FieldCount() == 0) continue;
    print_messages(index);
    if (error && index >= static_cast<size_t>(error_position)) print_error();
    printed = true;
    if (output.json) {
      out << FormatJson(*set) << "\n";
    } else {
      out << FormatResult(*set, output.vertical, output.terminal_width) << "\n";
    }
  }
  print_messages(SIZE_MAX);
  if (error) print_error();
  if (failed) return false;
  // A batch whose output was its messages says nothing more.
  int64_t affected = rs ? rs->records_affected() : -1;
  if (!printed && !output.json && affected >= 0 && messages.empty()) {
    out << RowsAffected(affected) << "\n";
  }
  return true;
}

int RunScript(Connection& connection, std::string_view script, const OutputOptions& output,
              std::ostream& out, std::ostream& err) {
  int failed = 0;
  for (const tsql::ScriptBatch& batch : tsql::SplitScript(script)) {
    failed += RunBatches(connection, std::string(batch.text), batch.repeat, output, out, err,
                         batch.first_line);
    if (InterruptScope::LastBatchCancelled()) break;
  }
  return failed;
}

int RunInteractive(Connection& connection, LineReader& in, OutputOptions output,
                   std::ostream& out, std::ostream& err, bool lines_from_batch) {
  tsql::BatchCollector collector;
  int failed = 0;
  while (true) {
    bool interrupted = false;
    std::optional<std::string> line =
        in.ReadLine(std::to_string(collector.pending_lines() + 1) + "> ", &interrupted);
    if (!line) break;
    if (interrupted) {
      collector = tsql::BatchCollector();  // Ctrl-C drops what was typed
      continue;
    }
    if (IsExitLine(*line)) break;
    if (collector.pending_lines() == 0) {
      if (auto mode = VerticalCommand(*line, output.vertical)) {
        output.vertical = *mode;
        out << "Vertical display is " << ModeName(*mode) << ".\n";
        continue;
      }
    }
    if (auto batch = collector.AddLine(*line)) {
      failed += RunBatches(connection, batch->text, batch->repeat, output, out, err,
                           lines_from_batch ? 1 : batch->first_line);
    }
  }
  // Input that ends without GO still runs, as a piped script expects.
  if (auto batch = collector.Finish()) {
    failed += RunBatches(connection, batch->text, batch->repeat, output, out, err,
                         lines_from_batch ? 1 : batch->first_line);
  }
  return failed;
}

int RunInteractive(Connection& connection, std::istream& in, const OutputOptions& output,
                   bool prompt, std::ostream& out, std::ostream& err) {
  std::unique_ptr<LineReader> reader = StreamLineReader(in, prompt ? &out : nullptr);
  int failed = RunInteractive(connection, *reader, output, out, err, prompt);
  if (prompt) out << "\n";
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
    err << FormatSqlError(e);
    return 1;
  }

  OutputOptions output;
  output.json = options.json;
  output.vertical = options.vertical ? VerticalMode::kOn : VerticalMode::kAuto;
  if (&out == &std::cout && isatty(STDOUT_FILENO)) output.terminal_width = TerminalWidth();
  bool script_given = !options.command.empty() || !options.file.empty();
  bool terminal = !script_given && &in == &std::cin && isatty(STDIN_FILENO);
  InterruptScope interrupts(connection.get(), terminal);

  int failed = 0;
  if (!options.command.empty()) failed += RunScript(*connection, options.command, output, out, err);
  if (!options.file.empty() && !InterruptScope::LastBatchCancelled()) {
    failed += RunScript(*connection, script, output, out, err);
  }
  if (terminal) {
    std::unique_ptr<LineReader> reader = EditLineReader();
    failed += RunInteractive(*connection, *reader, output, out, err, true);
    out << "\n";
  } else if (!script_given) {
    failed += RunInteractive(*connection, in, output, false, out, err);
  }
  return failed == 0 ? 0 : 1;
}

void AddSqlCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<SqlOptions>();
  CLI::App* sql = app.add_subcommand(
      "sql",
      "Run T-SQL on an account: -c \"batch\", -f script.sql (batches split at GO lines), or "
      "interactively (end each batch with a line GO; exit or quit leaves; line editing and "
      "history on a terminal). Results print as tables; a table wider than the terminal prints "
      "one field a line instead (\\x in the shell switches that on or off, \\x auto back). "
      "PRINT output appears among the results. Errors print as \"Msg 208, Level 16, State 1, "
      "Line 3\" with the message below. Ctrl-C cancels the running batch (a script stops "
      "there).");
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
                "{\"columns\":[{\"name\",\"type\"}],\"rows\":[[...]]}; PRINT output goes to "
                "standard error");
  sql->add_flag("--vertical", options->vertical,
                "Print every row one field a line (\"name | value\" under \"-[ row N ]\"), "
                "however wide the terminal");
  sql->callback([options, exit_code] { *exit_code = RunSql(*options, std::cin, std::cout, std::cerr); });
}

}  // namespace ambit::cli
