// A declared SQL type text taken apart, for the two readers of declarations: the recordset's
// column types (sqlite_db) and the catalog views' type facts (catalog).
#ifndef AMBIT_TSQL_DECL_TYPE_H_
#define AMBIT_TSQL_DECL_TYPE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ambit::tsql {

// "[NVARCHAR] (50)" is nvarchar with 50, "decimal(18, 2)" decimal with 18 and 2, "varchar(max)"
// varchar with is_max. The name is the first word in lower case (words after it only steer
// SQLite's affinity); a missing or unreadable argument is nullopt.
struct DeclTypeParts {
  std::string name;
  bool is_max = false;
  std::optional<int64_t> first, second;
};
DeclTypeParts SplitDeclType(std::string_view decl_type);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_DECL_TYPE_H_
