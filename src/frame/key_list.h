// Key lists ("12,15,17") go into SQL IN (...) lists as they are, so they must be lists of
// integers and nothing else: anything else is refused before a statement is built.
#ifndef AMBIT_FRAME_KEY_LIST_H_
#define AMBIT_FRAME_KEY_LIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace ambit {

// The list unchanged when every comma-separated item is an integer (blanks around items
// allowed); otherwise ComError 5 naming `what` and the bad item. An empty list is allowed
// only when `allow_empty`.
std::string CheckKeyList(std::string_view list, std::string_view what, bool allow_empty = false);
// One integer key (the same rule for a single value).
std::string CheckKey(std::string_view key, std::string_view what);
// The items of a checked list, trimmed.
std::vector<std::string> SplitKeyList(std::string_view list);
// The keys joined with commas, the form IN (...) lists take.
std::string JoinKeyList(const std::vector<std::string>& keys);

}  // namespace ambit

#endif  // AMBIT_FRAME_KEY_LIST_H_
