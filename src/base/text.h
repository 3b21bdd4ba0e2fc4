// ASCII text helpers shared by every layer: names of keys, fields, methods and providers
// compare without regard to case.
#ifndef AMBIT_BASE_TEXT_H_
#define AMBIT_BASE_TEXT_H_

#include <string>
#include <string_view>

namespace ambit {

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLowerAscii(std::string_view s);
std::string ToUpperAscii(std::string_view s);
// Blanks, tabs and line breaks removed at both ends.
std::string_view TrimBlanks(std::string_view s);

}  // namespace ambit

#endif  // AMBIT_BASE_TEXT_H_
