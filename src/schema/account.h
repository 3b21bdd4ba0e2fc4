// Building a fresh account: the schema scripts (embedded in the library, installable as .sql
// files for SQL Server) run batch by batch on a connection.
#ifndef AMBIT_SCHEMA_ACCOUNT_H_
#define AMBIT_SCHEMA_ACCOUNT_H_

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/connection.h"

namespace ambit::schema {

// Error source of the failures raised here.
inline constexpr char kSchemaErrorSource[] = "ambit-order.schema";

struct SchemaScript {
  std::string_view file_name;  // "tables.sql"
  std::string_view text;
};

// Every script in the order it must run: tables of the module, ERP tables, indexes, views,
// procedures, base data.
const std::vector<SchemaScript>& SchemaScriptFiles();
std::vector<std::string_view> SchemaScripts();

// The batches of a script as tsql::SplitScript finds them, each line ending in "\r\n" (what the
// stored procedure texts keep); a batch ended by "GO n" stands n times.
std::vector<std::string> SplitBatches(std::string_view script);

struct SchemaOptions {
  // A bulk load (the account generator) is faster into tables without indexes; it then calls
  // CreateSchemaIndexes once the rows are in.
  bool with_indexes = true;
};

// Runs every script on `conn` in one transaction, so a failure leaves no half-built account.
// `progress` hears the file name before each script runs. A failing batch raises a ComError
// with the database's number and a description naming the script and batch.
void CreateAccountSchema(Connection& conn,
                         const std::function<void(std::string_view step)>& progress = {},
                         const SchemaOptions& options = {});

// Runs indexes.sql alone, in one transaction: for accounts built without indexes.
void CreateSchemaIndexes(Connection& conn,
                         const std::function<void(std::string_view step)>& progress = {});

// Creates the account database at `path` (":memory:" for a private in-memory account) on the
// embedded engine and builds its schema. Refuses a path that already holds an account.
ConnectionPtr CreateAccount(const std::string& path,
                            const std::function<void(std::string_view step)>& progress = {},
                            const SchemaOptions& options = {});

// The connection string of the embedded engine for an account file.
std::string SqliteConnectionString(const std::string& path);

// Tables, views and procedures a complete account has.
std::vector<std::string> SchemaObjectNames();

// Writes the scripts as .sql files into `dir` (created when missing), for running them on SQL
// Server with any client that understands GO. Returns the paths written.
std::vector<std::filesystem::path> InstallScripts(const std::filesystem::path& dir);

}  // namespace ambit::schema

#endif  // AMBIT_SCHEMA_ACCOUNT_H_
