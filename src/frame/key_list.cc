#include "frame/key_list.h"

#include "base/com_error.h"

namespace ambit {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsInteger(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

[[noreturn]] void Refuse(std::string_view what, std::string_view list, std::string_view item) {
  throw ComError(err::kInvalidArgument, "ambit-order",
                 "Invalid key list " + std::string(what) + " '" + std::string(list) + "': '" +
                     std::string(item) + "' is not an integer key.");
}

}  // namespace

std::vector<std::string> SplitKeyList(std::string_view list) {
  std::vector<std::string> out;
  if (Trim(list).empty()) return out;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    out.emplace_back(Trim(list.substr(start, comma == std::string_view::npos
                                                 ? std::string_view::npos
                                                 : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

std::string JoinKeyList(const std::vector<std::string>& keys) {
  std::string out;
  for (const std::string& key : keys) {
    if (!out.empty()) out += ",";
    out += key;
  }
  return out;
}

std::string CheckKeyList(std::string_view list, std::string_view what, bool allow_empty) {
  if (Trim(list).empty()) {
    if (allow_empty) return std::string(list);
    Refuse(what, list, "");
  }
  for (const std::string& item : SplitKeyList(list))
    if (!IsInteger(item)) Refuse(what, list, item);
  return std::string(list);
}

std::string CheckKey(std::string_view key, std::string_view what) {
  std::string_view k = Trim(key);
  if (!IsInteger(k)) Refuse(what, key, key);
  return std::string(k);
}

}  // namespace ambit
