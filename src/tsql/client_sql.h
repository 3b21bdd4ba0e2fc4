// Checks for SQL text a client composes: the statement of a free query and the extra condition
// of the order lists. Such text is pasted into, or run as, a batch on the account, so it is
// held to the one shape its method needs and can never carry a write or a further statement.
// Both raise ComError 5 with a description that names what was refused.
#ifndef AMBIT_TSQL_CLIENT_SQL_H_
#define AMBIT_TSQL_CLIENT_SQL_H_

#include <string_view>

namespace ambit::tsql {

// Exactly one SELECT (a UNION of them, with CTEs, counts as one) with no INTO.
void CheckReadOnlyQuery(std::string_view text);

// A run of conditions that begins with its own conjunction ("AND ..." or "OR ..."), as the list
// statements append it after their WHERE; blank text is allowed (no condition).
void CheckConditionTail(std::string_view text);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_CLIENT_SQL_H_
