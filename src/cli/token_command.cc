#include "cli/token_command.h"

#include <CLI/CLI.hpp>
#include <iomanip>
#include <iostream>

#include "base/com_error.h"
#include "server/token_store.h"

namespace ambit::cli {

int RunToken(const TokenOptions& o, std::ostream& out, std::ostream& err) {
  try {
    if (o.action == "add") {
      std::string token = AddToken(o.tokens, o.user_id, o.language, o.note);
      // The file keeps only the digest: this is the one time the token is shown.
      out << token << "\n";
      err << "Added a token for user " << o.user_id << " (" << o.language << ") to " << o.tokens
          << "; it is shown only now. A running server picks it up within a second.\n";
    } else if (o.action == "list") {
      out << std::left << std::setw(14) << "id" << std::setw(8) << "user" << std::setw(10)
          << "language" << std::setw(22) << "created" << "note\n";
      for (const TokenInfo& t : ListTokens(o.tokens))
        out << std::setw(14) << t.id << std::setw(8) << t.user_id << std::setw(10) << t.language
            << std::setw(22) << (t.created.empty() ? "-" : t.created) << t.note << "\n";
    } else {
      int removed = RevokeToken(o.tokens, o.which);
      if (removed == 0) {
        err << "ambit-order token revoke: no token matches '" << o.which << "' in " << o.tokens
            << " (see 'ambit-order token list').\n";
        return 1;
      }
      out << "Revoked; a running server refuses it within a second.\n";
    }
    return 0;
  } catch (const ComError& e) {
    err << "ambit-order token " << o.action << ": " << e.description() << "\n";
    return 1;
  }
}

void AddTokenCommand(CLI::App& app, int* exit_code) {
  auto o = std::make_shared<TokenOptions>();
  CLI::App* token = app.add_subcommand(
      "token", "Manage the server's bearer tokens (stored hashed; `serve` reloads them).");
  token->require_subcommand(1);
  auto file = [o](CLI::App* sub) {
    sub->add_option("--tokens", o->tokens, "Token file of the server")->capture_default_str();
  };
  CLI::App* add = token->add_subcommand("add", "Create a token for a user and print it once");
  add->add_option("--user-id", o->user_id, "ERP user id the token logs in as")->required();
  add->add_option("--language", o->language, "Language code of the user (CHS, CHT, EN)")
      ->capture_default_str();
  add->add_option("--note", o->note, "Who or what the token is for");
  file(add);
  CLI::App* list = token->add_subcommand("list", "List the tokens (ids, users, never tokens)");
  file(list);
  CLI::App* revoke = token->add_subcommand("revoke", "Remove a token");
  revoke->add_option("which", o->which, "An id from 'token list' (8+ digits) or the token")
      ->required();
  file(revoke);
  for (CLI::App* sub : {add, list, revoke})
    sub->callback([o, exit_code, sub] {
      o->action = sub->get_name();
      *exit_code = RunToken(*o, std::cout, std::cerr);
    });
}

}  // namespace ambit::cli
