// Built-ins written as SQL: the system functions about the connection and the catalog (DB_NAME,
// DB_ID, SUSER_SNAME, USER_NAME, HOST_NAME, APP_NAME, SCHEMA_NAME, SCHEMA_ID, TYPE_NAME, TYPE_ID
// and the niladic CURRENT_USER, SESSION_USER, SYSTEM_USER and USER), CHOOSE, CONCAT_WS,
// STRING_AGG ... WITHIN GROUP, and PERCENTILE_CONT and PERCENTILE_DISC over their window.
// Database and schema ids are SQL Server's fixed ones: the system databases 1 to 4 and the
// account as 5; the schemas dbo, guest, INFORMATION_SCHEMA, sys.
#include "base/com_error.h"
#include "tsql/catalog.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void ArgCount(const std::string& name, size_t max_args) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (max_args == 0) {
    throw ComError(174, kEngineErrorSource,
                   "The " + name + " function requires 0 argument(s).");
  }
  throw ComError(189, kEngineErrorSource,
                 "The " + name + " function requires 0 to " + std::to_string(max_args) +
                     " arguments.");
}

constexpr char kDatabaseNames[] =
    "CASE %1 WHEN 1 THEN 'master' WHEN 2 THEN 'tempdb' WHEN 3 THEN 'model' WHEN 4 THEN 'msdb' "
    "WHEN 5 THEN tsql_db_name() END";
constexpr char kDatabaseIds[] =
    "CASE %1 WHEN 'master' THEN 1 WHEN 'tempdb' THEN 2 WHEN 'model' THEN 3 WHEN 'msdb' THEN 4 "
    "WHEN tsql_db_name() THEN 5 END";
constexpr char kSchemaNames[] =
    "CASE %1 WHEN 1 THEN 'dbo' WHEN 2 THEN 'guest' WHEN 3 THEN 'INFORMATION_SCHEMA' WHEN 4 THEN "
    "'sys' END";
constexpr char kSchemaIds[] =
    "CASE %1 WHEN 'dbo' THEN 1 WHEN 'guest' THEN 2 WHEN 'INFORMATION_SCHEMA' THEN 3 WHEN 'sys' "
    "THEN 4 END";

[[noreturn]] void WrongArgCount(const std::string& name, size_t count) {
  throw ComError(174, kEngineErrorSource,
                 "The " + name + " function requires " + std::to_string(count) + " argument(s).");
}

std::string Fill(std::string_view pattern, const std::string& operand) {
  std::string out(pattern);
  out.replace(out.find("%1"), 2, operand);
  return out;
}

}  // namespace

// The partition's percentile on every row: the window is the whole partition, and the fraction
// and the direction of WITHIN GROUP travel as arguments.
std::string Emitter::PercentileFunction(const Expr& e) {
  if (e.args.size() != 1) WrongArgCount(e.text, 1);
  if (!e.ordering || e.ordering->within_group.size() != 1 || !e.ordering->order.empty() ||
      !e.ordering->frame.empty()) {
    throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + e.text + "'.");
  }
  const OrderItem& key = e.ordering->within_group[0];
  std::string out = "tsql_" + e.text + "(" + Expression(*key.expr) + ", " +
                    Expression(*e.args[0]) + (key.descending ? ", 1) OVER (" : ", 0) OVER (");
  for (size_t i = 0; i < e.ordering->partition.size(); ++i) {
    out += (i ? ", " : "PARTITION BY ") + Expression(*e.ordering->partition[i]);
  }
  return out + ")";
}

std::optional<std::string> Emitter::NiladicFunction(const std::string& name) {
  if (EqualsNoCase(name, "current_user") || EqualsNoCase(name, "session_user") ||
      EqualsNoCase(name, "user")) {
    return "'dbo'";
  }
  if (EqualsNoCase(name, "system_user")) return "tsql_login()";
  return std::nullopt;
}

std::optional<std::string> Emitter::BuiltinFunction(const Expr& e) {
  const std::string& name = e.text;
  const std::string_view called = name;  // compares lengths first
  size_t n = e.args.size();
  auto operand = [&](bool text) {
    std::string sql = Expression(*e.args[0]);
    return "(" + (text ? sql + " COLLATE NOCASE" : sql) + ")";
  };
  if (called == "db_name" || called == "db_id") {
    if (n > 1) ArgCount(name, 1);
    if (n == 0) return called == "db_name" ? "tsql_db_name()" : "5";
    return Fill(called == "db_name" ? kDatabaseNames : kDatabaseIds, operand(called == "db_id"));
  }
  if (called == "schema_name" || called == "schema_id") {
    if (n > 1) ArgCount(name, 1);
    if (n == 0) return called == "schema_name" ? "'dbo'" : "1";
    return Fill(called == "schema_name" ? kSchemaNames : kSchemaIds, operand(called == "schema_id"));
  }
  if (called == "suser_sname" || called == "suser_name" || called == "original_login") {
    if (n > 0) ArgCount(name, 0);
    return "tsql_login()";
  }
  if (called == "user_name") {
    if (n > 1) ArgCount(name, 1);
    return n == 0 ? "'dbo'" : "CASE " + operand(false) + " WHEN 1 THEN 'dbo' END";
  }
  if (called == "host_name" || called == "app_name") {
    if (n > 0) ArgCount(name, 0);
    return called == "host_name" ? "tsql_host_name()" : "'ambit-order'";
  }
  if (called == "object_name" || called == "object_schema_name") {
    // The ids are the catalog's (OBJECT_ID, sys.objects); a second argument, the database, may
    // only be this one.
    if (n < 1 || n > 2) {
      throw ComError(189, kEngineErrorSource,
                     "The " + name + " function requires 1 to 2 arguments.");
    }
    std::string lookup =
        "(SELECT name FROM (SELECT name FROM main.sqlite_master WHERE type IN ('table', 'view', "
        "'trigger') "
        "UNION ALL SELECT name FROM main.tsql_procedures) WHERE tsql_object_id(name) = " +
        operand(false) + (n == 2 ? " AND " + Expression(*e.args[1]) + " = 5" : "") + " LIMIT 1)";
    return called == "object_name" ? lookup : "CASE WHEN " + lookup + " IS NOT NULL THEN 'dbo' END";
  }
  if (called == "type_name" || called == "type_id") {
    if (n != 1) WrongArgCount(name, 1);
    const bool by_name = called == "type_id";
    std::string out = "CASE " + operand(by_name);
    for (const SystemType& t : CatalogSystemTypes()) {
      const std::string id = std::to_string(t.user_type_id);
      const std::string text = "'" + std::string(t.name) + "'";
      out += " WHEN " + (by_name ? text + " THEN " + id : id + " THEN " + text);
    }
    return out + " END";
  }
  if (called == "choose") {
    if (n < 2) {
      throw ComError(174, kEngineErrorSource, "The choose function requires 2 argument(s).");
    }
    std::string out = "CASE " + operand(false);
    for (size_t i = 1; i < n; ++i) {
      out += " WHEN " + std::to_string(i) + " THEN " + Expression(*e.args[i]);
    }
    return out + " END";
  }
  if (called == "concat_ws") {
    // Each argument that is not NULL brings the separator before it; the first one is cut.
    if (n < 3) {
      throw ComError(189, kEngineErrorSource,
                     "The concat_ws function requires 3 to 254 arguments.");
    }
    std::string separator = "ifnull(tsql_cast(" + Expression(*e.args[0]) + ", 'nvarchar(max)'), '')";
    std::string joined;
    for (size_t i = 1; i < n; ++i) {
      joined += (i > 1 ? " || " : "") + std::string("ifnull(") + separator + " || tsql_cast(" +
                Expression(*e.args[i]) + ", 'nvarchar(max)'), '')";
    }
    return "substr(" + joined + ", length(" + separator + ") + 1)";
  }
  if ((called == "datetime2fromparts" && n == 8) || (called == "timefromparts" && n == 5)) {
    // The precision fixes the result's type, so it must be known before the statement runs.
    if (e.args.back()->kind != ExprKind::kNumber) {
      throw ComError(10760, kEngineErrorSource,
                     "Scale argument is not valid. Valid expressions for data type " +
                         std::string(called == "timefromparts" ? "time" : "datetime2") +
                         " scale argument are integer constants and integer constant "
                         "expressions.");
    }
    return std::nullopt;
  }
  if (called == "json_modify") {
    if (n != 3) WrongArgCount(name, 3);
    // A value made by JSON_QUERY or JSON_MODIFY goes in as JSON; any other text as a string.
    const Expr& value = *e.args[2];
    bool json = value.kind == ExprKind::kFunction &&
                (value.text == "json_query" || value.text == "json_modify");
    return "tsql_json_modify(" + Expression(*e.args[0]) + ", " + Expression(*e.args[1]) + ", " +
           Expression(value) + (json ? ", 1)" : ", 0)");
  }
  if (called == "percentile_cont" || called == "percentile_disc") {
    throw ComError(10753, kEngineErrorSource,
                   "The function '" + name + "' must have an OVER clause.");
  }
  if (called == "string_agg" && e.ordering && !e.ordering->within_group.empty()) {
    if (n != 2) WrongArgCount(name, 2);
    std::string out = "tsql_string_agg_sorted(" + Expression(*e.args[0]) + ", " +
                      Expression(*e.args[1]);
    for (const OrderItem& key : e.ordering->within_group) {
      out += ", " + Expression(*key.expr) + (key.descending ? ", 1" : ", 0");
    }
    return out + ")";
  }
  return std::nullopt;
}

}  // namespace ambit::tsql
