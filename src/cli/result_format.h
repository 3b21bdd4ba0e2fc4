// Text forms of result sets for the `sql` shell: an aligned table for people, one JSON object
// per result set for scripts.
#ifndef AMBIT_CLI_RESULT_FORMAT_H_
#define AMBIT_CLI_RESULT_FORMAT_H_

#include <cstdint>
#include <string>

#include "base/variant.h"
#include "data/field.h"
#include "data/recordset.h"

namespace ambit::cli {

// One cell: NULL, integers in decimal, decimals with the column's scale, dates as
// "yyyy-MM-dd HH:mm:ss", line breaks and tabs shown as blanks so the table stays aligned.
std::string FormatCell(const Variant& value, const FieldInfo& field);

// Header, a rule of dashes, one line per row; numbers right-aligned, the rest left-aligned;
// then a blank line and "(N rows affected)". Widths count characters, not bytes.
std::string FormatTable(const Recordset& rs);

// "(1 row affected)" / "(N rows affected)".
std::string RowsAffected(int64_t n);

// {"columns":[{"name","type"}...],"rows":[[...]...]} on one line.
std::string FormatJson(const Recordset& rs);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_RESULT_FORMAT_H_
