// Calling a registered method with JSON arguments, as the server and `ambit-order call` do.
#ifndef AMBIT_CLASSES_INVOKE_JSON_H_
#define AMBIT_CLASSES_INVOKE_JSON_H_

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "classes/method_table.h"
#include "data/json_text.h"

namespace ambit {

// What a call answers, before it becomes JSON: the server writes it as text straight to the
// client (WriteAnswerJson), tests and the catalogue take the tree (AnswerToJson).
struct CallAnswer {
  Variant result;
  std::vector<std::pair<std::string, Variant>> out;  // the in/out arguments, in order
  std::vector<std::string> warnings;

  // Raises what writing would raise (a value nested too deep, an object with no JSON form)
  // without writing anything, so that a call can fail while its transaction is still open.
  void CheckWritable() const;
};
nlohmann::ordered_json AnswerToJson(const CallAnswer& answer);
void WriteAnswerJson(const CallAnswer& answer, JsonText& out);

// InvokeJson without the JSON: the arguments are read and the method run the same way.
CallAnswer InvokeMethod(const MethodTable& table, Component& self, std::string_view method,
                        const nlohmann::ordered_json& args);

// `args` is an object of named arguments (names case-insensitive) or an array of positional
// ones. Answers {"result": ..., "out": {name: value, ...}} with every in/out argument in "out",
// and "warnings": ["dctPara: key 'X' is not read by Class.Method", ...] when a Dictionary
// argument with declared keys carried others (the call runs all the same).
// Arguments that do not fit raise ArgumentError; the method's own failures its ComError.
nlohmann::ordered_json InvokeJson(const MethodTable& table, Component& self, std::string_view method,
                          const nlohmann::ordered_json& args);

// The catalogue entry of a class: {"class", "transMode", "methods": [{"name", "result",
// "summary", "args": [{"name", "kind", "inOut", "optional", "keys"?, "openKeys"?}]}]}.
nlohmann::ordered_json DescribeTable(const MethodTable& table);

// The declared keys of a Dictionary argument: [{"name", "kind", "doc", "default"?}].
nlohmann::ordered_json DescribeKeys(const ArgEntry& arg);

}  // namespace ambit

#endif  // AMBIT_CLASSES_INVOKE_JSON_H_
