// SQLite functions the interpreter itself needs beyond the runtime: variable slots that let one
// statement read and write T-SQL variables row by row (SELECT @s = @s + x FROM t), and AVG with
// SQL Server's integer result for integer input.
#ifndef AMBIT_TSQL_SESSION_FUNCTIONS_H_
#define AMBIT_TSQL_SESSION_FUNCTIONS_H_

#include <vector>

#include "base/variant.h"

struct sqlite3;
struct sqlite3_value;

namespace ambit::tsql {

// tsql_getvar(i) reads (*slots)[i]; tsql_setvar(i, v) stores v there and returns it. The
// slots must outlive the connection's use of the functions.
void RegisterSessionFunctions(sqlite3* db, std::vector<Variant>* slots);

// A function argument as the interpreter holds values: integers, floats, text, NULL.
Variant FromValue(sqlite3_value* v);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_SESSION_FUNCTIONS_H_
