// `ambit-order token add|list|revoke`: the server's bearer tokens, kept hashed in the token
// file that `serve --tokens` reads (and reloads when it changes).
#ifndef AMBIT_CLI_TOKEN_COMMAND_H_
#define AMBIT_CLI_TOKEN_COMMAND_H_

#include <iosfwd>
#include <string>

namespace CLI {
class App;
}

namespace ambit::cli {

struct TokenOptions {
  std::string action;  // add, list, revoke
  std::string tokens = "./data/tokens.json";
  int user_id = 0;
  std::string language = "CHS";
  std::string note;
  std::string which;  // revoke: an id from `list`, or the token itself
};

// Exit code 0 on success, 1 with a message on `err`.
int RunToken(const TokenOptions& options, std::ostream& out, std::ostream& err);

void AddTokenCommand(CLI::App& app, int* exit_code);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_TOKEN_COMMAND_H_
