#include "cli/call_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "base/version.h"
#include "classes/classes.h"
#include "classes/invoke_json.h"
#include "classes/openapi.h"
#include "cli/result_format.h"
#include "cli/serve_command.h"
#include "cli/sql_command.h"
#include "frame/variant_json.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "host/host_services.h"
#include "purchase/bill_code_rule.h"
#include "schema/upgrade.h"

namespace ambit::cli {
namespace {

constexpr char kCliSource[] = "ambit-order.call";

// A cell as text; a number of a decimal column shows all of its column's places (12.50).
std::string CellText(const Json& cell, const Json& column) {
  if (cell.is_null()) return "NULL";
  if (cell.is_string()) return cell.get<std::string>();
  if (cell.is_number() && column.contains("scale")) {
    return FormatCell(Variant(cell.get<double>()),
                      FieldInfo{"", DataType::kDecimal, 0, 0, column["scale"].get<uint8_t>()});
  }
  return cell.dump();
}

bool IsRecordset(const Json& v) {
  return v.is_object() && v.contains("columns") && v.contains("rows") && v["rows"].is_array();
}

std::string Table(const Json& rs) {
  std::vector<std::string> names;
  for (const auto& c : rs["columns"]) names.push_back(c.value("name", std::string()));
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : rs["rows"]) {
    std::vector<std::string>& line = cells.emplace_back();
    for (size_t i = 0; i < names.size() && i < row.size(); ++i)
      line.push_back(CellText(row[i], rs["columns"][i]));
  }
  return AlignColumns(names, cells, {}, " ") + "(" + std::to_string(cells.size()) +
         (cells.size() == 1 ? " row)" : " rows)") + "\n";
}

}  // namespace

Json CallArguments(const CallOptions& options) {
  if (!options.json_args.empty()) {
    if (!options.args.empty())
      throw ArgumentError(kCliSource, "Give the arguments either with --arg or with --json.");
    bool too_deep = false;
    Json j = ParseClientJson(options.json_args, &too_deep);
    if (too_deep)
      throw ArgumentError(kCliSource, "--json nests arrays or objects deeper than " +
                                          std::to_string(kMaxJsonDepth) + " levels.");
    if (j.is_discarded() || !(j.is_object() || j.is_array()))
      throw ArgumentError(kCliSource, "--json needs a JSON object or array.");
    return j;
  }
  Json j = Json::object();
  for (const std::string& arg : options.args) {
    size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0)
      throw ArgumentError(kCliSource, "--arg needs name=value, got '" + arg + "'.");
    std::string value = arg.substr(eq + 1);
    bool too_deep = false;
    Json parsed = ParseClientJson(value, &too_deep);
    j[arg.substr(0, eq)] = parsed.is_discarded() ? Json(value) : parsed;
  }
  return j;
}

std::string FormatValue(const Json& value) {
  if (IsRecordset(value)) return Table(value);
  return value.dump(2) + "\n";
}

int RunCall(const CallOptions& options, const std::vector<const MethodTable*>& tables,
            std::ostream& out, std::ostream& err) {
  RegisterBackends();
  size_t dot = options.target.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == options.target.size()) {
    err << "ambit-order call: name the method as Class.Method, e.g. AmbitOrderInfo.GetOPLog\n";
    return 2;
  }
  bool is_path = options.account.find('=') == std::string::npos;
  if (is_path && !std::filesystem::exists(options.account)) {
    err << "ambit-order call: no account at " << options.account
        << " (create one with 'ambit-order account demo " << options.account << "')\n";
    return 1;
  }
  AccountOptions account_options;
  account_options.pool_size = 1;
  account_options.allow_connection_strings = true;
  account_options.prepare_account = schema::UpgradeAccountSchema;
  AccountRegistry accounts(account_options);
  // Clients name the account as the server knows it, by its file's stem ("demo"); the path or
  // connection string it was given names it too. The stem comes first: it is the default.
  std::string connection_string = AccountConnectionString(options.account);
  accounts.AddAccount(AccountName(options.account), connection_string);
  accounts.AddAccount(options.account, connection_string);
  RegisterHostServices({});
  RegisterAccountBillCodeRule();
  Dispatcher dispatcher(accounts, tables);
  try {
    CallRequest request;
    request.class_name = options.target.substr(0, dot);
    request.method = options.target.substr(dot + 1);
    request.args = CallArguments(options);
    request.user = std::make_shared<HostUserLogin>(
        std::to_string(options.user_id), static_cast<int16_t>(options.user_id), options.language);
    if (options.json_output) {
      // Written as it goes: a list of fifty thousand rows never becomes a tree.
      CallAnswer answer = dispatcher.Invoke(request);
      JsonText text([&out](std::string_view piece) { return bool(out.write(piece.data(), piece.size())); },
                    1 << 16);
      text.set_pretty(true);
      WriteAnswerJson(answer, text);
      text.Char('\n');
      text.Flush();
      return 0;
    }
    Json answer = dispatcher.Call(request);
    out << FormatValue(answer["result"]);
    for (auto it = answer["out"].begin(); it != answer["out"].end(); ++it)
      out << it.key() << " = " << FormatValue(it.value());
    return 0;
  } catch (const ComError& e) {
    bool misuse = dynamic_cast<const ArgumentError*>(&e) || dynamic_cast<const NotFoundError*>(&e);
    if (options.json_output) {
      err << Json{{"error",
                             {{"number", e.number()},
                              {"source", e.source()},
                              {"description", e.description()}}}}
                 .dump()
          << "\n";
    } else {
      err << "Error " << e.number() << " (" << e.source() << "): " << e.description() << "\n";
    }
    return misuse ? 2 : 1;
  }
}

std::string FormatCatalogue(const Json& catalogue) {
  std::ostringstream out;
  for (const auto& cls : catalogue["classes"]) {
    out << cls["class"].get<std::string>() << "  (TransMode " << cls["transMode"] << ", "
        << cls["methods"].size() << " methods)\n";
    for (const auto& m : cls["methods"]) {
      out << "  " << m["name"].get<std::string>() << "(";
      bool first = true;
      for (const auto& a : m["args"]) {
        if (!first) out << ", ";
        first = false;
        if (a["optional"].get<bool>()) out << "[";
        out << a["name"].get<std::string>() << ": " << a["kind"].get<std::string>();
        if (a["inOut"].get<bool>()) out << " in/out";
        if (a["optional"].get<bool>()) out << "]";
      }
      out << ") -> " << m["result"].get<std::string>();
      std::string summary = m.value("summary", std::string());
      if (!summary.empty()) out << "  " << summary;
      out << "\n";
      // The keys of Dictionary arguments, one line each under the method.
      for (const auto& a : m["args"]) {
        if (a.contains("openKeys"))
          out << "      " << a["name"].get<std::string>() << ": "
              << a["openKeys"].get<std::string>() << "\n";
        if (!a.contains("keys")) continue;
        for (const auto& k : a["keys"]) {
          out << "      " << a["name"].get<std::string>() << "(\"" << k["name"].get<std::string>()
              << "\"): " << k["kind"].get<std::string>();
          if (k.contains("default")) out << " = \"" << k["default"].get<std::string>() << "\"";
          out << "  " << k["doc"].get<std::string>() << "\n";
        }
      }
    }
    out << "\n";
  }
  return out.str();
}

void AddCallCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<CallOptions>();
  options->account = kDefaultAccount;
  CLI::App* call = app.add_subcommand(
      "call",
      "Run one method in process, as the server would: ambit-order call "
      "AmbitOrderInfo.GetOPLog --arg sFID=12. The account's name is filled in for sDsn.");
  call->add_option("method", options->target, "Class.Method")->required();
  CLI::Option* arg = call->add_option(
      "-a,--arg", options->args,
      "name=value (repeatable); the value is read as JSON when it parses, as text otherwise");
  call->add_option("-j,--json", options->json_args,
                   "All arguments as a JSON object (named) or array (positional)")
      ->excludes(arg);
  call->add_option("--account", options->account, "Account file or connection string")
      ->capture_default_str();
  call->add_option("--user-id", options->user_id, "User the call runs as")->capture_default_str();
  call->add_option("--language", options->language, "Language code of that user")
      ->capture_default_str();
  call->add_option_function<std::string>(
          "-o,--output",
          [options](const std::string& format) { options->json_output = format == "json"; },
          "table (default): recordsets as tables; json: the whole answer {result, out}")
      ->check(CLI::IsMember({"table", "json"}));
  call->callback([options, exit_code] {
    *exit_code = RunCall(*options, AllClassTables(), std::cout, std::cerr);
  });
}

void AddMethodsCommand(CLI::App& app, int* exit_code) {
  auto json = std::make_shared<bool>(false);
  CLI::App* methods = app.add_subcommand(
      "methods", "List the classes and methods clients can call, with their arguments");
  auto openapi = std::make_shared<bool>(false);
  methods->add_flag("--json", *json, "The catalogue as JSON (what GET /api answers)");
  methods
      ->add_flag("--openapi", *openapi,
                 "The OpenAPI 3.1 document (what GET /api/openapi.json answers)")
      ->excludes("--json");
  methods->callback([json, openapi, exit_code] {
    if (*openapi) {
      std::cout << OpenApiDocument(AllClassTables(), kVersion).dump(2) << "\n";
      *exit_code = 0;
      return;
    }
    nlohmann::ordered_json catalogue = {{"classes", nlohmann::ordered_json::array()}};
    for (const MethodTable* t : AllClassTables()) catalogue["classes"].push_back(DescribeTable(*t));
    std::cout << (*json ? catalogue.dump(2) + "\n" : FormatCatalogue(catalogue));
    *exit_code = 0;
  });
}

}  // namespace ambit::cli
