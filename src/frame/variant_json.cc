#include "frame/variant_json.h"

#include <limits>

#include "base/com_error.h"
#include "data/recordset_json.h"
#include "frame/collections.h"

namespace ambit {

nlohmann::json VariantToJson(const Variant& v) {
  if (!v.IsObject()) return ScalarToJson(v);
  if (auto d = v.As<Dictionary>()) {
    nlohmann::json out = nlohmann::json::object();
    for (int i = 1; i <= d->Count(); ++i) out[d->Name(i)] = VariantToJson(d->Value(d->Name(i)));
    return out;
  }
  if (auto vec = v.As<Vector>()) {
    nlohmann::json out = nlohmann::json::array();
    for (const Variant& item : vec->items()) out.push_back(VariantToJson(item));
    return out;
  }
  if (auto rs = v.As<Recordset>()) return RecordsetToJson(*rs);
  if (!v.object_value()) return nullptr;  // Nothing
  throw ComError(err::kTypeMismatch, "ambit-order",
                 "A " + std::string(v.object_value()->TypeName()) +
                     " object cannot be sent as JSON.");
}

Variant JsonToVariant(const nlohmann::json& j) {
  switch (j.type()) {
    case nlohmann::json::value_t::null: return Variant::Null();
    case nlohmann::json::value_t::boolean: return Variant(j.get<bool>());
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: {
      if (j.is_number_unsigned() &&
          j.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return Variant(j.get<double>());
      int64_t x = j.get<int64_t>();
      if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(x));
      return Variant(x);
    }
    case nlohmann::json::value_t::number_float: return Variant(j.get<double>());
    case nlohmann::json::value_t::string: return Variant(j.get<std::string>());
    case nlohmann::json::value_t::array: {
      auto vec = NewVector();
      for (const auto& item : j) vec->Add(JsonToVariant(item));
      return Variant(vec);
    }
    case nlohmann::json::value_t::object: {
      auto d = NewDictionary();
      for (auto it = j.begin(); it != j.end(); ++it) d->SetValue(it.key(), JsonToVariant(*it));
      return Variant(d);
    }
    default:
      throw ComError(err::kTypeMismatch, "ambit-order", "Unsupported JSON value.");
  }
}

}  // namespace ambit
