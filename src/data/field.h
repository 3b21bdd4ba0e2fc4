// Column descriptions shared by every recordset, whatever produced it.
#ifndef AMBIT_DATA_FIELD_H_
#define AMBIT_DATA_FIELD_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace ambit {

// Numbered as the original data-access library numbers its types, so that code building
// disconnected recordsets with those numbers keeps working.
enum class DataType : int32_t {
  kEmpty = 0,
  kSmallInt = 2,
  kInteger = 3,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kBoolean = 11,
  kVariant = 12,
  kDecimal = 14,
  kTinyInt = 16,
  kBigInt = 20,
  kGuid = 72,
  kBinary = 128,
  kChar = 129,
  kWChar = 130,
  kNumeric = 131,
  kDBTimeStamp = 135,
  kVarChar = 200,
  kLongVarChar = 201,
  kVarWChar = 202,
  kLongVarWChar = 203,
  kVarBinary = 204,
};

std::string_view DataTypeName(DataType t);  // "int", "varchar", ... as JSON shows them
bool IsTextType(DataType t);
bool IsNumericType(DataType t);

struct FieldInfo {
  std::string name;
  DataType type = DataType::kVariant;
  int32_t defined_size = 0;  // characters for text, bytes otherwise; 0 when unknown
  uint8_t precision = 0;
  uint8_t scale = 0;  // decimal places of DECIMAL/NUMERIC values
};

}  // namespace ambit

#endif  // AMBIT_DATA_FIELD_H_
