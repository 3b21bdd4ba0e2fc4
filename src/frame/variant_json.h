// Values to and from JSON: objects become Dictionaries, arrays Vectors, and back; recordsets
// take their columns-and-rows form.
#ifndef AMBIT_FRAME_VARIANT_JSON_H_
#define AMBIT_FRAME_VARIANT_JSON_H_

#include <nlohmann/json.hpp>
#include <string_view>

#include "base/variant.h"
#include "data/json_text.h"

namespace ambit {

// Objects keep the order of their keys, in both directions (a client that enumerates a
// Dictionary sees its keys as they were added).
using Json = nlohmann::ordered_json;

// Arrays and objects nest at most this deep in what clients send and what methods answer: the
// JSON tree, Variants and the conversions between them all recurse on nesting.
inline constexpr int kMaxJsonDepth = 64;

// Parses JSON text from a client. Text that is not JSON answers a discarded value
// (is_discarded()); text nesting deeper than kMaxJsonDepth too, with *too_deep set, and is
// never built into a tree.
Json ParseClientJson(std::string_view text, bool* too_deep);

// Error 28 ("Out of stack space") for a value nested deeper than kMaxJsonDepth, such as a
// Dictionary that holds itself.
Json VariantToJson(const Variant& v);
// The same as text, written straight into `out` (recordsets row by row, flushing as they go).
void WriteVariantJson(const Variant& v, JsonText& out);
// Raises what VariantToJson would raise for `v`, without building or writing anything (the
// cells of recordsets are not visited: they hold scalars).
void CheckJsonForm(const Variant& v);
// Integers that fit 32 bits become Long, larger ones LongLong; other numbers Double.
Variant JsonToVariant(const nlohmann::ordered_json& j);

}  // namespace ambit

#endif  // AMBIT_FRAME_VARIANT_JSON_H_
