#include "classes/invoke_json.h"

#include <cctype>

#include "base/text.h"
#include "frame/variant_json.h"

namespace ambit {
namespace {

std::string Source(const MethodTable& table, std::string_view method) {
  return "AmbitOrder." + std::string(table.class_name()) + "." + std::string(method);
}

// Arguments in declaration order, Empty marking "not given".
std::vector<std::optional<Variant>> GatherArguments(const MethodTable& table,
                                                    const MethodSpec& m,
                                                    const nlohmann::ordered_json& args) {
  std::vector<std::optional<Variant>> given(m.args.size());
  if (args.is_null()) return given;
  if (args.is_array()) {
    if (args.size() > m.args.size())
      throw ArgumentError(Source(table, m.name),
                          m.name + " takes " + std::to_string(m.args.size()) +
                              " arguments, got " + std::to_string(args.size()) + ".");
    for (size_t i = 0; i < args.size(); ++i) given[i] = JsonToVariant(args[i]);
    return given;
  }
  if (!args.is_object())
    throw ArgumentError(Source(table, m.name),
                        "Arguments must be a JSON object of named values or an array.");
  for (auto it = args.begin(); it != args.end(); ++it) {
    size_t i = 0;
    while (i < m.args.size() && !EqualsNoCase(m.args[i].name, it.key())) ++i;
    if (i == m.args.size())
      throw ArgumentError(Source(table, m.name),
                          m.name + " has no argument named '" + it.key() + "'.");
    given[i] = JsonToVariant(*it);
  }
  return given;
}

// Keys of declared Dictionary arguments that the method does not read: most often a misspelt
// or guessed key, which would otherwise change nothing without a word.
nlohmann::ordered_json UnreadKeys(const MethodTable& table, const MethodSpec& m,
                          const std::vector<Variant>& values) {
  nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
  for (size_t i = 0; i < m.args.size(); ++i) {
    const ArgSpec& a = m.args[i];
    if (a.keys.empty()) continue;
    DictionaryPtr dct = values[i].As<Dictionary>();
    if (!dct) continue;
    // The host fills the account into every dctPara, read or not: never the caller's slip.
    bool host_fills_account = EqualsNoCase(a.name, "dctPara");
    for (int k = 1; k <= dct->Count(); ++k)
      if (!a.ReadsKey(dct->Name(k)) &&
          !(host_fills_account && EqualsNoCase(dct->Name(k), "sDSN")))
        warnings.push_back(a.name + ": key '" + dct->Name(k) + "' is not read by " +
                           std::string(table.class_name()) + "." + m.name);
  }
  return warnings;
}

}  // namespace

nlohmann::ordered_json DescribeKeys(const ArgSpec& arg) {
  nlohmann::ordered_json keys = nlohmann::ordered_json::array();
  for (const KeyGroup* group : arg.keys)
    for (const KeySpec& k : *group) {
      nlohmann::ordered_json key = {{"name", k.name}, {"kind", ArgKindName(k.kind)}, {"doc", k.doc}};
      if (k.default_text) key["default"] = k.default_text;
      keys.push_back(std::move(key));
    }
  return keys;
}

nlohmann::ordered_json InvokeJson(const MethodTable& table, Component& self, std::string_view method,
                          const nlohmann::ordered_json& args) {
  const MethodSpec* m = table.Find(method);
  if (!m)
    throw ArgumentError(Source(table, method), std::string(table.class_name()) +
                                                   " has no method named '" +
                                                   std::string(method) + "'.");
  std::vector<std::optional<Variant>> given = GatherArguments(table, *m, args);
  std::vector<Variant> values;
  values.reserve(m->args.size());
  for (size_t i = 0; i < m->args.size(); ++i) {
    const ArgSpec& a = m->args[i];
    if (!given[i]) {
      if (!a.optional)
        throw ArgumentError(Source(table, m->name),
                            m->name + " needs the argument '" + a.name + "'.");
      values.push_back(a.default_value);
      continue;
    }
    try {
      values.push_back(ConvertArgument(*m, a, *given[i]));
    } catch (const ArgumentError& e) {
      throw ArgumentError(Source(table, m->name), e.description());
    }
  }
  // Read before the call: methods may add keys of their own to the caller's Dictionary.
  nlohmann::ordered_json warnings = UnreadKeys(table, *m, values);
  Variant result = m->invoke(self, values);
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (size_t i = 0; i < m->args.size(); ++i)
    if (m->args[i].by_ref) out[m->args[i].name] = VariantToJson(values[i]);
  nlohmann::ordered_json answer = {{"result", VariantToJson(result)}, {"out", std::move(out)}};
  if (!warnings.empty()) answer["warnings"] = std::move(warnings);
  return answer;
}

nlohmann::ordered_json DescribeTable(const MethodTable& table) {
  nlohmann::ordered_json methods = nlohmann::ordered_json::array();
  for (const MethodSpec& m : table.methods()) {
    nlohmann::ordered_json args = nlohmann::ordered_json::array();
    for (const ArgSpec& a : m.args) {
      nlohmann::ordered_json arg = {{"name", a.name},
                            {"kind", ArgKindName(a.kind)},
                            {"inOut", a.by_ref},
                            {"optional", a.optional}};
      if (!a.keys.empty()) arg["keys"] = DescribeKeys(a);
      if (!a.open_keys.empty()) arg["openKeys"] = a.open_keys;
      args.push_back(std::move(arg));
    }
    methods.push_back({{"name", m.name},
                       {"result", ResultKindName(m.result)},
                       {"summary", m.summary},
                       {"args", std::move(args)}});
  }
  int trans_mode = table.component_class() == ComponentClass::kOrderUpdate
                       ? kTransModeRequiresTransaction
                       : kTransModeNoTransaction;
  return {{"class", table.class_name()}, {"transMode", trans_mode}, {"methods", std::move(methods)}};
}

}  // namespace ambit
