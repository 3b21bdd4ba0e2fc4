// Pieces of the order filter shared between its two source files.
#ifndef AMBIT_QUERY_ORDER_FILTER_FIELDS_H_
#define AMBIT_QUERY_ORDER_FILTER_FIELDS_H_

#include <string>
#include <string_view>

#include "frame/collections.h"

namespace ambit::filter_internal {

// The one field condition of "FieldName", "Compare", "FieldValue" and "FCtlType"; "" when it adds
// nothing. Sets "FieldValue" to "" in the Dictionary when it is missing.
std::string BuildFieldCondition(Dictionary& dctPara);

// A value that stands bare in the statement: the trimmed text when it is a number, otherwise a
// ComError naming `what`, so that nothing but a number is ever pasted.
std::string RequireNumber(std::string_view value, std::string_view what);

// ASCII upper case; names and operators of the filter compare without regard to case.
std::string Upper(std::string_view text);
std::string_view TrimBlanks(std::string_view text);

}  // namespace ambit::filter_internal

#endif  // AMBIT_QUERY_ORDER_FILTER_FIELDS_H_
