#include "data/field.h"

namespace ambit {

std::string_view DataTypeName(DataType t) {
  switch (t) {
    case DataType::kEmpty: return "empty";
    case DataType::kSmallInt: return "smallint";
    case DataType::kInteger: return "int";
    case DataType::kDouble: return "float";
    case DataType::kCurrency: return "money";
    case DataType::kDate:
    case DataType::kDBTimeStamp: return "datetime";
    case DataType::kBoolean: return "bit";
    case DataType::kVariant: return "variant";
    case DataType::kDecimal: return "decimal";
    case DataType::kNumeric: return "numeric";
    case DataType::kTinyInt: return "tinyint";
    case DataType::kBigInt: return "bigint";
    case DataType::kGuid: return "uniqueidentifier";
    case DataType::kChar: return "char";
    case DataType::kWChar: return "nchar";
    case DataType::kVarChar: return "varchar";
    case DataType::kLongVarChar: return "text";
    case DataType::kVarWChar: return "nvarchar";
    case DataType::kLongVarWChar: return "ntext";
    case DataType::kBinary: return "binary";
    case DataType::kVarBinary: return "varbinary";
  }
  return "variant";
}

bool IsTextType(DataType t) {
  switch (t) {
    case DataType::kChar:
    case DataType::kWChar:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
    case DataType::kLongVarWChar:
    case DataType::kGuid:
      return true;
    default:
      return false;
  }
}

bool IsNumericType(DataType t) {
  switch (t) {
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kDouble:
    case DataType::kCurrency:
    case DataType::kDecimal:
    case DataType::kNumeric:
    case DataType::kTinyInt:
    case DataType::kBigInt:
      return true;
    default:
      return false;
  }
}

}  // namespace ambit
