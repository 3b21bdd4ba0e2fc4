// Small pieces the lookup and state-check files share; not part of any public interface.
#ifndef AMBIT_QUERY_LOOKUPS_INTERNAL_H_
#define AMBIT_QUERY_LOOKUPS_INTERNAL_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"
#include "frame/text_services.h"

namespace ambit::lookups_internal {

// Every statement line ends in CR LF, so that the text reads the same in a server trace.
inline void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

// The non-empty items of a key list that is split rather than pasted whole ("1,2," is a
// normal client list there). Each item must be an integer; otherwise ComError 5.
std::vector<std::string> KeyItems(std::string_view list, std::string_view what);

// The select list and joins of the line warning flags, up to its WHERE; with `line_messages`
// off only the header's messages count.
std::string EarlyWarningSelect(bool line_messages);

}  // namespace ambit::lookups_internal

#endif  // AMBIT_QUERY_LOOKUPS_INTERNAL_H_
