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
                                                    const MethodEntry& m,
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
std::vector<std::string> UnreadKeys(const MethodTable& table, const MethodEntry& m,
                                    const std::vector<Variant>& values) {
  std::vector<std::string> warnings;
  for (size_t i = 0; i < m.args.size(); ++i) {
    const ArgEntry& a = m.args[i];
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

nlohmann::ordered_json DescribeKeys(const ArgEntry& arg) {
  nlohmann::ordered_json keys = nlohmann::ordered_json::array();
  for (const KeyGroup* group : arg.keys)
    for (const KeyEntry& k : *group) {
      nlohmann::ordered_json key = {{"name", k.name}, {"kind", ArgKindName(k.kind)}, {"doc", k.doc}};
      if (k.default_text) key["default"] = k.default_text;
      keys.push_back(std::move(key));
    }
  return keys;
}

CallAnswer InvokeMethod(const MethodTable& table, Component& self, std::string_view method,
                        const nlohmann::ordered_json& args) {
  const MethodEntry* m = table.Find(method);
  if (!m)
    throw ArgumentError(Source(table, method), std::string(table.class_name()) +
                                                   " has no method named '" +
                                                   std::string(method) + "'.");
  std::vector<std::optional<Variant>> given = GatherArguments(table, *m, args);
  std::vector<Variant> values;
  values.reserve(m->args.size());
  for (size_t i = 0; i < m->args.size(); ++i) {
    const ArgEntry& a = m->args[i];
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
  CallAnswer answer;
  answer.warnings = UnreadKeys(table, *m, values);
  answer.result = m->invoke(self, values);
  for (size_t i = 0; i < m->args.size(); ++i)
    if (m->args[i].by_ref) answer.out.emplace_back(m->args[i].name, std::move(values[i]));
  return answer;
}

nlohmann::ordered_json InvokeJson(const MethodTable& table, Component& self, std::string_view method,
                          const nlohmann::ordered_json& args) {
  return AnswerToJson(InvokeMethod(table, self, method, args));
}

void CallAnswer::CheckWritable() const {
  CheckJsonForm(result);
  for (const auto& arg : out) CheckJsonForm(arg.second);
}

nlohmann::ordered_json AnswerToJson(const CallAnswer& answer) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (const auto& [name, value] : answer.out) out[name] = VariantToJson(value);
  nlohmann::ordered_json json = {{"result", VariantToJson(answer.result)}, {"out", std::move(out)}};
  if (!answer.warnings.empty()) json["warnings"] = answer.warnings;
  return json;
}

void WriteAnswerJson(const CallAnswer& answer, JsonText& out) {
  out.Char('{');
  out.NewLine(1);
  out.Key("result");
  out.set_indent(1);
  WriteVariantJson(answer.result, out);
  out.set_indent(0);
  out.Char(',');
  out.NewLine(1);
  out.Key("out");
  out.Char('{');
  for (size_t i = 0; i < answer.out.size(); ++i) {
    if (i) out.Char(',');
    out.NewLine(2);
    out.Key(answer.out[i].first);
    out.set_indent(2);
    WriteVariantJson(answer.out[i].second, out);
    out.set_indent(0);
  }
  if (!answer.out.empty()) out.NewLine(1);
  out.Char('}');
  if (!answer.warnings.empty()) {
    out.Char(',');
    out.NewLine(1);
    out.Key("warnings");
    out.Char('[');
    for (size_t i = 0; i < answer.warnings.size(); ++i) {
      if (i) out.Char(',');
      out.NewLine(2);
      out.String(answer.warnings[i]);
    }
    out.NewLine(1);
    out.Char(']');
  }
  out.NewLine(0);
  out.Char('}');
}

nlohmann::ordered_json DescribeTable(const MethodTable& table) {
  nlohmann::ordered_json methods = nlohmann::ordered_json::array();
  for (const MethodEntry& m : table.methods()) {
    nlohmann::ordered_json args = nlohmann::ordered_json::array();
    for (const ArgEntry& a : m.args) {
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
