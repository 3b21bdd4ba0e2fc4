// Lifting the constants out of a SQLite statement, so that statements that differ only in their
// literals share one prepared statement: "... WHERE FID = 12" and "... WHERE FID = 13" both
// become "... WHERE FID = ?N" with the value bound. SQLite gives a bound value the meaning the
// literal had (same storage class, no affinity), except in a few places where a constant is
// part of the statement's shape; literals there stay in the text:
//   - ORDER BY and GROUP BY terms (an integer there names a result column);
//   - the select lists of a query (the result column names are the expressions' text);
//   - after AS (an alias may be a string) and in a type's arguments (CAST(x AS NUMERIC(18,2)));
//   - integers beyond 64 bits, hex numbers and blobs.
// Statements other than SELECT, WITH, INSERT, REPLACE, UPDATE and DELETE are never changed.
#ifndef AMBIT_TSQL_SQL_LITERALS_H_
#define AMBIT_TSQL_SQL_LITERALS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"

namespace ambit::tsql {

struct LiftedSql {
  std::string sql;              // the text with ?N in place of the lifted literals
  std::vector<Variant> values;  // bound to ?first+1, ?first+2, ...
  size_t first = 0;
};

// Lifts the literals of sql into parameters numbered after the statement's own (?1..?n, and
// after bound_params values the caller binds). False when nothing was lifted or the text is a
// form the scanner leaves alone (other parameter styles, several statements, unclosed quotes).
bool LiftLiterals(std::string_view sql, size_t bound_params, LiftedSql* out);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_SQL_LITERALS_H_
