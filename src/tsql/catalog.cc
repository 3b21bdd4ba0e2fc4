#include "tsql/catalog.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>

#include "base/com_error.h"
#include "base/text.h"
#include "tsql/decl_type.h"
#include "tsql/emitter.h"
#include "tsql/runtime.h"
#include "tsql/sqlite_db.h"

namespace ambit::tsql {
namespace {

// The views, in the order they are made (later ones read earlier ones).
constexpr const char* kViewNames[] = {
    "sys.objects",         "sys.tables",          "sys.views",
    "sys.procedures",      "sys.schemas",         "sys.columns",
    "sys.indexes",         "information_schema.tables", "information_schema.columns",
    "information_schema.routines", "sys.triggers",        "sys.types",
};

constexpr SystemType kSystemTypes[] = {
    {"image", "image", 34},          {"text", "text", 35},
    {"uniqueidentifier", "uniqueidentifier", 36}, {"date", "date", 40},
    {"time", "time", 41},            {"datetime2", "datetime2", 42},
    {"datetimeoffset", "datetimeoffset", 43}, {"tinyint", "tinyint", 48},
    {"smallint", "smallint", 52},    {"int", "int", 56},
    {"smalldatetime", "smalldatetime", 58}, {"real", "real", 59},
    {"money", "money", 60},          {"datetime", "datetime", 61},
    {"float", "float", 62},          {"sql_variant", "sql_variant", 98},
    {"ntext", "ntext", 99},          {"bit", "bit", 104},
    {"decimal", "decimal(38,38)", 106}, {"numeric", "numeric(38,38)", 108},
    {"smallmoney", "smallmoney", 122}, {"bigint", "bigint", 127},
    {"varbinary", "varbinary(8000)", 165}, {"varchar", "varchar(8000)", 167},
    {"binary", "binary(8000)", 173}, {"char", "char(8000)", 175},
    {"timestamp", "timestamp", 189}, {"nvarchar", "nvarchar(4000)", 231},
    {"nchar", "nchar(4000)", 239},   {"xml", "xml", 241},
    {"sysname", "nvarchar(128)", 256},
};

thread_local bool t_catalog_requested = false;

// Tables of the account that SQLite and the engine (its tsql_ names) keep for themselves.
constexpr char kUserObjects[] =
    "m.type IN ('table', 'view') AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND "
    "m.name NOT LIKE 'tsql\\_%' ESCAPE '\\'";

// Triggers are SQLite triggers that never fire, carrying their T-SQL text (Session::Triggers).
constexpr char kEngineTriggers[] =
    "m.type = 'trigger' AND instr(m.sql, '/*tsql_trigger ') > 0";

// Identity columns are stored as SQLite's AUTOINCREMENT key (see Emitter::CreateTable).
constexpr char kIdentityColumn[] =
    "(c.pk = 1 AND c.type = 'INTEGER' AND instr(m.sql, 'AUTOINCREMENT') > 0)";

std::string ViewSql(std::string_view view, const std::string& catalog) {
  const std::string user_objects = kUserObjects;
  const std::string identity = kIdentityColumn;
  const std::string fact = "tsql_type_fact(c.type, ";
  if (view == "sys.objects") {
    const std::string tail =
        " AS type_desc, NULL AS create_date, NULL AS modify_date, 0 AS is_ms_shipped, "
        "0 AS is_published, 0 AS is_schema_published";
    return "SELECT m.name COLLATE TSQL AS name, tsql_object_id(m.name) AS object_id, "
           "NULL AS principal_id, 1 AS schema_id, 0 AS parent_object_id, "
           "(CASE m.type WHEN 'table' THEN 'U ' ELSE 'V ' END) COLLATE TSQL AS type, "
           "(CASE m.type WHEN 'table' THEN 'USER_TABLE' ELSE 'VIEW' END) COLLATE TSQL" +
           tail + " FROM main.sqlite_master m WHERE " + user_objects +
           " UNION ALL SELECT p.name COLLATE TSQL, tsql_object_id(p.name), NULL, 1, 0, "
           "'P ' COLLATE TSQL, 'SQL_STORED_PROCEDURE' COLLATE TSQL, NULL, NULL, 0, 0, 0 "
           "FROM main.tsql_procedures p"
           " UNION ALL SELECT m.name COLLATE TSQL, tsql_object_id(m.name), NULL, 1, "
           "tsql_object_id(m.tbl_name), 'TR' COLLATE TSQL, 'SQL_TRIGGER' COLLATE TSQL, NULL, "
           "NULL, 0, 0, 0 FROM main.sqlite_master m WHERE " + std::string(kEngineTriggers);
  }
  if (view == "sys.triggers") {
    return "SELECT m.name COLLATE TSQL AS name, tsql_object_id(m.name) AS object_id, "
           "1 AS parent_class, 'OBJECT_OR_COLUMN' COLLATE TSQL AS parent_class_desc, "
           "tsql_object_id(m.tbl_name) AS parent_id, 'TR' COLLATE TSQL AS type, "
           "'SQL_TRIGGER' COLLATE TSQL AS type_desc, NULL AS create_date, NULL AS modify_date, "
           "0 AS is_ms_shipped, 0 AS is_disabled, 0 AS is_not_for_replication, "
           "0 AS is_instead_of_trigger FROM main.sqlite_master m WHERE " +
           std::string(kEngineTriggers);
  }
  if (view == "sys.types") {
    std::string rows;
    for (const SystemType& t : kSystemTypes) {
      rows += std::string(rows.empty() ? "" : ", ") + "('" + std::string(t.name) + "', '" +
              std::string(t.decl) + "', " + std::to_string(t.user_type_id) + ")";
    }
    const std::string type_fact = "tsql_type_fact(column2, ";
    return "SELECT column1 COLLATE TSQL AS name, " + type_fact +
           "'system_type_id') AS system_type_id, column3 AS user_type_id, 4 AS schema_id, "
           "NULL AS principal_id, " + type_fact + "'max_length') AS max_length, " + type_fact +
           "'precision') AS precision, " + type_fact + "'scale') AS scale, " + type_fact +
           "'collation') COLLATE TSQL AS collation_name, 1 AS is_nullable, "
           "0 AS is_user_defined, 0 AS is_assembly_type, 0 AS default_object_id, "
           "0 AS rule_object_id, 0 AS is_table_type FROM (VALUES " + rows + ")";
  }
  if (view == "sys.tables") return "SELECT * FROM temp.\"sys.objects\" WHERE type = 'U '";
  if (view == "sys.views") return "SELECT * FROM temp.\"sys.objects\" WHERE type = 'V '";
  if (view == "sys.procedures") return "SELECT * FROM temp.\"sys.objects\" WHERE type = 'P '";
  if (view == "sys.schemas") {
    return "SELECT column1 COLLATE TSQL AS name, column2 AS schema_id, column3 AS principal_id "
           "FROM (VALUES ('dbo', 1, 1), ('guest', 2, 2), ('INFORMATION_SCHEMA', 3, 4), "
           "('sys', 4, 4))";
  }
  if (view == "sys.columns") {
    return "SELECT tsql_object_id(m.name) AS object_id, c.name COLLATE TSQL AS name, "
           "c.cid + 1 AS column_id, " + fact + "'system_type_id') AS system_type_id, " + fact +
           "'system_type_id') AS user_type_id, " + fact + "'max_length') AS max_length, " +
           fact + "'precision') AS precision, " + fact + "'scale') AS scale, " + fact +
           "'collation') COLLATE TSQL AS collation_name, "
           "CASE WHEN c.\"notnull\" OR c.pk > 0 THEN 0 ELSE 1 END AS is_nullable, "
           "CASE WHEN " + identity + " THEN 1 ELSE 0 END AS is_identity, "
           "CASE WHEN c.hidden IN (2, 3) THEN 1 ELSE 0 END AS is_computed "
           "FROM main.sqlite_master m, pragma_table_xinfo(m.name, 'main') c WHERE " +
           user_objects + " AND c.hidden <> 1";
  }
  if (view == "sys.indexes") {
    // SQL Server clusters a table on its primary key, or keeps it as a heap (index 0).
    const std::string has_key =
        "EXISTS (SELECT 1 FROM pragma_table_info(m.name, 'main') k WHERE k.pk > 0)";
    return "SELECT tsql_object_id(m.name) AS object_id, "
           "(CASE WHEN " + has_key + " THEN 'PK_' || m.name END) COLLATE TSQL AS name, "
           "CASE WHEN " + has_key + " THEN 1 ELSE 0 END AS index_id, "
           "CASE WHEN " + has_key + " THEN 1 ELSE 0 END AS type, "
           "(CASE WHEN " + has_key + " THEN 'CLUSTERED' ELSE 'HEAP' END) COLLATE TSQL "
           "AS type_desc, CASE WHEN " + has_key + " THEN 1 ELSE 0 END AS is_unique, "
           "CASE WHEN " + has_key + " THEN 1 ELSE 0 END AS is_primary_key, "
           "0 AS is_unique_constraint "
           "FROM main.sqlite_master m WHERE m.type = 'table' AND " + user_objects +
           " UNION ALL SELECT tsql_object_id(m.name), "
           // CREATE INDEX names are kept as "table$index" (per-table names in one namespace).
           "(CASE WHEN i.origin <> 'c' THEN 'UQ_' || m.name || '_' || i.seq "
           "WHEN substr(i.name, 1, length(m.name) + 1) = m.name || '$' THEN substr(i.name, length(m.name) + 2) "
           "ELSE i.name END) "
           "COLLATE TSQL, 1 + row_number() OVER (PARTITION BY m.name ORDER BY i.name), 2, "
           "'NONCLUSTERED' COLLATE TSQL, i.\"unique\", 0, CASE i.origin WHEN 'u' THEN 1 ELSE 0 "
           "END FROM main.sqlite_master m, pragma_index_list(m.name, 'main') i "
           "WHERE m.type = 'table' AND " + user_objects + " AND i.origin <> 'pk'";
  }
  const std::string catalog_literal = Emitter::QuoteString(catalog);
  if (view == "information_schema.tables") {
    return "SELECT " + catalog_literal + " COLLATE TSQL AS TABLE_CATALOG, "
           "'dbo' COLLATE TSQL AS TABLE_SCHEMA, m.name COLLATE TSQL AS TABLE_NAME, "
           "(CASE m.type WHEN 'table' THEN 'BASE TABLE' ELSE 'VIEW' END) COLLATE TSQL "
           "AS TABLE_TYPE FROM main.sqlite_master m WHERE " + user_objects;
  }
  if (view == "information_schema.columns") {
    return "SELECT " + catalog_literal + " COLLATE TSQL AS TABLE_CATALOG, "
           "'dbo' COLLATE TSQL AS TABLE_SCHEMA, m.name COLLATE TSQL AS TABLE_NAME, "
           "c.name COLLATE TSQL AS COLUMN_NAME, c.cid + 1 AS ORDINAL_POSITION, "
           "CASE WHEN c.dflt_value IS NOT NULL THEN '(' || c.dflt_value || ')' END "
           "AS COLUMN_DEFAULT, "
           "(CASE WHEN c.\"notnull\" OR c.pk > 0 THEN 'NO' ELSE 'YES' END) COLLATE TSQL "
           "AS IS_NULLABLE, " + fact + "'name') COLLATE TSQL AS DATA_TYPE, " + fact +
           "'char_length') AS CHARACTER_MAXIMUM_LENGTH, " + fact +
           "'octet_length') AS CHARACTER_OCTET_LENGTH, " + fact +
           "'numeric_precision') AS NUMERIC_PRECISION, " + fact +
           "'numeric_radix') AS NUMERIC_PRECISION_RADIX, " + fact +
           "'numeric_scale') AS NUMERIC_SCALE, " + fact +
           "'datetime_precision') AS DATETIME_PRECISION, NULL AS CHARACTER_SET_CATALOG, "
           "NULL AS CHARACTER_SET_SCHEMA, " + fact + "'charset') AS CHARACTER_SET_NAME, "
           "NULL AS COLLATION_CATALOG, NULL AS COLLATION_SCHEMA, " + fact +
           "'collation') AS COLLATION_NAME, NULL AS DOMAIN_CATALOG, NULL AS DOMAIN_SCHEMA, "
           "NULL AS DOMAIN_NAME "
           "FROM main.sqlite_master m, pragma_table_xinfo(m.name, 'main') c WHERE " +
           user_objects + " AND c.hidden <> 1";
  }
  // information_schema.routines
  return "SELECT " + catalog_literal + " COLLATE TSQL AS SPECIFIC_CATALOG, "
         "'dbo' COLLATE TSQL AS SPECIFIC_SCHEMA, p.name COLLATE TSQL AS SPECIFIC_NAME, " +
         catalog_literal + " COLLATE TSQL AS ROUTINE_CATALOG, 'dbo' COLLATE TSQL AS "
         "ROUTINE_SCHEMA, p.name COLLATE TSQL AS ROUTINE_NAME, 'PROCEDURE' COLLATE TSQL AS "
         "ROUTINE_TYPE, NULL AS DATA_TYPE, 'SQL' AS ROUTINE_BODY, "
         "substr(p.definition, 1, 4000) AS ROUTINE_DEFINITION, 'NO' AS IS_DETERMINISTIC, "
         "'MODIFIES' AS SQL_DATA_ACCESS, NULL AS CREATED, NULL AS LAST_ALTERED "
         "FROM main.tsql_procedures p";
}

void ObjectIdFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const unsigned char* text = sqlite3_value_text(argv[0]);
  if (text == nullptr) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_int(ctx, CatalogObjectId(reinterpret_cast<const char*>(text)));
}

void TypeFactFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const unsigned char* decl = sqlite3_value_text(argv[0]);
  const unsigned char* field = sqlite3_value_text(argv[1]);
  if (decl == nullptr || field == nullptr || *decl == 0) {
    sqlite3_result_null(ctx);
    return;
  }
  TypeFacts t = TypeFactsOf(reinterpret_cast<const char*>(decl));
  std::string_view f = reinterpret_cast<const char*>(field);
  auto number = [&](int v, bool applies) {
    if (applies) {
      sqlite3_result_int(ctx, v);
    } else {
      sqlite3_result_null(ctx);
    }
  };
  auto text = [&](std::string_view v) {
    if (v.empty()) {
      sqlite3_result_null(ctx);
    } else {
      sqlite3_result_text(ctx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
  };
  bool known = t.system_type_id > 0;
  if (f == "name") return text(t.name);
  if (f == "system_type_id") return number(t.system_type_id, known);
  if (f == "max_length") return number(t.max_length, known);
  if (f == "precision") return number(t.precision, known);
  if (f == "scale") return number(t.scale, known);
  if (f == "char_length") return number(t.char_length, t.has_chars);
  if (f == "octet_length") return number(t.octet_length, t.has_chars);
  if (f == "numeric_precision") return number(t.numeric_precision, t.numeric_precision >= 0);
  if (f == "numeric_radix") return number(t.numeric_radix, t.numeric_radix >= 0);
  if (f == "numeric_scale") return number(t.numeric_scale, t.numeric_scale >= 0);
  if (f == "datetime_precision") return number(t.datetime_precision, t.datetime_precision >= 0);
  if (f == "charset") return text(!t.has_chars ? "" : t.unicode ? "UNICODE" : "iso_1");
  if (f == "collation") return text(t.has_chars ? "SQL_Latin1_General_CP1_CI_AS" : "");
  sqlite3_result_null(ctx);
}

}  // namespace

std::string_view CatalogUserObjects() { return kUserObjects; }

std::string_view CatalogIdentityColumn() { return kIdentityColumn; }

std::string_view CatalogTriggers() { return kEngineTriggers; }

bool TakeCatalogRequest() {
  bool requested = t_catalog_requested;
  t_catalog_requested = false;
  return requested;
}

bool IsCatalogSchema(std::string_view schema) {
  return EqualsNoCase(schema, "sys") || EqualsNoCase(schema, "information_schema");
}

std::string CatalogViewName(std::string_view schema, std::string_view name) {
  std::string full = ToLowerAscii(schema) + "." + ToLowerAscii(name);
  for (const char* view : kViewNames) {
    if (full == view) {
      t_catalog_requested = true;
      return "temp." + Emitter::QuoteName(full);
    }
  }
  throw ComError(208, kErrorSource,
                 "Invalid object name '" + std::string(schema) + "." + std::string(name) + "'.");
}

int32_t CatalogObjectId(std::string_view name) {
  // FNV-1a over the lower-cased name, folded into SQL Server's range of positive ids; small
  // numbers are left to SQL Server's own system objects.
  uint32_t h = 2166136261u;
  for (char c : name) {
    h ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
    h *= 16777619u;
  }
  int32_t id = static_cast<int32_t>(h & 0x7fffffff);
  return id < 1000 ? id + 1000 : id;
}

std::span<const SystemType> CatalogSystemTypes() { return kSystemTypes; }

TypeFacts TypeFactsOf(std::string_view decl_type) {
  TypeFacts t;
  DeclTypeParts parts = SplitDeclType(decl_type);
  if (parts.name.empty()) return t;
  t.name = parts.name;
  if (t.name == "integer") t.name = "int";
  if (t.name == "dec") t.name = "decimal";
  if (t.name == "double") t.name = "float";
  // Arguments: "(18,2)", "(50)", "(max)"; -1 where there is none.
  const int args[2] = {static_cast<int>(parts.first.value_or(-1)),
                       static_cast<int>(parts.second.value_or(-1))};
  const bool is_max = parts.is_max;
  struct Fixed {
    const char* name;
    int id, max_length, precision, scale, odbc;
  };
  // SQL Server's sys.types figures; odbc is the SQL_* code sp_columns reports.
  static constexpr Fixed kFixed[] = {
      {"int", 56, 4, 10, 0, 4},         {"bigint", 127, 8, 19, 0, -5},
      {"smallint", 52, 2, 5, 0, 5},     {"tinyint", 48, 1, 3, 0, -6},
      {"bit", 104, 1, 1, 0, -7},        {"money", 60, 8, 19, 4, 3},
      {"smallmoney", 122, 4, 10, 4, 3}, {"float", 62, 8, 53, 0, 6},
      {"real", 59, 4, 24, 0, 7},        {"datetime", 61, 8, 23, 3, 11},
      {"smalldatetime", 58, 4, 16, 0, 11}, {"date", 40, 3, 10, 0, -9},
      {"time", 41, 5, 16, 7, -9},       {"datetime2", 42, 8, 27, 7, -9},
      {"datetimeoffset", 43, 10, 34, 7, -9}, {"uniqueidentifier", 36, 16, 0, 0, -11},
      {"text", 35, 16, 0, 0, -1},       {"ntext", 99, 16, 0, 0, -10},
      {"image", 34, 16, 0, 0, -4},      {"xml", 241, -1, 0, 0, -10},
      {"sql_variant", 98, 8016, 0, 0, -150}, {"timestamp", 189, 8, 0, 0, -2},
  };
  for (const Fixed& f : kFixed) {
    if (t.name != f.name) continue;
    t.system_type_id = f.id;
    t.max_length = f.max_length;
    t.precision = f.precision;
    t.scale = f.scale;
    t.odbc_type = f.odbc;
    bool integer = f.id == 56 || f.id == 127 || f.id == 52 || f.id == 48;
    if (integer || f.id == 60 || f.id == 122) {
      t.numeric_precision = f.precision;
      t.numeric_radix = 10;
      t.numeric_scale = f.scale;
    } else if (f.id == 62 || f.id == 59) {
      t.numeric_precision = f.precision;
      t.numeric_radix = 2;
    } else if (f.id == 61 || f.id == 58 || f.id == 40 || f.id == 41 || f.id == 42 ||
               f.id == 43) {
      t.datetime_precision = f.scale;
      if (f.id == 42 || f.id == 41 || f.id == 43) {
        // time(n), datetime2(n): the fraction digits are the scale.
        if (args[0] >= 0) t.scale = t.datetime_precision = args[0];
      }
    } else if (f.id == 35 || f.id == 99) {
      t.has_chars = true;
      t.unicode = f.id == 99;
      t.char_length = f.id == 35 ? 2147483647 : 1073741823;
      t.octet_length = 2147483647;
    }
    return t;
  }
  if (t.name == "decimal" || t.name == "numeric") {
    t.system_type_id = t.name == "decimal" ? 106 : 108;
    t.precision = args[0] > 0 ? args[0] : 18;
    t.scale = args[1] >= 0 ? args[1] : 0;
    t.max_length = t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    t.numeric_precision = t.precision;
    t.numeric_radix = 10;
    t.numeric_scale = t.scale;
    t.odbc_type = t.name == "decimal" ? 3 : 2;
    return t;
  }
  struct Sized {
    const char* name;
    int id, odbc;
    bool unicode, chars;
  };
  static constexpr Sized kSized[] = {
      {"char", 175, 1, false, true},     {"varchar", 167, 12, false, true},
      {"nchar", 239, -8, true, true},    {"nvarchar", 231, -9, true, true},
      {"binary", 173, -2, false, false}, {"varbinary", 165, -3, false, false},
  };
  for (const Sized& s : kSized) {
    if (t.name != s.name) continue;
    int n = args[0] > 0 ? args[0] : 1;
    t.system_type_id = s.id;
    t.odbc_type = s.odbc;
    t.unicode = s.unicode;
    t.max_length = is_max ? -1 : s.unicode ? 2 * n : n;
    if (s.chars) {
      t.has_chars = true;
      t.char_length = is_max ? -1 : n;
      t.octet_length = t.max_length;
    }
    return t;
  }
  return t;  // a type SQL Server does not have; its numbers stay unknown
}

void RegisterCatalogFunctions(SqliteDb& db) {
  int rc = sqlite3_create_function_v2(db.handle(), "tsql_object_id", 1,
                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      ObjectIdFunction, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db.handle(), "tsql_type_fact", 2,
                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                    TypeFactFunction, nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) db.ThrowError(rc, "tsql_object_id");
}

void CreateCatalogViews(SqliteDb& db, const std::string& database_name) {
  std::string script;
  for (const char* view : kViewNames) {
    script += "CREATE TEMP VIEW IF NOT EXISTS " + Emitter::QuoteName(view) + " AS " +
              ViewSql(view, database_name) + ";";
  }
  db.ExecScript(script);
}

}  // namespace ambit::tsql
