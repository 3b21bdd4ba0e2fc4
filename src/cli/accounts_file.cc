#include "cli/accounts_file.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "base/com_error.h"
#include "base/text.h"

namespace ambit::cli {
namespace {

constexpr char kSource[] = "ambit-order.serve";

// Names are what clients type as sDsn: letters, digits, "_", "-", ".". A connection string's own
// key in the name's place ("Driver=FreeTDS;...") means the name was left out.
bool IsAccountName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.')
      return false;
  for (const char* key : {"driver", "dsn", "provider", "server"})
    if (EqualsNoCase(name, key)) return false;
  return true;
}

}  // namespace

std::vector<AccountEntry> ParseAccounts(std::string_view text, std::string_view file_name) {
  std::vector<AccountEntry> entries;
  size_t line_number = 0;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    ++line_number;
    std::string_view l = TrimBlanks(line);
    if (l.empty() || l.front() == '#') continue;
    auto where = [&] { return std::string(file_name) + ", line " + std::to_string(line_number); };
    size_t eq = l.find('=');
    std::string name(TrimBlanks(l.substr(0, eq == std::string_view::npos ? l.size() : eq)));
    // Never the line itself in a message: it may hold a password.
    if (eq == std::string_view::npos || !IsAccountName(name))
      throw ComError(err::kInvalidArgument, kSource,
                     where() + ": expected '<account name> = <connection string or file>'");
    std::string account(TrimBlanks(l.substr(eq + 1)));
    if (account.empty())
      throw ComError(err::kInvalidArgument, kSource,
                     where() + ": account '" + name + "' has no connection string");
    for (const AccountEntry& e : entries)
      if (EqualsNoCase(e.name, name))
        throw ComError(err::kInvalidArgument, kSource,
                       where() + ": account '" + name + "' is named twice");
    entries.push_back({std::move(name), std::move(account)});
  }
  if (entries.empty())
    throw ComError(err::kInvalidArgument, kSource, std::string(file_name) + " names no account");
  return entries;
}

std::vector<AccountEntry> ReadAccountsFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw ComError(err::kInvalidArgument, kSource, "Cannot read the accounts file " + path);
  std::ostringstream text;
  text << f.rdbuf();
  return ParseAccounts(text.str(), path);
}

}  // namespace ambit::cli
