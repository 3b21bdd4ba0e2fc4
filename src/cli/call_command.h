// `ambit-order call CLASS.METHOD` and `ambit-order methods`: run any registered method in
// process, through the same dispatcher the server uses, and print the catalogue.
#ifndef AMBIT_CLI_CALL_COMMAND_H_
#define AMBIT_CLI_CALL_COMMAND_H_

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "classes/method_table.h"

namespace CLI {
class App;
}

namespace ambit::cli {

struct CallOptions {
  std::string target;             // "Class.Method"
  std::vector<std::string> args;  // "name=value"; the value is JSON when it parses, else text
  std::string json_args;          // a JSON object or array of all arguments
  std::string account;            // path of an account file or a connection string
  int user_id = 16394;
  std::string language = "CHS";
  bool json_output = false;  // --output json
};

// The arguments of --arg/--json as one JSON value; ArgumentError when they do not parse or both
// forms are given.
nlohmann::ordered_json CallArguments(const CallOptions& options);

// A result or in/out value for people: recordsets as aligned tables, everything else as JSON.
std::string FormatValue(const nlohmann::ordered_json& value);

// Runs the call on `tables`; prints the answer on `out` or the error on `err`. Exit code 0 on
// success, 2 for arguments that do not fit, 1 for any other failure.
int RunCall(const CallOptions& options, const std::vector<const MethodTable*>& tables,
            std::ostream& out, std::ostream& err);

// The catalogue for people: one block per class, one line per method with its arguments.
std::string FormatCatalogue(const nlohmann::ordered_json& catalogue);

void AddCallCommand(CLI::App& app, int* exit_code);
void AddMethodsCommand(CLI::App& app, int* exit_code);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_CALL_COMMAND_H_
