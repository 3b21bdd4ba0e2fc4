#include "base/variant.h"

namespace ambit {

std::string_view VarTypeName(VarType t) {
  switch (t) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kBoolean: return "Boolean";
    case VarType::kInteger: return "Integer";
    case VarType::kLong: return "Long";
    case VarType::kLongLong: return "LongLong";
    case VarType::kDouble: return "Double";
    case VarType::kDate: return "Date";
    case VarType::kString: return "String";
    case VarType::kObject: return "Object";
  }
  return "Unknown";
}

bool Variant::IsNumber() const {
  switch (type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kDouble:
      return true;
    default:
      return false;
  }
}

}  // namespace ambit
