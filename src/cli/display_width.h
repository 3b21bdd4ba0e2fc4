// How many terminal columns text takes, so that tables of Chinese, Japanese or Korean text line
// up: East Asian wide and fullwidth characters take two columns, combining marks and zero-width
// characters none, everything else one (what wcwidth answers in a UTF-8 locale, without
// depending on the process's locale).
#ifndef AMBIT_CLI_DISPLAY_WIDTH_H_
#define AMBIT_CLI_DISPLAY_WIDTH_H_

#include <cstddef>
#include <string_view>

namespace ambit::cli {

// Columns of one code point.
int CodePointWidth(char32_t c);

// Columns of UTF-8 text. A byte that starts no valid sequence counts as one column.
size_t DisplayWidth(std::string_view utf8);

}  // namespace ambit::cli

#endif  // AMBIT_CLI_DISPLAY_WIDTH_H_
