// The registered classes as an OpenAPI 3.1 document, served at GET /api/openapi.json and
// printed by `ambit-order methods --openapi`, so clients can be generated rather than written
// from the catalogue by hand.
#ifndef AMBIT_CLASSES_OPENAPI_H_
#define AMBIT_CLASSES_OPENAPI_H_

#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "classes/method_table.h"

namespace ambit {

// One POST path per method (/api/Class/Method) with its arguments as the request body (named
// form) and its result kind in the answer, the catalogue and health paths, the error shape and
// the bearer scheme. `version` is the product's.
nlohmann::ordered_json OpenApiDocument(const std::vector<const MethodTable*>& tables,
                               std::string_view version);

}  // namespace ambit

#endif  // AMBIT_CLASSES_OPENAPI_H_
