// The system procedures a T-SQL user reaches for to look around an account: sp_help,
// sp_helptext, sp_tables and sp_columns. They answer in SQL Server's result-set shapes from the
// same sources as the catalog views (catalog.h). sp_helptext gives one row per line without its
// line break (SQL Server keeps it), so that a shell's table shows the text as written. As on SQL Server, a system procedure's name
// wins over a user procedure of the same name.
#ifndef AMBIT_TSQL_SYSTEM_PROCEDURES_H_
#define AMBIT_TSQL_SYSTEM_PROCEDURES_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"
#include "data/recordset.h"

namespace ambit::tsql {

class Session;

// One argument of the call: name is "@objname" when passed by name, "" when by position.
struct SystemProcedureArg {
  std::string name;
  Variant value;
};

bool IsSystemProcedure(std::string_view name);

// Runs the procedure; its result sets are appended to results and its informational messages
// go to the session. Unknown parameter names raise 8145, missing objects SQL Server's 15009.
void RunSystemProcedure(Session& session, std::string_view name,
                        const std::vector<SystemProcedureArg>& args,
                        std::vector<RecordsetPtr>* results);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_SYSTEM_PROCEDURES_H_
