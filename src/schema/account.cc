#include "schema/account.h"

#include <fstream>
#include <system_error>

#include "backends/sqlite/sqlite_connection.h"
#include "base/com_error.h"
#include "schema/names.h"
#include "tsql/script_batches.h"

namespace ambit::schema {

namespace internal {
extern const std::string_view kScript_tables;
extern const std::string_view kScript_erp_tables;
extern const std::string_view kScript_indexes;
extern const std::string_view kScript_views;
extern const std::string_view kScript_procedures;
extern const std::string_view kScript_basedata;
}  // namespace internal

const std::vector<SchemaScript>& SchemaScriptFiles() {
  static const std::vector<SchemaScript> kScripts = {
      {"tables.sql", internal::kScript_tables},
      {"erp_tables.sql", internal::kScript_erp_tables},
      {"indexes.sql", internal::kScript_indexes},
      {"views.sql", internal::kScript_views},
      {"procedures.sql", internal::kScript_procedures},
      {"basedata.sql", internal::kScript_basedata},
  };
  return kScripts;
}

std::vector<std::string_view> SchemaScripts() {
  std::vector<std::string_view> texts;
  for (const SchemaScript& script : SchemaScriptFiles()) texts.push_back(script.text);
  return texts;
}

std::vector<std::string> SplitBatches(std::string_view script) {
  std::vector<std::string> batches;
  for (const tsql::ScriptBatch& batch : tsql::SplitScript(script)) {
    std::string text;
    for (std::string_view rest = batch.text; !rest.empty();) {
      size_t nl = rest.find('\n');
      std::string_view line = rest.substr(0, nl);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      text.append(line).append("\r\n");
      rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
    }
    batches.insert(batches.end(), batch.repeat, text);
  }
  return batches;
}

namespace {

constexpr std::string_view kIndexScript = "indexes.sql";

void RunScript(Connection& conn, const SchemaScript& script) {
  std::vector<std::string> batches = SplitBatches(script.text);
  for (size_t i = 0; i < batches.size(); ++i) {
    try {
      conn.Execute(batches[i]);
    } catch (const ComError& e) {
      throw ComError(e.number(), kSchemaErrorSource,
                     std::string(script.file_name) + ", batch " + std::to_string(i + 1) + ": " +
                         e.description());
    }
  }
}

// Runs the scripts `wanted` accepts, all or nothing.
void RunScripts(Connection& conn, const std::function<bool(std::string_view)>& wanted,
                const std::function<void(std::string_view step)>& progress) {
  conn.BeginTrans();
  try {
    for (const SchemaScript& script : SchemaScriptFiles()) {
      if (!wanted(script.file_name)) continue;
      if (progress) progress(script.file_name);
      RunScript(conn, script);
    }
    conn.CommitTrans();
  } catch (...) {
    if (conn.TransactionDepth() > 0) conn.RollbackTrans();
    throw;
  }
}

}  // namespace

void CreateAccountSchema(Connection& conn,
                         const std::function<void(std::string_view step)>& progress,
                         const SchemaOptions& options) {
  RunScripts(
      conn,
      [&](std::string_view file) { return options.with_indexes || file != kIndexScript; },
      progress);
}

void CreateSchemaIndexes(Connection& conn,
                         const std::function<void(std::string_view step)>& progress) {
  RunScripts(conn, [](std::string_view file) { return file == kIndexScript; }, progress);
}

std::string SqliteConnectionString(const std::string& path) {
  // Quoting keeps a ';' in the path from ending the value early.
  std::string value = path.find('"') == std::string::npos ? "\"" + path + "\"" : "{" + path + "}";
  return "Provider=SQLite;Data Source=" + value;
}

ConnectionPtr CreateAccount(const std::string& path,
                            const std::function<void(std::string_view step)>& progress,
                            const SchemaOptions& options) {
  if (path.empty()) {
    throw ComError(err::kInvalidArgument, kSchemaErrorSource, "No account path given");
  }
  if (path != ":memory:") {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && std::filesystem::file_size(path, ec) > 0) {
      throw ComError(err::kInvalidArgument, kSchemaErrorSource,
                     "An account already exists at " + path);
    }
  }
  RegisterSqliteBackend();
  ConnectionPtr conn = OpenConnection(SqliteConnectionString(path));
  CreateAccountSchema(*conn, progress, options);
  return conn;
}

std::vector<std::string> SchemaObjectNames() {
  std::vector<std::string> names;
  for (std::string_view name : table::kAllTables) names.emplace_back(name);
  for (std::string_view name : view::kAllViews) names.emplace_back(name);
  for (std::string_view name : procedure::kAllProcedures) names.emplace_back(name);
  return names;
}

std::vector<std::filesystem::path> InstallScripts(const std::filesystem::path& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    throw ComError(err::kInvalidArgument, kSchemaErrorSource,
                   "Cannot create " + dir.string() + ": " + ec.message());
  }
  std::vector<std::filesystem::path> written;
  for (const SchemaScript& script : SchemaScriptFiles()) {
    std::filesystem::path file = dir / std::string(script.file_name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(script.text.data(), static_cast<std::streamsize>(script.text.size()));
    out.close();
    if (!out) {
      throw ComError(err::kInvalidArgument, kSchemaErrorSource, "Cannot write " + file.string());
    }
    written.push_back(std::move(file));
  }
  return written;
}

}  // namespace ambit::schema
