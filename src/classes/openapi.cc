#include "classes/openapi.h"

#include <string>

#include "base/text.h"

namespace ambit {
namespace {

using json = nlohmann::ordered_json;

json Ref(const char* name) { return {{"$ref", std::string("#/components/schemas/") + name}}; }

json OrNull(json schema) { return {{"anyOf", json::array({std::move(schema), {{"type", "null"}}})}}; }

json ScalarSchema(ArgKind kind) {
  switch (kind) {
    case ArgKind::kText: return {{"type", "string"}};
    case ArgKind::kInt16:
      return {{"type", "integer"}, {"minimum", -32768}, {"maximum", 32767}};
    case ArgKind::kInt32: return {{"type", "integer"}, {"format", "int32"}};
    case ArgKind::kDouble: return {{"type", "number"}};
    case ArgKind::kDate:
      return {{"type", "string"}, {"description", "yyyy-MM-dd or yyyy-MM-dd HH:mm:ss"}};
    case ArgKind::kBool: return {{"type", "boolean"}};
    case ArgKind::kDictionary: return {{"type", "object"}};
    case ArgKind::kVector: return {{"type", "array"}};
    case ArgKind::kVariant: return json::object();
  }
  return json::object();
}

// A default as the key's kind holds it; texts that are not numbers stay texts.
json DefaultValue(const KeyEntry& k) {
  std::string text = k.default_text;
  bool integral = k.kind == ArgKind::kInt16 || k.kind == ArgKind::kInt32;
  if (integral && !text.empty() && text.find_first_not_of("-0123456789") == std::string::npos)
    return std::stoll(text);
  return text;
}

json ArgumentSchema(const ArgEntry& a) {
  json schema = ScalarSchema(a.kind);
  if (a.kind != ArgKind::kDictionary) return schema;
  // Keys outside the declared ones are accepted and answered with a warning.
  schema["additionalProperties"] = true;
  if (!a.open_keys.empty()) schema["description"] = a.open_keys;
  if (a.keys.empty()) return schema;
  json properties = json::object();
  for (const KeyGroup* group : a.keys)
    for (const KeyEntry& k : *group) {
      json p = ScalarSchema(k.kind);
      p["description"] = k.doc;
      if (k.default_text) p["default"] = DefaultValue(k);
      properties[k.name] = std::move(p);
    }
  schema["properties"] = std::move(properties);
  return schema;
}

json ResultSchema(ResultKind kind) {
  switch (kind) {
    case ResultKind::kNone: return {{"type", "null"}};
    case ResultKind::kText: return OrNull({{"type", "string"}});
    case ResultKind::kInt16:
    case ResultKind::kInt32: return OrNull({{"type", "integer"}});
    case ResultKind::kDouble: return OrNull({{"type", "number"}});
    case ResultKind::kBool: return OrNull({{"type", "boolean"}});
    case ResultKind::kDate: return OrNull({{"type", "string"}});
    case ResultKind::kDictionary: return OrNull({{"type", "object"}});
    case ResultKind::kVector: return OrNull({{"type", "array"}});
    case ResultKind::kRecordset: return OrNull(Ref("Recordset"));
    case ResultKind::kVariant: return json::object();
  }
  return json::object();
}

json ErrorResponse(const char* why) {
  return {{"description", why},
          {"content", {{"application/json", {{"schema", Ref("Error")}}}}}};
}

json MethodOperation(const MethodTable& table, const MethodEntry& m) {
  json properties = json::object();
  json required = json::array();
  json out = json::object();
  for (const ArgEntry& a : m.args) {
    json schema = ArgumentSchema(a);
    if (a.by_ref) {
      schema["description"] =
          std::string(schema.value("description", "")) + " (in/out: returned under \"out\")";
      out[a.name] = ArgumentSchema(a);
    }
    properties[a.name] = std::move(schema);
    // The server fills in its own account for a left-out sDsn.
    if (!a.optional && !EqualsNoCase(a.name, "sDsn")) required.push_back(a.name);
  }
  json body = {{"type", "object"}, {"properties", std::move(properties)},
               {"additionalProperties", false}};
  if (!required.empty()) body["required"] = std::move(required);
  json answer = {
      {"type", "object"},
      {"required", json::array({"result", "out"})},
      {"properties",
       {{"result", ResultSchema(m.result)},
        {"out", {{"type", "object"}, {"properties", std::move(out)}}},
        {"warnings", Ref("Warnings")}}}};
  std::string cls(table.class_name());
  return {
      {"operationId", cls + "_" + m.name},
      {"tags", json::array({cls})},
      {"summary", m.summary},
      {"description",
       "Argument names ignore case; the arguments may also be sent as a JSON array in "
       "declaration order."},
      {"requestBody",
       {{"required", false}, {"content", {{"application/json", {{"schema", std::move(body)}}}}}}},
      {"responses",
       {{"200",
         {{"description", "The method ran"},
          {"content", {{"application/json", {{"schema", std::move(answer)}}}}}}},
        {"400", ErrorResponse("Arguments that do not fit the method; nothing ran")},
        {"401", ErrorResponse("No valid bearer token")},
        {"404", ErrorResponse("No such class or method")},
        {"413", ErrorResponse("The body is larger than the server's --max-body")},
        {"422", ErrorResponse("The method raised an error (an update rolled back)")}}}};
}

json Components() {
  json error = {
      {"type", "object"},
      {"required", json::array({"error"})},
      {"properties",
       {{"error",
         {{"type", "object"},
          {"required", json::array({"number", "source", "description"})},
          {"properties",
           {{"number", {{"type", "integer"}}},
            {"source", {{"type", "string"}}},
            {"description", {{"type", "string"}}}}}}}}}};
  json recordset = {
      {"type", "object"},
      {"description", "Columns and rows; a closed recordset is {\"closed\": true}"},
      {"properties",
       {{"columns",
         {{"type", "array"},
          {"items",
           {{"type", "object"},
            {"properties", {{"name", {{"type", "string"}}}, {"type", {{"type", "string"}}}}}}}}},
        {"rows", {{"type", "array"}, {"items", {{"type", "array"}}}}},
        {"closed", {{"type", "boolean"}}}}}};
  json warnings = {
      {"type", "array"},
      {"items", {{"type", "string"}}},
      {"description",
       "Keys of Dictionary arguments the method does not read; present only when there are "
       "some"}};
  return {{"schemas", {{"Error", error}, {"Recordset", recordset}, {"Warnings", warnings}}},
          {"securitySchemes", {{"bearer", {{"type", "http"}, {"scheme", "bearer"}}}}}};
}

json OpenGet(const char* summary, const char* id) {
  return {{"get",
           {{"operationId", id},
            {"summary", summary},
            {"security", json::array()},
            {"responses",
             {{"200",
               {{"description", summary},
                {"content", {{"application/json", {{"schema", {{"type", "object"}}}}}}}}}}}}}};
}

}  // namespace

nlohmann::ordered_json OpenApiDocument(const std::vector<const MethodTable*>& tables,
                               std::string_view version) {
  json paths = json::object();
  paths["/health"] = OpenGet("The server's state and version", "health");
  paths["/api"] = OpenGet("The method catalogue", "catalogue");
  paths["/api/openapi.json"] = OpenGet("This document", "openapi");
  json tags = json::array();
  for (const MethodTable* t : tables) {
    tags.push_back({{"name", t->class_name()}});
    for (const MethodEntry& m : t->methods())
      paths["/api/" + std::string(t->class_name()) + "/" + m.name] = {
          {"post", MethodOperation(*t, m)}};
  }
  return {{"openapi", "3.1.0"},
          {"info",
           {{"title", "ambit-order"},
            {"version", std::string(version)},
            {"description",
             "The order back office's classes over HTTP/JSON. Every answer carries an "
             "X-Request-Id header."}}},
          {"security", json::array({{{"bearer", json::array()}}})},
          {"tags", std::move(tags)},
          {"paths", std::move(paths)},
          {"components", Components()}};
}

}  // namespace ambit
