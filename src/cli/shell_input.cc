#include "cli/shell_input.h"

#include <editline/readline.h>
#include <langinfo.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace ambit::cli {
namespace {

// The handler reads these; only lock-free atomics and sig_atomic_t are safe there.
std::atomic<Connection*> g_connection{nullptr};
volatile std::sig_atomic_t g_batch_running = 0;
volatile std::sig_atomic_t g_cancelled = 0;
volatile std::sig_atomic_t g_interactive = 0;
volatile std::sig_atomic_t g_prompt_interrupt = 0;
bool g_last_cancelled = false;
struct sigaction g_previous;

void OnInterrupt(int signo) {
  if (g_batch_running) {
    g_cancelled = 1;
    if (Connection* c = g_connection.load()) c->Cancel();
    return;
  }
  if (g_interactive) {
    g_prompt_interrupt = 1;
    return;
  }
  std::signal(signo, SIG_DFL);
  std::raise(signo);
}

class StreamReader : public LineReader {
 public:
  StreamReader(std::istream& in, std::ostream* prompt_out) : in_(in), prompt_out_(prompt_out) {}
  std::optional<std::string> ReadLine(const std::string& prompt, bool* interrupted) override {
    *interrupted = false;
    if (prompt_out_) *prompt_out_ << prompt << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return std::nullopt;
    return line;
  }

 private:
  std::istream& in_;
  std::ostream* prompt_out_;
};

std::string HistoryPath() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.ambit_order_sql_history" : std::string();
}

class EditReader : public LineReader {
 public:
  EditReader() : history_(HistoryPath()) {
    // libedit reads characters through the C library's multibyte functions: without a UTF-8
    // character type it drops every non-ASCII key (Chinese names, for one). The environment's
    // locale is used when it is UTF-8, C.UTF-8 otherwise. Only LC_CTYPE changes, so numbers
    // still print with a point.
    const char* ctype = std::setlocale(LC_CTYPE, "");
    if (ctype == nullptr || std::string_view(nl_langinfo(CODESET)) != "UTF-8") {
      std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    rl_readline_name = "ambit-order-sql";
    // The shell's own handler decides what Ctrl-C means; libedit must not re-raise it.
    rl_catch_signals = 0;
    using_history();
    stifle_history(1000);
    if (!history_.empty()) read_history(history_.c_str());
  }
  ~EditReader() override {
    if (!history_.empty()) write_history(history_.c_str());
  }

  std::optional<std::string> ReadLine(const std::string& prompt, bool* interrupted) override {
    *interrupted = false;
    char* raw = readline(prompt.c_str());
    if (raw == nullptr) {
      if (InterruptScope::TakePromptInterrupt()) {
        *interrupted = true;
        std::cout << "\n";
        return std::string();
      }
      return std::nullopt;
    }
    std::string line(raw);
    std::free(raw);
    if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
    return line;
  }

 private:
  std::string history_;
};

}  // namespace

std::unique_ptr<LineReader> StreamLineReader(std::istream& in, std::ostream* prompt_out) {
  return std::make_unique<StreamReader>(in, prompt_out);
}

std::unique_ptr<LineReader> EditLineReader() { return std::make_unique<EditReader>(); }

InterruptScope::InterruptScope(Connection* connection, bool interactive) {
  g_connection.store(connection);
  g_interactive = interactive ? 1 : 0;
  g_batch_running = 0;
  g_cancelled = 0;
  g_prompt_interrupt = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read at the prompt must return so that the typed lines can be dropped.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &g_previous);
}

InterruptScope::~InterruptScope() {
  sigaction(SIGINT, &g_previous, nullptr);
  g_connection.store(nullptr);
  g_interactive = 0;
}

void InterruptScope::BatchStarted() {
  g_cancelled = 0;
  g_last_cancelled = false;
  g_batch_running = 1;
}

bool InterruptScope::BatchFinished() {
  g_batch_running = 0;
  g_last_cancelled = g_cancelled != 0;
  g_cancelled = 0;
  return g_last_cancelled;
}

bool InterruptScope::LastBatchCancelled() { return g_last_cancelled; }

bool InterruptScope::TakePromptInterrupt() {
  bool interrupted = g_prompt_interrupt != 0;
  g_prompt_interrupt = 0;
  return interrupted;
}

}  // namespace ambit::cli
