// Values to and from JSON: objects become Dictionaries, arrays Vectors, and back; recordsets
// take their columns-and-rows form.
#ifndef AMBIT_FRAME_VARIANT_JSON_H_
#define AMBIT_FRAME_VARIANT_JSON_H_

#include <nlohmann/json.hpp>

#include "base/variant.h"

namespace ambit {

nlohmann::json VariantToJson(const Variant& v);
// Integers that fit 32 bits become Long, larger ones LongLong; other numbers Double.
Variant JsonToVariant(const nlohmann::json& j);

}  // namespace ambit

#endif  // AMBIT_FRAME_VARIANT_JSON_H_
