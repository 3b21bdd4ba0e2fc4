// Text forms of result sets for the `sql` shell: an aligned table for people, one JSON object
// per result set for scripts.
#ifndef AMBIT_CLI_RESULT_FORMAT_H_
#define AMBIT_CLI_RESULT_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"
#include "data/field.h"
#include "data/recordset.h"

namespace ambit::cli {

// One cell: NULL, integers in decimal, decimals with the column's scale, dates as
// "yyyy-MM-dd HH:mm:ss", line breaks and tabs shown as blanks so the table stays aligned.
std::string FormatCell(const Variant& value, const FieldInfo& field);

// Cells in aligned columns: the header, a rule of dashes as wide as each column, then the
// rows; columns apart by `gap`; a column marked in `right` (rows only) is padded on the left.
// Widths count terminal columns (display_width.h). No line has trailing blanks.
std::string AlignColumns(const std::vector<std::string>& header,
                         const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& right, std::string_view gap);

// Header, a rule of dashes, one line per row; numbers right-aligned, the rest left-aligned;
// then a blank line and "(N rows affected)". Widths count terminal columns (display_width.h).
std::string FormatTable(const Recordset& rs);

// Wide rows one field a line, as "name | value" under a "-[ row N ]" rule, then the row count.
std::string FormatVertical(const Recordset& rs);

enum class VerticalMode { kOff, kOn, kAuto };

// The table, or the vertical form when mode is kOn, or kAuto and the table would be wider than
// terminal_width (0: not a terminal, so never).
std::string FormatResult(const Recordset& rs, VerticalMode mode, size_t terminal_width);

// "(1 row affected)" / "(N rows affected)".
std::string RowsAffected(int64_t n);

// {"columns":[{"name","type"}...],"rows":[[...]...]} on one line.
std::string FormatJson(const Recordset& rs);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_RESULT_FORMAT_H_
