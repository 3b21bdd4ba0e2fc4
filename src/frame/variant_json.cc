#include "frame/variant_json.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/com_error.h"
#include "data/recordset_json.h"
#include "frame/collections.h"

namespace ambit {

namespace {

Json ToJson(const Variant& v, int depth) {
  if (!v.IsObject()) return ScalarToJson(v);
  if (depth >= kMaxJsonDepth) {
    throw ComError(28, "ambit-order",
                   "Out of stack space: a value nests deeper than " +
                       std::to_string(kMaxJsonDepth) + " levels.");
  }
  if (auto d = v.As<Dictionary>()) {
    Json out = Json::object();
    for (int i = 1; i <= d->Count(); ++i) out[d->Name(i)] = ToJson(d->Value(d->Name(i)), depth + 1);
    return out;
  }
  if (auto vec = v.As<Vector>()) {
    Json out = Json::array();
    for (const Variant& item : vec->items()) out.push_back(ToJson(item, depth + 1));
    return out;
  }
  if (auto rs = v.As<Recordset>()) return RecordsetToJson(*rs);
  if (!v.object_value()) return nullptr;  // Nothing
  throw ComError(err::kTypeMismatch, "ambit-order",
                 "A " + std::string(v.object_value()->TypeName()) +
                     " object cannot be sent as JSON.");
}

// Deepest nesting of arrays and objects in the text, brackets inside strings not counted;
// stops counting once past `limit`.
int NestingDepth(std::string_view text, int limit) {
  int depth = 0, deepest = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size() && deepest <= limit; ++i) {
    char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

}  // namespace

Json ParseClientJson(std::string_view text, bool* too_deep) {
  *too_deep = NestingDepth(text, kMaxJsonDepth) > kMaxJsonDepth;
  if (*too_deep) return Json(Json::value_t::discarded);
  return Json::parse(text, nullptr, false);
}

Json VariantToJson(const Variant& v) { return ToJson(v, 0); }

Variant JsonToVariant(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null: return Variant::Null();
    case Json::value_t::boolean: return Variant(j.get<bool>());
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: {
      if (j.is_number_unsigned() &&
          j.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
        return Variant(j.get<double>());
      int64_t x = j.get<int64_t>();
      if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(x));
      return Variant(x);
    }
    case Json::value_t::number_float: return Variant(j.get<double>());
    case Json::value_t::string: return Variant(j.get<std::string>());
    case Json::value_t::array: {
      auto vec = NewVector();
      for (const auto& item : j) vec->Add(JsonToVariant(item));
      return Variant(vec);
    }
    case Json::value_t::object: {
      auto d = NewDictionary();
      for (auto it = j.begin(); it != j.end(); ++it) d->SetValue(it.key(), JsonToVariant(*it));
      return Variant(d);
    }
    default:
      throw ComError(err::kTypeMismatch, "ambit-order", "Unsupported JSON value.");
  }
}

}  // namespace ambit
