// Argument values as the registration tables hand them to the methods: null arguments reach a
// method as empty texts, zeros and false, as the platform passes them.
#ifndef AMBIT_CLASSES_METHOD_ARGS_H_
#define AMBIT_CLASSES_METHOD_ARGS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/conversions.h"
#include "base/variant.h"

namespace ambit::method_args {

inline std::string Text(const std::vector<Variant>& a, size_t i) {
  return a[i].IsString() ? a[i].string_value() : std::string();
}
inline int32_t Long(const std::vector<Variant>& a, size_t i) {
  return a[i].IsNull() || a[i].IsEmpty() ? 0 : CLng(a[i]);
}
inline double Double(const std::vector<Variant>& a, size_t i) {
  return a[i].IsNull() || a[i].IsEmpty() ? 0 : CDbl(a[i]);
}
inline bool Bool(const std::vector<Variant>& a, size_t i) {
  return !a[i].IsNull() && !a[i].IsEmpty() && CBool(a[i]);
}

}  // namespace ambit::method_args

#endif  // AMBIT_CLASSES_METHOD_ARGS_H_
