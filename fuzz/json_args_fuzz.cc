// A client's request body as the server reads it, then marshalled into the arguments of every
// method of the registration tables (the first byte picks the method): parsing, the nesting
// bound, JSON to Variant, each argument's conversion to its kind, and back to JSON.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/com_error.h"
#include "classes/classes.h"
#include "frame/variant_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::vector<const ambit::MethodEntry*> methods = [] {
    std::vector<const ambit::MethodEntry*> all;
    for (const ambit::MethodTable* table : ambit::AllClassTables())
      for (const ambit::MethodEntry& m : table->methods()) all.push_back(&m);
    return all;
  }();
  const ambit::MethodEntry& method = *methods[data[0] % methods.size()];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  bool too_deep = false;
  ambit::Json body = ambit::ParseClientJson(text, &too_deep);
  if (body.is_discarded()) return 0;
  try {
    ambit::Variant whole = ambit::JsonToVariant(body);
    ambit::VariantToJson(whole).dump();
    for (size_t i = 0; i < method.args.size(); ++i) {
      const ambit::Json* value = nullptr;
      if (body.is_array() && i < body.size()) value = &body[i];
      if (body.is_object() && body.contains(method.args[i].name)) value = &body[method.args[i].name];
      if (!value) continue;
      ambit::Variant converted =
          ambit::ConvertArgument(method, method.args[i], ambit::JsonToVariant(*value));
      ambit::VariantToJson(converted).dump(-1, ' ', false,
                                           ambit::Json::error_handler_t::replace);
    }
  } catch (const ambit::ComError&) {
  }
  return 0;
}
