// The accounts one `serve` hosts side by side, read from a file of lines
//
//   # comment
//   shop1 = ./data/shop1.db
//   erp   = Driver=FreeTDS;Server=db1;Port=1433;Database=ERP;UID=ambit;PWD=...;TDS_Version=7.4
//
// Each line names an account (what clients pass as sDsn: letters, digits, "_", "-", ".") and its
// connection string, or the path of an embedded account file. The first account is the default.
#ifndef AMBIT_CLI_ACCOUNTS_FILE_H_
#define AMBIT_CLI_ACCOUNTS_FILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace ambit::cli {

struct AccountEntry {
  std::string name;
  std::string account;  // a connection string or the path of an account file
};

// A ComError naming the line that does not read (no "=", no name, no value, a name given twice).
std::vector<AccountEntry> ParseAccounts(std::string_view text, std::string_view file_name);
std::vector<AccountEntry> ReadAccountsFile(const std::string& path);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_ACCOUNTS_FILE_H_
