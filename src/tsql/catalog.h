// The catalog a T-SQL user queries to see what an account holds: sys.objects, sys.tables,
// sys.views, sys.procedures, sys.triggers, sys.schemas, sys.columns, sys.indexes and INFORMATION_SCHEMA.TABLES,
// COLUMNS and ROUTINES.
//
// They are temporary views of each connection over SQLite's own schema table, its table_xinfo
// and index_list pragmas and the procedure store, made the first time a batch of the connection
// names one (making them costs milliseconds, too much for every connection a pool opens).
// Nothing is kept in the account file, so every account, however old, has the same catalog, and
// it can never go stale: each query reads the live schema.
//
// SQLite has no object ids. An object's id is a hash of its lower-cased name, so the same table
// keeps its id across connections, copies of the file and VACUUM, and sys.columns joins
// sys.tables on object_id as on SQL Server.
#ifndef AMBIT_TSQL_CATALOG_H_
#define AMBIT_TSQL_CATALOG_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;

namespace ambit::tsql {

class SqliteDb;

// "sys" and "INFORMATION_SCHEMA", in any case.
bool IsCatalogSchema(std::string_view schema);

// The SQLite name of the catalog view schema.name (quoted, with its temp. prefix). An unknown
// name raises 208 as an unknown table does. Notes on the calling thread that the views are
// needed (TakeCatalogRequest).
std::string CatalogViewName(std::string_view schema, std::string_view name);

// Whether SQL emitted on this thread since the last call names a catalog view; clears the note.
bool TakeCatalogRequest();

// SQL condition on main.sqlite_master aliased m: the account's own tables and views, without
// SQLite's and the engine's internal tables.
std::string_view CatalogUserObjects();

// SQL condition on main.sqlite_master aliased m: the triggers made by CREATE TRIGGER.
std::string_view CatalogTriggers();

// SQL condition on m and its pragma_table_xinfo row c: c is an IDENTITY column.
std::string_view CatalogIdentityColumn();

// The object id of a table, view or procedure name.
int32_t CatalogObjectId(std::string_view name);

// Facts SQL Server reports for a declared type ("nvarchar(50)", "decimal(18,2)", "INTEGER"):
// the lower-case type name and the numbers of sys.columns, INFORMATION_SCHEMA.COLUMNS and
// sp_columns. Numbers that do not apply to the type are -1 (NULL in the views).
struct TypeFacts {
  std::string name;            // "int", "nvarchar", ... ("" when the declaration is empty)
  int system_type_id = -1;
  int max_length = 0;          // bytes; -1 for (max)
  int precision = 0;
  int scale = 0;
  int char_length = -1;        // characters of text types; -1 for (max) too, see has_chars
  bool has_chars = false;
  int octet_length = -1;
  int numeric_precision = -1;  // INFORMATION_SCHEMA's NUMERIC_PRECISION
  int numeric_radix = -1;
  int numeric_scale = -1;
  int datetime_precision = -1;
  int odbc_type = 0;           // SQL_INTEGER, SQL_WVARCHAR, ... as sp_columns reports them
  bool unicode = false;
};
TypeFacts TypeFactsOf(std::string_view decl_type);

// SQL Server's system types as sys.types lists them: the name, a declaration whose TypeFactsOf
// gives the row's sizes, and the user type id (the system type id but for sysname).
struct SystemType {
  std::string_view name;
  std::string_view decl;
  int user_type_id;
};
std::span<const SystemType> CatalogSystemTypes();

// Registers the catalog's SQLite functions (tsql_object_id, tsql_type_fact); once per
// connection, when it opens. Errors raise ComError.
void RegisterCatalogFunctions(SqliteDb& db);

// Creates the views that do not exist yet. database_name is what TABLE_CATALOG shows.
void CreateCatalogViews(SqliteDb& db, const std::string& database_name);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_CATALOG_H_
