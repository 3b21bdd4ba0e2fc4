#include "frame/variant_json.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "base/com_error.h"
#include "data/recordset_json.h"
#include "frame/collections.h"

namespace ambit {

namespace {

void CheckDepth(int depth) {
  if (depth >= kMaxJsonDepth) {
    throw ComError(28, "ambit-order",
                   "Out of stack space: a value nests deeper than " +
                       std::to_string(kMaxJsonDepth) + " levels.");
  }
}

[[noreturn]] void RaiseNoJsonForm(const Variant& v) {
  throw ComError(err::kTypeMismatch, "ambit-order",
                 "A " + std::string(v.object_value()->TypeName()) +
                     " object cannot be sent as JSON.");
}

Json ToJson(const Variant& v, int depth) {
  if (!v.IsObject()) return ScalarToJson(v);
  CheckDepth(depth);
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
  RaiseNoJsonForm(v);
}

void Write(const Variant& v, JsonText& out, int depth) {
  if (!v.IsObject()) return WriteScalarJson(v, out);
  CheckDepth(depth);
  if (auto d = v.As<Dictionary>()) {
    out.Char('{');
    for (int i = 1; i <= d->Count(); ++i) {
      if (i > 1) out.Char(',');
      out.NewLine(depth + 1);
      out.Key(d->Name(i));
      Write(d->Value(d->Name(i)), out, depth + 1);
    }
    if (d->Count()) out.NewLine(depth);
    out.Char('}');
    return;
  }
  if (auto vec = v.As<Vector>()) {
    out.Char('[');
    bool first = true;
    for (const Variant& item : vec->items()) {
      if (!first) out.Char(',');
      first = false;
      out.NewLine(depth + 1);
      Write(item, out, depth + 1);
      out.MaybeFlush();
    }
    if (!first) out.NewLine(depth);
    out.Char(']');
    return;
  }
  if (auto rs = v.As<Recordset>()) return WriteRecordsetJson(*rs, out, depth);
  if (!v.object_value()) return out.Null();
  RaiseNoJsonForm(v);
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

void WriteVariantJson(const Variant& v, JsonText& out) { Write(v, out, 0); }

void CheckJsonForm(const Variant& v) {
  // Iterative: the depth check bounds it, but a walk that only looks needs no recursion.
  std::vector<std::pair<const Variant*, int>> pending = {{&v, 0}};
  while (!pending.empty()) {
    auto [value, depth] = pending.back();
    pending.pop_back();
    if (!value->IsObject() || !value->object_value()) continue;
    CheckDepth(depth);
    if (auto d = value->As<Dictionary>()) {
      for (int i = 1; i <= d->Count(); ++i) pending.push_back({&d->Value(d->Name(i)), depth + 1});
    } else if (auto vec = value->As<Vector>()) {
      for (const Variant& item : vec->items()) pending.push_back({&item, depth + 1});
    } else if (!value->As<Recordset>()) {
      RaiseNoJsonForm(*value);
    }
  }
}

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
